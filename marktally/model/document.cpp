#include "document.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "accessors.h"
#include "converters.h"
#include "password.h"
#include "platform.h"
#include "recent.h"
#include "tables.h"
#include "textutil.h"

// Records are written as they lie in memory; that is the file's order only here.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the document is little-endian");

constexpr unsigned char gWindows1252[128] = {
    0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,
    0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,
    0x86, 0xB0, 0xA2, 0xA3, 0xA7, 0x95, 0xB6, 0xDF, 0xAE, 0xA9, 0x99, 0xB4, 0xA8, 0x81, 0xC6, 0xD8,
    0x8D, 0xB1, 0xB2, 0xB3, 0xA5, 0xB5, 0x61, 0x9D, 0x20, 0xB9, 0x8F, 0xAA, 0xBA, 0xBD, 0xE6, 0xF8,
    0xBF, 0xA1, 0xAC, 0x90, 0x83, 0xBC, 0xBE, 0xAB, 0xBB, 0x85, 0xA0, 0xC0, 0xC3, 0xD5, 0x8C, 0x9C,
    0x96, 0x97, 0x93, 0x94, 0x91, 0x92, 0xF7, 0xA4, 0xFF, 0x9F, 0x20, 0x80, 0x8B, 0x9B, 0x20, 0x20,
    0x87, 0xB7, 0x82, 0x84, 0x89, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,
    0xF0, 0xD2, 0xDA, 0xDB, 0xD9, 0xB9, 0x88, 0x98, 0xAF, 0x20, 0x20, 0x20, 0xB8, 0x20, 0x20, 0x20,
};

constexpr unsigned char gMacOSRoman[128] = {
    0xDB, 0xAD, 0xE2, 0xC4, 0xE3, 0xC9, 0xA0, 0xE0, 0xF6, 0xE4, 0x53, 0xDC, 0xCE, 0xB0, 0x5A, 0xBA,
    0xC3, 0xD4, 0xD5, 0xD2, 0xD3, 0xA5, 0xD0, 0xD1, 0xF7, 0xAA, 0x73, 0xDD, 0xCF, 0xB7, 0x7A, 0xD9,
    0xCA, 0xC1, 0xA2, 0xA3, 0xD7, 0xB4, 0x7C, 0xA4, 0xAC, 0xA9, 0xBB, 0xC7, 0xC2, 0xAD, 0xA8, 0xF8,
    0xA1, 0xB1, 0xB2, 0xB3, 0xAB, 0xB5, 0xA6, 0xE1, 0xFC, 0xB9, 0xBC, 0xC8, 0xC5, 0xBD, 0xC6, 0xC0,
    0xCB, 0xE7, 0xE5, 0xCC, 0x80, 0x81, 0xAE, 0x82, 0xE9, 0x83, 0xE6, 0xE8, 0xED, 0xEA, 0xEB, 0xEC,
    0x44, 0x84, 0xF1, 0xEE, 0xEF, 0xCD, 0x85, 0x78, 0xAF, 0xF4, 0xF2, 0xF3, 0x86, 0x59, 0x50, 0xA7,
    0x88, 0x87, 0x89, 0x8B, 0x8A, 0x8C, 0xBE, 0x8D, 0x8F, 0x8E, 0x90, 0x91, 0x93, 0x92, 0x94, 0x95,
    0xF0, 0x96, 0x98, 0x97, 0x99, 0x9B, 0x9A, 0xD6, 0xBF, 0x9D, 0x9C, 0x9E, 0x9F, 0x79, 0x70, 0xD8,
};

unsigned char gBuffer[kDocumentBufferSize];
int32_t gBufferPos = 0;

