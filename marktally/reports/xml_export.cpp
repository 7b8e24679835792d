#include "marktally/reports/xml_export.h"

#include <cstdio>
#include <string>

#include "marktally/common/platform.h"
#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/report_host.h"
#include "marktally/reports/text_export.h"

uint8_t gUpdateLastReport = 0;

// Only the path is the service's; the host is a placeholder that never resolves, as the
// Lorvex default is.
const char kSchoolCtrDTD[] = "https://schoolcenter.invalid/xml/schoolcenter.dtd";

namespace {

constexpr uint32_t kDaySeconds = 86400;
constexpr int kUserCategories = 10;  // the exam and extra-credit slots are never exported

// The open file as the element writers see it: every call after a failed append does
// nothing, so a writer runs its texts in a row and answers ok at its end.
class Out {
 public:
  Out(const FileSpec& file, FileRef& ref, WriteBuffer& buffer)
      : file_(file), ref_(ref), buffer_(buffer) {}
  Out& Text(const char* text) {
    if (ok_) ok_ = AppendCToBuffer(file_, ref_, buffer_, text);
    return *this;
  }
  Out& Xml(ConstStringPtr text) {
    if (ok_) ok_ = AppendXMLToBuffer(file_, ref_, buffer_, text);
    return *this;
  }
  Out& Number(long value) { return Text(std::to_string(value).c_str()); }
  // A simple element: opening tag, blank, escaped value, blank, closing tag.
  Out& Element(const char* tag, ConstStringPtr value) {
    return Text("<").Text(tag).Text("> ").Xml(value).Text(" </").Text(tag).Text(">\r");
  }
  bool ok() const { return ok_; }

