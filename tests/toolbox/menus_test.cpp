// Menus: the model, its mirror in the frame's menu bar, enabling before every choice,
// command keys, choices from the menu bar and pop-up menus.
#include <gtest/gtest.h>

#include "toolbox_fixture.h"

namespace {

enum : int16_t { kFile = 129, kEdit = 130, kExport = 148, kFootnotes = 136 };

// What the program's enabling routine decides, set by each test.
bool gCanSave = true;
bool gEditMenu = true;
int gEnablingRuns = 0;
void AdjustTestMenus() {
  ++gEnablingRuns;
  MenuRef file = GetMenuHandle(kFile);
  if (gCanSave)
    EnableMenuItem(file, 3);
  else
    DisableMenuItem(file, 3);
  MenuRef edit = GetMenuHandle(kEdit);
  if (gEditMenu)
    EnableMenuItem(edit, 0);
  else
    DisableMenuItem(edit, 0);
}

class Menus : public ToolboxTest {
 protected:
  void SetUp() override {
    ToolboxTest::SetUp();
    gCanSave = true;
    gEditMenu = true;
    gEnablingRuns = 0;
    MenuRef file = NewMenu(kFile, PStr("File"));
    for (const char* item : {"New", "Open\xC9", "Save", "-", "Export", "Print & Mail"})
      AppendMenuItemText(file, PStr(item));
    SetItemCmd(file, 1, 'N');
    SetItemCmd(file, 3, 'S');
    SetMenuItemHierarchicalID(file, 5, kExport);
    MenuRef edit = NewMenu(kEdit, PStr("Edit"));
    for (const char* item : {"Undo", "-", "Cut", "Copy"}) AppendMenuItemText(edit, PStr(item));
    SetItemCmd(edit, 3, 'x');
    MenuRef exportMenu = NewMenu(kExport, PStr("Export"));
    AppendMenuItemText(exportMenu, PStr("Text\xC9"));
    AppendMenuItemText(exportMenu, PStr("Web Page\xC9"));
    SetItemCmd(exportMenu, 2, 'H');
    MenuRef notes = NewMenu(kFootnotes, PStr("Footnotes"));
    for (const char* item : {"Remove", "-", "1. Late", "2. Excused"})
      AppendMenuItemText(notes, PStr(item));
    InsertMenu(file, 0);
    InsertMenu(edit, 0);
    InsertMenu(exportMenu, -1);
    InsertMenu(notes, -1);
    SetMenuEnablingProc(AdjustTestMenus);
    DrawMenuBar();
  }

