#include "marktally/shell/window/report_view.h"

#include <algorithm>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/model/multiple.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/commands/print_commands.h"
#include "marktally/reports/web_site.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/commands/export_commands.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/windows.h"

uint16_t gPrintStu = 0;
uint16_t gPrintAss = 0;
ControlActionUPP gReportVScrollProc = nullptr;
ControlActionUPP gReportHScrollProc = nullptr;

namespace {


int Step() { return 2 * ZoomLine(); }
// A page's height on screen, never 0 (it divides).
int PageStride() { return std::max<int>(1, PageHeight()); }

void FramePage(int pw, int ph) {
  const int l = ZoomLine();
  MoveTo(-1, -1);
  LineTo(S16(pw - 1), -1);
  LineTo(S16(pw - 1), S16(ph - l - 1));
  LineTo(-1, S16(ph - l - 1));
}

void PaintGray(const Rect& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const RGBColor gray{0x8888, 0x8888, 0x8888};
  RGBForeColor(&gray);
  PaintRect(&r);
  ForeColor(blackColor);
}

// The first scroll value whose top lies on the page: rounded up, so that the page
// placard and a click at the top name that page, not the one before.
int ValueOfPage(int page) { return (PageStride() * page + Step() - 1) / Step(); }

// Sets the vertical value and shows the pages there.
void ScrollTo(int value) {
  if (!gVScrollBar) return;
  SetVScrollValue(value);
  ComputeReportPage();
  ForceUpdate();
}

int PagesPerShownStudent() {
  if (gCurrView == kMultipleClassesView) return PagesPerMultiple();
  if (gCurrView == kStudentAttendanceView) return PagesPerAttendance();
  if (gCurrView == kStudentScoresView) return std::max<int>(1, PagesPerStudent());
  return 1;
}

// The students that the missing-work report lists, one page each.
std::vector<int16_t> MissingStudents() {
  std::vector<int16_t> list;
  for (int s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++)
    if ((gReportOptions & 0x4000) || NumMissing(static_cast<int16_t>(s)) > 0)
      list.push_back(static_cast<int16_t>(s));
  return list;
}

Str255 ItemText(const char* verb, ConstStringPtr name) {
  Str255 text = PStr(verb);
  Append(text, name);
  AppendC(text, "\xC9");
  return text;
}

void SizeMenu(MenuRef menu, int count, const char* placeholder) {
  while (CountMenuItems(menu) > count) DeleteMenuItem(menu, CountMenuItems(menu));
  while (CountMenuItems(menu) < count) AppendMenuItemText(menu, PStr(placeholder));
}

// The export of one student waits for its writer.
void StudentItems(MenuRef menu, int16_t s) {
  const ConstStringPtr name = gStudents[s].name;
  SetMenuItemText(menu, 1, ItemText("Print ", name));
  SetMenuItemText(menu, 2, ItemText("Export ", name));
  SetMenuItemText(menu, 3, ItemText("Email ", name));
  EnableMenuItem(menu, 1);
  EnableMenuItem(menu, 2);
  EnableMenuItem(menu, 3);
  SetMenuItemText(menu, 4, PStr("-"));
  DisableMenuItem(menu, 4);
}

void ShowReport(uint16_t view) {
  if (!CloseEditor(false)) return;
  gCurrView = view;
  TopOfPage();
  AdjustScrollBars();
  ComputeReportPage();
  ForceUpdate();
  CantUndo();
}

// The report of one student or assignment at the printed zoom: its first page and
// its number of pages.
void PrintPages(int first, int count) {
  if (!PrintJobDialog()) return;
  UpdateWindow();
  SetPrintRange(static_cast<uint32_t>(first + 1), static_cast<uint32_t>(first + count));
  gPrinting = 1;
  PrintReport();
  gPrinting = 0;
}

}  // namespace

// ---- Drawing --------------------------------------------------------------------------

void UpdateReport() {
  UpdateContent(
      [](const Rect& content) {
        const int ph = PageStride(), pw = PageWidth() + 2 * gMargin, l = ZoomLine();
        const int top = Step() * VScrollValue(), left = Step() * HScrollValue();
        const int height = content.bottom - content.top, width = content.right - content.left;
        const int p0 = top / ph, p1 = (height + top) / ph;
        const int n = MaxReportPages();
        for (int p = p0; p <= p1; p++) {
          const int oy = top - p * ph;
          SetOrigin(S16(left), S16(oy));
          Rect area = content;
          OffsetRect(&area, S16(left), S16(oy));
          ClipRect(&area);
          const int right = left + width, bottom = oy + height;
          if (p <= n - 1) {
            FramePage(pw, ph);
            PaintGray(Rect{0, S16(pw), S16(ph), S16(right)});
            PaintGray(Rect{S16(ph - l), 0, S16(ph - 1), S16(pw)});
            const Rect page{S16(std::max(oy, 0)), S16(left), S16(std::min(bottom, ph - l)),
                            S16(std::min(right, pw) - 2)};
            ClipRect(&page);
            DrawReport(S16(p));
          } else {
            PaintGray(Rect{-1, S16(left), S16(bottom), S16(right)});
          }
        }
        SetOrigin(0, 0);
      },
      nullptr);
}

