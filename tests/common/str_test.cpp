// The length-prefixed string type and the Mac Roman table shared by model and toolbox.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <type_traits>

#include "marktally/common/errors.h"
#include "marktally/common/macroman.h"
#include "marktally/common/str.h"

namespace {

TEST(Str, IsEmptyAndCleanWhenDeclaredOverUsedMemory) {
  alignas(Str255) unsigned char stack[sizeof(Str255)];
  std::memset(stack, 0xA5, sizeof stack);  // what an earlier call left there
  Str255* s = new (stack) Str255;
  EXPECT_TRUE(s->empty());
  for (unsigned char b : s->bytes) ASSERT_EQ(b, 0);
  s->~Str255();
  struct Record {
    Str15 id;
    Str31 name;
  };
  std::memset(stack, 0xA5, sizeof stack);
  Record* r = new (stack) Record;
  EXPECT_TRUE(r->id.empty());
  EXPECT_TRUE(r->name.empty());
  r->~Record();
}

TEST(Str, HandsOutAWritablePointerOnlyWhenAskedFor) {
  static_assert(!std::is_convertible<Str255&, unsigned char*>::value, "implicit writable");
  static_assert(std::is_convertible<Str255&, const unsigned char*>::value, "readable");
  Str5 s;
  static_cast<unsigned char*>(s)[0] = 1;
  s[1] = 'x';
  EXPECT_EQ(s.str(), "x");
}

TEST(MacRoman, EveryByteGoesToUnicodeAndBack) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(one, Utf8ToMacRoman(MacRomanToUtf8(one))) << b;
    unsigned char back = 0;
    EXPECT_TRUE(UnicodeToMacRoman(MacRomanToUnicode(static_cast<unsigned char>(b)), &back));
    EXPECT_EQ(back, b);
  }
  EXPECT_EQ(MacRomanToUtf8(std::string("\xDB")), "\xE2\x82\xAC");  // euro
  // Letters Mac Roman lacks and bytes that are no UTF-8 become one '?' each.
  EXPECT_EQ(Utf8ToMacRoman("a\xE4\xB8\xAD" "b\xFF\xC3."), "a?b??.");
  Str255 cut;
  Utf8ToMacRoman(std::string(300, 'x'), cut);
  EXPECT_EQ(cut.length(), 255);
}

TEST(Errors, ErrnoMapsToTheProgramsCodes) {
  EXPECT_EQ(ErrnoToOSErr(ENOSPC), dskFulErr);
  EXPECT_EQ(ErrnoToOSErr(EIO), ioErr);
  EXPECT_EQ(ErrnoToOSErr(ENOENT), fnfErr);
  EXPECT_EQ(ErrnoToOSErr(EBADF), kErrnoBase - EBADF);
}

}  // namespace
