// Printing: the class's page setup, the page size all report geometry rests on, the page
// setup and print dialogs, the one page loop every print job runs, and the report pages
// of the view shown printed through it. Report pages print at the context's zoom (the
// shell's print zoom, 5).
#pragma once

#include <cstdint>
#include <functional>

extern int16_t gPrintError;
extern double gPageRect[4];  // top, left, bottom, right in points
extern int16_t gPageWidth;   // printable size in points at 100 %
extern int16_t gPageHeight;

// The printable size at a zoom; an invalid stored size becomes 576 x 752.
int16_t PageWidthAt(int zoom);
int16_t PageHeightAt(int zoom);

// Applies the class's scale and orientation and reads the page size.
void UpdatePageInfo();
// Copies the format's scale and orientation into the class; a change marks it changed.
void GetPageInfo();
bool PageSetupDialog();
bool PrintJobDialog();
// 1-based pages of the next job, replacing the range chosen in the dialog.
void SetPrintRange(uint32_t first, uint32_t last);

// The pages of the job's range among count (from 1), each drawn by draw between the
// page's begin and end; a page that hasPage refuses is left out. A range without pages
// says so. The first failure ends the job and stays in gPrintError; the range chosen
// serves this job only.
void PrintPageLoop(int count, const std::function<void(uint32_t page)>& draw,
                   const std::function<bool(uint32_t page)>& hasPage = nullptr);
// The alert of a failed job (gPrintError), if it failed.
void ReportPrintError();

// The report of the context's view, counted and drawn at the context's zoom.
void PrintReportPages();
