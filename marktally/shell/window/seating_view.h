// The seating chart view: the class header and a grid of seats, each a box with the
// student's first and last name; its geometry, full and partial redraws, the selected
// seat and the drop target of a seat drag, and the scrolls by seat rows and columns.
// Everything draws into the current port at the window's zoom, shifted by gMargin.
#pragma once

#include <cstdint>

#include "marktally/toolbox/qdtypes.h"

// The top of seat row r and the left of seat column c with r0 and c0 the first visible
// ones (without the margin).
int RowOffset(int r0, int r);
int ColumnOffset(int c0, int c);

// The window's update of the view, and the header band alone.
void UpdateSeatingChart();
void UpdateSeatingChartHeader();
void DrawSeatingChartHeader();
void DrawSeatingChart(int16_t r0, int16_t r1, int16_t c0, int16_t c1);
void DrawOneSeat(int16_t r0, int16_t c0, int16_t r, int16_t c);
// The seat's box at the current scroll position; (-2, -2, -1, -1) above or left of it.
void SeatBox(int16_t r, int16_t c, Rect* box);

// The selected seat and the drop target are state: setting either redraws the seats
// concerned, and every drawing path of the view ends with UpdateSeatDecorations, which
// draws the decorated seats afresh with their marks (so drawing twice changes nothing).
void SelectSeat(int16_t r, int16_t c);
void HiliteSeat(int16_t r, int16_t c);
// The drop target of a seat drag; (-1, -1) for none. Places that are not seats take none.
void OutlineSeat(int16_t r, int16_t c);
void UpdateSeatDecorations();

void ShowSeat(int16_t r, int16_t c);
// n seat rows or columns; positive moves the picture down or right.
void ScrollRows(int n);
void ScrollColumns(int n);
void UpdateRows(int16_t r0, int16_t r1);
void UpdateColumns(int16_t c0, int16_t c1);
