// The multiple-class report's merged data: saved classes read one after another into the
// class tables and merged per student by name, then sorted. No drawing here.
#pragma once

#include <cstdint>

#include "fileutil.h"
#include "records.h"

constexpr int kMaxMultipleStudents = 500;
constexpr int kMaxMultipleSubjects = 15;
constexpr int kMaxMultipleFiles = 100;
constexpr int kMaxGradedWork = 50;
constexpr int kMaxMissingWork = 40;
constexpr int kMultipleGrades = 9;  // terms 1 to 6, semester 1, semester 2, year
constexpr int kSemesterGrade = 6;
constexpr int kYearGrade = 8;

struct MultipleSubjectRecord {
  Str31 subject;
  Str31 teacher;
  Str4 grades[kMultipleGrades];
  uint16_t percents[kMultipleGrades] = {};
  uint16_t absences[kMaxTerms] = {};  // tenths
  uint16_t tardies[kMaxTerms] = {};
  Str255 comments[kMaxTerms];
  uint8_t commentsShown = 1;
  // Where the subject came from, so that the web site can link the page its class site
  // wrote: the index in gFileSpecs (-1 when merged outside a report) and the class slot.
  int16_t classFile = -1;
  int16_t classSlot = -1;
};

struct MultipleAssignmentEntry {
  uint32_t date = 0;  // 0: a free graded-work entry
  Str15 score;
  Str31 subject;
  Str47 name;
  Str21 category;
  Str21 footnote;
  uint16_t points = 0;  // 0: a free missing-work entry
};

struct MultipleStudentRecord {
  Str15 id;
  Str31 name;
  uint16_t subjectCount = 0;
  uint16_t keptWork[kMaxTerms] = {};
  uint16_t seenWork[kMaxTerms] = {};
  uint16_t keptMissing[kMaxTerms] = {};
  uint16_t seenMissing[kMaxTerms] = {};
  MultipleSubjectRecord subjects[kMaxMultipleSubjects];
  MultipleAssignmentEntry work[kMaxTerms][kMaxGradedWork];
  MultipleAssignmentEntry missing[kMaxTerms][kMaxMissingWork];
};

// The display switches of the report (MultipleReportOptions), one byte each.
extern uint8_t gShowAllTerms;
extern uint8_t gShowSemester;
extern uint8_t gShowYear;
extern uint8_t gShowAttend;
extern uint8_t gShowAssigns;
extern uint8_t gShowMissing;
extern uint8_t gShowComments;
extern uint8_t gShowSignature;
extern uint8_t gShowPercents;
extern uint8_t gShowLetterGrades;

extern MultipleStudentRecord gMultipleStudents[kMaxMultipleStudents];
extern int16_t gNumStudents;
extern FileSpec gFileSpecs[kMaxMultipleFiles];
extern int16_t gNumFiles;
extern int16_t gNumSubjects;
extern int16_t gNumTerms;  // last term index of the merged classes
extern Str63 gSchoolName;
extern bool gTooManyFiles;
extern bool gTooManyStudents;
extern bool gTooManySubjects;
extern bool gIncompatibleYear;
extern bool gExportMultiple;
extern int16_t gMergingFile;  // the index in gFileSpecs of the class being merged, or -1

// Everything back to an empty report; the page set-up record too, which the caller then
// applies to the printer.
void NewMultipleClassReport();
void AddClass(const FileSpec& file);
// Merges every listed class in the order chosen, then sorts.
void GenerateMultipleReport();
// Reads one class into the class tables and merges its students. False when the class
// was skipped (unreadable, or a school year of another length).
// Reads one class of the report into the tables, marked unchanged: the report window
// never saves over it.
bool ReadReportClass(const FileSpec& file);
bool MergeClass(const FileSpec& file);
// Merges the student of slot s of the class just read; the merged index, or -1 when a
// limit refused the student.
int16_t MergeStudent(int16_t s);
void InsertStudentAssignment(int16_t s, int16_t merged, int16_t term, int16_t column);
void InsertMissingAssignment(int16_t s, int16_t merged, int16_t term, int16_t column);
void SortMultipleClasses();
int16_t NumMultipleStudents();

// The orders the sort keeps: negative when a sorts before b, 0 when equal.
int CompareMultipleStudents(const MultipleStudentRecord& a, const MultipleStudentRecord& b);
int CompareGradedWork(const MultipleAssignmentEntry& a, const MultipleAssignmentEntry& b);
int CompareMissingWork(const MultipleAssignmentEntry& a, const MultipleAssignmentEntry& b);
