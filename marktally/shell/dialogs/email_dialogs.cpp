#include "marktally/shell/dialogs/email_dialogs.h"

#include <algorithm>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/email.h"
#include "marktally/reports/report_host.h"
#include "marktally/reports/text_import.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/dialogs/exchange_dialogs.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/dialogs.h"

namespace {

enum : DialogItemIndex { kOK = 1, kCancel = 2 };
enum : DialogItemIndex {
  kTeacherItem = 3,
  kServerItem = 4,
  kPortItem = 5,
  kUserItem = 6,
  kSMTPPasswordItem = 7,
  kSecureItem = 8,
};
enum : DialogItemIndex { kRecipientsItem = 2, kStudentItem = 3, kBlindCopiesItem = 4 };
enum : DialogItemIndex {
  kSentenceItem = 3,
  kToRecipientsItem = 5,
  kToBlindCopiesItem = 6,
  kToOthersItem = 7,
  kOthersItem = 8,
};

const char kExampleAddress[] = "jsmith@myschool.edu";
const char kTooLong[] =
    "Email addresses cannot exceed 254 characters. The selected text is beyond that length.";


void SetPopUpValue(DialogRef d, DialogItemIndex item, int16_t value) {
  ControlRef control = ItemControl(d, item);
  if (!control) return;
  SetControlMaximum(control, static_cast<int16_t>(std::max<int>(1, NumStudents())));
  SetControlValue(control, value);
}

// A whole number from 1 to 32767 and nothing else.
bool ParsePort(ConstStringPtr text, int16_t& port) {
  Str255 t{};
  StripBlanks(text, t);
  if (t.empty() || t.length() > 5) return false;
  int value = 0;
  for (int i = 1; i <= t.length(); i++) {
    if (t[i] < '0' || t[i] > '9') return false;
    value = value * 10 + (t[i] - '0');
  }
  if (value < 1 || value > 32767) return false;
  port = static_cast<int16_t>(value);
  return true;
}

bool ValidServerName(const Str255& server) {
  if (server.str() == "localhost") return true;
  bool dot = false;
  for (int i = 1; i <= server.length(); i++) {
    if (server[i] == ' ' || server[i] == ':') return false;
    if (server[i] == '.') dot = true;
  }
  return dot;
}

bool ValidServerDialog(DialogRef d) {
  Str255 text{};
  GetEditText(d, kPortItem, text);
  int16_t port = 0;
  if (!ParsePort(text, port)) {
    return RefuseItem(d, "Invalid SMTP port", "The SMTP port must be between 1 and 32767.",
                      kPortItem);
  }
  Str255 teacher{};
  GetEditText(d, kTeacherItem, text);
  StripBlanks(text, teacher);
  if (!ValidEmail(teacher, 1)) {
    return RefuseItem(d, "Invalid teacher email address",
                      std::string("The teacher email address cannot be left blank, and must be "
                                  "formatted like ") +
                          kExampleAddress,
                      kTeacherItem);
  }
  Str255 server{};
  GetEditText(d, kServerItem, text);
  StripBlanks(text, server);
  if (!ValidServerName(server)) {
    return RefuseItem(d, "Invalid SMTP server address",
                      "The SMTP server address cannot be left blank, and must be formatted like "
                      "smtp.myschool.edu",
                      kServerItem);
  }
  return true;
}

// A refusal of the addresses dialog: the pop-up back on the shown student, the field
// focused.
bool RefuseAddresses(DialogRef d, DialogItemIndex item, const std::string& text) {
  Alert(kStopAlert, "Invalid Email Address", text);
  SetPopUpValue(d, kStudentItem, gEmailPopUpItem);
  SetEditFocus(d, item);
  return false;
}

bool TooLong(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetEditText(d, item, text);
  if (text.length() < 255) return false;
  SetEditFocus(d, item);
  SelectDialogItemText(d, item, 253, 32767);
  return true;
}

bool ValidStudentEmails(DialogRef d) {
  for (DialogItemIndex item : {kRecipientsItem, kBlindCopiesItem}) {
    if (TooLong(d, item)) {
      Alert(kStopAlert, "Invalid Email Address", kTooLong);
      SetPopUpValue(d, kStudentItem, gEmailPopUpItem);
      return false;
    }
    Str255 text{};
    GetEditText(d, item, text);
    if (!ValidAddresses(text))
      return RefuseAddresses(d, item,
                             std::string("Invalid email address. Email addresses must be "
                                         "formatted as: ") +
                                 kExampleAddress);
  }
  Str255 recipients{}, copies{}, text{};
  GetEditText(d, kRecipientsItem, text);
  StripBlanks(text, recipients);
  GetEditText(d, kBlindCopiesItem, text);
  StripBlanks(text, copies);
  if (recipients.empty() && !copies.empty())
    return RefuseAddresses(d, kRecipientsItem,
                           "At least one recipient email address must be specified.");
  return true;
}

// The shown student's fields into the class (both as the OK button stores them, so that
// a comma typed between addresses never reaches the mail).
void StoreAddresses(DialogRef d, int16_t s) {
  if (s < 0 || s >= kMaxStudents) return;
  Str255 text{}, normal{};
  GetEditText(d, kRecipientsItem, text);
  NormalizeAddresses(text, normal);
  gEmailAddresses[s].recipients.set(normal);
  GetEditText(d, kBlindCopiesItem, text);
  NormalizeAddresses(text, normal);
  gEmailAddresses[s].blindCopies.set(normal);
  SetChanged(1);
}

void ShowAddresses(DialogRef d, int16_t s) {
  SetEditText(d, kRecipientsItem, gEmailAddresses[s].recipients);
  SetEditText(d, kBlindCopiesItem, gEmailAddresses[s].blindCopies);
  SetPopUpValue(d, kStudentItem, static_cast<int16_t>(s + 1));
  SetEditFocus(d, kRecipientsItem);
}

const char* KindPhrase(int16_t kind) {
  switch (kind) {
    case 7: return "a progress report to ";
    case 8: return "a progress summary to ";
    case 9: return "an attendance report to ";
    case 11: return "a missing assignments report to ";
    default: return "";
  }
}

bool ValidSendEmail(DialogRef d, int16_t student) {
  const bool recipients = GetCheckBox(d, kToRecipientsItem);
  const bool copies = GetCheckBox(d, kToBlindCopiesItem);
  const bool others = GetCheckBox(d, kToOthersItem);
  if (recipients && !others) return true;
  if (student >= 0 && copies && !others && gEmailAddresses[student].blindCopies.empty()) {
    Alert(kStopAlert, "No email addresses chosen", "This student has no blind copy email addresses.");
    return false;
  }
  if (!others) return true;
  Str255 text{};
  GetEditText(d, kOthersItem, text);
  Str255 stripped{};
  StripBlanks(text, stripped);
  if (stripped.empty()) {
    return RefuseItem(d, "Missing email address",
                      "You must enter an email address if you check the Others box.", kOthersItem);
  }
  if (TooLong(d, kOthersItem)) {
    Alert(kStopAlert, "Invalid Email Address", kTooLong);
    return false;
  }
  if (!ValidAddresses(text)) {
    return RefuseItem(d, "Invalid Email Address",
                      std::string("This is an invalid email address. Email addresses must be "
                                  "formatted as: ") +
                          kExampleAddress,
                      kOthersItem);
  }
  return true;
}

}  // namespace

