// A 100 MiB upload over loopback to the fake service's checking upload page, of two files:
// noise that deflate cannot shrink (thirteen chunks) and report text (a few chunks). For
// each: the time split into compression (the compressed copy, made on every core) and
// transfer (each chunk answered and checked), how far the process's peak memory rises (the
// files are compressed and posted as streams, so the rise stays far below the upload's
// size), and the temporary files left afterwards (none). Python's zlib at level 9 compresses
// the same files in the same run; the ratios of the whole upload's time to it are printed at
// the end. Goal: at most 0.3x on an 8-core machine, peak rise at most 64 MiB.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include "peak_memory.h"
#include "service_fixture.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/FileSendingCommand.h"
#include "vexolib/upload/FileUploadCommand.h"
#include "vexolib/session/Session.h"
#include "vexolib/upload/Uploader.h"
#include "vexolib/platform/block_deflate.h"
#include "vexolib/platform/platform.h"

namespace {

constexpr long uploadBytes = 100L << 20;

enum Kind { noise, report };
const char* const kindNames[] = {"noise", "report text"};

// Writes the file in 1 MiB blocks, so that making it does not raise the peak.
template <typename Fill>
void writeBlocks(const std::string& path, Fill fill) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  for (long written = 0; written < uploadBytes; written += static_cast<long>(block.size())) {
    fill(block);
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

// Score lines as the program's report uploads carry them: an ID, two names, twelve scores
// (some of them codes) and a letter grade, tab-separated.
void fillReport(std::vector<char>& block, std::uint64_t& state, std::string& carry) {
  static const char* syllables[] = {"an", "be", "ca", "do", "el", "fi", "ga", "ho", "is",
                                    "ju", "ka", "lo", "mi", "na", "or", "pe", "qu", "ri",
                                    "sa", "to", "ul", "vi", "wa", "xe", "yo", "za"};
  static const char* codes[] = {"Exc", "Abs", "Inc", "", ""};
  static const char* grades[] = {"A", "A-", "B+", "B", "C", "D", "F"};
  const auto next = [&state](std::uint64_t range) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % range;
  };
  std::size_t at = 0;
  while (at < block.size()) {
    if (carry.empty()) {
      std::ostringstream line;
      line << 100000 + next(900000) << '\t';
      for (int n = 0; n < 2; ++n) {
        for (int k = 0; k < 3; ++k) line << syllables[next(26)];
        line << '\t';
      }
      for (int k = 0; k < 12; ++k) {
        if (next(10) == 0) {
          line << codes[next(5)];
        } else {
          const unsigned tenths = static_cast<unsigned>(next(1001));
          line << tenths / 10 << '.' << tenths % 10;
        }
        line << '\t';
      }
      line << grades[next(7)] << '\n';
      carry = line.str();
    }
    const std::size_t n = std::min(carry.size(), block.size() - at);
    std::copy(carry.begin(), carry.begin() + static_cast<long>(n), block.begin() + static_cast<long>(at));
    carry.erase(0, n);
    at += n;
  }
}

struct Setup {
  std::string root;
  std::string files[2];
  std::unique_ptr<vexotest::LorvexService> service;

  Setup() {
    char pattern[] = "/tmp/vexobench-XXXXXX";
    if (!mkdtemp(pattern)) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root = pattern;
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    unsetenv("http_proxy");
    vexo::platform::setTracingEnabled(false);
    vexo::platform::disableLogTable();
    files[noise] = root + "/report.bin";
    unsigned v = 1;
    writeBlocks(files[noise], [&v](std::vector<char>& block) {
      for (char& c : block) {
        v = v * 1103515245u + 12345u;
        c = static_cast<char>(v >> 16);
      }
    });
    files[report] = root + "/report.txt";
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::string carry;
    writeBlocks(files[report], [&state, &carry](std::vector<char>& block) {
      fillReport(block, state, carry);
    });
    service.reset(new vexotest::LorvexService(VEXO_UPLOAD_SERVICE_SCRIPT));
    service->keepBodies(false);
    vexo::platform::overrideStringConfigOption("urlprefix", service->url(""));
    vexo::platform::overrideStringConfigOption("uploadurl",
                                               service->url("/AdminDataUpload.page"));
  }

