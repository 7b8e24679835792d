// The cells other than scores: names and IDs, locked grades, attendance codes, the
// assignment header fields with their moves, and the class header; and the commands
// that must close the editor before they change the class.
#include <algorithm>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "tests/shell/editing_fixture.h"

namespace {

class CellKindsTest : public EditingTest {
 protected:
  void ClickInfoBand(int a) {
    Rect title;
    TitleBox(static_cast<int16_t>(a), &title);
    ClickAt(title.left + 4, 20);
  }
  bool Editing(uint16_t kind, uint16_t s, uint16_t a) const {
    return gEditHandle && gEditKind == kind && gEditStudent == s && gEditAssignment == a;
  }
};

TEST_F(CellKindsTest, ANewStudentsNameIsStoredSeatedAndUndone) {
  OpenClass(5, 3);
  Rect r;
  StudentBox(5, &r);
  ClickIn(r);
  ASSERT_TRUE(Editing(kEditName, 5, kNone));
  Enter("Zed, Ann");
  EXPECT_EQ("Zed, Ann", gStudents[5].name.str());
  EXPECT_EQ(6, NumStudents());
  uint16_t row, column;
  FindSeat(5, row, column);
  EXPECT_EQ(4, row) << "the first empty seat from the back row";
  EXPECT_EQ(0, column);
  EXPECT_TRUE(Editing(kEditName, 6, kNone)) << "down to the next row, named or not";
  Undo();
  EXPECT_TRUE(gStudents[5].name.empty());

  // Tab from a name goes to the first score; shift-Tab to the ID.
  StudentBox(1, &r);
  ClickIn(r);
  Key(kTabCharCode);
  EXPECT_TRUE(Editing(kEditScore, 1, 0));
  StudentBox(1, &r);
  ClickIn(r);
  Key(kTabCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditID, 1, kNone));
  TESetText(std::string(20, '7').data(), 20, gEditHandle);
  Key(kReturnCharCode);
  EXPECT_EQ(std::string(15, '7'), gStudents[1].id.str()) << "cut to the field's capacity";
}

TEST_F(CellKindsTest, EmptyingANameOffersToDeleteTheStudent) {
  OpenClass(5, 3);
  const std::string third = gStudents[3].name.str();
  Rect r;
  StudentBox(2, &r);
  ClickIn(r);
  answers = {1};
  Enter("");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Delete student?", alerts[0].title);
  EXPECT_EQ(third, gStudents[2].name.str()) << "later rows move up";
  EXPECT_EQ(4, NumStudents());
  EXPECT_EQ(nullptr, gEditHandle);
  Undo();
  EXPECT_EQ(5, NumStudents());
  EXPECT_EQ(third, gStudents[3].name.str());

  StudentBox(2, &r);
  ClickIn(r);
  answers = {2};
  Enter("");
  EXPECT_TRUE(gStudents[2].name.empty()) << "No leaves the slot without a name";
  EXPECT_EQ(2, NumStudents());
}

TEST_F(CellKindsTest, ATypedGradeLocksTheTermPercentAndDashesUnlockIt) {
  OpenClass(5, 3);
  const int t = T();
  Rect r;
  GradeBox(1, &r);
  ClickIn(r);
  ASSERT_TRUE(Editing(kEditGrade, 1, kNone));
  Enter("91.5%");
  EXPECT_EQ(915, gStudents[1].lockedPercent[t]);
  EXPECT_TRUE(Editing(kEditGrade, 2, kNone));
  answers = {1};
  Enter("130");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Invalid percent", alerts[0].title);
  EXPECT_EQ(kNone, gStudents[2].lockedPercent[t]);
  CloseEdit(kEditCancel);

  // A new score for a locked grade asks to unlock it.
  ClickScore(1, 0);
  answers = {1};
  Enter("50");
  EXPECT_EQ("Unlock grade?", alerts.back().title);
  EXPECT_EQ(kNone, gStudents[1].lockedPercent[t]);
  CloseEdit(kEditCancel);
  GradeBox(1, &r);
  ClickIn(r);
  Enter("80");
  GradeBox(1, &r);
  ClickIn(r);
  Enter("--");
  EXPECT_EQ(kNone, gStudents[1].lockedPercent[t]);
}

