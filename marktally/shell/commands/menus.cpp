#include "marktally/shell/commands/menus.h"
#include "marktally/shell/commands/multiple_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/operations.h"
#include "marktally/model/recent.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/reports/email.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/dialogs/email_dialogs.h"
#include "marktally/shell/dialogs/class_dialogs.h"
#include "marktally/shell/common.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/commands/edit_commands.h"
#include "marktally/shell/commands/export_commands.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/dialogs/options_dialog.h"
#include "marktally/shell/dialogs/password_dialogs.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/view_commands.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/events.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/textedit.h"

namespace {

struct ItemSpec {
  const char* text;  // Mac Roman; "\xC9" is the ellipsis
  char key;
  int16_t submenu;
};

struct MenuSpec {
  int16_t id;
  const char* title;
  std::vector<ItemSpec> items;
};

// The menus' texts and command keys: the program's menu resources.
const std::vector<MenuSpec>& MenuTable() {
  static const std::vector<MenuSpec> table = {
      {kFileMenu,
       "File",
       {{"New Class", 'N', 0},
        {"Open\xC9", 'O', 0},
        {"-", 0, 0},
        {"Close", 'W', 0},
        {"Save", 'S', 0},
        {"Save As\xC9", 0, 0},
        {"Save to SchoolSpeak\xC9", 0, 0},
        {"Revert", 0, 0},
        {"-", 0, 0},
        {"Import\xC9", 0, 0},
        {"Export", 0, kExportMenu},
        {"Email Reports", 0, kEmailReportsMenu},
        {"-", 0, 0},
        {"Page Setup\xC9", 0, 0},
        {"Print\xC9", 'P', 0},
        {"-", 0, 0},
        {"Quit Marktally", 'Q', 0}}},
      {kEditMenu,
       "Edit",
       {{"Undo", 'Z', 0},
        {"-", 0, 0},
        {"Cut", 'X', 0},
        {"Copy", 'C', 0},
        {"Paste", 'V', 0},
        {"Delete", 0, 0},
        {"-", 0, 0},
        {"Fill Down", 'D', 0},
        {"Fill Across", 'R', 0},
        {"-", 0, 0},
        {"Curve Assignment\xC9", 0, 0},
        {"Sort", 0, kSortMenu},
        {"-", 0, 0},
        {"Email Server\xC9", 0, 0},
        {"Email Addresses\xC9", 0, 0},
        {"-", 0, 0},
        {"Footnotes\xC9", 0, 0},
        {"Report Header and Footer\xC9", 0, 0},
        {"Student Comments\xC9", 0, 0},
        {"-", 0, 0},
        {"Generate Random IDs\xC9", 0, 0}}},
      {kGradebookMenu,
       "Gradebook",
       {{"Class Options\xC9", 'K', 0},
        {"Password\xC9", 0, 0},
        {"-", 0, 0},
        {"Show IDs", 0, 0},
        {"Show Names", 0, 0},
        {"Show Names and IDs", 0, 0},
        {"-", 0, 0},
        {"Hide Non-Class Days", 0, 0},
        {"-", 0, 0},
        {"term", '1', 0},
        {"term", '2', 0},
        {"term", '3', 0},
        {"term", '4', 0},
        {"term", '5', 0},
        {"term", '6', 0}}},
      {kReportsMenu,
       "Reports",
       {{"Gradebook", 'G', 0},
        {"Attendance", 'T', 0},
        {"Seating Chart", 0, 0},
        {"-", 0, 0},
        {"Class Grades", 0, 0},
        {"Class Summary", 0, 0},
        {"Attendance Totals", 0, 0},
        {"Attendance Summary", 0, 0},
        {"-", 0, 0},
        {"Student Scores", 0, 0},
        {"Student Summary", 0, 0},
        {"Student Attendance", 0, 0},
        {"-", 0, 0},
        {"Assignment Scores", 0, 0},
        {"Missing Assignments", 0, 0},
        {"-", 0, 0},
        {"100%", 0, 0},
        {"120%", 0, 0},
        {"140%", 0, 0},
        {"-", 0, 0},
        {"Assign Seats\xC9", 0, 0},
        {"Report Options\xC9", 0, 0},
        {"Multiple Class Report\xC9", 0, 0}}},
      // The desktop's place for the guide and the About box.
      {kHelpMenu,
       "Help",
       {{"Marktally Users Guide", 0, 0}, {"-", 0, 0}, {"About Marktally\xC9", 0, 0}}},
      {kExportMenu,
       "Export",
       {{"Text File\xC9", 0, 0},
        {"Web Site\xC9", 0, 0},
        {"-", 0, 0},
        {"Lorvex\xC9", 0, 0},
        {"SchoolSpeak\xC9", 0, 0},
        {"Basmati\xC9", 0, 0},
        {"SchoolCenter\xC9", 0, 0},
        {"SchoolFusion\xC9", 0, 0},
        {"TeacherWeb\xC9", 0, 0}}},
      {kEmailReportsMenu,
       "Email Reports",
       {{"Student Scores\xC9", 0, 0},
        {"Student Summary\xC9", 0, 0},
        {"Student Attendance\xC9", 0, 0},
        {"Missing Assignments\xC9", 0, 0}}},
      {kSortMenu,
       "Sort",
       {{"Students by ID", 0, 0},
        {"Students by Name", 0, 0},
        {"Students by Grade", 0, 0},
        {"-", 0, 0},
        {"Assignments by Date", 0, 0},
        {"Assignments by Name", 0, 0},
        {"Assignments by Category", 0, 0}}},
      {kStudentsMenu,
       "Students",
       {{"Print\xC9", 0, 0}, {"Export\xC9", 0, 0}, {"Email\xC9", 0, 0}, {"-", 0, 0}}},
      {kMissingMenu,
       "Missing",
       {{"Print\xC9", 0, 0}, {"Export\xC9", 0, 0}, {"Email\xC9", 0, 0}, {"-", 0, 0}}},
      {kAssignmentsMenu, "Assignments", {{"Print\xC9", 0, 0}, {"-", 0, 0}}},
      {kStudentNamesMenu, "Students", {}},
      {kMultipleMenu, "Classes", {}},
      {kFootnotesMenu,
       "Footnotes",
       {{"No Footnote", 0, 0},
        {"-", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0},
        {"footnote", 0, 0}}},
      {kCodesMenu, "Codes", {{"None", 0, 0}, {"-", 0, 0}}},
      {kSeatsMenu, "Seats", {{"Hide Seat", 0, 0}, {"Make Unavailable", 0, 0}}},
      {kRecentAssignsMenu, "Recent Assignments", {}},
  };
  return table;
}

// Commands whose parts of the program are not there yet: their items stay disabled
// whatever the rules below would allow.
bool Unavailable(int16_t menu, int16_t item) {
  switch (menu) {
    case kEditMenu:
      return item != kUndoItem && item != kSortItem && item != kRandomIDsItem &&
             item != kEmailServerItem && item != kEmailAddressesItem &&
             (item < kCutItem || item > kFillAcrossItem) && item != kCurveItem &&
             (item < kFootnotesItem || item > kCommentsItem);
    case kReportsMenu:
      return item != kGradebookViewItem && item != kAttendanceViewItem &&
             item != kSeatingChartItem && (item < kZoom100Item || item > kZoom140Item) &&
             (item < kClassGradesItem || item > kMissingItem) && item != kAssignSeatsItem &&
             item != kReportOptionsItem && item != kMultipleItem;
    default:
      return false;
  }
}


void Enable(MenuRef menu, int16_t item, bool enabled) {
  if (enabled && !Unavailable(GetMenuID(menu), item))
    EnableMenuItem(menu, item);
  else
    DisableMenuItem(menu, item);
}

bool HasWindow() { return gWindow != nullptr; }
bool InMultiple() { return gCurrView == kMultipleClassesView; }
bool WindowNotMultiple() { return HasWindow() && !InMultiple(); }
bool HasStudents() { return NumStudents() > 0; }

bool AnyEnabled(int16_t id) {
  MenuRef menu = GetMenuHandle(id);
  if (!menu) return false;
  for (int16_t i = 1; i <= CountMenuItems(menu); i++) {
    Str255 text;
    GetMenuItemText(menu, i, text);
    if (IsMenuItemEnabled(menu, i) && text.str() != "-") return true;
  }
  return false;
}

// A submenu's item can be reached only while its parent item is enabled.
void EnableParent(MenuRef parent, int16_t item, int16_t submenu) {
  if (AnyEnabled(submenu))
    EnableMenuItem(parent, item);
  else
    DisableMenuItem(parent, item);
}

}  // namespace

