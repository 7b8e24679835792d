// The exports of the session operations, configuration calls, information tables and browser
// pages: each runs in the one export guard (export_guard.h).
#include "vexolib/api/operations.h"
#include "vexolib/api/api25.h"
#include "vexolib/api/export_guard.h"
#include <vexokit/vexokit.h>

namespace {

namespace api = vexo::api25;
using vexo::api25::InfoTable;

using vexo::api25::guarded;
using vexo::api25::guardedVoid;

int flag(bool value) { return value ? 1 : 0; }
const int failure = vexo::api25::exportFailure;

}  // namespace

extern "C" {

// ---- Configuration, tracing and messages ---------------------------------------------------

void vexo25_overrideConfigOption(const char* name, const char* value) noexcept {
  guardedVoid([&] { api::overrideConfigOption(name, value); });
}

void vexo25_setClientAttribute(const char* name, const char* value) noexcept {
  guardedVoid([&] { api::setClientAttribute(name, value); });
}

void vexo25_setTracingEnabled(unsigned char enabled) noexcept {
  guardedVoid([&] { api::setTracingEnabled(enabled != 0); });
}

void vexo25_setTraceLogDirectory(const char* path) noexcept {
  guardedVoid([&] { api::setTraceLogDirectory(path); });
}

const char* vexo25_getTraceLogDirectory(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getTraceLogDirectory(); });
}

void vexo25_logMessage(unsigned char isError, const char* subcategory, const char* message) noexcept {
  guardedVoid([&] { api::logMessage(isError != 0, subcategory, message); });
}

// ---- Connection, login, core group and upgrade ---------------------------------------------

int vexo25_connect(void) noexcept {
  return guarded(failure, [] { return api::connect(); });
}

int vexo25_disconnect(void) noexcept {
  return guarded(failure, [] { return api::disconnect(); });
}

int vexo25_isConnected(void) noexcept {
  return guarded(0, [] { return flag(api::isConnected()); });
}

void vexo25_setTimeoutSeconds(int seconds) noexcept {
  guardedVoid([&] { api::setTimeoutSeconds(seconds); });
}

int vexo25_loginUsingPassword(const char* screenName, const char* password) noexcept {
  return guarded(failure, [&] { return api::loginUsingPassword(screenName, password); });
}

int vexo25_loginUsingAuthToken(const char* authToken) noexcept {
  return guarded(failure, [&] { return api::loginUsingAuthToken(authToken); });
}

int vexo25_logout(void) noexcept {
  return guarded(failure, [] { return api::logout(); });
}

int vexo25_touchSession(void) noexcept {
  return guarded(failure, [] { return api::touchSession(); });
}

int vexo25_isLoggedIn(void) noexcept {
  return guarded(0, [] { return flag(api::isLoggedIn()); });
}

const char* vexo25_obtainAuthToken(const char* forStationType) noexcept {
  return guarded<const char*>(nullptr, [&] { return api::obtainAuthToken(forStationType); });
}

const char* vexo25_getScreenName(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getScreenName(); });
}

const char* vexo25_getViewAsScreenName(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getViewAsScreenName(); });
}

int vexo25_isSuperUser(void) noexcept {
  return guarded(0, [] { return flag(api::isSuperUser()); });
}

int vexo25_isSuperViewer(void) noexcept {
  return guarded(0, [] { return flag(api::isSuperViewer()); });
}

int vexo25_isSuperViewerOnly(void) noexcept {
  return guarded(0, [] { return flag(api::isSuperViewerOnly()); });
}

const char* vexo25_getCoreGroupAlias(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getCoreGroupAlias(); });
}

const char* vexo25_getCoreGroupTitle(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getCoreGroupTitle(); });
}

int vexo25_setCoreGroupUsingAlias(const char* alias) noexcept {
  return guarded(failure, [&] { return api::setCoreGroupUsingAlias(alias); });
}

int vexo25_setCoreGroupUsingEntid(const char* entid) noexcept {
  return guarded(failure, [&] { return api::setCoreGroupUsingEntid(entid); });
}

const char* vexo25_getCoreGroupRemoteAttributeString(const char* attributeName) noexcept {
  return guarded<const char*>("", [&] {
    return api::getCoreGroupRemoteAttributeString(attributeName);
  });
}

