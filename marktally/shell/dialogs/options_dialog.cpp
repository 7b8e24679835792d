#include "marktally/shell/dialogs/options_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "marktally/model/accessors.h"
#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/common.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/commands/view_commands.h"

DialogRef gOptionsDialog = nullptr;
int16_t gPanel = 0;
int16_t gTermsPopUpItem = 0;

ClassRecord gNewClass{};
uint16_t gNewGrading = 0;
AttendanceGradeRecord gNewAttendGrade{};
CategoryRecord gNewCategories[kMaxCategories]{};
uint8_t gNewSchoolWeek[7]{};
Str21 gNewTermNames[kMaxTerms]{};
TermDatesRecord gNewTermDates[kMaxTerms]{};
Str4 gNewLetterGrades[kMaxLetterGrades]{};
SpecialScoreRecord gNewScores[kMaxSpecialScores]{};
CodeRecord gNewCodes[kMaxCodes]{};
uint16_t gNewCutoffs[kMaxCutoffs]{};

namespace {

enum : DialogItemIndex { kOK = 1, kCancel = 2, kTabs = 3, kFixedItems = 3 };

// School year.
enum : DialogItemIndex { kTermsPopUp = 4, kFirstTermName = 5, kFirstDash = 23, kMonday = 30 };
// Categories.
enum : DialogItemIndex {
  kFirstCategory = 4,
  kExtraCreditName = 24,
  kExtraCreditWeight = 25,
  kWeighted = 27,
  kTotalPoints = 28,
  kFirstDrop = 34,
};
// Grading.
enum : DialogItemIndex { kExamPercent = 6, kTermScope = 8, kWholePercent = 11, kTenths = 12 };
// Letter grades.
enum : DialogItemIndex {
  kFirstPair = 4,
  kFailingGrade = 28,
  kZeroPercent = 29,
  kStandard = 36,
  kPassFail = 37,
  kOSU = 38,
  kLettersAndPercents = 40,
  kPercentsOnly = 41,
  kLettersOnly = 42,
};
// Special scores and attendance.
enum : DialogItemIndex {
  kFirstName = 4,
  kFirstKind = 12,
  kAttendanceGrade = 24,
  kAllowed = 28,
  kPercentOff = 29,
  kTardies = 30,
};

constexpr int kPairs = 12;
constexpr uint16_t kNotValid = 0xFFFD;  // what the number parsers answer for a bad text
constexpr int64_t kDay = 86400;
constexpr int kMaxTotalDrops = 12;
constexpr int kMaxTardies = 255;  // the byte of the attendance-grade flags that holds it

DialogItemIndex I(int item) { return static_cast<DialogItemIndex>(item); }

const int16_t kPanelOfTab[7] = {0,
                                kSchoolYearPanel,
                                kCategoriesPanel,
                                kGradingPanel,
                                kCutoffsPanel,
                                kScoresPanel,
                                kAttendancePanel};

int16_t TabOfPanel(int16_t panel) {
  for (int16_t tab = 1; tab <= 6; tab++)
    if (kPanelOfTab[tab] == panel) return tab;
  return 1;
}

int16_t Value(DialogItemIndex item) { return ItemValue(gOptionsDialog, item); }
void SetValue(DialogItemIndex item, int v) { SetItemValue(gOptionsDialog, item, S16(v)); }

int WorkingLastTerm() { return std::clamp<int>(gNewClass.lastTerm, 0, kMaxTerms - 1); }

// The terms pop-up offers 1, 2, 3, 4 and 6 terms.
int16_t TermsItemFor(int lastTerm) { return S16(lastTerm <= 3 ? lastTerm + 1 : 5); }
int16_t LastTermFor(int item) { return S16(item >= 1 && item <= 4 ? item - 1 : 5); }

void Text(DialogItemIndex item, Str255& text) { GetEditText(gOptionsDialog, item, text); }
void Stripped(DialogItemIndex item, Str255& text) {
  Str255 raw{};
  Text(item, raw);
  StripBlanks(raw, text);
}
void Put(DialogItemIndex item, ConstStringPtr text) { SetEditText(gOptionsDialog, item, text); }
void PutC(DialogItemIndex item, const char* text) { Put(item, PStr(text)); }
void PutNumber(DialogItemIndex item, int32_t tenths, bool decimal) {
  Str255 text{};
  if (decimal)
    DecimalToString(tenths, text);
  else
    ValueToString(tenths, text);
  Put(item, text);
}
void Dim(DialogItemIndex item, bool dimmed) {
  if (dimmed)
    ControlOff(gOptionsDialog, item);
  else
    ControlOn(gOptionsDialog, item);
}

// A stop alert that refuses a field, with the focus back on it (0: no field).
bool Refuse(const char* message, const char* explanation, DialogItemIndex focus) {
  InitCursor();
  ShowModelAlert(kStopAlert, kAlertOK, PStr(message), PStr(explanation));
  if (focus == 0) return false;
  DialogItemType kind = 0;
  Handle handle = nullptr;
  Rect box{};
  GetDialogItem(gOptionsDialog, focus, &kind, &handle, &box);
  if (kind == kClockDialogItem)
    SetDateFocus(gOptionsDialog, focus);
  else
    SetEditFocus(gOptionsDialog, focus);
  return false;
}

void Warn(const char* message, const char* explanation) {
  InitCursor();
  ShowModelAlert(kCautionAlert, kAlertOK, PStr(message), PStr(explanation));
}

void Redraw() { DrawDialog(gOptionsDialog); }

// Whole numbers: digits only, empty counting as 0; kNotValid above the limit.
uint16_t WholeNumber(DialogItemIndex item, uint16_t limit) {
  Str255 text{};
  Text(item, text);
  uint16_t value = 0;
  StringToPoints(text, limit, value);
  return value;
}

// Decimals in tenths, blank counting as 0; kNotValid above the limit or not a number.
uint16_t Decimal(DialogItemIndex item, int16_t limit) {
  Str255 text{};
  Text(item, text);
  uint16_t value = 0;
  StringToPercent(text, limit, value);
  return value == kNone ? 0 : value;
}

bool IsBlank(DialogItemIndex item) {
  Str255 text{};
  Stripped(item, text);
  return text.empty();
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The shapes the score parsers read as numbers, percents and ratios, whatever their
// size: a name the parsers would refuse only for being too large ("4000") still reads
// as a number to the teacher.
bool NumberShape(const unsigned char* p, int n) {
  int i = 0;
  while (i < n && IsDigit(p[i])) i++;
  if (i == n) return true;
  if (p[i] != '.' && p[i] != ',') return false;
  for (i++; i < n; i++)
    if (!IsDigit(p[i])) return false;
  return true;
}
bool IsNumberText(ConstStringPtr s) { return NumberShape(s + 1, s[0]); }
bool IsPercentText(ConstStringPtr s) {
  const int n = s[0];
  if (n == 0 || s[n] != '%') return false;
  const int skip = n >= 2 && s[1] == '-' ? 1 : 0;
  return NumberShape(s + 1 + skip, n - 1 - skip);
}
bool IsRatioText(ConstStringPtr s) {
  const int n = s[0];
  int i = 1;
  while (i <= n && IsDigit(s[i])) i++;
  if (i > n || s[i] != '/') return false;
  if (++i > n) return false;
  for (; i <= n; i++)
    if (!IsDigit(s[i])) return false;
  return true;
}

// Texts of at most n characters after their blanks are stripped.
template <int N>
void StoreName(DialogItemIndex item, Str<N>& name, int n) {
  Str255 text{};
  Stripped(item, text);
  name.setBytes(text.text(), static_cast<size_t>(std::min(text.length(), n)));
}

// ---- Attendance code kinds --------------------------------------------------------
int16_t CodeKindItem(const CodeRecord& code) {
  if (code.value == 0) return 2;
  if (code.kind == 2) return 1;
  if (code.kind == 1 && code.value == 5) return 4;
  return 3;
}
void SetCodeKind(int16_t item, CodeRecord& code) {
  switch (item) {
    case 1: code.kind = 2; code.value = 10; break;
    case 2: code.kind = 1; code.value = 0; break;
    case 4: code.kind = 1; code.value = 5; break;
    default: code.kind = 1; code.value = 10; break;
  }
}

// Terms 0..last shown and editable, the others empty and dimmed.
void ShowTerms(int last) {
  for (int t = 0; t < kMaxTerms; t++) {
    const DialogItemIndex name = I(kFirstTermName + 3 * t);
    // Terms outside the year show the year's last day rather than a date of 1904.
    const TermDatesRecord& dates = t <= last ? gNewTermDates[t] : gNewTermDates[last];
    SetItemDate(gOptionsDialog, I(name + 1), t <= last ? dates.start : dates.end);
    SetItemDate(gOptionsDialog, I(name + 2), dates.end);
    SetStaticText(gOptionsDialog, I(kFirstDash + t), PStr("-"));
    if (t > last) PutC(name, "");
    for (DialogItemIndex item : {name, I(name + 1), I(name + 2), I(kFirstDash + t)})
      Dim(item, t > last);
  }
}

}  // namespace

// ---- Set-up and the modal loop --------------------------------------------------------

void SetupOptions() {
  RegisterOptionsLayouts();
  gOptionsDialog = GetNewDialog(kOptionsDialogID, nullptr, nullptr);
  if (!gOptionsDialog) return;
  SetDialogDefaultItem(gOptionsDialog, kOK);
  SetDialogCancelItem(gOptionsDialog, kCancel);
}

void CleanupOptions() {
  if (gOptionsDialog) DisposeDialog(gOptionsDialog);
  gOptionsDialog = nullptr;
  gPanel = 0;
}

void CopyOptions() {
  const int t = CurrentTermIndex();
  gNewClass = gClass;
  gNewGrading = gGrading[t];
  gNewAttendGrade = gAttendGrade;
  std::copy(gCategories[t], gCategories[t] + kMaxCategories, gNewCategories);
  std::copy(gSchoolWeek, gSchoolWeek + 7, gNewSchoolWeek);
  std::copy(gTermNames, gTermNames + kMaxTerms, gNewTermNames);
  std::copy(gTermDates, gTermDates + kMaxTerms, gNewTermDates);
  std::copy(gLetterGrades, gLetterGrades + kMaxLetterGrades, gNewLetterGrades);
  std::copy(gSpecialScores, gSpecialScores + kMaxSpecialScores, gNewScores);
  std::copy(gCodes, gCodes + kMaxCodes, gNewCodes);
  std::copy(gCutoffs, gCutoffs + kMaxCutoffs, gNewCutoffs);
}

void DoOptionsDialog() {
  if (!gOptionsDialog || !CloseEditor(false)) return;
  CopyOptions();
  const int16_t lastTerm = gClass.lastTerm;
  gPanel = 0;
  InitCursor();
  SetValue(kTabs, 1);
  ShowPanel();
  ModalLoop loop;
  loop.valid = [] { return ClosePanel(); };
  loop.onItem = [](DialogItemIndex item) {
    if (item == kTabs)
      ShowPanel();
    else if (item > kFixedItems)
      HandlePanelClicks(item);
  };
  if (!RunModal(gOptionsDialog, loop)) return;
  SetUndoOptions();
  SaveOptions();
  SetColumns();
  ForceUpdate();
  if (gClass.lastTerm != lastTerm) CheckCurrentTerm();
}

bool ShowPanel() {
  const int16_t tab = std::clamp<int16_t>(Value(kTabs), 1, 6);
  if (!ClosePanel()) return false;
  gPanel = kPanelOfTab[tab];
  ClearKeyboardFocus(GetDialogWindow(gOptionsDialog));
  ShortenDITL(gOptionsDialog, I(CountDITL(gOptionsDialog) - kFixedItems));
  AppendDialogItemList(gOptionsDialog, gPanel, overlayDITL);
  SetupPanel();
  Redraw();
  return true;
}

bool ClosePanel() {
  if (gPanel == 0) return true;
  // While an alert about a bad value is up, the panel shows under its own tab, not
  // under the one clicked; the click takes effect once the panel is valid.
  const int clicked = Value(kTabs);
  if (clicked != TabOfPanel(gPanel)) {
    SetValue(kTabs, TabOfPanel(gPanel));
    Redraw();
  }
  bool valid = true;
  switch (gPanel) {
    case kSchoolYearPanel:
      if ((valid = ValidSchoolYearPanel())) CloseSchoolYearPanel();
      break;
    case kCategoriesPanel:
      if ((valid = ValidCategoriesPanel())) CloseCategoriesPanel();
      break;
    case kGradingPanel:
      if ((valid = ValidGradingPanel())) CloseGradingPanel();
      break;
    case kCutoffsPanel:
      if ((valid = ValidCutoffsPanel())) CloseCutoffsPanel();
      break;
    case kScoresPanel:
      if ((valid = ValidScoresPanel())) CloseScoresPanel();
      break;
    case kAttendancePanel:
      if ((valid = ValidAttendancePanel())) CloseAttendancePanel();
      break;
    default:
      return true;
  }
  if (valid) SetValue(kTabs, clicked);
  return valid;
}

void SetupPanel() {
  switch (gPanel) {
    case kSchoolYearPanel: SetupSchoolYearPanel(); break;
    case kCategoriesPanel: SetupCategoriesPanel(); break;
    case kGradingPanel: SetupGradingPanel(); break;
    case kCutoffsPanel: SetupCutoffsPanel(); break;
    case kScoresPanel: SetupScoresPanel(); break;
    case kAttendancePanel: SetupAttendancePanel(); break;
    default: break;
  }
}

void HandlePanelClicks(DialogItemIndex item) {
  switch (gPanel) {
    case kSchoolYearPanel: HandleSchoolYearPanel(item); break;
    case kCategoriesPanel: HandleCategoriesPanel(item); break;
    case kGradingPanel: HandleGradingPanel(item); break;
    case kCutoffsPanel: HandleCutoffsPanel(item); break;
    case kAttendancePanel: HandleAttendancePanel(item); break;
    default: break;
  }
}

// ---- School year ----------------------------------------------------------------------

void SetupSchoolYearPanel() {
  const int last = WorkingLastTerm();
  SetValue(kTermsPopUp, TermsItemFor(last));
  // Five terms have no item of their own: any choice, "6 terms" included, is a change.
  gTermsPopUpItem = last == 4 ? 0 : TermsItemFor(last);
  for (int t = 0; t <= last; t++) Put(I(kFirstTermName + 3 * t), gNewTermNames[t]);
  ShowTerms(last);
  for (int d = 0; d < 7; d++) SetCheckBox(gOptionsDialog, I(kMonday + d), gNewSchoolWeek[d] == 1);
  SetEditFocus(gOptionsDialog, kFirstTermName);
  Redraw();
}

bool ValidSchoolYearPanel() {
  const int last = WorkingLastTerm();
  for (int t = 0; t <= last; t++) {
    if (IsBlank(I(kFirstTermName + 3 * t)))
      return Refuse("Invalid term name", "Term names cannot be left blank.",
                    I(kFirstTermName + 3 * t));
  }
  uint32_t start[kMaxTerms]{}, end[kMaxTerms]{};
  for (int t = 0; t <= last; t++) {
    const DialogItemIndex first = I(kFirstTermName + 3 * t + 1);
    GetItemDate(gOptionsDialog, first, start[t]);
    GetItemDate(gOptionsDialog, I(first + 1), end[t]);
    if (t > 0 && start[t] <= end[t - 1])
      return Refuse("Invalid term date", "This date must be after the end of the previous term.",
                    first);
    if (end[t] <= start[t])
      return Refuse("Invalid term date", "This date must be after the beginning of this term.",
                    I(first + 1));
  }
  if ((static_cast<int64_t>(end[last]) - start[0]) / kDay >= kMaxDays)
    return Refuse("School year is too long",
                  "Your school year may not have more than 360 days, including weekends and "
                  "vacations.",
                  I(kFirstTermName + 3 * last + 2));
  bool anyDay = false;
  for (int d = 0; d < 7; d++) anyDay = anyDay || GetCheckBox(gOptionsDialog, I(kMonday + d));
  if (!anyDay)
    return Refuse("School week has no days", "You must have at least one day in your school week.",
                  0);
  return true;
}

void CloseSchoolYearPanel() {
  // The number of terms is the working copy's: the pop-up's choices reach it through
  // UpdateTermDates, and a class of five terms keeps them until the teacher picks one.
  const int last = WorkingLastTerm();
  for (int t = 0; t <= last; t++) {
    const DialogItemIndex name = I(kFirstTermName + 3 * t);
    StoreName(name, gNewTermNames[t], Str21::kCapacity);
    GetItemDate(gOptionsDialog, I(name + 1), gNewTermDates[t].start);
    GetItemDate(gOptionsDialog, I(name + 2), gNewTermDates[t].end);
  }
  for (int d = 0; d < 7; d++)
    gNewSchoolWeek[d] = GetCheckBox(gOptionsDialog, I(kMonday + d)) ? 1 : 0;
}

void HandleSchoolYearPanel(DialogItemIndex item) {
  if (item >= kMonday && item < kMonday + 7)
    SetCheckBox(gOptionsDialog, item, !GetCheckBox(gOptionsDialog, item));
  else if (item == kTermsPopUp)
    UpdateTermDates();
}

void UpdateTermDates() {
  const int16_t item = Value(kTermsPopUp);
  if (item == gTermsPopUpItem) return;
  const int16_t last = LastTermFor(item);
  if (!VerifyFewerTerms(last)) {
    SetValue(kTermsPopUp, TermsItemFor(WorkingLastTerm()));
    Redraw();
    return;
  }
  gNewClass.lastTerm = last;
  gTermsPopUpItem = item;
  NewTermDates(last, gNewTermDates);
  for (int t = 0; t <= last; t++) PutC(I(kFirstTermName + 3 * t), gDefaultTermNames[last][t]);
  ShowTerms(last);
  SetEditFocus(gOptionsDialog, kFirstTermName);
  Redraw();
}

bool VerifyFewerTerms(int16_t newLastTerm) {
  if (newLastTerm >= gNewClass.lastTerm) return true;
  bool named = false;
  const int classLast = LastTermIndex();
  for (int t = std::max(newLastTerm + 1, 0); t <= classLast && !named; t++) {
    for (int a = 0; a < kMaxAssignments && !named; a++)
      named = !gAssignments[t][a].name.empty();
  }
  if (named) {
    InitCursor();
    const int16_t answer = ShowModelAlert(
        kCautionAlert, kAlertYesNo, PStr("Fewer terms in your school year?"),
        PStr("One or more assignments are in terms that will no longer be part of your school "
             "year. These assignments will not be saved when you save this class. Are you sure "
             "you want to do this?"));
    if (answer != 1) return false;
  }
  // Only the working copy changes: the class and its current term wait for OK.
  gNewClass.lastTerm = newLastTerm;
  return true;
}

// ---- Categories -----------------------------------------------------------------------

void SetupCategoriesPanel() {
  for (int k = 0; k < 10; k++) {
    const CategoryRecord& c = gNewCategories[k];
    Put(I(kFirstCategory + 2 * k), c.name);
    const DialogItemIndex weight = I(kFirstCategory + 2 * k + 1);
    if (c.name.empty())
      PutC(weight, "");
    else if (c.weight == kNone)
      PutC(weight, "NG");
    else
      PutNumber(weight, static_cast<int32_t>(c.weight) * 10, false);
    SetValue(I(kFirstDrop + k), std::clamp<int>(c.drop, 0, kMaxDrops) + 1);
  }
  PutC(kExtraCreditName, "Extra Credit");
  Dim(kExtraCreditName, true);
  const uint16_t extra = gNewCategories[kExtraCreditCategory].weight;
  PutNumber(kExtraCreditWeight, extra == kNone ? 0 : static_cast<int32_t>(extra) * 10, false);
  SetRadioButton(gOptionsDialog, kWeighted, gNewGrading == 1);
  SetRadioButton(gOptionsDialog, kTotalPoints, gNewGrading != 1);
  SetEditFocus(gOptionsDialog, kFirstCategory);
}

namespace {
bool IsNG(DialogItemIndex item) {
  Str255 text{};
  Stripped(item, text);
  return EqualString(text, PStr("NG"), false, true);
}
}  // namespace

bool ValidCategoriesPanel() {
  const char* const kWeightText = "Category weights must be whole numbers from 0 to 100.";
  for (int k = 0; k < 10; k++) {
    const DialogItemIndex weight = I(kFirstCategory + 2 * k + 1);
    if (!IsNG(weight) && WholeNumber(weight, 100) == kNotValid)
      return Refuse("Invalid category weight", kWeightText, weight);
  }
  int drops = 0;
  for (int k = 0; k < 10; k++) drops += std::max(Value(I(kFirstDrop + k)) - 1, 0);
  if (drops > kMaxTotalDrops)
    return Refuse("Too many dropped worst scores",
                  "You cannot drop more than a total of 12 worst scores.", 0);
  if (WholeNumber(kExtraCreditWeight, 100) == kNotValid)
    return Refuse("Invalid category weight", kWeightText, kExtraCreditWeight);
  struct Reserved {
    const char* name;
    const char* message;
    const char* explanation;
  };
  const Reserved kReserved[] = {
      {"Extra Credit", "Duplicate extra credit category",
       "The extra credit category was added when this class was created."},
      {"Final Exams", "Duplicate final exams category",
       "The final exams category was added when this class was created."},
  };
  for (const Reserved& r : kReserved) {
    for (int k = 0; k < 10; k++) {
      Str255 name{};
      Stripped(I(kFirstCategory + 2 * k), name);
      if (EqualString(name, PStr(r.name), false, false))
        return Refuse(r.message, r.explanation, I(kFirstCategory + 2 * k));
    }
  }
  bool named = false, longName = false;
  for (int k = 0; k < 10; k++) {
    Str255 name{};
    Stripped(I(kFirstCategory + 2 * k), name);
    named = named || !name.empty();
    longName = longName || name.length() > Str21::kCapacity;
  }
  if (!named)
    return Refuse("No valid category names",
                  "You must enter at least one category name and weight.", kFirstCategory);
  if (longName)
    Warn("Category name is too long",
         "Category names may not be more than 21 characters long. One or more of your "
         "category names will be truncated to this length.");
  return true;
}

void CloseCategoriesPanel() {
  gNewGrading = GetRadioButton(gOptionsDialog, kWeighted) ? 1 : 0;
  for (int k = 0; k < 10; k++) {
    CategoryRecord& c = gNewCategories[k];
    StoreName(I(kFirstCategory + 2 * k), c.name, Str21::kCapacity);
    const DialogItemIndex weight = I(kFirstCategory + 2 * k + 1);
    c.weight = IsNG(weight) ? kNone : WholeNumber(weight, 100);
    c.drop = static_cast<uint16_t>(std::max(Value(I(kFirstDrop + k)) - 1, 0));
  }
  gNewCategories[kExtraCreditCategory].weight = WholeNumber(kExtraCreditWeight, 100);
}

void HandleCategoriesPanel(DialogItemIndex item) {
  if (item != kWeighted && item != kTotalPoints) return;
  SetRadioButton(gOptionsDialog, kWeighted, item == kWeighted);
  SetRadioButton(gOptionsDialog, kTotalPoints, item == kTotalPoints);
}

// ---- Grading --------------------------------------------------------------------------

namespace {
int ScopeOfRadios() {
  for (int scope = 1; scope <= 3; scope++)
    if (GetRadioButton(gOptionsDialog, I(kTermScope - 1 + scope))) return scope;
  return 1;
}
void SetScopeRadios(int scope) {
  for (int s = 1; s <= 3; s++)
    SetRadioButton(gOptionsDialog, I(kTermScope - 1 + s), s == scope);
}
}  // namespace

void SetupGradingPanel() {
  const bool whole = (gNewClass.flags & kWholePercents) != 0;
  SetRadioButton(gOptionsDialog, kWholePercent, whole);
  SetRadioButton(gOptionsDialog, kTenths, !whole);
  for (int s = 0; s < 3; s++) Dim(I(kTermScope + s), false);
  const int last = WorkingLastTerm();
  const char* title = "the term grade";
  switch (last) {
    case 0:
      Dim(I(kTermScope + 1), true);
      Dim(I(kTermScope + 2), true);
      break;
    case 1:
      title = "the semester grade";
      Dim(I(kTermScope + 1), true);
      break;
    case 2:
      title = "the trimester grade";
      Dim(I(kTermScope + 1), true);
      break;
    case 3:
      title = "the quarter grade";
      break;
    default:
      break;
  }
  SetItemTitle(gOptionsDialog, kTermScope, PStr(title));
  int scope = std::clamp<int>(gNewClass.examScope, 1, 3);
  if (last == 0 || (scope == 2 && (last == 1 || last == 2))) scope = 1;
  SetScopeRadios(scope);
  PutNumber(kExamPercent, std::max<int>(gNewClass.examWeight, 0), true);
  SetEditFocus(gOptionsDialog, kExamPercent);
}

bool ValidGradingPanel() {
  const uint16_t percent = Decimal(kExamPercent, 100);
  if (percent == kNotValid)
    return Refuse("Invalid percent",
                  "The final exam percent must be a decimal number from 0 to 100.", kExamPercent);
  const int last = WorkingLastTerm(), scope = ScopeOfRadios();
  const char* why = nullptr;
  if (last == 0 && scope == 2 && percent >= 1)
    why = "Final exams cannot contribute to the semester grade when you are using a single "
          "term. Final exams must contribute to the term grade.";
  else if (last == 0 && scope == 3 && percent >= 1)
    why = "Final exams cannot contribute to the final grade when you are using a single term. "
          "Final exams must contribute to the term grade.";
  else if (last == 2 && scope == 2)
    why = "Final exams cannot contribute to the semester grade when you are using trimesters. "
          "Final exams must contribute to the trimester grade or the final grade.";
  if (why) return Refuse("Invalid final exam option", why, 0);
  NoteUnusedExams();
  return true;
}

void NoteUnusedExams() {
  const int last = WorkingLastTerm(), scope = ScopeOfRadios();
  const uint16_t percent = Decimal(kExamPercent, 100);
  auto e = [](int t) { return LocateExam(static_cast<int16_t>(t)) >= 0; };
  const char* const kNotUsed = "Final exams will not be used";
  if (percent == 0) {
    bool any = false;
    for (int t = 0; t < kMaxTerms; t++) any = any || e(t);
    if (any)
      Warn(kNotUsed, "Your final exams percent is 0. Your final exams will not contribute to "
                     "any grade.");
    return;
  }
  const char* message = kNotUsed;
  const char* why = nullptr;
  if (last == 1 && scope == 3 && e(0)) {
    message = "Final exam will not be used";
    why = "Final exams contribute to the final grade. Your 1st semester final exam will not be "
          "used.";
  } else if (last == 2 && scope == 3 && (e(0) || e(1))) {
    why = "Final exams contribute to the final grade. Final exams in 1st and 2nd trimester will "
          "not be used.";
  } else if (last == 3 && scope == 2 && (e(0) || e(2))) {
    why = "Final exams contribute to the semester grade. Final exams in 1st and 3rd quarter "
          "will not be used.";
  } else if (last == 3 && scope == 3 && (e(0) || e(2))) {
    why = "Final exams contribute to the final grade. Final exams in 1st and 3rd quarter will "
          "not be used.";
  } else if (last == 5 && scope == 2 && (e(0) || e(1) || e(3) || e(4))) {
    why = "Final exams contribute to the semester grade. Final exams in 1st, 2nd, 4th, and 5th "
          "term will not be used.";
  } else if (last == 5 && scope == 3 && (e(0) || e(1) || e(2) || e(3) || e(4))) {
    why = "Final exams contribute to the final grade. Final exams in 1st, 2nd, 3rd, 4th, and "
          "5th term will not be used.";
  }
  if (why) Warn(message, why);
}

void CloseGradingPanel() {
  if (GetRadioButton(gOptionsDialog, kWholePercent))
    gNewClass.flags = static_cast<uint8_t>(gNewClass.flags | kWholePercents);
  else
    gNewClass.flags = static_cast<uint8_t>(gNewClass.flags & ~kWholePercents);
  gNewClass.examScope = static_cast<uint16_t>(ScopeOfRadios());
  gNewClass.examWeight = static_cast<int16_t>(Decimal(kExamPercent, 100));
}

void HandleGradingPanel(DialogItemIndex item) {
  if (item >= kTermScope && item < kTermScope + 3) SetScopeRadios(item - kTermScope + 1);
  if (item == kWholePercent || item == kTenths) {
    SetRadioButton(gOptionsDialog, kWholePercent, item == kWholePercent);
    SetRadioButton(gOptionsDialog, kTenths, item == kTenths);
  }
}

// ---- Letter grades --------------------------------------------------------------------

namespace {
// Pair j (0..11) holds letter 12 - j: its grade item and its percent item.
DialogItemIndex GradeItem(int j) { return I(kFirstPair + 2 * j); }
DialogItemIndex PercentItem(int j) { return I(kFirstPair + 2 * j + 1); }

void SetLetterRadios(DialogItemIndex on) {
  for (DialogItemIndex item : {kLettersAndPercents, kPercentsOnly, kLettersOnly})
    SetRadioButton(gOptionsDialog, item, item == on);
}

void FillPairs(const std::vector<std::string>& grades, const std::vector<std::string>& percents,
               const char* failing) {
  for (int j = 0; j < kPairs; j++) {
    const size_t k = static_cast<size_t>(j);
    Put(GradeItem(j), PStr(k < grades.size() ? grades[k] : std::string()));
    Put(PercentItem(j), PStr(k < percents.size() ? percents[k] : std::string()));
  }
  PutC(kFailingGrade, failing);
  SetEditFocus(gOptionsDialog, kFirstPair);
  Redraw();
}
}  // namespace

void SetupCutoffsPanel() {
  const uint8_t flags = gNewClass.flags & (kLetterGrades | kHidePercents);
  if (flags == (kLetterGrades | kHidePercents))
    SetLetterRadios(kLettersOnly);
  else if (flags == kLetterGrades)
    SetLetterRadios(kLettersAndPercents);
  else
    SetLetterRadios(kPercentsOnly);
  for (int j = 0; j < kPairs; j++) {
    const int letter = kMaxLetterGrades - 1 - j;
    Put(GradeItem(j), gNewLetterGrades[letter]);
    const uint16_t cutoff = gNewCutoffs[letter - 1];
    if (cutoff == kNone)
      PutC(PercentItem(j), "");
    else
      PutNumber(PercentItem(j), cutoff, true);
  }
  Put(kFailingGrade, gNewLetterGrades[0]);
  SetStaticText(gOptionsDialog, kZeroPercent, PStr("0.0%"));
  Dim(kZeroPercent, true);
  SetEditFocus(gOptionsDialog, kFirstPair);
}

bool ValidCutoffsPanel() {
  for (int j = 0; j < kPairs; j++) {
    if (Decimal(PercentItem(j), 120) == kNotValid)
      return Refuse("Invalid percent",
                    "Letter grade percents must be decimal numbers from 0 to 120.",
                    PercentItem(j));
  }
  bool passing = false;
  for (int j = 0; j < kPairs; j++) {
    const bool grade = !IsBlank(GradeItem(j)), percent = !IsBlank(PercentItem(j));
    if (grade != percent)
      return Refuse("Invalid grade or percent",
                    "You must enter a grade and a percent or leave both items blank.",
                    grade ? PercentItem(j) : GradeItem(j));
    passing = passing || grade;
  }
  int above = 1200;
  for (int j = 0; j < kPairs; j++) {
    if (IsBlank(PercentItem(j))) continue;
    const int percent = Decimal(PercentItem(j), 120);
    if (percent >= above)
      return Refuse("Invalid letter grade percent",
                    "This percent is higher than the percent for the grade above it. You must "
                    "enter grades and percents in descending order.",
                    PercentItem(j));
    above = percent;
  }
  const bool failing = !IsBlank(kFailingGrade);
  if (passing && !failing)
    return Refuse("Missing failing grade",
                  "You must provide a grade for students who do not earn a passing grade.",
                  kFailingGrade);
  if (failing && !passing)
    return Refuse("Missing passing grades",
                  "You must enter at least one passing grade and percent.",
                  kFirstPair);
  if (!passing && !failing) {
    InitCursor();
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("All grade and percents have been left blank"),
                   PStr("You must provide at least one grade and percent."));
    SetEditFocus(gOptionsDialog, kFirstPair);
    return false;
  }
  return true;
}

