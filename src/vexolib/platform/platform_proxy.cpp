// Connection variants and the system's proxy, as Linux programs find it in the environment.
#include <cstdlib>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"

namespace vexo {
namespace platform {

namespace {

// The platform name that other builds compare with "win32".
const char platformName[] = "macmacho";

bool isProxyHostText(const std::string& host) {
  if (host.empty() || host.size() > 255) {
    return false;
  }
  for (const char c : host) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f || c == '/' || c == '@' || c == '?' || c == '#') {
      return false;
    }
  }
  return true;
}

// "[scheme://][user[:password]@]host:port[/...]" to a host and port. Only plain HTTP
// proxies qualify: the transport speaks to any proxy it is given as one.
boost::optional<ProxyDef> parseProxyVariable(const std::string& raw) {
  std::string text = strutil::strip(raw);
  const std::string::size_type schemeEnd = text.find("://");
  if (schemeEnd != std::string::npos) {
    if (strutil::toLowercase(text.substr(0, schemeEnd)) != "http") {
      return boost::none;
    }
    text = text.substr(schemeEnd + 3);
  }
  text = text.substr(0, text.find_first_of("/?#"));
  const std::string::size_type at = text.rfind('@');
  if (at != std::string::npos) {
    text = text.substr(at + 1);
  }
  std::string host;
  std::string portText;
  if (!text.empty() && text[0] == '[') {
    const std::string::size_type close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      return boost::none;
    }
    host = text.substr(0, close + 1);
    portText = text.substr(close + 2);
  } else {
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
      return boost::none;
    }
    host = text.substr(0, colon);
    portText = text.substr(colon + 1);
  }
  if (!isProxyHostText(host) || portText.empty() || portText.size() > 5 ||
      portText.find_first_not_of("0123456789") != std::string::npos) {
    return boost::none;
  }
  const int port = std::atoi(portText.c_str());
  if (port < 1 || port > 65535) {
    return boost::none;
  }
  return ProxyDef(0, host, port);
}

boost::optional<ProxyDef> systemProxyFor(const std::string& urlPrefix) {
  const bool plainHttp = strutil::startsWith(strutil::toLowercase(urlPrefix), "http:");
  // Only the lower-case name for plain HTTP: a CGI environment may set HTTP_PROXY from a
  // request header.
  const std::vector<const char*> names =
      plainHttp ? std::vector<const char*>{"http_proxy"}
                : std::vector<const char*>{"https_proxy", "HTTPS_PROXY"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value && value[0] != '\0') {
      return parseProxyVariable(value);
    }
  }
  return boost::none;
}

}  // namespace

bool isCurlEnabled() {
  return getBoolConfigOption("curlenabled", true);
}

bool isWininetEnabled() {
  return getBoolConfigOption("wininetenabled", false);
}

std::vector<TransferLib> identifyTransferLibraries() {
  std::vector<TransferLib> libs;
  if (std::string(platformName) == "win32" && isWininetEnabled()) {
    libs.push_back(TransferLib::wininet);
  }
  if (isCurlEnabled()) {
    libs.push_back(TransferLib::curl);
  }
  return libs;
}

std::vector<ConnectionVariantInfo> identifyConnectionVariants() {
  const std::vector<ConnectionDef> defs = getConnectionDefs();
  const std::vector<TransferLib> libs = identifyTransferLibraries();
  std::vector<ConnectionVariantInfo> variants;
  for (const ConnectionDef& def : defs) {
    for (const TransferLib lib : libs) {
      ConnectionVariantInfo variant;
      variant.proxyDef = def.proxyDef;
      variant.transferLib = lib;
      variants.push_back(variant);
    }
  }
  return variants;
}

std::vector<ConnectionDef> getConnectionDefs() {
  std::vector<ConnectionDef> defs;
  try {
    if (const boost::optional<ProxyDef> proxy = systemProxyFor(getUrlPrefix())) {
      defs.push_back(ConnectionDef(*proxy));
    }
  } catch (...) {
    // An unreadable setting means no proxy, never a failure.
  }
  defs.push_back(ConnectionDef());
  return defs;
}

bool networkAppearsToBeAvailable() {
  return true;
}

bool promptContinueWhenNetworkAppearsDown() {
  return true;
}

}  // namespace platform
}  // namespace vexo
