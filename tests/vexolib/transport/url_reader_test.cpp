// The URL reader against the fake service: redirects, cookies, failures and refusals.
#include <chrono>
#include <stdexcept>

#include <gtest/gtest.h>

#include "service_test.h"
#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/transport/ResponseBody.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/seams/transport_detail.h"

namespace vexotest {
namespace {

namespace platform = vexo::platform;

struct Fetch {
  bool ok = false;
  std::vector<unsigned char> body;
  std::string error = "caller's text";
  int status = -100;

  std::string text() const { return std::string(body.begin(), body.end()); }
};

class UrlReaderTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    vexo::transport_detail::setConnectTimeoutMillis(30000);
    ASSERT_TRUE(platform::startUrlReader());
  }
  void TearDown() override {
    vexo::transport_detail::setStallSeconds(120);
    platform::stopUrlReader();
    ServiceTest::TearDown();
  }

  Fetch fetch(const std::string& url) {
    Fetch f;
    f.ok = platform::readUrl(url, f.body, f.error, f.status, "marktally", "65");
    return f;
  }

  static ScriptedAnswer page(int status, const std::string& body,
                             const NamedTexts& headers = {}) {
    ScriptedAnswer a;
    a.status = status;
    a.body = body;
    a.headers = headers;
    return a;
  }
};

TEST_F(UrlReaderTest, ReadsAPageAndNamesTheClient) {
  service().script("/result", {page(200, "<html>done</html>")});
  const Fetch f = fetch(service().url("/result?x=1"));
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.status, 200);
  EXPECT_EQ(f.text(), "<html>done</html>");
  EXPECT_EQ(f.error, "caller's text");
  const RecordedRequest r = service().requests().at(0);
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.target, "/result?x=1");
  EXPECT_EQ(r.header("User-Agent"), "vexo (2.5.72; 2; curl; readUrl; marktally; macmacho)");
}

TEST_F(UrlReaderTest, OtherStatusesAnswerFalseWithTheirPage) {
  for (const int status : {404, 500, 302}) {
    service().script("/p", {page(status, "page " + std::to_string(status))});
    const Fetch f = fetch(service().url("/p"));
    EXPECT_FALSE(f.ok) << status;
    EXPECT_EQ(f.status, status);
    EXPECT_EQ(f.text(), "page " + std::to_string(status)) << "a 302 without Location";
    EXPECT_EQ(f.error, "caller's text");
  }
}

TEST_F(UrlReaderTest, FollowsRedirectsWithinLimits) {
  service().script("/a", {page(302, "", {{"Location", "/b"}})});
  service().script("/b", {page(301, "", {{"Location", service().url("/c")}})});
  service().script("/c", {page(200, "final")});
  Fetch f = fetch(service().url("/a"));
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.status, 200);
  EXPECT_EQ(f.text(), "final");
  EXPECT_EQ(service().requests().size(), 3u);

  ScriptedAnswer loop = page(302, "", {{"Location", "/loop"}});
  loop.repeat = true;
  service().script("/loop", {loop});
  f = fetch(service().url("/loop"));
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.status, 0);
  EXPECT_TRUE(f.body.empty());
  EXPECT_NE(f.error.find("redirect"), std::string::npos) << f.error;
  EXPECT_LE(service().requests().size(), 3u + 11u) << "a loop is cut off";
}

TEST_F(UrlReaderTest, RefusesEverySchemeButHttpAndHttps) {
  const std::string folder = makeFolder("file-scheme");
  writeFile(folder + "/secret.txt", "local file");
  service().script("/to-file",
                   {page(302, "", {{"Location", "file://" + folder + "/secret.txt"}})});
  service().script("/to-ftp", {page(302, "", {{"Location", "ftp://127.0.0.1:9/x"}})});
  for (const std::string& url : {service().url("/to-file"), service().url("/to-ftp"),
                                "file://" + folder + "/secret.txt", std::string("gopher://x/")}) {
    const Fetch f = fetch(url);
    EXPECT_FALSE(f.ok) << url;
    EXPECT_EQ(f.status, 0) << url;
    EXPECT_TRUE(f.body.empty()) << url;
    EXPECT_NE(f.error, "caller's text") << url;
  }
}

TEST_F(UrlReaderTest, CookiesLastAsLongAsTheReader) {
  service().script("/set", {page(200, "set", {{"Set-Cookie", "rid=r1; Path=/"}})});
  fetch(service().url("/set"));
  fetch(service().url("/next"));
  platform::stopUrlReader();
  ASSERT_TRUE(platform::startUrlReader());
  fetch(service().url("/after"));
  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].header("Cookie"), "rid=r1");
  EXPECT_FALSE(requests[2].hasHeader("Cookie"));
}

TEST_F(UrlReaderTest, OneReaderAtATime) {
  EXPECT_FALSE(platform::startUrlReader());
  service().script("/still", {page(200, "works")});
  EXPECT_TRUE(fetch(service().url("/still")).ok) << "the first reader keeps working";
  platform::stopUrlReader();
  Fetch f;
  f.ok = platform::readUrl(service().url("/none"), f.body, f.error, f.status, "m", "");
  EXPECT_FALSE(f.ok) << "no reader, no fetch";
  EXPECT_EQ(f.status, 0);
  EXPECT_TRUE(platform::startUrlReader());
}

