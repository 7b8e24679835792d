// The selected row or column, its highlight, the partial redraws of one row, column
// or cell, and the blitted scrolls of the grid that redraw only the exposed band.
#pragma once

#include <cstdint>

#include "marktally/toolbox/qdtypes.h"

extern uint16_t gSelStudent;     // 0xFFFF none
extern uint16_t gSelAssignment;  // a grid column: assignment or attendance day
extern uint16_t gSelSeatRow;
extern uint16_t gSelSeatCol;
extern uint16_t gReportStudent;  // a report page to show when a report view is drawn
extern uint16_t gReportAssignment;

void SelectStudent(int16_t s);
void SelectAssignment(int16_t a);
void CancelSelection();
// The one routine that lays the highlights from state, at the end of every drawing path
// (full update, scroll band, partial redraws, the redraw behind an alert) and after
// every change of the selection or the editor's heads: the selected row or column and
// the open score or attendance editor's row and column heads in the grid, the selected
// seat and drop target in the seating chart. It lights what the state asks for and
// takes off what it no longer asks for; calling it twice changes nothing.
void UpdateSelection();
// Whether the edited cell's row and column heads are lit: asking twice is harmless.
void SetCellHeads(int16_t s, int16_t a, bool lit);
// Inverts a frame of the given thickness just inside r; twice puts it back.
void InvertFrame(Rect r, int16_t thickness = 1);
void OutlineStudent(int16_t s);
void OutlineAssignment(int16_t a);

void UpdateStudent(int16_t s);
void UpdateGrade(int16_t s);
void UpdateAllGrades();
void UpdateScore(int16_t s, int16_t a);
void UpdateAssignment(int16_t a);
void UpdateAssignmentScores(int16_t a);
void UpdateHeader();
void UpdateGradebookHeader();
void UpdateAssignmentInfo(int16_t a);
// Invalidates the whole window; the next update event redraws it.
void ForceUpdate();

void ShowStudent(int16_t s);
void ShowAssignment(int16_t a);
// n rows or columns; positive moves the picture down or right.
void ScrollStudents(int n);
void ScrollAssignments(int n);
