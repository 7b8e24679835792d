// The one-student reports: scores with their closing sections, the summary page and
// the attendance page.
#include <algorithm>
#include <cstring>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/report_draw.h"
#include "marktally/reports/reports.h"
#include "marktally/model/accessors.h"
#include "marktally/reports/report_host.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/textedit.h"

using namespace reports;

char gCommentsBuffer[1024] = {};
int16_t gCommentsLength = 0;

namespace {


bool Listed(int t, int a) {
  const AssignmentRecord& r = gAssignments[t][a];
  return gNumScores[t][a] > 0 && r.category != kExamCategory && !r.name.empty() &&
         r.category < kMaxCategories && gCategories[t][r.category].weight != kNone;
}

int Possible() { return Margin() + 86 * Z() + W("Possible"); }

void DrawStudentHeader(int16_t s) {
  const int l = Line(), m = Margin(), z = Z();
  const Str255 today = Today();
  UseHeaderFont();
  DrawAt(m, m + l, gClass.school);
  UseReportFont();
  Str255 line{};
  if (ShowsIDs()) {
    line.set(gStudents[s].id);
    AppendC(line, "  ");
  }
  Append(line, gStudents[s].name);
  DrawAt(m, m + 4 * l, line);
  DrawAt(m, m + 5 * l, SubjectLine());
  DrawAt(m, m + 6 * l, gClass.teacher);
  int right = m;
  const uint16_t view = CurrentPage().view;
  if (view == kStudentScoresView)
    right = m + 86 * z + W("Possible");
  else if (view == kStudentSummaryView)
    right = (gClass.flags & 0x10) ? m + 54 * z + W("Grade") + 3 : m + 44 * z;
  else if (view == kStudentAttendanceView)
    right = PageW() - 2 * m;
  DrawRight(right, m + 6 * l, today);
}

void DrawStudentLabels() {
  const int m = Margin(), z = Z(), y = m + 8 * Line();
  DrawAt(m, y, "Date");
  DrawAt(m + 10 * z, y, "Assignment");
  DrawAt(m + 52 * z, y, "Category");
  DrawAt(m + 76 * z, y, "Points");
  DrawAt(m + 86 * z, y, "Possible");
  Rule(m, Possible(), y + 3);
}

void DrawStudentScores(int16_t s, int first, int last) {
  const int t = Term(), l = Line(), m = Margin(), z = Z();
  TermPercent(static_cast<int16_t>(t), s);
  int y = m + 8 * l + 3, counter = 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    if (!Listed(t, a)) continue;
    counter++;
    if (counter >= first && counter <= last) {
      y += l;
      DrawOneScore(s, static_cast<int16_t>(a), y);
    }
  }
  if (counter == 0) {
    y += l;
    DrawAt(m, y, "No assignments");
  }
  y += 3;
  Rule(m, Possible(), y);
  int32_t earned = 0, possible = 0;
  TotalScores(s, earned, possible);
  if (counter <= last && gGrading[t] == 0 && possible != 0) {
    Str255 text{};
    DrawAt(m, y + l, "Total");
    ValueToString(earned, text);
    DrawRight(m + 76 * z + W("Poin"), y + l, text);
    ValueToString(possible, text);
    DrawRight(m + 86 * z + W("Possi"), y + l, text);
  }
}

// The attendance deduction of term t, in tenths of a percent.
int32_t Deduction(int16_t s, int t) {
  if (!(gAttendGrade.flags & 1)) return 0;
  const int perAbsence = gAttendGrade.flags >> 8;
  int64_t absences = gStudents[s].absences[t];
  if (perAbsence != 0) absences += (gStudents[s].tardies[t] / (10 * perAbsence)) * 10;
  const auto over =
      static_cast<int16_t>(absences - 10 * static_cast<int64_t>(gAttendGrade.allowed));
  const int64_t d =
      static_cast<int64_t>(std::max<int16_t>(0, over)) * gAttendGrade.penaltyPerAbsence / 10;
  return static_cast<int32_t>(std::clamp<int64_t>(d, 0, 32767));
}

void DrawDeduction(int32_t d, int x, int y) {
  if (d <= 0) return;
  Str255 text{};
  PercentToString(S16(d), text);
  const int start = x + W("999.9%") - W(text);
  AppendC(text, " deducted for attendance");
  DrawAt(start, y, text);
}

bool Weights(int t) { return gGrading[t] == 1; }

