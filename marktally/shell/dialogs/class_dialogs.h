// The modal dialogs that edit class data besides scores and options: the footnote
// texts, the report header and footer of a term, each student's report comment, the
// curve of one assignment, the size of the seating chart with the seat assignment, and
// the report options; and the menu commands that open them. Each dialog validates on
// OK and stores only what passed; Cancel leaves the class as it was.
#pragma once

#include <cstdint>

#include "marktally/toolbox/dialogs.h"

// The student shown in the comments dialog, as its pop-up item (slot + 1).
extern int16_t gStudentPopUpItem;

// Footnotes: eight texts of at most 21 bytes each.
constexpr int kFootnoteLength = 21;
// A comment, header or footer holds at most this many bytes.
constexpr int kMaxCommentLength = 254;

void DoFootnotesDialog();
void SetFootnotesItems();
void GetFootnotesItems();
// Keys and pastes that would take a footnote field past 21 bytes are refused with a
// beep, so that what the teacher sees is what is stored.
bool FootnotesFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);

void DoGlobalCommentsDialog();
void SetGlobalCommentsItems();
bool ValidGlobalComments();
void GetGlobalCommentsItems();

// The command takes the undo snapshot of every comment before it opens the dialog.
void DoCommentsDialog(int16_t student);
void SetCommentsItems(int16_t student);
bool ValidStudentComments();
// Stores the text shown into the shown student's comment (and the later terms when the
// copy box is on).
void GetCommentsItems();
// The pop-up chose another student: store, then show that student.
void UpdateCommentsItems();
// A per-student report view scrolls to the student shown in the comments dialog.
void ScrollStudentReport();

// The curve: old and new high, low and average, in tenths of a point.
struct CurveFigures {
  int32_t oldHigh = 0;
  int32_t oldLow = 0;
  int32_t oldAverage = 0;
  int32_t newHigh = 0;
  int32_t newLow = 0;
  int32_t newAverage = 0;
};
// The assignment to curve: the one whose page is in sight in the assignment report,
// else the selected column (kNone, 0xFFFF, for none).
uint16_t CurveColumn();
// The old figures of a column of the current term over the named students' numeric
// scores, and the proposed new ones (100 %, 60 % and 80 % of the points possible).
CurveFigures ColumnCurveFigures(int16_t column);
// One score curved; blank and special scores (below 0) come back unchanged. A score
// equal to the old average becomes the new average; the result stays in 0..32767.
int16_t CurveScore(int16_t score, const CurveFigures& figures, bool roundToPoints);
void DoCurveDialog();
void SetCurveItems();
bool ValidCurve();
void GetCurveItems();

void DoAssignSeatsDialog();
void SetSeatingItems();
bool ValidSeating();
void GetSeatingItems();
// Radios 9 and 10 follow box 8.
void AdjustAssignSeats();
// A smaller chart without a new seating: places outside the new size are cleared and
// the students who sat there take the first empty seats inside.
void ResizeSeatingChart(int rows, int columns);

void DoReportsDialog();
void SetReportsItems();
void GetReportsItems();
// The option bit of check box 7..18 of the report options dialog (0 for other items).
uint16_t ReportOptionBit(DialogItemIndex item);

// The Edit menu's Student Comments and Curve Assignment commands.
void DoCommentsCmd();
void DoCurveAssignCmd();
// The student a per-student command works on: the one whose report page is in sight in
// views 7 to 9, else the selected student when it is named, else the first.
int16_t StudentInSight();
