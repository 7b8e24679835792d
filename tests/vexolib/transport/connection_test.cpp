// Connection variants: proxy texts, transfer libraries and the system proxy from the
// environment.
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/transport/ConnectionDef.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"

namespace vexotest {
namespace {

using vexo::ConnectionDef;
using vexo::ProxyDef;
using vexo::TransferLib;

TEST(ProxyDefText, ShowsUserAndMasksPassword) {
  struct Case {
    ProxyDef proxy;
    const char* text;
  };
  const Case cases[] = {
      {ProxyDef(0, "cache", 8080, std::string("u1"), std::string("secret")),
       "proxy host: cache;  port: 8080; user: u1; pswd: ********;"},
      {ProxyDef(0, "cache", 8080), "proxy host: cache;  port: 8080;"},
      {ProxyDef(0, "p", 1, boost::none, std::string("pw")),
       "proxy host: p;  port: 1; pswd: ********;"},
      {ProxyDef(0, "p", 1, std::string("u"), std::string()),
       "proxy host: p;  port: 1; user: u; pswd: ********;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<std::string>(c.proxy), c.text);
  }
}

TEST(ProxyDefText, CopiesKeepEveryField) {
  const ProxyDef proxy(7, "h", 3128, std::string("u"), std::string("p"));
  const ConnectionDef def(proxy);
  const ConnectionDef copy = def;
  ASSERT_TRUE(copy.proxyDef);
  EXPECT_EQ(copy.proxyDef->kind, 7);
  EXPECT_EQ(copy.proxyDef->host, "h");
  EXPECT_EQ(copy.proxyDef->port, 3128);
  EXPECT_EQ(*copy.proxyDef->user, "u");
  EXPECT_EQ(*copy.proxyDef->password, "p");
  EXPECT_FALSE(ConnectionDef().proxyDef);
}

TEST(TransferLibName, NamesEveryLibrary) {
  EXPECT_EQ(vexo::getTransferLibName(TransferLib::curl), "curl");
  EXPECT_EQ(vexo::getTransferLibName(TransferLib::wininet), "wininet");
  EXPECT_EQ(vexo::getTransferLibName(static_cast<TransferLib>(5)), "(unknown)");
}

// Every case runs with all five variables cleared first, then sets its own.
struct ProxyCase {
  const char* urlPrefix;  // nullptr: the built-in https prefix
  const char* httpProxy;
  const char* httpsProxy;
  const char* upperHttpsProxy;
  const char* upperHttpProxy;
  const char* host;  // nullptr: no proxy entry
  int port;
};

class SystemProxyTest : public FrameworkTest, public ::testing::WithParamInterface<ProxyCase> {};

TEST_P(SystemProxyTest, ProxyFirstThenDirect) {
  const ProxyCase& c = GetParam();
  ScopedEnv http("http_proxy", c.httpProxy);
  ScopedEnv https("https_proxy", c.httpsProxy);
  ScopedEnv upperHttps("HTTPS_PROXY", c.upperHttpsProxy);
  ScopedEnv upperHttp("HTTP_PROXY", c.upperHttpProxy);
  ScopedEnv all("ALL_PROXY", nullptr);
  if (c.urlPrefix) {
    vexo::platform::overrideStringConfigOption("urlprefix", c.urlPrefix);
  }
  const std::vector<ConnectionDef> defs = vexo::platform::getConnectionDefs();
  ASSERT_FALSE(defs.empty());
  EXPECT_FALSE(defs.back().proxyDef) << "the direct connection comes last";
  if (!c.host) {
    EXPECT_EQ(defs.size(), 1u);
    return;
  }
  ASSERT_EQ(defs.size(), 2u);
  ASSERT_TRUE(defs[0].proxyDef);
  const ProxyDef& proxy = *defs[0].proxyDef;
  EXPECT_EQ(proxy.kind, 0);
  EXPECT_EQ(proxy.host, c.host);
  EXPECT_EQ(proxy.port, c.port);
  EXPECT_FALSE(proxy.user) << "credentials in the variable are not carried over";
  EXPECT_FALSE(proxy.password);
}

const char* const none = nullptr;

INSTANTIATE_TEST_SUITE_P(
    Environments, SystemProxyTest,
    ::testing::Values(
        // Built-in https prefix: the https variables, lower case first.
        ProxyCase{none, none, "http://cache:8080", none, none, "cache", 8080},
        ProxyCase{none, none, none, "CACHE.example:3128", none, "CACHE.example", 3128},
        ProxyCase{none, none, "a:1", "b:2", none, "a", 1},
        ProxyCase{none, "http://only-http:80", none, none, none, nullptr, 0},
        ProxyCase{none, none, none, none, none, nullptr, 0},
        ProxyCase{none, none, "", none, none, nullptr, 0},
        // An http prefix, in any case, reads http_proxy alone.
        ProxyCase{"http://127.0.0.1:9", "http://px:81/", "https-px:82", none, none, "px", 81},
        ProxyCase{"HTTP://Example", "px:81", none, none, none, "px", 81},
        ProxyCase{"http://127.0.0.1:9", none, "https-px:82", none, "upper:83", nullptr, 0},
        // Credentials are dropped; the host and port stay.
        ProxyCase{none, none, "http://user:pa:ss@proxy.local:8888", none, none, "proxy.local",
                  8888},
        ProxyCase{none, none, "[::1]:3128", none, none, "[::1]", 3128},
        // Not usable: no port, a bad port, another kind of proxy, junk.
        ProxyCase{none, none, "http://cache", none, none, nullptr, 0},
        ProxyCase{none, none, "cache:", none, none, nullptr, 0},
        ProxyCase{none, none, "cache:0", none, none, nullptr, 0},
        ProxyCase{none, none, "cache:65536", none, none, nullptr, 0},
        ProxyCase{none, none, "cache:80x", none, none, nullptr, 0},
        ProxyCase{none, none, "socks5://cache:1080", none, none, nullptr, 0},
        ProxyCase{none, none, "::1:3128", none, none, nullptr, 0},
        ProxyCase{none, none, "ca che:80", none, none, nullptr, 0}));

class VariantTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY"}) {
      env_.emplace_back(new ScopedEnv(name, nullptr));
    }
  }
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

TEST_F(VariantTest, CurlAloneByDefaultAndWininetNeverHere) {
  using vexo::platform::identifyTransferLibraries;
  EXPECT_EQ(identifyTransferLibraries(), std::vector<TransferLib>{TransferLib::curl});
  vexo::platform::overrideBoolConfigOption("wininetenabled", true);
  EXPECT_EQ(identifyTransferLibraries(), std::vector<TransferLib>{TransferLib::curl});
  vexo::platform::overrideBoolConfigOption("curlenabled", false);
  EXPECT_TRUE(identifyTransferLibraries().empty());
  EXPECT_TRUE(vexo::platform::identifyConnectionVariants().empty());
}

TEST_F(VariantTest, ProxyVariantBeforeDirect) {
  ScopedEnv proxy("https_proxy", "cache:8080");
  const std::vector<vexo::ConnectionVariantInfo> variants =
      vexo::platform::identifyConnectionVariants();
  ASSERT_EQ(variants.size(), 2u);
  ASSERT_TRUE(variants[0].proxyDef);
  EXPECT_EQ(variants[0].proxyDef->host, "cache");
  EXPECT_EQ(variants[0].transferLib, TransferLib::curl);
  EXPECT_FALSE(variants[1].proxyDef);
  EXPECT_EQ(variants[1].transferLib, TransferLib::curl);
}

TEST_F(VariantTest, NetworkQuestionsAlwaysAnswerYes) {
  EXPECT_TRUE(vexo::platform::networkAppearsToBeAvailable());
  EXPECT_TRUE(vexo::platform::promptContinueWhenNetworkAppearsDown());
}

}  // namespace
}  // namespace vexotest
