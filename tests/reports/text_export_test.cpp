// The delimited text export: a class full of awkward texts written as tab and comma
// separated UTF-8 text and read back by Python's csv module, the header rows, the
// narrowing to a selected column or day, the TeacherWeb file and the HTML grades page.
#include <algorithm>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/textutil.h"
#include "tests/reports/reports_fixture.h"

namespace {

class TextExportTest : public ExchangeTest {
 protected:
  // Names with comma, quote and CR, Mac Roman letters, a 255-byte comment full of quotes,
  // and every score form.
  void HostileClass() {
    gClass.school.setC("North & \"South\" <High>");
    gClass.subject.setC("Math, period 2");
    gClass.teacher.setC("Mr\xCANg\x8E");
    gSpecialScores[0].name.setC("Late");
    gCategories[gCurrentTerm][1].name.setC("Tests, \"big\"");
    const int16_t a0 = AddAssignment("Quiz \"1\", part 2", 1, 10);
    const int16_t a1 = AddAssignment("Essay\t\xC6ther", 1, 100);
    const int16_t a2 = AddAssignment("Lab", 1, 50);
    gAssignDates[gCurrentTerm][a0] = MacDate(2026, 9, 3);
    gAssignDates[gCurrentTerm][a1] = MacDate(2026, 9, 10);
    gAssignDates[gCurrentTerm][a2] = MacDate(2026, 9, 17);
    const int16_t s0 = AddStudent("Smith, \"Jo\"\rAnn", "1,2");
    const int16_t s1 = AddStudent("\xAE" "r\xBF, \x81se", "\xD8" "7");
    const int16_t s2 = AddStudent("Plain Pat", "");
    std::string comment;
    while (comment.size() < 255) comment += "a \"q\",\r";
    comment.resize(255);
    gComments[s0][gCurrentTerm].setBytes(comment.data(), comment.size());
    gComments[s1][gCurrentTerm].setC("Line one\nline two\ttabbed");
    const int16_t scores[3][3] = {{95, kBlank, kExcused},
                                  {kAbsent, kIncomplete, kFullCredit},
                                  {kFirstSpecial, kFirstLetter + 10, kInvalid}};
    for (int s = 0; s < 3; s++)
      for (int a = 0; a < 3; a++) SetScore(static_cast<int16_t>(s), static_cast<int16_t>(a),
                                           scores[s][a]);
    gEmailAddresses[s0].recipients.setC("jo@example.org, mom@example.org");
    (void)s2;
    FlushAll();
  }

  static std::string Text(ConstStringPtr p) { return ToStdString(p); }
  static std::string Flat(std::string s) {
    std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
                    ' ');
    return s;
  }
  static std::string Score(int16_t s) {
    Str255 t{};
    ScoreToString(s, t);
    return t.str();
  }

  // What each row must read as: the header rows, then one row per student.
  Table Expected(bool flat) {
    auto cell = [flat](const std::string& s) { return U(flat ? Flat(s) : s); };
    const int t = gCurrentTerm;
    Table rows;
    std::vector<std::string> dates{"", "", ""}, names{"", "", ""}, cats{"", "", ""},
        points{"", "", ""};
    for (int a = 0; a < 3; a++) {
      Str255 d{};
      SecondsToString(gAssignDates[t][a], d);
      dates.push_back(cell(d.str()));
      names.push_back(cell(gAssignments[t][a].name.str()));
      cats.push_back(cell(gCategories[t][gAssignments[t][a].category].name.str()));
      points.push_back(std::to_string(gAssignments[t][a].points));
    }
    rows = {dates, names, cats, points};
    for (int s = 0; s < 3; s++) {
      std::vector<std::string> row{cell(gStudents[s].id.str()), cell(gStudents[s].name.str()),
                                   cell(gComments[s][t].str())};
      for (int a = 0; a < 3; a++) row.push_back(cell(Score(gScores[s][t][a])));
      Str255 pct{};
      PercentToString(TermPercent(static_cast<int16_t>(t), static_cast<int16_t>(s)), pct);
      row.push_back(pct.str());
      rows.push_back(row);
    }
    return rows;
  }

