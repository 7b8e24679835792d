// Basic toolbox types: points, rectangles, colours, patterns, result codes and
// four-character codes, with the small rectangle arithmetic the program does.
//
// Coordinates are 16-bit, y (v) downward. A rectangle is half-open: it holds the
// pixels from left to right - 1 and from top to bottom - 1, so (0, 0, 10, 10) is
// 100 pixels and a rectangle whose bottom <= top or right <= left is empty.
#pragma once

#include <cstdint>

#include "marktally/common/errors.h"
#include "marktally/common/str.h"

// noErr, paramErr and the file codes are the common ones.
using OSStatus = int32_t;
using OSType = uint32_t;
using ResType = uint32_t;
using DescType = uint32_t;

enum : int16_t {
  memFullErr = -108,
  userCanceledErr = -128,
  errAEEventNotHandled = -1708,
  errAEDescNotFound = -1701,
  errAEIllegalIndex = -1719,
  noTypeErr = -102,
};

// A four-character code from a 4-letter literal ("aevt"), as the classic constants
// were written with multi-character literals.
constexpr uint32_t FourCC(const char (&s)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}

struct Point {
  int16_t v;
  int16_t h;
};

struct Rect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// 16-bit colour channels.
struct RGBColor {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
};

// An 8 x 8 one-bit pattern, one byte per row, the high bit leftmost. Patterns are
// aligned to the pixels of the port's image: pixel (x, y) takes bit x % 8 of row y % 8.
struct Pattern {
  uint8_t pat[8];
};

inline void SetPt(Point* p, int16_t h, int16_t v) {
  p->h = h;
  p->v = v;
}
inline bool EqualPt(Point a, Point b) { return a.h == b.h && a.v == b.v; }

inline void SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  r->left = left;
  r->top = top;
  r->right = right;
  r->bottom = bottom;
}
inline void OffsetRect(Rect* r, int16_t dh, int16_t dv) {
  r->left = static_cast<int16_t>(r->left + dh);
  r->right = static_cast<int16_t>(r->right + dh);
  r->top = static_cast<int16_t>(r->top + dv);
  r->bottom = static_cast<int16_t>(r->bottom + dv);
}
// Moves the sides inward by dh and dv (outward when negative).
inline void InsetRect(Rect* r, int16_t dh, int16_t dv) {
  r->left = static_cast<int16_t>(r->left + dh);
  r->right = static_cast<int16_t>(r->right - dh);
  r->top = static_cast<int16_t>(r->top + dv);
  r->bottom = static_cast<int16_t>(r->bottom - dv);
}
inline bool EmptyRect(const Rect* r) { return r->bottom <= r->top || r->right <= r->left; }
inline bool EqualRect(const Rect* a, const Rect* b) {
  return a->top == b->top && a->left == b->left && a->bottom == b->bottom && a->right == b->right;
}
// True when the pixel whose top-left corner is p lies inside r.
inline bool PtInRect(Point p, const Rect* r) {
  return p.h >= r->left && p.h < r->right && p.v >= r->top && p.v < r->bottom;
}
// The intersection; an empty result is (0, 0, 0, 0) and returns false.
bool SectRect(const Rect* a, const Rect* b, Rect* result);
void UnionRect(const Rect* a, const Rect* b, Rect* result);
