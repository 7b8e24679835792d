#include "marktally/reports/html_report.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/document.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/email.h"
#include "marktally/reports/reports.h"
#include "marktally/reports/text_export.h"

uint8_t gShowStudentName = 0;

namespace {

// The C locale's classes: bytes above 127 belong to neither.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool IsPunct(unsigned char c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
         (c >= 123 && c <= 126);
}

// A link or address as it goes into the attribute and the element. White space never
// reaches here: it ends the word.
std::string LinkText(const std::string& run) {
  std::string out;
  for (const char ch : run)
    AppendEscapedByte(out, static_cast<unsigned char>(ch), Markup::kHtmlLink);
  return out;
}

bool StartsWith(ConstStringPtr text, int i, const char* prefix) {
  const int n = text[0];
  for (int k = 0; prefix[k]; k++)
    if (i + k > n || text[i + k] != static_cast<unsigned char>(prefix[k])) return false;
  return true;
}

bool WordEndsAfter(ConstStringPtr text, int i) {
  const int n = text[0];
  if (i >= n) return true;
  if (IsSpace(text[i + 1])) return true;
  return IsPunct(text[i + 1]) && (i + 1 == n || IsSpace(text[i + 2]));
}

int T() { return gCurrentTerm < kMaxTerms ? gCurrentTerm : kMaxTerms - 1; }

bool HidesPercents() { return gClass.flags & kHidePercents; }
bool ShowsLetters() { return gClass.flags & kLetterGrades; }
bool Weights() { return gGrading[T()] == 1; }

Str255 Percent(int32_t p) {
  Str255 text{};
  PercentToString(static_cast<int16_t>(std::clamp<int32_t>(p, -32768, 32767)), text);
  return text;
}
Str255 Grade(int16_t p) {
  Str255 text{};
  PercentToGrade(p, text);
  return text;
}
// Tenths of points: a total can pass what one score holds.
Str255 Points(int32_t tenths) {
  Str255 text{};
  if (tenths >= 0 && tenths <= 32767)
    ScoreToString(static_cast<int16_t>(tenths), text);
  else
    ValueToString(tenths, text);
  return text;
}
Str255 Tenths(int32_t tenths) {
  Str255 text{};
  ValueToString(tenths, text);
  return text;
}

// One writer's road to the buffer: after the first failed write nothing more is written,
// so a report never goes on past a closed file or a full e-mail buffer.
struct Html {
  const FileSpec& spec;
  FileRef& ref;
  WriteBuffer& buffer;
  bool ok = true;

  bool T(const char* text) {
    if (ok) ok = AppendCToBuffer(spec, ref, buffer, text);
    return ok;
  }
  bool P(ConstStringPtr text) {
    if (ok) ok = AppendToBuffer(spec, ref, buffer, text);
    return ok;
  }
  bool E(ConstStringPtr text) {
    if (ok) ok = AppendHTMLToBuffer(spec, ref, buffer, text);
    return ok;
  }
  bool N(long n) { return P(PStr(std::to_string(n))); }
};

// ---- Heading ---------------------------------------------------------------------------

enum class Kind { kScores, kSummary, kDates, kMissing };

