// The multiple-class report's merge: saved classes read back and merged per student,
// the limits and their alerts, unreadable classes, and the sort against a bubble sort.
#include "marktally/model/multiple.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/operations.h"
#include "marktally/model/password.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Pupil {
  const char* name;
  const char* id;
  std::vector<int16_t> scores;  // term 0, one per assignment; kBlank leaves it empty
  const char* comment;
};

struct Column {
  const char* name;
  uint16_t category;
  uint16_t points;
  int day;  // of October 2026
};

struct ClassSpec {
  const char* subject;
  const char* teacher;
  const char* school;
  int16_t lastTerm;
  std::vector<Column> columns;
  std::vector<Pupil> pupils;
  uint16_t reportOptions = 0;
  uint8_t flags = 0;
  const char* password = nullptr;
};

std::string Text(ConstStringPtr s) {
  return std::string(reinterpret_cast<const char*>(s + 1), s[0]);
}

// One line per field that the report shows or sorts by, in record order.
std::string Dump() {
  std::ostringstream out;
  out << "students " << gNumStudents << " subjects " << gNumSubjects << " lastTerm " << gNumTerms
      << " term " << gCurrentTerm << " school [" << Text(gSchoolName) << "] percents "
      << int(gShowPercents) << " letters " << int(gShowLetterGrades) << " signature "
      << int(gShowSignature) << "\n";
  for (int i = 0; i < gNumStudents; i++) {
    const MultipleStudentRecord& r = gMultipleStudents[i];
    out << "student [" << Text(r.id) << "] [" << Text(r.name) << "] subjects " << r.subjectCount
        << "\n";
    for (int k = 0; k < r.subjectCount; k++) {
      const MultipleSubjectRecord& sub = r.subjects[k];
      out << "  subject [" << Text(sub.subject) << "] [" << Text(sub.teacher) << "] shown "
          << int(sub.commentsShown) << "\n   ";
      for (int g = 0; g < kMultipleGrades; g++)
        out << " " << int16_t(sub.percents[g]) << "/" << Text(sub.grades[g]);
      out << "\n    abs";
      for (int t = 0; t <= gNumTerms; t++) out << " " << sub.absences[t] << "/" << sub.tardies[t];
      out << "\n    comment [" << Text(sub.comments[0]) << "]\n";
    }
    for (int t = 0; t <= gNumTerms; t++) {
      if (r.seenWork[t] == 0 && r.seenMissing[t] == 0) continue;
      out << "  term " << t << " work " << r.keptWork[t] << "/" << r.seenWork[t] << " missing "
          << r.keptMissing[t] << "/" << r.seenMissing[t] << "\n";
      auto entry = [&](const char* kind, const MultipleAssignmentEntry& e) {
        out << "    " << kind << " [" << Text(e.subject) << "] [" << Text(e.name) << "] ["
            << Text(e.category) << "] [" << Text(e.score) << "] [" << Text(e.footnote) << "] "
            << e.points << (e.date ? " dated" : " undated") << "\n";
      };
      for (int k = 0; k < r.keptWork[t]; k++) entry("work", r.work[t][k]);
      for (int k = 0; k < r.keptMissing[t]; k++) entry("missing", r.missing[t][k]);
    }
  }
  return out.str();
}

}  // namespace

class MultipleTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/mt-multiple-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    SetFlushToDisk(false);
    ClearRecentFiles();
    NewMultipleClassReport();
  }
  void TearDown() override {
    SetFlushToDisk(true);
    NewMultipleClassReport();
    NewClass();
    gFileSpec = FileSpec{};
    fs::remove_all(dir);
    ModelTest::TearDown();
  }

  // Writes the class as a document and answers its file.
  FileSpec Save(const std::string& file, const ClassSpec& c) {
    NewClassAt(MacDate(2026, 10, 15));
    gClass.lastTerm = c.lastTerm;
    gClass.subject.setC(c.subject);
    gClass.teacher.setC(c.teacher);
    gClass.school.setC(c.school);
    gClass.flags = c.flags;
    gReportOptions = c.reportOptions;
    for (size_t k = 0; k < c.columns.size(); k++) {
      const int16_t a =
          AddAssignment(c.columns[k].name, c.columns[k].category, c.columns[k].points);
      gAssignDates[0][a] = MacDate(2026, 10, c.columns[k].day);
    }
    for (const Pupil& p : c.pupils) {
      const int16_t s = AddStudent(p.name, p.id);
      for (size_t k = 0; k < p.scores.size(); k++)
        if (p.scores[k] != kBlank) SetScore(s, static_cast<int16_t>(k), p.scores[k]);
      if (p.comment) gComments[s][0].setC(p.comment);
    }
    if (c.password) {
      Str255 digest;
      EncodePassword(PStr(c.password), digest);
      gClass.passwordDigest.set(digest);
    }
    MakeClassCurrent();
    gFileSpec.path = dir + "/" + file;
    EXPECT_TRUE(SaveDocument()) << file;
    return gFileSpec;
  }

  FileSpec Crowd(const std::string& file, const char* subject, const std::string& prefix, int count,
                 int16_t lastTerm = 3) {
    ClassSpec c{subject, "T", "S", lastTerm, {{"Quiz", 1, 10, 5}}, {}};
    std::vector<std::string> names;
    for (int i = 0; i < count; i++) names.push_back(prefix + std::to_string(1000 + i));
    for (const std::string& n : names) c.pupils.push_back({n.c_str(), "1", {}, nullptr});
    return Save(file, c);
  }

  int Alerts(const char* title) const {
    int n = 0;
    for (const AlertRequest& a : alerts) n += a.title == title;
    return n;
  }

  int Find(const char* name) const {
    for (int i = 0; i < gNumStudents; i++)
      if (Text(gMultipleStudents[i].name) == name) return i;
    return -1;
  }

  std::string dir;
};

