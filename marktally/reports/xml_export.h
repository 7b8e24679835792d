// The XML files that outside school web services read: Basmati (SchoolFusion reads the
// same file), the SchoolSpeak grade report and the SchoolCenter file. Each covers the
// current term of the open class and is written through the export buffer while the
// export progress window steps once per student.
#pragma once

#include <cstdint>

#include "marktally/model/fileutil.h"
#include "marktally/reports/export_buffer.h"

// Each writes the whole file or reports why not (the file's name with the system's
// reason) and answers false. The text goes into a file beside the target that takes its
// place only once it is whole, so a failed export leaves no partial file behind and a
// file it replaces as it was.
bool ExportClassBasmati(const FileSpec& file);
bool ExportClassSchoolCtr(const FileSpec& file);
// Names its own file next to the class's document (the clock's seconds since 1904 plus
// ".xml"), creates and writes it, and leaves its name in file whatever happens. True only
// when the file was written whole: the upload must not send a file that failed.
bool ExportClassSchoolSpeak(FileSpec& file);
// Set by the SchoolSpeak upload dialog: the upload replaces the last report sent. The
// box is unchecked at every showing, so it never carries over to the next upload.
extern uint8_t gUpdateLastReport;

// ---- Element writers -----------------------------------------------------------------
// Each appends one element (or the header elements) and answers false at the first
// append that fails; the export buffer has then reported it and closed the file.
bool ExportBasmatiHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer);
bool ExportBasmatiAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                             int16_t index);
bool ExportBasmatiStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                          int16_t index);
bool ExportSchoolSpeakHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer);
bool ExportSchoolSpeakCategory(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                               int16_t index);
bool ExportSchoolSpeakAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                                 int16_t index);
bool ExportSchoolSpeakStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                              int16_t index);
bool ExportSchoolCtrHeader(const FileSpec& file, FileRef& ref, WriteBuffer& buffer);
bool ExportSchoolCtrAssignment(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                               int16_t index);
bool ExportSchoolCtrStudent(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                            int16_t index);

// One typed text (Mac Roman) as XML character data that is also safe inside a quoted
// attribute: the five markup characters as "&quot;" "&amp;" "&#39;" "&lt;" "&gt;", every
// byte above 127 as a numeric reference of its Unicode character, tab and carriage
// return as numeric references (so that a reader keeps them), and every other control
// byte as a blank. The output is pure ASCII.
bool AppendXMLToBuffer(const FileSpec& file, FileRef& ref, WriteBuffer& buffer,
                       ConstStringPtr text);

// "YYYY-MM-DD" and "MMDDYYYY" of the local date of seconds since 1904.
void SecondsToBasmati(uint32_t seconds, Str255& text);
void SecondsToSchoolCtr(uint32_t seconds, Str255& text);

// The absolute address of the SchoolCenter document type definition named in every
// SchoolCenter file; its path is always "/xml/schoolcenter.dtd".
extern const char kSchoolCtrDTD[];
