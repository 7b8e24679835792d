// File plumbing shared by the whole framework: a descriptor with one owner, reads and writes
// that survive EINTR and short counts, the one writer of private temporary files, and a new
// file that takes its path only when complete.
#pragma once

#include <cstddef>
#include <string>

#include <boost/filesystem/path.hpp>

namespace vexo {
namespace fileio {

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

// A new private temporary file of the framework (platform::createTemporaryFile: mode 0600,
// made exclusively in the temporary folder), removed when the object goes unless kept. The
// one writer of such files: chunks, compressed copies and answers all go through it.
// VexoException 103 "Failed to create temporary file." when none can be made.
class TemporaryFile {
 public:
  TemporaryFile();
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int handle() const { return handle_.get(); }
  const std::string& path() const { return path_; }
  // All of it, past short writes and EINTR; false when the file system took less (errno
  // tells why, ENOSPC when it took nothing without saying).
  bool write(const void* data, std::size_t length);
  // False when the close reports a lost write.
  bool close();
  // The file stays when the object goes; its path is the caller's to delete.
  void keep() { kept_ = true; }
  // Takes the name away now: the open file lives on, nameless, until it is closed, and
  // nothing is left behind whatever ends the process.
  void removeName();

 private:
  FileHandle handle_;
  std::string path_;
  bool kept_ = false;
};

// A new file written beside its final path (same folder, so the rename cannot cross file
// systems) and renamed over it by replace() once whole and on disk. Until then the final
// path is untouched; an unreplaced file is removed when the object goes. The callers turn a
// false result into their own failure.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string finalPath);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the file (mode 0600); false when the folder takes no new file.
  bool open();
  bool write(const void* data, std::size_t length);
  // The open descriptor, for writers that stream into it themselves.
  int handle() const { return handle_.get(); }
  // Flush to disk and close; false when the system reports a lost write.
  bool finish();
  // Renames the finished file over the final path (a file, or nothing).
  bool replace();

 private:
  std::string finalPath_;
  std::string tempPath_;
  FileHandle handle_;
  bool replaced_ = false;
};

}  // namespace fileio
}  // namespace vexo
