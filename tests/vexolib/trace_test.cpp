// Trace files, their pruning, and the in-memory log table.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <regex>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace {

namespace platform = vexo::platform;
using platform::LogLevel;
using vexotest::FrameworkTest;
using vexotest::listFolder;
using vexotest::readFile;
using Strings = std::vector<std::string>;

Strings linesOf(const std::string& text) {
  Strings lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const std::string::size_type end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool isTraceName(const std::string& name) {
  static const std::regex pattern(R"(trace-\d{4}-\d\d-\d\d-\d{4}-\d\d(_\d+)?\.log)");
  return std::regex_match(name, pattern);
}

class TraceTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    dir = vexotest::makeFolder("trace");
    platform::setTraceLogDirectory(dir);
  }

  Strings traceFiles() {
    Strings names;
    for (const std::string& name : listFolder(dir)) {
      if (isTraceName(name)) names.push_back(name);
    }
    return names;
  }

  // n old trace files with names that sort by age, a minute apart.
  void makeOldTraceFiles(int n) {
    for (int i = 0; i < n; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "trace-2001-01-%02d-%02d%02d-00.log", 1 + i / 1440,
                    i / 60 % 24, i % 60);
      vexotest::writeFile(dir + "/" + name, "old\n");
    }
  }

  std::string dir;
};

TEST_F(TraceTest, FileStartsWithHeaderAndHoldsStampedLines) {
  platform::trace("connect");
  const Strings names = traceFiles();
  ASSERT_EQ(names.size(), 1u);
  const std::string path = dir + "/" + names[0];
  EXPECT_EQ(vexotest::modeOf(path), 0600u);
  const Strings lines = linesOf(readFile(path));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Version 2.5.72");
  EXPECT_EQ(lines[1], "OS version: " + platform::getOSVersionString());
  EXPECT_EQ(lines[2], "pid: " + std::to_string(getpid()));
  EXPECT_TRUE(std::regex_match(lines[3],
                               std::regex(R"(\d{4}-\d\d-\d\d @ \d\d:\d\d:\d\d: connect)")))
      << lines[3];
}

TEST_F(TraceTest, NoLineNoFile) {
  makeOldTraceFiles(3);
  platform::setMaxTraceLogFiles(0);
  platform::log(LogLevel::info, "not a trace line", "app");
  EXPECT_EQ(listFolder(dir).size(), 3u);
}

TEST_F(TraceTest, DefaultDirectoryIsTheCacheFolder) {
  vexotest::resetFramework();
  EXPECT_EQ(platform::getTraceLogDirectory(), vexotest::sandboxRoot() + "/cache/vexo");
}

// Old trace files are pruned, oldest name first, before the new one is opened; files of
// other names are never touched.
TEST_F(TraceTest, PruningKeepsTheNewestBelowTheLimit) {
  struct Case {
    int oldFiles, limit, oldKept;
  };
  const Case cases[] = {{150, 100, 99}, {5, 100, 5}, {3, 1, 0}, {20, 0, 0}, {100, 100, 99}};
  for (const Case& c : cases) {
    SCOPED_TRACE("old " + std::to_string(c.oldFiles) + ", limit " + std::to_string(c.limit));
    vexotest::resetFramework();
    dir = vexotest::makeFolder("prune");
    platform::setTraceLogDirectory(dir);
    platform::setMaxTraceLogFiles(c.limit);
    makeOldTraceFiles(c.oldFiles);
    const Strings before = traceFiles();
    ::mkdir((dir + "/trace-x.log").c_str(), 0700);
    for (const char* foreign : {"trace-notes.txt", "other.log", "xtrace-1.log", "trace-"}) {
      vexotest::writeFile(dir + "/" + foreign, "keep");
    }

    platform::trace("opened");

    const Strings after = traceFiles();
    ASSERT_EQ(after.size(), static_cast<std::size_t>(c.oldKept + 1));
    // The survivors are the newest old files.
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + c.oldKept, before.end() - c.oldKept));
    for (const char* foreign :
         {"trace-x.log", "trace-notes.txt", "other.log", "xtrace-1.log", "trace-"}) {
      EXPECT_TRUE(platform::fileExists(dir + "/" + foreign)) << foreign;
    }
  }
}

