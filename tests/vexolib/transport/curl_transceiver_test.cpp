// The libcurl transport against the fake service on 127.0.0.1: the bytes on the wire,
// cookies, proxies, and every way an exchange can fail.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "service_test.h"
#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/seams/transport_detail.h"

namespace vexotest {
namespace {

using vexo::ConnectionDef;
using vexo::ProxyDef;
using vexo::Transceiver;
namespace platform = vexo::platform;

struct Answer : Transceiver::ResponseProcessor {
  int calls = 0;
  int status = -100;
  std::string body;
  void operator()(int s, const std::vector<unsigned char>& b) override {
    ++calls;
    status = s;
    body.assign(b.begin(), b.end());
  }
};

std::string allLogText() {
  std::string text;
  for (const platform::LogEntry& entry : platform::accessLogTable()) {
    text += entry.text + "\n";
  }
  return text;
}

class CurlTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    vexo::transport_detail::setConnectTimeoutMillis(30000);
    vexo::transport_detail::setStallSeconds(120);
  }
  void TearDown() override {
    vexo::transport_detail::setStallSeconds(120);
    ServiceTest::TearDown();
  }

  std::shared_ptr<Transceiver> connected(const ConnectionDef& def, const std::string& url) {
    std::shared_ptr<Transceiver> t =
        Transceiver::makeTransceiver(vexo::TransferLib::curl, def, url, "marktally");
    EXPECT_TRUE(t->connect());
    return t;
  }

  // One request with the values set by `fill`; the log table is switched off so that the
  // recorded fields are only the caller's.
  template <typename Fill>
  Answer post(Transceiver& t, Fill fill,
              const std::map<std::string, std::string>& attributes = {}) {
    Answer answer;
    fill(t);
    EXPECT_EQ(t.sendRequest(attributes, answer), answer.status);
    EXPECT_EQ(answer.calls, 1);
    return answer;
  }

  Answer post(Transceiver& t) {
    return post(t, [](Transceiver&) {});
  }

  ConnectionDef direct;
};

std::string patternBytes(std::size_t n, unsigned seed) {
  std::string bytes(n, '\0');
  unsigned v = seed;
  for (char& c : bytes) {
    v = v * 1103515245u + 12345u;
    c = static_cast<char>(v >> 16);
  }
  return bytes;
}

