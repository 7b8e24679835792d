// The class dialogs driven by scripts: footnotes, header and footer, student comments,
// the curve, the seat assignment and the report options. Each refusal comes with its
// alert and focus, OK stores what was typed (and copies it to later terms where the
// dialog offers it), undo brings the class back, and Cancel changes nothing.
#include "marktally/shell/dialogs/class_dialogs.h"

#include <string>
#include <vector>

#include "marktally/model/grading.h"
#include "marktally/model/undo.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::FocusOf;

std::string Text(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetEditText(d, item, text);
  return text.str();
}
bool Active(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c && IsControlActive(c);
}
int16_t Value(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c ? GetControlValue(c) : -1;
}
std::string StaticText(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  char buffer[256] = {};
  int32_t size = 0;
  if (c) GetControlDataSize(c, kControlEntireControl, kControlStaticTextTextTag, &size);
  if (c && size > 0 && size < 256)
    GetControlData(c, kControlEntireControl, kControlStaticTextTextTag, size, buffer, nullptr);
  return std::string(buffer, static_cast<size_t>(size > 0 && size < 256 ? size : 0));
}
DialogScriptStep Picture(const std::string& name) {
  return CheckStep([name](DialogRef d) {
    const std::string png = dialogtest::RenderDir() + "/class-" + name + ".png";
    EXPECT_TRUE(SavePortImage(GetDialogPort(d), png)) << png;
  });
}

class ClassDialogsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    CantUndo();
  }
  void TearDown() override {
    CantUndo();
    DialogTest::TearDown();
  }

  // Named students 0..n-1 and, in the current term, assignment 0 of the given points.
  void Students(int n, uint16_t points = 10) {
    for (int s = 0; s < n; s++) gStudents[s].name.setC(("Student " + std::to_string(s)).c_str());
    gAssignments[gCurrentTerm][0].name.setC("Quiz 1");
    gAssignments[gCurrentTerm][0].points = points;
    gAssignments[gCurrentTerm][0].category = 0;
    gCategories[gCurrentTerm][0].name.setC("Quizzes");
  }
};

// ---- Footnotes ---------------------------------------------------------------------------

TEST_F(ClassDialogsTest, FootnotesAreStrippedStoredAndUndone) {
  gFootnoteText[0].setC("Late");
  gFootnoteText[7].setC("Redo");
  const std::string long30 = "abcdefghijklmnopqrstuvwxyz1234";
  const int beeps = BeepCount();
  ScriptDialog(gFootnotesDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(Text(d, 3), "Late");
                  EXPECT_EQ(Text(d, 10), "Redo");
                  EXPECT_EQ(FocusOf(d), 3);
                }),
                Picture("footnotes"), TypeStep(4, "  Excused  "), TypeStep(5, long30),
                CheckStep([](DialogRef d) {
                  // The field stopped taking keys at 21 bytes: what is seen is kept.
                  EXPECT_EQ(Text(d, 5), "abcdefghijklmnopqrstu");
                }),
                TypeStep(10, ""), KeyStep(kBackspaceCharCode), ClickStep(1)});
  DoFootnotesDialog();
  EXPECT_EQ(BeepCount() - beeps, 9);
  EXPECT_EQ(gFootnoteText[0].str(), "Late");
  EXPECT_EQ(gFootnoteText[1].str(), "Excused");
  EXPECT_EQ(gFootnoteText[2].str(), "abcdefghijklmnopqrstu");
  EXPECT_EQ(gFootnoteText[7].str(), "");
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoFootnotes);

  DoUndoCmd();
  EXPECT_EQ(gFootnoteText[1].str(), "");
  EXPECT_EQ(gFootnoteText[7].str(), "Redo");
  DoUndoCmd();  // redo
  EXPECT_EQ(gFootnoteText[1].str(), "Excused");
}