 private:
  const FileSpec& file_;
  FileRef& ref_;
  WriteBuffer& buffer_;
  bool ok_ = true;
};

// A list of entries separated by "," (the SchoolSpeak lists), as one text of any length.
class List {
 public:
  void Add(ConstStringPtr entry) {
    if (count_++ > 0) text_ += ',';
    text_.append(reinterpret_cast<const char*>(entry + 1), entry[0]);
  }
  void AddEmpty() { Add(PStr("")); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  int count_ = 0;
};

int T() { return Term(); }

bool ExportedAssignment(int a) {
  return gNumScores[T()][a] > 0 && !gAssignments[T()][a].name.empty();
}

bool ExportedCategory(int c) {
  const CategoryRecord& r = gCategories[T()][c];
  return c < kUserCategories && !r.name.empty() && r.weight != kNone;
}

// Students run from slot 0 to the first empty name; those without an ID are left out.
template <typename F>
bool ForEachStudent(F&& write) {
  for (int16_t s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    if (gStudents[s].id.empty()) continue;
    StepExportProgress(gStudents[s].name);
    if (!write(s)) return false;
  }
  return true;
}

// PercentToString without its percent sign ("--" when missing, empty when hidden).
void PercentText(int32_t percent, Str255& text) {
  PercentToString(S16(percent), text);
  if (text.length() > 0) text[0] = static_cast<unsigned char>(text.length() - 1);
}

void TermPercentText(int16_t s, Str255& percent, Str255& grade) {
  const int16_t p = TermPercent(static_cast<int16_t>(T()), s);
  PercentText(p, percent);
  PercentToGrade(p, grade);
}

// The percent of one score, or -1 where it has none (a code or no points possible).
int32_t AssignmentPercent(int16_t s, int a) {
  const int16_t score = gScores[s][T()][a];
  const uint32_t points = gAssignments[T()][a].points;
  if (score < 0 || points == 0) return -1;
  return static_cast<int32_t>(Percent(static_cast<uint32_t>(score), points * 10));
}

uint32_t DayDate(int day) {
  return gTermDates[0].start + static_cast<uint32_t>(day) * kDaySeconds;
}

// The marked days of the current term: the mark of a day outside the codes is none.
template <typename F>
bool ForEachMarkedDay(int16_t s, F&& write) {
  int first = 0, last = -1;
  CurrentTermDays(first, last);
  for (int d = first; d <= last; d++) {
    const uint8_t mark = gAttendance[s][d];
    if (mark >= kMaxCodes) continue;
    if (!write(d, gCodes[mark])) return false;
  }
  return true;
}

bool HasMarkedDay(int16_t s) {
  bool any = false;
  ForEachMarkedDay(s, [&any](int, const CodeRecord&) {
    any = true;
    return false;
  });
  return any;
}

// Opens the target through a save beside it, runs the body with the progress window up
// and puts the file in place when the body and the last write succeed.
template <typename F>
bool RunExport(const FileSpec& file, F&& body) {
  return WriteFileWhole(file, [&body](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    BeginExportProgress(gClass.subject, false);
    const bool written = body(f, ref, buffer);
    EndExportProgress(false);
    return written;
  });
}

// A later rule wins: every absence code is "Absence", even one worth nothing. A code of
// neither kind worth something has no type of its own.
const char* SchoolSpeakDayType(const CodeRecord& code) {
  const char* type = "";
  if (code.value == 0) type = "Excused";
  if (code.kind == 2) type = "Tardy";
  if (code.kind == 1) type = "Absence";
  return type;
}

// Empty for a code of neither kind.
const char* SchoolCtrDayType(const CodeRecord& code) {
  const char* type = "";
  if (code.kind == 1 && code.value == 5) type = "Partial";
  if (code.kind == 1 && code.value == 10) type = "Absent";
  if (code.kind == 2) type = "Tardy";
  return type;
}

}  // namespace

// ---- Escaping and dates --------------------------------------------------------------

bool AppendXMLToBuffer(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                       ConstStringPtr text) {
  return AppendEscapedToBuffer(file, ref, buffer, text, Markup::kXml);
}

void SecondsToBasmati(uint32_t seconds, Str255& text) {
  DateTimeRec d{};
  SecondsToDate(seconds, d);
  char buffer[32] = {};
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
  text.setC(buffer);
}

void SecondsToSchoolCtr(uint32_t seconds, Str255& text) {
  DateTimeRec d{};
  SecondsToDate(seconds, d);
  char buffer[32] = {};
  std::snprintf(buffer, sizeof buffer, "%02d%02d%04d", d.month, d.day, d.year);
  text.setC(buffer);
}

// ---- Basmati -------------------------------------------------------------------------

bool ExportBasmatiHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer) {
  Out o(file, ref, buffer);
  const Str255 none{};
  o.Text("<BasmatiL>\r<CLASS>\r");
  o.Element("CC", gExportData.classCode).Element("SN", gExportData.section);
  o.Element("CNAME", gClass.subject).Element("MISC1", gExportData.account);
  o.Element("MISC2", none).Element("MISC3", none).Element("PER", none);
  o.Element("TID", gExportData.teacherID).Element("TNAME", gClass.teacher);
  o.Element("TERM", gTermNames[T()]);
  o.Text("<CLTEXT> ").Xml(gHeader[T()]).Text(" ").Xml(gFooter[T()]).Text(" </CLTEXT>\r");
  return o.Text("</CLASS>\r").ok();
}

bool ExportBasmatiAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                             int16_t index) {
  const AssignmentRecord& a = gAssignments[T()][index];
  Str255 date{};
  SecondsToBasmati(gAssignDates[T()][index], date);
  Out o(file, ref, buffer);
  o.Text("<ASSIGN>\r").Element("ASSIGN_DATE", date).Element("DESCR", a.name);
  o.Text("<POINTS> ").Number(a.points).Text(" </POINTS>\r");
  return o.Element("EALR", Str255{}).Text("</ASSIGN>\r").ok();
}

bool ExportBasmatiStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                          int16_t index) {
  const int16_t s = index;
  Out o(file, ref, buffer);
  o.Text("<STUDENT>\r").Element("ID", gStudents[s].id);
  o.Text("<SCORES> ");
  bool first = true;
  for (int a = 0; a < kMaxAssignments && o.ok(); a++) {
    if (!ExportedAssignment(a)) continue;
    if (!first) o.Text(",");
    first = false;
    Str255 score{};
    ScoreToString(gScores[s][T()][a], score);
    o.Xml(score);
  }
  o.Text(" </SCORES>\r");
  Str255 percent{}, grade{};
  TermPercentText(s, percent, grade);
  o.Element("PERCENT", percent).Element("GRADE", grade);
  o.Text("<COMMENTS> ,,, </COMMENTS>\r").Element("COMTEXT", gComments[s][T()]);
  ForEachMarkedDay(s, [&o](int d, const CodeRecord& code) {
    Str255 date{};
    SecondsToBasmati(DayDate(d), date);
    return o.Text("<ATTEND> ").Xml(date).Text(", ").Xml(code.name).Text(" </ATTEND>\r").ok();
  });
  return o.Text("</STUDENT>\r").ok();
}