void CloseCutoffsPanel() {
  uint8_t flags = gNewClass.flags & static_cast<uint8_t>(~(kLetterGrades | kHidePercents));
  if (GetRadioButton(gOptionsDialog, kLettersAndPercents)) flags |= kLetterGrades;
  if (GetRadioButton(gOptionsDialog, kLettersOnly)) flags |= kLetterGrades | kHidePercents;
  gNewClass.flags = flags;
  for (int j = 0; j < kPairs; j++) {
    const int letter = kMaxLetterGrades - 1 - j;
    StoreName(GradeItem(j), gNewLetterGrades[letter], Str4::kCapacity);
    gNewCutoffs[letter - 1] = IsBlank(PercentItem(j)) ? kNone : Decimal(PercentItem(j), 120);
  }
  StoreName(kFailingGrade, gNewLetterGrades[0], Str4::kCapacity);
}

void HandleCutoffsPanel(DialogItemIndex item) {
  switch (item) {
    case kStandard: SetStandardGrading(); break;
    case kPassFail: SetPassFailGrading(); break;
    case kOSU: SetOSUGrading(); break;
    case kLettersAndPercents:
    case kPercentsOnly:
    case kLettersOnly: SetLetterRadios(item); break;
    default: break;
  }
}

void SetStandardGrading() {
  std::vector<std::string> grades, percents;
  for (int letter = kMaxLetterGrades - 1; letter >= 1; letter--) {
    grades.push_back(defaultLetterGrades[letter]);
    Str255 text{};
    if (defaultCutoffs[letter - 1] != kNone) DecimalToString(defaultCutoffs[letter - 1], text);
    percents.push_back(text.str());
  }
  FillPairs(grades, percents, defaultLetterGrades[0]);
}

