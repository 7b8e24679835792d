#include "marktally/shell/dialogs/class_dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/edit_commands.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/dialogs/multiple_dialog.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"

int16_t gStudentPopUpItem = 1;

namespace {

enum : DialogItemIndex { kOK = 1, kCancel = 2 };
// Footnotes.
enum : DialogItemIndex { kFirstFootnote = 3, kLastFootnote = 10 };
// Header and footer.
enum : DialogItemIndex { kHeaderItem = 3, kFooterItem = 4, kCopyGlobalItem = 7 };
// Student comments (item 1 is OK; there is no Cancel).
enum : DialogItemIndex {
  kCommentItem = 2,
  kShowCommentsItem = 3,
  kStudentPopUp = 4,
  kCopyCommentItem = 5
};
// Curve.
enum : DialogItemIndex {
  kCurveNameItem = 3,
  kCurveCategoryItem = 4,
  kCurvePointsItem = 5,
  kOldHighItem = 7,
  kNewHighItem = 9,
  kOldLowItem = 11,
  kNewLowItem = 13,
  kOldAverageItem = 15,
  kNewAverageItem = 17,
  kRoundItem = 18
};
// Seats.
enum : DialogItemIndex {
  kRowsItem = 4,
  kColumnsItem = 5,
  kPlaceItem = 8,
  kAlphaItem = 9,
  kRandomItem = 10
};
// Report options: boxes 7..18.
enum : DialogItemIndex { kFirstReportBox = 7, kLastReportBox = 18 };

constexpr uint16_t kCommentsOnReports = 0x1000;  // bit 12, owned by the comments dialog
constexpr int32_t kLargestScore = 32767;         // above it a stored score reads as a code
constexpr int16_t kCurveLimit = 1000;            // points

// Bits of the report option boxes 7..18, in item order.
constexpr uint16_t kReportBits[12] = {0x0800, 0x0002, 0x0001, 0x0008, 0x0080, 0x0020,
                                      0x0040, 0x2000, 0x0004, 0x0400, 0x4000, 0x8000};

bool StudentReportView() {
  return gCurrView == kStudentScoresView || gCurrView == kStudentSummaryView;
}

// The true length of an edit text (GetEditText gives at most 255 bytes).
int TextLength(DialogRef d, DialogItemIndex item) {
  TEHandle te = nullptr;
  GetTEHandle(d, item, te);
  if (te) return TEGetLength(te);
  Str255 text{};
  GetEditText(d, item, text);
  return text.length();
}

// A comment of 255 bytes or more shows where it goes past the limit.
bool CommentFits(DialogRef d, DialogItemIndex item) {
  if (TextLength(d, item) <= kMaxCommentLength) return true;
  InitCursor();
  SelectDialogItemText(d, item, kMaxCommentLength, 32767);
  ShowModelAlert(kStopAlert, kAlertOK, PStr("Comment is too long"),
                 PStr("Comments cannot exceed 254 characters. The selected text is beyond that "
                      "length."));
  return false;
}

void PutScore(DialogRef d, DialogItemIndex item, int32_t tenths) {
  Str255 text{};
  ScoreToString(static_cast<int16_t>(std::clamp<int32_t>(tenths, 0, kLargestScore)), text);
  SetEditText(d, item, text);
}

// A curve figure as typed: tenths of a point, or -1 when it is not a number of 0 to
// 1000 points.
int32_t TypedScore(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetEditText(d, item, text);
  uint16_t score = 0;
  StringToScore(text, kCurveLimit, score);
  const auto value = static_cast<int16_t>(score);
  return value < 0 ? -1 : value;
}

CurveFigures gCurve;
uint16_t gCurveColumn = kNone;

}  // namespace

// ---- Footnotes ---------------------------------------------------------------------------

void DoFootnotesDialog() {
  DialogRef d = gFootnotesDialog;
  if (!d) return;
  InitCursor();
  SetFootnotesItems();
  static const ModalFilterUPP filter = NewModalFilterUPP(FootnotesFilter);
  ModalLoop loop;
  loop.filter = filter;
  if (!RunModal(d, loop)) return;
  SetUndoEditFootnotes();
  GetFootnotesItems();
  SetChanged(1);
  ForceUpdate();
}

void SetFootnotesItems() {
  for (int k = 0; k < kMaxFootnotes; k++)
    SetEditText(gFootnotesDialog, static_cast<DialogItemIndex>(kFirstFootnote + k),
                gFootnoteText[k]);
  SetEditFocus(gFootnotesDialog, kFirstFootnote);
}

