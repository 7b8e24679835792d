// QuickDraw over QImage: every fill, frame, line and inversion is done on the pixels
// directly, so the results are exact; only glyphs go through QPainter.
#include "marktally/toolbox/quickdraw.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "marktally/common/platform.h"
#include "marktally/toolbox/internal.h"

namespace {

const Pattern kBlack{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
const Pattern kWhite{{0, 0, 0, 0, 0, 0, 0, 0}};
const Pattern kGray{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}};
// The highlight colour of selections; a fixed light blue so that pictures are the
// same on every desktop.
const QRgb kHiliteColor = qRgb(0xB3, 0xD7, 0xFF);
const QRect kWideOpen(-32767, -32767, 65534, 65534);

QRegion LocalToPixels(const GrafPort* p, const QRegion& local) {
  return local.translated(-p->origin.h, -p->origin.v);
}

QRegion LocalRect(const Rect* r) { return QRegion(ToQRect(*r)); }

// Paper takes the fills as rectangles of one colour: a pattern of all ones is the
// foreground, of no ones the background, anything between a gray.
void MirrorFill(GrafPort* p, const QRegion& local, const Pattern& pat, int16_t mode) {
  if (!p->mirror || (mode != patCopy && mode != patOr && mode != srcCopy && mode != srcOr)) return;
  const QRegion area = LocalToPixels(p, local) & EffectiveClip(p);
  if (area.isEmpty()) return;
  int ones = 0;
  for (uint8_t row : pat.pat) ones += __builtin_popcount(row);
  if (ones == 0 && mode != patCopy && mode != srcCopy) return;
  const QColor fore(ToQRgb(p->foreColor)), back(ToQRgb(p->backColor));
  QColor color = ones == 64 ? fore : ones == 0 ? back : QColor(0x80, 0x80, 0x80);
  for (const QRect& r : area) p->mirror->fillRect(r, color);
}

void PaintWithPen(GrafPort* p, const QRegion& local) {
  MirrorFill(p, local, p->pnPat, p->pnMode);
  FillPixels(p, LocalToPixels(p, local), p->pnPat, p->pnMode, ToQRgb(p->foreColor),
             ToQRgb(p->backColor));
}

void Erase(GrafPort* p, const QRegion& local) {
  MirrorFill(p, local, kWhite, patCopy);
  FillPixels(p, LocalToPixels(p, local), kWhite, patCopy, ToQRgb(p->foreColor),
             ToQRgb(p->backColor));
}

// The pen swept from a to b: a pen-sized rectangle at every point of the line.
QRegion PenLine(const GrafPort* p, Point a, Point b) {
  const int pw = p->pnSize.h, ph = p->pnSize.v;
  if (pw <= 0 || ph <= 0) return QRegion();
  if (a.v == b.v || a.h == b.h) {
    const int left = std::min(a.h, b.h), top = std::min(a.v, b.v);
    const int right = std::max(a.h, b.h) + pw, bottom = std::max(a.v, b.v) + ph;
    return QRegion(left, top, right - left, bottom - top);
  }
  QRegion swept;
  int x = a.h, y = a.v;
  const int dx = std::abs(b.h - a.h), dy = -std::abs(b.v - a.v);
  const int sx = a.h < b.h ? 1 : -1, sy = a.v < b.v ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    swept += QRect(x, y, pw, ph);
    if (x == b.h && y == b.v) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  return swept;
}

bool TakeHiliteMode() {
  Toolbox& tb = TB();
  const bool hilite = (tb.hiliteMode & (1u << hiliteBit)) == 0;
  tb.hiliteMode = static_cast<uint8_t>(tb.hiliteMode | (1u << hiliteBit));
  return hilite;
}

void Invert(GrafPort* p, const QRegion& local) {
  InvertPixels(p, LocalToPixels(p, local), TakeHiliteMode());
}

}  // namespace

bool SectRect(const Rect* a, const Rect* b, Rect* result) {
  Rect r{std::max(a->top, b->top), std::max(a->left, b->left), std::min(a->bottom, b->bottom),
         std::min(a->right, b->right)};
  if (EmptyRect(&r)) r = Rect{0, 0, 0, 0};
  *result = r;
  return !EmptyRect(&r);
}

