#include "marktally/shell/window/celledit.h"

#include <algorithm>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/recent.h"
#include "marktally/model/records.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"
#include "marktally/toolbox/windows.h"

TERec* gEditHandle = nullptr;
uint16_t gEditKind = kEditScore;
uint16_t gEditStudent = kNone;
uint16_t gEditAssignment = kNone;
Rect gEditBox{0, 0, 0, 0};
uint32_t gLastAssignDate = 0;

namespace {

constexpr int32_t kTypeLimits[12] = {15, 31, 47, 21, 8, 10, 8, 8, 8, 63, 63, 31};
constexpr int32_t kPasteLimits[12] = {15, 31, 47, 21, 8, 10, 8, 8, 8, 63, 63, 31};
constexpr int16_t kAllText = 32767;
constexpr uint32_t kDay = 86400;

int32_t Limit(const int32_t (&table)[12]) { return gEditKind < 12 ? table[gEditKind] : 8; }
bool AssignmentNamed(int a) {
  return a >= 0 && a < kMaxAssignments && !gAssignments[Term()][a].name.empty();
}
bool RowKind(uint16_t kind) {
  return kind == kEditID || kind == kEditName || kind == kEditGrade || kind == kEditScore ||
         kind == kEditAttendance;
}

Str255 EditText() {
  Str255 raw = PStr(gEditHandle ? TEGetText(gEditHandle) : std::string());
  Str255 trimmed;
  StripBlanks(raw, trimmed);
  return trimmed;
}

void SetEditText(ConstStringPtr text, int16_t selStart, int16_t selEnd) {
  TESetText(text + 1, text[0], gEditHandle);
  TESetSelect(selStart, selEnd, gEditHandle);
  UpdateEdit();
}

std::string Number(long n) { return std::to_string(n); }


// Keeps the editor open on its text, all of it selected, after a refusal.
void Reselect() {
  if (!gEditHandle) return;
  TESetSelect(0, kAllText, gEditHandle);
  TEActivate(gEditHandle);
  UpdateEdit();
}
void Refuse(const std::string& title, const std::string& text) {
  Alert(kStopAlert, title, text);
  Reselect();
}

void DisposeEdit() {
  if (!gEditHandle) return;
  TEDispose(gEditHandle);
  gEditHandle = nullptr;
}

// The cell rectangle of a row or column kind at the current scroll position.
Rect CellBox(uint16_t kind, int16_t s, int16_t a) {
  Rect r{0, 0, 0, 0};
  switch (kind) {
    case kEditID: IDBox(s, &r); break;
    case kEditName: StudentBox(s, &r); break;
    case kEditGrade: GradeBox(s, &r); break;
    case kEditScore:
    case kEditAttendance: ScoreBox(s, a, &r); break;
    case kEditAssignmentName: AssignmentBox(&r); break;
    case kEditCategory: CategoryBox(&r); break;
    case kEditPoints: PointsBox(&r); break;
    case kEditDate: DateBox(&r); break;
    case kEditSchool: SchoolBox(&r); break;
    case kEditSubject: SubjectBox(&r); break;
    case kEditTeacher: TeacherBox(&r); break;
    default: break;
  }
  return r;
}

void OpenEdit(Rect r, ConstStringPtr text, int16_t just) {
  if (!gWindow) return;
  WindowDrawing port;
  OffsetRect(&r, 0, -1);
  TextFont(gReportFont);
  TextSize(gReportSize);
  TextFace(normal);
  gEditHandle = TENew(&r, &r);
  gEditHandle->crOnly = -1;
  gEditBox = r;
  TEFromScrap();
  TESetAlignment(just, gEditHandle);
  TEAutoView(true, gEditHandle);
  TESetText(text + 1, text[0], gEditHandle);
  TESetSelect(0, kAllText, gEditHandle);
  TEActivate(gEditHandle);
  EraseRect(&r);
  TEUpdate(&r, gEditHandle);
}

// The common steps of every opener.
bool Open(uint16_t kind, int16_t s, int16_t a, ConstStringPtr text) {
  if (gEditHandle || !gWindow) return false;
  gEditStudent = static_cast<uint16_t>(s);
  gEditAssignment = static_cast<uint16_t>(a);
  if (s >= 0) ShowStudent(s);
  if (a >= 0) ShowAssignment(a);
  gEditKind = kind;
  OpenEdit(CellBox(kind, s, a), text, teFlushLeft);
  return true;
}

void HiliteEditedCell() { SetCellHeads(Slot(gEditStudent), Slot(gEditAssignment), true); }

std::string TodayText() {
  Str255 t;
  SecondsToString(GetDateTime(), t);
  return ToStdString(t);
}

void CountMark(int s, int term, uint8_t mark, int sign) {
  if (mark >= kMaxCodes || term < 0 || term >= kMaxTerms) return;
  const CodeRecord& code = gCodes[mark];
  uint16_t* total = code.kind == 1 ? &gStudents[s].absences[term]
                    : code.kind == 2 ? &gStudents[s].tardies[term]
                                     : nullptr;
  if (!total) return;
  // Totals adjusted by hand may disagree with the marks (a code's value changed since):
  // they stay within 0..65535 instead of wrapping.
  const int32_t next = static_cast<int32_t>(*total) + sign * static_cast<int32_t>(code.value);
  *total = static_cast<uint16_t>(std::clamp<int32_t>(next, 0, 0xFFFF));
}

// The term whose days hold a calendar day; the current term when none does.
int TermOfDay(int day) {
  const uint32_t when = gTermDates[0].start + static_cast<uint32_t>(day) * kDay;
  for (int t = 0; t <= std::min<int>(gClass.lastTerm, kMaxTerms - 1); t++)
    if (when >= gTermDates[t].start && when <= gTermDates[t].end + kDay - 1) return t;
  return Term();
}

// ---- Savers ------------------------------------------------------------------------

void CancelEdit() {
  const uint16_t kind = gEditKind;
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  DisposeEdit();
  switch (kind) {
    case kEditScore:
    case kEditAttendance:
      SetCellHeads(s, a, false);
      UpdateScore(s, a);
      break;
    case kEditID:
    case kEditName: UpdateStudent(s); break;
    case kEditGrade: UpdateGrade(s); break;
    case kEditDate:
      UpdateAssignment(a);
      UpdateHeader();
      break;
    case kEditAssignmentName:
    case kEditCategory:
    case kEditPoints:
      UpdateAssignment(a);
      UpdateGradebookHeader();
      break;
    default: UpdateHeader(); break;
  }
}

void SaveScore(ConstStringPtr text, int16_t move) {
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  const int t = Term();
  SetCellHeads(s, a, false);
  uint16_t value = static_cast<uint16_t>(kInvalid);
  StringToScore(text, 1000, value);
  if (value == static_cast<uint16_t>(kInvalid)) PercentToScore(text, a, value);
  if (value == static_cast<uint16_t>(kInvalid)) NegativeToScore(text, a, value);
  if (value == static_cast<uint16_t>(kInvalid)) GradeToScore(text, a, value);
  if (value == static_cast<uint16_t>(kInvalid)) RatioToScore(text, a, value);
  if (value == static_cast<uint16_t>(kInvalid)) {
    Refuse("Invalid score",
           "Scores must be decimal numbers from 0 to " + Number(1000) +
               ", decimal percents, letter grades, or ratios. You "
               "can enter a score of \"Exc\" to excuse an assignment.");
    SetCellHeads(s, a, true);
    return;
  }
  const auto score = static_cast<int16_t>(value);
  const int points = gAssignments[t][a].points;
  if (points > 0 && score >= 0 && score > points * 20 &&
      !AskYes(kCautionAlert, "Score too high?",
              "This score is more than twice the points "
              "possible for this assignment. Are you sure "
              "this score is correct?")) {
    Reselect();
    SetCellHeads(s, a, true);
    return;
  }
  DisposeEdit();
  const int16_t old = gScores[s][t][a];
  if (score != old) {
    SetChanged(1);
    SetUndoStudent(kUndoStudentEdit, s);
    gScores[s][t][a] = score;
  }
  if (gStudents[s].lockedPercent[t] != kNone &&
      AskYes(kNoteAlert, "Unlock grade?",
             "The grade for this student has been locked and will not change to reflect "
             "this new score. Do you want to unlock this grade and show the computed grade?")) {
    // The unlock alone is a change of the class, undone with the score when there was one.
    if (score == old) {
      SetChanged(1);
      SetUndoStudent(kUndoStudentEdit, s);
    }
    gStudents[s].lockedPercent[t] = kNone;
  }
  UpdateScore(s, a);
  FlushOne(s);
  UpdateGrade(s);
  uint16_t& count = gNumScores[t][a];
  bool all = false;
  if (old == kBlank && score != kBlank) {
    all = count == 0;
    count++;
  } else if (old != kBlank && score == kBlank && count > 0) {
    all = --count == 0;
  }
  if (all) {
    FlushAll();
    UpdateAllGrades();
  }
  switch (move) {
    case kEditDown: EditScore(s == kMaxStudents - 1 || !Named(s + 1) ? s : S16(s + 1), a); break;
    case kEditUp: EditScore(s == 0 ? s : S16(s - 1), a); break;
    case kEditPrevious: EditPrevScore(); break;
    case kEditNext: EditNextScore(); break;
    default: break;
  }
}

void SaveAttendance(ConstStringPtr text, int16_t move) {
  const int16_t s = Slot(gEditStudent), c = Slot(gEditAssignment);
  const int day = ColumnDay(c);
  SetCellHeads(s, c, false);
  // A code is typed at most 4 characters long: match what its name can hold.
  Str4 cut;
  cut.set(text);
  Str255 name;
  name.set(cut);
  int16_t code = -1;
  if (!name.empty()) WhichCode(name, code);
  if (!name.empty() && (code < 0 || code >= kMaxCodes)) {
    Refuse("Invalid attendance code",
           "'" + ToStdString(name) +
               "' is not a valid attendance code. Choose Attendance from "
               "the Gradebook menu to see the available attendance codes.");
    SetCellHeads(s, c, true);
    return;
  }
  DisposeEdit();
  if (day >= 0) {
    SetUndoStudent(kUndoStudentEdit, s);
    const uint8_t old = gAttendance[s][day];
    const uint8_t mark = name.empty() ? kNoMark : static_cast<uint8_t>(code);
    gAttendance[s][day] = mark;
    const int term = TermOfDay(day);
    CountMark(s, term, old, -1);
    CountMark(s, term, mark, +1);
    if (mark != old) SetChanged(1);
  }
  UpdateScore(s, c);
  UpdateGrade(s);
  switch (move) {
    case kEditDown:
      EditAttendance(s == kMaxStudents - 1 || !Named(s + 1) ? s : S16(s + 1), c);
      break;
    case kEditUp: EditAttendance(s == 0 ? s : S16(s - 1), c); break;
    case kEditPrevious: EditAttendance(s, c == 0 ? c : S16(c - 1)); break;
    case kEditNext: EditAttendance(s, c >= gLastColumn ? c : S16(c + 1)); break;
    default: break;
  }
}

void SaveGrade(ConstStringPtr text, int16_t move) {
  const int16_t s = Slot(gEditStudent);
  const int t = Term();
  Str255 copy;
  copy.set(text);
  if (copy.length() > 0 && copy[copy.length()] == '%') copy[copy.length()] = ' ';
  uint16_t percent = kNone;
  if (!(ToStdString(text) == "--" || text[0] == 0)) {
    StringToPercent(copy, 120, percent);
    if (percent == static_cast<uint16_t>(kInvalid) || percent == kNone) {
      Refuse("Invalid percent", "Percents must be decimal numbers from 0 to " + Number(120));
      return;
    }
  }
  DisposeEdit();
  if (percent != static_cast<uint16_t>(TermPercent(S16(t), s))) {
    SetChanged(1);
    SetUndoStudent(kUndoStudentEdit, s);
    gStudents[s].lockedPercent[t] = percent;
  }
  UpdateGrade(s);
  if (move == kEditUp) EditGrade(s == 0 ? s : S16(s - 1));
  if (move == kEditDown) EditGrade(s == kMaxStudents - 1 || !Named(s + 1) ? s : S16(s + 1));
}

void SaveStudentText(ConstStringPtr text, int16_t move, bool isName) {
  const int16_t s = Slot(gEditStudent);
  DisposeEdit();
  SetUndoStudent(kUndoStudentEdit, s);
  StudentRecord& rec = gStudents[s];
  Str31 old;
  old.set(isName ? static_cast<ConstStringPtr>(rec.name) : static_cast<ConstStringPtr>(rec.id));
  if (isName)
    rec.name.set(text);
  else
    rec.id.set(text);
  const ConstStringPtr now = isName ? static_cast<ConstStringPtr>(rec.name)
                                    : static_cast<ConstStringPtr>(rec.id);
  if (!EqualString(now, old, false, false)) SetChanged(1);
  if (isName && now[0] == 0 && !old.empty()) {
    UpdateStudent(s);
    if (AskYes(kCautionAlert, "Delete student?",
               "You have deleted the name of this student. Do you want to delete this "
               "student from the gradebook?")) {
      rec.name.set(old);
      SetUndoStudent(kUndoStudentCut, s);
      DeleteStudent(s);
      UpdateSeating();
      CountScores();
    }
    ForceUpdate();
    return;
  }
  if (isName && now[0] != 0 && old.empty()) {
    AssignToSeat(s);
    ForceUpdate();
  }
  UpdateStudent(s);
  UpdateGrade(s);
  const bool ids = gClass.flags & kShowIDs, names = gClass.flags & kShowNames;
  switch (move) {
    case kEditDown:
      if (s < kMaxStudents - 1) (isName ? EditStudent : EditID)(S16(s + 1));
      break;
    case kEditUp:
      if (s > 0) (isName ? EditStudent : EditID)(S16(s - 1));
      break;
    case kEditPrevious:
      if (isName && ids) EditID(s);
      break;
    case kEditNext:
      if (!isName && names)
        EditStudent(s);
      else if (AssignmentNamed(0))
        EditScore(s, 0);
      break;
    default: break;
  }
}

// The neighbour of assignment a for a sideways move of a header field, or -1.
int Neighbour(int a, int step) { return AssignmentNamed(a + step) ? a + step : -1; }

// Moves of the assignment header fields; false when none applied.
bool MoveHeader(uint16_t kind, int16_t a, int16_t move) {
  using Opener = void (*)(int16_t);
  static const Opener kOpeners[] = {EditAssignment, EditCategory, EditPoints, EditDate};
  const Opener same = kOpeners[kind - kEditAssignmentName];
  if (move == kEditPrevious || move == kEditNext) {
    const int n = Neighbour(a, move == kEditNext ? 1 : -1);
    if (n < 0) return false;
    UpdateAssignmentInfo(S16(n));
    UpdateAssignment(a);
    same(S16(n));
    return true;
  }
  if (move == kEditCommitHeader) {
    if (kind == kEditDate) UpdateAssignmentInfo(a);
    UpdateAssignment(a);
    return true;
  }
  switch (kind) {
    case kEditDate:
      if (move == kEditDown) EditAssignment(a);
      return move == kEditDown;
    case kEditAssignmentName:
      if (move == kEditDown) EditCategory(a);
      if (move == kEditUp) EditDate(a);
      return move == kEditDown || move == kEditUp;
    case kEditCategory:
      if (move == kEditDown) EditPoints(a);
      if (move == kEditUp) EditAssignment(a);
      return move == kEditDown || move == kEditUp;
    case kEditPoints:
      if (move == kEditUp) {
        EditCategory(a);
        return true;
      }
      if (move == kEditDown && Named(0)) {
        UpdateAssignment(a);
        UpdateGradebookHeader();
        EditScore(0, a);
        return true;
      }
      return false;
    default: return false;
  }
}

void FinishHeader(uint16_t kind, int16_t a, int16_t move) {
  if (MoveHeader(kind, a, move)) return;
  UpdateAssignment(a);
  UpdateGradebookHeader();
}

void SaveAssignmentName(ConstStringPtr text, int16_t move) {
  const int16_t a = Slot(gEditAssignment);
  const int t = Term();
  DisposeEdit();
  SetUndoAssignment(kUndoAssignmentEdit, a);
  AssignmentRecord& rec = gAssignments[t][a];
  Str47 old;
  old.set(rec.name);
  rec.name.set(text);
  if (!EqualString(rec.name, old, false, false)) SetChanged(1);
  if (rec.name.empty() && !old.empty()) {
    UpdateAssignment(a);
    if (AskYes(kCautionAlert, "Delete assignment?",
               "You have deleted the name of this assignment. Do you want to delete this "
               "assignment from the gradebook?")) {
      rec.name.set(old);
      SetUndoAssignment(kUndoAssignmentCut, a);
      DeleteAssignment(a);
      CountScores();
    }
    FlushAll();
    ForceUpdate();
    return;
  }
  InsertRecentAssign(a);
  FlushAll();
  UpdateAllGrades();
  FinishHeader(kEditAssignmentName, a, move);
}

void SaveCategory(ConstStringPtr text, int16_t move) {
  const int16_t a = Slot(gEditAssignment);
  const int t = Term();
  Str21 cut;
  cut.set(text);
  Str255 name;
  name.set(cut);
  if (name.empty()) {
    Refuse("Invalid category",
           "Assignment categories cannot be left blank. Choose Categories from the "
           "Gradebook menu to see the available categories.");
    return;
  }
  int16_t category = kInvalid;
  WhichCategory(name, category);
  if (category < 0 || category >= kMaxCategories) {
    const std::string typed = ToStdString(name);
    if (!AskYes(kStopAlert, "Invalid category",
                "'" + typed + "' is not an assignment category. Would you "
                              "like to add it to your gradebook options?")) {
      Reselect();
      return;
    }
    category = AddNewCategory(name);
    if (category < 0) {
      Refuse("Unable to add category", "Unable to add new assignment category '" + typed +
                                           "' to gradebook options. You already "
                                           "have the maximum number of categories.");
      return;
    }
  }
  DisposeEdit();
  if (category == kExamCategory) NoteExamConflicts();
  SetUndoAssignment(kUndoAssignmentEdit, a);
  const uint16_t old = gAssignments[t][a].category;
  gAssignments[t][a].category = static_cast<uint16_t>(category);
  InsertRecentAssign(a);
  if (old != category) SetChanged(1);
  FlushAll();
  UpdateAllGrades();
  FinishHeader(kEditCategory, a, move);
}

void SavePoints(ConstStringPtr text, int16_t move) {
  const int16_t a = Slot(gEditAssignment);
  const int t = Term();
  uint16_t points = 0;
  StringToPoints(text, 1000, points);
  if (points > 1000) {
    Refuse("Invalid points possible",
           "The points possible for an assignment must be a whole number from 0 to " +
               Number(1000) + ".");
    return;
  }
  AssignmentRecord& rec = gAssignments[t][a];
  if (points == 0 && rec.category == kExtraCreditCategory) {
    Refuse("Invalid points possible",
           "The points possible for an extra credit assignment should not be 0. Use the "
           "actual number of points possible for the assignment.");
    return;
  }
  DisposeEdit();
  SetUndoAssignment(kUndoAssignmentEdit, a);
  const uint16_t old = rec.points;
  rec.points = points;
  InsertRecentAssign(a);
  if (old != points) {
    SetChanged(1);
    if (old != 0 && points != 0 && gNumScores[t][a] > 0 &&
        AskYes(kNoteAlert, "Scale assignment scores?",
               "You have changed the points possible for this assignment. Do you want to "
               "scale the scores for this assignment by the same amount?")) {
      ScaleScores(S16(t), a, old, points);
      UpdateAssignmentScores(a);
    }
  }
  FlushAll();
  UpdateAllGrades();
  FinishHeader(kEditPoints, a, move);
}

void SaveDate(ConstStringPtr text, int16_t move) {
  const int16_t a = Slot(gEditAssignment);
  const int t = Term();
  uint32_t date = 0;
  StringToSeconds(text, date);
  if (date == 0) {
    Refuse("Invalid date", "This is not a valid date. Enter a date like " + TodayText() +
                               " or use the esc key to cancel editing.");
    return;
  }
  const TermDatesRecord& term = gTermDates[t];
  if (static_cast<uint64_t>(date) + 604800 < term.start || date > term.end) {
    Str255 first, last;
    SecondsToString(term.start, first);
    SecondsToString(term.end, last);
    const std::string name = ToStdString(gTermNames[t]);
    Alert(kCautionAlert, ToStdString(text) + " is not in " + name,
          name + " starts on " + ToStdString(first) + " and ends on " + ToStdString(last) +
              ". " + "To enter an assignment into another term, first " +
              "choose that term from the Gradebook menu.");
  }
  DisposeEdit();
  SetUndoAssignment(kUndoAssignmentEdit, a);
  const uint32_t old = gAssignDates[t][a];
  gAssignDates[t][a] = date;
  InsertRecentAssign(a);
  gLastAssignDate = date;
  if (old != date) SetChanged(1);
  if (MoveHeader(kEditDate, a, move)) return;
  UpdateAssignment(a);
  UpdateHeader();
}

void SaveHeaderLine(ConstStringPtr text, int16_t move) {
  const uint16_t kind = gEditKind;
  DisposeEdit();
  if (kind == kEditSchool)
    SetUndoOptions();
  else
    SetUndoEditing();
  Str63 old;
  bool same = false;
  if (kind == kEditSchool) {
    old.set(gClass.school);
    gClass.school.set(text);
    same = EqualString(gClass.school, old, false, false);
  } else if (kind == kEditSubject) {
    old.set(gClass.subject);
    gClass.subject.set(text);
    same = EqualString(gClass.subject, old, false, false);
  } else {
    old.set(gClass.teacher);
    gClass.teacher.set(text);
    same = EqualString(gClass.teacher, old, false, false);
  }
  if (!same) SetChanged(1);
  UpdateHeader();
  if (kind == kEditSchool && move == kEditDown) EditSubject();
  if (kind == kEditSubject && move == kEditDown) EditTeacher();
  if (kind == kEditSubject && move == kEditUp) EditSchool();
  if (kind == kEditTeacher && move == kEditUp) EditSubject();
}

// Completes the editor's text with the first name that begins with it.
template <typename NameAt>
bool Complete(int count, NameAt nameAt) {
  const Str255 typed = PStr(TEGetText(gEditHandle));
  if (typed.empty()) return false;
  for (int i = 0; i < count; i++) {
    ConstStringPtr name = nameAt(i);
    if (name[0] < typed[0]) continue;
    Str255 head;
    head.setBytes(name + 1, typed[0]);
    if (head.empty() || !EqualString(head, typed, false, true)) continue;
    SetEditText(name, typed[0], name[0]);
    return true;
  }
  return false;
}

}  // namespace

