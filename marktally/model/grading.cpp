#include "grading.h"

#include <algorithm>
#include <cmath>

#include "accessors.h"
#include "records.h"
#include "scoretext.h"
#include "tables.h"
#include "textutil.h"

CatScore gCatScores[150];
uint16_t numDrops = 0;
int16_t numAss = 0;

namespace {

constexpr int32_t kNoGrade = -1;
constexpr int32_t kNoExam = -2;
constexpr int32_t kLargestPercent = 32767;  // above it a cached percent reads back as a code

// The counted columns of one term, by category, so that one student's recomputation
// scans each column once instead of once per category.
struct ColumnIndex {
  int16_t term;
  int16_t count[kMaxCategories];
  uint8_t columns[kMaxCategories][kMaxAssignments];
};

// A column counts once it has a name and at least one score.
bool Counts(int t, int a) { return !gAssignments[t][a].name.empty() && gNumScores[t][a] > 0; }

// Built afresh by every public entry, so no computation can read another's index.
ColumnIndex BuildIndex(int t) {
  ColumnIndex index{};
  index.term = static_cast<int16_t>(t);
  for (int a = 0; a < kMaxAssignments; a++) {
    const int c = gAssignments[t][a].category;
    if (c < kMaxCategories && Counts(t, a)) index.columns[c][index.count[c]++] = uint8_t(a);
  }
  return index;
}

int32_t PointsTenths(int t, int a) { return int32_t{gAssignments[t][a].points} * 10; }

// The score as tenths earned or a counting code; the full width of the column's points,
// which the 16-bit public form would cut.
int32_t Convert(int16_t score, int t, int a) {
  const int32_t p = (ValidTerm(t) && ValidColumn(a)) ? PointsTenths(t, a) : 0;
  if (score >= 0) return score;
  switch (score) {
    case kFullCredit: return p;
    case kIncomplete:
    case kBlank: return score;
    case kAbsent:
    case kExcused: return kExcused;
    default: break;
  }
  if (score >= kFirstSpecial && score <= kLastSpecial) {
    switch (gSpecialScores[score - kFirstSpecial].kind) {
      case 1: return kExcused;
      case 2: return kBlank;
      case 3: return kIncomplete;
      case 4: return p;
      default: return kInvalid;
    }
  }
  if (score >= kFirstLetter && score <= kLastLetter) {
    const int32_t percent = LetterGradePercent(static_cast<int16_t>(score - kFirstLetter));
    if (percent < 0) return kInvalid;
    return static_cast<int32_t>(int64_t{p} * percent / 1000);
  }
  return kInvalid;
}

// Codes that add neither earned nor possible points.
bool NotCounted(int32_t v) { return v == kExcused || v == kIncomplete || v == kInvalid; }

int16_t ClampPercent(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, 0, kLargestPercent));
}

bool IsDropped(int s, int t, int a) {
  const uint16_t* slots = gStudents[s].dropped[t];
  for (int i = 0; i < kMaxDrops; i++)
    if (slots[i] == a) return true;
  return false;
}

// What one counted column of category c adds to its totals.
void AddColumn(int s, int t, int a, int c, int32_t& earned, int32_t& possible) {
  int32_t v = Convert(gScores[s][t][a], t, a);
  if (c == kExtraCreditCategory && v == kBlank) v = kExcused;
  if (NotCounted(v)) return;
  possible += PointsTenths(t, a);
  if (v != kBlank) earned += v;
}

void Totals(int s, const ColumnIndex& index, int c, int32_t& earned, int32_t& possible) {
  const int t = index.term;
  earned = possible = 0;
  for (int i = 0; i < index.count[c]; i++) {
    const int a = index.columns[c][i];
    if (!IsDropped(s, t, a)) AddColumn(s, t, a, c, earned, possible);
  }
}

// Frees the student's drop slots that hold columns of category c, so that the category is
// computed again from all its scores rather than dropping more on every call. The freed
// columns go back into the totals when they are given.
void Undrop(int s, const ColumnIndex& index, int c, int32_t* earned, int32_t* possible) {
  const int t = index.term;
  uint16_t* slots = gStudents[s].dropped[t];
  for (int i = 0; i < index.count[c]; i++) {
    const int a = index.columns[c][i];
    for (int k = 0; k < kMaxDrops; k++) {
      if (slots[k] != a) continue;
      slots[k] = kFreeDropSlot;
      if (earned && possible) AddColumn(s, t, a, c, *earned, *possible);
    }
  }
}