void UnionRect(const Rect* a, const Rect* b, Rect* result) {
  if (EmptyRect(a)) {
    *result = *b;
    return;
  }
  if (EmptyRect(b)) {
    *result = *a;
    return;
  }
  *result = Rect{std::min(a->top, b->top), std::min(a->left, b->left),
                 std::max(a->bottom, b->bottom), std::max(a->right, b->right)};
}

// ---- The pixel engine -------------------------------------------------------------

GrafPort* CurrentPort() { return TB().current; }

void InitPort(GrafPort* port, int width, int height) {
  port->image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  port->image.fill(Qt::white);
  port->vis = QRegion(0, 0, width, height);
  port->clip = QRegion(kWideOpen);
  port->pixMap.port = port;
  port->bitMap.port = port;
}

void InitPaperPort(GrafPort* port, int width, int height) {
  port->image = QImage();
  port->vis = QRegion(0, 0, width, height);
  port->clip = QRegion(kWideOpen);
  port->pixMap.port = port;
  port->bitMap.port = port;
}

void ResizePortImage(GrafPort* port, int width, int height) {
  QImage next(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  next.fill(Qt::white);
  QPainter painter(&next);
  painter.drawImage(0, 0, port->image);
  painter.end();
  port->image = next;
  port->vis = QRegion(0, 0, width, height);
}

QRegion EffectiveClip(const GrafPort* port) {
  const QRegion visible = LocalToPixels(port, port->clip) & port->vis;
  return port->image.isNull() ? visible : visible & QRegion(port->image.rect());
}

void FillPixels(GrafPort* port, const QRegion& pixels, const Pattern& pat, int16_t mode, QRgb fore,
                QRgb back) {
  if (port->image.isNull()) return;
  const QRegion area = pixels & EffectiveClip(port);
  if (area.isEmpty()) return;
  for (const QRect& r : area) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(port->image.scanLine(y));
      const unsigned row = pat.pat[y & 7];
      for (int x = r.left(); x <= r.right(); ++x) {
        const bool bit = (row >> (7 - (x & 7))) & 1u;
        switch (mode) {
          case patOr:
          case srcOr:
            if (bit) line[x] = fore;
            break;
          case patXor:
            if (bit) line[x] ^= 0x00FFFFFFu;
            break;
          case patBic:
            if (bit) line[x] = back;
            break;
          default:
            line[x] = bit ? fore : back;
            break;
        }
      }
    }
  }
  MarkPortChanged(port);
}

void InvertPixels(GrafPort* port, const QRegion& pixels, bool hilite) {
  if (port->image.isNull()) return;
  const QRegion area = pixels & EffectiveClip(port);
  if (area.isEmpty()) return;
  const QRgb back = ToQRgb(port->backColor);
  for (const QRect& r : area) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(port->image.scanLine(y));
      for (int x = r.left(); x <= r.right(); ++x) {
        if (!hilite) {
          line[x] ^= 0x00FFFFFFu;
        } else if (line[x] == back) {
          line[x] = kHiliteColor;
        } else if (line[x] == kHiliteColor) {
          line[x] = back;
        }
      }
    }
  }
  MarkPortChanged(port);
}

void MarkPortChanged(GrafPort* port) {
  if (port->window) FlushWindowDisplay(port->window);
}

PortState::PortState(GrafPort* use) : saved_(TB().current), port_(use) {
  pnLoc_ = use->pnLoc;
  pnSize_ = use->pnSize;
  pnPat_ = use->pnPat;
  pnMode_ = use->pnMode;
  fore_ = use->foreColor;
  back_ = use->backColor;
  txFont_ = use->txFont;
  txSize_ = use->txSize;
  txFace_ = use->txFace;
  TB().current = use;
  PenNormal();
  ForeColor(blackColor);
  BackColor(whiteColor);
}

PortState::~PortState() {
  port_->pnLoc = pnLoc_;
  port_->pnSize = pnSize_;
  port_->pnPat = pnPat_;
  port_->pnMode = pnMode_;
  port_->foreColor = fore_;
  port_->backColor = back_;
  port_->txFont = txFont_;
  port_->txSize = txSize_;
  port_->txFace = txFace_;
  TB().current = saved_;
}

// ---- Ports ------------------------------------------------------------------------

void GetPort(GrafPtr* port) { *port = TB().current; }
void SetPort(GrafPtr port) { TB().current = port; }

