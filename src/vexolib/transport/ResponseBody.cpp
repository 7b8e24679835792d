#include "vexolib/transport/ResponseBody.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <malloc.h>
#include <unistd.h>

#include "vexolib/platform/platform.h"

namespace vexo {

namespace {

// Pages from this size on are handed back to the system when they go.
constexpr std::size_t trimFrom = std::size_t(1) << 20;
// platform::writeFileHandle takes an int count.
constexpr std::size_t maxWrite = std::size_t(1) << 30;

}  // namespace

namespace {

std::string tooLong() {
  return "Answer longer than " + std::to_string(ResponseBody::pageLimit >> 20) + " MiB";
}

}  // namespace

ResponseBody::ResponseBody(Kind kind) : kind_(kind) {
  if (kind_ == Kind::file) {
    const std::pair<int, std::string> file = platform::createTemporaryFile();
    file_ = fileio::FileHandle(file.first);
    // Nameless from now on: nothing is left behind, whatever ends the process.
    ::unlink(file.second.c_str());
  }
}

ResponseBody::~ResponseBody() {
  std::vector<unsigned char>().swap(bytes_);
  if (large_) {
    // The allocator keeps freed blocks below its (adaptive) mapping threshold for reuse: a
    // 16 MiB page would stay resident for as long as the program runs.
    ::malloc_trim(0);
  }
}

bool ResponseBody::append(const void* data, std::size_t length) {
  if (!failure_.empty()) {
    return false;
  }
  if (kind_ == Kind::page) {
    if (length > pageLimit - bytes_.size()) {
      failure_ = tooLong();
      return false;
    }
    // Without an announced length the room of a whole page is taken at once: only the pages
    // written to become resident, where growing step by step would leave every smaller
    // block behind in the heap (three times the page at its peak).
    if (bytes_.size() + length > bytes_.capacity()) {
      bytes_.reserve(pageLimit);
      large_ = true;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + length);
    size_ += length;
    return true;
  }
  if (length > fileLimit - size_) {
    failure_ = "Answer longer than " + std::to_string(fileLimit >> 30) + " GiB";
    return false;
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

void ResponseBody::expect(std::uint64_t length) {
  if (kind_ != Kind::page || !failure_.empty()) {
    return;
  }
  if (length > pageLimit) {
    failure_ = tooLong();
    return;
  }
  bytes_.reserve(static_cast<std::size_t>(length));
  large_ = large_ || bytes_.capacity() >= trimFrom;
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
