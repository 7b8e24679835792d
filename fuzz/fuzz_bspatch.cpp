// The binary patch applier on any patch and old file: it fails only with the statuses of a
// malformed or unreadable patch, never produces a byte more or less than the header's new
// size, and agrees with a plain in-memory reading of the format on every patch it accepts.
//
// Input: a mode byte, two bytes giving the old file's length (little-endian), the old file,
// then either the patch as it stands (even mode byte) or, so that the fuzzer reaches the
// tuples behind bzip2's checksums, the blocks before compression (odd mode byte): a kind
// byte, the new size (2 bytes), the control block and the diff block (each 2 bytes of
// length, then the bytes), and the extra block (the rest).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include <bzlib.h>

#include "fuzz_check.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/patch/bspatch.h"
#include "vexolib/platform/platform.h"

namespace {

namespace detail = vexo::bspatch::detail;

// Small enough that a run stays fast; the code's own limit is only larger.
constexpr std::int64_t maxNewSize = 64 * 1024;
// Blocks that decompress to more than this are not compared.
constexpr std::size_t maxBlockOutput = 256 * 1024;

int memoryFile(const std::uint8_t* data, std::size_t size) {
  const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size));
  return fd;
}

class CollectingSink : public detail::NewFileSink {
 public:
  void put(const unsigned char* data, std::size_t length) override {
    bytes.insert(bytes.end(), data, data + length);
  }
  std::vector<unsigned char> bytes;
};

enum class Block { ok, bad, tooBig };

// One bzip2 stream from the start of the block; bytes after its end are ignored.
Block inflateBlock(const std::uint8_t* data, std::size_t size, std::string& out) {
  bz_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) return Block::bad;
  std::vector<char> input(data, data + size);
  stream.next_in = input.data();
  stream.avail_in = static_cast<unsigned int>(size);
  char buffer[65536];
  Block result = Block::bad;
  for (;;) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    const int rc = BZ2_bzDecompress(&stream);
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (out.size() > maxBlockOutput) {
      result = Block::tooBig;
      break;
    }
    if (rc == BZ_STREAM_END) {
      result = Block::ok;
      break;
    }
    if (rc != BZ_OK || (stream.avail_in == 0 && stream.avail_out != 0)) break;
  }
  BZ2_bzDecompressEnd(&stream);
  return result;
}

std::int64_t number(const std::string& block, std::size_t at) {
  return detail::readOffset(reinterpret_cast<const unsigned char*>(block.data()) + at);
}

enum class Plain { accepted, refused, unknown };

// The format read the plain way: every block inflated whole, then the tuples run in memory.
Plain applyPlainly(const detail::PatchHeader& h, const std::uint8_t* patch, const std::string& old,
                   std::string& out) {
  std::string control, diff, extra;
  const std::size_t c = static_cast<std::size_t>(h.controlLength);
  const std::size_t d = static_cast<std::size_t>(h.diffLength);
  const std::size_t total = static_cast<std::size_t>(h.patchSize);
  const Block blocks[] = {
      inflateBlock(patch + 32, c, control), inflateBlock(patch + 32 + c, d, diff),
      h.threeValue ? inflateBlock(patch + 32 + c + d, total - 32 - c - d, extra) : Block::ok};
  for (Block b : blocks) {
    if (b == Block::tooBig) return Plain::unknown;
  }
  for (Block b : blocks) {
    if (b == Block::bad) return Plain::refused;
  }
  const std::size_t width = h.threeValue ? 24 : 16;
  std::size_t ci = 0, di = 0, ei = 0;
  // Positions as wide integers: whatever the patch says, nothing here overflows.
  __extension__ typedef __int128 Wide;
  Wide oldPos = 0;
  const Wide limit = INT64_MAX;
  int idle = 0;
  while (static_cast<std::int64_t>(out.size()) < h.newSize) {
    if (control.size() - ci < width) return Plain::refused;
    const std::int64_t diffLength = number(control, ci);
    const std::int64_t second = number(control, ci + 8);
    const std::int64_t third = h.threeValue ? number(control, ci + 16) : 0;
    ci += width;
    const std::int64_t extraLength = h.threeValue ? second : 0;
    const std::int64_t seek = h.threeValue ? third : second;
    if (!h.threeValue) {
      oldPos += seek;
      if (oldPos > limit || oldPos < -limit - 1) return Plain::refused;
    }
    const std::int64_t room = h.newSize - static_cast<std::int64_t>(out.size());
    if (diffLength < 0 || diffLength > room) return Plain::refused;
    if (diff.size() - di < static_cast<std::size_t>(diffLength)) return Plain::refused;
    for (std::int64_t k = 0; k < diffLength; ++k) {
      unsigned char byte = static_cast<unsigned char>(diff[di + static_cast<std::size_t>(k)]);
      const Wide at = oldPos + k;
      if (at >= 0 && at < static_cast<Wide>(old.size())) {
        byte = static_cast<unsigned char>(byte + static_cast<unsigned char>(
                                                     old[static_cast<std::size_t>(at)]));
      }
      out.push_back(static_cast<char>(byte));
    }
    di += static_cast<std::size_t>(diffLength);
    oldPos += diffLength;
    if (oldPos > limit) return Plain::refused;
    if (h.threeValue) {
      const std::int64_t left = h.newSize - static_cast<std::int64_t>(out.size());
      if (extraLength < 0 || extraLength > left) return Plain::refused;
      if (extra.size() - ei < static_cast<std::size_t>(extraLength)) return Plain::refused;
      out.append(extra, ei, static_cast<std::size_t>(extraLength));
      ei += static_cast<std::size_t>(extraLength);
      oldPos += seek;
      if (oldPos > limit || oldPos < -limit - 1) return Plain::refused;
    }
    idle = diffLength == 0 && extraLength == 0 ? idle + 1 : 0;
    if (idle > 64) return Plain::refused;
  }
  if (ci != control.size() || di != diff.size() || (h.threeValue && ei != extra.size())) {
    return Plain::refused;
  }
  return Plain::accepted;
}

