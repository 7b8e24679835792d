#include "marktally/shell/window/grid.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/window/seating_view.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/windows.h"

GWorldPtr gHWorld = nullptr;
GWorldPtr gVWorld = nullptr;
Rect gHBox{0, 0, 0, 0};
Rect gVBox{0, 0, 0, 0};

namespace {

constexpr Rect kNoBox{-2, -2, -1, -1};


Str255 Number(long n) {
  Str255 s;
  s.setC(std::to_string(n).c_str());
  return s;
}

bool IsBlank(ConstStringPtr s) {
  for (int i = 1; i <= s[0]; i++)
    if (s[i] != ' ') return false;
  return true;
}

// Draws at a baseline point; blank texts draw nothing and are skipped.
void DrawAt(int h, int v, ConstStringPtr text) {
  if (IsBlank(text)) return;
  MoveTo(S16(h), S16(v));
  DrawString(text);
}
void DrawRightAligned(int right, int v, ConstStringPtr text) {
  DrawAt(right - StringWidth(text), v, text);
}

void Line(int h0, int v0, int h1, int v1) {
  MoveTo(S16(h0), S16(v0));
  LineTo(S16(h1), S16(v1));
}

Pattern Gray() {
  Pattern p;
  GetQDGlobalsGray(&p);
  return p;
}
Pattern Black() {
  Pattern p;
  GetQDGlobalsBlack(&p);
  return p;
}
void UsePattern(bool black) {
  const Pattern p = black ? Black() : Gray();
  PenPat(&p);
}

bool ShowsIDs() { return gClass.flags & kShowIDs; }
bool ShowsNames() { return gClass.flags & kShowNames; }

// A named slot after the first empty name: listed past the class list's end.
bool PastListEnd(int s, int listEnd) { return s >= listEnd && !gStudents[s].name.empty(); }


int RowBottom(int r0, int s) { return gMargin + StudentOffset(r0, s); }
int ColRight(int c0, int a) { return gMargin + AssignmentOffset(c0, a); }

void UseGridFont() {
  TextFont(gReportFont);
  TextSize(gReportSize);
  TextFace(normal);
}

}  // namespace

// ---- Rotation --------------------------------------------------------------------

void SetupRotation() {
  const int z = gZoom, line = ZoomLine();
  gHBox = Rect{0, 0, S16(8 * z - 1), S16(30 * z + line - 1)};
  gVBox = Rect{0, 0, S16(30 * z + line - 1), S16(8 * z - 1)};
  NewGWorld(&gHWorld, kScreenDepth, &gHBox, nullptr, nullptr, noNewDevice);
  NewGWorld(&gVWorld, kScreenDepth, &gVBox, nullptr, nullptr, noNewDevice);
  if (gHWorld) LockPixels(GetGWorldPixMap(gHWorld));
  if (gVWorld) LockPixels(GetGWorldPixMap(gVWorld));
}

void CleanupRotation() {
  if (gHWorld) {
    UnlockPixels(GetGWorldPixMap(gHWorld));
    DisposeGWorld(gHWorld);
  }
  if (gVWorld) {
    UnlockPixels(GetGWorldPixMap(gVWorld));
    DisposeGWorld(gVWorld);
  }
  gHWorld = gVWorld = nullptr;
}

void RotateGWorld(GWorldPtr source, GWorldPtr destination) {
  PixMapHandle sp = GetGWorldPixMap(source), dp = GetGWorldPixMap(destination);
  const int depth = GetPixDepth(sp);
  if (depth < 8 || GetPixDepth(dp) != depth) return;
  const int bytes = depth / 8;
  Rect sb, db;
  GetPortBounds(source, &sb);
  GetPortBounds(destination, &db);
  const int sw = sb.right - sb.left, sh = sb.bottom - sb.top;
  const int dw = db.right - db.left, dh = db.bottom - db.top;
  const char* in = GetPixBaseAddr(sp);
  char* out = GetPixBaseAddr(dp);
  const int32_t inRow = GetPixRowBytes(sp), outRow = GetPixRowBytes(dp);
  for (int y = 0; y < sh && y < dw; y++) {
    const char* row = in + static_cast<ptrdiff_t>(y) * inRow;
    for (int x = 0; x < sw && x < dh; x++) {
      char* to = out + static_cast<ptrdiff_t>(dh - 1 - x) * outRow + y * bytes;
      std::memcpy(to, row + x * bytes, static_cast<size_t>(bytes));
    }
  }
}

