// The window as the teacher handles it: preferences that survive a restart, the keys
// that page, the wheel, the scroll bars, grow and zoom, the placard, activation, the
// cursor and footnote tags, and the offer to move into today's term.
#include "marktally/shell/window/input.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/toolbox/desktop.h"
#include "tests/shell/window_fixture.h"

namespace {

class WindowBehaviourTest : public WindowTest {
 protected:
  void OpenSample(int students = 60, int assignments = 30) {
    WriteSampleClass(Path("Sample.mtb"), students, assignments);
    PostCommandLineEvents({Path("Sample.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
  }
  Rect Bounds() {
    Rect r;
    GetWindowBounds(gWindow, kWindowContentRgn, &r);
    return r;
  }
  Point Global(int h, int v) {
    const Rect b = Bounds();
    return Point{static_cast<int16_t>(b.top + v), static_cast<int16_t>(b.left + h)};
  }
  void ClickAt(int h, int v, uint16_t modifiers = 0) {
    ScriptMouseClick(Global(h, v), modifiers);
    Run();
  }
  bool UpdatePending() {
    RgnHandle rgn = NewRgn();
    GetWindowRegion(gWindow, kWindowUpdateRgn, rgn);
    const bool pending = !EmptyRgn(rgn);
    DisposeRgn(rgn);
    return pending;
  }
  std::string Placard() {
    StartTextDrawLog(Port());
    UpdatePageNumber();
    std::string text;
    for (const auto& r : TakeTextDrawLog(Port())) text += r.text;
    return text;
  }
  void StorePlacement(const char* text) {
    SetAppPreferenceString("window position", text);
    SynchronizeAppPreferences();
  }
};

bool SameRect(const Rect& a, const Rect& b) { return EqualRect(&a, &b); }
std::string Show(const Rect& r) {
  return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
         "," + std::to_string(r.right);
}

TEST_F(WindowBehaviourTest, TheZoomSurvivesARestart) {
  OpenSample();
  ASSERT_TRUE(Choose(kReportsMenu, 19));
  Stop();
  Start();
  EXPECT_EQ(7, gZoom);
  EXPECT_EQ(14, gReportSize);
  PostCommandLineEvents({Path("Sample.mtb")});
  Run();
  EXPECT_TRUE(Checked(kReportsMenu, 19));
  EXPECT_EQ(366, gTitleWidth);
}

TEST_F(WindowBehaviourTest, AStoredZoomOutsideTheMenuReadsAsSix) {
  for (int16_t stored : {0, 9, -3, 4, 5, 7}) {
    Stop();  // writes its own zoom back
    SetAppPreferenceShort("zoom", stored);
    SynchronizeAppPreferences();
    Start();
    EXPECT_EQ(stored == 5 || stored == 7 ? stored : 6, gZoom) << stored;
  }
}

TEST_F(WindowBehaviourTest, TheWindowPlacementSurvivesARestart) {
  OpenSample();
  const Rect placed{100, 60, 560, 760};
  SetWindowBounds(gWindow, kWindowContentRgn, &placed);
  Stop();  // closes the window, which keeps its place
  Start();
  PostCommandLineEvents({Path("Sample.mtb")});
  Run();
  EXPECT_TRUE(SameRect(placed, Bounds())) << Show(Bounds());
  Rect user;
  GetWindowIdealUserState(gWindow, &user);
  EXPECT_TRUE(SameRect(placed, user));
}

TEST_F(WindowBehaviourTest, TheEmptyFrameKeepsThePlaceOfTheLastWindowStartAfterStart) {
  OpenSample();
  const Rect placed{100, 60, 560, 760};
  SetWindowBounds(gWindow, kWindowContentRgn, &placed);
  ASSERT_TRUE(Choose(kFileMenu, kCloseItem));
  ASSERT_EQ(nullptr, gWindow);
  Rect frame;
  GetEmptyFrameBounds(&frame);
  EXPECT_TRUE(SameRect(placed, frame)) << Show(frame);
  for (int start = 0; start < 3; start++) {
    Stop();  // no class open: the empty frame's place is kept
    Start();
    GetEmptyFrameBounds(&frame);
    EXPECT_TRUE(SameRect(placed, frame)) << "start " << start << ": " << Show(frame);
  }
  DoNewCmd();
  ASSERT_NE(nullptr, gWindow);
  EXPECT_TRUE(SameRect(placed, Bounds())) << Show(Bounds());
}

TEST_F(WindowBehaviourTest, AStoredPlacementIsBroughtOntoTheScreen) {
  // The screen is 1024 x 768 with windows below y 22: the bounds are 64..726 by 18..1006.
  struct Case {
    const char* stored;  // top left right bottom
    Rect expected;       // top left bottom right
  } cases[] = {
      {"100 60 760 560", {100, 60, 560, 760}},
      {"10 -50 650 400", {64, 18, 464, 718}},  // 390 high: the grow minimum is 400
      {"100 0 1500 500", {100, 18, 500, 1006}},
      {"100 100 200 150", {100, 100, 500, 700}},
      {"600 900 1200 900", {326, 406, 726, 1006}},
      {"12 34", {64, 18, 648, 904}},
      {"300 300 200 100", {64, 18, 648, 904}},
      {"1 2 3 4 5", {64, 18, 648, 904}},
      {"0x64 18 818 0x200", {100, 18, 512, 818}},
      // Crafted: numbers no window has, whose sums would overflow.
      {"-2147483648 -2147483648 9 9", {64, 18, 648, 904}},
      {"0 -2147483648 2147483647 300", {64, 18, 648, 904}},
      {"99999999999 0 100 100", {64, 18, 648, 904}},
      {"100 60 760 560x", {64, 18, 648, 904}},
  };
  for (const Case& c : cases) {
    StorePlacement(c.stored);
    DoNewCmd();
    ASSERT_NE(nullptr, gWindow);
    EXPECT_TRUE(SameRect(c.expected, Bounds())) << c.stored << " gave " << Show(Bounds());
    CloseDocument();
  }
}

TEST_F(WindowBehaviourTest, PagingKeysMoveTheRowsAndRedrawOnlyWhenTheyMove) {
  OpenSample();
  const int page = VPageStep();
  InjectKey(kPageDownCharCode, 0);
  Run();
  EXPECT_EQ(page, VScrollValue());
  InjectKey(kEndCharCode, 0);
  Run();
  EXPECT_EQ(VScrollMax(), VScrollValue());
  InjectKey(kPageDownCharCode, 0);
  EXPECT_TRUE(EventLoopTurn(0));
  EXPECT_FALSE(UpdatePending()) << "Page Down at the bottom does not redraw";
  InjectKey(kPageUpCharCode, 0);
  Run();
  EXPECT_EQ(VScrollMax() - page, VScrollValue());
  InjectKey(kHomeCharCode, 0);
  Run();
  EXPECT_EQ(0, VScrollValue());
  InjectKey(kHomeCharCode, 0);
  EXPECT_TRUE(EventLoopTurn(0));
  EXPECT_FALSE(UpdatePending());
}

TEST_F(WindowBehaviourTest, CommandKeysChooseMenuItems) {
  OpenSample();
  InjectKey('t', cmdKey);
  Run();
  EXPECT_EQ(kAttendanceView, gCurrView);
  InjectKey('2', cmdKey);
  Run();
  EXPECT_EQ(1, gCurrentTerm);
  InjectKey('9', cmdKey);  // no such term: nothing
  Run();
  EXPECT_EQ(1, gCurrentTerm);
}

TEST_F(WindowBehaviourTest, TheWheelScrollsRowsAndColumnsWithinRange) {
  OpenSample();
  SetControlValue(gHScrollBar, 0);
  InjectMouseWheel(kEventMouseWheelAxisY, -3);
  Run();
  EXPECT_EQ(3, VScrollValue());
  InjectMouseWheel(kEventMouseWheelAxisY, 10);
  Run();
  EXPECT_EQ(0, VScrollValue());
  InjectMouseWheel(kEventMouseWheelAxisX, -2);
  Run();
  EXPECT_EQ(2, HScrollValue());
  InjectMouseWheel(2, -5);
  Run();
  EXPECT_EQ(0, VScrollValue());
  EXPECT_EQ(2, HScrollValue());
}

TEST_F(WindowBehaviourTest, TheScrollBarsTrackArrowsPagesAndTheThumb) {
  OpenSample();
  Rect port;
  GetPortBounds(Port(), &port);
  const int sb = gScrollBarSize;
  const int x = port.right + 1 - sb + sb / 2;
  ClickAt(x, port.bottom + 2 - sb - sb / 2);  // the down arrow
  EXPECT_EQ(1, VScrollValue());
  ClickAt(x, port.bottom - 3 * sb);  // the track below the thumb
  EXPECT_EQ(1 + VPageStep(), VScrollValue());
  ClickAt(x, sb / 2);  // the up arrow
  EXPECT_EQ(VPageStep(), VScrollValue());

  Rect bar;
  GetControlBounds(gVScrollBar, &bar);
  const int start = VScrollValue();
  // Drag the thumb from wherever it is a good way down.
  int thumb = -1;
  for (int y = bar.top + sb; y < bar.bottom - sb && thumb < 0; y++) {
    ControlRef control = nullptr;
    GrafPtr saved;
    GetPort(&saved);
    SetPort(Port());
    if (FindControl(Point{static_cast<int16_t>(y), static_cast<int16_t>(x)}, gWindow,
                    &control) == kControlIndicatorPart)
      thumb = y;
    SetPort(saved);
  }
  ASSERT_GE(thumb, 0);
  ScriptMousePath({Global(x, thumb), Global(x, thumb + 40), Global(x, thumb + 120)}, 0);
  Run();
  EXPECT_GT(VScrollValue(), start);
  EXPECT_EQ(VScrollValue(), gOldVPos);
}

TEST_F(WindowBehaviourTest, GrowingKeepsTheLimits) {
  OpenSample();
  struct Case {
    int16_t width, height, wantWidth, wantHeight;
  } cases[] = {{700, 500, 700, 500}, {300, 200, 600, 400}, {2000, 2000, 992, 736}};
  for (const Case& c : cases) {
    PostWindowPartClick(inGrow, c.width, c.height);
    Run();
    Rect port;
    GetPortBounds(Port(), &port);
    EXPECT_EQ(c.wantWidth, port.right - port.left);
    EXPECT_EQ(c.wantHeight, port.bottom - port.top);
    EXPECT_EQ(VScrollMax(), GetControlMaximum(gVScrollBar));
    EXPECT_EQ(HScrollMax(), GetControlMaximum(gHScrollBar));
  }
}

TEST_F(WindowBehaviourTest, TheZoomBoxFitsTheClassAndComesBack) {
  OpenSample(3, 2);
  const Rect before = Bounds();
  PostWindowPartClick(inZoomOut);
  Run();
  Rect port;
  GetPortBounds(Port(), &port);
  EXPECT_EQ(600, port.right - port.left) << "at least 600 wide";
  EXPECT_EQ(400, port.bottom - port.top) << "three students: at least 400 high";
  PostWindowPartClick(inZoomOut);
  Run();
  EXPECT_TRUE(SameRect(before, Bounds())) << Show(Bounds());

  Point largest{700, 1200};
  gCurrView = kAttendanceView;
  GetZoomSize(&largest);
  EXPECT_EQ(1200, largest.h) << "wider than the screen: the screen";
  gCurrView = kGradebookView;
}

TEST_F(WindowBehaviourTest, ThePlacardNamesThePagesInSight) {
  WriteSampleClass(Path("Small.mtb"), 3, 2);
  PostCommandLineEvents({Path("Small.mtb")});
  Run();
  ASSERT_TRUE(Choose(kReportsMenu, 17));  // zoom 5: 6 columns and 25 rows a page
  EXPECT_EQ("Page 1 - 3", Placard()) << "15 columns in sight";
  PostWindowPartClick(inGrow, 600, 500);
  Run();
  EXPECT_EQ("Page 1 - 2", Placard());
  SetControlValue(gHScrollBar, 6);
  ComputePageNumber();
  EXPECT_EQ("Page 2 - 3", Placard());
  PostWindowPartClick(inGrow, 480, 500);  // kept at the grow minimum
  Run();
  SetControlValue(gHScrollBar, 0);
  ComputePageNumber();
  EXPECT_EQ("Page 1 - 2", Placard());
}

TEST_F(WindowBehaviourTest, AnInactiveWindowDimsItsPlacardAndScrollBars) {
  OpenSample();
  Rect port;
  GetPortBounds(Port(), &port);
  const Rect placard{static_cast<int16_t>(port.bottom + 2 - gScrollBarSize), 1,
                     static_cast<int16_t>(port.bottom - 1), 89};
  const Rect vbar{1, static_cast<int16_t>(port.right + 1 - gScrollBarSize),
                  static_cast<int16_t>(port.bottom - gScrollBarSize),
                  static_cast<int16_t>(port.right - 1)};
  // Counts the black and the other non-white pixels inside a frame's border.
  auto inks = [&](const Rect& r) {
    std::pair<int, int> n{0, 0};
    for (int y = r.top + 1; y < r.bottom - 1; y++)
      for (int x = r.left + 1; x < r.right - 1; x++) {
        const uint32_t p = GetPortPixel(Port(), x, y);
        if (p == 0) n.first++;
        else if (p != 0xFFFFFF) n.second++;
      }
    return n;
  };
  EXPECT_GT(inks(placard).first, 20);
  EXPECT_GT(inks(vbar).first, 20);
  EventRecord e{};
  e.what = activateEvt;
  e.message = reinterpret_cast<uintptr_t>(gWindow);
  e.modifiers = 0;
  InjectEvent(e);
  Run();
  EXPECT_EQ(0, gActive);
  EXPECT_FALSE(IsControlActive(gVScrollBar));
  for (const Rect& r : {placard, vbar}) {
    EXPECT_EQ(0, inks(r).first) << "dimmed: nothing black";
    EXPECT_GT(inks(r).second, 20) << "dimmed, not hidden";
  }
  PostEvent(osEvt, (static_cast<uintptr_t>(suspendResumeMessage) << 24) | resumeFlag);
  Run();
  EXPECT_EQ(1, gActive);
  EXPECT_GT(inks(placard).first, 20);
  EXPECT_GT(inks(vbar).first, 20);
  EXPECT_TRUE(IsControlActive(gVScrollBar));
}

TEST_F(WindowBehaviourTest, TheCursorAndTheFootnoteTag) {
  OpenSample(20, 8);
  SetControlValue(gHScrollBar, 0);
  ForceUpdate();
  Run();
  const int hb = HeaderBottom();
  ClickAt(3, hb + 10);
  EXPECT_EQ(kThemeOpenHandCursor, CurrentThemeCursor()) << "the drag strip of a row";
  ClickAt(gTitleWidth + 20, hb - 8);
  EXPECT_EQ(kThemeOpenHandCursor, CurrentThemeCursor()) << "an assignment title";
  ClickAt(gTitleWidth / 2, 5 * ZoomLine() + 2);  // a blank of the header
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor());

  int row = -1, column = -1;
  for (int s = 0; s < 10 && row < 0; s++)
    for (int a = 0; a < 6; a++)
      if (gFootnotes[s][0][a] < 8) {
        row = s;
        column = a;
        break;
      }
  ASSERT_GE(row, 0);
  Rect box;
  ScoreBox(static_cast<int16_t>(row), static_cast<int16_t>(column), &box);
  ClickAt(box.left + 3, box.top + 3, controlKey);  // the footnote pop-up, dismissed
  HMHelpContentRec tag;
  ASSERT_TRUE(CurrentHelpTag(&tag));
  EXPECT_EQ(gFootnoteText[gFootnotes[row][0][column]].str(), tag.content.str());
  EXPECT_EQ(13, tag.tagSide);
  const Point topLeft = Global(box.left, box.top);
  EXPECT_EQ(topLeft.h, tag.absHotRect.left);
  EXPECT_EQ(topLeft.v, tag.absHotRect.top);
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor());
  ClickAt(gTitleWidth / 2, 5 * ZoomLine() + 2);  // a blank of the header
  EXPECT_FALSE(CurrentHelpTag(&tag));

  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  SetControlValue(gHScrollBar, 0);
  gHolidays[gColumnToDay[1]] = 1;
  ClickAt(gTitleWidth + 8 * gZoom / 2, hb - 8);
  EXPECT_EQ(kThemePointingHandCursor, CurrentThemeCursor()) << "a school day's title";
  ClickAt(gTitleWidth + 8 * gZoom + 8 * gZoom / 2, hb - 8);
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor()) << "a day without class";

  DoCloseCmd();
  Run();
  EXPECT_EQ(kThemeArrowCursor, CurrentThemeCursor());
}

TEST_F(WindowBehaviourTest, OpeningAClassOffersTodaysTerm) {
  WriteClass(Path("Quarters.mtb"), [] {
    sample::FillClass(4, 2);
    gClass.currentTerm = 0;
  });
  for (int16_t answer : {2, 1}) {
    SetClockForTesting(LocalDate(2025, 12, 15));
    answers = {answer};
    PostCommandLineEvents({Path("Quarters.mtb")});
    Run();
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ(kCautionAlert, alerts[0].kind);
    EXPECT_EQ("Move into 2nd Quarter?", alerts[0].title);
    EXPECT_EQ(
        "This class is currently in 1st Quarter, but according to the school year options "
        "for this class, today is in 2nd Quarter. Would you like to change to 2nd Quarter?",
        alerts[0].text);
    EXPECT_EQ(answer == 1 ? 1 : 0, gCurrentTerm);
    EXPECT_EQ(answer == 1 ? 1 : 0, gChanged);
    alerts.clear();
    answers = {3};  // Don't Save, when the term changed
    if (!gChanged) answers.clear();
    DoCloseCmd();
  }
}

}  // namespace
