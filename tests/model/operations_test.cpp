// Rows and columns in and out, the sorts, name parts, score counts and rescaling. The
// properties run on random classes: every table keyed by a row or column moves with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace {

// ---- Snapshots of rows and columns ------------------------------------------------------
struct Row {
  StudentRecord record;
  int16_t scores[kMaxTerms][kMaxAssignments];
  uint8_t footnotes[kMaxTerms][kMaxAssignments];
  uint8_t attendance[kMaxDays];
  uint16_t totals[kMaxTerms][kMaxCodes];
  Str255 comments[kMaxTerms];
  EmailAddressRecord email;
};

// Text beyond a string's length is not part of it; cleared so that rows compare by
// their texts.
template <int N>
void Tidy(Str<N>& s) {
  std::memset(s.bytes + 1 + s.length(), 0, N - s.length());
}

Row TakeRow(int s) {
  Row r;
  r.record = gStudents[s];
  std::memcpy(r.scores, gScores[s], sizeof r.scores);
  std::memcpy(r.footnotes, gFootnotes[s], sizeof r.footnotes);
  std::memcpy(r.attendance, gAttendance[s], sizeof r.attendance);
  std::memcpy(r.totals, gAttendanceTotals[s], sizeof r.totals);
  std::memcpy(r.comments, gComments[s], sizeof r.comments);
  r.email = gEmailAddresses[s];
  Tidy(r.record.id);
  Tidy(r.record.name);
  for (Str255& c : r.comments) Tidy(c);
  Tidy(r.email.recipients);
  Tidy(r.email.blindCopies);
  return r;
}

