#include "dates.h"

#include "accessors.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"

uint16_t gSDateFormat = 0;
uint16_t gLDateFormat = 0;
Str1 gSeparator = {{1, '/'}};

const char* const gMonths[12] = {"January", "February", "March",     "April",
                                 "May",     "June",     "July",      "August",
                                 "September", "October", "November", "December"};
const char* const gShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const gDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                              "Thursday", "Friday", "Saturday"};

namespace {

constexpr uint32_t kDay = 86400;

void AppendNumber(Str255& text, long value) {
  AppendC(text, std::to_string(value).c_str());
}

void AppendSeparator(Str255& text) { Append(text, gSeparator); }

// Monday 0 .. Sunday 6 from the calendar's Sunday 1 .. Saturday 7.
int MondayFirst(int16_t dayOfWeek) { return (dayOfWeek + 5) % 7; }

int WeekdayOfSeconds(uint32_t seconds) {
  DateTimeRec d;
  SecondsToDate(seconds, d);
  return MondayFirst(d.dayOfWeek);
}


// Day indexes of a term, cut to the attendance table. Term dates come from the
// document, so a term may lie partly or wholly outside the 360 days (first > last).
void TermDayRange(int term, int& first, int& last) {
  // Truncated as the attendance columns are, so that grid and tallies agree.
  auto dayIndex = [](uint32_t seconds) {
    return (static_cast<int64_t>(seconds) - gTermDates[0].start) / kDay;
  };
  int64_t d0 = dayIndex(gTermDates[term].start);
  int64_t d1 = dayIndex(gTermDates[term].end);
  if (d0 < 0) d0 = 0;
  if (d1 > kMaxDays - 1) d1 = kMaxDays - 1;
  first = static_cast<int>(d0);
  last = static_cast<int>(d1);
}

// Which day indexes are school days: not a holiday and on a school weekday, the
// weekday taken from the calendar date of the day.
void MarkSchoolDays(bool schoolDay[kMaxDays]) {
  const int weekday0 = WeekdayOfSeconds(gTermDates[0].start);
  for (int d = 0; d < kMaxDays; d++) {
    schoolDay[d] = gHolidays[d] != 1 && gSchoolWeek[(weekday0 + d) % 7] == 1;
  }
}

int MonthOfDay(int day) {
  DateTimeRec d;
  SecondsToDate(gTermDates[0].start + static_cast<uint32_t>(day) * kDay, d);
  return d.month;
}

}  // namespace

void SetupDateFormat() {
  const RegionDateFormat region = GetRegionDateFormat();
  if (!region.present) return;
  gSDateFormat = static_cast<uint16_t>(region.shortOrder == 0 || region.shortOrder == 1
                                           ? region.shortOrder
                                           : 2);
  gLDateFormat = static_cast<uint16_t>(region.longOrder == 0 || region.longOrder == 1
                                           ? region.longOrder
                                           : 2);
  gSeparator[0] = 1;
  gSeparator[1] = region.separator;
}

void DateToString(uint32_t seconds, Str255& text) {
  DateTimeRec d;
  SecondsToDate(seconds, d);
  const char* month = gMonths[(d.month - 1) % 12];
  text.clear();
  switch (gLDateFormat) {
    case 1:
      AppendNumber(text, d.day);
      AppendC(text, " ");
      AppendC(text, month);
      AppendC(text, " ");
      AppendNumber(text, d.year);
      break;
    case 2:
      AppendNumber(text, d.year);
      AppendC(text, " ");
      AppendC(text, month);
      AppendC(text, " ");
      AppendNumber(text, d.day);
      break;
    default:
      AppendC(text, month);
      AppendC(text, " ");
      AppendNumber(text, d.day);
      AppendC(text, ", ");
      AppendNumber(text, d.year);
      break;
  }
}

void SecondsToString(uint32_t seconds, Str255& text) {
  DateTimeRec d;
  SecondsToDate(seconds, d);
  int first = d.month, second = d.day, third = d.year;
  if (gSDateFormat == 1) {
    first = d.day;
    second = d.month;
  } else if (gSDateFormat == 2) {
    first = d.year;
    second = d.month;
    third = d.day;
  }
  text.clear();
  AppendNumber(text, first);
  AppendSeparator(text);
  AppendNumber(text, second);
  AppendSeparator(text);
  AppendNumber(text, third);
}

void SecondsToShortString(uint32_t seconds, Str255& text) {
  DateTimeRec d;
  SecondsToDate(seconds, d);
  const bool dayFirst = gSDateFormat == 1;
  text.clear();
  AppendNumber(text, dayFirst ? d.day : d.month);
  AppendSeparator(text);
  AppendNumber(text, dayFirst ? d.month : d.day);
}

