#include "vexolib/platform/util.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/block_deflate.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"

namespace vexo {
namespace util {

namespace {

constexpr int bufferSize = 32768;
unsigned char inBuffer[bufferSize];
unsigned char outBuffer[bufferSize];

// Much larger than a stream buffer: with small reads the system calls, not the checksum,
// set the pace. One per thread: a folder scan reads files on several.
constexpr std::size_t crcBufferSize = 256 * 1024;
thread_local unsigned char crcBuffer[crcBufferSize];

const char compressFailure[] = "Error occurred while compressing data for transmission";

// An output file that is removed, unless kept, however its operation ends.
// Ends a zlib stream on every path. Ending one twice is harmless: zlib clears its state.
template <int (*end)(z_streamp)>
class StreamGuard {
 public:
  explicit StreamGuard(z_stream& stream) : stream_(stream) {}
  ~StreamGuard() { end(&stream_); }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

 private:
  z_stream& stream_;
};

void writeCompressed(int handle, std::size_t length) {
  if (!fileio::writeAll(handle, outBuffer, length)) {
    throw VexoException(status::compressionFailed, std::string(compressFailure) + " (write)");
  }
}

// Checked before the bytes are written: a small answer can inflate to any size.
void writeInflated(const z_stream& stream, std::uint64_t maxSize, int handle, std::size_t length,
                   const std::string& outputPath) {
  if (stream.total_out > maxSize) {
    throw VexoException(status::generalFailure, "Decompressed data of '" + outputPath +
                                                    "' is larger than the " +
                                                    std::to_string(maxSize) + " bytes allowed.");
  }
  if (!fileio::writeAll(handle, outBuffer, length)) {
    throw VexoException(status::generalFailure, "Failure in writing output file '" + outputPath + "'.");
  }
}

void initCompressor(z_stream& stream) {
  stream = z_stream();
  stream.zalloc = Z_NULL;
  stream.zfree = Z_NULL;
  stream.opaque = Z_NULL;
  const int level = platform::isCompressionEnabled() ? 9 : 0;
  const int rc = deflateInit(&stream, level);
  if (rc != Z_OK) {
    throw VexoException(status::compressionSetUpFailed, "Compressor returned " + std::to_string(rc) +
                                 " during initialization.");
  }
}

void compressBlock(z_stream& stream, int length, int handle) {
  stream.next_in = inBuffer;
  stream.avail_in = static_cast<uInt>(length);
  while (stream.avail_in > 0) {
    stream.next_out = outBuffer;
    stream.avail_out = bufferSize;
    if (deflate(&stream, Z_NO_FLUSH) != Z_OK) {
      throw VexoException(status::compressionFailed, compressFailure);
    }
    writeCompressed(handle, bufferSize - stream.avail_out);
  }
}

void finishCompressor(z_stream& stream, int handle) {
  stream.next_in = Z_NULL;
  stream.avail_in = 0;
  for (;;) {
    stream.next_out = outBuffer;
    stream.avail_out = bufferSize;
    const int rc = deflate(&stream, Z_FINISH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      throw VexoException(status::compressionFailed, compressFailure);
    }
    writeCompressed(handle, bufferSize - stream.avail_out);
    if (rc == Z_STREAM_END) {
      break;
    }
  }
  if (deflateEnd(&stream) != Z_OK) {
    throw VexoException(status::compressionFailed, std::string(compressFailure) + " (end)");
  }
}

// Closes the finished copy and hands it to the caller.
std::pair<std::string, std::uint64_t> keepCompressed(fileio::TemporaryFile& output) {
  if (!output.close()) {
    throw VexoException(status::compressionFailed, std::string(compressFailure) + " (write)");
  }
  const std::uint64_t size = platform::fileSize(output.path());
  output.keep();
  return {output.path(), size};
}

// The size of an open regular file; 0 for anything else, which is read to its end all the same.
std::uint64_t sizeOf(int handle) {
  struct stat info = {};
  if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    return 0;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

void initDecompressor(z_stream& stream) {
  stream = z_stream();
  stream.zalloc = Z_NULL;
  stream.zfree = Z_NULL;
  stream.opaque = Z_NULL;
  stream.next_in = Z_NULL;
  stream.avail_in = 0;
  const int rc = inflateInit(&stream);
  if (rc != Z_OK) {
    throw VexoException(status::generalFailure, "Decompressor returned " + std::to_string(rc) +
                                 " during initialization");
  }
}

void decompressBlock(z_stream& stream, int length, std::uint64_t maxSize, int handle,
                     const std::string& outputPath) {
  if (length == 0) {
    return;
  }
  stream.next_in = inBuffer;
  stream.avail_in = static_cast<uInt>(length);
  do {
    stream.next_out = outBuffer;
    stream.avail_out = bufferSize;
    const int rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      throw VexoException(status::generalFailure, "Error occurred during decompression (block): " +
                                   std::to_string(rc));
    }
    writeInflated(stream, maxSize, handle, bufferSize - stream.avail_out, outputPath);
  } while (stream.avail_out == 0);
  if (stream.avail_in != 0) {
    throw VexoException(status::generalFailure,
                        "Compressed data of '" + outputPath + "' goes on after its end.");
  }
}

void finishDecompressor(z_stream& stream, std::uint64_t maxSize, int handle,
                        const std::string& outputPath) {
  stream.next_in = Z_NULL;
  stream.avail_in = 0;
  for (;;) {
    stream.next_out = outBuffer;
    stream.avail_out = bufferSize;
    const int rc = inflate(&stream, Z_FINISH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      throw VexoException(status::generalFailure, "Error occurred during decompression (flush): " +
                                   std::to_string(rc));
    }
    const std::size_t produced = bufferSize - stream.avail_out;
    writeInflated(stream, maxSize, handle, produced, outputPath);
    if (rc == Z_STREAM_END) {
      break;
    }
    // A stream cut short: with no input left zlib can make no progress, and asking again
    // would never end.
    if (produced == 0) {
      throw VexoException(status::generalFailure, "Error occurred during decompression (flush): " +
                                   std::to_string(rc));
    }
  }
  const int rc = inflateEnd(&stream);
  if (rc != Z_OK) {
    throw VexoException(status::generalFailure, "Error occurred during decompression (end): " + std::to_string(rc));
  }
}

}  // namespace

std::pair<std::string, std::uint64_t> readAndCompressFile(const std::string& filePath,
                                                          std::uint64_t /*fileSize*/) {
  const int input = platform::openBinaryReadOnlyFile(filePath);
  if (input < 0) {
    throw VexoException(status::fileOpenFailed, "Unable to open input file '" + filePath + "'.");
  }
  fileio::FileHandle inputCloser(input);
  const unsigned workers = deflateWorkerCount();
  if (platform::isCompressionEnabled() && workers > 1 && sizeOf(input) >= blockDeflateFrom) {
    fileio::TemporaryFile output;
    deflateInBlocks(input, filePath, output.handle(), workers);
    return keepCompressed(output);
  }
  z_stream stream;
  initCompressor(stream);
  StreamGuard<deflateEnd> streamGuard(stream);
  fileio::TemporaryFile output;
  for (;;) {
    const int n = platform::readFileHandle(input, inBuffer, bufferSize);
    if (n < 0) {
      throw VexoException(status::fileReadFailed, "Failure in reading input file '" + filePath + "'.");
    }
    if (n == 0) {
      break;
    }
    compressBlock(stream, n, output.handle());
  }
  finishCompressor(stream, output.handle());
  return keepCompressed(output);
}

void decompressRangesIntoFile(const std::string& outputPath,
                              const std::vector<CompressedRange>& ranges, std::uint64_t maxSize) {
  fileio::AtomicFileWriter output(outputPath);
  if (!output.open()) {
    throw VexoException(status::fileOpenFailed, "Unable to open output file '" + outputPath + "'.");
  }
  z_stream stream;
  initDecompressor(stream);
  StreamGuard<inflateEnd> streamGuard(stream);
  for (const CompressedRange& range : ranges) {
    if (!platform::seekFileHandleToOffset(range.handle, range.offset)) {
      throw VexoException(status::generalFailure, "I/O error.");
    }
    std::uint64_t remaining = range.length;
    while (remaining > 0) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(remaining, bufferSize));
      if (fileio::readFull(range.handle, inBuffer, want) != want) {
        throw VexoException(status::generalFailure, "I/O error.");
      }
      decompressBlock(stream, static_cast<int>(want), maxSize, output.handle(), outputPath);
      remaining -= want;
    }
  }
  finishDecompressor(stream, maxSize, output.handle(), outputPath);
  // On disk before it takes the old file's place.
  if (!output.finish()) {
    throw VexoException(status::generalFailure,
                        "Failure in writing output file '" + outputPath + "'.");
  }
  if (!output.replace()) {
    throw VexoException(status::fileOpenFailed, "Unable to open output file '" + outputPath + "'.");
  }
}

