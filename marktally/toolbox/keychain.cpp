// The keychain over libsecret, or over a map in memory for tests. No Qt here: glib's
// headers and Qt's keywords do not mix.
#include "marktally/toolbox/keychain.h"

#include <libsecret/secret.h>

#include <map>
#include <utility>

#include "marktally/common/macroman.h"
#include "marktally/toolbox/testing.h"

namespace {

using Items = std::map<std::pair<std::string, std::string>, std::string>;

bool& InMemory() {
  static bool inMemory = false;
  return inMemory;
}

bool& Unavailable() {
  static bool unavailable = false;
  return unavailable;
}

Items& Memory() {
  static Items items;
  return items;
}

const SecretSchema* Schema() {
  static const SecretSchema schema = [] {
    SecretSchema s{};
    s.name = "org.marktally.GradebookPassword";
    s.flags = SECRET_SCHEMA_NONE;
    s.attributes[0].name = "service";
    s.attributes[0].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
    s.attributes[1].name = "account";
    s.attributes[1].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
    return s;
  }();
  return &schema;
}

OSStatus Lookup(const std::string& service, const std::string& account, std::string* password) {
  if (Unavailable()) return errKCNotAvailable;
  if (InMemory()) {
    auto it = Memory().find({service, account});
    if (it == Memory().end()) return errKCItemNotFound;
    if (password) *password = it->second;
    return noErr;
  }
  GError* error = nullptr;
  const std::string s = MacRomanToUtf8(service), a = MacRomanToUtf8(account);
  gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "service", s.c_str(),
                                             "account", a.c_str(), nullptr);
  if (error) {
    g_error_free(error);
    return errKCNotAvailable;
  }
  if (!found) return errKCItemNotFound;
  if (password) *password = Utf8ToMacRoman(found);
  secret_password_free(found);
  return noErr;
}

OSStatus Store(const std::string& service, const std::string& account,
               const std::string& password) {
  if (Unavailable()) return errKCNotAvailable;
  if (InMemory()) {
    Memory()[{service, account}] = password;
    return noErr;
  }
  GError* error = nullptr;
  const std::string s = MacRomanToUtf8(service), a = MacRomanToUtf8(account);
  const std::string label = s + ": " + a;
  const gboolean stored = secret_password_store_sync(
      Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), MacRomanToUtf8(password).c_str(),
      nullptr, &error, "service", s.c_str(), "account", a.c_str(), nullptr);
  if (error) g_error_free(error);
  return stored ? OSStatus{noErr} : OSStatus{errKCNotAvailable};
}

}  // namespace

OSStatus KCFindGenericPassword(const std::string& service, const std::string& account,
                               std::string* password, KCItemRef* item) {
  const OSStatus status = Lookup(service, account, password);
  if (status == noErr && item) *item = KCItemRef{service, account};
  return status;
}

OSStatus KCAddGenericPassword(const std::string& service, const std::string& account,
                              const std::string& password, KCItemRef* item) {
  const OSStatus found = Lookup(service, account, nullptr);
  if (found == noErr) return errKCDuplicateItem;
  if (found != errKCItemNotFound) return found;
  const OSStatus status = Store(service, account, password);
  if (status == noErr && item) *item = KCItemRef{service, account};
  return status;
}

OSStatus KCSetData(const KCItemRef& item, const std::string& password) {
  return Store(item.service, item.account, password);
}

void SetKeyringUnavailableForTesting(bool unavailable) { Unavailable() = unavailable; }

void UseInMemoryKeychainForTesting(bool inMemory) {
  InMemory() = inMemory;
  Memory().clear();
}

std::map<std::pair<std::string, std::string>, std::string> InMemoryKeychainItems() {
  return Memory();
}
