#include "marktally/reports/pagination.h"

#include <algorithm>

#include "marktally/model/multiple.h"
#include "marktally/model/tables.h"
#include "marktally/reports/report_draw.h"
#include "marktally/reports/reports.h"
#include "marktally/model/accessors.h"
#include "marktally/reports/report_host.h"

int16_t gPagesPerClass = 0;
int16_t gPagesPerStu = 1;
int16_t gPagesPerAss = 1;
int16_t gCatsPerPage = 1;
int16_t gCatsAcross = 1;

using namespace reports;

namespace {

// Pages that n rows take when the last page also needs `extra` lines of a K-row page.
int RowPages(int n, int k, int extra) {
  const int q = n / k, r = n % k, x = r + extra;
  int pages = q + 1;
  if (x == 0) pages--;
  if (r >= 1 && x > k) pages++;
  return pages;
}
}  // namespace

int ClassRowsPerPage() {
  const int l = Line();
  return std::max(1, (PageH() - 11 * l - 2 * Margin()) / l);
}

int AssignmentRowsPerPage() {
  const int l = Line();
  return std::max(1, (PageH() - 15 * l - 2 * Margin()) / l);
}

int16_t PagesPerClass() {
  if (CurrentPage().printing) return gPagesPerClass;
  const int n = NumStudents(), k = ClassRowsPerPage();
  const bool breakdown = CurrentPage().view == kClassGradesView && (gReportOptions & 0x0008);
  int pages = n / k + (n % k > 0 ? 1 : 0);
  if (breakdown) {
    const int last = n == 0 ? 0 : (n % k == 0 ? k : n % k);
    if (n == 0 || last + 6 > k) pages++;
  }
  gPagesPerClass = S16(pages);
  return gPagesPerClass;
}

int16_t PagesPerSummary() {
  if (CurrentPage().printing) return gPagesPerClass;
  const int z = Z();
  int width = PageW() - 2 * Margin() - 12 * z;
  if (ShowsIDs()) width -= 16 * z;
  if (ShowsNames()) width -= 30 * z;
  const int per = std::max(1, width / (12 * z));
  const int cats = std::max<int>(1, NumCategories());
  const int across = (cats + per - 1) / per;
  const int n = NumStudents(), k = ClassRowsPerPage();
  gCatsPerPage = S16(per);
  gCatsAcross = S16(across);
  gPagesPerClass = S16(((n + k - 1) / k) * across);
  return gPagesPerClass;
}

int StudentTrailerLines() {
  const uint16_t o = gReportOptions;
  int lines = 0;
  if (o & 0x0020) lines += NumCategories() + 4;
  if (o & 0x00C0) {
    const int last = gClass.lastTerm;
    lines += last == 0 ? 4 : last + 5 + ((o & 0x0002) && (last == 3 || last == 5) ? 2 : 0);
  }
  const int t = Term();
  if (!gHeader[t].empty()) lines += 5;
  if (!gFooter[t].empty()) lines += 5;
  if (o & 0x1000) {
    for (int s = 0; s < kMaxStudents; s++)
      if (!gComments[s][t].empty()) {
        lines += 5;
        break;
      }
  }
  if (o & 0x2000) lines += 3;
  return lines;
}

int16_t PagesPerStudent() {
  if (CurrentPage().printing) return gPagesPerStu;
  const int k = ClassRowsPerPage();
  const int a = std::max<int>(1, NumActualAssignments());
  const int rowPages = (a + k - 1) / k;
  const int onLast = a - (rowPages - 1) * k;
  // The closing sections start two lines below the last row and end above the foot.
  const int trailer = StudentTrailerLines();
  int pages = rowPages;
  if (trailer > 0 && onLast + 1 + trailer > k) pages++;
  gPagesPerStu = S16(pages);
  return gPagesPerStu;
}

int16_t PagesPerAttendance() { return 1; }

int16_t PagesPerAssignment() {
  if (CurrentPage().printing) return gPagesPerAss;
  const int n = NumStudents(), k = AssignmentRowsPerPage();
  int extra = (gReportOptions & 0x0004) ? 6 : 0;
  // The statistics lines stand below the last row and need their room too.
  if ((gReportOptions & 0x0400) && n > 0) extra += 4;
  gPagesPerAss = S16(RowPages(n, k, extra));
  return gPagesPerAss;
}

std::vector<MissingBlock> MissingLayout() {
  std::vector<MissingBlock> blocks;
  const int l = Line(), m = Margin(), h = PageH();
  const bool perStudent = gReportOptions & 0x8000;
  const bool everyone = gReportOptions & 0x4000;
  int page = perStudent ? -1 : 0, y = l + m;
  for (int s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    int n = NumMissing(static_cast<int16_t>(s));
    if (n == 0) {
      if (!everyone) continue;
      n = 1;
    }
    const int block = (n + 8) * l;
    if (perStudent) {
      blocks.push_back(MissingBlock{static_cast<int16_t>(s), ++page, l + m});
      continue;
    }
    if (y > l + m && y + block > h - m) {
      page++;
      y = l + m;
    }
    blocks.push_back(MissingBlock{static_cast<int16_t>(s), page, y});
    y += block;
  }
  return blocks;
}

int16_t PagesPerMissing() {
  const std::vector<MissingBlock> blocks = MissingLayout();
  if (gReportOptions & 0x8000) return S16(blocks.size());
  return S16(blocks.empty() ? 1 : blocks.back().page + 1);
}

int ReportPageCount() {
  switch (CurrentPage().view) {
    case kClassGradesView:
    case kAttendanceTotalsView:
    case kAttendanceSummaryView:
      return PagesPerClass();
    case kClassSummaryView:
      return PagesPerSummary();
    case kStudentScoresView:
      return PagesPerStudent() * NumStudents();
    case kStudentSummaryView:
      return NumStudents();
    case kStudentAttendanceView:
      return PagesPerAttendance() * NumStudents();
    case kAssignmentScoresView:
      return PagesPerAssignment() * NumAssignments();
    case kMissingAssignmentsView:
      return PagesPerMissing();
    case kMultipleClassesView:
      return PagesPerMultiple() * NumMultipleStudents();
    default:
      return 0;
  }
}

int MaxReportPages() { return std::max(1, ReportPageCount()); }

int NamedAssignment(int n) {
  const int t = Term();
  int k = 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    if (gAssignments[t][a].name.empty()) continue;
    if (k == n) return a;
    k++;
  }
  return std::clamp(n, 0, kMaxAssignments - 1);
}

void DrawReport(int16_t page) {
  if (page < 0) return;
  UseReportFont();
  switch (CurrentPage().view) {
    case kClassGradesView:
      DrawGradesReport(page);
      break;
    case kClassSummaryView:
      DrawSummaryReport(page);
      break;
    case kAttendanceTotalsView:
      DrawTotalsReport(page);
      break;
    case kAttendanceSummaryView:
      DrawAttendReport(page);
      break;
    case kStudentScoresView:
      DrawStudentReport(page);
      break;
    case kStudentSummaryView:
      DrawStudentSummary(page);
      break;
    case kStudentAttendanceView:
      DrawStudentAttendReport(page);
      break;
    case kAssignmentScoresView:
      DrawAssignmentReport(page);
      break;
    case kMissingAssignmentsView:
      DrawMissingReport(page);
      break;
    case kMultipleClassesView:
      DrawMultipleClassReport(page);
      break;
    default:
      break;
  }
}
