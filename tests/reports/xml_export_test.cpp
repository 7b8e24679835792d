// The XML files for the school services: a hostile class (markup characters, "]]>",
// Mac Roman letters and symbols, control bytes, students without IDs, unmarked days)
// written in all three formats, checked with xmllint (SchoolCenter against a document
// type written from the format) and read back by Python's xml.etree; the selection rules;
// the escaping and the dates; and failed writes that stop, report and leave no file.
#include "marktally/reports/xml_export.h"

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/dialogs/service_dialogs.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::MacDate;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a command; answers its exit status and puts what it printed into out.
int RunCommand(const std::string& command, std::string& out) {
  out.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a reader of the XML should find for a Mac Roman text: its characters in UTF-8,
// with the control characters XML can't hold (all but tab and CR) as blanks.
std::string Read(const std::string& macRoman) {
  std::string utf8;
  for (unsigned char c : macRoman) {
    char32_t u = c;
    if (c >= 0x80) u = MacRomanToUnicode(c);
    else if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7F) u = ' ';
    if (u < 0x80) {
      utf8 += static_cast<char>(u);
    } else if (u < 0x800) {
      utf8 += static_cast<char>(0xC0 | (u >> 6));
      utf8 += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (u >> 12));
      utf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return utf8;
}
std::string Padded(const std::string& macRoman) { return " " + Read(macRoman) + " "; }

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string Text(int16_t score) {
  Str255 t{};
  ScoreToString(score, t);
  return t.str();
}

// Expectations for xml_check.py: element text, attribute or count at a path.
class Expect {
 public:
  Expect& text(const std::string& path, const std::string& utf8) {
    lines_ << path << "\ttext\t" << Hex(utf8) << "\n";
    return *this;
  }
  Expect& attr(const std::string& path, const std::string& name, const std::string& utf8) {
    lines_ << path << "\t@" << name << "\t" << Hex(utf8) << "\n";
    return *this;
  }
  Expect& count(const std::string& path, int n) {
    lines_ << path << "\tcount\t" << n << "\n";
    return *this;
  }
  std::string str() const { return lines_.str(); }

 private:
  std::ostringstream lines_;
};

class XmlExportTest : public dialogtest::DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    // Record alerts instead of expecting them one by one: the failures below check what
    // they said.
    SetAlertResponder([this](const AlertShown& a) {
      alerts.push_back(a);
      return a.defaultButton;
    });
    gExportData = ExportDataRecord{};
    gUpdateLastReport = 0;
    gClass.lastTerm = 1;
    gClass.flags = kLetterGrades;
    gTermDates[0].start = MacDate(2026, 9, 1);
    gTermDates[0].end = MacDate(2026, 12, 18);
    gTermDates[1].start = MacDate(2027, 1, 4);
    gTermDates[1].end = MacDate(2027, 6, 11);
    MakeClassCurrent();
    gCurrentTerm = 0;
  }
  void TearDown() override {
    SetFileFaultsForTesting(nullptr);
    gExportData = ExportDataRecord{};
    gUpdateLastReport = 0;
    DialogTest::TearDown();
  }

  static int16_t AddStudent(const std::string& name, const std::string& id) {
    int16_t s = 0;
    while (!gStudents[s].name.empty()) s++;
    gStudents[s].name.setBytes(name.data(), name.size());
    gStudents[s].id.setBytes(id.data(), id.size());
    return s;
  }
  static int16_t AddAssignment(const std::string& name, uint16_t category, uint16_t points,
                               uint32_t due) {
    int16_t a = 0;
    while (!gAssignments[0][a].name.empty()) a++;
    gAssignments[0][a].name.setBytes(name.data(), name.size());
    gAssignments[0][a].category = category;
    gAssignments[0][a].points = points;
    gAssignDates[0][a] = due;
    return a;
  }
  static void SetScore(int16_t s, int16_t a, int16_t score) {
    const bool was = gScores[s][0][a] != kBlank;
    gScores[s][0][a] = score;
    if (!was && score != kBlank) gNumScores[0][a]++;
  }
  static void SetCode(int i, const char* name, uint16_t kind, uint16_t value) {
    gCodes[i].name.setC(name);
    gCodes[i].kind = kind;
    gCodes[i].value = value;
  }
  static int DayOf(int year, int month, int day) {
    return static_cast<int>((MacDate(year, month, day) - gTermDates[0].start) / 86400);
  }

  // Every text the formats carry, each with markup characters, Mac Roman letters and
  // symbols or control bytes; fields the services take as stored are hostile too.
  void HostileClass() {
    gClass.school.setC("North & \"South\" <High> / \xA5");
    subject_ = "Math ]]> <b>'7'</b> \x8E\xAD\xB0\xC6\xD0";
    gClass.subject.setC(subject_.c_str());
    gClass.teacher.setC("Mr\xCA\x85ngstr\x9Am\x01\x7F");
    gTermNames[0].setC("Q1 & \x83t\xE9");
    gHeader[0].setC("Header\twith\rlines & ]]>");
    gFooter[0].setC("Foot\x0B\n<note>");
    gExportData.classCode.setC("A&B<1>\"x\"'y'");
    gExportData.section.setC("S<2>");
    gExportData.account.setC("a/b\"c\"<d>&e");
    gExportData.teacherID.setC("]]>&<\x8E");

    for (auto& c : gCategories[0]) c = CategoryRecord{};
    gCategories[0][0] = {};
    gCategories[0][0].name.setC("Homework & <Labs>");
    gCategories[0][0].weight = 1;
    gCategories[0][1].name.setC("Tests \"big\"");
    gCategories[0][1].weight = 2;
    gCategories[0][3].name.setC("Unweighted");
    gCategories[0][3].weight = kNone;
    gCategories[0][kExamCategory].name.setC("Final");
    gCategories[0][kExamCategory].weight = 1;
    gGrading[0] = 1;

    quiz_ = AddAssignment("Quiz \"1\" & <2> / \xC3", 0, 10, MacDate(2026, 9, 3));
    unscored_ = AddAssignment("Never scored", 0, 10, MacDate(2026, 9, 4));
    essay_ = AddAssignment("Essay\t\xC6ther ]]> \x01", 1, 100, MacDate(2026, 10, 5));
    nameless_ = AddAssignment("", 1, 100, MacDate(2026, 9, 4));

    gFootnoteText[2].setC("Late & \"lost\" <x>");
    SetCode(0, "A&b", 1, 10);
    SetCode(1, "T<", 2, 5);
    SetCode(2, "Ex", 1, 0);
    SetCode(3, "H\x8E", 1, 5);
    SetCode(4, "O", 0, 0);
    SetCode(5, "Z", 0, 10);

    jo_ = AddStudent("Jo \"J\" <Smith> & Co", "1&2");
    rene_ = AddStudent("Ren\x8E \xAE\xBF", "\xD8\x37\x01");
    AddStudent("No ID", "");
    pat_ = AddStudent("Pat Lee", "P3");
    gStudents[pat_ + 2].name.setC("After the gap");
    gStudents[pat_ + 2].id.setC("G5");

    SetScore(jo_, quiz_, 95);
    SetScore(jo_, essay_, kExcused);
    SetScore(rene_, quiz_, kFirstLetter + 10);
    SetScore(rene_, essay_, 870);
    SetScore(pat_, quiz_, kAbsent);
    gNumScores[0][nameless_] = 1;
    gFootnotes[jo_][0][quiz_] = 2;
    comment_ = std::string(255, '&');
    gComments[jo_][0].setBytes(comment_.data(), comment_.size());
    gComments[rene_][0].setC("Good\x12 work\r\xD2yes\xD3");

    days_ = {DayOf(2026, 9, 2), DayOf(2026, 9, 5), DayOf(2026, 10, 1), DayOf(2026, 10, 2),
             DayOf(2026, 10, 3), DayOf(2026, 10, 6)};
    for (auto& row : gAttendance)
      for (uint8_t& mark : row) mark = kNoMark;
    for (size_t i = 0; i < days_.size(); i++) gAttendance[jo_][days_[i]] = static_cast<uint8_t>(i);
    gAttendance[jo_][DayOf(2027, 1, 5)] = 0;  // another term
    FlushAll();
  }

  // xmllint accepts the file; Python's reader finds what the expectations say.
  void CheckFile(const std::string& path, const Expect& expect) {
    std::string out;
    EXPECT_EQ(RunCommand("xmllint --noout --nonet '" + path + "'", out), 0) << out;
    const std::string list = path + ".expect";
    std::ofstream(list) << expect.str();
    EXPECT_EQ(RunCommand("python3 " + std::string(MT_REPORTS_TEST_DIR) + "/xml_check.py '" + path +
                      "' '" + list + "'",
                  out),
              0)
        << out;
    const std::string bytes = Slurp(path);
    for (unsigned char c : bytes) {
      ASSERT_LT(c, 0x80) << "not ASCII";
      ASSERT_NE(c, '\n') << "line feed";
    }
    // No HTML entity: only the five of XML and numeric references.
    for (size_t at = bytes.find('&'); at != std::string::npos; at = bytes.find('&', at + 1)) {
      const std::string rest = bytes.substr(at, 7);
      EXPECT_TRUE(rest.rfind("&amp;", 0) == 0 || rest.rfind("&lt;", 0) == 0 ||
                  rest.rfind("&gt;", 0) == 0 || rest.rfind("&quot;", 0) == 0 ||
                  rest.rfind("&#", 0) == 0)
          << rest;
    }
  }

  std::string Percent(int16_t s) {
    Str255 p{};
    PercentToString(TermPercent(0, s), p);
    return p.str().substr(0, p.length() - 1);
  }
  std::string Grade(int16_t s) {
    Str255 g{};
    PercentToGrade(TermPercent(0, s), g);
    return g.str();
  }
  std::string ShortDate(uint32_t seconds) {
    Str255 d{};
    SecondsToShortString(seconds, d);
    return d.str();
  }
  uint32_t Day(int d) { return gTermDates[0].start + static_cast<uint32_t>(d) * 86400; }

  std::string subject_, comment_;
  int16_t quiz_ = 0, unscored_ = 0, essay_ = 0, nameless_ = 0;
  int16_t jo_ = 0, rene_ = 0, pat_ = 0;
  std::vector<int> days_;
};

