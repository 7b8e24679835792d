#include "marktally/reports/email.h"

#include <cstring>
#include <vector>

#include "marktally/common/macroman.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/shell/common.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/emai.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/web_site.h"
#include "marktally/shell/dialog_items.h"
#include "marktally/shell/dialogs.h"
#include "marktally/shell/exchange_dialogs.h"
#include "marktally/shell/menus.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/dialogs.h"

namespace {

// The default locale's classes: bytes above 127 belong to neither.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool IsPunct(unsigned char c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
         (c >= 123 && c <= 126);
}

}  // namespace

bool ValidEmail(ConstStringPtr text, int start) {
  const int n = text[0];
  if (start < 1 || start > n) return false;
  if (text[start] == '.' || text[start] == '@') return false;
  int at = 0;
  int dot = 0;
  for (int i = start; i <= n; i++) {
    const unsigned char c = text[i];
    if (IsSpace(c)) return false;
    if (i <= n - 2 && IsPunct(text[i + 1]) && IsSpace(text[i + 2])) return false;
    if (i == n) return false;
    if (i == n - 1 && IsPunct(text[n])) return false;
    if (IsSpace(text[i + 1])) return false;
    if (c == '.' && text[i + 1] == '.') return false;
    if (c == '@' && at == 0)
      at = i;
    else if (at != 0 && dot == 0 && c == '.')
      dot = i;
    if (dot != 0 && dot < i && c != '.') return true;
  }
  return false;
}

// ---- Sending ---------------------------------------------------------------------------

uint8_t gIncludeRecipients = 1;
uint8_t gIncludeBlindCopies = 1;
Str255 gOtherAddresses{};
int16_t gEmailPopUpItem = 1;

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

void Alert(AlertKind type, const char* title, const std::string& text) {
  InitCursor();
  ShowModelAlert(type, kAlertOK, PStr(title), PStr(text));
}

Str255 FullName(int16_t s) {
  Str255 first{}, last{}, name{};
  GetFirstName(gStudents[s].name, first);
  GetLastName(gStudents[s].name, last);
  name.set(first);
  if (!first.empty() && !last.empty()) AppendC(name, " ");
  Append(name, last);
  return name;
}

const char* SubjectPrefix(int16_t kind) {
  switch (kind) {
    case 7: return "Progress report for ";
    case 8: return "Progress summary for ";
    case 9: return "Attendance report for ";
    case 11: return "Missing assignments for ";
    default: return "";
  }
}

// The HTML message of one student in gEmailBuffer; false when it does not fit.
bool BuildMessage(int16_t s, int16_t kind) {
  gEmailBufferLength = 0;
  gEmailBuffer[0] = 0;
  const FileSpec spec{};
  FileRef ref = kNoFile;
  WriteBuffer buffer{};
  return AppendCToBuffer(spec, ref, buffer, "\r<html>\r<head>\r\r") &&
         AppendCToBuffer(spec, ref, buffer, kImbeddedStyleTag) &&
         AppendCToBuffer(spec, ref, buffer, "\r\r</head>\r\r<body bgcolor=white>\r\r") &&
         ExportStudentViewBody(spec, ref, buffer, static_cast<uint16_t>(kind), s) &&
         AppendCToBuffer(spec, ref, buffer, "</body>\r</html>\r");
}

// Each address of the field joins the list; the first one the library refuses is named.
int AddAddresses(EmaiObject* list, ConstStringPtr field, std::string& refused) {
  for (const std::string& address : SplitAddresses(field)) {
    Str255 text{};
    text.setC(address.c_str());
    WideText wide{};
    Unicode(text, wide);
    if (int rc = EmaiContactListAddContact(list, nullptr, wide, 0, 0)) {
      refused = address;
      return rc;
    }
  }
  return 0;
}

// An address as an alert may quote it: control bytes would break the text.
std::string Quoted(const std::string& address) {
  std::string shown;
  for (unsigned char c : address.substr(0, 60)) shown += c < 32 || c == 127 ? ' ' : c;
  return "\"" + shown + (address.size() > 60 ? "...\"" : "\"");
}

struct RunSession {
  EmaiObject* session = nullptr;
  bool connected = false;
};

