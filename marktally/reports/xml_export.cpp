#include "marktally/reports/xml_export.h"

bool ExportClassBasmati(const FileSpec&) { return false; }
bool ExportClassSchoolCtr(const FileSpec&) { return false; }
bool ExportClassSchoolSpeak(FileSpec&) { return false; }
