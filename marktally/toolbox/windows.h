// Windows. The program's frame (a desktop window with the menu bar) holds the one
// document window: while none exists the frame stays open with its menu bar and an
// empty content area. A window's bounds are its content rectangle in global
// coordinates; its port's rectangle starts at (0, 0) with the content's size.
//
// Updates: `InvalRect`/`InvalRgn` (current port, local coordinates) and
// `InvalWindowRect` add to the window's invalid region; an update event comes once the
// queue is otherwise idle; `BeginUpdate` narrows the visible region to the invalid
// region and empties it, `EndUpdate` restores the visible region.
//
// Window parts (`FindWindow`): the content, the grow box (the scroll-bar-sized square
// in the content's bottom-right corner), the menu bar. Clicks on the frame's own
// buttons arrive as clicks on the matching part: its close button as the close box,
// its maximise button as the zoom box, a resize by the desktop as a grow whose result
// is the new size. `GrowWindow`, `DragWindow`, `TrackGoAway` and `TrackBox` otherwise
// follow the mouse until it is released.
//
// Screen: the main screen's bounds, the bounds available to windows and the menu-bar
// height come from the desktop (tests fix them).
#pragma once

#include "marktally/toolbox/quickdraw.h"

struct WindowRecord;
struct ControlRecord;
using WindowPtr = WindowRecord*;
using WindowRef = WindowRecord*;
using ControlRef = ControlRecord*;

using WindowClass = uint32_t;
using WindowAttributes = uint32_t;
enum : uint32_t {
  kAlertWindowClass = 1,
  kMovableAlertWindowClass = 2,
  kModalWindowClass = 3,
  kMovableModalWindowClass = 4,
  kDocumentWindowClass = 6,
};
enum : uint32_t {
  kWindowCloseBoxAttribute = 1u << 0,
  kWindowHorizontalZoomAttribute = 1u << 1,
  kWindowVerticalZoomAttribute = 1u << 2,
  kWindowFullZoomAttribute = kWindowHorizontalZoomAttribute | kWindowVerticalZoomAttribute,
  kWindowCollapseBoxAttribute = 1u << 3,
  kWindowResizableAttribute = 1u << 4,
  kWindowStandardDocumentAttributes = kWindowCloseBoxAttribute | kWindowFullZoomAttribute |
                                      kWindowCollapseBoxAttribute | kWindowResizableAttribute,
};

enum : int16_t {
  inDesk = 0,
  inMenuBar = 1,
  inContent = 3,
  inDrag = 4,
  inGrow = 5,
  inGoAway = 6,
  inZoomIn = 7,
  inZoomOut = 8,
};

using WindowRegionCode = uint16_t;
enum : uint16_t { kWindowStructureRgn = 32, kWindowContentRgn = 33, kWindowUpdateRgn = 34 };

// One document window at a time (paramErr for a second), and any number of dialog and
// alert windows (the four alert and modal classes). Every window starts hidden; a new
// dialog window is in front of the others. Dialog windows are desktop windows of their
// own, modal to the program's frame; the 20 pixels above a dialog's content are its
// title bar (the drag region).
OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes,
                         const Rect* contentBounds, WindowRef* outWindow);
OSErr CreateRootControl(WindowRef window, ControlRef* outControl);
void DisposeWindow(WindowRef window);
// Showing the window in front makes it active (an activate event follows) and
// deactivates the window it now hides; hiding the front window activates the next.
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
// Brings a dialog window in front of the others.
void SelectWindow(WindowRef window);
// The frontmost visible window: a dialog, else the document window.
WindowRef FrontWindow();

CGrafPtr GetWindowPort(WindowRef window);
void SetPortWindowPort(WindowRef window);
WindowRef GetWindowFromPort(CGrafPtr port);

void SetWTitle(WindowRef window, ConstStringPtr title);
void GetWTitle(WindowRef window, Str255& title);
// The modified mark of the frame's title.
OSStatus SetWindowModified(WindowRef window, bool modified);
bool IsWindowModified(WindowRef window);

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* globalBounds);
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode region, const Rect* globalBounds);
// kWindowUpdateRgn gives the invalid region in the port's local coordinates.
OSStatus GetWindowRegion(WindowRef window, WindowRegionCode region, RgnHandle rgn);
void MoveWindow(WindowRef window, int16_t h, int16_t v, bool front);
// A larger window invalidates its new area when update is set.
void SizeWindow(WindowRef window, int16_t width, int16_t height, bool update);

int16_t FindWindow(Point globalPoint, WindowRef* window);
void DragWindow(WindowRef window, Point startPoint, const Rect* boundsRect);
// (height << 16) | width, or 0 when the size stays; sizeConstraints holds the minimum
// width and height in left and top, the maximum in right and bottom.
int32_t GrowWindow(WindowRef window, Point startPoint, const Rect* sizeConstraints);
bool TrackGoAway(WindowRef window, Point startPoint);
bool TrackBox(WindowRef window, Point startPoint, int16_t part);
// inZoomOut: to the ideal size (h width, v height) with the top-left kept as far as
// the screen allows, remembering the current bounds as the user state; inZoomIn: back
// to the user state.
OSStatus ZoomWindowIdeal(WindowRef window, int16_t part, Point* idealSize);
bool IsWindowInStandardState(WindowRef window, Point* idealSize, Rect* idealStandardState);
OSStatus SetWindowIdealUserState(WindowRef window, const Rect* userState);
OSStatus GetWindowIdealUserState(WindowRef window, Rect* userState);

void InvalRect(const Rect* r);
void InvalRgn(RgnHandle rgn);
void ValidRect(const Rect* r);
void ValidRgn(RgnHandle rgn);
OSStatus InvalWindowRect(WindowRef window, const Rect* r);
OSStatus InvalWindowRgn(WindowRef window, RgnHandle rgn);
OSStatus ValidWindowRect(WindowRef window, const Rect* r);
void BeginUpdate(WindowRef window);
void EndUpdate(WindowRef window);
// The grow box in the content's bottom-right corner.
void DrawGrowIcon(WindowRef window);

GDHandle GetMainDevice();
// The desktop below the menu bar (global); the toolbox owns it: do not dispose of it.
RgnHandle GetGrayRgn();
OSStatus GetAvailableWindowPositioningBounds(GDHandle device, Rect* bounds);
void GetMainScreenBounds(Rect* bounds);
OSStatus GetThemeMenuBarHeight(int16_t* height);
using ThemeMetric = uint32_t;
enum : uint32_t { kThemeMetricScrollBarWidth = 0 };
OSStatus GetThemeMetric(ThemeMetric metric, int32_t* value);
// The desktop's look needs no registration here; kept for the start-up sequence.
inline OSStatus RegisterAppearanceClient() { return noErr; }
inline OSStatus UnregisterAppearanceClient() { return noErr; }
