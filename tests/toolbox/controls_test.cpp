// Scroll bars and the placard: their parts, tracking with an action procedure, the live
// thumb, values and drawing.
#include <gtest/gtest.h>

#include <vector>

#include "toolbox_fixture.h"

namespace {

const Rect kBounds{100, 50, 500, 750};  // a 700 x 400 port
const int kBarX = 693;                  // across the vertical bar

std::vector<int16_t> gParts;
// A live procedure as the program writes them: arrows by one, pages by the view size.
void Scroll(ControlRef c, int16_t part) {
  gParts.push_back(part);
  const int16_t v = GetControlValue(c);
  const auto page = static_cast<int16_t>(GetControlViewSize(c));
  switch (part) {
    case kControlUpButtonPart:
      SetControlValue(c, static_cast<int16_t>(v - 1));
      break;
    case kControlDownButtonPart:
      SetControlValue(c, static_cast<int16_t>(v + 1));
      break;
    case kControlPageUpPart:
      SetControlValue(c, static_cast<int16_t>(v - page));
      break;
    case kControlPageDownPart:
      SetControlValue(c, static_cast<int16_t>(v + page));
      break;
    default:
      break;
  }
}

class Controls : public ToolboxTest {
 protected:
  void SetUp() override {
    ToolboxTest::SetUp();
    gParts.clear();
    window = NewDocumentWindow(kBounds);
    port = GetWindowPort(window);
    // As the program places them: the vertical bar, the horizontal bar, the placard.
    const int sb = 15, b = 400, r = 700;
    const Rect v{-1, static_cast<int16_t>(r + 1 - sb), static_cast<int16_t>(b + 2 - sb),
                 static_cast<int16_t>(r + 1)};
    const Rect h{static_cast<int16_t>(b + 1 - sb), 90, static_cast<int16_t>(b + 1),
                 static_cast<int16_t>(r + 2 - sb)};
    const Rect p{static_cast<int16_t>(b + 1 - sb), -1, static_cast<int16_t>(b + 1), 90};
    vbar = NewControl(window, &v, PStr(""), true, 0, 0, 100, kControlScrollBarLiveProc, 0);
    hbar = NewControl(window, &h, PStr(""), true, 0, 0, 10, kControlScrollBarLiveProc, 0);
    placard = NewControl(window, &p, PStr(""), true, 0, 0, 0, kControlPlacardProc, 0);
    SetControlViewSize(vbar, 20);
  }

  // Tracks a scripted mouse path (local points) from a mouse-down on the control.
  int16_t Track(ControlRef c, std::vector<Point> localPath) {
    for (Point& p : localPath) {
      p.v = static_cast<int16_t>(p.v + kBounds.top);
      p.h = static_cast<int16_t>(p.h + kBounds.left);
    }
    ScriptMousePath(localPath, 0);
    EventRecord e;
    EXPECT_TRUE(WaitNextEvent(mDownMask, &e, 0, nullptr));
    Point local = e.where;
    GlobalToLocal(&local);
    ControlRef hit = nullptr;
    FindControl(local, window, &hit);
    EXPECT_EQ(c, hit);
    return TrackControl(hit, local, NewControlActionUPP(Scroll));
  }