void SetupMenus() {
  for (const MenuSpec& spec : MenuTable()) {
    MenuRef menu = NewMenu(spec.id, PStr(spec.title));
    for (const ItemSpec& item : spec.items) {
      AppendMenuItemText(menu, PStr(item.text));
      const int16_t index = CountMenuItems(menu);
      if (item.key) SetItemCmd(menu, index, static_cast<unsigned char>(item.key));
      if (item.submenu) SetMenuItemHierarchicalID(menu, index, item.submenu);
    }
    InsertMenu(menu, spec.id <= kReportsMenu ? 0 : -1);
  }
  // The desktop's own keys beside the program's: F1 for the guide, Ctrl+Shift+S Save As.
  if (MenuRef help = GetMenuHandle(kHelpMenu)) {
    SetMenuItemCommandKey(help, kUsersGuideItem, true, kF1KeyCode);
    SetMenuItemModifiers(help, kUsersGuideItem, kMenuNoCommandModifier);
  }
  if (MenuRef file = GetMenuHandle(kFileMenu)) {
    SetItemCmd(file, kSaveAsItem, 'S');
    SetMenuItemModifiers(file, kSaveAsItem, kMenuShiftModifier);
  }
  SetMenuEnablingProc(AdjustMenus);
  CantUndo();
  AdjustMenus();
}

