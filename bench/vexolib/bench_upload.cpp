// A 100 MiB report upload over loopback to the fake service's checking upload page: the
// time split into compression (the compressed copy) and transfer (twelve full chunks and a
// last one, each answered and checked), how far the process's peak memory rises (files are
// compressed and posted as streams, so the rise stays far below the upload's size), and the
// temporary files left afterwards (none).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>

#include <benchmark/benchmark.h>

#include "peak_memory.h"
#include "service_fixture.h"
#include "vexolib/upload/FileInfo.h"
#include "vexolib/upload/FileSendingCommand.h"
#include "vexolib/upload/FileUploadCommand.h"
#include "vexolib/session/Session.h"
#include "vexolib/upload/Uploader.h"
#include "vexolib/platform/platform.h"

namespace {

constexpr long uploadBytes = 100L << 20;

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
    unsetenv("http_proxy");
    vexo::platform::setTracingEnabled(false);
    vexo::platform::disableLogTable();
    // Incompressible, written in blocks so that making it does not raise the peak.
    file = root + "/report.bin";
    std::ofstream out(file, std::ios::binary);
    std::vector<char> block(1 << 20);
    unsigned v = 1;
    for (long written = 0; written < uploadBytes; written += static_cast<long>(block.size())) {
      for (char& c : block) {
        v = v * 1103515245u + 12345u;
        c = static_cast<char>(v >> 16);
      }
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.close();
    service.reset(new vexotest::LorvexService(VEXO_UPLOAD_SERVICE_SCRIPT));
    service->keepBodies(false);
    vexo::platform::overrideStringConfigOption("urlprefix", service->url(""));
    vexo::platform::overrideStringConfigOption("uploadurl",
                                               service->url("/AdminDataUpload.page"));
  }

  ~Setup() {
    service.reset();
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

int temporaryFilesLeft() {
  int n = 0;
  if (DIR* dir = opendir(vexo::platform::getTemporaryDirectory().c_str())) {
    while (dirent* entry = readdir(dir)) {
      n += entry->d_name[0] != '.';
    }
    closedir(dir);
  }
  return n;
}

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void BM_Upload100MiBSplit(benchmark::State& state) {
  Setup& s = setup();
  double compressing = 0;
  double transferring = 0;
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    s.service->clear();
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::shared_ptr<vexo::FileInfo>> records =
        vexo::filesending::loadFiles({s.file}, {"es_rpt_01"});
    const auto t1 = std::chrono::steady_clock::now();
    vexo::Session session;
    session.connect(vexo::platform::getUploadUrl());
    const vexo::UploadResult result = vexo::uploadFilesOverSession(
        session, records, {}, "bench", "bench", "1", "", "", "");
    const auto t2 = std::chrono::steady_clock::now();
    if (!result.isValue()) {
      state.SkipWithError(result.error.what());
      break;
    }
    compressing += seconds(t1 - t0);
    transferring += seconds(t2 - t1);
  }
  const double n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * uploadBytes);
  state.counters["compress_s"] = compressing / n;
  state.counters["transfer_s"] = transferring / n;
  state.counters["peak_rise_MiB"] = static_cast<double>(statusKiB("VmHWM:") - before) / 1024;
  state.counters["temp_files_left"] = temporaryFilesLeft();
}
BENCHMARK(BM_Upload100MiBSplit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The whole command as the interface runs it, the browser left out.
void BM_Upload100MiBCommand(benchmark::State& state) {
  Setup& s = setup();
  resetPeakMemory();
  const long before = statusKiB("VmRSS:");
  for (auto _ : state) {
    s.service->clear();
    std::shared_ptr<vexo::FileUploadCommand> command = vexo::FileUploadCommand::make();
    command->files.push_back(s.file);
    command->formats.push_back("es_rpt_01");
    command->openBrowser = false;
    try {
      command->execute();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * uploadBytes);
  state.counters["peak_rise_MiB"] = static_cast<double>(statusKiB("VmHWM:") - before) / 1024;
  state.counters["temp_files_left"] = temporaryFilesLeft();
}
BENCHMARK(BM_Upload100MiBCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
