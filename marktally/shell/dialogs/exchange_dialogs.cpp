#include "marktally/shell/dialogs/exchange_dialogs.h"

#include <algorithm>
#include <initializer_list>

#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/text_import.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"

int16_t gItemsChecked = 0;
uint16_t gProgress = 0;
uint8_t gMultiple = 0;

namespace {

enum : DialogItemIndex { kOK = 1, kCancel = 2 };

// HTML export items: each button's description chooses it too.
enum : DialogItemIndex { kGradesPageItem = 3, kWebSiteItem = 5 };

// Import dialog items.
enum : DialogItemIndex {
  kImportIDsItem = 3,
  kImportNamesItem = 4,
  kImportCommentsItem = 5,
  kImportDatesItem = 6,
  kImportAssignmentsItem = 7,
  kImportCategoriesItem = 8,
  kImportPointsItem = 9,
  kImportScoresItem = 10,
  kImportCodesItem = 11,
  kImportFormatItem = 15,
  kImportEmailsItem = 16,
};

// Text export items: the boxes 3..26 in the order of their flags, then the format.
enum : DialogItemIndex {
  kFirstExportBox = 3,
  kExportEmailsItem = 10,
  kExportDatesItem = 11,
  kExportAssignmentsItem = 12,
  kExportCategoriesItem = 13,
  kExportPointsItem = 14,
  kExportScoresItem = 15,
  kExamPctItem = 16,
  kExamGradeItem = 17,
  kTermPctItem = 18,
  kTermGradeItem = 19,
  kSemePctItem = 20,
  kSemeGradeItem = 21,
  kYearPctItem = 22,
  kYearGradeItem = 23,
  kExportCodesItem = 26,
  kLastExportBox = 26,
  kExportFormatItem = 27,
};

uint8_t* const kImportFlags[] = {&gImportIDs,    &gImportNames,      &gImportComments,
                                 &gImportDates,  &gImportAssignments, &gImportCategories,
                                 &gImportPoints, &gImportScores,      &gImportCodes};
constexpr DialogItemIndex kImportBoxes[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, kImportEmailsItem};

uint8_t* const kExportFlags[] = {
    &gExportSchool,     &gExportSubject,    &gExportTerm,       &gExportTeacher,
    &gExportIDs,        &gExportNames,      &gExportComments,   &gExportEmails,
    &gExportDates,      &gExportAssignments, &gExportCategories, &gExportPoints,
    &gExportScores,     &gExportExamPcts,   &gExportExamGrades, &gExportTermPcts,
    &gExportTermGrades, &gExportSemePcts,   &gExportSemeGrades, &gExportYearPcts,
    &gExportYearGrades, &gExportTardies,    &gExportAbsences,   &gExportCodes};

uint8_t* ImportFlag(DialogItemIndex item) {
  return item == kImportEmailsItem ? &gImportEmails : kImportFlags[item - kImportIDsItem];
}

bool Box(DialogRef dialog, DialogItemIndex item) { return GetCheckBox(dialog, item); }

void EnableOK(DialogRef dialog) {
  if (gItemsChecked > 0)
    ControlOn(dialog, kOK);
  else
    ControlOff(dialog, kOK);
}

// A click on a box flips it; OK is there only while some box is checked.
void FlipBox(DialogRef dialog, DialogItemIndex item) {
  FlipCheckBox(dialog, item);
  const bool on = GetCheckBox(dialog, item);
  gItemsChecked = static_cast<int16_t>(gItemsChecked + (on ? 1 : -1));
  EnableOK(dialog);
}

void RequestRedraw() {
  if (gWindow) ForceUpdate();
}

// The modal loop both option dialogs share: boxes flip, OK asks the check.
bool RunOptionsDialog(DialogRef dialog, std::initializer_list<DialogItemIndex> boxes,
                      bool (*valid)()) {
  ModalLoop loop;
  loop.onItem = [dialog, boxes](DialogItemIndex item) {
    for (DialogItemIndex box : boxes)
      if (item == box) FlipBox(dialog, item);
  };
  loop.valid = [valid] { return gItemsChecked > 0 && valid(); };
  return RunModal(dialog, loop);
}

const char* const kTermWords[] = {"Term", "Semester", "Trimester", "Quarter"};

bool SemesterApplies() {
  const int t = gCurrentTerm;
  return (gClass.lastTerm == 3 && (t == 1 || t == 3)) ||
         (gClass.lastTerm == 5 && (t == 2 || t == 5));
}

}  // namespace