TEST_F(CurlTest, EveryFormPartArrivesByteForByte) {
  const std::string folder = makeFolder("parts");
  const std::string data = patternBytes(300000, 7);
  writeFile(folder + "/chunk.bin", data);
  // A sparse file whose only data sits at 8 MiB.
  const std::string big = folder + "/big.bin";
  const std::string tail = patternBytes(1000, 9);
  {
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), 8388608), 1000);
    ::close(fd);
  }
  const std::string binaryValue = std::string("nul\0byte\xff\r\nline", 15);
  platform::disableLogTable();
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/parts"));
  const Answer answer = post(
      *t,
      [&](Transceiver& tr) {
        tr.setStringValue("req.count", "1");
        tr.setStringValue("req.0.empty", "");
        tr.setStringValue("req.0.binary", binaryValue);
        tr.setFileValue("req.0.slice", "ignored-name", folder + "/chunk.bin", 1000, 5000, 300000);
        tr.setFileValue("req.0.whole", "x", folder + "/chunk.bin", 0, 300000, 300000);
        tr.setFileValue("req.0.zero", "x", folder + "/chunk.bin", 300000, 0, 300000);
        tr.setFileValue("req.0.far", "x", big, 8388608, 1000, 8389608);
      },
      {{"client", "X"}});
  EXPECT_EQ(answer.status, 404) << "an unknown page of the service";

  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& r = requests[0];
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.target, "/parts");
  EXPECT_EQ(r.header("Content-Type").substr(0, 30), "multipart/form-data; boundary=");
  EXPECT_EQ(r.header("User-Agent"), "vexo (2.5.72; 2; curl; transceiver; marktally; macmacho)");
  EXPECT_FALSE(r.hasHeader("Cookie"));

  ASSERT_NE(r.field("req.0.empty"), nullptr);
  EXPECT_EQ(*r.field("req.0.empty"), "");
  ASSERT_NE(r.field("req.0.binary"), nullptr);
  EXPECT_EQ(*r.field("req.0.binary"), binaryValue) << "values are sent whole, NULs included";
  ASSERT_NE(r.field("req.clientAttribute.client"), nullptr);
  EXPECT_EQ(*r.field("req.clientAttribute.client"), "X");

  struct Expected {
    const char* name;
    std::string bytes;
  };
  const Expected files[] = {{"req.0.slice", data.substr(1000, 5000)},
                            {"req.0.whole", data},
                            {"req.0.zero", ""},
                            {"req.0.far", tail}};
  for (const Expected& e : files) {
    const RecordedFile* f = r.file(e.name);
    ASSERT_NE(f, nullptr) << e.name;
    EXPECT_EQ(f->data.size(), e.bytes.size()) << e.name;
    EXPECT_TRUE(f->data == e.bytes) << e.name;
    EXPECT_EQ(f->contentType, "application/octet-stream");
  }
  EXPECT_EQ(r.file("req.0.slice")->fileName, "chunk.bin") << "named by its path, not fileName";
  EXPECT_EQ(r.file("req.0.far")->fileName, "big.bin");

  // Parts go out in ascending byte order of their names.
  std::vector<std::string> order;
  std::string::size_type pos = 0;
  while ((pos = r.body.find("form-data; name=\"", pos)) != std::string::npos) {
    pos += 17;
    order.push_back(r.body.substr(pos, r.body.find('"', pos) - pos));
  }
  std::vector<std::string> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(order, sorted);
  EXPECT_EQ(order.size(), 8u);
  platform::enableLogTable();
}

TEST_F(CurlTest, LogEntriesTravelWithTheNextRequestOnly) {
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/log"));
  platform::accessLogTable().clear();
  platform::log(platform::LogLevel::info, "first", "app");
  platform::log(platform::LogLevel::error, "second", "app");
  post(*t);
  platform::disableLogTable();
  post(*t);
  platform::enableLogTable();
  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 2u);
  ASSERT_NE(requests[0].field("log.0.message"), nullptr);
  EXPECT_EQ(requests[0].field("log.0.message")->substr(0, 9), "info:app:");
  ASSERT_NE(requests[0].field("log.1.message"), nullptr);
  EXPECT_EQ(requests[0].field("log.1.message")->substr(0, 10), "error:app:");
  EXPECT_EQ(requests[1].field("log.0.message"), nullptr);
}

TEST_F(CurlTest, CookiesFollowTheRuleAndComeBackInNameOrder) {
  ScriptedAnswer first;
  first.headers = {{"Set-Cookie", "SID=abc; Path=/"},
                   {"SET-COOKIE", "zeta=x;path=/"},
                   {"Set-Cookie", "dated=1; expires=Fri, 01 Jan 2010 00:00:00 GMT; path=/"},
                   {"Set-Cookie", "nopath=1"},
                   {"Set-Cookie", "big=" + std::string(5200, 'b') + "; Path=/"}};
  ScriptedAnswer second;
  second.headers = {{"Set-Cookie", "SID=def; path=/"}};
  service().script("/c", {first, second, ScriptedAnswer()});
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/c"));
  post(*t);
  post(*t);
  // Cookies outlive a new connection of the same transceiver.
  t->disconnect();
  ASSERT_TRUE(t->connect());
  post(*t);
  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_FALSE(requests[0].hasHeader("Cookie"));
  // The big cookie alone would pass the 5120-byte limit and is skipped; zeta still fits.
  EXPECT_EQ(requests[1].header("Cookie"), "SID=abc; zeta=x; ");
  EXPECT_EQ(requests[2].header("Cookie"), "SID=def; zeta=x; ");
}

