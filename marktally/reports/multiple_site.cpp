#include "marktally/reports/multiple_site.h"

#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "marktally/model/converters.h"
#include "marktally/model/dates.h"
#include "marktally/model/document.h"
#include "marktally/model/multiple.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/web_site.h"
#include "marktally/reports/report_host.h"
#include "marktally/toolbox/desktop.h"

namespace {

// The links set of the merged student being written.
Str15 gStudentID;
Str31 gStudentName;
Str63 gStudentSchool;
int16_t gNumStudentSubjects = 0;
StudentSubjectLink gStudentSubjects[16];

// Sub-folders used by this export: two subjects with one web name get their own folders
// instead of writing over each other's pages.
std::set<std::string> gUsedFolders;

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

std::string WebName(ConstStringPtr text) {
  Str255 name{};
  name.set(text);
  MakeWebName(name);
  return name.str();
}

std::string PageOf(ConstStringPtr name, ConstStringPtr id) {
  Str255 page{};
  StudentPage(name, id, page);
  return page.str();
}

Str31 NameKey(ConstStringPtr name) {
  Str255 key{};
  LastNameFirst(name, key);
  Str31 cut{};
  cut.set(key);
  return cut;
}

void Progress(int16_t s) { StepExportProgress(gStudents[s].name); }

bool gShowProgress = false;

}  // namespace

bool ExportSubject(const std::string& folder, std::string& subfolder) {
  std::string base = WebName(gClass.subject);
  if (base.empty()) base = "class";
  subfolder = base;
  for (int n = 2; gUsedFolders.count(subfolder); n++) subfolder = base + "-" + std::to_string(n);
  gUsedFolders.insert(subfolder);
  const FileSpec dir{Join(folder, subfolder)};
  if (::mkdir(dir.path.c_str(), 0777) != 0 && errno != EEXIST) {
    ReportSiteFileError(dir, ErrnoToOSErr(errno));
    return false;
  }
  if (gShowProgress) BeginExportProgress(gClass.subject, false);
  const bool ok = ExportClassSite(dir.path, gShowProgress ? Progress : nullptr);
  if (gShowProgress) EndExportProgress(false);
  return ok;
}

void NewStudentLinks(ConstStringPtr school, ConstStringPtr name, ConstStringPtr id) {
  gStudentSchool.set(school);
  gStudentName.set(name);
  gStudentID.set(id);
  gNumStudentSubjects = 0;
}

void AddStudentSubject(ConstStringPtr subject, ConstStringPtr teacher, uint16_t percent,
                       ConstStringPtr grade, const std::string& href) {
  if (gNumStudentSubjects >= 16) return;
  StudentSubjectLink& link = gStudentSubjects[gNumStudentSubjects++];
  link.subject.set(subject);
  link.teacher.set(teacher);
  link.percent = percent;
  link.grade.set(grade);
  link.href = href;
}

bool ExportSubjectHeaders(const FileSpec& file, FileRef& ref, WriteBuffer& buffer) {
  const int t = std::min<int>(gCurrentTerm, kMaxTerms - 1);
  return AppendCToBuffer(file, ref, buffer,
                         "<tr><th width=180 align=left><b>\rSubject\r</b>\r</th>\r\r"
                         "<th colspan=2 align=center><b>\r") &&
         AppendHTMLToBuffer(file, ref, buffer, gTermNames[t]) &&
         AppendCToBuffer(file, ref, buffer, "\r</b>\r</th></tr>\r\r");
}

bool ExportSubjectDetails(const FileSpec& file, FileRef& ref, WriteBuffer& buffer) {
  auto put = [&](const char* text) { return AppendCToBuffer(file, ref, buffer, text); };
  for (int k = 0; k < gNumStudentSubjects; k++) {
    const StudentSubjectLink& link = gStudentSubjects[k];
    Str255 percent{};
    if (link.percent != kNone) PercentToString(static_cast<int16_t>(link.percent), percent);
    // The href is a folder made of [a-z0-9-] and a numeric page name: nothing to escape.
    const bool ok =
        put("<tr><td width=180>\r") &&
        (link.href.empty() || (put("<a href=\"") && put(link.href.c_str()) && put("\">"))) &&
        AppendHTMLToBuffer(file, ref, buffer, link.subject) &&
        put(link.href.empty() ? "\r" : "\r</a>\r") && put("</td>\r<td width=60 align=right>\r") &&
        AppendHTMLToBuffer(file, ref, buffer, percent) && put("\r</td>\r<td width=60>\r") &&
        AppendHTMLToBuffer(file, ref, buffer, link.grade) && put("</td></tr>\r");
    if (!ok) return false;
  }
  return true;
}