namespace {

int64_t gBytesWritten = 0;

// What a read keeps from before it: the page set-up, which no new class resets, and the
// flag that NewClass carries over.
PageSetupRecord gPageSetupBeforeRead;
uint8_t gKeptBeforeRead = 0;
// The header of the new class a read starts from.
ClassRecord gNewClassHeader;

// A failed read leaves fields neither decoded nor checked; the window drawn behind the
// alert and the caller after it get a new class instead.
void ResetAfterFailedRead() {
  gClass.flags = gKeptBeforeRead;
  NewClass();
  gPageSetup = gPageSetupBeforeRead;
}

// Whole code pages, so that a text converts with one lookup a byte and no branch.
struct ByteMap {
  unsigned char to[256];
  unsigned char operator[](unsigned char c) const { return to[c]; }
};
constexpr ByteMap Extend(const unsigned char (&high)[128]) {
  ByteMap m{};
  for (int c = 0; c < 256; c++) m.to[c] = static_cast<unsigned char>(c < 0x80 ? c : high[c - 0x80]);
  return m;
}
constexpr ByteMap kToWindows = Extend(gWindows1252);
constexpr ByteMap kToMacRoman = Extend(gMacOSRoman);
constexpr ByteMap RoundTripMap() {
  ByteMap m{};
  for (int c = 0; c < 256; c++) m.to[c] = kToMacRoman.to[kToWindows.to[c]];
  return m;
}
constexpr ByteMap kRoundTrip = RoundTripMap();

#if defined(__x86_64__)
// 32 bytes a step: the byte's high nibble picks one of the eight 16-byte rows of the
// upper half, its low nibble the entry. Steps run from the start (forward) or from the
// end (backward), so that a text moved one place within its field never overwrites
// bytes it has yet to read; the bytes short of a step go through a scratch step last.
__attribute__((target("avx2"))) inline __m256i MapStep(const __m256i (&rows)[8], __m256i v) {
  if (_mm256_movemask_epi8(v) == 0) return v;
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i lo = _mm256_and_si256(v, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  __m256i r = v;
  for (int k = 0; k < 8; k++) {
    const __m256i row = _mm256_cmpeq_epi8(hi, _mm256_set1_epi8(static_cast<char>(8 + k)));
    r = _mm256_blendv_epi8(r, _mm256_shuffle_epi8(rows[k], lo), row);
  }
  return r;
}

__attribute__((target("avx2"))) void MapTextAvx2(const unsigned char* in, unsigned char* out,
                                                 size_t n, const unsigned char* high,
                                                 bool backward) {
  __m256i rows[8];
  for (int k = 0; k < 8; k++)
    rows[k] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high + 16 * k)));
  const size_t steps = n / 32, rest = n % 32;
  for (size_t step = 0; step < steps; step++) {
    const size_t at = backward ? n - 32 * (step + 1) : 32 * step;
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + at));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), MapStep(rows, v));
  }
  if (rest == 0) return;
  const size_t at = backward ? 0 : n - rest;
  alignas(32) unsigned char scratch[32] = {};
  std::memcpy(scratch, in + at, rest);
  _mm256_store_si256(reinterpret_cast<__m256i*>(scratch),
                     MapStep(rows, _mm256_load_si256(reinterpret_cast<const __m256i*>(scratch))));
  std::memcpy(out + at, scratch, rest);
}

// 64 bytes a step, the whole upper half as one two-register table; a masked load and
// store take the bytes short of a step.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MapTextAvx512(
    const unsigned char* in, unsigned char* out, size_t n, const unsigned char* high,
    bool backward) {
  const __m512i lower = _mm512_loadu_si512(high), upper = _mm512_loadu_si512(high + 64);
  for (size_t done = 0; done < n;) {
    const size_t take = std::min<size_t>(64, n - done);
    const size_t at = backward ? n - done - take : done;
    const __mmask64 bytes = take == 64 ? ~__mmask64{0} : (__mmask64{1} << take) - 1;
    const __m512i v = _mm512_maskz_loadu_epi8(bytes, in + at);
    const __m512i mapped = _mm512_permutex2var_epi8(lower, v, upper);
    _mm512_mask_storeu_epi8(out + at, bytes,
                            _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), v, mapped));
    done += take;
  }
}

// The widest of these the processor has: 512 (with byte permutes), 256, else 0.
int SupportedVectorBits() {
  static const int bits = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
      return 512;
    return __builtin_cpu_supports("avx2") ? 256 : 0;
  }();
  return bits;
}
#else
int SupportedVectorBits() { return 0; }
#endif

int gVectorBitsCap = 512;

int VectorBits() { return std::min(SupportedVectorBits(), gVectorBitsCap); }

