// Grade computation: drop-lowest, extra credit, exams, semesters and the year, attendance
// penalty, rounding and locked percents, and the guards against damaged data.
#include "marktally/model/grading.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <set>

#include "marktally/model/scoretext.h"
#include "model_fixture.h"

// Counts every allocation of the test program, to show that recomputation makes none.
// The replacements pair malloc with free; the optimiser cannot see that through inlined
// new-expressions and warns of a mismatch that is not there.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> gAllocations{0};
}
void* operator new(std::size_t size) {
  gAllocations++;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class GradingTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    gCurrentTerm = 0;
    gClass.currentTerm = 0;
  }

  // Names the first free column of a term.
  int16_t Column(int term, const char* name, uint16_t category, uint16_t points) {
    int16_t a = 0;
    while (!gAssignments[term][a].name.empty()) a++;
    gAssignments[term][a].name.setC(name);
    gAssignments[term][a].category = category;
    gAssignments[term][a].points = points;
    return a;
  }
  // Stores a score of any term, keeping the column's count of scores.
  void Score(int16_t s, int term, int16_t a, int16_t score) {
    int16_t& cell = gScores[s][term][a];
    if (cell == kBlank && score != kBlank) gNumScores[term][a]++;
    if (cell != kBlank && score == kBlank) gNumScores[term][a]--;
    cell = score;
  }
  void Category(int term, int c, const char* name, uint16_t weight, uint16_t drop = 0) {
    gCategories[term][c].name.setC(name);
    gCategories[term][c].weight = weight;
    gCategories[term][c].drop = drop;
  }
  // Refreshes one term's cache the way a change of term does.
  void FlushTerm(int term) {
    const uint16_t keep = gCurrentTerm;
    gCurrentTerm = static_cast<uint16_t>(term);
    FlushAll();
    gCurrentTerm = keep;
  }
  int DroppedCount(int16_t s, int term) {
    int n = 0;
    for (uint16_t slot : gStudents[s].dropped[term]) n += slot != kFreeDropSlot;
    return n;
  }
};

TEST_F(GradingTest, DropsTheScoresWhoseRemovalGivesTheBestRatio) {
  const int16_t s = AddStudent("Ann Able");
  Category(0, 1, "Homework", 50, 1);
  const int16_t nine = Column(0, "a", 1, 10);
  const int16_t forty = Column(0, "b", 1, 50);
  const int16_t two = Column(0, "c", 1, 3);
  Score(s, 0, nine, 90);
  Score(s, 0, forty, 400);
  Score(s, 0, two, 20);

  // 11 of 13 (84.6 %), not 49 of 60 (81.7 %) as the lowest percent would leave.
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 846);
  EXPECT_TRUE(Dropped(s, static_cast<uint16_t>(forty)));
  EXPECT_FALSE(Dropped(s, static_cast<uint16_t>(two)));
  EXPECT_FALSE(Dropped(s, static_cast<uint16_t>(nine)));
  EXPECT_EQ(DroppedCount(s, 0), 1);

  // The reports' totals leave the dropped column out.
  int32_t earned, possible;
  CategoryTotals(s, 1, earned, possible);
  EXPECT_EQ(earned, 110);
  EXPECT_EQ(possible, 130);

  // A drop count of the number of scores or more keeps the best one.
  gCategories[0][1].drop = 3;
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 900);
  EXPECT_EQ(DroppedCount(s, 0), 2);
  EXPECT_FALSE(Dropped(s, static_cast<uint16_t>(nine)));
}

