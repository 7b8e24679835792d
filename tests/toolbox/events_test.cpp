// Events: the order of delivery, update events and their clipping, desktop input as
// event records, the scripted mouse, the wheel handler, ticks and Apple events.
#include <gtest/gtest.h>

#include <filesystem>

#include "toolbox_fixture.h"

namespace {

using Events = ToolboxTest;

const Rect kWindowBounds{100, 50, 400, 650};

// Takes the activate event and the first full update of a new window.
void Settle(WindowRef w) {
  EventRecord e;
  while (WaitNextEvent(everyEvent, &e, 0, nullptr)) {
    if (e.what == updateEvt) {
      BeginUpdate(w);
      EndUpdate(w);
    }
  }
}

TEST_F(Events, UpdateComesOnlyWhenTheQueueIsIdleAndDrawsOnlyTheInvalidRegion) {
  WindowRef w = NewDocumentWindow(kWindowBounds);
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(activateEvt, e.what);  // showing the window activates it first
  EXPECT_EQ(reinterpret_cast<uintptr_t>(w), e.message);
  EXPECT_TRUE(e.modifiers & activeFlag);
  Settle(w);

  Rect a{10, 20, 30, 60}, b{50, 100, 52, 300};
  InvalRect(&a);
  InvalWindowRect(w, &b);
  InjectKey('x', 0);
  PostEvent(mouseUp, 0);
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(keyDown, e.what);
  EXPECT_EQ('x', e.message & charCodeMask);
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(mouseUp, e.what);

  // Only one update however many rectangles were invalidated; it repeats until begun.
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(updateEvt, e.what);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(w), e.message);
  ASSERT_TRUE(EventAvail(everyEvent, &e));
  EXPECT_EQ(updateEvt, e.what);

  BeginUpdate(w);
  RgnHandle vis = NewRgn();
  GetPortVisibleRegion(GetWindowPort(w), vis);
  Rect visBounds;
  GetRegionBounds(vis, &visBounds);
  EXPECT_TRUE(SameRect(visBounds, Rect{10, 20, 52, 300}));
  Rect all{0, 0, 300, 600};
  PaintRect(&all);  // the update draws everything; only the invalid part changes
  EndUpdate(w);
  CGrafPtr port = GetWindowPort(w);
  EXPECT_EQ(20 * 40 + 2 * 200, CountBlack(port, all));
  EXPECT_EQ(".####", Row(port, 10, 19, 24));
  EXPECT_EQ(".", Row(port, 30, 20, 21));
  EXPECT_FALSE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(nullEvent, e.what);
  DisposeRgn(vis);
}

TEST_F(Events, InvalidationFollowsTheOriginAndValidationRemoves) {
  WindowRef w = NewDocumentWindow(kWindowBounds);
  Settle(w);
  SetOrigin(100, 0);
  Rect r{0, 100, 10, 110};  // local: the window's top-left pixels
  InvalRect(&r);
  Rect half{0, 100, 10, 105};
  ValidRect(&half);
  RgnHandle rgn = NewRgn();
  GetWindowRegion(w, kWindowUpdateRgn, rgn);
  Rect b;
  GetRegionBounds(rgn, &b);
  EXPECT_TRUE(SameRect(b, Rect{0, 105, 10, 110}));
  SetOrigin(0, 0);
  GetWindowRegion(w, kWindowUpdateRgn, rgn);
  GetRegionBounds(rgn, &b);
  EXPECT_TRUE(SameRect(b, Rect{0, 5, 10, 10}));
  DisposeRgn(rgn);
}

TEST_F(Events, MaskAndFlushChooseWhatComes) {
  InjectKey('a', 0);
  PostEvent(mouseDown, 0);
  InjectKey('b', 0);
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(mDownMask, &e, 0, nullptr));
  EXPECT_EQ(mouseDown, e.what);
  FlushEvents(keyDownMask, 0);
  EXPECT_FALSE(WaitNextEvent(everyEvent, &e, 0, nullptr));
}

