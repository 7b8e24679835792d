// The four class-wide reports: class grades, class summary by category, attendance
// totals by code and the attendance summary of absences and tardies.
#include <algorithm>
#include <vector>

#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/report_draw.h"
#include "marktally/reports/reports.h"

using namespace reports;

uint16_t gBreakdown[13] = {};

void TitleRow::At(int left, ConstStringPtr text) {
  const int x = right_ == kNone ? left : std::max(left, right_ + W(" "));
  DrawAt(x, y_, text);
  right_ = x + W(text);
}
void TitleRow::At(int left, const char* text) { At(left, Text(text)); }
void TitleRow::Centred(int centre, ConstStringPtr text) { At(centre - W(text) / 2, text); }

namespace {
// A term number from the class settings, kept inside the term tables.
int16_t ClampedTerm(int v) { return static_cast<int16_t>(std::clamp(v, 0, kMaxTerms - 1)); }
}  // namespace

namespace {

// The columns that the grades report and the attendance summary show.
struct ShownColumns {
  std::vector<int> terms;
  bool semester = false;
  int currentSemester = 0;  // 0 first, 1 second
  bool year = false;
  bool pointsLayout = false;
};

ShownColumns Columns() {
  ShownColumns shown;
  const uint16_t o = gReportOptions;
  const ShownTerms terms =
      TermsShown(gClass.lastTerm, Term(), o & 0x0800, o & 0x0002, o & 0x0001);
  shown.terms = terms.terms;
  shown.semester = terms.semester;
  shown.currentSemester = terms.secondSemester ? 1 : 0;
  shown.year = terms.year;
  shown.pointsLayout =
      shown.terms.size() == 1 && !shown.semester && !shown.year && gGrading[shown.terms[0]] == 0;
  return shown;
}

bool HasExam(int scope) { return gClass.examWeight > 0 && gClass.examScope == scope; }


int ExamTerm() {
  const int last = gClass.lastTerm, c = Term();
  if (gClass.examScope == 2) {
    if (last == 3) return c >= 2 ? 3 : 1;
    if (last == 5) return c >= 3 ? 5 : 2;
  }
  return last;
}

// Semester terms of the attendance sums.
void SemesterTerms(int& from, int& to) {
  const ShownTerms terms = TermsShown(gClass.lastTerm, Term(), false, true, false);
  from = terms.semesterFrom;
  to = terms.semesterTo;
}

int TitleColumns(int y) {
  int x = Margin();
  if (ShowsIDs()) {
    DrawAt(x, y, "ID");
    x += 16 * Z();
  }
  if (ShowsNames()) {
    DrawAt(x, y, "Student");
    x += 30 * Z();
  }
  return x;
}

// A mean of the values that are not negative, or blank.
struct Mean {
  int64_t sum = 0;
  int64_t count = 0;
  void Add(int v) {
    if (v < 0) return;
    sum += v;
    count++;
  }
  int16_t Value() const {
    if (count == 0) return kBlank;
    return static_cast<int16_t>(std::min<int64_t>(
        Divide(static_cast<uint32_t>(sum), static_cast<uint32_t>(count)), 32767));
  }
};

void DrawMean(const Mean& m, int x, int y) {
  if (m.count > 0) DrawGradePair(m.Value(), x, y);
}

void DrawValue(int32_t tenths, int right, int y) {
  Str255 text{};
  ValueToString(tenths, text);
  DrawRight(right, y, text);
}

void DrawAverageGrades(const ShownColumns& shown, int y) {
  const int n = NumStudents(), z = Z();
  DrawAt(Margin(), y + Line(), "Average");
  y += Line();
  int x = AfterTitleColumns();
  if (shown.pointsLayout) {
    int64_t points = 0, possible = 0;
    for (int s = 0; s < n; s++) {
      int32_t p = 0, q = 0;
      TotalScores(static_cast<int16_t>(s), p, q);
      points += p;
      possible += q;
    }
    if (n > 0) {
      DrawValue(static_cast<int32_t>(Divide(static_cast<uint32_t>(points), n)), x + W("Poin"), y);
      DrawValue(static_cast<int32_t>(Divide(static_cast<uint32_t>(possible), n)),
                x + 10 * z + W("Possi"), y);
    }
    x += 20 * z;
  }
  x += 6 * z;
  for (int t : shown.terms) {
    Mean m;
    for (int s = 0; s < n; s++)
      m.Add(TermPercent(static_cast<int16_t>(t), static_cast<int16_t>(s)));
    DrawMean(m, x, y);
    x += 12 * z;
  }
  if (shown.semester) {
    if (HasExam(2)) {
      Mean m;
      for (int s = 0; s < n; s++) m.Add(ExamPercent(ClampedTerm(ExamTerm()), static_cast<int16_t>(s)));
      DrawMean(m, x, y);
      x += 12 * z;
    }
    Mean m;
    for (int s = 0; s < n; s++)
      m.Add(SemesterPercent(static_cast<int16_t>(shown.currentSemester), static_cast<int16_t>(s)));
    DrawMean(m, x, y);
    x += 12 * z;
  }
  if (shown.year) {
    if (HasExam(3)) {
      Mean m;
      for (int s = 0; s < n; s++) m.Add(ExamPercent(ClampedTerm(ExamTerm()), static_cast<int16_t>(s)));
      DrawMean(m, x, y);
      x += 12 * z;
    }
    Mean m;
    for (int s = 0; s < n; s++) m.Add(FinalPercent(static_cast<int16_t>(s)));
    DrawMean(m, x, y);
  }
}

void DrawClassGrades(int first, int last) {
  const ShownColumns shown = Columns();
  const int z = Z(), l = Line(), m = Margin();
  int y = m + 8 * l;
  int x = TitleColumns(y);
  const int titleEnd = x;
  TitleRow titles(y);
  if (shown.pointsLayout) {
    titles.At(x, "Points");
    titles.At(x + 10 * z, "Possible");
    x += 20 * z;
  }
  x += 6 * z;
  Str255 cut{};
  for (int t : shown.terms) {
    TrimString(gTermNames[t], cut, static_cast<uint16_t>(12 * z));
    titles.Centred(x - 8, cut);
    x += 12 * z;
  }
  if (shown.semester) {
    if (HasExam(2)) {
      titles.Centred(x - 8, Text("Final Exam"));
      x += 12 * z;
    }
    titles.At(x - W("1st Sem"), shown.currentSemester ? "2nd Semester" : "1st Semester");
    x += 12 * z;
  }
  if (shown.year) {
    if (HasExam(3)) {
      titles.Centred(x - 8, Text("Final Exam"));
      x += 12 * z;
    }
    titles.At(x - W("Yea "), "Year");
    x += 12 * z;
  }
  const int right = x + 28 - 12 * z;
  Rule(m, right, y + 3);
  const int n = NumStudents();
  for (int s = 0; s < n; s++) {
    if (s + 1 < first || s + 1 > last) continue;
    y += l;
    DrawName(static_cast<int16_t>(s), y);
    int cx = titleEnd;
    if (shown.pointsLayout) {
      int32_t points = 0, possible = 0;
      TotalScores(static_cast<int16_t>(s), points, possible);
      DrawValue(points, cx + W("Poin"), y);
      DrawValue(possible, cx + 10 * z + W("Possi"), y);
      cx += 20 * z;
    }
    cx += 6 * z;
    for (int t : shown.terms) {
      DrawGradePair(TermPercent(static_cast<int16_t>(t), static_cast<int16_t>(s)), cx, y);
      cx += 12 * z;
    }
    if (shown.semester) {
      if (HasExam(2)) {
        DrawGradePair(ExamPercent(ClampedTerm(ExamTerm()), static_cast<int16_t>(s)), cx, y, false);
        cx += 12 * z;
      }
      DrawGradePair(
          SemesterPercent(static_cast<int16_t>(shown.currentSemester), static_cast<int16_t>(s)),
          cx, y);
      cx += 12 * z;
    }
    if (shown.year) {
      if (HasExam(3)) {
        DrawGradePair(ExamPercent(ClampedTerm(ExamTerm()), static_cast<int16_t>(s)), cx, y, false);
        cx += 12 * z;
      }
      DrawGradePair(FinalPercent(static_cast<int16_t>(s)), cx, y);
    }
  }
  if (n == 0) {
    y += l;
    DrawAt(m, y, "No students");
  }
  Rule(m, right, y + 3);
  if (n > 0 && n <= last) DrawAverageGrades(shown, y + 3);
}

// The categories of the current term that count, numbered from 1; the exam follows
// when it weighs in the term.
std::vector<int> SummaryCategories() {
  std::vector<int> cats;
  const int t = Term();
  for (int c = 0; c < 10; c++)
    if (!gCategories[t][c].name.empty() && gCategories[t][c].weight != kNone) cats.push_back(c);
  if (gClass.examWeight > 0 &&
      (gClass.examScope == 1 || (gClass.examScope == 2 && gClass.lastTerm == 1)))
    cats.push_back(kExamCategory);
  return cats;
}

void DrawSummary(int first, int last, int firstCat, int lastCat) {
  const int z = Z(), l = Line(), m = Margin(), c = Term();
  int y = m + 8 * l;
  int x = TitleColumns(y) + 6 * z;
  const int valuesStart = x;
  Str255 cut{};
  TrimString(gTermNames[c], cut, static_cast<uint16_t>(12 * z));
  DrawCentred(x - 8, y, cut);
  x += 12 * z;
  const std::vector<int> cats = SummaryCategories();
  std::vector<int> inRange;
  for (size_t i = 0; i < cats.size(); i++) {
    const int number = static_cast<int>(i) + 1;
    if (number < firstCat || number > lastCat) continue;
    inRange.push_back(cats[i]);
    if (cats[i] == kExamCategory) {
      DrawCentred(x - 8, y, Text("Final Exam"));
    } else {
      TrimString(gCategories[c][cats[i]].name, cut, static_cast<uint16_t>(12 * z));
      DrawCentred(x - 8, y, cut);
    }
    x += 12 * z;
  }
  const int right = x + 28 - 12 * z;
  Rule(m, right, y + 3);
  const int n = NumStudents();
  for (int s = 0; s < n; s++) {
    if (s + 1 < first || s + 1 > last) continue;
    y += l;
    const auto st = static_cast<int16_t>(s);
    DrawName(st, y);
    int cx = valuesStart;
    DrawGradePair(TermPercent(static_cast<int16_t>(c), st), cx, y);
    for (int cat : inRange) {
      cx += 12 * z;
      DrawGradePair(cat == kExamCategory ? ExamPercent(static_cast<int16_t>(c), st)
                                         : CatPct(st, static_cast<int16_t>(cat)),
                    cx, y);
    }
  }
  if (n == 0) {
    y += l;
    DrawAt(m, y, "No students");
  }
  Rule(m, right, y + 3);
  if (n > 0 && n <= last) {
    y += 3 + l;
    DrawAt(m, y, "Averages");
    int cx = valuesStart;
    Mean term;
    for (int s = 0; s < n; s++)
      term.Add(TermPercent(static_cast<int16_t>(c), static_cast<int16_t>(s)));
    DrawMean(term, cx, y);
    for (int cat : inRange) {
      cx += 12 * z;
      Mean mean;
      for (int s = 0; s < n; s++) {
        const auto st = static_cast<int16_t>(s);
        mean.Add(cat == kExamCategory ? ExamPercent(static_cast<int16_t>(c), st)
                                      : CatPct(st, static_cast<int16_t>(cat)));
      }
      DrawMean(mean, cx, y);
    }
  }
}

void DrawAbsTardy(int32_t absences, int32_t tardies, int x, int y) {
  DrawValue(absences, x + W("Ab"), y);
  DrawValue(tardies, x + 6 * Z() + W("T"), y);
}

void DrawClassAttendance(int first, int last) {
  const ShownColumns shown = Columns();
  const int z = Z(), l = Line(), m = Margin();
  int y = m + 8 * l;
  const int start = AfterTitleColumns();
  int x = start;
  Str255 cut{};
  TitleRow titles(y);
  for (int t : shown.terms) {
    TrimString(gTermNames[t], cut, static_cast<uint16_t>(12 * z));
    titles.At(x - W(cut) / 2 + W(" ") + 3 * z, cut);
    x += 12 * z;
  }
  if (shown.semester) {
    titles.At(x - W("1s "), shown.currentSemester ? "2nd Semester" : "1st Semester");
    x += 12 * z;
  }
  if (shown.year) titles.At(x + W("A  "), "Year");
  y += l;
  x = TitleColumns(y);
  const int columns =
      static_cast<int>(shown.terms.size()) + (shown.semester ? 1 : 0) + (shown.year ? 1 : 0);
  for (int k = 0; k < columns; k++) {
    DrawAt(x, y, "Ab");
    DrawAt(x + 6 * z, y, "T");
    x += 12 * z;
  }
  const int right = x + W("Absences ") - 12 * z;
  Rule(m, right, y + 3);
  const int n = NumStudents();
  for (int s = 0; s < n; s++) {
    if (s + 1 < first || s + 1 > last) continue;
    y += l;
    const StudentRecord& st = gStudents[s];
    DrawName(static_cast<int16_t>(s), y);
    int cx = start;
    for (int t : shown.terms) {
      DrawAbsTardy(st.absences[t], st.tardies[t], cx, y);
      cx += 12 * z;
    }
    if (shown.semester) {
      int from = 0, to = 0;
      SemesterTerms(from, to);
      int32_t a = 0, t = 0;
      for (int k = from; k <= to; k++) a += st.absences[k], t += st.tardies[k];
      DrawAbsTardy(a, t, cx, y);
      cx += 12 * z;
    }
    if (shown.year) {
      int32_t a = 0, t = 0;
      for (int k = 0; k <= gClass.lastTerm && k < kMaxTerms; k++)
        a += st.absences[k], t += st.tardies[k];
      DrawAbsTardy(a, t, cx, y);
    }
  }
  if (n == 0) {
    y += l;
    DrawAt(m, y, "No students");
  }
  Rule(m, right, y + 3);
}

void DrawAttendanceTotals(int first, int last) {
  const int l = Line(), m = Margin(), t = Term();
  int y = m + 8 * l;
  const int start = TitleColumns(y);
  const int step = W(" WWWW ");
  std::vector<int> edges;
  int x = start;
  for (int c = 0; c < kMaxCodes; c++) {
    if (gCodes[c].name.empty()) continue;
    x += step;
    DrawRight(x, y, gCodes[c].name);
    edges.push_back(x);
  }
  const int right = std::max(m, x + step - W("WWWW"));
  Rule(m, right, y + 3);
  const int n = NumStudents();
  for (int s = 0; s < n; s++) {
    if (s + 1 < first || s + 1 > last) continue;
    y += l;
    DrawName(static_cast<int16_t>(s), y);
    size_t k = 0;
    for (int c = 0; c < kMaxCodes; c++) {
      if (gCodes[c].name.empty()) continue;
      DrawRight(edges[k++], y, Number(gAttendanceTotals[s][t][c]));
    }
  }
  if (n == 0) {
    y += l;
    DrawAt(m, y, "No students");
  }
  Rule(m, right, y + 3);
}

// Where the class breakdown starts on the last page, below what that page holds.
int BreakdownTop(int first) {
  const int n = NumStudents();
  const int k = n == 0 ? 6 : (first <= n ? n - first + 9 : 5);
  return (k + 3) * Line() + Margin();
}

}  // namespace

