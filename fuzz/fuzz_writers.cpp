// The writers of every outside file over a class read from any document bytes: the text
// export in each format, the HTML grades page, the three XML files, the class web site and
// the stand-alone student page. Each writes what it promises whatever the class holds: the
// delimited text is UTF-8 with CR LF rows, the TeacherWeb file has CR line ends only, every
// page is ASCII without a raw control byte, every XML file is well-formed (libxml2), and no
// writer leaves its temporary beside the file, whether it wrote or failed: a writer that
// fails leaves the file it would have replaced as it was.
//
// An input is two bytes of options and a document:
//   bits 0-1   text format: 0 the TeacherWeb file, else the export format 1 to 3
//   bit 2      school, subject, term and teacher columns
//   bit 3      IDs (the names are always written)
//   bit 4      comments and e-mail addresses
//   bit 5      the header rows: dates, assignment names, categories, points
//   bit 6      scores and attendance codes
//   bit 7      exam, term, semester and year percents and grades
//   bit 8      tardies and absences
//   bit 9      the student's line in the heading of student reports
//   bits 10-12 the view of the stand-alone page: student scores, summary, attendance,
//              assignment scores, missing work
//   bit 13     the stand-alone page of the last student instead of the first
//   bit 14     the fault of bit 15: writes failing halfway, or the rename refused
//   bit 15     every writer runs again under a fault: it fails and leaves what it wrote
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_program.h"
#include "fuzz_folder.h"
#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/password.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/reports/export_buffer.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/report_host.h"
#include "marktally/reports/text_export.h"
#include "marktally/reports/web_site.h"
#include "marktally/reports/xml_export.h"

