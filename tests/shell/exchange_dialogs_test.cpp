// The import and text-export dialogs driven by scripts (OK enabled by the checked boxes,
// refusals in their order, the items titled by the number of terms) and the progress
// windows.
#include "marktally/shell/dialogs/exchange_dialogs.h"

#include "marktally/reports/export_buffer.h"
#include "marktally/reports/text_import.h"
#include "tests/shell/dialog_fixture.h"

namespace {

using dialogtest::DialogTest;

bool Active(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c && IsControlActive(c);
}
int16_t Value(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  return c ? GetControlValue(c) : -1;
}
std::string Title(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  Str255 title{};
  if (c) GetControlTitle(c, title);
  return title.str();
}
std::string StaticText(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  char buffer[256] = {};
  int32_t size = 0;
  if (c) GetControlDataSize(c, kControlEntireControl, kControlStaticTextTextTag, &size);
  if (c && size > 0 && size < 256)
    GetControlData(c, kControlEntireControl, kControlStaticTextTextTag, size, buffer, nullptr);
  return std::string(buffer, static_cast<size_t>(size > 0 && size < 256 ? size : 0));
}

class ExchangeDialogsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ResetExportOptions();
    ResetImportOptions();
  }
  void TearDown() override {
    ResetExportOptions();
    ResetImportOptions();
    gMultiple = 0;
    DialogTest::TearDown();
  }
};

TEST_F(ExchangeDialogsTest, ImportOkFollowsTheCheckedBoxesAndStoresThem) {
  ScriptDialog(gImportDialog,
               {CheckStep([](DialogRef d) {
                  EXPECT_EQ(gItemsChecked, 1);  // names, as the program starts
                  EXPECT_TRUE(Active(d, 1));
                }),
                ClickStep(4), CheckStep([](DialogRef d) {
                  EXPECT_EQ(gItemsChecked, 0);
                  EXPECT_FALSE(Active(d, 1));
                }),
                ClickStep(1),  // disabled: nothing happens
                ClickStep(3), CheckStep([](DialogRef d) { EXPECT_TRUE(Active(d, 1)); }),
                ClickStep(16), ChooseStep(15, 2), ClickStep(1)});
  ASSERT_TRUE(DoImportDialog());
  EXPECT_EQ(gImportIDs, 1);
  EXPECT_EQ(gImportNames, 0);
  EXPECT_EQ(gImportEmails, 1);
  EXPECT_EQ(gImportFormat, 2);
  EXPECT_EQ(PendingDialogSteps(gImportDialog), 0u);

  // Cancel keeps every option.
  ScriptDialog(gImportDialog, {ClickStep(3), ClickStep(10), ChooseStep(15, 1), ClickStep(2)});
  EXPECT_FALSE(DoImportDialog());
  EXPECT_EQ(gImportIDs, 1);
  EXPECT_EQ(gImportScores, 0);
  EXPECT_EQ(gImportFormat, 2);
}

TEST_F(ExchangeDialogsTest, ImportRefusalsComeInTheirOrder) {
  ExpectAlert(kAlertStopAlert, "Unable to import assignments and attendance",
              "You may not import assignments, scores, and attendance codes at the same time.");
  ExpectAlert(kAlertStopAlert, "Unable to import assignments and email addresses",
              "You may not import assignments, scores, and email addresses at the same time.");
  ExpectAlert(kAlertStopAlert, "Unable to import attendance and email addresses",
              "You may not import attendance codes and email addresses at the same time.");
  ExpectAlert(kAlertStopAlert, "Unable to import scores",
              "You may not import scores without also importing assignments.");
  ScriptDialog(gImportDialog,
               {ClickStep(10), ClickStep(11), ClickStep(16), ClickStep(1),  // all three
                ClickStep(11), ClickStep(1),                                 // scores, e-mail
                ClickStep(10), ClickStep(11), ClickStep(1),                  // codes, e-mail
                ClickStep(16), ClickStep(11), ClickStep(10), ClickStep(1),   // scores alone
                ClickStep(7), ClickStep(1)});
  ASSERT_TRUE(DoImportDialog());
  EXPECT_EQ(alerts.size(), 4u);
  EXPECT_EQ(gImportScores, 1);
  EXPECT_EQ(gImportAssignments, 1);
  EXPECT_EQ(gImportCodes, 0);
}

