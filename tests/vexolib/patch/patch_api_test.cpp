// The patch operations of the interface: status codes and messages of the commands below,
// refused paths in their order, the trace lines, and the session left alone.
#include <memory>
#include <string>

#include <boost/crc.hpp>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "patch_fixture.h"
#include "sandbox.h"
#include "vexolib/session/Session.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"
#include <vexokit/vexokit.h>

namespace vexotest {
namespace {

namespace api = vexo::api25;
namespace fs = boost::filesystem;

class PatchApiTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    folder_ = makeFolder("patchapi");
    old_ = folder_ + "/old";
    writeFile(old_, "Term 1 grades, final.\n");
    writeFile(folder_ + "/new.txt", "Term 1 grades, final; term 2 added.\n");
    patch_ = folder_ + "/grades.bsdiff";
    debianBsdiff(old_, folder_ + "/new.txt", patch_);
  }
  void TearDown() override {
    api::adoptSession(nullptr);
    FrameworkTest::TearDown();
  }

  std::string message() const { return api::getErrorMessage(); }

  std::string folder_, old_, patch_;
};

TEST_F(PatchApiTest, ApplyPatchFileReportsTheCommandsStatus) {
  const std::string result = folder_ + "/result";
  EXPECT_EQ(api::applyPatchFile(patch_.c_str(), old_.c_str(), result.c_str()), 0);
  EXPECT_EQ(message(), "");
  EXPECT_EQ(readFile(result), "Term 1 grades, final; term 2 added.\n");

  writeFile(folder_ + "/bad.patch", "BSDIFF41" + std::string(40, '\0'));
  EXPECT_EQ(api::applyPatchFile((folder_ + "/bad.patch").c_str(), old_.c_str(), result.c_str()),
            126);
  EXPECT_EQ(message(), "Invalid patch format: BSDIFF41");
  EXPECT_EQ(message(), "Invalid patch format: BSDIFF41") << "getters leave the message";

  // A failure that is no VexoException is 103 with its own text.
  EXPECT_EQ(api::applyPatchFile((folder_ + "/none").c_str(), old_.c_str(), result.c_str()), 103);
  EXPECT_EQ(message().rfind("fileSize: file '" + folder_ + "/none' not found", 0), 0u);

  // Success clears the message of the failure before it.
  EXPECT_EQ(api::applyPatchFile(patch_.c_str(), old_.c_str(), old_.c_str()), 0);
  EXPECT_EQ(message(), "");
  EXPECT_EQ(readFile(old_), "Term 1 grades, final; term 2 added.\n");
}

TEST_F(PatchApiTest, TheExportedNamesRunTheSameOperations) {
  const std::string result = folder_ + "/exported";
  EXPECT_EQ(vexo25_applyPatchFile(patch_.c_str(), old_.c_str(), result.c_str()), 0);
  EXPECT_STREQ(vexo25_getErrorMessage(), "");
  EXPECT_EQ(readFile(result), "Term 1 grades, final; term 2 added.\n");
  EXPECT_EQ(vexo25_applyPatchFile("", old_.c_str(), result.c_str()), 103);
  EXPECT_STREQ(vexo25_getErrorMessage(), "Null/empty patch path");
  EXPECT_EQ(vexo25_applyPatchDir(folder_.c_str(), old_.c_str(), nullptr), 103);
  EXPECT_STREQ(vexo25_getErrorMessage(), "Null/empty new path");
  EXPECT_EQ(vexo25_validatePatchDir(nullptr), 103);
  EXPECT_STREQ(vexo25_getErrorMessage(), "Null/empty patch path");
}

