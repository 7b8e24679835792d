// The one family of routines through which every dialog of the program reads and
// writes its items, so that no dialog code touches the dialog or control layer.
// Texts are length-prefixed Mac Roman strings of at most 255 bytes; dates are seconds
// since 1904 and always land on noon of their day.
#pragma once

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
