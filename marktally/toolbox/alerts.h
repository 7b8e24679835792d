// Standard alerts: a stop, note or caution icon, a bold message, an explanation and up
// to three buttons, run as a modal dialog with the parameter block's filter.
//
// Buttons by item: 1 the default text, 2 the cancel text, 3 the other text, each shown
// only when its text is given (`kAlertDefaultOKText`, `kAlertDefaultCancelText` and
// `kAlertDefaultOtherText` stand for "OK", "Cancel" and "Don't Save"). The block's
// default button gets the ring and answers Return and Enter under the standard filter;
// its cancel button answers Escape, when the alert shows that button. The alert is
// centred on the main screen, a third of the way down; the answer is the item hit.
#pragma once

#include "marktally/toolbox/dialogs.h"

using AlertType = int16_t;
enum : AlertType {
  kAlertStopAlert = 0,
  kAlertNoteAlert = 1,
  kAlertCautionAlert = 2,
  kAlertPlainAlert = 3,
};
enum : DialogItemIndex {
  kAlertStdAlertOKButton = 1,
  kAlertStdAlertCancelButton = 2,
  kAlertStdAlertOtherButton = 3,
};
enum : uint16_t { kWindowDefaultPosition = 0 };

extern const ConstStringPtr kAlertDefaultOKText;
extern const ConstStringPtr kAlertDefaultCancelText;
extern const ConstStringPtr kAlertDefaultOtherText;

struct AlertStdAlertParamRec {
  bool movable;
  bool helpButton;
  ModalFilterUPP filterProc;  // null: the standard filter
  ConstStringPtr defaultText;
  ConstStringPtr cancelText;
  ConstStringPtr otherText;
  DialogItemIndex defaultButton;
  DialogItemIndex cancelButton;
  uint16_t position;
};

// An OK button and nothing else.
OSStatus GetStandardAlertDefaultParams(AlertStdAlertParamRec* param, uint32_t version);
// explanation may be null.
OSErr StandardAlert(AlertType type, ConstStringPtr error, ConstStringPtr explanation,
                    const AlertStdAlertParamRec* param, DialogItemIndex* outItemHit);
