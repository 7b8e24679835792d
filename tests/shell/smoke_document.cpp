// Writes the class document that the smoke test opens in the real program.
#include <cstdio>

#include "marktally/model/document.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "tests/shell/sample_class.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: smoke_document FILE.mtb\n");
    return 2;
  }
  NewClass();
  gCurrentTerm = gClass.currentTerm;
  sample::FillClass(28, 10);
  // Every term has its grading options, so that opening the class changes nothing and
  // closing it asks nothing.
  CopyGradingOptions(kMaxTerms - 1);
  gFileSpec.path = argv[1];
  return SaveDocument() ? 0 : 1;
}
