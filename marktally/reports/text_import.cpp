#include "marktally/reports/text_import.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/email.h"
#include "marktally/reports/text_export.h"
#include "marktally/model/accessors.h"
#include "marktally/common/macroman.h"

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
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      i++;
      continue;
    }
    char32_t code = 0;
    size_t length = 1;
    if (!DecodeCharacter(bytes, i, code, length)) return false;
    i += length;
  }
  return true;
}

// Stands for a character of the file that has no Unicode reading (an undefined
// Windows-1252 byte, a broken UTF-8 or UTF-16 sequence).
constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// Windows-1252 0x80 to 0x9F; 0 where the code page defines nothing. The rest of its upper
// half is Latin-1.
// clang-format off
const char16_t kWindows1252[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
};

// A letter and a combining mark that Mac Roman holds as one character: what a sheet
// written with separate accents ("Cafe" + U+0301) must become to be kept at all.
struct Composition {
  char32_t base, mark, composed;
};
const Composition kCompositions[] = {
    {0x003D, 0x0338, 0x2260}, {0x0041, 0x0300, 0x00C0}, {0x0041, 0x0301, 0x00C1},
    {0x0041, 0x0302, 0x00C2}, {0x0041, 0x0303, 0x00C3}, {0x0041, 0x0308, 0x00C4},
    {0x0041, 0x030A, 0x00C5}, {0x0043, 0x0327, 0x00C7}, {0x0045, 0x0300, 0x00C8},
    {0x0045, 0x0301, 0x00C9}, {0x0045, 0x0302, 0x00CA}, {0x0045, 0x0308, 0x00CB},
    {0x0049, 0x0300, 0x00CC}, {0x0049, 0x0301, 0x00CD}, {0x0049, 0x0302, 0x00CE},
    {0x0049, 0x0308, 0x00CF}, {0x004E, 0x0303, 0x00D1}, {0x004F, 0x0300, 0x00D2},
    {0x004F, 0x0301, 0x00D3}, {0x004F, 0x0302, 0x00D4}, {0x004F, 0x0303, 0x00D5},
    {0x004F, 0x0308, 0x00D6}, {0x0055, 0x0300, 0x00D9}, {0x0055, 0x0301, 0x00DA},
    {0x0055, 0x0302, 0x00DB}, {0x0055, 0x0308, 0x00DC}, {0x0059, 0x0308, 0x0178},
    {0x0061, 0x0300, 0x00E0}, {0x0061, 0x0301, 0x00E1}, {0x0061, 0x0302, 0x00E2},
    {0x0061, 0x0303, 0x00E3}, {0x0061, 0x0308, 0x00E4}, {0x0061, 0x030A, 0x00E5},
    {0x0063, 0x0327, 0x00E7}, {0x0065, 0x0300, 0x00E8}, {0x0065, 0x0301, 0x00E9},
    {0x0065, 0x0302, 0x00EA}, {0x0065, 0x0308, 0x00EB}, {0x0069, 0x0300, 0x00EC},
    {0x0069, 0x0301, 0x00ED}, {0x0069, 0x0302, 0x00EE}, {0x0069, 0x0308, 0x00EF},
    {0x006E, 0x0303, 0x00F1}, {0x006F, 0x0300, 0x00F2}, {0x006F, 0x0301, 0x00F3},
    {0x006F, 0x0302, 0x00F4}, {0x006F, 0x0303, 0x00F5}, {0x006F, 0x0308, 0x00F6},
    {0x0075, 0x0300, 0x00F9}, {0x0075, 0x0301, 0x00FA}, {0x0075, 0x0302, 0x00FB},
    {0x0075, 0x0308, 0x00FC}, {0x0079, 0x0308, 0x00FF},
};
// clang-format on

bool IsCombiningMark(char32_t c) { return c >= 0x0300 && c <= 0x036F; }

