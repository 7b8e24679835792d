#include "vexolib/api/api25.h"
#include "vexolib/api/export_guard.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>

#include <sys/stat.h>

#include "vexolib/upload/FileUploadCommand.h"
#include "vexolib/session/Session.h"
#include "vexolib/upload/Uploader.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/patch/PatchCommand.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"
#include "vexolib/api/sync_ops.h"
#include <vexokit/vexokit.h>

namespace {

bool inited = false;

}  // namespace

void ensureInited() {
  if (!inited) {
    vexo::platform::initClient();
    inited = true;
  }
}

namespace vexo {
namespace api25 {

namespace {

std::unique_ptr<Session> _pSess;
int _statusCode = 0;
std::string _errorMessage;
FormatsAndFiles _formatsAndFiles;

const std::size_t preservedResultCount = 32;

void clearStatus() {
  _statusCode = 0;
  _errorMessage.clear();
}

}  // namespace

Failure currentFailure() {
  Failure failure;
  failure.status = status::generalFailure;
  try {
    throw;
  } catch (const VexoException& e) {
    failure.status = e.statusCode;
    failure.message = e.what();
  } catch (const std::exception& e) {
    // Made the framework's own, so that the trace shows it like every other failure.
    const VexoException own(status::generalFailure, e.what());
    failure.message = own.what();
  } catch (...) {
    failure.message = "internal error";
  }
  return failure;
}

void recordCurrentFailure() noexcept {
  try {
    Failure failure = currentFailure();
    _statusCode = failure.status;
    _errorMessage = std::move(failure.message);
  } catch (...) {
    // No memory even for the message: the status alone.
    _statusCode = status::generalFailure;
    _errorMessage.clear();
  }
}

const char* bufferString(const std::string& text) {
  // Never destroyed: a client may read its last texts until the process ends, even from its
  // own exit handlers.
  static std::deque<char*>& preservedResults = *new std::deque<char*>();
  char* copy = ::strdup(text.c_str());
  if (!copy) {
    throw std::bad_alloc();
  }
  preservedResults.push_front(copy);
  if (preservedResults.size() > preservedResultCount) {
    std::free(preservedResults.back());
    preservedResults.pop_back();
  }
  return copy;
}

int getStatusCode() { return _statusCode; }

void setStatus(int code, const std::string& message) {
  _statusCode = code;
  _errorMessage = message;
}

const char* getErrorMessage() { return bufferString(_errorMessage); }

Session* accessSession() { return _pSess.get(); }

void adoptSession(std::unique_ptr<Session> session) { _pSess = std::move(session); }

void ensureCleanedUpOnFailure() {
  platform::trace("ensureCleanedUpOnFailure");
  if (_pSess) {
    std::unique_ptr<Session> doomed = std::move(_pSess);
    doomed.reset();
    clearSyncDescs();
  }
  platform::trace("exiting ensureCleanedUpOnFailure");
}

OperationTexts OperationTexts::of(const std::string& name) {
  return {name, "Exception during " + name + "() ", "Non-std::exception during " + name + "() ",
          "exit " + name};
}

int runFrame(const OperationTexts& texts, bool clearsStatus, bool endSessionOnFailure,
             const std::function<int()>& work) {
  if (!texts.entry.empty()) {
    platform::trace(texts.entry);
  }
  if (clearsStatus) {
    clearStatus();
  }
  try {
    _statusCode = work();
  } catch (const std::exception& e) {
    platform::trace(texts.exception, e);
    if (endSessionOnFailure) {
      ensureCleanedUpOnFailure();
    }
    recordCurrentFailure();
  } catch (...) {
    platform::trace(texts.nonStdException);
    if (endSessionOnFailure) {
      ensureCleanedUpOnFailure();
    }
    recordCurrentFailure();
  }
  if (!texts.exit.empty()) {
    platform::trace(texts.exit);
  }
  return _statusCode;
}

int runOperation(const std::string& name, SessionNeed need, bool endSessionOnFailure,
                 const std::function<int()>& work) {
  return runFrame(OperationTexts::of(name), true, endSessionOnFailure, [&] {
    if (need == SessionNeed::none || _pSess) {
      return work();
    }
    // Refused without a session: no exception traced, nothing ended.
    if (need == SessionNeed::connection) {
      setStatus(status::generalFailure, "Not connected.");
    } else {
      setStatus(status::notConnected, "not connected");
    }
    return _statusCode;
  });
}

bool addFile(const char* format, const char* path) {
  clearStatus();
  if (!path) {
    _statusCode = status::badFileSpecification;
    _errorMessage = "No file to queue.";
    return false;
  }
  try {
    _formatsAndFiles.emplace_back(format ? format : "", path);
  } catch (...) {
    platform::trace("Exception occurred in addFile().");
    recordCurrentFailure();
    return false;
  }
  return true;
}

void resetFiles() {
  clearStatus();
  _formatsAndFiles.clear();
}

const FormatsAndFiles& getQueuedFiles() { return _formatsAndFiles; }

std::pair<int, std::string> sendFilesWithOptions(const std::map<std::string, std::string>& options,
                                                 const char* srcCompId, const char* srcAppId,
                                                 const char* srcAppVer, const char* authToken,
                                                 bool deleteInputFiles) {
  std::pair<int, std::string> result(0, std::string());
  const OperationTexts texts{"Entered sendFiles", "Exception during sendFiles() ",
                             "Non-std::exception during sendFiles().", "Returning from sendFiles"};
  const int code = runFrame(texts, true, false, [&] {
    std::shared_ptr<FileUploadCommand> command = FileUploadCommand::make();
    command->setOptions(options);
    platform::trace("Adding files");
    for (const auto& formatAndFile : _formatsAndFiles) {
      command->formats.push_back(formatAndFile.first);
      command->files.push_back(formatAndFile.second);
    }
    // Emptied before anything is sent: a failed send must be queued again.
    resetFiles();
    if (command->files.empty()) {
      // An empty batch is no upload: never reported as one.
      throw VexoException(status::generalFailure, "No files were specified.");
    }
    platform::trace("Setting options");
    if (srcCompId) {
      command->srccompid = srcCompId;
    }
    if (srcAppId) {
      command->srcappid = srcAppId;
    }
    if (srcAppVer) {
      command->srcappver = srcAppVer;
    }
    if (authToken) {
      command->authtoken = authToken;
    }
    command->deleteInputFiles = deleteInputFiles;
    platform::trace("Executing command");
    command->execute();
    platform::trace("Exiting with success");
    return 0;
  });
  if (code != 0) {
    result = {code, _errorMessage};
  }
  return result;
}

bool lastSendFilesWasLightweight() { return Uploader::wasLastUploadLightweight(); }

namespace {

// A path as the entry trace shows it; a null one is not read.
std::string traced(const char* path) { return path ? path : "(null)"; }

// The frame of the patch operations: entry line, then the command made, given its paths and
// run inside one guarded region; "Returning from <name>" at the end.
template <typename Command, typename Configure>
int runPatchCommand(const std::string& name, const std::string& entryLine, Configure configure) {
  const OperationTexts texts{entryLine, "Exception during " + name + "() ",
                             "Non-std::exception during " + name + "().",
                             "Returning from " + name};
  return runFrame(texts, true, false, [&] {
    std::shared_ptr<Command> command = Command::make();
    configure(*command);
    platform::trace("Executing command");
    command->execute();
    platform::trace("Exiting with success");
    return 0;
  });
}

}  // namespace

int applyPatchFile(const char* patchFile, const char* oldFile, const char* newFile) {
  return runPatchCommand<ApplyPatchFileCommand>(
      "applyPatchFile",
      "applyPatchFile: patch file path =" + traced(patchFile) + "; old file path =" +
          traced(oldFile) + "; new file path =" + traced(newFile),
      [&](ApplyPatchFileCommand& command) {
        command.setPatchPath(patchFile);
        command.setOldPath(oldFile);
        command.setNewPath(newFile);
      });
}

int applyPatchDir(const char* patchDir, const char* oldDir, const char* newDir) {
  return runPatchCommand<ApplyPatchDirCommand>(
      "applyPatchDir",
      "applyPatchDir: patch dir path =" + traced(patchDir) + "; old dir path =" +
          traced(oldDir) + "; new dir path =" + traced(newDir),
      [&](ApplyPatchDirCommand& command) {
        command.setPatchPath(patchDir);
        command.setOldPath(oldDir);
        command.setNewPath(newDir);
      });
}

int validatePatchDir(const char* patchDir) {
  return runPatchCommand<ValidatePatchDirCommand>(
      "validatePatchDir", "validatePatchDir: patch dir path =" + traced(patchDir),
      [&](ValidatePatchDirCommand& command) { command.setPatchPath(patchDir); });
}

}  // namespace api25
}  // namespace vexo

