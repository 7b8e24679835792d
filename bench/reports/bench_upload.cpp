// The Lorvex upload file of a full class: 250 students with IDs and comments, 150 scored
// assignments, one progress report per student, with the export progress window stepping
// once per student (headless). Goal on the development machine: under 200 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/shell/full_class_window.h"
#include "marktally/model/fileutil.h"
#include "marktally/reports/upload.h"

namespace {

void BM_LorvexUploadFile(benchmark::State& state) {
  OpenFullClassWindow();
  char pattern[] = "/tmp/mt-bench-upload-XXXXXX";
  const std::string folder = mkdtemp(pattern) ? pattern : "/tmp";
  SetFlushToDisk(false);
  gFileSpec.path = folder + "/Full class.mtb";
  gExportData.classCode.setC("MATH-7 & <B>");
  const int t = gCurrentTerm;
  for (int s = 0; s < kMaxStudents; s++)
    gComments[s][t].setC("Works hard; \"reads\" ahead & helps others \x8E\xA5");
  FileSpec spec;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExportClassLorvex(spec));
    state.PauseTiming();
    std::filesystem::remove(spec.path);  // the next file takes the same clock's name
    state.ResumeTiming();
  }
  ExportClassLorvex(spec);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(spec.path)));
  SetFlushToDisk(true);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LorvexUploadFile)->Unit(benchmark::kMillisecond);

}  // namespace
