#include "marktally/shell/commands/preferences.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "marktally/shell/common.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"

namespace {

constexpr const char* kZoomKey = "zoom";
constexpr const char* kPlacementKey = "window position";
constexpr int kMinimumWidth = 600;   // the grow limits
constexpr int kMinimumHeight = 400;


// Moves [low, high) into [min, max), keeping its size while it fits; a span wider than
// the bounds is cut to them.
void FitSpan(int& low, int& high, int min, int max) {
  if (low < min) {
    high += min - low;
    low = min;
  }
  if (high > max) {
    const int excess = high - max;
    if (low - excess >= min) {
      low -= excess;
      high -= excess;
    } else {
      high = max;
    }
  }
}

// The four numbers of a stored placement ("%i" each: decimal, 0x hex or 0 octal, blanks
// between). Each must be a window coordinate, so that no sum made of them overflows.
bool ParsePlacement(const std::string& text, int (&v)[4]) {
  const char* p = text.c_str();
  for (int& value : v) {
    while (*p == ' ' || *p == '\t') p++;
    if (*p == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(p, &end, 0);
    if (end == p || errno == ERANGE || n < INT16_MIN || n > INT16_MAX) return false;
    value = static_cast<int>(n);
    p = end;
  }
  while (*p == ' ' || *p == '\t' || *p == '\n') p++;
  return *p == '\0';
}

}  // namespace

void LoadZoom() {
  gZoom = 6;
  int16_t stored = 0;
  // Only the three zooms the menu offers: anything else would size every unit oddly.
  if (CopyAppPreferenceShort(kZoomKey, &stored) && stored >= 5 && stored <= 7) gZoom = stored;
}

void SaveZoom() {
  SetAppPreferenceShort(kZoomKey, gZoom);
  SynchronizeAppPreferences();
}

void SaveWindowPlacement() {
  // Without a class, the empty frame's place: the next window opens there.
  Rect r;
  if (gWindow)
    GetWindowBounds(gWindow, kWindowContentRgn, &r);
  else
    GetEmptyFrameBounds(&r);
  if (EmptyRect(&r)) return;
  char text[64];
  std::snprintf(text, sizeof text, "%i %i %i %i", r.top, r.left, r.right, r.bottom);
  SetAppPreferenceString(kPlacementKey, text);
  SynchronizeAppPreferences();
}

namespace {

// The stored placement brought onto the screen; false when there is none to use.
bool StoredPlacement(Rect* placed) {
  SynchronizeAppPreferences();
  std::string text;
  if (!CopyAppPreferenceString(kPlacementKey, &text, 31)) return false;
  int v[4] = {0, 0, 0, 0};
  if (!ParsePlacement(text, v)) return false;
  int top = v[0], left = v[1], right = v[2], bottom = v[3];
  if (bottom < top || right < left) return false;
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  const int bLeft = avail.left + 18, bRight = avail.right - 18;
  const int bTop = avail.top + 42, bBottom = avail.bottom - 42;
  if (bRight <= bLeft || bBottom <= bTop) return false;
  // Never smaller than the window can be grown to, unless the screen is smaller still.
  right = std::max(right, left + std::min(kMinimumWidth, bRight - bLeft));
  bottom = std::max(bottom, top + std::min(kMinimumHeight, bBottom - bTop));
  FitSpan(left, right, bLeft, bRight);
  FitSpan(top, bottom, bTop, bBottom);
  *placed = Rect{S16(top), S16(left), S16(bottom), S16(right)};
  return true;
}

}  // namespace

void LoadWindowPlacement() {
  if (!gWindow) return;
  Rect placed;
  if (!StoredPlacement(&placed)) return;
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  Point ideal{S16(avail.bottom - avail.top - 84), S16(avail.right - avail.left - 36)};
  ZoomWindowIdeal(gWindow, inZoomOut, &ideal);
  SetWindowBounds(gWindow, kWindowContentRgn, &placed);
  SetWindowIdealUserState(gWindow, &placed);
}

void LoadFramePlacement() {
  Rect placed;
  if (StoredPlacement(&placed)) SetEmptyFrameBounds(&placed);
}
