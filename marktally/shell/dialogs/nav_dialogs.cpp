#include "marktally/shell/dialogs/nav_dialogs.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "marktally/model/multiple.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/navigation.h"

uint8_t gHasNavigation = 0;

namespace {

// Keeps the document window painted while a file dialog is up.
void NavEventFilter(const EventRecord& event) {
  if (event.what == updateEvt && gWindow &&
      reinterpret_cast<WindowRef>(event.message) == gWindow)
    UpdateWindow();
}

NavDialogOptions Options() {
  NavDialogOptions options;
  options.clientName = "Marktally";
  return options;
}

}  // namespace

bool HasExtension(const std::string& name, const char* extension) {
  const size_t n = std::strlen(extension);
  if (name.size() < n + 1 || name[name.size() - n - 1] != '.') return false;
  for (size_t i = 0; i < n; i++) {
    const auto c = static_cast<unsigned char>(name[name.size() - n + i]);
    if (std::tolower(c) != std::tolower(static_cast<unsigned char>(extension[i]))) return false;
  }
  return true;
}

bool NavFilterProcMTB(const std::string& path, bool isFolder) {
  return isFolder || HasExtension(path, "mtb");
}

bool NavFilterProcTXT(const std::string& path, bool isFolder) {
  return isFolder || HasExtension(path, "txt") || HasExtension(path, "csv");
}

void CheckNav() { gHasNavigation = 1; }

bool GetOpenFile(OSType filter, FileSpec* spec, bool* stationery) {
  std::string path;
  const NavObjectFilter which = filter == kTextFilter ? NavFilterProcTXT : NavFilterProcMTB;
  NavDialogOptions options = Options();
  options.filterName = filter == kTextFilter ? kTextFilesFilter : kClassFilesFilter;
  if (NavGetFile(options, which, NavEventFilter, &path) != noErr) return false;
  spec->path = path;
  // The desktop keeps no stationery flag: every file opens as itself.
  *stationery = false;
  return true;
}

bool GetOpenMultiple() {
  NavDialogOptions options = Options();
  options.windowTitle = "Multiple Class Report";
  options.message = "Hold down the shift key to select more than one class.";
  options.filterName = kClassFilesFilter;
  std::vector<std::string> paths;
  if (NavGetMultipleFiles(options, NavFilterProcMTB, NavEventFilter, &paths) != noErr)
    return false;
  for (const std::string& path : paths) AddClass(FileSpec{path});
  return !paths.empty();
}

bool GetSaveFile(ConstStringPtr defaultName, FileSpec* spec, bool* replacing) {
  NavDialogOptions options = Options();
  options.saveFileName = ToStdString(defaultName);
  options.filterName = kClassFilesFilter;
  options.defaultSuffix = "mtb";
  std::string path;
  bool replaces = false;
  if (NavPutFile(options, NavEventFilter, &path, &replaces) != noErr) return false;
  // A class is found again by its suffix: a name typed without it ("Biology", or
  // "Biology.v2") gets it.
  if (!HasExtension(path, "mtb")) {
    path += ".mtb";
    std::error_code error;
    replaces = std::filesystem::exists(path, error);
  }
  spec->path = path;
  *replacing = replaces;
  return true;
}

bool GetExportFile(ConstStringPtr defaultName, FileSpec* spec, bool* replacing) {
  NavDialogOptions options = Options();
  options.saveFileName = ToStdString(defaultName);
  std::string path;
  bool replaces = false;
  if (NavPutFile(options, NavEventFilter, &path, &replaces) != noErr) return false;
  spec->path = path;
  *replacing = replaces;
  return true;
}

bool PickFolder(FileSpec* spec) {
  std::string path;
  if (NavChooseFolder(Options(), NavEventFilter, &path) != noErr) return false;
  spec->path = path;
  return true;
}