void UndropAll(int s, int t) {
  std::fill(std::begin(gStudents[s].dropped[t]), std::end(gStudents[s].dropped[t]),
            kFreeDropSlot);
}

bool Before(const CatScore& a, const CatScore& b) {
  const int r = CompareRatios(&a, &b);
  return r != 0 ? r < 0 : a.column < b.column;
}

// (E - qP) less what the d lowest entries at q add to it: zero at the best ratio that
// dropping d entries can reach. Leaves the list in key order, highest first.
double KeepSum(double q, double earned, double possible, int d) {
  for (int i = 0; i < numAss; i++)
    gCatScores[i].key = gCatScores[i].earned - q * gCatScores[i].possible;
  std::sort(gCatScores, gCatScores + numAss, Before);
  double f = earned - q * possible;
  for (int i = numAss - d; i < numAss; i++) f -= gCatScores[i].key;
  return f;
}

void Drop(int s, const ColumnIndex& index, int c, int32_t& earned, int32_t& possible) {
  const int t = index.term;
  numAss = 0;
  numDrops = 0;
  int d = gCategories[t][c].drop;
  if (d == 0) return;
  for (int i = 0; i < index.count[c]; i++) {
    const int a = index.columns[c][i];
    const int16_t stored = gScores[s][t][a];
    if (stored == kBlank || IsDropped(s, t, a)) continue;  // missing work is never dropped
    const int32_t v = Convert(stored, t, a);
    if (NotCounted(v) || (c == kExtraCreditCategory && v == kBlank)) continue;
    CatScore& e = gCatScores[numAss++];
    e.column = static_cast<uint16_t>(a);
    e.earned = S16(v == kBlank ? 0 : v);
    e.possible = S16(PointsTenths(t, a));
    e.key = 0;
  }
  if (d >= numAss) d = numAss - 1;
  if (d < 1) return;
  numDrops = static_cast<uint16_t>(d);

  // Newton's method on a convex piecewise-linear function; with no points possible the
  // ratio is undefined and the most points earned are kept.
  const double e = earned;
  const double p = possible;
  double q = 0;
  if (possible > 0) {
    q = e / p;
    constexpr double kStep = 0.00001;
    for (int round = 0; round < 8; round++) {
      const double f = KeepSum(q, e, p, d);
      const double g = KeepSum(q + kStep, e, p, d);
      if (f >= -0.000001 && f <= 0.000001) break;
      const double slope = (g - f) / kStep;
      if (slope == 0 || !std::isfinite(slope)) break;
      const double next = q - f / slope;
      if (!std::isfinite(next)) break;
      q = next;
    }
  } else {
    KeepSum(0, e, p, d);
  }

  uint16_t* slots = gStudents[s].dropped[t];
  int slot = 0;
  for (int i = numAss - d; i < numAss; i++) {
    const int a = gCatScores[i].column;
    while (slot < kMaxDrops && slots[slot] != kFreeDropSlot) slot++;
    if (slot < kMaxDrops) slots[slot] = static_cast<uint16_t>(a);  // the points leave anyway
    const int32_t v = Convert(gScores[s][t][a], t, a);
    earned -= v == kBlank ? 0 : v;
    possible -= PointsTenths(t, a);
  }
}

int16_t CatPercent(int s, const ColumnIndex& index, int c) {
  if (index.count[c] == 0) return kNoGrade;
  int32_t earned, possible;
  Totals(s, index, c, earned, possible);
  Drop(s, index, c, earned, possible);
  if (possible <= 0 || earned < 0) return kNoGrade;
  return ClampPercent(Percent(static_cast<uint32_t>(earned), static_cast<uint32_t>(possible)));
}

int64_t BlendExam(int64_t p, int32_t exam) {
  const int64_t w = gClass.examWeight;
  return ((1000 - w) * p + 10 * w * exam) / 1000;
}