void DrawCategoryRowValues(int32_t earned, int32_t possible, int16_t p, int x, int y) {
  const int z = Z();
  Str255 text{};
  ValueToString(earned, text);
  DrawRight(x + W("Poin"), y, text);
  x += 10 * z;
  ValueToString(possible, text);
  DrawRight(x + W("Possi"), y, text);
  if (!(gClass.flags & 0x02)) {
    x += 10 * z;
    PercentToString(p, text);
    DrawRight(x + W("Percent"), y, text);
  }
  if (gClass.flags & 0x10) {
    PercentToGrade(p, text);
    DrawAt(x + 10 * z + W("G "), y, text);
  }
}

void DrawCategoryInfo(int16_t s, int16_t c, int y) {
  const int m = Margin(), z = Z(), t = Term();
  Str255 text{};
  TrimString(gCategories[t][c].name, text, static_cast<uint16_t>(24 * z));
  DrawAt(m, y, text);
  int x = m + 24 * z;
  if (Weights(t)) {
    const int16_t w = GetCategoryWeight(c);
    if (w >= 0) {
      DecimalToString(w, text);
      AppendC(text, "%");
      DrawRight(x + W("Weight"), y, text);
    }
    x += 10 * z;
  }
  int32_t earned = 0, possible = 0;
  CategoryTotals(s, static_cast<uint16_t>(c), earned, possible);
  DrawCategoryRowValues(earned, possible, CatPct(s, c), x, y);
}

void DrawExamInfo(int16_t s, int y) {
  const int m = Margin(), z = Z(), t = Term();
  DrawAt(m, y, "Final Exam");
  int x = m + 24 * z;
  if (Weights(t)) {
    if (gClass.examScope == 1 && gClass.examWeight != 0) {
      Str255 text{};
      DecimalToString(gClass.examWeight, text);
      AppendC(text, "%");
      DrawRight(x + W("Weight"), y, text);
    }
    x += 10 * z;
  }
  int32_t earned = 0, possible = 0;
  CategoryTotals(s, kExamCategory, earned, possible);
  DrawCategoryRowValues(earned, possible, ExamPercent(static_cast<int16_t>(t), s), x, y);
}

void DrawCurrTermInfo(int16_t s, int y) {
  const int m = Margin(), z = Z(), t = Term();
  DrawAt(m, y, gTermNames[t]);
  int x = m + 24 * z + (Weights(t) ? 10 * z : 0);
  int32_t earned = 0, possible = 0;
  TotalScores(s, earned, possible);
  const bool noExam = gClass.examWeight == 0 || gClass.examScope != 1;
  Str255 text{};
  if (gGrading[t] == 0 && possible != 0 && noExam) {
    ValueToString(earned, text);
    DrawRight(x + W("Poin"), y, text);
    ValueToString(possible, text);
    DrawRight(x + 10 * z + W("Possi"), y, text);
  }
  x += 10 * z;
  const int16_t p = TermPercent(static_cast<int16_t>(t), s);
  if (!(gClass.flags & 0x02)) {
    x += 10 * z;
    PercentToString(p, text);
    DrawRight(x + W("Percent"), y, text);
  }
  if (gClass.flags & 0x10) {
    x += 10 * z;
    PercentToGrade(p, text);
    DrawAt(x + W("G "), y, text);
  }
  DrawDeduction(Deduction(s, t), x + 8 * z, y);
}

void DrawStudentAttendance(int16_t s, int y) {
  UseReportFont();
  const int m = Margin(), t = Term();
  const int right = m + W("Absences   00");
  Str255 text{};
  DrawAt(m, y, "Tardies");
  ValueToString(gStudents[s].tardies[t], text);
  DrawRight(right, y, text);
  DrawAt(m, y + Line(), "Absences");
  ValueToString(gStudents[s].absences[t], text);
  DrawRight(right, y + Line(), text);
}

// One row of the grades table: label, attendance sums, exam pair and grade pair.
void DrawGradesRow(ConstStringPtr label, int32_t absences, int32_t tardies, bool exam,
                   int16_t examPercent, int16_t percent, int y, int32_t deduction) {
  const int m = Margin(), z = Z();
  const uint16_t o = gReportOptions;
  DrawAt(m, y, label);
  int x = m + 26 * z;
  Str255 text{};
  if (o & 0x0040) {
    ValueToString(absences, text);
    DrawRight(x + W("Ab"), y, text);
    x += 12 * z;
    ValueToString(tardies, text);
    DrawRight(x + W("T"), y, text);
    x += 12 * z;
  }
  if (o & 0x0080) {
    if (gClass.examWeight > 0) {
      if (exam) DrawGradePair(examPercent, x, y);
      x += 12 * z;
    }
    DrawGradePair(percent, x, y);
    DrawDeduction(deduction, x + 6 * z, y);
  }
}

