// Structural operations: rows and columns in and out, the sorts, name parts, score
// counts and rescaling. Every table keyed by a row or column moves with it.
#pragma once

#include "records.h"

// Everything keyed by one student slot except its seat: what moves, is copied and is
// held aside with a student. The attendance totals are derived, but travel too so that
// reports stay right until the next recount.
struct StudentRow {
  StudentRecord record;
  int16_t scores[kMaxTerms][kMaxAssignments];
  uint8_t footnotes[kMaxTerms][kMaxAssignments];
  uint8_t attendance[kMaxDays];
  uint16_t totals[kMaxTerms][kMaxCodes];
  Str255 comments[kMaxTerms];
  EmailAddressRecord email;
};
void SaveStudentRow(int16_t student, StudentRow& row);
void LoadStudentRow(const StudentRow& row, int16_t student);

void InsertStudent(int16_t student);
void DeleteStudent(int16_t student);
void InsertAssignment(int16_t column);
void DeleteAssignment(int16_t column);

void SortByID();
void SortByName();
void SortByGrade();
void SortByDate();
void SortByAssign();
void SortByCategory();

void SwapIDs(int16_t i, int16_t j, bool& swapped);
void SwapStuNames(int16_t i, int16_t j, bool& swapped);
void SwapGrades(int16_t i, int16_t j, bool& swapped);
void SwapDates(int16_t i, int16_t j, bool& swapped);
void SwapAssNames(int16_t i, int16_t j, bool& swapped);
void SwapCategories(int16_t i, int16_t j, bool& swapped);

// Exchanges every part of two student rows, seats included.
void ExchangeStudents(int16_t i, int16_t j);
// Exchanges two columns of the current term.
void ExchangeAssignments(int16_t i, int16_t j);

void LastNameFirst(ConstStringPtr name, Str255& out);
void GetFirstName(ConstStringPtr name, Str255& out);
void GetLastName(ConstStringPtr name, Str255& out);

void CountScores();
void ScaleScores(int16_t term, int16_t column, uint16_t oldPoints, uint16_t newPoints);
