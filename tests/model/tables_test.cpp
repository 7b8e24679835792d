// The class tables: defaults of a new class, the school year's layout, the school week,
// counts and seats.
#include <gtest/gtest.h>

#include "marktally/model/accessors.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace {

class TablesTest : public ModelTest {};

TEST_F(TablesTest, NewClassHoldsTheDefaults) {
  gClass.flags = 0xFF;  // only 0x80 survives into the next class
  NewClassAt(MacDate(2026, 10, 15, 9));
  EXPECT_EQ(gClass.lastTerm, 3);
  EXPECT_EQ(gClass.examWeight, 0);
  EXPECT_EQ(gClass.examScope, 1);
  EXPECT_EQ(gClass.school.str(), "school");
  EXPECT_EQ(gClass.subject.str(), "subject");
  EXPECT_EQ(gClass.teacher.str(), "teacher");
  EXPECT_TRUE(gClass.passwordDigest.empty());
  EXPECT_EQ(gClass.savedTime, 0u);
  EXPECT_EQ(gClass.createdTime, MacDate(2026, 10, 15, 9));
  EXPECT_EQ(gClass.reserved, 1904u);
  EXPECT_EQ(gClass.flags, 0xB0);
  EXPECT_EQ(gClass.currentTerm, 0);  // mid October is in the first quarter
  EXPECT_EQ(gReportOptions, 0x10EF);
  EXPECT_EQ(gExportData.classCode.str(), "class ID");
  EXPECT_EQ(gExportData.section.str(), "01");

  const char* letters[] = {"F", "D-", "D", "D+", "C-", "C", "C+",
                           "B-", "B", "B+", "A-", "A", "A+"};
  const uint16_t cutoffs[] = {600, 630, 670, 700, 730, 770, 800, 830, 870, 900, 930, 970};
  for (int i = 0; i < 13; i++) EXPECT_EQ(gLetterGrades[i].str(), letters[i]);
  for (int i = 0; i < 12; i++) EXPECT_EQ(gCutoffs[i], cutoffs[i]);

  EXPECT_EQ(gCategories[0][0].name.str(), "Tests");
  EXPECT_EQ(gCategories[0][0].weight, 50);
  EXPECT_EQ(gCategories[0][1].name.str(), "Homework");
  EXPECT_EQ(gCategories[0][9].name.str(), "Ungraded");
  EXPECT_EQ(gCategories[0][9].weight, kNone);
  for (int t = 0; t < kMaxTerms; t++) {
    EXPECT_EQ(gCategories[t][10].name.str(), "Final Exams");
    EXPECT_EQ(gCategories[t][10].weight, 0);
    EXPECT_EQ(gCategories[t][11].name.str(), "Extra Credit");
    EXPECT_EQ(gCategories[t][11].weight, 10);
    EXPECT_EQ(gGrading[t], 0);
    for (int a = 0; a < kMaxAssignments; a++) {
      EXPECT_TRUE(gAssignments[t][a].name.empty());
      EXPECT_EQ(gAssignments[t][a].category, 1);
      EXPECT_EQ(gAssignments[t][a].points, 100);
      EXPECT_EQ(gAssignDates[t][a], MacDate(2026, 10, 15, 9));
    }
  }
  EXPECT_TRUE(gCategories[1][0].name.empty());

  const char* specials[] = {"Exc", "Abs", "Inc", "", "", "", "", ""};
  const uint16_t kinds[] = {1, 3, 3, 2, 2, 2, 2, 2};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(gSpecialScores[i].name.str(), specials[i]);
    EXPECT_EQ(gSpecialScores[i].kind, kinds[i]);
  }
  const char* codes[] = {"Ab", "Ex", "T", "", "", "", "", ""};
  const uint16_t codeKinds[] = {1, 1, 2, 1, 1, 1, 1, 1};
  const uint16_t codeValues[] = {10, 0, 10, 10, 10, 10, 10, 10};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(gCodes[i].name.str(), codes[i]);
    EXPECT_EQ(gCodes[i].kind, codeKinds[i]);
    EXPECT_EQ(gCodes[i].value, codeValues[i]);
  }
  const char* quarters[] = {"1st Quarter", "2nd Quarter", "3rd Quarter",
                            "4th Quarter", "5th Term",    "6th Term"};
  for (int t = 0; t < 6; t++) EXPECT_EQ(gTermNames[t].str(), quarters[t]);
  EXPECT_EQ(gFootnoteText[0].str(), "Late");
  EXPECT_TRUE(gFootnoteText[1].empty());
  const uint8_t week[] = {1, 1, 1, 1, 1, 0, 0};
  for (int i = 0; i < 7; i++) EXPECT_EQ(gSchoolWeek[i], week[i]);
  EXPECT_EQ(gSeatingChart.rows, 6);
  EXPECT_EQ(gSeatingChart.columns, 6);
  EXPECT_EQ(gSeatingChart.seats[19][19], kNone);
  EXPECT_EQ(gEmailData.port, 25);
  EXPECT_EQ(gAttendGrade.flags, 0);

  for (int s : {0, 249}) {
    const StudentRecord& r = gStudents[s];
    EXPECT_TRUE(r.name.empty());
    for (int t = 0; t < 6; t++) {
      EXPECT_EQ(r.termPercent[t], kNone);
      EXPECT_EQ(r.lockedPercent[t], kNone);
      EXPECT_EQ(r.semesterPercent[t], kNone);
      EXPECT_EQ(r.dropped[t][11], kFreeDropSlot);
      EXPECT_EQ(r.reserved1[t][0], kNone);
      EXPECT_EQ(r.absences[t], 0);
      EXPECT_EQ(gScores[s][t][149], kBlank);
      EXPECT_EQ(gFootnotes[s][t][0], kNoMark);
    }
    EXPECT_EQ(gAttendance[s][359], kNoMark);
  }
}

