// The assignment scores report (pages per named assignment) and the missing-work
// report (students in blocks, or a page each).
#include <algorithm>
#include <cmath>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/report_draw.h"
#include "marktally/reports/reports.h"

using namespace reports;

namespace {

int16_t Converted(int s, int column) {
  return ConvertSpecialScore(gScores[s][Term()][column], static_cast<int16_t>(column));
}

int32_t PossibleTenths(int column) { return gAssignments[Term()][column].points * 10; }

void DrawAssignmentHeader(int column) {
  const int l = Line(), m = Margin(), t = Term();
  const AssignmentRecord& r = gAssignments[t][column];
  UseHeaderFont();
  DrawAt(m, m + l, gClass.school);
  UseReportFont();
  DrawAt(m, m + 4 * l, SubjectLine());
  DrawAt(m, m + 5 * l, gClass.teacher);
  Str255 text{};
  DateToString(gAssignDates[t][column], text);
  DrawAt(m, m + 8 * l, text);
  DrawAt(m, m + 9 * l, r.name);
  if (r.category < kMaxCategories) DrawAt(m, m + 10 * l, gCategories[t][r.category].name);
  text = Number(r.points);
  AppendC(text, "  points");
  DrawAt(m, m + 11 * l, text);
}

// The labels' right end plus 3: the extent of the rules.
int DrawAssignmentLabels() {
  const int m = Margin(), z = Z(), y = m + 13 * Line();
  int x = m;
  if (ShowsIDs()) {
    DrawAt(x, y, "ID");
    x += 16 * z;
  }
  if (ShowsNames()) {
    DrawAt(x, y, "Student");
    x += 30 * z;
  }
  DrawAt(x, y, "Points");
  int end = x + W("Points");
  if (!(gClass.flags & 0x02)) {
    x += 10 * z;
    DrawAt(x, y, "Percent");
    end = x + W("Percent");
  }
  if (gClass.flags & 0x10) {
    x += 10 * z;
    DrawAt(x, y, "Grade");
    end = x + W("Grade");
  }
  const int right = end + 3;
  Rule(m, right, y + 3);
  return right;
}

void DrawOneStudent(int16_t s, int column, int y) {
  const int z = Z(), t = Term();
  int x = DrawName(s, y);
  Str255 text{};
  ScoreToString(gScores[s][t][column], text);
  DrawRight(x + W("Point"), y, text);
  const int16_t v = Converted(s, column);
  const int32_t possible = PossibleTenths(column);
  const bool counted = v >= 0 && possible > 0;
  const int16_t p =
      counted ? static_cast<int16_t>(std::min<uint32_t>(
                    Percent(static_cast<uint32_t>(v), static_cast<uint32_t>(possible)), 32767))
              : kBlank;
  if (!(gClass.flags & 0x02)) {
    x += 10 * z;
    if (counted) {
      PercentToString(p, text);
      DrawRight(x + W("Percent"), y, text);
    }
  }
  if (gClass.flags & 0x10) {
    x += 10 * z;
    if (counted) {
      PercentToGrade(p, text);
      DrawAt(x + W("G "), y, text);
    }
  }
  const uint8_t mark = gFootnotes[s][t][column];
  if (mark < kMaxFootnotes) DrawAt(x + 10 * z, y, gFootnoteText[mark]);
}

void DrawStatistics(int column, int y) {
  int32_t mean = 0, median = 0, deviation = 0;
  GetStatistics(static_cast<int16_t>(column), mean, median, deviation);
  const int z = Z(), l = Line(), x = AfterTitleColumns();
  const int32_t possible = PossibleTenths(column);
  const bool percents = !(gClass.flags & 0x02), letters = gClass.flags & 0x10;
  const char* labels[3] = {"Mean", "Median", "Standard Deviation"};
  const int32_t values[3] = {mean, median, deviation};
  for (int k = 0; k < 3; k++) {
    const int v = y + k * l;
    DrawAt(Margin(), v, labels[k]);
    Str255 text{};
    if (values[k] >= 0)
      ValueToString(values[k], text);
    else
      ScoreToString(kBlank, text);
    DrawRight(x + W("Point"), v, text);
    if (possible <= 0 || values[k] < 0) continue;
    const auto p = static_cast<int16_t>(
        std::min<uint32_t>(Percent(static_cast<uint32_t>(values[k]), possible), 32767));
    if (percents) {
      PercentToString(p, text);
      DrawRight(x + 10 * z + W("Percent"), v, text);
    }
    if (letters && k < 2) {
      PercentToGrade(p, text);
      DrawAt(x + (percents ? 20 : 10) * z + W("G "), v, text);
    }
  }
}

void DrawAssignmentScores(int column, int first, int last, int right, bool statistics) {
  const int l = Line(), m = Margin(), n = NumStudents();
  int y = m + 13 * l + 3;
  for (int s = 0; s < n; s++) {
    if (s + 1 < first || s + 1 > last) continue;
    y += l;
    DrawOneStudent(static_cast<int16_t>(s), column, y);
  }
  if (n == 0) {
    y += l;
    DrawAt(m, y, "No students");
  }
  Rule(m, right, y + 6);
  if (statistics) DrawStatistics(column, y + 6 + 2 * l);
}

void DrawAssignmentBreakdown(int column, int y) {
  if (!(gClass.flags & 0x10)) return;
  std::fill(std::begin(gBreakdown), std::end(gBreakdown), 0);
  const int32_t possible = PossibleTenths(column);
  const int n = NumStudents();
  for (int s = 0; s < n && possible > 0; s++) {
    const int16_t v = Converted(s, column);
    if (v >= 0) Breakdown(static_cast<int16_t>(std::min<uint32_t>(Percent(v, possible), 32767)));
  }
  Str255 title = Text("Breakdown by grade for ");
  Append(title, gAssignments[Term()][column].name);
  AppendC(title, ":");
  DrawAt(Margin(), y + Line(), title);
  DrawBreakdownGrid(y);
}

int DrawMissingHeader(int16_t s, int y) {
  const int l = Line(), m = Margin(), z = Z();
  DrawAt(m, y, gStudents[s].name);
  DrawAt(m, y + l, SubjectLine());
  DrawAt(m, y + 2 * l, Today());
  const int t = y + 4 * l;
  DrawAt(m, t, "Date");
  DrawAt(m + 10 * z, t, "Missing Assignment");
  DrawAt(m + 52 * z, t, "Category");
  DrawAt(m + 76 * z, t, "Points");
  DrawAt(m + 86 * z, t, "Possible");
  const int right = m + 86 * z + W("Possible");
  Rule(m, right, t + 3);
  return right;
}

void DrawMissingAssignments(int16_t s, int y) {
  const bool perStudent = gReportOptions & 0x8000;
  const bool categories = perStudent && (gReportOptions & 0x0020);
  const int l = Line(), m = Margin(), z = Z(), t = Term();
  if (perStudent) y = l + m;
  const int right = DrawMissingHeader(s, y);
  y += 4 * l;
  const int lines = (PageH() - 2 * m) / l;
  const int limit = categories ? lines - 15 - NumCategories() : lines - 10;
  int drawn = 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    const AssignmentRecord& r = gAssignments[t][a];
    if (gNumScores[t][a] == 0 || r.name.empty() || r.points == 0) continue;
    if (r.category == kExamCategory || r.category == kExtraCreditCategory) continue;
    if (r.category >= kMaxCategories || gCategories[t][r.category].weight == kNone) continue;
    const int16_t v = Converted(s, a);
    if (v != kBlank && v != kIncomplete) continue;
    if (drawn > limit) break;
    y += l;
    DrawOneScore(s, static_cast<int16_t>(a), y);
    drawn++;
  }
  if (drawn == 0) DrawAt(m, y + l, "No missing assignments");
  const int missing = NumMissing(s);
  if (drawn == 0) y += l;
  if (drawn < missing && drawn > 0) {
    y += l;
    Str255 more = Text("... and ");
    Append(more, Number(missing - drawn));
    AppendC(more, " more ...");
    DrawAt(m + 10 * z, y, more);
  }
  Rule(m, right, y + 3);
  if (categories) DrawStudentCategories(s, y + 3 + 4 * l);
}

}  // namespace

