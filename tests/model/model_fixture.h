// Shared set-up for model tests: a fresh class under a fixed clock, the M/D/Y region,
// a fixed text metric and recorded alerts.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "marktally/model/platform.h"
#include "marktally/model/tables.h"

// Seconds since 1904 for a local date and time.
uint32_t MacDate(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Resets the class under the given clock.
  void NewClassAt(uint32_t now);
  // Appends a student at the end of the list; returns its slot.
  int16_t AddStudent(const char* name, const char* id = "");
  // Names the first free column of the current term; returns its index.
  int16_t AddAssignment(const char* name, uint16_t category = 1, uint16_t points = 100);
  // Stores a score of the current term in tenths or as a code.
  void SetScore(int16_t student, int16_t column, int16_t score);

  std::vector<AlertRequest> alerts;
  RegionDateFormat region;
};