// A blank is never dropped but still counts; dropping the 10 of 10 leaves 50 of 200
// (25.0 %), better than the 10 of 110 that dropping the 50 of 100 would leave.
TEST_F(GradingTest, BlankScoresStayInTheRatioTheDropsImprove) {
  const int16_t s = AddStudent("Ann Able");
  const int16_t other = AddStudent("Bob Baker");
  Category(0, 1, "Homework", 50, 1);
  const int16_t ten = Column(0, "a", 1, 10);
  const int16_t fifty = Column(0, "b", 1, 100);
  const int16_t blank = Column(0, "c", 1, 100);
  Score(s, 0, ten, 100);
  Score(s, 0, fifty, 500);
  Score(other, 0, blank, 700);  // the column counts: missing work for s

  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 250);
  EXPECT_TRUE(Dropped(s, static_cast<uint16_t>(ten)));
  EXPECT_FALSE(Dropped(s, static_cast<uint16_t>(blank)));

  // The category percent gives the same, from fresh slots.
  gStudents[s].dropped[0][0] = kFreeDropSlot;
  EXPECT_EQ(CategoryPercent(s, 1), 250);
}

// The reports ask for category percents and drops after the grades were computed: asking
// again gives the same answer and the same dropped list.
TEST_F(GradingTest, AskingTwiceDropsNothingMore) {
  const int16_t s = AddStudent("Ann Able");
  Category(0, 1, "Homework", 50, 1);
  Category(0, 2, "Quizzes", 50, 1);
  const int16_t nine = Column(0, "a", 1, 10);
  const int16_t forty = Column(0, "b", 1, 50);
  const int16_t two = Column(0, "c", 1, 3);
  const int16_t quiz = Column(0, "q", 2, 10);
  const int16_t low = Column(0, "r", 2, 10);
  Score(s, 0, nine, 90);
  Score(s, 0, forty, 400);
  Score(s, 0, two, 20);
  Score(s, 0, quiz, 80);
  Score(s, 0, low, 10);
  FlushOne(s);
  const auto dropped = [&] {
    return std::set<uint16_t>(std::begin(gStudents[s].dropped[0]),
                              std::end(gStudents[s].dropped[0]));
  };
  const std::set<uint16_t> once = dropped();
  ASSERT_EQ(DroppedCount(s, 0), 2);
  for (int round = 0; round < 3; round++) {
    SCOPED_TRACE(round);
    EXPECT_EQ(CategoryPercent(s, 1), 846);
    EXPECT_EQ(CategoryPercent(s, 2), 800);
    int32_t earned = 0, possible = 0;
    CategoryTotals(s, 1, earned, possible);
    DropWorstScores(s, 1, earned, possible);
    EXPECT_EQ(earned, 110);
    EXPECT_EQ(possible, 130);
    EXPECT_EQ(TotalPercent(s), 826);  // 11 + 8 of 13 + 10 points
    gGrading[0] = 1;
    EXPECT_EQ(WeightedPercent(s), 823);
    gGrading[0] = 0;
    EXPECT_EQ(dropped(), once);
  }
}

TEST_F(GradingTest, NoMoreThanTwelveDropSlotsAreWritten) {
  const int16_t s = AddStudent("Ann Able");
  Category(0, 0, "Tests", 50, 15);
  Category(0, 1, "Homework", 50, 1);
  int16_t first = -1;
  for (int i = 1; i <= 20; i++) {
    const int16_t a = Column(0, "t", 0, 20);
    if (first < 0) first = a;
    Score(s, 0, a, static_cast<int16_t>(i * 10));  // i of 20 points
  }
  Score(s, 0, Column(0, "h1", 1, 10), 100);
  const int16_t weakHomework = Column(0, "h2", 1, 10);
  Score(s, 0, weakHomework, 50);

  FlushOne(s);
  // Tests keep 16..20 of 20 each (90 of 100), homework keeps 10 of 10: 100 of 110.
  EXPECT_EQ(TermPercent(0, s), 909);
  EXPECT_EQ(DroppedCount(s, 0), 12);
  std::set<uint16_t> slots(std::begin(gStudents[s].dropped[0]),
                           std::end(gStudents[s].dropped[0]));
  EXPECT_EQ(slots.size(), 12u);
  for (uint16_t a : slots) EXPECT_LT(a, first + 15);  // only the 15 lowest tests
  EXPECT_FALSE(Dropped(s, static_cast<uint16_t>(weakHomework)));  // no slot left for it
  for (uint16_t slot : gStudents[s].dropped[1]) EXPECT_EQ(slot, kFreeDropSlot);
  for (uint16_t word : gStudents[s].reserved1[0]) EXPECT_EQ(word, kNone);
}

