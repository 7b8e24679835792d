#include "undo.h"

#include <algorithm>
#include <utility>

#include "accessors.h"
#include "dates.h"
#include "grading.h"
#include "operations.h"
#include "tables.h"
#include "textutil.h"

uint16_t gUndoAction = kUndoNothing;
uint8_t gRedo = 0;
uint16_t gUndoStudent = kNone;
uint16_t gUndoAssignment = kNone;
uint16_t gUndoDestination = kNone;
Str255 gUndoText[24];

namespace {

const char* const kUndoTexts[24] = {
    "Can't Undo",   "Undo editing",   "Undo editing",     "Undo options",
    "Undo editing", "Undo cut",       "Undo copy",        "Undo move",
    "Undo paste",   "Undo delete",    "Undo cut",         "Undo copy",
    "Undo move",    "Undo paste",     "Undo delete",      "Undo fill down",
    "Undo fill across", "Undo email addresses", "Undo footnotes", "Undo comments",
    "Undo comments", "Undo seating",  "Undo curve",       "Undo fill down",
};

struct UndoTextsFilled {
  UndoTextsFilled() {
    for (int i = 0; i < 24; i++) gUndoText[i].setC(kUndoTexts[i]);
  }
} gUndoTextsFilled;

// The saved copies. The term is kept with the per-term parts so that they go back
// where they came from.
struct SavedStudent {
  StudentRow row;
  uint16_t seatRow;
  uint16_t seatColumn;
  // The seat a copy of the student was given, found when the copy is undone so that
  // redoing it seats the copy there again.
  uint16_t copySeatRow;
  uint16_t copySeatColumn;
};

struct SavedAssignment {
  uint16_t term;
  AssignmentRecord record;
  uint32_t date;
  int16_t scores[kMaxStudents];
  uint8_t footnotes[kMaxStudents];
};

// Everything the class options dialog can change. The special scores and holidays
// are on that dialog too, so they are kept with the rest.
struct SavedOptions {
  uint16_t term;
  uint16_t grading;
  uint16_t reportOptions;
  AttendanceGradeRecord attendGrade;
  CategoryRecord categories[kMaxCategories];
  Str21 termNames[kMaxTerms];
  TermDatesRecord termDates[kMaxTerms];
  uint8_t schoolWeek[7];
  uint8_t attendance[kMaxStudents][kMaxDays];
  CodeRecord codes[kMaxCodes];
  Str4 letters[kMaxLetterGrades];
  uint16_t cutoffs[kMaxCutoffs];
  SpecialScoreRecord specials[kMaxSpecialScores];
  uint8_t holidays[kMaxDays];
};

// Every term's header and footer: the dialog can copy them into the later terms.
struct SavedComments {
  Str255 header[kMaxTerms];
  Str255 footer[kMaxTerms];
};

struct SavedDay {
  uint16_t day;
  uint8_t marks[kMaxStudents];
};

// Large, so kept out of the stack and allocated once with the program.
SavedStudent gSavedStudent;
SavedAssignment gSavedAssignment;
ClassRecord gSavedClass;
SavedOptions gSavedOptions;
EmailDataRecord gSavedEmailData;
EmailAddressRecord gSavedEmailAddresses[kMaxStudents];
Str21 gSavedFootnoteText[kMaxFootnotes];
SavedComments gSavedGlobalComments;
Str255 gSavedComments[kMaxStudents][kMaxTerms];
uint16_t gSavedCommentOptions = 0;  // bit 12 shows the comments on reports
SeatingChartRecord gSavedSeating;
SavedDay gSavedDay;


template <typename T>
void Exchange(T& live, T& saved) {
  std::swap(live, saved);
}

// ---- Students ----------------------------------------------------------------------
void ExchangeStudentRow(int s) {
  if (!ValidStudent(s)) return;
  StudentRow& saved = gSavedStudent.row;
  Exchange(gStudents[s], saved.record);
  Exchange(gScores[s], saved.scores);
  Exchange(gFootnotes[s], saved.footnotes);
  Exchange(gAttendance[s], saved.attendance);
  Exchange(gComments[s], saved.comments);
}

// Writes the saved row into slot s; with seat, the student also takes back the seat
// it had when the snapshot was taken.
void RestoreStudent(int s, bool withSeat) {
  if (!ValidStudent(s)) return;
  LoadStudentRow(gSavedStudent.row, static_cast<int16_t>(s));
  if (withSeat && gSavedStudent.seatRow < kMaxSeatRows &&
      gSavedStudent.seatColumn < kMaxSeatColumns) {
    gSeatingChart.seats[gSavedStudent.seatRow][gSavedStudent.seatColumn] =
        static_cast<uint16_t>(s);
  }
}

// ---- Assignments -------------------------------------------------------------------
// Insert and delete work on the current term; the snapshot's term is made current for
// the moment so that the column goes back into the term it came from.
class SavedTermCurrent {
 public:
  SavedTermCurrent() : previous_(gCurrentTerm) { gCurrentTerm = gSavedAssignment.term; }
  ~SavedTermCurrent() { gCurrentTerm = previous_; }
  SavedTermCurrent(const SavedTermCurrent&) = delete;
  SavedTermCurrent& operator=(const SavedTermCurrent&) = delete;

