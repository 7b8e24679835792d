// What every report page draws with: the page units of the zoom, texts placed by their
// baseline, right-aligned texts, rules, and the row label of a student.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "marktally/model/accessors.h"  // Term(), Named(), S16(): every page uses them
#include "marktally/model/types.h"

namespace reports {

// z, L = 12z/5 and M = 24z/5 of the page context's zoom (5 while printing).
int Z();
int Line();
int Margin();
// The page at this zoom, never below one line.
int PageH();
int PageW();

Str255 Text(const char* s);
Str255 Number(long n);
// The width of a template text in the current font.
int W(const char* s);
int W(ConstStringPtr s);

void DrawAt(int h, int v, ConstStringPtr text);
void DrawAt(int h, int v, const char* text);
void DrawRight(int right, int v, ConstStringPtr text);
// Centred on x.
void DrawCentred(int x, int v, ConstStringPtr text);
void Rule(int h0, int h1, int v);

void UseReportFont();
void UseHeaderFont();

// The ID (cut to 16z) at M and the name (cut to 30z) after it, as the class shows
// them; returns the x that follows the title columns.
int DrawName(int16_t student, int y);
int AfterTitleColumns();
bool ShowsIDs();
bool ShowsNames();

// The current term, always a valid index.
// The subject, with the term's name in parentheses for a class of several terms.
Str255 SubjectLine();
// Today as a long date.
Str255 Today();

// Which terms and which semester a report shows, for a class of terms 0..last seen at
// term current. With all terms, the terms of the current semester (a year of three terms
// or fewer, or four without a semester column, shows them all); else the current term.
// The semester and year columns appear where the class has them (four or six terms; more
// than one term).
struct ShownTerms {
  std::vector<int> terms;
  bool semester = false;        // a semester column
  bool secondSemester = false;  // the current term is past the first half of the year
  bool year = false;            // a year column
  int semesterFrom = 0;         // the terms of the current semester
  int semesterTo = 0;
};
ShownTerms TermsShown(int last, int current, bool allTerms, bool semester, bool year);

// A percent and its letter placed around x by the class's display flags: the percent
// ends at x + off, the letter starts at x + off + 8.
int PercentOffset();
void DrawGradePair(int16_t percent, int x, int y, bool useOffset = true);

}  // namespace reports