void GetFootnotesItems() {
  for (int k = 0; k < kMaxFootnotes; k++) {
    Str255 typed{}, stripped{};
    GetEditText(gFootnotesDialog, static_cast<DialogItemIndex>(kFirstFootnote + k), typed);
    StripBlanks(typed, stripped);
    gFootnoteText[k].set(stripped);  // cut to 21 bytes
  }
}

bool FootnotesFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
  if (event->what == keyDown || event->what == autoKey) {
    const DialogItemIndex focus = GetDialogKeyboardFocusItem(dialog);
    TEHandle te = nullptr;
    if (focus >= kFirstFootnote && focus <= kLastFootnote) GetTEHandle(dialog, focus, te);
    if (te) {
      const auto key = static_cast<unsigned char>(event->message & charCodeMask);
      const bool command = (event->modifiers & cmdKey) != 0;
      const int kept = TEGetLength(te) - std::abs(te->selEnd - te->selStart);
      int added = 0;
      if (command && (key == 'v' || key == 'V')) {
        TEFromScrap();
        added = TEGetScrapLength();
      } else if (!command && key >= 0x20 && key != 0x7F) {
        added = 1;
      }
      if (added > 0 && kept + added > kFootnoteLength) {
        SysBeep(1);
        *itemHit = 0;
        return true;
      }
    }
  }
  return EventFilter(dialog, event, itemHit);
}

// ---- Header and footer ---------------------------------------------------------------------

void DoGlobalCommentsDialog() {
  DialogRef d = gGlobalCommentsDialog;
  if (!d) return;
  InitCursor();
  SetGlobalCommentsItems();
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item == kCopyGlobalItem) FlipCheckBox(d, kCopyGlobalItem);
  };
  loop.valid = ValidGlobalComments;
  if (!RunModal(d, loop)) {
    AdjustMenus();
    return;
  }
  SetUndoGlobalComments();
  GetGlobalCommentsItems();
  if (StudentReportView()) ForceUpdate();
  AdjustMenus();
}

void SetGlobalCommentsItems() {
  DialogRef d = gGlobalCommentsDialog;
  const int t = Term();
  SetEditText(d, kHeaderItem, gHeader[t]);
  SetEditText(d, kFooterItem, gFooter[t]);
  SetCheckBox(d, kCopyGlobalItem, 0);
  SetEditFocus(d, kHeaderItem);
}

bool ValidGlobalComments() {
  DialogRef d = gGlobalCommentsDialog;
  return CommentFits(d, kHeaderItem) && CommentFits(d, kFooterItem);
}

void GetGlobalCommentsItems() {
  DialogRef d = gGlobalCommentsDialog;
  const int t = Term();
  GetEditText(d, kHeaderItem, gHeader[t]);
  GetEditText(d, kFooterItem, gFooter[t]);
  if (GetCheckBox(d, kCopyGlobalItem)) {
    for (int later = t + 1; later <= LastTermIndex(); later++) {
      gHeader[later] = gHeader[t];
      gFooter[later] = gFooter[t];
    }
  }
  SetChanged(1);
}

// ---- Student comments ----------------------------------------------------------------------

namespace {

int ShownStudent() { return std::clamp<int>(gStudentPopUpItem - 1, 0, kMaxStudents - 1); }

// The pop-up lists the named students.
void AdjustCommentsMenu() {
  MenuRef menu = GetMenuHandle(kStudentListMenu);
  if (!menu) return;
  const int n = std::max<int>(1, NumStudents());
  while (CountMenuItems(menu) > n) DeleteMenuItem(menu, CountMenuItems(menu));
  while (CountMenuItems(menu) < n) AppendMenuItemText(menu, PStr("student"));
  for (int s = 0; s < n; s++) {
    if (Named(s)) SetMenuItemText(menu, static_cast<int16_t>(s + 1), gStudents[s].name);
  }
  if (ControlRef c = ItemControl(gCommentsDialog, kStudentPopUp))
    SetControlMaximum(c, static_cast<int16_t>(n));
}

}  // namespace

