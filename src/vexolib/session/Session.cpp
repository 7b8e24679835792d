#include "vexolib/session/Session.h"

#include <algorithm>
#include <stdexcept>

#include "vexolib/session/DSRequest.h"
#include "vexolib/session/NVPResponseProcessor.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/transport/curl_shared.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/version.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

// A string value costs a flat allowance of the post budget, whatever its length.
const std::uint64_t stringValueCost = 64;

// The sidestep cache: the last values the server accepted; none after a clear.
bool sidesteppingEnabled = false;
boost::optional<std::string> sidestepEffectiveClassidPeriod;
boost::optional<std::string> sidestepCoreGroupAlias;
boost::optional<std::string> sidestepCoreGroupEntid;

// A value list in a trace shows at most this much: an answer may hold megabytes of text, and
// a trace line is built whole in memory (and copied into the log table).
const std::size_t traceListLimit = 64 * 1024;

// Values as "name=value" lines, secrets masked, until the limit is reached.
struct TraceList {
  std::string text;
  std::size_t shown = 0;

  // False once full.
  bool add(const std::string& name, const std::string& value) {
    text += name + "=" + filterSensitiveNVPValueForLogging(name, value) + "\n";
    ++shown;
    return text.size() < traceListLimit;
  }
  std::string end(std::size_t total) {
    if (shown < total) {
      text += "... and " + std::to_string(total - shown) + " more\n";
    }
    return std::move(text);
  }
};

std::string listForTrace(const NVPSet& set, const std::vector<std::string>& names) {
  TraceList list;
  for (const std::string& name : names) {
    if (!list.add(name, set.getNVP(name)->valueAsString())) {
      break;
    }
  }
  return list.end(names.size());
}

std::string listForTrace(const NVPSet& set) {
  TraceList list;
  set.forEachValue(
      [&list](const std::string& name, const std::string& value) { return list.add(name, value); });
  return list.end(set.size());
}

}  // namespace

const char Session::LOAD_FROM_SERVER[] = "loadFromServer";
const char Session::SAVE_TO_SERVER[] = "saveToServer";
const char Session::DIRECT_GET[] = "directGet";
const char Session::DIRECT_PUT[] = "directPut";

// ---- File-scope services -----------------------------------------------------------------

std::string filterSensitiveNVPValueForLogging(const std::string& name, const std::string& value) {
  if (strutil::endsWith(name, ".password")) {
    return "********";
  }
  if (strutil::endsWith(name, ".authToken")) {
    return value.substr(0, 16) + "****************";
  }
  return value;
}

std::string getCachedOSVersion() {
  static const std::string version = platform::getOSVersionString();
  return version;
}

void clearSidestepValues() {
  sidestepEffectiveClassidPeriod = boost::none;
  sidestepCoreGroupAlias = boost::none;
  sidestepCoreGroupEntid = boost::none;
}

bool isSidesteppingEnabled() {
  return sidesteppingEnabled;
}

// ---- Construction and connection ---------------------------------------------------------

Session::Session() {
  connectionVariants = platform::identifyConnectionVariants();
  if (connectionVariants.empty()) {
    throw std::runtime_error("No valid connection variants.");
  }
  connectionDef.proxyDef = connectionVariants.front().proxyDef;
  transferLib = connectionVariants.front().transferLib;
  clientAttributes["vexoMajorVersion"] = "2";
  clientAttributes["vexoMinorVersion"] = "5";
  clientAttributes["vexoMicroVersion"] = "72";
  clientAttributes["vexoVersion"] = frameworkVersion;
  clientAttributes["vexoPlatform"] = "macmacho";
  clientAttributes["vexoDataFormatVersion"] = dataFormatVersion;
  clientAttributes["clientPlatform"] = "macmacho";
  clientAttributes["clientOS"] = getCachedOSVersion();
  clientAttributes["setFileTimeSupported"] = "true";
  clientAttributes["transferLib"] = getTransferLibName(transferLib);
}

Session::~Session() = default;

int Session::getConnectionVariantCount() const {
  return static_cast<int>(connectionVariants.size());
}

