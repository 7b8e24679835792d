// The libcurl transport against the fake service over loopback: an 8 MiB file part in one
// POST (throughput, and how far the process's peak memory rises: the part is streamed
// from its file, so the rise stays far below the part's size) and a small name/value
// request (requests per second).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "peak_memory.h"
#include "service_fixture.h"
#include "vexolib/transport/Transceiver.h"
#include "vexolib/platform/platform.h"

namespace {

constexpr long partBytes = 8L << 20;

struct Ignore : vexo::Transceiver::ResponseProcessor {
  void operator()(int, const std::vector<unsigned char>&) override {}
};

// The framework's folders and the service's environment in a private folder, tracing off:
// this measures the transport, not the trace file.
struct Setup {
  std::string root;
  std::string file;
  std::unique_ptr<vexotest::LorvexService> service;

  Setup() {
    char pattern[] = "/tmp/vexobench-XXXXXX";
    if (!mkdtemp(pattern)) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root = pattern;
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    vexo::platform::setTracingEnabled(false);
    vexo::platform::disableLogTable();
    file = root + "/part.bin";
    std::string bytes(static_cast<std::size_t>(partBytes), '\0');
    unsigned v = 1;
    for (char& c : bytes) {
      v = v * 1103515245u + 12345u;
      c = static_cast<char>(v >> 16);
    }
    std::ofstream(file, std::ios::binary).write(bytes.data(), partBytes);
    service.reset(new vexotest::LorvexService());
    service->keepBodies(false);
    vexotest::ScriptedAnswer ok;
    ok.body = "resp.0.retcode=ok\r\n";
    ok.repeat = true;
    service->script("*", {ok});
  }

  ~Setup() {
    service.reset();
    std::remove(file.c_str());
    std::string command = "rm -rf '" + root + "'";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "could not remove %s\n", root.c_str());
    }
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

void BM_PostFilePart8MiB(benchmark::State& state) {
  Setup& s = setup();
  const vexo::ConnectionDef direct;
  std::shared_ptr<vexo::Transceiver> t = vexo::Transceiver::makeTransceiver(
      vexo::TransferLib::curl, direct, s.service->url("/AdminDataUpload.page"), "bench");
  if (!t->connect()) {
    state.SkipWithError("connect failed");
    return;
  }
  const std::map<std::string, std::string> attributes = {{"client", "bench"}};
  Ignore ignore;
  // One request first, so that libcurl's and the C++ library's own buffers are in place.
  t->setFileValue("chunk", "part.bin", s.file, 0, partBytes, partBytes);
  t->sendRequest(attributes, ignore);
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    t->setStringValue("srcCompID", "bench");
    t->setFileValue("chunk", "part.bin", s.file, 0, partBytes, partBytes);
    if (t->sendRequest(attributes, ignore) != 200) {
      state.SkipWithError("the POST failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * partBytes);
  state.counters["peak_rise_KiB"] = static_cast<double>(statusKiB("VmHWM:") - before);
  state.counters["part_KiB"] = static_cast<double>(partBytes / 1024);
}
BENCHMARK(BM_PostFilePart8MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes held in memory as a string value, for comparison: libcurl copies the value
// into the form, so here the peak does rise by the part's size.
void BM_PostInMemoryPart8MiB(benchmark::State& state) {
  Setup& s = setup();
  const vexo::ConnectionDef direct;
  std::shared_ptr<vexo::Transceiver> t = vexo::Transceiver::makeTransceiver(
      vexo::TransferLib::curl, direct, s.service->url("/AdminDataUpload.page"), "bench");
  if (!t->connect()) {
    state.SkipWithError("connect failed");
    return;
  }
  Ignore ignore;
  std::string bytes(static_cast<std::size_t>(partBytes), 'x');
  t->setStringValue("chunk", bytes);
  t->sendRequest({}, ignore);
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    t->setStringValue("chunk", bytes);
    if (t->sendRequest({}, ignore) != 200) {
      state.SkipWithError("the POST failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * partBytes);
  state.counters["peak_rise_KiB"] = static_cast<double>(statusKiB("VmHWM:") - before);
}
BENCHMARK(BM_PostInMemoryPart8MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PostSmallRequest(benchmark::State& state) {
  Setup& s = setup();
  const vexo::ConnectionDef direct;
  std::shared_ptr<vexo::Transceiver> t = vexo::Transceiver::makeTransceiver(
      vexo::TransferLib::curl, direct, s.service->url("/DesktopSession.page"), "bench");
  if (!t->connect()) {
    state.SkipWithError("connect failed");
    return;
  }
  const std::map<std::string, std::string> attributes = {{"client", "bench"}, {"os", "linux"}};
  Ignore ignore;
  for (auto _ : state) {
    t->setStringValue("req.count", "1");
    t->setStringValue("req.0.type", "touchSession");
    for (int i = 0; i < 8; ++i) {
      t->setStringValue("req.0.value" + std::to_string(i), "some text of a value");
    }
    if (t->sendRequest(attributes, ignore) != 200) {
      state.SkipWithError("the POST failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostSmallRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
