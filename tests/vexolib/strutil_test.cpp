#include "vexolib/platform/strutil.h"

#include <random>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vexo::strutil::calcUserAgentString;
using vexo::strutil::decodeBase64String;
using vexo::strutil::endsWith;
using vexo::strutil::fromBool;
using vexo::strutil::fromInt;
using vexo::strutil::parseNVPString;
using vexo::strutil::split;
using vexo::strutil::startsWith;
using vexo::strutil::strip;
using vexo::strutil::toBool;
using vexo::strutil::toInt;
using vexo::strutil::toLowercase;
using Bytes = std::vector<unsigned char>;
using Strings = std::vector<std::string>;

Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A plain encoder to check the decoder against.
std::string encodeBase64(const Bytes& bytes) {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned int b0 = bytes[i];
    const unsigned int b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const unsigned int b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    text += alphabet[b0 >> 2];
    text += alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    text += i + 1 < bytes.size() ? alphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    text += i + 2 < bytes.size() ? alphabet[b2 & 63] : '=';
  }
  return text;
}

TEST(StrUtil, PrefixAndSuffix) {
  struct Case {
    std::string s, affix;
    bool starts, ends;
  };
  const Case cases[] = {
      {"abc", "", true, true},   {"abc", "a", true, false}, {"abc", "c", false, true},
      {"abc", "abc", true, true}, {"c", "abc", false, false}, {"", "", true, true},
      {"", "a", false, false},   {"abcab", "ab", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startsWith(c.s, c.affix), c.starts) << c.s << " / " << c.affix;
    EXPECT_EQ(endsWith(c.s, c.affix), c.ends) << c.s << " / " << c.affix;
  }
}

TEST(StrUtil, StripDropsOnlyTheFourBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {" \tab\r\n", "ab"}, {"   ", "   "},     {"", ""},           {"a b", "a b"},
      {"\n\nx", "x"},      {"\vx\f", "\vx\f"}, {"\xa0x\xa0", "\xa0x\xa0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strip(c.first), c.second) << '"' << c.first << '"';
  }
}

TEST(StrUtil, LowercaseChangesOnlyAsciiCapitals) {
  EXPECT_EQ(toLowercase("ABC-Def"), "abc-def");
  EXPECT_EQ(toLowercase("\xC4\xD6Z"), "\xC4\xD6z");
  EXPECT_EQ(toLowercase(""), "");
  EXPECT_EQ(toLowercase('Q', std::locale::classic()), 'q');
}

TEST(StrUtil, SplitDropsEmptyPieces) {
  const std::pair<std::string, Strings> cases[] = {
      {"a;;b;", {"a", "b"}}, {";", {}},          {"", {}},
      {"abc", {"abc"}},      {";;x y ;", {"x y "}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split(c.first, ';'), c.second) << c.first;
  }
  EXPECT_EQ(split("2007-03-05-0930-07", '-'), (Strings{"2007", "03", "05", "0930", "07"}));
  EXPECT_EQ(vexo::strutil::splitOnSemicolons("a;b"), (Strings{"a", "b"}));
}

TEST(StrUtil, IntegersAsText) {
  const std::pair<std::string, int> cases[] = {
      {"42", 42},          {"+7", 7},   {" 42", 9},           {"42 ", 9},
      {"4x", 9},           {"", 9},     {"2147483648", 9},    {"-2147483648", -2147483647 - 1},
      {"2147483647", 2147483647},       {"-", 9},             {"0x10", 9},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toInt(c.first, c.first == "-2147483648" ? 0 : 9), c.second) << c.first;
  }
  EXPECT_EQ(fromInt(0), "0");
  EXPECT_EQ(fromInt(42), "42");
  EXPECT_EQ(fromInt(-7), "-7");
}

TEST(StrUtil, BooleansAsText) {
  struct Case {
    std::string text;
    bool defaultValue, expected;
  };
  const Case cases[] = {
      {" YES ", false, true}, {"No", true, false},  {"2", false, true},    {"-1", false, true},
      {"00", true, false},    {"on", false, false}, {"on", true, true},    {"   ", true, true},
      {"", true, true},       {"", false, false},   {"TRUE", false, true}, {"false", true, false},
      {"0", true, false},     {"1", false, true},   {"99999999999", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toBool(c.text, c.defaultValue), c.expected)
        << '"' << c.text << "\" default " << c.defaultValue;
  }
  EXPECT_EQ(fromBool(true), "true");
  EXPECT_EQ(fromBool(false), "false");
}

TEST(StrUtil, UserAgentSkipsEmptyParts) {
  EXPECT_EQ(calcUserAgentString("a", "", "c", ""), "vexo (2.5.72; 2; a; c; macmacho)");
  EXPECT_EQ(calcUserAgentString("", "", "", ""), "vexo (2.5.72; 2; macmacho)");
  EXPECT_EQ(calcUserAgentString("w", "x", "y", "z"), "vexo (2.5.72; 2; w; x; y; z; macmacho)");
}

TEST(StrUtil, NameValueLists) {
  const auto values = parseNVPString("a=1; b = 2;c.d_e= x=y ;bad;=z;a=3");
  EXPECT_EQ(values, (std::map<std::string, std::string>{{"a", "3"}, {"c.d_e", "x=y"}}));
  EXPECT_TRUE(parseNVPString("").empty());
  EXPECT_EQ(parseNVPString("k=;n="), (std::map<std::string, std::string>{{"k", ""}, {"n", ""}}));
  // Names are ASCII only, whatever the locale says of other bytes.
  EXPECT_TRUE(parseNVPString("\xE9t\xE9=1").empty());
}

TEST(StrUtil, Base64WellFormed) {
  const std::pair<std::string, std::string> cases[] = {
      {"TWFu", "Man"}, {"TWE=", "Ma"}, {"TQ==", "M"}, {"", ""}, {"==", ""},
      {"TWFuTWE=", "ManMa"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeBase64String(c.first), bytesOf(c.second)) << c.first;
  }
  std::mt19937 random(7);
  for (std::size_t length = 0; length < 70; ++length) {
    Bytes bytes(length);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(random());
    }
    EXPECT_EQ(decodeBase64String(encodeBase64(bytes)), bytes) << "length " << length;
  }
}

// Malformed text must never reach outside the buffers (ASan builds check that); the sizes
// follow the decoder's rule and never go below zero.
TEST(StrUtil, Base64MalformedStaysInBounds) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"A===", 0},         {"A=======", 0},  {"====", 0},       {"=A==", 1},  {"TW", 2},
      {"TWF", 3},          {"TWFuT", 4},     {"\xff\x80\x01z", 3},             {"A=B=", 2},
      {"TW=u", 3},         {"AB==CD==", 4},  {std::string(3, '\0'), 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeBase64String(c.first).size(), c.second) << c.first;
  }
  // An incomplete last group stays undecoded: its bytes are zeros.
  EXPECT_EQ(decodeBase64String("TWE"), Bytes(3, 0));
  EXPECT_EQ(decodeBase64String("TWFuTW"), (Bytes{'M', 'a', 'n', 0, 0}));
}

}  // namespace