Rect* GetPortBounds(CGrafPtr port, Rect* bounds) {
  // A printed page has no image: its size is that of its visible region.
  const QSize size = port->image.isNull() ? port->vis.boundingRect().size() : port->image.size();
  *bounds = Rect{port->origin.v, port->origin.h,
                 static_cast<int16_t>(port->origin.v + size.height()),
                 static_cast<int16_t>(port->origin.h + size.width())};
  return bounds;
}

RgnHandle GetPortVisibleRegion(CGrafPtr port, RgnHandle visRgn) {
  visRgn->rgn = port->vis.translated(port->origin.h, port->origin.v);
  return visRgn;
}

void SetOrigin(int16_t h, int16_t v) {
  if (GrafPort* p = CurrentPort()) p->origin = Point{v, h};
}

void ClipRect(const Rect* r) {
  if (GrafPort* p = CurrentPort()) p->clip = LocalRect(r);
}
void GetClip(RgnHandle rgn) {
  if (GrafPort* p = CurrentPort()) rgn->rgn = p->clip;
}
void SetClip(RgnHandle rgn) {
  if (GrafPort* p = CurrentPort()) p->clip = rgn->rgn;
}

void LocalToGlobal(Point* pt) {
  GrafPort* p = CurrentPort();
  if (!p) return;
  int h = pt->h - p->origin.h, v = pt->v - p->origin.v;
  if (p->window) {
    h += p->window->bounds.left;
    v += p->window->bounds.top;
  }
  pt->h = static_cast<int16_t>(h);
  pt->v = static_cast<int16_t>(v);
}

void GlobalToLocal(Point* pt) {
  GrafPort* p = CurrentPort();
  if (!p) return;
  int h = pt->h + p->origin.h, v = pt->v + p->origin.v;
  if (p->window) {
    h -= p->window->bounds.left;
    v -= p->window->bounds.top;
  }
  pt->h = static_cast<int16_t>(h);
  pt->v = static_cast<int16_t>(v);
}

// ---- Regions ----------------------------------------------------------------------

RgnHandle NewRgn() { return new Region; }
void DisposeRgn(RgnHandle rgn) { delete rgn; }
void RectRgn(RgnHandle rgn, const Rect* r) { rgn->rgn = LocalRect(r); }
void SetRectRgn(RgnHandle rgn, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  Rect r{top, left, bottom, right};
  RectRgn(rgn, &r);
}
void SetEmptyRgn(RgnHandle rgn) { rgn->rgn = QRegion(); }
void CopyRgn(RgnHandle src, RgnHandle dst) { dst->rgn = src->rgn; }
void UnionRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { dst->rgn = a->rgn | b->rgn; }
void SectRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { dst->rgn = a->rgn & b->rgn; }
void DiffRgn(RgnHandle a, RgnHandle b, RgnHandle dst) { dst->rgn = a->rgn - b->rgn; }
void OffsetRgn(RgnHandle rgn, int16_t dh, int16_t dv) { rgn->rgn.translate(dh, dv); }
bool EmptyRgn(RgnHandle rgn) { return rgn->rgn.isEmpty(); }
bool EqualRgn(RgnHandle a, RgnHandle b) { return a->rgn == b->rgn; }
bool PtInRgn(Point p, RgnHandle rgn) { return rgn->rgn.contains(QPoint(p.h, p.v)); }
Rect* GetRegionBounds(RgnHandle rgn, Rect* bounds) {
  *bounds = FromQRect(rgn->rgn.boundingRect());
  return bounds;
}

// ---- Pen and colour ---------------------------------------------------------------

Pattern* GetQDGlobalsBlack(Pattern* pat) {
  *pat = kBlack;
  return pat;
}
Pattern* GetQDGlobalsWhite(Pattern* pat) {
  *pat = kWhite;
  return pat;
}
Pattern* GetQDGlobalsGray(Pattern* pat) {
  *pat = kGray;
  return pat;
}

