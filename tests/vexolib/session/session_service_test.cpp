// The session against the fake service: connecting, the client attributes on the wire, every
// login form and its answers, the log table switched by the login, logout, touch, tokens, the
// core group, upgrade information, the effective class-id period and log messages, with the
// failures each reports.
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/optional/optional_io.hpp>
#include <gtest/gtest.h>

#include "session_service_test.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

using vexo::Session;
using vexo::VexoException;
namespace platform = vexo::platform;
typedef std::vector<std::string> Names;

// The code and text of the VexoException f raises; {-1, ""} when it raises none.
std::pair<int, std::string> vexoFailure(const std::function<void()>& f) {
  try {
    f();
  } catch (const VexoException& e) {
    return {e.statusCode, e.what()};
  }
  return {-1, ""};
}

std::pair<int, std::string> failure(int code, const std::string& text) {
  return {code, text};
}

class SessionTest : public SessionServiceTest {};

TEST_F(SessionTest, ConnectingAndDisconnecting) {
  Session session;
  EXPECT_EQ(session.getConnectionVariantCount(), 1);
  EXPECT_THROW(session.chooseConnectionVariant(1), std::logic_error);
  EXPECT_THROW(session.chooseConnectionVariant(-1), std::logic_error);
  EXPECT_EQ(vexoFailure([&] { session.accessTransceiver(); }),
            failure(103, "Transceiver when not set."));
  EXPECT_EQ(vexoFailure([&] { session.setTimeoutSeconds(5); }), failure(103, "Not connected."));
  EXPECT_EQ(vexoFailure([&] { session.logMessage(false, "s", "m"); }),
            failure(103, "Not connected."));
  EXPECT_THROW(session.disconnect(), std::logic_error);

  session.connect(sessionUrl());
  session.connect(sessionUrl());
  EXPECT_TRUE(session.isConnected());
  session.setTimeoutSeconds(30);
  session.disconnect();
  EXPECT_FALSE(session.isConnected());

  // A refused connection shows at the first exchange, as an HTTP failure.
  session.connect("http://127.0.0.1:" + std::to_string(closedLocalPort()) + "/x");
  EXPECT_EQ(vexoFailure([&] { session.loginUsingPassword("teacher1", "apple-pie"); }).first,
            125);
  EXPECT_FALSE(session.isLoggedIn());
}

TEST_F(SessionTest, EveryRequestCarriesTheClientAttributes) {
  std::unique_ptr<Session> session = connected();
  EXPECT_EQ(session->getClientAppName(), "marktally");
  EXPECT_EQ(Session().getClientAppName(), "");
  session->setClientAttribute("clientVersion", "65");
  session->logMessage(true, "upload", "it broke");
  session->touchSession();  // not logged in: nothing sent
  const auto posts = sessionPosts();
  ASSERT_EQ(posts.size(), 1u);
  const std::map<std::string, std::string> expected = {
      {"req.clientAttribute.client", "marktally"},
      {"req.clientAttribute.clientPlatform", "macmacho"},
      {"req.clientAttribute.clientVersion", "65"},
      {"req.clientAttribute.setFileTimeSupported", "true"},
      {"req.clientAttribute.transferLib", "curl"},
      {"req.clientAttribute.vexoDataFormatVersion", "2"},
      {"req.clientAttribute.vexoMajorVersion", "2"},
      {"req.clientAttribute.vexoMicroVersion", "72"},
      {"req.clientAttribute.vexoMinorVersion", "5"},
      {"req.clientAttribute.vexoPlatform", "macmacho"},
      {"req.clientAttribute.vexoVersion", "2.5.72"},
      {"req.count", "1"},
      {"req.0.type", "logMessage"},
      {"req.0.isError", "true"},
      {"req.0.subcategory", "upload"},
      {"req.0.message", "it broke"},
  };
  for (const auto& field : expected) {
    ASSERT_TRUE(posts[0].count(field.first)) << field.first;
    EXPECT_EQ(posts[0].at(field.first), field.second) << field.first;
  }
  EXPECT_EQ(posts[0].at("req.clientAttribute.clientOS"), vexo::getCachedOSVersion());
  EXPECT_FALSE(posts[0].count("req.hasMoreData"));
  EXPECT_EQ(service().requests()[0].header("User-Agent"),
            "vexo (2.5.72; 2; curl; transceiver; marktally; macmacho)");
}

