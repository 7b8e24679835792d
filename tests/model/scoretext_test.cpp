// Score, point and percent texts in both directions: what a teacher may type, what is
// refused, and the text every stored value is shown as.
#include "marktally/model/scoretext.h"

#include <climits>
#include <map>
#include <string>

#include "marktally/model/textutil.h"
#include "model_fixture.h"

namespace {

class ScoreTextTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    for (uint16_t points : {0, 20, 50, 100, 1000, 5000}) {
      std::string name = "col" + std::to_string(points);
      column[points] = AddAssignment(name.c_str(), 1, points);
    }
  }
  int16_t Column(uint16_t points) { return column.at(points); }

  std::map<uint16_t, int16_t> column;
};

// -3 and -1 come back through the unsigned out-parameters.
int Signed(uint16_t v) { return static_cast<int16_t>(v); }

TEST_F(ScoreTextTest, NumberSyntax) {
  struct Case {
    const char* text;
    int32_t tenths;
  } cases[] = {
      {"17", 170},     {"17.5", 175},   {"17,5", 175},     {"17,25", 173},  {"17.24", 172},
      {"17.249", 172}, {"17.251", 173}, {"17.", 170},      {"17,", 170},    {".5", 5},
      {",05", 1},      {"", 0},         {".", 0},          {",", 0},        {"0", 0},
      {"00017", 170},  {"1,05", 11},    {"3276.7", 32767}, {"0.04", 0},     {"0.05", 1},
      // refusals
      {"1.5x", -3}, {"-3", -3}, {"+3", -3}, {"1..5", -3}, {"1.5.5", -3}, {"17.25x", -3},
      {"1.x", -3}, {"x", -3}, {" 17", -3}, {"17 ", -3}, {"1 7", -3}, {"17%", -3},
      // 32-bit tenths, whatever a score can hold; beyond 32 bits is no number
      {"3276.8", 32768}, {"99999", 999990}, {"214748364.7", 2147483647},
      {"214748364.8", -3}, {"214748364.75", -3}, {"99999999999999999999", -3},
  };
  for (const auto& c : cases) EXPECT_EQ(StringToValue(PStr(c.text)), c.tenths) << c.text;
}

enum class Parser { kScore, kPercent, kNegative, kGrade, kRatio };

