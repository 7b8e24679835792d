// Controls of the document window: scroll bars and the page placard, drawn by the
// toolbox into the window's image (a plain black-and-white look, so that pixels are
// the same everywhere). Rectangles are in the window's local coordinates.
//
// The items of dialogs are controls too: push buttons, check boxes (values 0, 1 and 2
// for mixed), radio buttons, pop-up buttons (the value is the item of their menu),
// edit texts and password edit texts (a TextEdit record inside the frame), static
// texts, clocks (a date), tab controls (the value is the tab), progress bars and user
// panes. Clicking never changes a check box or radio button: the dialog reports the
// item and the program sets the value. An inactive control is drawn dimmed and can't
// be hit.
//
// A scroll bar has an arrow square (as wide as the bar) at each end, a gray track
// between them and, when its maximum exceeds its minimum, a white thumb whose length
// follows the view size. `FindControl` gives the part under a point: 20 up/left arrow,
// 21 down/right arrow, 22 page up/left, 23 page down/right, 129 thumb (0 on an
// inactive, hidden or empty bar, and on the placard). `TrackControl` follows the
// mouse while the button is held: on an arrow or page area it calls the action
// procedure at once and then for as long as the mouse stays in that part; on the
// thumb of a live scroll bar it moves the value with the mouse and calls the action
// procedure (part 129) each time the value changes.
#pragma once

#include "marktally/toolbox/windows.h"

enum : int16_t {
  pushButProc = 0,
  checkBoxProc = 1,
  radioButProc = 2,
  scrollBarProc = 16,
  kControlProgressBarProc = 80,
  kControlTabSmallProc = 128,
  kControlPlacardProc = 224,
  kControlClockDateProc = 240,
  kControlUserPaneProc = 256,
  kControlStaticTextProc = 288,
  kControlScrollBarLiveProc = 386,
  kControlPopupButtonProc = 400,
  kControlEditTextProc = 912,
  kControlEditTextPasswordProc = 914,
};
enum : int16_t {
  kControlNoPart = 0,
  kControlEntireControl = 0,
  kControlMenuPart = 2,
  kControlEditTextPart = 5,
  kControlClockPart = 8,
  kControlButtonPart = 10,
  kControlCheckBoxPart = 11,
  kControlRadioButtonPart = 12,
  kControlUserPanePart = 13,
  kControlUpButtonPart = 20,
  kControlDownButtonPart = 21,
  kControlPageUpPart = 22,
  kControlPageDownPart = 23,
  kControlIndicatorPart = 129,
};

using ControlHandle = ControlRef;
using ControlActionProcPtr = void (*)(ControlRef control, int16_t part);
using ControlActionUPP = ControlActionProcPtr;
inline ControlActionUPP NewControlActionUPP(ControlActionProcPtr p) { return p; }

ControlRef NewControl(WindowRef window, const Rect* bounds, ConstStringPtr title, bool visible,
                      int16_t value, int16_t minimum, int16_t maximum, int16_t procID,
                      long refCon);
void DisposeControl(ControlRef control);
void KillControls(WindowRef window);

int16_t GetControlValue(ControlRef control);
void SetControlValue(ControlRef control, int16_t value);  // kept within min..max
int16_t GetControlMinimum(ControlRef control);
void SetControlMinimum(ControlRef control, int16_t minimum);
int16_t GetControlMaximum(ControlRef control);
void SetControlMaximum(ControlRef control, int16_t maximum);  // not below the minimum
// The same values in 32 bits; the 16-bit calls read a value past their range as its
// nearest end.
int32_t GetControl32BitValue(ControlRef control);
void SetControl32BitValue(ControlRef control, int32_t value);  // kept within min..max
int32_t GetControl32BitMinimum(ControlRef control);
void SetControl32BitMinimum(ControlRef control, int32_t minimum);
int32_t GetControl32BitMaximum(ControlRef control);
void SetControl32BitMaximum(ControlRef control, int32_t maximum);  // not below the minimum
int32_t GetControlViewSize(ControlRef control);
void SetControlViewSize(ControlRef control, int32_t viewSize);
Rect* GetControlBounds(ControlRef control, Rect* bounds);
long GetControlReference(ControlRef control);
void SetControlReference(ControlRef control, long refCon);
void SetControlAction(ControlRef control, ControlActionUPP action);

