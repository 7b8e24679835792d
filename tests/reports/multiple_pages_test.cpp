// The multiple-class report in the window: started from the Reports menu with class
// files chosen in the open dialog, its pages printed to PDF and read back, its pop-up,
// its options dialog, and the class file it never saves over.
#include <fstream>
#include <iterator>

#include "marktally/model/multiple.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/multiple_site.h"
#include "marktally/reports/reports.h"
#include "marktally/reports/web_site.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/commands/multiple_commands.h"
#include "marktally/shell/dialogs/multiple_dialog.h"
#include "marktally/shell/window/window.h"
#include "tests/reports/report_fixture.h"

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class MultiplePagesTest : public ReportTest {
 protected:
  void TearDown() override {
    NewMultipleClassReport();
    ReportTest::TearDown();
  }

  // Three subjects over one roster of 12 students, one of them with a comment.
  std::vector<std::string> WriteSubjects() {
    std::vector<std::string> paths;
    const char* const subjects[] = {"Biology", "Algebra II", "World History"};
    for (int k = 0; k < 3; k++) {
      const std::string path = Path(std::string("class") + std::to_string(k) + ".mtb");
      WriteClass(path, [&] {
        FillReportClass(12, 10);
        gClass.subject.setC(subjects[k]);
        gComments[0][0].setC(("Comment in " + std::string(subjects[k])).c_str());
      });
      paths.push_back(path);
    }
    return paths;
  }

  void StartReport(const std::vector<std::string>& paths) {
    ScriptNavAnswer(NavAnswer{false, paths, false});
    ASSERT_TRUE(Choose(kReportsMenu, kMultipleItem));
  }
};

