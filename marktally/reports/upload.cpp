#include "marktally/reports/upload.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>
#include <utility>

#include "marktally/common/macroman.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/reports/framework_link.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/report_host.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/events.h"

extern char** environ;

namespace {

std::function<void()> gWaitHook;
int gToolTimeoutSeconds = 0;
constexpr int kToolTimeoutSeconds = 600;

bool AppendEscaped(const FileSpec& spec, FileRef& ref, WriteBuffer& buffer, const char* open,
                   ConstStringPtr value, const char* close) {
  return AppendCToBuffer(spec, ref, buffer, open) &&
         AppendEscapedHTML(spec, ref, buffer, value) &&
         AppendCToBuffer(spec, ref, buffer, close);
}

void ReportFileError(const FileSpec& spec, OSErr err) {
  Str255 name{};
  GetFileName(spec, name);
  HandleError(name, err);
}

// ---- The upload tool ----------------------------------------------------------------

struct ToolOutcome {
  int startError = 0;  // errno of a tool that never ran
  bool timedOut = false;
  int waitStatus = 0;  // as waitpid gives it
};

// Starts the tool from the argument vector (no shell: every argument arrives as it is)
// and waits for it, at most the time limit; a tool still running then is killed.
ToolOutcome RunTool(const std::vector<std::string>& arguments, int limitSeconds) {
  ToolOutcome outcome;
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The tool must never sit waiting for the terminal.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    outcome.startError = err;
    return outcome;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      outcome.waitStatus = status;
      return outcome;
    }
    if (done < 0 && errno != EINTR) {
      outcome.startError = errno;
      return outcome;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      outcome.timedOut = true;
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The outcome as the teacher reads it; never the command line, which holds the password.
bool ReportToolOutcome(const ToolOutcome& outcome, const char* title, int limitSeconds) {
  std::string text;
  if (outcome.startError == ENOENT) {
    text = "The SchoolSpeak upload tool could not be started because Java was not found. "
           "Install a Java runtime so that the command java can be run.";
  } else if (outcome.startError != 0) {
    text = "The SchoolSpeak upload tool could not be started (system error " +
           std::to_string(outcome.startError) + ").";
  } else if (outcome.timedOut) {
    text = "The SchoolSpeak upload tool did not finish within " +
           std::to_string(limitSeconds) + " seconds and was stopped.";
  } else if (WIFEXITED(outcome.waitStatus) && WEXITSTATUS(outcome.waitStatus) != 0) {
    text = "The SchoolSpeak upload tool ended with error number " +
           std::to_string(WEXITSTATUS(outcome.waitStatus)) + ".";
  } else if (WIFSIGNALED(outcome.waitStatus)) {
    text = "The SchoolSpeak upload tool was stopped by signal " +
           std::to_string(WTERMSIG(outcome.waitStatus)) + ".";
  } else {
    return true;
  }
  InitCursor();
  Alert(kStopAlert, title, text);
  return false;
}

bool RunSchoolSpeakTool(const std::vector<std::string>& arguments, const char* title) {
  const int limit = gToolTimeoutSeconds > 0 ? gToolTimeoutSeconds : kToolTimeoutSeconds;
  ToolOutcome outcome;
  RunWithProgress(PStr("to SchoolSpeak"), [&arguments, &outcome, limit] {
    outcome = RunTool(arguments, limit);
    return 0;
  });
  return ReportToolOutcome(outcome, title, limit);
}

// A typed value as the tool's argument: the system's text encoding.
std::string ToolText(ConstStringPtr text) { return MacRomanToUtf8(text); }

void AddOption(std::vector<std::string>& arguments, const char* option, ConstStringPtr value) {
  if (value[0] == 0) return;
  arguments.push_back(option);
  arguments.push_back(ToolText(value));
}

}  // namespace

// ---- Lorvex --------------------------------------------------------------------------

bool ExportLorvexHeader(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        int16_t student) {
  const StudentRecord& s = gStudents[student];
  Str255 first{};
  Str255 last{};
  GetFirstName(s.name, first);
  GetLastName(s.name, last);
  return AppendCToBuffer(spec, refNum, buffer, "<report>\r<title>Progress Report</title>\r") &&
         AppendEscaped(spec, refNum, buffer, "<classid>", gExportData.classCode,
                       "</classid>\r") &&
         AppendEscaped(spec, refNum, buffer, "<firstname>", first, "</firstname>\r") &&
         AppendEscaped(spec, refNum, buffer, "<lastname>", last, "</lastname>\r") &&
         AppendEscaped(spec, refNum, buffer, "<id>", s.id, "</id>\r\r") &&
         AppendCToBuffer(spec, refNum, buffer, "<contents>\r\r");
}

bool ExportLorvexFooter(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer) {
  return AppendCToBuffer(spec, refNum, buffer, "\r\r</contents>\r\r\r</report>\r");
}

bool ExportClassLorvex(FileSpec& spec) {
  // The clock's seconds as an unsigned number: they passed 2^31 in 1972.
  spec.path = FolderOf(gFileSpec.path) + "/" + std::to_string(GetDateTime());
  gShowStudentName = 0;
  // A name that exists already (two exports in one second) is refused, never replaced.
  OSErr err = FSCreate(spec);
  FileRef ref = kNoFile;
  if (err == noErr) err = FSOpen(spec, kReadWritePermission, ref);
  if (err != noErr) {
    ReportFileError(spec, err);
    return false;
  }
  BeginExportProgress(gClass.subject, false);
  WriteBuffer buffer{};
  bool ok = AppendCToBuffer(spec, ref, buffer, "<uploadfile>\r<format>es_rpt_01</format>\r\r");
  for (int16_t s = 0; ok && s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    if (gStudents[s].id.empty()) continue;
    StepExportProgress(gStudents[s].name);
    ok = ExportLorvexHeader(spec, ref, buffer, s) &&
         ExportStudentReportBody(spec, ref, buffer, s) &&
         ExportLorvexFooter(spec, ref, buffer);
  }
  ok = ok && AppendCToBuffer(spec, ref, buffer, "</uploadfile>\r") &&
       FlushBuffer(spec, ref, buffer);
  if (ok) {
    // The buffer's failures closed the file and were reported; these are the last two.
    err = FlushFile(ref);
    const OSErr closed = FSClose(ref);
    if (err == noErr) err = closed;
    if (err != noErr) ReportFileError(spec, err);
    ok = err == noErr;
  }
  EndExportProgress(false);
  return ok;
}

bool SendToLorvex(const char* format, const FileSpec& spec) {
  const FrameworkEntryPoints framework = FrameworkEntries();
  if (!framework.addFile || !framework.sendFiles) return false;
  const std::string kind = format;
  const std::string path = spec.path;
  // Only the worker calls the framework, which runs the whole upload before it returns.
  const int status = RunWithProgress(PStr("to Lorvex"), [framework, kind, path] {
    const VexoFileSpec file = {path.c_str()};
    const int added = framework.addFile(kind.c_str(), &file);
    if (added != 0) return added;
    char message[1024] = {};  // the framework's text is not shown
    return framework.sendFiles("marktally", "marktally", "65", nullptr, 1, message,
                               static_cast<int>(sizeof message));
  });
  if (status == 0) return true;
  InitCursor();
  Alert(kStopAlert, "Unable to export to Lorvex",
        "Error number " + std::to_string(status) + " occurred while exporting to Lorvex.\r\r");
  return false;
}

// ---- SchoolSpeak ---------------------------------------------------------------------

std::string UploadToolPath() {
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
  return FolderOf(program) + "/UploadTool.jar";
}

std::vector<std::string> SchoolSpeakUploadArguments(const FileSpec& spec) {
  std::vector<std::string> a = {"java",        "-jar", UploadToolPath(), "-action",
                                "GradeUpload", "-file", spec.path,       "-app",
                                "Marktally 6.4"};
  AddOption(a, "-username", gExportData.account);
  AddOption(a, "-password", gExportData.teacherID);
  return a;
}

std::vector<std::string> SchoolSpeakSaveArguments(const FileSpec& spec) {
  std::vector<std::string> a = {"java",          "-jar",          UploadToolPath(),
                                "-action",       "GradeFileSave", "-file",
                                spec.path,       "-dontdeletefiles", "-dontopenbrowser",
                                "-app",          "Marktally 6.3"};
  AddOption(a, "-class", gExportData.classCode);
  AddOption(a, "-username", gExportData.account);
  AddOption(a, "-password", gExportData.teacherID);
  return a;
}

bool SendToSchoolSpeak(const FileSpec& spec) {
  return RunSchoolSpeakTool(SchoolSpeakUploadArguments(spec), "Unable to export to SchoolSpeak");
}

bool SaveToSchoolSpeak(const FileSpec& spec) {
  return RunSchoolSpeakTool(SchoolSpeakSaveArguments(spec), "Unable to save to SchoolSpeak");
}

// ---- Waiting off the loop ------------------------------------------------------------

int RunWithProgress(ConstStringPtr text, const std::function<int()>& work) {
  BeginExportProgress(text, false);
  std::packaged_task<int()> task(work);
  std::future<int> result = task.get_future();
  std::thread worker(std::move(task));
  EventRecord event{};
  // Each turn waits for the worker at most two ticks, then lets the window draw.
  while (result.wait_for(std::chrono::milliseconds(33)) != std::future_status::ready) {
    WaitNextEvent(0, &event, 0, nullptr);
    if (gWaitHook) gWaitHook();
  }
  worker.join();
  // What the teacher clicked or typed meanwhile was meant for the progress window.
  FlushEvents(mDownMask | mUpMask | keyDownMask | keyUpMask | autoKeyMask, 0);
  EndExportProgress(false);
  return result.get();
}

void SetUploadWaitHookForTesting(std::function<void()> hook) { gWaitHook = std::move(hook); }

void SetUploadToolTimeoutForTesting(int seconds) { gToolTimeoutSeconds = seconds; }
