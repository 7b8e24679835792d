#include "marktally/reports/upload.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <zlib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <fstream>
#include <future>
#include <initializer_list>
#include <map>
#include <set>
#include <thread>
#include <utility>
#include <vector>

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
Str15 gSchoolSpeakPassword{};
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

bool RunSchoolSpeakTool(std::vector<std::string> arguments, const char* title) {
  // The password lives in the argument vector only as long as the tool runs.
  ForgetSchoolSpeakPassword();
  const int limit = gToolTimeoutSeconds > 0 ? gToolTimeoutSeconds : kToolTimeoutSeconds;
  ToolOutcome outcome;
  RunWithProgress(PStr("to SchoolSpeak"), [&arguments, &outcome, limit] {
    outcome = RunTool(arguments, limit);
    return 0;
  });
  for (std::string& a : arguments) std::fill(a.begin(), a.end(), '\0');
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

namespace {

// ---- What the upload moves --------------------------------------------------------------
// The framework reports no progress of its own, so the window watches the TCP connections
// that appear while it runs: what their peers acknowledged and what came back.
class ConnectionWatch {
 public:
  ConnectionWatch() {
    ForEachSocket([this](int, unsigned long inode) { before_.insert(inode); });
  }

  struct Totals {
    uint64_t sent = 0;
    uint64_t received = 0;
    bool connected = false;
  };

  Totals Poll() {
    ForEachSocket([this](int fd, unsigned long inode) {
      if (before_.count(inode)) return;
      tcp_info info{};
      socklen_t length = sizeof info;
      if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) return;
      auto& seen = seen_[inode];
      seen.first = std::max<uint64_t>(seen.first, info.tcpi_bytes_acked);
      seen.second = std::max<uint64_t>(seen.second, info.tcpi_bytes_received);
    });
    Totals t;
    t.connected = !seen_.empty();
    for (const auto& s : seen_) {
      t.sent += s.second.first;
      t.received += s.second.second;
    }
    return t;
  }

 private:
  template <typename F>
  static void ForEachSocket(F f) {
    DIR* folder = opendir("/proc/self/fd");
    if (!folder) return;
    while (const dirent* entry = readdir(folder)) {
      const int fd = std::atoi(entry->d_name);
      if (fd <= 2 || fd == dirfd(folder)) continue;
      char link[64] = {};
      const std::string path = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
      unsigned long inode = 0;
      if (n > 0 && std::sscanf(link, "socket:[%lu]", &inode) == 1) f(fd, inode);
    }
    closedir(folder);
  }

  std::set<unsigned long> before_;
  std::map<unsigned long, std::pair<uint64_t, uint64_t>> seen_;
};

// About what the framework will send: the file as it compresses it, and the form around.
// Deflated a piece at a time into one small buffer, so a file of any size costs a few
// hundred KiB; the count is what one whole-file deflate at level 9 gives.
uint64_t ExpectedUploadBytes(const std::string& path) {
  constexpr uint64_t kFormBytes = 2048;
  std::ifstream in(path, std::ios::binary);
  z_stream stream{};
  if (!in || deflateInit(&stream, 9) != Z_OK) return kFormBytes;
  std::vector<unsigned char> input(256 * 1024), output(256 * 1024);
  uint64_t packed = 0;
  int flush = Z_NO_FLUSH;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
      in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(in.gcount());
      if (!in) flush = Z_FINISH;
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    rc = deflate(&stream, flush);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
    packed += output.size() - stream.avail_out;
  }
  deflateEnd(&stream);
  return packed + kFormBytes;
}

std::string Kilobytes(uint64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " KB"; }

// The line and bar of the progress window from what the connections moved.
class UploadProgress {
 public:
  // From the worker: what the upload will move, once it is known.
  void Expect(uint64_t bytes) { expected_ = bytes; }

  void Turn() {
    const uint64_t expected = expected_;
    if (expected == 0) return;  // still measuring the file
    const ConnectionWatch::Totals t = watch_.Poll();
    const auto now = std::chrono::steady_clock::now();
    if (t.sent != lastSent_) {
      lastSent_ = t.sent;
      lastMove_ = now;
    }
    // All sent, or nothing more leaving for a second: the service has it and is working.
    const bool waiting = t.connected && t.sent > 0 &&
                         (t.sent >= expected || now - lastMove_ >= std::chrono::seconds(1));
    std::string line;
    uint64_t done = std::min(t.sent, expected);
    if (!t.connected) {
      line = "Connecting to Lorvex";
    } else if (waiting) {
      line = "Waiting for Lorvex to answer";
      done = expected;
    } else {
      line = "Sending to Lorvex: " + Kilobytes(done) + " of " + Kilobytes(expected);
    }
    if (line == shown_ && done == shownDone_) return;
    shown_ = line;
    shownDone_ = done;
    SetExportProgressLine(PStr(line), done, expected);
  }

 private:
  ConnectionWatch watch_;
  std::atomic<uint64_t> expected_{0};
  uint64_t lastSent_ = 0;
  std::chrono::steady_clock::time_point lastMove_ = std::chrono::steady_clock::now();
  std::string shown_;
  uint64_t shownDone_ = 0;
};

