#include "vexolib/sync/DirImage.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include <boost/filesystem/operations.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/util.h"

namespace fs = boost::filesystem;

namespace vexo {

namespace {

// The wire carries sizes as signed 32-bit decimals.
constexpr std::uint64_t maxFileSize = 0x7fffffffu;

std::string joinRel(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

std::string realPathOf(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) {
    return std::string();
  }
  return buffer;
}

bool strictlyInside(const std::string& real, const std::string& realRoot) {
  if (realRoot == "/") {
    return real.size() > 1 && real[0] == '/';
  }
  return real.size() > realRoot.size() + 1 && real.compare(0, realRoot.size(), realRoot) == 0 &&
         real[realRoot.size()] == '/';
}

[[noreturn]] void refuse(const std::string& relPath, const char* why) {
  throw VexoException(103, "Refused relative path '" + relPath + "' from the server: " + why);
}

}  // namespace

DirProxy::DirProxy(const fs::path& root) : root(root) {
  std::vector<FolderId> ancestors;
  scan(std::string(), ancestors);
}

void DirProxy::scan(const std::string& relPath, std::vector<FolderId>& ancestors) {
  const fs::path full =
      (relPath.empty() ? root : root / fs::path(relPath)).lexically_normal();
  struct stat st;
  if (::stat(full.c_str(), &st) != 0) {
    // Vanished since it was listed, or a dangling link.
    if (errno == ENOENT || errno == ENOTDIR) {
      return;
    }
    throw fs::filesystem_error("scan", full,
                               boost::system::error_code(errno, boost::system::system_category()));
  }
  const bool isDirectory = S_ISDIR(st.st_mode);
  if (isDirectory) {
    const FolderId id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    for (const FolderId& entered : ancestors) {
      if (entered == id) {
        // A link back to a folder above: its contents are already in the image.
        platform::trace("Skipping symbolic link cycle at " + full.string());
        return;
      }
    }
    ancestors.push_back(id);
  }
  if (!relPath.empty()) {
    PathInfo info;
    info.relPath = relPath;
    info.isDirectory = isDirectory;
    if (!isDirectory) {
      const std::uint64_t size = platform::fileSize(full.string());
      if (size > maxFileSize) {
        throw VexoException(103, "File '" + relPath + "' is " + std::to_string(size) +
                                     " bytes; files of 2 GiB or more cannot be synchronised.");
      }
      info.lastModified = platform::getFileLastModifiedString(full.string());
      info.fileSize = static_cast<std::uint32_t>(size);
      if (platform::getBoolConfigOption("calcfilecrc", true)) {
        info.crc = util::calcFileCRC(full);
      }
    }
    pathInfos[relPath] = info;
  }
  if (isDirectory) {
    for (fs::directory_iterator it(full), end; it != end; ++it) {
      scan(joinRel(relPath, it->path().filename().string()), ancestors);
    }
    ancestors.pop_back();
  }
}

PathInfo& DirProxy::accessPathInfo(const std::string& relPath) {
  const auto it = pathInfos.find(relPath);
  if (it == pathInfos.end()) {
    throw std::logic_error("'" + relPath + "' not in the directory image");
  }
  return it->second;
}

std::vector<std::string> DirProxy::getRelPaths() const {
  std::vector<std::string> paths;
  paths.reserve(pathInfos.size());
  for (const auto& entry : pathInfos) {
    paths.push_back(entry.first);
  }
  return paths;
}

bool DirProxy::containsDuplicatePathsWhenLetterCaseIgnored() const {
  std::set<std::string> seen;
  for (const auto& entry : pathInfos) {
    if (!seen.insert(strutil::toLowercase(entry.first)).second) {
      return true;
    }
  }
  return false;
}

void DirProxy::mkdirAtRelPath(const std::string& relPath) {
  const fs::path target = root / fs::path(relPath);
  if (!fs::create_directory(target) && !fs::is_directory(target)) {
    throw fs::filesystem_error("mkdirAtRelPath: a file is in the way", target,
                               boost::system::errc::make_error_code(
                                   boost::system::errc::file_exists));
  }
}

void DirProxy::deleteAtRelPath(const std::string& relPath) {
  if (relPath.empty()) {
    refuse(relPath, "it names the synchronised folder itself");
  }
  // remove_all removes a link itself and never enters the folder it points to.
  fs::remove_all(root / fs::path(relPath));
}

fs::path confinedPath(const fs::path& root, const std::string& relPath) {
  if (relPath.empty()) {
    refuse(relPath, "empty");
  }
  if (relPath[0] == '/') {
    refuse(relPath, "absolute");
  }
  const std::vector<std::string> components = strutil::split(relPath, '/');
  for (const std::string& component : components) {
    if (component.empty() || component == "." || component == "..") {
      refuse(relPath, "not a plain relative path");
    }
    if (component.find('\0') != std::string::npos) {
      refuse(relPath, "holds a NUL byte");
    }
  }
  fs::path resolved;
  if (!fileio::resolveInRoot(root, relPath, resolved)) {
    refuse(relPath, "it leads out of the synchronised folder");
  }
  const std::string realRoot = realPathOf(root.string());
  if (realRoot.empty()) {
    refuse(relPath, "the synchronised folder cannot be resolved");
  }
  // Every component that exists must stay inside the root once links are followed; the
  // first missing one ends the walk, as nothing below it can be a link yet.
  std::string walked = root.string();
  for (const std::string& component : components) {
    walked += "/" + component;
    struct stat st;
    if (::lstat(walked.c_str(), &st) != 0) {
      break;
    }
    if (S_ISLNK(st.st_mode)) {
      const std::string real = realPathOf(walked);
      if (real.empty() || !strictlyInside(real, realRoot)) {
        refuse(relPath, "a symbolic link leads out of the synchronised folder");
      }
    }
  }
  return root / fs::path(relPath);
}

}  // namespace vexo
