// The seating chart: the refill in list, random and alphabetical order, the places that
// are not seats, seats drawn with the names, the selection and drop target drawn from
// state, scrolls that redraw only the uncovered band, seat drags with undo and the two
// pop-ups of a place.
#include <algorithm>
#include <set>
#include <sstream>
#include <vector>

#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/seating.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/seating_view.h"
#include "marktally/shell/commands/view_commands.h"
#include "tests/shell/dialog_fixture.h"
#include "tests/shell/window_fixture.h"

namespace {

using Chart = std::vector<uint16_t>;

Chart Seats() {
  Chart out;
  for (int r = 0; r < gSeatingChart.rows; r++)
    for (int c = 0; c < gSeatingChart.columns; c++) out.push_back(gSeatingChart.seats[r][c]);
  return out;
}

void Empty(int rows, int columns) {
  gSeatingChart.rows = static_cast<uint16_t>(rows);
  gSeatingChart.columns = static_cast<uint16_t>(columns);
  for (auto& row : gSeatingChart.seats)
    for (uint16_t& seat : row) seat = kEmptySeat;
}

void Name(int s, const char* name) { gStudents[s].name.setC(name); }

class SeatingTest : public WindowTest {
 protected:
  void TearDown() override {
    gAssignSeats = gAssignSeatsAlpha = gAssignSeatsRandom = 0;
    WindowTest::TearDown();
  }
  // A class of n students on a chart of the given size, shown as the seating chart.
  void OpenChart(int students, int rows, int columns, int16_t zoom = 6) {
    WriteClass(Path("Seats.mtb"), [&] {
      sample::FillClass(students, 4);
      Empty(rows, columns);
      UpdateSeating();
    });
    PostCommandLineEvents({Path("Seats.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
    if (zoom != gZoom) DoZoom(zoom);
    ASSERT_TRUE(Choose(kReportsMenu, kSeatingChartItem));
    EXPECT_EQ(gCurrView, kSeatingChartView);
  }
  void Redraw() {
    ForceUpdate();
    Run();
  }
  Point Global(int h, int v) {
    Rect b{};
    GetWindowBounds(gWindow, kWindowContentRgn, &b);
    return Point{static_cast<int16_t>(b.top + v), static_cast<int16_t>(b.left + h)};
  }
  Point SeatCentre(int r, int c) {
    Rect box{};
    SeatBox(static_cast<int16_t>(r), static_cast<int16_t>(c), &box);
    return Global((box.left + box.right) / 2, (box.top + box.bottom) / 2);
  }
  std::vector<uint32_t> Content() {
    const Rect c = ContentRect();
    std::vector<uint32_t> pixels;
    for (int y = c.top; y < c.bottom; y++)
      for (int x = c.left; x < c.right; x++) pixels.push_back(GetPortPixel(Port(), x, y));
    return pixels;
  }
  void Refill(bool alpha, bool random) {
    gAssignSeats = 1;
    gAssignSeatsAlpha = alpha ? 1 : 0;
    gAssignSeatsRandom = random ? 1 : 0;
    AssignSeats();
  }
};

// ---- Filling the chart ----------------------------------------------------------------

TEST_F(SeatingTest, ARefillGoesUpEachColumnFromTheBackRowAndANewStudentTakesTheBackRow) {
  NewClass();
  Empty(6, 6);
  for (int s = 0; s < 3; s++) Name(s, "Student");
  Refill(false, false);
  EXPECT_EQ(0, gSeatingChart.seats[5][0]);
  EXPECT_EQ(1, gSeatingChart.seats[4][0]);
  EXPECT_EQ(2, gSeatingChart.seats[3][0]);
  EXPECT_EQ(kUndoSeating, gUndoAction);
  Name(3, "Latecomer");
  AssignToSeat(3);
  EXPECT_EQ(3, gSeatingChart.seats[5][1]) << "the first empty seat of the back row";

  // More students than seats: the last in the order get none.
  Empty(2, 2);
  Name(4, "Fifth");
  Refill(false, false);
  std::set<uint16_t> seated(gSeatingChart.seats[0], gSeatingChart.seats[0] + 2);
  seated.insert(gSeatingChart.seats[1], gSeatingChart.seats[1] + 2);
  EXPECT_EQ((std::set<uint16_t>{0, 1, 2, 3}), seated);

  // No student: every seat stays empty.
  NewClass();
  Empty(3, 3);
  gSeatingChart.seats[0][0] = 7;
  Refill(true, true);
  EXPECT_EQ(Chart(9, kEmptySeat), Seats());
}

TEST_F(SeatingTest, HiddenAndUnavailablePlacesSurviveARefillAndUndoGivesTheOldChartBack) {
  NewClass();
  Empty(6, 6);
  for (int s = 0; s < 4; s++) Name(s, "Student");
  gSeatingChart.seats[5][0] = kHiddenSeat;
  gSeatingChart.seats[4][0] = kUnavailableSeat;
  gSeatingChart.seats[0][5] = 3;
  const Chart before = Seats();
  Refill(false, false);
  EXPECT_EQ(kHiddenSeat, gSeatingChart.seats[5][0]);
  EXPECT_EQ(kUnavailableSeat, gSeatingChart.seats[4][0]);
  EXPECT_EQ(0, gSeatingChart.seats[3][0]);
  EXPECT_EQ(2, gSeatingChart.seats[1][0]);
  EXPECT_EQ(3, gSeatingChart.seats[0][0]);
  EXPECT_EQ(kEmptySeat, gSeatingChart.seats[0][5]);
  Name(4, "New");
  AssignToSeat(4);
  EXPECT_EQ(4, gSeatingChart.seats[5][1]) << "a place that is no seat is skipped";
  Undo();
  EXPECT_EQ(before, Seats());
}

TEST_F(SeatingTest, AFixedSeedGivesAFixedShuffleOfEveryStudent) {
  NewClass();
  Empty(5, 5);
  for (int s = 0; s < 12; s++) Name(s, "Student");
  gRandSeed = 20261015;
  Refill(false, true);
  const Chart first = Seats();
  gRandSeed = 20261015;
  Refill(false, true);
  EXPECT_EQ(first, Seats());
  std::multiset<uint16_t> seated(first.begin(), first.end());
  for (int s = 0; s < 12; s++) EXPECT_EQ(1u, seated.count(static_cast<uint16_t>(s)));
  Refill(false, false);
  EXPECT_NE(first, Seats()) << "twelve swaps that change nothing would be a broken shuffle";
}

TEST_F(SeatingTest, AlphabeticalSeatingIgnoresCaseAndAccentsAndWinsOverRandom) {
  NewClass();
  Empty(4, 4);
  Name(0, "ward, Amy");
  Name(1, "\x83lan, Bo");  // Élan
  Name(2, "Baker, Cy");
  Name(3, "adams, Di");
  Name(4, "Eve Zola");  // first name first: sorted as "Zola, Eve"
  Name(5, "elan, Al");
  gRandSeed = 7;
  Refill(true, true);
  // Column 0 from the back row up, then column 1.
  EXPECT_EQ(3, gSeatingChart.seats[3][0]);  // adams
  EXPECT_EQ(2, gSeatingChart.seats[2][0]);  // Baker
  EXPECT_EQ(5, gSeatingChart.seats[1][0]);  // elan, Al
  EXPECT_EQ(1, gSeatingChart.seats[0][0]);  // Élan, Bo
  EXPECT_EQ(0, gSeatingChart.seats[3][1]);  // ward
  EXPECT_EQ(4, gSeatingChart.seats[2][1]);  // Zola
}

// ---- Drawing ----------------------------------------------------------------------------

TEST_F(SeatingTest, SeatsShowFirstOverLastNameAndOneWordNamesOnce) {
  OpenChart(3, 4, 4);
  Name(0, "Ana Lopez");
  Name(1, "Cher");
  gStudents[2].name.clear();  // the list ends here
  Name(3, "Past End");
  gSeatingChart.seats[0][3] = 3;
  gSeatingChart.seats[0][2] = kUnavailableSeat;
  gSeatingChart.seats[0][1] = kHiddenSeat;
  StartTextDrawLog(Port());
  Redraw();
  const std::vector<TextDrawRecord> log = TakeTextDrawLog(Port());
  auto find = [&](const std::string& text) {
    for (const TextDrawRecord& r : log)
      if (r.text == text) return r;
    return TextDrawRecord{"", Point{-1, -1}, 0, 0, normal};
  };
  const TextDrawRecord first = find("Ana"), last = find("Lopez");
  ASSERT_NE(-1, first.pen.v);
  EXPECT_EQ(first.pen.v + ZoomLine(), last.pen.v) << "the last name one line lower";
  Rect box{};
  uint16_t row = 0, column = 0;
  FindSeat(1, row, column);
  SeatBox(static_cast<int16_t>(row), static_cast<int16_t>(column), &box);
  int inCher = 0;
  for (const TextDrawRecord& r : log)
    inCher += r.pen.h >= box.left && r.pen.h < box.right && r.pen.v > box.top &&
              r.pen.v < box.bottom;
  EXPECT_EQ(1, inCher) << "a one-word name is drawn once";
  EXPECT_EQ(italic, find("Past").face) << "a student past the end of the list";
  EXPECT_EQ(normal, first.face);
  EXPECT_EQ(gClass.school.str(), find(gClass.school.str()).text);
  // The unavailable place is gray, the hidden one blank.
  SeatBox(0, 2, &box);
  std::set<uint32_t> gray, hidden;
  for (int x = box.left + 2; x < box.right - 2; x++)
    gray.insert(GetPortPixel(Port(), x, box.top + 5));
  SeatBox(0, 1, &box);
  for (int x = box.left; x < box.right; x++) hidden.insert(GetPortPixel(Port(), x, box.top + 5));
  EXPECT_EQ((std::set<uint32_t>{0x000000, 0xFFFFFF}), gray);
  EXPECT_EQ((std::set<uint32_t>{0xFFFFFF}), hidden);
}

TEST_F(SeatingTest, ASeatedChartIsDrawnForTheTeacher) {
  OpenChart(24, 5, 6);
  SelectSeat(4, 1);
  SavePortImage(Port(), dialogtest::RenderDir() + "/seating-chart.png");
  EXPECT_EQ(kSeatingChartView, gCurrView);
}

// The selection and the drop target are state: drawing them again changes nothing, and
// every drawing path shows them once.
TEST_F(SeatingTest, SelectionAndDropTargetAreDrawnFromStateOnEveryPath) {
  OpenChart(20, 6, 6);
  Redraw();
  const std::vector<uint32_t> plain = Content();
  SelectSeat(5, 0);
  OutlineSeat(4, 1);
  const std::vector<uint32_t> marked = Content();
  EXPECT_NE(plain, marked);
  UpdateSeatDecorations();
  UpdateSeatDecorations();
  EXPECT_EQ(marked, Content()) << "reapplying the marks is harmless";
  Redraw();
  EXPECT_EQ(marked, Content()) << "a full update shows them once";
  SelectSeat(5, 0);
  EXPECT_EQ(marked, Content()) << "selecting the selected seat again";
  OutlineSeat(-1, -1);
  CancelSelection();
  EXPECT_EQ(plain, Content());
  Redraw();
  EXPECT_EQ(plain, Content());
}

// ---- Scrolling --------------------------------------------------------------------------

struct ChartScroll {
  int16_t zoom;
  bool rows;
  int by;
};

class SeatingScrollTest : public SeatingTest, public ::testing::WithParamInterface<ChartScroll> {};

TEST_P(SeatingScrollTest, AScrolledBandGivesTheFullRedraw) {
  const ChartScroll c = GetParam();
  OpenChart(200, 20, 20, c.zoom);
  gSeatingChart.seats[9][9] = kUnavailableSeat;
  SetControlValue(gVScrollBar, static_cast<int16_t>(VScrollMax() / 2));
  SetControlValue(gHScrollBar, static_cast<int16_t>(HScrollMax() / 2));
  Redraw();
  SelectSeat(static_cast<int16_t>(VScrollValue() + 1), static_cast<int16_t>(HScrollValue() + 1));
  ControlRef bar = c.rows ? gVScrollBar : gHScrollBar;
  const int before = GetControlValue(bar);
  const int after = std::clamp(before + c.by, 0, static_cast<int>(GetControlMaximum(bar)));
  ASSERT_NE(before, after);
  SetControlValue(bar, static_cast<int16_t>(after));
  if (c.rows)
    ScrollRows(before - after);
  else
    ScrollColumns(before - after);
  const std::vector<uint32_t> scrolled = Content();
  Redraw();
  const std::vector<uint32_t> full = Content();
  const Rect content = ContentRect();
  const int w = content.right - content.left;
  int differing = 0, first = -1;
  for (size_t i = 0; i < full.size(); i++)
    if (full[i] != scrolled[i]) {
      if (first < 0) first = static_cast<int>(i);
      differing++;
    }
  EXPECT_EQ(0, differing) << "zoom " << c.zoom << (c.rows ? " rows by " : " columns by ")
                          << c.by << ": first at x " << first % w << " y " << first / w;
}

std::vector<ChartScroll> ChartScrolls() {
  std::vector<ChartScroll> cases;
  for (int16_t zoom : {5, 6, 7})
    for (bool rows : {true, false})
      for (int by : {1, -1, 2, -3, 20, -20}) cases.push_back({zoom, rows, by});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryZoom, SeatingScrollTest, ::testing::ValuesIn(ChartScrolls()));

TEST_F(SeatingTest, TheWheelAndTheArrowsScrollBySeats) {
  OpenChart(100, 20, 20);
  InjectMouseWheel(kEventMouseWheelAxisY, -3);
  Run();
  EXPECT_EQ(3, VScrollValue());
  InjectMouseWheel(kEventMouseWheelAxisX, -2);
  Run();
  EXPECT_EQ(2, HScrollValue());
  SeatingVProc(gVScrollBar, kControlUpButtonPart);
  EXPECT_EQ(2, VScrollValue());
  SeatingHProc(gHScrollBar, kControlPageDownPart);
  EXPECT_EQ(std::min(2 + HPageStep(), HScrollMax()), HScrollValue());
}

// ---- Clicks, drags and pop-ups ------------------------------------------------------

TEST_F(SeatingTest, ASeatDragSwapsTheTwoPlacesAndUndoes) {
  OpenChart(6, 6, 6);
  const Chart before = Seats();
  ASSERT_EQ(0, gSeatingChart.seats[5][0]);
  ScriptMousePath({SeatCentre(5, 0), SeatCentre(4, 2), SeatCentre(2, 3), SeatCentre(2, 3)}, 0);
  Run();
  EXPECT_EQ(0, gSeatingChart.seats[2][3]);
  EXPECT_EQ(kEmptySeat, gSeatingChart.seats[5][0]);
  EXPECT_EQ(kNone, gSelSeatRow) << "the selection ends with the drag";
  EXPECT_EQ(kUndoSeating, gUndoAction);
  EXPECT_EQ(1, gChanged);
  ASSERT_TRUE(Choose(kEditMenu, kUndoItem));
  EXPECT_EQ(before, Seats());
  ASSERT_TRUE(Choose(kEditMenu, kUndoItem));  // redo
  EXPECT_EQ(0, gSeatingChart.seats[2][3]);

  // Onto a place that is no seat: nothing moves and nothing is recorded.
  CantUndo();
  gSeatingChart.seats[0][0] = kUnavailableSeat;
  const Chart now = Seats();
  ScriptMousePath({SeatCentre(2, 3), SeatCentre(0, 0), SeatCentre(0, 0)}, 0);
  Run();
  EXPECT_EQ(now, Seats());
  EXPECT_EQ(kUndoNothing, gUndoAction);
  // A plain click selects the seat.
  ScriptMouseClick(SeatCentre(4, 0), 0);
  Run();
  EXPECT_EQ(4, gSelSeatRow);
  EXPECT_EQ(0, gSelSeatCol);
}

TEST_F(SeatingTest, TheSeatsPopUpHidesAndClosesEmptyPlaces) {
  OpenChart(2, 4, 4);
  SetChanged(0);
  struct Step {
    int16_t choice;
    uint16_t after;
  };
  const Step steps[] = {{1, kHiddenSeat}, {2, kHiddenSeat}, {1, kEmptySeat},
                        {2, kUnavailableSeat}, {2, kEmptySeat}};
  for (const Step& s : steps) {
    ScriptPopUpChoice(s.choice);
    ScriptMouseClick(SeatCentre(0, 0), controlKey);
    Run();
    PopUpRequest request{};
    ASSERT_TRUE(LastPopUpRequest(&request));
    EXPECT_EQ(kSeatsMenu, request.menuID);
    EXPECT_EQ(s.after, gSeatingChart.seats[0][0]);
  }
  EXPECT_EQ(1, gChanged);
  // A hidden place offers "Show Seat" and no second item.
  gSeatingChart.seats[0][0] = kHiddenSeat;
  AdjustSeatsMenu(0, 0);
  Str255 text{};
  GetMenuItemText(GetMenuHandle(kSeatsMenu), 1, text);
  EXPECT_EQ("Show Seat", text.str());
  EXPECT_FALSE(IsMenuItemEnabled(GetMenuHandle(kSeatsMenu), 2));
}

TEST_F(SeatingTest, TheCodesPopUpMarksTodayForTheSeatedStudent) {
  OpenChart(3, 4, 4);
  const int day = static_cast<int>((LocalDate(2025, 10, 14) - gTermDates[0].start) / 86400);
  ASSERT_GE(day, 0);
  gAttendance[0][day] = kNoMark;
  uint16_t row = 0, column = 0;
  FindSeat(0, row, column);
  ScriptPopUpChoice(5);  // "T", the third code with a name
  ScriptMouseClick(SeatCentre(row, column), controlKey);
  Run();
  PopUpRequest shown{};
  ASSERT_TRUE(LastPopUpRequest(&shown));
  EXPECT_EQ(kCodesMenu, shown.menuID);
  EXPECT_EQ(2, gAttendance[0][day]);
  EXPECT_EQ(10, gStudents[0].tardies[gCurrentTerm]);
  MenuRef menu = GetMenuHandle(kCodesMenu);
  EXPECT_EQ(5, CountMenuItems(menu));  // None, a line and the three codes
  ScriptPopUpChoice(1);
  ScriptMouseClick(SeatCentre(row, column), controlKey);
  Run();
  EXPECT_EQ(kNoMark, gAttendance[0][day]);
  // A holiday takes no mark: the pop-up does not open.
  gHolidays[day] = 1;
  const int before = BeepCount();
  PopUpRequest last{};
  LastPopUpRequest(&last);
  ScriptPopUpChoice(3);
  ScriptMouseClick(SeatCentre(row, column), controlKey);
  Run();
  EXPECT_EQ(kNoMark, gAttendance[0][day]);
  EXPECT_EQ(before, BeepCount());
}

}  // namespace
