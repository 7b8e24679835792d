#include "vexolib/platform/block_deflate.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <sched.h>

#include <zlib.h>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"

namespace vexo {
namespace util {

namespace {

// What deflate can reach back: the tail of one block primes the next.
constexpr std::size_t dictionarySize = 32768;
// Room beyond zlib's bound for the marker that closes each block on a byte boundary.
constexpr std::size_t flushMargin = 64;

const char compressFailure[] = "Error occurred while compressing data for transmission";

// One block on its way from the input to the output. The caller's thread fills it and,
// once its worker is done, writes it; in between only the worker touches it.
struct Block {
  std::uint64_t index = 0;
  std::vector<unsigned char> input;
  std::size_t inputLength = 0;
  std::vector<unsigned char> dictionary;
  std::size_t dictionaryLength = 0;
  bool last = false;
  std::vector<unsigned char> output;
  std::size_t outputLength = 0;
  uLong adler = 1;
  bool done = false;
  std::exception_ptr failure;
};

// A worker's own compressor, kept from block to block: raw deflate with the parameters of
// deflateInit at level 9, so that the blocks join under one zlib header.
class Compressor {
 public:
  Compressor() : setUp_(deflateInit2(&stream_, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY)) {}
  ~Compressor() {
    if (setUp_ == Z_OK) {
      deflateEnd(&stream_);
    }
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  void run(Block& block) {
    if (setUp_ != Z_OK) {
      throw VexoException(status::compressionSetUpFailed,
                          "Compressor returned " + std::to_string(setUp_) +
                              " during initialization.");
    }
    if (deflateReset(&stream_) != Z_OK ||
        (block.dictionaryLength > 0 &&
         deflateSetDictionary(&stream_, block.dictionary.data(),
                              static_cast<uInt>(block.dictionaryLength)) != Z_OK)) {
      throw VexoException(status::compressionFailed, compressFailure);
    }
    block.adler = adler32(1L, block.input.data(), static_cast<uInt>(block.inputLength));
    const std::size_t bound =
        deflateBound(&stream_, static_cast<uLong>(block.inputLength)) + flushMargin;
    if (block.output.size() < bound) {
      block.output.resize(bound);
    }
    stream_.next_in = block.input.data();
    stream_.avail_in = static_cast<uInt>(block.inputLength);
    // Every block but the last ends on a byte boundary without ending the stream.
    const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
    block.outputLength = 0;
    for (;;) {
      stream_.next_out = block.output.data() + block.outputLength;
      stream_.avail_out = static_cast<uInt>(block.output.size() - block.outputLength);
      const int rc = priv::deflateBlock(&stream_, flush, block.index);
      block.outputLength = block.output.size() - stream_.avail_out;
      if (rc == Z_STREAM_END || (rc == Z_OK && flush == Z_SYNC_FLUSH && stream_.avail_out > 0)) {
        return;
      }
      if (rc != Z_OK) {
        throw VexoException(status::compressionFailed, compressFailure);
      }
      block.output.resize(block.output.size() + 65536);
    }
  }

 private:
  z_stream stream_ = z_stream();
  int setUp_;
};

void compressInto(Compressor& compressor, Block& block) {
  try {
    compressor.run(block);
  } catch (...) {
    block.failure = std::current_exception();
  }
}

// The threads and the blocks queued for them. Without any thread (none could be started)
// the caller's thread deflates each block as it is handed over.
class Workers {
 public:
  explicit Workers(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      try {
        threads_.emplace_back(&Workers::loop, this);
      } catch (const std::system_error&) {
        break;
      }
    }
  }
  // A worker still on a block finishes it first: the blocks outlive the workers.
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_) {
      thread.join();
    }
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  void submit(Block& block) {
    if (threads_.empty()) {
      if (!own_) {
        own_.reset(new Compressor());
      }
      compressInto(*own_, block);
      block.done = true;
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(&block);
    }
    work_.notify_one();
  }