void GetStatistics(int16_t column, int32_t& mean, int32_t& median, int32_t& deviation) {
  mean = median = deviation = -1;
  std::vector<int32_t> values;
  for (int s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    const int16_t v = Converted(s, column);
    if (v >= 0) values.push_back(v);
  }
  if (values.empty()) return;
  int64_t sum = 0;
  for (int32_t v : values) sum += v;
  const auto count = static_cast<int64_t>(values.size());
  mean = static_cast<int32_t>((sum * 2 + count) / (2 * count));
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  median =
      values.size() % 2
          ? values[mid]
          : static_cast<int32_t>(Divide(static_cast<uint32_t>(values[mid - 1] + values[mid]), 2));
  if (values.size() < 2) return;
  double squares = 0;
  for (int32_t v : values) squares += static_cast<double>(v - mean) * (v - mean);
  deviation = static_cast<int32_t>(std::floor(std::sqrt(squares / (count - 1)) + 0.5));
}

void DrawAssignmentReport(int16_t page) {
  if (NumAssignments() == 0) return;
  const int pages = std::max<int>(1, PagesPerAssignment());
  const int column = NamedAssignment(page / pages);
  const int k = AssignmentRowsPerPage(), n = NumStudents();
  const int first = k * (page % pages) + 1;
  DrawAssignmentHeader(column);
  // The statistics stand under the last row when its page has room for their four lines,
  // else on the assignment's last page, which the count then adds.
  const int onPage = first <= n ? std::min(n, first + k - 1) - first + 1 : 0;
  const bool holdsLast = n > 0 && first <= n && n <= first + k - 1;
  const bool statistics = (gReportOptions & 0x0400) && n > 0;
  const bool statisticsFit = onPage + 4 <= k;
  if (first <= n || n == 0) {
    const int right = DrawAssignmentLabels();
    DrawAssignmentScores(column, first, first + k - 1, right,
                         statistics && holdsLast && statisticsFit);
  } else if (statistics && page % pages == pages - 1 && (n - 1) % k + 1 + 4 > k) {
    DrawStatistics(column, Margin() + 11 * Line());
  }
  if (page % pages == pages - 1 && (gReportOptions & 0x0004)) {
    const int rows = first <= n ? std::min(n, first + k - 1) - first + 1 : 0;
    const int lines = n == 0 ? 14 : (rows > 0 ? rows - 1 + 16 : 12);
    int y = (lines + 1) * Line() + Margin();
    if ((gReportOptions & 0x0400) && rows > 0) y += 4 * Line();
    DrawAssignmentBreakdown(column, y);
  }
}

void DrawMissingReport(int16_t page) {
  for (const MissingBlock& b : MissingLayout()) {
    if (b.page != page) continue;
    DrawMissingAssignments(b.student, b.y);
    if ((gReportOptions & 0x8000) && (gReportOptions & 0x2000)) DrawSignatureLine();
  }
}