// ---- Closing -----------------------------------------------------------------------

void CloseEdit(int16_t move) {
  if (!gEditHandle) return;
  const Str255 text = EditText();
  TEDeactivate(gEditHandle);
  if (move == kEditCancel) {
    CancelEdit();
    return;
  }
  switch (gEditKind) {
    case kEditID: SaveStudentText(text, move, false); break;
    case kEditName: SaveStudentText(text, move, true); break;
    case kEditAssignmentName: SaveAssignmentName(text, move); break;
    case kEditCategory: SaveCategory(text, move); break;
    case kEditPoints: SavePoints(text, move); break;
    case kEditDate: SaveDate(text, move); break;
    case kEditGrade: SaveGrade(text, move); break;
    case kEditScore: SaveScore(text, move); break;
    case kEditAttendance: SaveAttendance(text, move); break;
    default: SaveHeaderLine(text, move); break;
  }
}

bool CloseEditor(bool cancelSelection) {
  if (cancelSelection) CancelSelection();
  CloseEdit(kEditCommit);
  return gEditHandle == nullptr;
}

// ---- Openers -----------------------------------------------------------------------

void EditID(int16_t s) {
  if (s < 0 || s >= kMaxStudents) return;
  Open(kEditID, s, -1, gStudents[s].id);
}

