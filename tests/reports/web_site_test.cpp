// The class web site: page and web names, a 250-student site full of hostile texts read
// back by html5lib and headless Chromium, its file tree against a golden listing, page
// name collisions, a failed fixed file, and the stand-alone student page.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

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
  // Every visible file of the folder by name; the hidden temporaries of a save that was
  // killed are counted apart.
  static std::map<std::string, std::string> Files(const std::string& folder,
                                                  int* temporaries = nullptr) {
    std::map<std::string, std::string> files;
    if (temporaries) *temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(".~", 0) == 0) {
        if (temporaries) ++*temporaries;
        continue;
      }
      files[name] = Slurp(entry.path().string());
    }
    return files;
  }
  // Each file the old site had is there and is its old or its new self, whole; a file
  // the old site lacked is missing or new.
  static void ExpectOldOrNew(const std::map<std::string, std::string>& now,
                             const std::map<std::string, std::string>& old,
                             const std::map<std::string, std::string>& fresh,
                             const std::string& when) {
    for (const auto& [name, bytes] : fresh) {
      const auto was = old.find(name);
      const auto is = now.find(name);
      if (is == now.end()) {
        EXPECT_EQ(was, old.end()) << name << " is gone " << when;
        continue;
      }
      const bool whole = is->second == bytes || (was != old.end() && is->second == was->second);
      EXPECT_TRUE(whole) << name << " is neither old nor new " << when << " ("
                         << is->second.size() << " bytes)";
    }
    EXPECT_EQ(now.size(), fresh.size()) << when;
  }
  // A class whose site is written once (old), then changed so that every student page
  // changes, and written into a second folder (fresh): the two versions of each page.
  void TwoVersionsOfTheSite(const std::string& folder, std::map<std::string, std::string>& old,
                            std::map<std::string, std::string>& fresh) {
    FullHostileClass();
    ASSERT_TRUE(ExportClassSite(folder));
    old = Files(folder);
    gReportOptions |= 0x1000;
    for (int s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++)
      gComments[s][gCurrentTerm].setC(("changed comment " + std::to_string(s)).c_str());
    const std::string other = Folder("fresh");
    ASSERT_TRUE(ExportClassSite(other));
    fresh = Files(other);
    ASSERT_EQ(old.size(), fresh.size());
    ASSERT_NE(old.at(PageName(0)), fresh.at(PageName(0)));
  }
  static void Restore(const std::string& folder,
                      const std::map<std::string, std::string>& files) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : files) Spit(folder + "/" + name, bytes);
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

// The site written again over an older one, with the disk failing at a chosen byte of
// every file: the export stops and says so, and no page is left cut short or empty.
TEST_F(WebSiteTest, AWriteThatFailsAtAnyByteLeavesEveryPageOldOrNewWhole) {
  const std::string folder = Folder("site");
  std::map<std::string, std::string> old, fresh;
  TwoVersionsOfTheSite(folder, old, fresh);
  for (const int64_t at : {0, 1, 255, 256, 1000, 4096, 1 << 20}) {
    Restore(folder, old);
    alerts.clear();
    FileFaults faults;
    faults.failWriteAt = at;
    SetFileFaultsForTesting(&faults);
    const bool written = ExportClassSite(folder);
    SetFileFaultsForTesting(nullptr);
    const std::string when = "after a write failing at byte " + std::to_string(at);
    EXPECT_EQ(written, alerts.empty()) << when;
    EXPECT_EQ(written, at == 1 << 20) << when;
    int temporaries = 0;
    ExpectOldOrNew(Files(folder, &temporaries), old, fresh, when);
    EXPECT_EQ(temporaries, 0) << when;
  }
}

// The export killed at moments spread over its whole run, as a crash or a forced quit
// would stop it: every page is still old or new, whole.
TEST_F(WebSiteTest, AnExportKilledAtAnyMomentLeavesEveryPageOldOrNewWhole) {
  const std::string folder = Folder("site");
  std::map<std::string, std::string> old, fresh;
  TwoVersionsOfTheSite(folder, old, fresh);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ExportClassSite(Folder("timed")));
  const auto run = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - start).count();
  constexpr int kKills = 40;
  for (int k = 0; k < kKills; k++) {
    Restore(folder, old);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ExportClassSite(folder);
      _exit(0);
    }
    usleep(static_cast<useconds_t>(run * k / kKills));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ExpectOldOrNew(Files(folder), old, fresh, "after a kill at " + std::to_string(k) + "/40");
  }
  // The next export clears what the killed ones left behind.
  ASSERT_TRUE(ExportClassSite(folder));
  int temporaries = 0;
  EXPECT_EQ(Files(folder, &temporaries), fresh);
  EXPECT_EQ(temporaries, 0);
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
