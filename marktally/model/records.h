// The record types of the open class. Field order, types and sizes are those the
// gradebook document stores; the static_asserts keep them so.
#pragma once

#include "types.h"

constexpr int kMaxStudents = 250;
constexpr int kMaxTerms = 6;
constexpr int kMaxAssignments = 150;
constexpr int kMaxCategories = 12;
constexpr int kExamCategory = 10;
constexpr int kExtraCreditCategory = 11;
constexpr int kMaxCodes = 8;
constexpr int kMaxSpecialScores = 8;
constexpr int kMaxFootnotes = 8;
constexpr int kMaxLetterGrades = 13;
constexpr int kMaxCutoffs = 12;
constexpr int kMaxDays = 360;
constexpr int kMaxSeatRows = 20;
constexpr int kMaxSeatColumns = 20;
constexpr int kMaxDrops = 12;

constexpr uint16_t kNone = 0xFFFF;        // empty entry, no value
constexpr uint16_t kRecompute = 0xFFFD;   // termPercent: compute again
constexpr uint16_t kFreeDropSlot = 0xFFFD;
constexpr uint8_t kNoMark = 0xFF;         // attendance and footnote marks

// ClassRecord flag bits
constexpr uint8_t kHidePercents = 0x02;
constexpr uint8_t kHolidaysNoColumn = 0x04;
constexpr uint8_t kWholePercents = 0x08;
constexpr uint8_t kLetterGrades = 0x10;
constexpr uint8_t kShowNames = 0x20;
constexpr uint8_t kShowIDs = 0x40;
constexpr uint8_t kKeptFlag = 0x80;

// Score codes (ScoreValue)
constexpr int16_t kBlank = -1;
constexpr int16_t kExcused = -2;
constexpr int16_t kInvalid = -3;
constexpr int16_t kAbsent = -4;
constexpr int16_t kIncomplete = -6;
constexpr int16_t kFullCredit = -7;
constexpr int16_t kFirstSpecial = -20;  // special score k is -20 + k
constexpr int16_t kLastSpecial = -13;
constexpr int16_t kFirstLetter = -40;   // letter grade i is -40 + i
constexpr int16_t kLastLetter = -28;

struct ClassRecord {
  int16_t lastTerm;
  int16_t examWeight;
  uint16_t examScope;
  Str63 school;
  Str63 subject;
  Str31 teacher;
  Str17 passwordDigest;
  uint32_t savedTime;
  uint32_t createdTime;
  uint32_t reserved;
  uint8_t flags;
  uint8_t currentTerm;
};

struct StudentRecord {
  Str15 id;
  Str31 name;
  uint16_t termPercent[kMaxTerms];
  uint16_t dropped[kMaxTerms][kMaxDrops];
  uint16_t reserved1[kMaxTerms][12];
  uint16_t reserved2[kMaxTerms][9];
  uint16_t semesterPercent[kMaxTerms];
  uint16_t unroundedPercent[kMaxTerms];
  uint16_t lockedPercent[kMaxTerms];
  uint16_t absences[kMaxTerms];
  uint16_t tardies[kMaxTerms];
};

struct AssignmentRecord {
  Str47 name;
  uint16_t category;
  uint16_t points;
};

struct CategoryRecord {
  Str21 name;
  uint16_t drop;
  uint16_t weight;
};

struct CodeRecord {
  Str5 name;
  uint16_t reserved;
  uint16_t kind;   // 1 absence, 2 tardy, else neither
  uint16_t value;  // tenths
};

struct SpecialScoreRecord {
  Str5 name;
  uint16_t reserved;
  uint16_t kind;  // 1 excused, 2 zero and missing, 3 not counted but missing, 4 full credit
};

struct TermDatesRecord {
  uint32_t start;
  uint32_t end;
};

struct AttendanceGradeRecord {
  uint16_t flags;  // bit 0: penalty on; high byte: tardies per absence
  uint16_t allowed;
  int16_t penaltyPerAbsence;
};

struct EmailDataRecord {
  int16_t port;
  Str255 server;
  Str255 user;
  Str255 password;
  Str255 address;
};

struct EmailAddressRecord {
  Str255 recipients;
  Str255 blindCopies;
};

struct ExportDataRecord {
  Str31 classCode;
  Str15 section;
  Str63 account;
  Str15 teacherID;
  uint8_t reserved[256];
};

struct SeatingChartRecord {
  uint16_t rows;
  uint16_t columns;
  uint16_t seats[kMaxSeatRows][kMaxSeatColumns];
};

struct PageSetupRecord {
  uint16_t scale;
  uint16_t orientation;
  uint32_t values[4];
};

static_assert(sizeof(ClassRecord) == 200, "ClassRecord layout");
static_assert(sizeof(StudentRecord) == 516, "StudentRecord layout");
static_assert(sizeof(AssignmentRecord) == 52, "AssignmentRecord layout");
static_assert(sizeof(CategoryRecord) == 26, "CategoryRecord layout");
static_assert(sizeof(CodeRecord) == 12, "CodeRecord layout");
static_assert(sizeof(SpecialScoreRecord) == 10, "SpecialScoreRecord layout");
static_assert(sizeof(ExportDataRecord) == 384, "ExportDataRecord layout");
static_assert(sizeof(EmailDataRecord) == 1026, "EmailDataRecord layout");
static_assert(sizeof(EmailAddressRecord) == 512, "EmailAddressRecord layout");
static_assert(sizeof(SeatingChartRecord) == 804, "SeatingChartRecord layout");
static_assert(sizeof(PageSetupRecord) == 20, "PageSetupRecord layout");
static_assert(sizeof(AttendanceGradeRecord) == 6, "AttendanceGradeRecord layout");