// ---- The framework's answer in words ----------------------------------------------------

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Has(const std::string& lower, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (lower.find(w) != std::string::npos) return true;
  return false;
}

// The number before "seconds" in the message, or "".
std::string SecondsIn(const std::string& lower) {
  const size_t at = lower.find(" seconds");
  if (at == std::string::npos) return "";
  size_t start = at;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(lower[start - 1]))) start--;
  return lower.substr(start, at - start);
}

// The HTTP status named by "HTTP response: 404" and its kin, or -1.
int HTTPStatusIn(const std::string& lower) {
  for (const char* marker : {"http response: ", "http result code: ", "http result: "}) {
    const size_t at = lower.find(marker);
    if (at == std::string::npos) continue;
    const std::string digits = lower.substr(at + std::strlen(marker), 3);
    if (!digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit))
      return std::atoi(digits.c_str());
  }
  return -1;
}

// The page named by the browser failure: "... url: '<page>'".
std::string PageIn(const std::string& message) {
  const size_t at = message.find("url: '");
  if (at == std::string::npos) return "";
  const size_t start = at + 6;
  const size_t end = message.find('\'', start);
  return end == std::string::npos ? "" : message.substr(start, end - start);
}

// The framework's own words after a sentence of ours, when they are short and plain.
// (The whole alert holds 255 bytes.)
std::string Said(const std::string& message, size_t room = 120) {
  std::string said;
  for (unsigned char c : message) said += c < 32 || c >= 127 ? ' ' : static_cast<char>(c);
  while (!said.empty() && (said.back() == ' ' || said.back() == '.')) said.pop_back();
  said.erase(0, said.find_first_not_of(' ') == std::string::npos ? said.size()
                                                                  : said.find_first_not_of(' '));
  if (said.empty() || said.size() > room) return ".";
  return ": " + said + ".";
}

const char kNothingSent[] = " Your report was not uploaded.";

// What a failed transfer says about its cause, or "" when it names none.
std::string CauseOfTransferFailure(const std::string& lower) {
  if (Has(lower, {"certificate", "ssl", "tls"}))
    return "The Lorvex service's security certificate is not trusted, so the connection was "
           "refused.";
  if (Has(lower, {"proxy"})) {
    if (Has(lower, {"silent", "no answer", "did not answer", "timed out", "timeout", "stall"}))
      return "The proxy server did not answer.";
    return "The proxy server refused the connection to the Lorvex service.";
  }
  if (Has(lower, {"stall", "too slow", "timed out", "timeout", "no answer", "did not answer",
                  "silent"})) {
    const std::string seconds = SecondsIn(lower);
    return "The Lorvex service did not answer" +
           (seconds.empty() ? std::string() : " for " + seconds + " seconds") +
           ", so the upload was stopped.";
  }
  if (Has(lower, {"refused", "couldn't connect", "could not connect", "failed to connect",
                  "resolve", "unreachable", "no route"}))
    return "The Lorvex service cannot be reached. Check that this computer is connected to "
           "the Internet.";
  return "";
}

std::string HTTPSentence(int http) {
  if (http == 0 || http == 509)
    return "The Lorvex service cannot be reached. Check that this computer is connected to "
           "the Internet.";
  if (http == 407) return "The proxy server refused the connection to the Lorvex service.";
  if (http == 401 || http == 403) return "The Lorvex service refused your account.";
  if (http >= 500) return "The Lorvex service is not working right now (HTTP " +
                          std::to_string(http) + "). Try again later.";
  return "The Lorvex service refused the upload (HTTP " + std::to_string(http) + ").";
}

}  // namespace

