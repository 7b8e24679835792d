#include "marktally/reports/export_buffer.h"

#include <cstdio>
#include <string>

#include "marktally/model/document.h"  // gWindows1252

#include "marktally/common/macroman.h"

uint8_t gExportSchool = 0;
uint8_t gExportSubject = 0;
uint8_t gExportTerm = 0;
uint8_t gExportTeacher = 0;
uint8_t gExportIDs = 0;
uint8_t gExportNames = 1;
uint8_t gExportComments = 0;
uint8_t gExportEmails = 0;
uint8_t gExportDates = 0;
uint8_t gExportAssignments = 0;
uint8_t gExportCategories = 0;
uint8_t gExportPoints = 0;
uint8_t gExportScores = 0;
uint8_t gExportExamPcts = 0;
uint8_t gExportExamGrades = 0;
uint8_t gExportTermPcts = 0;
uint8_t gExportTermGrades = 0;
uint8_t gExportSemePcts = 0;
uint8_t gExportSemeGrades = 0;
uint8_t gExportYearPcts = 0;
uint8_t gExportYearGrades = 0;
uint8_t gExportTardies = 0;
uint8_t gExportAbsences = 0;
uint8_t gExportCodes = 0;
uint16_t gExportFormat = 1;
Str15 gExportDelimiter = [] {
  Str15 s{};
  s.setC("\t");
  return s;
}();
uint8_t gExportHTML = 0;
uint8_t gTeacherWeb = 0;

uint8_t gEmailReport = 0;
unsigned char gEmailBuffer[kEmailBufferSize] = {};
uint32_t gEmailBufferLength = 0;

void ResetExportOptions() {
  for (uint8_t* flag :
       {&gExportSchool, &gExportSubject, &gExportTerm, &gExportTeacher, &gExportIDs,
        &gExportComments, &gExportEmails, &gExportDates, &gExportAssignments,
        &gExportCategories, &gExportPoints, &gExportScores, &gExportExamPcts,
        &gExportExamGrades, &gExportTermPcts, &gExportTermGrades, &gExportSemePcts,
        &gExportSemeGrades, &gExportYearPcts, &gExportYearGrades, &gExportTardies,
        &gExportAbsences, &gExportCodes, &gExportHTML, &gTeacherWeb})
    *flag = 0;
  gExportNames = 1;
  SetExportFormat(1);
}

void SetExportFormat(uint16_t format) {
  gExportFormat = format;
  gExportDelimiter.setC(format == 1 ? "\t" : ",");
}

namespace {

bool WriteOut(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer) {
  const bool written = WriteBlock(spec, refNum, buffer.text(), buffer.length());
  buffer.clear();
  return written;
}

// A tab as well as the comma and the line ends: a reader told the file is comma-separated
// still splits at a tab when it guesses the delimiter.
bool NeedsQuotes(ConstStringPtr item) {
  if (gExportFormat == 2) return true;
  for (int i = 1; i <= item[0]; i++) {
    const unsigned char c = item[i];
    if (c == '"' || c == ',' || c == '\t' || c == '\r' || c == '\n') return true;
  }
  return false;
}

}  // namespace

bool WriteBlock(const FileSpec& spec, FileRef& refNum, const unsigned char* bytes,
                size_t count) {
  while (count > 0) {
    int32_t n = count > 0x40000000 ? 0x40000000 : static_cast<int32_t>(count);
    const int32_t wanted = n;
    const OSErr err = FSWrite(refNum, n, bytes);
    if (err != noErr || n != wanted) {
      Str255 name{};
      GetFileName(spec, name);
      HandleError(name, err != noErr ? err : static_cast<OSErr>(ioErr));
      FSClose(refNum);
      refNum = kNoFile;
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

void QuoteItem(ConstStringPtr item, std::string& out) {
  const int n = item[0];
  const char* text = reinterpret_cast<const char*>(item + 1);
  if (gExportFormat != 2 && gExportFormat != 3) {
    const size_t start = out.size();
    out.append(text, static_cast<size_t>(n));
    for (size_t i = start; i < out.size(); i++)
      if (out[i] == '\t' || out[i] == '\r' || out[i] == '\n') out[i] = ' ';
    return;
  }
  if (!NeedsQuotes(item)) {
    out.append(text, static_cast<size_t>(n));
    return;
  }
  out += '"';
  for (int i = 0; i < n; i++) {
    if (text[i] == '"') out += '"';
    out += text[i];
  }
  out += '"';
}

bool FlushBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer) {
  if (gEmailReport) return true;
  return WriteOut(spec, refNum, buffer);
}

bool AppendToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                    ConstStringPtr piece) {
  const uint32_t n = piece[0];
  if (gEmailReport) {
    if (gEmailBufferLength + n > kEmailBufferSize - 1) return false;
    std::memcpy(gEmailBuffer + gEmailBufferLength, piece + 1, n);
    gEmailBufferLength += n;
    gEmailBuffer[gEmailBufferLength] = 0;
    return true;
  }
  if (buffer.length() + n >= 256 && !WriteOut(spec, refNum, buffer)) return false;
  std::memcpy(buffer.text() + buffer.length(), piece + 1, n);
  buffer[0] = static_cast<unsigned char>(buffer.length() + n);
  return true;
}

bool AppendBytesToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                         const unsigned char* bytes, size_t count) {
  while (count > 0) {
    const size_t n = count < 255 ? count : 255;
    Str255 piece{};
    piece.setBytes(bytes, n);
    if (!AppendToBuffer(spec, refNum, buffer, piece)) return false;
    bytes += n;
    count -= n;
  }
  return true;
}