TEST_F(CurlTest, ServerErrorStillDeliversBodyAndCookies) {
  ScriptedAnswer error;
  error.status = 500;
  error.body = "VexoMessage: broken -->";
  error.headers = {{"Set-Cookie", "SID=e500; Path=/"}};
  service().script("/e", {error, ScriptedAnswer()});
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/e"));
  const Answer answer = post(*t);
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.body, "VexoMessage: broken -->");
  post(*t);
  EXPECT_EQ(service().requests().at(1).header("Cookie"), "SID=e500; ");
}

TEST_F(CurlTest, UrlOf255CharactersGoesOut256IsRefused) {
  const std::string base = service().url("/");
  const std::string url255 = base + std::string(255 - base.size(), 'a');
  const std::string url256 = url255 + "a";
  ASSERT_EQ(url255.size(), 255u);
  std::shared_ptr<Transceiver> ok = connected(direct, url255);
  EXPECT_EQ(post(*ok).status, 404);
  std::shared_ptr<Transceiver> tooLong = connected(direct, url256);
  Answer answer;
  tooLong->setStringValue("a", "1");
  try {
    tooLong->sendRequest({}, answer);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "request url too long.");
  }
  EXPECT_EQ(answer.calls, 0);
  EXPECT_EQ(service().requests().size(), 1u);
}

TEST_F(CurlTest, RefusedConnectionAnswersZeroAndTracesTheFailure) {
  const std::string url = "http://127.0.0.1:" + std::to_string(closedLocalPort()) + "/x";
  std::shared_ptr<Transceiver> t = connected(direct, url);
  const Answer answer = post(*t);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.body, "");
  const std::string log = allLogText();
  EXPECT_NE(log.find("send failed. http code = 0, error buffer = '"), std::string::npos) << log;
  EXPECT_NE(log.find("', result code = 7"), std::string::npos) << log;
  EXPECT_NE(log.find("CURL error (7): \""), std::string::npos) << log;
}

// Failures after the status line: the status that arrived is never passed on as success,
// nor the part of the body that came with it.
TEST_F(CurlTest, TransferBrokenAfterTheStatusLineIsNoAnswer) {
  ScriptedAnswer truncated;
  truncated.body = "resp.0.retcode=ok\r\n" + std::string(1000, 'x');
  truncated.truncate = 30;
  truncated.headers = {{"Set-Cookie", "SID=secret-cookie; Path=/"}};
  ScriptedAnswer dropped;
  dropped.drop = true;
  ScriptedAnswer garbage;
  garbage.raw = "HTTP/1.1 2OO OK\r\nContent-Length: 2\r\n\r\nhi";
  service().script("/t", {truncated, dropped, garbage, ScriptedAnswer()});
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/t"));
  for (int i = 0; i < 3; ++i) {
    const Answer answer = post(*t);
    EXPECT_EQ(answer.status, 0) << "case " << i;
    EXPECT_EQ(answer.body, "") << "case " << i;
  }
  post(*t);
  EXPECT_FALSE(service().requests().at(3).hasHeader("Cookie"))
      << "no cookie is kept from a broken transfer";
}

TEST_F(CurlTest, FailureTracesMaskCookiesAndTokens) {
  ScriptedAnswer truncated;
  truncated.headers = {{"Set-Cookie", "SID=topsecret; Path=/"},
                       {"Location", "/next?atkn=tokentoken&x=1"}};
  truncated.body = "page atkn=bodytoken " + std::string(2000, 'z');
  truncated.truncate = 100;
  service().script("/m", {truncated});
  std::shared_ptr<Transceiver> t =
      connected(direct, service().url("/m?atkn=urltoken"));
  post(*t);
  const std::string log = allLogText();
  EXPECT_NE(log.find("CURL error ("), std::string::npos);
  for (const char* secret : {"topsecret", "tokentoken", "bodytoken", "urltoken"}) {
    EXPECT_EQ(log.find(secret), std::string::npos) << secret << " in\n" << log;
  }
  EXPECT_NE(log.find("SID=********"), std::string::npos) << log;
  EXPECT_EQ(log.find(std::string(300, 'z')), std::string::npos) << "the body is cut short";
}