// Creates the session and connects (and logs in); false after the alert.
bool OpenSession(RunSession& run) {
  WideText server{}, user{}, secret{};
  Unicode(gEmailData.server, server);
  Unicode(gEmailData.user, user);
  Unicode(gEmailData.password, secret);
  // A password never crosses the network in clear: with one, TLS is required whatever
  // the secure box says.
  const bool password = !gEmailData.password.empty();
  EmaiSmtpSessionCreate(&run.session, 0, 0, 30, gEmailData.port < 0 || password ? 1 : 0);
  const int port = gEmailData.port < 0 ? -static_cast<int>(gEmailData.port) : gEmailData.port;
  int rc = EmaiSmtpConnect(run.session, server, port, 0);
  if (rc == kEmaiNoSecureConnection && password) rc = kEmailPasswordNotSent;
  if (rc != 0) {
    NotifyEmailError("connecting to the SMTP server", rc);
    return false;
  }
  run.connected = true;
  if (!gEmailData.user.empty()) {
    rc = EmaiSmtpAuthenticate(run.session, user, secret, 0);
    if (rc == kEmaiNoSecureConnection) rc = kEmailPasswordNotSent;
    if (rc != 0) {
      NotifyEmailError("authenticating the SMTP session", rc);
      return false;
    }
  }
  return true;
}

void CloseSession(RunSession& run) {
  if (run.connected) EmaiSmtpDisconnect(run.session, 0);
  EmaiObjectRelease(run.session);
  run = RunSession{};
}

}  // namespace

void Unicode(ConstStringPtr text, WideText& wide) {
  const int n = text[0];
  for (int i = 0; i < n; i++) wide[i] = MacRomanToUnicode(text[i + 1]);
  wide[n] = 0;
}

namespace {

std::string EmailReason(int code) {
  switch (code) {
    case -40: return "the server address is invalid.";
    case -37: return "the connection timed out.";
    case -36: return "there is no recipient field.";
    case -7: return "the server rejected the command.";
    case -6: return "the connection reset.";
    case -1:
    case -2: return "the connection failed.";
    case kEmaiBadAddress: return "an email address is not valid.";
    case kEmaiUntrustedServer: return "the server's certificate is not trusted.";
    case kEmaiNoSecureConnection: return "the server offers no secure connection.";
    case kEmaiRecipientRefused: return "the server refused an email address.";
    case kEmailReportTooLarge: return "the report is too large to send.";
    case kEmailPasswordNotSent:
      return "the server offers no secure connection, so your password was not sent.";
    default: return "error number " + std::to_string(code);
  }
}

std::string ErrorSentence(const std::string& what, const std::string& reason) {
  return "There was an error while " + what + ": " + reason;
}

}  // namespace

std::string EmailErrorText(const std::string& what, int code) {
  return ErrorSentence(what, EmailReason(code));
}

void NotifyEmailError(const std::string& what, int code) {
  Alert(kStopAlert, "Unable to send email report", EmailErrorText(what, code));
}

