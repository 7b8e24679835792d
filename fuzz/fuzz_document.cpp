// The gradebook document reader on any bytes: never outside its tables, every field it
// keeps within range, a class it accepts saves to a document that reads back to the same
// bytes, and the rest of the model can work on what it read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_program.h"
#include "marktally/model/converters.h"
#include "marktally/model/document.h"
#include "marktally/model/password.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"

namespace {

template <int N>
bool Fits(const Str<N>& s) {
  return s.length() <= N;
}

void CheckRanges() {
  FUZZ_CHECK(gClass.lastTerm >= 0 && gClass.lastTerm < kMaxTerms);
  FUZZ_CHECK(gClass.currentTerm <= gClass.lastTerm);
  FUZZ_CHECK(gClass.examWeight >= 0 && gClass.examWeight <= 1000);
  FUZZ_CHECK(Fits(gClass.school) && Fits(gClass.subject) && Fits(gClass.teacher) &&
             Fits(gClass.passwordDigest));
  for (const auto& s : gStudents) FUZZ_CHECK(Fits(s.id) && Fits(s.name));
  for (const auto& term : gAssignments) {
    for (const auto& a : term) {
      FUZZ_CHECK(Fits(a.name));
      FUZZ_CHECK(a.category < kMaxCategories);
    }
  }
  for (const auto& term : gCategories) {
    for (const auto& c : term) {
      FUZZ_CHECK(Fits(c.name));
      FUZZ_CHECK(c.drop <= kMaxAssignments);
    }
  }
  for (const auto& l : gLetterGrades) FUZZ_CHECK(Fits(l));
  for (const auto& c : gCodes) FUZZ_CHECK(Fits(c.name));
  for (const auto& student : gAttendance)
    for (uint8_t m : student) FUZZ_CHECK(m < kMaxCodes || m == kNoMark);
  for (const auto& student : gFootnotes)
    for (const auto& term : student)
      for (uint8_t m : term) FUZZ_CHECK(m < kMaxFootnotes || m == kNoMark);
  FUZZ_CHECK(gSeatingChart.rows >= 1 && gSeatingChart.rows <= kMaxSeatRows);
  FUZZ_CHECK(gSeatingChart.columns >= 1 && gSeatingChart.columns <= kMaxSeatColumns);
  for (const auto& row : gSeatingChart.seats)
    for (uint16_t seat : row) FUZZ_CHECK(seat < kMaxStudents || seat >= 0xFFFD);
  const uint32_t first = gTermDates[0].start;
  for (int t = 0; t <= gClass.lastTerm; t++) {
    FUZZ_CHECK(gTermDates[t].start >= first && (gTermDates[t].start - first) / 86400 < 360);
    FUZZ_CHECK(gTermDates[t].end >= first && (gTermDates[t].end - first) / 86400 < 360);
  }
  FUZZ_CHECK(gPageSetup.scale >= 1 && gPageSetup.scale <= 150);
}

// The class as a version 21 document, through the program's own writer. The file and
// the buffers are made once: fresh megabytes on every input cost more than the reading.
void Save(std::vector<unsigned char>& bytes) {
  static const int fd = memfd_create("document", 0);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0);
  const int ref = dup(fd);
  FUZZ_CHECK(WriteDocument(ref));
  bytes.resize(static_cast<size_t>(lseek(fd, 0, SEEK_END)));
  FUZZ_CHECK(pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
}

std::vector<unsigned char> gFirst;
std::vector<unsigned char> gSecond;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetUpQuietProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gFuzzPrompts = 0;
  gFileSpec.path.clear();
  SetDefaultPageSetup();
  if (!ReadDocumentFromMemory(data, size)) return 0;
  CheckRanges();

  // Saving what was read, reading that and saving again changes nothing but the time.
  // The second class is the first to the byte, so its ranges need no second walk.
  gCurrentTerm = gClass.currentTerm;
  std::vector<unsigned char>& first = gFirst;
  std::vector<unsigned char>& second = gSecond;
  Save(first);
  FUZZ_CHECK(first.size() >= 2 && first[0] == kDocumentVersion && first[1] == 0);
  gFuzzPrompts = 0;
  FUZZ_CHECK(ReadDocumentFromMemory(first.data(), first.size()));
  gCurrentTerm = gClass.currentTerm;
  Save(second);
  FUZZ_CHECK(second.size() == first.size());
  FUZZ_CHECK(std::memcmp(first.data(), second.data(), 186) == 0);
  FUZZ_CHECK(std::memcmp(first.data() + 190, second.data() + 190, first.size() - 190) == 0);

  // What the window does with a class it opens: counts, grades, attendance.
  MakeClassCurrent();
  return 0;
}
