// The exported interface in-process: the queue of files, sending with its failures and the
// message buffer, the ring of returned texts, and the frame of status-returning operations.
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "upload_fixture.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/api/api25.h"
#include <vexokit/vexokit.h>

namespace vexotest {
namespace {

namespace api = vexo::api25;
const std::size_t MiB = 1048576;

class SendFilesTest : public UploadServiceTest {
 protected:
  void SetUp() override {
    UploadServiceTest::SetUp();
    vexo25_resetFiles();
  }

  static ScriptedAnswer answer(const std::string& body, int status = 200) {
    ScriptedAnswer a;
    a.body = body;
    a.status = status;
    return a;
  }

  // The queued files sent with the program's identity; the message lands in message_.
  int send(const char* options = nullptr, const char* token = nullptr) {
    std::memset(message_, 'x', sizeof message_);
    return vexo25_sendFilesWithOptions(options, "marktally", "marktally", "65", token, 1,
                                       message_, 1024);
  }

  char message_[1024];
};

TEST_F(SendFilesTest, FileSpecificationsBecomeAbsolutePathsOrStatus123) {
  const std::string file = makeFile("spec.txt", "s");
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(files_.c_str()), 0);
  const VexoFileSpec relative = {"spec.txt"};
  EXPECT_EQ(vexo25_addFile("es_rpt_01", &relative), 0);
  ASSERT_EQ(::chdir(cwd), 0);
  const VexoFileSpec absolute = {file.c_str()};
  EXPECT_EQ(vexo21_addFile(nullptr, &absolute), 0);
  // A path of 1024 bytes or more does not convert, even for a file that exists.
  std::string deep = files_;
  while (deep.size() < 1030) {
    deep += "/" + std::string(100, 'd');
    ::mkdir(deep.c_str(), 0700);
  }
  const std::string deepFile = deep + "/f";
  writeFile(deepFile, "f");
  const std::string missing = files_ + "/missing.txt";
  const VexoFileSpec refused[] = {{missing.c_str()}, {nullptr}, {""}, {deepFile.c_str()}};
  for (const VexoFileSpec& spec : refused) {
    EXPECT_EQ(vexo25_addFile("es_rpt_01", &spec), 123);
  }
  EXPECT_EQ(vexo25_addFile("es_rpt_01", nullptr), 123);
  EXPECT_EQ(vexo25_addFileUsingPath("es_rpt_01", nullptr), 123);
  EXPECT_EQ(vexo25_addFileUsingPath("fmt", "as/given"), 0);
  EXPECT_EQ(api::getQueuedFiles(),
            (api::FormatsAndFiles{{"es_rpt_01", file}, {"", file}, {"fmt", "as/given"}}));
  EXPECT_EQ(vexo21_resetFiles(), 0);
  EXPECT_TRUE(api::getQueuedFiles().empty());
}

TEST_F(SendFilesTest, ALinkIsQueuedAsTheLinkAndAFifoOrDeviceIsRefused) {
  const std::string target = makeFile("target.txt", "t");
  const std::string link = files_ + "/link.txt";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  const std::string fifo = files_ + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const VexoFileSpec linkSpec = {link.c_str()};
  EXPECT_EQ(vexo25_addFile("es_rpt_01", &linkSpec), 0);
  EXPECT_EQ(api::getQueuedFiles(), (api::FormatsAndFiles{{"es_rpt_01", link}}))
      << "the link's name goes on the wire and only the link is ever deleted";
  for (const char* refused : {fifo.c_str(), "/dev/zero", "/dev/null"}) {
    SCOPED_TRACE(refused);
    const VexoFileSpec spec = {refused};
    EXPECT_EQ(vexo25_addFile("es_rpt_01", &spec), 123);
  }
  EXPECT_EQ(api::getQueuedFiles().size(), 1u);
  EXPECT_EQ(vexo25_resetFiles(), 0);
}

TEST_F(SendFilesTest, ASuccessfulSendDeletesTheInputsAndOpensThePage) {
  const std::string a = makeFile("a.txt", "first file");
  const std::string b = makeFile("b.txt", "");
  EXPECT_EQ(vexo25_addFileUsingPath("es_rpt_01", a.c_str()), 0);
  EXPECT_EQ(vexo25_addFileUsingPath("es_rpt_01", b.c_str()), 0);
  EXPECT_EQ(vexo25_addFileUsingPath("es_rpt_01", a.c_str()), 0);  // twice: sent twice
  EXPECT_EQ(send(nullptr, "tok"), 0);
  EXPECT_EQ(std::string(message_, sizeof message_), std::string(sizeof message_, '\0'));
  EXPECT_STREQ(vexo25_getErrorMessage(), "");
  EXPECT_FALSE(exists(a));
  EXPECT_FALSE(exists(b));
  EXPECT_TRUE(api::getQueuedFiles().empty());
  ASSERT_EQ(openedPages().size(), 1u);
  EXPECT_NE(openedPages()[0].find("&files=3&verified=3&atkn=tok"), std::string::npos);
  EXPECT_EQ(vexo25_lastSendFilesWasLightweight(), 0);
  EXPECT_TRUE(temporaryFiles().empty());

  // The legacy send carries no token; null texts leave the fields empty.
  const std::string c = makeFile("c.txt", "c");
  vexo25_addFileUsingPath("es_rpt_01", c.c_str());
  EXPECT_EQ(vexo21_sendFiles(nullptr, nullptr, nullptr, 0, message_, 1024), 0);
  EXPECT_TRUE(exists(c)) << "not asked to delete";
  ASSERT_EQ(openedPages().size(), 2u);
  EXPECT_EQ(openedPages()[1].find("atkn"), std::string::npos);
  const RecordedRequest last = uploadRequests().back();
  EXPECT_EQ(*last.field("srcAppID"), "");
  EXPECT_EQ(*last.field("req.clientAttribute.client"), "");
}

TEST_F(SendFilesTest, EachInjectedFailureGivesItsStatusStopsAndKeepsTheInputs) {
  const std::string big = makeFile("big.bin", randomBytes(9 * MiB, 5));
  const std::string small = makeFile("small.txt", "small");
  const std::string ok = "<!-- url:" + service().url("/r?uploadBatchEntid=42") + " -->";
  const std::string okLight =
      "<!-- url:" + service().url("/lw?uploadBatchEntid=42&srubs=true") + " -->";
  struct Row {
    std::vector<ScriptedAnswer> answers;
    const char* options;
    int status;
    std::string message;
    std::size_t requests;
  } rows[] = {
      {{answer("", 500)}, nullptr, 125, "Error HTTP response: 500", 1},
      {{answer(ok), answer("down", 503)}, nullptr, 125, "Error HTTP response: 503", 2},
      {{answer(ok), answer("")}, nullptr, 102, "'Empty Response'", 2},
      {{answer(ok), answer("<!-- VexoMessage:Not allowed-->")}, nullptr, 119, "'Not allowed'",
       2},
      {{answer(ok), answer("<!-- VexoMessage:Bad atkn=tk-secret-7 -->")}, nullptr, 119,
       "'Bad atkn=******** '", 2},
      {{answer("thanks")}, nullptr, 102,
       "Incorrect response received from server.\r\nServer: " + uploadUrl() +
           "\r\nResponse: thanks\r\n",
       1},
      {{answer("url:" + service().url("/r?x=1") + " ")}, nullptr, 103, "no batch", 1},
      {{answer(ok), answer("url:" + service().url("/r?uploadBatchEntid=43") + " ")}, nullptr,
       103, "Batch changed from 42 to 43", 2},
      {{answer(ok), answer(okLight)}, "lightweight=true", 316,
       "readUrl(" + service().url("/lw?uploadBatchEntid=42&srubs=true") +
           ") error status. message: Locked",
       2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    service().clear();
    service().script("/AdminDataUpload.page", r.answers);
    service().script("/lw", {answer("uplmk[st:ZXJyb3I=;m:TG9ja2Vk;]")});
    vexo25_addFileUsingPath("es_rpt_01", big.c_str());
    vexo25_addFileUsingPath("es_rpt_01", small.c_str());
    EXPECT_EQ(send(r.options), r.status);
    EXPECT_EQ(std::string(message_), r.message);
    EXPECT_EQ(std::string(vexo25_getErrorMessage()), r.message);
    EXPECT_EQ(uploadRequests().size(), r.requests) << "no request after the failing chunk";
    EXPECT_TRUE(exists(big) && exists(small));
    EXPECT_TRUE(api::getQueuedFiles().empty()) << "the queue is emptied whatever happens";
    EXPECT_TRUE(openedPages().empty());
  }
  EXPECT_EQ(vexo25_lastSendFilesWasLightweight(), 1) << "the last send went through it";
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(SendFilesTest, ASendWithNothingQueuedIs103AndSendsNothing) {
  EXPECT_EQ(send(), 103);
  EXPECT_STREQ(message_, "No files were specified.");
  EXPECT_TRUE(uploadRequests().empty());
  EXPECT_TRUE(openedPages().empty());
}

TEST_F(SendFilesTest, OtherFailuresAre103WithTheirTextAndTheInterfaceSessionStays) {
  api::adoptSession(std::unique_ptr<vexo::Session>(new vexo::Session()));
  vexo::Session* session = api::accessSession();
  const std::string missing = files_ + "/missing.txt";
  vexo25_addFileUsingPath("es_rpt_01", missing.c_str());
  EXPECT_EQ(send(), 103);
  EXPECT_EQ(std::string(message_).rfind("fileSize: file '" + missing + "' not found", 0), 0u)
      << message_;
  EXPECT_TRUE(uploadRequests().empty());
  EXPECT_EQ(api::accessSession(), session) << "a send has a session of its own";
  api::adoptSession(nullptr);
}

TEST_F(SendFilesTest, TheOptionsTextAsksForTheCompletion) {
  const std::string done = "uplmk[st:ZG9uZQ==;]";  // "done"
  struct Row {
    const char* options;
    int lightweight;
  } rows[] = {
      {"lightweight=1;no equals sign", 1},
      {"other=x;lightweight=true", 1},
      {" lightweight=1", 0},
      {"lightweight=0", 0},
      {nullptr, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.options ? r.options : "(null)");
    service().clear();
    service().script("/AdminDataUpload.page",
                     {answer("url:" + service().url("/lw?uploadBatchEntid=1&srubs=true") + " ")});
    service().script("/lw", {answer(done)});
    const std::size_t pagesBefore = openedPages().size();
    vexo25_addFileUsingPath("es_rpt_01", makeFile("l.txt", "l").c_str());
    EXPECT_EQ(send(r.options), 0);
    EXPECT_EQ(vexo25_lastSendFilesWasLightweight(), r.lightweight);
    EXPECT_EQ(openedPages().size(), pagesBefore + (r.lightweight ? 0 : 1));
  }
}

TEST_F(SendFilesTest, TheMessageAlwaysEndsInsideTheBuffer) {
  const std::string file = makeFile("m.txt", "m");
  for (int size : {1, 2, 1023, 1024}) {
    for (int length = size - 2; length <= size + 1; ++length) {
      if (length < 2 && length != 0) {
        continue;  // the service's messages come quoted: two bytes at least
      }
      SCOPED_TRACE(std::to_string(size) + " " + std::to_string(length));
      service().clear();
      std::string expected;
      if (length > 0) {
        expected = "'" + std::string(static_cast<std::size_t>(length - 2), 'm') + "'";
        service().script("/AdminDataUpload.page",
                         {answer("VexoMessage:" + expected.substr(1, expected.size() - 2) +
                                 "-->")});
      }
      vexo25_addFileUsingPath("es_rpt_01", file.c_str());
      std::vector<char> buffer(static_cast<std::size_t>(size) + 8, 'x');
      const int status =
          vexo25_sendFiles("c", "a", "v", nullptr, 0, buffer.data(), size);
      EXPECT_EQ(status, length > 0 ? 119 : 0);
      const std::size_t copied = std::min(expected.size(), static_cast<std::size_t>(size) - 1);
      EXPECT_EQ(std::string(buffer.data(), copied), expected.substr(0, copied));
      EXPECT_EQ(std::string(buffer.data() + copied, static_cast<std::size_t>(size) - copied),
                std::string(static_cast<std::size_t>(size) - copied, '\0'));
      EXPECT_EQ(std::string(buffer.data() + size, 8), std::string(8, 'x')) << "past the end";
      EXPECT_EQ(std::string(vexo25_getErrorMessage()), expected) << "the message stays whole";
    }
  }
  for (int size : {0, -1}) {
    service().script("/AdminDataUpload.page", {answer("VexoMessage:refused-->")});
    vexo25_addFileUsingPath("es_rpt_01", file.c_str());
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(vexo25_sendFiles("c", "a", "v", nullptr, 0, buffer, size), 119);
    EXPECT_EQ(std::string(buffer, 4), "xxxx");
  }
  service().script("/AdminDataUpload.page", {answer("VexoMessage:refused-->")});
  vexo25_addFileUsingPath("es_rpt_01", file.c_str());
  EXPECT_EQ(vexo25_sendFiles("c", "a", "v", nullptr, 0, nullptr, 1024), 119);
}

// ---- State and the frame -------------------------------------------------------------------

class InterfaceStateTest : public FrameworkTest {
 protected:
  void TearDown() override {
    api::adoptSession(nullptr);
    FrameworkTest::TearDown();
  }
};

TEST_F(InterfaceStateTest, TheRingKeepsTheLast32Texts) {
  std::vector<const char*> texts;
  for (int i = 0; i < 40; ++i) {
    texts.push_back(api::bufferString("text " + std::to_string(i) + std::string(1, '\0') + "x"));
  }
  for (int i = 8; i < 40; ++i) {
    EXPECT_EQ(std::string(texts[static_cast<std::size_t>(i)]), "text " + std::to_string(i));
  }
  vexo25_resetFiles();  // status 0, empty message
  const char* a = vexo25_getErrorMessage();
  const char* b = vexo25_getErrorMessage();
  EXPECT_NE(a, b) << "a fresh copy at every call";
  EXPECT_STREQ(a, "");
}

TEST_F(InterfaceStateTest, TheFrameTurnsEveryOutcomeIntoStatusAndMessage) {
  using Need = api::SessionNeed;
  struct Row {
    Need need;
    std::function<int()> work;
    int status;
    const char* message;
    bool ran;
  };
  bool ran = false;
  const Row rows[] = {
      {Need::none, [&] { ran = true; return 0; }, 0, "", true},
      {Need::none, [&] { ran = true; return 304; }, 304, "", true},
      {Need::connection, [&] { ran = true; return 0; }, 103, "Not connected.", false},
      {Need::data, [&] { ran = true; return 0; }, 203, "not connected", false},
      {Need::none, [&]() -> int { ran = true; throw vexo::VexoException(205, "dup"); }, 205,
       "dup", true},
      {Need::none, [&]() -> int { ran = true; throw std::logic_error("'x' not found"); }, 103,
       "'x' not found", true},
      {Need::none, [&]() -> int { ran = true; throw 7; }, 103, "internal error", true},
  };
  for (const Row& r : rows) {
    ran = false;
    EXPECT_EQ(api::runOperation("op", r.need, false, r.work), r.status);
    EXPECT_EQ(api::getStatusCode(), r.status);
    EXPECT_STREQ(vexo25_getErrorMessage(), r.message);
    EXPECT_EQ(ran, r.ran);
  }
}

TEST_F(InterfaceStateTest, ASessionOperationThatFailsEndsTheSession) {
  api::adoptSession(std::unique_ptr<vexo::Session>(new vexo::Session()));
  EXPECT_EQ(api::runOperation("touch", api::SessionNeed::connection, true, [] { return 0; }), 0);
  EXPECT_NE(api::accessSession(), nullptr);
  api::runOperation("query", api::SessionNeed::data, false,
                    []() -> int { throw std::runtime_error("kept"); });
  EXPECT_NE(api::accessSession(), nullptr) << "only session operations end it";
  api::runOperation("login", api::SessionNeed::connection, true,
                    []() -> int { throw vexo::VexoException(125, "HTTP result code: 500"); });
  EXPECT_EQ(api::accessSession(), nullptr);
  EXPECT_EQ(api::runOperation("login", api::SessionNeed::connection, true, [] { return 0; }),
            103);
}

}  // namespace
}  // namespace vexotest
