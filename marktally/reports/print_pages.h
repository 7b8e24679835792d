// Printing the views: the class's page setup, the page size all report geometry rests
// on, the page setup and print dialogs, and the page loops of the grids, the seating
// chart and the reports. Everything prints at zoom 5.
#pragma once

#include <cstdint>

extern int16_t gPrintError;
extern double gPageRect[4];  // top, left, bottom, right in points

// Applies the class's scale and orientation and reads the page size.
void UpdatePageInfo();
// Copies the format's scale and orientation into the class; a change marks it changed.
void GetPageInfo();
bool PageSetupDialog();
bool PrintJobDialog();
// 1-based pages of the next job, replacing the range chosen in the dialog.
void SetPrintRange(uint32_t first, uint32_t last);

void PrintGradebook();
void PrintSeatingChart();
void PrintReport();
void PrintGradebookPages();
void PrintReportPages();
void PrintGradebookPage(int16_t r0, int16_t r1, int16_t c0, int16_t c1);
void PrintSeatingChartPages();
void PrintSeatingChartPage(int16_t r0, int16_t r1, int16_t c0, int16_t c1);

// The seating chart's view gives printing its header and its drawing of seat rows r0..r1
// and columns c0..c1 (0-based, inclusive, shifted by gMargin); until it has, printing
// the chart tells the teacher that it cannot.
using SeatingHeaderDrawer = void (*)();
using SeatingPageDrawer = void (*)(int16_t r0, int16_t r1, int16_t c0, int16_t c1);
void SetSeatingChartDrawers(SeatingHeaderDrawer header, SeatingPageDrawer page);

// Runs fn with the zoom, text sizes and title width of the printed page, and gives the
// window's back afterwards.
template <typename F>
void AtPrintZoom(F fn);
void BeginPrintZoom();
void EndPrintZoom();
template <typename F>
void AtPrintZoom(F fn) {
  BeginPrintZoom();
  fn();
  EndPrintZoom();
}
