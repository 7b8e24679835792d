// Test seams of the toolbox: a headless start, injected events and desktop input, a
// scripted mouse and scripted pop-up answers, a fixed screen and tick count, and ways
// to look at what was drawn (pixels, PNG files, a log of text draws), at the cursor,
// the help tag, the frame's title and its menu bar.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "marktally/toolbox/toolbox.h"

// Starts the toolbox under the offscreen platform (unless QT_QPA_PLATFORM says
// otherwise) with no command-line events, then resets it.
void InitToolboxForTesting();
// A fresh state: no window, dialog, menus, events, scripts or handlers (alert
// responder, scripted file-dialog answers, stuck handler); ticks frozen at 0;
// a 1024 x 768 screen with a 22-pixel menu bar and windows allowed below it; the
// clipboard empty; the cursor the arrow; preferences left where they are.
void ResetToolboxForTesting();

// ---- Events -----------------------------------------------------------------------
// Queues an event as if it had happened (activate events go ahead of the others).
void InjectEvent(const EventRecord& event);
void InjectKey(unsigned char charCode, uint16_t modifiers, bool autoRepeat = false);
// A key typed once the next dialog or alert is in sight (keys queued before it shows
// were typed ahead of it: they wait until it goes).
void InjectKeyOnceShown(unsigned char charCode, uint16_t modifiers);
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
// Puts text (UTF-8) on the desktop clipboard as another program would.
void SetDesktopClipboardText(const std::string& utf8);
// The frame's title as the desktop shows it (UTF-8, "*" after a modified title).
std::string FrameTitle();
// A dialog's or alert's desktop window: its title (UTF-8), whether its close button is
// offered, and a click on that button.
std::string DialogWindowTitle(WindowRef window);
bool DialogCloseButton(WindowRef window);
void SendDialogClose(WindowRef window);

// ---- Dialog scripts ---------------------------------------------------------------
// A modal loop that finds no event waiting takes the next step of its dialog's script
// and turns it into events (so the filter sees them as the teacher's): typing into an
// item clicks it, selects all with Command-A and types the text; a click lands in the
// middle of the item (or at an offset from its top-left); a pop-up choice answers the
// menu and clicks the pop-up. A check step runs with the loop's dialog when the loop is
// next idle (after the events before it, and the updates they caused, were handled).
struct DialogScriptStep {
  enum Kind { kType, kClick, kClickAt, kKey, kChoose, kCheck };
  Kind kind = kClick;
  DialogItemIndex item = 0;
  std::string text;  // Mac Roman
  Point at{0, 0};
  unsigned char key = 0;
  uint16_t modifiers = 0;
  int16_t menuItem = 0;
  std::function<void(DialogRef)> check;
};
DialogScriptStep TypeStep(DialogItemIndex item, const std::string& macRoman);
DialogScriptStep ClickStep(DialogItemIndex item, uint16_t modifiers = 0);
DialogScriptStep ClickAtStep(DialogItemIndex item, Point offset);
DialogScriptStep KeyStep(unsigned char key, uint16_t modifiers = 0);
DialogScriptStep ChooseStep(DialogItemIndex item, int16_t menuItem);
DialogScriptStep CheckStep(std::function<void(DialogRef)> check);
// Appends steps to the dialog's script; they outlive a loop, for the next showing.
void ScriptDialog(DialogRef dialog, std::vector<DialogScriptStep> steps);
size_t PendingDialogSteps(DialogRef dialog);
// A headless modal loop that has had no event and no step for a while asks this
// handler for its answer; without a handler the process stops with a message, so that
// a test never hangs.
using ModalStuckHandler = std::function<DialogItemIndex(DialogRef dialog)>;
void SetModalStuckHandler(ModalStuckHandler handler);

// ---- Alerts -----------------------------------------------------------------------
struct AlertShown {
  AlertType type;
  std::string message;      // Mac Roman
  std::string explanation;  // Mac Roman
  std::vector<std::string> buttons;  // by item: "" where the alert has no such button
  DialogItemIndex defaultButton;
  DialogItemIndex cancelButton;
};
// Answers each alert instead of the teacher; 0 lets the alert run as a dialog.
using AlertResponder = std::function<DialogItemIndex(const AlertShown& alert)>;
void SetAlertResponder(AlertResponder responder);

// ---- File dialogs -----------------------------------------------------------------
struct NavRequest {
  enum Kind { kOpen, kOpenMultiple, kSave, kChooseFolder };
  Kind kind;
  NavDialogOptions options;
  NavObjectFilter filter;
};
// The next file dialog answers this instead of showing itself; without a scripted
// answer a headless file dialog is cancelled.
struct NavAnswer {
  bool cancelled = false;
  std::vector<std::string> paths;  // UTF-8
  bool replacing = false;
};
void ScriptNavAnswer(NavAnswer answer);
bool LastNavRequest(NavRequest* request);

// ---- Keychain ---------------------------------------------------------------------
// An empty keychain in memory instead of the desktop's secret service.
void UseInMemoryKeychainForTesting(bool inMemory);
// A desktop where no keyring service answers: nothing is found or kept.
void SetKeyringUnavailableForTesting(bool unavailable);
// Its items: (service, account) -> password, all Mac Roman.
std::map<std::pair<std::string, std::string>, std::string> InMemoryKeychainItems();
