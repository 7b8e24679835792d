// The open class: process-wide tables of fixed size, their defaults, and the
// operations that set a class up and count what it holds.
#pragma once

#include "records.h"

extern ClassRecord gClass;
extern StudentRecord gStudents[kMaxStudents];
extern AssignmentRecord gAssignments[kMaxTerms][kMaxAssignments];
extern uint32_t gAssignDates[kMaxTerms][kMaxAssignments];
extern uint16_t gNumScores[kMaxTerms][kMaxAssignments];  // not saved
extern CategoryRecord gCategories[kMaxTerms][kMaxCategories];
extern int16_t gScores[kMaxStudents][kMaxTerms][kMaxAssignments];
extern uint8_t gFootnotes[kMaxStudents][kMaxTerms][kMaxAssignments];
extern Str21 gFootnoteText[kMaxFootnotes];
extern uint8_t gAttendance[kMaxStudents][kMaxDays];
extern uint16_t gAttendanceTotals[kMaxStudents][kMaxTerms][kMaxCodes];  // not saved
extern CodeRecord gCodes[kMaxCodes];
extern SpecialScoreRecord gSpecialScores[kMaxSpecialScores];
extern uint16_t gCutoffs[kMaxCutoffs];
extern Str4 gLetterGrades[kMaxLetterGrades];
extern TermDatesRecord gTermDates[kMaxTerms];
extern Str21 gTermNames[kMaxTerms];
extern uint8_t gSchoolWeek[7];  // Monday first
extern uint8_t gHolidays[kMaxDays];
extern uint16_t gGrading[kMaxTerms];  // 0 total points, 1 weighted categories
extern AttendanceGradeRecord gAttendGrade;
extern uint16_t gReportOptions;
extern Str255 gHeader[kMaxTerms];
extern Str255 gFooter[kMaxTerms];
extern Str255 gComments[kMaxStudents][kMaxTerms];
extern EmailDataRecord gEmailData;
extern EmailAddressRecord gEmailAddresses[kMaxStudents];
extern ExportDataRecord gExportData;
extern SeatingChartRecord gSeatingChart;
extern PageSetupRecord gPageSetup;

extern uint16_t gCurrentTerm;  // the term shown and edited
extern uint16_t gFirstDay;     // weekday of term 0's first day, Monday 0 .. Sunday 6
extern uint16_t gLastDay;      // last school weekday, Monday 0 .. Sunday 6
extern int16_t gDayToColumn[512];
extern int16_t gColumnToDay[512];

extern const uint16_t defaultCutoffs[kMaxCutoffs];
extern const char* const defaultLetterGrades[kMaxLetterGrades];
extern const char* const gDefaultTermNames[kMaxTerms][kMaxTerms];  // [lastTerm][term]

void NewClass();
void NewClassSaveOptions();
void NewStudent(int16_t student);
void NewTermDates(int16_t lastTerm, TermDatesRecord dates[kMaxTerms]);
void SetupSchoolWeek();
void CopyGradingOptions(int16_t term);
int16_t CurrentTerm();

int16_t NumStudents();
int16_t NumCategories();
int16_t NumAssignments();
int16_t NumActualAssignments();
int16_t LastActualAssignment();
int16_t NumMissing(int16_t student);

void FindSeat(int16_t student, uint16_t& row, uint16_t& column);

// The page set-up every class carries until printing changes it.
void SetDefaultPageSetup();

// A document has just become the current one: checks its term against lastTerm and
// brings every computed table (term, first day, score counts, grading options of the
// term, school week, attendance tallies) up to date. The window and the tests call it.
void MakeClassCurrent();
