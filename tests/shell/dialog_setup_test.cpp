// The dialogs made at start-up: each of the table with the items its commands use,
// pictured for eyes; the student pop-up; the about box; the button flash.
#include <sstream>

#include "marktally/shell/dialogs/dialog_items.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;

struct Made {
  DialogRef* global;
  int16_t id;
  DialogItemIndex defaultItem, cancelItem;
  // Items the commands rely on: "3W" is item 3 a password text; "7-18C" check boxes.
  const char* items;
};

// B button, C check box, R radio button, P pop-up, E edit text, W password text,
// S static text, U user item, G progress bar.
const Made kTable[] = {
    {&gPasswordDialog, 136, 1, 2, "1-2B 3W 5C"},
    {&gNewPasswordDialog, 141, 1, 2, "1-2B 3-5W"},
    {&gAboutDialog, 133, 4, 4, "3U"},
    {&gAssignSeatsDialog, 151, 1, 2, "1-2B 4-5E 8C 9-10R"},
    {&gReportsDialog, 137, 1, 2, "1-2B 7-18C"},
    {&gMultipleDialog, 147, 1, 2, "1-2B 3E 4-11C"},
    {&gImportDialog, 138, 1, 2, "1-2B 3-11C 15P 16C"},
    {&gExportTextDialog, 139, 1, 2, "1-2B 3-26C 27P"},
    {&gExportHTMLDialog, 140, 1, 2, "1-2B 3R 4S 5R 6S"},
    {&gExportLorvexDialog, 149, 1, 2, "1-2B 3E"},
    {&gExportBasmatiDialog, 152, 1, 2, "1-2B 3-5E 6W"},
    {&gExportSchoolSpeakDialog, 155, 1, 2, "1-2B 3-4E 5W 10C"},
    {&gSaveSchoolSpeakDialog, 157, 1, 2, "1-2B 3-4E 5W"},
    {&gExportSchoolFusionDialog, 153, 1, 2, "1-2B 3-5E 6W"},
    {&gExportSchoolCtrDialog, 150, 1, 2, "1-2B 3E"},
    {&gFootnotesDialog, 146, 1, 2, "1-2B 3-10E"},
    {&gServerDialog, 159, 1, 2, "1-2B 3-6E 7W 8C"},
    {&gEmailDialog, 156, 1, 0, "1B 2E 3P 4E"},
    {&gSendEmailDialog, 160, 1, 2, "1-2B 3S 5-7C 8E"},
    {&gCommentsDialog, 144, 1, 0, "1B 2E 3C 4P 5C"},
    {&gGlobalCommentsDialog, 145, 1, 2, "1-2B 3-4E 7C"},
    {&gCurveDialog, 154, 1, 2, "1-2B 3-5S 7E 9E 11E 13E 15E 17E 18C"},
    {&gEmailProgressDialog, 158, 0, 0, "1G 2S"},
    {&gExportProgressDialog, 142, 0, 0, "1G 2S"},
};

DialogItemType KindOf(char code) {
  switch (code) {
    case 'B':
      return kButtonDialogItem;
    case 'C':
      return kCheckBoxDialogItem;
    case 'R':
      return kRadioButtonDialogItem;
    case 'P':
      return kPopupButtonDialogItem;
    case 'E':
      return kEditTextDialogItem;
    case 'W':
      return kPasswordTextDialogItem;
    case 'S':
      return kStaticTextDialogItem;
    case 'U':
      return kUserDialogItem;
    default:
      return kProgressBarDialogItem;
  }
}

