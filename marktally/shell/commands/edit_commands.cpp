#include "marktally/shell/commands/edit_commands.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/dialogs/class_dialogs.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"

uint8_t gCanPasteStudent = 0;
uint8_t gCanPasteAssignment = 0;

namespace {

// A student with everything keyed by its row, and its seat (-1 when not seated).
struct HeldStudent {
  StudentRow row;
  int16_t seatRow = -1;
  int16_t seatCol = -1;
};
// An assignment column of the current term.
struct HeldAssignment {
  AssignmentRecord record;
  uint32_t date = 0;
  int16_t scores[kMaxStudents];
  uint8_t footnotes[kMaxStudents];
};

// The clipboard lasts until the program quits; the drag buffers hold one row or column
// during one move or copy.
HeldStudent& ClipStudentBuffer() {
  static auto* held = new HeldStudent();
  return *held;
}
HeldStudent& DragStudentBuffer() {
  static auto* held = new HeldStudent();
  return *held;
}
HeldAssignment gClipAssignment{};
HeldAssignment gDragAssignment{};

bool ValidRow(int s) { return s >= 0 && s < kMaxStudents; }


// Text holding a character a class file cannot store is refused whole, naming the
// character, rather than pasted with a "?" in its place.
bool RefuseUnstorablePaste() {
  const char32_t u = TEScrapUnstorable();
  if (u == 0) return false;
  char code[16] = {};
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u));
  Alert(kStopAlert, "Unable to paste",
        std::string("The text holds the character ") + code +
            ", which a class file cannot store. Nothing was pasted.");
  return true;
}

void Hold(int16_t s, HeldStudent& held) {
  SaveStudentRow(s, held.row);
  uint16_t row, column;
  FindSeat(s, row, column);
  held.seatRow = row == kNone ? -1 : S16(row);
  held.seatCol = column == kNone ? -1 : S16(column);
}

// Inserts row s and fills it from held; seated in its held seat when that seat is free
// and allowed, else in the first empty seat.
void Put(int16_t s, const HeldStudent& held, bool keepSeat) {
  InsertStudent(s);
  LoadStudentRow(held.row, s);
  const int r = held.seatRow, c = held.seatCol;
  if (keepSeat && r >= 0 && c >= 0 && r < std::min<int>(gSeatingChart.rows, kMaxSeatRows) &&
      c < std::min<int>(gSeatingChart.columns, kMaxSeatColumns) &&
      gSeatingChart.seats[r][c] == kNone)
    gSeatingChart.seats[r][c] = static_cast<uint16_t>(s);
  else
    AssignToSeat(s);
}

void Hold(int16_t a, HeldAssignment& held) {
  const int t = Term();
  held.record = gAssignments[t][a];
  held.date = gAssignDates[t][a];
  for (int s = 0; s < kMaxStudents; s++) {
    held.scores[s] = gScores[s][t][a];
    held.footnotes[s] = gFootnotes[s][t][a];
  }
}

void Put(int16_t a, const HeldAssignment& held) {
  const int t = Term();
  InsertAssignment(a);
  gAssignments[t][a] = held.record;
  gAssignDates[t][a] = held.date;
  for (int s = 0; s < kMaxStudents; s++) {
    gScores[s][t][a] = held.scores[s];
    gFootnotes[s][t][a] = held.footnotes[s];
  }
}

bool Blank(int16_t score) { return score == kBlank; }

}  // namespace

// ---- Cut, copy, paste, delete ------------------------------------------------------

void DoCutCmd() {
  if (gEditHandle) {
    ClearCurrentScrap();
    TECut(gEditHandle);
    TEToScrap();
    return;
  }
  if (gSelStudent != kNone) {
    const int16_t s = Slot(gSelStudent);
    ClipStudent(s);
    SetUndoStudent(kUndoStudentCut, s);
    DeleteStudent(s);
    CancelSelection();
    SetChanged(1);
    UpdateSeating();
    ForceUpdate();
    CountScores();
  } else if (gSelAssignment != kNone && gCurrView == kGradebookView) {
    const int16_t a = Slot(gSelAssignment);
    ClipAssignment(a);
    SetUndoAssignment(kUndoAssignmentCut, a);
    DeleteAssignment(a);
    CancelSelection();
    SetChanged(1);
    ForceUpdate();
    CountScores();
    FlushAll();
  }
}

void DoCopyCmd() {
  if (gEditHandle) {
    ClearCurrentScrap();
    TECopy(gEditHandle);
    TEToScrap();
    return;
  }
  if (gSelStudent != kNone) {
    ClipStudent(Slot(gSelStudent));
    SetUndoStudent(kUndoNothing, Slot(gSelStudent));
  } else if (gSelAssignment != kNone && gCurrView == kGradebookView) {
    ClipAssignment(Slot(gSelAssignment));
    SetUndoAssignment(kUndoNothing, Slot(gSelAssignment));
  }
}