bool SameRow(const Row& a, const Row& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<Row> TakeRows() {
  std::vector<Row> rows;
  rows.reserve(kMaxStudents);
  for (int s = 0; s < kMaxStudents; s++) rows.push_back(TakeRow(s));
  return rows;
}

struct Column {
  AssignmentRecord record;
  uint32_t date;
  uint16_t count;
  int16_t scores[kMaxStudents];
  uint8_t footnotes[kMaxStudents];
};

Column TakeColumn(int t, int a) {
  Column c;
  std::memset(static_cast<void*>(&c), 0, sizeof c);  // padding too: rows are compared whole
  c.record = gAssignments[t][a];
  c.date = gAssignDates[t][a];
  c.count = gNumScores[t][a];
  for (int s = 0; s < kMaxStudents; s++) {
    c.scores[s] = gScores[s][t][a];
    c.footnotes[s] = gFootnotes[s][t][a];
  }
  Tidy(c.record.name);
  return c;
}

bool SameColumn(const Column& a, const Column& b, bool withCount) {
  Column x = a, y = b;
  if (!withCount) x.count = y.count = 0;
  return std::memcmp(&x, &y, sizeof x) == 0;
}

using Columns = std::vector<std::vector<Column>>;  // [term][column]

Columns TakeColumns() {
  Columns all(kMaxTerms);
  for (int t = 0; t < kMaxTerms; t++) {
    all[t].reserve(kMaxAssignments);
    for (int a = 0; a < kMaxAssignments; a++) all[t].push_back(TakeColumn(t, a));
  }
  return all;
}

// ---- Random classes ----------------------------------------------------------------------
class OperationsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    emptyRow = TakeRow(kMaxStudents - 1);
    emptyColumn = TakeColumn(0, kMaxAssignments - 1);
  }

  template <typename T>
  T Pick(std::initializer_list<T> items) {
    std::uniform_int_distribution<size_t> d(0, items.size() - 1);
    return *(items.begin() + d(rng));
  }
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng); }

  // A class of n students whose rows and columns are all different. The blind-copy
  // address tags each row and the points tag each column, so that the tests can follow
  // them; sort keys are drawn from small sets, so that ties are common.
  void RandomClass(int n) {
    NewClassAt(MacDate(2026, 10, 15));
    gCurrentTerm = static_cast<uint16_t>(Uniform(0, kMaxTerms - 1));
    for (int s = 0; s < n; s++) {
      StudentRecord& r = gStudents[s];
      // Mac Roman: 0x83 is E acute, 0xAF O slash.
      std::string name = Pick({"Ann", "ann", "Bob", "\x83mile", "Zoe", "Mary Ann"});
      if (Chance(0.8)) name += std::string(" ") + Pick({"Smith", "smith", "\xAFrsted", "Young"});
      r.name.setC(name.c_str());
      r.id.setC(Pick({"", "", "9", "10", "A7", "a7", "b2"}));
      for (int t = 0; t < kMaxTerms; t++) {
        r.termPercent[t] = Chance(0.2) ? kNone : static_cast<uint16_t>(Uniform(0, 12) * 80);
        r.absences[t] = static_cast<uint16_t>(Uniform(0, 400));
        r.tardies[t] = static_cast<uint16_t>(Uniform(0, 400));
        r.dropped[t][0] = static_cast<uint16_t>(Uniform(0, 149));
        gComments[s][t].setC(("comment " + std::to_string(s * 10 + t)).c_str());
        for (int c = 0; c < kMaxCodes; c++)
          gAttendanceTotals[s][t][c] = static_cast<uint16_t>(Uniform(0, 50));
        // One draw per cell: scores -40..2000 or blank, footnotes mostly none.
        for (int a = 0; a < kMaxAssignments; a++) {
          const uint32_t v = rng();
          gScores[s][t][a] = (v & 7) < 2 ? kBlank : static_cast<int16_t>((v >> 3) % 2041) - 40;
          gFootnotes[s][t][a] = (v >> 16 & 15) < 14 ? kNoMark : static_cast<uint8_t>(v >> 20 & 7);
        }
      }
      for (int d = 0; d < kMaxDays; d++) {
        const uint32_t v = rng();
        gAttendance[s][d] = (v & 3) != 0 ? kNoMark : static_cast<uint8_t>(v >> 2 & 7);
      }
      gEmailAddresses[s].recipients.setC(Pick({"", "p@example.org"}));
      gEmailAddresses[s].blindCopies.setC(("row" + std::to_string(s)).c_str());
    }
    for (int t = 0; t < kMaxTerms; t++) {
      for (int a = 0; a < kMaxAssignments; a++) {
        AssignmentRecord& r = gAssignments[t][a];
        if (a < 40 && Chance(0.85)) r.name.setC(Pick({"Quiz", "quiz", "Essay", "\x83tude"}));
        r.category = Pick<uint16_t>({0, 1, 1, 2, 9, 10, 11, 0xFFFF});
        r.points = static_cast<uint16_t>(1000 + a);
        gAssignDates[t][a] = MacDate(2026, 9, Uniform(1, 5));
        gNumScores[t][a] = static_cast<uint16_t>(Uniform(0, 250));
      }
    }
    gSeatingChart.rows = static_cast<uint16_t>(Uniform(1, kMaxSeatRows));
    gSeatingChart.columns = static_cast<uint16_t>(Uniform(1, kMaxSeatColumns));
    std::vector<int> places(kMaxSeatRows * kMaxSeatColumns);
    for (size_t i = 0; i < places.size(); i++) places[i] = static_cast<int>(i);
    std::shuffle(places.begin(), places.end(), rng);
    size_t next = 0;
    auto seat = [](int place) -> uint16_t& {
      return gSeatingChart.seats[place / kMaxSeatColumns][place % kMaxSeatColumns];
    };
    for (int s = 0; s < n; s++)
      if (Chance(0.7)) seat(places[next++]) = static_cast<uint16_t>(s);
    for (int i = 0; i < 5; i++) seat(places[next++]) = 0xFFFE;
  }

  // Row k of the class now should be row oldOf[k] of before (-1: an empty row), and
  // every seat should follow its student.
  void ExpectRows(const std::vector<Row>& before, const SeatingChartRecord& seatsBefore,
                  const std::vector<int>& oldOf) {
    std::vector<uint16_t> newOf(kMaxStudents, kNone);
    for (int k = 0; k < kMaxStudents; k++)
      if (oldOf[k] >= 0) newOf[oldOf[k]] = static_cast<uint16_t>(k);
    for (int k = 0; k < kMaxStudents; k++) {
      const Row& expected = oldOf[k] >= 0 ? before[oldOf[k]] : emptyRow;
      ASSERT_TRUE(SameRow(TakeRow(k), expected)) << "row " << k << " from " << oldOf[k];
    }
    for (int r = 0; r < kMaxSeatRows; r++) {
      for (int c = 0; c < kMaxSeatColumns; c++) {
        const uint16_t old = seatsBefore.seats[r][c];
        const uint16_t expected = old < kMaxStudents ? newOf[old] : old;
        ASSERT_EQ(gSeatingChart.seats[r][c], expected) << "seat " << r << ", " << c;
      }
    }
  }

  // Column k of term t should be column oldOf[k] of before (-1: a new column); the
  // other terms keep theirs.
  void ExpectColumns(const Columns& before, int t, const std::vector<int>& oldOf,
                     bool withCount) {
    for (int u = 0; u < kMaxTerms; u++) {
      for (int k = 0; k < kMaxAssignments; k++) {
        const int from = u == t ? oldOf[k] : k;
        const Column& expected = from >= 0 ? before[u][from] : emptyColumn;
        ASSERT_TRUE(SameColumn(TakeColumn(u, k), expected, withCount))
            << "term " << u << " column " << k << " from " << from;
      }
    }
  }

  // Which old row each slot now holds, by its tag.
  std::vector<int> OldRowsByTag(int n) {
    std::vector<int> oldOf(kMaxStudents, -1);
    for (int k = 0; k < n; k++)
      oldOf[k] = std::stoi(gEmailAddresses[k].blindCopies.str().substr(3));
    for (int k = n; k < kMaxStudents; k++) oldOf[k] = k;
    return oldOf;
  }
  std::vector<int> OldColumnsByTag(int t) {
    std::vector<int> oldOf(kMaxAssignments);
    for (int k = 0; k < kMaxAssignments; k++) oldOf[k] = gAssignments[t][k].points - 1000;
    return oldOf;
  }

  std::mt19937 rng{20261015};
  Row emptyRow;
  Column emptyColumn;
  static constexpr int kIterations = 100;
};

