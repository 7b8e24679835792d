// The patch plan ("patch.plan"): the text that says how a patch directory turns an old tree
// into a new one. The first line is "version=1.0" or "version=1.1"; every further line is
// pieces separated by '|' (empty pieces dropped, none trimmed), the first piece its kind:
//   dir|<dir>|<time>
//   copyfile|<target>|<time>|<source>|<crc>[|<executable>]
//   createfile|<target>|<time>|<crc>|<data file>[|<executable>]
//   patchfile|<target>|<target crc>|<time>|<source>|<source crc>|<patch>|<patch crc>[|<exec>]
// Targets are relative to the new tree, sources to the old tree, data and patch files to the
// patch directory. Lines end at any CR or LF; blank lines are ignored everywhere.
//
// The plan comes from the network: the whole of it is read and checked before anything on
// disk changes, and a path that is absolute, climbs with "..", or names no file at all is
// refused.
#pragma once

#include <string>
#include <vector>

namespace vexo {

struct PatchPlanEntry {
  enum class Kind { dir, copyFile, createFile, patchFile };

  Kind kind = Kind::dir;
  std::string line;  // as written, for messages
  // Relative to the new tree: the directory of a "dir" line, else the file to make.
  std::string target;
  std::string time;
  // Relative to the old tree ("copyfile", "patchfile").
  std::string source;
  // Relative to the patch directory: the data file of "createfile", the patch of "patchfile".
  std::string patchFile;
  // "copyfile": source and target; "createfile": data file and target; "patchfile": target.
  unsigned int crc = 0;
  unsigned int sourceCrc = 0;  // "patchfile"
  unsigned int patchCrc = 0;   // "patchfile"
  bool executable = false;
};

// The entries of the plan text in order. Failures, for the first bad line:
//   VexoException 126 "First line of patch plan lacks valid version string.", "Invalid
//   patch plan line: ", "Patch plan 'dir' line missing pieces: ", "Patch plan '<kind>' line
//   has the wrong number of pieces: ", "Unsafe path in patch plan line: " (+ the line);
//   VexoException 103 "Invalid patch plan entry: " (+ the line) and the "Invalid ... CRC
//   string" texts; boost::bad_lexical_cast for a time piece whose five numbers are not all
//   whole numbers.
std::vector<PatchPlanEntry> readPatchPlan(const std::string& text);

// The standard CRC-32 as decimal text: digits only, at most 4294967295.
bool readPlanCrc(const std::string& text, unsigned int& crc);

}  // namespace vexo
