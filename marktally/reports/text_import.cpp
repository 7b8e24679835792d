#include "marktally/reports/text_import.h"

#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/email.h"
#include "marktally/shell/common.h"
// The Mac Roman table: in common/ where model and toolbox share it, else the toolbox's.
#if __has_include("marktally/common/macroman.h")
#include "marktally/common/macroman.h"
#else
#include "marktally/toolbox/macroman.h"
#endif

uint8_t gImportIDs = 0;
uint8_t gImportNames = 1;
uint8_t gImportComments = 0;
uint8_t gImportDates = 0;
uint8_t gImportAssignments = 0;
uint8_t gImportCategories = 0;
uint8_t gImportPoints = 0;
uint8_t gImportScores = 0;
uint8_t gImportCodes = 0;
uint8_t gImportEmails = 0;
uint16_t gImportFormat = 1;
uint8_t gImportingRoster = 0;

uint8_t gImportEOF = 0;
uint8_t gAddedCategories = 0;
uint8_t gTooManyCategories = 0;
uint8_t gAddedCodes = 0;
uint8_t gTooManyCodes = 0;
uint8_t gInvalidPoints = 0;
uint8_t gInvalidScores = 0;
uint8_t gInvalidRecipient = 0;
uint8_t gMissingRecipient = 0;

ImportReport gImportReport;

namespace {

constexpr uint32_t kDaySeconds = 86400;


void ClearImportState() {
  for (uint8_t* flag : {&gImportEOF, &gAddedCategories, &gTooManyCategories, &gAddedCodes,
                        &gTooManyCodes, &gInvalidPoints, &gInvalidScores, &gInvalidRecipient,
                        &gMissingRecipient})
    *flag = 0;
  gImportReport = ImportReport{};
}

// One UTF-8 character at text[i]: its code point and length, or false for a byte that
// starts no well-formed character (overlong forms and surrogates included).
bool DecodeCharacter(const std::string& text, size_t i, char32_t& code, size_t& length) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = b(i);
  length = 1;
  if (c < 0x80) {
    code = c;
    return true;
  }
  int more = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) {
    more = 1, code = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    more = 2, code = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    more = 3, code = c & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (i + more >= text.size()) return false;
  for (int k = 1; k <= more; k++) {
    if ((b(i + k) & 0xC0) != 0x80) return false;
    code = (code << 6) | (b(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  length = static_cast<size_t>(more) + 1;
  return true;
}

bool IsUtf8(const std::string& bytes) {
  bool high = false;
  for (size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    size_t length = 1;
    if (!DecodeCharacter(bytes, i, code, length)) return false;
    high = high || code >= 0x80;
    i += length;
  }
  return high;
}

void Cut(ConstStringPtr item, int capacity, Str255& out) {
  out.set(item);
  if (out.length() > capacity) out[0] = static_cast<unsigned char>(capacity);
}

// Cut to the capacity, then blanks stripped at both ends.
void CutStripped(ConstStringPtr item, int capacity, Str255& out) {
  Str255 cut{};
  Cut(item, capacity, cut);
  StripBlanks(cut, out);
}

bool Ends(unsigned char c) { return c == '\r' || c == '\n'; }

// Parsed as a typed score is parsed; -3 when no reading accepts it.
int16_t ParseScore(ConstStringPtr text, int16_t column) {
  uint16_t value = static_cast<uint16_t>(kInvalid);
  StringToScore(text, 1000, value);
  if (value == static_cast<uint16_t>(kInvalid)) PercentToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) NegativeToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) GradeToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) RatioToScore(text, column, value);
  return static_cast<int16_t>(value);
}

// A student slot for a new student: the one after the last placed. At the end of the list
// the slot is simply made new; inside it the students below move down.
void PlaceStudent(int16_t slot) {
  if (slot >= NumStudents()) {
    NewStudent(slot);
    for (auto& term : gAttendanceTotals[slot])
      for (uint16_t& total : term) total = 0;
  } else {
    InsertStudent(slot);
  }
}

