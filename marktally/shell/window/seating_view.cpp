#include "marktally/shell/window/seating_view.h"

#include <algorithm>

#include "marktally/model/accessors.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/windows.h"

namespace {


int Rows() { return std::clamp<int>(gSeatingChart.rows, 0, kMaxSeatRows); }
int Columns() { return std::clamp<int>(gSeatingChart.columns, 0, kMaxSeatColumns); }
bool InChart(int r, int c) { return r >= 0 && r < Rows() && c >= 0 && c < Columns(); }
bool IsSeat(uint16_t code) { return code != kUnavailableSeat && code != kHiddenSeat; }

int HeaderHeight() { return 5 * ZoomLine(); }
int SeatHeight() { return 8 * gZoom; }
int SeatWidth() { return 24 * gZoom; }

// The drop target of a seat drag.
int gOutlineRow = -1;
int gOutlineColumn = -1;

bool Showing() { return gWindow && gCurrView == kSeatingChartView; }

// The content below the header band, where the seats are.
Rect SeatArea() {
  Rect r = ContentRect();
  r.top = S16(HeaderHeight());
  return r;
}

void ChartFont() {
  TextFont(gReportFont);
  TextSize(gReportSize);
  TextFace(normal);
}

// The cell of a seat (its box with the 4-pixel gap around it), without the margin.
Rect Cell(int r0, int c0, int r, int c) {
  const int top = RowOffset(r0, r), left = ColumnOffset(c0, c);
  return Rect{S16(top), S16(left), S16(top + SeatHeight()), S16(left + SeatWidth())};
}

bool Visible(int r, int c) {
  const int r0 = VScrollValue(), c0 = HScrollValue();
  return InChart(r, c) && r >= r0 && r <= r0 + VPageStep() && c >= c0 &&
         c <= c0 + HPageStep();
}

// The marks of a seat just drawn: the selection lights its box, the drop target inverts
// the one-pixel frame between the box inset by 1 and by 2.
void DecorateSeat(int r, int c) {
  Rect box{};
  SeatBox(S16(r), S16(c), &box);
  if (static_cast<uint16_t>(r) == gSelSeatRow && static_cast<uint16_t>(c) == gSelSeatCol) {
    RgnHandle lit = NewRgn();
    RectRgn(lit, &box);
    HiliteRgn(lit, true);
    DisposeRgn(lit);
  }
  if (r == gOutlineRow && c == gOutlineColumn) {
    Rect outer = box;
    InsetRect(&outer, 1, 1);
    InvertFrame(outer);
  }
}

// One seat drawn afresh with its marks, clipped to the seat area.
void RedrawSeat(int r, int c) {
  if (!Showing() || !Visible(r, c)) return;
  WindowDrawing drawing;
  const Rect area = SeatArea();
  ClipRect(&area);
  const int r0 = VScrollValue(), c0 = HScrollValue();
  const Rect cell = Cell(r0, c0, r, c);
  EraseRect(&cell);
  ChartFont();
  DrawOneSeat(S16(r0), S16(c0), S16(r), S16(c));
  DecorateSeat(r, c);
}

void DrawAt(int x, int y, ConstStringPtr text) {
  MoveTo(S16(x), S16(y));
  DrawString(text);
}

// Scrolls rect by (dh, dv) and leaves the clip on the uncovered part of it.
void ScrollAndClip(const Rect& rect, int dh, int dv) {
  const Rect content = ContentRect();
  ClipRect(&content);
  RgnHandle exposed = NewRgn();
  ScrollRect(&rect, S16(dh), S16(dv), exposed);
  SetClip(exposed);
  DisposeRgn(exposed);
}

// The band a scroll by n uncovered, from the new first index f with the page step.
void Band(int n, int f, int count, int page, int* from, int* to) {
  const int last = std::min(count - 1, f + page);
  *from = f;
  *to = last;
  if (page < 1) return;
  if (n < 0) *from = std::max(f, last + std::max(n, -page) - 1);
  if (n > 0) *to = std::min(last, f + std::min(n, page));
}

}  // namespace

int RowOffset(int r0, int r) { return HeaderHeight() + (r - r0) * SeatHeight(); }
int ColumnOffset(int c0, int c) { return (c - c0) * SeatWidth(); }

