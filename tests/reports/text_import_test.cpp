// The text import: the item readers of both formats, the student lookup, the alerts in
// their order, the limits of a class, UTF-8 files as spreadsheets write them, and a class
// exported and imported again into a new class.
#include <algorithm>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/textutil.h"
#include "tests/reports/reports_fixture.h"

namespace {

// Rows of items as the readers split the text.
Table Tokenize(uint16_t format, const std::string& text) {
  gImportFormat = format;
  gImportEOF = 0;
  ImportReader r;
  LoadImportText(text, r);
  Table rows;
  NextChar(r);
  while (!gImportEOF) {
    std::vector<std::string> row;
    do {
      Str255 item{};
      NextItem(r, item);
      row.push_back(item.str());
    } while (!gImportEOF && r.ch != '\r' && r.ch != '\n');
    rows.push_back(row);
    NextLine(r);
  }
  return rows;
}

class TextImportTest : public ExchangeTest {
 protected:
  std::vector<std::string> AlertTitles() const {
    std::vector<std::string> titles;
    for (const AlertRequest& a : alerts) titles.push_back(a.title);
    return titles;
  }
};

TEST_F(TextImportTest, TabItemsSplitAtTabsAndLineEnds) {
  struct Case {
    const char* text;
    Table rows;
  };
  const Case cases[] = {
      {"a\tb\rc\td\r", {{"a", "b"}, {"c", "d"}}},
      {"a\tb\nc", {{"a", "b"}, {"c"}}},
      {"a\r\nb\r\n", {{"a"}, {"b"}}},
      {"\t\tx\r", {{"", "", "x"}}},
      {" a \t b\r", {{" a ", " b"}}},
      // Every line end is a row, as a spreadsheet numbers them; CR LF is one line end.
      {"a\r\r\rb", {{"a"}, {""}, {""}, {"b"}}},
      {"a\r\n\r\nb\n\nc", {{"a"}, {""}, {"b"}, {""}, {"c"}}},
      {"\"q,1\"\tr\r", {{"\"q,1\"", "r"}}},  // no quoting in tab text
      {"\xE9t\xE9\r", {{"\xE9t\xE9"}}},       // Mac Roman bytes are text
  };
  for (const Case& c : cases) EXPECT_EQ(Tokenize(1, c.text), c.rows) << c.text;
  EXPECT_EQ(Tokenize(1, std::string(300, 'x'))[0][0], std::string(255, 'x'));
}

TEST_F(TextImportTest, CommaItemsHonourQuotesAndQuotedLineBreaks) {
  struct Case {
    const char* text;
    Table rows;
  };
  const Case cases[] = {
      {"a,b,c\r", {{"a", "b", "c"}}},
      {"\"Adams, Ann\",\"say \"\"hi\"\"\"\r", {{"Adams, Ann", "say \"hi\""}}},
      {"  a,  b\r", {{"a", "b"}}},
      {"\"x\r\ny\",z\r\n", {{"x\r\ny", "z"}}},
      {",,x\r", {{"", "", "x"}}},
      {"\"ab\" ,c\n", {{"ab", "c"}}},
      {"a,b\r\nc\r\n", {{"a", "b"}, {"c"}}},
      {"\"\"\r", {{""}}},
      {"a\tb,c\r", {{"a\tb", "c"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokenize(2, c.text), c.rows) << c.text;
  EXPECT_EQ(Tokenize(2, "\"" + std::string(300, 'y') + "\"")[0][0], std::string(255, 'y'));
}

TEST_F(TextImportTest, LookupStudentMatchesByIdAndNameWithoutCaseOrAccents) {
  AddStudent("Adams, Ann", "A1");
  AddStudent("Bob Brown", "B2");
  AddStudent("\x83mile Zola", "");
  struct Case {
    const char* id;
    const char* name;
    int16_t slot;
  };
  const Case cases[] = {
      {"", "", -3},           {"a1", "", 0},          {"", "Ann Adams", 0},
      {"", "brown, bob", 1},  {"B2", "Adams, Ann", -1}, {"", "Emile Zola", 2},
      {"Z9", "", -1},         {"", "Nobody", -1},     {"b2", "BOB BROWN", 1},
  };
  const StudentIndex index;
  for (const Case& c : cases) {
    EXPECT_EQ(LookupStudent(PStr(c.id), PStr(c.name)), c.slot) << c.id << "/" << c.name;
    EXPECT_EQ(index.Find(PStr(c.id), PStr(c.name)), c.slot) << c.id << "/" << c.name;
  }
}

TEST_F(TextImportTest, TheIndexFollowsTheSlotsItIsToldOf) {
  AddStudent("Adams, Ann", "A1");
  AddStudent("Ann Adams", "A2");  // the same name in the other order
  StudentIndex index;
  EXPECT_EQ(index.Find(PStr(""), PStr("ADAMS, ANN")), 0);
  EXPECT_EQ(index.Find(PStr("a2"), PStr("Adams, Ann")), 1);
  gStudents[0].name.setC("Baker, Bea");
  index.Update(0);
  EXPECT_EQ(index.Find(PStr(""), PStr("Adams, Ann")), 1);
  EXPECT_EQ(index.Find(PStr("A1"), PStr("Baker, Bea")), 0);
  const int16_t s = AddStudent("Cole, Cy", "A1");
  index.Update(s);
  EXPECT_EQ(index.Find(PStr("A1"), PStr("")), 0);  // the first slot of an ID
  EXPECT_EQ(index.Find(PStr("a1"), PStr("Cy Cole")), s);
  EXPECT_EQ(index.Find(PStr(""), PStr("Cole, Cy")), LookupStudent(PStr(""), PStr("Cole, Cy")));
}

TEST_F(TextImportTest, RostersAddStudentsAndMatchTheOnesThereAlready) {
  AddStudent("Adams, Ann", "1");
  gImportIDs = gImportNames = 1;
  // ID, last name, first name; the first name joins the name after a comma.
  Import("2\tBrown\tBob\r1\tAdams\tAnn\r3\tCole\t\r", "roster.txt");
  EXPECT_EQ(NumStudents(), 3);
  EXPECT_EQ(gStudents[1].name.str(), "Brown, Bob");
  EXPECT_EQ(gStudents[2].name.str(), "Cole");
  EXPECT_EQ(gStudents[2].id.str(), "3");
  EXPECT_EQ(gImportReport.students, 2);
  EXPECT_EQ(gImportReport.matched, 1);
  EXPECT_EQ(gChanged, 1);
}

TEST_F(TextImportTest, RowsWithoutANameNeverMakeAStudent) {
  AddStudent("Adams, Ann", "1");
  gImportIDs = gImportNames = gImportComments = 1;
  Import("1\t\tmatched by ID\r9\t\tnobody\r2\tBrown, Bob\tnew\r");
  EXPECT_EQ(NumStudents(), 2);
  EXPECT_EQ(gComments[0][gCurrentTerm].str(), "matched by ID");
  EXPECT_EQ(gStudents[1].name.str(), "Brown, Bob");
  EXPECT_EQ(gImportReport.namelessRows, std::vector<int>{2});
  ShowImportErrors();
  EXPECT_EQ(AlertTitles(), (std::vector<std::string>{"Students without names",
                                                       "Import finished"}));
}

TEST_F(TextImportTest, RowsWithoutIdOrNameFillTheListedStudentsAndStopAtTheEnd) {
  AddStudent("Ann");
  AddStudent("Bob");
  gImportNames = 0;
  gImportComments = 1;
  Import("first\rsecond\rthird\r");
  EXPECT_EQ(gComments[0][gCurrentTerm].str(), "first");
  EXPECT_EQ(gComments[1][gCurrentTerm].str(), "second");
  EXPECT_TRUE(gComments[2][gCurrentTerm].empty());
  EXPECT_EQ(NumStudents(), 2);
  ShowImportErrors();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "More rows than students");
  EXPECT_NE(alerts[0].text.find("row 3"), std::string::npos);
}

TEST_F(TextImportTest, AFullClassStopsAt250) {
  std::string file;
  for (int i = 0; i < 260; i++) file += "Student " + std::to_string(1000 + i) + "\r";
  Import(file);
  EXPECT_EQ(NumStudents(), 250);
  EXPECT_EQ(gStudents[249].name.str(), "Student 1249");
  ShowImportErrors();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Class is full");
  EXPECT_NE(alerts[0].text.find("row 251"), std::string::npos);
  EXPECT_NE(alerts[0].text.find("250 new students"), std::string::npos);
}

TEST_F(TextImportTest, EveryAlertComesInItsOrder) {
  for (int c = 0; c < 8; c++)
    gCategories[gCurrentTerm][c].name.setC(("Cat " + std::to_string(c)).c_str());
  gImportNames = gImportCategories = gImportPoints = gImportScores = gImportEmails = 1;
  gImportFormat = 2;
  // The addresses come before the scores, as the export writes them.
  auto row = [](const std::string& name, const std::string& scores, const std::string& mail) {
    return name + "," + mail + "," + scores + "\r";
  };
  Import(",New A,New B\r,ten,20\r" + row("Ann", "9,zz", "\"a@b.cd\",") +
         row("Bob", "", ",\"x@y.org\"") + row("Cy", "", "\"not an address\","));
  const int t = gCurrentTerm;
  EXPECT_EQ(gCategories[t][8].name.str(), "New A");
  EXPECT_EQ(gAssignments[t][0].category, 8);
  EXPECT_EQ(gAssignments[t][1].category, 0);  // no room: the first category
  EXPECT_EQ(gAssignments[t][0].points, 0);    // "ten"
  EXPECT_EQ(gAssignments[t][1].points, 20);
  EXPECT_EQ(gScores[0][t][0], 90);
  EXPECT_EQ(gScores[0][t][1], kBlank);  // "zz"
  EXPECT_EQ(gEmailAddresses[1].blindCopies.str(), "x@y.org");
  EXPECT_EQ(gImportReport.columns, 2);
  EXPECT_EQ(gImportReport.scores, 1);
  ShowImportErrors();
  EXPECT_EQ(AlertTitles(),
            (std::vector<std::string>{"Invalid email address", "Missing recipient field",
                                      "Too many imported categories", "Invalid points possible",
                                      "Invalid scores", "Import finished"}));
  ASSERT_EQ(alerts.size(), 6u);
  EXPECT_EQ(alerts[2].text,
            "There were too many new categories to import. Any categories that could not be "
            "imported were replaced with the 'Cat 0' category.");
  EXPECT_EQ(alerts[2].kind, kCautionAlert);
  EXPECT_EQ(alerts[5].kind, kNoteAlert);
  EXPECT_EQ(alerts[5].text,
            "Imported: 3 new students, 0 students updated, 2 assignment columns and 1 scores. "
            "An import cannot be undone.");

  alerts.clear();
  NewClassAt(MacDate(2026, 10, 15));
  gImportEmails = gImportScores = gImportPoints = 0;
  gImportFormat = 1;
  Import("\tBrand new\rAnn\r");
  ShowImportErrors();
  EXPECT_EQ(AlertTitles(),
            (std::vector<std::string>{"New categories were imported", "Import finished"}));
  EXPECT_EQ(gCategories[gCurrentTerm][2].name.str(), "Brand new");
  EXPECT_EQ(gCategories[gCurrentTerm][2].weight, 1);
}

TEST_F(TextImportTest, SpreadsheetCsvInUtf8WithCrlfImports) {
  gImportIDs = gImportNames = gImportComments = 1;
  gImportFormat = 2;
  const std::string file =
      "\"1001\",\"M\xC3\xBCller, J\xC3\xBCrgen\",\"Tr\xC3\xA8s bien, \"\"super\"\"\"\r\n"
      "\"1002\",\"\xC3\x98" "deg\xC3\xA5rd, \xC3\x85se\",\"Line one\r\nline two\"\r\n"
      "\"1003\",\"\xC5\x81ukasz Nowak\",\"\xE2\x82\xAC 5\"\r\n";
  Import(file, "libre.csv");
  ASSERT_EQ(NumStudents(), 3);
  EXPECT_EQ(gStudents[0].name.str(), "M\x9F" "ller, J\x9F" "rgen");
  EXPECT_EQ(gComments[0][gCurrentTerm].str(), "Tr\x8F" "s bien, \"super\"");
  EXPECT_EQ(gStudents[1].name.str(), "\xAF" "deg\x8C" "rd, \x81se");
  EXPECT_EQ(gComments[1][gCurrentTerm].str(), "Line one\r\nline two");
  EXPECT_EQ(gStudents[2].name.str(), "?ukasz Nowak");  // no such letter in a class
  EXPECT_EQ(gComments[2][gCurrentTerm].str(), "\xDB 5");  // the euro sign is there
  EXPECT_EQ(gImportReport.encoding, ImportEncoding::kUtf8);
  EXPECT_EQ(gImportReport.unconvertedRows, std::vector<int>{3});
  ShowImportErrors();
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].title, "Characters replaced");
  EXPECT_NE(alerts[0].text.find("(rows 3)"), std::string::npos);

  // A byte-order mark alone says UTF-8, and is not part of the first name.
  NewClassAt(MacDate(2026, 10, 15));
  ResetImportOptions();
  Import("\xEF\xBB\xBFPlain\r");
  EXPECT_EQ(gStudents[0].name.str(), "Plain");
  // Mac Roman text stays as it is.
  NewClassAt(MacDate(2026, 10, 15));
  Import("M\x9Fller\r");
  EXPECT_EQ(gStudents[0].name.str(), "M\x9Fller");
  EXPECT_EQ(gImportReport.encoding, ImportEncoding::kMacRoman);
}

TEST_F(TextImportTest, CodesAreCutToTheirSizeAndLandOnlyInsideTheTerm) {
  const int16_t s = AddStudent("Ann");
  for (CodeRecord& code : gCodes) code.name.clear();
  gCodes[0].name.setC("Abs");
  gImportNames = gImportCodes = 1;
  int first = 0, last = 0;
  CurrentTermDays(first, last);
  auto date = [](int day) {
    Str255 text{};
    SecondsToString(gTermDates[0].start + static_cast<uint32_t>(day) * 86400u, text);
    return text.str();
  };
  Import("Ann\t" + date(first) + "\tTardy1\t" + date(first + 1) + "\ttardy2\t" +
         date(first + 2) + "\tabs\t" + date(last + 1) + "\tabs\t1/1/1990\tabs\r");
  EXPECT_EQ(gCodes[1].name.str(), "Tardy");
  EXPECT_TRUE(gCodes[2].name.empty());  // the second one, cut, is the same code
  EXPECT_EQ(gAttendance[s][first], 1);
  EXPECT_EQ(gAttendance[s][first + 1], 1);
  EXPECT_EQ(gAttendance[s][first + 2], 0);
  if (last + 1 < kMaxDays) {
    EXPECT_EQ(gAttendance[s][last + 1], kNoMark);
  }
  EXPECT_TRUE(gAddedCodes);
}

TEST_F(TextImportTest, ExportedThenImportedIntoANewClassGivesTheSameClass) {
  gSpecialScores[0].name.setC("Late");
  gCategories[gCurrentTerm][3].name.setC("Labs, \"wet\"");
  const char* names[] = {"Quiz \"1\", part 2", "\xAE" "ther", "Lab"};
  const uint16_t cats[] = {1, 3, 3};
  const uint16_t points[] = {10, 100, 50};
  for (int a = 0; a < 3; a++) {
    AddAssignment(names[a], cats[a], points[a]);
    gAssignDates[gCurrentTerm][a] = MacDate(2026, 9, 3 + 7 * a);
  }
  const char* students[][2] = {{"Smith, \"Jo\"", "1,2"}, {"\xAE" "r\xBF, \x81se", "\xD8" "7"},
                               {"Plain Pat", "P"}};
  // Scores as typing makes them: tenths, blanks and special scores.
  const int16_t scores[3][3] = {{95, kBlank, kFirstSpecial + 1},
                                {0, kBlank, kFirstSpecial},
                                {kFirstSpecial + 2, 1000, 5}};
  for (int s = 0; s < 3; s++) {
    AddStudent(students[s][0], students[s][1]);
    for (int a = 0; a < 3; a++)
      SetScore(static_cast<int16_t>(s), static_cast<int16_t>(a), scores[s][a]);
    gComments[s][gCurrentTerm].setC(("Comment, \"" + std::to_string(s) + "\"\rline").c_str());
  }
  gCodes[0].name.setC("Ab");
  gCodes[1].name.setC("Td");
  int first = 0, last = 0;
  CurrentTermDays(first, last);
  gAttendance[0][first + 2] = 0;
  gAttendance[2][first + 5] = 1;
  gAttendance[2][last] = 0;

  struct Saved {
    std::vector<std::string> ids, names, comments, assignments, categories;
    std::vector<uint16_t> points;
    std::vector<uint32_t> dates;
    std::vector<int16_t> scores;
    std::vector<std::string> codes;
  };
  auto take = []() {
    Saved s;
    const int t = gCurrentTerm;
    for (int i = 0; i < NumStudents(); i++) {
      s.ids.push_back(gStudents[i].id.str());
      s.names.push_back(gStudents[i].name.str());
      s.comments.push_back(gComments[i][t].str());
      for (int a = 0; a < 3; a++) s.scores.push_back(gScores[i][t][a]);
      for (int d = 0; d < kMaxDays; d++)
        if (gAttendance[i][d] < kMaxCodes)
          s.codes.push_back(std::to_string(d) + gCodes[gAttendance[i][d]].name.str());
    }
    for (int a = 0; a < 3; a++) {
      s.assignments.push_back(gAssignments[t][a].name.str());
      s.categories.push_back(gCategories[t][gAssignments[t][a].category].name.str());
      s.points.push_back(gAssignments[t][a].points);
      s.dates.push_back(gAssignDates[t][a]);
    }
    return s;
  };
  const Saved before = take();

  SetExportFormat(3);
  gExportIDs = gExportNames = gExportComments = 1;
  gExportDates = gExportAssignments = gExportCategories = gExportPoints = gExportScores = 1;
  Export("grades.csv");
  ResetExportOptions();
  SetExportFormat(3);
  gExportIDs = gExportNames = gExportCodes = 1;
  Export("codes.csv");

  NewClassAt(MacDate(2026, 10, 15));
  gSpecialScores[0].name.setC("Late");
  gImportFormat = 2;
  gImportIDs = gImportNames = gImportComments = 1;
  gImportDates = gImportAssignments = gImportCategories = gImportPoints = gImportScores = 1;
  ImportClass(FileSpec{Path("grades.csv")});
  ResetImportOptions();
  gImportFormat = 2;
  gImportIDs = gImportNames = gImportCodes = 1;
  ImportClass(FileSpec{Path("codes.csv")});

  const Saved after = take();
  EXPECT_EQ(after.ids, before.ids);
  EXPECT_EQ(after.names, before.names);
  EXPECT_EQ(after.comments, before.comments);
  EXPECT_EQ(after.assignments, before.assignments);
  EXPECT_EQ(after.categories, before.categories);
  EXPECT_EQ(after.points, before.points);
  EXPECT_EQ(after.dates, before.dates);
  EXPECT_EQ(after.scores, before.scores);
  EXPECT_EQ(after.codes, before.codes);
  EXPECT_EQ(gImportReport.matched, 3);
}

}  // namespace