bool Heading(Html& h, Kind kind, int16_t s) {
  const char* r = kind == Kind::kDates ? "<tr><td><b>\r" : "<tr><td colspan=6><b>\r";
  h.T("<h2 align=left>\r");
  h.E(gClass.school);
  h.T("\r</h2>\r\r<table cellspacing=0>\r\r<tr><td height=30></td></tr>\r\r");
  if (gShowStudentName) {
    Str255 line{};
    if (gClass.flags & kShowIDs) {
      line.set(gStudents[s].id);
      AppendC(line, " ");
    }
    Append(line, gStudents[s].name);
    h.T(r);
    h.E(line);
    h.T("\r</b></td></tr>\r\r");
  }
  h.T(r);
  h.E(gClass.subject);
  if (gClass.lastTerm > 0) {
    h.T(" (");
    h.E(gTermNames[T()]);
    h.T(")");
  }
  h.T("\r</b></td></tr>\r");
  Str255 today{};
  DateToString(GetDateTime(), today);
  switch (kind) {
    case Kind::kScores:
    case Kind::kSummary:
      h.T("<tr><td colspan=5><b>\r");
      h.E(gClass.teacher);
      h.T(kind == Kind::kScores ? "\r</b></td>\r\r<td colspan=4 align=right>\r"
                                : "\r</b></td>\r\r<td width=350 align=right>\r");
      h.E(today);
      h.T("\r</td>\r</tr>\r");
      break;
    case Kind::kDates:
      h.T("<tr><td width=240><b>\r");
      h.E(gClass.teacher);
      h.T("\r</b></td>\r\r<td width=290 align=right>\r");
      h.E(today);
      h.T("\r</td>\r</tr>\r");
      break;
    case Kind::kMissing:
      h.T("<tr><td colspan=5><b>\r");
      h.E(today);
      h.T("\r</b></td></tr>\r");
      break;
  }
  return h.T("\r<tr><td height=20></td></tr>\r");
}

// ---- Assignment table ------------------------------------------------------------------

bool AssHeaders(Html& h, const char* title) {
  h.T("<tr>\r<th colspan=3 align=left><b>\rDate\r</b></th>\r<th width=180 align=left><b>\r");
  h.T(title);
  return h.T("</b></th>\r<th width=180 align=left><b>\rCategory\r</b></th>\r"
             "<th colspan=2 align=center><b>\rPoints\r</b></th>\r"
             "<th colspan=2 align=center><b>\rPossible\r</b></th>\r</tr>\r");
}

bool DateCells(Html& h, uint32_t date, const char* monthCell) {
  DateTimeRec rec{};
  SecondsToDate(date, rec);
  const char* month = gShortMonths[std::clamp<int>(rec.month, 1, 12) - 1];
  if (gLDateFormat == 0 || gLDateFormat == 2) {
    h.T(monthCell);
    h.T(month);
    h.T("\r</td>\r<td width=20 align=right>\r");
    h.N(rec.day);
    h.T("\r</td>\r");
  } else if (gLDateFormat == 1) {
    h.T("<td width=20 align=right>\r");
    h.N(rec.day);
    h.T("\r</td>\r<td width=30>\r");
    h.T(month);
    h.T("\r</td>\r");
  }
  return h.ok;
}

bool AssignmentRow(Html& h, int16_t s, int a, bool showDrops) {
  const int t = T();
  const AssignmentRecord& r = gAssignments[t][a];
  const bool dropped = showDrops && Dropped(s, static_cast<uint16_t>(a));
  h.T("<tr>\r");
  DateCells(h, gAssignDates[t][a], "<td width=30>\r");
  h.T("<td width=20></td>\r<td width=180>\r");
  h.E(r.name);
  h.T("\r</td>\r<td width=180>\r");
  if (r.category < kMaxCategories) h.E(gCategories[t][r.category].name);
  h.T("\r</td>\r<td width=60 align=right>\r");
  if (dropped) h.T("(");
  Str255 score{};
  ScoreToString(gScores[s][t][a], score);
  h.E(score);
  if (dropped) h.T(")");
  h.T("\r</td>\r<td width=30></td>\r<td width=60 align=right>\r");
  if (dropped) h.T("(");
  h.N(r.points);
  if (dropped) h.T(")");
  h.T("\r</td>\r<td width=40></td>\r");
  const uint8_t mark = gFootnotes[s][t][a];
  if (mark < kMaxFootnotes) {
    h.T("<td width=180>\r");
    h.E(gFootnoteText[mark]);
    h.T("\r</td>\r");
  }
  return h.T("</tr>\r");
}

bool Listed(int t, int a) {
  const AssignmentRecord& r = gAssignments[t][a];
  return gNumScores[t][a] > 0 && !r.name.empty() && r.category != kExamCategory &&
         r.category < kMaxCategories && gCategories[t][r.category].weight != kNone;
}

