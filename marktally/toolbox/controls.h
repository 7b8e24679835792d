// Controls of the document window: scroll bars and the page placard, drawn by the
// toolbox into the window's image (a plain black-and-white look, so that pixels are
// the same everywhere). Rectangles are in the window's local coordinates.
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
  scrollBarProc = 16,
  kControlPlacardProc = 224,
  kControlScrollBarLiveProc = 386,
};
enum : int16_t {
  kControlNoPart = 0,
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

int16_t FindControl(Point localPoint, WindowRef window, ControlRef* control);
// action null: the control's own action procedure, if any. Returns the part the
// mouse was released in (0 when it left the part).
int16_t TrackControl(ControlRef control, Point localPoint, ControlActionUPP action);
