#include "marktally/shell/window/window.h"

#include <algorithm>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/input.h"
#include "marktally/reports/print_pages.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/commands/preferences.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/toolbox/textedit.h"

WindowRef gWindow = nullptr;
ControlRef gVScrollBar = nullptr;
ControlRef gHScrollBar = nullptr;
ControlRef gPlacard = nullptr;
uint8_t gActive = 0;
uint16_t gCurrView = kGradebookView;
int16_t gZoom = 6;
int16_t gTitleWidth = 46 * 6 + 32 * 6 / 5;
int16_t gMaxColumns = kMaxAssignments;
int16_t gLastColumn = kMaxAssignments - 1;
uint16_t gCurrPage = 0;
uint16_t gLastPage = 0;
int16_t gScrollBarSize = 15;
int16_t gMenuBarHeight = 22;

namespace {

constexpr int16_t kPlacardRight = 90;

Rect PortRect() {
  Rect r{0, 0, 0, 0};
  if (gWindow) GetPortBounds(GetWindowPort(gWindow), &r);
  return r;
}

// Width and height of the port less the scroll bars.
int VisibleWidth() {
  const Rect r = PortRect();
  return r.right - r.left - gScrollBarSize;
}
int VisibleHeight() {
  const Rect r = PortRect();
  return r.bottom - r.top - gScrollBarSize;
}


// The last student slot with a name, 0 when none.
int LastNamedSlot() {
  for (int s = kMaxStudents - 1; s > 0; s--)
    if (!gStudents[s].name.empty()) return s;
  return 0;
}

void SetPages(uint16_t first, uint16_t last) {
  if (first == gCurrPage && last == gLastPage) return;
  gCurrPage = first;
  gLastPage = last;
  UpdatePageNumber();
}

}  // namespace

Rect ContentRect() {
  Rect r = PortRect();
  r.right = static_cast<int16_t>(r.right - (gScrollBarSize - 1));
  r.bottom = static_cast<int16_t>(r.bottom - (gScrollBarSize - 1));
  return r;
}

void UpdateContent(void (*draw)(const Rect& content), void (*decorate)()) {
  if (!gWindow) return;
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  CGrafPtr port = GetWindowPort(gWindow);
  BeginUpdate(gWindow);
  RgnHandle visible = NewRgn();
  GetPortVisibleRegion(port, visible);
  if (!EmptyRgn(visible)) {
    RgnHandle clip = NewRgn();
    GetClip(clip);
    const Rect content = ContentRect();
    EraseRect(&content);
    draw(content);
    SetClip(clip);
    DisposeRgn(clip);
    UpdateControls(gWindow, visible);
    DrawGrowIcon(gWindow);
    UpdatePageNumber();
    UpdateSelection();
    if (decorate) decorate();
  }
  DisposeRgn(visible);
  EndUpdate(gWindow);
  SetPort(saved);
}

void InstallDocumentChangedHook() {
  SetDocumentChangedHook([](bool changed) {
    if (gWindow) SetWindowModified(gWindow, changed);
  });
}

void SetupThemes() {
  int16_t height = 0;
  if (GetThemeMenuBarHeight(&height) == noErr) gMenuBarHeight = height;
  int32_t width = 0;
  if (GetThemeMetric(kThemeMetricScrollBarWidth, &width) == noErr && width > 0)
    gScrollBarSize = static_cast<int16_t>(width);
}

// ---- Document and window ---------------------------------------------------------

void MakeNewDocument() {
  MakeClassCurrent();
  gCurrView = kGradebookView;
  gMaxColumns = kMaxAssignments;
  gLastColumn = kMaxAssignments - 1;
  gCurrentTerm = gClass.currentTerm;
  CheckCurrentTerm();
  CopyGradingOptions(static_cast<int16_t>(gCurrentTerm));
  gTitleWidth = static_cast<int16_t>(TitleWidthFor(gClass.flags));
  UpdatePageInfo();
}

