// The gradebook and attendance grids: their geometry, the full redraw on update
// events, and the rotated column titles. Everything draws into the current port at
// the window's zoom, shifted by gMargin (0 on screen).
#pragma once

#include <cstdint>

#include "marktally/toolbox/quickdraw.h"

// The rotation worlds of the column titles, made by SetupRotation at the zoom.
extern GWorldPtr gHWorld;
extern GWorldPtr gVWorld;
extern Rect gHBox;
extern Rect gVBox;

void SetupRotation();
void CleanupRotation();
// Turns the source image a quarter turn counter-clockwise into the destination.
void RotateGWorld(GWorldPtr source, GWorldPtr destination);

// The grid columns of the view shown; also resets both scroll maxima.
void SetColumns();
int MaxWidth();
int MaxHeight();

// The bottom edge of row s and the right edge of column a, with r0 and c0 the first
// visible row and column (without the margin).
int StudentOffset(int r0, int s);
int AssignmentOffset(int c0, int a);

// Cell rectangles at the current scroll position; a row above the first visible one
// or a column left of the first visible one gives (-2, -2, -1, -1).
void StudentBox(int16_t s, Rect* r);
void IDBox(int16_t s, Rect* r);
void GradeBox(int16_t s, Rect* r);
void ScoreBox(int16_t s, int16_t a, Rect* r);
void TitleBox(int16_t a, Rect* r);
void LabelBox(int16_t a, Rect* r);
void DateBox(Rect* r);
void AssignmentBox(Rect* r);
void CategoryBox(Rect* r);
void PointsBox(Rect* r);
void SchoolBox(Rect* r);
void SubjectBox(Rect* r);
void TeacherBox(Rect* r);

// The window's update, by view.
void UpdateWindow();
void UpdateGradebook();

void DrawGradebookHeader();
void DrawGradebook(int16_t r0, int16_t r1, int16_t c0, int16_t c1);
// The grid's rows s0..s1 and columns a0..a1 as the full drawing with first visible
// row r0 and column c0 would draw them: the exposed band of a scroll. Without header
// the column titles and heads are left out (a band below the header).
void DrawGridBand(int16_t r0, int16_t s0, int16_t s1, int16_t c0, int16_t a0, int16_t a1,
                  bool header);
void DrawAssignment(int16_t c0, int16_t a);
void DrawAssignmentLabel(int16_t c0, int16_t a);
void DrawAssignmentInfo(int16_t a);
void DrawStudent(int16_t r0, int16_t s);
void DrawStudentLabel(int16_t r0, int16_t s);
void DrawStudentID(int16_t r0, int16_t s);
void DrawStudentName(int16_t r0, int16_t s);
void DrawGrade(int16_t r0, int16_t s);
void DrawScore(int16_t r0, int16_t c0, int16_t s, int16_t a);
