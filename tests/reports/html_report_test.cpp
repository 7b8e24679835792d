// The HTML student report: the escaping and linking of typed texts, byte goldens of the
// four report kinds, and the writers' stop at a failed write or a full e-mail buffer.
#include <cstdlib>

#include "marktally/reports/html_report.h"
#include "tests/reports/html_fixture.h"

namespace {

class HtmlReportTest : public HtmlTest {
 protected:
  // What one writer puts into the e-mail buffer.
  template <typename Writer>
  std::string Capture(Writer writer, bool* ok = nullptr) {
    gEmailReport = 1;
    gEmailBufferLength = 0;
    const FileSpec spec{};
    FileRef ref = kNoFile;
    WriteBuffer buffer{};
    const bool result = writer(spec, ref, buffer);
    if (ok) *ok = result;
    gEmailReport = 0;
    return std::string(reinterpret_cast<const char*>(gEmailBuffer), gEmailBufferLength);
  }
  std::string Escape(const std::string& text, bool* ok = nullptr) {
    Str255 p{};
    p.setBytes(text.data(), text.size());
    return Capture(
        [&p](const FileSpec& s, FileRef& r, WriteBuffer& b) {
          return AppendHTMLToBuffer(s, r, b, p);
        },
        ok);
  }
  static std::string GoldenPath(const std::string& name) {
    return std::string(SourceDir()) + "/golden/" + name;
  }
  // Compares with the golden file; MT_UPDATE_GOLDENS=1 writes it instead.
  static void ExpectGolden(const std::string& name, const std::string& bytes) {
    if (std::getenv("MT_UPDATE_GOLDENS")) Spit(GoldenPath(name), bytes);
    EXPECT_EQ(bytes, Slurp(GoldenPath(name))) << name;
  }
};

struct EscapeCase {
  const char* what;
  std::string in;
  std::string out;
};

TEST_F(HtmlReportTest, AppendHTMLToBufferEscapesAndLinksEveryText) {
  const EscapeCase cases[] = {
      {"empty", "", ""},
      {"tags", "<b>bold</b>", "&lt;b&gt;bold&lt;&frasl;b&gt;"},
      {"slash between numbers", "1/2", "1&frasl;2"},
      {"apostrophe and quotes", "it's \"so\"", "it&#39;s &quot;so&quot;"},
      {"ampersand", "A & B", "A &amp; B"},
      {"math symbols", "\xB2 \xB3 \xAD \xB0 \xC6", "&le; &ge; &ne; &infin; &Delta;"},
      {"Mac Roman letter", "caf\x8E", "caf&#233;"},
      {"three digits from the 1252 table", "\xA5\xC9", "&#149;&#133;"},
      // White space stays; a control byte from an old document or an import is a blank.
      {"CR and tab stay", "a\rb\tc", "a\rb\tc"},
      {"control bytes become blanks", "a\x01" "b\x1B\x7F", "a b  "},
      {"control byte in a link", "www.a.com/\x02x",
       "<a href=\"http://www.a.com/ x\">www.a.com/ x</a>"},
      {"www gains http", "see www.a.com, ok",
       "see <a href=\"http://www.a.com\">www.a.com</a>, ok"},
      {"sentence stop stays out", "at http://x.org/a.b.",
       "at <a href=\"http://x.org/a.b\">http://x.org/a.b</a>."},
      {"ampersand raw in a link", "http://x.org/?a=1&b=2",
       "<a href=\"http://x.org/?a=1&b=2\">http://x.org/?a=1&b=2</a>"},
      {"inside a word", "xwww.a.com", "x<a href=\"http://www.a.com\">www.a.com</a>"},
      {"mail address", "write jo@ex.com now",
       "write <a href=\"mailto:jo@ex.com\">jo@ex.com</a> now"},
      {"quote cannot leave the attribute", "www.a.com/\"onmouseover=\"x",
       "<a href=\"http://www.a.com/&quot;onmouseover=&quot;x\">"
       "www.a.com/&quot;onmouseover=&quot;x</a>"},
      {"brackets cannot leave the element", "http://a.b/<script>x</script>",
       "<a href=\"http://a.b/&lt;script&gt;x&lt;/script\">"
       "http://a.b/&lt;script&gt;x&lt;/script</a>&gt;"},
      {"non-ASCII in a link", "www.a.com/caf\x8E",
       "<a href=\"http://www.a.com/caf&#233;\">www.a.com/caf&#233;</a>"},
      {"mail address with a quote", "a\"<b>@ex.com ",
       "<a href=\"mailto:a&quot;&lt;b&gt;@ex.com\">a&quot;&lt;b&gt;@ex.com</a> "},
      {"upper case is no link", "WWW.A.COM", "WWW.A.COM"},
  };
  for (const EscapeCase& c : cases) {
    bool ok = false;
    EXPECT_EQ(Escape(c.in, &ok), c.out) << c.what;
    EXPECT_TRUE(ok) << c.what;
  }
}

TEST_F(HtmlReportTest, EveryEscapedTextIsPureAscii) {
  std::string all;
  for (int c = 1; c < 256; c++) all.push_back(static_cast<char>(c));
  for (size_t at = 0; at < all.size(); at += 100) {
    const std::string out = Escape(all.substr(at, 100));
    for (const char ch : out) EXPECT_LT(static_cast<unsigned char>(ch), 0x80);
  }
}

TEST_F(HtmlReportTest, TheFourReportKindsMatchTheirGoldens) {
  const int16_t s = BuildClass();
  gShowStudentName = 1;
  struct Kind {
    const char* golden;
    bool (*writer)(const FileSpec&, FileRef&, WriteBuffer&, int16_t);
  };
  const Kind kinds[] = {{"student_scores.html", ExportStudentReportBody},
                        {"student_summary.html", ExportStudentSummary},
                        {"student_attendance.html", ExportStudentDates},
                        {"student_missing.html", ExportStudentMissing}};
  for (const Kind& k : kinds) {
    bool ok = false;
    const std::string out = Capture(
        [&](const FileSpec& f, FileRef& r, WriteBuffer& b) { return k.writer(f, r, b, s); }, &ok);
    EXPECT_TRUE(ok) << k.golden;
    ExpectGolden(k.golden, out);
  }
  // The second student has a missing (blank) quiz and no attendance marks.
  const std::string missing = Capture([](const FileSpec& f, FileRef& r, WriteBuffer& b) {
    return ExportStudentMissing(f, r, b, 1);
  });
  EXPECT_NE(missing.find("Quiz 1&frasl;2"), std::string::npos);
  EXPECT_EQ(missing.find("No missing assignments"), std::string::npos);
}

TEST_F(HtmlReportTest, TheStudentLineFollowsTheSwitch) {
  const int16_t s = BuildClass();
  auto body = [s](const FileSpec& f, FileRef& r, WriteBuffer& b) {
    return ExportStudentSummary(f, r, b, s);
  };
  gShowStudentName = 0;
  EXPECT_EQ(Capture(body).find("Garcia"), std::string::npos);
  gShowStudentName = 1;
  EXPECT_NE(Capture(body).find("1042 Garcia, Ana"), std::string::npos);
  gClass.flags &= static_cast<uint8_t>(~kShowIDs);
  EXPECT_EQ(Capture(body).find("1042"), std::string::npos);
}

TEST_F(HtmlReportTest, AFullEmailBufferStopsTheWriter) {
  const int16_t s = BuildClass();
  gEmailReport = 1;
  gEmailBufferLength = kEmailBufferSize - 200;
  const FileSpec spec{};
  FileRef ref = kNoFile;
  WriteBuffer buffer{};
  EXPECT_FALSE(ExportStudentReportBody(spec, ref, buffer, s));
  EXPECT_LE(gEmailBufferLength, kEmailBufferSize - 1);
  gEmailReport = 0;
}

TEST_F(HtmlReportTest, AFailedFileWriteIsReportedAndEndsTheWriter) {
  const int16_t s = BuildClass();
  const FileSpec spec{Path("page.html")};
  ASSERT_EQ(FSCreate(spec), noErr);
  FileRef ref = kNoFile;
  ASSERT_EQ(FSOpen(spec, kWritePermission, ref), noErr);
  FileFaults faults;
  faults.failWriteAt = 300;
  SetFileFaultsForTesting(&faults);
  WriteBuffer buffer{};
  EXPECT_FALSE(ExportStudentReportBody(spec, ref, buffer, s));
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ(ref, kNoFile);  // closed by the buffer
  ASSERT_EQ(alerts.size(), 1u);
}

}  // namespace
