#include "model_fixture.h"

#include "marktally/model/textutil.h"

uint32_t MacDate(int year, int month, int day, int hour, int minute, int second) {
  DateTimeRec d{};
  d.year = static_cast<int16_t>(year);
  d.month = static_cast<int16_t>(month);
  d.day = static_cast<int16_t>(day);
  d.hour = static_cast<int16_t>(hour);
  d.minute = static_cast<int16_t>(minute);
  d.second = static_cast<int16_t>(second);
  uint32_t s = 0;
  DateToSeconds(d, s);
  return s;
}

void ModelTest::SetUp() {
  region = RegionDateFormat{};
  SetRegionDateFormatForTesting(&region);
  SetTextWidthFunction([](const unsigned char*, int count) { return 6 * count; });
  SetAlertSink([this](const AlertRequest& a) {
    alerts.push_back(a);
    return int16_t{1};
  });
  SetDocumentChangedHook(nullptr);
  gRandSeed = 1;
  gClass.flags = 0;  // NewClass keeps 0x80 from the class before: no test inherits it
  NewClassAt(MacDate(2026, 10, 15));
}

void ModelTest::TearDown() {
  SetClockForTesting(0);
  SetRegionDateFormatForTesting(nullptr);
  SetTextWidthFunction(nullptr);
  SetAlertSink(nullptr);
}

void ModelTest::NewClassAt(uint32_t now) {
  SetClockForTesting(now);
  NewClass();
  SetDefaultPageSetup();
  gCurrentTerm = gClass.currentTerm;
  SetChanged(0);
}

int16_t ModelTest::AddStudent(const char* name, const char* id) {
  int16_t s = NumStudents();
  gStudents[s].name.setC(name);
  gStudents[s].id.setC(id);
  return s;
}

int16_t ModelTest::AddAssignment(const char* name, uint16_t category, uint16_t points) {
  int16_t a = 0;
  while (a < kMaxAssignments && !gAssignments[gCurrentTerm][a].name.empty()) a++;
  gAssignments[gCurrentTerm][a].name.setC(name);
  gAssignments[gCurrentTerm][a].category = category;
  gAssignments[gCurrentTerm][a].points = points;
  return a;
}

void ModelTest::SetScore(int16_t student, int16_t column, int16_t score) {
  int16_t before = gScores[student][gCurrentTerm][column];
  gScores[student][gCurrentTerm][column] = score;
  if (before == kBlank && score != kBlank) gNumScores[gCurrentTerm][column]++;
  if (before != kBlank && score == kBlank) gNumScores[gCurrentTerm][column]--;
}
