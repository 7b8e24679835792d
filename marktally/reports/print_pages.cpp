#include "marktally/reports/print_pages.h"

#include <algorithm>
#include <string>

#include "marktally/model/accessors.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/pagination.h"
#include "marktally/reports/report_host.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/printing.h"

int16_t gPrintError = 0;
double gPageRect[4] = {0, 0, 752, 552};
int16_t gPageWidth = 552;
int16_t gPageHeight = 752;

namespace {

// Sizes are compared as unsigned after taking 216 off, so that negative ones fail too.
bool ValidWidth(int16_t w) { return static_cast<uint16_t>(w - 216) <= 24480 - 216; }
bool ValidHeight(int16_t h) { return static_cast<uint16_t>(h - 216) <= 31680 - 216; }

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

int16_t PageWidthAt(int zoom) {
  if (!ValidWidth(gPageWidth)) gPageWidth = 576;
  return static_cast<int16_t>(gPageWidth * zoom / 5);
}

int16_t PageHeightAt(int zoom) {
  if (!ValidHeight(gPageHeight)) gPageHeight = 752;
  return static_cast<int16_t>(gPageHeight * zoom / 5);
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

void PrintPageLoop(int count, const std::function<void(uint32_t page)>& draw,
                   const std::function<bool(uint32_t page)>& hasPage) {
  uint32_t first = 0, last = 0;
  if (!JobRange(count, first, last)) {
    NothingToPrint();
    return;
  }
  gPrintError = static_cast<int16_t>(PMSessionBeginDocument());
  for (uint32_t p = first; p <= last && gPrintError == noErr; p++) {
    if (hasPage && !hasPage(p)) continue;
    GrafPtr page = nullptr;
    gPrintError = static_cast<int16_t>(PMSessionBeginPage(&page));
    if (gPrintError != noErr) break;
    draw(p);
    PMSessionEndPage();
  }
  const OSStatus end = PMSessionEndDocument();
  if (gPrintError == noErr) gPrintError = static_cast<int16_t>(end);
  PMSessionDefaultPrintSettings();
}

void ReportPrintError() {
  if (gPrintError != noErr)
    PrintAlert("Unable to print", "Unable to print due to error ", gPrintError);
}

void PrintReportPages() {
  // Counts at the printed zoom, so that no row that the page cannot hold is lost; the
  // drawing then reads the counts that counting cached.
  PageContext page = CurrentPage();
  page.printing = 0;
  int count = 0;
  {
    PageOverride counting(page);
    count = ReportPageCount();
  }
  page.printing = 1;
  PageOverride drawing(page);
  PrintPageLoop(count, [](uint32_t p) { DrawReport(static_cast<int16_t>(p - 1)); });
}