TEST_F(SessionTest, LoginAnswersFillTheSession) {
  struct Case {
    const char* name;
    const char* password;
    int code;
    const char* screenName;
    const char* viewAs;
    bool superUser, superViewer, superViewerOnly;
    const char* alias;
    const char* title;
    bool upgradeNeeded;
    const char* upgradeVersion;
    const char* upgradeKey;
    const char* upgradeInstall;
    bool upgradeIsPatch;
  };
  const std::vector<Case> cases = {
      {"teacher1", "apple-pie", 0, "teacher1", "Ms. Teacher", false, false, false, "north",
       "North High", false, "", "", "", false},
      {"admin", "root!pw", 0, "admin", "admin", true, true, false, "district", "Lake District",
       false, "", "", "", false},
      {"viewer", "look", 0, "viewer", "viewer", true, false, true, "", "", false, "", "", "",
       false},
      {"upgrader", "newer", 0, "upgrader", "upgrader", false, false, false, "", "", true,
       "2.6.0", "upgrades/2.6.0", "install 2.6.0", true},
      {"teacher1", "wrong", 301, "", "", false, false, false, "", "", false, "", "", "", false},
      {"nobody", "x", 301, "", "", false, false, false, "", "", false, "", "", "", false},
      {"locked", "gone", 311, "", "", false, false, false, "", "", false, "", "", "", false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Session> s = connected();
    EXPECT_EQ(s->loginUsingPassword(c.name, c.password), c.code) << c.name;
    EXPECT_EQ(s->isLoggedIn(), c.code == 0) << c.name;
    EXPECT_EQ(s->getScreenName(), c.screenName) << c.name;
    EXPECT_EQ(s->getViewAsScreenName(), c.viewAs) << c.name;
    EXPECT_EQ(s->isSuperUser(), c.superUser) << c.name;
    EXPECT_EQ(s->isSuperViewer(), c.superViewer) << c.name;
    EXPECT_EQ(s->isSuperViewerOnly(), c.superViewerOnly) << c.name;
    EXPECT_EQ(s->getCoreGroupAlias(), c.alias) << c.name;
    EXPECT_EQ(s->getCoreGroupTitle(), c.title) << c.name;
    EXPECT_EQ(s->isClientUpgradeNeeded(), c.upgradeNeeded) << c.name;
    EXPECT_EQ(s->getClientUpgradeVersion(), c.upgradeVersion) << c.name;
    EXPECT_EQ(s->getClientUpgradeRemoteKey(), c.upgradeKey) << c.name;
    EXPECT_EQ(s->getClientUpgradeInstallString(), c.upgradeInstall) << c.name;
    EXPECT_EQ(s->getClientUpgradeIsPatch(), c.upgradeIsPatch) << c.name;
  }
  EXPECT_EQ(vexoFailure([] { Session().loginUsingPassword("teacher1", "apple-pie"); }),
            failure(103, "Not connected."));
}

TEST_F(SessionTest, ALoginWhileLoggedInLogsOutFirstAndARefusalKeepsTheOldAnswers) {
  std::unique_ptr<Session> s = loggedIn("teacher1", "apple-pie");
  EXPECT_EQ(s->loginUsingPassword("admin", "root!pw"), 0);
  EXPECT_EQ(s->getScreenName(), "admin");
  EXPECT_EQ(s->loginUsingPassword("admin", "wrong"), 301);
  EXPECT_FALSE(s->isLoggedIn());
  EXPECT_EQ(s->getScreenName(), "admin");
  EXPECT_EQ(operationsSent(), (Names{"loginUsingPassword", "logout", "loginUsingPassword",
                                     "logout", "loginUsingPassword"}));
}

TEST_F(SessionTest, TheLoginAnswerSwitchesTheLogTableForTheNextRequests) {
  const auto logFields = [this](std::size_t post) {
    Names messages;
    const auto posts = sessionPosts();
    for (const auto& field : posts.at(post)) {
      if (field.first.rfind("log.", 0) == 0) {
        messages.push_back(field.second);
      }
    }
    return messages;
  };
  const auto holds = [](const Names& messages, const std::string& text) {
    for (const std::string& m : messages) {
      if (m.find(text) != std::string::npos) return true;
    }
    return false;
  };
  std::unique_ptr<Session> s = connected();
  platform::log(platform::LogLevel::info, "before any login", "test");
  ASSERT_EQ(s->loginUsingPassword("quiet", "hush"), 0);
  EXPECT_TRUE(holds(logFields(0), "info:test:"));  // on from the start of the process
  EXPECT_FALSE(platform::isLogTableEnabled());
  platform::log(platform::LogLevel::error, "while quiet", "test");
  s->touchSession();
  EXPECT_TRUE(logFields(1).empty());

  ASSERT_EQ(s->loginUsingPassword("teacher1", "apple-pie"), 0);  // "yes"
  EXPECT_TRUE(platform::isLogTableEnabled());
  platform::log(platform::LogLevel::error, "now wanted", "test");
  s->touchSession();
  const Names shipped = logFields(4);  // logout, login, then this touch
  EXPECT_TRUE(holds(shipped, "error:test:"));
  EXPECT_TRUE(holds(shipped, "now wanted"));
  EXPECT_FALSE(holds(shipped, "while quiet"));
}

TEST_F(SessionTest, LogoutAndTouch) {
  Session unconnected;
  EXPECT_EQ(unconnected.logout(), 203);
  EXPECT_EQ(unconnected.touchSession(), 203);
  std::unique_ptr<Session> s = connected();
  EXPECT_EQ(s->logout(), 204);
  EXPECT_EQ(s->touchSession(), 204);
  EXPECT_TRUE(sessionPosts().empty());

  ASSERT_EQ(s->loginUsingPassword("teacher1", "apple-pie"), 0);
  EXPECT_EQ(s->touchSession(), 0);
  EXPECT_TRUE(s->isLoggedIn());
  EXPECT_EQ(s->logout(), 0);
  EXPECT_FALSE(s->isLoggedIn());
  EXPECT_EQ(s->getScreenName(), "teacher1");  // answers stay after a logout

  // The server forgot the session: the next touch says so.
  ASSERT_EQ(s->loginUsingPassword("teacher1", "apple-pie"), 0);
  service().clear();
  EXPECT_EQ(s->touchSession(), 0);
  EXPECT_FALSE(s->isLoggedIn());

  // A logout that fails on the wire leaves the session logged in.
  ASSERT_EQ(s->loginUsingPassword("teacher1", "apple-pie"), 0);
  scriptNext(500, "");
  EXPECT_EQ(vexoFailure([&] { s->logout(); }), failure(125, "HTTP result code: 500"));
  EXPECT_TRUE(s->isLoggedIn());
}

TEST_F(SessionTest, TokensLogInAndNeverShowWhole) {
  const std::string traces = makeFolder("traces");
  platform::setTraceLogDirectory(traces);
  std::unique_ptr<Session> s = loggedIn("teacher1", "apple-pie");
  const std::string token = s->obtainAuthToken("kiosk");
  ASSERT_GT(token.size(), 16u);
  EXPECT_NE(token.find("kiosk"), std::string::npos);
  EXPECT_EQ(sessionPosts().back().at("req.0.forStationType"), "kiosk");

  std::unique_ptr<Session> other = connected();
  EXPECT_EQ(other->loginUsingAuthToken(token), 0);
  EXPECT_EQ(other->getScreenName(), "teacher1");
  EXPECT_EQ(sessionPosts().back().at("req.0.authToken"), token);
  EXPECT_EQ(connected()->loginUsingAuthToken("no such token"), 302);
  s->touchSession();  // ships the log entries of the token exchanges

  std::string written;
  for (const std::string& name : listFolder(traces)) {
    written += readFile(traces + "/" + name);
  }
  for (const auto& post : sessionPosts()) {
    for (const auto& field : post) {
      if (field.first.rfind("log.", 0) == 0) written += field.second;
    }
  }
  EXPECT_NE(written.find(token.substr(0, 16) + "****************"), std::string::npos);
  EXPECT_EQ(written.find(token), std::string::npos);
  EXPECT_EQ(written.find("apple-pie"), std::string::npos);
  EXPECT_NE(written.find("req.0.password=********"), std::string::npos);

  Session unconnected;
  EXPECT_EQ(vexoFailure([&] { unconnected.obtainAuthToken(""); }),
            failure(103, "Not connected."));
  EXPECT_EQ(vexoFailure([&] { connected()->obtainAuthToken(""); }),
            failure(103, "Must be logged in to obtain auth token"));
  std::unique_ptr<Session> limited = loggedIn("limited", "little");
  EXPECT_EQ(vexoFailure([&] { limited->obtainAuthToken(""); }),
            failure(308, "insufficientPrivileges"));
  EXPECT_FALSE(sessionPosts().back().count("req.0.forStationType"));
}

TEST_F(SessionTest, TheCoreGroupChangesByAliasOrEntid) {
  std::unique_ptr<Session> s = loggedIn("teacher1", "apple-pie");
  EXPECT_EQ(s->setCoreGroupUsingAlias("south"), 0);
  EXPECT_EQ(s->getCoreGroupAlias(), "south");
  EXPECT_EQ(s->getCoreGroupTitle(), "South High");
  EXPECT_EQ(sessionPosts().back().at("req.0.coreGroupAlias"), "south");
  EXPECT_EQ(s->setCoreGroupUsingEntid("1"), 0);
  EXPECT_EQ(s->getCoreGroupAlias(), "district");
  EXPECT_EQ(sessionPosts().back().at("req.0.coreGroupEntid"), "1");
  EXPECT_FALSE(sessionPosts().back().count("req.0.coreGroupAlias"));
  EXPECT_EQ(vexoFailure([&] { s->setCoreGroupUsingAlias("nowhere"); }),
            failure(308, "insufficientPrivileges"));
  EXPECT_EQ(s->getCoreGroupAlias(), "district");
  EXPECT_EQ(vexoFailure([&] { connected()->setCoreGroupUsingAlias("south"); }),
            failure(103, "Must be logged in."));
}

TEST_F(SessionTest, SidesteppingSkipsOnlyValuesTheServerAccepted) {
  platform::overrideStringConfigOption("ssenabled", "true");
  std::unique_ptr<Session> s = loggedIn("teacher1", "apple-pie");
  EXPECT_TRUE(vexo::isSidesteppingEnabled());
  const auto sent = [this]() { return operationsSent().size(); };
  std::size_t before = sent();
  s->setCoreGroupUsingAlias("south");
  s->setCoreGroupUsingAlias("south");
  EXPECT_EQ(sent() - before, 1u);

  // A refusal is not remembered: the same call is sent again.
  before = sent();
  EXPECT_EQ(vexoFailure([&] { s->setCoreGroupUsingAlias("nowhere"); }).first, 308);
  EXPECT_EQ(vexoFailure([&] { s->setCoreGroupUsingAlias("nowhere"); }).first, 308);
  EXPECT_EQ(sent() - before, 2u);

  // A change by one key makes the other key's remembered value stale.
  before = sent();
  s->setCoreGroupUsingEntid("5");
  s->setCoreGroupUsingAlias("south");
  s->setCoreGroupUsingEntid("5");
  EXPECT_EQ(sent() - before, 3u);
  EXPECT_EQ(s->getCoreGroupAlias(), "north");

  // "***" is a value like any other.
  before = sent();
  EXPECT_EQ(vexoFailure([&] { s->setCoreGroupUsingAlias("***"); }).first, 308);
  EXPECT_EQ(sent() - before, 1u);

  before = sent();
  s->setEffectiveClassidPeriod("2024-S2");
  s->setEffectiveClassidPeriod("2024-S2");
  EXPECT_EQ(vexoFailure([&] { s->setEffectiveClassidPeriod("bogus"); }).first, 300);
  EXPECT_EQ(vexoFailure([&] { s->setEffectiveClassidPeriod("bogus"); }).first, 300);
  EXPECT_EQ(sent() - before, 3u);

  // A login, a logout and a disconnection forget everything.
  s->setCoreGroupUsingAlias("south");
  ASSERT_EQ(s->loginUsingPassword("teacher1", "apple-pie"), 0);
  before = sent();
  s->setCoreGroupUsingAlias("south");
  EXPECT_EQ(sent() - before, 1u);

  platform::overrideStringConfigOption("ssenabled", "false");
  std::unique_ptr<Session> plain = loggedIn("teacher1", "apple-pie");
  EXPECT_FALSE(vexo::isSidesteppingEnabled());
  before = sent();
  plain->setCoreGroupUsingAlias("south");
  plain->setCoreGroupUsingAlias("south");
  EXPECT_EQ(sent() - before, 2u);
}

TEST_F(SessionTest, UpgradeInformation) {
  std::string key = "x", install = "x";
  std::unique_ptr<Session> upgrader = loggedIn("upgrader", "newer");
  EXPECT_EQ(upgrader->getClientGeneralUpgradeInfo(key, install), 0);
  EXPECT_EQ(key, "general/2.6.0");
  EXPECT_EQ(install, "run setup");
  std::unique_ptr<Session> teacher = loggedIn("teacher1", "apple-pie");
  EXPECT_EQ(teacher->getClientGeneralUpgradeInfo(key, install), 314);
  EXPECT_EQ(key, "");
  EXPECT_EQ(install, "");
  EXPECT_EQ(vexoFailure([&] { connected()->getClientGeneralUpgradeInfo(key, install); }),
            failure(103, "Must be logged in"));
}

TEST_F(SessionTest, TheEffectiveClassidPeriod) {
  std::unique_ptr<Session> s = loggedIn("teacher1", "apple-pie");
  EXPECT_EQ(s->getEffectiveClassidPeriod(), "2024-S1");
  s->setEffectiveClassidPeriod("2024-S2");
  EXPECT_EQ(sessionPosts().back().at("req.0.effectiveClassIdPeriod"), "2024-S2");
  EXPECT_EQ(s->getEffectiveClassidPeriod(), "2024-S2");
  EXPECT_EQ(vexoFailure([&] { s->setEffectiveClassidPeriod("bogus"); }),
            failure(300, "systemError"));
  EXPECT_EQ(operationsSent(), (Names{"loginUsingPassword", "getEffectiveClassIdPeriod",
                                     "setEffectiveClassIdPeriod", "getEffectiveClassIdPeriod",
                                     "setEffectiveClassIdPeriod"}));
  std::unique_ptr<Session> anonymous = connected();
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { anonymous->getEffectiveClassidPeriod(); },
           [&] { anonymous->setEffectiveClassidPeriod("2024-S1"); }}) {
    EXPECT_EQ(vexoFailure(call),
              failure(103, "Must be logged in to set effective classid period"));
  }
}

