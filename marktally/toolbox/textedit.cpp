// TextEdit over our QuickDraw: layout, drawing, selection, keys and the private scrap.
#include "marktally/toolbox/textedit.h"

#include <algorithm>

#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/events.h"
#include "marktally/toolbox/internal.h"

namespace {

constexpr size_t kMaxTextLength = 32767;

std::string gScrap;
// The first character of the desktop clipboard that gScrap could not hold.
char32_t gScrapUnstorable = 0;

// The record's port made current with its font, for measuring and drawing.
class TEPort {
 public:
  explicit TEPort(TEHandle te) : state_(te->inPort) {
    TextFont(te->txFont);
    TextSize(te->txSize);
    TextFace(te->txFace);
  }

 private:
  PortState state_;
};

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Width of bytes [from, to) as the record shows them.
int Width(TEHandle te, int from, int to) {
  if (to <= from) return 0;
  if (te->mask) return (to - from) * TextWidth(&te->mask, 1);
  return TextWidth(Bytes(te->text) + from, to - from);
}

int Length(TEHandle te) { return static_cast<int>(te->text.size()); }
int LineCount(TEHandle te) { return static_cast<int>(te->lineStarts.size()) - 1; }

// The end of line k without its carriage return.
int LineEnd(TEHandle te, int k) {
  int end = te->lineStarts[k + 1];
  if (end > te->lineStarts[k] && te->text[end - 1] == '\r') --end;
  return end;
}

int LineOf(TEHandle te, int offset) {
  int k = 0;
  while (k + 1 < LineCount(te) && te->lineStarts[k + 1] <= offset) ++k;
  return k;
}

int DestWidth(TEHandle te) { return te->destRect.right - te->destRect.left; }

// Left edge of line k's text, justification and scrolling included.
int LineLeft(TEHandle te, int k) {
  int x = te->destRect.left - te->scrollH;
  if (te->crOnly >= 0 && te->just != teFlushLeft && te->just != teFlushDefault) {
    const int slack = DestWidth(te) - Width(te, te->lineStarts[k], LineEnd(te, k));
    x += te->just == teCenter ? slack / 2 : slack;
  }
  return x;
}

int LineTop(TEHandle te, int k) { return te->destRect.top - te->scrollV + k * te->lineHeight; }

int OffsetX(TEHandle te, int offset) {
  const int k = LineOf(te, offset);
  return LineLeft(te, k) + Width(te, te->lineStarts[k], offset);
}

void Layout(TEHandle te) {
  TEPort port(te);
  FontInfo info;
  GetFontInfo(&info);
  te->fontAscent = info.ascent;
  te->lineHeight = static_cast<int16_t>(info.ascent + info.descent + info.leading);
  if (te->crOnly < 0) {
    te->lineStarts = {0, Length(te)};
  } else if (te->mask) {
    // A mask has no words to break at: cut by width alone.
    te->lineStarts = {0};
    const int w = std::max(TextWidth(&te->mask, 1), 1);
    const int perLine = std::max(DestWidth(te) / w, 1);
    for (int i = perLine; i < Length(te); i += perLine) te->lineStarts.push_back(i);
    te->lineStarts.push_back(Length(te));
  } else {
    te->lineStarts = WrapLines(Bytes(te->text), Length(te), DestWidth(te));
  }
}

Rect Sect(const Rect& a, const Rect& b) {
  Rect r;
  SectRect(&a, &b, &r);
  return r;
}

Rect CaretRect(TEHandle te) {
  const int k = LineOf(te, te->selEnd);
  const int x = OffsetX(te, te->selEnd);
  const int top = LineTop(te, k);
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(x),
              static_cast<int16_t>(top + te->lineHeight), static_cast<int16_t>(x + 1)};
}

