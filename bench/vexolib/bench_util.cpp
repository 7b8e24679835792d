// CRC-32 and level-9 compression of a 256 MiB file: the framework's calcFileCRC and
// readAndCompressFile against zlib's own crc32() and compress2() and Python's
// zlib.compress, all in one run, with the ratios printed at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <boost/crc.hpp>
#include <boost/filesystem.hpp>
#include <zlib.h>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/util.h"

namespace {

constexpr std::size_t fileBytes = 256u << 20;

// A score table like the exports that get uploaded: ID, two names, twelve scores (some of
// them codes) and a letter grade per line, tab-separated.
std::vector<unsigned char> makeData() {
  static const char* syllables[] = {"an", "be", "ca", "do", "el", "fi", "ga", "ho", "is",
                                    "ju", "ka", "lo", "mi", "na", "or", "pe", "qu", "ri",
                                    "sa", "to", "ul", "vi", "wa", "xe", "yo", "za"};
  static const char* codes[] = {"Exc", "Abs", "Inc", "", ""};
  static const char* grades[] = {"A", "A-", "B+", "B", "C", "D", "F"};
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state](std::uint64_t range) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % range;
  };
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    std::string name;
    for (int k = 0; k < 3; ++k) name += syllables[next(26)];
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    names.push_back(name);
  }
  std::vector<unsigned char> data;
  data.reserve(fileBytes + 256);
  char field[32];
  auto append = [&data](const char* text) {
    for (; *text; ++text) data.push_back(static_cast<unsigned char>(*text));
  };
  while (data.size() < fileBytes) {
    std::snprintf(field, sizeof field, "%06u\t", static_cast<unsigned>(next(1000000)));
    append(field);
    append(names[next(400)].c_str());
    append("\t");
    append(names[next(400)].c_str());
    for (int k = 0; k < 12; ++k) {
      append("\t");
      if (next(10) == 0) {
        append(codes[next(5)]);
      } else {
        const unsigned tenths = static_cast<unsigned>(next(1001));
        std::snprintf(field, sizeof field, "%u.%u", tenths / 10, tenths % 10);
        append(field);
      }
    }
    append("\t");
    append(grades[next(7)]);
    append("\n");
  }
  data.resize(fileBytes);
  return data;
}

struct Workspace {
  std::string folder;
  std::string file;
  std::vector<unsigned char> data;

  Workspace() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vexobench-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    folder = pattern;
    // The framework's folders and trace files stay inside the workspace.
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
      setenv(name, folder.c_str(), 1);
    }
    setenv("XDG_CONFIG_DIRS", folder.c_str(), 1);
    vexo::platform::setTracingEnabled(false);
    data = makeData();
    file = folder + "/data.txt";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
        std::fclose(out) != 0) {
      std::perror("write data");
      std::exit(1);
    }
  }
  ~Workspace() {
    boost::system::error_code ignored;
    boost::filesystem::remove_all(folder, ignored);
  }
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

std::map<std::string, double> secondsPerRun;

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each run is timed by hand so that the figures of all benchmarks compare directly.
template <typename Body>
void timed(benchmark::State& state, const char* key, Body body) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const double seconds = since(start);
    state.SetIterationTime(seconds);
    total += seconds;
  }
  secondsPerRun[key] = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
}

void BM_CalcFileCRC(benchmark::State& state) {
  const Workspace& w = workspace();
  timed(state, "calcFileCRC", [&] {
    benchmark::DoNotOptimize(vexo::util::calcFileCRC(w.file));
  });
}

// zlib's crc32() over the same file, read in 1 MiB blocks: the best a caller of zlib gets.
void BM_ZlibCrc32File(benchmark::State& state) {
  const Workspace& w = workspace();
  std::vector<unsigned char> buffer(1u << 20);
  timed(state, "zlib crc32 file", [&] {
    const int fd = ::open(w.file.c_str(), O_RDONLY);
    uLong crc = crc32(0L, Z_NULL, 0);
    ssize_t n;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
      crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
    }
    ::close(fd);
    benchmark::DoNotOptimize(crc);
  });
}

void BM_ZlibCrc32Memory(benchmark::State& state) {
  const Workspace& w = workspace();
  timed(state, "zlib crc32 memory", [&] {
    benchmark::DoNotOptimize(crc32(0L, w.data.data(), static_cast<uInt>(w.data.size())));
  });
}

// The byte-wise CRC template of Boost, for the choice of zlib.
void BM_BoostCrc32Memory(benchmark::State& state) {
  const Workspace& w = workspace();
  timed(state, "boost crc_32_type memory", [&] {
    boost::crc_32_type crc;
    crc.process_bytes(w.data.data(), w.data.size());
    benchmark::DoNotOptimize(crc.checksum());
  });
}

void BM_ReadAndCompressFile(benchmark::State& state) {
  const Workspace& w = workspace();
  std::uint64_t size = 0;
  timed(state, "readAndCompressFile", [&] {
    const auto result = vexo::util::readAndCompressFile(w.file, fileBytes);
    size = result.second;
    vexo::platform::deleteTemporaryFile(result.first);
  });
  state.counters["compressed_MiB"] = static_cast<double>(size) / (1 << 20);
}

void BM_ZlibCompress2(benchmark::State& state) {
  const Workspace& w = workspace();
  std::vector<unsigned char> out(compressBound(static_cast<uLong>(w.data.size())));
  uLongf size = 0;
  timed(state, "zlib compress2", [&] {
    size = static_cast<uLongf>(out.size());
    if (compress2(out.data(), &size, w.data.data(), static_cast<uLong>(w.data.size()), 9) !=
        Z_OK) {
      state.SkipWithError("compress2 failed");
    }
  });
  state.counters["compressed_MiB"] = static_cast<double>(size) / (1 << 20);
}

// Python times its own zlib.compress(data, 9) on the file's bytes, already in memory.
void BM_PythonZlibCompress(benchmark::State& state) {
  const Workspace& w = workspace();
  const std::string command =
      "'" VEXO_BENCH_PYTHON3 "' -c 'import sys, time, zlib\n"
      "data = open(sys.argv[1], \"rb\").read()\n"
      "start = time.perf_counter()\n"
      "zlib.compress(data, 9)\n"
      "print(time.perf_counter() - start)' '" +
      w.file + "'";
  double total = 0;
  for (auto _ : state) {
    FILE* pipe = ::popen(command.c_str(), "r");
    double seconds = 0;
    if (!pipe || std::fscanf(pipe, "%lf", &seconds) != 1 || ::pclose(pipe) != 0) {
      state.SkipWithError("python3 failed");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  secondsPerRun["python zlib.compress"] = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
}

BENCHMARK(BM_CalcFileCRC)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32File)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32Memory)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoostCrc32Memory)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndCompressFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ZlibCompress2)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_PythonZlibCompress)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void printRatio(const char* ours, const char* reference) {
  const auto a = secondsPerRun.find(ours);
  const auto b = secondsPerRun.find(reference);
  if (a != secondsPerRun.end() && b != secondsPerRun.end() && b->second > 0) {
    std::printf("  %-24s / %-20s = %.2fx the time\n", ours, reference, a->second / b->second);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  workspace();  // the 256 MiB file is made before any timing
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nRatios on the same %zu MiB of data (below 1 is faster):\n", fileBytes >> 20);
  printRatio("calcFileCRC", "zlib crc32 file");
  printRatio("calcFileCRC", "zlib crc32 memory");
  printRatio("boost crc_32_type memory", "zlib crc32 memory");
  printRatio("readAndCompressFile", "zlib compress2");
  printRatio("readAndCompressFile", "python zlib.compress");
  return 0;
}
