// File handles, names, sizes, working folders, temporary files, file times and permissions.
#include <ctime>
#include <memory>
#include <regex>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace {

namespace platform = vexo::platform;
using vexotest::FrameworkTest;
using vexotest::ScopedEnv;
using vexotest::modeOf;

class FilesTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    dir = vexotest::makeFolder("files");
  }
  std::string dir;
};

TEST(FileNames, LastComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"a/b/c.txt", "c.txt"}, {"c.txt", "c.txt"}, {"/a/b/", ""}, {"/", ""}, {"", ""},
      {"/x", "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::getFileNameFromPath(c.first), c.second) << c.first;
  }
}

TEST_F(FilesTest, ReadWriteOpenKeepsContentsAndCreatesPrivately) {
  const std::string path = dir + "/ten";
  vexotest::writeFile(path, "0123456789");
  int handle = platform::openBinaryReadWriteFile(path);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(platform::writeFileHandle(handle, "abc", 3), 3);
  EXPECT_EQ(platform::closeFileHandle(handle), 0);
  EXPECT_EQ(vexotest::readFile(path), "abc3456789");

  const std::string fresh = dir + "/fresh";
  handle = platform::openBinaryReadWriteFile(fresh);
  ASSERT_GE(handle, 0);
  platform::closeFileHandle(handle);
  EXPECT_EQ(modeOf(fresh), 0600u);
  EXPECT_EQ(platform::openBinaryReadOnlyFile(dir + "/missing"), -1);
  EXPECT_EQ(platform::closeFileHandle(-1), -1);
}

TEST_F(FilesTest, ReadsAndSeeks) {
  const std::string path = dir + "/digits";
  vexotest::writeFile(path, "0123456789");
  const int handle = platform::openBinaryReadOnlyFile(path);
  ASSERT_GE(handle, 0);
  char buffer[4] = {};
  ASSERT_TRUE(platform::seekFileHandleForward(handle, 2));
  ASSERT_EQ(platform::readFileHandle(handle, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "234");
  ASSERT_TRUE(platform::seekFileHandleForward(handle, 1));
  ASSERT_EQ(platform::readFileHandle(handle, buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(platform::readFileHandle(handle, buffer, 4), 0);
  ASSERT_TRUE(platform::seekFileHandleToOffset(handle, 1));
  ASSERT_EQ(platform::readFileHandle(handle, buffer, 1), 1);
  EXPECT_EQ(buffer[0], '1');
  EXPECT_FALSE(platform::seekFileHandleToOffset(handle, UINT64_MAX));
  platform::closeFileHandle(handle);
  EXPECT_FALSE(platform::seekFileHandleForward(-1, 0));
  EXPECT_EQ(platform::readFileHandle(-1, buffer, 1), -1);
}

TEST_F(FilesTest, SizesAreSixtyFourBit) {
  const std::string path = dir + "/sparse";
  const int handle = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(handle, 0);
  const std::uint64_t big = (5ull << 30) + 3;  // 5 GiB and a bit: no disk is used
  ASSERT_EQ(::ftruncate(handle, static_cast<off_t>(big)), 0);
  ::close(handle);
  EXPECT_EQ(platform::fileSize(path), big);
  const int reader = platform::openBinaryReadOnlyFile(path);
  EXPECT_TRUE(platform::seekFileHandleToOffset(reader, big - 1));
  char last = 'x';
  EXPECT_EQ(platform::readFileHandle(reader, &last, 1), 1);
  EXPECT_EQ(last, '\0');
  platform::closeFileHandle(reader);
}

TEST_F(FilesTest, SizeAndExistenceFailures) {
  try {
    platform::fileSize(dir + "/missing");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), ("fileSize: file '" + dir + "/missing' not found (errno = 2)").c_str());
  }
  EXPECT_FALSE(platform::fileExists(dir + "/missing"));
  vexotest::writeFile(dir + "/plain", "x");
  EXPECT_TRUE(platform::fileExists(dir + "/plain"));
  EXPECT_TRUE(platform::fileExists(dir));
  try {
    platform::fileExists(dir + "/plain/inside");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "fileExists: other error, file '" + dir + "/plain/inside' (errno = 20)");
  }
}

// ---- Working folders ----------------------------------------------------------------------

