// The test build's side of the platform seams: a settable machine-wide configuration folder,
// resets to a fresh process's state, and file handles with fault budgets.
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>

#include <unistd.h>

#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace vexo {
namespace platform {

namespace {

std::string& settableNetworkConfigRoot() {
  static std::string* root = new std::string("/etc");
  return *root;
}

// -1 is off.
std::int64_t writeBudget = -1;
std::int64_t readBudget = -1;
bool readFailsAsError = false;

std::function<void()>& pendingThrower() {
  static std::function<void()>* thrower = new std::function<void()>;
  return *thrower;
}

// The fault state is shared by every thread that reads or writes (a folder scan reads on
// several).
std::mutex& faultMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

void throwIfArmed() {
  std::function<void()> thrower;
  {
    std::lock_guard<std::mutex> lock(faultMutex());
    thrower = std::move(pendingThrower());
    pendingThrower() = nullptr;
  }
  if (thrower) {
    thrower();
  }
}

}  // namespace

namespace priv {

const std::string& networkConfigRoot() { return settableNetworkConfigRoot(); }

}  // namespace priv

int readFileHandle(int handle, void* buffer, int length) {
  throwIfArmed();
  if (length < 0) {
    errno = EINVAL;
    return -1;
  }
  std::lock_guard<std::mutex> lock(faultMutex());
  std::size_t want = static_cast<std::size_t>(length);
  if (readBudget >= 0) {
    if (readBudget == 0 && want > 0) {
      if (readFailsAsError) {
        errno = EIO;
        return -1;
      }
      return 0;
    }
    want = std::min<std::size_t>(want, static_cast<std::size_t>(readBudget));
  }
  const ssize_t n = ::read(handle, buffer, want);
  if (n > 0 && readBudget >= 0) {
    readBudget -= n;
  }
  return static_cast<int>(n);
}

int writeFileHandle(int handle, const void* buffer, int length) {
  throwIfArmed();
  if (length < 0) {
    errno = EINVAL;
    return -1;
  }
  std::lock_guard<std::mutex> lock(faultMutex());
  std::size_t want = static_cast<std::size_t>(length);
  if (writeBudget >= 0) {
    if (writeBudget == 0 && want > 0) {
      errno = ENOSPC;
      return -1;
    }
    want = std::min<std::size_t>(want, static_cast<std::size_t>(writeBudget));
  }
  const ssize_t n = ::write(handle, buffer, want);
  if (n > 0 && writeBudget >= 0) {
    writeBudget -= n;
  }
  return static_cast<int>(n);
}

namespace detail {

void resetConfigOptions() {
  priv::ConfigState& st = priv::configState();
  st.options.clear();
  st.loaded = false;
}

void resetFolderCache() { priv::folderCache() = priv::FolderCache(); }

void resetTracing() {
  priv::ensureTraceLogClosed();
  priv::traceState() = priv::TraceState();
}

void setNetworkConfigRoot(const std::string& root) { settableNetworkConfigRoot() = root; }

void failWritesAfter(std::int64_t bytes) {
  std::lock_guard<std::mutex> lock(faultMutex());
  writeBudget = bytes < 0 ? -1 : bytes;
}

void failReadsAfter(std::int64_t bytes, bool asError) {
  std::lock_guard<std::mutex> lock(faultMutex());
  readBudget = bytes < 0 ? -1 : bytes;
  readFailsAsError = asError;
}

void throwAtNextFileAccess(std::function<void()> thrower) {
  std::lock_guard<std::mutex> lock(faultMutex());
  pendingThrower() = std::move(thrower);
}

}  // namespace detail
}  // namespace platform
}  // namespace vexo
