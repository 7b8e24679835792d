// The patch commands on real trees: a patch directory with every line kind applied and
// validated, CRC checks, times and execute bits; traversal through plan paths and links,
// and new trees that overlap the old tree or the patch directory, refused with the old tree
// intact; the flags, setters and printed results.
#include "vexolib/patch/PatchCommand.h"

#include <sys/stat.h>

#include <boost/crc.hpp>
#include <boost/filesystem.hpp>
#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "patch_fixture.h"
#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace vexotest {
namespace {

namespace fs = boost::filesystem;
using vexo::ApplyPatchDirCommand;
using vexo::ApplyPatchFileCommand;
using vexo::ValidatePatchDirCommand;

// The CRC-32 of the plan, computed apart from the framework's own.
std::string crcOf(const std::string& bytes) {
  boost::crc_32_type crc;
  crc.process_bytes(bytes.data(), bytes.size());
  return std::to_string(crc.checksum());
}

const char stamp1[] = "2021-03-04-0506-07";
const char stamp2[] = "2019-11-30-2359-58";

struct Outcome {
  int code = 0;  // -1: some other exception
  std::string message;
};

template <typename Work>
Outcome outcomeOf(Work work) {
  Outcome outcome;
  try {
    work();
  } catch (const vexo::VexoException& e) {
    outcome.code = e.statusCode;
    outcome.message = e.what();
  } catch (const std::exception& e) {
    outcome.code = -1;
    outcome.message = e.what();
  }
  return outcome;
}

class PatchDirTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    root_ = makeFolder("patchdir");
    old_ = root_ + "/old";
    patch_ = root_ + "/patch";
    new_ = root_ + "/new";
    fs::create_directories(old_ + "/bin");
    fs::create_directories(patch_ + "/data");
    fs::create_directories(patch_ + "/patches");
    oldCore_ = randomBytes(200000, 21);
    newCore_ = edited(oldCore_, 22, 50);
    writeFile(old_ + "/readme.txt", "Marks are final on Friday.\n");
    writeFile(old_ + "/bin/tool", "#!/bin/sh\necho grades\n");
    writeFile(old_ + "/core.bin", oldCore_);
    writeFile(old_ + "/empty", "");
    writeFile(patch_ + "/data/notes.txt", "New notes for teachers.\n");
    writeFile(root_ + "/core.new", newCore_);
    debianBsdiff(old_ + "/core.bin", root_ + "/core.new", patch_ + "/patches/core.bsdiff");
  }

  // A plan with one line of every kind, for the fixture trees.
  std::string fullPlan() const {
    const std::string patchBytes = readFile(patch_ + "/patches/core.bsdiff");
    return std::string("version=1.1\r\n") +
           "dir|bin|" + stamp1 + "\r\n" +
           "dir|docs/more|" + stamp2 + "\r\n" +
           "copyfile|readme.txt|" + stamp1 + "|readme.txt|" +
           crcOf(readFile(old_ + "/readme.txt")) + "\r\n" +
           "copyfile|bin/tool|" + stamp2 + "|bin/tool|" +
           crcOf(readFile(old_ + "/bin/tool")) + "|yes\r\n" +
           "copyfile|docs/empty|2020-01-01|empty|0\r\n" +
           "createfile|docs/notes.txt|" + stamp1 + "|" +
           crcOf(readFile(patch_ + "/data/notes.txt")) + "|data/notes.txt|no\r\n" +
           "patchfile|bin/core.bin|" + crcOf(newCore_) + "|" + stamp2 + "|core.bin|" +
           crcOf(oldCore_) + "|patches/core.bsdiff|" + crcOf(patchBytes) + "|1\r\n";
  }

  void writePlan(const std::string& text) const { writeFile(patch_ + "/patch.plan", text); }

  Outcome applyDir(const std::string& patch, const std::string& oldTree,
                   const std::string& newTree) const {
    return outcomeOf([&] {
      std::shared_ptr<ApplyPatchDirCommand> command = ApplyPatchDirCommand::make();
      command->setPatchPath(patch.c_str());
      command->setOldPath(oldTree.c_str());
      command->setNewPath(newTree.c_str());
      command->execute();
    });
  }
  Outcome applyDir() const { return applyDir(patch_, old_, new_); }

  Outcome validateDir(const std::string& patch) const {
    return outcomeOf([&] {
      std::shared_ptr<ValidatePatchDirCommand> command = ValidatePatchDirCommand::make();
      command->setPatchPath(patch.c_str());
      command->execute();
    });
  }

  // Every file of the old tree as it was set up.
  void expectOldTreeIntact() const {
    EXPECT_EQ(readFile(old_ + "/readme.txt"), "Marks are final on Friday.\n");
    EXPECT_EQ(readFile(old_ + "/bin/tool"), "#!/bin/sh\necho grades\n");
    EXPECT_TRUE(readFile(old_ + "/core.bin") == oldCore_);
    EXPECT_EQ(readFile(patch_ + "/data/notes.txt"), "New notes for teachers.\n");
  }

  std::string root_, old_, patch_, new_;
  std::string oldCore_, newCore_;
};