void EditStudent(int16_t s) {
  if (s < 0 || s >= kMaxStudents) return;
  Open(kEditName, s, -1, gStudents[s].name);
}

void EditGrade(int16_t s) {
  if (!Named(s)) return;
  Str255 text;
  PercentToString(TermPercent(S16(Term()), s), text);
  Open(kEditGrade, s, -1, text);
}

void EditScore(int16_t s, int16_t a) {
  if (gEditHandle || !Named(s) || a < 0 || a >= kMaxAssignments) return;
  if (!AssignmentNamed(a)) {
    Alert(kStopAlert, "No assignment",
          "You must create a new assignment before entering scores in this column.");
    UpdateAssignmentInfo(a);
    EditDate(a);
    return;
  }
  Str255 text;
  ScoreToString(gScores[s][Term()][a], text);
  if (Open(kEditScore, s, a, text)) HiliteEditedCell();
}

void EditAttendance(int16_t s, int16_t column) {
  if (gEditHandle || !Named(s)) return;
  const int day = ColumnDay(column);
  if (day < 0) return;
  if (gHolidays[day] == 1) {
    Alert(kStopAlert, "Non-school day",
          "This is a non-school day. You cannot take attendance. To make this a school "
          "day, click on the date.");
    return;
  }
  Str255 text;
  const uint8_t mark = gAttendance[s][day];
  if (mark < kMaxCodes) text.set(gCodes[mark].name);
  if (Open(kEditAttendance, s, column, text)) HiliteEditedCell();
}