 private:
  uint16_t previous_;
};

void ExchangeColumn(int a) {
  if (!ValidColumn(a)) return;
  const int t = gSavedAssignment.term;
  Exchange(gAssignments[t][a], gSavedAssignment.record);
  Exchange(gAssignDates[t][a], gSavedAssignment.date);
  for (int s = 0; s < kMaxStudents; s++) {
    Exchange(gScores[s][t][a], gSavedAssignment.scores[s]);
    Exchange(gFootnotes[s][t][a], gSavedAssignment.footnotes[s]);
  }
}

void RestoreColumn(int a) {
  if (!ValidColumn(a)) return;
  const int t = gSavedAssignment.term;
  gAssignments[t][a] = gSavedAssignment.record;
  gAssignDates[t][a] = gSavedAssignment.date;
  for (int s = 0; s < kMaxStudents; s++) {
    gScores[s][t][a] = gSavedAssignment.scores[s];
    gFootnotes[s][t][a] = gSavedAssignment.footnotes[s];
  }
}

void InsertColumn(int a) {
  if (ValidColumn(a)) InsertAssignment(static_cast<int16_t>(a));
}
void DeleteColumn(int a) {
  if (ValidColumn(a)) DeleteAssignment(static_cast<int16_t>(a));
}
void InsertRow(int s) {
  if (ValidStudent(s)) InsertStudent(static_cast<int16_t>(s));
}
void DeleteRow(int s) {
  if (ValidStudent(s)) DeleteStudent(static_cast<int16_t>(s));
}

// ---- Whole-class parts -------------------------------------------------------------
void ExchangeOptions() {
  SavedOptions& o = gSavedOptions;
  const int t = o.term;
  Exchange(gClass, gSavedClass);
  Exchange(gGrading[t], o.grading);
  Exchange(gLetterGrades, o.letters);
  Exchange(gCutoffs, o.cutoffs);
  Exchange(gReportOptions, o.reportOptions);
  Exchange(gTermNames, o.termNames);
  Exchange(gTermDates, o.termDates);
  Exchange(gSchoolWeek, o.schoolWeek);
  Exchange(gAttendance, o.attendance);
  Exchange(gCodes, o.codes);
  Exchange(gAttendGrade, o.attendGrade);
  Exchange(gCategories[t], o.categories);
  Exchange(gSpecialScores, o.specials);
  Exchange(gHolidays, o.holidays);
  // The dialog may have moved the current term with the number of terms; the grades of
  // every term follow the settings back.
  gCurrentTerm = std::min<uint16_t>(gClass.currentTerm, kMaxTerms - 1);
  UpdateAttendance();
  ComputeAttendanceTotals();
  FlushAllTerms();
}

void ExchangeEmailData() {
  Exchange(gEmailData, gSavedEmailData);
  Exchange(gEmailAddresses, gSavedEmailAddresses);
}

void ExchangeDay() {
  const int d = gSavedDay.day;
  if (d >= kMaxDays) return;
  for (int s = 0; s < kMaxStudents; s++) Exchange(gAttendance[s][d], gSavedDay.marks[s]);
}

// The actions whose undo and redo are the same exchange. False for the structural ones.
bool ExchangeBothWays() {
  switch (gUndoAction) {
    case kUndoStudentEdit:
    case kUndoFillAcross:
      ExchangeStudentRow(gUndoStudent);
      return true;
    case kUndoAssignmentEdit:
    case kUndoFillDown:
    case kUndoCurve:
      ExchangeColumn(gUndoAssignment);
      return true;
    case kUndoOptions:
      ExchangeOptions();
      return true;
    case kUndoClassHeader:
      Exchange(gClass, gSavedClass);
      return true;
    case kUndoEmailData:
      ExchangeEmailData();
      return true;
    case kUndoFootnotes:
      Exchange(gFootnoteText, gSavedFootnoteText);
      return true;
    case kUndoGlobalComments:
      Exchange(gHeader, gSavedGlobalComments.header);
      Exchange(gFooter, gSavedGlobalComments.footer);
      return true;
    case kUndoStudentComments:
      Exchange(gComments, gSavedComments);
      Exchange(gReportOptions, gSavedCommentOptions);
      return true;
    case kUndoSeating:
      Exchange(gSeatingChart, gSavedSeating);
      return true;
    case kUndoDayFill:
      ExchangeDay();
      return true;
    default:
      return false;
  }
}

}  // namespace

