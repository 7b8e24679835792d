// The document window in the program's frame: parts, title and modified mark, growing,
// zooming, dragging, coordinates and the screen.
#include <gtest/gtest.h>

#include "toolbox_fixture.h"

namespace {

using Windows = ToolboxTest;

const Rect kBounds{100, 50, 500, 750};  // 700 x 400

EventRecord Next() {
  EventRecord e{};
  EXPECT_TRUE(WaitNextEvent(mDownMask, &e, 0, nullptr));
  return e;
}

TEST_F(Windows, FindWindowTellsTheParts) {
  WindowRef w = NewDocumentWindow(kBounds);
  const struct {
    Point where;
    int16_t part;
    bool window;
  } cases[] = {
      {{300, 400}, inContent, true}, {{100, 50}, inContent, true},  // the content's first pixel
      {{499, 749}, inGrow, true},  // the grow box: the last 14 pixels each way
      {{486, 736}, inGrow, true},    {{485, 736}, inContent, true},
      {{90, 300}, inMenuBar, false},  // the frame's menu bar over the content
      {{77, 300}, inDesk, false},    {{300, 760}, inDesk, false},
      {{500, 300}, inDesk, false},
  };
  for (const auto& c : cases) {
    WindowRef hit = nullptr;
    EXPECT_EQ(c.part, FindWindow(c.where, &hit)) << c.where.v << "," << c.where.h;
    EXPECT_EQ(c.window ? w : nullptr, hit) << c.where.v << "," << c.where.h;
  }
  HideWindow(w);
  WindowRef hit = nullptr;
  EXPECT_EQ(inDesk, FindWindow(Point{300, 400}, &hit));
}

TEST_F(Windows, OnlyOneDocumentWindowAndTheFrameOutlivesIt) {
  EXPECT_EQ("Marktally", FrameTitle());
  WindowRef w = NewDocumentWindow(kBounds);
  WindowRef second = nullptr;
  EXPECT_EQ(paramErr, CreateNewWindow(kDocumentWindowClass, 0, &kBounds, &second));
  EXPECT_EQ(nullptr, second);
  EXPECT_EQ(w, FrontWindow());
  EXPECT_EQ(w, GetWindowFromPort(GetWindowPort(w)));

  SetWTitle(w, PStr("Period 3 Fran\x8D"
                    "ais.mtb"));  // Mac Roman c cedilla
  EXPECT_EQ(
      "Period 3 Fran\xC3\xA7"
      "ais.mtb",
      FrameTitle());
  Str255 title;
  GetWTitle(w, title);
  EXPECT_EQ(
      "Period 3 Fran\x8D"
      "ais.mtb",
      title.str());
  SetWindowModified(w, true);
  EXPECT_TRUE(IsWindowModified(w));
  EXPECT_EQ(
      "Period 3 Fran\xC3\xA7"
      "ais.mtb*",
      FrameTitle());
  SetWindowModified(w, false);
  EXPECT_EQ(
      "Period 3 Fran\xC3\xA7"
      "ais.mtb",
      FrameTitle());

  DisposeWindow(w);
  EXPECT_EQ(nullptr, FrontWindow());
  EXPECT_EQ("Marktally", FrameTitle());
  GrafPtr port = nullptr;
  GetPort(&port);
  EXPECT_EQ(nullptr, port);  // the window's port was current
  // The empty frame keeps its place: its menu bar is still where it was.
  WindowRef hit = nullptr;
  EXPECT_EQ(inMenuBar, FindWindow(Point{90, 300}, &hit));
}

TEST_F(Windows, GrowFollowsTheMouseWithinLimitsAndInvalidatesTheNewArea) {
  WindowRef w = NewDocumentWindow(kBounds);
  BeginUpdate(w);
  EndUpdate(w);
  const Rect limits{400, 600, 736, 992};  // min 600 x 400, max 992 x 736
  const struct {
    Point to;
    int32_t result;
  } cases[] = {
      {{520, 800}, (421 << 16) | 751},
      {{600, 3000}, (501 << 16) | 992},  // held to the maximum width
      {{300, 600}, (400 << 16) | 600},   // and to the minimum size
      {{499, 749}, 0},                   // no change
  };
  for (const auto& c : cases) {
    ScriptMousePath({Point{499, 749}, Point{510, 760}, c.to}, 0);
    EventRecord e = Next();
    WindowRef hit = nullptr;
    ASSERT_EQ(inGrow, FindWindow(e.where, &hit));
    EXPECT_EQ(c.result, GrowWindow(hit, e.where, &limits)) << c.to.v << "," << c.to.h;
  }
  SizeWindow(w, 720, 430, true);
  Rect port;
  GetPortBounds(GetWindowPort(w), &port);
  EXPECT_TRUE(SameRect(port, Rect{0, 0, 430, 720}));
  Rect global;
  GetWindowBounds(w, kWindowContentRgn, &global);
  EXPECT_TRUE(SameRect(global, Rect{100, 50, 530, 770}));
  RgnHandle update = NewRgn();
  GetWindowRegion(w, kWindowUpdateRgn, update);
  RgnHandle expected = NewRgn();
  RgnHandle old = NewRgn();
  SetRectRgn(expected, 0, 0, 720, 430);
  SetRectRgn(old, 0, 0, 700, 400);
  DiffRgn(expected, old, expected);
  EXPECT_TRUE(EqualRgn(expected, update));
  DisposeRgn(update);
  DisposeRgn(expected);
  DisposeRgn(old);
}

TEST_F(Windows, DesktopResizeArrivesAsAGrowWithItsSize) {
  WindowRef w = NewDocumentWindow(kBounds);
  const Rect limits{400, 600, 736, 992};
  SendDesktopResize(1200, 350);
  EventRecord e = Next();
  WindowRef hit = nullptr;
  ASSERT_EQ(inGrow, FindWindow(e.where, &hit));
  EXPECT_EQ(w, hit);
  EXPECT_EQ((400 << 16) | 992, GrowWindow(hit, e.where, &limits));
  SendDesktopResize(700, 400);  // the size it has: nothing to do
  EXPECT_FALSE(WaitNextEvent(mDownMask, &e, 0, nullptr));
}

// A window restored at start-up passes through its ideal size on its way to its saved
// place. A busy window manager reports both sizes back one by one, the ideal one after the
// program already asked for the saved one: neither is a resize by the desktop, and the
// window keeps its place. A size the desktop picks itself still arrives as a grow.
TEST_F(Windows, TheProgramsOwnSizesReportedLateAreNoDesktopResize) {
  WindowRef w = NewDocumentWindow(kBounds);
  Point ideal{500, 900};
  ZoomWindowIdeal(w, inZoomOut, &ideal);
  SetWindowBounds(w, kWindowContentRgn, &kBounds);
  SendDesktopResize(900, 500);
  SendDesktopResize(700, 400);
  EventRecord e;
  EXPECT_FALSE(WaitNextEvent(mDownMask, &e, 0, nullptr)) << "a stale size became a grow";
  Rect r;
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, kBounds));
  SendDesktopResize(900, 500);  // reported before: now the desktop's own again
  e = Next();
  WindowRef hit = nullptr;
  ASSERT_EQ(inGrow, FindWindow(e.where, &hit));
  EXPECT_EQ((500 << 16) | 900, GrowWindow(hit, e.where, nullptr));
}

