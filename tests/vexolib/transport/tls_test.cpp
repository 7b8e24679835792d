// HTTPS against the fake service's TLS pages: certificates are checked by both the POST
// transport and the URL reader, a page signed by a throw-away authority is reached only
// when the test build names that authority, and a proxy is asked for a CONNECT tunnel.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service_test.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/seams/tls_trust.h"
#include "vexolib/seams/transport_detail.h"
#include "vexolib/transport/CurlTransceiver.h"

namespace vexotest {
namespace {

using vexo::ConnectionDef;
using vexo::ProxyDef;
using vexo::Transceiver;
namespace platform = vexo::platform;
namespace detail = vexo::transport_detail;

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

enum class Page { selfSigned, signedByTestAuthority, misnamed };

struct TrustCase {
  const char* what;
  Page page;
  const char* host;
  bool nameTheAuthority;
  // Empty when the page is reached; else libcurl's text for the refusal (result 60).
  const char* refusal;
};

// The self-signed page is refused whatever the test build trusts; the signed page only
// without its authority, under either of its names; a certificate for another name always.
const TrustCase trustCases[] = {
    {"self-signed", Page::selfSigned, "127.0.0.1", false,
     "SSL certificate problem: self-signed certificate"},
    {"self-signed, other authority named", Page::selfSigned, "127.0.0.1", true,
     "SSL certificate problem: self-signed certificate"},
    {"unknown authority", Page::signedByTestAuthority, "127.0.0.1", false,
     "SSL certificate problem: unable to get local issuer certificate"},
    {"named authority", Page::signedByTestAuthority, "127.0.0.1", true, ""},
    {"named authority, by host name", Page::signedByTestAuthority, "localhost", true, ""},
    {"named authority, another name", Page::misnamed, "127.0.0.1", true,
     "no alternative certificate subject name matches target host name '127.0.0.1'"},
};

class TlsTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    detail::setConnectTimeoutMillis(30000);
    tls_ = service().tls();
    viaProxy_ = ConnectionDef(ProxyDef(0, "127.0.0.1", tls_.connectProxyPort));
  }

  std::string pageUrl(const TrustCase& c, const std::string& path) const {
    const int port = c.page == Page::selfSigned ? tls_.selfSignedPort
                     : c.page == Page::misnamed ? tls_.misnamedPort
                                                : tls_.signedPort;
    return "https://" + std::string(c.host) + ":" + std::to_string(port) + path;
  }

  void trust(const TrustCase& c) const {
    detail::setTrustedCaFile(c.nameTheAuthority ? tls_.caFile : "");
  }

  static ScriptedAnswer page(const std::string& body) {
    ScriptedAnswer a;
    a.body = body;
    return a;
  }

  // The refusal's text and libcurl's result 60 in the failure trace; nothing reached the
  // service.
  void expectRefusalTraced(const TrustCase& c) {
    const std::string log = allLogText();
    EXPECT_NE(log.find(c.refusal), std::string::npos) << log;
    EXPECT_NE(log.find("result code = 60"), std::string::npos) << log;
    EXPECT_TRUE(service().requests().empty());
  }

  TlsEndpoints tls_;
  // A transceiver holds on to its connection, so the connections outlive them.
  const ConnectionDef direct_;
  ConnectionDef viaProxy_;
};

TEST_F(TlsTest, ThePostTransportChecksCertificates) {
  for (const TrustCase& c : trustCases) {
    SCOPED_TRACE(c.what);
    service().clear();
    platform::accessLogTable().clear();
    trust(c);
    service().script("/secure", {page("resp.0.retcode=ok\r\n")});
    std::shared_ptr<Transceiver> t = Transceiver::makeTransceiver(
        vexo::TransferLib::curl, direct_, pageUrl(c, "/secure"), "marktally");
    ASSERT_TRUE(t->connect());
    t->setStringValue("req.count", "0");
    Answer answer;
    t->sendRequest({}, answer);
    EXPECT_EQ(answer.calls, 1);
    if (c.refusal[0] == '\0') {
      EXPECT_EQ(answer.status, 200);
      EXPECT_EQ(answer.body, "resp.0.retcode=ok\r\n");
      const std::vector<RecordedRequest> requests = service().requests();
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0].method, "POST");
      ASSERT_NE(requests[0].field("req.count"), nullptr);
    } else {
      EXPECT_EQ(answer.status, 0);
      EXPECT_EQ(answer.body, "");
      expectRefusalTraced(c);
    }
    t->disconnect();
  }
}

