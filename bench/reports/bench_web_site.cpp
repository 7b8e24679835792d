// Writing the class web site of a full class: 250 students with 150 scores each. Goal on
// the development machine: the whole site under 1 s. Pages are written and closed as the
// program writes them (no flush to the disk per page).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "marktally/model/fileutil.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/web_site.h"

namespace {

void FullClass() {
  NewClass();
  gCurrentTerm = gClass.currentTerm;
  gClass.flags |= kLetterGrades | kShowIDs;
  gReportOptions = 0x0001 | 0x0002 | 0x0020 | 0x0040 | 0x0080 | 0x1000;
  const int t = gCurrentTerm;
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[t][a].name.setC(("Assignment " + std::to_string(a)).c_str());
    gAssignments[t][a].category = static_cast<uint16_t>(a % 2);
    gAssignments[t][a].points = 100;
    gNumScores[t][a] = kMaxStudents;
  }
  for (int s = 0; s < kMaxStudents; s++) {
    std::string letters;
    for (int k = s + 1; k > 0; k /= 26) letters += static_cast<char>('a' + k % 26);
    gStudents[s].name.setC(("Student, " + letters).c_str());
    gStudents[s].id.setC(("ID" + std::to_string(10000 + s * 7)).c_str());
    gComments[s][t].setC("Works hard; see www.example.org/help for extra practice.");
    for (int a = 0; a < kMaxAssignments; a++)
      gScores[s][t][a] = static_cast<int16_t>((s * 7 + a * 13) % 1001);
  }
  FlushAll();
}

void BM_ClassWebSite(benchmark::State& state) {
  char pattern[] = "/tmp/mt-bench-site-XXXXXX";
  const std::string folder = mkdtemp(pattern) ? pattern : "/tmp/mt-bench-site";
  SetAlertSink([](const AlertRequest&) { return int16_t{1}; });
  static const RegionDateFormat region;
  SetRegionDateFormatForTesting(&region);
  SetClockForTesting(3870000000u);
  FullClass();
  gShowStudentName = 1;
  for (auto _ : state) {
    if (!ExportClassSite(folder)) state.SkipWithError("site not written");
  }
  gShowStudentName = 0;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ClassWebSite)->Unit(benchmark::kMillisecond);

}  // namespace
