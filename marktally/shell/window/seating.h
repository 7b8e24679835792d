// The seating chart's bookkeeping: the refill of the whole chart (in list order, shuffled
// or alphabetical), the seats that follow their students (a new or pasted student takes
// the first empty seat, seats of students that are gone are emptied).
#pragma once

#include <cstdint>

// Seat codes besides a student's index.
constexpr uint16_t kEmptySeat = 0xFFFF;
constexpr uint16_t kUnavailableSeat = 0xFFFE;  // no seat, drawn gray
constexpr uint16_t kHiddenSeat = 0xFFFD;       // no seat, not drawn

// Fill state, set by the seat dialog.
extern uint8_t gAssignSeats;        // refill the chart
extern uint8_t gAssignSeatsAlpha;   // in alphabetical order of last names
extern uint8_t gAssignSeatsRandom;  // in random order
extern uint16_t gSeats[250];        // the fill order; 0xFFFF first when it is empty
extern uint16_t gLastSeat;          // index of its last entry

// When gAssignSeats is set: empties every seat (with an undo snapshot) and fills the
// seats column by column from the left, each from the back row up, in the fill order.
void AssignSeats();
void RandomizeSeats();
void AlphabetizeSeats();
// The first empty seat from the back row forward, left to right, for a named student
// without one; nothing when the chart is full or the slot has no name.
void AssignToSeat(int16_t s);
// After the student list changed: seats past the list are emptied, then every named
// student without a seat gets one.
void UpdateSeating();