TEST_F(XmlExportTest, TheBasmatiFileOfAHostileClassReadsBackWhole) {
  HostileClass();
  const FileSpec spec{Path("basmati.xml")};
  ASSERT_TRUE(ExportClassBasmati(spec));
  EXPECT_TRUE(alerts.empty());
  Expect e;
  e.text("CLASS/CC", Padded(gExportData.classCode.str()))
      .text("CLASS/SN", Padded("S<2>"))
      .text("CLASS/CNAME", Padded(subject_))
      .text("CLASS/MISC1", Padded(gExportData.account.str()))
      .text("CLASS/MISC2", "  ")
      .text("CLASS/TID", Padded(gExportData.teacherID.str()))
      .text("CLASS/TNAME", Padded(gClass.teacher.str()))
      .text("CLASS/TERM", Padded(gTermNames[0].str()))
      .text("CLASS/CLTEXT", Padded(gHeader[0].str() + " " + gFooter[0].str()))
      .count("ASSIGN", 2)
      .text("ASSIGN[1]/ASSIGN_DATE", " 2026-09-03 ")
      .text("ASSIGN[1]/DESCR", Padded(gAssignments[0][quiz_].name.str()))
      .text("ASSIGN[1]/POINTS", " 10 ")
      .text("ASSIGN[2]/ASSIGN_DATE", " 2026-10-05 ")
      .text("ASSIGN[2]/DESCR", Padded(gAssignments[0][essay_].name.str()))
      .count("STUDENT", 3)
      .text("STUDENT[1]/ID", Padded("1&2"))
      .text("STUDENT[1]/SCORES", Padded(Text(95) + "," + Text(kExcused)))
      .text("STUDENT[1]/PERCENT", Padded(Percent(jo_)))
      .text("STUDENT[1]/GRADE", Padded(Grade(jo_)))
      .text("STUDENT[1]/COMMENTS", " ,,, ")
      .text("STUDENT[1]/COMTEXT", Padded(comment_))
      .count("STUDENT[1]/ATTEND", 6)
      .text("STUDENT[1]/ATTEND[1]", " 2026-09-02, A&b ")
      .text("STUDENT[1]/ATTEND[4]", Padded("2026-10-02, H\x8E"))
      .text("STUDENT[2]/ID", Padded("\xD8\x37\x01"))
      .text("STUDENT[2]/SCORES", Padded(Text(kFirstLetter + 10) + "," + Text(870)))
      .text("STUDENT[2]/COMTEXT", Padded(gComments[rene_][0].str()))
      .count("STUDENT[2]/ATTEND", 0)
      .text("STUDENT[3]/ID", " P3 ");
  CheckFile(spec.path, e);
}

