// Compression, decompression and CRC-32, checked against Python's zlib.
#include "vexolib/platform/util.h"

#include <cstdio>
#include <random>
#include <sstream>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"

namespace {

namespace platform = vexo::platform;
namespace detail = vexo::platform::detail;
using vexotest::listFolder;
using vexotest::readFile;
using vexotest::writeFile;
using Strings = std::vector<std::string>;

std::string runReference(const std::string& args) {
  const std::string command =
      "'" VEXO_PYTHON3 "' '" VEXO_TEST_SOURCE_DIR "/zlib_reference.py' " + args;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    throw std::runtime_error("cannot run " + command);
  }
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.append(buffer, n);
  }
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("failed: " + command);
  }
  return output;
}

// Text much like the framework uploads: report lines of names and scores.
std::string textData(std::size_t size, unsigned seed) {
  static const char* words[] = {"Adams", "Baker", "Chen", "Diaz",  "Evans", "quiz", "test",
                                "lab",   "essay", "Exc",  "87.5",  "92",    "100",  "A-",
                                "B+",    "term",  "1",    "total", "\t",    "\n"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    text += words[random() % 20];
    text += ' ';
  }
  text.resize(size);
  return text;
}

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

struct Sample {
  const char* name;
  std::string content;
};

std::vector<Sample> samples() {
  return {
      {"empty", ""},
      {"digits", "123456789"},
      {"one buffer", textData(32768, 1)},
      {"buffer and a byte", textData(32769, 2)},
      {"text over 1 MiB", textData(1536 * 1024 + 17, 3)},
      {"random over 1 MiB", randomBytes(1100 * 1000, 4)},
  };
}

class UtilTest : public vexotest::FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    dir = vexotest::makeFolder("util");
    tempFolder = platform::getTemporaryDirectory();
  }

  // Compresses `content` and returns the compressed bytes; checks the reported size and
  // that the copy lies in the temporary folder.
  std::string compress(const std::string& content) {
    const std::string input = dir + "/input";
    writeFile(input, content);
    const auto result = vexo::util::readAndCompressFile(input, content.size());
    EXPECT_EQ(result.first.substr(0, result.first.rfind('/')), tempFolder);
    EXPECT_EQ(result.second, platform::fileSize(result.first));
    const std::string compressed = readFile(result.first);
    EXPECT_TRUE(platform::deleteTemporaryFile(result.first));
    return compressed;
  }

  Strings writePieces(const std::string& data, const std::vector<std::size_t>& cuts) {
    Strings paths;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
      const std::size_t end = i < cuts.size() ? cuts[i] : data.size();
      paths.push_back(dir + "/piece" + std::to_string(i));
      writeFile(paths.back(), data.substr(start, end - start));
      start = end;
    }
    return paths;
  }

  std::string dir;
  std::string tempFolder;
};

TEST_F(UtilTest, LevelNineMatchesPythonAndInflatesBack) {
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    const std::string ours = compress(s.content);
    runReference("compress 9 '" + dir + "/input' '" + dir + "/reference'");
    EXPECT_TRUE(ours == readFile(dir + "/reference")) << "compressed bytes differ";
    writeFile(dir + "/compressed", ours);
    vexo::util::decompressFilesIntoFile(dir + "/output", {dir + "/compressed"});
    EXPECT_TRUE(readFile(dir + "/output") == s.content);
  }
}

TEST_F(UtilTest, LevelZeroWhenCompressionIsOff) {
  platform::setCompressionEnabled(false);
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    const std::string ours = compress(s.content);
    EXPECT_GT(ours.size(), s.content.size());
    writeFile(dir + "/compressed", ours);
    runReference("decompress '" + dir + "/compressed' '" + dir + "/reference'");
    EXPECT_TRUE(readFile(dir + "/reference") == s.content);
    vexo::util::decompressFilesIntoFile(dir + "/output", {dir + "/compressed"});
    EXPECT_TRUE(readFile(dir + "/output") == s.content);
  }
}

TEST_F(UtilTest, PiecesCutAnywhereInflateBack) {
  const std::string content = textData(90, 5);
  const std::string compressed = compress(content);
  const std::string output = dir + "/output";
  const std::size_t n = compressed.size();
  auto check = [&](const std::vector<std::size_t>& cuts) {
    vexo::util::decompressFilesIntoFile(output, writePieces(compressed, cuts));
    ASSERT_TRUE(readFile(output) == content) << "cut at " << cuts.front();
  };
  check({});
  for (std::size_t i = 0; i <= n; ++i) {
    check({i});
    for (std::size_t j = i; j <= n; ++j) {
      check({i, j});
    }
  }
}

