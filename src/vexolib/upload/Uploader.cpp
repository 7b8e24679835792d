#include "vexolib/upload/Uploader.h"

#include <algorithm>

#include "vexolib/session/Session.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/platform/version.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

const long maxFileBytesSentPerChunk = 8388608;
// The upper limit of an answer's text in an error message.
const std::string::size_type maxErrorTextLength = 4096;

bool lastUploadWasLightweight = false;

// File numbers inside field names have at least two digits.
std::string fileFieldPrefix(std::size_t index) {
  std::string number = std::to_string(index);
  if (number.size() < 2) {
    number.insert(0, 2 - number.size(), '0');
  }
  return "file" + number;
}

// The process-wide page reader, stopped on every way out once started.
class UrlReaderScope {
 public:
  UrlReaderScope() : started_(platform::startUrlReader()) {}
  ~UrlReaderScope() {
    if (started_) {
      platform::stopUrlReader();
    }
  }
  UrlReaderScope(const UrlReaderScope&) = delete;
  UrlReaderScope& operator=(const UrlReaderScope&) = delete;
  bool started() const { return started_; }

 private:
  bool started_;
};

UploadResult uploadError(int code, const std::string& text) {
  return UploadResult::makeError(VexoException(code, text));
}

}  // namespace

namespace uploaddetail {

boost::optional<std::string> extractMarkedValue(const std::string& marker,
                                                std::string_view text) {
  const std::string key = marker + ":";
  const std::string_view::size_type found = text.find(key);
  if (found == std::string_view::npos) {
    return boost::none;
  }
  const std::string_view::size_type start = found + key.size();
  const std::string_view::size_type end = text.find_first_of(" \t\r\n", start);
  if (end == std::string_view::npos) {
    return boost::none;
  }
  return std::string(text.substr(start, end - start));
}

boost::optional<std::string> findBatchEntid(std::string_view text) {
  static const std::string_view key = "uploadBatchEntid=";
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::string_view::size_type at = text.find(key); at != std::string_view::npos;
       at = text.find(key, at + 1)) {
    const std::string_view::size_type start = at + key.size();
    std::string_view::size_type end = start;
    while (end < text.size() && isDigit(text[end])) {
      ++end;
    }
    if (end > start) {
      return std::string(text.substr(start, end - start));
    }
  }
  return boost::none;
}

std::string uploadResultToAttemptLogString(const UploadResult& result) {
  if (result.isValue()) {
    return ": succeeded";
  }
  return ": failed(" + static_cast<std::string>(result.getError()) + ")";
}

bool shouldSimulateBrowser(const std::string& url,
                           const std::map<std::string, std::string>& options) {
  bool lightweight = false;
  if (const boost::optional<std::string> configured = platform::lookupConfigOption("lwupload")) {
    lightweight = strutil::toBool(*configured, false);
  } else {
    const auto it = options.find("lightweight");
    lightweight = it != options.end() && strutil::toBool(it->second, false);
  }
  return lightweight && url.find("&srubs=true") != std::string::npos;
}

std::map<std::string, std::string> getMarkedValues(std::string_view text) {
  std::map<std::string, std::string> values;
  const std::string_view::size_type marker = text.find("uplmk[");
  if (marker == std::string_view::npos) {
    return values;
  }
  const std::string_view::size_type start = marker + 6;
  const std::string_view::size_type end = text.find_first_of("]\r\n", start);
  if (end == std::string_view::npos || text[end] != ']') {
    return values;
  }
  const std::string block(text.substr(start, end - start));
  std::string::size_type pos = 0;
  for (;;) {
    const std::string::size_type colon = block.find(':', pos);
    if (colon == std::string::npos) {
      break;
    }
    const std::string::size_type semicolon = block.find(';', colon + 1);
    if (semicolon == std::string::npos) {
      break;
    }
    const std::string key = strutil::strip(block.substr(pos, colon - pos));
    const std::string valueText = strutil::strip(block.substr(colon + 1, semicolon - colon - 1));
    const std::vector<unsigned char> value = strutil::decodeBase64String(valueText);
    values[key] = std::string(value.begin(), value.end());
    pos = semicolon + 1;
  }
  return values;
}

}  // namespace uploaddetail

Uploader::Uploader(Session& session, std::vector<std::shared_ptr<FileInfo>> files,
                   const std::map<std::string, std::string>& options)
    : session(session),
      transceiver(session.accessTransceiver()),
      files(std::move(files)),
      options(options) {}

Uploader::~Uploader() = default;

long Uploader::getMaxFileBytesSentPerChunk() const { return maxFileBytesSentPerChunk; }

void Uploader::calcChunkAllocations() {
  const long limit = getMaxFileBytesSentPerChunk();
  long remaining = 0;
  for (const std::shared_ptr<FileInfo>& file : files) {
    remaining += static_cast<long>(file->compressedSize);
  }
  do {
    auto chunk = std::make_shared<ChunkAllocation>();
    const ChunkAllocation* previous =
        chunkAllocations.empty() ? nullptr : chunkAllocations.back().get();
    long used = 0;
    for (std::size_t j = 0; j < files.size(); ++j) {
      const long offset = previous ? previous->offsets[j] + previous->lengths[j] : 0;
      const long left = static_cast<long>(files[j]->compressedSize) - offset;
      const long length = std::min(limit - used, left);
      chunk->offsets.push_back(offset);
      chunk->lengths.push_back(length);
      used += length;
    }
    chunkAllocations.push_back(chunk);
    remaining -= used;
  } while (remaining > 0);
}

