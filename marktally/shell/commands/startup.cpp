#include "marktally/shell/commands/startup.h"

#include "marktally/model/dates.h"
#include "marktally/model/platform.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/shell/dialogs/alerts.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/eventloop.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/input.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/dialogs/nav_dialogs.h"
#include "marktally/shell/dialogs/options_dialog.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/dialogs/password_dialogs.h"
#include "marktally/shell/commands/preferences.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/commands/print_commands.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/seating_view.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"

void StartUp() {
  MaxApplicationZone();
  SetupToolbox();
  const uint32_t now = GetDateTime();
  gRandSeed = static_cast<int32_t>(now);
  gLastAssignDate = now;
  // The tables hold a class from the first moment, so that nothing reads them empty.
  NewClass();
  SetChanged(0);
  LoadZoom();
  SetupMenus();
  LoadFramePlacement();
  SetupThemes();
  InstallDocumentChangedHook();
  SetThemeCursor(kThemeArrowCursor);
  SetupFilters();
  SetupDialogs();
  SetupOptions();
  InstallAlertSink();
  InstallPasswordLock();
  SetupPrinting();
  SetupRotation();
  gWindowVScrollProc = NewControlActionUPP(WindowVProc);
  gWindowHScrollProc = NewControlActionUPP(WindowHProc);
  gReportVScrollProc = NewControlActionUPP(ReportVProc);
  gReportHScrollProc = NewControlActionUPP(ReportHProc);
  gSeatingVScrollProc = NewControlActionUPP(SeatingVProc);
  gSeatingHScrollProc = NewControlActionUPP(SeatingHProc);
  SetSeatingChartDrawers(DrawSeatingChartHeader, DrawSeatingChart);
  SetupAEHandlers();
  SetupDateFormat();
  SetupRecentAssigns();
  CheckNav();
  TEFromScrap();
  LoadRecentFiles();
  LoadRecentAssigns();
  RegisterAppearanceClient();
  AdjustMenus();
}

void ShutDown() {
  CleanupOptions();
  CleanupPrinting();
  CleanupRotation();
  SaveZoom();
  SaveWindowPlacement();
  SaveRecentFiles();
  SaveRecentAssigns();
  UnregisterAppearanceClient();
}
