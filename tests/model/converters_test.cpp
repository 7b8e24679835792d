// Documents of every readable version and byte order, written here from the layout
// tables of each version (not by the program's writer, so that a misreading shared by
// the writer and the reader shows), then opened, converted and saved again.
#include "marktally/model/converters.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "marktally/model/password.h"
#include "marktally/model/recent.h"
#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

const char kConvertedTitle[] = "Class has been converted";
const char kConvertedText[] =
    "This class was saved with an earlier version of Marktally. It has been converted to "
    "work with this version.";

// The class every fixture holds, in today's units; the writer turns it into each
// version's form.
struct Sample {
  int lastTerm = 3;
  int examWeight = 250;  // tenths of a percent
  int examScope = 1;
  std::string school = "Lincoln High", subject = "Biology", teacher = "Ms. Park";
  std::string digest;
  uint32_t saved = 0, created = 0;
  uint8_t flags = 0x28;  // name column, whole percents
  uint8_t currentTerm = 1;
  std::string classCode = "BIO-1", section = "02", account = "acct", teacherID = "T77";
  uint16_t options = 0x13AF;
  uint16_t grading[6] = {1, 0, 1, 0, 0, 0};
  uint16_t cutoffs[12] = {600, 630, 670, 700, 730, 770, 800, 830, 870, 900, 940, 0xFFFF};
  std::string letters[13] = {"E", "D-", "D", "D+", "C-", "C", "C+", "B-", "B", "B+", "A-",
                             "A", ""};
  struct Category {
    std::string name;
    uint16_t drop, weight;
  } categories[6][12];
  struct Code {
    std::string name;
    uint16_t kind, value;
  } codes[8] = {{"Ab", 1, 10}, {"Ex", 1, 0}, {"T", 2, 10}, {"Lt", 2, 5},
                {"", 1, 10},   {"", 1, 10},  {"", 1, 10}, {"", 1, 10}};
  uint8_t week[7] = {1, 1, 1, 1, 1, 1, 0};
  uint32_t start[6] = {}, end[6] = {};
  struct Student {
    std::string id, name;
    uint16_t termPercent[6], dropped[6][12], locked[6], semester[6], absences[6], tardies[6];
    int16_t scores[6][150];
    uint8_t attendance[360];
    uint8_t footnotes[6][150];
    std::string comments[6], recipients, blindCopies;
  };
  std::vector<Student> students;
  struct Assignment {
    std::string name;
    uint16_t category, points;
    uint32_t due;
  } assignments[6][3];
  std::string headers[6], footers[6], termNames[6], footnoteText[8];
  struct Special {
    std::string name;
    uint16_t kind;
  } specials[8] = {{"Exc", 1}, {"Abs", 3}, {"Inc", 3}, {"Lat", 2},
                   {"", 2},    {"", 2},    {"", 2},    {"", 2}};
  uint16_t rows = 5, columns = 4;
  uint16_t seats[20][20];
  uint8_t holidays[360] = {};
  uint16_t scale = 90, orientation = 2;
  uint32_t pageValues[4] = {1000, 1000, 1000, 1000};
  uint16_t attendFlags = 0x0301, allowed = 3;
  int16_t penalty = 15;
  int16_t port = 587;
  std::string server = "smtp.school.org", user = "park", password = "pw", address = "p@s.org";

  Sample() {
    saved = MacDate(2026, 6, 20);
    created = MacDate(2025, 8, 25);
    const uint32_t first = MacDate(2025, 9, 2);  // a Tuesday, as new classes begin
    for (int t = 0; t < 4; t++) {
      start[t] = first + static_cast<uint32_t>(t) * 70 * 86400;
      end[t] = start[t] + 63 * 86400;
    }
    for (int t = 0; t < 6; t++) {
      categories[t][0] = {"Quiz", 1, 40};
      categories[t][1] = {"Lab", 0, 60};
      categories[t][9] = {"Ungraded", 0, 0xFFFF};
      categories[t][10] = {"Final Exams", 0, 0};
      categories[t][11] = {"Extra Credit", 0, 10};
      for (int a = 0; a < 3; a++)
        assignments[t][a] = {"Quiz " + std::to_string(a + 1) + "-" + std::to_string(t),
                             static_cast<uint16_t>(a % 2), static_cast<uint16_t>(10 * (a + 1)),
                             first + static_cast<uint32_t>(t * 70 + a * 7) * 86400};
      headers[t] = "Header " + std::to_string(t);
      footers[t] = "Footer " + std::to_string(t);
      termNames[t] = "Period " + std::to_string(t + 1);
    }
    footnoteText[0] = "Late";
    footnoteText[1] = "Redo";
    for (auto& row : seats)
      for (auto& s : row) s = 0xFFFF;
    holidays[40] = 1;
    AddStudent("1001", "Adams, Ann");
    AddStudent("1002", "Baker, Bo\x8E");  // é
    AddStudent("1003", "Chen, Cy");
    seats[0][0] = 2;
    seats[1][3] = 0;
  }