// out[i] = map of in[i] for n bytes; out may be in, or in moved one place either way.
void MapText(const unsigned char* in, unsigned char* out, size_t n, const ByteMap& map) {
  const bool backward = out > in;
#if defined(__x86_64__)
  const unsigned char* high = map.to + 0x80;  // the vector steps map the upper half only
  const int bits = VectorBits();
  if (bits >= 512) return MapTextAvx512(in, out, n, high, backward);
  if (bits >= 256) return MapTextAvx2(in, out, n, high, backward);
#endif
  if (backward) {
    for (size_t i = n; i > 0; i--) out[i - 1] = map[in[i - 1]];
  } else {
    for (size_t i = 0; i < n; i++) out[i] = map[in[i]];
  }
}

// The bytes of a text up to its first NUL, at most limit of them.
int TextLength(const unsigned char* text, int limit) {
  if (limit <= 0) return 0;
  const void* nul = std::memchr(text, 0, static_cast<size_t>(limit));
  return nul ? static_cast<int>(static_cast<const unsigned char*>(nul) - text) : limit;
}

void DocumentName(Str255& name) { GetFileName(gFileSpec, name); }

// A text field in its file form: converted bytes, a NUL, zeros to the end, so that
// saving the same class twice gives the same bytes. A NUL inside the text ends it.
template <int N>
void ToFileText(Str<N>& s) {
  unsigned char* b = s.bytes;
  const int length = TextLength(b + 1, std::min<int>(b[0], N));
  MapText(b + 1, b, static_cast<size_t>(length), kToWindows);
  std::memset(b + length, 0, static_cast<size_t>(N + 1 - length));
}

// What reading the field back after a save gives.
void RoundTrip(unsigned char* s, int capacity) {
  const int length = TextLength(s + 1, std::min<int>(s[0], capacity));
  MapText(s + 1, s + 1, static_cast<size_t>(length), kRoundTrip);
  s[0] = static_cast<unsigned char>(length);
}

int LastNamedStudent() {
  for (int s = kMaxStudents - 1; s > 0; s--)
    if (!gStudents[s].name.empty()) return s;
  return 0;
}

template <typename T>
bool WriteValue(FileRef ref, const T& value) {
  return Write(ref, sizeof value, &value);
}

