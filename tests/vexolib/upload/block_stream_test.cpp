// The compressed copy of a large file, deflated block by block on several threads: one zlib
// stream that Python's zlib inflates whole and as the upload's chunks arrive, the same bytes
// whatever the number of threads, and a failure in any block ends the upload with its status.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "upload_fixture.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/block_deflate.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"
#include "vexolib/platform/util.h"
#include "vexolib/seams/deflate_detail.h"
#include "vexolib/seams/platform_detail.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/FileUploadCommand.h"

namespace vexotest {
namespace {

namespace status = vexo::status;
using vexo::util::deflateBlockSize;

constexpr std::size_t MiB = 1024 * 1024;
constexpr std::size_t chunkBytes = 8 * MiB;

// Report text: lines of names and scores, so that matches reach back across blocks.
std::string reportText(std::size_t size, unsigned seed) {
  static const char* words[] = {"Adams", "Baker", "Chen", "Diaz", "Evans", "quiz", "lab",
                                "essay", "Exc",   "87.5", "92",   "100",  "A-",    "B+",
                                "term",  "total", "\t",   "\n",   "Works hard; reads ahead"};
  std::uint64_t state = seed * 0x9e3779b97f4a7c15ULL + 1;
  std::string text;
  text.reserve(size + 32);
  while (text.size() < size) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    text += words[state % 19];
    text += ' ';
  }
  text.resize(size);
  return text;
}

// Python's zlib inflates the stream in one piece and, through one decompressobj, in the
// slices that the upload's chunks carry; it prints what it finds wrong, or "ok".
std::string pythonVerdict(const std::string& original, const std::string& compressed) {
  const std::string command =
      "'" VEXO_PYTHON3 "' -c 'import sys, zlib\n"
      "data = open(sys.argv[1], \"rb\").read()\n"
      "comp = open(sys.argv[2], \"rb\").read()\n"
      "step = int(sys.argv[3])\n"
      "if comp[:2] != b\"\\x78\\xda\": print(\"header\", comp[:2].hex()); sys.exit()\n"
      "if zlib.decompress(comp) != data: print(\"whole stream differs\"); sys.exit()\n"
      "d = zlib.decompressobj()\n"
      "out = [d.decompress(comp[i:i + step]) for i in range(0, len(comp), step)]\n"
      "out.append(d.flush())\n"
      "if not d.eof or d.unused_data: print(\"chunked stream does not end cleanly\")\n"
      "elif b\"\".join(out) != data: print(\"chunked stream differs\")\n"
      "else: print(\"ok\")' '" +
      original + "' '" + compressed + "' " + std::to_string(chunkBytes);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    return "cannot run python";
  }
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    out += buffer;
  }
  const int rc = ::pclose(pipe);
  if (!WIFEXITED(rc) || WEXITSTATUS(rc) != 0) {
    return "python failed: " + out;
  }
  if (!out.empty() && out.back() == '\n') {
    out.pop_back();
  }
  return out;
}

// Off again however the test ends.
struct FailingBlock {
  explicit FailingBlock(std::int64_t index) { vexo::util::detail::failDeflateOfBlock(index); }
  ~FailingBlock() { vexo::util::detail::failDeflateOfBlock(-1); }
  FailingBlock(const FailingBlock&) = delete;
  FailingBlock& operator=(const FailingBlock&) = delete;
};

class BlockStreamTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    dir_ = makeFolder("blocks");
  }

  // The upload's own compressed copy of the bytes, read back.
  std::string compressedCopy(const std::string& bytes, const std::string& name) {
    const std::string path = dir_ + "/" + name;
    writeFile(path, bytes);
    vexo::FileInfo record(path, "es_rpt_01");
    EXPECT_EQ(record.fileSize, bytes.size());
    const std::string copy = readFile(record.compressedTempPath);
    EXPECT_EQ(record.compressedSize, copy.size());
    return copy;
  }

  // The stream of the file made on `workers` threads (none: on the caller's thread).
  std::string deflated(const std::string& path, unsigned workers) {
    const std::string out = dir_ + "/deflated-" + std::to_string(workers);
    {
      vexo::fileio::FileHandle input(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      vexo::fileio::FileHandle output(
          ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
      vexo::util::deflateInBlocks(input.get(), path, output.get(), workers);
    }
    return readFile(out);
  }

  std::string dir_;
};

TEST_F(BlockStreamTest, LargeFilesInflateWithPythonWholeAndChunkByChunk) {
  const std::size_t from = vexo::util::blockDeflateFrom;
  struct Row {
    const char* what;
    std::string bytes;
  } rows[] = {
      {"text of whole blocks", reportText(from, 1)},
      {"a byte into the last block", reportText(from + 1, 2)},
      {"a block less a byte", reportText(from + deflateBlockSize - 1, 3)},
      {"zeros", std::string(from + 3 * deflateBlockSize + 100, '\0')},
      {"noise across three chunks", randomBytes(2 * chunkBytes + 5 * deflateBlockSize / 2, 4)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string copy = compressedCopy(r.bytes, "input");
    writeFile(dir_ + "/copy", copy);
    EXPECT_EQ(pythonVerdict(dir_ + "/input", dir_ + "/copy"), "ok");
  }
  EXPECT_TRUE(listFolder(vexo::platform::getTemporaryDirectory()).empty());
}

// Each block's bytes depend only on the block and the 32 KiB before it, so neither the
// number of threads nor their timing shows in the stream.
TEST_F(BlockStreamTest, TheStreamIsTheSameOnAnyNumberOfThreads) {
  const std::string path = dir_ + "/input";
  const std::string text = reportText(9 * deflateBlockSize + 4321, 5);
  writeFile(path, text);
  const std::string one = deflated(path, 1);
  writeFile(dir_ + "/one", one);
  EXPECT_EQ(pythonVerdict(path, dir_ + "/one"), "ok");
  // Text compresses far below its size: the blocks really share their history.
  EXPECT_LT(one.size(), text.size() / 2);
  for (const unsigned workers : {0u, 2u, 3u, 7u, vexo::util::maxDeflateWorkers}) {
    SCOPED_TRACE(workers);
    EXPECT_TRUE(deflated(path, workers) == one) << "streams differ";
  }
}

// Below the threshold, or with compression off, the copy is what zlib makes in one go.
TEST_F(BlockStreamTest, SmallFilesAndStoredCopiesKeepTheirFormerBytes) {
  const std::string text = reportText(vexo::util::blockDeflateFrom - 1, 6);
  const std::string small = compressedCopy(text, "small");
  writeFile(dir_ + "/small.z", small);
  EXPECT_EQ(pythonVerdict(dir_ + "/small", dir_ + "/small.z"), "ok");
  // One deflate block stream: no empty stored block joins two blocks.
  EXPECT_EQ(small.find(std::string("\x00\x00\xff\xff", 4)), std::string::npos);

  vexo::platform::setCompressionEnabled(false);
  const std::string large = reportText(vexo::util::blockDeflateFrom + 1000, 7);
  const std::string stored = compressedCopy(large, "large");
  vexo::platform::setCompressionEnabled(true);
  EXPECT_EQ(stored.substr(0, 2), "\x78\x01");
  EXPECT_GT(stored.size(), large.size());
  writeFile(dir_ + "/stored", stored);
  vexo::util::decompressFilesIntoFile(dir_ + "/back", {dir_ + "/stored"});
  EXPECT_TRUE(readFile(dir_ + "/back") == large);
}

// A process held to some cores (taskset, a container's quota of CPUs) starts no more
// threads than it may run at once.
TEST(DeflateWorkersTest, OneThreadForEachCoreTheProcessMayUse) {
  cpu_set_t saved;
  CPU_ZERO(&saved);
  ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
  std::vector<int> cores;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &saved)) cores.push_back(cpu);
  }
  const unsigned all = static_cast<unsigned>(cores.size());
  EXPECT_EQ(vexo::util::deflateWorkerCount(), std::min(all, vexo::util::maxDeflateWorkers));
  for (const std::size_t held : {std::size_t(1), std::size_t(2)}) {
    if (held > cores.size()) continue;
    SCOPED_TRACE(held);
    cpu_set_t some;
    CPU_ZERO(&some);
    for (std::size_t i = 0; i < held; ++i) CPU_SET(cores[i], &some);
    ASSERT_EQ(sched_setaffinity(0, sizeof some, &some), 0);
    const unsigned got = vexo::util::deflateWorkerCount();
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(got, held);
  }
}