  void AddStudent(const std::string& id, const std::string& name) {
    Student s{};
    const int k = static_cast<int>(students.size());
    s.id = id;
    s.name = name;
    for (int t = 0; t < 6; t++) {
      s.termPercent[t] = static_cast<uint16_t>(800 + 10 * k + t);
      s.locked[t] = t == 2 ? 777 : 0xFFFF;
      s.semester[t] = static_cast<uint16_t>(850 + t);
      s.absences[t] = static_cast<uint16_t>(10 * k + t);
      s.tardies[t] = static_cast<uint16_t>(5 * k + t);
      for (int i = 0; i < 12; i++) s.dropped[t][i] = i == 0 ? static_cast<uint16_t>(k) : 0xFFFD;
      for (int a = 0; a < 150; a++) {
        s.scores[t][a] = kBlank;
        s.footnotes[t][a] = kNoMark;
      }
      s.scores[t][0] = static_cast<int16_t>(70 + k);
      s.scores[t][1] = k == 1 ? kExcused : static_cast<int16_t>(150 + t);
      s.scores[t][2] = static_cast<int16_t>(-40 + k);  // letter grades
      s.footnotes[t][1] = 1;
      s.comments[t] = "Comment " + std::to_string(k) + "/" + std::to_string(t);
    }
    for (auto& d : s.attendance) d = kNoMark;
    s.attendance[0] = 0;
    s.attendance[1] = 1;
    s.attendance[2] = 2;
    s.attendance[3] = 3;
    s.recipients = "parent" + std::to_string(k) + "@home.org";
    s.blindCopies = "";
    students.push_back(s);
  }
};

// Bytes as a document of one byte order holds them.
class Out {
 public:
  explicit Out(bool littleEndian) : le_(littleEndian) {}
  void u8(int v) { b.push_back(static_cast<unsigned char>(v)); }
  void u16(int v) {
    const auto x = static_cast<uint16_t>(v);
    if (le_) {
      u8(x & 0xFF);
      u8(x >> 8);
    } else {
      u8(x >> 8);
      u8(x & 0xFF);
    }
  }
  // The words whose first byte is the low one in either byte order.
  void u16FirstLow(int v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(uint32_t v) {
    if (le_) {
      u16(static_cast<int>(v & 0xFFFF));
      u16(static_cast<int>(v >> 16));
    } else {
      u16(static_cast<int>(v >> 16));
      u16(static_cast<int>(v & 0xFFFF));
    }
  }
  void zeros(size_t n) { b.insert(b.end(), n, 0); }
  void fill(size_t n, unsigned char v) { b.insert(b.end(), n, v); }
  // A text field of capacity n: NUL-terminated Windows-1252, or length-prefixed Mac Roman.
  void text(const std::string& s, int capacity) {
    const size_t start = b.size();
    if (!le_) u8(static_cast<int>(s.size()));
    for (unsigned char c : s) {
      EXPECT_TRUE(c < 0x80 || c == 0x8E) << "the sample's texts hold ASCII and \x8E only";
      u8(le_ && c == 0x8E ? 0xE9 : c);
    }
    zeros(start + static_cast<size_t>(capacity) + 1 - b.size());
  }
  bool le() const { return le_; }
  Bytes b;

 private:
  bool le_;
};

// A record of an old layout, filled at the offsets its table gives.
struct OldRecord {
  OldRecord(size_t size, bool le) : out(le) { out.fill(size, 0x11); }
  void text(size_t at, const std::string& s, int capacity) {
    Out t(out.le());
    t.text(s, capacity);
    std::copy(t.b.begin(), t.b.end(), out.b.begin() + static_cast<long>(at));
  }
  void u16(size_t at, int v) {
    Out t(out.le());
    t.u16(v);
    out.b[at] = t.b[0];
    out.b[at + 1] = t.b[1];
  }
  uint16_t word(size_t at) const {
    return out.le() ? static_cast<uint16_t>(out.b[at] | out.b[at + 1] << 8)
                    : static_cast<uint16_t>(out.b[at] << 8 | out.b[at + 1]);
  }
  Out out;
};

constexpr int kOldStudents = 48, kOldAssignments = 54, kOldDays = 350;

// Attendance codes as versions before 11 stored them.
uint8_t OldMark(uint8_t mark) {
  switch (mark) {
    case 0: return 0xFC;
    case 1: return 0xFE;
    case 2: return 0xFB;
    default: return mark;
  }
}

class Writer {
 public:
  Writer(const Sample& s, int version, bool le) : s_(s), v_(version), o_(le) {}

  Bytes Write() {
    if (v_ >= 12)
      WriteCurrent();
    else if (v_ >= 9)
      Write50();
    else
      Write41();
    return o_.b;
  }

 private:
  int N() const { return static_cast<int>(s_.students.size()) - 1; }
  int T() const { return s_.lastTerm; }
  // Versions 12 to 17 held 100 assignments with names of capacity 21.
  int Slots() const { return v_ >= 18 ? 150 : 100; }
  int NameCapacity() const { return v_ >= 18 ? 47 : 21; }

