// E-mail reports against a real mail server on loopback (aiosmtpd): the class run, the
// single report, TLS and login, the alerts of failed sessions, and addresses that could
// smuggle text into the dialogue. What arrived is read with Python's email package.
#include <algorithm>
#include <set>

#include "marktally/common/macroman.h"
#include "marktally/reports/emai.h"
#include "marktally/reports/emai_testing.h"
#include "marktally/reports/email.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/shell/dialogs/exchange_dialogs.h"
#include "tests/reports/smtp_server.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using Records = std::vector<std::vector<std::string>>;

struct Mail {
  std::string peer;
  bool tls = false;
  std::string login;
  std::string from;
  std::vector<std::string> rcpt;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::vector<std::string> defects;
  std::string Header(const std::string& name) const {
    for (const auto& h : headers)
      if (h.first == name) return h.second;
    return "";
  }
};

struct Received {
  int connections = 0;
  int logins = 0;  // AUTH commands the server saw
  std::vector<Mail> mails;
};

Received Parse(const Records& records) {
  Received r;
  for (const auto& f : records) {
    if (f.empty()) continue;
    if (f[0] == "C" && f.size() > 1) r.connections = std::stoi(f[1]);
    if (f[0] == "A" && f.size() > 1) r.logins = std::stoi(f[1]);
    if (f[0] == "M" && f.size() > 3) {
      Mail m;
      m.peer = f[1];
      m.tls = f[2] == "1";
      m.login = f[3];
      r.mails.push_back(m);
    }
    if (r.mails.empty()) continue;
    Mail& m = r.mails.back();
    if (f[0] == "F" && f.size() > 1) m.from = f[1];
    if (f[0] == "R" && f.size() > 1) m.rcpt.push_back(f[1]);
    if (f[0] == "H" && f.size() > 2) m.headers.emplace_back(f[1], f[2]);
    if (f[0] == "B" && f.size() > 1) m.body = f[1];
    if (f[0] == "E" && f.size() > 1) m.defects.push_back(f[1]);
  }
  return r;
}

class EmailSendTest : public dialogtest::DialogTest {
 protected:
  static void SetUpTestSuite() {
    DialogTest::SetUpTestSuite();
    char pattern[] = "/tmp/mt-email-cert-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    certDir_ = pattern;
    certificate_ = MakeThrowAwayCertificate(certDir_);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(certDir_); }

  void SetUp() override {
    DialogTest::SetUp();
    char pattern[] = "/tmp/mt-email-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    work_ = pattern;
    server_ = std::make_unique<LoopbackSmtpServer>(MT_REPORTS_TEST_DIR, work_);
    gIncludeRecipients = 1;
    gIncludeBlindCopies = 1;
    gOtherAddresses.clear();
    gEmailReport = 0;
    gClass.teacher.setC("Pat Quinn");
    gEmailData.port = 25;
    gEmailData.server.setC("127.0.0.1");
    gEmailData.address.setC("pquinn@school.org");
    gEmailData.user.clear();
    gEmailData.password.clear();
  }
  void TearDown() override {
    server_.reset();
    std::filesystem::remove_all(work_);
    EmaiTrustCertificateForTesting("");
    EmaiTimeoutForTesting(0);
    gOtherAddresses.clear();
    gEmailReport = 0;
    DialogTest::TearDown();
  }

  void Serve(const std::string& mode, const std::string& extra = "") {
    ASSERT_TRUE(server_->Start(mode, extra)) << mode;
    gEmailData.port = static_cast<int16_t>(server_->port());
  }
  std::string TLSFiles() const {
    return "--cert " + certDir_ + "/cert.pem --key " + certDir_ + "/key.pem";
  }
  void TrustThrowAwayCertificate() { EmaiTrustCertificateForTesting(certDir_ + "/cert.pem"); }

  static void AddStudent(int s, const char* name, const char* to, const char* bcc = "") {
    gStudents[s].name.setC(name);
    gEmailAddresses[s].recipients.setC(to);
    gEmailAddresses[s].blindCopies.setC(bcc);
  }

  Received Got() const { return Parse(server_->Records()); }

  static std::string Failure(const std::string& what, const std::string& reason) {
    return "There was an error while " + what + ": " + reason;
  }

  std::string work_;
  std::unique_ptr<LoopbackSmtpServer> server_;
  static inline std::string certDir_;
  static inline bool certificate_ = false;
};

