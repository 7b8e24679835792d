// The controls of dialogs, drawn with our QuickDraw in a plain look: rounded push
// buttons, square check boxes, round radio buttons, framed pop-ups, edit texts and
// clocks, wrapped static texts, tabs over a framed pane and a filled progress bar.
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/internal.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/textedit.h"

namespace {

const RGBColor kBlackColor{0, 0, 0};
const RGBColor kDimColor{0x8C00, 0x8C00, 0x8C00};
const RGBColor kFocusColor{0x2E00, 0x6000, 0xC800};
const RGBColor kTabColor{0xE400, 0xE400, 0xE400};
const RGBColor kBarColor{0x3000, 0x5C00, 0xC000};
constexpr int kDialogTextSize = 12;
constexpr int kTabHeight = 22;
constexpr int kStepperWidth = 14;

bool IsEdit(const ControlRecord* c) {
  return c->procID == kControlEditTextProc || c->procID == kControlEditTextPasswordProc;
}

int Width(const Rect& r) { return r.right - r.left; }
int Height(const Rect& r) { return r.bottom - r.top; }

// A rounded rectangle as rows of pixels (local coordinates).
QRegion RoundRegion(const Rect& r, int radius) {
  QRegion region;
  const int w = Width(r), h = Height(r);
  for (int y = 0; y < h; ++y) {
    const int d = std::min(y, h - 1 - y);
    int in = 0;
    if (d < radius) {
      const double dy = radius - d - 0.5;
      in = radius - static_cast<int>(std::lround(std::sqrt(radius * radius - dy * dy)));
    }
    if (w - 2 * in > 0) region += QRect(r.left + in, r.top + y, w - 2 * in, 1);
  }
  return region;
}

Rect Inset(Rect r, int d) {
  InsetRect(&r, static_cast<int16_t>(d), static_cast<int16_t>(d));
  return r;
}

void Paint(const QRegion& region, const RGBColor& color) {
  Region r{region};
  RGBForeColor(&color);
  PaintRgn(&r);
  ForeColor(blackColor);
}

void Erase(const QRegion& region) {
  Region r{region};
  EraseRgn(&r);
}

void UseDialogFont(const ControlRecord* c) {
  TextFont(systemFont);
  TextSize(static_cast<int16_t>(c->textSize ? c->textSize : kDialogTextSize));
  TextFace(c->face);
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

int TextW(const std::string& s) { return TextWidth(Bytes(s), static_cast<int>(s.size())); }

// Draws s with its baseline centred vertically in r, starting at x.
void DrawCentredLine(const std::string& s, int x, const Rect& r, const RGBColor& color) {
  FontInfo info;
  GetFontInfo(&info);
  const int base = r.top + (Height(r) - info.ascent - info.descent) / 2 + info.ascent;
  RGBForeColor(&color);
  MoveTo(static_cast<int16_t>(x), static_cast<int16_t>(base));
  DrawText(s.data(), 0, static_cast<int16_t>(std::min<size_t>(s.size(), 32767)));
  ForeColor(blackColor);
}

// A triangle pointing down (or up) whose top row is 2 * rows - 1 pixels wide.
void Triangle(int cx, int top, int rows, bool up, const RGBColor& color) {
  QRegion region;
  for (int i = 0; i < rows; ++i) {
    const int half = up ? i : rows - 1 - i;
    region += QRect(cx - half, top + i, 2 * half + 1, 1);
  }
  Paint(region, color);
}

void DrawPushButton(ControlRecord* c) {
  const Rect& r = c->bounds;
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  if (c->defaultRing) {
    const QRegion ring = RoundRegion(Inset(r, -4), 8) - RoundRegion(Inset(r, -1), 5);
    Erase(RoundRegion(Inset(r, -4), 8));
    Paint(ring, ink);
  }
  const QRegion outer = RoundRegion(r, 5);
  const QRegion inner = RoundRegion(Inset(r, 1), 4);
  Erase(outer);
  Paint(outer - inner, ink);
  const bool pressed = c->hilite != 0 && c->active;
  if (pressed) Paint(inner, kBlackColor);
  UseDialogFont(c);
  const int x = r.left + (Width(r) - TextW(c->title)) / 2;
  DrawCentredLine(c->title, x, r, pressed ? RGBColor{0xFFFF, 0xFFFF, 0xFFFF} : ink);
}

Rect MarkBox(const ControlRecord* c) {
  const Rect& r = c->bounds;
  const int cy = r.top + Height(r) / 2;
  return Rect{static_cast<int16_t>(cy - 6), r.left, static_cast<int16_t>(cy + 6),
              static_cast<int16_t>(r.left + 12)};
}

void DrawMarkTitle(ControlRecord* c, const RGBColor& ink) {
  UseDialogFont(c);
  Rect r = c->bounds;
  r.left = static_cast<int16_t>(r.left + 18);
  EraseRect(&r);
  DrawCentredLine(c->title, r.left, r, ink);
}

void DrawCheckBox(ControlRecord* c) {
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  const Rect box = MarkBox(c);
  Erase(QRegion(ToQRect(box)));
  Paint(QRegion(ToQRect(box)) - QRegion(ToQRect(Inset(box, c->hilite ? 2 : 1))), ink);
  RGBForeColor(&ink);
  if (c->value == 1) {
    PenSize(2, 2);
    MoveTo(static_cast<int16_t>(box.left + 2), static_cast<int16_t>(box.top + 5));
    LineTo(static_cast<int16_t>(box.left + 4), static_cast<int16_t>(box.top + 8));
    LineTo(static_cast<int16_t>(box.left + 8), static_cast<int16_t>(box.top + 2));
    PenNormal();
  } else if (c->value == 2) {
    const Rect bar{static_cast<int16_t>(box.top + 5), static_cast<int16_t>(box.left + 3),
                   static_cast<int16_t>(box.top + 7), static_cast<int16_t>(box.left + 9)};
    PaintRect(&bar);
  }
  ForeColor(blackColor);
  DrawMarkTitle(c, ink);
}

void DrawRadioButton(ControlRecord* c) {
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  const Rect box = MarkBox(c);
  const QRegion outer = RoundRegion(box, 6);
  Erase(outer);
  Paint(outer - RoundRegion(Inset(box, c->hilite ? 2 : 1), c->hilite ? 4 : 5), ink);
  if (c->value == 1) Paint(RoundRegion(Inset(box, 3), 3), ink);
  DrawMarkTitle(c, ink);
}

Rect PopUpBox(const ControlRecord* c) {
  Rect box = c->bounds;
  box.left = static_cast<int16_t>(box.left + c->titleWidth);
  return box;
}

void DrawPopUp(ControlRecord* c) {
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  EraseRect(&c->bounds);
  UseDialogFont(c);
  if (c->titleWidth > 0) {
    Rect label = c->bounds;
    label.right = static_cast<int16_t>(label.left + c->titleWidth);
    DrawCentredLine(c->title, label.left, label, ink);
  }
  const Rect box = PopUpBox(c);
  const Rect face{box.top, box.left, static_cast<int16_t>(box.bottom - 1),
                  static_cast<int16_t>(box.right - 1)};
  QRegion frame = QRegion(ToQRect(face)) - QRegion(ToQRect(Inset(face, 1)));
  frame += QRect(face.left + 2, face.bottom, Width(face) - 1, 1);  // the shadow
  frame += QRect(face.right, face.top + 2, 1, Height(face) - 1);
  Paint(frame, ink);
  Str255 item;
  item[0] = 0;
  if (MenuRef menu = GetMenuHandle(c->menuID)) GetMenuItemText(menu, c->value, item);
  const Rect textArea{face.top, static_cast<int16_t>(face.left + 6), face.bottom,
                      static_cast<int16_t>(face.right - 20)};
  RgnHandle saved = NewRgn();
  GetClip(saved);
  ClipRect(&textArea);
  DrawCentredLine(ToStdString(item), textArea.left, face, ink);
  SetClip(saved);
  DisposeRgn(saved);
  Triangle(face.right - 10, face.top + Height(face) / 2 - 2, 4, false, ink);
  if (c->hilite && c->active) {
    const Rect in = Inset(face, 1);
    InvertRect(&in);
  }
}

void DrawEditFrame(ControlRecord* c) {
  const bool focused = c->window && c->window->focus == c;
  const Rect& r = c->bounds;
  QRegion frame = QRegion(ToQRect(r)) - QRegion(ToQRect(Inset(r, 1)));
  if (focused) {
    frame = QRegion(ToQRect(r)) - QRegion(ToQRect(Inset(r, 2)));
    Paint(frame, kFocusColor);
  } else {
    Paint(frame, c->active ? kBlackColor : kDimColor);
  }
}

void DrawEditText(ControlRecord* c) {
  Rect inside = Inset(c->bounds, 1);
  EraseRect(&inside);
  DrawEditFrame(c);
  if (!c->te) return;
  c->te->textColor = c->active ? kBlackColor : kDimColor;
  TEUpdate(&c->te->viewRect, c->te);
}

// The three parts of a clock's date in the region's order, with their texts.
struct DateLayout {
  int field[3];  // 0 month, 1 day, 2 year
  std::string text[3];
  int left[3];
  int right[3];
};

DateLayout LayoutDate(const ControlRecord* c) {
  DateLayout d{};
  const RegionDateFormat f = GetRegionDateFormat();
  static const int kOrders[3][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}};
  const int order = f.present ? std::clamp(f.shortOrder, 0, 2) : 0;
  const int values[3] = {c->date.month, c->date.day, c->date.year};
  const std::string sep(1, static_cast<char>(f.present ? f.separator : '/'));
  int x = c->bounds.left + 5;
  for (int i = 0; i < 3; ++i) {
    d.field[i] = kOrders[order][i];
    d.text[i] = std::to_string(values[d.field[i]]);
    d.left[i] = x;
    x += TextW(d.text[i]);
    d.right[i] = x;
    if (i < 2) x += TextW(sep);
  }
  return d;
}

Rect StepperBox(const ControlRecord* c) {
  const Rect& r = c->bounds;
  return Rect{static_cast<int16_t>(r.top + 2), static_cast<int16_t>(r.right - kStepperWidth - 2),
              static_cast<int16_t>(r.bottom - 2), static_cast<int16_t>(r.right - 2)};
}

void DrawClock(ControlRecord* c) {
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  Rect inside = Inset(c->bounds, 1);
  EraseRect(&inside);
  DrawEditFrame(c);
  UseDialogFont(c);
  const DateLayout d = LayoutDate(c);
  const RegionDateFormat f = GetRegionDateFormat();
  const std::string sep(1, static_cast<char>(f.present ? f.separator : '/'));
  std::string all = d.text[0] + sep + d.text[1] + sep + d.text[2];
  DrawCentredLine(all, d.left[0], c->bounds, ink);
  const bool focused = c->window && c->window->focus == c;
  if (focused && c->datePart >= 1 && c->datePart <= 3) {
    const int i = c->datePart - 1;
    const Rect part{static_cast<int16_t>(c->bounds.top + 3), static_cast<int16_t>(d.left[i]),
                    static_cast<int16_t>(c->bounds.bottom - 3), static_cast<int16_t>(d.right[i])};
    LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
    InvertRect(&part);
  }
  const Rect step = StepperBox(c);
  Paint(QRegion(ToQRect(step)) - QRegion(ToQRect(Inset(step, 1))), ink);
  const int mid = step.top + Height(step) / 2;
  Paint(QRegion(step.left + 1, mid, Width(step) - 2, 1), ink);
  Triangle(step.left + Width(step) / 2, mid - 5, 3, true, ink);
  Triangle(step.left + Width(step) / 2, mid + 3, 3, false, ink);
}

void DrawStaticText(ControlRecord* c) {
  EraseRect(&c->bounds);
  UseDialogFont(c);
  RGBForeColor(c->active ? &kBlackColor : &kDimColor);
  TETextBox(c->title.data(), static_cast<int32_t>(c->title.size()), &c->bounds, teFlushLeft);
  ForeColor(blackColor);
}

// Measured in bold, as the selected tab is drawn, so that every title fits its tab
// and no tab moves when another is chosen.
Rect TabRect(const ControlRecord* c, size_t i) {
  GrafPtr port = nullptr;
  GetPort(&port);
  const Style face = port ? GetPortTextFace(port) : Style{normal};
  TextFace(bold);
  int x = c->bounds.left + 10;
  for (size_t k = 0; k < i; ++k) x += TextW(c->tabs[k]) + 24;
  const int width = TextW(c->tabs[i]) + 24;
  TextFace(face);
  return Rect{c->bounds.top, static_cast<int16_t>(x),
              static_cast<int16_t>(c->bounds.top + kTabHeight), static_cast<int16_t>(x + width)};
}

void DrawTabs(ControlRecord* c) {
  const RGBColor& ink = c->active ? kBlackColor : kDimColor;
  const Rect& r = c->bounds;
  EraseRect(&r);
  UseDialogFont(c);
  const Rect pane{static_cast<int16_t>(r.top + kTabHeight - 1), r.left, r.bottom, r.right};
  Paint(QRegion(ToQRect(pane)) - QRegion(ToQRect(Inset(pane, 1))), ink);
  for (size_t i = 0; i < c->tabs.size(); ++i) {
    const bool selected = c->value == static_cast<int16_t>(i + 1);
    TextFace(selected ? bold : normal);
    Rect t = TabRect(c, i);
    if (!selected) t.top = static_cast<int16_t>(t.top + 2);
    Paint(QRegion(ToQRect(t)), selected ? RGBColor{0xFFFF, 0xFFFF, 0xFFFF} : kTabColor);
    Paint(QRegion(ToQRect(t)) - QRegion(ToQRect(Inset(t, 1))), ink);
    if (selected) Erase(QRegion(t.left + 1, t.bottom - 1, Width(t) - 2, 1));
    DrawCentredLine(c->tabs[i], t.left + 12, t, ink);
  }
  TextFace(normal);
}

void DrawProgressBar(ControlRecord* c) {
  const Rect& r = c->bounds;
  EraseRect(&r);
  Paint(QRegion(ToQRect(r)) - QRegion(ToQRect(Inset(r, 1))), kBlackColor);
  const Rect in = Inset(r, 2);
  const int range = c->maximum - c->minimum;
  if (range <= 0) return;
  const int filled = static_cast<int>(static_cast<long>(Width(in)) *
                                      std::clamp(c->value - c->minimum, 0, range) / range);
  if (filled > 0) Paint(QRegion(in.left, in.top, filled, Height(in)), kBarColor);
}

void SetPart(ControlRecord* c, int part) {
  c->datePart = static_cast<int16_t>(std::clamp(part, 1, 3));
  c->dateTyped = 0;
}

int DaysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[std::clamp(month, 1, 12) - 1];
}

