// Compression of the files the framework sends and receives, and CRC-32 of files.
// The operations share static buffers: one at a time per process (a large file's blocks are
// deflated on threads of its own, with buffers of their own).
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

// Inflates the pieces, in order, as one zlib stream into outputPath. The result is written
// beside the target and renamed into place only when whole, so a failure leaves the old file
// as it was.
void decompressFilesIntoFile(const std::string& outputPath,
                             const std::vector<std::string>& pieces);

// The standard CRC-32 (that of zlib and PKZIP) of the whole file.
unsigned int calcFileCRC(const boost::filesystem::path& filePath);

}  // namespace util
}  // namespace vexo
