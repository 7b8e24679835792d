#include "marktally/reports/text_export.h"

#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/accessors.h"
#include "marktally/common/macroman.h"

namespace {

constexpr uint32_t kDaySeconds = 86400;

// The bytes of out from start on, turned from the class's Mac Roman into UTF-8 in place.
void ConvertToUtf8(std::string& out, size_t start) {
  size_t high = start;
  while (high < out.size() && static_cast<unsigned char>(out[high]) < 0x80) high++;
  if (high == out.size()) return;
  out.replace(high, std::string::npos, MacRomanToUtf8(out.substr(high)));
}

// One open export file: the text gathered for it, and the items written into the row in
// progress. A delimiter goes in front of every item but the first, so a row ends without
// one and an empty row is just its line end.
//
// The delimited text is UTF-8 with CR LF line ends, which spreadsheets and scripting
// languages read without being told either; it carries no byte-order mark, which would
// stick to the first item of a reader that expects plain UTF-8. The TeacherWeb file and
// the HTML page keep the class's bytes and CR line ends: the services that read them
// expect those.
struct ExportFile {
  static constexpr size_t kChunk = 64 * 1024;

  const FileSpec& spec;
  FileRef ref = kNoFile;
  std::string text;
  const bool utf8 = !gExportHTML && !gTeacherWeb;
  const char* const lineEnd = utf8 ? "\r\n" : "\r";
  int rowItems = 0;
  bool ok = true;

  explicit ExportFile(const FileSpec& file) : spec(file) { text.reserve(kChunk + 4096); }

