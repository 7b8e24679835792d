// Integer rounding and the length-prefixed string routines.
#include <gtest/gtest.h>

#include "marktally/model/platform.h"
#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace {

TEST(TextUtil, DivideAndPercentRoundHalfUp) {
  struct {
    uint32_t a, b, divide, percent;
  } const cases[] = {
      {5, 2, 3, 2500},  {4, 3, 1, 1333}, {1, 3, 0, 333},  {2, 3, 1, 667},
      {1, 8, 0, 125},   {1, 16, 0, 63},  {0, 7, 0, 0},    {10, 10, 1, 1000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Divide(c.a, c.b), c.divide) << c.a << "/" << c.b;
    EXPECT_EQ(Percent(c.a, c.b), c.percent) << c.a << "/" << c.b;
  }
  // Totals whose 2000-fold no longer fits 32 bits still give the true percent.
  EXPECT_EQ(Percent(3000000, 4000000), 750u);
  EXPECT_EQ(Percent(4000000000u, 4000000000u), 1000u);
  EXPECT_EQ(Divide(4000000000u, 2), 2000000000u);
  EXPECT_EQ(Min(-1, 3), -1);
  EXPECT_EQ(Max(-1, 3), 3);
}

TEST(TextUtil, AppendAndCopyCutAtTheCapacity) {
  Str5 small;
  CopyString(PStr("Absent"), small);
  EXPECT_EQ(small.str(), "Absen");
  Str255 s = PStr("ab");
  Append(s, s);  // onto itself
  EXPECT_EQ(s.str(), "abab");
  Str255 big = PStr(std::string(250, 'x'));
  Append(big, PStr("0123456789"));
  EXPECT_EQ(big.length(), 255);
  EXPECT_EQ(big.str().substr(250), "01234");
  Str4 letter = {};
  Append(letter, PStr("B+"));
  Append(letter, PStr("xyz"));
  EXPECT_EQ(letter.str(), "B+xy");
  // A length byte from a damaged file that claims more than the field holds.
  Str5 damaged;
  damaged[0] = 200;
  Append(damaged, PStr("abc"));
  EXPECT_EQ(damaged.length(), 5);
}

TEST(TextUtil, StripBlanks) {
  struct {
    std::string in, out;
  } const cases[] = {
      {"  Ada  ", "Ada"},
      {"    ", ""},
      {"", ""},
      {"\tAda\tKing\r\n", "Ada King"},
      {"A\x01" "B", "A B"},
      {"\xCA" "x", "\xCA" "x"},  // a non-breaking space is text, not a blank
  };
  for (const auto& c : cases) {
    Str255 out;
    StripBlanks(PStr(c.in), out);
    EXPECT_EQ(out.str(), c.out) << "[" << c.in << "]";
  }
}

TEST(TextUtil, TrimStringFitsTheWidthWithAnEllipsis) {
  SetTextWidthFunction([](const unsigned char*, int n) { return 6 * n; });
  struct {
    std::string in;
    uint16_t width;
    std::string out;
  } const cases[] = {
      {"Smith", 34, "Smith"},            // 30 px fits 34 - 4
      {"Smithson", 34, "Smi\xC9"},       // limit 30 - 6: four characters, the last an ellipsis
      {"Smithson", 16, "\xC9"},          // room for one character: only the ellipsis
      {"Smithson", 10, ""},              // no room at all: empty
      {"", 4, ""},
  };
  for (const auto& c : cases) {
    Str255 out;
    TrimString(PStr(c.in), out, c.width);
    EXPECT_EQ(out.str(), c.out) << c.in << " in " << c.width;
  }
  SetTextWidthFunction(nullptr);
}

TEST(TextUtil, StripExtension) {
  struct {
    std::string in, out;
  } const cases[] = {
      {"Biology.mtb", "Biology"}, {"Biology.MTB", "Biology"}, {"page.htm", "page"},
      {"page.HTML", "page"},      {"page.html", "page"},      {"notes.txt", "notes.txt"},
      {".htm", ""},               {"mtb", "mtb"},             {".html", ""},
      {"a.xhtml", "a.xhtml"},
  };
  for (const auto& c : cases) {
    Str255 out;
    StripExtension(PStr(c.in), out);
    EXPECT_EQ(out.str(), c.out) << c.in;
  }
}

TEST(TextUtil, SetChangedTellsTheWindow) {
  std::vector<bool> seen;
  SetDocumentChangedHook([&](bool c) { seen.push_back(c); });
  SetChanged(1);
  EXPECT_EQ(gChanged, 1);
  SetChanged(0);
  EXPECT_EQ(gChanged, 0);
  SetDocumentChangedHook(nullptr);
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

}  // namespace
