// The mouse and the keyboard as far as the window itself goes: clicks by window part,
// the scroll bars with their live procedures, the wheel, grow and zoom, the command
// keys and the keys that page through the view, and the cursor.
#pragma once

#include <cstdint>

#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/events.h"

extern uint16_t gOldVPos;  // the scroll values when a thumb drag began
extern uint16_t gOldHPos;
extern ControlActionUPP gWindowVScrollProc;
extern ControlActionUPP gWindowHScrollProc;

void HandleMouseDown(const EventRecord& event);
void HandleContentClick(const EventRecord& event, WindowRef window);
void HandleKeyDown(const EventRecord& event);
void HandleGradebookScrolls(int16_t part, Point where, ControlRef control);
void WindowVProc(ControlRef control, int16_t part);
void WindowHProc(ControlRef control, int16_t part);
void HandleGridHWheel(int32_t delta);
void HandleGridVWheel(int32_t delta);
void HandleGrow(const EventRecord& event, WindowRef window);
void HandleZoom(const EventRecord& event, WindowRef window, int16_t part);
// In: the largest size; out: the ideal size of the view (h width, v height).
void GetZoomSize(Point* size);
void AdjustCursor();

// The Return and shift-Return shortcuts: a new student, a new assignment or today's
// attendance.
void AddNewStudent();
void HandleEnterKey();
void AddNewAssignment();
void TodaysAttendance();
// The drag loops of a row's drag strip and a column's title; option copies.
void DoDragStudent(int16_t row, bool copy);
void DoDragAssignment(int16_t column, bool copy);
