#include "marktally/reports/emai.h"

#include <curl/curl.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "marktally/common/macroman.h"
#include "marktally/common/str.h"
#include "marktally/reports/email.h"
#include "marktally/reports/emai_testing.h"

struct EmaiObject {
  virtual ~EmaiObject() = default;
  int references = 1;
};

namespace {

std::string gTrustedCA;
int gTestTimeout = 0;

struct Contact {
  std::u16string name;
  bool hasName = false;
  std::string address;
};

struct ContactList : EmaiObject {
  std::vector<Contact> contacts;
};

struct MessagePart : EmaiObject {
  std::string html;  // Mac Roman, as the writers made it
};

void Release(EmaiObject* object) {
  if (object && --object->references == 0) delete object;
}
EmaiObject* Retain(EmaiObject* object) {
  if (object) object->references++;
  return object;
}

struct Message : EmaiObject {
  ~Message() override {
    Release(part);
    Release(sender);
    Release(recipients);
    Release(blindCopies);
  }
  MessagePart* part = nullptr;
  ContactList* sender = nullptr;
  ContactList* recipients = nullptr;
  ContactList* blindCopies = nullptr;
  std::u16string subject;
};

// The easy handle of one connection: libcurl connects, speaks TLS, greets and says EHLO
// (and STARTTLS); the session's own commands then go over that same connection.
struct CurlHandle {
  CurlHandle() = default;
  CurlHandle(const CurlHandle&) = delete;
  CurlHandle& operator=(const CurlHandle&) = delete;
  ~CurlHandle() {
    if (easy) curl_easy_cleanup(easy);
  }
  CURL* easy = nullptr;
};

struct Session : EmaiObject {
  ~Session() override { Close(); }
  void Close() { handle.reset(); }
  std::unique_ptr<CurlHandle> handle;
  int timeout = 30;
  bool secure = false;
  bool tls = false;     // the connection is protected (implicit TLS or STARTTLS)
  std::string pending;  // bytes received after the last reply
};

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {
    const char32_t c = u;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      // Lone surrogates cannot come from Mac Roman; they go out as a replacement mark.
      const char32_t d = (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c;
      out += static_cast<char>(0xE0 | (d >> 12));
      out += static_cast<char>(0x80 | ((d >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (d & 0x3F));
    }
  }
  return out;
}

std::u16string Units(const EmaiUnit* text) {
  std::u16string out;
  if (!text) return out;
  for (size_t i = 0; text[i] != 0 && i < 4096; i++) out += static_cast<char16_t>(text[i]);
  return out;
}

// A status for a libcurl failure of the connection phase.
int StatusOf(CURLcode code) {
  switch (code) {
    case CURLE_OK: return 0;
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST: return kEmaiBadServerAddress;
    case CURLE_OPERATION_TIMEDOUT: return kEmaiTimedOut;
    case CURLE_COULDNT_CONNECT: return kEmaiConnectFailed;
    case CURLE_PEER_FAILED_VERIFICATION: return kEmaiUntrustedServer;
    case CURLE_SSL_CONNECT_ERROR: return kEmaiTLSFailed;
    case CURLE_USE_SSL_FAILED: return kEmaiNoSecureConnection;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING: return kEmaiConnectionReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_LOGIN_DENIED: return kEmaiCommandRejected;
    default: return -1000 - static_cast<int>(code);
  }
}

using Clock = std::chrono::steady_clock;

// Waits for the socket within the deadline; false when the time is up.
bool WaitSocket(Session& s, bool forWriting, Clock::time_point deadline) {
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(s.handle->easy, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
      socket == CURL_SOCKET_BAD)
    return false;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  pollfd p{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  return poll(&p, 1, static_cast<int>(std::min<long long>(left, 60000))) > 0;
}

int SendAll(Session& s, const std::string& bytes) {
  if (!s.handle) return kEmaiNotConnected;
  const auto deadline = Clock::now() + std::chrono::seconds(s.timeout);
  size_t done = 0;
  while (done < bytes.size()) {
    size_t sent = 0;
    const CURLcode rc =
        curl_easy_send(s.handle->easy, bytes.data() + done, bytes.size() - done, &sent);
    if (rc == CURLE_AGAIN) {
      if (!WaitSocket(s, true, deadline)) return kEmaiTimedOut;
      continue;
    }
    if (rc != CURLE_OK) return kEmaiConnectionReset;
    done += sent;
  }
  return 0;
}

// One reply, all its lines; code is its three-digit number.
int ReadReply(Session& s, int& code, std::string* text = nullptr) {
  if (!s.handle) return kEmaiNotConnected;
  const auto deadline = Clock::now() + std::chrono::seconds(s.timeout);
  std::string all;
  for (;;) {
    const size_t eol = s.pending.find("\r\n");
    if (eol != std::string::npos) {
      const std::string line = s.pending.substr(0, eol);
      s.pending.erase(0, eol + 2);
      all += line + "\n";
      if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])))
        return kEmaiCommandRejected;
      if (line.size() == 3 || line[3] == ' ') {
        code = std::stoi(line.substr(0, 3));
        if (text) *text = all;
        return 0;
      }
      continue;
    }
    // A server that never ends its line must not grow the reply without bound.
    if (s.pending.size() > 65536 || all.size() > 65536) return kEmaiCommandRejected;
    char buffer[4096];
    size_t got = 0;
    const CURLcode rc = curl_easy_recv(s.handle->easy, buffer, sizeof buffer, &got);
    if (rc == CURLE_AGAIN) {
      if (!WaitSocket(s, false, deadline)) return kEmaiTimedOut;
      continue;
    }
    if (rc != CURLE_OK || got == 0) return kEmaiConnectionReset;
    s.pending.append(buffer, got);
  }
}

