#include "marktally/shell/pagesize.h"

#include "marktally/model/tables.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/quickdraw.h"

int16_t gReportFont = 1;
int16_t gReportSize = 12;
int16_t gHeaderSize = 21;
int16_t gPageNoFont = 1;
int16_t gPageNoSize = 9;
int16_t gMargin = 0;
uint8_t gPrinting = 0;
int16_t gPageWidth = 552;
int16_t gPageHeight = 752;

namespace {

int16_t FontNumber(const char* name) {
  int16_t number = 0;
  GetFNum(PStr(name), &number);
  return number == 0 ? 1 : number;
}

// Sizes are compared as unsigned after taking 216 off, so that negative ones fail too.
bool ValidWidth(int16_t w) { return static_cast<uint16_t>(w - 216) <= 24480 - 216; }
bool ValidHeight(int16_t h) { return static_cast<uint16_t>(h - 216) <= 31680 - 216; }

}  // namespace

void SetupPrinting() {
  gMargin = 0;
  gPrinting = 0;
  gPageNoSize = 9;
  gReportSize = static_cast<int16_t>(2 * gZoom);
  gHeaderSize = static_cast<int16_t>(18 * gZoom / 5);
  gPageNoFont = FontNumber("Geneva");
  gReportFont = FontNumber("Arial");
  gPageWidth = 552;
  gPageHeight = 752;
  SetDefaultPageSetup();
}

void CleanupPrinting() {}

int16_t PageWidth() {
  if (!ValidWidth(gPageWidth)) gPageWidth = 576;
  return static_cast<int16_t>(gPageWidth * gZoom / 5);
}

int16_t PageHeight() {
  if (!ValidHeight(gPageHeight)) gPageHeight = 752;
  return static_cast<int16_t>(gPageHeight * gZoom / 5);
}