void DoPasteCmd() {
  if (gEditHandle) {
    // What the desktop holds now, not what it held when the editor opened.
    TEFromScrap();
    if (RefuseUnstorablePaste()) return;
    if (OKToPaste()) TEPaste(gEditHandle);
    return;
  }
  if (gSelStudent != kNone) {
    if (!OkToPasteStudent()) return;
    const int16_t s = Slot(gSelStudent);
    PasteStudent(s);
    CheckStudent(s);
    SetUndoStudent(kUndoStudentPaste, s);
    SetChanged(1);
    UpdateSeating();
    ForceUpdate();
    CountScores();
    FlushAll();
  } else if (gSelAssignment != kNone && gCurrView == kGradebookView) {
    if (!OkToPasteAssignment()) return;
    const int16_t a = Slot(gSelAssignment);
    PasteAssignment(a);
    CheckAssignment(a);
    SetUndoAssignment(kUndoAssignmentPaste, a);
    SetChanged(1);
    ForceUpdate();
    CountScores();
    FlushAll();
  }
}

void DoDeleteCmd() {
  if (gEditHandle) {
    TEDelete(gEditHandle);
    return;
  }
  if (gSelStudent != kNone) {
    const int16_t s = Slot(gSelStudent);
    SetUndoStudent(kUndoStudentDelete, s);
    DeleteStudent(s);
    InsertStudent(s);
    SetChanged(1);
    UpdateSeating();
    ForceUpdate();
    CountScores();
  } else if (gSelAssignment != kNone && gCurrView == kGradebookView) {
    const int16_t a = Slot(gSelAssignment);
    SetUndoAssignment(kUndoAssignmentDelete, a);
    DeleteAssignment(a);
    InsertAssignment(a);
    SetChanged(1);
    ForceUpdate();
    CountScores();
    FlushAll();
  }
}

void ClipStudent(int16_t s) {
  if (!ValidRow(s)) return;
  Hold(s, ClipStudentBuffer());
  gCanPasteStudent = 1;
  gCanPasteAssignment = 0;
}

void ClipAssignment(int16_t a) {
  if (!ValidColumn(a)) return;
  Hold(a, gClipAssignment);
  gCanPasteAssignment = 1;
  gCanPasteStudent = 0;
}

bool OkToPasteStudent() {
  if (gStudents[kMaxStudents - 1].name.empty()) return true;
  Alert(kStopAlert, "Unable to paste student",
       "You cannot paste a student into this class because '" +
           gStudents[kMaxStudents - 1].name.str() + "' would be lost from the last row.");
  return false;
}

bool OkToPasteAssignment() {
  const AssignmentRecord& last = gAssignments[Term()][kMaxAssignments - 1];
  if (last.name.empty()) return true;
  Alert(kStopAlert, "Unable to paste assignment",
       "You cannot paste an assignment into this class because '" + last.name.str() +
           "' would be lost from the last column.");
  return false;
}

void PasteStudent(int16_t s) {
  if (ValidRow(s)) Put(s, ClipStudentBuffer(), true);
}

void PasteAssignment(int16_t a) {
  if (ValidColumn(a)) Put(a, gClipAssignment);
}

void CheckStudent(int16_t s) {
  if (!ValidRow(s)) return;
  for (int t = 0; t < kMaxTerms; t++) {
    for (int a = 0; a < kMaxAssignments; a++) {
      const int16_t score = gScores[s][t][a];
      if (score < 0) continue;
      const AssignmentRecord& rec = gAssignments[t][a];
      const int p = rec.points * 10;
      if (rec.name.empty() || (p > 0 && (score < p / 2 || score > p))) {
        Alert(kNoteAlert, "Some scores do not match their assignments",
             "The student you are pasting has some scores that do not appear to fit their "
             "corresponding assignments. You may need to adjust or move some of these "
             "scores.");
        return;
      }
    }
  }
}

void CheckAssignment(int16_t a) {
  if (!ValidColumn(a)) return;
  const int t = Term();
  for (int s = 0; s < kMaxStudents; s++) {
    if (gStudents[s].name.empty() && gScores[s][t][a] >= 0) {
      Alert(kNoteAlert, "This assignment has too many scores",
           "The assignment you are pasting more scores than the number of students in this "
           "class. You may need to remove some of these scores.");
      return;
    }
  }
}

// ---- Drag and drop -----------------------------------------------------------------

