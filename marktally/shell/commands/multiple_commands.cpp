#include "marktally/shell/commands/multiple_commands.h"

#include "marktally/model/multiple.h"
#include "marktally/model/platform.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/print_pages.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/dialogs/nav_dialogs.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"


void DoShowMultipleClasses() {
  if (!CloseEditor(true)) return;
  DoCloseCmd();
  if (gWindow) return;  // the teacher kept the class open
  gCurrView = kMultipleClassesView;
  NewMultipleClassReport();
  UpdatePageInfo();
  if (GetOpenMultiple()) {
    GenerateMultipleReport();
    // The tables hold the last class read; the window is not its document.
    SetChanged(0);
    MakeNewWindow(PStr("Multiple Class Report"));
    AdjustScrollBars();
    AdjustMenus();
  } else {
    // Nothing chosen: no report, and the next class opens in its own grid.
    gCurrView = kGradebookView;
  }
  CantUndo();
}
