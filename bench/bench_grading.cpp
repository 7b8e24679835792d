// Recomputation of a full class: FlushOne runs after every typed score, FlushAll after
// every bulk change. Goals on the development machine: FlushOne under 50 us, FlushAll
// under 5 ms.
#include <benchmark/benchmark.h>

#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"

namespace {

// 250 students, 150 columns spread over 10 categories that each drop their 2 lowest
// scores, with unequal points and the usual sprinkling of blanks, codes and letters.
void FillClass(uint16_t method) {
  SetClockForTesting(0);
  NewClass();
  gCurrentTerm = 0;
  gGrading[0] = method;
  for (int c = 0; c < 10; c++) {
    gCategories[0][c].name.setC("Category");
    gCategories[0][c].weight = static_cast<uint16_t>(5 + c);
    gCategories[0][c].drop = 2;
  }
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int a = 0; a < kMaxAssignments; a++) {
    gAssignments[0][a].name.setC("Assignment");
    gAssignments[0][a].category = static_cast<uint16_t>(a % 10);
    gAssignments[0][a].points = static_cast<uint16_t>(5 + next(96));
  }
  for (int s = 0; s < kMaxStudents; s++) {
    gStudents[s].name.setC("Student Name");
    for (int a = 0; a < kMaxAssignments; a++) {
      const uint32_t roll = next(100);
      int16_t score;
      if (roll < 5)
        score = kBlank;
      else if (roll < 7)
        score = kExcused;
      else if (roll < 9)
        score = static_cast<int16_t>(kFirstSpecial + next(3));
      else if (roll < 11)
        score = static_cast<int16_t>(kFirstLetter + next(13));
      else
        score = static_cast<int16_t>(next(gAssignments[0][a].points * 10u + 1));
      gScores[s][0][a] = score;
      if (score != kBlank) gNumScores[0][a]++;
    }
  }
}

void BM_FlushAll(benchmark::State& state) {
  FillClass(static_cast<uint16_t>(state.range(0)));
  for (auto _ : state) {
    FlushAll();
    benchmark::DoNotOptimize(gStudents[kMaxStudents - 1].termPercent[0]);
  }
  state.SetLabel(state.range(0) == 0 ? "total points" : "weighted categories");
}
BENCHMARK(BM_FlushAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FlushOne(benchmark::State& state) {
  FillClass(static_cast<uint16_t>(state.range(0)));
  int16_t s = 0;
  for (auto _ : state) {
    FlushOne(s);
    benchmark::DoNotOptimize(gStudents[s].termPercent[0]);
    s = static_cast<int16_t>((s + 1) % kMaxStudents);
  }
  state.SetLabel(state.range(0) == 0 ? "total points" : "weighted categories");
}
BENCHMARK(BM_FlushOne)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