TEST_F(SessionTest, ServerFailuresOfTheAccountOperations) {
  std::unique_ptr<Session> s = loggedIn("admin", "root!pw");
  std::string key, install;
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"touch", [&] { s->touchSession(); }},
      {"token", [&] { s->obtainAuthToken(""); }},
      {"upgrade", [&] { s->getClientGeneralUpgradeInfo(key, install); }},
      {"core group", [&] { s->setCoreGroupUsingAlias("south"); }},
      {"get period", [&] { s->getEffectiveClassidPeriod(); }},
      {"set period", [&] { s->setEffectiveClassidPeriod("2024-S1"); }},
  };
  for (const auto& op : operations) {
    scriptNext(500, "resp.0.retcode=ok\r\n");
    EXPECT_EQ(vexoFailure(op.second), failure(125, "HTTP result code: 500")) << op.first;
    scriptNext(200, "resp.0.retcode=ok\r\nthis is no record\r\n");
    EXPECT_EQ(vexoFailure(op.second).first, 103) << op.first;
    EXPECT_TRUE(s->isLoggedIn()) << op.first;
  }
  scriptNext(200, "sessionMarker=S1\r\n");
  EXPECT_THROW(s->touchSession(), std::logic_error);  // no "resp.0.retcode"

  // The logout that starts a new login fails: the session stays logged in.
  scriptNext(500, "");
  EXPECT_EQ(vexoFailure([&] { s->loginUsingPassword("admin", "root!pw"); }),
            failure(125, "HTTP result code: 500"));
  EXPECT_TRUE(s->isLoggedIn());
  std::unique_ptr<Session> fresh = connected();
  scriptNext(500, "resp.0.retcode=ok\r\n");
  EXPECT_EQ(vexoFailure([&] { fresh->loginUsingPassword("admin", "root!pw"); }),
            failure(125, "HTTP result code: 500"));
  EXPECT_FALSE(fresh->isLoggedIn());
}

