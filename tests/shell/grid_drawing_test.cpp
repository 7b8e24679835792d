// The gradebook and attendance grids as drawn: lines and cells at their computed
// pixels, the texts and where they start (the draw log), the rotated titles, the
// selection, and scrolls that redraw only the exposed band yet give the full picture.
#include <algorithm>
#include <sstream>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/commands/view_commands.h"
#include "tests/shell/window_fixture.h"

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kHilite = 0xB3D7FF;  // the toolbox's selection colour

class GridDrawingTest : public WindowTest {
 protected:
  // A class of 40 students, an empty slot and 4 students listed past the end, with 60
  // assignments; opened in the window at the zoom.
  void OpenClass(int16_t zoom = 6) {
    WriteClass(Path("Grid.mtb"), [] {
      sample::FillClass(45, 60);
      gStudents[40].name.clear();
      gStudents[40].id.clear();
      for (int a = 0; a < kMaxAssignments; a++) {
        gScores[40][gCurrentTerm][a] = kBlank;
        gFootnotes[40][gCurrentTerm][a] = kNoMark;
      }
      for (int d = 0; d < kMaxDays; d++) gAttendance[40][d] = kNoMark;
      gClass.flags = static_cast<uint8_t>((gClass.flags & ~0x60) | kShowIDs | kShowNames);
    });
    PostCommandLineEvents({Path("Grid.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
    if (zoom != gZoom) DoZoom(zoom);
    Redraw();
  }
  void Redraw() {
    ForceUpdate();
    Run();
  }
  void ScrollTo(int row, int column) {
    SetControlValue(gVScrollBar, static_cast<int16_t>(row));
    SetControlValue(gHScrollBar, static_cast<int16_t>(column));
    Redraw();
  }
  uint32_t Pixel(int x, int y) { return GetPortPixel(Port(), x, y); }
  int RowBottomOf(int s) { return StudentOffset(VScrollValue(), s); }
  int ColRightOf(int a) { return AssignmentOffset(HScrollValue(), a); }

  // '#' black, '.' white, 'h' highlight, '?' other.
  std::string Pixels(int x0, int y0, int x1, int y1) {
    std::string s;
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) {
        const uint32_t p = Pixel(x, y);
        s += p == kBlack ? '#' : p == kWhite ? '.' : p == kHilite ? 'h' : '?';
      }
    return s;
  }
  static std::string Gray(int x0, int y0, int x1, int y1) {
    std::string s;
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) s += (x + y) % 2 == 0 ? '#' : '.';
    return s;
  }

  std::vector<TextDrawRecord> DrawLog() {
    StartTextDrawLog(Port());
    Redraw();
    return TakeTextDrawLog(Port());
  }
  int Width(const TextDrawRecord& r) {
    GrafPtr saved;
    GetPort(&saved);
    SetPort(Port());
    TextFont(r.font);
    TextSize(r.size);
    TextFace(r.face);
    const int w = TextWidth(reinterpret_cast<const unsigned char*>(r.text.data()),
                            static_cast<int>(r.text.size()));
    SetPort(saved);
    return w;
  }
  // The records drawn on one row's baseline.
  std::vector<TextDrawRecord> OnRow(const std::vector<TextDrawRecord>& log, int s) {
    std::vector<TextDrawRecord> out;
    for (const auto& r : log)
      if (r.pen.v == RowBottomOf(s) - gZoom) out.push_back(r);
    return out;
  }
  std::string ScoreText(int s, int a) {
    Str255 text;
    ScoreToString(gScores[s][gCurrentTerm][a], text);
    return text.str();
  }

  std::vector<uint32_t> Content() {
    const Rect c = ContentRect();
    std::vector<uint32_t> pixels;
    for (int y = c.top; y < c.bottom; y++)
      for (int x = c.left; x < c.right; x++) pixels.push_back(Pixel(x, y));
    return pixels;
  }
};

TEST_F(GridDrawingTest, GridLinesLieAtTheirRowsAndColumns) {
  for (int16_t zoom : {5, 6, 7}) {
    OpenClass(zoom);
    ScrollTo(0, 0);
    const int z = gZoom, x0 = NumberColumnRight(), hb = HeaderBottom();
    // Inside a cell, away from the crossings.
    const int left = ColRightOf(0) + 2, right = ColRightOf(0) + 8 * z - 2;
    for (int s = 0; s < 6; s++) {
      const int y = RowBottomOf(s);
      const bool black = (s + 1) % 3 == 0;
      EXPECT_EQ(black ? std::string(right - left + 1, '#') : Gray(left, y, right, y),
                Pixels(left, y, right, y))
          << "row " << s << " zoom " << z;
    }
    const int top = RowBottomOf(1) - 4 * z + 2, bottom = RowBottomOf(1) - 2;
    for (int a = 0; a < 3; a++) {
      const int x = ColRightOf(a);
      EXPECT_EQ(Gray(x, top, x, bottom), Pixels(x, top, x, bottom)) << "column " << a;
    }
    const int rows = RowBottomOf(4);
    EXPECT_EQ(std::string(rows - 2 + 1, '#'), Pixels(gTitleWidth, 2, gTitleWidth, rows));
    EXPECT_EQ(std::string(rows - hb + 1, '#'), Pixels(x0, hb, x0, rows));
    EXPECT_EQ(std::string(ColRightOf(3) - 1 + 1, '#'), Pixels(1, hb, ColRightOf(3), hb));
    // The grade column's left edge and the line between ID and name are gray.
    const int g = gTitleWidth - 16 * z;
    EXPECT_EQ(Gray(g, top, g, bottom), Pixels(g, top, g, bottom));
    EXPECT_EQ(Gray(x0 + 16 * z, top, x0 + 16 * z, bottom),
              Pixels(x0 + 16 * z, top, x0 + 16 * z, bottom));
    Stop();
    Start();
  }
}

TEST_F(GridDrawingTest, TheLastRowAndColumnAreClosedInBlack) {
  OpenClass(5);
  ScrollTo(VScrollMax(), HScrollMax());
  const int z = gZoom;
  const int y = RowBottomOf(kMaxStudents - 1);
  const int left = ColRightOf(148) + 2, right = ColRightOf(148) + 8 * z - 2;
  EXPECT_EQ(std::string(right - left + 1, '#'), Pixels(left, y, right, y));
  const int x = ColRightOf(kMaxAssignments - 1);
  EXPECT_EQ(std::string(y - 4 * z + 1 - (y - 8 * z), '#'), Pixels(x, y - 8 * z, x, y - 4 * z));
}

TEST_F(GridDrawingTest, AttendanceWeeksEndInBlackAndDaysWithoutClassAreShaded) {
  OpenClass(6);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  ScrollTo(38, 0);
  const int z = gZoom;
  // The first Friday column ends a week; Monday to Thursday do not.
  int friday = -1;
  for (int a = 0; a <= gLastColumn && friday < 0; a++) {
    DateTimeRec d;
    SecondsToDate(gTermDates[0].start + 86400u * static_cast<uint32_t>(gColumnToDay[a]), d);
    if (d.dayOfWeek == 6) friday = a;
  }
  ASSERT_GE(friday, 1);
  const int top = RowBottomOf(38) - 4 * z + 2, bottom = RowBottomOf(38) - 2;
  EXPECT_EQ(std::string(bottom - top + 1, '#'),
            Pixels(ColRightOf(friday), top, ColRightOf(friday), bottom));
  EXPECT_EQ(Gray(ColRightOf(friday - 1), top, ColRightOf(friday - 1), bottom),
            Pixels(ColRightOf(friday - 1), top, ColRightOf(friday - 1), bottom));

  // A day without class: listed students' cells are gray, a student past the end of
  // the list gets none, and the title says so.
  const int column = 2;
  gHolidays[gColumnToDay[column]] = 1;
  StartTextDrawLog(gHWorld);  // the titles are written into the strip before turning
  DrawLog();
  const auto log = TakeTextDrawLog(gHWorld);
  const int cr = ColRightOf(column);
  for (int s : {38, 39}) {
    const int rb = RowBottomOf(s);
    EXPECT_EQ(Gray(cr - 8 * z + 2, rb - 4 * z + 2, cr - 2, rb - 2),
              Pixels(cr - 8 * z + 2, rb - 4 * z + 2, cr - 2, rb - 2))
        << "student " << s;
  }
  const int rb = RowBottomOf(41);
  EXPECT_EQ(std::string((8 * z - 4) * (4 * z - 4), '.'),
            Pixels(cr - 8 * z + 2, rb - 4 * z + 2, cr - 3, rb - 3));
  EXPECT_EQ(1, std::count_if(log.begin(), log.end(),
                             [](const TextDrawRecord& r) { return r.text == "No Class"; }));
}

TEST_F(GridDrawingTest, TheSelectionIsHighlightedOnceAfterEveryRedraw) {
  OpenClass(6);
  ScrollTo(0, 0);
  const int z = gZoom;
  // A white pixel inside row 4, right of the number column.
  const int x = NumberColumnRight() + 2, y = RowBottomOf(4) - 2;
  ASSERT_EQ(kWhite, Pixel(x, y));
  SelectStudent(4);
  EXPECT_EQ(kHilite, Pixel(x, y));
  Redraw();
  EXPECT_EQ(kHilite, Pixel(x, y));
  Redraw();
  EXPECT_EQ(kHilite, Pixel(x, y));
  EXPECT_EQ(kWhite, Pixel(x, RowBottomOf(5) - 2)) << "only the selected row";
  SelectStudent(4);  // already selected: no second inversion
  EXPECT_EQ(kHilite, Pixel(x, y));
  SelectAssignment(2);
  EXPECT_EQ(kWhite, Pixel(x, y));
  const int cx = ColRightOf(2) - 8 * z + 2;
  EXPECT_EQ(kHilite, Pixel(cx, RowBottomOf(7) - 2));
  Redraw();
  EXPECT_EQ(kHilite, Pixel(cx, RowBottomOf(7) - 2));
  InjectKey(kEscapeCharCode, 0);
  Run();
  EXPECT_EQ(kWhite, Pixel(cx, RowBottomOf(7) - 2));
  EXPECT_EQ(kNone, gSelAssignment);
}

TEST_F(GridDrawingTest, ScoresAreRightAlignedWithTheirFootnoteMarks) {
  OpenClass(6);
  ScrollTo(0, 0);
  const int z = gZoom;
  const auto log = DrawLog();
  int scores = 0, marks = 0;
  for (int s = 0; s < 10; s++) {
    const auto row = OnRow(log, s);
    for (int a = 0; a <= std::min<int>(gLastColumn, HPageStep()); a++) {
      const int cr = ColRightOf(a);
      const std::string text = ScoreText(s, a);
      const uint8_t note = gFootnotes[s][gCurrentTerm][a];
      for (const auto& r : row) {
        if (r.pen.h == cr - 8 * z + 4) {
          // The mark, in brackets where the score leaves room for them.
          ASSERT_LT(note, 8);
          const std::string digit = std::to_string(note + 1);
          EXPECT_TRUE(r.text == "[" + digit + "]" || r.text == digit) << r.text;
          marks++;
        } else if (r.pen.h > cr - 8 * z && r.pen.h < cr) {
          EXPECT_EQ(text, r.text) << s << "," << a;
          EXPECT_EQ(cr - 2, r.pen.h + Width(r)) << s << "," << a;
          EXPECT_EQ(normal, r.face);
          scores++;
        }
      }
    }
  }
  EXPECT_GT(scores, 50);
  EXPECT_GT(marks, 3);
}

TEST_F(GridDrawingTest, StudentsPastTheEndOfTheListAreItalicAndDropped) {
  OpenClass(6);
  ScrollTo(36, 0);
  const int g = gTitleWidth - 16 * gZoom;
  const auto log = DrawLog();
  for (int s : {39, 41}) {
    const bool past = s == 41;
    int seen = 0;
    for (const auto& r : OnRow(log, s)) {
      if (r.text == gStudents[s].name.str() || r.text == gStudents[s].id.str() ||
          (r.pen.h > gTitleWidth && r.text[0] != '[')) {
        EXPECT_EQ(past ? italic : normal, r.face) << s << " " << r.text;
        seen++;
      }
      if (r.text == "Dropped") {
        EXPECT_TRUE(past);
        EXPECT_EQ(italic, r.face);
        EXPECT_EQ(g + 16, r.pen.h);
        seen++;
      }
    }
    EXPECT_GE(seen, 4) << s;
  }
  for (const auto& r : OnRow(log, 40)) EXPECT_TRUE(r.pen.h < NumberColumnRight()) << r.text;
}

TEST_F(GridDrawingTest, GradeColumnPlacement) {
  OpenClass(6);
  ScrollTo(0, 0);
  const int z = gZoom, line = ZoomLine();
  const int g = gTitleWidth - 16 * z;
  const int16_t p = TermPercent(static_cast<int16_t>(gCurrentTerm), 0);
  Str255 percent, letter;
  PercentToString(p, percent);
  PercentToGrade(p, letter);
  TextDrawRecord hundred{"100.0%", {0, 0}, gReportFont, gReportSize, normal};
  TextDrawRecord shown{percent.str() + "  ", {0, 0}, gReportFont, gReportSize, normal};
  const int base = g + Width(hundred) + line - Width(TextDrawRecord{percent.str(), {0, 0},
                                                                     gReportFont, gReportSize,
                                                                     normal});
  struct Case {
    uint8_t flags;
    int x;
    std::vector<std::string> texts;
  } cases[] = {
      {0, base + 6 * z / 5, {percent.str() + "  "}},
      {kLetterGrades, base, {percent.str() + "  ", letter.str()}},
      {static_cast<uint8_t>(kLetterGrades | kHidePercents), -1, {letter.str()}},
      {kHidePercents, -1, {}},
  };
  for (const Case& c : cases) {
    gClass.flags = static_cast<uint8_t>((gClass.flags & ~(kLetterGrades | kHidePercents)) |
                                        c.flags);
    std::vector<std::string> texts;
    int x = -1;
    for (const auto& r : OnRow(DrawLog(), 0)) {
      if (r.pen.h < g || r.pen.h >= gTitleWidth) continue;
      if (x < 0) x = r.pen.h;
      texts.push_back(r.text);
    }
    EXPECT_EQ(c.texts, texts) << int{c.flags};
    if (c.x >= 0) {
      EXPECT_EQ(c.x, x) << int{c.flags};
    }
    if (c.flags == (kLetterGrades | kHidePercents)) {
      Str255 hiddenText;
      PercentToString(p, hiddenText);  // " " while percents are hidden
      const int expected = g + Width(hundred) + line -
                           Width(TextDrawRecord{hiddenText.str(), {0, 0}, gReportFont,
                                                gReportSize, normal}) -
                           3 * z;
      EXPECT_EQ(expected, x);
    }
  }
  gClass.flags = static_cast<uint8_t>(gClass.flags | kHidePercents);
  gClass.flags = static_cast<uint8_t>(gClass.flags & ~kLetterGrades);
  gStudents[0].lockedPercent[gCurrentTerm] = 900;
  std::vector<std::string> texts;
  for (const auto& r : OnRow(DrawLog(), 0))
    if (r.pen.h >= g && r.pen.h < gTitleWidth) texts.push_back(r.text);
  EXPECT_EQ(std::vector<std::string>{"L"}, texts);
}

TEST_F(GridDrawingTest, RotatedTitlesAreAQuarterTurnOfTheStrip) {
  OpenClass(7);
  ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  ScrollTo(0, 0);
  const int a = 3;
  GrafPtr saved;
  GetPort(&saved);
  SetPort(Port());
  DrawAssignment(static_cast<int16_t>(HScrollValue()), a);
  SetPort(saved);
  const int width = gHBox.right, height = gHBox.bottom;  // of the horizontal strip
  const int left = gTitleWidth + (a - HScrollValue()) * 8 * gZoom + 1, top = 3;
  int black = 0, mismatches = 0;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      const uint32_t strip = GetPortPixel(gHWorld, x, y);
      black += strip == kBlack;
      mismatches += strip != Pixel(left + y, top + width - 1 - x);
    }
  EXPECT_GT(black, 100);
  EXPECT_EQ(0, mismatches);

