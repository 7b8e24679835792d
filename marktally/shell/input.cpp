#include "marktally/shell/input.h"

#include <algorithm>

#include "marktally/model/tables.h"
#include "marktally/shell/celledit.h"
#include "marktally/shell/document_commands.h"
#include "marktally/shell/grid.h"
#include "marktally/shell/menus.h"
#include "marktally/shell/pagesize.h"
#include "marktally/shell/selection.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/menus.h"

uint16_t gOldVPos = 0;
uint16_t gOldHPos = 0;
ControlActionUPP gWindowVScrollProc = nullptr;
ControlActionUPP gWindowHScrollProc = nullptr;

namespace {

int16_t S16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

// Title band and grid start (Y1 and Y2).
int TitleBandTop() { return 30 * gZoom + ZoomLine(); }

// The new value of a live scroll procedure; the thumb's comes from the control, and
// the difference from the value the drag began with.
int LiveValue(ControlRef control, int16_t part, int page, uint16_t& old, int* before) {
  const int value = GetControlValue(control);
  const int min = GetControlMinimum(control), max = GetControlMaximum(control);
  page = std::max(page, 1);
  *before = value;
  switch (part) {
    case kControlUpButtonPart: return std::max(min, value - 1);
    case kControlDownButtonPart: return std::min(max, value + 1);
    case kControlPageUpPart: return std::max(min, value - page);
    case kControlPageDownPart: return std::min(max, value + page);
    default:
      *before = old;
      old = static_cast<uint16_t>(value);
      return value;
  }
}

// Sets a bar to a value, then scrolls the grid by the rows or columns it moved.
void MoveBar(ControlRef bar, int before, int after, void (*scroll)(int)) {
  if (after == before) return;
  SetControlValue(bar, S16(after));
  scroll(before - after);
}

void Wheel(ControlRef bar, int32_t delta, void (*scroll)(int)) {
  if (!bar) return;
  const int value = GetControlValue(bar);
  const int64_t wanted = static_cast<int64_t>(value) - delta;
  const int next = static_cast<int>(
      std::clamp<int64_t>(wanted, GetControlMinimum(bar), GetControlMaximum(bar)));
  MoveBar(bar, value, next, scroll);
}

// A new vertical value from the paging keys: nothing when it stays.
void PageTo(int value) {
  if (!gVScrollBar) return;
  value = std::clamp(value, 0, std::max(0, VScrollMax()));
  if (value == VScrollValue()) return;
  SetControlValue(gVScrollBar, S16(value));
  ComputePageNumber();
  ForceUpdate();
}

Point LocalMouse() {
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  Point p;
  GetMouse(&p);
  SetPort(saved);
  return p;
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
  }
  // Clicks in the grid (cells, titles, drags) come with in-cell editing.
  SetPort(saved);
}

void HandleGradebookScrolls(int16_t part, Point where, ControlRef control) {
  const bool vertical = control == gVScrollBar;
  if (part == kControlIndicatorPart) {
    if (vertical)
      gOldVPos = static_cast<uint16_t>(GetControlValue(control));
    else
      gOldHPos = static_cast<uint16_t>(GetControlValue(control));
  }
  TrackControl(control, where, vertical ? gWindowVScrollProc : gWindowHScrollProc);
}

void WindowVProc(ControlRef control, int16_t part) {
  int before = 0;
  const int after = LiveValue(control, part, VPageStep(), gOldVPos, &before);
  if (part == kControlIndicatorPart) {
    if (after != before) ScrollStudents(before - after);
    return;
  }
  MoveBar(control, before, after, ScrollStudents);
}

void WindowHProc(ControlRef control, int16_t part) {
  int before = 0;
  const int after = LiveValue(control, part, HPageStep(), gOldHPos, &before);
  if (part == kControlIndicatorPart) {
    if (after != before) ScrollAssignments(before - after);
    return;
  }
  MoveBar(control, before, after, ScrollAssignments);
}

void HandleGridHWheel(int32_t delta) { Wheel(gHScrollBar, delta, ScrollAssignments); }
void HandleGridVWheel(int32_t delta) { Wheel(gVScrollBar, delta, ScrollStudents); }

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
  if (event.modifiers & cmdKey) {
    AdjustMenus();
    HandleMenuChoice(MenuKey(key));
    return;
  }
  switch (key) {
    case kHomeCharCode:
      PageTo(0);
      return;
    case kEndCharCode:
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
  // Typing into cells and the keys that add rows and columns come with in-cell editing.
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
        const int day = col < 512 ? gColumnToDay[col] : -1;
        if (day >= 0 && day < kMaxDays && gHolidays[day] != 1) {
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