// Sends one command line and reads its reply; a reply outside the expected class is a
// rejection.
int Command(Session& s, const std::string& line, int expectedClass, std::string* text = nullptr,
            int* replyCode = nullptr) {
  if (int rc = SendAll(s, line + "\r\n")) return rc;
  int code = 0;
  if (int rc = ReadReply(s, code, text)) return rc;
  if (replyCode) *replyCode = code;
  return code / 100 == expectedClass ? 0 : kEmaiCommandRejected;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (static_cast<uint8_t>(bytes[i + 1]) << 8) | static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool IsAText(unsigned char c) {
  return std::isalnum(c) || std::strchr("!#$%&'*+-/=?^_`{|}~.", c) != nullptr;
}

std::string Domain(const std::string& address) {
  const size_t at = address.rfind('@');
  return at == std::string::npos ? std::string("localhost") : address.substr(at + 1);
}

std::string Mailbox(const Contact& c) {
  if (!c.hasName || c.name.empty()) return c.address;
  return EmaiHeaderText(c.name) + " <" + c.address + ">";
}

// Every recipient of the envelope once, blind copies included.
std::vector<std::string> EnvelopeRecipients(const Message& m) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (const ContactList* list : {m.recipients, m.blindCopies}) {
    if (!list) continue;
    for (const Contact& c : list->contacts) {
      std::string key = c.address;
      std::transform(key.begin(), key.end(), key.begin(),
                     [](unsigned char ch) { return std::tolower(ch); });
      if (seen.insert(key).second) out.push_back(c.address);
    }
  }
  return out;
}

std::string DotStuffed(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 64);
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

// Whether libcurl put TLS on the connection (STARTTLS taken when the server offered it).
bool Protected(CURL* e) {
  const curl_tlssessioninfo* info = nullptr;
  if (curl_easy_getinfo(e, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || !info) return false;
  return info->backend != CURLSSLBACKEND_NONE && info->internals != nullptr;
}

std::string NewMessageID(const std::string& sender) {
  static std::mt19937_64 generator{std::random_device{}()};
  char id[64] = {};
  std::snprintf(id, sizeof id, "%016llx.%lld",
                static_cast<unsigned long long>(generator()),
                static_cast<long long>(std::time(nullptr)));
  return std::string(id) + "@" + Domain(sender);
}

}  // namespace

// ---- Seams -------------------------------------------------------------------------------

