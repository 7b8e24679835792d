// The session's data queries against the fake service: every table read back column by
// column with the defaults of absent fields, the request each sends, and what a failure
// leaves in the caller's vectors.
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "session_service_test.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"

namespace vexotest {
namespace {

using vexo::Session;
using vexo::VexoException;
typedef std::vector<std::string> Texts;
typedef std::vector<int> Flags;

class SessionQueriesTest : public SessionServiceTest {
 protected:
  void SetUp() override {
    SessionServiceTest::SetUp();
    session = loggedIn("teacher1", "apple-pie");
  }

  // The fields of the last POST.
  std::map<std::string, std::string> lastPost() { return sessionPosts().back(); }

  std::unique_ptr<Session> session;
};

TEST_F(SessionQueriesTest, EveryTableReadsBackColumnByColumn) {
  Texts a, b, c, d, e, f, g;
  Flags x, y;

  EXPECT_EQ(session->getTaughtClassesInfo(a, b, c), 2);
  EXPECT_EQ(a, (Texts{"17", "18"}));
  EXPECT_EQ(b, (Texts{"Algebra", "Biology"}));
  EXPECT_EQ(c, (Texts{"", "3"}));

  EXPECT_EQ(session->getGradebookInfo(a, b, c, x, y, d, e), 2);
  EXPECT_EQ(a, (Texts{"17", "19"}));
  EXPECT_EQ(b, (Texts{"Algebra", "Geometry"}));
  EXPECT_EQ(c, (Texts{"algebra.mtb", "geometry.mtb"}));
  EXPECT_EQ(x, (Flags{1, 1}));
  EXPECT_EQ(y, (Flags{0, 1}));
  EXPECT_EQ(d, (Texts{"3", ""}));
  EXPECT_EQ(e, (Texts{"", "read"}));

  EXPECT_EQ(session->getCoreGroupTeachersAndGradebooks(a, b, c, d, e, x, y, f, g), 2);
  EXPECT_EQ(a, (Texts{"t1", "t2"}));
  EXPECT_EQ(b, (Texts{"Ms. Teacher", "Mr. Other"}));
  EXPECT_EQ(c, (Texts{"17", "18"}));
  EXPECT_EQ(d, (Texts{"Algebra", "Biology"}));
  EXPECT_EQ(e, (Texts{"algebra.mtb", "biology.mtb"}));
  EXPECT_EQ(x, (Flags{1, 0}));
  EXPECT_EQ(y, (Flags{1, 0}));  // "TRUE" is no flag of the protocol
  EXPECT_EQ(f, (Texts{"3", ""}));
  EXPECT_EQ(g, (Texts{"full", ""}));

  EXPECT_EQ(session->getCoreGroupTeachersAndClasses(a, b, c, d, e), 2);
  EXPECT_EQ(a, (Texts{"t1", "t2"}));
  EXPECT_EQ(d, (Texts{"Algebra", "Biology"}));
  EXPECT_EQ(e, (Texts{"3", ""}));

  EXPECT_EQ(session->getRosterUserInfo("17", a, b, c, d, x), 3);
  EXPECT_EQ(a, (Texts{"Ann", "Bo", "Cy"}));
  EXPECT_EQ(b, (Texts{"Lee", "Kim", "Teach"}));
  EXPECT_EQ(c, (Texts{"s1", "s2", "t1"}));
  EXPECT_EQ(d, (Texts{"alee", "bkim", "teacher1"}));
  EXPECT_EQ(x, (Flags{0, 0, 1}));
  EXPECT_EQ(lastPost().at("req.0.classID"), "17");

  EXPECT_EQ(session->getCoreGroupsInfo(false, a, b, c, d, x), 3);
  EXPECT_EQ(a, (Texts{"North High", "South High", "Lake District"}));
  EXPECT_EQ(b, (Texts{"5", "6", "1"}));
  EXPECT_EQ(c, (Texts{"north", "south", "district"}));
  EXPECT_EQ(d, (Texts{"N-01", "", ""}));
  EXPECT_EQ(x, (Flags{0, 0, 1}));
  EXPECT_EQ(lastPost().at("req.0.includeImplicitCoreGroups"), "false");
  EXPECT_EQ(session->getCoreGroupsInfo(true, a, b, c, d, x), 4);
  EXPECT_EQ(c.back(), "summer");
  EXPECT_EQ(x.back(), 1);
  EXPECT_EQ(lastPost().at("req.0.includeImplicitCoreGroups"), "true");

  EXPECT_EQ(session->getDistrictSchoolsInfo(a, b, c, d), 2);
  EXPECT_EQ(a, (Texts{"north", "south"}));
  EXPECT_EQ(b, (Texts{"North High", "South High"}));
  EXPECT_EQ(c, (Texts{"5", "6"}));
  EXPECT_EQ(d, (Texts{"NH", "SH"}));

  EXPECT_EQ(session->getGradedFormListForTeacher(a, b, c, d, e, f), 3);
  EXPECT_EQ(a, (Texts{"F-100", "F-101", "F-200"}));
  EXPECT_EQ(b, (Texts{"2024-03-01-1200-00", "2024-03-08-0930-15", "2024-04-01-0800-00"}));
  EXPECT_EQ(c, (Texts{"quiz", "test", "quiz"}));
  EXPECT_EQ(d, (Texts{"Fractions", "Decimals", "Cells"}));
  EXPECT_EQ(e, (Texts{"17", "17", "18"}));
  EXPECT_EQ(f, (Texts{"10", "50", "5"}));
  EXPECT_EQ(session->getGradedFormListForClass("18", a, b, c, d, e, f), 1);
  EXPECT_EQ(a, (Texts{"F-200"}));
  EXPECT_EQ(lastPost().at("req.0.classID"), "18");

  EXPECT_EQ(session->getGradesForForm("F-100", a, b), 2);
  EXPECT_EQ(a, (Texts{"s1", "s2"}));
  EXPECT_EQ(b, (Texts{"9.5", "7"}));
  EXPECT_EQ(lastPost().at("req.0.formEntid"), "F-100");

  EXPECT_EQ(session->getCoreGroupClassidPeriodsInfo(a, b, c, d, e), 2);
  EXPECT_EQ(a, (Texts{"2024-S1", "2024-S2"}));
  EXPECT_EQ(b, (Texts{"S1", "S2"}));
  EXPECT_EQ(c, (Texts{"Spring 2024", "Fall 2024"}));
  EXPECT_EQ(d, (Texts{"semester", "semester"}));
  EXPECT_EQ(e, (Texts{"short", ""}));

  EXPECT_EQ(session->getInterfacesInfo(a, b), 2);
  EXPECT_EQ(a, (Texts{"gradebook", "attendance"}));
  EXPECT_EQ(b, (Texts{"11", "12"}));

  EXPECT_EQ(session->getCoreGroupRemoteAttributeString("motto"), "Learn well");
  EXPECT_EQ(lastPost().at("req.0.attrName"), "motto");
  EXPECT_EQ(session->getCoreGroupRemoteAttributeString("empty"), "");
  try {
    session->getCoreGroupRemoteAttributeString("unknown");
    ADD_FAILURE() << "no failure";
  } catch (const std::logic_error& e) {
    EXPECT_EQ(std::string(e.what()), "'resp.0.attrVal' not found");
  }
}

TEST_F(SessionQueriesTest, EachQuerySendsOneOperationWithoutPasses) {
  Texts t;
  Flags f;
  const std::vector<std::pair<std::string, std::function<void()>>> queries = {
      {"getTaughtClassesInfo", [&] { session->getTaughtClassesInfo(t, t, t); }},
      {"getCoreGroupClassIdPeriodsInfo",
       [&] { session->getCoreGroupClassidPeriodsInfo(t, t, t, t, t); }},
      {"getCoreGroupRemoteAttr", [&] { session->getCoreGroupRemoteAttributeString("motto"); }},
      {"getGradebookInfo", [&] { session->getGradebookInfo(t, t, t, f, f, t, t); }},
  };
  for (const auto& q : queries) {
    service().clear();
    session = loggedIn("teacher1", "apple-pie");
    q.second();
    const auto post = lastPost();
    EXPECT_EQ(post.at("req.count"), "1") << q.first;
    EXPECT_EQ(post.at("req.0.type"), q.first);
    EXPECT_FALSE(post.count("req.hasMoreData")) << q.first;
    EXPECT_EQ(post.at("req.clientAttribute.client"), "marktally") << q.first;
  }
}

TEST_F(SessionQueriesTest, FailuresBeforeTheCountLeaveThePreviousRows) {
  Texts ids, titles, periods;
  ASSERT_EQ(session->getTaughtClassesInfo(ids, titles, periods), 2);
  const Texts before = ids;
  struct Case {
    const char* what;
    int status;
    std::string body;
    int code;  // of the VexoException; 0 for another failure
    std::string message;
  };
  const std::vector<Case> cases = {
      {"HTTP 500", 500, "resp.0.retcode=ok\r\n", 125, "HTTP result: 500"},
      {"HTTP 404", 404, "", 125, "HTTP result: 404"},
      {"no return code", 200, "resp.0.class.count=0\r\n", 300, "returnCode = ''"},
      {"refused", 200, "resp.0.retcode=notAuthenticated\r\n", 303,
       "returnCode = 'notAuthenticated'"},
      {"unknown code", 200, "resp.0.retcode=brandNew\r\n", 300, "returnCode = 'brandNew'"},
      {"malformed", 200, "resp.0.retcode=ok\r\nno record\r\n", 103, ""},
      {"no count", 200, "resp.0.retcode=ok\r\n", 0, "'resp.0.class.count' not found"},
      {"count no number", 200, "resp.0.retcode=ok\r\nresp.0.class.count=2x\r\n", 0, ""},
  };
  for (const Case& c : cases) {
    scriptNext(c.status, c.body);
    try {
      session->getTaughtClassesInfo(ids, titles, periods);
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const VexoException& e) {
      EXPECT_EQ(e.statusCode, c.code) << c.what;
      if (!c.message.empty()) {
        EXPECT_EQ(std::string(e.what()), c.message) << c.what;
      }
    } catch (const std::logic_error& e) {
      EXPECT_EQ(c.code, 0) << c.what;
      EXPECT_EQ(std::string(e.what()), c.message) << c.what;
    } catch (const boost::bad_lexical_cast&) {
      EXPECT_EQ(std::string(c.what), "count no number");
    }
    EXPECT_EQ(ids, before) << c.what;
    EXPECT_EQ(titles, (Texts{"Algebra", "Biology"})) << c.what;
  }
  Session unconnected;
  EXPECT_THROW(unconnected.getTaughtClassesInfo(ids, titles, periods), VexoException);
  std::unique_ptr<Session> anonymous = connected();
  const std::size_t sent = sessionPosts().size();
  try {
    anonymous->getTaughtClassesInfo(ids, titles, periods);
    ADD_FAILURE() << "no failure";
  } catch (const VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_EQ(std::string(e.what()), "Not logged in.");
  }
  EXPECT_EQ(sessionPosts().size(), sent);
  EXPECT_EQ(ids, before);
  // The one query that needs no login.
  EXPECT_EQ(anonymous->getInterfacesInfo(ids, titles), 2);
}

TEST_F(SessionQueriesTest, AMissingFieldLeavesTheRowsReadBeforeIt) {
  Texts ids{"old"}, titles{"old"}, periods{"old"};
  scriptNext(200,
             "resp.0.retcode=ok\r\nresp.0.class.count=3\r\n"
             "resp.0.class.0.id=17\r\nresp.0.class.0.title=Algebra\r\n"
             "resp.0.class.1.id=18\r\nresp.0.class.1.periodID=3\r\n"
             "resp.0.class.2.id=19\r\nresp.0.class.2.title=Geometry\r\n");
  try {
    session->getTaughtClassesInfo(ids, titles, periods);
    ADD_FAILURE() << "no failure";
  } catch (const std::logic_error& e) {
    EXPECT_EQ(std::string(e.what()), "'resp.0.class.1.title' not found");
  }
  EXPECT_EQ(ids, (Texts{"17", "18"}));
  EXPECT_EQ(titles, (Texts{"Algebra"}));
  EXPECT_EQ(periods, (Texts{""}));

  // A core group without its district flag fails the whole call; a roster row without
  // isTeacher is a student.
  Texts a, b, c, d;
  Flags x;
  scriptNext(200,
             "resp.0.retcode=ok\r\nresp.0.group.count=1\r\nresp.0.group.0.title=T\r\n"
             "resp.0.group.0.entid=E\r\nresp.0.group.0.alias=A\r\n");
  EXPECT_THROW(session->getCoreGroupsInfo(false, a, b, c, d, x), std::logic_error);
  EXPECT_EQ(d, (Texts{""}));
  EXPECT_TRUE(x.empty());
}

TEST_F(SessionQueriesTest, CountsAndFlagsAsTheServerWritesThem) {
  Texts a{"old"}, b{"old"}, c{"old"}, d{"old"};
  Flags x{7};
  for (const char* count : {"0", "-2"}) {
    scriptNext(200, std::string("resp.0.retcode=ok\r\nresp.0.user.count=") + count + "\r\n");
    EXPECT_EQ(session->getRosterUserInfo("17", a, b, c, d, x), std::stoi(count));
    EXPECT_TRUE(a.empty() && b.empty() && c.empty() && d.empty() && x.empty()) << count;
  }
  std::string body = "resp.0.retcode=ok\r\nresp.0.user.count=6\r\n";
  const std::vector<std::string> flags = {"1", "true", "TRUE", "", "yes", "0"};
  for (std::size_t j = 0; j < flags.size(); ++j) {
    const std::string row = "resp.0.user." + std::to_string(j) + ".";
    body += row + "firstName=F\r\n" + row + "lastName=L\r\n" + row + "userID=U\r\n" + row +
            "screenName=S\r\n" + row + "isTeacher=" + flags[j] + "\r\n";
  }
  scriptNext(200, body);
  EXPECT_EQ(session->getRosterUserInfo("17", a, b, c, d, x), 6);
  EXPECT_EQ(x, (Flags{1, 1, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace vexotest
