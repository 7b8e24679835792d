// Scroll bars and the placard, drawn with our own QuickDraw into the window's image.
#include "marktally/toolbox/controls.h"

#include <algorithm>
#include <cstdint>

#include "marktally/toolbox/internal.h"
#include "marktally/toolbox/textedit.h"

namespace {

bool IsScrollBar(const ControlRecord* c) { return c->procID != kControlPlacardProc; }

// The parts of a scroll bar along its length (s0 to s1, thickness t): arrow squares at
// both ends, the track between, the thumb inside the track.
struct BarGeometry {
  bool vertical;
  int t, s0, s1;
  int trackStart, trackEnd;  // inside the arrows' frames
  bool thumb;
  int thumbStart, thumbLength, slack;
};

BarGeometry Geometry(const ControlRecord* c) {
  const Rect& r = c->bounds;
  BarGeometry g{};
  g.vertical = r.bottom - r.top >= r.right - r.left;
  g.t = g.vertical ? r.right - r.left : r.bottom - r.top;
  g.s0 = g.vertical ? r.top : r.left;
  g.s1 = g.vertical ? r.bottom : r.right;
  g.trackStart = g.s0 + g.t;
  g.trackEnd = g.s1 - g.t;
  const int length = g.trackEnd - g.trackStart;
  const int range = c->maximum - c->minimum;
  g.thumb = range > 0 && length >= g.t;
  if (g.thumb) {
    const long view = std::max<int32_t>(c->viewSize, 0);
    g.thumbLength = std::clamp<int>(static_cast<int>(length * view / (range + view)), g.t, length);
    g.slack = length - g.thumbLength;
    g.thumbStart = g.trackStart +
                   static_cast<int>(static_cast<long>(c->value - c->minimum) * g.slack / range);
  }
  return g;
}

// A rectangle across the bar from a to b along it.
Rect Across(const ControlRecord* c, const BarGeometry& g, int a, int b) {
  const Rect& r = c->bounds;
  return g.vertical ? Rect{static_cast<int16_t>(a), r.left, static_cast<int16_t>(b), r.right}
                    : Rect{r.top, static_cast<int16_t>(a), r.bottom, static_cast<int16_t>(b)};
}

// A small filled triangle in an arrow square, pointing to the bar's end.
void DrawArrow(const BarGeometry& g, const Rect& box, bool toStart) {
  const int rows = 4;
  for (int i = 0; i < rows; ++i) {
    const int step = toStart ? i : rows - 1 - i;
    if (g.vertical) {
      const int cx = box.left + g.t / 2;
      const int y = box.top + (g.t - rows) / 2 + i;
      MoveTo(static_cast<int16_t>(cx - step), static_cast<int16_t>(y));
      LineTo(static_cast<int16_t>(cx + step), static_cast<int16_t>(y));
    } else {
      const int cy = box.top + g.t / 2;
      const int x = box.left + (g.t - rows) / 2 + i;
      MoveTo(static_cast<int16_t>(x), static_cast<int16_t>(cy - step));
      LineTo(static_cast<int16_t>(x), static_cast<int16_t>(cy + step));
    }
  }
}

void DrawScrollBar(const ControlRecord* c) {
  Rect inner = c->bounds;
  InsetRect(&inner, 1, 1);
  FrameRect(&c->bounds);
  EraseRect(&inner);
  // An inactive window keeps its bars in sight, dimmed: the arrows and the thumb in gray
  // on an empty track.
  const RGBColor dim{0x9999, 0x9999, 0x9999};
  if (!c->active) RGBForeColor(&dim);
  const BarGeometry g = Geometry(c);
  const Rect first = Across(c, g, g.s0, g.trackStart);
  const Rect last = Across(c, g, g.trackEnd, g.s1);
  FrameRect(&first);
  FrameRect(&last);
  DrawArrow(g, first, true);
  DrawArrow(g, last, false);
  if (g.thumb) {
    Rect track = Across(c, g, g.trackStart, g.trackEnd);
    InsetRect(&track, g.vertical ? 1 : 0, g.vertical ? 0 : 1);
    Pattern gray;
    if (c->active) FillRect(&track, GetQDGlobalsGray(&gray));
    const Rect thumb = Across(c, g, g.thumbStart - 1, g.thumbStart + g.thumbLength + 1);
    Rect thumbInside = thumb;
    InsetRect(&thumbInside, 1, 1);
    EraseRect(&thumbInside);
    FrameRect(&thumb);
  }
  ForeColor(blackColor);
}

int16_t HitTest(const ControlRecord* c, Point p) {
  if (!c->visible || !c->active || !IsScrollBar(c) || !PtInRect(p, &c->bounds)) return 0;
  if (c->maximum <= c->minimum) return 0;
  const BarGeometry g = Geometry(c);
  const int along = g.vertical ? p.v : p.h;
  if (along < g.trackStart) return kControlUpButtonPart;
  if (along >= g.trackEnd) return kControlDownButtonPart;
  if (!g.thumb) return 0;
  if (along < g.thumbStart) return kControlPageUpPart;
  if (along >= g.thumbStart + g.thumbLength) return kControlPageDownPart;
  return kControlIndicatorPart;
}

// The mouse in the control's window, in that port's local coordinates.
Point MouseIn(const ControlRecord* c) {
  Point p = MouseGlobal();
  const WindowRecord* w = c->window;
  p.h = static_cast<int16_t>(p.h - w->bounds.left + w->port.origin.h);
  p.v = static_cast<int16_t>(p.v - w->bounds.top + w->port.origin.v);
  return p;
}

void EraseControl(ControlRecord* c) {
  {
    PortState state(&c->window->port);
    EraseRect(&c->bounds);
  }
  InvalWindowRect(c->window, &c->bounds);
}

void Redraw(ControlRecord* c) {
  if (c->visible) DrawControlNow(c);
}

// An edit text's record follows its frame.
void PlaceText(ControlRecord* c) {
  if (!c->te) return;
  Rect view = c->bounds;
  InsetRect(&view, 4, 3);
  c->te->destRect = c->te->viewRect = view;
  PortState state(&c->window->port);
  TECalText(c->te);
}

}  // namespace

