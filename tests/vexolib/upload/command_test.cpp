// The command objects: their argument language and configuration, the file records with
// their compressed copies, the preparation steps, and the upload command run against the
// fake service.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "upload_fixture.h"
#include "vexolib/session/ClientCommand.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/FileSendingCommand.h"
#include "vexolib/upload/FileUploadCommand.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/util.h"

namespace vexotest {
namespace {

using vexo::Command;
using vexo::FileUploadCommand;
using Args = std::vector<std::string>;

// A client command that takes no files, so that unknown arguments stay unused.
class PlainCommand : public vexo::ClientCommand {
 public:
  static std::shared_ptr<PlainCommand> make() {
    std::shared_ptr<PlainCommand> c(new PlainCommand());
    c->finishConstruction();
    return c;
  }
  void execute() override {}
  void postProcessArgs(const Args& args) override {
    ++postProcessed;
    vexo::ClientCommand::postProcessArgs(args);
  }
  int postProcessed = 0;
};

std::string errorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class CommandTest : public FrameworkTest {};

TEST_F(CommandTest, ClientFlagsSetTheIdentityAndTheLaterValueWins) {
  std::shared_ptr<PlainCommand> c = PlainCommand::make();
  EXPECT_EQ(c->getAdditionalClientNameValuePairs(),
            (std::map<std::string, std::string>{
                {"srccompid", ""}, {"srcappid", ""}, {"srcappver", ""}}));
  c->processArgs({"-SRCCOMPID", "Comp", "-srcAppId", "MarkTally", "-srcappver", "65",
                  "-authtoken", "Tok", "-coregroupalias", "al", "-coregroupentid", "en",
                  "-logdir", "/l", "-srcappver", "66"});
  EXPECT_EQ(c->srccompid, "Comp");
  EXPECT_EQ(c->srcappid, "MarkTally");
  EXPECT_EQ(c->srcappver, "66");
  EXPECT_EQ(c->authtoken, "Tok");
  EXPECT_EQ(c->coregroupalias, "al");
  EXPECT_EQ(c->coregroupentid, "en");
  EXPECT_EQ(c->logdir, "/l");
  EXPECT_EQ(c->postProcessed, 1);
  EXPECT_EQ(c->getAdditionalClientNameValuePairs(),
            (std::map<std::string, std::string>{
                {"srccompid", "Comp"}, {"srcappid", "MarkTally"}, {"srcappver", "66"}}));
}

TEST_F(CommandTest, SwitchesOfTheProcessAndTheVersion) {
  std::shared_ptr<PlainCommand> c = PlainCommand::make();
  std::ostringstream out;
  std::streambuf* old = std::cout.rdbuf(out.rdbuf());
  c->processArgs({"-version", "-lwupload", "-trace", "-urlprefix", "http://u", "-sessionurl",
                  "http://s", "-retcodefile", "/r", "-version"});
  std::cout.rdbuf(old);
  EXPECT_EQ(out.str(), "Version 2.5.72\nVersion 2.5.72\n");
  EXPECT_EQ(vexo::platform::lookupConfigOption("lwupload").value_or("-"), "true");
  EXPECT_EQ(vexo::platform::lookupConfigOption("urlprefix").value_or("-"), "http://u");
  EXPECT_EQ(vexo::platform::lookupConfigOption("sessionurl").value_or("-"), "http://s");
  EXPECT_EQ(vexo::platform::lookupConfigOption("retcodefile").value_or("-"), "/r");
  EXPECT_TRUE(vexo::platform::isTracingEnabled());

  std::shared_ptr<PlainCommand> empty = PlainCommand::make();
  empty->processArgs({});
  EXPECT_EQ(empty->postProcessed, 1);
}

TEST_F(CommandTest, MissingValuesAndUnusedArgumentsStopTheLoop) {
  struct Row {
    Args args;
    const char* message;
  } rows[] = {
      {{"-srccompid"}, "'-srccompid' arg missing ID"},
      {{"-srcappid"}, "'-srcappid' arg missing ID"},
      {{"-srcappver"}, "'-srcappver' arg missing ID"},
      {{"-authtoken"}, "'-authtoken' arg missing authentication token"},
      {{"-coregroupalias"}, "'-coregroupalias' arg missing core group alias"},
      {{"-coregroupentid"}, "'-coregroupentid' arg missing core group entid"},
      {{"-logdir"}, "'-logdir' arg missing log directory path"},
      {{"-retcodefile"}, "'-retcodefile' arg missing file path"},
      {{"-urlprefix"}, "'-urlprefix' arg missing url prefix"},
      {{"-sessionurl"}, "'-sessionurl' arg missing url prefix"},
      {{"-srcappid", "A", "-srcapid", "B"}, "Argument '-srcapid' not used."},
      {{"file.txt"}, "Argument 'file.txt' not used."},
  };
  for (const Row& r : rows) {
    std::shared_ptr<PlainCommand> c = PlainCommand::make();
    EXPECT_EQ(errorOf([&] { c->processArgs(r.args); }), r.message);
    EXPECT_EQ(c->postProcessed, 0);
    if (r.args.size() > 2) {
      EXPECT_EQ(c->srcappid, "A") << "what came before stays set";
    }
  }
}

TEST_F(CommandTest, FileArgumentsTakeTheFormatBeforeThem) {
  std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
  c->processArgs({"-format", "PDF", "a", "-FORMAT", "NULL", "b", "--c", "-deleteinputfiles",
                  "-dumpfiles", "-dumpchunks", "-loghttp", "-disablecompression",
                  "-addproxydef", "p:1", "-chunksizelimit", "7", "-postbuffersize", "-1",
                  "-nobrowser"});
  EXPECT_EQ(c->files, (Args{"a", "b", "-c"}));
  EXPECT_EQ(c->formats, (Args{"PDF", "", ""}));
  EXPECT_TRUE(c->deleteInputFiles && c->dumpFiles && c->dumpChunks && c->logHttp &&
              c->disableCompression);
  EXPECT_EQ(c->proxyDefs, Args{"p:1"});
  EXPECT_EQ(c->chunkSizeLimit, 7);
  EXPECT_EQ(c->postBufferSize, -1);
  EXPECT_FALSE(c->openBrowser);

  std::shared_ptr<FileUploadCommand> u = FileUploadCommand::make();
  EXPECT_TRUE(u->openBrowser);
  u->processArgs({"-urlfile", "/tmp/u.txt", "x"});
  EXPECT_FALSE(u->openBrowser);
  EXPECT_EQ(u->urlFile, "/tmp/u.txt");
}

TEST_F(CommandTest, FileCommandRefusals) {
  struct Row {
    Args args;
    const char* message;
  } rows[] = {
      {{"-x"}, "'-x' looks like a flag but doesn't match any known flag name."},
      {{"-format", "F", "-trace"}, "No files were specified."},
      {{}, "No files were specified."},
      {{"a", "-format"}, "'-format' arg missing format name"},
      {{"a", "-addproxydef"}, "'-addproxydef' arg missing proxy definition information"},
      {{"a", "-chunksizelimit"}, "'-chunksizelimit' arg missing limit"},
      {{"a", "-postbuffersize"}, "'-postbuffersize' arg missing limit"},
      {{"a", "-urlfile"}, "'-urlfile' arg missing filename"},
      {{"a", "-chunksizelimit", "0"}, "Invalid value for chunk size limit"},
      {{"a", "-postbuffersize", "-5"}, "Invalid value for post buffer size"},
  };
  for (const Row& r : rows) {
    std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
    EXPECT_EQ(errorOf([&] { c->processArgs(r.args); }), r.message);
  }
  std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
  EXPECT_THROW(c->processArgs({"a", "-chunksizelimit", "lots"}), boost::bad_lexical_cast);
}

TEST_F(CommandTest, ConfigurationOptionsComeBeforeFlagsAndBadValuesAreIgnored) {
  struct Row {
    const char* key;
    const char* value;
    bool dump;
    int limit;
  } rows[] = {
      {"dumpfiles", "1", true, -1},        {"dumpfiles", "true", false, -1},
      {"dumpfiles", "0", false, -1},       {"chunksizelimit", "7", false, 7},
      {"chunksizelimit", "-1", false, -1}, {"chunksizelimit", "0", false, -1},
      {"chunksizelimit", "-5", false, -1}, {"chunksizelimit", "big", false, -1},
  };
  for (const Row& r : rows) {
    resetFramework();
    vexo::platform::overrideStringConfigOption(r.key, r.value);
    std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
    EXPECT_EQ(c->dumpFiles, r.dump) << r.key << "=" << r.value;
    EXPECT_EQ(c->chunkSizeLimit, r.limit) << r.key << "=" << r.value;
  }
  resetFramework();
  vexo::platform::overrideStringConfigOption("logdir", "/from/config");
  vexo::platform::overrideStringConfigOption("disablecompression", "1");
  std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
  EXPECT_EQ(c->logdir, "/from/config");
  EXPECT_TRUE(c->disableCompression);
  c->processArgs({"-logdir", "/from/flag", "a"});
  EXPECT_EQ(c->logdir, "/from/flag");
}

TEST_F(CommandTest, MakingAFileCommandSwitchesTheLogTableOff) {
  vexo::platform::enableLogTable();
  vexo::platform::log(vexo::platform::LogLevel::info, "entry", "cat");
  FileUploadCommand::make();
  EXPECT_FALSE(vexo::platform::isLogTableEnabled());
  EXPECT_TRUE(vexo::platform::accessLogTable().empty());
}

TEST_F(CommandTest, ProxyDefinitionsGoFirstInReverseOrder) {
  ScopedEnv noProxy("https_proxy", nullptr);
  ScopedEnv noProxy2("HTTPS_PROXY", nullptr);
  const std::vector<vexo::ConnectionDef> list =
      vexo::filesending::identifyConnections({"a:80", "b:x:u:p"});
  ASSERT_EQ(list.size(), 3u);
  ASSERT_TRUE(list[0].proxyDef && list[1].proxyDef);
  EXPECT_EQ(list[0].proxyDef->host, "b");
  EXPECT_EQ(list[0].proxyDef->port, 3128);
  EXPECT_EQ(list[0].proxyDef->user.value_or("-"), "u");
  EXPECT_EQ(list[0].proxyDef->password.value_or("-"), "p");
  EXPECT_EQ(list[1].proxyDef->host, "a");
  EXPECT_EQ(list[1].proxyDef->port, 80);
  EXPECT_FALSE(list[1].proxyDef->user);
  EXPECT_FALSE(list[2].proxyDef) << "the direct connection stays last";
  // What a malformed definition holds past its third colon may be a password: never shown.
  vexo::platform::enableLogTable();
  const std::pair<const char*, const char*> malformed[] = {
      {"a", "a"},
      {"a:1:u", "a:1:u"},
      {"a:1:u:p:q", "a:1:u:********"},
      {"proxy:8080:bob:se:cret", "proxy:8080:bob:********"},
      {":1", ":1"},
      {"a::u:p", "a::u:********"},
      // A port libcurl cannot use, or a host that would smuggle text into the proxy line.
      {"a:0", "a:0"},
      {"a:65536", "a:65536"},
      {"a:-80", "a:-80"},
      {"a:99999999999", "a:99999999999"},
      {"a b:80", "a b:80"},
      {"a\tb:80:u:p", "a\tb:80:u:********"},
      {"a\x01:80", "a\x01:80"},
      {"a\x7f:80", "a\x7f:80"}};
  for (const auto& bad : malformed) {
    try {
      vexo::filesending::identifyConnections({bad.first});
      ADD_FAILURE() << bad.first;
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, 103);
      EXPECT_EQ(std::string(e.what()),
                std::string("Internal Error: Incorrectly formed -addproxydef arg '") +
                    bad.second + "'");
    }
  }
  for (const vexo::platform::LogEntry& entry : vexo::platform::accessLogTable()) {
    EXPECT_EQ(entry.text.find("cret"), std::string::npos) << entry.text;
  }
}

// ---- File records ------------------------------------------------------------------------

class FileInfoTest : public FrameworkTest {};

TEST_F(FileInfoTest, TheCompressedCopyInflatesToTheFileAndGoesWithTheLastHolder) {
  const std::string folder = makeFolder("fileinfo");
  const std::string bytes = std::string(100000, 'a') + randomBytes(5000, 9);
  writeFile(folder + "/class.txt", bytes);
  std::string copy;
  {
    std::shared_ptr<vexo::FileInfo> info =
        std::make_shared<vexo::FileInfo>(folder + "/class.txt", "es_rpt_01");
    std::shared_ptr<vexo::FileInfo> shared = info;
    EXPECT_EQ(info->fileName, "class.txt");
    EXPECT_EQ(info->format, "es_rpt_01");
    EXPECT_EQ(info->fileSize, bytes.size());
    EXPECT_LT(info->compressedSize, 20000u);
    copy = info->compressedTempPath;
    EXPECT_EQ(info->getCompressedData().size(), info->compressedSize);
    vexo::util::decompressFilesIntoFile(folder + "/back.txt", {copy});
    EXPECT_EQ(readFile(folder + "/back.txt"), bytes);
    info.reset();
    EXPECT_EQ(::access(copy.c_str(), F_OK), 0) << "still shared";
  }
  EXPECT_NE(::access(copy.c_str(), F_OK), 0);

  vexo::platform::setCompressionEnabled(false);
  vexo::FileInfo stored(folder + "/class.txt", "");
  EXPECT_GT(stored.compressedSize, bytes.size()) << "level 0 stores the bytes";
  vexo::platform::setCompressionEnabled(true);
}

TEST_F(FileInfoTest, AMissingFileLeavesNoCopyBehind) {
  const std::string folder = vexo::platform::getTemporaryDirectory();
  const std::vector<std::string> before = listFolder(folder);
  EXPECT_THROW(vexo::FileInfo(makeFolder("none") + "/missing.txt", ""), std::runtime_error);
  EXPECT_THROW(vexo::FileInfo(makeFolder("dir"), ""), vexo::VexoException);
  EXPECT_EQ(listFolder(folder), before);
}

TEST_F(FileInfoTest, DumpsOfTheInputsLandInTheCurrentFolder) {
  const std::string folder = makeFolder("dumps");
  writeFile(folder + "/one", "first");
  writeFile(folder + "/two", "second");
  const Args files = {folder + "/one", folder + "/two"};
  const auto records = vexo::filesending::loadFiles(files, {"F", "G"});
  const Args withMissing = {folder + "/one", folder + "/gone"};
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  const std::string out = makeFolder("dumps-out");
  ASSERT_EQ(::chdir(out.c_str()), 0);
  vexo::filesending::dumpInputFiles(withMissing, {"F", "G"}, records);
  ASSERT_EQ(::chdir(old), 0);
  EXPECT_EQ(listFolder(out), (Args{"file-1-of-2-compressed", "file-1-of-2-format-F",
                                   "file-2-of-2-compressed"}));
  EXPECT_EQ(readFile(out + "/file-1-of-2-format-F"), "first");
  const std::vector<unsigned char> compressed = records[1]->getCompressedData();
  EXPECT_EQ(readFile(out + "/file-2-of-2-compressed"),
            std::string(compressed.begin(), compressed.end()));
}

// A format name cannot steer a dump into another folder nor cut its name short, and a dump
// written over a longer earlier one (or a link) leaves nothing of it.
TEST_F(FileInfoTest, DumpNamesStayInTheFolderAndDumpsReplaceWhatWasThere) {
  const std::string folder = makeFolder("dump-names");
  writeFile(folder + "/one", "short");
  writeFile(folder + "/two", "second");
  const Args files = {folder + "/one", folder + "/two"};
  const std::string format("../up/\0x", 8);
  const auto records = vexo::filesending::loadFiles(files, {format, "G"});
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  const std::string out = makeFolder("dump-names-out");
  const std::string outside = makeFolder("dump-names-target");
  writeFile(outside + "/kept", "not ours");
  const std::string raw1 = "file-1-of-2-format-.._up__x";
  writeFile(out + "/" + raw1, "a much longer earlier dump of the first file");
  writeFile(out + "/file-2-of-2-compressed", std::string(100000, 'z'));
  ASSERT_EQ(::symlink((outside + "/kept").c_str(), (out + "/file-2-of-2-format-G").c_str()), 0);
  ASSERT_EQ(::chdir(out.c_str()), 0);
  vexo::filesending::dumpInputFiles(files, {format, "G"}, records);
  ASSERT_EQ(::chdir(old), 0);

  EXPECT_EQ(listFolder(out), (Args{"file-1-of-2-compressed", raw1, "file-2-of-2-compressed",
                                   "file-2-of-2-format-G"}));
  EXPECT_EQ(readFile(out + "/" + raw1), "short");
  const std::vector<unsigned char> compressed = records[1]->getCompressedData();
  EXPECT_EQ(readFile(out + "/file-2-of-2-compressed"),
            std::string(compressed.begin(), compressed.end()));
  EXPECT_EQ(readFile(outside + "/kept"), "not ours");
  EXPECT_EQ(listFolder(outside), Args{"kept"});
  EXPECT_EQ(modeOf(out + "/file-1-of-2-compressed"), 0600u);
}

// ---- The upload command against the service ----------------------------------------------

class UploadCommandTest : public UploadServiceTest {
 protected:
  std::shared_ptr<FileUploadCommand> command(const Args& files) {
    std::shared_ptr<FileUploadCommand> c = FileUploadCommand::make();
    for (const std::string& f : files) {
      c->files.push_back(f);
      c->formats.push_back("es_rpt_01");
    }
    c->srcappid = "marktally";
    c->srcappver = "65";
    return c;
  }

