#include "marktally/shell/window/selection.h"

#include <algorithm>

#include "marktally/model/tables.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/seating_view.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/windows.h"

uint16_t gSelStudent = kNone;
uint16_t gSelAssignment = kNone;
uint16_t gSelSeatRow = kNone;
uint16_t gSelSeatCol = kNone;
uint16_t gReportStudent = kNone;
uint16_t gReportAssignment = kNone;

namespace {

// The heads of the edited cell the savers ask for: lit while the editor is open on the
// cell, plain while its text is checked (the alerts of a refusal show them plain).
struct CellHeads {
  bool lit = false;
  int16_t s = -1, a = -1;
};
CellHeads gCellHeads;

// The highlights laid on the grid: what the state asked for when they were last laid,
// so that what it no longer asks for is taken off. -1: none.
struct Highlights {
  int16_t student = -1, assignment = -1;  // the selected row or column
  int16_t headStudent = -1, headAssignment = -1;  // the edited cell's row and column heads
  bool operator==(const Highlights& o) const {
    return student == o.student && assignment == o.assignment &&
           headStudent == o.headStudent && headAssignment == o.headAssignment;
  }
  bool None() const { return *this == Highlights{}; }
};
Highlights gShown;

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

namespace {

void AddRect(RgnHandle rgn, const Rect& r) {
  if (r.bottom <= r.top || r.right <= r.left) return;
  RgnHandle one = NewRgn();
  RectRgn(one, &r);
  UnionRgn(rgn, one, rgn);
  DisposeRgn(one);
}

// The whole row across the visible grid.
void AddStudent(RgnHandle rgn, int16_t s) {
  if (s < 0 || s < VScrollValue()) return;
  Rect box;
  StudentBox(s, &box);
  const Rect content = ContentRect();
  const int right = std::min(AssignmentOffset(HScrollValue(), LastVisibleColumn()),
                             static_cast<int>(content.right));
  AddRect(rgn, Rect{S16(box.top - gZoom - 1), 2, std::min(box.bottom, content.bottom),
                    S16(right)});
}

// The whole column down the visible grid.
void AddAssignment(RgnHandle rgn, int16_t a) {
  if (a < 0 || a < HScrollValue()) return;
  Rect box;
  TitleBox(a, &box);
  const Rect content = ContentRect();
  const int bottom = std::min(StudentOffset(VScrollValue(), LastVisibleRow()),
                              static_cast<int>(content.bottom));
  AddRect(rgn, Rect{3, box.left, S16(bottom), std::min(box.right, content.right)});
}

// The row-number cell and the column-number cell of the edited cell.
void AddHeads(RgnHandle rgn, int16_t s, int16_t a) {
  const int z = gZoom, line = ZoomLine();
  if (s >= 0 && s >= VScrollValue()) {
    const int bottom = StudentOffset(VScrollValue(), s);
    AddRect(rgn, Rect{S16(bottom - 4 * z + 1), 2, S16(bottom), S16(NumberColumnRight() + 1)});
  }
  if (a >= 0 && a >= HScrollValue()) {
    Rect label;
    LabelBox(a, &label);
    label.top = S16(30 * z + line + 3);
    label.bottom = S16(label.top + 4 * z + 1 + (z == 7 ? 1 : 0));
    AddRect(rgn, label);
  }
}

void AddAll(RgnHandle rgn, const Highlights& h) {
  AddStudent(rgn, h.student);
  AddAssignment(rgn, h.assignment);
  if (h.headStudent >= 0) AddHeads(rgn, h.headStudent, h.headAssignment);
}

// What the state asks the grid to show now.
Highlights Wanted() {
  Highlights w;
  if (gSelStudent != kNone)
    w.student = Slot(gSelStudent);
  else if (gSelAssignment != kNone)
    w.assignment = Slot(gSelAssignment);
  const bool cell = gEditKind == kEditScore || gEditKind == kEditAttendance;
  if (gCellHeads.lit && gEditHandle && cell && Slot(gEditStudent) == gCellHeads.s &&
      Slot(gEditAssignment) == gCellHeads.a) {
    w.headStudent = gCellHeads.s;
    w.headAssignment = gCellHeads.a;
  }
  return w;
}

}  // namespace

void SelectStudent(int16_t s) {
  if (gEditHandle || gSelStudent == static_cast<uint16_t>(s)) return;
  CancelSelection();
  gSelStudent = static_cast<uint16_t>(s);
  gSelAssignment = kNone;
  UpdateSelection();
}

void SelectAssignment(int16_t a) {
  if (gEditHandle || gSelAssignment == static_cast<uint16_t>(a)) return;
  CancelSelection();
  gSelAssignment = static_cast<uint16_t>(a);
  gSelStudent = kNone;
  UpdateSelection();
}

void CancelSelection() {
  const uint16_t row = gSelSeatRow, column = gSelSeatCol;
  gSelStudent = gSelAssignment = gSelSeatRow = gSelSeatCol = kNone;
  if (row != kNone) HiliteSeat(static_cast<int16_t>(row), static_cast<int16_t>(column));
  UpdateSelection();
}

void UpdateSelection() {
  if (!gWindow) {
    gShown = Highlights{};  // a window to come starts plain
    gCellHeads = CellHeads{};
    return;
  }
  if (gCurrView == kSeatingChartView) {
    gShown = Highlights{};
    UpdateSeatDecorations();
    return;
  }
  if (!IsGridView()) {
    gShown = Highlights{};  // a report covers the grid
    return;
  }
  const Highlights want = Wanted();
  if (want.None() && gShown.None()) return;
  WindowDrawing drawing;
  RgnHandle on = NewRgn(), off = NewRgn(), clip = NewRgn();
  AddAll(on, want);
  // What was laid and is no longer asked for, where nothing asked for lies over it.
  Highlights stale;
  if (gShown.student != want.student) stale.student = gShown.student;
  if (gShown.assignment != want.assignment) stale.assignment = gShown.assignment;
  if (gShown.headStudent != want.headStudent || gShown.headAssignment != want.headAssignment) {
    stale.headStudent = gShown.headStudent;
    stale.headAssignment = gShown.headAssignment;
  }
  AddAll(off, stale);
  DiffRgn(off, on, off);
  // The open editor's box is never lit: it shows its own text and selection.
  const Rect content = ContentRect();
  RectRgn(clip, &content);
  if (gEditHandle) {
    RgnHandle box = NewRgn();
    RectRgn(box, &gEditBox);
    DiffRgn(clip, box, clip);
    DisposeRgn(box);
  }
  SetClip(clip);
  HiliteRgn(off, false);
  HiliteRgn(on, true);
  gShown = want;
  DisposeRgn(on);
  DisposeRgn(off);
  DisposeRgn(clip);
}

void SetCellHeads(int16_t s, int16_t a, bool lit) {
  gCellHeads = CellHeads{lit, s, a};
  UpdateSelection();
}

void InvertFrame(Rect r, int16_t thickness) {
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
  UpdateSelection();
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
  UpdateSelection();
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
  UpdateSelection();
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
  UpdateSelection();
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
  UpdateSelection();
}

void UpdateAssignmentInfo(int16_t a) {
  if (!gWindow) return;
  WindowDrawing drawing;
  const Rect r{0, 0, S16(30 * gZoom + ZoomLine() - 1), S16(gTitleWidth - 2)};
  ClipRect(&r);
  EraseRect(&r);
  DrawGradebookHeader();
  DrawAssignmentInfo(a);
  UpdateSelection();
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
  }
  ScrollEdit();
  UpdateEdit();
  UpdateSelection();
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
  }
  ScrollEdit();
  UpdateEdit();
  UpdateSelection();
  ComputePageNumber();
}