bool Assignments(Html& h, int16_t s) {
  const int t = T();
  for (int a = 0; a < kMaxAssignments && h.ok; a++)
    if (Listed(t, a)) AssignmentRow(h, s, a, true);
  if (gGrading[t] != 0) return h.ok;
  int32_t earned = 0, possible = 0;
  TotalScores(s, earned, possible);
  h.T("<tr>\r<th colspan=5 align=left><b>\rTotal\r</b></th>\r<th width=60 align=right><b>\r");
  h.E(Points(earned));
  h.T("\r</b></th>\r<th width=30></th>\r<th width=60 align=right><b>\r");
  h.P(Tenths(possible));
  return h.T("\r</b></th>\r<th width=40></th>\r</tr>\r");
}

bool Missing(int t, int16_t s, int a) {
  const AssignmentRecord& r = gAssignments[t][a];
  if (gNumScores[t][a] == 0 || r.name.empty() || r.points == 0) return false;
  if (r.category >= kExamCategory || gCategories[t][r.category].weight == kNone) return false;
  const int16_t v = ConvertSpecialScore(gScores[s][t][a], static_cast<int16_t>(a));
  return v == -1 || v == -6;
}

bool MissingAssigns(Html& h, int16_t s) {
  const int t = T();
  bool any = false;
  for (int a = 0; a < kMaxAssignments && h.ok; a++) {
    if (!Missing(t, s, a)) continue;
    any = true;
    AssignmentRow(h, s, a, false);
  }
  if (!any) h.T("<tr><td>\rNo missing assignments\r</td></tr>\r\r");
  return h.ok;
}

// ---- Category table --------------------------------------------------------------------

bool CatHeaders(Html& h) {
  h.T("<tr>\r<th width=180 align=left><b>\rCategory\r</b></th>\r");
  if (Weights()) h.T("<th align=center colspan=2><b>\rWeight\r</b></th>\r");
  h.T("<th colspan=2 align=center><b>\rPoints\r</b></th>\r"
      "<th colspan=2 align=center><b>\rPossible\r</b></th>\r");
  if ((gClass.flags & 0x12) != 0x02) h.T("<th align=center colspan=2><b>\rGrade\r</b></th>\r");
  return h.T("</tr>\r");
}

// The attendance deduction cells of a term row.
bool DeductionCells(Html& h, int16_t s, int t) {
  const int32_t d = AttendanceDeduction(s, t);
  if (!(gAttendGrade.flags & 1) || d <= 0) return h.ok;
  h.T("<td width=18>\r\r</td>\r<td align=left>\r");
  if (ShowsLetters()) {
    Str255 text = Percent(d);
    AppendC(text, " deducted for attendance");
    h.E(text);
  }
  return h.T("</td>\r");
}

// A category, extra-credit or exam row. weight: the weight text, or null for no cells.
// percent: the percent cell's text or null for an empty cell; letter likewise.
void CategoryRow(Html& h, int16_t s, ConstStringPtr label, bool escapeLabel, const Str255* weight,
                 int16_t category, const Str255* percent, const Str255* letter) {
  h.T("<tr>\r<td width=180>\r");
  if (escapeLabel)
    h.E(label);
  else
    h.P(label);
  h.T("</td>\r");
  if (weight) {
    h.T("<td width=78 align=right>\r");
    h.P(*weight);
    h.T("\r</td>\r<td width=12></td>\r");
  }
  int32_t earned = 0, possible = 0;
  CategoryTotals(s, static_cast<uint16_t>(category), earned, possible);
  h.T("<td width=60 align=right>\r");
  h.P(Points(earned));
  h.T("\r</td>\r<td width=30></td>\r<td width=60 align=right>\r");
  h.P(Points(possible));
  h.T("\r</td>\r<td width=30></td>\r");
  if (!HidesPercents()) {
    h.T("<td align=right>\r");
    if (percent) h.P(*percent);
    h.T("</td>\r");
  }
  if (ShowsLetters()) {
    h.T("<td align=left>\r");
    if (letter) h.E(*letter);
    h.T("</td>\r");
  }
  h.T("</tr>\r");
}

