#include "marktally/shell/window/input.h"

#include <algorithm>

#include "marktally/model/accessors.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/dates.h"
#include "marktally/model/operations.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/commands/edit_commands.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/textedit.h"

uint16_t gOldVPos = 0;
uint16_t gOldHPos = 0;
ControlActionUPP gWindowVScrollProc = nullptr;
ControlActionUPP gWindowHScrollProc = nullptr;

namespace {

// Title band and grid start (Y1 and Y2).
int TitleBandTop() { return 30 * gZoom + ZoomLine(); }

// A new vertical value from the paging keys: nothing when it stays.
void PageTo(int value) {
  if (!gVScrollBar) return;
  value = std::clamp(value, 0, std::max(0, VScrollMax()));
  if (value == VScrollValue()) return;
  SetVScrollValue(value);
  ComputePageNumber();
  ForceUpdate();
}

// The score cell under a local point of the gradebook, or false.
bool ScoreCellAt(Point p, int* row, int* column) {
  if (gCurrView != kGradebookView) return false;
  const Rect content = ContentRect();
  if (p.v <= HeaderBottom() || p.h <= gTitleWidth || p.v >= content.bottom ||
      p.h >= content.right)
    return false;
  *row = VScrollValue() + (p.v - HeaderBottom()) / RowHeight();
  *column = HScrollValue() + (p.h - gTitleWidth) / ColumnWidth();
  return *row < kMaxStudents && *column <= gLastColumn && *column < kMaxAssignments;
}

bool FootnoteAt(Point p, int* row, int* column) {
  return ScoreCellAt(p, row, column) &&
         gFootnotes[*row][gCurrentTerm][*column] < kMaxFootnotes;
}

HMHelpContentRec gTag{};
bool gTagShown = false;

void HideTag() {
  if (!gTagShown) return;
  HMHideTag();
  gTagShown = false;
}

}  // namespace

// ---- Mouse --------------------------------------------------------------------------

void HandleMouseDown(const EventRecord& event) {
  WindowRef window = nullptr;
  const int16_t part = FindWindow(event.where, &window);
  switch (part) {
    case inMenuBar: {
      AdjustMenus();
      const int32_t choice = MenuSelect(event.where);
      HandleMenuChoice(choice);
      break;
    }
    case inContent:
      if (window == gWindow) HandleContentClick(event, window);
      break;
    case inDrag: {
      Rect bounds;
      GetRegionBounds(GetGrayRgn(), &bounds);
      DragWindow(window, event.where, &bounds);
      break;
    }
    case inGrow:
      HandleGrow(event, window);
      break;
    case inGoAway:
      if (TrackGoAway(window, event.where)) DoCloseCmd();
      AdjustMenus();
      break;
    case inZoomIn:
    case inZoomOut:
      HandleZoom(event, window, part);
      break;
    default:
      break;
  }
}