void DrawClassHeader() {
  const int l = Line(), m = Margin();
  UseHeaderFont();
  DrawAt(m, m + l, gClass.school);
  UseReportFont();
  DrawAt(m, m + 4 * l, Today());
  DrawAt(m, m + 5 * l, SubjectLine());
  DrawAt(m, m + 6 * l, gClass.teacher);
}

void TotalScores(int16_t s, int32_t& points, int32_t& possible) {
  int64_t earned = 0, out = 0;
  for (int c = 0; c < 10; c++) {
    if (gCategories[Term()][c].weight == kNone) continue;
    int32_t e = 0, p = 0;
    CategoryTotals(s, static_cast<uint16_t>(c), e, p);
    earned += e;
    out += p;
  }
  int32_t e = 0, p = 0;
  CategoryTotals(s, kExtraCreditCategory, e, p);
  earned += e;
  points = static_cast<int32_t>(std::clamp<int64_t>(earned, INT32_MIN, INT32_MAX));
  possible = static_cast<int32_t>(std::clamp<int64_t>(out, INT32_MIN, INT32_MAX));
}

int16_t CatPct(int16_t s, int16_t c) {
  int32_t points = 0, possible = 0;
  CategoryTotals(s, static_cast<uint16_t>(c), points, possible);
  if (possible <= 0) return kBlank;
  // Ten thousand times a year of points needs more than 32 bits.
  const int64_t p = static_cast<int64_t>(points) * 10000 / possible;
  const int64_t tenths = (gClass.flags & 0x08) ? ((p + 50) / 100) * 10 : (p + 5) / 10;
  return static_cast<int16_t>(std::clamp<int64_t>(tenths, -32768, 32767));
}

