// The desktop services: the clipboard as the scrap, the preferences file, cursors, the
// help tag and the beep.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "toolbox_fixture.h"

namespace {

using Desktop = ToolboxTest;

TEST_F(Desktop, ScrapRoundTripsMacRomanTextThroughTheClipboard) {
  const struct {
    std::string macRoman;
  } cases[] = {
      {"85"},
      {"Caf\x8E cr\x8Fme \xC9"},  // accents and an ellipsis
      {"line one\rline two\r"},   // the program's line ends
      {""},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(noErr, PutScrapText(c.macRoman));
    std::string back;
    ASSERT_TRUE(GetScrapText(&back));
    EXPECT_EQ(c.macRoman, back);
  }
  ClearCurrentScrap();
  std::string none = "left alone";
  EXPECT_FALSE(GetScrapText(&none));
  EXPECT_EQ("left alone", none);
}

class Preferences : public ToolboxTest {
 protected:
  void SetUp() override {
    ToolboxTest::SetUp();
    dir = std::filesystem::temp_directory_path() /
          ("mt-prefs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    path = (dir / "marktally" / "marktally.conf").string();
    SetPreferencesFileForTesting(path);
  }
  void TearDown() override {
    SetPreferencesFileForTesting("");
    std::filesystem::remove_all(dir);
    ToolboxTest::TearDown();
  }
  std::filesystem::path dir;
  std::string path;
};

TEST_F(Preferences, ValuesSurviveARestart) {
  int16_t zoom = 0;
  std::string position;
  EXPECT_FALSE(CopyAppPreferenceShort("zoom", &zoom));
  EXPECT_FALSE(CopyAppPreferenceString("window position", &position, 31));

  SetAppPreferenceShort("zoom", 7);
  SetAppPreferenceString("window position", "64 18 818 664");
  ASSERT_TRUE(SynchronizeAppPreferences());
  ASSERT_TRUE(std::filesystem::exists(path));

  SetPreferencesFileForTesting(path);  // as the next run opens it
  ASSERT_TRUE(CopyAppPreferenceShort("zoom", &zoom));
  EXPECT_EQ(7, zoom);
  ASSERT_TRUE(CopyAppPreferenceString("window position", &position, 31));
  EXPECT_EQ("64 18 818 664", position);
  ASSERT_TRUE(CopyAppPreferenceString("window position", &position, 5));
  EXPECT_EQ("64 18", position);
}

TEST_F(Preferences, ANumberThatIsNotOneIsMissing) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "[General]\nzoom=big\nlarge=70000\nnegative=-3\n";
  SetPreferencesFileForTesting(path);
  int16_t value = 42;
  EXPECT_FALSE(CopyAppPreferenceShort("zoom", &value));
  EXPECT_FALSE(CopyAppPreferenceShort("large", &value));
  EXPECT_EQ(42, value);
  ASSERT_TRUE(CopyAppPreferenceShort("negative", &value));
  EXPECT_EQ(-3, value);
}

TEST_F(Desktop, CursorHelpTagAndBeepAreObservable) {
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor());
  SetThemeCursor(kThemeOpenHandCursor);
  EXPECT_EQ(kThemeOpenHandCursor, CurrentThemeCursor());
  InitCursor();
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor());

  HMHelpContentRec tag{};
  EXPECT_FALSE(CurrentHelpTag(&tag));
  HMHelpContentRec shown{Rect{200, 300, 220, 340}, 13, PStr("Turned in late")};
  HMDisplayTag(&shown);
  ASSERT_TRUE(CurrentHelpTag(&tag));
  EXPECT_EQ("Turned in late", tag.content.str());
  EXPECT_TRUE(SameRect(tag.absHotRect, Rect{200, 300, 220, 340}));
  EXPECT_EQ(13, tag.tagSide);
  HMHideTag();
  EXPECT_FALSE(CurrentHelpTag(&tag));

  SysBeep(1);
  SysBeep(1);
  EXPECT_EQ(2, BeepCount());
}

}  // namespace