namespace {

// Floor division, so that a point above the grid or left of the columns gives a
// negative row or column instead of row or column 0.
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool In(Point p, void (*box)(Rect*)) {
  Rect r;
  box(&r);
  return PtInRect(p, &r);
}

// Over the ID/name field of the title column: true for the ID part.
bool OverID(int h) {
  const uint8_t flags = gClass.flags & (kShowIDs | kShowNames);
  if (flags == kShowIDs) return true;
  if (flags == kShowNames) return false;
  return h < NumberColumnRight() + 16 * gZoom;
}

void HandleGridClick(const EventRecord& event, Point p) {
  const bool control = event.modifiers & controlKey;
  const bool option = event.modifiers & optionKey;
  if (!control && gEditHandle && PtInRect(p, &gEditBox)) {
    TEClick(p, (event.modifiers & shiftKey) != 0, gEditHandle);
    return;
  }
  const Rect content = ContentRect();
  if (p.v > content.bottom || p.h > content.right) return;
  const int z = gZoom, y1 = TitleBandTop(), y2 = HeaderBottom();
  const int row = VScrollValue() + FloorDiv(p.v - y2, RowHeight());
  const int column = HScrollValue() + FloorDiv(p.h - gTitleWidth, ColumnWidth());
  if (row > kMaxStudents - 1 || column > gLastColumn) return;
  const auto r16 = static_cast<int16_t>(row), c16 = static_cast<int16_t>(column);
  if (In(p, SchoolBox)) {
    CloseEdit(kEditCommit);
    EditSchool();
    return;
  }
  if (In(p, SubjectBox)) {
    CloseEdit(kEditCommit);
    EditSubject();
    return;
  }
  if (In(p, TeacherBox)) {
    CloseEdit(kEditCommit);
    EditTeacher();
    return;
  }
  if (gCurrView == kGradebookView && gEditHandle && gEditAssignment != kNone &&
      gEditStudent == kNone) {
    static void (*const kBoxes[])(Rect*) = {DateBox, AssignmentBox, CategoryBox, PointsBox};
    static void (*const kOpeners[])(int16_t) = {EditDate, EditAssignment, EditCategory,
                                               EditPoints};
    for (int i = 0; i < 4; i++) {
      if (!In(p, kBoxes[i])) continue;
      const auto a = static_cast<int16_t>(gEditAssignment);
      CloseEdit(kEditCommitHeader);
      if (!gEditHandle) kOpeners[i](a);
      return;
    }
  }
  const int fieldLeft = NumberColumnRight(), gradeLeft = gTitleWidth - 16 * z;
  if (p.v > y2 && p.h < fieldLeft) {
    CloseEdit(kEditCommit);
    if (gEditHandle) return;  // a refused text: nothing may move under it
    SelectStudent(r16);
    DoDragStudent(r16, option);
    return;
  }
  if (p.v > y1 && p.v < y2 && p.h >= fieldLeft && p.h < gradeLeft) {
    if (OverID(p.h))
      DoSortByIDCmd();
    else
      DoSortByNameCmd();
    return;
  }
  if (gCurrView == kGradebookView && p.v > y1 && p.v < y2 && p.h >= gradeLeft &&
      p.h < gTitleWidth) {
    DoSortByGradeCmd();
    return;
  }
  if (p.v > y2 && p.h >= fieldLeft && p.h < gradeLeft) {
    CancelSelection();
    CloseEdit(kEditCommit);
    if (OverID(p.h))
      EditID(r16);
    else
      EditStudent(r16);
    return;
  }
  if (gCurrView == kGradebookView) {
    if (p.v > y2 && p.h >= gradeLeft && p.h < gTitleWidth) {
      CancelSelection();
      CloseEdit(kEditCommit);
      EditGrade(r16);
      return;
    }
    if (p.h <= gTitleWidth || column < 0) return;
    if (p.v > y1 && p.v < y2 && !control) {
      CloseEdit(kEditCommit);
      if (gEditHandle) return;
      SelectAssignment(c16);
      DoDragAssignment(c16, option);
    } else if (control && p.v < y2) {
      if (CloseEditor(false)) PopUpRecentAssigns(event.where, c16);
    } else if (p.v < y1) {
      CancelSelection();
      CloseEdit(kEditCommitHeader);
      if (gEditHandle) return;
      UpdateAssignmentInfo(c16);
      EditDate(c16);
    } else if (control && p.v > y2) {
      HideTag();
      // A footnote changes the class: an open editor is committed first.
      if (CloseEditor(false)) PopUpFootnotes(event.where, r16, c16);
    } else if (p.v > y2) {
      HideTag();
      CancelSelection();
      CloseEdit(kEditCommit);
      EditScore(r16, c16);
    }
    return;
  }
  if (p.h <= gTitleWidth || column < 0) return;
  const int day = ColumnDay(column);
  if (p.v > y1 && p.v < y2) {
    if (day >= 0 && gHolidays[day] == 1) return;
    CloseEdit(kEditCommit);
    SelectAssignment(c16);
  } else if (p.v < y1) {
    if (gClass.flags & kHolidaysNoColumn) {
      InitCursor();
      ShowModelAlert(kNoteAlert, kAlertOK, PStr("Non-school days are currently hidden"),
                     PStr("To make this a non-school day, choose Show Non-School Days from "
                          "the Gradebook menu, then click this date again."));
      return;
    }
    CancelSelection();
    CloseEdit(kEditCommitHeader);
    if (gEditHandle || day < 0 || day >= kMaxDays) return;
    if (gHolidays[day] <= 1) gHolidays[day] = static_cast<uint8_t>(1 - gHolidays[day]);
    SetColumns();
    UpdateAttendance();
    SetChanged(1);
    ForceUpdate();
  } else if (p.v > y2) {
    CancelSelection();
    CloseEdit(kEditCommit);
    EditAttendance(r16, c16);
  }
}

}  // namespace