TEST_F(PatchDirTest, EveryLineKindBuildsTheNewTree) {
  writePlan(fullPlan());
  // Whatever was in the new tree before goes.
  fs::create_directories(new_ + "/stale/deeper");
  writeFile(new_ + "/stale/deeper/file", "old build");

  const Outcome outcome = applyDir();
  ASSERT_EQ(outcome.message, "");
  EXPECT_EQ(listFolder(new_), (std::vector<std::string>{"bin", "docs", "readme.txt"}));
  EXPECT_EQ(listFolder(new_ + "/bin"), (std::vector<std::string>{"core.bin", "tool"}));
  EXPECT_EQ(listFolder(new_ + "/docs"),
            (std::vector<std::string>{"empty", "more", "notes.txt"}));
  EXPECT_EQ(readFile(new_ + "/readme.txt"), "Marks are final on Friday.\n");
  EXPECT_EQ(readFile(new_ + "/bin/tool"), "#!/bin/sh\necho grades\n");
  EXPECT_EQ(readFile(new_ + "/docs/empty"), "");
  EXPECT_EQ(readFile(new_ + "/docs/notes.txt"), "New notes for teachers.\n");
  EXPECT_TRUE(readFile(new_ + "/bin/core.bin") == newCore_);

  // Execute bits for "yes" and "1", none for "no" and no piece.
  EXPECT_EQ(modeOf(new_ + "/bin/tool") & 0777, 0711u);
  EXPECT_EQ(modeOf(new_ + "/bin/core.bin") & 0777, 0711u);
  EXPECT_EQ(modeOf(new_ + "/docs/notes.txt") & 0777, 0600u);
  EXPECT_EQ(modeOf(new_ + "/readme.txt") & 0777, 0600u);

  namespace platform = vexo::platform;
  EXPECT_EQ(platform::getFileLastModifiedString(new_ + "/readme.txt"), stamp1);
  EXPECT_EQ(platform::getFileLastModifiedString(new_ + "/bin/tool"), stamp2);
  EXPECT_EQ(platform::getFileLastModifiedString(new_ + "/docs/notes.txt"), stamp1);
  EXPECT_EQ(platform::getFileLastModifiedString(new_ + "/bin/core.bin"), stamp2);
  EXPECT_EQ(platform::getFileLastModifiedString(new_ + "/docs/more"), stamp2);
  // A date alone leaves the time the copy got.
  EXPECT_NE(platform::getFileLastModifiedString(new_ + "/docs/empty").substr(0, 10),
            "2020-01-01");
  expectOldTreeIntact();

  // The same patch directory validates, and validation touches nothing.
  fs::remove_all(new_);
  EXPECT_EQ(validateDir(patch_).message, "");
  EXPECT_FALSE(fs::exists(new_));
}