void DrawControlNow(ControlRecord* c) {
  PortState state(&c->window->port);
  if (IsDialogControl(c)) {
    DrawDialogControl(c);
  } else if (IsScrollBar(c)) {
    DrawScrollBar(c);
  } else {
    Rect inner = c->bounds;
    InsetRect(&inner, 1, 1);
    EraseRect(&inner);
    FrameRect(&c->bounds);
  }
}

ControlRef NewControl(WindowRef window, const Rect* bounds, ConstStringPtr title, bool visible,
                      int16_t value, int16_t minimum, int16_t maximum, int16_t procID,
                      long refCon) {
  auto* c = new ControlRecord;
  c->window = window;
  c->bounds = *bounds;
  c->procID = procID;
  c->visible = visible;
  c->minimum = minimum;
  c->maximum = std::max<int32_t>(minimum, maximum);
  c->value = std::clamp<int32_t>(value, c->minimum, c->maximum);
  c->refCon = refCon;
  if (title) c->title.assign(reinterpret_cast<const char*>(title + 1), title[0]);
  if (procID == kControlEditTextProc || procID == kControlEditTextPasswordProc) {
    PortState state(&window->port);
    TextFont(systemFont);
    TextSize(12);
    Rect view = *bounds;
    InsetRect(&view, 4, 3);
    c->te = TENew(&view, &view);
    // Boxes with room for two lines wrap; the others keep one line and scroll.
    if (view.bottom - view.top < 2 * c->te->lineHeight) c->te->crOnly = -1;
    if (procID == kControlEditTextPasswordProc) c->te->mask = 0xA5;  // a bullet
    TESetText(c->title.data(), static_cast<int32_t>(c->title.size()), c->te);
    c->title.clear();
  } else if (procID == kControlClockDateProc) {
    SecondsToDate(GetDateTime(), c->date);
  }
  window->controls.push_back(c);
  Redraw(c);
  return c;
}

void DisposeControl(ControlRef control) {
  if (!control) return;
  auto& list = control->window->controls;
  list.erase(std::remove(list.begin(), list.end(), control), list.end());
  DisposeDialogControl(control);
  delete control;
}

void KillControls(WindowRef window) {
  for (ControlRecord* c : window->controls) {
    DisposeDialogControl(c);
    delete c;
  }
  window->controls.clear();
  window->focus = nullptr;
}

namespace {
int16_t Narrow(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}
}  // namespace

int16_t GetControlValue(ControlRef control) { return Narrow(control->value); }
void SetControlValue(ControlRef control, int16_t value) { SetControl32BitValue(control, value); }
int16_t GetControlMinimum(ControlRef control) { return Narrow(control->minimum); }
void SetControlMinimum(ControlRef control, int16_t minimum) {
  SetControl32BitMinimum(control, minimum);
}
int16_t GetControlMaximum(ControlRef control) { return Narrow(control->maximum); }
void SetControlMaximum(ControlRef control, int16_t maximum) {
  SetControl32BitMaximum(control, maximum);
}

int32_t GetControl32BitValue(ControlRef control) { return control->value; }

void SetControl32BitValue(ControlRef control, int32_t value) {
  value = std::clamp(value, control->minimum, control->maximum);
  if (value == control->value) return;
  control->value = value;
  Redraw(control);
}

int32_t GetControl32BitMinimum(ControlRef control) { return control->minimum; }

void SetControl32BitMinimum(ControlRef control, int32_t minimum) {
  control->minimum = minimum;
  control->maximum = std::max(control->maximum, minimum);
  control->value = std::clamp(control->value, control->minimum, control->maximum);
  Redraw(control);
}

