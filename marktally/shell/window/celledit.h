// The one in-cell editor: a text-edit record placed over one cell of the grid or the
// header, its openers (one per kind of cell), the length limits and type-ahead of the
// keys that go to it, and the savers that validate, store, redraw and move on.
#pragma once

#include <cstdint>

#include "marktally/model/types.h"
#include "marktally/toolbox/qdtypes.h"

struct TERec;

// EditKind, in gEditKind.
enum EditKind : uint16_t {
  kEditID = 0,
  kEditName = 1,
  kEditAssignmentName = 2,
  kEditCategory = 3,
  kEditPoints = 4,
  kEditDate = 5,
  kEditGrade = 6,
  kEditScore = 7,
  kEditAttendance = 8,
  kEditSchool = 9,
  kEditSubject = 10,
  kEditTeacher = 11,
};

// EditMove, the code handed to CloseEdit.
enum EditMove : int16_t {
  kEditCancel = 0,
  kEditCommit = 1,
  kEditDown = 2,
  kEditUp = 3,
  kEditPrevious = 4,
  kEditNext = 5,
  kEditCommitHeader = 6,
};

extern TERec* gEditHandle;  // the open editor, null when none
extern uint16_t gEditKind;
extern uint16_t gEditStudent;     // 0xFFFF when not a row cell
extern uint16_t gEditAssignment;  // 0xFFFF when not a column cell
extern Rect gEditBox;
extern uint32_t gLastAssignDate;  // the due date a new assignment gets

// Commits or cancels the open editor; nothing without one. Callers test gEditHandle
// afterwards: still set means the text was refused.
void CloseEdit(int16_t move);
// The preamble of most commands: optionally cancel the selection, commit the editor,
// and answer whether the command may go on (no editor is left open).
bool CloseEditor(bool cancelSelection);

// Openers: each does nothing while an editor is open.
void EditID(int16_t s);
void EditStudent(int16_t s);
void EditGrade(int16_t s);
void EditScore(int16_t s, int16_t a);
void EditAttendance(int16_t s, int16_t column);
void EditAssignment(int16_t a);
void EditCategory(int16_t a);
void EditPoints(int16_t a);
void EditDate(int16_t a);
void EditSchool();
void EditSubject();
void EditTeacher();
void EditPrevScore();
void EditNextScore();

// Redraws the open editor after its cell was drawn, or follows a scroll of the grid.
void UpdateEdit();
void ScrollEdit();

// Length checks before a typed character or a paste reaches the editor; a refusal
// has shown its alert.
bool OKToType();
bool OKToPaste();
// Type-ahead after a printable character went to the editor.
void PredictCategory();
void PredictCode();
void PredictScore();
// The arrows of a due-date editor.
void NextDate();
void PrevDate();

// The first empty category slot (0..9) of the current term gets the name; the index,
// or -3 when none is free.
int16_t AddNewCategory(ConstStringPtr name);
void NoteExamConflicts();
