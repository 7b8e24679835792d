// The e-mail run of a full class (250 students, 150 scored assignments, each student with
// a recipient and two blind copies) against aiosmtpd on loopback: one session, one
// progress report a student. Goal: under 5 s a run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "full_class_window.h"
#include "marktally/reports/email.h"
#include "tests/reports/smtp_server.h"

namespace {

void ClassEmailRun(benchmark::State& state) {
  OpenFullClassWindow();
  // The run ends with one alert that counts the reports sent: answered at once.
  std::string closing;
  SetAlertSink([&closing](const AlertRequest& a) {
    closing = a.text;
    return int16_t{1};
  });
  char pattern[] = "/tmp/mt-bench-email-XXXXXX";
  if (!mkdtemp(pattern)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  LoopbackSmtpServer server(MT_REPORTS_TEST_DIR, pattern);
  if (!server.Start("plain")) {
    state.SkipWithError("the loopback mail server did not start");
    return;
  }
  gEmailData.server.setC("127.0.0.1");
  gEmailData.port = static_cast<int16_t>(server.port());
  gEmailData.address.setC("teacher@school.org");
  gClass.teacher.setC("Pat Quinn");
  for (int s = 0; s < kMaxStudents; s++) {
    gEmailAddresses[s].recipients.setC(("kid" + std::to_string(s) + "@school.org").c_str());
    gEmailAddresses[s].blindCopies.setC(
        ("mum" + std::to_string(s) + "@home.net dad" + std::to_string(s) + "@home.net").c_str());
  }
  gIncludeRecipients = gIncludeBlindCopies = 1;
  gOtherAddresses.clear();
  for (auto _ : state) EmailClassReports(7);
  int messages = 0;
  for (const auto& record : server.Records())
    if (!record.empty() && record[0] == "M") messages++;
  state.counters["messages"] = messages;
  if (closing != std::to_string(kMaxStudents) + " reports were sent.")
    state.SkipWithError(("the run ended with: " + closing).c_str());
  SetAlertSink(nullptr);
  server.Stop();
  std::filesystem::remove_all(pattern);
}

}  // namespace

BENCHMARK(ClassEmailRun)->Iterations(3)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
