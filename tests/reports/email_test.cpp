// The e-mail address check, the one splitter of a field of several addresses (dialogs,
// import and run), and the closing alert of a class run.
#include "marktally/reports/email.h"
#include "marktally/reports/text_import.h"
#include "tests/reports/reports_fixture.h"

namespace {

TEST(EmailTest, ValidEmailAcceptsAUserAtADomainWithATwoLetterEnding) {
  struct Case {
    const char* text;
    int start;
    bool valid;
  };
  const Case cases[] = {
      {"ann@school.org", 1, true},
      {"ann@school.us", 1, true},
      {"ann@school.u", 1, false},    // a one-letter ending
      {"ann@school..org", 1, false}, // two dots in a row
      {".ann@school.org", 1, false},
      {"@school.org", 1, false},
      {"ann school@x.org", 1, false},
      {"annschool.org", 1, false},   // no '@'
      {"ann@school", 1, false},
      {"ann@school.org.", 1, true},  // accepted before the final dot is met
      {"ann@school.o.", 1, false},   // punctuation last, met at the byte before it
      {"a@b.cd e@f.gh", 1, true},
      {"a@b.cd e@f.gh", 8, true},
      {"a@b.cd e@f.g", 8, false},
      {"a@b.c, e@f.gh", 1, false},   // punctuation then a blank
      {"ann@school.org", 15, false}, // past the end
      {"j\x8Frg@b\x9F.de", 1, true}, // bytes above 127 are neither blank nor punctuation
      {"x.y@a.b.cc", 1, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ValidEmail(PStr(c.text), c.start), c.valid) << c.text << " at " << c.start;
}

TEST(EmailTest, ImportedFieldsCheckEveryAddressAfterASeparator) {
  struct Case {
    const char* field;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {" x ", true},  // shorter than two bytes once stripped
      {"ann@school.org", true},
      {"ann@school.org, dad@home.net;mom@home.net", true},
      {"ann@school.org  dad@home", false},
      {"  ann@school.org  ", true},
      {"ann@school.org,", true},  // a separator at the very end stays and is not checked
      {"not an address", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidImportedAddresses(PStr(c.field)), c.valid) << c.field;
    EXPECT_EQ(ValidAddresses(PStr(c.field)), c.valid) << c.field;
  }
}

TEST(EmailTest, AddressesAreCutAtBlanksCommasAndSemicolons) {
  using List = std::vector<std::string>;
  struct Case {
    const char* field;
    List addresses;
  };
  const Case cases[] = {
      {"", {}},
      {" ,; ", {}},
      {"ann@school.org", {"ann@school.org"}},
      {"ann@school.org, dad@home.net", {"ann@school.org", "dad@home.net"}},
      {"ann@school.org;dad@home.net", {"ann@school.org", "dad@home.net"}},
      {"ann@school.org,dad@home.net", {"ann@school.org", "dad@home.net"}},
      {" a@b.org\t;;c@d.org ,\r\ne@f.org;", {"a@b.org", "c@d.org", "e@f.org"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitAddresses(PStr(c.field)), c.addresses) << c.field;

  // What the dialogs store is read back into the same addresses.
  Str255 stored{};
  NormalizeAddresses(PStr(" ann@school.org, dad@home.net;mum@home.net "), stored);
  EXPECT_EQ(stored.str(), "ann@school.org  dad@home.net mum@home.net");
  EXPECT_EQ(SplitAddresses(stored), (List{"ann@school.org", "dad@home.net", "mum@home.net"}));
}

TEST(EmailTest, TheRunSummaryCountsTheSentAndNamesTheRestWithinOneAlert) {
  struct Case {
    int sent;
    std::vector<EmailNotSent> notSent;
    std::string text;
  };
  std::vector<EmailNotSent> many;
  for (int i = 0; i < 30; i++)
    many.push_back({"Student Number " + std::to_string(i), "the run ended."});
  const Case cases[] = {
      {1, {}, "1 report was sent."},
      {12, {}, "12 reports were sent."},
      {0, {{"Ann Lee", "the report is too large to send."}},
       "No report was sent. Not sent: Ann Lee (the report is too large to send)."},
      {3, {{"Ann Lee", "a."}, {"Bo Roe", "b"}}, "3 reports were sent. Not sent: Ann Lee (a); Bo Roe (b)."},
      {2, many,
       "2 reports were sent. Not sent: Student Number 0 (the run ended); Student Number 1 (the "
       "run ended); Student Number 2 (the run ended); Student Number 3 (the run ended); "
       "Student Number 4 (the run ended); Student Number 5 (the run ended); and 24 more."},
      {0, {{std::string(300, 'x'), "the run ended."}},
       "No report was sent. Not sent: 1 student."},
  };
  for (const Case& c : cases) {
    const std::string text = EmailRunSummary(c.sent, c.notSent);
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), 255u);
  }
}

}  // namespace