// Unlocking on a score typed again unchanged still changes the class: the close asks to
// save, and Undo locks the grade again.
TEST_F(CellKindsTest, UnlockingAGradeOnAnUnchangedScoreIsAChangeThatUndoes) {
  OpenClass(5, 3);
  const int t = T();
  gStudents[1].lockedPercent[t] = 915;
  SetChanged(0);
  ClickScore(1, 0);
  ASSERT_TRUE(EditingScore(1, 0));
  const std::string same = EditorText();
  const int16_t before = gScores[1][t][0];
  answers = {1};
  Enter(same);
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ("Unlock grade?", alerts.back().title);
  EXPECT_EQ(before, gScores[1][t][0]);
  EXPECT_EQ(kNone, gStudents[1].lockedPercent[t]);
  EXPECT_EQ(1, gChanged);
  CloseEdit(kEditCancel);
  Undo();
  EXPECT_EQ(915, gStudents[1].lockedPercent[t]);
  EXPECT_EQ(before, gScores[1][t][0]);

  // Answered No, nothing changes.
  gStudents[1].lockedPercent[t] = 915;
  SetChanged(0);
  ClickScore(1, 0);
  answers = {2};
  Enter(same);
  EXPECT_EQ(915, gStudents[1].lockedPercent[t]);
  EXPECT_EQ(0, gChanged);
  CloseEdit(kEditCancel);
}

TEST_F(CellKindsTest, AttendanceCodesAdjustTheTotalsWithoutWrapping) {
  OpenClass(5, 3);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  SetControlValue(gHScrollBar, 0);
  ForceUpdate();
  Run();
  const int t = T();
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (gHolidays[gColumnToDay[c]] != 1 && gTermDates[0].start + 86400u * gColumnToDay[c] >=
                                               gTermDates[t].start)
      column = c;
  ASSERT_GE(column, 0);
  const int day = gColumnToDay[column];
  gAttendance[1][day] = kNoMark;
  UpdateAttendance();
  const uint16_t absences = gStudents[1].absences[t];
  ClickScore(1, column);
  ASSERT_TRUE(Editing(kEditAttendance, 1, static_cast<uint16_t>(column)));
  Enter("ab");
  EXPECT_EQ(0, gAttendance[1][day]);
  EXPECT_EQ(absences + 10, gStudents[1].absences[t]);
  EXPECT_TRUE(Editing(kEditAttendance, 2, static_cast<uint16_t>(column)));
  answers = {1};
  Enter("zz");
  EXPECT_EQ("Invalid attendance code", alerts.back().title);
  EXPECT_EQ("'zz' is not a valid attendance code. Choose Attendance from the Gradebook menu "
            "to see the available attendance codes.",
            alerts.back().text);
  CloseEdit(kEditCancel);

  // Totals that disagree with the marks (a code's value changed since they were
  // counted) stay at 0 when a mark is taken away.
  gAttendance[3][day] = 0;
  gStudents[3].absences[t] = 4;
  ClickScore(3, column);
  Enter("");
  EXPECT_EQ(kNoMark, gAttendance[3][day]);
  EXPECT_EQ(0, gStudents[3].absences[t]);
  Undo();
  EXPECT_EQ(0, gAttendance[3][day]);
}

TEST_F(CellKindsTest, TheAssignmentHeaderFieldsFollowTheirMoveTable) {
  OpenClass(5, 4);
  const int t = T();
  ClickInfoBand(1);
  ASSERT_TRUE(Editing(kEditDate, kNone, 1));
  Key(kReturnCharCode);
  ASSERT_TRUE(Editing(kEditAssignmentName, kNone, 1));
  Enter("Lab 7", kReturnCharCode);
  EXPECT_EQ("Lab 7", gAssignments[t][1].name.str());
  ASSERT_TRUE(Editing(kEditCategory, kNone, 1));
  Key(kReturnCharCode);
  ASSERT_TRUE(Editing(kEditPoints, kNone, 1));
  Key(kReturnCharCode);
  EXPECT_TRUE(Editing(kEditScore, 0, 1)) << "points, down: the first row's score";
  CloseEdit(kEditCancel);

  ClickInfoBand(1);
  Key(kTabCharCode);
  EXPECT_TRUE(Editing(kEditDate, kNone, 2));
  Key(kTabCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditDate, kNone, 1));
  Key(kReturnCharCode);
  Key(kReturnCharCode);
  Key(kReturnCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditAssignmentName, kNone, 1));
  Key(kReturnCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditDate, kNone, 1));
  Key(kReturnCharCode, shiftKey);
  EXPECT_EQ(nullptr, gEditHandle) << "up from the date closes";

  // A click on another field of the assignment being edited opens that field.
  ClickInfoBand(3);
  Rect r;
  CategoryBox(&r);
  ClickIn(r);
  EXPECT_TRUE(Editing(kEditCategory, kNone, 3));
  Key(kTabCharCode);
  EXPECT_EQ(nullptr, gEditHandle) << "no named assignment after the last: closed";
}

