// The vexokit framework as the program reaches it: its shared library opened at run time by
// its versioned name and its two upload entry points looked up by name. The program does not
// link the library, so a system without it still runs everything but the Lorvex upload.
#pragma once

#include <string>

#include <vexokit/vexokit.h>

struct FrameworkEntryPoints {
  vexo25_addFile_fn addFile = nullptr;
  vexo25_sendFiles_fn sendFiles = nullptr;
};

// The library's name as the loader looks it up (through the program's run path, then
// LD_LIBRARY_PATH and the system's folders).
extern const char kFrameworkLibrary[];

// The entry points, with both members null when the library or either entry point is
// missing. The library is looked for once; a found library stays loaded (the framework
// keeps process-wide state).
const FrameworkEntryPoints& FrameworkEntries();
inline bool FrameworkAvailable() {
  const FrameworkEntryPoints& e = FrameworkEntries();
  return e.addFile && e.sendFiles;
}

// Test seam: the library (a name or a path) and the entry point names to look for next;
// null restores the program's own. The next FrameworkEntries looks again.
void SetFrameworkNamesForTesting(const char* library, const char* addFileName,
                                 const char* sendFilesName);
