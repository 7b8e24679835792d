// The class options dialog driven by scripts as a teacher would: a bad value in each
// field of each panel, good values stored with the attendance moved and the grades
// recomputed, undo, the number of terms, the letter-grade presets and the move of the
// attendance table when the school year starts on another day.
#include "marktally/shell/dialogs/options_dialog.h"

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/tables.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/toolbox/textedit.h"
#include "tests/shell/dialog_fixture.h"
#include "tests/shell/sample_class.h"
#include "tests/shell/window_fixture.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::FocusOf;
using dialogtest::MacDate;

constexpr uint32_t kDay = 86400;

int16_t ValueOf(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c ? GetControlValue(c) : -1;
}

bool Active(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c && IsControlActive(c);
}

std::string TextOf(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetEditText(d, item, text);
  return text.str();
}

// Every table the dialog can change, to compare a class before and after.
struct OptionTables {
  ClassRecord klass;
  uint16_t grading[kMaxTerms];
  CategoryRecord categories[kMaxTerms][kMaxCategories];
  AttendanceGradeRecord attendGrade;
  uint8_t week[7];
  Str21 names[kMaxTerms];
  TermDatesRecord dates[kMaxTerms];
  Str4 letters[kMaxLetterGrades];
  SpecialScoreRecord specials[kMaxSpecialScores];
  CodeRecord codes[kMaxCodes];
  uint16_t cutoffs[kMaxCutoffs];
  uint8_t holidays[kMaxDays];
  uint8_t attendance[kMaxStudents][kMaxDays];
  uint16_t current;

  static OptionTables Take() {
    OptionTables o{};
    o.klass = gClass;
    std::memcpy(o.grading, gGrading, sizeof gGrading);
    std::memcpy(o.categories, gCategories, sizeof gCategories);
    o.attendGrade = gAttendGrade;
    std::memcpy(o.week, gSchoolWeek, sizeof gSchoolWeek);
    std::memcpy(o.names, gTermNames, sizeof gTermNames);
    std::memcpy(o.dates, gTermDates, sizeof gTermDates);
    std::memcpy(o.letters, gLetterGrades, sizeof gLetterGrades);
    std::memcpy(o.specials, gSpecialScores, sizeof gSpecialScores);
    std::memcpy(o.codes, gCodes, sizeof gCodes);
    std::memcpy(o.cutoffs, gCutoffs, sizeof gCutoffs);
    std::memcpy(o.holidays, gHolidays, sizeof gHolidays);
    std::memcpy(o.attendance, gAttendance, sizeof gAttendance);
    o.current = gCurrentTerm;
    return o;
  }
  bool operator==(const OptionTables& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

class OptionsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    SetupOptions();
    ASSERT_NE(gOptionsDialog, nullptr);
    CantUndo();
  }
  void TearDown() override {
    CleanupOptions();
    DialogTest::TearDown();
  }

  // A class of students with scores and attendance in the current term.
  static void FillClass(int students = 8, int assignments = 10) {
    MakeClassCurrent();
    sample::FillClass(students, assignments);
    MakeClassCurrent();
    SetChanged(0);
    CantUndo();
  }

  // A click on the tab of panel 1..6.
  static DialogScriptStep Tab(int tab) {
    ControlRef tabs = nullptr;
    GetDialogItemAsControl(gOptionsDialog, 3, &tabs);
    Rect b{};
    GetControlBounds(tabs, &b);
    for (int h = b.left; h < b.right; h++) {
      ControlRef hit = nullptr;
      const Point p{static_cast<int16_t>(b.top + 11), static_cast<int16_t>(h + 4)};
      if (FindControl(p, GetDialogWindow(gOptionsDialog), &hit) == tab && hit == tabs)
        return ClickAtStep(3, Point{11, static_cast<int16_t>(h + 4 - b.left)});
    }
    ADD_FAILURE() << "no tab " << tab;
    return KeyStep(0);
  }

  static DialogScriptStep Date(DialogItemIndex item, uint32_t seconds) {
    return CheckStep([item, seconds](DialogRef d) { SetItemDate(d, item, seconds); });
  }

  void Run(std::vector<DialogScriptStep> steps) {
    ScriptDialog(gOptionsDialog, std::move(steps));
    DoOptionsDialog();
    EXPECT_EQ(PendingDialogSteps(gOptionsDialog), 0u);
  }
};

// ---- The panels -------------------------------------------------------------------------