TEST_F(GradingTest, CategoryOfZeroPointColumnsDropsWithoutDividingByZero) {
  const int16_t s = AddStudent("Ann Able");
  Category(0, 0, "Bonus", 50, 1);
  const int16_t a = Column(0, "a", 0, 0);
  const int16_t b = Column(0, "b", 0, 0);
  const int16_t c = Column(0, "c", 0, 0);
  Score(s, 0, a, 5);
  Score(s, 0, b, 0);
  Score(s, 0, c, 3);

  int32_t earned, possible;
  CategoryTotals(s, 0, earned, possible);
  EXPECT_EQ(earned, 8);
  EXPECT_EQ(possible, 0);
  DropWorstScores(s, 0, earned, possible);
  EXPECT_EQ(numAss, 3);
  EXPECT_EQ(numDrops, 1);
  for (int i = 0; i < numAss; i++) EXPECT_TRUE(std::isfinite(gCatScores[i].key));
  EXPECT_TRUE(Dropped(s, static_cast<uint16_t>(b)));  // the fewest points earned go
  EXPECT_EQ(earned, 8);
  EXPECT_EQ(possible, 0);

  // Ties everywhere: still one drop, finite keys, and the category has no percent.
  Score(s, 0, a, 0);
  Score(s, 0, c, 0);
  gGrading[0] = 1;
  FlushOne(s);
  EXPECT_EQ(DroppedCount(s, 0), 1);
  for (int i = 0; i < numAss; i++) EXPECT_TRUE(std::isfinite(gCatScores[i].key));
  EXPECT_EQ(TermPercent(0, s), -1);
}

TEST_F(GradingTest, CompareRatiosIsAStrictWeakOrderEvenWithNaN) {
  CatScore high{0, 0, 0, 5.0}, low{1, 0, 0, -1.0}, nan{2, 0, 0, std::nan("")};
  EXPECT_EQ(CompareRatios(&high, &low), -1);
  EXPECT_EQ(CompareRatios(&low, &high), 1);
  EXPECT_EQ(CompareRatios(&high, &high), 0);
  EXPECT_EQ(CompareRatios(&nan, &low), 1);
  EXPECT_EQ(CompareRatios(&low, &nan), -1);
  EXPECT_EQ(CompareRatios(&nan, &nan), 0);
}

TEST_F(GradingTest, ExtraCreditUnderBothMethods) {
  const int16_t earner = AddStudent("Ann Able");
  const int16_t blank = AddStudent("Bob Baker");
  const int16_t test = Column(0, "test", 0, 100);
  const int16_t extra = Column(0, "extra", kExtraCreditCategory, 10);
  const int16_t missed = Column(0, "extra 2", kExtraCreditCategory, 10);
  Score(earner, 0, test, 950);
  Score(blank, 0, test, 950);
  Score(earner, 0, extra, 150);
  Score(blank, 0, missed, 0);  // the column counts; the earner's blank in it must not

  // Total points: 95 + 15 of 100; a blank extra-credit score is simply not counted.
  FlushAll();
  EXPECT_EQ(TermPercent(0, earner), 1100);
  EXPECT_EQ(TermPercent(0, blank), 950);

  // Weighted: 95.0 % at weight 50, plus 150 % at the extra-credit weight 10 over 50.
  gGrading[0] = 1;
  FlushAll();
  EXPECT_EQ(TermPercent(0, earner), 1250);
  EXPECT_EQ(TermPercent(0, blank), 950);
}