int ReportPageAt(Point local) { return (local.v + Step() * VScrollValue()) / PageStride(); }

void ScrollReport(int dh, int dv) {
  if (dh == 0 && dv == 0) return;
  ComputeReportPage();
  ForceUpdate();
}

// ---- Scrolling ------------------------------------------------------------------------

void HandleReportScrolls(int16_t, Point where, ControlRef control) {
  TrackControl(control, where, control == gVScrollBar ? gReportVScrollProc : gReportHScrollProc);
}

namespace {
void ReportProc(ControlRef control, int16_t part, int page, bool vertical) {
  const int value = GetControl32BitValue(control);
  const int min = GetControl32BitMinimum(control), max = GetControl32BitMaximum(control);
  page = std::max(page, 1);
  int next = value;
  switch (part) {
    case kControlUpButtonPart:
      next = std::max(min, value - 1);
      break;
    case kControlDownButtonPart:
      next = std::min(max, value + 1);
      break;
    case kControlPageUpPart:
      next = std::max(min, value - page);
      break;
    case kControlPageDownPart:
      next = std::min(max, value + page);
      break;
    default:
      break;
  }
  if (next != value) SetControl32BitValue(control, next);
  // The thumb has moved the value itself; the view follows in every case.
  if (vertical)
    ScrollReport(0, 1);
  else
    ScrollReport(1, 0);
}
}  // namespace

void ReportVProc(ControlRef control, int16_t part) {
  ReportProc(control, part, VPageStep(), true);
}
void ReportHProc(ControlRef control, int16_t part) {
  ReportProc(control, part, HPageStep(), false);
}

namespace {
void ReportWheel(ControlRef bar, int32_t delta, bool vertical) {
  if (!bar) return;
  const int value = GetControl32BitValue(bar);
  const int64_t wanted = static_cast<int64_t>(value) - delta;
  const int next = static_cast<int>(
      std::clamp<int64_t>(wanted, GetControl32BitMinimum(bar), GetControl32BitMaximum(bar)));
  if (next == value) return;
  SetControl32BitValue(bar, next);
  if (vertical)
    ScrollReport(0, value - next);
  else
    ScrollReport(value - next, 0);
}
}  // namespace

void HandleReportHWheel(int32_t delta) { ReportWheel(gHScrollBar, delta, false); }
void HandleReportVWheel(int32_t delta) { ReportWheel(gVScrollBar, delta, true); }

// ---- Clicks and pop-ups ---------------------------------------------------------------

void HandleReportClick(const EventRecord& event, Point local) {
  const int page = ReportPageAt(local);
  if (page < 0 || page >= MaxReportPages()) return;
  switch (gCurrView) {
    case kStudentScoresView:
    case kStudentSummaryView:
    case kStudentAttendanceView:
      PopUpStudents(event.where, page);
      break;
    case kAssignmentScoresView:
      PopUpAssignments(event.where, page);
      break;
    case kMissingAssignmentsView:
      if (gReportOptions & 0x8000) PopUpMissing(event.where, page);
      break;
    case kMultipleClassesView:
      PopUpMultiple(event.where, page);
      break;
    default:
      break;
  }
}

void AdjustStudentsMenu() {
  MenuRef menu = GetMenuHandle(kStudentsMenu);
  if (!menu) return;
  const int n = NumStudents();
  SizeMenu(menu, n + 4, "student");
  const int s = std::min(gPrintStu / PagesPerShownStudent(), std::max(0, n - 1));
  StudentItems(menu, static_cast<int16_t>(s));
  for (int k = 0; k < n; k++) {
    SetMenuItemText(menu, S16(k + 5), gStudents[k].name);
    EnableMenuItem(menu, S16(k + 5));
  }
}

void PopUpStudents(Point where, int page) {
  MenuRef menu = GetMenuHandle(kStudentsMenu);
  if (!menu || NumStudents() == 0) return;
  gPrintStu = static_cast<uint16_t>(page);
  AdjustStudentsMenu();
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleStudentsChoice(static_cast<int16_t>(choice & 0xFFFF));
}