  WindowRef window = nullptr;
  CGrafPtr port = nullptr;
  ControlRef vbar = nullptr, hbar = nullptr, placard = nullptr;
};

TEST_F(Controls, FindControlTellsTheParts) {
  SetControlValue(vbar, 50);  // the thumb: 59 pixels from 163
  const struct {
    Point at;
    int16_t part;
  } cases[] = {
      {{0, kBarX}, kControlUpButtonPart},     {{13, kBarX}, kControlUpButtonPart},
      {{14, kBarX}, kControlPageUpPart},      {{162, kBarX}, kControlPageUpPart},
      {{163, kBarX}, kControlIndicatorPart},  {{221, kBarX}, kControlIndicatorPart},
      {{222, kBarX}, kControlPageDownPart},   {{371, kBarX}, kControlPageDownPart},
      {{372, kBarX}, kControlDownButtonPart}, {{386, kBarX}, kControlDownButtonPart},
  };
  for (const auto& c : cases) {
    ControlRef hit = nullptr;
    EXPECT_EQ(c.part, FindControl(c.at, window, &hit)) << c.at.v;
    EXPECT_EQ(vbar, hit);
  }
  ControlRef hit = nullptr;
  EXPECT_EQ(kControlNoPart, FindControl(Point{395, 40}, window, &hit));
  EXPECT_EQ(placard, hit);
  EXPECT_EQ(kControlNoPart, FindControl(Point{200, 200}, window, &hit));
  EXPECT_EQ(nullptr, hit);

  DeactivateControl(vbar);  // an inactive bar has no parts
  EXPECT_EQ(kControlNoPart, FindControl(Point{5, kBarX}, window, &hit));
  EXPECT_EQ(vbar, hit);
  ActivateControl(vbar);
  SetControlMaximum(vbar, 0);  // nor has an empty one
  EXPECT_EQ(kControlNoPart, FindControl(Point{5, kBarX}, window, &hit));
  HideControl(vbar);
  EXPECT_EQ(kControlNoPart, FindControl(Point{5, kBarX}, window, &hit));
  EXPECT_EQ(nullptr, hit);
}

TEST_F(Controls, ArrowRepeatsWhileTheMouseStaysInIt) {
  EXPECT_EQ(kControlDownButtonPart,
            Track(vbar, {{380, kBarX}, {381, kBarX}, {382, kBarX}, {380, kBarX}}));
  EXPECT_EQ(4, GetControlValue(vbar));
  EXPECT_EQ(std::vector<int16_t>(4, kControlDownButtonPart), gParts);

  gParts.clear();
  EXPECT_EQ(0, Track(vbar, {{5, kBarX}, {6, kBarX}, {200, kBarX}, {201, kBarX}}));
  EXPECT_EQ(2, GetControlValue(vbar));  // released off the arrow: two steps only
  EXPECT_EQ(2u, gParts.size());

  gParts.clear();
  SetControlValue(hbar, 10);
  EXPECT_EQ(kControlDownButtonPart, Track(hbar, {{392, 680}}));  // at the maximum already
  EXPECT_EQ(10, GetControlValue(hbar));
  EXPECT_EQ(1u, gParts.size());
}

TEST_F(Controls, PageAreaRepeatsUntilTheThumbReachesTheMouse) {
  std::vector<Point> path(10, Point{300, kBarX});
  Track(vbar, path);
  EXPECT_EQ(80, GetControlValue(vbar));  // the thumb now lies under the mouse
  EXPECT_EQ(std::vector<int16_t>(4, kControlPageDownPart), gParts);
}

TEST_F(Controls, LiveThumbFollowsTheMouseAndCallsTheProcedure) {
  std::vector<int16_t> values;
  gParts.clear();
  // 299 pixels of slack carry 100 values; the thumb starts at the top of the track.
  EXPECT_EQ(kControlIndicatorPart,
            Track(vbar, {{40, kBarX}, {70, kBarX}, {71, kBarX}, {190, kBarX}, {1000, kBarX}}));
  EXPECT_EQ(100, GetControlValue(vbar));
  EXPECT_EQ(std::vector<int16_t>(3, kControlIndicatorPart), gParts);  // 10, 50 and 100
  gParts.clear();
  Track(vbar, {{330, kBarX}, {30, kBarX}});  // from the thumb's place up past the top
  EXPECT_EQ(0, GetControlValue(vbar));
}

TEST_F(Controls, ValuesStayWithinTheRange) {
  SetControlValue(vbar, 150);
  EXPECT_EQ(100, GetControlValue(vbar));
  SetControlValue(vbar, -3);
  EXPECT_EQ(0, GetControlValue(vbar));
  SetControlValue(vbar, 70);
  SetControlMaximum(vbar, 40);
  EXPECT_EQ(40, GetControlValue(vbar));
  SetControlMinimum(vbar, 50);
  EXPECT_EQ(50, GetControlMaximum(vbar));
  EXPECT_EQ(50, GetControlValue(vbar));
  EXPECT_EQ(50, GetControlMinimum(vbar));
}

TEST_F(Controls, BarsAreDrawnIntoTheWindowImage) {
  // Frame, arrow squares, gray track and the white thumb at the value.
  EXPECT_EQ("#", Row(port, 200, 686, 687));
  EXPECT_EQ("#", Row(port, 13, 690, 691));                  // the up arrow's lower side
  EXPECT_EQ("#", Row(port, 7, kBarX, kBarX + 1));           // its triangle
  EXPECT_EQ(".............", Column(port, kBarX, 15, 28));  // inside the thumb at the top
  const std::string track = Row(port, 120, 687, 699);
  EXPECT_TRUE(track == "#.#.#.#.#.#." || track == ".#.#.#.#.#.#") << track;

  SetControlValue(vbar, 100);
  EXPECT_EQ("#", Row(port, 312, kBarX, kBarX + 1));  // the thumb's top side
  EXPECT_EQ(".", Row(port, 320, kBarX, kBarX + 1));
  EXPECT_NE("..", Row(port, 20, kBarX, kBarX + 2));  // the track where the thumb was

  DeactivateControl(vbar);
  EXPECT_EQ(0, CountBlack(port, Rect{0, 687, 386, 700}));  // frame only
  EXPECT_EQ("#", Row(port, 200, 686, 687));

  // Hiding erases the bar and asks for the area to be drawn again.
  BeginUpdate(window);
  EndUpdate(window);
  HideControl(vbar);
  EXPECT_EQ(0, CountBlack(port, Rect{0, 686, 386, 700}));
  RgnHandle update = NewRgn();
  GetWindowRegion(window, kWindowUpdateRgn, update);
  Rect b;
  GetRegionBounds(update, &b);
  EXPECT_TRUE(SameRect(b, Rect{0, 686, 387, 700}));
  DisposeRgn(update);

  // The placard: a framed box that the program writes its page numbers into.
  EXPECT_EQ("#", Row(port, 386, 50, 51));
  EXPECT_EQ(".", Row(port, 390, 50, 51));
  EXPECT_EQ("#", Row(port, 390, 89, 90));
}

}  // namespace