bool Categories(Html& h, int16_t s) {
  const int t = T();
  for (int c = 0; c < 10 && h.ok; c++) {
    const CategoryRecord& r = gCategories[t][c];
    if (r.name.empty() || r.weight == kNone) continue;
    const int16_t p = CatPct(s, static_cast<int16_t>(c));
    const Str255 weight = Percent(GetCategoryWeight(static_cast<int16_t>(c)));
    Str255 percent = Percent(p);
    AppendC(percent, " ");
    const Str255 letter = Grade(p);
    CategoryRow(h, s, r.name, true, Weights() ? &weight : nullptr, static_cast<int16_t>(c),
                &percent, &letter);
  }
  bool extra = false;
  for (int a = 0; a < kMaxAssignments; a++)
    if (!gAssignments[t][a].name.empty() && gAssignments[t][a].category == kExtraCreditCategory)
      extra = true;
  if (extra)
    CategoryRow(h, s, gCategories[t][kExtraCreditCategory].name, true, nullptr,
                kExtraCreditCategory, nullptr, nullptr);
  if (gClass.examWeight > 0 && gClass.examScope == 1) {
    const int16_t p = ExamPercent(static_cast<int16_t>(t), s);
    const Str255 weight = Percent(gClass.examWeight);
    const Str255 percent = Percent(p);
    const Str255 letter = Grade(p);
    CategoryRow(h, s, PStr("Final Exam"), false, Weights() ? &weight : nullptr, kExamCategory,
                &percent, &letter);
  }
  // The term row.
  int32_t earned = 0, possible = 0;
  TotalScores(s, earned, possible);
  const int16_t p = TermPercent(static_cast<int16_t>(t), s);
  h.T("<tr>\r<th width=180 align=left><b>\r");
  h.E(gTermNames[t]);
  h.T("</b></th>\r");
  if (Weights()) h.T("<th colspan=2></th>\r");
  const bool noExam = gClass.examWeight == 0 || gClass.examScope != 1;
  if (gGrading[t] == 0 && possible != 0 && noExam) {
    h.T("<th width=60 align=right>\r");
    h.P(Points(earned));
    h.T("\r</th>\r<th width=30></th>\r<th width=60 align=right>\r");
    h.P(Points(possible));
    h.T("\r</th>\r<th width=30></th>\r");
  } else {
    h.T("<th colspan=4></th>\r");
  }
  if (!HidesPercents()) {
    h.T("<th align=right><b>\r");
    h.P(Percent(p));
    h.T("</b></th>\r");
  }
  if (ShowsLetters()) {
    h.T("<th align=left><b>\r");
    h.E(Grade(p));
    h.T("</b></th>\r");
  }
  DeductionCells(h, s, t);
  return h.T("</tr>\r");
}

// ---- Grades table ----------------------------------------------------------------------

bool GradesHeader(Html& h) {
  const uint16_t o = gReportOptions;
  h.T("<tr>\r<th width=162 align=left><b>\rTerm\r</b></th>\r");
  if (o & 0x0040)
    h.T("<th align=center colspan=2><b>\rAbsences\r</b></th>\r"
        "<th align=center colspan=2><b>\rTardies\r</b></th>\r");
  if (!(o & 0x0080)) return h.ok;
  if (gClass.examWeight > 0) h.T("<th align=center colspan=2><b>\rExam\r</b></th>\r");
  return h.T("<th align=center colspan=2><b>\rGrade\r</b></th>\r</tr>\r");
}

enum class Row { kTerm, kSemester, kYear };