void HandleContentClick(const EventRecord& event, WindowRef window) {
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(window);
  Point where = event.where;
  GlobalToLocal(&where);
  ControlRef control = nullptr;
  const int16_t part = FindControl(where, window, &control);
  if (control && part != kControlNoPart && (control == gVScrollBar || control == gHScrollBar)) {
    if (IsGridView()) HandleGradebookScrolls(part, where, control);
    if (IsReportView()) HandleReportScrolls(part, where, control);
    if (gCurrView == kSeatingChartView) HandleSeatingScrolls(part, where, control);
  } else if (IsGridView()) {
    HandleGridClick(event, where);
  } else if (IsReportView()) {
    HandleReportClick(event, where);
  } else if (gCurrView == kSeatingChartView) {
    HandleSeatingClick(event, where);
  }
  SetPort(saved);
}

void HandleGradebookScrolls(int16_t part, Point where, ControlRef control) {
  TrackScrollBar(part, where, control, gWindowVScrollProc, gWindowHScrollProc);
}

void WindowVProc(ControlRef control, int16_t part) {
  TrackBar(control, part, VPageStep(), gOldVPos, ScrollStudents);
}

void WindowHProc(ControlRef control, int16_t part) {
  TrackBar(control, part, HPageStep(), gOldHPos, ScrollAssignments);
}

void HandleGridHWheel(int32_t delta) { WheelBar(gHScrollBar, delta, ScrollAssignments); }
void HandleGridVWheel(int32_t delta) { WheelBar(gVScrollBar, delta, ScrollStudents); }

void HandleGrow(const EventRecord& event, WindowRef window) {
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  const Rect limits{400, 600, S16(avail.bottom - 32), S16(avail.right - 32)};
  const int32_t size = GrowWindow(window, event.where, &limits);
  if (size == 0) return;
  SizeWindow(window, S16(size & 0xFFFF), S16(size >> 16), true);
  AdjustScrollBars();
  ComputePageNumber();
  ForceUpdate();
}

void HandleZoom(const EventRecord& event, WindowRef window, int16_t part) {
  if (!TrackBox(window, event.where, part)) return;
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(window);
  Rect content;
  GetPortBounds(GetWindowPort(window), &content);
  EraseRect(&content);
  SetPort(saved);
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  InsetRect(&avail, 32, 32);
  Point ideal{S16(avail.bottom - avail.top), S16(avail.right - avail.left)};
  GetZoomSize(&ideal);
  ZoomWindowIdeal(window, IsWindowInStandardState(window, &ideal, nullptr) ? inZoomIn : inZoomOut,
                  &ideal);
  AdjustScrollBars();
  ComputePageNumber();
  ForceUpdate();
}

void GetZoomSize(Point* size) {
  const int z = gZoom, line = ZoomLine();
  const int students = NumStudents(), assignments = NumAssignments();
  int width = 0, height = 0;
  switch (gCurrView) {
    case kGradebookView:
      width = gTitleWidth + 8 * z * assignments + 12 * z;
      height = HeaderBottom() + (students + 2) * 4 * z;
      break;
    case kAttendanceView:
      width = gTitleWidth + 8 * z * (gMaxColumns + 1);
      height = HeaderBottom() + (students + 2) * 4 * z;
      break;
    case kSeatingChartView:
      width = 24 * z * (gSeatingChart.columns + 1);
      height = 5 * line + 8 * z * (gSeatingChart.rows + 1);
      break;
    default:
      width = PageWidth() + 2 * line;
      height = PageHeight();
      break;
  }
  width = std::max(width, 600);
  if (width > size->h) width = size->h;
  height = std::min(std::max(height, 400), static_cast<int>(size->v));
  size->h = S16(width);
  size->v = S16(height);
}

// ---- Keys ---------------------------------------------------------------------------

