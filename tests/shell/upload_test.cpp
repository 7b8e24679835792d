// The upload hand-offs: the Lorvex upload file handed to the real framework library (opened
// at run time, as the program opens it) and uploaded to the fake service, which inflates it
// and compares it with its reference copy; the framework's failures and its absence; and
// the SchoolSpeak upload tool, for which a recording stand-in named java comes first in
// PATH.
#include "marktally/reports/upload.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "marktally/model/fileutil.h"
#include "marktally/reports/framework_link.h"
#include "marktally/shell/dialogs.h"
#include "marktally/shell/exchange_dialogs.h"
#include "marktally/shell/export_commands.h"
#include "service_fixture.h"
#include "tests/shell/window_fixture.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, const std::string& bytes, mode_t mode = 0600) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  chmod(path.c_str(), mode);
}

std::vector<std::string> SplitNul(const std::string& bytes) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t nul; (nul = bytes.find('\0', start)) != std::string::npos; start = nul + 1)
    parts.push_back(bytes.substr(start, nul - start));
  return parts;
}

std::string DialogText(DialogRef d, DialogItemIndex item) {
  ControlRef c = nullptr;
  GetDialogItemAsControl(d, item, &c);
  char buffer[256] = {};
  int32_t size = 0;
  if (c) GetControlDataSize(c, kControlEntireControl, kControlStaticTextTextTag, &size);
  if (c && size > 0 && size < 256)
    GetControlData(c, kControlEntireControl, kControlStaticTextTextTag, size, buffer, nullptr);
  return std::string(buffer, static_cast<size_t>(size > 0 && size < 256 ? size : 0));
}

class UploadTest : public WindowTest {
 protected:
  // One service, one framework and one set of stand-in programs for the whole suite: the
  // framework reads its settings once per process.
  static void SetUpTestSuite() {
    WindowTest::SetUpTestSuite();
    const char* path = getenv("PATH");
    oldPath_ = path ? path : "/usr/bin:/bin";
    if (!service_) StartOnce();
    setenv("PATH", (suite_ + "/bin:/usr/bin:/bin").c_str(), 1);
    SetFrameworkNamesForTesting(VEXOKIT_LIBRARY, nullptr, nullptr);
    ASSERT_TRUE(FrameworkAvailable());
  }

  static void TearDownTestSuite() {
    SetFrameworkNamesForTesting(nullptr, nullptr, nullptr);
    setenv("PATH", oldPath_.c_str(), 1);
  }