TEST_F(OptionsTest, EachPanelHasTheItemsItsNumbersNameAndIsDrawn) {
  FillClass();
  struct Panel {
    int tab;
    const char* name;
    const char* items;  // first[-last] and a kind: e edit, c clock, s static, x check box,
                        // r radio, p pop-up, b button
  };
  const Panel panels[] = {
      {1, "school-year",
       "4p 5e 6-7c 8e 9-10c 11e 12-13c 14e 15-16c 17e 18-19c 20e 21-22c 23-28s 30-36x"},
      {2, "categories", "4-25e 27-28r 34-43p"},
      {3, "grading", "6e 8-12r"},
      {4, "letter-grades", "4-28e 29s 36-38b 40-42r"},
      {5, "special-scores", "4-11e 12-19p"},
      {6, "attendance", "4-11e 12-19p 24x 28-30e"},
  };
  auto kindOf = [](char code) -> DialogItemType {
    switch (code) {
      case 'e': return kEditTextDialogItem;
      case 'c': return kClockDialogItem;
      case 's': return kStaticTextDialogItem;
      case 'x': return kCheckBoxDialogItem;
      case 'r': return kRadioButtonDialogItem;
      case 'p': return kPopupButtonDialogItem;
      default: return kButtonDialogItem;
    }
  };
  std::vector<DialogScriptStep> steps;
  for (const Panel& p : panels) {
    if (p.tab != 1) steps.push_back(Tab(p.tab));
    steps.push_back(CheckStep([&p, kindOf](DialogRef d) {
      SCOPED_TRACE(p.name);
      std::istringstream spec(p.items);
      std::string word;
      while (spec >> word) {
        const DialogItemType kind = kindOf(word.back());
        word.pop_back();
        const size_t dash = word.find('-');
        const int first = std::stoi(word.substr(0, dash));
        const int last = dash == std::string::npos ? first : std::stoi(word.substr(dash + 1));
        for (int i = first; i <= last; i++) {
          DialogItemType k = 0;
          Handle h = nullptr;
          Rect box{};
          GetDialogItem(d, static_cast<DialogItemIndex>(i), &k, &h, &box);
          EXPECT_EQ(k, kind) << "item " << i;
        }
      }
      const std::string png =
          dialogtest::RenderDir() + "/options-" + std::to_string(p.tab) + "-" + p.name + ".png";
      EXPECT_TRUE(SavePortImage(GetDialogPort(d), png)) << png;
    }));
  }
  steps.push_back(ClickStep(2));
  Run(steps);
}

// ---- A bad value in each field ------------------------------------------------------

struct BadValue {
  const char* name;
  int tab;
  std::vector<DialogScriptStep> steps;
  AlertType type;
  const char* message;
  const char* explanation;
  DialogItemIndex focus;  // 0: none asked for
};

