#include "marktally/shell/dialogs/service_dialogs.h"

#include <algorithm>

#include "marktally/model/tables.h"
#include "marktally/reports/upload.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"

namespace {

enum : DialogItemIndex { kFirstField = 3 };

// Which gExportData field an item shows; a password item shows nothing and stores into
// the teacher ID field. The upload tool's password goes to the tool alone.
enum class Field { kClassCode, kSection, kAccount, kPassword, kToolPassword };

bool IsPassword(Field f) { return f == Field::kPassword || f == Field::kToolPassword; }

struct FieldItem {
  DialogItemIndex item;
  Field field;
};

void Fill(DialogRef d, const FieldItem& f) {
  switch (f.field) {
    case Field::kClassCode: SetEditText(d, f.item, gExportData.classCode); break;
    case Field::kSection: SetEditText(d, f.item, gExportData.section); break;
    case Field::kAccount: SetEditText(d, f.item, gExportData.account); break;
    case Field::kPassword:
    case Field::kToolPassword: SetPWText(d, f.item, PStr("")); break;
  }
}

void Store(DialogRef d, const FieldItem& f) {
  Str255 text{};
  if (IsPassword(f.field))
    GetPWText(d, f.item, text);
  else
    GetEditText(d, f.item, text);
  switch (f.field) {
    case Field::kClassCode: gExportData.classCode.set(text); break;
    case Field::kSection: gExportData.section.set(text); break;
    case Field::kAccount: gExportData.account.set(text); break;
    case Field::kPassword: gExportData.teacherID.set(text); break;
    case Field::kToolPassword: SetSchoolSpeakPassword(text); break;
  }
  std::fill(std::begin(text.bytes), std::end(text.bytes), 0);
}

// The loop every service dialog runs; updateBox is the check box a click flips (0: none).
template <size_t N>
bool RunServiceDialog(DialogRef d, const FieldItem (&fields)[N], DialogItemIndex updateBox = 0) {
  InitCursor();
  ForgetSchoolSpeakPassword();
  for (const FieldItem& f : fields) Fill(d, f);
  if (updateBox) SetCheckBox(d, updateBox, 0);
  SetEditFocus(d, kFirstField);
  ModalLoop loop;
  loop.onItem = [d, updateBox](DialogItemIndex item) {
    if (updateBox && item == updateBox) FlipCheckBox(d, item);
  };
  if (!RunModal(d, loop)) {
    // The typed password goes no further than the dialog.
    for (const FieldItem& f : fields)
      if (IsPassword(f.field)) SetPWText(d, f.item, PStr(""));
    return false;
  }
  for (const FieldItem& f : fields) Store(d, f);
  if (updateBox) gUpdateLastReport = GetCheckBox(d, updateBox) ? 1 : 0;
  for (const FieldItem& f : fields)
    if (IsPassword(f.field)) SetPWText(d, f.item, PStr(""));
  return true;
}

constexpr FieldItem kCodeOnly[] = {{3, Field::kClassCode}};
constexpr FieldItem kFourFields[] = {{3, Field::kClassCode},
                                     {4, Field::kSection},
                                     {5, Field::kAccount},
                                     {6, Field::kPassword}};
constexpr FieldItem kSpeakFields[] = {
    {3, Field::kClassCode}, {4, Field::kAccount}, {5, Field::kToolPassword}};
constexpr DialogItemIndex kUpdateLastReportItem = 10;

}  // namespace

bool DoExportToLorvexDialog() { return RunServiceDialog(gExportLorvexDialog, kCodeOnly); }

bool DoExportToBasmatiDialog() { return RunServiceDialog(gExportBasmatiDialog, kFourFields); }

bool DoExportToSchoolSpeakDialog() {
  return RunServiceDialog(gExportSchoolSpeakDialog, kSpeakFields, kUpdateLastReportItem);
}

bool DoSaveToSchoolSpeakDialog() {
  return RunServiceDialog(gSaveSchoolSpeakDialog, kSpeakFields);
}

bool DoExportToSchoolFusionDialog() {
  return RunServiceDialog(gExportSchoolFusionDialog, kFourFields);
}

bool DoExportToSchoolCtrDialog() { return RunServiceDialog(gExportSchoolCtrDialog, kCodeOnly); }
