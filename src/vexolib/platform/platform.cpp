// The portable half of the platform layer: tracing, the log table and whole-file helpers.
#include "vexolib/platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <set>
#include <typeinfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform_private.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/version.h"

namespace vexo {
namespace platform {

namespace priv {

TraceState& traceState() {
  static TraceState* state = new TraceState;
  return *state;
}

void ensureTraceLogClosed() {
  TraceState& st = traceState();
  if (st.traceFd >= 0) {
    ::close(st.traceFd);
    st.traceFd = -1;
  }
}

}  // namespace priv

namespace {

namespace fs = boost::filesystem;
using priv::TraceState;
using priv::traceState;
using priv::ensureTraceLogClosed;

void writeTraceText(const std::string& text) {
  TraceState& st = traceState();
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0 && !st.traceBad) {
    const ssize_t n = ::write(st.traceFd, data, left);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      st.traceBad = true;
      return;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
}

const fs::path& ensureTraceLogDirPathSet() {
  TraceState& st = traceState();
  if (!st.traceLogDirPath) {
    st.traceLogDirPath = fs::path(getCacheDirectory());
  }
  return *st.traceLogDirPath;
}

void pruneExistingTraceLogs() {
  TraceState& st = traceState();
  const fs::path dir = ensureTraceLogDirPathSet();
  // A folder others may write into holds files that are not ours to delete.
  struct stat folder;
  if (::stat(dir.c_str(), &folder) != 0 || (folder.st_mode & S_IWOTH) != 0) {
    return;
  }
  std::set<fs::path> traceFiles;
  for (fs::directory_iterator it(dir), end; it != end; ++it) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (fs::exists(p) && !fs::is_directory(p) && strutil::startsWith(name, st.prefix) &&
        strutil::endsWith(name, st.suffix)) {
      traceFiles.insert(p);
    }
  }
  while (!traceFiles.empty() &&
         static_cast<std::size_t>(st.maxTraceLogFiles) <= traceFiles.size()) {
    fs::remove(*traceFiles.begin());
    traceFiles.erase(traceFiles.begin());
  }
}

bool openTraceLog() {
  TraceState& st = traceState();
  st.opening = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{st.opening};
  try {
    const std::string stamp = getCurrentTimeString(fileNameTimeFormat);
    pruneExistingTraceLogs();
    const fs::path dir = ensureTraceLogDirPathSet();
    // Never truncate a file another run opened in the same second: take the next free name,
    // which still carries the prefix and suffix that pruning looks for.
    int fd = -1;
    for (int n = 1; n < 1000 && fd < 0; ++n) {
      const std::string name =
          st.prefix + stamp + (n == 1 ? std::string() : "_" + std::to_string(n)) + st.suffix;
      fd = ::open((dir / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno != EEXIST) {
        return false;
      }
    }
    if (fd < 0) {
      return false;
    }
    st.traceFd = fd;
    st.traceBad = false;
    writeTraceText(std::string("Version ") + frameworkVersion + "\n");
    writeTraceText("OS version: " + getOSVersionString() + "\n");
    writeTraceText("pid: " + getProcessIDString() + "\n");
    return true;
  } catch (...) {
    return false;
  }
}

void ensureTraceLogOpened() {
  TraceState& st = traceState();
  if (st.traceFd >= 0 || st.opening) {
    return;
  }
  if (!openTraceLog()) {
    setTracingEnabled(false);
  }
}

}  // namespace

void setTracingEnabled(bool enabled) {
  traceState().tracingEnabled = enabled;
}

bool isTracingEnabled() {
  return traceState().tracingEnabled;
}

void setMaxTraceLogFiles(int count) {
  if (count >= 0) {
    traceState().maxTraceLogFiles = count;
  }
}

int getMaxTraceLogFiles() {
  return traceState().maxTraceLogFiles;
}

void setTraceLogDirectory(const std::string& directory) {
  traceState().traceLogDirPath = fs::path(directory);
  ensureTraceLogClosed();
}

std::string getTraceLogDirectory() {
  return ensureTraceLogDirPathSet().string();
}

void enableLogTable() {
  traceState().logTableEnabled = true;
}

void disableLogTable() {
  TraceState& st = traceState();
  st.logTableEnabled = false;
  st.logTable.clear();
}

bool isLogTableEnabled() {
  return traceState().logTableEnabled;
}

std::deque<LogEntry>& accessLogTable() {
  return traceState().logTable;
}

namespace {

std::string logEntryText(const std::string& stamp, const std::string& message) {
  std::string text = stamp + ": ";
  const std::size_t room = logEntryMaxText - std::min(logEntryMaxText, text.size());
  if (message.size() <= room) {
    return text + message;
  }
  const std::string note = " ... (" + std::to_string(message.size()) + " bytes, cut)";
  text.append(message, 0, room - std::min(room, note.size()));
  return text + note;
}

}  // namespace

void log(LogLevel level, const std::string& message, const char* category) {
  TraceState& st = traceState();
  const std::string stamp = getCurrentTimeString(lineTimeFormat);
  if (st.logTableEnabled) {
    st.logTable.push_back(LogEntry{level, logEntryText(stamp, message), category ? category : ""});
    while (st.logTable.size() > logTableMaxEntries) {
      st.logTable.pop_front();
    }
  }
  if (level == LogLevel::trace) {
    ensureTraceLogOpened();
    if (st.traceFd >= 0 && !st.traceBad && !st.opening) {
      writeTraceText(stamp + ": " + message + "\n");
    }
  }
}

void log(LogLevel level, const char* message, const char* category) {
  log(level, std::string(message ? message : ""), category);
}

// Tracing runs in destructors and catch handlers: a line that cannot be made (no memory) is
// lost, never thrown.
void traceString(const std::string& message) noexcept {
  try {
    log(LogLevel::trace, message, "vexo");
  } catch (...) {
  }
}

void trace(const std::string& message) noexcept {
  if (traceState().tracingEnabled) {
    traceString(message);
  }
}

void trace(const char* message) noexcept {
  if (traceState().tracingEnabled) {
    try {
      traceString(message ? message : "");
    } catch (...) {
    }
  }
}

void trace(const std::string& message, const std::exception& e) noexcept {
  if (traceState().tracingEnabled) {
    try {
      traceString(message + "\n" + getExceptionMessage(e));
    } catch (...) {
    }
  }
}

void trace(const char* message, const std::exception& e) noexcept {
  try {
    trace(std::string(message ? message : ""), e);
  } catch (...) {
  }
}

std::string getExceptionMessage(const std::exception& e) {
  if (const VexoException* ve = dynamic_cast<const VexoException*>(&e)) {
    return static_cast<std::string>(*ve);
  }
  return std::string("Exception (") + typeid(e).name() + "): " + e.what();
}

std::string getCurrentTimeString(TimeStringFormatCode code) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[128];
  const char* pattern = code == lineTimeFormat ? "%Y-%m-%d @ %H:%M:%S" : "%Y-%m-%d-%H%M-%S";
  const std::size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
  return std::string(buffer, n);
}

bool loadFile(const std::string& path, std::vector<unsigned char>& bytes) {
  const std::uint64_t size = fileSize(path);
  bytes.clear();
  bytes.reserve(size);
  const int handle = openBinaryReadOnlyFile(path);
  if (handle < 0) {
    return false;
  }
  struct Closer {
    int handle;
    ~Closer() { closeFileHandle(handle); }
  } closer{handle};
  unsigned char buffer[8192];
  std::uint64_t remaining = size;
  while (remaining > 0) {
    const int want = static_cast<int>(std::min<std::uint64_t>(remaining, sizeof buffer));
    if (readFileHandle(handle, buffer, want) != want) {
      return false;
    }
    bytes.insert(bytes.end(), buffer, buffer + want);
    remaining -= static_cast<std::uint64_t>(want);
  }
  return true;
}

bool deleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

}  // namespace platform
}  // namespace vexo