TEST_F(ClassDialogsTest, FootnotePasteBeyondTheLimitIsRefusedAndCancelKeepsTheTexts) {
  gFootnoteText[0].setC("Late");
  TESetScrapText("0123456789012345678");  // 19 bytes: 4 + 19 > 21
  TEToScrap();
  const int beeps = BeepCount();
  ScriptDialog(gFootnotesDialog,
               {ClickStep(3), KeyStep('v', cmdKey),
                CheckStep([](DialogRef d) { EXPECT_EQ(Text(d, 3), "Late"); }),
                TypeStep(3, "x"), KeyStep('v', cmdKey),  // 1 + 19 fits
                CheckStep([](DialogRef d) { EXPECT_EQ(Text(d, 3), "x0123456789012345678"); }),
                ClickStep(2)});
  DoFootnotesDialog();
  EXPECT_EQ(BeepCount() - beeps, 1);
  EXPECT_EQ(gFootnoteText[0].str(), "Late");
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

// ---- Header and footer ---------------------------------------------------------------------

TEST_F(ClassDialogsTest, HeaderAndFooterCopyToTheLaterTermsAndUndoAllOfThem) {
  gClass.lastTerm = 3;
  gCurrentTerm = 1;
  gHeader[0].setC("first");
  gHeader[3].setC("last");
  gFooter[1].setC("old footer");
  ScriptDialog(gGlobalCommentsDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(Text(d, 3), "");
                  EXPECT_EQ(Text(d, 4), "old footer");
                  EXPECT_FALSE(GetCheckBox(d, 7));
                  EXPECT_EQ(FocusOf(d), 3);
                }),
                Picture("header-footer"), TypeStep(3, "Welcome back"),
                TypeStep(4, "Sign and return"), ClickStep(7), ClickStep(1)});
  DoGlobalCommentsDialog();
  EXPECT_EQ(gHeader[0].str(), "first");
  for (int t = 1; t <= 3; t++) {
    EXPECT_EQ(gHeader[t].str(), "Welcome back") << t;
    EXPECT_EQ(gFooter[t].str(), "Sign and return") << t;
  }
  EXPECT_EQ(gHeader[4].str(), "");  // past the class's last term
  EXPECT_EQ(gChanged, 1);

  DoUndoCmd();
  EXPECT_EQ(gHeader[1].str(), "");
  EXPECT_EQ(gHeader[3].str(), "last");
  EXPECT_EQ(gFooter[1].str(), "old footer");
  EXPECT_EQ(gFooter[2].str(), "");

  // The box is off at every showing: this time only the current term changes.
  ScriptDialog(gGlobalCommentsDialog, {CheckStep([](DialogRef d) {
                                         EXPECT_FALSE(GetCheckBox(d, 7));
                                       }),
                                       TypeStep(3, "Term two"), ClickStep(1)});
  DoGlobalCommentsDialog();
  EXPECT_EQ(gHeader[1].str(), "Term two");
  EXPECT_EQ(gHeader[2].str(), "");
}

TEST_F(ClassDialogsTest, ALongHeaderOrFooterIsRefusedWithTheExcessSelected) {
  gClass.lastTerm = 1;
  gCurrentTerm = 1;  // the last term: copying changes nothing else
  const std::string tooLong(300, 'h');
  const std::string fits(254, 'f');
  ExpectAlert(kAlertStopAlert, "Comment is too long",
              "Comments cannot exceed 254 characters. The selected text is beyond that length.");
  ExpectAlert(kAlertStopAlert, "Comment is too long",
              "Comments cannot exceed 254 characters. The selected text is beyond that length.");
  ScriptDialog(gGlobalCommentsDialog,
               {TypeStep(4, tooLong + "x"), ClickStep(1), CheckStep([](DialogRef d) {
                  EXPECT_EQ(FocusOf(d), 4);
                  TEHandle te = nullptr;
                  GetTEHandle(d, 4, te);
                  ASSERT_NE(te, nullptr);
                  EXPECT_EQ(te->selStart, 254);
                  EXPECT_EQ(te->selEnd, 301);
                }),
                TypeStep(4, fits), TypeStep(3, tooLong), ClickStep(1),
                CheckStep([](DialogRef d) { EXPECT_EQ(FocusOf(d), 3); }), TypeStep(3, "ok"),
                ClickStep(7), ClickStep(1)});
  DoGlobalCommentsDialog();
  EXPECT_EQ(gHeader[1].str(), "ok");
  EXPECT_EQ(gFooter[1].str(), fits);
  EXPECT_EQ(gHeader[0].str(), "");
  EXPECT_EQ(gFooter[0].str(), "");
  EXPECT_EQ(gHeader[2].str(), "");
}