TEST_F(MultiplePagesTest, TheReportsMenuMergesTheChosenClassesIntoTheReportWindow) {
  OpenReportClass(5, 3);
  const std::vector<std::string> paths = WriteSubjects();
  StartReport(paths);
  NavRequest request;
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ(request.kind, NavRequest::kOpenMultiple);
  EXPECT_EQ(request.options.message, "Hold down the shift key to select more than one class.");
  EXPECT_EQ(gCurrView, kMultipleClassesView);
  EXPECT_EQ(Title(), "Multiple Class Report");
  EXPECT_EQ(NumMultipleStudents(), 12);
  EXPECT_EQ(gMultipleStudents[0].subjectCount, 3);
  EXPECT_TRUE(Checked(kReportsMenu, kMultipleItem));
  EXPECT_FALSE(Enabled(kFileMenu, kSaveItem));

  // Neither the Save command nor closing the window writes over the last class read.
  const std::string before = Bytes(paths.back());
  DoSaveCmd();
  DoSaveAsCmd();
  DoCloseCmd();
  Run();
  EXPECT_EQ(Bytes(paths.back()), before);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(MultiplePagesTest, NoClassChosenLeavesNoReport) {
  OpenReportClass(5, 3);
  ScriptNavAnswer(NavAnswer{true, {}, false});
  ASSERT_TRUE(Choose(kReportsMenu, kMultipleItem));
  EXPECT_EQ(gWindow, nullptr);
  EXPECT_NE(gCurrView, kMultipleClassesView);
}

// One page a student with neither graded work nor comments, three with both; every
// student on the printed pages under each switch setting, the second page of each
// student its graded work.
TEST_F(MultiplePagesTest, ThePagesPrintToPdfForEverySwitchSetting) {
  OpenReportClass(5, 3);
  StartReport(WriteSubjects());
  struct Case {
    uint8_t assigns, comments, attend, missing, signature;
    int perStudent;
  } cases[] = {{0, 0, 0, 0, 0, 1}, {1, 0, 1, 1, 1, 2}, {0, 1, 0, 1, 0, 2}, {1, 1, 1, 1, 1, 3}};
  for (const Case& c : cases) {
    gShowAssigns = c.assigns;
    gShowComments = c.comments;
    gShowAttend = c.attend;
    gShowMissing = c.missing;
    gShowSignature = c.signature;
    ASSERT_EQ(PagesPerMultiple(), c.perStudent);
    const std::string name = "multiple-" + std::to_string(c.perStudent) + "-" +
                             std::to_string(c.attend) + ".pdf";
    const std::string pdf = PrintToPdf(name);
    ASSERT_EQ(PdfPages(pdf), 12 * c.perStudent) << name;
    // No two words of a page run together, the column titles least of all.
    const std::vector<std::vector<PdfWord>> pages = PdfWords(pdf);
    for (size_t p = 0; p < pages.size(); p++)
      for (const std::string& pair : TouchingWords(pages[p]))
        ADD_FAILURE() << name << " page " << p << ": " << pair;
    const std::string text = PdfText(pdf);
    for (int s = 0; s < 12; s++) {
      const std::string student = ToStdString(gMultipleStudents[s].name);
      EXPECT_EQ(Occurrences(text, student), c.perStudent) << name << " " << student;
    }
    EXPECT_GT(Occurrences(text, "World History"), 0) << name;
    if (c.assigns) {
      const std::string second =
          RunTool("pdftotext -layout -f 2 -l 2 '" + pdf + "' - 2>/dev/null");
      EXPECT_NE(second.find("Assignment"), std::string::npos) << name;
      EXPECT_NE(second.find("Category"), std::string::npos) << name;
    }
    if (c.comments) {
      EXPECT_NE(text.find("Comment in Algebra II"), std::string::npos) << name;
    }
    if (c.missing) {
      EXPECT_NE(text.find("Missing Assignment"), std::string::npos) << name;
    }
    if (c.signature) {
      EXPECT_NE(text.find("Signature"), std::string::npos) << name;
    }
  }
  const std::string png = ArtifactDir() + "/multiple-page1";
  RunTool("pdftoppm -png -r 60 -f 1 -l 1 -singlefile '" + Path("multiple-3-1.pdf") + "' '" +
          png + "'");
}

TEST_F(MultiplePagesTest, ThePopUpListsEveryStudentAndJumpsToTheirFirstPage) {
  OpenReportClass(5, 3);
  StartReport(WriteSubjects());
  gShowAssigns = 1;
  gShowComments = 1;
  AdjustScrollBars();
  gPrintStu = 3 * 4 + 2;  // the comments page of student 4
  AdjustMultipleMenu();
  MenuRef menu = GetMenuHandle(kMultipleMenu);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(CountMenuItems(menu), 14);
  Str255 text;
  GetMenuItemText(menu, 1, text);
  EXPECT_EQ(ToStdString(text), "Print " + ToStdString(gMultipleStudents[4].name) + "\xC9");
  GetMenuItemText(menu, 14, text);
  EXPECT_EQ(ToStdString(text), ToStdString(gMultipleStudents[11].name));

  HandleMultipleChoice(3 + 7);
  Run();
  ComputeReportPage();
  EXPECT_EQ(gCurrPage, 3 * 7);

  // With no students the menu holds only the print item and the separator.
  NewMultipleClassReport();
  AdjustMultipleMenu();
  EXPECT_EQ(CountMenuItems(menu), 2);
}

// The largest merged report, 500 students of three pages each: the pop-up reaches every
// student and the keys reach the last page, far past what 16 bits of scroll value hold.
TEST_F(MultiplePagesTest, EveryPageOfTheLargestReportIsReachable) {
  OpenReportClass(5, 3);
  StartReport(WriteSubjects());
  gShowAssigns = 1;
  gShowComments = 1;
  for (int k = 0; k < kMaxMultipleStudents; k++)
    gMultipleStudents[k].name.setC(("Student " + std::to_string(k)).c_str());
  gNumStudents = kMaxMultipleStudents;
  AdjustScrollBars();
  ASSERT_EQ(3 * kMaxMultipleStudents, ReportPageCount());
  MenuRef menu = GetMenuHandle(kMultipleMenu);
  ASSERT_NE(menu, nullptr);
  for (int k : {0, 347, 348, 349, 350, 420, kMaxMultipleStudents - 1}) {
    HandleMultipleChoice(static_cast<int16_t>(3 + k));
    Run();
    EXPECT_EQ(gCurrPage, 3 * k) << "student " << k;
    // The pop-up opened there names that student for printing.
    gPrintStu = gCurrPage;
    AdjustMultipleMenu();
    Str255 text;
    GetMenuItemText(menu, 1, text);
    EXPECT_EQ(ToStdString(text), "Print Student " + std::to_string(k) + "\xC9");
  }
  InjectKey(kHomeCharCode, 0);
  Run();
  EXPECT_EQ(gCurrPage, 0);
  InjectKey(kEndCharCode, 0);
  Run();
  EXPECT_GE(gLastPage, 3 * kMaxMultipleStudents - 1) << "the last page is out of reach";
}

TEST_F(MultiplePagesTest, AFullPageCutsTheMissingWorkAtItsBottom) {
  OpenReportClass(5, 3);
  StartReport(WriteSubjects());
  MultipleStudentRecord& r = gMultipleStudents[0];
  r.subjectCount = kMaxMultipleSubjects;
  for (int k = 3; k < kMaxMultipleSubjects; k++) r.subjects[k] = r.subjects[k % 3];
  r.keptMissing[gCurrentTerm] = kMaxMissingWork;
  for (int k = 0; k < kMaxMissingWork; k++) {
    MultipleAssignmentEntry& e = r.missing[gCurrentTerm][k];
    e.subject.setC("Zoology");
    e.name.setC(("Lost " + std::to_string(k)).c_str());
    e.points = 10;
    e.date = gTermDates[0].start;
  }
  gShowAttend = 1;
  gShowMissing = 1;
  gShowSignature = 1;
  const std::vector<TextDrawRecord> log = DrawPageLog(0);
  int lowest = 0, shown = 0;
  for (const TextDrawRecord& t : log) {
    if (t.text.rfind("Lost ", 0) == 0) shown++;
    lowest = std::max<int>(lowest, t.pen.v);
  }
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, kMaxMissingWork);
  EXPECT_LE(lowest, PageHeight()) << "nothing is drawn past the page";
  int zoology = 0;
  for (const TextDrawRecord& t : log) zoology += t.text == "Zoology";
  EXPECT_EQ(zoology, 1) << "the subject is written once for its run of entries";
}