void Session::chooseConnectionVariant(int index) {
  if (index < 0 || index >= getConnectionVariantCount()) {
    throw std::logic_error("Invalid connection variant index.");
  }
  const ConnectionVariantInfo& variant = connectionVariants[static_cast<std::size_t>(index)];
  // In place: a live transport holds a reference to connectionDef.
  connectionDef.proxyDef = variant.proxyDef;
  transferLib = variant.transferLib;
}

void Session::connect(const std::string& url) {
  platform::trace(std::string("version: ") + frameworkVersion);
  platform::trace("connect");
  const std::string prefix = platform::getUrlPrefix();
  if (prefix != curlshared::builtInUrlPrefix()) {
    platform::trace("URL Prefix: " + prefix);
  }
  platform::trace("Program path: " + platform::getProgramPath());
  sidesteppingEnabled = platform::getBoolConfigOption("ssenabled", false);
  transceiver = Transceiver::makeTransceiver(transferLib, connectionDef, url, getClientAppName());
  if (!transceiver->connect()) {
    transceiver.reset();
    throw VexoException(status::connectionFailed, "Failed to connect to " + url);
  }
  platform::trace("exit connect");
}

void Session::disconnect() {
  platform::trace("disconnect");
  clearSidestepValues();
  if (!transceiver) {
    throw std::logic_error("Not connected");
  }
  const bool disconnected = transceiver->disconnect();
  transceiver.reset();
  platform::deleteRemainingTemporaryData();
  if (!disconnected) {
    throw VexoException(status::generalFailure, "Failed to disconnect.");
  }
  platform::trace("exit disconnect");
}

bool Session::isConnected() const {
  return static_cast<bool>(transceiver);
}

void Session::setTimeoutSeconds(int seconds) const {
  platform::trace("setTimeoutSeconds");
  requireConnected();
  transceiver->setTimeoutSeconds(seconds);
  platform::trace("end setTimeoutSeconds");
}

Transceiver& Session::accessTransceiver() {
  if (!transceiver) {
    throw VexoException(status::generalFailure, "Transceiver when not set.");
  }
  return *transceiver;
}

void Session::requireConnected() const {
  if (!transceiver) {
    throw VexoException(status::generalFailure, "Not connected.");
  }
}

// ---- Client attributes and small operations ----------------------------------------------

void Session::setClientAttribute(const std::string& name, const std::string& value) {
  platform::trace("setClientAttribute: " + name + " = " + value);
  clientAttributes[name] = value;
}

boost::optional<std::string> Session::getClientAttribute(const std::string& name) const {
  const auto it = clientAttributes.find(name);
  if (it == clientAttributes.end()) {
    return boost::none;
  }
  return it->second;
}

std::string Session::getClientAppName() const {
  return getClientAttribute("client").value_or("");
}

void Session::logOperationAttemptInfo(const std::string& text) {
  operationAttemptInfo += text;
}

void Session::logMessage(bool isError, const std::string& subcategory,
                         const std::string& message) {
  platform::trace("logMessage");
  requireConnected();
  sendSingleOperation({{"req.0.type", "logMessage"},
                       {"req.0.isError", strutil::fromBool(isError)},
                       {"req.0.subcategory", subcategory},
                       {"req.0.message", message}});
  platform::trace("exit logMessage");
}

NVPSet Session::sendSingleOperation(const RequestValues& values) {
  Transceiver& transport = accessTransceiver();
  transport.setStringValue("req.count", "1");
  for (const auto& value : values) {
    transport.setStringValue(value.first, value.second);
  }
  NVPResponseProcessor processor;
  const int status = transport.sendRequest(clientAttributes, processor);
  if (status != 200) {
    throw VexoException(status::httpStatusNot200, "HTTP result: " + transport.describeStatus(status));
  }
  const std::string retcode = processor.responseNVPs.getString("resp.0.retcode", "");
  if (retcode != "ok") {
    throw VexoException(getRetCodeForString(retcode), "returnCode = '" + retcode + "'");
  }
  return std::move(processor.responseNVPs);
}

