#include "marktally/shell/commands/host.h"

#include "marktally/shell/dialogs/exchange_dialogs.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/window.h"

PageContext WindowPage() {
  PageContext page;
  page.view = gCurrView;
  page.zoom = gZoom;
  page.printing = gPrinting;
  page.reportFont = gReportFont;
  page.reportSize = gReportSize;
  page.headerSize = gHeaderSize;
  return page;
}

void InstallReportHost() {
  ReportHost host;
  host.page = WindowPage;
  host.showExportProgress = ShowExportProgress;
  host.nextExportProgress = NextExportProgress;
  host.hideExportProgress = HideExportProgress;
  host.setExportProgress = SetExportProgress;
  host.showEmailProgress = ShowEmailProgress;
  host.showEmailOneProgress = ShowEmailOneProgress;
  host.nextEmailProgress = NextEmailProgress;
  host.hideEmailProgress = HideEmailProgress;
  host.deactivateWindow = DeactivateMainWindow;
  SetReportHost(host);
}
