// The dialogs of the password lock: the password of a locked class being opened, and
// the command that sets, changes or removes the lock.
#pragma once

#include "marktally/model/types.h"

// Puts the lock behind the document reader's password question and the desktop's
// keychain behind the lock. SetupFilters and SetupDialogs must have run.
void InstallPasswordLock();

// The reader's question: a password that opens the class whose header is in gClass,
// from the keychain, else the password typed last, else the teacher in the password
// dialog (which stays up until the password is right). False when the teacher cancels.
bool AskForPassword(Str255& password);
void SetPasswordItems();
// The typed password opens the class (it becomes the password typed last either way);
// a wrong one gets its alert and the focus back.
bool ValidPassword();

void DoNewPasswordDialog();
void SetNewPasswordItems();
bool ValidPasswords();
void GetNewPasswordItems();