TEST_F(TablesTest, NewClassSaveOptionsKeepsOptionsAndEmptiesTheClass) {
  gClass.school.setC("Hill School");
  gClass.passwordDigest.setC("digest");
  gClass.savedTime = 77;
  gCategories[0][3].name.setC("Labs");
  gCutoffs[0] = 550;
  gCodes[4].name.setC("Fld");
  gHolidays[10] = 1;
  gEmailData.server.setC("mail.example");
  AddStudent("Ada Lovelace", "7");
  int16_t a = AddAssignment("Quiz");
  SetScore(0, a, 90);
  gComments[0][0].setC("good");
  gFootnoteText[3].setC("Redo");
  gSeatingChart.rows = 3;
  gSeatingChart.seats[0][0] = 0;

  SetClockForTesting(MacDate(2027, 2, 1));
  NewClassSaveOptions();

  EXPECT_EQ(gClass.school.str(), "Hill School");
  EXPECT_TRUE(gClass.passwordDigest.empty());
  EXPECT_EQ(gClass.savedTime, 0u);
  EXPECT_EQ(gClass.createdTime, MacDate(2027, 2, 1));
  EXPECT_EQ(gCategories[0][3].name.str(), "Labs");
  EXPECT_EQ(gCutoffs[0], 550);
  EXPECT_EQ(gCodes[4].name.str(), "Fld");
  EXPECT_EQ(gHolidays[10], 1);
  EXPECT_EQ(gEmailData.server.str(), "mail.example");
  EXPECT_EQ(NumStudents(), 0);
  EXPECT_TRUE(gAssignments[0][a].name.empty());
  EXPECT_EQ(gScores[0][0][a], kBlank);
  EXPECT_TRUE(gComments[0][0].empty());
  EXPECT_TRUE(gFootnoteText[3].empty());
  EXPECT_EQ(gFootnoteText[0].str(), "Late");
  EXPECT_EQ(gSeatingChart.rows, 6);
  EXPECT_EQ(gSeatingChart.seats[0][0], kNone);
  EXPECT_EQ(gClass.currentTerm, 2);  // 1 February falls in the third quarter
}

struct Day {
  int y, m, d, hh, mi, ss;
};
struct Ymd {
  int y, m, d;
};
struct TermLayoutCase {
  Ymd today;
  int lastTerm;
  std::vector<std::pair<Day, Day>> terms;
};

uint32_t Secs(const Day& d) { return MacDate(d.y, d.m, d.d, d.hh, d.mi, d.ss); }