// Clips the port to the view (and r) for the life of the object.
class ViewClip {
 public:
  ViewClip(TEHandle te, const Rect& r) : saved_(NewRgn()), rgn_(NewRgn()) {
    GetClip(saved_);
    const Rect area = Sect(te->viewRect, r);
    RectRgn(rgn_, &area);
    SectRgn(rgn_, saved_, rgn_);
    SetClip(rgn_);
  }
  ~ViewClip() {
    SetClip(saved_);
    DisposeRgn(saved_);
    DisposeRgn(rgn_);
  }
  ViewClip(const ViewClip&) = delete;
  ViewClip& operator=(const ViewClip&) = delete;

 private:
  RgnHandle saved_;
  RgnHandle rgn_;
};

void HiliteSelection(TEHandle te) {
  const int a = te->selStart, b = te->selEnd;
  for (int k = LineOf(te, a); k <= LineOf(te, b) && k < LineCount(te); ++k) {
    const int from = std::max(a, te->lineStarts[k]);
    const bool wholeRest = b > LineEnd(te, k) && k + 1 < LineCount(te);
    const int left = OffsetX(te, from);
    const int right = wholeRest ? te->viewRect.right : OffsetX(te, std::min(b, LineEnd(te, k)));
    if (right <= left) continue;
    const int top = LineTop(te, k);
    const Rect r{static_cast<int16_t>(top), static_cast<int16_t>(left),
                 static_cast<int16_t>(top + te->lineHeight), static_cast<int16_t>(right)};
    LMSetHiliteMode(static_cast<uint8_t>(LMGetHiliteMode() & ~(1u << hiliteBit)));
    InvertRect(&r);
  }
}

void Draw(TEHandle te, const Rect& area) {
  TEPort port(te);
  ViewClip clip(te, area);
  const Rect erase = Sect(te->viewRect, area);
  EraseRect(&erase);
  RGBForeColor(&te->textColor);
  for (int k = 0; k < LineCount(te); ++k) {
    const int top = LineTop(te, k);
    if (top >= te->viewRect.bottom || top + te->lineHeight <= te->viewRect.top) continue;
    MoveTo(static_cast<int16_t>(LineLeft(te, k)), static_cast<int16_t>(top + te->fontAscent));
    const int from = te->lineStarts[k], to = LineEnd(te, k);
    if (te->mask) {
      for (int i = from; i < to; ++i) DrawText(&te->mask, 0, 1);
    } else if (to > from) {
      DrawText(Bytes(te->text), static_cast<int16_t>(from), static_cast<int16_t>(to - from));
    }
  }
  ForeColor(blackColor);
  te->caretShown = false;
  if (!te->active) return;
  if (te->selStart != te->selEnd) {
    HiliteSelection(te);
  } else {
    const Rect caret = CaretRect(te);
    InvertRect(&caret);
    te->caretShown = true;
    te->caretNext = TickCount() + GetCaretTime();
  }
}

void Redraw(TEHandle te) { Draw(te, te->viewRect); }

// Keeps the caret (the selection's end) inside the view.
void ScrollToSelection(TEHandle te) {
  if (!te->autoView) return;
  TEPort port(te);
  if (te->crOnly < 0) {
    const int viewWidth = te->viewRect.right - te->viewRect.left;
    const int textWidth = Width(te, 0, Length(te));
    const int x = te->destRect.left + Width(te, 0, te->selEnd);
    if (x - te->scrollH > te->viewRect.right - 2) te->scrollH = x - (te->viewRect.right - 2);
    if (x - te->scrollH < te->viewRect.left) te->scrollH = x - te->viewRect.left;
    // Nothing hidden on the left when all the text fits.
    const int spare = te->destRect.left + textWidth + 2 - te->scrollH - te->viewRect.right;
    if (spare < 0) te->scrollH = std::max(0, te->scrollH + spare);
    if (textWidth + 2 <= viewWidth) te->scrollH = 0;
    te->scrollH = std::max(te->scrollH, 0);
  } else {
    const int k = LineOf(te, te->selEnd);
    const int top = LineTop(te, k);
    if (top + te->lineHeight > te->viewRect.bottom)
      te->scrollV += top + te->lineHeight - te->viewRect.bottom;
    if (top < te->viewRect.top) te->scrollV -= te->viewRect.top - top;
    te->scrollV = std::max(te->scrollV, 0);
  }
}

