// The open, save and choose-folder dialogs as the program asks for them, with its
// filters for gradebooks and text files.
#pragma once

#include <string>

#include "marktally/model/fileutil.h"
#include "marktally/toolbox/qdtypes.h"

// The filter code that asks for text files; any other lists gradebooks.
constexpr OSType kTextFilter = FourCC("ttxt");
// The file types the dialogs offer, as the desktop names them.
constexpr const char* kClassFilesFilter = "Marktally classes (*.mtb)";
constexpr const char* kTextFilesFilter = "Text files (*.txt *.csv)";

extern uint8_t gHasNavigation;

void CheckNav();
// True when a file was chosen; the file goes into spec.
bool GetOpenFile(OSType filter, FileSpec* spec, bool* stationery);
// Class files for the multiple-class report, each handed to AddClass in the order chosen;
// true when at least one was chosen.
bool GetOpenMultiple();
// True when a file was named; replacing tells whether it exists. A class file always
// ends in ".mtb"; an export keeps the name as typed.
bool GetSaveFile(ConstStringPtr defaultName, FileSpec* spec, bool* replacing);
bool GetExportFile(ConstStringPtr defaultName, FileSpec* spec, bool* replacing);
bool PickFolder(FileSpec* spec);

bool NavFilterProcMTB(const std::string& path, bool isFolder);
bool NavFilterProcTXT(const std::string& path, bool isFolder);
// True when the name ends in "." and the extension, the letters in any case.
bool HasExtension(const std::string& name, const char* extension);