void Breakdown(int16_t percent) {
  if (percent == -7) percent = 1000;
  if (percent < 0) return;
  int value = percent;
  if ((gClass.flags & 0x08) && value % 10 >= 5) value += 10 - value % 10;
  for (int i = 12; i >= 1; i--) {
    const uint16_t cutoff = gCutoffs[i - 1];
    if (cutoff != kNone && cutoff <= value) {
      gBreakdown[i]++;
      return;
    }
  }
  gBreakdown[0]++;
}

void DrawBreakdownGrid(int y) {
  const int z = Z(), l = Line(), m = Margin();
  int j = 0;
  for (int i = 12; i >= 0; i--) {
    if (i >= 1 && gCutoffs[i - 1] == kNone) continue;
    const int column = j / 3 + 1, row = j % 3 + 1;
    const int right = m + column * W("99") + (column - 1) * W(" Pass   ");
    const int v = y + l + 12 * z / 10 + row * l;
    DrawRight(right, v, Number(gBreakdown[i]));
    Str255 name = Text("  ");
    Append(name, gLetterGrades[i]);
    DrawAt(right, v, name);
    j++;
  }
}

void DrawClassBreakdown(int y) {
  if (!(gClass.flags & 0x10)) return;
  std::fill(std::begin(gBreakdown), std::end(gBreakdown), 0);
  const int n = NumStudents(), c = Term();
  for (int s = 0; s < n; s++)
    Breakdown(TermPercent(static_cast<int16_t>(c), static_cast<int16_t>(s)));
  Str255 title = Text("Breakdown by grade for ");
  Append(title, gTermNames[c]);
  AppendC(title, ":");
  DrawAt(Margin(), y + Line(), title);
  DrawBreakdownGrid(y);
}