TEST_F(GradingTest, AttendancePenaltyAndLockedPercents) {
  const int16_t s = AddStudent("Ann Able");
  Score(s, 0, Column(0, "test", 0, 100), 900);
  FlushOne(s);
  ASSERT_EQ(TermPercent(0, s), 900);
  gStudents[s].absences[0] = 40;
  gStudents[s].tardies[0] = 70;
  EXPECT_EQ(TermPercent(0, s), 900);  // penalty off

  struct Case {
    uint16_t flags;
    uint16_t allowed;
    int16_t perAbsence;
    int expected;
  } cases[] = {
      {0x0301, 2, 20, 820},   // 4 absences + 2 from 7 tardies, 2 allowed: 8.0 % off
      {0x0001, 2, 20, 860},   // tardies ignored
      {0x0101, 0, 15, 735},   // every tardy an absence: 11 absences, 1.5 % each
      {0x0301, 6, 20, 900},   // within the allowance
      {0x0301, 0, 200, 0},    // never below 0
      {0x0300, 0, 200, 900},  // bit 0 clear
  };
  for (const auto& c : cases) {
    gAttendGrade = {c.flags, c.allowed, c.perAbsence};
    EXPECT_EQ(TermPercent(0, s), c.expected) << std::hex << c.flags;
  }

  // A typed term percent stands as typed, with no penalty and no recomputation.
  gAttendGrade = {0x0301, 2, 20};
  gStudents[s].lockedPercent[0] = 950;
  EXPECT_EQ(TermPercent(0, s), 950);
  gStudents[s].lockedPercent[0] = 0;
  EXPECT_EQ(TermPercent(0, s), 0);
}

TEST_F(GradingTest, WholePercentRounding) {
  const int16_t high = AddStudent("Ann Able");
  const int16_t low = AddStudent("Bob Baker");
  const int16_t a = Column(0, "test", 0, 200);
  Score(high, 0, a, 1790);  // 89.5 %
  Score(low, 0, a, 1788);   // 89.4 %
  gClass.flags |= kWholePercents;
  FlushAll();
  EXPECT_EQ(TermPercent(0, high), 900);
  EXPECT_EQ(TermPercent(0, low), 890);
  EXPECT_EQ(gStudents[high].unroundedPercent[0], 895);

  Str255 text;
  PercentToString(TermPercent(0, high), text);
  EXPECT_EQ(text.str(), "90%");
  gClass.flags &= static_cast<uint8_t>(~kWholePercents);
  FlushAll();
  EXPECT_EQ(TermPercent(0, high), 895);
  EXPECT_EQ(TermPercent(0, low), 894);
}

TEST_F(GradingTest, PercentToGrade) {
  struct Case {
    uint8_t flags;
    int16_t percent;
    const char* grade;
  } cases[] = {
      {kLetterGrades, 599, "F"},   {kLetterGrades, 600, "D-"},  {kLetterGrades, 969, "A"},
      {kLetterGrades, 970, "A+"},  {kLetterGrades, 0, "F"},     {kLetterGrades, 1200, "A+"},
      {kLetterGrades, 895, "B+"},  {kLetterGrades, -1, " "},    {0, 950, " "},
      {kLetterGrades | kWholePercents, 895, "A-"},
      {kLetterGrades | kWholePercents, 965, "A+"},
      {kLetterGrades | kWholePercents, 964, "A"},
  };
  for (const auto& c : cases) {
    gClass.flags = c.flags;
    Str255 text;
    PercentToGrade(c.percent, text);
    EXPECT_EQ(text.str(), c.grade) << int(c.flags) << " " << c.percent;
  }
  // A cutoff out of use is skipped.
  gClass.flags = kLetterGrades;
  gCutoffs[11] = kNone;
  Str255 text;
  PercentToGrade(990, text);
  EXPECT_EQ(text.str(), "A");
}

