// Rebuilds a new file from an old one and a binary patch of the bsdiff family: "BSDIFF40"
// (control tuples of diff length, extra length and seek; an extra block) and the two-value
// kinds "BSDIFF30" and "QSUFDIFF" (diff length and seek, applied before the diff bytes; no
// extra block; the file is exactly header, control and diff block). Blocks are bzip2 streams.
//
// Patches come from the network: every header value is read whole and checked before it is
// used, and memory follows the bytes actually produced, never a size the header claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/filesystem/path.hpp>

namespace vexo {
namespace bspatch {

// The largest new file a patch may describe: the format's readers have always held sizes and
// positions in 32 bits, so no patch the service hands out is larger.
constexpr std::int64_t maxNewFileSize = 0x7FFFFFFF;

// Writes the new file beside newPath and renames it into place only when it is complete and
// on disk: a failure leaves newPath as it was, and oldPath may equal newPath. Failures are
// VexoException 126 (malformed patch), 103 (unreadable patch, bzip2 failure, an old file or
// patch that is no regular file), 105 (old or new file cannot be opened), 106 (old file or
// patch cannot be read), 127 (new file cannot be written); a missing patch or old file
// raises platform::fileSize's error.
void applyPatch(const boost::filesystem::path& patchPath, const boost::filesystem::path& oldPath,
                const boost::filesystem::path& newPath);

namespace detail {

// Eight bytes, little-endian magnitude with the sign in the top bit of the last byte.
std::int64_t readOffset(const unsigned char* bytes);

struct PatchHeader {
  bool threeValue = false;
  std::uint64_t patchSize = 0;
  std::int64_t controlLength = 0;
  std::int64_t diffLength = 0;
  std::int64_t newSize = 0;
};

// Receives the new file's bytes in order, as they are produced.
class NewFileSink {
 public:
  virtual ~NewFileSink() = default;
  virtual void put(const unsigned char* data, std::size_t length) = 0;
};

// The paths as they appear in messages.
struct PatchNames {
  std::string patch;
  std::string oldFile;
  std::string newFile;
};

// Reads and checks the header of the patch behind patchHandle (patchSize bytes long).
PatchHeader readHeader(int patchHandle, std::uint64_t patchSize, const PatchNames& names,
                       std::int64_t maxNewSize);
// Runs the control tuples and hands every new byte to the sink; checks that every block is
// used up at the end.
void buildNewFile(const PatchHeader& header, int patchHandle, int oldHandle,
                  std::uint64_t oldSize, NewFileSink& sink, const PatchNames& names);

}  // namespace detail
}  // namespace bspatch
}  // namespace vexo
