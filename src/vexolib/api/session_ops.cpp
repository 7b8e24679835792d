// The interface's one session: connecting, logging in and out, tokens, the core group, remote
// attributes, the class-id period and upgrade information, and the getters over the session.
#include <initializer_list>
#include <memory>
#include <string>

#include "vexolib/session/Session.h"
#include "vexolib/api/operations.h"
#include "vexolib/api/internal.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"

namespace vexo {
namespace api25 {

namespace {

std::string _clientGeneralUpgradeRemoteKey;
std::string _clientGeneralUpgradeInstallString;

Session& session() { return *accessSession(); }

// A session operation whose failure by exception ends the session.
int runSessionOperation(const std::string& name, SessionNeed need,
                        std::initializer_list<const char*> texts,
                        const std::function<int()>& work) {
  if (refuseNullTexts(name, texts)) {
    return getStatusCode();
  }
  return runOperation(name, need, true, work);
}

// The session's text, or null without a session.
const char* sessionText(std::string (Session::*getter)() const) {
  Session* s = accessSession();
  return s ? bufferString((s->*getter)()) : nullptr;
}

bool sessionFlag(bool (Session::*getter)() const) {
  Session* s = accessSession();
  return s && (s->*getter)();
}

}  // namespace

int connect() {
  return runSessionOperation("connect", SessionNeed::none, {}, [] {
    adoptSession(nullptr);
    adoptSession(std::unique_ptr<Session>(new Session()));
    for (const auto& attribute : getClientAttributes()) {
      session().setClientAttribute(attribute.first, attribute.second);
    }
    session().connect(platform::getSessionUrl());
    return 0;
  });
}

int disconnect() {
  return runSessionOperation("disconnect", SessionNeed::connection, {}, [] {
    session().disconnect();
    adoptSession(nullptr);
    return 0;
  });
}

bool isConnected() { return sessionFlag(&Session::isConnected); }

void setTimeoutSeconds(int seconds) {
  if (Session* s = accessSession()) {
    s->setTimeoutSeconds(seconds);
  }
}

int loginUsingPassword(const char* screenName, const char* password) {
  return runSessionOperation("loginUsingPassword", SessionNeed::connection,
                             {screenName, password},
                             [&] { return session().loginUsingPassword(screenName, password); });
}

int loginUsingAuthToken(const char* authToken) {
  return runSessionOperation("loginUsingAuthToken", SessionNeed::connection, {authToken},
                             [&] { return session().loginUsingAuthToken(authToken); });
}

int logout() {
  return runSessionOperation("logout", SessionNeed::connection, {},
                             [] { return session().logout(); });
}

int touchSession() {
  return runSessionOperation("touchSession", SessionNeed::connection, {},
                             [] { return session().touchSession(); });
}

const char* obtainAuthToken(const char* forStationType) {
  std::string token;
  bool obtained = false;
  runSessionOperation("obtainAuthToken", SessionNeed::connection, {}, [&] {
    token = session().obtainAuthToken(forStationType ? forStationType : "");
    obtained = true;
    return 0;
  });
  return obtained ? bufferString(token) : nullptr;
}

int retrieveClientGeneralUpgradeInfo() {
  return runSessionOperation("retrieveClientGeneralUpgradeInfo", SessionNeed::connection, {},
                             [] {
                               return session().getClientGeneralUpgradeInfo(
                                   _clientGeneralUpgradeRemoteKey,
                                   _clientGeneralUpgradeInstallString);
                             });
}

int setCoreGroupUsingEntid(const char* entid) {
  return runSessionOperation("setCoreGroupUsingEntid", SessionNeed::connection, {entid},
                             [&] { return session().setCoreGroupUsingEntid(entid); });
}

int setCoreGroupUsingAlias(const char* alias) {
  return runSessionOperation("setCoreGroupUsingAlias", SessionNeed::connection, {alias},
                             [&] { return session().setCoreGroupUsingAlias(alias); });
}

const char* getCoreGroupRemoteAttributeString(const char* attributeName) {
  std::string value;
  runSessionOperation("getCoreGroupRemoteAttributeString", SessionNeed::data, {attributeName},
                      [&] {
                        value = session().getCoreGroupRemoteAttributeString(attributeName);
                        return 0;
                      });
  return bufferString(getStatusCode() == 0 ? value : std::string());
}

bool getCoreGroupRemoteAttributeBoolean(const char* attributeName) {
  return strutil::toBool(getCoreGroupRemoteAttributeString(attributeName), false);
}

int setEffectiveClassidPeriod(const char* period) {
  return runSessionOperation("setEffectiveClassidPeriod", SessionNeed::data, {}, [&] {
    session().setEffectiveClassidPeriod(period ? period : "");
    return 0;
  });
}

const char* getEffectiveClassidPeriod() {
  std::string period;
  runSessionOperation("getEffectiveClassidPeriod", SessionNeed::data, {}, [&] {
    period = session().getEffectiveClassidPeriod();
    return 0;
  });
  return bufferString(getStatusCode() == 0 ? period : std::string());
}

bool isLoggedIn() { return sessionFlag(&Session::isLoggedIn); }
bool isSuperUser() { return sessionFlag(&Session::isSuperUser); }
bool isSuperViewer() { return sessionFlag(&Session::isSuperViewer); }
bool isSuperViewerOnly() { return sessionFlag(&Session::isSuperViewerOnly); }
bool isClientUpgradeNeeded() { return sessionFlag(&Session::isClientUpgradeNeeded); }
bool getClientUpgradeIsPatch() { return sessionFlag(&Session::getClientUpgradeIsPatch); }

const char* getScreenName() { return sessionText(&Session::getScreenName); }
const char* getViewAsScreenName() { return sessionText(&Session::getViewAsScreenName); }
const char* getCoreGroupAlias() { return sessionText(&Session::getCoreGroupAlias); }
const char* getCoreGroupTitle() { return sessionText(&Session::getCoreGroupTitle); }
const char* getClientUpgradeVersion() { return sessionText(&Session::getClientUpgradeVersion); }
const char* getClientUpgradeRemoteKey() {
  return sessionText(&Session::getClientUpgradeRemoteKey);
}
const char* getClientUpgradeInstallString() {
  return sessionText(&Session::getClientUpgradeInstallString);
}

const char* getClientGeneralUpgradeRemoteKey() {
  return accessSession() ? bufferString(_clientGeneralUpgradeRemoteKey) : nullptr;
}

const char* getClientGeneralUpgradeInstallString() {
  return accessSession() ? bufferString(_clientGeneralUpgradeInstallString) : nullptr;
}

void resetSessionState() {
  adoptSession(nullptr);
  _clientGeneralUpgradeRemoteKey.clear();
  _clientGeneralUpgradeInstallString.clear();
}

}  // namespace api25
}  // namespace vexo