void CantUndo() {
  gRedo = 0;
  gUndoStudent = kNone;
  gUndoAssignment = kNone;
  gUndoAction = kUndoNothing;
}

void GetUndoText(Str255& text) {
  text = gUndoText[gUndoAction < 24 ? gUndoAction : 0];
  if (gRedo && text.length() >= 2) {
    text[1] = 'R';
    text[2] = 'e';
  }
}

void DoUndoCmd() {
  if (gRedo) Redo();
  else Undo();
}

void Undo() {
  const int s = gUndoStudent;
  const int a = gUndoAssignment;
  const int d = gUndoDestination;
  if (!ExchangeBothWays()) {
    switch (gUndoAction) {
      case kUndoStudentCut:
        InsertRow(s);
        RestoreStudent(s, true);
        break;
      case kUndoStudentCopy:
        FindSeat(static_cast<int16_t>(d), gSavedStudent.copySeatRow,
                 gSavedStudent.copySeatColumn);
        DeleteRow(d);
        break;
      case kUndoStudentMove:
        DeleteRow(d);
        InsertRow(s);
        RestoreStudent(s, true);
        break;
      case kUndoStudentPaste:
        DeleteRow(s);
        break;
      case kUndoStudentDelete:
        RestoreStudent(s, false);
        break;
      case kUndoAssignmentCut: {
        SavedTermCurrent term;
        InsertColumn(a);
        RestoreColumn(a);
        break;
      }
      case kUndoAssignmentCopy: {
        SavedTermCurrent term;
        DeleteColumn(d);
        break;
      }
      case kUndoAssignmentMove: {
        SavedTermCurrent term;
        DeleteColumn(d);
        InsertColumn(a);
        RestoreColumn(a);
        break;
      }
      case kUndoAssignmentPaste: {
        SavedTermCurrent term;
        DeleteColumn(a);
        break;
      }
      case kUndoAssignmentDelete:
        RestoreColumn(a);
        break;
      default:
        break;
    }
  }
  SetChanged(1);
  gRedo = 1;
}

void Redo() {
  const int s = gUndoStudent;
  const int a = gUndoAssignment;
  const int d = gUndoDestination;
  if (!ExchangeBothWays()) {
    switch (gUndoAction) {
      case kUndoStudentCut:
        DeleteRow(s);
        break;
      case kUndoStudentCopy: {
        // The copy never had the original's seat; taking it would unseat the original.
        InsertRow(d);
        RestoreStudent(d, false);
        const uint16_t r = gSavedStudent.copySeatRow, c = gSavedStudent.copySeatColumn;
        if (ValidStudent(d) && r < kMaxSeatRows && c < kMaxSeatColumns &&
            gSeatingChart.seats[r][c] == kNone)
          gSeatingChart.seats[r][c] = static_cast<uint16_t>(d);
        break;
      }
      case kUndoStudentMove:
        DeleteRow(s);
        InsertRow(d);
        RestoreStudent(d, true);
        break;
      case kUndoStudentPaste:
        InsertRow(s);
        RestoreStudent(s, true);
        break;
      case kUndoStudentDelete:
        DeleteRow(s);
        InsertRow(s);
        break;
      case kUndoAssignmentCut: {
        SavedTermCurrent term;
        DeleteColumn(a);
        break;
      }
      case kUndoAssignmentCopy: {
        SavedTermCurrent term;
        InsertColumn(d);
        RestoreColumn(d);
        break;
      }
      case kUndoAssignmentMove: {
        SavedTermCurrent term;
        DeleteColumn(a);
        InsertColumn(d);
        RestoreColumn(d);
        break;
      }
      case kUndoAssignmentPaste: {
        SavedTermCurrent term;
        InsertColumn(a);
        RestoreColumn(a);
        break;
      }
      case kUndoAssignmentDelete: {
        SavedTermCurrent term;
        DeleteColumn(a);
        InsertColumn(a);
        break;
      }
      default:
        break;
    }
  }
  SetChanged(1);
  gRedo = 0;
}

void SetUndoStudent(uint16_t action, int16_t s) {
  if (!ValidStudent(s)) {
    CantUndo();
    return;
  }
  gRedo = 0;
  gUndoAction = action;
  gUndoStudent = static_cast<uint16_t>(s);
  SavedStudent& saved = gSavedStudent;
  SaveStudentRow(s, saved.row);
  FindSeat(s, saved.seatRow, saved.seatColumn);
  saved.copySeatRow = saved.copySeatColumn = kNone;
}

