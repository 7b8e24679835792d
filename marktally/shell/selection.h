// The selected row or column, its highlight, the partial redraws of one row, column
// or cell, and the blitted scrolls of the grid that redraw only the exposed band.
#pragma once

#include <cstdint>

extern uint16_t gSelStudent;     // 0xFFFF none
extern uint16_t gSelAssignment;  // a grid column: assignment or attendance day
extern uint16_t gSelSeatRow;
extern uint16_t gSelSeatCol;
extern uint16_t gReportStudent;  // a report page to show when a report view is drawn
extern uint16_t gReportAssignment;

void SelectStudent(int16_t s);
void SelectAssignment(int16_t a);
void CancelSelection();
void UpdateSelection();
void HiliteStudent(int16_t s);
void HiliteAssignment(int16_t a);
void HiliteCell(int16_t s, int16_t a);
// The row and column heads of the edited cell, lit or not: from the state they are
// known to show, so asking twice is harmless. ForgetCellHeads: the window was just
// erased under them (a full redraw).
void SetCellHeads(int16_t s, int16_t a, bool lit);
void ForgetCellHeads();
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
