#include "tables.h"

#include <algorithm>

#include "accessors.h"
#include "dates.h"
#include "grading.h"
#include "operations.h"
#include "platform.h"
#include "textutil.h"

ClassRecord gClass;
StudentRecord gStudents[kMaxStudents];
AssignmentRecord gAssignments[kMaxTerms][kMaxAssignments];
uint32_t gAssignDates[kMaxTerms][kMaxAssignments];
uint16_t gNumScores[kMaxTerms][kMaxAssignments];
CategoryRecord gCategories[kMaxTerms][kMaxCategories];
int16_t gScores[kMaxStudents][kMaxTerms][kMaxAssignments];
uint8_t gFootnotes[kMaxStudents][kMaxTerms][kMaxAssignments];
Str21 gFootnoteText[kMaxFootnotes];
uint8_t gAttendance[kMaxStudents][kMaxDays];
uint16_t gAttendanceTotals[kMaxStudents][kMaxTerms][kMaxCodes];
CodeRecord gCodes[kMaxCodes];
SpecialScoreRecord gSpecialScores[kMaxSpecialScores];
uint16_t gCutoffs[kMaxCutoffs];
Str4 gLetterGrades[kMaxLetterGrades];
TermDatesRecord gTermDates[kMaxTerms];
Str21 gTermNames[kMaxTerms];
uint8_t gSchoolWeek[7];
uint8_t gHolidays[kMaxDays];
uint16_t gGrading[kMaxTerms];
AttendanceGradeRecord gAttendGrade;
uint16_t gReportOptions;
Str255 gHeader[kMaxTerms];
Str255 gFooter[kMaxTerms];
Str255 gComments[kMaxStudents][kMaxTerms];
EmailDataRecord gEmailData;
EmailAddressRecord gEmailAddresses[kMaxStudents];
ExportDataRecord gExportData;
SeatingChartRecord gSeatingChart;
PageSetupRecord gPageSetup;

uint16_t gCurrentTerm;
uint16_t gFirstDay = 1;
uint16_t gLastDay;
int16_t gDayToColumn[512];
int16_t gColumnToDay[512];

const uint16_t defaultCutoffs[kMaxCutoffs] = {600, 630, 670, 700, 730, 770,
                                              800, 830, 870, 900, 930, 970};
const char* const defaultLetterGrades[kMaxLetterGrades] = {
    "F", "D-", "D", "D+", "C-", "C", "C+", "B-", "B", "B+", "A-", "A", "A+"};
const char* const gDefaultTermNames[kMaxTerms][kMaxTerms] = {
    {"Term", "Term", "Term", "Term", "Term", "Term"},
    {"1st Semester", "2nd Semester", "3rd Term", "4th Term", "5th Term", "6th Term"},
    {"1st Trimester", "2nd Trimester", "3rd Trimester", "4th Term", "5th Term", "6th Term"},
    {"1st Quarter", "2nd Quarter", "3rd Quarter", "4th Quarter", "5th Term", "6th Term"},
    {"1st Term", "2nd Term", "3rd Term", "4th Term", "5th Term", "6th Term"},
    {"1st Term", "2nd Term", "3rd Term", "4th Term", "5th Term", "6th Term"},
};

namespace {

constexpr uint32_t kDay = 86400;


void ResetAssignments(uint32_t now) {
  for (int t = 0; t < kMaxTerms; t++) {
    for (int a = 0; a < kMaxAssignments; a++) {
      gAssignments[t][a].name.clear();
      gAssignments[t][a].category = 1;
      gAssignments[t][a].points = 100;
      gNumScores[t][a] = 0;
      gAssignDates[t][a] = now;
    }
  }
}

void ResetStudents() {
  for (int16_t s = 0; s < kMaxStudents; s++) NewStudent(s);
  std::fill_n(&gAttendanceTotals[0][0][0], kMaxStudents * kMaxTerms * kMaxCodes,
            0);
}

void ResetComments() {
  for (int t = 0; t < kMaxTerms; t++) {
    gHeader[t].clear();
    gFooter[t].clear();
  }
  for (auto& f : gFootnoteText) f.clear();
  gFootnoteText[0].setC("Late");
}

void ResetSeatingChart() {
  gSeatingChart.rows = 6;
  gSeatingChart.columns = 6;
  for (auto& row : gSeatingChart.seats)
    for (auto& seat : row) seat = kNone;
}

void SetCode(int i, const char* name, uint16_t kind, uint16_t value) {
  gCodes[i].name.setC(name);
  gCodes[i].reserved = 0;
  gCodes[i].kind = kind;
  gCodes[i].value = value;
}

void SetSpecial(int i, const char* name, uint16_t kind) {
  gSpecialScores[i].name.setC(name);
  gSpecialScores[i].reserved = 0;
  gSpecialScores[i].kind = kind;
}

void SetCategory(int t, int c, const char* name, uint16_t weight) {
  gCategories[t][c].name.setC(name);
  gCategories[t][c].drop = 0;
  gCategories[t][c].weight = weight;
}

}  // namespace

