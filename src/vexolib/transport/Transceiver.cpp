#include "vexolib/transport/Transceiver.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <unistd.h>

#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

const char* levelName(platform::LogLevel level) {
  switch (level) {
    case platform::LogLevel::trace:
      return "trace";
    case platform::LogLevel::info:
      return "info";
    case platform::LogLevel::error:
      return "error";
  }
  return "";
}

}  // namespace

Transceiver::Transceiver(const ConnectionDef& connectionDef, const std::string& url,
                         const std::string& clientAppName)
    : connectionDef(connectionDef), url(url), clientAppName(clientAppName) {}

Transceiver::~Transceiver() = default;

std::string Transceiver::getUserAgentString() const {
  return strutil::calcUserAgentString(getName(), "transceiver", clientAppName, "");
}

void Transceiver::setStringValue(const std::string& name, const std::string& value) {
  RequestValueEntry entry;
  entry.isString = true;
  entry.value = value;
  requestValues[name] = entry;
}

void Transceiver::setFileValue(const std::string& name, const std::string& fileName,
                               const std::string& filePath, long offset, long length,
                               long totalSize) {
  RequestValueEntry entry;
  entry.isString = false;
  entry.fileName = fileName;
  entry.filePath = filePath;
  entry.offset = offset;
  entry.length = length;
  entry.totalSize = totalSize;
  requestValues[name] = entry;
}

int Transceiver::sendRequest(const std::map<std::string, std::string>& clientAttributes,
                             ResponseProcessor& processor) {
  std::string traceText = "client attributes: ";
  for (const auto& attribute : clientAttributes) {
    traceText += attribute.first + "= '" + attribute.second + "'; ";
    setStringValue("req.clientAttribute." + attribute.first, attribute.second);
  }
  if (platform::isLogTableEnabled()) {
    std::deque<platform::LogEntry>& table = platform::accessLogTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
      const platform::LogEntry& entry = table[i];
      setStringValue("log." + std::to_string(i) + ".message",
                     std::string(levelName(entry.level)) + ":" + entry.category + ":" +
                         entry.text);
    }
    table.clear();
  }
  platform::trace(traceText);
  if (!openRequest()) {
    return -1;
  }
  failureCause.clear();
  // The body lives for this request only: nothing of a long answer stays behind.
  ResponseBody body(processor.keepsBodyInFile() ? ResponseBody::Kind::file
                                                : ResponseBody::Kind::page);
  const int status = transmitAndReceive(body);
  requestValues.clear();
  closeRequest();
  if (!body.failure().empty()) {
    platform::trace("sendRequest: " + body.failure());
    throw VexoException(status::generalFailure, body.failure());
  }
  if (body.kind() == ResponseBody::Kind::file) {
    processor.processFile(status, body.fileHandle(), body.size());
  } else {
    processor(status, body.bytes());
  }
  return status;
}

void Transceiver::ResponseProcessor::processFile(int status, int handle, std::uint64_t size) {
  // Only processors that ask for a file get one; read whole for any other.
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  if (::lseek(handle, 0, SEEK_SET) != 0 ||
      fileio::readFull(handle, bytes.data(), bytes.size()) != bytes.size()) {
    throw VexoException(status::generalFailure, "Error reading the answer's temporary file");
  }
  (*this)(status, bytes);
}

long Transceiver::getMaxChunkSize() const {
  return 131072;
}

std::string Transceiver::describeStatus(int status) const {
  const std::string number = std::to_string(status);
  return failureCause.empty() ? number : number + " (" + failureCause + ")";
}

std::string Transceiver::getDescription() const {
  const std::string how = connectionDef.proxyDef
                              ? "proxy (" + static_cast<std::string>(*connectionDef.proxyDef) + ")"
                              : std::string("direct");
  return getName() + " (" + how + ")";
}

std::vector<std::string> Transceiver::getNamesOfValuesBeingSent() const {
  std::vector<std::string> names;
  for (const auto& value : requestValues) {
    names.push_back(value.first);
  }
  return names;
}

std::shared_ptr<Transceiver> Transceiver::makeTransceiver(TransferLib lib,
                                                          const ConnectionDef& connectionDef,
                                                          const std::string& url,
                                                          const std::string& clientAppName) {
  if (lib != TransferLib::curl) {
    throw VexoException(status::generalFailure, "Undefined transfer library");
  }
  std::shared_ptr<Transceiver> transceiver =
      std::make_shared<CurlTransceiver>(connectionDef, url, clientAppName);
  transceiver->finishInitialization();
  return transceiver;
}

bool Transceiver::openRequest() {
  return true;
}

void Transceiver::closeRequest() {}

long Transceiver::processRequestValues(bool flag) {
  long count = processRequestValuesHeader(flag);
  for (const auto& value : requestValues) {
    if (const boost::optional<long> n = processRequestValue(value.first, value.second, flag)) {
      count += *n;
    }
  }
  return count + processRequestValuesFooter(flag);
}

long Transceiver::processRequestValuesHeader(bool) {
  return 0;
}

long Transceiver::processRequestValuesFooter(bool) {
  return 0;
}

}  // namespace vexo
