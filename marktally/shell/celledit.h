// The state of the one in-cell editor. The openers, the savers and the keys that go
// to an open editor come with in-cell editing; until then no cell can be opened, and
// closing the editor finds none.
#pragma once

#include <cstdint>

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
