// Report pages of a full class (250 students, 150 scored assignments) at zoom 7: one
// student scores page drawn (goal: under 5 ms), every page of that report paginated and
// drawn, the scroll of the report view by one step, which only draws the pages in sight,
// and the class grades report printed to a PDF file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "full_class_window.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/print_pages.h"
#include "marktally/shell/grid.h"
#include "marktally/shell/pagesize.h"
#include "marktally/shell/report_view.h"
#include "marktally/shell/selection.h"
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

BENCHMARK(StudentPage)->Unit(benchmark::kMillisecond);
BENCHMARK(EveryStudentPage)->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollReportView)->Unit(benchmark::kMillisecond);
BENCHMARK(PrintClassGrades)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
