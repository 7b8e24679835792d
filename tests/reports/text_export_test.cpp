// The delimited text export: a class full of awkward texts written as tab and comma
// separated text and read back by Python's csv module, the header rows, the narrowing to
// a selected column or day, and the HTML grades page.
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
    // Mac Roman as the class stores it, lines ending in a single CR.
    EXPECT_NE(bytes.find("\xAE" "r\xBF"), std::string::npos);
    EXPECT_EQ(bytes.back(), '\r');
  }
}

TEST_F(TextExportTest, TabTextNeverSplitsARowOrShiftsAColumn) {
  HostileClass();
  AllColumns();
  const std::string bytes = Export("flat.txt");
  EXPECT_EQ(bytes.find('\n'), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 4 + 3);
  // Every row has the same number of columns: 3 student columns, 3 scores, the percent
  // in student rows.
  size_t start = 0;
  for (int row = 0; row < 7; row++) {
    const size_t end = bytes.find('\r', start);
    const std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), row < 4 ? 5 : 6) << line;
    start = end + 1;
  }
}

TEST_F(TextExportTest, QuotingFollowsTheFormat) {
  AddStudent("Adams, Ann", "7");
  const int16_t s = AddStudent("Bo \"B\" Cole", "");
  (void)s;
  gExportIDs = 1;
  gExportExamPcts = 1;
  struct Case {
    uint16_t format;
    const char* expected;
  };
  Str255 exam{};
  PercentToString(ExamPercent(gCurrentTerm, 0), exam);
  const std::string e = exam.str();
  for (const Case c : {Case{1, "7\tAdams, Ann\t@\r\tBo \"B\" Cole\t@\r"},
                       Case{2, "\"7\",\"Adams, Ann\",@\r\"\",\"Bo \"\"B\"\" Cole\",@\r"},
                       Case{3, "7,\"Adams, Ann\",@\r,\"Bo \"\"B\"\" Cole\",@\r"}}) {
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
  EXPECT_EQ(Export("long.csv"), "\"" + std::string(510, '"') + "\"\r");
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
  EXPECT_EQ(Export("ids.csv"), "1\r\r");
}

TEST_F(TextExportTest, TheListEndsAtTheFirstEmptyNameAndAnEmptyClassWritesItsHeaders) {
  AddAssignment("Quiz");
  EXPECT_EQ(Export("none.txt"), "");
  gExportAssignments = 1;
  EXPECT_EQ(Export("headers.txt"), "\tQuiz\r");
  AddStudent("Ann");
  gStudents[2].name.setC("Hidden");
  EXPECT_EQ(Export("list.txt"), "\tQuiz\rAnn\r");
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
  EXPECT_EQ(Export("one.txt", scope), "\tTwo\rAnn\t2\r");
  scope.view = 1;  // in the attendance view the column selection is a day's
  EXPECT_EQ(Export("all.txt", scope), "\tOne\tTwo\rAnn\t1\t2\r");

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
  EXPECT_EQ(Export("codes.txt"), "Ann\t" + d1.str() + "\tA\t" + d3.str() + "\tT\r");
  scope = ExportScope{};
  scope.view = 1;
  scope.day = static_cast<int16_t>(first + 3);
  EXPECT_EQ(Export("day.txt", scope), "Ann\t" + d3.str() + "\tT\r");
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

TEST_F(TextExportTest, AFailedWriteIsReportedAndKeepsTheFileItWouldReplace) {
  for (int i = 0; i < 40; i++) AddStudent(("Student number " + std::to_string(i)).c_str());
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
  EXPECT_LT(progressed, 40);  // nothing more is written after the failure
}

}  // namespace
