#include "marktally/shell/export_commands.h"

#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/text_import.h"
#include "marktally/shell/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/document_commands.h"
#include "marktally/shell/exchange_dialogs.h"
#include "marktally/shell/grid.h"
#include "marktally/shell/menus.h"
#include "marktally/shell/nav_dialogs.h"
#include "marktally/shell/selection.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/desktop.h"

namespace {

enum : int16_t {
  kExportTextItem = 1,
  kExportWebItem = 2,
  kExportLorvexItem = 4,
  kExportTeacherWebItem = 9,
};

// The export of the open class into the file, with the progress window stepping once per
// student.
void WriteExport(const FileSpec& spec) {
  Str255 title{};
  if (gWindow) GetWTitle(gWindow, title);
  ShowExportProgress(title, false);
  ExportScope scope;
  scope.view = gCurrView;
  if (gCurrView == kGradebookView && gSelAssignment != kNone)
    scope.assignment = static_cast<int16_t>(gSelAssignment);
  if (gCurrView == kAttendanceView && gSelAssignment != kNone && gSelAssignment < 512) {
    const int16_t day = gColumnToDay[gSelAssignment];
    if (day >= 0 && day < kMaxDays) scope.day = day;
  }
  scope.progress = [](int16_t student) { NextExportProgress(gStudents[student].name); };
  ExportClass(spec, scope);
  HideExportProgress(false);
  if (gWindow) ActivateMainWindow();
}

// After an import: the alerts over a redrawn window, the score counts and the window.
void FinishImport() {
  CountScores();
  ForceUpdate();
  if (gWindow) UpdateWindow();
  ShowImportErrors();
  InitCursor();
  ForceUpdate();
}

}  // namespace

// ---- Shared steps --------------------------------------------------------------------

void StartExport() {
  InitCursor();
  if (gWindow) DeactivateMainWindow();
}

void ExportBaseName(Str255& base) {
  Str255 title{};
  if (gWindow) GetWTitle(gWindow, title);
  StripExtension(title, base);
}

void IDWarning(const char* text) {
  // Every listed student counts, the 250th of a full class too.
  const int16_t n = NumStudents();
  for (int16_t s = 0; s < n; s++) {
    if (!gStudents[s].name.empty() && gStudents[s].id.empty()) {
      InitCursor();
      ShowModelAlert(kNoteAlert, kAlertOK, PStr("Some students will not be exported"),
                     PStr(text));
      return;
    }
  }
}

bool GetExportFile(ConstStringPtr base, const char* extension, FileSpec& spec) {
  Str255 name{};
  name.set(base);
  if (name.length() > 27) name[0] = 27;
  AppendC(name, extension);
  bool replacing = false;
  if (!GetExportFile(name, &spec, &replacing)) return false;
  Str255 chosen{};
  GetFileName(spec, chosen);
  if (chosen.length() > 0 && chosen[1] == '.') {
    Alert(kStopAlert, "Illegal file name",
              "This document could not be exported because file names may not begin with a "
              "period.");
    return false;
  }
  // A file being replaced stays until the new one is whole: the writer saves beside it.
  return true;
}

bool RequireSavedClass(const char* text) {
  if (!gFileSpec.empty()) return true;
  Alert(kStopAlert, "This class has not been saved", text);
  DoSaveAsCmd();
  return !gFileSpec.empty();
}

// ---- Commands ------------------------------------------------------------------------

void HandleExportChoice(int16_t item) {
  if (!gWindow || !CloseEditor(true)) return;
  switch (item) {
    case kExportTextItem: DoExportToTextCmd(); break;
    case kExportTeacherWebItem: DoExportToTeacherWeb(); break;
    default: break;
  }
}

void DoExportToTextCmd() {
  StartExport();
  if (!DoExportToTextDialog()) {
    if (gWindow) ActivateMainWindow();
    return;
  }
  Str255 base{};
  ExportBaseName(base);
  FileSpec spec;
  if (!GetExportFile(base, gExportFormat == 3 ? ".csv" : ".txt", spec)) {
    if (gWindow) ActivateMainWindow();
    return;
  }
  WriteExport(spec);
}

void DoExportToTeacherWeb() {
  StartExport();
  IDWarning("One or more students in this class do not have an ID. These students will not "
            "be exported to Teacher Web.");
  gExportHTML = 0;
  gExportIDs = 0;
  gExportNames = 1;
  gExportDates = gExportAssignments = gExportCategories = gExportPoints = gExportScores = 1;
  gExportExamPcts = gExportSemePcts = gExportYearPcts = 0;
  gExportExamGrades = gExportSemeGrades = gExportYearGrades = 0;
  gExportTermPcts = gExportTermGrades = 1;
  gExportTardies = gExportAbsences = gExportCodes = 0;
  SetExportFormat(1);
  Str255 base{};
  ExportBaseName(base);
  FileSpec spec;
  if (!GetExportFile(base, ".txt", spec)) {
    if (gWindow) ActivateMainWindow();
    return;
  }
  gTeacherWeb = 1;
  WriteExport(spec);
  gTeacherWeb = 0;
}

void DoImportCmd() {
  if (!gWindow || !CloseEditor(true)) return;
  CantUndo();
  InitCursor();
  if (!DoImportDialog()) return;
  FileSpec spec;
  bool stationery = false;
  if (GetOpenFile(kTextFilter, &spec, &stationery)) {
    SetThemeCursor(kThemeWatchCursor);
    ImportClass(spec);
    FinishImport();
  } else {
    CountScores();
    ForceUpdate();
  }
  AdjustMenus();
}

void OpenRosterFile(const FileSpec& spec) {
  if (gWindow) {
    DoCloseCmd();
    if (gWindow) return;
  }
  NewClass();
  CantUndo();
  MakeNewDocument();
  MakeNewWindow(PStr("untitled"));
  gFileSpec.path.clear();
  SetChanged(0);
  ResetImportOptions();
  gImportingRoster = 1;
  gImportIDs = gImportNames = 1;
  gImportFormat = 1;
  SetThemeCursor(kThemeWatchCursor);
  ImportClass(spec);
  FinishImport();
  ScrollGrid(true);
  AdjustMenus();
}
