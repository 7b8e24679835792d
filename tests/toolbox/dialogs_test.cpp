// Dialogs: layouts made into items, the modal loop with filters and scripts, the
// standard handling of clicks and keys, panels, clocks, user items and dialog windows.
#include <string>
#include <vector>

#include "marktally/common/platform.h"
#include "toolbox_fixture.h"

namespace {

constexpr int16_t kSampleID = 300;
constexpr int16_t kPanelID = 301;
constexpr int16_t kFormatMenu = 250;

Rect At(int left, int top, int width, int height) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left),
              static_cast<int16_t>(top + height), static_cast<int16_t>(left + width)};
}

class DialogTest : public ToolboxTest {
 protected:
  void SetUp() override {
    ToolboxTest::SetUp();
    MenuRef menu = NewMenu(kFormatMenu, PStr(""));
    AppendMenuItemText(menu, PStr("Tab-delimited"));
    AppendMenuItemText(menu, PStr("Comma-separated"));
    InsertMenu(menu, -1);
    DialogTemplate t;
    t.bounds = At(100, 100, 420, 260);
    t.title = "Sample";
    t.items = {ButtonItem(1, At(320, 220, 80, 20), "OK"),
               ButtonItem(2, At(220, 220, 80, 20), "Cancel"),
               EditTextItem(3, At(120, 20, 280, 22), "Quiz"),
               PasswordItem(4, At(120, 50, 280, 22)),
               CheckBoxItem(5, At(20, 80, 200, 18), "Remember"),
               RadioButtonItem(6, At(20, 100, 200, 18), "Alphabetically"),
               PopUpItem(7, At(20, 124, 300, 20), "Format:", 70, kFormatMenu),
               ClockItem(8, At(20, 152, 150, 22)),
               StaticTextItem(9, At(20, 22, 96, 18), "Name:"),
               UserItem(10, At(240, 80, 40, 40), true)};
    RegisterDialogTemplate(kSampleID, t);
    RegisterItemList(kPanelID, {EditTextItem(0, At(20, 190, 100, 22), "panel"),
                                CheckBoxItem(0, At(140, 190, 120, 18), "Extra")});
    dialog = GetNewDialog(kSampleID, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    SetDialogDefaultItem(dialog, 1);
    SetDialogCancelItem(dialog, 2);
  }
  ControlRef Item(DialogItemIndex item) {
    ControlRef c = nullptr;
    EXPECT_EQ(noErr, GetDialogItemAsControl(dialog, item, &c));
    return c;
  }
  std::string Text(DialogItemIndex item, ResType tag = kControlEditTextTextTag) {
    char buffer[600];
    int32_t size = 0;
    GetControlData(Item(item), 0, tag, sizeof buffer, buffer, &size);
    return std::string(buffer, static_cast<size_t>(std::min<int32_t>(size, sizeof buffer)));
  }
  // Shows the dialog and runs its loop once with the filter.
  DialogItemIndex Run(ModalFilterUPP filter = nullptr) {
    ShowWindow(GetDialogWindow(dialog));
    DialogItemIndex item = -1;
    ModalDialog(filter, &item);
    return item;
  }
  DialogRef dialog = nullptr;
};

TEST_F(DialogTest, ALayoutBecomesNumberedItemsOfEachKind) {
  EXPECT_EQ(CountDITL(dialog), 10);
  const DialogItemType kinds[] = {kButtonDialogItem,      kButtonDialogItem,
                                  kEditTextDialogItem,    kPasswordTextDialogItem,
                                  kCheckBoxDialogItem,    kRadioButtonDialogItem,
                                  kPopupButtonDialogItem, kClockDialogItem,
                                  kStaticTextDialogItem,  kUserDialogItem};
  for (DialogItemIndex i = 1; i <= 10; ++i) {
    DialogItemType kind;
    Handle handle;
    Rect box;
    GetDialogItem(dialog, i, &kind, &handle, &box);
    EXPECT_EQ(kind, kinds[i - 1]) << "item " << i;
    EXPECT_EQ(handle, static_cast<Handle>(i == 10 ? nullptr : Item(i)));
  }
  EXPECT_FALSE(IsDialogItemEnabled(dialog, 9));  // static text reports nothing
  EXPECT_EQ(Text(3), "Quiz");
  EXPECT_EQ(GetControlMaximum(Item(5)), 2);           // room for the mixed state
  EXPECT_NE(FrontWindow(), GetDialogWindow(dialog));  // made hidden
  EXPECT_EQ(GetDialogFromWindow(GetDialogWindow(dialog)), dialog);
  EXPECT_EQ(GetNewDialog(999, nullptr, nullptr), nullptr);
}

TEST_F(DialogTest, ReturnAndEnterPressTheDefaultItemEscapeAndCommandPeriodTheCancelItem) {
  struct Case {
    unsigned char key;
    uint16_t modifiers;
    DialogItemIndex item;
  };
  ShowWindow(GetDialogWindow(dialog));
  for (const Case& c : {Case{kReturnCharCode, 0, 1}, Case{kEnterCharCode, 0, 1},
                        Case{kEscapeCharCode, 0, 2}, Case{'.', cmdKey, 2}}) {
    InjectKey(c.key, c.modifiers);
    EXPECT_EQ(Run(), c.item) << "key " << int(c.key);
  }
  // A dimmed default button does not answer.
  DeactivateControl(Item(1));
  ScriptDialog(dialog, {KeyStep(kReturnCharCode), ClickStep(2)});
  EXPECT_EQ(Run(), 2);
}

TEST_F(DialogTest, KeysTypedBeforeTheDialogShowsNeverAnswerItAndComeBackAfter) {
  // Typed ahead for the grid: a score and Return, then the dialog comes up.
  InjectKey('7', 0);
  InjectKey(kReturnCharCode, 0);
  InjectKeyOnceShown(kEscapeCharCode, 0);
  EXPECT_EQ(Run(), 2) << "only the key typed with the dialog in sight answers";
  EventRecord e;
  EXPECT_FALSE(EventAvail(keyDownMask | autoKeyMask, &e));
  // A click queued behind the held keys stays behind them once the dialog goes.
  PostEvent(mouseDown, 0);
  HideWindow(GetDialogWindow(dialog));
  std::vector<unsigned> back;
  while (GetNextEvent(keyDownMask | mDownMask, &e))
    back.push_back(e.what == keyDown ? static_cast<unsigned>(e.message & charCodeMask) : 0x100u);
  EXPECT_EQ(back, (std::vector<unsigned>{'7', kReturnCharCode, 0x100u}))
      << "the keys typed ahead come back, in order, for what was in front before";
  // A dialog already in sight keeps what is typed into it.
  ShowWindow(GetDialogWindow(dialog));
  InjectKey(kReturnCharCode, 0);
  EXPECT_EQ(Run(), 1);
}

TEST_F(DialogTest, AScriptTypesAndClicksThroughTheFilter) {
  std::vector<std::string> seen;
  static std::vector<std::string>* log;
  log = &seen;
  ModalFilterUPP filter = [](DialogRef, EventRecord* e, DialogItemIndex*) {
    if (e->what == keyDown) log->push_back(std::string(1, static_cast<char>(e->message & 0xFF)));
    if (e->what == mouseDown) log->push_back("click");
    return false;
  };
  ScriptDialog(dialog, {TypeStep(3, "Test 2"), ClickStep(1)});
  DialogItemIndex item;
  do {
    item = Run(filter);
  } while (item == 3);  // keys into the text report the item
  EXPECT_EQ(item, 1);
  EXPECT_EQ(Text(3), "Test 2");
  EXPECT_EQ(seen.front(), "click");
  EXPECT_EQ(seen.back(), "click");
  EXPECT_EQ(seen.size(), 1u + 1 + 6 + 1);  // click, Command-A, six keys, click
  EXPECT_EQ(PendingDialogSteps(dialog), 0u);
}

TEST_F(DialogTest, ClicksReportCheckBoxesWithoutChangingThem) {
  SetControlValue(Item(5), 2);
  ScriptDialog(dialog, {ClickStep(5)});
  EXPECT_EQ(Run(), 5);
  EXPECT_EQ(GetControlValue(Item(5)), 2);
  ScriptDialog(dialog, {ClickStep(6)});
  EXPECT_EQ(Run(), 6);
  EXPECT_EQ(GetControlValue(Item(6)), 0);
  // Dimmed items and static text report nothing.
  DeactivateControl(Item(5));
  ScriptDialog(dialog, {ClickStep(5), ClickStep(9), ClickStep(10)});
  EXPECT_EQ(Run(), 10);
}

TEST_F(DialogTest, APopUpReportsTheChosenItem) {
  ScriptDialog(dialog, {ChooseStep(7, 2)});
  EXPECT_EQ(Run(), 7);
  EXPECT_EQ(GetControlValue(Item(7)), 2);
  PopUpRequest request;
  ASSERT_TRUE(LastPopUpRequest(&request));
  EXPECT_EQ(request.menuID, kFormatMenu);
  EXPECT_EQ(request.popUpItem, 1);
  // Dismissing the menu reports nothing.
  ScriptDialog(dialog, {ChooseStep(7, 0), ClickStep(2)});
  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(GetControlValue(Item(7)), 2);
}

TEST_F(DialogTest, TabMovesTheFocusBetweenTextsAndClocks) {
  SetKeyboardFocus(GetDialogWindow(dialog), Item(3), kControlEditTextPart);
  EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), 3);
  TEHandle te = nullptr;
  GetControlData(Item(3), 0, kControlEditTextTEHandleTag, sizeof te, &te, nullptr);
  ASSERT_NE(te, nullptr);
  EXPECT_EQ(te->selEnd - te->selStart, 4);  // focus selects all
  const std::vector<DialogItemIndex> forward{4, 8, 3};
  for (DialogItemIndex expected : forward) {
    ScriptDialog(dialog, {KeyStep(kTabCharCode), ClickStep(2)});
    Run();
    EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), expected);
  }
  ScriptDialog(dialog, {KeyStep(kTabCharCode, shiftKey), ClickStep(2)});
  Run();
  EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), 8);
  // A dimmed text is passed over.
  DeactivateControl(Item(4));
  ScriptDialog(dialog, {KeyStep(kTabCharCode), KeyStep(kTabCharCode), ClickStep(2)});
  Run();
  EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), 8);
}

