#include "marktally/shell/commands/document_commands.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "marktally/model/document.h"
#include "marktally/model/platform.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/upload.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/dialogs/nav_dialogs.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/dialogs/service_dialogs.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"

extern char** environ;

uint8_t gDone = 0;

namespace {

std::function<bool(const std::string&)> gDocumentOpener;

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  buffer[n] = 0;
  return FolderOf(buffer);
}

bool OnPath(const char* program) {
  const char* path = getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = std::min(folders.find(':', start), folders.size());
    const std::string candidate = folders.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Hands the file to the desktop's opener and does not wait for the viewer: some
// openers run it in the foreground. The shell in between leaves no child behind.
bool SpawnOpener(const std::string& path) {
  if (!OnPath("xdg-open")) return false;
  const char* argv[] = {"sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", path.c_str(),
                        nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
    return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void MakeUntitledClass(bool keepOptions) {
  if (keepOptions)
    NewClassSaveOptions();
  else
    NewClass();
  CantUndo();
  const bool hadWindow = gWindow != nullptr;
  MakeNewDocument();
  MakeNewWindow(PStr("untitled"));
  gFileSpec.path.clear();
  SetChanged(0);
  // A window kept from the last class still has its scroll range and position.
  if (hadWindow) {
    AdjustScrollBars();
    ScrollGrid(true);
  }
  ForceUpdate();
}

void NewDocument(bool keepOptions) {
  if (!CloseEditor(true)) return;
  if (SaveChanges()) return;
  MakeUntitledClass(keepOptions);
}

// Reads the file; a recent entry that can no longer be read goes from the list.
bool ReadClassFile() {
  FileRef ref = kNoFile;
  return OpenFile(ref) && ReadDocument(ref);
}

}  // namespace

void SetDocumentOpenerForTesting(std::function<bool(const std::string&)> opener) {
  gDocumentOpener = std::move(opener);
}

void WindowTitleFor(const FileSpec& spec, Str255& title) { GetFileName(spec, title); }

bool OpenClassFile() {
  if (!ReadClassFile()) return false;
  const bool hadWindow = gWindow != nullptr;
  MakeNewDocument();
  Str255 title;
  WindowTitleFor(gFileSpec, title);
  MakeNewWindow(title);
  if (hadWindow) AdjustScrollBars();
  return true;
}

// ---- The save-changes prompt --------------------------------------------------------

bool SaveChanges() {
  if (!gWindow || !gChanged) return false;
  InitCursor();
  Str255 title;
  GetWTitle(gWindow, title);
  Str255 message = PStr("'");
  Append(message, title);
  Append(message, PStr("' has been changed"));
  const int16_t answer = ShowModelAlert(
      kCautionAlert, kAlertSaveCancelDont, message,
      PStr("You have made changes to this document. Do you want to save your changes before "
           "continuing?"));
  UpdateWindow();
  if (answer == 3) return false;
  if (answer != 1) return true;
  DoSaveCmd();
  // A cancelled save dialog or a failed save leaves the class changed: nothing may drop
  // it then.
  return gChanged != 0;
}

// ---- Commands -----------------------------------------------------------------------

void DoNewClassCmd() { NewDocument(true); }
void DoNewCmd() { NewDocument(false); }

void DoOpenCmd() {
  if (!CloseEditor(true)) return;
  if (SaveChanges()) return;
  CantUndo();
  InitCursor();
  FileSpec chosen;
  bool stationery = false;
  if (!GetOpenFile(0, &chosen, &stationery)) return;
  gFileSpec = chosen;
  if (!OpenClassFile()) {
    DoNewCmd();
    return;
  }
  ScrollGrid(true);
  ForceUpdate();
}

void DoCloseCmd() {
  if (gCurrView == kMultipleClassesView) {
    CloseDocument();
    return;
  }
  if (!CloseEditor(true)) return;
  if (gChanged && SaveChanges()) return;
  CloseDocument();
  CantUndo();
}

void DoSaveCmd() {
  // The report's tables hold the last class it read: never written over that file.
  if (gCurrView == kMultipleClassesView) return;
  if (!CloseEditor(false)) return;
  if (gFileSpec.empty()) {
    DoSaveAsCmd();
    return;
  }
  SaveDocument();
}

void DoSaveToSpeakCmd() {
  if (gCurrView == kMultipleClassesView) return;
  if (!gWindow || !CloseEditor(false)) return;
  InitCursor();
  DeactivateMainWindow();
  if (gFileSpec.empty()) {
    Alert(kStopAlert, "This class has not been saved",
          "This class has not yet been saved. You must save it before saving to SchoolSpeak.");
    DoSaveAsCmd();
  }
  // The service must get the class as it stands: an unsaved or stale document stops.
  if (!gFileSpec.empty() && SaveDocument() && DoSaveToSchoolSpeakDialog()) {
    SaveToSchoolSpeak(gFileSpec);
  }
  if (gWindow) ActivateMainWindow();
}

void DoSaveAsCmd() {
  if (gCurrView == kMultipleClassesView) return;
  if (!gWindow || !CloseEditor(false)) return;
  InitCursor();
  DeactivateMainWindow();
  Str255 name;
  GetWTitle(gWindow, name);
  if (!HasExtension(ToStdString(name), "mtb")) {
    if (name.length() > 27) name[0] = 27;
    Append(name, PStr(".mtb"));
  }
  FileSpec chosen;
  bool replacing = false;
  const bool named = GetSaveFile(name, &chosen, &replacing);
  ActivateMainWindow();
  if (!named) return;
  Str255 fileName;
  GetFileName(chosen, fileName);
  if (fileName.length() > 0 && fileName[1] == '.') {
    Alert(kStopAlert, "Illegal file name",
              "This document could not be saved because file names may not begin with a "
              "period.");
    return;
  }
  // The replaced file stays until the new one is whole (the save writes beside it and
  // renames), and a failed save leaves the class where it was.
  const FileSpec previous = gFileSpec;
  const uint32_t created = gClass.createdTime;
  gClass.createdTime = GetDateTime();
  gFileSpec = chosen;
  if (!SaveDocument()) {
    gFileSpec = previous;
    gClass.createdTime = created;
    return;
  }
  SetWTitle(gWindow, fileName);
  InsertRecentFile(gFileSpec);
  ForceUpdate();
}

void DoRevertCmd() {
  if (!gWindow || gFileSpec.empty()) return;
  InitCursor();
  CloseEdit(kEditCancel);
  Str255 name;
  GetFileName(gFileSpec, name);
  Str255 text = PStr(
      "Are you sure you want to discard all unsaved changes and revert to the last saved "
      "version of '");
  Append(text, name);
  Append(text, PStr("'?"));
  if (ShowModelAlert(kCautionAlert, kAlertRevertCancel, PStr("Discard all unsaved changes?"),
                     text) != 1)
    return;
  CantUndo();
  CloseDocument();
  OpenClassFile();
}

void DoOpenRecent(int16_t index) {
  CancelSelection();
  CloseEdit(kEditCommit);
  if (index > gNumRecentFiles) {
    ClearRecentFiles();
    return;
  }
  if (gEditHandle || index < 0 || index >= gNumRecentFiles) return;
  if (SaveChanges()) return;
  CantUndo();
  InitCursor();
  const FileSpec spec = gRecentFiles[index].spec;
  gFileSpec = spec;
  if (OpenClassFile()) {
    ScrollGrid(true);
    ForceUpdate();
    return;
  }
  // Reading puts the file at the top of the list before it fails: find it again.
  for (int16_t i = 0; i < gNumRecentFiles; i++) {
    if (gRecentFiles[i].spec.path == spec.path) {
      DeleteRecentFile(i);
      break;
    }
  }
  DoNewCmd();
}

void DoQuitCmd() {
  if (gWindow) {
    DoCloseCmd();
    if (gWindow) return;
  }
  gDone = 1;
}

// ---- Users guide --------------------------------------------------------------------

std::string FindUsersGuide() {
  const std::string program = ProgramFolder();
  std::vector<std::string> places;
  if (!program.empty()) {
    places.push_back(program + "/users-guide.html");
    places.push_back(program + "/../share/doc/marktally/users-guide.html");
  }
  places.push_back(MT_SOURCE_DIR "/docs/users-guide.html");
  for (const std::string& place : places)
    if (Exists(place)) return place;
  return std::string();
}

void OpenUsersGuide() {
  const std::string guide = FindUsersGuide();
  if (guide.empty()) {
    Alert(kStopAlert, "Unable to open users guide",
              "The users guide cannot be opened. It should be located in the same folder as "
              "Marktally.");
    return;
  }
  if (OpenDocument(FileSpec{guide})) return;
  // The desktop has nothing to show it with: say where it is.
  Str255 text;
  Utf8ToMacRoman("The users guide is the file " + guide +
                     ", but no program was found to show it. Open it in a web browser.",
                 text);
  InitCursor();
  ShowModelAlert(kStopAlert, kAlertOK, PStr("Unable to open users guide"), text);
}

bool OpenDocument(const FileSpec& spec) {
  if (gDocumentOpener) return gDocumentOpener(spec.path);
  return SpawnOpener(spec.path);
}