  // The framework keeps its folders and settings for the life of the process, so its home,
  // cache and temporary folders, the service and the stand-ins live as long (removed at
  // exit).
  static void StartOnce() {
    char pattern[] = "/tmp/mt-upload-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    suite_ = pattern;
    static const struct Remover {
      ~Remover() {
        if (!suite_.empty()) std::filesystem::remove_all(suite_);
      }
    } remover;
    for (const char* sub : {"bin", "reference", "home", "cache", "tmp", "nojava"})
      std::filesystem::create_directories(suite_ + "/" + sub);
    setenv("HOME", (suite_ + "/home").c_str(), 1);
    setenv("XDG_CACHE_HOME", (suite_ + "/cache").c_str(), 1);
    setenv("TMPDIR", (suite_ + "/tmp").c_str(), 1);
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "HTTP_PROXY",
                             "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
      unsetenv(name);
    // The browser that shows the result page, and the upload tool's Java runtime.
    Spit(suite_ + "/bin/xdg-open",
         "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + suite_ + "/opened.txt'\n", 0700);
    Spit(suite_ + "/bin/java",
         "#!/bin/sh\n: > '" + suite_ + "/java-args'\n"
         "for a in \"$@\"; do printf '%s\\0' \"$a\" >> '" + suite_ + "/java-args'; done\n"
         "if [ -n \"$JAVA_SLEEP\" ]; then exec /bin/sleep \"$JAVA_SLEEP\"; fi\n"
         "exit \"${JAVA_EXIT:-0}\"\n",
         0700);
    setenv("LORVEX_UPLOAD_REFERENCE", (suite_ + "/reference").c_str(), 1);
    service_ = std::make_unique<vexotest::LorvexService>(VEXO_UPLOAD_SERVICE_SCRIPT);
    SetFrameworkNamesForTesting(VEXOKIT_LIBRARY, nullptr, nullptr);
    ASSERT_TRUE(FrameworkAvailable());
    // The same library the program opened: point it at the fake service.
    void* library = dlopen(VEXOKIT_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(nullptr, library);
    auto override = reinterpret_cast<void (*)(const char*, const char*)>(
        dlsym(library, "vexo25_overrideConfigOption"));
    ASSERT_NE(nullptr, override);
    override("urlprefix", service_->url("").c_str());
    override("uploadurl", service_->url("/AdminDataUpload.page").c_str());
  }

  void SetUp() override {
    WindowTest::SetUp();
    SetModalStuckHandler([](DialogRef d) {
      ADD_FAILURE() << "dialog " << GetDialogID(d) << " waits for input the test does not give";
      return GetDialogCancelItem(d) ? GetDialogCancelItem(d) : DialogItemIndex{1};
    });
    service_->clear();
    std::filesystem::remove_all(suite_ + "/reference");
    std::filesystem::create_directories(suite_ + "/reference");
    std::filesystem::remove(suite_ + "/opened.txt");
    std::filesystem::remove(suite_ + "/java-args");
  }

  void TearDown() override {
    SetUploadWaitHookForTesting(nullptr);
    SetUploadToolTimeoutForTesting(0);
    SetFileFaultsForTesting(nullptr);
    SetFrameworkNamesForTesting(VEXOKIT_LIBRARY, nullptr, nullptr);
    unsetenv("JAVA_EXIT");
    unsetenv("JAVA_SLEEP");
    setenv("PATH", (suite_ + "/bin:/usr/bin:/bin").c_str(), 1);
    gExportData = ExportDataRecord{};
    WindowTest::TearDown();
  }

  void OpenSample(const std::string& path, int students, int assignments) {
    WriteSampleClass(path, students, assignments);
    OpenThroughMenu(path);
    ASSERT_NE(nullptr, gWindow);
  }

  // What the writer makes of the open class, written into another folder: the copy the
  // service compares the upload with.
  std::string ReferenceUpload() {
    const FileSpec saved = gFileSpec;
    std::filesystem::create_directories(Path("ref"));
    gFileSpec.path = Path("ref/class.mtb");
    FileSpec spec;
    EXPECT_TRUE(ExportClassLorvex(spec));
    gFileSpec = saved;
    const std::string bytes = Slurp(spec.path);
    Spit(suite_ + "/reference/" + LeafName(spec), bytes);
    std::filesystem::remove(spec.path);
    return bytes;
  }

  std::string UploadName() const { return std::to_string(GetDateTime()); }

  std::vector<vexotest::RecordedRequest> UploadRequests() {
    std::vector<vexotest::RecordedRequest> out;
    for (const vexotest::RecordedRequest& r : service_->requests())
      if (r.target.rfind("/AdminDataUpload.page", 0) == 0) out.push_back(r);
    return out;
  }

  static std::string Opened() { return Slurp(suite_ + "/opened.txt"); }
  static std::vector<std::string> JavaArguments() {
    return SplitNul(Slurp(suite_ + "/java-args"));
  }

  static vexotest::ScriptedAnswer Answer(const std::string& body, double delay = 0) {
    vexotest::ScriptedAnswer a;
    a.body = body;
    a.delay = delay;
    return a;
  }

  static inline std::string suite_;
  static inline std::string oldPath_;
  static inline std::unique_ptr<vexotest::LorvexService> service_;
};

TEST_F(UploadTest, TheUploadFileArrivesWholeAndEqualToWhatTheWriterMade) {
  OpenSample(Path("Biology.mtb"), 6, 4);
  // Hostile values everywhere the file holds a typed text.
  gExportData.classCode.setC("BIO<1>&\"x\"");
  gStudents[0].name.setC("O'Hara & <Sons>, \x83" "mile");  // Emile with an acute accent
  gStudents[0].id.setC("A<1>&");
  gStudents[2].id.clear();  // not exported
  const std::string reference = ReferenceUpload();

  EXPECT_EQ(reference.rfind("<uploadfile>\r<format>es_rpt_01</format>\r\r<report>\r", 0), 0u);
  EXPECT_NE(reference.find("<classid>BIO&lt;1&gt;&amp;&quot;x&quot;</classid>\r"
                           "<firstname>&#201;mile</firstname>\r"
                           "<lastname>O&#39;Hara &amp; &lt;Sons&gt;</lastname>\r"
                           "<id>A&lt;1&gt;&amp;</id>\r\r<contents>\r\r"),
            std::string::npos);
  EXPECT_EQ(reference.find(gStudents[2].name.str()), std::string::npos);
  size_t reports = 0;
  for (size_t at = 0; (at = reference.find("<report>\r", at)) != std::string::npos; at++)
    reports++;
  EXPECT_EQ(reports, 5u);
  EXPECT_NE(reference.find("\r\r</contents>\r\r\r</report>\r</uploadfile>\r"), std::string::npos);
  for (unsigned char c : reference) EXPECT_LT(c, 128) << "the file is pure ASCII";

  FileSpec spec;
  ASSERT_TRUE(ExportClassLorvex(spec));
  EXPECT_EQ(spec.path, Path(UploadName()));
  EXPECT_TRUE(SendToLorvex("es_rpt_01", spec));
  EXPECT_TRUE(alerts.empty());
  EXPECT_FALSE(std::filesystem::exists(spec.path)) << "the framework deletes it once sent";

  const std::vector<vexotest::RecordedRequest> chunks = UploadRequests();
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(*chunks[0].field("file00name"), UploadName());
  EXPECT_EQ(*chunks[0].field("file00format"), "es_rpt_01");
  EXPECT_EQ(*chunks[0].field("file00length"), std::to_string(reference.size()));
  EXPECT_EQ(*chunks[0].field("srcCompID"), "marktally");
  EXPECT_EQ(*chunks[0].field("srcAppID"), "marktally");
  EXPECT_EQ(*chunks[0].field("srcAppVer"), "65");
  // The service inflated the file and found it equal to the reference copy.
  EXPECT_NE(Opened().find("&files=1&verified=1\n"), std::string::npos) << Opened();
  EXPECT_EQ(FrontWindow(), gWindow) << "the progress window is gone";
}

TEST_F(UploadTest, AClassWithoutIDsStillSendsItsEmptyFile) {
  OpenSample(Path("NoIDs.mtb"), 3, 2);
  for (int s = 0; s < 3; s++) gStudents[s].id.clear();
  EXPECT_EQ(ReferenceUpload(),
            "<uploadfile>\r<format>es_rpt_01</format>\r\r</uploadfile>\r");
  FileSpec spec;
  ASSERT_TRUE(ExportClassLorvex(spec));
  EXPECT_TRUE(SendToLorvex("es_rpt_01", spec));
  EXPECT_NE(Opened().find("&files=1&verified=1\n"), std::string::npos) << Opened();

  // A second export in the same second finds the name taken: the file-system alert.
  std::ofstream(Path(UploadName())) << "earlier";
  answers = {1};
  EXPECT_FALSE(ExportClassLorvex(spec));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Error");
  EXPECT_EQ(Slurp(Path(UploadName())), "earlier");
}

TEST_F(UploadTest, TheFrameworksStatusesAreShownByNumberAndTheFileStays) {
  // 103: the service's answer names no upload batch.
  OpenSample(Path("Chem.mtb"), 3, 2);
  service_->script("/AdminDataUpload.page", {Answer("url:" + service_->url("/r?x=1") + " ")});
  FileSpec spec;
  ASSERT_TRUE(ExportClassLorvex(spec));
  answers = {1};
  EXPECT_FALSE(SendToLorvex("es_rpt_01", spec));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, kStopAlert);
  EXPECT_EQ(alerts[0].title, "Unable to export to Lorvex");
  EXPECT_EQ(alerts[0].text, "Error number 103 occurred while exporting to Lorvex.\r\r");
  EXPECT_TRUE(std::filesystem::exists(spec.path));
  EXPECT_EQ(UploadRequests().size(), 1u);

  // 123: the document's folder is too deep for the framework's paths; nothing is sent.
  std::string deep = dir_;
  while (deep.size() < 1030) {
    deep += "/" + std::string(100, 'd');
    mkdir(deep.c_str(), 0700);
  }
  OpenSample(deep + "/Deep.mtb", 3, 2);
  service_->clear();
  alerts.clear();
  ASSERT_TRUE(ExportClassLorvex(spec));
  answers = {1};
  EXPECT_FALSE(SendToLorvex("es_rpt_01", spec));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].text, "Error number 123 occurred while exporting to Lorvex.\r\r");
  EXPECT_TRUE(std::filesystem::exists(spec.path));
  EXPECT_TRUE(UploadRequests().empty());
}