  ~Setup() {
    service.reset();
    std::string command = "rm -rf '" + root + "'";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "could not remove %s\n", root.c_str());
    }
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

int temporaryFilesLeft() {
  int n = 0;
  if (DIR* dir = opendir(vexo::platform::getTemporaryDirectory().c_str())) {
    while (dirent* entry = readdir(dir)) {
      n += entry->d_name[0] != '.';
    }
    closedir(dir);
  }
  return n;
}

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// User and system time of all the process's threads.
double processCpuSeconds() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Seconds per whole upload and per Python compression, by kind of file.
std::map<int, double> uploadSeconds;
std::map<int, double> pythonSeconds;
std::map<int, double> peakRiseMiB;

void BM_Upload100MiBSplit(benchmark::State& state) {
  Setup& s = setup();
  const int kind = static_cast<int>(state.range(0));
  state.SetLabel(kindNames[kind]);
  double compressing = 0;
  double compressingCpu = 0;
  double transferring = 0;
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    s.service->clear();
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = processCpuSeconds();
    std::vector<std::shared_ptr<vexo::FileInfo>> records =
        vexo::filesending::loadFiles({s.files[kind]}, {"es_rpt_01"});
    const auto t1 = std::chrono::steady_clock::now();
    compressingCpu += processCpuSeconds() - cpu0;
    vexo::Session session;
    session.connect(vexo::platform::getUploadUrl());
    const vexo::UploadResult result = vexo::uploadFilesOverSession(
        session, records, {}, "bench", "bench", "1", "", "", "");
    const auto t2 = std::chrono::steady_clock::now();
    if (!result.isValue()) {
      state.SkipWithError(result.error.what());
      break;
    }
    compressing += seconds(t1 - t0);
    transferring += seconds(t2 - t1);
  }
  const double n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * uploadBytes);
  state.counters["compress_s"] = compressing / n;
  // The cores the compression kept busy on average: what the load of the machine left it.
  state.counters["compress_cores"] = compressing > 0 ? compressingCpu / compressing : 0;
  state.counters["transfer_s"] = transferring / n;
  state.counters["peak_rise_MiB"] = static_cast<double>(statusKiB("VmHWM:") - before) / 1024;
  state.counters["temp_files_left"] = temporaryFilesLeft();
  uploadSeconds[kind] = (compressing + transferring) / n;
  peakRiseMiB[kind] = state.counters["peak_rise_MiB"];
}
BENCHMARK(BM_Upload100MiBSplit)
    ->Arg(noise)
    ->Arg(report)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Python's zlib.compress(data, 9) of the same file, the bytes already in memory: three runs
// in one interpreter, which reports their mean.
void BM_PythonZlibLevel9(benchmark::State& state) {
  Setup& s = setup();
  const int kind = static_cast<int>(state.range(0));
  state.SetLabel(kindNames[kind]);
  const std::string command =
      "'" VEXO_BENCH_PYTHON3 "' -c 'import sys, time, zlib\n"
      "data = open(sys.argv[1], \"rb\").read()\n"
      "start = time.perf_counter()\n"
      "for _ in range(3): zlib.compress(data, 9)\n"
      "print((time.perf_counter() - start) / 3)' '" +
      s.files[kind] + "'";
  for (auto _ : state) {
    FILE* pipe = ::popen(command.c_str(), "r");
    double mean = 0;
    if (!pipe || std::fscanf(pipe, "%lf", &mean) != 1 || ::pclose(pipe) != 0) {
      state.SkipWithError("python3 failed");
      return;
    }
    state.SetIterationTime(mean);
    pythonSeconds[kind] = mean;
  }
  state.SetBytesProcessed(state.iterations() * uploadBytes);
}
BENCHMARK(BM_PythonZlibLevel9)
    ->Arg(noise)
    ->Arg(report)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// The whole command as the interface runs it, the browser left out.
void BM_Upload100MiBCommand(benchmark::State& state) {
  Setup& s = setup();
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    s.service->clear();
    std::shared_ptr<vexo::FileUploadCommand> command = vexo::FileUploadCommand::make();
    command->files.push_back(s.files[noise]);
    command->formats.push_back("es_rpt_01");
    command->openBrowser = false;
    try {
      command->execute();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * uploadBytes);
  state.counters["peak_rise_MiB"] = static_cast<double>(statusKiB("VmHWM:") - before) / 1024;
  state.counters["temp_files_left"] = temporaryFilesLeft();
}
BENCHMARK(BM_Upload100MiBCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  setup();  // the files are made before any timing
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nWhole upload against Python's zlib level 9 of the same %ld MiB file "
              "(%u cores for the compressor):\n",
              uploadBytes >> 20, vexo::util::deflateWorkerCount());
  for (const int kind : {noise, report}) {
    const auto upload = uploadSeconds.find(kind);
    const auto python = pythonSeconds.find(kind);
    if (upload != uploadSeconds.end() && python != pythonSeconds.end() && python->second > 0) {
      std::printf("  %-12s upload %.2f s / python %.2f s = %.2fx the time, peak rise %.1f MiB\n",
                  kindNames[kind], upload->second, python->second,
                  upload->second / python->second, peakRiseMiB[kind]);
    }
  }
  return 0;
}