TEST_F(PatchApiTest, NullOrEmptyPathsAreRefusedInOrderBeforeAnythingOpens) {
  const std::string result = folder_ + "/result";
  const struct {
    const char *patch, *old, *target;
    const char* message;
  } rows[] = {
      {"", old_.c_str(), result.c_str(), "Null/empty patch path"},
      {nullptr, nullptr, nullptr, "Null/empty patch path"},
      {patch_.c_str(), nullptr, "", "Null/empty old path"},
      {patch_.c_str(), old_.c_str(), "", "Null/empty new path"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    EXPECT_EQ(api::applyPatchFile(row.patch, row.old, row.target), 103);
    EXPECT_EQ(message(), row.message);
    EXPECT_EQ(api::applyPatchDir(row.patch, row.old, row.target), 103);
    EXPECT_EQ(message(), row.message);
  }
  EXPECT_FALSE(fs::exists(result));
  EXPECT_EQ(api::validatePatchDir(nullptr), 103);
  EXPECT_EQ(message(), "Null/empty patch path");
}

TEST_F(PatchApiTest, PatchDirectoriesApplyAndValidate) {
  const std::string oldTree = makeFolder("patchapi-old");
  const std::string patchDir = makeFolder("patchapi-patch");
  const std::string newTree = folder_ + "/tree";
  writeFile(oldTree + "/grades.txt", readFile(old_));
  fs::copy_file(patch_, patchDir + "/grades.bsdiff");
  boost::crc_32_type oldCrc, newCrc, patchCrc;
  const std::string oldBytes = readFile(old_);
  const std::string newBytes = readFile(folder_ + "/new.txt");
  const std::string patchBytes = readFile(patch_);
  oldCrc.process_bytes(oldBytes.data(), oldBytes.size());
  newCrc.process_bytes(newBytes.data(), newBytes.size());
  patchCrc.process_bytes(patchBytes.data(), patchBytes.size());
  writeFile(patchDir + "/patch.plan",
            "version=1.0\npatchfile|grades.txt|" + std::to_string(newCrc.checksum()) +
                "|2022-09-01-0800-00|grades.txt|" + std::to_string(oldCrc.checksum()) +
                "|grades.bsdiff|" + std::to_string(patchCrc.checksum()) + "\n");

  EXPECT_EQ(api::validatePatchDir(patchDir.c_str()), 0);
  EXPECT_EQ(message(), "");
  EXPECT_EQ(api::applyPatchDir(patchDir.c_str(), oldTree.c_str(), newTree.c_str()), 0);
  EXPECT_EQ(readFile(newTree + "/grades.txt"), newBytes);

  EXPECT_EQ(api::applyPatchDir(patchDir.c_str(), oldTree.c_str(), oldTree.c_str()), 103);
  EXPECT_EQ(message(), "New folder overlaps the old or patch folder: " + oldTree);
  EXPECT_EQ(readFile(oldTree + "/grades.txt"), oldBytes);

  writeFile(patchDir + "/patch.plan", "version=1.0\nfile|x\n");
  EXPECT_EQ(api::validatePatchDir(patchDir.c_str()), 103);
  EXPECT_EQ(message(), "Invalid patch plan entry: file|x");
}

TEST_F(PatchApiTest, TracesAndTheSessionAreLeftAsTheyWere) {
  const std::string traces = makeFolder("patchapi-trace");
  vexo::platform::setTraceLogDirectory(traces);
  vexo::Session* session = new vexo::Session();
  api::adoptSession(std::unique_ptr<vexo::Session>(session));

  EXPECT_EQ(api::applyPatchFile(nullptr, old_.c_str(), "x"), 103);
  EXPECT_EQ(api::validatePatchDir((folder_ + "/nowhere").c_str()), 126);
  EXPECT_EQ(api::accessSession(), session) << "a failed patch keeps the session";

  const std::vector<std::string> files = listFolder(traces);
  ASSERT_EQ(files.size(), 1u);
  const std::string log = readFile(traces + "/" + files[0]);
  for (const std::string& line :
       {std::string("applyPatchFile: patch file path =(null); old file path =") + old_ +
            "; new file path =x",
        std::string("Exception during applyPatchFile() "),
        std::string("Returning from applyPatchFile"),
        "validatePatchDir: patch dir path =" + folder_ + "/nowhere",
        std::string("Executing command"), std::string("Returning from validatePatchDir")}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace vexotest
