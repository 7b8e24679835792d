// The abstract transport: what every request carries, in what order, and what is left
// behind, seen through a recording implementation.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/transport/Transceiver.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

using vexo::Transceiver;
namespace platform = vexo::platform;

class RecordingTransceiver : public Transceiver {
 public:
  using Transceiver::Transceiver;

  void finishInitialization() override {}
  std::string getName() const override { return "rec"; }
  bool connect() override { return true; }
  bool disconnect() override { return true; }
  bool isConnected() const override { return true; }
  void setTimeoutSeconds(int) override {}
  unsigned long getMaxRecommendedPostSize() const override { return 1000; }

  bool open = true;
  bool throwInTransfer = false;
  int status = 200;
  std::string answer = "answer";
  std::map<std::string, RequestValueEntry> sent;
  std::vector<std::string> visited;
  long processed = -1;
  int closed = 0;

 protected:
  bool openRequest() override { return open; }
  void closeRequest() override { ++closed; }
  int transmitAndReceive(vexo::ResponseBody& body) override {
    sent = requestValues;
    processed = processRequestValues(true);
    if (throwInTransfer) {
      throw std::runtime_error("transfer broke");
    }
    body.append(answer.data(), answer.size());
    return status;
  }
  boost::optional<long> processRequestValue(const std::string& name, const RequestValueEntry&,
                                            bool) override {
    visited.push_back(name);
    return 2L;
  }
  long processRequestValuesHeader(bool) override { return 100; }
  long processRequestValuesFooter(bool) override { return 1000; }
};

struct Collector : Transceiver::ResponseProcessor {
  int calls = 0;
  int status = 0;
  std::string body;
  bool throwIt = false;
  void operator()(int s, const std::vector<unsigned char>& b) override {
    ++calls;
    status = s;
    body.assign(b.begin(), b.end());
    if (throwIt) {
      throw vexo::VexoException(103, "processor refused");
    }
  }
};

class TransceiverTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    platform::setTracingEnabled(false);  // keeps the log table to what the test puts in
  }
  vexo::ConnectionDef direct;
  RecordingTransceiver t{direct, "http://127.0.0.1:9/page", "marktally"};
  Collector collector;
};

TEST_F(TransceiverTest, SendsValuesAttributesAndLogEntriesThenForgetsThem) {
  platform::accessLogTable().clear();
  platform::log(platform::LogLevel::trace, "connect", "vexo");
  platform::log(platform::LogLevel::info, "info text", "app");
  platform::log(platform::LogLevel::error, "bad", "sub");
  t.setStringValue("req.count", "1");
  t.setFileValue("req.0.chunk", "name.bin", "/no/such/file", 5, 6, 7);
  const std::map<std::string, std::string> attributes = {{"client", "X"}, {"os", "linux"}};

  EXPECT_EQ(t.sendRequest(attributes, collector), 200);

  std::vector<std::string> names;
  for (const auto& v : t.sent) {
    names.push_back(v.first);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"log.0.message", "log.1.message", "log.2.message",
                                             "req.0.chunk", "req.clientAttribute.client",
                                             "req.clientAttribute.os", "req.count"}));
  EXPECT_EQ(t.visited, names) << "values are processed in name order";
  EXPECT_EQ(t.processed, 100 + 7 * 2 + 1000);

  const std::string log0 = t.sent["log.0.message"].value;
  EXPECT_EQ(log0.substr(0, 11), "trace:vexo:");
  EXPECT_EQ(log0.substr(log0.size() - 9), ": connect");
  EXPECT_EQ(t.sent["log.1.message"].value.substr(0, 9), "info:app:");
  EXPECT_EQ(t.sent["log.2.message"].value.substr(0, 10), "error:sub:");
  EXPECT_TRUE(platform::accessLogTable().empty());

  const Transceiver::RequestValueEntry& attribute = t.sent["req.clientAttribute.client"];
  EXPECT_TRUE(attribute.isString);
  EXPECT_EQ(attribute.value, "X");
  EXPECT_TRUE(attribute.fileName.empty());
  EXPECT_EQ(attribute.length, 0);
  const Transceiver::RequestValueEntry& chunk = t.sent["req.0.chunk"];
  EXPECT_FALSE(chunk.isString);
  EXPECT_EQ(chunk.value, "");
  EXPECT_EQ(chunk.fileName, "name.bin");
  EXPECT_EQ(chunk.filePath, "/no/such/file");
  EXPECT_EQ(chunk.offset, 5);
  EXPECT_EQ(chunk.length, 6);
  EXPECT_EQ(chunk.totalSize, 7);

  EXPECT_EQ(collector.calls, 1);
  EXPECT_EQ(collector.status, 200);
  EXPECT_EQ(collector.body, "answer");
  EXPECT_EQ(t.closed, 1);
  EXPECT_TRUE(t.getNamesOfValuesBeingSent().empty());
}