bool Compose(char32_t base, char32_t mark, char32_t& composed) {
  for (const Composition& c : kCompositions) {
    if (c.base == base && c.mark == mark) {
      composed = c.composed;
      return true;
    }
  }
  return false;
}

// The Mac Roman byte of each character of its upper half, sorted by code point: the
// import converts every accented letter of a file, so it looks them up by halving.
class MacRomanLookup {
 public:
  MacRomanLookup() {
    for (int b = 0x80; b < 0x100; b++)
      entries_.push_back({MacRomanToUnicode(static_cast<unsigned char>(b)),
                          static_cast<unsigned char>(b)});
    entries_.push_back({0x00A4, 0xDB});  // the currency sign had the euro's place
    std::sort(entries_.begin(), entries_.end());
  }
  bool Find(char32_t code, unsigned char& out) const {
    if (code < 0x80) {
      out = static_cast<unsigned char>(code);
      return true;
    }
    const auto it = std::lower_bound(entries_.begin(), entries_.end(),
                                     std::make_pair(code, static_cast<unsigned char>(0)));
    if (it == entries_.end() || it->first != code) return false;
    out = it->second;
    return true;
  }

 private:
  std::vector<std::pair<char32_t, unsigned char>> entries_;
};

// Gathers decoded characters as Mac Roman into the reader: a combining mark joins the
// letter before it where Mac Roman has the pair as one character.
class MacRomanSink {
 public:
  explicit MacRomanSink(ImportReader& reader) : reader_(reader) {}
  // False for a control character the text of a class never holds.
  bool Add(char32_t code) {
    if (code < 0x80) {
      if (code < 32 && code != '\t' && code != '\r' && code != '\n') return false;
      reader_.data.push_back(static_cast<char>(code));
      return true;
    }
    if (IsCombiningMark(code) && JoinLast(code)) return true;
    unsigned char out = '?';
    if (code == kNoCharacter || !Lookup().Find(code, out)) {
      out = '?';
      reader_.unconverted.push_back(reader_.data.size());
    }
    reader_.data.push_back(static_cast<char>(out));
    return true;
  }
  // Bytes known to be printable ASCII, tab, CR or LF.
  void AddPlain(const char* bytes, size_t count) { reader_.data.append(bytes, count); }

 private:
  bool JoinLast(char32_t mark) {
    std::string& data = reader_.data;
    if (data.empty()) return false;
    const auto& unconverted = reader_.unconverted;
    if (!unconverted.empty() && unconverted.back() == data.size() - 1) return false;
    char32_t composed = 0;
    unsigned char out = 0;
    if (!Compose(MacRomanToUnicode(static_cast<unsigned char>(data.back())), mark, composed) ||
        !Lookup().Find(composed, out))
      return false;
    data.back() = static_cast<char>(out);
    return true;
  }
  static const MacRomanLookup& Lookup() {
    static const MacRomanLookup lookup;
    return lookup;
  }
  ImportReader& reader_;
};

bool IsPlain(unsigned char c) { return (c >= 32 && c < 0x80) || c == '\t' || c == '\r' || c == '\n'; }

bool HasByteOrderMark(const std::string& bytes, const char* mark, size_t length) {
  return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
}

ImportEncoding DetectEncoding(const std::string& bytes) {
  if (HasByteOrderMark(bytes, "\xEF\xBB\xBF", 3)) return ImportEncoding::kUtf8;
  if (HasByteOrderMark(bytes, "\xFF\xFE", 2) || HasByteOrderMark(bytes, "\xFE\xFF", 2))
    return ImportEncoding::kUtf16;
  if (IsUtf8(bytes)) return ImportEncoding::kUtf8;
  // The program wrote Mac Roman with a lone CR after every row; other programs end their
  // lines in LF or CR LF.
  size_t loneCRs = 0, lineFeeds = 0;
  for (size_t i = 0; i < bytes.size(); i++) {
    if (bytes[i] == '\n') lineFeeds++;
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) loneCRs++;
  }
  return loneCRs > lineFeeds ? ImportEncoding::kMacRoman : ImportEncoding::kWindows1252;
}