void EditAssignment(int16_t a) {
  if (a < 0 || a >= kMaxAssignments) return;
  if (Open(kEditAssignmentName, -1, a, gAssignments[Term()][a].name)) UpdateAssignment(a);
}

void EditCategory(int16_t a) {
  if (a < 0 || a >= kMaxAssignments) return;
  const int t = Term();
  Str255 text;
  const uint16_t c = gAssignments[t][a].category;
  if (c < kMaxCategories) text.set(gCategories[t][c].name);
  if (Open(kEditCategory, -1, a, text)) UpdateAssignment(a);
}

void EditPoints(int16_t a) {
  if (a < 0 || a >= kMaxAssignments) return;
  const Str255 text = PStr(Number(gAssignments[Term()][a].points));
  if (Open(kEditPoints, -1, a, text)) UpdateAssignment(a);
}

void EditDate(int16_t a) {
  if (gEditHandle || a < 0 || a >= kMaxAssignments) return;
  const int t = Term();
  if (!AssignmentNamed(a)) {
    uint32_t date = gLastAssignDate;
    if (date < gTermDates[t].start) date = gTermDates[t].start + kDay;
    if (date > gTermDates[t].end) date = gTermDates[t].end - kDay;
    gAssignDates[t][a] = date;
  }
  Str255 text;
  SecondsToString(gAssignDates[t][a], text);
  if (Open(kEditDate, -1, a, text)) UpdateAssignment(a);
}

