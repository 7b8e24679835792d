// The interface's session operations through the exports: the statuses of every operation
// with and without a session, the session ended exactly when an operation failed by an
// exception, null texts refused without harm, and what the interface keeps across sessions.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "interface_fixture.h"

namespace vexotest {
namespace {

struct Outcome {
  int status;
  std::string message;
  bool connected;
  bool operator==(const Outcome& o) const {
    return status == o.status && message == o.message && connected == o.connected;
  }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{" << o.status << ", '" << o.message << "', " << o.connected << "}";
}

// A status-returning call and what it left behind.
Outcome run(const std::function<int()>& call) {
  const int status = call();
  return {status, vexo25_getErrorMessage(), vexo25_isConnected() != 0};
}

class SessionOperationsTest : public InterfaceTest {};

TEST_F(SessionOperationsTest, WithoutASessionEachOperationRefusesWithItsOwnCodeAndSendsNothing) {
  struct Case {
    const char* name;
    std::function<int()> call;
    int status;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"disconnect", [] { return vexo25_disconnect(); }, 103, "Not connected."},
      {"login", [] { return vexo25_loginUsingPassword("teacher1", "apple-pie"); }, 103,
       "Not connected."},
      {"token login", [] { return vexo25_loginUsingAuthToken("TK"); }, 103, "Not connected."},
      {"logout", [] { return vexo25_logout(); }, 103, "Not connected."},
      {"touch", [] { return vexo25_touchSession(); }, 103, "Not connected."},
      {"alias", [] { return vexo25_setCoreGroupUsingAlias("north"); }, 103, "Not connected."},
      {"entid", [] { return vexo25_setCoreGroupUsingEntid("5"); }, 103, "Not connected."},
      {"upgrade", [] { return vexo25_retrieveClientGeneralUpgradeInfo(); }, 103,
       "Not connected."},
      {"set period", [] { return vexo25_setEffectiveClassidPeriod("2024-S1"); }, 203,
       "not connected"},
      {"token", [] { return vexo25_obtainAuthToken("desk") == nullptr ? 103 : -1; }, 103,
       "Not connected."},
      {"attribute", [] { return *vexo25_getCoreGroupRemoteAttributeString("motto") ? -1 : 203; },
       203, "not connected"},
      {"get period", [] { return *vexo25_getEffectiveClassidPeriod() ? -1 : 203; }, 203,
       "not connected"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.call), (Outcome{c.status, c.message, false})) << c.name;
  }
  EXPECT_TRUE(sessionPosts().empty());
  EXPECT_EQ(text(vexo25_getScreenName()), "(null)");
  EXPECT_EQ(text(vexo25_getClientGeneralUpgradeRemoteKey()), "(null)");
  EXPECT_EQ(vexo25_isLoggedIn(), 0);
  EXPECT_EQ(vexo25_getCoreGroupRemoteAttributeBoolean("two"), 0);
}

TEST_F(SessionOperationsTest, ALoggedInSessionAnswersItsGettersAndARefusalKeepsIt) {
  ASSERT_EQ(vexo25_connect(), 0);
  EXPECT_EQ(vexo25_isConnected(), 1);
  EXPECT_EQ(run([] { return vexo25_loginUsingPassword("teacher1", "wrong"); }),
            (Outcome{301, "", true}));
  EXPECT_EQ(run([] { return vexo25_loginUsingPassword("admin", "root!pw"); }),
            (Outcome{0, "", true}));
  EXPECT_EQ(vexo25_isLoggedIn(), 1);
  EXPECT_EQ(text(vexo25_getScreenName()), "admin");
  EXPECT_EQ(text(vexo25_getCoreGroupAlias()), "district");
  EXPECT_EQ(text(vexo25_getCoreGroupTitle()), "Lake District");
  EXPECT_EQ(vexo25_isSuperUser(), 1);
  EXPECT_EQ(vexo25_isSuperViewerOnly(), 0);
  EXPECT_EQ(run([] { return vexo25_touchSession(); }), (Outcome{0, "", true}));
  EXPECT_EQ(run([] { return vexo25_logout(); }), (Outcome{0, "", true}));
  EXPECT_EQ(vexo25_isLoggedIn(), 0);
  EXPECT_EQ(run([] { return vexo25_logout(); }), (Outcome{204, "", true}));
  EXPECT_EQ(run([] { return vexo25_disconnect(); }), (Outcome{0, "", false}));
  EXPECT_EQ(run([] { return vexo25_touchSession(); }), (Outcome{103, "Not connected.", false}));

  ASSERT_EQ(vexo25_connect(), 0);
  ASSERT_EQ(vexo25_loginUsingPassword("upgrader", "newer"), 0);
  EXPECT_EQ(vexo25_isClientUpgradeNeeded(), 1);
  EXPECT_EQ(vexo25_getClientUpgradeIsPatch(), 1);
  EXPECT_EQ(text(vexo25_getClientUpgradeVersion()), "2.6.0");
  EXPECT_EQ(text(vexo25_getClientUpgradeRemoteKey()), "upgrades/2.6.0");
  EXPECT_EQ(text(vexo25_getClientUpgradeInstallString()), "install 2.6.0");
}

