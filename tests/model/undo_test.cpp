// One level of undo and redo. Each action is run the way its command runs it (snapshot
// first, or after pasting for the paste commands) on random classes; undo must give
// back the class as it was and redo the class as the command left it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/model/operations.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "model_fixture.h"

namespace {

// ---- The whole class, as the document holds it, plus the computed tables -----------------
struct ClassState {
  ClassRecord cls;
  StudentRecord students[kMaxStudents];
  AssignmentRecord assignments[kMaxTerms][kMaxAssignments];
  uint32_t dates[kMaxTerms][kMaxAssignments];
  uint16_t numScores[kMaxTerms][kMaxAssignments];
  CategoryRecord categories[kMaxTerms][kMaxCategories];
  int16_t scores[kMaxStudents][kMaxTerms][kMaxAssignments];
  uint8_t footnotes[kMaxStudents][kMaxTerms][kMaxAssignments];
  Str21 footnoteText[kMaxFootnotes];
  uint8_t attendance[kMaxStudents][kMaxDays];
  uint16_t totals[kMaxStudents][kMaxTerms][kMaxCodes];
  CodeRecord codes[kMaxCodes];
  SpecialScoreRecord specials[kMaxSpecialScores];
  uint16_t cutoffs[kMaxCutoffs];
  Str4 letters[kMaxLetterGrades];
  TermDatesRecord termDates[kMaxTerms];
  Str21 termNames[kMaxTerms];
  uint8_t schoolWeek[7];
  uint8_t holidays[kMaxDays];
  uint16_t grading[kMaxTerms];
  AttendanceGradeRecord attendGrade;
  uint16_t reportOptions;
  Str255 header[kMaxTerms];
  Str255 footer[kMaxTerms];
  Str255 comments[kMaxStudents][kMaxTerms];
  EmailDataRecord email;
  EmailAddressRecord addresses[kMaxStudents];
  ExportDataRecord exportData;
  SeatingChartRecord seating;
  PageSetupRecord pageSetup;
  uint16_t currentTerm;
  uint16_t lastDay;
};

// Text beyond a string's length is not part of it.
template <int N>
void Tidy(Str<N>& s) {
  std::memset(s.bytes + 1 + s.length(), 0, N - s.length());
}
template <typename T, size_t N>
void TidyAll(T (&items)[N]) {
  for (auto& item : items) Tidy(item);
}

std::unique_ptr<ClassState> Capture() {
  auto st = std::make_unique<ClassState>();
  std::memset(static_cast<void*>(st.get()), 0, sizeof(ClassState));
#define MT_TAKE(field, global) std::memcpy(&st->field, &global, sizeof st->field)
  MT_TAKE(cls, gClass);
  MT_TAKE(students, gStudents);
  MT_TAKE(assignments, gAssignments);
  MT_TAKE(dates, gAssignDates);
  MT_TAKE(numScores, gNumScores);
  MT_TAKE(categories, gCategories);
  MT_TAKE(scores, gScores);
  MT_TAKE(footnotes, gFootnotes);
  MT_TAKE(footnoteText, gFootnoteText);
  MT_TAKE(attendance, gAttendance);
  MT_TAKE(totals, gAttendanceTotals);
  MT_TAKE(codes, gCodes);
  MT_TAKE(specials, gSpecialScores);
  MT_TAKE(cutoffs, gCutoffs);
  MT_TAKE(letters, gLetterGrades);
  MT_TAKE(termDates, gTermDates);
  MT_TAKE(termNames, gTermNames);
  MT_TAKE(schoolWeek, gSchoolWeek);
  MT_TAKE(holidays, gHolidays);
  MT_TAKE(grading, gGrading);
  MT_TAKE(attendGrade, gAttendGrade);
  MT_TAKE(reportOptions, gReportOptions);
  MT_TAKE(header, gHeader);
  MT_TAKE(footer, gFooter);
  MT_TAKE(comments, gComments);
  MT_TAKE(email, gEmailData);
  MT_TAKE(addresses, gEmailAddresses);
  MT_TAKE(exportData, gExportData);
  MT_TAKE(seating, gSeatingChart);
  MT_TAKE(pageSetup, gPageSetup);
  MT_TAKE(currentTerm, gCurrentTerm);
  MT_TAKE(lastDay, gLastDay);
#undef MT_TAKE
  Tidy(st->cls.school);
  Tidy(st->cls.subject);
  Tidy(st->cls.teacher);
  Tidy(st->cls.passwordDigest);
  for (auto& s : st->students) {
    Tidy(s.id);
    Tidy(s.name);
  }
  for (auto& term : st->assignments)
    for (auto& a : term) Tidy(a.name);
  for (auto& term : st->categories)
    for (auto& c : term) Tidy(c.name);
  for (auto& c : st->codes) Tidy(c.name);
  for (auto& s : st->specials) Tidy(s.name);
  TidyAll(st->footnoteText);
  TidyAll(st->letters);
  TidyAll(st->termNames);
  TidyAll(st->header);
  TidyAll(st->footer);
  for (auto& row : st->comments) TidyAll(row);
  Tidy(st->email.server);
  Tidy(st->email.user);
  Tidy(st->email.password);
  Tidy(st->email.address);
  for (auto& a : st->addresses) {
    Tidy(a.recipients);
    Tidy(a.blindCopies);
  }
  return st;
}

// The names of the tables in which two states differ.
std::string Differences(const ClassState& a, const ClassState& b) {
  std::string out;
#define MT_CMP(field) \
  if (std::memcmp(&a.field, &b.field, sizeof a.field) != 0) out += #field " ";
  MT_CMP(cls) MT_CMP(students) MT_CMP(assignments) MT_CMP(dates) MT_CMP(numScores)
  MT_CMP(categories) MT_CMP(scores) MT_CMP(footnotes) MT_CMP(footnoteText) MT_CMP(attendance)
  MT_CMP(totals) MT_CMP(codes) MT_CMP(specials) MT_CMP(cutoffs) MT_CMP(letters)
  MT_CMP(termDates) MT_CMP(termNames) MT_CMP(schoolWeek) MT_CMP(holidays) MT_CMP(grading)
  MT_CMP(attendGrade) MT_CMP(reportOptions) MT_CMP(header) MT_CMP(footer) MT_CMP(comments)
  MT_CMP(email) MT_CMP(addresses) MT_CMP(exportData) MT_CMP(seating) MT_CMP(pageSetup)
  MT_CMP(currentTerm) MT_CMP(lastDay)
#undef MT_CMP
  return out;
}

// What the Edit menu does around undo and redo, and what every command does after its
// change: the computed tables are brought up to date before states are compared.
void Recompute() {
  SetupSchoolWeek();
  CountScores();
  UpdateAttendance();
  ComputeAttendanceTotals();
}

std::string MenuText() {
  Str255 text;
  GetUndoText(text);
  return text.str();
}

class UndoTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    CantUndo();
  }

  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
  int16_t AnyStudent() { return static_cast<int16_t>(Uniform(0, n - 1)); }
  int16_t AnyColumn() { return static_cast<int16_t>(Uniform(0, 39)); }

  // A class of n students with scores, footnotes, attendance, comments, addresses and
  // seats, in the current term and one other.
  void RandomClass() {
    NewClassAt(MacDate(2026, 10, 15));
    n = Uniform(2, 40);
    t = Uniform(0, 2);
    gCurrentTerm = static_cast<uint16_t>(t);
    gClass.currentTerm = static_cast<uint8_t>(t);
    CopyGradingOptions(static_cast<int16_t>(t));
    gCategories[t][0].drop = 1;
    const int other = (t + 1) % 3;
    for (int a = 0; a < 40; a++) {
      for (int u : {t, other}) {
        gAssignments[u][a].name.setC(("A" + std::to_string(a)).c_str());
        gAssignments[u][a].category = static_cast<uint16_t>(Uniform(0, 2) == 0 ? 0 : 1);
        gAssignments[u][a].points = static_cast<uint16_t>(Uniform(1, 50));
        gAssignDates[u][a] = MacDate(2026, 9, Uniform(8, 30));
      }
    }
    for (int s = 0; s < n; s++) {
      gStudents[s].name.setC(("Student " + std::to_string(s)).c_str());
      gStudents[s].id.setC(std::to_string(1000 + s).c_str());
      for (int u : {t, other}) {
        for (int a = 0; a < 40; a++) {
          const int r = Uniform(0, 9);
          gScores[s][u][a] = static_cast<int16_t>(r == 0 ? kBlank : r == 1 ? kExcused
                                                  : Uniform(0, 10 * gAssignments[u][a].points));
          if (r == 2) gFootnotes[s][u][a] = static_cast<uint8_t>(Uniform(0, 7));
        }
        gComments[s][u].setC(("Comment " + std::to_string(s)).c_str());
      }
      for (int d = 0; d < kMaxDays; d += Uniform(1, 9))
        gAttendance[s][d] = static_cast<uint8_t>(Uniform(0, 3));
      gEmailAddresses[s].recipients.setC(("s" + std::to_string(s) + "@example.org").c_str());
      if (Uniform(0, 3) > 0) {
        gSeatingChart.seats[s % 6][s / 6 % 6] = static_cast<uint16_t>(s);
      }
    }
    gHeader[t].setC("Header");
    gFooter[t].setC("Footer");
    Recompute();
  }

  // Runs the command, then undo, redo and undo again through the Edit menu's road.
  void Check(const char* undoText, const std::function<void()>& command,
             bool undoneWithoutSeat = false, int16_t seatless = 0) {
    const auto before = Capture();
    command();
    Recompute();
    const auto after = Capture();
    ASSERT_EQ(MenuText(), undoText);
    std::string redoText = undoText;
    redoText.replace(0, 2, "Re");

    for (int round = 0; round < 2; round++) {
      SetChanged(0);
      DoUndoCmd();
      EXPECT_EQ(gChanged, 1);
      Recompute();
      const auto undone = Capture();
      if (undoneWithoutSeat) {
        // The class as it was, but the restored student has lost its seat.
        auto expected = std::make_unique<ClassState>(*before);
        for (auto& r : expected->seating.seats)
          for (auto& seat : r)
            if (seat == static_cast<uint16_t>(seatless)) seat = kNone;
        EXPECT_EQ(Differences(*undone, *expected), "") << "undo, round " << round;
        uint16_t row, column;
        FindSeat(seatless, row, column);
        EXPECT_EQ(row, kNone);
      } else {
        EXPECT_EQ(Differences(*undone, *before), "") << "undo, round " << round;
      }
      EXPECT_EQ(MenuText(), redoText);
      if (round == 1) break;

      DoUndoCmd();
      Recompute();
      EXPECT_EQ(Differences(*Capture(), *after), "") << "redo";
      EXPECT_EQ(MenuText(), undoText);
    }
  }

  std::mt19937 rng{7};
  int n = 0;
  int t = 0;
};