// ---- Columns and extent -----------------------------------------------------------

void SetColumns() {
  DateTimeRec first;
  SecondsToDate(gTermDates[0].start, first);
  gFirstDay = static_cast<uint16_t>((first.dayOfWeek + 5) % 7);
  if (gCurrView == kAttendanceView) {
    SetupSchoolWeek();
    const int t = Term();
    const int64_t base = gTermDates[0].start;
    const int64_t d0 = (static_cast<int64_t>(gTermDates[t].start) - base) / 86400;
    const int64_t d1 = (static_cast<int64_t>(gTermDates[t].end) - base) / 86400;
    int last = -1;
    if (d0 <= d1 && d1 >= 0) {
      const int day = static_cast<int>(std::min<int64_t>(d1, kMaxDays - 1));
      last = gDayToColumn[day];
      if (gColumnToDay[last] != day) last--;
    }
    gLastColumn = S16(last);
    gMaxColumns = S16(last + 1);
  } else {
    gMaxColumns = kMaxAssignments;
    gLastColumn = kMaxAssignments - 1;
  }
  if (gVScrollBar) SetControl32BitMaximum(gVScrollBar, VScrollMax());
  if (gHScrollBar) SetControl32BitMaximum(gHScrollBar, HScrollMax());
}

int MaxWidth() {
  const int z = gZoom;
  if (IsGridView()) return gMaxColumns * 8 * z + gTitleWidth + 4;
  if (gCurrView == kSeatingChartView) return gSeatingChart.columns * 24 * z;
  return std::max<int>(PageWidth(), 600);
}

int MaxHeight() {
  const int z = gZoom, line = ZoomLine();
  int height = PageHeight() * MaxReportPages();
  if (IsGridView()) height = 1030 * z + line + 4 * z / 5 + 4;
  if (gCurrView == kSeatingChartView) height = 5 * line + gSeatingChart.rows * 8 * z;
  return height < 400 ? PageHeight() : height;
}

// ---- Geometry --------------------------------------------------------------------

int StudentOffset(int r0, int s) { return HeaderBottom() + (s - r0 + 1) * RowHeight(); }
int AssignmentOffset(int c0, int a) { return gTitleWidth + (a - c0 + 1) * ColumnWidth(); }

namespace {

bool RowShown(int s) { return s >= VScrollValue(); }
bool ColumnShown(int a) { return a >= HScrollValue(); }

void RowCell(int16_t s, int left, int right, Rect* r) {
  if (!RowShown(s)) {
    *r = kNoBox;
    return;
  }
  const int bottom = StudentOffset(VScrollValue(), s);
  *r = Rect{S16(bottom - 3 * gZoom + 2), S16(left), S16(bottom), S16(right)};
}

Rect HeaderField(int k) {
  const int z = gZoom, line = ZoomLine();
  const int top = 34 * z + 4 * z / 5 + 1 - k * line;
  return Rect{S16(top), S16(16 * z + 1), S16(top + line), S16(gTitleWidth - 1)};
}

Rect ClassLine(int k) {
  const int line = ZoomLine();
  return Rect{S16(k * line + 2), 7, S16((k + 1) * line + 2), S16(gTitleWidth - 2)};
}

}  // namespace

void StudentBox(int16_t s, Rect* r) {
  const int z = gZoom, x0 = NumberColumnRight();
  RowCell(s, ShowsIDs() ? 16 * z + x0 + 3 : x0 + 3, gTitleWidth - 16 * z - 2, r);
}

void IDBox(int16_t s, Rect* r) {
  const int z = gZoom, x0 = NumberColumnRight();
  RowCell(s, x0 + 3, ShowsNames() ? 16 * z + x0 - 2 : 30 * z + x0 - 2, r);
}

void GradeBox(int16_t s, Rect* r) {
  RowCell(s, gTitleWidth - 16 * gZoom + 2, gTitleWidth - 2, r);
}

