// Printing into PDF files read back by poppler: page counts, every student once per
// class report at every window zoom, the grids' tiling, page setup, the print command
// of the command line, the drawing positions of one page per report view, and every
// character's text and a clip on paper.
#include <algorithm>
#include <array>
#include <sstream>

#include "marktally/common/macroman.h"
#include "marktally/reports/reports.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/seating_view.h"
#include "tests/reports/report_fixture.h"

namespace {

class PrintingTest : public ReportTest {};

const uint16_t kReportViews[] = {
    kClassGradesView,       kClassSummaryView,     kAttendanceTotalsView,
    kAttendanceSummaryView, kStudentScoresView,    kStudentSummaryView,
    kStudentAttendanceView, kAssignmentScoresView, kMissingAssignmentsView};

std::string Id(int s) { return "S" + std::to_string(1001 + s); }

TEST_F(PrintingTest, EveryReportViewPrintsItsPagesAndEveryStudentOnce) {
  for (int16_t zoom : {5, 6, 7}) {
    OpenReportClass(60, 40, zoom);
    for (uint16_t view : kReportViews) {
      Show(view);
      ASSERT_EQ(view, gCurrView);
      const int expected = PrintedCount();
      const std::string name =
          "view" + std::to_string(view) + "-zoom" + std::to_string(zoom) + ".pdf";
      const std::string pdf = PrintToPdf(name);
      EXPECT_EQ(expected, PdfPages(pdf)) << name;
      EXPECT_EQ(zoom, gZoom) << "the window keeps its zoom";
      if (view <= kAttendanceSummaryView) {
        const std::string text = PdfText(pdf);
        for (int s = 0; s < 60; s++) {
          EXPECT_EQ(view == kClassSummaryView ? gCatsAcross : 1, Occurrences(text, Id(s)))
              << name << " " << Id(s);
        }
      }
      if (zoom == 6) {
        const std::string png = ArtifactDir() + "/report-view" + std::to_string(view);
        RunTool("pdftoppm -png -r 60 -f 1 -l 1 -singlefile '" + pdf + "' '" + png + "'");
        EXPECT_TRUE(std::filesystem::exists(png + ".png")) << png;
        ForceUpdate();
        Run();
        SavePortImage(Port(), ArtifactDir() + "/window-view" + std::to_string(view) + ".png");
      }
    }
    CloseDocument();
  }
}

TEST_F(PrintingTest, RowsThatTheWindowZoomFitsButPaperDoesNotAreNotLost) {
  OpenReportClass(98, 5, 6);
  Show(kClassGradesView);
  gReportOptions = 0;
  const std::string pdf = PrintToPdf("98.pdf");
  const std::string text = PdfText(pdf);
  for (int s = 0; s < 98; s++) EXPECT_EQ(1, Occurrences(text, Id(s))) << Id(s);
  EXPECT_EQ(3, PdfPages(pdf));  // 47 rows a page at 100 %
}

TEST_F(PrintingTest, NothingToPrintTellsTheTeacherAndBeginsNoJob) {
  OpenReportClass(5, 0);
  Show(kAssignmentScoresView);
  answers.push_back(1);
  const std::string pdf = PrintToPdf("empty.pdf");
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Nothing to print", alerts[0].title);
  EXPECT_EQ(0, PMPagesPrinted());
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(PrintingTest, OneStudentAndOneAssignmentPrintTheirOwnPages) {
  OpenReportClass(60, 40, 7);
  Show(kStudentScoresView);
  const int perStudent = std::max<int>(1, PagesPerStudent());
  gPrintStu = static_cast<uint16_t>(perStudent * 7);  // a click on student 7's page
  PMPrintToFile(Path("one.pdf"));
  PMScriptDialogAnswers(true);
  DoPrintThisStudent();
  int printed = 0;
  AtPrintZoom([&printed] { printed = PagesPerStudent(); });
  EXPECT_EQ(printed, PdfPages(Path("one.pdf")));
  const std::string text = PdfText(Path("one.pdf"));
  EXPECT_NE(std::string::npos, text.find(ToStdString(gStudents[7].name)));
  EXPECT_EQ(std::string::npos, text.find(ToStdString(gStudents[8].name)));

  Show(kAssignmentScoresView);
  gPrintAss = static_cast<uint16_t>(PagesPerAssignment() * 3);
  PMPrintToFile(Path("assignment.pdf"));
  DoPrintThisAssignment();
  const std::string atext = PdfText(Path("assignment.pdf"));
  EXPECT_NE(std::string::npos, atext.find(ToStdString(gAssignments[0][3].name)));
  EXPECT_EQ(std::string::npos, atext.find(ToStdString(gAssignments[0][4].name)));
}

TEST_F(PrintingTest, GridPagesRunDownTheStudentsThenAcross) {
  OpenReportClass(60, 40);
  Show(kGradebookView);
  // 262-pixel title column: 6 columns and 25 rows a page at 100 %.
  gClass.flags = static_cast<uint8_t>((gClass.flags & ~0x60) | kShowNames);
  const std::string pdf = PrintToPdf("grid.pdf");
  EXPECT_EQ(3 * 7, PdfPages(pdf));  // 60 rows: 3 down; 40 columns: 7 across
  const std::string text = PdfText(pdf);
  const size_t first = text.find(ToStdString(gStudents[0].name));
  const size_t later = text.find(ToStdString(gStudents[30].name));
  ASSERT_NE(std::string::npos, first);
  EXPECT_LT(first, later) << "page 2 holds the next students, not the next columns";

  SelectAssignment(5);
  const std::string one = PrintToPdf("column.pdf");
  EXPECT_EQ(3, PdfPages(one));
}

std::vector<std::array<int, 4>> gSeatPages;
void SeatHeader() { DrawString(PStr("Seats")); }
void SeatPage(int16_t r0, int16_t r1, int16_t c0, int16_t c1) {
  gSeatPages.push_back({r0, r1, c0, c1});
  MoveTo(gMargin, static_cast<int16_t>(gMargin + 40));
  DrawString(PStr(("rows " + std::to_string(r0) + "-" + std::to_string(r1)).c_str()));
}

TEST_F(PrintingTest, SeatingPagesRunDownTheRowsThenAcross) {
  OpenReportClass(10, 0);
  SetSeatingChartDrawers(SeatHeader, SeatPage);
  gSeatingChart.rows = 20;
  gSeatingChart.columns = 10;
  gSeatPages.clear();
  gCurrView = kSeatingChartView;
  const std::string pdf = PrintToPdf("seats.pdf");
  // 16 seat rows and 4 seat columns a page at 100 %.
  const std::vector<std::array<int, 4>> expected = {
      {0, 15, 0, 3}, {16, 19, 0, 3}, {0, 15, 4, 7}, {16, 19, 4, 7}, {0, 15, 8, 9}, {16, 19, 8, 9}};
  EXPECT_EQ(expected, gSeatPages);
  EXPECT_EQ(6, PdfPages(pdf));
  EXPECT_EQ(0, gMargin);
  SetSeatingChartDrawers(DrawSeatingChartHeader, DrawSeatingChart);
  gCurrView = kGradebookView;
}

TEST_F(PrintingTest, TheSeatedChartPrintsEveryStudentsSeat) {
  OpenReportClass(12, 0);
  gSeatingChart.rows = 4;
  gSeatingChart.columns = 4;
  gAssignSeats = 1;
  AssignSeats();
  gAssignSeats = 0;
  DoShowSeatingChart();
  Run();
  ASSERT_EQ(kSeatingChartView, gCurrView);
  const std::string pdf = PrintToPdf("seated.pdf");
  EXPECT_EQ(1, PdfPages(pdf));
  const std::string text = PdfText(pdf);
  for (int s = 0; s < 12; s++) {
    Str255 last{};
    GetLastName(gStudents[s].name, last);
    EXPECT_NE(std::string::npos, text.find(last.str())) << last.str();
  }
  EXPECT_NE(std::string::npos, text.find(gClass.teacher.str()));
  const std::string png = ArtifactDir() + "/seating-chart";
  RunTool("pdftoppm -png -r 60 -f 1 -l 1 -singlefile '" + pdf + "' '" + png + "'");
}

TEST_F(PrintingTest, AttendancePagesBeginOnAWeek) {
  OpenReportClass(10, 0);
  DoShowAttendance();
  Run();
  ASSERT_EQ(kAttendanceView, gCurrView);
  const std::string pdf = PrintToPdf("attendance.pdf");
  EXPECT_GT(PdfPages(pdf), 1);
}

TEST_F(PrintingTest, PageSetupCapsTheScaleAndSwapsLandscapePages) {
  OpenReportClass(5, 5);
  PMScriptPageSetup(200, kPMPortrait);
  SetChanged(0);
  EXPECT_TRUE(PageSetupDialog());
  EXPECT_EQ(150, gPageSetup.scale);
  EXPECT_EQ(150.0, PMGetScale());
  EXPECT_EQ(552 * 100 / 150, gPageWidth);
  EXPECT_EQ(1, gChanged);

  gPageSetup.scale = 100;
  gPageSetup.orientation = kPMLandscape;
  UpdatePageInfo();
  EXPECT_EQ(752, gPageWidth);
  EXPECT_EQ(552, gPageHeight);
  gPageSetup.orientation = kPMPortrait;
  UpdatePageInfo();
  EXPECT_EQ(552, gPageWidth);
}

TEST_F(PrintingTest, PrintOnTheCommandLinePrintsTheGradebook) {
  WriteClass(Path("Cmd.mtb"), [] { FillReportClass(30, 10); });
  PMPrintToFile(Path("cmd.pdf"));
  PostCommandLineEvents({"--print", Path("Cmd.mtb")});
  Run();
  EXPECT_EQ(nullptr, gWindow);
  // 30 rows, 25 a page: 2 down; 10 columns, 4 a page beside ID and name: 3 across.
  EXPECT_EQ(6, PdfPages(Path("cmd.pdf")));
  EXPECT_NE(std::string::npos, PdfText(Path("cmd.pdf")).find("Hillcrest High School"));
}

// Every character of the Mac Roman set, in each face of both fonts, reaches paper as its
// own text, in order; a clipped text shows only inside its clip; the page's port has
// the page's size.
TEST_F(PrintingTest, EveryCharacterReachesPaperAsItsTextAndClipsHold) {
  OpenReportClass(1, 0);
  const std::string pdf = Path("characters.pdf");
  PMPrintToFile(pdf);
  ASSERT_EQ(noErr, PMSessionBeginDocument());
  GrafPtr page = nullptr;
  ASSERT_EQ(noErr, PMSessionBeginPage(&page));
  Rect bounds{};
  GetPortBounds(page, &bounds);
  EXPECT_EQ(0, bounds.top);
  EXPECT_EQ(0, bounds.left);
  EXPECT_EQ(752, bounds.bottom);  // the printable letter page at 100 %
  EXPECT_EQ(552, bounds.right);
  std::string expected;
  int16_t v = 12;
  for (int16_t font : {kArialFontNumber, kGenevaFontNumber}) {
    for (int face : {0, 1, 2, 3, 4}) {  // normal, bold, italic, both, underline
      for (int first = 0x21; first < 0x100; first += 32, v = static_cast<int16_t>(v + 10)) {
        // Left out: the fi and fl ligatures and the Apple logo, which the fonts lack or
        // keep in private code points, and the no-break space, read back as a space.
        std::string line = "|";
        for (int c = first; c < std::min(first + 32, 0x100); c++)
          if (c != 0x7F && c != 0xCA && c != 0xDE && c != 0xDF && c != 0xF0)
            line.push_back(static_cast<char>(c));
        TextFont(font);
        TextSize(9);
        TextFace(static_cast<Style>(face));
        MoveTo(10, v);
        DrawString(PStr(line.c_str()));
        for (char c : line)
          if (c != ' ') expected += MacRomanToUtf8(std::string(1, c));
      }
    }
  }
  const Rect clip{static_cast<int16_t>(v - 10), 10, static_cast<int16_t>(v + 4), 40};
  ClipRect(&clip);
  TextFont(kArialFontNumber);
  TextFace(normal);
  MoveTo(10, v);
  DrawString(PStr("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
  PMSessionEndPage();
  ASSERT_EQ(noErr, PMSessionEndDocument());

  std::string text = RunTool("pdftotext -raw '" + pdf + "' - 2>/dev/null");
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }),
             text.end());
  EXPECT_EQ(expected, text.substr(0, expected.size()));

  // At 72 dots an inch a page pixel is a point; the printable area starts 30 points in
  // and 20 down. The clipped line's glyphs lie within its 30 points and nowhere after.
  const std::string pgm = RunTool("pdftoppm -r 72 -gray '" + pdf + "' 2>/dev/null");
  std::istringstream in(pgm);
  std::string magic;
  int width = 0, height = 0, maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height);
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  ASSERT_EQ("P5", magic);
  int inside = 0, outside = 0;
  for (int y = 20 + v - 6; y < 20 + v + 1; y++) {
    for (int x = 30 + 5; x < 30 + 200; x++) {
      if (pixels[static_cast<size_t>(y) * width + x] > 128) continue;
      (x < 30 + 41 ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 0);
  EXPECT_EQ(0, outside);
}

// Prints pages first..last (1-based) of the view shown into a PDF, as the print command
// does once its dialog is accepted.
std::string PrintRange(const std::string& pdf, uint32_t first, uint32_t last) {
  PMPrintToFile(pdf);
  UpdateWindow();
  PMSetPageRange(first, last);
  gPrinting = 1;
  PrintView();
  gPrinting = 0;
  PMPrintToFile("");
  return pdf;
}

// Every view of a class that shows every column (all the terms of the semester, the
// semester and year, the final exam, IDs, names, percents and letters), printed at each
// window zoom on portrait and landscape paper: on the first pages and the last one no
// word overlaps or touches another, nor comes closer than a thin space beside it.
TEST_F(PrintingTest, NoTwoWordsOfAPrintedPageTouch) {
  const uint16_t views[] = {kGradebookView,        kAttendanceView,        kSeatingChartView,
                            kClassGradesView,      kClassSummaryView,      kAttendanceTotalsView,
                            kAttendanceSummaryView, kStudentScoresView,    kStudentSummaryView,
                            kStudentAttendanceView, kAssignmentScoresView, kMissingAssignmentsView};
  // No final exam, one that counts in the semester grade, one in the year grade.
  const uint8_t examScopes[] = {0, 2, 3};
  for (int16_t orientation : {kPMPortrait, kPMLandscape}) {
    for (int16_t zoom : {5, 6, 7}) {
      const uint8_t scope = examScopes[(zoom + orientation) % 3];
      WriteClass(Path("Full.mtb"), [orientation, scope] {
        FillReportClass(60, 40);
        gReportOptions = static_cast<uint16_t>(gReportOptions | 0x0800);
        gClass.examWeight = scope ? 20 : 0;
        gClass.examScope = scope ? scope : 1;
        gPageSetup.orientation = orientation;
      });
      PostCommandLineEvents({Path("Full.mtb")});
      Run();
      ASSERT_NE(nullptr, gWindow);
      DoZoom(zoom);
      for (uint16_t view : views) {
        if (view == kSeatingChartView)
          ASSERT_TRUE(Choose(kReportsMenu, kSeatingChartItem));
        else if (view == kAttendanceView)
          ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
        else
          Show(view);
        ASSERT_EQ(view, gCurrView);
        const std::string name = "words-view" + std::to_string(view) + "-zoom" +
                                 std::to_string(zoom) + "-" + std::to_string(orientation) +
                                 "-exam" + std::to_string(scope);
        std::vector<std::vector<PdfWord>> pages = PdfWords(PrintRange(Path(name + "-a.pdf"), 1, 2));
        const std::string last = Path(name + "-z.pdf");
        for (auto& p : PdfWords(PrintRange(last, kPMPrintAllPages, kPMPrintAllPages)))
          pages.push_back(std::move(p));
        ASSERT_GE(pages.size(), 2u) << name;
        for (size_t p = 0; p < pages.size(); p++) {
          EXPECT_FALSE(pages[p].empty()) << name << " page " << p;
          for (const std::string& pair : TouchingWords(pages[p]))
            ADD_FAILURE() << name << " page " << p << ": " << pair;
        }
      }
      CloseDocument();
    }
  }
}

// Header, first row and closing positions of one page of each view at zoom 6.
TEST_F(PrintingTest, DrawingLogFixesHeaderRowAndTrailerPositions) {
  OpenReportClass(60, 40, 6);
  const int l = 14, m = 28, z = 6;
  struct Expect {
    uint16_t view;
    int page;
    std::string text;
    int h;
    int v;
  };
  const std::string first = Id(0);
  const std::vector<Expect> cases = {
      {kClassGradesView, 0, "Hillcrest High School", m, m + l},
      {kClassGradesView, 0, "M. Roy", m, m + 6 * l},
      {kClassGradesView, 0, "ID", m, m + 8 * l},
      {kClassGradesView, 0, first, m, m + 9 * l},
      {kClassSummaryView, 0, first, m, m + 9 * l},
      {kAttendanceTotalsView, 0, "Student", m + 16 * z, m + 8 * l},
      {kAttendanceSummaryView, 0, first, m, m + 10 * l},
      {kStudentScoresView, 0, "Date", m, m + 8 * l},
      {kStudentSummaryView, 0, "Category", m, m + 8 * l},
      {kStudentAttendanceView, 0, "Code", m, m + 8 * l},
      {kAssignmentScoresView, 0, "Points", m + 46 * z, m + 13 * l},
      {kAssignmentScoresView, 0, first, m, m + 14 * l + 3},
      {kMissingAssignmentsView, 0, "Missing Assignment", m + 10 * z, l + m + 4 * l},
  };
  for (const Expect& e : cases) {
    Show(e.view);
    const auto log = DrawPageLog(e.page);
    const TextDrawRecord* r = Find(log, e.text);
    ASSERT_NE(nullptr, r) << e.view << " " << e.text;
    EXPECT_EQ(e.h, r->pen.h) << e.view << " " << e.text;
    EXPECT_EQ(e.v, r->pen.v) << e.view << " " << e.text;
  }
  // Without the ID column the heading names the student alone.
  gClass.flags = static_cast<uint8_t>(gClass.flags & ~kShowIDs);
  Show(kStudentSummaryView);
  const auto summary = DrawPageLog(0);
  const TextDrawRecord* heading = Find(summary, ToStdString(gStudents[0].name));
  ASSERT_NE(nullptr, heading);
  EXPECT_EQ(m + 4 * l, heading->pen.v);
  gClass.flags = static_cast<uint8_t>(gClass.flags | kShowIDs);

  // The student scores report's closing sections follow the last row by three lines.
  Show(kStudentScoresView);
  const int pages = PagesPerStudent(), n = NumActualAssignments(), k = ClassRowsPerPage();
  const auto log = DrawPageLog(pages - 1);
  const int rows = n - (pages - 1) * k;
  const TextDrawRecord* cat = Find(log, "Category");
  ASSERT_NE(nullptr, cat);
  EXPECT_EQ(rows > 0 ? m + (rows + 12) * l : m + 8 * l, cat->pen.v);
}

}  // namespace
