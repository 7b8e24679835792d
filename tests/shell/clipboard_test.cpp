// Whole students and assignments cut, copied, pasted, deleted and dragged through the
// Edit menu and the drag strips, every table travelling with its row or column, seats
// following their students; and the fills down and across in both grids; each undone
// and redone.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "marktally/model/operations.h"
#include "tests/shell/editing_fixture.h"

namespace {

// Everything of one student slot, seat included.
struct RowImage {
  std::unique_ptr<StudentRow> row = std::make_unique<StudentRow>();
  uint16_t seatRow = kNone, seatCol = kNone;
};
RowImage Image(int s) {
  RowImage image;
  SaveStudentRow(static_cast<int16_t>(s), *image.row);
  FindSeat(static_cast<int16_t>(s), image.seatRow, image.seatCol);
  return image;
}
bool SameRow(const RowImage& a, const RowImage& b) {
  return std::memcmp(&a.row->record, &b.row->record, sizeof(StudentRecord)) == 0 &&
         std::memcmp(a.row->scores, b.row->scores, sizeof(a.row->scores)) == 0 &&
         std::memcmp(a.row->footnotes, b.row->footnotes, sizeof(a.row->footnotes)) == 0 &&
         std::memcmp(a.row->attendance, b.row->attendance, sizeof(a.row->attendance)) == 0 &&
         std::memcmp(a.row->comments, b.row->comments, sizeof(a.row->comments)) == 0 &&
         std::memcmp(&a.row->email, &b.row->email, sizeof(EmailAddressRecord)) == 0;
}

class ClipboardTest : public EditingTest {
 protected:
  void OpenRich(int students = 10, int assignments = 6) {
    OpenClass(students, assignments);
    for (int s = 0; s < students; s++) {
      gComments[s][T()].setC(("comment " + std::to_string(s)).c_str());
      gEmailAddresses[s].recipients.setC(("p" + std::to_string(s) + "@example.org").c_str());
    }
  }
  void SelectRow(int s) {
    Rect r;
    StudentBox(static_cast<int16_t>(s), &r);
    ClickAt(3, (r.top + r.bottom) / 2);
    ASSERT_EQ(s, gSelStudent);
  }
  void SelectColumn(int a) {
    Rect r;
    TitleBox(static_cast<int16_t>(a), &r);
    ClickAt(r.left + 4, HeaderBottom() - 3);
    ASSERT_EQ(a, gSelAssignment);
  }
  Point RowPoint(int s) {
    Rect r;
    StudentBox(static_cast<int16_t>(s), &r);
    return Global(3, (r.top + r.bottom) / 2);
  }
  Point ColumnPoint(int a) {
    Rect r;
    TitleBox(static_cast<int16_t>(a), &r);
    return Global(r.left + 4, HeaderBottom() - 3);
  }
  void Drag(Point from, Point to, uint16_t modifiers) {
    ScriptMousePath({from, to, to}, modifiers);
    Run();
  }
};

TEST_F(ClipboardTest, CutAndPasteOfAStudentCarryEveryTableAndUndo) {
  OpenRich();
  const RowImage cut = Image(2);
  const RowImage third = Image(3);
  SelectRow(2);
  ASSERT_TRUE(Choose(kEditMenu, kCutItem));
  EXPECT_EQ(9, NumStudents());
  EXPECT_TRUE(SameRow(third, Image(2))) << "the gap closes";
  EXPECT_EQ(kNone, gSelStudent);
  uint16_t r, c;
  FindSeat(9, r, c);
  EXPECT_EQ(kNone, r) << "no seat points past the list";

  SelectRow(5);
  ASSERT_TRUE(Enabled(kEditMenu, kPasteItem));
  answers = {1};  // its scores were made for other points: only a note
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ("Some scores do not match their assignments", alerts.back().title);
  EXPECT_EQ(10, NumStudents());
  const RowImage pasted = Image(5);
  EXPECT_TRUE(SameRow(cut, pasted));
  EXPECT_EQ(cut.seatRow, pasted.seatRow) << "its old seat was free";
  EXPECT_EQ(cut.seatCol, pasted.seatCol);

  // Pasting again: the old seat is taken now, so the first empty seat from the back.
  SelectRow(0);
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  const RowImage again = Image(0);
  EXPECT_EQ(4, again.seatRow);
  EXPECT_EQ(0, again.seatCol);
  const RowImage original = Image(6);
  EXPECT_EQ(cut.seatRow, original.seatRow) << "the first paste keeps its seat";
  Undo();
  EXPECT_EQ(10, NumStudents());
  EXPECT_TRUE(SameRow(pasted, Image(5)));
  Undo();
  EXPECT_EQ(11, NumStudents());
  EXPECT_TRUE(SameRow(cut, Image(0)));
}

TEST_F(ClipboardTest, DeleteEmptiesTheRowInPlace) {
  OpenRich();
  const RowImage gone = Image(4), next = Image(5);
  SelectRow(4);
  Key(kBackspaceCharCode);
  EXPECT_TRUE(gStudents[4].name.empty());
  EXPECT_TRUE(SameRow(next, Image(5))) << "the rows below keep their places";
  EXPECT_EQ(kNone, Image(4).seatRow);
  Undo();
  EXPECT_TRUE(SameRow(gone, Image(4)));
  Undo();
  EXPECT_TRUE(gStudents[4].name.empty());
}

TEST_F(ClipboardTest, AFullClassRefusesThePaste) {
  OpenRich(kMaxStudents, 3);
  SelectRow(1);
  ASSERT_TRUE(Choose(kEditMenu, kCopyItem));
  CantUndo();
  const RowImage last = Image(kMaxStudents - 1);
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Unable to paste student", alerts[0].title);
  EXPECT_TRUE(SameRow(last, Image(kMaxStudents - 1)));
  EXPECT_EQ(kUndoNothing, gUndoAction);
}

TEST_F(ClipboardTest, DraggingAStudentMovesItWithItsSeat) {
  OpenRich();
  const RowImage moved = Image(1);
  Drag(RowPoint(1), RowPoint(4), 0);
  EXPECT_TRUE(SameRow(moved, Image(4)));
  EXPECT_EQ(moved.seatRow, Image(4).seatRow);
  EXPECT_EQ(moved.seatCol, Image(4).seatCol);
  EXPECT_EQ(4, gSelStudent);
  Undo();
  EXPECT_TRUE(SameRow(moved, Image(1)));
  EXPECT_EQ(moved.seatRow, Image(1).seatRow);

  // Back onto its own row: nothing, and nothing to undo.
  CantUndo();
  Drag(RowPoint(2), RowPoint(2), 0);
  EXPECT_EQ(kUndoNothing, gUndoAction);
}

TEST_F(ClipboardTest, ACopiedStudentNeverTakesAnOccupiedSeat) {
  OpenRich();
  const RowImage original = Image(1);
  Drag(RowPoint(1), RowPoint(3), optionKey);
  EXPECT_EQ(11, NumStudents());
  const RowImage copy = Image(3);
  EXPECT_EQ(original.row->record.name.str(), copy.row->record.name.str());
  const RowImage kept = Image(1);
  EXPECT_EQ(original.seatRow, kept.seatRow) << "the original keeps its seat";
  EXPECT_EQ(original.seatCol, kept.seatCol);
  EXPECT_EQ(4, copy.seatRow) << "the copy: the first empty seat";
  EXPECT_EQ(0, copy.seatCol);
  Undo();
  EXPECT_EQ(10, NumStudents());
  EXPECT_EQ(original.seatRow, Image(1).seatRow);

  // A full chart: the copy goes without a seat, and no seat holds two students.
  gSeatingChart.rows = 2;
  gSeatingChart.columns = 5;
  for (int r = 0; r < 2; r++)
    for (int c = 0; c < 5; c++) gSeatingChart.seats[r][c] = static_cast<uint16_t>(r * 5 + c);
  Drag(RowPoint(0), RowPoint(5), optionKey);
  EXPECT_EQ(kNone, Image(5).seatRow);
  int held[kMaxStudents] = {};
  for (int r = 0; r < 2; r++)
    for (int c = 0; c < 5; c++)
      if (gSeatingChart.seats[r][c] < kMaxStudents) held[gSeatingChart.seats[r][c]]++;
  for (int s = 0; s < kMaxStudents; s++) EXPECT_LE(held[s], 1) << s;
}

TEST_F(ClipboardTest, AssignmentsAreCutPastedAndDraggedWithTheirColumns) {
  OpenRich(10, 6);
  const int t = T();
  const std::string name = gAssignments[t][1].name.str();
  const uint32_t due = gAssignDates[t][1];
  int16_t scores[10];
  for (int s = 0; s < 10; s++) scores[s] = gScores[s][t][1];
  SelectColumn(1);
  ASSERT_TRUE(Choose(kEditMenu, kCutItem));
  EXPECT_EQ(5, NumAssignments());
  SelectColumn(4);
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ(name, gAssignments[t][4].name.str());
  EXPECT_EQ(due, gAssignDates[t][4]);
  for (int s = 0; s < 10; s++) EXPECT_EQ(scores[s], gScores[s][t][4]);
  Undo();
  EXPECT_EQ(5, NumAssignments());
  Undo();
  EXPECT_EQ(name, gAssignments[t][4].name.str());

  // Dragged from 4 to 0, then copied with option.
  Drag(ColumnPoint(4), ColumnPoint(0), 0);
  EXPECT_EQ(name, gAssignments[t][0].name.str());
  for (int s = 0; s < 10; s++) EXPECT_EQ(scores[s], gScores[s][t][0]);
  Drag(ColumnPoint(0), ColumnPoint(2), optionKey);
  EXPECT_EQ(name, gAssignments[t][2].name.str());
  EXPECT_EQ(name, gAssignments[t][0].name.str());
  EXPECT_EQ(7, NumAssignments());
  Undo();
  EXPECT_EQ(6, NumAssignments());

  // Backspace on a selected column empties it in place; undone and redone.
  const std::string right = gAssignments[t][2].name.str();
  SelectColumn(1);
  Key(kBackspaceCharCode);
  EXPECT_TRUE(gAssignments[t][1].name.empty());
  EXPECT_EQ(right, gAssignments[t][2].name.str());
  for (int s = 0; s < 10; s++) EXPECT_EQ(kBlank, gScores[s][t][1]);
  Undo();
  EXPECT_FALSE(gAssignments[t][1].name.empty());
  Undo();
  EXPECT_TRUE(gAssignments[t][1].name.empty());
}

TEST_F(ClipboardTest, FillDownAsksBeforeReplacingAndUndoes) {
  OpenRich(6, 3);
  const int t = T();
  gScores[2][t][0] = kBlank;
  gScores[4][t][0] = kExcused;
  const int16_t kept3 = gScores[3][t][0];
  ClickScore(1, 0);
  Enter("77", kTabCharCode);
  ClickScore(1, 0);
  answers = {2};
  ASSERT_TRUE(Choose(kEditMenu, kFillDownItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Fill Down", alerts[0].title);
  EXPECT_EQ(770, gScores[2][t][0]) << "No fills the blanks only";
  EXPECT_EQ(kept3, gScores[3][t][0]);
  EXPECT_EQ(kExcused, gScores[4][t][0]) << "an excused score counts as an entry";
  EXPECT_EQ(nullptr, gEditHandle);
  Undo();
  EXPECT_EQ(kBlank, gScores[2][t][0]);

  ClickScore(1, 0);
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kFillDownItem));
  for (int s = 2; s < 6; s++) EXPECT_EQ(770, gScores[s][t][0]) << s;
  EXPECT_EQ(kBlank, gScores[6][t][0]) << "stops at the first unnamed row";

  ClickScore(1, 0);
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kFillAcrossItem));
  EXPECT_EQ("Fill Across", alerts.back().title);
  EXPECT_EQ(770, gScores[1][t][1]);
  EXPECT_EQ(770, gScores[1][t][2]);
  EXPECT_EQ(kBlank, gScores[1][t][3]) << "unnamed columns are left";
  Undo();
  EXPECT_NE(770, gScores[1][t][2]);
}

