#include "marktally/model/fileutil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "model_fixture.h"

namespace fs = std::filesystem;

namespace {

class FileUtilTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/mt-fileutil-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    SetFileFaultsForTesting(nullptr);
    fs::remove_all(dir);
    ModelTest::TearDown();
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  void MakeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
  }
  std::string dir;
};

struct ExplanationCase {
  int16_t code;
  const char* text;
};

const ExplanationCase kExplanations[] = {
    {-61, "This document is locked. You can use 'Save As' to save your changes."},
    {-45, "This document is locked. You can use 'Save As' to save your changes."},
    {-46, "This document is in a folder that is locked. You can use 'Save As' to save your "
          "changes somewhere else."},
    {-44, "This document is on a disk that is write-protected. Eject the disk and adjust the "
          "write-protect tab."},
    {-43, "File 'Biology.mtb' was not found."},
    {-39, "This document appears to be damaged. You should use your backup copy instead."},
    {-36, "The disk you are using appears to be damaged. Copy everything from this disk to "
          "another disk and run Disk First Aid to attempt to repair the disk."},
    {-35, "The disk the document was saved on has been ejected. Insert the disk and try "
          "again."},
    {-34, "The disk is full. You can delete some files or use 'Save As' to save your changes "
          "somewhere else."},
    {-33, "The disk is full. You can delete some files or use 'Save As' to save your changes "
          "somewhere else."},
    {906, "This document was created with a newer version of Marktally than this one. You "
          "need to open the document with that version. You can download the latest version "
          "from my web site. "},
    {907, "This document was created by a version of Marktally older than 4.0 and cannot be "
          "opened with this version of Marktally. "},
    {908, "Your attempt to save failed. This may indicate a problem with the disk. Try doing "
          "Save As and saving to another disk or location."},
    {909, "This document appears to be corrupted. You should use your backup copy. This may "
          "indicate a problem with the disk you are saving on. You can try running disk "
          "repair software to help prevent problems like this in the future."},
    {-37, "Error -37 on file Biology.mtb was reported. If you are opening a class, you should "
          "use your backup. If you are saving a class, use 'Save As' to save your changes "
          "somewhere else."},
};

TEST_F(FileUtilTest, EveryCodeShowsItsOwnStopAlert) {
  for (const auto& c : kExplanations) {
    alerts.clear();
    HandleError(PStr("Biology.mtb"), c.code);
    ASSERT_EQ(alerts.size(), 1u) << c.code;
    EXPECT_EQ(alerts[0].kind, kStopAlert);
    EXPECT_EQ(alerts[0].buttons, kAlertOK);
    EXPECT_EQ(alerts[0].title, "Error");
    EXPECT_EQ(alerts[0].text, c.text) << c.code;
  }
}

TEST_F(FileUtilTest, LongNamesAreCutAtTheTextsCapacity) {
  Str255 text;
  ErrorExplanation(PStr(std::string(200, 'x')), -37, text);
  EXPECT_EQ(text.length(), 255);
  EXPECT_EQ(text.str().substr(0, 20), "Error -37 on file xx");
}

TEST_F(FileUtilTest, ErrnoMapsToTheAlertsCodes) {
  const std::pair<int, OSErr> rows[] = {
      {ENOENT, fnfErr}, {EACCES, wrPermErr}, {EPERM, wrPermErr}, {EROFS, vLckdErr},
      {ENOSPC, dskFulErr}, {EDQUOT, dskFulErr}, {EIO, ioErr}, {EEXIST, dupFNErr},
      {ENAMETOOLONG, bdNamErr}, {ENXIO, nsvErr}, {ETXTBSY, fLckdErr},
  };
  for (const auto& [error, code] : rows) EXPECT_EQ(ErrnoToOSErr(error), code) << error;
  // Whatever the table leaves out stays clear of the document codes and of the codes
  // the alert explains in words.
  for (int e = 0; e < 4096; e++) {
    const OSErr code = ErrnoToOSErr(e);
    EXPECT_TRUE(code < 906 || code > 909) << e;
    EXPECT_NE(code, 0) << e;
  }
  EXPECT_EQ(ErrnoToOSErr(EXDEV), kErrnoBase - EXDEV);
  Str255 text;
  ErrorExplanation(PStr("a"), ErrnoToOSErr(EXDEV), text);
  const std::string code = std::to_string(kErrnoBase - EXDEV);
  EXPECT_EQ(text.str().substr(0, 15 + code.size()), "Error " + code + " on file ");
}

TEST_F(FileUtilTest, WrappersReportTheirFailureOnce) {
  gFileSpec.path = Path("Biology.mtb");
  FileRef ref;
  EXPECT_FALSE(OpenFile(ref));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].text, "File 'Biology.mtb' was not found.");

  EXPECT_TRUE(CreateFile(gFileSpec, kGradebookCreator, kGradebookType));
  EXPECT_TRUE(fs::exists(gFileSpec.path));
  // A name that is taken: the duplicate-name code and the last row's text.
  EXPECT_FALSE(CreateFile(gFileSpec, kGradebookCreator, kGradebookType));
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].text.substr(0, 33), "Error -48 on file Biology.mtb was");

  EXPECT_TRUE(OpenFile(ref, kReadWritePermission));
  FSClose(ref);
  EXPECT_TRUE(DeleteFile(gFileSpec));
  EXPECT_FALSE(DeleteFile(gFileSpec));
  EXPECT_EQ(alerts.size(), 3u);
}

