// The upload hand-offs: the Lorvex upload file handed to the real framework library (opened
// at run time, as the program opens it) and uploaded to the fake service, which inflates it
// and compares it with its reference copy; the framework's failures and its absence; and
// the SchoolSpeak upload tool, for which a recording stand-in named java comes first in
// PATH.
#include "marktally/reports/upload.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "marktally/model/fileutil.h"
#include "marktally/reports/framework_link.h"
#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/dialogs/exchange_dialogs.h"
#include "marktally/shell/commands/export_commands.h"
#include "child_process.h"
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

// A slow link in front of the service: what the program sends goes on in small slices, so
// that an upload takes about a second and its progress can be watched; answers pass at
// once. It runs in a child process, so that its own sockets are not the program's, and
// ends when its owner closes the pipe; every wait is bounded.
class SlowRelay {
 public:
  explicit SlowRelay(int servicePort) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    // A small window: the program's side sees its bytes acknowledged as the relay reads.
    const int small = 4096;
    setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener, 4);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length);
    port_ = ntohs(at.sin_port);
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      close(fds[1]);
      Serve(listener, fds[0], servicePort);
      _exit(0);
    }
    close(fds[0]);
    close(listener);
    owner_ = fds[1];
  }
  SlowRelay(const SlowRelay&) = delete;
  SlowRelay& operator=(const SlowRelay&) = delete;
  ~SlowRelay() {
    close(owner_);
    vexotest::reapChild(child_, 2000);
  }
  int port() const { return port_; }

 private:
  static bool OwnerGone(int owner) {
    pollfd p{owner, POLLIN, 0};
    return poll(&p, 1, 0) > 0;  // end of file: the owner closed its end
  }

  static void Serve(int listener, int owner, int servicePort) {
    while (!OwnerGone(owner)) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int client = accept(listener, nullptr, nullptr);
      if (client < 0) continue;
      const int service = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      to.sin_port = htons(static_cast<uint16_t>(servicePort));
      if (connect(service, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0)
        Pump(client, service, owner);
      close(service);
      close(client);
    }
  }

  // Until either side closes: the client's bytes 512 at a time every 20 ms.
  static void Pump(int client, int service, int owner) {
    char buffer[4096] = {};
    while (!OwnerGone(owner)) {
      pollfd p[2] = {{client, POLLIN, 0}, {service, POLLIN, 0}};
      if (poll(p, 2, 50) <= 0) continue;
      if (p[0].revents) {
        const ssize_t n = recv(client, buffer, 512, 0);
        if (n <= 0 || send(service, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) return;
        usleep(20000);
      }
      if (p[1].revents) {
        const ssize_t n = recv(service, buffer, sizeof buffer, 0);
        if (n <= 0 || send(client, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) return;
      }
    }
  }

  int port_ = 0;
  int owner_ = -1;
  pid_t child_ = -1;
};

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
         "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + suite_ + "/opened.txt'\n"
         "exit \"${OPEN_EXIT:-0}\"\n",
         0700);
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
    override_ = override;
    UploadTo(service_->url("/AdminDataUpload.page"));
  }

  // Where the framework sends the next upload.
  static void UploadTo(const std::string& url) { override_("uploadurl", url.c_str()); }

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
    unsetenv("OPEN_EXIT");
    UploadTo(service_->url("/AdminDataUpload.page"));
    ForgetSchoolSpeakPassword();
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

  // Writes the upload file into spec, hands it over and gives the one alert it showed.
  AlertRequest ExportAndSend(FileSpec& spec, bool uploaded) {
    alerts.clear();
    EXPECT_TRUE(ExportClassLorvex(spec));
    answers = {1};
    EXPECT_EQ(SendToLorvex("es_rpt_01", spec), uploaded);
    EXPECT_EQ(alerts.size(), 1u);
    return alerts.empty() ? AlertRequest{} : alerts[0];
  }

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
  static inline void (*override_)(const char*, const char*) = nullptr;
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

