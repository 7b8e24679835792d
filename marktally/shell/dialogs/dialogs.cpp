#include "marktally/shell/dialogs/dialogs.h"

#include "marktally/model/password.h"
#include "marktally/model/platform.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/commands/host.h"

DialogRef gAboutDialog;
DialogRef gPasswordDialog;
DialogRef gNewPasswordDialog;
DialogRef gAssignSeatsDialog;
DialogRef gReportsDialog;
DialogRef gMultipleDialog;
DialogRef gImportDialog;
DialogRef gExportTextDialog;
DialogRef gExportHTMLDialog;
DialogRef gExportLorvexDialog;
DialogRef gExportBasmatiDialog;
DialogRef gExportSchoolSpeakDialog;
DialogRef gSaveSchoolSpeakDialog;
DialogRef gExportSchoolFusionDialog;
DialogRef gExportSchoolCtrDialog;
DialogRef gFootnotesDialog;
DialogRef gServerDialog;
DialogRef gEmailDialog;
DialogRef gSendEmailDialog;
DialogRef gCommentsDialog;
DialogRef gGlobalCommentsDialog;
DialogRef gCurveDialog;
DialogRef gEmailProgressDialog;
DialogRef gExportProgressDialog;

AlertStdAlertParamRec gAlertParams;
AlertStdAlertParamRec gYesNoParams;
AlertStdAlertParamRec gRevertParams;
AlertStdAlertParamRec gSaveChangesParams;
ModalFilterUPP gEventFilter;
ModalFilterUPP gAlertFilter;
ModalFilterUPP gAlert2Filter;
ModalFilterUPP gSaveFilter;

namespace {

const Str255 kYesText = PStr("Yes");
const Str255 kNoText = PStr("No");
const Str255 kRevertText = PStr("Revert");
const Str255 kCancelText = PStr("Cancel");
const Str255 kSaveText = PStr("Save");
const Str255 kDontSaveText = PStr("Don't Save");

// The about box's lines, in the page-number font.
constexpr int16_t kVersionFont = kGenevaFontNumber;
constexpr int16_t kVersionSize = 10;
// The brackets make the joined version line one element in the eyes of clang's
// -Wstring-concatenation.
const char* const kVersionLines[] = {("Version " MARKTALLY_VERSION),
                                     "Copyright \xA9 the Marktally authors.",
                                     "All rights reserved."};

MainWindowHandlers& MainWindow() {
  static MainWindowHandlers handlers;
  return handlers;
}

// What every filter does first for the document window behind the dialog.
void HandleMainWindow(const EventRecord* event) {
  const MainWindowHandlers& main = MainWindow();
  if (!main.window || event->message != reinterpret_cast<uintptr_t>(main.window)) return;
  if (event->what == updateEvt && main.update) main.update();
  if (event->what == activateEvt && main.deactivate) main.deactivate();
}

bool IsKey(const EventRecord* event) { return event->what == keyDown || event->what == autoKey; }

unsigned char KeyOf(const EventRecord* event) {
  return static_cast<unsigned char>(event->message & charCodeMask);
}

bool Answer(DialogRef dialog, DialogItemIndex item, DialogItemIndex* itemHit) {
  ClickButton(dialog, item);
  *itemHit = item;
  return true;
}

AlertStdAlertParamRec Block(ModalFilterUPP filter, ConstStringPtr defaultText,
                            ConstStringPtr cancelText, ConstStringPtr otherText,
                            DialogItemIndex cancelButton) {
  return AlertStdAlertParamRec{true,      false, filter,       defaultText,           cancelText,
                               otherText, 1,     cancelButton, kWindowDefaultPosition};
}

}  // namespace

void SetMainWindowHandlers(MainWindowHandlers handlers) { MainWindow() = std::move(handlers); }

void ClickButton(DialogRef dialog, DialogItemIndex item) {
  ControlRef control = nullptr;
  GetDialogItemAsControl(dialog, item, &control);
  if (!control) return;
  HiliteControl(control, kControlButtonPart);
  uint32_t ticks;
  Delay(8, &ticks);
  HiliteControl(control, kControlNoPart);
}

bool AlertFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
  HandleMainWindow(event);
  if (!IsKey(event)) return false;
  const unsigned char key = KeyOf(event);
  if (key == kReturnCharCode || key == kEnterCharCode) return Answer(dialog, 1, itemHit);
  return false;
}

bool Alert2Filter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
  HandleMainWindow(event);
  if (!IsKey(event)) return false;
  const unsigned char key = KeyOf(event);
  if (key == kReturnCharCode || key == kEnterCharCode) return Answer(dialog, 1, itemHit);
  if (key == kEscapeCharCode) return Answer(dialog, 2, itemHit);
  return false;
}

bool SaveFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
  HandleMainWindow(event);
  if (!IsKey(event)) return false;
  const unsigned char key = KeyOf(event);
  const bool command = (event->modifiers & cmdKey) != 0;
  if (key == kReturnCharCode || key == kEnterCharCode || (command && (key == 'S' || key == 's')))
    return Answer(dialog, 1, itemHit);
  if (key == kEscapeCharCode) return Answer(dialog, 2, itemHit);
  if (command && (key == 'D' || key == 'd')) return Answer(dialog, 3, itemHit);
  return false;
}

bool EventFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
  HandleMainWindow(event);
  if (event->what == mouseDown) {
    WindowRef window = nullptr;
    if (FindWindow(event->where, &window) == inDrag && window == GetDialogWindow(dialog)) {
      Rect screen;
      GetMainScreenBounds(&screen);
      DragWindow(window, event->where, &screen);
      *itemHit = 0;  // consumed: the loop goes on
      return true;
    }
  }
  GrafPtr saved;
  GetPort(&saved);
  SetDialogPort(dialog);
  const bool consumed = StdFilterProc(dialog, event, itemHit);
  SetPort(saved);
  return consumed;
}

