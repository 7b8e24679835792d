#include "vexolib/patch/PatchCommand.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/filesystem/operations.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/patch/PatchPlan.h"
#include "vexolib/patch/bspatch.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/util.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

namespace fs = boost::filesystem;

constexpr std::size_t copyBufferSize = 32768;

void setPath(fs::path& field, const char* text, const char* failure) {
  if (!text || !*text) {
    throw VexoException(status::generalFailure, failure);
  }
  field = fs::path(text);
}

// The flag at `at` followed by its paths, each stored as soon as it is reached.
Command::Args::const_iterator takePaths(
    const Command::Args& args, Command::Args::const_iterator at,
    std::initializer_list<std::pair<fs::path*, const char*>> paths) {
  for (const auto& path : paths) {
    if (++at == args.end()) {
      throw std::runtime_error(path.second);
    }
    *path.first = fs::path(*at);
  }
  return at + 1;
}

// Lexically normal, without the "." that a trailing '/' leaves behind.
fs::path normalised(const fs::path& path) {
  fs::path normal = path.lexically_normal();
  if (normal.filename() == "." && normal.has_parent_path()) {
    normal = normal.parent_path();
  }
  return normal;
}

fs::path realPath(const fs::path& path) {
  boost::system::error_code error;
  const fs::path real = fs::weakly_canonical(fs::absolute(path), error);
  return error ? normalised(fs::absolute(path)) : real;
}

// A plan names one file a line, so this is far more than any install needs, and still little
// enough to read whole.
constexpr std::size_t maxPlanBytes = std::size_t(16) << 20;

// Read whole, sized to the file; a plan that cannot be opened reads as empty. A FIFO or a
// device in its place is refused unopened, a plan past maxPlanBytes unread.
std::string readPlanText(const fs::path& plan) {
  struct stat info = {};
  const fileio::FileHandle in = fileio::openRegularFile(plan.string(), info);
  if (!in.valid()) {
    if (errno == EINVAL) {
      throw VexoException(status::generalFailure, "Patch plan is not a regular file: " +
                                                      plan.string());
    }
    return std::string();
  }
  if (static_cast<std::uint64_t>(info.st_size) > maxPlanBytes) {
    throw VexoException(status::badPatch, "Patch plan larger than " +
                                              std::to_string(maxPlanBytes >> 20) +
                                              " MiB: " + plan.string());
  }
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  text.resize(fileio::readFull(in.get(), &text[0], text.size()));
  return text;
}

fs::path inside(const fs::path& root, const std::string& relative, const PatchPlanEntry& entry) {
  fs::path joined;
  if (!fileio::resolveInRoot(root, relative, joined)) {
    throw VexoException(status::badPatch, "Unsafe path in patch plan line: " + entry.line);
  }
  return joined;
}

void copyFile(const fs::path& source, const fs::path& target) {
  struct stat info = {};
  const fileio::FileHandle input = fileio::openRegularFile(source.string(), info);
  if (!input.valid()) {
    throw VexoException(status::generalFailure, "Unable to open file: " + source.string());
  }
  std::uint64_t remaining = static_cast<std::uint64_t>(info.st_size);
  boost::system::error_code error;
  fs::remove_all(target, error);
  if (fs::exists(fs::symlink_status(target, error))) {
    throw VexoException(status::generalFailure, "Unable to remove existing file at target path: " +
                                 target.string());
  }
  fileio::AtomicFileWriter output(target.string());
  if (!output.open()) {
    throw VexoException(status::generalFailure, "Unable to open target file: " + target.string());
  }
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(remaining, copyBufferSize)));
  while (remaining > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, copyBufferSize));
    if (fileio::readFull(input.get(), buffer.data(), want) != want) {
      throw VexoException(status::fileReadFailed, "Error reading file: " + source.string());
    }
    if (!output.write(buffer.data(), want)) {
      throw VexoException(status::fileWriteFailed, "Error writing file: " + target.string());
    }
    remaining -= want;
  }
  if (!output.finish()) {
    throw VexoException(status::fileWriteFailed, "Error writing file: " + target.string());
  }
  if (!output.replace()) {
    throw VexoException(status::generalFailure, "Unable to open target file: " + target.string());
  }
}

void finishFile(const fs::path& file, const PatchPlanEntry& entry) {
  if (entry.executable) {
    platform::markFileExecutable(file.string());
  }
  platform::setFileLastModifiedFromString(file.string(), entry.time);
}

}  // namespace

