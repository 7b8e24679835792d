#include "toolbox_fixture.h"

void ToolboxTest::TearDown() {
  for (GWorldPtr w : worlds_) DisposeGWorld(w);
  worlds_.clear();
}

GWorldPtr ToolboxTest::NewWorld(int width, int height) {
  Rect bounds{0, 0, static_cast<int16_t>(height), static_cast<int16_t>(width)};
  GWorldPtr world = nullptr;
  EXPECT_EQ(noErr, NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0));
  worlds_.push_back(world);
  SetGWorld(world, nullptr);
  return world;
}

WindowRef ToolboxTest::NewDocumentWindow(const Rect& bounds) {
  WindowRef w = nullptr;
  EXPECT_EQ(noErr,
            CreateNewWindow(kDocumentWindowClass, kWindowStandardDocumentAttributes, &bounds, &w));
  ShowWindow(w);
  SetPortWindowPort(w);
  return w;
}

namespace {
char Glyph(uint32_t pixel) {
  if (pixel == kBlackPixel) return '#';
  if (pixel == kWhitePixel) return '.';
  return '?';
}
}  // namespace

std::string Row(CGrafPtr port, int y, int x0, int x1) {
  std::string s;
  for (int x = x0; x < x1; ++x) s += Glyph(GetPortPixel(port, x, y));
  return s;
}

std::string Column(CGrafPtr port, int x, int y0, int y1) {
  std::string s;
  for (int y = y0; y < y1; ++y) s += Glyph(GetPortPixel(port, x, y));
  return s;
}

int CountBlack(CGrafPtr port, const Rect& r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += GetPortPixel(port, x, y) == kBlackPixel;
  return n;
}
