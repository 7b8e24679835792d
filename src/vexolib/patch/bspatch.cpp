#include "vexolib/patch/bspatch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <vector>

#include <bzlib.h>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/status.h"

namespace vexo {
namespace bspatch {

namespace {

constexpr std::size_t headerSize = 32;
constexpr std::size_t inputBufferSize = 32768;
// New bytes are made and handed on in pieces of this size, whatever a tuple asks for.
constexpr std::size_t chunkSize = 64 * 1024;
// Old bytes are read through a window of this size, since tuples mostly move forward.
constexpr std::size_t oldWindowSize = 1024 * 1024;
// Tuples that add no new byte only move the old position; a run of them longer than this is
// no patch, only work without end.
constexpr int maxIdleTuples = 64;
// The library's fast decompression: the low-memory variant halves the speed, and the three
// streams together stay near 12 MB either way.
constexpr int bzipSmall = 0;

const char malformedHeader[] = "Invalid length(s) in header field.";

[[noreturn]] void fail(int code, const std::string& message) {
  throw VexoException(code, message);
}

// Reads one block of the patch file as a bzip2 stream. The block's bytes are read in pieces
// at its own offset, so the three blocks share the patch file's one descriptor; the stream
// never reads past its block.
class StreamDecompressor {
 public:
  StreamDecompressor() = default;
  ~StreamDecompressor() {
    if (open_) {
      BZ2_bzDecompressEnd(&stream_);
    }
  }
  StreamDecompressor(const StreamDecompressor&) = delete;
  StreamDecompressor& operator=(const StreamDecompressor&) = delete;

  void open(int handle, std::uint64_t offset, std::uint64_t length) {
    if (open_) {
      fail(status::generalFailure, "Attempting to open a decompressor stream twice.");
    }
    input_.assign(inputBufferSize, 0);
    handle_ = handle;
    offset_ = offset;
    blockLeft_ = length;
    inputAtEnd_ = false;
    streamAtEnd_ = false;
    stream_ = bz_stream();
    const int rc = BZ2_bzDecompressInit(&stream_, 0, bzipSmall);
    if (rc != BZ_OK) {
      fail(status::generalFailure, "Error while initializing decompression: " + std::to_string(rc));
    }
    stream_.avail_in = 0;
    open_ = true;
  }

  // Up to count bytes; fewer only when the stream has ended.
  std::size_t read(unsigned char* destination, std::size_t count) {
    std::size_t delivered = 0;
    while (delivered < count && !streamAtEnd_) {
      if (stream_.avail_in == 0 && !inputAtEnd_) {
        refill();
      }
      const unsigned int room = static_cast<unsigned int>(
          std::min<std::size_t>(count - delivered, std::numeric_limits<unsigned int>::max()));
      const unsigned int inputBefore = stream_.avail_in;
      stream_.next_out = reinterpret_cast<char*>(destination + delivered);
      stream_.avail_out = room;
      const int rc = BZ2_bzDecompress(&stream_);
      const std::size_t produced = room - stream_.avail_out;
      delivered += produced;
      if (rc == BZ_STREAM_END) {
        streamAtEnd_ = true;
      } else if (rc != BZ_OK) {
        fail(status::generalFailure, "Error during decompression: " + std::to_string(rc));
      } else if (produced == 0 && stream_.avail_in == inputBefore) {
        // No progress: either the block has no bytes left, or the library is stuck.
        if (stream_.avail_in == 0 && inputAtEnd_) {
          fail(status::generalFailure, "Reached end of file before the end of the decompression stream");
        }
        if (stream_.avail_in != 0) {
          fail(status::generalFailure, "Error during decompression: " + std::to_string(rc));
        }
      }
    }
    return delivered;
  }

  void close() {
    if (!open_) {
      fail(status::generalFailure, "Attempting to close a decompressor stream which isn't open.");
    }
    const int rc = BZ2_bzDecompressEnd(&stream_);
    if (rc != BZ_OK) {
      fail(status::generalFailure, "Error completing decompression: " + std::to_string(rc));
    }
    open_ = false;
    std::vector<unsigned char>().swap(input_);
  }