// ---- PatchCommand ---------------------------------------------------------------------------

PatchCommand::~PatchCommand() = default;

void PatchCommand::setPatchPath(const char* path) {
  setPath(patchPath, path, "Null/empty patch path");
}

void PatchCommand::setOldPath(const char* path) { setPath(oldPath, path, "Null/empty old path"); }

void PatchCommand::setNewPath(const char* path) { setPath(newPath, path, "Null/empty new path"); }

template <typename Work>
void PatchCommand::run(const char* failurePrefix, Work work) {
  try {
    work();
  } catch (const VexoException& e) {
    if (printResult) {
      std::cout << failurePrefix << static_cast<std::string>(e) << std::endl;
    }
    throw;
  }
  if (printResult) {
    std::cout << "OK" << std::endl;
  }
}

// ---- ApplyPatchFileCommand ------------------------------------------------------------------

std::shared_ptr<ApplyPatchFileCommand> ApplyPatchFileCommand::make() {
  std::shared_ptr<ApplyPatchFileCommand> command(new ApplyPatchFileCommand());
  command->finishConstruction();
  return command;
}

ApplyPatchFileCommand::~ApplyPatchFileCommand() = default;

void ApplyPatchFileCommand::execute() {
  run("Patch file application failed: ",
      [this] { bspatch::applyPatch(patchPath, oldPath, newPath); });
}

Command::Args::const_iterator ApplyPatchFileCommand::processArgAt(const Args& args,
                                                                  Args::const_iterator at) {
  if (strutil::toLowercase(*at) == "-applypatchfile") {
    return takePaths(args, at,
                     {{&patchPath, "'-applypatchfile' missing patch file path"},
                      {&oldPath, "'-applypatchfile' missing old file path"},
                      {&newPath, "'-applypatchfile' missing new file path"}});
  }
  return ClientCommand::processArgAt(args, at);
}

void ApplyPatchFileCommand::baseInit() { ClientCommand::baseInit(); }

// ---- PatchDirCommand ------------------------------------------------------------------------

PatchDirCommand::~PatchDirCommand() = default;

void PatchDirCommand::processPatchDir(bool validateOnly) {
  patchPath = normalised(patchPath);
  if (!validateOnly) {
    oldPath = normalised(oldPath);
    newPath = normalised(newPath);
  }
  const fs::path plan = patchPath / "patch.plan";
  boost::system::error_code error;
  if (!fs::exists(plan, error) || fs::is_directory(plan, error)) {
    throw VexoException(status::badPatch, "Patch plan not readable: " + plan.string());
  }
  const std::vector<PatchPlanEntry> entries = readPatchPlan(readPlanText(plan));

  // Everything that can be checked is, before the new tree goes: the patch directory's
  // files against their CRCs, and (to apply) the old tree's paths.
  std::vector<fs::path> patchFiles(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PatchPlanEntry& entry = entries[i];
    if (entry.kind == PatchPlanEntry::Kind::createFile) {
      patchFiles[i] = inside(patchPath, entry.patchFile, entry);
      if (util::calcFileCRC(patchFiles[i]) != entry.crc) {
        throw VexoException(status::generalFailure,
                            "Source file CRC doesn't match value expected by patch for source: " +
                                patchFiles[i].string());
      }
    } else if (entry.kind == PatchPlanEntry::Kind::patchFile) {
      patchFiles[i] = inside(patchPath, entry.patchFile, entry);
      if (util::calcFileCRC(patchFiles[i]) != entry.patchCrc) {
        throw VexoException(status::badPatch, "Patch file CRC doesn't match value expected by patch: " +
                                     patchFiles[i].string());
      }
    }
    if (!validateOnly && !entry.source.empty()) {
      inside(oldPath, entry.source, entry);
    }
  }
  if (validateOnly) {
    return;
  }

  // The new tree is removed whole: never when that would take the old tree or the patch
  // with it, or put the new tree inside either.
  const fs::path realNew = realPath(newPath);
  for (const fs::path& other : {realPath(oldPath), realPath(patchPath)}) {
    if (fileio::isWithin(realNew, other) || fileio::isWithin(other, realNew)) {
      throw VexoException(status::generalFailure, "New folder overlaps the old or patch folder: " +
                                   newPath.string());
    }
  }
  fs::remove_all(newPath);
  if (fs::exists(fs::symlink_status(newPath))) {
    throw VexoException(status::generalFailure, "Unable to remove: " + newPath.string());
  }
  fs::create_directories(newPath);

  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PatchPlanEntry& entry = entries[i];
    const fs::path target = inside(newPath, entry.target, entry);
    switch (entry.kind) {
      case PatchPlanEntry::Kind::dir:
        // A file in the way is reported below, as a directory that could not be made.
        fs::create_directories(target, error);
        if (!fs::is_directory(target)) {
          throw VexoException(status::generalFailure, "Error creating directory: " + target.string());
        }
        platform::setFileLastModifiedFromString(target.string(), entry.time);
        break;
      case PatchPlanEntry::Kind::copyFile: {
        const fs::path source = inside(oldPath, entry.source, entry);
        if (util::calcFileCRC(source) != entry.crc) {
          throw VexoException(
              status::generalFailure, "Source file CRC doesn't match value expected by patch for source file: " +
                       source.string());
        }
        copyFile(source, target);
        if (util::calcFileCRC(target) != entry.crc) {
          throw VexoException(status::generalFailure, "Target file appears to have been corrupted during copy: " +
                                       target.string());
        }
        finishFile(target, entry);
        break;
      }
      case PatchPlanEntry::Kind::createFile:
        copyFile(patchFiles[i], target);
        if (util::calcFileCRC(target) != entry.crc) {
          throw VexoException(status::generalFailure, "Target file appears to have been corrupted during copy: " +
                                       target.string());
        }
        finishFile(target, entry);
        break;
      case PatchPlanEntry::Kind::patchFile: {
        const fs::path source = inside(oldPath, entry.source, entry);
        if (util::calcFileCRC(source) != entry.sourceCrc) {
          throw VexoException(status::generalFailure, "Source file CRC doesn't match value expected by patch: " +
                                       source.string());
        }
        bspatch::applyPatch(patchFiles[i], source, target);
        if (!fs::exists(target) || fs::is_directory(target)) {
          throw VexoException(status::generalFailure, "Error patching file: " + entry.source);
        }
        if (util::calcFileCRC(target) != entry.crc) {
          throw VexoException(status::generalFailure, "Result file CRC doesn't match expected value for file: " +
                                       target.string());
        }
        finishFile(target, entry);
        break;
      }
    }
  }
}