TEST_F(DialogTest, CommandKeysCutCopyAndPasteInTheFocusedText) {
  SetKeyboardFocus(GetDialogWindow(dialog), Item(3), kControlEditTextPart);
  ScriptDialog(dialog,
               {KeyStep('x', cmdKey), KeyStep('v', cmdKey), KeyStep('v', cmdKey), ClickStep(2)});
  Run();
  EXPECT_EQ(Text(3), "QuizQuiz");
  std::string clip;
  ASSERT_TRUE(GetScrapText(&clip));
  EXPECT_EQ(clip, "Quiz");
  PutScrapText("Exam");
  SelectDialogItemText(dialog, 3, 0, 4);
  ScriptDialog(dialog, {KeyStep('v', cmdKey), ClickStep(2)});
  Run();
  EXPECT_EQ(Text(3), "ExamQuiz");
}

TEST_F(DialogTest, APasswordItemKeepsItsClearText) {
  ScriptDialog(dialog, {TypeStep(4, "Owl-7"), ClickStep(1)});
  while (Run() != 1) {
  }
  EXPECT_EQ(Text(4, kControlEditTextPasswordTag), "Owl-7");
  EXPECT_EQ(Text(4), std::string(5, '\xA5'));
}

TEST_F(DialogTest, ModalLoopsNest) {
  // The outer dialog's filter opens an alert-like second dialog on a key and goes on.
  static DialogRef inner;
  inner = GetNewDialog(kSampleID, nullptr, nullptr);
  SetDialogDefaultItem(inner, 1);
  SetDialogCancelItem(inner, 2);
  static DialogItemIndex innerAnswer;
  innerAnswer = 0;
  ModalFilterUPP filter = [](DialogRef, EventRecord* e, DialogItemIndex*) {
    if (e->what != keyDown || (e->message & 0xFF) != 'n') return false;
    ShowWindow(GetDialogWindow(inner));
    SelectWindow(GetDialogWindow(inner));
    do {
      ModalDialog(nullptr, &innerAnswer);
    } while (innerAnswer != 1 && innerAnswer != 2);
    HideWindow(GetDialogWindow(inner));
    return true;  // consumed, no item: the outer loop goes on
  };
  ScriptDialog(inner, {TypeStep(3, "inner"), KeyStep(kEscapeCharCode)});
  ScriptDialog(dialog, {KeyStep('n', cmdKey), ClickStep(1)});
  EXPECT_EQ(Run(filter), 1);
  EXPECT_EQ(innerAnswer, 2);
  EXPECT_EQ(PendingDialogSteps(inner), 0u);
  EXPECT_EQ(FrontWindow(), GetDialogWindow(dialog));
  DisposeDialog(inner);
}