void PenNormal() {
  if (GrafPort* p = CurrentPort()) {
    p->pnSize = Point{1, 1};
    p->pnPat = kBlack;
    p->pnMode = patCopy;
  }
}
void PenSize(int16_t width, int16_t height) {
  if (GrafPort* p = CurrentPort()) p->pnSize = Point{height, width};
}
void PenPat(const Pattern* pat) {
  if (GrafPort* p = CurrentPort()) p->pnPat = *pat;
}
void PenMode(int16_t mode) {
  if (GrafPort* p = CurrentPort()) p->pnMode = mode;
}
void GetPen(Point* pt) {
  if (GrafPort* p = CurrentPort()) *pt = p->pnLoc;
}
void MoveTo(int16_t h, int16_t v) {
  if (GrafPort* p = CurrentPort()) p->pnLoc = Point{v, h};
}
void Move(int16_t dh, int16_t dv) {
  if (GrafPort* p = CurrentPort())
    p->pnLoc = Point{static_cast<int16_t>(p->pnLoc.v + dv), static_cast<int16_t>(p->pnLoc.h + dh)};
}
void LineTo(int16_t h, int16_t v) {
  GrafPort* p = CurrentPort();
  if (!p) return;
  const Point to{v, h};
  PaintWithPen(p, PenLine(p, p->pnLoc, to));
  p->pnLoc = to;
}
void Line(int16_t dh, int16_t dv) {
  if (GrafPort* p = CurrentPort())
    LineTo(static_cast<int16_t>(p->pnLoc.h + dh), static_cast<int16_t>(p->pnLoc.v + dv));
}

namespace {
RGBColor ClassicColor(int32_t color) {
  return color == whiteColor ? RGBColor{0xFFFF, 0xFFFF, 0xFFFF} : RGBColor{0, 0, 0};
}
}  // namespace

void ForeColor(int32_t color) {
  if (GrafPort* p = CurrentPort()) p->foreColor = ClassicColor(color);
}
void BackColor(int32_t color) {
  if (GrafPort* p = CurrentPort()) p->backColor = ClassicColor(color);
}
void RGBForeColor(const RGBColor* color) {
  if (GrafPort* p = CurrentPort()) p->foreColor = *color;
}
void RGBBackColor(const RGBColor* color) {
  if (GrafPort* p = CurrentPort()) p->backColor = *color;
}
void GetForeColor(RGBColor* color) {
  if (GrafPort* p = CurrentPort()) *color = p->foreColor;
}
void GetBackColor(RGBColor* color) {
  if (GrafPort* p = CurrentPort()) *color = p->backColor;
}

// ---- Shapes -----------------------------------------------------------------------

void FrameRect(const Rect* r) {
  GrafPort* p = CurrentPort();
  if (!p || EmptyRect(r) || p->pnSize.h <= 0 || p->pnSize.v <= 0) return;
  Rect inner = *r;
  InsetRect(&inner, p->pnSize.h, p->pnSize.v);
  PaintWithPen(p, LocalRect(r) - LocalRect(&inner));
}
void PaintRect(const Rect* r) {
  if (GrafPort* p = CurrentPort()) PaintWithPen(p, LocalRect(r));
}
void EraseRect(const Rect* r) {
  if (GrafPort* p = CurrentPort()) Erase(p, LocalRect(r));
}
void FillRect(const Rect* r, const Pattern* pat) {
  if (GrafPort* p = CurrentPort()) MirrorFill(p, LocalRect(r), *pat, patCopy);
  if (GrafPort* p = CurrentPort())
    FillPixels(p, LocalToPixels(p, LocalRect(r)), *pat, patCopy, ToQRgb(p->foreColor),
               ToQRgb(p->backColor));
}
void InvertRect(const Rect* r) {
  if (GrafPort* p = CurrentPort()) Invert(p, LocalRect(r));
}
void PaintRgn(RgnHandle rgn) {
  if (GrafPort* p = CurrentPort()) PaintWithPen(p, rgn->rgn);
}
void EraseRgn(RgnHandle rgn) {
  if (GrafPort* p = CurrentPort()) Erase(p, rgn->rgn);
}
void FillRgn(RgnHandle rgn, const Pattern* pat) {
  if (GrafPort* p = CurrentPort())
    FillPixels(p, LocalToPixels(p, rgn->rgn), *pat, patCopy, ToQRgb(p->foreColor),
               ToQRgb(p->backColor));
}
void InvertRgn(RgnHandle rgn) {
  if (GrafPort* p = CurrentPort()) Invert(p, rgn->rgn);
}

void HiliteRgn(RgnHandle rgn, bool lit) {
  GrafPort* p = CurrentPort();
  if (!p || !rgn || p->image.isNull()) return;
  const QRegion area = LocalToPixels(p, rgn->rgn) & EffectiveClip(p);
  if (area.isEmpty()) return;
  const QRgb back = ToQRgb(p->backColor);
  const QRgb from = lit ? back : kHiliteColor, to = lit ? kHiliteColor : back;
  for (const QRect& r : area) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(p->image.scanLine(y));
      for (int x = r.left(); x <= r.right(); ++x)
        if (line[x] == from) line[x] = to;
    }
  }
  MarkPortChanged(p);
}

