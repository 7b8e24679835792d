#include "vexolib/sync/DirImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

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

// A refusal found on a scanning thread, raised as VexoException on the caller's thread once
// the others have stopped: its constructor traces, and tracing belongs to one thread.
struct ScanFailure {
  int code = 0;
  std::string message;
};

struct FolderId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FolderId& other) const {
    return device == other.device && inode == other.inode;
  }
};

// An open folder still to be listed. ancestors: the folders entered on the way down, itself
// last, to stop at a link that leads back.
struct FolderTask {
  fileio::FileHandle handle;
  std::string relPath;
  std::vector<FolderId> ancestors;
};

// The walk of one tree. Each entry is looked at once, relative to its open folder; folders
// are listed on several threads, since with the CRCs off the time goes to the system calls
// of one entry after the other. What each thread finds stays its own until the end.
class TreeScan {
 public:
  TreeScan(const fs::path& root, bool withCrc) : root_(root), withCrc_(withCrc) {}

  // The records and traces of the whole tree below the open root folder.
  void run(FolderTask top, std::map<std::string, PathInfo>& pathInfos) {
    queue_.push_back(std::move(top));
    const unsigned threads =
        std::max(1u, std::min(maxThreads, std::thread::hardware_concurrency()));
    std::vector<Found> found(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) {
      try {
        workers.emplace_back([this, &found, t] { work(found[t]); });
      } catch (const std::system_error&) {
        break;  // fewer threads, the same result
      }
    }
    work(found[0]);
    for (std::thread& worker : workers) {
      worker.join();
    }
    for (Found& part : found) {
      for (const std::string& line : part.traces) {
        platform::trace(line);
      }
    }
    if (error_) {
      try {
        std::rethrow_exception(error_);
      } catch (const ScanFailure& failure) {
        throw VexoException(failure.code, failure.message);
      }
    }
    for (Found& part : found) {
      for (PathInfo& info : part.records) {
        std::string key = info.relPath;
        pathInfos.emplace(std::move(key), std::move(info));
      }
    }
  }

 private:
  // More queued folders than this are listed by the thread that found them, so open
  // descriptors stay few however wide the tree.
  static constexpr std::size_t maxQueued = 64;
  static constexpr unsigned maxThreads = 4;

  struct Found {
    std::vector<PathInfo> records;
    std::vector<std::string> traces;
  };

