// What the teacher does on the seating chart: the view command, clicks and drags on
// seats, the scroll bars and wheel by seat rows and columns, and the two pop-ups of a
// seat (today's attendance of its student; showing, hiding or closing an empty place).
#pragma once

#include <cstdint>

#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/events.h"

extern ControlActionUPP gSeatingVScrollProc;
extern ControlActionUPP gSeatingHScrollProc;

void DoShowSeatingChart();

// A click in the content of the window in view 2 (not on a scroll bar); p is local.
void HandleSeatingClick(const EventRecord& event, Point p);
void DoDragSeat(int16_t row, int16_t column);

void HandleSeatingScrolls(int16_t part, Point where, ControlRef control);
void SeatingVProc(ControlRef control, int16_t part);
void SeatingHProc(ControlRef control, int16_t part);
void HandleSeatingHWheel(int32_t delta);
void HandleSeatingVWheel(int32_t delta);

// where is global; row and column a place of the chart.
void PopUpCodes(Point where, int16_t row, int16_t column);
// False when today cannot take a mark (outside the term, not a school day).
bool AdjustCodesMenu(int16_t student);
void HandleCodesChoice(int16_t item, int16_t student);
void PopUpSeats(Point where, int16_t row, int16_t column);
void AdjustSeatsMenu(int16_t row, int16_t column);
void HandleSeatsChoice(int16_t item, int16_t row, int16_t column);
