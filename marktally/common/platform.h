// What the model asks of the desktop: the clock, the calendar, the region's date format,
// Mac Roman text comparison, the random generator, text widths, alerts and the
// "document changed" notice. The model ships plain defaults; the toolbox installs the
// real ones at start-up and tests install their own doubles.
#pragma once

#include <functional>

#include "marktally/common/str.h"

// ---- Clock and calendar -----------------------------------------------------------
// Seconds since 1 January 1904, local wall-clock time.
uint32_t GetDateTime();
// Fixes the clock at a value (tests); 0 returns to the real clock.
void SetClockForTesting(uint32_t seconds);

struct DateTimeRec {
  int16_t year;       // e.g. 2026
  int16_t month;      // 1..12
  int16_t day;        // 1..31
  int16_t hour;       // 0..23
  int16_t minute;
  int16_t second;
  int16_t dayOfWeek;  // Sunday 1 .. Saturday 7
};
// Calendar arithmetic on local seconds since 1904 (no time zone is involved: the
// seconds are already local). Years 1904..2040 round-trip.
void SecondsToDate(uint32_t seconds, DateTimeRec& date);
// Normalises out-of-range fields the way the calendar does (31 April is 1 May);
// dayOfWeek is ignored.
void DateToSeconds(const DateTimeRec& date, uint32_t& seconds);
// Seconds since 1904 local time for a Unix time, and back, using the C library's
// time zone.
uint32_t UnixToMacLocal(int64_t unixTime);
int64_t MacLocalToUnix(uint32_t seconds);

// ---- Region date format ------------------------------------------------------------
struct RegionDateFormat {
  bool present = true;            // false: the region says nothing, keep the defaults
  int shortOrder = 0;             // 0 month-day-year, 1 day-month-year, 2 year-month-day
  int longOrder = 0;              // same numbering, for dates with the month's name
  unsigned char separator = '/';  // of numeric dates
};
// From the C library's locale (LC_TIME), or the override set for tests.
RegionDateFormat GetRegionDateFormat();
void SetRegionDateFormatForTesting(const RegionDateFormat* format);  // null: the locale

// ---- Mac Roman text comparison -----------------------------------------------------
// -1, 0 or 1; without caseSens upper and lower case are equal, without diacSens
// accented letters equal their base letters.
int16_t RelString(ConstStringPtr a, ConstStringPtr b, bool caseSens, bool diacSens);
bool EqualString(ConstStringPtr a, ConstStringPtr b, bool caseSens, bool diacSens);

// ---- Random numbers ----------------------------------------------------------------
extern int32_t gRandSeed;
// The next value of the seeded 16-bit generator (-32767..32767).
int16_t Random();

// ---- Text width --------------------------------------------------------------------
// Pixel width of text in the current font. The drawing layer installs the real
// measure; by default every byte is 6 pixels wide.
using TextWidthFunction = std::function<int(const unsigned char* text, int count)>;
void SetTextWidthFunction(TextWidthFunction f);  // empty: the default
int TextWidth(const unsigned char* text, int count);
inline int StringWidth(ConstStringPtr s) { return TextWidth(s + 1, s[0]); }

// ---- Alerts ------------------------------------------------------------------------
enum AlertKind { kStopAlert = 0, kNoteAlert = 1, kCautionAlert = 2 };
// The buttons an alert offers; the answer is the 1-based button number.
enum AlertButtons {
  kAlertOK = 0,              // OK (1)
  kAlertYesNo = 1,           // Yes (1), No (2)
  kAlertRevertCancel = 2,    // Revert (1), Cancel (2)
  kAlertSaveCancelDont = 3,  // Save (1), Cancel (2), Don't Save (3)
};
struct AlertRequest {
  AlertKind kind;
  AlertButtons buttons;
  std::string title;  // Mac Roman
  std::string text;   // Mac Roman
};
using AlertSink = std::function<int16_t(const AlertRequest&)>;
void SetAlertSink(AlertSink sink);  // empty: the default, which prints and answers 1
int16_t ShowModelAlert(AlertKind kind, AlertButtons buttons, ConstStringPtr title,
                       ConstStringPtr text);

// ---- Document changed --------------------------------------------------------------
// Called by SetChanged so that the window can show its modified mark.
void SetDocumentChangedHook(std::function<void(bool)> hook);
void NotifyDocumentChanged(bool changed);