void AdjustMenus() {
  if (MenuRef help = GetMenuHandle(kHelpMenu)) {
    EnableMenuItem(help, 0);
    for (int16_t i = 1; i <= CountMenuItems(help); i++) Enable(help, i, true);
  }
  AdjustFileMenu();
  AdjustExportMenu();
  AdjustEmailReportsMenu();
  AdjustRecentFilesMenu();
  AdjustEditMenu();
  AdjustSortMenu();
  AdjustGradebookMenu();
  AdjustReportsMenu();
  if (MenuRef file = GetMenuHandle(kFileMenu)) {
    EnableParent(file, kExportItem, kExportMenu);
    EnableParent(file, kEmailReportsItem, kEmailReportsMenu);
  }
  if (MenuRef edit = GetMenuHandle(kEditMenu)) EnableParent(edit, kSortItem, kSortMenu);
  DrawMenuBar();
}

void AdjustFileMenu() {
  MenuRef menu = GetMenuHandle(kFileMenu);
  if (!menu) return;
  Enable(menu, kNewItem, true);
  Enable(menu, kOpenItem, true);
  Enable(menu, kCloseItem, HasWindow());
  Enable(menu, kSaveItem, WindowNotMultiple());
  Enable(menu, kSaveAsItem, WindowNotMultiple());
  Enable(menu, kSaveToSpeakItem, WindowNotMultiple());
  Enable(menu, kRevertItem, WindowNotMultiple() && !gFileSpec.empty());
  Enable(menu, kImportItem, WindowNotMultiple());
  Enable(menu, kPageSetupItem, true);
  Enable(menu, kPrintItem, HasWindow());
  Enable(menu, QuitItem(), true);
}