bool WriteBlocks(FileRef ref, int n, int lastTerm) {
  const uint16_t version = kDocumentVersion;
  if (!WriteValue(ref, version)) return false;

  ClassRecord header = gClass;
  ToFileText(header.school);
  ToFileText(header.subject);
  ToFileText(header.teacher);
  ToFileText(header.passwordDigest);
  unsigned char headerBytes[sizeof header];
  std::memcpy(headerBytes, &header, sizeof header);
  headerBytes[198] = headerBytes[199] = 0;  // alignment
  if (!Write(ref, sizeof headerBytes, headerBytes)) return false;

  ExportDataRecord exportData = gExportData;
  ToFileText(exportData.classCode);
  ToFileText(exportData.section);
  ToFileText(exportData.account);
  // Every dialog asks for this field afresh (a password field), and older classes may hold
  // an upload password here: it never reaches the file, and the open class drops it too.
  std::fill(std::begin(exportData.teacherID.bytes), std::end(exportData.teacherID.bytes), 0);
  gExportData.teacherID = exportData.teacherID;
  if (!WriteValue(ref, exportData)) return false;

  if (!WriteValue(ref, gReportOptions) || !WriteValue(ref, gGrading) ||
      !WriteValue(ref, gCutoffs))
    return false;

  Str4 letters[kMaxLetterGrades];
  std::copy(gLetterGrades, gLetterGrades + kMaxLetterGrades, letters);
  for (auto& l : letters) ToFileText(l);
  if (!WriteValue(ref, letters)) return false;

  for (int t = 0; t < kMaxTerms; t++) {
    CategoryRecord categories[kMaxCategories];
    std::copy(gCategories[t], gCategories[t] + kMaxCategories, categories);
    for (auto& c : categories) ToFileText(c.name);
    if (!WriteValue(ref, categories)) return false;
  }

  CodeRecord codes[kMaxCodes];
  std::copy(gCodes, gCodes + kMaxCodes, codes);
  for (auto& c : codes) ToFileText(c.name);
  if (!WriteValue(ref, codes)) return false;

  if (!WriteValue(ref, gSchoolWeek) || !WriteValue(ref, gTermDates)) return false;
  const uint16_t last = static_cast<uint16_t>(n);
  if (!WriteValue(ref, last)) return false;

  for (int s = 0; s <= n; s++) {
    StudentRecord student = gStudents[s];
    ToFileText(student.id);
    ToFileText(student.name);
    if (!WriteValue(ref, student)) return false;
  }
  for (int t = 0; t <= lastTerm; t++) {
    AssignmentRecord assignments[kMaxAssignments];
    std::copy(gAssignments[t], gAssignments[t] + kMaxAssignments, assignments);
    for (auto& a : assignments) ToFileText(a.name);
    if (!WriteValue(ref, assignments)) return false;
  }
  for (int s = 0; s <= n; s++)
    for (int t = 0; t <= lastTerm; t++)
      if (!WriteValue(ref, gScores[s][t])) return false;
  for (int s = 0; s <= n; s++)
    if (!WriteValue(ref, gAttendance[s])) return false;
  for (int t = 0; t <= lastTerm; t++) {
    Str255 top = gHeader[t], bottom = gFooter[t];
    ToFileText(top);
    ToFileText(bottom);
    if (!WriteValue(ref, top) || !WriteValue(ref, bottom)) return false;
  }
  for (int s = 0; s <= n; s++) {
    for (int t = 0; t <= lastTerm; t++) {
      Str255 comment = gComments[s][t];
      ToFileText(comment);
      if (!WriteValue(ref, comment)) return false;
    }
  }

  Str21 names[kMaxTerms];
  std::copy(gTermNames, gTermNames + kMaxTerms, names);
  for (auto& name : names) ToFileText(name);
  if (!WriteValue(ref, names)) return false;
  Str21 footnotes[kMaxFootnotes];
  std::copy(gFootnoteText, gFootnoteText + kMaxFootnotes, footnotes);
  for (auto& f : footnotes) ToFileText(f);
  if (!WriteValue(ref, footnotes)) return false;

  for (int s = 0; s <= n; s++)
    for (int t = 0; t <= lastTerm; t++)
      if (!WriteValue(ref, gFootnotes[s][t])) return false;

  SpecialScoreRecord specials[kMaxSpecialScores];
  std::copy(gSpecialScores, gSpecialScores + kMaxSpecialScores, specials);
  for (auto& sp : specials) ToFileText(sp.name);
  if (!WriteValue(ref, specials)) return false;

  for (int t = 0; t <= lastTerm; t++)
    if (!WriteValue(ref, gAssignDates[t])) return false;
  if (!WriteValue(ref, gSeatingChart) || !WriteValue(ref, gHolidays) ||
      !WriteValue(ref, gPageSetup) || !WriteValue(ref, gAttendGrade))
    return false;

  EmailDataRecord email = gEmailData;
  ToFileText(email.server);
  ToFileText(email.user);
  ToFileText(email.password);
  ToFileText(email.address);
  if (!WriteValue(ref, email)) return false;
  for (int s = 0; s <= n; s++) {
    EmailAddressRecord addresses = gEmailAddresses[s];
    ToFileText(addresses.recipients);
    ToFileText(addresses.blindCopies);
    if (!WriteValue(ref, addresses)) return false;
  }
  return true;
}

bool WriteFailed(FileRef ref, OSErr err) {
  Str255 name;
  DocumentName(name);
  HandleError(name, err);
  FSClose(ref);
  return false;
}

class FileSource : public DocumentSource {
 public:
  explicit FileSource(FileRef ref) : ref_(ref), buffer_(1 << 16) {}
  OSErr Read(void* data, size_t count) override {
    auto* out = static_cast<unsigned char*>(data);
    while (count > 0) {
      // A block larger than the buffer goes straight to its place once the buffer is used.
      if (pos_ == length_ && pending_ == noErr && count >= buffer_.size()) {
        int32_t n = static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
        const OSErr err = FSRead(ref_, n, out);
        if (err != noErr) return err;
        out += n;
        count -= static_cast<size_t>(n);
        continue;
      }
      if (pos_ == length_) {
        if (pending_ != noErr) return pending_;
        int32_t n = static_cast<int32_t>(buffer_.size());
        pending_ = FSRead(ref_, n, buffer_.data());  // used once the bytes before it are
        pos_ = 0;
        length_ = static_cast<size_t>(n);
        if (length_ == 0) return pending_ != noErr ? pending_ : eofErr;
      }
      const size_t k = std::min(count, length_ - pos_);
      std::memcpy(out, buffer_.data() + pos_, k);
      out += k;
      pos_ += k;
      count -= k;
    }
    return noErr;
  }

