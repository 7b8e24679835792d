#include "marktally/shell/celledit.h"

#include "marktally/model/records.h"
#include "marktally/shell/selection.h"

TERec* gEditHandle = nullptr;
uint16_t gEditKind = kEditScore;
uint16_t gEditStudent = kNone;
uint16_t gEditAssignment = kNone;
Rect gEditBox{0, 0, 0, 0};
uint32_t gLastAssignDate = 0;

void CloseEdit(int16_t) {
  if (!gEditHandle) return;
}

bool CloseEditor(bool cancelSelection) {
  if (cancelSelection) CancelSelection();
  CloseEdit(kEditCommit);
  return gEditHandle == nullptr;
}
