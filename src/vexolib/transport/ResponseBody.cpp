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

}  // namespace

namespace {

std::string tooLong() {
  return "Answer longer than " + std::to_string(ResponseBody::pageLimit >> 20) + " MiB";
}

}  // namespace

ResponseBody::ResponseBody(Kind kind) : kind_(kind) {
  if (kind_ == Kind::file) {
    file_.reset(new fileio::TemporaryFile);
    file_->removeName();
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
  if (!file_->write(data, length)) {
    failure_ = std::string("Error writing the answer to a temporary file (") +
               std::strerror(errno) + ")";
    return false;
  }
  size_ += length;
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
  if (file_ && size_ > 0) {
    // Given back to the file system now rather than when the body goes.
    if (::ftruncate(file_->handle(), 0) != 0) {
      platform::trace("ResponseBody: truncating the answer file failed");
    }
  }
  size_ = 0;
}

}  // namespace vexo