// Every form a score may be typed in, with the column's points it is read against, and
// every refusal of each parser.
TEST_F(ScoreTextTest, ScoreTextIn) {
  struct Case {
    Parser parser;
    const char* text;
    uint16_t points;  // of the column; the limit for StringToScore
    int expected;
  } cases[] = {
      // plain numbers, blanks and special scores (limit in points)
      {Parser::kScore, "17.5", 1000, 175},
      {Parser::kScore, "17,5", 1000, 175},
      {Parser::kScore, " 17,25 ", 1000, 173},
      {Parser::kScore, "1000", 1000, 10000},
      {Parser::kScore, "1000.04", 1000, 10000},
      {Parser::kScore, "", 1000, -1},
      {Parser::kScore, "   ", 1000, -1},
      {Parser::kScore, "\t", 1000, -1},
      {Parser::kScore, "Exc", 1000, -20},
      {Parser::kScore, "exc", 1000, -20},
      {Parser::kScore, "ABS", 1000, -19},
      {Parser::kScore, "inc", 1000, -18},
      {Parser::kScore, "0", 0, 0},
      {Parser::kScore, "1000.1", 1000, -3},
      {Parser::kScore, "1000.05", 1000, -3},
      {Parser::kScore, "0.1", 0, -3},
      {Parser::kScore, "Excused", 1000, -3},
      {Parser::kScore, "12a", 1000, -3},
      {Parser::kScore, "-3", 1000, -3},
      {Parser::kScore, "4000", 32767, -3},  // the limit allows it, a score cannot hold it
      {Parser::kScore, "3276.8", 32767, -3},
      // percents, earned or missed
      {Parser::kPercent, "95%", 50, 475},
      {Parser::kPercent, "-5%", 50, 475},
      {Parser::kPercent, "150%", 50, 750},
      {Parser::kPercent, "12.34%", 100, 123},
      {Parser::kPercent, "-105%", 100, 0},
      {Parser::kPercent, "%", 100, 0},
      {Parser::kPercent, "327.6%", 1000, 32760},
      {Parser::kPercent, "95", 50, -3},
      {Parser::kPercent, "", 50, -3},
      {Parser::kPercent, "9x%", 50, -3},
      {Parser::kPercent, "95 %", 50, -3},
      {Parser::kPercent, "400%", 1000, -3},  // 4000 points: would wrap to a code
      // points missed
      {Parser::kNegative, "-3", 20, 170},
      {Parser::kNegative, "-0.5", 20, 195},
      {Parser::kNegative, "-30", 20, 0},
      {Parser::kNegative, "-", 20, 200},
      {Parser::kNegative, "3", 20, -3},
      {Parser::kNegative, "", 20, -3},
      {Parser::kNegative, "-x", 20, -3},
      {Parser::kNegative, "--3", 20, -3},
      {Parser::kNegative, "-1", 5000, -3},  // 4999 points left: more than a score holds
      {Parser::kNegative, "-5000", 100, 0},  // all 100 points and more missed
      {Parser::kNegative, "-214748364.7", 100, 0},
      // letter grades, at the middle of their band
      {Parser::kGrade, "B", 100, 850},
      {Parser::kGrade, "b", 100, 850},
      {Parser::kGrade, "F", 100, 300},
      {Parser::kGrade, "D-", 100, 615},
      {Parser::kGrade, "A", 100, 950},
      {Parser::kGrade, "A+", 100, 1000},
      {Parser::kGrade, "A+", 20, 200},
      {Parser::kGrade, "", 100, -3},
      {Parser::kGrade, "E", 100, -3},
      {Parser::kGrade, "B ", 100, -3},
      {Parser::kGrade, "A+", 5000, -3},
      // ratios
      {Parser::kRatio, "17/20", 100, 850},
      {Parser::kRatio, "1/3", 100, 333},
      {Parser::kRatio, "2/3", 100, 667},
      {Parser::kRatio, "/20", 100, 0},
      {Parser::kRatio, "25/20", 20, 250},
      {Parser::kRatio, "17/0", 100, -3},
      {Parser::kRatio, "17/", 100, -3},
      {Parser::kRatio, "17", 100, -3},
      {Parser::kRatio, "17/20x", 100, -3},
      {Parser::kRatio, "1.5/2", 100, -3},
      {Parser::kRatio, " 17/20", 100, -3},
      {Parser::kRatio, "17//20", 100, -3},
      {Parser::kRatio, "40/10", 1000, -3},
      {Parser::kRatio, "99999999999999/1", 100, -3},
      {Parser::kRatio, "1500000000/1500000000", 100, 1000},
      {Parser::kRatio, "4294967295/4294967295", 100, 1000},
      {Parser::kRatio, "4294967295/1", 100, -3},
      {Parser::kRatio, "1/4294967295", 100, 0},
      {Parser::kRatio, "1/4294967296", 100, -3},
      {Parser::kRatio, "1/99999999999999", 100, -3},
  };
  for (const auto& c : cases) {
    uint16_t score = 12345;
    const Str255 text = PStr(c.text);
    switch (c.parser) {
      case Parser::kScore: StringToScore(text, static_cast<int16_t>(c.points), score); break;
      case Parser::kPercent: PercentToScore(text, Column(c.points), score); break;
      case Parser::kNegative: NegativeToScore(text, Column(c.points), score); break;
      case Parser::kGrade: GradeToScore(text, Column(c.points), score); break;
      case Parser::kRatio: RatioToScore(text, Column(c.points), score); break;
    }
    EXPECT_EQ(Signed(score), c.expected)
        << "parser " << static_cast<int>(c.parser) << " text \"" << c.text << "\" points "
        << c.points;
  }
}