int32_t GetControl32BitMaximum(ControlRef control) { return control->maximum; }

void SetControl32BitMaximum(ControlRef control, int32_t maximum) {
  control->maximum = std::max(maximum, control->minimum);
  control->value = std::clamp(control->value, control->minimum, control->maximum);
  Redraw(control);
}

int32_t GetControlViewSize(ControlRef control) { return control->viewSize; }

void SetControlViewSize(ControlRef control, int32_t viewSize) {
  control->viewSize = viewSize;
  Redraw(control);
}

Rect* GetControlBounds(ControlRef control, Rect* bounds) {
  *bounds = control->bounds;
  return bounds;
}

long GetControlReference(ControlRef control) { return control->refCon; }
void SetControlReference(ControlRef control, long refCon) { control->refCon = refCon; }
void SetControlAction(ControlRef control, ControlActionUPP action) { control->action = action; }

void MoveControl(ControlRef control, int16_t h, int16_t v) {
  if (control->visible) EraseControl(control);
  OffsetRect(&control->bounds, static_cast<int16_t>(h - control->bounds.left),
             static_cast<int16_t>(v - control->bounds.top));
  PlaceText(control);
  Redraw(control);
}

void SizeControl(ControlRef control, int16_t width, int16_t height) {
  if (control->visible) EraseControl(control);
  control->bounds.right = static_cast<int16_t>(control->bounds.left + width);
  control->bounds.bottom = static_cast<int16_t>(control->bounds.top + height);
  PlaceText(control);
  Redraw(control);
}

void HideControl(ControlRef control) {
  if (!control->visible) return;
  control->visible = false;
  EraseControl(control);
}

void ShowControl(ControlRef control) {
  if (control->visible) return;
  control->visible = true;
  Redraw(control);
}

bool IsControlVisible(ControlRef control) { return control->visible; }

OSErr ActivateControl(ControlRef control) {
  if (!control->active) {
    control->active = true;
    Redraw(control);
  }
  return noErr;
}

OSErr DeactivateControl(ControlRef control) {
  if (control->active) {
    control->active = false;
    Redraw(control);
  }
  return noErr;
}

bool IsControlActive(ControlRef control) { return control->active; }

void Draw1Control(ControlRef control) { Redraw(control); }

void DrawControls(WindowRef window) {
  for (ControlRecord* c : window->controls) Redraw(c);
}

void UpdateControls(WindowRef window, RgnHandle rgn) {
  for (ControlRecord* c : window->controls) {
    if (rgn->rgn.intersects(ToQRect(c->bounds))) Redraw(c);
  }
}

int16_t FindControl(Point localPoint, WindowRef window, ControlRef* control) {
  *control = nullptr;
  for (auto it = window->controls.rbegin(); it != window->controls.rend(); ++it) {
    ControlRecord* c = *it;
    if (c->visible && PtInRect(localPoint, &c->bounds)) {
      *control = c;
      return IsDialogControl(c) ? HitDialogControl(c, localPoint) : HitTest(c, localPoint);
    }
  }
  return 0;
}

int16_t TrackControl(ControlRef control, Point localPoint, ControlActionUPP action) {
  if (IsDialogControl(control)) return TrackDialogControl(control, localPoint);
  const int16_t part = HitTest(control, localPoint);
  if (!part) return 0;
  if (!action) action = control->action;
  Toolbox& tb = TB();
  if (part == kControlIndicatorPart) {
    const BarGeometry g = Geometry(control);
    const int start = g.vertical ? localPoint.v : localPoint.h;
    const long startValue = control->value;
    const long range = static_cast<long>(control->maximum) - control->minimum;
    while (StillDown()) {
      if (g.slack <= 0) continue;
      const Point m = MouseIn(control);
      const int moved = (g.vertical ? m.v : m.h) - start;
      const long delta =
          (static_cast<long>(moved) * range * 2 + (moved < 0 ? -g.slack : g.slack)) /
          (2L * g.slack);
      const auto value = static_cast<int32_t>(
          std::clamp<long>(startValue + delta, control->minimum, control->maximum));
      if (value == control->value) continue;
      SetControl32BitValue(control, value);
      if (action) action(control, part);
    }
    return part;
  }
  // Arrows and page areas repeat while the mouse stays in them: after a short pause,
  // then every few ticks (a scripted mouse repeats at once).
  if (action) action(control, part);
  uint32_t next = TickCount() + 20;
  Point m = localPoint;
  while (StillDown()) {
    m = MouseIn(control);
    if (HitTest(control, m) != part) continue;
    if (tb.interactive && !tb.scriptActive) {
      if (TickCount() < next) continue;
      next = TickCount() + 3;
    }
    if (action) action(control, part);
  }
  m = MouseIn(control);
  return HitTest(control, m) == part ? part : 0;
}
