// Typing one score into a full class (250 students, 150 assignments) at zoom 7: the
// time from the Return key to the redrawn score and grade cells and the editor open
// on the next row. Goal: under 5 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/input.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/startup.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/testing.h"
#include "marktally/toolbox/textedit.h"
#include "full_class_window.h"

namespace {

void OpenFullClass() {
  OpenFullClassWindow();
  SetControlValue(gVScrollBar, 100);
  SetControlValue(gHScrollBar, 60);
  ForceUpdate();
  UpdateWindow();
}

void ReturnToRedrawnCells(benchmark::State& state) {
  OpenFullClass();
  const int16_t s = 110, a = 65;
  const int t = gCurrentTerm;
  const uint16_t points = gAssignments[t][a].points;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CloseEdit(kEditCancel);
    EditScore(s, a);
    // Alternate two values so that every Return stores a change.
    const std::string text = std::to_string((n++ % 2 ? points : points / 2));
    TESetText(text.data(), static_cast<int32_t>(text.size()), gEditHandle);
    EventRecord key{};
    key.what = keyDown;
    key.message = kReturnCharCode;
    state.ResumeTiming();
    HandleKeyDown(key);
  }
  if (gScores[s][t][a] < 0) state.SkipWithError("the score was not stored");
  if (!gEditHandle || gEditStudent != s + 1) state.SkipWithError("the editor did not move on");
  CloseEdit(kEditCancel);
}

}  // namespace

BENCHMARK(ReturnToRedrawnCells)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
