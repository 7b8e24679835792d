// The eight class documents opened or saved last and the sixteen assignments typed
// last, newest first; kept in two files of the Preferences folder between runs.
#pragma once

#include <string>

#include "fileutil.h"
#include "records.h"

constexpr int kMaxRecentFiles = 8;
constexpr int kMaxRecentAssigns = 16;
constexpr int kMaxRecentPath = 1023;  // bytes of a path the list file can hold

struct RecentFileRecord {
  uint32_t time;  // of the last opening or saving; 0 marks an empty slot
  FileSpec spec;
};

struct RecentAssignRecord {
  uint32_t date;
  AssignmentRecord assignment;  // an empty name marks an empty slot
};
static_assert(sizeof(RecentAssignRecord) == 56, "RecentAssignRecord layout");

extern RecentFileRecord gRecentFiles[kMaxRecentFiles];
extern int16_t gNumRecentFiles;
extern RecentAssignRecord gRecentAssigns[kMaxRecentAssigns];
extern int16_t gNumRecentAssigns;

// $XDG_CONFIG_HOME/marktally, or ~/.config/marktally; empty when neither can be told.
std::string PreferencesFolder();

void LoadRecentFiles();
void SaveRecentFiles();
void InsertRecentFile(const FileSpec& spec);
void DeleteRecentFile(int16_t index);
void ClearRecentFiles();

void SetupRecentAssigns();
void LoadRecentAssigns();
void SaveRecentAssigns();
// Puts the current term's assignment in that column at the top of the list.
void InsertRecentAssign(int16_t column);