void DoCommentsDialog(int16_t student) {
  DialogRef d = gCommentsDialog;
  if (!d || !ValidStudent(student)) return;
  InitCursor();
  AdjustCommentsMenu();
  SetCommentsItems(student);
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item == kShowCommentsItem || item == kCopyCommentItem) FlipCheckBox(d, item);
    if (item == kStudentPopUp) UpdateCommentsItems();
  };
  loop.valid = ValidStudentComments;
  loop.hasCancel = false;
  RunModal(d, loop);
  GetCommentsItems();
  if (GetCheckBox(d, kShowCommentsItem))
    gReportOptions |= kCommentsOnReports;
  else
    gReportOptions &= static_cast<uint16_t>(~kCommentsOnReports);
  if (StudentReportView()) ForceUpdate();
  AdjustMenus();
}

void SetCommentsItems(int16_t student) {
  DialogRef d = gCommentsDialog;
  gStudentPopUpItem = static_cast<int16_t>(student + 1);
  SetEditText(d, kCommentItem, gComments[ShownStudent()][Term()]);
  SetCheckBox(d, kShowCommentsItem, (gReportOptions & kCommentsOnReports) ? 1 : 0);
  SetCheckBox(d, kCopyCommentItem, 0);
  SetItemValue(d, kStudentPopUp, gStudentPopUpItem);
  SetEditFocus(d, kCommentItem);
}

bool ValidStudentComments() {
  DialogRef d = gCommentsDialog;
  if (CommentFits(d, kCommentItem)) return true;
  SetItemValue(d, kStudentPopUp, gStudentPopUpItem);
  return false;
}

void GetCommentsItems() {
  DialogRef d = gCommentsDialog;
  const int s = ShownStudent(), t = Term();
  GetEditText(d, kCommentItem, gComments[s][t]);
  if (GetCheckBox(d, kCopyCommentItem)) {
    for (int later = t + 1; later <= LastTermIndex(); later++) gComments[s][later] = gComments[s][t];
  }
  SetChanged(1);
}

void UpdateCommentsItems() {
  DialogRef d = gCommentsDialog;
  const int16_t chosen = ItemValue(d, kStudentPopUp);
  if (chosen == gStudentPopUpItem) return;
  if (!ValidStudentComments()) return;
  GetCommentsItems();
  gStudentPopUpItem = chosen;
  SetEditText(d, kCommentItem, gComments[ShownStudent()][Term()]);
  DrawDialog(d);
  SetEditFocus(d, kCommentItem);
  ScrollStudentReport();
}

namespace {

int PageHeightOrOne() { return std::max<int>(1, PageHeight()); }

// Pages of one student in the per-student view shown; 0 in other views.
int PagesOfStudent() {
  switch (gCurrView) {
    case kStudentScoresView: return std::max<int>(1, PagesPerStudent());
    case kStudentSummaryView: return 1;
    case kStudentAttendanceView: return std::max<int>(1, PagesPerAttendance());
    default: return 0;
  }
}

}  // namespace

void ScrollStudentReport() {
  const int pages = PagesOfStudent();
  if (!gWindow || !gVScrollBar || pages == 0) return;
  // Rounded up, so that the top of the window lies on the student's first page.
  const int step = 2 * ZoomLine();
  const int64_t value =
      (static_cast<int64_t>(PageHeightOrOne()) * pages * ShownStudent() + step - 1) / step;
  SetVScrollValue(static_cast<int>(std::clamp<int64_t>(value, 0, std::max(0, VScrollMax()))));
  ComputeReportPage();
  ForceUpdate();
}

int16_t StudentInSight() {
  const int pages = PagesOfStudent();
  if (pages > 0) {
    // The page at the top of the window, as the window counts it.
    const int page = (ZoomLine() + VScrollValue() * 2 * ZoomLine()) / PageHeightOrOne();
    return static_cast<int16_t>(std::clamp(page / pages, 0, std::max(0, NumStudents() - 1)));
  }
  // The empty row after the last student is no one to write about.
  if (Named(gSelStudent)) return static_cast<int16_t>(gSelStudent);
  return 0;
}

void DoCommentsCmd() {
  if (!CloseEditor(false)) return;
  SetUndoStudentComments();
  DoCommentsDialog(StudentInSight());
}

// ---- Curve -----------------------------------------------------------------------------------

uint16_t CurveColumn() {
  if (gCurrView == kAssignmentScoresView) {
    const int pages = std::max<int>(1, PagesPerAssignment());
    const int n = VScrollValue() * 2 * ZoomLine() / PageHeightOrOne() / pages;
    return static_cast<uint16_t>(NamedAssignment(n));
  }
  return ValidColumn(gSelAssignment) ? gSelAssignment : kNone;
}

