// Writes the class document that the smoke test opens in the real program
// (`smoke_document FILE.mtb [--password WORD]`), and lists what a saved one holds
// (`smoke_document --dump FILE.mtb`: one line per named student, "student|id|name",
// then one per named assignment of the current term, "name|category|points").
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "marktally/model/document.h"
#include "marktally/model/password.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "tests/shell/sample_class.h"

namespace {

int Dump(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (!in.eof() && !in.good()) return 1;
  if (!ReadDocumentFromMemory(bytes.data(), bytes.size())) return 1;
  for (int s = 0; s < kMaxStudents; s++)
    if (!gStudents[s].name.empty())
      std::printf("student|%s|%s\n", gStudents[s].id.str().c_str(),
                  gStudents[s].name.str().c_str());
  const int t = gClass.currentTerm < kMaxTerms ? gClass.currentTerm : 0;
  for (int a = 0; a < kMaxAssignments; a++) {
    const AssignmentRecord& rec = gAssignments[t][a];
    if (rec.name.empty()) continue;
    const int c = rec.category < kMaxCategories ? rec.category : 0;
    std::printf("%s|%s|%u\n", rec.name.str().c_str(), gCategories[t][c].name.str().c_str(),
                rec.points);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) return Dump(argv[2]);
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--password") == 0)) {
    std::fprintf(stderr, "usage: smoke_document FILE.mtb [--password WORD]\n"
                         "       smoke_document --dump FILE.mtb\n");
    return 2;
  }
  NewClass();
  gCurrentTerm = gClass.currentTerm;
  sample::FillClass(28, 10);
  // Every term has its grading options, so that opening the class changes nothing and
  // closing it asks nothing.
  CopyGradingOptions(kMaxTerms - 1);
  // The first student was present every day: each of that row's attendance cells is empty.
  for (uint8_t& day : gAttendance[0]) day = kNoMark;
  if (argc == 4) {
    Str255 digest;
    EncodePassword(PStr(argv[3]), digest);
    gClass.passwordDigest.set(digest);
  }
  gFileSpec.path = argv[1];
  return SaveDocument() ? 0 : 1;
}
