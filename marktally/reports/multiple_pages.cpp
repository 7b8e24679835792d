// The pages of the multiple-class report, drawn from the merged records: per student a
// grades page, then optionally graded work and comments.
#include <algorithm>
#include <vector>

#include "marktally/model/multiple.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/report_draw.h"
#include "marktally/reports/reports.h"
#include "marktally/model/accessors.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/textedit.h"

using namespace reports;

namespace {

int LastTerm() { return std::clamp<int>(gNumTerms, 0, kMaxTerms - 1); }
int CurrentTermShown() { return std::clamp<int>(gCurrentTerm, 0, kMaxTerms - 1); }

bool ValidMerged(int16_t s) { return s >= 0 && s < gNumStudents && s < kMaxMultipleStudents; }

int SubjectCount(int16_t s) {
  return std::min<int>(gMultipleStudents[s].subjectCount, kMaxMultipleSubjects);
}

// The multiple-class report's terms, by the rule of the class reports.
ShownTerms Shown() {
  return TermsShown(LastTerm(), CurrentTermShown(), gShowAllTerms, gShowSemester == 1,
                    gShowYear == 1);
}
bool SecondSemester() { return Shown().secondSemester; }
bool SemesterColumn() { return Shown().semester; }
bool YearColumn() { return Shown().year; }
void SemesterTerms(int& first, int& last) {
  const ShownTerms shown = Shown();
  first = shown.semesterFrom;
  last = shown.semesterTo;
}
std::vector<int> TermColumns() { return Shown().terms; }

int ColumnX(int k) { return Margin() + 120 + 6 * Z() + 12 * Z() * k; }

// The title row of the grade and attendance tables; answers the last column's x.
int DrawColumnTitles(int y, bool subject) {
  if (subject) DrawAt(Margin(), y, "Subject");
  const std::vector<int> terms = TermColumns();
  int k = 0;
  TitleRow titles(y);
  for (int t : terms) {
    Str255 name{};
    TrimString(gTermNames[t], name, static_cast<uint16_t>(12 * Z()));
    titles.Centred(ColumnX(k++) - 8, name);
  }
  if (SemesterColumn())
    titles.At(ColumnX(k++) - W("1st Sem"), SecondSemester() ? "2nd Semester" : "1st Semester");
  if (YearColumn()) titles.At(ColumnX(k++) - W("Yea"), "Year");
  return ColumnX(std::max(0, k - 1));
}

void DrawSubjectName(ConstStringPtr subject, int y) {
  Str255 text{};
  TrimString(subject, text, 120);
  DrawAt(Margin(), y, text);
}

void DrawGradeCell(const MultipleSubjectRecord& sub, int slot, int x, int y, bool always) {
  const int16_t percent = static_cast<int16_t>(sub.percents[slot]);
  if (percent < 0) return;
  const bool p = gShowPercents != 0, l = gShowLetterGrades != 0;
  Str255 text{};
  PercentToString(percent, text);
  if (always) {
    // The year shows both; one switch alone keeps its own place.
    if (p && !l) {
      DrawRight(x + 8, y, text);
      DrawAt(x + 16, y, sub.grades[slot]);
    } else if (l && !p) {
      DrawRight(x - 12, y, text);
      DrawAt(x - 10, y, sub.grades[slot]);
    } else {
      DrawRight(x, y, text);
      DrawAt(x + 8, y, sub.grades[slot]);
    }
    return;
  }
  if (p && l) {
    DrawRight(x, y, text);
    DrawAt(x + 8, y, sub.grades[slot]);
  } else if (p) {
    DrawRight(x + 8, y, text);
  } else if (l) {
    DrawAt(x - 10, y, sub.grades[slot]);
  }
}

void DrawAttendCell(uint32_t absences, uint32_t tardies, int x, int y) {
  Str255 text{};
  ValueToString(static_cast<int32_t>(absences), text);
  DrawRight(x - 6 * Z() + W("Ab  "), y, text);
  ValueToString(static_cast<int32_t>(tardies), text);
  DrawRight(x + W("T  "), y, text);
}

// One list of assignment entries under its titles, cut at the page bottom.
void DrawWorkList(const MultipleAssignmentEntry* list, int kept, int size, int y, int bottom,
                  const char* title, const char* none) {
  const int m = Margin(), z = Z(), l = Line();
  const int xd = m + 120, xa = xd + 10 * z, xc = xa + 32 * z, xs = xc + 24 * z, xp = xs + 10 * z;
  DrawAt(m, y, "Subject");
  DrawAt(xd, y, "Date");
  DrawAt(xa, y, title);
  DrawAt(xc, y, "Category");
  DrawAt(xs, y, "Score");
  DrawAt(xp, y, "Points");
  const int right = xp + W("Points ");
  Rule(m, right, y + 3);
  if (kept <= 0) {
    y += l;
    DrawAt(m, y, none);
  }
  ConstStringPtr previous = nullptr;
  const int n = std::min(kept, size);
  for (int k = 0; k < n; k++) {
    if (y + l > bottom) break;
    y += l;
    const MultipleAssignmentEntry& e = list[k];
    if (!previous || !EqualString(previous, e.subject, false, false)) DrawSubjectName(e.subject, y);
    previous = e.subject;
    DrawOneDate(e.date, xd, y);
    Str255 text{};
    TrimString(e.name, text, static_cast<uint16_t>(32 * z));
    DrawAt(xa, y, text);
    TrimString(e.category, text, static_cast<uint16_t>(24 * z));
    DrawAt(xc, y, text);
    DrawRight(xs + W("Scor"), y, e.score);
    DrawRight(xp + W("Poin"), y, Number(e.points));
  }
  Rule(m, right, y + 3);
}

}  // namespace

