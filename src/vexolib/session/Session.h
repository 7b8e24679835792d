// One connection of the client to the Lorvex service: the ways of reaching it (connection
// variants), the transport of the live connection, the login and its answers, and the client
// attributes that travel with every request. Every server operation of the framework goes
// through a session, one exchange at a time on the caller's thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/optional.hpp>

#include "vexolib/transport/ConnectionDef.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/transport/Transceiver.h"

namespace vexo {

class DSRequest;

class Session {
 public:
  // Sync types of directory synchronisation.
  static const char LOAD_FROM_SERVER[];
  static const char SAVE_TO_SERVER[];
  static const char DIRECT_GET[];
  static const char DIRECT_PUT[];

  // One local folder to keep in step with a store of the service (sync/DirSync.h).
  struct SyncDesc {
    boost::filesystem::path localPath;
    std::string remoteKey;
    std::string syncType;
    std::string options;
  };

  // std::runtime_error "No valid connection variants." when the platform offers none.
  Session();
  // Sends nothing; the transport, if any, disconnects itself as it goes.
  virtual ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // ---- Connection ------------------------------------------------------------------------
  int getConnectionVariantCount() const;
  // std::logic_error "Invalid connection variant index." outside 0 .. count-1. A live
  // transport picks up the proxy at its next request; the library at the next connect.
  void chooseConnectionVariant(int index);
  // Replaces any transport. VexoException 201 "Failed to connect to <url>" when the
  // transport cannot connect; the session is then not connected.
  void connect(const std::string& url);
  // std::logic_error "Not connected" without a transport; VexoException 103 "Failed to
  // disconnect." when the transport's own disconnect fails (the session is disconnected).
  void disconnect();
  bool isConnected() const;
  void setTimeoutSeconds(int seconds) const;
  // VexoException 103 "Transceiver when not set." when not connected.
  Transceiver& accessTransceiver();

  // ---- Client attributes -----------------------------------------------------------------
  void setClientAttribute(const std::string& name, const std::string& value);
  boost::optional<std::string> getClientAttribute(const std::string& name) const;
  const std::map<std::string, std::string>& getClientAttributes() const {
    return clientAttributes;
  }
  // The attribute "client", or "".
  std::string getClientAppName() const;

  // ---- Login state -----------------------------------------------------------------------
  bool isLoggedIn() const { return loggedIn; }
  std::string getScreenName() const { return screenName; }
  std::string getViewAsScreenName() const { return viewAsScreenName; }
  bool isSuperUser() const { return superUser; }
  bool isSuperViewer() const { return superViewer; }
  bool isSuperViewerOnly() const { return superViewerOnly; }
  std::string getCoreGroupAlias() const { return coreGroupAlias; }
  std::string getCoreGroupTitle() const { return coreGroupTitle; }
  bool isClientUpgradeNeeded() const { return clientUpgradeNeeded; }
  std::string getClientUpgradeVersion() const { return clientUpgradeVersion; }
  std::string getClientUpgradeRemoteKey() const { return clientUpgradeRemoteKey; }
  std::string getClientUpgradeInstallString() const { return clientUpgradeInstallString; }
  bool getClientUpgradeIsPatch() const { return clientUpgradeIsPatch; }

  // ---- Other operations ------------------------------------------------------------------
  // Appended as given, without a separator.
  void logOperationAttemptInfo(const std::string& text);
  std::string getOperationAttemptInfo() const { return operationAttemptInfo; }
  // One "logMessage" request; needs a connection only.
  void logMessage(bool isError, const std::string& subcategory, const std::string& message);

  // Sends the request in passes that keep within the transport's post budget, in name order,
  // "req.hasMoreData" on every pass but the last, and merges every answer into response.
  // 200, or the first other status at once (the values of earlier passes stay merged).
  int transferNVPs(Transceiver& transceiver,
                   const std::map<std::string, std::string>& clientAttributes,
                   const NVPSet& request, NVPSet& response);

  // ---- Login and account operations ------------------------------------------------------
  // The return code; a login while logged in logs out first.
  int loginUsingPassword(const std::string& screenName, const std::string& password);
  int loginUsingAuthToken(const std::string& authToken);
  // 203 when not connected, 204 when not logged in, both without a request.
  int logout();
  int touchSession();
  std::string obtainAuthToken(const std::string& forStationType);
  int getClientGeneralUpgradeInfo(std::string& remoteKey, std::string& installString);
  // 0, or VexoException with the refusal's code and name.
  int setCoreGroup(const std::string& entid, const std::string& alias);
  // 0 without a request when sidestepping is on and the server accepted this very value last.
  int setCoreGroupUsingAlias(const std::string& alias);
  int setCoreGroupUsingEntid(const std::string& entid);
  void readLoginResponseNVPs(const NVPSet& response);

