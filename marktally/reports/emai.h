// The mail library the e-mail reports call: one SMTP session over libcurl (smtp, smtps or
// STARTTLS, AUTH PLAIN or LOGIN), messages of one HTML part and their contact lists.
// Texts come as zero-terminated 16-bit code units; every status is 0 for success or one
// of the negative codes below. The certificate of a TLS server is always checked.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

using EmaiUnit = uint16_t;
struct EmaiObject;  // a session, a message part, a message or a contact list

enum : int {
  kEmaiConnectFailed = -1,
  kEmaiTLSFailed = -2,
  kEmaiConnectionReset = -6,
  kEmaiCommandRejected = -7,
  kEmaiNoRecipient = -36,
  kEmaiTimedOut = -37,
  kEmaiBadServerAddress = -40,
  kEmaiBadAddress = -41,         // an address that could smuggle text into the dialogue
  kEmaiUntrustedServer = -42,    // the server's certificate was not accepted
  kEmaiNotConnected = -43,
  kEmaiBadArgument = -44,
  kEmaiNoSecureConnection = -46,  // TLS was required and the server offers no STARTTLS
  kEmaiRecipientRefused = -47,    // the server refused a recipient; the session goes on
};

// Contact roles and message fields.
enum : int { kEmaiSender = 1, kEmaiRecipients = 2, kEmaiBlindCopies = 6 };
enum : int { kEmaiSubject = 7 };

// What a message part holds: kind 1 is text, encoding 2 HTML in Mac Roman with CR line
// ends; the bytes are copied when the part is made.
struct EmaiPartDescription {
  int32_t kind = 1;
  int32_t reserved[4] = {0, 0, 0, 0};
  int32_t encoding = 2;
  const unsigned char* text = nullptr;
  uint32_t length = 0;
};

// secure: implicit TLS on port 465, STARTTLS required on every other port; without it
// STARTTLS is still used whenever the server offers it. timeoutSeconds bounds every wait.
// A password is only ever sent over TLS: without it, authentication answers
// kEmaiNoSecureConnection before a byte of the login goes out.
int EmaiSmtpSessionCreate(EmaiObject** session, int reserved1, int reserved2, int timeoutSeconds,
                          int secure);
int EmaiSmtpConnect(EmaiObject* session, const EmaiUnit* server, int port, int reserved);
int EmaiSmtpAuthenticate(EmaiObject* session, const EmaiUnit* user, const EmaiUnit* password,
                         int reserved);
int EmaiMessagePartCreate(EmaiObject** part, const EmaiPartDescription* description, int reserved);
// The message owns the part from here on.
int EmaiMessageCreate(EmaiObject** message, EmaiObject* part, int reserved);
int EmaiContactListCreate(EmaiObject** list, int reserved);
// Refuses (kEmaiBadAddress) an address that is not one plain user@domain.
int EmaiContactListAddContact(EmaiObject* list, const EmaiUnit* displayName,
                              const EmaiUnit* address, int reserved1, int reserved2);
// The message keeps the list until it is released; a role attached again replaces it.
int EmaiMessageSetContactList(EmaiObject* message, EmaiObject* list, int role);
int EmaiMessageSetField(EmaiObject* message, int reserved, const EmaiUnit* text, int field);
int EmaiSmtpSendMessage(EmaiObject* session, EmaiObject* message, int reserved);
void EmaiSmtpDisconnect(EmaiObject* session, int reserved);
void EmaiObjectRelease(EmaiObject* object);

// ---- Pieces of the message, open for their tests -------------------------------------
// Whether the whole text is one address that may stand in a header and an SMTP command:
// ASCII without blanks, controls, '<', '>', quotes or separators, one '@', a domain of
// letters, digits, '-' and '.', and ValidEmail over its whole length.
bool EmaiAddressAcceptable(const std::string& address);
// The message as it goes after DATA (before dot-stuffing), with its headers.
std::string EmaiFormatMessage(const EmaiObject* message, std::time_t now, const std::string& id);
// Quoted-printable with CRLF line ends and lines of at most 76 characters.
std::string EmaiQuotedPrintable(const std::string& utf8);
// A header text as RFC 2047 encoded words when it is not plain printable ASCII.
std::string EmaiHeaderText(const std::u16string& text);