  // Any picture: the world's pixel (x, y) goes to column y, row height - 1 - x.
  GWorldPtr from = nullptr, to = nullptr;
  const Rect h{0, 0, 3, 5}, v{0, 0, 5, 3};
  ASSERT_EQ(noErr, NewGWorld(&from, 32, &h, nullptr, nullptr, 0));
  ASSERT_EQ(noErr, NewGWorld(&to, 32, &v, nullptr, nullptr, 0));
  auto* pixels = reinterpret_cast<uint32_t*>(GetPixBaseAddr(GetGWorldPixMap(from)));
  const int stride = GetPixRowBytes(GetGWorldPixMap(from)) / 4;
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++) pixels[y * stride + x] = 0xFF000000u | (y * 16 + x);
  RotateGWorld(from, to);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++)
      EXPECT_EQ(static_cast<uint32_t>(y * 16 + x), GetPortPixel(to, y, 4 - x));
  DisposeGWorld(from);
  DisposeGWorld(to);
}

TEST_F(GridDrawingTest, HeaderTextsAndColumnHeads) {
  OpenClass(6);
  const auto log = DrawLog();
  auto at = [&](const std::string& text) {
    for (const auto& r : log)
      if (r.text == text) return r.pen;
    return Point{-1, -1};
  };
  const int line = ZoomLine(), z = gZoom;
  EXPECT_EQ(8, at("Hillcrest High School").h);
  EXPECT_EQ(2 * line - 2, at("Hillcrest High School").v);
  EXPECT_EQ(4 * line - 2, at("M. Roy").v);
  EXPECT_EQ(34 * z + 4 * z / 5 - 5 * line - 2, at("October 14, 2025").v);
  EXPECT_EQ(NumberColumnRight() + 4, at("ID").h);
  EXPECT_EQ(NumberColumnRight() + 4 + 16 * z, at("Student").h);
  EXPECT_EQ(gTitleWidth - 16 * z + 24 * z / 5, at("Grade").h);
}