int vexo25_getCoreGroupRemoteAttributeBoolean(const char* attributeName) noexcept {
  return guarded(0, [&] { return flag(api::getCoreGroupRemoteAttributeBoolean(attributeName)); });
}

const char* vexo25_getEffectiveClassidPeriod(void) noexcept {
  return guarded<const char*>("", [] { return api::getEffectiveClassidPeriod(); });
}

int vexo25_setEffectiveClassidPeriod(const char* period) noexcept {
  return guarded(failure, [&] { return api::setEffectiveClassidPeriod(period); });
}

int vexo25_isClientUpgradeNeeded(void) noexcept {
  return guarded(0, [] { return flag(api::isClientUpgradeNeeded()); });
}

int vexo25_getClientUpgradeIsPatch(void) noexcept {
  return guarded(0, [] { return flag(api::getClientUpgradeIsPatch()); });
}

const char* vexo25_getClientUpgradeVersion(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getClientUpgradeVersion(); });
}

const char* vexo25_getClientUpgradeRemoteKey(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getClientUpgradeRemoteKey(); });
}

const char* vexo25_getClientUpgradeInstallString(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getClientUpgradeInstallString(); });
}

int vexo25_retrieveClientGeneralUpgradeInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveClientGeneralUpgradeInfo(); });
}

const char* vexo25_getClientGeneralUpgradeRemoteKey(void) noexcept {
  return guarded<const char*>(nullptr, [] { return api::getClientGeneralUpgradeRemoteKey(); });
}

const char* vexo25_getClientGeneralUpgradeInstallString(void) noexcept {
  return guarded<const char*>(nullptr,
                              [] { return api::getClientGeneralUpgradeInstallString(); });
}

// ---- Browser pages -------------------------------------------------------------------------

int vexo25_openGradebooks(const char* srcCompId, const char* srcAppId, const char* srcAppVer) noexcept {
  return guarded(failure, [&] { return api::openGradebooks(srcCompId, srcAppId, srcAppVer); });
}

int vexo21_openGradebooks(const char* srcCompId, const char* srcAppId, const char* srcAppVer) noexcept {
  return vexo25_openGradebooks(srcCompId, srcAppId, srcAppVer);
}

int vexo25_classDataSync(const char* schoolId, const char* classId, const char* fileExt,
                         const char* mimeType, const char* srcCompId, const char* srcAppId,
                         const char* srcAppVer) noexcept {
  return guarded(failure, [&] {
    return api::classDataSync(schoolId, classId, fileExt, mimeType, srcCompId, srcAppId,
                              srcAppVer);
  });
}

int vexo21_classDataSync(const char* schoolId, const char* classId, const char* fileExt,
                         const char* mimeType, const char* srcCompId, const char* srcAppId,
                         const char* srcAppVer) noexcept {
  return vexo25_classDataSync(schoolId, classId, fileExt, mimeType, srcCompId, srcAppId,
                              srcAppVer);
}

// ---- Information tables --------------------------------------------------------------------

int vexo25_retrieveTaughtClassesInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveTaughtClassesInfo(); });
}
int vexo25_retrieveGradebookInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveGradebookInfo(); });
}
int vexo25_retrieveCoreGroupTeachersAndClasses(void) noexcept {
  return guarded(failure, [] { return api::retrieveCoreGroupTeachersAndClasses(); });
}
int vexo25_retrieveCoreGroupTeachersAndGradebooks(void) noexcept {
  return guarded(failure, [] { return api::retrieveCoreGroupTeachersAndGradebooks(); });
}
int vexo25_retrieveRosterUserInfo(const char* classID) noexcept {
  return guarded(failure, [&] { return api::retrieveRosterUserInfo(classID); });
}
int vexo25_retrieveCoreGroupsInfo(unsigned char includeImplicitCoreGroups) noexcept {
  return guarded(failure, [&] { return api::retrieveCoreGroupsInfo(includeImplicitCoreGroups != 0); });
}
int vexo25_retrieveDistrictSchoolsInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveDistrictSchoolsInfo(); });
}
int vexo25_retrieveGradedFormListForTeacherInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveGradedFormListForTeacherInfo(); });
}
int vexo25_retrieveGradedFormListForClassInfo(const char* classID) noexcept {
  return guarded(failure, [&] { return api::retrieveGradedFormListForClassInfo(classID); });
}
int vexo25_retrieveGradesForForm(const char* formEntid) noexcept {
  return guarded(failure, [&] { return api::retrieveGradesForForm(formEntid); });
}
int vexo25_retrieveCoreGroupClassidPeriodsInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveCoreGroupClassidPeriodsInfo(); });
}
int vexo25_retrieveInterfacesInfo(void) noexcept {
  return guarded(failure, [] { return api::retrieveInterfacesInfo(); });
}