TEST_F(TablesTest, NewTermDatesLaysOutTheSchoolYear) {
  // Worked out by hand from the rules: the year starts on the Tuesday after the first
  // Monday of September (of the previous year up to June), terms are 252 days / n+1
  // long with two-week breaks, and a one-term class laid out from February to July
  // takes the second half-year.
  const std::vector<TermLayoutCase> cases = {
    {{2027, 3, 10}, 0, {{{2027, 1, 25, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 3, 10}, 1, {{{2026, 9, 8, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 3, 10}, 2, {{{2026, 9, 8, 12, 0, 0}, {2026, 11, 27, 12, 0, 0}}, {{2026, 11, 30, 12, 0, 0}, {2027, 3, 5, 12, 0, 0}}, {{2027, 3, 8, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 3, 10}, 3, {{{2026, 9, 8, 12, 0, 0}, {2026, 11, 6, 12, 0, 0}}, {{2026, 11, 9, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 4, 9, 12, 0, 0}}, {{2027, 4, 12, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 3, 10}, 4, {{{2026, 9, 8, 12, 0, 0}, {2026, 10, 24, 21, 36, 0}}, {{2026, 10, 27, 21, 36, 0}, {2026, 12, 14, 7, 12, 0}}, {{2026, 12, 17, 7, 12, 0}, {2027, 2, 2, 16, 48, 0}}, {{2027, 2, 5, 16, 48, 0}, {2027, 3, 25, 2, 24, 0}}, {{2027, 3, 28, 2, 24, 0}, {2027, 5, 14, 12, 0, 0}}}},
    {{2027, 3, 10}, 5, {{{2026, 9, 8, 12, 0, 0}, {2026, 10, 16, 12, 0, 0}}, {{2026, 10, 19, 12, 0, 0}, {2026, 11, 27, 12, 0, 0}}, {{2026, 11, 30, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 3, 5, 12, 0, 0}}, {{2027, 3, 8, 12, 0, 0}, {2027, 4, 30, 12, 0, 0}}, {{2027, 5, 3, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 6, 30}, 0, {{{2027, 1, 25, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 6, 30}, 1, {{{2026, 9, 8, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 6, 30}, 2, {{{2026, 9, 8, 12, 0, 0}, {2026, 11, 27, 12, 0, 0}}, {{2026, 11, 30, 12, 0, 0}, {2027, 3, 5, 12, 0, 0}}, {{2027, 3, 8, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 6, 30}, 3, {{{2026, 9, 8, 12, 0, 0}, {2026, 11, 6, 12, 0, 0}}, {{2026, 11, 9, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 4, 9, 12, 0, 0}}, {{2027, 4, 12, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 6, 30}, 4, {{{2026, 9, 8, 12, 0, 0}, {2026, 10, 24, 21, 36, 0}}, {{2026, 10, 27, 21, 36, 0}, {2026, 12, 14, 7, 12, 0}}, {{2026, 12, 17, 7, 12, 0}, {2027, 2, 2, 16, 48, 0}}, {{2027, 2, 5, 16, 48, 0}, {2027, 3, 25, 2, 24, 0}}, {{2027, 3, 28, 2, 24, 0}, {2027, 5, 14, 12, 0, 0}}}},
    {{2027, 6, 30}, 5, {{{2026, 9, 8, 12, 0, 0}, {2026, 10, 16, 12, 0, 0}}, {{2026, 10, 19, 12, 0, 0}, {2026, 11, 27, 12, 0, 0}}, {{2026, 11, 30, 12, 0, 0}, {2027, 1, 22, 12, 0, 0}}, {{2027, 1, 25, 12, 0, 0}, {2027, 3, 5, 12, 0, 0}}, {{2027, 3, 8, 12, 0, 0}, {2027, 4, 30, 12, 0, 0}}, {{2027, 5, 3, 12, 0, 0}, {2027, 6, 11, 12, 0, 0}}}},
    {{2027, 7, 1}, 0, {{{2028, 1, 24, 12, 0, 0}, {2028, 6, 9, 12, 0, 0}}}},
    {{2027, 7, 1}, 1, {{{2027, 9, 7, 12, 0, 0}, {2028, 1, 21, 12, 0, 0}}, {{2028, 1, 24, 12, 0, 0}, {2028, 6, 9, 12, 0, 0}}}},
    {{2027, 7, 1}, 2, {{{2027, 9, 7, 12, 0, 0}, {2027, 11, 26, 12, 0, 0}}, {{2027, 11, 29, 12, 0, 0}, {2028, 3, 3, 12, 0, 0}}, {{2028, 3, 6, 12, 0, 0}, {2028, 6, 9, 12, 0, 0}}}},
    {{2027, 7, 1}, 3, {{{2027, 9, 7, 12, 0, 0}, {2027, 11, 5, 12, 0, 0}}, {{2027, 11, 8, 12, 0, 0}, {2028, 1, 21, 12, 0, 0}}, {{2028, 1, 24, 12, 0, 0}, {2028, 4, 7, 12, 0, 0}}, {{2028, 4, 10, 12, 0, 0}, {2028, 6, 9, 12, 0, 0}}}},
    {{2027, 7, 1}, 4, {{{2027, 9, 7, 12, 0, 0}, {2027, 10, 23, 21, 36, 0}}, {{2027, 10, 26, 21, 36, 0}, {2027, 12, 13, 7, 12, 0}}, {{2027, 12, 16, 7, 12, 0}, {2028, 2, 1, 16, 48, 0}}, {{2028, 2, 4, 16, 48, 0}, {2028, 3, 23, 2, 24, 0}}, {{2028, 3, 26, 2, 24, 0}, {2028, 5, 12, 12, 0, 0}}}},
    {{2027, 7, 1}, 5, {{{2027, 9, 7, 12, 0, 0}, {2027, 10, 15, 12, 0, 0}}, {{2027, 10, 18, 12, 0, 0}, {2027, 11, 26, 12, 0, 0}}, {{2027, 11, 29, 12, 0, 0}, {2028, 1, 21, 12, 0, 0}}, {{2028, 1, 24, 12, 0, 0}, {2028, 3, 3, 12, 0, 0}}, {{2028, 3, 6, 12, 0, 0}, {2028, 4, 28, 12, 0, 0}}, {{2028, 5, 1, 12, 0, 0}, {2028, 6, 9, 12, 0, 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.today.y << "-" << c.today.m << "-" << c.today.d
                                    << " lastTerm " << c.lastTerm);
    SetClockForTesting(MacDate(c.today.y, c.today.m, c.today.d, 9));
    TermDatesRecord dates[kMaxTerms] = {};
    NewTermDates(static_cast<int16_t>(c.lastTerm), dates);
    for (size_t t = 0; t < c.terms.size(); t++) {
      EXPECT_EQ(dates[t].start, Secs(c.terms[t].first)) << "start of term " << t;
      EXPECT_EQ(dates[t].end, Secs(c.terms[t].second)) << "end of term " << t;
    }
  }
}

TEST_F(TablesTest, SchoolWeekMapsDaysToColumns) {
  // Term 0 of the 2026/27 year starts on Tuesday 8 September (gFirstDay 1).
  gCurrentTerm = 0;
  gFirstDay = 1;
  SetupSchoolWeek();
  EXPECT_EQ(gLastDay, 4);  // Friday
  // Tue..Fri are columns 0..3; Sat and Sun map to Monday's column 4.
  const int16_t expectColumn[] = {0, 1, 2, 3, 4, 4, 4, 5};
  for (int d = 0; d < 8; d++) EXPECT_EQ(gDayToColumn[d], expectColumn[d]) << "day " << d;
  EXPECT_EQ(gColumnToDay[4], 6);

  // A holiday loses its column only with flag 0x04.
  gHolidays[1] = 1;
  SetupSchoolWeek();
  EXPECT_EQ(gColumnToDay[1], 1);
  gClass.flags |= kHolidaysNoColumn;
  SetupSchoolWeek();
  EXPECT_EQ(gDayToColumn[1], 1);
  EXPECT_EQ(gColumnToDay[1], 2);  // Wednesday's holiday maps to Thursday's column

  // Sunday as a school day.
  gSchoolWeek[6] = 1;
  SetupSchoolWeek();
  EXPECT_EQ(gLastDay, 6);
}

TEST_F(TablesTest, SchoolWeekNeverLeavesTheAttendanceTable) {
  // Term dates from a damaged document: a term reaching past day 359, and one that
  // starts before term 0.
  gCurrentTerm = 1;
  gTermDates[1].start = gTermDates[0].start + 300 * 86400u;
  gTermDates[1].end = gTermDates[0].start + 1000 * 86400u;
  SetupSchoolWeek();
  for (int c = 0; c < 512; c++) EXPECT_LE(gColumnToDay[c], 360);
  EXPECT_EQ(gColumnToDay[511], 360);  // past the last column: the day after the term
  EXPECT_EQ(gDayToColumn[0], 0);        // before the term: its first column
  EXPECT_EQ(gDayToColumn[299], 0);
  EXPECT_EQ(gDayToColumn[400], gDayToColumn[359] + 1);  // after it: past its last

  gTermDates[1].start = gTermDates[0].start - 10 * 86400u;
  gTermDates[1].end = gTermDates[0].start + 3 * 86400u;
  SetupSchoolWeek();
  EXPECT_EQ(gColumnToDay[0], 0);
}

TEST_F(TablesTest, SchoolWeekOfATermOutsideTheTableOrBackwardsLeavesNothingStale) {
  gCurrentTerm = 0;
  SetupSchoolWeek();  // the tables of a normal term first
  gCurrentTerm = 1;
  struct {
    int startDay, endDay;
  } const cases[] = {{600, 700}, {512, 513}, {100, 50}, {-40, -20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.startDay << ".." << c.endDay);
    gTermDates[1].start = gTermDates[0].start + static_cast<uint32_t>(c.startDay * 86400);
    gTermDates[1].end = gTermDates[0].start + static_cast<uint32_t>(c.endDay * 86400);
    std::fill(std::begin(gColumnToDay), std::end(gColumnToDay), int16_t{77});
    std::fill(std::begin(gDayToColumn), std::end(gDayToColumn), int16_t{77});
    SetupSchoolWeek();
    // No columns: every day maps to column 0, every column to no day of the table.
    for (int d = 0; d < 512; d++) ASSERT_EQ(gDayToColumn[d], 0) << d;
    for (int col = 0; col < 512; col++) ASSERT_EQ(ColumnDay(col), -1) << col;
  }
}

TEST_F(TablesTest, AccessorsKeepIndexesInsideTheTables) {
  gCurrentTerm = 9;  // as a damaged document could leave it
  gClass.lastTerm = 40;
  EXPECT_EQ(CurrentTermIndex(), kMaxTerms - 1);
  EXPECT_EQ(LastTermIndex(), kMaxTerms - 1);
  gClass.lastTerm = -3;
  EXPECT_EQ(LastTermIndex(), 0);
  gCurrentTerm = 2;
  EXPECT_EQ(CurrentTermIndex(), 2);
  const struct {
    int index;
    bool term, student, column;
  } cases[] = {{-1, false, false, false}, {0, true, true, true},     {5, true, true, true},
               {6, false, true, true},    {149, false, true, true},  {150, false, true, false},
               {249, false, true, false}, {250, false, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(ValidTerm(c.index), c.term) << c.index;
    EXPECT_EQ(ValidStudent(c.index), c.student) << c.index;
    EXPECT_EQ(ValidColumn(c.index), c.column) << c.index;
  }
  gCurrentTerm = 0;
  SetupSchoolWeek();
  EXPECT_EQ(ColumnDay(0), gColumnToDay[0]);
  EXPECT_EQ(ColumnDay(-1), -1);
  EXPECT_EQ(ColumnDay(512), -1);
  gColumnToDay[3] = 400;  // a day past the attendance table has no cell
  EXPECT_EQ(ColumnDay(3), -1);
}

TEST_F(TablesTest, CopyGradingOptionsFillsAChainOfEmptyTerms) {
  gCategories[0][2].name.setC("Labs");
  gCategories[0][2].drop = 2;
  gGrading[0] = 1;
  gHeader[0].setC("Welcome");
  CopyGradingOptions(3);
  for (int t = 1; t <= 3; t++) {
    EXPECT_EQ(gCategories[t][0].name.str(), "Tests");
    EXPECT_EQ(gCategories[t][2].name.str(), "Labs");
    EXPECT_EQ(gCategories[t][2].drop, 2);
    EXPECT_EQ(gGrading[t], 1);
    EXPECT_EQ(gHeader[t].str(), "Welcome");
  }
  EXPECT_EQ(gChanged, 1);
  EXPECT_TRUE(gCategories[4][0].name.empty());

  // A term that already has a category keeps its own.
  gCategories[4][5].name.setC("Own");
  gGrading[4] = 0;
  SetChanged(0);
  CopyGradingOptions(4);
  EXPECT_TRUE(gCategories[4][0].name.empty());
  EXPECT_EQ(gChanged, 0);
}

TEST_F(TablesTest, CurrentTermFollowsTheClock) {
  struct {
    Day now;
    int16_t term;
  } const cases[] = {
      {{2026, 9, 1, 9, 0, 0}, 0},     // before the year: the first term
      {{2026, 11, 6, 23, 59, 0}, 0},  // the last day of a term still belongs to it
      {{2026, 11, 7, 12, 0, 0}, 1},
      {{2027, 4, 12, 12, 0, 0}, 3},
      {{2027, 8, 1, 12, 0, 0}, 0},  // after the last term
  };
  for (const auto& c : cases) {
    gClass.currentTerm = 5;
    SetClockForTesting(Secs(c.now));
    EXPECT_EQ(CurrentTerm(), c.term) << c.now.y << "-" << c.now.m << "-" << c.now.d;
    if (c.now.m == 8) {
      EXPECT_EQ(gClass.currentTerm, 5);  // left alone when none matches
    }
  }
}

TEST_F(TablesTest, CountsFollowTheirRules) {
  EXPECT_EQ(NumStudents(), 0);
  AddStudent("A");
  AddStudent("B");
  AddStudent("C");
  gStudents[5].name.setC("after a gap");
  EXPECT_EQ(NumStudents(), 3);
  for (int s = 0; s < kMaxStudents; s++) gStudents[s].name.setC("x");
  EXPECT_EQ(NumStudents(), 250);
  for (int s = 3; s < kMaxStudents; s++) gStudents[s].name.clear();

  EXPECT_EQ(NumCategories(), 2);  // Tests and Homework; Ungraded is not counted
  gClass.examWeight = 200;
  EXPECT_EQ(NumCategories(), 3);
  gClass.examScope = 2;
  EXPECT_EQ(NumCategories(), 2);
  gClass.lastTerm = 1;
  EXPECT_EQ(NumCategories(), 3);

  const int16_t quiz = AddAssignment("Quiz", 0, 10);
  const int16_t exam = AddAssignment("Exam", 10, 100);
  const int16_t ungraded = AddAssignment("Survey", 9, 5);
  const int16_t unscored = AddAssignment("Later", 1, 10);
  const int16_t zero = AddAssignment("Bonus-free", 1, 0);
  EXPECT_EQ(NumAssignments(), 5);
  EXPECT_EQ(NumActualAssignments(), 0);
  EXPECT_EQ(LastActualAssignment(), 0);
  SetScore(0, quiz, 80);
  SetScore(0, exam, 800);
  SetScore(0, ungraded, 50);
  SetScore(1, zero, 0);
  EXPECT_EQ(NumActualAssignments(), 2);  // the quiz and the 0-point column
  EXPECT_EQ(LastActualAssignment(), zero);
  (void)unscored;
  SetScore(0, AddAssignment("Extra", kExtraCreditCategory, 5), 50);  // 1 and 2 left blank

  // Missing work: blank or missing specials in scored, counted columns with points; never
  // the exam or extra credit.
  SetScore(1, quiz, kBlank);
  SetScore(2, quiz, -19);  // "Abs", kind 3: not counted but missing
  EXPECT_EQ(NumMissing(0), 0);
  EXPECT_EQ(NumMissing(1), 1);
  EXPECT_EQ(NumMissing(2), 1);
  SetScore(2, quiz, -20);  // "Exc"
  EXPECT_EQ(NumMissing(2), 0);
}

TEST_F(TablesTest, FindSeatSearchesRowByRow) {
  uint16_t row, column;
  FindSeat(3, row, column);
  EXPECT_EQ(row, kNone);
  EXPECT_EQ(column, kNone);
  gSeatingChart.seats[2][4] = 3;
  gSeatingChart.seats[4][1] = 3;
  FindSeat(3, row, column);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 4);
  gSeatingChart.rows = 0;
  FindSeat(3, row, column);
  EXPECT_EQ(row, kNone);
  // A chart size from a damaged file never reads past the table.
  gSeatingChart.rows = 900;
  gSeatingChart.columns = 900;
  FindSeat(77, row, column);
  EXPECT_EQ(row, kNone);
}

TEST_F(TablesTest, MakeClassCurrentBringsComputedTablesUpToDate) {
  AddStudent("Ada");
  const int16_t a = AddAssignment("Quiz", 0, 10);
  gScores[0][0][a] = 90;  // stored without the count, as a document is read
  gClass.currentTerm = 9;  // beyond lastTerm: falls back to today's term
  MakeClassCurrent();
  EXPECT_EQ(gCurrentTerm, 0);
  EXPECT_EQ(gNumScores[0][a], 1);
  EXPECT_EQ(gStudents[0].termPercent[0], 900);
  EXPECT_EQ(gFirstDay, 1);  // term 0 starts on a Tuesday
}

}  // namespace
