// A scripted session of typed scores over a full class, keystroke by keystroke through
// the program's event loop, leaves the tables equal to the same edits made directly
// through the model followed by one full recomputation.
#include <cstring>
#include <memory>
#include <vector>

#include "tests/shell/editing_fixture.h"

namespace {

struct Form {
  const char* text;  // "" types Backspace: a blank score
  int16_t score;     // on a 100-point assignment
};
constexpr Form kForms[] = {{"85", 850},   {"45%", 450}, {"-5", 950}, {"17/20", 850},
                           {"B+", 885},   {"Exc", kFirstSpecial}, {"", kBlank},
                           {"9.5", 95},   {"100", 1000}};

struct Edit {
  int s, a;
  int16_t score;
};

TEST_F(EditingTest, TwoHundredKeystrokesMatchTheSameEditsThroughTheModel) {
  const int assignments = 20;
  OpenClass(kMaxStudents, assignments);
  const int t = T();
  for (int a = 0; a < assignments; a++) gAssignments[t][a].points = 100;
  for (int s = 0; s < kMaxStudents; s++) gStudents[s].lockedPercent[t] = kNone;
  CountScores();
  FlushAll();
  auto scores = std::make_unique<int16_t[]>(sizeof(gScores) / sizeof(int16_t));
  auto students = std::make_unique<StudentRecord[]>(kMaxStudents);
  std::memcpy(scores.get(), gScores, sizeof(gScores));
  std::memcpy(students.get(), gStudents, sizeof(gStudents));

  // The program: click one cell, then type and move until 200 keys have gone in. The
  // script keeps its own idea of where the editor is.
  std::vector<Edit> edits;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  int s = 240, a = 17, keys = 0;
  ShowStudent(static_cast<int16_t>(s));
  ShowAssignment(static_cast<int16_t>(a));
  ClickScore(s, a);
  ASSERT_TRUE(EditingScore(s, a));
  while (keys < 200) {
    const Form& form = kForms[next(sizeof(kForms) / sizeof(kForms[0]))];
    if (*form.text == 0) {
      InjectKey(kBackspaceCharCode, 0);
      keys++;
    }
    for (const char* c = form.text; *c; c++, keys++) InjectKey(static_cast<unsigned char>(*c), 0);
    edits.push_back(Edit{s, a, form.score});
    switch (next(5)) {
      case 0: InjectKey(kReturnCharCode, 0); s = s < kMaxStudents - 1 ? s + 1 : s; break;
      case 1: InjectKey(kReturnCharCode, shiftKey); s = s > 0 ? s - 1 : s; break;
      case 2: InjectKey(kTabCharCode, 0); a = a < assignments - 1 ? a + 1 : a; break;
      case 3: InjectKey(kTabCharCode, shiftKey); a = a > 0 ? a - 1 : a; break;
      default: InjectKey(kDownArrowCharCode, 0); s = s < kMaxStudents - 1 ? s + 1 : s; break;
    }
    keys++;
    Run();
    ASSERT_TRUE(EditingScore(s, a)) << "after " << keys << " keys";
  }
  ASSERT_TRUE(alerts.empty());
  auto typedScores = std::make_unique<int16_t[]>(sizeof(gScores) / sizeof(int16_t));
  auto typedStudents = std::make_unique<StudentRecord[]>(kMaxStudents);
  std::memcpy(typedScores.get(), gScores, sizeof(gScores));
  std::memcpy(typedStudents.get(), gStudents, sizeof(gStudents));
  uint16_t typedCounts[kMaxAssignments];
  std::memcpy(typedCounts, gNumScores[t], sizeof(typedCounts));

  // The model: the same scores stored directly, then everything computed once.
  std::memcpy(gScores, scores.get(), sizeof(gScores));
  std::memcpy(gStudents, students.get(), sizeof(gStudents));
  for (const Edit& e : edits) gScores[e.s][t][e.a] = e.score;
  CountScores();
  FlushAll();

  EXPECT_EQ(0, std::memcmp(typedScores.get(), gScores, sizeof(gScores)));
  EXPECT_EQ(0, std::memcmp(typedCounts, gNumScores[t], sizeof(typedCounts)));
  for (int i = 0; i < kMaxStudents; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(typedStudents[i].termPercent[t], gStudents[i].termPercent[t]);
    EXPECT_EQ(typedStudents[i].unroundedPercent[t], gStudents[i].unroundedPercent[t]);
    EXPECT_EQ(0, std::memcmp(typedStudents[i].dropped[t], gStudents[i].dropped[t],
                             sizeof(gStudents[i].dropped[t])));
  }
}

}  // namespace
