// The class web site: page and web names, a 250-student site full of hostile texts read
// back by html5lib and headless Chromium, its file tree against a golden listing, page
// name collisions, a failed fixed file, and the stand-alone student page.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "marktally/reports/web_site.h"
#include "tests/reports/html_fixture.h"

namespace {

class WebSiteTest : public HtmlTest {
 protected:
  std::string Folder(const std::string& name) {
    const std::string folder = Path(name);
    std::filesystem::create_directories(folder);
    return folder;
  }
  static std::string PageName(int16_t s) {
    Str255 page{};
    StudentPage(gStudents[s].name, gStudents[s].id, page);
    return page.str();
  }
  static std::string Page(const char* name, const char* id) {
    Str255 page{};
    StudentPage(PStr(name), PStr(id), page);
    return page.str();
  }
  // Runs a command; answers its exit status and puts its output in out.
  static int Run(const std::string& command, std::string& out) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    size_t n;
    out.clear();
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Checker() {
    return std::string("/usr/bin/python3 ") + SourceDir() + "/html_check.py";
  }
  // The relative paths of every file under the folder, sorted, one a line.
  static std::string Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
      if (entry.is_regular_file())
        names.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& n : names) text += n + "\n";
    return text;
  }
  // A full class of 250 students with hostile names on the fixture's hostile texts.
  void FullHostileClass() {
    BuildClass(Hostile());
    for (int s = 2; s < kMaxStudents; s++) {
      // Letters of the name and the ID both vary, so that no two page names meet.
      std::string letters;
      for (int k = s; k > 0; k /= 26) letters += static_cast<char>('a' + k % 26);
      const std::string name = "<b>O'Neil \"" + letters + "\"</b> & www.x.org/\"<i>";
      gStudents[s].name.setC(name.c_str());
      gStudents[s].id.setC(("S" + std::to_string(10000 + s * 7)).c_str());
      gComments[s][gCurrentTerm].setC("see www.a.org/\"><script>alert(1)</script> ok");
    }
    FlushAll();
  }
};

TEST_F(WebSiteTest, PageNamesFollowTheFormula) {
  EXPECT_EQ(Page("A", "1"), "3055104.html");  // eight copies of "1" against one "A"
  EXPECT_EQ(Page("A", "1"), Page("A", "11111111"));
  EXPECT_EQ(Page("Pat Lee", "12"), Page("Pat Lee", "1212"));
  EXPECT_NE(Page("Pat Lee", "12"), Page("Pat Lee", "21"));
  EXPECT_EQ(Page("Pat Lee", ""), "0.html");
  EXPECT_EQ(Page("123", "77"), "0.html");  // digits of a name do not count
  const std::string wrapped = Page("Zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", "zzzzzzzzzzzzzzz");
  EXPECT_EQ(wrapped.substr(wrapped.size() - 5), ".html");
}

TEST_F(WebSiteTest, WebNamesAreLowerCaseLettersDigitsAndDashes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"Math & Science (AP)", "math---science--ap-"},
               {"Algebra II: Period 3 and more", "algebra-ii--period-3-an"},
               {"caf\x8E/../x", "caf-----x"},
               {"", ""}};
  for (const auto& c : cases) {
    Str255 text = PStr(c.in);
    MakeWebName(text);
    EXPECT_EQ(text.str(), c.out) << c.in;
  }
}

