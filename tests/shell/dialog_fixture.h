// Shared set-up for the tests of the program's dialogs: the toolbox headless, a fresh
// class under a fixed clock, the filters, dialogs, alerts and password lock set up as
// at start-up, an in-memory keychain, and an alert responder that answers the alerts a
// test expects and fails on any other. Header only, so that every test file of the
// folder builds on its own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/password.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/dialogs/alerts.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/dialogs/password_dialogs.h"
#include "marktally/toolbox/testing.h"

namespace dialogtest {

// Seconds since 1904 for a local date and time.
inline uint32_t MacDate(int year, int month, int day, int hour = 12, int minute = 0,
                        int second = 0) {
  DateTimeRec d{};
  d.year = static_cast<int16_t>(year);
  d.month = static_cast<int16_t>(month);
  d.day = static_cast<int16_t>(day);
  d.hour = static_cast<int16_t>(hour);
  d.minute = static_cast<int16_t>(minute);
  d.second = static_cast<int16_t>(second);
  uint32_t s = 0;
  DateToSeconds(d, s);
  return s;
}

// The focus item of a dialog, for script checks.
inline DialogItemIndex FocusOf(DialogRef dialog) { return GetDialogKeyboardFocusItem(dialog); }

// Where pictures of dialogs go: beside the test program, in the build folder.
inline std::string RenderDir() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string dir =
      (error ? std::filesystem::temp_directory_path() : exe.parent_path()).string() + "/dialogs";
  std::filesystem::create_directories(dir, error);
  return dir;
}

class DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitToolboxForTesting(); }

  void SetUp() override {
    char pattern[] = "/tmp/mt-dialogs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    SetFlushToDisk(false);
    ResetToolboxForTesting();
    static const RegionDateFormat region;  // month/day/year with '/'
    SetRegionDateFormatForTesting(&region);
    SetClockForTesting(MacDate(2026, 10, 15));
    NewClass();
    gFileSpec.path.clear();
    SetChanged(0);
    UseInMemoryKeychainForTesting(true);
    SetupFilters();
    SetupDialogs();
    InstallAlertSink();
    InstallPasswordLock();
    SetAlertResponder([this](const AlertShown& a) {
      alerts.push_back(a);
      if (letAlertsRun_) return DialogItemIndex{0};
      if (expected_.empty()) {
        ADD_FAILURE() << "unexpected alert \"" << a.message << "\": " << a.explanation;
        return a.defaultButton;
      }
      const Expected e = expected_.front();
      expected_.pop_front();
      EXPECT_EQ(a.type, e.type) << a.message;
      EXPECT_EQ(a.message, e.message);
      EXPECT_EQ(a.explanation, e.explanation);
      return e.answer;
    });
    SetModalStuckHandler([](DialogRef d) {
      ADD_FAILURE() << "dialog " << GetDialogID(d) << " waits for input the test does not give";
      return GetDialogCancelItem(d) ? GetDialogCancelItem(d) : DialogItemIndex{1};
    });
  }

  void TearDown() override {
    for (const Expected& e : expected_) ADD_FAILURE() << "alert never shown: " << e.message;
    SetPasswordPrompt(nullptr);
    SetKeychain(KeychainAccess{});
    SetAlertSink(nullptr);
    SetMainWindowHandlers(MainWindowHandlers{});
    UseInMemoryKeychainForTesting(false);
    SetRegionDateFormatForTesting(nullptr);
    SetClockForTesting(0);
    SetFlushToDisk(true);
    std::filesystem::remove_all(dir_);
  }

  // The next alert must be of this kind with exactly these texts (Mac Roman); it is
  // answered with the given button.
  void ExpectAlert(AlertType type, const std::string& message, const std::string& explanation,
                   DialogItemIndex answer = 1) {
    expected_.push_back(Expected{type, message, explanation, answer});
  }
  // Lets the next alerts run as dialogs (for tests of their keys).
  void LetAlertsRun() { letAlertsRun_ = true; }

  // A temporary folder for documents, removed after the test.
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::vector<AlertShown> alerts;  // every alert that was shown

 private:
  struct Expected {
    AlertType type;
    std::string message, explanation;
    DialogItemIndex answer;
  };
  std::deque<Expected> expected_;
  bool letAlertsRun_ = false;
  std::string dir_;
};

}  // namespace dialogtest
