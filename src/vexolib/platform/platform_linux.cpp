// The system-facing half of the platform layer on Linux: file handles, the working folders,
// temporary files, file times and permissions, and the facts of the running system.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <boost/lexical_cast.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_private.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {
namespace platform {

namespace {

enum Purpose { temporaryPurpose = 0, cachePurpose = 1 };

const char lastResortFolder[] = "/var/tmp";

using priv::FolderCache;
using priv::folderCache;
using priv::networkConfigRoot;

std::string joinPath(const std::string& folder, const std::string& name) {
  return folder + (strutil::endsWith(folder, "/") ? "" : "/") + name;
}

const char* absoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? value : nullptr;
}

std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') {
    return home;
  }
  struct passwd pw;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  return std::string();
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder that only we can enter: created 0700, a real directory (not a link) that we own.
// Another user's folder of the same name in a shared /tmp is refused, not used.
bool ensurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return false;
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    return false;
  }
  return (st.st_mode & 077) == 0 || ::chmod(path.c_str(), 0700) == 0;
}

std::string findTemporaryFolder() {
  if (const char* runtime = absoluteEnv("XDG_RUNTIME_DIR")) {
    const std::string path = joinPath(runtime, "vexo");
    if (isDirectory(runtime) && ensurePrivateFolder(path)) {
      return path;
    }
  }
  const char* tmp = absoluteEnv("TMPDIR");
  const std::string path = joinPath(tmp ? tmp : "/tmp", "vexo-" + std::to_string(geteuid()));
  return ensurePrivateFolder(path) ? path : std::string();
}

std::string findCacheFolder() {
  std::string base;
  if (const char* cache = absoluteEnv("XDG_CACHE_HOME")) {
    base = cache;
  } else {
    const std::string home = homeDirectory();
    if (home.empty()) {
      return std::string();
    }
    base = joinPath(home, ".cache");
  }
  // A fresh account has no cache folder yet; it is ours to make.
  if (!isDirectory(base) && ::mkdir(base.c_str(), 0700) != 0) {
    return std::string();
  }
  const std::string path = joinPath(base, "vexo");
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return std::string();
  }
  return isDirectory(path) ? path : std::string();
}

std::string errnoText(int error) {
  return std::to_string(error);
}

std::string unquoteOsReleaseValue(const std::string& raw) {
  std::string value = raw;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  std::string result;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      ++i;
    }
    result += value[i];
  }
  return result;
}

// Eight letters or digits from the kernel's random source (fork-safe, unlike a seeded engine).
std::string randomNameSuffix() {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[8];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    static std::mt19937_64 engine(std::random_device{}() ^ static_cast<unsigned>(getpid()));
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(engine());
    }
  }
  std::string suffix;
  for (unsigned char b : bytes) {
    suffix += alphabet[b % 62];
  }
  return suffix;
}

const char temporaryFilePrefix[] = "temp.";
const std::size_t temporaryFileSuffixLength = 8;
// The copies of a process that ended without removing them (killed, say) are left this long,
// so that no running upload loses its copy.
const std::time_t temporaryCopyLifetimeSeconds = 24 * 60 * 60;

// "temp." and eight letters or digits: the names createTemporaryFile gives, and no others.
bool isTemporaryFileName(const char* name) {
  const std::size_t prefix = sizeof temporaryFilePrefix - 1;
  if (std::strncmp(name, temporaryFilePrefix, prefix) != 0 ||
      std::strlen(name) != prefix + temporaryFileSuffixLength) {
    return false;
  }
  for (const char* c = name + prefix; *c; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) {
      return false;
    }
  }
  return true;
}

}  // namespace

// ---- File handles ---------------------------------------------------------------------

int openBinaryReadOnlyFile(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0600);
}

int openBinaryReadWriteFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// readFileHandle and writeFileHandle are in seams/: plain in the shipped library, with fault
// budgets in the test build.

bool seekFileHandleForward(int handle, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    return false;
  }
  return ::lseek(handle, static_cast<off_t>(offset), SEEK_CUR) != -1;
}