void MakeNewWindow(ConstStringPtr title) {
  if (gWindow) {
    SetWTitle(gWindow, title);
    return;
  }
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  const Rect bounds{static_cast<int16_t>(avail.top + 42), static_cast<int16_t>(avail.left + 18),
                    static_cast<int16_t>(avail.bottom - 120),
                    static_cast<int16_t>(avail.right - 120)};
  WindowRef window = nullptr;
  if (CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds,
                      &window) != noErr ||
      !window)
    return;
  gWindow = window;
  // Dialogs and alerts keep the window drawn, and inactive, behind them.
  MainWindowHandlers handlers;
  handlers.window = gWindow;
  handlers.update = UpdateWindow;
  handlers.deactivate = DeactivateMainWindow;
  SetMainWindowHandlers(handlers);
  ControlRef root = nullptr;
  CreateRootControl(gWindow, &root);
  if (gChanged) SetChanged(1);
  SetPortWindowPort(gWindow);
  SetWTitle(gWindow, title);
  LoadWindowPlacement();
  ShowWindow(gWindow);
  DrawGrowIcon(gWindow);
  MakeNewScrollBars();
  gCurrPage = 0xFFFF;  // so that the first computation draws the placard
  ComputePageNumber();
  gActive = 1;
}

void MakeNewScrollBars() {
  if (!gWindow) return;
  const Rect p = PortRect();
  const int sb = gScrollBarSize;
  const Str255 empty = PStr("");
  Rect v{S16(p.top - 1), S16(p.right + 1 - sb), S16(p.bottom + 2 - sb),
         S16(p.right + 1)};
  gVScrollBar = NewControl(gWindow, &v, empty, true, 0, 0, 0, kControlScrollBarLiveProc, 0);
  SetControl32BitMaximum(gVScrollBar, VScrollMax());
  SetControlViewSize(gVScrollBar, VPageStep());
  Rect h{S16(p.bottom + 1 - sb), kPlacardRight, S16(p.bottom + 1),
         S16(p.right + 2 - sb)};
  gHScrollBar = NewControl(gWindow, &h, empty, true, 0, 0, 0, kControlScrollBarLiveProc, 0);
  SetControl32BitMaximum(gHScrollBar, HScrollMax());
  SetControlViewSize(gHScrollBar, HPageStep());
  Rect placard{S16(p.bottom + 1 - sb), S16(p.left - 1), S16(p.bottom + 1),
               kPlacardRight};
  gPlacard = NewControl(gWindow, &placard, empty, true, 0, 0, 0, kControlPlacardProc, 0);
}

void AdjustScrollBars() {
  if (!gWindow || !gVScrollBar) return;
  const Rect p = PortRect();
  const int sb = gScrollBarSize;
  HideControl(gPlacard);
  HideControl(gVScrollBar);
  HideControl(gHScrollBar);
  MoveControl(gVScrollBar, S16(p.right + 1 - sb), S16(p.top - 1));
  SizeControl(gVScrollBar, S16(sb), S16(p.bottom + 3 - sb));
  MoveControl(gHScrollBar, kPlacardRight, S16(p.bottom + 1 - sb));
  SizeControl(gHScrollBar, S16(p.right - 88 - sb), S16(sb));
  MoveControl(gPlacard, S16(p.left - 1), S16(p.bottom + 1 - sb));
  SizeControl(gPlacard, kPlacardRight + 1, S16(sb));
  SetControl32BitMaximum(gVScrollBar, VScrollMax());
  SetControlViewSize(gVScrollBar, VPageStep());
  SetControl32BitMaximum(gHScrollBar, HScrollMax());
  SetControlViewSize(gHScrollBar, HPageStep());
  ShowControl(gPlacard);
  ShowControl(gVScrollBar);
  ShowControl(gHScrollBar);
  // The pages in sight change with the size, the zoom and the title columns too.
  ComputePageNumber();
}

void CloseDocument() {
  if (!gWindow) return;
  // An editor left open (its text refused) must not outlive the port it draws in.
  CloseEdit(kEditCancel);
  SaveWindowPlacement();
  GrafPtr port = nullptr;
  GetPort(&port);
  if (port == GetWindowPort(gWindow)) SetPort(nullptr);
  SetMainWindowHandlers(MainWindowHandlers{});
  DisposeWindow(gWindow);
  gWindow = nullptr;
  gVScrollBar = gHScrollBar = gPlacard = nullptr;
  gActive = 0;
}

// ---- Extent ----------------------------------------------------------------------

int VPageStep() {
  const int z = gZoom, h = VisibleHeight();
  if (IsGridView()) return (h - 34 * z - 12 * z / 5 - 4 * z / 5) / (4 * z);
  if (gCurrView == kSeatingChartView) return (h - 5 * ZoomLine()) / (8 * z);
  return h / (2 * ZoomLine());
}

int HPageStep() {
  const int z = gZoom, w = VisibleWidth();
  if (IsGridView()) return (w - gTitleWidth) / (8 * z);
  if (gCurrView == kSeatingChartView) return w / (24 * z);
  return w / (2 * ZoomLine());
}

