// What every part of the shell shares: the model's checked accessors and the 16-bit clamp
// (accessors.h), the alerts shown with the arrow (report_host.h), and drawing into the
// document window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "marktally/common/platform.h"
#include "marktally/model/accessors.h"
#include "marktally/reports/report_host.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/windows.h"

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

