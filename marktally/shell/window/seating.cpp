#include "marktally/shell/window/seating.h"

#include <algorithm>

#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/undo.h"

uint8_t gAssignSeats = 0;
uint8_t gAssignSeatsAlpha = 0;
uint8_t gAssignSeatsRandom = 0;
uint16_t gSeats[250] = {};
uint16_t gLastSeat = 0;

namespace {
int Rows() { return std::min<int>(gSeatingChart.rows, kMaxSeatRows); }
int Columns() { return std::min<int>(gSeatingChart.columns, kMaxSeatColumns); }
bool IsSeat(uint16_t code) { return code != kUnavailableSeat && code != kHiddenSeat; }
int SeatCount() { return gSeats[0] == kNone ? 0 : gLastSeat + 1; }
}  // namespace

void AssignSeats() {
  if (!gAssignSeats) return;
  SetUndoAssignSeating();
  for (auto& row : gSeatingChart.seats) {
    for (uint16_t& seat : row)
      if (IsSeat(seat)) seat = kEmptySeat;
  }
  // The named students up to the first empty slot; kNone at the head marks none.
  int n = 0;
  while (n < kMaxStudents && !gStudents[n].name.empty()) {
    gSeats[n] = static_cast<uint16_t>(n);
    n++;
  }
  gSeats[0] = n == 0 ? kNone : gSeats[0];
  gLastSeat = static_cast<uint16_t>(n == 0 ? 0 : n - 1);
  RandomizeSeats();
  AlphabetizeSeats();
  int next = 0;
  for (int c = 0; c < Columns() && next < n; c++) {
    for (int r = Rows() - 1; r >= 0 && next < n; r--) {
      uint16_t& seat = gSeatingChart.seats[r][c];
      if (IsSeat(seat)) seat = gSeats[next++];
    }
  }
}

void RandomizeSeats() {
  const int n = SeatCount();
  if (!gAssignSeatsRandom || n == 0) return;
  // The old generator's rule: a negative remainder is raised by n - 1.
  auto pick = [n]() {
    int i = Random() % n;
    return i < 0 ? i + n - 1 : i;
  };
  for (int k = 0; k < n; k++) {
    const int i = pick(), j = pick();
    std::swap(gSeats[i], gSeats[j]);
  }
}

void AlphabetizeSeats() {
  const int n = SeatCount();
  if (!gAssignSeatsAlpha || n < 2) return;
  auto key = [](uint16_t s) {
    Str255 name{};
    LastNameFirst(gStudents[s].name, name);
    return name;
  };
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int i = 0; i + 1 < n; i++) {
      if (RelString(key(gSeats[i]), key(gSeats[i + 1]), false, false) > 0) {
        std::swap(gSeats[i], gSeats[i + 1]);
        swapped = true;
      }
    }
  }
}

void AssignToSeat(int16_t s) {
  if (s < 0 || s >= kMaxStudents || gStudents[s].name.empty()) return;
  uint16_t row, column;
  FindSeat(s, row, column);
  if (row != kNone) return;  // a student never holds two seats
  for (int r = Rows() - 1; r >= 0; r--) {
    for (int c = 0; c < Columns(); c++) {
      if (gSeatingChart.seats[r][c] == kEmptySeat) {
        gSeatingChart.seats[r][c] = static_cast<uint16_t>(s);
        return;
      }
    }
  }
}

void UpdateSeating() {
  const int n = NumStudents();
  for (int r = 0; r < kMaxSeatRows; r++) {
    for (int c = 0; c < kMaxSeatColumns; c++) {
      uint16_t& seat = gSeatingChart.seats[r][c];
      if (seat < kMaxStudents && seat >= n) seat = kNone;
    }
  }
  for (int s = 0; s < n; s++) AssignToSeat(static_cast<int16_t>(s));
}