bool ExportClassBasmati(const FileSpec& file) {
  return RunExport(file, [](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    if (!ExportBasmatiHeader(f, ref, buffer)) return false;
    for (int16_t a = 0; a < kMaxAssignments; a++)
      if (ExportedAssignment(a) && !ExportBasmatiAssignment(f, ref, buffer, a)) return false;
    if (!ForEachStudent([&](int16_t s) { return ExportBasmatiStudent(f, ref, buffer, s); }))
      return false;
    return AppendCToBuffer(f, ref, buffer, "</BasmatiL>\r");
  });
}

// ---- SchoolSpeak ---------------------------------------------------------------------

bool ExportSchoolSpeakHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer) {
  Str255 report{};
  if (gUpdateLastReport) {
    report.setC("UPDATELASTREPORT");
  } else {
    Str255 date{};
    SecondsToString(GetDateTime(), date);
    report.setC("Progress Report ");
    Append(report, date);
  }
  Out o(file, ref, buffer);
  o.Text("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\r");
  o.Text("<SchoolSpeakGrades>\r\r<APP>\r<APPNAME> Marktally </APPNAME>\r");
  o.Text("<APPVER> 6.7 </APPVER>\r");
  o.Element("DATEFRMT", PStr(gLDateFormat == 1 ? "D/M" : "M/D"));
  o.Text("</APP>\r\r<GradeReports>\r\r");
  o.Text("<REPORTNAME> ").Xml(report).Text(" </REPORTNAME>\r\r");
  o.Text("<CLASS>\r").Element("SCHOOL", gClass.school).Element("CID", gExportData.classCode);
  o.Element("CNAME", gClass.subject).Element("TERM", gTermNames[T()]);
  o.Element("TNAME", gClass.teacher);
  o.Text("<MSG> ").Xml(gHeader[T()]).Text(" ").Xml(gFooter[T()]).Text(" </MSG>\r");
  return o.Text("</CLASS>\r\r").ok();
}

bool ExportSchoolSpeakCategory(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                               int16_t index) {
  int32_t earned = 0, possible = 0;
  CategoryTotals(0, static_cast<uint16_t>(index), earned, possible);
  Str255 points{};
  ValueToString(possible, points);
  Out o(file, ref, buffer);
  o.Text("<CAT>\r").Element("CTNAME", gCategories[T()][index].name);
  return o.Element("CTPOINTS", points).Text("</CAT>\r").ok();
}

bool ExportSchoolSpeakAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                                 int16_t index) {
  const AssignmentRecord& a = gAssignments[T()][index];
  const Str255 category = a.category < kMaxCategories
                              ? PStr(gCategories[T()][a.category].name.str())
                              : Str255{};
  Str255 date{};
  SecondsToShortString(gAssignDates[T()][index], date);
  Out o(file, ref, buffer);
  o.Text("<ASSIGN>\r<ANAME CATEGORY=\"").Xml(category).Text("\"> ").Xml(a.name);
  o.Text(" </ANAME>\r").Element("ADATE", date);
  o.Element("ASCORE", PStr(std::to_string(a.points)));
  return o.Text("</ASSIGN>\r").ok();
}