TEST_F(SessionOperationsTest, AFailureByExceptionEndsTheSessionAndNothingElseDoes) {
  struct Case {
    const char* name;
    const char* user;
    std::function<void()> prepare;
    std::function<int()> call;
    Outcome expected;
  };
  const auto http500 = [] { scriptNext(500, "down"); };
  const auto nothing = [] {};
  const std::vector<Case> cases = {
      {"refused alias", "teacher1", nothing,
       [] { return vexo25_setCoreGroupUsingAlias("nowhere"); },
       {308, "insufficientPrivileges", false}},
      {"accepted alias", "teacher1", nothing,
       [] { return vexo25_setCoreGroupUsingAlias("south"); },
       {0, "", true}},
      {"entid", "teacher1", nothing, [] { return vexo25_setCoreGroupUsingEntid("1"); },
       {0, "", true}},
      {"touch, HTTP 500", "teacher1", http500, [] { return vexo25_touchSession(); },
       {125, "HTTP result code: 500", false}},
      {"token refused", "limited", nothing,
       [] { return vexo25_obtainAuthToken("desk") ? 0 : vexo25_getErrorMessage()[0] ? 1 : 2; },
       {1, "insufficientPrivileges", false}},
      {"unknown period", "teacher1", nothing,
       [] { return vexo25_setEffectiveClassidPeriod("1999"); },
       {300, "systemError", false}},
      {"attribute, HTTP 503", "teacher1", [] { scriptNext(503, ""); },
       [] { return *vexo25_getCoreGroupRemoteAttributeString("motto") ? -1 : 125; },
       {125, "HTTP result: 503", false}},
      {"no general upgrade", "teacher1", nothing,
       [] { return vexo25_retrieveClientGeneralUpgradeInfo(); }, {314, "", true}},
      {"null screen name", "teacher1", nothing,
       [] { return vexo25_loginUsingPassword(nullptr, "x"); }, {103, "Null argument", true}},
      {"null password", "teacher1", nothing,
       [] { return vexo25_loginUsingPassword("teacher1", nullptr); },
       {103, "Null argument", true}},
      {"null token", "teacher1", nothing, [] { return vexo25_loginUsingAuthToken(nullptr); },
       {103, "Null argument", true}},
      {"null alias", "teacher1", nothing, [] { return vexo25_setCoreGroupUsingAlias(nullptr); },
       {103, "Null argument", true}},
      {"null entid", "teacher1", nothing, [] { return vexo25_setCoreGroupUsingEntid(nullptr); },
       {103, "Null argument", true}},
      {"null attribute", "teacher1", nothing,
       [] { return *vexo25_getCoreGroupRemoteAttributeString(nullptr) ? -1 : 103; },
       {103, "Null argument", true}},
  };
  for (const Case& c : cases) {
    service().clear();
    logIn(c.user, c.user == std::string("limited") ? "little" : "apple-pie");
    c.prepare();
    EXPECT_EQ(run(c.call), c.expected) << c.name;
    if (!c.expected.connected) {
      EXPECT_EQ(run([] { return vexo25_loginUsingPassword("teacher1", "apple-pie"); }),
                (Outcome{103, "Not connected.", false}))
          << c.name;
    }
  }
}