// A percent cell and a letter cell; either may be left empty.
void GradePair(Html& h, Row row, int16_t p, bool percent, bool letter) {
  const char* cell = row == Row::kTerm ? "td" : "th";
  const char* open = row == Row::kYear ? "><b>\r" : ">\r";
  const char* close = row == Row::kYear ? "</b></" : "</";
  auto put = [&](const char* align, bool filled, bool isLetter) {
    h.T("<");
    h.T(cell);
    h.T(align);
    h.T(open);
    if (filled) {
      if (isLetter)
        h.E(Grade(p));
      else
        h.P(Percent(p));
    }
    h.T(close);
    h.T(cell);
    h.T(">\r");
  };
  put(" align=right", percent, false);
  put(" align=left", letter, true);
}

void GradesRow(Html& h, int16_t s, Row row, ConstStringPtr label, int32_t absences,
               int32_t tardies, int16_t scope, int16_t examPercent, int16_t percent, int t) {
  const uint16_t o = gReportOptions;
  const char* cell = row == Row::kTerm ? "td" : "th";
  h.T("<tr>\r");
  if (row == Row::kTerm) {
    h.T("<td>\r");
    h.E(label);
    h.T("</td>\r");
  } else if (row == Row::kSemester) {
    h.T("<th align=left>\r");
    h.P(label);
    h.T("</th>\r");
  } else {
    h.T("<th align=left><b>\r");
    h.P(label);
    h.T("</b></th>\r");
  }
  if (o & 0x0040) {
    const std::string c = cell;
    h.T(("<" + c + " width=45 align=right>\r").c_str());
    h.P(Tenths(absences));
    h.T(("\r</" + c + ">\r<" + c + " width=25></" + c + ">\r\r<" + c +
         " width=40 align=right>\r").c_str());
    h.P(Tenths(tardies));
    h.T(("\r</" + c + ">\r<" + c + " width=30></" + c + ">\r\r").c_str());
  }
  if (!(o & 0x0080)) return;
  if (gClass.examWeight > 0) {
    const bool match = gClass.examScope == static_cast<uint16_t>(scope);
    GradePair(h, row, examPercent, match && !HidesPercents(), match && ShowsLetters());
  }
  GradePair(h, row, percent, !HidesPercents(), ShowsLetters());
  if (row == Row::kTerm) DeductionCells(h, s, t);
  h.T("</tr>\r");
}

bool Grades(Html& h, int16_t s) {
  const int last = std::clamp<int>(gClass.lastTerm, 0, kMaxTerms - 1);
  const uint16_t o = gReportOptions;
  const StudentRecord& st = gStudents[s];
  for (int t = 0; t <= last && h.ok; t++) {
    const auto term = static_cast<int16_t>(t);
    GradesRow(h, s, Row::kTerm, gTermNames[t], st.absences[t], st.tardies[t], 1,
              ExamPercent(term, s), TermPercent(term, s), t);
  }
  if ((o & 0x0002) && (last == 3 || last == 5)) {
    h.T("<tr><td height=4></td></tr>\r");
    const int half = last == 3 ? 2 : 3;
    for (int k = 0; k < 2 && h.ok; k++) {
      int32_t a = 0, y = 0;
      for (int t = k * half; t < (k + 1) * half; t++) a += st.absences[t], y += st.tardies[t];
      GradesRow(h, s, Row::kSemester, PStr(k == 0 ? "1st Semester" : "2nd Semester"), a, y, 2,
                ExamPercent(static_cast<int16_t>((k + 1) * half - 1), s),
                SemesterPercent(static_cast<int16_t>(k), s), 0);
    }
  }
  if (o & 0x0001) {
    h.T("<tr><td height=4></td></tr>\r");
    int32_t a = 0, y = 0;
    for (int t = 0; t <= last; t++) a += st.absences[t], y += st.tardies[t];
    GradesRow(h, s, Row::kYear, PStr("Year Grade"), a, y, 3,
              ExamPercent(static_cast<int16_t>(last), s), FinalPercent(s), 0);
  }
  return h.ok;
}

