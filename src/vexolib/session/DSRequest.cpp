#include "vexolib/session/DSRequest.h"


#include "vexolib/session/NVPSet.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

struct RetCodeStringMapping {
  const char* name;
  int number;
};

// Searched in this order; the numbers are the service's and not ascending.
const RetCodeStringMapping retCodeStringMappings[] = {
    {"ok", 0},
    {"systemError", 300},
    {"authenticationFailed", 301},
    {"invalidAuthToken", 302},
    {"notAuthenticated", 303},
    {"accountProblem", 304},
    {"dataMaintenance", 305},
    {"invalidTeacherID", 306},
    {"migrationSyncBlocked", 309},
    {"unimplementedOperation", 310},
    {"authenticationLimited", 307},
    {"insufficientPrivileges", 308},
    {"teacherLockout", 311},
    {"teacherLockoutAfterCompletion", 312},
    {"loginConflict", 313},
    {"noGeneralUpgradeAvailable", 314},
    {"zeroByteSaveBlocked", 315},
    {nullptr, 0},
};

}  // namespace

int getRetCodeForString(const std::string& name) {
  for (const RetCodeStringMapping* m = retCodeStringMappings; m->name != nullptr; ++m) {
    if (name == m->name) {
      return m->number;
    }
  }
  return status::serviceSystemError;
}

// ---- DSRequest ---------------------------------------------------------------------------

DSRequest::DSRequest(Session& session, const std::string& type)
    : type(type), session(session) {}

DSRequest::~DSRequest() = default;

int DSRequest::getRetCode() const {
  return getRetCodeForString(retcode);
}

std::string DSRequest::getUserVisibleMessage() const {
  return userVisibleMessage;
}

std::string DSRequest::getRetCodeString() const {
  return retcode;
}

void DSRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  request.setString(prefix + "type", type);
}

void DSRequest::processResponseNVPs(const NVPSet& response, const std::string& prefix) {
  retcode = response.getString(prefix + "retcode");
  userVisibleMessage = response.getString(prefix + "userVisibleMessage", "");
}

std::shared_ptr<DSRequest> DSRequest::getFollowUpRequest() {
  return std::make_shared<NoopRequest>(session);
}

// ---- The simple requests ------------------------------------------------------------------

NoopRequest::NoopRequest(Session& session) : DSRequest(session, "noop") {}

LoginUsingPasswordRequest::LoginUsingPasswordRequest(Session& session,
                                                     const std::string& screenName,
                                                     const std::string& password)
    : DSRequest(session, "loginUsingPassword"), screenName(screenName), password(password) {}

void LoginUsingPasswordRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  request.setString(prefix + "screenName", screenName);
  request.setString(prefix + "password", password);
}

LoginUsingAuthTokenRequest::LoginUsingAuthTokenRequest(Session& session,
                                                       const std::string& authToken)
    : DSRequest(session, "loginUsingAuthToken"), authToken(authToken) {}

void LoginUsingAuthTokenRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  request.setString(prefix + "authToken", authToken);
}

LogoutRequest::LogoutRequest(Session& session) : DSRequest(session, "logout") {}

TouchSessionRequest::TouchSessionRequest(Session& session) : DSRequest(session, "touchSession") {}

void TouchSessionRequest::processResponseNVPs(const NVPSet& response, const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  if (const auto value = response.lookupNVP(prefix + "isLoggedIn")) {
    isLoggedIn = (*value)->getBoolean();
  }
}

ObtainAuthTokenRequest::ObtainAuthTokenRequest(Session& session,
                                               const std::string& forStationType)
    : DSRequest(session, "obtainAuthToken"), forStationType(forStationType) {}

void ObtainAuthTokenRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  if (!forStationType.empty()) {
    request.setString(prefix + "forStationType", forStationType);
  }
}

void ObtainAuthTokenRequest::processResponseNVPs(const NVPSet& response,
                                                 const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  authToken = response.getString(prefix + "authToken");
}

RetrieveClientGeneralUpgradeInfoRequest::RetrieveClientGeneralUpgradeInfoRequest(
    Session& session)
    : DSRequest(session, "retrieveClientGeneralUpgradeInfo") {}

void RetrieveClientGeneralUpgradeInfoRequest::processResponseNVPs(const NVPSet& response,
                                                                  const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  remoteKey = response.getString(prefix + "remoteKey", "");
  installString = response.getString(prefix + "installString", "");
}

SetCoreGroupRequest::SetCoreGroupRequest(Session& session, const std::string& coreGroupEntid,
                                         const std::string& coreGroupAlias)
    : DSRequest(session, "setCoreGroup"),
      coreGroupEntid(coreGroupEntid),
      coreGroupAlias(coreGroupAlias) {}

void SetCoreGroupRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  if (!coreGroupEntid.empty()) {
    request.setString(prefix + "coreGroupEntid", coreGroupEntid);
  } else {
    request.setString(prefix + "coreGroupAlias", coreGroupAlias);
  }
}

void SetCoreGroupRequest::processResponseNVPs(const NVPSet& response, const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  if (const auto alias = response.lookupNVP(prefix + "newCoreGroupAlias")) {
    newCoreGroupAlias = (*alias)->getString();
  }
  if (const auto title = response.lookupNVP(prefix + "newCoreGroupTitle")) {
    newCoreGroupTitle = (*title)->getString();
  }
}

GetEffectiveClassidPeriodRequest::GetEffectiveClassidPeriodRequest(Session& session)
    : DSRequest(session, "getEffectiveClassIdPeriod") {}

void GetEffectiveClassidPeriodRequest::processResponseNVPs(const NVPSet& response,
                                                           const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  effectiveClassIdPeriod = response.getString(prefix + "effectiveClassIdPeriod");
}

SetEffectiveClassidPeriodRequest::SetEffectiveClassidPeriodRequest(
    Session& session, const std::string& effectiveClassIdPeriod)
    : DSRequest(session, "setEffectiveClassIdPeriod"),
      effectiveClassIdPeriod(effectiveClassIdPeriod) {}

void SetEffectiveClassidPeriodRequest::setRequestNVPs(NVPSet& request,
                                                      const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  request.setString(prefix + "effectiveClassIdPeriod", effectiveClassIdPeriod);
}

}  // namespace vexo
