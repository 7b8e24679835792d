// The one document window: what it shows, the zoom and its pixel units, the scroll
// bars and the page placard, activation, and where the grids start scrolled.
#pragma once

#include <cstdint>

#include "marktally/reports/report_host.h"
#include "marktally/toolbox/controls.h"

// ViewKind (report_host.h) is in gCurrView.
extern WindowRef gWindow;  // null when no class is open
extern ControlRef gVScrollBar;
extern ControlRef gHScrollBar;
extern ControlRef gPlacard;
extern uint8_t gActive;
extern uint16_t gCurrView;
extern int16_t gZoom;  // 5, 6 or 7
extern int16_t gTitleWidth;
extern int16_t gMaxColumns;  // columns of the grid view shown
extern int16_t gLastColumn;  // the last of them; -1 for an attendance term without school days
extern uint16_t gCurrPage;   // first and last printed page in sight, from 0
extern uint16_t gLastPage;
extern int16_t gScrollBarSize;
extern int16_t gMenuBarHeight;

// ---- Units of the zoom -------------------------------------------------------------
inline int ZoomLine() { return 12 * gZoom / 5; }                // L, a report line
inline int RowHeight() { return 4 * gZoom; }                    // a grid row
inline int ColumnWidth() { return 8 * gZoom; }                  // a grid column
inline int TitleBandBottom() { return 30 * gZoom + ZoomLine() + 2; }
// The bottom of the grid's header, where the first row starts (without the margin).
inline int HeaderBottom() { return 34 * gZoom + ZoomLine() + 4 * gZoom / 5; }
inline int NumberColumnRight() { return 32 * gZoom / 5; }       // x0, without the margin
inline int GradeColumnWidth() { return 16 * gZoom; }
inline int TitleWidthFor(uint8_t flags) {
  const bool both = (flags & 0x60) == 0x60;
  return both ? 62 * gZoom + 32 * gZoom / 5 : 46 * gZoom + 32 * gZoom / 5;
}
inline bool IsGridView() { return gCurrView <= kAttendanceView; }
inline bool IsReportView() { return gCurrView >= kClassGradesView; }

// ---- The window ------------------------------------------------------------------
void MakeNewDocument();
void MakeNewWindow(ConstStringPtr title);
void MakeNewScrollBars();
void AdjustScrollBars();
void CloseDocument();
// The port's content: its bounds less the scroll bars (sb - 1 off right and bottom).
Rect ContentRect();
// One update of the window for every view: draw paints the erased content (clipping as it
// needs), then the scroll bars, grow box and placard; then the highlights are laid from
// state (UpdateSelection) and decorate redraws the view's open editor.
void UpdateContent(void (*draw)(const Rect& content), void (*decorate)());

int VPageStep();
int HPageStep();
int VScrollMax();
int HScrollMax();
// The scroll values, 0 without a window; a long report's vertical value passes 16 bits.
int VScrollValue();
int HScrollValue();
// Sets the vertical value, kept within 0..VScrollMax().
void SetVScrollValue(int value);

// ---- Scroll bars and the mouse, for every grid view ---------------------------------
// One call of a live scroll procedure: the arrows and the paging parts move the bar, the
// thumb has moved itself (old holds its value from where the drag began, or from the
// previous call of this drag); scroll takes the difference, in the bar's units.
void TrackBar(ControlRef bar, int16_t part, int page, uint16_t& old, void (*scroll)(int));
// A click in a scroll bar, tracked with the view's live procedures; a thumb drag starts
// from the bar's value.
void TrackScrollBar(int16_t part, Point where, ControlRef control, ControlActionUPP vertical,
                    ControlActionUPP horizontal);
// The wheel moves the bar by delta within its range, and scroll takes what it moved.
void WheelBar(ControlRef bar, int32_t delta, void (*scroll)(int));
// The mouse in the window's own coordinates.
Point LocalMouse();

void TopOfPage();
void ScrollGrid(bool resetVertical);
void ComputePageNumber();
void ComputeReportPage();
void UpdatePageNumber();
void HidePageNumber();
void ActivateMainWindow();
void DeactivateMainWindow();

// The window's modified mark follows the document's change flag.
void InstallDocumentChangedHook();
// Reads the theme's menu-bar height and scroll-bar width.
void SetupThemes();
