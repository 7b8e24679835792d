// Typing into the grid through the program's own event handling: the score road
// (click, type, Return, stored with undo, grade recomputed, redrawn, moved on), every
// form of score text and its refusals, the moves of the editor keys, type-ahead,
// and the other kinds of cell.
#include <algorithm>

#include "marktally/model/recent.h"
#include "marktally/shell/dialogs/alerts.h"
#include "marktally/shell/commands/menus.h"
#include "tests/shell/editing_fixture.h"

namespace {

TEST_F(EditingTest, TypingAScoreStoresItRecomputesTheGradeAndMovesDown) {
  OpenClass();
  const int s = 2, t = T();
  gScores[s][t][0] = 400;
  FlushAll();
  SetChanged(0);
  CantUndo();
  const int16_t before = TermPercent(static_cast<int16_t>(t), s);

  ClickScore(s, 0);
  ASSERT_TRUE(EditingScore(s, 0));
  EXPECT_EQ("40", EditorText()) << "the editor opens on the score's text";
  Type("85");
  EXPECT_EQ("85", EditorText());
  Rect cell;
  ScoreBox(s, 0, &cell);
  StartTextDrawLog(Port());
  Key(kReturnCharCode);

  EXPECT_EQ(850, gScores[s][t][0]);
  const int16_t after = TermPercent(static_cast<int16_t>(t), s);
  EXPECT_NE(before, after) << "the term grade is recomputed";
  FlushOne(s);
  EXPECT_EQ(after, TermPercent(static_cast<int16_t>(t), s));
  EXPECT_EQ("*", FrameTitle().substr(FrameTitle().size() - 1)) << "marked changed";
  EXPECT_TRUE(EditingScore(s + 1, 0)) << "the editor moves to the next named row";

  // The stored score and the new grade are drawn where their cells are.
  bool scoreDrawn = false, gradeDrawn = false;
  Rect grade;
  GradeBox(s, &grade);
  for (const TextDrawRecord& r : TakeTextDrawLog(Port())) {
    if (r.text == "85" && r.pen.h >= cell.left && r.pen.h < cell.right &&
        r.pen.v >= cell.top && r.pen.v <= cell.bottom + 1)
      scoreDrawn = true;
    if (r.pen.h >= grade.left - 2 && r.pen.h < grade.right && r.pen.v >= grade.top &&
        r.pen.v <= grade.bottom + 1)
      gradeDrawn = true;
  }
  EXPECT_TRUE(scoreDrawn);
  EXPECT_TRUE(gradeDrawn);
  // The new editor shows its text selected: highlighted pixels inside its box.
  Rect next;
  ScoreBox(s + 1, 0, &next);
  EXPECT_EQ(next.top - 1, gEditBox.top);
  bool highlighted = false;
  for (int x = gEditBox.left + 1; x < gEditBox.right - 1 && !highlighted; x++)
    for (int y = gEditBox.top + 1; y < gEditBox.bottom - 1; y++) {
      const uint32_t p = GetPortPixel(Port(), x, y);
      if (p != 0xFFFFFF && p != 0x000000) {
        highlighted = true;
        break;
      }
    }
  EXPECT_TRUE(highlighted);

  Undo();
  EXPECT_EQ(nullptr, gEditHandle) << "undo cancels the open editor";
  EXPECT_EQ(400, gScores[s][t][0]);
  Undo();  // the same item redoes
  EXPECT_EQ(850, gScores[s][t][0]);
}

struct ScoreForm {
  const char* text;
  int16_t stored;
};

TEST_F(EditingTest, EveryFormOfScoreTextIsStored) {
  OpenClass();
  const ScoreForm forms[] = {
      {"85", 850},   {"92.5", 925}, {"45%", 450}, {"-5", 950},
      {"17/20", 850}, {"B+", 885},
      {"Exc", kFirstSpecial}, {"", kBlank},
  };
  for (const ScoreForm& form : forms) {
    SCOPED_TRACE(form.text);
    ClickScore(4, 0);
    Enter(form.text, kReturnCharCode);
    EXPECT_EQ(form.stored, gScores[4][T()][0]);
    CloseEdit(kEditCancel);
  }
  EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingTest, RefusedScoresChangeNothingAndKeepTheEditorOpen) {
  OpenClass();
  const int t = T();
  const int16_t old = gScores[5][t][0];
  SetChanged(0);
  CantUndo();
  ClickScore(5, 0);
  answers = {1};
  Enter("abc");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Invalid score", alerts[0].title);
  EXPECT_EQ(kStopAlert, alerts[0].kind);
  EXPECT_NE(std::string::npos, alerts[0].text.find("from 0 to 1000, decimal percents"));
  EXPECT_TRUE(EditingScore(5, 0));
  EXPECT_EQ(0, gEditHandle->selStart);
  EXPECT_EQ(3, gEditHandle->selEnd) << "the refused text is selected";
  EXPECT_EQ(old, gScores[5][t][0]);
  EXPECT_EQ(kUndoNothing, gUndoAction);
  EXPECT_FALSE(FrameTitle().back() == '*');

  // Above twice the points: asked; No refuses, Yes stores.
  alerts.clear();
  answers = {2};
  Enter("201");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Score too high?", alerts[0].title);
  EXPECT_EQ(kCautionAlert, alerts[0].kind);
  EXPECT_TRUE(EditingScore(5, 0));
  EXPECT_EQ(old, gScores[5][t][0]);
  answers = {1};
  Enter("201");
  EXPECT_EQ(2010, gScores[5][t][0]);
  alerts.clear();
  Enter("200");
  EXPECT_TRUE(alerts.empty()) << "twice the points is not too high";
  EXPECT_EQ(2000, gScores[7 - 1][t][0]) << "stored on the row the editor moved to";
}

// The first score of a column makes it count for every student (a blank counts as
// nothing earned of its points), and the last one taken away stops it counting: both
// recompute and redraw the grades of the other rows, not only the edited one.
TEST_F(EditingTest, TheLastScoreOfAColumnRecomputesEveryGrade) {
  OpenClass(6, 3);
  const int t = T(), other = 3;
  for (int s = 0; s < kMaxStudents; s++) gScores[s][t][1] = kBlank;
  CountScores();
  FlushAll();
  ForceUpdate();
  Run();
  ASSERT_EQ(0, gNumScores[t][1]);
  const int16_t without = TermPercent(static_cast<int16_t>(t), other);
  ASSERT_GE(without, 0);

  // The grade the test expects, computed from the tables afresh, and its text.
  auto truth = [&] {
    FlushAll();
    return TermPercent(static_cast<int16_t>(t), other);
  };
  // The texts drawn in the other student's grade box (the percent, then the letter).
  auto drawnGrade = [&](const std::vector<TextDrawRecord>& log) {
    Rect grade;
    GradeBox(other, &grade);
    std::string drawn;
    for (const TextDrawRecord& r : log)
      if (r.pen.h >= grade.left - 2 && r.pen.h < grade.right && r.pen.v >= grade.top &&
          r.pen.v <= grade.bottom + 1)
        drawn += "[" + r.text.substr(0, r.text.find_last_not_of(' ') + 1) + "]";
    return drawn;
  };
  auto gradeText = [](int16_t percent) {
    Str255 text;
    PercentToString(percent, text);
    return std::string(text.str());
  };

  ClickScore(0, 1);
  StartTextDrawLog(Port());
  Enter("5");
  Run();
  ASSERT_EQ(1, gNumScores[t][1]);
  const int16_t shown = TermPercent(static_cast<int16_t>(t), other);
  const int16_t with = truth();
  EXPECT_EQ(with, shown) << "another student's grade is recomputed";
  EXPECT_LT(with, without) << "the counted column brings its points to every row";
  EXPECT_NE(std::string::npos, drawnGrade(TakeTextDrawLog(Port())).find("[" + gradeText(with) + "]"));

  CloseEdit(kEditCancel);
  ClickScore(0, 1);
  StartTextDrawLog(Port());
  Enter("");
  Run();
  EXPECT_EQ(0, gNumScores[t][1]);
  EXPECT_EQ(without, TermPercent(static_cast<int16_t>(t), other));
  EXPECT_EQ(without, truth());
  EXPECT_NE(std::string::npos,
            drawnGrade(TakeTextDrawLog(Port())).find("[" + gradeText(without) + "]"));
}

// Choosing a recent assignment for a column that already has scores gives the column
// new points: every grade is computed again with them and drawn.
TEST_F(EditingTest, ARecentAssignmentOnAColumnWithScoresRecomputesEveryGrade) {
  OpenClass(6, 3);
  const int t = T(), other = 3;
  ASSERT_GT(gNumScores[t][1], 0);
  const int16_t before = TermPercent(static_cast<int16_t>(t), other);
  struct KeptRecents {
    RecentAssignRecord list[kMaxRecentAssigns] = {};
    int16_t count = gNumRecentAssigns;
    KeptRecents() { std::copy(gRecentAssigns, gRecentAssigns + kMaxRecentAssigns, list); }
    ~KeptRecents() {
      std::copy(list, list + kMaxRecentAssigns, gRecentAssigns);
      gNumRecentAssigns = count;
    }
  } kept;
  gNumRecentAssigns = 1;
  gRecentAssigns[0].assignment = gAssignments[t][1];
  gRecentAssigns[0].assignment.points = static_cast<uint16_t>(gAssignments[t][1].points * 8);
  StartTextDrawLog(Port());
  HandleRecentAssignsChoice(1, 1);
  Run();
  CloseEdit(kEditCancel);
  const int16_t shown = TermPercent(static_cast<int16_t>(t), other);
  FlushAll();
  const int16_t truth = TermPercent(static_cast<int16_t>(t), other);
  EXPECT_EQ(truth, shown);
  EXPECT_NE(before, truth) << "eight times the points changes the grade";
  Str255 text;
  PercentToString(truth, text);
  Rect grade;
  GradeBox(other, &grade);
  bool drawn = false;
  std::string seen;
  for (const TextDrawRecord& r : TakeTextDrawLog(Port())) {
    if (r.pen.h >= grade.left - 2 && r.pen.h < grade.right && r.pen.v >= grade.top &&
        r.pen.v <= grade.bottom + 1) {
      seen += "[" + r.text + "]";
      drawn = drawn || r.text.substr(0, r.text.find_last_not_of(' ') + 1) == text.str();
    }
  }
  EXPECT_TRUE(drawn) << text.str() << " drawn: " << seen;
}

struct Move {
  unsigned char key;
  uint16_t modifiers;
  int row, column;  // where the editor opened from (3, 1) goes
};

TEST_F(EditingTest, TheEditorKeysMoveBetweenCells) {
  OpenClass(6, 4);
  const int t = T();
  gAssignments[t][2].name.clear();  // an unnamed column is skipped sideways
  const Move moves[] = {
      {kReturnCharCode, 0, 4, 1},        {kEnterCharCode, 0, 4, 1},
      {kReturnCharCode, shiftKey, 2, 1}, {kDownArrowCharCode, 0, 4, 1},
      {kUpArrowCharCode, 0, 2, 1},       {kTabCharCode, 0, 3, 3},
      {kTabCharCode, shiftKey, 3, 0},
  };
  for (const Move& m : moves) {
    SCOPED_TRACE(static_cast<int>(m.key) * 10 + (m.modifiers ? 1 : 0));
    CloseEdit(kEditCancel);
    ClickScore(3, 1);
    ASSERT_TRUE(EditingScore(3, 1));
    Key(m.key, m.modifiers);
    EXPECT_TRUE(EditingScore(m.row, m.column))
        << gEditStudent << "," << gEditAssignment;
  }
  // At the ends the same cell reopens: the last named row, the first row, the last
  // named column.
  CloseEdit(kEditCancel);
  ClickScore(5, 3);
  Key(kReturnCharCode);
  EXPECT_TRUE(EditingScore(5, 3));
  Key(kTabCharCode);
  EXPECT_TRUE(EditingScore(5, 3));
  CloseEdit(kEditCancel);
  ClickScore(0, 0);
  Key(kUpArrowCharCode);
  EXPECT_TRUE(EditingScore(0, 0));
  Key(kEscapeCharCode);
  EXPECT_EQ(nullptr, gEditHandle);
}

TEST_F(EditingTest, TypeAheadCompletesLettersSpecialScoresCategoriesAndCodes) {
  OpenClass(6, 4);
  ClickScore(1, 0);
  TESetSelect(0, 32767, gEditHandle);
  Type("b");
  EXPECT_EQ("B", EditorText()) << "an exact letter grade goes before B-";
  EXPECT_EQ(gEditHandle->selStart, gEditHandle->selEnd);
  Type("+");
  EXPECT_EQ("B+", EditorText());
  TESetSelect(0, 32767, gEditHandle);
  Type("e");
  EXPECT_EQ("Exc", EditorText());
  EXPECT_EQ(1, gEditHandle->selStart);
  EXPECT_EQ(3, gEditHandle->selEnd);
  TESetSelect(0, 32767, gEditHandle);
  Type("8");
  EXPECT_EQ("8", EditorText()) << "a valid score is left alone";
  Key(kEscapeCharCode);

  // The category of an assignment, through the information band.
  Rect title;
  TitleBox(0, &title);
  ClickAt(title.left + 4, 20);
  ASSERT_NE(nullptr, gEditHandle);
  ASSERT_EQ(kEditDate, gEditKind);
  Key(kReturnCharCode);
  ASSERT_EQ(kEditAssignmentName, gEditKind);
  Key(kReturnCharCode);
  ASSERT_EQ(kEditCategory, gEditKind);
  TESetSelect(0, 32767, gEditHandle);
  Type("Ho");
  EXPECT_EQ("Homework", EditorText());
  EXPECT_EQ(2, gEditHandle->selStart);
  EXPECT_EQ(8, gEditHandle->selEnd);
  TESetSelect(0, 32767, gEditHandle);
  Type("q");
  EXPECT_EQ("q", EditorText()) << "no category begins with q";
  Key(kEscapeCharCode);

  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  SetControlValue(gHScrollBar, 0);
  ForceUpdate();
  Run();
  int column = -1;
  for (int c = 0; c <= gLastColumn && column < 0; c++)
    if (gHolidays[gColumnToDay[c]] != 1) column = c;
  ASSERT_GE(column, 0);
  ClickScore(1, column);
  ASSERT_EQ(kEditAttendance, gEditKind);
  TESetSelect(0, 32767, gEditHandle);
  Type("a");
  EXPECT_EQ("Ab", EditorText());
}

// A new category and its points typed in one go: the question about the category
// waits for its own answer, and the points typed ahead of it reach the points cell.
TEST_F(EditingTest, KeysTypedAheadOfAQuestionReachTheirCellOnceItIsAnswered) {
  OpenClass(6, 4);
  InstallAlertSink();  // the real alert, with its own window and keys
  // The first empty column, from its date to its points without a pause.
  Rect title{};
  TitleBox(4, &title);
  ClickAt(title.left + 4, 20);
  ASSERT_EQ(kEditDate, gEditKind);
  for (unsigned char c : std::string("\rLab 3\rLabs\r30\r")) InjectKey(c, 0);
  InjectKeyOnceShown(kReturnCharCode, 0);  // Yes, with the question in sight
  Run();
  const int t = T();
  int16_t labs = -1;
  for (int k = 0; k < kMaxCategories; k++)
    if (ToStdString(gCategories[t][k].name) == "Labs") labs = static_cast<int16_t>(k);
  ASSERT_GE(labs, 0) << "the category was not added";
  EXPECT_EQ("Lab 3", ToStdString(gAssignments[t][4].name));
  EXPECT_EQ(labs, gAssignments[t][4].category);
  EXPECT_EQ(30, gAssignments[t][4].points) << "the points typed ahead were lost";
  EXPECT_FALSE(gEditHandle && gEditKind == kEditPoints) << "the points cell is still open";
}

TEST_F(EditingTest, TypingIsLimitedToTheCellsLength) {
  OpenClass(4, 2);
  Rect r;
  IDBox(0, &r);
  ClickIn(r);
  ASSERT_EQ(kEditID, gEditKind);
  TESetSelect(0, 32767, gEditHandle);
  Type("ABCDEFGHIJKLMNO");
  EXPECT_TRUE(alerts.empty());
  answers = {1};
  Type("P");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Maximum length exceeded", alerts[0].title);
  EXPECT_EQ("This item cannot be more than 15 characters long.", alerts[0].text);
  EXPECT_EQ("ABCDEFGHIJKLMNO", EditorText());

  // Pasting: 5 characters kept and 11 pasted is too many, 10 is not; with the 5
  // selected, 15 may be pasted.
  alerts.clear();
  TESetText("12345", 5, gEditHandle);
  SetDesktopClipboardText("ABCDEFGHIJK");
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("This item cannot be more than 15 characters long. Pasting will exceed that limit.",
            alerts[0].text);
  EXPECT_EQ("12345", EditorText());
  SetDesktopClipboardText("ABCDEFGHIJ");
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ("12345ABCDEFGHIJ", EditorText());
  TESetText("12345", 5, gEditHandle);
  TESetSelect(0, 5, gEditHandle);
  SetDesktopClipboardText("ABCDEFGHIJKLMNO");
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ("ABCDEFGHIJKLMNO", EditorText());
  EXPECT_EQ(1u, alerts.size());
}

// The class file stores Mac Roman. A typed character outside it is refused with a beep;
// pasted text holding one is refused whole with an alert naming it; a character that
// fits ("é") goes in as typed. Each paste reads what the desktop clipboard holds then.
TEST_F(EditingTest, CharactersAClassCannotStoreAreRefusedAloudAndPastesReadTheDesktop) {
  OpenClass(6, 3);
  Rect r;
  StudentBox(1, &r);
  ClickIn(r);
  ASSERT_EQ(kEditName, gEditKind);
  TESetSelect(0, 32767, gEditHandle);
  Type("Li");
  const int beeps = BeepCount();
  SendDesktopKey(DesktopKey::Text, "\xE6\x9D\x8E", 0);  // a Chinese character
  Run();
  EXPECT_EQ(beeps + 1, BeepCount());
  EXPECT_EQ("Li", EditorText());
  SendDesktopKey(DesktopKey::Text, "\xC3\xA9", 0);  // e acute, in Mac Roman
  Run();
  EXPECT_EQ(beeps + 1, BeepCount());
  EXPECT_EQ("Li\x8E", EditorText());

  SetDesktopClipboardText("Wang \xE6\x9D\x8E");
  answers = {1};
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Unable to paste", alerts[0].title);
  EXPECT_NE(std::string::npos, alerts[0].text.find("U+674E")) << alerts[0].text;
  EXPECT_EQ("Li\x8E", EditorText()) << "nothing pasted, no \"?\"";

  // Another editor, another clipboard: the paste takes what the desktop holds now.
  SetDesktopClipboardText("Ann");
  Key(kReturnCharCode);
  ASSERT_NE(nullptr, gEditHandle);
  TESetSelect(0, 32767, gEditHandle);
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ("Ann", EditorText());
  StudentBox(4, &r);
  ClickIn(r);
  SetDesktopClipboardText("Bo");
  TESetSelect(0, 32767, gEditHandle);
  ASSERT_TRUE(Choose(kEditMenu, kPasteItem));
  EXPECT_EQ("Bo", EditorText());
  EXPECT_EQ(1u, alerts.size());
  CloseEdit(kEditCancel);
}

}  // namespace
