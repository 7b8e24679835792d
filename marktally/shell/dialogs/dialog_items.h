// The one family of routines through which every dialog of the program reads and
// writes its items, so that no dialog code touches the dialog or control layer.
// Texts are length-prefixed Mac Roman strings of at most 255 bytes; dates are seconds
// since 1904 and always land on noon of their day.
#pragma once

#include <functional>
#include <string>

#include "marktally/model/types.h"
#include "marktally/toolbox/toolbox.h"

void SetWindowPort(WindowRef window);
void SetDialogPort(DialogRef dialog);
void ShowDialog(DialogRef dialog);
void HideDialog(DialogRef dialog);
// Brings the dialog's window to the front and activates it.
void SelectDialog(DialogRef dialog);
// Left at half the room beside the window, top at the menu bar plus a third of the room
// below it plus 16; the window moves without being activated.
void CenterDialog(DialogRef dialog);

void ControlOn(DialogRef dialog, DialogItemIndex item);
void ControlOff(DialogRef dialog, DialogItemIndex item);
// True exactly when the value is 1 (a mixed box, 2, reads false).
bool GetCheckBox(DialogRef dialog, DialogItemIndex item);
void SetCheckBox(DialogRef dialog, DialogItemIndex item, int16_t value);
bool GetRadioButton(DialogRef dialog, DialogItemIndex item);
void SetRadioButton(DialogRef dialog, DialogItemIndex item, int16_t value);
void SetStaticText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text);
// The first 255 bytes of the item's text.
void GetEditText(DialogRef dialog, DialogItemIndex item, Str255& text);
void SetEditText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text);
// A password item's clear text, not the bullets it shows.
void GetPWText(DialogRef dialog, DialogItemIndex item, Str255& text);
void SetPWText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text);
void GetTEHandle(DialogRef dialog, DialogItemIndex item, TEHandle& te);
// Clears the window's keyboard focus, then gives it to the item (all its text selected).
void SetEditFocus(DialogRef dialog, DialogItemIndex item);
void SetPWFocus(DialogRef dialog, DialogItemIndex item);
void SetDateFocus(DialogRef dialog, DialogItemIndex item);
// The clock item's date at 12:00:00, in seconds since 1904.
void GetItemDate(DialogRef dialog, DialogItemIndex item, uint32_t& seconds);
void SetItemDate(DialogRef dialog, DialogItemIndex item, uint32_t seconds);
void SetItemTitle(DialogRef dialog, DialogItemIndex item, ConstStringPtr title);
// Keeps the user item's kind and rectangle and installs the procedure that draws it.
void SetUserProc(DialogRef dialog, DialogItemIndex item, UserItemUPP proc);

// ---- The modal loop every dialog runs --------------------------------------------------
// Centred, in front and shown.
void OpenModal(DialogRef dialog);
// The loop of a modal dialog with OK (item 1) and, when it has one, Cancel (item 2): the
// dialog is opened, every other item hit goes to onItem, and OK is taken once valid says
// so (at once without valid). The dialog is hidden on both ways out; true for OK.
struct ModalLoop {
  std::function<void(DialogItemIndex item)> onItem;
  std::function<bool()> valid;
  bool hasCancel = true;
  ModalFilterUPP filter = nullptr;  // null: the program's event filter
};
bool RunModal(DialogRef dialog, const ModalLoop& loop);
// A control item's value (a pop-up's choice, a box's state); none when the item is no
// control.
ControlRef ItemControl(DialogRef dialog, DialogItemIndex item);
int16_t ItemValue(DialogRef dialog, DialogItemIndex item, int16_t none = 0);
void SetItemValue(DialogRef dialog, DialogItemIndex item, int16_t value);
// A click on a check box turns it over.
void FlipCheckBox(DialogRef dialog, DialogItemIndex item);
// A stop alert that refuses what the dialog holds; the focus then goes to the item (0:
// stays). Always false, for `return RefuseItem(...)` in a check.
bool RefuseItem(DialogRef dialog, const std::string& title, const std::string& text,
                DialogItemIndex focus = 0);
