#include "operations.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "accessors.h"
#include "grading.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"

namespace {


bool IsStudentIndex(uint16_t seat) { return seat < kMaxStudents; }

// ---- Student rows ------------------------------------------------------------------
void MoveStudentRows(int from, int to, int count) {
  if (count <= 0) return;
  std::memmove(&gStudents[to], &gStudents[from], count * sizeof gStudents[0]);
  std::memmove(gScores[to], gScores[from], count * sizeof gScores[0]);
  std::memmove(gFootnotes[to], gFootnotes[from], count * sizeof gFootnotes[0]);
  std::memmove(gAttendance[to], gAttendance[from], count * sizeof gAttendance[0]);
  std::memmove(gAttendanceTotals[to], gAttendanceTotals[from],
               count * sizeof gAttendanceTotals[0]);
  std::memmove(gComments[to], gComments[from], count * sizeof gComments[0]);
  std::memmove(&gEmailAddresses[to], &gEmailAddresses[from], count * sizeof gEmailAddresses[0]);
}


template <typename F>
void ForEachSeat(F f) {
  for (auto& row : gSeatingChart.seats)
    for (auto& seat : row) f(seat);
}

// Puts old row order[k] into slot k for k < n, following each cycle of the permutation
// with one spare row, and renumbers the seats to match.
void ApplyStudentOrder(const std::vector<int16_t>& order) {
  const int n = static_cast<int>(order.size());
  std::vector<bool> placed(n, false);
  StudentRow spare;
  for (int k = 0; k < n; k++) {
    if (placed[k] || order[k] == k) continue;
    SaveStudentRow(k, spare);
    int j = k;
    for (;;) {
      placed[j] = true;
      const int source = order[j];
      if (source == k) {
        LoadStudentRow(spare, j);
        break;
      }
      MoveStudentRows(source, j, 1);
      j = source;
    }
  }
  std::vector<uint16_t> newIndex(n);
  for (int k = 0; k < n; k++) newIndex[order[k]] = static_cast<uint16_t>(k);
  ForEachSeat([&](uint16_t& seat) {
    if (seat < n) seat = newIndex[seat];
  });
}

// The sorts reach the arrangement that exchanging out-of-order neighbours until none is
// left would reach (a stable order), without moving whole rows on every exchange.
template <typename Before>
void SortStudents(Before before) {
  std::vector<int16_t> order(NumStudents());
  std::iota(order.begin(), order.end(), int16_t{0});
  std::stable_sort(order.begin(), order.end(), before);
  for (size_t k = 0; k < order.size(); k++) {
    if (order[k] != static_cast<int16_t>(k)) {
      ApplyStudentOrder(order);
      SetChanged(1);
      return;
    }
  }
}

// ---- Assignment columns ------------------------------------------------------------
void ClearColumn(int t, int a) {
  gAssignments[t][a].name.clear();
  gAssignments[t][a].category = 1;
  gAssignments[t][a].points = 100;
  gNumScores[t][a] = 0;
  gAssignDates[t][a] = GetDateTime();
  for (int s = 0; s < kMaxStudents; s++) {
    gScores[s][t][a] = kBlank;
    gFootnotes[s][t][a] = kNoMark;
  }
}

// Moves count columns of term t from one index to another.
void MoveColumns(int t, int from, int to, int count) {
  if (count <= 0) return;
  std::memmove(&gAssignments[t][to], &gAssignments[t][from], count * sizeof(AssignmentRecord));
  std::memmove(&gAssignDates[t][to], &gAssignDates[t][from], count * sizeof(uint32_t));
  std::memmove(&gNumScores[t][to], &gNumScores[t][from], count * sizeof(uint16_t));
  for (int s = 0; s < kMaxStudents; s++) {
    std::memmove(&gScores[s][t][to], &gScores[s][t][from], count * sizeof(int16_t));
    std::memmove(&gFootnotes[s][t][to], &gFootnotes[s][t][from], count * sizeof(uint8_t));
  }
}

template <typename T>
void Permute(T* items, const std::vector<int16_t>& order) {
  T copy[kMaxAssignments];
  std::copy(items, items + order.size(), copy);
  for (size_t k = 0; k < order.size(); k++) items[k] = copy[order[k]];
}

void ApplyColumnOrder(int t, const std::vector<int16_t>& order) {
  Permute(gAssignments[t], order);
  Permute(gAssignDates[t], order);
  Permute(gNumScores[t], order);
  for (int s = 0; s < kMaxStudents; s++) {
    Permute(gScores[s][t], order);
    Permute(gFootnotes[s][t], order);
  }
}

int ColumnsInUse(int t) {
  for (int a = kMaxAssignments - 1; a >= 0; a--)
    if (!gAssignments[t][a].name.empty()) return a + 1;
  return 0;
}

template <typename Before>
void SortColumns(Before before) {
  const int t = CurrentTermIndex();
  std::vector<int16_t> order(ColumnsInUse(t));
  std::iota(order.begin(), order.end(), int16_t{0});
  std::stable_sort(order.begin(), order.end(), before);
  for (size_t k = 0; k < order.size(); k++) {
    if (order[k] != static_cast<int16_t>(k)) {
      ApplyColumnOrder(t, order);
      SetChanged(1);
      break;
    }
  }
  CountScores();
}

// ---- Keys --------------------------------------------------------------------------
// Text keys: an empty text goes after every other, the rest in the platform's order
// without regard to case or diacritical marks.
bool TextBefore(ConstStringPtr a, ConstStringPtr b) {
  if (a[0] == 0) return false;
  if (b[0] == 0) return true;
  return RelString(a, b, false, false) < 0;
}

bool NameBefore(int i, int j) {
  Str255 a, b;
  LastNameFirst(gStudents[i].name, a);
  LastNameFirst(gStudents[j].name, b);
  return TextBefore(a, b);
}

bool DateBefore(int t, int i, int j) {
  if (gAssignments[t][i].name.empty()) return false;
  if (gAssignments[t][j].name.empty()) return true;
  return gAssignDates[t][i] < gAssignDates[t][j];
}

bool CategoryBefore(int t, int i, int j) {
  return static_cast<int16_t>(gAssignments[t][i].category) <
         static_cast<int16_t>(gAssignments[t][j].category);
}


void ExchangeIfBefore(bool outOfOrder, int16_t i, int16_t j, bool& swapped, bool students) {
  if (!outOfOrder) return;
  if (students) ExchangeStudents(i, j);
  else ExchangeAssignments(i, j);
  swapped = true;
  SetChanged(1);
}

}  // namespace

