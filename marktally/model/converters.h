// Documents of earlier releases: their readers, the byte-order and text conversion
// every reader shares, the repairs that bring old values to today's meaning, and the
// notice that tells the teacher.
#pragma once

#include "document.h"

// What a reader took from the file. Only these fields are decoded: the defaults of
// everything else came from NewClass and are already in today's form.
struct DocumentExtent {
  int16_t version = kDocumentVersion;
  bool littleEndian = true;
  int students = 0;                    // student slots read
  int terms = 0;                       // terms of the per-term blocks read
  int assignments = kMaxAssignments;   // assignment slots read per term
  int categories = kMaxCategories;     // category slots read per term (all six terms)
};

// Set by the multiple-class report, which reads many classes in a row.
extern bool gQuietConversions;

bool Convert59(DocumentSource& in, int16_t version, bool littleEndian);  // 12 to 17
bool Convert50(DocumentSource& in, int16_t version, bool littleEndian);  // 9 to 11
bool Convert46(DocumentSource& in, int16_t version);                     // 8
bool Convert44(DocumentSource& in, int16_t version);                     // 6, 7
bool Convert41(DocumentSource& in, int16_t version);                     // 5

// Texts to length-prefixed Mac Roman (little-endian documents) or numbers to the host's
// order (big-endian ones), then every index-like field brought into range.
void ConvertFormat(const DocumentExtent& extent);

// Calls f for every text field the extent covers, with its capacity in the file.
// withDigest adds the class's password digest.
void ForEachTextField(const DocumentExtent& extent, bool withDigest,
                      void (*f)(unsigned char* field, int capacity));

// Out-of-range counts and indices from a document become their "none" or default
// values. keepOldMarks leaves attendance bytes for Convert48 to translate.
void RepairFields(bool keepOldMarks);
bool LastTermValid();

void Convert47();
void Convert48();
void ConvertAttendance44();
void ConvertTermNames53();
void ConvertAssignDates55();
void ConvertSeatingChart55();

// Old records into today's: the old class header (10 bytes), the old categories (11
// records of 26 bytes), and the student records of 312, 324, 348 and 372 bytes.
void ConvertClass46(const unsigned char* header);
void ConvertCategories46(const unsigned char* block);
void ConvertStudent41(const unsigned char* old, StudentRecord& r);
void ConvertStudent44(const unsigned char* old, StudentRecord& r);
void ConvertStudent46(const unsigned char* old, StudentRecord& r);
void ConvertStudent50(const unsigned char* old, StudentRecord& r, bool littleEndian);

void NotifyConverted();