TEST_F(CellKindsTest, DatesStepWithTheArrowsAndWarnOutsideTheTerm) {
  OpenClass(5, 3);
  const int t = T();
  ClickInfoBand(0);
  ASSERT_TRUE(Editing(kEditDate, kNone, 0));
  const uint32_t due = gAssignDates[t][0];
  Key(kDownArrowCharCode);
  Key(kDownArrowCharCode);
  Key(kUpArrowCharCode);
  Str255 text;
  SecondsToString(due + 86400, text);
  EXPECT_EQ(text.str(), EditorText());
  Key(kReturnCharCode);
  EXPECT_EQ(due + 86400, gAssignDates[t][0]);
  EXPECT_EQ(due + 86400, gLastAssignDate);
  CloseEdit(kEditCancel);

  ClickInfoBand(0);
  answers = {1};
  Enter("nonsense");
  EXPECT_EQ("Invalid date", alerts.back().title);
  EXPECT_EQ(due + 86400, gAssignDates[t][0]);
  SecondsToString(gTermDates[t].start - 8 * 86400, text);
  answers = {1};
  Enter(text.str());
  EXPECT_EQ(kCautionAlert, alerts.back().kind);
  EXPECT_EQ(text.str() + " is not in " + gTermNames[t].str(), alerts.back().title);
  EXPECT_EQ(2u, alerts.size());
  uint32_t typed = 0;
  StringToSeconds(text, typed);
  EXPECT_EQ(typed, gAssignDates[t][0]) << "stored after the warning";
}

TEST_F(CellKindsTest, PointsAreCheckedAndMayScaleTheScores) {
  OpenClass(5, 3);
  const int t = T();
  gScores[0][t][0] = 800;
  ClickInfoBand(0);
  Key(kReturnCharCode);
  Key(kReturnCharCode);
  Key(kReturnCharCode);
  ASSERT_TRUE(Editing(kEditPoints, kNone, 0));
  answers = {1};
  Enter("ten");
  EXPECT_EQ("Invalid points possible", alerts.back().title);
  answers = {1};
  Enter("50", kTabCharCode, shiftKey);
  EXPECT_EQ("Scale assignment scores?", alerts.back().title);
  EXPECT_EQ(50, gAssignments[t][0].points);
  EXPECT_EQ(400, gScores[0][t][0]);
}

TEST_F(CellKindsTest, ScoresOfAnUnnamedColumnAskForTheAssignmentFirst) {
  OpenClass(5, 3);
  answers = {1};
  ClickScore(1, 4);
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("No assignment", alerts[0].title);
  EXPECT_TRUE(Editing(kEditDate, kNone, 4));
}

TEST_F(CellKindsTest, AClickInsideTheEditorPlacesTheCaret) {
  OpenClass(5, 3);
  ClickScore(1, 0);
  ASSERT_TRUE(EditingScore(1, 0));
  ASSERT_NE(gEditHandle->selStart, gEditHandle->selEnd);
  ClickAt(gEditBox.right - 2, (gEditBox.top + gEditBox.bottom) / 2);
  EXPECT_TRUE(EditingScore(1, 0));
  EXPECT_EQ(gEditHandle->selStart, gEditHandle->selEnd);
  EXPECT_EQ(TEGetLength(gEditHandle), gEditHandle->selEnd);
}

TEST_F(CellKindsTest, FinalExamsAndExtraCreditAreChecked) {
  OpenClass(5, 3);
  const int t = T();
  gClass.examWeight = 0;
  ClickInfoBand(0);
  Key(kReturnCharCode);
  Key(kReturnCharCode);
  answers = {1};
  Enter("Final Exams");
  EXPECT_EQ("Final exam will not be used", alerts.back().title);
  EXPECT_EQ(kExamCategory, gAssignments[t][0].category);
  Key(kReturnCharCode, shiftKey);
  ASSERT_EQ(kEditCategory, gEditKind);
  Enter("Extra Credit");
  EXPECT_EQ(kExtraCreditCategory, gAssignments[t][0].category);
  ASSERT_EQ(kEditPoints, gEditKind);
  answers = {1};
  Enter("0");
  EXPECT_EQ("The points possible for an extra credit assignment should not be 0. Use the "
            "actual number of points possible for the assignment.",
            alerts.back().text);
  EXPECT_EQ(100, gAssignments[t][0].points);
}

