#include "marktally/model/recent.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model_fixture.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

class RecentTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/mt-recent-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    const char* home = getenv("HOME");
    savedHome = home ? home : "";
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    SetFlushToDisk(false);
    ClearRecentFiles();
    for (auto& r : gRecentFiles) r.spec.path.clear();
    SetupRecentAssigns();
  }
  void TearDown() override {
    setenv("HOME", savedHome.c_str(), 1);
    SetFlushToDisk(true);
    fs::remove_all(dir);
    ModelTest::TearDown();
  }
  std::string Prefs(const char* name) const { return dir + "/config/marktally/" + name; }
  Bytes FileBytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  void WriteBytes(const std::string& path, const Bytes& bytes) const {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  void Insert(const std::string& name, uint32_t time) {
    SetClockForTesting(time);
    InsertRecentFile(FileSpec{dir + "/" + name});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < gNumRecentFiles; i++) {
      Str255 name;
      GetFileName(gRecentFiles[i].spec, name);
      names.push_back(name.str());
    }
    return names;
  }
  int16_t NameColumn(const char* name, uint16_t category, uint16_t points, uint32_t due) {
    const int16_t c = AddAssignment(name, category, points);
    gAssignDates[gCurrentTerm][c] = due;
    return c;
  }

  std::string dir, savedHome;
};

TEST_F(RecentTest, FilesMoveToTheTopAndTheOldestFallsOff) {
  for (int i = 1; i <= 4; i++) Insert("c" + std::to_string(i) + ".mtb", MacDate(2026, 1, i));
  EXPECT_EQ(Names(), (std::vector<std::string>{"c4.mtb", "c3.mtb", "c2.mtb", "c1.mtb"}));
  // Opening the third entry brings it to the top; the others keep their order.
  Insert("c2.mtb", MacDate(2026, 2, 1));
  EXPECT_EQ(Names(), (std::vector<std::string>{"c2.mtb", "c4.mtb", "c3.mtb", "c1.mtb"}));
  EXPECT_EQ(gRecentFiles[0].time, MacDate(2026, 2, 1));
  // The same document by a name that differs in letter case is one entry.
  Insert("C4.MTB", MacDate(2026, 2, 2));
  EXPECT_EQ(Names(), (std::vector<std::string>{"C4.MTB", "c2.mtb", "c3.mtb", "c1.mtb"}));
  // The same name in another folder is another document.
  fs::create_directories(dir + "/other");
  Insert("other/c1.mtb", MacDate(2026, 2, 3));
  EXPECT_EQ(gNumRecentFiles, 5);
  for (int i = 5; i <= 9; i++) Insert("c" + std::to_string(i) + ".mtb", MacDate(2026, 3, i));
  EXPECT_EQ(gNumRecentFiles, 8);
  EXPECT_EQ(Names().front(), "c9.mtb");
  EXPECT_EQ(Names().back(), "c2.mtb");  // c3 and c1 fell off
}

TEST_F(RecentTest, NamesMacRomanCannotHoldAreTwoDocuments) {
  // Both become "????.mtb" in Mac Roman; they are two documents all the same.
  Insert("\xD0\x9A\xD0\xBB\xD0\xB0\xD1\x81.mtb", MacDate(2026, 1, 1));
  Insert("\xD0\xA3\xD1\x80\xD0\xBE\xD0\xBA.mtb", MacDate(2026, 1, 2));
  EXPECT_EQ(gNumRecentFiles, 2);
  Insert("\xD0\x9A\xD0\xBB\xD0\xB0\xD1\x81.mtb", MacDate(2026, 1, 3));
  EXPECT_EQ(gNumRecentFiles, 2);
  EXPECT_EQ(gRecentFiles[0].time, MacDate(2026, 1, 3));
  // Names Mac Roman holds still meet without regard to case and diacritics.
  Insert("Caf\xC3\xA9.mtb", MacDate(2026, 1, 4));
  Insert("CAFE.mtb", MacDate(2026, 1, 5));
  EXPECT_EQ(gNumRecentFiles, 3);
  EXPECT_EQ(Names().front(), "CAFE.mtb");
}

TEST_F(RecentTest, DeletingAndClearing) {
  for (int i = 1; i <= 3; i++) Insert("c" + std::to_string(i) + ".mtb", MacDate(2026, 1, i));
  DeleteRecentFile(1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"c3.mtb", "c1.mtb"}));
  DeleteRecentFile(2);  // past the list: nothing
  DeleteRecentFile(-1);
  EXPECT_EQ(gNumRecentFiles, 2);
  ClearRecentFiles();
  EXPECT_EQ(gNumRecentFiles, 0);
  Insert("c4.mtb", MacDate(2026, 1, 4));
  EXPECT_EQ(Names(), std::vector<std::string>{"c4.mtb"});
}