// Hundredths of a percent to the tenths shown, whole percents when the class asks.
int16_t RoundPercent(int64_t p) {
  if (gClass.flags & kWholePercents) return ClampPercent((p + 50) / 100 * 10);
  return ClampPercent((p + 5) / 10);
}

uint16_t Stored(int64_t tenths) { return static_cast<uint16_t>(ClampPercent(tenths)); }

// Steps shared by both grading methods once the term's hundredths are known.
int16_t FinishTerm(int s, int t, int64_t p) {
  if (gClass.examScope == 1) {
    const int16_t x = ExamPercent(static_cast<int16_t>(t), static_cast<int16_t>(s));
    if (x != kNoExam) p = BlendExam(p, x);
  }
  gStudents[s].unroundedPercent[t] = Stored((p + 5) / 10);
  return RoundPercent(p);
}

int16_t Total(int s, const ColumnIndex& index) {
  int64_t e = 0;
  int64_t p = 0;
  for (int c = 0; c < kExamCategory; c++) {
    if (gCategories[index.term][c].weight == kNone || index.count[c] == 0) continue;
    int32_t earned, possible;
    Totals(s, index, c, earned, possible);
    Drop(s, index, c, earned, possible);
    e += earned;
    p += possible;
  }
  if (index.count[kExtraCreditCategory] > 0) {
    int32_t earned, possible;
    Totals(s, index, kExtraCreditCategory, earned, possible);
    e += earned;
  }
  if (p <= 0) return kNoGrade;
  // Kept from the 32-bit days so that grades stay as they were; the product is wide now.
  if (e >= 200001 && p >= 10) {
    e /= 10;
    p /= 10;
  }
  return FinishTerm(s, index.term, e * 10000 / p);
}

int16_t Weighted(int s, const ColumnIndex& index) {
  const int t = index.term;
  int64_t w = 0;
  int64_t n = 0;
  for (int c = 0; c < kExamCategory; c++) {
    const int16_t weight = static_cast<int16_t>(gCategories[t][c].weight);
    const int16_t cp = CatPercent(s, index, c);
    if (weight >= 1 && cp != kNoGrade) {
      w += weight;
      n += int64_t{cp} * weight;
    }
  }
  const int16_t w11 = static_cast<int16_t>(gCategories[t][kExtraCreditCategory].weight);
  const int16_t cp11 = CatPercent(s, index, kExtraCreditCategory);
  if (w11 >= 1 && cp11 != kNoGrade) n += int64_t{cp11} * w11;
  if (w == 0) return kNoGrade;
  return FinishTerm(s, t, n * 10 / w);
}

void Flush(int s, const ColumnIndex& index) {
  const int t = index.term;
  UndropAll(s, t);
  const int16_t r = gGrading[t] == 1 ? Weighted(s, index) : Total(s, index);
  gStudents[s].termPercent[t] = r < 0 ? kNone : static_cast<uint16_t>(r);
}

// A semester's percent in hundredths, stored unrounded in semesterPercent, or -1.
int64_t Semester(int k, int s) {
  const int last = gClass.lastTerm;
  int first, terms;
  if (last == 3) {
    first = 2 * k;
    terms = 2;
  } else if (last == 5) {
    first = 3 * k;
    terms = 3;
  } else {
    return kNoGrade;  // no semesters: what the record holds is not this class's to clear
  }
  int64_t sum = 0;
  int count = 0;
  for (int t = first; t < first + terms; t++) {
    const int16_t v = TermPercent(static_cast<int16_t>(t), static_cast<int16_t>(s));
    if (v == kNoGrade) continue;
    sum += v;
    count++;
  }
  if (count == 0) {
    gStudents[s].semesterPercent[k] = kNone;
    return kNoGrade;
  }
  int64_t p = sum * 10 / count;
  if (gClass.examScope == 2) {
    const int16_t x =
        ExamPercent(static_cast<int16_t>(first + terms - 1), static_cast<int16_t>(s));
    if (x != kNoExam) p = BlendExam(p, x);
  }
  gStudents[s].semesterPercent[k] = Stored((p + 5) / 10);
  return p;
}

}  // namespace

