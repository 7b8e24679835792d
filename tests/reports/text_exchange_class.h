// A small class with the texts that exchanges get wrong: accented names in Mac Roman, an
// ID and a name that need quoting, comments with a comma, quotes and a line break, two
// e-mail fields, scores in every form and attendance codes. The committed fixtures of
// earlier exports were written from this class, so it must stay as it is.
#pragma once

#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/tables.h"

struct ExchangeStudent {
  const char* id;
  const char* name;      // Mac Roman
  const char* comment;   // Mac Roman
  const char* recipients;
  const char* blindCopies;
  int16_t scores[3];
};

// Núñez, José; Müller, Jürgen; Ærø, Åse; Smith, "Jo"; Plain Pat.
inline const ExchangeStudent kExchangeStudents[] = {
    {"101", "N\x9C\x96" "ez, Jos\x8E", "Tr\x8F" "s bien, \"super\"", "jose@example.org",
     "parent@example.org", {95, 1000, 450}},
    {"102", "M\x9F" "ller, J\x9F" "rgen", "Line one\rline two", "jm@example.org", "",
     {kBlank, 880, 500}},
    {"103", "\xAE" "r\xBF, \x81se", "", "", "", {kExcused, kBlank, 0}},
    {"104,5", "Smith, \"Jo\"", "Says \"hi\"", "jo@example.org, mom@example.org",
     "dad@example.org", {100, 975, kAbsent}},
    {"105", "Plain Pat", "", "pat@example.org", "", {kFirstSpecial, 500, 499}},
};
constexpr int kExchangeStudentCount = 5;

struct ExchangeAssignment {
  const char* name;
  uint16_t category;
  uint16_t points;
  int day;  // of September 2026
};
inline const ExchangeAssignment kExchangeAssignments[] = {
    {"Quiz 1", 1, 10, 3}, {"Lab, \"wet\"", 3, 100, 10}, {"\xAE" "ther", 3, 50, 17}};

// Fills the open (new) class of the current term. `date` turns a day of September 2026
// into the program's seconds.
template <typename DateOf>
void FillExchangeClass(DateOf date) {
  const int t = gCurrentTerm;
  // Renamed, so that the scores of older documents ("exc", "abs") are no typed name.
  gSpecialScores[0].name.setC("Late");
  gSpecialScores[1].name.setC("Out");
  gCategories[t][3].name.setC("Labs, \"wet\"");
  for (int a = 0; a < 3; a++) {
    const ExchangeAssignment& x = kExchangeAssignments[a];
    gAssignments[t][a].name.setC(x.name);
    gAssignments[t][a].category = x.category;
    gAssignments[t][a].points = x.points;
    gAssignDates[t][a] = date(x.day);
  }
  for (int s = 0; s < kExchangeStudentCount; s++) {
    const ExchangeStudent& x = kExchangeStudents[s];
    gStudents[s].id.setC(x.id);
    gStudents[s].name.setC(x.name);
    gComments[s][t].setC(x.comment);
    gEmailAddresses[s].recipients.setC(x.recipients);
    gEmailAddresses[s].blindCopies.setC(x.blindCopies);
    for (int a = 0; a < 3; a++) {
      gScores[s][t][a] = x.scores[a];
      if (x.scores[a] != kBlank) gNumScores[t][a]++;
    }
  }
  gCodes[0].name.setC("Ab");
  gCodes[1].name.setC("Td");
  int first = 0, last = 0;
  const int64_t origin = gTermDates[0].start;
  first = static_cast<int>((static_cast<int64_t>(gTermDates[t].start) - origin) / 86400);
  last = static_cast<int>((static_cast<int64_t>(gTermDates[t].end) - origin) / 86400);
  if (last > kMaxDays - 1) last = kMaxDays - 1;
  gAttendance[0][first + 2] = 0;
  gAttendance[2][first + 5] = 1;
  gAttendance[2][last] = 0;
}