// The count and cell getters, generated from one list: table, then column index.
#define VEXO_COUNT(name, table)                                            \
  int vexo25_##name(void) noexcept {                                                \
    return guarded(0, [] { return api::getRowCount(InfoTable::table); }); \
  }
#define VEXO_TEXT_CELL(name, table, column)                                       \
  const char* vexo25_##name(int row) noexcept {                                            \
    return guarded<const char*>(                                                  \
        nullptr, [&] { return api::getTextCell(InfoTable::table, column, row); }); \
  }
#define VEXO_FLAG_CELL(name, table, column) \
  int vexo25_##name(int row) noexcept {              \
    return guarded(0, [&] { return api::getFlagCell(InfoTable::table, column, row); }); \
  }

VEXO_COUNT(getTaughtClassesCount, taughtClasses)
VEXO_TEXT_CELL(getTaughtClassID, taughtClasses, 0)
VEXO_TEXT_CELL(getTaughtClassTitle, taughtClasses, 1)
VEXO_TEXT_CELL(getTaughtClassPeriodID, taughtClasses, 2)

VEXO_COUNT(getGradebookCount, gradebook)
VEXO_TEXT_CELL(getGradebookClassID, gradebook, 0)
VEXO_TEXT_CELL(getGradebookClassTitle, gradebook, 1)
VEXO_TEXT_CELL(getGradebookFilename, gradebook, 2)
VEXO_FLAG_CELL(getGradebookIsActiveForExport, gradebook, 3)
VEXO_FLAG_CELL(getGradebookIsActiveForReport, gradebook, 4)
VEXO_TEXT_CELL(getGradebookPeriodID, gradebook, 5)
VEXO_TEXT_CELL(getGradebookEditMode, gradebook, 6)

VEXO_COUNT(getCoreGroupTeachersAndClassesCount, coreGroupTeachersAndClasses)
VEXO_TEXT_CELL(getCoreGroupTeachersAndClassesTeacherID, coreGroupTeachersAndClasses, 0)
VEXO_TEXT_CELL(getCoreGroupTeachersAndClassesTeacherName, coreGroupTeachersAndClasses, 1)
VEXO_TEXT_CELL(getCoreGroupTeachersAndClassesClassID, coreGroupTeachersAndClasses, 2)
VEXO_TEXT_CELL(getCoreGroupTeachersAndClassesClassTitle, coreGroupTeachersAndClasses, 3)
VEXO_TEXT_CELL(getCoreGroupTeachersAndClassesPeriodID, coreGroupTeachersAndClasses, 4)

VEXO_COUNT(getCoreGroupTeachersAndGradebooksCount, coreGroupTeachersAndGradebooks)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksTeacherID, coreGroupTeachersAndGradebooks, 0)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksTeacherName, coreGroupTeachersAndGradebooks, 1)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksClassID, coreGroupTeachersAndGradebooks, 2)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksClassTitle, coreGroupTeachersAndGradebooks, 3)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksFilename, coreGroupTeachersAndGradebooks, 4)
VEXO_FLAG_CELL(getCoreGroupTeachersAndGradebooksIsActiveForExport,
               coreGroupTeachersAndGradebooks, 5)
VEXO_FLAG_CELL(getCoreGroupTeachersAndGradebooksIsActiveForReport,
               coreGroupTeachersAndGradebooks, 6)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksPeriodID, coreGroupTeachersAndGradebooks, 7)
VEXO_TEXT_CELL(getCoreGroupTeachersAndGradebooksEditMode, coreGroupTeachersAndGradebooks, 8)

