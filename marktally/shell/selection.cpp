#include "marktally/shell/selection.h"

#include <algorithm>

#include "marktally/model/tables.h"
#include "marktally/shell/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/grid.h"
#include "marktally/shell/pagesize.h"
#include "marktally/shell/seating_view.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/windows.h"

uint16_t gSelStudent = kNone;
uint16_t gSelAssignment = kNone;
uint16_t gSelSeatRow = kNone;
uint16_t gSelSeatCol = kNone;
uint16_t gReportStudent = kNone;
uint16_t gReportAssignment = kNone;

namespace {

// The heads of the edited cell as the window shows them.
struct CellHeads {
  bool lit = false;
  int16_t s = -1, a = -1;
};
CellHeads gCellHeads;

void InvertHilite(const Rect& r) {
  LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
  InvertRect(&r);
}

int LastVisibleRow() { return std::min(kMaxStudents - 1, VScrollValue() + VPageStep()); }
int LastVisibleColumn() {
  return std::min(static_cast<int>(gLastColumn), HScrollValue() + HPageStep());
}

// The grid area below the header, and right of the title column.
void ClipToRows(int left, int right) {
  const Rect content = ContentRect();
  const Rect r{S16(HeaderBottom() + 1), S16(left), content.bottom, S16(right)};
  ClipRect(&r);
}

// The open editor sits on row s (and column a, unless a is kNone): its cell was just
// redrawn under it.
bool EditorOnRow(int16_t s, uint16_t a) {
  if (!gEditHandle || gEditStudent != static_cast<uint16_t>(s)) return false;
  const bool cell = gEditKind == kEditScore || gEditKind == kEditAttendance;
  return a == kNone ? !cell : cell && gEditAssignment == a;
}

void ScoreFont() {
  TextFont(gReportFont);
  TextSize(gReportSize);
  TextFace(normal);
}

}  // namespace

// ---- Selection ----------------------------------------------------------------------

void SelectStudent(int16_t s) {
  if (gEditHandle || gSelStudent == static_cast<uint16_t>(s)) return;
  CancelSelection();
  gSelStudent = static_cast<uint16_t>(s);
  gSelAssignment = kNone;
  HiliteStudent(s);
}

void SelectAssignment(int16_t a) {
  if (gEditHandle || gSelAssignment == static_cast<uint16_t>(a)) return;
  CancelSelection();
  gSelAssignment = static_cast<uint16_t>(a);
  gSelStudent = kNone;
  HiliteAssignment(a);
}

void CancelSelection() {
  UpdateSelection();
  const uint16_t row = gSelSeatRow, column = gSelSeatCol;
  gSelStudent = gSelAssignment = gSelSeatRow = gSelSeatCol = kNone;
  if (row != kNone) HiliteSeat(static_cast<int16_t>(row), static_cast<int16_t>(column));
}

void UpdateSelection() {
  if (gSelStudent != kNone)
    HiliteStudent(Slot(gSelStudent));
  else if (gSelAssignment != kNone)
    HiliteAssignment(Slot(gSelAssignment));
}

void HiliteStudent(int16_t s) {
  if (!gWindow || !IsGridView() || s < VScrollValue()) return;
  WindowDrawing drawing;
  Rect box;
  StudentBox(s, &box);
  const Rect content = ContentRect();
  const int right = std::min(AssignmentOffset(HScrollValue(), LastVisibleColumn()),
                             static_cast<int>(content.right));
  const Rect r{S16(box.top - gZoom - 1), 2, std::min(box.bottom, content.bottom), S16(right)};
  InvertHilite(r);
}

void HiliteAssignment(int16_t a) {
  if (!gWindow || !IsGridView() || a < HScrollValue()) return;
  WindowDrawing drawing;
  Rect box;
  TitleBox(a, &box);
  const Rect content = ContentRect();
  const int bottom = std::min(StudentOffset(VScrollValue(), LastVisibleRow()),
                              static_cast<int>(content.bottom));
  const Rect r{3, box.left, S16(bottom), std::min(box.right, content.right)};
  InvertHilite(r);
}

void SetCellHeads(int16_t s, int16_t a, bool lit) {
  if (gCellHeads.lit && (gCellHeads.s != s || gCellHeads.a != a)) {
    HiliteCell(gCellHeads.s, gCellHeads.a);
    gCellHeads.lit = false;
  }
  if (gCellHeads.lit == lit) return;
  HiliteCell(s, a);
  gCellHeads = CellHeads{lit, s, a};
}

void ForgetCellHeads() { gCellHeads = CellHeads{}; }