  void work(Found& found) {
    for (;;) {
      FolderTask task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return stop_ || !queue_.empty() || busy_ == 0; });
        if (stop_ || queue_.empty()) {
          return;
        }
        task = std::move(queue_.back());
        queue_.pop_back();
        ++busy_;
      }
      try {
        scanFolder(std::move(task), found);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) {
          error_ = std::current_exception();
        }
        stop_ = true;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      --busy_;
      ready_.notify_all();
    }
  }

  // Hands the folder to another thread when the queue has room, else lists it at once.
  void enter(FolderTask task, Found& found) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) {
        return;
      }
      if (queue_.size() < maxQueued) {
        queue_.push_back(std::move(task));
        ready_.notify_one();
        return;
      }
    }
    scanFolder(std::move(task), found);
  }

  void scanFolder(FolderTask task, Found& found) {
    DIR* opened = ::fdopendir(task.handle.get());
    if (!opened) {
      raiseScanError(root_, task.relPath);
    }
    task.handle.release();
    FolderListing listing(opened);
    const int folder = ::dirfd(listing.listing);
    for (;;) {
      errno = 0;
      const struct dirent* entry = ::readdir(listing.listing);
      if (!entry) {
        if (errno != 0) {
          raiseScanError(root_, task.relPath);
        }
        return;
      }
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
        continue;
      }
      const std::string rel = joinRel(task.relPath, name);
      unsigned char type = entry->d_type;
      struct stat st = {};
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
        if (!fileio::resolveInRoot(root_, rel, resolved)) {
          found.traces.push_back("Leaving out a link that leads outside the folder: " + rel);
          continue;
        }
        if (::fstatat(folder, name, &st, 0) != 0) {
          continue;  // dangling
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_FIFO;
      }
      if (type == DT_REG) {
        recordFile(folder, name, rel, link, found);
      } else if (type == DT_DIR) {
        enterFolder(folder, name, rel, link, task.ancestors, found);
      } else {
        // Opening a pipe would wait for a writer, a device could be read for ever.
        found.traces.push_back("Leaving out what is neither file nor folder: " + rel);
      }
    }
  }

  void enterFolder(int folder, const char* name, const std::string& rel, bool link,
                   const std::vector<FolderId>& ancestors, Found& found) {
    FolderTask sub;
    sub.handle = fileio::FileHandle(openFolderAt(folder, name, link));
    if (!sub.handle.valid()) {
      if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
        return;  // gone, or replaced by something else since it was listed
      }
      raiseScanError(root_, rel);
    }
    struct stat st = {};
    if (::fstat(sub.handle.get(), &st) != 0) {
      raiseScanError(root_, rel);
    }
    const FolderId id{static_cast<std::uint64_t>(st.st_dev),
                      static_cast<std::uint64_t>(st.st_ino)};
    if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
      // A link back to a folder above: its contents are already in the image.
      found.traces.push_back("Skipping symbolic link cycle at " + (root_ / rel).string());
      return;
    }
    PathInfo info;
    info.relPath = rel;
    info.isDirectory = true;
    found.records.push_back(std::move(info));
    sub.relPath = rel;
    sub.ancestors = ancestors;
    sub.ancestors.push_back(id);
    enter(std::move(sub), found);
  }

  // A regular file below the open folder; nothing when it has gone or is no longer one.
  void recordFile(int folder, const char* name, const std::string& rel, bool link,
                  Found& found) {
    struct stat st = {};
    fileio::FileHandle file;
    if (withCrc_) {
      file = fileio::openRegularFileAt(folder, name, st, link);
      if (!file.valid()) {
        if (errno == ENOENT || errno == EINVAL || errno == EISDIR || errno == ELOOP) {
          return;  // gone, or no longer a regular file
        }
        raiseScanError(root_, rel);
      }
    } else if (::fstatat(folder, name, &st, link ? 0 : AT_SYMLINK_NOFOLLOW) != 0 ||
               !S_ISREG(st.st_mode)) {
      return;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxSyncFileSize) {
      throw ScanFailure{status::generalFailure,
                        "File '" + rel + "' is " + std::to_string(size) +
                            " bytes; files of 2 GiB or more cannot be synchronised."};
    }
    PathInfo info;
    info.relPath = rel;
    info.lastModified = platform::lastModifiedString(st.st_mtime);
    info.fileSize = static_cast<std::uint32_t>(size);
    if (withCrc_) {
      unsigned int crc = 0;
      if (!util::calcHandleCRC(file.get(), size, crc)) {
        throw ScanFailure{status::generalFailure, "I/O error."};
      }
      info.crc = crc;
    }
    found.records.push_back(std::move(info));
  }

  const fs::path& root_;
  const bool withCrc_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<FolderTask> queue_;
  unsigned busy_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

}  // namespace

DirProxy::DirProxy(const fs::path& root) : root(root) {
  const fs::path full = root.lexically_normal();
  FolderTask top;
  top.handle = fileio::FileHandle(openFolderAt(AT_FDCWD, full.c_str(), true));
  if (!top.handle.valid()) {
    // Missing, a dangling link or not a folder: an empty image.
    if (errno == ENOENT || errno == ENOTDIR) {
      return;
    }
    raiseScanError(full, std::string());
  }
  struct stat st = {};
  if (::fstat(top.handle.get(), &st) != 0) {
    raiseScanError(full, std::string());
  }
  top.ancestors.push_back(
      FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
  // Looked up once for the whole scan: every file of one image is treated alike.
  TreeScan(root, platform::getBoolConfigOption("calcfilecrc", true)).run(std::move(top), pathInfos);
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
