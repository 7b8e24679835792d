#include "marktally/shell/commands/export_commands.h"

#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/email.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/multiple_site.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/text_import.h"
#include "marktally/reports/framework_link.h"
#include "marktally/reports/upload.h"
#include "marktally/reports/web_site.h"
#include "marktally/reports/xml_export.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/dialogs/email_dialogs.h"
#include "marktally/shell/dialogs/exchange_dialogs.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/dialogs/nav_dialogs.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/dialogs/service_dialogs.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"

namespace {

enum : int16_t {
  kExportTextItem = 1,
  kExportWebItem = 2,
  kExportLorvexItem = 4,
  kExportSchoolSpeakItem = 5,
  kExportBasmatiItem = 6,
  kExportSchoolCtrItem = 7,
  kExportSchoolFusionItem = 8,
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
    case kExportWebItem: DoExportToHTMLCmd(); break;
    case kExportBasmatiItem: DoExportToBasmati(); break;
    case kExportSchoolCtrItem: DoExportToSchoolCtr(); break;
    case kExportSchoolFusionItem: DoExportToSchoolFusion(); break;
    case kExportTeacherWebItem: DoExportToTeacherWeb(); break;
    case kExportLorvexItem: DoExportToLorvex(); break;
    case kExportSchoolSpeakItem: DoExportToSchoolSpeak(); break;
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

void DoExportToHTMLCmd() {
  // The multiple-class view writes its own site and shows no dialog of its own.
  if (gCurrView == kMultipleClassesView) {
    ExportMultipleReport();
    return;
  }
  StartExport();
  IDWarning("One or more students in this class do not have an ID code. These students will "
            "not be included in any web pages created for this class.");
  if (!DoExportToHTMLDialog()) {
    if (gWindow) ActivateMainWindow();
    return;
  }
  if (!gExportAssignments) {
    Str255 base{};
    ExportBaseName(base);
    MakeWebName(base);
    FileSpec spec;
    if (!GetExportFile(base, ".html", spec)) {
      if (gWindow) ActivateMainWindow();
      return;
    }
    WriteExport(spec);
    return;
  }
  gShowStudentName = 0;
  InitCursor();
  if (ShowModelAlert(kNoteAlert, kAlertYesNo, PStr("Export to Web"),
                     PStr("Many schools do not allow student names on web pages. Do you want "
                          "to include student names on your student web pages?")) == 1)
    gShowStudentName = 1;
  FileSpec folder;
  if (!PickFolder(&folder)) {
    gShowStudentName = 0;
    if (gWindow) ActivateMainWindow();
    return;
  }
  if (gWindow) UpdateWindow();
  ShowExportProgress(gClass.subject, false);
  ExportClassSite(folder.path, [](int16_t s) { NextExportProgress(gStudents[s].name); });
  HideExportProgress(false);
  gShowStudentName = 0;
  if (gWindow) ActivateMainWindow();
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

// ---- XML exports for the school services ---------------------------------------------

namespace {

// The steps the XML exports share: the ID warning, the service's dialog, a ".xml" file
// chosen by the teacher, then the writer.
void ExportXML(const char* service, bool (*dialog)(), bool (*writer)(const FileSpec&)) {
  StartExport();
  IDWarning((std::string("One or more students in this class do not have an ID. These "
                         "students will not be exported to ") +
             service + ".")
                .c_str());
  FileSpec spec;
  Str255 base{};
  ExportBaseName(base);
  if (dialog() && GetExportFile(base, ".xml", spec)) writer(spec);
  if (gWindow) ActivateMainWindow();
}

}  // namespace

void DoExportToBasmati() {
  ExportXML("Online Grades", DoExportToBasmatiDialog, ExportClassBasmati);
}

void DoExportToSchoolCtr() {
  ExportXML("School Center", DoExportToSchoolCtrDialog, ExportClassSchoolCtr);
}

// SchoolFusion reads the Basmati file.
void DoExportToSchoolFusion() {
  ExportXML("SchoolFusion", DoExportToSchoolFusionDialog, ExportClassBasmati);
}

// ---- Upload hand-offs ------------------------------------------------------------------

void DoExportToLorvex() {
  StartExport();
  // Without the framework nothing else is asked, not even to save the class.
  if (!FrameworkAvailable()) {
    Alert(kStopAlert, "Unable to Export to Lorvex",
          std::string("Export to Lorvex needs the vexokit library (") + kFrameworkLibrary +
              "), which is missing or lacks its upload functions.");
  } else if (RequireSavedClass("This class has not yet been saved. You must save it before "
                               "exporting to Lorvex.")) {
    IDWarning("One or more students in this class do not have an ID. These students will "
              "not be exported to Lorvex.");
    FileSpec spec;
    // A file that failed is never sent: a partial file would upload wrong grades.
    if (DoExportToLorvexDialog() && ExportClassLorvex(spec)) SendToLorvex("es_rpt_01", spec);
  }
  if (gWindow) ActivateMainWindow();
}

void DoExportToSchoolSpeak() {
  StartExport();
  if (RequireSavedClass("This class has not yet been saved. You must save it before "
                        "exporting to SchoolSpeak.")) {
    IDWarning("One or more students in this class do not have an ID. These students will "
              "not be exported to SchoolSpeak.");
    FileSpec spec;
    if (DoExportToSchoolSpeakDialog() && ExportClassSchoolSpeak(spec)) SendToSchoolSpeak(spec);
  }
  if (gWindow) ActivateMainWindow();
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

// ---- E-mail commands -----------------------------------------------------------------

namespace {

bool HasAddress(int s) {
  return !gEmailAddresses[s].recipients.empty() || !gEmailAddresses[s].blindCopies.empty();
}

// The editor closed and a mail server known (asked for when neither it nor the teacher's
// address is set); false while the editor stays open.
bool PrepareEmail() {
  CloseEdit(1);
  if (gEditHandle) return false;
  if (gEmailData.server.empty() && gEmailData.address.empty()) {
    InitCursor();
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("No email server information"),
                   PStr("You must set up your email server and teacher email address before "
                        "emailing reports."));
    DoServerDialog();
  }
  return true;
}

void NoAddressesAlert(const char* text) {
  InitCursor();
  ShowModelAlert(kNoteAlert, kAlertOK, PStr("No student email addresses"), PStr(text));
}

}  // namespace

void HandleEmailReportsChoice(int16_t item) {
  static const int16_t kKinds[] = {kStudentScoresView, kStudentSummaryView,
                                   kStudentAttendanceView, kMissingAssignmentsView};
  if (item >= 1 && item <= 4) DoEmailReports(kKinds[item - 1]);
}

void DoEmailReports(int16_t kind) {
  if (!PrepareEmail()) return;
  const int16_t n = NumStudents();
  int reachable = 0;
  for (int16_t s = 0; s < n && s < kMaxStudents; s++)
    if (!gStudents[s].name.empty() && HasAddress(s)) reachable++;
  if (reachable == 0) {
    NoAddressesAlert("No student in this class has an email address. You must enter email "
                     "addresses for students before emailing reports.");
    return;
  }
  DoSendEmailDialog(-1, kind);
  if (gWindow) ActivateMainWindow();
}

void DoEmailSingleReport(int16_t student, int16_t kind) {
  if (student < 0 || student >= kMaxStudents || !PrepareEmail()) return;
  if (!HasAddress(student)) {
    NoAddressesAlert("This student does not have an email address. You must enter an email "
                     "address for this student before emailing reports.");
    return;
  }
  DoSendEmailDialog(student, kind);
  if (gWindow) ActivateMainWindow();
}

void AdjustEmailMenu() {
  MenuRef menu = GetMenuHandle(kStudentListMenu);
  if (!menu) return;
  const int n = std::max<int>(1, NumStudents());
  while (CountMenuItems(menu) > n) DeleteMenuItem(menu, CountMenuItems(menu));
  while (CountMenuItems(menu) < n) AppendMenuItemText(menu, PStr("student"));
  for (int s = 0; s < NumStudents(); s++)
    SetMenuItemText(menu, static_cast<int16_t>(s + 1), gStudents[s].name);
}

void DoEmailCmd() {
  if (!gWindow || NumStudents() == 0) return;
  AdjustEmailMenu();
  SetUndoEmailData();
  // In a student report the student of the page shown, else the selected one.
  const long s = VScrollValue() + 1;
  const long h = std::max<long>(1, PageHeight());
  long student = 0;
  switch (gCurrView) {
    case kStudentAttendanceView: student = (s * 2 / h) / std::max<int>(1, PagesPerAttendance()); break;
    case kStudentSummaryView: student = s * 2 / h; break;
    case kStudentScoresView: student = (s * 2 / h) / std::max<int>(1, PagesPerStudent()); break;
    default:
      if (gSelStudent != kNone) {
        student = gSelStudent;
      } else {
        CloseEdit(1);
        if (gEditHandle) return;
      }
      break;
  }
  student = std::clamp<long>(student, 0, NumStudents() - 1);
  DoEmailDialog(static_cast<int16_t>(student));
}

void ExportSingleStudent(int16_t s) {
  gShowStudentName = 0;
  if (s < 0 || s >= kMaxStudents || gStudents[s].name.empty()) return;
  Str255 last{}, first{};
  GetLastName(gStudents[s].name, last);
  GetFirstName(gStudents[s].name, first);
  Str255 suggested = last;
  AppendC(suggested, "-");
  Append(suggested, first);
  MakeWebName(suggested);
  AppendC(suggested, ".html");
  FileSpec file;
  bool replacing = false;
  InitCursor();
  if (!GetExportFile(suggested, &file, &replacing)) return;
  Str255 chosen{};
  GetFileName(file, chosen);
  if (chosen.length() > 0 && chosen[1] == '.') {
    Alert(kStopAlert, "Illegal file name",
          "This document could not be saved because file names may not begin with a period.");
    return;
  }
  // The page replaces an older file only once it is whole.
  gShowStudentName = 1;
  WriteSingleStudentPage(file, gCurrView, s);
  gShowStudentName = 0;
}

void ExportMultipleReport() {
  gShowStudentName = 0;
  InitCursor();
  const int16_t answer =
      ShowModelAlert(kNoteAlert, kAlertYesNo, PStr("Export to Web"),
                     PStr("Many schools do not allow student names on web pages. Do you want "
                          "to include student names on your student web pages?"));
  if (answer == 1) gShowStudentName = 1;
  FileSpec folder;
  if (!PickFolder(&folder)) {
    gShowStudentName = 0;
    return;
  }
  UpdateWindow();
  ShowExportProgress(PStr(""), true);
  WriteMultipleSite(folder.path, true);
  HideExportProgress(true);
  gShowStudentName = 0;
}
