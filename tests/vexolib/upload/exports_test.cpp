// The shared library as a program sees it: exactly the client interface exported, and a C
// program that loads it with dlopen uploading three files to the fake service.
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

TEST(ExportsTest, TheLibraryExportsExactlyTheClientInterface) {
  int status = 0;
  const std::string listing = runCommand(
      "nm -D --defined-only " + quoted(VEXOKIT_LIBRARY) + " | awk '{print $3}' | sort", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(listing,
            "vexo21_addFile\n"
            "vexo21_classDataSync\n"
            "vexo21_openGradebooks\n"
            "vexo21_resetFiles\n"
            "vexo21_sendFiles\n"
            "vexo25_addFile\n"
            "vexo25_addFileUsingPath\n"
            "vexo25_applyPatchDir\n"
            "vexo25_applyPatchFile\n"
            "vexo25_classDataSync\n"
            "vexo25_connect\n"
            "vexo25_disconnect\n"
            "vexo25_getClientGeneralUpgradeInstallString\n"
            "vexo25_getClientGeneralUpgradeRemoteKey\n"
            "vexo25_getClientUpgradeInstallString\n"
            "vexo25_getClientUpgradeIsPatch\n"
            "vexo25_getClientUpgradeRemoteKey\n"
            "vexo25_getClientUpgradeVersion\n"
            "vexo25_getCoreGroupAlias\n"
            "vexo25_getCoreGroupClassidPeriodsInfoCount\n"
            "vexo25_getCoreGroupClassidPeriodsInfoDisplayMode\n"
            "vexo25_getCoreGroupClassidPeriodsInfoKey\n"
            "vexo25_getCoreGroupClassidPeriodsInfoLongLabel\n"
            "vexo25_getCoreGroupClassidPeriodsInfoPeriodType\n"
            "vexo25_getCoreGroupClassidPeriodsInfoShortLabel\n"
            "vexo25_getCoreGroupInfoAlias\n"
            "vexo25_getCoreGroupInfoCount\n"
            "vexo25_getCoreGroupInfoEntid\n"
            "vexo25_getCoreGroupInfoIsDistrict\n"
            "vexo25_getCoreGroupInfoLegacyID\n"
            "vexo25_getCoreGroupInfoTitle\n"
            "vexo25_getCoreGroupRemoteAttributeBoolean\n"
            "vexo25_getCoreGroupRemoteAttributeString\n"
            "vexo25_getCoreGroupTeachersAndClassesClassID\n"
            "vexo25_getCoreGroupTeachersAndClassesClassTitle\n"
            "vexo25_getCoreGroupTeachersAndClassesCount\n"
            "vexo25_getCoreGroupTeachersAndClassesPeriodID\n"
            "vexo25_getCoreGroupTeachersAndClassesTeacherID\n"
            "vexo25_getCoreGroupTeachersAndClassesTeacherName\n"
            "vexo25_getCoreGroupTeachersAndGradebooksClassID\n"
            "vexo25_getCoreGroupTeachersAndGradebooksClassTitle\n"
            "vexo25_getCoreGroupTeachersAndGradebooksCount\n"
            "vexo25_getCoreGroupTeachersAndGradebooksEditMode\n"
            "vexo25_getCoreGroupTeachersAndGradebooksFilename\n"
            "vexo25_getCoreGroupTeachersAndGradebooksIsActiveForExport\n"
            "vexo25_getCoreGroupTeachersAndGradebooksIsActiveForReport\n"
            "vexo25_getCoreGroupTeachersAndGradebooksPeriodID\n"
            "vexo25_getCoreGroupTeachersAndGradebooksTeacherID\n"
            "vexo25_getCoreGroupTeachersAndGradebooksTeacherName\n"
            "vexo25_getCoreGroupTitle\n"
            "vexo25_getDistrictSchoolsInfoAlias\n"
            "vexo25_getDistrictSchoolsInfoCount\n"
            "vexo25_getDistrictSchoolsInfoEntid\n"
            "vexo25_getDistrictSchoolsInfoSchoolID\n"
            "vexo25_getDistrictSchoolsInfoTitle\n"
            "vexo25_getEffectiveClassidPeriod\n"
            "vexo25_getErrorMessage\n"
            "vexo25_getGradebookClassID\n"
            "vexo25_getGradebookClassTitle\n"
            "vexo25_getGradebookCount\n"
            "vexo25_getGradebookEditMode\n"
            "vexo25_getGradebookFilename\n"
            "vexo25_getGradebookIsActiveForExport\n"
            "vexo25_getGradebookIsActiveForReport\n"
            "vexo25_getGradebookPeriodID\n"
            "vexo25_getGradedFormListForClassFormClassID\n"
            "vexo25_getGradedFormListForClassFormCount\n"
            "vexo25_getGradedFormListForClassFormEntid\n"
            "vexo25_getGradedFormListForClassFormGradingLastModDate\n"
            "vexo25_getGradedFormListForClassFormPointsAvailable\n"
            "vexo25_getGradedFormListForClassFormTitle\n"
            "vexo25_getGradedFormListForClassFormType\n"
            "vexo25_getGradedFormListForTeacherFormClassID\n"
            "vexo25_getGradedFormListForTeacherFormCount\n"
            "vexo25_getGradedFormListForTeacherFormEntid\n"
            "vexo25_getGradedFormListForTeacherFormGradingLastModDate\n"
            "vexo25_getGradedFormListForTeacherFormPointsAvailable\n"
            "vexo25_getGradedFormListForTeacherFormTitle\n"
            "vexo25_getGradedFormListForTeacherFormType\n"
            "vexo25_getGradesForFormCount\n"
            "vexo25_getGradesForFormPointsAwardedString\n"
            "vexo25_getGradesForFormUserID\n"
            "vexo25_getInterfacesInfoCount\n"
            "vexo25_getInterfacesInfoId\n"
            "vexo25_getInterfacesInfoName\n"
            "vexo25_getMaxTraceLogFiles\n"
            "vexo25_getRosterUserInfoCount\n"
            "vexo25_getRosterUserInfoFirstName\n"
            "vexo25_getRosterUserInfoIsTeacher\n"
            "vexo25_getRosterUserInfoLastName\n"
            "vexo25_getRosterUserInfoScreenName\n"
            "vexo25_getRosterUserInfoUserID\n"
            "vexo25_getScreenName\n"
            "vexo25_getTaughtClassID\n"
            "vexo25_getTaughtClassPeriodID\n"
            "vexo25_getTaughtClassTitle\n"
            "vexo25_getTaughtClassesCount\n"
            "vexo25_getTraceLogDirectory\n"
            "vexo25_getViewAsScreenName\n"
            "vexo25_isClientUpgradeNeeded\n"
            "vexo25_isConnected\n"
            "vexo25_isLoggedIn\n"
            "vexo25_isSuperUser\n"
            "vexo25_isSuperViewer\n"
            "vexo25_isSuperViewerOnly\n"
            "vexo25_isTracingEnabled\n"
            "vexo25_lastSendFilesWasLightweight\n"
            "vexo25_logMessage\n"
            "vexo25_loginUsingAuthToken\n"
            "vexo25_loginUsingPassword\n"
            "vexo25_logout\n"
            "vexo25_obtainAuthToken\n"
            "vexo25_openGradebooks\n"
            "vexo25_overrideConfigOption\n"
            "vexo25_resetFiles\n"
            "vexo25_retrieveClientGeneralUpgradeInfo\n"
            "vexo25_retrieveCoreGroupClassidPeriodsInfo\n"
            "vexo25_retrieveCoreGroupTeachersAndClasses\n"
            "vexo25_retrieveCoreGroupTeachersAndGradebooks\n"
            "vexo25_retrieveCoreGroupsInfo\n"
            "vexo25_retrieveDistrictSchoolsInfo\n"
            "vexo25_retrieveGradebookInfo\n"
            "vexo25_retrieveGradedFormListForClassInfo\n"
            "vexo25_retrieveGradedFormListForTeacherInfo\n"
            "vexo25_retrieveGradesForForm\n"
            "vexo25_retrieveInterfacesInfo\n"
            "vexo25_retrieveRosterUserInfo\n"
            "vexo25_retrieveTaughtClassesInfo\n"
            "vexo25_sendFiles\n"
            "vexo25_sendFilesWithOptions\n"
            "vexo25_setClientAttribute\n"
            "vexo25_setCoreGroupUsingAlias\n"
            "vexo25_setCoreGroupUsingEntid\n"
            "vexo25_setEffectiveClassidPeriod\n"
            "vexo25_setMaxTraceLogFiles\n"
            "vexo25_setTimeoutSeconds\n"
            "vexo25_setTraceLogDirectory\n"
            "vexo25_setTracingEnabled\n"
            "vexo25_touchSession\n"
            "vexo25_validatePatchDir\n");
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