void ScoreBox(int16_t s, int16_t a, Rect* r) {
  if (!ColumnShown(a)) {
    *r = kNoBox;
    return;
  }
  const int right = AssignmentOffset(HScrollValue(), a);
  RowCell(s, right - 8 * gZoom + 2, right - 2, r);
}

void TitleBox(int16_t a, Rect* r) {
  if (!ColumnShown(a)) {
    *r = kNoBox;
    return;
  }
  const int right = AssignmentOffset(HScrollValue(), a);
  *r = Rect{3, S16(right + 1 - 8 * gZoom), S16(TitleBandBottom()), S16(right)};
}

void LabelBox(int16_t a, Rect* r) {
  if (!ColumnShown(a)) {
    *r = kNoBox;
    return;
  }
  const int z = gZoom, line = ZoomLine();
  const int right = AssignmentOffset(HScrollValue(), a);
  *r = Rect{S16(30 * z + line + 4), S16(right + 1 - 8 * z), S16(34 * z + line + 1), S16(right)};
}

void DateBox(Rect* r) { *r = HeaderField(6); }
void AssignmentBox(Rect* r) { *r = HeaderField(5); }
void CategoryBox(Rect* r) { *r = HeaderField(4); }
void PointsBox(Rect* r) { *r = HeaderField(3); }
void SchoolBox(Rect* r) { *r = ClassLine(1); }
void SubjectBox(Rect* r) { *r = ClassLine(2); }
void TeacherBox(Rect* r) { *r = ClassLine(3); }

// ---- Updates ---------------------------------------------------------------------

void UpdateWindow() {
  if (!gWindow) return;
  if (IsGridView()) {
    UpdateGradebook();
    return;
  }
  if (IsReportView()) {
    UpdateReport();
    return;
  }
  if (gCurrView == kSeatingChartView) {
    UpdateSeatingChart();
    return;
  }
  GrafPtr saved = nullptr;
  GetPort(&saved);
  SetPortWindowPort(gWindow);
  BeginUpdate(gWindow);
  const Rect content = ContentRect();
  EraseRect(&content);
  EndUpdate(gWindow);
  SetPort(saved);
}

void UpdateGradebook() {
  UpdateContent(
      [](const Rect& content) {
        ClipRect(&content);
        const int r0 = VScrollValue(), c0 = HScrollValue();
        const int r1 = std::min(kMaxStudents - 1, r0 + VPageStep());
        const int c1 = std::min(static_cast<int>(gLastColumn), c0 + HPageStep());
        // The edited cell's heads and the selection are laid from state afterwards.
        if (gEditHandle && gEditKind >= kEditAssignmentName && gEditKind <= kEditDate)
          DrawAssignmentInfo(Slot(gEditAssignment));
        DrawGradebookHeader();
        DrawGradebook(S16(r0), S16(r1), S16(c0), S16(c1));
      },
      UpdateEdit);
}

// ---- Drawing ---------------------------------------------------------------------

void DrawGradebookHeader() {
  const int m = gMargin, line = ZoomLine(), z = gZoom;
  UseGridFont();
  Str255 text;
  TrimString(gClass.school, text, S16(gTitleWidth - 12));
  DrawAt(m + 8, m + 2 * line - 2, text);
  Str255 subject;
  subject.set(gClass.subject);
  if (gClass.lastTerm > 0) {
    Append(subject, PStr(" ("));
    Append(subject, gTermNames[Term()]);
    Append(subject, PStr(")"));
  }
  TrimString(subject, text, S16(gTitleWidth - 12));
  DrawAt(m + 8, m + 3 * line - 2, text);
  TrimString(gClass.teacher, text, S16(gTitleWidth - 12));
  DrawAt(m + 8, m + 4 * line - 2, text);
  const bool editingHeader =
      gEditHandle && gEditKind >= kEditAssignmentName && gEditKind <= kEditDate;
  if (!editingHeader) {
    DateToString(GetDateTime(), text);
    DrawAt(m + 8, m + 34 * z + 4 * z / 5 - 5 * line - 2, text);
  }
}