TEST_F(Windows, ZoomTogglesBetweenUserAndStandardStates) {
  WindowRef w = NewDocumentWindow(kBounds);
  Point ideal{300, 800};  // v height, h width
  EXPECT_FALSE(IsWindowInStandardState(w, &ideal, nullptr));
  ZoomWindowIdeal(w, inZoomOut, &ideal);
  Rect r;
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, Rect{100, 50, 400, 850}));  // the top-left stays
  EXPECT_TRUE(IsWindowInStandardState(w, &ideal, nullptr));
  ZoomWindowIdeal(w, inZoomIn, &ideal);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, kBounds));

  Point huge{700, 1000};  // too wide and tall for where the window is: moved onto the screen
  ZoomWindowIdeal(w, inZoomOut, &huge);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, Rect{68, 24, 768, 1024}));

  // A placement restored at start-up becomes the state the zoom box returns to.
  const Rect placed{150, 100, 600, 800};
  SetWindowBounds(w, kWindowContentRgn, &placed);
  SetWindowIdealUserState(w, &placed);
  ZoomWindowIdeal(w, inZoomOut, &ideal);
  ZoomWindowIdeal(w, inZoomIn, &ideal);
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, placed));

  // The frame's maximise button is the zoom box.
  PostWindowPartClick(inZoomOut);
  EventRecord e = Next();
  WindowRef hit = nullptr;
  const int16_t part = FindWindow(e.where, &hit);
  EXPECT_EQ(inZoomOut, part);
  EXPECT_TRUE(TrackBox(hit, e.where, part));
}