void DrawStudentGrades(int16_t s, int y) {
  const int last = gClass.lastTerm, l = Line(), m = Margin(), z = Z();
  const uint16_t o = gReportOptions;
  if (last == 0) {
    if (o & 0x0040) DrawStudentAttendance(s, y);
    return;
  }
  DrawAt(m, y, "Term");
  int x = m + 26 * z;
  if (o & 0x0040) {
    DrawAt(x - W("Abs"), y, "Absences");
    x += 12 * z;
    DrawAt(x - W("Tar "), y, "Tardies");
  }
  if (o & 0x0080) {
    if (o & 0x0040) x += 12 * z;
    if (gClass.examWeight > 0) {
      DrawAt(x - W("Exa "), y, "Exam");
      x += 12 * z;
    }
    DrawAt(x - W("Grad"), y, "Grade");
  }
  const int right = x + 27;
  Rule(m, right, y + 3);
  y += 3;
  const StudentRecord& st = gStudents[s];
  for (int t = 0; t <= last && t < kMaxTerms; t++) {
    y += l;
    const auto term = static_cast<int16_t>(t);
    DrawGradesRow(gTermNames[t], st.absences[t], st.tardies[t], gClass.examScope == 1,
                  ExamPercent(term, s), TermPercent(term, s), y, Deduction(s, t));
  }
  Rule(m, right, y + 3);
  y += 3;
  if ((o & 0x0002) && (last == 3 || last == 5)) {
    const int half = last == 3 ? 2 : 3;
    for (int h = 0; h < 2; h++) {
      int32_t a = 0, t = 0;
      for (int k = h * half; k < (h + 1) * half; k++) a += st.absences[k], t += st.tardies[k];
      y += l;
      DrawGradesRow(Text(h == 0 ? "1st Semester" : "2nd Semester"), a, t, gClass.examScope == 2,
                    ExamPercent(static_cast<int16_t>((h + 1) * half - 1), s),
                    SemesterPercent(static_cast<int16_t>(h), s), y, 0);
    }
    Rule(m, right, y + 3);
    y += 3;
  }
  if (o & 0x0001) {
    int32_t a = 0, t = 0;
    for (int k = 0; k <= last && k < kMaxTerms; k++) a += st.absences[k], t += st.tardies[k];
    y += l;
    DrawGradesRow(Text("Year Grade"), a, t, gClass.examScope == 3,
                  ExamPercent(static_cast<int16_t>(last), s), FinalPercent(s), y, 0);
  }
}

int GradesLines(bool semestersAlways) {
  const int last = gClass.lastTerm;
  if (last == 0) return 4;
  const bool semesters =
      (semestersAlways || (gReportOptions & 0x0002)) && (last == 3 || last == 5);
  return last + 5 + (semesters ? 2 : 0);
}

void DrawStudentComments(int16_t s, int y) {
  UseReportFont();
  CombineComments(s);
  const int m = Margin();
  const Rect box{S16(y), S16(m), S16(PageH() - 48), S16(m + 76 * Z() + W("Possible"))};
  if (box.bottom > box.top) TETextBox(gCommentsBuffer, gCommentsLength, &box, teFlushLeft);
}

void DrawStudentAttendHeader(int16_t s) { DrawStudentHeader(s); }

void DrawStudentAttendLabels() {
  UseReportFont();
  const int m = Margin(), y = m + 8 * Line();
  DrawAt(m, y, "Code");
  DrawAt(m + 10 * Z(), y, "Dates");
  Rule(m, PageW() - 2 * m, y + 3);
}

