// The class options dialog: the school year, the categories and grading method of the
// current term, final exams and rounding, letter grades, special scores and attendance,
// each on a panel of one tabbed dialog. The panels work on copies of the class's
// settings; OK stores the whole set in one step with one undo snapshot.
#pragma once

#include <cstdint>

#include "marktally/model/records.h"
#include "marktally/toolbox/dialogs.h"

// Panel item lists, by tab 1..6.
enum OptionsPanel : int16_t {
  kAttendancePanel = 128,
  kSchoolYearPanel = 129,
  kCategoriesPanel = 130,
  kCutoffsPanel = 131,
  kGradingPanel = 132,
  kScoresPanel = 148,
};

// The pop-up menus of the panels.
constexpr int16_t kTermsMenu = 171;      // 1, 2, 3, 4 or 6 terms
constexpr int16_t kDropMenu = 172;       // drop none .. 12 lowest scores
constexpr int16_t kScoreKindMenu = 173;  // kinds 1..4 of a special score
constexpr int16_t kCodeKindMenu = 174;   // tardy, absence counting 0, absence, half absence

extern DialogRef gOptionsDialog;
extern int16_t gPanel;           // the panel shown, 0 before the first
extern int16_t gTermsPopUpItem;  // the terms pop-up's last accepted item

// The working copies, filled when the dialog opens.
extern ClassRecord gNewClass;
extern uint16_t gNewGrading;
extern AttendanceGradeRecord gNewAttendGrade;
extern CategoryRecord gNewCategories[kMaxCategories];
extern uint8_t gNewSchoolWeek[7];
extern Str21 gNewTermNames[kMaxTerms];
extern TermDatesRecord gNewTermDates[kMaxTerms];
extern Str4 gNewLetterGrades[kMaxLetterGrades];
extern SpecialScoreRecord gNewScores[kMaxSpecialScores];
extern CodeRecord gNewCodes[kMaxCodes];
extern uint16_t gNewCutoffs[kMaxCutoffs];

// Start-up makes dialog 143 and its six panels; exit lets them go.
void SetupOptions();
void CleanupOptions();
void RegisterOptionsLayouts();

void DoOptionsDialog();
void CopyOptions();
bool ShowPanel();
bool ClosePanel();
void SetupPanel();
void HandlePanelClicks(DialogItemIndex item);

void SetupSchoolYearPanel();
bool ValidSchoolYearPanel();
void CloseSchoolYearPanel();
void HandleSchoolYearPanel(DialogItemIndex item);
void SetupCategoriesPanel();
bool ValidCategoriesPanel();
void CloseCategoriesPanel();
void HandleCategoriesPanel(DialogItemIndex item);
void SetupGradingPanel();
bool ValidGradingPanel();
void CloseGradingPanel();
void HandleGradingPanel(DialogItemIndex item);
void SetupCutoffsPanel();
bool ValidCutoffsPanel();
void CloseCutoffsPanel();
void HandleCutoffsPanel(DialogItemIndex item);
void SetupScoresPanel();
bool ValidScoresPanel();
void CloseScoresPanel();
void SetupAttendancePanel();
bool ValidAttendancePanel();
void CloseAttendancePanel();
void HandleAttendancePanel(DialogItemIndex item);

void SetStandardGrading();
void SetPassFailGrading();
void SetOSUGrading();
void UpdateTermDates();
// True when the number of terms may go down to newLastTerm (asks when assignments
// would be left out of the school year).
bool VerifyFewerTerms(int16_t newLastTerm);
void NoteUnusedExams();
void AdjustAttendGrade();

// Stores the working copies into the class (after the undo snapshot).
void SaveOptions();
// Moves the holidays and every student's marks so that each stays on its calendar date
// when the first day of the school year moves from oldStart to newStart.
void AdjustAttendance(uint32_t oldStart, uint32_t newStart);
