// The gradebook document: one class saved as version 21 (little-endian numbers,
// NUL-terminated Windows-1252 texts) and read back in any version and byte order.
#pragma once

#include <cstddef>
#include <functional>

#include "fileutil.h"
#include "records.h"

constexpr int16_t kDocumentVersion = 21;
constexpr int32_t kDocumentBufferSize = 16384;

// Mac Roman to Windows-1252 and back, for bytes 0x80..0xFF (index = byte - 0x80).
extern const unsigned char gWindows1252[128];
extern const unsigned char gMacOSRoman[128];

// The writer's output buffer.
extern unsigned char gBuffer[kDocumentBufferSize];
extern int32_t gBufferPos;

// Length-prefixed Mac Roman to NUL-terminated Windows-1252, in place.
void ConvertPString(unsigned char* s);
// NUL-terminated Windows-1252 to length-prefixed Mac Roman, in place. A field of
// capacity n holds n+1 bytes; a text without its NUL keeps the first n.
void ConvertCString(unsigned char* s, int capacity);
// The texts convert with the widest vector instructions the processor has, up to bits
// (512, 256 or 0 for none); returns the width now in use.
int LimitTextVectorsForTesting(int bits);
void ConvertShort(uint16_t& value);
void ConvertShort(int16_t& value);
void ConvertLong(uint32_t& value);
void ConvertSigned(int32_t& value);

// Saves the open class to gFileSpec: written beside it, flushed, verified and only
// then put in its place. Every failure is shown once; false leaves the old file.
bool SaveDocument();
// Writes blocks 1 to 29 to an open file, flushes it to the disk and closes it.
bool WriteDocument(FileRef refNum);
bool Write(FileRef refNum, int32_t count, const void* data);
// True when the file starts with version 21 and, when given, has the expected length.
bool VerifySave(const FileSpec& spec, int64_t expectedLength = -1);

// The file's length for a class with last student slot n and last term t.
int64_t DocumentLength(int lastStudent, int lastTerm);

// Where a document is read from: an open file, or memory for tests and the fuzzer.
class DocumentSource {
 public:
  virtual ~DocumentSource() = default;
  // Exactly count bytes, or eofErr when the document ends first, or the failure.
  virtual OSErr Read(void* data, size_t count) = 0;
};

// Reads the class from a file open at its start, and closes it.
bool ReadDocument(FileRef refNum);
bool ReadDocumentFrom(DocumentSource& in);
bool ReadDocumentFromMemory(const void* data, size_t size);

// For the readers of every version: one block, its failure shown with the document's
// name; the damaged-document alert; the class header's checks and the password. A
// failure resets the tables to a new class before anything is shown.
bool ReadBlock(DocumentSource& in, void* data, size_t count);
bool DocumentError(OSErr code);
// After the class record is read: last term in range and, for a locked class, the
// password. False when the read has to stop (a refused password gives a new class).
bool AcceptClassHeader(bool littleEndian, int& lastTerm);
// Reads the 16-bit student count N (the last slot stored) and checks it.
bool ReadLastStudent(DocumentSource& in, bool littleEndian, int& lastStudent);
uint16_t FileShort(uint16_t stored, bool littleEndian);

