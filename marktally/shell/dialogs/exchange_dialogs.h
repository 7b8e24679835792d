// The dialogs that prepare a text import or export, and the progress windows shown while
// files are written or e-mail is sent.
#pragma once

#include <cstdint>

#include "marktally/model/types.h"

extern int16_t gItemsChecked;  // checked boxes of the import or text-export dialog
extern uint16_t gProgress;     // the progress bar's next step
extern uint8_t gMultiple;      // a multiple-class export keeps the progress window up

// Each answers true for OK (the options are stored) and false for Cancel (nothing
// changes).
bool DoImportDialog();
bool DoExportToTextDialog();
// A page of the class's grades or a class web site; OK presets the export options.
bool DoExportToHTMLDialog();
// The export options of the grades page (true) or of the web site (false).
void GetExportHTMLItems(bool gradesPage);
// The checks of the boxes as they stand; a refusal is shown and answers false.
bool ValidImport();
bool ValidExport();

void ShowExportProgress(ConstStringPtr text, bool multiple);
void NextExportProgress(ConstStringPtr text);
void HideExportProgress(bool multiple);
// The export progress window during a transfer: the whole line and the bar at done of
// total (a total of 0 leaves the bar where it is).
void SetExportProgress(ConstStringPtr line, uint64_t done, uint64_t total);
void ShowEmailProgress(ConstStringPtr text);
void ShowEmailOneProgress(ConstStringPtr text);
void NextEmailProgress(ConstStringPtr text);
void HideEmailProgress();
