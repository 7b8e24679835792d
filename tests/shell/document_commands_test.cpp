// New, open, save, save as, revert, close and quit, driven through the program's
// event loop, its menus and the desktop's events, with the save-changes prompt.
#include <fstream>

#include "marktally/shell/window/input.h"
#include "tests/shell/window_fixture.h"

namespace {

class DocumentCommandsTest : public WindowTest {
 protected:
  void StartWithNewClass() {
    PostCommandLineEvents({});
    Run();
    ASSERT_NE(nullptr, gWindow);
  }
  void Change() {
    gStudents[0].name.setC("Zimmer, Paula");
    SetChanged(1);
  }
  // The class a document holds, read into the tables.
  std::string FirstNameIn(const std::string& path) {
    const FileSpec saved = gFileSpec;
    gFileSpec.path = path;
    FileRef ref = kNoFile;
    std::string name;
    if (OpenFile(ref) && ReadDocument(ref)) name = gStudents[0].name.str();
    gFileSpec = saved;
    return name;
  }
  std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(DocumentCommandsTest, StartingWithoutDocumentOpensAnUntitledClass) {
  StartWithNewClass();
  EXPECT_EQ("untitled", Title());
  EXPECT_TRUE(gFileSpec.empty());
  EXPECT_EQ(0, gChanged);
  EXPECT_EQ(kGradebookView, gCurrView);
  EXPECT_EQ("untitled", FrameTitle());
}

TEST_F(DocumentCommandsTest, OpenReadsTheClassAndScrollsToTheLastScoredAssignment) {
  WriteSampleClass(Path("Biology.mtb"), 30, 12);
  StartWithNewClass();
  OpenThroughMenu(Path("Biology.mtb"));
  NavRequest request;
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ(NavRequest::kOpen, request.kind);
  EXPECT_TRUE(request.filter("/a/b.MTB", false));
  EXPECT_FALSE(request.filter("/a/bmtb", false));
  EXPECT_TRUE(request.filter("/a/folder", true));
  EXPECT_EQ("Biology.mtb", Title());
  EXPECT_EQ(Path("Biology.mtb"), gFileSpec.path);
  EXPECT_EQ(30, NumStudents());
  EXPECT_EQ(0, gChanged);
  EXPECT_EQ(11 - 4, HScrollValue());
  EXPECT_EQ(0, VScrollValue());
  ASSERT_GE(gNumRecentFiles, 1);
  EXPECT_EQ(Path("Biology.mtb"), gRecentFiles[0].spec.path);
}

TEST_F(DocumentCommandsTest, AClassWhoseScoredColumnsFitOpensOnItsFirstColumn) {
  StartWithNewClass();
  for (int assignments : {1, 5, 6, 10}) {
    SCOPED_TRACE(assignments);
    const std::string path = Path("Fits " + std::to_string(assignments) + ".mtb");
    WriteSampleClass(path, 30, assignments);
    OpenThroughMenu(path);
    ASSERT_GT(HPageStep(), assignments) << "the window shows every scored column";
    EXPECT_EQ(0, HScrollValue());
  }
}

TEST_F(DocumentCommandsTest, AFileThatCannotBeReadGivesANewUntitledClass) {
  std::ofstream(Path("broken.mtb")) << "not a gradebook";
  StartWithNewClass();
  answers = {1};
  OpenThroughMenu(Path("broken.mtb"));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ(kStopAlert, alerts[0].kind);
  EXPECT_EQ("untitled", Title());
  EXPECT_TRUE(gFileSpec.empty());
}

TEST_F(DocumentCommandsTest, SaveWritesTheChangesAndClearsTheModifiedMark) {
  WriteSampleClass(Path("Biology.mtb"));
  StartWithNewClass();
  OpenThroughMenu(Path("Biology.mtb"));
  Change();
  EXPECT_EQ("Biology.mtb*", FrameTitle());
  ASSERT_TRUE(Choose(kFileMenu, kSaveItem));
  EXPECT_EQ(0, gChanged);
  EXPECT_EQ("Biology.mtb", FrameTitle());
  EXPECT_EQ("Zimmer, Paula", FirstNameIn(Path("Biology.mtb")));
}

TEST_F(DocumentCommandsTest, SaveAsNamesTheClassAndOffersTheTitleWithTheExtension) {
  StartWithNewClass();
  gStudents[0].name.setC("Abbott, Ana");
  SetChanged(1);
  ScriptNavAnswer(NavAnswer{false, {Path("Grade 7.mtb")}, false});
  ASSERT_TRUE(Choose(kFileMenu, kSaveItem));  // untitled: Save asks for a name
  NavRequest request;
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ(NavRequest::kSave, request.kind);
  EXPECT_EQ("untitled.mtb", request.options.saveFileName);
  EXPECT_EQ("Grade 7.mtb", Title());
  EXPECT_EQ(Path("Grade 7.mtb"), gFileSpec.path);
  EXPECT_EQ(0, gChanged);
  EXPECT_EQ(Path("Grade 7.mtb"), gRecentFiles[0].spec.path);
  EXPECT_EQ("Abbott, Ana", FirstNameIn(Path("Grade 7.mtb")));
}

TEST_F(DocumentCommandsTest, SaveAsOfANameTypedWithoutTheSuffixAddsIt) {
  struct Case {
    const char* typed;
    const char* saved;
  } cases[] = {
      {"Biology", "Biology.mtb"},
      {"Biology.v2", "Biology.v2.mtb"},
      {"Chemistry.MTB", "Chemistry.MTB"},
  };
  StartWithNewClass();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ScriptNavAnswer(NavAnswer{false, {Path(c.typed)}, false});
    ASSERT_TRUE(Choose(kFileMenu, kSaveAsItem));
    NavRequest request;
    ASSERT_TRUE(LastNavRequest(&request));
    EXPECT_EQ("Marktally classes (*.mtb)", request.options.filterName);
    EXPECT_EQ("mtb", request.options.defaultSuffix);
    EXPECT_EQ(c.saved, Title());
    EXPECT_EQ(Path(c.saved), gFileSpec.path);
    EXPECT_TRUE(std::filesystem::exists(Path(c.saved)));
    EXPECT_FALSE(std::string(c.typed) != c.saved && std::filesystem::exists(Path(c.typed)));
  }
  ScriptNavAnswer(NavAnswer{false, {Path("Biology.mtb")}, false});
  ASSERT_TRUE(Choose(kFileMenu, kOpenItem));
  NavRequest request;
  ASSERT_TRUE(LastNavRequest(&request));
  EXPECT_EQ("Marktally classes (*.mtb)", request.options.filterName);
}

TEST_F(DocumentCommandsTest, SaveAsDefaultNames) {
  struct Case {
    const char* title;
    const char* offered;
  } cases[] = {
      {"untitled", "untitled.mtb"},
      {"Period 3 Biology.MTB", "Period 3 Biology.MTB"},
      {"A forty character long name for a class!", "A forty character long name.mtb"},
      {"notes.mtbx", "notes.mtbx.mtb"},
  };
  StartWithNewClass();
  for (const Case& c : cases) {
    SetWTitle(gWindow, PStr(c.title));
    ScriptNavAnswer(NavAnswer{true, {}, false});
    ASSERT_TRUE(Choose(kFileMenu, kSaveAsItem));
    NavRequest request;
    ASSERT_TRUE(LastNavRequest(&request));
    EXPECT_EQ(c.offered, request.options.saveFileName) << c.title;
    EXPECT_EQ(c.title, Title()) << "a cancelled Save As changes nothing";
  }
}

TEST_F(DocumentCommandsTest, SaveAsRefusesANameThatBeginsWithAPeriod) {
  StartWithNewClass();
  answers = {1};
  ScriptNavAnswer(NavAnswer{false, {Path(".hidden.mtb")}, false});
  ASSERT_TRUE(Choose(kFileMenu, kSaveAsItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Illegal file name", alerts[0].title);
  EXPECT_EQ("This document could not be saved because file names may not begin with a period.",
            alerts[0].text);
  EXPECT_FALSE(std::filesystem::exists(Path(".hidden.mtb")));
  EXPECT_TRUE(gFileSpec.empty());
}

TEST_F(DocumentCommandsTest, AFailedSaveAsKeepsTheReplacedFileAndTheClassName) {
  WriteClass(Path("Old.mtb"), [] { gStudents[0].name.setC("Old, Class"); });
  const std::string before = Bytes(Path("Old.mtb"));
  WriteSampleClass(Path("Biology.mtb"));
  StartWithNewClass();
  OpenThroughMenu(Path("Biology.mtb"));
  Change();
  FileFaults faults;
  faults.failWriteAt = 100;
  SetFileFaultsForTesting(&faults);
  answers = {1};
  ScriptNavAnswer(NavAnswer{false, {Path("Old.mtb")}, true});
  ASSERT_TRUE(Choose(kFileMenu, kSaveAsItem));
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ(1u, alerts.size());
  EXPECT_EQ(before, Bytes(Path("Old.mtb")));
  EXPECT_EQ(Path("Biology.mtb"), gFileSpec.path);
  EXPECT_EQ("Biology.mtb", Title());
  EXPECT_EQ(1, gChanged);
}

TEST_F(DocumentCommandsTest, RevertAsksAndReadsTheSavedClassAgain) {
  WriteSampleClass(Path("Biology.mtb"));
  StartWithNewClass();
  OpenThroughMenu(Path("Biology.mtb"));
  const std::string saved = gStudents[0].name.str();
  Change();
  answers = {2};
  ASSERT_TRUE(Choose(kFileMenu, kRevertItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Discard all unsaved changes?", alerts[0].title);
  EXPECT_EQ(
      "Are you sure you want to discard all unsaved changes and revert to the last saved "
      "version of 'Biology.mtb'?",
      alerts[0].text);
  EXPECT_EQ(kAlertRevertCancel, alerts[0].buttons);
  EXPECT_EQ("Zimmer, Paula", gStudents[0].name.str());
  answers = {1};
  ASSERT_TRUE(Choose(kFileMenu, kRevertItem));
  EXPECT_EQ(saved, gStudents[0].name.str());
  EXPECT_EQ(0, gChanged);
  EXPECT_EQ("Biology.mtb", Title());
}

TEST_F(DocumentCommandsTest, RevertNeedsASavedClass) {
  StartWithNewClass();
  EXPECT_FALSE(Enabled(kFileMenu, kRevertItem));
}

TEST_F(DocumentCommandsTest, CloseWithEachAnswerOfTheSavePrompt) {
  struct Case {
    int16_t answer;
    bool closed;
    const char* savedName;
  } cases[] = {
      {1, true, "Zimmer, Paula"},  // Save
      {2, false, nullptr},         // Cancel
      {3, true, nullptr},          // Don't Save
  };
  for (const Case& c : cases) {
    WriteSampleClass(Path("Biology.mtb"));
    const std::string original = FirstNameIn(Path("Biology.mtb"));
    StartWithNewClass();
    OpenThroughMenu(Path("Biology.mtb"));
    Change();
    alerts.clear();
    answers = {c.answer};
    ASSERT_TRUE(Choose(kFileMenu, kCloseItem));
    ASSERT_EQ(1u, alerts.size());
    EXPECT_EQ("'Biology.mtb' has been changed", alerts[0].title);
    EXPECT_EQ(
        "You have made changes to this document. Do you want to save your changes before "
        "continuing?",
        alerts[0].text);
    EXPECT_EQ(kAlertSaveCancelDont, alerts[0].buttons);
    EXPECT_EQ(c.closed, gWindow == nullptr) << "answer " << c.answer;
    const std::string name = FirstNameIn(Path("Biology.mtb"));
    EXPECT_EQ(c.savedName ? c.savedName : original, name) << "answer " << c.answer;
    Stop();
    Start();
  }
}

TEST_F(DocumentCommandsTest, AnUnchangedClassClosesWithoutAsking) {
  StartWithNewClass();
  ASSERT_TRUE(Choose(kFileMenu, kCloseItem));
  EXPECT_EQ(nullptr, gWindow);
  EXPECT_TRUE(alerts.empty());
  EXPECT_FALSE(Enabled(kFileMenu, kCloseItem));
}

TEST_F(DocumentCommandsTest, CancellingTheSaveDialogOfThePromptKeepsTheClass) {
  StartWithNewClass();
  Change();
  answers = {1};
  ScriptNavAnswer(NavAnswer{true, {}, false});
  ASSERT_TRUE(Choose(kFileMenu, kCloseItem));
  EXPECT_NE(nullptr, gWindow);
  EXPECT_EQ(1, gChanged);
}

// A save that fails inside the prompt must not let the command drop the class.
TEST_F(DocumentCommandsTest, AFailedSaveInThePromptStopsCloseQuitAndOpen) {
  WriteSampleClass(Path("Biology.mtb"));
  WriteSampleClass(Path("Other.mtb"), 5, 2);
  StartWithNewClass();
  OpenThroughMenu(Path("Biology.mtb"));
  Change();
  FileFaults faults;
  faults.failWriteAt = 10;
  SetFileFaultsForTesting(&faults);

  answers = {1, 1};  // Save, then the error
  ASSERT_TRUE(Choose(kFileMenu, kCloseItem));
  EXPECT_NE(nullptr, gWindow);

  answers = {1, 1};
  PostCommandLineEvents({Path("Other.mtb")});
  Run();
  EXPECT_EQ("Biology.mtb", Title());

  answers = {1, 1};
  ScriptNavAnswer(NavAnswer{false, {Path("Other.mtb")}, false});
  ASSERT_TRUE(Choose(kFileMenu, kOpenItem));
  EXPECT_EQ("Biology.mtb", Title());

  answers = {1, 1};
  ASSERT_TRUE(Choose(kFileMenu, QuitItem()));
  EXPECT_EQ(0, gDone);
  SetFileFaultsForTesting(nullptr);
  EXPECT_EQ("Zimmer, Paula", gStudents[0].name.str());
  EXPECT_EQ(1, gChanged);
  EXPECT_EQ(8u, alerts.size());
}

TEST_F(DocumentCommandsTest, QuitThroughTheDesktopClosesTheClassFirst) {
  StartWithNewClass();
  Change();
  answers = {2};  // Cancel
  SendDesktopQuit();
  Run();
  EXPECT_EQ(0, gDone);
  EXPECT_NE(nullptr, gWindow);
  answers = {3};  // Don't Save
  SendDesktopQuit();
  Run();
  EXPECT_EQ(1, gDone);
  EXPECT_EQ(nullptr, gWindow);
}

TEST_F(DocumentCommandsTest, TheFrameCloseButtonClosesTheClassThenQuits) {
  StartWithNewClass();
  SendDesktopClose();
  Run();
  EXPECT_EQ(nullptr, gWindow);
  EXPECT_EQ(0, gDone);
  SendDesktopClose();
  Run();
  EXPECT_EQ(1, gDone);
}

TEST_F(DocumentCommandsTest, NewClassKeepsTheOptionsOfTheOpenClass) {
  WriteClass(Path("Options.mtb"), [] {
    gClass.school.setC("Lakeside");
    gStudents[0].name.setC("Brooks, Ben");
  });
  StartWithNewClass();
  OpenThroughMenu(Path("Options.mtb"));
  ASSERT_TRUE(Choose(kFileMenu, kNewItem));
  EXPECT_EQ("untitled", Title());
  EXPECT_EQ("Lakeside", gClass.school.str());
  EXPECT_EQ(0, NumStudents());
  EXPECT_TRUE(gFileSpec.empty());
}

TEST_F(DocumentCommandsTest, OpenRecentOpensDropsAndClears) {
  WriteSampleClass(Path("A.mtb"), 3, 1);
  WriteSampleClass(Path("B.mtb"), 4, 1);
  StartWithNewClass();
  OpenThroughMenu(Path("A.mtb"));
  OpenThroughMenu(Path("B.mtb"));
  ASSERT_EQ(2, gNumRecentFiles);
  std::string text;
  ASSERT_TRUE(FrameMenuItem(kFileMenu, kFirstRecentItem + 1, &text, nullptr, nullptr));
  EXPECT_EQ("2 A.mtb", text);

  ASSERT_TRUE(Choose(kFileMenu, kFirstRecentItem + 1));
  EXPECT_EQ("A.mtb", Title());
  EXPECT_EQ(Path("A.mtb"), gRecentFiles[0].spec.path);

  std::filesystem::remove(Path("B.mtb"));
  answers = {1};
  ASSERT_TRUE(Choose(kFileMenu, kFirstRecentItem + 1));
  EXPECT_EQ(1u, alerts.size());
  EXPECT_EQ("untitled", Title());
  ASSERT_EQ(1, gNumRecentFiles);
  EXPECT_EQ(Path("A.mtb"), gRecentFiles[0].spec.path);

  Change();
  ASSERT_TRUE(Choose(kFileMenu, kFirstRecentItem + 2));  // Clear Recent Files
  EXPECT_EQ(0, gNumRecentFiles);
  EXPECT_EQ(1u, alerts.size()) << "clearing the list does not ask to save";
  EXPECT_NE(nullptr, gWindow);
}

TEST_F(DocumentCommandsTest, OpeningSeveralDocumentsOpensTheFirst) {
  WriteSampleClass(Path("A.mtb"), 3, 1);
  WriteSampleClass(Path("B.mtb"), 4, 1);
  answers = {1};
  PostCommandLineEvents({Path("A.mtb"), Path("B.mtb"), Path("C.mtb")});
  Run();
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ(kNoteAlert, alerts[0].kind);
  EXPECT_EQ("Attempt to open more than one document", alerts[0].title);
  EXPECT_EQ("You may only open one document at a time. The first document will be opened.",
            alerts[0].text);
  EXPECT_EQ("A.mtb", Title());
  EXPECT_EQ(3, NumStudents());
}

TEST_F(DocumentCommandsTest, RostersAreRecognisedByTheirExtension) {
  {
    std::ofstream roster(Path("list.MTR"), std::ios::binary);
    roster << "1\tAdams\tAnn\r2\tBrown\tBob\r3\tCole\tCy\r";
  }
  WriteSampleClass(Path("listmtr"), 4, 1);
  answers = {1, 3};  // the import's report; the imported class is not kept
  PostCommandLineEvents({Path("list.MTR")});
  Run();
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Import finished", alerts[0].title);
  EXPECT_EQ("untitled", Title());
  EXPECT_EQ(3, NumStudents());
  EXPECT_EQ(1, gChanged);
  PostCommandLineEvents({Path("listmtr")});
  Run();
  EXPECT_EQ("listmtr", Title());
  EXPECT_EQ(4, NumStudents());
}

TEST_F(DocumentCommandsTest, OpeningADocumentWhileAChangedClassIsOpenCanBeCancelled) {
  WriteSampleClass(Path("A.mtb"), 3, 1);
  StartWithNewClass();
  Change();
  answers = {2};
  PostCommandLineEvents({Path("A.mtb")});
  Run();
  EXPECT_EQ("untitled", Title());
  EXPECT_EQ("Zimmer, Paula", gStudents[0].name.str());
}

TEST_F(DocumentCommandsTest, ReopenOpensANewClassOnlyWithoutAWindow) {
  StartWithNewClass();
  Change();
  DoReopenApp(nullptr, nullptr, 0);
  EXPECT_EQ("Zimmer, Paula", gStudents[0].name.str());
  answers = {3};
  DoCloseCmd();
  ASSERT_EQ(nullptr, gWindow);
  DoReopenApp(nullptr, nullptr, 0);
  EXPECT_EQ("untitled", Title());
}

TEST_F(DocumentCommandsTest, TheUsersGuideOpensWithTheDesktopViewer) {
  std::vector<std::string> opened;
  SetDocumentOpenerForTesting([&](const std::string& path) {
    opened.push_back(path);
    return true;
  });
  ASSERT_TRUE(Choose(kHelpMenu, kUsersGuideItem));
  ASSERT_EQ(1u, opened.size());
  EXPECT_EQ(opened[0], FindUsersGuide());
  EXPECT_TRUE(std::filesystem::exists(opened[0]));
  EXPECT_TRUE(opened[0].size() > 16 &&
              opened[0].substr(opened[0].size() - 16) == "users-guide.html");

  SetDocumentOpenerForTesting([](const std::string&) { return false; });
  answers = {1};
  ASSERT_TRUE(Choose(kHelpMenu, kUsersGuideItem));
  ASSERT_EQ(1u, alerts.size());
  EXPECT_EQ("Unable to open users guide", alerts[0].title);
  EXPECT_NE(std::string::npos, alerts[0].text.find("users-guide.html"));
}

}  // namespace
