// The layout of the class options dialog, its six panels and their pop-up menus. Only
// the item numbers are fixed; places and texts are ours. Labels fill the numbers the
// panels leave free.
#include <vector>

#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/dialogs/options_dialog.h"

namespace {

constexpr int kWidth = 700;
constexpr int kHeight = 530;
constexpr int kEditHeight = 22;
constexpr int kLineHeight = 18;
constexpr int kPopUpHeight = 20;

Rect At(int left, int top, int width, int height) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left),
              static_cast<int16_t>(top + height), static_cast<int16_t>(left + width)};
}

DialogItemIndex N(int item) { return static_cast<DialogItemIndex>(item); }

DialogItemTemplate Label(int item, int left, int top, int width, const char* text,
                         Style face = normal) {
  return StaticTextItem(N(item), At(left, top + 2, width, kLineHeight), text, face);
}
DialogItemTemplate Edit(int item, int left, int top, int width) {
  return EditTextItem(N(item), At(left, top, width, kEditHeight));
}
DialogItemTemplate Radio(int item, int left, int top, int width, const char* title) {
  return RadioButtonItem(N(item), At(left, top, width, kLineHeight), title);
}
DialogItemTemplate PopUp(int item, int left, int top, int width, int16_t menu,
                         const char* title = "", int16_t titleWidth = 0) {
  return PopUpItem(N(item), At(left, top, width, kPopUpHeight), title, titleWidth, menu);
}

void MakeMenu(int16_t id, std::vector<const char*> items) {
  if (GetMenuHandle(id)) return;
  MenuRef menu = NewMenu(id, PStr(""));
  for (const char* item : items) AppendMenuItemText(menu, PStr(item));
  InsertMenu(menu, -1);
}

// Items 4 on of every panel, numbered by their place; the list must be complete.
void Register(int16_t id, std::vector<DialogItemTemplate> items) {
  std::vector<DialogItemTemplate> ordered(items.size());
  for (DialogItemTemplate& t : items) ordered[static_cast<size_t>(t.item - 4)] = std::move(t);
  RegisterItemList(id, std::move(ordered));
}

void SchoolYear() {
  std::vector<DialogItemTemplate> items;
  items.push_back(PopUp(4, 40, 52, 330, kTermsMenu, "School year of:", 120));
  for (int t = 0; t < kMaxTerms; t++) {
    const int y = 112 + 30 * t;
    items.push_back(Edit(5 + 3 * t, 40, y, 180));
    items.push_back(ClockItem(N(6 + 3 * t), At(240, y, 140, kEditHeight)));
    items.push_back(ClockItem(N(7 + 3 * t), At(410, y, 140, kEditHeight)));
    items.push_back(Label(23 + t, 388, y, 16, "-"));
  }
  items.push_back(Label(29, 40, 302, 300, "School days:", bold));
  static const char* const kDays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
  for (int d = 0; d < 7; d++) {
    items.push_back(CheckBoxItem(N(30 + d), At(60 + 130 * (d % 4), 328 + 24 * (d / 4), 124,
                                               kLineHeight),
                                 kDays[d]));
  }
  items.push_back(Label(37, 40, 88, 180, "Term name"));
  items.push_back(Label(38, 240, 88, 140, "First day"));
  items.push_back(Label(39, 410, 88, 140, "Last day"));
  items.push_back(StaticTextItem(40, At(40, 392, 560, 36),
                                 "A school year may not have more than 360 days, counting "
                                 "weekends and vacations."));
  Register(kSchoolYearPanel, std::move(items));
}

void Categories() {
  std::vector<DialogItemTemplate> items;
  for (int k = 0; k < 10; k++) {
    const int y = 72 + 26 * k;
    items.push_back(Edit(4 + 2 * k, 40, y, 210));
    items.push_back(Edit(5 + 2 * k, 264, y, 60));
    items.push_back(PopUp(34 + k, 342, y + 1, 170, kDropMenu));
  }
  items.push_back(Edit(24, 40, 72 + 26 * 10, 210));
  items.push_back(Edit(25, 264, 72 + 26 * 10, 60));
  items.push_back(Label(26, 40, 376, 170, "Grade this term by:", bold));
  items.push_back(Radio(27, 210, 376, 200, "Weighted categories"));
  items.push_back(Radio(28, 420, 376, 180, "Total points"));
  items.push_back(Label(29, 40, 50, 210, "Category"));
  items.push_back(Label(30, 264, 50, 70, "Weight"));
  items.push_back(Label(31, 342, 50, 170, "Lowest scores dropped"));
  items.push_back(StaticTextItem(32, At(40, 408, 560, 36),
                                 "Weights are whole numbers from 0 to 100. A weight of NG "
                                 "keeps a category out of the grade."));
  items.push_back(Label(33, 516, 50, 100, "(12 in all)"));
  Register(kCategoriesPanel, std::move(items));
}

void Grading() {
  std::vector<DialogItemTemplate> items;
  items.push_back(Label(4, 40, 52, 300, "Final exams", bold));
  items.push_back(Label(5, 60, 82, 230, "Final exam percent of the grade:"));
  items.push_back(Edit(6, 296, 80, 70));
  items.push_back(Label(7, 60, 116, 300, "Final exams count in"));
  items.push_back(Radio(8, 80, 140, 300, "the term grade"));
  items.push_back(Radio(9, 80, 164, 300, "the semester grade"));
  items.push_back(Radio(10, 80, 188, 300, "the final grade"));
  items.push_back(Radio(11, 80, 262, 400, "Whole percents (87.5% shows as 88%)"));
  items.push_back(Radio(12, 80, 286, 400, "Tenths of a percent (87.5%)"));
  items.push_back(Label(13, 40, 234, 300, "Term grades are shown in", bold));
  items.push_back(Label(14, 372, 82, 30, "%"));
  Register(kGradingPanel, std::move(items));
}