// Sets one field of the date, kept in range (the day within its month).
void SetDateField(ControlRecord* c, int field, int value) {
  DateTimeRec& d = c->date;
  if (field == 0) d.month = static_cast<int16_t>((value - 1 + 1200) % 12 + 1);
  if (field == 2) d.year = static_cast<int16_t>(std::clamp(value, 1904, 2040));
  if (field == 1) {
    const int n = DaysIn(d.year, d.month);
    d.day = static_cast<int16_t>((value - 1 + 31 * n) % n + 1);
  }
  d.day = static_cast<int16_t>(std::min<int>(d.day, DaysIn(d.year, d.month)));
}

int FieldValue(const ControlRecord* c, int field) {
  return field == 0 ? c->date.month : field == 1 ? c->date.day : c->date.year;
}

void StepDate(ControlRecord* c, int delta) {
  if (c->datePart < 1) SetPart(c, 1);
  PortState state(&c->window->port);
  UseDialogFont(c);
  const int field = LayoutDate(c).field[c->datePart - 1];
  SetDateField(c, field, FieldValue(c, field) + delta);
  c->dateTyped = 0;
}

}  // namespace

bool IsDialogControl(const ControlRecord* c) {
  return c->procID != scrollBarProc && c->procID != kControlScrollBarLiveProc &&
         c->procID != kControlPlacardProc;
}