namespace {

std::string gFolder;  // this process's output folder

std::string Slurp(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  char chunk[65536] = {};
  ssize_t n = 0;
  while ((n = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  FUZZ_CHECK(dir != nullptr);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

// A save's temporary is named ".~<name>.<digits>" beside its target.
void CheckNoTemporary(const std::string& folder) {
  for (const std::string& name : Names(folder)) {
    const bool temporary = name.rfind(".~", 0) == 0;
    if (temporary) std::fprintf(stderr, "left behind: %s/%s\n", folder.c_str(), name.c_str());
    FUZZ_CHECK(!temporary);
  }
}

// Printable ASCII and the white space a page may carry.
void CheckPage(const std::string& bytes, bool lineFeeds) {
  for (const char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    FUZZ_CHECK(c < 0x7F);
    FUZZ_CHECK(c >= 0x20 || c == '\t' || c == '\r' || (lineFeeds && c == '\n'));
  }
}

void CheckXml(const std::string& bytes) {
  CheckPage(bytes, false);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "export.xml",
                                nullptr, XML_PARSE_NONET | XML_PARSE_NOWARNING);
  if (doc == nullptr) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  FUZZ_CHECK(doc != nullptr);
  xmlFreeDoc(doc);
}

// Strict UTF-8: shortest forms, no surrogates, nothing past U+10FFFF.
bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      i++;
      continue;
    }
    int more = 0;
    uint32_t u = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      u = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      u = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      u = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(more) >= s.size()) return false;
    for (int k = 1; k <= more; k++) {
      const unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((d & 0xC0) != 0x80) return false;
      u = (u << 6) | (d & 0x3F);
    }
    if ((more == 2 && (u < 0x800 || (u >= 0xD800 && u <= 0xDFFF))) ||
        (more == 3 && (u < 0x10000 || u > 0x10FFFF)))
      return false;
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

// The rows of a delimited file as their item counts: a row ends at its line end outside
// quotes (only the comma formats quote). Empty when a CR or LF stands anywhere else or the
// file ends inside a quote or a row.
std::vector<int> Rows(const std::string& bytes, char delimiter, bool quoted, bool crlf) {
  std::vector<int> rows;
  int items = 1;
  bool inQuotes = false;
  for (size_t i = 0; i < bytes.size(); i++) {
    const char c = bytes[i];
    if (quoted && c == '"') inQuotes = !inQuotes;
    if (inQuotes) continue;
    if (c == delimiter) items++;
    if (c == '\r' && crlf && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')) return {};
    if (c == '\n' && (!crlf || i == 0 || bytes[i - 1] != '\r')) return {};
    if (c == (crlf ? '\n' : '\r')) {
      rows.push_back(items);
      items = 1;
    }
  }
  if (inQuotes || (!bytes.empty() && bytes.back() != (crlf ? '\n' : '\r'))) return {};
  return rows;
}

// The rows a text export has: one per header row asked for, then one per student (only
// those with an ID in the TeacherWeb file). Every student row has as many items as the
// others unless the coded days, which differ from student to student, are written.
void CheckRows(const std::string& bytes, char delimiter, bool quoted, bool crlf) {
  int students = 0;
  for (int s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++)
    if (!gTeacherWeb || !gStudents[s].id.empty()) students++;
  const int headers = gExportDates + gExportAssignments + gExportCategories + gExportPoints;
  const std::vector<int> rows = Rows(bytes, delimiter, quoted, crlf);
  FUZZ_CHECK(static_cast<int>(rows.size()) == headers + students);
  for (int r = 1; r < headers; r++) FUZZ_CHECK(rows[r] == rows[0]);
  if (!gExportCodes)
    for (int r = headers + 1; r < headers + students; r++) FUZZ_CHECK(rows[r] == rows[headers]);
}

void Clear(const std::string& folder) {
  for (const std::string& name : Names(folder)) {
    const std::string path = folder + "/" + name;
    if (unlink(path.c_str()) != 0) {
      FUZZ_CHECK(errno == EISDIR || errno == EPERM);
      Clear(path);
      FUZZ_CHECK(rmdir(path.c_str()) == 0);
    }
  }
}

void SetColumns(unsigned options) {
  ResetExportOptions();
  const uint8_t classColumns = (options >> 2) & 1;
  gExportSchool = gExportSubject = gExportTerm = gExportTeacher = classColumns;
  gExportIDs = (options >> 3) & 1;
  gExportComments = gExportEmails = (options >> 4) & 1;
  const uint8_t headers = (options >> 5) & 1;
  gExportDates = gExportAssignments = gExportCategories = gExportPoints = headers;
  gExportScores = gExportCodes = (options >> 6) & 1;
  const uint8_t grades = (options >> 7) & 1;
  gExportExamPcts = gExportExamGrades = gExportTermPcts = gExportTermGrades = grades;
  gExportSemePcts = gExportSemeGrades = gExportYearPcts = gExportYearGrades = grades;
  gExportTardies = gExportAbsences = (options >> 8) & 1;
}

// A fault for the second run of each writer: none, its writes failing halfway through
// the file it wrote, or its rename into place refused.
enum class Fault { kNone, kWrite, kRename };
Fault gFault = Fault::kNone;

// Runs the writer, which must write the file; under a fault, runs it again over what it
// wrote: it must then fail and leave that file as it was. Neither run leaves a temporary.
// Answers the file's bytes.
std::string Write(const std::string& path, const std::function<bool()>& writer) {
  const std::string folder = path.substr(0, path.rfind('/'));
  const bool wrote = writer();
  CheckNoTemporary(folder);
  FUZZ_CHECK(wrote);
  const std::string bytes = Slurp(path);
  if (gFault == Fault::kNone) return bytes;
  FileFaults faults;
  if (gFault == Fault::kWrite)
    faults.failWriteAt = static_cast<int64_t>(bytes.size() / 2);
  else
    faults.renameErrno = EIO;
  SetFileFaultsForTesting(&faults);
  const bool again = writer();
  SetFileFaultsForTesting(nullptr);
  CheckNoTemporary(folder);
  FUZZ_CHECK(!again || (gFault == Fault::kWrite && bytes.empty()));
  FUZZ_CHECK(Slurp(path) == bytes);
  return bytes;
}

void TextExports(unsigned options) {
  const unsigned format = options & 3;
  const FileSpec text{gFolder + "/export.txt"};
  SetColumns(options);
  SetExportFormat(format == 0 ? 1 : static_cast<uint16_t>(format));
  gTeacherWeb = format == 0;
  const std::string bytes = Write(text.path, [&text] { return ExportClass(text); });
  // The delimited text is UTF-8 with CR LF rows; the TeacherWeb file keeps the class's
  // bytes and ends its rows with CR alone.
  if (format != 0) FUZZ_CHECK(ValidUtf8(bytes));
  CheckRows(bytes, format == 1 || format == 0 ? '\t' : ',', format >= 2, format != 0);
  gTeacherWeb = 0;

  const FileSpec page{gFolder + "/grades.html"};
  SetColumns(options);
  gExportHTML = 1;
  CheckPage(Write(page.path, [&page] { return ExportClass(page); }), false);
  gExportHTML = 0;
}

void XmlExports() {
  const FileSpec basmati{gFolder + "/basmati.xml"};
  CheckXml(Write(basmati.path, [&basmati] { return ExportClassBasmati(basmati); }));
  const FileSpec center{gFolder + "/center.xml"};
  CheckXml(Write(center.path, [&center] { return ExportClassSchoolCtr(center); }));

  // Named by the clock beside the class, and made anew each time: a failed run removes it.
  FileSpec speak;
  const bool wrote = ExportClassSchoolSpeak(speak);
  CheckNoTemporary(gFolder);
  FUZZ_CHECK(wrote);
  FUZZ_CHECK(speak.path.rfind(gFolder + "/", 0) == 0);
  CheckXml(Slurp(speak.path));
  if (gFault == Fault::kNone) return;
  FUZZ_CHECK(unlink(speak.path.c_str()) == 0);
  FileFaults faults;
  faults.failWriteAt = 0;
  SetFileFaultsForTesting(&faults);
  FileSpec again;
  const bool failed = !ExportClassSchoolSpeak(again);
  SetFileFaultsForTesting(nullptr);
  CheckNoTemporary(gFolder);
  FUZZ_CHECK(failed && again.path == speak.path && access(speak.path.c_str(), F_OK) != 0);
}

void Site() {
  const std::string site = gFolder + "/site";
  FUZZ_CHECK(mkdir(site.c_str(), 0700) == 0);
  const bool wrote = ExportClassSite(site);
  CheckNoTemporary(site);
  FUZZ_CHECK(wrote);
  // The fixed files and one page for each student with an ID (the first of a page name).
  std::set<std::string> expected = {"index.htm", "index.html", "default.html", "robots.txt",
                                    "style.css"};
  for (int16_t s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    if (gStudents[s].id.empty()) continue;
    Str255 name{};
    StudentPage(gStudents[s].name, gStudents[s].id, name);
    expected.insert(name.str());
  }
  const std::vector<std::string> names = Names(site);
  FUZZ_CHECK(std::set<std::string>(names.begin(), names.end()) == expected);
  std::map<std::string, std::string> pages;
  size_t largest = 0;
  for (const std::string& name : names) {
    pages[name] = Slurp(site + "/" + name);
    CheckPage(pages[name], true);
    largest = std::max(largest, pages[name].size());
  }
  if (gFault == Fault::kNone) return;

  // Failing halfway through the largest page stops the site at the first file that long;
  // every page is then as it was.
  FileFaults faults;
  if (gFault == Fault::kWrite)
    faults.failWriteAt = static_cast<int64_t>(largest / 2);
  else
    faults.renameErrno = EIO;
  SetFileFaultsForTesting(&faults);
  const bool again = ExportClassSite(site);
  SetFileFaultsForTesting(nullptr);
  CheckNoTemporary(site);
  FUZZ_CHECK(!again);
  for (const std::string& name : Names(site)) FUZZ_CHECK(Slurp(site + "/" + name) == pages[name]);
}

void StandAlonePage(unsigned options) {
  const uint16_t views[] = {kStudentScoresView, kStudentSummaryView, kStudentAttendanceView,
                            kAssignmentScoresView, kMissingAssignmentsView};
  const uint16_t view = views[((options >> 10) & 7) % 5];
  int16_t s = 0;
  if ((options >> 13) & 1)
    while (s + 1 < kMaxStudents && !gStudents[s + 1].name.empty()) s++;
  const FileSpec page{gFolder + "/student.html"};
  CheckPage(Write(page.path, [&] { return WriteSingleStudentPage(page, view, s); }), true);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where the system has it: a site of 250 pages a run spends its time making
  // inodes on a disk.
  struct stat st {};
  const char* const root = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) &&
                                   access("/dev/shm", W_OK) == 0
                               ? "/dev/shm"
                               : "/tmp";
  gFolder = ProcessFolder(std::string(root) + "/mt-fuzz-writers-" + std::to_string(getuid()));

  SetUpQuietProgram();
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned options = data[0] | (data[1] << 8);
  gFuzzPrompts = 0;
  gFileSpec.path.clear();
  SetDefaultPageSetup();
  if (!ReadDocumentFromMemory(data + 2, size - 2)) return 0;
  gCurrentTerm = gClass.currentTerm;
  MakeClassCurrent();
  // The SchoolSpeak file is named beside the class's document.
  gFileSpec.path = gFolder + "/Class.mtb";

  gFault = (options >> 15) & 1 ? ((options >> 14) & 1 ? Fault::kRename : Fault::kWrite)
                                : Fault::kNone;
  gShowStudentName = (options >> 9) & 1;
  TextExports(options);
  XmlExports();
  Site();
  StandAlonePage(options);
  gShowStudentName = 0;
  Clear(gFolder);
  ResetExportOptions();
  return 0;
}
