// The framework's binary patch applier as a program of its own, so that the patch benchmark
// measures it the way it measures Debian's bspatch: a fresh process, its time and its peak.
//   vexo_patch_apply PATCH OLD NEW
#include <cstdio>
#include <exception>

#include "vexolib/patch/bspatch.h"
#include "vexolib/platform/platform.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: vexo_patch_apply PATCH OLD NEW\n");
    return 2;
  }
  vexo::platform::setTracingEnabled(false);
  try {
    vexo::bspatch::applyPatch(argv[1], argv[2], argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vexo_patch_apply: %s\n", e.what());
    return 1;
  }
  return 0;
}