void Changed(TEHandle te) {
  Layout(te);
  ScrollToSelection(te);
  Redraw(te);
}

void Replace(TEHandle te, const std::string& with) {
  const size_t room = kMaxTextLength - (te->text.size() - (te->selEnd - te->selStart));
  const std::string piece = with.substr(0, std::min(with.size(), room));
  te->text.replace(te->selStart, te->selEnd - te->selStart, piece);
  te->selStart = te->selEnd = te->anchor = static_cast<int16_t>(te->selStart + piece.size());
  Changed(te);
}

void Select(TEHandle te, int a, int b) {
  a = std::clamp(a, 0, Length(te));
  b = std::clamp(b, 0, Length(te));
  te->selStart = static_cast<int16_t>(std::min(a, b));
  te->selEnd = static_cast<int16_t>(std::max(a, b));
}

bool IsWordByte(unsigned char c) { return c > ' ' && c != '\r'; }

}  // namespace

std::vector<int> WrapLines(const unsigned char* text, int length, int width) {
  std::vector<int> starts{0};
  int i = 0;
  while (i < length) {
    const int lineStart = i;
    int used = 0;
    int lastBreak = -1;
    bool hardBreak = false;
    while (i < length) {
      const unsigned char c = text[i];
      if (c == '\r') {
        ++i;
        hardBreak = true;
        break;
      }
      const int w = TextWidth(&c, 1);
      if (c == ' ') {  // blanks may hang past the edge
        used += w;
        ++i;
        lastBreak = i;
        continue;
      }
      if (used + w > width && i > lineStart) {
        if (lastBreak > lineStart) i = lastBreak;
        break;
      }
      used += w;
      ++i;
    }
    starts.push_back(i);
    // A text that ends with a carriage return has an empty last line.
    if (i == length && hardBreak) starts.push_back(i);
  }
  if (starts.size() == 1) starts.push_back(0);
  return starts;
}

TEHandle TENew(const Rect* destRect, const Rect* viewRect) {
  auto* te = new TERec;
  te->destRect = *destRect;
  te->viewRect = *viewRect;
  GrafPort* port = CurrentPort();
  te->inPort = port;
  te->txFont = port ? port->txFont : int16_t{systemFont};
  te->txSize = port ? port->txSize : int16_t{0};
  te->txFace = port ? port->txFace : Style{normal};
  if (port) Layout(te);
  return te;
}

void TEDispose(TEHandle te) { delete te; }

void TESetText(const void* text, int32_t length, TEHandle te) {
  const auto n = static_cast<size_t>(std::clamp<int32_t>(length, 0, kMaxTextLength));
  te->text.assign(static_cast<const char*>(text), n);
  te->selStart = te->selEnd = te->anchor = static_cast<int16_t>(n);
  te->scrollH = te->scrollV = 0;
  Layout(te);
}

const std::string& TEGetText(TEHandle te) { return te->text; }
int16_t TEGetLength(TEHandle te) { return static_cast<int16_t>(te->text.size()); }

void TESetSelect(int32_t selStart, int32_t selEnd, TEHandle te) {
  Select(te, selStart, selEnd);
  te->anchor = te->selStart;
  ScrollToSelection(te);
  if (te->active) Redraw(te);
}

void TESetAlignment(int16_t just, TEHandle te) { te->just = just; }
void TEAutoView(bool autoView, TEHandle te) { te->autoView = autoView; }
void TECalText(TEHandle te) { Layout(te); }

void TEActivate(TEHandle te) {
  if (te->active) return;
  te->active = true;
  Redraw(te);
}

void TEDeactivate(TEHandle te) {
  if (!te->active) return;
  te->active = false;
  Redraw(te);
}

void TEIdle(TEHandle te) {
  if (!te->active || te->selStart != te->selEnd) return;
  if (TickCount() < te->caretNext) return;
  TEPort port(te);
  ViewClip clip(te, te->viewRect);
  const Rect caret = CaretRect(te);
  InvertRect(&caret);
  te->caretShown = !te->caretShown;
  te->caretNext = TickCount() + GetCaretTime();
}