bool CreateStudentPage(const std::string& folder) {
  if (gStudentID.empty()) return true;
  const FileSpec file{Join(folder, PageOf(gStudentName, gStudentID))};
  return WriteSitePage(file, [](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    Str255 today{};
    DateToString(GetDateTime(), today);
    auto put = [&](const char* text) { return AppendCToBuffer(f, ref, buffer, text); };
    auto html = [&](ConstStringPtr text) { return AppendHTMLToBuffer(f, ref, buffer, text); };
    bool ok = put(kDocTypeTag) && put("<html>\r<head>\r\r<title>\rProgress Report (") &&
              html(today) && put(")\r</title>\r\r") && put(kRobotsTag) && put(kCharsetTag) &&
              put("\r") && put(kStylesheetTag) &&
              put("\r\r</head>\r\r<body bgcolor=white>\r\r<h2 align=left>\r") &&
              html(gStudentSchool) && put("</h2>\r\r<table cellspacing=0>\r") &&
              put("\r<tr><td height=30></td></tr>\r");
    if (ok && gShowStudentName) {
      ok = put("<tr><td colspan=6><b>\r") && html(gStudentName) &&
           put("\r</b></td></tr>\r\r\r<tr><td height=20></td></tr>\r");
    }
    return ok && put("</table>\r<table cellspacing=0>\r\r") &&
           ExportSubjectHeaders(f, ref, buffer) && ExportSubjectDetails(f, ref, buffer) &&
           put("</table>\r\r</body>\r</html>\r");
  });
}

bool WriteMultipleSite(const std::string& folder, bool progress) {
  const uint16_t term = gCurrentTerm;
  gShowProgress = progress;
  struct ProgressOff {
    ~ProgressOff() { gShowProgress = false; }
  } off;
  gUsedFolders.clear();
  // Which classes the report holds, and for each of their students with a page, where
  // its class site put it.
  std::set<int> merged;
  for (int i = 0; i < gNumStudents; i++)
    for (int k = 0; k < gMultipleStudents[i].subjectCount && k < kMaxMultipleSubjects; k++)
      merged.insert(gMultipleStudents[i].subjects[k].classFile);
  std::map<std::pair<int, int>, std::pair<Str31, std::string>> pages;
  bool ok = true;
  for (int16_t i = 0; i < gNumFiles && ok; i++) {
    if (!merged.count(i)) continue;  // skipped when merging: not in the report
    // A class that cannot be read now is left out with its alert; its subjects are
    // listed without links.
    if (!ReadReportClass(gFileSpecs[i])) continue;
    gCurrentTerm = std::min<uint16_t>(term, static_cast<uint16_t>(gClass.lastTerm));
    std::string subfolder;
    ok = ExportSubject(folder, subfolder);
    if (!ok) break;
    std::set<int16_t> skipped(SkippedStudentPages().begin(), SkippedStudentPages().end());
    for (int16_t s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
      if (gStudents[s].id.empty() || skipped.count(s)) continue;
      pages[{i, s}] = {NameKey(gStudents[s].name),
                       subfolder + "/" + PageOf(gStudents[s].name, gStudents[s].id)};
    }
  }
  gCurrentTerm = term;
  if (!ok || !CreateIndexPages(folder)) return false;

  const int t = std::min<int>(term, kMaxTerms - 1);
  std::set<std::string> taken;
  std::vector<int> doubled;
  for (int i = 0; i < gNumStudents; i++) {
    const MultipleStudentRecord& r = gMultipleStudents[i];
    if (gShowProgress) StepExportProgress(r.name);
    if (!r.id.empty() && !taken.insert(PageOf(r.name, r.id)).second) {
      doubled.push_back(i);
      continue;
    }
    const Str31 key = NameKey(r.name);
    NewStudentLinks(gSchoolName, r.name, r.id);
    for (int k = 0; k < r.subjectCount && k < kMaxMultipleSubjects; k++) {
      const MultipleSubjectRecord& sub = r.subjects[k];
      std::string href;
      const auto at = pages.find({sub.classFile, sub.classSlot});
      // Linked only to the page of this very student (the class may have changed since).
      if (at != pages.end() && EqualString(at->second.first, key, false, false))
        href = at->second.second;
      AddStudentSubject(sub.subject, sub.teacher, sub.percents[t], sub.grades[t], href);
    }
    if (!CreateStudentPage(folder)) return false;
  }
  if (!doubled.empty()) {
    Str255 text = PStr("These students have the same page name as an earlier student and got "
                       "no page: ");
    for (size_t k = 0; k < doubled.size(); k++) {
      if (k > 0) AppendC(text, ", ");
      Append(text, gMultipleStudents[doubled[k]].name);
    }
    AppendC(text, ". Change one of the IDs and export again.");
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("Some student pages were not written"), text);
  }
  return true;
}