void DrawGradesReport(int16_t page) {
  const int k = ClassRowsPerPage(), n = NumStudents();
  const int first = k * page + 1;
  DrawClassHeader();
  if (!(n > 0 && n < first)) DrawClassGrades(first, first + k - 1);
  if ((gReportOptions & 0x0008) && page + 1 == PagesPerClass())
    DrawClassBreakdown(BreakdownTop(first));
}

void DrawSummaryReport(int16_t page) {
  const int pages = PagesPerSummary();
  const int across = std::max<int>(1, gCatsAcross), per = std::max<int>(1, gCatsPerPage);
  const int k = ClassRowsPerPage(), n = NumStudents();
  const int block = page % across;
  const int rowBlock = (page / across) % std::max(1, pages / across);
  const int first = k * rowBlock + 1;
  const int firstCat = block * per + 1;
  const int lastCat = std::min<int>(block * per + per, NumCategories());
  DrawClassHeader();
  if (first <= n || n == 0) DrawSummary(first, first + k - 1, firstCat, lastCat);
  if ((gReportOptions & 0x0008) && page == pages - 1) DrawClassBreakdown(BreakdownTop(first));
}

void DrawTotalsReport(int16_t page) {
  const int k = ClassRowsPerPage(), n = NumStudents(), first = k * page + 1;
  DrawClassHeader();
  if (!(n > 0 && first > n)) DrawAttendanceTotals(first, first + k - 1);
}

void DrawAttendReport(int16_t page) {
  const int k = ClassRowsPerPage(), n = NumStudents(), first = k * page + 1;
  DrawClassHeader();
  if (!(n > 0 && first > n)) DrawClassAttendance(first, first + k - 1);
}