void DrawDialogControl(ControlRecord* c) {
  switch (c->procID) {
    case pushButProc:
      DrawPushButton(c);
      break;
    case checkBoxProc:
      DrawCheckBox(c);
      break;
    case radioButProc:
      DrawRadioButton(c);
      break;
    case kControlPopupButtonProc:
      DrawPopUp(c);
      break;
    case kControlEditTextProc:
    case kControlEditTextPasswordProc:
      DrawEditText(c);
      break;
    case kControlClockDateProc:
      DrawClock(c);
      break;
    case kControlStaticTextProc:
      DrawStaticText(c);
      break;
    case kControlTabSmallProc:
      DrawTabs(c);
      break;
    case kControlProgressBarProc:
      DrawProgressBar(c);
      break;
    case kControlUserPaneProc:
      DrawUserPane(c);
      break;
    default:
      break;
  }
}

int16_t HitDialogControl(const ControlRecord* c, Point p) {
  if (!c->visible || !c->active || !PtInRect(p, &c->bounds)) return kControlNoPart;
  switch (c->procID) {
    case pushButProc:
      return kControlButtonPart;
    case checkBoxProc:
      return kControlCheckBoxPart;
    case radioButProc:
      return kControlRadioButtonPart;
    case kControlPopupButtonProc: {
      const Rect box = PopUpBox(c);
      return PtInRect(p, &box) ? kControlMenuPart : kControlNoPart;
    }
    case kControlEditTextProc:
    case kControlEditTextPasswordProc:
      return kControlEditTextPart;
    case kControlClockDateProc:
      return kControlClockPart;
    case kControlTabSmallProc: {
      PortState state(&c->window->port);
      UseDialogFont(c);
      for (size_t i = 0; i < c->tabs.size(); ++i) {
        const Rect t = TabRect(c, i);
        if (PtInRect(p, &t)) return static_cast<int16_t>(i + 1);
      }
      return kControlNoPart;
    }
    case kControlUserPaneProc:
      return kControlUserPanePart;
    default:
      return kControlNoPart;
  }
}