void SeatBox(int16_t r, int16_t c, Rect* box) {
  const int r0 = VScrollValue(), c0 = HScrollValue();
  if (r < r0 || c < c0) {
    *box = Rect{-2, -2, -1, -1};
    return;
  }
  const int top = RowOffset(r0, r), left = ColumnOffset(c0, c);
  *box = Rect{S16(top + 4), S16(left + 4), S16(top + SeatHeight() - 4),
              S16(left + SeatWidth() - 4)};
}

// ---- Drawing --------------------------------------------------------------------------

void UpdateSeatingChart() {
  UpdateContent(
      [](const Rect& content) {
        ClipRect(&content);
        const int r0 = VScrollValue(), c0 = HScrollValue();
        const int r1 = std::min(Rows() - 1, r0 + VPageStep());
        const int c1 = std::min(Columns() - 1, c0 + HPageStep());
        ChartFont();
        DrawSeatingChartHeader();
        DrawSeatingChart(S16(r0), S16(r1), S16(c0), S16(c1));
      },
      UpdateEdit);
}

void UpdateSeatingChartHeader() {
  if (!Showing()) return;
  WindowDrawing drawing;
  const Rect r{0, 0, S16(HeaderHeight() - 1), S16(gTitleWidth - 2)};
  ClipRect(&r);
  EraseRect(&r);
  ChartFont();
  DrawSeatingChartHeader();
  UpdateEdit();
  UpdateSelection();
}

void DrawSeatingChartHeader() {
  // A printed page starts in the port's own font, which its lines do not leave room for.
  ChartFont();
  const int m = gMargin, line = ZoomLine();
  const uint16_t width = static_cast<uint16_t>(std::max(gTitleWidth - 12, 0));
  Str255 text{};
  TrimString(gClass.school, text, width);
  DrawAt(m + 8, m + 2 * line - 2, text);
  Str255 subject{};
  subject.set(gClass.subject);
  if (gClass.lastTerm > 0) {
    Append(subject, PStr(" ("));
    Append(subject, gTermNames[CurrentTermIndex()]);
    Append(subject, PStr(")"));
  }
  TrimString(subject, text, width);
  DrawAt(m + 8, m + 3 * line - 2, text);
  TrimString(gClass.teacher, text, width);
  DrawAt(m + 8, m + 4 * line - 2, text);
}

void DrawSeatingChart(int16_t r0, int16_t r1, int16_t c0, int16_t c1) {
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) DrawOneSeat(r0, c0, S16(r), S16(c));
}

void DrawOneSeat(int16_t r0, int16_t c0, int16_t r, int16_t c) {
  if (!InChart(r, c)) return;
  const uint16_t code = gSeatingChart.seats[r][c];
  if (code == kHiddenSeat) return;
  const int z = gZoom, line = ZoomLine(), m = gMargin;
  const int top = m + RowOffset(r0, r) + 4, left = m + ColumnOffset(c0, c) + 4;
  const Rect box{S16(top), S16(left), S16(m + RowOffset(r0, r) + 8 * z - 4),
                 S16(m + ColumnOffset(c0, c) + 24 * z - 4)};
  if (code == kUnavailableSeat) {
    Pattern gray{};
    GetQDGlobalsGray(&gray);
    FillRect(&box, &gray);
  }
  FrameRect(&box);
  if (code >= kMaxStudents) return;
  const Str31& name = gStudents[code].name;
  Str255 first{}, last{};
  GetFirstName(name, first);
  GetLastName(name, last);
  // A one-word name is its own first and last name: it shows once.
  if (first.length() == name.length() && last.length() == name.length()) last.clear();
  const bool slanted = code >= NumStudents();
  if (slanted) TextFace(italic);
  const uint16_t room = static_cast<uint16_t>(24 * z - 8);
  int baseline = top + line - 8 + 2 * z;
  for (ConstStringPtr part : {static_cast<ConstStringPtr>(first),
                              static_cast<ConstStringPtr>(last)}) {
    Str255 text{};
    TrimString(part, text, room);
    if (!text.empty()) DrawAt(left - 2 + (24 * z - StringWidth(text)) / 2, baseline, text);
    baseline += line;
  }
  if (slanted) TextFace(normal);
}

// ---- The selected seat and the drop target ------------------------------------------

