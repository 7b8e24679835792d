// Text files between the program and a teacher's other programs: sheets saved by a
// spreadsheet in each encoding, the program's own files from before its exports became
// UTF-8, and every export layout read by Python's csv module and imported back into the
// class it came from.
#include <algorithm>

#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/textutil.h"
#include "tests/reports/reports_fixture.h"
#include "tests/reports/text_exchange_class.h"

namespace {

std::string Fixture(const std::string& name) {
  return std::string(MT_REPORTS_TEST_DIR) + "/../fixtures/text_exchange/" + name;
}

std::string Flat(std::string s) {
  std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
                  ' ');
  return s;
}

std::string ScoreText(int16_t score) {
  Str255 text{};
  ScoreToString(score, text);
  return text.str();
}

// What an import may change of a class, to compare before and after.
struct ClassImage {
  std::vector<std::string> ids, names, comments, recipients, blindCopies;
  std::vector<std::string> columns;  // per named column: name, category, points, date, scores
  std::vector<int> attendance;       // per student: day * 8 + code of every coded day
  std::vector<std::string> codes, categories;

  static ClassImage Take(int firstColumn = 0) {
    ClassImage image;
    const int t = gCurrentTerm;
    for (int s = 0; s < NumStudents(); s++) {
      image.ids.push_back(gStudents[s].id.str());
      image.names.push_back(gStudents[s].name.str());
      image.comments.push_back(gComments[s][t].str());
      image.recipients.push_back(gEmailAddresses[s].recipients.str());
      image.blindCopies.push_back(gEmailAddresses[s].blindCopies.str());
      for (int d = 0; d < kMaxDays; d++)
        if (gAttendance[s][d] < kMaxCodes) image.attendance.push_back(d * 8 + gAttendance[s][d]);
    }
    for (const CodeRecord& code : gCodes) image.codes.push_back(code.name.str());
    for (const CategoryRecord& category : gCategories[t])
      image.categories.push_back(category.name.str());
    for (int a = firstColumn; a < kMaxAssignments; a++) {
      const AssignmentRecord& r = gAssignments[t][a];
      if (r.name.empty()) continue;
      std::string column = r.name.str() + "|" + gCategories[t][r.category].name.str() + "|" +
                           std::to_string(r.points) + "|" + std::to_string(gAssignDates[t][a]);
      for (int s = 0; s < NumStudents(); s++) column += "|" + std::to_string(gScores[s][t][a]);
      image.columns.push_back(column);
    }
    return image;
  }
};

class TextExchangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    FillExchangeClass([](int day) { return MacDate(2026, 9, day); });
    FlushAll();
  }
};

// The import options that match an export's column choices. Grades (percent, letter,
// tardies) are written and never read.
struct Layout {
  const char* name;
  uint8_t ids, names, comments, emails, headers, scores, codes, grades;

  void Export(uint16_t format) const {
    ResetExportOptions();
    SetExportFormat(format);
    gExportIDs = ids;
    gExportNames = names;
    gExportComments = comments;
    gExportEmails = emails;
    gExportDates = gExportAssignments = gExportCategories = gExportPoints = headers;
    gExportScores = scores;
    gExportCodes = codes;
    gExportTermPcts = gExportTermGrades = gExportTardies = grades;
  }
  void Import(uint16_t format) const {
    ResetImportOptions();
    gImportFormat = format == 1 ? 1 : 2;
    gImportIDs = ids;
    gImportNames = names;
    gImportComments = comments;
    gImportEmails = emails;
    gImportDates = gImportAssignments = gImportCategories = gImportPoints = headers;
    gImportScores = scores;
    gImportCodes = codes;
  }
};

const Layout kLayouts[] = {
    {"roster with addresses", 1, 1, 0, 1, 0, 0, 0, 0},
    {"names and addresses", 0, 1, 0, 1, 0, 0, 0, 0},
    {"scores", 1, 1, 1, 0, 1, 1, 0, 0},
    {"everything a student row holds", 1, 1, 1, 1, 1, 1, 1, 1},
    {"codes", 1, 1, 0, 0, 0, 0, 1, 0},
    {"names and grades", 1, 1, 0, 0, 0, 0, 0, 1},
    {"names, addresses and grades", 0, 1, 0, 1, 0, 0, 0, 1},
};