int VScrollMax() {
  if (IsGridView()) return std::max(0, kMaxStudents - VPageStep());
  if (gCurrView == kSeatingChartView)
    return std::max(0, static_cast<int>(gSeatingChart.rows) - VPageStep());
  return std::max(0, MaxHeight() / (2 * ZoomLine()) - 1 - VPageStep());
}

int HScrollMax() {
  if (IsGridView()) return std::max(0, gLastColumn + 1 - HPageStep());
  if (gCurrView == kSeatingChartView)
    return std::max(0, static_cast<int>(gSeatingChart.columns) - HPageStep());
  return std::max(0, MaxWidth() / (2 * ZoomLine()) - HPageStep());
}

int VScrollValue() { return gVScrollBar ? GetControl32BitValue(gVScrollBar) : 0; }
int HScrollValue() { return gHScrollBar ? GetControl32BitValue(gHScrollBar) : 0; }

void SetVScrollValue(int value) {
  if (gVScrollBar)
    SetControl32BitValue(gVScrollBar, std::clamp(value, 0, std::max(0, VScrollMax())));
}

void TopOfPage() {
  if (!gVScrollBar) return;
  SetControlValue(gVScrollBar, 0);
  SetControlValue(gHScrollBar, 0);
}

void ScrollGrid(bool resetVertical) {
  if (gCurrView == kGradebookView) {
    // The last scored assignment near the right, four columns before it; a class whose
    // scored columns all fit in the window shows its first.
    const int last = LastActualAssignment();
    const int h =
        last < HPageStep() ? 0 : std::min(std::max(last - 4, 0), static_cast<int>(gLastColumn));
    if (gHScrollBar) SetControlValue(gHScrollBar, S16(h));
  } else if (gCurrView == kAttendanceView) {
    SetColumns();
    DateTimeRec date;
    SecondsToDate(GetDateTime(), date);
    date.hour = 12;
    date.minute = 0;
    date.second = 0;
    uint32_t today = 0;
    DateToSeconds(date, today);
    const TermDatesRecord& term = gTermDates[gCurrentTerm];
    int h;
    if (today <= term.start) {
      h = 0;
    } else if (today >= term.end) {
      h = gLastColumn;
    } else {
      const int64_t day = (static_cast<int64_t>(today) - gTermDates[0].start) / 86400;
      h = day >= 0 && day < kMaxDays ? gDayToColumn[day] : 0;
    }
    if (gHScrollBar) SetControlValue(gHScrollBar, S16(std::max(h, 0)));
  } else {
    return;
  }
  if (resetVertical && gVScrollBar) SetControlValue(gVScrollBar, 0);
  ComputePageNumber();
}

// ---- Page numbers ----------------------------------------------------------------

void ComputePageNumber() {
  if (!gWindow) return;
  if (IsReportView()) {
    ComputeReportPage();
    return;
  }
  const int z = gZoom, m2 = 2 * (24 * z / 5);
  const int pw = PageWidth(), ph = PageHeight();
  const int v = VScrollValue(), vb = v + VPageStep();
  int hv = HScrollValue(), hr = hv + HPageStep();
  if (gCurrView == kSeatingChartView) {
    const int cpp = std::max(1, (pw - m2) / (24 * z));
    const int rpp = std::max(1, (ph - 5 * ZoomLine() - m2) / (8 * z));
    const int down = (static_cast<int>(gSeatingChart.rows) - 1) / rpp + 1;
    SetPages(static_cast<uint16_t>(down * (hv / cpp) + v / rpp),
             static_cast<uint16_t>(down * (hr / cpp) + vb / rpp));
    return;
  }
  int cpp = std::max(1, (pw - gTitleWidth - m2) / (8 * z));
  const int rpp = std::max(1, (ph - 34 * z - 12 * z / 5 - 4 * z / 5 - m2) / (4 * z));
  if (gCurrView == kAttendanceView) {
    const int week = DaysPerWeek();
    if (week > 0 && cpp - cpp % week > 0) cpp -= cpp % week;
    hv += FirstWeekOffset();
    hr += FirstWeekOffset();
  }
  const int down = LastNamedSlot() / rpp + 1;
  // Rows past the last named student print on no page: the row blocks stop at the
  // last page down, and the rows partly in sight at the bottom count.
  const int firstRow = std::clamp(v / rpp, 0, down - 1);
  const int lastRow = std::clamp(vb / rpp, 0, down - 1);
  SetPages(static_cast<uint16_t>((hv / cpp) * down + firstRow),
           static_cast<uint16_t>((hr / cpp) * down + lastRow));
}

