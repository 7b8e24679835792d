// Dates as text and back in the three regional orders, the week and month questions of
// the attendance grid, and the attendance tallies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "model_fixture.h"

namespace {

class DatesTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    UseRegion(0, '/');
  }
  void UseRegion(int order, unsigned char separator) {
    region.present = true;
    region.shortOrder = order;
    region.longOrder = order;
    region.separator = separator;
    SetRegionDateFormatForTesting(&region);
    SetupDateFormat();
  }
};

std::string Text(void (*f)(uint32_t, Str255&), uint32_t seconds) {
  Str255 text;
  f(seconds, text);
  return text.str();
}

uint32_t Parse(const char* text) {
  uint32_t seconds = 12345;
  StringToSeconds(PStr(text), seconds);
  return seconds;
}

TEST_F(DatesTest, RegionSetsTheFormatsOrLeavesThem) {
  UseRegion(1, '.');
  EXPECT_EQ(gSDateFormat, 1);
  EXPECT_EQ(gLDateFormat, 1);
  EXPECT_EQ(gSeparator.str(), ".");

  region.present = false;  // a region that says nothing keeps what was there
  region.shortOrder = 2;
  region.separator = '-';
  SetRegionDateFormatForTesting(&region);
  SetupDateFormat();
  EXPECT_EQ(gSDateFormat, 1);
  EXPECT_EQ(gSeparator.str(), ".");

  UseRegion(7, '/');  // any order the region may report beyond the known two
  EXPECT_EQ(gSDateFormat, 2);
  EXPECT_EQ(gLDateFormat, 2);
}

TEST_F(DatesTest, DateTextsFollowTheRegionalOrder) {
  struct Case {
    int order;
    unsigned char separator;
    const char* longText;
    const char* numeric;
    const char* shortText;
  };
  const Case cases[] = {
      {0, '/', "September 5, 2026", "9/5/2026", "9/5"},
      {1, '.', "5 September 2026", "5.9.2026", "5.9"},
      {2, '-', "2026 September 5", "2026-9-5", "9-5"},
  };
  const uint32_t date = MacDate(2026, 9, 5, 17, 30);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    UseRegion(c.order, c.separator);
    EXPECT_EQ(Text(DateToString, date), c.longText);
    EXPECT_EQ(Text(SecondsToString, date), c.numeric);
    EXPECT_EQ(Text(SecondsToShortString, date), c.shortText);
    // What is written reads back as the same day at noon.
    EXPECT_EQ(Parse(c.numeric), MacDate(2026, 9, 5));
  }
  UseRegion(0, '/');
  EXPECT_EQ(Text(DateToString, MacDate(1999, 12, 31)), "December 31, 1999");
  EXPECT_EQ(Text(SecondsToString, MacDate(2030, 1, 2)), "1/2/2030");
}