TEST_F(OptionsTest, EachFieldRefusesABadValueWithItsAlertTheFocusAndItsTabBack) {
  FillClass();
  gAssignments[0][3].category = kExamCategory;  // an exam in term 0, for the exam warning
  CountScores();
  const uint32_t start0 = gTermDates[0].start, end0 = gTermDates[0].end;
  const char* const kWeight = "Category weights must be whole numbers from 0 to 100.";
  const char* const kOption = "Invalid final exam option";
  auto radio = [](DialogItemIndex on, DialogItemIndex off) {
    return CheckStep([on, off](DialogRef d) {
      SetRadioButton(d, on, 1);
      SetRadioButton(d, off, 0);
    });
  };
  std::vector<DialogScriptStep> noCategories;
  for (int k = 0; k < 10; k++)
    noCategories.push_back(TypeStep(static_cast<int16_t>(4 + 2 * k), " "));
  std::vector<DialogScriptStep> allBlank;
  for (int item = 4; item <= 28; item++)
    allBlank.push_back(TypeStep(static_cast<int16_t>(item), " "));
  std::vector<DialogScriptStep> noCodes;
  for (int k = 0; k < 8; k++) noCodes.push_back(TypeStep(static_cast<int16_t>(4 + k), " "));
  std::vector<DialogScriptStep> noDays;
  for (int d = 30; d <= 36; d++) {
    const bool on = gSchoolWeek[d - 30] == 1;
    if (on) noDays.push_back(ClickStep(static_cast<int16_t>(d)));
  }

  const std::vector<BadValue> cases = {
      {"blank term name", 1, {TypeStep(8, "   ")}, kAlertStopAlert, "Invalid term name",
       "Term names cannot be left blank.", 8},
      {"term starting before the last one ends", 1, {Date(9, end0)}, kAlertStopAlert,
       "Invalid term date", "This date must be after the end of the previous term.", 9},
      {"term ending before it starts", 1, {Date(7, start0 - kDay)}, kAlertStopAlert,
       "Invalid term date", "This date must be after the beginning of this term.", 7},
      {"school year of 360 days", 1, {Date(16, start0 + 360 * kDay)}, kAlertStopAlert,
       "School year is too long",
       "Your school year may not have more than 360 days, including weekends and vacations.",
       16},
      {"no school day", 1, noDays, kAlertStopAlert, "School week has no days",
       "You must have at least one day in your school week.", 0},
      {"weight not a number", 2, {TypeStep(5, "ten")}, kAlertStopAlert,
       "Invalid category weight", kWeight, 5},
      {"weight above 100", 2, {TypeStep(7, "101")}, kAlertStopAlert, "Invalid category weight",
       kWeight, 7},
      {"13 scores dropped", 2, {ChooseStep(34, 11), ChooseStep(35, 4)}, kAlertStopAlert,
       "Too many dropped worst scores", "You cannot drop more than a total of 12 worst scores.",
       0},
      {"extra-credit weight", 2, {TypeStep(25, "1.5")}, kAlertStopAlert,
       "Invalid category weight", kWeight, 25},
      {"a second extra credit", 2, {TypeStep(8, " extra CREDIT ")}, kAlertStopAlert,
       "Duplicate extra credit category",
       "The extra credit category was added when this class was created.", 8},
      {"extra credit with an accent", 2, {TypeStep(10, "\x83xtra Credit")}, kAlertStopAlert,
       "Duplicate extra credit category",
       "The extra credit category was added when this class was created.", 10},
      {"a second final exams", 2, {TypeStep(12, "final exams")}, kAlertStopAlert,
       "Duplicate final exams category",
       "The final exams category was added when this class was created.", 12},
      {"no category", 2, noCategories, kAlertStopAlert, "No valid category names",
       "You must enter at least one category name and weight.", 4},
      {"exam percent above 100", 3, {TypeStep(6, "100.5")}, kAlertStopAlert, "Invalid percent",
       "The final exam percent must be a decimal number from 0 to 100.", 6},
      {"exam percent not a number", 3, {TypeStep(6, "ten")}, kAlertStopAlert,
       "Invalid percent", "The final exam percent must be a decimal number from 0 to 100.", 6},
      {"exams in the semester of four quarters' first", 3, {TypeStep(6, "20"), ClickStep(9)},
       kAlertCautionAlert, "Final exams will not be used",
       "Final exams contribute to the semester grade. Final exams in 1st and 3rd quarter will "
       "not be used.",
       0},
      {"exams in the semester of trimesters (a choice the panel dims)",
       3,
       {TypeStep(6, "10"), Tab(1), ChooseStep(4, 3), Tab(3), radio(9, 8)},
       kAlertStopAlert,
       kOption,
       "Final exams cannot contribute to the semester grade when you are using trimesters. "
       "Final exams must contribute to the trimester grade or the final grade.",
       0},
      {"letter percent above 120", 4, {TypeStep(5, "121")}, kAlertStopAlert, "Invalid percent",
       "Letter grade percents must be decimal numbers from 0 to 120.", 5},
      {"grade without a percent", 4, {TypeStep(7, " ")}, kAlertStopAlert,
       "Invalid grade or percent",
       "You must enter a grade and a percent or leave both items blank.", 7},
      {"percent without a grade", 4, {TypeStep(6, " ")}, kAlertStopAlert,
       "Invalid grade or percent",
       "You must enter a grade and a percent or leave both items blank.", 6},
      {"percents going up", 4, {TypeStep(7, "98")}, kAlertStopAlert,
       "Invalid letter grade percent",
       "This percent is higher than the percent for the grade above it. You must enter "
       "grades and percents in descending order.",
       7},
      {"no failing grade", 4, {TypeStep(28, " ")}, kAlertStopAlert, "Missing failing grade",
       "You must provide a grade for students who do not earn a passing grade.", 28},
      {"only a failing grade", 4, {ClickStep(37), TypeStep(4, " "), TypeStep(5, " ")},
       kAlertStopAlert, "Missing passing grades",
       "You must enter at least one passing grade and percent.", 4},
      {"everything blank", 4, allBlank, kAlertNoteAlert,
       "All grade and percents have been left blank",
       "You must provide at least one grade and percent.", 4},
      {"special score 4000", 5, {TypeStep(7, "4000")}, kAlertStopAlert, "Invalid special score",
       "Numbers may not be used as special scores.", 7},
      {"special score 2,5", 5, {TypeStep(8, "2,5")}, kAlertStopAlert, "Invalid special score",
       "Numbers may not be used as special scores.", 8},
      {"special score -5%", 5, {TypeStep(4, "-5%")}, kAlertStopAlert, "Invalid special score",
       "Percents may not be used as special scores.", 4},
      {"special score 9/10", 5, {TypeStep(11, "9/10")}, kAlertStopAlert,
       "Invalid special score", "Ratios may not be used as special scores.", 11},
      {"no attendance code", 6, noCodes, kAlertStopAlert, "There are no attendance codes",
       "You must enter at least one attendance code.", 4},
      {"absences allowed", 6, {ClickStep(24), TypeStep(28, "2.5")}, kAlertStopAlert,
       "Invalid number of absences", "The number of absences must be a whole number.", 28},
      {"percent off above 100", 6, {ClickStep(24), TypeStep(29, "100.1")}, kAlertStopAlert,
       "Invalid percent", "This percent must be a decimal from 0 to 100.", 29},
      {"256 tardies, more than their byte holds", 6, {ClickStep(24), TypeStep(30, "256")},
       kAlertStopAlert, "Invalid number of absences",
       "The number of tardies must be a whole number.", 30},
  };
  const OptionTables before = OptionTables::Take();
  for (const BadValue& c : cases) {
    SCOPED_TRACE(c.name);
    alerts.clear();
    const int other = c.tab % 6 + 1;
    std::vector<DialogScriptStep> steps;
    if (c.tab != 1) steps.push_back(Tab(c.tab));
    for (const DialogScriptStep& s : c.steps) steps.push_back(s);
    steps.push_back(Tab(other));
    const bool warning = c.type == kAlertCautionAlert;
    const int16_t panel = c.tab == 1   ? kSchoolYearPanel
                          : c.tab == 2 ? kCategoriesPanel
                          : c.tab == 3 ? kGradingPanel
                          : c.tab == 4 ? kCutoffsPanel
                          : c.tab == 5 ? kScoresPanel
                                       : kAttendancePanel;
    steps.push_back(CheckStep([&c, panel, warning, other](DialogRef d) {
      if (warning) {  // a warning lets the teacher go on
        EXPECT_EQ(ValueOf(d, 3), other);
        return;
      }
      EXPECT_EQ(ValueOf(d, 3), c.tab) << "the tab goes back";
      EXPECT_EQ(gPanel, panel);
      if (c.focus) {
        EXPECT_EQ(FocusOf(d), c.focus);
      }
    }));
    steps.push_back(ClickStep(2));
    ExpectAlert(c.type, c.message, c.explanation);
    Run(steps);
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(OptionTables::Take() == before) << "Cancel keeps the class as it was";
    EXPECT_EQ(gChanged, 0);
    EXPECT_EQ(gUndoAction, kUndoNothing);
  }
}

