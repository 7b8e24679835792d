// The output road of every file writer: a small write buffer in front of the open file
// (or, while an e-mail report is built, one fixed memory buffer), the export options
// that the text export reads, and the quoting of one data item.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "marktally/model/fileutil.h"
#include "marktally/model/types.h"

// ---- ExportOptions: column groups (0 off, 1 on), kept until the program quits --------
extern uint8_t gExportSchool;
extern uint8_t gExportSubject;
extern uint8_t gExportTerm;
extern uint8_t gExportTeacher;
extern uint8_t gExportIDs;
extern uint8_t gExportNames;
extern uint8_t gExportComments;
extern uint8_t gExportEmails;
extern uint8_t gExportDates;
extern uint8_t gExportAssignments;
extern uint8_t gExportCategories;
extern uint8_t gExportPoints;
extern uint8_t gExportScores;
extern uint8_t gExportExamPcts;
extern uint8_t gExportExamGrades;
extern uint8_t gExportTermPcts;
extern uint8_t gExportTermGrades;
extern uint8_t gExportSemePcts;
extern uint8_t gExportSemeGrades;
extern uint8_t gExportYearPcts;
extern uint8_t gExportYearGrades;
extern uint8_t gExportTardies;
extern uint8_t gExportAbsences;
extern uint8_t gExportCodes;
// 1 tab-delimited, never quoted; 2 comma, every item quoted; 3 comma, quoted when needed.
extern uint16_t gExportFormat;
extern Str15 gExportDelimiter;
extern uint8_t gExportHTML;
extern uint8_t gTeacherWeb;  // the ID is written again after the name

// Back to the values the program starts with (tests).
void ResetExportOptions();
// The format and its delimiter together: a tab for 1, a comma for 2 and 3.
void SetExportFormat(uint16_t format);

// ---- The e-mail buffer ---------------------------------------------------------------
constexpr uint32_t kEmailBufferSize = 65536;
extern uint8_t gEmailReport;
extern unsigned char gEmailBuffer[kEmailBufferSize];
extern uint32_t gEmailBufferLength;  // text bytes; a zero byte always follows them

// ---- Appending -----------------------------------------------------------------------
// The write buffer of one file, owned by its writer; empty once the file is opened.
using WriteBuffer = Str255;

// Appends a piece of 0 to 255 bytes. The buffer goes to the file first whenever the
// piece would not fit; a failed write is reported (the file's name), the file closed,
// and false answered. In e-mail mode the piece joins gEmailBuffer, or is refused (no
// alert) when the text would pass 65535 bytes.
bool AppendToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                    ConstStringPtr piece);
// The same for bytes of any length, in pieces of at most 255.
bool AppendBytesToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                         const unsigned char* bytes, size_t count);
inline bool AppendCToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                            const char* text) {
  return AppendBytesToBuffer(spec, refNum, buffer, reinterpret_cast<const unsigned char*>(text),
                             std::strlen(text));
}
// Writes what the buffer holds and empties it; false (reported, file closed) on failure.
bool FlushBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer);

// Writes bytes of any count to the open file at once; a failed write is reported (the
// file's name), the file closed, and false answered.
bool WriteBlock(const FileSpec& spec, FileRef& refNum, const unsigned char* bytes,
                size_t count);
// What a writer appends through the buffer; spec names the target in every message.
using FileWriter =
    std::function<bool(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer)>;
// Writes the file beside its target and puts it in place only once it is whole
// (SafeSave): a kill, a full disk or a failed write leaves the old file, or none, never a
// part of one. Every failure is reported with the target's name. Durable sends the data
// to the disk before the rename; the pages of a site skip that, as 250 pages would wait on
// the disk 250 times and a page is cheaply written again.
bool WriteFileWhole(const FileSpec& target, const FileWriter& write, bool durable = true);

// One data item in the quoting of gExportFormat (without the delimiter). Format 1 turns
// a tab, CR or LF inside the item into a blank, so that it can never split a row or
// shift a column; formats 2 and 3 quote such an item, doubling its quotes, whatever its
// length. QuoteItem appends the same bytes to a string.
void QuoteItem(ConstStringPtr item, std::string& out);
bool AppendItemToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        ConstStringPtr item);
// The item with every double quote doubled (formats 2 and 3), unchanged for format 1;
// the result holds at most 255 bytes and never ends inside a doubled quote.
void ConvertQuotes(ConstStringPtr item, Str255& result);

// How a typed (Mac Roman) byte is written into mark-up, by where it goes. Every mode gives
// pure ASCII: markup characters as entities, bytes above 127 as references, and a control
// byte (below 32 or 127) that the mark-up cannot carry as a blank.
//   kHtmlText       student and report pages: "/" as &frasl;, named entities for the
//                   math signs, other bytes above 127 as &#NNN; of their Windows-1252
//                   value; tab, LF and CR kept (white space)
//   kHtmlLink       a link or address in a page: only quotes and angle brackets as
//                   entities, bytes above 127 as in kHtmlText
//   kHtmlAttribute  cells of the grades page and values of the upload file: bytes above
//                   127 as &#N; of their Unicode character; tab, LF and CR as blanks
//   kXml            the XML files: as kHtmlAttribute, but tab and CR as &#9; and &#13;
//                   (a reader folds a raw CR into LF, a raw tab in an attribute into a
//                   blank)
enum class Markup { kHtmlText, kHtmlLink, kHtmlAttribute, kXml };
void AppendEscapedByte(std::string& out, unsigned char c, Markup mode);
// The text escaped byte by byte, through the buffer.
bool AppendEscapedToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                           ConstStringPtr text, Markup mode);
// One typed text as an HTML attribute value or table cell (kHtmlAttribute).
bool AppendEscapedHTML(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                       ConstStringPtr text);
