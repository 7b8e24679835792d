// The seats that follow their students: a new or pasted student takes the first empty
// seat, and seats of students that are gone are emptied.
#pragma once

#include <cstdint>

// The first empty seat from the back row forward, left to right, for a named student
// without one; nothing when the chart is full or the slot has no name.
void AssignToSeat(int16_t s);
// After the student list changed: seats past the list are emptied, then every named
// student without a seat gets one.
void UpdateSeating();
