// Configuration calls, client attributes, the trace folder and log messages through the
// exports: attributes on the next request of the live session and of later ones, log entries
// flushed to the service exactly once, and null texts refused without effect.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "interface_fixture.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

typedef std::map<std::string, std::string> Fields;

class ConfigOperationsTest : public InterfaceTest {
 protected:
  // The log entries a POST carried.
  static std::vector<std::string> logEntries(const Fields& post) {
    std::vector<std::string> entries;
    for (const auto& field : post) {
      if (field.first.rfind("log.", 0) == 0) {
        entries.push_back(field.second);
      }
    }
    return entries;
  }
  static int countEnding(const std::vector<std::string>& entries, const std::string& end) {
    int n = 0;
    for (const std::string& e : entries) {
      n += e.size() >= end.size() && e.compare(e.size() - end.size(), end.size(), end) == 0;
    }
    return n;
  }
  static std::vector<std::string> tableTexts() {
    std::vector<std::string> texts;
    for (const vexo::platform::LogEntry& entry : vexo::platform::accessLogTable()) {
      texts.push_back(entry.text);
    }
    return texts;
  }
  static int countHolding(const std::vector<std::string>& entries, const std::string& part) {
    int n = 0;
    for (const std::string& e : entries) {
      n += e.find(part) != std::string::npos ? 1 : 0;
    }
    return n;
  }
};

TEST_F(ConfigOperationsTest, ClientAttributesGoWithTheNextRequestOfEverySession) {
  vexo25_setClientAttribute("site", "north");
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(sessionPosts().back().at("req.clientAttribute.site"), "north");

  vexo25_setClientAttribute("site", "south");
  vexo25_setClientAttribute("room", "12");
  ASSERT_EQ(vexo25_touchSession(), 0);
  EXPECT_EQ(sessionPosts().back().at("req.clientAttribute.site"), "south");
  EXPECT_EQ(sessionPosts().back().at("req.clientAttribute.room"), "12");

  logIn("admin", "root!pw");
  EXPECT_EQ(sessionPosts().back().at("req.clientAttribute.site"), "south");

  vexo25_setClientAttribute(nullptr, "x");
  EXPECT_EQ(message(), "Null argument");
  vexo25_setClientAttribute("site", nullptr);
  ASSERT_EQ(vexo25_touchSession(), 0);
  EXPECT_EQ(sessionPosts().back().at("req.clientAttribute.site"), "south");
}

TEST_F(ConfigOperationsTest, AnErrorMessageFlushesThePendingEntriesOnce) {
  logIn("teacher1", "apple-pie");  // this account wants the client's log
  // A failure whose status an info message must leave in place.
  ASSERT_EQ(vexo25_retrieveRosterUserInfo(nullptr), 103);
  const std::size_t before = sessionPosts().size();
  vexo25_logMessage(0, "grades", "recomputed & saved");
  EXPECT_EQ(sessionPosts().size(), before);
  EXPECT_EQ(message(), "Null argument");

  vexo25_logMessage(1, "upload", "it broke");
  const auto posts = sessionPosts();
  ASSERT_EQ(posts.size(), before + 1);
  const Fields& flush = posts.back();
  EXPECT_EQ(flush.at("req.0.type"), "logMessage");
  EXPECT_EQ(flush.at("req.0.isError"), "true");
  EXPECT_EQ(flush.at("req.0.subcategory"), "(flush)");
  EXPECT_EQ(flush.at("req.0.message"), "");
  const std::vector<std::string> entries = logEntries(flush);
  EXPECT_EQ(countHolding(entries, "recomputed & saved"), 1);
  EXPECT_EQ(countHolding(entries, "it broke"), 1);
  EXPECT_EQ(countHolding(entries, "info:grades:"), 1);
  EXPECT_EQ(countHolding(entries, "error:upload:"), 1);
  // The flush is the session's request: its own entry and exit lines, none of the
  // interface's, and the last failure's message stays.
  EXPECT_EQ(countEnding(entries, ": logMessage"), 1);
  EXPECT_EQ(countEnding(tableTexts(), ": exit logMessage"), 1);
  EXPECT_EQ(vexo::api25::getStatusCode(), 0);
  EXPECT_EQ(message(), "Null argument");

  ASSERT_EQ(vexo25_touchSession(), 0);
  EXPECT_EQ(countHolding(logEntries(sessionPosts().back()), "it broke"), 0);
}

