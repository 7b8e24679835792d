// Whole synchronisations against the fake service's directory store: trees saved and loaded
// back, several folders in shared cycles, the checks made before any traffic, failures in a
// later cycle, and hostile answers that try to reach outside the synchronised folder.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>
#include <zlib.h>

#include "session_service_test.h"
#include "vexolib/session/Session.h"
#include "vexolib/sync/DirSync.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

namespace fs = boost::filesystem;
using vexo::Session;

struct Node {
  char kind = '?';  // 'd' folder, 'f' file, 'l' link
  std::string bytes;  // contents, or the link's target
  long mtime = 0;
  bool executable = false;
  bool operator==(const Node& o) const {
    return kind == o.kind && bytes == o.bytes && mtime == o.mtime && executable == o.executable;
  }
};

void PrintTo(const Node& n, std::ostream* os) {
  *os << n.kind << " " << n.bytes.size() << " bytes, mtime " << n.mtime
      << (n.executable ? " exec" : "");
  if (n.kind == 'l') {
    *os << " -> " << n.bytes;
  }
}

// Everything below folder, links not followed; folders without times.
std::map<std::string, Node> snapshot(const std::string& folder) {
  std::map<std::string, Node> nodes;
  for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
    const std::string rel = it->path().string().substr(folder.size() + 1);
    struct stat st;
    ::lstat(it->path().c_str(), &st);
    Node node;
    if (S_ISLNK(st.st_mode)) {
      node.kind = 'l';
      node.bytes = fs::read_symlink(it->path()).string();
    } else if (S_ISDIR(st.st_mode)) {
      node.kind = 'd';
    } else {
      node.kind = 'f';
      node.bytes = readFile(it->path().string());
      node.mtime = static_cast<long>(st.st_mtime);
      node.executable = (st.st_mode & S_IXUSR) != 0;
    }
    nodes[rel] = node;
  }
  return nodes;
}

void setTime(const std::string& path, long seconds) {
  struct utimbuf times;
  times.actime = seconds;
  times.modtime = seconds;
  ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
}

std::string noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

std::string deflated(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()), 9);
  out.resize(size);
  return out;
}

// An answer body in the name/value syntax; binary values are given as "!" + bytes.
std::string nvpBody(const std::vector<std::pair<std::string, std::string>>& values) {
  std::string body;
  for (const auto& v : values) {
    if (!v.second.empty() && v.second[0] == '!') {
      body += v.first + "!" + std::to_string(v.second.size() - 1) + "\r\n" +
              v.second.substr(1) + "\r\n";
    } else {
      body += v.first + "=" + v.second + "\r\n";
    }
  }
  return body;
}

class SyncServiceTest : public SessionServiceTest {
 protected:
  static Session::SyncDesc desc(const std::string& path, const std::string& key,
                                const std::string& type, const std::string& options = "") {
    Session::SyncDesc d;
    d.localPath = path;
    d.remoteKey = key;
    d.syncType = type;
    d.options = options;
    return d;
  }

  // The session page's POSTs since the previous call; the store survives only as long as
  // the service is not cleared, so tests read their traffic in slices.
  std::vector<std::map<std::string, std::string>> newPosts() {
    std::vector<std::map<std::string, std::string>> posts = sessionPosts();
    posts.erase(posts.begin(), posts.begin() + static_cast<long>(seenPosts_));
    seenPosts_ += posts.size();
    return posts;
  }
  std::vector<std::string> newOperations() {
    std::vector<std::string> types;
    for (const auto& post : newPosts()) {
      types.push_back(post.count("req.0.type") ? post.at("req.0.type") : "");
    }
    return types;
  }

  std::vector<int> sync(std::vector<Session::SyncDesc> descs) {
    std::unique_ptr<Session> session = connected();
    return vexo::DirSync(*session).syncDirs(descs);
  }

  // A tree with nested and empty folders, a file of several chunks, an empty file, an
  // executable, a hidden file and fixed times.
  std::size_t seenPosts_ = 0;

