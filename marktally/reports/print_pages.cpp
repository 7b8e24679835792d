#include "marktally/reports/print_pages.h"

#include <algorithm>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/common.h"
#include "marktally/shell/grid.h"
#include "marktally/shell/pagesize.h"
#include "marktally/shell/selection.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/printing.h"

int16_t gPrintError = 0;
double gPageRect[4] = {0, 0, 752, 552};

namespace {


int16_t gSavedZoom = 5;
SeatingHeaderDrawer gSeatingHeader = nullptr;
SeatingPageDrawer gSeatingPage = nullptr;
int gZoomDepth = 0;

void ReadPageSize(bool swap) {
  PMGetAdjustedPageRect(gPageRect);
  int width = static_cast<int>(gPageRect[3] - gPageRect[1]);
  int height = static_cast<int>(gPageRect[2] - gPageRect[0]);
  const int16_t o = static_cast<int16_t>(gPageSetup.orientation);
  if (swap && ((o == kPMPortrait && width > height) || (o == kPMLandscape && width < height)))
    std::swap(width, height);
  gPageWidth = S16(width);
  gPageHeight = S16(height);
}

void PrintAlert(const char* title, const char* lead, int code) {
  Str255 text = PStr(lead);
  Str255 number{};
  number.setC(std::to_string(code).c_str());
  Append(text, number);
  AppendC(text, ".");
  InitCursor();
  ShowModelAlert(kStopAlert, kAlertOK, PStr(title), text);
}

// The job's range against the page count: all pages become the count, and an empty
// range asks for nothing.
bool JobRange(int count, uint32_t& first, uint32_t& last) {
  PMGetPageRange(&first, &last);
  if (count <= 0) return false;
  if (first < 1) first = 1;
  if (last > static_cast<uint32_t>(count)) last = static_cast<uint32_t>(count);
  if (first > last) first = last;
  return true;
}

void NothingToPrint() {
  PMSessionDefaultPrintSettings();
  InitCursor();
  ShowModelAlert(kNoteAlert, kAlertOK, PStr("Nothing to print"),
                 PStr("This view has no pages to print."));
}

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

void UpdatePageInfo() {
  PMSetScale(gPageSetup.scale);
  PMSetOrientation(static_cast<int16_t>(gPageSetup.orientation));
  ReadPageSize(true);
}

void GetPageInfo() {
  const double scale = PMGetScale();
  int16_t orientation = PMGetOrientation();
  if (orientation < 1 || orientation > 4) orientation = 0;
  if (scale != gPageSetup.scale || orientation != gPageSetup.orientation) SetChanged(1);
  gPageSetup.scale = static_cast<uint16_t>(scale);
  gPageSetup.orientation = static_cast<uint16_t>(orientation);
}

bool PageSetupDialog() {
  PMSetScale(gPageSetup.scale);
  PMSetOrientation(static_cast<int16_t>(gPageSetup.orientation));
  bool accepted = false;
  const OSStatus err = PMSessionPageSetupDialog(&accepted);
  if (err != noErr) {
    PrintAlert("Unable to do Page Setup", "Unable to do Page Setup due to error ", err);
    return false;
  }
  if (accepted) ReadPageSize(false);
  GetPageInfo();
  if (gPageSetup.scale >= 151) {
    gPageSetup.scale = 150;
    PMSetScale(150.0);
    ReadPageSize(false);
  }
  return accepted;
}

bool PrintJobDialog() {
  PMSessionDefaultPrintSettings();
  bool accepted = false;
  const OSStatus err = PMSessionPrintDialog(&accepted);
  if (err != noErr) {
    PrintAlert("Unable to print", "Unable to print due to error ", err);
    return false;
  }
  return accepted;
}

void SetPrintRange(uint32_t first, uint32_t last) { PMSetPageRange(first, last); }

void PrintReportPages() {
  // Counts at the printed zoom, so that no row that the page cannot hold is lost.
  const uint8_t printing = gPrinting;
  gPrinting = 0;
  const int count = ReportPageCount();
  gPrinting = 1;
  uint32_t first = 0, last = 0;
  if (!JobRange(count, first, last)) {
    gPrinting = printing;
    NothingToPrint();
    return;
  }
  gPrintError = static_cast<int16_t>(PMSessionBeginDocument());
  if (gPrintError == noErr) {
    for (uint32_t p = first; p <= last; p++) {
      GrafPtr page = nullptr;
      gPrintError = static_cast<int16_t>(PMSessionBeginPage(&page));
      if (gPrintError != noErr) break;
      DrawReport(static_cast<int16_t>(p - 1));
      PMSessionEndPage();
    }
  }
  const OSStatus end = PMSessionEndDocument();
  if (gPrintError == noErr) gPrintError = static_cast<int16_t>(end);
  gPrinting = printing;
  // A range set for one student or assignment serves that job only.
  PMSessionDefaultPrintSettings();
}

void PrintGradebookPage(int16_t r0, int16_t r1, int16_t c0, int16_t c1) {
  if (c0 > gLastColumn) return;
  GrafPtr page = nullptr;
  gPrintError = static_cast<int16_t>(PMSessionBeginPage(&page));
  if (gPrintError != noErr) return;
  gMargin = S16(24 * gZoom / 5);
  DrawGradebookHeader();
  DrawGradebook(r0, r1, c0, c1);
  gMargin = 0;
  PMSessionEndPage();
}

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
  uint32_t first = 0, last = 0;
  if (!JobRange(across * down, first, last)) {
    NothingToPrint();
    return;
  }
  gPrintError = static_cast<int16_t>(PMSessionBeginDocument());
  for (uint32_t p = first; p <= last && gPrintError == noErr; p++) {
    const int rowBlock = static_cast<int>((p - 1) % down),
              colBlock = static_cast<int>((p - 1) / down);
    const int r0 = rowBlock * rp, r1 = std::min(lastStudent, r0 + rp - 1);
    int c0 = colBlock * cp, c1 = std::min<int>(gLastColumn, c0 + cp - 1);
    if (attendance) {
      if (colBlock > 0) c0 -= fwo;
      if (c1 < gLastColumn)
        c1 -= fwo;
      else if (c1 == gLastColumn && !(gLastColumn < c0 + cp))
        c1 -= lwo;
    }
    if (oneColumn) c0 = c1 = static_cast<int>(gSelAssignment);
    PrintGradebookPage(S16(r0), S16(r1), S16(std::max(0, c0)), S16(c1));
  }
  const OSStatus end = PMSessionEndDocument();
  if (gPrintError == noErr) gPrintError = static_cast<int16_t>(end);
  PMSessionDefaultPrintSettings();
}

