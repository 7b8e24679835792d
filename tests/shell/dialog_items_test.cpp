// The dialog item utilities: texts cut to 255 bytes, check boxes and radio buttons,
// password texts, focus, dates at noon, titles, user items and centring.
#include "marktally/shell/dialogs/dialog_items.h"

#include <string>

#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::MacDate;

constexpr int16_t kClockDialogID = 400;

class DialogItemsTest : public DialogTest {
 protected:
  // A dialog of the given size with a clock (item 3) and an edit text (item 4).
  DialogRef MakeDialog(int width, int height) {
    DialogTemplate t;
    t.bounds = Rect{50, 50, static_cast<int16_t>(50 + height), static_cast<int16_t>(50 + width)};
    t.items = {ButtonItem(1, Rect{10, 10, 30, 80}, "OK"),
               ButtonItem(2, Rect{10, 90, 30, 160}, "Cancel"), ClockItem(3, Rect{40, 10, 62, 150}),
               EditTextItem(4, Rect{70, 10, 92, 150})};
    RegisterDialogTemplate(kClockDialogID, t);
    DialogRef d = GetNewDialog(kClockDialogID, nullptr, nullptr);
    SetDialogDefaultItem(d, 1);
    SetDialogCancelItem(d, 2);
    made_.push_back(d);
    return d;
  }
  void TearDown() override {
    for (DialogRef d : made_) DisposeDialog(d);
    DialogTest::TearDown();
  }
  std::vector<DialogRef> made_;
};

TEST_F(DialogItemsTest, AnEditTextOver255BytesReadsAsItsFirst255) {
  std::string comment;
  for (int i = 0; comment.size() < 300; ++i) comment += "Good work " + std::to_string(i) + ". ";
  TEHandle te = nullptr;
  GetTEHandle(gCommentsDialog, 2, te);
  ASSERT_NE(te, nullptr);
  TESetText(comment.data(), static_cast<int32_t>(comment.size()), te);
  Str255 text;
  GetEditText(gCommentsDialog, 2, text);
  EXPECT_EQ(text.length(), 255);
  EXPECT_EQ(text.str(), comment.substr(0, 255));
  SetEditText(gCommentsDialog, 2, PStr("Short"));
  GetEditText(gCommentsDialog, 2, text);
  EXPECT_EQ(text.str(), "Short");
  EXPECT_EQ(TEGetText(te), "Short");
}

TEST_F(DialogItemsTest, OnlyTheValueOneReadsAsChecked) {
  for (int16_t value : {0, 1, 2}) {
    SetCheckBox(gReportsDialog, 7, value);
    EXPECT_EQ(GetCheckBox(gReportsDialog, 7), value == 1) << value;
  }
  SetRadioButton(gExportHTMLDialog, 3, 1);
  EXPECT_TRUE(GetRadioButton(gExportHTMLDialog, 3));
  SetRadioButton(gExportHTMLDialog, 3, 0);
  EXPECT_FALSE(GetRadioButton(gExportHTMLDialog, 3));
}

