// The password lock of a class: the digest kept in the class header, the password
// typed last, and the keychain where a teacher may keep a class's password. The
// dialogs that ask for passwords are the shell's; the checks behind them are here.
#pragma once

#include <functional>
#include <string>

#include "types.h"

// Only the first 15 characters of a password count.
constexpr int kPasswordLength = 15;
// The keychain's service name; the account is the document's file name.
extern const char kKeychainService[];

// The password typed last in the open-password dialog (whole, even when it was wrong).
extern Str255 gPreviousPassword;

// Where passwords are remembered. The desktop installs its keychain at start-up; with
// an empty member nothing is found or kept.
struct KeychainAccess {
  // True with the password kept for the service and account (Mac Roman texts).
  std::function<bool(const std::string& service, const std::string& account,
                     std::string& password)>
      find;
  // False when the item exists already or nothing can be kept.
  std::function<bool(const std::string& service, const std::string& account,
                     const std::string& password)>
      add;
  // Replaces the password of an existing item.
  std::function<bool(const std::string& service, const std::string& account,
                     const std::string& password)>
      replace;
};
void SetKeychain(KeychainAccess keychain);

// Asks the teacher for the password of the class being opened: true with the typed
// text, false when the teacher cancels. The shell installs its dialog; without a prompt
// a locked class stays shut.
using PasswordPrompt = std::function<bool(Str255& password)>;
void SetPasswordPrompt(PasswordPrompt prompt);
// True when the class whose header is in gClass may be opened: asks until the password
// opens it or the teacher cancels.
bool DoPasswordDialog();
// The digest stored in the class header: decimal text; empty for an empty password.
void EncodePassword(ConstStringPtr password, Str255& digest);

// Cuts a password to the characters that count.
void CutPassword(Str255& password);
// True when the password's first 15 characters have the digest stored in the class
// header (an empty password matches a class without a lock).
bool PasswordMatches(ConstStringPtr password);
// True, with the password, when the keychain keeps one for this document that opens
// the class.
bool GetKeychainPassword(Str255& password);
// True when the password typed last opens the class too.
bool MultiplePassword();
// Keeps the password (cut) in the keychain for this document, replacing an older one.
void AddKeychainPassword(ConstStringPtr password);
// The new password and its repetition agree, letter case and diacritics aside.
bool NewPasswordsAgree(ConstStringPtr password, ConstStringPtr again);
// Locks the class with the new password (unlocks it when empty): marks the document
// changed, takes the options undo snapshot and stores the digest. The keychain is not
// touched.
void StoreNewPassword(ConstStringPtr password);