void SetPassFailGrading() { FillPairs({"Pass"}, {"75.0"}, "Fail"); }

void SetOSUGrading() { FillPairs({"O", "S"}, {"90.0", "70.0"}, "U"); }

// ---- Special scores -------------------------------------------------------------------

void SetupScoresPanel() {
  for (int k = 0; k < kMaxSpecialScores; k++) {
    Put(I(kFirstName + k), gNewScores[k].name);
    SetValue(I(kFirstKind + k), std::clamp<int>(gNewScores[k].kind, 1, 4));
  }
  SetEditFocus(gOptionsDialog, kFirstName);
}

bool ValidScoresPanel() {
  for (int k = 0; k < kMaxSpecialScores; k++) {
    Str255 name{};
    Stripped(I(kFirstName + k), name);
    if (name.empty()) continue;
    const char* why = nullptr;
    if (IsNumberText(name))
      why = "Numbers may not be used as special scores.";
    else if (IsPercentText(name))
      why = "Percents may not be used as special scores.";
    else if (IsRatioText(name))
      why = "Ratios may not be used as special scores.";
    if (why) return Refuse("Invalid special score", why, I(kFirstName + k));
  }
  return true;
}

void CloseScoresPanel() {
  for (int k = 0; k < kMaxSpecialScores; k++) {
    StoreName(I(kFirstName + k), gNewScores[k].name, 4);
    gNewScores[k].kind = static_cast<uint16_t>(std::clamp<int>(Value(I(kFirstKind + k)), 1, 4));
  }
}