bool Attendance(Html& h, int16_t s) {
  if (!(gReportOptions & 0x0040)) return true;
  const int t = T();
  h.T("<table>\r\r<tr><td align=left width=80>\rTardies\r\r</td>\r\r\r<td align=right>\r");
  h.P(Tenths(gStudents[s].tardies[t]));
  h.T("\r</td></tr>\r\r\r<tr><td align=left width=80>\rAbsences\r\r</td>\r\r\r<td align=right>\r");
  h.P(Tenths(gStudents[s].absences[t]));
  return h.T("\r</td></tr>\r<tr><td height=10></td></tr></table>\r");
}

bool Comments(Html& h, int16_t s) {
  const int t = T();
  h.T("<table cellspacing=0>\r");
  if (!gHeader[t].empty()) {
    h.T("<tr><td width=640>\r");
    h.E(gHeader[t]);
    h.T("\r</td></tr>\r<tr><td height=16></td></tr>\r\r");
  }
  if ((gReportOptions & 0x1000) && !gComments[s][t].empty()) {
    h.T("<tr><td width=640>\r");
    h.E(gComments[s][t]);
    h.T("\r</td></tr>\r<tr><td height=16></td></tr>\r\r");
  }
  if (!gFooter[t].empty()) {
    h.T("<tr><td width=640>\r");
    h.E(gFooter[t]);
    h.T("\r</td></tr>\r");
  }
  return h.T("</table>\r\r");
}

// ---- Attendance dates ------------------------------------------------------------------

bool DatesCodes(Html& h, int16_t s) {
  int d0 = 0, d1 = 0;
  CurrentTermDays(d0, d1);
  const uint32_t origin = gTermDates[0].start;
  int k = 0;
  bool anyCode = false;
  for (int c = 0; c < kMaxCodes && h.ok; c++) {
    if (gCodes[c].name.empty()) continue;
    anyCode = true;
    h.T("<tr><td align=left>\r");
    h.E(gCodes[c].name);  // typed by the teacher like any other name
    h.T("\r</td>\r");
    k = 0;
    bool matched = false;
    for (int d = d0; d <= d1 && d < kMaxDays && h.ok; d++) {
      if (gHolidays[d] || gAttendance[s][d] != c) continue;
      matched = true;
      if (k >= 7) {
        h.T("</tr><tr><td></td>\r");
        k = 0;
      }
      const uint32_t date = origin + 86400u * static_cast<uint32_t>(d);
      if (gLDateFormat == 0 || gLDateFormat == 1 || gLDateFormat == 2) {
        DateCells(h, date, "<td width=20>\r");
        h.T("<td width=20></td>\r\r");
      }
      k++;
    }
    if (!matched) {
      h.T("<td colspan=3>None</td>\r");
      k = 1;
    }
  }
  if (anyCode)
    for (; k < 7; k++) h.T("<td width=20></td>\r<td width=20></td>\r<td width=20></td>\r\r");
  return h.T("</tr>\r<tr><th colspan=25>&nbsp;</th>\r");
}

bool ClosingSections(Html& h, int16_t s, bool attendanceCounts) {
  const uint16_t o = gReportOptions;
  if (o & 0x0020) {
    h.T("<table cellspacing=0>\r\r");
    CatHeaders(h) && Categories(h, s);
    h.T("<tr><td height=30></td></tr>\r</table>\r\r");
  }
  if (o & 0x00C0) {
    if (gClass.lastTerm == 0) {
      const bool written = Attendance(h, s);
      if (attendanceCounts && !written) return false;
    } else {
      h.T("<table cellspacing=0>\r\r");
      GradesHeader(h) && Grades(h, s);
      h.T("<tr><td height=30></td></tr>\r</table>\r\r");
    }
  }
  return Comments(h, s);
}

bool ValidSlot(int16_t s) { return s >= 0 && s < kMaxStudents; }

}  // namespace