TEST_F(TextExchangeTest, EveryLayoutReadsInPythonAndImportsBackUnchanged) {
  const ClassImage before = ClassImage::Take();
  for (const Layout& layout : kLayouts) {
    for (uint16_t format : {1, 2, 3}) {
      SCOPED_TRACE(std::string(layout.name) + ", format " + std::to_string(format));
      layout.Export(format);
      const std::string file = Path("layout.txt");
      ExportClass(FileSpec{file});

      // Python reads the names and scores exactly.
      const Table rows = ReadWithPython(file, format == 1 ? "tab" : "comma");
      const size_t headers = layout.headers ? 4 : 0;
      ASSERT_EQ(rows.size(), headers + kExchangeStudentCount);
      for (int s = 0; s < kExchangeStudentCount; s++) {
        const std::vector<std::string>& row = rows[headers + s];
        size_t at = 0;
        if (layout.ids) {
          EXPECT_EQ(row.at(at++), U(before.ids[s]));
        }
        if (layout.names) {
          EXPECT_EQ(row.at(at++), U(before.names[s]));
        }
        if (layout.comments) {
          const std::string comment = U(before.comments[s]);
          EXPECT_EQ(row.at(at++), format == 1 ? Flat(comment) : comment);
        }
        if (layout.emails) {
          EXPECT_EQ(row.at(at++), before.recipients[s]);
          EXPECT_EQ(row.at(at++), before.blindCopies[s]);
        }
        for (int a = 0; layout.scores && a < 3; a++)
          EXPECT_EQ(row.at(at++), ScoreText(kExchangeStudents[s].scores[a]));
      }

      // Imported into the class it came from: no student added, none changed; the
      // score columns arrive as new columns equal to the ones exported.
      layout.Import(format);
      ImportClass(FileSpec{file});
      EXPECT_EQ(gImportReport.students, 0);
      EXPECT_EQ(gImportReport.matched, kExchangeStudentCount);
      const ClassImage after = ClassImage::Take();
      EXPECT_EQ(after.ids, before.ids);
      EXPECT_EQ(after.names, before.names);
      if (format == 1) {
        for (int s = 0; s < kExchangeStudentCount && layout.comments; s++)
          EXPECT_EQ(after.comments[s], Flat(before.comments[s]));
      } else {
        EXPECT_EQ(after.comments, before.comments);
      }
      EXPECT_EQ(after.recipients, before.recipients);
      EXPECT_EQ(after.blindCopies, before.blindCopies);
      EXPECT_EQ(after.attendance, before.attendance);
      EXPECT_EQ(after.codes, before.codes);
      EXPECT_EQ(after.categories, before.categories);
      if (layout.scores) {
        EXPECT_EQ(ClassImage::Take(3).columns, before.columns);
      }
      for (int a = 3; a < kMaxAssignments; a++) {  // back to the class as it was
        gAssignments[gCurrentTerm][a] = AssignmentRecord{};
        for (int s = 0; s < kMaxStudents; s++) gScores[s][gCurrentTerm][a] = kBlank;
      }
      for (int s = 0; s < kExchangeStudentCount; s++)
        gComments[s][gCurrentTerm].setC(kExchangeStudents[s].comment);
      alerts.clear();
    }
  }
}

TEST_F(TextExchangeTest, FilesTheProgramWroteEarlierImportIntoTheirClass) {
  // Mac Roman with lone CRs, as every export was before they became UTF-8.
  struct Case {
    const char* file;
    Layout layout;
    uint16_t format;
  };
  const Case cases[] = {
      {"earlier-grades-tab.txt", kLayouts[2], 1},
      {"earlier-grades-quoted.csv", kLayouts[2], 2},
      {"earlier-grades-comma.csv", kLayouts[2], 3},
      {"earlier-roster-emails-tab.txt", kLayouts[0], 1},
      {"earlier-roster-emails-comma.csv", kLayouts[0], 3},
      {"earlier-codes-comma.csv", kLayouts[4], 3},
  };
  const ClassImage before = ClassImage::Take();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    c.layout.Import(c.format);
    ImportClass(FileSpec{Fixture(c.file)});
    EXPECT_EQ(gImportReport.encoding, ImportEncoding::kMacRoman);
    EXPECT_EQ(gImportReport.students, 0);
    EXPECT_EQ(gImportReport.matched, kExchangeStudentCount);
    const ClassImage after = ClassImage::Take();
    EXPECT_EQ(after.names, before.names);
    EXPECT_EQ(after.ids, before.ids);
    EXPECT_EQ(after.recipients, before.recipients);
    EXPECT_EQ(after.blindCopies, before.blindCopies);
    EXPECT_EQ(after.attendance, before.attendance);
    if (c.layout.comments && c.format != 1) {
      EXPECT_EQ(after.comments, before.comments);
    }
    if (c.layout.scores) {
      EXPECT_EQ(ClassImage::Take(3).columns, before.columns);
    }
    for (int a = 3; a < kMaxAssignments; a++) {
      gAssignments[gCurrentTerm][a] = AssignmentRecord{};
      for (int s = 0; s < kMaxStudents; s++) gScores[s][gCurrentTerm][a] = kBlank;
    }
    ShowImportErrors();
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts.back().title, "Import finished");
    EXPECT_EQ(alerts.size(), 1u) << alerts[0].title;
    alerts.clear();
  }
}