bool DecodeUtf8Text(const std::string& bytes, MacRomanSink& sink) {
  const size_t start = HasByteOrderMark(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
  for (size_t i = start; i < bytes.size();) {
    size_t run = i;
    while (run < bytes.size() && IsPlain(static_cast<unsigned char>(bytes[run]))) run++;
    if (run > i) {
      sink.AddPlain(bytes.data() + i, run - i);
      i = run;
      continue;
    }
    char32_t code = static_cast<unsigned char>(bytes[i]);
    size_t length = 1;
    if (code >= 0x80 && !DecodeCharacter(bytes, i, code, length)) code = kNoCharacter;
    if (!sink.Add(code)) return false;
    i += length;
  }
  return true;
}

bool DecodeUtf16Text(const std::string& bytes, MacRomanSink& sink) {
  const bool little = static_cast<unsigned char>(bytes[0]) == 0xFF;
  auto unit = [&](size_t i) -> char32_t {
    const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
    const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  for (size_t i = 2; i < bytes.size(); i += 2) {
    if (i + 1 >= bytes.size()) return sink.Add(kNoCharacter);  // half a unit at the end
    char32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kNoCharacter;
    }
    if (!sink.Add(code)) return false;
  }
  return true;
}

bool DecodeEightBitText(const std::string& bytes, ImportEncoding encoding,
                        MacRomanSink& sink) {
  for (unsigned char c : bytes) {
    char32_t code = c;
    if (c >= 0x80 && encoding == ImportEncoding::kMacRoman) {
      code = MacRomanToUnicode(c);
    } else if (c >= 0x80 && c < 0xA0) {
      code = kWindows1252[c - 0x80] ? kWindows1252[c - 0x80] : kNoCharacter;
    }
    if (!sink.Add(code)) return false;
  }
  return true;
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

// The texts the export writes for the scores of older documents, which typing cannot
// make; without them such a score would come back blank.
int16_t FixedScore(ConstStringPtr text) {
  Str255 stripped{};
  StripBlanks(text, stripped);
  for (const int16_t score : {kExcused, kAbsent, kIncomplete, kFullCredit}) {
    Str255 written{};
    ScoreToString(score, written);
    if (EqualString(stripped, written, false, true)) return score;
  }
  return kInvalid;
}

constexpr int16_t kMostPoints = 1000;

// Digits with at most one decimal point: what nearly every score of a file is.
bool IsPlainNumber(ConstStringPtr text) {
  int points = 0;
  for (int i = 1; i <= text[0]; i++) {
    if (text[i] == '.') {
      if (++points > 1) return false;
    } else if (text[i] < '0' || text[i] > '9') {
      return false;
    }
  }
  return text[0] > 0;
}

// Whether a plain number may be taken as its value at once: no special score is named
// like one, so typing it could mean nothing else.
bool NumbersAreScores() {
  for (const SpecialScoreRecord& special : gSpecialScores)
    if (IsPlainNumber(special.name)) return false;
  return true;
}

// Parsed as a typed score is parsed; -3 when no reading accepts it.
int16_t ParseScore(ConstStringPtr text, int16_t column, bool numbersAreScores) {
  if (numbersAreScores && IsPlainNumber(text)) {
    const int32_t tenths = StringToValue(text);
    if (tenths >= 0 && tenths <= kMostPoints * 10) return static_cast<int16_t>(tenths);
  }
  uint16_t value = static_cast<uint16_t>(kInvalid);
  StringToScore(text, kMostPoints, value);
  if (value == static_cast<uint16_t>(kInvalid)) PercentToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) NegativeToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) GradeToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) RatioToScore(text, column, value);
  if (value == static_cast<uint16_t>(kInvalid)) return FixedScore(text);
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