TEST_F(GradingTest, ConvertSpecialScore) {
  const int16_t a = AddAssignment("twenty", 1, 20);
  gSpecialScores[3].name.setC("Z");
  gSpecialScores[3].kind = 2;
  gSpecialScores[4].name.setC("Full");
  gSpecialScores[4].kind = 4;
  gSpecialScores[5].name.setC("Odd");
  gSpecialScores[5].kind = 9;
  gSpecialScores[6].kind = 0;
  gLetterGrades[5].clear();  // "C"
  struct Case {
    int16_t score;
    int16_t expected;
  } cases[] = {
      {0, 0},      {175, 175},   {-1, -1},    {-2, -2},    {-4, -2},  {-6, -6},
      {-7, 200},   {-3, -3},     {-5, -3},    {-8, -3},    {-12, -3}, {-21, -3},
      {-20, -2},   {-19, -6},    {-17, -1},   {-16, 200},  {-15, -3}, {-14, -3},
      {-40, 60},   {-32, 170},   {-28, 200},  {-35, -3},   {-36, 147},  // C- reaches to C+
      {-27, -3},   {-41, -3},    {-32768, -3},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConvertSpecialScore(c.score, a), c.expected) << c.score;

  // The exam of another term converts with that term's points.
  gAssignments[2][a].points = 50;
  EXPECT_EQ(ConvertSpecialScoreInTerm(-7, 2, a), 500);
  EXPECT_EQ(ConvertSpecialScoreInTerm(-7, 7, a), 0);
}

TEST_F(GradingTest, InvalidScoresCountNeitherEarnedNorPossible) {
  const int16_t s = AddStudent("Ann Able");
  gLetterGrades[5].clear();
  gSpecialScores[6].kind = 0;
  Score(s, 0, Column(0, "a", 0, 100), 800);
  Score(s, 0, Column(0, "b", 0, 100), -35);  // a letter that lost its name
  Score(s, 0, Column(0, "c", 0, 100), -14);  // a special score of no kind
  Score(s, 0, Column(0, "d", 0, 100), -5);   // a code no version stores
  Score(s, 0, Column(0, "e", 10, 100), -3);  // an exam
  int32_t earned, possible;
  CategoryTotals(s, 0, earned, possible);
  EXPECT_EQ(earned, 800);
  EXPECT_EQ(possible, 1000);
  EXPECT_EQ(ExamPercent(0, s), -2);
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 800);
}

TEST_F(GradingTest, NoGradeWithoutScoredColumns) {
  const int16_t s = AddStudent("Ann Able");
  AddAssignment("unscored", 0, 100);
  Score(s, 0, Column(0, "ungraded", 9, 100), 500);  // its category is not counted
  FlushAll();
  EXPECT_EQ(TermPercent(0, s), -1);
  EXPECT_EQ(gStudents[s].termPercent[0], kNone);
  EXPECT_EQ(FinalPercent(s), -1);
  EXPECT_EQ(TermPercent(0, 1), -1);  // past the last student
  EXPECT_EQ(TermPercent(0, -1), -1);
  EXPECT_EQ(TermPercent(6, s), -1);
}

// A cached percent that asks for recomputation is computed from its own term's columns.
TEST_F(GradingTest, RecomputationIsAskedForInAnyTerm) {
  const int16_t s = AddStudent("Ann Able");
  Score(s, 0, Column(0, "t0", 0, 100), 800);
  Category(2, 0, "Tests", 50);
  Score(s, 2, Column(2, "t2", 0, 100), 600);
  gStudents[s].termPercent[0] = kRecompute;
  gStudents[s].termPercent[2] = kRecompute;
  EXPECT_EQ(TermPercent(0, s), 800);
  EXPECT_EQ(TermPercent(2, s), 600);
  EXPECT_EQ(gStudents[s].termPercent[2], 600);
  EXPECT_EQ(gCurrentTerm, 0);
}