LorvexOutcome LorvexUploadOutcome(int status, const std::string& message) {
  LorvexOutcome out;
  const std::string lower = Lower(message);
  if (status == 0) {
    out.uploaded = true;
    return out;
  }
  if (status == 114) {
    // The upload is done; only the browser was missing.
    out.uploaded = true;
    const std::string page = PageIn(message);
    out.text = page.empty()
                   ? "Your report was uploaded to Lorvex, but its page could not be opened in "
                     "your web browser. Open Lorvex in your browser to see it."
                   : "Your report was uploaded to Lorvex, but its page could not be opened in "
                     "your web browser. To see it, open this address by hand:\r" +
                         page;
    if (out.text.size() > 255 && !page.empty())
      out.text = "Uploaded. Its page could not be opened; open this address by hand:\r" + page;
    return out;
  }
  std::string sentence;
  switch (status) {
    case 102:
      out.text = "The Lorvex service gave an answer that could not be understood. Your report "
                 "may not have been uploaded. (Error 102)";
      return out;
    case 105:
    case 106: sentence = "The upload file could not be read."; break;
    case 108: sentence = "The upload was cancelled."; break;
    case 115:
    case 116: sentence = "The upload file could not be compressed."; break;
    case 119: {
      // The service's own words, between quotes.
      std::string said = message;
      if (said.size() >= 2 && said.front() == '\'' && said.back() == '\'')
        said = said.substr(1, said.size() - 2);
      sentence = "The Lorvex service refused the upload" + Said(said, 150);
      break;
    }
    case 123:
      sentence = "The upload file could not be handed over (its path is too long, or it is "
                 "gone).";
      break;
    case 125: {
      sentence = CauseOfTransferFailure(lower);
      if (sentence.empty()) {
        const int http = HTTPStatusIn(lower);
        sentence = http >= 0 ? HTTPSentence(http)
                             : "The connection to the Lorvex service failed.";
      }
      break;
    }
    case 127: sentence = "A temporary file for the upload could not be written."; break;
    case 201:
    case 203:
    case 204:
      sentence = CauseOfTransferFailure(lower);
      if (sentence.empty())
        sentence = "The Lorvex service cannot be reached. Check that this computer is "
                   "connected to the Internet.";
      break;
    case 301:
    case 302:
    case 303:
    case 304:
    case 306:
    case 307:
    case 308:
    case 311:
    case 312:
    case 313: sentence = "The Lorvex service refused your account."; break;
    case 305: sentence = "The Lorvex service is under maintenance. Try again later."; break;
    case 316:
      sentence = "The Lorvex service could not finish the upload.";
      break;
    default:
      if (status >= 300 && status < 400) {
        sentence = "The Lorvex service could not take the upload.";
      } else {
        sentence = CauseOfTransferFailure(lower);
        if (sentence.empty()) sentence = "The upload to Lorvex failed" + Said(message);
      }
      break;
  }
  out.text = sentence + kNothingSent + " (Error " + std::to_string(status) + ")";
  return out;
}

bool SendToLorvex(const char* format, const FileSpec& spec) {
  const FrameworkEntryPoints framework = FrameworkEntries();
  if (!framework.addFile || !framework.sendFiles) return false;
  const std::string kind = format;
  const std::string path = spec.path;
  UploadProgress progress;
  std::string message;
  // Only the worker calls the framework, which runs the whole upload before it returns.
  const int status = RunWithProgress(
      PStr("to Lorvex"),
      [framework, kind, path, &message, &progress] {
        progress.Expect(ExpectedUploadBytes(path));
        const VexoFileSpec file = {path.c_str()};
        const int added = framework.addFile(kind.c_str(), &file);
        if (added != 0) return added;
        char buffer[1024] = {};
        const int sent = framework.sendFiles("marktally", "marktally", "65", nullptr, 1,
                                             buffer, static_cast<int>(sizeof buffer));
        message.assign(buffer, strnlen(buffer, sizeof buffer));
        return sent;
      },
      [&progress] { progress.Turn(); });
  const LorvexOutcome outcome = LorvexUploadOutcome(status, message);
  if (outcome.text.empty()) return outcome.uploaded;
  InitCursor();
  if (outcome.uploaded)
    Alert(kNoteAlert, "Exported to Lorvex", outcome.text);
  else
    Alert(kStopAlert, "Unable to export to Lorvex", outcome.text);
  return outcome.uploaded;
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
  AddOption(a, "-password", gSchoolSpeakPassword);
  return a;
}

std::vector<std::string> SchoolSpeakSaveArguments(const FileSpec& spec) {
  std::vector<std::string> a = {"java",          "-jar",          UploadToolPath(),
                                "-action",       "GradeFileSave", "-file",
                                spec.path,       "-dontdeletefiles", "-dontopenbrowser",
                                "-app",          "Marktally 6.3"};
  AddOption(a, "-class", gExportData.classCode);
  AddOption(a, "-username", gExportData.account);
  AddOption(a, "-password", gSchoolSpeakPassword);
  return a;
}

void SetSchoolSpeakPassword(ConstStringPtr password) { gSchoolSpeakPassword.set(password); }

void ForgetSchoolSpeakPassword() {
  std::fill(std::begin(gSchoolSpeakPassword.bytes), std::end(gSchoolSpeakPassword.bytes), 0);
}

bool SendToSchoolSpeak(const FileSpec& spec) {
  return RunSchoolSpeakTool(SchoolSpeakUploadArguments(spec), "Unable to export to SchoolSpeak");
}

bool SaveToSchoolSpeak(const FileSpec& spec) {
  return RunSchoolSpeakTool(SchoolSpeakSaveArguments(spec), "Unable to save to SchoolSpeak");
}

// ---- Waiting off the loop ------------------------------------------------------------

int RunWithProgress(ConstStringPtr text, const std::function<int()>& work,
                    const std::function<void()>& eachTurn) {
  BeginExportProgress(text, false);
  std::packaged_task<int()> task(work);
  std::future<int> result = task.get_future();
  std::thread worker(std::move(task));
  EventRecord event{};
  // Each turn waits for the worker at most two ticks, then lets the window draw.
  while (result.wait_for(std::chrono::milliseconds(33)) != std::future_status::ready) {
    WaitNextEvent(0, &event, 0, nullptr);
    if (eachTurn) eachTurn();
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