void decompressFilesIntoFile(const std::string& outputPath,
                             const std::vector<std::string>& pieces, std::uint64_t maxSize) {
  std::vector<fileio::FileHandle> files;
  std::vector<CompressedRange> ranges;
  for (const std::string& piece : pieces) {
    const std::uint64_t size = platform::fileSize(piece);
    files.emplace_back(platform::openBinaryReadOnlyFile(piece));
    if (!files.back().valid()) {
      throw VexoException(status::generalFailure, "Failed to open compressed file.");
    }
    ranges.push_back(CompressedRange{files.back().get(), 0, size});
  }
  decompressRangesIntoFile(outputPath, ranges, maxSize);
}

bool calcHandleCRC(int handle, std::uint64_t size, unsigned int& crc) {
  uLong sum = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, crcBufferSize));
    if (fileio::readFull(handle, crcBuffer, want) != want) {
      return false;
    }
    sum = crc32(sum, crcBuffer, static_cast<uInt>(want));
    size -= want;
  }
  crc = static_cast<unsigned int>(sum);
  return true;
}

unsigned int calcFileCRC(const boost::filesystem::path& filePath) {
  struct stat info = {};
  const fileio::FileHandle input = fileio::openExistingRegularFile(filePath.string(), info);
  if (!input.valid()) {
    throw VexoException(status::generalFailure, "Failed to open file for CRC calc.");
  }
  unsigned int crc = 0;
  if (!calcHandleCRC(input.get(), static_cast<std::uint64_t>(info.st_size), crc)) {
    throw VexoException(status::generalFailure, "I/O error.");
  }
  return crc;
}

}  // namespace util
}  // namespace vexo