int Uploader::getChunkCount() const { return static_cast<int>(chunkAllocations.size()); }

void Uploader::setFieldsInTransceiver() {
  const ChunkAllocation& chunk = *chunkAllocations.at(static_cast<std::size_t>(chunkIndex));
  transceiver.setStringValue("vexoVersion", frameworkVersion);
  transceiver.setStringValue("dataFormatVersion", dataFormatVersion);
  transceiver.setStringValue("attemptLog", attemptLog);
  transceiver.setStringValue("chunkIndex", std::to_string(chunkIndex));
  transceiver.setStringValue("chunkCount", std::to_string(getChunkCount()));
  transceiver.setStringValue("srcCompID", srcCompID);
  transceiver.setStringValue("srcAppID", srcAppID);
  transceiver.setStringValue("srcAppVer", srcAppVer);
  if (chunkIndex > 0) {
    transceiver.setStringValue("uploadBatchEntid", uploadBatchEntid);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FileInfo& file = *files[i];
    const std::string prefix = fileFieldPrefix(i);
    transceiver.setStringValue(prefix + "name", file.fileName);
    transceiver.setStringValue(prefix + "format", file.format);
    transceiver.setStringValue(prefix + "length", std::to_string(file.fileSize));
    transceiver.setFileValue(prefix + "compressed", file.fileName, file.compressedTempPath,
                             chunk.offsets[i], chunk.lengths[i],
                             static_cast<long>(file.compressedSize));
  }
}

bool Uploader::wasLastUploadLightweight() { return lastUploadWasLightweight; }

void Uploader::processResponseData(int status, const std::vector<unsigned char>& body) {
  if (status != 200) {
    lastResult = uploadError(status::httpStatusNot200, "Error HTTP response: " + transceiver.describeStatus(status));
    return;
  }
  // Read in place: the answer may be as long as a page may be, and is never copied whole.
  const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
  const boost::optional<std::string> url = extractResultUrl(text);
  if (!url) {
    lastResult = processErrorResponse(text);
    return;
  }
  lastResult = UploadResult(*url);
  const boost::optional<std::string> batch = extractBatchEntid(text);
  if (!batch) {
    throw VexoException(status::generalFailure, "no batch");
  }
  if (chunkIndex == 0) {
    uploadBatchEntid = *batch;
  } else if (*batch != uploadBatchEntid) {
    throw VexoException(status::generalFailure, "Batch changed from " + uploadBatchEntid + " to " + *batch);
  }
}

boost::optional<std::string> Uploader::extractResultUrl(std::string_view text) const {
  return uploaddetail::extractMarkedValue("url", text);
}

boost::optional<std::string> Uploader::extractBatchEntid(std::string_view text) const {
  return uploaddetail::findBatchEntid(text);
}

UploadResult Uploader::processErrorResponse(std::string_view body) const {
  if (body.empty()) {
    return uploadError(status::unusableUploadAnswer, "'Empty Response'");
  }
  static const std::string messageMarker = "VexoMessage:";
  std::string text;
  int code = status::unusableUploadAnswer;
  const std::string_view::size_type marker = body.find(messageMarker);
  const std::string_view::size_type end =
      marker == std::string_view::npos ? std::string_view::npos
                                       : body.find("-->", marker + messageMarker.size());
  // Cut before masking: only the excerpt is ever copied, however long the answer.
  if (end != std::string_view::npos) {
    const std::string_view::size_type start = marker + messageMarker.size();
    text = "'" +
           tracemask::maskSecrets(
               std::string(body.substr(start, std::min(end - start, maxErrorTextLength)))) +
           "'";
    code = status::serviceMessage;
  } else {
    // The text is traced.
    text = tracemask::maskSecrets(std::string(body.substr(0, maxErrorTextLength)));
  }
  if (text.size() > maxErrorTextLength) {
    text.resize(maxErrorTextLength);
  }
  if (code == status::unusableUploadAnswer) {
    text = "Incorrect response received from server.\r\nServer: " + platform::getUploadUrl() +
           "\r\nResponse: " + text + "\r\n";
  }
  return uploadError(code, text);
}

