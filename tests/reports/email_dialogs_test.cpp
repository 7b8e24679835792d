// The mail server, addresses and send dialogs, and the e-mail commands' refusals.
#include <fstream>
#include <iterator>

#include "marktally/reports/email.h"
#include "marktally/shell/dialogs/dialog_items.h"
#include "marktally/shell/dialogs/email_dialogs.h"
#include "marktally/shell/commands/export_commands.h"
#include "tests/shell/dialog_fixture.h"

namespace {

class EmailDialogsTest : public dialogtest::DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    gOtherAddresses.clear();
  }
  static void AddStudent(int s, const char* name) { gStudents[s].name.setC(name); }
};

TEST_F(EmailDialogsTest, ServerDialogRefusesEachFieldInTurnThenStoresStripped) {
  ExpectAlert(kStopAlert, "Invalid SMTP port", "The SMTP port must be between 1 and 32767.");
  ExpectAlert(kStopAlert, "Invalid teacher email address",
              "The teacher email address cannot be left blank, and must be formatted like "
              "jsmith@myschool.edu");
  ExpectAlert(kStopAlert, "Invalid SMTP server address",
              "The SMTP server address cannot be left blank, and must be formatted like "
              "smtp.myschool.edu");
  ScriptDialog(gServerDialog,
               {TypeStep(5, "0"), ClickStep(1), TypeStep(5, "2525"), TypeStep(3, "pat@school"),
                ClickStep(1), TypeStep(3, "  pat@school.org "), TypeStep(4, "Localhost"),
                ClickStep(1), TypeStep(4, "localhost"), ClickStep(8), TypeStep(6, " pat "),
                TypeStep(7, "pw"), ClickStep(1)});
  DoServerDialog();
  EXPECT_EQ(gEmailData.port, -2525);
  EXPECT_EQ(gEmailData.address.str(), "pat@school.org");
  EXPECT_EQ(gEmailData.server.str(), "localhost");
  EXPECT_EQ(gEmailData.user.str(), "pat");
  EXPECT_EQ(gEmailData.password.str(), "pw");

  // Shown again: the port's magnitude and the box; Cancel keeps everything.
  ScriptDialog(gServerDialog, {CheckStep([](DialogRef d) {
                                 Str255 port{};
                                 GetEditText(d, 5, port);
                                 EXPECT_EQ(port.str(), "2525");
                                 EXPECT_TRUE(GetCheckBox(d, 8));
                               }),
                               TypeStep(5, "99"), ClickStep(2)});
  DoServerDialog();
  EXPECT_EQ(gEmailData.port, -2525);
}

TEST_F(EmailDialogsTest, AddressesDialogStoresEveryStudentWithSeparatorsAsBlanks) {
  AddStudent(0, "Lee, Ann");
  AddStudent(1, "Roe, Bo");
  AdjustEmailMenu();
  ExpectAlert(kStopAlert, "Invalid Email Address",
              "Invalid email address. Email addresses must be formatted as: "
              "jsmith@myschool.edu");
  ExpectAlert(kStopAlert, "Invalid Email Address",
              "At least one recipient email address must be specified.");
  ScriptDialog(gEmailDialog,
               {TypeStep(2, "ann@school.org, dad@home"), ChooseStep(3, 2),  // refused
                TypeStep(2, "ann@school.org, dad@home.net;mum@home.net"), ChooseStep(3, 2),
                TypeStep(4, "gran@home.net"), ClickStep(1),  // no recipient
                TypeStep(2, " bo@school.org "), ClickStep(1)});
  DoEmailDialog(0);
  EXPECT_EQ(gEmailAddresses[0].recipients.str(), "ann@school.org  dad@home.net mum@home.net");
  EXPECT_EQ(gEmailAddresses[1].recipients.str(), "bo@school.org");
  EXPECT_EQ(gEmailAddresses[1].blindCopies.str(), "gran@home.net");
  EXPECT_EQ(gEmailPopUpItem, 2);
}

TEST_F(EmailDialogsTest, SendDialogAsksForOtherAddressesWhenTheirBoxIsOn) {
  AddStudent(0, "Lee, Ann");
  gEmailAddresses[0].recipients.setC("ann@school.org");
  ExpectAlert(kStopAlert, "Missing email address",
              "You must enter an email address if you check the Others box.");
  ExpectAlert(kStopAlert, "Invalid Email Address",
              "This is an invalid email address. Email addresses must be formatted as: "
              "jsmith@myschool.edu");
  ExpectAlert(kStopAlert, "No email addresses chosen",
              "This student has no blind copy email addresses.");
  ScriptDialog(gSendEmailDialog,
               {ClickStep(7), ClickStep(1), TypeStep(8, "office@school"), ClickStep(1),
                ClickStep(7), ClickStep(5), ClickStep(1), ClickStep(2)});
  DoSendEmailDialog(0, 7);
  EXPECT_TRUE(gOtherAddresses.empty());
}

TEST_F(EmailDialogsTest, EmailCommandsAskForTheServerAndRefuseStudentsWithoutAddresses) {
  AddStudent(0, "Lee, Ann");
  ExpectAlert(kNoteAlert, "No email server information",
              "You must set up your email server and teacher email address before emailing "
              "reports.");
  ExpectAlert(kNoteAlert, "No student email addresses",
              "No student in this class has an email address. You must enter email addresses "
              "for students before emailing reports.");
  ScriptDialog(gServerDialog, {ClickStep(2)});
  DoEmailReports(7);

  gEmailData.address.setC("pat@school.org");  // the teacher's address alone is enough
  ExpectAlert(kNoteAlert, "No student email addresses",
              "This student does not have an email address. You must enter an email address "
              "for this student before emailing reports.");
  DoEmailSingleReport(0, 8);
  EXPECT_EQ(PendingDialogSteps(gServerDialog), 0u);
}

TEST_F(EmailDialogsTest, TheMailSettingsTravelInTheClassFileAsTyped) {
  char pattern[] = "/tmp/mt-email-doc-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  AddStudent(0, "Lee, Ann");
  gEmailData.port = -587;
  gEmailData.server.setC("smtp.school.org");
  gEmailData.user.setC("pquinn");
  gEmailData.password.setC("S\x8E" "cret pw");
  gEmailAddresses[0].blindCopies.setC("mum@home.net");
  gFileSpec.path = dir + "/class.mtb";
  ASSERT_TRUE(SaveDocument());
  std::ifstream in(gFileSpec.path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(bytes.find("cret pw"), std::string::npos);  // other copies read it there

  NewClass();
  ASSERT_TRUE(ReadDocumentFromMemory(bytes.data(), bytes.size()));
  EXPECT_EQ(gEmailData.port, -587);
  EXPECT_EQ(gEmailData.password.str(), "S\x8E" "cret pw");
  EXPECT_EQ(gEmailAddresses[0].blindCopies.str(), "mum@home.net");
  gFileSpec.path.clear();
  std::filesystem::remove_all(dir);
}

}  // namespace
