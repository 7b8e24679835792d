// The menus: which items can be chosen in each state, and the view, zoom, term, title
// column, non-school day, sort, random ID, undo and footnote commands they run.
#include <regex>
#include <set>

#include "marktally/model/operations.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/toolbox/menus.h"
#include "tests/shell/window_fixture.h"

namespace {

class MenusTest : public WindowTest {
 protected:
  void OpenSample(int students = 12, int assignments = 6) {
    WriteSampleClass(Path("Sample.mtb"), students, assignments);
    PostCommandLineEvents({Path("Sample.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
  }
  std::string ItemText(int16_t menu, int16_t item) {
    AdjustMenus();
    std::string text;
    FrameMenuItem(menu, item, &text, nullptr, nullptr);
    return text.substr(0, text.find('\t'));
  }
  std::set<int16_t> EnabledItems(int16_t menu) {
    AdjustMenus();
    std::set<int16_t> items;
    for (int16_t i = 1; i <= CountMenuItems(GetMenuHandle(menu)); i++)
      if (Enabled(menu, i)) items.insert(i);
    return items;
  }
};

TEST_F(MenusTest, WithoutAWindowOnlyNewOpenAndTheRecentFilesCanBeChosen) {
  WriteSampleClass(Path("A.mtb"), 2, 1);
  InsertRecentFile(FileSpec{Path("A.mtb")});
  AdjustMenus();
  EXPECT_EQ((std::set<int16_t>{kNewItem, kOpenItem, kPageSetupItem, kFirstRecentItem,
                               kFirstRecentItem + 2, QuitItem()}),
            EnabledItems(kFileMenu));
  for (int16_t i : EnabledItems(kEditMenu)) ADD_FAILURE() << "edit item " << i;
  EXPECT_TRUE(EnabledItems(kGradebookMenu).empty());
  EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(kGradebookMenu), 0));
  EXPECT_TRUE(EnabledItems(kReportsMenu).empty());
  EXPECT_TRUE(EnabledItems(kSortMenu).empty());
  EXPECT_EQ((std::set<int16_t>{kAboutItem, kUsersGuideItem}), EnabledItems(kHelpMenu));
}

TEST_F(MenusTest, WithAClassTheWindowCommandsCanBeChosen) {
  OpenSample();
  EXPECT_EQ((std::set<int16_t>{kNewItem, kOpenItem, kCloseItem, kSaveItem, kSaveAsItem,
                               kSaveToSpeakItem, kRevertItem, kImportItem, kExportItem,
                               kEmailReportsItem, kPageSetupItem, kPrintItem,
                               kFirstRecentItem, kFirstRecentItem + 2, QuitItem()}),
            EnabledItems(kFileMenu));
  EXPECT_EQ((std::set<int16_t>{1, 2, 4, 5, 6, 7, 8, 9}), EnabledItems(kExportMenu));
  EXPECT_EQ((std::set<int16_t>{1, 2, 3, 4}), EnabledItems(kEmailReportsMenu));
  EXPECT_EQ((std::set<int16_t>{kOptionsItem, kPasswordItem, kShowIDItem, kShowNameItem,
                               kShowNameAndIDItem, kHolidaysItem, 10, 11, 12, 13}),
            EnabledItems(kGradebookMenu));
  EXPECT_EQ((std::set<int16_t>{kGradebookViewItem, kAttendanceViewItem, kSeatingChartItem, 5, 6,
                               7, 8, 10, 11, 12, 14, 15, 17, 18, 19, kReportOptionsItem,
                               kMultipleItem}),
            EnabledItems(kReportsMenu));
  EXPECT_EQ((std::set<int16_t>{1, 2, 3, 5, 6, 7}), EnabledItems(kSortMenu));
  EXPECT_EQ((std::set<int16_t>{kSortItem, kEmailServerItem, kEmailAddressesItem,
                               kFootnotesItem, kHeaderFooterItem, kCommentsItem}),
            EnabledItems(kEditMenu))
      << "random IDs need the ID column, undo a change, the curve an assignment";
  EXPECT_TRUE(Checked(kReportsMenu, kGradebookViewItem));
  EXPECT_TRUE(Checked(kReportsMenu, 18));
  EXPECT_EQ("Can't Undo", ItemText(kEditMenu, kUndoItem));
}

TEST_F(MenusTest, TheRecentFilesComeBeforeQuitWhichEndsTheFileMenu) {
  EXPECT_EQ(17, CountMenuItems(GetMenuHandle(kFileMenu)));
  EXPECT_EQ("Quit Marktally", ItemText(kFileMenu, 17));
  for (int i = 8; i >= 1; i--) {
    const std::string path = Path("Class " + std::to_string(i) + ".mtb");
    WriteSampleClass(path, 1, 1);
    InsertRecentFile(FileSpec{path});
  }
  AdjustMenus();
  MenuRef file = GetMenuHandle(kFileMenu);
  ASSERT_EQ(28, CountMenuItems(file));
  EXPECT_EQ("Quit Marktally", ItemText(kFileMenu, 28));
  int16_t quitKey = 0;
  GetItemCmd(file, 28, &quitKey);
  EXPECT_EQ('Q', quitKey);
  Str255 text;
  GetMenuItemText(file, 16, text);
  EXPECT_EQ("-", text.str());
  for (int i = 0; i < 8; i++) {
    GetMenuItemText(file, static_cast<int16_t>(kFirstRecentItem + i), text);
    EXPECT_EQ(std::to_string(i + 1) + " Class " + std::to_string(i + 1) + ".mtb", text.str());
    int16_t key = 0;
    GetItemCmd(file, static_cast<int16_t>(kFirstRecentItem + i), &key);
    EXPECT_EQ(0, key);
  }
  GetMenuItemText(file, 25, text);
  EXPECT_EQ("-", text.str());
  GetMenuItemText(file, 26, text);
  EXPECT_EQ("Clear Recent Files", text.str());
  ASSERT_TRUE(Choose(kFileMenu, 26));
  EXPECT_EQ(0, gNumRecentFiles);
  EXPECT_EQ(17, CountMenuItems(file));
  EXPECT_EQ("Quit Marktally", ItemText(kFileMenu, 17));
}

TEST_F(MenusTest, TheMenuBarFollowsTheDesktop) {
  AdjustMenus();
  const std::vector<std::string> titles = FrameMenuTitles();
  EXPECT_EQ((std::vector<std::string>{"&File", "&Edit", "&Gradebook", "&Reports", "&Help"}),
            titles)
      << "mnemonics, and Help last";
  std::string text;
  ASSERT_TRUE(FrameMenuItem(kHelpMenu, kUsersGuideItem, &text, nullptr, nullptr));
  EXPECT_EQ("Marktally Users Guide\tF1", text);
  ASSERT_TRUE(FrameMenuItem(kFileMenu, kSaveAsItem, &text, nullptr, nullptr));
  EXPECT_EQ("Save As\u2026\tCtrl+Shift+S", text);
  ASSERT_TRUE(FrameMenuItem(kFileMenu, QuitItem(), &text, nullptr, nullptr));
  EXPECT_EQ("Quit Marktally\tCtrl+Q", text);
}

// The keys a desktop user expects, each as the menu choice it makes (0: none).
TEST_F(MenusTest, DesktopKeysChooseTheirItems) {
  OpenSample();
  auto key = [](unsigned char ch, uint16_t mods, uint16_t code = 0) {
    EventRecord e{};
    e.what = keyDown;
    e.message = (static_cast<uintptr_t>(code) << 8) | ch;
    e.modifiers = mods;
    return MenuKeyChoice(e);
  };
  auto choice = [](int16_t menu, int16_t item) {
    return (static_cast<int32_t>(menu) << 16) | item;
  };
  EXPECT_EQ(choice(kFileMenu, kSaveItem), key('s', cmdKey));
  EXPECT_EQ(choice(kFileMenu, kSaveAsItem), key('S', cmdKey | shiftKey));
  EXPECT_EQ(choice(kFileMenu, QuitItem()), key('q', cmdKey));
  EXPECT_EQ(choice(kHelpMenu, kUsersGuideItem), key(kFunctionKeyCharCode, 0, kF1KeyCode));
  EXPECT_EQ(0, key('s', 0)) << "a letter alone is typing";
  // Nothing to redo: the Redo keys do nothing, and Ctrl+Shift+Z never undoes.
  gScores[0][gCurrentTerm][0] = 7;
  SetUndoStudent(kUndoStudentEdit, 0);
  gScores[0][gCurrentTerm][0] = 9;
  EXPECT_EQ(choice(kEditMenu, kUndoItem), key('z', cmdKey));
  EXPECT_EQ(0, key('Z', cmdKey | shiftKey));
  EXPECT_EQ(0, key('y', cmdKey));
  HandleMenuChoice(key('z', cmdKey));
  ASSERT_EQ(0, ItemText(kEditMenu, kUndoItem).rfind("Redo", 0));
  EXPECT_EQ(choice(kEditMenu, kUndoItem), key('Z', cmdKey | shiftKey));
  EXPECT_EQ(choice(kEditMenu, kUndoItem), key('y', cmdKey));
  EXPECT_EQ(choice(kEditMenu, kUndoItem), key('z', cmdKey));
}

TEST_F(MenusTest, TermsPastTheLastCannotBeChosen) {
  WriteClass(Path("Semesters.mtb"), [] {
    gClass.lastTerm = 1;
    for (int t = 0; t < kMaxTerms; t++) gTermNames[t].setC(gDefaultTermNames[1][t]);
  });
  PostCommandLineEvents({Path("Semesters.mtb")});
  Run();
  EXPECT_EQ("1st Semester", ItemText(kGradebookMenu, 10));
  EXPECT_EQ("2nd Semester", ItemText(kGradebookMenu, 11));
  EXPECT_TRUE(Enabled(kGradebookMenu, 11));
  for (int16_t item = 12; item <= 15; item++) EXPECT_FALSE(Enabled(kGradebookMenu, item));
  EXPECT_FALSE(Choose(kGradebookMenu, 12));
  EXPECT_TRUE(Checked(kGradebookMenu, static_cast<int16_t>(10 + gCurrentTerm)));
}

TEST_F(MenusTest, ChoosingATermCopiesItsGradingOptionsAndMarksTheClassChanged) {
  OpenSample();
  ASSERT_EQ(0, gCurrentTerm);
  ASSERT_TRUE(gCategories[1][0].name.empty());
  ASSERT_TRUE(Choose(kGradebookMenu, 11));
  EXPECT_EQ(1, gCurrentTerm);
  EXPECT_EQ(1, gClass.currentTerm);
  EXPECT_EQ("Tests", gCategories[1][0].name.str());
  EXPECT_EQ(1, gChanged);
  EXPECT_TRUE(Checked(kGradebookMenu, 11));
  EXPECT_FALSE(Checked(kGradebookMenu, 10));
  EXPECT_EQ(kUndoNothing, gUndoAction);
}

TEST_F(MenusTest, ZoomSetsTheUnitsOfTheWindow) {
  OpenSample();
  struct Case {
    int16_t item, zoom, report, header, title;
  } cases[] = {{17, 5, 10, 18, 262}, {19, 7, 14, 25, 366}, {18, 6, 12, 21, 314}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Choose(kReportsMenu, c.item));
    EXPECT_EQ(c.zoom, gZoom);
    EXPECT_EQ(c.report, gReportSize);
    EXPECT_EQ(c.header, gHeaderSize);
    EXPECT_EQ(c.title, gTitleWidth);
    EXPECT_EQ(8 * c.zoom - 1, gHBox.bottom);
    EXPECT_EQ(30 * c.zoom + 12 * c.zoom / 5 - 1, gHBox.right);
    EXPECT_TRUE(Checked(kReportsMenu, c.item));
    EXPECT_EQ(VScrollMax(), GetControlMaximum(gVScrollBar));
  }
  EXPECT_EQ(0, gChanged) << "the zoom is the teacher's, not the class's";
}

TEST_F(MenusTest, TitleColumnCommands) {
  OpenSample();
  struct Case {
    int16_t item;
    uint8_t flags;
    int16_t width;
  } cases[] = {{kShowIDItem, kShowIDs, 314}, {kShowNameAndIDItem, kShowIDs | kShowNames, 410},
               {kShowNameItem, kShowNames, 314}};
  for (const Case& c : cases) {
    SetChanged(0);
    ASSERT_TRUE(Choose(kGradebookMenu, c.item));
    EXPECT_EQ(c.flags, gClass.flags & (kShowIDs | kShowNames));
    EXPECT_EQ(c.width, gTitleWidth);
    EXPECT_EQ(1, gChanged);
    for (int16_t item : {kShowIDItem, kShowNameItem, kShowNameAndIDItem})
      EXPECT_EQ(item == c.item, Checked(kGradebookMenu, item));
    EXPECT_EQ(HScrollMax(), GetControlMaximum(gHScrollBar));
  }
}

TEST_F(MenusTest, HidingNonSchoolDaysTakesTheirColumnsAway) {
  OpenSample();
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  EXPECT_EQ(kAttendanceView, gCurrView);
  EXPECT_TRUE(Checked(kReportsMenu, kAttendanceViewItem));
  const int columns = gMaxColumns;
  gHolidays[gColumnToDay[3]] = 1;
  gHolidays[gColumnToDay[4]] = 1;
  EXPECT_EQ("Hide Non-Class Days", ItemText(kGradebookMenu, kHolidaysItem));
  ASSERT_TRUE(Choose(kGradebookMenu, kHolidaysItem));
  EXPECT_TRUE(gClass.flags & kHolidaysNoColumn);
  EXPECT_EQ(columns - 2, gMaxColumns);
  EXPECT_EQ(gMaxColumns - 1, gLastColumn);
  EXPECT_EQ("Show Non-Class Days", ItemText(kGradebookMenu, kHolidaysItem));
  ASSERT_TRUE(Choose(kGradebookMenu, kHolidaysItem));
  EXPECT_EQ(columns, gMaxColumns);
}

TEST_F(MenusTest, TheAttendanceViewOpensOnTodaysColumnAndKeepsTheRows) {
  OpenSample(60, 6);
  SetControlValue(gVScrollBar, 20);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  const int today = static_cast<int>((now_ / 86400 * 86400 + 43200 - gTermDates[0].start) /
                                     86400);
  EXPECT_EQ(gDayToColumn[today], HScrollValue());
  EXPECT_EQ(20, VScrollValue()) << "between the two grids the rows stay";
  ASSERT_TRUE(Choose(kReportsMenu, kGradebookViewItem));
  EXPECT_EQ(20, VScrollValue());
  EXPECT_EQ(149, gLastColumn);
  EXPECT_EQ(0, HScrollValue()) << "the six scored columns fit: the first column shows";
}

TEST_F(MenusTest, SortCommandsReorderTheClass) {
  OpenSample();
  ASSERT_TRUE(Choose(kSortMenu, 2));
  for (int s = 1; s < NumStudents(); s++)
    EXPECT_LE(RelString(gStudents[s - 1].name, gStudents[s].name, false, false), 0) << s;
  ASSERT_TRUE(Choose(kSortMenu, 1));
  for (int s = 1; s < NumStudents(); s++)
    EXPECT_LE(RelString(gStudents[s - 1].id, gStudents[s].id, false, false), 0) << s;
  ASSERT_TRUE(Choose(kSortMenu, 6));
  for (int a = 1; a < NumAssignments(); a++)
    EXPECT_LE(RelString(gAssignments[0][a - 1].name, gAssignments[0][a].name, false, false), 0);
  EXPECT_EQ(kUndoNothing, gUndoAction);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  EXPECT_EQ((std::set<int16_t>{1, 2, 3}), EnabledItems(kSortMenu))
      << "assignments are sorted in the gradebook";
}

TEST_F(MenusTest, RandomIDsFollowTheFirstStudentsPattern) {
  struct Case {
    const char* first;
    std::set<int> withID;  // other students that keep their IDs
    const char* pattern;
  } cases[] = {
      {"AB-12", {}, "[A-Z]{2}-[0-9]{2}"},
      {"--", {}, "[0-9]{4}"},
      {"", {3, 5}, "[0-9]{4}"},
      {"x7", {2}, "[a-z][0-9]"},
  };
  for (const Case& c : cases) {
    WriteClass(Path("Ids.mtb"), [&] {
      sample::FillClass(30, 2);
      gClass.flags |= kShowIDs;
      for (int s = 0; s < 30; s++) gStudents[s].id.clear();
      gStudents[0].id.setC(c.first);
      for (int s : c.withID) gStudents[s].id.setC(("K" + std::to_string(s)).c_str());
    });
    PostCommandLineEvents({Path("Ids.mtb")});
    Run();
    const bool some = !c.withID.empty();
    answers = {1};
    ASSERT_TRUE(Choose(kEditMenu, kRandomIDsItem)) << c.first;
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("Generate Random IDs?", alerts[0].title);
    EXPECT_EQ(kAlertYesNo, alerts[0].buttons);
    EXPECT_EQ(some ? "You are about to generate random student IDs for those students who do "
                     "not already have a student ID. Are you sure you want to do this?"
                   : "You are about to generate random student IDs for all students. Are you "
                     "sure you want to do this?",
              alerts[0].text);
    std::set<std::string> seen;
    for (int s = 0; s < 30; s++) {
      const std::string id = gStudents[s].id.str();
      if (c.withID.count(s)) {
        EXPECT_EQ("K" + std::to_string(s), id);
      } else if (!(some && s == 0 && !std::string(c.first).empty())) {
        EXPECT_TRUE(std::regex_match(id, std::regex(c.pattern))) << c.first << ": " << id;
      }
      EXPECT_TRUE(seen.insert(id).second) << "two students with " << id;
    }
    EXPECT_EQ(1, gChanged);
    alerts.clear();
    Stop();
    Start();
  }
}

TEST_F(MenusTest, RandomIDsCanBeDeclined) {
  WriteClass(Path("Ids.mtb"), [] {
    sample::FillClass(5, 1);
    gClass.flags |= kShowIDs;
  });
  PostCommandLineEvents({Path("Ids.mtb")});
  Run();
  answers = {2};
  ASSERT_TRUE(Choose(kEditMenu, kRandomIDsItem));
  EXPECT_EQ("S1002", gStudents[1].id.str());
  EXPECT_EQ(0, gChanged);
  ASSERT_TRUE(Choose(kGradebookMenu, kShowNameItem));
  EXPECT_FALSE(Enabled(kEditMenu, kRandomIDsItem)) << "only while the IDs are shown";
}

TEST_F(MenusTest, FootnotePopUpSetsAndClearsWithOneUndo) {
  OpenSample();
  const int16_t row = 1, column = 2;
  gFootnotes[row][0][column] = kNoMark;
  gFootnoteText[2].setC("Makeup");
  const Point where{300, 400};
  ScriptPopUpChoice(3 + 2);
  PopUpFootnotes(where, row, column);
  PopUpRequest request;
  ASSERT_TRUE(LastPopUpRequest(&request));
  EXPECT_EQ(kFootnotesMenu, request.menuID);
  EXPECT_EQ(292, request.top);
  EXPECT_EQ(368, request.left);
  EXPECT_EQ(1, request.popUpItem);
  EXPECT_EQ(2, gFootnotes[row][0][column]);
  EXPECT_EQ(kUndoStudentEdit, gUndoAction);
  EXPECT_EQ(1, gChanged);
  Str255 text;
  GetMenuItemText(GetMenuHandle(kFootnotesMenu), 5, text);
  EXPECT_EQ("3. Makeup", text.str());
  EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(kFootnotesMenu), 6)) << "no text, no item";

  CantUndo();
  ScriptPopUpChoice(3 + 2);  // the checked one again
  PopUpFootnotes(where, row, column);
  EXPECT_EQ(kUndoNothing, gUndoAction);

  ScriptPopUpChoice(1);
  PopUpFootnotes(where, row, column);
  EXPECT_EQ(kNoMark, gFootnotes[row][0][column]);
  EXPECT_TRUE(Enabled(kEditMenu, kUndoItem));
  ASSERT_TRUE(Choose(kEditMenu, kUndoItem));
  EXPECT_EQ(2, gFootnotes[row][0][column]);
}

}  // namespace
