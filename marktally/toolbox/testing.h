// Test seams of the toolbox: a headless start, injected events and desktop input, a
// scripted mouse and scripted pop-up answers, a fixed screen and tick count, and ways
// to look at what was drawn (pixels, PNG files, a log of text draws), at the cursor,
// the help tag, the frame's title and its menu bar.
#pragma once

#include <string>
#include <vector>

#include "marktally/toolbox/toolbox.h"

// Starts the toolbox under the offscreen platform (unless QT_QPA_PLATFORM says
// otherwise) with no command-line events, then resets it.
void InitToolboxForTesting();
// A fresh state: no window, menus, events, scripts or handlers; ticks frozen at 0;
// a 1024 x 768 screen with a 22-pixel menu bar and windows allowed below it; the
// clipboard empty; the cursor the arrow; preferences left where they are.
void ResetToolboxForTesting();

// ---- Events -----------------------------------------------------------------------
// Queues an event as if it had happened (activate events go ahead of the others).
void InjectEvent(const EventRecord& event);
void InjectKey(unsigned char charCode, uint16_t modifiers, bool autoRepeat = false);
void InjectMouseWheel(uint16_t axis, int32_t delta);
// A click on one of the frame's own buttons (inGoAway, inZoomOut) or a resize by the
// desktop (inGrow with the new content size).
void PostWindowPartClick(int16_t part, int16_t growWidth = 0, int16_t growHeight = 0);

// Input through the frame's Qt widgets, to test the translation of desktop input.
enum : uint32_t { kDesktopShift = 1, kDesktopCtrl = 2, kDesktopAlt = 4, kDesktopMeta = 8 };
enum class DesktopKey {
  Text,
  Home,
  End,
  PageUp,
  PageDown,
  Return,
  Enter,
  Tab,
  Backtab,
  Escape,
  Backspace,
  Delete,
  Left,
  Right,
  Up,
  Down,
};
// text: the key's character (UTF-8) for DesktopKey::Text.
void SendDesktopKey(DesktopKey key, const char* text, uint32_t desktopModifiers,
                    bool autoRepeat = false);
// local: a point of the content area; right: the secondary button.
void SendDesktopMouse(bool press, Point local, bool right, uint32_t desktopModifiers);
void SendDesktopWheel(int angleX, int angleY);  // 120 per notch
void SendDesktopClose();
void SendDesktopQuit();                         // the desktop asks the application to quit
void SendDesktopResize(int width, int height);  // of the content area

// ---- Scripted mouse ---------------------------------------------------------------
// A mouse-down at the first point (global) joins the queue. Once it is taken, every
// poll of the button (StillDown, Button, WaitMouseUp) moves the mouse to the next
// point while the button is held; after the last point the button is up.
void ScriptMousePath(const std::vector<Point>& globalPath, uint16_t modifiers);
inline void ScriptMouseClick(Point global, uint16_t modifiers) {
  ScriptMousePath({global}, modifiers);
}

// ---- Pop-up menus -----------------------------------------------------------------
// The next pop-up menu answers this item (0: dismissed) instead of showing itself.
// Without a scripted answer a headless pop-up answers 0.
void ScriptPopUpChoice(int16_t item);
struct PopUpRequest {
  int16_t menuID;
  int16_t top;
  int16_t left;
  int16_t popUpItem;
};
// The last pop-up asked for since the reset.
bool LastPopUpRequest(PopUpRequest* request);

// ---- Frame menu bar ---------------------------------------------------------------
// As if the teacher opened the menu of the bar (the enabling routine runs).
void OpenFrameMenu(int16_t menuID);
// As if the teacher chose the item in the frame's menu bar; false when it is disabled
// there.
bool TriggerFrameMenuItem(int16_t menuID, int16_t item);
// The frame's mirror of an item: its text (UTF-8, with the command key after a tab),
// enabled and checked states; false when there is no such item or it is a separator.
bool FrameMenuItem(int16_t menuID, int16_t item, std::string* text, bool* enabled, bool* checked);
std::vector<std::string> FrameMenuTitles();

// ---- Desktop ----------------------------------------------------------------------
void SetTickCountForTesting(uint32_t ticks);  // frozen; Delay and idle waits advance it
void SetScreenForTesting(const Rect& screen, const Rect& available, int16_t menuBarHeight);
void SetPreferencesFileForTesting(const std::string& path);

// ---- Observation ------------------------------------------------------------------
// Pixel (x, y) of the port's image (not local coordinates), 0xRRGGBB; 0xFFFFFFFF
// outside the image.
uint32_t GetPortPixel(CGrafPtr port, int x, int y);
bool SavePortImage(CGrafPtr port, const std::string& pngPath);
bool PortImagesEqual(CGrafPtr a, CGrafPtr b);

struct TextDrawRecord {
  std::string text;  // Mac Roman
  Point pen;         // local, before drawing
  int16_t font;
  int16_t size;
  Style face;
};
void StartTextDrawLog(CGrafPtr port);
std::vector<TextDrawRecord> TakeTextDrawLog(CGrafPtr port);

ThemeCursor CurrentThemeCursor();
bool CurrentHelpTag(HMHelpContentRec* tag);
int BeepCount();
// The frame's title as the desktop shows it (UTF-8, "*" after a modified title).
std::string FrameTitle();
