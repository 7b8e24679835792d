#include "marktally/shell/window/pagesize.h"

#include "marktally/model/tables.h"
#include "marktally/shell/commands/host.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/quickdraw.h"

int16_t gReportFont = 1;
int16_t gReportSize = 12;
int16_t gHeaderSize = 21;
int16_t gPageNoFont = 1;
int16_t gPageNoSize = 9;
int16_t gMargin = 0;
uint8_t gPrinting = 0;

namespace {

int16_t FontNumber(const char* name) {
  int16_t number = 0;
  GetFNum(PStr(name), &number);
  return number == 0 ? 1 : number;
}

}  // namespace

void SetupPrinting() {
  InstallReportHost();
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

int16_t PageWidth() { return PageWidthAt(gZoom); }

int16_t PageHeight() { return PageHeightAt(gZoom); }