bool TextBefore(const Str255& a, const Str255& b) {
  if (a.empty()) return false;
  if (b.empty()) return true;
  return RelString(a, b, false, false) < 0;
}

// Sorted by `before` and stable: equal neighbours keep their old order.
template <typename Key, typename Before>
void ExpectStableOrder(const std::vector<Key>& keys, const std::vector<int>& oldOf, int n,
                       Before before) {
  for (int k = 0; k + 1 < n; k++) {
    const Key& a = keys[oldOf[k]];
    const Key& b = keys[oldOf[k + 1]];
    ASSERT_FALSE(before(b, a)) << "slots " << k << " and " << k + 1 << " out of order";
    if (!before(a, b)) {
      ASSERT_LT(oldOf[k], oldOf[k + 1]) << "tie at " << k << " reordered";
    }
  }
}

// ---- Properties on random classes ----------------------------------------------------------
TEST_F(OperationsTest, DeleteStudentClosesTheGapAndMovesEverythingKeyedByTheRow) {
  for (int i = 0; i < kIterations; i++) {
    const int n = Uniform(1, kMaxStudents);
    RandomClass(n);
    const int16_t s = static_cast<int16_t>(Uniform(0, n - 1));
    const auto before = TakeRows();
    const SeatingChartRecord seats = gSeatingChart;
    DeleteStudent(s);
    ASSERT_EQ(NumStudents(), n - 1);
    std::vector<int> oldOf(kMaxStudents);
    for (int k = 0; k < kMaxStudents; k++) oldOf[k] = k < s ? k : k + 1;
    oldOf[kMaxStudents - 1] = -1;
    ExpectRows(before, seats, oldOf);
    if (HasFatalFailure()) return;
  }
}