struct ScrollCase {
  int16_t zoom;
  uint16_t view;
  bool rows;
  int start;
  int by;
  bool editor = false;  // a cell editor open instead of a selection
};

std::string Describe(const ScrollCase& c) {
  std::ostringstream out;
  out << "zoom " << c.zoom << (c.view ? " attendance" : " gradebook")
      << (c.rows ? " rows from " : " columns from ") << c.start << " by " << c.by
      << (c.editor ? " editor open" : " selection");
  return out.str();
}

void PrintTo(const ScrollCase& c, std::ostream* out) { *out << Describe(c); }

class ScrollBandTest : public GridDrawingTest,
                       public ::testing::WithParamInterface<ScrollCase> {};

// Scrolling n rows or columns and drawing only the exposed band gives the pixels of a
// full redraw at the new place, the selection or the open editor's heads included; with
// an editor, the scroll back and Return (which saves, moves down a row and scrolls the
// new cell into sight when the scroll took the old one away) give them too.
TEST_P(ScrollBandTest, ExposedBandMatchesAFullRedraw) {
  const ScrollCase c = GetParam();
  OpenClass(c.zoom);
  if (c.view == kAttendanceView) {
    ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
  }
  const int v = c.rows ? std::min(c.start, VScrollMax()) : 36;
  const int h = c.rows ? 1 : std::min(c.start, HScrollMax());
  ScrollTo(v, h);
  if (c.editor) {
    const int16_t s = static_cast<int16_t>(v + 2);
    int16_t a = static_cast<int16_t>(h + 1);
    if (c.view == kAttendanceView) {
      while (a < gLastColumn && gHolidays[ColumnDay(a)] == 1) a++;
      EditAttendance(s, a);
    } else {
      EditScore(s, a);
    }
    ASSERT_NE(nullptr, gEditHandle) << Describe(c);
  } else if (c.rows) {
    SelectAssignment(static_cast<int16_t>(h + 1));
  } else {
    SelectStudent(static_cast<int16_t>(v + 2));
  }
  ControlRef bar = c.rows ? gVScrollBar : gHScrollBar;
  const int before = GetControlValue(bar);
  const int after = std::clamp(before + c.by, 0, static_cast<int>(GetControlMaximum(bar)));
  ASSERT_NE(before, after) << Describe(c);
  SetControlValue(bar, static_cast<int16_t>(after));
  if (c.rows)
    ScrollStudents(before - after);
  else
    ScrollAssignments(before - after);
  const Rect content = ContentRect();
  const int w = content.right - content.left;
  auto compareWithFullRedraw = [&](const char* when) {
    const std::vector<uint32_t> drawn = Content();
    Redraw();
    const std::vector<uint32_t> full = Content();
    ASSERT_EQ(full.size(), drawn.size());
    int differing = 0, first = -1;
    for (size_t i = 0; i < full.size(); i++)
      if (full[i] != drawn[i]) {
        if (first < 0) first = static_cast<int>(i);
        differing++;
      }
    EXPECT_EQ(0, differing) << Describe(c) << " " << when << ": first at x " << (first % w)
                            << " y " << (first / w);
    if (differing) SavePortImage(Port(), Path("full.png"));
  };
  compareWithFullRedraw("after the scroll");
  if (!c.editor) return;
  // Back where it was: the band brings the edited cell's row or column back into sight.
  SetControlValue(bar, static_cast<int16_t>(before));
  if (c.rows)
    ScrollStudents(after - before);
  else
    ScrollAssignments(after - before);
  compareWithFullRedraw("scrolled back");
  InjectKey(kReturnCharCode, 0);
  Run();
  ASSERT_NE(nullptr, gEditHandle) << Describe(c) << ": Return moves the editor down a row";
  compareWithFullRedraw("after Return");
}

