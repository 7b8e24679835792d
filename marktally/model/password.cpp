#include "password.h"

#include <algorithm>

#include "document.h"
#include "fileutil.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"
#include "undo.h"

const char kKeychainService[] = "Marktally";
Str255 gPreviousPassword;

namespace {

PasswordPrompt gPasswordPrompt;

KeychainAccess& Keychain() {
  static KeychainAccess keychain;
  return keychain;
}

// The document's Mac Roman file name, the key items have always had; a name Mac Roman
// cannot hold keeps its own bytes, so that two such documents never share an item.
std::string Account() {
  Str255 name;
  if (GetExactFileName(gFileSpec, name)) return name.str();
  return LeafName(gFileSpec);
}

}  // namespace

void SetKeychain(KeychainAccess keychain) { Keychain() = std::move(keychain); }

void SetPasswordPrompt(PasswordPrompt prompt) { gPasswordPrompt = std::move(prompt); }

void EncodePassword(ConstStringPtr password, Str255& digest) {
  const int length = std::min<int>(password[0], kPasswordLength);
  if (length == 0) {
    digest.clear();
    return;
  }
  uint32_t sum = 0;
  for (int i = 1; i <= length; i++) sum += static_cast<uint32_t>(password[i]) * i;
  uint32_t value = static_cast<uint32_t>(static_cast<uint64_t>(sum) * sum) & 0x7FFFFFFF;
  if (value <= 99999) value += 100000;
  digest.setC(std::to_string(value).c_str());
}

bool DoPasswordDialog() {
  for (;;) {
    Str255 typed;
    typed.clear();
    if (!gPasswordPrompt || !gPasswordPrompt(typed)) return false;
    if (PasswordMatches(typed)) return true;
    ShowModelAlert(kStopAlert, kAlertOK, PStr("Incorrect password"),
                   PStr("The password you entered is incorrect. Passwords are case "
                        "sensitive. Make sure your caps lock key is off."));
  }
}

void CutPassword(Str255& password) {
  if (password[0] > kPasswordLength) password[0] = kPasswordLength;
}

bool PasswordMatches(ConstStringPtr password) {
  Str255 cut;
  cut.set(password);
  CutPassword(cut);
  Str255 digest;
  EncodePassword(cut, digest);
  return EqualString(digest, gClass.passwordDigest, false, false);
}

bool GetKeychainPassword(Str255& password) {
  const KeychainAccess& k = Keychain();
  std::string found;
  if (!k.find || !k.find(kKeychainService, Account(), found)) return false;
  password = PStr(found);
  CutPassword(password);
  return PasswordMatches(password);
}

bool MultiplePassword() { return PasswordMatches(gPreviousPassword); }

void AddKeychainPassword(ConstStringPtr password) {
  const KeychainAccess& k = Keychain();
  Str255 cut;
  cut.set(password);
  CutPassword(cut);
  const std::string account = Account();
  if (k.add && k.add(kKeychainService, account, cut.str())) return;
  if (k.replace) k.replace(kKeychainService, account, cut.str());
}

bool NewPasswordsAgree(ConstStringPtr password, ConstStringPtr again) {
  return EqualString(password, again, false, false);
}

void StoreNewPassword(ConstStringPtr password) {
  Str255 cut;
  cut.set(password);
  CutPassword(cut);
  SetChanged(1);
  SetUndoOptions();
  Str255 digest;
  EncodePassword(cut, digest);
  gClass.passwordDigest.set(digest);
}