TEST_F(CellKindsTest, ANewCategoryCanBeAddedFromItsCell) {
  OpenClass(5, 3);
  const int t = T();
  ClickInfoBand(0);
  Key(kReturnCharCode);
  Key(kReturnCharCode);
  ASSERT_TRUE(Editing(kEditCategory, kNone, 0));
  answers = {2};
  Enter("Projects");
  EXPECT_EQ("Invalid category", alerts.back().title);
  EXPECT_TRUE(Editing(kEditCategory, kNone, 0)) << "No keeps the editor open";
  answers = {1};
  Enter("Projects");
  const uint16_t c = gAssignments[t][0].category;
  ASSERT_LT(c, kMaxCategories);
  EXPECT_EQ("Projects", gCategories[t][c].name.str());
  EXPECT_EQ(1, gCategories[t][c].weight);
}

TEST_F(CellKindsTest, TheClassHeaderLinesMoveDownAndUp) {
  OpenClass(5, 3);
  Rect r;
  SchoolBox(&r);
  ClickIn(r);
  ASSERT_TRUE(Editing(kEditSchool, kNone, kNone));
  Enter("Lakeside School");
  EXPECT_EQ("Lakeside School", gClass.school.str());
  ASSERT_TRUE(Editing(kEditSubject, kNone, kNone));
  Enter("Chemistry");
  ASSERT_TRUE(Editing(kEditTeacher, kNone, kNone));
  Key(kEscapeCharCode);
  EXPECT_EQ("Chemistry", gClass.subject.str());
  Undo();
  EXPECT_EQ("Biology", gClass.subject.str());
  TeacherBox(&r);
  ClickIn(r);
  Key(kReturnCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditSubject, kNone, kNone));
  Key(kReturnCharCode, shiftKey);
  EXPECT_TRUE(Editing(kEditSchool, kNone, kNone));
}

TEST_F(CellKindsTest, CommandsStopWhileTheEditorHoldsARefusedText) {
  OpenClass(8, 3);
  std::vector<std::string> names;
  for (int s = 0; s < 8; s++) names.push_back(gStudents[s].name.str());
  ClickScore(1, 0);
  TESetSelect(0, 32767, gEditHandle);
  Type("xyz");
  answers = {1};
  AdjustMenus();
  HandleMenuChoice((kSortMenu << 16) | 2);  // students by name
  Run();
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ("Invalid score", alerts.back().title);
  EXPECT_TRUE(EditingScore(1, 0));
  for (int s = 0; s < 8; s++) EXPECT_EQ(names[s], gStudents[s].name.str());

  // A drag of a student row, a fill and a footnote stop the same way.
  Rect from, to;
  StudentBox(2, &from);
  StudentBox(5, &to);
  const Point a = Global(3, (from.top + from.bottom) / 2), b = Global(3, (to.top + to.bottom) / 2);
  answers = {1, 1, 1};
  ScriptMousePath({a, b, b}, 0);
  Run();
  HandleMenuChoice((kEditMenu << 16) | kFillDownItem);
  Run();
  ClickScore(3, 1, controlKey);
  EXPECT_EQ(4u, alerts.size());
  for (int s = 0; s < 8; s++) EXPECT_EQ(names[s], gStudents[s].name.str());
  EXPECT_TRUE(EditingScore(1, 0));
  EXPECT_EQ(kNone, gSelStudent);
  EXPECT_EQ("xyz", EditorText());
}

TEST_F(CellKindsTest, ClicksInTheHeaderAreNeverTakenForRows) {
  OpenClass(8, 3);
  // Just above the first row, over the names: the title band sorts; no row opens.
  Rect name;
  StudentBox(0, &name);
  ClickAt(name.left + 10, HeaderBottom() - 2);
  EXPECT_EQ(nullptr, gEditHandle);
  for (int s = 1; s < 8; s++) {
    Str255 a, b;
    LastNameFirst(gStudents[s - 1].name, a);
    LastNameFirst(gStudents[s].name, b);
    EXPECT_LE(RelString(a, b, false, false), 0) << "sorted by name";
  }
  // A score column's title band above row 0 selects the column instead of editing.
  Rect title;
  TitleBox(1, &title);
  ClickAt(title.left + 4, HeaderBottom() - 3);
  EXPECT_EQ(nullptr, gEditHandle);
  EXPECT_EQ(1, gSelAssignment);
}

}  // namespace

