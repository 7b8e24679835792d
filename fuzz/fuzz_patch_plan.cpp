// The patch plan reader on any text: it fails only with its own statuses or the time
// conversion error, and every plan it accepts names only paths inside their folders, with
// the pieces its line kind has.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "fuzz_check.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/patch/PatchPlan.h"
#include "vexolib/platform/platform.h"

namespace {

bool insideItsFolder(const std::string& path) {
  if (path.empty() || path[0] == '/' || path.find('\0') != std::string::npos) return false;
  bool named = false;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    const std::string::size_type end = std::min(path.find('/', start), path.size());
    const std::string element = path.substr(start, end - start);
    if (element == "..") return false;
    if (!element.empty() && element != ".") named = true;
    start = end + 1;
  }
  return named;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexo::platform::setTracingEnabled(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<vexo::PatchPlanEntry> entries;
  try {
    entries = vexo::readPatchPlan(text);
  } catch (const vexo::VexoException& e) {
    FUZZ_CHECK(e.statusCode == 126 || e.statusCode == 103);
    return 0;
  } catch (const boost::bad_lexical_cast&) {
    return 0;
  }
  using Kind = vexo::PatchPlanEntry::Kind;
  for (const vexo::PatchPlanEntry& entry : entries) {
    FUZZ_CHECK(!entry.line.empty());
    FUZZ_CHECK(entry.line.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(text.find(entry.line) != std::string::npos);
    FUZZ_CHECK(insideItsFolder(entry.target));
    FUZZ_CHECK(!entry.time.empty());
    const bool hasSource = entry.kind == Kind::copyFile || entry.kind == Kind::patchFile;
    const bool hasPatchFile = entry.kind == Kind::createFile || entry.kind == Kind::patchFile;
    FUZZ_CHECK(hasSource ? insideItsFolder(entry.source) : entry.source.empty());
    FUZZ_CHECK(hasPatchFile ? insideItsFolder(entry.patchFile) : entry.patchFile.empty());
    FUZZ_CHECK(entry.kind == Kind::copyFile || entry.kind == Kind::createFile ||
                   entry.kind == Kind::patchFile || !entry.executable);
  }
  return 0;
}