TEST_F(XmlExportTest, TheSchoolSpeakFileOfAHostileClassReadsBackWhole) {
  HostileClass();
  const std::string folder = Path("classes");
  std::filesystem::create_directories(folder);
  gFileSpec.path = folder + "/Period 3.mtb";
  FileSpec spec;
  ASSERT_TRUE(ExportClassSchoolSpeak(spec));
  EXPECT_TRUE(alerts.empty());
  // Named by the clock, beside the class.
  EXPECT_EQ(spec.path, folder + "/" + std::to_string(GetDateTime()) + ".xml");
  const std::string bytes = Slurp(spec.path);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\r", 0), 0u);

  Str255 today{};
  SecondsToString(GetDateTime(), today);
  const std::string grade = [] {
    Str255 g{};
    PercentToGrade(950, g);
    return g.str();
  }();
  Expect e;
  e.text("APP/APPNAME", " Marktally ")
      .text("APP/DATEFRMT", " M/D ")
      .text("GradeReports/REPORTNAME", Padded("Progress Report " + today.str()))
      .text("GradeReports/CLASS/SCHOOL", Padded(gClass.school.str()))
      .text("GradeReports/CLASS/CID", Padded(gExportData.classCode.str()))
      .text("GradeReports/CLASS/CNAME", Padded(subject_))
      .text("GradeReports/CLASS/TNAME", Padded(gClass.teacher.str()))
      .text("GradeReports/CLASS/MSG", Padded(gHeader[0].str() + " " + gFooter[0].str()))
      // The unnamed, the unweighted and the exam category stay out.
      .count("GradeReports/CATEGORIES/CAT", 2)
      .text("GradeReports/CATEGORIES/CAT[1]/CTNAME", Padded("Homework & <Labs>"))
      .text("GradeReports/CATEGORIES/CAT[2]/CTNAME", Padded("Tests \"big\""))
      .count("GradeReports/ASSIGNMENTS/ASSIGN", 2)
      .attr("GradeReports/ASSIGNMENTS/ASSIGN[1]/ANAME", "CATEGORY", Read("Homework & <Labs>"))
      .text("GradeReports/ASSIGNMENTS/ASSIGN[1]/ANAME",
            Padded(gAssignments[0][quiz_].name.str()))
      .text("GradeReports/ASSIGNMENTS/ASSIGN[1]/ADATE", Padded(ShortDate(gAssignDates[0][0])))
      .text("GradeReports/ASSIGNMENTS/ASSIGN[1]/ASCORE", " 10 ")
      .attr("GradeReports/ASSIGNMENTS/ASSIGN[2]/ANAME", "CATEGORY", "Tests \"big\"")
      .count("GradeReports/STUDENTS/STUDENT", 3)
      .text("GradeReports/STUDENTS/STUDENT[1]/ID", " 1&2 ")
      .text("GradeReports/STUDENTS/STUDENT[1]/NAME", [] {
        Str255 n{};
        LastNameFirst(gStudents[0].name, n);
        return Padded(n.str());
      }())
      .text("GradeReports/STUDENTS/STUDENT[1]/SCORES", Padded(Text(95) + "," + Text(kExcused)))
      .text("GradeReports/STUDENTS/STUDENT[1]/PERCENTS", " 95.0, ")
      .text("GradeReports/STUDENTS/STUDENT[1]/GRADES", " " + grade + ", ")
      .text("GradeReports/STUDENTS/STUDENT[1]/ACOMMENTS", Padded("\"Late & \"lost\" <x>\","))
      .text("GradeReports/STUDENTS/STUDENT[1]/OVERALLPERCENT", Padded(Percent(jo_)))
      .text("GradeReports/STUDENTS/STUDENT[1]/COMTEXT", Padded(comment_))
      .count("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD", 6)
      // Absence, tardy, an absence worth nothing, half an absence, others by value.
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[1]", "TYPE", "Absence")
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[2]", "TYPE", "Tardy")
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[3]", "TYPE", "Absence")
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[4]", "TYPE", "Absence")
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[5]", "TYPE", "Excused")
      .attr("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[6]", "TYPE", "")
      .text("GradeReports/STUDENTS/STUDENT[1]/XDATA/XD[1]", Padded(ShortDate(Day(days_[0]))))
      .count("GradeReports/STUDENTS/STUDENT[2]/XDATA", 0)
      .text("GradeReports/STUDENTS/STUDENT[2]/SCORES",
            Padded(Text(kFirstLetter + 10) + "," + Text(870)))
      .text("GradeReports/STUDENTS/STUDENT[2]/COMTEXT", Padded(gComments[rene_][0].str()))
      .text("GradeReports/STUDENTS/STUDENT[3]/ID", " P3 ");
  CheckFile(spec.path, e);

  // Replacing the last report names it so, whatever the date.
  gUpdateLastReport = 1;
  SetClockForTesting(GetDateTime() + 5);
  FileSpec again;
  ASSERT_TRUE(ExportClassSchoolSpeak(again));
  EXPECT_NE(again.path, spec.path);
  EXPECT_NE(Slurp(again.path).find("<REPORTNAME> UPDATELASTREPORT </REPORTNAME>\r\r"),
            std::string::npos);
}

