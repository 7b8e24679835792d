// The write buffer in front of an export file and the e-mail buffer: when the buffer goes
// to the file, and where the e-mail text stops.
#include "tests/reports/reports_fixture.h"

namespace {

class ExportBufferTest : public ExchangeTest {
 protected:
  // Appends pieces of the given sizes to a fresh file; answers the file's length after
  // each piece.
  std::vector<size_t> Sizes(const std::vector<int>& pieces) {
    const FileSpec spec{Path("buffer.txt")};
    std::filesystem::remove(spec.path);
    EXPECT_TRUE(CreateFile(spec, 0, 0));
    FileRef ref = kNoFile;
    EXPECT_EQ(FSOpen(spec, kWritePermission, ref), noErr);
    WriteBuffer buffer{};
    std::vector<size_t> sizes;
    for (int n : pieces) {
      Str255 piece{};
      piece.setBytes(std::string(static_cast<size_t>(n), 'x').data(), static_cast<size_t>(n));
      EXPECT_TRUE(AppendToBuffer(spec, ref, buffer, piece));
      sizes.push_back(std::filesystem::file_size(spec.path));
    }
    EXPECT_TRUE(FlushBuffer(spec, ref, buffer));
    FSClose(ref);
    sizes.push_back(std::filesystem::file_size(spec.path));
    return sizes;
  }
};

TEST_F(ExportBufferTest, ThePieceThatWouldOverflowSendsTheBufferFirst) {
  // 255 bytes stay in the buffer; one more byte makes it go to the file first.
  EXPECT_EQ(Sizes({200, 55, 1}), (std::vector<size_t>{0, 0, 255, 256}));
  EXPECT_EQ(Sizes({255, 255, 10}), (std::vector<size_t>{0, 255, 510, 520}));
  EXPECT_EQ(Sizes({0, 0}), (std::vector<size_t>{0, 0, 0}));
}

// One row per byte class: what each kind of mark-up makes of it. The pages and the XML
// files share the table, so a control byte is a blank in every one of them.
TEST(MarkupEscapeTest, EachModeWritesEachByteClassByItsRule) {
  struct Row {
    const char* what;
    unsigned char byte;
    const char* text;
    const char* link;
    const char* attribute;
    const char* xml;
  };
  const Row rows[] = {
      {"letter", 'a', "a", "a", "a", "a"},
      {"ampersand", '&', "&amp;", "&", "&amp;", "&amp;"},
      {"apostrophe", '\'', "&#39;", "'", "&#39;", "&#39;"},
      {"quote", '"', "&quot;", "&quot;", "&quot;", "&quot;"},
      {"less than", '<', "&lt;", "&lt;", "&lt;", "&lt;"},
      {"slash", '/', "&frasl;", "/", "/", "/"},
      {"not equal sign", 0xAD, "&ne;", "&ne;", "&#8800;", "&#8800;"},
      {"summation sign", 0xB7, "&sum;", "&sum;", "&#8721;", "&#8721;"},
      {"less-or-equal sign", 0xB2, "&le;", "&le;", "&#8804;", "&#8804;"},
      {"e acute", 0x8E, "&#233;", "&#233;", "&#233;", "&#233;"},
      {"bullet", 0xA5, "&#149;", "&#149;", "&#8226;", "&#8226;"},
      {"tab", '\t', "\t", "\t", " ", "&#9;"},
      {"carriage return", '\r', "\r", "\r", " ", "&#13;"},
      {"line feed", '\n', "\n", "\n", " ", " "},
      {"start of heading", 0x01, " ", " ", " ", " "},
      {"escape", 0x1B, " ", " ", " ", " "},
      {"delete", 0x7F, " ", " ", " ", " "},
      {"zero byte", 0x00, " ", " ", " ", " "},
  };
  for (const Row& r : rows) {
    const std::pair<Markup, const char*> modes[] = {{Markup::kHtmlText, r.text},
                                                    {Markup::kHtmlLink, r.link},
                                                    {Markup::kHtmlAttribute, r.attribute},
                                                    {Markup::kXml, r.xml}};
    for (const auto& [mode, want] : modes) {
      std::string out;
      AppendEscapedByte(out, r.byte, mode);
      EXPECT_EQ(out, want) << r.what << " in mode " << static_cast<int>(mode);
    }
  }
}

TEST_F(ExportBufferTest, TheEmailBufferHoldsAtMost65535BytesAndAZero) {
  gEmailReport = 1;
  const FileSpec none;
  FileRef ref = kNoFile;
  WriteBuffer buffer{};
  Str255 piece{};
  piece.setBytes(std::string(255, 'm').data(), 255);
  for (int i = 0; i < 256; i++) ASSERT_TRUE(AppendToBuffer(none, ref, buffer, piece));
  EXPECT_EQ(gEmailBufferLength, 65280u);
  piece[0] = 255;
  EXPECT_TRUE(AppendToBuffer(none, ref, buffer, piece));  // 65535: the last that fits
  EXPECT_EQ(gEmailBufferLength, 65535u);
  EXPECT_EQ(gEmailBuffer[65535], 0);
  piece[0] = 1;
  EXPECT_FALSE(AppendToBuffer(none, ref, buffer, piece));
  EXPECT_EQ(gEmailBufferLength, 65535u);
  EXPECT_TRUE(buffer.empty());  // the file's buffer is not touched in e-mail mode
  EXPECT_TRUE(alerts.empty());  // the caller decides what to say
}

}  // namespace