void SetUndoAssignment(uint16_t action, int16_t column) {
  if (!ValidColumn(column)) {
    CantUndo();
    return;
  }
  gRedo = 0;
  gUndoAction = action;
  gUndoAssignment = static_cast<uint16_t>(column);
  const int t = CurrentTermIndex();
  SavedAssignment& saved = gSavedAssignment;
  saved.term = static_cast<uint16_t>(t);
  saved.record = gAssignments[t][column];
  saved.date = gAssignDates[t][column];
  for (int s = 0; s < kMaxStudents; s++) {
    saved.scores[s] = gScores[s][t][column];
    saved.footnotes[s] = gFootnotes[s][t][column];
  }
}

void SetUndoDrag(uint16_t action, int16_t index, int16_t destination) {
  gUndoDestination = static_cast<uint16_t>(destination);
  switch (action) {
    case kUndoStudentCopy:
    case kUndoStudentMove:
      SetUndoStudent(action, index);
      break;
    case kUndoAssignmentCopy:
    case kUndoAssignmentMove:
      SetUndoAssignment(action, index);
      break;
    default:
      gRedo = 0;
      gUndoAction = action;
      break;
  }
}

void SetUndoOptions() {
  gRedo = 0;
  gUndoAction = kUndoOptions;
  SavedOptions& o = gSavedOptions;
  const int t = CurrentTermIndex();
  o.term = static_cast<uint16_t>(t);
  gSavedClass = gClass;
  o.reportOptions = gReportOptions;
  o.grading = gGrading[t];
  o.attendGrade = gAttendGrade;
  std::copy(gCategories[t], gCategories[t] + kMaxCategories, o.categories);
  std::copy(gTermNames, gTermNames + kMaxTerms, o.termNames);
  std::copy(gTermDates, gTermDates + kMaxTerms, o.termDates);
  std::copy(gSchoolWeek, gSchoolWeek + 7, o.schoolWeek);
  std::copy(&gAttendance[0][0], &gAttendance[0][0] + kMaxStudents * kMaxDays,
            &o.attendance[0][0]);
  std::copy(gCodes, gCodes + kMaxCodes, o.codes);
  std::copy(gLetterGrades, gLetterGrades + kMaxLetterGrades, o.letters);
  std::copy(gCutoffs, gCutoffs + kMaxCutoffs, o.cutoffs);
  std::copy(gSpecialScores, gSpecialScores + kMaxSpecialScores, o.specials);
  std::copy(gHolidays, gHolidays + kMaxDays, o.holidays);
}

void SetUndoEditing() {
  gRedo = 0;
  gUndoAction = kUndoClassHeader;
  gSavedClass = gClass;
}

void SetUndoEmailData() {
  gRedo = 0;
  gUndoAction = kUndoEmailData;
  gSavedEmailData = gEmailData;
  std::copy(gEmailAddresses, gEmailAddresses + kMaxStudents, gSavedEmailAddresses);
}

void SetUndoEditFootnotes() {
  gRedo = 0;
  gUndoAction = kUndoFootnotes;
  std::copy(gFootnoteText, gFootnoteText + kMaxFootnotes, gSavedFootnoteText);
}

void SetUndoGlobalComments() {
  gRedo = 0;
  gUndoAction = kUndoGlobalComments;
  std::copy(gHeader, gHeader + kMaxTerms, gSavedGlobalComments.header);
  std::copy(gFooter, gFooter + kMaxTerms, gSavedGlobalComments.footer);
}

void SetUndoStudentComments() {
  gRedo = 0;
  gUndoAction = kUndoStudentComments;
  std::copy(&gComments[0][0], &gComments[0][0] + kMaxStudents * kMaxTerms,
            &gSavedComments[0][0]);
  gSavedCommentOptions = gReportOptions;
}

void SetUndoAssignSeating() {
  gRedo = 0;
  gUndoAction = kUndoSeating;
  gSavedSeating = gSeatingChart;
}

void SetUndoDay(uint16_t action, int16_t day) {
  gRedo = 0;
  gUndoAction = action;
  // A day outside the attendance table is remembered as none: its undo changes nothing.
  gSavedDay.day = day >= 0 && day < kMaxDays ? static_cast<uint16_t>(day) : kNone;
  if (gSavedDay.day == kNone) return;
  for (int s = 0; s < kMaxStudents; s++) gSavedDay.marks[s] = gAttendance[s][day];
}