bool ReadFile(const FileSpec& spec, std::string& bytes) {
  FileRef ref = kNoFile;
  Str255 name{};
  GetFileName(spec, name);
  OSErr err = FSOpen(spec, kReadPermission, ref);
  int64_t size = 0;
  if (err == noErr) err = GetEOF(ref, size);
  if (err == noErr && static_cast<uint64_t>(size) > kMaxImportFile) {
    FSClose(ref);
    ShowModelAlert(kStopAlert, kAlertOK, PStr("Unable to import"),
                   PStr("This file is too large to be a class: a text file to import may "
                        "hold at most 16 MB."));
    return false;
  }
  if (err == noErr) {
    bytes.assign(static_cast<size_t>(size), '\0');
    int32_t count = static_cast<int32_t>(size);
    err = count > 0 ? FSRead(ref, count, bytes.data()) : noErr;
    if (err == eofErr) err = noErr;  // the file shrank while read: take what came
    bytes.resize(static_cast<size_t>(count > 0 ? count : 0));
    FSClose(ref);
  }
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  return true;
}

struct Columns {
  int first = 0;    // the first new column
  int used = -1;    // the last new column that received anything
  void Use(int c) {
    if (c > used) used = c;
  }
};

// A header row: the student columns are skipped, then one item per new column up to the
// first empty one.
template <typename Store>
void HeaderRow(ImportReader& r, Columns& columns, Store store) {
  Str255 item{};
  for (int k = 0; k < gImportIDs + gImportNames + gImportComments; k++) NextItem(r, item);
  for (int c = columns.first; c < kMaxAssignments; c++) {
    NextItem(r, item);
    if (item.empty()) break;
    store(c, item);
    columns.Use(c);
  }
  NextLine(r);
}

void ReadHeaderRows(ImportReader& r, Columns& columns) {
  const int t = Term();
  if (gImportDates && !gImportEOF) {
    HeaderRow(r, columns, [t](int c, const Str255& item) {
      uint32_t seconds = 0;
      StringToSeconds(item, seconds);
      if (seconds != 0) gAssignDates[t][c] = seconds;
    });
  }
  if (gImportAssignments && !gImportEOF) {
    HeaderRow(r, columns, [t](int c, const Str255& item) {
      Str255 name{};
      CutStripped(item, Str47::kCapacity, name);
      gAssignments[t][c].name.set(name);
    });
  }
  if (gImportCategories && !gImportEOF) {
    HeaderRow(r, columns, [t](int c, const Str255& item) {
      Str255 name{};
      Cut(item, Str21::kCapacity, name);
      int16_t category = -1;
      WhichCategory(name, category);
      if (category < 0 || category >= kMaxCategories) AddCategory(name, category);
      gAssignments[t][c].category = static_cast<uint16_t>(category);
    });
  }
  if (gImportPoints && !gImportEOF) {
    HeaderRow(r, columns, [t](int c, const Str255& item) {
      uint16_t points = 0;
      StringToPoints(item, 1000, points);
      if (points > 1000) {
        gInvalidPoints = 1;
        points = 0;
      }
      gAssignments[t][c].points = points;
    });
  }
}

void ReadScores(ImportReader& r, Columns& columns, int16_t slot) {
  const int t = Term();
  for (int c = columns.first; c < kMaxAssignments; c++) {
    Str255 item{};
    NextItem(r, item);
    int16_t score = ParseScore(item, static_cast<int16_t>(c));
    if (score == kInvalid) {
      gInvalidScores = 1;
      score = kBlank;
    }
    gScores[slot][t][c] = score;
    if (score != kBlank) {
      gImportReport.scores++;
      columns.Use(c);
    }
  }
}

void ReadAddresses(ImportReader& r, int16_t slot) {
  Str255 recipients{}, blindCopies{};
  NextItem(r, recipients);
  NextItem(r, blindCopies);
  gEmailAddresses[slot].recipients.set(recipients);
  gEmailAddresses[slot].blindCopies.set(blindCopies);
  if (!ValidImportedAddresses(recipients) || !ValidImportedAddresses(blindCopies))
    gInvalidRecipient = 1;
  Str255 stripped{};
  StripBlanks(recipients, stripped);
  Str255 copies{};
  StripBlanks(blindCopies, copies);
  if (stripped.empty() && !copies.empty()) gMissingRecipient = 1;
}