  void ClassRecord() {
    o_.u16(s_.lastTerm);
    o_.u16(s_.examWeight);
    o_.u16(s_.examScope);
    o_.text(s_.school, 63);
    o_.text(s_.subject, 63);
    o_.text(s_.teacher, 31);
    o_.text(s_.digest, 17);
    o_.u32(s_.saved);
    o_.u32(s_.created);
    o_.u32(1904);
    o_.u8(s_.flags);
    o_.u8(s_.currentTerm);
    o_.zeros(2);
  }
  void Categories(int count) {
    for (int t = 0; t < 6; t++) {
      for (int c = 0; c < count; c++) {
        o_.text(s_.categories[t][c].name, 21);
        o_.u16(s_.categories[t][c].drop);
        o_.u16(s_.categories[t][c].weight);
      }
    }
  }
  void Codes() {
    for (const auto& c : s_.codes) {
      o_.text(c.name, 5);
      o_.u16(0);
      o_.u16(c.kind);
      o_.u16(c.value);
    }
  }
  void Letters() {
    for (const auto& l : s_.letters) o_.text(l, 4);
  }
  void Cutoffs(bool wholePercents) {
    for (uint16_t c : s_.cutoffs) o_.u16(wholePercents && c != 0xFFFF ? c / 10 : c);
  }
  void Dates(uint32_t shift) {
    for (int t = 0; t < 6; t++) {
      o_.u32(s_.start[t] - (s_.start[t] ? shift : 0));
      o_.u32(s_.end[t] - (s_.end[t] ? shift : 0));
    }
  }
  void Assignments(int terms, int slots, int capacity) {
    for (int t = 0; t < terms; t++) {
      for (int a = 0; a < slots; a++) {
        if (a < 3) {
          o_.text(s_.assignments[t][a].name, capacity);
          o_.u16(s_.assignments[t][a].category);
          o_.u16(s_.assignments[t][a].points);
        } else {
          o_.text("", capacity);
          o_.u16(1);
          o_.u16(100);
        }
      }
    }
  }

  void WriteCurrent() {
    o_.u16(v_);
    ClassRecord();
    if (v_ >= 18) {
      o_.text(s_.classCode, 31);
      o_.text(s_.section, 15);
      o_.text(s_.account, 63);
      o_.text(s_.teacherID, 15);
      o_.zeros(256);
    }
    o_.u16FirstLow(s_.options);
    for (uint16_t g : s_.grading) o_.u16(g);
    Cutoffs(false);
    Letters();
    Categories(12);
    Codes();
    for (uint8_t d : s_.week) o_.u8(d);
    Dates(0);
    o_.u16(N());
    for (const auto& st : s_.students) {
      o_.text(st.id, 15);
      o_.text(st.name, 31);
      for (uint16_t p : st.termPercent) o_.u16(p);
      for (const auto& row : st.dropped)
        for (uint16_t d : row) o_.u16(d);
      for (int i = 0; i < 72 + 54; i++) o_.u16(0xFFFF);  // reserved
      for (uint16_t p : st.semester) o_.u16(p);
      for (uint16_t p : st.semester) o_.u16(p);  // unrounded
      for (uint16_t p : st.locked) o_.u16(p);
      for (uint16_t a : st.absences) o_.u16(a);
      for (uint16_t a : st.tardies) o_.u16(a);
    }
    Assignments(T() + 1, Slots(), NameCapacity());
    for (const auto& st : s_.students)
      for (int t = 0; t <= T(); t++)
        for (int a = 0; a < Slots(); a++) o_.u16(st.scores[t][a]);
    for (const auto& st : s_.students)
      for (uint8_t d : st.attendance) o_.u8(d);
    if (v_ >= 13) {
      for (int t = 0; t <= T(); t++) {
        o_.text(s_.headers[t], 255);
        o_.text(s_.footers[t], 255);
      }
      for (const auto& st : s_.students)
        for (int t = 0; t <= T(); t++) o_.text(st.comments[t], 255);
    }
    if (v_ >= 14) {
      for (const auto& n : s_.termNames) o_.text(n, 21);
      for (const auto& n : s_.footnoteText) o_.text(n, 21);
      for (const auto& st : s_.students)
        for (int t = 0; t <= T(); t++)
          for (int a = 0; a < Slots(); a++) o_.u8(st.footnotes[t][a]);
    }
    if (v_ >= 15) {
      for (const auto& sp : s_.specials) {
        o_.text(sp.name, 5);
        o_.u16(0);
        o_.u16(sp.kind);
      }
    }
    if (v_ >= 16) {
      for (int t = 0; t <= T(); t++)
        for (int a = 0; a < Slots(); a++) o_.u32(a < 3 ? s_.assignments[t][a].due : s_.created);
      o_.u16(s_.rows);
      o_.u16(s_.columns);
      for (const auto& row : s_.seats)
        for (uint16_t seat : row) o_.u16(seat);
    }
    if (v_ >= 17) {
      for (uint8_t h : s_.holidays) o_.u8(h);
      o_.u16(s_.scale);
      o_.u16(s_.orientation);
      for (uint32_t v : s_.pageValues) o_.u32(v);
    }
    if (v_ >= 19) {
      o_.u16FirstLow(s_.attendFlags);
      o_.u16(s_.allowed);
      o_.u16(s_.penalty);
    }
    if (v_ >= 20) {
      o_.u16(s_.port);
      o_.text(s_.server, 255);
      o_.text(s_.user, 255);
      o_.text(s_.password, 255);
      o_.text(s_.address, 255);
      for (const auto& st : s_.students) {
        o_.text(st.recipients, 255);
        o_.text(st.blindCopies, 255);
      }
    }
  }