bool AppendHTMLToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        ConstStringPtr text) {
  enum { kPlain, kLink, kMail } mode = kPlain;
  std::string run;
  bool ok = true;
  auto write = [&](const std::string& bytes) {
    if (!ok) return;
    ok = AppendBytesToBuffer(spec, refNum, buffer,
                             reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  };
  auto flush = [&]() {
    write(run);
    run.clear();
  };
  const int n = text[0];
  for (int i = 1; i <= n; i++) {
    const unsigned char c = text[i];
    if (mode != kPlain) {
      run += static_cast<char>(c);
      if (!WordEndsAfter(text, i)) continue;
      const std::string shown = LinkText(run);
      std::string target = shown;
      if (mode == kMail)
        target = "mailto:" + shown;
      else if (run.compare(0, 4, "www.") == 0)
        target = "http://" + shown;
      write("<a href=\"" + target + "\">" + shown + "</a>");
      run.clear();
      mode = kPlain;
      continue;
    }
    if (StartsWith(text, i, "http://") || StartsWith(text, i, "www.")) {
      flush();
      run = static_cast<char>(c);
      mode = kLink;
    } else if (ValidEmail(text, i)) {
      flush();
      run = static_cast<char>(c);
      mode = kMail;
    } else {
      AppendEscapedByte(run, c, Markup::kHtmlText);
    }
  }
  // A link can be pending only when it would have begun on the last byte, which is then
  // an ASCII letter or digit: written as plain text.
  if (mode != kPlain) run = LinkText(run);
  write(run);
  return ok;
}

bool ExportStudentReportBody(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                             int16_t s) {
  if (!ValidSlot(s)) return false;
  Html h{spec, refNum, buffer};
  // The dropped scores the rows mark are those of the grade shown below them.
  TermPercent(static_cast<int16_t>(T()), s);
  Heading(h, Kind::kScores, s);
  AssHeaders(h, "Assignment\r") && Assignments(h, s);
  h.T("<tr><td height=30></td></tr>\r</table>\r\r");
  return h.ok && ClosingSections(h, s, false);
}

bool ExportStudentSummary(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                          int16_t s) {
  if (!ValidSlot(s)) return false;
  Html h{spec, refNum, buffer};
  Heading(h, Kind::kSummary, s);
  h.T("</table>\r\r");
  return h.ok && ClosingSections(h, s, true);
}

bool ExportStudentDates(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        int16_t s) {
  if (!ValidSlot(s)) return false;
  Html h{spec, refNum, buffer};
  Heading(h, Kind::kDates, s);
  h.T("</table>\r\r<table cellspacing=0>\r\r");
  h.T("<tr>\r<th width=60 align=left><b>\rCode\r</b></th>\r\r"
      "<th colspan=21 align=left><b>\rDates\r</b></th></tr>\r\r");
  DatesCodes(h, s);
  return h.T("</table>\r\r");
}

bool ExportStudentMissing(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                          int16_t s) {
  if (!ValidSlot(s)) return false;
  Html h{spec, refNum, buffer};
  Heading(h, Kind::kMissing, s);
  h.T("</table>\r\r<table cellspacing=0>\r\r");
  AssHeaders(h, "Missing Assignment\r") && MissingAssigns(h, s);
  h.T("<th colspan=9>&nbsp;</th>\r\r</table>\r\r");
  if (gReportOptions & 0x0020) {
    h.T("<table cellspacing=0>\r\r<tr><td height=30></td></tr>\r");
    CatHeaders(h) && Categories(h, s);
    h.T("<tr><td height=30></td></tr>\r</table>\r\r");
  }
  return h.ok;
}

bool ExportStudentViewBody(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                           uint16_t view, int16_t s) {
  switch (view) {
    case 7: return ExportStudentReportBody(spec, refNum, buffer, s);
    case 8: return ExportStudentSummary(spec, refNum, buffer, s);
    case 9: return ExportStudentDates(spec, refNum, buffer, s);
    case 11: return ExportStudentMissing(spec, refNum, buffer, s);
    default: return true;
  }
}
