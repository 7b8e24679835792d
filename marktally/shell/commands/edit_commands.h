// The Edit menu's commands on whole students and assignments (cut, copy, paste,
// delete), the drags that move or copy them, and the fills of a score or attendance
// mark down a column or across a row. With a cell editor open, cut, copy, paste and
// delete work on its text instead.
#pragma once

#include <cstdint>

extern uint8_t gCanPasteStudent;
extern uint8_t gCanPasteAssignment;

void DoCutCmd();
void DoCopyCmd();
void DoPasteCmd();
void DoDeleteCmd();
void DoFillDownCmd();
void DoFillAcrossCmd();
void DoFillDownAttendCmd();
void DoFillAcrossAttendCmd();

void ClipStudent(int16_t s);
void ClipAssignment(int16_t a);
bool OkToPasteStudent();
bool OkToPasteAssignment();
void PasteStudent(int16_t s);
void PasteAssignment(int16_t a);
void CheckStudent(int16_t s);
void CheckAssignment(int16_t a);

void MoveStudent(int16_t from, int16_t to);
void CopyStudent(int16_t from, int16_t to);
bool OkToCopyStudent();
void MoveAssignment(int16_t from, int16_t to);
void CopyAssignment(int16_t from, int16_t to);
bool OkToCopyAssignment(int16_t a);

// Swaps two places of the seating chart when the target is a seat (not hidden or
// unavailable); no undo.
void MoveSeat(int16_t fromRow, int16_t fromColumn, int16_t toRow, int16_t toColumn);
// The assignment to curve (CurveColumn) has at least two different numeric scores;
// otherwise its stop alert has spoken.
bool CanCurveAssign();