void NewStudent(int16_t s) {
  if (!ValidStudent(s)) return;
  StudentRecord& r = gStudents[s];
  r.id.clear();
  r.name.clear();
  gEmailAddresses[s].recipients.clear();
  gEmailAddresses[s].blindCopies.clear();
  // Whole rows at once: opening a class resets every slot before reading it.
  std::fill_n(&gScores[s][0][0], kMaxTerms * kMaxAssignments, kBlank);
  std::fill_n(&gFootnotes[s][0][0], kMaxTerms * kMaxAssignments, kNoMark);
  for (int t = 0; t < kMaxTerms; t++) {
    r.termPercent[t] = r.lockedPercent[t] = r.unroundedPercent[t] = kNone;
    r.semesterPercent[t] = kNone;
    r.absences[t] = r.tardies[t] = 0;
    for (int i = 0; i < kMaxDrops; i++) r.dropped[t][i] = kFreeDropSlot;
    for (int i = 0; i < 12; i++) r.reserved1[t][i] = kNone;
    for (int i = 0; i < 9; i++) r.reserved2[t][i] = kNone;
    gComments[s][t].clear();
  }
  std::fill(gAttendance[s], gAttendance[s] + kMaxDays, kNoMark);
}

void NewClass() {
  const uint32_t now = GetDateTime();
  gCurrentTerm = 0;

  const uint8_t kept = gClass.flags & kKeptFlag;
  gClass.lastTerm = 3;
  gClass.examWeight = 0;
  gClass.examScope = 1;
  gClass.school.setC("school");
  gClass.subject.setC("subject");
  gClass.teacher.setC("teacher");
  gClass.passwordDigest.clear();
  gClass.savedTime = 0;
  gClass.createdTime = now;
  gClass.reserved = 1904;

  gExportData.classCode.setC("class ID");
  gExportData.section.setC("01");
  gExportData.account.clear();
  gExportData.teacherID.clear();
  std::fill(gExportData.reserved, gExportData.reserved + sizeof gExportData.reserved, 0);

  gReportOptions = 0x10EF;
  gClass.flags = static_cast<uint8_t>(0x30 | kept);
  std::fill(gGrading, gGrading + kMaxTerms, 0);
  for (int i = 0; i < kMaxLetterGrades; i++) gLetterGrades[i].setC(defaultLetterGrades[i]);
  std::copy(defaultCutoffs, defaultCutoffs + kMaxCutoffs, gCutoffs);

  for (int t = 0; t < kMaxTerms; t++) {
    for (int c = 0; c < kMaxCategories; c++) SetCategory(t, c, "", 0);
    SetCategory(t, kExamCategory, "Final Exams", 0);
    SetCategory(t, kExtraCreditCategory, "Extra Credit", 10);
  }
  SetCategory(0, 0, "Tests", 50);
  SetCategory(0, 1, "Homework", 50);
  SetCategory(0, 9, "Ungraded", kNone);

  ResetAssignments(now);
  ResetStudents();

  SetSpecial(0, "Exc", 1);
  SetSpecial(1, "Abs", 3);
  SetSpecial(2, "Inc", 3);
  for (int i = 3; i < kMaxSpecialScores; i++) SetSpecial(i, "", 2);

  gAttendGrade = AttendanceGradeRecord{0, 0, 0};
  SetCode(0, "Ab", 1, 10);
  SetCode(1, "Ex", 1, 0);
  SetCode(2, "T", 2, 10);
  for (int i = 3; i < kMaxCodes; i++) SetCode(i, "", 1, 10);

  gFirstDay = 1;
  const uint8_t week[7] = {1, 1, 1, 1, 1, 0, 0};
  std::copy(week, week + 7, gSchoolWeek);
  NewTermDates(gClass.lastTerm, gTermDates);
  SetupSchoolWeek();
  std::fill(gHolidays, gHolidays + kMaxDays, 0);
  for (int t = 0; t < kMaxTerms; t++) gTermNames[t].setC(gDefaultTermNames[gClass.lastTerm][t]);

  ResetComments();
  ResetSeatingChart();
  gClass.currentTerm = static_cast<uint8_t>(CurrentTerm());

  gEmailData.port = 25;
  gEmailData.server.clear();
  gEmailData.user.clear();
  gEmailData.password.clear();
  gEmailData.address.clear();
}

