// TextEdit: the text record behind the cell editor and the edit-text items of dialogs,
// drawn with our QuickDraw into the port that was current when it was made.
//
// A record holds Mac Roman text, a selection (selStart..selEnd, byte offsets; equal
// for a caret), a destination rectangle where lines are laid out and a view rectangle
// that clips the drawing. Lines wrap at blanks to the destination's width; with
// crOnly < 0 the text stays on one line and the view scrolls sideways to keep the
// caret in sight. A password record (mask set) draws and measures one mask character
// per byte and keeps the clear text.
//
// Active records show their selection in the highlight colour and, for an empty
// selection, a caret that `TEIdle` blinks every caret time. `TEKey` takes printable
// characters, the arrows, backspace (8), forward delete (127), home and end; Return
// inserts a carriage return only in records that wrap.
//
// Scrap: one private TextEdit scrap for all records. `TECut` and `TECopy` put the
// selection there, `TEPaste` replaces the selection with it; `TEFromScrap` and
// `TEToScrap` move it from and to the desktop clipboard.
#pragma once

#include <string>
#include <vector>

#include "marktally/toolbox/quickdraw.h"

enum : int16_t { teFlushDefault = 0, teCenter = 1, teFlushRight = -1, teFlushLeft = -2 };

struct TERec {
  Rect destRect;
  Rect viewRect;
  std::string text;  // Mac Roman
  int16_t selStart = 0;
  int16_t selEnd = 0;
  int16_t just = teFlushLeft;
  int16_t crOnly = 0;      // < 0: one line, no wrapping
  unsigned char mask = 0;  // shown for every byte when not 0
  RGBColor textColor{0, 0, 0};
  int16_t txFont;
  int16_t txSize;
  Style txFace;
  int16_t lineHeight;
  int16_t fontAscent;
  GrafPtr inPort;
  bool active = false;
  bool autoView = true;
  // Layout and scrolling, kept by the toolbox.
  std::vector<int> lineStarts;  // byte offset of each line; one more entry: the end
  int scrollH = 0;              // how far the text is scrolled left / up in the view
  int scrollV = 0;
  bool caretShown = false;
  uint32_t caretNext = 0;
  int16_t anchor = 0;  // the fixed end of a shift-click or drag
};
using TEHandle = TERec*;
using TEPtr = TERec*;

// Made in the current port with its font; the text starts empty and inactive.
TEHandle TENew(const Rect* destRect, const Rect* viewRect);
void TEDispose(TEHandle te);

void TESetText(const void* text, int32_t length, TEHandle te);
// The text (Mac Roman bytes), as the record holds it.
const std::string& TEGetText(TEHandle te);
int16_t TEGetLength(TEHandle te);
void TESetSelect(int32_t selStart, int32_t selEnd, TEHandle te);
void TESetAlignment(int16_t just, TEHandle te);
void TEAutoView(bool autoView, TEHandle te);
// Lays the lines out again after the rectangles, the font or crOnly changed.
void TECalText(TEHandle te);

void TEActivate(TEHandle te);
void TEDeactivate(TEHandle te);
// Blinks the caret of an active record when its time has come.
void TEIdle(TEHandle te);
// A click at a local point: places the caret, or with extend stretches the selection;
// follows the mouse while the button is held. A second click at the same place within
// the double-click time selects the word.
void TEClick(Point localPoint, bool extend, TEHandle te);
void TEKey(unsigned char key, TEHandle te);

void TECut(TEHandle te);
void TECopy(TEHandle te);
void TEPaste(TEHandle te);
void TEDelete(TEHandle te);
// Replaces nothing: inserts before the selection.
void TEInsert(const void* text, int32_t length, TEHandle te);

// Redraws the part of the record inside rUpdate (local coordinates).
void TEUpdate(const Rect* rUpdate, TEHandle te);
// Scrolls so that the selection can be seen.
void TESelView(TEHandle te);
// The selection's end as a local point (its line's baseline).
Point TEGetPoint(int16_t offset, TEHandle te);
// The offset nearest to a local point.
int16_t TEGetOffset(Point pt, TEHandle te);

// Erases box and draws text wrapped into it in the current port's font.
void TETextBox(const void* text, int32_t length, const Rect* box, int16_t just);

// The private scrap. TEFromScrap reads the desktop clipboard; TEScrapUnstorable is the
// first character of what it read that Mac Roman cannot hold (0: none), which a paste
// must refuse rather than take as "?".
OSErr TEFromScrap();
char32_t TEScrapUnstorable();
OSErr TEToScrap();
int32_t TEGetScrapLength();
const std::string& TEGetScrapText();
void TESetScrapText(const std::string& macRoman);

// Line breaking shared with static text: the offsets where each line of text starts
// in width pixels of the current port's font (one more entry: the end). CRs break.
std::vector<int> WrapLines(const unsigned char* text, int length, int width);