// With a score editor open, a scroll that redraws only the exposed band keeps the
// editor's row and column heads as a full redraw shows them; after Return the heads
// go back to plain on both.
TEST_F(GridDrawingTest, AScrollWithAnEditorOpenKeepsItsHeadsLikeAFullRedraw) {
  struct Step {
    bool rows;
    int by;
  };
  for (const Step step : {Step{true, 1}, Step{true, -3}, Step{false, 1}, Step{false, -2}}) {
    SCOPED_TRACE(std::string(step.rows ? "rows by " : "columns by ") + std::to_string(step.by));
    OpenClass(5);
    ScrollTo(30, 4);
    EditScore(36, 6);
    ASSERT_NE(nullptr, gEditHandle);
    ControlRef bar = step.rows ? gVScrollBar : gHScrollBar;
    const int before = GetControlValue(bar);
    SetControlValue(bar, static_cast<int16_t>(before + step.by));
    if (step.rows)
      ScrollStudents(-step.by);
    else
      ScrollAssignments(-step.by);
    const std::vector<uint32_t> scrolled = Content();
    Redraw();
    EXPECT_TRUE(scrolled == Content()) << "editor open";
    // The heads are lit: the edited row's number cell carries the highlight colour.
    const int bottom = RowBottomOf(36);
    EXPECT_EQ(kHilite, Pixel(4, bottom - 2)) << "the row head of the open editor";
    CloseEdit(kEditCommit);
    CloseEdit(kEditCancel);
    const std::vector<uint32_t> closed = Content();
    Redraw();
    EXPECT_TRUE(closed == Content()) << "after the editor closed";
    EXPECT_NE(kHilite, Pixel(4, bottom - 2)) << "no stale head after the close";
    CloseDocument();
  }
}