// Sample contents, so that the pictures show the dialogs as a teacher sees them.
void Fill(DialogRef d, int16_t id) {
  DialogItemType kind;
  Handle handle;
  Rect box;
  for (DialogItemIndex i = 1; i <= CountDITL(d); ++i) {
    GetDialogItem(d, i, &kind, &handle, &box);
    if (kind == kPasswordTextDialogItem) SetPWText(d, i, PStr("owl"));
  }
  switch (id) {
    case kPasswordDialogID:
      SetWTitle(GetDialogWindow(d), PStr("Opening 'Period 3.mtb'"));
      SetCheckBox(d, 5, 1);
      break;
    case kAssignSeatsDialogID:
      SetEditText(d, 4, PStr("5"));
      SetEditText(d, 5, PStr("6"));
      SetCheckBox(d, 8, 1);
      SetRadioButton(d, 10, 1);
      break;
    case kReportsDialogID:
      for (DialogItemIndex i : {7, 9, 12, 13, 17}) SetCheckBox(d, i, 1);
      ControlOff(d, 8);
      break;
    case kImportDialogID:
      for (DialogItemIndex i : {3, 4}) SetCheckBox(d, i, 1);
      break;
    case kExportTextDialogID:
      for (DialogItemIndex i : {7, 8, 18, 19}) SetCheckBox(d, i, 1);
      for (DialogItemIndex i : {20, 21, 22, 23}) ControlOff(d, i);
      break;
    case kExportHTMLDialogID:
      SetRadioButton(d, 5, 1);
      break;
    case kFootnotesDialogID:
      SetEditText(d, 3, PStr("Late"));
      SetEditText(d, 4, PStr("Make-up test"));
      break;
    case kServerDialogID:
      SetEditText(d, 3, PStr("teacher@school.example"));
      SetEditText(d, 4, PStr("smtp.school.example"));
      SetEditText(d, 5, PStr("587"));
      break;
    case kEmailDialogID:
    case kCommentsDialogID: {
      MenuRef students = GetMenuHandle(kStudentListMenu);
      SetMenuItemText(students, 1, PStr("Ann Adams"));
      SetControlValue(
          [&] {
            ControlRef c;
            GetDialogItemAsControl(d, id == kEmailDialogID ? 3 : 4, &c);
            return c;
          }(),
          1);
      SetEditText(d, 2,
                  PStr(id == kEmailDialogID ? "ann@home.example dad@work.example"
                                            : "Ann works hard and helps others."));
      break;
    }
    case kSendEmailDialogID:
      SetStaticText(d, 3,
                    PStr("This will email a progress report to every student in this "
                         "class."));
      SetCheckBox(d, 5, 1);
      SetCheckBox(d, 6, 1);
      break;
    case kCurveDialogID:
      SetStaticText(d, 3, PStr("Chapter 4 test"));
      SetStaticText(d, 4, PStr("Tests"));
      SetStaticText(d, 5, PStr("50 points"));
      SetEditText(d, 7, PStr("47"));
      SetEditText(d, 9, PStr("50"));
      SetEditText(d, 11, PStr("21"));
      SetEditText(d, 13, PStr("30"));
      SetEditText(d, 15, PStr("36.5"));
      SetEditText(d, 17, PStr("40"));
      for (DialogItemIndex i : {7, 11, 15}) ControlOff(d, i);
      SetCheckBox(d, 18, 1);
      break;
    case kExportProgressDialogID:
    case kEmailProgressDialogID: {
      SetStaticText(d, 2,
                    PStr(id == kExportProgressDialogID ? "Exporting Ann Adams"
                                                       : "Emailing report for Ann Adams"));
      ControlRef bar;
      GetDialogItemAsControl(d, 1, &bar);
      SetControlMaximum(bar, 30);
      SetControlValue(bar, 12);
      break;
    }
    default:
      break;
  }
}

