// The small rules every part of the shell and the report views share, each in one place:
// the 16-bit clamp for toolbox calls, the term and student tests over the model's checked
// accessors, drawing into the document window, and the alerts shown with the arrow.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "marktally/common/platform.h"
#include "marktally/model/accessors.h"
#include "marktally/shell/window.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/windows.h"

// A coordinate, count or item number for a 16-bit toolbox call: values outside the
// 16-bit range are clamped to its ends, never wrapped.
inline int16_t S16(long v) { return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767)); }

// A stored 16-bit slot (a selected or edited student or column): 0xFFFF, none, reads -1.
inline int16_t Slot(uint16_t v) { return v == 0xFFFF ? int16_t{-1} : S16(v); }

// The term shown and edited, cut to the tables.
inline int Term() { return CurrentTermIndex(); }

// Student slot s holds a student: the rows are packed from the top, so the first unnamed
// slot ends the class.
inline bool Named(int s) { return ValidStudent(s) && !gStudents[s].name.empty(); }

// ColumnDay(column), the day of an attendance column, is the model's (accessors.h).

// Draws into the document window (when one is open) for its lifetime, then gives the
// previous port and clip back.
class WindowDrawing {
 public:
  WindowDrawing() {
    GetPort(&saved_);
    if (gWindow) SetPortWindowPort(gWindow);
    clip_ = NewRgn();
    GetClip(clip_);
  }
  ~WindowDrawing() {
    SetClip(clip_);
    DisposeRgn(clip_);
    SetPort(saved_);
  }
  WindowDrawing(const WindowDrawing&) = delete;
  WindowDrawing& operator=(const WindowDrawing&) = delete;

 private:
  GrafPtr saved_ = nullptr;
  RgnHandle clip_ = nullptr;
};

// An alert with OK, shown with the arrow cursor (texts in Mac Roman).
void Alert(AlertKind kind, const std::string& title, const std::string& text);
// A Yes/No alert; true when the answer is Yes.
bool AskYes(AlertKind kind, const std::string& title, const std::string& text);