EmailOutcome SendStudentReport(EmaiObject* session, int16_t s, int16_t kind) {
  EmailOutcome outcome;
  const EmailAddressRecord& addresses = gEmailAddresses[s];
  if (addresses.recipients.empty() && addresses.blindCopies.empty()) return outcome;
  if (kind == 11 && !(gReportOptions & 0x4000) && NumMissing(s) == 0) return outcome;
  InitCursor();
  if (gWindow) DeactivateMainWindow();
  const Str255 name = FullName(s);
  gEmailReport = 1;
  gShowStudentName = 1;
  const bool built = BuildMessage(s, kind);
  gShowStudentName = 0;
  // A report the buffer cannot hold ends the run at that student.
  if (!built) {
    outcome.kind = EmailOutcome::kFailed;
    outcome.code = kEmailReportTooLarge;
    outcome.reason = EmailReason(outcome.code);
    return outcome;
  }
  EmaiPartDescription description;
  description.text = gEmailBuffer;
  description.length = gEmailBufferLength;
  EmaiObject* part = nullptr;
  EmaiObject* message = nullptr;
  EmaiObject* lists[3] = {nullptr, nullptr, nullptr};
  EmaiMessagePartCreate(&part, &description, 0);
  EmaiMessageCreate(&message, part, 0);
  for (EmaiObject*& list : lists) EmaiContactListCreate(&list, 0);

  WideText teacher{}, teacherAddress{};
  Unicode(gClass.teacher, teacher);
  Unicode(gEmailData.address, teacherAddress);
  std::string refused;
  int rc = EmaiContactListAddContact(lists[0], teacher, teacherAddress, 0, 0);
  if (rc != 0) refused = gEmailData.address.str();
  EmaiMessageSetContactList(message, lists[0], kEmaiSender);
  if (rc == 0 && gIncludeRecipients && !addresses.recipients.empty()) {
    rc = AddAddresses(lists[1], addresses.recipients, refused);
    EmaiMessageSetContactList(message, lists[1], kEmaiRecipients);
  }
  if (rc == 0 && gIncludeBlindCopies && !addresses.blindCopies.empty()) {
    rc = AddAddresses(lists[2], addresses.blindCopies, refused);
    EmaiMessageSetContactList(message, lists[2], kEmaiBlindCopies);
  }
  if (rc == 0 && !gOtherAddresses.empty()) {
    rc = AddAddresses(lists[1], gOtherAddresses, refused);
    EmaiMessageSetContactList(message, lists[1], kEmaiRecipients);
  }
  Str255 subject = PStr(SubjectPrefix(kind));
  Append(subject, name);
  WideText wideSubject{};
  Unicode(subject, wideSubject);
  EmaiMessageSetField(message, 0, wideSubject, kEmaiSubject);
  // An address refused by the library never reaches the server.
  if (rc == 0) rc = EmaiSmtpSendMessage(session, message, 0);
  for (EmaiObject* list : lists) EmaiObjectRelease(list);
  EmaiObjectRelease(message);
  outcome.code = rc;
  if (rc == 0) {
    outcome.kind = EmailOutcome::kSent;
  } else if (rc == kEmaiBadAddress) {
    outcome.kind = EmailOutcome::kSkipped;
    outcome.reason = "the address " + Quoted(refused) + " is not valid.";
  } else if (rc == kEmaiRecipientRefused) {
    outcome.kind = EmailOutcome::kSkipped;
    outcome.reason = EmailReason(rc);
  } else {
    outcome.kind = EmailOutcome::kFailed;
    outcome.reason = EmailReason(rc);
  }
  return outcome;
}

bool EmailSingleStudent(EmaiObject* session, int16_t s, int16_t kind) {
  const EmailOutcome outcome = SendStudentReport(session, s, kind);
  if (outcome.kind == EmailOutcome::kSkipped || outcome.kind == EmailOutcome::kFailed)
    Alert(kStopAlert, "Unable to send email report",
          ErrorSentence("sending the email report for " + FullName(s).str(), outcome.reason));
  return outcome.kind == EmailOutcome::kFailed;
}

std::string EmailRunSummary(int sent, const std::vector<EmailNotSent>& notSent) {
  std::string text = sent == 1   ? std::string("1 report was sent.")
                     : sent == 0 ? std::string("No report was sent.")
                                 : std::to_string(sent) + " reports were sent.";
  if (notSent.empty()) return text;
  // The alert holds 255 bytes: the names that do not fit are counted.
  constexpr size_t kRoom = 255;
  text += " Not sent:";
  std::string list;
  size_t shown = 0;
  for (; shown < notSent.size(); shown++) {
    std::string reason = notSent[shown].reason;
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    const std::string entry =
        std::string(shown ? "; " : " ") + notSent[shown].name + " (" + reason + ")";
    const size_t left = notSent.size() - shown - 1;
    const std::string tail = left ? "; and " + std::to_string(left) + " more." : ".";
    if (text.size() + list.size() + entry.size() + tail.size() > kRoom) break;
    list += entry;
  }
  if (shown == notSent.size()) return text + list + ".";
  const size_t left = notSent.size() - shown;
  if (shown) return text + list + "; and " + std::to_string(left) + " more.";
  return text + " " + std::to_string(left) + (left == 1 ? " student." : " students.");
}