TEST_F(ClassDialogsTest, CancelOfTheHeaderAndFooterKeepsThem) {
  gHeader[0].setC("kept");
  ScriptDialog(gGlobalCommentsDialog,
               {TypeStep(3, "changed"), TypeStep(4, "changed"), ClickStep(7), ClickStep(2)});
  DoGlobalCommentsDialog();
  EXPECT_EQ(gHeader[0].str(), "kept");
  EXPECT_EQ(gFooter[0].str(), "");
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

// ---- Student comments ------------------------------------------------------------------------

TEST_F(ClassDialogsTest, TheStudentPopUpStoresTheShownCommentAndSwitches) {
  Students(4);
  gClass.lastTerm = 2;
  gCurrentTerm = 1;
  gComments[1][1].setC("Good start");
  gComments[2][1].setC("Quiet");
  gComments[2][0].setC("first term");
  gReportOptions = 0x0003;
  SetUndoStudentComments();  // as the command does
  ScriptDialog(gCommentsDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(gStudentPopUpItem, 2);
                  EXPECT_EQ(Value(d, 4), 2);
                  EXPECT_EQ(Text(d, 2), "Good start");
                  EXPECT_FALSE(GetCheckBox(d, 3));
                  EXPECT_FALSE(GetCheckBox(d, 5));
                  EXPECT_EQ(FocusOf(d), 2);
                }),
                Picture("student-comments"), TypeStep(2, "Great work"), ClickStep(5),
                ChooseStep(4, 3), CheckStep([](DialogRef d) {
                  EXPECT_EQ(gStudentPopUpItem, 3);
                  EXPECT_EQ(Text(d, 2), "Quiet");
                  EXPECT_EQ(FocusOf(d), 2);
                  // Stored for the student left, with the copy box on.
                  EXPECT_EQ(gComments[1][1].str(), "Great work");
                  EXPECT_EQ(gComments[1][2].str(), "Great work");
                }),
                TypeStep(2, "Speaks up now"), ClickStep(5), ClickStep(3), ClickStep(1)});
  DoCommentsDialog(1);
  EXPECT_EQ(gComments[2][1].str(), "Speaks up now");
  EXPECT_EQ(gComments[2][2].str(), "");  // the box was flipped back off
  EXPECT_EQ(gComments[2][0].str(), "first term");
  EXPECT_EQ(gReportOptions, 0x1003);
  EXPECT_EQ(gChanged, 1);

  DoUndoCmd();
  EXPECT_EQ(gComments[1][1].str(), "Good start");
  EXPECT_EQ(gComments[1][2].str(), "");
  EXPECT_EQ(gComments[2][1].str(), "Quiet");
  EXPECT_EQ(gReportOptions, 0x0003);
  DoUndoCmd();  // redo
  EXPECT_EQ(gComments[2][1].str(), "Speaks up now");
  EXPECT_EQ(gReportOptions, 0x1003);
}

TEST_F(ClassDialogsTest, ALongCommentKeepsTheShownStudentUntilItFits) {
  Students(3);
  gReportOptions = 0x1000;
  const std::string tooLong(260, 'c');
  ExpectAlert(kAlertStopAlert, "Comment is too long",
              "Comments cannot exceed 254 characters. The selected text is beyond that length.");
  ExpectAlert(kAlertStopAlert, "Comment is too long",
              "Comments cannot exceed 254 characters. The selected text is beyond that length.");
  ScriptDialog(gCommentsDialog,
               {CheckStep([](DialogRef d) { EXPECT_TRUE(GetCheckBox(d, 3)); }),
                TypeStep(2, tooLong), ChooseStep(4, 3), CheckStep([](DialogRef d) {
                  EXPECT_EQ(Value(d, 4), 1);  // set back
                  EXPECT_EQ(gStudentPopUpItem, 1);
                  EXPECT_EQ(FocusOf(d), 2);
                  EXPECT_EQ(gComments[0][0].str(), "");
                }),
                ClickStep(1), TypeStep(2, "Fine"), ClickStep(3), ClickStep(1)});
  DoCommentsDialog(0);
  EXPECT_EQ(gComments[0][0].str(), "Fine");
  EXPECT_EQ(gComments[2][0].str(), "");
  EXPECT_EQ(gReportOptions, 0);
}