TEST_F(ClipboardTest, AttendanceFillsAcrossSkipSchoolDaysOff) {
  OpenRich(4, 2);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  SetControlValue(gHScrollBar, 0);
  ForceUpdate();
  Run();
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (gHolidays[gColumnToDay[c]] != 1) column = c;
  ASSERT_GE(column, 0);
  const int first = gColumnToDay[column], last = gColumnToDay[gLastColumn];
  for (int d = first; d <= last; d++) gAttendance[1][d] = kNoMark;
  ClickScore(1, column);
  TESetSelect(0, 32767, gEditHandle);
  Type("T");
  ASSERT_TRUE(Choose(kEditMenu, kFillAcrossItem));
  EXPECT_EQ(2, gAttendance[1][first]);
  int filled = 0;
  for (int d = first + 1; d <= last; d++) {
    DateTimeRec date{};
    SecondsToDate(gTermDates[0].start + 86400u * d, date);
    const bool weekend = date.dayOfWeek == 1 || date.dayOfWeek == 7;
    if (weekend || gHolidays[d] == 1)
      EXPECT_EQ(kNoMark, gAttendance[1][d]) << d;
    else if (gAttendance[1][d] == 2)
      filled++;
  }
  EXPECT_GT(filled, 10);
  Undo();
  EXPECT_EQ(kNoMark, gAttendance[1][first + 1]);
}