TEST_F(TlsTest, TheUrlReaderChecksCertificates) {
  for (const TrustCase& c : trustCases) {
    SCOPED_TRACE(c.what);
    service().clear();
    platform::accessLogTable().clear();
    trust(c);
    service().script("/result", {page("<html>done</html>")});
    // A fresh reader per case: a handle keeps the authority it was given.
    ASSERT_TRUE(platform::startUrlReader());
    std::vector<unsigned char> body;
    std::string error = "caller's text";
    int status = -100;
    const bool ok = platform::readUrl(pageUrl(c, "/result"), body, error, status, "marktally",
                                      "65");
    platform::stopUrlReader();
    if (c.refusal[0] == '\0') {
      EXPECT_TRUE(ok);
      EXPECT_EQ(status, 200);
      EXPECT_EQ(std::string(body.begin(), body.end()), "<html>done</html>");
      EXPECT_EQ(service().requests().size(), 1u);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(status, 0);
      EXPECT_TRUE(body.empty());
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      expectRefusalTraced(c);
    }
  }
}

TEST_F(TlsTest, AProxyCarriesHttpsThroughACONNECTTunnel) {
  detail::setTrustedCaFile(tls_.caFile);
  service().script("/secure", {page("resp.0.retcode=ok\r\n")});
  const std::string url = "https://127.0.0.1:" + std::to_string(tls_.signedPort) + "/secure";
  std::shared_ptr<Transceiver> t = Transceiver::makeTransceiver(
      vexo::TransferLib::curl, viaProxy_,
      url, "marktally");
  ASSERT_TRUE(t->connect());
  Answer answer;
  t->sendRequest({}, answer);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "resp.0.retcode=ok\r\n");
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].proxy, "connect");
  EXPECT_EQ(log[0].target, "CONNECT 127.0.0.1:" + std::to_string(tls_.signedPort) + " HTTP/1.1");
  ASSERT_EQ(service().requests().size(), 1u) << "the request itself went through the tunnel";
  EXPECT_EQ(service().requests()[0].target, "/secure");

  // A refused certificate at the far end of the tunnel is refused just the same.
  service().clear();
  platform::accessLogTable().clear();
  const std::string selfSigned =
      "https://127.0.0.1:" + std::to_string(tls_.selfSignedPort) + "/secure";
  std::shared_ptr<Transceiver> refused = Transceiver::makeTransceiver(
      vexo::TransferLib::curl, viaProxy_,
      selfSigned, "marktally");
  ASSERT_TRUE(refused->connect());
  Answer none;
  refused->sendRequest({}, none);
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(service().proxyLog().size(), 1u);
  EXPECT_TRUE(service().requests().empty());
  EXPECT_NE(allLogText().find("SSL certificate problem: self-signed certificate"),
            std::string::npos);
}

// The proxy's credentials go in the CONNECT only: the service at the far end of the tunnel
// never sees them.
TEST_F(TlsTest, ProxyCredentialsTravelInTheCONNECTAlone) {
  detail::setTrustedCaFile(tls_.caFile);
  const ConnectionDef def(ProxyDef(0, "127.0.0.1", tls_.connectProxyPort,
                                   std::string("teacher"), std::string("se:cret")));
  std::shared_ptr<Transceiver> t = Transceiver::makeTransceiver(
      vexo::TransferLib::curl, def,
      "https://127.0.0.1:" + std::to_string(tls_.signedPort) + "/secure", "marktally");
  ASSERT_TRUE(t->connect());
  Answer answer;
  t->sendRequest({}, answer);
  EXPECT_EQ(answer.status, 404);
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_EQ(log.size(), 1u);
  ASSERT_EQ(log[0].authorization.substr(0, 6), "Basic ");
  const std::vector<unsigned char> sent =
      vexo::strutil::decodeBase64String(log[0].authorization.substr(6));
  EXPECT_EQ(std::string(sent.begin(), sent.end()), "teacher:se:cret");
  const std::vector<RecordedRequest> requests = service().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].hasHeader("Proxy-Authorization"));
  EXPECT_EQ(allLogText().find("se:cret"), std::string::npos) << "password in the trace";
}

}  // namespace
}  // namespace vexotest