TEST_F(OperationsTest, InsertStudentOpensOneEmptySlot) {
  for (int i = 0; i < kIterations; i++) {
    const int n = Uniform(0, kMaxStudents - 1);
    RandomClass(n);
    const int16_t s = static_cast<int16_t>(Uniform(0, n));
    const auto before = TakeRows();
    const SeatingChartRecord seats = gSeatingChart;
    InsertStudent(s);
    ASSERT_EQ(NumStudents(), s);
    for (int k = s + 1; k <= n; k++) ASSERT_FALSE(gStudents[k].name.empty());
    std::vector<int> oldOf(kMaxStudents);
    for (int k = 0; k < kMaxStudents; k++) oldOf[k] = k < s ? k : k - 1;
    oldOf[s] = -1;
    ExpectRows(before, seats, oldOf);
    if (HasFatalFailure()) return;
  }
}

TEST_F(OperationsTest, ExchangedStudentsTakeTheirWholeRowsAndSeats) {
  for (int i = 0; i < kIterations; i++) {
    const int n = Uniform(1, kMaxStudents);
    RandomClass(n);
    const int16_t a = static_cast<int16_t>(Uniform(0, n - 1));
    const int16_t b = static_cast<int16_t>(Uniform(0, n - 1));
    const auto before = TakeRows();
    const SeatingChartRecord seats = gSeatingChart;
    ExchangeStudents(a, b);
    ASSERT_EQ(NumStudents(), n);
    std::vector<int> oldOf(kMaxStudents);
    for (int k = 0; k < kMaxStudents; k++) oldOf[k] = k;
    std::swap(oldOf[a], oldOf[b]);
    ExpectRows(before, seats, oldOf);
    if (HasFatalFailure()) return;
  }
}

TEST_F(OperationsTest, StudentSortsAreStableAndMoveWholeRows) {
  for (int i = 0; i < kIterations; i++) {
    const int n = Uniform(0, kMaxStudents);
    RandomClass(n);
    const int kind = i % 3;
    SCOPED_TRACE(kind);
    const auto before = TakeRows();
    const SeatingChartRecord seats = gSeatingChart;
    std::vector<Str255> text(kMaxStudents);
    std::vector<int16_t> grades(kMaxStudents);
    for (int s = 0; s < n; s++) {
      if (kind == 0) text[s].set(gStudents[s].id);
      if (kind == 1) LastNameFirst(gStudents[s].name, text[s]);
      if (kind == 2) grades[s] = TermPercent(static_cast<int16_t>(gCurrentTerm), s);
    }
    SetChanged(0);
    if (kind == 0) SortByID();
    if (kind == 1) SortByName();
    if (kind == 2) SortByGrade();
    ASSERT_EQ(NumStudents(), n);
    const std::vector<int> oldOf = OldRowsByTag(n);
    if (kind == 2) {
      ExpectStableOrder(grades, oldOf, n, [](int16_t a, int16_t b) { return a > b; });
    } else {
      ExpectStableOrder(text, oldOf, n, TextBefore);
    }
    const bool moved = !std::is_sorted(oldOf.begin(), oldOf.begin() + n);
    EXPECT_EQ(gChanged, moved ? 1 : 0);
    ExpectRows(before, seats, oldOf);
    if (HasFatalFailure()) return;
  }
}

TEST_F(OperationsTest, ColumnInsertDeleteAndExchangeMoveTheWholeColumn) {
  for (int i = 0; i < kIterations; i++) {
    RandomClass(Uniform(0, kMaxStudents));
    const int t = gCurrentTerm;
    const int16_t a = static_cast<int16_t>(Uniform(0, kMaxAssignments - 1));
    const int16_t b = static_cast<int16_t>(Uniform(0, kMaxAssignments - 1));
    const Columns before = TakeColumns();
    std::vector<int> oldOf(kMaxAssignments);
    switch (i % 3) {
      case 0:
        InsertAssignment(a);
        for (int k = 0; k < kMaxAssignments; k++) oldOf[k] = k < a ? k : k - 1;
        oldOf[a] = -1;
        break;
      case 1:
        DeleteAssignment(a);
        for (int k = 0; k < kMaxAssignments; k++) oldOf[k] = k < a ? k : k + 1;
        oldOf[kMaxAssignments - 1] = -1;
        break;
      default:
        ExchangeAssignments(a, b);
        for (int k = 0; k < kMaxAssignments; k++) oldOf[k] = k;
        std::swap(oldOf[a], oldOf[b]);
        break;
    }
    ExpectColumns(before, t, oldOf, true);
    if (HasFatalFailure()) return;
  }
}

