// Compression of the files the framework sends and receives, and CRC-32 of files.
// The compression operations share static buffers: one at a time per process (a large
// file's blocks are deflated on threads of their own, with buffers of their own). The CRCs
// may run on several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/filesystem/path.hpp>

namespace vexo {
namespace util {

// Compresses the file into a new temporary file (one zlib stream, level 9, or level 0 when
// compression is switched off) and returns its path and size; the caller owns the file. The
// size argument is not read. A large file at level 9 is deflated on every core the process
// may use (block_deflate.h); smaller ones come out byte for byte as zlib makes them. On
// failure no partial output is left behind.
std::pair<std::string, std::uint64_t> readAndCompressFile(const std::string& filePath,
                                                          std::uint64_t fileSize);

// length bytes at offset of an open file.
struct CompressedRange {
  int handle = -1;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

// Inflates the ranges, in order, as one zlib stream into outputPath. The result is written
// beside the target and renamed into place only when whole, so a failure leaves the old file
// as it was. More than maxSize bytes, or bytes after the end of the stream, are
// VexoException 103.
void decompressRangesIntoFile(const std::string& outputPath,
                              const std::vector<CompressedRange>& ranges, std::uint64_t maxSize);
// The same of whole files.
void decompressFilesIntoFile(const std::string& outputPath,
                             const std::vector<std::string>& pieces,
                             std::uint64_t maxSize = UINT64_MAX);

// The standard CRC-32 (that of zlib and PKZIP) of the whole file; VexoException 103 for
// anything that is not a regular file once links are followed.
unsigned int calcFileCRC(const boost::filesystem::path& filePath);
// The same of the next `size` bytes of an open file; false when fewer can be read. Traces
// nothing, so any thread may call it.
bool calcHandleCRC(int handle, std::uint64_t size, unsigned int& crc);

}  // namespace util
}  // namespace vexo