void DrawStudentAttendDates(int16_t s) {
  UseReportFont();
  const int m = Margin(), l = Line(), z = Z(), t = Term();
  const int right = PageW() - 2 * m;
  int y = m + 8 * l + 3;
  const uint32_t origin = gTermDates[0].start;
  // Days outside the 360-day table are never read.
  auto day = [origin](uint32_t date) {
    return date < origin
               ? 0
               : static_cast<int>(std::min<uint32_t>((date - origin) / 86400, kMaxDays - 1));
  };
  const int d0 = day(gTermDates[t].start), d1 = day(gTermDates[t].end);
  for (int c = 0; c < kMaxCodes; c++) {
    if (gCodes[c].name.empty()) continue;
    y += l + 4;
    DrawAt(m, y, gCodes[c].name);
    int x = m + 10 * z, count = 0;
    bool wrap = false;
    for (int d = d0; d <= d1; d++) {
      if (gHolidays[d] || gAttendance[s][d] != c) continue;
      const uint32_t date = origin + 86400u * static_cast<uint32_t>(d);
      DateTimeRec rec{};
      SecondsToDate(date, rec);
      const int weekday = (rec.dayOfWeek + 5) % 7;  // Sunday 1 .. Saturday 7 -> Monday 0
      if (!gSchoolWeek[weekday]) continue;
      if (wrap) {
        x = m + 10 * z;
        y += l;
      }
      count++;
      DrawOneDate(date, x, y);
      x += W("May 99       ");
      wrap = x + W("May 99") > right;
    }
    if (count == 0) DrawAt(m + 10 * z, y, "none");
  }
  Rule(m, right, y + 7);
  DrawStudentAttendance(s, y + 7 + 2 * l);
}

}  // namespace

void CombineComments(int16_t s) {
  const int t = Term();
  std::string text;
  auto add = [&text](ConstStringPtr p) {
    text.append(reinterpret_cast<const char*>(p) + 1, p[0]);
  };
  const Str255& header = gHeader[t];
  add(header);
  if (!header.empty() && header[header.length()] != '\r') text += '\r';
  if ((gReportOptions & 0x1000) && !gComments[s][t].empty()) {
    const Str255& comment = gComments[s][t];
    text += '\r';
    add(comment);
    if (comment[comment.length()] != '\r') text += '\r';
  }
  if (!gFooter[t].empty()) {
    text += '\r';
    add(gFooter[t]);
  }
  const size_t n = std::min(text.size(), sizeof gCommentsBuffer - 1);
  std::memcpy(gCommentsBuffer, text.data(), n);
  gCommentsBuffer[n] = 0;
  gCommentsLength = static_cast<int16_t>(n);
}

int16_t GetCategoryWeight(int16_t c) {
  const int t = Term();
  int64_t sum = 0;
  for (int k = 0; k < 10; k++)
    if (!gCategories[t][k].name.empty() && gCategories[t][k].weight != kNone)
      sum += gCategories[t][k].weight;
  if (sum == 0 || sum > UINT32_MAX) return static_cast<int16_t>(0xFFFD);
  uint32_t w = Percent(gCategories[t][c].weight, static_cast<uint32_t>(sum));
  if (gClass.examScope == 1 && gClass.examWeight > 0)
    w = Divide(static_cast<uint32_t>(std::max(0, 1000 - gClass.examWeight)) * w, 1000);
  return static_cast<int16_t>(std::min<uint32_t>(w, 32767));
}

void DrawOneDate(uint32_t date, int x, int y) {
  UseReportFont();
  DateTimeRec rec{};
  SecondsToDate(date, rec);
  const Str255 day = Number(rec.day);
  const Str255 month = Text(gShortMonths[std::clamp<int>(rec.month, 1, 12) - 1]);
  if (gLDateFormat == 0 || gLDateFormat == 2) {
    DrawAt(x, y, month);
    DrawRight(x + W("May 99"), y, day);
  } else if (gLDateFormat == 1) {
    DrawRight(x + W("99"), y, day);
    DrawAt(x + W("99 "), y, month);
  }
}

void DrawOneScore(int16_t s, int16_t a, int y) {
  const int t = Term(), m = Margin(), z = Z();
  const AssignmentRecord& r = gAssignments[t][a];
  DrawOneDate(gAssignDates[t][a], m, y);
  Str255 text{};
  TrimString(r.name, text, static_cast<uint16_t>(42 * z));
  DrawAt(m + 10 * z, y, text);
  if (r.category < kMaxCategories) {
    TrimString(gCategories[t][r.category].name, text, static_cast<uint16_t>(24 * z));
    DrawAt(m + 52 * z, y, text);
  }
  Str255 score{}, possible{};
  ScoreToString(gScores[s][t][a], score);
  possible = Number(r.points);
  const int scoreRight = m + 76 * z + W("Poin"), possibleRight = m + 86 * z + W("Possi");
  if (Dropped(s, static_cast<uint16_t>(a))) {
    DrawAt(m + 76 * z - W("(99"), y, "(");
    DrawAt(scoreRight, y, ")");
    DrawAt(m + 86 * z - W("(9"), y, "(");
    DrawAt(possibleRight, y, ")");
  }
  DrawRight(scoreRight, y, score);
  DrawRight(possibleRight, y, possible);
  const uint8_t mark = gFootnotes[s][t][a];
  if (mark < kMaxFootnotes) DrawAt(m + 96 * z, y, gFootnoteText[mark]);
}