UploadResult Uploader::attempt(const std::map<std::string, std::string>& clientAttributes,
                               const std::string& authToken, const std::string& coreGroupAlias,
                               const std::string& coreGroupEntid) {
  UploadResult result;
  session.logOperationAttemptInfo(transceiver.getDescription());
  try {
    calcChunkAllocations();
    chunkIndex = 0;
    while (chunkIndex < getChunkCount()) {
      setFieldsInTransceiver();
      UploadResponseProcessor processor(*this);
      transceiver.sendRequest(clientAttributes, processor);
      result = lastResult;
      if (!result.isValue()) {
        break;
      }
      // The page to open must name the batch too, not only the answer around it.
      const boost::optional<std::string> batch = uploaddetail::findBatchEntid(result.value);
      if (!batch) {
        throw VexoException(status::generalFailure, "no batch");
      }
      if (chunkIndex == 0) {
        uploadBatchEntid = *batch;
      } else if (*batch != uploadBatchEntid) {
        throw VexoException(status::generalFailure, "Batch changed from " + uploadBatchEntid + " to " + *batch);
      }
      ++chunkIndex;
    }
  } catch (const VexoException& e) {
    result = UploadResult::makeError(e);
  }
  if (result.isValue() && !authToken.empty()) {
    std::string& url = result.value;
    url += url.find('?') != std::string::npos ? "&" : "?";
    // The values are the caller's: encoded so none can add or end a parameter of the page.
    url += "atkn=" + strutil::percentEncode(authToken);
    if (!coreGroupAlias.empty()) {
      url += "&cga=" + strutil::percentEncode(coreGroupAlias);
    }
    if (!coreGroupEntid.empty()) {
      url += "&cge=" + strutil::percentEncode(coreGroupEntid);
    }
  }
  session.logOperationAttemptInfo(uploaddetail::uploadResultToAttemptLogString(result));
  lastUploadWasLightweight = false;
  if (result.isValue() && uploaddetail::shouldSimulateBrowser(result.value, options)) {
    result = postprocessUploadAsBrowser(result.value);
    lastUploadWasLightweight = true;
  }
  return result;
}

UploadResult Uploader::postprocessUploadAsBrowser(const std::string& url) {
  // The first page carries the login token; traces and messages (which are traced too)
  // show it masked.
  const std::string shownUrl = tracemask::maskSecrets(url);
  platform::trace("postprocessing: " + shownUrl);
  UrlReaderScope reader;
  if (!reader.started()) {
    return uploadError(status::generalFailure, "postprocessing " + shownUrl + ": unable to start URL reader");
  }
  std::string current = url;
  for (int page = 0; page < uploaddetail::maxCompletionPages; ++page) {
    const std::string shown = tracemask::maskSecrets(current);
    const std::string where = "readUrl(" + shown + ")";
    // Only web pages: the chain's addresses come from the service's answers.
    if (!uploaddetail::isWebAddress(current)) {
      return uploadError(status::generalFailure, where + " refused: not a web address.");
    }
    platform::trace("Reading URL: " + shown);
    std::vector<unsigned char> body;
    std::string errorText;
    int status = 0;
    const bool read =
        platform::readUrl(current, body, errorText, status, srcAppID, srcAppVer);
    platform::trace("HTTP result code: " + strutil::fromInt(status));
    if (!read) {
      return uploadError(status::generalFailure, where + " failed with error: " + errorText);
    }
    if (body.empty()) {
      return uploadError(status::generalFailure, where + ": empty response.");
    }
    const std::map<std::string, std::string> values =
        uploaddetail::getMarkedValues(
            std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    const auto st = values.find("st");
    if (st == values.end()) {
      return uploadError(status::unusableUploadAnswer, where + " missing status string.");
    }
    platform::trace("status: " + st->second);
    const auto sm = values.find("sm");
    platform::trace("Session marker: " + (sm != values.end() ? sm->second : "(none)"));
    if (st->second == "continue") {
      const auto nxu = values.find("nxu");
      if (nxu == values.end()) {
        return uploadError(status::generalFailure, where + " missing next value.");
      }
      current = nxu->second;
    } else if (st->second == "done") {
      return UploadResult("*");
    } else if (st->second == "error") {
      const auto m = values.find("m");
      const std::string message = m != values.end() ? m->second : std::string();
      platform::trace("Status error message: " + message);
      return uploadError(status::completionFailed, where + " error status. message: " + message);
    } else {
      return uploadError(status::generalFailure, where + " invalid status string: " + st->second);
    }
  }
  return uploadError(status::generalFailure, "postprocessing " + shownUrl + ": no end after " +
                              std::to_string(uploaddetail::maxCompletionPages) + " pages");
}

void UploadResponseProcessor::operator()(int status, const std::vector<unsigned char>& body) {
  uploader.processResponseData(status, body);
}

UploadResult uploadFilesOverSession(Session& session,
                                    const std::vector<std::shared_ptr<FileInfo>>& files,
                                    const std::map<std::string, std::string>& options,
                                    const std::string& srcCompID, const std::string& srcAppID,
                                    const std::string& srcAppVer, const std::string& authToken,
                                    const std::string& coreGroupAlias,
                                    const std::string& coreGroupEntid) {
  platform::trace(std::string("version: ") + frameworkVersion);
  platform::trace("uploadFiles");
  Uploader uploader(session, files, options);
  uploader.setSrcCompID(srcCompID);
  uploader.setSrcAppID(srcAppID);
  uploader.setSrcAppVer(srcAppVer);
  const UploadResult result =
      uploader.attempt(session.getClientAttributes(), authToken, coreGroupAlias, coreGroupEntid);
  platform::trace("exit uploadFiles");
  return result;
}

}  // namespace vexo
