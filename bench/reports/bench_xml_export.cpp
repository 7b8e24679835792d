// The XML files for the school services of a full class: 250 students with IDs, comments
// and an attendance mark on every third day of the term, 150 scored assignments, with the
// export progress window stepping once per student (headless). Goal on the development
// machine: each file under 200 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/shell/full_class_window.h"
#include "marktally/model/fileutil.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/xml_export.h"

namespace {

class Setting {
 public:
  Setting() {
    OpenFullClassWindow();
    char pattern[] = "/tmp/mt-bench-xml-XXXXXX";
    folder_ = mkdtemp(pattern) ? pattern : "/tmp";
    SetFlushToDisk(false);
    gFileSpec.path = folder_ + "/Full class.mtb";
    gExportData.classCode.setC("MATH-7 & <B>");
    gExportData.account.setC("teacher@school.org");
    int first = 0, last = -1;
    CurrentTermDays(first, last);
    const int t = gCurrentTerm;
    for (int s = 0; s < kMaxStudents; s++) {
      gComments[s][t].setC("Works hard; \"reads\" ahead & helps others \x8E\xA5");
      for (int d = first; d <= last; d += 3) gAttendance[s][d] = static_cast<uint8_t>(d % 4);
    }
  }
  ~Setting() {
    SetFlushToDisk(true);
    std::filesystem::remove_all(folder_);
  }
  FileSpec File(const char* name) const { return FileSpec{folder_ + "/" + name}; }

 private:
  std::string folder_;
};

void Report(benchmark::State& state, const FileSpec& spec) {
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
}

void BM_Basmati(benchmark::State& state) {
  Setting setting;
  const FileSpec spec = setting.File("basmati.xml");
  for (auto _ : state) benchmark::DoNotOptimize(ExportClassBasmati(spec));
  Report(state, spec);
}
BENCHMARK(BM_Basmati)->Unit(benchmark::kMillisecond);

void BM_SchoolSpeak(benchmark::State& state) {
  Setting setting;
  FileSpec spec;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExportClassSchoolSpeak(spec));
    state.PauseTiming();
    std::filesystem::remove(spec.path);  // the next file takes the same clock's name
    state.ResumeTiming();
  }
  ExportClassSchoolSpeak(spec);
  Report(state, spec);
}
BENCHMARK(BM_SchoolSpeak)->Unit(benchmark::kMillisecond);

void BM_SchoolCtr(benchmark::State& state) {
  Setting setting;
  const FileSpec spec = setting.File("center.xml");
  for (auto _ : state) benchmark::DoNotOptimize(ExportClassSchoolCtr(spec));
  Report(state, spec);
}
BENCHMARK(BM_SchoolCtr)->Unit(benchmark::kMillisecond);

}  // namespace
