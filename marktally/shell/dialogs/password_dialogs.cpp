#include "marktally/shell/dialogs/password_dialogs.h"

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/password.h"
#include "marktally/model/platform.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"

namespace {

enum : DialogItemIndex { kOK = 1, kCancel = 2, kPassword = 3, kRemember = 5 };
enum : DialogItemIndex { kOldPassword = 3, kNewPassword = 4, kNewAgain = 5 };

void Refuse(const char* title, const char* text, DialogRef dialog, DialogItemIndex focus) {
  InitCursor();
  ShowModelAlert(kStopAlert, kAlertOK, PStr(title), PStr(text));
  SetPWFocus(dialog, focus);
}

// The last keeping of a password found no keyring service; the teacher hears of it once
// a session, not at every class.
bool gNoKeyring = false;
bool gToldOfNoKeyring = false;

void TellOfNoKeyring() {
  if (!gNoKeyring || gToldOfNoKeyring) return;
  gToldOfNoKeyring = true;
  InitCursor();
  ShowModelAlert(kNoteAlert, kAlertOK, PStr("No keyring"),
                 PStr("No keyring service answers on this desktop, so Marktally cannot remember "
                      "passwords. You will be asked for the password each time you open a "
                      "locked class."));
}

}  // namespace

void InstallPasswordLock() {
  gNoKeyring = false;
  gToldOfNoKeyring = false;
  SetPasswordPrompt(AskForPassword);
  KeychainAccess keychain;
  keychain.find = [](const std::string& service, const std::string& account,
                     std::string& password) {
    return KCFindGenericPassword(service, account, &password, nullptr) == noErr;
  };
  keychain.add = [](const std::string& service, const std::string& account,
                    const std::string& password) {
    const OSStatus status = KCAddGenericPassword(service, account, password, nullptr);
    gNoKeyring = status == errKCNotAvailable;
    return status == noErr;
  };
  keychain.replace = [](const std::string& service, const std::string& account,
                        const std::string& password) {
    KCItemRef item;
    std::string old;
    return KCFindGenericPassword(service, account, &old, &item) == noErr &&
           KCSetData(item, password) == noErr;
  };
  SetKeychain(std::move(keychain));
}

bool AskForPassword(Str255& password) {
  if (GetKeychainPassword(password)) return true;
  if (MultiplePassword()) {
    password = gPreviousPassword;
    CutPassword(password);
    return true;
  }
  InitCursor();
  SetPasswordItems();
  ModalLoop loop;
  loop.onItem = [](DialogItemIndex item) {
    if (item == kRemember) FlipCheckBox(gPasswordDialog, kRemember);
  };
  loop.valid = ValidPassword;
  if (RunModal(gPasswordDialog, loop)) {
    GetPWText(gPasswordDialog, kPassword, password);
    CutPassword(password);
    return true;
  }
  return false;
}

void SetPasswordItems() {
  Str255 name, title = PStr("Opening '");
  GetFileName(gFileSpec, name);
  Append(title, name);
  AppendC(title, "'");
  SetWTitle(GetDialogWindow(gPasswordDialog), title);
  SetCheckBox(gPasswordDialog, kRemember, 0);
  SetPWText(gPasswordDialog, kPassword, PStr(""));
  SetPWFocus(gPasswordDialog, kPassword);
}

bool ValidPassword() {
  Str255 typed;
  GetPWText(gPasswordDialog, kPassword, typed);
  gPreviousPassword = typed;
  CutPassword(typed);
  if (PasswordMatches(typed)) {
    if (GetCheckBox(gPasswordDialog, kRemember)) {
      gNoKeyring = false;
      AddKeychainPassword(typed);
      TellOfNoKeyring();
    }
    return true;
  }
  Refuse("Incorrect password",
         "The password you entered is incorrect. Passwords are case sensitive. Make sure your "
         "caps lock key is off.",
         gPasswordDialog, kPassword);
  return false;
}

void DoNewPasswordDialog() {
  InitCursor();
  SetNewPasswordItems();
  ModalLoop loop;
  loop.valid = ValidPasswords;
  if (RunModal(gNewPasswordDialog, loop)) GetNewPasswordItems();
}

void SetNewPasswordItems() {
  for (DialogItemIndex item : {kOldPassword, kNewPassword, kNewAgain})
    SetPWText(gNewPasswordDialog, item, PStr(""));
  SetPWFocus(gNewPasswordDialog, kOldPassword);
}

bool ValidPasswords() {
  Str255 old, password, again;
  GetPWText(gNewPasswordDialog, kOldPassword, old);
  if (!PasswordMatches(old)) {
    Refuse("Invalid old password", "The old password you entered is not correct.",
           gNewPasswordDialog, kOldPassword);
    return false;
  }
  GetPWText(gNewPasswordDialog, kNewPassword, password);
  GetPWText(gNewPasswordDialog, kNewAgain, again);
  if (!NewPasswordsAgree(password, again)) {
    Refuse("Invalid new password", "You did not enter the same new password both times.",
           gNewPasswordDialog, kNewPassword);
    return false;
  }
  return true;
}

void GetNewPasswordItems() {
  Str255 password;
  GetPWText(gNewPasswordDialog, kNewPassword, password);
  StoreNewPassword(password);
}