void ComputeReportPage() {
  if (!gWindow) return;
  const int line = ZoomLine(), ph = std::max(1, static_cast<int>(PageHeight()));
  const int top = line + VScrollValue() * 2 * line;
  SetPages(static_cast<uint16_t>(top / ph), static_cast<uint16_t>((VisibleHeight() + top) / ph));
}

namespace {
Rect PlacardRect() {
  const Rect p = PortRect();
  return Rect{static_cast<int16_t>(p.bottom + 2 - gScrollBarSize), p.left, p.bottom,
              static_cast<int16_t>(p.left + kPlacardRight)};
}
}  // namespace

void UpdatePageNumber() {
  if (!gWindow) return;
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  {
    const Rect p = PortRect();
    TextSize(gPageNoSize);
    TextFont(gPageNoFont);
    TextFace(normal);
    if (gPlacard) Draw1Control(gPlacard);
    // An inactive window shows its page numbers dimmed, as its scroll bars.
    const RGBColor dim{0x9999, 0x9999, 0x9999};
    if (!gActive) RGBForeColor(&dim);
    MoveTo(12, static_cast<int16_t>(p.bottom - 4));
    Str255 text = PStr("Page ");
    Str255 number;
    number.setC(std::to_string(gCurrPage + 1).c_str());
    Append(text, number);
    if (gLastPage != gCurrPage) {
      Append(text, PStr(" - "));
      number.setC(std::to_string(gLastPage + 1).c_str());
      Append(text, number);
    }
    DrawString(text);
    ForeColor(blackColor);
  }
  SetPort(saved);
  if (saved) {
    TextSize(gReportSize);
    TextFont(gReportFont);
  }
}

void HidePageNumber() {
  if (!gWindow) return;
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  const Rect r = PlacardRect();
  EraseRect(&r);
  SetPort(saved);
}

void ActivateMainWindow() {
  if (!gWindow) return;
  gActive = 1;
  ActivateControl(gPlacard);
  ActivateControl(gVScrollBar);
  ActivateControl(gHScrollBar);
  DrawGrowIcon(gWindow);
  UpdatePageNumber();
  // The editor takes what other programs put on the clipboard meanwhile.
  if (gEditHandle) {
    TEFromScrap();
    TEActivate(gEditHandle);
  }
}

void DeactivateMainWindow() {
  if (!gWindow) return;
  gActive = 0;
  DeactivateControl(gPlacard);
  DeactivateControl(gVScrollBar);
  DeactivateControl(gHScrollBar);
  DrawGrowIcon(gWindow);
  UpdatePageNumber();
  if (gEditHandle) {
    TEDeactivate(gEditHandle);
    TEToScrap();
  }
}

// ---- Scroll bars and the mouse ------------------------------------------------------

void TrackBar(ControlRef bar, int16_t part, int page, uint16_t& old, void (*scroll)(int)) {
  const int value = GetControlValue(bar);
  const int min = GetControlMinimum(bar), max = GetControlMaximum(bar);
  page = std::max(page, 1);
  int before = value, after = value;
  switch (part) {
    case kControlUpButtonPart: after = std::max(min, value - 1); break;
    case kControlDownButtonPart: after = std::min(max, value + 1); break;
    case kControlPageUpPart: after = std::max(min, value - page); break;
    case kControlPageDownPart: after = std::min(max, value + page); break;
    default:
      before = old;
      old = static_cast<uint16_t>(value);
      break;
  }
  if (after == before) return;
  if (part != kControlIndicatorPart) SetControlValue(bar, S16(after));
  scroll(before - after);
}

void TrackScrollBar(int16_t part, Point where, ControlRef control, ControlActionUPP vertical,
                    ControlActionUPP horizontal) {
  const bool isVertical = control == gVScrollBar;
  if (part == kControlIndicatorPart)
    (isVertical ? gOldVPos : gOldHPos) = static_cast<uint16_t>(GetControlValue(control));
  TrackControl(control, where, isVertical ? vertical : horizontal);
}

void WheelBar(ControlRef bar, int32_t delta, void (*scroll)(int)) {
  if (!bar) return;
  const int value = GetControlValue(bar);
  const int64_t wanted = static_cast<int64_t>(value) - delta;
  const int next = static_cast<int>(
      std::clamp<int64_t>(wanted, GetControlMinimum(bar), GetControlMaximum(bar)));
  if (next == value) return;
  SetControlValue(bar, S16(next));
  scroll(value - next);
}

Point LocalMouse() {
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  Point p{0, 0};
  GetMouse(&p);
  SetPort(saved);
  return p;
}
