// An upload over HTTPS through the exported interface, as the program sends it: the
// service's upload page behind a certificate of the test build's throw-away authority, and
// the system's proxy asked for a CONNECT tunnel.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "upload_fixture.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/tls_trust.h"
#include <vexokit/vexokit.h>

namespace vexotest {
namespace {

const std::size_t MiB = 1048576;

class HttpsUploadTest : public UploadServiceTest {
 protected:
  void SetUp() override {
    UploadServiceTest::SetUp();
    vexo25_resetFiles();
    tls_ = service().tls();
    const std::string prefix = "https://127.0.0.1:" + std::to_string(tls_.signedPort);
    vexo::platform::overrideStringConfigOption("urlprefix", prefix);
    vexo::platform::overrideStringConfigOption("uploadurl", prefix + "/AdminDataUpload.page");
    proxy_.reset(new ScopedEnv(
        "https_proxy", ("http://127.0.0.1:" + std::to_string(tls_.connectProxyPort)).c_str()));
  }

  void TearDown() override {
    proxy_.reset();
    UploadServiceTest::TearDown();
  }

  int send() {
    std::memset(message_, 'x', sizeof message_);
    return vexo25_sendFilesWithOptions(nullptr, "marktally", "marktally", "65", "tok", 1,
                                       message_, sizeof message_);
  }

  std::string connectLine() const {
    return "CONNECT 127.0.0.1:" + std::to_string(tls_.signedPort) + " HTTP/1.1";
  }

  TlsEndpoints tls_;
  char message_[1024];

 private:
  std::unique_ptr<ScopedEnv> proxy_;
};

TEST_F(HttpsUploadTest, TwoChunksGoThroughTheTunnelToTheTrustedPage) {
  vexo::transport_detail::setTrustedCaFile(tls_.caFile);
  const std::string big = makeFile("big.bin", randomBytes(9 * MiB, 11));
  const std::string small = makeFile("small.txt", "small report");
  ASSERT_EQ(vexo25_addFileUsingPath("es_rpt_01", big.c_str()), 0);
  ASSERT_EQ(vexo25_addFileUsingPath("es_rpt_01", small.c_str()), 0);
  EXPECT_EQ(send(), 0) << message_;
  EXPECT_STREQ(message_, "");

  const std::vector<RecordedRequest> chunks = uploadRequests();
  ASSERT_EQ(chunks.size(), 2u) << "9 MiB of incompressible bytes take two chunks";
  EXPECT_EQ(*chunks[1].field("chunkIndex"), "1");
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_FALSE(log.empty());
  for (const ProxiedRequest& p : log) {
    EXPECT_EQ(p.proxy, "connect");
    EXPECT_EQ(p.target, connectLine()) << "nothing but tunnels to the upload page";
  }
  ASSERT_EQ(openedPages().size(), 1u);
  EXPECT_NE(openedPages()[0].find("&files=2&verified=2&atkn=tok"), std::string::npos)
      << openedPages()[0];
  EXPECT_FALSE(exists(big) || exists(small));
}

TEST_F(HttpsUploadTest, WithoutTheAuthorityNothingIsSentAndTheInputsStay) {
  const std::string file = makeFile("report.txt", "<uploadfile/>");
  ASSERT_EQ(vexo25_addFileUsingPath("es_rpt_01", file.c_str()), 0);
  EXPECT_EQ(send(), 125);
  // The status stays; the message says why there was none.
  EXPECT_EQ(std::string(message_).rfind("Error HTTP response: 0 (certificate refused; ", 0), 0u)
      << message_;
  EXPECT_TRUE(uploadRequests().empty());
  const std::vector<ProxiedRequest> log = service().proxyLog();
  ASSERT_EQ(log.size(), 1u) << "the proxy variant, then the direct one: both refused";
  EXPECT_EQ(log[0].target, connectLine());
  EXPECT_TRUE(exists(file));
  EXPECT_TRUE(openedPages().empty());
}

// Standard output of a command run through the shell; its exit status in *status.
std::string runCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return out;
  }
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.append(buffer, n);
  }
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// The shipped library trusts the system's authorities only: it holds no way to name
// another, and a program that loads it cannot reach the throw-away authority's page even
// with the page configured as its service.
TEST_F(HttpsUploadTest, TheShippedLibraryTrustsOnlyTheSystemsAuthorities) {
  int status = 0;
  const std::string symbols =
      runCommand("nm -C " + quoted(VEXOKIT_LIBRARY) + " | grep -io '[a-z]*trustedcafile'", &status);
  EXPECT_EQ(symbols, "trustedCaFile\n") << "the reading half of the seam, and no setter";

  vexo::transport_detail::setTrustedCaFile(tls_.caFile);  // this process only
  ::mkdir((sandboxRoot() + "/config/vexo").c_str(), 0700);
  const std::string prefix = "https://127.0.0.1:" + std::to_string(tls_.signedPort);
  writeFile(sandboxRoot() + "/config/vexo/vexo.ini",
            "[vexo]\nurlprefix=" + prefix + "\nuploadurl=" + prefix + "/AdminDataUpload.page\n");
  const std::string file = makeFile("report.txt", "<uploadfile/>");
  const std::string out = runCommand(quoted(VEXO_SEND_FILES_CLIENT) + " " +
                                         quoted(VEXOKIT_LIBRARY) + " - " + quoted(file),
                                     &status);
  std::remove((sandboxRoot() + "/config/vexo/vexo.ini").c_str());
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.substr(0, 10), "status=125") << out;
  EXPECT_TRUE(uploadRequests().empty());
  EXPECT_EQ(service().proxyLog().size(), 1u) << "the tunnel was asked for, then refused";
  EXPECT_TRUE(exists(file));
}

}  // namespace
}  // namespace vexotest
