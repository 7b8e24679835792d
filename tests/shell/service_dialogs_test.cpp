// The service dialogs driven by scripts: fields filled from the class's export data, the
// password field always empty, the focus on the first field, OK storing every field cut
// to its capacity, Cancel storing nothing, the SchoolSpeak password kept for the upload
// tool alone, and the SchoolSpeak box unchecked every time.
#include "marktally/shell/dialogs/service_dialogs.h"

#include <algorithm>

#include "marktally/reports/upload.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::FocusOf;

std::string Edit(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetEditText(d, item, text);
  return text.str();
}
std::string Password(DialogRef d, DialogItemIndex item) {
  Str255 text{};
  GetPWText(d, item, text);
  return text.str();
}

// Which item shows which field; 0 where the dialog has none. toolPassword: the password
// goes to the upload tool, never into the class.
struct Layout {
  const char* name;
  bool (*run)();
  DialogRef* dialog;
  DialogItemIndex section, account, password;
  bool toolPassword;
};

const Layout kLayouts[] = {
    {"Lorvex", DoExportToLorvexDialog, &gExportLorvexDialog, 0, 0, 0, false},
    {"Basmati", DoExportToBasmatiDialog, &gExportBasmatiDialog, 4, 5, 6, false},
    {"SchoolFusion", DoExportToSchoolFusionDialog, &gExportSchoolFusionDialog, 4, 5, 6, false},
    {"SchoolSpeak upload", DoExportToSchoolSpeakDialog, &gExportSchoolSpeakDialog, 0, 4, 5,
     true},
    {"SchoolSpeak save", DoSaveToSchoolSpeakDialog, &gSaveSchoolSpeakDialog, 0, 4, 5, true},
    {"SchoolCenter", DoExportToSchoolCtrDialog, &gExportSchoolCtrDialog, 0, 0, 0, false},
};

// The password the upload tool would be given now, or "".
std::string ToolPassword() {
  const std::vector<std::string> a = SchoolSpeakUploadArguments(FileSpec{"/tmp/x.xml"});
  const auto at = std::find(a.begin(), a.end(), "-password");
  return at == a.end() || at + 1 == a.end() ? "" : *(at + 1);
}

class ServiceDialogsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    gUpdateLastReport = 0;
    Preset();
  }
  void TearDown() override {
    ForgetSchoolSpeakPassword();
    gExportData = ExportDataRecord{};
    gUpdateLastReport = 0;
    DialogTest::TearDown();
  }
  static void Preset() {
    gExportData = ExportDataRecord{};
    gExportData.classCode.setC("MATH-7");
    gExportData.section.setC("B");
    gExportData.account.setC("acct@school");
    gExportData.teacherID.setC("s3cret");
  }
};

TEST_F(ServiceDialogsTest, EveryDialogShowsTheStoredFieldsButNeverThePassword) {
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(l.name);
    Preset();
    ScriptDialog(*l.dialog, {CheckStep([&l](DialogRef d) {
                               EXPECT_EQ(FocusOf(d), 3);
                               EXPECT_EQ(Edit(d, 3), "MATH-7");
                               if (l.section) {
      EXPECT_EQ(Edit(d, l.section), "B");
    }
                               if (l.account) {
      EXPECT_EQ(Edit(d, l.account), "acct@school");
    }
                               if (l.password) {
      EXPECT_EQ(Password(d, l.password), "");
    }
                             }),
                             ClickStep(1)});
    ASSERT_TRUE(l.run());
    EXPECT_EQ(PendingDialogSteps(*l.dialog), 0u);
    EXPECT_EQ(gExportData.classCode.str(), "MATH-7");
    // OK with the empty password field clears the stored one.
    EXPECT_EQ(gExportData.teacherID.str(), l.password && !l.toolPassword ? "" : "s3cret");
    EXPECT_EQ(ToolPassword(), "");
    EXPECT_EQ(gExportData.section.str(), "B");
    EXPECT_EQ(gExportData.account.str(), "acct@school");
  }
}

TEST_F(ServiceDialogsTest, OkStoresEveryFieldCutToItsCapacityAndCancelStoresNothing) {
  const std::string longText(80, 'x');
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(l.name);
    Preset();
    std::vector<DialogScriptStep> steps = {TypeStep(3, "Period 3 " + longText)};
    if (l.section) steps.push_back(TypeStep(l.section, "C" + longText));
    if (l.account) steps.push_back(TypeStep(l.account, "teacher " + longText));
    if (l.password) steps.push_back(TypeStep(l.password, "pw " + longText));
    steps.push_back(ClickStep(2));
    ScriptDialog(*l.dialog, steps);
    EXPECT_FALSE(l.run());
    EXPECT_EQ(gExportData.classCode.str(), "MATH-7");
    EXPECT_EQ(gExportData.section.str(), "B");
    EXPECT_EQ(gExportData.account.str(), "acct@school");
    EXPECT_EQ(gExportData.teacherID.str(), "s3cret");
    EXPECT_EQ(ToolPassword(), "");

    steps.back() = ClickStep(1);
    ScriptDialog(*l.dialog, steps);
    ASSERT_TRUE(l.run());
    EXPECT_EQ(gExportData.classCode.str(), ("Period 3 " + longText).substr(0, 31));
    EXPECT_EQ(gExportData.section.str(), l.section ? ("C" + longText).substr(0, 15) : "B");
    EXPECT_EQ(gExportData.account.str(),
              l.account ? ("teacher " + longText).substr(0, 63) : "acct@school");
    // The SchoolSpeak password reaches the tool's arguments and never the class.
    EXPECT_EQ(gExportData.teacherID.str(),
              l.password && !l.toolPassword ? ("pw " + longText).substr(0, 15) : "s3cret");
    EXPECT_EQ(ToolPassword(), l.toolPassword ? ("pw " + longText).substr(0, 15) : "");
    // A cancelled dialog leaves no password for the tool.
    ScriptDialog(*l.dialog, {ClickStep(2)});
    EXPECT_FALSE(l.run());
    EXPECT_EQ(ToolPassword(), "");
    // The typed password is not left in the hidden dialog.
    if (l.password) {
      EXPECT_EQ(Password(*l.dialog, l.password), "");
    }
  }
}

TEST_F(ServiceDialogsTest, TheReplaceBoxIsUncheckedAtEveryShowing) {
  DialogRef d = gExportSchoolSpeakDialog;
  auto unchecked = CheckStep([](DialogRef dialog) { EXPECT_FALSE(GetCheckBox(dialog, 10)); });
  ScriptDialog(d, {unchecked, ClickStep(10),
                   CheckStep([](DialogRef dialog) { EXPECT_TRUE(GetCheckBox(dialog, 10)); }),
                   ClickStep(1)});
  ASSERT_TRUE(DoExportToSchoolSpeakDialog());
  EXPECT_EQ(gUpdateLastReport, 1);

  // Shown again after a replacing upload, it is unchecked: OK alone sends a new report.
  ScriptDialog(d, {unchecked, ClickStep(1)});
  ASSERT_TRUE(DoExportToSchoolSpeakDialog());
  EXPECT_EQ(gUpdateLastReport, 0);

  // Two clicks leave it off; Cancel keeps the stored flag.
  gUpdateLastReport = 1;
  ScriptDialog(d, {unchecked, ClickStep(10), ClickStep(10), ClickStep(2)});
  EXPECT_FALSE(DoExportToSchoolSpeakDialog());
  EXPECT_EQ(gUpdateLastReport, 1);
}

}  // namespace