TEST_F(TransceiverTest, DisabledLogTableSendsNoLogFieldsAndKeepsTheTable) {
  platform::log(platform::LogLevel::info, "kept", "app");
  const std::deque<platform::LogEntry> before = platform::accessLogTable();
  platform::disableLogTable();
  t.setStringValue("a", "1");
  t.sendRequest({}, collector);
  EXPECT_EQ(t.sent.size(), 1u);
  EXPECT_EQ(t.sent.count("a"), 1u);
  EXPECT_TRUE(platform::accessLogTable().empty()) << "disabling empties the table";
  platform::enableLogTable();
}

TEST_F(TransceiverTest, LaterValueOfANameReplacesTheEarlierOfEitherKind) {
  t.setFileValue("v", "f", "/p", 0, 1, 1);
  t.setStringValue("v", "text");
  t.setStringValue("w", "old");
  t.setFileValue("w", "f", "/p", 0, 1, 1);
  EXPECT_EQ(t.getNamesOfValuesBeingSent(), (std::vector<std::string>{"v", "w"}));
  platform::disableLogTable();
  t.sendRequest({}, collector);
  EXPECT_TRUE(t.sent["v"].isString);
  EXPECT_EQ(t.sent["v"].value, "text");
  EXPECT_FALSE(t.sent["w"].isString);
  platform::enableLogTable();
}

TEST_F(TransceiverTest, TracesTheClientAttributes) {
  platform::setTracingEnabled(true);
  platform::accessLogTable().clear();
  t.sendRequest({{"client", "X"}}, collector);
  // The trace line lands in the table after it was shipped: it goes with the next request.
  ASSERT_FALSE(platform::accessLogTable().empty());
  const std::string text = platform::accessLogTable().back().text;
  EXPECT_NE(text.find(": client attributes: client= 'X'; "), std::string::npos) << text;
}

TEST_F(TransceiverTest, RefusedOpenSendsNothingAndKeepsTheValues) {
  platform::log(platform::LogLevel::info, "entry", "app");
  t.open = false;
  t.setStringValue("a", "1");
  EXPECT_EQ(t.sendRequest({{"c", "d"}}, collector), -1);
  EXPECT_EQ(collector.calls, 0);
  EXPECT_EQ(t.closed, 0);
  const std::vector<std::string> names = t.getNamesOfValuesBeingSent();
  EXPECT_NE(std::find(names.begin(), names.end(), "req.clientAttribute.c"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "log.0.message"), names.end());
}

TEST_F(TransceiverTest, ExceptionsPassThroughAtTheirStage) {
  t.setStringValue("a", "1");
  t.throwInTransfer = true;
  EXPECT_THROW(t.sendRequest({}, collector), std::runtime_error);
  EXPECT_FALSE(t.getNamesOfValuesBeingSent().empty()) << "values stay after a broken transfer";
  EXPECT_EQ(t.closed, 0);

  t.throwInTransfer = false;
  collector.throwIt = true;
  EXPECT_THROW(t.sendRequest({}, collector), vexo::VexoException);
  EXPECT_TRUE(t.getNamesOfValuesBeingSent().empty());
  EXPECT_EQ(t.closed, 1);
}

TEST_F(TransceiverTest, DescriptionUserAgentAndChunkSize) {
  EXPECT_EQ(t.getDescription(), "rec (direct)");
  const vexo::ConnectionDef viaProxy(vexo::ProxyDef(0, "cache", 8080, std::string("u1"),
                                                    std::string("pw")));
  RecordingTransceiver proxied(viaProxy, "http://x/", "");
  EXPECT_EQ(proxied.getDescription(),
            "rec (proxy (proxy host: cache;  port: 8080; user: u1; pswd: ********;))");
  EXPECT_EQ(t.getUserAgentString(), "vexo (2.5.72; 2; rec; transceiver; marktally; macmacho)");
  EXPECT_EQ(proxied.getUserAgentString(), "vexo (2.5.72; 2; rec; transceiver; macmacho)");
  EXPECT_EQ(t.getMaxChunkSize(), 131072);
}

TEST_F(TransceiverTest, FactoryMakesCurlAndRefusesAnythingElse) {
  const std::shared_ptr<Transceiver> curl =
      Transceiver::makeTransceiver(vexo::TransferLib::curl, direct, "http://127.0.0.1:9/", "m");
  ASSERT_TRUE(curl);
  EXPECT_EQ(curl->getName(), "curl");
  EXPECT_EQ(curl->getDescription(), "curl (direct)");
  EXPECT_FALSE(curl->isConnected());
  EXPECT_EQ(curl->getMaxRecommendedPostSize(), 10354688u);
  EXPECT_EQ(curl->getUserAgentString(), "vexo (2.5.72; 2; curl; transceiver; m; macmacho)");
  try {
    Transceiver::makeTransceiver(vexo::TransferLib::wininet, direct, "http://x/", "m");
    FAIL() << "wininet made";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_STREQ(e.what(), "Undefined transfer library");
  }
}

}  // namespace
}  // namespace vexotest
