// The password lock through its real dialogs: locked documents opened with typed,
// remembered and repeated passwords, and the change-password command.
#include "marktally/shell/dialogs/password_dialogs.h"

#include <filesystem>

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/password.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::FocusOf;

const char kIncorrect[] =
    "The password you entered is incorrect. Passwords are case sensitive. Make sure your caps "
    "lock key is off.";

class PasswordTest : public DialogTest {
 protected:
  // Saves a class of one student, locked with the password (unlocked when empty).
  void SaveClass(const std::string& name, const char* password) {
    NewClass();
    gStudents[0].name.setC("Adams, Ann");
    Str255 digest;
    EncodePassword(PStr(password), digest);
    gClass.passwordDigest.set(digest);
    gFileSpec.path = Path(name);
    ASSERT_TRUE(SaveDocument());
  }
  bool Open(const std::string& name) {
    gFileSpec.path = Path(name);
    FileRef ref;
    if (!OpenFile(ref)) return false;
    return ReadDocument(ref);
  }
  void Answer(std::vector<DialogScriptStep> steps) {
    ScriptDialog(gPasswordDialog, std::move(steps));
  }
  static std::string Title(DialogRef dialog) {
    Str255 title;
    GetWTitle(GetDialogWindow(dialog), title);
    return title.str();
  }
};

TEST_F(PasswordTest, ALongPasswordOpensAClassLockedWithItsFirst15Characters) {
  SaveClass("Period 1.mtb", "Secret-Password");
  Answer({TypeStep(3, "Secret-Password-123"), ClickStep(1)});
  ASSERT_TRUE(Open("Period 1.mtb"));
  EXPECT_EQ(gStudents[0].name.str(), "Adams, Ann");
  EXPECT_EQ(Title(gPasswordDialog), "Opening 'Period 1.mtb'");
  EXPECT_EQ(gPreviousPassword.str(), "Secret-Password-123");  // kept whole
  EXPECT_EQ(PendingDialogSteps(gPasswordDialog), 0u);
  EXPECT_EQ(FrontWindow(), nullptr);  // the dialog is hidden again
  EXPECT_TRUE(InMemoryKeychainItems().empty());
}

TEST_F(PasswordTest, AWrongPasswordIsRefusedAndTheDialogStaysWithTheFocusOnIt) {
  SaveClass("Period 2.mtb", "Owl");
  ExpectAlert(kAlertStopAlert, "Incorrect password", kIncorrect);
  Answer({TypeStep(3, "owl"), ClickStep(1), CheckStep([](DialogRef d) {
            EXPECT_EQ(FocusOf(d), 3);
            EXPECT_EQ(FrontWindow(), GetDialogWindow(d));
          }),
          TypeStep(3, "Owl"), KeyStep(kReturnCharCode)});
  ASSERT_TRUE(Open("Period 2.mtb"));
  EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(PasswordTest, CancelLeavesANewClass) {
  SaveClass("Period 3.mtb", "Owl");
  Answer({TypeStep(3, "Ow"), ClickStep(2)});
  EXPECT_FALSE(Open("Period 3.mtb"));
  EXPECT_TRUE(gStudents[0].name.empty());
  EXPECT_TRUE(gClass.passwordDigest.empty());
  // Escape cancels too.
  Answer({KeyStep(kEscapeCharCode)});
  EXPECT_FALSE(Open("Period 3.mtb"));
}

TEST_F(PasswordTest, ARememberedPasswordOpensWithoutAskingUntilTheFileIsRenamed) {
  SaveClass("Period 4.mtb", "Owl");
  Answer({TypeStep(3, "Owl"), ClickStep(5), ClickStep(1)});
  ASSERT_TRUE(Open("Period 4.mtb"));
  const auto items = InMemoryKeychainItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items.begin()->first.first, "Marktally");
  EXPECT_EQ(items.begin()->first.second, "Period 4.mtb");
  EXPECT_EQ(items.begin()->second, "Owl");

  gPreviousPassword.clear();          // as after a restart: only the keychain knows it
  ASSERT_TRUE(Open("Period 4.mtb"));  // no dialog: a showing would wait for a script

  std::filesystem::rename(Path("Period 4.mtb"), Path("Renamed.mtb"));
  Answer({ClickStep(2)});
  EXPECT_FALSE(Open("Renamed.mtb"));
  EXPECT_EQ(PendingDialogSteps(gPasswordDialog), 0u);
  // The box starts cleared at every showing.
  Answer({CheckStep([](DialogRef d) {
            ControlRef box;
            GetDialogItemAsControl(d, 5, &box);
            EXPECT_EQ(GetControlValue(box), 0);
          }),
          ClickStep(2)});
  EXPECT_FALSE(Open("Renamed.mtb"));
}