TEST_F(UtilTest, OutputReplacesTheOldFile) {
  const std::string content = textData(5000, 6);
  writeFile(dir + "/compressed", compress(content));
  const std::string output = dir + "/output";
  writeFile(output, "old content that is longer than nothing");
  vexo::util::decompressFilesIntoFile(output, {dir + "/compressed"});
  EXPECT_TRUE(readFile(output) == content);
  EXPECT_EQ(vexotest::modeOf(output), 0600u);
  EXPECT_EQ(listFolder(dir), (Strings{"compressed", "input", "output"}));
}

// The cap counts inflated bytes: a stream of exactly the cap is whole, one byte more leaves
// nothing behind, however many pieces it comes in.
TEST_F(UtilTest, InflationPastTheCapFailsAndLeavesTheTargetAlone) {
  const std::string content(300000, 'z');
  const std::string compressed = compress(content);
  const std::string output = dir + "/output";
  const struct {
    std::uint64_t cap;
    std::vector<std::size_t> cuts;
    bool whole;
  } cases[] = {
      {content.size(), {}, true},
      {content.size() - 1, {}, false},
      {content.size() - 1, {10, compressed.size() / 2}, false},
      {1000, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cap);
    writeFile(output, "keep me");
    if (c.whole) {
      vexo::util::decompressFilesIntoFile(output, writePieces(compressed, c.cuts), c.cap);
      EXPECT_TRUE(readFile(output) == content);
      continue;
    }
    try {
      vexo::util::decompressFilesIntoFile(output, writePieces(compressed, c.cuts), c.cap);
      ADD_FAILURE() << "no error";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, 103);
      EXPECT_NE(std::string(e.what()).find("larger than the"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(output), "keep me");
    for (const std::string& name : listFolder(dir)) {
      EXPECT_EQ(name.rfind(".vexo-", 0), std::string::npos) << name;
    }
  }
}

// Bad streams fail with the decompressor's codes and leave the old target untouched and no
// partial file beside it.
TEST_F(UtilTest, BadStreamsFailAndLeaveTheTargetAlone) {
  const std::string compressed = compress(textData(70000, 7));
  std::string badHeader = compressed;
  badHeader[0] = static_cast<char>(badHeader[0] ^ 1);
  std::string badCheck = compressed;
  badCheck.back() = static_cast<char>(badCheck.back() ^ 0x55);
  const std::string truncated = compressed.substr(0, compressed.size() - 1);
  const std::string halved = compressed.substr(0, compressed.size() / 2);

  struct Case {
    const char* what;
    Strings pieces;
    int status;  // 0: std::logic_error
    std::string message;
  };
  const std::string block = "Error occurred during decompression (block): ";
  const std::string flush = "Error occurred during decompression (flush): ";
  const std::string output = dir + "/output";
  const std::string trailing = "Compressed data of '" + output + "' goes on after its end.";
  const std::vector<Case> cases = {
      {"corrupt header", {badHeader}, 103, block + "-3"},
      {"corrupt check value", {badCheck}, 103, block + "-3"},
      {"last byte missing", {truncated}, 103, flush + "-5"},
      {"cut in half", {halved}, 103, flush + "-5"},
      {"no pieces", {}, 103, flush + "-5"},
      {"one empty piece", {""}, 103, flush + "-5"},
      {"trailing byte", {compressed + "X"}, 103, trailing},
      {"trailing piece", {compressed, "X"}, 103, trailing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Strings paths;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      paths.push_back(dir + "/bad" + std::to_string(i));
      writeFile(paths.back(), c.pieces[i]);
    }
    writeFile(output, "keep me");
    try {
      vexo::util::decompressFilesIntoFile(output, paths);
      ADD_FAILURE() << "no error";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, c.status);
      EXPECT_EQ(e.what(), c.message);
    } catch (const std::logic_error& e) {
      EXPECT_EQ(c.status, 0);
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(readFile(output), "keep me");
    for (const std::string& name : listFolder(dir)) {
      EXPECT_TRUE(name == "input" || name == "output" || name.rfind("bad", 0) == 0) << name;
    }
    for (const std::string& path : paths) platform::deleteFile(path);
  }
}

TEST_F(UtilTest, DecompressionWriteAndInputFailures) {
  const std::string content = textData(200000, 8);
  writeFile(dir + "/compressed", compress(content));
  const std::string output = dir + "/output";
  writeFile(output, "keep me");
  const Strings expectedNames{"compressed", "input", "output"};

  detail::failWritesAfter(70000);
  try {
    vexo::util::decompressFilesIntoFile(output, {dir + "/compressed"});
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_EQ(e.what(), "Failure in writing output file '" + output + "'.");
  }
  detail::failWritesAfter(-1);
  EXPECT_EQ(readFile(output), "keep me");
  EXPECT_EQ(listFolder(dir), expectedNames);

  detail::failReadsAfter(1000, false);
  try {
    vexo::util::decompressFilesIntoFile(output, {dir + "/compressed"});
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_STREQ(e.what(), "I/O error.");
  }
  detail::failReadsAfter(-1, false);
  EXPECT_EQ(readFile(output), "keep me");
  EXPECT_EQ(listFolder(dir), expectedNames);

  EXPECT_THROW(vexo::util::decompressFilesIntoFile(output, {dir + "/missing"}),
               std::runtime_error);
  EXPECT_EQ(listFolder(dir), expectedNames);

  const std::string nowhere = dir + "/no-folder/output";
  try {
    vexo::util::decompressFilesIntoFile(nowhere, {dir + "/compressed"});
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 105);
    EXPECT_EQ(e.what(), "Unable to open output file '" + nowhere + "'.");
  }
}