bool WriteFileWhole(const FileSpec& target, const FileWriter& write, bool durable) {
  Str255 name{};
  GetFileName(target, name);
  SafeSave save(target);
  FileRef ref = kNoFile;
  OSErr err = save.Begin(ref);
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  WriteBuffer buffer{};
  // A failed append has been reported and has closed the file.
  if (!write(target, ref, buffer) || !FlushBuffer(target, ref, buffer)) {
    if (ref != kNoFile) FSClose(ref);
    return false;
  }
  err = durable ? FlushFile(ref) : noErr;
  const OSErr closed = FSClose(ref);
  if (err == noErr) err = closed;
  if (err == noErr) err = save.Commit(durable);
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  return true;
}

bool AppendItemToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        ConstStringPtr item) {
  // Doubled quotes can make the item twice as long as a piece: it goes out in parts.
  std::string text;
  QuoteItem(item, text);
  return AppendBytesToBuffer(spec, refNum, buffer,
                             reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void ConvertQuotes(ConstStringPtr item, Str255& result) {
  if (gExportFormat != 2 && gExportFormat != 3) {
    result.set(item);
    return;
  }
  unsigned char out[256] = {};
  int length = 0;
  for (int i = 1; i <= item[0]; i++) {
    const int need = item[i] == '"' ? 2 : 1;
    if (length + need > 255) break;
    out[1 + length++] = item[i];
    if (need == 2) out[1 + length++] = '"';
  }
  result.setBytes(out + 1, static_cast<size_t>(length));
}

namespace {

// The named entity of a Mac Roman byte in page text, or null.
const char* HtmlTextEntity(unsigned char c) {
  switch (c) {
    case 0x2F: return "&frasl;";
    case 0xAD: return "&ne;";
    case 0xB0: return "&infin;";
    case 0xB2: return "&le;";
    case 0xB3: return "&ge;";
    case 0xB6: return "&part;";
    case 0xB7: return "&sum;";
    case 0xB8: return "&prod;";
    case 0xB9: return "&pi;";
    case 0xBA: return "&int;";
    case 0xC3: return "&radic;";
    case 0xC5: return "&asymp;";
    case 0xC6: return "&Delta;";
    default: return nullptr;
  }
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

void AppendEscapedByte(std::string& out, unsigned char c, Markup mode) {
  const bool page = mode == Markup::kHtmlText || mode == Markup::kHtmlLink;
  switch (c) {
    case '"': out += "&quot;"; return;
    case '<': out += "&lt;"; return;
    case '>': out += "&gt;"; return;
    case '&': out += mode == Markup::kHtmlLink ? "&" : "&amp;"; return;
    case '\'': out += mode == Markup::kHtmlLink ? "'" : "&#39;"; return;
    default: break;
  }
  // Inside a link the slash stays a slash, but the signs that have no Windows-1252 place
  // still need their names: a reference to that place would show a control character.
  if (mode == Markup::kHtmlText || (mode == Markup::kHtmlLink && c >= 0x80)) {
    if (const char* entity = HtmlTextEntity(c)) {
      out += entity;
      return;
    }
  }
  char reference[16] = {};
  if (c >= 0x80) {
    if (page)
      std::snprintf(reference, sizeof reference, "&#%03d;",
                    static_cast<int>(gWindows1252[c - 0x80]));
    else
      std::snprintf(reference, sizeof reference, "&#%d;", static_cast<int>(MacRomanToUnicode(c)));
    out += reference;
    return;
  }
  if (mode == Markup::kXml && (c == '\t' || c == '\r')) {
    out += c == '\t' ? "&#9;" : "&#13;";
    return;
  }
  if (page && (c == '\t' || c == '\n' || c == '\r')) {
    out += static_cast<char>(c);
    return;
  }
  out += IsControl(c) ? ' ' : static_cast<char>(c);
}

bool AppendEscapedToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                           ConstStringPtr text, Markup mode) {
  std::string out;
  out.reserve(static_cast<size_t>(text[0]) * 2);
  for (int i = 1; i <= text[0]; i++) AppendEscapedByte(out, text[i], mode);
  return AppendBytesToBuffer(spec, refNum, buffer,
                             reinterpret_cast<const unsigned char*>(out.data()), out.size());
}

bool AppendEscapedHTML(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                       ConstStringPtr text) {
  return AppendEscapedToBuffer(spec, refNum, buffer, text, Markup::kHtmlAttribute);
}