void EditSchool() { Open(kEditSchool, -1, -1, gClass.school); }

void EditSubject() {
  if (gEditHandle || !gWindow) return;
  WindowDrawing port;
  Rect r;
  SubjectBox(&r);
  EraseRect(&r);
  Open(kEditSubject, -1, -1, gClass.subject);
}

void EditTeacher() { Open(kEditTeacher, -1, -1, gClass.teacher); }

void EditPrevScore() {
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  int16_t to = a;
  for (int b = a - 1; b >= 0; b--)
    if (AssignmentNamed(b)) {
      to = S16(b);
      break;
    }
  EditScore(s, to);
}

void EditNextScore() {
  const int16_t s = Slot(gEditStudent), a = Slot(gEditAssignment);
  int16_t to = a;
  for (int b = a + 1; b < kMaxAssignments; b++)
    if (AssignmentNamed(b)) {
      to = S16(b);
      break;
    }
  EditScore(s, to);
}

// ---- Keeping the editor in place ---------------------------------------------------

void UpdateEdit() {
  if (!gEditHandle || !gWindow) return;
  WindowDrawing port;
  const uint16_t kind = gEditKind;
  if (RowKind(kind)) {
    gEditBox = CellBox(kind, Slot(gEditStudent), Slot(gEditAssignment));
    OffsetRect(&gEditBox, 0, -1);
  } else if (kind >= kEditAssignmentName && kind <= kEditDate) {
    UpdateAssignment(Slot(gEditAssignment));
  } else {
    UpdateHeader();
  }
  gEditHandle->destRect = gEditHandle->viewRect = gEditBox;
  TECalText(gEditHandle);
  RgnHandle clip = NewRgn();
  GetClip(clip);
  const Rect content = ContentRect();
  ClipRect(&content);
  EraseRect(&gEditBox);
  TEUpdate(&gEditBox, gEditHandle);
  TESelView(gEditHandle);
  SetClip(clip);
  DisposeRgn(clip);
}

