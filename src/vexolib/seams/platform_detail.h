// Seams of the platform layer for the framework's own tests and fuzzers. The exported
// interface never calls these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {
namespace platform {
namespace detail {

// Back to the state of a fresh process: options unloaded and empty.
void resetConfigOptions();
// Forgets the cached temporary and cache folders.
void resetFolderCache();
// Closes the trace file and restores every tracing and log-table setting to its default.
void resetTracing();

// The folder whose "vexo/vexo.ini" is the machine-wide fallback ("/etc" by default).
void setNetworkConfigRoot(const std::string& root);

// Splits a configuration file's text at every CR and LF, dropping empty lines.
std::vector<std::string> splitConfigText(const std::string& text);

// 0 the temporary folder, 1 the cache folder; anything else raises VexoException 103.
std::string getSpecialPurposeDirectoryPathString(int purpose);

// Fault injection for the file handles: after `bytes` more bytes, writes fail with ENOSPC
// (a write across the limit comes back short). -1 switches it off.
void failWritesAfter(std::int64_t bytes);
// After `bytes` more bytes, reads end early: they return 0, or -1 with EIO when asError.
void failReadsAfter(std::int64_t bytes, bool asError);

}  // namespace detail
}  // namespace platform
}  // namespace vexo