void DoServerDialog() {
  DialogRef d = gServerDialog;
  InitCursor();
  SetCheckBox(d, kSecureItem, gEmailData.port < 0 ? 1 : 0);
  const int shown = gEmailData.port < 0 ? -static_cast<int>(gEmailData.port) : gEmailData.port;
  SetEditText(d, kPortItem, PStr(std::to_string(shown)));
  SetEditText(d, kTeacherItem, gEmailData.address);
  SetEditText(d, kServerItem, gEmailData.server);
  SetEditText(d, kUserItem, gEmailData.user);
  SetPWText(d, kSMTPPasswordItem, gEmailData.password);
  SetEditFocus(d, kTeacherItem);
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item == kSecureItem) FlipCheckBox(d, kSecureItem);
  };
  loop.valid = [d] { return ValidServerDialog(d); };
  if (!RunModal(d, loop)) return;
  SetChanged(1);
  Str255 text{};
  int16_t port = 25;
  GetEditText(d, kPortItem, text);
  ParsePort(text, port);
  gEmailData.port = GetCheckBox(d, kSecureItem) ? static_cast<int16_t>(-port) : port;
  GetEditText(d, kTeacherItem, text);
  StripBlanks(text, gEmailData.address);
  GetEditText(d, kServerItem, text);
  StripBlanks(text, gEmailData.server);
  GetEditText(d, kUserItem, text);
  StripBlanks(text, gEmailData.user);
  GetPWText(d, kSMTPPasswordItem, text);
  StripBlanks(text, gEmailData.password);
  AdjustMenus();
}

