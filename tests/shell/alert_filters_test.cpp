// Alerts and filters: the model's alerts as standard alerts of their button sets, the
// keys each filter maps to buttons, and the document window kept drawn behind them.
#include <string>

#include "marktally/shell/dialogs/dialog_items.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;

TEST_F(DialogTest, EveryButtonSetShowsItsButtonsAfterTheArrowCursor) {
  struct Case {
    AlertKind kind;
    AlertButtons buttons;
    AlertType type;
    std::vector<std::string> texts;
    DialogItemIndex cancel;
  };
  const Case cases[] = {
      {kStopAlert, kAlertOK, kAlertStopAlert, {"OK", "", ""}, 2},
      {kCautionAlert, kAlertYesNo, kAlertCautionAlert, {"Yes", "No", ""}, 0},
      {kCautionAlert, kAlertRevertCancel, kAlertCautionAlert, {"Revert", "Cancel", ""}, 2},
      {kNoteAlert, kAlertSaveCancelDont, kAlertNoteAlert, {"Save", "Cancel", "Don't Save"}, 2},
  };
  for (const Case& c : cases) {
    SetThemeCursor(kThemeIBeamCursor);
    ExpectAlert(c.type, "Title", "The text.", 2);
    EXPECT_EQ(ShowModelAlert(c.kind, c.buttons, PStr("Title"), PStr("The text.")), 2);
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts.back().buttons, c.texts);
    EXPECT_EQ(alerts.back().defaultButton, 1);
    EXPECT_EQ(alerts.back().cancelButton, c.cancel);
    EXPECT_EQ(CurrentThemeCursor(), kThemeArrowCursor);
  }
}

TEST_F(DialogTest, EachFilterMapsItsKeys) {
  LetAlertsRun();
  struct Key {
    unsigned char key;
    uint16_t modifiers;
  };
  struct Case {
    const char* name;
    AlertButtons buttons;
    std::vector<Key> keys;  // the last one answers; the ones before must do nothing
    int16_t answer;
  };
  const Key ret{kReturnCharCode, 0}, enter{kEnterCharCode, 0}, esc{kEscapeCharCode, 0};
  const Case cases[] = {
      {"OK: Return", kAlertOK, {ret}, 1},
      {"OK: Enter after a useless Escape", kAlertOK, {esc, enter}, 1},
      {"Yes/No: Return is Yes, Escape nothing", kAlertYesNo, {esc, ret}, 1},
      {"Revert: Escape cancels", kAlertRevertCancel, {esc}, 2},
      {"Revert: Enter reverts", kAlertRevertCancel, {enter}, 1},
      {"Save: Return saves", kAlertSaveCancelDont, {ret}, 1},
      {"Save: Escape cancels", kAlertSaveCancelDont, {esc}, 2},
      {"Save: Command-D, plain D does nothing",
       kAlertSaveCancelDont,
       {{'d', 0}, {'D', 0}, {'d', cmdKey}},
       3},
      {"Save: Command-S", kAlertSaveCancelDont, {{'s', 0}, {'S', cmdKey}}, 1},
      {"Save: other command keys pass", kAlertSaveCancelDont, {{'x', cmdKey}, {'D', cmdKey}}, 3},
      {"Save: Command-Escape cancels", kAlertSaveCancelDont, {{kEscapeCharCode, cmdKey}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Key& k : c.keys) InjectKeyOnceShown(k.key, k.modifiers);
    const uint32_t before = TickCount();
    EXPECT_EQ(ShowModelAlert(kCautionAlert, c.buttons, PStr("Question"), PStr("")), c.answer);
    EXPECT_GE(TickCount() - before, 8u);  // the answering button flashed
    EventRecord e;
    EXPECT_FALSE(EventAvail(keyDownMask, &e));
    EXPECT_EQ(FrontWindow(), nullptr);
  }
}

TEST_F(DialogTest, TheDocumentWindowIsRedrawnAndDeactivatedBehindAnAlert) {
  WindowRef window = nullptr;
  const Rect bounds{60, 20, 500, 700};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
  ShowWindow(window);
  EventRecord e;
  while (GetNextEvent(everyEvent, &e)) {
    if (e.what == updateEvt) {
      BeginUpdate(window);
      EndUpdate(window);
    }
  }
  static WindowRef document;
  document = window;
  int updates = 0, deactivations = 0;
  SetMainWindowHandlers(MainWindowHandlers{window,
                                           [&] {
                                             BeginUpdate(document);
                                             ++updates;
                                             EndUpdate(document);
                                           },
                                           [&] { ++deactivations; }});
  LetAlertsRun();
  // Something uncovers the window while the alert waits; then Return answers.
  ModalFilterUPP uncover = [](DialogRef d, EventRecord* event, DialogItemIndex* item) {
    static int idle = 0;
    if (event->what == nullEvent && ++idle == 1) {
      const Rect r{0, 0, 100, 100};
      InvalWindowRect(document, &r);
    } else if (event->what == nullEvent && idle == 2) {
      InjectKey(kReturnCharCode, 0);  // once the window was redrawn
    }
    return AlertFilter(d, event, item);
  };
  AlertStdAlertParamRec params = gAlertParams;
  params.filterProc = uncover;
  DialogItemIndex item = 0;
  StandardAlert(kAlertNoteAlert, PStr("Note"), nullptr, &params, &item);
  EXPECT_EQ(item, 1);
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(deactivations, 1);  // the alert in front deactivated the window
  DisposeWindow(window);
}

TEST_F(DialogTest, TheEventFilterDragsByTheTitleBarAndPressesDefaultAndCancel) {
  CenterDialog(gFootnotesDialog);
  ShowDialog(gFootnotesDialog);
  Rect before, after;
  GetWindowBounds(GetDialogWindow(gFootnotesDialog), kWindowContentRgn, &before);
  const Point title{static_cast<int16_t>(before.top - 8), static_cast<int16_t>(before.left + 50)};
  ScriptMousePath(
      {title, Point{static_cast<int16_t>(title.v + 30), static_cast<int16_t>(title.h + 40)}}, 0);
  ScriptDialog(gFootnotesDialog, {KeyStep(kReturnCharCode)});
  DialogItemIndex item = 0;
  ModalDialog(gEventFilter, &item);
  EXPECT_EQ(item, 1);  // the drag was consumed without an item
  GetWindowBounds(GetDialogWindow(gFootnotesDialog), kWindowContentRgn, &after);
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 30);
  for (Point key : {Point{0, kEscapeCharCode}, Point{cmdKey, '.'}}) {
    ScriptDialog(gFootnotesDialog,
                 {KeyStep(static_cast<unsigned char>(key.h), static_cast<uint16_t>(key.v))});
    ModalDialog(gEventFilter, &item);
    EXPECT_EQ(item, 2);
  }
  // The e-mail addresses dialog has no Cancel: Escape does nothing there.
  ShowDialog(gEmailDialog);
  ScriptDialog(gEmailDialog, {KeyStep(kEscapeCharCode), KeyStep(kEnterCharCode)});
  ModalDialog(gEventFilter, &item);
  EXPECT_EQ(item, 1);
}

}  // namespace
