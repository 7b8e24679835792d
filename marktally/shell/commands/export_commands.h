// The Export menu's text commands, the Import command and the opening of a class roster,
// with the steps every export command shares.
#pragma once

#include <cstdint>

#include "marktally/model/fileutil.h"

void HandleExportChoice(int16_t item);
void DoExportToTextCmd();
// A page of the class's grades or the class web site, as the HTML dialog chooses.
void DoExportToHTMLCmd();
void DoExportToTeacherWeb();
// The XML files for the school services: the service's dialog, then a ".xml" file.
void DoExportToBasmati();
void DoExportToSchoolCtr();
void DoExportToSchoolFusion();
// The uploads: the Lorvex file handed to the framework, the SchoolSpeak grade file handed
// to the upload tool. Each needs a saved class; a file that failed is not handed on.
void DoExportToLorvex();
void DoExportToSchoolSpeak();
void DoImportCmd();
// The Email Reports menu and the e-mail commands: kind is the report kind (7, 8, 9, 11).
void HandleEmailReportsChoice(int16_t item);
void DoEmailReports(int16_t kind);
void DoEmailSingleReport(int16_t student, int16_t kind);
// The Edit menu's e-mail addresses item: the addresses dialog on the student in view.
void DoEmailCmd();
void AdjustEmailMenu();
// Asks for the file (suggested: last name, "-", first name, made a web name, ".html") and
// writes the student's report of the current view. gShowStudentName is set while writing
// and cleared on every way out.
void ExportSingleStudent(int16_t s);
// Asks whether names may appear, lets the teacher pick a folder and writes the
// multiple-class web site.
void ExportMultipleReport();
// A roster file opens as a new untitled class holding its IDs and names.
void OpenRosterFile(const FileSpec& spec);

// ---- Steps shared by the export commands ---------------------------------------------
// Arrow cursor, the document window inactive behind the dialogs.
void StartExport();
// The window's title without its extension.
void ExportBaseName(Str255& base);
// One note alert when a listed student has no ID; the command goes on.
void IDWarning(const char* text);
// The base name cut to 27 characters plus the extension, asked for in the save dialog;
// false when cancelled or refused (a name that begins with a period).
bool GetExportFile(ConstStringPtr base, const char* extension, FileSpec& spec);
// An untitled class must be saved first: the alert, then Save As. False while untitled.
bool RequireSavedClass(const char* text);