TEST_F(UtilTest, CompressionFailuresLeaveNoTemporaryFile) {
  const Strings before = listFolder(tempFolder);
  const std::string input = dir + "/input";
  writeFile(input, textData(300000, 9));

  struct Case {
    const char* what;
    std::int64_t readLimit, writeLimit;
    std::string path;
    int status;
    std::string message;
  };
  const std::string compressing = "Error occurred while compressing data for transmission";
  const Case cases[] = {
      {"missing input", -1, -1, dir + "/missing", 105,
       "Unable to open input file '" + dir + "/missing'."},
      {"read error", 100000, -1, input, 106, "Failure in reading input file '" + input + "'."},
      {"disk full at once", -1, 0, input, 116, compressing + " (write)"},
      {"disk full later", -1, 50000, input, 116, compressing + " (write)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    detail::failReadsAfter(c.readLimit, true);
    detail::failWritesAfter(c.writeLimit);
    try {
      vexo::util::readAndCompressFile(c.path, 0);
      ADD_FAILURE() << "no error";
    } catch (const vexo::VexoException& e) {
      EXPECT_EQ(e.statusCode, c.status);
      EXPECT_EQ(e.what(), c.message);
    }
    detail::failReadsAfter(-1, false);
    detail::failWritesAfter(-1);
    EXPECT_EQ(listFolder(tempFolder), before);
  }
}

TEST_F(UtilTest, CrcKnownValues) {
  const std::pair<std::string, unsigned int> cases[] = {
      {"", 0u}, {"123456789", 0xCBF43926u}, {"a", 0xE8B7BE43u},
      {std::string(32, '\0'), 0x190A55ADu},
  };
  for (const auto& c : cases) {
    writeFile(dir + "/crc", c.first);
    EXPECT_EQ(vexo::util::calcFileCRC(dir + "/crc"), c.second) << c.first;
  }
}

TEST_F(UtilTest, CrcMatchesPython) {
  const std::size_t sizes[] = {1, 1023, 1024, 1025, 262143, 262144, 262145, 600001};
  std::string paths;
  std::vector<unsigned int> ours;
  for (std::size_t size : sizes) {
    const std::string path = dir + "/crc" + std::to_string(size);
    writeFile(path, randomBytes(size, static_cast<unsigned>(size)));
    ours.push_back(vexo::util::calcFileCRC(path));
    paths += " '" + path + "'";
  }
  std::istringstream reference(runReference("crc32" + paths));
  for (std::size_t i = 0; i < ours.size(); ++i) {
    unsigned int expected = 0;
    reference >> std::hex >> expected;
    EXPECT_EQ(ours[i], expected) << "size " << sizes[i];
  }
}

TEST_F(UtilTest, CrcFailures) {
  EXPECT_THROW(vexo::util::calcFileCRC(dir + "/missing"), std::runtime_error);
  writeFile(dir + "/crc", textData(5000, 10));
  detail::failReadsAfter(100, false);
  try {
    vexo::util::calcFileCRC(dir + "/crc");
    ADD_FAILURE() << "no error";
  } catch (const vexo::VexoException& e) {
    EXPECT_EQ(e.statusCode, 103);
    EXPECT_STREQ(e.what(), "I/O error.");
  }
}

}  // namespace
