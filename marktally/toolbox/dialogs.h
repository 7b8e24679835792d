// Dialogs: windows of numbered items made from the program's own layout tables.
//
// The program registers its layouts once (`RegisterDialogTemplate`, and
// `RegisterItemList` for panels) and makes each dialog from them by number with
// `GetNewDialog`. Every item is a control of the dialog's window (`GetDialogItemAsControl`
// works for all of them); item 1 is usually OK and item 2 Cancel, but only the default
// and cancel items set on the dialog count for the keyboard. Items whose template says
// enabled report clicks; inactive controls report nothing.
//
// `ModalDialog(filter, &item)` runs a loop of its own over the event queue and can be
// entered from inside any event handler. The filter sees every event, null events
// included; when it answers true with an item, that item is the answer, and when it
// answers true with item 0 the event is simply consumed. Without a filter the standard
// filter runs: Return and Enter press the default item, Escape and Command-period the
// cancel item. What no filter consumed goes to `DialogSelect`: updates of dialogs
// redraw them, clicks in items track and report them (a check box or radio button is
// reported, never changed), pop-ups show their menu and report a choice, clicks and
// keys in edit texts and clocks edit them (and report the item), Tab moves the focus
// between them, and Command-X, C, V and A cut, copy, paste and select all. Clicks
// outside the dialog beep; an update of a window that no filter drew is dropped.
//
// Panels: `AppendDialogItemList` appends a registered item list as items after the
// last, in the dialog's coordinates; `ShortenDITL` removes items from the end.
#pragma once

#include <string>
#include <vector>

#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/events.h"
#include "marktally/toolbox/textedit.h"

struct DialogRecord;
using DialogRef = DialogRecord*;
using DialogPtr = DialogRef;
using DialogItemIndex = int16_t;
using DialogItemType = int16_t;
using Handle = void*;

enum : DialogItemType {
  kUserDialogItem = 0,
  kButtonDialogItem = 4,
  kCheckBoxDialogItem = 5,
  kRadioButtonDialogItem = 6,
  kPopupButtonDialogItem = 7,
  kStaticTextDialogItem = 8,
  kEditTextDialogItem = 16,
  kPasswordTextDialogItem = 17,
  kClockDialogItem = 18,
  kTabDialogItem = 19,
  kProgressBarDialogItem = 20,
};

// ---- Layouts ----------------------------------------------------------------------
struct DialogItemTemplate {
  DialogItemIndex item = 0;  // its number, which must match its place in the list
  DialogItemType kind = kUserDialogItem;
  Rect bounds{0, 0, 0, 0};  // in the dialog's local coordinates
  std::string text;         // Mac Roman: title, static text or the first edit text
  bool enabled = true;      // reports clicks
  int16_t value = 0;
  int16_t minimum = 0;
  int16_t maximum = 1;
  int16_t menuID = 0;      // pop-ups
  int16_t titleWidth = 0;  // pop-ups: the room of the label before the box
  std::vector<std::string> tabs;
  Style face = normal;  // static texts
  int16_t textSize = 0;
};

DialogItemTemplate ButtonItem(DialogItemIndex item, const Rect& bounds, const char* title);
DialogItemTemplate CheckBoxItem(DialogItemIndex item, const Rect& bounds, const char* title);
DialogItemTemplate RadioButtonItem(DialogItemIndex item, const Rect& bounds, const char* title);
DialogItemTemplate PopUpItem(DialogItemIndex item, const Rect& bounds, const char* title,
                             int16_t titleWidth, int16_t menuID);
DialogItemTemplate EditTextItem(DialogItemIndex item, const Rect& bounds, const char* text = "");
DialogItemTemplate PasswordItem(DialogItemIndex item, const Rect& bounds);
DialogItemTemplate StaticTextItem(DialogItemIndex item, const Rect& bounds, const char* text,
                                  Style face = normal, int16_t textSize = 0);
DialogItemTemplate ClockItem(DialogItemIndex item, const Rect& bounds);
DialogItemTemplate TabsItem(DialogItemIndex item, const Rect& bounds,
                            const std::vector<std::string>& titles);
DialogItemTemplate ProgressBarItem(DialogItemIndex item, const Rect& bounds);
DialogItemTemplate UserItem(DialogItemIndex item, const Rect& bounds, bool enabled = false);

