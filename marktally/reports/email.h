// E-mail reports: the address check the whole program uses, the send options the dialogs
// (shell/email_dialogs) set, and the run that mails one HTML report per student over one
// SMTP session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "marktally/model/types.h"

struct EmaiObject;

// Whether an acceptable address starts at byte position start (from 1) of text: a user
// name, an '@', a domain, a '.' and an ending of two or more characters, without blanks
// or doubled dots. Only the text up to the accepting byte is examined; callers check each
// further address at the byte after a blank.
bool ValidEmail(ConstStringPtr text, int start);

// ---- Send options (not saved) ----------------------------------------------------------
extern uint8_t gIncludeRecipients;
extern uint8_t gIncludeBlindCopies;
extern Str255 gOtherAddresses;
extern int16_t gEmailPopUpItem;  // the student shown in the addresses dialog, slot + 1

// The program's own statuses beside the mail library's: the report did not fit the
// buffer; the server offered no TLS, so the run stopped before the login.
constexpr int kEmailReportTooLarge = -45;
constexpr int kEmailPasswordNotSent = -48;

// Program text as the mail library takes it: one 16-bit unit per byte, the byte's Mac
// Roman character, then a zero unit.
using WideText = uint16_t[257];
void Unicode(ConstStringPtr text, WideText& wide);

// The student's first and last name, as the messages and the progress window give it.
Str255 StudentFullName(int16_t s);

void EmailClassReports(int16_t kind);
void EmailSingleReport(int16_t student, int16_t kind);
// True when the run must stop; a failure or a skipped student is alerted at once.
bool EmailSingleStudent(EmaiObject* session, int16_t student, int16_t kind);

// What became of one student's report in a run.
struct EmailOutcome {
  enum Kind { kNotTaken, kSent, kSkipped, kFailed } kind = kNotTaken;
  int code = 0;        // the status of a skipped or failed report
  std::string reason;  // why it was not sent, as the closing alert says it
};
// Sends one student's report without an alert. A student whose addresses are not all
// valid (or whom the server refuses) is skipped; any other failure ends the run.
EmailOutcome SendStudentReport(EmaiObject* session, int16_t student, int16_t kind);

// The closing alert of a class run: how many reports went out and who got none, and why.
struct EmailNotSent {
  std::string name;
  std::string reason;
};
std::string EmailRunSummary(int sent, const std::vector<EmailNotSent>& notSent);
void NotifyEmailError(const std::string& what, int code);
// The alert text NotifyEmailError shows.
std::string EmailErrorText(const std::string& what, int code);

// The addresses of a field, cut at blanks, commas and semicolons: the one reading of an
// address field for the dialogs, the import and the run.
std::vector<std::string> SplitAddresses(ConstStringPtr field);
// Whether every address of the field passes ValidEmail; a field of less than two bytes
// (once stripped) passes.
bool ValidAddresses(ConstStringPtr field);
// A field of addresses as the dialogs store it: stripped, every comma and semicolon before
// the last byte turned into a blank.
void NormalizeAddresses(ConstStringPtr field, Str255& out);
