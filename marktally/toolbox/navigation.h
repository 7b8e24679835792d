// File dialogs over Qt's own file dialogs: open one file or several through the
// program's filter, save under a default name, choose a folder.
//
// Paths are UTF-8, as the file system has them; titles, messages and default names are
// Mac Roman. The filter decides which files the open dialogs list (folders are always
// listed, to move about). While a dialog is up, the event procedure gets an update event
// whenever the document window needs drawing, so that it stays painted behind the
// dialog. Saving over an existing file asks the desktop's own confirmation and answers
// replacing = true. A cancelled dialog answers userCanceledErr.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "marktally/toolbox/events.h"

struct NavDialogOptions {
  std::string clientName;    // the application's name
  std::string windowTitle;   // empty: the desktop's own title
  std::string message;       // a line above the list
  std::string saveFileName;  // the default name of a save dialog
  std::string filterName;    // "Kind (*.ext)": the desktop's file-type choice
  std::string defaultSuffix;  // a save dialog adds it to a name typed without one
};

// True when the file (or folder) should be listed.
using NavObjectFilter = std::function<bool(const std::string& path, bool isFolder)>;
using NavEventProcPtr = void (*)(const EventRecord& event);

OSStatus NavGetFile(const NavDialogOptions& options, const NavObjectFilter& filter,
                    NavEventProcPtr eventProc, std::string* path);
OSStatus NavGetMultipleFiles(const NavDialogOptions& options, const NavObjectFilter& filter,
                             NavEventProcPtr eventProc, std::vector<std::string>* paths);
OSStatus NavPutFile(const NavDialogOptions& options, NavEventProcPtr eventProc, std::string* path,
                    bool* replacing);
OSStatus NavChooseFolder(const NavDialogOptions& options, NavEventProcPtr eventProc,
                         std::string* path);