uint8_t LMGetHiliteMode() { return TB().hiliteMode; }
void LMSetHiliteMode(uint8_t mode) { TB().hiliteMode = mode; }

// ---- Text -------------------------------------------------------------------------

struct FontEntry {
  QFont font;
  int widths[256] = {};
  // Paper's side, made when the font first reaches paper: the font as paper takes it,
  // and each character's glyph in it, 0 where the font has none and a fallback draws it.
  bool paperReady = false;
  QFont paperFont;
  QRawFont paperGlyphFont;
  quint32 paperGlyphs[256] = {};
};

void FontEntryDeleter::operator()(FontEntry* entry) const { delete entry; }

namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Italic.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-BoldItalic.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf",
};

const char* FamilyOf(int16_t font) {
  return font == kArialFontNumber ? "Liberation Sans" : "DejaVu Sans";
}

FontEntry* FontFor(int16_t font, int16_t size, Style face) {
  if (size <= 0) size = 12;
  if (size > 255) size = 255;
  face &= bold | italic | underline;
  const uint32_t key = (static_cast<uint32_t>(static_cast<uint16_t>(font)) << 16) |
                       (static_cast<uint32_t>(size) << 8) | face;
  Toolbox& tb = TB();
  auto it = tb.fonts.find(key);
  if (it != tb.fonts.end()) return it->second.get();
  auto* entry = new FontEntry;
  tb.fonts[key].reset(entry);
  QFont& f = entry->font;
  f.setFamily(QString::fromLatin1(FamilyOf(font)));
  f.setPixelSize(size);
  f.setBold(face & bold);
  f.setItalic(face & italic);
  f.setUnderline(face & underline);
  f.setKerning(false);
  f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias |
                                          QFont::NoFontMerging | QFont::PreferMatch));
  // Widths come from the fonts' own advances, which no hinting engine changes, so that
  // every machine lays text out alike; glyphs are drawn hinted, to be crisp.
  QFont unhinted = f;
  unhinted.setHintingPreference(QFont::PreferNoHinting);
  f.setHintingPreference(QFont::PreferFullHinting);
  const QFontMetrics metrics(unhinted);
  for (int c = 0; c < 256; ++c) {
    entry->widths[c] =
        c < 32
            ? 0
            : metrics.horizontalAdvance(QChar(MacRomanToUnicode(static_cast<unsigned char>(c))));
  }
  return entry;
}

FontEntry* CurrentFont() {
  const GrafPort* p = CurrentPort();
  return p ? FontFor(p->txFont, p->txSize, p->txFace) : FontFor(systemFont, 12, normal);
}

int MeasureText(const unsigned char* text, int count) {
  const FontEntry* f = CurrentFont();
  int width = 0;
  for (int i = 0; i < count; ++i) width += f->widths[text[i]];
  return width;
}

void PreparePaper(FontEntry* f) {
  if (f->paperReady) return;
  f->paperReady = true;
  f->paperFont = f->font;
  f->paperFont.setStyleStrategy(QFont::PreferMatch);
  f->paperFont.setHintingPreference(QFont::PreferNoHinting);
  // An underline is drawn under each character as it always was: no glyphs of their own.
  if (f->font.underline()) return;
  f->paperGlyphFont = QRawFont::fromFont(f->paperFont);
  if (!f->paperGlyphFont.isValid()) return;
  for (int c = 32; c < 256; ++c) {
    const QList<quint32> glyphs = f->paperGlyphFont.glyphIndexesForString(
        QString(QChar(MacRomanToUnicode(static_cast<unsigned char>(c)))));
    f->paperGlyphs[c] = glyphs.size() == 1 ? glyphs[0] : 0;
  }
}

