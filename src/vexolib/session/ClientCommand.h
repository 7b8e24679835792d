// A command on behalf of a client program: who calls (component, application, version), and
// the login token and core group that travel with an upload or a page hand-off.
#pragma once

#include <map>
#include <string>

#include "vexolib/session/Command.h"

namespace vexo {

class ClientCommand : public Command {
 public:
  ~ClientCommand() override;

  Args::const_iterator processArgAt(const Args& args, Args::const_iterator at) override;
  void baseInit() override;
  void loadConfigOptions(const std::map<std::string, std::string>& options) override;

  // "srccompid", "srcappid" and "srcappver", always all three.
  std::map<std::string, std::string> getAdditionalClientNameValuePairs() const;

  std::string srccompid;
  std::string srcappid;
  std::string srcappver;
  std::string logdir;  // accepted and kept; nothing reads it
  std::string authtoken;
  std::string coregroupalias;
  std::string coregroupentid;

 protected:
  ClientCommand() = default;
};

}  // namespace vexo