TEST_F(GradingTest, FinalNeverReadsAStaleSemester) {
  const int16_t s = AddStudent("Ann Able");
  gClass.lastTerm = 3;
  gClass.examScope = 2;
  gClass.examWeight = 200;
  for (int t = 0; t < 2; t++) {
    Category(t, 0, "Tests", 50);
    Score(s, t, Column(t, "test", 0, 100), 800);
    FlushTerm(t);
  }
  gStudents[s].semesterPercent[1] = 999;  // left from an earlier computation
  EXPECT_EQ(SemesterPercent(0, s), 800);
  EXPECT_EQ(SemesterPercent(1, s), -1);
  EXPECT_EQ(gStudents[s].semesterPercent[1], kNone);
  gStudents[s].semesterPercent[1] = 999;
  EXPECT_EQ(FinalPercent(s), 800);
  EXPECT_EQ(gStudents[s].semesterPercent[0], 800);
  EXPECT_EQ(gStudents[s].semesterPercent[1], kNone);
}

TEST_F(GradingTest, AClassWithoutSemestersKeepsItsStoredSemesterPercents) {
  const int16_t s = AddStudent("Ann Able");
  Category(0, 1, "Homework", 50);
  Score(s, 0, Column(0, "a", 1, 10), 90);
  for (int16_t last : {0, 2, 4}) {
    SCOPED_TRACE(last);
    gClass.lastTerm = last;
    gClass.examScope = 2;
    gClass.examWeight = 200;
    gStudents[s].semesterPercent[0] = 812;  // as the document stored them
    gStudents[s].semesterPercent[1] = 777;
    EXPECT_EQ(SemesterPercent(0, s), -1);
    EXPECT_EQ(SemesterPercent(1, s), -1);
    FinalPercent(s);
    EXPECT_EQ(gStudents[s].semesterPercent[0], 812);
    EXPECT_EQ(gStudents[s].semesterPercent[1], 777);
  }
}

TEST_F(GradingTest, LargeTotalsAndWeightsNeedWideArithmetic) {
  const int16_t s = AddStudent("Ann Able");
  // 150 columns of 30000 points: 45 million tenths possible.
  for (int i = 0; i < kMaxAssignments; i++) {
    const int16_t a = Column(0, "big", 0, 30000);
    Score(s, 0, a, i < 100 ? kFullCredit : kExcused);
  }
  Score(s, 0, 0, 0);  // one of the full-credit columns now earns nothing
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 990);

  // Ten categories of weight 32000, each full: N x 10 passes 32 bits.
  gGrading[0] = 1;
  for (int c = 0; c < 10; c++) Category(0, c, "cat", 32000);
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[0][a].category = static_cast<uint16_t>(a % 10);
    gAssignments[0][a].points = 10;
    Score(s, 0, static_cast<int16_t>(a), 100);
  }
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 1000);
}

TEST_F(GradingTest, TotalsFromTwoHundredThousandTenthsAreCutTenfold) {
  // Seven columns of 3000 points at 95.25 %: E = 200025, P = 210000. The cut to 20002 of
  // 21000 keeps the old 32-bit result, 95.24 %, which rounds to 95.2 rather than 95.3.
  const int16_t s = AddStudent("Ann Able");
  for (int i = 0; i < 7; i++) Score(s, 0, Column(0, "big", 0, 3000), 28575);
  FlushOne(s);
  EXPECT_EQ(TermPercent(0, s), 952);
  EXPECT_EQ(gStudents[s].unroundedPercent[0], 952);
}

