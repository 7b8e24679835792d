// Text export and import of a full class: 250 students with 150 scores each, and 250
// students coded on every one of 360 days. Goal on the development machine: each export
// and each import under 100 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/text_import.h"

namespace {

constexpr uint32_t kDay = 86400;

class Setting {
 public:
  Setting() {
    char pattern[] = "/tmp/mt-bench-text-XXXXXX";
    folder_ = mkdtemp(pattern) ? pattern : "/tmp";
    SetAlertSink([](const AlertRequest&) { return int16_t{1}; });
    SetFlushToDisk(false);
    static const RegionDateFormat region;
    SetRegionDateFormatForTesting(&region);
    SetClockForTesting(3870000000u);
  }
  ~Setting() { std::filesystem::remove_all(folder_); }
  std::string Path(const char* name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

// One term spanning all 360 days of the attendance table.
void NewWideClass() {
  NewClass();
  gClass.lastTerm = 0;
  gTermDates[0].end = gTermDates[0].start + (kMaxDays - 1) * kDay;
  MakeClassCurrent();
}

void FillScores() {
  NewWideClass();
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[0][a].name.setC(("Assignment " + std::to_string(a)).c_str());
    gAssignments[0][a].category = static_cast<uint16_t>(a % 2);
    gAssignments[0][a].points = 100;
  }
  for (int s = 0; s < kMaxStudents; s++) {
    gStudents[s].name.setC(("Student, Number " + std::to_string(s)).c_str());
    gStudents[s].id.setC(("ID" + std::to_string(10000 + s)).c_str());
    for (int a = 0; a < kMaxAssignments; a++)
      gScores[s][0][a] = static_cast<int16_t>((s * 7 + a * 13) % 1001);
  }
}

void FillAttendance() {
  NewWideClass();
  for (int s = 0; s < kMaxStudents; s++) {
    gStudents[s].name.setC(("Student, Number " + std::to_string(s)).c_str());
    gStudents[s].id.setC(("ID" + std::to_string(10000 + s)).c_str());
    for (int d = 0; d < kMaxDays; d++) gAttendance[s][d] = static_cast<uint8_t>((s + d) % 3);
  }
}

void ScoreOptions() {
  ResetExportOptions();
  ResetImportOptions();
  gExportIDs = gExportAssignments = gExportCategories = gExportPoints = gExportScores = 1;
  gImportIDs = gImportAssignments = gImportCategories = gImportPoints = gImportScores = 1;
}

void CodeOptions() {
  ResetExportOptions();
  ResetImportOptions();
  gExportIDs = gExportCodes = 1;
  gImportIDs = gImportCodes = 1;
}

void BM_ExportScores(benchmark::State& state) {
  Setting setting;
  FillScores();
  ScoreOptions();
  const FileSpec spec{setting.Path("scores.txt")};
  for (auto _ : state) benchmark::DoNotOptimize(ExportClass(spec));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
}
BENCHMARK(BM_ExportScores)->Unit(benchmark::kMillisecond);

void BM_ImportScores(benchmark::State& state) {
  Setting setting;
  FillScores();
  ScoreOptions();
  const FileSpec spec{setting.Path("scores.txt")};
  ExportClass(spec);
  for (auto _ : state) {
    state.PauseTiming();
    NewWideClass();
    for (int s = 0; s < kMaxStudents; s++) {
      gStudents[s].name.setC(("Student, Number " + std::to_string(s)).c_str());
      gStudents[s].id.setC(("ID" + std::to_string(10000 + s)).c_str());
    }
    state.ResumeTiming();
    ImportClass(spec);
  }
  state.counters["scores"] = gImportReport.scores;
}
BENCHMARK(BM_ImportScores)->Unit(benchmark::kMillisecond);

void BM_ExportAttendance(benchmark::State& state) {
  Setting setting;
  FillAttendance();
  CodeOptions();
  const FileSpec spec{setting.Path("codes.txt")};
  for (auto _ : state) benchmark::DoNotOptimize(ExportClass(spec));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
}
BENCHMARK(BM_ExportAttendance)->Unit(benchmark::kMillisecond);

void BM_ImportAttendance(benchmark::State& state) {
  Setting setting;
  FillAttendance();
  CodeOptions();
  const FileSpec spec{setting.Path("codes.txt")};
  ExportClass(spec);
  for (auto _ : state) {
    state.PauseTiming();
    FillAttendance();
    for (auto& row : gAttendance)
      for (uint8_t& mark : row) mark = kNoMark;
    state.ResumeTiming();
    ImportClass(spec);
  }
}
BENCHMARK(BM_ImportAttendance)->Unit(benchmark::kMillisecond);

}  // namespace