void ReadCodes(ImportReader& r, int16_t slot) {
  int first = 0, last = -1;
  {
    const int t = Term();
    const int64_t origin = gTermDates[0].start;
    int64_t d0 = (static_cast<int64_t>(gTermDates[t].start) - origin) / kDaySeconds;
    int64_t d1 = (static_cast<int64_t>(gTermDates[t].end) - origin) / kDaySeconds;
    first = static_cast<int>(d0 < 0 ? 0 : d0);
    last = static_cast<int>(d1 > kMaxDays - 1 ? kMaxDays - 1 : d1);
  }
  for (;;) {
    Str255 dateItem{}, codeItem{};
    NextItem(r, dateItem);
    if (dateItem.empty()) break;
    NextItem(r, codeItem);
    if (codeItem.empty()) break;
    // Cut to the code's capacity first, so that what is matched is what can be stored.
    Str255 name{};
    CutStripped(codeItem, Str5::kCapacity, name);
    if (name.empty()) continue;
    int16_t code = -1;
    WhichCode(name, code);
    if (code < 0 || code >= kMaxCodes) AddCode(name, code);
    uint32_t seconds = 0;
    StringToSeconds(dateItem, seconds);
    if (seconds == 0 || seconds < gTermDates[0].start) continue;
    const int64_t day = (static_cast<int64_t>(seconds) - gTermDates[0].start) / kDaySeconds;
    if (day < first || day > last) continue;
    gAttendance[slot][day] = static_cast<uint8_t>(code);
  }
}

}  // namespace

void ResetImportOptions() {
  for (uint8_t* flag : {&gImportIDs, &gImportComments, &gImportDates, &gImportAssignments,
                        &gImportCategories, &gImportPoints, &gImportScores, &gImportCodes,
                        &gImportEmails, &gImportingRoster})
    *flag = 0;
  gImportNames = 1;
  gImportFormat = 1;
}

// ---- The reader ----------------------------------------------------------------------

bool LoadImportText(const std::string& bytes, ImportReader& reader) {
  reader = ImportReader{};
  size_t start = 0;
  bool utf8 = false;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    utf8 = true;
    start = 3;
  } else {
    utf8 = IsUtf8(bytes);
  }
  if (!utf8) {
    reader.data = bytes;
    return false;
  }
  reader.data.reserve(bytes.size());
  for (size_t i = start; i < bytes.size();) {
    char32_t code = 0;
    size_t length = 1;
    unsigned char out = '?';
    if (!DecodeCharacter(bytes, i, code, length) || !UnicodeToMacRoman(code, &out)) {
      out = '?';
      reader.unconverted.push_back(reader.data.size());
    }
    reader.data.push_back(static_cast<char>(out));
    i += length;
  }
  return true;
}

void NextChar(ImportReader& r) {
  if (r.position >= r.data.size()) {
    gImportEOF = 1;
    r.ch = '\r';
    return;
  }
  if (r.nextUnconverted < r.unconverted.size() &&
      r.unconverted[r.nextUnconverted] == r.position) {
    r.nextUnconverted++;
    auto& rows = gImportReport.unconvertedRows;
    if (rows.empty() || rows.back() != r.row) rows.push_back(r.row);
  }
  r.ch = static_cast<unsigned char>(r.data[r.position++]);
}

void NextItem(ImportReader& r, Str255& item) {
  if (gImportFormat == 2)
    NextCSVItem(r, item);
  else
    NextTabItem(r, item);
}

void NextTabItem(ImportReader& r, Str255& item) {
  item.clear();
  if (r.ch < 32) {
    if (r.ch == '\t' && !gImportEOF) NextChar(r);
    return;
  }
  while (r.ch >= 32 && !gImportEOF) {
    if (item.length() < 255) item[++item[0]] = r.ch;
    NextChar(r);
  }
  if (r.ch == '\t' && !gImportEOF) NextChar(r);
}

void NextCSVItem(ImportReader& r, Str255& item) {
  item.clear();
  auto add = [&item](unsigned char c) {
    if (item.length() < 255) item[++item[0]] = c;
  };
  while (r.ch == ' ' && !gImportEOF) NextChar(r);
  if (gImportEOF || Ends(r.ch)) return;
  if (r.ch == '"') {
    // Quoted: line breaks belong to the item, a doubled quote is one quote.
    NextChar(r);
    while (!gImportEOF) {
      if (r.ch == '"') {
        NextChar(r);
        if (r.ch != '"' || gImportEOF) break;
      }
      add(r.ch);
      NextChar(r);
    }
    while (r.ch == ' ' && !gImportEOF) NextChar(r);
    if (r.ch == ',' && !gImportEOF) NextChar(r);
    return;
  }
  while (!gImportEOF && r.ch != ',' && !Ends(r.ch)) {
    add(r.ch);
    NextChar(r);
  }
  if (r.ch == ',' && !gImportEOF) NextChar(r);
}