TEST_F(PatchDirTest, AnOldTreeThatIsTheNewOneIsRefused) {
  writePlan(fullPlan());
  fs::create_directories(root_ + "/outer/inner");
  const struct {
    const char* name;
    std::string patch, oldTree, newTree;
  } rows[] = {
      {"new is old", patch_, old_, old_},
      {"new is old, spelt otherwise", patch_, old_, old_ + "/bin/../"},
      {"new holds old", patch_, old_, root_},
      {"new inside old", patch_, old_, old_ + "/newer"},
      {"new is the patch", patch_, old_, patch_},
      {"new holds the patch", patch_, old_, root_ + "/"},
      {"new inside the patch", patch_, old_, patch_ + "/data/out"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Outcome outcome = applyDir(row.patch, row.oldTree, row.newTree);
    EXPECT_EQ(outcome.code, 103);
    EXPECT_EQ(outcome.message.rfind("New folder overlaps the old or patch folder: ", 0), 0u);
    expectOldTreeIntact();
  }
  EXPECT_FALSE(fs::exists(old_ + "/newer"));
  EXPECT_FALSE(fs::exists(patch_ + "/data/out"));

  // A link to the old tree is the old tree.
  fs::create_directory_symlink(old_, root_ + "/old-link");
  EXPECT_EQ(applyDir(patch_, old_, root_ + "/old-link").code, 103);
  expectOldTreeIntact();
}

TEST_F(PatchDirTest, PathsThatLeaveTheirTreeAreRefusedBeforeAnythingChanges) {
  fs::create_directories(root_ + "/outside");
  writeFile(root_ + "/outside/secret", "not for the patch");
  fs::create_directories(new_);
  writeFile(new_ + "/marker", "the previous build");
  // Links in the patch directory and the old tree that lead out of them, and one that
  // stays inside.
  fs::create_symlink(root_ + "/outside/secret", patch_ + "/data/leak");
  fs::create_directory_symlink(root_ + "/outside", old_ + "/escape");
  fs::create_symlink("../readme.txt", old_ + "/bin/readme-link");
  const std::string secretCrc = crcOf("not for the patch");
  const std::string t = stamp1;

  const std::string lines[] = {
      "copyfile|../outside/new|" + t + "|readme.txt|1",
      "copyfile|x|" + t + "|../outside/secret|" + secretCrc,
      "createfile|x|" + t + "|" + secretCrc + "|data/leak",
      "copyfile|x|" + t + "|escape/secret|" + secretCrc,
      "patchfile|x|1|" + t + "|core.bin|2|../outside/secret|" + secretCrc,
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    writePlan("version=1.0\ndir|a|" + t + "\n" + line + "\n");
    const Outcome outcome = applyDir();
    EXPECT_EQ(outcome.code, 126);
    EXPECT_EQ(outcome.message, "Unsafe path in patch plan line: " + line);
    EXPECT_EQ(listFolder(new_), std::vector<std::string>{"marker"});
    expectOldTreeIntact();
  }
  EXPECT_EQ(listFolder(root_ + "/outside"), std::vector<std::string>{"secret"});

  // Validation refuses what it reads, and the plan's own syntax.
  writePlan("version=1.0\ncreatefile|x|" + t + "|" + secretCrc + "|data/leak\n");
  EXPECT_EQ(validateDir(patch_).code, 126);
  writePlan("version=1.0\ncopyfile|/x|" + t + "|readme.txt|1\n");
  EXPECT_EQ(validateDir(patch_).code, 126);

  // A link that stays inside its tree is followed.
  const std::string readmeCrc = crcOf(readFile(old_ + "/readme.txt"));
  writePlan("version=1.0\ncopyfile|r|" + t + "|bin/readme-link|" + readmeCrc + "\n");
  EXPECT_EQ(applyDir().message, "");
  EXPECT_EQ(readFile(new_ + "/r"), "Marks are final on Friday.\n");
}

// A plan whose trouble lies in the plan or the patch directory fails before the new tree is
// touched; trouble in the old tree shows only once the lines before it are done.
TEST_F(PatchDirTest, FailuresAndWhatTheyLeave) {
  const std::string t = stamp1;
  const std::string notesCrc = crcOf(readFile(patch_ + "/data/notes.txt"));
  const std::string readmeCrc = crcOf(readFile(old_ + "/readme.txt"));
  const std::string patchCrc = crcOf(readFile(patch_ + "/patches/core.bsdiff"));
  const std::string coreCrc = crcOf(oldCore_);
  const std::string newCoreCrc = crcOf(newCore_);
  const std::string first = "version=1.0\ncopyfile|readme.txt|" + t + "|readme.txt|" +
                            readmeCrc + "\n";
  const struct {
    const char* name;
    std::string plan;
    int code;
    std::string message;
    bool newTreeKept;
  } rows[] = {
      {"bad line at the end", first + "dir|a|" + t + "\nDIR|b|" + t + "\n", 103,
       "Invalid patch plan entry: DIR|b|" + t, true},
      {"bad time at the end", first + "dir|a|2021-0x-04-0506-07\n", -1,
       "bad lexical cast: source type value could not be interpreted as target", true},
      {"data file changed", first + "createfile|n|" + t + "|1|data/notes.txt\n", 103,
       "Source file CRC doesn't match value expected by patch for source: " + patch_ +
           "/data/notes.txt", true},
      {"patch file changed",
       first + "patchfile|c|" + newCoreCrc + "|" + t + "|core.bin|" + coreCrc +
           "|patches/core.bsdiff|7\n", 126,
       "Patch file CRC doesn't match value expected by patch: " + patch_ +
           "/patches/core.bsdiff", true},
      {"data file missing", first + "createfile|n|" + t + "|1|data/none\n", -1,
       "fileSize: file '" + patch_ + "/data/none' not found (errno = ", true},
      {"old source changed", first + "copyfile|b|" + t + "|bin/tool|5\n", 103,
       "Source file CRC doesn't match value expected by patch for source file: " + old_ +
           "/bin/tool", false},
      {"old patch source changed",
       first + "patchfile|c|" + newCoreCrc + "|" + t + "|readme.txt|" + coreCrc +
           "|patches/core.bsdiff|" + patchCrc + "\n", 103,
       "Source file CRC doesn't match value expected by patch: " + old_ + "/readme.txt", false},
      {"patched result differs",
       first + "patchfile|c|12345|" + t + "|core.bin|" + coreCrc + "|patches/core.bsdiff|" +
           patchCrc + "\n", 103,
       "Result file CRC doesn't match expected value for file: " + new_ + "/c", false},
      {"no dir line for the target", first + "createfile|sub/n|" + t + "|" + notesCrc +
                                          "|data/notes.txt\n", 103,
       "Unable to open target file: " + new_ + "/sub/n", false},
      {"dir where a file is", first + "dir|readme.txt|" + t + "\n", 103,
       "Error creating directory: " + new_ + "/readme.txt", false},
      {"old source missing", first + "copyfile|b|" + t + "|gone|5\n", -1,
       "fileSize: file '" + old_ + "/gone' not found (errno = ", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(new_);
    fs::create_directories(new_);
    writeFile(new_ + "/marker", "the previous build");
    writePlan(row.plan);
    const Outcome outcome = applyDir();
    EXPECT_EQ(outcome.code, row.code);
    EXPECT_EQ(outcome.message.substr(0, row.message.size()), row.message);
    if (row.newTreeKept) {
      EXPECT_EQ(listFolder(new_), std::vector<std::string>{"marker"});
    } else {
      // Built up to the failing line, no rollback.
      EXPECT_FALSE(fs::exists(new_ + "/marker"));
      EXPECT_EQ(readFile(new_ + "/readme.txt"), "Marks are final on Friday.\n");
    }
    expectOldTreeIntact();
  }
}

TEST_F(PatchDirTest, MissingOrUnreadablePlans) {
  fs::create_directories(new_);
  writeFile(new_ + "/marker", "kept");
  Outcome outcome = applyDir(root_ + "/nowhere", old_, new_);
  EXPECT_EQ(outcome.code, 126);
  EXPECT_EQ(outcome.message, "Patch plan not readable: " + root_ + "/nowhere/patch.plan");
  EXPECT_EQ(validateDir(root_ + "/nowhere/").message,
            "Patch plan not readable: " + root_ + "/nowhere/patch.plan");

  fs::create_directories(patch_ + "/patch.plan");
  EXPECT_EQ(applyDir().code, 126);
  EXPECT_EQ(validateDir(patch_).code, 126);
  fs::remove(patch_ + "/patch.plan");

  writePlan("\n\n");
  outcome = applyDir();
  EXPECT_EQ(outcome.code, 126);
  EXPECT_EQ(outcome.message, "First line of patch plan lacks valid version string.");
  EXPECT_EQ(listFolder(new_), std::vector<std::string>{"marker"});
}

TEST_F(PatchDirTest, ValidationChecksOnlyThePlanAndThePatchDirectory) {
  const std::string t = stamp1;
  // Sources missing from the old tree, and bad times, are not its business... except that
  // a time that cannot be read is a malformed plan.
  writePlan("version=1.0\ncopyfile|x|" + t + "|no/such/file|1\ncreatefile|y|" + t + "|" +
            crcOf(readFile(patch_ + "/data/notes.txt")) + "|data/notes.txt\n");
  EXPECT_EQ(validateDir(patch_).message, "");
  writePlan("version=1.0\ncreatefile|y|" + t + "|1|data/notes.txt\n");
  EXPECT_EQ(validateDir(patch_).code, 103);
  writePlan("version=1.0\ncreatefile|y|" + t + "|1|data/none\n");
  EXPECT_EQ(validateDir(patch_).code, -1);
}

TEST_F(PatchDirTest, FlagsSettersAndPrintedResults) {
  std::shared_ptr<ApplyPatchDirCommand> dir = ApplyPatchDirCommand::make();
  Outcome outcome = outcomeOf([&] { dir->processArgs({"-APPLYPATCHDIR", "P", "O"}); });
  EXPECT_EQ(outcome.code, -1);
  EXPECT_EQ(outcome.message, "'-applypatchdir' missing new dir path");
  EXPECT_EQ(dir->patchPath.string(), "P");
  EXPECT_EQ(dir->oldPath.string(), "O");
  EXPECT_EQ(dir->newPath.string(), "");

  std::shared_ptr<ApplyPatchFileCommand> file = ApplyPatchFileCommand::make();
  file->processArgs({"-srcappid", "gradebook", "-ApplyPatchFile", "p", "o", "n"});
  EXPECT_EQ(file->srcappid, "gradebook");
  EXPECT_EQ(file->newPath.string(), "n");
  EXPECT_EQ(outcomeOf([&] { file->processArgs({"-applypatchfile", "p"}); }).message,
            "'-applypatchfile' missing old file path");

  std::shared_ptr<ValidatePatchDirCommand> validate = ValidatePatchDirCommand::make();
  EXPECT_EQ(validate->oldPath.string(), ".");
  EXPECT_EQ(validate->newPath.string(), ".");
  EXPECT_EQ(outcomeOf([&] { validate->processArgs({"-validatepatchdir"}); }).message,
            "'-validatepatchdir' missing patch dir path");
  EXPECT_EQ(outcomeOf([&] { validate->processArgs({"-validatepatchdir", "x", "y"}); }).message,
            "Argument 'y' not used.");

  const struct {
    const char* text;
    const char* message;
  } setters[] = {{nullptr, "Null/empty patch path"}, {"", "Null/empty patch path"}};
  for (const auto& row : setters) {
    outcome = outcomeOf([&] { file->setPatchPath(row.text); });
    EXPECT_EQ(outcome.code, 103);
    EXPECT_EQ(outcome.message, row.message);
  }
  EXPECT_EQ(outcomeOf([&] { file->setOldPath(""); }).message, "Null/empty old path");
  EXPECT_EQ(outcomeOf([&] { file->setNewPath(nullptr); }).message, "Null/empty new path");
  EXPECT_EQ(file->patchPath.string(), "p") << "a refused path changes nothing";

  // Printed only when asked for.
  writePlan(fullPlan());
  validate = ValidatePatchDirCommand::make();
  validate->setPatchPath(patch_.c_str());
  testing::internal::CaptureStdout();
  validate->execute();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  validate->printResult = true;
  testing::internal::CaptureStdout();
  validate->execute();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "OK\n");

  writePlan("version=1.0\nDIR|a|b\n");
  testing::internal::CaptureStdout();
  EXPECT_THROW(validate->execute(), vexo::VexoException);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Validation failed: VexoException: status code = 103; what = 'Invalid patch plan "
            "entry: DIR|a|b'\n");
}