void HandleStudentsChoice(int16_t item) {
  const int n = NumStudents();
  if (item == 1) {
    DoPrintThisStudent();
  } else if (item == 2 && n > 0) {
    ExportSingleStudent(static_cast<int16_t>(
        std::min(gPrintStu / PagesPerShownStudent(), std::max(0, n - 1))));
  } else if (item == 3 && n > 0) {
    const int s = std::min(gPrintStu / PagesPerShownStudent(), n - 1);
    DoEmailSingleReport(static_cast<int16_t>(s), static_cast<int16_t>(gCurrView));
  } else if (item >= 5 && item < 5 + n) {
    ScrollTo(ValueOfPage(PagesPerShownStudent() * (item - 5)));
  }
}

void AdjustMultipleMenu() {
  MenuRef menu = GetMenuHandle(kMultipleMenu);
  if (!menu) return;
  const int n = std::clamp<int>(NumMultipleStudents(), 0, kMaxMultipleStudents);
  SizeMenu(menu, n + 2, "student");
  if (n > 0) {
    const int s = std::min(gPrintStu / PagesPerMultiple(), n - 1);
    SetMenuItemText(menu, 1, ItemText("Print ", gMultipleStudents[s].name));
    EnableMenuItem(menu, 1);
  } else {
    SetMenuItemText(menu, 1, PStr("Print"));
    DisableMenuItem(menu, 1);
  }
  SetMenuItemText(menu, 2, PStr("-"));
  DisableMenuItem(menu, 2);
  for (int k = 0; k < n; k++) {
    SetMenuItemText(menu, S16(k + 3), gMultipleStudents[k].name);
    EnableMenuItem(menu, S16(k + 3));
  }
}

void PopUpMultiple(Point where, int page) {
  MenuRef menu = GetMenuHandle(kMultipleMenu);
  if (!menu) return;
  gPrintStu = static_cast<uint16_t>(std::max(0, page));
  AdjustMultipleMenu();
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  HandleMultipleChoice(static_cast<int16_t>(choice & 0xFFFF));
}

void HandleMultipleChoice(int16_t item) {
  const int n = NumMultipleStudents();
  if (item == 1 && n > 0)
    DoPrintThisStudent();
  else if (item >= 3 && item < 3 + n)
    ScrollTo(ValueOfPage(PagesPerMultiple() * (item - 3)));
}

void AdjustMissingMenu() {
  MenuRef menu = GetMenuHandle(kMissingMenu);
  if (!menu) return;
  const std::vector<int16_t> listed = MissingStudents();
  const int n = static_cast<int>(listed.size());
  SizeMenu(menu, n + 4, "student");
  if (n == 0) return;
  StudentItems(menu, listed[std::min<int>(gPrintStu, n - 1)]);
  for (int k = 0; k < n; k++) {
    SetMenuItemText(menu, S16(k + 5), gStudents[listed[k]].name);
    EnableMenuItem(menu, S16(k + 5));
  }
}

void PopUpMissing(Point where, int page) {
  MenuRef menu = GetMenuHandle(kMissingMenu);
  if (!menu) return;
  if ((gReportOptions & 0xC000) == 0x8000 && NumAssignments() == 0) return;
  if (page >= static_cast<int>(MissingStudents().size())) return;
  gPrintStu = static_cast<uint16_t>(page);
  AdjustMissingMenu();
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleMissingChoice(static_cast<int16_t>(choice & 0xFFFF));
}

void HandleMissingChoice(int16_t item) {
  const int n = static_cast<int>(MissingStudents().size());
  if (item == 1) {
    DoPrintThisStudent();
  } else if (item == 2 && n > 0) {
    ExportSingleStudent(MissingStudents()[std::min<int>(gPrintStu, n - 1)]);
  } else if (item == 3 && n > 0) {
    const std::vector<int16_t> listed = MissingStudents();
    DoEmailSingleReport(listed[std::min<int>(gPrintStu, n - 1)], static_cast<int16_t>(gCurrView));
  } else if (item >= 5 && item < 5 + n) {
    ScrollTo(ValueOfPage(item - 5));
  }
}

void AdjustAssignmentsMenu() {
  MenuRef menu = GetMenuHandle(kAssignmentsMenu);
  if (!menu) return;
  const int n = NumAssignments();
  SizeMenu(menu, n + 2, "assignment");
  const int t = std::min<int>(gCurrentTerm, kMaxTerms - 1);
  const int pages = std::max<int>(1, PagesPerAssignment());
  const int shown = NamedAssignment(gPrintAss / pages);
  SetMenuItemText(menu, 1, ItemText("Print ", gAssignments[t][shown].name));
  EnableMenuItem(menu, 1);
  SetMenuItemText(menu, 2, PStr("-"));
  DisableMenuItem(menu, 2);
  for (int k = 0; k < n; k++) {
    SetMenuItemText(menu, S16(k + 3), gAssignments[t][NamedAssignment(k)].name);
    EnableMenuItem(menu, S16(k + 3));
  }
}

