// The state and operations behind the exported interface (vexokit.h): the queue of files to
// send, the status and message of the last operation, the interface's session, and the ring
// of texts handed to the client. Process-wide and unlocked: one caller thread at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vexo {

class Session;

namespace api25 {

typedef std::vector<std::pair<std::string, std::string>> FormatsAndFiles;

// ---- Sending files -------------------------------------------------------------------------
// False, with status 123, for a null path; a null format queues the file without one.
bool addFile(const char* format, const char* path);
void resetFiles();
const FormatsAndFiles& getQueuedFiles();
// Status and message; a null text leaves the command's default for that value.
std::pair<int, std::string> sendFilesWithOptions(const std::map<std::string, std::string>& options,
                                                 const char* srcCompId, const char* srcAppId,
                                                 const char* srcAppVer, const char* authToken,
                                                 bool deleteInputFiles);
bool lastSendFilesWasLightweight();

// ---- Patches -------------------------------------------------------------------------------
// Status codes of the patch commands (0 on success); the message through getErrorMessage.
// None of them needs or touches the session.
int applyPatchFile(const char* patchFile, const char* oldFile, const char* newFile);
int applyPatchDir(const char* patchDir, const char* oldDir, const char* newDir);
// The old and new paths stay the command's own ".".
int validatePatchDir(const char* patchDir);

// ---- State ---------------------------------------------------------------------------------
int getStatusCode();
// For refusals made before an operation's frame (a null argument, for instance).
void setStatus(int code, const std::string& message);
// A ring copy of the last message.
const char* getErrorMessage();
// A copy of the text up to its first NUL that stays valid until 32 further texts have been
// handed out.
const char* bufferString(const std::string& text);

// ---- The frame of status-returning operations ----------------------------------------------
enum class SessionNeed {
  none,
  // 103 "Not connected." without a session: connection, login, core group, upgrade.
  connection,
  // 203 "not connected": remote attributes, class-id periods, info tables, synchronisation.
  data,
};

// What one operation traces: its entry line, the lines for a standard and for any other
// exception (the standard one followed by the exception's text), and its last line. An empty
// entry or last line is not traced.
struct OperationTexts {
  std::string entry;
  std::string exception;
  std::string nonStdException;
  std::string exit;
  // "<name>", "Exception during <name>() ", "Non-std::exception during <name>() ",
  // "exit <name>".
  static OperationTexts of(const std::string& name);
};

// The one frame of every status-returning operation: traces the entry line, clears status and
// message when clearsStatus, runs the work (its result is the status), turns an exception
// into status and message (ending the session first when endSessionOnFailure), traces the
// last line and returns the status. Without clearsStatus a successful work leaves the message
// as it was.
int runFrame(const OperationTexts& texts, bool clearsStatus, bool endSessionOnFailure,
             const std::function<int()>& work);
// The frame with OperationTexts::of(name), clearing the status; without a session it
// refuses by `need` (no work, no exception traced, nothing ended).
int runOperation(const std::string& name, SessionNeed need, bool endSessionOnFailure,
                 const std::function<int()>& work);
// Ends the interface's session after a failure: it is deleted and the interface is
// disconnected.
void ensureCleanedUpOnFailure();

// The interface's session; null when not connected.
Session* accessSession();
// Takes ownership, replacing (and deleting) any earlier session.
void adoptSession(std::unique_ptr<Session> session);

}  // namespace api25
}  // namespace vexo