TEST_F(XmlExportTest, TheSchoolCenterFileOfAHostileClassIsValidAndReadsBackWhole) {
  HostileClass();
  const FileSpec spec{Path("center.xml")};
  ASSERT_TRUE(ExportClassSchoolCtr(spec));
  EXPECT_TRUE(alerts.empty());
  std::string out;
  EXPECT_EQ(RunCommand("xmllint --noout --nonet --dtdvalid " + std::string(MT_REPORTS_TEST_DIR) +
                    "/schoolcenter.dtd '" + spec.path + "'",
                out),
            0)
      << out;
  const std::string bytes = Slurp(spec.path);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r<!DOCTYPE SchoolCenter "
                        "SYSTEM \"",
                        0),
            0u);
  EXPECT_NE(bytes.find("/xml/schoolcenter.dtd\">\r<SchoolCenter version=\"1\">\r\r"),
            std::string::npos);
  Str255 grade{};
  PercentToGrade(950, grade);
  Expect e;
  e.attr("ClassInfo", "RefID", Read(gExportData.classCode.str()))
      .text("ClassInfo/ClassName", Read(subject_))
      .text("ClassInfo/Term", "1")
      .count("ClassInfo/Assignment", 2)
      .attr("ClassInfo/Assignment[1]", "RefID", std::to_string(quiz_))
      .attr("ClassInfo/Assignment[2]", "RefID", std::to_string(essay_))
      .text("ClassInfo/Assignment[2]/Description", Read(gAssignments[0][essay_].name.str()))
      .text("ClassInfo/Assignment[2]/TotalPoints", "100")
      .text("ClassInfo/Assignment[1]/Date", "09032026")
      .count("ClassInfo/StudentInfo", 3)
      .attr("ClassInfo/StudentInfo[1]", "RefID", "1&2")
      .text("ClassInfo/StudentInfo[1]/OverallGrade", Read(Grade(jo_)))
      .text("ClassInfo/StudentInfo[1]/TotalPercent", Read(Percent(jo_)))
      .count("ClassInfo/StudentInfo[1]/Scores", 2)
      .attr("ClassInfo/StudentInfo[1]/Scores[2]", "AssignmentID", std::to_string(essay_))
      .text("ClassInfo/StudentInfo[1]/Scores[1]/Grade", grade.str())
      .text("ClassInfo/StudentInfo[1]/Scores[2]/Score", Read(Text(kExcused)))
      .text("ClassInfo/StudentInfo[1]/Scores[2]/Grade", " ")  // excused: no grade
      .count("ClassInfo/StudentInfo[1]/Absent", 6)
      .attr("ClassInfo/StudentInfo[1]/Absent[1]", "Date", "09022026")
      .attr("ClassInfo/StudentInfo[1]/Absent[1]", "Type", "Absent")
      .attr("ClassInfo/StudentInfo[1]/Absent[1]", "Status", "Unexcused")
      .attr("ClassInfo/StudentInfo[1]/Absent[2]", "Type", "Tardy")
      .attr("ClassInfo/StudentInfo[1]/Absent[3]", "Type", "")  // "Ex": an absence worth 0
      .attr("ClassInfo/StudentInfo[1]/Absent[3]", "Status", "Excused")
      .attr("ClassInfo/StudentInfo[1]/Absent[4]", "Type", "Partial")
      .attr("ClassInfo/StudentInfo[1]/Absent[6]", "Type", "")
      .attr("ClassInfo/StudentInfo[1]/Absent[6]", "Status", "Unexcused")
      .attr("ClassInfo/StudentInfo[2]", "RefID", Read("\xD8\x37\x01"))
      .count("ClassInfo/StudentInfo[2]/Absent", 0);
  CheckFile(spec.path, e);
}

