#include "marktally/toolbox/printing.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdlib>
#include <memory>

#include "marktally/toolbox/internal.h"

namespace {

// A letter page with the classic printable area of 552 by 752 points.
QPageLayout DefaultLayout() {
  return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                     QMarginsF(30, 20, 30, 20), QPageLayout::Point);
}

struct PrintState {
  // The printer is made only for a dialog or a job: until then the page format is ours.
  std::unique_ptr<QPrinter> printer;
  QPageLayout layout = DefaultLayout();
  double scale = 100;
  int16_t orientation = kPMPortrait;
  uint32_t first = 1;
  uint32_t last = kPMPrintAllPages;
  std::string pdfPath;
  bool scripted = false;
  bool scriptedAccept = true;
  double scriptedScale = 0;
  int16_t scriptedOrientation = kPMPortrait;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<GrafPort> page;
  GrafPort* savedPort = nullptr;
  int pages = 0;
};

PrintState& PS() {
  static PrintState state = [] {
    PrintState ps;
    // The dialog-free road of scripts and tests: every job goes into this PDF file.
    if (const char* path = std::getenv("MARKTALLY_PRINT_TO_PDF")) ps.pdfPath = path;
    return ps;
  }();
  return state;
}

// The printable area turns with the paper: its margins turn with it.
void ApplyOrientation(QPageLayout& layout) {
  const int16_t o = PS().orientation;
  const auto wanted = o == kPMLandscape || o == kPMReverseLandscape ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait;
  if (layout.orientation() == wanted) return;
  const QMarginsF m = layout.margins();
  layout.setOrientation(wanted);
  layout.setMargins(QMarginsF(m.top(), m.left(), m.bottom(), m.right()));
}

QPrinter& Printer() {
  PrintState& ps = PS();
  if (!ps.printer) ps.printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrinter& p = *ps.printer;
  if (ps.painter) return p;  // a job runs: its printer stays as it began
  if (!ps.pdfPath.empty()) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(ps.pdfPath));
  }
  ApplyOrientation(ps.layout);
  p.setPageLayout(ps.layout);
  return p;
}

double Factor() { return PS().scale > 0 ? PS().scale / 100.0 : 1.0; }

bool Scripted() { return PS().scripted || !PS().pdfPath.empty(); }

}  // namespace

void PMSetScale(double scale) { PS().scale = scale; }
double PMGetScale() { return PS().scale; }
void PMSetOrientation(int16_t orientation) { PS().orientation = orientation; }
int16_t PMGetOrientation() { return PS().orientation; }

void PMGetAdjustedPageRect(double rect[4]) {
  ApplyOrientation(PS().layout);
  const QRectF paint = PS().layout.paintRect(QPageLayout::Point);
  const double f = Factor();
  rect[0] = 0;
  rect[1] = 0;
  rect[2] = paint.height() / f;
  rect[3] = paint.width() / f;
}

OSStatus PMSessionPageSetupDialog(bool* accepted) {
  *accepted = false;
  if (Scripted()) {
    *accepted = PS().scriptedAccept;
    if (*accepted && PS().scriptedScale > 0) {
      PS().scale = PS().scriptedScale;
      PS().orientation = PS().scriptedOrientation;
    }
    return noErr;
  }
  QPrinter& printer = Printer();
  QPageSetupDialog dialog(&printer);
  *accepted = dialog.exec() == QDialog::Accepted;
  if (*accepted) {
    PS().layout = printer.pageLayout();
    const bool landscape = PS().layout.orientation() == QPageLayout::Landscape;
    PS().orientation = landscape ? kPMLandscape : kPMPortrait;
  }
  return noErr;
}

void PMSessionDefaultPrintSettings() {
  PS().first = 1;
  PS().last = kPMPrintAllPages;
}

