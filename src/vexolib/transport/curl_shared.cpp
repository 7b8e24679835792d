#include "vexolib/transport/curl_shared.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <utility>

#include <curl/curl.h>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/seams/tls_trust.h"
#include "vexolib/transport/ResponseBody.h"

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

std::string& responseHeaders() {
  static std::string* headers = new std::string;
  return *headers;
}

std::size_t writeResponseHeaders(char* data, std::size_t size, std::size_t count, void*) {
  const std::size_t n = size * count;
  // A server that never ends its headers must not fill memory either.
  if (n > headerLimit - std::min(headerLimit, responseHeaders().size())) {
    return 0;
  }
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

namespace {

const char stallWords[] = "Operation too slow";

std::string failurePhrase(CURL* curl, int result, const char* errorBuffer, bool viaProxy) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "host name not found";
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "proxy host name not found";
    case CURLE_COULDNT_CONNECT:
      return viaProxy ? "proxy refused the connection" : "connection refused";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return "certificate refused";
    case CURLE_SSL_CONNECT_ERROR:
      return "secure connection failed";
    case CURLE_PROXY:
      return "proxy refused the request";
    case CURLE_GOT_NOTHING:
      return "connection closed without an answer";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return "connection broken";
    case CURLE_PARTIAL_FILE:
      return "answer cut short";
    case CURLE_WEIRD_SERVER_REPLY:
      return "not an HTTP answer";
    case CURLE_READ_ERROR:
      return "file to send unreadable";
    case CURLE_OPERATION_TIMEDOUT:
      break;
    default:
      return "transfer failed";
  }
  curl_off_t connected = 0;
  if (curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected) != CURLE_OK ||
      connected == 0) {
    return viaProxy ? "proxy did not answer" : "connection timed out";
  }
  if (std::strncmp(errorBuffer, stallWords, sizeof stallWords - 1) == 0) {
    // Connected, but not one header came back: whoever took the connection kept silent.
    if (responseHeaders().empty()) {
      return viaProxy ? "proxy did not answer" : "service did not answer";
    }
    return "transfer stalled";
  }
  return "time limit reached";
}

}  // namespace

std::string describeFailure(CURL* curl, int result, const char* errorBuffer, bool viaProxy) {
  std::string text = failurePhrase(curl, result, errorBuffer, viaProxy);
  if (errorBuffer[0] != '\0') {
    text += std::string("; ") + errorBuffer;
  }
  return text;
}

namespace {

// What one transfer's callbacks share.
struct Transfer {
  Transfer(CURL* curl, ResponseBody& body) : curl(curl), body(body) {}
  CURL* curl;
  ResponseBody& body;
  bool sized = false;
  // The bytes moved so far, sampled at most four times a second, oldest first; the oldest is the
  // last sample at or before the start of the stall period.
  std::deque<std::pair<std::chrono::steady_clock::time_point, curl_off_t>> samples;
  bool stalled = false;
  // What was thrown inside a callback: carried past libcurl and raised again after it.
  std::exception_ptr thrown;
};

// libcurl is C: nothing may be thrown back through it. A body that cannot be kept answers 0,
// which ends the transfer as failed.
std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* arg) {
  Transfer& transfer = *static_cast<Transfer*>(arg);
  const std::size_t n = size * count;
  try {
    if (!transfer.sized) {
      // The announced length first: a page that cannot be kept is refused before it is read.
      transfer.sized = true;
      curl_off_t length = -1;
      if (curl_easy_getinfo(transfer.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
              CURLE_OK &&
          length >= 0) {
        transfer.body.expect(static_cast<std::uint64_t>(length));
      }
    }
    return transfer.body.append(data, n) ? n : 0;
  } catch (...) {
    transfer.thrown = std::current_exception();
    return 0;
  }
}

int watchProgress(void* arg, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  Transfer& transfer = *static_cast<Transfer*>(arg);
  const auto now = std::chrono::steady_clock::now();
  const curl_off_t moved = downloaded + uploaded;
  auto& samples = transfer.samples;
  try {
    if (samples.empty() || now - samples.back().first >= std::chrono::milliseconds(250)) {
      samples.emplace_back(now, moved);
    }
  } catch (...) {
    return 1;
  }
  const auto horizon = now - std::chrono::seconds(stallSeconds());
  while (samples.size() >= 2 && samples[1].first <= horizon) {
    samples.pop_front();
  }
  if (samples.front().first > horizon) {
    return 0;  // not yet a whole period watched
  }
  const double span = std::chrono::duration<double>(now - samples.front().first).count();
  if (static_cast<double>(moved - samples.front().second) < span) {
    transfer.stalled = true;
    return 1;
  }
  return 0;
}

}  // namespace

int perform(CURL* curl, ResponseBody& body, char* errorBuffer) {
  Transfer transfer(curl, body);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &watchProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  CURLcode result = curl_easy_perform(curl);
  // The handle outlives this transfer.
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, static_cast<void*>(nullptr));
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
  if (transfer.thrown) {
    std::rethrow_exception(transfer.thrown);
  }
  if (transfer.stalled && result == CURLE_ABORTED_BY_CALLBACK) {
    result = CURLE_OPERATION_TIMEDOUT;
    std::snprintf(errorBuffer, errorBufferSize,
                  "%s. Less than 1 bytes/sec transferred the last %ld seconds", stallWords,
                  stallSeconds());
  }
  return static_cast<int>(result);
}

}  // namespace curlshared
}  // namespace vexo
