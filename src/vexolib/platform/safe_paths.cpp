#include "vexolib/platform/safe_paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <boost/filesystem/operations.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"

namespace vexo {
namespace fileio {

namespace fs = boost::filesystem;

namespace {

// The elements of a plain relative path that name something, in order; empty when the
// path is not plain.
std::vector<std::string> namedElements(const std::string& relPath) {
  std::vector<std::string> elements;
  if (relPath.empty() || relPath[0] == '/' || relPath.find('\0') != std::string::npos) {
    return elements;
  }
  for (std::string::size_type start = 0; start <= relPath.size();) {
    std::string::size_type end = relPath.find('/', start);
    if (end == std::string::npos) {
      end = relPath.size();
    }
    const std::string element = relPath.substr(start, end - start);
    if (element == "..") {
      return std::vector<std::string>();
    }
    if (!element.empty() && element != ".") {
      elements.push_back(element);
    }
    start = end + 1;
  }
  return elements;
}

}  // namespace

bool isWithin(const fs::path& inner, const fs::path& outer) {
  auto in = inner.begin();
  for (auto out = outer.begin(); out != outer.end(); ++out, ++in) {
    if (in == inner.end() || *in != *out) {
      return false;
    }
  }
  return true;
}

bool isPlainRelativePath(const std::string& relPath) { return !namedElements(relPath).empty(); }

bool resolveInRoot(const fs::path& root, const std::string& relPath, fs::path& resolved) {
  const std::vector<std::string> elements = namedElements(relPath);
  if (elements.empty()) {
    return false;
  }
  boost::system::error_code error;
  const fs::path realRoot = fs::canonical(root, error);
  resolved = root;
  bool checking = !error;  // nothing exists below a missing root, so no link can lead out
  for (const std::string& element : elements) {
    resolved /= element;
    if (!checking) {
      continue;
    }
    const fs::file_status status = fs::symlink_status(resolved, error);
    if (error || !fs::exists(status)) {
      checking = false;  // what does not exist yet is made by us, never as a link
      continue;
    }
    if (fs::is_symlink(status)) {
      const fs::path target = fs::canonical(resolved, error);
      if (error || !isWithin(target, realRoot)) {
        return false;
      }
    }
  }
  return true;
}

fs::path confinedPath(const fs::path& root, const std::string& relPath) {
  fs::path resolved;
  if (!resolveInRoot(root, relPath, resolved)) {
    throw VexoException(status::generalFailure, "Refused relative path '" + relPath + "'");
  }
  return resolved;
}

namespace {

bool refuseUnlessRegular(const struct stat& info) {
  if (S_ISREG(info.st_mode)) {
    return false;
  }
  errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  return true;
}

}  // namespace

FileHandle openRegularFileAt(int dirHandle, const char* name, struct stat& info,
                             bool followLinks) {
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
  FileHandle handle(::openat(dirHandle, name, flags));
  if (handle.valid() && (::fstat(handle.get(), &info) != 0 || refuseUnlessRegular(info))) {
    const int error = errno;
    handle.close();
    errno = error;
  }
  return handle;
}

FileHandle openRegularFile(const std::string& path, struct stat& info, bool followLinks) {
  // Looked at before the open, so a device is never opened at all.
  const int looked = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  if (looked != 0 || refuseUnlessRegular(info)) {
    return FileHandle();
  }
  return openRegularFileAt(AT_FDCWD, path.c_str(), info, followLinks);
}

FileHandle openExistingRegularFile(const std::string& path, struct stat& info) {
  FileHandle handle = openRegularFile(path, info);
  if (!handle.valid() && errno == ENOENT) {
    platform::fileSize(path);
    errno = ENOENT;  // back between the look and the size: still reported as missing
  }
  return handle;
}

}  // namespace fileio
}  // namespace vexo
