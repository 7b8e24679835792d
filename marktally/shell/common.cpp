#include "marktally/shell/common.h"

#include "marktally/common/str.h"
#include "marktally/toolbox/desktop.h"

void Alert(AlertKind kind, const std::string& title, const std::string& text) {
  InitCursor();
  ShowModelAlert(kind, kAlertOK, PStr(title), PStr(text));
}

bool AskYes(AlertKind kind, const std::string& title, const std::string& text) {
  InitCursor();
  return ShowModelAlert(kind, kAlertYesNo, PStr(title), PStr(text)) == 1;
}
