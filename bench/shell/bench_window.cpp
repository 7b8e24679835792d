// The gradebook view of a full class (250 students, 150 scored assignments) at zoom 7 in
// a window of a 1920 x 1080 screen: a full redraw, which must fit in one frame (16 ms),
// and the scroll by one row or column that the arrows, the wheel and a held key repeat
// (4 ms).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/startup.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/testing.h"
#include "full_class_window.h"

namespace {

void OpenFullClass(uint16_t view) {
  OpenFullClassWindow();
  if (view == kAttendanceView) DoShowAttendance();
  SetControlValue(gVScrollBar, 100);
  SetControlValue(gHScrollBar, view == kAttendanceView ? 5 : 60);
}

void FullRedraw(benchmark::State& state, uint16_t view) {
  OpenFullClass(view);
  for (auto _ : state) {
    ForceUpdate();
    UpdateWindow();
  }
}

void ScrollRows(benchmark::State& state) {
  OpenFullClass(kGradebookView);
  ForceUpdate();
  UpdateWindow();
  int direction = 1;
  for (auto _ : state) {
    SetControlValue(gVScrollBar, static_cast<int16_t>(VScrollValue() + direction));
    ScrollStudents(-direction);
    direction = -direction;
  }
}

void ScrollColumns(benchmark::State& state) {
  OpenFullClass(kGradebookView);
  ForceUpdate();
  UpdateWindow();
  int direction = 1;
  for (auto _ : state) {
    SetControlValue(gHScrollBar, static_cast<int16_t>(HScrollValue() + direction));
    ScrollAssignments(-direction);
    direction = -direction;
  }
}

}  // namespace

BENCHMARK_CAPTURE(FullRedraw, gradebook_zoom7, kGradebookView)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRedraw, attendance_zoom7, kAttendanceView)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollRows)->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollColumns)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
