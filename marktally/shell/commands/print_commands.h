// Printing the window's views: the print zoom, the page loops of the grids and the seating
// chart (the shell's drawings) and the job that prints the report of the view shown. Every
// job runs through the one page loop of reports/print_pages at zoom 5.
#pragma once

#include <cstdint>

#include "marktally/reports/print_pages.h"

void PrintGradebook();
void PrintSeatingChart();
void PrintReport();
// The view shown, by the printing above that suits it, once the job is set up.
void PrintView();
void PrintGradebookPages();
void PrintSeatingChartPages();

// The seating chart's view gives printing its header and its drawing of seat rows r0..r1
// and columns c0..c1 (0-based, inclusive, shifted by gMargin); until it has, printing
// the chart tells the teacher that it cannot.
using SeatingHeaderDrawer = void (*)();
using SeatingPageDrawer = void (*)(int16_t r0, int16_t r1, int16_t c0, int16_t c1);
void SetSeatingChartDrawers(SeatingHeaderDrawer header, SeatingPageDrawer page);

void BeginPrintZoom();
void EndPrintZoom();
// Runs fn with the zoom, text sizes and title width of the printed page, and gives the
// window's back afterwards.
template <typename F>
void AtPrintZoom(F fn) {
  BeginPrintZoom();
  fn();
  EndPrintZoom();
}