TEST_F(OperationsTest, ColumnSortsAreStableAndRecountTheScores) {
  for (int i = 0; i < kIterations / 2; i++) {
    const int n = Uniform(0, kMaxStudents);
    RandomClass(n);
    const int t = gCurrentTerm;
    const int kind = i % 3;
    SCOPED_TRACE(kind);
    const Columns before = TakeColumns();
    int used = 0;
    for (int a = 0; a < kMaxAssignments; a++)
      if (!gAssignments[t][a].name.empty()) used = a + 1;
    if (kind == 0) SortByDate();
    if (kind == 1) SortByAssign();
    if (kind == 2) SortByCategory();
    const std::vector<int> oldOf = OldColumnsByTag(t);
    for (int k = used; k < kMaxAssignments; k++) ASSERT_EQ(oldOf[k], k);
    std::vector<const Column*> keys;
    for (const Column& c : before[t]) keys.push_back(&c);
    if (kind == 0) {
      ExpectStableOrder(keys, oldOf, used, [](const Column* x, const Column* y) {
        if (x->record.name.empty()) return false;
        return y->record.name.empty() || x->date < y->date;
      });
    } else if (kind == 1) {
      ExpectStableOrder(keys, oldOf, used, [](const Column* x, const Column* y) {
        Str255 a, b;
        a.set(x->record.name);
        b.set(y->record.name);
        return TextBefore(a, b);
      });
    } else {
      ExpectStableOrder(keys, oldOf, used, [](const Column* x, const Column* y) {
        return static_cast<int16_t>(x->record.category) < static_cast<int16_t>(y->record.category);
      });
    }
    ExpectColumns(before, t, oldOf, false);
    for (int u = 0; u <= gClass.lastTerm; u++) {
      for (int a = 0; a < kMaxAssignments; a++) {
        if (gAssignments[u][a].name.empty()) continue;
        int count = 0;
        for (int s = 0; s < n; s++) count += gScores[s][u][a] != kBlank;
        ASSERT_EQ(gNumScores[u][a], count) << "term " << u << " column " << a;
      }
    }
    if (HasFatalFailure()) return;
  }
}

// ---- Cases ---------------------------------------------------------------------------------
TEST_F(OperationsTest, DeletingTheFirstOfThreeStudents) {
  AddStudent("Ann Adams");
  AddStudent("Bob Brown");
  AddStudent("Cy Cole");
  gSeatingChart.seats[0][0] = 0;
  gSeatingChart.seats[1][1] = 2;
  gSeatingChart.seats[2][2] = 0xFFFE;
  DeleteStudent(0);
  EXPECT_EQ(NumStudents(), 2);
  EXPECT_EQ(gStudents[0].name.str(), "Bob Brown");
  EXPECT_EQ(gStudents[1].name.str(), "Cy Cole");
  EXPECT_TRUE(gStudents[2].name.empty());
  EXPECT_EQ(gSeatingChart.seats[0][0], kNone);
  EXPECT_EQ(gSeatingChart.seats[1][1], 1);
  EXPECT_EQ(gSeatingChart.seats[2][2], 0xFFFE);
}

TEST_F(OperationsTest, InsertingIntoAFullClassUnseatsTheRowThatFallsOff) {
  for (int s = 0; s < kMaxStudents; s++) AddStudent(("S" + std::to_string(s)).c_str());
  gSeatingChart.seats[0][0] = 249;
  gSeatingChart.seats[0][1] = 248;
  InsertStudent(10);
  EXPECT_EQ(gSeatingChart.seats[0][0], kNone);
  EXPECT_EQ(gSeatingChart.seats[0][1], 249);
  EXPECT_EQ(gStudents[249].name.str(), "S248");
  InsertStudent(-1);  // indexes outside the table change nothing
  DeleteStudent(250);
  EXPECT_EQ(gStudents[249].name.str(), "S248");
}

