// The Edit and Reports menu commands that open the class dialogs, in the real window:
// when they are offered, which student or assignment they open on, the report view
// following the comments dialog's student, and undo through the menu.
#include "marktally/shell/dialogs/class_dialogs.h"

#include <cstring>

#include "marktally/reports/pagination.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/toolbox/printing.h"
#include "tests/shell/editing_fixture.h"

namespace {

class ClassCommandsTest : public EditingTest {
 protected:
  // The first scroll value that shows the page at the top of the window.
  int ValueOfPage(int page) const {
    const int step = 2 * ZoomLine();
    return (PageHeight() * page + step - 1) / step;
  }
  void ScrollToPage(int page) {
    SetControlValue(gVScrollBar, static_cast<int16_t>(ValueOfPage(page)));
    ComputeReportPage();
    Run();
  }
};

TEST_F(ClassCommandsTest, TheDialogsAreOfferedWhereTheyApply) {
  OpenClass(6, 4);
  EXPECT_TRUE(Enabled(kEditMenu, kFootnotesItem));
  EXPECT_TRUE(Enabled(kEditMenu, kHeaderFooterItem));
  EXPECT_TRUE(Enabled(kEditMenu, kCommentsItem));
  EXPECT_FALSE(Enabled(kEditMenu, kCurveItem));
  EXPECT_TRUE(Enabled(kReportsMenu, kReportOptionsItem));
  EXPECT_FALSE(Enabled(kReportsMenu, kAssignSeatsItem));

  SelectAssignment(1);
  EXPECT_TRUE(Enabled(kEditMenu, kCurveItem));
  ASSERT_TRUE(Choose(kReportsMenu, 14));  // assignment scores
  EXPECT_TRUE(Enabled(kEditMenu, kCurveItem));
  ASSERT_TRUE(Choose(kReportsMenu, kSeatingChartItem));
  EXPECT_TRUE(Enabled(kReportsMenu, kAssignSeatsItem));
  EXPECT_FALSE(Enabled(kEditMenu, kCurveItem));
}

TEST_F(ClassCommandsTest, AClassWithoutStudentsOffersOnlyTheFootnotes) {
  OpenClass(0, 2);
  EXPECT_TRUE(Enabled(kEditMenu, kFootnotesItem));
  EXPECT_FALSE(Enabled(kEditMenu, kHeaderFooterItem));
  EXPECT_FALSE(Enabled(kEditMenu, kCommentsItem));
}

TEST_F(ClassCommandsTest, FootnotesStoreThroughTheMenuAndUndoThroughIt) {
  OpenClass(6, 4);
  const std::string before = gFootnoteText[0].str();
  ScriptDialog(gFootnotesDialog, {TypeStep(3, "Turned in late"), ClickStep(1)});
  ASSERT_TRUE(Choose(kEditMenu, kFootnotesItem));
  EXPECT_EQ(gFootnoteText[0].str(), "Turned in late");
  EXPECT_EQ(gChanged, 1);
  Undo();
  EXPECT_EQ(gFootnoteText[0].str(), before);
}

TEST_F(ClassCommandsTest, CommentsOpenOnTheStudentInSightAndTheReportFollowsThePopUp) {
  OpenClass(8, 4);
  ASSERT_TRUE(Choose(kReportsMenu, 11));  // student summary: one page per student
  ScrollToPage(3);
  ScriptDialog(gCommentsDialog,
               {CheckStep([](DialogRef) { EXPECT_EQ(gStudentPopUpItem, 4); }),
                TypeStep(2, "Keeps a tidy notebook"), ChooseStep(4, 6),
                CheckStep([](DialogRef) {
                  EXPECT_EQ(gStudentPopUpItem, 6);
                  EXPECT_EQ(StudentInSight(), 5);
                }),
                ClickStep(1)});
  ASSERT_TRUE(Choose(kEditMenu, kCommentsItem));
  EXPECT_EQ(gComments[3][T()].str(), "Keeps a tidy notebook");
  Undo();
  EXPECT_EQ(gComments[3][T()].str(), "");

  // In the gradebook the selected student, else the first.
  ASSERT_TRUE(Choose(kReportsMenu, kGradebookViewItem));
  SelectStudent(2);
  ScriptDialog(gCommentsDialog,
               {CheckStep([](DialogRef) { EXPECT_EQ(gStudentPopUpItem, 3); }), ClickStep(1)});
  ASSERT_TRUE(Choose(kEditMenu, kCommentsItem));
  CancelSelection();
  ScriptDialog(gCommentsDialog,
               {CheckStep([](DialogRef) { EXPECT_EQ(gStudentPopUpItem, 1); }), ClickStep(1)});
  ASSERT_TRUE(Choose(kEditMenu, kCommentsItem));
}

TEST_F(ClassCommandsTest, TheCurveOfTheAssignmentReportIsThatOfThePageInSight) {
  OpenClass(10, 4);
  ASSERT_TRUE(Choose(kReportsMenu, 14));
  const int pages = std::max<int>(1, PagesPerAssignment());
  ScrollToPage(2 * pages);
  const std::string name = gAssignments[T()][2].name.str();
  ScriptDialog(gCurveDialog, {CheckStep([name](DialogRef d) {
                                ControlRef c = nullptr;
                                GetDialogItemAsControl(d, 3, &c);
                                char text[256] = {};
                                int32_t size = 0;
                                GetControlDataSize(c, kControlEntireControl,
                                                   kControlStaticTextTextTag, &size);
                                ASSERT_GT(size, 0);
                                ASSERT_LT(size, 256);
                                GetControlData(c, kControlEntireControl,
                                               kControlStaticTextTextTag, size, text, nullptr);
                                EXPECT_EQ(std::string(text, static_cast<size_t>(size)), name);
                              }),
                              ClickStep(2)});
  ASSERT_TRUE(Choose(kEditMenu, kCurveItem));
  EXPECT_EQ(PendingDialogSteps(gCurveDialog), 0u);
}

TEST_F(ClassCommandsTest, ACurveFromTheGradebookRecomputesAndUndoesThroughTheMenu) {
  OpenClass(10, 4);
  const int t = T();
  int16_t before[10];
  for (int s = 0; s < 10; s++) before[s] = gScores[s][t][0];
  const uint16_t percent = gStudents[0].termPercent[t];
  SelectAssignment(0);
  ScriptDialog(gCurveDialog, {TypeStep(13, "90"), TypeStep(17, "95"), ClickStep(1)});
  ASSERT_TRUE(Choose(kEditMenu, kCurveItem));
  bool changed = false;
  for (int s = 0; s < 10; s++) {
    if (before[s] < 0) {
      EXPECT_EQ(gScores[s][t][0], before[s]) << s;  // blank and special scores stay
      continue;
    }
    EXPECT_GE(gScores[s][t][0], 900) << s;
    EXPECT_LE(gScores[s][t][0], 1000) << s;
    EXPECT_EQ(gScores[s][t][0] % 10, 0) << s;  // rounded to whole points
    changed |= gScores[s][t][0] != before[s];
  }
  EXPECT_TRUE(changed);
  EXPECT_NE(gStudents[0].termPercent[t], percent);
  Undo();
  for (int s = 0; s < 10; s++) EXPECT_EQ(gScores[s][t][0], before[s]) << s;
}

// Printing leaves the undo of a curve as it was; a change of view clears it, as every
// view command does. Either way the Undo item says what choosing it will do.
TEST_F(ClassCommandsTest, AfterReportViewsAndPrintingTheUndoItemSaysWhatItWillUndo) {
  const auto undoItem = [](std::string* text) {
    AdjustMenus();
    OpenFrameMenu(kEditMenu);
    bool enabled = false;
    FrameMenuItem(kEditMenu, kUndoItem, text, &enabled, nullptr);
    *text = text->substr(0, text->find('\t'));
    return enabled;
  };
  struct Case {
    const char* name;
    int16_t curveIn;                // the Reports menu item of the view the curve is made in
    std::vector<int16_t> thenShow;  // views opened after it, before printing
    bool undoes;
  };
  const Case cases[] = {
      {"curve and print in the gradebook", kGradebookViewItem, {}, true},
      {"curve and print in the assignment report", 14, {}, true},
      {"report views between the curve and the print", kGradebookViewItem,
       {kClassGradesItem, 14, 7}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenClass(10, 4);
    const int t = T();
    int16_t before[10] = {};
    for (int s = 0; s < 10; s++) before[s] = gScores[s][t][0];
    ASSERT_TRUE(Choose(kReportsMenu, c.curveIn));
    if (c.curveIn == kGradebookViewItem) SelectAssignment(0);
    ScriptDialog(gCurveDialog, {TypeStep(13, "90"), TypeStep(17, "95"), ClickStep(1)});
    ASSERT_TRUE(Choose(kEditMenu, kCurveItem));
    int16_t curved[10] = {};
    for (int s = 0; s < 10; s++) curved[s] = gScores[s][t][0];
    ASSERT_NE(0, std::memcmp(before, curved, sizeof before));
    std::string text;
    EXPECT_TRUE(undoItem(&text));
    EXPECT_EQ(text, "Undo curve");
    for (int16_t view : c.thenShow) ASSERT_TRUE(Choose(kReportsMenu, view)) << view;
    PMPrintToFile(Path("printed.pdf"));
    PMScriptDialogAnswers(true);
    ASSERT_TRUE(Choose(kFileMenu, kPrintItem));
    PMResetForTesting();
    EXPECT_EQ(c.undoes, undoItem(&text));
    EXPECT_EQ(text, c.undoes ? "Undo curve" : "Can't Undo");
    EXPECT_EQ(c.undoes, Choose(kEditMenu, kUndoItem));
    for (int s = 0; s < 10; s++) EXPECT_EQ(gScores[s][t][0], c.undoes ? before[s] : curved[s]);
    CloseDocument();
  }
}

TEST_F(ClassCommandsTest, AssignSeatsCancelledLeavesTheChart) {
  OpenClass(6, 2);
  ASSERT_TRUE(Choose(kReportsMenu, kSeatingChartItem));
  const SeatingChartRecord before = gSeatingChart;
  ScriptDialog(gAssignSeatsDialog, {TypeStep(4, "2"), TypeStep(5, "3"), ClickStep(2)});
  ASSERT_TRUE(Choose(kReportsMenu, kAssignSeatsItem));
  EXPECT_EQ(memcmp(&before, &gSeatingChart, sizeof before), 0);
  EXPECT_EQ(gChanged, 0);

  ScriptDialog(gAssignSeatsDialog, {TypeStep(4, "2"), TypeStep(5, "3"), ClickStep(1)});
  ASSERT_TRUE(Choose(kReportsMenu, kAssignSeatsItem));
  EXPECT_EQ(gSeatingChart.rows, 2);
  EXPECT_EQ(gSeatingChart.columns, 3);
  Undo();
  EXPECT_EQ(memcmp(&before, &gSeatingChart, sizeof before), 0);
}

// Both dialogs can change the pages, so the placard is counted again afterwards: by the
// pages of the view shown, not as if every view were a report.
TEST_F(ClassCommandsTest, AfterTheReportDialogsThePlacardCountsThePagesOfTheViewShown) {
  OpenClass(28, 10);
  struct Case {
    const char* name;
    int16_t view;  // the Reports item that shows it
    int16_t item;
    DialogRef* dialog;
  } cases[] = {
      {"gradebook, report options", kGradebookViewItem, kReportOptionsItem, &gReportsDialog},
      {"seating chart, assign seats", kSeatingChartItem, kAssignSeatsItem, &gAssignSeatsDialog},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Choose(kReportsMenu, c.view));
    if (c.view == kSeatingChartItem) {
      ScriptDialog(gAssignSeatsDialog, {TypeStep(4, "12"), TypeStep(5, "12"), ClickStep(1)});
      ASSERT_TRUE(Choose(kReportsMenu, kAssignSeatsItem));
    }
    const int first = gCurrPage, last = gLastPage;
    ASSERT_GT(last, first) << "one page in sight, or already counted as a report's";
    ScriptDialog(*c.dialog, {ClickStep(1)});
    ASSERT_TRUE(Choose(kReportsMenu, c.item));
    EXPECT_EQ(gCurrPage, first);
    EXPECT_EQ(gLastPage, last);
  }
}

}  // namespace