CurveFigures ColumnCurveFigures(int16_t column) {
  CurveFigures f;
  if (!ValidColumn(column)) return f;
  const int t = Term();
  const int32_t points = gAssignments[t][column].points * 10;
  int64_t sum = 0;
  int count = 0;
  int32_t highest = 0, lowest = points;
  for (int s = 0; s < kMaxStudents; s++) {
    const int16_t score = gScores[s][t][column];
    if (!Named(s) || score < 0) continue;
    sum += score;
    count++;
    highest = std::max<int32_t>(highest, score);
    lowest = std::min<int32_t>(lowest, score);
  }
  f.oldHigh = count > 0 ? highest : points;
  f.oldLow = std::min(lowest, points);
  f.oldAverage = count > 0 ? static_cast<int32_t>(Divide(static_cast<uint32_t>(sum),
                                                         static_cast<uint32_t>(count)))
                           : 0;
  f.newHigh = points;
  f.newLow = points * 60 / 100;
  f.newAverage = points * 80 / 100;
  return f;
}

int16_t CurveScore(int16_t score, const CurveFigures& f, bool roundToPoints) {
  if (score < 0) return score;
  int32_t curved = f.newAverage;
  if (score != f.oldAverage) {
    const bool above = score > f.oldAverage;
    const int32_t span = above ? f.newHigh - f.newAverage : f.newLow - f.newAverage;
    const int32_t divisor = above ? f.oldHigh - f.oldAverage : f.oldLow - f.oldAverage;
    if (divisor != 0) {
      const float factor = static_cast<float>(span) / static_cast<float>(divisor);
      const float product = static_cast<float>(score - f.oldAverage) * factor;
      // Cut toward zero; the bound keeps the conversion defined for any figures.
      const float bounded = std::clamp(product, -1.0e6f, 1.0e6f);
      curved = static_cast<int32_t>(bounded) + f.newAverage;
    }
  }
  curved = std::clamp<int32_t>(curved, 0, kLargestScore);
  if (roundToPoints) curved = std::min<int32_t>((curved + 5) / 10 * 10, kLargestScore / 10 * 10);
  return static_cast<int16_t>(curved);
}

void DoCurveDialog() {
  DialogRef d = gCurveDialog;
  gCurveColumn = CurveColumn();
  if (!d || !ValidColumn(gCurveColumn)) return;
  InitCursor();
  SetCurveItems();
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item == kRoundItem) FlipCheckBox(d, kRoundItem);
  };
  loop.valid = ValidCurve;
  if (!RunModal(d, loop)) return;
  GetCurveItems();
}

void SetCurveItems() {
  DialogRef d = gCurveDialog;
  const int t = Term();
  const int column = gCurveColumn;
  const AssignmentRecord& a = gAssignments[t][column];
  gCurve = ColumnCurveFigures(static_cast<int16_t>(column));
  SetStaticText(d, kCurveNameItem, a.name);
  Str255 category{};
  if (a.category < kMaxCategories) category.set(gCategories[t][a.category].name);
  SetStaticText(d, kCurveCategoryItem, category);
  Str255 points = PStr(std::to_string(a.points));
  AppendC(points, " points");
  SetStaticText(d, kCurvePointsItem, points);
  PutScore(d, kOldHighItem, gCurve.oldHigh);
  PutScore(d, kOldLowItem, gCurve.oldLow);
  PutScore(d, kOldAverageItem, gCurve.oldAverage);
  PutScore(d, kNewHighItem, gCurve.newHigh);
  PutScore(d, kNewLowItem, gCurve.newLow);
  PutScore(d, kNewAverageItem, gCurve.newAverage);
  for (DialogItemIndex item : {kOldHighItem, kOldLowItem, kOldAverageItem}) ControlOff(d, item);
  SetCheckBox(d, kRoundItem, 1);
  SetEditFocus(d, kNewHighItem);
}