TEST_F(DialogTest, TheDocumentWindowStillGetsItsUpdatesBehindTheDialog) {
  WindowRef doc = NewDocumentWindow(At(0, 40, 300, 200));
  static WindowRef document;
  static int redraws;
  document = doc;
  redraws = 0;
  ModalFilterUPP filter = [](DialogRef, EventRecord* e, DialogItemIndex*) {
    if (e->what == updateEvt && e->message == reinterpret_cast<uintptr_t>(document)) {
      BeginUpdate(document);
      ++redraws;
      EndUpdate(document);
    }
    return false;
  };
  ScriptDialog(dialog, {CheckStep([doc](DialogRef) {
                          const Rect r{0, 0, 50, 50};
                          InvalWindowRect(doc, &r);
                        }),
                        ClickStep(2)});
  EXPECT_EQ(Run(filter), 2);
  EXPECT_GE(redraws, 2);  // the first showing and the uncovered part
  EventRecord e;
  EXPECT_FALSE(EventAvail(updateMask, &e));
  // A click in the document window while the dialog is up only beeps.
  const int beeps = BeepCount();
  ScriptMouseClick(Point{60, 10}, 0);
  ScriptDialog(dialog, {ClickStep(2)});
  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST_F(DialogTest, ShowingAndHidingADialogMovesTheActivation) {
  WindowRef doc = NewDocumentWindow(At(0, 40, 300, 200));
  EventRecord e;
  while (GetNextEvent(activMask, &e)) {
  }
  WindowRef w = GetDialogWindow(dialog);
  ShowWindow(w);
  EXPECT_EQ(FrontWindow(), w);
  ASSERT_TRUE(GetNextEvent(activMask, &e));
  EXPECT_EQ(e.message, reinterpret_cast<uintptr_t>(doc));
  EXPECT_FALSE(e.modifiers & activeFlag);
  ASSERT_TRUE(GetNextEvent(activMask, &e));
  EXPECT_EQ(e.message, reinterpret_cast<uintptr_t>(w));
  EXPECT_TRUE(e.modifiers & activeFlag);
  HideWindow(w);
  EXPECT_EQ(FrontWindow(), doc);
  ASSERT_TRUE(GetNextEvent(activMask, &e));
  EXPECT_EQ(e.message, reinterpret_cast<uintptr_t>(doc));
  EXPECT_TRUE(e.modifiers & activeFlag);
}

TEST_F(DialogTest, FindWindowSeesTheDialogAndItsTitleBar) {
  WindowRef w = GetDialogWindow(dialog);
  ShowWindow(w);
  WindowRef found = nullptr;
  EXPECT_EQ(FindWindow(Point{110, 110}, &found), inContent);
  EXPECT_EQ(found, w);
  EXPECT_EQ(FindWindow(Point{90, 110}, &found), inDrag);
  EXPECT_EQ(found, w);
  EXPECT_EQ(FindWindow(Point{110, 90}, &found), inDesk);
  // Dragging by the title bar moves the window.
  ScriptMousePath({Point{90, 150}, Point{140, 170}, Point{190, 230}}, 0);
  EventRecord e;
  ASSERT_TRUE(GetNextEvent(mDownMask, &e));
  DialogRef hit = nullptr;
  DialogItemIndex item = 0;
  EXPECT_FALSE(DialogSelect(&e, &hit, &item));
  Rect bounds;
  GetWindowBounds(w, kWindowContentRgn, &bounds);
  EXPECT_TRUE(SameRect(bounds, At(180, 200, 420, 260)));
}

TEST_F(DialogTest, PanelsAreAppendedAfterTheLastItemAndRemovedFromTheEnd) {
  SetKeyboardFocus(GetDialogWindow(dialog), Item(3), kControlEditTextPart);
  AppendDialogItemList(dialog, kPanelID, overlayDITL);
  EXPECT_EQ(CountDITL(dialog), 12);
  DialogItemType kind;
  Handle handle;
  Rect box;
  GetDialogItem(dialog, 11, &kind, &handle, &box);
  EXPECT_EQ(kind, kEditTextDialogItem);
  EXPECT_TRUE(SameRect(box, At(20, 190, 100, 22)));
  EXPECT_EQ(Text(11), "panel");
  SetKeyboardFocus(GetDialogWindow(dialog), Item(11), kControlEditTextPart);
  ScriptDialog(dialog, {ClickStep(12)});
  EXPECT_EQ(Run(), 12);
  ShortenDITL(dialog, 2);
  EXPECT_EQ(CountDITL(dialog), 10);
  EXPECT_EQ(GetDialogKeyboardFocusItem(dialog), 0);  // the focus went with its item
  AppendDialogItemList(dialog, kPanelID, overlayDITL);
  EXPECT_EQ(CountDITL(dialog), 12);
}

TEST_F(DialogTest, ATabControlTakesClicksOnItsTabsAndLeavesItsPaneToThePanel) {
  DialogTemplate t;
  t.bounds = At(100, 100, 420, 260);
  t.items = {ButtonItem(1, At(320, 220, 80, 20), "OK"),
             ButtonItem(2, At(220, 220, 80, 20), "Cancel"),
             TabsItem(3, At(10, 10, 400, 200), {"One", "Two"})};
  RegisterDialogTemplate(kSampleID + 2, t);
  DialogRef tabbed = GetNewDialog(kSampleID + 2, nullptr, nullptr);
  ASSERT_NE(tabbed, nullptr);
  AppendDialogItemList(tabbed, kPanelID, overlayDITL);  // an edit text and a check box
  ShowWindow(GetDialogWindow(tabbed));
  ScriptDialog(tabbed, {ClickStep(5)});
  DialogItemIndex item = 0;
  ModalDialog(nullptr, &item);
  EXPECT_EQ(item, 5) << "the check box inside the pane";
  ControlRef tabs = nullptr;
  GetDialogItemAsControl(tabbed, 3, &tabs);
  int second = 0;
  for (int h = 10; h < 410 && !second; h++) {
    ControlRef hit = nullptr;
    if (FindControl(Point{21, static_cast<int16_t>(h)}, GetDialogWindow(tabbed), &hit) == 2)
      second = h + 2;
  }
  ASSERT_GT(second, 0);
  ScriptDialog(tabbed, {ClickAtStep(3, Point{11, static_cast<int16_t>(second - 10)})});
  ModalDialog(nullptr, &item);
  EXPECT_EQ(item, 3);
  EXPECT_EQ(GetControlValue(tabs), 2);
  DisposeDialog(tabbed);
}

TEST_F(DialogTest, AClockEditsItsDateByParts) {
  RegionDateFormat region;
  region.shortOrder = 0;  // month/day/year
  SetRegionDateFormatForTesting(&region);
  DateTimeRec date{};
  date.year = 2026;
  date.month = 1;
  date.day = 31;
  ControlRef clock = Item(8);
  ASSERT_EQ(noErr, SetControlData(clock, 0, kControlClockLongDateTag, sizeof date, &date));
  SetKeyboardFocus(GetDialogWindow(dialog), clock, 1);  // the month
  HandleControlKey(clock, kUpArrowCharCode, 0);         // February has no 31st
  DateTimeRec now{};
  GetControlData(clock, 0, kControlClockLongDateTag, sizeof now, &now, nullptr);
  EXPECT_EQ(now.month, 2);
  EXPECT_EQ(now.day, 28);
  HandleControlKey(clock, kRightArrowCharCode, 0);  // the day
  HandleControlKey(clock, '1', 0);
  HandleControlKey(clock, '4', 0);
  HandleControlKey(clock, kRightArrowCharCode, 0);  // the year
  for (char c : std::string("2027")) HandleControlKey(clock, static_cast<unsigned char>(c), 0);
  GetControlData(clock, 0, kControlClockLongDateTag, sizeof now, &now, nullptr);
  EXPECT_EQ(now.day, 14);
  EXPECT_EQ(now.year, 2027);
  HandleControlKey(clock, kDownArrowCharCode, 0);
  GetControlData(clock, 0, kControlClockLongDateTag, sizeof now, &now, nullptr);
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(errDataNotSupported,
            SetControlData(Item(5), 0, kControlClockLongDateTag, sizeof date, &date));
  SetRegionDateFormatForTesting(nullptr);
}

TEST_F(DialogTest, AUserItemDrawsWithItsProcedure) {
  static int drawn;
  drawn = 0;
  UserItemUPP proc = NewUserItemUPP([](DialogRef d, DialogItemIndex item) {
    ++drawn;
    Rect box;
    DialogItemType kind;
    Handle handle;
    GetDialogItem(d, item, &kind, &handle, &box);
    PaintRect(&box);
  });
  DialogItemType kind;
  Handle handle;
  Rect box;
  GetDialogItem(dialog, 10, &kind, &handle, &box);
  SetDialogItem(dialog, 10, kind, proc, &box);
  EXPECT_EQ(drawn, 1);
  GetDialogItem(dialog, 10, &kind, &handle, &box);
  EXPECT_EQ(handle, static_cast<Handle>(proc));
  DrawDialog(dialog);
  EXPECT_EQ(drawn, 2);
  EXPECT_EQ(CountBlack(GetDialogPort(dialog), box),
            (box.right - box.left) * (box.bottom - box.top));
}

TEST_F(DialogTest, AStuckHeadlessLoopAsksItsHandler) {
  SetModalStuckHandler([this](DialogRef d) {
    EXPECT_EQ(d, dialog);
    return DialogItemIndex{2};
  });
  EXPECT_EQ(Run(), 2);
}

}  // namespace