// Glyphs on paper are outlines, each at its place on the page's pixel grid so that the
// layout is the screen's. A text goes to paper as one run of glyphs from the font's own
// table, not shaped character by character; a character the font lacks is drawn on its
// own, in its place in the text, through the fallback fonts.
void MirrorText(GrafPort* p, FontEntry* f, const QRegion& clip, const unsigned char* bytes,
                int count) {
  PreparePaper(f);
  QPainter& painter = *p->mirror;
  painter.save();
  painter.setClipRegion(clip);
  painter.setPen(QColor(ToQRgb(p->foreColor)));
  const int y = p->pnLoc.v - p->origin.v;
  int dx = p->pnLoc.h - p->origin.h;
  QList<quint32> glyphs;
  QList<QPointF> positions;
  glyphs.reserve(count);
  positions.reserve(count);
  bool fontSet = false;
  const auto drawRun = [&] {
    if (glyphs.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(f->paperGlyphFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
    glyphs.clear();
    positions.clear();
  };
  for (int i = 0; i < count; ++i) {
    const unsigned char c = bytes[i];
    if (c >= 32 && f->paperGlyphs[c] != 0) {
      glyphs.append(f->paperGlyphs[c]);
      positions.append(QPointF(dx, y));
    } else if (c >= 32) {
      drawRun();
      if (!fontSet) painter.setFont(f->paperFont);
      fontSet = true;
      painter.drawText(QPointF(dx, y), QString(QChar(MacRomanToUnicode(c))));
    }
    dx += f->widths[c];
  }
  drawRun();
  painter.restore();
}

}  // namespace

void LoadFonts() {
  for (const char* file : kFontFiles) {
    if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0)
      std::fprintf(stderr, "marktally: cannot load the font file %s\n", file);
  }
  InstallFontMeasure();
}

void InstallFontMeasure() { SetTextWidthFunction(MeasureText); }

void GetFNum(ConstStringPtr name, int16_t* familyID) {
  const QString n = MacToQString(name).toLower();
  if (n == QLatin1String("arial"))
    *familyID = kArialFontNumber;
  else if (n == QLatin1String("geneva"))
    *familyID = kGenevaFontNumber;
  else
    *familyID = 0;
}

void TextFont(int16_t font) {
  if (GrafPort* p = CurrentPort()) p->txFont = font;
}
void TextSize(int16_t size) {
  if (GrafPort* p = CurrentPort()) p->txSize = size;
}
void TextFace(Style face) {
  if (GrafPort* p = CurrentPort()) p->txFace = face;
}

void DrawText(const void* text, int16_t firstByte, int16_t byteCount) {
  GrafPort* p = CurrentPort();
  if (!p || byteCount <= 0) return;
  const auto* bytes = static_cast<const unsigned char*>(text) + firstByte;
  if (p->logging) {
    p->log.push_back(TextDrawRecord{std::string(reinterpret_cast<const char*>(bytes), byteCount),
                                    p->pnLoc, p->txFont, p->txSize, p->txFace});
  }
  FontEntry* f = FontFor(p->txFont, p->txSize, p->txFace);
  int x = p->pnLoc.h;
  const QRegion clip = EffectiveClip(p);
  if (!clip.isEmpty() && !p->image.isNull()) {
    QPainter painter(&p->image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRegion(clip);
    painter.setFont(f->font);
    painter.setPen(QColor(ToQRgb(p->foreColor)));
    const int y = p->pnLoc.v - p->origin.v;
    int dx = x - p->origin.h;
    for (int i = 0; i < byteCount; ++i) {
      if (bytes[i] >= 32)
        painter.drawText(QPoint(dx, y), QString(QChar(MacRomanToUnicode(bytes[i]))));
      dx += f->widths[bytes[i]];
    }
    painter.end();
    MarkPortChanged(p);
  }
  if (!clip.isEmpty() && p->mirror) MirrorText(p, f, clip, bytes, byteCount);
  for (int i = 0; i < byteCount; ++i) x += f->widths[bytes[i]];
  p->pnLoc.h = static_cast<int16_t>(x);
}

void DrawString(ConstStringPtr s) { DrawText(s, 1, s[0]); }

int16_t GetPortTextFont(CGrafPtr port) { return port->txFont; }
int16_t GetPortTextSize(CGrafPtr port) { return port->txSize; }
Style GetPortTextFace(CGrafPtr port) { return port->txFace; }

void GetFontInfo(FontInfo* info) {
  const FontEntry* f = CurrentFont();
  const QFontMetrics m(f->font);
  info->ascent = static_cast<int16_t>(m.ascent());
  info->descent = static_cast<int16_t>(m.descent());
  info->widMax = static_cast<int16_t>(*std::max_element(f->widths, f->widths + 256));
  info->leading = static_cast<int16_t>(std::max(m.leading(), 0));
}

// ---- Offscreen worlds and bit copies ---------------------------------------------

OSErr NewGWorld(GWorldPtr* world, int16_t depth, const Rect* bounds, void*, GDHandle,
                GWorldFlags) {
  *world = nullptr;
  if ((depth != 0 && depth != 32) || EmptyRect(bounds)) return paramErr;
  auto* p = new GrafPort;
  InitPort(p, bounds->right - bounds->left, bounds->bottom - bounds->top);
  p->origin = Point{bounds->top, bounds->left};
  p->gworld = true;
  *world = p;
  return noErr;
}

void DisposeGWorld(GWorldPtr world) {
  if (!world) return;
  if (TB().current == world) TB().current = nullptr;
  delete world;
}

void GetGWorld(CGrafPtr* port, GDHandle* device) {
  *port = TB().current;
  if (device) *device = GetMainDevice();
}
void SetGWorld(CGrafPtr port, GDHandle) { TB().current = port; }

PixMapHandle GetGWorldPixMap(GWorldPtr world) { return &world->pixMap; }
PixMapHandle GetPortPixMap(CGrafPtr port) { return &port->pixMap; }
bool LockPixels(PixMapHandle) { return true; }
void UnlockPixels(PixMapHandle) {}
char* GetPixBaseAddr(PixMapHandle pm) { return reinterpret_cast<char*>(pm->port->image.bits()); }
int32_t GetPixRowBytes(PixMapHandle pm) {
  return static_cast<int32_t>(pm->port->image.bytesPerLine());
}
int16_t GetPixDepth(PixMapHandle) { return 32; }
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port) { return &port->bitMap; }