// While the alert about a bad value is up, the dialog behind it looks as before the
// click on another tab: the panel's own tab selected, the panel with its items.
TEST_F(OptionsTest, BehindTheAlertThePanelStaysInSightUnderItsOwnTab) {
  static std::vector<uint32_t> before, during;
  static int16_t tabDuring = 0;
  static const auto image = [] {
    CGrafPtr port = GetDialogPort(gOptionsDialog);
    Rect r{};
    GetPortBounds(port, &r);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < r.bottom - r.top; y++)
      for (int x = 0; x < r.right - r.left; x++) pixels.push_back(GetPortPixel(port, x, y));
    return pixels;
  };
  before.clear();
  during.clear();
  SetAlertResponder([](const AlertShown& a) {
    EXPECT_EQ(a.message, "Invalid special score");
    during = image();
    tabDuring = ValueOf(gOptionsDialog, 3);
    return DialogItemIndex{1};
  });
  Run({Tab(5), TypeStep(6, "1/2"), CheckStep([](DialogRef) { before = image(); }), Tab(2),
       CheckStep([](DialogRef d) { EXPECT_EQ(ValueOf(d, 3), 5); }), ClickStep(2)});
  EXPECT_EQ(tabDuring, 5) << "the clicked tab is drawn selected behind the alert";
  ASSERT_FALSE(during.empty()) << "no alert";
  size_t differ = 0;
  for (size_t i = 0; i < before.size() && i < during.size(); i++) differ += before[i] != during[i];
  EXPECT_EQ(differ, 0u) << "the dialog behind the alert is not the panel as it was";
}