TEST_F(CurlTest, TimeOutsEndTheTransfer) {
  ScriptedAnswer slow;
  slow.delay = 5;
  service().script("/slow", {slow});
  struct Case {
    std::string url;
    const char* what;
  };
  const Case cases[] = {
      {"http://127.0.0.1:" + std::to_string(service().silentPort()) + "/", "silent listener"},
      {service().url("/slow"), "slow answer"},
  };
  for (const Case& c : cases) {
    std::shared_ptr<Transceiver> t = connected(direct, c.url);
    t->setTimeoutSeconds(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(post(*t).status, 0) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.what;
    EXPECT_NE(allLogText().find("result code = 28"), std::string::npos) << c.what;
  }
}

TEST_F(CurlTest, ASilentOrTricklingServerEndsTheTransferAfterTheStallPeriod) {
  // No transfer time-out is set: only the stall rule can end these.
  vexo::transport_detail::setStallSeconds(2);
  ScriptedAnswer silent;
  silent.hang = true;
  ScriptedAnswer threeBytes;
  threeBytes.body = std::string(100, 'a');
  threeBytes.stallAfter = 3;
  ScriptedAnswer trickle;
  trickle.body = std::string(100, 'b');
  trickle.drip = 2;
  service().script("/silent", {silent});
  service().script("/three", {threeBytes});
  service().script("/trickle", {trickle});
  for (const char* path : {"/silent", "/three", "/trickle"}) {
    SCOPED_TRACE(path);
    platform::disableLogTable();  // empties it
    platform::enableLogTable();
    std::shared_ptr<Transceiver> t = connected(direct, service().url(path));
    EXPECT_EQ(post(*t).status, 0);
    EXPECT_NE(allLogText().find("result code = 28"), std::string::npos) << allLogText();
  }
}

// An answer is kept whole only up to a page; a longer or endless one ends its transfer with
// 103, and the transceiver goes on working.
TEST_F(CurlTest, AnAnswerLongerThanAPageEndsTheTransferWith103) {
  const long long limit = static_cast<long long>(vexo::ResponseBody::pageLimit);
  ScriptedAnswer exact;
  exact.body = "start";
  exact.tail = "end";
  exact.huge = limit;
  ScriptedAnswer over = exact;
  over.huge = limit + 1;
  ScriptedAnswer huge = exact;
  huge.huge = 50000000;
  ScriptedAnswer endless;
  endless.body = "start";
  endless.endless = true;
  service().script("/exact", {exact});
  service().script("/over", {over});
  service().script("/huge", {huge});
  service().script("/endless", {endless});
  service().script("/after", {ScriptedAnswer()});
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/exact"));
  const Answer whole = post(*t);
  EXPECT_EQ(whole.status, 200);
  ASSERT_EQ(whole.body.size(), vexo::ResponseBody::pageLimit);
  EXPECT_EQ(whole.body.substr(0, 5), "start");
  EXPECT_EQ(whole.body.substr(whole.body.size() - 3), "end");
  for (const char* path : {"/over", "/huge", "/endless"}) {
    SCOPED_TRACE(path);
    std::shared_ptr<Transceiver> h = connected(direct, service().url(path));
    Answer answer;
    try {
      h->sendRequest({}, answer);
      ADD_FAILURE() << "no exception";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, 103);
      EXPECT_EQ(std::string(e.what()), "Answer longer than 16 MiB");
    }
    EXPECT_EQ(answer.calls, 0) << "no part of the answer is handed on";
    EXPECT_TRUE(h->getNamesOfValuesBeingSent().empty());
  }
  std::shared_ptr<Transceiver> a = connected(direct, service().url("/after"));
  EXPECT_EQ(post(*a).status, 200);
}