TEST_F(ClipboardTest, AttendanceFillsDownAndAFillFromTheLastRowStillUndoes) {
  OpenRich(5, 2);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  SetControlValue(gHScrollBar, 0);
  ForceUpdate();
  Run();
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (gHolidays[gColumnToDay[c]] != 1) column = c;
  ASSERT_GE(column, 0);
  const int day = gColumnToDay[column];
  for (int s = 0; s < 6; s++) gAttendance[s][day] = kNoMark;
  gAttendance[3][day] = 0;
  ClickScore(1, column);
  TESetSelect(0, 32767, gEditHandle);
  Type("T");
  answers = {2};
  ASSERT_TRUE(Choose(kEditMenu, kFillDownItem));
  EXPECT_EQ("Fill Down", alerts.back().title);
  EXPECT_EQ(2, gAttendance[2][day]);
  EXPECT_EQ(0, gAttendance[3][day]) << "No keeps the marks there were";
  EXPECT_EQ(2, gAttendance[4][day]);
  EXPECT_EQ(kNoMark, gAttendance[5][day]) << "the list ends at the first unnamed row";
  Undo();
  EXPECT_EQ(kNoMark, gAttendance[2][day]);
  EXPECT_EQ(2, gAttendance[1][day]) << "the typed mark was stored before the fill";

  // Scores: a fill from the last row changes nothing but can still be undone.
  ASSERT_TRUE(Choose(kReportsMenu, kGradebookViewItem));
  const int t = T();
  for (int s = 0; s < kMaxStudents; s++) gStudents[s].name.setC("Row");
  ShowStudent(kMaxStudents - 1);
  ClickScore(kMaxStudents - 1, 0);
  ASSERT_TRUE(EditingScore(kMaxStudents - 1, 0));
  const int16_t above = gScores[kMaxStudents - 2][t][0];
  CantUndo();
  ASSERT_TRUE(Choose(kEditMenu, kFillDownItem));
  EXPECT_EQ(kUndoFillDown, gUndoAction);
  EXPECT_EQ(above, gScores[kMaxStudents - 2][t][0]);
}