TEST_F(PasswordTest, WithoutAKeyringRememberingSaysSoOnce) {
  SaveClass("Period 6.mtb", "Owl");
  SaveClass("Period 7.mtb", "Hawk");
  SetKeyringUnavailableForTesting(true);
  ExpectAlert(kAlertNoteAlert, "No keyring",
              "No keyring service answers on this desktop, so Marktally cannot remember "
              "passwords. You will be asked for the password each time you open a locked "
              "class.");
  Answer({TypeStep(3, "Owl"), ClickStep(5), ClickStep(1)});
  EXPECT_TRUE(Open("Period 6.mtb"));
  Answer({TypeStep(3, "Hawk"), ClickStep(5), ClickStep(1)});
  EXPECT_TRUE(Open("Period 7.mtb"));  // no second note
  SetKeyringUnavailableForTesting(false);
  EXPECT_TRUE(InMemoryKeychainItems().empty());
  EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(PasswordTest, TheRememberBoxNamesTheKeyring) {
  ControlRef box = nullptr;
  GetDialogItemAsControl(gPasswordDialog, 5, &box);
  Str255 title;
  GetControlTitle(box, title);
  EXPECT_EQ("Remember this password in my keyring", title.str());
}

TEST_F(PasswordTest, RememberingAgainReplacesTheKeychainItem) {
  SaveClass("Period 5.mtb", "Owl");
  KCAddGenericPassword("Marktally", "Period 5.mtb", "Hawk", nullptr);  // out of date
  Answer({TypeStep(3, "Owl"), ClickStep(5), ClickStep(1)});
  ASSERT_TRUE(Open("Period 5.mtb"));
  EXPECT_EQ(InMemoryKeychainItems().begin()->second, "Owl");
}

TEST_F(PasswordTest, ClassesLockedWithTheSamePasswordAskOnce) {
  SaveClass("A.mtb", "Owl");
  SaveClass("B.mtb", "Owl");
  SaveClass("C.mtb", "Hawk");
  Answer({TypeStep(3, "Owl"), ClickStep(1)});
  ASSERT_TRUE(Open("A.mtb"));
  ASSERT_TRUE(Open("B.mtb"));  // asks nothing
  ExpectAlert(kAlertStopAlert, "Incorrect password", kIncorrect);
  Answer({TypeStep(3, "Eagle"), ClickStep(1), ClickStep(2)});
  EXPECT_FALSE(Open("C.mtb"));
  EXPECT_EQ(gPreviousPassword.str(), "Eagle");  // the wrong text is the one remembered
  Answer({ClickStep(2)});
  EXPECT_FALSE(Open("A.mtb"));  // so now A asks again
}

class NewPasswordTest : public PasswordTest {
 protected:
  void Lock(const char* password) {
    Str255 digest;
    EncodePassword(PStr(password), digest);
    gClass.passwordDigest.set(digest);
    SetChanged(0);
    CantUndo();
  }
  std::string Digest(const char* password) {
    Str255 digest;
    EncodePassword(PStr(password), digest);
    return digest.str();
  }
  void Answer(std::vector<DialogScriptStep> steps) {
    ScriptDialog(gNewPasswordDialog, std::move(steps));
    DoNewPasswordDialog();
    EXPECT_EQ(PendingDialogSteps(gNewPasswordDialog), 0u);
  }
};

TEST_F(NewPasswordTest, AnUnlockedClassTakesANewPasswordRepeatedInAnyCase) {
  Answer({CheckStep([](DialogRef d) { EXPECT_EQ(FocusOf(d), 3); }), TypeStep(4, "Secret"),
          TypeStep(5, "SECRET"), ClickStep(1)});
  EXPECT_EQ(gClass.passwordDigest.str(), Digest("Secret"));
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoOptions);
  EXPECT_TRUE(InMemoryKeychainItems().empty());
  // Undo gives the class back without its lock.
  DoUndoCmd();
  EXPECT_TRUE(gClass.passwordDigest.empty());
}

TEST_F(NewPasswordTest, TheOldPasswordMustBeRightAndTheNewOneRepeated) {
  Lock("Owl");
  ExpectAlert(kAlertStopAlert, "Invalid old password",
              "The old password you entered is not correct.");
  ExpectAlert(kAlertStopAlert, "Invalid new password",
              "You did not enter the same new password both times.");
  Answer({TypeStep(3, "owl"), TypeStep(4, "Hawk"), TypeStep(5, "Hawk"), ClickStep(1),
          CheckStep([](DialogRef d) { EXPECT_EQ(FocusOf(d), 3); }), TypeStep(3, "Owl"),
          TypeStep(5, "Hawks"), ClickStep(1),
          CheckStep([](DialogRef d) { EXPECT_EQ(FocusOf(d), 4); }), TypeStep(5, "hawk"),
          ClickStep(1)});
  EXPECT_EQ(gClass.passwordDigest.str(), Digest("Hawk"));
}

TEST_F(NewPasswordTest, AnEmptyNewPasswordRemovesTheLockAndCancelChangesNothing) {
  Lock("Owl");
  Answer({TypeStep(3, "Owl"), ClickStep(2)});
  EXPECT_EQ(gClass.passwordDigest.str(), Digest("Owl"));
  EXPECT_EQ(gChanged, 0);
  EXPECT_EQ(gUndoAction, kUndoNothing);
  // The entries start empty at every showing.
  Answer({TypeStep(3, "Owl"), KeyStep(kReturnCharCode)});
  EXPECT_TRUE(gClass.passwordDigest.empty());
  EXPECT_EQ(gChanged, 1);
}

}  // namespace