// One row of the file split into items. Items past the row's end read as empty ones, as
// a spreadsheet's short rows mean.
class Row {
 public:
  // Beyond this many items a row holds nothing any layout reads: they are read and
  // dropped, so a line of a million commas costs no memory.
  static constexpr size_t kMaxItems = 1024;

  void Read(ImportReader& r) {
    count_ = next_ = 0;
    Str255 dropped{};
    do {
      if (count_ == kMaxItems) {
        NextItem(r, dropped);
        continue;
      }
      if (count_ == items_.size()) items_.emplace_back();
      NextItem(r, items_[count_++]);
    } while (!gImportEOF && !Ends(r.ch));
    // A delimiter just before the line end opens one more, empty, item.
    if (r.delimited && count_ < kMaxItems) {
      if (count_ == items_.size()) items_.emplace_back();
      items_[count_++].clear();
    }
  }
  const Str255& Next() {
    static const Str255 kEmpty{};
    return next_ < count_ ? items_[next_++] : (next_++, kEmpty);
  }
  // The item Next would give, without taking it.
  const Str255& Peek() const {
    static const Str255 kEmpty{};
    return next_ < count_ ? items_[next_] : kEmpty;
  }
  size_t Left() const { return next_ < count_ ? count_ - next_ : 0; }
  bool Blank() const {
    for (size_t i = 0; i < count_; i++) {
      Str255 stripped{};
      StripBlanks(items_[i], stripped);
      if (!stripped.empty()) return false;
    }
    return true;
  }

 private:
  std::vector<Str255> items_;
  size_t count_ = 0;
  size_t next_ = 0;
};