void DoEmailDialog(int16_t student) {
  if (!Named(student)) return;
  DialogRef d = gEmailDialog;
  InitCursor();
  gEmailPopUpItem = static_cast<int16_t>(student + 1);
  ShowAddresses(d, student);
  // Item 2 is the recipients' field: the dialog has no Cancel.
  ModalLoop loop;
  loop.hasCancel = false;
  loop.onItem = [d](DialogItemIndex item) {
    if (item != kStudentItem) return;
    const int16_t chosen = ItemValue(d, kStudentItem, 1);
    if (chosen == gEmailPopUpItem || !ValidStudentEmails(d)) return;
    StoreAddresses(d, static_cast<int16_t>(gEmailPopUpItem - 1));
    if (!Named(chosen - 1)) {
      SetPopUpValue(d, kStudentItem, gEmailPopUpItem);
      return;
    }
    gEmailPopUpItem = chosen;
    ShowAddresses(d, static_cast<int16_t>(chosen - 1));
  };
  loop.valid = [d] { return ValidStudentEmails(d); };
  RunModal(d, loop);
  StoreAddresses(d, static_cast<int16_t>(gEmailPopUpItem - 1));
  AdjustMenus();
}

void DoSendEmailDialog(int16_t student, int16_t kind) {
  if (student >= 0 && !Named(student)) return;
  DialogRef d = gSendEmailDialog;
  InitCursor();
  std::string whom;
  if (student >= 0)
    whom = StudentFullName(student).str();
  else if (kind == 11 && !(gReportOptions & 0x4000))
    whom = "students with missing assignments";
  else
    whom = "every student in this class";
  SetStaticText(d, kSentenceItem, PStr("This will email " + std::string(KindPhrase(kind)) + whom + "."));
  SetCheckBox(d, kToRecipientsItem, 1);
  SetCheckBox(d, kToBlindCopiesItem, 1);
  SetCheckBox(d, kToOthersItem, 0);
  SetEditText(d, kOthersItem, PStr(""));
  gItemsChecked = 2;
  ControlOn(d, kOK);
  SetEditFocus(d, kOthersItem);
  ModalLoop loop;
  loop.onItem = [d](DialogItemIndex item) {
    if (item < kToRecipientsItem || item > kToOthersItem) return;
    FlipCheckBox(d, item);
    gItemsChecked = static_cast<int16_t>(gItemsChecked + (GetCheckBox(d, item) ? 1 : -1));
    if (gItemsChecked > 0)
      ControlOn(d, kOK);
    else
      ControlOff(d, kOK);
  };
  loop.valid = [d, student] { return gItemsChecked > 0 && ValidSendEmail(d, student); };
  if (!RunModal(d, loop)) return;
  gOtherAddresses.clear();
  if (GetCheckBox(d, kToOthersItem)) {
    Str255 text{};
    GetEditText(d, kOthersItem, text);
    NormalizeAddresses(text, gOtherAddresses);
  }
  gIncludeRecipients = GetCheckBox(d, kToRecipientsItem) ? 1 : 0;
  gIncludeBlindCopies = GetCheckBox(d, kToBlindCopiesItem) ? 1 : 0;
  if (student < 0)
    EmailClassReports(kind);
  else
    EmailSingleReport(student, kind);
}