TEST_F(DialogItemsTest, CenterDialogPlacesTheWindowAThirdDownBelowTheMenuBar) {
  struct Case {
    const char* name;
    Rect screen;
    int16_t menuBar;
    int width, height;
    int16_t left, top;
  };
  const Case cases[] = {
      {"the usual screen", {0, 0, 768, 1024}, 22, 400, 170, 312, 22 + 192 + 16},
      {"odd room truncates", {0, 0, 768, 1024}, 22, 401, 171, 311, 22 + 191 + 16},
      // The third of a negative room is negative, truncated toward zero: -55 / 3 = -18.
      {"taller than the room", {0, 0, 768, 1024}, 22, 300, 801, 362, 22 - 18 + 16},
      {"wider than the screen", {0, 0, 600, 800}, 20, 900, 100, -50, 20 + 160 + 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetScreenForTesting(c.screen, Rect{c.menuBar, 0, c.screen.bottom, c.screen.right}, c.menuBar);
    DialogRef d = MakeDialog(c.width, c.height);
    CenterDialog(d);
    Rect bounds;
    GetWindowBounds(GetDialogWindow(d), kWindowContentRgn, &bounds);
    EXPECT_EQ(bounds.left, c.left);
    EXPECT_EQ(bounds.top, c.top);
    EXPECT_EQ(bounds.right - bounds.left, c.width);
  }
  // Centring does not show or activate the window.
  EXPECT_EQ(FrontWindow(), nullptr);
  EventRecord e;
  EXPECT_FALSE(EventAvail(activMask, &e));
}

TEST_F(DialogItemsTest, DatesReadBackAtNoon) {
  DialogRef d = MakeDialog(300, 120);
  uint32_t seconds = 0;
  SetItemDate(d, 3, MacDate(2026, 9, 8, 8, 30, 15));
  GetItemDate(d, 3, seconds);
  EXPECT_EQ(seconds, MacDate(2026, 9, 8, 12, 0, 0));
  SetItemDate(d, 3, MacDate(2027, 6, 30, 23, 59, 59));
  GetItemDate(d, 3, seconds);
  EXPECT_EQ(seconds, MacDate(2027, 6, 30));
  // A date typed into the clock reads at noon too.
  SetDateFocus(d, 3);
  EXPECT_EQ(GetDialogKeyboardFocusItem(d), 3);
  ShowDialog(d);
  ScriptDialog(d, {KeyStep(kRightArrowCharCode), KeyStep('1'), KeyStep('2'), ClickStep(1)});
  DialogItemIndex item;
  do {
    ModalDialog(gEventFilter, &item);
  } while (item != 1);
  GetItemDate(d, 3, seconds);
  EXPECT_EQ(seconds, MacDate(2027, 6, 12));
}

TEST_F(DialogItemsTest, PasswordItemsGiveTheirClearText) {
  SetPWText(gServerDialog, 7, PStr("s3cret Pass"));
  Str255 text;
  GetPWText(gServerDialog, 7, text);
  EXPECT_EQ(text.str(), "s3cret Pass");
  GetEditText(gServerDialog, 7, text);  // what the item shows
  EXPECT_EQ(text.str(), std::string(11, '\xA5'));
  SetPWFocus(gServerDialog, 7);
  EXPECT_EQ(GetDialogKeyboardFocusItem(gServerDialog), 7);
  SetEditFocus(gServerDialog, 3);
  EXPECT_EQ(GetDialogKeyboardFocusItem(gServerDialog), 3);
  TEHandle te = nullptr;
  GetTEHandle(gServerDialog, 7, te);
  EXPECT_FALSE(te->active);  // the focus left it
}

TEST_F(DialogItemsTest, DimmedItemsReportNoClicks) {
  ControlOff(gAssignSeatsDialog, 9);
  ShowDialog(gAssignSeatsDialog);
  ScriptDialog(gAssignSeatsDialog, {ClickStep(9), ClickStep(10)});
  DialogItemIndex item = 0;
  ModalDialog(gEventFilter, &item);
  EXPECT_EQ(item, 10);
  ControlOn(gAssignSeatsDialog, 9);
  ScriptDialog(gAssignSeatsDialog, {ClickStep(9)});
  ModalDialog(gEventFilter, &item);
  EXPECT_EQ(item, 9);
}

TEST_F(DialogItemsTest, TitlesStaticTextsAndUserProcedures) {
  SetItemTitle(gExportTextDialog, 18, PStr("Quarter percents"));
  ControlRef box;
  GetDialogItemAsControl(gExportTextDialog, 18, &box);
  Str255 title;
  GetControlTitle(box, title);
  EXPECT_EQ(title.str(), "Quarter percents");

  SetStaticText(gCurveDialog, 5, PStr("20 points"));
  ControlRef text;
  GetDialogItemAsControl(gCurveDialog, 5, &text);
  char buffer[32];
  int32_t size = 0;
  GetControlData(text, 0, kControlStaticTextTextTag, sizeof buffer, buffer, &size);
  EXPECT_EQ(std::string(buffer, size), "20 points");

  static int drawn;
  drawn = 0;
  SetUserProc(gAboutDialog, 3, NewUserItemUPP([](DialogRef, DialogItemIndex) { ++drawn; }));
  DialogItemType kind;
  Handle handle;
  Rect before, after;
  GetDialogItem(gAboutDialog, 3, &kind, &handle, &before);
  DrawDialog(gAboutDialog);
  GetDialogItem(gAboutDialog, 3, &kind, &handle, &after);
  EXPECT_EQ(kind, kUserDialogItem);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_GE(drawn, 1);
}

}  // namespace