void EmaiTrustCertificateForTesting(const std::string& caFile) { gTrustedCA = caFile; }
void EmaiTimeoutForTesting(int seconds) { gTestTimeout = seconds; }

// ---- Pieces of the message --------------------------------------------------------------

bool EmaiAddressAcceptable(const std::string& address) {
  if (address.empty() || address.size() > 254) return false;
  const size_t at = address.find('@');
  if (at == std::string::npos || at == 0 || address.find('@', at + 1) != std::string::npos)
    return false;
  for (size_t i = 0; i < address.size(); i++) {
    const unsigned char c = address[i];
    if (c == '@') continue;
    if (i < at ? !IsAText(c) : !(std::isalnum(c) || c == '-' || c == '.')) return false;
  }
  const std::string domain = address.substr(at + 1);
  if (domain.front() == '.' || domain.back() == '.' || domain.find('.') == std::string::npos)
    return false;
  // What ValidEmail asks of the first ending, the last one must meet too.
  if (domain.size() - domain.rfind('.') - 1 < 2) return false;
  // ValidEmail stops at the first byte after the domain's dot; the checks above hold for
  // the rest of the text.
  Str255 text;
  text.setC(address.c_str());
  return ValidEmail(text, 1) && address.find("..") == std::string::npos;
}

std::string EmaiQuotedPrintable(const std::string& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 8);
  size_t column = 0;
  auto put = [&](const std::string& piece) {
    if (column + piece.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += piece;
    column += piece.size();
  };
  for (size_t i = 0; i < utf8.size(); i++) {
    const unsigned char c = utf8[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') i++;
      out += "\r\n";
      column = 0;
      continue;
    }
    const bool lineEnd = i + 1 == utf8.size() || utf8[i + 1] == '\r' || utf8[i + 1] == '\n';
    const bool plain = (c >= 33 && c <= 126 && c != '=' && !(c == '.' && column == 0)) ||
                       ((c == ' ' || c == '\t') && !lineEnd);
    if (plain)
      put(std::string(1, static_cast<char>(c)));
    else
      put(std::string{'=', kHex[c >> 4], kHex[c & 15]});
  }
  return out;
}

