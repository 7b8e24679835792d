// The abstract command that sends files: the files with a format each, the switches that
// shape the sending (dumps, compression, deleting the inputs) and extra proxy definitions.
// Beside it, the preparation steps that the upload command runs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vexolib/session/ClientCommand.h"
#include "vexolib/transport/ConnectionDef.h"
#include "vexolib/upload/FileInfo.h"

namespace vexo {

class FileSendingCommand : public ClientCommand {
 public:
  ~FileSendingCommand() override;

  void postProcessArgs(const Args& args) override;
  // Its own flags, then those of ClientCommand; an argument nobody takes is a file name
  // ("--x" names the file "-x").
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;
  void loadConfigOptions(const std::map<std::string, std::string>& options) override;

  // files and formats are parallel: every writer appends to both.
  std::vector<std::string> files;
  std::vector<std::string> formats;
  bool deleteInputFiles = false;
  // -1 or at least 1; checked and kept, read by nothing.
  int chunkSizeLimit = -1;
  int postBufferSize = -1;
  bool dumpFiles = false;
  bool dumpChunks = false;
  bool logHttp = false;
  bool disableCompression = false;
  std::vector<std::string> proxyDefs;
  std::vector<ConnectionDef> connections;
  std::string currentFormat;

 protected:
  FileSendingCommand() = default;
};

namespace filesending {

// Missing files and failed deletions are passed over.
void deleteInputFiles(const std::vector<std::string>& files);
// VexoException 108 "User cancellation." when the network looks down and the user declines.
void checkNetworkAvailability();
// One FileInfo per file, in order; the first failure passes out and the copies made so far
// go with their records.
std::vector<std::shared_ptr<FileInfo>> loadFiles(const std::vector<std::string>& files,
                                                 const std::vector<std::string>& formats);
// Copies of the raw and compressed inputs in the current folder, for inspection; problems
// are traced, never raised.
void dumpInputFiles(const std::vector<std::string>& files,
                    const std::vector<std::string>& formats,
                    const std::vector<std::shared_ptr<FileInfo>>& records);
// "host:port" or "host:port:user:password" definitions, last first, ahead of the platform's
// connection definitions. VexoException 103 for a malformed definition.
std::vector<ConnectionDef> identifyConnections(const std::vector<std::string>& proxyDefs);

}  // namespace filesending

}  // namespace vexo
