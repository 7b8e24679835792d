#include "marktally/shell/commands/print_commands.h"

#include <algorithm>

#include "marktally/model/dates.h"
#include "marktally/model/tables.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"

namespace {

int16_t gSavedZoom = 5;
SeatingHeaderDrawer gSeatingHeader = nullptr;
SeatingPageDrawer gSeatingPage = nullptr;
int gZoomDepth = 0;

}  // namespace

void BeginPrintZoom() {
  if (gZoomDepth++ > 0) return;
  gSavedZoom = gZoom;
  gZoom = 5;
  gTitleWidth = S16((gClass.flags & 0x60) == 0x60 ? 342 : 262);
  gReportSize = 10;
  gHeaderSize = 18;
}

void EndPrintZoom() {
  if (--gZoomDepth > 0) return;
  gZoom = gSavedZoom;
  gReportSize = S16(2 * gZoom);
  gHeaderSize = S16(18 * gZoom / 5);
  gTitleWidth = S16(TitleWidthFor(gClass.flags));
}

namespace {

// Rows r0..r1 and columns c0..c1 of page p (from 1) of the grid shown.
struct GridPage {
  int r0 = 0, r1 = 0, c0 = 0, c1 = 0;
};

}  // namespace

void PrintGradebookPages() {
  const int z = gZoom, m = 24 * z / 5;
  const int w = PageWidth(), h = PageHeight();
  int cp = std::max(1, (w - gTitleWidth - 2 * m) / (8 * z));
  const int rp = std::max(1, (h - 34 * z - 12 * z / 5 - 4 * z / 5 - 2 * m) / (4 * z));
  const bool attendance = gCurrView == kAttendanceView;
  int fwo = 0, lwo = 0;
  if (attendance) {
    const int week = DaysPerWeek();
    if (week > 0 && cp - cp % week > 0) cp -= cp % week;
    fwo = FirstWeekOffset();
    lwo = LastWeekOffset();
  }
  int lastStudent = 0;
  for (int s = 0; s < kMaxStudents; s++)
    if (!gStudents[s].name.empty()) lastStudent = s;
  int lastColumn = 0;
  if (attendance) {
    lastColumn = gLastColumn + fwo;
  } else {
    for (int a = 0; a < kMaxAssignments; a++)
      if (!gAssignments[std::min<int>(gCurrentTerm, kMaxTerms - 1)][a].name.empty())
        lastColumn = a;
  }
  const bool oneColumn = gSelAssignment != kNone;
  const int across = oneColumn ? 1 : lastColumn / cp + 1;
  const int down = lastStudent / rp + 1;
  const auto pageOf = [=](uint32_t p) {
    GridPage g;
    const int rowBlock = static_cast<int>((p - 1) % down),
              colBlock = static_cast<int>((p - 1) / down);
    g.r0 = rowBlock * rp;
    g.r1 = std::min(lastStudent, g.r0 + rp - 1);
    g.c0 = colBlock * cp;
    g.c1 = std::min<int>(gLastColumn, g.c0 + cp - 1);
    if (attendance) {
      if (colBlock > 0) g.c0 -= fwo;
      if (g.c1 < gLastColumn)
        g.c1 -= fwo;
      else if (g.c1 == gLastColumn && !(gLastColumn < g.c0 + cp))
        g.c1 -= lwo;
    }
    if (oneColumn) g.c0 = g.c1 = static_cast<int>(gSelAssignment);
    g.c0 = std::max(0, g.c0);
    return g;
  };
  PrintPageLoop(
      across * down,
      [&](uint32_t p) {
        const GridPage g = pageOf(p);
        gMargin = S16(24 * gZoom / 5);
        DrawGradebookHeader();
        DrawGradebook(S16(g.r0), S16(g.r1), S16(g.c0), S16(g.c1));
        gMargin = 0;
      },
      [&](uint32_t p) { return pageOf(p).c0 <= gLastColumn; });
}

void PrintGradebook() {
  if (!gWindow) return;
  gPrintError = 0;
  AtPrintZoom([] {
    CleanupRotation();
    SetupRotation();
    PrintGradebookPages();
    CleanupRotation();
  });
  SetupRotation();
  ReportPrintError();
}

void PrintReport() {
  if (!gWindow) return;
  gPrintError = 0;
  AtPrintZoom([] { PrintReportPages(); });
  ReportPrintError();
}

void SetSeatingChartDrawers(SeatingHeaderDrawer header, SeatingPageDrawer page) {
  gSeatingHeader = header;
  gSeatingPage = page;
}

void PrintSeatingChartPages() {
  const int z = gZoom, l = 12 * z / 5, m = 24 * z / 5;
  const int rows = std::max<int>(1, gSeatingChart.rows);
  const int columns = std::max<int>(1, gSeatingChart.columns);
  const int rs = std::max(1, (PageHeight() - 5 * l - 2 * m) / (8 * z));
  const int cs = std::max(1, (PageWidth() - 2 * m) / (24 * z));
  const int down = (rows - 1) / rs + 1, across = (columns - 1) / cs + 1;
  PrintPageLoop(across * down, [&](uint32_t p) {
    const int r0 = static_cast<int>((p - 1) % down) * rs;
    const int c0 = static_cast<int>((p - 1) / down) * cs;
    gMargin = S16(24 * gZoom / 5);
    gSeatingHeader();
    gSeatingPage(S16(r0), S16(std::min(rows - 1, r0 + rs - 1)), S16(c0),
                 S16(std::min(columns - 1, c0 + cs - 1)));
    gMargin = 0;
  });
}

void PrintSeatingChart() {
  if (!gWindow) return;
  if (!gSeatingHeader || !gSeatingPage) {
    InitCursor();
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("Unable to print"),
                   PStr("The seating chart cannot be printed in this version of Marktally."));
    return;
  }
  gPrintError = 0;
  AtPrintZoom([] { PrintSeatingChartPages(); });
  ReportPrintError();
}

void PrintView() {
  if (gCurrView == kSeatingChartView)
    PrintSeatingChart();
  else if (IsGridView())
    PrintGradebook();
  else
    PrintReport();
}