TEST_F(PatchDirTest, ApplyPatchFileCommandRebuildsOneFile) {
  std::shared_ptr<ApplyPatchFileCommand> command = ApplyPatchFileCommand::make();
  command->setPatchPath((patch_ + "/patches/core.bsdiff").c_str());
  command->setOldPath((old_ + "/core.bin").c_str());
  command->setNewPath((root_ + "/rebuilt").c_str());
  command->printResult = true;
  testing::internal::CaptureStdout();
  command->execute();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "OK\n");
  EXPECT_TRUE(readFile(root_ + "/rebuilt") == newCore_);

  writeFile(root_ + "/notes.patch", "Notes for Friday, not a patch of any kind.");
  command->setPatchPath((root_ + "/notes.patch").c_str());
  testing::internal::CaptureStdout();
  EXPECT_THROW(command->execute(), vexo::VexoException);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Patch file application failed: VexoException: status code = 126; what = "
            "'Invalid patch format: Notes fo'\n");
}

// A plan's size comes from the patch folder: one too large to read whole is refused before
// anything is read or changed (a sparse file, so the test stays small on disk).
TEST_F(PatchDirTest, APlanPastSixteenMiBIsRefusedUnread) {
  writePlan("version=1.0\n");
  fs::resize_file(patch_ + "/patch.plan", (std::uintmax_t(16) << 20) + 1);
  fs::create_directories(new_);
  writeFile(new_ + "/marker", "the previous build");
  const Outcome outcomes[] = {applyDir(), validateDir(patch_)};
  for (const Outcome& outcome : outcomes) {
    EXPECT_EQ(outcome.code, 126) << outcome.message;
    EXPECT_NE(outcome.message.find("Patch plan larger than 16 MiB: " + patch_ + "/patch.plan"),
              std::string::npos)
        << outcome.message;
  }
  EXPECT_EQ(listFolder(new_), std::vector<std::string>{"marker"});
  expectOldTreeIntact();
}