// ---- ApplyPatchDirCommand -------------------------------------------------------------------

std::shared_ptr<ApplyPatchDirCommand> ApplyPatchDirCommand::make() {
  std::shared_ptr<ApplyPatchDirCommand> command(new ApplyPatchDirCommand());
  command->finishConstruction();
  return command;
}

ApplyPatchDirCommand::~ApplyPatchDirCommand() = default;

void ApplyPatchDirCommand::execute() {
  run("Patch dir application failed: ", [this] { processPatchDir(false); });
}

Command::Args::const_iterator ApplyPatchDirCommand::processArgAt(const Args& args,
                                                                 Args::const_iterator at) {
  if (strutil::toLowercase(*at) == "-applypatchdir") {
    return takePaths(args, at,
                     {{&patchPath, "'-applypatchdir' missing patch dir path"},
                      {&oldPath, "'-applypatchdir' missing old dir path"},
                      {&newPath, "'-applypatchdir' missing new dir path"}});
  }
  return ClientCommand::processArgAt(args, at);
}

void ApplyPatchDirCommand::baseInit() { ClientCommand::baseInit(); }

// ---- ValidatePatchDirCommand ----------------------------------------------------------------

std::shared_ptr<ValidatePatchDirCommand> ValidatePatchDirCommand::make() {
  std::shared_ptr<ValidatePatchDirCommand> command(new ValidatePatchDirCommand());
  command->finishConstruction();
  return command;
}

ValidatePatchDirCommand::~ValidatePatchDirCommand() = default;

void ValidatePatchDirCommand::execute() {
  run("Validation failed: ", [this] { processPatchDir(true); });
}

Command::Args::const_iterator ValidatePatchDirCommand::processArgAt(const Args& args,
                                                                    Args::const_iterator at) {
  if (strutil::toLowercase(*at) == "-validatepatchdir") {
    return takePaths(args, at, {{&patchPath, "'-validatepatchdir' missing patch dir path"}});
  }
  return ClientCommand::processArgAt(args, at);
}

void ValidatePatchDirCommand::baseInit() {
  ClientCommand::baseInit();
  oldPath = ".";
  newPath = ".";
}

}  // namespace vexo