TEST_F(OptionsTest, OKWithABadValueKeepsTheDialogOpenOnThatPanel) {
  ExpectAlert(kAlertStopAlert, "Invalid special score",
              "Ratios may not be used as special scores.");
  Run({Tab(5), TypeStep(6, "1/2"), ClickStep(1), CheckStep([](DialogRef d) {
         EXPECT_EQ(FocusOf(d), 6);
         EXPECT_EQ(ValueOf(d, 3), 5);
         EXPECT_EQ(FrontWindow(), GetDialogWindow(d));
       }),
       TypeStep(6, "Lt"), KeyStep(kReturnCharCode)});
  EXPECT_EQ(gSpecialScores[2].name.str(), "Lt");
  EXPECT_EQ(gUndoAction, kUndoOptions);
}

TEST_F(OptionsTest, EscapeCancelsAndReturnIsOK) {
  Run({TypeStep(5, "Fall"), KeyStep(kEscapeCharCode)});
  EXPECT_NE(gTermNames[0].str(), "Fall");
  Run({TypeStep(5, "Fall"), KeyStep(kReturnCharCode)});
  EXPECT_EQ(gTermNames[0].str(), "Fall");
}

// ---- Good values ----------------------------------------------------------------------

TEST_F(OptionsTest, GoodValuesAreStoredMoveTheAttendanceRecomputeGradesAndUndoAsOne) {
  FillClass(10, 12);
  for (int s = 0; s < 10; s++) gAttendance[s][9] = 0;  // day 9 marked for all
  gHolidays[12] = 1;
  const OptionTables before = OptionTables::Take();
  const int16_t gradeBefore = TermPercent(0, 0);
  const uint32_t start = gTermDates[0].start;
  const uint8_t mark = gAttendance[3][20];

  // A later first day by a week: each mark keeps its calendar date.
  Run({TypeStep(5, "  Autumn  "), Date(6, start + 7 * kDay), ClickStep(35),  // Saturday
       Tab(2), TypeStep(5, "80"), TypeStep(7, "20"), TypeStep(8, "Labs"), TypeStep(9, "ng"),
       ChooseStep(34, 2), ClickStep(28),
       Tab(3), ClickStep(11), TypeStep(6, "12.5"),
       Tab(4), ClickStep(42), TypeStep(4, "A++"), TypeStep(5, "99.5"),
       Tab(5), TypeStep(7, " Lte "), ChooseStep(15, 4),
       Tab(6), TypeStep(7, "Sick"), ChooseStep(15, 4), ClickStep(24), TypeStep(28, "3"),
       TypeStep(29, "2.5"), TypeStep(30, "255"), ClickStep(1)});

  EXPECT_EQ(gTermNames[0].str(), "Autumn");
  EXPECT_EQ(gTermDates[0].start, start + 7 * kDay);
  EXPECT_EQ(gSchoolWeek[5], 1);
  EXPECT_EQ(gCategories[0][0].weight, 80);
  EXPECT_EQ(gCategories[0][1].weight, 20);
  EXPECT_EQ(gCategories[0][2].name.str(), "Labs");
  EXPECT_EQ(gCategories[0][2].weight, kNone) << "NG in any case";
  EXPECT_EQ(gCategories[0][0].drop, 1);
  EXPECT_EQ(gGrading[0], 0) << "total points";
  EXPECT_TRUE(gClass.flags & kWholePercents);
  EXPECT_EQ(gClass.examWeight, 125);
  EXPECT_EQ(gClass.flags & (kLetterGrades | kHidePercents), kLetterGrades | kHidePercents);
  EXPECT_EQ(gLetterGrades[12].str(), "A++");
  EXPECT_EQ(gCutoffs[11], 995);
  EXPECT_EQ(gSpecialScores[3].name.str(), "Lte");
  EXPECT_EQ(gSpecialScores[3].kind, 4);
  EXPECT_EQ(gCodes[3].name.str(), "Sick");
  EXPECT_EQ(gCodes[3].kind, 1);
  EXPECT_EQ(gCodes[3].value, 5);
  EXPECT_EQ(gAttendGrade.flags, 0xFF01);
  EXPECT_EQ(gAttendGrade.allowed, 3);
  EXPECT_EQ(gAttendGrade.penaltyPerAbsence, 25);
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoOptions);

  EXPECT_EQ(gAttendance[3][13], mark) << "day 20 of the old year is day 13 of the new";
  EXPECT_EQ(gAttendance[4][2], 0);
  EXPECT_EQ(gHolidays[5], 1);
  EXPECT_EQ(gHolidays[12], 0);
  for (int d = kMaxDays - 7; d < kMaxDays; d++) {
    EXPECT_EQ(gAttendance[0][d], kNoMark);
    EXPECT_EQ(gHolidays[d], 0);
  }
  // The cached grades are those of the new settings.
  const int16_t stored = TermPercent(0, 0);
  EXPECT_NE(stored, gradeBefore);
  FlushAll();
  EXPECT_EQ(TermPercent(0, 0), stored);

  DoUndoCmd();
  EXPECT_TRUE(OptionTables::Take() == before) << "undo gives back every table";
  EXPECT_EQ(TermPercent(0, 0), gradeBefore);
  DoUndoCmd();  // redo
  EXPECT_EQ(gTermNames[0].str(), "Autumn");
  EXPECT_EQ(TermPercent(0, 0), stored);
}