// ---- Import --------------------------------------------------------------------------

bool DoImportDialog() {
  InitCursor();
  DialogRef d = gImportDialog;
  gItemsChecked = 0;
  for (DialogItemIndex item : kImportBoxes) {
    const uint8_t on = *ImportFlag(item) ? 1 : 0;
    SetCheckBox(d, item, on);
    gItemsChecked = static_cast<int16_t>(gItemsChecked + on);
  }
  SetItemValue(d, kImportFormatItem, gImportFormat == 2 ? 2 : 1);
  EnableOK(d);
  if (!RunOptionsDialog(d, {3, 4, 5, 6, 7, 8, 9, 10, 11, kImportEmailsItem}, ValidImport))
    return false;
  for (DialogItemIndex item : kImportBoxes) *ImportFlag(item) = Box(d, item) ? 1 : 0;
  gImportFormat = static_cast<uint16_t>(ItemValue(d, kImportFormatItem, 1) == 2 ? 2 : 1);
  RequestRedraw();
  return true;
}

bool ValidImport() {
  DialogRef d = gImportDialog;
  const bool assignments = Box(d, kImportDatesItem) || Box(d, kImportAssignmentsItem) ||
                           Box(d, kImportCategoriesItem) || Box(d, kImportPointsItem);
  const bool scores = Box(d, kImportScoresItem);
  const bool codes = Box(d, kImportCodesItem);
  const bool emails = Box(d, kImportEmailsItem);
  if (codes && (scores || assignments))
    return RefuseItem(nullptr, "Unable to import assignments and attendance",
                  "You may not import assignments, scores, and attendance codes at the same "
                  "time.");
  if (emails && (scores || assignments))
    return RefuseItem(nullptr, "Unable to import assignments and email addresses",
                  "You may not import assignments, scores, and email addresses at the same "
                  "time.");
  if (emails && codes)
    return RefuseItem(nullptr, "Unable to import attendance and email addresses",
                  "You may not import attendance codes and email addresses at the same time.");
  if (scores && !assignments)
    return RefuseItem(nullptr, "Unable to import scores",
                  "You may not import scores without also importing assignments.");
  return true;
}

// ---- Text export ---------------------------------------------------------------------