TEST_F(FileUtilTest, FileNamesBecomeMacRoman) {
  Str255 name;
  GetFileName(FileSpec{"/home/t/Caf\xC3\xA9 \xE2\x80\x94 Physik \xE2\x82\xAC.mtb"}, name);
  EXPECT_EQ(name.str(), "Caf\x8E \xD1 Physik \xDB.mtb");
  GetFileName(FileSpec{"bare\xFF\xC3.mtb"}, name);  // not UTF-8
  EXPECT_EQ(name.str(), "bare??.mtb");
  unsigned char all[129];
  all[0] = 128;
  for (int i = 0; i < 128; i++) all[i + 1] = static_cast<unsigned char>(0x80 + i);
  Utf8ToMacRoman(MacRomanToUtf8(all), name);
  EXPECT_EQ(name.str(), std::string(reinterpret_cast<char*>(all + 1), 128));
  EXPECT_EQ(FolderOf("/a/b/c.mtb"), "/a/b");
  EXPECT_EQ(FolderOf("c.mtb"), ".");
  EXPECT_EQ(FolderOf("/c.mtb"), "/");
}

TEST_F(FileUtilTest, SeamFailsAWriteAtTheChosenByteAndEndsAReadEarly) {
  const FileSpec spec{Path("seam")};
  ASSERT_EQ(FSCreate(spec), noErr);
  FileRef ref;
  ASSERT_EQ(FSOpen(spec, kWritePermission, ref), noErr);
  FileFaults faults;
  faults.failWriteAt = 10;
  SetFileFaultsForTesting(&faults);
  int32_t count = 8;
  EXPECT_EQ(FSWrite(ref, count, "abcdefgh"), noErr);
  count = 8;
  EXPECT_EQ(FSWrite(ref, count, "ijklmnop"), dskFulErr);
  EXPECT_EQ(count, 2);
  FSClose(ref);
  EXPECT_EQ(Content(spec.path), "abcdefghij");

  faults = FileFaults{};
  faults.endReadAt = 4;
  SetFileFaultsForTesting(&faults);
  char buffer[16] = {};
  ASSERT_EQ(FSOpen(spec, kReadPermission, ref), noErr);
  count = 10;
  EXPECT_EQ(FSRead(ref, count, buffer), eofErr);
  EXPECT_EQ(count, 4);
  FSClose(ref);

  faults.readErrno = EIO;
  SetFileFaultsForTesting(&faults);
  ASSERT_EQ(FSOpen(spec, kReadPermission, ref), noErr);
  count = 10;
  EXPECT_EQ(FSRead(ref, count, buffer), ioErr);
  FSClose(ref);

  SetFileFaultsForTesting(nullptr);
  ASSERT_EQ(FSOpen(spec, kReadPermission, ref), noErr);
  count = 16;
  EXPECT_EQ(FSRead(ref, count, buffer), eofErr);  // the real end
  EXPECT_EQ(count, 10);
  FSClose(ref);
}

