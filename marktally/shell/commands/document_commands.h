// The commands that create, open, close, save and revert the open class, the
// save-changes prompt that guards them, quitting, and the users guide.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "marktally/model/fileutil.h"

extern uint8_t gDone;  // the event loop ends

// True when the teacher cancelled (or the save inside the prompt did not leave the
// class saved): the caller must stop.
bool SaveChanges();
void DoNewClassCmd();
void DoNewCmd();
void DoOpenCmd();
void DoCloseCmd();
void DoSaveCmd();
void DoSaveAsCmd();
void DoRevertCmd();
// Saves the class, then hands its document to the SchoolSpeak upload tool after the
// dialog; an untitled class is saved first, a failed save stops.
void DoSaveToSpeakCmd();
void DoOpenRecent(int16_t index);
void DoQuitCmd();
void OpenUsersGuide();
// Asks the desktop to open a file with its default viewer.
bool OpenDocument(const FileSpec& spec);

// Reads gFileSpec into the class tables and makes it the window's class, titled with
// its name; false (reported) when it could not be read.
bool OpenClassFile();
// The file name of a path as the window shows it.
void WindowTitleFor(const FileSpec& spec, Str255& title);
// Where the users guide is looked for, first match wins.
std::string FindUsersGuide();

// Test seam: what opens a file with the desktop's viewer (default: xdg-open).
void SetDocumentOpenerForTesting(std::function<bool(const std::string& path)> opener);