// The three files of a one-student class, byte for byte: every blank and carriage return
// is part of what the services read.
TEST_F(XmlExportTest, ATinyClassWritesExactlyTheseBytes) {
  gClass.school.setC("High");
  gClass.subject.setC("Bio");
  gClass.teacher.setC("Ms Li");
  gTermNames[0].setC("Q1");
  gExportData.classCode.setC("C1");
  gExportData.section.setC("S");
  gExportData.account.setC("acc");
  gExportData.teacherID.setC("T9");
  for (auto& c : gCategories[0]) c = CategoryRecord{};
  gCategories[0][0].name.setC("Labs");
  gCategories[0][0].weight = 1;
  gGrading[0] = 0;
  const int16_t lab = AddAssignment("Lab", 0, 20, MacDate(2026, 9, 3));
  const int16_t ann = AddStudent("Ann Bee", "A1");
  SetScore(ann, lab, 180);
  gComments[ann][0].setC("ok");
  for (auto& row : gAttendance)
    for (uint8_t& mark : row) mark = kNoMark;
  SetCode(0, "A", 1, 10);
  gAttendance[ann][DayOf(2026, 9, 2)] = 0;
  gFileSpec.path = Path("tiny.mtb");
  FlushAll();
  const std::string g = Grade(ann);
  const std::string score = Text(180);
  Str255 earned{}, possible{};
  ValueToString(180, earned);
  ValueToString(200, possible);

  ASSERT_TRUE(ExportClassBasmati(FileSpec{Path("b.xml")}));
  EXPECT_EQ(Slurp(Path("b.xml")),
            "<BasmatiL>\r<CLASS>\r<CC> C1 </CC>\r<SN> S </SN>\r<CNAME> Bio </CNAME>\r"
            "<MISC1> acc </MISC1>\r<MISC2>  </MISC2>\r<MISC3>  </MISC3>\r<PER>  </PER>\r"
            "<TID> T9 </TID>\r<TNAME> Ms Li </TNAME>\r<TERM> Q1 </TERM>\r"
            "<CLTEXT>   </CLTEXT>\r</CLASS>\r"
            "<ASSIGN>\r<ASSIGN_DATE> 2026-09-03 </ASSIGN_DATE>\r<DESCR> Lab </DESCR>\r"
            "<POINTS> 20 </POINTS>\r<EALR>  </EALR>\r</ASSIGN>\r"
            "<STUDENT>\r<ID> A1 </ID>\r<SCORES> " + score + " </SCORES>\r"
            "<PERCENT> 90.0 </PERCENT>\r<GRADE> " + g + " </GRADE>\r"
            "<COMMENTS> ,,, </COMMENTS>\r<COMTEXT> ok </COMTEXT>\r"
            "<ATTEND> 2026-09-02, A </ATTEND>\r</STUDENT>\r</BasmatiL>\r");

  FileSpec speak;
  ASSERT_TRUE(ExportClassSchoolSpeak(speak));
  Str255 today{};
  SecondsToString(GetDateTime(), today);
  EXPECT_EQ(Slurp(speak.path),
            "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\r<SchoolSpeakGrades>\r\r"
            "<APP>\r<APPNAME> Marktally </APPNAME>\r<APPVER> 6.7 </APPVER>\r"
            "<DATEFRMT> M/D </DATEFRMT>\r</APP>\r\r<GradeReports>\r\r"
            "<REPORTNAME> Progress Report " + today.str() + " </REPORTNAME>\r\r"
            "<CLASS>\r<SCHOOL> High </SCHOOL>\r<CID> C1 </CID>\r<CNAME> Bio </CNAME>\r"
            "<TERM> Q1 </TERM>\r<TNAME> Ms Li </TNAME>\r<MSG>   </MSG>\r</CLASS>\r\r"
            "<CATEGORIES>\r<CAT>\r<CTNAME> Labs </CTNAME>\r<CTPOINTS> " + possible.str() +
            " </CTPOINTS>\r</CAT>\r</CATEGORIES>\r\r"
            "<ASSIGNMENTS>\r<ASSIGN>\r<ANAME CATEGORY=\"Labs\"> Lab </ANAME>\r"
            "<ADATE> " + ShortDate(MacDate(2026, 9, 3)) + " </ADATE>\r<ASCORE> 20 </ASCORE>\r"
            "</ASSIGN>\r</ASSIGNMENTS>\r\r"
            "<STUDENTS>\r<STUDENT>\r<ID> A1 </ID>\r<NAME> Bee, Ann </NAME>\r"
            "<SCORES> " + score + " </SCORES>\r<PERCENTS> 90.0 </PERCENTS>\r"
            "<GRADES> " + g + " </GRADES>\r<ACOMMENTS>  </ACOMMENTS>\r"
            "<OVERALLPERCENT> 90.0 </OVERALLPERCENT>\r<OVERALLGRADE> " + g +
            " </OVERALLGRADE>\r<CATPOINTS> " + earned.str() + " </CATPOINTS>\r"
            "<CATMAX> " + possible.str() + " </CATMAX>\r<CATPERCENTS> 90.0 </CATPERCENTS>\r"
            "<CATGRADE> " + g + " </CATGRADE>\r"
            "<XDATA>\r<XD TYPE=\"Absence\"> " + ShortDate(MacDate(2026, 9, 2)) +
            " </XD>\r</XDATA>\r<COMTEXT> ok </COMTEXT>\r</STUDENT>\r</STUDENTS>\r\r"
            "</GradeReports>\r</SchoolSpeakGrades>\r");

  ASSERT_TRUE(ExportClassSchoolCtr(FileSpec{Path("c.xml")}));
  EXPECT_EQ(Slurp(Path("c.xml")),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r<!DOCTYPE SchoolCenter SYSTEM \"" +
                std::string(kSchoolCtrDTD) +
                "\">\r<SchoolCenter version=\"1\">\r\r<ClassInfo RefID=\"C1\">\r"
                "<ClassName>Bio</ClassName>\r<Term>1</Term>\r\r"
                "<Assignment RefID=\"0\">\r<Description>Lab</Description>\r"
                "<TotalPoints>20</TotalPoints>\r<Date>09032026</Date>\r</Assignment>\r\r"
                "<StudentInfo RefID=\"A1\">\r<OverallGrade>" + g + "</OverallGrade>\r"
                "<TotalPercent>90.0</TotalPercent>\r\r<Scores AssignmentID=\"0\">\r"
                "<Score>" + score + "</Score>\r<Grade>" + g + "</Grade>\r</Scores>\r\r"
                "<Absent Date=\"09022026\" Type=\"Absent\" Status=\"Unexcused\"/>\r"
                "\r</StudentInfo>\r\r</ClassInfo>\r</SchoolCenter>\r\r");
  EXPECT_EQ(std::string(kSchoolCtrDTD).substr(std::string(kSchoolCtrDTD).size() - 21),
            "/xml/schoolcenter.dtd");
}