// ---- Attendance -----------------------------------------------------------------------

void SetupAttendancePanel() {
  for (int k = 0; k < kMaxCodes; k++) {
    Put(I(kFirstName + k), gNewCodes[k].name);
    SetValue(I(kFirstKind + k), CodeKindItem(gNewCodes[k]));
  }
  SetCheckBox(gOptionsDialog, kAttendanceGrade, gNewAttendGrade.flags & 0x0001);
  PutNumber(kAllowed, static_cast<int32_t>(gNewAttendGrade.allowed) * 10, false);
  PutNumber(kPercentOff, gNewAttendGrade.penaltyPerAbsence, true);
  PutNumber(kTardies, static_cast<int32_t>(gNewAttendGrade.flags >> 8) * 10, false);
  AdjustAttendGrade();
  SetEditFocus(gOptionsDialog, kFirstName);
}

bool ValidAttendancePanel() {
  bool named = false;
  for (int k = 0; k < kMaxCodes; k++) named = named || !IsBlank(I(kFirstName + k));
  if (!named)
    return Refuse("There are no attendance codes", "You must enter at least one attendance code.",
                  kFirstName);
  if (WholeNumber(kAllowed, 1000) == kNotValid)
    return Refuse("Invalid number of absences", "The number of absences must be a whole number.",
                  kAllowed);
  if (Decimal(kPercentOff, 100) == kNotValid)
    return Refuse("Invalid percent", "This percent must be a decimal from 0 to 100.", kPercentOff);
  if (WholeNumber(kTardies, kMaxTardies) == kNotValid)
    return Refuse("Invalid number of absences", "The number of tardies must be a whole number.",
                  kTardies);
  return true;
}

