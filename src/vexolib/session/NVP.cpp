#include "vexolib/session/NVP.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#include <boost/lexical_cast.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

// Copies go through a buffer of this size, so a chunk of any size costs no more memory.
constexpr std::size_t copyBlockSize = 64 * 1024;

// A chunk's new temporary file: removed unless its writer finished it.
class ChunkFileWriter {
 public:
  void write(const unsigned char* data, std::uint64_t length) {
    if (!file_.write(data, static_cast<std::size_t>(length))) {
      fail();
    }
  }

  std::string finish() {
    if (!file_.close()) {
      fail();
    }
    file_.keep();
    return file_.path();
  }

 private:
  [[noreturn]] void fail() {
    platform::trace("Exception writing chunk temp file");
    throw VexoException(status::generalFailure, "Error writing '" + file_.path() + "'");
  }

  fileio::TemporaryFile file_;
};

std::string copyFileRange(const std::string& source, std::uint64_t offset,
                          std::uint64_t length) {
  const fileio::FileHandle in(platform::openBinaryReadOnlyFile(source));
  if (in.get() < 0 || !platform::seekFileHandleForward(in.get(), offset)) {
    throw VexoException(status::fileReadFailed, "Error seeking '" + source + "'");
  }
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(length, copyBlockSize)));
  ChunkFileWriter out;
  while (length > 0) {
    const int want = static_cast<int>(std::min<std::uint64_t>(length, buffer.size()));
    const int n = platform::readFileHandle(in.get(), buffer.data(), want);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw VexoException(status::fileReadFailed, "Error reading '" + source + "'");
    }
    out.write(buffer.data(), static_cast<std::uint64_t>(n));
    length -= static_cast<std::uint64_t>(n);
  }
  return out.finish();
}

std::string copyHandleRange(int handle, std::uint64_t offset, std::uint64_t length) {
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(length, copyBlockSize)));
  ChunkFileWriter out;
  while (length > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
    const ssize_t n = ::pread(handle, buffer.data(), want, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw VexoException(status::fileReadFailed, "Error reading a chunk of the answer");
    }
    out.write(buffer.data(), static_cast<std::uint64_t>(n));
    offset += static_cast<std::uint64_t>(n);
    length -= static_cast<std::uint64_t>(n);
  }
  return out.finish();
}

}  // namespace

NVP::NVP(const std::string& name, int handle, std::uint64_t offset, std::uint64_t length)
    : type(CHUNK), name(name), chunkTempPath(copyHandleRange(handle, offset, length)) {}

NVP::NVP(const std::string& name, std::shared_ptr<const fileio::FileHandle> answer,
         std::uint64_t offset, std::uint64_t length)
    : type(CHUNK),
      name(name),
      answer(std::move(answer)),
      answerOffset(offset),
      answerLength(length) {}

NVP::NVP(const std::string& name, const std::string& value)
    : type(STRING), name(name), value(value) {}

NVP::NVP(const std::string& name, const unsigned char* data, unsigned long offset,
         unsigned long length)
    : type(CHUNK), name(name), chunkTempPath(writeChunkTempFile(data + offset, length)) {}

NVP::NVP(const std::string& name, const boost::filesystem::path& filePath, unsigned long offset,
         unsigned long length, bool adopt)
    : type(CHUNK),
      name(name),
      chunkTempPath(adopt ? filePath : boost::filesystem::path(copyFileRange(
                                           filePath.string(), offset, length))) {}

NVP::~NVP() {
  if (type == CHUNK && !chunkTempPath.empty()) {
    platform::deleteTemporaryFile(chunkTempPath.string());
  }
}

std::string NVP::writeChunkTempFile(const unsigned char* data, unsigned long length) {
  ChunkFileWriter out;
  out.write(data, length);
  return out.finish();
}

void NVP::requireString() const {
  if (type != STRING) {
    throw std::logic_error("'" + name + "' not a string");
  }
}

void NVP::requireChunk() const {
  if (type != CHUNK) {
    throw std::logic_error("'" + name + "' not a chunk");
  }
}

std::string NVP::getString() const {
  requireString();
  return value;
}

bool NVP::getBoolean() const {
  requireString();
  return value == "true" || value == "1";
}

int NVP::getInteger() const {
  requireString();
  return boost::lexical_cast<int>(value);
}

std::string NVP::getChunkFileTempPath() const {
  requireChunk();
  if (answer && chunkTempPath.empty()) {
    chunkTempPath = copyHandleRange(answer->get(), answerOffset, answerLength);
  }
  return chunkTempPath.string();
}

NVP::ChunkBytes NVP::getChunkBytes() const {
  requireChunk();
  if (answer) {
    return ChunkBytes{answer, answerOffset, answerLength};
  }
  auto file = std::make_shared<fileio::FileHandle>(
      platform::openBinaryReadOnlyFile(chunkTempPath.string()));
  if (!file->valid()) {
    throw VexoException(status::fileReadFailed, "Error reading '" + chunkTempPath.string() + "'");
  }
  return ChunkBytes{file, 0, platform::fileSize(chunkTempPath.string())};
}

std::uint64_t NVP::getChunkSize() const {
  requireChunk();
  return answer ? answerLength : platform::fileSize(chunkTempPath.string());
}

std::string NVP::valueAsString() const {
  switch (type) {
    case STRING:
      return value;
    case CHUNK:
      return "(" + std::to_string(getChunkSize()) + " bytes)";
    default:
      throw std::logic_error("'" + name + "' has unexpected type");
  }
}

}  // namespace vexo
