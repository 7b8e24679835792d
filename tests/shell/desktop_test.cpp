// Desktop conventions of the window: how the About box closes, and a quit from the
// desktop that arrives while a dialog is up.
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/toolbox/dialogs.h"
#include "tests/shell/window_fixture.h"

namespace {

class DesktopTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetModalStuckHandler([this](DialogRef) {
      stuck = true;
      return DialogItemIndex{4};
    });
  }
  bool stuck = false;
};

TEST_F(DesktopTest, TheAboutBoxClosesWithEscapeReturnAndItsCloseButton) {
  struct Case {
    const char* name;
    DialogScriptStep step;
  } cases[] = {
      {"Escape", KeyStep(kEscapeCharCode)},
      {"Return", KeyStep(kReturnCharCode)},
      {"Enter", KeyStep(kEnterCharCode)},
      {"the close button", CheckStep([](DialogRef d) { SendDialogClose(GetDialogWindow(d)); })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    stuck = false;
    std::string title;
    ScriptDialog(gAboutDialog,
                 {CheckStep([&](DialogRef d) { title = DialogWindowTitle(GetDialogWindow(d)); }),
                  c.step});
    ASSERT_TRUE(Choose(kHelpMenu, kAboutItem));
    EXPECT_FALSE(stuck);
    EXPECT_EQ(0u, PendingDialogSteps(gAboutDialog));
    EXPECT_EQ("About Marktally", title) << "a dialog with a title of its own keeps it";
    EXPECT_NE(GetDialogWindow(gAboutDialog), FrontWindow());
  }
}

TEST_F(DesktopTest, AQuitFromTheDesktopWaitsForTheDialogToEnd) {
  PostCommandLineEvents({});
  Run();
  ASSERT_NE(nullptr, gWindow);
  bool upAfterQuit = false;
  ScriptDialog(gAboutDialog, {CheckStep([](DialogRef) { SendDesktopQuit(); }),
                              CheckStep([&](DialogRef d) {
                                upAfterQuit = FrontWindow() == GetDialogWindow(d) && !gDone;
                              }),
                              KeyStep(kEscapeCharCode)});
  ASSERT_TRUE(Choose(kHelpMenu, kAboutItem));
  EXPECT_TRUE(upAfterQuit) << "the dialog stays up and the program with it";
  EXPECT_EQ(1, gDone) << "the quit is answered once the dialog is gone";
  EXPECT_EQ(nullptr, gWindow);
}

}  // namespace
