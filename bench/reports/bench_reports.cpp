// Report pages of a full class (250 students, 150 scored assignments) at zoom 7: one
// student scores page drawn (goal: under 5 ms), every page of that report paginated and
// drawn, the scroll of the report view by one step, which only draws the pages in sight,
// the class grades report printed to a PDF file, and the student scores report (1,000
// pages) printed to a PDF file beside `pdftotext` reading that file back, with the peak
// memory the job added. Goal: the printing at most 1.0x `pdftotext`. The ratio is
// printed at the end; BENCH_PDF_TEXT=FILE keeps the text that `pdftotext` read, and the
// PDF file beside it as FILE.pdf.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "full_class_window.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/commands/print_commands.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/window/selection.h"
#include "marktally/toolbox/printing.h"

namespace {

void OpenReport(uint16_t view) {
  OpenFullClassWindow();
  gReportOptions = 0x10EF | 0x2000;
  if (view == kStudentScoresView) DoShowStudentScores();
  if (view == kClassGradesView) DoShowClassGrades();
}

// A page-sized port to draw into, as printing and the window give the drawers.
class PagePort {
 public:
  PagePort() {
    const Rect bounds{0, 0, PageHeight(), PageWidth()};
    NewGWorld(&world_, 32, &bounds, nullptr, nullptr, 0);
    GetPort(&saved_);
    SetPort(world_);
  }
  ~PagePort() {
    SetPort(saved_);
    DisposeGWorld(world_);
  }

 private:
  GWorldPtr world_ = nullptr;
  GrafPtr saved_ = nullptr;
};

void StudentPage(benchmark::State& state) {
  OpenReport(kStudentScoresView);
  PagePort port;
  const int pages = ReportPageCount();
  int page = 0;
  for (auto _ : state) {
    DrawReport(static_cast<int16_t>(page));
    page = (page + 7) % pages;
  }
}

void EveryStudentPage(benchmark::State& state) {
  OpenReport(kStudentScoresView);
  PagePort port;
  for (auto _ : state) {
    const int pages = ReportPageCount();
    for (int p = 0; p < pages; p++) DrawReport(static_cast<int16_t>(p));
    state.counters["pages"] = pages;
  }
}

void ScrollReportView(benchmark::State& state) {
  OpenReport(kStudentScoresView);
  int value = 0;
  for (auto _ : state) {
    value = value >= VScrollMax() ? 0 : value + 1;
    SetControl32BitValue(gVScrollBar, value);
    ScrollReport(0, -1);
    UpdateWindow();
  }
}

void PrintClassGrades(benchmark::State& state) {
  OpenReport(kClassGradesView);
  const std::string pdf = "/tmp/marktally-bench-" + std::to_string(getpid()) + ".pdf";
  PMPrintToFile(pdf);
  for (auto _ : state) {
    gPrinting = 1;
    PrintReport();
    gPrinting = 0;
  }
  std::remove(pdf.c_str());
}

std::map<std::string, double> gSecondsPerRun;

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// kB from /proc/self/status.
long StatusKB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  return -1;
}

// Starts the peak resident size afresh from the current one.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string StudentReportPdf() {
  return "/tmp/marktally-bench-" + std::to_string(getpid()) + "-students.pdf";
}

void PrintStudentScores(benchmark::State& state) {
  OpenReport(kStudentScoresView);
  const std::string pdf = StudentReportPdf();
  PMPrintToFile(pdf);
  double seconds = 0, peakMiB = 0, addedMiB = 0;
  for (auto _ : state) {
    const long before = StatusKB("VmRSS");
    ResetPeakMemory();
    const auto start = std::chrono::steady_clock::now();
    gPrinting = 1;
    PrintReport();
    gPrinting = 0;
    const double run = Since(start);
    seconds += run;
    state.SetIterationTime(run);
    const long peak = StatusKB("VmHWM");
    peakMiB = std::max(peakMiB, peak / 1024.0);
    addedMiB = std::max(addedMiB, (peak - before) / 1024.0);
  }
  state.counters["pages"] = PMPagesPrinted();
  // The process's peak resident size during the job, and what the job added to it.
  state.counters["peak_MiB"] = peakMiB;
  state.counters["added_MiB"] = addedMiB;
  if (state.iterations() > 0) gSecondsPerRun["print"] = seconds / state.iterations();
}

// Reads back the file the job above left.
void PdftotextStudentScores(benchmark::State& state) {
  const std::string pdf = StudentReportPdf();
  const char* keep = std::getenv("BENCH_PDF_TEXT");
  const std::string text = keep ? keep : pdf + ".txt";
  const std::string command = "pdftotext '" + pdf + "' '" + text + "'";
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("pdftotext failed");
    const double run = Since(start);
    seconds += run;
    state.SetIterationTime(run);
  }
  if (state.iterations() > 0) gSecondsPerRun["pdftotext"] = seconds / state.iterations();
  if (keep) std::rename(pdf.c_str(), (text + ".pdf").c_str());
  if (!keep) std::remove(text.c_str());
}

BENCHMARK(StudentPage)->Unit(benchmark::kMillisecond);
BENCHMARK(EveryStudentPage)->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollReportView)->Unit(benchmark::kMillisecond);
BENCHMARK(PrintClassGrades)->Unit(benchmark::kMillisecond);
BENCHMARK(PrintStudentScores)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(PdftotextStudentScores)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(StudentReportPdf().c_str());
  const auto print = gSecondsPerRun.find("print"), read = gSecondsPerRun.find("pdftotext");
  if (print != gSecondsPerRun.end() && read != gSecondsPerRun.end() && read->second > 0) {
    std::printf("\nStudent scores report to PDF against pdftotext on the same file (goal: at most "
                "1.0x):\n  %.0f ms / %.0f ms = %.2fx\n",
                print->second * 1e3, read->second * 1e3, print->second / read->second);
  }
  return 0;
}