bool ValidCurve() {
  DialogRef d = gCurveDialog;
  const char* const kTitle = "Unable to curve assignment";
  const int32_t high = TypedScore(d, kNewHighItem);
  if (high < 0)
    return RefuseItem(d, kTitle, "The new high score must be a decimal from 0 to 1000.",
                      kNewHighItem);
  const int32_t low = TypedScore(d, kNewLowItem);
  if (low < 0)
    return RefuseItem(d, kTitle, "The new low score must be a decimal from 0 to 1000.",
                      kNewLowItem);
  const int32_t average = TypedScore(d, kNewAverageItem);
  if (average < 0)
    return RefuseItem(d, kTitle, "The new average score must be a decimal from 0 to 1000.",
                      kNewAverageItem);
  if (gCurve.oldHigh == gCurve.oldLow)
    return RefuseItem(d, kTitle,
                      "This assignment cannot be curved since there are no numeric scores or all "
                      "the scores are the same.",
                      kNewHighItem);
  if (high <= low)
    return RefuseItem(d, kTitle, "The new high score must be greater than the new low score.",
                      kNewHighItem);
  if (average <= low || average >= high)
    return RefuseItem(d, kTitle,
                      "The new average score must be between the new high and low scores.",
                      kNewHighItem);
  gCurve.newHigh = high;
  gCurve.newLow = low;
  gCurve.newAverage = average;
  return true;
}

void GetCurveItems() {
  const int column = gCurveColumn;
  if (!ValidColumn(column)) return;
  const bool round = GetCheckBox(gCurveDialog, kRoundItem);
  const int t = Term();
  SetUndoAssignment(kUndoCurve, static_cast<int16_t>(column));
  for (int s = 0; s < kMaxStudents; s++) {
    int16_t& score = gScores[s][t][column];
    if (Named(s) && score >= 0) score = CurveScore(score, gCurve, round);
  }
  SetChanged(1);
  FlushAll();
  ForceUpdate();
}

void DoCurveAssignCmd() {
  if (!CloseEditor(false)) return;
  if (CanCurveAssign()) DoCurveDialog();
}

// ---- Seats -----------------------------------------------------------------------------------

namespace {

uint16_t TypedSize(DialogItemIndex item) {
  Str255 text{};
  GetEditText(gAssignSeatsDialog, item, text);
  uint16_t n = 0;
  StringToPoints(text, kMaxSeatRows, n);
  return n;
}

bool IsPlace(uint16_t code) { return code != kUnavailableSeat && code != kHiddenSeat; }

}  // namespace

void DoAssignSeatsDialog() {
  DialogRef d = gAssignSeatsDialog;
  if (!d) return;
  InitCursor();
  SetSeatingItems();
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item == kPlaceItem) {
      FlipCheckBox(d, kPlaceItem);
      AdjustAssignSeats();
    } else if (item == kAlphaItem || item == kRandomItem) {
      SetRadioButton(d, kAlphaItem, item == kAlphaItem ? 1 : 0);
      SetRadioButton(d, kRandomItem, item == kRandomItem ? 1 : 0);
    }
  };
  loop.valid = ValidSeating;
  if (!RunModal(d, loop)) return;
  GetSeatingItems();
}

void SetSeatingItems() {
  DialogRef d = gAssignSeatsDialog;
  SetEditText(d, kRowsItem, PStr(std::to_string(gSeatingChart.rows)));
  SetEditText(d, kColumnsItem, PStr(std::to_string(gSeatingChart.columns)));
  SetCheckBox(d, kPlaceItem, 1);
  SetRadioButton(d, kAlphaItem, 0);
  SetRadioButton(d, kRandomItem, 1);
  AdjustAssignSeats();
  SetEditFocus(d, kRowsItem);
}

void AdjustAssignSeats() {
  DialogRef d = gAssignSeatsDialog;
  for (DialogItemIndex item : {kAlphaItem, kRandomItem}) {
    if (GetCheckBox(d, kPlaceItem))
      ControlOn(d, item);
    else
      ControlOff(d, item);
  }
}

bool ValidSeating() {
  DialogRef d = gAssignSeatsDialog;
  const uint16_t rows = TypedSize(kRowsItem);
  if (rows < 1 || rows > kMaxSeatRows)
    return RefuseItem(d, "Invalid number of rows",
                      "The number of rows must be a whole number between 1 and 20.", kRowsItem);
  const uint16_t columns = TypedSize(kColumnsItem);
  if (columns < 1 || columns > kMaxSeatColumns)
    return RefuseItem(d, "Invalid number of columns",
                      "The number of columns must be a whole number between 1 and 20.",
                      kColumnsItem);
  const int students = NumStudents();
  if (rows * columns < students)
    return RefuseItem(d, "Not enough seats",
                      "The number of rows and columns in your seating arrangement will not provide "
                      "enough seats for all of the students in this class.",
                      kRowsItem);
  int seats = 0;
  for (int r = 0; r < rows; r++)
    for (int c = 0; c < columns; c++) seats += IsPlace(gSeatingChart.seats[r][c]) ? 1 : 0;
  if (seats < students)
    return RefuseItem(d, "Not enough seats",
                      "The number of seats in your seating arrangement will not provide enough seats "
                      "for all of the students in this class.",
                      kRowsItem);
  return true;
}

