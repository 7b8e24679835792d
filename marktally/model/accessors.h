// Checked indexes into the class tables: the one place that decides what an index out of
// range means, for the model and the shell alike.
//
//   CurrentTermIndex()  the term shown and edited, gCurrentTerm cut to 0..5
//   LastTermIndex()     the class's last term, lastTerm cut to 0..5
//   ValidTerm(t)        t is a term slot, 0..5
//   ValidStudent(s)     s is a student slot, 0..249
//   ValidColumn(a)      a is an assignment column, 0..149
//   ColumnDay(column)   the day index (0..359) of an attendance column of the current
//                       term, or -1 when the column or its day is outside the tables
#pragma once

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
