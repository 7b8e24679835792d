// Progress reports as static web pages: the class web site (fixed index, robots and style
// files, and one page per student with an ID) and one student's report saved as a
// stand-alone page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "marktally/model/fileutil.h"
#include "marktally/reports/export_buffer.h"

// The frame of every site page. The pages are pure ASCII, so the declared charset holds
// whatever the escaped texts were.
extern const char kDocTypeTag[];
extern const char kRobotsTag[];
extern const char kCharsetTag[];
extern const char kStylesheetTag[];
extern const char kImbeddedStyleTag[];

// The fixed files of every site folder.
extern const char kIndexPageText[];
extern const char kRobotsText[];
extern const char kStyleText[];

// Every file of a site is written beside its place and put there once whole
// (WriteFileWhole, without waiting on the disk); a failure is reported with the file's
// name.
void ReportSiteFileError(const FileSpec& file, OSErr err);
bool WriteSitePage(const FileSpec& file, const FileWriter& write);

// The site folder that ExportClassSite writes into (a path, without a trailing slash).
extern std::string gExportFilename;

// The page file name of a student: a number computed from the ID and the name, + ".html".
// Links of the multiple-class site rely on this formula.
void StudentPage(ConstStringPtr name, ConstStringPtr id, Str255& page);
// A text made safe as a file or folder name: cut to 23 characters, every byte but an
// ASCII digit or letter made "-", letters in lower case.
void MakeWebName(Str255& text);

// index.htm, index.html, default.html, robots.txt and style.css in the folder; false
// (reported) at the first that cannot be written.
bool CreateIndexPages(const std::string& folder);
bool CreateIndexPage(const FileSpec& file);
bool CreateRobotPage(const FileSpec& file);
bool CreateStylePage(const FileSpec& file);

// Called once per student, before its page (the caller's progress window steps here).
using SiteProgress = void (*)(int16_t student);

// The class web site of the open class into the folder: the fixed files, then one page
// per student with an ID. A student whose page name is already taken by an earlier
// student of the same site is skipped and named in one alert at the end. False at the
// first failure, which has been reported.
bool ExportClassSite(const std::string& folder, SiteProgress progress = nullptr);
// One student's page of a class site, in gExportFilename under its page name; true
// without writing anything when the student has no ID.
bool ExportStudentReport(int16_t s);
// The students the last ExportClassSite skipped because their page name was taken.
const std::vector<int16_t>& SkippedStudentPages();

// The student's report of the given view as a stand-alone page (no style sheet link; the
// style is in the page), written beside the file and moved into place once whole.
bool WriteSingleStudentPage(const FileSpec& file, uint16_t view, int16_t s);
