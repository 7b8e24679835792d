// A class for the report tests (60 students, 4 terms, 40 assignments of the current
// term, attendance, comments, footnotes and every report section switched on), opened
// in the window, and ways to draw one page with a log or print a view to PDF and read
// the file back with poppler's tools.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/reports/pagination.h"
#include "marktally/shell/commands/print_commands.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/toolbox/printing.h"
#include "tests/shell/window_fixture.h"

inline std::string RunTool(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

inline int PdfPages(const std::string& pdf) {
  const std::string info = RunTool("pdfinfo '" + pdf + "' 2>/dev/null");
  std::smatch m;
  if (!std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)"))) return -1;
  return std::stoi(m[1]);
}

inline std::string PdfText(const std::string& pdf) {
  return RunTool("pdftotext -layout '" + pdf + "' - 2>/dev/null");
}

inline int Occurrences(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool before = at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]));
    const size_t end = at + word.size();
    const bool after = end >= text.size() || !std::isalnum(static_cast<unsigned char>(text[end]));
    if (before && after) n++;
  }
  return n;
}

// One word of a printed page as poppler places it, in points.
struct PdfWord {
  double x0, y0, x1, y1;
  std::string text;
};

// The words of each page of a PDF file, read back with `pdftotext -bbox`.
inline std::vector<std::vector<PdfWord>> PdfWords(const std::string& pdf) {
  std::vector<std::vector<PdfWord>> pages;
  const std::string html = RunTool("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
  static const std::regex word(
      "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
      "yMax=\"([-0-9.]+)\">([^<]*)</word>");
  size_t at = 0;
  while (at < html.size()) {
    size_t end = html.find('\n', at);
    if (end == std::string::npos) end = html.size();
    const std::string line = html.substr(at, end - at);
    at = end + 1;
    std::smatch m;
    if (line.find("<page ") != std::string::npos) {
      pages.emplace_back();
    } else if (!pages.empty() && std::regex_search(line, m, word)) {
      pages.back().push_back(
          PdfWord{std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
    }
  }
  return pages;
}

// The pairs of words of one page that overlap, touch, or stand closer side by side than
// a thin space (a fifth of their height; the blank inside a text is wider), so that they
// read as one.
inline std::vector<std::string> TouchingWords(const std::vector<PdfWord>& words) {
  std::vector<std::string> pairs;
  for (size_t i = 0; i < words.size(); i++) {
    for (size_t j = i + 1; j < words.size(); j++) {
      const PdfWord &a = words[i], &b = words[j];
      const double gap = 0.1 * std::min(a.y1 - a.y0, b.y1 - b.y0);
      if (a.x0 - gap <= b.x1 + gap && b.x0 - gap <= a.x1 + gap && a.y0 <= b.y1 && b.y0 <= a.y1)
        pairs.push_back("'" + a.text + "' at " + std::to_string(a.x0) + "," +
                        std::to_string(a.y0) + " and '" + b.text + "' at " + std::to_string(b.x0) +
                        "," + std::to_string(b.y0));
    }
  }
  return pairs;
}

inline std::string ArtifactDir() {
  const std::string dir = std::string(MT_ARTIFACTS);
  std::filesystem::create_directories(dir);
  return dir;
}

class ReportTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    PMResetForTesting();
  }
  void TearDown() override {
    PMResetForTesting();
    gPageWidth = 552;
    gPageHeight = 752;
    WindowTest::TearDown();
  }

  static void FillReportClass(int students, int assignments) {
    gClass.lastTerm = 3;
    NewTermDates(3, gTermDates);
    for (int t = 0; t < kMaxTerms; t++) gTermNames[t].setC(gDefaultTermNames[3][t]);
    gClass.currentTerm = 0;
    gCurrentTerm = 0;
    sample::FillClass(students, assignments);
    gClass.flags = static_cast<uint8_t>(gClass.flags | kShowIDs | kShowNames | 0x10);
    gReportOptions =
        0x0001 | 0x0002 | 0x0004 | 0x0008 | 0x0020 | 0x0040 | 0x0080 | 0x0400 | 0x1000 | 0x2000;
    gHeader[0].setC("Progress report for the first quarter.");
    gFooter[0].setC("Please sign and return.");
    for (int s = 0; s < students; s++) {
      gStudents[s].absences[0] = static_cast<uint16_t>((s % 7) * 10);
      gStudents[s].tardies[0] = static_cast<uint16_t>((s % 5) * 10);
      if (s % 3 == 0) gComments[s][0].setC("Works well with others; asks good questions.");
    }
    gFootnoteText[0].setC("Late");
  }

  // The class opened in the window at the zoom, showing the view.
  void OpenReportClass(int students = 60, int assignments = 40, int16_t zoom = 5) {
    WriteClass(Path("Report.mtb"), [&] { FillReportClass(students, assignments); });
    PostCommandLineEvents({Path("Report.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
    if (zoom != gZoom) DoZoom(zoom);
  }

  void Show(uint16_t view) {
    switch (view) {
      case kClassGradesView:
        DoShowClassGrades();
        break;
      case kClassSummaryView:
        DoShowClassSummary();
        break;
      case kAttendanceTotalsView:
        DoShowAttendanceTotals();
        break;
      case kAttendanceSummaryView:
        DoShowAttendanceSummary();
        break;
      case kStudentScoresView:
        DoShowStudentScores();
        break;
      case kStudentSummaryView:
        DoShowStudentSummary();
        break;
      case kStudentAttendanceView:
        DoShowStudentAttendance();
        break;
      case kAssignmentScoresView:
        DoShowAssignmentScores();
        break;
      case kMissingAssignmentsView:
        DoShowMissingAssignments();
        break;
      default:
        DoShowGradebook();
        break;
    }
    Run();
  }

  // The page count of the view shown as printing computes it.
  int PrintedCount() {
    int count = 0;
    AtPrintZoom([&count] { count = ReportPageCount(); });
    return count;
  }

  // Prints the view shown through the print command into a PDF file.
  std::string PrintToPdf(const std::string& name) {
    const std::string pdf = Path(name);
    PMPrintToFile(pdf);
    PMScriptDialogAnswers(true);
    AdjustMenus();
    HandleMenuChoice((static_cast<int32_t>(kFileMenu) << 16) | kPrintItem);
    Run();
    return pdf;
  }

  // Draws one page of the view shown into an offscreen port and returns its text log.
  std::vector<TextDrawRecord> DrawPageLog(int page) {
    GWorldPtr world = nullptr;
    const Rect bounds{0, 0, PageHeight(), PageWidth()};
    NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0);
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPort(world);
    StartTextDrawLog(world);
    DrawReport(static_cast<int16_t>(page));
    std::vector<TextDrawRecord> log = TakeTextDrawLog(world);
    SetPort(saved);
    DisposeGWorld(world);
    return log;
  }

  static const TextDrawRecord* Find(const std::vector<TextDrawRecord>& log, const std::string& s) {
    for (const TextDrawRecord& r : log)
      if (r.text == s) return &r;
    return nullptr;
  }
};
