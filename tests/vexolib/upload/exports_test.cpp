// The shared library as a program sees it: exactly the client interface exported, and a C
// program that loads it with dlopen uploading three files to the fake service.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "upload_fixture.h"

namespace vexotest {
namespace {

// Standard output of a command run through the shell, with its exit status.
std::string runCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return out;
  }
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.append(buffer, n);
  }
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

TEST(ExportsTest, TheLibraryExportsExactlyTheClientInterfaceUnderItsVersionNode) {
  const char* const names[] = {
      "vexo21_addFile",
      "vexo21_classDataSync",
      "vexo21_openGradebooks",
      "vexo21_resetFiles",
      "vexo21_sendFiles",
      "vexo25_addFile",
      "vexo25_addFileUsingPath",
      "vexo25_applyPatchDir",
      "vexo25_applyPatchFile",
      "vexo25_classDataSync",
      "vexo25_connect",
      "vexo25_disconnect",
      "vexo25_getClientGeneralUpgradeInstallString",
      "vexo25_getClientGeneralUpgradeRemoteKey",
      "vexo25_getClientUpgradeInstallString",
      "vexo25_getClientUpgradeIsPatch",
      "vexo25_getClientUpgradeRemoteKey",
      "vexo25_getClientUpgradeVersion",
      "vexo25_getCoreGroupAlias",
      "vexo25_getCoreGroupClassidPeriodsInfoCount",
      "vexo25_getCoreGroupClassidPeriodsInfoDisplayMode",
      "vexo25_getCoreGroupClassidPeriodsInfoKey",
      "vexo25_getCoreGroupClassidPeriodsInfoLongLabel",
      "vexo25_getCoreGroupClassidPeriodsInfoPeriodType",
      "vexo25_getCoreGroupClassidPeriodsInfoShortLabel",
      "vexo25_getCoreGroupInfoAlias",
      "vexo25_getCoreGroupInfoCount",
      "vexo25_getCoreGroupInfoEntid",
      "vexo25_getCoreGroupInfoIsDistrict",
      "vexo25_getCoreGroupInfoLegacyID",
      "vexo25_getCoreGroupInfoTitle",
      "vexo25_getCoreGroupRemoteAttributeBoolean",
      "vexo25_getCoreGroupRemoteAttributeString",
      "vexo25_getCoreGroupTeachersAndClassesClassID",
      "vexo25_getCoreGroupTeachersAndClassesClassTitle",
      "vexo25_getCoreGroupTeachersAndClassesCount",
      "vexo25_getCoreGroupTeachersAndClassesPeriodID",
      "vexo25_getCoreGroupTeachersAndClassesTeacherID",
      "vexo25_getCoreGroupTeachersAndClassesTeacherName",
      "vexo25_getCoreGroupTeachersAndGradebooksClassID",
      "vexo25_getCoreGroupTeachersAndGradebooksClassTitle",
      "vexo25_getCoreGroupTeachersAndGradebooksCount",
      "vexo25_getCoreGroupTeachersAndGradebooksEditMode",
      "vexo25_getCoreGroupTeachersAndGradebooksFilename",
      "vexo25_getCoreGroupTeachersAndGradebooksIsActiveForExport",
      "vexo25_getCoreGroupTeachersAndGradebooksIsActiveForReport",
      "vexo25_getCoreGroupTeachersAndGradebooksPeriodID",
      "vexo25_getCoreGroupTeachersAndGradebooksTeacherID",
      "vexo25_getCoreGroupTeachersAndGradebooksTeacherName",
      "vexo25_getCoreGroupTitle",
      "vexo25_getDistrictSchoolsInfoAlias",
      "vexo25_getDistrictSchoolsInfoCount",
      "vexo25_getDistrictSchoolsInfoEntid",
      "vexo25_getDistrictSchoolsInfoSchoolID",
      "vexo25_getDistrictSchoolsInfoTitle",
      "vexo25_getEffectiveClassidPeriod",
      "vexo25_getErrorMessage",
      "vexo25_getGradebookClassID",
      "vexo25_getGradebookClassTitle",
      "vexo25_getGradebookCount",
      "vexo25_getGradebookEditMode",
      "vexo25_getGradebookFilename",
      "vexo25_getGradebookIsActiveForExport",
      "vexo25_getGradebookIsActiveForReport",
      "vexo25_getGradebookPeriodID",
      "vexo25_getGradedFormListForClassFormClassID",
      "vexo25_getGradedFormListForClassFormCount",
      "vexo25_getGradedFormListForClassFormEntid",
      "vexo25_getGradedFormListForClassFormGradingLastModDate",
      "vexo25_getGradedFormListForClassFormPointsAvailable",
      "vexo25_getGradedFormListForClassFormTitle",
      "vexo25_getGradedFormListForClassFormType",
      "vexo25_getGradedFormListForTeacherFormClassID",
      "vexo25_getGradedFormListForTeacherFormCount",
      "vexo25_getGradedFormListForTeacherFormEntid",
      "vexo25_getGradedFormListForTeacherFormGradingLastModDate",
      "vexo25_getGradedFormListForTeacherFormPointsAvailable",
      "vexo25_getGradedFormListForTeacherFormTitle",
      "vexo25_getGradedFormListForTeacherFormType",
      "vexo25_getGradesForFormCount",
      "vexo25_getGradesForFormPointsAwardedString",
      "vexo25_getGradesForFormUserID",
      "vexo25_getInterfacesInfoCount",
      "vexo25_getInterfacesInfoId",
      "vexo25_getInterfacesInfoName",
      "vexo25_getMaxTraceLogFiles",
      "vexo25_getRosterUserInfoCount",
      "vexo25_getRosterUserInfoFirstName",
      "vexo25_getRosterUserInfoIsTeacher",
      "vexo25_getRosterUserInfoLastName",
      "vexo25_getRosterUserInfoScreenName",
      "vexo25_getRosterUserInfoUserID",
      "vexo25_getScreenName",
      "vexo25_getTaughtClassID",
      "vexo25_getTaughtClassPeriodID",
      "vexo25_getTaughtClassTitle",
      "vexo25_getTaughtClassesCount",
      "vexo25_getTraceLogDirectory",
      "vexo25_getViewAsScreenName",
      "vexo25_isClientUpgradeNeeded",
      "vexo25_isConnected",
      "vexo25_isLoggedIn",
      "vexo25_isSuperUser",
      "vexo25_isSuperViewer",
      "vexo25_isSuperViewerOnly",
      "vexo25_isTracingEnabled",
      "vexo25_lastSendFilesWasLightweight",
      "vexo25_logMessage",
      "vexo25_loginUsingAuthToken",
      "vexo25_loginUsingPassword",
      "vexo25_logout",
      "vexo25_obtainAuthToken",
      "vexo25_openGradebooks",
      "vexo25_overrideConfigOption",
      "vexo25_resetFiles",
      "vexo25_retrieveClientGeneralUpgradeInfo",
      "vexo25_retrieveCoreGroupClassidPeriodsInfo",
      "vexo25_retrieveCoreGroupTeachersAndClasses",
      "vexo25_retrieveCoreGroupTeachersAndGradebooks",
      "vexo25_retrieveCoreGroupsInfo",
      "vexo25_retrieveDistrictSchoolsInfo",
      "vexo25_retrieveGradebookInfo",
      "vexo25_retrieveGradedFormListForClassInfo",
      "vexo25_retrieveGradedFormListForTeacherInfo",
      "vexo25_retrieveGradesForForm",
      "vexo25_retrieveInterfacesInfo",
      "vexo25_retrieveRosterUserInfo",
      "vexo25_retrieveTaughtClassesInfo",
      "vexo25_sendFiles",
      "vexo25_sendFilesWithOptions",
      "vexo25_setClientAttribute",
      "vexo25_setCoreGroupUsingAlias",
      "vexo25_setCoreGroupUsingEntid",
      "vexo25_setEffectiveClassidPeriod",
      "vexo25_setMaxTraceLogFiles",
      "vexo25_setTimeoutSeconds",
      "vexo25_setTraceLogDirectory",
      "vexo25_setTracingEnabled",
      "vexo25_touchSession",
      "vexo25_validatePatchDir",
  };
  // The node itself is listed first (an absolute symbol), then every name bound to it.
  std::vector<std::string> bound;
  for (const char* name : names) {
    bound.push_back(std::string(name) + "@@VEXOKIT_1\n");
  }
  std::sort(bound.begin(), bound.end());
  std::string expected = "VEXOKIT_1\n";
  for (const std::string& line : bound) {
    expected += line;
  }
  int status = 0;
  const std::string listing = runCommand(
      "nm -D --defined-only " + quoted(VEXOKIT_LIBRARY) + " | awk '{print $3}' | LC_ALL=C sort",
      &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(listing, expected);

  const std::string soname = runCommand(
      "readelf -d " + quoted(VEXOKIT_LIBRARY) + " | grep -o 'Library soname: \\[.*\\]'",
      &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(soname, "Library soname: [libvexokit.so.1]\n");
}

class ProgramUploadTest : public UploadServiceTest {
 protected:
  // The framework in the child reads the service's addresses from its configuration file.
  void SetUp() override {
    UploadServiceTest::SetUp();
    ::mkdir((sandboxRoot() + "/config/vexo").c_str(), 0700);
    writeFile(sandboxRoot() + "/config/vexo/vexo.ini",
              "[vexo]\nurlprefix=" + service().url("") + "\nuploadurl=" + uploadUrl() + "\n");
  }
  void TearDown() override {
    std::remove((sandboxRoot() + "/config/vexo/vexo.ini").c_str());
    UploadServiceTest::TearDown();
  }

  std::string runClient(const std::string& token, const std::vector<std::string>& files) {
    std::string command = quoted(VEXO_SEND_FILES_CLIENT) + " " + quoted(VEXOKIT_LIBRARY) +
                          " " + quoted(token);
    for (const std::string& f : files) {
      command += " " + quoted(f);
    }
    int status = 0;
    const std::string out = runCommand(command, &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }
};

TEST_F(ProgramUploadTest, ThreeFilesInThreeChunksAreInflatedAndComparedByTheService) {
  for (const char* token : {"-", "tk-0042"}) {
    SCOPED_TRACE(token);
    service().clear();
    const std::vector<std::string> files = {
        makeFile("empty.txt", ""),
        makeFile("grades-1.bin", randomBytes(9 * 1024 * 1024 + 17, 1)),
        makeFile("grades-2.bin", randomBytes(8 * 1024 * 1024 - 3, 2))};
    const std::vector<std::string> before = openedPages();

    EXPECT_EQ(runClient(token, files), "status=0\nmessage=\n");

    for (const std::string& f : files) {
      EXPECT_FALSE(exists(f)) << f << " is deleted after the upload";
    }
    const std::vector<RecordedRequest> chunks = uploadRequests();
    ASSERT_EQ(chunks.size(), 3u);
    for (std::size_t k = 0; k < chunks.size(); ++k) {
      ASSERT_NE(chunks[k].field("chunkIndex"), nullptr);
      EXPECT_EQ(*chunks[k].field("chunkIndex"), std::to_string(k));
      EXPECT_EQ(*chunks[k].field("srcAppID"), "marktally");
      EXPECT_EQ(*chunks[k].field("srcAppVer"), "65");
      EXPECT_EQ(*chunks[k].field("file00format"), "es_rpt_01");
      EXPECT_EQ(*chunks[k].field("req.clientAttribute.client"), "marktally");
      EXPECT_EQ(*chunks[k].field("req.clientAttribute.clientVersion"), "65");
    }
    const std::vector<std::string> pages = openedPages();
    ASSERT_EQ(pages.size(), before.size() + 1);
    const std::string batch = *chunks[1].field("uploadBatchEntid");
    std::string expected = service().url("/UploadResult.page?uploadBatchEntid=") + batch +
                           "&srubs=true&files=3&verified=3";
    if (std::string(token) != "-") {
      expected += std::string("&atkn=") + token;
    }
    EXPECT_EQ(pages.back(), expected);
  }
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(ProgramUploadTest, AFailedUploadLeavesTheFileAndReportsItsStatus) {
  const std::string file = makeFile("report.txt", "<uploadfile>\n</uploadfile>\n");
  ScriptedAnswer refused;
  refused.body = "<!-- VexoMessage: Teacher account locked -->";
  service().script("/AdminDataUpload.page", {refused});
  EXPECT_EQ(runClient("-", {file}), "status=119\nmessage=' Teacher account locked '\n");
  EXPECT_TRUE(exists(file));
  EXPECT_TRUE(openedPages().empty());
}

TEST_F(ProgramUploadTest, AMissingFileIsRefusedBeforeAnythingIsSent) {
  EXPECT_EQ(runClient("-", {files_ + "/no-such-file"}), "status=123\nmessage=\n");
  EXPECT_TRUE(uploadRequests().empty());
}

}  // namespace
}  // namespace vexotest