void ScrollEdit() {
  if (!gEditHandle || !RowKind(gEditKind)) return;
  gEditBox = CellBox(gEditKind, Slot(gEditStudent), Slot(gEditAssignment));
  OffsetRect(&gEditBox, 0, -1);
  gEditHandle->destRect = gEditBox;
  const Rect content = ContentRect();
  Rect view;
  if (!SectRect(&gEditBox, &content, &view)) view = Rect{0, 0, 0, 0};
  gEditHandle->viewRect = view;
  TECalText(gEditHandle);
}

// ---- Limits and type-ahead ---------------------------------------------------------

namespace {
void TooLong(int32_t limit, bool pasting) {
  Alert(kStopAlert, "Maximum length exceeded",
        "This item cannot be more than " + Number(limit) +
            (pasting ? " characters long. Pasting will exceed that limit."
                     : " characters long."));
}
int32_t KeptLength() {
  return TEGetLength(gEditHandle) - std::abs(gEditHandle->selEnd - gEditHandle->selStart);
}
}  // namespace

bool OKToType() {
  if (!gEditHandle) return false;
  const int32_t limit = Limit(kTypeLimits);
  if (KeptLength() < limit) return true;
  TooLong(limit, false);
  return false;
}

bool OKToPaste() {
  if (!gEditHandle) return false;
  const int32_t limit = Limit(kPasteLimits);
  if (KeptLength() + TEGetScrapLength() <= limit) return true;
  TooLong(limit, true);
  return false;
}