TEST_F(ClipboardTest, SeatsSwapAndCurvesNeedTwoDifferentScores) {
  OpenRich(6, 2);
  gSeatingChart.seats[4][5] = 0xFFFE;
  MoveSeat(0, 0, 0, 1);
  EXPECT_EQ(1, gSeatingChart.seats[0][0]);
  EXPECT_EQ(0, gSeatingChart.seats[0][1]);
  MoveSeat(0, 0, 4, 5);
  EXPECT_EQ(1, gSeatingChart.seats[0][0]) << "an unavailable place takes nobody";
  MoveSeat(0, 0, 3, 0);
  EXPECT_EQ(kNone, gSeatingChart.seats[0][0]) << "moved to an empty seat";

  const int t = T();
  gSelAssignment = 1;
  struct Case {
    std::vector<int16_t> scores;
    const char* refusal;
  };
  const Case cases[] = {
      {{kBlank, kBlank, kExcused, kBlank, kBlank, kBlank}, "there are no numeric scores."},
      {{40, kBlank, kBlank, kBlank, kBlank, kBlank}, "there there is only one numeric score."},
      {{20, 20, 20, 20, 20, kBlank}, "the numeric scores are all the same."},
      {{20, 30, 20, 20, 20, 20}, nullptr},
  };
  for (const Case& c : cases) {
    for (int s = 0; s < 6; s++) gScores[s][t][1] = c.scores[s];
    alerts.clear();
    answers = {1};
    EXPECT_EQ(c.refusal == nullptr, CanCurveAssign());
    if (c.refusal) {
      ASSERT_EQ(1u, alerts.size());
      EXPECT_EQ("This assignment cannot be curved since " + std::string(c.refusal),
                alerts[0].text);
    }
  }
  answers.clear();
  gSelAssignment = kNone;
}

}  // namespace