VEXO_COUNT(getRosterUserInfoCount, rosterUserInfo)
VEXO_TEXT_CELL(getRosterUserInfoFirstName, rosterUserInfo, 0)
VEXO_TEXT_CELL(getRosterUserInfoLastName, rosterUserInfo, 1)
VEXO_TEXT_CELL(getRosterUserInfoUserID, rosterUserInfo, 2)
VEXO_TEXT_CELL(getRosterUserInfoScreenName, rosterUserInfo, 3)
VEXO_FLAG_CELL(getRosterUserInfoIsTeacher, rosterUserInfo, 4)

VEXO_COUNT(getCoreGroupInfoCount, coreGroupsInfo)
VEXO_TEXT_CELL(getCoreGroupInfoTitle, coreGroupsInfo, 0)
VEXO_TEXT_CELL(getCoreGroupInfoEntid, coreGroupsInfo, 1)
VEXO_TEXT_CELL(getCoreGroupInfoAlias, coreGroupsInfo, 2)
VEXO_TEXT_CELL(getCoreGroupInfoLegacyID, coreGroupsInfo, 3)
VEXO_FLAG_CELL(getCoreGroupInfoIsDistrict, coreGroupsInfo, 4)

VEXO_COUNT(getDistrictSchoolsInfoCount, districtSchoolsInfo)
VEXO_TEXT_CELL(getDistrictSchoolsInfoAlias, districtSchoolsInfo, 0)
VEXO_TEXT_CELL(getDistrictSchoolsInfoTitle, districtSchoolsInfo, 1)
VEXO_TEXT_CELL(getDistrictSchoolsInfoEntid, districtSchoolsInfo, 2)
VEXO_TEXT_CELL(getDistrictSchoolsInfoSchoolID, districtSchoolsInfo, 3)

VEXO_COUNT(getGradedFormListForTeacherFormCount, gradedFormListForTeacher)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormEntid, gradedFormListForTeacher, 0)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormGradingLastModDate, gradedFormListForTeacher, 1)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormType, gradedFormListForTeacher, 2)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormTitle, gradedFormListForTeacher, 3)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormClassID, gradedFormListForTeacher, 4)
VEXO_TEXT_CELL(getGradedFormListForTeacherFormPointsAvailable, gradedFormListForTeacher, 5)

VEXO_COUNT(getGradedFormListForClassFormCount, gradedFormListForClass)
VEXO_TEXT_CELL(getGradedFormListForClassFormEntid, gradedFormListForClass, 0)
VEXO_TEXT_CELL(getGradedFormListForClassFormGradingLastModDate, gradedFormListForClass, 1)
VEXO_TEXT_CELL(getGradedFormListForClassFormType, gradedFormListForClass, 2)
VEXO_TEXT_CELL(getGradedFormListForClassFormTitle, gradedFormListForClass, 3)
VEXO_TEXT_CELL(getGradedFormListForClassFormClassID, gradedFormListForClass, 4)
VEXO_TEXT_CELL(getGradedFormListForClassFormPointsAvailable, gradedFormListForClass, 5)

VEXO_COUNT(getGradesForFormCount, gradesForForm)
VEXO_TEXT_CELL(getGradesForFormUserID, gradesForForm, 0)
VEXO_TEXT_CELL(getGradesForFormPointsAwardedString, gradesForForm, 1)

VEXO_COUNT(getCoreGroupClassidPeriodsInfoCount, coreGroupClassidPeriodsInfo)
VEXO_TEXT_CELL(getCoreGroupClassidPeriodsInfoKey, coreGroupClassidPeriodsInfo, 0)
VEXO_TEXT_CELL(getCoreGroupClassidPeriodsInfoShortLabel, coreGroupClassidPeriodsInfo, 1)
VEXO_TEXT_CELL(getCoreGroupClassidPeriodsInfoLongLabel, coreGroupClassidPeriodsInfo, 2)
VEXO_TEXT_CELL(getCoreGroupClassidPeriodsInfoPeriodType, coreGroupClassidPeriodsInfo, 3)
VEXO_TEXT_CELL(getCoreGroupClassidPeriodsInfoDisplayMode, coreGroupClassidPeriodsInfo, 4)

VEXO_COUNT(getInterfacesInfoCount, interfacesInfo)
VEXO_TEXT_CELL(getInterfacesInfoName, interfacesInfo, 0)
VEXO_TEXT_CELL(getInterfacesInfoId, interfacesInfo, 1)

#undef VEXO_COUNT
#undef VEXO_TEXT_CELL
#undef VEXO_FLAG_CELL

}  // extern "C"