TEST_F(TextExchangeTest, SheetsASpreadsheetSavedImportInEveryEncoding) {
  struct Case {
    const char* file;
    ImportEncoding encoding;
    const char* cafe;       // the second name: the sheet typed its accent as a mark
    const char* lineBreak;  // inside the second comment
    std::vector<int> unclosedQuoteRows;
  };
  // Windows-1252 and Mac Roman have no combining mark: the spreadsheet wrote '?' there.
  const Case cases[] = {
      {"sheet-utf8.csv", ImportEncoding::kUtf8, "Caf\x8E, Zo\x91", "\n", {}},
      {"sheet-utf16.csv", ImportEncoding::kUtf16, "Caf\x8E, Zo\x91", "\n", {}},
      {"sheet-windows1252.csv", ImportEncoding::kWindows1252, "Cafe?, Zo\x91", "\n", {}},
      {"sheet-macroman-cr.csv", ImportEncoding::kMacRoman, "Cafe?, Zo\x91", "\r", {}},
      {"sheet-stray-quote.csv", ImportEncoding::kUtf8, "Caf\x8E, Zo\x91", "\n", {6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    NewClassAt(MacDate(2026, 10, 15));
    ResetImportOptions();
    gImportIDs = gImportNames = gImportComments = 1;
    gImportFormat = 2;
    ImportClass(FileSpec{Fixture(c.file)});
    EXPECT_EQ(gImportReport.encoding, c.encoding);
    const std::vector<std::string> names = {"N\x9C\x96" "ez, Jos\x8E", c.cafe,
                                            "M\x9F" "ller, J\x9F" "rgen", "O'Brien, \"Sam\""};
    const std::vector<std::string> comments = {"Tr\x8Fs bien",
                                               std::string("Line one") + c.lineBreak + "line two",
                                               "\xDB" "5 fee paid", "says \"hi\", twice"};
    ASSERT_GE(NumStudents(), 4);
    for (int s = 0; s < 4; s++) {
      EXPECT_EQ(gStudents[s].id.str(), std::to_string(201 + s));
      EXPECT_EQ(gStudents[s].name.str(), names[s]);
      EXPECT_EQ(gComments[s][gCurrentTerm].str(), comments[s]);
    }
    EXPECT_EQ(gImportReport.unclosedQuoteRows, c.unclosedQuoteRows);
    EXPECT_TRUE(gImportReport.unconvertedRows.empty());
    EXPECT_TRUE(gImportReport.namelessRows.empty());  // the empty row is skipped
    if (c.unclosedQuoteRows.empty()) {
      EXPECT_EQ(NumStudents(), 4);
    } else {  // the rows after the stray quote are still read
      ASSERT_EQ(NumStudents(), 6);
      EXPECT_EQ(gStudents[4].name.str(), "Lee Bud,never closed");
      EXPECT_EQ(gStudents[5].name.str(), "Zed Ann");
      EXPECT_EQ(gComments[5][gCurrentTerm].str(), "last row");
    }
  }

  // The spreadsheet's own file is no text: refused, the class as it was.
  NewClassAt(MacDate(2026, 10, 15));
  alerts.clear();
  ImportClass(FileSpec{Fixture("sheet-binary.ods")});
  EXPECT_EQ(NumStudents(), 0);
  EXPECT_EQ(gChanged, 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Unable to import");
}

}  // namespace