TEST_F(CurlTest, ConnectingHasItsOwnTimeLimit) {
  // No transfer time-out is set: only the connect limit can end this.
  vexo::transport_detail::setConnectTimeoutMillis(300);
  const std::string url = "http://127.0.0.1:" + std::to_string(backloggedLocalPort()) + "/";
  std::shared_ptr<Transceiver> t = connected(direct, url);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(post(*t).status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_NE(allLogText().find("result code = 28"), std::string::npos);
}

TEST_F(CurlTest, FileThatCannotBeSentWholeFailsBeforeSending) {
  const std::string folder = makeFolder("short");
  writeFile(folder + "/small.bin", "12345");
  struct Case {
    std::string path;
    long offset;
    long length;
  };
  const Case cases[] = {{folder + "/missing.bin", 0, 1},
                        {folder + "/missing.bin", 0, 0},
                        {folder + "/small.bin", 3, 3},
                        {folder + "/small.bin", -1, 2},
                        {folder + "/small.bin", 0, -1}};
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/f"));
  for (const Case& c : cases) {
    const Answer answer =
        post(*t, [&](Transceiver& tr) {
          tr.setFileValue("f", "f", c.path, c.offset, c.length, 5);
        });
    EXPECT_EQ(answer.status, 0) << c.path << " " << c.offset << " " << c.length;
    EXPECT_TRUE(t->getNamesOfValuesBeingSent().empty());
  }
  EXPECT_TRUE(service().requests().empty());
  EXPECT_NE(allLogText().find("CURL error (26)"), std::string::npos);
  // The transceiver is still usable.
  EXPECT_EQ(post(*t, [&](Transceiver& tr) {
              tr.setFileValue("f", "f", folder + "/small.bin", 1, 4, 5);
            }).status,
            404);
  EXPECT_EQ(service().requests().at(0).file("f")->data, "2345");
}

// The service's own session page: its cookie, passes gathered until the last one, and
// the name/value answer.
TEST_F(CurlTest, SessionPageGathersPassesBehindItsCookie) {
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/DesktopSession.page"));
  platform::disableLogTable();
  const Answer first = post(*t, [](Transceiver& tr) {
    tr.setStringValue("req.count", "2");
    tr.setStringValue("req.0.type", "noSuchOperation");
    tr.setStringValue("req.hasMoreData", "true");
  });
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "") << "earlier passes are only gathered";
  const Answer last = post(*t, [](Transceiver& tr) {
    tr.setStringValue("req.1.type", "anotherOne");
  });
  platform::enableLogTable();
  EXPECT_EQ(last.status, 200);
  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].hasHeader("Cookie"));
  const std::string cookie = requests[1].header("Cookie");
  ASSERT_EQ(cookie.substr(0, 11), "JSESSIONID=");
  const std::string marker = cookie.substr(11, cookie.find(';') - 11);
  EXPECT_NE(last.body.find("resp.0.retcode=unimplementedOperation\r\n"), std::string::npos);
  EXPECT_NE(last.body.find("resp.1.retcode=unimplementedOperation\r\n"), std::string::npos);
  EXPECT_NE(last.body.find("sessionMarker=" + marker + "\r\n"), std::string::npos);
}

class ProxyTest : public CurlTest {
 protected:
  ConnectionDef viaProxy(int port, boost::optional<std::string> user = boost::none,
                         boost::optional<std::string> password = boost::none) {
    return ConnectionDef(ProxyDef(0, "127.0.0.1", port, user, password));
  }
};

