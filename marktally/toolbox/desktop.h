// The rest of the desktop: cursors, the help tag, the beep, the scrap and the
// program's preferences.
//
// Scrap: the desktop clipboard as plain text. The program puts and gets Mac Roman
// bytes with carriage returns; the clipboard holds Unicode with line feeds.
//
// Preferences: the program's values ("zoom" as a 16-bit number, "window position" as
// text) in the settings file $XDG_CONFIG_HOME/marktally/marktally.conf (default
// ~/.config/marktally/marktally.conf); values are written when synchronised.
#pragma once

#include <string>

#include "marktally/toolbox/qdtypes.h"

// ---- Cursors, help tag, beep ------------------------------------------------------
using ThemeCursor = uint32_t;
enum : uint32_t {
  kThemeArrowCursor = 0,
  kThemeIBeamCursor = 4,
  kThemeWatchCursor = 7,
  kThemeClosedHandCursor = 8,
  kThemeOpenHandCursor = 9,
  kThemePointingHandCursor = 10,
};
OSStatus SetThemeCursor(ThemeCursor cursor);
void InitCursor();  // the arrow

// A help tag: its text shown by the hot rectangle (global coordinates).
struct HMHelpContentRec {
  Rect absHotRect;
  int16_t tagSide;
  Str255 content;  // Mac Roman
};
OSStatus HMDisplayTag(const HMHelpContentRec* tag);
OSStatus HMHideTag();

void SysBeep(int16_t duration);

// ---- Scrap ------------------------------------------------------------------------
OSStatus ClearCurrentScrap();
OSStatus PutScrapText(const std::string& macRoman);
// False when the clipboard holds no text. A character Mac Roman cannot hold reads "?" in
// macRoman; the first such one goes to *unstorable (0 when every one fits).
bool GetScrapText(std::string* macRoman, char32_t* unstorable = nullptr);

// ---- Preferences ------------------------------------------------------------------
// False when the key is missing or not a number in range.
bool CopyAppPreferenceShort(const char* key, int16_t* value);
void SetAppPreferenceShort(const char* key, int16_t value);
// False when the key is missing; the text is cut to maxLength bytes.
bool CopyAppPreferenceString(const char* key, std::string* macRoman, size_t maxLength);
void SetAppPreferenceString(const char* key, const std::string& macRoman);
bool SynchronizeAppPreferences();
