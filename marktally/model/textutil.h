// Small text and number routines used throughout the program.
#pragma once

#include "types.h"

extern uint8_t gChanged;  // the document has unsaved changes

// a / b rounded half up, unsigned 32-bit; b must not be 0.
uint32_t Divide(uint32_t a, uint32_t b);
// a / b in tenths of a percent, rounded half up. Wide intermediate, so large totals
// give the true quotient; the result is cut to 32 bits as before.
uint32_t Percent(uint32_t a, uint32_t b);
int16_t Min(int16_t a, int16_t b);
int16_t Max(int16_t a, int16_t b);

// Copies source into destination, cutting it to destination's capacity.
template <int N>
void CopyString(ConstStringPtr source, Str<N>& destination) {
  destination.set(source);
}
// Appends source (which may be destination itself), cutting at the capacity.
template <int N>
void Append(Str<N>& destination, ConstStringPtr source) {
  unsigned char local[256] = {};
  std::memcpy(local, source, source[0] + 1u);
  // A length byte read from a file may claim more than the capacity: it counts as full.
  const int have = destination.length() < N ? destination.length() : N;
  const int count = local[0] < N - have ? local[0] : N - have;
  std::memcpy(destination.text() + have, local + 1, static_cast<size_t>(count));
  destination[0] = static_cast<unsigned char>(have + count);
}
inline void AppendC(Str255& destination, const char* s) { Append(destination, PStr(s)); }

// Copies source without leading and trailing characters below 33; control characters
// inside become blanks.
void StripBlanks(ConstStringPtr source, Str255& destination);
// Shortens source to fit width - 4 pixels of the current font, ending in an ellipsis.
void TrimString(ConstStringPtr source, Str255& destination, uint16_t width);
// Drops a final ".mtb", ".htm" or ".html" in any case.
void StripExtension(ConstStringPtr source, Str255& destination);
// Marks the document changed (or not) and tells the window.
void SetChanged(uint8_t flag);

// Start-up and event hooks that the desktop needs nothing from.
inline void MaxApplicationZone() {}
inline void SetupToolbox() {}
inline void DoSystemTask() {}
inline void DoAppleMenuChoice() {}