int16_t ConvertSpecialScore(int16_t score, int16_t column) {
  return S16(Convert(score, CurrentTermIndex(), column));
}

int16_t ConvertSpecialScoreInTerm(int16_t score, int16_t term, int16_t column) {
  return S16(Convert(score, term, column));
}

void CategoryTotals(int16_t student, uint16_t category, int32_t& earned, int32_t& possible) {
  earned = possible = 0;
  if (!ValidStudent(student) || category >= kMaxCategories) return;
  Totals(student, BuildIndex(CurrentTermIndex()), category, earned, possible);
}

void DropWorstScores(int16_t student, uint16_t category, int32_t& earned, int32_t& possible) {
  numAss = 0;
  numDrops = 0;
  if (!ValidStudent(student) || category >= kMaxCategories) return;
  // The totals come from CategoryTotals, without the category's earlier drops: those are
  // given back first, so that a second call drops the same columns, not more.
  const ColumnIndex index = BuildIndex(CurrentTermIndex());
  Undrop(student, index, category, &earned, &possible);
  Drop(student, index, category, earned, possible);
}

int16_t CategoryPercent(int16_t student, int16_t category) {
  if (!ValidStudent(student) || category < 0 || category >= kMaxCategories)
    return kNoGrade;
  const ColumnIndex index = BuildIndex(CurrentTermIndex());
  Undrop(student, index, category, nullptr, nullptr);
  return CatPercent(student, index, category);
}

int16_t TotalPercent(int16_t student) {
  if (!ValidStudent(student)) return kNoGrade;
  UndropAll(student, CurrentTermIndex());
  return Total(student, BuildIndex(CurrentTermIndex()));
}

int16_t WeightedPercent(int16_t student) {
  if (!ValidStudent(student)) return kNoGrade;
  UndropAll(student, CurrentTermIndex());
  return Weighted(student, BuildIndex(CurrentTermIndex()));
}

void FlushOne(int16_t student) {
  if (!ValidStudent(student)) return;
  Flush(student, BuildIndex(CurrentTermIndex()));
}

void FlushAll() {
  const ColumnIndex index = BuildIndex(CurrentTermIndex());
  for (int s = 0; s < kMaxStudents; s++) Flush(s, index);
}

void FlushAllTerms() {
  const int students = NumStudents();
  const int last = LastTermIndex();
  for (int s = 0; s < students; s++) {
    for (int t = 0; t <= last; t++) gStudents[s].termPercent[t] = kRecompute;
  }
  FlushAll();
}

int16_t TermPercent(int16_t term, int16_t student) {
  if (student < 0 || student >= NumStudents() || !ValidTerm(term)) return kNoGrade;
  StudentRecord& r = gStudents[student];
  if (r.lockedPercent[term] != kNone) return ClampPercent(r.lockedPercent[term]);
  // A document may ask for any term's recomputation; that term's own columns answer it.
  if (r.termPercent[term] == kRecompute) Flush(student, BuildIndex(term));
  const uint16_t v = r.termPercent[term];
  if (v == kNone) return kNoGrade;
  int64_t penalty = 0;
  if (gAttendGrade.flags & 0x0001) {
    int64_t absent = r.absences[term];
    const int perAbsence = gAttendGrade.flags >> 8;
    if (perAbsence != 0) absent += r.tardies[term] / (10 * perAbsence) * 10;
    penalty = std::max<int64_t>(0, absent - 10 * int64_t{gAttendGrade.allowed}) *
              gAttendGrade.penaltyPerAbsence / 10;
  }
  return ClampPercent(int64_t{ClampPercent(v)} - penalty);
}

int16_t SemesterPercent(int16_t semester, int16_t student) {
  if (semester < 0 || semester > 1) return kNoGrade;
  if (gClass.lastTerm == 1) return TermPercent(semester, student);
  if (!ValidStudent(student)) return kNoGrade;
  const int64_t p = Semester(semester, student);
  return p == kNoGrade ? kNoGrade : RoundPercent(p);
}