 private:
  FileRef ref_;
  std::vector<unsigned char> buffer_;
  size_t pos_ = 0;
  size_t length_ = 0;
  OSErr pending_ = noErr;
};

class MemorySource : public DocumentSource {
 public:
  MemorySource(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  OSErr Read(void* data, size_t count) override {
    if (count > size_ - pos_) {
      pos_ = size_;
      return eofErr;
    }
    std::memcpy(data, data_ + pos_, count);
    pos_ += count;
    return noErr;
  }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A table of students 0..n by terms 0..lastTerm. With every term kept the file's rows lie
// in the table as they follow each other, and the whole table is read at once.
template <typename Row>
bool ReadPerStudent(DocumentSource& in, Row (*table)[kMaxTerms], int n, int lastTerm) {
  if (lastTerm == kMaxTerms - 1) return ReadBlock(in, table, sizeof table[0] * (n + 1));
  for (int s = 0; s <= n; s++)
    if (!ReadBlock(in, table[s], sizeof(Row) * (lastTerm + 1))) return false;
  return true;
}

// Versions 18 to 21: the current layout, in either byte order.
bool ReadCurrent(DocumentSource& in, int16_t version, bool le) {
  if (!ReadBlock(in, &gClass, sizeof gClass)) return false;
  int lastTerm = 0;
  if (!AcceptClassHeader(le, lastTerm)) return false;
  if (!ReadBlock(in, &gExportData, sizeof gExportData) ||
      !ReadBlock(in, &gReportOptions, sizeof gReportOptions) ||
      !ReadBlock(in, gGrading, sizeof gGrading) || !ReadBlock(in, gCutoffs, sizeof gCutoffs) ||
      !ReadBlock(in, gLetterGrades, sizeof gLetterGrades) ||
      !ReadBlock(in, gCategories, sizeof gCategories) || !ReadBlock(in, gCodes, sizeof gCodes) ||
      !ReadBlock(in, gSchoolWeek, sizeof gSchoolWeek) ||
      !ReadBlock(in, gTermDates, sizeof gTermDates))
    return false;
  int n = 0;
  if (!ReadLastStudent(in, le, n)) return false;
  if (!ReadBlock(in, gStudents, sizeof(StudentRecord) * (n + 1))) return false;
  for (int t = 0; t <= lastTerm; t++)
    if (!ReadBlock(in, gAssignments[t], sizeof gAssignments[t])) return false;
  if (!ReadPerStudent(in, gScores, n, lastTerm)) return false;
  if (!ReadBlock(in, gAttendance, sizeof gAttendance[0] * (n + 1))) return false;
  for (int t = 0; t <= lastTerm; t++)
    if (!ReadBlock(in, &gHeader[t], sizeof gHeader[t]) ||
        !ReadBlock(in, &gFooter[t], sizeof gFooter[t]))
      return false;
  if (!ReadPerStudent(in, gComments, n, lastTerm)) return false;
  if (!ReadBlock(in, gTermNames, sizeof gTermNames) ||
      !ReadBlock(in, gFootnoteText, sizeof gFootnoteText))
    return false;
  if (!ReadPerStudent(in, gFootnotes, n, lastTerm)) return false;
  if (!ReadBlock(in, gSpecialScores, sizeof gSpecialScores) ||
      !ReadBlock(in, gAssignDates, sizeof gAssignDates[0] * (lastTerm + 1)) ||
      !ReadBlock(in, &gSeatingChart, sizeof gSeatingChart) ||
      !ReadBlock(in, gHolidays, sizeof gHolidays) ||
      !ReadBlock(in, &gPageSetup, sizeof gPageSetup))
    return false;
  if (version >= 19 && !ReadBlock(in, &gAttendGrade, sizeof gAttendGrade)) return false;
  if (version >= 20) {
    if (!ReadBlock(in, &gEmailData, sizeof gEmailData) ||
        !ReadBlock(in, gEmailAddresses, sizeof(EmailAddressRecord) * (n + 1)))
      return false;
  }
  DocumentExtent extent;
  extent.version = version;
  extent.littleEndian = le;
  extent.students = n + 1;
  extent.terms = lastTerm + 1;
  ConvertFormat(extent);
  if (version < 20) NotifyConverted();
  return true;
}

}  // namespace

// ---- Text and number conversion ------------------------------------------------------

int LimitTextVectorsForTesting(int bits) {
  gVectorBitsCap = bits;
  return VectorBits();
}

void ConvertPString(unsigned char* s) {
  const int length = s[0];
  MapText(s + 1, s, static_cast<size_t>(length), kToWindows);
  s[length] = 0;
}

void ConvertCString(unsigned char* s, int capacity) {
  const int length = TextLength(s, std::clamp(capacity, 0, 255));
  MapText(s, s + 1, static_cast<size_t>(length), kToMacRoman);
  s[0] = static_cast<unsigned char>(length);
}

void ConvertShort(uint16_t& value) { value = static_cast<uint16_t>((value >> 8) | (value << 8)); }
void ConvertShort(int16_t& value) {
  uint16_t v = static_cast<uint16_t>(value);
  ConvertShort(v);
  value = static_cast<int16_t>(v);
}
void ConvertLong(uint32_t& value) { value = __builtin_bswap32(value); }
void ConvertSigned(int32_t& value) {
  value = static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(value)));
}