TEST_F(UploadTest, EveryFailureIsASentenceAndTheFileStaysForTheNextTry) {
  OpenSample(Path("Chem.mtb"), 3, 2);
  // A port that was just free: nobody answers there.
  const std::string closed = [] {
    vexotest::LorvexService gone(VEXO_UPLOAD_SERVICE_SCRIPT);
    return gone.url("/AdminDataUpload.page");
  }();
  vexotest::ScriptedAnswer unavailable = Answer("busy");
  unavailable.status = 503;
  vexotest::ScriptedAnswer forbidden = Answer("no");
  forbidden.status = 403;
  struct Row {
    const char* name;
    std::vector<vexotest::ScriptedAnswer> answers;  // empty: the closed port
    std::string text;
  };
  const Row rows[] = {
      {"no batch", {Answer("url:" + service_->url("/r?x=1") + " ")},
       "The upload to Lorvex failed: no batch. Your report was not uploaded. (Error 103)"},
      {"HTTP 503", {unavailable},
       "The Lorvex service is not working right now (HTTP 503). Try again later. Your report "
       "was not uploaded. (Error 125)"},
      {"HTTP 403", {forbidden},
       "The Lorvex service refused your account. Your report was not uploaded. (Error 125)"},
      {"service message", {Answer("<!-- VexoMessage:Unknown class code PHY-9 -->")},
       "The Lorvex service refused the upload: Unknown class code PHY-9. Your report was not "
       "uploaded. (Error 119)"},
      {"nobody there", {},
       "The Lorvex service cannot be reached. Check that this computer is connected to the "
       "Internet. Your report was not uploaded. (Error 125)"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    service_->clear();
    if (r.answers.empty())
      UploadTo(closed);
    else
      service_->script("/AdminDataUpload.page", r.answers);
    FileSpec spec;
    const AlertRequest alert = ExportAndSend(spec, false);
    EXPECT_EQ(alert.kind, kStopAlert);
    EXPECT_EQ(alert.title, "Unable to export to Lorvex");
    EXPECT_EQ(alert.text, r.text);
    EXPECT_TRUE(std::filesystem::exists(spec.path));
    std::filesystem::remove(spec.path);
    UploadTo(service_->url("/AdminDataUpload.page"));
    // The next export must not find this second's name taken.
    SetClockForTesting(GetDateTime() + 1);
  }

  // 123: the document's folder is too deep for the framework's paths; nothing is sent.
  std::string deep = dir_;
  while (deep.size() < 1030) {
    deep += "/" + std::string(100, 'd');
    mkdir(deep.c_str(), 0700);
  }
  OpenSample(deep + "/Deep.mtb", 3, 2);
  service_->clear();
  FileSpec spec;
  EXPECT_EQ(ExportAndSend(spec, false).text,
            "The upload file could not be handed over (its path is too long, or it is gone). "
            "Your report was not uploaded. (Error 123)");
  EXPECT_TRUE(std::filesystem::exists(spec.path));
  EXPECT_TRUE(UploadRequests().empty());
}

TEST_F(UploadTest, AnUploadWhosePageCannotBeOpenedIsDoneAndShowsTheAddress) {
  OpenSample(Path("Page.mtb"), 3, 2);
  const std::string page = service_->url("/r?uploadBatchEntid=42");
  service_->script("/AdminDataUpload.page", {Answer("<!-- url:" + page + " -->")});
  setenv("OPEN_EXIT", "3", 1);  // the browser cannot be started
  FileSpec spec;
  const AlertRequest alert = ExportAndSend(spec, true);
  EXPECT_EQ(alert.kind, kNoteAlert);
  EXPECT_EQ(alert.title, "Exported to Lorvex");
  EXPECT_EQ(alert.text,
            "Your report was uploaded to Lorvex, but its page could not be opened in your web "
            "browser. To see it, open this address by hand:\r" + page);
  EXPECT_FALSE(std::filesystem::exists(spec.path)) << "uploaded, so the framework deleted it";
  EXPECT_EQ(UploadRequests().size(), 1u) << "nothing is uploaded twice";
}

TEST(LorvexOutcomeTest, TheFrameworksStatusAndMessageBecomeOneSentence) {
  const std::string notSent = " Your report was not uploaded.";
  const std::string unreachable =
      "The Lorvex service cannot be reached. Check that this computer is connected to the "
      "Internet.";
  struct Row {
    int status;
    std::string message;
    bool uploaded;
    std::string text;
  };
  const Row rows[] = {
      {0, "", true, ""},
      // Status 125 as the framework words it today, and as it may name the cause.
      {125, "Error HTTP response: 0", false, unreachable + notSent + " (Error 125)"},
      {125, "Failed to connect to 127.0.0.1 port 9: Connection refused", false,
       unreachable + notSent + " (Error 125)"},
      {125, "Could not resolve host: lorvex.invalid", false,
       unreachable + notSent + " (Error 125)"},
      {125, "Operation too slow. Less than 1 bytes/sec transferred the last 120 seconds", false,
       "The Lorvex service did not answer for 120 seconds, so the upload was stopped." +
           notSent + " (Error 125)"},
      {125, "The transfer stalled", false,
       "The Lorvex service did not answer, so the upload was stopped." + notSent +
           " (Error 125)"},
      {125, "SSL certificate problem: self-signed certificate", false,
       "The Lorvex service's security certificate is not trusted, so the connection was "
       "refused." + notSent + " (Error 125)"},
      {125, "The proxy server did not answer", false,
       "The proxy server did not answer." + notSent + " (Error 125)"},
      {125, "CONNECT refused by the proxy", false,
       "The proxy server refused the connection to the Lorvex service." + notSent +
           " (Error 125)"},
      {125, "Error HTTP response: 407", false,
       "The proxy server refused the connection to the Lorvex service." + notSent +
           " (Error 125)"},
      {125, "Error HTTP response: 401", false,
       "The Lorvex service refused your account." + notSent + " (Error 125)"},
      {125, "Error HTTP response: 404", false,
       "The Lorvex service refused the upload (HTTP 404)." + notSent + " (Error 125)"},
      {201, "Failed to connect to https://lorvex.invalid/AdminDataUpload.page", false,
       unreachable + notSent + " (Error 201)"},
      {301, "returnCode = 'authenticationFailed'", false,
       "The Lorvex service refused your account." + notSent + " (Error 301)"},
      {305, "returnCode = 'dataMaintenance'", false,
       "The Lorvex service is under maintenance. Try again later." + notSent + " (Error 305)"},
      {119, "'Unknown class'", false,
       "The Lorvex service refused the upload: Unknown class." + notSent + " (Error 119)"},
      {102, "'Empty Response'", false,
       "The Lorvex service gave an answer that could not be understood. Your report may not "
       "have been uploaded. (Error 102)"},
      {105, "Failure in reading input file", false,
       "The upload file could not be read." + notSent + " (Error 105)"},
      {103, "internal error", false,
       "The upload to Lorvex failed: internal error." + notSent + " (Error 103)"},
      {103, std::string(300, 'x'), false,
       "The upload to Lorvex failed." + notSent + " (Error 103)"},
      // Done, only the browser was missing: the page's address to open by hand.
      {114, "Failed to open browser to url: 'https://lorvex.example/r?b=7'", true,
       "Your report was uploaded to Lorvex, but its page could not be opened in your web "
       "browser. To see it, open this address by hand:\rhttps://lorvex.example/r?b=7"},
      {114, "Failed to init Internet Config", true,
       "Your report was uploaded to Lorvex, but its page could not be opened in your web "
       "browser. Open Lorvex in your browser to see it."},
  };
  for (const Row& r : rows) {
    const LorvexOutcome outcome = LorvexUploadOutcome(r.status, r.message);
    EXPECT_EQ(outcome.uploaded, r.uploaded) << r.status << " " << r.message;
    EXPECT_EQ(outcome.text, r.text) << r.status << " " << r.message;
    EXPECT_LE(outcome.text.size(), 255u);
  }
  // An address too long for the whole sentence keeps a shorter one.
  const std::string page = "https://lorvex.example/r?" + std::string(150, 'b');
  const LorvexOutcome longPage =
      LorvexUploadOutcome(114, "Failed to open browser to url: '" + page + "'");
  EXPECT_LE(longPage.text.size(), 255u);
  EXPECT_NE(longPage.text.find("\r" + page), std::string::npos);
}

TEST_F(UploadTest, TheProgressWindowDrawsWhileTheWorkerUploadsAndNoCommandRuns) {
  OpenSample(Path("Slow.mtb"), 60, 20);
  // A slow link, and a service that takes a second to answer; meanwhile the loop's thread
  // keeps turning.
  const std::string page = service_->url("/AdminDataUpload.page");
  const int servicePort = std::stoi(page.substr(page.rfind(':') + 1));
  SlowRelay relay(servicePort);
  UploadTo("http://127.0.0.1:" + std::to_string(relay.port()) + "/AdminDataUpload.page");
  service_->script("/AdminDataUpload.page",
                   {Answer("<!-- url:" + service_->url("/r?uploadBatchEntid=42") + " -->", 1.0)});
  FileSpec spec;
  ASSERT_TRUE(ExportClassLorvex(spec));
  int turns = 0;
  bool shown = true;
  std::vector<std::pair<std::string, int>> seen;  // each change of the line or the bar
  ControlRef bar = nullptr;
  GetDialogItemAsControl(gExportProgressDialog, 1, &bar);
  ASSERT_NE(nullptr, bar);
  SetUploadWaitHookForTesting([&] {
    if (turns++ == 0) {
      // The teacher clicks the window's close box and types: neither reaches the class.
      PostWindowPartClick(inGoAway);
      InjectKey('x', 0);
    }
    const std::pair<std::string, int> now{DialogText(gExportProgressDialog, 2),
                                          GetControlValue(bar) * 1000 /
                                              std::max<int>(1, GetControlMaximum(bar))};
    if (seen.empty() || seen.back() != now) seen.push_back(now);
    shown = shown && FrontWindow() == GetDialogWindow(gExportProgressDialog);
  });
  EXPECT_TRUE(SendToLorvex("es_rpt_01", spec));
  EXPECT_GT(turns, 3);
  EXPECT_TRUE(shown);
  // The bar moves forward with the bytes sent, and is full while the service works.
  ASSERT_FALSE(seen.empty());
  int sending = 0;
  for (size_t i = 1; i < seen.size(); i++) EXPECT_GE(seen[i].second, seen[i - 1].second);
  for (const auto& s : seen) {
    const bool isSending = s.first.rfind("Sending to Lorvex: ", 0) == 0;
    if (isSending && s.second > 0 && s.second < 1000) sending++;
    EXPECT_TRUE(s.first == "Exporting to Lorvex" || s.first == "Connecting to Lorvex" ||
                isSending || s.first == "Waiting for Lorvex to answer")
        << s.first;
  }
  std::string all;
  for (const auto& s : seen) all += s.first + " " + std::to_string(s.second) + "\n";
  EXPECT_GE(sending, 2) << "the bar stood still while the bytes went out:\n" << all;
  EXPECT_EQ(seen.back(), (std::pair<std::string, int>{"Waiting for Lorvex to answer", 1000}));
  EXPECT_EQ(UploadRequests().size(), 1u);
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
  const std::string tool = UploadToolPath();
  EXPECT_EQ(tool.substr(tool.size() - 15), "/UploadTool.jar");

  SetSchoolSpeakPassword(PStr("p w'\"$1\\"));
  EXPECT_TRUE(SaveToSchoolSpeak(gFileSpec));
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", tool, "-action", "GradeFileSave", "-file",
                                      gFileSpec.path, "-dontdeletefiles", "-dontopenbrowser",
                                      "-app", "Marktally 6.3", "-class", "C 1;$(rm -rf x)",
                                      "-username", "t\"eacher `whoami` $USER", "-password",
                                      "p w'\"$1\\"}));
  const FileSpec grades{Path("39$ `x` \"y\".xml")};
  SetSchoolSpeakPassword(PStr("p w'\"$1\\"));
  EXPECT_TRUE(SendToSchoolSpeak(grades));
  EXPECT_EQ(JavaArguments(),
            (std::vector<std::string>{"-jar", tool, "-action", "GradeUpload", "-file",
                                      grades.path, "-app", "Marktally 6.4", "-username",
                                      "t\"eacher `whoami` $USER", "-password",
                                      "p w'\"$1\\"}));
  // Empty account and password: the command line ends after the application. The
  // password lived for one run of the tool only.
  gExportData.account.clear();
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
    SetSchoolSpeakPassword(PStr("secret-pw"));
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

