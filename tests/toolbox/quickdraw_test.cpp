// Drawing: QuickDraw's pixel rules, regions and clipping, offscreen worlds, bit copies,
// scrolling and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "marktally/common/platform.h"
#include "toolbox_fixture.h"

namespace {

using QuickDraw = ToolboxTest;

Rect R(int top, int left, int bottom, int right) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

TEST_F(QuickDraw, RectanglesAreHalfOpen) {
  GWorldPtr w = NewWorld(20, 20);
  const struct {
    Rect r;
    int pixels;
  } cases[] = {
      {R(2, 3, 5, 7), 12},   // rows 2..4, columns 3..6
      {R(0, 0, 1, 1), 1},    // a single pixel
      {R(4, 4, 4, 9), 0},    // no height
      {R(6, 6, 5, 9), 0},    // upside down
      {R(-5, -5, 2, 2), 4},  // cut by the port's edge
  };
  for (const auto& c : cases) {
    EraseRect(&c.r);
    Rect all = R(0, 0, 20, 20);
    EraseRect(&all);
    PaintRect(&c.r);
    EXPECT_EQ(c.pixels, CountBlack(w, all)) << c.r.top << "," << c.r.left;
  }
  Rect r = R(2, 3, 5, 7);
  EraseRect(&r);
  PaintRect(&r);
  EXPECT_EQ("...####..", Row(w, 2, 0, 9));
  EXPECT_EQ(".###..", Column(w, 3, 1, 7));
}

TEST_F(QuickDraw, FrameLiesInsideItsRectangleWithThePen) {
  GWorldPtr w = NewWorld(30, 30);
  Rect r = R(10, 10, 20, 20);
  FrameRect(&r);
  EXPECT_EQ(36, CountBlack(w, R(0, 0, 30, 30)));
  EXPECT_EQ("..##########..", Row(w, 10, 8, 22));
  EXPECT_EQ("..#........#..", Row(w, 15, 8, 22));
  EXPECT_EQ("..##########..", Row(w, 19, 8, 22));

  Rect all = R(0, 0, 30, 30);
  EraseRect(&all);
  PenSize(2, 3);
  FrameRect(&r);
  EXPECT_EQ("##########", Row(w, 12, 10, 20));  // the top band is 3 rows tall
  EXPECT_EQ("##......##", Row(w, 13, 10, 20));  // the sides are 2 columns wide
  EXPECT_EQ("##########", Row(w, 17, 10, 20));
  EXPECT_EQ(".", Row(w, 20, 10, 11));
}

TEST_F(QuickDraw, LinesDrawBothEndsWithThePenBelowRight) {
  GWorldPtr w = NewWorld(12, 12);
  MoveTo(2, 2);
  LineTo(6, 2);
  EXPECT_EQ("..#####....", Row(w, 2, 0, 11));
  Point pen;
  GetPen(&pen);
  EXPECT_EQ(6, pen.h);
  EXPECT_EQ(2, pen.v);

  Rect all = R(0, 0, 12, 12);
  EraseRect(&all);
  MoveTo(0, 0);
  LineTo(3, 3);  // a diagonal: one pixel per step
  EXPECT_EQ(4, CountBlack(w, all));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(kBlackPixel, GetPortPixel(w, i, i));

  EraseRect(&all);
  PenSize(2, 3);
  MoveTo(4, 4);
  Line(0, 2);  // the pen rectangle hangs below and right of each point
  EXPECT_EQ(".##.", Row(w, 4, 3, 7));
  EXPECT_EQ("..#####...", Column(w, 5, 2, 12));
  EXPECT_EQ(2 * 5, CountBlack(w, all));

  EraseRect(&all);
  PenSize(0, 0);
  LineTo(10, 10);
  EXPECT_EQ(0, CountBlack(w, all));
}

TEST_F(QuickDraw, GrayPatternBlackWhereXPlusYIsEven) {
  GWorldPtr w = NewWorld(16, 16);
  Pattern gray;
  GetQDGlobalsGray(&gray);
  SetOrigin(3, 5);  // the pattern keeps to the image's pixels
  Rect r = R(5, 3, 21, 19);
  FillRect(&r, &gray);
  bool parity = true;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      parity = parity && (GetPortPixel(w, x, y) == ((x + y) % 2 == 0 ? kBlackPixel : kWhitePixel));
  EXPECT_TRUE(parity);

  SetOrigin(0, 0);
  Rect all = R(0, 0, 16, 16);
  EraseRect(&all);
  PenPat(&gray);
  MoveTo(0, 1);
  LineTo(7, 1);  // row 1: black on odd columns
  EXPECT_EQ(".#.#.#.#", Row(w, 1, 0, 8));
  PenNormal();
  PenMode(patXor);
  PaintRect(&all);
  EXPECT_EQ("#.#.#.#.", Row(w, 1, 0, 8));
}

TEST_F(QuickDraw, InvertingTwiceRestoresThePixels) {
  GWorldPtr w = NewWorld(40, 20);
  GWorldPtr before = NewWorld(40, 20);
  SetGWorld(w, nullptr);
  Pattern gray;
  Rect band = R(0, 0, 20, 13);
  FillRect(&band, GetQDGlobalsGray(&gray));
  RGBColor red{0xFFFF, 0, 0};
  RGBForeColor(&red);
  Rect dot = R(2, 20, 8, 26);
  PaintRect(&dot);
  ForeColor(blackColor);
  Rect all = R(0, 0, 20, 40);
  CopyBits(GetPortBitMapForCopyBits(w), GetPortBitMapForCopyBits(before), &all, &all, srcCopy,
           nullptr);
  ASSERT_TRUE(PortImagesEqual(w, before));

  Rect area = R(1, 5, 15, 30);
  InvertRect(&area);
  EXPECT_EQ(kBlackPixel, GetPortPixel(w, 29, 14));  // white became black
  EXPECT_FALSE(PortImagesEqual(w, before));
  InvertRect(&area);
  EXPECT_TRUE(PortImagesEqual(w, before));

  // Hilite mode swaps the background with the highlight colour and leaves the rest.
  LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
  InvertRect(&area);
  const uint32_t hilite = GetPortPixel(w, 29, 14);
  EXPECT_NE(kWhitePixel, hilite);
  EXPECT_NE(kBlackPixel, hilite);
  EXPECT_EQ(kBlackPixel, GetPortPixel(w, 6, 2));        // black of the gray stays
  EXPECT_EQ(0xFF0000u, GetPortPixel(w, 21, 3));         // so does red
  EXPECT_NE(0, LMGetHiliteMode() & (1u << hiliteBit));  // one inversion per clearing
  LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
  InvertRect(&area);
  EXPECT_TRUE(PortImagesEqual(w, before));
}

// The highlight laid from state: lighting or darkening twice is doing it once, only the
// background takes the colour, and the clip bounds it like any drawing.
TEST_F(QuickDraw, HiliteRgnIsIdempotentAndLeavesInkAlone) {
  GWorldPtr w = NewWorld(40, 20);
  GWorldPtr before = NewWorld(40, 20);
  SetGWorld(w, nullptr);
  Pattern gray;
  Rect band = R(0, 0, 20, 13);
  FillRect(&band, GetQDGlobalsGray(&gray));
  Rect all = R(0, 0, 20, 40);
  CopyBits(GetPortBitMapForCopyBits(w), GetPortBitMapForCopyBits(before), &all, &all, srcCopy,
           nullptr);
  // The inversion's highlight colour, for comparison.
  LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
  Rect probe = R(19, 39, 20, 40);
  InvertRect(&probe);
  const uint32_t hilite = GetPortPixel(w, 39, 19);
  LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
  InvertRect(&probe);

  RgnHandle rgn = NewRgn();
  Rect area = R(1, 5, 15, 30);
  RectRgn(rgn, &area);
  for (bool lit : {true, true}) {
    HiliteRgn(rgn, lit);
    EXPECT_EQ(hilite, GetPortPixel(w, 29, 14));
    EXPECT_EQ(kBlackPixel, GetPortPixel(w, 6, 2));  // the black of the gray stays
    EXPECT_EQ(hilite, GetPortPixel(w, 5, 2));       // its white is lit
    EXPECT_EQ(kWhitePixel, GetPortPixel(w, 30, 14));  // outside the region
  }
  HiliteRgn(rgn, false);
  HiliteRgn(rgn, false);
  EXPECT_TRUE(PortImagesEqual(w, before));

  Rect clip = R(0, 0, 20, 20);
  ClipRect(&clip);
  HiliteRgn(rgn, true);
  EXPECT_EQ(hilite, GetPortPixel(w, 19, 14));
  EXPECT_EQ(kWhitePixel, GetPortPixel(w, 20, 14)) << "clipped";
  Rect everything = R(-100, -100, 100, 100);
  ClipRect(&everything);
  HiliteRgn(rgn, false);
  EXPECT_TRUE(PortImagesEqual(w, before));
  DisposeRgn(rgn);
}

TEST_F(QuickDraw, SetOriginKeepsTheClipInLocalCoordinates) {
  GWorldPtr w = NewWorld(20, 20);
  Rect clip = R(0, 0, 10, 10);
  ClipRect(&clip);
  SetOrigin(5, 5);
  Rect bounds;
  GetPortBounds(w, &bounds);
  EXPECT_TRUE(SameRect(bounds, R(5, 5, 25, 25)));

  Rect everything = R(-100, -100, 100, 100);
  PaintRect(&everything);
  // Local 5..9 is what the clip lets through, and local 5 is now pixel 0.
  EXPECT_EQ(25, CountBlack(w, R(0, 0, 20, 20)));
  EXPECT_EQ("#####.", Row(w, 4, 0, 6));
  EXPECT_EQ("......", Row(w, 5, 0, 6));

  Point p{7, 8};
  LocalToGlobal(&p);  // an offscreen world has no screen place: only the origin counts
  EXPECT_EQ(3, p.h);
  EXPECT_EQ(2, p.v);
}

TEST_F(QuickDraw, DrawingStaysInsideClipAndVisibleRegions) {
  GWorldPtr w = NewWorld(20, 20);
  RgnHandle rgn = NewRgn();
  RgnHandle other = NewRgn();
  SetRectRgn(rgn, 0, 0, 10, 10);
  SetRectRgn(other, 5, 5, 15, 15);
  DiffRgn(rgn, other, rgn);  // an L shape
  SetClip(rgn);
  Rect all = R(0, 0, 20, 20);
  PaintRect(&all);
  EXPECT_EQ(100 - 25, CountBlack(w, all));
  EXPECT_TRUE(PtInRgn(Point{2, 2}, rgn));
  EXPECT_FALSE(PtInRgn(Point{7, 7}, rgn));
  Rect b;
  GetRegionBounds(rgn, &b);
  EXPECT_TRUE(SameRect(b, R(0, 0, 10, 10)));
  DisposeRgn(rgn);
  DisposeRgn(other);
}

// Rows of a little grid, as a view draws them: the first row shown at the top.
void DrawGridRows(int firstRow, int row0, int row1, int columnShift) {
  const int kRow = 12;
  TextFont(kGenevaFontNumber);
  TextSize(9);
  Pattern gray;
  for (int row = row0; row <= row1; ++row) {
    const int top = (row - firstRow) * kRow;
    if (row % 3 == 0) {
      PenPat(GetQDGlobalsGray(&gray));
    } else {
      PenNormal();
    }
    MoveTo(0, static_cast<int16_t>(top + kRow - 1));
    LineTo(199, static_cast<int16_t>(top + kRow - 1));
    PenNormal();
    for (int col = 0; col < 6; ++col) {
      const int x = col * 40 - columnShift;
      MoveTo(static_cast<int16_t>(x + 39), static_cast<int16_t>(top));
      LineTo(static_cast<int16_t>(x + 39), static_cast<int16_t>(top + kRow - 1));
      Str255 s = PStr("r" + std::to_string(row) + "c" + std::to_string(col));
      MoveTo(static_cast<int16_t>(x + 3), static_cast<int16_t>(top + 9));
      DrawString(s);
    }
  }
}

TEST_F(QuickDraw, ScrollRectPlusExposedBandEqualsFullRedraw) {
  const int kRow = 12, kRows = 10;
  for (int n : {-3, -1, 2, 4, 12}) {  // rows moved; 12 is more than the port shows
    GWorldPtr scrolled = NewWorld(200, kRow * kRows);
    DrawGridRows(0 + 20, 20, 20 + kRows - 1, 0);
    const int first = 20 - n;  // n > 0 moves the picture down: earlier rows come in
    Rect content = R(0, 0, kRow * kRows, 200);
    RgnHandle exposed = NewRgn();
    ScrollRect(&content, 0, static_cast<int16_t>(n * kRow), exposed);
    Rect band;
    GetRegionBounds(exposed, &band);
    const int shown = std::min(std::abs(n), kRows);
    EXPECT_EQ(shown * kRow, band.bottom - band.top) << n;
    EXPECT_EQ(n > 0 ? 0 : (kRows - shown) * kRow, band.top) << n;
    SetClip(exposed);
    const int r0 = n > 0 ? first : first + kRows - shown;
    DrawGridRows(first, r0, r0 + shown - 1, 0);
    DisposeRgn(exposed);

    GWorldPtr full = NewWorld(200, kRow * kRows);
    DrawGridRows(first, first, first + kRows - 1, 0);
    EXPECT_TRUE(PortImagesEqual(scrolled, full)) << "rows moved " << n;
  }
}

TEST_F(QuickDraw, ScrollRectSidewaysLeavesAnErasedStrip) {
  GWorldPtr w = NewWorld(200, 60);
  DrawGridRows(0, 0, 4, 0);
  GWorldPtr full = NewWorld(200, 60);
  DrawGridRows(0, 0, 4, 40);
  SetGWorld(w, nullptr);
  Rect content = R(0, 0, 60, 200);
  RgnHandle exposed = NewRgn();
  ScrollRect(&content, -40, 0, exposed);
  Rect band;
  GetRegionBounds(exposed, &band);
  EXPECT_TRUE(SameRect(band, R(0, 160, 60, 200)));
  EXPECT_EQ(0, CountBlack(w, band));
  SetClip(exposed);
  DrawGridRows(0, 0, 4, 40);
  EXPECT_TRUE(PortImagesEqual(w, full));
  DisposeRgn(exposed);
}

TEST_F(QuickDraw, OffscreenWorldThroughItsPixelMapAndCopiedToAWindow) {
  Rect bounds = R(0, 0, 30, 20);
  GWorldPtr world = nullptr;
  ASSERT_EQ(noErr, NewGWorld(&world, 0, &bounds, nullptr, nullptr, noNewDevice));
  worlds_.push_back(world);
  GWorldPtr bad = nullptr;
  EXPECT_EQ(paramErr, NewGWorld(&bad, 8, &bounds, nullptr, nullptr, 0));

  PixMapHandle pm = GetGWorldPixMap(world);
  ASSERT_TRUE(LockPixels(pm));
  EXPECT_EQ(32, GetPixDepth(pm));
  const int32_t rowBytes = GetPixRowBytes(pm);
  EXPECT_GE(rowBytes, 20 * 4);
  char* base = GetPixBaseAddr(pm);
  // A red column written through the pixel map...
  for (int y = 0; y < 30; ++y) {
    const uint32_t red = 0xFFFF0000u;
    std::memcpy(base + y * rowBytes + 4 * 7, &red, 4);
  }
  EXPECT_EQ(0xFF0000u, GetPortPixel(world, 7, 12));
  // ...and a black line drawn with QuickDraw, read back through it.
  SetGWorld(world, nullptr);
  MoveTo(0, 3);
  LineTo(19, 3);
  uint32_t px;
  std::memcpy(&px, GetPixBaseAddr(pm) + 3 * rowBytes + 4 * 15, 4);
  EXPECT_EQ(0xFF000000u, px);

  WindowRef win = NewDocumentWindow(R(100, 100, 300, 400));
  CGrafPtr port = GetWindowPort(win);
  Rect clip = R(0, 0, 200, 60);
  ClipRect(&clip);
  Rect to = R(40, 50, 70, 70);
  CopyBits(GetPortBitMapForCopyBits(world), GetPortBitMapForCopyBits(port), &bounds, &to, srcCopy,
           nullptr);
  EXPECT_EQ(0xFF0000u, GetPortPixel(port, 50 + 7, 40 + 12) & 0xFFFFFFu);
  EXPECT_EQ(kBlackPixel, GetPortPixel(port, 54, 43));
  EXPECT_EQ(kBlackPixel, GetPortPixel(port, 59, 43));
  EXPECT_EQ(kWhitePixel, GetPortPixel(port, 60, 43));  // cut by the window's clip
  UnlockPixels(pm);
}

TEST_F(QuickDraw, TextAdvancesThePenByItsWidthAndIsLogged) {
  GWorldPtr w = NewWorld(300, 40);
  int16_t arial = -1, geneva = -1, none = -1;
  GetFNum(PStr("Arial"), &arial);
  GetFNum(PStr("geneva"), &geneva);
  GetFNum(PStr("Chicago"), &none);
  EXPECT_EQ(kArialFontNumber, arial);
  EXPECT_EQ(kGenevaFontNumber, geneva);
  EXPECT_EQ(0, none);

  StartTextDrawLog(w);
  TextFont(arial);
  TextSize(12);
  TextFace(bold);
  const Str255 s = PStr("Caf\x8E 100%");  // Mac Roman e acute
  const int width = StringWidth(s);
  EXPECT_GT(width, 30);
  MoveTo(10, 20);
  DrawString(s);
  Point pen;
  GetPen(&pen);
  EXPECT_EQ(10 + width, pen.h);
  EXPECT_EQ(20, pen.v);
  // Ink lies on and above the baseline, between the start and the end of the pen.
  EXPECT_GT(CountBlack(w, R(8, 10, 21, 10 + width)), 20);
  EXPECT_EQ(0, CountBlack(w, R(0, 0, 40, 9)));
  EXPECT_EQ(0, CountBlack(w, R(0, 10 + width + 2, 40, 300)));
  const std::string png = ::testing::TempDir() + "toolbox-text.png";
  ASSERT_TRUE(SavePortImage(w, png));
  EXPECT_GT(std::filesystem::file_size(png), 100u);
  std::filesystem::remove(png);

  TextFace(normal);
  DrawText("abcdef", 2, 3);
  const auto log = TakeTextDrawLog(w);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("Caf\x8E 100%", log[0].text);
  EXPECT_EQ(10, log[0].pen.h);
  EXPECT_EQ(20, log[0].pen.v);
  EXPECT_EQ(arial, log[0].font);
  EXPECT_EQ(12, log[0].size);
  EXPECT_EQ(bold, log[0].face);
  EXPECT_EQ("cde", log[1].text);
  EXPECT_EQ(10 + width, log[1].pen.h);
  EXPECT_EQ(normal, log[1].face);
}

TEST_F(QuickDraw, FontsHaveFixedWholePixelWidths) {
  NewWorld(10, 10);
  const Str255 text = PStr("Marktally 98.5%");
  int sum = 0;
  TextFont(kArialFontNumber);
  TextSize(10);
  for (int i = 1; i <= text[0]; ++i) sum += TextWidth(text.text() + i - 1, 1);
  EXPECT_EQ(sum, StringWidth(text));  // no kerning: the string is its characters
  const int arial = StringWidth(text);
  TextFont(kGenevaFontNumber);
  const int geneva = StringWidth(text);
  TextFont(applFont);
  EXPECT_EQ(geneva, StringWidth(text));  // the application font is Geneva's
  TextSize(20);
  EXPECT_GT(StringWidth(text), geneva * 3 / 2);
  // The installed Liberation Sans and DejaVu Sans, by their own advances.
  EXPECT_EQ(73, arial);
  EXPECT_EQ(81, geneva);
}

TEST_F(QuickDraw, MacRomanMapsToUnicodeAndBack) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(one, Utf8ToMacRoman(MacRomanToUtf8(one))) << b;
  }
  EXPECT_EQ("\xE2\x82\xAC", MacRomanToUtf8("\xDB"));  // euro
  EXPECT_EQ("\xE2\x80\xA6", MacRomanToUtf8("\xC9"));  // ellipsis
  EXPECT_EQ("\xC3\xA9", MacRomanToUtf8("\x8E"));      // e acute
  EXPECT_EQ("a?b", Utf8ToMacRoman("a\xE4\xB8\xAD"
                                  "b"));
}

}  // namespace