void CloseAttendancePanel() {
  for (int k = 0; k < kMaxCodes; k++) {
    StoreName(I(kFirstName + k), gNewCodes[k].name, 4);
    SetCodeKind(Value(I(kFirstKind + k)), gNewCodes[k]);
  }
  const uint16_t on = GetCheckBox(gOptionsDialog, kAttendanceGrade) ? 1 : 0;
  const uint16_t tardies = WholeNumber(kTardies, kMaxTardies);
  gNewAttendGrade.flags =
      static_cast<uint16_t>((tardies << 8) | (gNewAttendGrade.flags & 0x00FE) | on);
  gNewAttendGrade.allowed = WholeNumber(kAllowed, 1000);
  gNewAttendGrade.penaltyPerAbsence = static_cast<int16_t>(Decimal(kPercentOff, 100));
}

void HandleAttendancePanel(DialogItemIndex item) {
  if (item != kAttendanceGrade) return;
  SetCheckBox(gOptionsDialog, item, !GetCheckBox(gOptionsDialog, item));
  AdjustAttendGrade();
}

void AdjustAttendGrade() {
  const bool on = GetCheckBox(gOptionsDialog, kAttendanceGrade);
  for (DialogItemIndex item : {kAllowed, kPercentOff, kTardies}) Dim(item, !on);
}

