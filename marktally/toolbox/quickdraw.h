// Drawing with QuickDraw's rules, pixel for pixel, antialiasing off.
//
// Ports. Every port (a window's or an offscreen world's) owns its own image; windows
// only show theirs. One port is current (`SetPort`, `GetPort`); all drawing goes to
// it, in its local coordinates. `SetOrigin(h, v)` makes (h, v) the local coordinate
// of the image's top-left pixel; the clip region stays in local coordinates, so it
// moves over the pixels with the origin. Drawing is clipped to the clip region and
// to the visible region (during a window update, the part being updated).
//
// Geometry. Rectangles are half-open. The pen is a rectangle that hangs below and to
// the right of its location: `FrameRect` lies inside its rectangle, and `LineTo`
// sweeps the pen from the old to the new location, both ends included.
//
// Paint. `PaintRect` and the lines use the pen's pattern and mode; `EraseRect` fills
// with the background colour; `FillRect` with a given pattern (pattern bits 1 take
// the foreground colour, 0 the background). `InvertRect` inverts the colours, or,
// when the hilite-mode bit has just been cleared (`LMSetHiliteMode`), swaps the
// background colour with the highlight colour; either way, twice restores the pixels.
// The gray pattern paints pixel (x, y) black when x + y is even.
//
// Text. Fonts by number (`GetFNum` finds "Arial" and "Geneva"; 0 and 1 are the system
// and application fonts), size in pixels, face bits. "Arial" draws in Liberation
// Sans, "Geneva" (and 0, 1) in DejaVu Sans, loaded from the installed font files so
// that widths are the same everywhere: each character is as wide as the font's own
// advance at that size, rounded to whole pixels, with no kerning. `DrawString` draws
// in the foreground colour over what is there, at the pen (baseline), and advances
// the pen by the model's `StringWidth`, which the toolbox measures with the current
// port's font. Text is Mac Roman bytes.
//
// Offscreen worlds. `NewGWorld` makes a port with 32-bit pixels (0xFFRRGGBB words in
// host byte order) that the program may read and write through its pixel map while
// the world exists;
// `CopyBits` copies between ports (source copy). `ScrollRect` shifts the pixels of a
// rectangle and returns the uncovered region, erased.
#pragma once

#include "marktally/toolbox/qdtypes.h"

struct GrafPort;
struct Region;
struct PixMap;
struct BitMap;
struct GDevice;
using GrafPtr = GrafPort*;
using CGrafPtr = GrafPort*;
using GWorldPtr = GrafPort*;
using RgnHandle = Region*;
using PixMapHandle = PixMap*;
using GDHandle = GDevice*;

// ---- Ports ------------------------------------------------------------------------
void GetPort(GrafPtr* port);
void SetPort(GrafPtr port);
// The port's rectangle in its local coordinates.
Rect* GetPortBounds(CGrafPtr port, Rect* bounds);
// The visible region in local coordinates.
RgnHandle GetPortVisibleRegion(CGrafPtr port, RgnHandle visRgn);
void SetOrigin(int16_t h, int16_t v);
void ClipRect(const Rect* r);
void GetClip(RgnHandle rgn);
void SetClip(RgnHandle rgn);
// Local <-> global (screen) coordinates of the current port's window.
void LocalToGlobal(Point* p);
void GlobalToLocal(Point* p);

// ---- Regions ----------------------------------------------------------------------
RgnHandle NewRgn();
void DisposeRgn(RgnHandle rgn);
void RectRgn(RgnHandle rgn, const Rect* r);
void SetRectRgn(RgnHandle rgn, int16_t left, int16_t top, int16_t right, int16_t bottom);
void SetEmptyRgn(RgnHandle rgn);
void CopyRgn(RgnHandle src, RgnHandle dst);
void UnionRgn(RgnHandle a, RgnHandle b, RgnHandle dst);
void SectRgn(RgnHandle a, RgnHandle b, RgnHandle dst);
void DiffRgn(RgnHandle a, RgnHandle b, RgnHandle dst);
void OffsetRgn(RgnHandle rgn, int16_t dh, int16_t dv);
bool EmptyRgn(RgnHandle rgn);
bool EqualRgn(RgnHandle a, RgnHandle b);
bool PtInRgn(Point p, RgnHandle rgn);
Rect* GetRegionBounds(RgnHandle rgn, Rect* bounds);

// ---- Pen and colour ---------------------------------------------------------------
enum : int16_t {
  srcCopy = 0,
  srcOr = 1,
  patCopy = 8,
  patOr = 9,
  patXor = 10,
  patBic = 11,
};
enum : int32_t { whiteColor = 30, blackColor = 33 };