  // ---- Server data queries ---------------------------------------------------------------
  // Each list query returns the row count the answer states and fills one vector per column
  // (flags as 1 or 0). The vectors are emptied only once the count was read, and a failure in
  // a row leaves the rows and fields read before it: only a returned count says the table is
  // complete.
  std::string getCoreGroupRemoteAttributeString(const std::string& attributeName);
  int getInterfacesInfo(std::vector<std::string>& names, std::vector<std::string>& ids);
  void setEffectiveClassidPeriod(const std::string& period);
  std::string getEffectiveClassidPeriod();
  int getCoreGroupClassidPeriodsInfo(std::vector<std::string>& keys,
                                     std::vector<std::string>& shortLabels,
                                     std::vector<std::string>& longLabels,
                                     std::vector<std::string>& periodTypes,
                                     std::vector<std::string>& displayModes);
  int getGradesForForm(const std::string& formEntid, std::vector<std::string>& userIDs,
                       std::vector<std::string>& pointsAwarded);
  int getGradedFormListForClass(const std::string& classID, std::vector<std::string>& entids,
                                std::vector<std::string>& gradingLastModDates,
                                std::vector<std::string>& types,
                                std::vector<std::string>& titles,
                                std::vector<std::string>& classIDs,
                                std::vector<std::string>& pointsAvailable);
  int getGradedFormListForTeacher(std::vector<std::string>& entids,
                                  std::vector<std::string>& gradingLastModDates,
                                  std::vector<std::string>& types,
                                  std::vector<std::string>& titles,
                                  std::vector<std::string>& classIDs,
                                  std::vector<std::string>& pointsAvailable);
  int getDistrictSchoolsInfo(std::vector<std::string>& aliases, std::vector<std::string>& titles,
                             std::vector<std::string>& entids,
                             std::vector<std::string>& schoolIDs);
  int getCoreGroupsInfo(bool includeImplicitCoreGroups, std::vector<std::string>& titles,
                        std::vector<std::string>& entids, std::vector<std::string>& aliases,
                        std::vector<std::string>& legacyIDs, std::vector<int>& isDistrict);
  int getRosterUserInfo(const std::string& classID, std::vector<std::string>& firstNames,
                        std::vector<std::string>& lastNames, std::vector<std::string>& userIDs,
                        std::vector<std::string>& screenNames, std::vector<int>& isTeacher);
  int getCoreGroupTeachersAndGradebooks(std::vector<std::string>& teacherIDs,
                                        std::vector<std::string>& teacherNames,
                                        std::vector<std::string>& classIDs,
                                        std::vector<std::string>& classTitles,
                                        std::vector<std::string>& filenames,
                                        std::vector<int>& isActiveForExport,
                                        std::vector<int>& isActiveForReport,
                                        std::vector<std::string>& periodIDs,
                                        std::vector<std::string>& editModes);
  int getCoreGroupTeachersAndClasses(std::vector<std::string>& teacherIDs,
                                     std::vector<std::string>& teacherNames,
                                     std::vector<std::string>& classIDs,
                                     std::vector<std::string>& classTitles,
                                     std::vector<std::string>& periodIDs);
  int getGradebookInfo(std::vector<std::string>& classIDs, std::vector<std::string>& classTitles,
                       std::vector<std::string>& filenames, std::vector<int>& isActiveForExport,
                       std::vector<int>& isActiveForReport, std::vector<std::string>& periodIDs,
                       std::vector<std::string>& editModes);
  int getTaughtClassesInfo(std::vector<std::string>& ids, std::vector<std::string>& titles,
                           std::vector<std::string>& periodIDs);

  // One column of a list query; exactly one of the two vectors is set.
  struct QueryField {
    enum Kind { requiredText, optionalText, legacyText, requiredFlag, flagDefaultTrue,
                flagDefaultFalse };
    const char* name;
    Kind kind;
    std::vector<std::string>* text;
    std::vector<int>* flags;
  };

 private:
  typedef std::vector<std::pair<std::string, std::string>> RequestValues;

  void requireConnected() const;
  // One operation under "req.0." through the passes; VexoException 125 "HTTP result code: "
  // and the transport's describeStatus for a status other than 200 (a transfer without an
  // answer names its cause), then the request reads its answer under "resp.0.".
  void exchange(DSRequest& request, NVPSet& response);
  // Sends a login request; on success reads the login answer and marks the session
  // logged in. Returns the server's code.
  int runLogin(DSRequest& request);
  // One POST of "req.count" = "1" and the given values, without passes; VexoException 125
  // "HTTP result: <status>" (with the cause when there was no answer) and VexoException
  // "returnCode = '<code>'" unless "ok".
  NVPSet sendSingleOperation(const RequestValues& values);
  int runListQuery(const char* operation, const char* type, const RequestValues& arguments,
                   bool needsLogin, const char* list, const std::vector<QueryField>& fields);

  ConnectionDef connectionDef;
  TransferLib transferLib = TransferLib::curl;
  std::vector<ConnectionVariantInfo> connectionVariants;
  bool loggedIn = false;
  std::string screenName;
  std::string viewAsScreenName;
  bool superUser = false;
  bool superViewer = false;
  bool superViewerOnly = false;
  std::string coreGroupAlias;
  std::string coreGroupTitle;
  bool serverWantsClientSideLogs = false;
  bool clientUpgradeNeeded = false;
  std::string clientUpgradeVersion;
  std::string clientUpgradeRemoteKey;
  std::string clientUpgradeInstallString;
  bool clientUpgradeIsPatch = false;
  std::shared_ptr<Transceiver> transceiver;
  std::string operationAttemptInfo;
  std::map<std::string, std::string> clientAttributes;
};

// How a named value shows in traces (and so in the log table that travels to the server):
// "********" for a name ending in ".password", the first 16 characters and 16 asterisks for
// one ending in ".authToken", else the value itself.
std::string filterSensitiveNVPValueForLogging(const std::string& name, const std::string& value);

// The OS version text, read once per process.
std::string getCachedOSVersion();

// The sidestep cache lets a repeated core-group or class-id period setting skip the server.
// It is switched by the option "ssenabled" at every connect and cleared by logins, logout
// and disconnect.
void clearSidestepValues();
bool isSidesteppingEnabled();

}  // namespace vexo