void EmailClassReports(int16_t kind) {
  gEmailReport = 1;
  RunSession run;
  if (!OpenSession(run)) {
    CloseSession(run);
    gEmailReport = 0;
    return;
  }
  ShowEmailProgress(PStr(""));
  int taken = 0;
  int sent = 0;
  bool failed = false;
  std::vector<EmailNotSent> notSent;
  for (int16_t s = 0; s < kMaxStudents && Named(s); s++) {
    const EmailAddressRecord& a = gEmailAddresses[s];
    const bool chosen = (gIncludeRecipients && !a.recipients.empty()) ||
                        (gIncludeBlindCopies && !a.blindCopies.empty()) ||
                        !gOtherAddresses.empty();
    if (!chosen) continue;
    taken++;
    if (failed) {
      // Those the run did not reach are named too; their addresses may be fine.
      if (!a.recipients.empty() || !a.blindCopies.empty())
        notSent.push_back({FullName(s).str(), "the run ended"});
      continue;
    }
    NextEmailProgress(FullName(s));
    const EmailOutcome outcome = SendStudentReport(run.session, s, kind);
    if (outcome.kind == EmailOutcome::kSent) sent++;
    if (outcome.kind == EmailOutcome::kSkipped || outcome.kind == EmailOutcome::kFailed)
      notSent.push_back({FullName(s).str(), outcome.reason});
    if (outcome.kind == EmailOutcome::kFailed) failed = true;
  }
  CloseSession(run);
  HideEmailProgress();
  gEmailReport = 0;
  if (taken == 0) {
    Alert(kNoteAlert, "Invalid Email Address",
          "No email reports were sent because no email addresses were selected.");
  } else if (failed) {
    Alert(kStopAlert, "Unable to send email report", EmailRunSummary(sent, notSent));
  } else if (!notSent.empty()) {
    Alert(kCautionAlert, "Some email reports were not sent", EmailRunSummary(sent, notSent));
  } else {
    Alert(kNoteAlert, "Email reports sent", EmailRunSummary(sent, notSent));
  }
}

void EmailSingleReport(int16_t student, int16_t kind) {
  if (!Named(student)) return;
  const Str255 name = FullName(student);
  gEmailReport = 1;
  gEmailBufferLength = 0;
  gEmailBuffer[0] = 0;
  ShowEmailOneProgress(name);
  RunSession run;
  if (OpenSession(run)) {
    NextEmailProgress(name);
    EmailSingleStudent(run.session, student, kind);
  }
  CloseSession(run);
  HideEmailProgress();
  gEmailReport = 0;
}

// ---- Dialogs ---------------------------------------------------------------------------

