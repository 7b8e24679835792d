// Import of delimited text and class rosters into the open class: students matched by
// ID and name or added, comments, new assignment columns with their header rows,
// scores, e-mail addresses and attendance codes by date.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
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

// How the file's bytes were taken: the text a class keeps is Mac Roman, so everything else
// is converted on the way in.
enum class ImportEncoding : uint8_t {
  kMacRoman,     // 8-bit text whose lines end in a lone CR: the program's own earlier exports
  kUtf8,         // with or without a byte-order mark; plain ASCII counts as UTF-8
  kUtf16,        // with a byte-order mark, either byte order
  kWindows1252,  // any other 8-bit text
  kNotText,      // NUL or control bytes other than tab, CR and LF: refused
};

// The rest of the closing report: what was imported and which rows (as a spreadsheet
// numbers them, from 1) were refused or held characters a class cannot keep.
struct ImportReport {
  bool opened = false;       // the file was read
  int students = 0;          // students added
  int matched = 0;           // rows that went to students already in the class
  int columns = 0;           // new assignment columns named or given values
  int scores = 0;            // scores stored that are not blank
  ImportEncoding encoding = ImportEncoding::kUtf8;
  std::vector<int> unconvertedRows;  // characters replaced with '?'
  std::vector<int> unclosedQuoteRows;  // a quoted item ran to the row's end
  std::vector<int> namelessRows;     // rows that give no student name (and would need one)
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
// to Mac Roman, with a read position and the current character.
struct ImportReader {
  std::string data;
  size_t position = 0;
  unsigned char ch = '\r';
  int row = 1;
  std::vector<size_t> unconverted;  // positions in data of characters replaced with '?'
  size_t nextUnconverted = 0;
  size_t closingQuote = 0;  // the closing quote last found past a line end in an item
  bool delimited = false;   // the last item ended at a delimiter: another item follows
};
constexpr size_t kMaxImportFile = 16u << 20;

// Fills the reader from file bytes, converted to Mac Roman: a byte-order mark says UTF-8
// or UTF-16; else valid UTF-8 is UTF-8, and other 8-bit text Windows-1252 unless its
// lines end in a lone CR. Accents written as separate combining marks join their letter.
// Characters Mac Roman lacks become '?' and are noted. Answers what the bytes were; for
// kNotText the reader is left empty.
ImportEncoding LoadImportText(const std::string& bytes, ImportReader& reader);
void NextChar(ImportReader& reader);
// One item in the format of gImportFormat. A quoted comma-separated item runs across a
// line end only when its closing quote follows; else it ends there and its row is noted.
void NextItem(ImportReader& reader, Str255& item);
void NextTabItem(ImportReader& reader, Str255& item);
void NextCSVItem(ImportReader& reader, Str255& item);
// To the start of the next row: past the line end, a CR LF pair counting as one.
void NextLine(ImportReader& reader);

// The slot of the student with this ID and name, -1 for none, -3 when both are empty.
// IDs and names compare without regard to case or accents, names in last-name-first form.
int16_t LookupStudent(ConstStringPtr id, ConstStringPtr name);

// The same answers as LookupStudent from an index of the class, so that a file of a full
// class is matched in time linear in its rows. Slots that change are told to it.
class StudentIndex {
 public:
  StudentIndex();
  int16_t Find(ConstStringPtr id, ConstStringPtr name) const;
  void Update(int16_t slot);  // the slot's ID or name changed

 private:
  static std::string Key(ConstStringPtr text);
  static std::string NameKey(ConstStringPtr name);
  using Slots = std::vector<int16_t>;  // ascending
  std::unordered_map<std::string, Slots> byId_, byName_;
  std::vector<std::string> idKeys_, nameKeys_;  // what each slot is filed under
};
// For a name that matched nothing: the first free slot takes it (or slot 0 when there is
// none, reported); the index goes into category or code.
void AddCategory(ConstStringPtr name, int16_t& category);
void AddCode(ConstStringPtr name, int16_t& code);
bool ValidImportedAddresses(ConstStringPtr addresses);