bool ExportSchoolSpeakStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                              int16_t index) {
  const int16_t s = index;
  const int t = T();
  List scores, percents, grades, comments;
  for (int a = 0; a < kMaxAssignments; a++) {
    if (!ExportedAssignment(a)) continue;
    Str255 text{};
    ScoreToString(gScores[s][t][a], text);
    scores.Add(text);
    const int32_t p = AssignmentPercent(s, a);
    if (p >= 0) {
      PercentText(p, text);
      percents.Add(text);
      PercentToGrade(S16(p), text);
      grades.Add(text);
    } else {
      percents.AddEmpty();
      grades.AddEmpty();
    }
    const uint8_t mark = gFootnotes[s][t][a];
    if (mark < kMaxFootnotes) {
      text.setC("\"");
      Append(text, gFootnoteText[mark]);
      AppendC(text, "\"");
      comments.Add(text);
    } else {
      comments.AddEmpty();
    }
  }
  List points, maxima, catPercents, catGrades;
  for (int c = 0; c < kUserCategories; c++) {
    if (!ExportedCategory(c)) continue;
    int32_t earned = 0, possible = 0;
    CategoryTotals(s, static_cast<uint16_t>(c), earned, possible);
    Str255 text{};
    ValueToString(earned, text);
    points.Add(text);
    ValueToString(possible, text);
    maxima.Add(text);
    if (possible != 0 && earned >= 0) {
      const int32_t p = static_cast<int32_t>(
          Percent(static_cast<uint32_t>(earned), static_cast<uint32_t>(possible)));
      PercentText(p, text);
      catPercents.Add(text);
      PercentToGrade(S16(p), text);
      catGrades.Add(text);
    } else {
      catPercents.AddEmpty();
      catGrades.AddEmpty();
    }
  }

  Out o(file, ref, buffer);
  // A list is as long as 150 entries: it goes out through the escaping in pieces, cut at
  // entry boundaries so that no byte is split from its neighbours' context.
  auto list = [&o](const char* tag, const List& l) {
    o.Text("<").Text(tag).Text("> ");
    const std::string& text = l.text();
    for (size_t at = 0; at < text.size() && o.ok(); at += 255) o.Xml(PStr(text.substr(at, 255)));
    o.Text(" </").Text(tag).Text(">\r");
  };
  Str255 name{};
  LastNameFirst(gStudents[s].name, name);
  o.Text("<STUDENT>\r").Element("ID", gStudents[s].id).Element("NAME", name);
  list("SCORES", scores);
  list("PERCENTS", percents);
  list("GRADES", grades);
  list("ACOMMENTS", comments);
  Str255 percent{}, grade{};
  TermPercentText(s, percent, grade);
  o.Element("OVERALLPERCENT", percent).Element("OVERALLGRADE", grade);
  list("CATPOINTS", points);
  list("CATMAX", maxima);
  list("CATPERCENTS", catPercents);
  list("CATGRADE", catGrades);
  if (HasMarkedDay(s)) {
    o.Text("<XDATA>\r");
    ForEachMarkedDay(s, [&o](int d, const CodeRecord& code) {
      Str255 date{};
      SecondsToShortString(DayDate(d), date);
      o.Text("<XD TYPE=\"").Text(SchoolSpeakDayType(code)).Text("\"> ").Xml(date);
      o.Text(" </XD>\r");
      return o.ok();
    });
    o.Text("</XDATA>\r");
  }
  o.Element("COMTEXT", gComments[s][t]);
  return o.Text("</STUDENT>\r").ok();
}

bool ExportClassSchoolSpeak(FileSpec& file) {
  file.path = FolderOf(gFileSpec.path) + "/" + std::to_string(GetDateTime()) + ".xml";
  if (!CreateFile(file, 0x20202020, 0x20202020)) return false;  // reported
  const bool ok = RunExport(file, [](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    if (!ExportSchoolSpeakHeader(f, ref, buffer)) return false;
    if (!AppendCToBuffer(f, ref, buffer, "<CATEGORIES>\r")) return false;
    for (int16_t c = 0; c < kUserCategories; c++)
      if (ExportedCategory(c) && !ExportSchoolSpeakCategory(f, ref, buffer, c)) return false;
    if (!AppendCToBuffer(f, ref, buffer, "</CATEGORIES>\r\r<ASSIGNMENTS>\r")) return false;
    for (int16_t a = 0; a < kMaxAssignments; a++)
      if (ExportedAssignment(a) && !ExportSchoolSpeakAssignment(f, ref, buffer, a))
        return false;
    if (!AppendCToBuffer(f, ref, buffer, "</ASSIGNMENTS>\r\r<STUDENTS>\r")) return false;
    if (!ForEachStudent([&](int16_t s) { return ExportSchoolSpeakStudent(f, ref, buffer, s); }))
      return false;
    return AppendCToBuffer(f, ref, buffer,
                           "</STUDENTS>\r\r</GradeReports>\r</SchoolSpeakGrades>\r");
  });
  // The empty file made to hold the name is no use to anyone once the export failed.
  if (!ok) FSDelete(file);
  return ok;
}