int16_t TrackDialogControl(ControlRecord* c, Point local) {
  const int16_t part = HitDialogControl(c, local);
  if (!part) return 0;
  if (c->procID != pushButProc && c->procID != checkBoxProc && c->procID != radioButProc)
    return part;
  HiliteControl(c, part);
  while (StillDown()) {
    Point m = MouseGlobal();
    m.h = static_cast<int16_t>(m.h - c->window->bounds.left + c->window->port.origin.h);
    m.v = static_cast<int16_t>(m.v - c->window->bounds.top + c->window->port.origin.v);
    const int16_t now = HitDialogControl(c, m) ? part : 0;
    if (now != c->hilite) HiliteControl(c, now);
  }
  const bool inside = c->hilite != 0;
  HiliteControl(c, 0);
  return inside ? part : 0;
}

void DisposeDialogControl(ControlRecord* c) {
  if (c->window && c->window->focus == c) c->window->focus = nullptr;
  if (c->te) TEDispose(c->te);
  c->te = nullptr;
}

// ---- Titles, data and focus -------------------------------------------------------

void SetControlTitle(ControlRef c, ConstStringPtr title) {
  c->title.assign(reinterpret_cast<const char*>(title + 1), title[0]);
  if (c->visible) DrawControlNow(c);
}

