#include "marktally/shell/window/seating_input.h"

#include <algorithm>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/commands/edit_commands.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/input.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/seating_view.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/textedit.h"

ControlActionUPP gSeatingVScrollProc = nullptr;
ControlActionUPP gSeatingHScrollProc = nullptr;

namespace {


int Rows() { return std::clamp<int>(gSeatingChart.rows, 0, kMaxSeatRows); }
int Columns() { return std::clamp<int>(gSeatingChart.columns, 0, kMaxSeatColumns); }
int HeaderHeight() { return 5 * ZoomLine(); }

// Floor division, so that a point above the seats or left of them is a place before
// the first.
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool In(Point p, void (*box)(Rect*)) {
  Rect r{};
  box(&r);
  return PtInRect(p, &r);
}

bool IsSeat(uint16_t code) { return code != kUnavailableSeat && code != kHiddenSeat; }

// Today at noon as a day of the attendance table, when it can take a mark: inside the
// current term, a school weekday and not a non-school day; -1 otherwise.
int TodayForMarks() {
  DateTimeRec d{};
  SecondsToDate(GetDateTime(), d);
  d.hour = 12;
  d.minute = d.second = 0;
  uint32_t today = 0;
  DateToSeconds(d, today);
  const TermDatesRecord& term = gTermDates[CurrentTermIndex()];
  // The last day counts until its end; the term dates hold noon or the day's start.
  if (today < term.start || static_cast<uint64_t>(today) > uint64_t{term.end} + 86399)
    return -1;
  if (today < gTermDates[0].start) return -1;
  const uint32_t day = (today - gTermDates[0].start) / 86400;
  if (day >= static_cast<uint32_t>(kMaxDays)) return -1;
  if (gSchoolWeek[(d.dayOfWeek + 5) % 7] != 1 || gHolidays[day] == 1) return -1;
  return static_cast<int>(day);
}

}  // namespace

// ---- The view command -----------------------------------------------------------------

void DoShowSeatingChart() {
  if (!CloseEditor(true)) return;
  gCurrView = kSeatingChartView;
  TopOfPage();
  AdjustScrollBars();
  ForceUpdate();
  CantUndo();
}

// ---- Clicks and drags -----------------------------------------------------------------

void HandleSeatingClick(const EventRecord& event, Point p) {
  const bool control = (event.modifiers & controlKey) != 0;
  if (!control && gEditHandle && PtInRect(p, &gEditBox)) {
    TEClick(p, (event.modifiers & shiftKey) != 0, gEditHandle);
    return;
  }
  const Rect content = ContentRect();
  if (p.v > content.bottom || p.h > content.right) return;
  if (p.v > HeaderHeight()) {
    const int row = VScrollValue() + (p.v - HeaderHeight()) / (8 * gZoom);
    const int column = HScrollValue() + p.h / (24 * gZoom);
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
    const uint16_t code = gSeatingChart.seats[row][column];
    if (control) {
      if (!CloseEditor(false)) return;
      if (code < kMaxStudents)
        PopUpCodes(event.where, S16(row), S16(column));
      else
        PopUpSeats(event.where, S16(row), S16(column));
      return;
    }
    if (!IsSeat(code)) return;
    CloseEdit(kEditCommit);
    if (gEditHandle) return;  // a refused text: nothing may move under it
    SelectSeat(S16(row), S16(column));
    DoDragSeat(S16(row), S16(column));
    return;
  }
  // The class header above the seats.
  static void (*const kBoxes[])(Rect*) = {SchoolBox, SubjectBox, TeacherBox};
  static void (*const kOpeners[])() = {EditSchool, EditSubject, EditTeacher};
  for (int i = 0; i < 3; i++) {
    if (!In(p, kBoxes[i])) continue;
    CloseEdit(kEditCommit);
    if (!gEditHandle) kOpeners[i]();
    return;
  }
}

void DoDragSeat(int16_t row, int16_t column) {
  if (!StillDown()) return;
  SetThemeCursor(kThemeClosedHandCursor);
  int targetRow = row, targetColumn = column;
  while (StillDown()) {
    const Point p = LocalMouse();
    const int dv = p.v - HeaderHeight();
    const int r = std::clamp(VScrollValue() + FloorDiv(dv, 8 * gZoom), 0, Rows() - 1);
    const int c = std::clamp(HScrollValue() + FloorDiv(p.h, 24 * gZoom), 0, Columns() - 1);
    if (r == targetRow && c == targetColumn) continue;
    targetRow = r;
    targetColumn = c;
    ShowSeat(S16(r), S16(c));
    if (r == row && c == column)
      OutlineSeat(-1, -1);
    else
      OutlineSeat(S16(r), S16(c));
  }
  SetThemeCursor(kThemeArrowCursor);
  OutlineSeat(-1, -1);
  CancelSelection();
  if (targetRow == row && targetColumn == column) return;
  // A seat drag can be taken back like every other change of the chart.
  if (!IsSeat(gSeatingChart.seats[targetRow][targetColumn])) return;
  SetUndoAssignSeating();
  MoveSeat(row, column, S16(targetRow), S16(targetColumn));
  ForceUpdate();
}

