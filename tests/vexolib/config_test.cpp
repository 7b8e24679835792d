// The configuration grammar, the search for vexo.ini, and option look-ups and overrides.
#include <boost/filesystem.hpp>
#include <boost/optional/optional_io.hpp>
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace {

namespace platform = vexo::platform;
using Options = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

TEST(ConfigGrammar, Lines) {
  struct Case {
    const char* what;
    Strings lines;
    Options expected;
  };
  const Case cases[] = {
      {"outside any section", {"trace=1", "[other]", "a=b"}, {}},
      {"capitalised header", {"[VEXO]", "trace=1"}, {{"trace", "1"}}},
      {"header with text after it", {"[vexo] x", "trace=1"}, {}},
      {"blanks around header", {"  [vexo]\t ", "a=1"}, {{"a", "1"}}},
      {"mixed-case key, blanks, value with trailing blanks",
       {"[vexo]", "  TrAcE  =  0  "}, {{"trace", "0  "}}},
      {"other section ends it, vexo opens it again",
       {"[vexo]", "a=1", "[net]", "b=2", "[Vexo]", "c=3"}, {{"a", "1"}, {"c", "3"}}},
      {"later line wins", {"[vexo]", "a=1", "A=2"}, {{"a", "2"}}},
      {"empty value", {"[vexo]", "a="}, {{"a", ""}}},
      {"greedy key", {"[vexo]", "a=b=c"}, {{"a=b", "c"}}},
      {"no equals sign is skipped", {"[vexo]", "# comment", "plain words", "k=v"}, {{"k", "v"}}},
      {"line cut at CR or LF", {"[vexo]\r", "a=1\rb=2", "c=3\nd=4"}, {{"a", "1"}, {"c", "3"}}},
      {"value keeps case and inner blanks", {"[vexo]", "UrlPrefix=http://A b/"},
       {{"urlprefix", "http://A b/"}}},
      {"option line before header test", {"[vexo]", "[x]=1", "y=2"}, {{"[x]", "1"}, {"y", "2"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::parseConfigOptionLines(c.lines), c.expected) << c.what;
  }
}

TEST(ConfigGrammar, SplittingFileText) {
  namespace detail = platform::detail;
  const Strings expected{"[vexo]", " a = 1 ", "b=2"};
  EXPECT_EQ(detail::splitConfigText("[vexo]\n a = 1 \nb=2\n"), expected);
  EXPECT_EQ(detail::splitConfigText("[vexo]\r\n\r\n a = 1 \r\n\r\nb=2"), expected);
  EXPECT_EQ(detail::splitConfigText("\r[vexo]\r a = 1 \rb=2"), expected);
  EXPECT_TRUE(detail::splitConfigText("\n\r\n").empty());
}

class ConfigTest : public vexotest::FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    const std::string& root = vexotest::sandboxRoot();
    for (const char* domain : {"config", "xdg", "etc"}) {
      boost::filesystem::remove_all(root + "/" + domain + "/vexo");
    }
  }
  void TearDown() override {
    SetUp();
    FrameworkTest::TearDown();
  }

  // domain: "config" (the user's), "xdg" (this machine's) or "etc" (the shared one).
  static void writeIni(const std::string& domain, const std::string& text) {
    const std::string folder = vexotest::sandboxRoot() + "/" + domain + "/vexo";
    boost::filesystem::create_directories(folder);
    vexotest::writeFile(folder + "/vexo.ini", text);
  }
};

TEST_F(ConfigTest, NoFileGivesEmptyOptions) {
  EXPECT_TRUE(platform::readConfigOptions().empty());
  EXPECT_TRUE(platform::getConfigOptions().empty());
  EXPECT_TRUE(platform::getBoolConfigOption("curlenabled", true));
}

TEST_F(ConfigTest, FirstDomainWithAFileWins) {
  writeIni("etc", "[vexo]\nfrom=etc\n");
  EXPECT_EQ(platform::readConfigOptions(), (Options{{"from", "etc"}}));
  writeIni("xdg", "[vexo]\nfrom=xdg\n");
  EXPECT_EQ(platform::readConfigOptions(), (Options{{"from", "xdg"}}));
  // The user's file counts even when it holds no option at all.
  writeIni("config", "nothing here\n");
  EXPECT_TRUE(platform::readConfigOptions().empty());
}

TEST_F(ConfigTest, FolderNamedLikeTheFileIsSkipped) {
  boost::filesystem::create_directories(vexotest::sandboxRoot() + "/config/vexo/vexo.ini");
  writeIni("xdg", "[vexo]\nfrom=xdg\n");
  EXPECT_EQ(platform::readConfigOptions(), (Options{{"from", "xdg"}}));
}

TEST_F(ConfigTest, XdgDefaultsAreFollowed) {
  writeIni("config", "[vexo]\nfrom=user\n");
  {
    // Without XDG_CONFIG_HOME the user's folder is ~/.config.
    vexotest::ScopedEnv noConfigHome("XDG_CONFIG_HOME", nullptr);
    EXPECT_TRUE(platform::readConfigOptions().empty());
    boost::filesystem::create_directories(vexotest::sandboxRoot() + "/home/.config/vexo");
    vexotest::writeFile(vexotest::sandboxRoot() + "/home/.config/vexo/vexo.ini",
                        "[vexo]\nfrom=home\n");
    EXPECT_EQ(platform::readConfigOptions(), (Options{{"from", "home"}}));
    boost::filesystem::remove_all(vexotest::sandboxRoot() + "/home/.config");
  }
  // Only the first entry of XDG_CONFIG_DIRS is the machine's folder.
  writeIni("etc", "[vexo]\nfrom=etc\n");
  const std::string dirs = vexotest::sandboxRoot() + "/nowhere:" + vexotest::sandboxRoot() +
                           "/xdg";
  writeIni("xdg", "[vexo]\nfrom=xdg\n");
  vexotest::ScopedEnv noConfigHome("XDG_CONFIG_HOME", "/nonexistent-vexo-test");
  vexotest::ScopedEnv configDirs("XDG_CONFIG_DIRS", dirs.c_str());
  EXPECT_EQ(platform::readConfigOptions(), (Options{{"from", "etc"}}));
}

TEST_F(ConfigTest, LineEndsAndLastLineWithoutEnd) {
  writeIni("config", "[vexo]\r\n\r\nurlprefix=http://a\r\n\r\nverbose = yes");
  EXPECT_EQ(platform::readConfigOptions(),
            (Options{{"urlprefix", "http://a"}, {"verbose", "yes"}}));
}

TEST_F(ConfigTest, FileIsReadOnceOnFirstLookup) {
  writeIni("config", "[vexo]\nTrace=1\nsessionurl=https://s/x\n");
  EXPECT_EQ(platform::lookupConfigOption("trace"), std::string("1"));
  EXPECT_FALSE(platform::lookupConfigOption("Trace"));
  writeIni("config", "[vexo]\ntrace=0\n");
  EXPECT_EQ(platform::lookupConfigOption("trace"), std::string("1"));
  EXPECT_EQ(platform::getSessionUrl(), "https://s/x");
}

TEST_F(ConfigTest, OverrideBeforeLoadingSurvivesTheFile) {
  writeIni("config", "[vexo]\nurlprefix=http://file\nverbose=1\n");
  platform::overrideStringConfigOption("urlprefix", "http://override");
  platform::overrideStringConfigOption("MixedCase", "kept");
  EXPECT_EQ(platform::getUrlPrefix(), "http://override");
  EXPECT_EQ(platform::getStringConfigOption("verbose", "x"), "1");
  EXPECT_EQ(platform::lookupConfigOption("MixedCase"), std::string("kept"));
  EXPECT_FALSE(platform::lookupConfigOption("mixedcase"));
  EXPECT_EQ(platform::getSessionUrl(), "http://override/DesktopSession.page");
  EXPECT_EQ(platform::getUploadUrl(), "http://override/AdminDataUpload.page");
  platform::overrideStringConfigOption("uploadurl", "https://u/up");
  EXPECT_EQ(platform::getUploadUrl(), "https://u/up");
}

TEST_F(ConfigTest, BooleanOptions) {
  writeIni("config", "[vexo]\nempty=\nzero=0  \nword=maybe\ncompressionEnabled=0\n");
  EXPECT_FALSE(platform::getBoolConfigOption("empty", true));
  EXPECT_FALSE(platform::getBoolConfigOption("zero", true));
  EXPECT_FALSE(platform::getBoolConfigOption("word", true));
  EXPECT_TRUE(platform::getBoolConfigOption("absent", true));
  // The file cannot reach the compression switch: its keys are lower-cased.
  EXPECT_TRUE(platform::isCompressionEnabled());
  platform::setCompressionEnabled(false);
  EXPECT_FALSE(platform::isCompressionEnabled());
  EXPECT_EQ(platform::getConfigOptions().at("compressionEnabled"), "0");
  platform::overrideBoolConfigOption("flag", true);
  EXPECT_EQ(platform::getStringConfigOption("flag", ""), "1");
}

TEST_F(ConfigTest, DefaultUrlsShareTheBuiltInPrefixThatNeverResolves) {
  // Without configuration a report and a token go nowhere, never to a host someone holds.
  const std::string prefix = platform::getUrlPrefix();
  EXPECT_EQ(prefix, "https://lorvex.invalid");
  EXPECT_EQ(platform::getSessionUrl(), prefix + "/DesktopSession.page");
  EXPECT_EQ(platform::getUploadUrl(), prefix + "/AdminDataUpload.page");
}

TEST_F(ConfigTest, InitClientCanOnlySwitchTracingOn) {
  writeIni("config", "[vexo]\ntrace=yes\nregisterhelpers=1\n");
  platform::setTracingEnabled(false);
  platform::initClient();
  EXPECT_TRUE(platform::isTracingEnabled());

  vexotest::resetFramework();
  writeIni("config", "[vexo]\ntrace=0\n");
  platform::initClient();
  EXPECT_TRUE(platform::isTracingEnabled());
}

TEST_F(ConfigTest, OverrideIsTraced) {
  platform::overrideStringConfigOption("lwupload", "1");
  const auto& table = platform::accessLogTable();
  ASSERT_FALSE(table.empty());
  EXPECT_NE(table.back().text.find(": Override: lwupload=1"), std::string::npos);
}

}  // namespace
