// Shared set-up for toolbox tests: the toolbox started headless and reset before each
// test, with helpers for ports and the document window.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "marktally/toolbox/testing.h"

class ToolboxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitToolboxForTesting(); }
  void SetUp() override { ResetToolboxForTesting(); }
  void TearDown() override;

  // An offscreen world of the given size with local (0, 0) at its top-left, made
  // current; disposed after the test.
  GWorldPtr NewWorld(int width, int height);
  // The document window with the given global content rectangle, shown and current.
  WindowRef NewDocumentWindow(const Rect& bounds);

  std::vector<GWorldPtr> worlds_;
};

constexpr uint32_t kBlackPixel = 0x000000;
constexpr uint32_t kWhitePixel = 0xFFFFFF;

// Pixels of a port's image row or column as a string of '#' (black), '.' (white) and
// '?' (other), for readable expectations.
std::string Row(CGrafPtr port, int y, int x0, int x1);
std::string Column(CGrafPtr port, int x, int y0, int y1);
inline bool SameRect(const Rect& a, const Rect& b) { return EqualRect(&a, &b); }

// How many pixels of the rectangle (image coordinates) are black.
int CountBlack(CGrafPtr port, const Rect& r);