TEST_F(UploadTest, TheProgressWindowDrawsWhileTheWorkerUploadsAndNoCommandRuns) {
  OpenSample(Path("Slow.mtb"), 3, 2);
  // The service takes a second to answer; meanwhile the loop's thread keeps turning.
  service_->script("/AdminDataUpload.page",
                   {Answer("<!-- url:" + service_->url("/r?uploadBatchEntid=42") + " -->", 1.0)});
  FileSpec spec;
  ASSERT_TRUE(ExportClassLorvex(spec));
  int turns = 0;
  bool shown = true;
  std::string text;
  SetUploadWaitHookForTesting([&] {
    if (turns++ == 0) {
      text = DialogText(gExportProgressDialog, 2);
      // The teacher clicks the window's close box and types: neither reaches the class.
      PostWindowPartClick(inGoAway);
      InjectKey('x', 0);
    }
    shown = shown && FrontWindow() == GetDialogWindow(gExportProgressDialog);
  });
  EXPECT_TRUE(SendToLorvex("es_rpt_01", spec));
  EXPECT_GT(turns, 3);
  EXPECT_TRUE(shown);
  EXPECT_EQ(text, "Exporting to Lorvex");
  Run();
  EXPECT_NE(nullptr, gWindow) << "the click during the upload was dropped";
  EXPECT_NE(FrontWindow(), GetDialogWindow(gExportProgressDialog));
  EXPECT_TRUE(alerts.empty());
}