int16_t TEGetOffset(Point pt, TEHandle te) {
  TEPort port(te);
  int k = (pt.v - (te->destRect.top - te->scrollV)) / std::max<int>(te->lineHeight, 1);
  if (pt.v < te->destRect.top - te->scrollV) k = 0;
  k = std::clamp(k, 0, LineCount(te) - 1);
  const int from = te->lineStarts[k], to = LineEnd(te, k);
  int x = LineLeft(te, k);
  for (int i = from; i < to; ++i) {
    const int w = Width(te, i, i + 1);
    if (pt.h < x + (w + 1) / 2) return static_cast<int16_t>(i);
    x += w;
  }
  return static_cast<int16_t>(to);
}

Point TEGetPoint(int16_t offset, TEHandle te) {
  TEPort port(te);
  const int k = LineOf(te, offset);
  return Point{static_cast<int16_t>(LineTop(te, k) + te->fontAscent),
               static_cast<int16_t>(OffsetX(te, offset))};
}

void TEClick(Point pt, bool extend, TEHandle te) {
  static TEHandle lastTE = nullptr;
  static int lastOffset = -1;
  static uint32_t lastTicks = 0;
  const int offset = TEGetOffset(pt, te);
  const uint32_t now = TickCount();
  if (!extend && te == lastTE && offset == lastOffset && now - lastTicks <= GetDblTime()) {
    int a = offset, b = offset;
    while (a > 0 && IsWordByte(static_cast<unsigned char>(te->text[a - 1]))) --a;
    while (b < Length(te) && IsWordByte(static_cast<unsigned char>(te->text[b]))) ++b;
    Select(te, a, b);
    te->anchor = te->selStart;
    lastTE = nullptr;
    Redraw(te);
    return;
  }
  lastTE = te;
  lastOffset = offset;
  lastTicks = now;
  if (extend) {
    te->anchor = offset < te->selStart ? te->selEnd : te->selStart;
  } else {
    te->anchor = static_cast<int16_t>(offset);
  }
  Select(te, te->anchor, offset);
  Redraw(te);
  while (StillDown()) {
    Point m;
    {
      PortState state(te->inPort);
      GetMouse(&m);
    }
    const int now2 = TEGetOffset(m, te);
    const int a = std::min<int>(te->anchor, now2), b = std::max<int>(te->anchor, now2);
    if (a == te->selStart && b == te->selEnd) continue;
    Select(te, a, b);
    ScrollToSelection(te);
    Redraw(te);
  }
}

void TEKey(unsigned char key, TEHandle te) {
  const int a = te->selStart, b = te->selEnd;
  switch (key) {
    case kBackspaceCharCode:
      if (a == b && a > 0) te->selStart = static_cast<int16_t>(a - 1);
      if (te->selStart != te->selEnd) Replace(te, std::string());
      return;
    case kDeleteCharCode:
      if (a == b && b < Length(te)) te->selEnd = static_cast<int16_t>(b + 1);
      if (te->selStart != te->selEnd) Replace(te, std::string());
      return;
    case kLeftArrowCharCode:
      Select(te, a == b ? a - 1 : a, a == b ? a - 1 : a);
      break;
    case kRightArrowCharCode:
      Select(te, a == b ? b + 1 : b, a == b ? b + 1 : b);
      break;
    case kUpArrowCharCode:
    case kDownArrowCharCode: {
      TEPort port(te);
      const int k =
          LineOf(te, key == kUpArrowCharCode ? a : b) + (key == kUpArrowCharCode ? -1 : 1);
      int to;
      if (k < 0) {
        to = 0;
      } else if (k >= LineCount(te)) {
        to = Length(te);
      } else {
        const Point p = TEGetPoint(static_cast<int16_t>(key == kUpArrowCharCode ? a : b), te);
        to = TEGetOffset(Point{static_cast<int16_t>(LineTop(te, k) + 1), p.h}, te);
      }
      Select(te, to, to);
      break;
    }
    case kHomeCharCode:
      Select(te, 0, 0);
      break;
    case kEndCharCode:
      Select(te, Length(te), Length(te));
      break;
    case kReturnCharCode:
      if (te->crOnly >= 0) Replace(te, std::string(1, '\r'));
      return;
    default:
      if (key < ' ') return;
      Replace(te, std::string(1, static_cast<char>(key)));
      return;
  }
  te->anchor = te->selStart;
  ScrollToSelection(te);
  Redraw(te);
}