int16_t PagesPerMultiple() {
  return static_cast<int16_t>(1 + (gShowAssigns ? 1 : 0) + (gShowComments ? 1 : 0));
}

void DrawMultipleClassReport(int16_t page) {
  if (page < 0) return;
  const int per = PagesPerMultiple();
  const int16_t s = static_cast<int16_t>(page / per);
  const int kind = page % per;
  if (!ValidMerged(s)) return;
  DrawMultipleHeader(s);
  if (kind == 0) {
    DrawMultipleGrades(s);
    if (gShowAttend) DrawMultipleAttend(s);
    if (gShowMissing) DrawMultipleMissing(s);
    if (gShowSignature) DrawSignatureLine();
  } else if (kind == 1 && gShowAssigns) {
    DrawMultipleAssigns(s);
  } else {
    DrawMultipleComments(s);
  }
}

void DrawMultipleHeader(int16_t s) {
  if (!ValidMerged(s)) return;
  const int m = Margin(), l = Line();
  UseHeaderFont();
  DrawAt(m, m + l, gSchoolName);
  UseReportFont();
  DrawAt(m, m + 4 * l, gMultipleStudents[s].name);
  DrawAt(m, m + 5 * l, Today());
}

void DrawMultipleGrades(int16_t s) {
  if (!ValidMerged(s)) return;
  UseReportFont();
  const int m = Margin(), l = Line();
  int y = m + 8 * l;
  const int last = DrawColumnTitles(y, true);
  Rule(m, last + 28, y + 3);
  const MultipleStudentRecord& r = gMultipleStudents[s];
  const std::vector<int> terms = TermColumns();
  for (int k = 0; k < SubjectCount(s); k++) {
    y += l;
    DrawSubjectName(r.subjects[k].subject, y);
    int c = 0;
    for (int t : terms) DrawMultipleTermGrade(s, S16(k), S16(t), ColumnX(c++), y);
    if (SemesterColumn()) DrawMultipleSemesterGrade(s, S16(k), ColumnX(c++), y);
    if (YearColumn()) DrawMultipleYearGrade(s, S16(k), ColumnX(c++), y);
  }
  Rule(m, last + 28, y + 3);
}

void DrawMultipleTermGrade(int16_t s, int16_t subject, int16_t term, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  if (term < 0 || term >= kMaxTerms) return;
  DrawGradeCell(gMultipleStudents[s].subjects[subject], term, x, y, false);
}

void DrawMultipleSemesterGrade(int16_t s, int16_t subject, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  DrawGradeCell(gMultipleStudents[s].subjects[subject],
                kSemesterGrade + (SecondSemester() ? 1 : 0), x, y, false);
}

void DrawMultipleYearGrade(int16_t s, int16_t subject, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  DrawGradeCell(gMultipleStudents[s].subjects[subject], kYearGrade, x, y, true);
}

void DrawMultipleTermAttend(int16_t s, int16_t subject, int16_t term, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  if (term < 0 || term >= kMaxTerms) return;
  const MultipleSubjectRecord& sub = gMultipleStudents[s].subjects[subject];
  DrawAttendCell(sub.absences[term], sub.tardies[term], x, y);
}

