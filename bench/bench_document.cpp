// Saving and opening the largest class (250 students, six terms, 1,464,790 bytes). Goal on
// the development machine: each under 20 ms when the save need not wait for the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "marktally/model/document.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"

namespace {

// Every text full of letters and accents, so that the character tables do their most.
void FillLargestClass() {
  SetClockForTesting(3870000000u);
  NewClass();
  SetDefaultPageSetup();
  gClass.lastTerm = 5;
  uint32_t seed = 99;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto fill = [&](auto& text) {
    const int n = text.kCapacity;
    for (int i = 1; i <= n; i++) text[i] = static_cast<unsigned char>(0x41 + next(0xBE));
    text[0] = static_cast<unsigned char>(n);
  };
  for (int s = 0; s < kMaxStudents; s++) {
    fill(gStudents[s].name);
    fill(gStudents[s].id);
    fill(gEmailAddresses[s].recipients);
    for (int t = 0; t < kMaxTerms; t++) {
      fill(gComments[s][t]);
      for (int a = 0; a < kMaxAssignments; a++)
        gScores[s][t][a] = static_cast<int16_t>(next(1000));
    }
  }
  for (int t = 0; t < kMaxTerms; t++)
    for (int a = 0; a < kMaxAssignments; a++) fill(gAssignments[t][a].name);
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/mt-bench-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void SilenceAlerts() {
  SetAlertSink([](const AlertRequest& a) {
    std::fprintf(stderr, "alert: %s\n", a.text.c_str());
    return int16_t{1};
  });
}

// range(0): 1 waits for the disk (fsync of the file and its folder), 0 does not.
void BM_SaveLargestClass(benchmark::State& state) {
  SilenceAlerts();
  FillLargestClass();
  TempFolder folder;
  gFileSpec.path = folder.File("Largest.mtb");
  SetFlushToDisk(state.range(0) != 0);
  for (auto _ : state) {
    if (!SaveDocument()) state.SkipWithError("save failed");
  }
  SetFlushToDisk(true);
  state.counters["bytes"] = static_cast<double>(DocumentLength(kMaxStudents - 1, 5));
  state.SetBytesProcessed(state.iterations() * DocumentLength(kMaxStudents - 1, 5));
}
BENCHMARK(BM_SaveLargestClass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OpenLargestClass(benchmark::State& state) {
  SilenceAlerts();
  FillLargestClass();
  TempFolder folder;
  gFileSpec.path = folder.File("Largest.mtb");
  SetFlushToDisk(false);
  if (!SaveDocument()) state.SkipWithError("save failed");
  SetFlushToDisk(true);
  for (auto _ : state) {
    FileRef ref;
    if (!OpenFile(ref) || !ReadDocument(ref)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(gScores[kMaxStudents - 1][5][kMaxAssignments - 1]);
  }
  state.counters["bytes"] = static_cast<double>(DocumentLength(kMaxStudents - 1, 5));
  state.SetBytesProcessed(state.iterations() * DocumentLength(kMaxStudents - 1, 5));
}
BENCHMARK(BM_OpenLargestClass)->Unit(benchmark::kMillisecond);

}  // namespace