TEST_F(OperationsTest, ANewColumnHasTheDefaultsAndTheLastColumnFallsOff) {
  const int16_t s = AddStudent("Ann Adams");
  const int16_t a = AddAssignment("Quiz", 2, 20);
  SetScore(s, a, 150);
  gFootnotes[s][gCurrentTerm][a] = 3;
  gAssignments[gCurrentTerm][149].name.setC("Last");
  SetClockForTesting(MacDate(2026, 11, 2, 8));
  InsertAssignment(a);
  const AssignmentRecord& fresh = gAssignments[gCurrentTerm][a];
  EXPECT_TRUE(fresh.name.empty());
  EXPECT_EQ(fresh.category, 1);
  EXPECT_EQ(fresh.points, 100);
  EXPECT_EQ(gAssignDates[gCurrentTerm][a], MacDate(2026, 11, 2, 8));
  EXPECT_EQ(gNumScores[gCurrentTerm][a], 0);
  EXPECT_EQ(gScores[s][gCurrentTerm][a], kBlank);
  EXPECT_EQ(gFootnotes[s][gCurrentTerm][a], kNoMark);
  EXPECT_EQ(gAssignments[gCurrentTerm][a + 1].name.str(), "Quiz");
  EXPECT_EQ(gScores[s][gCurrentTerm][a + 1], 150);
  EXPECT_EQ(gFootnotes[s][gCurrentTerm][a + 1], 3);
  EXPECT_TRUE(gAssignments[gCurrentTerm][149].name.empty());
}

TEST_F(OperationsTest, NameParts) {
  struct Case {
    const char* name;
    const char* lastFirst;
    const char* first;
    const char* last;
  };
  const Case cases[] = {
      {"Mary Ann Smith", "Smith, Mary Ann", "Mary Ann", "Smith"},
      {"Smith, Mary Ann", "Smith, Mary Ann", "Mary Ann", "Smith"},
      {"Cher", "Cher", "Cher", "Cher"},
      {"", "", "", ""},
      {" Smith", "Smith, ", "Smith, ", "Smith"},
      {"Smith,", "Smith,", "Smith,", "Smith"},
      // 31 characters gain one: the last word keeps its place, the first names lose.
      {"Anna Maria Theresa Hohenzollern", "Hohenzollern, Anna Maria Theres",
       "Anna Maria Theres", "Hohenzollern"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Str255 out;
    LastNameFirst(PStr(c.name), out);
    EXPECT_EQ(out.str(), c.lastFirst);
    GetFirstName(PStr(c.name), out);
    EXPECT_EQ(out.str(), c.first);
    GetLastName(PStr(c.name), out);
    EXPECT_EQ(out.str(), c.last);
  }
  // A last word longer than the field keeps its first 31 characters and nothing else.
  const std::string word = "B" + std::string(34, 'b');
  Str255 out;
  LastNameFirst(PStr("A " + word), out);
  EXPECT_EQ(out.str(), word.substr(0, 31));
}

TEST_F(OperationsTest, SortKeysAndWhereTheEmptyOnesGo) {
  const char* ids[] = {"9", "", "10", "b2", "", "B2", "a7"};
  for (int i = 0; i < 7; i++) AddStudent(("S" + std::to_string(i)).c_str(), ids[i]);
  SortByID();
  std::string order;
  for (int s = 0; s < 7; s++) order += gStudents[s].name.str() + " ";
  // Text order (10 before 9), case ignored with ties kept, empty IDs last in their order.
  EXPECT_EQ(order, "S2 S0 S6 S3 S5 S1 S4 ");

  gStudents[0].termPercent[gCurrentTerm] = 800;
  gStudents[1].termPercent[gCurrentTerm] = kNone;
  gStudents[2].termPercent[gCurrentTerm] = 950;
  gStudents[3].lockedPercent[gCurrentTerm] = 990;
  gStudents[4].termPercent[gCurrentTerm] = 800;
  gStudents[5].termPercent[gCurrentTerm] = 0;
  gStudents[6].termPercent[gCurrentTerm] = kNone;
  SortByGrade();
  order.clear();
  for (int s = 0; s < 7; s++) order += gStudents[s].name.str() + " ";
  EXPECT_EQ(order, "S3 S6 S2 S5 S1 S0 S4 ");

  const int t = gCurrentTerm;
  const int16_t x = AddAssignment("x", 3);
  const int16_t y = AddAssignment("y", 0xFFFF);  // a signed comparison puts it first
  gAssignments[t][y + 2].name.setC("z");          // a gap: the unnamed column is sorted too
  gAssignments[t][y + 2].category = 0;
  gAssignDates[t][x] = 0;  // a named column of date 0 still goes before unnamed ones
  gAssignDates[t][y] = 10;
  gAssignDates[t][y + 2] = 5;
  SortByCategory();
  EXPECT_EQ(gAssignments[t][0].name.str(), "y");
  EXPECT_EQ(gAssignments[t][1].name.str(), "z");
  EXPECT_TRUE(gAssignments[t][2].name.empty());
  EXPECT_EQ(gAssignments[t][3].name.str(), "x");
  SortByDate();
  EXPECT_EQ(gAssignments[t][0].name.str(), "x");
  EXPECT_EQ(gAssignments[t][1].name.str(), "z");
  EXPECT_EQ(gAssignments[t][2].name.str(), "y");
  EXPECT_TRUE(gAssignments[t][3].name.empty());
}

TEST_F(OperationsTest, SwapsExchangeOnlyNeighboursOutOfOrder) {
  AddStudent("Zoe Young", "2");
  AddStudent("Ann Adams", "1");
  SetChanged(0);
  bool swapped = false;
  SwapIDs(0, 1, swapped);
  EXPECT_TRUE(swapped);
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gStudents[0].name.str(), "Ann Adams");
  swapped = false;
  SetChanged(0);
  SwapStuNames(0, 1, swapped);
  SwapIDs(0, 1, swapped);
  EXPECT_FALSE(swapped);
  EXPECT_EQ(gChanged, 0);
}