// A student row or an assignment column held aside, as the clipboard and drags do.
struct HeldRow {
  StudentRecord record;
  int16_t scores[kMaxTerms][kMaxAssignments];
  uint8_t footnotes[kMaxTerms][kMaxAssignments];
  uint8_t attendance[kMaxDays];
  Str255 comments[kMaxTerms];
  EmailAddressRecord email;
};

HeldRow HoldRow(int s) {
  HeldRow r;
  r.record = gStudents[s];
  std::memcpy(r.scores, gScores[s], sizeof r.scores);
  std::memcpy(r.footnotes, gFootnotes[s], sizeof r.footnotes);
  std::memcpy(r.attendance, gAttendance[s], sizeof r.attendance);
  std::memcpy(r.comments, gComments[s], sizeof r.comments);
  r.email = gEmailAddresses[s];
  return r;
}

void PutRow(const HeldRow& r, int s) {
  gStudents[s] = r.record;
  std::memcpy(gScores[s], r.scores, sizeof r.scores);
  std::memcpy(gFootnotes[s], r.footnotes, sizeof r.footnotes);
  std::memcpy(gAttendance[s], r.attendance, sizeof r.attendance);
  std::memcpy(gComments[s], r.comments, sizeof r.comments);
  gEmailAddresses[s] = r.email;
}