class BlockUploadTest : public UploadServiceTest {
 protected:
  std::shared_ptr<vexo::FileUploadCommand> command(const std::vector<std::string>& files) {
    std::shared_ptr<vexo::FileUploadCommand> c = vexo::FileUploadCommand::make();
    for (const std::string& f : files) {
      c->files.push_back(f);
      c->formats.push_back("es_rpt_01");
    }
    c->srcappid = "marktally";
    c->srcappver = "65";
    c->openBrowser = false;
    c->deleteInputFiles = true;
    return c;
  }
};

// The service inflates every file slice by slice as the chunks arrive and compares it with
// its reference copy.
TEST_F(BlockUploadTest, TheServiceInflatesAndVerifiesLargeFilesChunkByChunk) {
  const std::vector<std::string> files = {
      makeFile("report.txt", reportText(12 * MiB + 11, 8)),
      makeFile("grades.bin", randomBytes(chunkBytes + 3 * deflateBlockSize + 7, 9)),
      makeFile("notes.txt", reportText(100, 10))};
  std::shared_ptr<vexo::FileUploadCommand> c = command(files);
  c->urlFile = files_ + "/page.txt";
  c->execute();
  const std::string page = readFile(files_ + "/page.txt");
  EXPECT_NE(page.find("&files=3&verified=3"), std::string::npos) << page;
  EXPECT_GE(uploadRequests().size(), 2u);
  for (const std::string& f : files) {
    EXPECT_FALSE(exists(f)) << f;
  }
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(BlockUploadTest, AFailureInAnyBlockEndsTheUploadWithItsStatusAndKeepsTheInputs) {
  const std::string compressing = "Error occurred while compressing data for transmission";
  const std::size_t size = vexo::util::blockDeflateFrom + 2 * deflateBlockSize + 99;
  const std::int64_t lastBlock = static_cast<std::int64_t>(size / deflateBlockSize);
  struct Row {
    const char* what;
    std::int64_t failingBlock, readLimit, writeLimit;
    int status;
    std::string text;  // with "%" for the input's path
  } rows[] = {
      {"first block", 0, -1, -1, status::compressionFailed, compressing},
      {"a middle block", 4, -1, -1, status::compressionFailed, compressing},
      {"the last block", lastBlock, -1, -1, status::compressionFailed, compressing},
      {"input fails midway", -1, 3 * MiB + 5, -1, status::fileReadFailed,
       "Failure in reading input file '%'."},
      {"disk full midway", -1, -1, 300 * 1024, status::compressionFailed, compressing + " (write)"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    service().clear();
    const std::string file = makeFile("report.txt", reportText(size, 11));
    std::shared_ptr<vexo::FileUploadCommand> c = command({file});
    FailingBlock failing(r.failingBlock);
    vexo::platform::detail::failReadsAfter(r.readLimit, true);
    vexo::platform::detail::failWritesAfter(r.writeLimit);
    int got = 0;
    std::string text;
    try {
      c->execute();
    } catch (const vexo::VexoException& e) {
      got = e.statusCode;
      text = e.what();
    }
    vexo::platform::detail::failReadsAfter(-1, false);
    vexo::platform::detail::failWritesAfter(-1);
    std::string expected = r.text;
    const std::string::size_type mark = expected.find('%');
    if (mark != std::string::npos) {
      expected.replace(mark, 1, file);
    }
    EXPECT_EQ(got, r.status);
    EXPECT_EQ(text, expected);
    EXPECT_TRUE(exists(file)) << "the input is kept for the next try";
    EXPECT_TRUE(uploadRequests().empty()) << "nothing is sent";
    EXPECT_TRUE(temporaryFiles().empty()) << "no partial copy is left";
  }
}

}  // namespace
}  // namespace vexotest
