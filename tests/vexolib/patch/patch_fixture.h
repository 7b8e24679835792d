// Shared by the patch suites: patches built by hand from control tuples (for the cases no
// diff tool would write), Debian's bsdiff and the Python maker of the two-value kinds, and
// a probe of the largest single heap block the code under test asked for.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <bzlib.h>

namespace vexotest {

// Eight bytes: little-endian magnitude, sign in the top bit of the last byte.
inline std::string offsetBytes(std::int64_t value, bool negativeZero = false) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<char>((magnitude >> (8 * i)) & 0xFF);
  }
  if (value < 0 || negativeZero) {
    bytes[7] = static_cast<char>(bytes[7] | 0x80);
  }
  return bytes;
}

inline std::string bzip(const std::string& data) {
  std::vector<char> out(data.size() + data.size() / 100 + 700);
  unsigned int length = static_cast<unsigned int>(out.size());
  std::string input = data + '\0';  // never a null source, also for no data
  if (BZ2_bzBuffToBuffCompress(out.data(), &length, &input[0],
                               static_cast<unsigned int>(data.size()), 9, 0, 0) != BZ_OK) {
    throw std::runtime_error("bzip2 compression failed");
  }
  return std::string(out.data(), length);
}

// A patch from its decompressed blocks. The header's lengths are those of the compressed
// blocks unless given.
struct PatchSpec {
  std::string magic = "BSDIFF40";
  std::string control;  // decompressed
  std::string diff;
  std::string extra;
  std::int64_t newSize = 0;
};

inline std::string tuple(std::int64_t a, std::int64_t b) {
  return offsetBytes(a) + offsetBytes(b);
}
inline std::string tuple(std::int64_t a, std::int64_t b, std::int64_t c) {
  return offsetBytes(a) + offsetBytes(b) + offsetBytes(c);
}

inline std::string buildPatch(const PatchSpec& spec) {
  const std::string control = bzip(spec.control);
  const std::string diff = bzip(spec.diff);
  const bool threeValue = spec.magic == "BSDIFF40";
  return spec.magic + offsetBytes(static_cast<std::int64_t>(control.size())) +
         offsetBytes(static_cast<std::int64_t>(diff.size())) + offsetBytes(spec.newSize) +
         control + diff + (threeValue ? bzip(spec.extra) : std::string());
}

// Exit status of a shell command (-1 when it did not end normally).
inline int runShell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

inline std::string quote(const std::string& path) { return "'" + path + "'"; }

inline void debianBsdiff(const std::string& oldPath, const std::string& newPath,
                         const std::string& patchPath) {
  if (runShell(quote(VEXO_BSDIFF) + " " + quote(oldPath) + " " + quote(newPath) + " " +
               quote(patchPath)) != 0) {
    throw std::runtime_error("bsdiff failed on " + newPath);
  }
}

inline void pythonPatch(const std::string& kind, const std::string& oldPath,
                        const std::string& newPath, const std::string& patchPath,
                        int segment = 4096) {
  if (runShell(quote(VEXO_PYTHON3) + " " + quote(VEXO_PATCH_MAKER) + " " + kind + " " +
               quote(oldPath) + " " + quote(newPath) + " " + quote(patchPath) + " " +
               std::to_string(segment)) != 0) {
    throw std::runtime_error("make_patch.py failed on " + newPath);
  }
}

inline std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// A later version of `old`: runs replaced, inserted and removed here and there.
inline std::string edited(const std::string& old, unsigned seed, int edits) {
  std::mt19937 random(seed);
  std::string text = old;
  for (int i = 0; i < edits && !text.empty(); ++i) {
    const std::size_t at = random() % text.size();
    const std::size_t length = 1 + random() % 40;
    switch (random() % 3) {
      case 0:
        text.replace(at, std::min(length, text.size() - at), randomBytes(length, random()));
        break;
      case 1:
        text.insert(at, randomBytes(length, random()));
        break;
      default:
        text.erase(at, length);
        break;
    }
  }
  return text;
}

}  // namespace vexotest