TEST_F(UploadTest, AMissingLibraryOrEntryPointLeavesTheFrameworkUnavailable) {
  EXPECT_TRUE(FrameworkAvailable());
  SetFrameworkNamesForTesting("libvexokit-missing.so.1", nullptr, nullptr);
  EXPECT_FALSE(FrameworkAvailable());
  SetFrameworkNamesForTesting(VEXOKIT_LIBRARY, nullptr, "vexo25_sendFilesMissing");
  EXPECT_FALSE(FrameworkAvailable());
  EXPECT_EQ(nullptr, FrameworkEntries().addFile);
  SetFrameworkNamesForTesting(VEXOKIT_LIBRARY, "vexo25_addFileMissing", nullptr);
  EXPECT_FALSE(FrameworkAvailable());
  // Without it the hand-off does nothing and says nothing (the command has refused).
  FileSpec spec{Path("nothing")};
  EXPECT_FALSE(SendToLorvex("es_rpt_01", spec));
  EXPECT_TRUE(alerts.empty());
  EXPECT_TRUE(UploadRequests().empty());
  EXPECT_STREQ(kFrameworkLibrary, "libvexokit.so.1");
}

TEST_F(UploadTest, TheUploadToolGetsEveryArgumentIntactWithoutAShell) {
  OpenSample(Path("Speak $HOME `id` \"q\".mtb"), 3, 2);
  gExportData.classCode.setC("C 1;$(rm -rf x)");
  gExportData.account.setC("t\"eacher `whoami` $USER");
  gExportData.teacherID.setC("p w'\"$1\\");
  const std::string tool = UploadToolPath();
  EXPECT_EQ(tool.substr(tool.size() - 15), "/UploadTool.jar");

  EXPECT_TRUE(SaveToSchoolSpeak(gFileSpec));
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", tool, "-action", "GradeFileSave", "-file",
                                      gFileSpec.path, "-dontdeletefiles", "-dontopenbrowser",
                                      "-app", "Marktally 6.3", "-class", "C 1;$(rm -rf x)",
                                      "-username", "t\"eacher `whoami` $USER", "-password",
                                      "p w'\"$1\\"}));
  const FileSpec grades{Path("39$ `x` \"y\".xml")};
  EXPECT_TRUE(SendToSchoolSpeak(grades));
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", tool, "-action", "GradeUpload", "-file",
                                      grades.path, "-app", "Marktally 6.4", "-username",
                                      "t\"eacher `whoami` $USER", "-password",
                                      "p w'\"$1\\"}));
  // Empty account and password: the command line ends after the application.
  gExportData.account.clear();
  gExportData.teacherID.clear();
  EXPECT_TRUE(SendToSchoolSpeak(grades));
  EXPECT_EQ(JavaArguments().back(), "Marktally 6.4");
  // A name in the program's text (Mac Roman) reaches the tool in the system's (UTF-8).
  gExportData.account.setC("Ren\x8E");
  EXPECT_TRUE(SendToSchoolSpeak(grades));
  EXPECT_EQ(JavaArguments().back(), "Ren\xC3\xA9");
  EXPECT_TRUE(alerts.empty());
}