TEST_F(EmailSendTest, AFullClassGoesOutOneMessagePerAddressedStudentOverOneConnection) {
  Serve("plain");
  std::set<int> addressed;
  for (int s = 0; s < kMaxStudents; s++) {
    char name[32], to[64], bcc[64];
    std::snprintf(name, sizeof name, "Pupil%03d, Kim", s);
    std::snprintf(to, sizeof to, "kim%03d@school.org", s);
    std::snprintf(bcc, sizeof bcc, "mum%03d@home.net dad%03d@home.net", s, s);
    const bool hasAddress = s % 7 != 3;
    AddStudent(s, name, hasAddress ? to : "", hasAddress && s % 2 == 0 ? bcc : "");
    if (hasAddress) addressed.insert(s);
  }
  ExpectAlert(kNoteAlert, "Email reports sent", "214 reports were sent.");
  EmailClassReports(7);
  const Received got = Got();
  EXPECT_EQ(got.connections, 1);
  ASSERT_EQ(got.mails.size(), addressed.size());
  std::set<std::string> peers;
  size_t k = 0;
  for (int s : addressed) {
    const Mail& m = got.mails[k++];
    peers.insert(m.peer);
    char to[64], mum[64], dad[64], subject[64];
    std::snprintf(to, sizeof to, "kim%03d@school.org", s);
    std::snprintf(mum, sizeof mum, "mum%03d@home.net", s);
    std::snprintf(dad, sizeof dad, "dad%03d@home.net", s);
    std::snprintf(subject, sizeof subject, "Progress report for Kim Pupil%03d", s);
    EXPECT_EQ(m.from, "pquinn@school.org");
    std::vector<std::string> rcpt = {to};
    if (s % 2 == 0) rcpt = {to, mum, dad};
    EXPECT_EQ(m.rcpt, rcpt) << s;
    EXPECT_EQ(m.Header("To"), to);
    EXPECT_EQ(m.Header("Subject"), subject);
    EXPECT_EQ(m.Header("From"), "Pat Quinn <pquinn@school.org>");
    EXPECT_EQ(m.Header("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_FALSE(m.Header("Date").empty());
    EXPECT_NE(m.Header("Message-ID").find("@school.org>"), std::string::npos);
    for (const auto& h : m.headers) {
      EXPECT_EQ(h.second.find("home.net"), std::string::npos) << h.first << ": " << h.second;
      EXPECT_NE(h.first, "Bcc");
    }
    EXPECT_NE(m.body.find("<html>"), std::string::npos);
    EXPECT_TRUE(m.defects.empty()) << m.defects.front();
  }
  EXPECT_EQ(peers.size(), 1u);
  EXPECT_EQ(gEmailReport, 0);
}

TEST_F(EmailSendTest, SubjectSenderAndBodyArriveAsTheirUnicodeText) {
  Serve("plain");
  // Mac Roman: 0x8E e acute, 0x9F u diaeresis, 0x91 e diaeresis, 0xD0 en dash.
  gClass.teacher.setC("Jos\x8E M\x9Fller \xD0 Room 4");
  AddStudent(0, "Br\x9F" "ck, Zo\x91", "zoe@school.org");
  EmailSingleReport(0, 8);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  const Mail& m = got.mails[0];
  EXPECT_EQ(m.Header("Subject"), "Progress summary for Zo\xC3\xAB Br\xC3\xBC" "ck");
  EXPECT_EQ(m.Header("From"),
            "Jos\xC3\xA9 M\xC3\xBCller \xE2\x80\x93 Room 4 <pquinn@school.org>");
  EXPECT_TRUE(m.defects.empty());
}

TEST_F(EmailSendTest, HeaderTextWithLineBreaksStaysInItsHeader) {
  Serve("plain");
  gClass.teacher.setC("Pat\r\nBcc: spy@evil.org");
  AddStudent(0, "Lee, Ann\rX-Injected: 1", "ann@school.org");
  EmailSingleReport(0, 7);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  for (const auto& h : got.mails[0].headers) {
    EXPECT_NE(h.first, "Bcc");
    EXPECT_NE(h.first, "X-Injected");
  }
  EXPECT_EQ(got.mails[0].rcpt, std::vector<std::string>{"ann@school.org"});
}

TEST_F(EmailSendTest, BlindCopiesAloneNameNobodyAndOthersJoinTheRecipients) {
  Serve("plain");
  AddStudent(0, "Lee, Ann", "ann@school.org", "mum@home.net");
  AddStudent(1, "Roe, Bo", "bo@school.org");
  gIncludeRecipients = 0;
  gOtherAddresses.setC("office@school.org");
  ExpectAlert(kNoteAlert, "Email reports sent", "2 reports were sent.");
  EmailClassReports(9);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 2u);
  EXPECT_EQ(got.mails[0].rcpt, (std::vector<std::string>{"office@school.org", "mum@home.net"}));
  EXPECT_EQ(got.mails[0].Header("To"), "office@school.org");
  EXPECT_EQ(got.mails[1].rcpt, std::vector<std::string>{"office@school.org"});

  gOtherAddresses.clear();
  server_->Start("plain");
  gEmailData.port = static_cast<int16_t>(server_->port());
  EmailSingleReport(0, 9);
  const Received alone = Got();
  ASSERT_EQ(alone.mails.size(), 1u);
  EXPECT_EQ(alone.mails[0].rcpt, std::vector<std::string>{"mum@home.net"});
  EXPECT_EQ(alone.mails[0].Header("To"), "undisclosed-recipients:;");
}

TEST_F(EmailSendTest, NoChosenAddressSendsNothingAndSaysSo) {
  Serve("plain");
  AddStudent(0, "Lee, Ann", "", "mum@home.net");
  gIncludeBlindCopies = 0;
  ExpectAlert(kNoteAlert, "Invalid Email Address",
              "No email reports were sent because no email addresses were selected.");
  EmailClassReports(7);
  EXPECT_TRUE(Got().mails.empty());
}

TEST_F(EmailSendTest, STARTTLSAndLoginWithATrustedThrowAwayCertificate) {
  ASSERT_TRUE(certificate_);
  Serve("starttls", TLSFiles() + " --auth teacher:s3cret");
  TrustThrowAwayCertificate();
  gEmailData.server.setC("localhost");
  gEmailData.port = static_cast<int16_t>(-server_->port());
  gEmailData.user.setC("teacher");
  gEmailData.password.setC("s3cret");
  AddStudent(0, "Lee, Ann", "ann@school.org");
  EmailSingleReport(0, 7);
  Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  EXPECT_TRUE(got.mails[0].tls);
  EXPECT_EQ(got.mails[0].login, "teacher");
  EXPECT_EQ(got.connections, 1);  // the login goes over the connection the run uses

  gEmailData.password.setC("wrong");
  ExpectAlert(kStopAlert, "Unable to send email report",
              Failure("authenticating the SMTP session", "the server rejected the command."));
  EmailSingleReport(0, 7);
  EXPECT_EQ(Got().mails.size(), 1u);
}

TEST_F(EmailSendTest, ImplicitTLSOnPort465) {
  ASSERT_TRUE(certificate_);
  if (!server_->Start("smtps", TLSFiles() + " --host 127.23.0.1 --port 465"))
    GTEST_SKIP() << "port 465 of 127.23.0.1 cannot be bound here";
  TrustThrowAwayCertificate();
  gEmailData.server.setC("127.23.0.1");
  gEmailData.port = -465;
  AddStudent(0, "Lee, Ann", "ann@school.org");
  EmailSingleReport(0, 7);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  EXPECT_TRUE(got.mails[0].tls);
}

TEST_F(EmailSendTest, AnUntrustedCertificateIsRefused) {
  ASSERT_TRUE(certificate_);
  AddStudent(0, "Lee, Ann", "ann@school.org");
  for (bool secure : {true, false}) {
    Serve("starttls", TLSFiles());
    gEmailData.server.setC("localhost");
    if (secure) gEmailData.port = static_cast<int16_t>(-gEmailData.port);
    ExpectAlert(kStopAlert, "Unable to send email report",
                Failure("connecting to the SMTP server",
                        "the server's certificate is not trusted."));
    EmailSingleReport(0, 7);
    EXPECT_TRUE(Got().mails.empty());
  }
}

TEST_F(EmailSendTest, FailedSessionsGiveTheirAlerts) {
  AddStudent(0, "Lee, Ann", "ann@school.org");
  EmaiTimeoutForTesting(2);
  struct Case {
    const char* mode;  // "" for no server at all
    const char* server;
    const char* reason;
  };
  const Case cases[] = {
      {"refuse", "127.0.0.1", "the server rejected the command."},
      {"", "127.0.0.1", "the connection failed."},
      {"", "mail.nosuchplace.invalid", "the server address is invalid."},
      {"silent", "127.0.0.1", "the connection timed out."},
  };
  for (const Case& c : cases) {
    if (*c.mode) {
      Serve(c.mode);
    } else {
      // A port nobody listens on: taken from the system, then let go.
      Serve("plain");
      server_->Stop();
    }
    gEmailData.server.setC(c.server);
    ExpectAlert(kStopAlert, "Unable to send email report",
                Failure("connecting to the SMTP server", c.reason));
    EmailSingleReport(0, 7);
    EXPECT_EQ(gEmailReport, 0) << c.mode;
  }
}

TEST_F(EmailSendTest, AStudentWithABadAddressIsSkippedAndTheRunGoesOn) {
  Serve("plain", "--reject-rcpt nobody");
  AddStudent(0, "Lee, Ann", "ann@school.org");
  AddStudent(1, "Roe, Bo", "bo@school.org\r\nRCPT TO:<spy@evil.org>");
  AddStudent(2, "Cy, Al", "al@school.org", "mum@home.net,dad@home");
  AddStudent(3, "Day, Di", "nobody@school.org");
  AddStudent(4, "Eve, Ed", "ed@school.org");
  ExpectAlert(kCautionAlert, "Some email reports were not sent",
              "2 reports were sent. Not sent: Bo Roe (the address \"RCPT\" is "
              "not valid); Al Cy (the address \"dad@home\" is not valid); Di Day (the server "
              "refused an email address).");
  EmailClassReports(7);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 2u);
  EXPECT_EQ(got.mails[0].rcpt, std::vector<std::string>{"ann@school.org"});
  EXPECT_EQ(got.mails[1].rcpt, std::vector<std::string>{"ed@school.org"});
  EXPECT_EQ(got.connections, 1);

  // One student alone: the same reason in the run's own alert.
  Serve("plain");
  ExpectAlert(kStopAlert, "Unable to send email report",
              Failure("sending the email report for Al Cy",
                      "the address \"dad@home\" is not valid."));
  EmailSingleReport(2, 7);
  EXPECT_TRUE(Got().mails.empty());
}

