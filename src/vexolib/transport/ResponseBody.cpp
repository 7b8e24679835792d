#include "vexolib/transport/ResponseBody.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "vexolib/platform/platform.h"

namespace vexo {

namespace {

// platform::writeFileHandle takes an int count.
constexpr std::size_t maxWrite = std::size_t(1) << 30;

}  // namespace

ResponseBody::ResponseBody(Kind kind) : kind_(kind) {
  if (kind_ == Kind::file) {
    const std::pair<int, std::string> file = platform::createTemporaryFile();
    file_ = fileio::FileHandle(file.first);
    // Nameless from now on: nothing is left behind, whatever ends the process.
    ::unlink(file.second.c_str());
  }
}

bool ResponseBody::append(const void* data, std::size_t length) {
  if (!failure_.empty()) {
    return false;
  }
  if (kind_ == Kind::page) {
    if (length > pageLimit - bytes_.size()) {
      failure_ = "Answer longer than " + std::to_string(pageLimit >> 20) + " MiB";
      return false;
    }
    // Grown by hand: the library's doubling would reserve up to twice the limit.
    const std::size_t needed = bytes_.size() + length;
    if (needed > bytes_.capacity()) {
      bytes_.reserve(std::min(pageLimit, std::max(needed, bytes_.capacity() * 2)));
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + length);
    size_ += length;
    return true;
  }
  const unsigned char* next = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const int n = platform::writeFileHandle(file_.get(), next,
                                            static_cast<int>(std::min(length, maxWrite)));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      failure_ = std::string("Error writing the answer to a temporary file (") +
                 std::strerror(n < 0 ? errno : ENOSPC) + ")";
      return false;
    }
    next += n;
    length -= static_cast<std::size_t>(n);
    size_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

void ResponseBody::discard() {
  std::vector<unsigned char>().swap(bytes_);
  if (file_.valid() && size_ > 0) {
    // Given back to the file system now rather than when the body goes.
    if (::ftruncate(file_.get(), 0) != 0) {
      platform::trace("ResponseBody: truncating the answer file failed");
    }
  }
  size_ = 0;
}

}  // namespace vexo