TEST_F(ExchangeDialogsTest, ExportItemsAreTitledAndEnabledByTheTerms) {
  struct Case {
    int16_t lastTerm;
    uint16_t term;
    const char* title;
    bool semester;
    bool year;
  };
  const Case cases[] = {
      {0, 0, "Term", false, false},      {1, 1, "Semester", false, true},
      {2, 1, "Trimester", false, false}, {3, 1, "Quarter", true, false},
      {3, 3, "Quarter", true, true},     {3, 2, "Quarter", false, false},
      {5, 2, "Term", true, false},       {5, 5, "Term", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title + std::to_string(c.lastTerm) + "/" + std::to_string(c.term));
    gClass.lastTerm = c.lastTerm;
    gCurrentTerm = c.term;
    gExportYearPcts = gExportSemePcts = 1;
    ScriptDialog(gExportTextDialog, {CheckStep([c](DialogRef d) {
                                       EXPECT_EQ(Title(d, 18), std::string(c.title) + " percents");
                                       EXPECT_EQ(Title(d, 19), std::string(c.title) + " grades");
                                       EXPECT_EQ(Active(d, 20), c.semester);
                                       EXPECT_EQ(Active(d, 21), c.semester);
                                       EXPECT_EQ(Active(d, 22), c.year);
                                       EXPECT_EQ(Active(d, 23), c.year);
                                       EXPECT_EQ(Value(d, 22), c.year ? 1 : 0);
                                     }),
                                     ClickStep(2)});
    EXPECT_FALSE(DoExportToTextDialog());
    // A group that can't apply loses its flags even when the dialog is cancelled.
    EXPECT_EQ(gExportYearPcts, c.year ? 1 : 0);
  }
}

TEST_F(ExchangeDialogsTest, ExportRefusalsComeInTheirOrderAndOkStoresTheFormat) {
  gClass.flags = static_cast<uint8_t>(gClass.flags & ~kLetterGrades);
  gCurrentTerm = 0;
  ExpectAlert(kAlertStopAlert, "Unable to export grades",
              "You may not export letter grades because there are no letter grades defined.");
  ExpectAlert(kAlertStopAlert, "Unable to export assignments and codes",
              "You may not export email addresses with assignments or scores.");
  ExpectAlert(kAlertStopAlert, "Unable to export assignments and codes",
              "You may not export assignments, scores, and attendance at the same time.");
  ExpectAlert(kAlertStopAlert, "Unable to export attendance codes",
              "You may not export email addresses with attendance codes.");
  ScriptDialog(gExportTextDialog,
               {ClickStep(19), ClickStep(1),                 // term grade
                ClickStep(19), ClickStep(10), ClickStep(15), ClickStep(1),  // e-mail, scores
                ClickStep(26), ClickStep(10), ClickStep(1),  // codes, scores
                ClickStep(15), ClickStep(10), ClickStep(1),  // codes, e-mail
                ClickStep(10), ChooseStep(27, 3), ClickStep(1)});
  ASSERT_TRUE(DoExportToTextDialog());
  EXPECT_EQ(alerts.size(), 4u);
  EXPECT_EQ(gExportCodes, 1);
  EXPECT_EQ(gExportNames, 1);
  EXPECT_EQ(gExportScores, 0);
  EXPECT_EQ(gExportFormat, 3);
  EXPECT_EQ(gExportDelimiter.str(), ",");
  EXPECT_EQ(gExportHTML, 0);

  // Unchecking every box disables OK; Return then does nothing until one is checked.
  ScriptDialog(gExportTextDialog, {ClickStep(8), ClickStep(26), KeyStep(kReturnCharCode),
                                   CheckStep([](DialogRef d) { EXPECT_FALSE(Active(d, 1)); }),
                                   ClickStep(7), ChooseStep(27, 1), ClickStep(1)});
  ASSERT_TRUE(DoExportToTextDialog());
  EXPECT_EQ(gExportIDs, 1);
  EXPECT_EQ(gExportNames, 0);
  EXPECT_EQ(gExportDelimiter.str(), "\t");
}