void StringToSeconds(ConstStringPtr text, uint32_t& seconds) {
  seconds = 0;
  const int length = text[0];
  int pos = 1;
  int32_t numbers[3] = {0, 0, 0};
  int count = 0;
  auto isSeparator = [](unsigned char c) {
    return c == gSeparator[1] || c == '-' || c == '.' || c == '/';
  };
  while (count < 3) {
    int32_t value = 0;
    while (pos <= length && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos] - '0');
      if (value > 32767) return;  // a run this long is no day, month or year
      pos++;
    }
    numbers[count++] = value;
    if (pos > length) break;
    if (count == 3 || !isSeparator(text[pos])) return;
    pos++;
  }
  if (count == 1) return;

  int32_t month, day, year;
  if (gSDateFormat == 1) {
    day = numbers[0];
    month = numbers[1];
    year = numbers[2];
  } else if (gSDateFormat == 2 && count == 3) {
    year = numbers[0];
    month = numbers[1];
    day = numbers[2];
  } else {
    month = numbers[0];
    day = numbers[1];
    year = numbers[2];
  }

  if (year == 0) {
    DateTimeRec now;
    SecondsToDate(GetDateTime(), now);
    year = now.year;
    // An autumn date typed in spring belongs to the school year that began last autumn.
    if (month >= 7 && month <= 12 && now.month <= 5) year--;
  }
  if (year >= 100 && year <= 1939) return;
  if (year < 40) year += 2000;
  else if (year < 100) year += 1900;
  if (day > 31 || month > 12) return;

  DateTimeRec date{};
  date.year = static_cast<int16_t>(year);
  date.month = static_cast<int16_t>(month);
  date.day = static_cast<int16_t>(day);
  date.hour = 12;
  uint32_t result = 0;
  DateToSeconds(date, result);
  DateTimeRec back;
  SecondsToDate(result, back);
  // The noon hour also catches a date the clock's 32 bits cannot reach.
  if (back.year != year || back.month != month || back.day != day || back.hour != 12) return;
  seconds = result;
}

bool LastDayOfWeek(int16_t column) {
  if (DaysPerWeek() == 1) return LastDayOfMonth(column);
  if (column < 0 || column + 1 >= 512) return false;
  const int d1 = gColumnToDay[column];
  const int d2 = gColumnToDay[column + 1];
  return (d1 + gFirstDay) / 7 != (d2 + gFirstDay) / 7;
}

bool LastDayOfMonth(int16_t column) {
  if (column < 0 || column + 1 >= 512) return false;
  const int d1 = gColumnToDay[column];
  const int d2 = gColumnToDay[column + 1];
  if (d1 < 0 || d2 < 0) return false;
  return MonthOfDay(d1) != MonthOfDay(d2);
}

int16_t DaysPerWeek() {
  int16_t days = 0;
  for (int w = 0; w < 7; w++) {
    if (gSchoolWeek[w] == 1) days++;
  }
  return days;
}

int16_t FirstWeekOffset() {
  const int term = CurrentTermIndex();
  const int w = WeekdayOfSeconds(gTermDates[term].start);
  int last = -1;
  for (int i = 0; i < 7; i++) {
    if (gSchoolWeek[i] == 1) last = i;
  }
  if (w > last || w == 0) return 0;
  int16_t offset = 0;
  for (int i = 0; i < w; i++) {
    if (gSchoolWeek[i] == 1) offset++;
  }
  return offset;
}

int16_t LastWeekOffset() {
  const int term = CurrentTermIndex();
  const int w = WeekdayOfSeconds(gTermDates[term].start);
  int16_t offset = 0;
  for (int i = 0; i <= w; i++) {
    if (gSchoolWeek[i] == 1) offset++;
  }
  return offset;
}

void UpdateAttendance() {
  bool schoolDay[kMaxDays];
  MarkSchoolDays(schoolDay);
  const int lastTerm = LastTermIndex();
  for (int t = 0; t <= lastTerm; t++) {
    int first, last;
    TermDayRange(t, first, last);
    for (int s = 0; s < kMaxStudents; s++) {
      uint32_t absences = 0, tardies = 0;
      for (int d = first; d <= last; d++) {
        if (!schoolDay[d]) continue;
        const uint8_t mark = gAttendance[s][d];
        if (mark >= kMaxCodes || gCodes[mark].name.empty()) continue;
        if (gCodes[mark].kind == 1) absences += gCodes[mark].value;
        else if (gCodes[mark].kind == 2) tardies += gCodes[mark].value;
      }
      // Saturated rather than wrapped: a huge code value must not turn into a small total.
      gStudents[s].absences[t] = static_cast<uint16_t>(absences > 0xFFFF ? 0xFFFF : absences);
      gStudents[s].tardies[t] = static_cast<uint16_t>(tardies > 0xFFFF ? 0xFFFF : tardies);
    }
  }
}

void ComputeAttendanceTotals() {
  const int lastTerm = LastTermIndex();
  for (int s = 0; s < kMaxStudents; s++) {
    for (int t = 0; t <= lastTerm; t++) {
      for (int c = 0; c < kMaxCodes; c++) gAttendanceTotals[s][t][c] = 0;
    }
  }
  bool schoolDay[kMaxDays];
  MarkSchoolDays(schoolDay);
  for (int t = 0; t <= lastTerm; t++) {
    int first, last;
    TermDayRange(t, first, last);
    for (int s = 0; s < kMaxStudents; s++) {
      for (int d = first; d <= last; d++) {
        if (!schoolDay[d]) continue;
        const uint8_t mark = gAttendance[s][d];
        if (mark < kMaxCodes) gAttendanceTotals[s][t][mark]++;
      }
    }
  }
}