TEST_F(MultiplePagesTest, TheOptionsDialogStoresTheSchoolAndTheSwitches) {
  OpenReportClass(5, 3);
  StartReport(WriteSubjects());
  gSchoolName.setC("Old");
  SetMultipleItems();
  SetEditText(gMultipleDialog, 3, PStr("Hillcrest Academy"));
  SetCheckBox(gMultipleDialog, 6, 1);   // year
  SetCheckBox(gMultipleDialog, 10, 1);  // comments
  SetCheckBox(gMultipleDialog, 4, 0);   // all terms
  GetMultipleItems();
  EXPECT_EQ(ToStdString(gSchoolName), "Hillcrest Academy");
  EXPECT_EQ(gShowYear, 1);
  EXPECT_EQ(gShowComments, 1);
  EXPECT_EQ(gShowAllTerms, 0);
  EXPECT_EQ(PagesPerMultiple(), 2);
}

// The site: each merged class in its own sub-folder (two classes of one subject in two),
// one page per merged student, and every link resolving, though a student's ID differs
// between classes and the merged page is named by the ID of the class merged last.
TEST_F(MultiplePagesTest, EveryLinkOfTheMultipleClassWebSiteResolves) {
  OpenReportClass(5, 3);
  std::vector<std::string> paths = WriteSubjects();
  const std::string extra = Path("biology-b.mtb");
  WriteClass(extra, [&] {
    FillReportClass(8, 4);
    gClass.subject.setC("Biology");
    gClass.teacher.setC("<b>Ms Quote</b>");
    for (int s = 0; s < 8; s++) gStudents[s].id.setC(("B" + std::to_string(200 + s)).c_str());
    gStudents[7].id.clear();  // no page for this one in this class
  });
  paths.push_back(extra);
  StartReport(paths);
  gSchoolName.setC("Hillcrest <High> & Co");
  const std::string site = Path("site");
  std::filesystem::create_directories(site);
  ScriptNavAnswer(NavAnswer{false, {site}, false});
  answers.push_back(1);  // names on the pages
  ASSERT_TRUE(Choose(kExportMenu, 2));
  for (const AlertRequest& a : alerts) EXPECT_EQ(a.title, "Export to Web") << a.text;

  for (const char* f : {"index.htm", "index.html", "default.html", "robots.txt", "style.css"}) {
    EXPECT_TRUE(std::filesystem::exists(site + "/" + f)) << f;
    EXPECT_TRUE(std::filesystem::exists(site + "/biology/" + f)) << f;
    EXPECT_TRUE(std::filesystem::exists(site + "/biology-2/" + f)) << f;
    EXPECT_TRUE(std::filesystem::exists(site + "/world-history/" + f)) << f;
  }
  int linked = 0;
  for (int i = 0; i < NumMultipleStudents(); i++) {
    const MultipleStudentRecord& r = gMultipleStudents[i];
    Str255 page;
    StudentPage(r.name, r.id, page);
    const std::string text = Bytes(site + "/" + ToStdString(page));
    ASSERT_FALSE(text.empty()) << ToStdString(r.name);
    EXPECT_NE(text.find("Hillcrest &lt;High&gt; &amp; Co"), std::string::npos);
    EXPECT_EQ(text.find("<High>"), std::string::npos) << "typed texts are escaped";
    for (size_t at = text.find("<a href="); at != std::string::npos;
         at = text.find("<a href=", at + 1))
      linked++;
  }
  // 12 students in three classes, 7 of the 8 with an ID in the fourth.
  EXPECT_EQ(linked, 12 * 3 + 7);
  const std::string check = RunTool("/usr/bin/python3 " + std::string(MT_SOURCE_DIR) +
                                    "/tests/reports/site_links.py '" + site + "' 2>&1");
  EXPECT_NE(check.find("pages "), std::string::npos) << check;
  EXPECT_EQ(check.find("broken"), std::string::npos) << check;
  EXPECT_EQ(check.find("Error"), std::string::npos) << check;
  EXPECT_EQ(gCurrView, kMultipleClassesView);
  EXPECT_EQ(gShowStudentName, 0);
}

}  // namespace