void GetControlTitle(ControlRef c, Str255& title) {
  title.setBytes(c->title.data(), c->title.size());
}

void HiliteControl(ControlRef c, int16_t part) {
  if (c->hilite == part) return;
  c->hilite = part;
  if (c->visible) DrawControlNow(c);
}

void SetControlDefaultRing(ControlRef c, bool ring) {
  c->defaultRing = ring;
  if (c->visible) DrawControlNow(c);
}

OSErr SetControlData(ControlRef c, ControlPartCode, ResType tag, int32_t size, const void* data) {
  if (size < 0) return paramErr;
  const char* bytes = static_cast<const char*>(data);
  if (IsEdit(c) && (tag == kControlEditTextTextTag || tag == kControlEditTextPasswordTag)) {
    TESetText(bytes, size, c->te);
  } else if (c->procID == kControlStaticTextProc && tag == kControlStaticTextTextTag) {
    c->title.assign(bytes, static_cast<size_t>(size));
  } else if (c->procID == kControlClockDateProc && tag == kControlClockLongDateTag) {
    if (size != static_cast<int32_t>(sizeof(DateTimeRec))) return paramErr;
    std::memcpy(&c->date, data, sizeof(DateTimeRec));
    SetDateField(c, 0, c->date.month);
    SetDateField(c, 2, c->date.year);
    SetDateField(c, 1, c->date.day);
  } else if (c->procID == kControlPopupButtonProc && tag == kControlPopupButtonMenuIDTag) {
    if (size != static_cast<int32_t>(sizeof(int16_t))) return paramErr;
    std::memcpy(&c->menuID, data, sizeof(int16_t));
  } else if (c->procID == kControlTabSmallProc && tag == kControlTabTitlesTag) {
    c->tabs.clear();
    std::string all(bytes, static_cast<size_t>(size));
    size_t at = 0;
    for (;;) {
      const size_t cr = all.find('\r', at);
      c->tabs.push_back(all.substr(at, cr == std::string::npos ? std::string::npos : cr - at));
      if (cr == std::string::npos) break;
      at = cr + 1;
    }
    c->maximum = static_cast<int16_t>(c->tabs.size());
  } else {
    return errDataNotSupported;
  }
  if (c->visible) DrawControlNow(c);
  return noErr;
}

