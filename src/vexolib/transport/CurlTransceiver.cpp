#include "vexolib/transport/CurlTransceiver.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <curl/curl.h>
#include <boost/regex.hpp>

#include "vexolib/transport/curl_shared.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/seams/transport_detail.h"

namespace vexo {

namespace {

const std::size_t cookieTextLimit = 5120;

// Whether the effective URL of a POST was traced since the last disconnect of any
// transceiver.
bool displayedEffectiveURL = false;

// Nothing to work around on this platform.
void handleSnowLeopardPPCIssue(CURL*, const std::string&) {}

}  // namespace

// One file part: the bytes [offset, offset + length) of an open file, read by libcurl while
// the request goes out, so that a large part never sits in memory.
struct CurlTransceiver::FileSlice {
  int fd = -1;
  curl_off_t offset = 0;
  curl_off_t length = 0;
  curl_off_t position = 0;

  ~FileSlice() {
    if (fd >= 0) {
      ::close(fd);
    }
  }

  static std::size_t read(char* buffer, std::size_t size, std::size_t count, void* arg) {
    FileSlice* slice = static_cast<FileSlice*>(arg);
    const curl_off_t left = slice->length - slice->position;
    std::size_t want = size * count;
    if (left <= 0) {
      return 0;
    }
    if (static_cast<curl_off_t>(want) > left) {
      want = static_cast<std::size_t>(left);
    }
    ssize_t n;
    do {
      n = ::pread(slice->fd, buffer, want, slice->offset + slice->position);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      // The file shrank or failed under us: the part would go out short.
      return CURL_READFUNC_ABORT;
    }
    slice->position += n;
    return static_cast<std::size_t>(n);
  }

  static int seek(void* arg, curl_off_t offset, int origin) {
    FileSlice* slice = static_cast<FileSlice*>(arg);
    if (origin != SEEK_SET || offset < 0 || offset > slice->length) {
      return CURL_SEEKFUNC_CANTSEEK;
    }
    slice->position = offset;
    return CURL_SEEKFUNC_OK;
  }
};

CurlTransceiver::CurlTransceiver(const ConnectionDef& connectionDef, const std::string& url,
                                 const std::string& clientAppName)
    : Transceiver(connectionDef, url, clientAppName) {}

CurlTransceiver::~CurlTransceiver() {
  if (isConnected()) {
    disconnect();
  }
  releaseForm();
}

void CurlTransceiver::finishInitialization() {}

std::string CurlTransceiver::getName() const {
  return "curl";
}

bool CurlTransceiver::connect() {
  platform::trace("connect");
  if (pCurl) {
    return true;  // a second handle would leak the first and its global reference
  }
  if (!curlshared::pushCurlGlobalScope()) {
    return false;
  }
  pCurl = curl_easy_init();
  if (!pCurl) {
    platform::trace("CURL init failed.");
    curlshared::popCurlGlobalScope();
    return false;
  }
  return true;
}

bool CurlTransceiver::disconnect() {
  platform::trace("curl: disconnect");
  if (pCurl) {
    releaseForm();
    curl_easy_cleanup(pCurl);
    pCurl = nullptr;
    // Only a handle that held a reference gives one back.
    curlshared::popCurlGlobalScope();
  }
  displayedEffectiveURL = false;
  return true;
}

bool CurlTransceiver::isConnected() const {
  return pCurl != nullptr;
}

void CurlTransceiver::setTimeoutSeconds(int seconds) {
  if (pCurl) {
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, static_cast<long>(seconds));
  }
}

unsigned long CurlTransceiver::getMaxRecommendedPostSize() const {
  return 0x9E0000;
}

int CurlTransceiver::transmitAndReceive(ResponseBody& response) {
  startPost();
  processRequestValues(true);
  return finishPost(response);
}

void CurlTransceiver::startPost() {
  platform::trace("startPost");
  platform::trace("set up request options");
  if (!strutil::startsWith(url, curlshared::builtInUrlPrefix() + "/")) {
    platform::trace(tracemask::maskSecrets(">>> " + url));
  }
  if (url.size() > curlshared::maxUrlLength) {
    throw std::runtime_error("request url too long.");
  }
  releaseForm();
  if (!pCurl) {
    formError = "not connected";
    return;
  }
  curl_easy_setopt(pCurl, CURLOPT_URL, url.c_str());
  curlshared::responseHeaders().clear();
  curl_easy_setopt(pCurl, CURLOPT_HEADERFUNCTION, &curlshared::writeResponseHeaders);
  curlshared::setCommonOptions(pCurl, errorText);

  cookieText = transport_detail::buildCookieText(cookies);
  // libcurl would send an empty text as an empty Cookie header; none is cleaner.
  curl_easy_setopt(pCurl, CURLOPT_COOKIE,
                   cookieText.empty() ? static_cast<const char*>(nullptr) : cookieText.c_str());

  curlshared::setProxyOptions(pCurl, connectionDef.proxyDef);

  curl_easy_setopt(pCurl, CURLOPT_USERAGENT, getUserAgentString().c_str());
  handleSnowLeopardPPCIssue(pCurl, url);
  form = curl_mime_init(pCurl);
}