TEST_F(ProxyTest, OpenProxyCarriesTheRequest) {
  const ConnectionDef def = viaProxy(service().proxyPort());
  std::shared_ptr<Transceiver> t = connected(def, service().url("/through"));
  // The environment must not steer a variant away from its own proxy.
  ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");
  ScopedEnv upper("NO_PROXY", "*");
  EXPECT_EQ(post(*t, [](Transceiver& tr) { tr.setStringValue("a", "1"); }).status, 404);
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].proxy, "proxy");
  EXPECT_EQ(log[0].target, service().url("/through"));
  EXPECT_EQ(log[0].authorization, "");
  const RecordedRequest r = service().requests().at(0);
  EXPECT_EQ(r.header("Via"), "1.1 proxy");
  ASSERT_NE(r.field("a"), nullptr);
  EXPECT_EQ(*r.field("a"), "1");
  EXPECT_EQ(t->getDescription(),
            "curl (proxy (proxy host: 127.0.0.1;  port: " + std::to_string(service().proxyPort()) +
                ";))");
}

// A failed transfer keeps status 0, and says why in words a program can show: a refused
// connection, a stall, a silent service or proxy and a refused certificate all read apart.
TEST_F(ProxyTest, EachTransferWithoutAnAnswerNamesItsCause) {
  vexo::transport_detail::setStallSeconds(2);
  ScriptedAnswer threeBytes;
  threeBytes.body = std::string(100, 'a');
  threeBytes.stallAfter = 3;
  ScriptedAnswer silent;
  silent.hang = true;
  ScriptedAnswer trickle;
  trickle.body = std::string(100, 'b');
  trickle.drip = 0.5;
  service().script("/three", {threeBytes});
  service().script("/silent", {silent});
  service().script("/trickle", {trickle});
  const std::string local = "http://127.0.0.1:";
  // Only the cases that wait out the connect limit get a short one: a handshake on a busy
  // machine may well take longer.
  const long shortConnect = 300, longConnect = 30000;
  struct Case {
    ConnectionDef def;
    std::string url;
    int timeoutSeconds;  // 0: none set
    long connectMillis;
    const char* cause;
  };
  const Case cases[] = {
      {direct, local + std::to_string(closedLocalPort()) + "/", 0, longConnect,
       "connection refused"},
      {direct, local + std::to_string(backloggedLocalPort()) + "/", 0, shortConnect,
       "connection timed out"},
      {direct, service().url("/three"), 0, longConnect, "transfer stalled"},
      {direct, service().url("/silent"), 0, longConnect, "service did not answer"},
      {direct, local + std::to_string(service().silentPort()) + "/", 0, longConnect,
       "service did not answer"},
      {direct, service().url("/trickle"), 1, longConnect, "time limit reached"},
      {direct, "https://127.0.0.1:" + std::to_string(service().tls().selfSignedPort) + "/", 0,
       longConnect, "certificate refused"},
      {viaProxy(service().silentPort()), "https://127.0.0.1:1/", 0, shortConnect,
       "proxy did not answer"},
      {viaProxy(service().silentPort()), service().url("/x"), 0, longConnect,
       "proxy did not answer"},
      {viaProxy(closedLocalPort()), service().url("/x"), 0, longConnect,
       "proxy refused the connection"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " expecting " + c.cause);
    vexo::transport_detail::setConnectTimeoutMillis(c.connectMillis);
    std::shared_ptr<Transceiver> t = connected(c.def, c.url);
    if (c.timeoutSeconds > 0) {
      t->setTimeoutSeconds(c.timeoutSeconds);
    }
    EXPECT_EQ(post(*t).status, 0);
    EXPECT_EQ(t->getFailureCause().rfind(std::string(c.cause) + "; ", 0), 0u)
        << t->getFailureCause();
    EXPECT_EQ(t->describeStatus(0), "0 (" + t->getFailureCause() + ")");
  }
  // The next answer, even a failing one, clears the cause.
  ScriptedAnswer notFound;
  notFound.status = 404;
  service().script("/again", {threeBytes, notFound});
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/again"));
  EXPECT_EQ(post(*t).status, 0);
  ASSERT_FALSE(t->getFailureCause().empty());
  EXPECT_EQ(post(*t).status, 404);
  EXPECT_EQ(t->getFailureCause(), "");
  EXPECT_EQ(t->describeStatus(404), "404");
}