void MoveControl(ControlRef control, int16_t h, int16_t v);
void SizeControl(ControlRef control, int16_t width, int16_t height);
// Hiding erases the control and invalidates its rectangle.
void HideControl(ControlRef control);
void ShowControl(ControlRef control);
bool IsControlVisible(ControlRef control);
OSErr ActivateControl(ControlRef control);
OSErr DeactivateControl(ControlRef control);
bool IsControlActive(ControlRef control);

void Draw1Control(ControlRef control);
void DrawControls(WindowRef window);
// Draws the visible controls that meet the region (local coordinates).
void UpdateControls(WindowRef window, RgnHandle rgn);

// A tab control answers the number of the tab under the point (from 1).
int16_t FindControl(Point localPoint, WindowRef window, ControlRef* control);
// action null: the control's own action procedure, if any. Returns the part the
// mouse was released in (0 when it left the part).
int16_t TrackControl(ControlRef control, Point localPoint, ControlActionUPP action);

// ---- Titles, highlighting and data of dialog controls ------------------------------
void SetControlTitle(ControlRef control, ConstStringPtr title);
void GetControlTitle(ControlRef control, Str255& title);
// part 0 draws the control plainly, any other part pressed.
void HiliteControl(ControlRef control, int16_t part);
// Draws the default button's ring around a push button.
void SetControlDefaultRing(ControlRef control, bool ring);

using ControlPartCode = int16_t;
constexpr ResType kControlEditTextTextTag = FourCC("text");      // Mac Roman bytes
constexpr ResType kControlEditTextPasswordTag = FourCC("pass");  // the clear text
constexpr ResType kControlStaticTextTextTag = FourCC("text");
constexpr ResType kControlEditTextTEHandleTag = FourCC("than");  // TEHandle
constexpr ResType kControlClockLongDateTag = FourCC("date");     // DateTimeRec
constexpr ResType kControlPopupButtonMenuIDTag = FourCC("mnid");  // int16_t
constexpr ResType kControlTabTitlesTag = FourCC("tabs");          // titles separated by '\r'
enum : OSErr { errDataNotSupported = -30583 };

// Text tags: size is the byte count. Fixed-size tags need exactly their size.
OSErr SetControlData(ControlRef control, ControlPartCode part, ResType tag, int32_t size,
                     const void* data);
// Copies at most bufferSize bytes; actualSize (when given) gets the data's whole size.
OSErr GetControlData(ControlRef control, ControlPartCode part, ResType tag, int32_t bufferSize,
                     void* buffer, int32_t* actualSize);
OSErr GetControlDataSize(ControlRef control, ControlPartCode part, ResType tag, int32_t* size);

// ---- Keyboard focus ----------------------------------------------------------------
// The edit text (or clock) that takes the window's keys; its TextEdit record is active
// and all its text selected. For a clock, part 1 to 3 chooses the date part in the
// region's order (any other part, the first).
enum : int16_t { kControlFocusNoPart = 0, kControlFocusNextPart = -1 };
OSErr SetKeyboardFocus(WindowRef window, ControlRef control, ControlPartCode part);
OSErr ClearKeyboardFocus(WindowRef window);
OSErr GetKeyboardFocus(WindowRef window, ControlRef* control);
// A key for the focused control: text editing in edit texts; digits, arrows and Tab
// between the parts of a clock. Returns the part that took it (0: none).
ControlPartCode HandleControlKey(ControlRef control, unsigned char charCode, uint16_t modifiers);
// A click in an edit text or clock: places the caret or chooses the date part.
void HandleControlClick(ControlRef control, Point localPoint, uint16_t modifiers);
// Blinks the caret of the focused edit text.
void IdleControls(WindowRef window);