void AdjustExportMenu() {
  MenuRef menu = GetMenuHandle(kExportMenu);
  if (!menu) return;
  const bool any = HasWindow() && HasStudents();
  for (int16_t i = 1; i <= CountMenuItems(menu); i++)
    Enable(menu, i, any && (!InMultiple() || i == 2));
}

void AdjustEmailReportsMenu() {
  MenuRef menu = GetMenuHandle(kEmailReportsMenu);
  if (!menu) return;
  const uint16_t v = gCurrView;
  const bool on = HasWindow() && HasStudents() &&
                  (v == kGradebookView || v == kStudentScoresView ||
                   v == kStudentSummaryView || v == kMissingAssignmentsView);
  for (int16_t i = 1; i <= CountMenuItems(menu); i++) Enable(menu, i, on);
}

void AdjustRecentFilesMenu() {
  MenuRef menu = GetMenuHandle(kFileMenu);
  if (!menu) return;
  const int n = std::clamp<int>(gNumRecentFiles, 0, kMaxRecentFiles);
  // Quit ends the menu, after the recent files.
  const int count = (n == 0 ? 15 : n + 18) + 2;
  while (CountMenuItems(menu) > count) DeleteMenuItem(menu, CountMenuItems(menu));
  while (CountMenuItems(menu) < count) AppendMenuItemText(menu, PStr("item"));
  SetMenuItemText(menu, S16(count - 1), PStr("-"));
  SetMenuItemText(menu, S16(count), PStr("Quit Marktally"));
  SetItemCmd(menu, S16(count), 'Q');
  EnableMenuItem(menu, S16(count));
  if (n == 0) return;
  SetMenuItemText(menu, 16, PStr("-"));
  for (int i = 0; i < n; i++) {
    Str255 name;
    GetFileName(gRecentFiles[i].spec, name);
    Str255 text;
    text.setC(std::to_string(i + 1).c_str());
    Append(text, PStr(" "));
    Append(text, name);
    const int16_t item = S16(kFirstRecentItem + i);
    SetMenuItemText(menu, item, text);
    SetItemCmd(menu, item, 0);
    EnableMenuItem(menu, item);
  }
  SetMenuItemText(menu, S16(kFirstRecentItem + n), PStr("-"));
  SetMenuItemText(menu, S16(kFirstRecentItem + n + 1), PStr("Clear Recent Files"));
  SetItemCmd(menu, S16(kFirstRecentItem + n + 1), 0);
  EnableMenuItem(menu, S16(kFirstRecentItem + n + 1));
}

void AdjustEditMenu() {
  MenuRef menu = GetMenuHandle(kEditMenu);
  if (!menu) return;
  const bool on = WindowNotMultiple();
  Str255 undo;
  GetUndoText(undo);
  SetMenuItemText(menu, kUndoItem, undo);
  Enable(menu, kUndoItem, on && gUndoAction != kUndoNothing);
  for (int16_t i = 3; i <= 19; i++) Enable(menu, i, false);
  const bool grid = on && IsGridView();
  const bool student = grid && gSelStudent != kNone;
  const bool assignment = grid && gCurrView == kGradebookView && gSelAssignment != kNone;
  const bool text = grid && gEditHandle && gEditHandle->selStart != gEditHandle->selEnd;
  const bool clip = student || assignment || text;
  Enable(menu, kCutItem, clip);
  Enable(menu, kCopyItem, clip);
  Enable(menu, kDeleteItem, clip);
  // Paste is offered for what the desktop clipboard holds now.
  if (grid && gEditHandle) TEFromScrap();
  Enable(menu, kPasteItem,
         (student && gCanPasteStudent) || (assignment && gCanPasteAssignment) ||
             (grid && gEditHandle && TEGetScrapLength() > 0));
  const bool fill =
      grid && gEditHandle && (gEditKind == kEditScore || gEditKind == kEditAttendance);
  Enable(menu, kFillDownItem, fill);
  Enable(menu, kFillAcrossItem, fill);
  Enable(menu, kEmailServerItem, HasWindow());
  Enable(menu, kEmailAddressesItem, HasWindow() && HasStudents());
  Enable(menu, kCurveItem,
         on && (gCurrView == kAssignmentScoresView ||
                (gCurrView == kGradebookView && gSelAssignment != kNone)));
  Enable(menu, kFootnotesItem, on);
  Enable(menu, kHeaderFooterItem, on && HasStudents());
  Enable(menu, kCommentsItem, on && HasStudents());
  Enable(menu, kRandomIDsItem,
         on && HasStudents() && gCurrView == kGradebookView && (gClass.flags & kShowIDs));
}