void MoveStudent(int16_t from, int16_t to) {
  if (!ValidRow(from) || !ValidRow(to) || from == to) return;
  SetUndoDrag(kUndoStudentMove, from, to);
  HeldStudent& held = DragStudentBuffer();
  Hold(from, held);
  DeleteStudent(from);
  Put(to, held, true);
  SelectStudent(to);
  SetChanged(1);
  UpdateSeating();
  ForceUpdate();
}

bool OkToCopyStudent() {
  if (gStudents[kMaxStudents - 1].name.empty()) return true;
  Alert(kStopAlert, "Unable to copy student", "You cannot copy this student because '" +
                                     gStudents[kMaxStudents - 1].name.str() +
                                     "' would be lost from the last row.");
  return false;
}

void CopyStudent(int16_t from, int16_t to) {
  if (!ValidRow(from) || !ValidRow(to) || !OkToCopyStudent()) return;
  SetUndoDrag(kUndoStudentCopy, from, to);
  HeldStudent& held = DragStudentBuffer();
  Hold(from, held);
  // The original keeps its seat; the copy takes the first empty one.
  Put(to, held, false);
  SelectStudent(to);
  SetChanged(1);
  UpdateSeating();
  ForceUpdate();
}

void MoveAssignment(int16_t from, int16_t to) {
  if (!ValidColumn(from) || !ValidColumn(to) || from == to) return;
  SetUndoDrag(kUndoAssignmentMove, from, to);
  Hold(from, gDragAssignment);
  DeleteAssignment(from);
  Put(to, gDragAssignment);
  SelectAssignment(to);
  SetChanged(1);
  CountScores();
  FlushAll();
  ForceUpdate();
}

bool OkToCopyAssignment(int16_t a) {
  const int t = Term();
  if (gAssignments[t][a].category == kExamCategory && LocateExam(S16(t)) >= 0) {
    Alert(kStopAlert, "Unable to copy assignment",
         "You cannot copy this assignment because there is already a final exam in this "
         "term.");
    return false;
  }
  const AssignmentRecord& last = gAssignments[t][kMaxAssignments - 1];
  if (last.name.empty()) return true;
  Alert(kStopAlert, "Unable to copy assignment", "You cannot copy this assignment because '" +
                                        last.name.str() + "' would be lost from the last column.");
  return false;
}

void CopyAssignment(int16_t from, int16_t to) {
  if (!ValidColumn(from) || !ValidColumn(to) || !OkToCopyAssignment(from)) return;
  SetUndoDrag(kUndoAssignmentCopy, from, to);
  Hold(from, gDragAssignment);
  Put(to, gDragAssignment);
  SelectAssignment(to);
  SetChanged(1);
  CountScores();
  FlushAll();
  ForceUpdate();
}

// ---- Fills -------------------------------------------------------------------------

void DoFillDownCmd() {
  if (!gEditHandle) return;
  if (gEditKind == kEditAttendance) {
    DoFillDownAttendCmd();
    return;
  }
  if (gEditKind != kEditScore) return;
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  CloseEdit(kEditCommit);
  if (gEditHandle) return;
  const int t = Term();
  const int16_t v = gScores[s][t][a];
  SetUndoAssignment(kUndoFillDown, a);
  if (s < kMaxStudents - 1) {
    bool replaceAll = false;
    for (int r = s + 1; r < kMaxStudents && Named(r); r++) {
      if (Blank(gScores[r][t][a])) continue;
      replaceAll = AskYes(kCautionAlert, "Fill Down",
                          "There are one or more scores in this column that will be replaced "
                          "by this Fill Down. Do you want to replace these scores?");
      break;
    }
    for (int r = s + 1; r < kMaxStudents && Named(r); r++) {
      if (replaceAll || Blank(gScores[r][t][a])) {
        gScores[r][t][a] = v;
        UpdateScore(S16(r), a);
      }
      FlushOne(S16(r));
      UpdateGrade(S16(r));
    }
  }
  CountScores();
  SetChanged(1);
}

void DoFillAcrossCmd() {
  if (!gEditHandle) return;
  if (gEditKind == kEditAttendance) {
    DoFillAcrossAttendCmd();
    return;
  }
  if (gEditKind != kEditScore) return;
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  CloseEdit(kEditCommit);
  if (gEditHandle) return;
  const int t = Term();
  const int16_t v = gScores[s][t][a];
  SetUndoStudent(kUndoFillAcross, s);
  if (a < kMaxAssignments - 1) {
    bool replaceAll = false;
    for (int c = a + 1; c < kMaxAssignments; c++) {
      if (gAssignments[t][c].name.empty() || Blank(gScores[s][t][c])) continue;
      replaceAll = AskYes(kCautionAlert, "Fill Across",
                          "There are one or more scores in this row that will be replaced by "
                          "this Fill Across. Do you want to replace these scores?");
      break;
    }
    for (int c = a + 1; c < kMaxAssignments; c++) {
      if (gAssignments[t][c].name.empty()) continue;
      if (replaceAll || Blank(gScores[s][t][c])) {
        gScores[s][t][c] = v;
        UpdateScore(s, S16(c));
      }
    }
  }
  CountScores();
  FlushOne(s);
  UpdateAllGrades();
  SetChanged(1);
}

