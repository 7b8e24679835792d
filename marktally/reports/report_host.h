// What the report code takes from the program that shows it and what it asks of it,
// without knowing the window: the page context of the view shown (view, zoom, fonts,
// whether a job prints), the progress windows of long exports and mailings, and the
// window put back behind them. The shell installs its answers at start-up; until it has,
// pages draw at zoom 5 for no view and no progress shows.
#pragma once

#include <cstdint>
#include <string>

#include "marktally/common/platform.h"
#include "marktally/model/types.h"

// ViewKind: what the window shows; the report views pick their pages by it.
enum ViewKind : uint16_t {
  kGradebookView = 0,
  kAttendanceView = 1,
  kSeatingChartView = 2,
  kClassGradesView = 3,
  kClassSummaryView = 4,
  kAttendanceTotalsView = 5,
  kAttendanceSummaryView = 6,
  kStudentScoresView = 7,
  kStudentSummaryView = 8,
  kStudentAttendanceView = 9,
  kAssignmentScoresView = 10,
  kMissingAssignmentsView = 11,
  kMultipleClassesView = 12,
};

// The page a report draws on or counts for.
struct PageContext {
  uint16_t view = kGradebookView;
  int16_t zoom = 5;         // 5, 6 or 7; 5 while printing
  uint8_t printing = 0;     // a job prints: page counts come from the job's caches
  int16_t reportFont = 1;   // the reports' font and sizes at this zoom
  int16_t reportSize = 10;
  int16_t headerSize = 18;
};

struct ReportHost {
  PageContext (*page)() = nullptr;
  void (*showExportProgress)(ConstStringPtr text, bool multiple) = nullptr;
  void (*nextExportProgress)(ConstStringPtr text) = nullptr;
  void (*hideExportProgress)(bool multiple) = nullptr;
  // The whole line and the bar at done of total (a total of 0 leaves the bar).
  void (*setExportProgress)(ConstStringPtr line, uint64_t done, uint64_t total) = nullptr;
  void (*showEmailProgress)(ConstStringPtr text) = nullptr;
  void (*showEmailOneProgress)(ConstStringPtr text) = nullptr;
  void (*nextEmailProgress)(ConstStringPtr text) = nullptr;
  void (*hideEmailProgress)() = nullptr;
  // The document window goes inactive behind an alert or progress window.
  void (*deactivateWindow)() = nullptr;
};
void SetReportHost(const ReportHost& host);

// The context in force: the innermost PageOverride, else the host's, else the defaults.
PageContext CurrentPage();

// A context for its lifetime (a print job's pages, a test's view); nests.
class PageOverride {
 public:
  explicit PageOverride(const PageContext& context);
  ~PageOverride();
  PageOverride(const PageOverride&) = delete;
  PageOverride& operator=(const PageOverride&) = delete;

 private:
  const PageContext* outer_ = nullptr;
  PageContext context_;
};

// The host's progress windows and window; each does nothing until the host installs it.
void BeginExportProgress(ConstStringPtr text, bool multiple);
void StepExportProgress(ConstStringPtr text);
void EndExportProgress(bool multiple);
void SetExportProgressLine(ConstStringPtr line, uint64_t done, uint64_t total);
void BeginEmailProgress(ConstStringPtr text);
void BeginEmailOneProgress(ConstStringPtr text);
void StepEmailProgress(ConstStringPtr text);
void EndEmailProgress();
void DeactivateHostWindow();

// An alert with OK, shown with the arrow cursor (texts in Mac Roman).
void Alert(AlertKind kind, const std::string& title, const std::string& text);
// A Yes/No alert; true when the answer is Yes.
bool AskYes(AlertKind kind, const std::string& title, const std::string& text);