void InsertStudent(int16_t s) {
  if (!ValidStudent(s)) return;
  MoveStudentRows(s, s + 1, kMaxStudents - 1 - s);
  ForEachSeat([s](uint16_t& seat) {
    if (!IsStudentIndex(seat) || seat < s) return;
    // The last row falls off the table; its seat must not point past it.
    seat = seat == kMaxStudents - 1 ? kNone : static_cast<uint16_t>(seat + 1);
  });
  NewStudent(s);
  std::fill_n(&gAttendanceTotals[s][0][0], kMaxTerms * kMaxCodes, 0);
}

void DeleteStudent(int16_t s) {
  if (!ValidStudent(s)) return;
  MoveStudentRows(s + 1, s, kMaxStudents - 1 - s);
  ForEachSeat([s](uint16_t& seat) {
    if (!IsStudentIndex(seat)) return;
    if (seat == s) seat = kNone;
    else if (seat > s) seat--;
  });
  NewStudent(kMaxStudents - 1);
  std::fill_n(&gAttendanceTotals[kMaxStudents - 1][0][0], kMaxTerms * kMaxCodes, 0);
}

void InsertAssignment(int16_t column) {
  if (!ValidColumn(column)) return;
  const int t = CurrentTermIndex();
  MoveColumns(t, column, column + 1, kMaxAssignments - 1 - column);
  ClearColumn(t, column);
}

void DeleteAssignment(int16_t column) {
  if (!ValidColumn(column)) return;
  const int t = CurrentTermIndex();
  MoveColumns(t, column + 1, column, kMaxAssignments - 1 - column);
  ClearColumn(t, kMaxAssignments - 1);
}