struct DialogTemplate {
  Rect bounds{0, 0, 0, 0};  // the content rectangle, global
  WindowClass windowClass = kMovableModalWindowClass;
  std::string title;  // Mac Roman
  std::vector<DialogItemTemplate> items;
};

void RegisterDialogTemplate(int16_t dialogID, DialogTemplate dialog);
void RegisterItemList(int16_t itemListID, std::vector<DialogItemTemplate> items);
// Made hidden, in front of the other windows; null when no layout has that number.
// storage and behind are kept for the callers' sake.
DialogRef GetNewDialog(int16_t dialogID, void* storage, WindowRef behind);
DialogRef NewDialogFromTemplate(const DialogTemplate& dialog);
void DisposeDialog(DialogRef dialog);

WindowRef GetDialogWindow(DialogRef dialog);
CGrafPtr GetDialogPort(DialogRef dialog);
// Null for a window that is not a dialog's.
DialogRef GetDialogFromWindow(WindowRef window);
int16_t GetDialogID(DialogRef dialog);

// The default item is drawn with the default ring.
OSErr SetDialogDefaultItem(DialogRef dialog, DialogItemIndex item);
OSErr SetDialogCancelItem(DialogRef dialog, DialogItemIndex item);
DialogItemIndex GetDialogDefaultItem(DialogRef dialog);
DialogItemIndex GetDialogCancelItem(DialogRef dialog);

// ---- Items ------------------------------------------------------------------------
DialogItemIndex CountDITL(DialogRef dialog);
OSErr GetDialogItemAsControl(DialogRef dialog, DialogItemIndex item, ControlRef* control);
// The kind, the control (or a user item's procedure) and the rectangle of an item.
void GetDialogItem(DialogRef dialog, DialogItemIndex item, DialogItemType* kind, Handle* handle,
                   Rect* box);
// Moves the item to box; for a user item, handle is its drawing procedure.
void SetDialogItem(DialogRef dialog, DialogItemIndex item, DialogItemType kind, Handle handle,
                   const Rect* box);
bool IsDialogItemEnabled(DialogRef dialog, DialogItemIndex item);
void HideDialogItem(DialogRef dialog, DialogItemIndex item);
void ShowDialogItem(DialogRef dialog, DialogItemIndex item);

using UserItemProcPtr = void (*)(DialogRef dialog, DialogItemIndex item);
struct UserItemRoutine {
  UserItemProcPtr proc;
};
using UserItemUPP = UserItemRoutine*;
// The routine lives as long as the program.
UserItemUPP NewUserItemUPP(UserItemProcPtr proc);

enum : int16_t { overlayDITL = 0, appendDITLRight = 1, appendDITLBottom = 2 };
// Right and bottom place the list beside or below the dialog's content and grow it.
void AppendDialogItemList(DialogRef dialog, int16_t itemListID, int16_t method);
void ShortenDITL(DialogRef dialog, DialogItemIndex numberItems);

// The item whose control has the keyboard focus; 0 for none.
DialogItemIndex GetDialogKeyboardFocusItem(DialogRef dialog);
// Focuses an edit text and selects [start, end) of its text.
void SelectDialogItemText(DialogRef dialog, DialogItemIndex item, int16_t start, int16_t end);
void DialogCut(DialogRef dialog);
void DialogCopy(DialogRef dialog);
void DialogPaste(DialogRef dialog);
void DialogDelete(DialogRef dialog);

void DrawDialog(DialogRef dialog);
// Draws the items that meet the region (local coordinates).
void UpdateDialog(DialogRef dialog, RgnHandle updateRgn);

// ---- The modal loop ---------------------------------------------------------------
using ModalFilterProcPtr = bool (*)(DialogRef dialog, EventRecord* event,
                                    DialogItemIndex* itemHit);
using ModalFilterUPP = ModalFilterProcPtr;
inline ModalFilterUPP NewModalFilterUPP(ModalFilterProcPtr p) { return p; }

// The dialog is the frontmost visible dialog window (else the frontmost dialog).
void ModalDialog(ModalFilterUPP filter, DialogItemIndex* itemHit);
bool IsDialogEvent(const EventRecord* event);
bool DialogSelect(const EventRecord* event, DialogRef* dialog, DialogItemIndex* itemHit);
bool StdFilterProc(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);
OSErr GetStdFilterProc(ModalFilterUPP* proc);
