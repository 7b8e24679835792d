// The e-mail address check and the import's check of a field of several addresses.
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
  for (const Case& c : cases) EXPECT_EQ(ValidImportedAddresses(PStr(c.field)), c.valid) << c.field;
}

}  // namespace