  static int statusOf(const std::shared_ptr<FileUploadCommand>& c, std::string* text = nullptr) {
    try {
      c->execute();
      return 0;
    } catch (const vexo::VexoException& e) {
      if (text) {
        *text = e.what();
      }
      return e.statusCode;
    }
  }

  static ScriptedAnswer body(const std::string& text) {
    ScriptedAnswer a;
    a.body = text;
    return a;
  }
};

TEST_F(UploadCommandTest, AVariantThatFailsHandsOverToTheNext) {
  ScopedEnv proxy("http_proxy", ("http://127.0.0.1:" + std::to_string(closedLocalPort())).c_str());
  const std::string file = makeFile("report.txt", "<uploadfile/>");
  std::shared_ptr<FileUploadCommand> c = command({file});
  c->deleteInputFiles = true;
  EXPECT_EQ(statusOf(c), 0);
  EXPECT_EQ(uploadRequests().size(), 1u) << "only the direct connection reached the service";
  EXPECT_FALSE(exists(file));
  ASSERT_EQ(openedPages().size(), 1u);
  EXPECT_NE(openedPages()[0].find("&files=1&verified=1"), std::string::npos);
}

TEST_F(UploadCommandTest, WhenEveryVariantFailsTheLastErrorCountsAndTheInputsStay) {
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(service().proxyPort());
  ScopedEnv proxy("http_proxy", proxyUrl.c_str());
  service().script("/AdminDataUpload.page", {body("<!-- VexoMessage:first-->"),
                                             body("<!-- VexoMessage:second-->")});
  const std::string file = makeFile("report.txt", "<uploadfile/>");
  std::shared_ptr<FileUploadCommand> c = command({file});
  c->deleteInputFiles = true;
  std::string text;
  EXPECT_EQ(statusOf(c, &text), 119);
  EXPECT_EQ(text, "'second'");
  EXPECT_EQ(uploadRequests().size(), 2u) << "through the proxy, then directly";
  EXPECT_TRUE(exists(file));
  EXPECT_TRUE(openedPages().empty());
}

TEST_F(UploadCommandTest, TheCompressionSwitchIsRestoredOnEveryPath) {
  const std::string file = makeFile("plain.txt", std::string(50000, 'z'));
  for (bool before : {true, false}) {
    vexo::platform::setCompressionEnabled(before);
    std::shared_ptr<FileUploadCommand> ok = command({file});
    ok->disableCompression = true;
    service().clear();
    EXPECT_EQ(statusOf(ok), 0);
    const std::vector<RecordedRequest> chunks = uploadRequests();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_GT(chunks[0].file("file00compressed")->data.size(), 50000u) << "stored at level 0";
    EXPECT_EQ(vexo::platform::isCompressionEnabled(), before);

    std::shared_ptr<FileUploadCommand> missing = command({files_ + "/missing.txt"});
    missing->disableCompression = true;
    EXPECT_THROW(missing->execute(), std::runtime_error);
    EXPECT_EQ(vexo::platform::isCompressionEnabled(), before);

    service().script("/AdminDataUpload.page", {body("")});
    std::shared_ptr<FileUploadCommand> refused = command({file});
    refused->disableCompression = true;
    EXPECT_EQ(statusOf(refused), 102);
    EXPECT_EQ(vexo::platform::isCompressionEnabled(), before);
  }
  vexo::platform::setCompressionEnabled(true);
}

TEST_F(UploadCommandTest, WhereTheResultPageGoes) {
  const std::string urlFile = files_ + "/url.txt";
  const std::string file = makeFile("r.txt", "r");
  // The URL file, instead of the browser.
  std::shared_ptr<FileUploadCommand> toFile = command({file});
  toFile->processArgs({"-urlfile", urlFile});
  EXPECT_EQ(statusOf(toFile), 0);
  const std::string url = readFile(urlFile);
  EXPECT_EQ(url.substr(0, url.find("UploadResult.page")), service().url("/"));
  EXPECT_EQ(url.back(), '\n');
  EXPECT_EQ(url.find('\n'), url.size() - 1);
  EXPECT_TRUE(openedPages().empty());
  // Nowhere.
  std::remove(urlFile.c_str());
  std::shared_ptr<FileUploadCommand> nowhere = command({file});
  nowhere->openBrowser = false;
  EXPECT_EQ(statusOf(nowhere), 0);
  EXPECT_FALSE(exists(urlFile));
  EXPECT_TRUE(openedPages().empty());
  // A completed upload has no page at all.
  service().script("/AdminDataUpload.page",
                   {body("url:" + service().url("/lw?uploadBatchEntid=1&srubs=true") + " ")});
  ScriptedAnswer done;
  done.body = "uplmk[st:ZG9uZQ==;]";
  service().script("/lw", {done});
  std::shared_ptr<FileUploadCommand> completed = command({file});
  completed->setOptions({{"lightweight", "true"}});
  completed->urlFile = urlFile;
  EXPECT_EQ(statusOf(completed), 0);
  EXPECT_FALSE(exists(urlFile));
  EXPECT_TRUE(openedPages().empty());
}

TEST_F(UploadCommandTest, AnUnwritableUrlFileIsAFailureNotASuccess) {
  const std::string file = makeFile("w.txt", "w");
  for (const std::string& urlFile : {files_ + "/no/such/folder/url.txt", files_}) {
    std::shared_ptr<FileUploadCommand> c = command({file});
    c->processArgs({"-urlfile", urlFile});
    std::string text;
    EXPECT_EQ(statusOf(c, &text), 103) << urlFile;
    EXPECT_EQ(text, "Unable to write URL file '" + urlFile + "'.");
    EXPECT_TRUE(openedPages().empty());
  }
}

TEST_F(UploadCommandTest, APageThatIsNoWebAddressIsAnUnusableAnswer) {
  for (const char* page :
       {"javascript:alert(1);uploadBatchEntid=3", "file:///etc/passwd?uploadBatchEntid=3",
        "/relative?uploadBatchEntid=3"}) {
    service().script("/AdminDataUpload.page", {body(std::string("url:") + page + "\n")});
    const std::string file = makeFile("r.txt", "r");
    std::shared_ptr<FileUploadCommand> c = command({file});
    c->deleteInputFiles = true;
    std::string text;
    EXPECT_EQ(statusOf(c, &text), 102) << page;
    EXPECT_NE(text.find("the result page is not a web address"), std::string::npos);
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(openedPages().empty());
  }
}

}  // namespace
}  // namespace vexotest