void DrawAssignmentInfo(int16_t a) {
  if (a < 0 || a >= kMaxAssignments) return;
  const int z = gZoom, line = ZoomLine();
  const int base = 34 * z + 4 * z / 5;
  const Rect area{S16(base - 5 * line - 16), S16(gMargin + 4), S16(30 * z + line - 1),
                  S16(gTitleWidth - 2)};
  EraseRect(&area);
  UseGridFont();
  static const char* const kLabels[4] = {"Date: ", "Assignment: ", "Category: ", "Points: "};
  TextFace(bold);
  for (int k = 0; k < 4; k++) {
    const Str255 label = PStr(kLabels[k]);
    DrawAt(16 * z - StringWidth(label), base - 3 - (5 - k) * line, label);
  }
  TextFace(normal);
  const AssignmentRecord& rec = gAssignments[Term()][a];
  Str255 text;
  SecondsToString(gAssignDates[Term()][a], text);
  DrawAt(16 * z + 2, base - 3 - 5 * line, text);
  TrimString(rec.name, text, S16(gTitleWidth - 16 - StringWidth(PStr("Assignment:  "))));
  DrawAt(16 * z + 2, base - 3 - 4 * line, text);
  Str255 category;
  if (rec.category < kMaxCategories) category.set(gCategories[Term()][rec.category].name);
  else category.clear();
  TrimString(category, text, S16(gTitleWidth - 16 - StringWidth(PStr("Category:  "))));
  DrawAt(16 * z + 2, base - 3 - 3 * line, text);
  DrawAt(16 * z + 2, base - 3 - 2 * line, Number(rec.points));
}

void DrawGradebook(int16_t r0, int16_t r1, int16_t c0, int16_t c1) {
  DrawGridBand(r0, r0, r1, c0, c0, c1, true);
}

void DrawGridBand(int16_t r0, int16_t s0, int16_t s1, int16_t c0, int16_t a0, int16_t a1,
                  bool header) {
  const int m = gMargin, z = gZoom, line = ZoomLine();
  const int x0 = m + NumberColumnRight();
  const int hb = m + HeaderBottom();
  const int bottom = RowBottom(r0, s1);
  const int gridRight = ColRight(c0, a1);
  const bool attendance = gCurrView == kAttendanceView;
  UseGridFont();
  PenNormal();

  if (ShowsIDs() && ShowsNames()) {
    UsePattern(false);
    Line(x0 + 16 * z, m + 30 * z + line + 3, x0 + 16 * z, bottom);
  }

  const int g = m + gTitleWidth - 16 * z;
  if (header) {
    DrawRightAligned(x0 - 4, hb - z, PStr("#"));
    if (ShowsIDs()) DrawAt(x0 + 4, hb - z, PStr("ID"));
    if (ShowsNames()) DrawAt(x0 + 4 + (ShowsIDs() ? 16 * z : 0), hb - z, PStr("Student"));
    if (!attendance) {
      DrawAt(g + 24 * z / 5, hb - z, PStr("Grade"));
    } else {
      const int nudge = z == 5 ? -1 : z == 6 ? 1 : 2;
      DrawAt(g + 22 * z / 5 + nudge, hb - z, PStr("Ab / T"));
    }
  }

  for (int a = a0; a <= a1; a++) {
    if (header) DrawAssignment(c0, S16(a));
    const bool black = a == gLastColumn || (attendance && LastDayOfWeek(S16(a)));
    UsePattern(black);
    const int x = ColRight(c0, a);
    Line(x, m + 2, x, bottom);
  }

  UsePattern(false);
  Line(g, m + 30 * z + line + 3, g, bottom);

  const int listEnd = NumStudents();
  for (int s = s0; s <= s1; s++) {
    UsePattern(s == kMaxStudents - 1 || (s + 1) % 3 == 0);
    const int y = RowBottom(r0, s);
    Line(m + 2, y, gridRight - 1, y);
    PenNormal();
    DrawStudent(r0, S16(s));
    DrawGrade(r0, S16(s));
  }
  for (int s = s0; s <= s1; s++) {
    const bool slanted = PastListEnd(s, listEnd);
    if (slanted) TextFace(italic);
    for (int a = a0; a <= a1; a++) DrawScore(r0, c0, S16(s), S16(a));
    if (slanted) TextFace(normal);
  }

  PenNormal();
  Line(m + 1, m + 30 * z + line + 2, gridRight, m + 30 * z + line + 2);
  Line(m + 1, hb, gridRight, hb);
  Line(m + gTitleWidth, m + 2, gridRight, m + 2);
  Line(m + 1, m + 30 * z + line + 2, m + 1, bottom);
  Line(x0, m + 30 * z + line + 2, x0, bottom);
  Line(m + gTitleWidth, m + 2, m + gTitleWidth, bottom);
}

