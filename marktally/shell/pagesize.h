// The page that printing would use, and the fonts every view draws with. The window's
// placard and the report geometry rest on the page size; the print job itself, the page
// setup dialog and the page loops come with printing.
#pragma once

#include <cstdint>

extern int16_t gReportFont;   // the grid's and the reports' font ("Arial")
extern int16_t gReportSize;   // 2z
extern int16_t gHeaderSize;   // 18z/5
extern int16_t gPageNoFont;   // the placard's font ("Geneva")
extern int16_t gPageNoSize;   // 9
extern int16_t gMargin;       // offset of grid drawing on a printed page; 0 on screen
extern uint8_t gPrinting;     // a print job runs
extern int16_t gPageWidth;    // printable size in points at 100 %
extern int16_t gPageHeight;

// Fonts, sizes, margin, the default page and the class's default page set-up.
void SetupPrinting();
void CleanupPrinting();
// The printable size at the window's zoom; an invalid stored size becomes 576 x 752.
int16_t PageWidth();
int16_t PageHeight();