OSErr GetControlData(ControlRef c, ControlPartCode, ResType tag, int32_t bufferSize, void* buffer,
                     int32_t* actualSize) {
  std::string text;
  const void* from = nullptr;
  size_t size = 0;
  if (IsEdit(c) && tag == kControlEditTextPasswordTag) {
    from = c->te->text.data();
    size = c->te->text.size();
  } else if (IsEdit(c) && tag == kControlEditTextTextTag) {
    text = c->te->mask ? std::string(c->te->text.size(), static_cast<char>(c->te->mask))
                       : c->te->text;
    from = text.data();
    size = text.size();
  } else if (IsEdit(c) && tag == kControlEditTextTEHandleTag) {
    from = &c->te;
    size = sizeof(TEHandle);
  } else if (c->procID == kControlStaticTextProc && tag == kControlStaticTextTextTag) {
    from = c->title.data();
    size = c->title.size();
  } else if (c->procID == kControlClockDateProc && tag == kControlClockLongDateTag) {
    static DateTimeRec date;  // a year still being typed reads as the nearest valid one
    date = c->date;
    date.year = static_cast<int16_t>(std::clamp<int>(date.year, 1904, 2040));
    from = &date;
    size = sizeof(DateTimeRec);
  } else if (c->procID == kControlPopupButtonProc && tag == kControlPopupButtonMenuIDTag) {
    from = &c->menuID;
    size = sizeof(int16_t);
  } else {
    return errDataNotSupported;
  }
  if (actualSize) *actualSize = static_cast<int32_t>(size);
  if (buffer && bufferSize > 0)
    std::memcpy(buffer, from, std::min(size, static_cast<size_t>(bufferSize)));
  return noErr;
}

