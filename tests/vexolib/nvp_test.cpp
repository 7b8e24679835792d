// Named values and their sets: typed text, chunks held in temporary files and who deletes
// them, and the file work of synchronisation (compressed chunks out, chunks back into files).
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/session/NVP.h"
#include "vexolib/session/NVPSet.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"
#include "vexolib/platform/util.h"

namespace vexotest {
namespace {

using vexo::NVP;
using vexo::NVPSet;
using vexo::VexoException;
namespace platform = vexo::platform;

const unsigned char* bytesOf(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string pseudoRandomBytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

class NVPTest : public FrameworkTest {
 protected:
  std::vector<std::string> temporaryFiles() {
    return listFolder(platform::getTemporaryDirectory());
  }
};

// A caught VexoException's code and text, or -1 and "" when none was raised.
template <typename F>
std::pair<int, std::string> vexoFailure(F f) {
  try {
    f();
  } catch (const VexoException& e) {
    return {e.statusCode, e.what()};
  }
  return {-1, ""};
}

template <typename F>
std::string logicFailure(F f) {
  try {
    f();
  } catch (const std::logic_error& e) {
    return e.what();
  }
  return "";
}

TEST_F(NVPTest, StringValuesReadAsBooleansAndIntegersExactly) {
  const std::map<std::string, bool> booleans = {
      {"true", true}, {"1", true},  {"TRUE", false}, {"True", false}, {"yes", false},
      {" true", false}, {"true ", false}, {"false", false}, {"0", false}, {"", false}};
  for (const auto& c : booleans) {
    EXPECT_EQ(NVP("n", c.first).getBoolean(), c.second) << "'" << c.first << "'";
  }
  const std::map<std::string, int> integers = {
      {"-12", -12}, {"+7", 7}, {"0", 0}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
  for (const auto& c : integers) {
    EXPECT_EQ(NVP("n", c.first).getInteger(), c.second) << c.first;
  }
  for (const char* bad : {"12 ", " 12", "", "2147483648", "0x10", "1.5", "seven"}) {
    EXPECT_THROW(NVP("n", bad).getInteger(), boost::bad_lexical_cast) << "'" << bad << "'";
  }
}

TEST_F(NVPTest, GettersOfTheOtherKindNameTheValue) {
  const NVP text("resp.0.title", "Algebra");
  const NVP chunk("resp.0.blob", bytesOf("abc"), 0, 3);
  EXPECT_EQ(logicFailure([&] { chunk.getString(); }), "'resp.0.blob' not a string");
  EXPECT_EQ(logicFailure([&] { chunk.getBoolean(); }), "'resp.0.blob' not a string");
  EXPECT_EQ(logicFailure([&] { chunk.getInteger(); }), "'resp.0.blob' not a string");
  EXPECT_EQ(logicFailure([&] { text.getChunkSize(); }), "'resp.0.title' not a chunk");
  EXPECT_EQ(logicFailure([&] { text.getChunkFileTempPath(); }), "'resp.0.title' not a chunk");
  EXPECT_EQ(text.valueAsString(), "Algebra");
  EXPECT_EQ(chunk.valueAsString(), "(3 bytes)");
}

TEST_F(NVPTest, ChunkFromMemoryOwnsAFileThatGoesWithTheLastHolder) {
  const std::string data = std::string("head\0\r\nbody", 11);
  std::shared_ptr<NVP> chunk = std::make_shared<NVP>("c", bytesOf(data), 4, 7);
  const std::string path = chunk->getChunkFileTempPath();
  EXPECT_EQ(readFile(path), data.substr(4));
  EXPECT_EQ(chunk->getChunkSize(), 7u);
  std::shared_ptr<NVP> other = chunk;
  chunk.reset();
  EXPECT_TRUE(platform::fileExists(path));
  other.reset();
  EXPECT_FALSE(platform::fileExists(path));

  const NVP empty("e", nullptr, 0, 0);
  EXPECT_EQ(empty.getChunkSize(), 0u);
  EXPECT_EQ(empty.valueAsString(), "(0 bytes)");
}

TEST_F(NVPTest, ChunkFromAFileIsCopiedOrAdopted) {
  const std::string folder = makeFolder("source");
  const std::string source = folder + "/data.bin";
  const std::string data = pseudoRandomBytes(200000, 1);
  writeFile(source, data);
  {
    const NVP copy("c", source, 70000, 100000, false);
    EXPECT_NE(copy.getChunkFileTempPath(), source);
    EXPECT_EQ(readFile(copy.getChunkFileTempPath()), data.substr(70000, 100000));
    const NVP empty("e", source, 5, 0, false);
    EXPECT_EQ(empty.getChunkSize(), 0u);
  }
  EXPECT_EQ(readFile(source), data);
  EXPECT_TRUE(temporaryFiles().empty());
  {
    const NVP adopted("a", source, 0, 0, true);
    EXPECT_EQ(adopted.getChunkFileTempPath(), source);
  }
  EXPECT_FALSE(platform::fileExists(source));
}

TEST_F(NVPTest, AFailedCopyLeavesNoTemporaryFile) {
  const std::string folder = makeFolder("source");
  const std::string source = folder + "/short.bin";
  writeFile(source, "0123456789");
  const auto pastEnd = vexoFailure([&] { NVP("c", source, 4, 7, false); });
  EXPECT_EQ(pastEnd, std::make_pair(106, "Error reading '" + source + "'"));
  const std::string missing = folder + "/missing.bin";
  const auto absent = vexoFailure([&] { NVP("c", missing, 0, 1, false); });
  EXPECT_EQ(absent, std::make_pair(106, "Error seeking '" + missing + "'"));
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(NVPTest, AChunkFileThatCannotBeWrittenWholeIsReportedAndRemoved) {
  const std::string data = pseudoRandomBytes(100000, 2);
  NVPSet set;
  set.setString("x", "before");
  platform::detail::failWritesAfter(5000);
  const auto failure = vexoFailure([&] { set.setChunk("x", bytesOf(data), 0, data.size()); });
  platform::detail::failWritesAfter(-1);
  EXPECT_EQ(failure.first, 103);
  EXPECT_EQ(failure.second.rfind("Error writing '", 0), 0u) << failure.second;
  EXPECT_TRUE(temporaryFiles().empty());
  EXPECT_EQ(set.getString("x"), "before");
}

TEST_F(NVPTest, SetsReplaceValuesAndKeepNamesInByteOrder) {
  NVPSet set;
  set.setChunk("blob", bytesOf("xyz"), 0, 3);
  const std::string oldFile = set.getChunkFileTempPath("blob");
  set.setString("blob", "now text");
  EXPECT_FALSE(platform::fileExists(oldFile));
  EXPECT_EQ(set.getString("blob"), "now text");

  for (const char* name : {"req.chunk.2", "req.chunk.10", "req.count", "req.0.type",
                           "req.Zeta", "req.alpha", "req.10.type"}) {
    set.setString(name, "v");
  }
  const std::vector<std::string> expected = {"blob",        "req.0.type",  "req.10.type",
                                             "req.Zeta",    "req.alpha",   "req.chunk.10",
                                             "req.chunk.2", "req.count"};
  EXPECT_EQ(set.getNVPNames(), expected);
  EXPECT_EQ(set.getNVPNamesSorted(), expected);
}

// Values set in any order, and again under names already used, read back in name order with
// the later value winning; a chunk that loses its name loses its file.
TEST_F(NVPTest, ValuesSetInAnyOrderReadInNameOrderAndTheLaterWins) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> sets;  // value "!": a chunk
    std::vector<std::string> expected;                       // "name=value" or "name!"
  };
  const Case cases[] = {
      {"ascending", {{"a", "1"}, {"b", "2"}, {"c", "3"}}, {"a=1", "b=2", "c=3"}},
      {"descending", {{"c", "3"}, {"b", "2"}, {"a", "1"}}, {"a=1", "b=2", "c=3"}},
      {"again, in order", {{"a", "1"}, {"b", "2"}, {"a", "9"}}, {"a=9", "b=2"}},
      {"again, out of order", {{"b", "2"}, {"a", "1"}, {"a", "8"}, {"b", "7"}, {"a", "6"}},
       {"a=6", "b=7"}},
      {"chunk replaced out of order", {{"z", "1"}, {"m", "!"}, {"m", "text"}, {"a", ""}},
       {"a=", "m=text", "z=1"}},
      {"text replaced by a chunk", {{"z", "1"}, {"m", "x"}, {"m", "!"}}, {"m!", "z=1"}},
      {"empty and binary texts", {{"b", std::string("\0\r\n", 3)}, {"a", ""}},
       {"a=", std::string("b=\0\r\n", 5)}},
  };
  for (const Case& c : cases) {
    NVPSet set;
    for (const auto& value : c.sets) {
      if (value.second == "!") {
        set.setChunk(value.first, bytesOf("chunk"), 0, 5);
      } else {
        set.setString(value.first, value.second);
      }
    }
    std::vector<std::string> got;
    for (const std::string& name : set.getNVPNames()) {
      got.push_back(set.isString(name) ? name + "=" + set.getString(name) : name + "!");
    }
    EXPECT_EQ(got, c.expected) << c.what;
    EXPECT_EQ(set.size(), c.expected.size()) << c.what;
    EXPECT_EQ(temporaryFiles().size(),
              static_cast<std::size_t>(std::count_if(
                  c.expected.begin(), c.expected.end(),
                  [](const std::string& e) { return e.back() == '!'; })))
        << c.what << ": only chunks still named keep a file";
  }

  // Merging: the other set's values win, its chunks move without a copy.
  NVPSet into;
  into.setString("a", "1");
  into.setString("c", "3");
  NVPSet from;
  from.setChunk("b", bytesOf("xy"), 0, 2);
  from.setString("a", "2");
  const std::string path = from.getChunkFileTempPath("b");
  into.merge(std::move(from));
  EXPECT_EQ(into.getNVPNames(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(into.getString("a"), "2");
  EXPECT_EQ(into.getChunkFileTempPath("b"), path);
  EXPECT_EQ(from.size(), 0u);
  NVPSet empty;
  empty.merge(std::move(into));
  EXPECT_EQ(empty.getString("c"), "3");
  EXPECT_EQ(empty.getChunkFileTempPath("b"), path);
}

TEST_F(NVPTest, TypedSettersWriteTheWireTextAndGettersHonourDefaults) {
  NVPSet set;
  set.setBoolean("t", true);
  set.setBoolean("f", false);
  set.setInteger("neg", -42);
  set.setInteger("min", INT32_MIN);
  set.setU32Integer("crc", 4294967295u);
  set.setChunk("chunk", bytesOf("1"), 0, 1);
  EXPECT_EQ(set.getString("t"), "true");
  EXPECT_EQ(set.getString("f"), "false");
  EXPECT_EQ(set.getString("neg"), "-42");
  EXPECT_EQ(set.getString("min"), "-2147483648");
  EXPECT_EQ(set.getString("crc"), "4294967295");
  EXPECT_TRUE(set.getBoolean("t"));
  EXPECT_EQ(set.getInteger("neg"), -42);

  EXPECT_EQ(set.getString("absent", "d"), "d");
  EXPECT_EQ(set.getString("chunk", "d"), "d");
  EXPECT_TRUE(set.getBoolean("absent", true));
  EXPECT_EQ(logicFailure([&] { set.getBoolean("chunk", true); }), "'chunk' not a string");
  EXPECT_EQ(logicFailure([&] { set.getString("absent"); }), "'absent' not found");
  EXPECT_EQ(logicFailure([&] { set.isString("absent"); }), "'absent' not found");
  EXPECT_FALSE(set.lookupNVP("absent"));
  EXPECT_FALSE(set.isString("chunk"));
  EXPECT_EQ(set.getChunkSize("chunk"), 1u);
}

TEST_F(NVPTest, CopiesOfASetShareTheirChunks) {
  std::string path;
  {
    NVPSet copy;
    {
      NVPSet set;
      set.setChunk("c", bytesOf("shared"), 0, 6);
      path = set.getChunkFileTempPath("c");
      copy = set;
    }
    EXPECT_EQ(readFile(path), "shared");
  }
  EXPECT_FALSE(platform::fileExists(path));
}

// ---- Synchronisation's file work ---------------------------------------------------------

class NVPSetFilesTest : public NVPTest {
 protected:
  void SetUp() override {
    NVPTest::SetUp();
    source = makeFolder("local") + "/report.txt";
    data = pseudoRandomBytes(3000, 7);  // random bytes barely compress
    writeFile(source, data);
    compressedSize = compressedSizeOf(source);
    root = makeFolder("root");
  }

  static std::uint64_t compressedSizeOf(const std::string& path) {
    const auto compressed = vexo::util::readAndCompressFile(path, 0);
    platform::deleteTemporaryFile(compressed.first);
    return compressed.second;
  }

  std::string source;
  std::string data;
  std::uint64_t compressedSize = 0;
  std::string root;
};

TEST_F(NVPSetFilesTest, AFileTravelsAsCompressedChunksAndComesBackWhole) {
  struct Case {
    std::uint64_t chunkSize;
    int chunks;
  };
  for (const Case c : {Case{compressedSize, 1}, Case{compressedSize - 1, 2},
                       Case{compressedSize + 100, 1}, Case{100, 0}}) {
    const int expected = c.chunks ? c.chunks
                                  : static_cast<int>((compressedSize + 99) / 100);
    NVPSet set;
    set.setChunksFromFile(source, "e.", static_cast<int>(c.chunkSize));
    ASSERT_EQ(set.getInteger("e.chunk.count"), expected) << c.chunkSize;
    EXPECT_EQ(set.getChunkSize("e.chunk." + std::to_string(expected - 1)),
              compressedSize - (expected - 1) * c.chunkSize);
    // Chunks and count only, and nothing left over in the temporary folder.
    EXPECT_EQ(set.size(), static_cast<std::size_t>(expected) + 1);
    EXPECT_EQ(temporaryFiles().size(), static_cast<std::size_t>(expected));

    set.setString("e.relPath", "copy.txt");
    set.downloadFile(root, "e.");
    EXPECT_EQ(readFile(root + "/copy.txt"), data);
  }
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(NVPSetFilesTest, ADownloadReplacesNamesOfAnyLetterCaseAndAppliesTimeAndMode) {
  NVPSet set;
  set.setChunksFromFile(source, "op.", 1000);
  set.setString("op.relPath", "sub/Report.txt");
  set.setString("op.lastModified", "2009-03-05-1412-07");
  set.setString("op.isExecutable", " Yes ");
  makeFolder("root/sub");
  writeFile(root + "/sub/REPORT.TXT", "old");
  writeFile(root + "/sub/report.txt", "old too");
  writeFile(root + "/sub/other.txt", "stays");
  set.downloadFile(root, "op.");
  EXPECT_EQ(listFolder(root + "/sub"), (std::vector<std::string>{"Report.txt", "other.txt"}));
  EXPECT_EQ(readFile(root + "/sub/Report.txt"), data);
  EXPECT_EQ(platform::getFileLastModifiedString(root + "/sub/Report.txt"),
            "2009-03-05-1412-07");
  EXPECT_TRUE(platform::isFileMarkedExecutable(root + "/sub/Report.txt"));

  NVPSet plain;
  plain.setChunksFromFile(source, "", 1000);
  plain.setString("relPath", "plain.txt");
  plain.downloadFile(root, "");
  EXPECT_FALSE(platform::isFileMarkedExecutable(root + "/plain.txt"));
}

TEST_F(NVPSetFilesTest, ADownloadWithAMissingChunkTouchesNothing) {
  NVPSet set;
  set.setChunksFromFile(source, "op.", 1000);
  set.setString("op.relPath", "report.txt");
  set.setInteger("op.chunk.count", set.getInteger("op.chunk.count") + 1);
  writeFile(root + "/REPORT.txt", "keep me");
  EXPECT_EQ(vexoFailure([&] { set.downloadFile(root, "op."); }),
            std::make_pair(103, std::string("Chunk lookup failed")));
  EXPECT_EQ(readFile(root + "/REPORT.txt"), "keep me");
}

TEST_F(NVPSetFilesTest, ADownloadThatCannotBeInflatedKeepsTheOldFile) {
  NVPSet set;
  set.setChunksFromFile(source, "op.", 1000);
  set.setString("op.relPath", "report.txt");
  writeFile(set.getChunkFileTempPath("op.chunk.1"), "not a piece of the stream");
  writeFile(root + "/report.txt", "keep me");
  writeFile(root + "/REPORT.txt", "keep me too");
  EXPECT_EQ(vexoFailure([&] { set.downloadFile(root, "op."); }).first, 103);
  EXPECT_EQ(listFolder(root), (std::vector<std::string>{"REPORT.txt", "report.txt"}));
  EXPECT_EQ(readFile(root + "/report.txt"), "keep me");
}

TEST_F(NVPSetFilesTest, PathsThatLeaveTheSynchronisedFolderAreRefused) {
  const std::string outside = sandboxRoot() + "/outside.txt";
  writeFile(outside, "untouched");
  makeFolder("root/sub");
  for (const std::string relPath : {"../outside.txt", "sub/../../outside.txt", outside.c_str(),
                                    "", ".", "sub/.."}) {
    NVPSet set;
    set.setChunksFromFile(source, "", 1000);
    set.setString("relPath", relPath);
    set.setString("lastModified", "2001-01-01-0000-00");
    const auto download = vexoFailure([&] { set.downloadFile(root, ""); });
    EXPECT_EQ(download.first, 103) << relPath;
    EXPECT_EQ(download.second, "Refused relative path '" + relPath + "'");
    EXPECT_EQ(vexoFailure([&] { set.setFileTime(root, ""); }).first, 103) << relPath;
  }
  EXPECT_EQ(readFile(outside), "untouched");
  EXPECT_NE(platform::getFileLastModifiedString(outside), "2001-01-01-0000-00");
}

TEST_F(NVPSetFilesTest, AFileTimeIsSetOnlyWhenTheServerSentOne) {
  writeFile(root + "/a.txt", "a");
  const std::string before = platform::getFileLastModifiedString(root + "/a.txt");
  NVPSet set;
  set.setString("relPath", "a.txt");
  set.setFileTime(root, "");
  EXPECT_EQ(platform::getFileLastModifiedString(root + "/a.txt"), before);
  set.setString("lastModified", "2010-12-31-2359-58");
  set.setFileTime(root, "");
  EXPECT_EQ(platform::getFileLastModifiedString(root + "/a.txt"), "2010-12-31-2359-58");
}

TEST_F(NVPSetFilesTest, AFailedSliceLeavesNoCompressedCopyBehind) {
  NVPSet set;
  // The compressed copy is written first; the third slice's copy then runs out of room.
  platform::detail::failWritesAfter(static_cast<std::int64_t>(compressedSize) + 250);
  EXPECT_EQ(vexoFailure([&] { set.setChunksFromFile(source, "", 100); }).first, 103);
  platform::detail::failWritesAfter(-1);
  EXPECT_EQ(set.size(), 2u);  // the slices stored before the failure
  EXPECT_EQ(temporaryFiles().size(), 2u);
}

}  // namespace
}  // namespace vexotest
