// The window's tests of typing into the grid: a sample class opened through the
// program, clicks on cells by their boxes, keys typed through the event loop.
#pragma once

#include <string>

#include "marktally/model/grading.h"
#include "marktally/model/scoretext.h"
#include "marktally/shell/commands/edit_commands.h"
#include "marktally/shell/window/input.h"
#include "marktally/shell/window/seating.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"
#include "tests/shell/window_fixture.h"

class EditingTest : public WindowTest {
 protected:
  // A class of students and assignments; assignment 0 is worth 100 points.
  void OpenClass(int students = 30, int assignments = 12) {
    WriteClass(Path("Class.mtb"), [&] {
      sample::FillClass(students, assignments);
      gAssignments[gCurrentTerm][0].points = 100;
      gClass.flags |= kShowIDs | kShowNames;
      gSeatingChart.rows = 5;
      gSeatingChart.columns = 6;
      for (int r = 0; r < kMaxSeatRows; r++)
        for (int c = 0; c < kMaxSeatColumns; c++) gSeatingChart.seats[r][c] = kNone;
      for (int s = 0; s < students && s < 30; s++)
        gSeatingChart.seats[s / 6][s % 6] = static_cast<uint16_t>(s);
    });
    PostCommandLineEvents({Path("Class.mtb")});
    Run();
    ASSERT_NE(nullptr, gWindow);
    SetControlValue(gHScrollBar, 0);
    SetControlValue(gVScrollBar, 0);
    ForceUpdate();
    Run();
  }

  Point Global(int h, int v) {
    Rect b;
    GetWindowBounds(gWindow, kWindowContentRgn, &b);
    return Point{static_cast<int16_t>(b.top + v), static_cast<int16_t>(b.left + h)};
  }
  void ClickAt(int h, int v, uint16_t modifiers = 0) {
    ScriptMouseClick(Global(h, v), modifiers);
    Run();
  }
  void ClickIn(const Rect& r, uint16_t modifiers = 0) {
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, modifiers);
  }
  void ClickScore(int s, int a, uint16_t modifiers = 0) {
    Rect r;
    ScoreBox(static_cast<int16_t>(s), static_cast<int16_t>(a), &r);
    ClickIn(r, modifiers);
  }
  void Key(unsigned char key, uint16_t modifiers = 0) {
    InjectKey(key, modifiers);
    Run();
  }
  void Type(const std::string& text) {
    for (unsigned char c : text) InjectKey(c, 0);
    Run();
  }
  // Selects all of the open editor's text, types, and closes with a key.
  void Enter(const std::string& text, unsigned char key = kReturnCharCode,
             uint16_t modifiers = 0) {
    ASSERT_NE(nullptr, gEditHandle);
    TESetSelect(0, 32767, gEditHandle);
    if (text.empty()) InjectKey(kBackspaceCharCode, 0);
    Type(text);
    Key(key, modifiers);
  }
  std::string EditorText() const { return gEditHandle ? TEGetText(gEditHandle) : "<closed>"; }
  bool EditingScore(int s, int a) const {
    return gEditHandle && gEditKind == kEditScore && gEditStudent == s && gEditAssignment == a;
  }
  int T() const { return gCurrentTerm; }
  void Undo() { ASSERT_TRUE(Choose(kEditMenu, kUndoItem)); }
};
