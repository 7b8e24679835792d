// The local directory image on real folders of the sandbox: what a scan records, links and
// their cycles, the letter-case check, the disk changes made through the image, and the
// confinement of the server's relative paths.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <gtest/gtest.h>
#include <zlib.h>

#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/sync/DirImage.h"

namespace vexotest {
namespace {

namespace fs = boost::filesystem;
using vexo::DirProxy;
using vexo::PathInfo;

unsigned int crcOf(const std::string& bytes) {
  return static_cast<unsigned int>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()),
                                         static_cast<uInt>(bytes.size())));
}

class DirImageTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    root = makeFolder("image");
  }
  std::string at(const std::string& rel) const { return root + "/" + rel; }
  void symlinkTo(const std::string& target, const std::string& rel) const {
    ASSERT_EQ(::symlink(target.c_str(), at(rel).c_str()), 0) << rel;
  }

  std::string root;
};

TEST_F(DirImageTest, KeysComeInByteOrderWithFileFactsAndFoldersWithout) {
  fs::create_directories(at("a"));
  writeFile(at("a.txt"), "alpha");
  writeFile(at("a/b.txt"), "beta!");
  writeFile(at("a b"), "");
  writeFile(at(".hidden"), "h");
  DirProxy image(root);
  EXPECT_EQ(image.getRelPaths(),
            (std::vector<std::string>{".hidden", "a", "a b", "a.txt", "a/b.txt"}));
  const PathInfo& folder = image.accessPathInfo("a");
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_FALSE(folder.lastModified || folder.fileSize || folder.crc);
  const PathInfo& file = image.accessPathInfo("a/b.txt");
  EXPECT_FALSE(file.isDirectory);
  EXPECT_EQ(file.relPath, "a/b.txt");
  EXPECT_EQ(*file.fileSize, 5u);
  EXPECT_EQ(*file.crc, crcOf("beta!"));
  EXPECT_EQ(*file.lastModified, vexo::platform::getFileLastModifiedString(at("a/b.txt")));
  EXPECT_EQ(*image.accessPathInfo("a b").fileSize, 0u);
  EXPECT_THROW(image.accessPathInfo("absent"), std::logic_error);
}

TEST_F(DirImageTest, WithoutCrcOptionNoRecordHasACrc) {
  writeFile(at("x"), "1");
  vexo::platform::overrideBoolConfigOption("calcfilecrc", false);
  DirProxy image(root);
  EXPECT_FALSE(image.accessPathInfo("x").crc);
  EXPECT_TRUE(image.accessPathInfo("x").fileSize);
}

TEST_F(DirImageTest, MissingOrFileRootGivesAnEmptyImage) {
  writeFile(at("plain"), "x");
  EXPECT_TRUE(DirProxy(at("plain")).getRelPaths().empty());
  EXPECT_TRUE(DirProxy(at("nowhere")).getRelPaths().empty());
  EXPECT_FALSE(DirProxy(root).containsDuplicatePathsWhenLetterCaseIgnored());
}

TEST_F(DirImageTest, LinksInsideAreFollowedDanglingOnesSkippedAndCyclesNotEntered) {
  fs::create_directories(at("store"));
  writeFile(at("store/target.txt"), "target bytes");
  fs::create_directories(at("d/e"));
  writeFile(at("d/e/f"), "f");
  symlinkTo("store/target.txt", "file-link");
  symlinkTo(at("store"), "dir-link");
  symlinkTo(at("gone"), "dangling");
  // Both lead back up the tree: without the guard the walk would never end.
  symlinkTo("..", "d/e/up");
  symlinkTo(root, "d/root-link");
  DirProxy image(root);
  EXPECT_EQ(image.getRelPaths(),
            (std::vector<std::string>{"d", "d/e", "d/e/f", "dir-link", "dir-link/target.txt",
                                      "file-link", "store", "store/target.txt"}));
  EXPECT_TRUE(image.accessPathInfo("dir-link").isDirectory);
  EXPECT_EQ(*image.accessPathInfo("file-link").crc, crcOf("target bytes"));
  EXPECT_EQ(*image.accessPathInfo("file-link").fileSize, 12u);
}