 private:
  void refill() {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(blockLeft_, inputBufferSize));
    std::size_t got = 0;
    if (want > 0) {
      if (!platform::seekFileHandleToOffset(handle_, offset_)) {
        fail(status::fileReadFailed, "Error reading compressed data.");
      }
      while (got < want) {
        const int n = platform::readFileHandle(handle_, input_.data() + got,
                                               static_cast<int>(want - got));
        if (n < 0 && errno == EINTR) {
          continue;
        }
        if (n < 0) {
          fail(status::fileReadFailed, "Error reading compressed data.");
        }
        if (n == 0) {
          break;
        }
        got += static_cast<std::size_t>(n);
      }
    }
    offset_ += got;
    blockLeft_ -= got;
    if (got < want || blockLeft_ == 0) {
      inputAtEnd_ = true;
    }
    stream_.next_in = reinterpret_cast<char*>(input_.data());
    stream_.avail_in = static_cast<unsigned int>(got);
  }

  bool open_ = false;
  std::vector<unsigned char> input_;
  int handle_ = -1;
  std::uint64_t offset_ = 0;
  std::uint64_t blockLeft_ = 0;
  bool inputAtEnd_ = false;
  bz_stream stream_ = bz_stream();
  bool streamAtEnd_ = false;
};

// The old file seen through a window that is refilled where a span falls outside it.
class OldFileReader {
 public:
  OldFileReader(int handle, std::uint64_t size, const std::string& name)
      : handle_(handle), size_(size), name_(name) {}

  // The bytes [low, low + length), which lie inside the file; length <= chunkSize.
  const unsigned char* span(std::uint64_t low, std::size_t length) {
    if (low < start_ || low + length > start_ + filled_) {
      if (window_.empty()) {
        window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, oldWindowSize)));
      }
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(size_ - low, window_.size()));
      if (!platform::seekFileHandleToOffset(handle_, low)) {
        fail(status::generalFailure, "Seek failed in old file.");
      }
      filled_ = 0;
      if (fileio::readFull(handle_, window_.data(), want) != want) {
        fail(status::fileReadFailed, "Error reading old version ffile: " + name_);
      }
      start_ = low;
      filled_ = want;
    }
    return window_.data() + (low - start_);
  }

 private:
  int handle_;
  std::uint64_t size_;
  const std::string& name_;
  std::vector<unsigned char> window_;
  std::uint64_t start_ = 0;
  std::size_t filled_ = 0;
};

void addToPosition(std::int64_t& position, std::int64_t amount) {
  if (__builtin_add_overflow(position, amount, &position)) {
    fail(status::badPatch, "Old file position out of range in control block");
  }
}

// The new bytes of a diff piece get the old bytes at the same offsets from oldPosition
// added, where the old file has them.
void addOldBytes(unsigned char* bytes, std::size_t length, std::int64_t oldPosition,
                 std::int64_t oldSize, OldFileReader& old) {
  const std::int64_t n = static_cast<std::int64_t>(length);
  const std::int64_t low = oldPosition < 0 ? 0 : oldPosition;
  const std::int64_t high = oldPosition > oldSize - n ? oldSize : oldPosition + n;
  if (low >= high) {
    return;
  }
  const unsigned char* from =
      old.span(static_cast<std::uint64_t>(low), static_cast<std::size_t>(high - low));
  unsigned char* to = bytes + (low - oldPosition);
  for (std::int64_t i = 0; i < high - low; ++i) {
    to[i] = static_cast<unsigned char>(to[i] + from[i]);
  }
}

// Reads exactly `length` bytes of a block into the sink piece by piece; `early` on a short
// block. With oldReader, each piece gets its old bytes added first.
void copyBlockBytes(StreamDecompressor& stream, std::int64_t length,
                    std::vector<unsigned char>& chunk, detail::NewFileSink& sink,
                    const char* early, OldFileReader* oldReader, std::int64_t oldPosition,
                    std::int64_t oldSize) {
  std::int64_t done = 0;
  while (done < length) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::int64_t>(length - done, chunkSize));
    if (chunk.size() < n) {
      chunk.resize(chunkSize);
    }
    if (stream.read(chunk.data(), n) != n) {
      fail(status::badPatch, early);
    }
    if (oldReader) {
      std::int64_t position = oldPosition;
      if (!__builtin_add_overflow(oldPosition, done, &position)) {
        addOldBytes(chunk.data(), n, position, oldSize, *oldReader);
      }
    }
    sink.put(chunk.data(), n);
    done += static_cast<std::int64_t>(n);
  }
}

bool hasMore(StreamDecompressor& stream) {
  unsigned char byte = 0;
  return stream.read(&byte, 1) == 1;
}

