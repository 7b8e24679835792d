// Dates as text in the region's order, school weeks and months of the attendance
// grid, and the attendance tallies of every student and term.
#pragma once

#include "types.h"

extern uint16_t gSDateFormat;  // numeric dates: 0 M/D/Y, 1 D/M/Y, 2 Y/M/D
extern uint16_t gLDateFormat;  // dates with the month's name, same numbering
extern Str1 gSeparator;        // of numeric dates

extern const char* const gMonths[12];
extern const char* const gShortMonths[12];
extern const char* const gDays[7];  // Sunday first

void SetupDateFormat();
void DateToString(uint32_t seconds, Str255& text);
void SecondsToString(uint32_t seconds, Str255& text);
void SecondsToShortString(uint32_t seconds, Str255& text);
// The date at 12:00 noon, or 0 when the text is not a valid date.
void StringToSeconds(ConstStringPtr text, uint32_t& seconds);

bool LastDayOfWeek(int16_t column);
bool LastDayOfMonth(int16_t column);
int16_t DaysPerWeek();
int16_t FirstWeekOffset();
int16_t LastWeekOffset();

void UpdateAttendance();
void ComputeAttendanceTotals();