TEST_F(EmailSendTest, AddressesSeparatedByBlanksCommasOrSemicolonsAllReceive) {
  Serve("plain");
  // As an import leaves them: the separators as typed.
  AddStudent(0, "Lee, Ann", "ann@school.org, dad@home.net", "mum@home.net;gran@home.net");
  AddStudent(1, "Roe, Bo", " bo@school.org ;; \tkid@school.org,");
  gOtherAddresses.setC("office@school.org;head@school.org");
  ExpectAlert(kNoteAlert, "Email reports sent", "2 reports were sent.");
  EmailClassReports(7);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 2u);
  EXPECT_EQ(got.mails[0].rcpt,
            (std::vector<std::string>{"ann@school.org", "dad@home.net", "office@school.org",
                                      "head@school.org", "mum@home.net", "gran@home.net"}));
  EXPECT_EQ(got.mails[1].rcpt,
            (std::vector<std::string>{"bo@school.org", "kid@school.org", "office@school.org",
                                      "head@school.org"}));
}

TEST_F(EmailSendTest, AFailureOfTheConnectionEndsTheRunAndNamesWhoGotNothing) {
  // The server takes one message, then answers 421 as one going down does.
  Serve("plain", "--close-after 1");
  AddStudent(0, "Lee, Ann", "ann@school.org");
  AddStudent(1, "Roe, Bo", "bo@example");  // skipped: the run goes on
  AddStudent(2, "Cy, Al", "al@school.org");
  AddStudent(3, "Day, Di", "di@school.org");
  AddStudent(4, "Eve, Ed", "");  // no address: never part of the run
  ExpectAlert(kStopAlert, "Unable to send email report",
              "1 report was sent. Not sent: Bo Roe (the address \"bo@example\" is not "
              "valid); Al Cy (the server rejected the command); Di Day (the run ended).");
  EmailClassReports(7);
  const Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  EXPECT_EQ(got.mails[0].rcpt, std::vector<std::string>{"ann@school.org"});
}