void ReadScores(Row& row, Columns& columns, int lastColumn, int16_t slot) {
  const int t = Term();
  const bool numbersAreScores = NumbersAreScores();
  for (int c = columns.first; c <= lastColumn; c++) {
    int16_t score = ParseScore(row.Next(), static_cast<int16_t>(c), numbersAreScores);
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

void ReadAddresses(Row& row, int16_t slot) {
  const Str255& recipients = row.Next();
  const Str255& blindCopies = row.Next();
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

// What the date and code texts of an import read as. A class's file repeats the same few
// hundred dates and handful of codes in every row, so each text is read once.
class CodeReadings {
 public:
  uint32_t Date(const Str255& text) {
    const auto [it, added] = dates_.try_emplace(text.str(), 0);
    if (added) StringToSeconds(text, it->second);
    return it->second;
  }
  // The code of that name, made new when the class has none.
  int16_t Code(const Str255& name) {
    const auto [it, added] = codes_.try_emplace(name.str(), -1);
    if (!added) return it->second;
    int16_t code = -1;
    WhichCode(name, code);
    if (code < 0 || code >= kMaxCodes) AddCode(name, code);
    return it->second = code;
  }

 private:
  std::unordered_map<std::string, uint32_t> dates_;
  std::unordered_map<std::string, int16_t> codes_;
};

void ReadCodes(Row& row, CodeReadings& readings, int16_t slot) {
  int first = 0, last = -1;
  CurrentTermDays(first, last);
  // Columns the import does not read (grades, tardies) may stand between the scores and
  // the codes: the pairs start at the first item that reads as a date.
  while (!row.Peek().empty() && readings.Date(row.Peek()) == 0) row.Next();
  for (;;) {
    const Str255& dateItem = row.Next();
    if (dateItem.empty()) break;
    const Str255& codeItem = row.Next();
    if (codeItem.empty()) break;
    // Cut to the code's capacity first, so that what is matched is what can be stored.
    Str255 name{};
    CutStripped(codeItem, Str5::kCapacity, name);
    if (name.empty()) continue;
    const int16_t code = readings.Code(name);
    const uint32_t seconds = readings.Date(dateItem);
    if (seconds == 0 || seconds < gTermDates[0].start) continue;
    const int64_t day = (static_cast<int64_t>(seconds) - gTermDates[0].start) / kDaySeconds;
    if (day < first || day > last) continue;
    gAttendance[slot][day] = static_cast<uint8_t>(code);
  }
}

bool Holds(ConstStringPtr text, unsigned char c) {
  for (int i = 1; i <= text[0]; i++)
    if (text[i] == c) return true;
  return false;
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

ImportEncoding LoadImportText(const std::string& bytes, ImportReader& reader) {
  reader = ImportReader{};
  const ImportEncoding encoding = DetectEncoding(bytes);
  bool text = true;
  if (encoding == ImportEncoding::kMacRoman) {
    // Already the class's own bytes.
    for (unsigned char c : bytes)
      if (c < 32 && c != '\t' && c != '\r' && c != '\n') text = false;
    if (text) reader.data = bytes;
  } else {
    reader.data.reserve(bytes.size());
    MacRomanSink sink(reader);
    if (encoding == ImportEncoding::kUtf8)
      text = DecodeUtf8Text(bytes, sink);
    else if (encoding == ImportEncoding::kUtf16)
      text = DecodeUtf16Text(bytes, sink);
    else
      text = DecodeEightBitText(bytes, encoding, sink);
  }
  if (text) return encoding;
  reader = ImportReader{};
  return ImportEncoding::kNotText;
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

namespace {

// Adds the current character and the ones after it to the item up to the first that
// stops it, as NextChar would give them one by one; runs without a replaced character
// are copied at once.
template <typename Stops>
void TakeRun(ImportReader& r, Str255& item, Stops stops) {
  auto add = [&item](unsigned char c) {
    if (item.length() < 255) item[++item[0]] = c;
  };
  while (!gImportEOF && !stops(r.ch)) {
    add(r.ch);
    const size_t limit = r.nextUnconverted < r.unconverted.size()
                             ? r.unconverted[r.nextUnconverted]
                             : r.data.size();
    size_t p = r.position;
    while (p < limit && !stops(static_cast<unsigned char>(r.data[p])))
      add(static_cast<unsigned char>(r.data[p++]));
    r.position = p;
    NextChar(r);
  }
}

}  // namespace

void NextTabItem(ImportReader& r, Str255& item) {
  item.clear();
  TakeRun(r, item, [](unsigned char c) { return c < 32; });
  r.delimited = r.ch == '\t' && !gImportEOF;
  if (r.delimited) NextChar(r);
}

namespace {

// At a line end inside a quoted item: whether a closing quote follows, the item being a
// spreadsheet cell with a line break. Inside a quoted item a quote is either doubled or
// closes it (blanks, then a comma, a line end or the file's end after it); any other
// quote, such as the one that opens the next quoted item, shows that this one was never
// closed. The search stops at the next quote, and a closing quote once found serves the
// item's further line breaks, so any file is read in one pass.
bool ClosingQuoteFollows(ImportReader& r) {
  if (r.position <= r.closingQuote) return true;
  const std::string& data = r.data;
  for (size_t i = r.position; i < data.size(); i++) {
    if (data[i] != '"') continue;
    if (i + 1 < data.size() && data[i + 1] == '"') {
      i++;
      continue;
    }
    size_t k = i + 1;
    while (k < data.size() && data[k] == ' ') k++;
    const bool closes =
        k == data.size() || data[k] == ',' || Ends(static_cast<unsigned char>(data[k]));
    if (closes) r.closingQuote = i;
    return closes;
  }
  return false;
}

void NoteUnclosedQuote(int row) {
  auto& rows = gImportReport.unclosedQuoteRows;
  if (rows.empty() || rows.back() != row) rows.push_back(row);
}

}  // namespace

void NextCSVItem(ImportReader& r, Str255& item) {
  item.clear();
  r.delimited = false;
  auto add = [&item](unsigned char c) {
    if (item.length() < 255) item[++item[0]] = c;
  };
  while (r.ch == ' ' && !gImportEOF) NextChar(r);
  if (gImportEOF || Ends(r.ch)) return;
  if (r.ch == '"') {
    // Quoted: a doubled quote is one quote; a line break belongs to the item only when
    // the closing quote comes after it.
    NextChar(r);
    while (true) {
      if (gImportEOF || (Ends(r.ch) && !ClosingQuoteFollows(r))) {
        NoteUnclosedQuote(r.row);
        return;
      }
      if (r.ch == '"') {
        NextChar(r);
        if (r.ch != '"' || gImportEOF) break;
      }
      add(r.ch);
      NextChar(r);
    }
    while (r.ch == ' ' && !gImportEOF) NextChar(r);
    r.delimited = r.ch == ',' && !gImportEOF;
    if (r.delimited) NextChar(r);
    return;
  }
  TakeRun(r, item, [](unsigned char c) { return c == ',' || Ends(c); });
  r.delimited = r.ch == ',' && !gImportEOF;
  if (r.delimited) NextChar(r);
}

void NextLine(ImportReader& r) {
  while (!gImportEOF && !Ends(r.ch)) NextChar(r);
  r.row++;
  if (gImportEOF) return;
  const unsigned char end = r.ch;
  NextChar(r);
  if (end == '\r' && r.ch == '\n' && !gImportEOF) NextChar(r);
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

namespace {

// Each byte's class under comparison without regard to case or accents: the smallest
// byte that compares equal to it.
const std::array<unsigned char, 256>& FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; c++) {
      t[c] = static_cast<unsigned char>(c);
      const unsigned char one[2] = {1, static_cast<unsigned char>(c)};
      for (int d = 0; d < c; d++) {
        const unsigned char other[2] = {1, static_cast<unsigned char>(d)};
        if (EqualString(one, other, false, false)) {
          t[c] = t[d];
          break;
        }
      }
    }
    return t;
  }();
  return table;
}

template <typename Map>
void File(Map& map, const std::string& key, int16_t slot) {
  auto& slots = map[key];
  slots.insert(std::lower_bound(slots.begin(), slots.end(), slot), slot);
}

template <typename Map>
void Unfile(Map& map, const std::string& key, int16_t slot) {
  const auto it = map.find(key);
  if (it == map.end()) return;
  auto& slots = it->second;
  slots.erase(std::remove(slots.begin(), slots.end(), slot), slots.end());
  if (slots.empty()) map.erase(it);
}

}  // namespace

StudentIndex::StudentIndex() : idKeys_(kMaxStudents), nameKeys_(kMaxStudents) {
  for (int16_t s = 0; s < kMaxStudents; s++) {
    idKeys_[s] = Key(gStudents[s].id);
    File(byId_, idKeys_[s], s);
    if (gStudents[s].name.empty()) continue;  // an unnamed slot never matches a name
    nameKeys_[s] = NameKey(gStudents[s].name);
    File(byName_, nameKeys_[s], s);
  }
}

std::string StudentIndex::Key(ConstStringPtr text) {
  const auto& fold = FoldTable();
  std::string key(text[0], '\0');
  for (int i = 0; i < text[0]; i++) key[i] = static_cast<char>(fold[text[i + 1]]);
  return key;
}

std::string StudentIndex::NameKey(ConstStringPtr name) {
  Str255 ordered{};
  LastNameFirst(name, ordered);
  return Key(ordered);
}

int16_t StudentIndex::Find(ConstStringPtr id, ConstStringPtr name) const {
  if (id[0] == 0 && name[0] == 0) return -3;
  if (name[0] == 0) {
    const auto it = byId_.find(Key(id));
    return it == byId_.end() ? -1 : it->second.front();
  }
  const auto it = byName_.find(NameKey(name));
  if (it == byName_.end()) return -1;
  if (id[0] == 0) return it->second.front();
  const std::string idKey = Key(id);
  for (int16_t s : it->second)
    if (idKeys_[s] == idKey) return s;
  return -1;
}

void StudentIndex::Update(int16_t s) {
  Unfile(byId_, idKeys_[s], s);
  if (!nameKeys_[s].empty()) Unfile(byName_, nameKeys_[s], s);
  idKeys_[s] = Key(gStudents[s].id);
  File(byId_, idKeys_[s], s);
  nameKeys_[s].clear();
  if (gStudents[s].name.empty()) return;
  nameKeys_[s] = NameKey(gStudents[s].name);
  File(byName_, nameKeys_[s], s);
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

namespace {

// The file read and converted into the reader; false, reported, when it cannot be read or
// is no text, and the class is then left as it was.
bool LoadFile(const FileSpec& spec, ImportReader& reader) {
  std::string bytes;
  if (!ReadFile(spec, bytes)) return false;
  gImportReport.encoding = LoadImportText(bytes, reader);
  if (gImportReport.encoding != ImportEncoding::kNotText) return true;
  ShowModelAlert(kStopAlert, kAlertOK, PStr("Unable to import"),
                 PStr("This file is not text, so nothing was imported. Save the sheet as "
                      "text (tab-delimited or comma-separated) and import that file."));
  return false;
}

// One import in progress: where its columns and students go, and how a row is read.
class ImportRun {
 public:
  ImportRun(ImportReader& reader, bool roster) : reader_(reader) {
    const int t = Term();
    for (int a = kMaxAssignments - 1; a >= 0; a--) {
      if (!gAssignments[t][a].name.empty()) {
        columns_.first = a + 1;
        break;
      }
    }
    lastPlaced_ = static_cast<int16_t>(NumStudents() - 1);
    listEnd_ = NumStudents();
    students_ = gImportIDs || gImportNames;
    rosterForm_ = roster || (students_ && !gImportDates && !gImportComments &&
                             !gImportAssignments && !gImportCategories && !gImportPoints &&
                             !gImportScores && !gImportCodes);
  }

  // The header rows, then the score columns they leave for the student rows.
  void ReadHeaders() {
    ReadHeaderRows(reader_, columns_);
    // Codes follow the scores in a row, so there the scores end at the last column the
    // header rows named; without codes they run to the last column.
    if (gImportCodes && columns_.used >= columns_.first) lastScoreColumn_ = columns_.used;
  }

  // The student rows; each row that cannot be read is noted and the next one read.
  void ReadStudentRows() {
    while (!gImportEOF) {
      const int number = reader_.row;
      row_.Read(reader_);
      NextLine(reader_);
      // An empty sheet row between students (a spreadsheet writes ",,,,"). Without ID
      // and name a row stands for the next student, so it is not skipped there.
      if (students_ && row_.Blank()) continue;
      const int16_t slot = students_ ? StudentOfRow(number) : NextListedStudent(number);
      if (slot == kStop) break;
      if (slot >= 0) ReadStudentItems(slot);
    }
  }

  void Finish() {
    gImportReport.columns =
        columns_.used >= columns_.first ? columns_.used - columns_.first + 1 : 0;
    // One recomputation for the whole file: a full class would otherwise recompute every
    // grade once per row.
    FlushAll();
    if (gImportCodes) UpdateAttendance();
  }

 private:
  static constexpr int16_t kSkip = -1;
  static constexpr int16_t kStop = -2;

  // The ID and name items (and a roster's first name) find the student or add one.
  int16_t StudentOfRow(int number) {
    Str255 id{}, name{};
    if (gImportIDs) CutStripped(row_.Next(), Str15::kCapacity, id);
    if (gImportNames) CutStripped(row_.Next(), Str31::kCapacity, name);
    if (rosterForm_ && FirstNameFollows(name)) JoinFirstName(row_.Next(), name);
    const int16_t slot = index_.Find(id, name);
    if (slot >= 0) {
      // Matched without regard to case or accents: the class keeps its own spelling.
      gImportReport.matched++;
      return slot;
    }
    if (name.empty()) {  // a student without a name would end the class list
      gImportReport.namelessRows.push_back(number);
      return kSkip;
    }
    if (!gStudents[kMaxStudents - 1].name.empty() || lastPlaced_ + 1 >= kMaxStudents) {
      gImportReport.classFullRow = number;
      return kStop;
    }
    return AddStudent(id, name);
  }

  // In the roster form a first-name column follows the name, unless the row is one of
  // the export's: there the name is whole ("Last, First") and an e-mail address, a
  // percent or a letter grade may come next, none of which is ever a first name.
  bool FirstNameFollows(ConstStringPtr name) const {
    const Str255& next = row_.Peek();
    if (Holds(name, ',') || Holds(next, '@') || IsLetterGrade(next)) return false;
    for (int i = 1; i <= next[0]; i++)
      if (next[i] >= '0' && next[i] <= '9') return false;
    return !gImportEmails || row_.Left() > 2;
  }

  static bool IsLetterGrade(ConstStringPtr item) {
    for (const auto& grade : gLetterGrades)
      if (!grade.empty() && EqualString(item, grade, true, true)) return true;
    return false;
  }

  static void JoinFirstName(ConstStringPtr item, Str255& name) {
    Str255 firstName{};
    CutStripped(item, Str31::kCapacity, firstName);
    if (firstName.empty()) return;
    if (name.empty()) {
      name = firstName;
      return;
    }
    AppendC(name, ", ");
    Append(name, firstName);
    if (name.length() > Str31::kCapacity) name[0] = Str31::kCapacity;
  }

  int16_t AddStudent(const Str255& id, const Str255& name) {
    const int16_t slot = ++lastPlaced_;
    const bool moved = slot < NumStudents();
    PlaceStudent(slot);
    gImportReport.students++;
    if (!id.empty()) gStudents[slot].id.set(id);
    gStudents[slot].name.set(name);
    if (moved)
      index_ = StudentIndex();  // the students below moved down a slot
    else
      index_.Update(slot);
    return slot;
  }

  // Rows without ID or name fill the listed students in order.
  int16_t NextListedStudent(int number) {
    if (nextSlot_ < listEnd_) return nextSlot_++;
    gImportReport.listEndRow = number;
    return kStop;
  }

  // The rest of the row, in the order the export writes it.
  void ReadStudentItems(int16_t slot) {
    if (gImportComments) {
      Str255 comment{};
      Cut(row_.Next(), 254, comment);
      gComments[slot][Term()].set(comment);
    }
    if (gImportEmails) ReadAddresses(row_, slot);
    if (gImportScores) ReadScores(row_, columns_, lastScoreColumn_, slot);
    if (gImportCodes) ReadCodes(row_, codeReadings_, slot);
  }

  ImportReader& reader_;
  Columns columns_;
  int lastScoreColumn_ = kMaxAssignments - 1;
  StudentIndex index_;
  CodeReadings codeReadings_;
  Row row_;
  int16_t lastPlaced_ = -1;
  int16_t listEnd_ = 0;
  int16_t nextSlot_ = 0;
  bool students_ = false;
  bool rosterForm_ = false;
};

}  // namespace

void ImportClass(const FileSpec& spec) {
  ClearImportState();
  const bool roster = gImportingRoster != 0;
  gImportingRoster = 0;
  ImportReader reader;
  if (!LoadFile(spec, reader)) return;
  gImportReport.opened = true;
  SetChanged(1);

  ImportRun run(reader, roster);
  NextChar(reader);
  run.ReadHeaders();
  run.ReadStudentRows();
  run.Finish();
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
  if (!report.unclosedQuoteRows.empty())
    Caution("Quotes not closed",
            "An item that starts with a double quote has no closing quote, so it was read to "
            "the end of its row (rows " + RowList(report.unclosedQuoteRows) +
                "). Check those rows.");
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
