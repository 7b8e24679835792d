// The text import on any bytes, with any choice of columns and either format: the class
// list stays whole (no student without a name inside it, at most 250), every index it
// stores stays within its table, and the grades can be computed afterwards.
//
// An input is two bytes of options (bit 0 IDs, 1 names, 2 comments, 3 dates, 4 assignment
// names, 5 categories, 6 points, 7 scores, 8 codes, 9 e-mail addresses, 10 roster form,
// 11 comma-separated) and the file. The seeds are a class's exports in every layout and
// format with the options that read them back, the sheets a spreadsheet saved in each
// encoding and the program's earlier Mac Roman files (tests/fixtures/text_exchange).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/reports/text_import.h"

namespace {

std::string TempPath() {
  static std::string path;
  if (path.empty()) {
    char pattern[] = "/tmp/mt-fuzz-import-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    path = pattern;
    std::atexit([] { unlink(path.c_str()); });
  }
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static bool once = [] {
    SetAlertSink([](const AlertRequest&) { return int16_t{1}; });
    SetClockForTesting(3870000000u);
    return true;
  }();
  (void)once;
  NewClass();
  gCurrentTerm = gClass.currentTerm;
  gStudents[0].name.setC("Adams, Ann");
  gStudents[0].id.setC("1");
  const unsigned options = data[0] | (data[1] << 8);
  uint8_t* flags[] = {&gImportIDs,    &gImportNames,  &gImportComments, &gImportDates,
                      &gImportAssignments, &gImportCategories, &gImportPoints,
                      &gImportScores, &gImportCodes,  &gImportEmails,   &gImportingRoster};
  for (int i = 0; i < 11; i++) *flags[i] = (options >> i) & 1;
  gImportFormat = (options >> 11) & 1 ? 2 : 1;

  const std::string path = TempPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 2, 1, size - 2, f);
  std::fclose(f);
  ImportClass(FileSpec{path});
  ShowImportErrors();

  const int16_t n = NumStudents();
  FUZZ_CHECK(n >= 0 && n <= kMaxStudents);
  for (int s = n; s < kMaxStudents; s++) FUZZ_CHECK(gStudents[s].name.empty());
  for (int s = 0; s < kMaxStudents; s++) {
    FUZZ_CHECK(gStudents[s].name.length() <= 31 && gStudents[s].id.length() <= 15);
    for (int d = 0; d < kMaxDays; d++)
      FUZZ_CHECK(gAttendance[s][d] < kMaxCodes || gAttendance[s][d] == kNoMark);
  }
  for (const auto& a : gAssignments[gCurrentTerm]) {
    FUZZ_CHECK(a.category < kMaxCategories);
    FUZZ_CHECK(a.points <= 1000);
  }
  for (int s = 0; s < n; s++) TermPercent(static_cast<int16_t>(gCurrentTerm), s);
  return 0;
}
