// The small dialogs that collect the class's settings for the online school services
// (class code, section, account, teacher ID or password) into gExportData.
#pragma once

#include <cstdint>

#include "marktally/reports/xml_export.h"  // gUpdateLastReport, set by the upload dialog

// Each answers true for OK (every field stored, cut to its capacity) and false for
// Cancel (nothing changes). A password field always starts empty, so OK with it left
// empty clears the stored value. The SchoolSpeak password is never stored in the class:
// it is kept for the upload tool's next run only.
bool DoExportToLorvexDialog();
bool DoExportToBasmatiDialog();
bool DoExportToSchoolSpeakDialog();
bool DoSaveToSchoolSpeakDialog();
bool DoExportToSchoolFusionDialog();
bool DoExportToSchoolCtrDialog();
