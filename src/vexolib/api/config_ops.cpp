// Process-wide settings of the interface: configuration overrides, client attributes, the
// trace folder, and log messages with their flush to the service.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "vexolib/session/Session.h"
#include "vexolib/api/internal.h"
#include "vexolib/api/operations.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"
#include "vexolib/api/sync_ops.h"

namespace vexo {
namespace api25 {

namespace {

std::map<std::string, std::string> _clientAttrs;
std::vector<char> traceLogDirectoryPathBuffer;

}  // namespace

bool refuseNullTexts(const std::string& name, std::initializer_list<const char*> texts) {
  if (std::find(texts.begin(), texts.end(), nullptr) == texts.end()) {
    return false;
  }
  platform::trace(name);
  setStatus(status::generalFailure, "Null argument");
  platform::trace("exit " + name);
  return true;
}

const std::map<std::string, std::string>& getClientAttributes() { return _clientAttrs; }

void overrideConfigOption(const char* name, const char* value) {
  if (refuseNullTexts("overrideConfigOption", {name, value})) {
    return;
  }
  platform::overrideStringConfigOption(name, value);
}

void setClientAttribute(const char* name, const char* value) {
  if (refuseNullTexts("setClientAttribute", {name, value})) {
    return;
  }
  _clientAttrs[name] = value;
  if (Session* session = accessSession()) {
    session->setClientAttribute(name, value);
  }
}

void setTracingEnabled(bool enabled) {
  setStatus(0, std::string());
  platform::setTracingEnabled(enabled);
}

const char* getTraceLogDirectory() {
  const std::string directory = platform::getTraceLogDirectory();
  traceLogDirectoryPathBuffer.assign(directory.begin(), directory.end());
  traceLogDirectoryPathBuffer.push_back('\0');
  return traceLogDirectoryPathBuffer.data();
}

void setTraceLogDirectory(const char* path) {
  if (refuseNullTexts("setTraceLogDirectory", {path})) {
    return;
  }
  platform::setTraceLogDirectory(path);
}

void logMessage(bool isError, const char* subcategory, const char* message) {
  if (refuseNullTexts("logMessage", {subcategory, message})) {
    return;
  }
  platform::log(isError ? platform::LogLevel::error : platform::LogLevel::info, message,
                subcategory);
  Session* session = accessSession();
  if (!isError || !session || !session->isConnected()) {
    return;
  }
  // The caller's text travels as a log-table entry with the flush, never in its own field.
  // No trace of its own, and a successful flush leaves the last message alone.
  const OperationTexts texts{"", "Exception during logMessage() ",
                             "Non-std::exception during logMessage() ", ""};
  runFrame(texts, false, true, [] {
    accessSession()->logMessage(true, "(flush)", "");
    return 0;
  });
}

void resetConfigState() {
  _clientAttrs.clear();
  traceLogDirectoryPathBuffer.clear();
}

void resetInterfaceState() {
  resetSessionState();
  resetConfigState();
  resetInfoTables();
  clearSyncDescs();
  setStatus(0, std::string());
}

}  // namespace api25
}  // namespace vexo