TEST_F(ExchangeDialogsTest, TheExportProgressWindowStepsOncePerStudent) {
  for (int i = 0; i < 4; i++) gStudents[i].name.setC(("S" + std::to_string(i)).c_str());
  ShowExportProgress(PStr("Period 1"), false);
  DialogRef d = gExportProgressDialog;
  EXPECT_EQ(FrontWindow(), GetDialogWindow(d));
  EXPECT_EQ(StaticText(d, 2), "Exporting Period 1");
  ControlRef bar = nullptr;
  GetDialogItemAsControl(d, 1, &bar);
  EXPECT_EQ(GetControlMaximum(bar), 4);
  EXPECT_EQ(GetControlValue(bar), 0);
  NextExportProgress(PStr("S0"));
  NextExportProgress(PStr("S1"));
  EXPECT_EQ(GetControlValue(bar), 2);
  EXPECT_EQ(StaticText(d, 2), "Exporting S1");
  EXPECT_EQ(gProgress, 3);
  // Half the bar is filled: its first quarter differs from its last tenth.
  Rect box{};
  GetControlBounds(bar, &box);
  const int middle = (box.top + box.bottom) / 2;
  const int width = box.right - box.left;
  EXPECT_NE(GetPortPixel(GetDialogPort(d), box.left + width / 4, middle),
            GetPortPixel(GetDialogPort(d), box.right - width / 10, middle));
  EXPECT_TRUE(SavePortImage(GetDialogPort(d), dialogtest::RenderDir() + "/export-progress.png"));
  HideExportProgress(true);  // not the mode it was shown in: stays
  EXPECT_EQ(FrontWindow(), GetDialogWindow(d));
  HideExportProgress(false);
  EXPECT_NE(FrontWindow(), GetDialogWindow(d));

  // A multiple-class run keeps the window up until its own end.
  ShowExportProgress(PStr("all"), true);
  EXPECT_EQ(gMultiple, 1);
  EXPECT_NE(FrontWindow(), GetDialogWindow(d));
  HideExportProgress(true);
  EXPECT_EQ(gMultiple, 0);

  ShowEmailOneProgress(PStr("Ann"));
  EXPECT_EQ(StaticText(gEmailProgressDialog, 2), "Emailing report for Ann");
  GetDialogItemAsControl(gEmailProgressDialog, 1, &bar);
  EXPECT_EQ(GetControlMaximum(bar), 2);
  HideEmailProgress();
}

}  // namespace

namespace {

TEST_F(ExchangeDialogsTest, TheHtmlDialogOffersTheSiteFirstAndPresetsTheOptions) {
  gReportOptions = 0x0040 | 0x0002 | 0x0001;
  gClass.lastTerm = 3;
  gCurrentTerm = 3;
  // The grades page, chosen by clicking its description.
  ScriptDialog(gExportHTMLDialog, {CheckStep([](DialogRef d) {
                                     EXPECT_EQ(Value(d, 3), 0);
                                     EXPECT_EQ(Value(d, 5), 1);
                                   }),
                                   ClickStep(4), ClickStep(1)});
  ASSERT_TRUE(DoExportToHTMLDialog());
  EXPECT_EQ(gExportHTML, 1);
  EXPECT_EQ(gExportAssignments, 0);
  EXPECT_EQ(gExportIDs, 1);
  EXPECT_EQ(gExportNames, 0);
  EXPECT_EQ(gExportTermPcts + gExportTermGrades + gExportTardies + gExportAbsences, 4);
  EXPECT_EQ(gExportSemePcts + gExportSemeGrades + gExportYearPcts + gExportYearGrades, 4);
  // Shown again, the site is chosen again; OK presets the site's options.
  ScriptDialog(gExportHTMLDialog, {CheckStep([](DialogRef d) {
                                     EXPECT_EQ(Value(d, 3), 0);
                                     EXPECT_EQ(Value(d, 5), 1);
                                   }),
                                   ClickStep(1)});
  ASSERT_TRUE(DoExportToHTMLDialog());
  EXPECT_EQ(gExportAssignments + gExportCategories + gExportPoints + gExportScores, 4);
  EXPECT_EQ(gExportIDs + gExportNames, 0);
  EXPECT_EQ(gExportSemePcts + gExportYearPcts + gExportExamPcts, 0);
  // Cancel keeps them.
  ScriptDialog(gExportHTMLDialog, {ClickStep(3), ClickStep(2)});
  EXPECT_FALSE(DoExportToHTMLDialog());
  EXPECT_EQ(gExportAssignments, 1);
}

}  // namespace
