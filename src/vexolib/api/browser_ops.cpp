// The interface's browser hand-offs: the gradebooks page and the class-data sync page. They
// need no session and leave it alone.
#include <memory>
#include <string>

#include "vexolib/api/BrowserOnlyCommand.h"
#include "vexolib/api/operations.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"

namespace vexo {
namespace api25 {

namespace {

// A null argument leaves the command's own value for that field.
void copyIfGiven(const char* text, std::string& field) {
  if (text) {
    field = text;
  }
}

template <typename Command, typename Configure>
int runBrowserCommand(const std::string& name, Configure configure) {
  const OperationTexts texts{"Entered " + name, "Exception during " + name + "() ",
                             "Non-std::exception during " + name + "() ",
                             "Returning from " + name};
  return runFrame(texts, true, false, [&] {
    std::shared_ptr<Command> command = Command::make();
    platform::trace("Setting options");
    configure(*command);
    platform::trace("Executing command");
    command->execute();
    platform::trace("Exiting with success");
    return 0;
  });
}

}  // namespace

int openGradebooks(const char* srcCompId, const char* srcAppId, const char* srcAppVer) {
  return runBrowserCommand<OpenGradebooksCommand>(
      "openGradebooks", [&](OpenGradebooksCommand& command) {
        copyIfGiven(srcCompId, command.srccompid);
        copyIfGiven(srcAppId, command.srcappid);
        copyIfGiven(srcAppVer, command.srcappver);
      });
}

int classDataSync(const char* schoolId, const char* classId, const char* fileExt,
                  const char* mimeType, const char* srcCompId, const char* srcAppId,
                  const char* srcAppVer) {
  return runBrowserCommand<ClassDataSyncCommand>(
      "classDataSync", [&](ClassDataSyncCommand& command) {
        copyIfGiven(schoolId, command.schoolid);
        copyIfGiven(classId, command.classid);
        copyIfGiven(fileExt, command.fileext);
        copyIfGiven(mimeType, command.mimetype);
        copyIfGiven(srcCompId, command.srccompid);
        copyIfGiven(srcAppId, command.srcappid);
        copyIfGiven(srcAppVer, command.srcappver);
      });
}

}  // namespace api25
}  // namespace vexo
