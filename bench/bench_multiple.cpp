// The multiple-class report's merge: 100 saved classes of 75 students each, 4 terms with
// 30 scored assignments per term, merged into 500 students of 15 subjects each, then
// sorted. Goal on the development machine: under 2 s. The merged tables are one static
// array; the counters give its size and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "marktally/model/document.h"
#include "marktally/model/multiple.h"
#include "marktally/model/platform.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"

namespace {

constexpr int kClasses = 100;
constexpr int kPerClass = 75;  // 100 x 75 = 500 students x 15 subjects
constexpr int kColumns = 30;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/mt-bench-multiple-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void SaveClass(int c, const std::string& path) {
  NewClass();
  SetDefaultPageSetup();
  gClass.lastTerm = 3;
  gClass.subject.setC(("Subject " + std::to_string(1000 + c)).c_str());
  gClass.teacher.setC("Teacher");
  uint32_t seed = static_cast<uint32_t>(c + 1);
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int t = 0; t < 4; t++) {
    for (int a = 0; a < kColumns; a++) {
      gAssignments[t][a].name.setC(("Work " + std::to_string(a)).c_str());
      gAssignments[t][a].category = static_cast<uint16_t>(a % 2);
      gAssignments[t][a].points = static_cast<uint16_t>(10 + next(90));
      gAssignDates[t][a] = 3870000000u + static_cast<uint32_t>(t * 86400 * 60 + a * 86400);
    }
  }
  for (int i = 0; i < kPerClass; i++) {
    const int who = (c * kPerClass + i) % kMaxMultipleStudents;
    gStudents[i].name.setC(("First" + std::to_string(who) + " Last" + std::to_string(who % 37))
                               .c_str());
    gStudents[i].id.setC(std::to_string(who).c_str());
    gComments[i][0].setC("A comment of a few words for the first term.");
    for (int t = 0; t < 4; t++)
      for (int a = 0; a < kColumns; a++)
        gScores[i][t][a] = next(8) == 0 ? int16_t{-1} : static_cast<int16_t>(next(900));
  }
  gFileSpec.path = path;
  if (!SaveDocument()) std::fprintf(stderr, "save failed: %s\n", path.c_str());
}

long PeakResidentKB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_MergeHundredClasses(benchmark::State& state) {
  SetAlertSink([](const AlertRequest& a) {
    std::fprintf(stderr, "alert: %s\n", a.text.c_str());
    return int16_t{1};
  });
  SetClockForTesting(3870000000u);
  TempFolder folder;
  setenv("XDG_CONFIG_HOME", folder.File("config").c_str(), 1);
  SetFlushToDisk(false);
  for (int c = 0; c < kClasses; c++) SaveClass(c, folder.File("c" + std::to_string(c) + ".mtb"));
  for (auto _ : state) {
    NewMultipleClassReport();
    for (int c = 0; c < kClasses; c++)
      AddClass(FileSpec{folder.File("c" + std::to_string(c) + ".mtb")});
    GenerateMultipleReport();
    if (NumMultipleStudents() != kMaxMultipleStudents) state.SkipWithError("not 500 students");
    benchmark::DoNotOptimize(gMultipleStudents[0].subjects[0].percents[0]);
  }
  SetFlushToDisk(true);
  ClearRecentFiles();
  state.counters["merged_table_MB"] =
      static_cast<double>(sizeof gMultipleStudents) / (1024.0 * 1024.0);
  state.counters["peak_rss_MB"] = static_cast<double>(PeakResidentKB()) / 1024.0;
}
BENCHMARK(BM_MergeHundredClasses)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
