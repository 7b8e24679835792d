// The keychain: generic passwords kept by the desktop's secret service (the
// freedesktop Secret Service, through libsecret), found by a service and an account
// name. Where no service answers, nothing is found and nothing is kept
// (errKCNotAvailable), and the program asks the teacher again: a password is never
// written to a plain file. Names and passwords are Mac Roman.
#pragma once

#include <string>

#include "marktally/toolbox/qdtypes.h"

enum : OSStatus {
  errKCNotAvailable = -25291,
  errKCDuplicateItem = -25299,
  errKCItemNotFound = -25300,
};

// An item found or added: what names it.
struct KCItemRef {
  std::string service;
  std::string account;
};

// noErr with the password, errKCItemNotFound, or errKCNotAvailable.
OSStatus KCFindGenericPassword(const std::string& service, const std::string& account,
                               std::string* password, KCItemRef* item);
// errKCDuplicateItem when an item of that service and account exists already.
OSStatus KCAddGenericPassword(const std::string& service, const std::string& account,
                              const std::string& password, KCItemRef* item);
// Replaces the password of a found item.
OSStatus KCSetData(const KCItemRef& item, const std::string& password);
