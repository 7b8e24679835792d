// The server operations as request objects: what each writes under its prefix, what it reads
// from an answer, and the return-code table.
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/optional/optional_io.hpp>
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/session/DSRequest.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/session/Session.h"

namespace vexotest {
namespace {

using namespace vexo;  // NOLINT: the request classes are the subject here
typedef std::map<std::string, std::string> Values;

Values written(DSRequest& request, const std::string& prefix) {
  NVPSet set;
  request.setRequestNVPs(set, prefix);
  Values values;
  for (const std::string& name : set.getNVPNames()) {
    values[name] = set.getString(name);
  }
  return values;
}

NVPSet answer(const Values& values) {
  NVPSet set;
  for (const auto& v : values) {
    set.setString(v.first, v.second);
  }
  return set;
}

class DSRequestTest : public FrameworkTest {
 protected:
  Session session;
};

TEST_F(DSRequestTest, ReturnCodeNamesMapToTheServiceNumbers) {
  const std::map<std::string, int> codes = {
      {"ok", 0},
      {"systemError", 300},
      {"authenticationFailed", 301},
      {"invalidAuthToken", 302},
      {"notAuthenticated", 303},
      {"accountProblem", 304},
      {"dataMaintenance", 305},
      {"invalidTeacherID", 306},
      {"authenticationLimited", 307},
      {"insufficientPrivileges", 308},
      {"migrationSyncBlocked", 309},
      {"unimplementedOperation", 310},
      {"teacherLockout", 311},
      {"teacherLockoutAfterCompletion", 312},
      {"loginConflict", 313},
      {"noGeneralUpgradeAvailable", 314},
      {"zeroByteSaveBlocked", 315},
      {"", 300},
      {"Ok", 300},
      {"OK", 300},
      {"fooBar", 300},
      {"ok ", 300},
  };
  for (const auto& c : codes) {
    EXPECT_EQ(getRetCodeForString(c.first), c.second) << "'" << c.first << "'";
  }
}

TEST_F(DSRequestTest, EachRequestWritesItsOperationAndKeysUnderThePrefix) {
  struct Case {
    std::function<std::shared_ptr<DSRequest>()> make;
    Values expected;
  };
  Session& s = session;
  const std::vector<Case> cases = {
      {[&] { return std::make_shared<NoopRequest>(s); }, {{"req.0.type", "noop"}}},
      {[&] { return std::make_shared<LoginUsingPasswordRequest>(s, "t1", ""); },
       {{"req.0.type", "loginUsingPassword"}, {"req.0.screenName", "t1"},
        {"req.0.password", ""}}},
      {[&] { return std::make_shared<LoginUsingAuthTokenRequest>(s, "TK"); },
       {{"req.0.type", "loginUsingAuthToken"}, {"req.0.authToken", "TK"}}},
      {[&] { return std::make_shared<LogoutRequest>(s); }, {{"req.0.type", "logout"}}},
      {[&] { return std::make_shared<TouchSessionRequest>(s); }, {{"req.0.type", "touchSession"}}},
      {[&] { return std::make_shared<ObtainAuthTokenRequest>(s, ""); },
       {{"req.0.type", "obtainAuthToken"}}},
      {[&] { return std::make_shared<ObtainAuthTokenRequest>(s, "kiosk"); },
       {{"req.0.type", "obtainAuthToken"}, {"req.0.forStationType", "kiosk"}}},
      {[&] { return std::make_shared<RetrieveClientGeneralUpgradeInfoRequest>(s); },
       {{"req.0.type", "retrieveClientGeneralUpgradeInfo"}}},
      {[&] { return std::make_shared<SetCoreGroupRequest>(s, "5", "north"); },
       {{"req.0.type", "setCoreGroup"}, {"req.0.coreGroupEntid", "5"}}},
      {[&] { return std::make_shared<SetCoreGroupRequest>(s, "", ""); },
       {{"req.0.type", "setCoreGroup"}, {"req.0.coreGroupAlias", ""}}},
      {[&] { return std::make_shared<GetEffectiveClassidPeriodRequest>(s); },
       {{"req.0.type", "getEffectiveClassIdPeriod"}}},
      {[&] { return std::make_shared<SetEffectiveClassidPeriodRequest>(s, ""); },
       {{"req.0.type", "setEffectiveClassIdPeriod"}, {"req.0.effectiveClassIdPeriod", ""}}},
  };
  for (const Case& c : cases) {
    const std::shared_ptr<DSRequest> request = c.make();
    EXPECT_EQ(written(*request, "req.0."), c.expected);
    // Every follow-up is a fresh no-op.
    const std::shared_ptr<DSRequest> next = request->getFollowUpRequest();
    EXPECT_NE(next, request);
    EXPECT_EQ(written(*next, "req.3."), (Values{{"req.3.type", "noop"}}));
  }
}

TEST_F(DSRequestTest, AnswersAreReadUnderTheResponsePrefix) {
  LoginUsingPasswordRequest login(session, "t1", "pw");
  EXPECT_EQ(login.getRetCode(), 300);  // nothing read yet
  login.processResponseNVPs(
      answer({{"resp.2.retcode", "loginConflict"}, {"resp.2.userVisibleMessage", "Elsewhere"},
              {"resp.0.retcode", "ok"}}),
      "resp.2.");
  EXPECT_EQ(login.getRetCode(), 313);
  EXPECT_EQ(login.getRetCodeString(), "loginConflict");
  EXPECT_EQ(login.getUserVisibleMessage(), "Elsewhere");

  const std::map<std::string, boost::optional<bool>> touches = {
      {"", boost::none}, {"1", true}, {"true", true}, {"TRUE", false}, {"no", false}};
  for (const auto& t : touches) {
    TouchSessionRequest touch(session);
    Values values{{"resp.0.retcode", "ok"}};
    if (!t.first.empty()) {
      values["resp.0.isLoggedIn"] = t.first;
    }
    touch.processResponseNVPs(answer(values), "resp.0.");
    EXPECT_EQ(touch.isLoggedIn, t.second) << t.first;
  }

  RetrieveClientGeneralUpgradeInfoRequest upgrade(session);
  upgrade.processResponseNVPs(answer({{"resp.0.retcode", "noGeneralUpgradeAvailable"}}),
                              "resp.0.");
  EXPECT_EQ(upgrade.getRetCode(), 314);
  EXPECT_EQ(upgrade.remoteKey, "");
  EXPECT_EQ(upgrade.installString, "");

  SetCoreGroupRequest group(session, "", "north");
  group.processResponseNVPs(answer({{"resp.0.retcode", "ok"}, {"resp.0.newCoreGroupTitle", ""}}),
                            "resp.0.");
  EXPECT_EQ(group.newCoreGroupAlias, boost::none);
  EXPECT_EQ(group.newCoreGroupTitle, std::string());
}

TEST_F(DSRequestTest, RequiredAnswersMustBeThereWhateverTheCode) {
  const auto failure = [](const std::function<void()>& f) -> std::string {
    try {
      f();
    } catch (const std::logic_error& e) {
      return e.what();
    }
    return "";
  };
  NoopRequest noop(session);
  EXPECT_EQ(failure([&] { noop.processResponseNVPs(answer({}), "resp.0."); }),
            "'resp.0.retcode' not found");
  ObtainAuthTokenRequest token(session, "");
  EXPECT_EQ(failure([&] {
              token.processResponseNVPs(answer({{"resp.0.retcode", "insufficientPrivileges"}}),
                                        "resp.0.");
            }),
            "'resp.0.authToken' not found");
  EXPECT_EQ(token.getRetCodeString(), "insufficientPrivileges");  // read before the failure
  GetEffectiveClassidPeriodRequest period(session);
  EXPECT_EQ(failure([&] {
              period.processResponseNVPs(answer({{"resp.0.retcode", "ok"}}), "resp.0.");
            }),
            "'resp.0.effectiveClassIdPeriod' not found");

  // A chunk where a defaulted text is expected reads as the default.
  NVPSet withChunk = answer({{"resp.0.retcode", "ok"}});
  withChunk.setChunk("resp.0.userVisibleMessage", reinterpret_cast<const unsigned char*>("m"),
                     0, 1);
  withChunk.setChunk("resp.0.remoteKey", reinterpret_cast<const unsigned char*>("k"), 0, 1);
  RetrieveClientGeneralUpgradeInfoRequest upgrade(session);
  upgrade.processResponseNVPs(withChunk, "resp.0.");
  EXPECT_EQ(upgrade.getUserVisibleMessage(), "");
  EXPECT_EQ(upgrade.remoteKey, "");
}

}  // namespace
}  // namespace vexotest