// ---- Storing --------------------------------------------------------------------------

void AdjustAttendance(uint32_t oldStart, uint32_t newStart) {
  // Signed and wide: a start years away must not wrap into a small move.
  const int64_t d = (static_cast<int64_t>(oldStart) - static_cast<int64_t>(newStart)) / kDay;
  if (d == 0) return;
  const int64_t shift = d < 0 ? -d : d;
  auto move = [&](auto* days, auto empty) {
    if (shift >= kMaxDays) {
      std::fill(days, days + kMaxDays, empty);
      return;
    }
    const int n = static_cast<int>(shift);
    if (d < 0) {  // a later start: marks move towards day 0
      std::copy(days + n, days + kMaxDays, days);
      std::fill(days + kMaxDays - n, days + kMaxDays, empty);
    } else {  // an earlier start: marks move towards day 359
      std::copy_backward(days, days + kMaxDays - n, days + kMaxDays);
      std::fill(days, days + n, empty);
    }
  };
  move(gHolidays, uint8_t{0});
  for (int s = 0; s < kMaxStudents; s++) move(gAttendance[s], kNoMark);
}

void SaveOptions() {
  SetChanged(1);
  AdjustAttendance(gTermDates[0].start, gNewTermDates[0].start);
  // The categories and grading method were the current term's; a current term past the
  // new last one moves back to it.
  const int term = CurrentTermIndex();
  const int last = WorkingLastTerm();
  const int current = std::min(term, last);
  gNewClass.currentTerm = static_cast<uint8_t>(current);
  // A number of terms chosen after the grading panel was left can make its exam scope
  // one that the panel does not offer (and that no grade would use): it becomes the
  // term, as the panel shows it.
  const int scope = gNewClass.examScope;
  if (last == 0 || scope < 1 || scope > 3 || (scope == 2 && (last == 1 || last == 2)))
    gNewClass.examScope = 1;
  gClass = gNewClass;
  if (term <= last) {
    gGrading[term] = gNewGrading;
    std::copy(gNewCategories, gNewCategories + kMaxCategories, gCategories[term]);
  }
  gCurrentTerm = static_cast<uint16_t>(current);
  gAttendGrade = gNewAttendGrade;
  std::copy(gNewSchoolWeek, gNewSchoolWeek + 7, gSchoolWeek);
  std::copy(gNewTermNames, gNewTermNames + kMaxTerms, gTermNames);
  std::copy(gNewTermDates, gNewTermDates + kMaxTerms, gTermDates);
  std::copy(gNewLetterGrades, gNewLetterGrades + kMaxLetterGrades, gLetterGrades);
  std::copy(gNewScores, gNewScores + kMaxSpecialScores, gSpecialScores);
  std::copy(gNewCodes, gNewCodes + kMaxCodes, gCodes);
  std::copy(gNewCutoffs, gNewCutoffs + kMaxCutoffs, gCutoffs);
  UpdateAttendance();
  ComputeAttendanceTotals();
  FlushAllTerms();
}
