// Text export and import of a full class, against Python's csv module on the same files
// in the same run: 250 students with 150 scores each, and 250 students coded on every
// one of 360 days. Goals: the export no slower than csv.writer writing the same rows,
// the import no slower than csv.reader reading the file, and the import linear in the
// number of rows. After Google Benchmark's table the run prints each ratio.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
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

// One folder for the whole run: the files stay for Python to read after the benchmarks.
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
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

Setting& Run() {
  static Setting setting;
  return setting;
}

// One term spanning all 360 days of the attendance table.
void NewWideClass() {
  NewClass();
  gClass.lastTerm = 0;
  gTermDates[0].end = gTermDates[0].start + (kMaxDays - 1) * kDay;
  MakeClassCurrent();
}

void NameStudents(int count) {
  for (int s = 0; s < count; s++) {
    gStudents[s].name.setC(("Student, Number " + std::to_string(s)).c_str());
    gStudents[s].id.setC(("ID" + std::to_string(10000 + s)).c_str());
  }
}

void FillScores(int students) {
  NewWideClass();
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[0][a].name.setC(("Assignment " + std::to_string(a)).c_str());
    gAssignments[0][a].category = static_cast<uint16_t>(a % 2);
    gAssignments[0][a].points = 100;
  }
  NameStudents(students);
  for (int s = 0; s < students; s++)
    for (int a = 0; a < kMaxAssignments; a++)
      gScores[s][0][a] = static_cast<int16_t>((s * 7 + a * 13) % 1001);
}

void FillAttendance() {
  NewWideClass();
  NameStudents(kMaxStudents);
  for (int s = 0; s < kMaxStudents; s++)
    for (int d = 0; d < kMaxDays; d++) gAttendance[s][d] = static_cast<uint8_t>((s + d) % 3);
}

// Comma-separated, quoted when needed: the dialect Python's csv module writes.
void ScoreOptions() {
  ResetExportOptions();
  ResetImportOptions();
  SetExportFormat(3);
  gImportFormat = 2;
  gExportIDs = gExportAssignments = gExportCategories = gExportPoints = gExportScores = 1;
  gImportIDs = gImportAssignments = gImportCategories = gImportPoints = gImportScores = 1;
}

void CodeOptions() {
  ResetExportOptions();
  ResetImportOptions();
  SetExportFormat(3);
  gImportFormat = 2;
  gExportIDs = gExportCodes = 1;
  gImportIDs = gImportCodes = 1;
}

std::string ScoresFile(int students) {
  return Run().Path("scores-" + std::to_string(students) + ".csv");
}
const std::string& CodesFile() {
  static const std::string path = Run().Path("codes.csv");
  return path;
}

void BM_ExportScores(benchmark::State& state) {
  FillScores(kMaxStudents);
  ScoreOptions();
  const FileSpec spec{ScoresFile(kMaxStudents)};
  for (auto _ : state) benchmark::DoNotOptimize(ExportClass(spec));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
}
BENCHMARK(BM_ExportScores)->Unit(benchmark::kMillisecond);

// Rows of a class of n students imported back into it: linear in n.
void BM_ImportScores(benchmark::State& state) {
  const int students = static_cast<int>(state.range(0));
  FillScores(students);
  ScoreOptions();
  const FileSpec spec{ScoresFile(students)};
  ExportClass(spec);
  for (auto _ : state) {
    state.PauseTiming();
    NewWideClass();
    NameStudents(students);
    state.ResumeTiming();
    ImportClass(spec);
  }
  state.counters["scores"] = gImportReport.scores;
  state.SetComplexityN(students);
}
BENCHMARK(BM_ImportScores)
    ->Unit(benchmark::kMillisecond)
    ->Arg(50)->Arg(100)->Arg(150)->Arg(200)->Arg(kMaxStudents)
    ->Complexity(benchmark::oN);

void BM_ExportAttendance(benchmark::State& state) {
  FillAttendance();
  CodeOptions();
  const FileSpec spec{CodesFile()};
  for (auto _ : state) benchmark::DoNotOptimize(ExportClass(spec));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
}
BENCHMARK(BM_ExportAttendance)->Unit(benchmark::kMillisecond);

void BM_ImportAttendance(benchmark::State& state) {
  FillAttendance();
  CodeOptions();
  const FileSpec spec{CodesFile()};
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

// Keeps the mean real time of every run (milliseconds) beside the usual table.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, as the library's own reporter does.
  RecordingReporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        ms[run.benchmark_name()] = run.real_accumulated_time * 1000 / run.iterations;
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ms;
};

// Python's mean reader and writer times on the file; false when Python did not answer.
bool TimePython(const std::string& file, double& reader, double& writer) {
  const std::string command = "python3 " MT_BENCH_DIR "/text_exchange_csv.py '" + file + "' 40";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  const int read = std::fscanf(pipe, "reader %lf writer %lf", &reader, &writer);
  return pclose(pipe) == 0 && read == 2;
}

void PrintRatio(const char* what, double ours, double python) {
  std::printf("%-40s %8.3f ms  Python %8.3f ms  ratio %.2f\n", what, ours, python,
              ours / python);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nAgainst Python's csv module on the same files (ratio <= 1 meets the goal):\n");
  const std::string full = "/" + std::to_string(kMaxStudents);
  struct Pair {
    const char* export_name;
    const char* import_name;
    std::string file;
  };
  const Pair pairs[] = {{"BM_ExportScores", "BM_ImportScores", ScoresFile(kMaxStudents)},
                        {"BM_ExportAttendance", "BM_ImportAttendance", CodesFile()}};
  for (const Pair& p : pairs) {
    double reader = 0, writer = 0;
    if (!std::filesystem::exists(p.file)) continue;
    if (!TimePython(p.file, reader, writer)) {
      std::printf("%s: Python's csv module did not run\n", p.file.c_str());
      continue;
    }
    const auto exported = reporter.ms.find(p.export_name);
    if (exported != reporter.ms.end())
      PrintRatio((std::string(p.export_name) + " / csv.writer").c_str(), exported->second,
                 writer);
    auto imported = reporter.ms.find(p.import_name);
    if (imported == reporter.ms.end()) imported = reporter.ms.find(p.import_name + full);
    if (imported != reporter.ms.end())
      PrintRatio((imported->first + " / csv.reader").c_str(), imported->second, reader);
  }
  benchmark::Shutdown();
  return 0;
}
