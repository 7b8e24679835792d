// Shared between the portable and the system-facing halves of the platform layer.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/optional.hpp>

#include "vexolib/platform/platform.h"

namespace vexo {
namespace platform {
namespace priv {

// The process-wide states, here so that the test build's seams can put them back to a fresh
// process's; never destroyed, so that exceptions thrown during static destruction can still
// trace.
struct TraceState {
  bool tracingEnabled = true;
  int maxTraceLogFiles = 100;
  bool logTableEnabled = true;
  std::deque<LogEntry> logTable;
  int traceFd = -1;
  bool traceBad = false;  // a write failed: nothing more goes to this file
  bool opening = false;   // lines traced while the file is being opened skip the file
  boost::optional<boost::filesystem::path> traceLogDirPath;
  std::string prefix = "trace-";
  std::string suffix = ".log";
};
TraceState& traceState();
void ensureTraceLogClosed();

struct ConfigState {
  std::map<std::string, std::string> options;
  bool loaded = false;
};
ConfigState& configState();

struct FolderCache {
  boost::optional<std::string> tempDataDirPath;
  boost::optional<std::string> cachingDirPath;
};
FolderCache& folderCache();

// The folder whose "vexo/vexo.ini" is the machine-wide fallback: "/etc", which only the test
// build's seam changes (seams/).
const std::string& networkConfigRoot();

// The folders searched for "vexo/vexo.ini", user first, then local, then network; an
// entry is empty when that domain has no folder here.
std::vector<std::string> configDomainFolders();

}  // namespace priv

// Internals the framework's tests also reach.
namespace detail {

// Splits a configuration file's text at every CR and LF, dropping empty lines.
std::vector<std::string> splitConfigText(const std::string& text);

// 0 the temporary folder, 1 the cache folder; anything else raises VexoException 103.
std::string getSpecialPurposeDirectoryPathString(int purpose);

}  // namespace detail
}  // namespace platform
}  // namespace vexo