namespace {
void AfterJob() {
  if (gPrintError != noErr)
    PrintAlert("Unable to print", "Unable to print due to error ", gPrintError);
}
}  // namespace

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
  AfterJob();
}

void PrintReport() {
  if (!gWindow) return;
  gPrintError = 0;
  AtPrintZoom([] { PrintReportPages(); });
  AfterJob();
}

void SetSeatingChartDrawers(SeatingHeaderDrawer header, SeatingPageDrawer page) {
  gSeatingHeader = header;
  gSeatingPage = page;
}

void PrintSeatingChartPage(int16_t r0, int16_t r1, int16_t c0, int16_t c1) {
  if (c0 > static_cast<int>(gSeatingChart.columns) - 1) return;
  GrafPtr page = nullptr;
  gPrintError = static_cast<int16_t>(PMSessionBeginPage(&page));
  if (gPrintError != noErr) return;
  gMargin = S16(24 * gZoom / 5);
  gSeatingHeader();
  gSeatingPage(r0, r1, c0, c1);
  gMargin = 0;
  PMSessionEndPage();
}

void PrintSeatingChartPages() {
  const int z = gZoom, l = 12 * z / 5, m = 24 * z / 5;
  const int rows = std::max<int>(1, gSeatingChart.rows);
  const int columns = std::max<int>(1, gSeatingChart.columns);
  const int rs = std::max(1, (PageHeight() - 5 * l - 2 * m) / (8 * z));
  const int cs = std::max(1, (PageWidth() - 2 * m) / (24 * z));
  const int down = (rows - 1) / rs + 1, across = (columns - 1) / cs + 1;
  uint32_t first = 0, last = 0;
  if (!JobRange(across * down, first, last)) {
    NothingToPrint();
    return;
  }
  gPrintError = static_cast<int16_t>(PMSessionBeginDocument());
  for (uint32_t p = first; p <= last && gPrintError == noErr; p++) {
    const int r0 = static_cast<int>((p - 1) % down) * rs;
    const int c0 = static_cast<int>((p - 1) / down) * cs;
    PrintSeatingChartPage(S16(r0), S16(std::min(rows - 1, r0 + rs - 1)), S16(c0),
                          S16(std::min(columns - 1, c0 + cs - 1)));
  }
  const OSStatus end = PMSessionEndDocument();
  if (gPrintError == noErr) gPrintError = static_cast<int16_t>(end);
  PMSessionDefaultPrintSettings();
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
  AfterJob();
}