// A folder others may write into (a shared one like /tmp) holds other programs' files:
// nothing there is pruned.
TEST_F(TraceTest, PruningLeavesASharedFolderAlone) {
  vexotest::resetFramework();
  dir = vexotest::makeFolder("shared");
  ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
  platform::setTraceLogDirectory(dir);
  platform::setMaxTraceLogFiles(1);
  vexotest::writeFile(dir + "/trace-2000-01-01-0000-00.log", "someone else's");
  platform::trace("opened");
  EXPECT_EQ(readFile(dir + "/trace-2000-01-01-0000-00.log"), "someone else's");
  ::chmod(dir.c_str(), 0755);
}

TEST_F(TraceTest, LimitIgnoresNegativeValues) {
  EXPECT_EQ(platform::getMaxTraceLogFiles(), 100);
  platform::setMaxTraceLogFiles(-5);
  EXPECT_EQ(platform::getMaxTraceLogFiles(), 100);
  platform::setMaxTraceLogFiles(0);
  EXPECT_EQ(platform::getMaxTraceLogFiles(), 0);
}

// Two runs within one second must not share (and truncate) one file; the second name is
// still one that pruning recognises.
TEST_F(TraceTest, SecondFileInTheSameSecondGetsItsOwnName) {
  const std::time_t now = std::time(nullptr);
  Strings planted;
  for (int ahead = 0; ahead < 3; ++ahead) {
    const std::time_t t = now + ahead;
    std::tm local{};
    localtime_r(&t, &local);
    char name[64];
    std::strftime(name, sizeof name, "trace-%Y-%m-%d-%H%M-%S.log", &local);
    vexotest::writeFile(dir + "/" + name, "another run\n");
    planted.push_back(name);
  }
  platform::trace("mine");
  for (const std::string& name : planted) {
    EXPECT_EQ(readFile(dir + "/" + name), "another run\n") << name;
  }
  ASSERT_EQ(traceFiles().size(), 4u);

  platform::setTraceLogDirectory(dir);
  platform::trace("again");
  EXPECT_EQ(traceFiles().size(), 5u);

  platform::setMaxTraceLogFiles(1);
  platform::setTraceLogDirectory(dir);
  platform::trace("last");
  EXPECT_EQ(traceFiles().size(), 1u);
}

TEST_F(TraceTest, MissingDirectorySwitchesTracingOff) {
  platform::setTraceLogDirectory(dir + "/does-not-exist");
  platform::trace("lost");
  EXPECT_FALSE(platform::isTracingEnabled());
  // Switched on again, the next line tries again.
  platform::setTraceLogDirectory(dir);
  platform::setTracingEnabled(true);
  platform::trace("found");
  EXPECT_EQ(traceFiles().size(), 1u);
}

TEST_F(TraceTest, TraceWithExceptionWritesBothLines) {
  platform::setTracingEnabled(false);  // keep the exception's own line out of the file
  const vexo::VexoException e(105, "Unable to open input file 'x'.");
  platform::setTracingEnabled(true);
  platform::trace("upload failed", e);
  const Strings names = traceFiles();
  ASSERT_EQ(names.size(), 1u);
  const Strings lines = linesOf(readFile(dir + "/" + names[0]));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(.* @ .*: upload failed)")));
  EXPECT_EQ(lines[4], "VexoException: status code = 105; what = 'Unable to open input file 'x'.'");
}

TEST_F(TraceTest, LogTableCollectsTraceAndLoggedMessages) {
  platform::trace("one");
  platform::log(LogLevel::error, "two", "uploader");
  platform::log(LogLevel::info, std::string("three"), "app");
  auto& table = platform::accessLogTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].level, LogLevel::trace);
  EXPECT_EQ(table[0].category, "vexo");
  EXPECT_TRUE(std::regex_match(table[0].text, std::regex(R"(\d{4}-\d\d-\d\d @ [\d:]{8}: one)")));
  EXPECT_EQ(table[1].level, LogLevel::error);
  EXPECT_EQ(table[1].category, "uploader");
  EXPECT_EQ(table[2].level, LogLevel::info);
  // Only the trace line reached the file.
  const Strings lines = linesOf(readFile(dir + "/" + traceFiles().at(0)));
  EXPECT_EQ(lines.size(), 4u);

  platform::disableLogTable();
  EXPECT_FALSE(platform::isLogTableEnabled());
  EXPECT_TRUE(table.empty());
  platform::trace("four");
  EXPECT_TRUE(table.empty());
  platform::enableLogTable();
  platform::setTracingEnabled(false);
  platform::trace("five");
  EXPECT_TRUE(table.empty());
}

