#include "password.h"

#include "document.h"
#include "fileutil.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"
#include "undo.h"

const char kKeychainService[] = "Marktally";
Str255 gPreviousPassword;

namespace {

KeychainAccess& Keychain() {
  static KeychainAccess keychain;
  return keychain;
}

std::string Account() {
  Str255 name;
  GetFileName(gFileSpec, name);
  return name.str();
}

}  // namespace

void SetKeychain(KeychainAccess keychain) { Keychain() = std::move(keychain); }

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