TEST_F(RecentTest, PathsAreKeptWholeAndAbsolute) {
  const std::string cwd = fs::current_path();
  fs::current_path(dir);
  InsertRecentFile(FileSpec{"Rel.mtb"});
  fs::current_path(cwd);
  EXPECT_EQ(gRecentFiles[0].spec.path, dir + "/Rel.mtb");
  InsertRecentFile(FileSpec{});
  InsertRecentFile(FileSpec{"/" + std::string(1100, 'x')});  // the list file has no room
  EXPECT_EQ(gNumRecentFiles, 1);
}

TEST_F(RecentTest, TheRecentFilesFileRoundTrips) {
  Insert("B\xC3\xA9la.mtb", MacDate(2026, 1, 1));  // UTF-8 name
  Insert("Two.mtb", MacDate(2026, 1, 2));
  SaveRecentFiles();  // makes the Preferences folder
  const Bytes file = FileBytes(Prefs("Marktally Recent Files"));
  ASSERT_EQ(file.size(), 8u * 1030);
  const uint32_t t = MacDate(2026, 1, 2);
  EXPECT_EQ(file[0], t >> 24);  // big-endian time
  EXPECT_EQ(file[3], t & 0xFF);
  const std::string two = dir + "/Two.mtb";
  EXPECT_EQ(file[4] << 8 | file[5], static_cast<int>(two.size()));
  EXPECT_EQ(std::string(file.begin() + 6, file.begin() + 6 + static_cast<long>(two.size())), two);
  EXPECT_EQ(file[1030 * 2], 0);  // an empty slot

  ClearRecentFiles();
  LoadRecentFiles();
  EXPECT_EQ(gNumRecentFiles, 2);
  EXPECT_EQ(gRecentFiles[0].spec.path, two);
  EXPECT_EQ(gRecentFiles[1].spec.path, dir + "/B\xC3\xA9la.mtb");
  EXPECT_EQ(gRecentFiles[1].time, MacDate(2026, 1, 1));
}

TEST_F(RecentTest, DamagedOrShortRecentFilesAreClamped) {
  Bytes file(8 * 1030, 0);
  auto record = [&](int i, uint32_t time, int length, const std::string& path) {
    unsigned char* r = file.data() + i * 1030;
    r[0] = static_cast<unsigned char>(time >> 24);
    r[1] = static_cast<unsigned char>(time >> 16);
    r[2] = static_cast<unsigned char>(time >> 8);
    r[3] = static_cast<unsigned char>(time);
    r[4] = static_cast<unsigned char>(length >> 8);
    r[5] = static_cast<unsigned char>(length);
    std::copy(path.begin(), path.end(), r + 6);
  };
  record(0, 4, 6, "/first");
  record(1, 5, 0xFFFF, "/" + std::string(1023, 'p'));  // length past its room
  record(2, 6, 6, std::string("/ab\0cd", 6));  // a NUL ends the path
  record(3, 6, 3, "a/b");  // not a path the program saved
  record(4, 6, 4, "/a\tb");  // control characters
  record(5, 6, 5, "/a\xC3(b");  // no UTF-8
  record(6, 0, 4, "/gap");
  record(7, 7, 4, "/end");
  WriteBytes(Prefs("Marktally Recent Files"), file);
  LoadRecentFiles();
  EXPECT_EQ(Names(), (std::vector<std::string>{"first", "ab"}));  // up to the empty slot
  EXPECT_EQ(gNumRecentFiles, 2);
  EXPECT_EQ(gRecentFiles[1].spec.path, "/ab");
  EXPECT_EQ(gRecentFiles[2].time, 0u);

  // A short file replaces only the records it holds.
  record(0, 9, 4, "/new");
  const Bytes shortFile(file.begin(), file.begin() + 1030 + 500);
  WriteBytes(Prefs("Marktally Recent Files"), shortFile);
  LoadRecentFiles();
  EXPECT_EQ(gRecentFiles[0].spec.path, "/new");
  EXPECT_EQ(gRecentFiles[1].spec.path, "/ab");  // as it was
  EXPECT_EQ(gNumRecentFiles, 2);

  // A FIFO in the file's place is no list, and reading it never waits for a writer.
  alarm(30);
  fs::remove(Prefs("Marktally Recent Files"));
  ASSERT_EQ(mkfifo(Prefs("Marktally Recent Files").c_str(), 0600), 0);
  LoadRecentFiles();
  EXPECT_EQ(gNumRecentFiles, 0);
  alarm(0);
}

TEST_F(RecentTest, ThePreferencesFolderFollowsTheEnvironment) {
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (dir + "/home").c_str(), 1);
  EXPECT_EQ(PreferencesFolder(), dir + "/home/.config/marktally");
  Insert("c1.mtb", MacDate(2026, 1, 1));
  SaveRecentFiles();  // every missing folder is made
  EXPECT_TRUE(fs::exists(dir + "/home/.config/marktally/Marktally Recent Files"));
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(PreferencesFolder(), dir + "/home/.config/marktally");

  // A folder that cannot be made: the lists are lost silently.
  std::ofstream(dir + "/plain") << "x";
  setenv("XDG_CONFIG_HOME", (dir + "/plain").c_str(), 1);
  SaveRecentFiles();
  SaveRecentAssigns();
  EXPECT_TRUE(alerts.empty());
  LoadRecentFiles();
  EXPECT_EQ(gNumRecentFiles, 0);
}

