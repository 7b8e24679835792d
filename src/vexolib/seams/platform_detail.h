// Seams of the platform layer for the framework's own tests, fuzzers and benchmarks. They are
// built into the test library only (seams/*.cpp); the shipped library has neither these
// functions nor the code paths they switch on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "vexolib/platform/platform_private.h"

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

// Fault injection for the file handles: after `bytes` more bytes, writes fail with ENOSPC
// (a write across the limit comes back short). -1 switches it off.
void failWritesAfter(std::int64_t bytes);
// After `bytes` more bytes, reads end early: they return 0, or -1 with EIO when asError.
void failReadsAfter(std::int64_t bytes, bool asError);
// The next read or write of a file handle runs `thrower` (once) instead of its transfer, so
// that a test can raise any kind of exception deep inside an operation. Empty: off.
void throwAtNextFileAccess(std::function<void()> thrower);

}  // namespace detail
}  // namespace platform
}  // namespace vexo