void NewClassSaveOptions() {
  const uint32_t now = GetDateTime();
  gClass.passwordDigest.clear();
  gClass.savedTime = 0;
  gClass.createdTime = now;
  gClass.reserved = 1904;
  ResetAssignments(now);
  ResetStudents();
  ResetComments();
  ResetSeatingChart();
  gClass.currentTerm = static_cast<uint8_t>(CurrentTerm());
}

void NewTermDates(int16_t lastTerm, TermDatesRecord dates[kMaxTerms]) {
  const int terms = std::clamp<int>(lastTerm, 0, kMaxTerms - 1) + 1;
  DateTimeRec today;
  SecondsToDate(GetDateTime(), today);
  const int todayMonth = today.month;

  DateTimeRec d = today;
  d.hour = 12;
  d.minute = 0;
  d.second = 0;
  if (todayMonth <= 6) d.year--;
  d.month = 9;
  d.day = 1;
  uint32_t sept1 = 0;
  DateToSeconds(d, sept1);
  SecondsToDate(sept1, d);
  // The day after the first Monday of September, then back to that Monday.
  int day = 11 - d.dayOfWeek;
  if (day > 8) day = 4 - d.dayOfWeek;
  uint32_t cursor = sept1 + static_cast<uint32_t>(day - 1) * kDay - kDay;

  const int n = terms == 1 ? 1 : terms - 1;
  const uint32_t length = 21772800 / static_cast<uint32_t>(n + 1);
  for (int i = 0; i <= n; i++) {
    dates[i].start = cursor;
    cursor += length;
    const bool pause = terms <= 2 || ((terms == 3 || terms == 4) && (i == 1 || i == 2)) ||
                       (terms == 6 && (i == 2 || i == 4));
    if (pause) cursor += 1209600;
    dates[i].end = cursor - 259200;
  }
  dates[0].start += kDay;
  if (terms == 1 && todayMonth >= 2 && todayMonth <= 7) dates[0] = dates[1];
}

void SetupSchoolWeek() {
  gLastDay = 0;
  for (int w = 0; w < 7; w++)
    if (gSchoolWeek[w] == 1) gLastDay = static_cast<uint16_t>(w);

  const int t = CurrentTermIndex();
  const int64_t base = gTermDates[0].start;
  const int64_t d0 = (static_cast<int64_t>(gTermDates[t].start) - base) / kDay;
  const int64_t d1 = (static_cast<int64_t>(gTermDates[t].end) - base) / kDay;
  // Term dates come from documents: only days inside the attendance table get columns,
  // and a term wholly outside it (or ending before it starts) gets none.
  const int first = static_cast<int>(std::clamp<int64_t>(d0, 0, kMaxDays));
  const int last = static_cast<int>(std::clamp<int64_t>(d1, -1, kMaxDays - 1));
  int column = 0;
  for (int d = first; d <= last; d++) {
    gDayToColumn[d] = static_cast<int16_t>(column);
    if (gHolidays[d] == 1 && (gClass.flags & kHolidaysNoColumn)) continue;
    if (gSchoolWeek[(d + gFirstDay) % 7] == 1) {
      gColumnToDay[column] = static_cast<int16_t>(d);
      column++;
    }
  }
  // Columns past the term's last one stand for the day after it, and days outside the
  // term map to its first or past its last column, so that neither table holds a stale
  // entry of another term.
  constexpr int kEntries = sizeof gDayToColumn / sizeof gDayToColumn[0];
  const int after = first <= last ? last + 1 : kMaxDays;  // a term without days: none
  for (int c = column; c < kEntries; c++) gColumnToDay[c] = static_cast<int16_t>(after);
  for (int d = 0; d < first; d++) gDayToColumn[d] = 0;
  for (int d = std::max(last + 1, first); d < kEntries; d++)
    gDayToColumn[d] = static_cast<int16_t>(column);
}