TEST_F(ScoreTextTest, ColumnParsersRefuseColumnsOutsideTheTerm) {
  for (int16_t column : {-1, 150, 32767}) {
    uint16_t score = 0;
    PercentToScore(PStr("50%"), column, score);
    EXPECT_EQ(Signed(score), -3);
    NegativeToScore(PStr("-1"), column, score);
    EXPECT_EQ(Signed(score), -3);
    GradeToScore(PStr("B"), column, score);
    EXPECT_EQ(Signed(score), -3);
    RatioToScore(PStr("1/2"), column, score);
    EXPECT_EQ(Signed(score), -3);
  }
}

TEST_F(ScoreTextTest, LetterValueFollowsTheNamedLettersAndCutoffs) {
  uint16_t score = 0;
  gLetterGrades[9].clear();  // B+ out of use: B reaches up to A-
  GradeToScore(PStr("B"), Column(100), score);
  EXPECT_EQ(score, (830 + 900) / 2);
  GradeToScore(PStr("B+"), Column(100), score);
  EXPECT_EQ(Signed(score), -3);

  gLetterGrades[12].clear();  // A is now the highest letter
  gCutoffs[10] = 1050;        // and lies above 100 %
  GradeToScore(PStr("A"), Column(100), score);
  EXPECT_EQ(score, 1050);
  EXPECT_EQ(LetterGradePercent(12), -1);
  EXPECT_EQ(LetterGradePercent(13), -1);
  EXPECT_EQ(LetterGradePercent(0), 300);

  // A letter with a name but an unused cutoff is out of use, below and above.
  gCutoffs[10] = kNone;
  EXPECT_EQ(LetterGradePercent(11), -1);
  GradeToScore(PStr("A-"), Column(100), score);
  EXPECT_EQ(score, 1000);  // the highest letter in use now
}

TEST_F(ScoreTextTest, PointsAndPercents) {
  struct Case {
    bool percent;
    const char* text;
    int limit;
    int expected;
  } cases[] = {
      {false, "", 1000, 0},     {false, " 25 ", 1000, 25},   {false, "1000", 1000, 1000},
      {false, "0", 1000, 0},    {false, "1001", 1000, -3},   {false, "2.5", 1000, -3},
      {false, "-1", 1000, -3},  {false, "1 0", 1000, -3},    {false, "99999999999", 1000, -3},
      {true, "", 120, -1},      {true, "  ", 120, -1},       {true, "87.5", 120, 875},
      {true, " 87,5 ", 120, 875}, {true, "120", 120, 1200},  {true, "120.1", 120, -3},
      {true, "x", 120, -3},     {true, "-5", 120, -3},       {true, "50", 0, -3},
      {true, "3276.7", 32767, 32767}, {true, "3276.8", 32767, -3},  // a 16-bit percent
  };
  for (const auto& c : cases) {
    uint16_t out = 12345;
    if (c.percent)
      StringToPercent(PStr(c.text), static_cast<int16_t>(c.limit), out);
    else
      StringToPoints(PStr(c.text), static_cast<uint16_t>(c.limit), out);
    EXPECT_EQ(Signed(out), c.expected) << (c.percent ? "percent " : "points ") << c.text;
  }
}

TEST_F(ScoreTextTest, NameLookUps) {
  int16_t index = 99;
  struct Case {
    char kind;  // s special score, c category, a attendance code
    std::string name;
    int expected;
  } cases[] = {
      {'s', "", -1},   {'s', "exc", 0}, {'s', "Inc", 2},  {'s', "INC", 2},
      {'s', "nope", -3},
      {'s', "\x83xc", -3},  // an accented E is another letter here
      {'c', "homework", 1}, {'c', "Final Exams", 10}, {'c', "extra credit", 11},
      {'c', "", 2},  // the first category without a name
      {'c', "x", -3},
      {'a', "", -1},   {'a', "ab", 0},  {'a', "t", 2},    {'a', "zz", -3},
  };
  for (const auto& c : cases) {
    const Str255 name = PStr(c.name);
    if (c.kind == 's') WhichScore(name, index);
    if (c.kind == 'c') WhichCategory(name, index);
    if (c.kind == 'a') WhichCode(name, index);
    EXPECT_EQ(index, c.expected) << c.kind << " \"" << c.name << "\"";
  }
}