void HiliteCell(int16_t s, int16_t a) {
  if (!gWindow) return;
  WindowDrawing drawing;
  const int z = gZoom, line = ZoomLine();
  if (s >= VScrollValue()) {
    const int bottom = StudentOffset(VScrollValue(), s);
    InvertHilite(Rect{S16(bottom - 4 * z + 1), 2, S16(bottom), S16(NumberColumnRight() + 1)});
  }
  if (a >= HScrollValue()) {
    Rect label;
    LabelBox(a, &label);
    label.top = S16(30 * z + line + 3);
    label.bottom = S16(label.top + 4 * z + 1 + (z == 7 ? 1 : 0));
    InvertHilite(label);
  }
}

namespace {
// Inverts a frame of the given thickness just inside r.
void InvertFrame(Rect r, int16_t thickness = 1) {
  Rect inner = r;
  InsetRect(&inner, thickness, thickness);
  RgnHandle outer = NewRgn(), hole = NewRgn();
  RectRgn(outer, &r);
  RectRgn(hole, &inner);
  DiffRgn(outer, hole, outer);
  InvertRgn(outer);
  DisposeRgn(outer);
  DisposeRgn(hole);
}
}  // namespace

void OutlineStudent(int16_t s) {
  if (!gWindow || s < VScrollValue()) return;
  WindowDrawing drawing;
  Rect box;
  StudentBox(s, &box);
  const int right = std::min(AssignmentOffset(HScrollValue(), LastVisibleColumn()),
                             static_cast<int>(ContentRect().right));
  InvertFrame(Rect{S16(box.top - 5), 2, box.bottom, S16(right)});
}

void OutlineAssignment(int16_t a) {
  if (!gWindow || a < HScrollValue()) return;
  WindowDrawing drawing;
  Rect box;
  TitleBox(a, &box);
  const int bottom = std::min(StudentOffset(VScrollValue(), LastVisibleRow()),
                              static_cast<int>(ContentRect().bottom));
  InvertFrame(Rect{3, box.left, S16(bottom), box.right});
}

// ---- Partial redraws ----------------------------------------------------------------

void UpdateStudent(int16_t s) {
  if (!gWindow || s < 0 || s >= kMaxStudents) return;
  WindowDrawing drawing;
  ClipToRows(0, gTitleWidth - 16 * gZoom);
  Rect r;
  IDBox(s, &r);
  EraseRect(&r);
  StudentBox(s, &r);
  EraseRect(&r);
  ScoreFont();
  DrawStudent(S16(VScrollValue()), s);
  if (EditorOnRow(s, kNone)) UpdateEdit();
}

void UpdateGrade(int16_t s) {
  if (!gWindow || s < 0 || s >= kMaxStudents) return;
  WindowDrawing drawing;
  ClipToRows(gTitleWidth - 16 * gZoom, gTitleWidth);
  Rect r;
  GradeBox(s, &r);
  EraseRect(&r);
  ScoreFont();
  DrawGrade(S16(VScrollValue()), s);
  if (EditorOnRow(s, kNone)) UpdateEdit();
}

void UpdateAllGrades() {
  const int first = VScrollValue();
  for (int s = first; s <= std::min(kMaxStudents - 1, first + VPageStep()); s++)
    UpdateGrade(S16(s));
}

void UpdateScore(int16_t s, int16_t a) {
  if (!gWindow || s < 0 || s >= kMaxStudents) return;
  WindowDrawing drawing;
  ClipToRows(gTitleWidth + 1, ContentRect().right);
  Rect r;
  ScoreBox(s, a, &r);
  OffsetRect(&r, 0, -1);
  EraseRect(&r);
  ScoreFont();
  const int listEnd = NumStudents();
  if (s >= listEnd && !gStudents[s].name.empty()) TextFace(italic);
  DrawScore(S16(VScrollValue()), S16(HScrollValue()), s, a);
  if (EditorOnRow(s, static_cast<uint16_t>(a))) UpdateEdit();
}

void UpdateAssignment(int16_t a) {
  if (!gWindow) return;
  WindowDrawing drawing;
  const Rect content = ContentRect();
  const Rect clip{3, S16(gTitleWidth + 1), S16(HeaderBottom() - 1), content.right};
  ClipRect(&clip);
  Rect r;
  TitleBox(a, &r);
  EraseRect(&r);
  DrawAssignment(S16(HScrollValue()), a);
  if (gEditHandle && gEditAssignment == static_cast<uint16_t>(a) && gEditStudent == kNone)
    InvertFrame(r, 2);
}

void UpdateAssignmentScores(int16_t a) {
  UpdateAssignment(a);
  for (int s = 0; s < kMaxStudents; s++) UpdateScore(S16(s), a);
}

