// Binary patches: Debian's bsdiff and the Python maker of the two-value kinds against the
// framework's applier, the tuple semantics on hand-built patches, and hostile headers and
// blocks, which must fail with their status, in little memory, leaving the new file alone.
#include "vexolib/patch/bspatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "patch_fixture.h"
#include "sandbox.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/seams/platform_detail.h"

// The largest single block asked of operator new since the last reset: the applier must
// never size a buffer from a header's claim.
namespace {

std::atomic<std::size_t> largestAllocation{0};

__attribute__((noinline)) void* allocateQuietly(std::size_t size) noexcept {
  std::size_t seen = largestAllocation.load();
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
  return std::malloc(size ? size : 1);
}

void* allocateCounted(std::size_t size) {
  if (void* block = allocateQuietly(size)) {
    return block;
  }
  throw std::bad_alloc();
}

__attribute__((noinline)) void release(void* block) { std::free(block); }

}  // namespace

void* operator new(std::size_t size) { return allocateCounted(size); }
void* operator new[](std::size_t size) { return allocateCounted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateQuietly(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocateQuietly(size);
}
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }

namespace vexotest {
namespace {

namespace fs = boost::filesystem;
namespace bspatch = vexo::bspatch;

struct Outcome {
  int code = 0;
  std::string message;
};

// Status and message of one application; 0 and empty on success.
Outcome apply(const std::string& patch, const std::string& oldFile, const std::string& newFile) {
  Outcome outcome;
  try {
    bspatch::applyPatch(patch, oldFile, newFile);
  } catch (const vexo::VexoException& e) {
    outcome.code = e.statusCode;
    outcome.message = e.what();
  } catch (const std::exception& e) {
    outcome.code = -1;
    outcome.message = e.what();
  }
  return outcome;
}

class BspatchTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    folder_ = makeFolder("bspatch");
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  std::string put(const std::string& name, const std::string& bytes) const {
    writeFile(path(name), bytes);
    return path(name);
  }