TEST_F(OptionsTest, TheCachedGradesOfEveryTermFollowTheNewSettings) {
  FillClass(3, 2);
  CopyGradingOptions(1);
  for (int a = 0; a < 2; a++) {
    gAssignments[1][a].name.setC(a == 0 ? "Quiz" : "Lab");
    gAssignments[1][a].category = 1;
    gAssignments[1][a].points = 10;
  }
  gScores[0][1][0] = kFirstSpecial + 1;  // "Abs": not counted, but missing
  gScores[0][1][1] = 100;
  gGrading[1] = 0;
  CountScores();
  EXPECT_EQ(1000, TermPercent(1, 0));  // computed and kept
  Run({Tab(5), ChooseStep(13, 2), ClickStep(1)});  // "Abs" now counts as a zero
  EXPECT_EQ(2, gSpecialScores[1].kind);
  EXPECT_EQ(500, TermPercent(1, 0)) << "a term other than the current one follows too";
}

TEST_F(OptionsTest, ThePanelsShowWhatTheyStoredAndTheEdgeValuesPass) {
  // 12 dropped in all, a long name cut with a warning, a blank pair between grades,
  // a school year of 359 days.
  const uint32_t start = gTermDates[0].start;
  ExpectAlert(kAlertCautionAlert, "Category name is too long",
              "Category names may not be more than 21 characters long. One or more of your "
              "category names will be truncated to this length.");
  Run({Date(16, start + 359 * kDay), Tab(2), TypeStep(4, "Laboratory Experiments 1"),
       ChooseStep(34, 7), ChooseStep(35, 7), TypeStep(8, "Labs"), TypeStep(9, "ng"),
       Tab(4), ClickStep(37), TypeStep(4, "A"), TypeStep(5, "90"), TypeStep(8, "B"),
       TypeStep(9, "80"), ClickStep(1)});
  EXPECT_EQ(gTermDates[3].end, start + 359 * kDay);
  EXPECT_EQ(gCategories[0][0].name.str(), "Laboratory Experiment");
  EXPECT_EQ(gCategories[0][0].name.length(), 21);
  EXPECT_EQ(gCategories[0][0].drop + gCategories[0][1].drop, 12);
  EXPECT_EQ(gLetterGrades[11].str(), "");
  EXPECT_EQ(gCutoffs[10], kNone);
  EXPECT_EQ(gCutoffs[9], 800);

  Run({Tab(2), CheckStep([](DialogRef d) {
         EXPECT_EQ(TextOf(d, 4), "Laboratory Experiment");
         EXPECT_EQ(TextOf(d, 9), "NG");
         EXPECT_EQ(TextOf(d, 24), "Extra Credit");
         EXPECT_EQ(TextOf(d, 25), "10");
         EXPECT_EQ(ValueOf(d, 34), 7);
       }),
       Tab(4), CheckStep([](DialogRef d) {
         EXPECT_EQ(TextOf(d, 5), "90.0");
         EXPECT_EQ(TextOf(d, 7), "");
         EXPECT_EQ(TextOf(d, 28), "Fail");
       }),
       ClickStep(2)});
}