bool seekFileHandleToOffset(int handle, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    return false;
  }
  return ::lseek(handle, static_cast<off_t>(offset), SEEK_SET) != -1;
}

int closeFileHandle(int handle) {
  return ::close(handle) == 0 ? 0 : -1;
}

// ---- Names, sizes and existence ---------------------------------------------------------

std::string getFileNameFromPath(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint64_t fileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    throw std::runtime_error("fileSize: file '" + path + "' not found (errno = " +
                             errnoText(errno) + ")");
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool fileExists(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    return true;
  }
  if (errno == ENOENT) {
    return false;
  }
  throw std::runtime_error("fileExists: other error, file '" + path + "' (errno = " +
                           errnoText(errno) + ")");
}

bool deleteTemporaryFile(const std::string& path) {
  return deleteFile(path);
}

void deleteRemainingTemporaryData() {
  // Only our private folder: the shared last resort also holds other programs' files.
  const std::string folder = getTemporaryDirectory();
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0) {
    return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) {
    return;
  }
  const std::time_t cutoff = std::time(nullptr) - temporaryCopyLifetimeSeconds;
  const int dirFd = ::dirfd(dir);
  while (const struct dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    struct stat file;
    if (isTemporaryFileName(name) &&
        ::fstatat(dirFd, name, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode) &&
        file.st_uid == geteuid() && file.st_mtime < cutoff) {
      ::unlinkat(dirFd, name, 0);
    }
  }
  ::closedir(dir);
}

// ---- Working folders and temporary files ------------------------------------------------

std::string getTemporaryDirectory() {
  return detail::getSpecialPurposeDirectoryPathString(temporaryPurpose);
}

std::string getCacheDirectory() {
  return detail::getSpecialPurposeDirectoryPathString(cachePurpose);
}

std::pair<int, std::string> createTemporaryFile() {
  const std::string folder = getTemporaryDirectory();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = joinPath(folder, temporaryFilePrefix + randomNameSuffix());
    const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (handle >= 0) {
      return {handle, path};
    }
    if (errno != EEXIST) {
      break;
    }
  }
  throw VexoException(status::generalFailure, "Failed to create temporary file.");
}

// ---- File times and permissions ---------------------------------------------------------

std::string getFileLastModifiedString(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    throw std::runtime_error("getFileLastModifiedString: stat(\"" + path +
                             "\") failed (errno = " + errnoText(errno) + ")");
  }
  return lastModifiedString(st.st_mtime);
}

std::string lastModifiedString(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  const int year = local.tm_year + 1900;
  if (year < 0 || year > 9999) {
    char text[64] = {};
    std::snprintf(text, sizeof text, "%4.4d-%2.2d-%2.2d-%2.2d%2.2d-%2.2d", year,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
  }
  // By hand for the years that fill four digits: a folder scan makes one text per file.
  char text[] = "0000-00-00-0000-00";
  auto two = [&text](int at, int value) {
    text[at] = static_cast<char>('0' + value / 10);
    text[at + 1] = static_cast<char>('0' + value % 10);
  };
  two(0, year / 100);
  two(2, year % 100);
  two(5, local.tm_mon + 1);
  two(8, local.tm_mday);
  two(11, local.tm_hour);
  two(13, local.tm_min);
  two(16, local.tm_sec);
  return std::string(text, sizeof text - 1);
}

bool setFileLastModifiedFromString(const std::string& path, const std::string& text) {
  const std::vector<std::string> pieces = strutil::split(text, '-');
  if (pieces.size() < 5) {
    return false;
  }
  // Pieces never carry a sign (the "-" separates them), so the field arithmetic cannot
  // overflow.
  const int year = boost::lexical_cast<int>(pieces[0]);
  const int month = boost::lexical_cast<int>(pieces[1]);
  const int day = boost::lexical_cast<int>(pieces[2]);
  const int hourMinute = boost::lexical_cast<int>(pieces[3]);
  const int second = boost::lexical_cast<int>(pieces[4]);
  // A time that cannot exist (month 13, 30 February, 25:00) is refused, not normalised into
  // some other day.
  if (month < 1 || month > 12 || day < 1 || day > 31 || hourMinute / 100 > 23 ||
      hourMinute % 100 > 59 || second > 59) {
    trace(path + ": impossible file time " + text);
    return false;
  }
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hourMinute / 100;
  local.tm_min = hourMinute % 100;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  if (when == static_cast<std::time_t>(-1) && !(year == 1969 && month == 12 && day == 31)) {
    trace(path + ": unable to set file time");
    return false;
  }
  if (local.tm_mday != day || local.tm_mon != month - 1 || local.tm_year != year - 1900) {
    trace(path + ": impossible file time " + text);
    return false;
  }
  struct timespec times[2];
  times[0].tv_sec = when;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    trace(path + ": unable to set file time");
    return false;
  }
  return true;
}

