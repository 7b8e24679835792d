/* The client interface of the vexokit framework: plain C functions with unmangled names,
 * every one safe to call first (the framework sets itself up on the first call). Status
 * results are 0 for success, else a code whose message vexo25_getErrorMessage returns.
 * Texts returned by the framework stay its own and remain valid until 32 further texts
 * have been returned. One thread at a time. */
#ifndef VEXOKIT_H
#define VEXOKIT_H

#ifdef __cplusplus
extern "C" {
#endif

#define VEXOKIT_API __attribute__((visibility("default")))
/* Nothing is ever thrown out of an export; C++ callers see it in the declaration. */
#ifdef __cplusplus
#define VEXOKIT_NOEXCEPT noexcept
#else
#define VEXOKIT_NOEXCEPT
#endif

/* A file named by its path. vexo25_addFile accepts it when the file exists and its absolute
 * path fits 1023 bytes. */
typedef struct VexoFileSpec {
  const char* path;
} VexoFileSpec;

/* ---- Sending files ------------------------------------------------------------------- */

/* Queues the file with its upload format (null: no format); 0, or 123 when the file
 * specification cannot be turned into a path. */
VEXOKIT_API int vexo25_addFile(const char* format, const VexoFileSpec* fileSpec) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo21_addFile(const char* format, const VexoFileSpec* fileSpec) VEXOKIT_NOEXCEPT;
/* Queues the path as given; 0, or 123 for a null path. */
VEXOKIT_API int vexo25_addFileUsingPath(const char* format, const char* path) VEXOKIT_NOEXCEPT;
/* Empties the queue; always 0. */
VEXOKIT_API int vexo25_resetFiles(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo21_resetFiles(void) VEXOKIT_NOEXCEPT;

/* Uploads every queued file (the queue is emptied first, whatever the outcome) and opens
 * the service's result page in the browser. A null text leaves the framework's default
 * (empty). With deleteInputFiles non-zero the queued files are deleted after a successful
 * upload; a failed upload leaves them. The message (empty after success) is copied into
 * messageBuffer: at most bufferSize - 1 bytes and always a terminating zero byte; nothing
 * is written for a null buffer or a size below 1. */
VEXOKIT_API int vexo25_sendFiles(const char* srcCompId, const char* srcAppId,
                                 const char* srcAppVer, const char* authToken,
                                 int deleteInputFiles, char* messageBuffer, int bufferSize)
    VEXOKIT_NOEXCEPT;
/* The same with options "name=value;name=value" (null: none); lightweight=true lets the
 * framework complete the upload itself when the service offers it. */
VEXOKIT_API int vexo25_sendFilesWithOptions(const char* options, const char* srcCompId,
                                            const char* srcAppId, const char* srcAppVer,
                                            const char* authToken, int deleteInputFiles,
                                            char* messageBuffer, int bufferSize) VEXOKIT_NOEXCEPT;
/* vexo25_sendFiles without a token. */
VEXOKIT_API int vexo21_sendFiles(const char* srcCompId, const char* srcAppId,
                                 const char* srcAppVer, int deleteInputFiles,
                                 char* messageBuffer, int bufferSize) VEXOKIT_NOEXCEPT;
/* 1 when the last upload of the process was completed by the framework itself. */
VEXOKIT_API int vexo25_lastSendFilesWasLightweight(void) VEXOKIT_NOEXCEPT;

/* ---- Patches -------------------------------------------------------------------------- */

/* The new file from the old one and a binary patch; 0, else 103, 105, 106 or 126. */
VEXOKIT_API int vexo25_applyPatchFile(const char* patchFile, const char* oldFile,
                                      const char* newFile) VEXOKIT_NOEXCEPT;
/* The new folder from the old one and a patch folder with its plan. */
VEXOKIT_API int vexo25_applyPatchDir(const char* patchDir, const char* oldDir,
                                     const char* newDir) VEXOKIT_NOEXCEPT;
/* Checks a patch folder without building anything. */
VEXOKIT_API int vexo25_validatePatchDir(const char* patchDir) VEXOKIT_NOEXCEPT;

/* ---- Directory synchronisation -------------------------------------------------------- */

/* Queues a folder for the next performSync; sync type "loadFromServer", "saveToServer",
   "directGet" or "directPut". Needs no session. */
VEXOKIT_API int vexo25_queueSyncDir(const char* localDir, const char* remoteKey,
                                    const char* syncType, const char* options) VEXOKIT_NOEXCEPT;
/* Runs every queued folder over the session; the first folder's non-zero code, else 0. */
VEXOKIT_API int vexo25_performSync(void) VEXOKIT_NOEXCEPT;
/* Loads the definition files of one interface (by name, else by id) into localDir. */
VEXOKIT_API int vexo25_getInterfaceDefinitionFiles(const char* interfaceName,
                                                   const char* interfaceId,
                                                   const char* localDir) VEXOKIT_NOEXCEPT;

/* ---- Configuration, tracing and messages --------------------------------------------- */

/* Sets a configuration option for the rest of the process (the file is not written). */
VEXOKIT_API void vexo25_overrideConfigOption(const char* name, const char* value) VEXOKIT_NOEXCEPT;
/* Sent with every request of the live session and of every later one. */
VEXOKIT_API void vexo25_setClientAttribute(const char* name, const char* value) VEXOKIT_NOEXCEPT;
VEXOKIT_API void vexo25_setTracingEnabled(unsigned char enabled) VEXOKIT_NOEXCEPT;
/* The next trace line opens a new trace file in the folder. */
VEXOKIT_API void vexo25_setTraceLogDirectory(const char* path) VEXOKIT_NOEXCEPT;
/* Valid until the next call of this function (not one of the 32 kept texts). */
VEXOKIT_API const char* vexo25_getTraceLogDirectory(void) VEXOKIT_NOEXCEPT;
/* Records the message for the service; an error also sends the pending messages to a
 * connected session, whose failure ends the session (see vexo25_getErrorMessage). */
VEXOKIT_API void vexo25_logMessage(unsigned char isError, const char* subcategory,
                                   const char* message) VEXOKIT_NOEXCEPT;

/* ---- Connection, login, core group and upgrade ---------------------------------------- */
/* A null text where one is needed: 103 "Null argument", and nothing else happens. Any
 * failure reported by an exception ends the session: vexo25_isConnected answers 0. */

VEXOKIT_API int vexo25_connect(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_disconnect(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isConnected(void) VEXOKIT_NOEXCEPT;
/* Ignored without a session. */
VEXOKIT_API void vexo25_setTimeoutSeconds(int seconds) VEXOKIT_NOEXCEPT;
/* The service's return code: 0, or 300 to 315 for a refusal (the session stays). */
VEXOKIT_API int vexo25_loginUsingPassword(const char* screenName, const char* password)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_loginUsingAuthToken(const char* authToken) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_logout(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_touchSession(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isLoggedIn(void) VEXOKIT_NOEXCEPT;
/* Null type: empty. The token, or null on failure. */
VEXOKIT_API const char* vexo25_obtainAuthToken(const char* forStationType) VEXOKIT_NOEXCEPT;
/* Null without a session. */
VEXOKIT_API const char* vexo25_getScreenName(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getViewAsScreenName(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isSuperUser(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isSuperViewer(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isSuperViewerOnly(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupAlias(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTitle(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_setCoreGroupUsingAlias(const char* alias) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_setCoreGroupUsingEntid(const char* entid) VEXOKIT_NOEXCEPT;
/* Never null: empty without a session (203 "not connected") or after a failure. */
VEXOKIT_API const char* vexo25_getCoreGroupRemoteAttributeString(const char* attributeName)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getCoreGroupRemoteAttributeBoolean(const char* attributeName)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getEffectiveClassidPeriod(void) VEXOKIT_NOEXCEPT;
/* Null period: empty. */
VEXOKIT_API int vexo25_setEffectiveClassidPeriod(const char* period) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isClientUpgradeNeeded(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getClientUpgradeIsPatch(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getClientUpgradeVersion(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getClientUpgradeRemoteKey(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getClientUpgradeInstallString(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveClientGeneralUpgradeInfo(void) VEXOKIT_NOEXCEPT;
/* Null without a session. */
VEXOKIT_API const char* vexo25_getClientGeneralUpgradeRemoteKey(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getClientGeneralUpgradeInstallString(void) VEXOKIT_NOEXCEPT;

/* ---- Browser pages ---------------------------------------------------------------------- */
/* Open a page of the service in the user's browser; no session needed. A null text leaves
 * the default (empty; "*" for the class ID). 103 for a URL prefix that is not an http or
 * https address, 114 when the browser cannot be opened, 120 for a school ID without a
 * class ID. */

VEXOKIT_API int vexo25_openGradebooks(const char* srcCompId, const char* srcAppId,
                                      const char* srcAppVer) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo21_openGradebooks(const char* srcCompId, const char* srcAppId,
                                      const char* srcAppVer) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_classDataSync(const char* schoolId, const char* classId,
                                     const char* fileExt, const char* mimeType,
                                     const char* srcCompId, const char* srcAppId,
                                     const char* srcAppVer) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo21_classDataSync(const char* schoolId, const char* classId,
                                     const char* fileExt, const char* mimeType,
                                     const char* srcCompId, const char* srcAppId,
                                     const char* srcAppVer) VEXOKIT_NOEXCEPT;

/* ---- Information tables ----------------------------------------------------------------- */
/* A query replaces the table's rows only when it succeeds; an answer that announces rows it
 * does not hold empties the table. The rows stay readable without a session. A row outside
 * 0 .. count - 1 reads as null or 0. */

VEXOKIT_API int vexo25_retrieveTaughtClassesInfo(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveGradebookInfo(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveCoreGroupTeachersAndClasses(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveCoreGroupTeachersAndGradebooks(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveRosterUserInfo(const char* classID) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveCoreGroupsInfo(unsigned char includeImplicitCoreGroups)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveDistrictSchoolsInfo(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveGradedFormListForTeacherInfo(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveGradedFormListForClassInfo(const char* classID) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveGradesForForm(const char* formEntid) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveCoreGroupClassidPeriodsInfo(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_retrieveInterfacesInfo(void) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getTaughtClassesCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getTaughtClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getTaughtClassTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getTaughtClassPeriodID(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getGradebookCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradebookClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradebookClassTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradebookFilename(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getGradebookIsActiveForExport(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getGradebookIsActiveForReport(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradebookPeriodID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradebookEditMode(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getCoreGroupTeachersAndClassesCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndClassesTeacherID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndClassesTeacherName(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndClassesClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndClassesClassTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndClassesPeriodID(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getCoreGroupTeachersAndGradebooksCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksTeacherID(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksTeacherName(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksClassTitle(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksFilename(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getCoreGroupTeachersAndGradebooksIsActiveForExport(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getCoreGroupTeachersAndGradebooksIsActiveForReport(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksPeriodID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupTeachersAndGradebooksEditMode(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getRosterUserInfoCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getRosterUserInfoFirstName(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getRosterUserInfoLastName(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getRosterUserInfoUserID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getRosterUserInfoScreenName(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getRosterUserInfoIsTeacher(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getCoreGroupInfoCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupInfoTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupInfoEntid(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupInfoAlias(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupInfoLegacyID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getCoreGroupInfoIsDistrict(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getDistrictSchoolsInfoCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getDistrictSchoolsInfoAlias(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getDistrictSchoolsInfoTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getDistrictSchoolsInfoEntid(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getDistrictSchoolsInfoSchoolID(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getGradedFormListForTeacherFormCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormEntid(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormGradingLastModDate(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormType(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForTeacherFormPointsAvailable(int row)
    VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getGradedFormListForClassFormCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormEntid(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormGradingLastModDate(int row)
    VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormType(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormTitle(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormClassID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradedFormListForClassFormPointsAvailable(int row)
    VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getGradesForFormCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradesForFormUserID(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getGradesForFormPointsAwardedString(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getCoreGroupClassidPeriodsInfoCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupClassidPeriodsInfoKey(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupClassidPeriodsInfoShortLabel(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupClassidPeriodsInfoLongLabel(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupClassidPeriodsInfoPeriodType(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getCoreGroupClassidPeriodsInfoDisplayMode(int row) VEXOKIT_NOEXCEPT;

VEXOKIT_API int vexo25_getInterfacesInfoCount(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getInterfacesInfoName(int row) VEXOKIT_NOEXCEPT;
VEXOKIT_API const char* vexo25_getInterfacesInfoId(int row) VEXOKIT_NOEXCEPT;

/* ---- State ---------------------------------------------------------------------------- */

/* The message of the last status-returning call; empty after success, never null. */
VEXOKIT_API const char* vexo25_getErrorMessage(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_isTracingEnabled(void) VEXOKIT_NOEXCEPT;
VEXOKIT_API int vexo25_getMaxTraceLogFiles(void) VEXOKIT_NOEXCEPT;
/* Negative counts are ignored. */
VEXOKIT_API void vexo25_setMaxTraceLogFiles(int count) VEXOKIT_NOEXCEPT;

/* The two entry points a program looks up with dlsym. */
typedef int (*vexo25_addFile_fn)(const char*, const VexoFileSpec*);
typedef int (*vexo25_sendFiles_fn)(const char*, const char*, const char*, const char*, int,
                                   char*, int);

#ifdef __cplusplus
}
#endif

#endif /* VEXOKIT_H */