TEST_F(ProxyTest, DirectConnectionIgnoresProxyVariables) {
  const std::string bogus = "http://127.0.0.1:" + std::to_string(closedLocalPort());
  ScopedEnv http("http_proxy", bogus.c_str());
  ScopedEnv all("ALL_PROXY", bogus.c_str());
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/direct"));
  EXPECT_EQ(post(*t).status, 404);
  EXPECT_TRUE(service().proxyLog().empty());
}

TEST_F(ProxyTest, AuthenticatingProxyGetsTheCredentials) {
  struct Case {
    boost::optional<std::string> user;
    boost::optional<std::string> password;
    int status;
    std::string credentials;  // as sent, before base64
  };
  const std::string user = service().proxyUser();
  const std::string password = service().proxyPassword();
  const Case cases[] = {
      {user, password, 404, user + ":" + password},
      {user, std::string("wrong"), 407, user + ":wrong"},
      {std::string("u"), boost::none, 407, "u:"},
      {boost::none, password, 407, ""},  // a password alone is not sent
  };
  for (const Case& c : cases) {
    service().clear();
    platform::accessLogTable().clear();
    const ConnectionDef def = viaProxy(service().authProxyPort(), c.user, c.password);
    std::shared_ptr<Transceiver> t = connected(def, service().url("/auth"));
    EXPECT_EQ(post(*t).status, c.status) << c.credentials;
    const std::vector<ProxiedRequest> log = service().proxyLog();
    ASSERT_EQ(log.size(), 1u);
    if (c.credentials.empty()) {
      EXPECT_EQ(log[0].authorization, "");
    } else {
      const std::vector<unsigned char> decoded =
          vexo::strutil::decodeBase64String(log[0].authorization.substr(6));
      EXPECT_EQ(std::string(decoded.begin(), decoded.end()), c.credentials);
    }
    const std::string trace = allLogText();
    if (c.user) {
      EXPECT_NE(trace.find("set proxy auth info: " + *c.user + ":********"), std::string::npos);
    }
    if (c.password) {
      EXPECT_EQ(trace.find(*c.password), std::string::npos) << "password in the trace";
    }
  }
}

TEST_F(CurlTest, GlobalSetUpIsHeldWhileAnyHandleLives) {
  using vexo::transport_detail::curlGlobalUsers;
  const int before = curlGlobalUsers();
  std::shared_ptr<Transceiver> a = connected(direct, service().url("/"));
  std::shared_ptr<Transceiver> b = connected(direct, service().url("/"));
  EXPECT_TRUE(a->connect()) << "a second connect keeps the handle";
  EXPECT_EQ(curlGlobalUsers(), before + 2);
  EXPECT_TRUE(a->disconnect());
  EXPECT_TRUE(a->disconnect());
  EXPECT_FALSE(a->isConnected());
  EXPECT_EQ(curlGlobalUsers(), before + 1) << "disconnecting twice gives back one reference";
  b.reset();
  EXPECT_EQ(curlGlobalUsers(), before) << "destruction disconnects";
}

TEST_F(CurlTest, ForeignEffectiveUrlIsTracedOncePerConnection) {
  std::shared_ptr<Transceiver> t = connected(direct, service().url("/eff"));
  auto count = [] {
    std::size_t n = 0;
    for (const platform::LogEntry& entry : platform::accessLogTable()) {
      n += entry.text.find(": <<< http://127.0.0.1:") != std::string::npos;
    }
    return n;
  };
  post(*t);
  EXPECT_EQ(count(), 1u);
  post(*t);
  EXPECT_EQ(count(), 0u);
  t->disconnect();
  ASSERT_TRUE(t->connect());
  post(*t);
  EXPECT_EQ(count(), 1u);
  EXPECT_NE(allLogText().find(": >>> " + service().url("/eff")), std::string::npos);
}

}  // namespace
}  // namespace vexotest