  bool Written() {
    if (ok && text.size() >= kChunk) Drain();
    return ok;
  }
  bool Drain() {
    if (ok)
      ok = WriteBlock(spec, ref, reinterpret_cast<const unsigned char*>(text.data()),
                      text.size());
    text.clear();
    return ok;
  }
  // Class text, converted as the file is.
  bool Piece(ConstStringPtr piece) {
    const size_t start = text.size();
    text.append(reinterpret_cast<const char*>(piece + 1), piece[0]);
    if (utf8) ConvertToUtf8(text, start);
    return Written();
  }
  bool Text(const char* ascii) {
    text += ascii;
    return Written();
  }
  bool Html(ConstStringPtr item) {
    // The export buffer's escaping, which writes pure ASCII, gathered with the rest.
    for (int i = 1; i <= item[0]; i++) AppendEscapedByte(text, item[i], Markup::kHtmlAttribute);
    return Written();
  }
  bool Delimit() {
    if (rowItems++ > 0)
      text.append(reinterpret_cast<const char*>(gExportDelimiter.text()),
                  static_cast<size_t>(gExportDelimiter.length()));
    return ok;
  }
  // One data item in the chosen quoting.
  bool Item(ConstStringPtr item) {
    Delimit();
    const size_t start = text.size();
    QuoteItem(item, text);
    if (utf8) ConvertToUtf8(text, start);
    return Written();
  }
  // An item written as it is: the empty columns of header rows and the exam percent.
  bool Bare(ConstStringPtr item) { return Delimit() && Piece(item); }
  bool EndRow() {
    rowItems = 0;
    return Text(lineEnd);
  }
};

bool Html() { return gExportHTML != 0; }

// The assignments the header rows and score columns cover.
bool InRange(const ExportScope& scope, int a) {
  if (gAssignments[Term()][a].name.empty()) return false;
  if (scope.view == 0 && scope.assignment >= 0) return a == scope.assignment;
  return true;
}

// School, subject, term and teacher: real values in every row.
bool ClassColumns(ExportFile& f) {
  if (gExportSchool) f.Item(gClass.school);
  if (gExportSubject) f.Item(gClass.subject);
  if (gExportTerm) f.Item(gTermNames[Term()]);
  if (gExportTeacher) f.Item(gClass.teacher);
  return f.ok;
}

// The leading columns of a header row: the student columns hold nothing there.
bool HeaderLead(ExportFile& f) {
  ClassColumns(f);
  const Str255 empty = PStr("");
  const int blanks = gExportIDs + gExportNames + gTeacherWeb + gExportComments;
  for (int i = 0; i < blanks; i++) f.Bare(empty);
  return f.ok;
}

bool ExportDates(ExportFile& f, const ExportScope& scope) {
  HeaderLead(f);
  for (int a = 0; a < kMaxAssignments && f.ok; a++) {
    if (!InRange(scope, a)) continue;
    Str255 text{};
    SecondsToString(gAssignDates[Term()][a], text);
    f.Item(text);
  }
  return f.EndRow();
}

bool ExportAssignments(ExportFile& f, const ExportScope& scope) {
  HeaderLead(f);
  for (int a = 0; a < kMaxAssignments && f.ok; a++)
    if (InRange(scope, a)) f.Item(gAssignments[Term()][a].name);
  return f.EndRow();
}

bool ExportCategories(ExportFile& f, const ExportScope& scope) {
  HeaderLead(f);
  for (int a = 0; a < kMaxAssignments && f.ok; a++) {
    if (!InRange(scope, a)) continue;
    const uint16_t c = gAssignments[Term()][a].category;
    f.Item(c < kMaxCategories ? static_cast<ConstStringPtr>(gCategories[Term()][c].name)
                              : static_cast<ConstStringPtr>(PStr("")));
  }
  return f.EndRow();
}

bool ExportPoints(ExportFile& f, const ExportScope& scope) {
  HeaderLead(f);
  for (int a = 0; a < kMaxAssignments && f.ok; a++)
    if (InRange(scope, a)) f.Item(PStr(std::to_string(gAssignments[Term()][a].points)));
  return f.EndRow();
}

// ---- HTML page -----------------------------------------------------------------------

const char kStyleTag[] =
    "<style type=\"text/css\">\r"
    "   body {font-family: \"Verdana\", \"Arial\", \"Helvetica\", sans-serif; font-size: "
    "small}\r"
    "   th   {color: #000000; background-color:#EEEEEE}\r"
    "</style>";

bool PageHead(ExportFile& f) {
  f.Text("<html>\r<head>\r\r<title>\r");
  f.Html(gClass.subject);
  f.Text("\r</title>\r\r<meta name=\"robots\" content=\"noindex,nofollow\">\r\r");
  f.Text(kStyleTag);
  f.Text("\r\r</head>\r\r<body bgcolor=white>\r\r");
  f.Text("<h2 align=left>\r");
  f.Html(gClass.school);
  f.Text("</h2>\r\r<table cellspacing=0>\r\r\r<tr><td height=30></td></tr>\r<tr><td><b>\r");
  f.Html(gClass.subject);
  if (gClass.lastTerm > 0) {
    f.Text(" (");
    f.Html(gTermNames[Term()]);
    f.Text(")");
  }
  f.Text("</b></td></tr>\r<tr><td><b>\r");
  f.Html(gClass.teacher);
  f.Text("</b></td></tr>\r\r<tr><td height=20></td></tr>\r\r</table>\r\r");
  return f.Text("<table cellspacing=0>\r\r");
}

bool HeadingCell(ExportFile& f, const char* open, ConstStringPtr title) {
  f.Text(open);
  f.Text("<b>\r");
  f.Html(title);
  return f.Text("\r</b></th>\r");
}

bool ExportHeaders(ExportFile& f) {
  f.Text("<tr>\r");
  if (gExportIDs) HeadingCell(f, "<th width=60 align=left>", PStr("ID"));
  if (gExportNames) HeadingCell(f, "<th width=180 align=left>", PStr("Student"));
  if (gExportTardies) HeadingCell(f, "<th width=60 align=center>", PStr("Tardies"));
  if (gExportAbsences) HeadingCell(f, "<th width=60 align=center>", PStr("Absences"));
  const char* group = "<th align=center colspan=2>";
  if (gExportExamPcts || gExportExamGrades) HeadingCell(f, group, PStr("Final Exam"));
  if (gExportTermPcts || gExportTermGrades) HeadingCell(f, group, gTermNames[Term()]);
  if (gExportSemePcts || gExportSemeGrades) HeadingCell(f, group, PStr("Semester"));
  if (gExportYearPcts || gExportYearGrades) HeadingCell(f, group, PStr("Year"));
  return f.Text("</tr>\r");
}

// A cell of the grades table. The delimiter of the text export stays out of the page: a
// comma there would show in every cell.
bool Cell(ExportFile& f, const char* open, ConstStringPtr item) {
  f.Text(open);
  f.Text("\r");
  f.Html(item);
  return f.Text("\r</td>\r");
}

// ---- Student rows --------------------------------------------------------------------

// Percent and letter grade of one group; in HTML two cells, an empty one standing in for
// a half that is off.
bool GradeGroup(ExportFile& f, uint8_t percentOn, uint8_t gradeOn, int16_t percent) {
  if (!percentOn && !gradeOn) return true;
  Str255 pct{}, grade{};
  PercentToString(percent, pct);
  PercentToGrade(percent, grade);
  if (Html()) {
    if (percentOn)
      Cell(f, "<td width=60 align=right>", pct);
    else
      f.Text("<td width=20></td>\r");
    if (gradeOn)
      Cell(f, "<td width=30 align=left>", grade);
    else
      f.Text("<td width=20></td>\r");
    return f.ok;
  }
  if (percentOn) f.Item(pct);
  if (gradeOn) f.Item(grade);
  return f.ok;
}

// The text ScoreToString gives a score of points, without a formatted print: a full
// class has tens of thousands of them.
void PointsText(int16_t tenths, Str255& text) {
  char digits[8] = {};
  int n = 0;
  for (int whole = tenths / 10; n == 0 || whole > 0; whole /= 10)
    digits[n++] = static_cast<char>('0' + whole % 10);
  text.clear();
  while (n > 0) text[++text[0]] = static_cast<unsigned char>(digits[--n]);
  if (tenths % 10 == 0) return;
  text[++text[0]] = '.';
  text[++text[0]] = static_cast<unsigned char>('0' + tenths % 10);
}

bool ExportScores(ExportFile& f, const ExportScope& scope, int16_t s) {
  for (int a = 0; a < kMaxAssignments && f.ok; a++) {
    if (!InRange(scope, a)) continue;
    const int16_t score = gScores[s][Term()][a];
    Str255 text{};
    if (score >= 0)
      PointsText(score, text);
    else
      ScoreToString(score, text);
    f.Item(text);
  }
  return f.ok;
}

bool ExportAttendance(ExportFile& f, int16_t s) {
  const int t = Term();
  Str255 tardies{}, absences{};
  ValueToString(gStudents[s].tardies[t], tardies);
  ValueToString(gStudents[s].absences[t], absences);
  if (Html()) {
    if (gExportTardies) Cell(f, "<td width=60 align=center>", tardies);
    if (gExportAbsences) Cell(f, "<td width=60 align=center>", absences);
    return f.ok;
  }
  if (gExportTardies) f.Item(tardies);
  if (gExportAbsences) f.Item(absences);
  return f.ok;
}

bool ExportExams(ExportFile& f, int16_t s) {
  if (!gExportExamPcts && !gExportExamGrades) return true;
  const int16_t percent = ExamPercent(static_cast<int16_t>(Term()), s);
  if (Html()) return GradeGroup(f, gExportExamPcts, gExportExamGrades, percent);
  if (gExportExamPcts) {
    Str255 pct{};
    PercentToString(percent, pct);
    f.Bare(pct);
  }
  if (gExportExamGrades) {
    Str255 grade{};
    PercentToGrade(percent, grade);
    f.Item(grade);
  }
  return f.ok;
}

bool ExportGrades(ExportFile& f, int16_t s) {
  GradeGroup(f, gExportTermPcts, gExportTermGrades, TermPercent(static_cast<int16_t>(Term()), s));
  if (gExportSemePcts || gExportSemeGrades)
    GradeGroup(f, gExportSemePcts, gExportSemeGrades, SemesterPercent(CurrentSemester(), s));
  if (gExportYearPcts || gExportYearGrades)
    GradeGroup(f, gExportYearPcts, gExportYearGrades, FinalPercent(s));
  return f.ok;
}

bool ExportCodes(ExportFile& f, const ExportScope& scope, int16_t s) {
  int first = 0, last = -1;
  CurrentTermDays(first, last);
  if (scope.view == 1 && scope.day >= 0) {
    if (scope.day < first || scope.day > last) return true;
    first = last = scope.day;
  }
  for (int d = first; d <= last && f.ok; d++) {
    const uint8_t mark = gAttendance[s][d];
    if (mark >= kMaxCodes) continue;
    Str255 date{};
    SecondsToString(gTermDates[0].start + static_cast<uint32_t>(d) * kDaySeconds, date);
    f.Item(date);
    f.Item(gCodes[mark].name);
  }
  return f.ok;
}

bool ExportStudent(ExportFile& f, const ExportScope& scope, int16_t s) {
  const StudentRecord& r = gStudents[s];
  if ((Html() || gTeacherWeb) && r.id.empty()) return true;
  if (Html()) {
    f.Text("<tr>\r");
    if (gExportIDs) Cell(f, "<td width=60>", r.id);
    if (gExportNames) Cell(f, "<td width=120>", r.name);
    ExportAttendance(f, s);
    ExportExams(f, s);
    ExportGrades(f, s);
    return f.Text("\r</tr>\r");
  }
  ClassColumns(f);
  if (gExportIDs) f.Item(r.id);
  if (gExportNames) f.Item(r.name);
  if (gTeacherWeb) f.Item(r.id);
  if (gExportComments) f.Item(gComments[s][Term()]);
  if (gExportEmails) {
    f.Item(gEmailAddresses[s].recipients);
    f.Item(gEmailAddresses[s].blindCopies);
  }
  if (gExportScores) ExportScores(f, scope, s);
  ExportAttendance(f, s);
  ExportExams(f, s);
  ExportGrades(f, s);
  if (gExportCodes) ExportCodes(f, scope, s);
  return f.EndRow();
}

}  // namespace

