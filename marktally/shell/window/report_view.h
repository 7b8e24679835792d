// The report views of the window: the pages drawn one under another, their scrolling,
// the page under a click, the pop-ups of the per-student and per-assignment views, the
// view commands and the print commands.
#pragma once

#include <cstdint>

#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/events.h"

extern uint16_t gPrintStu;  // the page under the click that opened a pop-up
extern uint16_t gPrintAss;
extern ControlActionUPP gReportVScrollProc;
extern ControlActionUPP gReportHScrollProc;

void UpdateReport();
// The report page under a point of the content (local), by the drawing's own layout:
// (v + 2L x the scroll value) / page height.
int ReportPageAt(Point local);
void ScrollReport(int dh, int dv);
void HandleReportScrolls(int16_t part, Point where, ControlRef control);
void ReportVProc(ControlRef control, int16_t part);
void ReportHProc(ControlRef control, int16_t part);
void HandleReportHWheel(int32_t delta);
void HandleReportVWheel(int32_t delta);
// A click in the content of a report view: the view's pop-up, if it has one.
void HandleReportClick(const EventRecord& event, Point local);

void PopUpStudents(Point where, int page);
void PopUpMissing(Point where, int page);
void PopUpAssignments(Point where, int page);
// The multiple-class report's pop-up: print the student under the click, or jump to one.
void PopUpMultiple(Point where, int page);
void AdjustMultipleMenu();
void HandleMultipleChoice(int16_t item);
void AdjustStudentsMenu();
void AdjustMissingMenu();
void AdjustAssignmentsMenu();
void HandleStudentsChoice(int16_t item);
void HandleMissingChoice(int16_t item);
void HandleAssignmentsChoice(int16_t item);

void DoShowClassGrades();
void DoShowClassSummary();
void DoShowAttendanceTotals();
void DoShowAttendanceSummary();
void DoShowStudentScores();
void DoShowStudentSummary();
void DoShowStudentAttendance();
void DoShowAssignmentScores();
void DoShowMissingAssignments();

void DoPageSetupCmd();
void DoPrintCmd();
void DoPrintThisStudent();
void DoPrintThisAssignment();