namespace {

void ShowModal(DialogRef d) {
  CenterDialog(d);
  SelectDialog(d);
  ShowDialog(d);
}

DialogItemIndex NextItem() {
  DialogItemIndex item = 0;
  ModalDialog(gEventFilter, &item);
  return item;
}

void Flip(DialogRef d, DialogItemIndex item) { SetCheckBox(d, item, GetCheckBox(d, item) ? 0 : 1); }

int16_t PopUpValue(DialogRef d, DialogItemIndex item) {
  ControlRef control = nullptr;
  GetDialogItemAsControl(d, item, &control);
  return control ? GetControlValue(control) : 1;
}

void SetPopUpValue(DialogRef d, DialogItemIndex item, int16_t value) {
  ControlRef control = nullptr;
  GetDialogItemAsControl(d, item, &control);
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

void RefuseField(DialogRef d, DialogItemIndex item, const char* title, const std::string& text) {
  Alert(kStopAlert, title, text);
  SetEditFocus(d, item);
}

bool ValidServerDialog(DialogRef d) {
  Str255 text{};
  GetEditText(d, kPortItem, text);
  int16_t port = 0;
  if (!ParsePort(text, port)) {
    RefuseField(d, kPortItem, "Invalid SMTP port", "The SMTP port must be between 1 and 32767.");
    return false;
  }
  Str255 teacher{};
  GetEditText(d, kTeacherItem, text);
  StripBlanks(text, teacher);
  if (!ValidEmail(teacher, 1)) {
    RefuseField(d, kTeacherItem, "Invalid teacher email address",
                std::string("The teacher email address cannot be left blank, and must be "
                            "formatted like ") +
                    kExampleAddress);
    return false;
  }
  Str255 server{};
  GetEditText(d, kServerItem, text);
  StripBlanks(text, server);
  if (!ValidServerName(server)) {
    RefuseField(d, kServerItem, "Invalid SMTP server address",
                "The SMTP server address cannot be left blank, and must be formatted like "
                "smtp.myschool.edu");
    return false;
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
    RefuseField(d, kOthersItem, "Missing email address",
                "You must enter an email address if you check the Others box.");
    return false;
  }
  if (TooLong(d, kOthersItem)) {
    Alert(kStopAlert, "Invalid Email Address", kTooLong);
    return false;
  }
  if (!ValidAddresses(text)) {
    RefuseField(d, kOthersItem, "Invalid Email Address",
                std::string("This is an invalid email address. Email addresses must be "
                            "formatted as: ") +
                    kExampleAddress);
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitAddresses(ConstStringPtr field) {
  std::vector<std::string> out;
  std::string address;
  for (int i = 1; i <= field[0]; i++) {
    const unsigned char c = field[i];
    if (IsSpace(c) || c == ',' || c == ';') {
      if (!address.empty()) out.push_back(address);
      address.clear();
    } else {
      address += static_cast<char>(c);
    }
  }
  if (!address.empty()) out.push_back(address);
  return out;
}

bool ValidAddresses(ConstStringPtr field) {
  Str255 stripped{};
  StripBlanks(field, stripped);
  if (stripped.length() < 2) return true;
  for (const std::string& address : SplitAddresses(stripped)) {
    Str255 text{};
    text.setC(address.c_str());
    if (!ValidEmail(text, 1)) return false;
  }
  return true;
}

void NormalizeAddresses(ConstStringPtr field, Str255& out) {
  StripBlanks(field, out);
  for (int i = 1; i < out.length(); i++)
    if (out[i] == ',' || out[i] == ';') out[i] = ' ';
}

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
  ShowModal(d);
  for (;;) {
    const DialogItemIndex item = NextItem();
    if (item == kCancel) {
      HideDialog(d);
      return;
    }
    if (item == kSecureItem) Flip(d, kSecureItem);
    if (item == kOK && ValidServerDialog(d)) break;
  }
  HideDialog(d);
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
  ShowModal(d);
  for (;;) {
    const DialogItemIndex item = NextItem();
    if (item == kStudentItem) {
      const int16_t chosen = PopUpValue(d, kStudentItem);
      if (chosen == gEmailPopUpItem) continue;
      if (!ValidStudentEmails(d)) continue;
      StoreAddresses(d, static_cast<int16_t>(gEmailPopUpItem - 1));
      if (!Named(chosen - 1)) {
        SetPopUpValue(d, kStudentItem, gEmailPopUpItem);
        continue;
      }
      gEmailPopUpItem = chosen;
      ShowAddresses(d, static_cast<int16_t>(chosen - 1));
    } else if (item == kOK && ValidStudentEmails(d)) {
      break;
    }
  }
  HideDialog(d);
  StoreAddresses(d, static_cast<int16_t>(gEmailPopUpItem - 1));
  AdjustMenus();
}

void DoSendEmailDialog(int16_t student, int16_t kind) {
  if (student >= 0 && !Named(student)) return;
  DialogRef d = gSendEmailDialog;
  InitCursor();
  std::string whom;
  if (student >= 0)
    whom = FullName(student).str();
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
  ShowModal(d);
  for (;;) {
    const DialogItemIndex item = NextItem();
    if (item == kCancel) {
      HideDialog(d);
      return;
    }
    if (item >= kToRecipientsItem && item <= kToOthersItem) {
      Flip(d, item);
      gItemsChecked = static_cast<int16_t>(gItemsChecked + (GetCheckBox(d, item) ? 1 : -1));
      if (gItemsChecked > 0)
        ControlOn(d, kOK);
      else
        ControlOff(d, kOK);
    }
    if (item == kOK && gItemsChecked > 0 && ValidSendEmail(d, student)) break;
  }
  HideDialog(d);
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
