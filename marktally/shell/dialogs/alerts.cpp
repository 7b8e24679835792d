#include "marktally/shell/dialogs/alerts.h"

#include "marktally/shell/dialogs/dialogs.h"

int16_t RunAlert(const AlertRequest& request) {
  const AlertStdAlertParamRec* params = &gAlertParams;
  switch (request.buttons) {
    case kAlertYesNo:
      params = &gYesNoParams;
      break;
    case kAlertRevertCancel:
      params = &gRevertParams;
      break;
    case kAlertSaveCancelDont:
      params = &gSaveChangesParams;
      break;
    case kAlertOK:
      break;
  }
  AlertType type = kAlertStopAlert;
  if (request.kind == kNoteAlert) type = kAlertNoteAlert;
  if (request.kind == kCautionAlert) type = kAlertCautionAlert;
  InitCursor();
  const Str255 title = PStr(request.title), text = PStr(request.text);
  DialogItemIndex item = 1;
  StandardAlert(type, title, text.empty() ? nullptr : static_cast<ConstStringPtr>(text), params,
                &item);
  return item;
}

void InstallAlertSink() { SetAlertSink(RunAlert); }