TEST_F(SessionOperationsTest, TokensCoreGroupsAttributesAndPeriods) {
  logIn("teacher1", "apple-pie");
  const std::string token = text(vexo25_obtainAuthToken(nullptr));
  EXPECT_NE(token.find("-teacher1-any-"), std::string::npos) << token;
  EXPECT_EQ(sessionPosts().back().count("req.0.forStationType"), 0u);
  EXPECT_NE(text(vexo25_obtainAuthToken("kiosk")).find("-kiosk-"), std::string::npos);

  // The token logs in on a fresh connection.
  ASSERT_EQ(vexo25_connect(), 0);
  EXPECT_EQ(vexo25_isLoggedIn(), 0);
  EXPECT_EQ(vexo25_loginUsingAuthToken(token.c_str()), 0);
  EXPECT_EQ(text(vexo25_getScreenName()), "teacher1");

  ASSERT_EQ(vexo25_setCoreGroupUsingAlias("south"), 0);
  EXPECT_EQ(text(vexo25_getCoreGroupTitle()), "South High");

  EXPECT_EQ(text(vexo25_getCoreGroupRemoteAttributeString("motto")), "Learn well");
  const std::vector<std::pair<const char*, int>> booleans = {
      {"shouting", 1}, {"two", 1}, {"zero", 0}, {"motto", 0}, {"empty", 0}};
  for (const auto& b : booleans) {
    EXPECT_EQ(vexo25_getCoreGroupRemoteAttributeBoolean(b.first), b.second) << b.first;
  }

  EXPECT_EQ(text(vexo25_getEffectiveClassidPeriod()), "2024-S1");
  EXPECT_EQ(vexo25_setEffectiveClassidPeriod("2024-S2"), 0);
  EXPECT_EQ(text(vexo25_getEffectiveClassidPeriod()), "2024-S2");
  // A null period is the empty one, which this service does not know.
  EXPECT_EQ(vexo25_setEffectiveClassidPeriod(nullptr), 300);
  EXPECT_EQ(sessionPosts().back().at("req.0.effectiveClassIdPeriod"), "");
  EXPECT_EQ(vexo25_isConnected(), 0);

  // An answer without the attribute is a failed request: false, told apart by the status.
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(vexo25_getCoreGroupRemoteAttributeBoolean("missing"), 0);
  EXPECT_EQ(message(), "'resp.0.attrVal' not found");
  EXPECT_EQ(vexo25_isConnected(), 0);
}

TEST_F(SessionOperationsTest, GeneralUpgradeTextsOutliveTheSessionButNeedOneToBeRead) {
  logIn("upgrader", "newer");
  ASSERT_EQ(vexo25_retrieveClientGeneralUpgradeInfo(), 0);
  EXPECT_EQ(text(vexo25_getClientGeneralUpgradeRemoteKey()), "general/2.6.0");
  EXPECT_EQ(text(vexo25_getClientGeneralUpgradeInstallString()), "run setup");
  ASSERT_EQ(vexo25_disconnect(), 0);
  EXPECT_EQ(vexo25_retrieveClientGeneralUpgradeInfo(), 103);
  EXPECT_EQ(text(vexo25_getClientGeneralUpgradeRemoteKey()), "(null)");
  ASSERT_EQ(vexo25_connect(), 0);
  EXPECT_EQ(text(vexo25_getClientGeneralUpgradeRemoteKey()), "general/2.6.0");
}

// No answer at all is still 125; the message says why, for the program to show.
TEST_F(SessionOperationsTest, ALoginWithoutAnAnswerNamesTheCause) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(closedLocalPort()) + "/";
  vexo25_overrideConfigOption("sessionurl", refused.c_str());
  ASSERT_EQ(vexo25_connect(), 0) << message();
  EXPECT_EQ(vexo25_loginUsingPassword("teacher1", "apple-pie"), 125);
  EXPECT_EQ(message().rfind("HTTP result code: 0 (connection refused; ", 0), 0u) << message();
  EXPECT_EQ(vexo25_isConnected(), 0);
}

TEST_F(SessionOperationsTest, ASecondConnectReplacesTheSession) {
  vexo25_setTimeoutSeconds(5);  // nothing to apply it to, and nothing kept
  logIn("teacher1", "apple-pie");
  ASSERT_EQ(vexo25_connect(), 0);
  EXPECT_EQ(vexo25_isConnected(), 1);
  EXPECT_EQ(vexo25_isLoggedIn(), 0);
  EXPECT_EQ(text(vexo25_getScreenName()), "");
  EXPECT_EQ(vexo25_touchSession(), 204);
}

}  // namespace
}  // namespace vexotest