// The server could give no order for a path that leads out of the folder without it being
// refused, so the folder would never finish a sync: such paths are not shown to it at all.
TEST_F(DirImageTest, LinksThatLeadOutOfTheFolderAreLeftOut) {
  const std::string outside = makeFolder("image-outside");
  writeFile(outside + "/target.txt", "target bytes");
  fs::create_directories(at("in"));
  writeFile(at("in/kept.txt"), "kept");
  symlinkTo(outside + "/target.txt", "file-out");
  symlinkTo(outside, "dir-out");
  symlinkTo("../image-outside", "in/relative-out");
  symlinkTo("/etc/passwd", "in/system-file");
  symlinkTo(".", "in/self");  // inside, and a cycle
  for (const bool crc : {true, false}) {
    vexo::platform::overrideBoolConfigOption("calcfilecrc", crc);
    EXPECT_EQ(DirProxy(root).getRelPaths(), (std::vector<std::string>{"in", "in/kept.txt"}))
        << "CRC " << crc;
  }
}

// Opening a FIFO for its CRC waits for a writer that never comes; a socket cannot be opened
// at all. Neither is a file the server can hold, so the scan leaves them out unopened.
TEST_F(DirImageTest, PipesSocketsAndLinksToThemAreLeftOutUnopened) {
  fs::create_directories(at("sub"));
  writeFile(at("sub/real.txt"), "real");
  ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(at("sub/pipe").c_str(), 0600), 0);
  symlinkTo("pipe", "pipe-link");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  struct sockaddr_un address {};
  address.sun_family = AF_UNIX;
  const std::string socketPath = at("sub/socket");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const bool crc : {true, false}) {
    vexo::platform::overrideBoolConfigOption("calcfilecrc", crc);
    EXPECT_EQ(DirProxy(root).getRelPaths(), (std::vector<std::string>{"sub", "sub/real.txt"}))
        << "CRC " << crc;
  }
  ::close(listener);
}

TEST_F(DirImageTest, LetterCaseDuplicatesAreFoundAnywhereInThePath) {
  const struct {
    std::vector<std::string> files;
    bool duplicate;
  } cases[] = {
      {{"Report.txt", "report.TXT"}, true},
      {{"Notes/Week1.txt", "notes/week1.TXT"}, true},
      {{"Notes/a", "notes/b"}, true},
      {{"Photo.JPG", "photo2.jpg"}, false},
  };
  for (const auto& c : cases) {
    const std::string folder = makeFolder("case");
    for (const std::string& f : c.files) {
      fs::create_directories(fs::path(folder + "/" + f).parent_path());
      writeFile(folder + "/" + f, f);
    }
    EXPECT_EQ(DirProxy(folder).containsDuplicatePathsWhenLetterCaseIgnored(), c.duplicate)
        << c.files[0] << " " << c.files[1];
  }
}

TEST_F(DirImageTest, FilesOfTwoGibibytesOrMoreAreRefusedBeforeTheyAreRead) {
  {
    std::ofstream big(at("big.bin"), std::ios::binary);
  }
  // Sparse: no disk space, and the refusal must come before any CRC reading.
  ASSERT_EQ(::truncate(at("big.bin").c_str(), 0x80000000LL), 0);
  try {
    DirProxy image(root);
    FAIL() << "a 2 GiB file was accepted";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_NE(std::string(e.what()).find("big.bin"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("2 GiB"), std::string::npos) << e.what();
  }
  ASSERT_EQ(::truncate(at("big.bin").c_str(), 0x7fffffffLL), 0);
  vexo::platform::overrideBoolConfigOption("calcfilecrc", false);
  EXPECT_EQ(*DirProxy(root).accessPathInfo("big.bin").fileSize, 0x7fffffffu);
}

// Folders are listed on several threads, and past a bound the thread that finds a folder
// lists it itself: a tree wider than that bound and one deeper than a few levels come out
// whole, and a refusal deep in one branch still ends the scan.
TEST_F(DirImageTest, AWideAndDeepTreeIsImagedWholeAndAFailureAnywhereEndsTheScan) {
  std::vector<std::string> expected;
  for (int i = 0; i < 150; ++i) {
    const std::string folder = "w" + std::to_string(i);
    fs::create_directories(at(folder));
    writeFile(at(folder + "/f"), folder);
    expected.push_back(folder);
    expected.push_back(folder + "/f");
  }
  std::string deep = "deep";
  for (int level = 0; level < 40; ++level) {
    fs::create_directories(at(deep));
    writeFile(at(deep + "/leaf"), deep);
    expected.push_back(deep);
    expected.push_back(deep + "/leaf");
    deep += "/d";
  }
  std::sort(expected.begin(), expected.end());
  for (const bool crc : {true, false}) {
    vexo::platform::overrideBoolConfigOption("calcfilecrc", crc);
    DirProxy image(root);
    EXPECT_EQ(image.getRelPaths(), expected) << "CRC " << crc;
    if (crc) {
      EXPECT_EQ(*image.accessPathInfo("w149/f").crc, crcOf("w149"));
      EXPECT_EQ(*image.accessPathInfo("deep/d/d/leaf").crc, crcOf("deep/d/d"));
    }
  }
  for (const std::string where : {"w77", "deep/d/d/d/d/d/d/d/d/d/d/d"}) {
    SCOPED_TRACE(where);
    { std::ofstream big(at(where + "/big.bin"), std::ios::binary); }
    ASSERT_EQ(::truncate(at(where + "/big.bin").c_str(), 0x80000000LL), 0);
    EXPECT_THROW(DirProxy image(root), vexo::VexoException);
    fs::remove(at(where + "/big.bin"));
  }
}

TEST_F(DirImageTest, AnUnreadableFolderFailsTheScan) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads every folder";
  }
  fs::create_directories(at("locked"));
  ::chmod(at("locked").c_str(), 0);
  EXPECT_THROW(DirProxy image(root), fs::filesystem_error);
  ::chmod(at("locked").c_str(), 0700);
}

