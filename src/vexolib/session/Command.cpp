#include "vexolib/session/Command.h"

#include <iostream>
#include <stdexcept>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/version.h"

namespace vexo {

Command::~Command() = default;

void Command::processArgs(const Args& args) {
  Args::const_iterator at = args.begin();
  while (at != args.end()) {
    const Args::const_iterator next = processArgAt(args, at);
    if (next == at) {
      throw std::runtime_error("Argument '" + *at + "' not used.");
    }
    at = next;
  }
  postProcessArgs(args);
}

void Command::postProcessArgs(const Args& /*args*/) {}

Command::Args::const_iterator Command::processArgAt(const Args& args,
                                                    Args::const_iterator at) {
  const std::string flag = strutil::toLowercase(*at);
  if (flag == "-version") {
    std::cout << "Version " << frameworkVersion << std::endl;
    return at + 1;
  }
  if (flag == "-trace") {
    platform::setTracingEnabled(true);
    return at + 1;
  }
  if (flag == "-urlprefix") {
    platform::overrideStringConfigOption(
        "urlprefix", valueAfter(args, at, "'-urlprefix' arg missing url prefix"));
    return at + 2;
  }
  if (flag == "-sessionurl") {
    platform::overrideStringConfigOption(
        "sessionurl", valueAfter(args, at, "'-sessionurl' arg missing url prefix"));
    return at + 2;
  }
  return at;
}

void Command::baseInit() {}

void Command::loadConfigOptions(const std::map<std::string, std::string>& /*options*/) {}

void Command::finishConstruction() {
  baseInit();
  platform::trace("Getting config options.");
  loadConfigOptions(platform::getConfigOptions());
}

const std::string& Command::valueAfter(const Args& args, Args::const_iterator at,
                                       const char* missingMessage) {
  if (at + 1 == args.end()) {
    throw std::runtime_error(missingMessage);
  }
  return *(at + 1);
}

}  // namespace vexo