TEST_F(GradingTest, LocateExamAndExamContributes) {
  gClass.examWeight = 200;
  gClass.lastTerm = 5;
  const int16_t s = AddStudent("Ann Able");
  for (int t = 0; t < kMaxTerms; t++) {
    Column(t, "quiz", 0, 10);
    const int16_t e = Column(t, "exam", kExamCategory, 100);
    if (t != 4) Score(s, t, e, 500);
  }
  EXPECT_EQ(LocateExam(0), 1);
  EXPECT_EQ(LocateExam(4), -1);  // named, but no score
  EXPECT_EQ(LocateExam(6), -1);
  gClass.lastTerm = 3;
  EXPECT_EQ(LocateExam(5), -1);  // past the last term

  struct Case {
    int lastTerm;
    uint16_t scope;
    const char* contributes;  // one character per term 0..5
  } cases[] = {
      {3, 1, "1111--"}, {3, 2, "-1-1--"}, {3, 3, "---1--"},
      {5, 1, "1111-1"}, {5, 2, "--1--1"}, {5, 3, "-----1"},
      {1, 2, "------"}, {2, 3, "--1---"},
  };
  for (const auto& c : cases) {
    gClass.lastTerm = static_cast<int16_t>(c.lastTerm);
    gClass.examScope = c.scope;
    for (int t = 0; t < kMaxTerms; t++)
      EXPECT_EQ(ExamContributes(static_cast<int16_t>(t)), c.contributes[t] == '1')
          << "lastTerm " << c.lastTerm << " scope " << c.scope << " term " << t;
  }
  gClass.examWeight = 0;
  gClass.examScope = 1;
  EXPECT_FALSE(ExamContributes(0));
}