TEST_F(DirImageTest, MkdirAndDeleteChangeTheDiskButNotTheImage) {
  const std::string outside = makeFolder("image-kept");
  writeFile(outside + "/keep.txt", "keep");
  fs::create_directories(at("tree/sub"));
  writeFile(at("tree/sub/x"), "x");
  symlinkTo(outside, "link");
  DirProxy image(root);
  const std::vector<std::string> before = image.getRelPaths();

  image.mkdirAtRelPath("new");
  image.mkdirAtRelPath("new");
  EXPECT_TRUE(fs::is_directory(at("new")));
  writeFile(at("afile"), "f");
  EXPECT_THROW(image.mkdirAtRelPath("afile"), fs::filesystem_error);
  EXPECT_THROW(image.mkdirAtRelPath("no/parent"), fs::filesystem_error);

  image.deleteAtRelPath("tree");
  image.deleteAtRelPath("missing");
  image.deleteAtRelPath("link");
  EXPECT_FALSE(fs::exists(at("tree")));
  EXPECT_FALSE(fs::symlink_status(at("link")).type() == fs::symlink_file);
  EXPECT_EQ(readFile(outside + "/keep.txt"), "keep");
  EXPECT_THROW(image.deleteAtRelPath(""), vexo::VexoException);
  EXPECT_TRUE(fs::is_directory(root));
  EXPECT_EQ(image.getRelPaths(), before);
}

TEST_F(DirImageTest, ServerPathsAreConfinedToTheFolder) {
  const std::string outside = makeFolder("image-elsewhere");
  fs::create_directories(at("in/deep"));
  symlinkTo(outside, "out");
  symlinkTo("in/deep", "inner");
  symlinkTo("/etc/passwd", "passwd");
  const struct {
    const char* relPath;
    bool accepted;
  } cases[] = {
      {"a.txt", true},           {"in/deep/new.txt", true}, {"inner/x", true},
      {"not/yet/there", true},   {"", false},               {"/etc/x", false},
      {"../x", false},           {"a/../../b", false},      {"in/..", false},
      {".", false},              {"in/./x", true},         {"out", false},
      {"out/x", false},          {"passwd", false},
  };
  for (const auto& c : cases) {
    if (c.accepted) {
      EXPECT_EQ(vexo::fileio::confinedPath(root, c.relPath),
                (fs::path(root) / c.relPath).lexically_normal())
          << c.relPath;
    } else {
      try {
        vexo::fileio::confinedPath(root, c.relPath);
        ADD_FAILURE() << "accepted '" << c.relPath << "'";
      } catch (const vexo::VexoException& e) {
        EXPECT_EQ(e.statusCode, 103) << c.relPath;
      }
    }
  }
}

}  // namespace
}  // namespace vexotest