TEST_F(ClassDialogsTest, TheCommentsPopUpListsTheNamedStudents) {
  Students(3);
  ScriptDialog(gCommentsDialog, {CheckStep([](DialogRef d) {
                                   MenuRef menu = GetMenuHandle(kStudentListMenu);
                                   ASSERT_NE(menu, nullptr);
                                   EXPECT_EQ(CountMenuItems(menu), 3);
                                   Str255 name{};
                                   GetMenuItemText(menu, 3, name);
                                   EXPECT_EQ(name.str(), "Student 2");
                                   ControlRef c = nullptr;
                                   GetDialogItemAsControl(d, 4, &c);
                                   EXPECT_EQ(GetControlMaximum(c), 3);
                                 }),
                                 ClickStep(1)});
  DoCommentsDialog(0);
}

// ---- Curve -------------------------------------------------------------------------------------

TEST(CurveScoreTest, ScoresFollowTheTwoLinesThroughTheAverage) {
  struct Case {
    CurveFigures f;  // old high, low, average; new high, low, average (tenths)
    int16_t score;
    bool round;
    int16_t expected;
  };
  const CurveFigures half{1000, 0, 500, 1000, 600, 750};
  const Case cases[] = {
      {half, 500, false, 750},    // the old average becomes the new average
      {half, 1000, false, 1000},  // the old high becomes the new high
      {half, 0, false, 600},      // the old low becomes the new low
      {half, 750, false, 875},    // 250 x 0.5 + 750
      {half, 750, true, 880},     // 87.5 rounds up to 88
      {half, 748, false, 874},
      {half, 748, true, 870},     // 87.4 rounds down to 87
      {half, 250, false, 675},    // -250 x 0.3 + 750
      {half, 333, false, 700},    // -167 x 0.3 = -50.1, cut toward zero to -50
      {half, kBlank, true, kBlank},
      {half, kExcused, false, kExcused},
      {half, kFirstSpecial + 2, false, kFirstSpecial + 2},
      // The average rounded onto the lowest score: no division by zero.
      {{11, 10, 10, 100, 60, 80}, 10, false, 80},
      {{11, 10, 10, 100, 60, 80}, 11, false, 100},
      // The average rounded onto the highest score.
      {{11, 10, 11, 100, 60, 80}, 11, true, 80},
      {{11, 10, 11, 100, 60, 80}, 10, false, 60},
      // Points possible below the scores: the old low is the points possible.
      {{120, 100, 115, 100, 60, 80}, 100, false, 60},
      {{120, 100, 115, 100, 60, 80}, 120, false, 100},
      // Extreme figures stay in the 16-bit score range.
      {{20, 10, 11, 10000, 0, 9999}, 20, false, 10000},
      {{10000, 0, 1, 10000, 0, 9999}, 10000, true, 10000},
      {{2, 0, 1, 30000, 0, 29999}, 2, false, 30000},
      {{32767, 0, 1, 32767, 0, 32766}, 32767, true, 32760},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "score " << c.score << " avg " << c.f.oldAverage
                                    << " round " << c.round);
    EXPECT_EQ(CurveScore(c.score, c.f, c.round), c.expected);
  }
}

TEST_F(ClassDialogsTest, CurveFiguresComeFromTheNamedStudentsNumericScores) {
  Students(5, 20);
  const int t = gCurrentTerm;
  const int16_t scores[] = {150, 180, kExcused, 90, kBlank};
  for (int s = 0; s < 5; s++) gScores[s][t][0] = scores[s];
  gScores[7][t][0] = 5;  // an unnamed slot does not count
  const CurveFigures f = ColumnCurveFigures(0);
  EXPECT_EQ(f.oldHigh, 180);
  EXPECT_EQ(f.oldLow, 90);
  EXPECT_EQ(f.oldAverage, 140);  // 420 / 3
  EXPECT_EQ(f.newHigh, 200);
  EXPECT_EQ(f.newLow, 120);
  EXPECT_EQ(f.newAverage, 160);

  for (int s = 0; s < 5; s++) gScores[s][t][0] = kBlank;
  const CurveFigures none = ColumnCurveFigures(0);
  EXPECT_EQ(none.oldHigh, 200);
  EXPECT_EQ(none.oldLow, 200);
  EXPECT_EQ(none.oldAverage, 0);
}

