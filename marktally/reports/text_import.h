// Import of delimited text and class rosters into the open class: students matched by
// ID and name or added, comments, new assignment columns with their header rows,
// scores, e-mail addresses and attendance codes by date.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "marktally/model/fileutil.h"
#include "marktally/model/types.h"

// ---- ImportOptions, kept between imports of one run -----------------------------------
extern uint8_t gImportIDs;
extern uint8_t gImportNames;
extern uint8_t gImportComments;
extern uint8_t gImportDates;
extern uint8_t gImportAssignments;
extern uint8_t gImportCategories;
extern uint8_t gImportPoints;
extern uint8_t gImportScores;
extern uint8_t gImportCodes;
extern uint8_t gImportEmails;
extern uint16_t gImportFormat;   // 1 tab-delimited, 2 comma-separated
extern uint8_t gImportingRoster;  // a first-name column follows the name column

// ---- What the last import met, cleared at its start -----------------------------------
extern uint8_t gImportEOF;
extern uint8_t gAddedCategories;
extern uint8_t gTooManyCategories;
extern uint8_t gAddedCodes;
extern uint8_t gTooManyCodes;
extern uint8_t gInvalidPoints;
extern uint8_t gInvalidScores;
extern uint8_t gInvalidRecipient;
extern uint8_t gMissingRecipient;

// The rest of the closing report: what was imported and which rows (as a spreadsheet
// numbers them, from 1) were refused or held characters a class cannot keep.
struct ImportReport {
  bool opened = false;       // the file was read
  int students = 0;          // students added
  int matched = 0;           // rows that went to students already in the class
  int columns = 0;           // new assignment columns named or given values
  int scores = 0;            // scores stored that are not blank
  bool utf8 = false;         // the file was UTF-8 and converted
  std::vector<int> unconvertedRows;  // characters replaced with '?'
  std::vector<int> namelessRows;     // rows that would add a student without a name
  int classFullRow = 0;      // the row at which a full class stopped the import
  int listEndRow = 0;        // the first row past the class list (rows without ID or name)
};
extern ImportReport gImportReport;

// Back to the values the program starts with (tests).
void ResetImportOptions();

// Reads the file into the open class and marks it changed. Reports a file that can't be
// read; the other findings wait in the import state for ShowImportErrors.
void ImportClass(const FileSpec& spec);
// The import's alerts, in their order, then its closing report.
void ShowImportErrors();

// ---- The reader ----------------------------------------------------------------------
// The whole file (a text file of a class is small; larger ones are refused), converted
// to Mac Roman when it is UTF-8, with a read position and the current character.
struct ImportReader {
  std::string data;
  size_t position = 0;
  unsigned char ch = '\r';
  int row = 1;
  std::vector<size_t> unconverted;  // positions in data of characters replaced with '?'
  size_t nextUnconverted = 0;
};
constexpr size_t kMaxImportFile = 16u << 20;

// Fills the reader from file bytes: a byte-order mark or valid UTF-8 holding bytes above
// 127 makes them UTF-8, converted; anything else is taken as Mac Roman. Answers whether
// the text was UTF-8.
bool LoadImportText(const std::string& bytes, ImportReader& reader);
void NextChar(ImportReader& reader);
// One item in the format of gImportFormat.
void NextItem(ImportReader& reader, Str255& item);
void NextTabItem(ImportReader& reader, Str255& item);
void NextCSVItem(ImportReader& reader, Str255& item);
void NextLine(ImportReader& reader);

// The slot of the student with this ID and name, -1 for none, -3 when both are empty.
int16_t LookupStudent(ConstStringPtr id, ConstStringPtr name);
// For a name that matched nothing: the first free slot takes it (or slot 0 when there is
// none, reported); the index goes into category or code.
void AddCategory(ConstStringPtr name, int16_t& category);
void AddCode(ConstStringPtr name, int16_t& code);
bool ValidImportedAddresses(ConstStringPtr addresses);