TEST_F(UploadTest, TheSchoolSpeakPasswordLivesForTheUploadOnlyAndNeverReachesTheFile) {
  OpenSample(Path("Secret.mtb"), 3, 2);
  const std::string password = "Tr0ub4dor&3";
  // Upload, then save: the class file never holds the password.
  ScriptDialog(gExportSchoolSpeakDialog, {TypeStep(3, "C-9"), TypeStep(4, "mr roy"),
                                          TypeStep(5, password), ClickStep(1)});
  ASSERT_TRUE(Choose(kExportMenu, kSchoolSpeakItem));
  EXPECT_EQ(JavaArguments().back(), password);
  ScriptDialog(gSaveSchoolSpeakDialog,
               {TypeStep(3, "C-9"), TypeStep(4, "mr roy"), TypeStep(5, password), ClickStep(1)});
  ASSERT_TRUE(Choose(kFileMenu, kSaveToSpeakItem));
  EXPECT_EQ(JavaArguments().back(), password);
  // Save to SchoolSpeak saved first; a plain save after it too.
  const std::string afterUpload = Slurp(gFileSpec.path);
  gStudents[0].name.setC("Changed, Now");
  SetChanged(1);
  ASSERT_TRUE(Choose(kFileMenu, kSaveItem));
  const std::string saved = Slurp(gFileSpec.path);
  EXPECT_NE(saved, afterUpload);
  for (const std::string& bytes : {afterUpload, saved}) {
    EXPECT_EQ(bytes.find(password), std::string::npos);
    EXPECT_EQ(bytes.find("Tr0ub4"), std::string::npos);
  }
  EXPECT_EQ(gExportData.account.str(), "mr roy");  // the account stays with the class
  // Nothing is left for a later run of the tool.
  const std::vector<std::string> later = SchoolSpeakUploadArguments(gFileSpec);
  EXPECT_EQ(std::find(later.begin(), later.end(), password), later.end());

  // A class file that holds a password from before loses it at its next save.
  const std::string path = Path("Older.mtb");
  std::string bytes = saved;
  const size_t field = 2 + sizeof(ClassRecord) + 32 + 16 + 64;  // the fourth export field
  ASSERT_EQ(sizeof(ExportDataRecord::teacherID), 16u);
  bytes.replace(field, 10, std::string("\x09oldsecret"));
  Spit(path, bytes);
  OpenThroughMenu(path);
  ASSERT_EQ(gFileSpec.path, path);
  SetChanged(1);
  ASSERT_TRUE(Choose(kFileMenu, kSaveItem));
  EXPECT_EQ(Slurp(path).find("oldsecret"), std::string::npos);
  EXPECT_TRUE(alerts.empty());
}

}  // namespace