// Every stored value has a text: the codes no parser makes and unknown ones included.
TEST_F(ScoreTextTest, ScoreTextOut) {
  gSpecialScores[1].name.clear();  // "Abs" out of use
  gLetterGrades[5].clear();        // "C" out of use
  gLetterGrades[7].setC("B-");
  struct Case {
    int16_t score;
    const char* text;
  } cases[] = {
      {0, "0"},       {170, "17"},     {175, "17.5"},   {5, "0.5"},     {32767, "3276.7"},
      {-1, " "},      {-2, "exc"},     {-4, "abs"},     {-6, "inc"},    {-7, "full"},
      {-20, "Exc"},   {-19, "??"},     {-18, "Inc"},    {-13, "??"},
      {-40, "F  "},   {-39, "D- "},    {-38, "D  "},    {-37, "D+"},    {-35, "??"},
      {-33, "B- "},   {-29, "A  "},    {-28, "A+"},
      // invalid and codes no version stores
      {-3, "??"},     {-5, "??"},      {-8, "??"},      {-12, "??"},    {-21, "??"},
      {-27, "??"},    {-41, "??"},     {-32768, "??"},
  };
  for (const auto& c : cases) {
    Str255 text;
    text.setC("stale");
    ScoreToString(c.score, text);
    EXPECT_EQ(text.str(), c.text) << c.score;
  }
}

TEST_F(ScoreTextTest, NumberAndPercentTextOut) {
  Str255 text;
  struct Case {
    int32_t value;
    const char* plain;
    const char* decimal;
  } numbers[] = {
      {0, "0", "0.0"},      {170, "17", "17.0"},  {175, "17.5", "17.5"},
      {5, "0.5", "0.5"},    {-5, "-0.5", "-0.5"}, {-170, "-17", "-17.0"},
      {1234567, "123456.7", "123456.7"},
      {INT32_MIN, "-214748364.8", "-214748364.8"},
  };
  for (const auto& n : numbers) {
    ValueToString(n.value, text);
    EXPECT_EQ(text.str(), n.plain) << n.value;
    DecimalToString(n.value, text);
    EXPECT_EQ(text.str(), n.decimal) << n.value;
  }

  struct PercentCase {
    uint8_t flags;
    int16_t percent;
    const char* text;
  } percents[] = {
      {0, 875, "87.5%"},  {0, 0, "0.0%"},      {0, 1000, "100.0%"}, {0, -1, "-- "},
      {0, 1234, "123.4%"}, {kWholePercents, 875, "88%"}, {kWholePercents, 874, "87%"},
      {kWholePercents, 999, "100%"}, {kWholePercents, -1, "-- "},
      {kHidePercents, 875, " "}, {kHidePercents, -1, " "},
  };
  for (const auto& p : percents) {
    gClass.flags = p.flags;
    PercentToString(p.percent, text);
    EXPECT_EQ(text.str(), p.text) << int(p.flags) << " " << p.percent;
  }
}

// What the cell editor does with a typed text: each parser in turn until one accepts.
TEST_F(ScoreTextTest, EditorOrderReachesEveryForm) {
  auto parse = [&](const char* typed, int16_t column) {
    const Str255 text = PStr(typed);
    uint16_t score = 0;
    StringToScore(text, 1000, score);
    if (Signed(score) == -3) PercentToScore(text, column, score);
    if (Signed(score) == -3) NegativeToScore(text, column, score);
    if (Signed(score) == -3) GradeToScore(text, column, score);
    if (Signed(score) == -3) RatioToScore(text, column, score);
    return Signed(score);
  };
  const int16_t c = Column(50);
  EXPECT_EQ(parse("45", c), 450);
  EXPECT_EQ(parse("exc", c), -20);
  EXPECT_EQ(parse("90%", c), 450);
  EXPECT_EQ(parse("-5", c), 450);
  EXPECT_EQ(parse("A+", c), 500);
  EXPECT_EQ(parse("9/10", c), 450);
  EXPECT_EQ(parse(" ", c), -1);
  EXPECT_EQ(parse("lots", c), -3);
}

}  // namespace