int16_t FinalPercent(int16_t student) {
  if (!ValidStudent(student)) return kNoGrade;
  const int last = gClass.lastTerm;
  int64_t p;
  if (gClass.examScope == 2 && gClass.examWeight > 0 && (last == 3 || last == 5)) {
    // The semesters just computed, never what an earlier call left in the record.
    const int64_t first = Semester(0, student);
    const int64_t second = Semester(1, student);
    if (first == kNoGrade && second == kNoGrade) return kNoGrade;
    const StudentRecord& r = gStudents[student];
    if (first != kNoGrade && second != kNoGrade)
      p = (int64_t{r.semesterPercent[0]} + r.semesterPercent[1]) * 5;
    else
      p = int64_t{r.semesterPercent[first != kNoGrade ? 0 : 1]} * 10;
  } else {
    if (last < 0) return kNoGrade;
    int64_t sum = 0;
    int count = 0;
    for (int t = 0; t <= LastTermIndex(); t++) {
      const int16_t v = TermPercent(static_cast<int16_t>(t), student);
      if (v == kNoGrade) continue;
      sum += v;
      count++;
    }
    if (count == 0) return kNoGrade;
    p = sum * 10 / count;
  }
  if (gClass.examScope == 3) {
    const int16_t x = ExamPercent(static_cast<int16_t>(LastTermIndex()), student);
    if (x != kNoExam) p = BlendExam(p, x);
  }
  return RoundPercent(p);
}

int16_t ExamPercent(int16_t term, int16_t student) {
  if (!ValidTerm(term) || !ValidStudent(student)) return kNoExam;
  const int last = gClass.lastTerm;
  const bool midYear = gClass.examScope == 3 && term == last && (last == 3 || last == 5);
  const int terms[2] = {term, last / 2};
  int64_t earned = 0;
  int64_t possible = 0;
  for (int i = 0; i < (midYear ? 2 : 1); i++) {
    const int t = terms[i];
    for (int a = 0; a < kMaxAssignments; a++) {
      if (gAssignments[t][a].category != kExamCategory || !Counts(t, a)) continue;
      const int32_t p = PointsTenths(t, a);
      if (p == 0) continue;
      const int32_t v = Convert(gScores[student][t][a], t, a);
      if (NotCounted(v)) continue;
      possible += p;
      if (v != kBlank) earned += v;
    }
  }
  if (possible == 0) return kNoExam;
  return ClampPercent(Percent(static_cast<uint32_t>(earned), static_cast<uint32_t>(possible)));
}

int16_t LocateExam(int16_t term) {
  if (!ValidTerm(term) || term > gClass.lastTerm) return -1;
  for (int a = 0; a < kMaxAssignments; a++)
    if (gAssignments[term][a].category == kExamCategory && Counts(term, a))
      return static_cast<int16_t>(a);
  return -1;
}

bool ExamContributes(int16_t term) {
  if (gClass.examWeight == 0 || LocateExam(term) == -1) return false;
  const int last = gClass.lastTerm;
  switch (gClass.examScope) {
    case 1: return true;
    case 2:
      return (last == 3 && (term == 1 || term == 3)) || (last == 5 && (term == 2 || term == 5));
    case 3: return term == last;
    default: return false;
  }
}

bool Dropped(int16_t student, uint16_t column) {
  if (!ValidStudent(student) || !ValidColumn(column)) return false;
  return IsDropped(student, CurrentTermIndex(), column);
}

void PercentToGrade(int16_t percent, Str255& text) {
  if (percent < 0 || !(gClass.flags & kLetterGrades)) {
    text.setC(" ");
    return;
  }
  int p = percent;
  if ((gClass.flags & kWholePercents) && p % 10 >= 5) p = (p / 10 + 1) * 10;
  int grade = 0;
  for (int i = 0; i < kMaxCutoffs; i++)
    if (gCutoffs[i] != kNone && static_cast<int16_t>(gCutoffs[i]) <= p) grade = i + 1;
  text.set(gLetterGrades[grade]);
}

int CompareRatios(const void* a, const void* b) {
  const double ka = static_cast<const CatScore*>(a)->key;
  const double kb = static_cast<const CatScore*>(b)->key;
  // A NaN goes below every number, so that the order stays strict and weak.
  const bool na = std::isnan(ka);
  const bool nb = std::isnan(kb);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  if (ka > kb) return -1;
  if (kb > ka) return 1;
  return 0;
}