TEST_F(FilesTest, TemporaryFolderIsPrivateAndOurs) {
  const std::string root = vexotest::sandboxRoot();
  EXPECT_EQ(platform::getTemporaryDirectory(), root + "/run/vexo");
  EXPECT_EQ(modeOf(root + "/run/vexo"), 0700u);

  // Without a runtime folder: a per-user folder under TMPDIR.
  ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
  const std::string perUser = root + "/tmp/vexo-" + std::to_string(geteuid());
  boost::filesystem::remove_all(perUser);
  platform::detail::resetFolderCache();
  EXPECT_EQ(platform::getTemporaryDirectory(), perUser);
  EXPECT_EQ(modeOf(perUser), 0700u);

  // A folder of ours that others could enter is closed up.
  ::chmod(perUser.c_str(), 0755);
  platform::detail::resetFolderCache();
  EXPECT_EQ(platform::getTemporaryDirectory(), perUser);
  EXPECT_EQ(modeOf(perUser), 0700u);

  // A link planted in its place is refused; the last resort is a private folder in /var/tmp.
  boost::filesystem::remove_all(perUser);
  const std::string elsewhere = vexotest::makeFolder("elsewhere");
  ASSERT_EQ(::symlink(elsewhere.c_str(), perUser.c_str()), 0);
  platform::detail::resetFolderCache();
  const std::string lastResort = "/var/tmp/vexo-" + std::to_string(geteuid());
  EXPECT_EQ(platform::getTemporaryDirectory(), lastResort);
  EXPECT_EQ(modeOf(lastResort), 0700u);
  ::unlink(perUser.c_str());
}

TEST_F(FilesTest, TemporaryFolderIsFixedForTheProcess) {
  const std::string first = platform::getTemporaryDirectory();
  ScopedEnv otherRuntime("XDG_RUNTIME_DIR", dir.c_str());
  EXPECT_EQ(platform::getTemporaryDirectory(), first);
}

TEST_F(FilesTest, CacheFolder) {
  const std::string root = vexotest::sandboxRoot();
  EXPECT_EQ(platform::getCacheDirectory(), root + "/cache/vexo");
  {
    // Without XDG_CACHE_HOME: ~/.cache, made when a fresh account has none.
    ScopedEnv noCacheHome("XDG_CACHE_HOME", nullptr);
    boost::filesystem::remove_all(root + "/home/.cache");
    platform::detail::resetFolderCache();
    EXPECT_EQ(platform::getCacheDirectory(), root + "/home/.cache/vexo");
    EXPECT_TRUE(boost::filesystem::is_directory(root + "/home/.cache/vexo"));
  }
  {
    // No home to put it in: the private temporary folder, for the trace files too (pruning
    // there can never delete another program's trace-*.log).
    ScopedEnv noCacheHome("XDG_CACHE_HOME", nullptr);
    ScopedEnv noHome("HOME", (root + "/no-such-home").c_str());
    platform::detail::resetFolderCache();
    platform::detail::resetTracing();
    const std::string temporary = platform::getTemporaryDirectory();
    EXPECT_EQ(platform::getCacheDirectory(), temporary);
    EXPECT_EQ(platform::getTraceLogDirectory(), temporary);
    EXPECT_EQ(modeOf(temporary), 0700u);
  }
}

TEST_F(FilesTest, OnlyTwoPurposes) {
  EXPECT_NO_THROW(platform::detail::getSpecialPurposeDirectoryPathString(0));
  EXPECT_NO_THROW(platform::detail::getSpecialPurposeDirectoryPathString(1));
  try {
    platform::detail::getSpecialPurposeDirectoryPathString(2);
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_STREQ(e.what(), "Invalid purpose code");
  }
}

TEST_F(FilesTest, TemporaryFilesAreNewPrivateAndDistinct) {
  std::set<std::string> paths;
  for (int i = 0; i < 20; ++i) {
    const auto temp = platform::createTemporaryFile();
    ASSERT_GE(temp.first, 0);
    EXPECT_EQ(temp.second.substr(0, temp.second.rfind('/')), platform::getTemporaryDirectory());
    EXPECT_TRUE(std::regex_match(platform::getFileNameFromPath(temp.second),
                                 std::regex("temp\\.[A-Za-z0-9]{8}")))
        << temp.second;
    EXPECT_EQ(modeOf(temp.second), 0600u);
    EXPECT_EQ(platform::writeFileHandle(temp.first, "xy", 2), 2);
    ASSERT_TRUE(platform::seekFileHandleToOffset(temp.first, 0));
    char back[2];
    EXPECT_EQ(platform::readFileHandle(temp.first, back, 2), 2);
    platform::closeFileHandle(temp.first);
    paths.insert(temp.second);
  }
  EXPECT_EQ(paths.size(), 20u);
  for (const std::string& path : paths) {
    EXPECT_TRUE(platform::deleteTemporaryFile(path));
  }
}

