#include "vexolib/session/ClientCommand.h"

#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"

namespace vexo {

ClientCommand::~ClientCommand() = default;

Command::Args::const_iterator ClientCommand::processArgAt(const Args& args,
                                                          Args::const_iterator at) {
  struct TextFlag {
    const char* flag;
    std::string ClientCommand::*field;
    const char* missing;
  };
  static const TextFlag textFlags[] = {
      {"-srccompid", &ClientCommand::srccompid, "'-srccompid' arg missing ID"},
      {"-srcappid", &ClientCommand::srcappid, "'-srcappid' arg missing ID"},
      {"-srcappver", &ClientCommand::srcappver, "'-srcappver' arg missing ID"},
      {"-authtoken", &ClientCommand::authtoken,
       "'-authtoken' arg missing authentication token"},
      {"-coregroupalias", &ClientCommand::coregroupalias,
       "'-coregroupalias' arg missing core group alias"},
      {"-coregroupentid", &ClientCommand::coregroupentid,
       "'-coregroupentid' arg missing core group entid"},
      {"-logdir", &ClientCommand::logdir, "'-logdir' arg missing log directory path"},
  };
  const std::string flag = strutil::toLowercase(*at);
  for (const TextFlag& f : textFlags) {
    if (flag == f.flag) {
      this->*f.field = valueAfter(args, at, f.missing);
      return at + 2;
    }
  }
  if (flag == "-lwupload") {
    platform::overrideStringConfigOption("lwupload", "true");
    return at + 1;
  }
  if (flag == "-retcodefile") {
    platform::overrideStringConfigOption(
        "retcodefile", valueAfter(args, at, "'-retcodefile' arg missing file path"));
    return at + 2;
  }
  return Command::processArgAt(args, at);
}

void ClientCommand::baseInit() {
  Command::baseInit();
  logdir.clear();
}

void ClientCommand::loadConfigOptions(const std::map<std::string, std::string>& options) {
  Command::loadConfigOptions(options);
  const auto it = options.find("logdir");
  if (it != options.end()) {
    logdir = it->second;
  }
}

std::map<std::string, std::string> ClientCommand::getAdditionalClientNameValuePairs() const {
  return {{"srccompid", srccompid}, {"srcappid", srcappid}, {"srcappver", srcappver}};
}

}  // namespace vexo