struct HeldColumn {
  AssignmentRecord record;
  uint32_t date;
  int16_t scores[kMaxStudents];
  uint8_t footnotes[kMaxStudents];
};

HeldColumn HoldColumn(int t, int a) {
  HeldColumn c;
  c.record = gAssignments[t][a];
  c.date = gAssignDates[t][a];
  for (int s = 0; s < kMaxStudents; s++) {
    c.scores[s] = gScores[s][t][a];
    c.footnotes[s] = gFootnotes[s][t][a];
  }
  return c;
}

void PutColumn(const HeldColumn& c, int t, int a) {
  gAssignments[t][a] = c.record;
  gAssignDates[t][a] = c.date;
  for (int s = 0; s < kMaxStudents; s++) {
    gScores[s][t][a] = c.scores[s];
    gFootnotes[s][t][a] = c.footnotes[s];
  }
}

TEST_F(UndoTest, EveryActionUndoesAndRedoesOnRandomClasses) {
  for (int iteration = 0; iteration < 10; iteration++) {
    for (int action = 1; action <= 23; action++) {
      SCOPED_TRACE("iteration " + std::to_string(iteration) + ", action " +
                   std::to_string(action));
      RandomClass();
      const int16_t s = AnyStudent();
      const int16_t a = AnyColumn();
      switch (action) {
        case 1:  // typing into a student's row
          Check("Undo editing", [&] {
            SetUndoStudent(1, s);
            gScores[s][t][a] = 77;
            gStudents[s].name.setC("Renamed");
            gStudents[s].lockedPercent[t] = 912;
            gAttendance[s][Uniform(0, 100)] = 2;
            gComments[s][t].setC("Typed");
          });
          break;
        case 2:
          Check("Undo editing", [&] {
            SetUndoAssignment(2, a);
            gAssignments[t][a].points = 7;
            gAssignments[t][a].category = 0;
            gAssignments[t][a].name.setC("Renamed");
            gAssignDates[t][a] = MacDate(2026, 10, 1);
          });
          break;
        case 3:
          Check("Undo options", [&] {
            SetUndoOptions();
            gClass.lastTerm = 2;
            gClass.flags |= kHolidaysNoColumn | kWholePercents;
            gClass.examWeight = 200;
            gGrading[t] = 1;
            gLetterGrades[3].setC("Dx");
            gCutoffs[4] = 705;
            gReportOptions = 0x0001;
            gTermNames[1].setC("Winter");
            gTermDates[1].start += 7 * 86400;
            gSchoolWeek[5] = 1;
            gAttendance[Uniform(0, n - 1)][Uniform(0, 60)] = 1;
            gCodes[3].name.setC("L");
            gCodes[0].value = 5;
            gAttendGrade = AttendanceGradeRecord{0x0201, 2, 20};
            gCategories[t][0].weight = 70;
            gCategories[t][4].name.setC("Labs");
            gSpecialScores[3].name.setC("Med");
            gSpecialScores[3].kind = 4;
            gSpecialScores[0].kind = 2;
            gHolidays[Uniform(0, 60)] = 1;
          });
          break;
        case 4:
          Check("Undo editing", [&] {
            SetUndoEditing();
            gClass.subject.setC("Physics");
          });
          break;
        case 5:
          Check("Undo cut", [&] {
            SetUndoStudent(5, s);
            DeleteStudent(s);
          });
          break;
        case 6: {  // a row dragged with the option key: the copy lands before `to`
          const int16_t to = static_cast<int16_t>(Uniform(0, n));
          Check("Undo copy", [&] {
            SetUndoDrag(6, s, to);
            InsertStudent(to);
            PutRow(HoldRow(s >= to ? s + 1 : s), to);
            // The copy takes the first empty seat, as the window gives it; redo too.
            for (int seat = 0; seat < 36; seat++) {
              uint16_t& place = gSeatingChart.seats[seat / 6][seat % 6];
              if (place != kNone) continue;
              place = static_cast<uint16_t>(to);
              break;
            }
          });
          break;
        }
        case 7: {
          const int16_t to = static_cast<int16_t>(Uniform(0, n - 1));
          Check("Undo move", [&] {
            SetUndoDrag(7, s, to);
            uint16_t row, column;
            FindSeat(s, row, column);
            const HeldRow held = HoldRow(s);
            DeleteStudent(s);
            InsertStudent(to);
            PutRow(held, to);
            if (row != kNone) gSeatingChart.seats[row][column] = static_cast<uint16_t>(to);
          });
          break;
        }
        case 8: {  // pasted above row `at`; the snapshot is of the pasted row
          const int16_t at = static_cast<int16_t>(Uniform(0, n));
          Check("Undo paste", [&] {
            InsertStudent(at);
            PutRow(HoldRow(s >= at ? s + 1 : s), at);
            gStudents[at].name.setC("Pasted");
            SetUndoStudent(8, at);
          });
          break;
        }
        case 9:
          Check(
              "Undo delete",
              [&] {
                SetUndoStudent(9, s);
                DeleteStudent(s);
                InsertStudent(s);
              },
              true, s);
          break;
        case 10:
          Check("Undo cut", [&] {
            SetUndoAssignment(10, a);
            DeleteAssignment(a);
          });
          break;
        case 11: {
          const int16_t to = static_cast<int16_t>(Uniform(0, 40));
          Check("Undo copy", [&] {
            SetUndoDrag(11, a, to);
            InsertAssignment(to);
            PutColumn(HoldColumn(t, a >= to ? a + 1 : a), t, to);
          });
          break;
        }
        case 12: {
          const int16_t to = static_cast<int16_t>(Uniform(0, 39));
          Check("Undo move", [&] {
            SetUndoDrag(12, a, to);
            const HeldColumn held = HoldColumn(t, a);
            DeleteAssignment(a);
            InsertAssignment(to);
            PutColumn(held, t, to);
          });
          break;
        }
        case 13:
          Check("Undo paste", [&] {
            InsertAssignment(a);
            PutColumn(HoldColumn(t, a + 1), t, a);
            gAssignments[t][a].name.setC("Pasted");
            SetUndoAssignment(13, a);
          });
          break;
        case 14:
          Check("Undo delete", [&] {
            SetUndoAssignment(14, a);
            DeleteAssignment(a);
            InsertAssignment(a);
          });
          break;
        case 15:
          Check("Undo fill down", [&] {
            SetUndoAssignment(15, a);
            for (int k = 0; k < n; k++) gScores[k][t][a] = 10;
          });
          break;
        case 16:
          Check("Undo fill across", [&] {
            SetUndoStudent(16, s);
            for (int k = a; k < 40; k++) gScores[s][t][k] = kExcused;
            for (int d = 0; d < 50; d++) gAttendance[s][d] = 0;
          });
          break;
        case 17:
          Check("Undo email addresses", [&] {
            SetUndoEmailData();
            gEmailData.server.setC("smtp.example.org");
            gEmailData.port = -587;
            gEmailAddresses[s].recipients.setC("parent@example.org");
            gEmailAddresses[s].blindCopies.setC("tutor@example.org");
          });
          break;
        case 18:
          Check("Undo footnotes", [&] {
            SetUndoEditFootnotes();
            gFootnoteText[0].setC("Very late");
            gFootnoteText[5].setC("Redone");
          });
          break;
        case 19:
          Check("Undo comments", [&] {
            SetUndoGlobalComments();
            gHeader[t].setC("New header");
            gFooter[t].clear();
          });
          break;
        case 20:
          Check("Undo comments", [&] {
            SetUndoStudentComments();
            gComments[s][t].setC("Better");
            gComments[AnyStudent()][(t + 1) % 3].clear();
          });
          break;
        case 21:
          Check("Undo seating", [&] {
            SetUndoAssignSeating();
            gSeatingChart.rows = 8;
            std::swap(gSeatingChart.seats[0][0], gSeatingChart.seats[3][4]);
            gSeatingChart.seats[7][7] = 0xFFFE;
          });
          break;
        case 22:
          Check("Undo curve", [&] {
            SetUndoAssignment(22, a);
            for (int k = 0; k < n; k++) {
              int16_t& score = gScores[k][t][a];
              if (score >= 0) score = static_cast<int16_t>(score + 5);
            }
          });
          break;
        case 23: {
          const int16_t day = static_cast<int16_t>(Uniform(0, kMaxDays - 1));
          Check("Undo fill down", [&] {
            SetUndoDay(23, day);
            for (int k = 0; k < n; k++) gAttendance[k][day] = 2;
          });
          break;
        }
      }
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(UndoTest, MenuTextFollowsTheRecord) {
  EXPECT_EQ(MenuText(), "Can't Undo");
  const int16_t s = AddStudent("Ann Adams");
  SetUndoStudent(1, s);
  EXPECT_EQ(MenuText(), "Undo editing");
  Undo();
  EXPECT_EQ(gRedo, 1);
  EXPECT_EQ(MenuText(), "Redo editing");
  SetUndoEditFootnotes();  // a new snapshot drops the redo
  EXPECT_EQ(gRedo, 0);
  EXPECT_EQ(MenuText(), "Undo footnotes");
  SetUndoStudent(0, s);  // what Copy records: nothing left to undo
  EXPECT_EQ(gUndoAction, kUndoNothing);
  EXPECT_EQ(MenuText(), "Can't Undo");
  SetUndoAssignSeating();
  CantUndo();
  EXPECT_EQ(MenuText(), "Can't Undo");
  EXPECT_EQ(gUndoStudent, kNone);
  EXPECT_EQ(gUndoAssignment, kNone);
}

TEST_F(UndoTest, AHeaderEditUndoesOnlyTheClassRecord) {
  SetUndoEditing();
  gClass.teacher.setC("Ms Lovelace");
  gGrading[gCurrentTerm] = 1;  // changed by something else since
  Undo();
  EXPECT_EQ(gClass.teacher.str(), "teacher");
  EXPECT_EQ(gGrading[gCurrentTerm], 1);
}

TEST_F(UndoTest, OptionsUndoBringsBackSpecialScoresAndHolidays) {
  SetUndoOptions();
  gSpecialScores[1].name.setC("Sick");
  gSpecialScores[1].kind = 1;
  gHolidays[12] = 1;
  Undo();
  EXPECT_EQ(gSpecialScores[1].name.str(), "Abs");
  EXPECT_EQ(gSpecialScores[1].kind, 3);
  EXPECT_EQ(gHolidays[12], 0);
}

TEST_F(UndoTest, SnapshotsOfRowsColumnsAndDaysOutsideTheTablesRecordNothing) {
  const int16_t s = AddStudent("Ann Adams");
  SetUndoStudent(1, s);
  SetUndoStudent(1, kMaxStudents);
  EXPECT_EQ(gUndoAction, kUndoNothing);
  SetUndoAssignment(2, -1);
  EXPECT_EQ(gUndoAction, kUndoNothing);
  SetUndoDay(23, kMaxDays);
  gAttendance[s][0] = 1;
  Undo();
  Redo();
  EXPECT_EQ(gAttendance[s][0], 1);
}

}  // namespace
