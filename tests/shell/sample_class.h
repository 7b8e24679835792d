// A class with known contents for the window's tests, the benchmark and the smoke
// test's document: names, IDs, assignments, scores of every kind, footnotes and
// attendance, the same on every run.
#pragma once

#include <cstdint>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/operations.h"
#include "marktally/model/tables.h"

namespace sample {

inline uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// Students, assignments of the current term and their scores, over a class that
// NewClass has just set up.
inline void FillClass(int students, int assignments) {
  static const char* const kFirst[] = {"Ana", "Ben", "Chloe", "Dev", "Elena", "Farid",
                                       "Grace", "Hugo", "Ines", "Jonas", "Kira", "Liam"};
  static const char* const kLast[] = {"Abbott", "Brooks", "Castillo", "Dubois", "Eriksen",
                                      "Fontaine", "Garcia", "Haddad", "Ivanova", "Jensen",
                                      "Kowalski", "Lindqvist", "Moreau", "Nakamura"};
  static const char* const kWork[] = {"Quiz", "Lab Report", "Worksheet", "Unit Test", "Essay"};
  gClass.school.setC("Hillcrest High School");
  gClass.subject.setC("Biology");
  gClass.teacher.setC("M. Roy");
  const int t = gCurrentTerm;
  for (int s = 0; s < students && s < kMaxStudents; s++) {
    std::string name = std::string(kLast[(s * 5) % 14]) + ", " + kFirst[(s * 7) % 12];
    gStudents[s].name.setC(name.c_str());
    gStudents[s].id.setC(("S" + std::to_string(1001 + s)).c_str());
  }
  for (int a = 0; a < assignments && a < kMaxAssignments; a++) {
    AssignmentRecord& rec = gAssignments[t][a];
    rec.name.setC((std::string(kWork[a % 5]) + " " + std::to_string(a / 5 + 1)).c_str());
    rec.category = static_cast<uint16_t>(a % 5 == 3 ? 0 : 1);
    rec.points = static_cast<uint16_t>(a % 5 == 3 ? 50 : 10 + 5 * (a % 3));
    gAssignDates[t][a] = gTermDates[t].start + 86400u * static_cast<uint32_t>(2 * a + 1);
    for (int s = 0; s < students && s < kMaxStudents; s++) {
      const uint32_t r = Mix(static_cast<uint32_t>(s * 1000 + a + 1));
      int16_t score;
      if (r % 23 == 0)
        score = kExcused;
      else if (r % 29 == 0)
        score = kBlank;
      else if (r % 31 == 0)
        score = kFirstSpecial + 1;  // "Abs"
      else
        score = static_cast<int16_t>(rec.points * 10 * (55 + r % 46) / 100);
      gScores[s][t][a] = score;
      gFootnotes[s][t][a] = r % 17 == 0 ? 0 : r % 19 == 0 ? 1 : kNoMark;
    }
  }
  gFootnoteText[1].setC("Redo");
  for (int s = 0; s < students && s < kMaxStudents; s++) {
    for (int d = 0; d < kMaxDays; d++) {
      const uint32_t r = Mix(static_cast<uint32_t>(s * 7919 + d));
      gAttendance[s][d] = r % 13 == 0 ? 0 : r % 17 == 0 ? 2 : kNoMark;
    }
  }
  CountScores();
  UpdateAttendance();
}

}  // namespace sample