void PredictCategory() {
  if (!gEditHandle) return;
  const int t = Term();
  Complete(kMaxCategories, [t](int i) -> ConstStringPtr { return gCategories[t][i].name; });
}

void PredictCode() {
  if (!gEditHandle) return;
  Complete(kMaxCodes, [](int i) -> ConstStringPtr { return gCodes[i].name; });
}

void PredictScore() {
  if (!gEditHandle) return;
  const Str255 typed = PStr(TEGetText(gEditHandle));
  uint16_t value = 0;
  StringToScore(typed, 1000, value);
  if (value != static_cast<uint16_t>(kInvalid)) return;
  for (int i = 0; i < kMaxLetterGrades; i++) {
    if (!gLetterGrades[i].empty() && EqualString(gLetterGrades[i], typed, false, true)) {
      SetEditText(gLetterGrades[i], typed[0], gLetterGrades[i][0]);
      return;
    }
  }
  if (Complete(kMaxLetterGrades, [](int i) -> ConstStringPtr { return gLetterGrades[i]; }))
    return;
  Complete(kMaxSpecialScores, [](int i) -> ConstStringPtr { return gSpecialScores[i].name; });
}

namespace {
void StepDate(int sign) {
  if (!gEditHandle) return;
  uint32_t date = 0;
  StringToSeconds(PStr(TEGetText(gEditHandle)), date);
  if (date == 0) return;
  Str255 text;
  SecondsToString(sign > 0 ? date + kDay : date - kDay, text);
  SetEditText(text, text[0], text[0]);
}
}  // namespace