  void OldScores() {
    for (int s = 0; s < kOldStudents; s++)
      for (int t = 0; t < 6; t++)
        for (int a = 0; a < kOldAssignments; a++)
          o_.u16(s <= N() ? s_.students[s].scores[t][a] : kBlank);
  }
  void OldAttendance() {
    for (int s = 0; s < kOldStudents; s++)
      for (int d = 0; d < kOldDays; d++) {
        const uint8_t m = s <= N() ? s_.students[s].attendance[d] : kNoMark;
        o_.u8(v_ <= 10 ? OldMark(m) : m);
      }
  }
  void OldStudents(int size) {
    for (int s = 0; s < kOldStudents; s++) {
      OldRecord r(static_cast<size_t>(size), o_.le());
      if (s <= N()) FillOldStudent(r, s_.students[s], size);
      else std::fill(r.out.b.begin(), r.out.b.end(), 0);
      o_.b.insert(o_.b.end(), r.out.b.begin(), r.out.b.end());
    }
  }
  void FillOldStudent(OldRecord& r, const Sample::Student& st, int size) {
    const int idAt = size == 312 ? -1 : 0;
    const int nameAt = size == 312 ? 4 : 16;
    const int percentsAt = size == 312 ? 36 : 48;
    if (idAt >= 0) r.text(0, st.id, 15);
    r.text(static_cast<size_t>(nameAt), st.name, 31);
    for (int t = 0; t < 6; t++) r.u16(static_cast<size_t>(percentsAt + 2 * t), st.termPercent[t]);
    if (size == 372) {
      for (int k = 0; k < 6; k++) r.u16(84 + 24 * static_cast<size_t>(k), 500 + k);
      for (int t = 0; t < 6; t++) {
        r.u16(348 + 2 * static_cast<size_t>(t), st.absences[t]);
        r.u16(360 + 2 * static_cast<size_t>(t), st.tardies[t]);
      }
    } else {
      // The dropped-score groups: a word sequence that shows which bytes were taken.
      const int from = size == 312 ? 48 : 60;
      for (int at = from; at < from + 22 * 5 + 24; at += 2)
        r.u16(static_cast<size_t>(at), 3000 + at);
      if (size == 348) {
        for (int t = 0; t < 6; t++) {
          r.u16(324 + 2 * static_cast<size_t>(t), st.absences[t]);
          r.u16(336 + 2 * static_cast<size_t>(t), st.tardies[t]);
        }
      }
    }
  }

  void Write50() {
    o_.u16(v_);
    o_.u16(s_.lastTerm);
    o_.u16(v_ == 9 ? s_.examWeight / 10 : s_.examWeight);
    o_.u16(s_.examScope);
    o_.u8(s_.flags);  // the flags word's first byte
    o_.u8(0xA5);
    o_.u8(s_.options & 0xFF);  // old report options: their first byte counts
    o_.u8(0x5A);
    for (uint16_t g : s_.grading) o_.u16(g);
    if (v_ >= 11) Letters();
    Cutoffs(v_ == 9);
    OldStudents(372);
    OldScores();
    Categories(12);
    Assignments(6, kOldAssignments, 21);
    if (v_ >= 11)
      for (uint8_t d : s_.week) o_.u8(d);
    Dates(43200);
    if (v_ >= 11) Codes();
    OldAttendance();
  }

  void Write41() {
    o_.u16(v_);
    // Five words, first byte low: taken as stored, then put in the host's order.
    Out be(false);
    be.u16(s_.lastTerm);
    be.u16(s_.grading[0]);
    be.u16(s_.examWeight / 10);
    be.u16(s_.examScope);
    o_.b.insert(o_.b.end(), be.b.begin(), be.b.end());
    o_.u16FirstLow(Old46Flags());
    Cutoffs(true);
    OldStudents(v_ == 5 ? 312 : v_ <= 7 ? 324 : 348);
    OldScores();
    for (int c = 0; c < 11; c++) {
      o_.text(c < 10 ? s_.categories[0][c].name : "Eleventh", 21);
      o_.u16(c < 10 ? s_.categories[0][c].drop : 7);
      o_.u16(c < 10 ? s_.categories[0][c].weight : 7);
    }
    Assignments(6, kOldAssignments, 21);
    if (v_ == 8) {
      Dates(43200);
      OldAttendance();
    }
  }

 public:
  // Name column (bit 2), weekend days (bit 12), report options 0, 2, 5 (bits 15, 3, 6).
  static int Old46Flags() { return 1 << 2 | 1 << 12 | 1 << 15 | 1 << 3 | 1 << 6; }

 private:
  const Sample& s_;
  int v_;
  Out o_;
};

struct Case {
  int version;
  bool le;
};

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return "v" + std::to_string(info.param.version) + (info.param.le ? "_le" : "_be");
}

class ConvertersTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    char pattern[] = "/tmp/mt-converters-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    SetFlushToDisk(false);
  }
  void TearDown() override {
    SetFlushToDisk(true);
    gQuietConversions = false;
    fs::remove_all(dir);
    ModelTest::TearDown();
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  bool Open(const std::string& path) {
    gFileSpec.path = path;
    FileRef ref;
    if (!OpenFile(ref)) return false;
    const bool ok = ReadDocument(ref);
    gCurrentTerm = gClass.currentTerm;
    return ok;
  }
  bool OpenSample(const Sample& s, int version, bool le) {
    const Bytes bytes = Writer(s, version, le).Write();
    std::ofstream(Path("Old Class.mtb"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return Open(Path("Old Class.mtb"));
  }
  Bytes FileBytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir;
};

class EveryVersion : public ConvertersTest, public testing::WithParamInterface<Case> {};

// What each version brings back of the sample, after its conversions.
void ExpectConverted(const Sample& s, int v, bool le, bool resaved) {
  const bool old = v < 12;
  const Sample::Student& bo = s.students[1];
  const int students = static_cast<int>(s.students.size());

  EXPECT_EQ(gClass.lastTerm, s.lastTerm);
  EXPECT_EQ(gClass.examWeight, s.examWeight);
  EXPECT_EQ(gClass.examScope, s.examScope);
  EXPECT_EQ(NumStudents(), students);
  EXPECT_EQ(gStudents[1].name.str(), "Baker, Bo\x8E");
  EXPECT_EQ(gStudents[1].id.str(), v == 5 ? "" : "1002");
  // Cached term percents, unless the conversion regrades the class (version 9 and older).
  if (v >= 10) {
    for (int t = 0; t < 6; t++) EXPECT_EQ(gStudents[1].termPercent[t], bo.termPercent[t]) << t;
  }
  EXPECT_EQ(gCutoffs[10], 940);
  EXPECT_EQ(gCutoffs[11], 0xFFFF);  // unused, and stays so when cutoffs are scaled
  EXPECT_EQ(gCategories[2][0].name.str(), "Quiz");
  EXPECT_EQ(gCategories[2][0].drop, 1);
  EXPECT_EQ(gCategories[2][0].weight, 40);
  // Slots an old version does not hold keep the new-class values, unconverted.
  EXPECT_EQ(gCategories[3][10].name.str(), "Final Exams");
  EXPECT_EQ(gCategories[3][11].name.str(), "Extra Credit");
  EXPECT_EQ(gCategories[3][11].weight, 10);
  EXPECT_EQ(gAssignments[1][149].category, 1);
  EXPECT_EQ(gAssignments[1][149].points, 100);
  EXPECT_EQ(gStudents[students].dropped[0][0], kFreeDropSlot);
  EXPECT_EQ(gScores[students][0][0], kBlank);
  EXPECT_EQ(gAssignments[2][1].name.str(), "Quiz 2-2");
  EXPECT_EQ(gAssignments[2][1].category, 1);
  EXPECT_EQ(gAssignments[2][1].points, 20);
  EXPECT_EQ(gScores[0][3][0], 70);
  EXPECT_EQ(gScores[1][3][1], kExcused);
  EXPECT_EQ(gScores[2][0][2], -38);

  // Term names, due dates and the chart that versions before 16 lack are made up.
  const bool defaultNames = v <= 13;
  EXPECT_EQ(gTermNames[1].str(), defaultNames ? "2nd Quarter" : "Period 2");
  const bool madeDates = v <= 15;
  // Column c of every term falls on the c-th school day of term 0 (Tuesday first).
  EXPECT_EQ(gAssignDates[2][1], madeDates ? gTermDates[2].start + 86400 : s.assignments[2][1].due);
  EXPECT_EQ(gSeatingChart.rows, madeDates ? 2 : s.rows);
  EXPECT_EQ(gSeatingChart.seats[0][0], madeDates ? kNone : 2);

  // Term dates: versions 5 to 7 did not keep them; the others come at noon.
  if (v <= 7) {
    TermDatesRecord fresh[kMaxTerms];
    NewTermDates(static_cast<int16_t>(s.lastTerm), fresh);
    EXPECT_EQ(gTermDates[1].start, fresh[1].start);
  } else {
    EXPECT_EQ(gTermDates[1].start, s.start[1]);
    EXPECT_EQ(gTermDates[3].end, s.end[3]);
  }

  if (old) {
    EXPECT_EQ(gClass.school.str(), "school");
    if (v >= 9) {
      EXPECT_EQ(gClass.subject.str(), "Old Class");
    }
    EXPECT_TRUE(gClass.flags & kLetterGrades || v >= 10);
    // Versions 9 to 11 kept the totals; version 8 counts them again from its attendance.
    if (v >= 9) {
      EXPECT_EQ(gStudents[1].absences[3], bo.absences[3]);
    }
  } else {
    EXPECT_EQ(gClass.school.str(), s.school);
    EXPECT_EQ(gClass.subject.str(), s.subject);
    EXPECT_EQ(gClass.createdTime, s.created);
    if (!resaved) {
      EXPECT_EQ(gClass.savedTime, s.saved);
    }
    EXPECT_EQ(gClass.flags, s.flags);
    EXPECT_EQ(gStudents[1].lockedPercent[2], 777);
    EXPECT_EQ(gStudents[1].absences[3], bo.absences[3]);
    EXPECT_EQ(gStudents[1].dropped[0][0], 1);
    // Cached percents of big-endian files are computed again rather than read unswapped.
    EXPECT_EQ(gStudents[1].semesterPercent[1], le ? bo.semester[1] : kNone);
    EXPECT_EQ(gComments[1][2].str(), v >= 13 ? "Comment 1/2" : "");
    EXPECT_EQ(gHeader[3].str(), v >= 13 ? "Header 3" : "");
    EXPECT_EQ(gFootnoteText[1].str(), v >= 14 ? "Redo" : "");
    EXPECT_EQ(gFootnoteText[0].str(), "Late");
    EXPECT_EQ(gFootnotes[2][1][1], v >= 14 ? 1 : kNoMark);
    EXPECT_EQ(gSpecialScores[3].name.str(), v >= 15 ? "Lat" : "");
    EXPECT_EQ(gHolidays[40], v >= 17 ? 1 : 0);
    EXPECT_EQ(gPageSetup.scale, v >= 17 ? 90 : 100);
    EXPECT_EQ(gPageSetup.orientation, v >= 17 ? 2 : 1);
    EXPECT_EQ(gExportData.classCode.str(), v >= 18 ? "BIO-1" : "class ID");
    EXPECT_EQ(gAttendGrade.flags, v >= 19 ? s.attendFlags : 0);
    EXPECT_EQ(gAttendGrade.penaltyPerAbsence, v >= 19 ? s.penalty : 0);
    EXPECT_EQ(gEmailData.port, v >= 20 ? 587 : 25);
    EXPECT_EQ(gEmailData.server.str(), v >= 20 ? "smtp.school.org" : "");
    EXPECT_EQ(gEmailAddresses[2].recipients.str(), v >= 20 ? "parent2@home.org" : "");
    const uint16_t cleared = v == 17 ? 0x0310 : 0;
    EXPECT_EQ(gReportOptions, s.options & ~cleared);
    EXPECT_EQ(gCodes[3].name.str(), "Lt");
    EXPECT_EQ(gCodes[3].value, 5);
    EXPECT_EQ(gLetterGrades[0].str(), "E");
    EXPECT_EQ(gAttendance[2][1], 1);
    EXPECT_EQ(gSchoolWeek[5], 1);
  }
}

TEST_P(EveryVersion, OpensConvertsAnnouncesAndSavesAsVersion21) {
  const Case c = GetParam();
  Sample s;
  ASSERT_TRUE(OpenSample(s, c.version, c.le));
  if (c.version >= 20) {
    EXPECT_TRUE(alerts.empty());
  } else {
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kNoteAlert);
    EXPECT_EQ(alerts[0].title, kConvertedTitle);
    EXPECT_EQ(alerts[0].text, kConvertedText);
  }
  EXPECT_EQ(gChanged, 0);
  ExpectConverted(s, c.version, c.le, false);

  // Written back in today's form, and read back without a notice.
  gFileSpec.path = Path("Saved.mtb");
  ASSERT_TRUE(SaveDocument());
  const Bytes saved = FileBytes(Path("Saved.mtb"));
  ASSERT_GE(saved.size(), 2u);
  EXPECT_EQ(saved[0], 21);
  EXPECT_EQ(saved[1], 0);
  EXPECT_EQ(saved.size(), static_cast<size_t>(DocumentLength(NumStudents() - 1, gClass.lastTerm)));
  alerts.clear();
  NewClass();
  ASSERT_TRUE(Open(Path("Saved.mtb")));
  EXPECT_TRUE(alerts.empty());
  ExpectConverted(s, c.version, c.le, true);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, EveryVersion,
    testing::Values(Case{21, true}, Case{21, false}, Case{20, true}, Case{20, false},
                    Case{19, true}, Case{19, false}, Case{18, true}, Case{18, false},
                    Case{17, true}, Case{17, false}, Case{16, true}, Case{16, false},
                    Case{15, true}, Case{15, false}, Case{14, true}, Case{14, false},
                    Case{13, true}, Case{13, false}, Case{12, true}, Case{12, false},
                    Case{11, true}, Case{11, false}, Case{10, true}, Case{10, false},
                    Case{9, true}, Case{9, false}, Case{8, false}, Case{7, false},
                    Case{6, false}, Case{5, false}),
    CaseName);

// ---- What each old layout brings -------------------------------------------------------

TEST_F(ConvertersTest, Versions9To11TakeTheirOldHeaderAndStudentRecords) {
  for (int v : {9, 10, 11}) {
    for (bool le : {true, false}) {
      SCOPED_TRACE(testing::Message() << v << (le ? " le" : " be"));
      Sample s;
      s.flags = 0x60;  // name and ID columns in the old flags' first byte
      ASSERT_TRUE(OpenSample(s, v, le));
      EXPECT_EQ(gClass.flags & (kShowNames | kShowIDs), 0x60);
      EXPECT_EQ(gReportOptions, (s.options & 0x00EF) | 0x1000);
      EXPECT_EQ(gClass.teacher.str(), "teacher");
      // The one dropped-score word per term lands where it lay in the old record;
      // version 9 regrades every term, which fills the slots afresh.
      if (v > 9) {
        EXPECT_EQ(gStudents[2].dropped[1][0], 500);
        EXPECT_EQ(gStudents[2].dropped[5][0], 504);
        EXPECT_EQ(gStudents[2].dropped[1][1], kFreeDropSlot);
      }
      EXPECT_EQ(gStudents[2].reserved1[0][0], 0xFFFF);
      EXPECT_EQ(gStudents[2].tardies[4], s.students[2].tardies[4]);
      // Old attendance codes become today's; version 11 already had them.
      EXPECT_EQ(gAttendance[1][0], 0);
      EXPECT_EQ(gAttendance[1][1], 1);
      EXPECT_EQ(gAttendance[1][2], 2);
      EXPECT_EQ(gAttendance[1][3], 3);
      EXPECT_EQ(gSchoolWeek[5], v == 11 ? 1 : 0);  // Saturday
      EXPECT_EQ(gLetterGrades[0].str(), v == 11 ? "E" : "F");
      EXPECT_EQ(gCodes[3].name.str(), v == 11 ? "Lt" : "");
      EXPECT_EQ(gCodes[0].value, 10);
    }
  }
}

TEST_F(ConvertersTest, Versions9And10TakeTheirWeekendFromTheDocumentAlone) {
  for (int v : {9, 10}) {
    for (bool le : {true, false}) {
      for (bool weekend : {false, true}) {
        SCOPED_TRACE(testing::Message() << v << (le ? " le" : " be") << weekend);
        // The class open before says the opposite.
        gClass.flags = weekend ? 0 : kKeptFlag;
        Sample s;
        s.flags = weekend ? 0xE0 : 0x60;
        ASSERT_TRUE(OpenSample(s, v, le));
        EXPECT_EQ(gSchoolWeek[5], weekend ? 1 : 0);
        EXPECT_EQ(gSchoolWeek[6], weekend ? 1 : 0);
        EXPECT_EQ(gSchoolWeek[4], 1);
      }
    }
  }
}

TEST_F(ConvertersTest, Version9ScalesWholePercents) {
  Sample s;
  s.examWeight = 250;  // stored as 25
  s.cutoffs[3] = 900;  // stored as 90
  ASSERT_TRUE(OpenSample(s, 9, false));
  EXPECT_EQ(gClass.examWeight, 250);
  EXPECT_EQ(gCutoffs[3], 900);
  EXPECT_EQ(gCutoffs[11], 0xFFFF);
}

TEST_F(ConvertersTest, TheSemesterExamScopeIsMendedInEitherByteOrder) {
  for (bool le : {true, false}) {
    Sample s;
    s.lastTerm = 1;
    s.examScope = 2;
    ASSERT_TRUE(OpenSample(s, 10, le));
    EXPECT_EQ(gClass.lastTerm, 1);
    EXPECT_EQ(gClass.examScope, 1) << (le ? "le" : "be");
  }
}

TEST_F(ConvertersTest, Version8TakesItsFlagWordAndOldCategories) {
  Sample s;
  s.categories[0][3] = {"Projects", 2, 25};
  ASSERT_TRUE(OpenSample(s, 8, false));
  EXPECT_EQ(gClass.flags & (kShowNames | kShowIDs | kKeptFlag), kShowNames | kKeptFlag);
  EXPECT_EQ(gReportOptions, 0x0025 | 0x1000);
  for (int g : gGrading) EXPECT_EQ(g, 1);
  for (int t = 0; t < 6; t++) {
    EXPECT_EQ(gCategories[t][3].name.str(), "Projects");
    EXPECT_EQ(gCategories[t][3].drop, 2);
    EXPECT_EQ(gCategories[t][3].weight, 25);
  }
  // Weekend days were kept in the flag word.
  EXPECT_EQ(gSchoolWeek[5], 1);
  EXPECT_EQ(gSchoolWeek[6], 1);
  // Totals follow the translated attendance.
  EXPECT_GT(gStudents[0].absences[0], 0);
}

TEST_F(ConvertersTest, Versions5To7RebuildTheYearAndClearAttendance) {
  for (int v : {5, 6, 7}) {
    SCOPED_TRACE(v);
    Sample s;
    ASSERT_TRUE(OpenSample(s, v, false));
    TermDatesRecord fresh[kMaxTerms];
    NewTermDates(static_cast<int16_t>(s.lastTerm), fresh);
    for (int t = 0; t <= s.lastTerm; t++) {
      EXPECT_EQ(gTermDates[t].start, fresh[t].start);  // at noon, not shifted again
      EXPECT_EQ(gTermDates[t].end, fresh[t].end);
    }
    EXPECT_EQ(gAttendance[0][0], kNoMark);
    EXPECT_EQ(gStudents[0].absences[0], 0);
    EXPECT_EQ(gClass.flags & kKeptFlag, 0);
    EXPECT_EQ(gReportOptions & 0x0040, 0);
    if (v == 5) {
      EXPECT_EQ(gClass.flags & (kShowNames | kShowIDs), kShowNames);
      EXPECT_EQ(gReportOptions, (((0x0025 | 0x1000) & 0xFC43) | 0x00AC) & ~0x0040);
    } else {
      EXPECT_EQ(gReportOptions, 0x0025 | 0x1000 | (v == 6 ? 0x0003 : 0));
    }
  }
}

TEST_F(ConvertersTest, AVersion10ClassOfThirtyGetsASixBySixChart) {
  Sample s;
  while (s.students.size() < 30) s.AddStudent("", "Student " + std::to_string(s.students.size()));
  ASSERT_TRUE(OpenSample(s, 10, true));
  EXPECT_EQ(NumStudents(), 30);
  EXPECT_EQ(gSeatingChart.rows, 6);
  EXPECT_EQ(gSeatingChart.columns, 6);
}

TEST_F(ConvertersTest, BigEndianLengthBytesAreKeptWithinTheirFields) {
  Sample s;
  Bytes doc = Writer(s, 21, false).Write();
  const long student0 = 2714;
  doc[student0] = 200;  // ID of capacity 15
  std::fill(doc.begin() + student0 + 5, doc.begin() + student0 + 16, 'x');
  doc[2 + 6] = 255;  // school of capacity 63
  std::fill(doc.begin() + 2 + 7, doc.begin() + 2 + 70, 'y');
  std::ofstream(Path("Long.mtb"), std::ios::binary)
      .write(reinterpret_cast<const char*>(doc.data()), static_cast<long>(doc.size()));
  ASSERT_TRUE(Open(Path("Long.mtb")));
  EXPECT_EQ(gStudents[0].id.length(), 15);
  EXPECT_EQ(gStudents[0].id.str(), "1001" + std::string(11, 'x'));
  EXPECT_EQ(gClass.school.str(), std::string(63, 'y'));
  EXPECT_EQ(gClass.subject.str(), "Biology");
}

TEST_F(ConvertersTest, BigEndianTextsEndAtANulAsTheSavedFormWould) {
  Sample s;
  s.students[1].name = std::string("Baker\0Bo", 8);
  s.students[2].name = std::string("\0Chen", 5);
  ASSERT_TRUE(OpenSample(s, 12, false));
  EXPECT_EQ(gStudents[1].name.str(), "Baker");
  EXPECT_TRUE(gStudents[2].name.empty());
  EXPECT_EQ(NumStudents(), 2);
}

TEST_F(ConvertersTest, DamagedOldDocumentsAreRefused) {
  Sample s;
  s.lastTerm = 9;
  for (int v : {5, 8, 10}) {
    alerts.clear();
    EXPECT_FALSE(OpenSample(s, v, false)) << v;
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text.substr(0, 38), "This document appears to be corrupted.");
  }
  Sample ok;
  for (int v : {5, 9, 12}) {
    Bytes doc = Writer(ok, v, false).Write();
    doc.resize(doc.size() - 1);
    std::ofstream(Path("Cut.mtb"), std::ios::binary)
        .write(reinterpret_cast<const char*>(doc.data()), static_cast<long>(doc.size()));
    alerts.clear();
    EXPECT_FALSE(Open(Path("Cut.mtb"))) << v;
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text.substr(0, 36), "This document appears to be damaged.");
  }
}