// ---- Request passes ----------------------------------------------------------------------

int Session::transferNVPs(Transceiver& transport,
                          const std::map<std::string, std::string>& attributes,
                          const NVPSet& request, NVPSet& response) {
  platform::trace("transferNVPs");
  const std::uint64_t maxPost = transport.getMaxRecommendedPostSize();
  const std::vector<std::string> names = request.getNVPNames();
  if (platform::isTracingEnabled()) {
    platform::trace("transferNVPs - list being sent:");
    platform::trace(listForTrace(request, names));
  }
  std::size_t next = 0;
  for (int pass = 1;; ++pass) {
    std::uint64_t used = 0;
    bool placed = false;
    while (next < names.size()) {
      const std::string& name = names[next];
      const std::shared_ptr<NVP> nvp = request.getNVP(name);
      const bool isString = nvp->type == NVP::STRING;
      const std::uint64_t size = isString ? 0 : nvp->getChunkSize();
      const std::uint64_t cost = isString ? stringValueCost : size;
      const bool fits = maxPost > used && maxPost - used > cost;
      if (!fits && placed) {
        break;
      }
      // A value over the whole budget would never fit: it goes alone rather than never.
      if (!fits) {
        platform::trace("transferNVPs: " + name + " exceeds the post budget; sent alone");
      }
      if (isString) {
        transport.setStringValue(name, nvp->getString());
      } else {
        const std::string path = nvp->getChunkFileTempPath();
        transport.setFileValue(name, platform::getFileNameFromPath(path), path, 0,
                               static_cast<long>(size), static_cast<long>(size));
      }
      used += cost;
      placed = true;
      ++next;
      if (!fits) {
        break;
      }
    }
    const bool more = next < names.size();
    if (more) {
      transport.setStringValue("req.hasMoreData", "true");
    }
    if (platform::isTracingEnabled() && (more || pass > 1)) {
      std::vector<std::string> sent;
      for (const std::string& name : transport.getNamesOfValuesBeingSent()) {
        if (request.contains(name)) {
          sent.push_back(name);
        }
      }
      platform::trace("Pass " + std::to_string(pass) + " - NVPs being sent:");
      platform::trace(listForTrace(request, sent));
    }
    NVPResponseProcessor processor;
    // The passes of one request share one cap on the answer's text.
    processor.textLimit = NVPResponseProcessor::maxAnswerText -
                          std::min(NVPResponseProcessor::maxAnswerText, response.textBytes());
    const int status = transport.sendRequest(attributes, processor);
    if (status != 200) {
      platform::trace("Received non-200 HTTP status code:" + std::to_string(status));
      return status;
    }
    if (platform::isTracingEnabled()) {
      platform::trace("NVPs received in pass " + std::to_string(pass) + ":");
      platform::trace(listForTrace(processor.responseNVPs));
    }
    // Chunks are shared, not copied: a chunk's file lives as long as its last holder, so a
    // large answer stays one copy on disk.
    response.merge(std::move(processor.responseNVPs));
    if (!more) {
      break;
    }
  }
  const std::string marker = response.getString("sessionMarker", "");
  platform::trace("session marker: " + (marker.empty() ? std::string("(none)") : marker));
  const std::string serverTime = response.getString("serverTime", "");
  platform::trace("server time: " + (serverTime.empty() ? std::string("(none)") : serverTime));
  platform::trace("exit transferNVPs");
  return 200;
}

void Session::exchange(DSRequest& request, NVPSet& response) {
  NVPSet requestSet;
  requestSet.setInteger("req.count", 1);
  request.setRequestNVPs(requestSet, "req.0.");
  Transceiver& transport = accessTransceiver();
  const int status = transferNVPs(transport, clientAttributes, requestSet, response);
  if (status != 200) {
    throw VexoException(status::httpStatusNot200,
                        "HTTP result code: " + transport.describeStatus(status));
  }
  request.processResponseNVPs(response, "resp.0.");
}

// ---- Login and account operations --------------------------------------------------------

