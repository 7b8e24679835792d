#include "marktally/reports/email.h"

#include <cstring>
#include <vector>

#include "marktally/common/macroman.h"
#include "marktally/model/operations.h"
#include "marktally/model/accessors.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/emai.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/web_site.h"
#include "marktally/reports/report_host.h"
#include "marktally/reports/text_import.h"
#include "marktally/toolbox/desktop.h"

namespace {

// The default locale's classes: bytes above 127 belong to neither.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool IsPunct(unsigned char c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
         (c >= 123 && c <= 126);
}

}  // namespace

Str255 StudentFullName(int16_t s) {
  Str255 first{}, last{}, name{};
  GetFirstName(gStudents[s].name, first);
  GetLastName(gStudents[s].name, last);
  name.set(first);
  if (!first.empty() && !last.empty()) AppendC(name, " ");
  Append(name, last);
  return name;
}

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
  DeactivateHostWindow();
  const Str255 name = StudentFullName(s);
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
          ErrorSentence("sending the email report for " + StudentFullName(s).str(), outcome.reason));
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
  BeginEmailProgress(PStr(""));
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
        notSent.push_back({StudentFullName(s).str(), "the run ended"});
      continue;
    }
    StepEmailProgress(StudentFullName(s));
    const EmailOutcome outcome = SendStudentReport(run.session, s, kind);
    if (outcome.kind == EmailOutcome::kSent) sent++;
    if (outcome.kind == EmailOutcome::kSkipped || outcome.kind == EmailOutcome::kFailed)
      notSent.push_back({StudentFullName(s).str(), outcome.reason});
    if (outcome.kind == EmailOutcome::kFailed) failed = true;
  }
  CloseSession(run);
  EndEmailProgress();
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
  const Str255 name = StudentFullName(student);
  gEmailReport = 1;
  gEmailBufferLength = 0;
  gEmailBuffer[0] = 0;
  BeginEmailOneProgress(name);
  RunSession run;
  if (OpenSession(run)) {
    StepEmailProgress(name);
    EmailSingleStudent(run.session, student, kind);
  }
  CloseSession(run);
  EndEmailProgress();
  gEmailReport = 0;
}

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