OSStatus PMSessionPrintDialog(bool* accepted) {
  *accepted = false;
  if (Scripted()) {
    *accepted = PS().scriptedAccept;
    return noErr;
  }
  QPrinter& printer = Printer();
  if (QPrinterInfo::availablePrinterNames().isEmpty() && printer.outputFileName().isEmpty())
    printer.setOutputFormat(QPrinter::PdfFormat);
  QPrintDialog dialog(&printer);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  *accepted = dialog.exec() == QDialog::Accepted;
  if (*accepted && printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    PS().first = static_cast<uint32_t>(printer.fromPage());
    PS().last = static_cast<uint32_t>(std::max(printer.fromPage(), printer.toPage()));
  } else {
    PMSessionDefaultPrintSettings();
  }
  // Our own loops pick the pages: the printer prints every page it is given.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  return noErr;
}

void PMSetPageRange(uint32_t first, uint32_t last) {
  PS().first = first;
  PS().last = last;
}

void PMGetPageRange(uint32_t* first, uint32_t* last) {
  *first = PS().first;
  *last = PS().last;
}

OSStatus PMSessionBeginDocument() {
  PrintState& ps = PS();
  if (ps.painter) return kPMGeneralError;
  QPrinter& printer = Printer();
  if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
    return kPMNoDefaultPrinter;
  ps.pages = 0;
  return noErr;
}

OSStatus PMSessionBeginPage(GrafPtr* page) {
  PrintState& ps = PS();
  QPrinter& printer = Printer();
  if (!ps.painter) {
    ps.painter = std::make_unique<QPainter>();
    if (!ps.painter->begin(&printer)) {
      ps.painter.reset();
      return kPMGeneralError;
    }
  } else if (!printer.newPage()) {
    return kPMGeneralError;
  }
  double rect[4] = {};
  PMGetAdjustedPageRect(rect);
  const int width = static_cast<int>(rect[3]), height = static_cast<int>(rect[2]);
  ps.page = std::make_unique<GrafPort>();
  // Paper takes the page's outlines and fills alone: no image of it is kept.
  InitPaperPort(ps.page.get(), width, height);
  ps.page->gworld = true;
  // Points of the page at the format's scale, on the printer's own resolution.
  const double dots = printer.resolution() / 72.0 * Factor();
  ps.painter->resetTransform();
  ps.painter->scale(dots, dots);
  ps.page->mirror = ps.painter.get();
  ps.savedPort = TB().current;
  TB().current = ps.page.get();
  PenNormal();
  ForeColor(blackColor);
  BackColor(whiteColor);
  ps.pages++;
  *page = ps.page.get();
  return noErr;
}

OSStatus PMSessionEndPage() {
  PrintState& ps = PS();
  if (!ps.page) return kPMGeneralError;
  if (TB().current == ps.page.get()) TB().current = ps.savedPort;
  ps.page.reset();
  return noErr;
}

OSStatus PMSessionEndDocument() {
  PrintState& ps = PS();
  if (ps.page) PMSessionEndPage();
  if (ps.painter) {
    const bool ok = ps.painter->end();
    ps.painter.reset();
    if (!ok) return kPMGeneralError;
  }
  return noErr;
}

int PMPagesPrinted() { return PS().pages; }

void PMPrintToFile(const std::string& pdfPath) {
  PrintState& ps = PS();
  ps.pdfPath = pdfPath;
  if (pdfPath.empty() && ps.printer) {
    ps.printer->setOutputFileName(QString());
    ps.printer->setOutputFormat(QPrinter::NativeFormat);
  }
}

void PMScriptDialogAnswers(bool accept) {
  PS().scripted = true;
  PS().scriptedAccept = accept;
}

void PMScriptPageSetup(double scale, int16_t orientation) {
  PS().scripted = true;
  PS().scriptedScale = scale;
  PS().scriptedOrientation = orientation;
}

void PMResetForTesting() {
  PrintState& ps = PS();
  PMSessionEndDocument();
  ps.pdfPath.clear();
  ps.printer.reset();
  ps.layout = DefaultLayout();
  ps.scale = 100;
  ps.orientation = kPMPortrait;
  ps.scripted = false;
  ps.scriptedAccept = true;
  ps.scriptedScale = 0;
  PMSessionDefaultPrintSettings();
  ps.pages = 0;
}