// The window redrawn while a saver's alert is up (another window moved off it) shows what
// it showed before the redraw, the heads the saver took off included; once the alert is
// answered and the editor is back on its text, the heads are lit as a full redraw lights
// them, not turned the wrong way, and Escape leaves none behind.
TEST_F(GridDrawingTest, ARedrawBehindAnAlertLeavesTheHeadsAsAFullRedraw) {
  struct Case {
    uint16_t view;
    const char* typed;
    const char* title;
  };
  for (const Case c : {Case{kGradebookView, "99", "Score too high?"},
                       Case{kGradebookView, "zz", "Invalid score"},
                       Case{kAttendanceView, "QQ", "Invalid attendance code"}}) {
    SCOPED_TRACE(c.title);
    OpenClass(5);
    if (c.view == kAttendanceView) {
      ASSERT_TRUE(Choose(kReportsMenu, kAttendanceViewItem));
    }
    ScrollTo(30, 4);
    gAssignments[gCurrentTerm][6].points = 10;
    int16_t a = 6;
    if (c.view == kAttendanceView) {
      while (a < gLastColumn && gHolidays[ColumnDay(a)] == 1) a++;
      EditAttendance(36, a);
    } else {
      EditScore(36, a);
    }
    ASSERT_NE(nullptr, gEditHandle);
    TESetSelect(0, 32767, gEditHandle);
    for (const char* k = c.typed; *k; k++) TEKey(*k, gEditHandle);
    int shown = 0;
    bool same = false;
    SetAlertSink([&](const AlertRequest& alert) {
      alerts.push_back(alert);
      shown++;
      const std::vector<uint32_t> behind = Content();
      ForceUpdate();
      UpdateWindow();
      same = behind == Content();
      return int16_t{2};
    });
    CloseEdit(kEditDown);
    ASSERT_EQ(1, shown);
    EXPECT_EQ(c.title, alerts.back().title);
    EXPECT_TRUE(same) << "the redraw behind the alert changed the window";
    ASSERT_NE(nullptr, gEditHandle);
    const std::vector<uint32_t> after = Content();
    Redraw();
    EXPECT_TRUE(after == Content());
    EXPECT_EQ(kHilite, Pixel(4, RowBottomOf(36) - 2)) << "the row head of the open editor";
    InjectKey(kEscapeCharCode, 0);
    Run();
    ASSERT_EQ(nullptr, gEditHandle);
    const std::vector<uint32_t> closed = Content();
    Redraw();
    EXPECT_TRUE(closed == Content()) << "after Escape";
    EXPECT_NE(kHilite, Pixel(4, RowBottomOf(36) - 2));
    SetAlertSink(nullptr);
    CloseDocument();
  }
}

