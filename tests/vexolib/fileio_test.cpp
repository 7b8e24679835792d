// The shared file pieces: the confinement of a relative path to its root, and the writer that
// replaces a file only when the new one is whole.
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/safe_paths.h"

namespace vexotest {
namespace {

namespace fs = boost::filesystem;
using vexo::fileio::AtomicFileWriter;
using vexo::fileio::resolveInRoot;

class ResolveInRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetFramework();
    root_ = makeFolder("root");
    outside_ = makeFolder("outside");
    ::mkdir((root_ + "/sub").c_str(), 0700);
    writeFile(root_ + "/sub/file", "x");
    writeFile(outside_ + "/secret", "s");
    ASSERT_EQ(::symlink(outside_.c_str(), (root_ + "/out").c_str()), 0);
    ASSERT_EQ(::symlink((outside_ + "/secret").c_str(), (root_ + "/secret-link").c_str()), 0);
    ASSERT_EQ(::symlink((root_ + "/sub").c_str(), (root_ + "/in").c_str()), 0);
    ASSERT_EQ(::symlink("sub/file", (root_ + "/relative-in").c_str()), 0);
    ASSERT_EQ(::symlink("../outside", (root_ + "/relative-out").c_str()), 0);
  }
  std::string root_;
  std::string outside_;
};

TEST_F(ResolveInRootTest, RefusesEveryPathThatCouldLeaveTheRoot) {
  struct Case {
    std::string relPath;
    bool accepted;
  };
  const Case cases[] = {
      {"sub/file", true},
      {"sub/new-file", true},
      {"new/folder/file", true},
      {"./sub/./file", true},
      {"in/file", true},
      {"relative-in", true},
      {"", false},
      {"/etc/passwd", false},
      {"..", false},
      {"../outside/secret", false},
      {"sub/../../outside", false},
      {"sub/..", false},
      {"sub//file", true},
      {"sub/", true},
      {"./.", false},
      {"/", false},
      {std::string("sub/fi\0le", 9), false},
      {"out", false},
      {"out/secret", false},
      {"out/not-there-yet", false},
      {"secret-link", false},
      {"relative-out/secret", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.relPath + "'");
    fs::path resolved;
    EXPECT_EQ(resolveInRoot(root_, c.relPath, resolved), c.accepted);
    if (c.accepted) {
      fs::path expected = (fs::path(root_) / c.relPath).lexically_normal();
      if (expected.filename() == ".") {
        expected = expected.parent_path();  // what a trailing '/' leaves
      }
      EXPECT_EQ(resolved, expected);
    }
  }
}

TEST_F(ResolveInRootTest, AMissingRootHasNothingBelowItToLeadOut) {
  fs::path resolved;
  EXPECT_TRUE(resolveInRoot(root_ + "/missing", "a/b", resolved));
  EXPECT_EQ(resolved, fs::path(root_ + "/missing/a/b"));
  EXPECT_FALSE(resolveInRoot(root_ + "/missing", "a/../../b", resolved));
}

TEST(AtomicFileWriterTest, TheOldFileStaysUntilTheNewOneIsWholeAndNoTemporaryIsLeft) {
  resetFramework();
  const std::string folder = makeFolder("atomic");
  const std::string target = folder + "/grades.txt";
  writeFile(target, "old");
  {
    AtomicFileWriter writer(target);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.write("new", 3));
    EXPECT_EQ(readFile(target), "old");
    // Dropped without replace(): nothing of it stays.
  }
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(listFolder(folder), std::vector<std::string>{"grades.txt"});
  {
    AtomicFileWriter writer(target);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.write("new", 3));
    EXPECT_FALSE(writer.replace()) << "an unfinished file never replaces";
    ASSERT_TRUE(writer.finish());
    ASSERT_TRUE(writer.replace());
  }
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(listFolder(folder), std::vector<std::string>{"grades.txt"});
}

}  // namespace
}  // namespace vexotest