void AdjustSortMenu() {
  MenuRef menu = GetMenuHandle(kSortMenu);
  if (!menu) return;
  const uint16_t v = gCurrView;
  const bool on = HasWindow() && HasStudents() && !InMultiple();
  const bool students = on && (v <= kAttendanceView || (v >= kClassGradesView &&
                                                         v <= kAttendanceSummaryView) ||
                               v == kAssignmentScoresView);
  const bool assignments =
      on && NumAssignments() > 0 && (v == kGradebookView || v == kStudentScoresView);
  for (int16_t i = 1; i <= 3; i++) Enable(menu, i, students);
  for (int16_t i = 5; i <= 7; i++) Enable(menu, i, assignments);
}

void AdjustGradebookMenu() {
  MenuRef menu = GetMenuHandle(kGradebookMenu);
  if (!menu) return;
  for (int t = 0; t < kMaxTerms; t++) {
    const int16_t item = S16(kFirstTermItem + t);
    SetMenuItemText(menu, item, gTermNames[t]);
    CheckMenuItem(menu, item, HasWindow() && t == gCurrentTerm);
    Enable(menu, item, HasWindow() && t <= gClass.lastTerm);
  }
  if (!HasWindow()) {
    DisableMenuItem(menu, 0);
    return;
  }
  EnableMenuItem(menu, 0);
  const bool on = !InMultiple();
  const uint8_t titles = gClass.flags & (kShowIDs | kShowNames);
  Enable(menu, kOptionsItem, on);
  Enable(menu, kPasswordItem, on);
  Enable(menu, kShowIDItem, on);
  Enable(menu, kShowNameItem, on);
  Enable(menu, kShowNameAndIDItem, on);
  CheckMenuItem(menu, kShowIDItem, titles == kShowIDs);
  CheckMenuItem(menu, kShowNameItem, titles == kShowNames);
  CheckMenuItem(menu, kShowNameAndIDItem, titles == (kShowIDs | kShowNames));
  Enable(menu, kHolidaysItem, on);
  const bool hidden = on && (gClass.flags & kHolidaysNoColumn);
  SetMenuItemText(menu, kHolidaysItem,
                  PStr(hidden ? "Show Non-Class Days" : "Hide Non-Class Days"));
}

void AdjustReportsMenu() {
  MenuRef menu = GetMenuHandle(kReportsMenu);
  if (!menu) return;
  const int16_t count = CountMenuItems(menu);
  for (int16_t i = 1; i <= count; i++) {
    DisableMenuItem(menu, i);
    CheckMenuItem(menu, i, false);
  }
  if (!HasWindow()) return;
  if (InMultiple()) {
    for (int16_t i : {int16_t{17}, int16_t{18}, int16_t{19}, int16_t{kReportOptionsItem}})
      Enable(menu, i, true);
    CheckMenuItem(menu, kMultipleItem, true);
    return;
  }
  // Items 1..15 and the view each shows.
  static const int16_t kViews[16] = {-1, 0, 1, 2, -1, 3, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11};
  const bool students = HasStudents();
  for (int16_t i = 1; i <= 15; i++) {
    const int16_t view = kViews[i];
    if (view < 0) continue;
    bool on = view <= kSeatingChartView || students;
    if (view == kAssignmentScoresView) on = students && NumAssignments() > 0;
    Enable(menu, i, on);
    CheckMenuItem(menu, i, gCurrView == static_cast<uint16_t>(view));
  }
  for (int16_t z = 5; z <= 7; z++) {
    Enable(menu, S16(kZoom100Item + z - 5), true);
    CheckMenuItem(menu, S16(kZoom100Item + z - 5), gZoom == z);
  }
  Enable(menu, kAssignSeatsItem, gCurrView == kSeatingChartView && students);
  Enable(menu, kReportOptionsItem, true);
  Enable(menu, kMultipleItem, true);
}

