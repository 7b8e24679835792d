// The uploader: cutting files into chunks, the fields of each chunk request, reading the
// service's answers, one attempt over a live connection, and the in-process completion.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "upload_fixture.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/session/Session.h"
#include "vexolib/upload/Uploader.h"
#include "vexolib/seams/platform_detail.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/seams/transport_detail.h"
#include "vexolib/transport/ResponseBody.h"

namespace vexotest {
namespace {

using vexo::FileInfo;
using vexo::UploadResult;
using vexo::Uploader;
namespace detail = vexo::uploaddetail;

const long MiB = 1048576;

std::string base64(const std::string& in) {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < in.size() ? alphabet[(v >> 6) & 63] : '=';
    out += i + 2 < in.size() ? alphabet[v & 63] : '=';
  }
  return out;
}

// Gives the tests the uploader's own view of where it stands.
class OpenUploader : public Uploader {
 public:
  using Uploader::Uploader;
  void place(int index, const std::string& batch) {
    chunkIndex = index;
    uploadBatchEntid = batch;
  }
};

// ---- Text helpers ----------------------------------------------------------------------------

TEST(UploadAnswerTextTest, MarkedValuesEndAtTheFirstBlankAndNeedOne) {
  struct Row {
    const char* text;
    bool found;
    const char* value;
  } rows[] = {
      {"url:http://h/x?a=1 rest", true, "http://h/x?a=1"},
      {"<!-- url:http://h/x\r\n", true, "http://h/x"},
      {"a\turl:v\tb", true, "v"},
      {"myurl:inside-a-word\n", true, "inside-a-word"},
      {"url: http://h/x\n", true, ""},
      {"url:http://h/x", false, ""},  // runs to the end: absent
      {"URL:http://h/x\n", false, ""},
      {"nothing here\n", false, ""},
      {"url:first\nurl:second\n", true, "first"},
  };
  for (const Row& r : rows) {
    const boost::optional<std::string> v = detail::extractMarkedValue("url", r.text);
    EXPECT_EQ(bool(v), r.found) << r.text;
    if (v) {
      EXPECT_EQ(*v, r.value) << r.text;
    }
  }
}

TEST(UploadAnswerTextTest, TheBatchIsTheFirstRunOfDigitsAfterTheMarker) {
  struct Row {
    const char* text;
    const char* batch;  // nullptr: none
  } rows[] = {
      {"http://h/r?uploadBatchEntid=42&x=1", "42"},
      {"http://h/r?uploadBatchEntid=42", "42"},
      {"uploadBatchEntid=abc ... uploadBatchEntid=12x", "12"},
      {"uploadBatchEntid=", nullptr},
      {"uploadBatchEntid=&uploadBatchEntid=", nullptr},
      {"uploadBatchEntid=042\r\nmore lines\r\nuploadBatchEntid=7", "042"},
      {"line\nuploadBatchEntid=9\nnext", "9"},
      {"uploadbatchentid=5", nullptr},
  };
  for (const Row& r : rows) {
    const boost::optional<std::string> batch = detail::findBatchEntid(r.text);
    EXPECT_EQ(bool(batch), r.batch != nullptr) << r.text;
    if (batch && r.batch) {
      EXPECT_EQ(*batch, r.batch) << r.text;
    }
  }
}

TEST(UploadAnswerTextTest, MarkedBlocksOfTheCompletionPages) {
  const std::string st = base64("continue");
  struct Row {
    std::string page;
    std::map<std::string, std::string> values;
  } rows[] = {
      {"x uplmk[st:" + st + ";nxu:" + base64("http://h/2") + ";] y",
       {{"st", "continue"}, {"nxu", "http://h/2"}}},
      {"uplmk[ st \t: " + st + " ;]", {{"st", "continue"}}},
      {"uplmk[st:" + base64("a") + ";st:" + base64("b") + ";]", {{"st", "b"}}},
      {"uplmk[st:" + st + "]", {}},                          // no closing ";"
      {"uplmk[st:" + st + ";\nnxu:" + base64("u") + ";]", {}},  // line end before "]"
      {"uplmk[st:" + st + ";", {}},                          // no "]"
      {"uplmk[st:" + st + ";nxu:x", {}},
      {"uplmk[a:" + base64("1") + ";b:" + base64("2") + "] later uplmk[st:" + st + ";]",
       {{"a", "1"}}},  // only the first block counts
      {"uplmk[m:;]", {{"m", ""}}},
      {"no block", {}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(detail::getMarkedValues(r.page), r.values) << r.page;
  }
}

TEST(UploadAnswerTextTest, OnlyAbsoluteWebAddressesAreOpenedOrFollowed) {
  for (const char* url : {"http://h/", "https://127.0.0.1:8080/r?a=1&b=2", "HTTP://H/x"}) {
    EXPECT_TRUE(detail::isWebAddress(url)) << url;
  }
  for (const char* url : {"", "http://", "https:///path", "http:/h/", "file:///etc/passwd",
                          "javascript:alert(1)", "/relative", "http://h/a b",
                          "http://h/\r\nx", "http://h/\x7f", "ftp://h/"}) {
    EXPECT_FALSE(detail::isWebAddress(url)) << url;
  }
}

TEST(UploadResultTest, MisuseAndTheAttemptLogTexts) {
  UploadResult null;
  EXPECT_TRUE(null.isNull());
  try {
    null.get();
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Getting value when null/error and returnNullDefault is false.");
  }
  try {
    detail::uploadResultToAttemptLogString(null);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Attempting to getError() when no error");
  }
  EXPECT_EQ(detail::uploadResultToAttemptLogString(UploadResult("u")), ": succeeded");
  const UploadResult error = UploadResult::makeError(vexo::VexoException(125, "boom"));
  EXPECT_THROW(error.get(), std::runtime_error);
  EXPECT_EQ(detail::uploadResultToAttemptLogString(error),
            ": failed(VexoException: status code = 125; what = 'boom')");
}

class LightweightSwitchTest : public FrameworkTest {};

TEST_F(LightweightSwitchTest, ConfigurationFirstThenTheOptionAndTheParameterAfterAnother) {
  const std::string page = "http://h/r?uploadBatchEntid=1&srubs=true";
  struct Row {
    const char* lwupload;  // nullptr: not configured
    const char* option;    // nullptr: no "lightweight" key
    std::string url;
    bool expected;
  } rows[] = {
      {nullptr, nullptr, page, false},
      {nullptr, "true", page, true},
      {nullptr, "1", page, true},
      {nullptr, "no", page, false},
      {"false", "true", page, false},
      {"yes", nullptr, page, true},
      {"true", nullptr, "http://h/r?srubs=true&uploadBatchEntid=1", false},
      {"true", nullptr, "http://h/r?a=1&srubs=TRUE", false},
  };
  for (const Row& r : rows) {
    resetFramework();
    if (r.lwupload) {
      vexo::platform::overrideStringConfigOption("lwupload", r.lwupload);
    }
    std::map<std::string, std::string> options;
    if (r.option) {
      options["lightweight"] = r.option;
    }
    EXPECT_EQ(detail::shouldSimulateBrowser(r.url, options), r.expected)
        << (r.lwupload ? r.lwupload : "-") << " " << (r.option ? r.option : "-") << " " << r.url;
  }
}

// ---- With a connection ------------------------------------------------------------------------

class UploaderTest : public UploadServiceTest {
 protected:
  void SetUp() override {
    UploadServiceTest::SetUp();
    // As the upload command does: no log entries travel with the chunks.
    vexo::platform::disableLogTable();
    session_.reset(new vexo::Session());
    session_->setClientAttribute("client", "marktally");
    session_->connect(uploadUrl());
  }
  void TearDown() override {
    vexo::transport_detail::setStallSeconds(120);
    session_.reset();
    UploadServiceTest::TearDown();
  }

  std::shared_ptr<FileInfo> record(const std::string& name, const std::string& bytes,
                                   const std::string& format = "es_rpt_01") {
    return std::make_shared<FileInfo>(makeFile(name, bytes), format);
  }

  // Answers of the upload page in turn.
  void scriptUpload(const std::vector<std::string>& bodies, int firstStatus = 200) {
    std::vector<ScriptedAnswer> answers;
    for (const std::string& body : bodies) {
      ScriptedAnswer a;
      a.body = body;
      a.status = answers.empty() ? firstStatus : 200;
      answers.push_back(a);
    }
    service().script("/AdminDataUpload.page", answers);
  }

  std::unique_ptr<vexo::Session> session_;
};

TEST_F(UploaderTest, ChunksCarryAtMost8MiBAndCrossFromFileToFile) {
  typedef std::vector<std::pair<long, long>> Chunk;  // (offset, length) per file
  struct Row {
    std::vector<long> sizes;
    std::vector<Chunk> chunks;
  } rows[] = {
      {{}, {Chunk{}}},
      {{0, 0}, {Chunk{{0, 0}, {0, 0}}}},
      {{8 * MiB}, {Chunk{{0, 8 * MiB}}}},
      {{8 * MiB + 1}, {Chunk{{0, 8 * MiB}}, Chunk{{8 * MiB, 1}}}},
      {{5 * MiB, 6 * MiB},
       {Chunk{{0, 5 * MiB}, {0, 3 * MiB}}, Chunk{{5 * MiB, 0}, {3 * MiB, 3 * MiB}}}},
      {{1, 20 * MiB, 0},
       {Chunk{{0, 1}, {0, 8 * MiB - 1}, {0, 0}},
        Chunk{{1, 0}, {8 * MiB - 1, 8 * MiB}, {0, 0}},
        Chunk{{1, 0}, {16 * MiB - 1, 4 * MiB + 1}, {0, 0}}}},
      // Sizes beyond 4 GiB: lengths and offsets are 64-bit.
      {{5L * 1024 * MiB}, std::vector<Chunk>()},
  };
  const std::shared_ptr<FileInfo> base = record("small.txt", "x");
  for (const Row& r : rows) {
    std::vector<std::shared_ptr<FileInfo>> files;
    for (long size : r.sizes) {
      files.push_back(record("f" + std::to_string(files.size()), ""));
      files.back()->compressedSize = static_cast<std::uint64_t>(size);
    }
    Uploader uploader(*session_, files, {});
    uploader.calcChunkAllocations();
    const auto& chunks = uploader.getChunkAllocations();
    if (r.chunks.empty()) {
      ASSERT_EQ(chunks.size(), 640u);
      EXPECT_EQ(chunks.back()->offsets[0], 5L * 1024 * MiB - 8 * MiB);
      EXPECT_EQ(chunks.back()->lengths[0], 8 * MiB);
      continue;
    }
    ASSERT_EQ(chunks.size(), r.chunks.size()) << r.sizes.size();
    EXPECT_EQ(uploader.getChunkCount(), static_cast<int>(r.chunks.size()));
    for (std::size_t k = 0; k < chunks.size(); ++k) {
      Chunk got;
      for (std::size_t j = 0; j < chunks[k]->offsets.size(); ++j) {
        got.emplace_back(chunks[k]->offsets[j], chunks[k]->lengths[j]);
      }
      EXPECT_EQ(got, r.chunks[k]) << "chunk " << k;
    }
  }
}

TEST_F(UploaderTest, AnswersBecomeTheLastResultOrRaiseForTheBatch) {
  enum Kind { value, error, raised };
  struct Row {
    int chunk;
    const char* stored;
    int status;
    std::string body;
    Kind kind;
    int code;
    std::string text;        // the value, or the error's text
    const char* batchAfter;  // the stored batch afterwards
  } rows[] = {
      {0, "", 500, "url:http://h/r?uploadBatchEntid=1 \n", error, 125, "Error HTTP response: 500",
       ""},
      {0, "", 200, "<!-- url:http://h/r?uploadBatchEntid=42&x=1\r\n", value, 0,
       "http://h/r?uploadBatchEntid=42&x=1", "42"},
      {1, "41", 200, "<!-- url:http://h/r?uploadBatchEntid=42&x=1\r\n", raised, 103,
       "Batch changed from 41 to 42", "41"},
      {1, "42", 200, "url:http://h/r?uploadBatchEntid=042 ", raised, 103,
       "Batch changed from 42 to 042", "42"},
      {1, "42", 200, "url:http://h/r?uploadBatchEntid=42 ", value, 0,
       "http://h/r?uploadBatchEntid=42", "42"},
      {0, "", 200, "url:http://h/r", error, 102,
       "Incorrect response received from server.\r\nServer: " + uploadUrl() +
           "\r\nResponse: url:http://h/r\r\n",
       ""},
      {0, "", 200, "url: http://h/r?uploadBatchEntid=7 \n", value, 0, "", "7"},
      {0, "", 200, "url:http://h/r \n", raised, 103, "no batch", ""},
      {0, "", 200, "", error, 102, "'Empty Response'", ""},
      {0, "", 200, "<!--VexoMessage: Class not found -->", error, 119, "' Class not found '", ""},
      {0, "", 200, "VexoMessage: no end", error, 102,
       "Incorrect response received from server.\r\nServer: " + uploadUrl() +
           "\r\nResponse: VexoMessage: no end\r\n",
       ""},
      {0, "", 200, "-->VexoMessage:x", error, 102,
       "Incorrect response received from server.\r\nServer: " + uploadUrl() +
           "\r\nResponse: -->VexoMessage:x\r\n",
       ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.body);
    OpenUploader uploader(*session_, {}, {});
    uploader.place(r.chunk, r.stored);
    const std::vector<unsigned char> body(r.body.begin(), r.body.end());
    if (r.kind == raised) {
      try {
        uploader.processResponseData(r.status, body);
        ADD_FAILURE() << "no exception";
      } catch (const vexo::VexoException& e) {
        EXPECT_EQ(e.statusCode, r.code);
        EXPECT_EQ(std::string(e.what()), r.text);
      }
      EXPECT_TRUE(uploader.getLastResult().isValue()) << "the page is kept all the same";
    } else {
      uploader.processResponseData(r.status, body);
      const UploadResult& result = uploader.getLastResult();
      if (r.kind == value) {
        ASSERT_TRUE(result.isValue());
        EXPECT_EQ(result.value, r.text);
      } else {
        ASSERT_TRUE(result.isError());
        EXPECT_EQ(result.error.statusCode, r.code);
        EXPECT_EQ(std::string(result.error.what()), r.text);
      }
    }
    EXPECT_EQ(uploader.getUploadBatchEntid(), r.batchAfter);
  }
}

TEST_F(UploaderTest, LongAnswersAreCutTo4096CharactersInsideTheMessage) {
  Uploader uploader(*session_, {}, {});
  const std::string page(10000, 'p');
  const UploadResult plain = uploader.processErrorResponse(page);
  EXPECT_EQ(std::string(plain.error.what()),
            "Incorrect response received from server.\r\nServer: " + uploadUrl() +
                "\r\nResponse: " + page.substr(0, 4096) + "\r\n");
  const UploadResult message =
      uploader.processErrorResponse("VexoMessage:" + std::string(5000, 'm') + "-->");
  EXPECT_EQ(message.error.statusCode, 119);
  EXPECT_EQ(std::string(message.error.what()), "'" + std::string(4095, 'm'));
}

TEST_F(UploaderTest, EveryChunkRequestCarriesItsOwnFieldsAndTheServiceAcceptsThem) {
  // 101 files: the last ones are numbered with three digits.
  std::vector<std::shared_ptr<FileInfo>> files;
  files.push_back(record("big.bin", randomBytes(8 * MiB + 100, 7), "fmtA"));
  for (int i = 1; i <= 100; ++i) {
    files.push_back(record("n" + std::to_string(i) + ".txt", std::string(i, 'a'), ""));
  }
  Uploader uploader(*session_, files, {});
  uploader.setSrcCompID("comp");
  uploader.setSrcAppID("marktally");
  uploader.setSrcAppVer("65");
  const UploadResult result = uploader.attempt(session_->getClientAttributes(), "", "", "");
  ASSERT_TRUE(result.isValue()) << result.error.what();
  EXPECT_NE(result.value.find("files=101&verified=101"), std::string::npos) << result.value;
  EXPECT_EQ(uploader.getChunkIndex(), 2);

  const std::vector<RecordedRequest> chunks = uploadRequests();
  ASSERT_EQ(chunks.size(), 2u);
  const std::size_t attributes = session_->getClientAttributes().size();
  for (std::size_t k = 0; k < 2; ++k) {
    std::set<std::string> names;
    for (const auto& f : chunks[k].fields) {
      names.insert(f.first);
    }
    for (const RecordedFile& f : chunks[k].files) {
      names.insert(f.name);
    }
    EXPECT_EQ(names.count("uploadBatchEntid"), k);
    EXPECT_EQ(names.size(), 8 + k + 4 * 101 + attributes)
        << "the upload fields, 4 per file and the client attributes, nothing else";
    EXPECT_EQ(*chunks[k].field("attemptLog"), "");
    EXPECT_EQ(*chunks[k].field("chunkCount"), "2");
    EXPECT_EQ(*chunks[k].field("srcCompID"), "comp");
    EXPECT_EQ(*chunks[k].field("file00length"), std::to_string(8 * MiB + 100));
    EXPECT_EQ(*chunks[k].field("file100length"), "100");
    EXPECT_EQ(*chunks[k].field("file100name"), "n100.txt");
    EXPECT_EQ(*chunks[k].field("file07format"), "");
  }
  EXPECT_EQ(*chunks[1].field("uploadBatchEntid"), uploader.getUploadBatchEntid());
  EXPECT_EQ(chunks[0].file("file00compressed")->data.size(), static_cast<std::size_t>(8 * MiB));
  EXPECT_EQ(chunks[0].file("file01compressed")->data.size(), 0u);
  EXPECT_EQ(session_->getOperationAttemptInfo(), "curl (direct): succeeded");
  EXPECT_FALSE(Uploader::wasLastUploadLightweight());
}

TEST_F(UploaderTest, AFailedChunkEndsTheAttemptWithItsError) {
  const std::vector<std::shared_ptr<FileInfo>> files = {
      record("big.bin", randomBytes(8 * MiB + 100, 3))};
  const std::string page = "url:http://h/r?uploadBatchEntid=42&a=1 \r\n";
  struct Row {
    std::vector<std::string> bodies;
    int firstStatus;
    int code;
    std::string text;
    std::size_t requests;
  } rows[] = {
      {{"whatever"}, 500, 125, "Error HTTP response: 500", 1},
      {{page, ""}, 200, 102, "'Empty Response'", 2},
      {{page, "<!-- VexoMessage:Quota exceeded-->"}, 200, 119, "'Quota exceeded'", 2},
      {{page, "received"}, 200, 102,
       "Incorrect response received from server.\r\nServer: " + uploadUrl() +
           "\r\nResponse: received\r\n",
       2},
      // The answer names the batch, the page does not.
      {{"uploadBatchEntid=42 url:http://h/r \r\n"}, 200, 103, "no batch", 1},
      {{page, "url:http://h/r?uploadBatchEntid=43 \r\n"}, 200, 103,
       "Batch changed from 42 to 43", 2},
      // The page changes its batch while the answer around it keeps the first.
      {{page, "uploadBatchEntid=42 url:http://h/r?uploadBatchEntid=43 \r\n"}, 200, 103,
       "Batch changed from 42 to 43", 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    service().clear();
    scriptUpload(r.bodies, r.firstStatus);
    vexo::Session session;
    session.connect(uploadUrl());
    Uploader uploader(session, files, {{"lightweight", "true"}});
    const UploadResult result = uploader.attempt({}, "tok", "", "");
    ASSERT_TRUE(result.isError());
    EXPECT_EQ(result.error.statusCode, r.code);
    EXPECT_EQ(std::string(result.error.what()), r.text);
    EXPECT_EQ(uploadRequests().size(), r.requests) << "nothing after the failing chunk";
    EXPECT_EQ(uploader.getChunkIndex(), static_cast<int>(r.requests) - 1);
    EXPECT_FALSE(Uploader::wasLastUploadLightweight());
    EXPECT_EQ(session.getOperationAttemptInfo(),
              "curl (direct): failed(" + static_cast<std::string>(result.error) + ")");
  }
}

TEST_F(UploaderTest, TheTokenAliasAndEntidGoOntoThePageToOpen) {
  struct Row {
    const char* page;
    const char* token;
    const char* alias;
    const char* entid;
    const char* expected;
  } rows[] = {
      {"http://h/d;uploadBatchEntid=4", "T", "", "", "http://h/d;uploadBatchEntid=4?atkn=T"},
      {"http://h/d;uploadBatchEntid=4", "T", "al", "en",
       "http://h/d;uploadBatchEntid=4?atkn=T&cga=al&cge=en"},
      {"http://h/r?uploadBatchEntid=4", "T", "", "en",
       "http://h/r?uploadBatchEntid=4&atkn=T&cge=en"},
      {"http://h/r?uploadBatchEntid=4", "", "al", "en", "http://h/r?uploadBatchEntid=4"},
      // A value holding the query's own delimiters must not start a parameter of its own.
      {"http://h/d;uploadBatchEntid=4", "a&cga=x#f", "b c/+", "1=2%?",
       "http://h/d;uploadBatchEntid=4?atkn=a%26cga%3Dx%23f&cga=b%20c%2F%2B&cge=1%3D2%25%3F"},
      {"http://h/d;uploadBatchEntid=4", "\xC3\xA9\t-_.~", "", "",
       "http://h/d;uploadBatchEntid=4?atkn=%C3%A9%09-_.~"},
  };
  const std::vector<std::shared_ptr<FileInfo>> files = {record("a.txt", "abc")};
  for (const Row& r : rows) {
    service().clear();
    scriptUpload({std::string("url:") + r.page + "\n"});
    Uploader uploader(*session_, files, {});
    const UploadResult result = uploader.attempt({}, r.token, r.alias, r.entid);
    ASSERT_TRUE(result.isValue());
    EXPECT_EQ(result.value, r.expected);
  }
}

// ---- The in-process completion ----------------------------------------------------------------

// A 50 MB answer (a hostile or broken upload page) ends the attempt with 103 once it passes
// a page, however it would have read; an answer of a page exactly is still read.
TEST_F(UploaderTest, AnAnswerLongerThanAPageEndsTheAttemptWith103) {
  ScriptedAnswer huge;
  huge.body = "<!-- url:http://h/r?uploadBatchEntid=5 -->";
  huge.fill = "<p>filler</p>";
  huge.huge = 50000000;
  ScriptedAnswer exact = huge;
  exact.huge = static_cast<long long>(vexo::ResponseBody::pageLimit);
  service().script("/AdminDataUpload.page", {huge, exact});
  Uploader first(*session_, {record("a.txt", "abc")}, {});
  const UploadResult result = first.attempt({}, "", "", "");
  ASSERT_TRUE(result.isError());
  EXPECT_EQ(result.error.statusCode, 103);
  EXPECT_EQ(std::string(result.error.what()), "Answer longer than 16 MiB");
  Uploader second(*session_, {record("a.txt", "abc")}, {});
  const UploadResult read = second.attempt({}, "", "", "");
  ASSERT_TRUE(read.isValue()) << read.error.what();
  EXPECT_EQ(read.value, "http://h/r?uploadBatchEntid=5");
}

class CompletionTest : public UploaderTest {
 protected:
  std::string page(const std::string& path) { return service().url(path); }

  static std::string block(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string text = "<html>uplmk[";
    for (const auto& v : values) {
      text += v.first + ":" + base64(v.second) + ";";
    }
    return text + "]</html>";
  }

  void scriptPage(const std::string& path, const std::string& body, int status = 200,
                  bool repeat = false) {
    ScriptedAnswer a;
    a.status = status;
    a.body = body;
    a.repeat = repeat;
    service().script(path, {a});
  }

  std::size_t pageReads() {
    std::size_t n = 0;
    for (const RecordedRequest& r : service().requests()) {
      n += r.method == "GET";
    }
    return n;
  }
};

TEST_F(CompletionTest, AnUploadThatAsksForItIsCompletedPageByPage) {
  scriptUpload({"url:" + page("/lw/1?uploadBatchEntid=9&srubs=true") + " \n"});
  scriptPage("/lw/1", block({{"st", "continue"}, {"sm", "S1"}, {"nxu", page("/lw/2")}}));
  scriptPage("/lw/2", block({{"st", "done"}}));
  Uploader uploader(*session_, {record("a.txt", "abc")}, {{"lightweight", "true"}});
  uploader.setSrcAppID("marktally");
  uploader.setSrcAppVer("65");
  const UploadResult result = uploader.attempt({}, "", "", "");
  ASSERT_TRUE(result.isValue()) << result.error.what();
  EXPECT_EQ(result.value, "*");
  EXPECT_TRUE(Uploader::wasLastUploadLightweight());
  EXPECT_EQ(pageReads(), 2u);
  EXPECT_EQ(session_->getOperationAttemptInfo(), "curl (direct): succeeded");
}

TEST_F(CompletionTest, PagesThatDoNotLeadToDoneGiveTheirErrors) {
  struct Row {
    std::string body;
    int status;
    int code;
    std::string tail;  // the text after "readUrl(<page>)"
  } rows[] = {
      {block({{"st", "Continue"}}), 200, 103, " invalid status string: Continue"},
      {block({{"st", "error"}}), 200, 316, " error status. message: "},
      {block({{"st", "error"}, {"m", "Gradebook locked"}}), 200, 316,
       " error status. message: Gradebook locked"},
      {"uplmk[st:" + base64("done") + ";\n]", 200, 102, " missing status string."},
      {"uplmk[st:" + base64("done") + "]", 200, 102, " missing status string."},
      {block({{"st", "continue"}}), 200, 103, " missing next value."},
      {block({{"st", "done"}}), 500, 103, " failed with error: "},
      {"", 200, 103, ": empty response."},
      {block({{"st", "continue"}, {"nxu", "file:///etc/passwd"}}), 200, 103,
       "<next>"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.body);
    service().clear();
    scriptPage("/lw/p", r.body, r.status);
    Uploader uploader(*session_, {}, {});
    const UploadResult result = uploader.postprocessUploadAsBrowser(page("/lw/p"));
    ASSERT_TRUE(result.isError());
    EXPECT_EQ(result.error.statusCode, r.code);
    if (r.tail == "<next>") {
      EXPECT_EQ(std::string(result.error.what()),
                "readUrl(file:///etc/passwd) refused: not a web address.");
      EXPECT_EQ(pageReads(), 1u);
    } else {
      EXPECT_EQ(std::string(result.error.what()), "readUrl(" + page("/lw/p") + ")" + r.tail);
    }
  }
  // Every way out stopped the page reader.
  EXPECT_TRUE(vexo::platform::startUrlReader());
  vexo::platform::stopUrlReader();
}

// A page of the chain that is silent, stops after 3 bytes or trickles, and one that never
// ends: each ends the completion with 103 (the stall period shortened).
TEST_F(CompletionTest, AStalledOrEndlessPageEndsTheCompletion) {
  vexo::transport_detail::setStallSeconds(2);
  const std::string next = block({{"st", "done"}});
  ScriptedAnswer silent;
  silent.hang = true;
  ScriptedAnswer threeBytes;
  threeBytes.body = next;
  threeBytes.stallAfter = 3;
  ScriptedAnswer trickle;
  trickle.body = next;
  trickle.drip = 2;
  ScriptedAnswer endless;
  endless.body = "<html>";
  endless.endless = true;
  const std::pair<ScriptedAnswer, std::string> rows[] = {
      {silent, "Operation too slow"},
      {threeBytes, "Operation too slow"},
      {trickle, "Operation too slow"},
      {endless, "Answer longer than 16 MiB"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.second + " " + row.first.body);
    service().clear();
    scriptPage("/lw/1", block({{"st", "continue"}, {"nxu", page("/lw/2")}}));
    service().script("/lw/2", {row.first});
    Uploader uploader(*session_, {}, {});
    const UploadResult result = uploader.postprocessUploadAsBrowser(page("/lw/1"));
    ASSERT_TRUE(result.isError());
    EXPECT_EQ(result.error.statusCode, 103);
    const std::string text = result.error.what();
    EXPECT_EQ(text.rfind("readUrl(" + page("/lw/2") + ") failed with error: ", 0), 0u) << text;
    EXPECT_NE(text.find(row.second), std::string::npos) << text;
  }
}

TEST_F(CompletionTest, TheTokenOnThePagesStaysOutOfTracesAndMessages) {
  vexo::platform::enableLogTable();
  scriptUpload({"url:" + page("/lw/t?uploadBatchEntid=3&srubs=true") + " \n"});
  scriptPage("/lw/t", block({{"st", "error"}, {"m", "locked"}}));
  Uploader uploader(*session_, {record("a.txt", "a")}, {{"lightweight", "true"}});
  const UploadResult result = uploader.attempt({}, "SeCrEtToKeN42", "", "");
  ASSERT_TRUE(result.isError());
  EXPECT_EQ(result.error.statusCode, 316);
  std::string log;
  for (const vexo::platform::LogEntry& entry : vexo::platform::accessLogTable()) {
    log += entry.text + "\n";
  }
  EXPECT_NE(log.find("atkn=********"), std::string::npos) << log;
  EXPECT_EQ(log.find("SeCrEtToKeN42"), std::string::npos) << log;
  EXPECT_EQ(std::string(result.error.what()).find("SeCrEtToKeN42"), std::string::npos)
      << result.error.what();
}

TEST_F(CompletionTest, AChainWithoutEndStopsAfter100Pages) {
  scriptPage("/lw/loop", block({{"st", "continue"}, {"nxu", page("/lw/loop")}}), 200, true);
  Uploader uploader(*session_, {}, {});
  const UploadResult result = uploader.postprocessUploadAsBrowser(page("/lw/loop"));
  ASSERT_TRUE(result.isError());
  EXPECT_EQ(result.error.statusCode, 103);
  EXPECT_EQ(std::string(result.error.what()),
            "postprocessing " + page("/lw/loop") + ": no end after 100 pages");
  EXPECT_EQ(pageReads(), 100u);
}

TEST_F(CompletionTest, AReaderInUseRefusesAndAFailedCompletionStillCountsAsLightweight) {
  ASSERT_TRUE(vexo::platform::startUrlReader());
  Uploader first(*session_, {}, {});
  const UploadResult refused = first.postprocessUploadAsBrowser(page("/lw/x"));
  vexo::platform::stopUrlReader();
  EXPECT_EQ(refused.error.statusCode, 103);
  EXPECT_EQ(std::string(refused.error.what()),
            "postprocessing " + page("/lw/x") + ": unable to start URL reader");

  scriptUpload({"url:" + page("/lw/e?uploadBatchEntid=1&srubs=true") + " \n"});
  scriptPage("/lw/e", block({{"st", "error"}, {"m", "no"}}));
  Uploader second(*session_, {record("a.txt", "a")}, {{"lightweight", "yes"}});
  EXPECT_EQ(second.attempt({}, "", "", "").error.statusCode, 316);
  EXPECT_TRUE(Uploader::wasLastUploadLightweight());

  scriptUpload({"", ""});
  Uploader third(*session_, {record("b.txt", "b")}, {{"lightweight", "yes"}});
  EXPECT_EQ(third.attempt({}, "", "", "").error.statusCode, 102);
  EXPECT_FALSE(Uploader::wasLastUploadLightweight());
}

}  // namespace
}  // namespace vexotest