// ---- SchoolCenter --------------------------------------------------------------------

bool ExportSchoolCtrHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer) {
  Out o(file, ref, buffer);
  o.Text("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r");
  o.Text("<!DOCTYPE SchoolCenter SYSTEM \"").Text(kSchoolCtrDTD).Text("\">\r");
  o.Text("<SchoolCenter version=\"1\">\r\r");
  o.Text("<ClassInfo RefID=\"").Xml(gExportData.classCode).Text("\">\r");
  o.Text("<ClassName>").Xml(gClass.subject).Text("</ClassName>\r");
  return o.Text("<Term>").Number(T() + 1).Text("</Term>\r\r").ok();
}

bool ExportSchoolCtrAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                               int16_t index) {
  const AssignmentRecord& a = gAssignments[T()][index];
  Str255 date{};
  SecondsToSchoolCtr(gAssignDates[T()][index], date);
  Out o(file, ref, buffer);
  o.Text("<Assignment RefID=\"").Number(index).Text("\">\r");
  o.Text("<Description>").Xml(a.name).Text("</Description>\r");
  o.Text("<TotalPoints>").Number(a.points).Text("</TotalPoints>\r");
  o.Text("<Date>").Xml(date).Text("</Date>\r");
  return o.Text("</Assignment>\r\r").ok();
}

bool ExportSchoolCtrStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                            int16_t index) {
  const int16_t s = index;
  Str255 percent{}, grade{};
  TermPercentText(s, percent, grade);
  Out o(file, ref, buffer);
  o.Text("<StudentInfo RefID=\"").Xml(gStudents[s].id).Text("\">\r");
  o.Text("<OverallGrade>").Xml(grade).Text("</OverallGrade>\r");
  o.Text("<TotalPercent>").Xml(percent).Text("</TotalPercent>\r\r");
  for (int a = 0; a < kMaxAssignments && o.ok(); a++) {
    if (!ExportedAssignment(a)) continue;
    Str255 score{}, scoreGrade{};
    ScoreToString(gScores[s][T()][a], score);
    const int32_t p = AssignmentPercent(s, a);
    if (p >= 0)
      PercentToGrade(S16(p), scoreGrade);
    else
      scoreGrade.setC(" ");
    o.Text("<Scores AssignmentID=\"").Number(a).Text("\">\r");
    o.Text("<Score>").Xml(score).Text("</Score>\r");
    o.Text("<Grade>").Xml(scoreGrade).Text("</Grade>\r");
    o.Text("</Scores>\r\r");
  }
  ForEachMarkedDay(s, [&o](int d, const CodeRecord& code) {
    Str255 date{};
    SecondsToSchoolCtr(DayDate(d), date);
    o.Text("<Absent Date=\"").Xml(date).Text("\" Type=\"").Text(SchoolCtrDayType(code));
    o.Text("\" Status=\"").Text(code.value == 0 ? "Excused" : "Unexcused").Text("\"/>\r");
    return o.ok();
  });
  return o.Text("\r</StudentInfo>\r\r").ok();
}

bool ExportClassSchoolCtr(const FileSpec& file) {
  return RunExport(file, [](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    if (!ExportSchoolCtrHeader(f, ref, buffer)) return false;
    for (int16_t a = 0; a < kMaxAssignments; a++)
      if (ExportedAssignment(a) && !ExportSchoolCtrAssignment(f, ref, buffer, a)) return false;
    if (!ForEachStudent([&](int16_t s) { return ExportSchoolCtrStudent(f, ref, buffer, s); }))
      return false;
    return AppendCToBuffer(f, ref, buffer, "</ClassInfo>\r</SchoolCenter>\r\r");
  });
}
