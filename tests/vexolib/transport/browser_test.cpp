// The browser hand-off through a recording stand-in for xdg-open placed first in PATH.
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"

namespace vexotest {
namespace {

class BrowserTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    bin_ = makeFolder("bin");
    record_ = bin_ + "/calls.txt";
  }

  // A launcher that writes its arguments, one per line, and exits with `status`.
  void installLauncher(int status) {
    writeFile(bin_ + "/xdg-open",
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + record_ +
                  "'\nexit " + std::to_string(status) + "\n");
    chmod((bin_ + "/xdg-open").c_str(), 0700);
  }

  std::string calls() {
    try {
      return readFile(record_);
    } catch (const std::exception&) {
      return "";
    }
  }

  int statusOf(const std::string& url, std::string* message = nullptr) {
    try {
      vexo::platform::openBrowser(url);
      return 0;
    } catch (const vexo::VexoException& e) {
      if (message) {
        *message = e.what();
      }
      return e.statusCode;
    }
  }

  std::string bin_;
  std::string record_;
};

TEST_F(BrowserTest, HandsTheAddressOverAsOneArgument) {
  installLauncher(0);
  ScopedEnv path("PATH", (bin_ + ":/usr/bin:/bin").c_str());
  const std::string url = "https://127.0.0.1/result?a=1&b='$(touch${IFS}x)';|`id`";
  EXPECT_EQ(statusOf(url), 0);
  EXPECT_EQ(calls(), url + "\n") << "no shell ever sees the address";
  EXPECT_EQ(statusOf("HTTP://127.0.0.1/upper"), 0);
}

TEST_F(BrowserTest, AMissingOrFailingLauncherIsStatus114WithItsMessage) {
  std::string message;
  {
    ScopedEnv path("PATH", bin_.c_str());  // no launcher there yet
    EXPECT_EQ(statusOf("http://127.0.0.1/", &message), 114);
    EXPECT_EQ(message, "Failed to init Internet Config");
  }
  installLauncher(3);
  ScopedEnv path("PATH", bin_.c_str());
  EXPECT_EQ(statusOf("http://127.0.0.1/x", &message), 114);
  EXPECT_EQ(message, "Failed to open browser to url: 'http://127.0.0.1/x'");
}

TEST_F(BrowserTest, OnlyWebAddressesReachTheLauncher) {
  installLauncher(0);
  ScopedEnv path("PATH", bin_.c_str());
  for (const char* url : {"file:///etc/passwd", "-x", "javascript:alert(1)", "ftp://h/",
                          "http://h/a b", "http://h/\nx", ""}) {
    std::string message;
    EXPECT_EQ(statusOf(url, &message), 114) << url;
    EXPECT_EQ(message, std::string("Failed to open browser to url: '") + url + "'");
  }
  EXPECT_EQ(calls(), "");
}

TEST_F(BrowserTest, TokensStayOutOfTracesAndMessages) {
  installLauncher(1);
  ScopedEnv path("PATH", bin_.c_str());
  vexo::platform::accessLogTable().clear();
  std::string message;
  EXPECT_EQ(statusOf("https://127.0.0.1/r?atkn=tok123&cga=g", &message), 114);
  EXPECT_EQ(message, "Failed to open browser to url: 'https://127.0.0.1/r?atkn=********&cga=g'");
  EXPECT_EQ(calls(), "https://127.0.0.1/r?atkn=tok123&cga=g\n") << "the launcher gets it whole";
  for (const vexo::platform::LogEntry& entry : vexo::platform::accessLogTable()) {
    EXPECT_EQ(entry.text.find("tok123"), std::string::npos) << entry.text;
  }
}

}  // namespace
}  // namespace vexotest
