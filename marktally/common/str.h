// Fixed-capacity length-prefixed Mac Roman strings, the program's one text type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// A length byte followed by at most N bytes of Mac Roman text, N+1 bytes in all, so that
// records holding it have exactly the layout the document file stores. Every byte starts
// at zero: a text never declared with a value is empty and carries no stale bytes into a
// window or a file.
template <int N>
struct Str {
  static_assert(N >= 1 && N <= 255, "capacity of a length-prefixed string");
  static constexpr int kCapacity = N;
  unsigned char bytes[N + 1] = {};

  int length() const { return bytes[0]; }
  bool empty() const { return bytes[0] == 0; }
  unsigned char* text() { return bytes + 1; }
  const unsigned char* text() const { return bytes + 1; }
  unsigned char& operator[](int i) { return bytes[i]; }
  unsigned char operator[](int i) const { return bytes[i]; }
  operator const unsigned char*() const { return bytes; }
  // Writing through a bare pointer loses the capacity, so it has to be asked for.
  explicit operator unsigned char*() { return bytes; }
  void clear() { bytes[0] = 0; }
  // Stores a text, cutting it to the capacity.
  void set(const unsigned char* pstr) { setBytes(pstr + 1, pstr[0]); }
  void setBytes(const void* data, size_t count) {
    if (count > static_cast<size_t>(N)) count = N;
    std::memmove(bytes + 1, data, count);
    bytes[0] = static_cast<unsigned char>(count);
  }
  void setC(const char* s) { setBytes(s, std::strlen(s)); }
  std::string str() const {
    return std::string(reinterpret_cast<const char*>(bytes + 1), bytes[0]);
  }
};

using Str1 = Str<1>;
using Str4 = Str<4>;
using Str5 = Str<5>;
using Str15 = Str<15>;
using Str17 = Str<17>;
using Str21 = Str<21>;
using Str31 = Str<31>;
using Str47 = Str<47>;
using Str63 = Str<63>;
using Str255 = Str<255>;

using ConstStringPtr = const unsigned char*;  // any length-prefixed string
using StringPtr = unsigned char*;

// A Str255 from a C string or std::string, for literals and tests.
inline Str255 PStr(const char* s) {
  Str255 r;
  r.setC(s);
  return r;
}
inline Str255 PStr(const std::string& s) {
  Str255 r;
  r.setBytes(s.data(), s.size());
  return r;
}
inline std::string ToStdString(ConstStringPtr p) {
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}