void NextLine(ImportReader& r) {
  while (!gImportEOF && !Ends(r.ch)) NextChar(r);
  r.row++;
  if (gImportEOF) return;
  NextChar(r);
  if (!gImportEOF && Ends(r.ch)) NextChar(r);
}

// ---- Students, categories, codes, addresses ------------------------------------------

int16_t LookupStudent(ConstStringPtr id, ConstStringPtr name) {
  if (id[0] == 0 && name[0] == 0) return -3;
  Str255 wanted{};
  if (name[0] != 0) LastNameFirst(name, wanted);
  for (int16_t s = 0; s < kMaxStudents; s++) {
    const StudentRecord& r = gStudents[s];
    if (name[0] != 0 && r.name.empty()) continue;  // an unnamed slot never matches a name
    if (id[0] != 0 && !EqualString(id, r.id, false, false)) continue;
    if (name[0] == 0) return s;
    Str255 slotName{};
    LastNameFirst(r.name, slotName);
    if (EqualString(wanted, slotName, false, false)) return s;
  }
  return -1;
}

void AddCategory(ConstStringPtr name, int16_t& category) {
  const int t = Term();
  for (int16_t c = 0; c < kExamCategory; c++) {
    CategoryRecord& rec = gCategories[t][c];
    if (!rec.name.empty()) continue;
    rec.name.set(name);
    rec.drop = 0;
    rec.weight = 1;
    gAddedCategories = 1;
    category = c;
    return;
  }
  category = 0;
  gTooManyCategories = 1;
}

void AddCode(ConstStringPtr name, int16_t& code) {
  for (int16_t c = 0; c < kMaxCodes; c++) {
    CodeRecord& rec = gCodes[c];
    if (!rec.name.empty()) continue;
    rec.name.set(name);
    rec.kind = 1;
    rec.value = 10;
    gAddedCodes = 1;
    code = c;
    return;
  }
  code = 0;
  gTooManyCodes = 1;
}

bool ValidImportedAddresses(ConstStringPtr addresses) { return ValidAddresses(addresses); }

// ---- The import ----------------------------------------------------------------------

void ImportClass(const FileSpec& spec) {
  ClearImportState();
  std::string bytes;
  const bool roster = gImportingRoster != 0;
  gImportingRoster = 0;
  if (!ReadFile(spec, bytes)) return;
  gImportReport.opened = true;
  SetChanged(1);

  ImportReader r;
  gImportReport.utf8 = LoadImportText(bytes, r);
  bytes.clear();

  const int t = Term();
  Columns columns;
  for (int a = kMaxAssignments - 1; a >= 0; a--) {
    if (!gAssignments[t][a].name.empty()) {
      columns.first = a + 1;
      break;
    }
  }
  int16_t lastPlaced = static_cast<int16_t>(NumStudents() - 1);
  const int16_t listEnd = NumStudents();

  const bool students = gImportIDs || gImportNames;
  const bool rosterForm =
      roster || (students && !gImportDates && !gImportComments && !gImportAssignments &&
                 !gImportCategories && !gImportPoints && !gImportScores && !gImportCodes);
  int16_t nextSlot = 0;  // rows without ID or name fill the listed students in order

  NextChar(r);
  ReadHeaderRows(r, columns);
  while (!gImportEOF) {
    int16_t slot = -1;
    if (students) {
      Str255 item{}, id{}, name{};
      if (gImportIDs) {
        NextItem(r, item);
        CutStripped(item, Str15::kCapacity, id);
      }
      if (gImportNames) {
        NextItem(r, item);
        CutStripped(item, Str31::kCapacity, name);
      }
      if (rosterForm) {
        Str255 firstName{};
        NextItem(r, item);
        CutStripped(item, Str31::kCapacity, firstName);
        if (!firstName.empty() && !name.empty()) {
          AppendC(name, ", ");
          Append(name, firstName);
          if (name.length() > Str31::kCapacity) name[0] = Str31::kCapacity;
        } else if (!firstName.empty()) {
          name = firstName;
        }
      }
      slot = LookupStudent(id, name);
      if (slot == -3) break;
      if (slot < 0) {
        // A student without a name would end the class list at its slot.
        if (name.empty()) {
          gImportReport.namelessRows.push_back(r.row);
          NextLine(r);
          continue;
        }
        if (!gStudents[kMaxStudents - 1].name.empty() || lastPlaced + 1 >= kMaxStudents) {
          gImportReport.classFullRow = r.row;
          break;
        }
        slot = ++lastPlaced;
        PlaceStudent(slot);
        gImportReport.students++;
      } else {
        gImportReport.matched++;
      }
      if (!id.empty()) gStudents[slot].id.set(id);
      if (!name.empty()) gStudents[slot].name.set(name);
    } else {
      if (nextSlot >= listEnd) {
        gImportReport.listEndRow = r.row;
        break;
      }
      slot = nextSlot++;
    }
    if (gImportComments) {
      Str255 item{}, comment{};
      NextItem(r, item);
      Cut(item, 254, comment);
      gComments[slot][t].set(comment);
    }
    if (gImportScores) ReadScores(r, columns, slot);
    if (gImportEmails) ReadAddresses(r, slot);
    if (gImportCodes) ReadCodes(r, slot);
    NextLine(r);
  }
  gImportReport.columns = columns.used >= columns.first ? columns.used - columns.first + 1 : 0;
  // One recomputation for the whole file: a full class would otherwise recompute every
  // grade once per row.
  FlushAll();
  if (gImportCodes) UpdateAttendance();
}