TEST_F(UploadTest, AToolThatFailsCannotStartOrHangsIsReportedWithoutThePassword) {
  OpenSample(Path("Fail.mtb"), 3, 2);
  gExportData.teacherID.setC("secret-pw");
  gExportData.account.setC("teacher");
  struct Row {
    const char* exitCode;
    const char* sleep;
    bool withJava;
    bool save;
    std::string title;
    std::string text;
  } rows[] = {
      {"3", nullptr, true, false, "Unable to export to SchoolSpeak",
       "The SchoolSpeak upload tool ended with error number 3."},
      {"1", nullptr, true, true, "Unable to save to SchoolSpeak",
       "The SchoolSpeak upload tool ended with error number 1."},
      {nullptr, nullptr, false, false, "Unable to export to SchoolSpeak",
       "The SchoolSpeak upload tool could not be started because Java was not found. "
       "Install a Java runtime so that the command java can be run."},
      {nullptr, "30", true, true, "Unable to save to SchoolSpeak",
       "The SchoolSpeak upload tool did not finish within 1 seconds and was stopped."},
  };
  SetUploadToolTimeoutForTesting(1);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    alerts.clear();
    answers = {1};
    if (r.exitCode) setenv("JAVA_EXIT", r.exitCode, 1); else unsetenv("JAVA_EXIT");
    if (r.sleep) setenv("JAVA_SLEEP", r.sleep, 1); else unsetenv("JAVA_SLEEP");
    setenv("PATH", (suite_ + (r.withJava ? "/bin" : "/nojava")).c_str(), 1);
    EXPECT_FALSE(r.save ? SaveToSchoolSpeak(gFileSpec) : SendToSchoolSpeak(gFileSpec));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kStopAlert);
    EXPECT_EQ(alerts[0].title, r.title);
    EXPECT_EQ(alerts[0].text, r.text);
    EXPECT_EQ(alerts[0].text.find("secret-pw"), std::string::npos);
    EXPECT_NE(FrontWindow(), GetDialogWindow(gExportProgressDialog));
  }
}

enum : int16_t { kLorvexItem = 4, kSchoolSpeakItem = 5 };

TEST_F(UploadTest, TheLorvexCommandWarnsAsksTheClassCodeWritesAndUploads) {
  OpenSample(Path("Physics.mtb"), 4, 3);
  gStudents[3].id.clear();
  gExportData.classCode.setC("PHY-2");
  ReferenceUpload();
  gExportData.classCode.clear();
  answers = {1};
  ScriptDialog(gExportLorvexDialog, {TypeStep(3, "PHY-2"), ClickStep(1)});
  ASSERT_TRUE(Choose(kExportMenu, kLorvexItem));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Some students will not be exported");
  EXPECT_EQ(alerts[0].text,
            "One or more students in this class do not have an ID. These students will not "
            "be exported to Lorvex.");
  EXPECT_EQ(gExportData.classCode.str(), "PHY-2");
  EXPECT_NE(Opened().find("&files=1&verified=1\n"), std::string::npos) << Opened();
  EXPECT_FALSE(std::filesystem::exists(Path(UploadName())));

  // Cancel in the dialog writes and sends nothing.
  service_->clear();
  alerts.clear();
  answers = {1};
  ScriptDialog(gExportLorvexDialog, {ClickStep(2)});
  ASSERT_TRUE(Choose(kExportMenu, kLorvexItem));
  EXPECT_FALSE(std::filesystem::exists(Path(UploadName())));
  EXPECT_TRUE(UploadRequests().empty());
}

TEST_F(UploadTest, AnUploadFileThatFailedIsNeverHandedToTheFramework) {
  OpenSample(Path("Broken.mtb"), 5, 3);
  FileFaults faults;
  faults.failWriteAt = 300;
  SetFileFaultsForTesting(&faults);
  answers = {1};
  ScriptDialog(gExportLorvexDialog, {ClickStep(1)});
  ASSERT_TRUE(Choose(kExportMenu, kLorvexItem));
  SetFileFaultsForTesting(nullptr);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Error");  // the file's own error, no upload alert
  EXPECT_TRUE(UploadRequests().empty());
  EXPECT_TRUE(service_->requests().empty());
  EXPECT_NE(FrontWindow(), GetDialogWindow(gExportProgressDialog));
}