void UpdateHeader() {
  if (IsGridView()) UpdateGradebookHeader();
  if (gCurrView == kSeatingChartView) UpdateSeatingChartHeader();
}

void UpdateGradebookHeader() {
  if (!gWindow) return;
  WindowDrawing drawing;
  const Rect r{0, 0, S16(30 * gZoom + ZoomLine() - 1), S16(gTitleWidth - 2)};
  ClipRect(&r);
  EraseRect(&r);
  DrawGradebookHeader();
}

void UpdateAssignmentInfo(int16_t a) {
  if (!gWindow) return;
  WindowDrawing drawing;
  const Rect r{0, 0, S16(30 * gZoom + ZoomLine() - 1), S16(gTitleWidth - 2)};
  ClipRect(&r);
  EraseRect(&r);
  DrawGradebookHeader();
  DrawAssignmentInfo(a);
}

void ForceUpdate() {
  if (!gWindow) return;
  Rect r;
  GetPortBounds(GetWindowPort(gWindow), &r);
  InvalWindowRect(gWindow, &r);
}

// ---- Scrolling ----------------------------------------------------------------------

void ShowStudent(int16_t s) {
  if (!gVScrollBar) return;
  const int v = VScrollValue();
  if (s < v) {
    SetControlValue(gVScrollBar, s);
    ScrollStudents(v - s);
    return;
  }
  const int last = std::min(kMaxStudents - 1, v + VPageStep() - 1);
  if (s > last) {
    SetControlValue(gVScrollBar, S16(v + s - last));
    ScrollStudents(last - s);
  }
}

void ShowAssignment(int16_t a) {
  if (!gHScrollBar) return;
  const int h = HScrollValue();
  if (a < h) {
    SetControlValue(gHScrollBar, a);
    ScrollAssignments(h - a);
    return;
  }
  const int last = std::min(static_cast<int>(gLastColumn), h + HPageStep() - 1);
  if (a > last) {
    SetControlValue(gHScrollBar, S16(h + a - last));
    ScrollAssignments(last - a);
  }
}

namespace {

// Scrolls rect by (dh, dv) and leaves the clip on the uncovered part of it.
void ScrollAndClip(const Rect& rect, int dh, int dv) {
  const Rect content = ContentRect();
  ClipRect(&content);
  RgnHandle exposed = NewRgn();
  ScrollRect(&rect, S16(dh), S16(dv), exposed);
  SetClip(exposed);
  DisposeRgn(exposed);
}

}  // namespace

void ScrollStudents(int n) {
  if (!gWindow || n == 0 || !IsGridView()) return;
  {
  WindowDrawing drawing;
  Rect rect = ContentRect();
  rect.top = S16(HeaderBottom() + 1);
  ScrollAndClip(rect, 0, n * RowHeight());
  const int v = VScrollValue(), page = VPageStep();
  int r0 = v, r1 = std::min(kMaxStudents - 1, v + page);
  if (page >= 1) {
    if (n < 0) r0 = std::max(v, r1 + std::max(n, -page) - 1);
    if (n > 0) r1 = std::min(r1, r0 + std::min(n, page));
  }
  const int c0 = HScrollValue();
  const int c1 = std::min(static_cast<int>(gLastColumn), c0 + HPageStep());
  DrawGridBand(S16(v), S16(r0), S16(r1), S16(c0), S16(c0), S16(c1), false);
  UpdateSelection();
  }
  ScrollEdit();
  UpdateEdit();
  ComputePageNumber();
}

void ScrollAssignments(int n) {
  if (!gWindow || n == 0 || !IsGridView()) return;
  {
  WindowDrawing drawing;
  Rect rect = ContentRect();
  rect.left = S16(gTitleWidth + 1);
  rect.top = 2;
  ScrollAndClip(rect, n * ColumnWidth(), 0);
  const int h = HScrollValue(), page = HPageStep();
  int c0 = h, c1 = std::min(static_cast<int>(gLastColumn), h + page);
  if (page >= 1) {
    if (n < 0) c0 = std::max(h, c1 + std::max(n, -page) - 1);
    if (n > 0) c1 = std::min(c1, c0 + std::min(n, page));
  }
  const int r0 = VScrollValue();
  const int r1 = std::min(kMaxStudents - 1, r0 + VPageStep());
  DrawGridBand(S16(r0), S16(r0), S16(r1), S16(h), S16(c0), S16(c1), true);
  UpdateSelection();
  }
  ScrollEdit();
  UpdateEdit();
  ComputePageNumber();
}