// Writes the seed documents of the reader's fuzz target. Run with
// --gtest_also_run_disabled_tests and MT_SEED_DIR naming fuzz/corpus/fuzz_document.
TEST_F(ConvertersTest, DISABLED_WriteFuzzSeeds) {
  const char* folder = getenv("MT_SEED_DIR");
  if (!folder) GTEST_SKIP() << "MT_SEED_DIR is not set";
  Sample s;
  s.lastTerm = 1;
  // Every version in every byte order the reader takes, so that each converter is reached.
  std::vector<Case> seeds;
  for (int v = 9; v <= 21; v++) seeds.insert(seeds.end(), {Case{v, true}, Case{v, false}});
  for (int v = 5; v <= 8; v++) seeds.push_back(Case{v, false});
  for (const Case& c : seeds) {
    const Bytes doc = Writer(s, c.version, c.le).Write();
    const std::string name = "v" + std::to_string(c.version) + (c.le ? "-le" : "-be");
    std::ofstream(std::string(folder) + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(doc.data()), static_cast<long>(doc.size()));
  }
  Str255 digest;
  EncodePassword(PStr("guess"), digest);  // the fuzz target's one guess
  s.digest = digest.str();
  const Bytes locked = Writer(s, 21, true).Write();
  std::ofstream(std::string(folder) + "/v21-locked", std::ios::binary)
      .write(reinterpret_cast<const char*>(locked.data()), static_cast<long>(locked.size()));
}