void HandleKeyDown(const EventRecord& event) {
  const auto key = static_cast<unsigned char>(event.message & charCodeMask);
  if ((event.modifiers & cmdKey) || key == kFunctionKeyCharCode) {
    HandleMenuChoice(MenuKeyChoice(event));
    return;
  }
  switch (key) {
    case kHomeCharCode:
      if (gEditHandle)
        TESetSelect(0, 0, gEditHandle);
      else
        PageTo(0);
      return;
    case kEndCharCode:
      if (gEditHandle)
        TESetSelect(255, 255, gEditHandle);
      else
        PageTo(VScrollMax());
      return;
    case kPageUpCharCode:
      PageTo(VScrollValue() - VPageStep());
      return;
    case kPageDownCharCode:
      PageTo(VScrollValue() + VPageStep());
      return;
    case kEscapeCharCode:
      CloseEdit(kEditCancel);
      CancelSelection();
      return;
    default:
      break;
  }
  const bool shift = event.modifiers & shiftKey;
  if (gEditHandle) {
    const bool date = gEditKind == kEditDate;
    switch (key) {
      case kUpArrowCharCode:
        if (date)
          PrevDate();
        else
          CloseEdit(kEditUp);
        return;
      case kDownArrowCharCode:
        if (date)
          NextDate();
        else
          CloseEdit(kEditDown);
        return;
      case kTabCharCode:
        CloseEdit(shift ? kEditPrevious : kEditNext);
        return;
      case kReturnCharCode:
      case kEnterCharCode:
        CloseEdit(shift ? kEditUp : kEditDown);
        return;
      default:
        break;
    }
    const bool printable = key > 31 && key != 127;
    if (printable && !OKToType()) return;
    if (gEditStudent != kNone) ShowStudent(static_cast<int16_t>(gEditStudent));
    if (gEditAssignment != kNone) ShowAssignment(static_cast<int16_t>(gEditAssignment));
    TEKey(key, gEditHandle);
    if (!printable) return;
    if (gEditKind == kEditAttendance) PredictCode();
    if (gEditKind == kEditScore) PredictScore();
    if (gEditKind == kEditCategory) PredictCategory();
    return;
  }
  switch (key) {
    case kBackspaceCharCode:
    case kDeleteCharCode:
      if (gSelStudent != kNone ||
          (gSelAssignment != kNone && gCurrView == kGradebookView))
        DoDeleteCmd();
      return;
    case kReturnCharCode:
    case kEnterCharCode:
      if (shift)
        AddNewStudent();
      else
        HandleEnterKey();
      return;
    default:
      return;
  }
}

void AddNewStudent() {
  if (!gWindow || !IsGridView()) return;
  for (int s = 0; s < kMaxStudents; s++) {
    if (!gStudents[s].name.empty()) continue;
    CancelSelection();
    EditStudent(static_cast<int16_t>(s));
    return;
  }
}

void HandleEnterKey() {
  if (gCurrView == kGradebookView) AddNewAssignment();
  if (gCurrView == kAttendanceView) TodaysAttendance();
}

void AddNewAssignment() {
  const int t = std::min<int>(gCurrentTerm, kMaxTerms - 1);
  for (int a = 0; a < kMaxAssignments; a++) {
    if (!gAssignments[t][a].name.empty()) continue;
    CancelSelection();
    UpdateAssignmentInfo(static_cast<int16_t>(a));
    EditDate(static_cast<int16_t>(a));
    return;
  }
}

void TodaysAttendance() {
  DateTimeRec d{};
  SecondsToDate(GetDateTime(), d);
  d.hour = 12;
  d.minute = d.second = 0;
  uint32_t today = 0;
  DateToSeconds(d, today);
  const int t = std::min<int>(gCurrentTerm, kMaxTerms - 1);
  // The last day counts until its end; the term dates hold the days' first second.
  if (today < gTermDates[t].start || today > gTermDates[t].end + 86399) return;
  if (today < gTermDates[0].start) return;
  const uint32_t day = (today - gTermDates[0].start) / 86400;
  if (day >= 512) return;
  const int column = gDayToColumn[day];
  if (column < 0) return;
  EditAttendance(0, static_cast<int16_t>(column));
}

// ---- Drag loops ---------------------------------------------------------------------