void SelectSeat(int16_t r, int16_t c) {
  if (gEditHandle || !InChart(r, c)) return;
  if (gSelSeatRow == static_cast<uint16_t>(r) && gSelSeatCol == static_cast<uint16_t>(c))
    return;
  CancelSelection();
  gSelSeatRow = static_cast<uint16_t>(r);
  gSelSeatCol = static_cast<uint16_t>(c);
  HiliteSeat(r, c);
}

void HiliteSeat(int16_t r, int16_t c) { RedrawSeat(r, c); }

void OutlineSeat(int16_t r, int16_t c) {
  const int oldRow = gOutlineRow, oldColumn = gOutlineColumn;
  const bool seat = InChart(r, c) && IsSeat(gSeatingChart.seats[r][c]);
  gOutlineRow = seat ? r : -1;
  gOutlineColumn = seat ? c : -1;
  if (oldRow == gOutlineRow && oldColumn == gOutlineColumn) return;
  RedrawSeat(oldRow, oldColumn);
  RedrawSeat(gOutlineRow, gOutlineColumn);
}

void UpdateSeatDecorations() {
  if (!Showing()) return;
  const int row = gSelSeatRow == kNone ? -1 : gSelSeatRow;
  const int column = gSelSeatCol == kNone ? -1 : gSelSeatCol;
  RedrawSeat(row, column);
  if (gOutlineRow != row || gOutlineColumn != column) RedrawSeat(gOutlineRow, gOutlineColumn);
}

// ---- Scrolling ------------------------------------------------------------------------

void ShowSeat(int16_t r, int16_t c) {
  if (!gVScrollBar || !gHScrollBar) return;
  const int v = VScrollValue(), h = HScrollValue();
  if (r < v) {
    SetControlValue(gVScrollBar, r);
    ScrollRows(v - r);
  } else {
    const int last = std::min(Rows() - 1, v + VPageStep() - 1);
    if (r > last) {
      SetControlValue(gVScrollBar, S16(v + r - last));
      ScrollRows(last - r);
    }
  }
  if (c < h) {
    SetControlValue(gHScrollBar, c);
    ScrollColumns(h - c);
  } else {
    const int last = std::min(Columns() - 1, h + HPageStep() - 1);
    if (c > last) {
      SetControlValue(gHScrollBar, S16(h + c - last));
      ScrollColumns(last - c);
    }
  }
}

void ScrollRows(int n) {
  if (!Showing() || n == 0) return;
  {
    WindowDrawing drawing;
    ScrollAndClip(SeatArea(), 0, n * SeatHeight());
    int from = 0, to = 0;
    Band(n, VScrollValue(), Rows(), VPageStep(), &from, &to);
    UpdateRows(S16(from), S16(to));
  }
  UpdateSelection();
  ComputePageNumber();
}

void ScrollColumns(int n) {
  if (!Showing() || n == 0) return;
  {
    WindowDrawing drawing;
    ScrollAndClip(SeatArea(), n * SeatWidth(), 0);
    int from = 0, to = 0;
    Band(n, HScrollValue(), Columns(), HPageStep(), &from, &to);
    UpdateColumns(S16(from), S16(to));
  }
  UpdateSelection();
  ComputePageNumber();
}

// Both draw within the current clip (the uncovered band of a scroll).
void UpdateRows(int16_t r0, int16_t r1) {
  const int v = VScrollValue(), h = HScrollValue();
  const int c1 = std::min(Columns() - 1, h + HPageStep());
  ChartFont();
  for (int r = std::max<int>(r0, 0); r <= std::min<int>(r1, Rows() - 1); r++) {
    for (int c = h; c <= c1; c++) {
      const Rect cell = Cell(v, h, r, c);
      EraseRect(&cell);
      DrawOneSeat(S16(v), S16(h), S16(r), S16(c));
    }
  }
}

void UpdateColumns(int16_t c0, int16_t c1) {
  const int v = VScrollValue(), h = HScrollValue();
  const int r1 = std::min(Rows() - 1, v + VPageStep());
  ChartFont();
  for (int c = std::max<int>(c0, 0); c <= std::min<int>(c1, Columns() - 1); c++) {
    for (int r = v; r <= r1; r++) {
      const Rect cell = Cell(v, h, r, c);
      EraseRect(&cell);
      DrawOneSeat(S16(v), S16(h), S16(r), S16(c));
    }
  }
}
