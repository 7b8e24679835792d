// Requests in passes over real HTTP: a request too large for one POST is sent as several to
// the same server session (its cookie), and the answers come back merged, binary values
// included.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "session_service_test.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace vexotest {
namespace {

using vexo::NVPSet;
using vexo::Session;

std::string crcText(const std::string& bytes) {
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()),
                          static_cast<uInt>(bytes.size()));
  char text[16];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(crc));
  return text;
}

std::string chunkBytes(int k) {
  std::string bytes(131072, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(k) * 7) >> 3);
  }
  return bytes;
}

class SessionTransferTest : public SessionServiceTest {
 protected:
  // The describing operation with `chunks` full-size chunks and a binary answer of
  // answerBytes bytes.
  static NVPSet describeRequest(int chunks, int answerBytes) {
    NVPSet request;
    request.setInteger("req.count", 1);
    request.setString("req.0.type", "describeValues");
    request.setInteger("req.0.answerBytes", answerBytes);
    for (int k = 0; k < chunks; ++k) {
      const std::string bytes = chunkBytes(k);
      request.setChunk("req.0.chunk." + std::to_string(k),
                       reinterpret_cast<const unsigned char*>(bytes.data()), 0, bytes.size());
    }
    return request;
  }
};

TEST_F(SessionTransferTest, ALargeRequestGoesInThreePassesAndItsAnswerComesBackWhole) {
  service().keepBodies(false);
  std::unique_ptr<Session> session = connected();
  // 78 full chunks fill a pass of the curl transport; 200 need three.
  const NVPSet request = describeRequest(200, 100000);
  NVPSet response;
  ASSERT_EQ(session->transferNVPs(session->accessTransceiver(), session->getClientAttributes(),
                                  request, response),
            200);
  const std::vector<RecordedRequest> posts = service().requests();
  ASSERT_EQ(posts.size(), 3u);
  std::size_t files = 0;
  for (std::size_t i = 0; i < posts.size(); ++i) {
    const std::string* more = posts[i].field("req.hasMoreData");
    EXPECT_EQ(more ? *more : "(none)", i < 2 ? "true" : "(none)") << i;
    EXPECT_NE(posts[i].field("req.clientAttribute.vexoVersion"), nullptr) << i;
    files += posts[i].files.size();
  }
  EXPECT_EQ(posts[0].files.size(), 78u);
  EXPECT_EQ(files, 200u);
  EXPECT_EQ(posts[2].header("Cookie"), posts[1].header("Cookie"));
  EXPECT_NE(posts[1].header("Cookie"), "");

  EXPECT_EQ(response.getString("resp.0.retcode"), "ok");
  EXPECT_EQ(response.getString("resp.0.count"), "202");  // type, answerBytes and the chunks
  for (const int k : {0, 77, 78, 155, 156, 199}) {
    const std::string name = "chunk." + std::to_string(k);
    EXPECT_EQ(response.getString("resp.0.size." + name), "131072") << k;
    EXPECT_EQ(response.getString("resp.0.crc." + name), crcText(chunkBytes(k))) << k;
  }
  const std::string blob = readFile(response.getChunkFileTempPath("resp.0.blob"));
  ASSERT_EQ(blob.size(), 100000u);
  for (std::size_t i = 0; i < blob.size(); i += 997) {
    EXPECT_EQ(static_cast<unsigned char>(blob[i]), (i * 7 + 3) & 0xFF) << i;
  }
}

TEST_F(SessionTransferTest, AnEmptyBinaryAnswerIsAnEmptyValue) {
  std::unique_ptr<Session> session = connected();
  NVPSet response;
  ASSERT_EQ(session->transferNVPs(session->accessTransceiver(), session->getClientAttributes(),
                                  describeRequest(0, 0), response),
            200);
  EXPECT_EQ(response.getChunkSize("resp.0.blob"), 0u);
  EXPECT_NE(response.getString("sessionMarker"), "");
}

TEST_F(SessionTransferTest, AFailedSecondPassSendsNoThird) {
  service().keepBodies(false);
  ScriptedAnswer first;
  first.body = "first=1\r\n";
  ScriptedAnswer second;
  second.status = 500;
  second.body = "second=2\r\n";
  service().script("/DesktopSession.page", {first, second});
  std::unique_ptr<Session> session = connected();
  NVPSet response;
  EXPECT_EQ(session->transferNVPs(session->accessTransceiver(), session->getClientAttributes(),
                                  describeRequest(200, 0), response),
            500);
  EXPECT_EQ(service().requests().size(), 2u);
  EXPECT_EQ(response.getNVPNames(), (std::vector<std::string>{"first"}));
}