namespace {
bool SchoolWeekday(int day) {
  DateTimeRec d{};
  SecondsToDate(gTermDates[0].start + static_cast<uint32_t>(day) * 86400u, d);
  const int monday0 = (d.dayOfWeek + 5) % 7;  // Sunday 1 .. Saturday 7 to Monday 0
  return gSchoolWeek[monday0] != 0;
}
}  // namespace

void DoFillDownAttendCmd() {
  const int16_t s = Slot(gEditStudent);
  const int d = ColumnDay(Slot(gEditAssignment));
  CloseEdit(kEditCommit);
  if (gEditHandle || d < 0 || !ValidRow(s)) return;
  const uint8_t m = gAttendance[s][d];
  SetUndoDay(kUndoDayFill, S16(d));
  bool replaceAll = false;
  for (int r = s + 1; r < kMaxStudents && Named(r); r++) {
    if (gAttendance[r][d] == kNoMark) continue;
    replaceAll = AskYes(kCautionAlert, "Fill Down",
                        "There are one or more attendance codes in this column that will be "
                        "replaced by this Fill Down. Do you want to replace these attendance "
                        "codes?");
    break;
  }
  for (int r = s + 1; r < kMaxStudents && Named(r); r++)
    if (replaceAll || gAttendance[r][d] == kNoMark) gAttendance[r][d] = m;
  UpdateAttendance();
  ForceUpdate();
  SetChanged(1);
}

void DoFillAcrossAttendCmd() {
  const int16_t s = Slot(gEditStudent);
  const int d = ColumnDay(Slot(gEditAssignment));
  const int last = ColumnDay(gLastColumn);
  CloseEdit(kEditCommit);
  if (gEditHandle || d < 0 || !ValidRow(s)) return;
  const uint8_t m = gAttendance[s][d];
  SetUndoStudent(kUndoFillAcross, s);
  if (last >= 0 && d + 1 <= last) {
    bool replaceAll = false;
    for (int day = d + 1; day <= last; day++) {
      if (gAttendance[s][day] == kNoMark) continue;
      replaceAll = AskYes(kCautionAlert, "Fill Across",
                          "There are one or more attendance codes in this row that will be "
                          "replaced by this Fill Across. Do you want to replace these "
                          "attendance codes?");
      break;
    }
    for (int day = d + 1; day <= last; day++) {
      if (gHolidays[day] == 1 || !SchoolWeekday(day)) continue;
      if (replaceAll || gAttendance[s][day] == kNoMark) gAttendance[s][day] = m;
    }
  }
  UpdateAttendance();
  ForceUpdate();
  SetChanged(1);
}

// ---- Seats and curves ----------------------------------------------------------------

void MoveSeat(int16_t fromRow, int16_t fromColumn, int16_t toRow, int16_t toColumn) {
  const int rows = std::min<int>(gSeatingChart.rows, kMaxSeatRows);
  const int columns = std::min<int>(gSeatingChart.columns, kMaxSeatColumns);
  auto inside = [&](int r, int c) { return r >= 0 && r < rows && c >= 0 && c < columns; };
  if (!inside(fromRow, fromColumn) || !inside(toRow, toColumn)) return;
  uint16_t& to = gSeatingChart.seats[toRow][toColumn];
  if (to == 0xFFFD || to == 0xFFFE) return;
  std::swap(gSeatingChart.seats[fromRow][fromColumn], to);
  SetChanged(1);
}

bool CanCurveAssign() {
  const int a = CurveColumn();
  if (!ValidColumn(a)) return false;
  const int t = Term();
  int count = 0;
  int highest = 0, lowest = gAssignments[t][a].points * 10;
  for (int s = 0; s < kMaxStudents; s++) {
    if (!Named(s)) continue;
    const int16_t score = gScores[s][t][a];
    if (score < 0) continue;
    count++;
    highest = std::max<int>(highest, score);
    lowest = std::min<int>(lowest, score);
  }
  const char* why = nullptr;
  if (count == 1)
    why = "This assignment cannot be curved since there there is only one numeric score.";
  else if (count == 0)
    why = "This assignment cannot be curved since there are no numeric scores.";
  else if (lowest == highest)
    why = "This assignment cannot be curved since the numeric scores are all the same.";
  if (!why) return true;
  Alert(kStopAlert, "Unable to curve assignment", why);
  return false;
}
