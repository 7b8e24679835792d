// Recounting a full year and the student sorts at their worst: 250 students that stand in
// exactly the reverse of the order asked for, with every row table filled, so that each
// sort moves every row.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"

namespace {

uint32_t gSeed = 12345;
uint32_t Next(uint32_t n) {
  gSeed = gSeed * 1103515245u + 12345u;
  return (gSeed >> 16) % n;
}

// Six terms of 150 columns in 10 categories that drop their 2 lowest scores, the terms
// alternating between total points and weighted categories.
void FillFullClass() {
  SetClockForTesting(0);
  NewClass();
  gClass.lastTerm = 5;
  gCurrentTerm = 0;
  gSeed = 12345;
  for (int t = 0; t < kMaxTerms; t++) {
    gGrading[t] = static_cast<uint16_t>(t % 2);
    for (int c = 0; c < 10; c++) {
      gCategories[t][c].name.setC("Category");
      gCategories[t][c].weight = static_cast<uint16_t>(5 + c);
      gCategories[t][c].drop = 2;
    }
    for (int a = 0; a < kMaxAssignments; a++) {
      gAssignments[t][a].name.setC("Assignment");
      gAssignments[t][a].category = static_cast<uint16_t>(a % 10);
      gAssignments[t][a].points = static_cast<uint16_t>(5 + Next(96));
    }
  }
  for (int s = 0; s < kMaxStudents; s++) {
    char name[32];
    // Last names in descending order: "Pat Zz249" first, "Pat Zz000" last.
    std::snprintf(name, sizeof name, "Pat Zz%03d", kMaxStudents - 1 - s);
    gStudents[s].name.setC(name);
    gStudents[s].id.setC("12345");
    for (int t = 0; t < kMaxTerms; t++) {
      gStudents[s].termPercent[t] = static_cast<uint16_t>(s * 4);  // ascending grades
      gComments[s][t].setC("A comment long enough to be worth moving with its row.");
      for (int a = 0; a < kMaxAssignments; a++) {
        const uint32_t roll = Next(100);
        const int16_t earned = static_cast<int16_t>(Next(gAssignments[t][a].points * 10u));
        gScores[s][t][a] = roll < 5 ? kBlank : roll < 8 ? kExcused : earned;
      }
    }
    for (int d = 0; d < kMaxDays; d++) gAttendance[s][d] = static_cast<uint8_t>(Next(3));
    gEmailAddresses[s].recipients.setC("parent@example.org");
  }
  gSeatingChart.rows = gSeatingChart.columns = 16;
  for (int s = 0; s < kMaxStudents; s++) gSeatingChart.seats[s / 16][s % 16] = uint16_t(s);
}

// Every table a student sort moves, so that each run starts from the same worst case.
struct Rows {
  StudentRecord students[kMaxStudents];
  int16_t scores[kMaxStudents][kMaxTerms][kMaxAssignments];
  uint8_t footnotes[kMaxStudents][kMaxTerms][kMaxAssignments];
  uint8_t attendance[kMaxStudents][kMaxDays];
  uint16_t totals[kMaxStudents][kMaxTerms][kMaxCodes];
  Str255 comments[kMaxStudents][kMaxTerms];
  EmailAddressRecord addresses[kMaxStudents];
  SeatingChartRecord seating;
};

void Save(Rows& r) {
  std::memcpy(r.students, gStudents, sizeof r.students);
  std::memcpy(r.scores, gScores, sizeof r.scores);
  std::memcpy(r.footnotes, gFootnotes, sizeof r.footnotes);
  std::memcpy(r.attendance, gAttendance, sizeof r.attendance);
  std::memcpy(r.totals, gAttendanceTotals, sizeof r.totals);
  std::memcpy(r.comments, gComments, sizeof r.comments);
  std::memcpy(r.addresses, gEmailAddresses, sizeof r.addresses);
  r.seating = gSeatingChart;
}

void Restore(const Rows& r) {
  std::memcpy(gStudents, r.students, sizeof r.students);
  std::memcpy(gScores, r.scores, sizeof r.scores);
  std::memcpy(gFootnotes, r.footnotes, sizeof r.footnotes);
  std::memcpy(gAttendance, r.attendance, sizeof r.attendance);
  std::memcpy(gAttendanceTotals, r.totals, sizeof r.totals);
  std::memcpy(gComments, r.comments, sizeof r.comments);
  std::memcpy(gEmailAddresses, r.addresses, sizeof r.addresses);
  gSeatingChart = r.seating;
}

void BM_CountScores(benchmark::State& state) {
  FillFullClass();
  for (auto _ : state) {
    CountScores();
    benchmark::DoNotOptimize(gNumScores[kMaxTerms - 1][kMaxAssignments - 1]);
  }
  state.SetLabel("250 students, 6 terms of 150 columns");
}
BENCHMARK(BM_CountScores)->Unit(benchmark::kMillisecond);

template <void (*Sort)()>
void BM_WorstCaseSort(benchmark::State& state) {
  FillFullClass();
  auto reversed = std::make_unique<Rows>();
  Save(*reversed);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(*reversed);
    state.ResumeTiming();
    Sort();
    benchmark::DoNotOptimize(gStudents[0].name[1]);
  }
  state.SetLabel("250 students in reverse order");
}
BENCHMARK_TEMPLATE(BM_WorstCaseSort, SortByName)->Name("BM_SortByName")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WorstCaseSort, SortByGrade)->Name("BM_SortByGrade")
    ->Unit(benchmark::kMillisecond);

}  // namespace