TEST_F(UrlReaderTest, FailedTransfersGiveNoPageAndLibcurlsText) {
  ScriptedAnswer truncated = page(200, std::string(5000, 'p'));
  truncated.truncate = 100;
  ScriptedAnswer dropped;
  dropped.drop = true;
  service().script("/cut", {truncated});
  service().script("/drop", {dropped});
  const std::string refused = "http://127.0.0.1:" + std::to_string(closedLocalPort()) + "/";
  for (const std::string& url : {service().url("/cut"), service().url("/drop"), refused}) {
    const Fetch f = fetch(url);
    EXPECT_FALSE(f.ok) << url;
    EXPECT_EQ(f.status, 0) << url;
    EXPECT_TRUE(f.body.empty()) << url;
    EXPECT_NE(f.error, "caller's text") << url;
    EXPECT_FALSE(f.error.empty()) << url;
  }
  std::string log;
  for (const platform::LogEntry& entry : platform::accessLogTable()) {
    log += entry.text + "\n";
  }
  EXPECT_NE(log.find("send failed. http code = 0, error buffer = '"), std::string::npos) << log;
  EXPECT_NE(log.find("CURL error (7)"), std::string::npos) << log;
}

TEST_F(UrlReaderTest, APageLongerThan16MiBOrEndlessIsNoPage) {
  ScriptedAnswer huge = page(200, "<html>");
  huge.huge = 50000000;
  ScriptedAnswer endless = page(200, "<html>");
  endless.endless = true;
  ScriptedAnswer exact = page(200, "<html>");
  exact.huge = static_cast<long long>(vexo::ResponseBody::pageLimit);
  service().script("/huge", {huge});
  service().script("/endless", {endless});
  service().script("/exact", {exact});
  for (const char* path : {"/huge", "/endless"}) {
    const Fetch f = fetch(service().url(path));
    EXPECT_FALSE(f.ok) << path;
    EXPECT_EQ(f.status, 0) << path;
    EXPECT_TRUE(f.body.empty()) << path;
    EXPECT_EQ(f.error, "Answer longer than 16 MiB") << path;
  }
  const Fetch f = fetch(service().url("/exact"));
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.body.size(), vexo::ResponseBody::pageLimit);
}

// Without a transfer time-out only the stall rule ends these: through the process's reader,
// and as a GET of the transport through a proxy (which then falls silent itself).
TEST_F(UrlReaderTest, ASilentOrTricklingServerEndsTheReadAfterTheStallPeriod) {
  vexo::transport_detail::setStallSeconds(2);
  ScriptedAnswer silent;
  silent.hang = true;
  silent.repeat = true;
  ScriptedAnswer threeBytes = page(200, std::string(100, 'a'));
  threeBytes.stallAfter = 3;
  threeBytes.repeat = true;
  ScriptedAnswer trickle = page(200, std::string(100, 'b'));
  trickle.drip = 2;
  trickle.repeat = true;
  service().script("/silent", {silent});
  service().script("/three", {threeBytes});
  service().script("/trickle", {trickle});
  const vexo::ConnectionDef proxied(
      vexo::ProxyDef(0, "127.0.0.1", service().proxyPort(), boost::none, boost::none));
  for (const char* path : {"/silent", "/three", "/trickle"}) {
    SCOPED_TRACE(path);
    platform::disableLogTable();  // empties it
    platform::enableLogTable();
    const Fetch f = fetch(service().url(path));
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.status, 0);
    EXPECT_TRUE(f.body.empty());
    Fetch g;
    g.ok = vexo::CurlTransceiver::readUrl(proxied, service().url(path), g.body, g.error,
                                          g.status, "m", "");
    EXPECT_FALSE(g.ok);
    EXPECT_EQ(g.status, 0);
    std::string log;
    for (const platform::LogEntry& entry : platform::accessLogTable()) {
      log += entry.text + "\n";
    }
    std::size_t stalls = 0;
    for (std::size_t at = log.find("result code = 28"); at != std::string::npos;
         at = log.find("result code = 28", at + 1)) {
      ++stalls;
    }
    EXPECT_EQ(stalls, 2u) << log;
  }
}

TEST_F(UrlReaderTest, LongUrlsAreRefusedBeforeAnythingHappens) {
  const std::string base = service().url("/");
  const std::string url255 = base + std::string(255 - base.size(), 'u');
  service().script("*", {page(200, "long")});
  EXPECT_TRUE(fetch(url255).ok);
  Fetch f;
  EXPECT_THROW(platform::readUrl(url255 + "u", f.body, f.error, f.status, "m", ""),
               std::runtime_error);
  EXPECT_EQ(f.status, -100);
  EXPECT_EQ(service().requests().size(), 1u);
}

TEST_F(UrlReaderTest, AlwaysDirectAndProxiedOnlyWhenAsked) {
  const std::string bogus = "http://127.0.0.1:" + std::to_string(closedLocalPort());
  ScopedEnv http("http_proxy", bogus.c_str());
  ScriptedAnswer any = page(200, "direct");
  any.repeat = true;
  service().script("*", {any});
  EXPECT_TRUE(fetch(service().url("/d")).ok);

  // The reader with a proxy, then direct again: the proxy does not stick.
  const vexo::ConnectionDef proxied(vexo::ProxyDef(0, "127.0.0.1", service().authProxyPort(),
                                                   service().proxyUser(),
                                                   service().proxyPassword()));
  std::vector<unsigned char> body;
  std::string error;
  int status = 0;
  EXPECT_TRUE(vexo::CurlTransceiver::readUrl(proxied, service().url("/p"), body, error, status,
                                             "m", ""));
  EXPECT_TRUE(fetch(service().url("/d2")).ok);
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].target, service().url("/p"));
}

}  // namespace
}  // namespace vexotest