void Cutoffs() {
  std::vector<DialogItemTemplate> items;
  for (int j = 0; j < 12; j++) {
    const int left = j < 6 ? 60 : 330, y = 72 + 28 * (j % 6);
    items.push_back(Edit(4 + 2 * j, left, y, 60));
    items.push_back(Edit(5 + 2 * j, left + 74, y, 70));
  }
  items.push_back(Edit(28, 330, 72 + 28 * 6, 60));
  items.push_back(Label(29, 408, 72 + 28 * 6, 70, "0.0%"));
  items.push_back(Label(30, 60, 50, 70, "Grade"));
  items.push_back(Label(31, 134, 50, 120, "From percent"));
  items.push_back(Label(32, 330, 50, 70, "Grade"));
  items.push_back(Label(33, 404, 50, 120, "From percent"));
  items.push_back(Label(34, 40, 302, 90, "Fill with:"));
  items.push_back(Label(35, 40, 338, 300, "Show in the gradebook and reports:", bold));
  items.push_back(ButtonItem(36, At(130, 300, 110, 20), "Standard"));
  items.push_back(ButtonItem(37, At(252, 300, 110, 20), "Pass/Fail"));
  items.push_back(ButtonItem(38, At(374, 300, 110, 20), "O/S/U"));
  items.push_back(StaticTextItem(39, At(40, 438, 560, 20),
                                 "Grades from the highest down; leave unused pairs blank."));
  items.push_back(Radio(40, 60, 362, 300, "Letter grades and percents"));
  items.push_back(Radio(41, 60, 386, 300, "Percents only"));
  items.push_back(Radio(42, 60, 410, 300, "Letter grades only"));
  Register(kCutoffsPanel, std::move(items));
}

void SpecialScores() {
  std::vector<DialogItemTemplate> items;
  for (int k = 0; k < kMaxSpecialScores; k++) {
    const int y = 72 + 28 * k;
    items.push_back(Edit(4 + k, 60, y, 80));
    items.push_back(PopUp(12 + k, 160, y + 1, 300, kScoreKindMenu));
  }
  items.push_back(Label(20, 60, 50, 80, "Score"));
  items.push_back(Label(21, 160, 50, 300, "Counts as"));
  items.push_back(StaticTextItem(22, At(40, 310, 560, 36),
                                 "Type a special score into a score cell in place of a number. "
                                 "Names are at most 4 characters."));
  Register(kScoresPanel, std::move(items));
}

void Attendance() {
  std::vector<DialogItemTemplate> items;
  for (int k = 0; k < kMaxCodes; k++) {
    const int y = 72 + 26 * k;
    items.push_back(Edit(4 + k, 60, y, 70));
    items.push_back(PopUp(12 + k, 150, y + 1, 240, kCodeKindMenu));
  }
  items.push_back(Label(20, 60, 50, 80, "Code"));
  items.push_back(Label(21, 150, 50, 240, "Counts as"));
  items.push_back(Label(22, 410, 74, 200, "Codes are at most"));
  items.push_back(Label(23, 410, 92, 200, "4 characters."));
  items.push_back(CheckBoxItem(24, At(40, 296, 400, kLineHeight),
                               "Absences lower the term grades"));
  items.push_back(Label(25, 60, 326, 260, "Absences allowed:"));
  items.push_back(Label(26, 60, 356, 260, "Percent off for each further absence:"));
  items.push_back(Label(27, 60, 386, 260, "Tardies that make an absence:"));
  items.push_back(Edit(28, 330, 324, 70));
  items.push_back(Edit(29, 330, 354, 70));
  items.push_back(Edit(30, 330, 384, 70));
  items.push_back(Label(31, 408, 386, 200, "(0: tardies never count)"));
  Register(kAttendancePanel, std::move(items));
}

}  // namespace

void RegisterOptionsLayouts() {
  MakeMenu(kTermsMenu, {"1 term", "2 semesters", "3 trimesters", "4 quarters", "6 terms"});
  MakeMenu(kDropMenu, {"None", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"});
  MakeMenu(kScoreKindMenu, {"Excused (not counted)", "Zero, and missing",
                            "Not counted, but missing", "Full credit"});
  MakeMenu(kCodeKindMenu, {"Tardy", "Absence that counts 0", "Absence", "Half absence"});
  DialogTemplate t;
  t.bounds = At(100, 100, kWidth, kHeight);
  t.windowClass = kMovableModalWindowClass;
  t.title = "Class Options";
  const int buttonTop = kHeight - 20 - 20;
  t.items = {ButtonItem(1, At(kWidth - 24 - 82, buttonTop, 82, 20), "OK"),
             ButtonItem(2, At(kWidth - 24 - 2 * 82 - 14, buttonTop, 82, 20), "Cancel"),
             TabsItem(3, At(14, 12, kWidth - 28, kHeight - 72),
                      {"School Year", "Categories", "Grading", "Letter Grades", "Special Scores",
                       "Attendance"})};
  RegisterDialogTemplate(kOptionsDialogID, std::move(t));
  SchoolYear();
  Categories();
  Grading();
  Cutoffs();
  SpecialScores();
  Attendance();
}
