// The framework's command objects: made by the static make() of a concrete class (defaults,
// then the configuration), filled either field by field or from command-line style
// arguments, then executed once.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vexo {

class Command {
 public:
  typedef std::vector<std::string> Args;

  virtual ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  virtual void execute() = 0;
  // Hands each argument to the most derived processArgAt; std::runtime_error "Argument
  // '<arg>' not used." for one that nobody takes. postProcessArgs runs after the last one.
  virtual void processArgs(const Args& args);
  virtual void postProcessArgs(const Args& args);
  // The position after what was consumed, or `at` for an argument that is not ours. Flags
  // compare without letter case; values are taken as written.
  virtual Args::const_iterator processArgAt(const Args& args, Args::const_iterator at);
  virtual void baseInit();
  virtual void loadConfigOptions(const std::map<std::string, std::string>& options);
  // The second construction stage, run by make() once the object is complete, so that the
  // most derived defaults and configuration readers run.
  virtual void finishConstruction();

 protected:
  Command() = default;

  // The value after the flag at `at`; std::runtime_error with the message when there is none.
  static const std::string& valueAfter(const Args& args, Args::const_iterator at,
                                       const char* missingMessage);
};

}  // namespace vexo
