// E-mail reports: the address check the whole program uses, the send options the dialogs
// (shell/email_dialogs) set, and the run that mails one HTML report per student over one
// SMTP session.
#pragma once

#include <cstdint>
#include <string>

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

// The program's own status beside the mail library's: the report did not fit the buffer.
constexpr int kEmailReportTooLarge = -45;

// Program text as the mail library takes it: one 16-bit unit per byte, the byte's Mac
// Roman character, then a zero unit.
using WideText = uint16_t[257];
void Unicode(ConstStringPtr text, WideText& wide);

// The student's first and last name, as the messages and the progress window give it.
Str255 StudentFullName(int16_t s);

void EmailClassReports(int16_t kind);
void EmailSingleReport(int16_t student, int16_t kind);
// True when the run must stop.
bool EmailSingleStudent(EmaiObject* session, int16_t student, int16_t kind);
void NotifyEmailError(const std::string& what, int code);
// The alert text NotifyEmailError shows.
std::string EmailErrorText(const std::string& what, int code);

// A field of addresses as the dialogs store it: stripped, every comma and semicolon before
// the last byte turned into a blank (the run cuts addresses at blanks only).
void NormalizeAddresses(ConstStringPtr field, Str255& out);