TEST_F(ClassDialogsTest, CurveRefusalsComeInOrderWithTheirFocus) {
  Students(4, 10);
  const int t = gCurrentTerm;
  const int16_t scores[] = {40, 60, 80, kAbsent};
  for (int s = 0; s < 4; s++) gScores[s][t][0] = scores[s];
  gSelAssignment = 0;
  const char* const kTitle = "Unable to curve assignment";
  ExpectAlert(kAlertStopAlert, kTitle, "The new high score must be a decimal from 0 to 1000.");
  ExpectAlert(kAlertStopAlert, kTitle, "The new low score must be a decimal from 0 to 1000.");
  ExpectAlert(kAlertStopAlert, kTitle, "The new average score must be a decimal from 0 to 1000.");
  ExpectAlert(kAlertStopAlert, kTitle, "The new high score must be greater than the new low score.");
  ExpectAlert(kAlertStopAlert, kTitle,
              "The new average score must be between the new high and low scores.");
  auto focus = [](DialogItemIndex item) {
    return CheckStep([item](DialogRef d) { EXPECT_EQ(FocusOf(d), item); });
  };
  ScriptDialog(gCurveDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(StaticText(d, 3), "Quiz 1");
                  EXPECT_EQ(StaticText(d, 4), "Quizzes");
                  EXPECT_EQ(StaticText(d, 5), "10 points");
                  EXPECT_EQ(Text(d, 7), "8");
                  EXPECT_EQ(Text(d, 11), "4");
                  EXPECT_EQ(Text(d, 15), "6");
                  EXPECT_EQ(Text(d, 9), "10");
                  EXPECT_EQ(Text(d, 13), "6");
                  EXPECT_EQ(Text(d, 17), "8");
                  EXPECT_FALSE(Active(d, 7));
                  EXPECT_FALSE(Active(d, 11));
                  EXPECT_FALSE(Active(d, 15));
                  EXPECT_TRUE(GetCheckBox(d, 18));
                  EXPECT_EQ(FocusOf(d), 9);
                }),
                Picture("curve"), TypeStep(9, "1001"), ClickStep(1), focus(9),
                TypeStep(9, "10"), TypeStep(13, "abs"), ClickStep(1), focus(13),
                TypeStep(13, "6"), TypeStep(17, ""), KeyStep(kBackspaceCharCode), ClickStep(1), focus(17),
                TypeStep(17, "8"), TypeStep(13, "10"), ClickStep(1), focus(9),
                TypeStep(13, "6"), TypeStep(17, "6"), ClickStep(1), focus(9),
                // Refused checks changed nothing.
                CheckStep([t](DialogRef) { EXPECT_EQ(gScores[0][t][0], 40); }),
                TypeStep(17, "7.5"), ClickStep(18), ClickStep(1)});
  DoCurveDialog();
  EXPECT_EQ(alerts.size(), 5u);
  // Old 4 / 6 / 8 onto new 6 / 7.5 / 10, not rounded.
  EXPECT_EQ(gScores[0][t][0], 60);
  EXPECT_EQ(gScores[1][t][0], 75);
  EXPECT_EQ(gScores[2][t][0], 100);
  EXPECT_EQ(gScores[3][t][0], kAbsent);
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoCurve);

  DoUndoCmd();
  EXPECT_EQ(gScores[0][t][0], 40);
  EXPECT_EQ(gScores[2][t][0], 80);
}