TEST_F(FilesTest, TemporaryFileFailureIsReported) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
  platform::detail::resetFolderCache();
  ASSERT_EQ(platform::getTemporaryDirectory(), dir + "/vexo");
  // The folder is settled for the process; take it away underneath.
  boost::filesystem::remove_all(dir + "/vexo");
  try {
    platform::createTemporaryFile();
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_STREQ(e.what(), "Failed to create temporary file.");
  }
}

// Copies a killed process left behind go after a day; fresh ones, other names, folders and
// links stay, and so does everything in a folder that is not our private one.
TEST_F(FilesTest, LeftoverTemporaryCopiesOlderThanADayAreSwept) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
  platform::detail::resetFolderCache();
  const std::string folder = platform::getTemporaryDirectory();
  ASSERT_EQ(folder, dir + "/vexo");
  const std::time_t now = std::time(nullptr);
  const auto age = [&](const std::string& name, std::time_t seconds) {
    struct timeval times[2] = {{now - seconds, 0}, {now - seconds, 0}};
    ASSERT_EQ(::lutimes((folder + "/" + name).c_str(), times), 0) << name;
  };
  const auto made = platform::createTemporaryFile();
  platform::closeFileHandle(made.first);
  const std::string stale = platform::getFileNameFromPath(made.second);
  age(stale, 25 * 3600);
  vexotest::writeFile(folder + "/temp.Fresh123", "in use");
  age("temp.Fresh123", 23 * 3600);
  for (const char* other : {"temp.short", "temp.TooLong123", "trace-x.log", "temp.ab-d1234"}) {
    vexotest::writeFile(folder + "/" + other, "not a copy of ours");
    age(other, 30 * 24 * 3600);
  }
  ::mkdir((folder + "/temp.Folder12").c_str(), 0700);
  age("temp.Folder12", 30 * 24 * 3600);
  const std::string target = vexotest::makeFolder("sweep-target") + "/kept";
  vexotest::writeFile(target, "elsewhere");
  ASSERT_EQ(::symlink(target.c_str(), (folder + "/temp.LinkLink").c_str()), 0);
  age("temp.LinkLink", 30 * 24 * 3600);

  platform::deleteRemainingTemporaryData();
  EXPECT_EQ(vexotest::listFolder(folder),
            (std::vector<std::string>{"temp.Folder12", "temp.Fresh123", "temp.LinkLink",
                                      "temp.TooLong123", "temp.ab-d1234", "temp.short",
                                      "trace-x.log"}));
  EXPECT_EQ(vexotest::readFile(target), "elsewhere");

  // A folder others can write into is not ours to clean.
  ::chmod(folder.c_str(), 0777);
  vexotest::writeFile(folder + "/temp.Shared12", "someone else's");
  age("temp.Shared12", 30 * 24 * 3600);
  platform::deleteRemainingTemporaryData();
  ::chmod(folder.c_str(), 0700);
  EXPECT_EQ(vexotest::readFile(folder + "/temp.Shared12"), "someone else's");
}

// ---- File times ----------------------------------------------------------------------------

// Local time with daylight saving (US Eastern rules, written out so no zone data is needed).
class FileTimeTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    tz = std::make_unique<ScopedEnv>("TZ", "EST5EDT,M3.2.0,M11.1.0");
    tzset();
  }
  void TearDown() override {
    tz.reset();
    tzset();
    FilesTest::TearDown();
  }
  static void setTime(const std::string& path, std::time_t t) {
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  static std::time_t mtimeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtime;
  }
  std::unique_ptr<ScopedEnv> tz;
};

TEST_F(FileTimeTest, RoundTripsAcrossDaylightSaving) {
  struct Case {
    std::time_t utc;
    const char* local;
  };
  const Case cases[] = {
      {1610730000, "2021-01-15-1200-00"},  // winter
      {1626364800, "2021-07-15-1200-00"},  // summer
      {1615705199, "2021-03-14-0159-59"},  // last second before clocks go forward
      {1615705200, "2021-03-14-0300-00"},  // first second after
      {1636261199, "2021-11-07-0059-59"},  // before the repeated hour
      {1636268400, "2021-11-07-0200-00"},  // after it
      {946702800, "2000-01-01-0000-00"},
  };
  const std::string source = dir + "/source";
  const std::string target = dir + "/target";
  vexotest::writeFile(source, "s");
  vexotest::writeFile(target, "t");
  for (const Case& c : cases) {
    setTime(source, c.utc);
    const std::string text = platform::getFileLastModifiedString(source);
    EXPECT_EQ(text, c.local);
    setTime(target, 0);
    ASSERT_TRUE(platform::setFileLastModifiedFromString(target, text));
    EXPECT_EQ(mtimeOf(target), c.utc) << text;
  }
}

