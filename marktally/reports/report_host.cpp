#include "marktally/reports/report_host.h"

#include "marktally/common/str.h"
#include "marktally/toolbox/desktop.h"

namespace {

ReportHost gHost;
const PageContext* gOverride = nullptr;

}  // namespace

void SetReportHost(const ReportHost& host) { gHost = host; }

PageContext CurrentPage() {
  if (gOverride) return *gOverride;
  if (gHost.page) return gHost.page();
  return PageContext{};
}

PageOverride::PageOverride(const PageContext& context) : outer_(gOverride), context_(context) {
  gOverride = &context_;
}

PageOverride::~PageOverride() { gOverride = outer_; }

void BeginExportProgress(ConstStringPtr text, bool multiple) {
  if (gHost.showExportProgress) gHost.showExportProgress(text, multiple);
}
void StepExportProgress(ConstStringPtr text) {
  if (gHost.nextExportProgress) gHost.nextExportProgress(text);
}
void SetExportProgressLine(ConstStringPtr line, uint64_t done, uint64_t total) {
  if (gHost.setExportProgress) gHost.setExportProgress(line, done, total);
}
void EndExportProgress(bool multiple) {
  if (gHost.hideExportProgress) gHost.hideExportProgress(multiple);
}
void BeginEmailProgress(ConstStringPtr text) {
  if (gHost.showEmailProgress) gHost.showEmailProgress(text);
}
void BeginEmailOneProgress(ConstStringPtr text) {
  if (gHost.showEmailOneProgress) gHost.showEmailOneProgress(text);
}
void StepEmailProgress(ConstStringPtr text) {
  if (gHost.nextEmailProgress) gHost.nextEmailProgress(text);
}
void EndEmailProgress() {
  if (gHost.hideEmailProgress) gHost.hideEmailProgress();
}
void DeactivateHostWindow() {
  if (gHost.deactivateWindow) gHost.deactivateWindow();
}

void Alert(AlertKind kind, const std::string& title, const std::string& text) {
  InitCursor();
  ShowModelAlert(kind, kAlertOK, PStr(title), PStr(text));
}

bool AskYes(AlertKind kind, const std::string& title, const std::string& text) {
  InitCursor();
  return ShowModelAlert(kind, kAlertYesNo, PStr(title), PStr(text)) == 1;
}