Pattern* GetQDGlobalsBlack(Pattern* pat);
Pattern* GetQDGlobalsWhite(Pattern* pat);
Pattern* GetQDGlobalsGray(Pattern* pat);  // the 50 % system gray

// One-pixel black pen, pattern copy.
void PenNormal();
void PenSize(int16_t width, int16_t height);
void PenPat(const Pattern* pat);
void PenMode(int16_t mode);
void GetPen(Point* p);
void MoveTo(int16_t h, int16_t v);
void Move(int16_t dh, int16_t dv);
void LineTo(int16_t h, int16_t v);
void Line(int16_t dh, int16_t dv);
void ForeColor(int32_t color);
void BackColor(int32_t color);
void RGBForeColor(const RGBColor* color);
void RGBBackColor(const RGBColor* color);
void GetForeColor(RGBColor* color);
void GetBackColor(RGBColor* color);

// ---- Shapes -----------------------------------------------------------------------
void FrameRect(const Rect* r);
void PaintRect(const Rect* r);
void EraseRect(const Rect* r);
void FillRect(const Rect* r, const Pattern* pat);
void InvertRect(const Rect* r);
void PaintRgn(RgnHandle rgn);
void EraseRgn(RgnHandle rgn);
void FillRgn(RgnHandle rgn, const Pattern* pat);
void InvertRgn(RgnHandle rgn);
// Lays the highlight colour on the background-coloured pixels of rgn (lit) or gives the
// background colour back where the highlight colour is (not lit); other pixels stay.
// Unlike an inversion it is idempotent: lighting a lit pixel changes nothing.
void HiliteRgn(RgnHandle rgn, bool lit);

// The hilite-mode byte: clearing bit `hiliteBit` makes the next inversion swap the
// background colour with the highlight colour; the inversion sets the bit again.
enum : uint8_t { hiliteBit = 7 };
uint8_t LMGetHiliteMode();
void LMSetHiliteMode(uint8_t mode);

// ---- Text -------------------------------------------------------------------------
enum : uint8_t { normal = 0, bold = 1, italic = 2, underline = 4 };
using Style = uint8_t;
enum : int16_t { systemFont = 0, applFont = 1, kGenevaFontNumber = 3, kArialFontNumber = 16 };

// 0 when no font of that name exists.
void GetFNum(ConstStringPtr name, int16_t* familyID);
void TextFont(int16_t font);
void TextSize(int16_t size);  // pixels; 0 is the default, 12
void TextFace(Style face);
void DrawString(ConstStringPtr s);
void DrawText(const void* text, int16_t firstByte, int16_t byteCount);
// The current font's metrics in pixels; a line is ascent + descent + leading high.
struct FontInfo {
  int16_t ascent;
  int16_t descent;
  int16_t widMax;
  int16_t leading;
};
void GetFontInfo(FontInfo* info);
int16_t GetPortTextFont(CGrafPtr port);
int16_t GetPortTextSize(CGrafPtr port);
Style GetPortTextFace(CGrafPtr port);

// ---- Offscreen worlds and bit copies ---------------------------------------------
using GWorldFlags = uint32_t;
enum : uint32_t { noNewDevice = 1u << 1 };
enum : int16_t { kScreenDepth = 32 };

// depth 0 or 32; bounds gives the world's local coordinates. Its image starts white.
OSErr NewGWorld(GWorldPtr* world, int16_t depth, const Rect* bounds, void* colorTable,
                GDHandle device, GWorldFlags flags);
void DisposeGWorld(GWorldPtr world);
void GetGWorld(CGrafPtr* port, GDHandle* device);
void SetGWorld(CGrafPtr port, GDHandle device);
PixMapHandle GetGWorldPixMap(GWorldPtr world);
PixMapHandle GetPortPixMap(CGrafPtr port);
bool LockPixels(PixMapHandle pm);
void UnlockPixels(PixMapHandle pm);
char* GetPixBaseAddr(PixMapHandle pm);
int32_t GetPixRowBytes(PixMapHandle pm);
int16_t GetPixDepth(PixMapHandle pm);
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port);
// Copies srcRect (source local coordinates) onto dstRect (destination local
// coordinates), scaling when the sizes differ, clipped to the destination port's clip
// and visible regions and to maskRgn when given. Every mode acts as source copy.
void CopyBits(const BitMap* src, const BitMap* dst, const Rect* srcRect, const Rect* dstRect,
              int16_t mode, RgnHandle maskRgn);
// Shifts the pixels inside r (clipped as drawing is) by (dh, dv); the area left
// behind is erased and returned in updateRgn (local coordinates).
void ScrollRect(const Rect* r, int16_t dh, int16_t dv, RgnHandle updateRgn);