// Term, semester, exam and year percents of one student for each number of terms, exam
// scope and grading method. Every term t has Tests (weight 3) and Homework (weight 1) of
// 100 points each and a 100-point exam; the exam weighs 20 %.
//
//   term               0    1    2    3    4    5
//   Tests              80   90   60  100   40   70
//   Homework           60   70  100   80   80   90
//   Exam               40   50   60   70   80   90
//   total points      70.0 80.0 80.0 90.0 60.0 80.0
//   weighted          75.0 85.0 70.0 95.0 50.0 75.0
//   blended (scope 1): 0.8 x the term + 0.2 x its exam, e.g. 70.0 -> 56.0 + 8.0 = 64.0
//
// Semesters average their terms in hundredths, then (scope 2) blend the exam of their last
// term; the year averages the terms, or (scope 2 with four or six terms) the unrounded
// semesters, then (scope 3) blends the year's exam, which with four or six terms also
// takes the mid-year term's exam (terms 3 + 1: 120 of 200; terms 5 + 2: 150 of 200).
TEST_F(GradingTest, TermSemesterExamAndYearPercents) {
  const int tests[] = {800, 900, 600, 1000, 400, 700};
  const int homework[] = {600, 700, 1000, 800, 800, 900};
  const int exams[] = {400, 500, 600, 700, 800, 900};
  struct Row {
    int lastTerm;
    uint16_t scope;
    uint16_t method;
    int terms[6];
    int semester0, semester1, year, exam;  // exam: ExamPercent of the last term
  } rows[] = {
      // one term
      {0, 1, 0, {640}, -1, -1, 640, 400},       // 56.0 + 8.0
      {0, 1, 1, {680}, -1, -1, 680, 400},       // 60.0 + 8.0
      {0, 2, 0, {700}, -1, -1, 700, 400},
      {0, 2, 1, {750}, -1, -1, 750, 400},
      {0, 3, 0, {700}, -1, -1, 640, 400},       // year blends: 56.0 + 8.0
      {0, 3, 1, {750}, -1, -1, 680, 400},
      // two terms: the semesters are the terms
      {1, 1, 0, {640, 740}, 640, 740, 690, 500},
      {1, 1, 1, {680, 780}, 680, 780, 730, 500},
      {1, 2, 0, {700, 800}, 700, 800, 750, 500},  // no blending with two terms
      {1, 2, 1, {750, 850}, 750, 850, 800, 500},
      {1, 3, 0, {700, 800}, 700, 800, 700, 500},  // 0.8 x 75.0 + 10.0
      {1, 3, 1, {750, 850}, 750, 850, 740, 500},  // 0.8 x 80.0 + 10.0
      // three terms: no semesters
      {2, 2, 0, {700, 800, 800}, -1, -1, 767, 600},
      // four terms
      {3, 1, 0, {640, 740, 760, 860}, 690, 810, 750, 700},
      {3, 1, 1, {680, 780, 680, 900}, 730, 790, 760, 700},
      {3, 2, 0, {700, 800, 800, 900}, 700, 820, 760, 700},  // 60.0+10.0, 68.0+14.0
      {3, 2, 1, {750, 850, 700, 950}, 740, 800, 770, 700},  // 64.0+10.0, 66.0+14.0
      {3, 3, 0, {700, 800, 800, 900}, 750, 850, 760, 600},  // 64.0 + 12.0
      {3, 3, 1, {750, 850, 700, 950}, 800, 825, 770, 600},  // 65.0 + 12.0
      // five terms: no semesters
      {4, 3, 1, {750, 850, 700, 950, 500}, -1, -1, 760, 800},
      // six terms
      {5, 1, 0, {640, 740, 760, 860, 640, 820}, 713, 773, 743, 900},
      {5, 1, 1, {680, 780, 680, 900, 560, 780}, 713, 747, 730, 900},
      {5, 2, 0, {700, 800, 800, 900, 600, 800}, 733, 793, 763, 900},  // 76.66 -> 73.32
      {5, 2, 1, {750, 850, 700, 950, 500, 750}, 733, 767, 750, 900},
      {5, 3, 0, {700, 800, 800, 900, 600, 800}, 767, 767, 763, 750},  // 61.32 + 15.0
      {5, 3, 1, {750, 850, 700, 950, 500, 750}, 767, 733, 750, 750},
  };
  for (const auto& r : rows) {
    NewClassAt(MacDate(2026, 10, 15));
    gCurrentTerm = 0;
    const int16_t s = AddStudent("Ann Able");
    gClass.lastTerm = static_cast<int16_t>(r.lastTerm);
    gClass.examScope = r.scope;
    gClass.examWeight = 200;
    for (int t = 0; t <= r.lastTerm; t++) {
      gGrading[t] = r.method;
      Category(t, 0, "Tests", 3);
      Category(t, 1, "Homework", 1);
      Score(s, t, Column(t, "test", 0, 100), static_cast<int16_t>(tests[t]));
      Score(s, t, Column(t, "homework", 1, 100), static_cast<int16_t>(homework[t]));
      Score(s, t, Column(t, "exam", kExamCategory, 100), static_cast<int16_t>(exams[t]));
    }
    for (int t = 0; t <= r.lastTerm; t++) FlushTerm(t);

    const std::string row = "lastTerm " + std::to_string(r.lastTerm) + " scope " +
                            std::to_string(r.scope) + " method " + std::to_string(r.method);
    for (int t = 0; t <= r.lastTerm; t++)
      EXPECT_EQ(TermPercent(static_cast<int16_t>(t), s), r.terms[t]) << row << " term " << t;
    EXPECT_EQ(SemesterPercent(0, s), r.semester0) << row;
    EXPECT_EQ(SemesterPercent(1, s), r.semester1) << row;
    EXPECT_EQ(FinalPercent(s), r.year) << row;
    EXPECT_EQ(ExamPercent(static_cast<int16_t>(r.lastTerm), s), r.exam) << row;
  }
}

TEST_F(GradingTest, RecomputationAllocatesNothing) {
  for (int i = 0; i < 30; i++) AddStudent("Student");
  for (int c = 0; c < 10; c++) Category(0, c, "cat", 10, 2);
  for (int a = 0; a < kMaxAssignments; a++) {
    const int16_t col = Column(0, "a", static_cast<uint16_t>(a % 10), 10);
    for (int16_t s = 0; s < 30; s++) Score(s, 0, col, static_cast<int16_t>((s * 7 + a) % 101));
  }
  for (uint16_t method : {0, 1}) {
    gGrading[0] = method;
    const long before = gAllocations;
    FlushAll();
    FlushOne(3);
    EXPECT_GE(TermPercent(0, 3), 0);
    EXPECT_EQ(gAllocations - before, 0) << "method " << method;
  }
}

}  // namespace
