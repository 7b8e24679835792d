// The toolbox's own state and the Qt side of it; not for the program.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "marktally/common/platform.h"
#include "marktally/toolbox/testing.h"
#include "marktally/toolbox/toolbox.h"

class QApplication;
class QPainter;
class QEventLoop;
class QMenu;
class QSettings;
class QWindow;

struct Region {
  QRegion rgn;
};
struct PixMap {
  GrafPort* port;
};
struct BitMap {
  GrafPort* port;
};
struct GDevice {
  int unused;
};
struct OpaqueEventRef {
  uint16_t axis;
  int32_t delta;
};

// The scroll-bar width of our look; also the size of the grow box.
constexpr int kScrollBarWidth = 15;
// The drag region above a dialog's content.
constexpr int kTitleBarHeight = 20;

struct GrafPort {
  QImage image;
  Point origin{0, 0};  // local coordinate of the image's top-left pixel
  QRegion clip;        // local coordinates
  QRegion vis;         // image coordinates
  Point pnLoc{0, 0};
  Point pnSize{1, 1};
  Pattern pnPat{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  int16_t pnMode = patCopy;
  RGBColor foreColor{0, 0, 0};
  RGBColor backColor{0xFFFF, 0xFFFF, 0xFFFF};
  int16_t txFont = systemFont;
  int16_t txSize = 0;
  Style txFace = normal;
  WindowRecord* window = nullptr;
  bool gworld = false;
  PixMap pixMap{nullptr};
  BitMap bitMap{nullptr};
  bool logging = false;
  std::vector<TextDrawRecord> log;
  // A printed page: every fill and glyph is also painted there, as vectors, in the
  // port's pixel coordinates. A page has no image of its own (see InitPaperPort).
  QPainter* mirror = nullptr;
};

class DialogView;
struct DialogRecord;
struct TERec;

struct WindowRecord {
  GrafPort port;
  Rect bounds{0, 0, 0, 0};  // content, global
  std::string title;        // Mac Roman
  WindowClass windowClass = kDocumentWindowClass;
  WindowAttributes attributes = 0;
  bool visible = false;
  bool modified = false;
  QRegion update;  // image coordinates
  bool hasUserState = false;
  Rect userState{0, 0, 0, 0};
  std::vector<ControlRecord*> controls;
  ControlRecord* focus = nullptr;
  DialogRecord* dialog = nullptr;
  DialogView* view = nullptr;  // the desktop window of a dialog
  // Keys typed ahead of this dialog, given back to the queue when it goes away.
  std::deque<EventRecord> heldKeys;
};

struct ControlRecord {
  WindowRecord* window = nullptr;
  Rect bounds{0, 0, 0, 0};
  int16_t procID = 0;
  bool visible = false;
  bool active = true;
  int32_t value = 0;  // 32-bit: a long report scrolls further than 16 bits reach
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t viewSize = 0;
  long refCon = 0;
  ControlActionUPP action = nullptr;
  // Dialog controls.
  std::string title;  // Mac Roman; a static text's text
  int16_t hilite = 0;
  bool defaultRing = false;
  TERec* te = nullptr;  // edit texts
  DateTimeRec date{};   // clocks
  int16_t datePart = 0;  // 1..3 in the region's order while focused
  int16_t dateTyped = 0;  // digits typed into the part so far
  int16_t menuID = 0;     // pop-ups
  int16_t titleWidth = 0;
  std::vector<std::string> tabs;
  Style face = normal;  // static texts
  int16_t textSize = 0;
  int16_t itemIndex = 0;  // its item in a dialog
};

struct MenuItemRecord {
  std::string text;  // Mac Roman
  bool enabled = true;
  bool checked = false;
  unsigned char cmd = 0;
  uint8_t modifiers = 0;    // kMenuShiftModifier, kMenuNoCommandModifier
  uint16_t virtualKey = 0;  // a function key's code, 0 for none
  int16_t submenu = 0;
};

struct MenuRecord {
  int16_t id;
  std::string title;
  std::vector<MenuItemRecord> items;
  bool enabled = true;
  QMenu* qmenu = nullptr;
  bool dirty = true;
};

// A queued event and what a synthetic click carries with it.
struct QueuedEvent {
  EventRecord event;
  int16_t part = 0;        // a frame button or menu-bar choice: FindWindow's answer
  int32_t menuChoice = 0;  // MenuSelect's answer
  int16_t growWidth = 0;   // GrowWindow's answer
  int16_t growHeight = 0;
  std::vector<Point> mouse;  // a scripted mouse path that starts with this event
  AEDesc appleEvent;         // a high-level event's contents
};

class PortView;
class Frame;

struct FontEntry;
// Defined beside FontEntry, so that the cache owns its entries.
struct FontEntryDeleter {
  void operator()(FontEntry* entry) const;
};

struct Toolbox {
  QApplication* app = nullptr;
  Frame* frame = nullptr;
  bool interactive = false;