  void AllColumns() {
    gExportIDs = gExportNames = gExportComments = 1;
    gExportDates = gExportAssignments = gExportCategories = gExportPoints = 1;
    gExportScores = gExportTermPcts = 1;
  }
};

TEST_F(TextExportTest, AHostileClassReadsBackThroughPythonsCsvInEveryFormat) {
  HostileClass();
  AllColumns();
  struct Case {
    uint16_t format;
    const char* kind;
    bool flat;
  };
  for (const Case c : {Case{1, "tab", true}, Case{2, "comma", false}, Case{3, "comma", false}}) {
    SCOPED_TRACE(c.format);
    SetExportFormat(c.format);
    const std::string name = "class" + std::to_string(c.format) + ".txt";
    const std::string bytes = Export(name);
    EXPECT_EQ(ReadWithPython(Path(name), c.kind), Expected(c.flat));
    // UTF-8 without a byte-order mark, which would cling to the first item of a reader
    // told nothing; rows end in CR LF.
    EXPECT_NE(bytes.find("\xC3\x86r\xC3\xB8"), std::string::npos);
    EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  }
}

TEST_F(TextExportTest, TabTextNeverSplitsARowOrShiftsAColumn) {
  HostileClass();
  AllColumns();
  const std::string bytes = Export("flat.txt");
  // The only CRs and LFs are the row ends.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 4 + 3);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 4 + 3);
  // Every row has the same number of columns: 3 student columns, 3 scores, the percent
  // in student rows.
  size_t start = 0;
  for (int row = 0; row < 7; row++) {
    const size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), row < 4 ? 5 : 6) << line;
    start = end + 2;
  }
}

TEST_F(TextExportTest, QuotingFollowsTheFormat) {
  AddStudent("Adams, Ann", "7");
  AddStudent("Bo \"B\" Cole", "");
  AddStudent("Tab\there", "\xA7");
  gExportIDs = 1;
  gExportExamPcts = 1;
  struct Case {
    uint16_t format;
    const char* expected;
  };
  Str255 exam{};
  PercentToString(ExamPercent(gCurrentTerm, 0), exam);
  const std::string e = exam.str();
  // A tab inside an item is quoted in both comma formats, flattened in tab text.
  for (const Case c :
       {Case{1, "7\tAdams, Ann\t@\r\n\tBo \"B\" Cole\t@\r\n\xC3\x9F\tTab here\t@\r\n"},
        Case{2, "\"7\",\"Adams, Ann\",@\r\n\"\",\"Bo \"\"B\"\" Cole\",@\r\n"
                "\"\xC3\x9F\",\"Tab\there\",@\r\n"},
        Case{3, "7,\"Adams, Ann\",@\r\n,\"Bo \"\"B\"\" Cole\",@\r\n"
                "\xC3\x9F,\"Tab\there\",@\r\n"}}) {
    SCOPED_TRACE(c.format);
    SetExportFormat(c.format);
    std::string expected = c.expected;
    for (size_t at; (at = expected.find('@')) != std::string::npos;) expected.replace(at, 1, e);
    // The exam percent is written bare, also where every other item is quoted.
    EXPECT_EQ(Export("q.txt"), expected);
  }
}

TEST_F(TextExportTest, ALongItemFullOfQuotesIsWrittenWhole) {
  const int16_t s = AddStudent("Long", "");
  gComments[s][gCurrentTerm].setBytes(std::string(255, '"').data(), 255);
  gExportNames = 0;
  gExportComments = 1;
  SetExportFormat(3);
  EXPECT_EQ(Export("long.csv"), "\"" + std::string(510, '"') + "\"\r\n");
  Str255 converted{};
  ConvertQuotes(gComments[s][gCurrentTerm], converted);
  EXPECT_EQ(converted.str(), std::string(254, '"'));  // never half a doubled quote
}

