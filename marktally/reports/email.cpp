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
    case 11: return "Missing asssignments for ";
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

// Each address of a field of blank-separated addresses joins the list.
int AddAddresses(EmaiObject* list, ConstStringPtr field) {
  WideText wide{};
  Unicode(field, wide);
  const int n = field[0];
  for (int i = 0; i < n; i++)
    if (wide[i] == ' ') wide[i] = 0;
  for (int i = 0; i < n; i++) {
    if (wide[i] == 0 || (i > 0 && wide[i - 1] != 0)) continue;
    if (int rc = EmaiContactListAddContact(list, nullptr, wide + i, 0, 0)) return rc;
  }
  return 0;
}

struct RunSession {
  EmaiObject* session = nullptr;
  bool connected = false;
};

// Creates the session and connects (and logs in); false after the alert.
bool OpenSession(RunSession& run) {
  WideText server{}, user{}, password{};
  Unicode(gEmailData.server, server);
  Unicode(gEmailData.user, user);
  Unicode(gEmailData.password, password);
  EmaiSmtpSessionCreate(&run.session, 0, 0, 30, gEmailData.port < 0 ? 1 : 0);
  const int port = gEmailData.port < 0 ? -static_cast<int>(gEmailData.port) : gEmailData.port;
  int rc = EmaiSmtpConnect(run.session, server, port, 0);
  if (rc != 0) {
    NotifyEmailError("connecting to the SMTP server", rc);
    return false;
  }
  run.connected = true;
  if (!gEmailData.user.empty()) {
    rc = EmaiSmtpAuthenticate(run.session, user, password, 0);
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

std::string EmailErrorText(const std::string& what, int code) {
  std::string reason;
  switch (code) {
    case -40: reason = "the server address is invalid."; break;
    case -37: reason = "the connection timed out."; break;
    case -36: reason = "there is no recipient field."; break;
    case -7: reason = "the server rejected the command."; break;
    case -6: reason = "the connection reset."; break;
    case -1:
    case -2: reason = "the connection failed."; break;
    case kEmaiBadAddress: reason = "an email address is not valid."; break;
    case kEmaiUntrustedServer: reason = "the server's certificate is not trusted."; break;
    case kEmailReportTooLarge: reason = "the report is too large to send."; break;
    default: reason = "error number " + std::to_string(code); break;
  }
  return "There was an error while " + what + ": " + reason;
}

void NotifyEmailError(const std::string& what, int code) {
  Alert(kStopAlert, "Unable to send email report", EmailErrorText(what, code));
}

bool EmailSingleStudent(EmaiObject* session, int16_t s, int16_t kind) {
  const EmailAddressRecord& addresses = gEmailAddresses[s];
  if (addresses.recipients.empty() && addresses.blindCopies.empty()) return false;
  if (kind == 11 && !(gReportOptions & 0x4000) && NumMissing(s) == 0) return false;
  InitCursor();
  DeactivateHostWindow();
  const Str255 name = StudentFullName(s);
  const std::string what = "sending the email report for " + name.str();
  // A report the buffer cannot hold is said, with the student's name, and ends the run.
  gEmailReport = 1;
  gShowStudentName = 1;
  const bool built = BuildMessage(s, kind);
  gShowStudentName = 0;
  if (!built) {
    NotifyEmailError(what, kEmailReportTooLarge);
    return true;
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
  int rc = EmaiContactListAddContact(lists[0], teacher, teacherAddress, 0, 0);
  EmaiMessageSetContactList(message, lists[0], kEmaiSender);
  if (rc == 0 && gIncludeRecipients && !addresses.recipients.empty()) {
    rc = AddAddresses(lists[1], addresses.recipients);
    EmaiMessageSetContactList(message, lists[1], kEmaiRecipients);
  }
  if (rc == 0 && gIncludeBlindCopies && !addresses.blindCopies.empty()) {
    rc = AddAddresses(lists[2], addresses.blindCopies);
    EmaiMessageSetContactList(message, lists[2], kEmaiBlindCopies);
  }
  if (rc == 0 && !gOtherAddresses.empty()) {
    rc = AddAddresses(lists[1], gOtherAddresses);
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
  if (rc == 0) return false;
  NotifyEmailError(what, rc);
  return true;
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
  for (int16_t s = 0; s < kMaxStudents && Named(s); s++) {
    const EmailAddressRecord& a = gEmailAddresses[s];
    const bool chosen = (gIncludeRecipients && !a.recipients.empty()) ||
                        (gIncludeBlindCopies && !a.blindCopies.empty()) ||
                        !gOtherAddresses.empty();
    if (!chosen) continue;
    taken++;
    StepEmailProgress(StudentFullName(s));
    if (EmailSingleStudent(run.session, s, kind)) break;
  }
  CloseSession(run);
  EndEmailProgress();
  gEmailReport = 0;
  if (taken == 0)
    Alert(kNoteAlert, "Invalid Email Address",
          "No email reports were sent because no email addresses were selected.");
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

void NormalizeAddresses(ConstStringPtr field, Str255& out) {
  StripBlanks(field, out);
  for (int i = 1; i < out.length(); i++)
    if (out[i] == ',' || out[i] == ';') out[i] = ' ';
}
