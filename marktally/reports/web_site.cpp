#include "marktally/reports/web_site.h"

#include <set>

#include "marktally/model/dates.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/reports/html_report.h"
#include "marktally/toolbox/desktop.h"

const char kDocTypeTag[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">\r\r";
const char kRobotsTag[] = "<meta name=\"robots\" content=\"noindex,nofollow\">\r";
const char kCharsetTag[] =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r";
// Without it a phone lays the page out for a desktop screen and shrinks it.
const char kViewportTag[] =
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r";
const char kStylesheetTag[] = "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">";
const char kImbeddedStyleTag[] =
    "<style type=\"text/css\">\r"
    "   body {font-family: \"Verdana\", \"Arial\", \"Helvetica\", sans-serif; font-size: small}\r"
    "   th   {color: #000000; background-color:#EEEEEE}\r"
    "</style>";

// The entry page of every site folder. Student pages are reached by the address the
// teacher hands out, so the index lists none of them.
const char kIndexPageText[] =
    "<!DOCTYPE html>\r"
    "<html lang=\"en\">\r"
    "<head>\r"
    "<meta charset=\"us-ascii\">\r"
    "<meta name=\"robots\" content=\"noindex,nofollow\">\r"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r"
    "<title>Progress Reports</title>\r"
    "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\r"
    "</head>\r"
    "<body>\r"
    "<h1>Progress Reports</h1>\r"
    "<p>Each student's progress report is on a page of its own.</p>\r"
    "<p>Please use the address of your own report that your teacher gave you.</p>\r"
    "</body>\r"
    "</html>\r";

const char kRobotsText[] =
    "User-agent: *\r"
    "Disallow: /\r";

const char kStyleText[] =
    "/* Progress report pages: readable on a screen, on a phone and on paper. */\r"
    "body {\r"
    "  font-family: \"Verdana\", \"Arial\", \"Helvetica\", sans-serif;\r"
    "  font-size: small;\r"
    "  color: #000000;\r"
    "  background-color: #FFFFFF;\r"
    "  margin: 1em auto;\r"
    "  padding: 0 1em;\r"
    "  max-width: 60em;\r"
    "  line-height: 1.4;\r"
    "}\r"
    "h1, h2 { font-weight: bold; }\r"
    "table { border-collapse: collapse; }\r"
    "th { color: #000000; background-color: #EEEEEE; }\r"
    "td, th { padding: 0.1em 0.4em; vertical-align: top; }\r"
    "a { color: #1A4F8B; }\r"
    "@media screen and (max-width: 40em) {\r"
    "  body { font-size: medium; margin: 0.5em; padding: 0; }\r"
    "  table { width: 100%; }\r"
    "  td, th { width: auto !important; padding: 0.1em 0.2em; }\r"
    "  td { overflow-wrap: break-word; }\r"
    "  td a { overflow-wrap: anywhere; }\r"
    "}\r"
    "@media print {\r"
    "  body { font-size: 10pt; margin: 0; padding: 0; max-width: none; }\r"
    "  th { background-color: transparent; border-bottom: 1px solid #000000; }\r"
    "  a { color: #000000; text-decoration: none; }\r"
    "  tr { page-break-inside: avoid; }\r"
    "}\r";

std::string gExportFilename;

void ReportSiteFileError(const FileSpec& file, OSErr err) {
  Str255 name{};
  GetFileName(file, name);
  HandleError(name, err);
}

bool WriteSitePage(const FileSpec& file, const FileWriter& write) {
  return WriteFileWhole(file, write, false);
}

namespace {

std::vector<int16_t> gSkipped;

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsMark(unsigned char c) { return c == ' ' || c == ',' || c == '-' || c == '.'; }

bool WriteFixedFile(const FileSpec& file, const char* text) {
  return WriteSitePage(file, [text](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    return AppendCToBuffer(f, ref, buffer, text);
  });
}

FileSpec InFolder(const std::string& folder, const std::string& name) {
  return FileSpec{folder.empty() ? name : folder + "/" + name};
}

std::string PageName(int16_t s) {
  Str255 page{};
  StudentPage(gStudents[s].name, gStudents[s].id, page);
  return page.str();
}

void ReportSkipped() {
  if (gSkipped.empty()) return;
  Str255 text = PStr("These students have the same page name as an earlier student and got no "
                     "page: ");
  for (size_t k = 0; k < gSkipped.size(); k++) {
    if (k > 0) AppendC(text, ", ");
    Append(text, gStudents[gSkipped[k]].name);
  }
  AppendC(text, ". Change one of the IDs and export again.");
  InitCursor();
  ShowModelAlert(kNoteAlert, kAlertOK, PStr("Some student pages were not written"), text);
}

}  // namespace

void StudentPage(ConstStringPtr name, ConstStringPtr id, Str255& page) {
  std::string longId(reinterpret_cast<const char*>(id) + 1, id[0]);
  const int copies = id[0] <= 2 ? 3 : id[0] <= 4 ? 2 : id[0] <= 6 ? 1 : 0;
  for (int k = 0; k < copies; k++) longId += longId;
  uint32_t a = 0, weight = 15;
  for (const char ch : longId) {
    const auto c = static_cast<unsigned char>(ch);
    if (!(IsDigit(c) || IsLetter(c) || IsMark(c))) continue;
    weight++;
    a += static_cast<uint32_t>(c - 31) * weight;
  }
  uint32_t b = 0;
  weight = 31;
  for (int i = 1; i <= name[0]; i++) {
    const unsigned char c = name[i];
    if (!(IsLetter(c) || IsMark(c))) continue;
    weight++;
    b += static_cast<uint32_t>(c - 31) * weight;
  }
  // The signed 32-bit product, wrapping as the old arithmetic did.
  const auto product = static_cast<int32_t>(a * b);
  page = PStr(std::to_string(product) + ".html");
}

void MakeWebName(Str255& text) {
  if (text.length() > 23) text[0] = 23;
  for (int i = 1; i <= text.length(); i++) {
    const unsigned char c = text[i];
    if (c >= 'A' && c <= 'Z')
      text[i] = static_cast<unsigned char>(c - 'A' + 'a');
    else if (!IsDigit(c) && !IsLetter(c))
      text[i] = '-';
  }
}

bool CreateIndexPage(const FileSpec& file) { return WriteFixedFile(file, kIndexPageText); }
bool CreateRobotPage(const FileSpec& file) { return WriteFixedFile(file, kRobotsText); }
bool CreateStylePage(const FileSpec& file) { return WriteFixedFile(file, kStyleText); }

bool CreateIndexPages(const std::string& folder) {
  return CreateIndexPage(InFolder(folder, "index.htm")) &&
         CreateIndexPage(InFolder(folder, "index.html")) &&
         CreateIndexPage(InFolder(folder, "default.html")) &&
         CreateRobotPage(InFolder(folder, "robots.txt")) &&
         CreateStylePage(InFolder(folder, "style.css"));
}

bool ExportStudentReport(int16_t s) {
  if (s < 0 || s >= kMaxStudents || gStudents[s].id.empty()) return true;
  const FileSpec file = InFolder(gExportFilename, PageName(s));
  return WriteSitePage(file, [s](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    auto put = [&](const char* text) { return AppendCToBuffer(f, ref, buffer, text); };
    return put(kDocTypeTag) &&
           put("<html>\r<head>\r\r<title>\rProgress Report\r</title>\r\r") &&
           put(kRobotsTag) && put(kCharsetTag) && put(kViewportTag) && put("\r") &&
           put(kStylesheetTag) && put("\r\r</head>\r\r<body bgcolor=white>\r\r") &&
           ExportStudentReportBody(f, ref, buffer, s) && put("</body>\r</html>\r");
  });
}

bool ExportClassSite(const std::string& folder, SiteProgress progress) {
  gExportFilename = folder;
  gSkipped.clear();
  if (!CreateIndexPages(folder)) return false;
  std::set<std::string> taken;
  bool ok = true;
  for (int16_t s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) {
    if (progress) progress(s);
    if (gStudents[s].id.empty()) continue;
    // A page name already written in this site would overwrite another student's report.
    if (!taken.insert(PageName(s)).second) {
      gSkipped.push_back(s);
      continue;
    }
    if (!ExportStudentReport(s)) {
      ok = false;
      break;
    }
  }
  ReportSkipped();
  return ok;
}

const std::vector<int16_t>& SkippedStudentPages() { return gSkipped; }

bool WriteSingleStudentPage(const FileSpec& file, uint16_t view, int16_t s) {
  return WriteFileWhole(file, [view, s](const FileSpec& f, FileRef& ref, WriteBuffer& buffer) {
    Str255 today{};
    DateToString(GetDateTime(), today);
    auto put = [&](const char* text) { return AppendCToBuffer(f, ref, buffer, text); };
    return put("<html>\r<head>\r<title>\rProgress Report (") &&
           AppendHTMLToBuffer(f, ref, buffer, today) && put(")\r</title>\r\r") &&
           put(kCharsetTag) && put("<meta name=\"robots\" content=\"noindex,nofollow\">\r") &&
           put(kViewportTag) && put("\r") &&
           put(kImbeddedStyleTag) && put("\r\r</head>\r\r<body bgcolor=white>\r\r") &&
           ExportStudentViewBody(f, ref, buffer, view, s) && put("</body>\r</html>\r");
  });
}

