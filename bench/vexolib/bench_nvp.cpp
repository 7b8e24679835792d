// Reading a large name/value answer: 100,000 records, among them binary values of 5 MB or
// 50 MB in all. Reports the throughput over the whole body and the reader's own peak heap
// beyond the body: binary values go from the body straight into their files, so that peak
// does not grow with the binary values. The same answer read from a file, as sessions read
// theirs, for comparison.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "vexolib/session/NVPResponseProcessor.h"
#include "vexolib/platform/platform.h"

namespace {

std::atomic<long long> heapNow{0};
std::atomic<long long> heapPeak{0};

void* counted(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) {
    throw std::bad_alloc();
  }
  const long long now = heapNow += static_cast<long long>(malloc_usable_size(p));
  long long peak = heapPeak.load();
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void uncounted(void* p) {
  if (p) {
    heapNow -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
  }
}

constexpr int records = 100000;
constexpr int binaryRecords = 50;

// String records of a query answer, with binaryRecords binary values spread among them.
std::vector<unsigned char> makeBody(std::size_t binaryBytesEach) {
  std::string body;
  const int every = records / binaryRecords;
  std::string blob(binaryBytesEach, '\0');
  for (std::size_t i = 0; i < blob.size(); ++i) {
    blob[i] = static_cast<char>(i * 131 >> 5);
  }
  for (int j = 0; j < records; ++j) {
    if (j % every == every - 1) {
      body += "resp.0.file." + std::to_string(j) + ".chunk.0!" + std::to_string(blob.size()) +
              "\r\n" + blob + "\r\n";
    } else {
      body += "resp.0.user." + std::to_string(j) + ".screenName=teacher" + std::to_string(j) +
              "\r\n";
    }
  }
  return std::vector<unsigned char>(body.begin(), body.end());
}

struct Folders {
  Folders() {
    char pattern[] = "/tmp/vexobench-nvp-XXXXXX";
    if (!mkdtemp(pattern)) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root = pattern;
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    vexo::platform::setTracingEnabled(false);
    vexo::platform::disableLogTable();
  }
  ~Folders() {
    rmdir((root + "/vexo").c_str());
    rmdir(root.c_str());
  }
  std::string root;
};

void BM_ParseAnswer(benchmark::State& state) {
  static Folders folders;
  const std::vector<unsigned char> body = makeBody(static_cast<std::size_t>(state.range(0)));
  long long peakBeyondBody = 0;
  for (auto _ : state) {
    const long long base = heapNow.load();
    heapPeak = base;
    {
      vexo::NVPResponseProcessor processor;
      processor(200, body);
      benchmark::DoNotOptimize(processor.responseNVPs.size());
      if (processor.responseNVPs.size() != static_cast<std::size_t>(records)) {
        state.SkipWithError("wrong record count");
      }
      state.PauseTiming();  // the chunk files are deleted with the processor, untimed
    }
    state.ResumeTiming();
    peakBeyondBody = std::max(peakBeyondBody, heapPeak.load() - base);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
  state.counters["body_MB"] = static_cast<double>(body.size()) / 1e6;
  state.counters["binary_MB"] = static_cast<double>(state.range(0)) * binaryRecords / 1e6;
  state.counters["reader_peak_heap_MB"] = static_cast<double>(peakBeyondBody) / 1e6;
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["process_max_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
}

BENCHMARK(BM_ParseAnswer)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same answer as a session reads it: from the temporary file it was written to as it
// arrived, a window at a time, so the reader's peak stays near one window.
void BM_ParseAnswerFromFile(benchmark::State& state) {
  static Folders folders;
  const std::vector<unsigned char> body = makeBody(static_cast<std::size_t>(state.range(0)));
  const std::string path = folders.root + "/answer.bin";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out || std::fwrite(body.data(), 1, body.size(), out) != body.size() ||
      std::fclose(out) != 0) {
    state.SkipWithError("cannot write the answer file");
    return;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ::unlink(path.c_str());
  long long peakBeyondBody = 0;
  for (auto _ : state) {
    const long long base = heapNow.load();
    heapPeak = base;
    {
      vexo::NVPResponseProcessor processor;
      processor.processFile(200, fd, body.size());
      if (processor.responseNVPs.size() != static_cast<std::size_t>(records)) {
        state.SkipWithError("wrong record count");
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
    peakBeyondBody = std::max(peakBeyondBody, heapPeak.load() - base);
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
  state.counters["body_MB"] = static_cast<double>(body.size()) / 1e6;
  state.counters["reader_peak_heap_MB"] = static_cast<double>(peakBeyondBody) / 1e6;
}

BENCHMARK(BM_ParseAnswerFromFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

void* operator new(std::size_t n) { return counted(n); }
void* operator new[](std::size_t n) { return counted(n); }
void operator delete(void* p) noexcept { uncounted(p); }
void operator delete[](void* p) noexcept { uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { uncounted(p); }

BENCHMARK_MAIN();