void NextDate() { StepDate(1); }
void PrevDate() { StepDate(-1); }

// ---- Categories --------------------------------------------------------------------

int16_t AddNewCategory(ConstStringPtr name) {
  const int t = Term();
  for (int i = 0; i < kExamCategory; i++) {
    CategoryRecord& c = gCategories[t][i];
    if (!c.name.empty()) continue;
    c.name.set(name);
    c.drop = 0;
    c.weight = 1;
    return S16(i);
  }
  return kInvalid;
}

void NoteExamConflicts() {
  const int weight = gClass.examWeight, scope = gClass.examScope;
  const int terms = gClass.lastTerm + 1, t = Term();
  const char* text = nullptr;
  if (weight == 0)
    text = "Your final exam percent is 0. This final exam will not be used unless you change "
           "you final exam options.";
  else if (scope == 3 && terms == 2 && t == 0)
    text = "Final exams contribute to the final grade. This final exam must be in 2nd "
           "semester or it will not be used.";
  else if (scope == 3 && terms == 3 && t != 2)
    text = "Final exams contribute to the final grade. This final exam must be in 3rd "
           "trimester or it will not be used.";
  else if (scope == 2 && terms == 4 && t != 1 && t != 3)
    text = "Final exams contribute to the semester grade. This final exam must be in 2nd or "
           "4th quarter or it will not be used.";
  else if (scope == 3 && terms == 4 && t != 1 && t != 3)
    text = "Final exams contribute to the final grade. The mid-term exam must be given 2nd "
           "quarter and the final exam must be given 4th quarter. This exam will not "
           "contribute to any grade.";
  else if (scope == 2 && terms == 6 && t != 2 && t != 5)
    text = "Final exams contribute to the semester grade. This final exam must be in 3rd or "
           "6th term or it will not be used.";
  else if (scope == 3 && terms == 6 && t != 2 && t != 5)
    text = "Final exams contribute to the final grade. The mid-term exam must be given 3rd "
           "term and the final exam must be given 6th term. This exam will not contribute "
           "to any grade.";
  if (text) Alert(kCautionAlert, "Final exam will not be used", text);
}