namespace {

std::string RowList(const std::vector<int>& rows) {
  std::string text;
  const size_t shown = rows.size() < 10 ? rows.size() : 10;
  for (size_t i = 0; i < shown; i++) text += (i ? ", " : "") + std::to_string(rows[i]);
  if (rows.size() > shown) text += " and " + std::to_string(rows.size() - shown) + " more";
  return text;
}

void Caution(const char* title, const std::string& text) {
  ShowModelAlert(kCautionAlert, kAlertOK, PStr(title), PStr(text));
}

}  // namespace

void ShowImportErrors() {
  const ImportReport& report = gImportReport;
  if (gInvalidRecipient)
    Caution("Invalid email address",
            "One or more imported email addresses were invalid. Check each student email "
            "address and correct the invalid ones.");
  if (gMissingRecipient)
    Caution("Missing recipient field",
            "One or more students were imported without a recipient email address. Check "
            "that each student has a recipient email address.");
  if (gAddedCategories && !gTooManyCategories)
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("New categories were imported"),
                   PStr("One or more new categories were imported. These were added to your "
                        "assignment categories with a weight of 1."));
  if (gTooManyCategories)
    Caution("Too many imported categories",
            "There were too many new categories to import. Any categories that could not be "
            "imported were replaced with the '" +
                gCategories[Term()][0].name.str() + "' category.");
  if (gInvalidPoints)
    Caution("Invalid points possible",
            "One or more assignments were imported with invalid points possible. These were "
            "given 0 points possible.");
  if (gInvalidScores)
    Caution("Invalid scores",
            "One or more invalid scores were imported. These scores were left blank.");
  if (!report.opened) return;
  if (!report.unconvertedRows.empty())
    Caution("Characters replaced",
            "Some characters of the file cannot be kept in a class and were imported as \"?\" "
            "(rows " + RowList(report.unconvertedRows) + "). Check those rows.");
  if (!report.namelessRows.empty())
    Caution("Students without names",
            "Rows that give no student name were not imported, since every student needs a "
            "name (rows " + RowList(report.namelessRows) + ").");
  const std::string counts =
      std::to_string(report.students) + " new students, " + std::to_string(report.matched) +
      " students updated, " + std::to_string(report.columns) + " assignment columns and " +
      std::to_string(report.scores) + " scores";
  if (report.classFullRow)
    Caution("Class is full",
            "A class holds at most 250 students, so the import stopped at row " +
                std::to_string(report.classFullRow) + ". Imported before it: " + counts + ".");
  else if (report.listEndRow)
    Caution("More rows than students",
            "The file has more rows than the class has students, so the import stopped at "
            "row " + std::to_string(report.listEndRow) + ". Imported before it: " + counts +
                ".");
  else
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("Import finished"),
                   PStr("Imported: " + counts + ". An import cannot be undone."));
}