TEST_F(ClassDialogsTest, CurveOfEqualOldHighAndLowIsRefusedAndCancelKeepsTheScores) {
  Students(3, 10);
  const int t = gCurrentTerm;
  // All the scores the same (the command would have refused; the dialog checks again).
  for (int s = 0; s < 3; s++) gScores[s][t][0] = 100;
  gSelAssignment = 0;
  ExpectAlert(kAlertStopAlert, "Unable to curve assignment",
              "This assignment cannot be curved since there are no numeric scores or all the "
              "scores are the same.");
  ScriptDialog(gCurveDialog, {ClickStep(1), CheckStep([](DialogRef d) {
                                EXPECT_EQ(FocusOf(d), 9);
                              }),
                              ClickStep(2)});
  DoCurveDialog();
  for (int s = 0; s < 3; s++) EXPECT_EQ(gScores[s][t][0], 100);
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

// ---- Seats ---------------------------------------------------------------------------------------

class SeatsDialogTest : public ClassDialogsTest {
 protected:
  void SetUp() override {
    ClassDialogsTest::SetUp();
    gAssignSeats = gAssignSeatsAlpha = gAssignSeatsRandom = 0;
    for (auto& row : gSeatingChart.seats)
      for (uint16_t& seat : row) seat = kEmptySeat;
  }
  void TearDown() override {
    gAssignSeats = gAssignSeatsAlpha = gAssignSeatsRandom = 0;
    ClassDialogsTest::TearDown();
  }
  // Where each student sits; fails on a student seated twice or not at all.
  void ExpectEverySeatedOnce(int students) {
    std::vector<int> seen(students, 0);
    for (int r = 0; r < kMaxSeatRows; r++) {
      for (int c = 0; c < kMaxSeatColumns; c++) {
        const uint16_t seat = gSeatingChart.seats[r][c];
        if (seat >= kMaxStudents) continue;
        EXPECT_LT(r, gSeatingChart.rows) << "student " << seat << " outside the chart";
        EXPECT_LT(c, gSeatingChart.columns) << "student " << seat << " outside the chart";
        ASSERT_LT(seat, students);
        seen[seat]++;
      }
    }
    for (int s = 0; s < students; s++) EXPECT_EQ(seen[s], 1) << "student " << s;
  }
};

TEST_F(SeatsDialogTest, RefusalsComeWithTheirAlertAndFocus) {
  Students(26);
  gSeatingChart.rows = 6;
  gSeatingChart.columns = 6;
  for (int c = 0; c < 5; c++) gSeatingChart.seats[5][c] = c % 2 ? kHiddenSeat : kUnavailableSeat;
  ExpectAlert(kAlertStopAlert, "Invalid number of rows",
              "The number of rows must be a whole number between 1 and 20.");
  ExpectAlert(kAlertStopAlert, "Invalid number of rows",
              "The number of rows must be a whole number between 1 and 20.");
  ExpectAlert(kAlertStopAlert, "Invalid number of columns",
              "The number of columns must be a whole number between 1 and 20.");
  ExpectAlert(kAlertStopAlert, "Not enough seats",
              "The number of rows and columns in your seating arrangement will not provide "
              "enough seats for all of the students in this class.");
  ExpectAlert(kAlertStopAlert, "Not enough seats",
              "The number of seats in your seating arrangement will not provide enough seats "
              "for all of the students in this class.");
  auto focus = [](DialogItemIndex item) {
    return CheckStep([item](DialogRef d) { EXPECT_EQ(FocusOf(d), item); });
  };
  ScriptDialog(gAssignSeatsDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(Text(d, 4), "6");
                  EXPECT_EQ(Text(d, 5), "6");
                  EXPECT_TRUE(GetCheckBox(d, 8));
                  EXPECT_FALSE(GetRadioButton(d, 9));
                  EXPECT_TRUE(GetRadioButton(d, 10));
                  EXPECT_EQ(FocusOf(d), 4);
                }),
                Picture("assign-seats"), TypeStep(4, "0"), ClickStep(1), focus(4),
                TypeStep(4, "21"), ClickStep(1), focus(4), TypeStep(4, "5"),
                TypeStep(5, "2.5"), ClickStep(1), focus(5), TypeStep(5, "5"), ClickStep(1),
                focus(4), TypeStep(4, "6"), ClickStep(1), focus(4), ClickStep(2)});
  DoAssignSeatsDialog();
  EXPECT_EQ(gSeatingChart.rows, 6);
  EXPECT_EQ(gSeatingChart.columns, 6);
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