// ---- Writing ---------------------------------------------------------------------------

int64_t DocumentLength(int lastStudent, int lastTerm) {
  const int64_t s = lastStudent + 1, t = lastTerm + 1;
  return 5318 + 1388 * s + 8912 * t + 706 * s * t;
}

bool Write(FileRef refNum, int32_t count, const void* data) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (count > 0) {
    const int32_t k = std::min(count, kDocumentBufferSize - gBufferPos);
    std::memcpy(gBuffer + gBufferPos, bytes, static_cast<size_t>(k));
    gBufferPos += k;
    bytes += k;
    count -= k;
    if (gBufferPos == kDocumentBufferSize) {
      int32_t n = kDocumentBufferSize;
      const OSErr err = FSWrite(refNum, n, gBuffer);
      gBytesWritten += n;
      gBufferPos = 0;
      if (err != noErr) return WriteFailed(refNum, err);
    }
  }
  return true;
}

bool WriteDocument(FileRef refNum) {
  gBufferPos = 0;
  gBytesWritten = 0;
  gClass.currentTerm = static_cast<uint8_t>(gCurrentTerm);
  gClass.savedTime = GetDateTime();
  const int n = LastNamedStudent();
  const int lastTerm = LastTermIndex();

  OSErr err = SetEOF(refNum, 0);
  if (err != noErr) return WriteFailed(refNum, err);
  if (!WriteBlocks(refNum, n, lastTerm)) return false;  // reported and closed by Write
  int32_t count = gBufferPos;
  err = FSWrite(refNum, count, gBuffer);
  gBytesWritten += count;
  gBufferPos = 0;
  if (err != noErr) return WriteFailed(refNum, err);
  int64_t position = 0;
  err = GetFPos(refNum, position);
  if (err == noErr) err = SetEOF(refNum, position);
  if (err == noErr) err = FlushFile(refNum);
  if (err != noErr) return WriteFailed(refNum, err);
  FSClose(refNum);
  return true;
}

bool VerifySave(const FileSpec& spec, int64_t expectedLength) {
  Str255 name;
  DocumentName(name);
  FileRef ref;
  OSErr err = FSOpen(spec, kReadPermission, ref);
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  unsigned char word[2] = {0, 0};
  int32_t count = 2;
  err = FSRead(ref, count, word);
  int64_t length = -1;
  if (err == noErr && expectedLength >= 0) err = GetEOF(ref, length);
  FSClose(ref);
  int value = word[0] | word[1] << 8;
  if (value >= 256) value >>= 8;
  const bool whole = expectedLength < 0 || length == expectedLength;
  if (err == noErr && value == kDocumentVersion && whole) return true;
  HandleError(name, kSaveFailedErr);
  return false;
}