TEST_F(FileTimeTest, TextForms) {
  const std::string path = dir + "/f";
  vexotest::writeFile(path, "x");
  ASSERT_TRUE(platform::setFileLastModifiedFromString(path, "2007-03-05-930-07"));
  EXPECT_EQ(platform::getFileLastModifiedString(path), "2007-03-05-0930-07");
  ASSERT_TRUE(platform::setFileLastModifiedFromString(path, "2007-03-05-0930-08-extra"));
  EXPECT_EQ(platform::getFileLastModifiedString(path), "2007-03-05-0930-08");

  EXPECT_FALSE(platform::setFileLastModifiedFromString(path, "2007-03-05-0930"));
  EXPECT_FALSE(platform::setFileLastModifiedFromString(path, "2007--03-05-0930-"));
  EXPECT_EQ(platform::getFileLastModifiedString(path), "2007-03-05-0930-08");
  EXPECT_THROW(platform::setFileLastModifiedFromString(path, "2007-03-05-09h30-07"),
               boost::bad_lexical_cast);

  EXPECT_FALSE(platform::setFileLastModifiedFromString(dir + "/missing", "2007-03-05-0930-07"));
  EXPECT_NE(platform::accessLogTable().back().text.find(
                dir + "/missing: unable to set file time"),
            std::string::npos);
  EXPECT_THROW(platform::getFileLastModifiedString(dir + "/missing"), std::runtime_error);
}

TEST_F(FileTimeTest, TimesThatCannotExistFailAndLeaveTheFileAlone) {
  const std::string path = dir + "/f";
  vexotest::writeFile(path, "x");
  ASSERT_TRUE(platform::setFileLastModifiedFromString(path, "2008-02-29-2359-59"));
  for (const char* impossible :
       {"2007-13-01-1200-00", "2007-00-10-1200-00", "2007-02-30-1200-00", "2007-02-29-1200-00",
        "2007-04-31-1200-00", "2007-01-00-1200-00", "2007-01-32-1200-00", "2007-01-10-2400-00",
        "2007-01-10-1260-00", "2007-01-10-1200-60"}) {
    SCOPED_TRACE(impossible);
    EXPECT_FALSE(platform::setFileLastModifiedFromString(path, impossible));
    EXPECT_EQ(platform::getFileLastModifiedString(path), "2008-02-29-2359-59");
  }
}

// ---- Permissions and the program ----------------------------------------------------------

TEST_F(FilesTest, ExecutableMarks) {
  const std::string path = dir + "/tool";
  vexotest::writeFile(path, "#!/bin/sh\n");
  ::chmod(path.c_str(), 0644);
  EXPECT_FALSE(platform::isFileMarkedExecutable(path));
  const std::size_t entries = platform::accessLogTable().size();
  EXPECT_TRUE(platform::markFileExecutable(path));
  EXPECT_EQ(modeOf(path), 0755u);
  EXPECT_TRUE(platform::isFileMarkedExecutable(path));
  ASSERT_EQ(platform::accessLogTable().size(), entries + 1);
  EXPECT_NE(platform::accessLogTable().back().text.find("Marked file " + path + " executable."),
            std::string::npos);

  // Only the owner's bit counts.
  ::chmod(path.c_str(), 0611);
  EXPECT_FALSE(platform::isFileMarkedExecutable(path));

  const std::string sub = vexotest::makeFolder("files-sub");
  const unsigned int before = modeOf(sub);
  EXPECT_FALSE(platform::markFileExecutable(sub));
  EXPECT_EQ(modeOf(sub), before);
  EXPECT_FALSE(platform::isFileMarkedExecutable(sub));
  EXPECT_FALSE(platform::markFileExecutable(dir + "/missing"));
}

TEST_F(FilesTest, SystemFacts) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(n, 0);
  EXPECT_EQ(platform::getProgramPath(), std::string(self, static_cast<std::size_t>(n)));
  EXPECT_EQ(platform::getProcessIDString(), std::to_string(getpid()));
  EXPECT_TRUE(std::regex_match(platform::getOSVersionString(), std::regex(".+ \\(.+\\)")));
}

}  // namespace
