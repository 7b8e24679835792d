// The Export menu's text commands, the Import command and roster files, driven through
// the program's menus with scripted dialogs and file choices.
#include "marktally/shell/commands/export_commands.h"

#include <fstream>
#include <sstream>

#include "marktally/reports/export_buffer.h"
#include "marktally/reports/html_report.h"
#include "marktally/reports/text_import.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "tests/shell/window_fixture.h"

namespace {

class ExportCommandsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ResetExportOptions();
    ResetImportOptions();
    SetModalStuckHandler([](DialogRef d) {
      ADD_FAILURE() << "dialog " << GetDialogID(d) << " waits for input the test does not give";
      return GetDialogCancelItem(d) ? GetDialogCancelItem(d) : DialogItemIndex{1};
    });
  }
  void TearDown() override {
    ResetExportOptions();
    ResetImportOptions();
    WindowTest::TearDown();
  }
  void OpenSample(const std::string& name, int students, int assignments) {
    WriteSampleClass(Path(name), students, assignments);
    OpenThroughMenu(Path(name));
    ASSERT_NE(nullptr, gWindow);
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string SaveName() {
    NavRequest request;
    return LastNavRequest(&request) ? request.options.saveFileName : std::string();
  }
};

TEST_F(ExportCommandsTest, TextExportAsksForItsOptionsThenTheFileAndWritesIt) {
  OpenSample("A class with a rather long name.mtb", 3, 2);
  ScriptDialog(gExportTextDialog, {ClickStep(7), ChooseStep(27, 3), ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("out.csv")}, false});
  ASSERT_TRUE(Choose(kExportMenu, 1));
  EXPECT_EQ(SaveName(), "A class with a rather long .csv");  // 27 characters kept
  EXPECT_EQ(Slurp(Path("out.csv")),
            "S1001,\"" + gStudents[0].name.str() + "\"\r\nS1002,\"" +
                gStudents[1].name.str() + "\"\r\nS1003,\"" + gStudents[2].name.str() +
                "\"\r\n");
  EXPECT_TRUE(alerts.empty());

  // A name that begins with a period writes nothing; Cancel in the dialog asks no file.
  answers = {1};
  ScriptDialog(gExportTextDialog, {ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path(".hidden.csv")}, false});
  ASSERT_TRUE(Choose(kExportMenu, 1));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Illegal file name");
  EXPECT_EQ(alerts[0].text,
            "This document could not be exported because file names may not begin with a "
            "period.");
  EXPECT_FALSE(std::filesystem::exists(Path(".hidden.csv")));
  ScriptDialog(gExportTextDialog, {ClickStep(2)});
  ASSERT_TRUE(Choose(kExportMenu, 1));
}

TEST_F(ExportCommandsTest, AStudentPageNamedWithALeadingPeriodIsRefusedAndNotWritten) {
  OpenSample("Page.mtb", 3, 2);
  gShowStudentName = 1;
  answers = {1};
  ScriptNavAnswer(NavAnswer{false, {Path(".hidden.html")}, false});
  ExportSingleStudent(1);
  const std::string offered = SaveName();
  EXPECT_EQ(offered.substr(offered.size() - 5), ".html") << offered;
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, kStopAlert);
  EXPECT_EQ(alerts[0].title, "Illegal file name");
  EXPECT_EQ(alerts[0].text,
            "This document could not be saved because file names may not begin with a period.");
  EXPECT_FALSE(std::filesystem::exists(Path(".hidden.html")));
  EXPECT_EQ(gShowStudentName, 0) << "names stay off the next page";
}

TEST_F(ExportCommandsTest, TeacherWebWarnsOnceAndWritesTheIdAfterTheName) {
  OpenSample("Web.mtb", 3, 1);
  gStudents[1].id.clear();
  gStudents[2].id.clear();
  answers = {1};
  ScriptNavAnswer(NavAnswer{false, {Path("web.txt")}, false});
  ASSERT_TRUE(Choose(kExportMenu, 9));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, kNoteAlert);
  EXPECT_EQ(alerts[0].title, "Some students will not be exported");
  EXPECT_EQ(SaveName(), "Web.txt");
  const std::string text = Slurp(Path("web.txt"));
  const std::string row = gStudents[0].name.str() + "\tS1001\t";
  EXPECT_NE(text.find("\r" + row), std::string::npos) << text;
  EXPECT_EQ(text.find(gStudents[1].name.str()), std::string::npos);
  EXPECT_EQ(gTeacherWeb, 0);
  EXPECT_EQ(gExportFormat, 1);
}

TEST_F(ExportCommandsTest, ImportReadsTheChosenFileAndReportsWhatItDid) {
  OpenSample("Import.mtb", 2, 1);
  Spit(Path("more.txt"), "X1\tNew, Student\r\tNo Id\rS1001\t\r");
  ScriptDialog(gImportDialog, {ClickStep(3), ClickStep(5), ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("more.txt")}, false});
  answers = {1};
  ASSERT_TRUE(Choose(kFileMenu, kImportItem));
  EXPECT_EQ(NumStudents(), 4);
  EXPECT_EQ(gStudents[2].name.str(), "New, Student");
  EXPECT_EQ(gStudents[3].name.str(), "No Id");
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoNothing);  // an import cannot be undone
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Import finished");
  EXPECT_EQ(alerts[0].text,
            "Imported: 2 new students, 1 students updated, 0 assignment columns and 0 "
            "scores. An import cannot be undone.");
}

TEST_F(ExportCommandsTest, ARosterFileOpensAsANewUntitledClass) {
  Spit(Path("list.MTR"), "7\tAdams\tAnn\r8\tBrown\tBob\r");
  answers = {1};
  PostCommandLineEvents({Path("list.MTR")});
  Run();
  ASSERT_NE(nullptr, gWindow);
  EXPECT_EQ(Title(), "untitled");
  EXPECT_TRUE(gFileSpec.empty());
  EXPECT_EQ(NumStudents(), 2);
  EXPECT_EQ(gStudents[0].name.str(), "Adams, Ann");
  EXPECT_EQ(gStudents[1].id.str(), "8");
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Import finished");
  EXPECT_EQ(gImportingRoster, 0);
}

TEST_F(ExportCommandsTest, TheExportMenuOffersTheTextCommandsWithStudents) {
  PostCommandLineEvents({});
  Run();
  EXPECT_FALSE(Enabled(kExportMenu, 1));  // no students
  gStudents[0].name.setC("Ann");
  EXPECT_TRUE(Enabled(kExportMenu, 1));
  EXPECT_TRUE(Enabled(kExportMenu, 2));  // the web site
  EXPECT_TRUE(Enabled(kExportMenu, 9));
  EXPECT_TRUE(Enabled(kFileMenu, kImportItem));
}

}  // namespace