TEST_F(OperationsTest, CountScoresRecountsEveryTermAndRefreshesItsGrades) {
  const int16_t ann = AddStudent("Ann Adams");
  const int16_t bob = AddStudent("Bob Brown");
  gStudents[5].name.setC("Beyond the list");  // after the gap: not a student
  gCurrentTerm = 2;
  const int16_t quiz = AddAssignment("Quiz", 1, 10);
  gScores[ann][2][quiz] = 80;
  gScores[bob][2][quiz] = kExcused;
  gScores[5][2][quiz] = 50;
  gNumScores[2][7] = 33;  // a column without a name keeps its count
  gScores[ann][2][7] = 10;
  gStudents[ann].termPercent[2] = kNone;
  gCurrentTerm = 1;
  CountScores();
  EXPECT_EQ(gCurrentTerm, 1);
  EXPECT_EQ(gNumScores[2][quiz], 2);
  EXPECT_EQ(gNumScores[2][7], 33);
  EXPECT_EQ(gStudents[ann].termPercent[2], 800);
  EXPECT_EQ(gStudents[ann].termPercent[0], kNone);
}

TEST_F(OperationsTest, ScaleScoresRescalesPositiveScoresOnly) {
  struct Case {
    int16_t score;
    uint16_t from, to;
    int16_t scaled;
  };
  const Case cases[] = {
      {450, 50, 100, 900},         // 45 of 50 points is 90 of 100
      {kExcused, 50, 100, kExcused},
      {kBlank, 50, 100, kBlank},
      {-15, 50, 100, -15},          // a special score
      {0, 50, 100, 0},
      {1, 3, 2, 1},                 // (2 x 2 / 3 + 1) / 2
      {5, 2, 3, 8},                 // halves round up
      {30000, 100, 200, 32767},     // beyond 16 bits: the largest score, not a code
      {32767, 1, 65535, 32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    gScores[0][3][17] = c.score;
    gScores[1][3][17] = c.score;
    ScaleScores(3, 17, c.from, c.to);
    EXPECT_EQ(gScores[0][3][17], c.scaled);
    EXPECT_EQ(gScores[1][3][17], c.scaled);
  }
  gScores[0][3][17] = 450;
  ScaleScores(3, 17, 0, 100);  // no old points: nothing to scale by
  ScaleScores(6, 17, 50, 100);
  ScaleScores(3, 150, 50, 100);
  EXPECT_EQ(gScores[0][3][17], 450);
}

}  // namespace