void PopUpAssignments(Point where, int page) {
  MenuRef menu = GetMenuHandle(kAssignmentsMenu);
  if (!menu || NumAssignments() == 0) return;
  gPrintAss = static_cast<uint16_t>(page);
  AdjustAssignmentsMenu();
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleAssignmentsChoice(static_cast<int16_t>(choice & 0xFFFF));
}

void HandleAssignmentsChoice(int16_t item) {
  const int n = NumAssignments();
  if (item == 1) {
    DoPrintThisAssignment();
    return;
  }
  if (item < 3 || item >= 3 + n || !gVScrollBar) return;
  const int pages = std::max<int>(1, PagesPerAssignment());
  int value = (item - 3) * PageStride() * pages / Step();
  // Truncation can leave the value on the page before: step down until it shows the
  // chosen assignment.
  for (int k = 0; k < 4; k++) {
    const int page = (ZoomLine() + value * Step()) / PageStride();
    if (page / pages >= item - 3) break;
    value++;
  }
  ScrollTo(value);
}

// ---- Commands ---------------------------------------------------------------------------

void DoShowClassGrades() { ShowReport(kClassGradesView); }
void DoShowClassSummary() { ShowReport(kClassSummaryView); }
void DoShowAttendanceTotals() {
  ComputeAttendanceTotals();
  ShowReport(kAttendanceTotalsView);
}
void DoShowAttendanceSummary() { ShowReport(kAttendanceSummaryView); }

namespace {
void ShowStudentReport(uint16_t view) {
  gReportStudent = gSelStudent;
  ShowReport(view);
  if (gReportStudent == kNone || gCurrView != view) return;
  if (view == kMissingAssignmentsView) {
    if (!(gReportOptions & 0x8000)) return;
    const std::vector<int16_t> listed = MissingStudents();
    const auto at = std::find(listed.begin(), listed.end(), static_cast<int16_t>(gReportStudent));
    if (at != listed.end()) ScrollTo(ValueOfPage(static_cast<int>(at - listed.begin())));
    return;
  }
  ScrollTo(ValueOfPage(PagesPerShownStudent() * gReportStudent));
}
}  // namespace

void DoShowStudentScores() { ShowStudentReport(kStudentScoresView); }
void DoShowStudentSummary() { ShowStudentReport(kStudentSummaryView); }
void DoShowStudentAttendance() { ShowStudentReport(kStudentAttendanceView); }
void DoShowMissingAssignments() { ShowStudentReport(kMissingAssignmentsView); }

void DoShowAssignmentScores() {
  gReportAssignment = gSelAssignment;
  ShowReport(kAssignmentScoresView);
  if (gReportAssignment == kNone || gCurrView != kAssignmentScoresView) return;
  const int t = std::min<int>(gCurrentTerm, kMaxTerms - 1);
  int named = 0;
  for (int a = 0; a < static_cast<int>(gReportAssignment) && a < kMaxAssignments; a++)
    if (!gAssignments[t][a].name.empty()) named++;
  HandleAssignmentsChoice(static_cast<int16_t>(named + 3));
}

void DoPageSetupCmd() {
  InitCursor();
  DeactivateMainWindow();
  const bool accepted = PageSetupDialog();
  ActivateMainWindow();
  if (!accepted || !gWindow) return;
  if (IsReportView()) {
    AdjustScrollBars();
    ComputeReportPage();
    ForceUpdate();
  } else {
    ComputePageNumber();
  }
}

void DoPrintCmd() {
  if (!CloseEditor(false)) return;
  InitCursor();
  DeactivateMainWindow();
  if (PrintJobDialog()) {
    UpdateWindow();
    gPrinting = 1;
    PrintView();
  }
  ActivateMainWindow();
  gPrinting = 0;
}

void DoPrintThisStudent() {
  // The student under the click at the window's zoom; its pages at the printed one.
  const int student =
      gCurrView == kMissingAssignmentsView ? gPrintStu : gPrintStu / PagesPerShownStudent();
  int first = student, count = 1;
  if (gCurrView != kMissingAssignmentsView) {
    AtPrintZoom([&first, &count, student] {
      count = PagesPerShownStudent();
      first = student * count;
    });
  }
  PrintPages(first, count);
}

void DoPrintThisAssignment() {
  int first = 0, count = 1;
  const int windowPages = std::max<int>(1, PagesPerAssignment());
  const int item = gPrintAss / windowPages;
  AtPrintZoom([&first, &count, item] {
    count = std::max<int>(1, PagesPerAssignment());
    first = item * count;
  });
  PrintPages(first, count);
}
