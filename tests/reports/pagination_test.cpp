// Page counts of the report views, the page under a click, and the guards that keep
// every count and composer away from a division by zero or a page outside the report.
#include <functional>

#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/reports/reports.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/toolbox/menus.h"
#include "tests/reports/report_fixture.h"

namespace {

class PaginationTest : public ReportTest {};

TEST_F(PaginationTest, ClassPagesFollowTheRowsAndTheBreakdown) {
  struct Case {
    int students;
    uint16_t options;
    int pages;
  };
  // 47 rows fit a 752-point page at zoom 5.
  const Case cases[] = {{47, 0, 1}, {47, 0x0008, 2}, {41, 0x0008, 1}, {42, 0x0008, 2},
                        {48, 0, 2}, {0, 0, 0},       {0, 0x0008, 1}};
  OpenReportClass(48, 10);
  Show(kClassGradesView);
  ASSERT_EQ(47, ClassRowsPerPage());
  for (const Case& c : cases) {
    for (int s = 0; s < kMaxStudents; s++) {
      if (s < c.students)
        gStudents[s].name.setC(("Student " + std::to_string(s)).c_str());
      else
        gStudents[s].name.clear();
    }
    gReportOptions = c.options;
    EXPECT_EQ(c.pages, PagesPerClass()) << c.students << " students, options " << c.options;
    EXPECT_GE(MaxReportPages(), 1);
  }
}

TEST_F(PaginationTest, TinyPagesAndEmptyClassesNeverDivideByZero) {
  OpenReportClass(3, 0);
  gPageWidth = 216;
  gPageHeight = 216;
  for (uint16_t view = kClassGradesView; view <= kMissingAssignmentsView; view++) {
    Show(view);
    EXPECT_GE(ClassRowsPerPage(), 1);
    EXPECT_GE(AssignmentRowsPerPage(), 1);
    EXPECT_GE(ReportPageCount(), 0) << view;
    for (int p = 0; p < MaxReportPages(); p++) DrawPageLog(p);
  }
  // No students at all: each class report still draws its header and "No students".
  for (int s = 0; s < kMaxStudents; s++) gStudents[s].name.clear();
  gPageWidth = 552;
  gPageHeight = 752;
  for (uint16_t view :
       {kClassGradesView, kClassSummaryView, kAttendanceTotalsView, kAttendanceSummaryView}) {
    gCurrView = view;
    const auto log = DrawPageLog(0);
    EXPECT_NE(nullptr, Find(log, "Hillcrest High School")) << view;
    EXPECT_NE(nullptr, Find(log, "No students")) << view;
  }
}

TEST_F(PaginationTest, NoPageBelowZeroIsEverDrawn) {
  OpenReportClass(5, 5);
  Show(kStudentScoresView);
  EXPECT_TRUE(DrawPageLog(-1).empty());
  EXPECT_FALSE(DrawPageLog(0).empty());
}

TEST_F(PaginationTest, AClickPicksThePageByTheDrawingsOwnLayout) {
  OpenReportClass(60, 40, 6);
  Show(kStudentSummaryView);
  const int l = 12 * 6 / 5, ph = PageHeight();
  struct Case {
    int value;
    int v;
  };
  for (const Case c : {Case{0, 10}, Case{0, ph - 1}, Case{0, ph + 1}, Case{40, 5}, Case{41, 30}}) {
    SetControlValue(gVScrollBar, static_cast<int16_t>(c.value));
    EXPECT_EQ((c.v + 2 * l * c.value) / ph, ReportPageAt(Point{static_cast<int16_t>(c.v), 50}))
        << c.value << " " << c.v;
  }
  // The page under the click is the one the window draws there: its header student.
  SetControlValue(gVScrollBar, 41);
  const int page = ReportPageAt(Point{30, 50});
  ScriptPopUpChoice(0);
  EventRecord click{};
  click.what = mouseDown;
  click.where = Point{30, 50};
  HandleReportClick(click, Point{30, 50});
  EXPECT_EQ(page, gPrintStu);
}

TEST_F(PaginationTest, PopUpsNameTheClickedItemAndJumpToTheChosenOne) {
  OpenReportClass(12, 40, 6);
  Show(kStudentScoresView);
  const int perStudent = PagesPerStudent();
  ASSERT_GT(perStudent, 1);
  EventRecord click{};
  click.what = mouseDown;
  click.where = Point{60, 60};
  // A click on student 2's second page: the items name that student; export and e-mail
  // wait for their writers.
  SetControlValue(gVScrollBar,
                  static_cast<int16_t>((2 * perStudent + 1) * PageHeight() / (2 * ZoomLine())));
  ScriptPopUpChoice(12 + 4 + 1 - 12 + 5 + 4);  // the name item of student 9
  HandleReportClick(click, Point{60, 60});
  EXPECT_EQ(2, gPrintStu / perStudent);
  MenuRef menu = GetMenuHandle(kStudentsMenu);
  Str255 text{};
  GetMenuItemText(menu, 1, text);
  EXPECT_EQ("Print " + ToStdString(gStudents[2].name) + "\xC9", text.str());
  EXPECT_TRUE(IsMenuItemEnabled(menu, 1));
  EXPECT_TRUE(IsMenuItemEnabled(menu, 2));  // Export: one student's web page
  EXPECT_TRUE(IsMenuItemEnabled(menu, 3));  // e-mail of that student
  EXPECT_EQ(16, CountMenuItems(menu));
  // The chosen student's first page is at the top of the view.
  EXPECT_EQ(9 * perStudent, ReportPageAt(Point{static_cast<int16_t>(ZoomLine()), 0}));

  Show(kAssignmentScoresView);
  const int perAssignment = PagesPerAssignment();
  ScriptPopUpChoice(3 + 17);
  HandleReportClick(click, Point{60, 60});
  EXPECT_EQ(17 * perAssignment, ReportPageAt(Point{static_cast<int16_t>(ZoomLine()), 0}));
  EXPECT_EQ(42, CountMenuItems(GetMenuHandle(kAssignmentsMenu)));
}

TEST_F(PaginationTest, TheWindowFramesEachPageOnGray) {
  OpenReportClass(60, 10);
  Show(kStudentSummaryView);
  SetControlValue(gVScrollBar, 19);  // the view's top 456 pixels down the first page
  ASSERT_GT(ContentRect().bottom, 752 - 456 + 10);
  ComputePageNumber();
  ForceUpdate();
  Run();
  const uint32_t gray = 0x888888, black = 0x000000, white = 0xFFFFFF;
  EXPECT_EQ(gray, GetPortPixel(Port(), 560, 10) & 0xFFFFFF) << "right of the page";
  EXPECT_EQ(black, GetPortPixel(Port(), 551, 100) & 0xFFFFFF) << "the page's frame";
  EXPECT_EQ(gray, GetPortPixel(Port(), 100, 752 - 12 - 456 + 4) & 0xFFFFFF) << "strip below";
  EXPECT_EQ(white, GetPortPixel(Port(), 5, 752 - 456 + 10) & 0xFFFFFF) << "next page";
  EXPECT_EQ(0, gCurrPage);
  EXPECT_EQ((ContentRect().bottom - ContentRect().top + 12 + 456) / 752, gLastPage);
}

TEST_F(PaginationTest, StudentClosingSectionsNeverRunOffThePage) {
  OpenReportClass(4, 0);
  Show(kStudentScoresView);
  const int k = ClassRowsPerPage();
  // Around every boundary where the rows fill a page.
  for (int n : {0, 1, k - 20, k - 10, k - 1, k, k + 1, 2 * k - 5}) {
    if (n < 0 || n > kMaxAssignments) continue;
    for (int a = 0; a < kMaxAssignments; a++) {
      gAssignments[0][a].name.clear();
      gNumScores[0][a] = 0;
    }
    for (int a = 0; a < n; a++) {
      gAssignments[0][a].name.setC(("Work " + std::to_string(a)).c_str());
      gAssignments[0][a].category = 1;
      gAssignments[0][a].points = 10;
      gScores[0][0][a] = 80;
      gNumScores[0][a] = 1;
    }
    const int pages = PagesPerStudent();
    const auto log = DrawPageLog(pages - 1);
    const int foot = PageHeight() - 24 * gZoom / 5;
    for (const TextDrawRecord& r : log)
      EXPECT_LE(r.pen.v, foot) << n << " assignments: '" << r.text << "' past the page";
    ASSERT_NE(nullptr, Find(log, "Category")) << n;
    EXPECT_NE(nullptr, Find(log, "Signature")) << n;
  }
}

TEST_F(PaginationTest, StatisticsAndBreakdownFitTheAssignmentsLastPage) {
  OpenReportClass(60, 3);
  Show(kAssignmentScoresView);
  gReportOptions = 0x0004 | 0x0400;
  const int k = AssignmentRowsPerPage();
  for (int n : {1, k - 11, k - 10, k - 9, k - 6, k - 5, k, k + 1}) {
    if (n < 1) continue;
    for (int s = 0; s < kMaxStudents; s++) {
      if (s < n)
        gStudents[s].name.setC(("Student " + std::to_string(s)).c_str());
      else
        gStudents[s].name.clear();
    }
    // The statistics stand under the last student, or on the last page when that one
    // has no room for them; the breakdown is on the last page.
    const int pages = PagesPerAssignment();
    const auto rows = DrawPageLog((n - 1) / k);
    const auto last = DrawPageLog(pages - 1);
    const bool apart = (n - 1) / k != pages - 1;
    EXPECT_EQ(1, (Find(rows, "Standard Deviation") ? 1 : 0) +
                     (apart && Find(last, "Standard Deviation") ? 1 : 0))
        << n;
    EXPECT_NE(nullptr, Find(last, "Breakdown by grade for Quiz 1:")) << n;
    for (const auto* log : {&rows, &last})
      for (const TextDrawRecord& r : *log)
        EXPECT_LE(r.pen.v, PageHeight() - 24) << n << " students: '" << r.text << "'";
  }
}

TEST_F(PaginationTest, SummaryPagesRunAcrossTheCategoriesThenDownTheStudents) {
  OpenReportClass(60, 10);
  Show(kClassSummaryView);
  for (int c = 2; c < 5; c++) {
    gCategories[0][c].name.setC(("Cat " + std::to_string(c)).c_str());
    gCategories[0][c].weight = 10;
  }
  // 552 points hold three category columns beside ID and name at 100 %: five need two.
  const int pages = PagesPerSummary();
  ASSERT_EQ(2, gCatsAcross);
  ASSERT_EQ(2 * 2, pages);  // 60 students: two blocks of rows
  const int per = gCatsPerPage;
  const auto names = [](const std::vector<TextDrawRecord>& log) {
    std::string s;
    for (const TextDrawRecord& r : log) s += r.text + "|";
    return s;
  };
  const std::string p0 = names(DrawPageLog(0)), p1 = names(DrawPageLog(1)),
                    p2 = names(DrawPageLog(2));
  EXPECT_NE(std::string::npos, p0.find("|S1001|"));
  EXPECT_NE(std::string::npos, p1.find("|S1001|")) << "the same students, next categories";
  EXPECT_NE(std::string::npos, p2.find("|S1048|")) << "the next students";
  EXPECT_EQ(std::string::npos, p0.find("Cat 4"));
  EXPECT_NE(std::string::npos, p1.find("Cat 4")) << per;
}

TEST_F(PaginationTest, StatisticsOfAnAssignment) {
  OpenReportClass(4, 1);
  struct Case {
    std::vector<int16_t> scores;
    int32_t mean, median, deviation;
  };
  const Case cases[] = {
      {{700, 800, 900, 1000}, 850, 850, 129},
      {{700}, 700, 700, -1},
      {{kBlank, kBlank, kBlank, kBlank}, -1, -1, -1},
      {{100, 200, 600, kBlank}, 300, 200, 265},
  };
  for (const Case& c : cases) {
    gAssignments[0][0].points = 100;
    for (int s = 0; s < 4; s++) gScores[s][0][0] = c.scores[s % c.scores.size()];
    if (c.scores.size() == 1)
      for (int s = 1; s < 4; s++) gScores[s][0][0] = kBlank;
    int32_t mean = 0, median = 0, deviation = 0;
    GetStatistics(0, mean, median, deviation);
    EXPECT_EQ(c.mean, mean) << c.scores[0];
    EXPECT_EQ(c.median, median) << c.scores[0];
    EXPECT_EQ(c.deviation, deviation) << c.scores[0];
  }
}

// The largest class at the largest zoom: its student scores run past what 16 bits of
// scroll value hold, and still the keys, the wheel, the thumb and the Students pop-up
// reach every student and the last page.
TEST_F(PaginationTest, EveryPageOfTheLargestClassIsReachable) {
  OpenReportClass(kMaxStudents, kMaxAssignments, 7);
  Show(kStudentScoresView);
  const int count = ReportPageCount(), per = PagesPerStudent();
  ASSERT_GT(count * PageHeight() / (2 * ZoomLine()), 32767) << "the report is not long enough";
  ASSERT_EQ(GetControl32BitMaximum(gVScrollBar), VScrollMax());
  const auto top = [this] {
    InjectKey(kHomeCharCode, 0);
    Run();
    EXPECT_EQ(gCurrPage, 0);
  };
  struct Way {
    const char* name;
    std::function<void()> go;
  };
  const Way ways[] = {
      {"End", [] { InjectKey(kEndCharCode, 0); }},
      {"wheel", [] { InjectMouseWheel(kEventMouseWheelAxisY, -100000); }},
      {"thumb",
       [] {
         Rect bar{}, window{};
         GetControlBounds(gVScrollBar, &bar);
         GetWindowBounds(gWindow, kWindowContentRgn, &window);
         const int16_t h = static_cast<int16_t>(window.left + (bar.left + bar.right) / 2);
         const int16_t v = static_cast<int16_t>(window.top + bar.top + (bar.right - bar.left) + 4);
         ScriptMousePath({Point{v, h}, Point{static_cast<int16_t>(v + 2000), h}}, 0);
       }},
  };
  for (const Way& w : ways) {
    SCOPED_TRACE(w.name);
    top();
    w.go();
    Run();
    EXPECT_EQ(VScrollValue(), VScrollMax());
    EXPECT_LE(gCurrPage, count - 1);
    EXPECT_GE(gLastPage, count - 1) << "the last page is out of reach";
  }
  for (int s : {0, 124, 200, 248, kMaxStudents - 1}) {
    HandleStudentsChoice(static_cast<int16_t>(5 + s));
    Run();
    EXPECT_EQ(gCurrPage, s * per) << "student " << s;
  }
}

// Every statistics line shows its figure in points, the deviation too, with percents
// shown or hidden; one score alone gives no deviation, and its line the text of a
// missing score.
TEST_F(PaginationTest, TheStatisticsLinesShowEachFigureInPoints) {
  OpenReportClass(4, 1);
  Show(kAssignmentScoresView);
  gReportOptions = 0x0400;
  gAssignments[0][0].points = 100;
  const auto text = [](int32_t v) {
    Str255 t{};
    if (v >= 0)
      ValueToString(v, t);
    else
      ScoreToString(kBlank, t);
    return ToStdString(t);
  };
  struct Case {
    const char* name;
    std::vector<int16_t> scores;
    bool percents;
    int32_t deviation;
  };
  const Case cases[] = {
      {"four scores with percents", {700, 800, 900, 1000}, true, 129},
      {"four scores, percents hidden", {700, 800, 900, 1000}, false, 129},
      {"one score", {700, kBlank, kBlank, kBlank}, true, -1},
      {"one score, percents hidden", {700, kBlank, kBlank, kBlank}, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int s = 0; s < 4; s++) gScores[s][0][0] = c.scores[s];
    gClass.flags = static_cast<uint8_t>(c.percents ? gClass.flags & ~0x02 : gClass.flags | 0x02);
    const auto log = DrawPageLog(0);
    const TextDrawRecord* label = Find(log, "Standard Deviation");
    ASSERT_NE(nullptr, label);
    std::vector<std::string> line;
    for (const TextDrawRecord& r : log)
      if (&r != label && r.pen.v == label->pen.v) line.push_back(r.text);
    if (c.deviation < 0) {
      // The text of a missing score is one blank: nothing shows beside the label.
      EXPECT_EQ(" ", text(c.deviation));
      EXPECT_TRUE(line.empty());
      continue;
    }
    ASSERT_FALSE(line.empty()) << "the deviation line is blank";
    EXPECT_EQ(text(c.deviation), line.front());
    // The percent of the deviation follows only when percents are shown; no letter.
    EXPECT_EQ(c.percents ? 2u : 1u, line.size());
  }
}

TEST_F(PaginationTest, MissingWorkBlocksStayWholeAndPerStudentPagesCountListedOnes) {
  OpenReportClass(20, 10);
  Show(kMissingAssignmentsView);
  for (const MissingBlock& b : MissingLayout()) {
    const int n = std::max<int>(1, NumMissing(b.student));
    if ((n + 8) * ZoomLine() < PageHeight()) {
      EXPECT_LE(b.y + (n + 8) * ZoomLine(), PageHeight()) << b.student;
    }
  }
  gReportOptions = 0x8000;
  for (int s = 0; s < kMaxStudents; s++)
    for (int a = 0; a < kMaxAssignments; a++) gScores[s][0][a] = 10;
  EXPECT_EQ(0, PagesPerMissing());
  gReportOptions = 0xC000;
  EXPECT_EQ(20, PagesPerMissing());
}

TEST_F(PaginationTest, CategoryPercentsOfHugeTotalsStayExact) {
  OpenReportClass(1, 0);
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[0][a].name.setC("Big");
    gAssignments[0][a].category = 0;
    gAssignments[0][a].points = 6000;
    gScores[0][0][a] = 30000;  // half of 60000 tenths
  }
  CountScores();
  FlushAll();
  EXPECT_EQ(500, CatPct(0, 0));
}

TEST_F(PaginationTest, AttendanceDaysPastTheDayTableAreNeverRead) {
  OpenReportClass(2, 0);
  gTermDates[0].end = gTermDates[0].start + 86400u * 900;
  gTermDates[1].start = gTermDates[0].start - 86400u * 30;  // before term 0: clamped
  Show(kStudentAttendanceView);
  for (int t : {0, 1}) {
    gCurrentTerm = static_cast<uint16_t>(t);
    EXPECT_FALSE(DrawPageLog(0).empty());
  }
  gCurrentTerm = 0;
}

}  // namespace
