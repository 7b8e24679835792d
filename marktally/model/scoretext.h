// Score, point and percent texts: what the teacher types and what every view shows.
// Parsers answer through an out-parameter: a value, -1 (blank) or -3 (not valid).
// No parser answers a score or percent above 32767: it would read back as a code.
#pragma once

#include "types.h"

int32_t StringToValue(ConstStringPtr text);
void StringToScore(ConstStringPtr text, int16_t limit, uint16_t& score);
void PercentToScore(ConstStringPtr text, int16_t column, uint16_t& score);
void NegativeToScore(ConstStringPtr text, int16_t column, uint16_t& score);
void GradeToScore(ConstStringPtr text, int16_t column, uint16_t& score);
void RatioToScore(ConstStringPtr text, int16_t column, uint16_t& score);
void StringToPoints(ConstStringPtr text, uint16_t limit, uint16_t& points);
void StringToPercent(ConstStringPtr text, int16_t limit, uint16_t& percent);

void WhichScore(ConstStringPtr name, int16_t& index);
void WhichCategory(ConstStringPtr name, int16_t& index);
void WhichCode(ConstStringPtr name, int16_t& index);

void ScoreToString(int16_t score, Str255& text);
void ValueToString(int32_t value, Str255& text);
void DecimalToString(int32_t value, Str255& text);
void PercentToString(int16_t percent, Str255& text);

// The percent (tenths) a letter grade is worth: the middle of its cutoff band, or 100 %
// and above for the highest letter in use; -1 when the letter has no name or no cutoff.
int32_t LetterGradePercent(int16_t letter);
