// One student's report as HTML: bare tables for the body of a page, which the callers
// (the class web site, the e-mail reports, the upload file) frame into a document. Every
// typed text reaches the output through AppendHTMLToBuffer, so the mark-up is pure ASCII.
#pragma once

#include <cstdint>

#include "marktally/model/fileutil.h"
#include "marktally/reports/export_buffer.h"

// Whether the heading of a student report carries the student's line (ID and name). The
// callers set it for the length of one export and clear it on every way out.
extern uint8_t gShowStudentName;

// One typed text: entities for mark-up and mathematical characters, three-digit numeric
// references for other bytes above 127, and web and e-mail addresses made links. Inside a
// link the quote, angle brackets and bytes above 127 are escaped as well, so an address
// can never leave its attribute or element. Answers the result of the last write.
bool AppendHTMLToBuffer(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        ConstStringPtr text);

// The four report kinds of the current term; false at the first failed write (a file
// error has been reported and the file closed; in e-mail mode the buffer is full).
bool ExportStudentReportBody(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                             int16_t s);
bool ExportStudentSummary(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                          int16_t s);
bool ExportStudentDates(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        int16_t s);
bool ExportStudentMissing(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                          int16_t s);

// The body of a report view (student scores, summary, attendance, missing work); true and
// nothing written for any other view.
bool ExportStudentViewBody(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                           uint16_t view, int16_t s);
