// The browser hand-offs through a recording stand-in for the desktop's launcher: the page
// addresses built from the URL prefix with percent-encoded query values, the prefixes that are
// refused, and the class-data command's defaults and flags.
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "interface_fixture.h"
#include "vexolib/api/BrowserOnlyCommand.h"

namespace vexotest {
namespace {

class BrowserOperationsTest : public InterfaceTest {
 protected:
  void SetUp() override {
    InterfaceTest::SetUp();
    bin_ = makeFolder("bin");
    installLauncher(0);
    path_.reset(new ScopedEnv("PATH", (bin_ + ":/usr/bin:/bin").c_str()));
  }
  void TearDown() override {
    path_.reset();
    InterfaceTest::TearDown();
  }

  // A launcher that appends its one argument to opened.txt and exits with `status`.
  void installLauncher(int status) {
    writeFile(bin_ + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + bin_ +
                                      "/opened.txt'\nexit " + std::to_string(status) + "\n");
    ::chmod((bin_ + "/xdg-open").c_str(), 0700);
  }

  std::vector<std::string> opened() {
    std::vector<std::string> pages;
    std::string all;
    try {
      all = readFile(bin_ + "/opened.txt");
    } catch (const std::exception&) {
      return pages;
    }
    std::string::size_type start = 0;
    for (std::string::size_type nl; (nl = all.find('\n', start)) != std::string::npos;
         start = nl + 1) {
      pages.push_back(all.substr(start, nl - start));
    }
    return pages;
  }

  std::string bin_;
  std::unique_ptr<ScopedEnv> path_;
};

TEST_F(BrowserOperationsTest, PagesAreAddressedFromThePrefixServerWithEncodedValues) {
  struct Case {
    const char* prefix;
    std::function<int()> call;
    const char* page;
  };
  const std::vector<Case> cases = {
      {"http://127.0.0.1:8080/base/path?x=1#y",
       [] { return vexo25_openGradebooks(nullptr, nullptr, nullptr); },
       "http://127.0.0.1:8080/login/Gradebooks.page?srcappid=&srcappver=&srccompid="},
      {"https://lorvex.example",
       [] { return vexo21_openGradebooks("comp 1", "marktally", "6.5&x=1"); },
       "https://lorvex.example/login/Gradebooks.page?srcappid=marktally&srcappver=6.5%26x%3D1"
       "&srccompid=comp%201"},
      {"http://host:abc/x", [] { return vexo25_openGradebooks("a", "b", "c"); },
       "http://host/login/Gradebooks.page?srcappid=b&srcappver=c&srccompid=a"},
      {"HTTPS://Host.example:443",
       [] { return vexo25_classDataSync(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr); },
       "HTTPS://Host.example:443/login/ClassDataSync.page?classid=*&srcappid=&srcappver="
       "&srccompid="},
      {"https://lorvex.example/x",
       [] { return vexo25_classDataSync("NH", "17", "mtb", "text/plain", "c", "a", "v"); },
       "https://lorvex.example/login/ClassDataSync.page?classid=17&fileext=mtb"
       "&mimetype=text%2Fplain&schoolid=NH&srcappid=a&srcappver=v&srccompid=c"},
      {"https://lorvex.example",
       [] { return vexo21_classDataSync("NH", nullptr, "", "", "c", "a", "v"); },
       "https://lorvex.example/login/ClassDataSync.page?classid=*&schoolid=NH&srcappid=a"
       "&srcappver=v&srccompid=c"},
      {"https://lorvex.example",
       [] { return vexo25_classDataSync(nullptr, "A-1_b.c~*", nullptr, nullptr, "\xc3\xa9",
                                        "#?/", "'\"<>"); },
       "https://lorvex.example/login/ClassDataSync.page?classid=A-1_b.c~*&srcappid=%23%3F%2F"
       "&srcappver=%27%22%3C%3E&srccompid=%C3%A9"},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    vexo25_overrideConfigOption("urlprefix", c.prefix);
    EXPECT_EQ(c.call(), 0) << c.prefix << ": " << message();
    EXPECT_EQ(message(), "");
    expected.push_back(c.page);
  }
  EXPECT_EQ(opened(), expected);
}

TEST_F(BrowserOperationsTest, RefusalsOpenNothing) {
  const std::vector<const char*> badPrefixes = {
      "127.0.0.1/x",          "ht1p://host",           "ftp://host",
      "file://host/etc",      "javascript://host",     "http://user@host",
      "http://ho st",         "http://host%2Fevil",    "http://",
  };
  for (const char* prefix : badPrefixes) {
    vexo25_overrideConfigOption("urlprefix", prefix);
    EXPECT_EQ(vexo25_openGradebooks("a", "b", "c"), 103) << prefix;
    EXPECT_EQ(message(), "URL prefix formed incorrectly: '" + std::string(prefix) + "'");
  }
  vexo25_overrideConfigOption("urlprefix", "https://lorvex.example");
  EXPECT_EQ(vexo25_classDataSync("NH", "", nullptr, nullptr, nullptr, nullptr, nullptr), 120);
  EXPECT_EQ(message(), "School ID without class ID");
  EXPECT_TRUE(opened().empty());

  installLauncher(3);
  EXPECT_EQ(vexo25_openGradebooks("a", "b", "c"), 114);
  EXPECT_NE(message().find("Failed to open browser"), std::string::npos) << message();
  installLauncher(0);
  EXPECT_EQ(vexo25_openGradebooks("a", "b", "c"), 0);
  EXPECT_EQ(message(), "");
}

TEST_F(BrowserOperationsTest, TheSessionIsNeitherNeededNorTouched) {
  vexo25_overrideConfigOption("urlprefix", "https://lorvex.example");
  logIn("teacher1", "apple-pie");
  const std::size_t posts = sessionPosts().size();
  EXPECT_EQ(vexo25_openGradebooks("a", "b", "c"), 0);
  installLauncher(1);
  EXPECT_EQ(vexo25_openGradebooks("a", "b", "c"), 114);
  EXPECT_EQ(vexo25_isLoggedIn(), 1);
  EXPECT_EQ(sessionPosts().size(), posts);
}

TEST(ClassDataSyncCommandTest, FlagsOverTheDefaults) {
  std::shared_ptr<vexo::ClassDataSyncCommand> command = vexo::ClassDataSyncCommand::make();
  EXPECT_EQ(command->classid, "*");
  command->processArgs({"-SchoolID", "NH", "-classid", "Mixed Case", "-srcappid", "mt"});
  EXPECT_EQ(command->schoolid, "NH");
  EXPECT_EQ(command->classid, "Mixed Case");
  EXPECT_EQ(command->srcappid, "mt");
  const std::vector<std::pair<const char*, const char*>> missing = {
      {"-classid", "'-classid' arg missing class ID"},
      {"-schoolid", "'-schoolid' arg missing school ID"},
      {"-fileext", "'-fileext' arg missing file extension"},
      {"-mimetype", "'-mimetype' arg missing mime type"},
  };
  for (const auto& m : missing) {
    try {
      command->processArgs({m.first});
      ADD_FAILURE() << m.first;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), m.second);
    }
  }
}

}  // namespace
}  // namespace vexotest
