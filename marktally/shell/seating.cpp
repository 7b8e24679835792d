#include "marktally/shell/seating.h"

#include <algorithm>

#include "marktally/model/tables.h"

namespace {
int Rows() { return std::min<int>(gSeatingChart.rows, kMaxSeatRows); }
int Columns() { return std::min<int>(gSeatingChart.columns, kMaxSeatColumns); }
}  // namespace

void AssignToSeat(int16_t s) {
  if (s < 0 || s >= kMaxStudents || gStudents[s].name.empty()) return;
  uint16_t row, column;
  FindSeat(s, row, column);
  if (row != kNone) return;  // a student never holds two seats
  for (int r = Rows() - 1; r >= 0; r--) {
    for (int c = 0; c < Columns(); c++) {
      if (gSeatingChart.seats[r][c] == kNone) {
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
