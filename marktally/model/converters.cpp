#include "converters.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "accessors.h"
#include "dates.h"
#include "grading.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"

bool gQuietConversions = false;

namespace {

// Sizes of the old layouts.
constexpr int kOldStudents = 48;
constexpr int kOldAssignments = 54;
constexpr int kOldDays = 350;
constexpr int kOldAssignmentSize = 26;  // name of capacity 21, category, points
constexpr int kAssignments59 = 100;
constexpr uint32_t kNoon = 43200;

uint16_t Get16(const unsigned char* p, bool littleEndian) {
  return littleEndian ? static_cast<uint16_t>(p[0] | p[1] << 8)
                      : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void Swap(uint16_t& v) { ConvertShort(v); }
void Swap(int16_t& v) { ConvertShort(v); }
void Swap(uint32_t& v) { ConvertLong(v); }
template <typename T, size_t N>
void SwapAll(T (&values)[N]) {
  for (auto& v : values) Swap(v);
}

// A length-prefixed text from a big-endian document: within its field, and ended by a
// NUL as the saved form would end it.
void ClampLength(unsigned char* field, int capacity) {
  int length = std::min<int>(field[0], capacity);
  for (int i = 1; i <= length; i++) {
    if (field[i] == 0) {
      length = i - 1;
      break;
    }
  }
  field[0] = static_cast<unsigned char>(length);
}
void FromFileText(unsigned char* field, int capacity) { ConvertCString(field, capacity); }

// Old assignment records: the 22-byte name (as stored) into today's 48-byte field.
void CopyOldAssignment(const unsigned char* old, AssignmentRecord& a) {
  std::memset(a.name.bytes, 0, sizeof a.name.bytes);
  std::memcpy(a.name.bytes, old, 22);
  std::memcpy(&a.category, old + 22, 2);
  std::memcpy(&a.points, old + 24, 2);
}

void CopyOldAssignments(const unsigned char* block, int terms, int perTerm) {
  for (int t = 0; t < terms; t++)
    for (int a = 0; a < perTerm; a++)
      CopyOldAssignment(block + (t * perTerm + a) * kOldAssignmentSize, gAssignments[t][a]);
}

void CopyOldScores(const unsigned char* block) {
  for (int s = 0; s < kOldStudents; s++)
    for (int t = 0; t < kMaxTerms; t++)
      std::memcpy(gScores[s][t], block + ((s * kMaxTerms + t) * kOldAssignments) * 2,
                  kOldAssignments * 2);
}

void CopyOldAttendance(const unsigned char* block) {
  for (int s = 0; s < kOldStudents; s++)
    std::memcpy(gAttendance[s], block + s * kOldDays, kOldDays);
}

// Reads count bytes into a scratch buffer.
bool ReadOld(DocumentSource& in, std::vector<unsigned char>& block, size_t count) {
  block.assign(count, 0);
  return ReadBlock(in, block.data(), count);
}

void Put16(StudentRecord& r, int offset, uint16_t value) {
  std::memcpy(reinterpret_cast<unsigned char*>(&r) + offset, &value, 2);
}

// Copies n 16-bit words of an old record, decoding the byte order.
void CopyWords(const unsigned char* old, int from, StudentRecord& r, int to, int n, bool le) {
  for (int i = 0; i < n; i++) Put16(r, to + 2 * i, Get16(old + from + 2 * i, le));
}

void CopyText(const unsigned char* old, int from, StudentRecord& r, int to, int size) {
  std::memcpy(reinterpret_cast<unsigned char*>(&r) + to, old + from, static_cast<size_t>(size));
}

// The reserved per-term field of today's record, in 0xFF bytes (bytes of each term's 24).
void FillReserved(StudentRecord& r, int bytesPerTerm) {
  auto* base = reinterpret_cast<unsigned char*>(r.reserved1);
  for (int t = 0; t < kMaxTerms; t++) std::memset(base + 24 * t, 0xFF, bytesPerTerm);
}

// Groups of dropped-score columns: 6 groups of size bytes from the old offset (stride 22)
// to today's +60 (stride 24).
void CopyDropGroups(const unsigned char* old, int from, StudentRecord& r, int size) {
  for (int k = 0; k < kMaxTerms; k++)
    CopyWords(old, from + 22 * k, r, 60 + 24 * k, size / 2, false);
}

bool DamagedUnlessLastTermValid() { return LastTermValid() || DocumentError(kDamagedErr); }

void ShiftTermDatesToNoon() {
  for (auto& d : gTermDates) {
    d.start += kNoon;
    d.end += kNoon;
  }
}

// The big-endian layouts of versions 5 to 8: every number swapped, the last term checked,
// then the fields those versions stored differently brought forward.
bool ConvertOldLayout(int16_t version) {
  DocumentExtent extent;
  extent.version = version;
  extent.littleEndian = false;
  extent.students = kOldStudents;
  extent.terms = kMaxTerms;
  extent.assignments = kOldAssignments;
  extent.categories = 10;
  ConvertFormat(extent);
  if (!DamagedUnlessLastTermValid()) return false;
  Convert47();
  Convert48();
  return true;
}

// The shared tail of the readers of versions 5 to 7.
bool Finish44(int16_t version) {
  if (!ConvertOldLayout(version)) return false;
  if (version == 5) {
    gClass.flags = static_cast<uint8_t>((gClass.flags & ~kShowIDs) | kShowNames);
    gReportOptions = static_cast<uint16_t>((gReportOptions & 0xFC43) | 0x00AC);
  }
  // The term dates are rebuilt here, at noon already: no shift to noon after it.
  ConvertAttendance44();
  ConvertTermNames53();
  ConvertAssignDates55();
  ConvertSeatingChart55();
  RepairFields(false);
  NotifyConverted();
  return true;
}

// Versions 5 to 7 differ only in their student records.
bool Read44(DocumentSource& in, int16_t version, int studentSize) {
  std::vector<unsigned char> block;
  if (!ReadOld(in, block, 10)) return false;
  ConvertClass46(block.data());
  if (version == 6) gReportOptions |= 0x0003;
  if (!ReadBlock(in, gCutoffs, sizeof gCutoffs)) return false;
  if (!ReadOld(in, block, static_cast<size_t>(kOldStudents * studentSize))) return false;
  for (int s = 0; s < kOldStudents; s++) {
    if (studentSize == 312)
      ConvertStudent41(block.data() + s * studentSize, gStudents[s]);
    else
      ConvertStudent44(block.data() + s * studentSize, gStudents[s]);
  }
  if (!ReadOld(in, block, kOldStudents * kMaxTerms * kOldAssignments * 2)) return false;
  CopyOldScores(block.data());
  if (!ReadOld(in, block, 11 * sizeof(CategoryRecord))) return false;
  ConvertCategories46(block.data());
  if (!ReadOld(in, block, kMaxTerms * kOldAssignments * kOldAssignmentSize)) return false;
  CopyOldAssignments(block.data(), kMaxTerms, kOldAssignments);
  return Finish44(version);
}

}  // namespace

// ---- Readers ---------------------------------------------------------------------------

bool Convert59(DocumentSource& in, int16_t version, bool le) {
  if (!ReadBlock(in, &gClass, sizeof gClass)) return false;
  int lastTerm = 0;
  if (!AcceptClassHeader(le, lastTerm)) return false;
  if (!ReadBlock(in, &gReportOptions, sizeof gReportOptions) ||
      !ReadBlock(in, gGrading, sizeof gGrading) || !ReadBlock(in, gCutoffs, sizeof gCutoffs) ||
      !ReadBlock(in, gLetterGrades, sizeof gLetterGrades) ||
      !ReadBlock(in, gCategories, sizeof gCategories) || !ReadBlock(in, gCodes, sizeof gCodes) ||
      !ReadBlock(in, gSchoolWeek, sizeof gSchoolWeek) ||
      !ReadBlock(in, gTermDates, sizeof gTermDates))
    return false;
  int n = 0;
  if (!ReadLastStudent(in, le, n)) return false;
  if (!ReadBlock(in, gStudents, sizeof(StudentRecord) * (n + 1))) return false;
  std::vector<unsigned char> block;
  for (int t = 0; t <= lastTerm; t++) {
    if (!ReadOld(in, block, kAssignments59 * kOldAssignmentSize)) return false;
    for (int a = 0; a < kAssignments59; a++)
      CopyOldAssignment(block.data() + a * kOldAssignmentSize, gAssignments[t][a]);
  }
  for (int s = 0; s <= n; s++)
    for (int t = 0; t <= lastTerm; t++)
      if (!ReadBlock(in, gScores[s][t], kAssignments59 * 2)) return false;
  if (!ReadBlock(in, gAttendance, sizeof gAttendance[0] * (n + 1))) return false;
  if (version >= 13) {
    for (int t = 0; t <= lastTerm; t++)
      if (!ReadBlock(in, &gHeader[t], sizeof gHeader[t]) ||
          !ReadBlock(in, &gFooter[t], sizeof gFooter[t]))
        return false;
    for (int s = 0; s <= n; s++)
      if (!ReadBlock(in, gComments[s], sizeof(Str255) * (lastTerm + 1))) return false;
  }
  if (version >= 14) {
    if (!ReadBlock(in, gTermNames, sizeof gTermNames) ||
        !ReadBlock(in, gFootnoteText, sizeof gFootnoteText))
      return false;
    for (int s = 0; s <= n; s++)
      for (int t = 0; t <= lastTerm; t++)
        if (!ReadBlock(in, gFootnotes[s][t], kAssignments59)) return false;
  }
  if (version >= 15 && !ReadBlock(in, gSpecialScores, sizeof gSpecialScores)) return false;
  if (version >= 16) {
    for (int t = 0; t <= lastTerm; t++)
      if (!ReadBlock(in, gAssignDates[t], kAssignments59 * 4)) return false;
    if (!ReadBlock(in, &gSeatingChart, sizeof gSeatingChart)) return false;
  }
  if (version >= 17) {
    if (!ReadBlock(in, gHolidays, sizeof gHolidays) ||
        !ReadBlock(in, &gPageSetup, sizeof gPageSetup))
      return false;
  }
  DocumentExtent extent;
  extent.version = version;
  extent.littleEndian = le;
  extent.students = n + 1;
  extent.terms = lastTerm + 1;
  extent.assignments = kAssignments59;
  ConvertFormat(extent);
  if (version <= 13) ConvertTermNames53();
  if (version <= 15) {
    ConvertAssignDates55();
    ConvertSeatingChart55();
  }
  if (version == 17) gReportOptions &= static_cast<uint16_t>(~(0x0010 | 0x0100 | 0x0200));
  NotifyConverted();
  return true;
}

bool Convert50(DocumentSource& in, int16_t version, bool le) {
  if (version < 9) {
    if (version == 8) return Convert46(in, version);
    return Convert44(in, version);
  }
  std::vector<unsigned char> block;
  if (!ReadOld(in, block, 8)) return false;
  std::memcpy(&gClass.lastTerm, &block[0], 2);
  std::memcpy(&gClass.examWeight, &block[2], 2);
  std::memcpy(&gClass.examScope, &block[4], 2);
  // The old flag byte already had today's layout; its 0x80 holds the weekend school days
  // that Convert48 reads, never the bit of the class open before.
  constexpr uint8_t kFromOld = kShowNames | kShowIDs | kKeptFlag;
  gClass.flags = static_cast<uint8_t>((gClass.flags & ~kFromOld) | (block[6] & kFromOld));
  if (!ReadOld(in, block, 2)) return false;
  gReportOptions = static_cast<uint16_t>((block[0] & 0xEF) | (gReportOptions & 0xFC00));
  if (!ReadBlock(in, gGrading, sizeof gGrading)) return false;
  if (version >= 11 && !ReadBlock(in, gLetterGrades, sizeof gLetterGrades)) return false;
  if (!ReadBlock(in, gCutoffs, sizeof gCutoffs)) return false;
  if (!ReadOld(in, block, kOldStudents * 372)) return false;
  for (int s = 0; s < kOldStudents; s++)
    ConvertStudent50(block.data() + s * 372, gStudents[s], le);
  if (!ReadOld(in, block, kOldStudents * kMaxTerms * kOldAssignments * 2)) return false;
  CopyOldScores(block.data());
  if (!ReadBlock(in, gCategories, sizeof gCategories)) return false;
  if (!ReadOld(in, block, kMaxTerms * kOldAssignments * kOldAssignmentSize)) return false;
  CopyOldAssignments(block.data(), kMaxTerms, kOldAssignments);
  if (version >= 11 && !ReadBlock(in, gSchoolWeek, sizeof gSchoolWeek)) return false;
  if (!ReadBlock(in, gTermDates, sizeof gTermDates)) return false;
  if (version >= 11 && !ReadBlock(in, gCodes, sizeof gCodes)) return false;
  if (!ReadOld(in, block, kOldStudents * kOldDays)) return false;
  CopyOldAttendance(block.data());

  if (le) {
    gClass.school.clear();
    gClass.subject.clear();
    gClass.teacher.clear();
  }
  DocumentExtent extent;
  extent.version = version;
  extent.littleEndian = le;
  extent.students = kOldStudents;
  extent.terms = kMaxTerms;
  extent.assignments = kOldAssignments;
  ConvertFormat(extent);
  if (!DamagedUnlessLastTermValid()) return false;
  // Compared only now that the header is in the host's byte order.
  if (gClass.examScope == 2 && gClass.lastTerm == 1) gClass.examScope = 1;

  gClass.school.setC("school");
  gClass.teacher.setC("teacher");
  Str255 name, subject;
  GetFileName(gFileSpec, name);
  StripExtension(name, subject);
  CopyString(subject, gClass.subject);
  if (version == 9) Convert47();
  if (version <= 10) Convert48();
  ShiftTermDatesToNoon();
  ConvertTermNames53();
  ConvertAssignDates55();
  ConvertSeatingChart55();
  RepairFields(false);
  NotifyConverted();
  return true;
}

bool Convert46(DocumentSource& in, int16_t version) {
  std::vector<unsigned char> block;
  if (!ReadOld(in, block, 10)) return false;
  ConvertClass46(block.data());
  if (!ReadBlock(in, gCutoffs, sizeof gCutoffs)) return false;
  if (!ReadOld(in, block, kOldStudents * 348)) return false;
  for (int s = 0; s < kOldStudents; s++) ConvertStudent46(block.data() + s * 348, gStudents[s]);
  if (!ReadOld(in, block, kOldStudents * kMaxTerms * kOldAssignments * 2)) return false;
  CopyOldScores(block.data());
  if (!ReadOld(in, block, 11 * sizeof(CategoryRecord))) return false;
  ConvertCategories46(block.data());
  if (!ReadOld(in, block, kMaxTerms * kOldAssignments * kOldAssignmentSize)) return false;
  CopyOldAssignments(block.data(), kMaxTerms, kOldAssignments);
  if (!ReadBlock(in, gTermDates, sizeof gTermDates)) return false;
  if (!ReadOld(in, block, kOldStudents * kOldDays)) return false;
  CopyOldAttendance(block.data());

  if (!ConvertOldLayout(version)) return false;
  ShiftTermDatesToNoon();
  ConvertTermNames53();
  ConvertAssignDates55();
  ConvertSeatingChart55();
  RepairFields(false);
  UpdateAttendance();
  NotifyConverted();
  return true;
}

bool Convert44(DocumentSource& in, int16_t version) {
  if (version < 6) return Convert41(in, version);
  return Read44(in, version, 324);
}

bool Convert41(DocumentSource& in, int16_t version) {
  if (version < 5) return DocumentError(version == 1 ? kNewerVersionErr : kOlderVersionErr);
  return Read44(in, version, 312);
}

// ---- Format conversion -----------------------------------------------------------------

void ForEachTextField(const DocumentExtent& e, bool withDigest,
                      void (*f)(unsigned char* field, int capacity)) {
  const int v = e.version;
  const int students = std::clamp(e.students, 0, kMaxStudents);
  const int terms = std::clamp(e.terms, 0, kMaxTerms);
  const int assignments = std::clamp(e.assignments, 0, kMaxAssignments);
  const int categories = std::clamp(e.categories, 0, kMaxCategories);
  if (v >= 12) {
    f(gClass.school.bytes, Str63::kCapacity);
    f(gClass.subject.bytes, Str63::kCapacity);
    f(gClass.teacher.bytes, Str31::kCapacity);
  }
  if (withDigest) f(gClass.passwordDigest.bytes, Str17::kCapacity);
  if (v >= 18) {
    f(gExportData.classCode.bytes, Str31::kCapacity);
    f(gExportData.section.bytes, Str15::kCapacity);
    f(gExportData.account.bytes, Str63::kCapacity);
    f(gExportData.teacherID.bytes, Str15::kCapacity);
  }
  if (v >= 11)
    for (auto& l : gLetterGrades) f(l.bytes, Str4::kCapacity);
  for (int t = 0; t < kMaxTerms; t++)
    for (int c = 0; c < categories; c++) f(gCategories[t][c].name.bytes, Str21::kCapacity);
  // Before version 18 assignment names had room for 21 bytes.
  const int nameCapacity = v >= 18 ? Str47::kCapacity : 21;
  for (int t = 0; t < terms; t++)
    for (int a = 0; a < assignments; a++) f(gAssignments[t][a].name.bytes, nameCapacity);
  for (int s = 0; s < students; s++) {
    f(gStudents[s].id.bytes, Str15::kCapacity);
    f(gStudents[s].name.bytes, Str31::kCapacity);
  }
  if (v >= 11)
    for (auto& c : gCodes) f(c.name.bytes, Str5::kCapacity);
  if (v >= 13) {
    for (int t = 0; t < terms; t++) {
      f(gHeader[t].bytes, 255);
      f(gFooter[t].bytes, 255);
    }
    for (int s = 0; s < students; s++)
      for (int t = 0; t < terms; t++) f(gComments[s][t].bytes, 255);
  }
  if (v >= 14) {
    for (auto& name : gTermNames) f(name.bytes, Str21::kCapacity);
    for (auto& text : gFootnoteText) f(text.bytes, Str21::kCapacity);
  }
  if (v >= 15)
    for (auto& sp : gSpecialScores) f(sp.name.bytes, Str5::kCapacity);
  if (v >= 20) {
    f(gEmailData.server.bytes, 255);
    f(gEmailData.user.bytes, 255);
    f(gEmailData.password.bytes, 255);
    f(gEmailData.address.bytes, 255);
    for (int s = 0; s < students; s++) {
      f(gEmailAddresses[s].recipients.bytes, 255);
      f(gEmailAddresses[s].blindCopies.bytes, 255);
    }
  }
}

namespace {

void SwapNumbers(const DocumentExtent& e) {
  const int v = e.version;
  const int students = std::clamp(e.students, 0, kMaxStudents);
  const int terms = std::clamp(e.terms, 0, kMaxTerms);
  const int assignments = std::clamp(e.assignments, 0, kMaxAssignments);
  const int categories = std::clamp(e.categories, 0, kMaxCategories);
  Swap(gClass.lastTerm);
  Swap(gClass.examWeight);
  Swap(gClass.examScope);
  if (v >= 12) {
    Swap(gClass.savedTime);
    Swap(gClass.createdTime);
    Swap(gClass.reserved);
  }
  SwapAll(gGrading);
  SwapAll(gCutoffs);
  for (int t = 0; t < kMaxTerms; t++) {
    for (int c = 0; c < categories; c++) {
      Swap(gCategories[t][c].drop);
      Swap(gCategories[t][c].weight);
    }
  }
  for (int t = 0; t < terms; t++) {
    for (int a = 0; a < assignments; a++) {
      Swap(gAssignments[t][a].category);
      Swap(gAssignments[t][a].points);
    }
  }
  // Older student records were decoded as they were copied.
  if (v >= 12) {
    for (int s = 0; s < students; s++) {
      StudentRecord& r = gStudents[s];
      SwapAll(r.termPercent);
      for (auto& row : r.dropped) SwapAll(row);
      for (auto& row : r.reserved1) SwapAll(row);
      for (auto& row : r.reserved2) SwapAll(row);
      SwapAll(r.lockedPercent);
      SwapAll(r.absences);
      SwapAll(r.tardies);
      // Cached, and never decoded by the old readers: computed again instead.
      std::fill(std::begin(r.semesterPercent), std::end(r.semesterPercent), kNone);
      std::fill(std::begin(r.unroundedPercent), std::end(r.unroundedPercent), kNone);
    }
  }
  for (int s = 0; s < students; s++)
    for (int t = 0; t < terms; t++)
      for (int a = 0; a < assignments; a++) Swap(gScores[s][t][a]);
  if (v >= 11) {
    for (auto& c : gCodes) {
      Swap(c.reserved);
      Swap(c.kind);
      Swap(c.value);
    }
  }
  if (v >= 8) {
    for (auto& d : gTermDates) {
      Swap(d.start);
      Swap(d.end);
    }
  }
  if (v >= 15) {
    for (auto& sp : gSpecialScores) {
      Swap(sp.reserved);
      Swap(sp.kind);
    }
  }
  if (v >= 16) {
    for (int t = 0; t < terms; t++)
      for (int a = 0; a < assignments; a++) Swap(gAssignDates[t][a]);
    Swap(gSeatingChart.rows);
    Swap(gSeatingChart.columns);
    for (auto& row : gSeatingChart.seats) SwapAll(row);
  }
  if (v >= 17) {
    Swap(gPageSetup.scale);
    Swap(gPageSetup.orientation);
    SwapAll(gPageSetup.values);
  }
  if (v >= 19) {
    Swap(gAttendGrade.allowed);
    Swap(gAttendGrade.penaltyPerAbsence);
  }
  if (v >= 20) Swap(gEmailData.port);
}

// Marks from limit up are "none"; without a branch and in blocks of a fixed size, so
// that the compiler turns each block into whole vectors over the large tables.
void CapMarks(uint8_t* marks, size_t count, int limit) {
  const auto cap = [limit](uint8_t m) { return m >= limit ? kNoMark : m; };
  constexpr size_t kBlock = 64;
  size_t i = 0;
  for (; i + kBlock <= count; i += kBlock)
    for (size_t k = 0; k < kBlock; k++) marks[i + k] = cap(marks[i + k]);
  for (; i < count; i++) marks[i] = cap(marks[i]);
}

bool TermDatesValid(int lastTerm) {
  // Every date of the year must fall on a day of the attendance table.
  const uint32_t first = gTermDates[0].start;
  auto onTable = [first](uint32_t date) {
    return date >= first && (date - first) / 86400 < static_cast<uint32_t>(kMaxDays);
  };
  for (int t = 0; t <= lastTerm; t++)
    if (!onTable(gTermDates[t].start) || !onTable(gTermDates[t].end)) return false;
  return true;
}

}  // namespace

void ConvertFormat(const DocumentExtent& extent) {
  if (extent.littleEndian) {
    ForEachTextField(extent, false, FromFileText);
  } else {
    ForEachTextField(extent, false, ClampLength);
    SwapNumbers(extent);
  }
  // Before version 11 attendance bytes held codes that Convert48 translates.
  RepairFields(extent.version <= 10);
}

bool LastTermValid() { return gClass.lastTerm >= 0 && gClass.lastTerm < kMaxTerms; }

void RepairFields(bool keepOldMarks) {
  const int lastTerm = LastTermIndex();
  if (gClass.examWeight < 0 || gClass.examWeight > 1000) gClass.examWeight = 0;
  if (gClass.currentTerm > lastTerm) gClass.currentTerm = 0;
  // Cutoffs compare as signed percents: one above 3276.7 % would be reached by any grade.
  for (auto& c : gCutoffs)
    if (c > 32767) c = kNone;
  for (auto& term : gCategories)
    for (auto& c : term)
      if (c.drop > kMaxAssignments) c.drop = 0;
  for (auto& term : gAssignments)
    for (auto& a : term)
      if (a.category >= kMaxCategories) a.category = 1;
  if (gSeatingChart.rows < 1 || gSeatingChart.rows > kMaxSeatRows || gSeatingChart.columns < 1 ||
      gSeatingChart.columns > kMaxSeatColumns) {
    gSeatingChart.rows = 6;
    gSeatingChart.columns = 6;
  }
  for (auto& row : gSeatingChart.seats)
    for (auto& seat : row)
      if (seat >= kMaxStudents && seat < 0xFFFD) seat = kNone;
  CapMarks(&gFootnotes[0][0][0], sizeof gFootnotes, kMaxFootnotes);
  if (!keepOldMarks) CapMarks(&gAttendance[0][0], sizeof gAttendance, kMaxCodes);
  if (!TermDatesValid(lastTerm)) NewTermDates(static_cast<int16_t>(lastTerm), gTermDates);
  if (gPageSetup.scale < 1 || gPageSetup.scale > 150) gPageSetup.scale = 100;
}

// ---- Repairs ---------------------------------------------------------------------------

void Convert47() {
  gClass.examWeight = static_cast<int16_t>(gClass.examWeight * 10);
  gClass.flags |= kLetterGrades;
  for (auto& c : gCutoffs)
    if (c > 0 && c != kNone)  // an unused cutoff stays so; one too large for tenths is dropped
      c = c > 3276 ? kNone : static_cast<uint16_t>(c * 10);
  const uint16_t current = gCurrentTerm;
  for (int t = 0; t < kMaxTerms; t++) {
    gCurrentTerm = static_cast<uint16_t>(t);
    FlushAll();
  }
  gCurrentTerm = current;
}

void Convert48() {
  for (int d = 0; d < 5; d++) gSchoolWeek[d] = 1;
  const uint8_t weekend = (gClass.flags & kKeptFlag) ? 1 : 0;
  gSchoolWeek[5] = gSchoolWeek[6] = weekend;
  for (auto& student : gAttendance) {
    for (auto& mark : student) {
      if (mark == 0xFB) mark = 2;
      else if (mark == 0xFE) mark = 1;
      else if (mark == 0xFC) mark = 0;
    }
  }
}

void ConvertAttendance44() {
  NewTermDates(gClass.lastTerm, gTermDates);
  gClass.flags &= static_cast<uint8_t>(~kKeptFlag);
  gReportOptions &= static_cast<uint16_t>(~0x0040);
  for (auto& student : gAttendance) std::fill(std::begin(student), std::end(student), kNoMark);
  for (auto& s : gStudents) {
    std::fill(std::begin(s.absences), std::end(s.absences), 0);
    std::fill(std::begin(s.tardies), std::end(s.tardies), 0);
  }
}

void ConvertTermNames53() {
  gClass.currentTerm = static_cast<uint8_t>(CurrentTerm());
  const int lastTerm = LastTermIndex();
  for (int t = 0; t < kMaxTerms; t++) gTermNames[t].setC(gDefaultTermNames[lastTerm][t]);
}

void ConvertAssignDates55() {
  SetupSchoolWeek();
  for (int t = 0; t < kMaxTerms; t++) {
    for (int c = 0; c < kMaxAssignments; c++) {
      if (gAssignments[t][c].name.empty()) continue;
      const int64_t day = gColumnToDay[c];
      gAssignDates[t][c] = static_cast<uint32_t>(gTermDates[t].start + day * 86400);
    }
  }
}

void ConvertSeatingChart55() {
  const int students = NumStudents();
  if (students <= 0) return;
  int n = 2;
  while (n * n <= students) n++;
  gSeatingChart.rows = static_cast<uint16_t>(n);
  gSeatingChart.columns = static_cast<uint16_t>(n);
}

// ---- Old records -----------------------------------------------------------------------

void ConvertClass46(const unsigned char* h) {
  uint16_t w[5];
  for (int i = 0; i < 5; i++) w[i] = static_cast<uint16_t>(h[2 * i] | h[2 * i + 1] << 8);
  gClass.lastTerm = static_cast<int16_t>(w[0]);
  std::fill(gGrading, gGrading + kMaxTerms, w[1]);
  gClass.examWeight = static_cast<int16_t>(w[2]);
  gClass.examScope = w[3];
  const uint16_t f = w[4];
  uint8_t flags = gClass.flags & static_cast<uint8_t>(~(kShowNames | kShowIDs | kKeptFlag));
  if (f & (1 << 2)) flags |= kShowNames;
  if (f & (1 << 1)) flags |= kShowIDs;
  if (f & (1 << 12)) flags |= kKeptFlag;
  gClass.flags = flags;
  // Report option bit: the old word's bit that feeds it.
  static const int kFrom[8] = {15, 0, 3, 4, -1, 6, 13, 7};
  uint16_t options = gReportOptions & 0xFC00;
  for (int bit = 0; bit < 8; bit++)
    if (kFrom[bit] >= 0 && (f & (1 << kFrom[bit]))) options |= static_cast<uint16_t>(1 << bit);
  gReportOptions = options;
}

void ConvertCategories46(const unsigned char* block) {
  for (int t = 0; t < kMaxTerms; t++)
    for (int c = 0; c < 10; c++)
      std::memcpy(&gCategories[t][c], block + c * sizeof(CategoryRecord), sizeof(CategoryRecord));
}

void ConvertStudent41(const unsigned char* old, StudentRecord& r) {
  CopyText(old, 4, r, 16, 32);
  CopyWords(old, 36, r, 48, kMaxTerms, false);
  CopyDropGroups(old, 48, r, 24);
  FillReserved(r, 24);
}

void ConvertStudent44(const unsigned char* old, StudentRecord& r) {
  CopyText(old, 0, r, 0, 16);
  CopyText(old, 16, r, 16, 32);
  CopyWords(old, 48, r, 48, kMaxTerms, false);
  CopyDropGroups(old, 60, r, 24);
  FillReserved(r, 24);
}

void ConvertStudent46(const unsigned char* old, StudentRecord& r) {
  CopyText(old, 0, r, 0, 16);
  CopyText(old, 16, r, 16, 32);
  CopyWords(old, 48, r, 48, kMaxTerms, false);
  CopyDropGroups(old, 60, r, 22);
  CopyWords(old, 324, r, 492, kMaxTerms, false);
  CopyWords(old, 336, r, 504, kMaxTerms, false);
  FillReserved(r, 22);
}

void ConvertStudent50(const unsigned char* old, StudentRecord& r, bool le) {
  CopyText(old, 0, r, 0, 16);
  CopyText(old, 16, r, 16, 32);
  CopyWords(old, 48, r, 48, kMaxTerms, le);
  for (int k = 0; k < kMaxTerms; k++) CopyWords(old, 84 + 24 * k, r, 84 + 24 * k, 1, le);
  CopyWords(old, 348, r, 492, kMaxTerms, le);
  CopyWords(old, 360, r, 504, kMaxTerms, le);
  FillReserved(r, 24);
}

void NotifyConverted() {
  if (gQuietConversions) return;
  ShowModelAlert(kNoteAlert, kAlertOK, PStr("Class has been converted"),
                 PStr("This class was saved with an earlier version of Marktally. It has "
                      "been converted to work with this version."));
}
