// The body of an answer as it arrives. A page read whole is kept in memory, at most
// pageLimit bytes; an answer of no size limit (a session's name/value answer, which may carry
// every chunk of a directory) is written to a private temporary file instead, so that memory
// stays small however long it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vexolib/platform/fileio.h"

namespace vexo {

class ResponseBody {
 public:
  enum class Kind { page, file };

  static constexpr std::size_t pageLimit = std::size_t(16) << 20;
  // A file body holds at most this much (two files of the largest size a directory scan
  // takes); a longer answer fails, so that a server cannot fill the disk.
  static constexpr std::uint64_t fileLimit = std::uint64_t(4) << 30;

  // A file body creates its file (0600, in the private temporary folder, without a name
  // once open); VexoException 103 "Failed to create temporary file." when it cannot.
  explicit ResponseBody(Kind kind = Kind::page);
  // A large page's memory goes back to the system with it, not only to the allocator.
  ~ResponseBody();
  ResponseBody(const ResponseBody&) = delete;
  ResponseBody& operator=(const ResponseBody&) = delete;

  // Takes the next bytes. False once they cannot be kept: a page past pageLimit, a file past
  // fileLimit or whose write failed; the body then stays failed and takes nothing more.
  bool append(const void* data, std::size_t length);
  // The length the answer announces: a page over the limit fails at once, one within it is
  // given its room in one piece.
  void expect(std::uint64_t length);
  // A failed transfer's bytes are no answer: they go, the reason for the failure stays.
  void discard();

  // Why the body could not be kept; empty while it could.
  const std::string& failure() const { return failure_; }
  Kind kind() const { return kind_; }
  std::uint64_t size() const { return size_; }
  // A page's bytes, for the caller to read or take.
  std::vector<unsigned char>& bytes() { return bytes_; }
  // A file body's descriptor, open for reading.
  int fileHandle() const { return file_ ? file_->handle() : -1; }

 private:
  Kind kind_;
  std::vector<unsigned char> bytes_;
  std::unique_ptr<fileio::TemporaryFile> file_;
  std::uint64_t size_ = 0;
  std::string failure_;
  bool large_ = false;  // the page once held a large block
};

}  // namespace vexo
