// Grade computation: category, term, semester, exam and year percents, drop-lowest and
// letter grades. Term work is done on gCurrentTerm.
#pragma once

#include "types.h"

struct CatScore {
  uint16_t column;
  int16_t earned;    // tenths
  int16_t possible;  // tenths
  double key;
};

extern CatScore gCatScores[150];
extern uint16_t numDrops;
extern int16_t numAss;

int16_t ConvertSpecialScore(int16_t score, int16_t column);
// As above, with the points of the column in the given term (the exam of another term).
int16_t ConvertSpecialScoreInTerm(int16_t score, int16_t term, int16_t column);
void CategoryTotals(int16_t student, uint16_t category, int32_t& earned, int32_t& possible);
void DropWorstScores(int16_t student, uint16_t category, int32_t& earned, int32_t& possible);
int16_t CategoryPercent(int16_t student, int16_t category);
int16_t TotalPercent(int16_t student);
int16_t WeightedPercent(int16_t student);
void FlushOne(int16_t student);
void FlushAll();
// Every named student's grade of every term computed afresh (settings that reach past the
// current term changed).
void FlushAllTerms();
int16_t TermPercent(int16_t term, int16_t student);
int16_t SemesterPercent(int16_t semester, int16_t student);
int16_t FinalPercent(int16_t student);
int16_t ExamPercent(int16_t term, int16_t student);
int16_t LocateExam(int16_t term);
bool ExamContributes(int16_t term);
bool Dropped(int16_t student, uint16_t column);
void PercentToGrade(int16_t percent, Str255& text);
int CompareRatios(const void* a, const void* b);