TEST_F(DialogTest, EveryDialogOfTheTableIsMadeWithItsItems) {
  for (const Made& m : kTable) {
    SCOPED_TRACE(m.id);
    DialogRef d = *m.global;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(GetDialogID(d), m.id);
    EXPECT_EQ(GetDialogDefaultItem(d), m.defaultItem);
    EXPECT_EQ(GetDialogCancelItem(d), m.cancelItem);
    EXPECT_NE(FrontWindow(), GetDialogWindow(d));  // kept hidden until used
    std::istringstream spec(m.items);
    std::string word;
    while (spec >> word) {
      const char code = word.back();
      int first = 0, last = 0;
      const size_t dash = word.find('-');
      first = std::stoi(word.substr(0, dash));
      last = dash == std::string::npos ? first : std::stoi(word.substr(dash + 1));
      for (int i = first; i <= last; ++i) {
        DialogItemType kind;
        Handle handle;
        Rect box;
        GetDialogItem(d, static_cast<DialogItemIndex>(i), &kind, &handle, &box);
        EXPECT_EQ(kind, KindOf(code)) << "item " << i;
        EXPECT_FALSE(EmptyRect(&box)) << "item " << i;
      }
    }
    Fill(d, m.id);
    DrawDialog(d);
    const std::string png = dialogtest::RenderDir() + "/dialog-" + std::to_string(m.id) + ".png";
    EXPECT_TRUE(SavePortImage(GetDialogPort(d), png)) << png;
  }
  // The HTML dialog's descriptions choose their buttons too.
  EXPECT_TRUE(IsDialogItemEnabled(gExportHTMLDialog, 4));
  EXPECT_TRUE(IsDialogItemEnabled(gExportHTMLDialog, 6));
}

TEST_F(DialogTest, TheStudentPopUpHoldsAnItemPerStudentSlot) {
  MenuRef students = GetMenuHandle(kStudentListMenu);
  ASSERT_NE(students, nullptr);
  EXPECT_EQ(CountMenuItems(students), 250);
  Str255 text;
  GetMenuItemText(students, 250, text);
  EXPECT_EQ(text.str(), "student");
  DeleteMenuItem(students, 250);
  SetMenuItemText(students, 1, PStr("Ann Adams"));
  SetupEmailMenu();
  SetupCommentsMenu();
  EXPECT_EQ(CountMenuItems(students), 250);
  GetMenuItemText(students, 1, text);
  EXPECT_EQ(text.str(), "Ann Adams");  // only items past the end are added
}

TEST_F(DialogTest, TheAboutBoxShowsTheVersionUntilAnItemIsHit) {
  int deactivated = 0;
  WindowRef window = nullptr;
  const Rect bounds{60, 20, 400, 600};
  ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &window));
  SetMainWindowHandlers(MainWindowHandlers{window, nullptr, [&] { ++deactivated; }});
  CGrafPtr port = GetDialogPort(gAboutDialog);
  ScriptDialog(gAboutDialog,
               {CheckStep([port](DialogRef) { StartTextDrawLog(port); }),
                CheckStep([](DialogRef d) { DrawDialog(d); }), ClickStep(4)});
  DoAboutDialog();
  EXPECT_GE(deactivated, 1);
  EXPECT_EQ(FrontWindow(), nullptr);
  std::vector<std::string> lines;
  Rect box;
  DialogItemType kind;
  Handle handle;
  GetDialogItem(gAboutDialog, 3, &kind, &handle, &box);
  const int middle = (box.top + box.bottom) / 2;
  for (const TextDrawRecord& r : TakeTextDrawLog(port)) {
    if (r.face != bold || r.size != 10) continue;
    lines.push_back(r.text);
    EXPECT_EQ(r.pen.v, middle - 12 + 12 * (static_cast<int>(lines.size()) - 1));
    EXPECT_GT(r.pen.h, box.left);
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Version 7.0");
  DisposeWindow(window);
}

TEST_F(DialogTest, ClickButtonFlashesForEightTicks) {
  SetTickCountForTesting(100);
  ClickButton(gFootnotesDialog, 1);
  EXPECT_EQ(TickCount(), 108u);
  ControlRef ok;
  GetDialogItemAsControl(gFootnotesDialog, 1, &ok);
  // After the flash the button is drawn plainly again: white inside.
  Rect r;
  GetControlBounds(ok, &r);
  EXPECT_EQ(GetPortPixel(GetDialogPort(gFootnotesDialog), r.left + 4, r.top + 3), 0xFFFFFFu);
}

}  // namespace
