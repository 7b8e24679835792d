// Which terms and which semester a report shows: the class reports and the multiple-class
// pages both ask this one rule, row by row over the shapes of a school year.
#include <gtest/gtest.h>

#include <vector>

#include "marktally/reports/report_draw.h"

namespace {

struct Row {
  const char* what;
  int last, current;
  bool all, semester, year;
  std::vector<int> terms;
  bool semesterColumn, second, yearColumn;
  int from, to;
};

TEST(ReportTermsTest, EachYearShapeShowsItsTermsSemesterAndYear) {
  const Row rows[] = {
      {"one term", 0, 0, true, true, true, {0}, false, false, false, 0, 1},
      {"two terms, all", 1, 1, true, false, true, {0, 1}, false, false, true, 0, 1},
      {"three terms, current only", 2, 1, false, true, true, {1}, false, false, true, 0, 1},
      {"four terms, no semester column: the year", 3, 2, true, false, false, {0, 1, 2, 3},
       false, true, false, 2, 3},
      {"four terms, first semester", 3, 1, true, true, false, {0, 1}, true, false, false, 0, 1},
      {"four terms, second semester", 3, 2, true, true, true, {2, 3}, true, true, true, 2, 3},
      {"five terms: no halves", 4, 3, true, true, true, {3}, false, false, true, 0, 1},
      {"six terms, first semester", 5, 2, true, false, false, {0, 1, 2}, false, false, false,
       0, 2},
      {"six terms, second semester", 5, 3, true, true, false, {3, 4, 5}, true, true, false, 3,
       5},
      {"six terms, current only", 5, 4, false, true, true, {4}, true, true, true, 3, 5},
      {"a last term out of range", 9, 2, true, true, true, {2}, false, false, true, 0, 1},
      {"a negative last term", -1, 0, true, true, true, {0}, false, false, false, 0, 1},
  };
  for (const Row& r : rows) {
    const reports::ShownTerms shown =
        reports::TermsShown(r.last, r.current, r.all, r.semester, r.year);
    EXPECT_EQ(shown.terms, r.terms) << r.what;
    EXPECT_EQ(shown.semester, r.semesterColumn) << r.what;
    EXPECT_EQ(shown.secondSemester, r.second) << r.what;
    EXPECT_EQ(shown.year, r.yearColumn) << r.what;
    if (r.last == 3 || r.last == 5) {
      EXPECT_EQ(shown.semesterFrom, r.from) << r.what;
      EXPECT_EQ(shown.semesterTo, r.to) << r.what;
    }
  }
}

}  // namespace