bool SaveDocument() {
  Str255 name;
  DocumentName(name);
  if (gFileSpec.empty()) {
    HandleError(name, fnfErr);
    return false;
  }
  SafeSave save(gFileSpec);
  FileRef ref = kNoFile;
  OSErr err = save.Begin(ref);
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  if (!WriteDocument(ref)) return false;
  if (!VerifySave(save.temporary(), gBytesWritten)) return false;
  err = save.Commit();
  if (err != noErr) {
    HandleError(name, err);
    return false;
  }
  SetChanged(0);
  // The open class now shows each text as the saved file holds it.
  DocumentExtent all;
  all.students = kMaxStudents;
  all.terms = kMaxTerms;
  ForEachTextField(all, true, RoundTrip);
  return true;
}

// ---- Reading ---------------------------------------------------------------------------

uint16_t FileShort(uint16_t stored, bool littleEndian) {
  if (!littleEndian) ConvertShort(stored);
  return stored;
}

bool DocumentError(OSErr code) {
  ResetAfterFailedRead();
  Str255 name;
  DocumentName(name);
  HandleError(name, code);
  return false;
}

bool ReadBlock(DocumentSource& in, void* data, size_t count) {
  const OSErr err = in.Read(data, count);
  return err == noErr || DocumentError(err);
}

bool AcceptClassHeader(bool littleEndian, int& lastTerm) {
  lastTerm = static_cast<int16_t>(FileShort(static_cast<uint16_t>(gClass.lastTerm), littleEndian));
  if (lastTerm < 0 || lastTerm >= kMaxTerms) return DocumentError(kDamagedErr);
  if (littleEndian) {
    ConvertCString(gClass.passwordDigest.bytes, Str17::kCapacity);
  } else if (gClass.passwordDigest[0] > Str17::kCapacity) {
    gClass.passwordDigest[0] = Str17::kCapacity;
  }
  if (gClass.passwordDigest.empty()) return true;
  // The window may be drawn behind the dialog, and the header's other texts and numbers
  // are not decoded yet: until the answer it shows the new class's header.
  const ClassRecord stored = gClass;
  gClass = gNewClassHeader;
  gClass.passwordDigest = stored.passwordDigest;
  const bool open = DoPasswordDialog();
  gClass = stored;
  if (open) return true;
  ResetAfterFailedRead();
  return false;
}

bool ReadLastStudent(DocumentSource& in, bool littleEndian, int& lastStudent) {
  uint16_t n = 0;
  if (!ReadBlock(in, &n, sizeof n)) return false;
  lastStudent = FileShort(n, littleEndian);
  return lastStudent < kMaxStudents || DocumentError(kDamagedErr);
}

bool ReadDocumentFrom(DocumentSource& in) {
  gPageSetupBeforeRead = gPageSetup;
  gKeptBeforeRead = gClass.flags & kKeptFlag;
  NewClass();
  gNewClassHeader = gClass;
  SetChanged(0);
  InsertRecentFile(gFileSpec);
  unsigned char word[2];
  if (!ReadBlock(in, word, sizeof word)) return false;
  const int value = word[0] | word[1] << 8;
  if (value == 0) return DocumentError(kDamagedErr);
  const bool littleEndian = value < 256;
  const int16_t version = static_cast<int16_t>(littleEndian ? value : value >> 8);
  if (version < 12) return Convert50(in, version, littleEndian);
  if (version < 18) return Convert59(in, version, littleEndian);
  if (version > kDocumentVersion) return DocumentError(kNewerVersionErr);
  return ReadCurrent(in, version, littleEndian);
}

bool ReadDocument(FileRef refNum) {
  FileSource in(refNum);
  const bool ok = ReadDocumentFrom(in);
  FSClose(refNum);
  return ok;
}

bool ReadDocumentFromMemory(const void* data, size_t size) {
  MemorySource in(data, size);
  return ReadDocumentFrom(in);
}