TEST_F(OptionsTest, PresetsFillTheCutoffs) {
  struct Preset {
    DialogItemIndex button;
    std::vector<std::pair<std::string, uint16_t>> letters;  // letter 12 down
    const char* failing;
  };
  std::vector<std::pair<std::string, uint16_t>> standard;
  for (int l = 12; l >= 1; l--)
    standard.emplace_back(defaultLetterGrades[l], defaultCutoffs[l - 1]);
  const Preset presets[] = {
      {37, {{"Pass", 750}}, "Fail"},
      {38, {{"O", 900}, {"S", 700}}, "U"},
      {36, standard, "F"},
  };
  for (const Preset& p : presets) {
    SCOPED_TRACE(p.failing);
    Run({Tab(4), ClickStep(p.button), CheckStep([](DialogRef d) { EXPECT_EQ(FocusOf(d), 4); }),
         ClickStep(1)});
    for (size_t j = 0; j < 12; j++) {
      const int letter = 12 - static_cast<int>(j);
      const bool given = j < p.letters.size();
      EXPECT_EQ(gLetterGrades[letter].str(), given ? p.letters[j].first : "");
      EXPECT_EQ(gCutoffs[letter - 1], given ? p.letters[j].second : kNone);
    }
    EXPECT_EQ(gLetterGrades[0].str(), p.failing);
  }
}

// ---- The number of terms ------------------------------------------------------------

TEST_F(OptionsTest, FewerTermsAskOnlyForNamedAssignmentsAndChangeNothingBeforeOK) {
  FillClass();
  // Term 3 is current and holds an assignment; the dialog's categories are term 3's.
  gCurrentTerm = 3;
  gClass.currentTerm = 3;
  gAssignments[3][0].name.setC("Final Project");
  const OptionTables before = OptionTables::Take();
  const char* const kQuestion =
      "One or more assignments are in terms that will no longer be part of your school year. "
      "These assignments will not be saved when you save this class. Are you sure you want to "
      "do this?";

  // No: the pop-up goes back.
  ExpectAlert(kAlertCautionAlert, "Fewer terms in your school year?", kQuestion, 2);
  Run({ChooseStep(4, 2), CheckStep([](DialogRef d) { EXPECT_EQ(ValueOf(d, 4), 4); }),
       ClickStep(2)});
  // Yes, then Cancel: nothing changed, the current term included.
  ExpectAlert(kAlertCautionAlert, "Fewer terms in your school year?", kQuestion, 1);
  Run({ChooseStep(4, 2), CheckStep([](DialogRef d) {
         EXPECT_EQ(TextOf(d, 5), "1st Semester");
         EXPECT_FALSE(Active(d, 11));
       }),
       ClickStep(2)});
  EXPECT_TRUE(OptionTables::Take() == before);
  EXPECT_EQ(gCurrentTerm, 3);

  // Yes and OK: two semesters; term 3's categories are gone with it and the current term
  // is the last one left, in the class record too. Today is in the first semester.
  ExpectAlert(kAlertCautionAlert, "Fewer terms in your school year?", kQuestion, 1);
  ExpectAlert(kAlertCautionAlert, "Move into 1st Semester?",
              "This class is currently in 2nd Semester, but according to the school year "
              "options for this class, today is in 1st Semester. Would you like to change to "
              "1st Semester?",
              2);
  Run({ChooseStep(4, 2), Tab(2), TypeStep(4, "Projects"), ClickStep(1)});
  EXPECT_EQ(gClass.lastTerm, 1);
  EXPECT_EQ(gCurrentTerm, 1);
  EXPECT_EQ(gClass.currentTerm, 1);
  EXPECT_EQ(gTermNames[1].str(), "2nd Semester");
  for (int t = 0; t < kMaxTerms; t++) EXPECT_NE(gCategories[t][0].name.str(), "Projects");
  DoUndoCmd();
  EXPECT_TRUE(OptionTables::Take() == before);
  EXPECT_EQ(gCurrentTerm, 3);

  // From term 0 the categories edited go back into term 0; empty later terms ask nothing.
  gAssignments[3][0].name.clear();
  gCurrentTerm = 0;
  gClass.currentTerm = 0;
  Run({ChooseStep(4, 1), Tab(2), TypeStep(4, "Projects"), ClickStep(1)});
  EXPECT_EQ(gClass.lastTerm, 0);
  EXPECT_EQ(gCategories[0][0].name.str(), "Projects");
  EXPECT_EQ(gCurrentTerm, 0);
}

TEST_F(OptionsTest, AFiveTermClassStaysFiveTermsUnlessThePopUpChanges) {
  gClass.lastTerm = 4;
  NewTermDates(4, gTermDates);
  gClass.examScope = 3;
  Run({CheckStep([](DialogRef d) {
         EXPECT_EQ(ValueOf(d, 4), 5);
         EXPECT_EQ(TextOf(d, 5 + 3 * 4), gTermNames[4].str());
         EXPECT_EQ(TextOf(d, 5 + 3 * 5), "");
       }),
       Tab(3), Tab(1), ClickStep(1)});
  EXPECT_EQ(gClass.lastTerm, 4);
  EXPECT_EQ(gClass.examScope, 3);
  Run({ChooseStep(4, 5), ClickStep(1)});
  EXPECT_EQ(gClass.lastTerm, 5);
}

