// The Export menu's XML commands for Basmati, SchoolCenter and SchoolFusion, driven
// through the menus: the ID warning, the service's dialog, the save dialog and the file.
#include <fstream>
#include <sstream>

#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/export_commands.h"
#include "tests/shell/window_fixture.h"

namespace {

class XmlExportCommandsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetModalStuckHandler([](DialogRef d) {
      ADD_FAILURE() << "dialog " << GetDialogID(d) << " waits for input the test does not give";
      return GetDialogCancelItem(d) ? GetDialogCancelItem(d) : DialogItemIndex{1};
    });
  }
  void TearDown() override {
    gExportData = ExportDataRecord{};
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
  std::string SaveName() {
    NavRequest request;
    return LastNavRequest(&request) ? request.options.saveFileName : std::string();
  }
};

enum : int16_t { kBasmatiItem = 6, kSchoolCtrItem = 7, kSchoolFusionItem = 8 };

TEST_F(XmlExportCommandsTest, BasmatiWarnsAsksTheDialogThenTheFileAndWritesIt) {
  OpenSample("A class with a rather long name.mtb", 3, 2);
  gStudents[1].id.clear();
  answers = {1};
  ScriptDialog(gExportBasmatiDialog, {TypeStep(3, "ALG-1"), TypeStep(4, "2"), ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("out.xml")}, false});
  ASSERT_TRUE(Choose(kExportMenu, kBasmatiItem));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, kNoteAlert);
  EXPECT_EQ(alerts[0].title, "Some students will not be exported");
  EXPECT_EQ(alerts[0].text,
            "One or more students in this class do not have an ID. These students will not "
            "be exported to Online Grades.");
  EXPECT_EQ(SaveName(), "A class with a rather long .xml");
  EXPECT_EQ(gExportData.classCode.str(), "ALG-1");
  const std::string file = Slurp(Path("out.xml"));
  EXPECT_EQ(file.rfind("<BasmatiL>\r<CLASS>\r<CC> ALG-1 </CC>\r<SN> 2 </SN>\r", 0), 0u);
  EXPECT_NE(file.find("<ID> S1001 </ID>"), std::string::npos);
  EXPECT_EQ(file.find("<ID> S1002 </ID>"), std::string::npos);  // no ID: left out
  EXPECT_NE(file.find("<ID> S1003 </ID>"), std::string::npos);
  EXPECT_NE(FrontWindow(), GetDialogWindow(gExportProgressDialog));

  // SchoolFusion writes the very same file from its own dialog.
  gStudents[1].id.setC("S1002");
  ScriptDialog(gExportSchoolFusionDialog, {ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("fusion.xml")}, false});
  ScriptDialog(gExportBasmatiDialog, {ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("again.xml")}, false});
  alerts.clear();
  ASSERT_TRUE(Choose(kExportMenu, kSchoolFusionItem));
  ASSERT_TRUE(Choose(kExportMenu, kBasmatiItem));
  EXPECT_TRUE(alerts.empty());  // every student has an ID now
  EXPECT_EQ(Slurp(Path("fusion.xml")), Slurp(Path("again.xml")));
  EXPECT_NE(Slurp(Path("fusion.xml")).find("<ID> S1002 </ID>"), std::string::npos);
}

TEST_F(XmlExportCommandsTest, ACancelledDialogOrFileWritesNothing) {
  OpenSample("Center.mtb", 2, 2);
  const std::string before = gExportData.classCode.str();
  ScriptDialog(gExportSchoolCtrDialog, {TypeStep(3, "typed"), ClickStep(2)});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolCtrItem));
  EXPECT_EQ(gExportData.classCode.str(), before);
  EXPECT_TRUE(SaveName().empty());  // no file was asked for

  ScriptDialog(gExportSchoolCtrDialog, {TypeStep(3, "C-9"), ClickStep(1)});
  ScriptNavAnswer(NavAnswer{true, {}, false});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolCtrItem));
  EXPECT_EQ(SaveName(), "Center.xml");
  EXPECT_FALSE(std::filesystem::exists(Path("Center.xml")));

  ScriptDialog(gExportSchoolCtrDialog, {ClickStep(1)});
  ScriptNavAnswer(NavAnswer{false, {Path("Center.xml")}, false});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolCtrItem));
  EXPECT_NE(Slurp(Path("Center.xml")).find("<ClassInfo RefID=\"C-9\">\r"), std::string::npos);
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(FrontWindow(), gWindow);
}

}  // namespace