void ResizeSeatingChart(int rows, int columns) {
  rows = std::clamp(rows, 1, kMaxSeatRows);
  columns = std::clamp(columns, 1, kMaxSeatColumns);
  const int oldRows = std::min<int>(gSeatingChart.rows, kMaxSeatRows);
  const int oldColumns = std::min<int>(gSeatingChart.columns, kMaxSeatColumns);
  for (int r = 0; r < kMaxSeatRows; r++) {
    for (int c = 0; c < kMaxSeatColumns; c++) {
      uint16_t& place = gSeatingChart.seats[r][c];
      const bool inside = r < rows && c < columns;
      const bool wasInside = r < oldRows && c < oldColumns;
      // Places outside the chart hold nothing, so that a chart made larger again shows
      // no student twice.
      if (!inside)
        place = kEmptySeat;
      else if (!wasInside && place < kMaxStudents)
        place = kEmptySeat;
    }
  }
  gSeatingChart.rows = static_cast<uint16_t>(rows);
  gSeatingChart.columns = static_cast<uint16_t>(columns);
  UpdateSeating();
}

void GetSeatingItems() {
  DialogRef d = gAssignSeatsDialog;
  const SeatingChartRecord before = gSeatingChart;
  gAssignSeats = GetCheckBox(d, kPlaceItem) ? 1 : 0;
  gAssignSeatsAlpha = GetRadioButton(d, kAlphaItem) ? 1 : 0;
  gAssignSeatsRandom = GetRadioButton(d, kRandomItem) ? 1 : 0;
  const int rows = TypedSize(kRowsItem), columns = TypedSize(kColumnsItem);
  if (gAssignSeats) {
    gSeatingChart.rows = static_cast<uint16_t>(rows);
    gSeatingChart.columns = static_cast<uint16_t>(columns);
    AssignSeats();
  } else {
    ResizeSeatingChart(rows, columns);
  }
  // One undo brings back the chart as it was, size and seats alike.
  const SeatingChartRecord after = gSeatingChart;
  gSeatingChart = before;
  SetUndoAssignSeating();
  gSeatingChart = after;
  SetChanged(1);
  ForceUpdate();
}

// ---- Report options ----------------------------------------------------------------------

uint16_t ReportOptionBit(DialogItemIndex item) {
  if (item < kFirstReportBox || item > kLastReportBox) return 0;
  return kReportBits[item - kFirstReportBox];
}

void DoReportsDialog() {
  if (gCurrView == kMultipleClassesView) {
    DoMultipleDialog();
    return;
  }
  DialogRef d = gReportsDialog;
  if (!d) return;
  InitCursor();
  SetReportsItems();
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item >= kFirstReportBox && item <= kLastReportBox) FlipCheckBox(d, item);
  };
  if (!RunModal(d, loop)) return;
  SetUndoOptions();
  SetChanged(1);
  GetReportsItems();
}

void SetReportsItems() {
  DialogRef d = gReportsDialog;
  for (DialogItemIndex item = kFirstReportBox; item <= kLastReportBox; item++)
    SetCheckBox(d, item, (gReportOptions & ReportOptionBit(item)) ? 1 : 0);
  const int terms = LastTermIndex() + 1;
  for (DialogItemIndex item : {DialogItemIndex{7}, DialogItemIndex{9}, DialogItemIndex{11}}) {
    if (terms > 1)
      ControlOn(d, item);
    else
      ControlOff(d, item);
  }
  if (terms >= 4)
    ControlOn(d, 8);
  else
    ControlOff(d, 8);
}

void GetReportsItems() {
  DialogRef d = gReportsDialog;
  uint16_t options = gReportOptions;
  for (DialogItemIndex item = kFirstReportBox; item <= kLastReportBox; item++) {
    const uint16_t bit = ReportOptionBit(item);
    if (GetCheckBox(d, item))
      options |= bit;
    else
      options &= static_cast<uint16_t>(~bit);
  }
  gReportOptions = options;
}