void CopyBits(const BitMap* src, const BitMap* dst, const Rect* srcRect, const Rect* dstRect,
              int16_t, RgnHandle maskRgn) {
  GrafPort* s = src->port;
  GrafPort* d = dst->port;
  QRect from = ToQRect(*srcRect).translated(-s->origin.h, -s->origin.v);
  QRect to = ToQRect(*dstRect).translated(-d->origin.h, -d->origin.v);
  if (from.isEmpty() || to.isEmpty()) return;
  QImage piece;
  if (from.size() == to.size()) {
    const QRect inside = from & s->image.rect();
    if (inside.isEmpty()) return;
    to = QRect(to.topLeft() + (inside.topLeft() - from.topLeft()), inside.size());
    piece = s->image.copy(inside);
  } else {
    piece = s->image.copy(from).scaled(to.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  QRegion area = EffectiveClip(d) & to;
  if (maskRgn) area &= LocalToPixels(d, maskRgn->rgn);
  if (!d->image.isNull()) {
    for (const QRect& r : area) {
      for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(piece.constScanLine(y - to.top()));
        QRgb* out = reinterpret_cast<QRgb*>(d->image.scanLine(y));
        std::copy(in + (r.left() - to.left()), in + (r.right() + 1 - to.left()), out + r.left());
      }
    }
    MarkPortChanged(d);
  }
  // Images (the turned column titles) reach paper as images, at the same place.
  if (d->mirror && !area.isEmpty()) {
    d->mirror->save();
    d->mirror->setClipRegion(area);
    d->mirror->drawImage(to.topLeft(), piece);
    d->mirror->restore();
  }
}

void ScrollRect(const Rect* r, int16_t dh, int16_t dv, RgnHandle updateRgn) {
  GrafPort* p = CurrentPort();
  if (!p) return;
  if (p->image.isNull()) {
    if (updateRgn) updateRgn->rgn = QRegion();
    return;
  }
  const QRegion area = LocalToPixels(p, LocalRect(r)) & EffectiveClip(p);
  const QRegion moved = area.translated(dh, dv) & area;
  if (!moved.isEmpty()) {
    const QImage before = p->image.copy(area.boundingRect());
    const QPoint at = area.boundingRect().topLeft();
    for (const QRect& m : moved) {
      for (int y = m.top(); y <= m.bottom(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(before.constScanLine(y - dv - at.y()));
        QRgb* out = reinterpret_cast<QRgb*>(p->image.scanLine(y));
        for (int x = m.left(); x <= m.right(); ++x) out[x] = in[x - dh - at.x()];
      }
    }
  }
  const QRegion exposed = area - moved;
  FillPixels(p, exposed, kWhite, patCopy, ToQRgb(p->foreColor), ToQRgb(p->backColor));
  MarkPortChanged(p);
  if (updateRgn) updateRgn->rgn = exposed.translated(p->origin.h, p->origin.v);
}
