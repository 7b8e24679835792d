// The menu bar and the pop-up menus: their numbers and items, the enabling before
// every use, and the dispatch of a choice to its command.
#pragma once

#include <cstdint>

#include "marktally/toolbox/events.h"
#include "marktally/toolbox/qdtypes.h"

// MenuID: the menu numbers; a choice is (menu << 16) | item, 0 for none.
enum MenuID : int16_t {
  kHelpMenu = 128,
  kFileMenu = 129,
  kEditMenu = 130,
  kGradebookMenu = 131,
  kReportsMenu = 132,
  kStudentsMenu = 133,
  kAssignmentsMenu = 134,
  kStudentNamesMenu = 135,
  kFootnotesMenu = 136,
  kCodesMenu = 140,
  kSeatsMenu = 141,
  kRecentAssignsMenu = 142,
  kMultipleMenu = 145,
  kMissingMenu = 146,
  kExportMenu = 148,
  kEmailReportsMenu = 149,
  kSortMenu = 150,
};

// Items of the menu bar's menus that the program refers to by number.
enum : int16_t {
  kUsersGuideItem = 1,
  kAboutItem = 3,

  kNewItem = 1,
  kOpenItem = 2,
  kCloseItem = 4,
  kSaveItem = 5,
  kSaveAsItem = 6,
  kSaveToSpeakItem = 7,
  kRevertItem = 8,
  kImportItem = 10,
  kExportItem = 11,
  kEmailReportsItem = 12,
  kPageSetupItem = 14,
  kPrintItem = 15,
  kFirstRecentItem = 17,

  kUndoItem = 1,
  kCutItem = 3,
  kCopyItem = 4,
  kPasteItem = 5,
  kDeleteItem = 6,
  kFillDownItem = 8,
  kFillAcrossItem = 9,
  kCurveItem = 11,
  kSortItem = 12,
  kEmailServerItem = 14,
  kEmailAddressesItem = 15,
  kFootnotesItem = 17,
  kHeaderFooterItem = 18,
  kCommentsItem = 19,
  kRandomIDsItem = 21,

  kOptionsItem = 1,
  kPasswordItem = 2,
  kShowIDItem = 4,
  kShowNameItem = 5,
  kShowNameAndIDItem = 6,
  kHolidaysItem = 8,
  kFirstTermItem = 10,

  kGradebookViewItem = 1,
  kAttendanceViewItem = 2,
  kClassGradesItem = 5,
  kMissingItem = 15,
  kSeatingChartItem = 3,
  kZoom100Item = 17,
  kZoom140Item = 19,
  kAssignSeatsItem = 21,
  kReportOptionsItem = 22,
  kMultipleItem = 23,
};

void SetupMenus();
void AdjustMenus();
void AdjustFileMenu();
void AdjustExportMenu();
void AdjustEmailReportsMenu();
void AdjustRecentFilesMenu();
void AdjustEditMenu();
void AdjustSortMenu();
void AdjustGradebookMenu();
void AdjustReportsMenu();

void HandleMenuChoice(int32_t choice);
void HandleAppleChoice(int16_t item);
void HandleFileChoice(int16_t item);
// The last item of the File menu, after the recent files.
int16_t QuitItem();
// The menu choice of a key: command keys, function keys and the desktop's Redo keys.
int32_t MenuKeyChoice(const EventRecord& event);
void HandleEditChoice(int16_t item);
void HandleGradebookChoice(int16_t item);
void HandleReportsChoice(int16_t item);
void HandleSortChoice(int16_t item);

// The footnote pop-up of a score: where is global, row and column of the current term.
void PopUpFootnotes(Point where, int16_t row, int16_t column);
void AdjustFootnotesMenu(int16_t row, int16_t column);
void HandleFootnotesChoice(int16_t item, int16_t row, int16_t column);

// The recent-assignments pop-up of a column's title: the chosen entry fills the column.
void PopUpRecentAssigns(Point where, int16_t column);
void AdjustRecentAssignsMenu();
void HandleRecentAssignsChoice(int16_t item, int16_t column);