namespace {

class TextEncodingTest : public ExchangeTest {};

TEST_F(TextEncodingTest, EveryEncodingBecomesTheClassText) {
  struct Case {
    const char* what;
    std::string bytes;
    ImportEncoding encoding;
    std::string text;                   // Mac Roman
    std::vector<size_t> unconverted;    // positions of '?' put in for a character
  };
  const Case cases[] = {
      {"UTF-8 with a mark", "\xEF\xBB\xBF" "Zo\xC3\xAB\r\n", ImportEncoding::kUtf8, "Zo\x91\r\n",
       {}},
      {"UTF-8, accent as a combining mark", "Cafe\xCC\x81 E\xCC\x88" "a", ImportEncoding::kUtf8,
       "Caf\x8E \xE8" "a", {}},
      {"a mark with no letter to join", "\xCC\x81" "e\xCC\x84!", ImportEncoding::kUtf8,
       "?e?!", {0, 2}},
      {"UTF-16, little end first", std::string("\xFF\xFE" "A\0\xE9\0\n\0", 8),
       ImportEncoding::kUtf16, "A\x8E\n", {}},
      {"UTF-16, big end first, beyond the basic plane",
       std::string("\xFE\xFF\0" "e\x03\x01\xD8\x3D\xDE\x00\0\r", 12), ImportEncoding::kUtf16,
       "\x8E?\r", {1}},
      {"UTF-16 cut in a unit", std::string("\xFF\xFE" "A\0B", 5), ImportEncoding::kUtf16, "A?",
       {1}},
      {"Windows-1252", "\x80 M\xFCller\x85\r\nx\x81", ImportEncoding::kWindows1252,
       "\xDB M\x9Fller\xC9\r\nx?", {12}},
      {"Mac Roman, the program's earlier files", "M\x9Fller\rN\x9C\x96" "ez\r",
       ImportEncoding::kMacRoman, "M\x9Fller\rN\x9C\x96" "ez\r", {}},
      {"plain ASCII", "a,b\r", ImportEncoding::kUtf8, "a,b\r", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImportReader r;
    EXPECT_EQ(LoadImportText(c.bytes, r), c.encoding);
    EXPECT_EQ(r.data, c.text);
    EXPECT_EQ(r.unconverted, c.unconverted);
  }
  for (const std::string& binary :
       {std::string("a\0b", 3), std::string("name\x01\r"), std::string("A\0B\0", 4),
        std::string("\xFF\xFE\x01\0", 4), std::string("PK\x03\x04\x14\0", 6)}) {
    ImportReader r;
    EXPECT_EQ(LoadImportText(binary, r), ImportEncoding::kNotText) << binary;
    EXPECT_TRUE(r.data.empty());
  }
}

TEST_F(TextEncodingTest, AStrayQuoteEndsAtItsRowAndIsNamed) {
  struct Case {
    const char* text;
    Table rows;
    std::vector<int> unclosed;
  };
  const Case cases[] = {
      // A line break inside a cell: the closing quote follows.
      {"1,\"two\nlines\",x\n2,y\n", {{"1", "two\nlines", "x"}, {"2", "y"}}, {}},
      // Never closed: the rows after it stay rows.
      {"1,\"open\n2,b\n3,c\n", {{"1", "open"}, {"2", "b"}, {"3", "c"}}, {1}},
      // The next quote opens an item: this one was never closed.
      {"1,\"open\n2,\"b\"\n", {{"1", "open"}, {"2", "b"}}, {1}},
      {"1,\"open\n2,b\"c\n", {{"1", "open"}, {"2", "b\"c"}}, {1}},
      {"\"a\"\"b\n\"\"c\",d\n", {{"a\"b\n\"c", "d"}}, {}},
      {"1,x\n2,\"end", {{"1", "x"}, {"2", "end"}}, {2}},
  };
  for (const Case& c : cases) {
    gImportReport = ImportReport{};
    EXPECT_EQ(Tokenize(2, c.text), c.rows) << c.text;
    EXPECT_EQ(gImportReport.unclosedQuoteRows, c.unclosed) << c.text;
  }
}

TEST_F(TextEncodingTest, EmptyRowsAreSkippedAndUnreadableRowsNamed) {
  gImportIDs = gImportNames = gImportComments = 1;
  gImportFormat = 2;
  Import("1,Ann,first\n,,\n ,  ,\n,,orphan\n2,Bob,\"open\n3,Cy,third\n");
  ASSERT_EQ(NumStudents(), 3);
  EXPECT_EQ(gStudents[2].name.str(), "Cy");
  EXPECT_EQ(gComments[1][gCurrentTerm].str(), "open");
  EXPECT_EQ(gComments[2][gCurrentTerm].str(), "third");
  ShowImportErrors();
  ASSERT_EQ(alerts.size(), 3u);
  EXPECT_EQ(alerts[0].title, "Quotes not closed");
  EXPECT_NE(alerts[0].text.find("(rows 5)"), std::string::npos);
  EXPECT_EQ(alerts[1].title, "Students without names");
  EXPECT_NE(alerts[1].text.find("(rows 4)"), std::string::npos);
  EXPECT_EQ(alerts[2].title, "Import finished");
}

TEST_F(TextEncodingTest, ANonTextFileIsRefusedAndTheClassKept) {
  AddStudent("Ann", "1");
  gImportIDs = gImportNames = 1;
  Import(std::string("1\tAnn\r2\tBob\0\r", 12));
  EXPECT_EQ(NumStudents(), 1);
  EXPECT_EQ(gChanged, 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, kStopAlert);
  EXPECT_NE(alerts[0].text.find("not text"), std::string::npos);
  ShowImportErrors();  // nothing more to say
  EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(TextEncodingTest, AMatchWithoutAccentsKeepsTheClassSpelling) {
  const int16_t s = AddStudent("N\x9C\x96" "ez, Jos\x8E", "7");
  gImportIDs = gImportNames = gImportComments = 1;
  gImportFormat = 2;
  Import("7,\"Nunez, Jose\",first\n,JOSE NUNEZ,second\n");
  EXPECT_EQ(NumStudents(), 1);
  EXPECT_EQ(gImportReport.matched, 2);
  EXPECT_EQ(gStudents[s].name.str(), "N\x9C\x96" "ez, Jos\x8E");
  EXPECT_EQ(gStudents[s].id.str(), "7");
  EXPECT_EQ(gComments[s][gCurrentTerm].str(), "second");
}

TEST_F(TextEncodingTest, AnAddressIsNeverAFirstName) {
  struct Case {
    const char* row;
    const char* name;
    const char* recipients;
    const char* blindCopies;
  };
  const Case cases[] = {
      {"1,Cole,Joe,joe@x.org,mom@x.org", "Cole, Joe", "joe@x.org", "mom@x.org"},
      {"1,\"Cole, Joe\",joe@x.org,mom@x.org", "Cole, Joe", "joe@x.org", "mom@x.org"},
      {"1,\"Cole, Joe\",,mom@x.org", "Cole, Joe", "", "mom@x.org"},
      {"1,Cole,,joe@x.org,", "Cole", "joe@x.org", ""},
      {"1,Cole,joe@x.org", "Cole", "joe@x.org", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    NewClassAt(MacDate(2026, 10, 15));
    gImportIDs = gImportNames = gImportEmails = 1;
    gImportFormat = 2;
    Import(std::string(c.row) + "\n");
    ASSERT_EQ(NumStudents(), 1);
    EXPECT_EQ(gStudents[0].name.str(), c.name);
    EXPECT_EQ(gEmailAddresses[0].recipients.str(), c.recipients);
    EXPECT_EQ(gEmailAddresses[0].blindCopies.str(), c.blindCopies);
  }
}

}  // namespace
