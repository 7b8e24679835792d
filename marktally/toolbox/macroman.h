// Mac Roman <-> Unicode at the desktop boundary. The program keeps all its text as
// Mac Roman bytes; only the toolbox converts, when text goes to or comes from Qt
// (drawing, window titles, menus, the clipboard, preferences).
#pragma once

#include <string>

// The Unicode code point of a Mac Roman byte (bytes below 0x80 are ASCII).
char16_t MacRomanToUnicode(unsigned char c);
// The Mac Roman byte for a code point; false (and '?') when Mac Roman has none.
bool UnicodeToMacRoman(char32_t u, unsigned char* out);

// UTF-8 <-> Mac Roman; characters Mac Roman lacks become '?'.
std::string MacRomanToUtf8(const std::string& macRoman);
std::string Utf8ToMacRoman(const std::string& utf8);