// Asking for a highlight twice lays it once; the partial redraws of a lit row or column
// (a score, the name, the grade, the title) leave it as a full redraw shows it, and taking
// it off gives back the plain window.
TEST_F(GridDrawingTest, HighlightsAskedTwiceAreLaidOnceAndSurvivePartialRedraws) {
  OpenClass(6);
  ScrollTo(0, 0);
  const std::vector<uint32_t> plain = Content();
  SelectStudent(4);
  const std::vector<uint32_t> row = Content();
  EXPECT_FALSE(plain == row);
  UpdateSelection();
  SelectStudent(4);
  EXPECT_TRUE(row == Content()) << "the row asked for twice";
  UpdateScore(4, 2);
  UpdateStudent(4);
  UpdateGrade(4);
  UpdateAllGrades();
  EXPECT_TRUE(row == Content()) << "the lit row after its cells were redrawn";
  Redraw();
  EXPECT_TRUE(row == Content());
  CancelSelection();
  CancelSelection();
  EXPECT_TRUE(plain == Content()) << "the row taken off twice";

  SelectAssignment(2);
  const std::vector<uint32_t> column = Content();
  UpdateAssignment(2);
  UpdateAssignmentScores(2);
  UpdateScore(7, 2);
  EXPECT_TRUE(column == Content()) << "the lit column after its cells were redrawn";
  Redraw();
  EXPECT_TRUE(column == Content());
  CancelSelection();
  EXPECT_TRUE(plain == Content());

  EditScore(5, 3);
  ASSERT_NE(nullptr, gEditHandle);
  const std::vector<uint32_t> heads = Content();
  EXPECT_EQ(kHilite, Pixel(4, RowBottomOf(5) - 2));
  SetCellHeads(5, 3, true);
  EXPECT_TRUE(heads == Content()) << "the heads lit twice";
  SetCellHeads(5, 3, false);
  SetCellHeads(5, 3, false);
  EXPECT_EQ(kWhite, Pixel(4, RowBottomOf(5) - 2)) << "the heads taken off twice";
  SetCellHeads(5, 3, true);
  UpdateScore(5, 3);
  UpdateStudent(5);
  EXPECT_TRUE(heads == Content());
  CloseEdit(kEditCancel);
  EXPECT_TRUE(plain == Content()) << "no head left after the editor closed";
}

