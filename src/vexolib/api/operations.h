// The interface's session operations, configuration calls, information tables and browser
// pages (the exports in vexokit.h forward to these). Status-returning operations run in the
// frame of api25.h; text results come from the ring of bufferString unless said otherwise.
#pragma once

#include <string>

namespace vexo {
namespace api25 {

// ---- Session operations ------------------------------------------------------------------
// A null text argument is refused with 103 "Null argument" before anything else happens and
// never ends the session; where a null text is read as empty, that is said.
int connect();
int disconnect();
bool isConnected();
// Ignored without a session, and not remembered for a later one.
void setTimeoutSeconds(int seconds);
int loginUsingPassword(const char* screenName, const char* password);
int loginUsingAuthToken(const char* authToken);
int logout();
int touchSession();
// Null station type: empty. Null result without a session or after a failure.
const char* obtainAuthToken(const char* forStationType);
int retrieveClientGeneralUpgradeInfo();
int setCoreGroupUsingEntid(const char* entid);
int setCoreGroupUsingAlias(const char* alias);
// Never null: an empty text without a session or after a failure.
const char* getCoreGroupRemoteAttributeString(const char* attributeName);
bool getCoreGroupRemoteAttributeBoolean(const char* attributeName);
// Null period: empty.
int setEffectiveClassidPeriod(const char* period);
const char* getEffectiveClassidPeriod();

// Getters over the session: false or null without one.
bool isLoggedIn();
bool isSuperUser();
bool isSuperViewer();
bool isSuperViewerOnly();
bool isClientUpgradeNeeded();
bool getClientUpgradeIsPatch();
const char* getScreenName();
const char* getViewAsScreenName();
const char* getCoreGroupAlias();
const char* getCoreGroupTitle();
const char* getClientUpgradeVersion();
const char* getClientUpgradeRemoteKey();
const char* getClientUpgradeInstallString();
const char* getClientGeneralUpgradeRemoteKey();
const char* getClientGeneralUpgradeInstallString();

// ---- Configuration, client attributes, tracing and log messages --------------------------
// These set no status, except 103 "Null argument" for a null text (and logMessage's flush).
void overrideConfigOption(const char* name, const char* value);
void setClientAttribute(const char* name, const char* value);
void setTracingEnabled(bool enabled);
// Valid until the next call of this function; not from the ring.
const char* getTraceLogDirectory();
void setTraceLogDirectory(const char* path);
// Records the entry; an error also flushes the pending entries to a connected session.
void logMessage(bool isError, const char* subcategory, const char* message);

// ---- Information tables ------------------------------------------------------------------
enum class InfoTable {
  taughtClasses,
  gradebook,
  coreGroupTeachersAndClasses,
  coreGroupTeachersAndGradebooks,
  rosterUserInfo,
  coreGroupsInfo,
  districtSchoolsInfo,
  gradedFormListForTeacher,
  gradedFormListForClass,
  gradesForForm,
  coreGroupClassidPeriodsInfo,
  interfacesInfo,
};
const int infoTableCount = 12;

int retrieveTaughtClassesInfo();
int retrieveGradebookInfo();
int retrieveCoreGroupTeachersAndClasses();
int retrieveCoreGroupTeachersAndGradebooks();
int retrieveRosterUserInfo(const char* classID);
int retrieveCoreGroupsInfo(bool includeImplicitCoreGroups);
int retrieveDistrictSchoolsInfo();
int retrieveGradedFormListForTeacherInfo();
int retrieveGradedFormListForClassInfo(const char* classID);
int retrieveGradesForForm(const char* formEntid);
int retrieveCoreGroupClassidPeriodsInfo();
int retrieveInterfacesInfo();

// The row count the service announced for the last query of the table that read a count.
int getRowCount(InfoTable table);
// One cell by column (in the order the table's query fills them) and row. Outside the table,
// or in a column of the other kind: null, or 0.
const char* getTextCell(InfoTable table, int column, int row);
int getFlagCell(InfoTable table, int column, int row);

// ---- Browser pages -----------------------------------------------------------------------
int openGradebooks(const char* srcCompId, const char* srcAppId, const char* srcAppVer);
int classDataSync(const char* schoolId, const char* classId, const char* fileExt,
                  const char* mimeType, const char* srcCompId, const char* srcAppId,
                  const char* srcAppVer);

// ---- For tests ---------------------------------------------------------------------------
// Session, status, client attributes and tables back to those of a fresh process.
void resetInterfaceState();

}  // namespace api25
}  // namespace vexo