  GrafPort* current = nullptr;
  WindowRecord* window = nullptr;

  // Dialog and alert windows, frontmost first; the document window is behind them.
  std::vector<WindowRecord*> dialogs;

  // Events.
  std::deque<QueuedEvent> queue;
  std::deque<EventRecord> activates;
  std::deque<EventRecord> keysOnceShown;  // a test's keys for the next dialog shown
  uint32_t keyGuardUntil = 0;  // ticks: keys before then were typed ahead of a dialog
  bool keyTypedBehind = false;  // the key being posted went to a window a dialog blocks
  std::deque<std::pair<uint16_t, int32_t>> wheels;
  EventHandlerUPP wheelHandler = nullptr;
  void* wheelUserData = nullptr;
  std::map<std::pair<uint32_t, uint32_t>, std::pair<AEEventHandlerUPP, long>> aeHandlers;
  AEDesc currentAppleEvent;
  QEventLoop* waitLoop = nullptr;
  Qt::ApplicationState appState = Qt::ApplicationActive;
  int wheelAccumX = 0;
  int wheelAccumY = 0;

  // The synthetic click being handled.
  int16_t pendingPart = 0;
  Point pendingWhere{0, 0};
  int32_t pendingMenuChoice = 0;
  int16_t pendingGrowWidth = 0;
  int16_t pendingGrowHeight = 0;
  QSize lastPostedGrow;
  // Content sizes the program gave the frame that the desktop has not reported back yet,
  // oldest first: a busy window manager can report each of them, late.
  std::deque<QSize> frameSizesAsked;

  // Mouse.
  bool buttonDown = false;
  Point mouseGlobal{0, 0};
  bool scriptActive = false;
  std::vector<Point> script;
  size_t scriptIndex = 0;

  // Ticks.
  QElapsedTimer clock;
  bool ticksFrozen = false;
  uint32_t frozenTicks = 0;

  // Menus.
  std::map<int16_t, MenuRecord*> menus;
  std::vector<int16_t> bar;
  bool barDirty = true;
  MenuEnablingProc enablingProc = nullptr;
  bool inPopUp = false;
  int32_t popUpResult = 0;
  std::deque<int16_t> popUpScript;
  bool hasPopUpRequest = false;
  PopUpRequest popUpRequest{0, 0, 0, 0};

  // Screen.
  bool screenOverride = false;
  Rect screen{0, 0, 768, 1024};
  Rect available{22, 0, 768, 1024};
  int16_t menuBarHeight = 22;
  Rect frameContent{64, 18, 664, 818};  // where the frame's content area is