// A row dragged past the bottom of the window scrolls the grid under its drop-target
// outline and back; let go where it started, nothing moves, and the window shows no
// piece of an outline: it is as a full redraw draws it, the row's selection included.
// Let go below the window, the student moves to the row the scroll reached.
TEST_F(GridDrawingTest, ADragThatScrollsLeavesNoOutlineBehind) {
  OpenClass(6);
  ScrollTo(0, 0);
  Rect b;
  GetWindowBounds(gWindow, kWindowContentRgn, &b);
  auto global = [&](int h, int v) {
    return Point{static_cast<int16_t>(b.top + v), static_cast<int16_t>(b.left + h)};
  };
  const Rect content = ContentRect();
  const Point row2 = global(3, RowBottomOf(2) - RowHeight() / 2);
  const Point below = global(3, content.bottom + 3);
  const Point above = global(3, HeaderBottom() - 3 * RowHeight());
  std::vector<Point> path{row2};
  for (int i = 0; i < 4; i++) path.push_back(below);
  for (int i = 0; i < 8; i++) path.push_back(above);
  path.push_back(row2);
  path.push_back(row2);
  const std::string name = gStudents[2].name.str();
  ScriptMousePath(path, 0);
  Run();
  ASSERT_EQ(2, gSelStudent);
  EXPECT_EQ(name, gStudents[2].name.str()) << "let go where it started: no move";
  ASSERT_EQ(0, VScrollValue());
  const std::vector<uint32_t> dragged = Content();
  Redraw();
  EXPECT_TRUE(dragged == Content());

  // Let go below the window: the grid has scrolled on and the student moves there.
  ScriptMousePath({row2, below, below, below, below}, 0);
  Run();
  EXPECT_GT(VScrollValue(), 0);
  EXPECT_NE(name, gStudents[2].name.str());
  const std::vector<uint32_t> moved = Content();
  Redraw();
  EXPECT_TRUE(moved == Content());
}

std::vector<ScrollCase> ScrollCases() {
  std::vector<ScrollCase> cases;
  for (int16_t zoom : {5, 6, 7})
    for (uint16_t view : {kGradebookView, kAttendanceView}) {
      for (int by : {1, -1, 3, -4, 40, -40}) cases.push_back({zoom, view, true, 36, by});
      cases.push_back({zoom, view, true, 300, -2});  // from the bottom of the grid
      for (int by : {1, -1, 2, -3, 30, -30}) cases.push_back({zoom, view, false, 10, by});
      cases.push_back({zoom, view, false, 300, -2});  // from the last column
      // The edited cell kept in sight, scrolled out of it above or left, and below.
      for (int by : {1, -3, 40, -40}) cases.push_back({zoom, view, true, 36, by, true});
      for (int by : {1, -2, 30}) cases.push_back({zoom, view, false, 10, by, true});
    }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryZoom, ScrollBandTest, ::testing::ValuesIn(ScrollCases()));

}  // namespace