// A FIFO in place of the plan, a data or patch file, or an old file would make the open wait
// for a writer that never comes: each is refused unopened with 103, the new tree untouched.
TEST_F(PatchDirTest, PipesInPlaceOfAnyInputAreRefusedUnopened) {
  const std::string t = stamp1;
  const std::string coreCrc = crcOf(oldCore_);
  const std::string patchCrc = crcOf(readFile(patch_ + "/patches/core.bsdiff"));
  const struct {
    const char* name;
    std::string pipe;  // made a FIFO
    std::string planLine;
    bool validationSees;
  } rows[] = {
      {"plan", patch_ + "/patch.plan", "", true},
      {"data file", patch_ + "/data/pipe", "createfile|n|" + t + "|1|data/pipe", true},
      {"patch file", patch_ + "/patches/pipe",
       "patchfile|c|1|" + t + "|core.bin|" + coreCrc + "|patches/pipe|1", true},
      {"copied old file", old_ + "/pipe", "copyfile|c|" + t + "|pipe|1", false},
      {"patched old file", old_ + "/pipe",
       "patchfile|c|1|" + t + "|pipe|1|patches/core.bsdiff|" + patchCrc, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(patch_ + "/patch.plan");
    if (!row.planLine.empty()) {
      writePlan("version=1.0\n" + row.planLine + "\n");
    }
    ASSERT_EQ(::mkfifo(row.pipe.c_str(), 0600), 0);
    fs::remove_all(new_);
    fs::create_directories(new_);
    writeFile(new_ + "/marker", "the previous build");
    const Outcome applied = applyDir();
    EXPECT_EQ(applied.code, 103) << applied.message;
    if (row.validationSees) {
      const Outcome validated = validateDir(patch_);
      EXPECT_EQ(validated.code, 103) << validated.message;
      EXPECT_EQ(listFolder(new_), std::vector<std::string>{"marker"});
    }
    fs::remove(row.pipe);
    expectOldTreeIntact();
  }

  ASSERT_EQ(::mkfifo((root_ + "/old-pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((root_ + "/patch-pipe").c_str(), 0600), 0);
  const struct {
    std::string patch;
    std::string old;
  } files[] = {{patch_ + "/patches/core.bsdiff", root_ + "/old-pipe"},
               {root_ + "/patch-pipe", old_ + "/core.bin"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.patch + " " + f.old);
    const Outcome outcome = outcomeOf([&] {
      std::shared_ptr<ApplyPatchFileCommand> command = ApplyPatchFileCommand::make();
      command->setPatchPath(f.patch.c_str());
      command->setOldPath(f.old.c_str());
      command->setNewPath((root_ + "/rebuilt").c_str());
      command->execute();
    });
    EXPECT_EQ(outcome.code, 103) << outcome.message;
    EXPECT_FALSE(fs::exists(root_ + "/rebuilt"));
  }
}

}  // namespace
}  // namespace vexotest
