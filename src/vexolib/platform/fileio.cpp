#include "vexolib/platform/fileio.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "vexolib/platform/platform.h"

namespace vexo {
namespace fileio {

namespace fs = boost::filesystem;

FileHandle::~FileHandle() { close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

int FileHandle::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool FileHandle::close() {
  if (fd_ < 0) {
    return true;
  }
  return platform::closeFileHandle(release()) == 0;
}

std::size_t readFull(int fd, void* buffer, std::size_t length) {
  unsigned char* at = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < length) {
    const std::size_t want = std::min<std::size_t>(length - got, 1u << 30);
    const int n = platform::readFileHandle(fd, at + got, static_cast<int>(want));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  return got;
}

bool writeAll(int fd, const void* data, std::size_t length) {
  const unsigned char* at = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const std::size_t want = std::min<std::size_t>(length, 1u << 30);
    const int n = platform::writeFileHandle(fd, at, static_cast<int>(want));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    at += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

TemporaryFile::TemporaryFile() {
  const std::pair<int, std::string> file = platform::createTemporaryFile();
  handle_ = FileHandle(file.first);
  path_ = file.second;
}

TemporaryFile::~TemporaryFile() {
  handle_.close();
  if (!kept_ && !path_.empty()) {
    platform::deleteTemporaryFile(path_);
  }
}

bool TemporaryFile::write(const void* data, std::size_t length) {
  errno = 0;
  if (writeAll(handle_.get(), data, length)) {
    return true;
  }
  if (errno == 0) {
    errno = ENOSPC;
  }
  return false;
}

bool TemporaryFile::close() { return handle_.close(); }

void TemporaryFile::removeName() {
  if (!path_.empty()) {
    ::unlink(path_.c_str());
    path_.clear();
  }
}

AtomicFileWriter::AtomicFileWriter(std::string finalPath) : finalPath_(std::move(finalPath)) {}

AtomicFileWriter::~AtomicFileWriter() {
  handle_.close();
  if (!replaced_ && !tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
  }
}

bool AtomicFileWriter::open() {
  const std::string::size_type slash = finalPath_.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : finalPath_.substr(0, slash + 1);
  std::string pattern = folder + ".vexo-XXXXXX";
  const int fd = ::mkostemp(&pattern[0], O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  handle_ = FileHandle(fd);
  tempPath_ = pattern;
  return true;
}

bool AtomicFileWriter::write(const void* data, std::size_t length) {
  return handle_.valid() && writeAll(handle_.get(), data, length);
}

bool AtomicFileWriter::finish() {
  return handle_.valid() && ::fsync(handle_.get()) == 0 && handle_.close();
}

bool AtomicFileWriter::replace() {
  if (handle_.valid() || tempPath_.empty() ||
      ::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    return false;
  }
  replaced_ = true;
  return true;
}

}  // namespace fileio
}  // namespace vexo
