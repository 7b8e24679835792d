#include "vexolib/upload/FileUploadCommand.h"

#include <boost/any.hpp>

#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

// Puts the compression switch back on every way out.
class CompressionRestorer {
 public:
  CompressionRestorer() : saved_(platform::isCompressionEnabled()) {}
  ~CompressionRestorer() { platform::setCompressionEnabled(saved_); }
  CompressionRestorer(const CompressionRestorer&) = delete;
  CompressionRestorer& operator=(const CompressionRestorer&) = delete;

 private:
  bool saved_;
};

// A page that no browser should be handed makes the whole answer unusable.
UploadResult checkResultPage(const UploadResult& outcome) {
  if (!outcome.isValue() || outcome.value == "*" ||
      uploaddetail::isWebAddress(outcome.value)) {
    return outcome;
  }
  return UploadResult::makeError(
      VexoException(status::unusableUploadAnswer, "Incorrect response received from server.\r\nServer: " +
                             platform::getUploadUrl() +
                             "\r\nResponse: the result page is not a web address.\r\n"));
}

}  // namespace

std::shared_ptr<FileUploadCommand> FileUploadCommand::make() {
  std::shared_ptr<FileUploadCommand> command(new FileUploadCommand());
  command->finishConstruction();
  return command;
}

FileUploadCommand::~FileUploadCommand() = default;

Command::Args::const_iterator FileUploadCommand::processArgAt(const Args& args,
                                                              Args::const_iterator at) {
  const std::string flag = strutil::toLowercase(*at);
  if (flag == "-nobrowser") {
    openBrowser = false;
    return at + 1;
  }
  if (flag == "-urlfile") {
    urlFile = valueAfter(args, at, "'-urlfile' arg missing filename");
    openBrowser = false;
    return at + 2;
  }
  return FileSendingCommand::processArgAt(args, at);
}

void FileUploadCommand::baseInit() {
  FileSendingCommand::baseInit();
  openBrowser = true;
}

void FileUploadCommand::execute() {
  platform::trace("Executing upload.");
  filesending::checkNetworkAvailability();
  UploadResult outcome;
  {
    CompressionRestorer restorer;
    if (disableCompression) {
      platform::setCompressionEnabled(false);
    }
    const std::vector<std::shared_ptr<FileInfo>> records =
        filesending::loadFiles(files, formats);
    if (dumpFiles) {
      filesending::dumpInputFiles(files, formats, records);
    }
    connections = filesending::identifyConnections(proxyDefs);
    outcome = checkResultPage(uploadFiles(records, authtoken, coregroupalias, coregroupentid));
    // A failed upload leaves the inputs for the next try.
    if (deleteInputFiles && outcome.isValue()) {
      filesending::deleteInputFiles(files);
    }
  }
  if (outcome.isValue()) {
    const std::string& url = outcome.value;
    if (url == "*") {
      return;
    }
    if (openBrowser) {
      platform::trace("Opening browser.");
      platform::openBrowser(url);
    } else if (!urlFile.empty()) {
      platform::trace("Writing to URL file.");
      // The caller reads the page from this file: a lost write is a failed send, and the
      // page's token keeps the file private.
      const std::string line = url + "\n";
      fileio::AtomicFileWriter output(urlFile);
      if (!output.open() || !output.write(line.data(), line.size()) || !output.finish() ||
          !output.replace()) {
        throw VexoException(status::generalFailure, "Unable to write URL file '" + urlFile + "'.");
      }
    }
    return;
  }
  if (outcome.isError()) {
    throw outcome.error;
  }
  throw boost::any(VexoException(status::generalFailure, "Uninitialized attempt result"));
}

UploadResult FileUploadCommand::uploadFiles(std::vector<std::shared_ptr<FileInfo>> records,
                                            const std::string& authToken,
                                            const std::string& coreGroupAlias,
                                            const std::string& coreGroupEntid) {
  UploadResult outcome;
  Session session;
  session.setClientAttribute("client", srcappid);
  session.setClientAttribute("clientVersion", srcappver);
  for (int i = 0; i < session.getConnectionVariantCount(); ++i) {
    session.chooseConnectionVariant(i);
    try {
      session.connect(platform::getUploadUrl());
      outcome = uploadFilesOverSession(session, records, options, srccompid, srcappid,
                                       srcappver, authToken, coreGroupAlias, coreGroupEntid);
    } catch (const VexoException& e) {
      outcome = UploadResult::makeError(e);
    }
    if (outcome.isValue()) {
      break;
    }
  }
  return outcome;
}

}  // namespace vexo