// ---- Dispatch -----------------------------------------------------------------------

void HandleMenuChoice(int32_t choice) {
  const auto menu = static_cast<int16_t>(choice >> 16);
  const auto item = static_cast<int16_t>(choice & 0xFFFF);
  switch (menu) {
    case kHelpMenu: HandleAppleChoice(item); break;
    case kFileMenu: HandleFileChoice(item); break;
    case kEditMenu: HandleEditChoice(item); break;
    case kGradebookMenu: HandleGradebookChoice(item); break;
    case kReportsMenu: HandleReportsChoice(item); break;
    case kStudentsMenu: HandleStudentsChoice(item); break;
    case kAssignmentsMenu: HandleAssignmentsChoice(item); break;
    case kMissingMenu: HandleMissingChoice(item); break;
    case kSortMenu: HandleSortChoice(item); break;
    case kExportMenu: HandleExportChoice(item); break;
    case kEmailReportsMenu: HandleEmailReportsChoice(item); break;
    default: break;
  }
  HiliteMenu(0);
}

void HandleAppleChoice(int16_t item) {
  switch (item) {
    case kAboutItem: DoAboutDialog(); break;
    case kUsersGuideItem: OpenUsersGuide(); break;
    default: DoAppleMenuChoice(); break;
  }
}

int16_t QuitItem() {
  MenuRef file = GetMenuHandle(kFileMenu);
  return file ? CountMenuItems(file) : 0;
}

int32_t MenuKeyChoice(const EventRecord& event) {
  AdjustMenus();
  if (int32_t choice = MenuEvent(&event)) return choice;
  // Redo by the desktop's keys too, while the Undo item offers it.
  const auto key = static_cast<unsigned char>(event.message & charCodeMask);
  const bool shift = event.modifiers & shiftKey;
  const bool redoKey = (event.modifiers & cmdKey) && (((key == 'z' || key == 'Z') && shift) ||
                                                      ((key == 'y' || key == 'Y') && !shift));
  MenuRef edit = GetMenuHandle(kEditMenu);
  if (!redoKey || !edit || !IsMenuItemEnabled(edit, 0) || !IsMenuItemEnabled(edit, kUndoItem))
    return 0;
  Str255 text;
  GetMenuItemText(edit, kUndoItem, text);
  if (text.str().rfind("Redo", 0) != 0) return 0;
  return (static_cast<int32_t>(kEditMenu) << 16) | kUndoItem;
}

void HandleFileChoice(int16_t item) {
  if (item == QuitItem()) {
    DoQuitCmd();
    return;
  }
  const int n = gNumRecentFiles;
  switch (item) {
    case kNewItem:
      DoNewClassCmd();
      AdjustMenus();
      return;
    case kOpenItem:
      DoOpenCmd();
      AdjustMenus();
      return;
    case kCloseItem:
      DoCloseCmd();
      AdjustMenus();
      return;
    case kSaveItem: DoSaveCmd(); return;
    case kSaveAsItem: DoSaveAsCmd(); return;
    case kRevertItem: DoRevertCmd(); return;
    case kSaveToSpeakItem: DoSaveToSpeakCmd(); return;
    case kImportItem: DoImportCmd(); return;
    case kPageSetupItem: DoPageSetupCmd(); return;
    case kPrintItem: DoPrintCmd(); return;
    default: break;
  }
  if (item >= kFirstRecentItem && item < kFirstRecentItem + n) {
    DoOpenRecent(S16(item - kFirstRecentItem));
    AdjustMenus();
  } else if (n > 0 && item == kFirstRecentItem + n + 1) {
    DoOpenRecent(S16(n + 1));
    AdjustMenus();
  }
}