TEST_F(XmlExportTest, AClassWithoutScoresWritesEmptyListsAndNoAssignments) {
  const int16_t a = AddAssignment("Unscored", 0, 10, MacDate(2026, 9, 3));
  (void)a;
  gCategories[0][0].name.setC("Work");
  gCategories[0][0].weight = 1;
  AddStudent("Ann", "A1");
  gStudents[1].name.clear();
  gStudents[2].name.setC("Hidden");  // after the first empty name: never reached
  gStudents[2].id.setC("H");
  gFileSpec.path = Path("c.mtb");

  ASSERT_TRUE(ExportClassBasmati(FileSpec{Path("b.xml")}));
  const std::string basmati = Slurp(Path("b.xml"));
  EXPECT_EQ(basmati.find("<ASSIGN>"), std::string::npos);
  EXPECT_NE(basmati.find("<STUDENT>\r<ID> A1 </ID>\r<SCORES>  </SCORES>\r"), std::string::npos);
  EXPECT_EQ(basmati.find("<ATTEND>"), std::string::npos);
  EXPECT_EQ(basmati.find("Hidden"), std::string::npos);
  EXPECT_EQ(basmati.find(" H "), std::string::npos);
  EXPECT_EQ(basmati.substr(basmati.size() - 23), "</STUDENT>\r</BasmatiL>\r");

  FileSpec speak;
  ASSERT_TRUE(ExportClassSchoolSpeak(speak));
  const std::string s = Slurp(speak.path);
  EXPECT_NE(s.find("<ASSIGNMENTS>\r</ASSIGNMENTS>\r\r"), std::string::npos);
  EXPECT_NE(s.find("<SCORES>  </SCORES>\r<PERCENTS>  </PERCENTS>\r"), std::string::npos);
  EXPECT_EQ(s.find("<XDATA>"), std::string::npos);
  EXPECT_EQ(s.find("Hidden"), std::string::npos);

  ASSERT_TRUE(ExportClassSchoolCtr(FileSpec{Path("c.xml")}));
  const std::string c = Slurp(Path("c.xml"));
  EXPECT_EQ(c.find("<Assignment "), std::string::npos);
  EXPECT_NE(c.find("<TotalPercent>"), std::string::npos);
  std::string out;
  EXPECT_EQ(RunCommand("xmllint --noout --nonet --dtdvalid " + std::string(MT_REPORTS_TEST_DIR) +
                    "/schoolcenter.dtd '" + Path("c.xml") + "'",
                out),
            0)
      << out;
}

