// Prints what the keyboard test of the class options dialog checks in a saved class:
// the names of its terms, one a line, and its number of terms.
#include <cstdio>

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/tables.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: class_reader FILE.mtb\n");
    return 2;
  }
  NewClass();
  gFileSpec.path = argv[1];
  FileRef ref;
  if (!OpenFile(ref) || !ReadDocument(ref)) return 1;
  std::printf("terms %d\n", gClass.lastTerm + 1);
  for (int t = 0; t < kMaxTerms; t++) std::printf("%s\n", gTermNames[t].str().c_str());
  return 0;
}