void DrawAssignmentLabel(int16_t c0, int16_t a) {
  const int z = gZoom;
  DrawRightAligned(ColRight(c0, a) - 2, gMargin + 34 * z + ZoomLine() + 4 * z / 5 - z,
                   Number(a + 1));
}

void DrawAssignment(int16_t c0, int16_t a) {
  const int m = gMargin, z = gZoom, line = ZoomLine();
  const bool attendance = gCurrView == kAttendanceView;
  UseGridFont();
  DrawAssignmentLabel(c0, a);
  const int t = Term();
  const bool named = a >= 0 && a < kMaxAssignments && !gAssignments[t][a].name.empty();
  if ((!attendance && !named) || !gHWorld || !gVWorld) return;

  CGrafPtr port = nullptr;
  GDHandle device = nullptr;
  GetGWorld(&port, &device);
  SetGWorld(gHWorld, nullptr);
  UseGridFont();
  PenNormal();
  ForeColor(blackColor);
  BackColor(whiteColor);
  EraseRect(&gHBox);
  Str255 text;
  if (!attendance) {
    const AssignmentRecord& rec = gAssignments[t][a];
    TrimString(rec.name, text, S16(30 * z));
    DrawAt(6, line, text);
    Str255 category;
    category.clear();
    if (rec.category < kMaxCategories) category.set(gCategories[t][rec.category].name);
    TrimString(category, text, S16(30 * z));
    DrawAt(6, 2 * line - 1, text);
    text = Number(rec.points);
    Append(text, PStr(" points"));
    DrawAt(6, 3 * line - 2, text);
  } else {
    const int day = ColumnDay(a);
    if (day >= 0) {
      const uint32_t date = gTermDates[0].start + 86400u * static_cast<uint32_t>(day);
      if (gHolidays[day] == 1) DrawAt(6, line, PStr("No Class"));
      DateTimeRec d;
      SecondsToDate(date, d);
      DrawAt(6, 2 * line - 1, PStr(gDays[(d.dayOfWeek + 6) % 7]));
      DateToString(date, text);
      DrawAt(6, 3 * line - 2, text);
    }
  }
  RotateGWorld(gHWorld, gVWorld);
  SetGWorld(port, device);

  Rect dest = gVBox;
  OffsetRect(&dest, S16(m), S16(m));
  OffsetRect(&dest, S16(gTitleWidth + (a - c0) * 8 * z + 1), 3);
  CopyBits(GetPortBitMapForCopyBits(gVWorld), GetPortBitMapForCopyBits(port), &gVBox, &dest,
           srcCopy, nullptr);
  if (!attendance) {
    SecondsToShortString(gAssignDates[t][a], text);
    const int width = dest.right - dest.left;
    DrawAt(dest.left + (width - StringWidth(text)) / 2, dest.top + line, text);
  }
}

void DrawStudent(int16_t r0, int16_t s) {
  DrawStudentLabel(r0, s);
  if (ShowsIDs()) DrawStudentID(r0, s);
  if (ShowsNames()) DrawStudentName(r0, s);
}

void DrawStudentLabel(int16_t r0, int16_t s) {
  DrawRightAligned(gMargin + NumberColumnRight() - 4, RowBottom(r0, s) - gZoom, Number(s + 1));
}

void DrawStudentID(int16_t r0, int16_t s) {
  const int z = gZoom;
  Str255 text;
  TrimString(gStudents[s].id, text, S16(ShowsNames() ? 16 * z : 30 * z));
  const bool slanted = PastListEnd(s, NumStudents());
  if (slanted) TextFace(italic);
  DrawAt(gMargin + NumberColumnRight() + 4, RowBottom(r0, s) - z, text);
  if (slanted) TextFace(normal);
}