TEST_F(OptionsTest, AnExamScopeTheNewNumberOfTermsCannotUseBecomesTheTerm) {
  // Semester chosen with four quarters, then three trimesters chosen on the first tab.
  Run({Tab(3), TypeStep(6, "10"), ClickStep(9), Tab(1), ChooseStep(4, 3), ClickStep(1)});
  EXPECT_EQ(gClass.lastTerm, 2);
  EXPECT_EQ(gClass.examScope, 1);
  Run({Tab(3), CheckStep([](DialogRef d) {
         EXPECT_EQ(ValueOf(d, 8), 1);
         Str255 title{};
         ControlRef c = nullptr;
         GetDialogItemAsControl(d, 8, &c);
         GetControlTitle(c, title);
         EXPECT_EQ(title.str(), "the trimester grade");
       }),
       ClickStep(2)});
}

// ---- The attendance table when the first day moves ------------------------------------

TEST_F(OptionsTest, AMovedFirstDayKeepsMarksAndHolidaysOnTheirDatesInsideTheTable) {
  struct Move {
    const char* name;
    int64_t seconds;  // new start - old start
    int from, to;     // a mark on day `from` lands on day `to` (-1: dropped)
  };
  const uint32_t old = MacDate(2026, 9, 1);
  const Move moves[] = {
      {"a week later", 7 * 86400, 10, 3},
      {"a week earlier", -7 * 86400, 10, 17},
      {"under a day later", 86399, 10, 10},
      {"a day later drops day 0", 86400, 0, -1},
      {"a day earlier drops day 359", -86400, 359, -1},
      {"359 days later", 359LL * 86400, 359, 0},
      {"359 days earlier", -359LL * 86400, 0, 359},
      {"360 days later", 360LL * 86400, 359, -1},
      {"decades earlier", -static_cast<int64_t>(old), 0, -1},
      {"decades later", 0xFFFFFFFFLL - old, 200, -1},
  };
  for (const Move& m : moves) {
    SCOPED_TRACE(m.name);
    for (int s = 0; s < kMaxStudents; s++) std::memset(gAttendance[s], kNoMark, kMaxDays);
    std::memset(gHolidays, 0, sizeof gHolidays);
    gAttendance[7][m.from] = 2;
    gHolidays[m.from] = 1;
    AdjustAttendance(old, static_cast<uint32_t>(old + m.seconds));
    int marks = 0, holidays = 0;
    for (int d = 0; d < kMaxDays; d++) {
      marks += gAttendance[7][d] != kNoMark;
      holidays += gHolidays[d];
    }
    EXPECT_EQ(marks, m.to < 0 ? 0 : 1);
    EXPECT_EQ(holidays, m.to < 0 ? 0 : 1);
    if (m.to >= 0) {
      EXPECT_EQ(gAttendance[7][m.to], 2);
      EXPECT_EQ(gHolidays[m.to], 1);
    }
  }
}

// ---- From the window ----------------------------------------------------------------

class OptionsMenuTest : public WindowTest {};

TEST_F(OptionsMenuTest, TheGradebookMenuCommitsTheOpenEditorThenOpensTheDialog) {
  WriteSampleClass(Path("Menu.mtb"), 6, 4);
  OpenThroughMenu(Path("Menu.mtb"));
  ASSERT_NE(nullptr, gWindow);
  EditStudent(0);
  ASSERT_NE(nullptr, gEditHandle);
  TEKey('Z', gEditHandle);
  ScriptDialog(gOptionsDialog, {CheckStep([](DialogRef) { EXPECT_EQ(nullptr, gEditHandle); }),
                                TypeStep(5, "Fall"), KeyStep(kReturnCharCode)});
  ASSERT_TRUE(Choose(kGradebookMenu, kOptionsItem));
  EXPECT_EQ(0u, PendingDialogSteps(gOptionsDialog));
  EXPECT_EQ(gTermNames[0].str(), "Fall");
  EXPECT_EQ(kUndoOptions, gUndoAction);
  std::string text;
  AdjustMenus();
  ASSERT_TRUE(FrameMenuItem(kGradebookMenu, kFirstTermItem, &text, nullptr, nullptr));
  EXPECT_EQ("Fall", text.substr(0, 4));
}

}  // namespace
