// Checked indexes into the class tables: the one place that decides what an index out of
// range means, for the model, the reports and the shell alike.
//
//   CurrentTermIndex()  the term shown and edited, gCurrentTerm cut to 0..5
//   LastTermIndex()     the class's last term, lastTerm cut to 0..5
//   ValidTerm(t)        t is a term slot, 0..5
//   ValidStudent(s)     s is a student slot, 0..249
//   ValidColumn(a)      a is an assignment column, 0..149
//   ColumnDay(column)   the day index (0..359) of an attendance column of the current
//                       term, or -1 when the column or its day is outside the tables
//   Term(), Named(s)    the current term; slot s holds a student
//   S16(v), Slot(v)     the 16-bit clamp of toolbox calls; a stored slot, 0xFFFF none
#pragma once

#include <algorithm>
#include <cstdint>

#include "tables.h"

inline int CurrentTermIndex() {
  return gCurrentTerm < kMaxTerms ? gCurrentTerm : kMaxTerms - 1;
}

inline int LastTermIndex() {
  if (gClass.lastTerm < 0) return 0;
  return gClass.lastTerm < kMaxTerms ? gClass.lastTerm : kMaxTerms - 1;
}

inline bool ValidTerm(int t) { return t >= 0 && t < kMaxTerms; }
inline bool ValidStudent(int s) { return s >= 0 && s < kMaxStudents; }
inline bool ValidColumn(int a) { return a >= 0 && a < kMaxAssignments; }

inline int ColumnDay(int column) {
  constexpr int kColumns = sizeof gColumnToDay / sizeof gColumnToDay[0];
  if (column < 0 || column >= kColumns) return -1;
  const int day = gColumnToDay[column];
  return day >= 0 && day < kMaxDays ? day : -1;
}

// A coordinate, count or item number for a 16-bit toolbox call: values outside the
// 16-bit range are clamped to its ends, never wrapped.
inline int16_t S16(long v) { return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767)); }

// A stored 16-bit slot (a selected or edited student or column): 0xFFFF, none, reads -1.
inline int16_t Slot(uint16_t v) { return v == 0xFFFF ? int16_t{-1} : S16(v); }

// The term shown and edited, cut to the tables.
inline int Term() { return CurrentTermIndex(); }

// Student slot s holds a student: the rows are packed from the top, so the first unnamed
// slot ends the class.
inline bool Named(int s) { return ValidStudent(s) && !gStudents[s].name.empty(); }
