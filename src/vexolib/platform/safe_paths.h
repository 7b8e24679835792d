// The one rule for where a relative path from a server, a patch plan or a dump name may lead,
// and the one way to open a file that must be a regular file: a FIFO would block the open
// until a writer comes, a device would feed bytes for ever.
#pragma once

#include <sys/stat.h>

#include <string>

#include <boost/filesystem/path.hpp>

#include "vexolib/platform/fileio.h"

namespace vexo {
namespace fileio {

// True when `inner` is `outer` or lies below it, element by element.
bool isWithin(const boost::filesystem::path& inner, const boost::filesystem::path& outer);

// The text alone: relative, no NUL, no ".." element, and at least one element that names
// something ("." and empty elements are skipped). What every relative path must be before
// any root is asked about.
bool isPlainRelativePath(const std::string& relPath);

// root / relPath (its "." and empty elements dropped) when relPath is plain (above) and every
// symbolic link met on the way from root leads to a place inside root; false otherwise,
// `resolved` then being unspecified. What does not exist yet is accepted: we make it, never
// as a link.
bool resolveInRoot(const boost::filesystem::path& root, const std::string& relPath,
                   boost::filesystem::path& resolved);
// The same for a path a server sent: VexoException 103 "Refused relative path ..." instead
// of false.
boost::filesystem::path confinedPath(const boost::filesystem::path& root,
                                     const std::string& relPath);

// Opens path for reading when it is a regular file, links followed unless followLinks is
// false; `info` gets what was opened. A pipe, socket or device is never opened; an invalid
// handle then, errno EINVAL (EISDIR for a folder), or the errno of the failed look or open.
FileHandle openRegularFile(const std::string& path, struct stat& info, bool followLinks = true);
// The same for a file the caller names as existing: a missing one raises platform::fileSize's
// error, as the readers that took its size first always have. Otherwise as above, errno kept.
FileHandle openExistingRegularFile(const std::string& path, struct stat& info);
// The same for a name below the open folder dirHandle that its listing showed as a regular
// file: opened without waiting, then checked again, as it may have been replaced since.
FileHandle openRegularFileAt(int dirHandle, const char* name, struct stat& info,
                             bool followLinks = true);

}  // namespace fileio
}  // namespace vexo