TEST_F(RecentTest, AssignmentsMoveToTheTopByName) {
  SetClockForTesting(MacDate(2026, 1, 1));
  SetupRecentAssigns();
  EXPECT_EQ(gNumRecentAssigns, 0);
  EXPECT_EQ(gRecentAssigns[15].date, MacDate(2026, 1, 1));
  EXPECT_EQ(gRecentAssigns[15].assignment.category, 1);
  EXPECT_EQ(gRecentAssigns[15].assignment.points, 0);

  const int16_t quiz = NameColumn("Quiz", 0, 20, MacDate(2026, 1, 10));
  const int16_t lab = NameColumn("Lab", 2, 50, MacDate(2026, 1, 11));
  InsertRecentAssign(quiz);
  InsertRecentAssign(lab);
  EXPECT_EQ(gNumRecentAssigns, 2);
  EXPECT_EQ(gRecentAssigns[0].assignment.name.str(), "Lab");
  EXPECT_EQ(gRecentAssigns[0].date, MacDate(2026, 1, 11));
  // A column whose name is in the list already moves that entry up, with its new values.
  gAssignments[gCurrentTerm][quiz].name.setC("QUIZ");
  gAssignments[gCurrentTerm][quiz].points = 25;
  InsertRecentAssign(quiz);
  EXPECT_EQ(gNumRecentAssigns, 2);
  EXPECT_EQ(gRecentAssigns[0].assignment.name.str(), "QUIZ");
  EXPECT_EQ(gRecentAssigns[0].assignment.points, 25);
  EXPECT_EQ(gRecentAssigns[1].assignment.name.str(), "Lab");

  InsertRecentAssign(NameColumn("", 1, 1, 0));  // an empty name: nothing
  InsertRecentAssign(-1);
  InsertRecentAssign(kMaxAssignments);
  EXPECT_EQ(gNumRecentAssigns, 2);
  for (int i = 0; i < 16; i++)
    InsertRecentAssign(NameColumn(("HW " + std::to_string(i)).c_str(), 1, 10, 0));
  EXPECT_EQ(gNumRecentAssigns, 16);
  EXPECT_EQ(gRecentAssigns[0].assignment.name.str(), "HW 15");
  EXPECT_EQ(gRecentAssigns[15].assignment.name.str(), "HW 0");
}

TEST_F(RecentTest, TheRecentAssignmentsFileRoundTrips) {
  InsertRecentAssign(NameColumn("Quiz", 0, 20, MacDate(2026, 1, 10)));
  InsertRecentAssign(NameColumn("Lab", 2, 50, MacDate(2026, 1, 11)));
  SaveRecentAssigns();
  const Bytes file = FileBytes(Prefs("Marktally Recent Assignments"));
  ASSERT_EQ(file.size(), 898u);
  EXPECT_EQ(file[0], 18);
  EXPECT_EQ(file[1], 0);
  EXPECT_EQ(file[2 + 4], 3);  // length of "Lab", little-endian record as in memory
  EXPECT_EQ(file[2 + 4 + 48], 2);

  SetupRecentAssigns();
  LoadRecentAssigns();
  EXPECT_EQ(gNumRecentAssigns, 2);
  EXPECT_EQ(gRecentAssigns[1].assignment.name.str(), "Quiz");
  EXPECT_EQ(gRecentAssigns[1].assignment.points, 20);
  EXPECT_EQ(gRecentAssigns[1].date, MacDate(2026, 1, 10));
}

TEST_F(RecentTest, ForeignOrDamagedAssignmentFilesAreIgnoredOrClamped) {
  InsertRecentAssign(NameColumn("Quiz", 0, 20, MacDate(2026, 1, 10)));
  SaveRecentAssigns();
  Bytes file = FileBytes(Prefs("Marktally Recent Assignments"));

  // Written by a big-endian build: ignored, the list stays as set up.
  Bytes foreign = file;
  foreign[0] = 0;
  foreign[1] = 18;
  WriteBytes(Prefs("Marktally Recent Assignments"), foreign);
  SetupRecentAssigns();
  LoadRecentAssigns();
  EXPECT_EQ(gNumRecentAssigns, 0);
  EXPECT_TRUE(gRecentAssigns[0].assignment.name.empty());

  Bytes damaged = file;
  damaged[2 + 4] = 200;        // name length past its capacity
  damaged[2 + 4 + 48] = 99;    // no such category
  damaged[2 + 56 + 4] = 5;     // a second record, cut short by the file's end
  damaged.resize(2 + 56 + 30);
  WriteBytes(Prefs("Marktally Recent Assignments"), damaged);
  SetupRecentAssigns();
  LoadRecentAssigns();
  EXPECT_EQ(gNumRecentAssigns, 1);
  EXPECT_EQ(gRecentAssigns[0].assignment.name.length(), 47);
  EXPECT_EQ(gRecentAssigns[0].assignment.category, 1);
  EXPECT_TRUE(gRecentAssigns[1].assignment.name.empty());
}

}  // namespace
