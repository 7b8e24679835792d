#include "marktally/shell/commands/view_commands.h"

#include <cctype>

#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"

namespace {

void ShowView(uint16_t view) {
  const uint16_t previous = gCurrView;
  gCurrView = view;
  if (view == kGradebookView) {
    SetColumns();
    AdjustScrollBars();
    ScrollGrid(previous != kAttendanceView);
  } else {
    ScrollGrid(previous != kGradebookView);
    AdjustScrollBars();
  }
  ForceUpdate();
  CantUndo();
}

void SetTitleColumns(uint8_t flags) {
  if (!CloseEditor(false)) return;
  SetChanged(1);
  gClass.flags = static_cast<uint8_t>((gClass.flags & ~0x60) | flags);
  gTitleWidth = static_cast<int16_t>(TitleWidthFor(gClass.flags));
  AdjustScrollBars();
  ForceUpdate();
  CantUndo();
}

void Sort(void (*sort)()) {
  if (!CloseEditor(true)) return;
  sort();
  ForceUpdate();
  CantUndo();
}

}  // namespace

void DoShowGradebook() {
  if (CloseEditor(true)) ShowView(kGradebookView);
}

void DoShowAttendance() {
  if (CloseEditor(true)) ShowView(kAttendanceView);
}

void DoZoom(int16_t zoom) {
  if (!CloseEditor(false)) return;
  gZoom = zoom;
  gReportSize = static_cast<int16_t>(2 * zoom);
  gHeaderSize = static_cast<int16_t>(18 * zoom / 5);
  gTitleWidth = static_cast<int16_t>(TitleWidthFor(gClass.flags));
  CleanupRotation();
  SetupRotation();
  AdjustScrollBars();
  ForceUpdate();
  CantUndo();
}

void DoShowID() { SetTitleColumns(kShowIDs); }
void DoShowName() { SetTitleColumns(kShowNames); }
void DoShowNameAndID() { SetTitleColumns(kShowIDs | kShowNames); }

void DoHideHolidays() {
  if (!CloseEditor(false)) return;
  SetChanged(1);
  gClass.flags ^= kHolidaysNoColumn;
  SetColumns();
  ForceUpdate();
}

void DoTermCmd(int16_t term) {
  if (term < 0 || term >= kMaxTerms) return;
  if (gCurrView == kMultipleClassesView) {
    gCurrentTerm = static_cast<uint16_t>(term);
    ForceUpdate();
    return;
  }
  if (!CloseEditor(false)) return;
  if (term > static_cast<int16_t>(gCurrentTerm)) CopyGradingOptions(term);
  gClass.currentTerm = static_cast<uint8_t>(term);
  gCurrentTerm = static_cast<uint16_t>(term);
  SetChanged(1);
  FlushAll();
  CantUndo();
  if (IsGridView()) {
    SetColumns();
    ScrollGrid(false);
    ForceUpdate();
  } else {
    TopOfPage();
    AdjustScrollBars();
    ForceUpdate();
  }
}

void DoSortByIDCmd() { Sort(SortByID); }
void DoSortByNameCmd() { Sort(SortByName); }
void DoSortByGradeCmd() { Sort(SortByGrade); }
void DoSortByDateCmd() { Sort(SortByDate); }
void DoSortByAssignCmd() { Sort(SortByAssign); }
void DoSortByCategoryCmd() { Sort(SortByCategory); }

// ---- Random IDs ---------------------------------------------------------------------

namespace {

bool HasDigitOrLetter(ConstStringPtr s) {
  for (int i = 1; i <= s[0]; i++)
    if (std::isalnum(s[i]) && s[i] < 0x80) return true;
  return false;
}

void DrawID(ConstStringPtr pattern, Str15& id) {
  id.set(pattern);
  for (int i = 1; i <= id.length(); i++) {
    const unsigned char c = id[i];
    const auto r = static_cast<uint16_t>(Random());
    if (c >= '0' && c <= '9') id[i] = static_cast<unsigned char>('0' + r % 10);
    else if (c >= 'A' && c <= 'Z') id[i] = static_cast<unsigned char>('A' + r % 26);
    else if (c >= 'a' && c <= 'z') id[i] = static_cast<unsigned char>('a' + r % 26);
  }
}

bool IDTaken(const Str15& id, int except) {
  for (int s = 0; s < kMaxStudents; s++) {
    if (s == except || gStudents[s].name.empty()) continue;
    if (EqualString(gStudents[s].id, id, true, true)) return true;
  }
  return false;
}

}  // namespace

void DoGenerateRandomIDs() {
  if (!CloseEditor(false)) return;
  int withID = 0;
  for (int s = 1; s < kMaxStudents; s++)
    if (!gStudents[s].id.empty()) withID++;
  const char* text =
      withID > 0
          ? "You are about to generate random student IDs for those students who do not "
            "already have a student ID. Are you sure you want to do this?"
          : "You are about to generate random student IDs for all students. Are you sure you "
            "want to do this?";
  InitCursor();
  if (ShowModelAlert(kCautionAlert, kAlertYesNo, PStr("Generate Random IDs?"), PStr(text)) != 1)
    return;
  Str255 pattern;
  pattern.set(gStudents[0].id);
  if (pattern.empty() || !HasDigitOrLetter(pattern)) pattern = PStr("9999");
  for (int s = 0; s < kMaxStudents; s++) {
    StudentRecord& student = gStudents[s];
    if (student.name.empty() || (withID > 0 && !student.id.empty())) continue;
    // A drawn ID that another student already has is drawn again, a bounded number of
    // times: a short pattern may not have enough values for everyone.
    Str15 id;
    for (int attempt = 0; attempt < 100; attempt++) {
      DrawID(pattern, id);
      if (!IDTaken(id, s)) break;
    }
    student.id = id;
  }
  SetChanged(1);
  ForceUpdate();
}

// ---- Current term -------------------------------------------------------------------

void CheckCurrentTerm() {
  const uint32_t today = GetDateTime();
  const int last = std::min<int>(std::max<int>(gClass.lastTerm, 0), kMaxTerms - 1);
  int term = -1;
  for (int t = 0; t <= last; t++) {
    if (static_cast<uint64_t>(today) <= static_cast<uint64_t>(gTermDates[t].end) + 86399) {
      term = t;
      break;
    }
  }
  if (term < 0 || term == static_cast<int>(gCurrentTerm)) return;
  Str255 title = PStr("Move into ");
  Append(title, gTermNames[term]);
  Append(title, PStr("?"));
  Str255 text = PStr("This class is currently in ");
  Append(text, gTermNames[std::min<int>(gCurrentTerm, kMaxTerms - 1)]);
  Append(text, PStr(", but according to the school year options for this class, today is in "));
  Append(text, gTermNames[term]);
  Append(text, PStr(". Would you like to change to "));
  Append(text, gTermNames[term]);
  Append(text, PStr("?"));
  InitCursor();
  if (ShowModelAlert(kCautionAlert, kAlertYesNo, title, text) == 1) DoTermCmd(CurrentTerm());
}