void CopyGradingOptions(int16_t t) {
  if (t <= 0 || t >= kMaxTerms) return;
  for (int c = 0; c < 10; c++)
    if (!gCategories[t][c].name.empty()) return;
  CopyGradingOptions(static_cast<int16_t>(t - 1));
  SetChanged(1);
  std::copy(gCategories[t - 1], gCategories[t - 1] + kMaxCategories, gCategories[t]);
  gGrading[t] = gGrading[t - 1];
  gHeader[t] = gHeader[t - 1];
  gFooter[t] = gFooter[t - 1];
}

int16_t CurrentTerm() {
  if (gClass.lastTerm < 0) return 0;
  const uint64_t now = GetDateTime();
  for (int t = 0; t <= LastTermIndex(); t++) {
    if (now <= uint64_t{gTermDates[t].end} + 86399) {
      gClass.currentTerm = static_cast<uint8_t>(t);
      return static_cast<int16_t>(t);
    }
  }
  return 0;
}

int16_t NumStudents() {
  int16_t n = 0;
  while (n < kMaxStudents && !gStudents[n].name.empty()) n++;
  return n;
}

namespace {
bool CategoryCounted(uint16_t category) {
  return category < kMaxCategories && gCategories[CurrentTermIndex()][category].weight != kNone;
}
}  // namespace

int16_t NumCategories() {
  int16_t n = 0;
  const CategoryRecord* categories = gCategories[CurrentTermIndex()];
  for (int c = 0; c < 10; c++)
    if (!categories[c].name.empty() && categories[c].weight != kNone) n++;
  if (gClass.examWeight > 0 &&
      (gClass.examScope == 1 || (gClass.examScope == 2 && gClass.lastTerm == 1)))
    n++;
  return n;
}

int16_t NumAssignments() {
  int16_t n = 0;
  for (const auto& a : gAssignments[CurrentTermIndex()])
    if (!a.name.empty()) n++;
  return n;
}

int16_t NumActualAssignments() {
  const int t = CurrentTermIndex();
  int16_t n = 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    const auto& r = gAssignments[t][a];
    if (!r.name.empty() && gNumScores[t][a] > 0 && r.category != kExamCategory &&
        CategoryCounted(r.category))
      n++;
  }
  return n;
}

int16_t LastActualAssignment() {
  const int t = CurrentTermIndex();
  for (int a = kMaxAssignments - 1; a >= 0; a--)
    if (!gAssignments[t][a].name.empty() && gNumScores[t][a] > 0) return static_cast<int16_t>(a);
  return 0;
}

int16_t NumMissing(int16_t s) {
  if (!ValidStudent(s)) return 0;
  const int t = CurrentTermIndex();
  int16_t n = 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    const auto& r = gAssignments[t][a];
    if (r.name.empty() || gNumScores[t][a] == 0 || r.points == 0) continue;
    if (r.category == kExamCategory || r.category == kExtraCreditCategory) continue;
    if (!CategoryCounted(r.category)) continue;
    const int16_t v = ConvertSpecialScore(gScores[s][t][a], static_cast<int16_t>(a));
    if (v == kBlank || v == kIncomplete) n++;
  }
  return n;
}

void FindSeat(int16_t student, uint16_t& row, uint16_t& column) {
  row = column = kNone;
  const int rows = std::min<int>(gSeatingChart.rows, kMaxSeatRows);
  const int columns = std::min<int>(gSeatingChart.columns, kMaxSeatColumns);
  if (rows < 1) return;
  for (int r = 0; r < rows; r++) {
    for (int c = 0; c < columns; c++) {
      if (gSeatingChart.seats[r][c] == static_cast<uint16_t>(student)) {
        row = static_cast<uint16_t>(r);
        column = static_cast<uint16_t>(c);
        return;
      }
    }
  }
}

void SetDefaultPageSetup() {
  gPageSetup.scale = 100;
  gPageSetup.orientation = 1;
  for (auto& v : gPageSetup.values) v = 1000;
}

void MakeClassCurrent() {
  if (gClass.currentTerm > LastTermIndex()) CurrentTerm();
  if (gClass.currentTerm > LastTermIndex()) gClass.currentTerm = 0;
  gCurrentTerm = gClass.currentTerm;
  DateTimeRec first;
  SecondsToDate(gTermDates[0].start, first);
  gFirstDay = static_cast<uint16_t>((first.dayOfWeek + 5) % 7);  // Monday 0 .. Sunday 6
  CountScores();
  CopyGradingOptions(static_cast<int16_t>(gCurrentTerm));
  SetupSchoolWeek();
  UpdateAttendance();
  ComputeAttendanceTotals();
  FlushAll();
}
