// File plumbing of the patch code: a descriptor with one owner, reads and writes that
// survive EINTR and short counts, and a new file that takes its path only when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/filesystem/path.hpp>

namespace vexo {
namespace patchio {

// Owns a descriptor and closes it once; move-only.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  // False when the close reported an error (a deferred write failure, say).
  bool close();

 private:
  int fd_ = -1;
};

// Until `length` bytes, the end of the file or an error; the count read. Errors other than
// EINTR end the read early, so a short count is the caller's failure to report.
std::size_t readFull(int fd, void* buffer, std::size_t length);
bool writeAll(int fd, const void* data, std::size_t length);

// A new file written beside its final path (same folder, so the rename cannot cross file
// systems) and renamed over it by commit() once whole and on disk. Until then the final
// path is untouched; an uncommitted file is removed when the object goes. The callers turn
// a false result into their own failure.
class SiblingFile {
 public:
  explicit SiblingFile(std::string finalPath);
  ~SiblingFile();
  SiblingFile(const SiblingFile&) = delete;
  SiblingFile& operator=(const SiblingFile&) = delete;

  // Creates the file (mode 0600); false when the folder takes no new file.
  bool open();
  bool write(const void* data, std::size_t length);
  // Flush to disk and close; false when the system reports a lost write.
  bool finish();
  // Renames the finished file over the final path (a file, or nothing).
  bool replace();

 private:
  std::string finalPath_;
  std::string tempPath_;
  FileHandle handle_;
  bool committed_ = false;
};

// True when `inner` is `outer` or lies below it, element by element.
bool isWithin(const boost::filesystem::path& inner, const boost::filesystem::path& outer);

// root / relative, for a relative path without ".." elements, when every symbolic link met on
// the way from root leads to a place inside root; false when one leads out or nowhere.
bool joinInsideRoot(const boost::filesystem::path& root, const std::string& relative,
                    boost::filesystem::path& joined);

}  // namespace patchio
}  // namespace vexo