bool DoExportToTextDialog() {
  InitCursor();
  DialogRef d = gExportTextDialog;
  const int terms = gClass.lastTerm + 1;
  const char* word = terms >= 2 && terms <= 4 ? kTermWords[terms - 1] : kTermWords[0];
  Str255 title = PStr(word);
  AppendC(title, " percents");
  SetItemTitle(d, kTermPctItem, title);
  title = PStr(word);
  AppendC(title, " grades");
  SetItemTitle(d, kTermGradeItem, title);

  for (DialogItemIndex item = kExamPctItem; item <= kYearGradeItem; item++) ControlOn(d, item);
  auto off = [d](DialogItemIndex percent, DialogItemIndex grade) {
    ControlOff(d, percent);
    ControlOff(d, grade);
    *kExportFlags[percent - kFirstExportBox] = 0;
    *kExportFlags[grade - kFirstExportBox] = 0;
  };
  if (!ExamContributes(static_cast<int16_t>(gCurrentTerm))) off(kExamPctItem, kExamGradeItem);
  if (!SemesterApplies()) off(kSemePctItem, kSemeGradeItem);
  if (!(gClass.lastTerm > 0 && gCurrentTerm == gClass.lastTerm)) off(kYearPctItem, kYearGradeItem);

  gItemsChecked = 0;
  for (DialogItemIndex item = kFirstExportBox; item <= kLastExportBox; item++) {
    const uint8_t on = *kExportFlags[item - kFirstExportBox] ? 1 : 0;
    SetCheckBox(d, item, on);
    gItemsChecked = static_cast<int16_t>(gItemsChecked + on);
  }
  SetItemValue(d, kExportFormatItem,
                gExportFormat >= 1 && gExportFormat <= 3 ? static_cast<int16_t>(gExportFormat)
                                                         : 1);
  EnableOK(d);
  if (!RunOptionsDialog(d, {3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                            15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26},
                        ValidExport))
    return false;
  gExportHTML = 0;
  for (DialogItemIndex item = kFirstExportBox; item <= kLastExportBox; item++)
    *kExportFlags[item - kFirstExportBox] = Box(d, item) ? 1 : 0;
  if (!(gClass.flags & kLetterGrades))
    gExportExamGrades = gExportTermGrades = gExportSemeGrades = gExportYearGrades = 0;
  const int16_t format = ItemValue(d, kExportFormatItem, 1);
  SetExportFormat(static_cast<uint16_t>(format >= 1 && format <= 3 ? format : 1));
  RequestRedraw();
  return true;
}

bool DoExportToHTMLDialog() {
  InitCursor();
  DialogRef d = gExportHTMLDialog;
  // Every showing offers the web site first.
  SetRadioButton(d, kGradesPageItem, 0);
  SetRadioButton(d, kWebSiteItem, 1);
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    const bool grades = item == kGradesPageItem || item == kGradesPageItem + 1;
    const bool site = item == kWebSiteItem || item == kWebSiteItem + 1;
    if (grades || site) {
      SetRadioButton(d, kGradesPageItem, grades ? 1 : 0);
      SetRadioButton(d, kWebSiteItem, site ? 1 : 0);
    }
  };
  if (!RunModal(d, loop)) return false;
  GetExportHTMLItems(GetRadioButton(d, kGradesPageItem));
  RequestRedraw();
  return true;
}

void GetExportHTMLItems(bool gradesPage) {
  const uint16_t o = gReportOptions;
  const bool attendance = (o & 0x0040) != 0;
  gExportHTML = 1;
  gExportTardies = gExportAbsences = 0;
  gExportExamPcts = gExportExamGrades = gExportSemePcts = gExportSemeGrades = 0;
  gExportYearPcts = gExportYearGrades = 0;
  if (gradesPage) {
    gExportIDs = 1;
    gExportNames = 0;
    gExportAssignments = gExportCategories = gExportPoints = gExportScores = 0;
    gExportTermPcts = gExportTermGrades = 1;
    gExportTardies = gExportAbsences = attendance ? 1 : 0;
    if (ExamContributes(static_cast<int16_t>(gCurrentTerm)))
      gExportExamPcts = gExportExamGrades = 1;
    if ((o & 0x0002) && SemesterApplies()) gExportSemePcts = gExportSemeGrades = 1;
    if ((o & 0x0001) && static_cast<int>(gCurrentTerm) == gClass.lastTerm)
      gExportYearPcts = gExportYearGrades = 1;
  } else {
    gExportIDs = gExportNames = 0;
    gExportAssignments = gExportCategories = gExportPoints = gExportScores = 1;
    gExportTardies = gExportAbsences = attendance ? 1 : 0;
  }
}