void DrawStudentName(int16_t r0, int16_t s) {
  if (!ShowsNames()) return;
  const int z = gZoom;
  Str255 text;
  TrimString(gStudents[s].name, text, S16(30 * z));
  const bool slanted = PastListEnd(s, NumStudents());
  if (slanted) TextFace(italic);
  DrawAt(gMargin + NumberColumnRight() + 4 + (ShowsIDs() ? 16 * z : 0), RowBottom(r0, s) - z,
         text);
  if (slanted) TextFace(normal);
}

void DrawGrade(int16_t r0, int16_t s) {
  const StudentRecord& student = gStudents[s];
  if (student.name.empty()) return;
  const int m = gMargin, z = gZoom, line = ZoomLine();
  const int g = m + gTitleWidth - 16 * z;
  const int baseline = RowBottom(r0, s) - z;
  const bool attendance = gCurrView == kAttendanceView;
  const int t = Term();
  if (PastListEnd(s, NumStudents())) {
    TextFace(italic);
    DrawAt(g + (attendance ? 20 : 16), baseline, PStr("Dropped"));
    TextFace(normal);
    return;
  }
  if (!attendance) {
    const int16_t p = TermPercent(S16(t), s);
    if (student.lockedPercent[t] != kNone) DrawAt(g + 4, baseline, PStr("L"));
    const uint8_t flags = gClass.flags;
    const bool hidden = flags & kHidePercents, letters = flags & kLetterGrades;
    Str255 text;
    PercentToString(p, text);
    int x = g + StringWidth(PStr("100.0%")) + line - StringWidth(text);
    if (flags & kWholePercents) x -= StringWidth(PStr(".0"));
    if (!hidden && !letters) x += 6 * z / 5;
    if (hidden && letters) x -= 3 * z;
    MoveTo(S16(x), S16(baseline));
    if (!hidden) {
      Append(text, PStr("  "));
      DrawString(text);
    }
    if (letters) {
      Str255 grade;
      PercentToGrade(p, grade);
      if (!IsBlank(grade)) DrawString(grade);
    }
    return;
  }
  const uint16_t absences = student.absences[t], tardies = student.tardies[t];
  if (absences == 0 && tardies == 0) return;
  Str255 text, part;
  ValueToString(absences, text);
  DrawRightAligned(m + gTitleWidth - 8 * z - 6, baseline, text);
  ValueToString(tardies, part);
  Str255 rest = PStr(" / ");
  Append(rest, part);
  DrawString(rest);
}

void DrawScore(int16_t r0, int16_t c0, int16_t s, int16_t a) {
  const int z = gZoom;
  const int bottom = RowBottom(r0, s), right = ColRight(c0, a);
  const int baseline = bottom - z;
  const int t = Term();
  if (gCurrView != kAttendanceView) {
    if (a < 0 || a >= kMaxAssignments) return;
    Str255 text;
    ScoreToString(gScores[s][t][a], text);
    const uint8_t note = gFootnotes[s][t][a];
    if (note < kMaxFootnotes) {
      Str255 mark = PStr("[");
      Append(mark, Number(note + 1));
      Append(mark, PStr("]"));
      // A score too wide to leave a blank after the brackets keeps the digit alone, so
      // that mark and score never run together.
      const int left = right - 8 * z + 4;
      if (left + StringWidth(mark) + StringWidth(PStr(" ")) > right - 2 - StringWidth(text))
        mark = Number(note + 1);
      DrawAt(left, baseline, mark);
    }
    DrawRightAligned(right - 2, baseline, text);
    return;
  }
  const int day = ColumnDay(a);
  if (day < 0) return;
  if (gHolidays[day] == 1) {
    if (s < NumStudents()) {
      Rect r{S16(bottom - 4 * z), S16(right - 8 * z), S16(bottom - 1), S16(right - 1)};
      InsetRect(&r, 1, 1);
      OffsetRect(&r, 1, 1);
      const Pattern gray = Gray();
      FillRect(&r, &gray);
    }
    return;
  }
  const uint8_t mark = gAttendance[s][day];
  if (mark >= kMaxCodes) return;
  Str255 name;
  name.set(gCodes[mark].name);
  const int width = StringWidth(name);
  DrawAt(right - width - (8 * z - 1 - width) / 2, baseline, name);
}
