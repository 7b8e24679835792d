// Mac Roman <-> Unicode. The program keeps all its text as Mac Roman bytes; the document
// layer (file names) and the toolbox (Qt) convert at their edges through this one table.
#pragma once

#include <string>

#include "marktally/common/str.h"

// The Unicode code point of a Mac Roman byte (bytes below 0x80 are ASCII).
char16_t MacRomanToUnicode(unsigned char c);
// The Mac Roman byte for a code point; false (and '?') when Mac Roman has none.
bool UnicodeToMacRoman(char32_t u, unsigned char* out);

// UTF-8 <-> Mac Roman; characters Mac Roman lacks and bytes that are no UTF-8 become '?'.
std::string MacRomanToUtf8(const std::string& macRoman);
std::string Utf8ToMacRoman(const std::string& utf8);
std::string MacRomanToUtf8(ConstStringPtr text);
void Utf8ToMacRoman(const std::string& utf8, Str255& out);  // cut to 255 bytes

// Decodes one UTF-8 character at text[i]: its code point, or false for a byte that starts
// no well-formed character. length is the bytes used (1 for a bad byte).
bool DecodeUtf8(const std::string& text, size_t i, char32_t& code, size_t& length);