void DrawMultipleSemesterAttend(int16_t s, int16_t subject, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  const MultipleSubjectRecord& sub = gMultipleStudents[s].subjects[subject];
  int first = 0, last = 0;
  SemesterTerms(first, last);
  uint32_t a = 0, t = 0;
  for (int k = first; k <= last; k++) a += sub.absences[k], t += sub.tardies[k];
  DrawAttendCell(a, t, x, y);
}

void DrawMultipleYearAttend(int16_t s, int16_t subject, int x, int y) {
  if (!ValidMerged(s) || subject < 0 || subject >= kMaxMultipleSubjects) return;
  const MultipleSubjectRecord& sub = gMultipleStudents[s].subjects[subject];
  uint32_t a = 0, t = 0;
  for (int k = 0; k <= LastTerm(); k++) a += sub.absences[k], t += sub.tardies[k];
  DrawAttendCell(a, t, x, y);
}

void DrawMultipleAttend(int16_t s) {
  if (!ValidMerged(s)) return;
  UseReportFont();
  const int m = Margin(), l = Line(), z = Z();
  const int n = SubjectCount(s);
  int y = m + (n + 13) * l;
  const int last = DrawColumnTitles(y, false);
  y += l;
  DrawAt(m, y, "Subject");
  const std::vector<int> terms = TermColumns();
  const int columns = static_cast<int>(terms.size()) + (SemesterColumn() ? 1 : 0) +
                      (YearColumn() ? 1 : 0);
  for (int c = 0; c < columns; c++) {
    DrawAt(ColumnX(c) - 6 * z + W("  "), y, "Ab");
    DrawAt(ColumnX(c) + W("  "), y, "T");
  }
  Rule(m, last + 28, y + 3);
  for (int k = 0; k < n; k++) {
    y += l;
    DrawSubjectName(gMultipleStudents[s].subjects[k].subject, y);
    int c = 0;
    for (int t : terms) DrawMultipleTermAttend(s, S16(k), S16(t), ColumnX(c++), y);
    if (SemesterColumn()) DrawMultipleSemesterAttend(s, S16(k), ColumnX(c++), y);
    if (YearColumn()) DrawMultipleYearAttend(s, S16(k), ColumnX(c++), y);
  }
  Rule(m, last + 28, y + 3);
}

void DrawMultipleMissing(int16_t s) {
  if (!ValidMerged(s)) return;
  UseReportFont();
  const int m = Margin(), l = Line(), n = SubjectCount(s);
  int y = m + (n + 13) * l + 6;
  if (gShowAttend) y += (n + 6) * l;
  const int bottom = PageH() - m - (gShowSignature ? 4 * l : 0);
  const int t = CurrentTermShown();
  const MultipleStudentRecord& r = gMultipleStudents[s];
  DrawWorkList(r.missing[t], r.keptMissing[t], kMaxMissingWork, y, bottom, "Missing Assignment",
               "No missing assignments");
}

void DrawMultipleAssigns(int16_t s) {
  if (!ValidMerged(s)) return;
  UseReportFont();
  const int m = Margin(), l = Line();
  const int t = CurrentTermShown();
  const MultipleStudentRecord& r = gMultipleStudents[s];
  DrawWorkList(r.work[t], r.keptWork[t], kMaxGradedWork, m + 8 * l, PageH() - m, "Assignment",
               "No assignments");
}

void DrawMultipleComments(int16_t s) {
  if (!ValidMerged(s)) return;
  UseReportFont();
  const int m = Margin(), l = Line();
  const int t = CurrentTermShown();
  int top = m + 8 * l;
  const MultipleStudentRecord& r = gMultipleStudents[s];
  for (int k = 0; k < SubjectCount(s); k++) {
    const MultipleSubjectRecord& sub = r.subjects[k];
    if (!sub.commentsShown || sub.comments[t].empty()) continue;
    const Rect box{S16(top), S16(m + 124), S16(top + 4 * l), S16(PageW())};
    if (box.bottom > PageH() - m) break;
    Str255 subject{};
    TrimString(sub.subject, subject, 120);
    AppendC(subject, ":");
    DrawAt(m, top + l - 4, subject);
    TETextBox(sub.comments[t].text(), sub.comments[t].length(), &box, teFlushLeft);
    top += 4 * l;
  }
}