TEST_F(SessionTest, LogMessagesAndTheirFailures) {
  std::unique_ptr<Session> s = connected();
  s->logMessage(false, "sync", "all well");
  EXPECT_EQ(sessionPosts().back().at("req.0.isError"), "false");
  scriptNext(500, "resp.0.retcode=ok\r\n");
  EXPECT_EQ(vexoFailure([&] { s->logMessage(false, "s", "m"); }),
            failure(125, "HTTP result: 500"));
  scriptNext(200, "serverTime=now\r\n");
  EXPECT_EQ(vexoFailure([&] { s->logMessage(false, "s", "m"); }),
            failure(300, "returnCode = ''"));
  scriptNext(200, "resp.0.retcode=notAuthenticated\r\n");
  EXPECT_EQ(vexoFailure([&] { s->logMessage(false, "s", "m"); }),
            failure(303, "returnCode = 'notAuthenticated'"));
}

TEST_F(SessionTest, AChosenVariantsProxyCarriesTheNextRequest) {
  platform::overrideStringConfigOption("urlprefix", service().url(""));
  ScopedEnv proxy("http_proxy", ("http://127.0.0.1:" + std::to_string(service().proxyPort()))
                                    .c_str());
  Session s;
  ASSERT_EQ(s.getConnectionVariantCount(), 2);
  EXPECT_EQ(s.getClientAttribute("transferLib"), std::string("curl"));
  s.chooseConnectionVariant(1);  // direct
  s.connect(sessionUrl());
  ASSERT_EQ(s.loginUsingPassword("teacher1", "apple-pie"), 0);
  EXPECT_TRUE(service().proxyLog().empty());
  s.chooseConnectionVariant(0);  // the same transport now goes through the proxy
  EXPECT_EQ(s.touchSession(), 0);
  EXPECT_TRUE(s.isLoggedIn());  // the cookie went along
  ASSERT_EQ(service().proxyLog().size(), 1u);
  EXPECT_EQ(service().proxyLog()[0].target, sessionUrl());
}

}  // namespace
}  // namespace vexotest