TEST_F(Windows, DragMovesTheWindowWithTheMouse) {
  WindowRef w = NewDocumentWindow(kBounds);
  Rect desk;
  GetRegionBounds(GetGrayRgn(), &desk);
  EXPECT_TRUE(SameRect(desk, Rect{22, 0, 768, 1024}));
  // The mouse leaves the desktop on the way: the window waits for it there.
  ScriptMousePath({Point{110, 300}, Point{120, 320}, Point{10, 320}, Point{140, 330}}, 0);
  EventRecord e = Next();
  DragWindow(w, e.where, &desk);
  Rect r;
  GetWindowBounds(w, kWindowContentRgn, &r);
  EXPECT_TRUE(SameRect(r, Rect{130, 80, 530, 780}));
}

TEST_F(Windows, LocalAndGlobalCoordinatesFollowWindowAndOrigin) {
  WindowRef w = NewDocumentWindow(kBounds);
  Point p{10, 20};
  LocalToGlobal(&p);
  EXPECT_EQ(110, p.v);
  EXPECT_EQ(70, p.h);
  SetOrigin(0, 100);
  p = Point{110, 20};
  LocalToGlobal(&p);
  EXPECT_EQ(110, p.v);
  GlobalToLocal(&p);
  EXPECT_EQ(110, p.v);
  EXPECT_EQ(20, p.h);
  (void)w;
}

TEST_F(Windows, ScreenAndThemeMetrics) {
  SetScreenForTesting(Rect{0, 0, 900, 1440}, Rect{25, 0, 900, 1440}, 25);
  Rect r;
  GetMainScreenBounds(&r);
  EXPECT_TRUE(SameRect(r, Rect{0, 0, 900, 1440}));
  GetAvailableWindowPositioningBounds(GetMainDevice(), &r);
  EXPECT_TRUE(SameRect(r, Rect{25, 0, 900, 1440}));
  int16_t bar = 0;
  GetThemeMenuBarHeight(&bar);
  EXPECT_EQ(25, bar);
  int32_t sb = 0;
  EXPECT_EQ(noErr, GetThemeMetric(kThemeMetricScrollBarWidth, &sb));
  EXPECT_EQ(15, sb);
}

TEST_F(Windows, GrowIconSitsInTheCornerBetweenTheScrollBars) {
  WindowRef w = NewDocumentWindow(kBounds);
  DrawGrowIcon(w);
  CGrafPtr port = GetWindowPort(w);
  EXPECT_EQ("#", Row(port, 399, 686, 687));  // the box's left side, 14 pixels in
  EXPECT_EQ("#", Row(port, 386, 690, 691));  // its top
  EXPECT_EQ(".", Row(port, 385, 690, 691));
  EXPECT_EQ(".", Row(port, 399, 685, 686));
  EXPECT_GT(CountBlack(port, Rect{387, 687, 400, 700}), 6);  // the ribs
}

}  // namespace