  // Desktop.
  std::string prefsPath;
  QSettings* settings = nullptr;
  ThemeCursor cursor = kThemeArrowCursor;
  bool tagShown = false;
  HMHelpContentRec tag{};
  int beeps = 0;
  uint8_t hiliteMode = 0xFF;
  std::map<uint32_t, std::unique_ptr<FontEntry, FontEntryDeleter>> fonts;
};

Toolbox& TB();

// ---- Conversions ------------------------------------------------------------------
QString MacToQString(const unsigned char* text, int count);
QString MacToQString(ConstStringPtr pstr);
std::string QStringToMac(const QString& s);
inline QRect ToQRect(const Rect& r) {
  return EmptyRect(&r) ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
inline Rect FromQRect(const QRect& q) {
  if (q.isEmpty()) return Rect{0, 0, 0, 0};
  return Rect{static_cast<int16_t>(q.top()), static_cast<int16_t>(q.left()),
              static_cast<int16_t>(q.top() + q.height()),
              static_cast<int16_t>(q.left() + q.width())};
}
inline QRgb ToQRgb(const RGBColor& c) { return qRgb(c.red >> 8, c.green >> 8, c.blue >> 8); }

// ---- Drawing ----------------------------------------------------------------------
GrafPort* CurrentPort();
void InitPort(GrafPort* port, int width, int height);
// A port of width by height pixels without an image: drawing reaches its mirror alone,
// and the pixel operations (inversions, highlights, scrolls) do nothing.
void InitPaperPort(GrafPort* port, int width, int height);
// Keeps the pixels that remain; new pixels are white.
void ResizePortImage(GrafPort* port, int width, int height);
// Clip and visible regions together, in image coordinates.
QRegion EffectiveClip(const GrafPort* port);
void FillPixels(GrafPort* port, const QRegion& pixels, const Pattern& pat, int16_t mode, QRgb fore,
                QRgb back);
void InvertPixels(GrafPort* port, const QRegion& pixels, bool hilite);
void MarkPortChanged(GrafPort* port);
void LoadFonts();
// The model's StringWidth measures with the current port's font.
void InstallFontMeasure();

// Makes a port current with a normal pen, black on white and the default font, and
// gives back the previous port and that port's pen, colours and font when it goes.
class PortState {
 public:
  explicit PortState(GrafPort* use);
  ~PortState();
  PortState(const PortState&) = delete;
  PortState& operator=(const PortState&) = delete;

 private:
  GrafPort* saved_;
  GrafPort* port_;
  Point pnLoc_, pnSize_;
  Pattern pnPat_;
  int16_t pnMode_;
  RGBColor fore_, back_;
  int16_t txFont_, txSize_;
  Style txFace_;
};

// ---- Events -----------------------------------------------------------------------
void QueueEvent(QueuedEvent e);
void QueueActivate(WindowRecord* window, bool active);
void QueueWheel(uint16_t axis, int32_t delta);
void QueueAppleEvent(uint32_t eventID, const std::vector<std::string>& paths);
void QueuePartClick(int16_t part, int32_t menuChoice, int16_t growWidth, int16_t growHeight);
// The mouse in global coordinates (the script's, else the desktop's).
Point MouseGlobal();
EventRecord MakeEvent(uint16_t what, uintptr_t message);
uint16_t CurrentModifiers();
// Lets Qt run; waits at most waitMs while no event of the mask is queued.
void PumpEvents(int waitMs, uint16_t mask = 0xFFFF);
void ResetEvents();
// Keys typed for what was in front before a dialog showed: the queued ones move into
// its held keys; they come back, ahead of everything queued, once it is hidden.
void HoldQueuedKeys(WindowRecord* dialog);
void ReleaseHeldKeys(WindowRecord* dialog);
// On X, keys sent to a window a dialog blocks before the dialog has the keyboard.
void HoldKeysTypedBehindDialogs();

// ---- Windows ----------------------------------------------------------------------
Rect FrameContentBounds();
// The point that synthetic clicks carry.
Point SyntheticWhere();
void EnsureFrame();
void ShowFrame();
void SyncFrameGeometry();
void SyncFrameTitle();
void FlushDisplay();
void OnDesktopResize(int width, int height);
void ResetWindows();
QWidget* FrameView();
bool IsDialogWindow(const WindowRecord* dialog, const QWindow* window);
QMainWindow* FrameWindow();

// Gives the keyboard back to the document window once no menu, dialog or alert is up.
void RestoreFrameFocus();
bool FrameMaximized();
// A dialog or alert with a Cancel item: Escape and the close button choose it.
bool DialogHasCancel(const WindowRecord* window);
// Dialog windows: the frontmost visible one (else the frontmost), shown on the desktop.
WindowRecord* FrontDialogWindow();
bool IsDialogWindowClass(WindowClass windowClass);
void FlushWindowDisplay(WindowRecord* window);
// Where a global point is on Qt's screen (the frame's coordinates differ).
QPoint QtGlobal(Point global);

// ---- Menus and controls -----------------------------------------------------------
void SyncMenus();
void ResetMenus();
void DrawControlNow(ControlRecord* c);
void ResetDesktop();
bool IsDialogControl(const ControlRecord* c);
void DrawDialogControl(ControlRecord* c);
int16_t HitDialogControl(const ControlRecord* c, Point local);
// Follows the mouse on a push button, check box or radio button; the part when it is
// released inside.
int16_t TrackDialogControl(ControlRecord* c, Point local);
void DisposeDialogControl(ControlRecord* c);
// Calls a user pane's drawing procedure (dialogs.cpp).
void DrawUserPane(ControlRecord* c);
void ResetDialogs();
void ResetNavigation();