boost::optional<long> CurlTransceiver::processRequestValue(const std::string& name,
                                                           const RequestValueEntry& entry,
                                                           bool) {
  if (!form) {
    return 0L;
  }
  curl_mimepart* part = curl_mime_addpart(form);
  curl_mime_name(part, name.c_str());
  if (entry.isString) {
    // The whole value, NUL bytes included: a value is sent byte for byte.
    curl_mime_data(part, entry.value.data(), entry.value.size());
    return 0L;
  }
  std::unique_ptr<FileSlice> slice(new FileSlice);
  slice->offset = entry.offset;
  slice->length = entry.length;
  struct stat st;
  slice->fd = ::open(entry.filePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (entry.offset < 0 || entry.length < 0) {
    formError = "bad slice of '" + entry.filePath + "'";
  } else if (slice->fd < 0 || ::fstat(slice->fd, &st) != 0) {
    formError = "cannot open '" + entry.filePath + "'";
  } else if (st.st_size < static_cast<off_t>(entry.offset) + entry.length) {
    formError = "'" + entry.filePath + "' is shorter than the slice to send";
  }
  curl_mime_data_cb(part, slice->length, &FileSlice::read, &FileSlice::seek, nullptr,
                    slice.get());
  curl_mime_filename(part, platform::getFileNameFromPath(entry.filePath).c_str());
  curl_mime_type(part, "application/octet-stream");
  fileSlices.push_back(std::move(slice));
  return 0L;
}

int CurlTransceiver::finishPost(ResponseBody& response) {
  int result;
  if (!formError.empty()) {
    // A part that cannot be sent whole fails the transfer before anything goes out.
    errorText[0] = '\0';
    strncat(errorText, formError.c_str(), sizeof errorText - 1);
    result = CURLE_READ_ERROR;
    curlshared::responseHeaders().clear();
    platform::trace("send request");
  } else {
    curl_easy_setopt(pCurl, CURLOPT_MIMEPOST, form);
    platform::trace("send request");
    result = curlshared::perform(pCurl, response, errorText);
  }
  platform::trace("examine result");

  long code = -1;
  if (!formError.empty()) {
    code = 0;  // nothing was sent, so the handle still holds the previous answer's code
  } else if (curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) {
    code = -1;
  }
  if (!displayedEffectiveURL && formError.empty()) {
    char* effective = nullptr;
    if (curl_easy_getinfo(pCurl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK &&
        effective && !strutil::startsWith(effective, curlshared::builtInUrlPrefix() + "/")) {
      platform::trace(tracemask::maskSecrets(std::string("<<< ") + effective));
      displayedEffectiveURL = true;
    }
  }
  const std::string& headers = curlshared::responseHeaders();
  bool unreadable = false;
  curlshared::readStatusLine(headers, unreadable);
  if (unreadable) {
    platform::trace("Failure while parsing http code in " + tracemask::maskSecrets(headers));
  }
  if (result != CURLE_OK && code == 0) {
    if (const boost::optional<int> status = curlshared::readStatusLine(headers, unreadable)) {
      code = *status;
    } else if (unreadable) {
      platform::trace("Failure [2] while parsing http code in " +
                      tracemask::maskSecrets(headers));
    }
  }
  releaseForm();
  if (result == CURLE_OK) {
    transport_detail::rememberCookiesInHeaders(headers, cookies);
    return static_cast<int>(code);
  }
  // Only a page shows its excerpt, and it is shown where it lies, never copied whole.
  static const std::vector<unsigned char> noPage;
  const std::vector<unsigned char>& shown =
      response.kind() == ResponseBody::Kind::page ? response.bytes() : noPage;
  curlshared::traceFailedTransfer(static_cast<int>(code), errorText, result, shown, headers);
  failureCause = curlshared::describeFailure(pCurl, result, errorText,
                                             static_cast<bool>(connectionDef.proxyDef));
  // Whatever arrived before the failure is no answer: callers see no response at all.
  response.discard();
  return code < 0 ? 509 : 0;
}

void CurlTransceiver::releaseForm() {
  if (form) {
    if (pCurl) {
      curl_easy_setopt(pCurl, CURLOPT_MIMEPOST, static_cast<curl_mime*>(nullptr));
    }
    curl_mime_free(form);
    form = nullptr;
  }
  fileSlices.clear();
  formError.clear();
}

namespace transport_detail {

void rememberCookiesInHeaders(const std::string& headers,
                              std::map<std::string, std::string>& cookies) {
  // Within one header line: a value running on into the next line would carry that line
  // into our own Cookie header.
  static const boost::regex pattern = [] {
    boost::regex re;
    re.imbue(std::locale::classic());
    re.assign("set-cookie:[ \\t]*([[:alnum:]_]+)[ \\t]*\\=[ \\t]*([^;\\r\\n]+);[ \\t]*path",
              boost::regex::perl | boost::regex::icase);
    return re;
  }();
  for (boost::sregex_iterator it(headers.begin(), headers.end(), pattern), end; it != end;
       ++it) {
    cookies[(*it)[1].str()] = (*it)[2].str();
  }
}

std::string buildCookieText(const std::map<std::string, std::string>& cookies) {
  std::string text;
  for (const auto& cookie : cookies) {
    const std::string piece = cookie.first + "=" + cookie.second + "; ";
    if (text.size() + piece.size() + 1 <= cookieTextLimit) {
      text += piece;
    }
  }
  return text;
}

}  // namespace transport_detail
}  // namespace vexo
