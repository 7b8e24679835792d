#include "marktally/shell/dialogs/multiple_dialog.h"

#include "marktally/model/multiple.h"
#include "marktally/model/platform.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"

namespace {

enum : DialogItemIndex {
  kOK = 1,
  kCancel = 2,
  kSchoolItem = 3,
  kAllTermsItem = 4,
  kSemesterItem = 5,
  kYearItem = 6,
  kAttendItem = 7,
  kMissingItem = 8,
  kAssignsItem = 9,
  kCommentsItem = 10,
  kSignatureItem = 11,
};

struct Switch {
  DialogItemIndex item;
  uint8_t* flag;
};
const Switch kSwitches[] = {
    {kAllTermsItem, &gShowAllTerms}, {kSemesterItem, &gShowSemester},
    {kYearItem, &gShowYear},         {kAttendItem, &gShowAttend},
    {kMissingItem, &gShowMissing},   {kAssignsItem, &gShowAssigns},
    {kCommentsItem, &gShowComments}, {kSignatureItem, &gShowSignature},
};

}  // namespace

void SetMultipleItems() {
  DialogRef d = gMultipleDialog;
  SetEditText(d, kSchoolItem, gSchoolName);
  for (const Switch& s : kSwitches) SetCheckBox(d, s.item, *s.flag ? 1 : 0);
  ControlOn(d, kAllTermsItem);
  ControlOn(d, kSemesterItem);
  if (gNumTerms == 0) ControlOff(d, kAllTermsItem);
  if (gNumTerms < 3) ControlOff(d, kSemesterItem);
}

void GetMultipleItems() {
  DialogRef d = gMultipleDialog;
  Str255 school;
  GetEditText(d, kSchoolItem, school);
  gSchoolName.set(school);
  for (const Switch& s : kSwitches) *s.flag = GetCheckBox(d, s.item) ? 1 : 0;
}

void DoMultipleDialog() {
  DialogRef d = gMultipleDialog;
  if (!d) return;
  InitCursor();
  SetMultipleItems();
  SetEditFocus(d, kSchoolItem);
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item >= kAllTermsItem && item <= kSignatureItem) FlipCheckBox(d, item);
  };
  if (!RunModal(d, loop)) return;
  GetMultipleItems();
  if (gWindow) {
    AdjustScrollBars();
    ComputeReportPage();
    ForceUpdate();
  }
}
