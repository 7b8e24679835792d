// The upload of files to the service: compressed copies, one session of its own whose
// connection variants are tried in turn until one carries the whole upload, the inputs
// deleted once the upload succeeded, and the result page handed to the browser.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/FileSendingCommand.h"
#include "vexolib/upload/Uploader.h"

namespace vexo {

class FileUploadCommand : public FileSendingCommand {
 public:
  static std::shared_ptr<FileUploadCommand> make();
  ~FileUploadCommand() override;

  void execute() override;
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;

  void setOptions(const std::map<std::string, std::string>& newOptions) { options = newOptions; }
  // One attempt per connection variant until one yields the page; the last outcome
  // otherwise. Exceptions other than VexoException pass out.
  UploadResult uploadFiles(std::vector<std::shared_ptr<FileInfo>> records,
                           const std::string& authToken, const std::string& coreGroupAlias,
                           const std::string& coreGroupEntid);

  bool openBrowser = true;
  std::map<std::string, std::string> options;
  std::string urlFile;

 protected:
  FileUploadCommand() = default;
};

}  // namespace vexo