TEST_F(TextExportTest, ARowWithoutItemsKeepsTheRowBeforeIt) {
  AddStudent("Ann", "1");
  AddStudent("Bob", "");
  gExportNames = 0;
  gExportIDs = 1;
  SetExportFormat(3);
  EXPECT_EQ(Export("ids.csv"), "1\r\n\r\n");
}

TEST_F(TextExportTest, TheListEndsAtTheFirstEmptyNameAndAnEmptyClassWritesItsHeaders) {
  AddAssignment("Quiz");
  EXPECT_EQ(Export("none.txt"), "");
  gExportAssignments = 1;
  EXPECT_EQ(Export("headers.txt"), "\tQuiz\r\n");
  AddStudent("Ann");
  gStudents[2].name.setC("Hidden");
  EXPECT_EQ(Export("list.txt"), "\tQuiz\r\nAnn\r\n");
}

TEST_F(TextExportTest, ASelectedColumnOrDayNarrowsTheExport) {
  const int16_t a0 = AddAssignment("One");
  const int16_t a1 = AddAssignment("Two");
  const int16_t s = AddStudent("Ann");
  SetScore(s, a0, 10);
  SetScore(s, a1, 20);
  gExportAssignments = gExportScores = 1;
  ExportScope scope;
  scope.view = 0;
  scope.assignment = a1;
  EXPECT_EQ(Export("one.txt", scope), "\tTwo\r\nAnn\t2\r\n");
  scope.view = 1;  // in the attendance view the column selection is a day's
  EXPECT_EQ(Export("all.txt", scope), "\tOne\tTwo\r\nAnn\t1\t2\r\n");

  ResetExportOptions();
  gExportCodes = 1;
  gCodes[0].name.setC("A");
  gCodes[1].name.setC("T");
  int first = 0, last = 0;
  CurrentTermDays(first, last);
  gAttendance[s][first + 1] = 0;
  gAttendance[s][first + 3] = 1;
  Str255 d1{}, d3{};
  SecondsToString(gTermDates[0].start + (first + 1) * 86400u, d1);
  SecondsToString(gTermDates[0].start + (first + 3) * 86400u, d3);
  EXPECT_EQ(Export("codes.txt"), "Ann\t" + d1.str() + "\tA\t" + d3.str() + "\tT\r\n");
  scope = ExportScope{};
  scope.view = 1;
  scope.day = static_cast<int16_t>(first + 3);
  EXPECT_EQ(Export("day.txt", scope), "Ann\t" + d3.str() + "\tT\r\n");
}

TEST_F(TextExportTest, TheHtmlPageEscapesEveryCellAndIsPureAscii) {
  HostileClass();
  gClass.flags |= kLetterGrades;
  gExportHTML = 1;
  gExportIDs = gExportNames = 1;
  gExportTermGrades = 1;  // the grade alone: an empty cell stands in for the percent
  SetExportFormat(2);     // a comma delimiter must not show in the cells
  int progressed = 0;
  ExportScope scope;
  scope.progress = [&progressed](int16_t) { progressed++; };
  const std::string page = Export("grades.html", scope);
  EXPECT_EQ(progressed, 3);
  for (unsigned char c : page) ASSERT_LT(c, 128) << "byte above 127 in the page";
  EXPECT_NE(page.find("<h2 align=left>\rNorth &amp; &quot;South&quot; &lt;High&gt;</h2>"),
            std::string::npos);
  EXPECT_NE(page.find("Mr&#160;Ng&#233;"), std::string::npos);  // a non-breaking space, e
  EXPECT_NE(page.find("<td width=60>\r1,2\r</td>"), std::string::npos);
  EXPECT_NE(page.find("<td width=120>\rSmith, &quot;Jo&quot; Ann\r</td>"), std::string::npos);
  EXPECT_NE(page.find("<td width=20></td>\r<td width=30 align=left>"), std::string::npos);
  EXPECT_EQ(page.find("Plain Pat"), std::string::npos);  // no ID: not on the page
  EXPECT_EQ(page.find("Quiz"), std::string::npos);       // no scores in HTML
  EXPECT_NE(page.find("Math, period 2 (" + gTermNames[gCurrentTerm].str() + ")"),
            std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 25), "</table>\r</body>\r</html>\r");
  EXPECT_NE(page.find("<tr>\r<th width=60 align=left><b>\rID\r</b></th>\r"), std::string::npos);
  gClass.lastTerm = 0;  // one term: no term name after the subject
  EXPECT_NE(Export("one.html").find("Math, period 2</b>"), std::string::npos);
}