TEST_F(WebSiteTest, AFullSiteOfHostileTextsParsesAndAddsNoElementAttributeOrScript) {
  FullHostileClass();
  gShowStudentName = 1;
  const std::string folder = Folder("site");
  int steps = 0;
  static int* counter = nullptr;
  counter = &steps;
  ASSERT_TRUE(ExportClassSite(folder, [](int16_t) { ++*counter; }));
  EXPECT_EQ(steps, kMaxStudents);
  EXPECT_TRUE(SkippedStudentPages().empty());
  EXPECT_TRUE(alerts.empty());
  const std::string listing = Listing(folder);
  const std::string golden = std::string(SourceDir()) + "/golden/site_listing.txt";
  if (std::getenv("MT_UPDATE_GOLDENS")) Spit(golden, listing);
  EXPECT_EQ(listing, Slurp(golden));
  EXPECT_EQ(Slurp(folder + "/robots.txt"), kRobotsText);
  EXPECT_EQ(Slurp(folder + "/style.css"), kStyleText);

  std::string out;
  EXPECT_EQ(Run(Checker() + " site " + folder, out), 0) << out;
  EXPECT_NE(out.find("253 pages"), std::string::npos) << out;  // 250 and the three indexes

  // What a browser builds of the most hostile page and of the index.
  const std::string page = folder + "/" + PageName(0);
  for (const std::string& file : {page, folder + "/index.html"}) {
    EXPECT_EQ(Run("timeout 90 chromium --headless --no-sandbox --disable-gpu --dump-dom 'file://" +
                      file + "' 2>/dev/null | " + Checker() + " dom '" + file + "'",
                  out),
              0)
        << out;
  }
  // Screenshots for a person to look at, at desktop and at phone width.
  std::filesystem::create_directories(MT_ARTIFACTS);
  for (const char* size : {"1280,1000", "390,844"}) {
    const std::string shot = std::string(MT_ARTIFACTS) + "/student_page_" +
                             (size[0] == '1' ? "desktop" : "phone") + ".png";
    std::filesystem::remove(shot);
    Run("timeout 90 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
        "--window-size=" + std::string(size) + " --screenshot='" + shot + "' 'file://" + page + "'",
        out);
    EXPECT_TRUE(std::filesystem::exists(shot)) << out;
  }
}

TEST_F(WebSiteTest, ASecondStudentWithTheSamePageNameIsReportedAndSkipped) {
  BuildClass();
  const int16_t a = AddStudent("Pat Lee", "12");
  const int16_t b = AddStudent("Pat Lee", "1212");
  gComments[a][gCurrentTerm].setC("first");
  gComments[b][gCurrentTerm].setC("second");
  gReportOptions |= 0x1000;
  const std::string folder = Folder("site");
  ASSERT_TRUE(ExportClassSite(folder));
  ASSERT_EQ(SkippedStudentPages().size(), 1u);
  EXPECT_EQ(SkippedStudentPages()[0], b);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].text.find("Pat Lee"), std::string::npos);
  const std::string page = Slurp(folder + "/" + Page("Pat Lee", "12"));
  EXPECT_NE(page.find("first"), std::string::npos);
  EXPECT_EQ(page.find("second"), std::string::npos);
}

TEST_F(WebSiteTest, StudentsWithoutAnIDGetNoPageAndTheSiteStillSucceeds) {
  BuildClass();
  AddStudent("No Id", "");
  const std::string folder = Folder("site");
  ASSERT_TRUE(ExportClassSite(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + "/0.html"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/" + Page("Garcia, Ana", "1042")));
}

TEST_F(WebSiteTest, AFixedFileThatCannotBeWrittenEndsTheSiteBeforeAnyPage) {
  BuildClass();
  const std::string folder = Folder("site");
  FileFaults faults;
  faults.createErrno = 13;  // EACCES
  SetFileFaultsForTesting(&faults);
  EXPECT_FALSE(ExportClassSite(folder));
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(Listing(folder), "");
}

TEST_F(WebSiteTest, TheStandAlonePageDeclaresItsCharsetAndFollowsTheView) {
  const int16_t s = BuildClass(Hostile());
  gShowStudentName = 1;
  const std::string folder = Folder("single");
  for (uint16_t view : {7, 8, 9, 11, 10}) {
    const FileSpec file{folder + "/view" + std::to_string(view) + ".html"};
    ASSERT_TRUE(WriteSingleStudentPage(file, view, s));
    const std::string page = Slurp(file.path);
    EXPECT_EQ(page.rfind("<html>\r<head>\r<title>\rProgress Report (October 15, 2026)\r", 0), 0u);
    EXPECT_NE(page.find("charset="), std::string::npos);
    // A phone lays it out for its own screen, as it does the site's pages.
    EXPECT_NE(page.find("<meta name=\"viewport\" content=\"width=device-width, "
                        "initial-scale=1\">\r"),
              std::string::npos);
    EXPECT_EQ(page.find("style.css"), std::string::npos);
    EXPECT_EQ(page.find("<h2") == std::string::npos, view == 10) << view;
  }
  std::string out;
  EXPECT_EQ(Run(Checker() + " site " + folder, out), 0) << out;
}

}  // namespace