// ---- The exports -------------------------------------------------------------------------------

namespace {

// The file's absolute path into buffer; false when there is no regular file (a FIFO or a
// device would hang or feed the upload endlessly) or the path does not fit with its
// terminating NUL. Only the folder is resolved: a symbolic link stays the link, so its name
// goes on the wire and "delete input files" removes the link, never its target.
bool convertFileSpec(const VexoFileSpec* spec, char* buffer, std::size_t size) {
  if (!spec || !spec->path || !*spec->path) {
    return false;
  }
  const std::string path = spec->path;
  struct stat st;
  if (path.back() == '/' || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  const std::string::size_type slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (!resolved) {
    return false;
  }
  const std::string folderPath = resolved;
  std::free(resolved);
  const std::string absolute = folderPath + (folderPath == "/" ? "" : "/") + name;
  if (absolute.size() >= size) {
    return false;
  }
  std::memcpy(buffer, absolute.c_str(), absolute.size() + 1);
  return true;
}

// Always terminated inside the buffer; the rest of the buffer is zeroed.
void copyMessage(const std::string& message, char* buffer, int size) {
  if (!buffer || size <= 0) {
    return;
  }
  const std::size_t capacity = static_cast<std::size_t>(size);
  const std::size_t length = std::min(message.size(), capacity - 1);
  std::memcpy(buffer, message.data(), length);
  std::memset(buffer + length, 0, capacity - length);
}

int sendFiles(const std::map<std::string, std::string>& options, const char* srcCompId,
              const char* srcAppId, const char* srcAppVer, const char* authToken,
              int deleteInputFiles, char* messageBuffer, int bufferSize) {
  const std::pair<int, std::string> result = vexo::api25::sendFilesWithOptions(
      options, srcCompId, srcAppId, srcAppVer, authToken, deleteInputFiles != 0);
  copyMessage(result.second, messageBuffer, bufferSize);
  return result.first;
}

}  // namespace

extern "C" {

using vexo::api25::guarded;
using vexo::api25::guardedVoid;

int vexo25_addFile(const char* format, const VexoFileSpec* fileSpec) noexcept {
  return guarded(vexo::api25::exportFailure, [&] {
    static char pathBuffer[1024];
    if (!convertFileSpec(fileSpec, pathBuffer, sizeof pathBuffer)) {
      vexo::platform::trace("error converting from FSSpec");
      return int(vexo::status::badFileSpecification);
    }
    return vexo::api25::addFile(format, pathBuffer) ? 0 : vexo::api25::getStatusCode();
  });
}

int vexo21_addFile(const char* format, const VexoFileSpec* fileSpec) noexcept {
  return vexo25_addFile(format, fileSpec);
}

int vexo25_addFileUsingPath(const char* format, const char* path) noexcept {
  return guarded(vexo::api25::exportFailure, [&] {
    return vexo::api25::addFile(format, path) ? 0 : vexo::api25::getStatusCode();
  });
}

int vexo25_resetFiles(void) noexcept {
  return guarded(vexo::api25::exportFailure, [] {
    vexo::api25::resetFiles();
    return 0;
  });
}

int vexo21_resetFiles(void) noexcept { return vexo25_resetFiles(); }

int vexo25_applyPatchFile(const char* patchFile, const char* oldFile,
                          const char* newFile) noexcept {
  return guarded(vexo::api25::exportFailure, [&] {
    return vexo::api25::applyPatchFile(patchFile, oldFile, newFile);
  });
}

int vexo25_applyPatchDir(const char* patchDir, const char* oldDir, const char* newDir) noexcept {
  return guarded(vexo::api25::exportFailure, [&] {
    return vexo::api25::applyPatchDir(patchDir, oldDir, newDir);
  });
}

int vexo25_validatePatchDir(const char* patchDir) noexcept {
  return guarded(vexo::api25::exportFailure,
                 [&] { return vexo::api25::validatePatchDir(patchDir); });
}

int vexo25_sendFiles(const char* srcCompId, const char* srcAppId, const char* srcAppVer,
                     const char* authToken, int deleteInputFiles, char* messageBuffer,
                     int bufferSize) noexcept {
  copyMessage(std::string(), messageBuffer, bufferSize);
  return guarded(vexo::api25::exportFailure, [&] {
    return sendFiles({}, srcCompId, srcAppId, srcAppVer, authToken, deleteInputFiles,
                     messageBuffer, bufferSize);
  });
}

int vexo25_sendFilesWithOptions(const char* options, const char* srcCompId,
                                const char* srcAppId, const char* srcAppVer,
                                const char* authToken, int deleteInputFiles,
                                char* messageBuffer, int bufferSize) noexcept {
  copyMessage(std::string(), messageBuffer, bufferSize);
  return guarded(vexo::api25::exportFailure, [&] {
    std::map<std::string, std::string> parsed;
    try {
      parsed = vexo::strutil::parseNVPString(options ? options : "");
    } catch (const std::exception& e) {
      copyMessage(e.what(), messageBuffer, bufferSize);
      return int(vexo::status::generalFailure);
    }
    return sendFiles(parsed, srcCompId, srcAppId, srcAppVer, authToken, deleteInputFiles,
                     messageBuffer, bufferSize);
  });
}

int vexo21_sendFiles(const char* srcCompId, const char* srcAppId, const char* srcAppVer,
                     int deleteInputFiles, char* messageBuffer, int bufferSize) noexcept {
  return vexo25_sendFiles(srcCompId, srcAppId, srcAppVer, nullptr, deleteInputFiles,
                          messageBuffer, bufferSize);
}

int vexo25_lastSendFilesWasLightweight(void) noexcept {
  return guarded(0, [] { return vexo::api25::lastSendFilesWasLightweight() ? 1 : 0; });
}

const char* vexo25_getErrorMessage(void) noexcept {
  // No memory left for a copy of the message: an empty one.
  return guarded<const char*>("", [] { return vexo::api25::getErrorMessage(); });
}

int vexo25_isTracingEnabled(void) noexcept {
  return guarded(0, [] { return vexo::platform::isTracingEnabled() ? 1 : 0; });
}

int vexo25_getMaxTraceLogFiles(void) noexcept {
  return guarded(0, [] { return vexo::platform::getMaxTraceLogFiles(); });
}

void vexo25_setMaxTraceLogFiles(int count) noexcept {
  guardedVoid([&] { vexo::platform::setMaxTraceLogFiles(count); });
}

}  // extern "C"