TEST_F(TextExportTest, EveryScoreReadsAsTheGridShowsIt) {
  // Whole and tenths, the largest, and the codes; every column of a full row.
  const int16_t s = AddStudent("Ann");
  std::vector<int16_t> scores = {0, 1, 9, 10, 95, 100, 999, 1000, 1005, 32767, kBlank,
                                 kExcused, kAbsent, kIncomplete, kFullCredit, kFirstSpecial,
                                 kFirstLetter};
  while (scores.size() < static_cast<size_t>(kMaxAssignments))
    scores.push_back(static_cast<int16_t>(scores.size() * 227 % 32768));
  for (int a = 0; a < kMaxAssignments; a++) {
    AddAssignment(("A" + std::to_string(a)).c_str());
    SetScore(s, static_cast<int16_t>(a), scores[a]);
  }
  gExportNames = 0;
  gExportScores = 1;
  SetExportFormat(2);
  Export("scores.csv");
  const Table rows = ReadWithPython(Path("scores.csv"), "comma");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), static_cast<size_t>(kMaxAssignments));
  for (int a = 0; a < kMaxAssignments; a++) EXPECT_EQ(rows[0][a], U(Score(scores[a]))) << a;
}

TEST_F(TextExportTest, TheTeacherWebFileKeepsTheClassBytesAndCrLineEnds) {
  HostileClass();
  gExportIDs = gExportNames = gExportTermPcts = 1;
  gTeacherWeb = 1;
  const std::string bytes = Export("web.txt");
  EXPECT_NE(bytes.find("\xD8" "7\t\xAE" "r\xBF, \x81se\t\xD8" "7\t"), std::string::npos);
  EXPECT_EQ(bytes.find('\n'), std::string::npos);
  EXPECT_EQ(bytes.find("Plain Pat"), std::string::npos);  // no ID: left out
  const Table rows = ReadWithPython(Path("web.txt"), "tab", "mac_roman");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1], U("\xAE" "r\xBF, \x81se"));
}

TEST_F(TextExportTest, AFailedWriteIsReportedAndKeepsTheFileItWouldReplace) {
  // More text than the export gathers before its first write.
  for (int i = 0; i < kMaxStudents; i++) {
    AddStudent(("Student number " + std::to_string(i)).c_str());
    gComments[i][gCurrentTerm].setBytes(std::string(254, 'c').data(), 254);
  }
  gExportComments = 1;
  Spit(Path("full.txt"), "last week's export\r");
  FileFaults faults;
  faults.failWriteAt = 300;
  SetFileFaultsForTesting(&faults);
  int progressed = 0;
  ExportScope scope;
  scope.progress = [&progressed](int16_t) { progressed++; };
  EXPECT_EQ(Export("full.txt", scope), "last week's export\r");
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")),
                          std::filesystem::directory_iterator()),
            1);  // no half-written file beside it
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Error");
  EXPECT_NE(alerts[0].text.find("The disk is full"), std::string::npos);
  EXPECT_LT(progressed, kMaxStudents);  // nothing more is written after the failure
}

}  // namespace
