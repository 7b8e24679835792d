// Commands that only hand a page of the service to the user's browser: the gradebooks page
// and the class-data synchronisation page, addressed from the configured URL prefix's server
// with the command's parameters and the client identity as the query.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "vexolib/session/ClientCommand.h"

namespace vexo {

class BrowserOnlyCommand : public ClientCommand {
 public:
  ~BrowserOnlyCommand() override;

  // The page at pagePath on the prefix's server (any path of the prefix is dropped), with
  // params and the identity pairs (a parameter wins over a pair of the same key) as the
  // query, values percent-encoded. VexoException 103 for a prefix that is not an http or
  // https address of a plain host name; the browser launch's 114 passes through.
  void browserOnlyOperation(const std::string& pagePath, std::map<std::string, std::string> params);

  // The address browserOnlyOperation would open.
  std::string pageAddress(const std::string& pagePath,
                          std::map<std::string, std::string> params) const;

 protected:
  BrowserOnlyCommand() = default;
};

class OpenGradebooksCommand : public BrowserOnlyCommand {
 public:
  static std::shared_ptr<OpenGradebooksCommand> make();
  void execute() override;

 private:
  OpenGradebooksCommand() = default;
};

class ClassDataSyncCommand : public BrowserOnlyCommand {
 public:
  static std::shared_ptr<ClassDataSyncCommand> make();
  void execute() override;
  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;

  std::string classid;
  std::string schoolid;
  std::string fileext;
  std::string mimetype;

 private:
  ClassDataSyncCommand() = default;
};

// Every byte but letters, digits and - . _ ~ * as %XX.
std::string percentEncode(const std::string& value);

}  // namespace vexo
