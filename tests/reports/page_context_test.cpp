// The report pages below the window: how many pages a view has follows the page context
// the caller gives (view, zoom, a running print job), with no window and no shell linked.
#include <gtest/gtest.h>

#include <string>

#include "marktally/reports/pagination.h"
#include "marktally/reports/print_pages.h"
#include "marktally/reports/report_host.h"
#include "tests/model/model_fixture.h"

namespace {

class PageContextTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    saved_ = {gPageWidth, gPageHeight};
    gPageWidth = 552;
    gPageHeight = 752;
    for (int s = 0; s < 100; s++) AddStudent(("Student " + std::to_string(1000 + s)).c_str());
    gReportOptions |= 0x0008;  // the class grades end with the grade breakdown
  }
  void TearDown() override {
    gPageWidth = saved_.first;
    gPageHeight = saved_.second;
    ModelTest::TearDown();
  }
  static PageContext At(uint16_t view, int16_t zoom, uint8_t printing = 0) {
    PageContext page;
    page.view = view;
    page.zoom = zoom;
    page.printing = printing;
    return page;
  }

 private:
  std::pair<int16_t, int16_t> saved_{0, 0};
};

TEST_F(PageContextTest, ThePageCountFollowsTheViewAndZoomGiven) {
  // 100 students on a 552 x 752 page: 47 rows a page at zoom 5, 50 at zoom 7.
  struct Row {
    const char* what;
    uint16_t view;
    int16_t zoom;
    int pages;
  };
  const Row rows[] = {
      {"no report view", kGradebookView, 5, 0},
      {"class grades at 100 %", kClassGradesView, 5, 3},
      {"the breakdown takes a page of its own", kClassGradesView, 7, 3},
      {"attendance totals at 100 %", kAttendanceTotalsView, 5, 3},
      {"attendance totals at 140 %", kAttendanceTotalsView, 7, 2},
      {"one summary page a student", kStudentSummaryView, 6, 100},
      {"one attendance page a student", kStudentAttendanceView, 7, 100},
  };
  for (const Row& r : rows) {
    PageOverride page(At(r.view, r.zoom));
    EXPECT_EQ(ReportPageCount(), r.pages) << r.what;
  }
}

TEST_F(PageContextTest, APrintJobCountsFromWhatItsCountingCached) {
  {
    PageOverride counting(At(kAttendanceTotalsView, 5));
    ASSERT_EQ(ReportPageCount(), 3);
  }
  // While the job prints, the zoom of the window behind it changes nothing (at 140 % the
  // view would count two pages).
  PageOverride printing(At(kAttendanceTotalsView, 7, 1));
  EXPECT_EQ(ReportPageCount(), 3);
}

TEST_F(PageContextTest, OverridesNestAndGiveTheOuterContextBack) {
  const PageContext before = CurrentPage();
  {
    PageOverride outer(At(kClassSummaryView, 6));
    {
      PageOverride inner(At(kMissingAssignmentsView, 7, 1));
      EXPECT_EQ(CurrentPage().view, kMissingAssignmentsView);
      EXPECT_EQ(CurrentPage().printing, 1);
    }
    EXPECT_EQ(CurrentPage().view, kClassSummaryView);
    EXPECT_EQ(CurrentPage().zoom, 6);
    EXPECT_EQ(CurrentPage().printing, 0);
  }
  EXPECT_EQ(CurrentPage().view, before.view);
  EXPECT_EQ(CurrentPage().zoom, before.zoom);
}

}  // namespace