bool markFileExecutable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    return false;
  }
  if (::chmod(path.c_str(), (st.st_mode & 07777) | 0111) != 0) {
    return false;
  }
  trace("Marked file " + path + " executable.");
  return true;
}

bool isFileMarkedExecutable(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && (st.st_mode & S_IXUSR);
}

std::string getProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
    return "(not able to retrieve path)";
  }
  return std::string(buffer, static_cast<std::size_t>(n));
}

// ---- System facts -----------------------------------------------------------------------

std::string getOSVersionString() {
  std::ifstream release("/etc/os-release");
  if (!release) {
    release.open("/usr/lib/os-release");
  }
  if (!release) {
    return "Linux (unable to read os-release)";
  }
  std::string version = "(no version)";
  std::string line;
  while (std::getline(release, line)) {
    if (strutil::startsWith(line, "PRETTY_NAME=")) {
      const std::string value = unquoteOsReleaseValue(strutil::strip(line.substr(12)));
      if (!value.empty()) {
        version = value;
      }
    }
  }
  std::string build = "(no build)";
  struct utsname names;
  if (::uname(&names) == 0 && names.release[0] != '\0') {
    build = names.release;
  }
  return version + " (" + build + ")";
}

std::string getProcessIDString() {
  return std::to_string(::getpid());
}

void registerClientFileExtensions() {}

namespace priv {

std::vector<std::string> configDomainFolders() {
  std::vector<std::string> folders;
  if (const char* config = absoluteEnv("XDG_CONFIG_HOME")) {
    folders.push_back(config);
  } else {
    const std::string home = homeDirectory();
    folders.push_back(home.empty() ? std::string() : joinPath(home, ".config"));
  }
  std::string local = "/etc/xdg";
  if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
    for (const std::string& entry : strutil::split(dirs, ':')) {
      if (entry[0] == '/') {
        local = entry;
        break;
      }
    }
  }
  folders.push_back(local);
  folders.push_back(networkConfigRoot());
  return folders;
}

FolderCache& folderCache() {
  static FolderCache* cache = new FolderCache;
  return *cache;
}

}  // namespace priv

namespace detail {

std::string getSpecialPurposeDirectoryPathString(int purpose) {
  if (purpose != temporaryPurpose && purpose != cachePurpose) {
    throw VexoException(status::generalFailure, "Invalid purpose code");
  }
  FolderCache& cache = folderCache();
  boost::optional<std::string>& cached =
      purpose == temporaryPurpose ? cache.tempDataDirPath : cache.cachingDirPath;
  if (!cached) {
    if (purpose == cachePurpose) {
      // Trace pruning deletes in this folder: without a cache folder it is our private
      // temporary one, never a shared folder where another program's files lie.
      const std::string path = findCacheFolder();
      cached = path.empty() ? getSpecialPurposeDirectoryPathString(temporaryPurpose) : path;
    } else {
      std::string path = findTemporaryFolder();
      const std::string lastResort =
          joinPath(lastResortFolder, "vexo-" + std::to_string(geteuid()));
      if (path.empty() && ensurePrivateFolder(lastResort)) {
        path = lastResort;
      }
      // Temporary files are made O_EXCL and 0600, so even the shared folder is safe for them.
      cached = path.empty() ? std::string(lastResortFolder) : path;
    }
  }
  return *cached;
}

}  // namespace detail

}  // namespace platform
}  // namespace vexo