void TECopy(TEHandle te) {
  if (te->selStart == te->selEnd) return;
  gScrap = te->text.substr(te->selStart, te->selEnd - te->selStart);
  gScrapUnstorable = 0;
}

void TECut(TEHandle te) {
  if (te->selStart == te->selEnd) return;
  TECopy(te);
  Replace(te, std::string());
}

void TEPaste(TEHandle te) { Replace(te, gScrap); }

void TEDelete(TEHandle te) {
  if (te->selStart != te->selEnd) Replace(te, std::string());
}

void TEInsert(const void* text, int32_t length, TEHandle te) {
  const int16_t end = te->selEnd;
  te->selEnd = te->selStart;
  const size_t before = te->text.size();
  Replace(te, std::string(static_cast<const char*>(text), std::max<int32_t>(length, 0)));
  const auto added = static_cast<int16_t>(te->text.size() - before);
  te->selEnd = static_cast<int16_t>(end + added);
  Redraw(te);
}

void TEUpdate(const Rect* rUpdate, TEHandle te) { Draw(te, *rUpdate); }

void TESelView(TEHandle te) {
  const int h = te->scrollH, v = te->scrollV;
  const bool autoView = te->autoView;
  te->autoView = true;
  ScrollToSelection(te);
  te->autoView = autoView;
  if (h != te->scrollH || v != te->scrollV) Redraw(te);
}

void TETextBox(const void* text, int32_t length, const Rect* box, int16_t just) {
  EraseRect(box);
  const auto* bytes = static_cast<const unsigned char*>(text);
  const int n = std::max<int32_t>(length, 0);
  const std::vector<int> starts = WrapLines(bytes, n, box->right - box->left);
  FontInfo info;
  GetFontInfo(&info);
  const int lineHeight = info.ascent + info.descent + info.leading;
  RgnHandle saved = NewRgn(), area = NewRgn();
  GetClip(saved);
  RectRgn(area, box);
  SectRgn(area, saved, area);
  SetClip(area);
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    int from = starts[k], to = starts[k + 1];
    if (to > from && bytes[to - 1] == '\r') --to;
    const int top = box->top + static_cast<int>(k) * lineHeight;
    if (top >= box->bottom) break;
    int x = box->left;
    if (just == teCenter || just == teFlushRight) {
      const int slack = box->right - box->left - TextWidth(bytes + from, to - from);
      x += just == teCenter ? slack / 2 : slack;
    }
    MoveTo(static_cast<int16_t>(x), static_cast<int16_t>(top + info.ascent));
    if (to > from) DrawText(bytes, static_cast<int16_t>(from), static_cast<int16_t>(to - from));
  }
  SetClip(saved);
  DisposeRgn(saved);
  DisposeRgn(area);
}

OSErr TEFromScrap() {
  std::string text;
  if (!GetScrapText(&text, &gScrapUnstorable)) {
    gScrap.clear();
    return noTypeErr;
  }
  gScrap = text.substr(0, kMaxTextLength);
  return noErr;
}

char32_t TEScrapUnstorable() { return gScrapUnstorable; }

OSErr TEToScrap() { return static_cast<OSErr>(PutScrapText(gScrap)); }
int32_t TEGetScrapLength() { return static_cast<int32_t>(gScrap.size()); }
const std::string& TEGetScrapText() { return gScrap; }
void TESetScrapText(const std::string& macRoman) {
  gScrap = macRoman.substr(0, kMaxTextLength);
  gScrapUnstorable = 0;
}