std::string EmaiHeaderText(const std::u16string& text) {
  std::u16string clean = text;
  // Control characters would end or fold the header: they become blanks.
  for (char16_t& u : clean)
    if (u < 32 || u == 127) u = u' ';
  const bool plain = std::all_of(clean.begin(), clean.end(), [](char16_t u) { return u < 127; });
  const std::string utf8 = ToUtf8(clean);
  if (plain && utf8.find("=?") == std::string::npos && utf8.size() <= 70) return utf8;
  // Encoded words of at most 75 characters, never splitting a character.
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t end = std::min(utf8.size(), i + 45);
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) end--;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(utf8.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

std::string EmaiFormatMessage(const EmaiObject* object, std::time_t now, const std::string& id) {
  const Message& m = static_cast<const Message&>(*object);
  std::string h;
  char date[64] = {};
  std::tm local{};
  localtime_r(&now, &local);
  // The day and month names of the mail standard, whatever the locale.
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char zone[8] = {};
  std::strftime(zone, sizeof zone, "%z", &local);
  std::snprintf(date, sizeof date, "%s, %d %s %d %02d:%02d:%02d %s", kDays[local.tm_wday],
                local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour,
                local.tm_min, local.tm_sec, zone);
  h += std::string("Date: ") + date + "\r\n";
  if (m.sender && !m.sender->contacts.empty()) h += "From: " + Mailbox(m.sender->contacts[0]) + "\r\n";
  std::string to;
  if (m.recipients)
    for (const Contact& c : m.recipients->contacts) to += (to.empty() ? "" : ",\r\n ") + Mailbox(c);
  // Blind copies stay in the envelope: a message for them alone names nobody.
  h += "To: " + (to.empty() ? std::string("undisclosed-recipients:;") : to) + "\r\n";
  h += "Subject: " + EmaiHeaderText(m.subject) + "\r\n";
  h += "Message-ID: <" + id + ">\r\n";
  h += "MIME-Version: 1.0\r\n";
  h += "Content-Type: text/html; charset=UTF-8\r\n";
  h += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
  const std::string body = m.part ? EmaiQuotedPrintable(MacRomanToUtf8(m.part->html)) : "";
  return h + body + (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0 ? "" : "\r\n");
}

// ---- The library --------------------------------------------------------------------

int EmaiSmtpSessionCreate(EmaiObject** session, int, int, int timeoutSeconds, int secure) {
  if (!session) return kEmaiBadArgument;
  auto* s = new Session;
  s->timeout = std::clamp(timeoutSeconds, 1, 600);
  s->secure = secure != 0;
  *session = s;
  return 0;
}

int EmaiSmtpConnect(EmaiObject* object, const EmaiUnit* server, int port, int) {
  auto* s = dynamic_cast<Session*>(object);
  if (!s) return kEmaiBadArgument;
  s->Close();
  s->pending.clear();
  if (gTestTimeout > 0) s->timeout = gTestTimeout;
  const std::string host = ToUtf8(Units(server));
  if (host.empty() || port < 1 || port > 65535) return kEmaiBadServerAddress;
  // Only a host name or address reaches the URL: no user part, path or second port.
  for (unsigned char c : host)
    if (c <= ' ' || c >= 127 || std::strchr("/?#@:[]\\%", c)) return kEmaiBadServerAddress;
  const bool implicitTLS = s->secure && port == 465;
  const std::string url =
      std::string(implicitTLS ? "smtps://" : "smtp://") + host + ":" + std::to_string(port) + "/";
  auto handle = std::make_unique<CurlHandle>();
  handle->easy = curl_easy_init();
  if (!handle->easy) return kEmaiConnectFailed;
  CURL* e = handle->easy;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(s->timeout));
  curl_easy_setopt(e, CURLOPT_TIMEOUT, static_cast<long>(s->timeout));
  curl_easy_setopt(e, CURLOPT_USE_SSL,
                   static_cast<long>(s->secure ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!gTrustedCA.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, gTrustedCA.c_str());
  const CURLcode rc = curl_easy_perform(e);
  if (rc != CURLE_OK) return StatusOf(rc);
  s->tls = implicitTLS || s->secure || Protected(e);
  s->handle = std::move(handle);
  return 0;
}

int EmaiSmtpAuthenticate(EmaiObject* object, const EmaiUnit* user, const EmaiUnit* password,
                         int) {
  auto* s = dynamic_cast<Session*>(object);
  if (!s) return kEmaiBadArgument;
  if (!s->handle) return kEmaiNotConnected;
  const std::string name = ToUtf8(Units(user));
  const std::string secret = ToUtf8(Units(password));
  if (!secret.empty() && !s->tls) return kEmaiNoSecureConnection;
  // The mechanisms the server offers now (after STARTTLS, when there was one).
  std::string capabilities;
  if (int rc = Command(*s, "EHLO " + std::string("marktally.localdomain"), 2, &capabilities))
    return rc;
  std::string upper = capabilities;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  const size_t auth = upper.find("AUTH");
  const std::string mechanisms =
      auth == std::string::npos ? std::string() : upper.substr(auth, upper.find('\n', auth) - auth);
  if (mechanisms.find("PLAIN") != std::string::npos || mechanisms.find("LOGIN") == std::string::npos)
    return Command(*s, "AUTH PLAIN " + Base64(std::string(1, '\0') + name + '\0' + secret), 2);
  if (int rc = Command(*s, "AUTH LOGIN", 3)) return rc;
  if (int rc = Command(*s, Base64(name), 3)) return rc;
  return Command(*s, Base64(secret), 2);
}

int EmaiMessagePartCreate(EmaiObject** part, const EmaiPartDescription* d, int) {
  if (!part || !d || (d->length > 0 && !d->text)) return kEmaiBadArgument;
  auto* p = new MessagePart;
  p->html.assign(reinterpret_cast<const char*>(d->text), d->length);
  *part = p;
  return 0;
}

int EmaiMessageCreate(EmaiObject** message, EmaiObject* part, int) {
  auto* p = dynamic_cast<MessagePart*>(part);
  if (!message || !p) return kEmaiBadArgument;
  auto* m = new Message;
  m->part = p;
  *message = m;
  return 0;
}

int EmaiContactListCreate(EmaiObject** list, int) {
  if (!list) return kEmaiBadArgument;
  *list = new ContactList;
  return 0;
}

int EmaiContactListAddContact(EmaiObject* object, const EmaiUnit* displayName,
                              const EmaiUnit* address, int, int) {
  auto* list = dynamic_cast<ContactList*>(object);
  if (!list || !address) return kEmaiBadArgument;
  const std::u16string wide = Units(address);
  std::string ascii;
  for (char16_t u : wide) {
    if (u >= 128) return kEmaiBadAddress;
    ascii += static_cast<char>(u);
  }
  if (!EmaiAddressAcceptable(ascii)) return kEmaiBadAddress;
  Contact c;
  c.address = ascii;
  c.hasName = displayName != nullptr;
  c.name = Units(displayName);
  list->contacts.push_back(std::move(c));
  return 0;
}

int EmaiMessageSetContactList(EmaiObject* object, EmaiObject* listObject, int role) {
  auto* m = dynamic_cast<Message*>(object);
  auto* list = dynamic_cast<ContactList*>(listObject);
  if (!m || !list) return kEmaiBadArgument;
  ContactList** slot = role == kEmaiSender       ? &m->sender
                       : role == kEmaiRecipients ? &m->recipients
                       : role == kEmaiBlindCopies ? &m->blindCopies
                                                  : nullptr;
  if (!slot) return kEmaiBadArgument;
  Retain(list);
  Release(*slot);
  *slot = list;
  return 0;
}

int EmaiMessageSetField(EmaiObject* object, int, const EmaiUnit* text, int field) {
  auto* m = dynamic_cast<Message*>(object);
  if (!m || field != kEmaiSubject) return kEmaiBadArgument;
  m->subject = Units(text);
  return 0;
}

int EmaiSmtpSendMessage(EmaiObject* object, EmaiObject* messageObject, int) {
  auto* s = dynamic_cast<Session*>(object);
  auto* m = dynamic_cast<Message*>(messageObject);
  if (!s || !m) return kEmaiBadArgument;
  if (!s->handle) return kEmaiNotConnected;
  if (!m->sender || m->sender->contacts.empty()) return kEmaiBadAddress;
  const std::vector<std::string> recipients = EnvelopeRecipients(*m);
  if (recipients.empty()) return kEmaiNoRecipient;
  const std::string from = m->sender->contacts[0].address;
  const std::string text =
      DotStuffed(EmaiFormatMessage(m, std::time(nullptr), NewMessageID(from)));
  int rc = Command(*s, "MAIL FROM:<" + from + ">", 2);
  for (size_t i = 0; rc == 0 && i < recipients.size(); i++) {
    int code = 0;
    rc = Command(*s, "RCPT TO:<" + recipients[i] + ">", 2, nullptr, &code);
    // A mailbox the server will never take is the address's fault, not the session's.
    if (rc == kEmaiCommandRejected && (code == 550 || code == 551 || code == 553)) {
      Command(*s, "RSET", 2);
      return kEmaiRecipientRefused;
    }
  }
  if (rc == 0) rc = Command(*s, "DATA", 3);
  if (rc == 0) {
    rc = SendAll(*s, text + ".\r\n");
    int code = 0;
    if (rc == 0) rc = ReadReply(*s, code);
    if (rc == 0 && code / 100 != 2) rc = kEmaiCommandRejected;
    return rc;
  }
  // A refused envelope leaves the connection ready for the next message.
  if (rc == kEmaiCommandRejected) Command(*s, "RSET", 2);
  return rc;
}

void EmaiSmtpDisconnect(EmaiObject* object, int) {
  auto* s = dynamic_cast<Session*>(object);
  if (!s || !s->handle) return;
  const int saved = s->timeout;
  s->timeout = std::min(saved, 5);
  Command(*s, "QUIT", 2);
  s->timeout = saved;
  s->Close();
}

void EmaiObjectRelease(EmaiObject* object) { Release(object); }