TEST_F(Events, DesktopKeysBecomeCharacterCodesAndModifiers) {
  const struct {
    DesktopKey key;
    const char* text;
    uint32_t mods;
    unsigned char charCode;
    uint16_t modifiers;
  } cases[] = {
      {DesktopKey::Home, "", 0, kHomeCharCode, 0},
      {DesktopKey::End, "", 0, kEndCharCode, 0},
      {DesktopKey::PageUp, "", 0, kPageUpCharCode, 0},
      {DesktopKey::PageDown, "", 0, kPageDownCharCode, 0},
      {DesktopKey::Return, "\r", kDesktopShift, kReturnCharCode, shiftKey},
      {DesktopKey::Enter, "\r", 0, kEnterCharCode, 0},
      {DesktopKey::Tab, "\t", 0, kTabCharCode, 0},
      {DesktopKey::Backtab, "", kDesktopShift, kTabCharCode, shiftKey},
      {DesktopKey::Escape, "\x1b", 0, kEscapeCharCode, 0},
      {DesktopKey::Backspace, "\b", 0, kBackspaceCharCode, 0},
      {DesktopKey::Delete, "\x7f", 0, kDeleteCharCode, 0},
      {DesktopKey::Left, "", 0, kLeftArrowCharCode, 0},
      {DesktopKey::Right, "", 0, kRightArrowCharCode, 0},
      {DesktopKey::Up, "", 0, kUpArrowCharCode, 0},
      {DesktopKey::Down, "", 0, kDownArrowCharCode, 0},
      {DesktopKey::Text, "7", 0, '7', 0},
      {DesktopKey::Text, "\xC3\xA9", 0, 0x8E, 0},          // e acute in Mac Roman
      {DesktopKey::Text, "s", kDesktopCtrl, 's', cmdKey},  // Ctrl is the command key
      {DesktopKey::Text, "S", kDesktopCtrl | kDesktopShift, 'S', cmdKey | shiftKey},
      {DesktopKey::Text, "a", kDesktopAlt, 'a', optionKey},
      {DesktopKey::Text, "a", kDesktopMeta, 'a', controlKey},
  };
  for (const auto& c : cases) {
    SendDesktopKey(c.key, c.text, c.mods);
    EventRecord e;
    ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr)) << c.text;
    EXPECT_EQ(keyDown, e.what);
    EXPECT_EQ(c.charCode, e.message & charCodeMask) << int(c.key) << " " << c.text;
    EXPECT_EQ(c.modifiers, e.modifiers & (cmdKey | shiftKey | optionKey | controlKey))
        << int(c.key) << " " << c.text;
  }
  SendDesktopKey(DesktopKey::Text, "\xE4\xB8\xAD", 0);  // no Mac Roman character: dropped
  SendDesktopKey(DesktopKey::Down, "", 0, true);
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(autoKey, e.what);
  EXPECT_EQ(kDownArrowCharCode, e.message & charCodeMask);
  EXPECT_NE(0u, e.message & keyCodeMask);
}

TEST_F(Events, DesktopClicksComeInGlobalCoordinatesAndRightIsControl) {
  WindowRef w = NewDocumentWindow(kWindowBounds);
  Settle(w);
  SendDesktopMouse(true, Point{30, 40}, false, kDesktopShift);
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(mouseDown, e.what);
  EXPECT_EQ(100 + 30, e.where.v);
  EXPECT_EQ(50 + 40, e.where.h);
  EXPECT_EQ(shiftKey, e.modifiers & (shiftKey | controlKey | btnState));
  EXPECT_TRUE(StillDown());
  Point local;
  GetMouse(&local);
  EXPECT_EQ(30, local.v);
  EXPECT_EQ(40, local.h);
  SendDesktopMouse(false, Point{35, 44}, false, 0);
  EXPECT_FALSE(StillDown());  // the button is up and its event waits
  EXPECT_FALSE(WaitMouseUp());
  EXPECT_FALSE(WaitNextEvent(mUpMask, &e, 0, nullptr));  // WaitMouseUp took it

  SendDesktopMouse(true, Point{5, 5}, true, 0);
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_TRUE(e.modifiers & controlKey);
  SendDesktopMouse(false, Point{5, 5}, true, 0);
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(mouseUp, e.what);
  EXPECT_TRUE(e.modifiers & btnState);
}