void SortByID() {
  SortStudents([](int16_t i, int16_t j) { return TextBefore(gStudents[i].id, gStudents[j].id); });
}

void SortByName() {
  std::vector<Str255> keys(NumStudents());
  for (size_t s = 0; s < keys.size(); s++) LastNameFirst(gStudents[s].name, keys[s]);
  SortStudents([&keys](int16_t i, int16_t j) { return TextBefore(keys[i], keys[j]); });
}

void SortByGrade() {
  const int16_t t = static_cast<int16_t>(CurrentTermIndex());
  std::vector<int16_t> keys(NumStudents());
  for (size_t s = 0; s < keys.size(); s++) keys[s] = TermPercent(t, static_cast<int16_t>(s));
  SortStudents([&keys](int16_t i, int16_t j) { return keys[i] > keys[j]; });
}

void SortByDate() {
  const int t = CurrentTermIndex();
  SortColumns([t](int16_t i, int16_t j) { return DateBefore(t, i, j); });
}

void SortByAssign() {
  const int t = CurrentTermIndex();
  SortColumns([t](int16_t i, int16_t j) {
    return TextBefore(gAssignments[t][i].name, gAssignments[t][j].name);
  });
}

void SortByCategory() {
  const int t = CurrentTermIndex();
  SortColumns([t](int16_t i, int16_t j) { return CategoryBefore(t, i, j); });
}

void SwapIDs(int16_t i, int16_t j, bool& swapped) {
  if (!ValidStudent(i) || !ValidStudent(j)) return;
  ExchangeIfBefore(TextBefore(gStudents[j].id, gStudents[i].id), i, j, swapped, true);
}

void SwapStuNames(int16_t i, int16_t j, bool& swapped) {
  if (!ValidStudent(i) || !ValidStudent(j)) return;
  ExchangeIfBefore(NameBefore(j, i), i, j, swapped, true);
}

void SwapGrades(int16_t i, int16_t j, bool& swapped) {
  if (!ValidStudent(i) || !ValidStudent(j)) return;
  const int16_t t = static_cast<int16_t>(CurrentTermIndex());
  ExchangeIfBefore(TermPercent(t, j) > TermPercent(t, i), i, j, swapped, true);
}

void SwapDates(int16_t i, int16_t j, bool& swapped) {
  if (!ValidColumn(i) || !ValidColumn(j)) return;
  ExchangeIfBefore(DateBefore(CurrentTermIndex(), j, i), i, j, swapped, false);
}

void SwapAssNames(int16_t i, int16_t j, bool& swapped) {
  if (!ValidColumn(i) || !ValidColumn(j)) return;
  const int t = CurrentTermIndex();
  ExchangeIfBefore(TextBefore(gAssignments[t][j].name, gAssignments[t][i].name), i, j, swapped,
                   false);
}

void SwapCategories(int16_t i, int16_t j, bool& swapped) {
  if (!ValidColumn(i) || !ValidColumn(j)) return;
  ExchangeIfBefore(CategoryBefore(CurrentTermIndex(), j, i), i, j, swapped, false);
}

void ExchangeStudents(int16_t i, int16_t j) {
  if (!ValidStudent(i) || !ValidStudent(j) || i == j) return;
  StudentRow spare;
  SaveStudentRow(i, spare);
  MoveStudentRows(j, i, 1);
  LoadStudentRow(spare, j);
  ForEachSeat([i, j](uint16_t& seat) {
    if (seat == static_cast<uint16_t>(i)) seat = static_cast<uint16_t>(j);
    else if (seat == static_cast<uint16_t>(j)) seat = static_cast<uint16_t>(i);
  });
}

void ExchangeAssignments(int16_t i, int16_t j) {
  if (!ValidColumn(i) || !ValidColumn(j) || i == j) return;
  const int t = CurrentTermIndex();
  std::swap(gAssignments[t][i], gAssignments[t][j]);
  std::swap(gAssignDates[t][i], gAssignDates[t][j]);
  std::swap(gNumScores[t][i], gNumScores[t][j]);
  for (int s = 0; s < kMaxStudents; s++) {
    std::swap(gScores[s][t][i], gScores[s][t][j]);
    std::swap(gFootnotes[s][t][i], gFootnotes[s][t][j]);
  }
}

