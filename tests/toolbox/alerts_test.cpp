// Standard alerts, file dialogs and the keychain.
#include <cstdlib>
#include <map>
#include <string>

#include "toolbox_fixture.h"

namespace {

const unsigned char kSaveText[] = "\x04Save";

class AlertTest : public ToolboxTest {
 protected:
  // Runs a real alert (no responder answers) and keeps what it showed.
  DialogItemIndex Show(AlertType type, const AlertStdAlertParamRec* params,
                       const char* explanation = "Some words.") {
    SetAlertResponder([this](const AlertShown& a) {
      shown = a;
      return DialogItemIndex{0};
    });
    SetModalStuckHandler([this](DialogRef d) {
      stuck = true;
      iconColors.clear();
      for (int y = 20; y < 52; ++y)
        for (int x = 20; x < 52; ++x) ++iconColors[GetPortPixel(GetDialogPort(d), x, y)];
      return DialogItemIndex{0};
    });
    DialogItemIndex item = 0;
    const Str255 text = PStr(explanation ? explanation : "");
    EXPECT_EQ(noErr, StandardAlert(type, PStr("A message"),
                                   explanation ? static_cast<ConstStringPtr>(text) : nullptr,
                                   params, &item));
    return item;
  }
  AlertShown shown{};
  bool stuck = false;
  std::map<uint32_t, int> iconColors;  // of the last alert that waited
};

TEST_F(AlertTest, TheButtonSetsAndTheirKeys) {
  AlertStdAlertParamRec ok;
  GetStandardAlertDefaultParams(&ok, 0);
  AlertStdAlertParamRec three = ok;
  three.defaultText = kSaveText;
  three.cancelText = kAlertDefaultCancelText;
  three.otherText = kAlertDefaultOtherText;
  three.cancelButton = 2;
  struct Case {
    const char* name;
    const AlertStdAlertParamRec* params;
    unsigned char key;
    DialogItemIndex expected;
    std::vector<std::string> buttons;
  };
  const Case cases[] = {
      {"OK answers Return", &ok, kReturnCharCode, 1, {"OK", "", ""}},
      {"three buttons, Return saves", &three, kEnterCharCode, 1, {"Save", "Cancel", "Don't Save"}},
      {"three buttons, Escape cancels",
       &three,
       kEscapeCharCode,
       2,
       {"Save", "Cancel", "Don't Save"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InjectKeyOnceShown(c.key, 0);
    EXPECT_EQ(Show(kAlertCautionAlert, c.params), c.expected);
    EXPECT_FALSE(stuck);
    EXPECT_EQ(shown.buttons, c.buttons);
    EXPECT_EQ(shown.type, kAlertCautionAlert);
    EXPECT_EQ(shown.message, "A message");
  }
  // Escape with no cancel button leaves the alert up.
  InjectKeyOnceShown(kEscapeCharCode, 0);
  EXPECT_EQ(Show(kAlertStopAlert, &ok), 1);  // answered by the stuck handler's default
  EXPECT_TRUE(stuck);
  EXPECT_EQ(FrontWindow(), nullptr);  // the alert went away with its answer
}

// The desktop's title bar reads the program's name; its close button is Cancel where
// there is one, and is not offered (nor obeyed) where there is none.
TEST_F(AlertTest, TheTitleBarReadsMarktallyAndItsCloseButtonIsCancel) {
  static const unsigned char kYes[] = "\x03Yes";
  static const unsigned char kNo[] = "\x02No";
  static std::string title;
  static int closable;
  ModalFilterUPP closer = [](DialogRef d, EventRecord* e, DialogItemIndex* item) {
    if (e->what == nullEvent && closable < 0) {
      title = DialogWindowTitle(GetDialogWindow(d));
      closable = DialogCloseButton(GetDialogWindow(d)) ? 1 : 0;
      SendDialogClose(GetDialogWindow(d));
      return false;
    }
    ModalFilterUPP standard = nullptr;
    GetStdFilterProc(&standard);
    return standard(d, e, item);
  };
  AlertStdAlertParamRec okCancel;
  GetStandardAlertDefaultParams(&okCancel, 0);
  okCancel.cancelText = kAlertDefaultCancelText;
  okCancel.cancelButton = 2;
  okCancel.filterProc = closer;
  AlertStdAlertParamRec yesNo = okCancel;
  yesNo.defaultText = kYes;
  yesNo.cancelText = kNo;
  yesNo.cancelButton = 0;
  struct Case {
    const char* name;
    const AlertStdAlertParamRec* params;
    int closable;
    DialogItemIndex answer;
    bool stuck;
  } cases[] = {
      {"OK and Cancel: the close button cancels", &okCancel, 1, 2, false},
      {"Yes and No: no close button, the alert waits", &yesNo, 0, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    title.clear();
    closable = -1;
    stuck = false;
    EXPECT_EQ(c.answer, Show(kAlertCautionAlert, c.params));
    EXPECT_EQ("Marktally", title);
    EXPECT_EQ(c.closable, closable);
    EXPECT_EQ(c.stuck, stuck);
  }
}

TEST_F(AlertTest, TheOtherButtonIsClickedLeftOfTheText) {
  AlertStdAlertParamRec three;
  GetStandardAlertDefaultParams(&three, 0);
  three.defaultText = kSaveText;
  three.cancelText = kAlertDefaultCancelText;
  three.otherText = kAlertDefaultOtherText;
  // The alert is centred on the 1024 x 768 screen, 440 wide: its left edge is at 292.
  // "Don't Save" sits at the text's left (72), the default at the right.
  static Point click;
  SetAlertResponder([](const AlertShown&) { return DialogItemIndex{0}; });
  SetModalStuckHandler([](DialogRef) { return DialogItemIndex{0}; });
  // Click where the other button is, once the alert's window is known.
  ModalFilterUPP filter = [](DialogRef d, EventRecord* e, DialogItemIndex*) {
    if (e->what == nullEvent && click.h == 0) {
      Rect bounds;
      GetWindowBounds(GetDialogWindow(d), kWindowContentRgn, &bounds);
      ControlRef other = nullptr;
      GetDialogItemAsControl(d, 3, &other);
      Rect r;
      GetControlBounds(other, &r);
      click = Point{static_cast<int16_t>(bounds.top + r.top + 5),
                    static_cast<int16_t>(bounds.left + r.left + 5)};
      EXPECT_EQ(r.left, 72);
      ScriptMouseClick(click, 0);
    }
    return false;
  };
  click = Point{0, 0};
  three.filterProc = filter;
  DialogItemIndex item = 0;
  StandardAlert(kAlertCautionAlert, PStr("'Period 3' has been changed"), nullptr, &three, &item);
  EXPECT_EQ(item, 3);
}

TEST_F(AlertTest, EachKindDrawsItsIcon) {
  AlertStdAlertParamRec ok;
  GetStandardAlertDefaultParams(&ok, 0);
  const struct {
    AlertType type;
    uint32_t color;
  } kinds[] = {
      {kAlertStopAlert, 0xC81820}, {kAlertCautionAlert, 0xF8C810}, {kAlertNoteAlert, 0x2E60C8}};
  for (const auto& k : kinds) {
    Show(k.type, &ok, nullptr);
    ASSERT_TRUE(stuck);
    EXPECT_GT(iconColors[k.color], 200) << "alert type " << k.type;
    stuck = false;
  }
}

TEST_F(AlertTest, AResponderAnswersWithoutAWindow) {
  AlertStdAlertParamRec ok;
  GetStandardAlertDefaultParams(&ok, 0);
  std::vector<AlertShown> seen;
  SetAlertResponder([&](const AlertShown& a) {
    seen.push_back(a);
    return DialogItemIndex{1};
  });
  DialogItemIndex item = 0;
  StandardAlert(kAlertNoteAlert, PStr("Title"), nullptr, &ok, &item);
  EXPECT_EQ(item, 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].explanation, "");
  EXPECT_EQ(seen[0].defaultButton, 1);
  EXPECT_EQ(FrontWindow(), nullptr);
}

// ---- File dialogs -----------------------------------------------------------------

TEST_F(AlertTest, FileDialogsTakeScriptedAnswersAndKeepTheRequest) {
  NavDialogOptions options;
  options.windowTitle = "Multiple Class Report";
  options.message = "Hold down the shift key to select more than one class.";
  const NavObjectFilter mtb = [](const std::string& path, bool folder) {
    return folder || (path.size() > 4 && path.compare(path.size() - 4, 4, ".mtb") == 0);
  };
  std::vector<std::string> paths;
  ScriptNavAnswer(NavAnswer{false, {"/home/t/a.mtb", "/home/t/b.mtb"}, false});
  ASSERT_EQ(noErr, NavGetMultipleFiles(options, mtb, nullptr, &paths));
  EXPECT_EQ(paths.size(), 2u);
  NavRequest request;
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ(request.kind, NavRequest::kOpenMultiple);
  EXPECT_EQ(request.options.message, options.message);
  EXPECT_TRUE(request.filter("/x/Period 1.mtb", false));
  EXPECT_FALSE(request.filter("/x/notes.txt", false));

  std::string path;
  bool replacing = false;
  options.saveFileName = "untitled.mtb";
  ScriptNavAnswer(NavAnswer{false, {"/home/t/Period 2.mtb"}, true});
  ASSERT_EQ(noErr, NavPutFile(options, nullptr, &path, &replacing));
  EXPECT_EQ(path, "/home/t/Period 2.mtb");
  EXPECT_TRUE(replacing);
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ(request.options.saveFileName, "untitled.mtb");

  ScriptNavAnswer(NavAnswer{true, {}, false});
  EXPECT_EQ(userCanceledErr, NavChooseFolder(options, nullptr, &path));
  // With no answer left a headless dialog is cancelled.
  EXPECT_EQ(userCanceledErr, NavGetFile(options, mtb, nullptr, &path));
}

// ---- Keychain ---------------------------------------------------------------------

TEST_F(AlertTest, TheKeychainFindsAddsAndReplaces) {
  UseInMemoryKeychainForTesting(true);
  std::string password;
  KCItemRef item;
  EXPECT_EQ(errKCItemNotFound, KCFindGenericPassword("Marktally", "P1.mtb", &password, &item));
  EXPECT_EQ(noErr, KCAddGenericPassword("Marktally", "P1.mtb", "owl", &item));
  EXPECT_EQ(errKCDuplicateItem, KCAddGenericPassword("Marktally", "P1.mtb", "hawk", &item));
  ASSERT_EQ(noErr, KCFindGenericPassword("Marktally", "P1.mtb", &password, &item));
  EXPECT_EQ(password, "owl");
  EXPECT_EQ(noErr, KCSetData(item, "hawk"));
  KCFindGenericPassword("Marktally", "P1.mtb", &password, nullptr);
  EXPECT_EQ(password, "hawk");
  EXPECT_EQ(InMemoryKeychainItems().size(), 1u);
  UseInMemoryKeychainForTesting(false);
}

TEST_F(AlertTest, WithoutASecretServiceNothingIsKept) {
  // No session bus to reach: the keychain answers "not available" at once.
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved = bus ? bus : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/marktally-test-bus", 1);
  std::string password;
  KCItemRef item;
  EXPECT_EQ(errKCNotAvailable, KCFindGenericPassword("Marktally", "P1.mtb", &password, &item));
  EXPECT_EQ(errKCNotAvailable, KCAddGenericPassword("Marktally", "P1.mtb", "owl", &item));
  if (bus)
    setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  else
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