// ---- Scroll bars and wheel ------------------------------------------------------------

void HandleSeatingScrolls(int16_t part, Point where, ControlRef control) {
  TrackScrollBar(part, where, control, gSeatingVScrollProc, gSeatingHScrollProc);
}

void SeatingVProc(ControlRef control, int16_t part) {
  TrackBar(control, part, VPageStep(), gOldVPos, ScrollRows);
}

void SeatingHProc(ControlRef control, int16_t part) {
  TrackBar(control, part, HPageStep(), gOldHPos, ScrollColumns);
}

void HandleSeatingHWheel(int32_t delta) { WheelBar(gHScrollBar, delta, ScrollColumns); }
void HandleSeatingVWheel(int32_t delta) { WheelBar(gVScrollBar, delta, ScrollRows); }

// ---- The Codes pop-up: today's mark of a seated student --------------------------------

bool AdjustCodesMenu(int16_t student) {
  MenuRef menu = GetMenuHandle(kCodesMenu);
  const int day = TodayForMarks();
  if (!menu || day < 0 || student < 0 || student >= kMaxStudents) return false;
  const uint8_t mark = gAttendance[student][day];
  CheckMenuItem(menu, 1, mark == kNoMark);
  int item = 3;
  for (int k = 0; k < kMaxCodes; k++) {
    if (gCodes[k].name.empty()) continue;
    if (CountMenuItems(menu) < item) AppendMenuItemText(menu, PStr("code"));
    SetMenuItemText(menu, S16(item), gCodes[k].name);
    EnableMenuItem(menu, S16(item));
    CheckMenuItem(menu, S16(item), mark == k);
    item++;
  }
  while (CountMenuItems(menu) >= item) DeleteMenuItem(menu, CountMenuItems(menu));
  return true;
}

void HandleCodesChoice(int16_t item, int16_t student) {
  const int day = TodayForMarks();
  if (day < 0 || student < 0 || student >= kMaxStudents) return;
  uint8_t& mark = gAttendance[student][day];
  if (item == 1) {
    mark = kNoMark;
  } else {
    MenuRef menu = GetMenuHandle(kCodesMenu);
    Str255 name{};
    if (!menu || item < 3) return;
    GetMenuItemText(menu, item, name);
    int16_t code = -1;
    WhichCode(name, code);
    if (code < 0 || code >= kMaxCodes) return;
    mark = static_cast<uint8_t>(code);
  }
  // A mark is part of the class: it is saved like any other change.
  SetChanged(1);
  UpdateAttendance();
}

void PopUpCodes(Point where, int16_t row, int16_t column) {
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
  const uint16_t student = gSeatingChart.seats[row][column];
  if (student >= kMaxStudents || !AdjustCodesMenu(static_cast<int16_t>(student))) return;
  const int32_t choice =
      PopUpMenuSelect(GetMenuHandle(kCodesMenu), S16(where.v - 8), S16(where.h - 32), 1);
  if (choice)
    HandleCodesChoice(static_cast<int16_t>(choice & 0xFFFF), static_cast<int16_t>(student));
}

// ---- The Seats pop-up: an empty place ---------------------------------------------------

void AdjustSeatsMenu(int16_t row, int16_t column) {
  MenuRef menu = GetMenuHandle(kSeatsMenu);
  if (!menu) return;
  const uint16_t code = gSeatingChart.seats[row][column];
  SetMenuItemText(menu, 1, PStr(code == kHiddenSeat ? "Show Seat" : "Hide Seat"));
  SetMenuItemText(menu, 2,
                  PStr(code == kUnavailableSeat ? "Make Available" : "Make Unavailable"));
  EnableMenuItem(menu, 1);
  if (code == kHiddenSeat)
    DisableMenuItem(menu, 2);
  else
    EnableMenuItem(menu, 2);
}

void HandleSeatsChoice(int16_t item, int16_t row, int16_t column) {
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
  uint16_t& code = gSeatingChart.seats[row][column];
  if (code < kMaxStudents) return;  // a student's seat is never hidden under the student
  if (item == 1)
    code = code == kHiddenSeat ? kEmptySeat : kHiddenSeat;
  else if (item == 2 && code != kHiddenSeat)
    code = code == kUnavailableSeat ? kEmptySeat : kUnavailableSeat;
  else
    return;
  SetChanged(1);
  ForceUpdate();
}

void PopUpSeats(Point where, int16_t row, int16_t column) {
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
  AdjustSeatsMenu(row, column);
  const int32_t choice =
      PopUpMenuSelect(GetMenuHandle(kSeatsMenu), S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleSeatsChoice(static_cast<int16_t>(choice & 0xFFFF), row, column);
}
