// A hostile upload page, timed as one tool run (each step is one long transfer, not worth
// repeating): a 50 MB answer, a page-sized (16 MiB) one and one without end, each with the
// process's peak memory rise during the attempt and what stays resident after it; and an
// upload whose page falls silent, with how long it takes to end against the stall period.
// Then a hostile session page: logins answered by 16 MB of short distinct lines (read), by
// 33 MB and by 500 MB of them (refused), with peak and resident memory; and 10,000 failing calls with tracing on,
// with what stays resident.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "peak_memory.h"
#include "service_fixture.h"
#include "vexokit/vexokit.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/transport_detail.h"
#include "vexolib/session/Session.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/Uploader.h"

namespace {

const long stallSeconds = 3;

double seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Outcome {
  int code = -1;
  double seconds = 0;
  long peakRiseKiB = 0;
  long residentAfterKiB = 0;
};

// One attempt of the uploader with the file, against whatever the page is scripted to do.
Outcome attempt(vexotest::LorvexService& service, const std::string& file) {
  vexo::Session session;
  session.setClientAttribute("client", "bench");
  session.connect(service.url("/AdminDataUpload.page"));
  // Compressed here, before the clock starts: only the transfer is measured.
  std::vector<std::shared_ptr<vexo::FileInfo>> files = {
      std::make_shared<vexo::FileInfo>(file, "es_rpt_01")};
  Outcome out;
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  const auto start = std::chrono::steady_clock::now();
  {
    vexo::Uploader uploader(session, files, {});
    const vexo::UploadResult result = uploader.attempt({}, "", "", "");
    out.code = result.isValue() ? 0 : result.error.statusCode;
  }
  out.seconds = seconds(start);
  out.peakRiseKiB = statusKiB("VmHWM:") - before;
  out.residentAfterKiB = statusKiB("VmRSS:") - before;
  return out;
}

// One login against the session page, answered as scripted.
Outcome login(vexotest::LorvexService& service) {
  vexo::Session session;
  session.connect(service.url("/DesktopSession.page"));
  Outcome out;
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  const auto start = std::chrono::steady_clock::now();
  try {
    out.code = session.loginUsingPassword("teacher", "secret");
  } catch (const vexo::VexoException& e) {
    out.code = e.statusCode;
  }
  out.seconds = seconds(start);
  out.peakRiseKiB = statusKiB("VmHWM:") - before;
  out.residentAfterKiB = statusKiB("VmRSS:") - before;
  return out;
}

void print(const char* what, const Outcome& o) {
  std::printf("%-36s code %3d  %6.2f s  peak rise %6.1f MiB  resident after %6.1f MiB\n", what,
              o.code, o.seconds, o.peakRiseKiB / 1024.0, o.residentAfterKiB / 1024.0);
}

}  // namespace

int main() {
  char pattern[] = "/tmp/vexobench-hostile-XXXXXX";
  if (!::mkdtemp(pattern)) {
    return 1;
  }
  const std::string root = pattern;
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
  vexo::platform::setTracingEnabled(false);
  vexo::platform::disableLogTable();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string small = root + "/small.txt";
  std::ofstream(small) << "a small report\n";
  const std::string large = root + "/large.bin";
  {
    std::string bytes(8u << 20, '\0');
    unsigned v = 1;
    for (char& c : bytes) {
      v = v * 1103515245u + 12345u;
      c = static_cast<char>(v >> 16);
    }
    std::ofstream(large, std::ios::binary).write(bytes.data(),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  {
    vexotest::LorvexService service;
    service.keepBodies(false);
    vexotest::ScriptedAnswer page;
    page.body = "<!-- url:http://127.0.0.1/r?uploadBatchEntid=5 -->";
    page.fill = "<p>a long answer</p>\n";
    page.huge = 50000000;
    vexotest::ScriptedAnswer sixteen = page;
    sixteen.huge = 16L << 20;
    vexotest::ScriptedAnswer endless;
    endless.body = page.body;
    endless.fill = page.fill;
    endless.endless = true;
    service.script("/AdminDataUpload.page", {page, page, sixteen, sixteen, endless, endless});
    // The first of each pair meets a fresh process: what it leaves resident stays so.
    print("50 MB upload answer, first", attempt(service, small));
    print("50 MB upload answer, second", attempt(service, small));
    print("16 MiB upload answer, first", attempt(service, small));
    print("16 MiB upload answer, second", attempt(service, small));
    print("endless upload answer, first", attempt(service, small));
    print("endless upload answer, second", attempt(service, small));

    vexo::transport_detail::setStallSeconds(stallSeconds);
    vexotest::ScriptedAnswer silent;
    silent.hang = true;
    vexotest::ScriptedAnswer three;
    three.body = page.body;
    three.stallAfter = 3;
    service.script("/AdminDataUpload.page", {silent, three});
    std::printf("stall period %ld s:\n", stallSeconds);
    print("8 MiB upload, page silent", attempt(service, large));
    print("8 MiB upload, page stops at 3 B", attempt(service, large));
  }
  {
    // Tracing and the log table as a program has them.
    vexo::platform::setTraceLogDirectory(root);
    vexo::platform::setTracingEnabled(true);
    vexo::platform::enableLogTable();
    vexotest::LorvexService service;
    vexotest::ScriptedAnswer lines;
    lines.body = "resp.0.retcode=ok\r\n";
    lines.fill = "r{n}=x\r\n";  // 8 to 13 bytes a line, every name new
    lines.huge = 33000000;
    vexotest::ScriptedAnswer huge = lines;
    huge.huge = 500000000;
    vexotest::ScriptedAnswer accepted = lines;
    accepted.huge = 16000000;
    service.script("/DesktopSession.page", {accepted, lines, lines, huge, huge});
    std::printf("session answers (17 MiB of text at most; tracing on):\n");
    print("16 MB of short lines, read", login(service));
    print("33 MB of short lines, first", login(service));
    print("33 MB of short lines, second", login(service));
    print("500 MB of short lines, first", login(service));
    print("500 MB of short lines, second", login(service));

    // A failing call traces about ten lines into the log table (which the login answers
    // switched off).
    vexo::platform::enableLogTable();
    const std::string missing = root + "/missing";
    long residentAt1000 = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 10000; ++i) {
      vexo25_applyPatchFile(missing.c_str(), missing.c_str(), missing.c_str());
      if (i == 1000) {
        residentAt1000 = statusKiB("VmRSS:");
      }
    }
    std::printf("10,000 failing patch calls, tracing on: %.2f s, resident %+.1f MiB from "
                "call 1,000 to 10,000, log table %zu entries\n",
                seconds(start), (statusKiB("VmRSS:") - residentAt1000) / 1024.0,
                vexo::platform::accessLogTable().size());
  }
  const std::string command = "rm -rf '" + root + "'";
  return std::system(command.c_str()) == 0 ? 0 : 1;
}