// Three readable classes (name variants, a long subject, one student twice in a class),
// a damaged file, a locked class nobody opens, a missing file and two classes of another school
// year between them.
TEST_F(MultipleTest, FixtureClassesMergeIntoTheGoldenRecords) {
  const int16_t B = kBlank;
  std::vector<FileSpec> files;
  files.push_back(
      Save("math.mtb", {"Mathematics",
                        "Ms Ames",
                        "North High",
                        3,
                        {{"Quiz 1", 1, 10, 5}, {"Test 1", 0, 100, 9}, {"Bonus", 11, 5, 12}},
                        {{"John Doe", "101", {90, B, B}, "Works hard"},
                         {"Mary Smith", "102", {80, kExcused, 50}, nullptr},
                         {"Zoe Adams", "103", {kIncomplete, 700, B}, nullptr}},
                        0x1000 | 0x2000,
                        kLetterGrades}));
  files.push_back(Save("english.mtb", {"English Literature and Composition 10",
                                       "Mr Bell",
                                       "North High School",
                                       3,
                                       {{"Essay", 0, 50, 7}},
                                       {{"Doe, John", "201", {B}, "Late essays"},
                                        {"mary smith", "202", {450}, nullptr},
                                        {"Ann Lee", "203", {400}, nullptr},
                                        {"Ann Lee", "204", {B}, nullptr}}}));
  {
    std::ofstream(dir + "/damaged.mtb", std::ios::binary) << std::string(40, '\x07');
    files.push_back(FileSpec{dir + "/damaged.mtb"});
  }
  {
    ClassSpec locked{"Science", "Dr Dee", "North", 3, {}, {{"Pat Roe", "401", {}, nullptr}}};
    locked.password = "Secret";  // and nobody types it
    files.push_back(Save("locked.mtb", locked));
  }
  files.push_back(FileSpec{dir + "/gone.mtb"});
  files.push_back(Crowd("six-a.mtb", "Six A", "Six Term ", 2, 5));
  files.push_back(Crowd("six-b.mtb", "Six B", "Six Term ", 2, 5));
  files.push_back(Save("art.mtb", {"Art",
                                   "Mx Cole",
                                   "North High Academy",
                                   3,
                                   {{"Sketch", 1, 20, 3}},
                                   {{"JOHN DOE", "301", {150}, nullptr},
                                    {"Zo\x91"
                                     " Adams",
                                     "303",
                                     {B},
                                     nullptr}},
                                   0x1000}));

  NewMultipleClassReport();
  alerts.clear();
  for (const FileSpec& f : files) AddClass(f);
  GenerateMultipleReport();

  // Each unreadable class said so, the year mismatch once, and the rest still merged.
  EXPECT_EQ(Alerts("Classes have different school years"), 1);
  EXPECT_EQ(gNumSubjects, 3);
  EXPECT_EQ(gFileSpec.path, files.back().path) << "the tables hold the last class read";
  EXPECT_EQ(gChanged, 0) << "nothing the report read is up for saving";
  // Two students of one class with one name fill two subject slots of one merged student.
  const int ann = Find("Ann Lee");
  ASSERT_GE(ann, 0);
  EXPECT_EQ(gMultipleStudents[ann].subjectCount, 2);
  // Name variants: "Doe, John", "JOHN DOE" and an accented "Zoe Adams" join their first
  // spellings.
  EXPECT_EQ(gNumStudents, 4);
  EXPECT_EQ(gMultipleStudents[Find("JOHN DOE")].subjectCount, 3);
  EXPECT_EQ(gMultipleStudents[Find("JOHN DOE")].subjects[1].subject.length(), 31);
  std::vector<std::string> titles;
  for (const AlertRequest& a : alerts) titles.push_back(a.title);
  EXPECT_EQ(titles,
            (std::vector<std::string>{"Error", "Error", "Classes have different school years"}));
  EXPECT_EQ(Find("Pat Roe"), -1) << "the locked class stays shut";

  const std::string golden = MT_TESTS_DIR "/fixtures/multiple/merge-golden.txt";
  const std::string dump = Dump();
  if (std::getenv("MT_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << dump;
  std::ifstream in(golden, std::ios::binary);
  ASSERT_TRUE(in) << golden;
  const std::string want((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(dump, want);
}

TEST_F(MultipleTest, AStudentRefusedByTheStudentLimitLeavesTheRestOfTheClassMerged) {
  const FileSpec a = Crowd("a.mtb", "Alpha", "Pupil A", 250);
  const FileSpec b = Crowd("b.mtb", "Beta", "Pupil B", 250);
  ClassSpec c{"Gamma", "T", "S", 3, {{"Quiz", 1, 10, 5}}, {}};
  c.pupils = {{"New One", "1", {}, nullptr},
              {"New Two", "2", {}, nullptr},
              {"Pupil A1005", "3", {}, nullptr},
              {"Pupil B1249", "4", {}, nullptr}};
  const FileSpec g = Save("c.mtb", c);
  NewMultipleClassReport();
  alerts.clear();
  AddClass(a);
  AddClass(b);
  AddClass(g);
  GenerateMultipleReport();
  EXPECT_EQ(gNumStudents, 500);
  EXPECT_EQ(Alerts("Too many students in report"), 1);
  EXPECT_EQ(Find("New One"), -1);
  EXPECT_EQ(gMultipleStudents[Find("Pupil A1005")].subjectCount, 2);
  EXPECT_EQ(gMultipleStudents[Find("Pupil B1249")].subjectCount, 2);
  EXPECT_EQ(Text(gMultipleStudents[Find("Pupil B1249")].id), "4");
}

TEST_F(MultipleTest, AStudentRefusedByTheSubjectLimitLeavesTheRestOfTheClassMerged) {
  NewMultipleClassReport();
  std::vector<FileSpec> files;
  for (int k = 0; k < 17; k++) {
    const std::string subject = "Subject " + std::to_string(100 + k);
    ClassSpec c{subject.c_str(), "T", "S", 3, {{"Quiz", 1, 10, 5}}, {}};
    c.pupils = {{"John Doe", "1", {}, nullptr}};
    if (k >= 15) c.pupils.push_back({"Pat Roe", "2", {}, nullptr});
    files.push_back(Save("s" + std::to_string(k) + ".mtb", c));
  }
  NewMultipleClassReport();
  alerts.clear();
  for (const FileSpec& f : files) AddClass(f);
  GenerateMultipleReport();
  EXPECT_EQ(Alerts("Too many subjects in report"), 1);
  EXPECT_EQ(gMultipleStudents[Find("John Doe")].subjectCount, 15);
  EXPECT_EQ(gMultipleStudents[Find("Pat Roe")].subjectCount, 2);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].text, "The multiple class report may include no more than 15 subjects.");
}

TEST_F(MultipleTest, TheHundredAndFirstClassIsDroppedWithOneAlert) {
  for (int i = 0; i < 103; i++) AddClass(FileSpec{dir + "/c" + std::to_string(i) + ".mtb"});
  EXPECT_EQ(gNumFiles, 100);
  EXPECT_EQ(gFileSpecs[99].path, dir + "/c99.mtb");
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Too many classes in report");
  EXPECT_EQ(alerts[0].text, "The multiple class report may include no more than 100 classes.");
}

// A full list keeps the entries with the most points; the seen count keeps them all.
TEST_F(MultipleTest, FullWorkListsKeepTheEntriesWithTheMostPoints) {
  const int16_t s = AddStudent("Kim Park", "9");
  const int16_t other = AddStudent("Lee Chan", "8");
  for (int k = 0; k < 52; k++) {
    const std::string name = "Work " + std::to_string(k);
    // Points 20..69 for the first 50; then one with 5 points, then one with 100.
    const uint16_t points = k < 50 ? static_cast<uint16_t>(20 + k) : (k == 50 ? 5 : 100);
    const int16_t a = AddAssignment(name.c_str(), 1, points);
    gAssignDates[0][a] = MacDate(2026, 10, 1 + k % 28);
    SetScore(other, a, 10);
    if (k % 2 == 0) SetScore(s, a, 10);  // every other one missing
  }
  CountScores();
  gNumTerms = 3;
  ASSERT_EQ(MergeStudent(s), 0);
  const MultipleStudentRecord& r = gMultipleStudents[0];
  EXPECT_EQ(r.seenWork[0], 52);
  EXPECT_EQ(r.keptWork[0], 50);
  bool has100 = false, has5 = false, has20 = false;
  for (int k = 0; k < 50; k++) {
    has100 |= r.work[0][k].points == 100;
    has5 |= r.work[0][k].points == 5;
    has20 |= r.work[0][k].points == 20;
  }
  EXPECT_TRUE(has100);
  EXPECT_FALSE(has5);
  EXPECT_FALSE(has20) << "the smallest kept entry gives way";
  // 26 missing: the odd ones 1..49 (points 21..69), and the 51st (100 points).
  EXPECT_EQ(r.seenMissing[0], 26);
  EXPECT_EQ(r.keptMissing[0], 26);
}

TEST_F(MultipleTest, ExcusedAndExtraCreditScoresAreNeverMissingWork) {
  const int16_t s = AddStudent("Kim Park", "9");
  const int16_t excused = AddAssignment("Excused", 1, 10);
  const int16_t bonus = AddAssignment("Bonus", kExtraCreditCategory, 10);
  const int16_t ungraded = AddAssignment("Ungraded", 9, 10);
  const int16_t incomplete = AddAssignment("Incomplete", 0, 10);
  const int16_t other = AddStudent("Lee Chan", "8");
  SetScore(s, excused, kExcused);
  SetScore(s, incomplete, kIncomplete);
  SetScore(other, bonus, 10);
  SetScore(other, ungraded, 10);
  CountScores();
  ASSERT_EQ(MergeStudent(s), 0);
  const MultipleStudentRecord& r = gMultipleStudents[0];
  EXPECT_EQ(r.keptWork[0], 4);
  ASSERT_EQ(r.keptMissing[0], 1);
  EXPECT_EQ(Text(r.missing[0][0].name), "Incomplete");
}

// A second report after a large one starts from cleared records.
TEST_F(MultipleTest, ANewReportClearsEveryRecordOfTheLastOne) {
  const int16_t s = AddStudent("Kim Park", "9");
  SetScore(s, AddAssignment("Quiz", 1, 10), 5);
  CountScores();
  for (int i = 0; i < 300; i++) {
    gStudents[s].name.setC(("Kim Park" + std::to_string(i)).c_str());
    MergeStudent(s);
  }
  gShowYear = 1;
  NewMultipleClassReport();
  EXPECT_EQ(gNumStudents, 0);
  EXPECT_EQ(gShowYear, 0);
  EXPECT_EQ(gShowAllTerms, 1);
  for (int i = 0; i < 300; i++) {
    const MultipleStudentRecord& r = gMultipleStudents[i];
    ASSERT_TRUE(r.name.empty() && r.subjectCount == 0 && r.keptWork[0] == 0 && r.seenWork[0] == 0 &&
                r.subjects[0].percents[0] == kNone && r.subjects[0].subject.empty())
        << i;
  }
}

// ---- The sort against the bubble sort it replaces ------------------------------------

namespace {

int RefCompareNames(ConstStringPtr a, ConstStringPtr b) { return RelString(a, b, false, false); }

bool RefStudentsOutOfOrder(const MultipleStudentRecord& a, const MultipleStudentRecord& b) {
  Str255 ka, kb;
  LastNameFirst(a.name, ka);
  LastNameFirst(b.name, kb);
  return RefCompareNames(ka, kb) > 0;
}

bool RefWorkOutOfOrder(const MultipleAssignmentEntry& a, const MultipleAssignmentEntry& b,
                       bool missing) {
  if (int r = RefCompareNames(a.subject, b.subject)) return r > 0;
  if (missing) {
    if (a.points != b.points) return a.points < b.points;
  } else if (a.date != b.date) {
    return a.date > b.date;
  }
  if (int r = RefCompareNames(a.name, b.name)) return r > 0;
  return RefCompareNames(a.category, b.category) > 0;
}

// Passes over neighbours until one swaps nothing; swaps indexes of the records.
template <class OutOfOrder>
std::vector<int> BubbleOrder(int n, OutOfOrder outOfOrder) {
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; i++) order[i] = i;
  bool swapped = n > 1;
  while (swapped) {
    swapped = false;
    for (int i = 0; i + 1 < n; i++) {
      if (outOfOrder(order[i], order[i + 1])) {
        std::swap(order[i], order[i + 1]);
        swapped = true;
      }
    }
  }
  return order;
}

std::string EntryKey(const MultipleAssignmentEntry& e) {
  return Text(e.subject) + "|" + std::to_string(e.date) + "|" + Text(e.name) + "|" +
         Text(e.category) + "|" + std::to_string(e.points) + "|" + Text(e.score);
}

}  // namespace

TEST_F(MultipleTest, TheSortEqualsABubbleSortOnRandomRecords) {
  static const char* const kNames[] = {"John Doe",
                                       "Doe, John",
                                       "ann lee",
                                       "Ann Lee",
                                       "Zo\x91"
                                       " Adams",
                                       "Zoe Adams",
                                       "Al",
                                       "Bo Li",
                                       "\x83mile Zola",
                                       "emile zola",
                                       "Cy Young",
                                       "Young, Cy",
                                       "Ed"};
  static const char* const kWords[] = {"Art",
                                       "art",
                                       "Math",
                                       "\x83"
                                       "co",
                                       "eco",
                                       "Band",
                                       "Zed",
                                       ""};
  std::mt19937 rng(20261211);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 6; round++) {
    NewMultipleClassReport();
    gNumTerms = static_cast<int16_t>(pick(6));
    const int n = round == 0 ? 1 : 20 + pick(60);
    gNumStudents = static_cast<int16_t>(n);
    for (int i = 0; i < n; i++) {
      MultipleStudentRecord& r = gMultipleStudents[i];
      r.name.setC(kNames[pick(13)]);
      r.id.setC(std::to_string(i).c_str());  // tells equal names apart
      r.subjectCount = static_cast<uint16_t>(pick(16));
      for (int k = 0; k < r.subjectCount; k++) {
        r.subjects[k].subject.setC(kWords[pick(8)]);
        r.subjects[k].teacher.setC(std::to_string(k).c_str());
      }
      for (int t = 0; t <= gNumTerms; t++) {
        r.keptWork[t] = static_cast<uint16_t>(pick(51));
        r.keptMissing[t] = static_cast<uint16_t>(pick(41));
        auto fill = [&](MultipleAssignmentEntry& e, int k) {
          e.subject.setC(kWords[pick(8)]);
          e.name.setC(kWords[pick(8)]);
          e.category.setC(kWords[pick(3)]);
          e.date = static_cast<uint32_t>(1 + pick(4));
          e.points = static_cast<uint16_t>(1 + pick(4));
          e.score.setC(std::to_string(k).c_str());
        };
        for (int k = 0; k < r.keptWork[t]; k++) fill(r.work[t][k], k);
        for (int k = 0; k < r.keptMissing[t]; k++) fill(r.missing[t][k], k);
      }
    }
    // The expected result, from copies of the records.
    std::vector<MultipleStudentRecord> before(gMultipleStudents, gMultipleStudents + n);
    const std::vector<int> students =
        BubbleOrder(n, [&](int a, int b) { return RefStudentsOutOfOrder(before[a], before[b]); });

    SortMultipleClasses();

    for (int i = 0; i < n; i++) {
      const MultipleStudentRecord& want = before[students[i]];
      const MultipleStudentRecord& got = gMultipleStudents[i];
      ASSERT_EQ(Text(got.id), Text(want.id)) << "round " << round << " student " << i;
      const std::vector<int> subjects = BubbleOrder(want.subjectCount, [&](int a, int b) {
        return RefCompareNames(want.subjects[a].subject, want.subjects[b].subject) > 0;
      });
      for (int k = 0; k < want.subjectCount; k++)
        ASSERT_EQ(Text(got.subjects[k].teacher), Text(want.subjects[subjects[k]].teacher));
      for (int t = 0; t <= gNumTerms; t++) {
        const std::vector<int> work = BubbleOrder(want.keptWork[t], [&](int a, int b) {
          return RefWorkOutOfOrder(want.work[t][a], want.work[t][b], false);
        });
        for (int k = 0; k < want.keptWork[t]; k++)
          ASSERT_EQ(EntryKey(got.work[t][k]), EntryKey(want.work[t][work[k]]));
        const std::vector<int> missing = BubbleOrder(want.keptMissing[t], [&](int a, int b) {
          return RefWorkOutOfOrder(want.missing[t][a], want.missing[t][b], true);
        });
        for (int k = 0; k < want.keptMissing[t]; k++)
          ASSERT_EQ(EntryKey(got.missing[t][k]), EntryKey(want.missing[t][missing[k]]));
      }
    }
  }
}