TEST_F(Events, ScriptedMouseMovesOnEveryPollUntilReleased) {
  WindowRef w = NewDocumentWindow(kWindowBounds);
  Settle(w);
  ScriptMousePath({Point{110, 60}, Point{120, 70}, Point{130, 80}}, optionKey);
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(mouseDown, e.what);
  EXPECT_EQ(110, e.where.v);
  EXPECT_EQ(optionKey, e.modifiers & (optionKey | btnState));
  Point p;
  GetMouse(&p);
  EXPECT_EQ(10, p.v);
  ASSERT_TRUE(StillDown());
  GetMouse(&p);
  EXPECT_EQ(20, p.v);
  EXPECT_EQ(20, p.h);
  ASSERT_TRUE(Button());
  GetMouse(&p);
  EXPECT_EQ(30, p.v);
  EXPECT_FALSE(StillDown());
  EXPECT_FALSE(StillDown());
  GetMouse(&p);
  EXPECT_EQ(30, p.v);  // released where the path ended

  ScriptMouseClick(Point{150, 90}, 0);
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_FALSE(StillDown());  // a click: the button is already up
}

OSStatus gWheelAxis = -1;
int32_t gWheelDelta = 0;
int gWheelCalls = 0;
OSStatus RecordWheel(EventHandlerCallRef, EventRef event, void* data) {
  uint16_t axis = 99;
  int32_t delta = 0;
  EXPECT_EQ(noErr, GetEventParameter(event, kEventParamMouseWheelAxis, typeMouseWheelAxis, nullptr,
                                     sizeof axis, nullptr, &axis));
  EXPECT_EQ(noErr, GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr,
                                     sizeof delta, nullptr, &delta));
  EXPECT_EQ(eventParameterNotFoundErr,
            GetEventParameter(event, FourCC("what"), typeSInt32, nullptr, 4, nullptr, &delta));
  EXPECT_EQ(&gWheelCalls, data);
  gWheelAxis = axis;
  gWheelDelta += delta;
  ++gWheelCalls;
  return noErr;
}

TEST_F(Events, WheelGoesToTheInstalledHandlerWithAxisAndDelta) {
  EventTypeSpec spec{kEventClassMouse, kEventMouseWheelMoved};
  EventHandlerRef ref = nullptr;
  InstallApplicationEventHandler(NewEventHandlerUPP(RecordWheel), 1, &spec, &gWheelCalls, &ref);
  EventRecord e;
  SendDesktopWheel(0, 240);  // two notches away from the teacher: up
  EXPECT_FALSE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(2, gWheelCalls);
  EXPECT_EQ(kEventMouseWheelAxisY, gWheelAxis);
  EXPECT_EQ(2, gWheelDelta);

  gWheelCalls = gWheelDelta = 0;
  SendDesktopWheel(-60, 0);  // half a notch waits for the other half
  WaitNextEvent(everyEvent, &e, 0, nullptr);
  EXPECT_EQ(0, gWheelCalls);
  SendDesktopWheel(-60, 0);
  WaitNextEvent(everyEvent, &e, 0, nullptr);
  EXPECT_EQ(1, gWheelCalls);
  EXPECT_EQ(kEventMouseWheelAxisX, gWheelAxis);
  EXPECT_EQ(-1, gWheelDelta);

  RemoveEventHandler(ref);
  InjectMouseWheel(1, 5);
  WaitNextEvent(everyEvent, &e, 0, nullptr);
  EXPECT_EQ(1, gWheelCalls);
}

TEST_F(Events, TicksAreFrozenInTestsAndAdvancedByWaits) {
  SetTickCountForTesting(1000);
  EXPECT_EQ(1000u, TickCount());
  uint32_t final = 0;
  Delay(30, &final);
  EXPECT_EQ(1030u, final);
  EventRecord e;
  EXPECT_FALSE(WaitNextEvent(everyEvent, &e, GetCaretTime(), nullptr));
  EXPECT_EQ(1030u + GetCaretTime(), TickCount());
  EXPECT_GT(GetCaretTime(), 0u);
}