TEST_F(SeatsDialogTest, PlacingAlphabeticallyFillsTheNewChartAndUndoBringsTheOldOne) {
  Students(5);
  const char* const kNames[] = {"Zeller, Ann", "Brown, Cy", "Cole, Di", "Adams, Bo", "Drake, Ed"};
  for (int s = 0; s < 5; s++) gStudents[s].name.setC(kNames[s]);
  gSeatingChart.rows = 2;
  gSeatingChart.columns = 3;
  for (int s = 0; s < 5; s++) gSeatingChart.seats[s / 3][s % 3] = static_cast<uint16_t>(s);
  ScriptDialog(gAssignSeatsDialog,
               {ClickStep(8), CheckStep([](DialogRef d) {
                  EXPECT_FALSE(Active(d, 9));
                  EXPECT_FALSE(Active(d, 10));
                }),
                ClickStep(8), CheckStep([](DialogRef d) {
                  EXPECT_TRUE(Active(d, 9));
                  EXPECT_TRUE(Active(d, 10));
                }),
                ClickStep(9), CheckStep([](DialogRef d) {
                  EXPECT_TRUE(GetRadioButton(d, 9));
                  EXPECT_FALSE(GetRadioButton(d, 10));
                }),
                TypeStep(4, "3"), TypeStep(5, "2"), ClickStep(1)});
  DoAssignSeatsDialog();
  EXPECT_EQ(gSeatingChart.rows, 3);
  EXPECT_EQ(gSeatingChart.columns, 2);
  EXPECT_EQ(gAssignSeatsAlpha, 1);
  EXPECT_EQ(gAssignSeatsRandom, 0);
  // Column by column from the left, each from the back row up, by last name.
  EXPECT_EQ(gSeatingChart.seats[2][0], 3);  // Adams
  EXPECT_EQ(gSeatingChart.seats[1][0], 1);  // Brown
  EXPECT_EQ(gSeatingChart.seats[0][0], 2);  // Cole
  EXPECT_EQ(gSeatingChart.seats[2][1], 4);  // Drake
  EXPECT_EQ(gSeatingChart.seats[1][1], 0);  // Zeller
  EXPECT_EQ(gSeatingChart.seats[0][1], kEmptySeat);
  ExpectEverySeatedOnce(5);
  EXPECT_EQ(gChanged, 1);

  DoUndoCmd();
  EXPECT_EQ(gSeatingChart.rows, 2);
  EXPECT_EQ(gSeatingChart.columns, 3);
  for (int s = 0; s < 5; s++) EXPECT_EQ(gSeatingChart.seats[s / 3][s % 3], s);
}

TEST_F(SeatsDialogTest, ShrinkingWithoutPlacingReseatsTheStudentsWhoLostTheirPlace) {
  Students(6);
  gSeatingChart.rows = 4;
  gSeatingChart.columns = 4;
  // Students 4 and 5 sit in the last row and column; the rest in the top-left 2 x 2.
  gSeatingChart.seats[0][0] = 0;
  gSeatingChart.seats[0][1] = 1;
  gSeatingChart.seats[1][0] = 2;
  gSeatingChart.seats[1][1] = 3;
  gSeatingChart.seats[3][0] = 4;
  gSeatingChart.seats[0][3] = 5;
  gSeatingChart.seats[2][2] = kUnavailableSeat;
  ScriptDialog(gAssignSeatsDialog,
               {TypeStep(4, "3"), TypeStep(5, "3"), ClickStep(8), ClickStep(1)});
  DoAssignSeatsDialog();
  EXPECT_EQ(gSeatingChart.rows, 3);
  EXPECT_EQ(gSeatingChart.columns, 3);
  EXPECT_EQ(gAssignSeats, 0);
  ExpectEverySeatedOnce(6);
  EXPECT_EQ(gSeatingChart.seats[0][0], 0);  // who kept a place keeps it
  EXPECT_EQ(gSeatingChart.seats[1][1], 3);
  EXPECT_EQ(gSeatingChart.seats[2][2], kUnavailableSeat);
  EXPECT_EQ(gSeatingChart.seats[3][0], kEmptySeat);
  EXPECT_EQ(gSeatingChart.seats[0][3], kEmptySeat);

  // Larger again: the old places outside stay empty, nobody shows twice.
  ScriptDialog(gAssignSeatsDialog,
               {TypeStep(4, "4"), TypeStep(5, "4"), ClickStep(8), ClickStep(1)});
  DoAssignSeatsDialog();
  ExpectEverySeatedOnce(6);

  DoUndoCmd();
  EXPECT_EQ(gSeatingChart.rows, 3);
  EXPECT_EQ(gSeatingChart.columns, 3);
}