  void waitFor(Block& block) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&block] { return block.done; });
  }

 private:
  void loop() {
    Compressor compressor;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) {
        return;
      }
      Block* block = queue_.front();
      queue_.pop_front();
      lock.unlock();
      compressInto(compressor, *block);
      lock.lock();
      block->done = true;
      finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable finished_;
  std::deque<Block*> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
  std::unique_ptr<Compressor> own_;
};

// Fills the block from the input; true when the input ended.
bool fill(int input, const std::string& inputPath, Block& block) {
  if (block.input.empty()) {
    block.input.resize(deflateBlockSize);
  }
  block.inputLength = 0;
  while (block.inputLength < deflateBlockSize) {
    const int n = platform::readFileHandle(input, block.input.data() + block.inputLength,
                                           static_cast<int>(deflateBlockSize - block.inputLength));
    if (n < 0) {
      throw VexoException(status::fileReadFailed,
                          "Failure in reading input file '" + inputPath + "'.");
    }
    if (n == 0) {
      return true;
    }
    block.inputLength += static_cast<std::size_t>(n);
  }
  return false;
}

void write(int output, const unsigned char* data, std::size_t length) {
  if (!fileio::writeAll(output, data, length)) {
    throw VexoException(status::compressionFailed, std::string(compressFailure) + " (write)");
  }
}

}  // namespace

unsigned deflateWorkerCount() {
  unsigned cores = 0;
  cpu_set_t allowed = {};
  CPU_ZERO(&allowed);
  // A process held to some cores (taskset, a container) gains nothing from more threads.
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    cores = static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  const unsigned machine = std::thread::hardware_concurrency();
  if (cores == 0 || (machine > 0 && machine < cores)) {
    cores = machine;
  }
  return std::min(std::max(cores, 1u), maxDeflateWorkers);
}

void deflateInBlocks(int input, const std::string& inputPath, int output, unsigned workers) {
  // Two blocks a worker at most, so memory stays the same whatever the file's size.
  const std::size_t slotCount = 2 * static_cast<std::size_t>(std::max(workers, 1u)) + 1;
  std::vector<Block> slots(slotCount);
  Workers pool(workers);

  // The header deflateInit writes at level 9.
  const unsigned char header[] = {0x78, 0xDA};
  write(output, header, sizeof header);
  uLong adler = adler32(0L, Z_NULL, 0);
  std::uint64_t submitted = 0;
  std::uint64_t written = 0;
  const auto submit = [&](Block& block) {
    pool.submit(block);
    ++submitted;
  };
  // In order: the stream is the blocks one after another.
  const auto writeNext = [&] {
    Block& block = slots[written % slotCount];
    pool.waitFor(block);
    if (block.failure) {
      std::rethrow_exception(block.failure);
    }
    write(output, block.output.data(), block.outputLength);
    adler = adler32_combine(adler, block.adler, static_cast<z_off_t>(block.inputLength));
    ++written;
  };

  // A block is handed over once the next one has been read: only then is it known whether
  // it ends the stream.
  Block* held = nullptr;
  for (std::uint64_t index = 0;; ++index) {
    while (index >= written + slotCount) {
      writeNext();
    }
    Block& block = slots[index % slotCount];
    block.index = index;
    block.last = false;
    block.done = false;
    block.failure = nullptr;
    block.dictionaryLength = 0;
    const bool end = fill(input, inputPath, block);
    if (held) {
      if (block.dictionary.empty()) {
        block.dictionary.resize(dictionarySize);
      }
      block.dictionaryLength = std::min(dictionarySize, held->inputLength);
      std::memcpy(block.dictionary.data(),
                  held->input.data() + held->inputLength - block.dictionaryLength,
                  block.dictionaryLength);
      if (end && block.inputLength == 0) {
        held->last = true;
        submit(*held);
        break;
      }
      submit(*held);
    }
    if (end) {
      block.last = true;
      submit(block);
      break;
    }
    held = &block;
  }
  while (written < submitted) {
    writeNext();
  }
  const unsigned char trailer[] = {
      static_cast<unsigned char>(adler >> 24), static_cast<unsigned char>(adler >> 16),
      static_cast<unsigned char>(adler >> 8), static_cast<unsigned char>(adler)};
  write(output, trailer, sizeof trailer);
}

}  // namespace util
}  // namespace vexo