void HandleEditChoice(int16_t item) {
  switch (item) {
    case kUndoItem:
      CloseEdit(kEditCancel);
      CancelSelection();
      DoUndoCmd();
      SetColumns();
      CountScores();
      UpdateAttendance();
      ForceUpdate();
      break;
    case kCutItem: DoCutCmd(); break;
    case kCopyItem: DoCopyCmd(); break;
    case kPasteItem: DoPasteCmd(); break;
    case kDeleteItem: DoDeleteCmd(); break;
    case kFillDownItem: DoFillDownCmd(); break;
    case kFillAcrossItem: DoFillAcrossCmd(); break;
    case kRandomIDsItem: DoGenerateRandomIDs(); break;
    case kEmailServerItem: DoServerDialog(); break;
    case kEmailAddressesItem: DoEmailCmd(); break;
    case kCurveItem: DoCurveAssignCmd(); break;
    case kFootnotesItem: DoFootnotesDialog(); break;
    case kHeaderFooterItem: DoGlobalCommentsDialog(); break;
    case kCommentsItem: DoCommentsCmd(); break;
    default: break;
  }
}

void HandleGradebookChoice(int16_t item) {
  switch (item) {
    case kOptionsItem: DoOptionsDialog(); break;
    case kPasswordItem: DoNewPasswordDialog(); break;
    case kShowIDItem: DoShowID(); break;
    case kShowNameItem: DoShowName(); break;
    case kShowNameAndIDItem: DoShowNameAndID(); break;
    case kHolidaysItem: DoHideHolidays(); break;
    default:
      if (item >= kFirstTermItem && item < kFirstTermItem + kMaxTerms)
        DoTermCmd(S16(item - kFirstTermItem));
      break;
  }
}

void HandleReportsChoice(int16_t item) {
  switch (item) {
    case kGradebookViewItem: DoShowGradebook(); break;
    case kAttendanceViewItem: DoShowAttendance(); break;
    case kClassGradesItem: DoShowClassGrades(); break;
    case 6: DoShowClassSummary(); break;
    case 7: DoShowAttendanceTotals(); break;
    case 8: DoShowAttendanceSummary(); break;
    case 10: DoShowStudentScores(); break;
    case 11: DoShowStudentSummary(); break;
    case 12: DoShowStudentAttendance(); break;
    case 14: DoShowAssignmentScores(); break;
    case kMissingItem: DoShowMissingAssignments(); break;
    case kSeatingChartItem: DoShowSeatingChart(); break;
    case kAssignSeatsItem:
    case kReportOptionsItem:
      if (item == kAssignSeatsItem)
        DoAssignSeatsDialog();
      else
        DoReportsDialog();
      // Counts the pages of the view shown: a grid's or the chart's too, not a report's only.
      AdjustScrollBars();
      ForceUpdate();
      break;
    case kMultipleItem: DoShowMultipleClasses(); break;
    default:
      if (item >= kZoom100Item && item <= kZoom140Item) DoZoom(S16(item - kZoom100Item + 5));
      break;
  }
}

void HandleSortChoice(int16_t item) {
  switch (item) {
    case 1: DoSortByIDCmd(); break;
    case 2: DoSortByNameCmd(); break;
    case 3: DoSortByGradeCmd(); break;
    case 5: DoSortByDateCmd(); break;
    case 6: DoSortByAssignCmd(); break;
    case 7: DoSortByCategoryCmd(); break;
    default: break;
  }
}

