// Binary patches applied by the framework (vexo_patch_apply, a program over
// vexo::bspatch::applyPatch) and by Debian's bspatch, side by side in one run: each run is a
// fresh process, timed from start to exit, with its peak resident memory from the kernel.
// Two patches made by Debian's bsdiff: one of about 16 MB (a 16 MiB file that gains 16 MiB
// of new bytes), and a small one that edits a 16 MiB file in place. Goal: within 1.5x of
// bspatch in time and in memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t fileBytes = 16u << 20;

std::string randomBytes(std::size_t size, std::mt19937_64& random) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint64_t word = random();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<char>(word >> (8 * k));
  }
  return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
      std::fclose(out) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  bool ok = false;
};

// The program with its arguments, in a process of its own.
Run runProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
    return run;
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakKiB = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

bool sameFiles(const std::string& a, const std::string& b) {
  return std::system(("cmp -s '" + a + "' '" + b + "'").c_str()) == 0;
}

struct Case {
  std::string oldFile, newFile, patch;
  std::uintmax_t patchBytes = 0;
};

struct Workspace {
  std::string folder;
  Case big;    // a patch of about 16 MB
  Case edits;  // a small patch of a 16 MiB file

  Workspace() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vexobench-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    folder = pattern;
    std::mt19937_64 random(26);
    const std::string old = randomBytes(fileBytes, random);
    std::string edited = old;
    for (int i = 0; i < 2000; ++i) {
      edited.replace(random() % (edited.size() - 64), 48, randomBytes(48, random));
    }
    std::string grown = edited;
    grown.insert(fileBytes / 3, randomBytes(fileBytes, random));
    writeFile(folder + "/old", old);
    big = make("big", grown);
    edits = make("edits", edited);
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  Case make(const std::string& name, const std::string& bytes) const {
    Case c{folder + "/old", folder + "/" + name + ".new", folder + "/" + name + ".patch", 0};
    writeFile(c.newFile, bytes);
    const std::string command =
        "'" VEXO_BENCH_BSDIFF "' '" + c.oldFile + "' '" + c.newFile + "' '" + c.patch + "'";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "bsdiff failed\n");
      std::exit(1);
    }
    c.patchBytes = fs::file_size(c.patch);
    return c;
  }
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

std::map<std::string, Run> bestRuns;

void applyWith(benchmark::State& state, const char* tool, const Case& c, const char* key) {
  const std::string out = workspace().folder + "/result";
  Run best;
  for (auto _ : state) {
    fs::remove(out);
    const Run run = std::string(tool) == "bspatch"
                        ? runProgram({VEXO_BENCH_BSPATCH, c.oldFile, out, c.patch})
                        : runProgram({VEXO_PATCH_APPLY, c.patch, c.oldFile, out});
    if (!run.ok || !sameFiles(out, c.newFile)) {
      state.SkipWithError("the patch did not rebuild the new file");
      return;
    }
    state.SetIterationTime(run.seconds);
    if (!best.ok || run.seconds < best.seconds) best = run;
  }
  bestRuns[key] = best;
  state.counters["peak_MiB"] = static_cast<double>(best.peakKiB) / 1024;
  state.counters["patch_MiB"] = static_cast<double>(c.patchBytes) / (1 << 20);
}

void BM_Framework16MBPatch(benchmark::State& state) {
  applyWith(state, "vexo", workspace().big, "framework, 16 MB patch");
}
void BM_Bspatch16MBPatch(benchmark::State& state) {
  applyWith(state, "bspatch", workspace().big, "bspatch, 16 MB patch");
}
void BM_FrameworkEditsOf16MiB(benchmark::State& state) {
  applyWith(state, "vexo", workspace().edits, "framework, 16 MiB edited");
}
void BM_BspatchEditsOf16MiB(benchmark::State& state) {
  applyWith(state, "bspatch", workspace().edits, "bspatch, 16 MiB edited");
}

BENCHMARK(BM_Framework16MBPatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bspatch16MBPatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameworkEditsOf16MiB)
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BspatchEditsOf16MiB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void printRatio(const char* ours, const char* reference) {
  const auto a = bestRuns.find(ours);
  const auto b = bestRuns.find(reference);
  if (a == bestRuns.end() || b == bestRuns.end() || b->second.seconds <= 0) return;
  std::printf("  %-26s / %-24s = %.2fx the time, %.2fx the peak memory (%ld / %ld KiB)\n",
              ours, reference, a->second.seconds / b->second.seconds,
              static_cast<double>(a->second.peakKiB) / static_cast<double>(b->second.peakKiB),
              a->second.peakKiB, b->second.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  workspace();  // the files and patches are made before any timing
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nBest runs against Debian's bspatch (goal: at most 1.5x on both):\n");
  printRatio("framework, 16 MB patch", "bspatch, 16 MB patch");
  printRatio("framework, 16 MiB edited", "bspatch, 16 MiB edited");
  return 0;
}