TEST_F(EmailSendTest, ThePasswordIsNeverSentWithoutTLS) {
  ASSERT_TRUE(certificate_);
  AddStudent(0, "Lee, Ann", "ann@school.org");
  struct Case {
    const char* mode;
    bool secureBox;
    const char* password;
    const char* reason;
  };
  const Case cases[] = {
      // No STARTTLS at all, and a STARTTLS offer taken out on the way.
      {"plain", false, "s3cret",
       "the server offers no secure connection, so your password was not sent."},
      {"strip", false, "s3cret",
       "the server offers no secure connection, so your password was not sent."},
      {"plain", true, "s3cret",
       "the server offers no secure connection, so your password was not sent."},
      // Without a password the box alone asks for TLS.
      {"strip", true, "", "the server offers no secure connection."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + (c.secureBox ? " secure" : "") + " " + c.password);
    Serve(c.mode, TLSFiles() + " --auth teacher:s3cret");
    TrustThrowAwayCertificate();
    gEmailData.server.setC("localhost");
    if (c.secureBox) gEmailData.port = static_cast<int16_t>(-gEmailData.port);
    gEmailData.user.setC("teacher");
    gEmailData.password.setC(c.password);
    ExpectAlert(kStopAlert, "Unable to send email report",
                Failure("connecting to the SMTP server", c.reason));
    EmailSingleReport(0, 7);
    const Received got = Got();
    EXPECT_EQ(got.logins, 0);
    EXPECT_TRUE(got.mails.empty());
    EXPECT_EQ(gEmailReport, 0);
  }
  // The library itself never sends a password over a plain connection.
  Serve("plain", "--auth teacher:s3cret");
  EmaiObject* session = nullptr;
  EmaiSmtpSessionCreate(&session, 0, 0, 5, 0);
  WideText server{}, user{}, password{};
  Unicode(PStr("127.0.0.1"), server);
  Unicode(PStr("teacher"), user);
  Unicode(PStr("s3cret"), password);
  ASSERT_EQ(EmaiSmtpConnect(session, server, gEmailData.port, 0), 0);
  EXPECT_EQ(EmaiSmtpAuthenticate(session, user, password, 0), kEmaiNoSecureConnection);
  EmaiSmtpDisconnect(session, 0);
  EmaiObjectRelease(session);
  EXPECT_EQ(Got().logins, 0);
}

