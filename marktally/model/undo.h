// One level of undo and redo: a snapshot of what a command is about to change, swapped
// back and forth with the live tables.
#pragma once

#include "types.h"

enum UndoAction : uint16_t {
  kUndoNothing = 0,
  kUndoStudentEdit = 1,
  kUndoAssignmentEdit = 2,
  kUndoOptions = 3,
  kUndoClassHeader = 4,
  kUndoStudentCut = 5,
  kUndoStudentCopy = 6,
  kUndoStudentMove = 7,
  kUndoStudentPaste = 8,
  kUndoStudentDelete = 9,
  kUndoAssignmentCut = 10,
  kUndoAssignmentCopy = 11,
  kUndoAssignmentMove = 12,
  kUndoAssignmentPaste = 13,
  kUndoAssignmentDelete = 14,
  kUndoFillDown = 15,
  kUndoFillAcross = 16,
  kUndoEmailData = 17,
  kUndoFootnotes = 18,
  kUndoGlobalComments = 19,
  kUndoStudentComments = 20,
  kUndoSeating = 21,
  kUndoCurve = 22,
  kUndoDayFill = 23,
};

extern uint16_t gUndoAction;
extern uint8_t gRedo;
extern uint16_t gUndoStudent;
extern uint16_t gUndoAssignment;
extern uint16_t gUndoDestination;
extern Str255 gUndoText[24];

void CantUndo();
void GetUndoText(Str255& text);
void DoUndoCmd();
void Undo();
void Redo();

void SetUndoStudent(uint16_t action, int16_t student);
void SetUndoAssignment(uint16_t action, int16_t column);
void SetUndoDrag(uint16_t action, int16_t index, int16_t destination);
void SetUndoOptions();
void SetUndoEditing();
void SetUndoEmailData();
void SetUndoEditFootnotes();
void SetUndoGlobalComments();
void SetUndoStudentComments();
void SetUndoAssignSeating();
void SetUndoDay(uint16_t action, int16_t day);