TEST_F(UploadTest, WithoutTheFrameworkTheLorvexCommandOnlyRefuses) {
  // Even an untitled class gets the one alert and nothing else.
  ASSERT_TRUE(Choose(kFileMenu, kNewItem));
  ASSERT_NE(nullptr, gWindow);
  gStudents[0].name.setC("Adams, Ann");
  for (const char* entry : {"vexo25_addFile", "vexo25_addFileGone"}) {
    SCOPED_TRACE(entry);
    SetFrameworkNamesForTesting(std::string(entry) == "vexo25_addFile"
                                    ? "libvexokit-missing.so.1"
                                    : VEXOKIT_LIBRARY,
                                entry, nullptr);
    alerts.clear();
    answers = {1};
    ASSERT_TRUE(Choose(kExportMenu, kLorvexItem));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kStopAlert);
    EXPECT_EQ(alerts[0].title, "Unable to Export to Lorvex");
    EXPECT_EQ(alerts[0].text,
              "Export to Lorvex needs the vexokit library (libvexokit.so.1), which is missing "
              "or lacks its upload functions.");
    EXPECT_TRUE(gFileSpec.empty());
  }
}

TEST_F(UploadTest, TheSchoolSpeakExportWritesItsFileAndHandsItToTheTool) {
  OpenSample(Path("Speak.mtb"), 3, 2);
  ScriptDialog(gExportSchoolSpeakDialog,
               {TypeStep(3, "C-9"), TypeStep(4, "mr roy"), TypeStep(5, "pa$$ `w`"), ClickStep(1)});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolSpeakItem));
  EXPECT_TRUE(alerts.empty());
  const std::string grades = Path(UploadName() + ".xml");
  EXPECT_NE(Slurp(grades).find("<SchoolSpeakGrades>"), std::string::npos);
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", UploadToolPath(), "-action", "GradeUpload",
                                      "-file", grades, "-app", "Marktally 6.4", "-username",
                                      "mr roy", "-password", "pa$$ `w`"}));

  // A grade file that could not be written is not handed to the tool.
  std::filesystem::remove(suite_ + "/java-args");
  answers = {1};
  ScriptDialog(gExportSchoolSpeakDialog, {ClickStep(1)});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolSpeakItem));  // the same second: the name is taken
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "Error");
  EXPECT_FALSE(std::filesystem::exists(suite_ + "/java-args"));
}

TEST_F(UploadTest, SaveToSchoolSpeakSavesFirstThenHandsTheDocumentToTheTool) {
  // An untitled class is saved first, through Save As.
  ASSERT_TRUE(Choose(kFileMenu, kNewItem));
  gStudents[0].name.setC("Adams, Ann");
  answers = {1};
  ScriptNavAnswer(NavAnswer{false, {Path("Saved here.mtb")}, false});
  ScriptDialog(gSaveSchoolSpeakDialog,
               {TypeStep(3, "K 1"), TypeStep(4, "roy"), TypeStep(5, "\"x\""), ClickStep(1)});
  ASSERT_TRUE(Choose(kFileMenu, kSaveToSpeakItem));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].title, "This class has not been saved");
  EXPECT_EQ(alerts[0].text,
            "This class has not yet been saved. You must save it before saving to SchoolSpeak.");
  EXPECT_TRUE(std::filesystem::exists(Path("Saved here.mtb")));
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", UploadToolPath(), "-action", "GradeFileSave",
                                      "-file", Path("Saved here.mtb"), "-dontdeletefiles",
                                      "-dontopenbrowser", "-app", "Marktally 6.3", "-class",
                                      "K 1", "-username", "roy", "-password", "\"x\""}));

  // A save that fails stops before the dialog: the tool would send the old document.
  std::filesystem::remove(suite_ + "/java-args");
  FileFaults faults;
  faults.renameErrno = 13;
  SetFileFaultsForTesting(&faults);
  alerts.clear();
  answers = {1, 1, 1};
  ASSERT_TRUE(Choose(kFileMenu, kSaveToSpeakItem));
  SetFileFaultsForTesting(nullptr);
  EXPECT_FALSE(alerts.empty());
  EXPECT_FALSE(std::filesystem::exists(suite_ + "/java-args"));
  EXPECT_EQ(PendingDialogSteps(gSaveSchoolSpeakDialog), 0u);
}

}  // namespace
