#include "marktally/common/macroman.h"

namespace {

// The upper half of Mac OS Roman, 0x80 to 0xFF (0xDB is the euro sign, 0xF0 the
// private-use maker's logo).
// clang-format off
const char16_t kUpperHalf[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};
// clang-format on

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

template <typename Sink>
void ForEachMacRomanByte(const std::string& utf8, Sink sink) {
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t code = 0;
    size_t length = 1;
    unsigned char b = '?';
    if (DecodeUtf8(utf8, i, code, length)) UnicodeToMacRoman(code, &b);
    if (!sink(b)) return;
    i += length;
  }
}

}  // namespace

char16_t MacRomanToUnicode(unsigned char c) {
  return c < 0x80 ? static_cast<char16_t>(c) : kUpperHalf[c - 0x80];
}

bool UnicodeToMacRoman(char32_t u, unsigned char* out) {
  if (u < 0x80) {
    *out = static_cast<unsigned char>(u);
    return true;
  }
  for (int i = 0; i < 128; ++i) {
    if (kUpperHalf[i] == u) {
      *out = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  // The general currency sign held 0xDB before the euro took its place.
  if (u == 0x00A4) {
    *out = 0xDB;
    return true;
  }
  *out = '?';
  return false;
}

bool DecodeUtf8(const std::string& text, size_t i, char32_t& code, size_t& length) {
  length = 1;
  const unsigned char b = static_cast<unsigned char>(text[i]);
  int extra = -1;
  if (b < 0x80) extra = 0;
  else if ((b >> 5) == 6) extra = 1;
  else if ((b >> 4) == 14) extra = 2;
  else if ((b >> 3) == 30) extra = 3;
  if (extra < 0 || i + extra >= text.size()) return false;
  char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 7);
  for (int k = 1; k <= extra; k++) {
    const unsigned char f = static_cast<unsigned char>(text[i + k]);
    if ((f & 0xC0) != 0x80) return false;
    c = (c << 6) | (f & 0x3F);
  }
  code = c;
  length = static_cast<size_t>(1 + extra);
  return true;
}

std::string MacRomanToUtf8(const std::string& macRoman) {
  std::string out;
  out.reserve(macRoman.size());
  for (unsigned char b : macRoman) AppendUtf8(out, MacRomanToUnicode(b));
  return out;
}

std::string MacRomanToUtf8(ConstStringPtr text) {
  return MacRomanToUtf8(ToStdString(text));
}

std::string Utf8ToMacRoman(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  ForEachMacRomanByte(utf8, [&out](unsigned char b) {
    out += static_cast<char>(b);
    return true;
  });
  return out;
}

void Utf8ToMacRoman(const std::string& utf8, Str255& out) {
  unsigned char bytes[255] = {};
  int n = 0;
  ForEachMacRomanByte(utf8, [&](unsigned char b) {
    bytes[n++] = b;
    return n < 255;
  });
  out.setBytes(bytes, static_cast<size_t>(n));
}