// A directory load answers with every chunk in one body: far over a page, and kept only on
// disk. The answer file has no name, so nothing of it is left in the temporary folder.
// A hostile login answer: millions of short lines of new names. Its text is refused past the
// cap with 103, and nothing of it is applied: the session stays logged out and keeps no
// answer file.
TEST_F(SessionTransferTest, ALoginAnswerPastTheTextCapIsRefusedAndNothingOfItApplied) {
  ScriptedAnswer lines;
  lines.body = "resp.0.retcode=ok\r\nresp.0.screenName=intruder\r\n";
  lines.fill = "r{n}=x\r\n";
  lines.huge = 30000000;
  service().script("/DesktopSession.page", {lines});
  const std::string folder = vexo::platform::getTemporaryDirectory();
  const std::vector<std::string> before = listFolder(folder);
  std::unique_ptr<Session> session = connected();
  try {
    session->loginUsingPassword("teacher1", "apple-pie");
    ADD_FAILURE() << "no exception";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_EQ(std::string(e.what()), "Answer holds more than 17 MiB of text");
  }
  EXPECT_FALSE(session->isLoggedIn());
  EXPECT_EQ(session->getScreenName(), "");
  EXPECT_EQ(listFolder(folder), before);
}

// The trace lists what an answer brought, but a trace line is built whole in memory: past
// 64 KiB the list says how many values it left out.
TEST_F(SessionTransferTest, TheTraceOfALargeAnswerListsItsStartAndCountsTheRest) {
  const std::string traces = makeFolder("traces");
  vexo::platform::setTraceLogDirectory(traces);
  ScriptedAnswer many;
  many.body = "resp.0.retcode=ok\r\n";
  many.fill = "v{n}=value\r\n";
  many.huge = 2000000;
  service().script("/DesktopSession.page", {many});
  std::unique_ptr<Session> session = connected();
  NVPSet request;
  request.setInteger("req.count", 1);
  NVPSet response;
  ASSERT_EQ(session->transferNVPs(session->accessTransceiver(), session->getClientAttributes(),
                                  request, response),
            200);
  const std::vector<std::string> files = listFolder(traces);
  ASSERT_EQ(files.size(), 1u);
  const std::string text = readFile(traces + "/" + files[0]);
  const std::size_t list = text.find("NVPs received in pass 1:\n");
  ASSERT_NE(list, std::string::npos);
  const std::size_t more = text.find(" more\n", list);
  ASSERT_NE(more, std::string::npos) << "the list ends by counting what it left out";
  const std::size_t count = text.rfind("... and ", more);
  ASSERT_NE(count, std::string::npos);
  const std::size_t left = std::stoul(text.substr(count + 8, more - count - 8));
  const std::size_t shown = static_cast<std::size_t>(
      std::count(text.begin() + static_cast<std::ptrdiff_t>(list),
                 text.begin() + static_cast<std::ptrdiff_t>(count), '\n')) - 1;
  EXPECT_EQ(shown + left, response.size());
  EXPECT_LT(count - list, std::size_t(70000));
  EXPECT_GT(left, std::size_t(100000));
}

TEST_F(SessionTransferTest, AnAnswerOfAnySizeIsReadFromAFileAndOnlyAFailedWriteEndsIt) {
  const std::string head = "resp.0.retcode=ok\r\nresp.0.blob!20000000\r\n";
  const std::string fill = "0123456789abcdef";
  const std::string tail = "\r\nresp.0.after=1\r\n";
  ScriptedAnswer big;
  big.body = head;
  big.fill = fill;
  big.tail = tail;
  big.huge = static_cast<long long>(head.size() + 20000000 + tail.size());
  big.repeat = true;
  service().script("/DesktopSession.page", {big});
  const std::string folder = vexo::platform::getTemporaryDirectory();
  const std::vector<std::string> before = listFolder(folder);
  std::unique_ptr<Session> session = connected();
  {
    NVPSet request;
    request.setInteger("req.count", 1);
    NVPSet response;
    ASSERT_EQ(session->transferNVPs(session->accessTransceiver(),
                                    session->getClientAttributes(), request, response),
              200);
    EXPECT_EQ(response.getString("resp.0.after"), "1");
    ASSERT_EQ(response.getChunkSize("resp.0.blob"), 20000000u);
    const std::string blob = readFile(response.getChunkFileTempPath("resp.0.blob"));
    std::string expected;
    while (expected.size() < blob.size()) {
      expected += fill;
    }
    expected.resize(blob.size());
    EXPECT_TRUE(blob == expected) << "the chunk is the answer's bytes";
    EXPECT_EQ(listFolder(folder).size(), before.size() + 1) << "the chunk's file alone";
  }
  EXPECT_EQ(listFolder(folder), before);

  // The disk fills while the answer arrives.
  vexo::platform::detail::failWritesAfter(1 << 20);
  NVPSet request;
  request.setInteger("req.count", 1);
  NVPSet response;
  try {
    session->transferNVPs(session->accessTransceiver(), session->getClientAttributes(),
                          request, response);
    ADD_FAILURE() << "no exception";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_EQ(std::string(e.what()),
              "Error writing the answer to a temporary file (No space left on device)");
  }
  vexo::platform::detail::failWritesAfter(-1);
  EXPECT_EQ(response.size(), 0u);
  EXPECT_EQ(listFolder(folder), before);
}

}  // namespace
}  // namespace vexotest