TEST_F(XmlExportTest, EscapingKeepsEveryCharacterAndTheBytesAsTheyWere) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"a/b", "a/b"},
      {"<&>\"'", "&lt;&amp;&gt;&quot;&#39;"},
      {"\xAD\xB0\xB2\xB3\xB6\xB7\xB8\xB9\xBA\xC3\xC5\xC6",
       "&#8800;&#8734;&#8804;&#8805;&#8706;&#8721;&#8719;&#960;&#8747;&#8730;&#8776;&#8710;"},
      {"\x8E\xA5\xD2\xDB", "&#233;&#8226;&#8220;&#8364;"},
      {"\t\r", "&#9;&#13;"},
      {std::string("\x00\x01\n\x1F\x7F", 5), "     "},
      {"]]>", "]]&gt;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    const FileSpec spec{Path("escape.txt")};
    std::filesystem::remove(spec.path);
    ASSERT_TRUE(CreateFile(spec, 0, 0));
    FileRef ref = kNoFile;
    ASSERT_EQ(FSOpen(spec, kWritePermission, ref), noErr);
    WriteBuffer buffer{};
    ASSERT_TRUE(AppendXMLToBuffer(spec, ref, buffer, PStr(c.in)));
    ASSERT_TRUE(FlushBuffer(spec, ref, buffer));
    FSClose(ref);
    EXPECT_EQ(Slurp(spec.path), c.out);
  }
  // 255 ampersands grow to 1275 bytes, written whole.
  const FileSpec spec{Path("amps.txt")};
  ASSERT_TRUE(CreateFile(spec, 0, 0));
  FileRef ref = kNoFile;
  ASSERT_EQ(FSOpen(spec, kWritePermission, ref), noErr);
  WriteBuffer buffer{};
  ASSERT_TRUE(AppendXMLToBuffer(spec, ref, buffer, PStr(std::string(255, '&'))));
  ASSERT_TRUE(FlushBuffer(spec, ref, buffer));
  FSClose(ref);
  std::string want;
  for (int i = 0; i < 255; i++) want += "&amp;";
  EXPECT_EQ(Slurp(spec.path), want);
}

