// The program's modal dialogs, made once at start-up and kept hidden between uses, and
// what all modal loops and alerts share: the event filters that keep the document
// window drawn behind a dialog and map the keyboard to buttons, and the parameter
// blocks of the standard alerts.
#pragma once

#include <functional>

#include "marktally/toolbox/toolbox.h"

// The version the About box and `marktally --version` show.
#define MARKTALLY_VERSION "7.0"
constexpr const char* kMarktallyVersion = MARKTALLY_VERSION;

// Resource numbers of the modal dialogs. Item 1 is OK and item 2 Cancel throughout.
enum DialogID : int16_t {
  kAboutDialogID = 133,
  kPasswordDialogID = 136,
  kReportsDialogID = 137,
  kImportDialogID = 138,
  kExportTextDialogID = 139,
  kExportHTMLDialogID = 140,
  kNewPasswordDialogID = 141,
  kExportProgressDialogID = 142,
  kOptionsDialogID = 143,
  kCommentsDialogID = 144,
  kGlobalCommentsDialogID = 145,
  kFootnotesDialogID = 146,
  kMultipleDialogID = 147,
  kExportLorvexDialogID = 149,
  kExportSchoolCtrDialogID = 150,
  kAssignSeatsDialogID = 151,
  kExportBasmatiDialogID = 152,
  kExportSchoolFusionDialogID = 153,
  kCurveDialogID = 154,
  kExportSchoolSpeakDialogID = 155,
  kEmailDialogID = 156,
  kSaveSchoolSpeakDialogID = 157,
  kEmailProgressDialogID = 158,
  kServerDialogID = 159,
  kSendEmailDialogID = 160,
};

// The pop-up of student names shared by the e-mail address and comment dialogs.
constexpr int16_t kStudentListMenu = 135;
constexpr int16_t kStudentListSize = 250;

extern DialogRef gAboutDialog;
extern DialogRef gPasswordDialog;
extern DialogRef gNewPasswordDialog;
extern DialogRef gAssignSeatsDialog;
extern DialogRef gReportsDialog;
extern DialogRef gMultipleDialog;
extern DialogRef gImportDialog;
extern DialogRef gExportTextDialog;
extern DialogRef gExportHTMLDialog;
extern DialogRef gExportLorvexDialog;
extern DialogRef gExportBasmatiDialog;
extern DialogRef gExportSchoolSpeakDialog;
extern DialogRef gSaveSchoolSpeakDialog;
extern DialogRef gExportSchoolFusionDialog;
extern DialogRef gExportSchoolCtrDialog;
extern DialogRef gFootnotesDialog;
extern DialogRef gServerDialog;
extern DialogRef gEmailDialog;
extern DialogRef gSendEmailDialog;
extern DialogRef gCommentsDialog;
extern DialogRef gGlobalCommentsDialog;
extern DialogRef gCurveDialog;
extern DialogRef gEmailProgressDialog;
extern DialogRef gExportProgressDialog;

// Every alert uses one block; every modal loop uses gEventFilter.
extern AlertStdAlertParamRec gAlertParams;        // OK
extern AlertStdAlertParamRec gYesNoParams;        // Yes (1), No (2)
extern AlertStdAlertParamRec gRevertParams;       // Revert (1), Cancel (2)
extern AlertStdAlertParamRec gSaveChangesParams;  // Save (1), Cancel (2), Don't Save (3)
extern ModalFilterUPP gEventFilter;
extern ModalFilterUPP gAlertFilter;
extern ModalFilterUPP gAlert2Filter;
extern ModalFilterUPP gSaveFilter;

// The document window as the filters see it: while a dialog or alert is up, an update
// of the window redraws it and an activation of it deactivates it. The window code
// installs these when it makes the window.
struct MainWindowHandlers {
  WindowRef window = nullptr;
  std::function<void()> update;      // draws the window's invalid part (inside an update)
  std::function<void()> deactivate;  // the window goes inactive behind the dialog
};
void SetMainWindowHandlers(MainWindowHandlers handlers);

// Start-up: the filters and alert blocks first, then every dialog of the table (the
// class options dialog comes with its own set-up), with the student pop-up filled.
void SetupFilters();
void SetupDialogs();
// Fill menu 135 with 250 items named "student"; a second call changes nothing.
void SetupEmailMenu();
void SetupCommentsMenu();

void DoAboutDialog();
void ShowVersion(DialogRef dialog, DialogItemIndex item);
void DrawVersionNumber(DialogRef dialog, DialogItemIndex item);
// Flashes a push button, as if clicked.
void ClickButton(DialogRef dialog, DialogItemIndex item);

bool EventFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);
bool AlertFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);
bool Alert2Filter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);
bool SaveFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);

// The layouts of the dialogs and the menus of their pop-ups (our resource file).
void RegisterDialogLayouts();
constexpr int16_t kImportFormatMenu = 160;  // tab, comma
constexpr int16_t kExportFormatMenu = 161;  // tab, comma quoting all, comma quoting some