class SiblingSink : public detail::NewFileSink {
 public:
  SiblingSink(fileio::AtomicFileWriter& file, const std::string& name) : file_(file), name_(name) {}
  void put(const unsigned char* data, std::size_t length) override {
    if (!file_.write(data, length)) {
      fail(status::fileWriteFailed, "Error writing new version file: " + name_);
    }
  }

 private:
  fileio::AtomicFileWriter& file_;
  const std::string& name_;
};

}  // namespace

namespace detail {

std::int64_t readOffset(const unsigned char* bytes) {
  std::uint64_t magnitude = bytes[7] & 0x7F;
  for (int i = 6; i >= 0; --i) {
    magnitude = (magnitude << 8) | bytes[i];
  }
  // At most 2^63 - 1, so the negation cannot overflow.
  const std::int64_t value = static_cast<std::int64_t>(magnitude);
  return (bytes[7] & 0x80) ? -value : value;
}

PatchHeader readHeader(int patchHandle, std::uint64_t patchSize, const PatchNames& names,
                       std::int64_t maxNewSize) {
  if (patchSize < headerSize) {
    fail(status::badPatch, "Patch file too small: " + names.patch);
  }
  unsigned char header[headerSize] = {};
  if (!platform::seekFileHandleToOffset(patchHandle, 0) ||
      fileio::readFull(patchHandle, header, headerSize) != headerSize) {
    fail(status::badPatch, "Failure reading header");
  }
  const std::string magic(reinterpret_cast<const char*>(header), 8);
  PatchHeader result;
  if (magic == "QSUFDIFF" || magic == "BSDIFF30") {
    result.threeValue = false;
  } else if (magic == "BSDIFF40") {
    result.threeValue = true;
  } else {
    fail(status::badPatch, "Invalid patch format: " + magic);
  }
  result.patchSize = patchSize;
  result.controlLength = readOffset(header + 8);
  result.diffLength = readOffset(header + 16);
  result.newSize = readOffset(header + 24);
  // Every comparison in unsigned 64 bits on values known to be non-negative: no overflow.
  const std::uint64_t body = patchSize - headerSize;
  if (result.controlLength < 0 || result.diffLength < 0 || result.newSize < 0 ||
      result.newSize > maxNewSize ||
      static_cast<std::uint64_t>(result.controlLength) > body ||
      static_cast<std::uint64_t>(result.diffLength) >
          body - static_cast<std::uint64_t>(result.controlLength)) {
    fail(status::badPatch, malformedHeader);
  }
  const std::uint64_t blocks = static_cast<std::uint64_t>(result.controlLength) +
                               static_cast<std::uint64_t>(result.diffLength);
  if (!result.threeValue && blocks != body) {
    fail(status::badPatch, malformedHeader);
  }
  return result;
}

void buildNewFile(const PatchHeader& header, int patchHandle, int oldHandle,
                  std::uint64_t oldSize, NewFileSink& sink, const PatchNames& names) {
  const std::uint64_t controlOffset = headerSize;
  const std::uint64_t diffOffset =
      controlOffset + static_cast<std::uint64_t>(header.controlLength);
  const std::uint64_t extraOffset = diffOffset + static_cast<std::uint64_t>(header.diffLength);
  StreamDecompressor control;
  StreamDecompressor diff;
  StreamDecompressor extra;
  control.open(patchHandle, controlOffset, static_cast<std::uint64_t>(header.controlLength));
  diff.open(patchHandle, diffOffset, static_cast<std::uint64_t>(header.diffLength));
  if (header.threeValue) {
    extra.open(patchHandle, extraOffset, header.patchSize - extraOffset);
  }

  // A real file is far below 2^63 bytes; the clamp only keeps the arithmetic signed.
  const std::int64_t oldLength = static_cast<std::int64_t>(
      std::min<std::uint64_t>(oldSize, static_cast<std::uint64_t>(INT64_MAX)));
  OldFileReader old(oldHandle, static_cast<std::uint64_t>(oldLength), names.oldFile);
  std::vector<unsigned char> chunk;
  const std::int64_t newSize = header.newSize;
  std::int64_t newPosition = 0;
  std::int64_t oldPosition = 0;
  int idleTuples = 0;
  unsigned char number[8] = {};
  while (newPosition < newSize) {
    if (control.read(number, 8) != 8) {
      fail(status::badPatch, "Reached end of control block early (a)");
    }
    const std::int64_t diffLength = readOffset(number);
    if (control.read(number, 8) != 8) {
      fail(status::badPatch, "Reached end of control block early (b)");
    }
    std::int64_t extraLength = 0;
    std::int64_t seek = readOffset(number);
    if (header.threeValue) {
      extraLength = seek;
      if (control.read(number, 8) != 8) {
        fail(status::badPatch, "Reached end of control block early (c)");
      }
      seek = readOffset(number);
    } else {
      addToPosition(oldPosition, seek);
    }

    if (diffLength >= 0 && diffLength > newSize - newPosition) {
      fail(status::badPatch, "Patch target location beyond end of new file size");
    }
    if (diffLength < 0) {
      fail(status::badPatch, "Reached end of diff block early");
    }
    copyBlockBytes(diff, diffLength, chunk, sink, "Reached end of diff block early", &old,
                   oldPosition, oldLength);
    addToPosition(oldPosition, diffLength);
    newPosition += diffLength;

    if (header.threeValue) {
      if (extraLength >= 0 && extraLength > newSize - newPosition) {
        fail(status::badPatch, "Patch overwrites end of new file.");
      }
      if (extraLength < 0) {
        fail(status::badPatch, "Reached end of extra block early.");
      }
      copyBlockBytes(extra, extraLength, chunk, sink, "Reached end of extra block early.",
                     nullptr, 0, 0);
      newPosition += extraLength;
      addToPosition(oldPosition, seek);
    }

    if (diffLength == 0 && extraLength == 0) {
      if (++idleTuples > maxIdleTuples) {
        fail(status::badPatch, "Control block adds no bytes to the new file");
      }
    } else {
      idleTuples = 0;
    }
  }

  if (hasMore(control)) {
    fail(status::badPatch, "Control block not exhausted");
  }
  if (hasMore(diff)) {
    fail(status::badPatch, "Diff block not exhausted");
  }
  if (header.threeValue && hasMore(extra)) {
    fail(status::badPatch, "Extra block not exhausted while processing: " + names.patch + "; " +
                  names.oldFile + "; " + names.newFile);
  }
  if (header.threeValue) {
    extra.close();
  }
  diff.close();
  control.close();
}

}  // namespace detail