// A FIFO where the class should be would hold open() until some writer came.
TEST_F(FileUtilTest, AFifoOrDeviceIsRefusedWithoutWaiting) {
  alarm(30);  // a hang fails the test instead of the whole run
  ASSERT_EQ(mkfifo(Path("Class.mtb").c_str(), 0600), 0);
  for (const std::string& path : {Path("Class.mtb"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    for (FilePermission p : {kReadPermission, kWritePermission, kReadWritePermission}) {
      FileRef ref = 0;
      EXPECT_NE(FSOpen(FileSpec{path}, p, ref), noErr);
      EXPECT_EQ(ref, kNoFile);
    }
    alerts.clear();
    gFileSpec.path = path;
    FileRef ref = 0;
    EXPECT_FALSE(OpenFile(ref));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, "Error");
    SafeSave save(FileSpec{path});
    EXPECT_NE(save.Begin(ref), noErr);
  }
  gFileSpec.path.clear();
  alarm(0);
}

// Past the file-size limit a write moves what fits and then fails with EFBIG: that is
// the error to show, not a full disk.
TEST_F(FileUtilTest, AFailureAfterPartOfAWriteIsReportedAsItself) {
  struct rlimit was {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  FileRef ref = kNoFile;
  ASSERT_EQ(FSCreate(FileSpec{Path("big")}), noErr);
  ASSERT_EQ(FSOpen(FileSpec{Path("big")}, kWritePermission, ref), noErr);
  struct rlimit small = was;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string data(300, 'x');
  int32_t count = 300;
  const OSErr err = FSWrite(ref, count, data.data());
  setrlimit(RLIMIT_FSIZE, &was);
  signal(SIGXFSZ, previous);
  FSClose(ref);
  EXPECT_EQ(count, 100);
  EXPECT_EQ(err, ErrnoToOSErr(EFBIG));
  EXPECT_NE(err, dskFulErr);
}

TEST_F(FileUtilTest, SafeSaveReplacesOnlyOnCommit) {
  const std::string target = Path("class.mtb");
  MakeFile(target, "old");
  chmod(target.c_str(), 0640);
  {
    SafeSave save(FileSpec{target});
    FileRef ref;
    ASSERT_EQ(save.Begin(ref), noErr);
    EXPECT_EQ(FolderOf(save.temporary().path), dir);
    int32_t count = 3;
    ASSERT_EQ(FSWrite(ref, count, "new"), noErr);
    FSClose(ref);
    EXPECT_EQ(Content(target), "old");
  }  // abandoned
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(FilesInDir(), 1u);
  {
    SafeSave save(FileSpec{target});
    FileRef ref;
    ASSERT_EQ(save.Begin(ref), noErr);
    int32_t count = 3;
    ASSERT_EQ(FSWrite(ref, count, "new"), noErr);
    FSClose(ref);
    ASSERT_EQ(save.Commit(), noErr);
  }
  EXPECT_EQ(Content(target), "new");
  EXPECT_EQ(FilesInDir(), 1u);
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the document keeps its permissions
}

// A save killed half-way leaves its temporary behind; the next save of the same document
// removes what nobody holds, and never a temporary another running save holds.
TEST_F(FileUtilTest, SavesRemoveTheTemporariesOfKilledSavesOnly) {
  const std::string target = Path("Class.mtb");
  MakeFile(target, "old");
  for (int kill = 0; kill < 5; kill++) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SafeSave save(FileSpec{target});
      FileRef ref;
      if (save.Begin(ref) != noErr) _exit(2);
      int32_t count = 4;
      FSWrite(ref, count, "half");
      _exit(0);  // killed: no destructor runs, the lock goes with the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(FilesInDir(), 2u);  // each save cleared what the kill before it left

  // Another save at this very moment, and files that only look alike.
  const std::string running = Path(".~Class.mtb.00beef");
  MakeFile(running, "busy");
  const int holder = open(running.c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  for (const char* other : {".~Other.mtb.00beef", ".~Class.mtb.00beefx", ".~Class.mtb.00BEEF",
                            "Class.mtb.bak"})
    MakeFile(Path(other), "keep");

  SafeSave save(FileSpec{target});
  FileRef ref;
  ASSERT_EQ(save.Begin(ref), noErr);
  // While the save runs its temporary is held, even after the writer closed it.
  FSClose(ref);
  const int probe = open(save.temporary().path.c_str(), O_RDONLY);
  ASSERT_GE(probe, 0);
  EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0);
  close(probe);
  ASSERT_EQ(save.Commit(), noErr);
  close(holder);

  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"Class.mtb", ".~Class.mtb.00beef",
                                          ".~Other.mtb.00beef", ".~Class.mtb.00beefx",
                                          ".~Class.mtb.00BEEF", "Class.mtb.bak"}));
}

TEST_F(FileUtilTest, SafeSaveThroughALinkKeepsTheLink) {
  const std::string real = Path("real.mtb");
  const std::string link = Path("link.mtb");
  MakeFile(real, "old");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  SafeSave save(FileSpec{link});
  FileRef ref;
  ASSERT_EQ(save.Begin(ref), noErr);
  int32_t count = 3;
  FSWrite(ref, count, "new");
  FSClose(ref);
  ASSERT_EQ(save.Commit(), noErr);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Content(real), "new");
}

TEST_F(FileUtilTest, SafeSaveRefusesALockedDocumentOrFolder) {
  const std::string target = Path("class.mtb");
  MakeFile(target, "old");
  FileFaults faults;
  faults.openWriteErrno = EACCES;
  SetFileFaultsForTesting(&faults);
  FileRef ref;
  {
    SafeSave save(FileSpec{target});
    EXPECT_EQ(save.Begin(ref), wrPermErr);
  }
  faults = FileFaults{};
  faults.createErrno = EACCES;
  SetFileFaultsForTesting(&faults);
  {
    SafeSave save(FileSpec{target});
    EXPECT_EQ(save.Begin(ref), vLckdErr);
  }
  faults.createErrno = EROFS;
  SetFileFaultsForTesting(&faults);
  {
    SafeSave save(FileSpec{target});
    EXPECT_EQ(save.Begin(ref), vLckdErr);
  }
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(FileUtilTest, AReadOnlyDocumentIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const std::string target = Path("class.mtb");
  MakeFile(target, "old");
  chmod(target.c_str(), 0444);
  SafeSave save(FileSpec{target});
  FileRef ref;
  EXPECT_EQ(save.Begin(ref), wrPermErr);
  EXPECT_EQ(Content(target), "old");
}

}  // namespace