TEST_F(DatesTest, StringToSecondsReadsDatesAndRefusesTheRest) {
  struct Case {
    int order;
    unsigned char separator;
    uint32_t now;
    const char* text;
    int year, month, day;  // year 0: refused
  };
  const uint32_t oct26 = MacDate(2026, 10, 15);
  const uint32_t mar27 = MacDate(2027, 3, 15);
  const Case cases[] = {
      // The school year of a date typed without a year.
      {0, '/', mar27, "9/12", 2026, 9, 12},
      {0, '/', oct26, "9/12", 2026, 9, 12},
      {0, '/', mar27, "6/30", 2027, 6, 30},
      {0, '/', MacDate(2027, 5, 31), "7/1", 2026, 7, 1},
      {0, '/', MacDate(2027, 6, 1), "7/1", 2027, 7, 1},
      {0, '/', mar27, "9/12/0", 2026, 9, 12},
      {0, '/', oct26, "12/9/27", 2027, 12, 9},
      // Separators and years.
      {0, '/', oct26, "9-12-26", 2026, 9, 12},
      {0, '/', oct26, "9.12.26", 2026, 9, 12},
      {0, '/', oct26, "0009/012/0026", 2026, 9, 12},
      {0, ':', oct26, "9:12:26", 2026, 9, 12},
      {0, '/', oct26, "9:12:26", 0, 0, 0},
      {0, '/', oct26, "1/1/39", 2039, 1, 1},
      {0, '/', oct26, "1/1/40", 1940, 1, 1},
      {0, '/', oct26, "1/1/99", 1999, 1, 1},
      {0, '/', oct26, "1/1/100", 0, 0, 0},
      {0, '/', oct26, "1/1/1939", 0, 0, 0},
      {0, '/', oct26, "1/1/1940", 1940, 1, 1},
      {0, '/', oct26, "2/5/2040", 2040, 2, 5},
      {0, '/', oct26, "2/6/2040", 0, 0, 0},  // its noon is past the clock's last second
      // Days the calendar does not have.
      {0, '/', oct26, "2/29/2027", 0, 0, 0},
      {0, '/', oct26, "2/29/2028", 2028, 2, 29},
      {0, '/', oct26, "4/31/2026", 0, 0, 0},
      {0, '/', oct26, "13/1/26", 0, 0, 0},
      {0, '/', oct26, "1/32/26", 0, 0, 0},
      {0, '/', oct26, "0/1/26", 0, 0, 0},
      {0, '/', oct26, "1/0/26", 0, 0, 0},
      // Not a date at all.
      {0, '/', oct26, "", 0, 0, 0},
      {0, '/', oct26, "9", 0, 0, 0},
      {0, '/', oct26, "9/", 0, 0, 0},
      {0, '/', oct26, "9//26", 0, 0, 0},
      {0, '/', oct26, "9/12/26x", 0, 0, 0},
      {0, '/', oct26, "9/12/26/", 0, 0, 0},
      {0, '/', oct26, "9/12/26/1", 0, 0, 0},
      {0, '/', oct26, "9 12 26", 0, 0, 0},
      {0, '/', oct26, " 9/12", 0, 0, 0},
      {0, '/', oct26, "Sep 12", 0, 0, 0},
      // Digit runs that would wrap into a plausible number in 16 or 32 bits.
      {0, '/', oct26, "65545/12/26", 0, 0, 0},
      {0, '/', oct26, "4294967305/12/26", 0, 0, 0},
      {0, '/', oct26, "9/12/65562", 0, 0, 0},
      {0, '/', oct26, "9/99999999999999999999999", 0, 0, 0},
      // Day first.
      {1, '.', oct26, "12.9.26", 2026, 9, 12},
      {1, '.', mar27, "12/9", 2026, 9, 12},
      {1, '.', oct26, "31.4.2026", 0, 0, 0},
      // Year first with three numbers; two numbers stay month and day.
      {2, '-', oct26, "2026-9-12", 2026, 9, 12},
      {2, '-', oct26, "26-9-12", 2026, 9, 12},
      {2, '-', oct26, "9-12", 2026, 9, 12},
      {2, '-', oct26, "2026-2-30", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    UseRegion(c.order, c.separator);
    SetClockForTesting(c.now);
    const uint32_t expected = c.year ? MacDate(c.year, c.month, c.day) : 0;
    EXPECT_EQ(Parse(c.text), expected);
  }
}

// ---- The attendance grid and tallies --------------------------------------------------
// The new class of the fixture has four quarters; the first starts on Tuesday
// 8 September 2026 and ends on Friday 6 November, the second starts on 9 November.
class AttendanceTest : public DatesTest {
 protected:
  int Day(int year, int month, int day) const {
    return static_cast<int>((MacDate(year, month, day) - gTermDates[0].start) / 86400);
  }
  void Mark(int16_t student, int year, int month, int day, uint8_t code) {
    gAttendance[student][Day(year, month, day)] = code;
  }
  void Tally() {
    UpdateAttendance();
    ComputeAttendanceTotals();
  }
  int16_t student = 0;
  void SetUp() override {
    DatesTest::SetUp();
    student = AddStudent("Ada Byron");
    AddStudent("Alan Turing");
  }
};

TEST_F(AttendanceTest, TheFirstTermIsLaidOutAsTheTestsAssume) {
  EXPECT_EQ(gTermDates[0].start, MacDate(2026, 9, 8));
  EXPECT_EQ(gTermDates[0].end, MacDate(2026, 11, 6));
  EXPECT_EQ(gTermDates[1].start, MacDate(2026, 11, 9));
  EXPECT_EQ(gFirstDay, 1);
}

TEST_F(AttendanceTest, MarksCountOnTheSchoolDaysOfTheirTerm) {
  Mark(student, 2026, 9, 9, 0);    // Wednesday, absent
  Mark(student, 2026, 9, 10, 2);   // Thursday, tardy
  Mark(student, 2026, 9, 11, 1);   // Friday, excused: an absence worth 0
  Mark(student, 2026, 9, 12, 0);   // Saturday
  Mark(student, 2026, 9, 13, 0);   // Sunday
  Mark(student, 2026, 11, 6, 0);   // last day of the first term
  Mark(student, 2026, 11, 10, 0);  // second term
  Mark(student, 2026, 11, 11, 2);
  Mark(1, 2026, 11, 12, 0);
  Tally();

  const StudentRecord& r = gStudents[student];
  EXPECT_EQ(r.absences[0], 20);
  EXPECT_EQ(r.tardies[0], 10);
  EXPECT_EQ(r.absences[1], 10);
  EXPECT_EQ(r.tardies[1], 10);
  EXPECT_EQ(r.absences[2], 0);
  EXPECT_EQ(gStudents[1].absences[1], 10);
  EXPECT_EQ(gStudents[1].absences[0], 0);

  EXPECT_EQ(gAttendanceTotals[student][0][0], 2);
  EXPECT_EQ(gAttendanceTotals[student][0][1], 1);
  EXPECT_EQ(gAttendanceTotals[student][0][2], 1);
  EXPECT_EQ(gAttendanceTotals[student][1][0], 1);
  EXPECT_EQ(gAttendanceTotals[student][1][2], 1);
}

TEST_F(AttendanceTest, ASundayMadeASchoolDayCountsInBothTallies) {
  Mark(student, 2026, 9, 13, 0);
  gSchoolWeek[6] = 1;
  Tally();
  EXPECT_EQ(gStudents[student].absences[0], 10);
  EXPECT_EQ(gAttendanceTotals[student][0][0], 1);
}

TEST_F(AttendanceTest, ACodeWithoutANameCountsOnlyInTheTotals) {
  Mark(student, 2026, 9, 9, 0);
  Mark(student, 2026, 9, 10, 5);  // an unused code, absence kind by default
  gCodes[0].name.clear();
  Tally();
  EXPECT_EQ(gStudents[student].absences[0], 0);
  EXPECT_EQ(gAttendanceTotals[student][0][0], 1);
  EXPECT_EQ(gAttendanceTotals[student][0][5], 1);
}

// A holiday counts nowhere whether or not it has a column of its own; with flag 0x04
// it has none and its day maps to the column of the next school day.
TEST_F(AttendanceTest, HolidaysCountNowhereWithOrWithoutTheirColumn) {
  const int holiday = Day(2026, 10, 12);  // a Monday
  gHolidays[holiday] = 1;
  const int lastDay = Day(2026, 11, 6);
  for (bool noColumn : {false, true}) {
    SCOPED_TRACE(noColumn);
    gClass.flags = static_cast<uint8_t>(noColumn ? gClass.flags | kHolidaysNoColumn
                                                 : gClass.flags & ~kHolidaysNoColumn);
    SetupSchoolWeek();
    const int columns = gDayToColumn[lastDay] + 1;  // the term ends on a Friday
    bool holidayHasColumn = false;
    for (int c = 0; c < columns; c++) holidayHasColumn |= gColumnToDay[c] == holiday;
    EXPECT_EQ(holidayHasColumn, !noColumn);
    if (noColumn) {
      EXPECT_EQ(gDayToColumn[holiday], gDayToColumn[holiday + 1]);
    }

    // The teacher marks every column of the term.
    std::fill(gAttendance[student], gAttendance[student] + kMaxDays, kNoMark);
    for (int c = 0; c < columns; c++) gAttendance[student][gColumnToDay[c]] = 0;
    gAttendance[student][holiday] = 0;
    Tally();
    const int schoolDays = noColumn ? columns : columns - 1;
    EXPECT_EQ(gStudents[student].absences[0], 10 * schoolDays);
    EXPECT_EQ(gAttendanceTotals[student][0][0], schoolDays);
  }
}

TEST_F(AttendanceTest, MarksAndDaysFromADamagedDocumentStayInTheTables) {
  // Marks 8 and above name no code: they must not reach another term's counters.
  Mark(student, 2026, 9, 9, 8);
  Mark(student, 2026, 9, 10, 200);
  Mark(student, 2026, 9, 11, 0);
  gCodes[0].value = 40000;  // two such marks overflow 16 bits
  Mark(student, 2026, 9, 14, 0);
  // A term reaching beyond the 360 days, one before the first term, one wholly outside.
  gTermDates[3].end = gTermDates[0].start + 500u * 86400;
  gTermDates[1].start = gTermDates[0].start - 20u * 86400;
  gTermDates[1].end = gTermDates[0].start + 2u * 86400;  // days 0..2: Tuesday to Thursday
  gTermDates[2].start = gTermDates[0].start + 400u * 86400;
  gTermDates[2].end = gTermDates[0].start + 450u * 86400;
  gAttendance[student][359] = 2;  // Thursday 2 September 2027
  gAttendance[1][0] = 0;
  gClass.lastTerm = 9;
  Tally();

  const StudentRecord& r = gStudents[student];
  EXPECT_EQ(r.absences[0], 0xFFFF);
  EXPECT_EQ(gAttendanceTotals[student][0][0], 2);
  for (int c = 1; c < kMaxCodes; c++) EXPECT_EQ(gAttendanceTotals[student][0][c], 0) << c;
  EXPECT_EQ(r.absences[1], 0);
  EXPECT_EQ(gAttendanceTotals[student][1][0], 0);
  EXPECT_EQ(gStudents[1].absences[1], 40000);
  EXPECT_EQ(r.absences[2], 0);
  EXPECT_EQ(r.tardies[3], 10);
  EXPECT_EQ(gAttendanceTotals[student][3][2], 1);
}

TEST_F(AttendanceTest, WeeksAndMonthsOfTheGrid) {
  EXPECT_EQ(DaysPerWeek(), 5);
  // Columns 0..3 are Tuesday to Friday of the first week, column 4 the next Monday.
  EXPECT_FALSE(LastDayOfWeek(2));
  EXPECT_TRUE(LastDayOfWeek(3));
  EXPECT_FALSE(LastDayOfWeek(4));
  const int sept30 = gDayToColumn[Day(2026, 9, 30)];
  EXPECT_TRUE(LastDayOfMonth(static_cast<int16_t>(sept30)));
  EXPECT_FALSE(LastDayOfMonth(static_cast<int16_t>(sept30 - 1)));
  EXPECT_FALSE(LastDayOfWeek(-1));
  EXPECT_FALSE(LastDayOfMonth(511));

  // With one school day a week, weeks are drawn by month.
  const uint8_t mondays[7] = {1, 0, 0, 0, 0, 0, 0};
  std::copy(mondays, mondays + 7, gSchoolWeek);
  SetupSchoolWeek();
  EXPECT_EQ(DaysPerWeek(), 1);
  EXPECT_TRUE(LastDayOfWeek(gDayToColumn[Day(2026, 9, 28)]));
  EXPECT_FALSE(LastDayOfWeek(gDayToColumn[Day(2026, 9, 21)]));
}

TEST_F(AttendanceTest, WeekOffsetsOfTheCurrentTermsFirstDay) {
  struct Case {
    int day;  // of September 2025: 1 Monday .. 7 Sunday
    int16_t first, last;
  };
  const Case cases[] = {{1, 0, 1}, {2, 1, 2}, {4, 3, 4}, {5, 4, 5}, {6, 0, 5}, {7, 0, 5}};
  gCurrentTerm = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.day);
    gTermDates[1].start = MacDate(2025, 9, c.day);
    EXPECT_EQ(FirstWeekOffset(), c.first);
    EXPECT_EQ(LastWeekOffset(), c.last);
  }
  // A Monday, Wednesday, Friday week: a term starting on Friday has two days before it.
  const uint8_t week[7] = {1, 0, 1, 0, 1, 0, 0};
  std::copy(week, week + 7, gSchoolWeek);
  gTermDates[1].start = MacDate(2025, 9, 5);
  EXPECT_EQ(FirstWeekOffset(), 2);
  EXPECT_EQ(LastWeekOffset(), 3);
}

}  // namespace