  // A choice made in the frame's menu bar, as the program's event loop takes it.
  int32_t ChooseInFrame(int16_t menu, int16_t item) {
    if (!TriggerFrameMenuItem(menu, item)) return -1;
    EventRecord e;
    EXPECT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
    WindowRef w = nullptr;
    EXPECT_EQ(inMenuBar, FindWindow(e.where, &w));
    return MenuSelect(e.where);
  }
};

TEST_F(Menus, FrameMirrorsTheModel) {
  EXPECT_EQ((std::vector<std::string>{"&File", "&Edit"}), FrameMenuTitles());
  std::string text;
  bool enabled = false, checked = true;
  ASSERT_TRUE(FrameMenuItem(kFile, 2, &text, &enabled, &checked));
  EXPECT_EQ("Open\xE2\x80\xA6", text);  // Mac Roman ellipsis
  EXPECT_TRUE(enabled);
  EXPECT_FALSE(checked);
  ASSERT_TRUE(FrameMenuItem(kFile, 3, &text, nullptr, nullptr));
  EXPECT_EQ("Save\tCtrl+S", text);
  ASSERT_TRUE(FrameMenuItem(kFile, 6, &text, nullptr, nullptr));
  EXPECT_EQ("Print && Mail", text);                                // not a mnemonic
  EXPECT_FALSE(FrameMenuItem(kFile, 4, &text, nullptr, nullptr));  // a separator
  ASSERT_TRUE(FrameMenuItem(kExport, 2, &text, nullptr, nullptr));
  EXPECT_EQ("Web Page\xE2\x80\xA6\tCtrl+H", text);

  MenuRef notes = GetMenuHandle(kFootnotes);
  CheckMenuItem(notes, 3, true);
  DisableMenuItem(notes, 4);
  SetMenuItemText(notes, 2, PStr("Late"));  // a separator no more
  ASSERT_TRUE(FrameMenuItem(kFootnotes, 3, &text, &enabled, &checked));
  EXPECT_TRUE(checked);
  ASSERT_TRUE(FrameMenuItem(kFootnotes, 4, &text, &enabled, &checked));
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(checked);
  EXPECT_TRUE(FrameMenuItem(kFootnotes, 2, &text, nullptr, nullptr));
  int16_t mark = 0;
  GetItemMark(notes, 3, &mark);
  EXPECT_EQ(checkMark, mark);

  DeleteMenu(kEdit);
  EXPECT_EQ((std::vector<std::string>{"&File"}), FrameMenuTitles());
}

TEST_F(Menus, ItemsAreEditedByNumber) {
  MenuRef m = GetMenuHandle(kFootnotes);
  EXPECT_EQ(4, CountMenuItems(m));
  InsertMenuItemText(m, PStr("3. Copied"), 4);
  AppendMenuItemText(m, PStr("item"));
  DeleteMenuItem(m, 1);
  DeleteMenuItem(m, 99);  // not there: nothing happens
  EXPECT_EQ(5, CountMenuItems(m));
  Str255 text;
  GetMenuItemText(m, 4, text);
  EXPECT_EQ("3. Copied", text.str());
  GetMenuItemText(m, 5, text);
  EXPECT_EQ("item", text.str());
  int16_t cmd = -1;
  GetItemCmd(GetMenuHandle(kFile), 3, &cmd);
  EXPECT_EQ('S', cmd);
}

TEST_F(Menus, OpeningAMenuOfTheBarRunsTheEnablingRoutineFirst) {
  gCanSave = false;
  OpenFrameMenu(kFile);
  EXPECT_EQ(1, gEnablingRuns);
  bool enabled = true;
  ASSERT_TRUE(FrameMenuItem(kFile, 3, nullptr, &enabled, nullptr));
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(TriggerFrameMenuItem(kFile, 3));
  OpenFrameMenu(kFootnotes);  // a pop-up menu is the program's to adjust
  EXPECT_EQ(1, gEnablingRuns);
}

TEST_F(Menus, ChoiceInTheMenuBarArrivesAsAMenuBarClick) {
  EXPECT_EQ((kFile << 16) | 3, ChooseInFrame(kFile, 3));
  EXPECT_EQ((kExport << 16) | 2, ChooseInFrame(kExport, 2));  // through the submenu
  EXPECT_EQ((kEdit << 16) | 4, ChooseInFrame(kEdit, 4));

  // The state changed between the menu's opening and the choice: enabling runs again.
  ASSERT_TRUE(TriggerFrameMenuItem(kFile, 3));
  gCanSave = false;
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  const int runs = gEnablingRuns;
  EXPECT_EQ(0, MenuSelect(e.where));
  EXPECT_EQ(runs + 1, gEnablingRuns);

  // A click in the menu bar with no choice behind it chooses nothing.
  EXPECT_EQ(0, MenuSelect(Point{90, 100}));
}

TEST_F(Menus, CommandKeysFindEnabledItemsWhateverTheirCase) {
  const struct {
    unsigned char key;
    bool canSave, editMenu;
    int32_t choice;
  } cases[] = {
      {'s', true, true, (kFile << 16) | 3},
      {'S', true, true, (kFile << 16) | 3},
      {'n', true, true, (kFile << 16) | 1},
      {'X', true, true, (kEdit << 16) | 3},
      {'h', true, true, (kExport << 16) | 2},  // in a submenu of the bar
      {'s', false, true, 0},                   // disabled by the enabling routine
      {'x', true, false, 0},                   // its whole menu disabled
      {'q', true, true, 0},                    // no such key
  };
  for (const auto& c : cases) {
    gCanSave = c.canSave;
    gEditMenu = c.editMenu;
    EXPECT_EQ(c.choice, MenuKey(c.key)) << c.key;
  }
  DisableMenuItem(GetMenuHandle(kFile), 5);  // the submenu's item
  gCanSave = true;
  EXPECT_EQ(0, MenuKey('h'));
}

TEST_F(Menus, PopUpAnswersTheScriptedItem) {
  MenuRef notes = GetMenuHandle(kFootnotes);
  DisableMenuItem(notes, 4);
  const struct {
    int16_t answer;
    int32_t choice;
  } cases[] = {
      {3, (kFootnotes << 16) | 3},
      {0, 0},  // dismissed
      {4, 0},  // disabled
      {2, 0},  // a separator
      {9, 0},  // no such item
  };
  for (const auto& c : cases) {
    ScriptPopUpChoice(c.answer);
    EXPECT_EQ(c.choice, PopUpMenuSelect(notes, 120, 300, 1)) << c.answer;
  }
  PopUpRequest request;
  ASSERT_TRUE(LastPopUpRequest(&request));
  EXPECT_EQ(kFootnotes, request.menuID);
  EXPECT_EQ(120, request.top);
  EXPECT_EQ(300, request.left);
  EXPECT_EQ(1, request.popUpItem);
  // Headless and unscripted, a pop-up menu chooses nothing.
  EXPECT_EQ(0, PopUpMenuSelect(notes, 0, 0, 1));
}

}  // namespace