// Every opener on a cell that holds nothing: the editor shows the cell's empty form and
// not one byte more (an unset text once brought stack bytes into the editor, an alert
// and the clipboard).
struct EmptyOpener {
  const char* name;
  uint16_t kind;
  void (*open)();
  const char* text;  // what the editor shows for the empty cell
};

TEST_F(CellKindsTest, EveryOpenerOnAnEmptyCellShowsOnlyItsEmptyText) {
  OpenClass(5, 3);
  const int t = T();
  gStudents[1].id.clear();
  for (int a = 0; a < kMaxAssignments; a++) gScores[2][t][a] = kBlank;
  gAssignments[t][2].category = kNone;
  gClass.school.clear();
  gClass.subject.clear();
  gClass.teacher.clear();
  FlushAll();
  const EmptyOpener openers[] = {
      {"ID", kEditID, [] { EditID(1); }, ""},
      {"new student", kEditName, [] { EditStudent(5); }, ""},
      {"blank score", kEditScore, [] { EditScore(2, 1); }, " "},
      {"grade of blank scores", kEditGrade, [] { EditGrade(2); }, "0.0%"},
      {"unnamed assignment", kEditAssignmentName, [] { EditAssignment(3); }, ""},
      {"no category", kEditCategory, [] { EditCategory(2); }, ""},
      {"school", kEditSchool, [] { EditSchool(); }, ""},
      {"subject", kEditSubject, [] { EditSubject(); }, ""},
      {"teacher", kEditTeacher, [] { EditTeacher(); }, ""},
  };
  for (const EmptyOpener& o : openers) {
    SCOPED_TRACE(o.name);
    o.open();
    ASSERT_NE(nullptr, gEditHandle);
    EXPECT_EQ(o.kind, gEditKind);
    EXPECT_EQ(std::string(o.text), TEGetText(gEditHandle));
    CloseEdit(kEditCancel);
    ASSERT_EQ(nullptr, gEditHandle);
  }

  // An unmarked school day of the attendance grid.
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (ColumnDay(c) >= 0 && gHolidays[ColumnDay(c)] != 1) column = c;
  ASSERT_GE(column, 0);
  gAttendance[2][ColumnDay(column)] = kNoMark;
  EditAttendance(2, static_cast<int16_t>(column));
  ASSERT_TRUE(Editing(kEditAttendance, 2, static_cast<uint16_t>(column)));
  EXPECT_EQ("", TEGetText(gEditHandle));
  // Return on the empty text quotes nothing back: no alert, the day stays unmarked.
  Key(kReturnCharCode);
  EXPECT_TRUE(alerts.empty()) << alerts.front().title;
  EXPECT_EQ(kNoMark, gAttendance[2][ColumnDay(column)]);
}

// A code name holds 4 characters: a longer typed code is cut to them before it is looked
// up, so "Tardy" marks the code "Tard" and "Abxyz" is refused as "Abxy".
TEST_F(CellKindsTest, TypedCodesAreCutToFourCharactersBeforeTheyAreMatched) {
  OpenClass(5, 3);
  gCodes[3].name.setC("Tard");
  gCodes[3].kind = 2;
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (ColumnDay(c) >= 0 && gHolidays[ColumnDay(c)] != 1) column = c;
  ASSERT_GE(column, 0);
  const int day = ColumnDay(column);
  gAttendance[1][day] = kNoMark;
  EditAttendance(1, static_cast<int16_t>(column));
  ASSERT_TRUE(Editing(kEditAttendance, 1, static_cast<uint16_t>(column)));
  Enter("Tardy");
  EXPECT_TRUE(alerts.empty()) << alerts.front().text;
  EXPECT_EQ(3, gAttendance[1][day]);
  CloseEdit(kEditCancel);

  EditAttendance(1, static_cast<int16_t>(column));
  answers = {1};
  Enter("Abxyz");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Invalid attendance code", alerts[0].title);
  EXPECT_NE(std::string::npos, alerts[0].text.find("'Abxy'")) << alerts[0].text;
  EXPECT_EQ(3, gAttendance[1][day]);
  CloseEdit(kEditCancel);
}