// ---- Footnotes pop-up ---------------------------------------------------------------

void AdjustFootnotesMenu(int16_t row, int16_t column) {
  MenuRef menu = GetMenuHandle(kFootnotesMenu);
  if (!menu) return;
  const uint8_t mark = gFootnotes[row][gCurrentTerm][column];
  Enable(menu, 1, mark < kMaxFootnotes);
  for (int i = 0; i < kMaxFootnotes; i++) {
    const int16_t item = S16(3 + i);
    Str255 text;
    text.setC(std::to_string(i + 1).c_str());
    Append(text, PStr(". "));
    Append(text, gFootnoteText[i]);
    SetMenuItemText(menu, item, text);
    Enable(menu, item, !gFootnoteText[i].empty());
    CheckMenuItem(menu, item, mark == i);
  }
}

void HandleFootnotesChoice(int16_t item, int16_t row, int16_t column) {
  uint8_t& mark = gFootnotes[row][gCurrentTerm][column];
  if (item == 1) {
    SetUndoStudent(kUndoStudentEdit, row);
    mark = kNoMark;
  } else if (item >= 3 && item < 3 + kMaxFootnotes) {
    if (mark == item - 3) return;
    SetUndoStudent(kUndoStudentEdit, row);
    mark = static_cast<uint8_t>(item - 3);
  } else {
    return;
  }
  UpdateScore(row, column);
  SetChanged(1);
}

void PopUpFootnotes(Point where, int16_t row, int16_t column) {
  if (row < 0 || row >= kMaxStudents || column < 0 || column >= kMaxAssignments) return;
  MenuRef menu = GetMenuHandle(kFootnotesMenu);
  if (!menu) return;
  AdjustFootnotesMenu(row, column);
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleFootnotesChoice(static_cast<int16_t>(choice & 0xFFFF), row, column);
}

// ---- Recent assignments pop-up ------------------------------------------------------

void AdjustRecentAssignsMenu() {
  MenuRef menu = GetMenuHandle(kRecentAssignsMenu);
  if (!menu) return;
  const int n = std::max<int>(0, std::min<int>(gNumRecentAssigns, kMaxRecentAssigns));
  while (CountMenuItems(menu) > n) DeleteMenuItem(menu, CountMenuItems(menu));
  while (CountMenuItems(menu) < n) AppendMenuItemText(menu, PStr("assignment"));
  for (int i = 0; i < n; i++)
    SetMenuItemText(menu, S16(i + 1), gRecentAssigns[i].assignment.name);
}

void HandleRecentAssignsChoice(int16_t item, int16_t column) {
  const int n = std::min<int>(gNumRecentAssigns, kMaxRecentAssigns);
  if (item < 1 || item > n || column < 0 || column >= kMaxAssignments) return;
  const int t = Term();
  SetUndoAssignment(kUndoAssignmentEdit, column);
  const AssignmentRecord& entry = gRecentAssigns[item - 1].assignment;
  AssignmentRecord& rec = gAssignments[t][column];
  rec.name.set(entry.name);
  rec.category = entry.category;
  rec.points = entry.points;
  gAssignDates[t][column] = gLastAssignDate;
  SetChanged(1);
  // The column's scores now count with other points and another category.
  FlushAll();
  ForceUpdate();
  if (!gStudents[0].name.empty()) EditScore(0, column);
}

void PopUpRecentAssigns(Point where, int16_t column) {
  if (gNumRecentAssigns <= 0 || column < 0 || column >= kMaxAssignments) return;
  MenuRef menu = GetMenuHandle(kRecentAssignsMenu);
  if (!menu) return;
  AdjustRecentAssignsMenu();
  const int32_t choice = PopUpMenuSelect(menu, S16(where.v - 8), S16(where.h - 32), 1);
  if (choice) HandleRecentAssignsChoice(static_cast<int16_t>(choice & 0xFFFF), column);
}