int Session::loginUsingPassword(const std::string& name, const std::string& password) {
  platform::trace("loginUsingPassword");
  clearSidestepValues();
  requireConnected();
  if (loggedIn) {
    logout();
  }
  LoginUsingPasswordRequest request(*this, name, password);
  const int code = runLogin(request);
  platform::trace("exit loginUsingPassword");
  return code;
}

int Session::loginUsingAuthToken(const std::string& authToken) {
  platform::trace("loginUsingAuthToken");
  clearSidestepValues();
  requireConnected();
  if (loggedIn) {
    logout();
  }
  LoginUsingAuthTokenRequest request(*this, authToken);
  const int code = runLogin(request);
  platform::trace("exit loginUsingAuthToken");
  return code;
}

int Session::runLogin(DSRequest& request) {
  NVPSet response;
  exchange(request, response);
  const int code = request.getRetCode();
  if (code == 0) {
    readLoginResponseNVPs(response);
    loggedIn = true;
  }
  return code;
}

void Session::readLoginResponseNVPs(const NVPSet& response) {
  platform::trace("readLoginResponseNVPs");
  const auto text = [&response](const char* key, const std::string& defaultValue) {
    return response.getString(std::string("resp.0.") + key, defaultValue);
  };
  const auto flag = [&text](const char* key) { return strutil::toBool(text(key, ""), false); };
  screenName = text("screenName", "");
  viewAsScreenName = text("viewAsScreenName", screenName);
  superUser = flag("isSuperUser");
  superViewerOnly = flag("isSuperViewerOnly");
  const std::string superViewerText = text("isSuperViewer", "");
  superViewer = superViewerText.empty() ? (superUser || superViewerOnly)
                                        : strutil::toBool(superViewerText, false);
  coreGroupAlias = text("coreGroupAlias", "");
  coreGroupTitle = text("coreGroupTitle", "");
  serverWantsClientSideLogs = flag("serverWantsClientSideLogs");
  if (serverWantsClientSideLogs) {
    platform::enableLogTable();
  } else {
    platform::disableLogTable();
  }
  clientUpgradeNeeded = flag("isClientUpgradeNeeded");
  clientUpgradeVersion = text("clientUpgradeVersion", "");
  clientUpgradeRemoteKey = text("clientUpgradeRemoteKey", "");
  clientUpgradeInstallString = text("clientUpgradeInstallString", "");
  clientUpgradeIsPatch = flag("clientUpgradeIsPatch");
  platform::trace("exiting readLoginResponseNVPs");
}

int Session::logout() {
  platform::trace("logout");
  clearSidestepValues();
  if (!transceiver) {
    return status::notConnected;
  }
  if (!loggedIn) {
    return status::noConnectionOrLogin;
  }
  LogoutRequest request(*this);
  NVPSet response;
  exchange(request, response);
  loggedIn = false;
  platform::trace("exit logout");
  return request.getRetCode();
}

int Session::touchSession() {
  platform::trace("touchSession");
  if (!transceiver) {
    return status::notConnected;
  }
  if (!loggedIn) {
    return status::noConnectionOrLogin;
  }
  TouchSessionRequest request(*this);
  NVPSet response;
  exchange(request, response);
  if (request.isLoggedIn) {
    loggedIn = *request.isLoggedIn;
  }
  platform::trace("exit touchSession");
  return request.getRetCode();
}

std::string Session::obtainAuthToken(const std::string& forStationType) {
  platform::trace("obtainAuthToken");
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Must be logged in to obtain auth token");
  }
  ObtainAuthTokenRequest request(*this, forStationType);
  NVPSet response;
  exchange(request, response);
  if (request.getRetCode() != 0) {
    throw VexoException(request.getRetCode(), request.getRetCodeString());
  }
  platform::trace("exit obtainAuthToken");
  return request.authToken;
}

