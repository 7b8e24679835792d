#include "vexolib/transport/curl_shared.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <curl/curl.h>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/seams/tls_trust.h"

namespace vexo {
namespace curlshared {

namespace {

int globalDepth = 0;

}  // namespace

bool pushCurlGlobalScope() {
  if (globalDepth != 0) {
    ++globalDepth;
    return true;
  }
  const CURLcode rc = curl_global_init(CURL_GLOBAL_ALL);
  if (rc != CURLE_OK) {
    platform::trace("Failed to initialize CURL (" + std::to_string(static_cast<int>(rc)) + ")");
    return false;
  }
  ++globalDepth;
  return true;
}

void popCurlGlobalScope() {
  if (globalDepth <= 0) {
    return;
  }
  if (--globalDepth == 0) {
    curl_global_cleanup();
  }
}

int curlGlobalScopeDepth() {
  return globalDepth;
}

std::vector<unsigned char>& responseBuffer() {
  static std::vector<unsigned char>* buffer = new std::vector<unsigned char>;
  return *buffer;
}

std::string& responseHeaders() {
  static std::string* headers = new std::string;
  return *headers;
}

// libcurl is C: nothing may be thrown back through it. A body that cannot be kept
// answers 0, which ends the transfer as failed.
std::size_t writeResponseData(char* data, std::size_t size, std::size_t count, void*) {
  const std::size_t n = size * count;
  try {
    responseBuffer().insert(responseBuffer().end(), data, data + n);
  } catch (...) {
    return 0;
  }
  return n;
}

std::size_t writeResponseHeaders(char* data, std::size_t size, std::size_t count, void*) {
  const std::size_t n = size * count;
  try {
    responseHeaders().append(data, n);
  } catch (...) {
    return 0;
  }
  return n;
}

boost::optional<int> readStatusLine(const std::string& headers, bool& failed) {
  failed = false;
  const std::string::size_type start = headers.find("HTTP ");
  if (start == std::string::npos) {
    return boost::none;
  }
  const std::string::size_type end = headers.find_first_of("\r\n", start);
  if (end == std::string::npos) {
    return boost::none;
  }
  const std::string::size_type blank = headers.find_last_of(" \t", end);
  const std::string number = headers.substr(blank + 1, end - blank - 1);
  char* rest = nullptr;
  errno = 0;
  const long value = number.empty() ? 0 : std::strtol(number.c_str(), &rest, 10);
  if (number.empty() || *rest != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX ||
      number[0] == ' ' || number[0] == '\t') {
    failed = true;
    return boost::none;
  }
  return static_cast<int>(value);
}

std::string builtInUrlPrefix() { return platform::builtInUrlPrefix(); }

void setCommonOptions(CURL* curl, char* errorBuffer) {
  errorBuffer[0] = '\0';
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMillis());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds());
  // Certificates are always checked; only the test build can name an authority to trust.
  const std::string caFile = transport_detail::trustedCaFile();
  if (!caFile.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  }
  if (platform::getBoolConfigOption("verbose", false)) {
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  }
}

void setProxyOptions(CURL* curl, const boost::optional<ProxyDef>& proxy) {
  std::string proxyText;
  if (proxy) {
    proxyText = proxy->host + ":" + std::to_string(proxy->port);
    platform::trace("set proxy: " + proxyText);
  }
  // libcurl reads the proxy variables by itself; the variant decides, not the environment.
  curl_easy_setopt(curl, CURLOPT_PROXY, proxyText.c_str());
  // A handle is reused: credentials of an earlier proxy must not carry over.
  curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, static_cast<char*>(nullptr));
  curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, static_cast<char*>(nullptr));
  curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, static_cast<char*>(nullptr));
  if (!proxy) {
    return;
  }
  curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  if (proxy->user) {
    platform::trace("set proxy auth info: " + *proxy->user + ":********");
    const std::string password = proxy->password.value_or("");
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy->user->c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, password.c_str());
  }
}

void traceFailedTransfer(int code, const char* errorBuffer, int result,
                         const std::vector<unsigned char>& body, const std::string& headers) {
  platform::trace(tracemask::maskSecrets("send failed. http code = " + std::to_string(code) +
                                         ", error buffer = '" + errorBuffer +
                                         "', result code = " + std::to_string(result)));
  if (code < 0) {
    code = 509;
  }
  platform::trace(tracemask::maskSecrets("CURL error (" + std::to_string(result) + "): \"" +
                                         errorBuffer + "\" http code: (" +
                                         std::to_string(code) + ")  response: \"") +
                  tracemask::bodyExcerpt(body) + "\"  headers: \"" +
                  tracemask::maskSecrets(headers) + "\"");
}

}  // namespace curlshared
}  // namespace vexo