void CurrentTermDays(int& first, int& last) {
  const int t = Term();
  const int64_t origin = gTermDates[0].start;
  int64_t d0 = (static_cast<int64_t>(gTermDates[t].start) - origin) / kDaySeconds;
  int64_t d1 = (static_cast<int64_t>(gTermDates[t].end) - origin) / kDaySeconds;
  if (d0 < 0) d0 = 0;
  if (d1 > kMaxDays - 1) d1 = kMaxDays - 1;
  first = static_cast<int>(d0);
  last = static_cast<int>(d1);
}

int16_t CurrentSemester() {
  const int t = Term();
  if ((gClass.lastTerm == 3 && t >= 2) || (gClass.lastTerm == 5 && t >= 3)) return 1;
  return 0;
}

bool ExportClass(const FileSpec& spec, const ExportScope& scope) {
  const auto write = [&scope](const FileSpec& target, FileRef& ref, WriteBuffer&) {
    ExportFile f{target};
    f.ref = ref;
    if (Html()) {
      PageHead(f) && ExportHeaders(f);
    } else {
      if (gExportDates && f.ok) ExportDates(f, scope);
      if (gExportAssignments && f.ok) ExportAssignments(f, scope);
      if (gExportCategories && f.ok) ExportCategories(f, scope);
      if (gExportPoints && f.ok) ExportPoints(f, scope);
    }
    for (int16_t s = 0; s < kMaxStudents && f.ok && !gStudents[s].name.empty(); s++) {
      if (scope.progress) scope.progress(s);
      ExportStudent(f, scope, s);
    }
    if (Html() && f.ok) f.Text("</table>\r</body>\r</html>\r");
    // What is gathered goes out here; the save closes and renames the file (a failure has
    // been reported and closed it).
    const bool written = f.ok && f.Drain();
    ref = f.ref;
    return written;
  };
  return WriteFileWhole(spec, write);
}
