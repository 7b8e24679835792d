// The page that printing would use, and the fonts every view draws with. The window's
// placard and the report geometry rest on the page size; the print job itself, the page
// setup dialog and the page loops come with printing.
#pragma once

#include <cstdint>

#include "marktally/reports/print_pages.h"  // the printable size, gPageWidth x gPageHeight

extern int16_t gReportFont;   // the grid's and the reports' font ("Arial")
extern int16_t gReportSize;   // 2z
extern int16_t gHeaderSize;   // 18z/5
extern int16_t gPageNoFont;   // the placard's font ("Geneva")
extern int16_t gPageNoSize;   // 9
extern int16_t gMargin;       // offset of grid drawing on a printed page; 0 on screen
extern uint8_t gPrinting;     // a print job runs

// Fonts, sizes, margin, the default page and the class's default page set-up.
void SetupPrinting();
void CleanupPrinting();
// The printable size at the window's zoom (PageWidthAt).
int16_t PageWidth();
int16_t PageHeight();