TEST_F(ConfigOperationsTest, ErrorMessagesWithoutASessionAreOnlyRecordedAndAFailedFlushEndsIt) {
  vexo25_logMessage(1, "offline", "no session yet");
  EXPECT_TRUE(sessionPosts().empty());
  logIn("teacher1", "apple-pie");
  EXPECT_EQ(countHolding(logEntries(sessionPosts().front()), "no session yet"), 1);

  scriptNext(500, "down");
  vexo25_logMessage(1, "upload", "again");
  EXPECT_EQ(vexo25_isConnected(), 0);
  EXPECT_EQ(vexo::api25::getStatusCode(), 125);
  EXPECT_EQ(message(), "HTTP result: 500");

  const std::size_t before = sessionPosts().size();
  vexo25_logMessage(1, nullptr, "x");
  vexo25_logMessage(0, "s", nullptr);
  EXPECT_EQ(message(), "Null argument");
  EXPECT_EQ(sessionPosts().size(), before);
}

// Without a session nothing ships the log table: many failing calls with tracing on keep it
// at its bound, the newest call's lines last.
TEST_F(ConfigOperationsTest, ManyFailingCallsWithTracingOnKeepTheLogTableBounded) {
  vexo25_setTracingEnabled(1);
  vexo::platform::enableLogTable();
  for (int i = 0; i < 10000; ++i) {
    const std::string missing = "/nonexistent/" + std::to_string(i);
    ASSERT_NE(vexo25_applyPatchFile(missing.c_str(), missing.c_str(), missing.c_str()), 0);
  }
  const std::vector<std::string> texts = tableTexts();
  EXPECT_EQ(texts.size(), vexo::platform::logTableMaxEntries);
  std::size_t bytes = 0;
  for (const std::string& text : texts) {
    bytes += text.size();
  }
  EXPECT_LE(bytes, vexo::platform::logTableMaxEntries * vexo::platform::logEntryMaxText);
  EXPECT_EQ(countEnding({texts.back()}, ": Returning from applyPatchFile"), 1);
  EXPECT_EQ(countHolding(texts, "path =/nonexistent/9999;"), 1);
  EXPECT_EQ(countHolding(texts, "path =/nonexistent/0;"), 0) << "the oldest went first";
}

TEST_F(ConfigOperationsTest, TheTraceFolderTextLivesInItsOwnBuffer) {
  const std::string folder = makeFolder("traces");
  const char* first = vexo25_getTraceLogDirectory();
  ASSERT_NE(first, nullptr);
  const std::string original = first;
  EXPECT_FALSE(original.empty());
  vexo25_setTraceLogDirectory(folder.c_str());
  const char* second = vexo25_getTraceLogDirectory();
  EXPECT_EQ(std::string(second), folder);
  // Forty texts through the ring leave this one alone.
  for (int i = 0; i < 40; ++i) {
    vexo25_getErrorMessage();
  }
  EXPECT_EQ(std::string(second), folder);
  vexo25_setTraceLogDirectory(nullptr);
  EXPECT_EQ(message(), "Null argument");
  EXPECT_EQ(std::string(vexo25_getTraceLogDirectory()), folder);
}

TEST_F(ConfigOperationsTest, OverridesTracingAndNullOptions) {
  vexo25_overrideConfigOption("urlprefix", "https://example.test:8443");
  EXPECT_EQ(vexo::platform::getUrlPrefix(), "https://example.test:8443");
  vexo25_overrideConfigOption(nullptr, "x");
  EXPECT_EQ(message(), "Null argument");
  vexo25_overrideConfigOption("urlprefix", nullptr);
  EXPECT_EQ(vexo::platform::getUrlPrefix(), "https://example.test:8443");

  vexo25_setTracingEnabled(0);
  EXPECT_EQ(vexo25_isTracingEnabled(), 0);
  EXPECT_EQ(message(), "");
  vexo25_setTracingEnabled(1);
  EXPECT_EQ(vexo25_isTracingEnabled(), 1);
}

}  // namespace
}  // namespace vexotest