void applyPatch(const boost::filesystem::path& patchPath, const boost::filesystem::path& oldPath,
                const boost::filesystem::path& newPath) {
  const detail::PatchNames names{patchPath.string(), oldPath.string(), newPath.string()};
  // Neither input may be a FIFO or a device: the open would wait, or the reading never end.
  // A missing one raises the size reader's error, as it always has.
  struct stat info = {};
  const fileio::FileHandle patch = fileio::openExistingRegularFile(names.patch, info);
  if (!patch.valid()) {
    fail(status::generalFailure, "Unable to read patch file: " + names.patch);
  }
  const std::uint64_t patchSize = static_cast<std::uint64_t>(info.st_size);
  const detail::PatchHeader header =
      detail::readHeader(patch.get(), patchSize, names, maxNewFileSize);

  fileio::FileHandle old = fileio::openExistingRegularFile(names.oldFile, info);
  if (!old.valid() && errno == EISDIR) {
    // A folder cannot hang the open; it reads as nothing, as it always has.
    old = fileio::FileHandle(platform::openBinaryReadOnlyFile(names.oldFile));
  }
  if (!old.valid()) {
    const int code = errno == EINVAL ? status::generalFailure : status::fileOpenFailed;
    fail(code, "Error opening old version file: " + names.oldFile);
  }
  const std::uint64_t oldSize = static_cast<std::uint64_t>(info.st_size);

  // The old file stays open and is read to the end before the new one takes its path, so
  // the two may be the same file.
  fileio::AtomicFileWriter output(names.newFile);
  if (!output.open()) {
    fail(status::fileOpenFailed, "Error opening new version file: " + names.newFile);
  }
  SiblingSink sink(output, names.newFile);
  detail::buildNewFile(header, patch.get(), old.get(), oldSize, sink, names);
  if (!output.finish()) {
    fail(status::fileWriteFailed, "Error writing new version file: " + names.newFile);
  }
  if (!output.replace()) {
    fail(status::fileOpenFailed, "Error opening new version file: " + names.newFile);
  }
}

}  // namespace bspatch
}  // namespace vexo
