// The process-wide URL reader: plain GETs of result pages, outside any session.
#include <cstring>
#include <stdexcept>

#include <curl/curl.h>

#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/transport/curl_shared.h"
#include "vexolib/transport/ResponseBody.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/trace_mask.h"

namespace vexo {

namespace {

// Enough for any sane chain of result pages; libcurl's own default has no limit.
const long maxRedirects = 10;

CURL* pReaderCurl = nullptr;
char curlErrorBuffer[curlshared::errorBufferSize];

}  // namespace

bool CurlTransceiver::startUrlReader() {
  if (pReaderCurl) {
    platform::trace("URL reader already in existence.");
    return false;
  }
  if (!curlshared::pushCurlGlobalScope()) {
    return false;
  }
  platform::trace("curl: init");
  pReaderCurl = curl_easy_init();
  if (!pReaderCurl) {
    platform::trace("CURL init failed.");
    curlshared::popCurlGlobalScope();
    return false;
  }
  platform::trace("set up request options");
  // The empty name switches the cookie engine on without reading any file.
  curl_easy_setopt(pReaderCurl, CURLOPT_COOKIEFILE, "");
  if (platform::getBoolConfigOption("verbose", false)) {
    curl_easy_setopt(pReaderCurl, CURLOPT_VERBOSE, 1L);
  }
  return true;
}

void CurlTransceiver::stopUrlReader() {
  platform::trace("curl: disconnect");
  if (!pReaderCurl) {
    return;  // nothing started, so no global reference to give back
  }
  curl_easy_cleanup(pReaderCurl);
  pReaderCurl = nullptr;
  curlshared::popCurlGlobalScope();
}

bool CurlTransceiver::readUrl(const ConnectionDef& connection, const std::string& url,
                              std::vector<unsigned char>& body, std::string& errorMessage,
                              int& httpCode, const std::string& clientAppName,
                              const std::string&) {
  if (url.size() > curlshared::maxUrlLength) {
    throw std::runtime_error("request url too long.");
  }
  if (!pReaderCurl) {
    platform::trace("readUrl: no URL reader");
    body.clear();
    httpCode = 0;
    errorMessage = "URL reader not started";
    return false;
  }
  curl_easy_setopt(pReaderCurl, CURLOPT_URL, url.c_str());
  ResponseBody page;
  curlshared::responseHeaders().clear();
  curl_easy_setopt(pReaderCurl, CURLOPT_HEADERFUNCTION, &curlshared::writeResponseHeaders);
  curlshared::setCommonOptions(pReaderCurl, curlErrorBuffer);

  curlshared::setProxyOptions(pReaderCurl, connection.proxyDef);
  curl_easy_setopt(pReaderCurl, CURLOPT_USERAGENT,
                   strutil::calcUserAgentString("curl", "readUrl", clientAppName, "").c_str());
  curl_easy_setopt(pReaderCurl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(pReaderCurl, CURLOPT_MAXREDIRS, maxRedirects);
  curl_easy_setopt(pReaderCurl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

  platform::trace("send request");
  const CURLcode result =
      static_cast<CURLcode>(curlshared::perform(pReaderCurl, page, curlErrorBuffer));
  platform::trace("examine result");

  long code = -1;
  if (curl_easy_getinfo(pReaderCurl, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) {
    code = -1;
  }
  httpCode = static_cast<int>(code);
  const std::string& headers = curlshared::responseHeaders();
  bool unreadable = false;
  curlshared::readStatusLine(headers, unreadable);
  if (unreadable) {
    platform::trace("Failure while parsing http code in " + tracemask::maskSecrets(headers));
  }
  if (result == CURLE_OK) {
    std::vector<unsigned char>& bytes = page.bytes();
    // A page of unannounced length came with the room of a whole one.
    if (bytes.capacity() - bytes.size() > (std::size_t(1) << 20)) {
      bytes.shrink_to_fit();
    }
    body = std::move(bytes);
    return code == 200;
  }
  if (code == 0) {
    if (const boost::optional<int> status = curlshared::readStatusLine(headers, unreadable)) {
      code = *status;
    } else if (unreadable) {
      platform::trace("Failure [2] while parsing http code in " +
                      tracemask::maskSecrets(headers));
    }
  }
  curlshared::traceFailedTransfer(static_cast<int>(code), curlErrorBuffer,
                                  static_cast<int>(result), page.bytes(), headers);
  // A page cut short is no page: the caller learns of the failure, never of a part.
  if (!page.failure().empty()) {
    errorMessage = page.failure();
  } else {
    errorMessage = curlErrorBuffer[0] != '\0' ? curlErrorBuffer : curl_easy_strerror(result);
  }
  page.discard();
  body.clear();
  httpCode = 0;
  return false;
}

}  // namespace vexo