  std::string folder_;
};

TEST(ReadOffsetTest, SignAndMagnitudeLittleEndian) {
  struct Row {
    std::string bytes;
    std::int64_t value;
  } rows[] = {
      {std::string("\x00\x00\x00\x00\x00\x00\x00\x80", 8), 0},
      {std::string("\x05\x00\x00\x00\x00\x00\x00\x80", 8), -5},
      {std::string("\x01\x02\x00\x00\x00\x00\x00\x00", 8), 513},
      {std::string("\xff\xff\xff\xff\xff\xff\xff\x7f", 8), INT64_MAX},
      {std::string("\xff\xff\xff\xff\xff\xff\xff\xff", 8), -INT64_MAX},
      {std::string("\x00\x00\x00\x80\x00\x00\x00\x00", 8), INT64_C(0x80000000)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(bspatch::detail::readOffset(
                  reinterpret_cast<const unsigned char*>(row.bytes.data())),
              row.value);
  }
}

// Old and new versions the way updates come: text, binaries, growth, shrinking, empties.
struct VersionPair {
  const char* name;
  std::string oldBytes;
  std::string newBytes;
};

std::vector<VersionPair> versionPairs() {
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "Student " + std::to_string(i) + "\tquiz " + std::to_string(i % 97) + "\n";
  }
  const std::string binary = randomBytes(300 * 1024, 7);
  return {
      {"text", text, edited(text, 1, 60)},
      {"binary", binary, edited(binary, 2, 200)},
      {"growth", binary.substr(0, 40000), binary + randomBytes(50000, 3)},
      {"shrink", binary, edited(binary.substr(100000, 30000), 4, 10)},
      {"empty-old", "", text.substr(0, 5000)},
      {"empty-new", text.substr(0, 5000), ""},
      {"same", text, text},
  };
}

TEST_F(BspatchTest, DebianBsdiffPatchesApplyByteForByte) {
  std::size_t made = 0;
  for (const VersionPair& pair : versionPairs()) {
    if (pair.oldBytes.empty() || pair.newBytes.empty()) {
      continue;  // Debian's bsdiff cannot map an empty file
    }
    ++made;
    SCOPED_TRACE(pair.name);
    const std::string oldFile = put(std::string(pair.name) + ".old", pair.oldBytes);
    const std::string newFile = put(std::string(pair.name) + ".new", pair.newBytes);
    const std::string patch = path(std::string(pair.name) + ".bsdiff");
    debianBsdiff(oldFile, newFile, patch);
    ASSERT_EQ(readFile(patch).substr(0, 8), "BSDIFF40");

    const std::string result = path(std::string(pair.name) + ".result");
    EXPECT_EQ(apply(patch, oldFile, result).message, "");
    EXPECT_EQ(readFile(result), pair.newBytes);
    EXPECT_EQ(modeOf(result), 0600u);

    // In place: the old file is the new one.
    const std::string inPlace = put(std::string(pair.name) + ".inplace", pair.oldBytes);
    EXPECT_EQ(apply(patch, inPlace, inPlace).message, "");
    EXPECT_EQ(readFile(inPlace), pair.newBytes);
  }
  EXPECT_EQ(listFolder(folder_).size(), 5 * made) << "no temporary left";
}

TEST_F(BspatchTest, ASixteenMebibyteBsdiffPatchApplies) {
  const std::string oldBytes = randomBytes(16u << 20, 11);
  std::string newBytes = oldBytes;
  std::mt19937 random(12);
  for (int i = 0; i < 500; ++i) {
    newBytes.replace(random() % (newBytes.size() - 64), 40, randomBytes(40, random()));
  }
  newBytes.insert(5u << 20, randomBytes(1u << 20, 13));
  const std::string oldFile = put("big.old", oldBytes);
  const std::string newFile = put("big.new", newBytes);
  const std::string patch = path("big.bsdiff");
  debianBsdiff(oldFile, newFile, patch);

  largestAllocation = 0;
  EXPECT_EQ(apply(patch, oldFile, oldFile).message, "");
  EXPECT_LE(largestAllocation.load(), 2u << 20) << "memory does not grow with the file";
  EXPECT_TRUE(readFile(oldFile) == newBytes);
}

TEST_F(BspatchTest, PythonMadeTwoValuePatchesApply) {
  for (const char* kind : {"QSUFDIFF", "BSDIFF30"}) {
    for (const VersionPair& pair : versionPairs()) {
      for (int segment : {4096, 37}) {
        SCOPED_TRACE(std::string(kind) + " " + pair.name + " " + std::to_string(segment));
        const std::string oldFile = put("old", pair.oldBytes);
        const std::string newFile = put("new", pair.newBytes);
        pythonPatch(kind, oldFile, newFile, path("patch"), segment);
        ASSERT_EQ(readFile(path("patch")).substr(0, 8), kind);
        EXPECT_EQ(apply(path("patch"), oldFile, path("result")).message, "");
        EXPECT_TRUE(readFile(path("result")) == pair.newBytes);
      }
    }
  }
}

// The order of seeks and the old bytes that do not exist, on patches made by hand.
TEST_F(BspatchTest, TuplesMoveTheOldPositionAsTheirKindSays) {
  const std::string oldFile = put("old", "ABCDEFGHIJ");
  struct Row {
    const char* name;
    PatchSpec spec;
    std::string expected;
  };
  const std::string zeros(4, '\0');
  const Row rows[] = {
      // Two-value: the seek moves before the diff bytes, so the first tuple starts at 'C'.
      {"two-value seek first",
       {"QSUFDIFF", tuple(4, 2) + tuple(2, -6), zeros + std::string("\x01\x01", 2), "", 6},
       "CDEFBC"},
      {"two-value BSDIFF30",
       {"BSDIFF30", tuple(3, 7), std::string(3, '\0'), "", 3},
       "HIJ"},
      // Three-value: the seek moves after the extra bytes.
      {"three-value seek last",
       {"BSDIFF40", tuple(2, 3, 5) + tuple(2, 0, 0), zeros, "xyz", 7},
       "ABxyzHI"},
      // Old bytes before the start and past the end are missing: the diff bytes stand.
      {"before the start",
       {"QSUFDIFF", tuple(4, -2), "abAB", "", 4},
       std::string("ab") + "\x82\x84"},
      {"past the end",
       {"BSDIFF40", tuple(0, 0, 8) + tuple(4, 0, 0), "\x01\x01" "ab", "", 4},
       "JKab"},
      {"far past the end",
       {"BSDIFF40", tuple(0, 0, INT64_C(1) << 60) + tuple(5, 0, 0), "pqrst", "", 5},
       "pqrst"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    put("patch", buildPatch(row.spec));
    EXPECT_EQ(apply(path("patch"), oldFile, path("result")).message, "");
    EXPECT_EQ(readFile(path("result")), row.expected);
  }
}

TEST_F(BspatchTest, AnEmptyOldFileGivesTheDiffAndExtraBytes) {
  const std::string oldFile = put("old", "");
  put("patch", buildPatch({"BSDIFF40", tuple(3, 2, -100), "abc", "de", 5}));
  EXPECT_EQ(apply(path("patch"), oldFile, path("result")).message, "");
  EXPECT_EQ(readFile(path("result")), "abcde");

  // A new size of 0 makes an empty file in place of whatever was there.
  put("result", "previous");
  put("patch", buildPatch({"BSDIFF40", "", "", "", 0}));
  EXPECT_EQ(apply(path("patch"), oldFile, path("result")).message, "");
  EXPECT_EQ(readFile(path("result")), "");
}

// A hostile patch fails with its status and message, asks for no more memory than a small
// patch needs, and leaves an existing new file as it was.
TEST_F(BspatchTest, HostilePatchesFailWithoutTouchingTheNewFile) {
  const std::string good = buildPatch({"BSDIFF40", tuple(3, 1, 0), "\x01\x01\x01", "!", 4});
  const std::string controlBlock = bzip(tuple(3, 1, 0));
  const std::string header40 = "BSDIFF40" + offsetBytes(1) + offsetBytes(1) + offsetBytes(1);
  auto withHeader = [&](const std::string& magic, std::int64_t control, std::int64_t diff,
                        std::int64_t size, const std::string& body) {
    return magic + offsetBytes(control) + offsetBytes(diff) + offsetBytes(size) + body;
  };
  const std::string emptyBlock = bzip("");
  const std::string twoBlocks = bzip(tuple(1, 0)) + bzip("x");
  const std::int64_t twoControl = static_cast<std::int64_t>(bzip(tuple(1, 0)).size());
  const std::int64_t twoDiff = static_cast<std::int64_t>(bzip("x").size());
  const std::string idle(65 * 24, '\0');
  struct Row {
    const char* name;
    std::string patch;
    int code;
    std::string message;  // the patch path is appended where the text ends in ": "
  } rows[] = {
      {"31 bytes", std::string(31, 'B'), 126, "Patch file too small: "},
      {"unknown magic", withHeader("BSDIFF41", 0, 0, 0, emptyBlock), 126,
       "Invalid patch format: BSDIFF41"},
      {"negative new size", withHeader("BSDIFF40", 1, 1, -1, "xx"), 126,
       "Invalid length(s) in header field."},
      {"new size beyond the limit", withHeader("BSDIFF40", 1, 1, INT64_C(1) << 31, "xx"), 126,
       "Invalid length(s) in header field."},
      {"new size near 2^63", withHeader("BSDIFF40", 1, 1, INT64_MAX, "xx"), 126,
       "Invalid length(s) in header field."},
      {"negative control length", withHeader("BSDIFF40", -1, 1, 4, "xx"), 126,
       "Invalid length(s) in header field."},
      {"negative diff length", withHeader("BSDIFF40", 1, -1, 4, "xx"), 126,
       "Invalid length(s) in header field."},
      {"control block past the end", withHeader("BSDIFF40", 3, 0, 4, "xx"), 126,
       "Invalid length(s) in header field."},
      {"blocks whose sum wraps", withHeader("BSDIFF40", INT64_MAX, INT64_MAX, 4, "xx"), 126,
       "Invalid length(s) in header field."},
      {"two-value with one byte too many",
       withHeader("QSUFDIFF", twoControl, twoDiff, 1, twoBlocks + "!"), 126,
       "Invalid length(s) in header field."},
      {"two-value with one byte too few",
       withHeader("BSDIFF30", twoControl, twoDiff + 1, 1, twoBlocks), 126,
       "Invalid length(s) in header field."},
      {"an empty block is no bzip2 stream", withHeader("QSUFDIFF", 0, 0, 0, ""), 103,
       "Reached end of file before the end of the decompression stream"},
      {"control block cut short",
       withHeader("BSDIFF40", static_cast<std::int64_t>(controlBlock.size()) - 5, 0, 4,
                  controlBlock), 103,
       "Reached end of file before the end of the decompression stream"},
      {"control block not bzip2", withHeader("BSDIFF40", 4, 0, 4, "ABCD"), 103,
       "Error during decompression: -5"},
      {"2 GiB claimed, 3 bytes made",
       buildPatch({"BSDIFF40", tuple(3, 0, 0), "abc", "", bspatch::maxNewFileSize}), 126,
       "Reached end of control block early (a)"},
      {"tuple cut after one number", buildPatch({"BSDIFF40", offsetBytes(1), "a", "", 4}), 126,
       "Reached end of control block early (b)"},
      {"tuple cut after two numbers", buildPatch({"BSDIFF40", tuple(1, 1), "a", "b", 4}), 126,
       "Reached end of control block early (c)"},
      {"negative diff length in a tuple",
       buildPatch({"BSDIFF40", tuple(-1, 0, 0), "", "", 4}), 126,
       "Reached end of diff block early"},
      {"diff past the new size", buildPatch({"BSDIFF40", tuple(5, 0, 0), "abcde", "", 4}), 126,
       "Patch target location beyond end of new file size"},
      {"diff length near 2^63",
       buildPatch({"BSDIFF40", tuple(INT64_MAX, 0, 0), "abcd", "", 4}), 126,
       "Patch target location beyond end of new file size"},
      {"diff block shorter than its tuples",
       buildPatch({"BSDIFF40", tuple(4, 0, 0), "abc", "", 4}), 126,
       "Reached end of diff block early"},
      {"negative extra length", buildPatch({"BSDIFF40", tuple(0, -1, 0), "", "", 4}), 126,
       "Reached end of extra block early."},
      {"extra past the new size", buildPatch({"BSDIFF40", tuple(2, 3, 0), "ab", "cde", 4}),
       126, "Patch overwrites end of new file."},
      {"extra block shorter than its tuples",
       buildPatch({"BSDIFF40", tuple(0, 4, 0), "", "ab", 4}), 126,
       "Reached end of extra block early."},
      {"seek that wraps the old position",
       buildPatch({"BSDIFF40", tuple(1, 0, INT64_MAX) + tuple(1, 0, 0), "ab", "", 2}), 126,
       "Old file position out of range in control block"},
      {"two-value seek that wraps",
       buildPatch({"QSUFDIFF", tuple(1, -INT64_MAX) + tuple(1, -INT64_MAX), "ab", "", 2}), 126,
       "Old file position out of range in control block"},
      {"endless tuples that add nothing",
       buildPatch({"BSDIFF40", idle + tuple(1, 0, 0), "a", "", 1}), 126,
       "Control block adds no bytes to the new file"},
      {"one tuple too many",
       buildPatch({"BSDIFF40", tuple(3, 1, 0) + tuple(0, 0, 0), "\x01\x01\x01", "!", 4}), 126,
       "Control block not exhausted"},
      {"diff bytes left over",
       buildPatch({"BSDIFF40", tuple(3, 1, 0), "\x01\x01\x01?", "!", 4}), 126,
       "Diff block not exhausted"},
      {"extra bytes left over",
       buildPatch({"BSDIFF40", tuple(3, 1, 0), "\x01\x01\x01", "!?", 4}), 126,
       "Extra block not exhausted while processing: "},
  };
  const std::string oldFile = put("old", "abcdefgh");
  const std::string newFile = put("new", "the new file as it was");
  put("patch", good);
  ASSERT_EQ(apply(path("patch"), oldFile, path("check")).message, "");
  ASSERT_EQ(readFile(path("check")), "bcd!");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string patch = put("patch", row.patch);
    largestAllocation = 0;
    const Outcome outcome = apply(patch, oldFile, newFile);
    EXPECT_EQ(outcome.code, row.code);
    std::string expected = row.message;
    if (expected.size() >= 2 && expected.compare(expected.size() - 2, 2, ": ") == 0) {
      expected += patch;
      if (row.message.rfind("Extra", 0) == 0) {
        expected += "; " + oldFile + "; " + newFile;
      }
    }
    EXPECT_EQ(outcome.message, expected);
    EXPECT_LE(largestAllocation.load(), 256u * 1024);
    EXPECT_EQ(readFile(newFile), "the new file as it was");
    EXPECT_EQ(listFolder(folder_), (std::vector<std::string>{"check", "new", "old", "patch"}));
  }
}

TEST_F(BspatchTest, FilesThatCannotBeOpenedReadOrWritten) {
  const std::string patch = put("patch", buildPatch({"BSDIFF40", tuple(1, 0, 0), "a", "", 1}));
  const std::string oldFile = put("old", "x");
  const std::string newFile = put("new", "kept");

  Outcome outcome = apply(path("missing"), oldFile, newFile);
  EXPECT_EQ(outcome.code, -1);
  EXPECT_EQ(outcome.message.rfind("fileSize: file '" + path("missing") + "' not found", 0), 0u);
  outcome = apply(patch, path("missing"), newFile);
  EXPECT_EQ(outcome.code, -1);

  // A folder for the old file reads as nothing at all.
  fs::create_directory(path("folder"));
  put("patch2", buildPatch({"BSDIFF40", tuple(1, 0, 0), "a", "", 1}));
  outcome = apply(path("patch2"), path("folder"), newFile);
  EXPECT_EQ(outcome.code, 106);
  EXPECT_EQ(outcome.message, "Error reading old version ffile: " + path("folder"));

  outcome = apply(patch, oldFile, path("no-such-folder/new"));
  EXPECT_EQ(outcome.code, 105);
  EXPECT_EQ(outcome.message, "Error opening new version file: " + path("no-such-folder/new"));

  outcome = apply(patch, oldFile, path("folder"));
  EXPECT_EQ(outcome.code, 105);
  EXPECT_TRUE(fs::is_directory(path("folder")));

  // A disk that fills up while the new file is written.
  const std::string big = put("big", buildPatch({"BSDIFF40", tuple(0, 200000, 0), "",
                                                 randomBytes(200000, 5), 200000}));
  vexo::platform::detail::failWritesAfter(100000);
  outcome = apply(big, oldFile, newFile);
  vexo::platform::detail::failWritesAfter(-1);
  EXPECT_EQ(outcome.code, 127);
  EXPECT_EQ(outcome.message, "Error writing new version file: " + newFile);
  EXPECT_EQ(readFile(newFile), "kept");
  EXPECT_EQ(listFolder(folder_),
            (std::vector<std::string>{"big", "folder", "new", "old", "patch", "patch2"}));

  // A patch that ends early on the disk.
  vexo::platform::detail::failReadsAfter(40, true);
  outcome = apply(big, oldFile, newFile);
  vexo::platform::detail::failReadsAfter(-1, false);
  EXPECT_EQ(outcome.code, 106);
  EXPECT_EQ(outcome.message, "Error reading compressed data.");
  EXPECT_EQ(readFile(newFile), "kept");
}

}  // namespace
}  // namespace vexotest