std::string bzip(const std::uint8_t* data, std::size_t size) {
  std::vector<char> input(data, data + size);
  input.push_back('\0');  // never a null source
  std::vector<char> out(size + size / 100 + 700);
  unsigned int length = static_cast<unsigned int>(out.size());
  FUZZ_CHECK(BZ2_bzBuffToBuffCompress(out.data(), &length, input.data(),
                                      static_cast<unsigned int>(size), 1, 0, 0) == BZ_OK);
  return std::string(out.data(), length);
}

std::string number8(std::int64_t value) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// A patch from blocks given before compression; empty when the input runs short.
std::string buildPatch(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return std::string();
  static const char* const magics[] = {"BSDIFF40", "BSDIFF30", "QSUFDIFF", "BSDIFF40"};
  const std::string magic = magics[data[0] & 3];
  const std::int64_t newSize = data[1] | (data[2] << 8);
  std::size_t at = 3;
  std::string blocks[3];
  for (int b = 0; b < 2; ++b) {
    if (size - at < 2) return std::string();
    const std::size_t length =
        std::min<std::size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
    blocks[b] = bzip(data + at + 2, length);
    at += 2 + length;
  }
  blocks[2] = bzip(data + at, size - at);
  return magic + number8(static_cast<std::int64_t>(blocks[0].size())) +
         number8(static_cast<std::int64_t>(blocks[1].size())) + number8(newSize) + blocks[0] +
         blocks[1] + (magic == "BSDIFF40" ? blocks[2] : std::string());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexo::platform::setTracingEnabled(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool structured = data[0] & 1;
  const std::size_t oldLength = std::min<std::size_t>(data[1] | (data[2] << 8), size - 3);
  const std::string old(reinterpret_cast<const char*>(data + 3), oldLength);
  const std::uint8_t* rest = data + 3 + oldLength;
  const std::size_t restSize = size - 3 - oldLength;
  const std::string built = structured ? buildPatch(rest, restSize) : std::string();
  if (structured && built.empty()) return 0;
  const std::uint8_t* patch =
      structured ? reinterpret_cast<const std::uint8_t*>(built.data()) : rest;
  const std::size_t patchSize = structured ? built.size() : restSize;
  const int patchFd = memoryFile(patch, patchSize);
  const int oldFd = memoryFile(data + 3, oldLength);
  const detail::PatchNames names{"patch", "old", "new"};

  CollectingSink sink;
  detail::PatchHeader header;
  bool headerRead = false;
  bool accepted = false;
  try {
    header = detail::readHeader(patchFd, patchSize, names, maxNewSize);
    headerRead = true;
    detail::buildNewFile(header, patchFd, oldFd, oldLength, sink, names);
    accepted = true;
  } catch (const vexo::VexoException& e) {
    FUZZ_CHECK(e.statusCode == 126 || e.statusCode == 103);
  }
  ::close(patchFd);
  ::close(oldFd);

  if (accepted) {
    FUZZ_CHECK(static_cast<std::int64_t>(sink.bytes.size()) == header.newSize);
  }
  if (headerRead) {
    std::string plain;
    const Plain verdict = applyPlainly(header, patch, old, plain);
    if (verdict != Plain::unknown) {
      FUZZ_CHECK(accepted == (verdict == Plain::accepted));
    }
    if (accepted && verdict == Plain::accepted) {
      FUZZ_CHECK(std::equal(plain.begin(), plain.end(), sink.bytes.begin(), sink.bytes.end(),
                            [](char a, unsigned char b) {
                              return static_cast<unsigned char>(a) == b;
                            }));
    }
  }
  return 0;
}
