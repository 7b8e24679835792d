#include "marktally/shell/dialogs/dialog_items.h"

#include "marktally/model/platform.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/toolbox/desktop.h"

namespace {

ControlRef Item(DialogRef dialog, DialogItemIndex item) {
  ControlRef control = nullptr;
  GetDialogItemAsControl(dialog, item, &control);
  return control;
}

void GetText(DialogRef dialog, DialogItemIndex item, ResType tag, Str255& text) {
  int32_t size = 0;
  GetControlData(Item(dialog, item), kControlEditTextPart, tag, 255, text.text(), &size);
  text[0] = static_cast<unsigned char>(size < 255 ? size : 255);
}

void SetText(DialogRef dialog, DialogItemIndex item, ResType tag, ConstStringPtr text) {
  SetControlData(Item(dialog, item), kControlEditTextPart, tag, text[0], text + 1);
}

void Focus(DialogRef dialog, DialogItemIndex item, ControlPartCode part) {
  WindowRef window = GetDialogWindow(dialog);
  ClearKeyboardFocus(window);
  SetKeyboardFocus(window, Item(dialog, item), part);
}

}  // namespace

void SetWindowPort(WindowRef window) { SetPortWindowPort(window); }
void SetDialogPort(DialogRef dialog) { SetPort(GetDialogPort(dialog)); }
void ShowDialog(DialogRef dialog) { ShowWindow(GetDialogWindow(dialog)); }
void HideDialog(DialogRef dialog) { HideWindow(GetDialogWindow(dialog)); }
void SelectDialog(DialogRef dialog) { SelectWindow(GetDialogWindow(dialog)); }

void CenterDialog(DialogRef dialog) {
  Rect screen, window;
  GetMainScreenBounds(&screen);
  GetPortBounds(GetDialogPort(dialog), &window);
  int16_t menuBar = 0;
  GetThemeMenuBarHeight(&menuBar);
  const int screenWidth = screen.right - screen.left, screenHeight = screen.bottom - screen.top;
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int left = (screenWidth - width) / 2;
  const int top = menuBar + (screenHeight - menuBar - height) / 3 + 16;
  MoveWindow(GetDialogWindow(dialog), static_cast<int16_t>(left), static_cast<int16_t>(top),
             false);
}

void ControlOn(DialogRef dialog, DialogItemIndex item) { ActivateControl(Item(dialog, item)); }
void ControlOff(DialogRef dialog, DialogItemIndex item) { DeactivateControl(Item(dialog, item)); }

bool GetCheckBox(DialogRef dialog, DialogItemIndex item) {
  return GetControlValue(Item(dialog, item)) == 1;
}
void SetCheckBox(DialogRef dialog, DialogItemIndex item, int16_t value) {
  SetControlValue(Item(dialog, item), value);
}
bool GetRadioButton(DialogRef dialog, DialogItemIndex item) {
  return GetControlValue(Item(dialog, item)) == 1;
}
void SetRadioButton(DialogRef dialog, DialogItemIndex item, int16_t value) {
  SetControlValue(Item(dialog, item), value);
}

void SetStaticText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text) {
  SetControlData(Item(dialog, item), kControlEntireControl, kControlStaticTextTextTag, text[0],
                 text + 1);
}

void GetEditText(DialogRef dialog, DialogItemIndex item, Str255& text) {
  GetText(dialog, item, kControlEditTextTextTag, text);
}
void SetEditText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text) {
  SetText(dialog, item, kControlEditTextTextTag, text);
}
void GetPWText(DialogRef dialog, DialogItemIndex item, Str255& text) {
  GetText(dialog, item, kControlEditTextPasswordTag, text);
}
void SetPWText(DialogRef dialog, DialogItemIndex item, ConstStringPtr text) {
  SetText(dialog, item, kControlEditTextPasswordTag, text);
}

void GetTEHandle(DialogRef dialog, DialogItemIndex item, TEHandle& te) {
  te = nullptr;
  GetControlData(Item(dialog, item), kControlEditTextPart, kControlEditTextTEHandleTag, sizeof te,
                 &te, nullptr);
}

void SetEditFocus(DialogRef dialog, DialogItemIndex item) {
  Focus(dialog, item, kControlEditTextPart);
}
void SetPWFocus(DialogRef dialog, DialogItemIndex item) {
  Focus(dialog, item, kControlEditTextPart);
}
void SetDateFocus(DialogRef dialog, DialogItemIndex item) {
  Focus(dialog, item, kControlClockPart);
}

void GetItemDate(DialogRef dialog, DialogItemIndex item, uint32_t& seconds) {
  DateTimeRec date{};
  GetControlData(Item(dialog, item), kControlClockPart, kControlClockLongDateTag, sizeof date,
                 &date, nullptr);
  date.hour = 12;
  date.minute = 0;
  date.second = 0;
  DateToSeconds(date, seconds);
}

void SetItemDate(DialogRef dialog, DialogItemIndex item, uint32_t seconds) {
  DateTimeRec date{};
  SecondsToDate(seconds, date);
  date.hour = 12;
  date.minute = 0;
  date.second = 0;
  SetControlData(Item(dialog, item), kControlClockPart, kControlClockLongDateTag, sizeof date,
                 &date);
}

void SetItemTitle(DialogRef dialog, DialogItemIndex item, ConstStringPtr title) {
  SetControlTitle(Item(dialog, item), title);
}

void SetUserProc(DialogRef dialog, DialogItemIndex item, UserItemUPP proc) {
  DialogItemType kind;
  Handle handle;
  Rect box;
  GetDialogItem(dialog, item, &kind, &handle, &box);
  SetDialogItem(dialog, item, kind, proc, &box);
}

void OpenModal(DialogRef dialog) {
  CenterDialog(dialog);
  SelectDialog(dialog);
  ShowDialog(dialog);
}

bool RunModal(DialogRef dialog, const ModalLoop& loop) {
  OpenModal(dialog);
  for (;;) {
    DialogItemIndex item = 0;
    ModalDialog(loop.filter ? loop.filter : gEventFilter, &item);
    if (item == 1 && (!loop.valid || loop.valid())) break;
    if (item == 2 && loop.hasCancel) {
      HideDialog(dialog);
      return false;
    }
    if (item != 1 && loop.onItem) loop.onItem(item);
  }
  HideDialog(dialog);
  return true;
}

ControlRef ItemControl(DialogRef dialog, DialogItemIndex item) { return Item(dialog, item); }

int16_t ItemValue(DialogRef dialog, DialogItemIndex item, int16_t none) {
  ControlRef control = Item(dialog, item);
  return control ? GetControlValue(control) : none;
}

void SetItemValue(DialogRef dialog, DialogItemIndex item, int16_t value) {
  if (ControlRef control = Item(dialog, item)) SetControlValue(control, value);
}

void FlipCheckBox(DialogRef dialog, DialogItemIndex item) {
  SetCheckBox(dialog, item, GetCheckBox(dialog, item) ? 0 : 1);
}

bool RefuseItem(DialogRef dialog, const std::string& title, const std::string& text,
                DialogItemIndex focus) {
  InitCursor();
  ShowModelAlert(kStopAlert, kAlertOK, PStr(title), PStr(text));
  if (focus) SetEditFocus(dialog, focus);
  return false;
}