void SetupFilters() {
  gEventFilter = NewModalFilterUPP(EventFilter);
  gAlertFilter = NewModalFilterUPP(AlertFilter);
  gAlert2Filter = NewModalFilterUPP(Alert2Filter);
  gSaveFilter = NewModalFilterUPP(SaveFilter);
  gAlertParams = Block(gAlertFilter, kAlertDefaultOKText, nullptr, nullptr, 2);
  gYesNoParams = Block(gAlertFilter, kYesText, kNoText, nullptr, 0);
  gRevertParams = Block(gAlert2Filter, kRevertText, kCancelText, nullptr, 2);
  gSaveChangesParams = Block(gSaveFilter, kSaveText, kCancelText, kDontSaveText, 2);
}

void SetupDialogs() {
  RegisterDialogLayouts();
  InstallReportHost();
  gPreviousPassword.clear();
  struct Entry {
    DialogRef* global;
    int16_t id;
    DialogItemIndex defaultItem;
    DialogItemIndex cancelItem;
  };
  const Entry kTable[] = {
      {&gPasswordDialog, kPasswordDialogID, 1, 2},
      {&gNewPasswordDialog, kNewPasswordDialogID, 1, 2},
      {&gAboutDialog, kAboutDialogID, 4, 4},  // Return, Escape and the close button: OK
      {&gAssignSeatsDialog, kAssignSeatsDialogID, 1, 2},
      {&gReportsDialog, kReportsDialogID, 1, 2},
      {&gMultipleDialog, kMultipleDialogID, 1, 2},
      {&gImportDialog, kImportDialogID, 1, 2},
      {&gExportTextDialog, kExportTextDialogID, 1, 2},
      {&gExportHTMLDialog, kExportHTMLDialogID, 1, 2},
      {&gExportLorvexDialog, kExportLorvexDialogID, 1, 2},
      {&gExportBasmatiDialog, kExportBasmatiDialogID, 1, 2},
      {&gExportSchoolSpeakDialog, kExportSchoolSpeakDialogID, 1, 2},
      {&gSaveSchoolSpeakDialog, kSaveSchoolSpeakDialogID, 1, 2},
      {&gExportSchoolFusionDialog, kExportSchoolFusionDialogID, 1, 2},
      {&gExportSchoolCtrDialog, kExportSchoolCtrDialogID, 1, 2},
      {&gFootnotesDialog, kFootnotesDialogID, 1, 2},
      {&gServerDialog, kServerDialogID, 1, 2},
      {&gEmailDialog, kEmailDialogID, 1, 0},
      {&gSendEmailDialog, kSendEmailDialogID, 1, 2},
      {&gCommentsDialog, kCommentsDialogID, 1, 0},
      {&gGlobalCommentsDialog, kGlobalCommentsDialogID, 1, 2},
      {&gCurveDialog, kCurveDialogID, 1, 2},
      {&gEmailProgressDialog, kEmailProgressDialogID, 0, 0},
      {&gExportProgressDialog, kExportProgressDialogID, 0, 0},
  };
  for (const Entry& e : kTable) {
    *e.global = GetNewDialog(e.id, nullptr, nullptr);
    SetDialogDefaultItem(*e.global, e.defaultItem);
    SetDialogCancelItem(*e.global, e.cancelItem);
  }
  static UserItemUPP showVersion = NewUserItemUPP(ShowVersion);
  SetUserProc(gAboutDialog, 3, showVersion);
  SetupEmailMenu();
  SetupCommentsMenu();
}

namespace {
void FillStudentList() {
  MenuRef menu = GetMenuHandle(kStudentListMenu);
  if (!menu) {
    menu = NewMenu(kStudentListMenu, PStr("Students"));
    InsertMenu(menu, -1);
  }
  while (CountMenuItems(menu) < kStudentListSize) AppendMenuItemText(menu, PStr("student"));
}
}  // namespace

void SetupEmailMenu() { FillStudentList(); }
void SetupCommentsMenu() { FillStudentList(); }

void DoAboutDialog() {
  if (MainWindow().window && MainWindow().deactivate) MainWindow().deactivate();
  CenterDialog(gAboutDialog);
  SelectDialog(gAboutDialog);
  ShowDialog(gAboutDialog);
  DialogItemIndex item = 0;
  do {
    ModalDialog(nullptr, &item);
  } while (item == 0);
  HideDialog(gAboutDialog);
}

void ShowVersion(DialogRef dialog, DialogItemIndex item) { DrawVersionNumber(dialog, item); }

void DrawVersionNumber(DialogRef dialog, DialogItemIndex item) {
  GrafPtr saved;
  GetPort(&saved);
  SetDialogPort(dialog);
  GrafPtr port = GetDialogPort(dialog);
  const int16_t font = GetPortTextFont(port), size = GetPortTextSize(port);
  const Style face = GetPortTextFace(port);
  DialogItemType kind;
  Handle handle;
  Rect box;
  GetDialogItem(dialog, item, &kind, &handle, &box);
  TextFont(kVersionFont);
  TextSize(kVersionSize);
  TextFace(bold);
  const int middle = (box.top + box.bottom) / 2;
  for (int line = 0; line < 3; ++line) {
    const Str255 text = PStr(kVersionLines[line]);
    const int left = box.left + (box.right - box.left - StringWidth(text)) / 2;
    MoveTo(static_cast<int16_t>(left), static_cast<int16_t>(middle - 12 + 12 * line));
    DrawString(text);
  }
  TextFont(font);
  TextSize(size);
  TextFace(face);
  SetPort(saved);
}