int Session::getClientGeneralUpgradeInfo(std::string& remoteKey, std::string& installString) {
  platform::trace("getClientGeneralUpgradeInfo");
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Must be logged in");
  }
  RetrieveClientGeneralUpgradeInfoRequest request(*this);
  NVPSet response;
  exchange(request, response);
  remoteKey = request.remoteKey;
  installString = request.installString;
  platform::trace("exit getClientGeneralUpgradeInfo");
  return request.getRetCode();
}

int Session::setCoreGroup(const std::string& entid, const std::string& alias) {
  platform::trace("setCoreGroup");
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Must be logged in.");
  }
  SetCoreGroupRequest request(*this, entid, alias);
  NVPSet response;
  try {
    exchange(request, response);
    if (request.getRetCode() != 0) {
      throw VexoException(request.getRetCode(), request.getRetCodeString());
    }
  } catch (...) {
    // Whatever the server made of it, the cached group can no longer be trusted.
    sidestepCoreGroupAlias = boost::none;
    sidestepCoreGroupEntid = boost::none;
    throw;
  }
  if (request.newCoreGroupAlias) {
    coreGroupAlias = *request.newCoreGroupAlias;
  }
  if (request.newCoreGroupTitle) {
    coreGroupTitle = *request.newCoreGroupTitle;
  }
  // Only a change the server accepted is remembered, and by the key it was made with: the
  // other key's value no longer names the current group.
  if (sidesteppingEnabled) {
    if (!entid.empty()) {
      sidestepCoreGroupEntid = entid;
      sidestepCoreGroupAlias = boost::none;
    } else {
      sidestepCoreGroupAlias = alias;
      sidestepCoreGroupEntid = boost::none;
    }
  }
  platform::trace("exit setCoreGroup");
  return 0;
}

int Session::setCoreGroupUsingAlias(const std::string& alias) {
  platform::trace("setCoreGroupUsingAlias");
  if (sidesteppingEnabled && sidestepCoreGroupAlias && *sidestepCoreGroupAlias == alias) {
    platform::trace("(exit setCoreGroupUsingAlias via sidestep)");
    return 0;
  }
  const int code = setCoreGroup("", alias);
  platform::trace("exit setCoreGroupUsingAlias");
  return code;
}

int Session::setCoreGroupUsingEntid(const std::string& entid) {
  platform::trace("setCoreGroupUsingEntid");
  if (sidesteppingEnabled && sidestepCoreGroupEntid && *sidestepCoreGroupEntid == entid) {
    platform::trace("exit setCoreGroupUsingEntid via sidestep");
    return 0;
  }
  const int code = setCoreGroup(entid, "");
  platform::trace("exit setCoreGroupUsingEntid");
  return code;
}

// ---- The effective class-id period -------------------------------------------------------

void Session::setEffectiveClassidPeriod(const std::string& period) {
  platform::trace("setEffectiveClassidPeriod");
  if (sidesteppingEnabled && sidestepEffectiveClassidPeriod &&
      *sidestepEffectiveClassidPeriod == period) {
    platform::trace("exit setEffectiveClassidPeriod via sidestep");
    return;
  }
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Must be logged in to set effective classid period");
  }
  SetEffectiveClassidPeriodRequest request(*this, period);
  NVPSet response;
  try {
    exchange(request, response);
    if (request.getRetCode() != 0) {
      throw VexoException(request.getRetCode(), request.getRetCodeString());
    }
  } catch (...) {
    sidestepEffectiveClassidPeriod = boost::none;
    throw;
  }
  if (sidesteppingEnabled) {
    sidestepEffectiveClassidPeriod = period;
  }
  platform::trace("exit setEffectiveClassidPeriod");
}

std::string Session::getEffectiveClassidPeriod() {
  platform::trace("getEffectiveClassidPeriod");
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Must be logged in to set effective classid period");
  }
  GetEffectiveClassidPeriodRequest request(*this);
  NVPSet response;
  exchange(request, response);
  if (request.getRetCode() != 0) {
    throw VexoException(request.getRetCode(), request.getRetCodeString());
  }
  platform::trace("exit getEffectiveClassidPeriod");
  return request.effectiveClassIdPeriod;
}

}  // namespace vexo
