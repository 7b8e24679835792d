#include "vexolib/sync/DirImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <stdexcept>

#include <boost/filesystem/operations.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/status.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/util.h"
#include "vexolib/session/NVPSet.h"

namespace fs = boost::filesystem;

namespace vexo {

namespace {

std::string joinRel(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

// errno is read first, before building the path can change it.
[[noreturn]] void raiseScanError(const fs::path& root, const std::string& relPath) {
  const int error = errno;
  throw fs::filesystem_error("scan", relPath.empty() ? root : root / relPath,
                             boost::system::error_code(error, boost::system::system_category()));
}

// Opened without following a link unless asked, and without waiting: O_DIRECTORY refuses a
// FIFO before it is opened.
int openFolderAt(int folderHandle, const char* name, bool followLink) {
  return ::openat(folderHandle, name,
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW));
}

// Closes the listing, and with it its folder's descriptor.
struct FolderListing {
  explicit FolderListing(DIR* listing) : listing(listing) {}
  ~FolderListing() {
    if (listing) {
      ::closedir(listing);
    }
  }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  DIR* listing;
};

}  // namespace

DirProxy::DirProxy(const fs::path& root) : root(root) {
  const fs::path full = root.lexically_normal();
  fileio::FileHandle folder(openFolderAt(AT_FDCWD, full.c_str(), true));
  if (!folder.valid()) {
    // Missing, a dangling link or not a folder: an empty image.
    if (errno == ENOENT || errno == ENOTDIR) {
      return;
    }
    raiseScanError(full, std::string());
  }
  std::vector<FolderId> ancestors;
  struct stat st;
  if (::fstat(folder.get(), &st) != 0) {
    raiseScanError(full, std::string());
  }
  ancestors.push_back(
      FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
  scanFolder(folder.release(), std::string(), ancestors);
}

void DirProxy::scanFolder(int folderHandle, const std::string& relPath,
                          std::vector<FolderId>& ancestors) {
  DIR* opened = ::fdopendir(folderHandle);
  if (!opened) {
    fileio::FileHandle unlisted(folderHandle);
    raiseScanError(root, relPath);
  }
  FolderListing listing(opened);
  const int folder = ::dirfd(listing.listing);
  for (;;) {
    errno = 0;
    const struct dirent* entry = ::readdir(listing.listing);
    if (!entry) {
      if (errno != 0) {
        raiseScanError(root, relPath);
      }
      break;
    }
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
      continue;
    }
    const std::string rel = joinRel(relPath, name);
    unsigned char type = entry->d_type;
    struct stat st;
    if (type == DT_UNKNOWN) {
      if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        continue;  // gone since it was listed
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG
                                          : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
    }
    const bool link = type == DT_LNK;
    if (link) {
      // Orders for what lies outside would all be refused, so it is not shown to the server.
      fs::path resolved;
      if (!fileio::resolveInRoot(root, rel, resolved)) {
        platform::trace("Leaving out a link that leads outside the folder: " + rel);
        continue;
      }
      if (::fstatat(folder, name, &st, 0) != 0) {
        continue;  // dangling
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_FIFO;
    }
    if (type == DT_REG) {
      recordFile(folder, name, rel, link);
    } else if (type == DT_DIR) {
      const int sub = openFolderAt(folder, name, link);
      if (sub < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
          continue;  // gone, or replaced by something else since it was listed
        }
        raiseScanError(root, rel);
      }
      fileio::FileHandle subFolder(sub);
      if (::fstat(sub, &st) != 0) {
        raiseScanError(root, rel);
      }
      const FolderId id{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
      bool entered = false;
      for (const FolderId& above : ancestors) {
        entered = entered || above == id;
      }
      if (entered) {
        // A link back to a folder above: its contents are already in the image.
        platform::trace("Skipping symbolic link cycle at " + (root / rel).string());
        continue;
      }
      PathInfo info;
      info.relPath = rel;
      info.isDirectory = true;
      pathInfos[rel] = info;
      ancestors.push_back(id);
      scanFolder(subFolder.release(), rel, ancestors);
      ancestors.pop_back();
    } else {
      // Opening a pipe would wait for a writer, a device could be read for ever.
      platform::trace("Leaving out what is neither file nor folder: " + rel);
    }
  }
}

void DirProxy::recordFile(int folderHandle, const char* name, const std::string& relPath,
                          bool followLink) {
  const bool withCrc = platform::getBoolConfigOption("calcfilecrc", true);
  struct stat st;
  fileio::FileHandle file;
  if (withCrc) {
    file = fileio::openRegularFileAt(folderHandle, name, st, followLink);
    if (!file.valid()) {
      if (errno == ENOENT || errno == EINVAL || errno == EISDIR || errno == ELOOP) {
        return;  // gone, or no longer a regular file
      }
      raiseScanError(root, relPath);
    }
  } else if (::fstatat(folderHandle, name, &st, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0 ||
             !S_ISREG(st.st_mode)) {
    return;
  }
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (size > maxSyncFileSize) {
    throw VexoException(status::generalFailure,
                        "File '" + relPath + "' is " + std::to_string(size) +
                            " bytes; files of 2 GiB or more cannot be synchronised.");
  }
  PathInfo info;
  info.relPath = relPath;
  info.lastModified = platform::lastModifiedString(st.st_mtime);
  info.fileSize = static_cast<std::uint32_t>(size);
  if (withCrc) {
    info.crc = util::calcHandleCRC(file.get(), size);
  }
  pathInfos[relPath] = info;
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
    throw VexoException(status::generalFailure,
                        "Refused relative path '' from the server: it names the folder itself");
  }
  // remove_all removes a link itself and never enters the folder it points to.
  fs::remove_all(root / fs::path(relPath));
}

}  // namespace vexo