OSErr GetControlDataSize(ControlRef c, ControlPartCode part, ResType tag, int32_t* size) {
  return GetControlData(c, part, tag, 0, nullptr, size);
}

OSErr SetKeyboardFocus(WindowRef window, ControlRef control, ControlPartCode part) {
  if (!control || control->window != window) return paramErr;
  if (!IsEdit(control) && control->procID != kControlClockDateProc) return errDataNotSupported;
  ClearKeyboardFocus(window);
  window->focus = control;
  if (control->te) {
    control->te->selStart = 0;
    control->te->selEnd = TEGetLength(control->te);
    control->te->anchor = 0;
    control->te->active = true;
  } else {
    SetPart(control, part >= 1 && part <= 3 ? part : 1);  // a date part, else the first
  }
  if (control->visible) DrawControlNow(control);
  return noErr;
}

OSErr ClearKeyboardFocus(WindowRef window) {
  ControlRecord* old = window->focus;
  window->focus = nullptr;
  if (!old) return noErr;
  if (old->te) old->te->active = false;
  old->datePart = 0;
  old->dateTyped = 0;
  if (old->procID == kControlClockDateProc) SetDateField(old, 2, old->date.year);
  if (old->visible) DrawControlNow(old);
  return noErr;
}

OSErr GetKeyboardFocus(WindowRef window, ControlRef* control) {
  *control = window->focus;
  return noErr;
}

ControlPartCode HandleControlKey(ControlRef c, unsigned char key, uint16_t) {
  if (!c->active) return kControlNoPart;
  if (c->te) {
    PortState state(&c->window->port);
    TEKey(key, c->te);
    return kControlEditTextPart;
  }
  if (c->procID != kControlClockDateProc) return kControlNoPart;
  if (c->datePart < 1) SetPart(c, 1);
  switch (key) {
    case kUpArrowCharCode:
      StepDate(c, 1);
      break;
    case kDownArrowCharCode:
      StepDate(c, -1);
      break;
    case kLeftArrowCharCode:
      SetPart(c, c->datePart - 1);
      break;
    case kRightArrowCharCode:
      SetPart(c, c->datePart + 1);
      break;
    default: {
      if (key < '0' || key > '9') return kControlNoPart;
      PortState state(&c->window->port);
      UseDialogFont(c);
      const int field = LayoutDate(c).field[c->datePart - 1];
      const int digits = field == 2 ? 4 : 2;
      const int typed = c->dateTyped == 0 ? key - '0' : FieldValue(c, field) * 10 + key - '0';
      if (field == 2) {
        c->date.year = static_cast<int16_t>(typed);  // whole once four digits are in
        if (c->dateTyped + 1 >= digits) SetDateField(c, 2, typed);
      } else if (typed >= 1) {
        SetDateField(c, field, typed);
      }
      c->dateTyped = static_cast<int16_t>(c->dateTyped + 1 >= digits ? 0 : c->dateTyped + 1);
      break;
    }
  }
  if (c->visible) DrawControlNow(c);
  return kControlClockPart;
}

void HandleControlClick(ControlRef c, Point p, uint16_t modifiers) {
  if (c->te) {
    PortState state(&c->window->port);
    TEClick(p, (modifiers & shiftKey) != 0, c->te);
    return;
  }
  if (c->procID != kControlClockDateProc) return;
  const Rect step = StepperBox(c);
  if (PtInRect(p, &step)) {
    StepDate(c, p.v < step.top + Height(step) / 2 ? 1 : -1);
  } else {
    PortState state(&c->window->port);
    UseDialogFont(c);
    const DateLayout d = LayoutDate(c);
    int part = 3;
    for (int i = 0; i < 2; ++i) {
      if (p.h < (d.right[i] + d.left[i + 1]) / 2) {
        part = i + 1;
        break;
      }
    }
    SetPart(c, part);
  }
  if (c->visible) DrawControlNow(c);
}

void IdleControls(WindowRef window) {
  ControlRecord* f = window->focus;
  if (f && f->te && f->visible) TEIdle(f->te);
}
