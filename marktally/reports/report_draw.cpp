#include "marktally/reports/report_draw.h"

#include <algorithm>
#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/accessors.h"
#include "marktally/reports/print_pages.h"
#include "marktally/reports/report_host.h"
#include "marktally/toolbox/quickdraw.h"

namespace reports {
namespace {
bool IsBlank(ConstStringPtr s) {
  for (int i = 1; i <= s[0]; i++)
    if (s[i] != ' ') return false;
  return true;
}
}  // namespace

int Z() { return CurrentPage().zoom; }
int Line() { return 12 * Z() / 5; }
int Margin() { return 24 * Z() / 5; }
int PageH() { return std::max<int>(PageHeightAt(Z()), Line()); }
int PageW() { return std::max<int>(PageWidthAt(Z()), Line()); }

Str255 Text(const char* s) {
  Str255 t{};
  t.setC(s);
  return t;
}

Str255 Number(long n) { return Text(std::to_string(n).c_str()); }

int W(const char* s) { return StringWidth(Text(s)); }
int W(ConstStringPtr s) { return StringWidth(s); }

void DrawAt(int h, int v, ConstStringPtr text) {
  if (text[0] == 0 || IsBlank(text)) return;
  MoveTo(S16(h), S16(v));
  DrawString(text);
}
void DrawAt(int h, int v, const char* text) { DrawAt(h, v, Text(text)); }
void DrawRight(int right, int v, ConstStringPtr text) { DrawAt(right - W(text), v, text); }
void DrawCentred(int x, int v, ConstStringPtr text) { DrawAt(x - W(text) / 2, v, text); }

void Rule(int h0, int h1, int v) {
  MoveTo(S16(h0), S16(v));
  LineTo(S16(h1), S16(v));
}

void UseReportFont() {
  const PageContext page = CurrentPage();
  TextFont(page.reportFont);
  TextSize(page.reportSize);
  TextFace(normal);
}
void UseHeaderFont() {
  const PageContext page = CurrentPage();
  TextFont(page.reportFont);
  TextSize(page.headerSize);
  TextFace(normal);
}

bool ShowsIDs() { return gClass.flags & kShowIDs; }
bool ShowsNames() { return gClass.flags & kShowNames; }

int AfterTitleColumns() {
  int x = Margin();
  if (ShowsIDs()) x += 16 * Z();
  if (ShowsNames()) x += 30 * Z();
  return x;
}

int DrawName(int16_t s, int y) {
  int x = Margin();
  Str255 cut{};
  if (ShowsIDs()) {
    TrimString(gStudents[s].id, cut, static_cast<uint16_t>(16 * Z()));
    DrawAt(x, y, cut);
    x += 16 * Z();
  }
  if (ShowsNames()) {
    TrimString(gStudents[s].name, cut, static_cast<uint16_t>(30 * Z()));
    DrawAt(x, y, cut);
    x += 30 * Z();
  }
  return x;
}


Str255 SubjectLine() {
  Str255 line{};
  line.set(gClass.subject);
  if (gClass.lastTerm > 0) {
    AppendC(line, "  (");
    Append(line, gTermNames[Term()]);
    AppendC(line, ")");
  }
  return line;
}

Str255 Today() {
  Str255 date{};
  DateToString(GetDateTime(), date);
  return date;
}

int PercentOffset() {
  const int f = gClass.flags & 0x12;
  return f == 0 ? 8 : f == 0x12 ? -18 : 0;
}

void DrawGradePair(int16_t percent, int x, int y, bool useOffset) {
  const int off = useOffset ? PercentOffset() : 0;
  Str255 text{};
  PercentToString(percent, text);
  DrawRight(x + off, y, text);
  PercentToGrade(percent, text);
  DrawAt(x + off + 8, y, text);
}

ShownTerms TermsShown(int last, int current, bool allTerms, bool semester, bool year) {
  ShownTerms shown;
  const bool halves = last == 3 || last == 5;
  shown.semester = semester && halves;
  shown.secondSemester = (last == 3 && current > 1) || (last == 5 && current > 2);
  shown.year = year && last > 0;
  const int half = last == 5 ? 3 : 2;
  shown.semesterFrom = shown.secondSemester ? half : 0;
  shown.semesterTo = shown.semesterFrom + half - 1;
  int from = current, to = current;
  if (allTerms && last >= 0 && last <= 5 && last != 4) {
    if (last <= 2 || (last == 3 && !shown.semester))
      from = 0, to = last;
    else
      from = shown.semesterFrom, to = shown.semesterTo;
  }
  for (int t = from; t <= to && t < kMaxTerms; t++) shown.terms.push_back(t);
  return shown;
}

}  // namespace reports