TEST_F(EmailSendTest, TheStudentReportIsTheBodyAndOneTooLargeIsNamed) {
  Serve("plain");
  AddStudent(0, "Lee, Ann", "ann@school.org");
  AddStudent(1, "Roe, Bo", "bo@school.org");
  gComments[0][gCurrentTerm].setC("Reads <well> & writes");
  EmailSingleReport(0, 7);
  Received got = Got();
  ASSERT_EQ(got.mails.size(), 1u);
  EXPECT_NE(got.mails[0].body.find("Reads &lt;well&gt; &amp; writes"), std::string::npos);
  EXPECT_NE(got.mails[0].body.find("<body bgcolor=white>"), std::string::npos);

  // Every assignment named in bytes that each become a six-byte reference.
  const int t = gCurrentTerm;
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[t][a].name.setC(std::string(47, '\xA5').c_str());
    gAssignments[t][a].points = 10;
    gScores[1][t][a] = 50;
    gNumScores[t][a] = 1;
  }
  gComments[1][t].setC(std::string(255, '\xA5').c_str());
  Serve("plain");
  ExpectAlert(kStopAlert, "Unable to send email report",
              "No report was sent. Not sent: Ann Lee (the report is too large to send); Bo "
              "Roe (the run ended).");
  EmailClassReports(7);
  EXPECT_TRUE(Got().mails.empty());
}

TEST(EmaiTest, OnlyOnePlainAddressIsAcceptable) {
  struct Case {
    const char* address;
    bool ok;
  };
  const Case cases[] = {
      {"ann@school.org", true},
      {"ann.lee+art@mail.school.org", true},
      {"o'hara@school.ie", true},
      {"ann@school.org\r\nDATA", false},
      {"ann@school.org>", false},
      {"<ann@school.org", false},
      {"ann lee@school.org", false},
      {"ann@school.org,bo@school.org", false},
      {"ann@school.o", false},    // ValidEmail: a one-letter ending
      {"ann@school.org.x", false},
      {"ann@@school.org", false},
      {"ann@school..org", false},
      {"ann@school", false},
      {"ann\x01@school.org", false},
      {"ann@sch\xC3\xB6ol.org", false},
      {"ann@school.org:25", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(EmaiAddressAcceptable(c.address), c.ok) << c.address;
}

TEST(EmaiTest, QuotedPrintableKeepsLinesShortAndEndsThemInCRLF) {
  const std::string text = std::string(200, 'a') + " =\xC3\xA9\r.dot \rend ";
  const std::string qp = EmaiQuotedPrintable(text);
  size_t start = 0;
  while (start < qp.size()) {
    size_t end = qp.find("\r\n", start);
    if (end == std::string::npos) end = qp.size();
    EXPECT_LE(end - start, 76u);
    EXPECT_EQ(qp.substr(start, end - start).find_first_of("\r\n"), std::string::npos);
    start = end + 2;
  }
  EXPECT_NE(qp.find("=3D=C3=A9"), std::string::npos);
  EXPECT_NE(qp.find("\r\n=2Edot"), std::string::npos);
  EXPECT_NE(qp.find("end=20"), std::string::npos);
}

}  // namespace