namespace {

// Follows the mouse while the button is held; target gives the row or column under
// it, outline draws or removes the mark. Returns the last target.
int DragLoop(int origin, int (*target)(Point), void (*show)(int16_t),
             void (*outline)(int16_t)) {
  SetThemeCursor(kThemeClosedHandCursor);
  int current = origin;
  while (StillDown()) {
    const int next = target(LocalMouse());
    if (next == current) continue;
    // The inverted outline is taken off before a scroll moves it and redraws a band.
    if (current != origin) outline(static_cast<int16_t>(current));
    show(static_cast<int16_t>(next));
    if (next != origin) outline(static_cast<int16_t>(next));
    current = next;
  }
  SetThemeCursor(kThemeArrowCursor);
  if (current != origin) outline(static_cast<int16_t>(current));
  return current;
}

int StudentTarget(Point p) {
  const int dv = p.v - HeaderBottom();
  const int row = VScrollValue() + dv / RowHeight() - (dv < 0 ? 1 : 0);
  return std::clamp(row, 0, kMaxStudents - 1);
}

int AssignmentTarget(Point p) {
  const int dh = p.h - gTitleWidth;
  const int column = HScrollValue() + dh / ColumnWidth() - (dh < 0 ? 1 : 0);
  return std::clamp(column, 0, kMaxAssignments - 1);
}

}  // namespace

void DoDragStudent(int16_t row, bool copy) {
  if (!StillDown()) return;
  const int to = DragLoop(row, StudentTarget, ShowStudent, OutlineStudent);
  if (to == row) return;
  if (copy)
    CopyStudent(row, static_cast<int16_t>(to));
  else
    MoveStudent(row, static_cast<int16_t>(to));
  CountScores();
}

void DoDragAssignment(int16_t column, bool copy) {
  if (!StillDown()) return;
  const int to = DragLoop(column, AssignmentTarget, ShowAssignment, OutlineAssignment);
  if (to == column) return;
  if (copy)
    CopyAssignment(column, static_cast<int16_t>(to));
  else
    MoveAssignment(column, static_cast<int16_t>(to));
}

// ---- Cursor -------------------------------------------------------------------------

void AdjustCursor() {
  if (!gWindow) {
    HideTag();
    SetThemeCursor(kThemeArrowCursor);
    return;
  }
  const Point p = LocalMouse();
  int row = 0, column = 0;
  const bool note = !gEditHandle && FootnoteAt(p, &row, &column);
  if (!note) HideTag();
  const Rect content = ContentRect();
  const bool inContent = p.h >= 0 && p.v >= 0 && p.h < content.right && p.v < content.bottom;
  const int top = TitleBandTop(), gridTop = HeaderBottom();
  if (gEditHandle && PtInRect(p, &gEditBox)) {
    SetThemeCursor(kThemeIBeamCursor);
    return;
  }
  if (IsGridView() && inContent && p.v > gridTop && p.h > 0 && p.h < NumberColumnRight() &&
      VScrollValue() + (p.v - gridTop) / RowHeight() < kMaxStudents) {
    SetThemeCursor(kThemeOpenHandCursor);
    return;
  }
  if (IsGridView() && inContent && p.v > top && p.v < gridTop && p.h > gTitleWidth) {
    const int col = HScrollValue() + (p.h - gTitleWidth) / ColumnWidth();
    if (col <= gLastColumn) {
      if (gCurrView == kAttendanceView) {
        const int day = ColumnDay(col);
        if (day >= 0 && gHolidays[day] != 1) {
          SetThemeCursor(kThemePointingHandCursor);
          return;
        }
      } else {
        SetThemeCursor(kThemeOpenHandCursor);
        return;
      }
    }
  }
  SetThemeCursor(kThemeArrowCursor);
  if (!note) return;
  Rect box;
  ScoreBox(static_cast<int16_t>(row), static_cast<int16_t>(column), &box);
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  Point topLeft{box.top, box.left}, bottomRight{box.bottom, box.right};
  LocalToGlobal(&topLeft);
  LocalToGlobal(&bottomRight);
  SetPort(saved);
  HMHelpContentRec tag{};
  tag.absHotRect = Rect{topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};
  tag.tagSide = 13;
  tag.content.set(gFootnoteText[gFootnotes[row][gCurrentTerm][column]]);
  if (gTagShown && EqualRect(&tag.absHotRect, &gTag.absHotRect) &&
      tag.content.str() == gTag.content.str())
    return;
  gTag = tag;
  gTagShown = true;
  HMDisplayTag(&gTag);
}
