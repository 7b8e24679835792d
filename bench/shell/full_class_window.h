// The window the shell benchmarks measure: the program started headless on a 1920 x 1080
// screen, a full class (250 students, 150 scored assignments) open in the gradebook view at
// zoom 7. Started once per process; each call opens the class afresh.
#pragma once

#include <cstdlib>

#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/commands/startup.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/testing.h"
#include "tests/shell/sample_class.h"

inline void OpenFullClassWindow() {
  static bool started = false;
  if (!started) {
    setenv("XDG_CONFIG_HOME", "/tmp/marktally-bench-config", 1);
    InitToolboxForTesting();
    SetScreenForTesting(Rect{0, 0, 1080, 1920}, Rect{22, 0, 1080, 1920}, 22);
    SetAlertSink([](const AlertRequest&) { return int16_t{2}; });
    StartUp();
    started = true;
  }
  if (gWindow) CloseDocument();
  NewClass();
  gCurrentTerm = gClass.currentTerm;
  sample::FillClass(kMaxStudents, kMaxAssignments);
  gClass.flags |= kShowIDs | kShowNames | kLetterGrades;
  MakeNewDocument();
  MakeNewWindow(PStr("Full class"));
  SetChanged(0);
  DoZoom(7);
}