TEST_F(XmlExportTest, DatesKeepTheirLeadingZerosAndTheLocalDay) {
  struct Case {
    uint32_t seconds;
    const char* basmati;
    const char* center;
  };
  const Case cases[] = {
      {MacDate(2026, 1, 5), "2026-01-05", "01052026"},
      {MacDate(2026, 12, 31, 23, 59, 59), "2026-12-31", "12312026"},
      {MacDate(2027, 2, 1, 0, 0, 0), "2027-02-01", "02012027"},
      {MacDate(1999, 9, 9), "1999-09-09", "09091999"},
  };
  for (const Case& c : cases) {
    Str255 b{}, s{};
    SecondsToBasmati(c.seconds, b);
    SecondsToSchoolCtr(c.seconds, s);
    EXPECT_EQ(b.str(), c.basmati);
    EXPECT_EQ(s.str(), c.center);
  }
  // A class with D/M long dates says so to SchoolSpeak.
  AddStudent("Ann", "A1");
  gFileSpec.path = Path("c.mtb");
  const uint16_t order = gLDateFormat;
  gLDateFormat = 1;
  FileSpec speak;
  const bool ok = ExportClassSchoolSpeak(speak);
  gLDateFormat = order;
  ASSERT_TRUE(ok);
  EXPECT_NE(Slurp(speak.path).find("<DATEFRMT> D/M </DATEFRMT>\r</APP>\r\r"),
            std::string::npos);
}

TEST_F(XmlExportTest, AFailedWriteStopsReportsOnceAndLeavesNoFile) {
  HostileClass();
  for (int s = pat_ + 1; s < 200; s++) {
    gStudents[s].name.setC(("Student " + std::to_string(s)).c_str());
    gStudents[s].id.setC(std::to_string(s).c_str());
  }
  gFileSpec.path = Path("class.mtb");
  std::ofstream(Path("old.xml")) << "last week's file\r";

  struct Case {
    const char* name;
    std::function<bool()> run;
    std::string path;
  };
  FileSpec speak;
  const Case cases[] = {
      {"Basmati", [this] { return ExportClassBasmati(FileSpec{Path("old.xml")}); },
       Path("old.xml")},
      {"SchoolCenter", [this] { return ExportClassSchoolCtr(FileSpec{Path("old.xml")}); },
       Path("old.xml")},
      {"SchoolSpeak", [&speak] { return ExportClassSchoolSpeak(speak); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int64_t at : {int64_t{0}, int64_t{300}, int64_t{5000}}) {
      alerts.clear();
      FileFaults faults;
      faults.failWriteAt = at;
      SetFileFaultsForTesting(&faults);
      EXPECT_FALSE(c.run());
      SetFileFaultsForTesting(nullptr);
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_EQ(alerts[0].message, "Error");
      EXPECT_NE(alerts[0].explanation.find("The disk is full"), std::string::npos);
      EXPECT_NE(FrontWindow(), GetDialogWindow(gExportProgressDialog));
      // The file it would replace is as it was; nothing half-written stays beside it.
      EXPECT_EQ(Slurp(Path("old.xml")), "last week's file\r");
      size_t files = 0;
      for (const auto& entry : std::filesystem::directory_iterator(Path("")))
        files += entry.path().extension() == ".xml" || entry.path().filename().string()[0] == '.';
      EXPECT_EQ(files, 1u);
    }
  }
  // The SchoolSpeak name taken already: reported, and the other file is not touched.
  const std::string taken = Path(std::to_string(GetDateTime()) + ".xml");
  std::ofstream(taken) << "someone else's";
  alerts.clear();
  EXPECT_FALSE(ExportClassSchoolSpeak(speak));
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(Slurp(taken), "someone else's");

  // A file that can't be made (a folder without write permission): reported with the
  // file's name, nothing written.
  FileFaults faults;
  faults.createErrno = 13;  // EACCES
  SetFileFaultsForTesting(&faults);
  alerts.clear();
  EXPECT_FALSE(ExportClassBasmati(FileSpec{Path("new.xml")}));
  SetFileFaultsForTesting(nullptr);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].explanation.find("locked"), std::string::npos) << alerts[0].explanation;
  EXPECT_FALSE(std::filesystem::exists(Path("new.xml")));
}

}  // namespace