// The window may be drawn behind the password dialog: while it is up, the class header
// must not hold its texts or numbers still in the file's form.
TEST_F(ConvertersTest, ThePasswordIsAskedWithAHeaderFitToShow) {
  Sample s;
  Str255 digest;
  EncodePassword(PStr("Owl"), digest);
  s.digest = digest.str();
  const Case cases[] = {{21, true}, {21, false}, {15, true}, {15, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << (c.le ? " le" : " be"));
    int asked = 0;
    SetPasswordPrompt([&](Str255& typed) {
      asked++;
      EXPECT_GE(gClass.lastTerm, 0);
      EXPECT_LT(gClass.lastTerm, kMaxTerms);
      EXPECT_LE(gClass.school.length(), Str63::kCapacity);
      EXPECT_LE(gClass.subject.length(), Str63::kCapacity);
      EXPECT_LE(gClass.teacher.length(), Str31::kCapacity);
      typed = PStr("Owl");
      return true;
    });
    ASSERT_TRUE(OpenSample(s, c.version, c.le));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(gClass.lastTerm, 3);
    EXPECT_EQ(gClass.school.str(), "Lincoln High");
    EXPECT_EQ(gClass.teacher.str(), "Ms. Park");
    EXPECT_EQ(gClass.passwordDigest.str(), digest.str());
  }
  SetPasswordPrompt(nullptr);
}

TEST_F(ConvertersTest, TheMultipleClassReportReadsWithoutNotices) {
  gQuietConversions = true;
  Sample s;
  ASSERT_TRUE(OpenSample(s, 15, true));
  EXPECT_TRUE(alerts.empty());
}

}  // namespace
