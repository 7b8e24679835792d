// Shared set-up for the window's tests: the toolbox headless, the program started as
// main starts it (preferences and recent lists in a temporary folder, a fixed clock
// and date format), recorded alerts answered from a script, and helpers that drive
// the program through its own event loop and menus.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "marktally/model/document.h"
#include "marktally/model/platform.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/commands/eventloop.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/startup.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/testing.h"
#include "tests/shell/sample_class.h"

inline uint32_t LocalDate(int year, int month, int day, int hour = 12) {
  DateTimeRec d{};
  d.year = static_cast<int16_t>(year);
  d.month = static_cast<int16_t>(month);
  d.day = static_cast<int16_t>(day);
  d.hour = static_cast<int16_t>(hour);
  uint32_t s = 0;
  DateToSeconds(d, s);
  return s;
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitToolboxForTesting(); }

  void SetUp() override {
    char pattern[] = "/tmp/marktally-shell-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/config/marktally");
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    SetPreferencesFileForTesting(dir_ + "/config/marktally/marktally.conf");
    Start();
  }

  void TearDown() override {
    Stop();
    SetClockForTesting(0);
    SetRegionDateFormatForTesting(nullptr);
    SetDocumentOpenerForTesting(nullptr);
    UseInMemoryKeychainForTesting(false);
    std::filesystem::remove_all(dir_);
  }

  // The program as main starts it, on a fresh toolbox.
  void Start() {
    ResetToolboxForTesting();
    SetClockForTesting(now_);
    region_ = RegionDateFormat{};
    SetRegionDateFormatForTesting(&region_);
    gDone = 0;
    UseInMemoryKeychainForTesting(true);
    StartUp();
    InstallMouseWheelHandler();
    SetAlertSink([this](const AlertRequest& a) {
      alerts.push_back(a);
      if (answers.empty()) {
        ADD_FAILURE() << "unexpected alert: " << a.title << " / " << a.text;
        return int16_t{1};
      }
      const int16_t answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }

  // Closes the window without asking and shuts the program down as main does.
  void Stop() {
    SetAlertSink(nullptr);
    if (gWindow) CloseDocument();
    ShutDown();
    CancelSelection();
  }

  // Handles events until none is left.
  void Run() {
    for (int i = 0; i < 1000; i++)
      if (!EventLoopTurn(0)) return;
    ADD_FAILURE() << "the event loop never went idle";
  }

  // The teacher opens the menu and chooses the item; false when it was disabled.
  bool Choose(int16_t menu, int16_t item) {
    AdjustMenus();
    OpenFrameMenu(menu);
    const bool chosen = TriggerFrameMenuItem(menu, item);
    Run();
    return chosen;
  }

  bool Enabled(int16_t menu, int16_t item) {
    AdjustMenus();
    bool enabled = false;
    return FrameMenuItem(menu, item, nullptr, &enabled, nullptr) && enabled;
  }
  bool Checked(int16_t menu, int16_t item) {
    AdjustMenus();
    bool checked = false;
    return FrameMenuItem(menu, item, nullptr, nullptr, &checked) && checked;
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Writes a class document: a new class that setup fills, saved to the path.
  void WriteClass(const std::string& path, const std::function<void()>& setup) {
    const FileSpec saved = gFileSpec;
    NewClass();
    gCurrentTerm = gClass.currentTerm;
    setup();
    gFileSpec.path = path;
    ASSERT_TRUE(SaveDocument());
    gFileSpec = saved;
    NewClass();
    SetChanged(0);
  }
  void WriteSampleClass(const std::string& path, int students = 30, int assignments = 12) {
    WriteClass(path, [&] { sample::FillClass(students, assignments); });
  }

  // Opens a document through the Open dialog of the File menu.
  void OpenThroughMenu(const std::string& path) {
    ScriptNavAnswer(NavAnswer{false, {path}, false});
    ASSERT_TRUE(Choose(kFileMenu, kOpenItem));
  }

  std::string Title() const {
    if (!gWindow) return std::string();
    Str255 title;
    GetWTitle(gWindow, title);
    return ToStdString(title);
  }

  CGrafPtr Port() const { return GetWindowPort(gWindow); }

  std::string dir_;
  uint32_t now_ = LocalDate(2025, 10, 14, 10);  // a Tuesday in the first term
  RegionDateFormat region_;
  std::vector<AlertRequest> alerts;
  std::deque<int16_t> answers;
};