bool ValidExport() {
  DialogRef d = gExportTextDialog;
  const bool grades = Box(d, kExamGradeItem) || Box(d, kTermGradeItem) ||
                      Box(d, kSemeGradeItem) || Box(d, kYearGradeItem);
  const bool assignments = Box(d, kExportDatesItem) || Box(d, kExportAssignmentsItem) ||
                           Box(d, kExportCategoriesItem) || Box(d, kExportPointsItem) ||
                           Box(d, kExportScoresItem);
  const bool codes = Box(d, kExportCodesItem);
  const bool emails = Box(d, kExportEmailsItem);
  if (grades && !(gClass.flags & kLetterGrades))
    return RefuseItem(nullptr, "Unable to export grades",
                  "You may not export letter grades because there are no letter grades "
                  "defined.");
  if (!codes && emails && assignments)
    return RefuseItem(nullptr, "Unable to export assignments and codes",
                  "You may not export email addresses with assignments or scores.");
  if (codes && assignments)
    return RefuseItem(nullptr, "Unable to export assignments and codes",
                  "You may not export assignments, scores, and attendance at the same time.");
  if (codes && emails)
    return RefuseItem(nullptr, "Unable to export attendance codes",
                  "You may not export email addresses with attendance codes.");
  return true;
}

// ---- Progress windows ----------------------------------------------------------------

namespace {

enum : DialogItemIndex { kBarItem = 1, kProgressTextItem = 2 };

ControlRef Bar(DialogRef dialog) { return ItemControl(dialog, kBarItem); }

void ShowProgressLine(DialogRef dialog, ConstStringPtr line) {
  SetStaticText(dialog, kProgressTextItem, line);
  if (ControlRef textItem = ItemControl(dialog, kProgressTextItem)) Draw1Control(textItem);
}

void StepProgress(DialogRef dialog, const char* prefix, ConstStringPtr text) {
  Str255 line = PStr(prefix);
  Append(line, text);
  ShowProgressLine(dialog, line);
  if (ControlRef bar = Bar(dialog)) {
    SetControlValue(bar, static_cast<int16_t>(gProgress));
    gProgress++;
    Draw1Control(bar);
  }
  // The only time other programs and the window system get during a long run.
  EventRecord event{};
  WaitNextEvent(0, &event, 2, nullptr);
}

void ShowProgress(DialogRef dialog, const char* prefix, ConstStringPtr text, int16_t maximum) {
  Str255 line = PStr(prefix);
  Append(line, text);
  SetStaticText(dialog, kProgressTextItem, line);
  if (ControlRef bar = Bar(dialog)) {
    SetControlMinimum(bar, 0);
    SetControlMaximum(bar, maximum);
  }
  gProgress = 0;
  StepProgress(dialog, prefix, text);
  OpenModal(dialog);
  DrawDialog(dialog);
}

const char kExporting[] = "Exporting ";
const char kEmailing[] = "Emailing report for ";

}  // namespace

void ShowExportProgress(ConstStringPtr text, bool multiple) {
  if (multiple) {
    gMultiple = 1;
    return;
  }
  ShowProgress(gExportProgressDialog, kExporting, text, NumStudents());
}

void NextExportProgress(ConstStringPtr text) {
  StepProgress(gExportProgressDialog, kExporting, text);
}

void HideExportProgress(bool multiple) {
  if ((multiple ? 1 : 0) != gMultiple) return;
  HideDialog(gExportProgressDialog);
  if (multiple) gMultiple = 0;
}

void SetExportProgress(ConstStringPtr line, uint64_t done, uint64_t total) {
  DialogRef dialog = gExportProgressDialog;
  ShowProgressLine(dialog, line);
  ControlRef bar = Bar(dialog);
  if (!bar || total == 0) return;
  constexpr int16_t kSteps = 1000;
  SetControlMinimum(bar, 0);
  SetControlMaximum(bar, kSteps);
  SetControlValue(bar, static_cast<int16_t>(std::min<uint64_t>(done, total) * kSteps / total));
  Draw1Control(bar);
}

void ShowEmailProgress(ConstStringPtr text) {
  ShowProgress(gEmailProgressDialog, kEmailing, text, NumStudents());
}

void ShowEmailOneProgress(ConstStringPtr text) {
  ShowProgress(gEmailProgressDialog, kEmailing, text, 2);
}

void NextEmailProgress(ConstStringPtr text) {
  StepProgress(gEmailProgressDialog, kEmailing, text);
}

void HideEmailProgress() { HideDialog(gEmailProgressDialog); }