void LastNameFirst(ConstStringPtr name, Str255& out) {
  const int n = name[0];
  const unsigned char* text = name + 1;
  int blank = -1;
  bool comma = false;
  for (int i = 0; i < n; i++) {
    if (text[i] == ' ') blank = i;
    if (text[i] == ',') comma = true;
  }
  if (n == 0 || comma || blank < 0) {
    out.set(name);
    return;
  }
  unsigned char buffer[300];
  int length = 0;
  for (int i = blank + 1; i < n; i++) buffer[length++] = text[i];
  buffer[length++] = ',';
  buffer[length++] = ' ';
  for (int i = 0; i < blank; i++) buffer[length++] = text[i];
  out.setBytes(buffer, std::min(length, 31));
}

void GetLastName(ConstStringPtr name, Str255& out) {
  Str255 whole;
  LastNameFirst(name, whole);
  int length = 0;
  while (length < whole.length() && whole.text()[length] != ',') length++;
  out.setBytes(whole.text(), length);
}

void GetFirstName(ConstStringPtr name, Str255& out) {
  Str255 whole;
  LastNameFirst(name, whole);
  const unsigned char* comma =
      static_cast<const unsigned char*>(std::memchr(whole.text(), ',', whole.length()));
  if (comma) {
    const unsigned char* end = whole.text() + whole.length();
    const unsigned char* first = comma + 1;
    while (first < end && *first == ' ') first++;
    if (first < end) {
      out.setBytes(first, end - first);
      return;
    }
  }
  out = whole;
}

void CountScores() {
  const int n = NumStudents();
  const uint16_t current = gCurrentTerm;
  for (int t = 0; t <= LastTermIndex(); t++) {
    uint16_t counts[kMaxAssignments] = {};
    for (int s = 0; s < n; s++) {
      for (int a = 0; a < kMaxAssignments; a++) {
        if (gScores[s][t][a] != kBlank) counts[a]++;
      }
    }
    for (int a = 0; a < kMaxAssignments; a++) {
      if (!gAssignments[t][a].name.empty()) gNumScores[t][a] = counts[a];
    }
    gCurrentTerm = static_cast<uint16_t>(t);
    FlushAll();
  }
  gCurrentTerm = current;
}

void ScaleScores(int16_t term, int16_t column, uint16_t oldPoints, uint16_t newPoints) {
  if (term < 0 || term >= kMaxTerms || !ValidColumn(column) || oldPoints == 0) return;
  for (int s = 0; s < kMaxStudents; s++) {
    int16_t& score = gScores[s][term][column];
    if (score <= 0) continue;
    const uint64_t scaled =
        (static_cast<uint64_t>(score) * 2 * newPoints / oldPoints + 1) / 2;
    // A score beyond the 16-bit range would read back as a negative code.
    score = static_cast<int16_t>(std::min<uint64_t>(scaled, 32767));
  }
}

void SaveStudentRow(int16_t s, StudentRow& row) {
  row.record = gStudents[s];
  std::memcpy(row.scores, gScores[s], sizeof row.scores);
  std::memcpy(row.footnotes, gFootnotes[s], sizeof row.footnotes);
  std::memcpy(row.attendance, gAttendance[s], sizeof row.attendance);
  std::memcpy(row.totals, gAttendanceTotals[s], sizeof row.totals);
  std::memcpy(row.comments, gComments[s], sizeof row.comments);
  row.email = gEmailAddresses[s];
}

void LoadStudentRow(const StudentRow& row, int16_t s) {
  gStudents[s] = row.record;
  std::memcpy(gScores[s], row.scores, sizeof row.scores);
  std::memcpy(gFootnotes[s], row.footnotes, sizeof row.footnotes);
  std::memcpy(gAttendance[s], row.attendance, sizeof row.attendance);
  std::memcpy(gAttendanceTotals[s], row.totals, sizeof row.totals);
  std::memcpy(gComments[s], row.comments, sizeof row.comments);
  gEmailAddresses[s] = row.email;
}