void DrawStudentCategories(int16_t s, int y) {
  const int m = Margin(), z = Z(), t = Term(), l = Line();
  UseReportFont();
  DrawAt(m, y, "Category");
  int x = m + 24 * z;
  if (Weights(t)) {
    DrawAt(x, y, "Weight");
    x += 10 * z;
  }
  DrawAt(x, y, "Points");
  x += 10 * z;
  DrawAt(x, y, "Possible");
  int w = W("Possible");
  if (!(gClass.flags & 0x02)) {
    x += 10 * z;
    DrawAt(x, y, "Percent");
    w = W("Percent");
  }
  if (gClass.flags & 0x10) {
    x += 10 * z;
    DrawAt(x, y, "Grade");
    w = W("Grade");
  }
  const int right = x + 3 + w;
  Rule(m, right, y + 3);
  y += 3;
  int rows = 0;
  for (int c = 0; c < 10; c++) {
    if (gCategories[t][c].name.empty() || gCategories[t][c].weight == kNone) continue;
    y += l;
    DrawCategoryInfo(s, static_cast<int16_t>(c), y);
    rows++;
  }
  if (gClass.examWeight > 0 && gClass.examScope == 1) {
    y += l;
    DrawExamInfo(s, y);
    rows++;
  }
  if (rows == 0) {
    y += l;
    DrawAt(m, y, "No categories");
  }
  Rule(m, right, y + 3);
  if ((gClass.flags & 0x12) != 0x02) DrawCurrTermInfo(s, y + 3 + l);
}

void DrawSignatureLine() {
  UseReportFont();
  const int m = Margin(), w = PageW(), y = PageH() - 36;
  DrawAt(m, y, "Signature");
  const int e = w - m - 108 - W("  Date ");
  Rule(m + W("Signature "), e, y);
  DrawAt(e + W("  "), y, "  Date");
  Rule(e + W("  ") + W("  Date "), w - m, y);
}

void DrawStudentReport(int16_t page) {
  const int pages = std::max<int>(1, PagesPerStudent());
  const int s = page / pages, k = page % pages;
  if (!Named(s)) return;
  const auto st = static_cast<int16_t>(s);
  const int n = NumActualAssignments(), rows = ClassRowsPerPage();
  const int first = rows * k + 1, l = Line(), m = Margin();
  DrawStudentHeader(st);
  const bool holdsRows = n != 0 && first <= n;
  if (n == 0 || first <= n) {
    DrawStudentLabels();
    DrawStudentScores(st, first, first + rows - 1);
  }
  if (k != pages - 1) return;
  const int onPage = holdsRows ? std::min(n, first + rows - 1) - first + 1 : 0;
  const int j = holdsRows ? onPage + 9 : (n == 0 ? 10 : 5);
  int y = m + (j + 3) * l;
  const uint16_t o = gReportOptions;
  if (o & 0x0020) {
    DrawStudentCategories(st, y);
    y += l * (NumCategories() + 4);
  }
  if (o & 0x00C0) {
    DrawStudentGrades(st, y);
    y += l * GradesLines(false);
  }
  DrawStudentComments(st, y);
  if (o & 0x2000) DrawSignatureLine();
}

void DrawStudentSummary(int16_t s) {
  if (!Named(s)) return;
  const int l = Line(), m = Margin();
  DrawStudentHeader(s);
  DrawStudentCategories(s, m + 8 * l);
  int y = m + 8 * l + l * (NumCategories() + 4);
  if (gReportOptions & 0x00C0) {
    DrawStudentGrades(s, y);
    y += l * GradesLines(true);
  }
  DrawStudentComments(s, y);
  if (gReportOptions & 0x2000) DrawSignatureLine();
}

int32_t AttendanceDeduction(int16_t s, int term) {
  return term >= 0 && term < kMaxTerms ? Deduction(s, term) : 0;
}

void DrawStudentAttendReport(int16_t s) {
  if (!Named(s)) return;
  DrawStudentAttendHeader(s);
  DrawStudentAttendLabels();
  DrawStudentAttendDates(s);
}