  std::string sampleTree(const std::string& name) {
    const std::string root = makeFolder(name);
    fs::create_directories(root + "/Notes/week 1");
    fs::create_directories(root + "/empty");
    writeFile(root + "/Notes/week 1/plan.txt", "plan for the week\n");
    writeFile(root + "/big.bin", noise(300000, 7));
    writeFile(root + "/zero", "");
    writeFile(root + "/.hidden", "h");
    writeFile(root + "/run.sh", "#!/bin/sh\necho hi\n");
    ::chmod((root + "/run.sh").c_str(), 0755);
    long t = 1600000000;
    for (const char* f : {"/Notes/week 1/plan.txt", "/big.bin", "/zero", "/.hidden", "/run.sh"}) {
      setTime(root + f, t += 3600);
    }
    return root;
  }
};

TEST_F(SyncServiceTest, ATreeSavedAndLoadedIntoAnEmptyFolderComesBackIdentical) {
  const std::string source = sampleTree("sync-source");
  EXPECT_EQ(sync({desc(source, "class-7", Session::SAVE_TO_SERVER)}), std::vector<int>{0});
  EXPECT_EQ(newOperations(), (std::vector<std::string>{"prepareSave", "save"}));
  const RecordedRequest save = service().requests()[1];
  // Entry 4 is big.bin: its compressed noise needs three chunks of 131072 bytes.
  ASSERT_NE(save.field("req.0.entry.4.chunk.count"), nullptr);
  EXPECT_EQ(*save.field("req.0.entry.4.chunk.count"), "3");
  EXPECT_EQ(save.field("req.0.entry.1.chunk.count"), nullptr) << "a folder carries no chunks";

  const std::string copy = makeFolder("sync-copy");
  EXPECT_EQ(sync({desc(copy, "class-7", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
  EXPECT_EQ(newOperations(), std::vector<std::string>{"load"});
  EXPECT_EQ(snapshot(copy), snapshot(source));
  for (const auto& entry : listFolder(copy)) {
    EXPECT_NE(entry.rfind(".vexo-", 0), 0u) << "temporary file left: " << entry;
  }

  // Changed in the copy: one file's contents, one file's time; a stray file and folder.
  writeFile(copy + "/zero", "now with bytes");
  setTime(copy + "/.hidden", 1500000000);
  fs::create_directories(copy + "/stray/deeper");
  writeFile(copy + "/stray/deeper/x", "x");
  EXPECT_EQ(sync({desc(copy, "class-7", Session::DIRECT_GET)}), std::vector<int>{0});
  EXPECT_EQ(snapshot(copy), snapshot(source));
}

TEST_F(SyncServiceTest, AnUnchangedSaveSendsNoContentsAndATimeChangeOnlyTheTime) {
  const std::string source = sampleTree("sync-resave");
  ASSERT_EQ(sync({desc(source, "k", Session::DIRECT_PUT)}), std::vector<int>{0});
  setTime(source + "/zero", 1700000000);
  newPosts();
  ASSERT_EQ(sync({desc(source, "k", Session::SAVE_TO_SERVER)}), std::vector<int>{0});
  const auto posts = newPosts();
  ASSERT_EQ(posts.size(), 2u);
  for (const auto& field : posts[1]) {
    EXPECT_EQ(field.first.find(".chunk."), std::string::npos) << field.first;
  }
  EXPECT_EQ(service().requests()[3].files.size(), 0u);
  // Only "zero" (entry 7) has a new time, and only its time is sent again.
  EXPECT_EQ(posts[1].at("req.0.entry.7.lastModified"),
            vexo::platform::getFileLastModifiedString(source + "/zero"));

  const std::string copy = makeFolder("sync-resave-copy");
  ASSERT_EQ(sync({desc(copy, "k", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
  EXPECT_EQ(snapshot(copy), snapshot(source));
}

TEST_F(SyncServiceTest, ALoadAndASaveFolderShareTheirCycles) {
  const std::string source = sampleTree("sync-shared-source");
  ASSERT_EQ(sync({desc(source, "shared", Session::SAVE_TO_SERVER)}), std::vector<int>{0});
  newPosts();
  const std::string copy = makeFolder("sync-shared-copy");
  const std::string other = sampleTree("sync-shared-other");
  writeFile(other + "/only-here.txt", "other");
  EXPECT_EQ(sync({desc(copy, "shared", Session::LOAD_FROM_SERVER),
                  desc(other, "other", Session::SAVE_TO_SERVER)}),
            (std::vector<int>{0, 0}));
  const auto posts = newPosts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].at("req.count"), "2");
  EXPECT_EQ(posts[0].at("req.0.type"), "load");
  EXPECT_EQ(posts[0].at("req.1.type"), "prepareSave");
  EXPECT_EQ(posts[1].at("req.count"), "2");
  EXPECT_EQ(posts[1].at("req.0.type"), "noop");
  EXPECT_EQ(posts[1].at("req.1.type"), "save");
  EXPECT_EQ(snapshot(copy), snapshot(source));

  const std::string otherCopy = makeFolder("sync-shared-other-copy");
  ASSERT_EQ(sync({desc(otherCopy, "other", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
  EXPECT_EQ(snapshot(otherCopy), snapshot(other));
}

TEST_F(SyncServiceTest, AMissingFolderGives123AndNothingIsSent) {
  const std::string a = makeFolder("sync-a");
  const std::string c = makeFolder("sync-c");
  std::vector<Session::SyncDesc> descs = {desc(a + "/./", "a", Session::LOAD_FROM_SERVER),
                                          desc(a + "/../sync-missing", "b", "anything"),
                                          desc(c + "/.", "c", Session::LOAD_FROM_SERVER)};
  std::unique_ptr<Session> session = connected();
  EXPECT_EQ(vexo::DirSync(*session).syncDirs(descs), (std::vector<int>{0, 123, 0}));
  EXPECT_TRUE(service().requests().empty());
  EXPECT_EQ(descs[0].localPath, fs::path(a + "/"));
  EXPECT_EQ(descs[1].localPath, fs::path(a).parent_path() / "sync-missing");
  EXPECT_EQ(descs[2].localPath, fs::path(c + "/."));
}

TEST_F(SyncServiceTest, FailuresBeforeAnyTrafficRaiseTheirCodes) {
  const std::string fine = makeFolder("sync-fine");
  const std::string cased = makeFolder("sync-cased");
  writeFile(cased + "/Report.txt", "1");
  writeFile(cased + "/report.TXT", "2");
  const struct {
    std::vector<Session::SyncDesc> descs;
    int code;
    const char* text;
  } cases[] = {
      {{desc(fine, "a", Session::LOAD_FROM_SERVER), desc(cased, "b", Session::SAVE_TO_SERVER)},
       205, "differ only in letter case"},
      {{desc(fine, "a", "LoadFromServer")}, 103, "Unknown sync type"},
  };
  for (const auto& c : cases) {
    try {
      sync(c.descs);
      ADD_FAILURE() << c.text;
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, c.code);
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
    }
    EXPECT_TRUE(service().requests().empty()) << c.text;
  }
  // Without a connection the first exchange fails, after the scan.
  Session unconnected;
  std::vector<Session::SyncDesc> descs = {desc(fine, "a", Session::LOAD_FROM_SERVER)};
  try {
    vexo::DirSync(unconnected).syncDirs(descs);
    ADD_FAILURE() << "synchronised without a connection";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
  }
}

TEST_F(SyncServiceTest, AnEmptyListMakesOneExchange) {
  EXPECT_TRUE(sync({}).empty());
  ASSERT_EQ(sessionPosts().size(), 1u);
  EXPECT_EQ(sessionPosts()[0].at("req.count"), "0");
}

TEST_F(SyncServiceTest, A500InTheSecondCycleKeepsTheFirstCyclesOrders) {
  const std::string folder = makeFolder("sync-500");
  writeFile(folder + "/a.txt", "a");
  ScriptedAnswer first;
  first.body = nvpBody({{"resp.0.retcode", "ok"},
                        {"resp.0.clientOp.count", "2"},
                        {"resp.0.clientOp.0.type", "upload"},
                        {"resp.0.clientOp.0.relPath", "a.txt"},
                        {"resp.0.clientOp.1.type", "mkdir"},
                        {"resp.0.clientOp.1.relPath", "Notes"}});
  ScriptedAnswer second;
  second.status = 500;
  service().script("/DesktopSession.page", {first, second});
  try {
    sync({desc(folder, "k", Session::SAVE_TO_SERVER)});
    ADD_FAILURE() << "a 500 went unnoticed";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 125);
    EXPECT_STREQ(e.what(), "First phase data transfer failed (HTTP status 500).");
  }
  EXPECT_TRUE(fs::is_directory(folder + "/Notes"));
  EXPECT_EQ(operationsSent(), (std::vector<std::string>{"prepareSave", "save"}));
  EXPECT_EQ(sessionPosts()[1].count("req.0.entry.0.chunk.0"), 0u)
      << "the chunk is a file part, not a field";
  EXPECT_NE(service().requests()[1].file("req.0.entry.0.chunk.0"), nullptr);
}

TEST_F(SyncServiceTest, ARefusedPrepareSaveIsFollowedByANoopAndReportsItsCode) {
  const std::string refused = makeFolder("sync-refused");
  const std::string accepted = makeFolder("sync-accepted");
  writeFile(refused + "/a.txt", "a");
  writeFile(accepted + "/b.txt", "b");
  scriptNext(200, nvpBody({{"resp.0.retcode", "dataMaintenance"},
                           {"resp.1.retcode", "ok"},
                           {"resp.1.clientOp.count", "1"},
                           {"resp.1.clientOp.0.type", "upload"},
                           {"resp.1.clientOp.0.relPath", "b.txt"}}));
  EXPECT_EQ(sync({desc(refused, "r", Session::SAVE_TO_SERVER),
                  desc(accepted, "s", Session::SAVE_TO_SERVER)}),
            (std::vector<int>{305, 0}));
  const auto posts = sessionPosts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[1].at("req.0.type"), "noop");
  EXPECT_EQ(posts[1].at("req.1.type"), "save");
  EXPECT_NE(service().requests()[1].file("req.1.entry.0.chunk.0"), nullptr);
}

TEST_F(SyncServiceTest, InterfaceDefinitionsAreLoadedByNameOrElseById) {
  const std::string folder = makeFolder("sync-defs");
  std::unique_ptr<Session> session = connected();
  vexo::DirSync dirSync(*session);
  EXPECT_EQ(dirSync.getInterfaceDefinitionFiles("grades", "42", folder), 0);
  EXPECT_EQ(dirSync.getInterfaceDefinitionFiles("", "", folder), 0);
  EXPECT_EQ(dirSync.getInterfaceDefinitionFiles("x", "", folder + "/missing"), 123);
  const auto posts = sessionPosts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].at("req.0.remoteKey"), "InterfaceDefinitions");
  EXPECT_EQ(posts[0].at("req.0.type"), "load");
  EXPECT_EQ(posts[0].at("req.0.options"), "interfaceName=grades");
  EXPECT_EQ(posts[1].at("req.0.options"), "interfaceId=");
}

// A pipe would hang the scan (its CRC open waits for a writer) and a link out of the folder
// would draw orders that are all refused, so neither may reach the server.
TEST_F(SyncServiceTest, ASaveOfAFolderWithAPipeAndALinkOutFinishesWithoutThem) {
  const std::string source = makeFolder("sync-odd");
  const std::string outside = makeFolder("sync-odd-outside");
  writeFile(outside + "/secret.txt", "not for the store");
  writeFile(source + "/a.txt", "a");
  fs::create_directories(source + "/sub");
  ASSERT_EQ(::mkfifo((source + "/sub/pipe").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(outside.c_str(), (source + "/escape").c_str()), 0);
  ASSERT_EQ(::symlink((outside + "/secret.txt").c_str(), (source + "/secret").c_str()), 0);
  EXPECT_EQ(sync({desc(source, "odd", Session::SAVE_TO_SERVER)}), std::vector<int>{0});
  const auto posts = newPosts();
  ASSERT_EQ(posts.size(), 2u);
  for (const auto& post : posts) {
    EXPECT_EQ(post.at("req.0.entry.count"), "2");
    EXPECT_EQ(post.at("req.0.entry.0.relPath"), "a.txt");
    EXPECT_EQ(post.at("req.0.entry.1.relPath"), "sub");
  }
  const std::string copy = makeFolder("sync-odd-copy");
  EXPECT_EQ(sync({desc(copy, "odd", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
  EXPECT_EQ(listFolder(copy), (std::vector<std::string>{"a.txt", "sub"}));
  EXPECT_EQ(readFile(outside + "/secret.txt"), "not for the store");
}

// A downloaded file gets the permissions of any file the user makes: the process's mask is
// read, never set, so the host's own files are never made while it is cleared.
TEST_F(SyncServiceTest, DownloadsTakeTheProcessMaskWhichStaysAsItWas) {
  const std::string source = makeFolder("sync-mask-source");
  writeFile(source + "/plain.txt", "p");
  writeFile(source + "/run.sh", "#!/bin/sh\n");
  ::chmod((source + "/run.sh").c_str(), 0755);
  ASSERT_EQ(sync({desc(source, "mask", Session::SAVE_TO_SERVER)}), std::vector<int>{0});
  const struct {
    mode_t mask;
    unsigned plain;
    unsigned executable;
  } cases[] = {{022, 0644, 0755}, {027, 0640, 0750}, {077, 0600, 0700}, {0, 0666, 0777}};
  const mode_t original = ::umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    ::umask(c.mask);
    const std::string copy = makeFolder("sync-mask-copy");
    fs::remove_all(copy);
    fs::create_directories(copy);
    EXPECT_EQ(sync({desc(copy, "mask", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
    EXPECT_EQ(modeOf(copy + "/plain.txt"), c.plain);
    EXPECT_EQ(modeOf(copy + "/run.sh"), c.executable);
    EXPECT_EQ(::umask(c.mask), c.mask);
  }
  ::umask(original);
}

// ---- Hostile answers ------------------------------------------------------------------------

class HostileStoreTest : public SyncServiceTest {
 protected:
  void SetUp() override {
    SyncServiceTest::SetUp();
    local = makeFolder("hostile-local");
    outside = makeFolder("hostile-outside");
    writeFile(local + "/keep.txt", "mine");
    writeFile(outside + "/victim.txt", "not yours");
    ASSERT_EQ(::symlink(outside.c_str(), (local + "/escape").c_str()), 0);
    // A sibling of the folder that a climbing path could name.
    writeFile(fs::path(local).parent_path().string() + "/hostile-sibling", "sibling");
  }

  std::string local;
  std::string outside;
};

TEST_F(HostileStoreTest, NoAnswerReachesOutsideTheFolderOrChangesItWhenRefused) {
  const std::string good = deflated("fresh contents");
  typedef std::vector<std::pair<std::string, std::string>> Ops;
  const struct {
    const char* what;
    Ops ops;
  } cases[] = {
      {"climbing delete", {{"type", "delete"}, {"relPath", "../hostile-sibling"}}},
      {"absolute delete", {{"type", "delete"}, {"relPath", outside + "/victim.txt"}}},
      {"empty delete", {{"type", "delete"}, {"relPath", ""}}},
      {"dot delete", {{"type", "delete"}, {"relPath", "."}}},
      {"climbing download",
       {{"type", "download"}, {"relPath", "a/../../hostile-sibling"}, {"chunk.count", "1"},
        {"chunk.0", "!" + good}}},
      {"download through a planted link",
       {{"type", "download"}, {"relPath", "escape/victim.txt"}, {"chunk.count", "1"},
        {"chunk.0", "!" + good}}},
      {"time set through a planted link",
       {{"type", "setFileTime"}, {"relPath", "escape/victim.txt"},
        {"lastModified", "2001-01-01-0101-01"}}},
      {"mkdir through a planted link", {{"type", "mkdir"}, {"relPath", "escape/new"}}},
      {"delete of a planted link's target", {{"type", "delete"}, {"relPath", "escape"}}},
      {"a 0-byte binary value",
       {{"type", "download"}, {"relPath", "keep.txt"}, {"chunk.count", "1"}, {"chunk.0", "!"}}},
      {"a missing chunk",
       {{"type", "download"}, {"relPath", "keep.txt"}, {"chunk.count", "2"},
        {"chunk.0", "!" + good}}},
      {"a text where a chunk should be",
       {{"type", "download"}, {"relPath", "keep.txt"}, {"chunk.count", "1"},
        {"chunk.0", "plain"}}},
  };
  const auto localBefore = snapshot(local);
  const auto outsideBefore = snapshot(outside);
  const std::string siblingPath = fs::path(local).parent_path().string() + "/hostile-sibling";
  for (const auto& c : cases) {
    // A harmless order first: a refused answer applies none of its orders.
    std::vector<std::pair<std::string, std::string>> body = {
        {"resp.0.retcode", "ok"},
        {"resp.0.clientOp.count", "2"},
        {"resp.0.clientOp.0.type", "mkdir"},
        {"resp.0.clientOp.0.relPath", "made-first"}};
    for (const auto& op : c.ops) {
      body.push_back({"resp.0.clientOp.1." + op.first, op.second});
    }
    scriptNext(200, nvpBody(body));
    try {
      sync({desc(local, "k", Session::LOAD_FROM_SERVER)});
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, 103) << c.what << ": " << e.what();
    }
    EXPECT_EQ(snapshot(local), localBefore) << c.what;
    EXPECT_EQ(snapshot(outside), outsideBefore) << c.what;
    EXPECT_EQ(readFile(siblingPath), "sibling") << c.what;
  }
}

// A small answer can inflate to any size, and bytes after the end of the stream mean the
// answer is not what it claims: each ends the sync with 103, and neither the file nor a
// part of it is left behind.
TEST_F(HostileStoreTest, ADownloadPastItsSizeOrItsStreamLeavesNothingBehind) {
  const std::string contents(100000, 'x');
  const std::string packed = deflated(contents);
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> fields;
    const char* message;
  } cases[] = {
      {"larger than announced", {{"fileSize", "99999"}, {"chunk.0", "!" + packed}},
       "larger than the 99999 bytes allowed"},
      {"announced size not a number", {{"fileSize", "1e5"}, {"chunk.0", "!" + packed}},
       "Invalid file size '1e5'"},
      {"announced size beyond 32 bits",
       {{"fileSize", "99999999999999999999999"}, {"chunk.0", "!" + packed}},
       "Invalid file size"},
      {"bytes after the end", {{"chunk.0", "!" + packed + "trailing"}},
       "goes on after its end"},
      {"a second stream after the first",
       {{"chunk.0", "!" + packed + deflated("more")}}, "goes on after its end"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::pair<std::string, std::string>> body = {
        {"resp.0.retcode", "ok"},
        {"resp.0.clientOp.count", "1"},
        {"resp.0.clientOp.0.chunk.count", "1"},
        {"resp.0.clientOp.0.relPath", "new.bin"},
        {"resp.0.clientOp.0.type", "download"}};
    for (const auto& field : c.fields) {
      body.push_back({"resp.0.clientOp.0." + field.first, field.second});
    }
    scriptNext(200, nvpBody(body));
    try {
      sync({desc(local, "k", Session::LOAD_FROM_SERVER)});
      ADD_FAILURE() << "accepted";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, 103) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(listFolder(local), (std::vector<std::string>{"escape", "keep.txt"}));
  }
  // The announced size itself is no error.
  scriptNext(200, nvpBody({{"resp.0.retcode", "ok"},
                           {"resp.0.clientOp.count", "1"},
                           {"resp.0.clientOp.0.chunk.0", "!" + packed},
                           {"resp.0.clientOp.0.chunk.count", "1"},
                           {"resp.0.clientOp.0.fileSize", "100000"},
                           {"resp.0.clientOp.0.relPath", "new.bin"},
                           {"resp.0.clientOp.0.type", "download"}}));
  EXPECT_EQ(sync({desc(local, "k", Session::LOAD_FROM_SERVER)}), std::vector<int>{0});
  EXPECT_TRUE(readFile(local + "/new.bin") == contents);
}

TEST_F(HostileStoreTest, ABrokenDownloadKeepsTheOldFileAndItsOtherSpellings) {
  writeFile(local + "/KEEP.TXT", "other spelling");
  const std::string garbage = "!" + std::string("\x78\x9c not a stream", 16);
  scriptNext(200, nvpBody({{"resp.0.retcode", "ok"},
                           {"resp.0.clientOp.count", "1"},
                           {"resp.0.clientOp.0.type", "download"},
                           {"resp.0.clientOp.0.relPath", "keep.txt"},
                           {"resp.0.clientOp.0.chunk.count", "1"},
                           {"resp.0.clientOp.0.chunk.0", garbage}}));
  // Two spellings in the folder: the scan refuses it before anything is sent.
  EXPECT_THROW(sync({desc(local, "k", Session::LOAD_FROM_SERVER)}), vexo::VexoException);
  fs::remove(local + "/KEEP.TXT");
  const auto before = snapshot(local);
  EXPECT_THROW(sync({desc(local, "k", Session::LOAD_FROM_SERVER)}), vexo::VexoException);
  EXPECT_EQ(snapshot(local), before);
}

}  // namespace
}  // namespace vexotest