// ---- Report options --------------------------------------------------------------------------

TEST_F(ClassDialogsTest, ReportBoxesShowAndStoreTheirBitsAndKeepBit12) {
  const uint16_t kBits[] = {0x0800, 0x0002, 0x0001, 0x0008, 0x0080, 0x0020,
                            0x0040, 0x2000, 0x0004, 0x0400, 0x4000, 0x8000};
  gClass.lastTerm = 3;
  for (int k = 0; k < 12; k++) {
    const auto item = static_cast<DialogItemIndex>(7 + k);
    SCOPED_TRACE(testing::Message() << "item " << item);
    EXPECT_EQ(ReportOptionBit(item), kBits[k]);
    // Shown: only this box is checked.
    gReportOptions = static_cast<uint16_t>(kBits[k] | 0x1000);
    std::vector<DialogScriptStep> steps;
    steps.push_back(CheckStep([item](DialogRef d) {
      for (DialogItemIndex i = 7; i <= 18; i++) EXPECT_EQ(GetCheckBox(d, i), i == item) << i;
    }));
    // Stored: this box off and the next on; bit 12 stays.
    const auto next = static_cast<DialogItemIndex>(7 + (k + 1) % 12);
    steps.push_back(ClickStep(item));
    steps.push_back(ClickStep(next));
    steps.push_back(ClickStep(1));
    ScriptDialog(gReportsDialog, steps);
    DoReportsDialog();
    EXPECT_EQ(gReportOptions, kBits[(k + 1) % 12] | 0x1000);
  }
  EXPECT_EQ(gUndoAction, kUndoOptions);
  DoUndoCmd();
  EXPECT_EQ(gReportOptions, 0x8000 | 0x1000);
}

TEST_F(ClassDialogsTest, ReportBoxesOfTermsFollowTheNumberOfTermsAndCancelKeepsTheBits) {
  struct Case {
    int16_t lastTerm;
    bool terms;     // items 7, 9 and 11
    bool semester;  // item 8
  };
  const Case cases[] = {{0, false, false}, {1, true, false}, {2, true, false},
                        {3, true, true},   {5, true, true}};
  gReportOptions = 0x5555;
  for (const Case& c : cases) {
    gClass.lastTerm = c.lastTerm;
    ScriptDialog(gReportsDialog, {CheckStep([c](DialogRef d) {
                                    SCOPED_TRACE(c.lastTerm);
                                    EXPECT_EQ(Active(d, 7), c.terms);
                                    EXPECT_EQ(Active(d, 9), c.terms);
                                    EXPECT_EQ(Active(d, 11), c.terms);
                                    EXPECT_EQ(Active(d, 8), c.semester);
                                    for (DialogItemIndex i = 10; i <= 18; i++)
                                      if (i != 11) {
                                        EXPECT_TRUE(Active(d, i)) << i;
                                      }
                                  }),
                                  Picture("report-options"), ClickStep(10), ClickStep(17),
                                  ClickStep(2)});
    DoReportsDialog();
  }
  EXPECT_EQ(gReportOptions, 0x5555);
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

TEST_F(ClassDialogsTest, TheMultipleClassViewHandsReportOptionsToItsOwnDialog) {
  gReportOptions = 0x0041;
  gCurrView = kMultipleClassesView;
  // Only the multiple-class dialog is scripted: the class's own would find no script.
  ScriptDialog(gMultipleDialog, {ClickStep(2)});
  DoReportsDialog();
  gCurrView = kGradebookView;
  EXPECT_EQ(gReportOptions, 0x0041);
  EXPECT_EQ(gUndoAction, kUndoNothing);
}

}  // namespace