struct Handled {
  uint32_t id = 0;
  long refcon = 0;
  std::vector<std::string> paths;
};
Handled gHandled;
OSErr RecordAppleEvent(const AppleEvent* event, AppleEvent*, long refcon) {
  gHandled = Handled{event->eventID, refcon, {}};
  AEDescList docs;
  if (AEGetParamDesc(event, keyDirectObject, typeAEList, &docs) == noErr) {
    long n = 0;
    AECountItems(&docs, &n);
    for (long i = 1; i <= n; ++i) {
      std::string path;
      EXPECT_EQ(noErr, AEGetNthPath(&docs, i, &path));
      gHandled.paths.push_back(path);
    }
    std::string none;
    EXPECT_EQ(errAEIllegalIndex, AEGetNthPath(&docs, n + 1, &none));
    AEDisposeDesc(&docs);
  }
  return noErr;
}

TEST_F(Events, CommandLineBecomesOneHighLevelEvent) {
  for (uint32_t id :
       {kAEOpenApplication, kAEQuitApplication, kAEOpenDocuments, kAEPrintDocuments}) {
    AEInstallEventHandler(kCoreEventClass, id, NewAEEventHandlerUPP(RecordAppleEvent),
                          static_cast<long>(id & 0xFF), false);
  }
  const std::string cwd = std::filesystem::current_path().string();
  const struct {
    std::vector<std::string> args;
    uint32_t id;
    std::vector<std::string> paths;
  } cases[] = {
      {{}, kAEOpenApplication, {}},
      {{"Period 3.mtb"}, kAEOpenDocuments, {cwd + "/Period 3.mtb"}},
      {{"/tmp/a.mtb", "/tmp/b.mtb"}, kAEOpenDocuments, {"/tmp/a.mtb", "/tmp/b.mtb"}},
      {{"--print", "/tmp/a.mtb", "/tmp/b.mtb"}, kAEPrintDocuments, {"/tmp/a.mtb", "/tmp/b.mtb"}},
      {{"--print"}, kAEOpenApplication, {}},
  };
  for (const auto& c : cases) {
    PostCommandLineEvents(c.args);
    EventRecord e;
    ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
    ASSERT_EQ(kHighLevelEvent, e.what);
    EXPECT_EQ(kCoreEventClass, e.message);
    EXPECT_EQ(noErr, AEProcessAppleEvent(&e));
    EXPECT_EQ(c.id, gHandled.id);
    EXPECT_EQ(static_cast<long>(c.id & 0xFF), gHandled.refcon);
    EXPECT_EQ(c.paths, gHandled.paths);
  }
  AEInstallEventHandler(kCoreEventClass, kAEOpenApplication, nullptr, 0, false);  // removed
  PostCommandLineEvents({});
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  EXPECT_EQ(errAEEventNotHandled, AEProcessAppleEvent(&e));
}

TEST_F(Events, FrameCloseButtonIsTheCloseBoxOrQuitAndTheDesktopQuits) {
  AEInstallEventHandler(kCoreEventClass, kAEQuitApplication,
                        NewAEEventHandlerUPP(RecordAppleEvent), 0, false);
  SendDesktopClose();  // no class open: the program is asked to quit
  EventRecord e;
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  ASSERT_EQ(kHighLevelEvent, e.what);
  AEProcessAppleEvent(&e);
  EXPECT_EQ(kAEQuitApplication, gHandled.id);
  gHandled = Handled{};
  SendDesktopQuit();  // the desktop's quit: the same request
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  ASSERT_EQ(kHighLevelEvent, e.what);
  AEProcessAppleEvent(&e);
  EXPECT_EQ(kAEQuitApplication, gHandled.id);

  WindowRef w = NewDocumentWindow(kWindowBounds);
  Settle(w);
  SendDesktopClose();
  ASSERT_TRUE(WaitNextEvent(everyEvent, &e, 0, nullptr));
  ASSERT_EQ(mouseDown, e.what);
  WindowRef hit = nullptr;
  EXPECT_EQ(inGoAway, FindWindow(e.where, &hit));
  EXPECT_EQ(w, hit);
  EXPECT_TRUE(TrackGoAway(hit, e.where));
}

}  // namespace
