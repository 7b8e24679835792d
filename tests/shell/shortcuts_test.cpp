// The keys and clicks that add to the class or act without an editor: shift-Return
// for a new student, Return for a new assignment or today's attendance, Backspace on a
// selection, the attendance grid's date band, the recent-assignments pop-up, and the
// Edit menu's items as the selection and the editor allow them.
#include "marktally/model/recent.h"
#include "tests/shell/editing_fixture.h"

namespace {

class ShortcutsTest : public EditingTest {
 protected:
  void ShowAttendance() {
    ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
    SetControlValue(gHScrollBar, 0);
    ForceUpdate();
    Run();
  }
};

TEST_F(ShortcutsTest, ShiftReturnOpensTheFirstEmptyNameAndAFullClassDoesNothing) {
  OpenClass(7, 3);
  Key(kReturnCharCode, shiftKey);
  ASSERT_NE(nullptr, gEditHandle);
  EXPECT_EQ(kEditName, gEditKind);
  EXPECT_EQ(7, gEditStudent);
  Type("New, Student");
  Key(kEscapeCharCode);
  EXPECT_TRUE(gStudents[7].name.empty()) << "Escape stores nothing";
  Stop();
  Start();
  OpenClass(kMaxStudents, 3);
  Key(kReturnCharCode, shiftKey);
  EXPECT_EQ(nullptr, gEditHandle);
}

TEST_F(ShortcutsTest, ReturnStartsANewAssignmentAtItsDueDate) {
  OpenClass(5, 3);
  const int t = T();
  gLastAssignDate = gTermDates[t].start - 20 * 86400;  // before the term
  Key(kReturnCharCode);
  ASSERT_NE(nullptr, gEditHandle);
  EXPECT_EQ(kEditDate, gEditKind);
  EXPECT_EQ(3, gEditAssignment);
  EXPECT_EQ(gTermDates[t].start + 86400, gAssignDates[t][3]) << "moved into the term";
  Key(kReturnCharCode);
  Enter("Field Trip");
  EXPECT_EQ("Field Trip", gAssignments[t][3].name.str());
  EXPECT_EQ(kEditCategory, gEditKind);
  EXPECT_EQ("Field Trip", gRecentAssigns[0].assignment.name.str());
  // Emptying the name offers to delete the assignment.
  CloseEdit(kEditCancel);
  Rect title;
  TitleBox(3, &title);
  ClickAt(title.left + 4, 20);
  Key(kReturnCharCode);
  ASSERT_EQ(kEditAssignmentName, gEditKind);
  answers = {1};
  Enter("");
  EXPECT_EQ("Delete assignment?", alerts.back().title);
  EXPECT_TRUE(gAssignments[t][3].name.empty());
  EXPECT_EQ(3, NumAssignments());
}

TEST_F(ShortcutsTest, ReturnInTheAttendanceGridOpensTodaysCodeWithinTheTerm) {
  OpenClass(5, 3);
  ShowAttendance();
  Key(kReturnCharCode);
  ASSERT_NE(nullptr, gEditHandle);
  EXPECT_EQ(kEditAttendance, gEditKind);
  EXPECT_EQ(0, gEditStudent);
  const uint32_t today = LocalDate(2025, 10, 14);
  EXPECT_EQ(gDayToColumn[(today - gTermDates[0].start) / 86400], gEditAssignment);
  Key(kEscapeCharCode);
  SetClockForTesting(gTermDates[T()].end + 3 * 86400);
  Key(kReturnCharCode);
  EXPECT_EQ(nullptr, gEditHandle) << "today is past the term";
}

TEST_F(ShortcutsTest, BackspaceDeletesOnlyWhatTheEditMenuWouldDelete) {
  OpenClass(5, 3);
  ShowAttendance();
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (gHolidays[gColumnToDay[c]] != 1) column = c;
  Rect r;
  TitleBox(static_cast<int16_t>(column), &r);
  ClickAt(r.left + 4, HeaderBottom() - 3);
  ASSERT_EQ(column, gSelAssignment);
  EXPECT_FALSE(Enabled(kEditMenu, kDeleteItem));
  CantUndo();
  Key(kBackspaceCharCode);
  EXPECT_EQ(kUndoNothing, gUndoAction);
  EXPECT_EQ(5, NumStudents());
}

TEST_F(ShortcutsTest, TheAttendanceDateBandFlipsASchoolDay) {
  OpenClass(5, 3);
  ShowAttendance();
  const int column = 2;
  const int day = gColumnToDay[column];
  ASSERT_EQ(0, gHolidays[day]);
  Rect r;
  TitleBox(column, &r);
  ClickAt(r.left + 4, 20);
  EXPECT_EQ(1, gHolidays[day]);
  EXPECT_EQ('*', FrameTitle().back());
  gClass.flags |= kHolidaysNoColumn;
  answers = {1};
  ClickAt(r.left + 4, 20);
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Non-school days are currently hidden", alerts[0].title);
  EXPECT_EQ(kNoteAlert, alerts[0].kind);
}

TEST_F(ShortcutsTest, ARecentAssignmentFillsTheColumnAndOpensTheFirstScore) {
  OpenClass(5, 3);
  const int t = T();
  ASSERT_GT(gNumRecentAssigns, -1);
  gRecentAssigns[0].assignment.name.setC("Reading Log");
  gRecentAssigns[0].assignment.category = 1;
  gRecentAssigns[0].assignment.points = 25;
  if (gNumRecentAssigns < 1) gNumRecentAssigns = 1;
  Rect r;
  TitleBox(4, &r);
  ScriptPopUpChoice(1);
  ClickAt(r.left + 4, HeaderBottom() - 3, controlKey);
  PopUpRequest request{};
  ASSERT_TRUE(LastPopUpRequest(&request));
  EXPECT_EQ(kRecentAssignsMenu, request.menuID);
  EXPECT_EQ("Reading Log", gAssignments[t][4].name.str());
  EXPECT_EQ(25, gAssignments[t][4].points);
  EXPECT_EQ(gLastAssignDate, gAssignDates[t][4]);
  EXPECT_TRUE(EditingScore(0, 4));
  Undo();
  EXPECT_TRUE(gAssignments[t][4].name.empty());
}

TEST_F(ShortcutsTest, TheEditMenuFollowsTheSelectionAndTheEditor) {
  OpenClass(5, 3);
  struct Row {
    int16_t item;
    bool none, student, editorAll, editorCaret;
  };
  const Row rows[] = {
      {kCutItem, false, true, true, false},       {kCopyItem, false, true, true, false},
      {kDeleteItem, false, true, true, false},    {kPasteItem, false, false, false, false},
      {kFillDownItem, false, false, true, true},  {kFillAcrossItem, false, false, true, true},
  };
  for (const Row& row : rows) EXPECT_EQ(row.none, Enabled(kEditMenu, row.item)) << row.item;
  Rect r;
  StudentBox(1, &r);
  ClickAt(3, (r.top + r.bottom) / 2);
  for (const Row& row : rows) EXPECT_EQ(row.student, Enabled(kEditMenu, row.item)) << row.item;
  ASSERT_TRUE(Choose(kEditMenu, kCopyItem));
  EXPECT_TRUE(Enabled(kEditMenu, kPasteItem)) << "a student was copied";
  ClickScore(2, 0);
  TESetScrapText("");
  for (const Row& row : rows)
    EXPECT_EQ(row.editorAll, Enabled(kEditMenu, row.item)) << row.item;
  TESetSelect(1, 1, gEditHandle);
  for (const Row& row : rows)
    EXPECT_EQ(row.editorCaret, Enabled(kEditMenu, row.item)) << row.item;
}

}  // namespace
