// Base64 decoding of server text: never outside its buffers, sizes by the decoder's rule,
// and well-formed text decodes back to what was encoded.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"

namespace {

std::string encode(const std::uint8_t* data, std::size_t size) {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < size; i += 3) {
    const unsigned int b0 = data[i];
    const unsigned int b1 = i + 1 < size ? data[i + 1] : 0;
    const unsigned int b2 = i + 2 < size ? data[i + 2] : 0;
    text += alphabet[b0 >> 2];
    text += alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    text += i + 1 < size ? alphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    text += i + 2 < size ? alphabet[b2 & 63] : '=';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexo::platform::setTracingEnabled(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<unsigned char> decoded = vexo::strutil::decodeBase64String(text);
  std::size_t pads = 0;
  while (pads < size && text[size - 1 - pads] == '=') ++pads;
  const std::size_t expected = pads + size / 4 >= size ? 0 : size - pads - size / 4;
  FUZZ_CHECK(decoded.size() == expected);

  const std::vector<unsigned char> roundTrip =
      vexo::strutil::decodeBase64String(encode(data, size));
  FUZZ_CHECK(roundTrip == std::vector<unsigned char>(data, data + size));
  return 0;
}
