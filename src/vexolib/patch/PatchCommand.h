// The patch commands: one file rebuilt from an old file and a binary patch, and a whole new
// tree built from an old tree and a patch directory by its plan (PatchPlan.h), or the patch
// directory only checked. Made by make(), given their paths by the setters or by flags
// ("-applypatchfile", "-applypatchdir", "-validatepatchdir"), then executed once.
#pragma once

#include <memory>

#include <boost/filesystem/path.hpp>

#include "vexolib/session/ClientCommand.h"

namespace vexo {

class PatchCommand : public ClientCommand {
 public:
  ~PatchCommand() override;

  // VexoException 103 "Null/empty patch path" (old, new) for a null or empty text.
  void setPatchPath(const char* path);
  void setOldPath(const char* path);
  void setNewPath(const char* path);

  // When set, execute() writes "OK" or the failure to standard output.
  bool printResult = false;
  boost::filesystem::path patchPath;
  boost::filesystem::path oldPath;
  boost::filesystem::path newPath;

 protected:
  PatchCommand() = default;

  // Runs work; a VexoException is printed (when printResult) behind failurePrefix and
  // thrown on.
  template <typename Work>
  void run(const char* failurePrefix, Work work);
};

class ApplyPatchFileCommand : public PatchCommand {
 public:
  static std::shared_ptr<ApplyPatchFileCommand> make();
  ~ApplyPatchFileCommand() override;

  void execute() override;
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;

 protected:
  ApplyPatchFileCommand() = default;
};

class PatchDirCommand : public PatchCommand {
 public:
  ~PatchDirCommand() override;

  // Applies the patch directory to the old tree into the new tree, or, with validateOnly,
  // checks the plan and the patch directory's files and touches nothing.
  //
  // Before anything on disk changes, the whole plan is read and checked, every file of the
  // patch directory is checked against its CRC, and in apply mode a new tree that is, holds
  // or lies inside the old tree or the patch directory is refused (103). Then the new tree is
  // removed, made again, and built line by line.
  virtual void processPatchDir(bool validateOnly);

 protected:
  PatchDirCommand() = default;
};

class ApplyPatchDirCommand : public PatchDirCommand {
 public:
  static std::shared_ptr<ApplyPatchDirCommand> make();
  ~ApplyPatchDirCommand() override;

  void execute() override;
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;

 protected:
  ApplyPatchDirCommand() = default;
};

class ValidatePatchDirCommand : public PatchDirCommand {
 public:
  static std::shared_ptr<ValidatePatchDirCommand> make();
  ~ValidatePatchDirCommand() override;

  void execute() override;
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  // The old and new paths are "." : a validation needs only the patch directory.
  void baseInit() override;

 protected:
  ValidatePatchDirCommand() = default;
};

}  // namespace vexo