// Only a request empties the table, so it keeps the newest entries and cuts long ones: a
// program that fails over and over without a session must not grow it for ever. The trace
// file keeps every line whole.
TEST_F(TraceTest, LogTableKeepsItsNewestEntriesAndCutsLongOnes) {
  auto& table = platform::accessLogTable();
  const std::size_t most = platform::logTableMaxEntries;
  for (std::size_t i = 0; i < most + 250; ++i) {
    platform::trace("line " + std::to_string(i));
  }
  ASSERT_EQ(table.size(), most);
  EXPECT_TRUE(std::regex_match(table.front().text, std::regex(".*: line 250")));
  EXPECT_TRUE(std::regex_match(table.back().text,
                               std::regex(".*: line " + std::to_string(most + 249))));

  struct Case {
    std::size_t length;
    bool cut;
  };
  const std::size_t room = platform::logEntryMaxText - std::string("2026-01-01 @ 00:00:00: ").size();
  for (const Case c : {Case{room, false}, Case{room + 1, true}, Case{1 << 20, true}}) {
    platform::log(LogLevel::error, std::string(c.length, 'q'), "app");
    const std::string& text = table.back().text;
    EXPECT_LE(text.size(), platform::logEntryMaxText) << c.length;
    const std::string note = " ... (" + std::to_string(c.length) + " bytes, cut)";
    EXPECT_EQ(text.size() >= note.size() &&
                  text.compare(text.size() - note.size(), note.size(), note) == 0,
              c.cut)
        << c.length;
    EXPECT_EQ(text.find(std::string(c.cut ? room - note.size() : room, 'q')), text.find('q'))
        << "the message's start stays";
  }
  EXPECT_EQ(table.size(), most);
  platform::trace(std::string(100000, 'z'));
  const Strings lines = linesOf(readFile(dir + "/" + traceFiles().at(0)));
  EXPECT_EQ(lines.back().size(), std::string("2026-01-01 @ 00:00:00: ").size() + 100000);
}

TEST_F(TraceTest, TimeStringFormats) {
  const std::regex fileStamp(R"(\d{4}-\d\d-\d\d-\d{4}-\d\d)");
  EXPECT_TRUE(std::regex_match(platform::getCurrentTimeString(platform::fileNameTimeFormat),
                               fileStamp));
  EXPECT_TRUE(std::regex_match(
      platform::getCurrentTimeString(static_cast<platform::TimeStringFormatCode>(7)), fileStamp));
  EXPECT_TRUE(std::regex_match(platform::getCurrentTimeString(platform::lineTimeFormat),
                               std::regex(R"(\d{4}-\d\d-\d\d @ \d\d:\d\d:\d\d)")));
}

TEST_F(TraceTest, LoadFileReadsWholeFilesAndReportsShortOnes) {
  std::string content;
  for (int i = 0; i < 20000; ++i) content += static_cast<char>(i * 7);
  const std::string path = dir + "/data.bin";
  vexotest::writeFile(path, content);
  std::vector<unsigned char> bytes{1, 2, 3};
  ASSERT_TRUE(platform::loadFile(path, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);

  vexotest::writeFile(dir + "/empty", "");
  ASSERT_TRUE(platform::loadFile(dir + "/empty", bytes));
  EXPECT_TRUE(bytes.empty());

  vexo::platform::detail::failReadsAfter(10000, false);
  EXPECT_FALSE(platform::loadFile(path, bytes));
  vexo::platform::detail::failReadsAfter(-1, false);

  EXPECT_THROW(platform::loadFile(dir + "/missing", bytes), std::runtime_error);
  EXPECT_TRUE(platform::deleteFile(path));
  EXPECT_FALSE(platform::deleteFile(path));
}

}  // namespace
