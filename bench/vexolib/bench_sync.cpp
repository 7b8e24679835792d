// Directory synchronisation, timed as one tool run (not Google Benchmark: each step is too
// long to repeat): the scan of a 20,000-file tree with CRCs on and off beside `find` and
// Python's zlib.crc32 over the same files, and a 200 MB load from the fake service's store
// with the process's peak memory and the bytes it wrote.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <boost/filesystem/operations.hpp>

#include "peak_memory.h"
#include "service_fixture.h"
#include "vexolib/platform/platform.h"
#include "vexolib/session/Session.h"
#include "vexolib/sync/DirSync.h"
#include "vexolib/sync/DirImage.h"

namespace fs = boost::filesystem;

namespace {

double seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes this process handed to write() so far (/proc/self/io "wchar").
long long bytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") {
      return value;
    }
  }
  return -1;
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void scanBench(const std::string& root) {
  std::mt19937 random(1);
  for (int d = 0; d < 200; ++d) {
    const std::string folder = root + "/d" + std::to_string(d);
    fs::create_directories(folder);
    for (int f = 0; f < 100; ++f) {
      std::string bytes(1000 + random() % 8000, '\0');
      for (char& c : bytes) {
        c = static_cast<char>(random());
      }
      writeBytes(folder + "/f" + std::to_string(f) + ".dat", bytes);
    }
  }
  // Warm the page cache once, so every run reads from memory.
  vexo::platform::overrideBoolConfigOption("calcfilecrc", true);
  vexo::DirProxy warm(root);
  const std::string find = "find '" + root + "' -type f > /dev/null";
  const std::string python = "find '" + root +
                             "' -type f | " VEXO_BENCH_PYTHON3
                             " -c 'import sys,zlib\nfor p in sys.stdin: "
                             "zlib.crc32(open(p.rstrip(\"\\n\"),\"rb\").read())'";
  // The best of three of each, so a busy moment of the machine does not decide.
  double scan[2] = {1e9, 1e9};
  double findTime = 1e9;
  double pythonTime = 1e9;
  std::size_t entries = 0;
  for (int round = 0; round < 3; ++round) {
    for (const bool crc : {true, false}) {
      vexo::platform::overrideBoolConfigOption("calcfilecrc", crc);
      const auto start = std::chrono::steady_clock::now();
      vexo::DirProxy image(root);
      scan[crc] = std::min(scan[crc], seconds(start));
      entries = image.getRelPaths().size();
    }
    auto start = std::chrono::steady_clock::now();
    if (std::system(find.c_str()) != 0) {
      std::printf("find failed\n");
    }
    findTime = std::min(findTime, seconds(start));
    start = std::chrono::steady_clock::now();
    if (std::system(python.c_str()) != 0) {
      std::printf("python failed\n");
    }
    pythonTime = std::min(pythonTime, seconds(start));
  }
  std::printf("scan of %zu entries, CRC off: %.3f s; find -type f: %.3f s; ratio %.2fx "
              "(goal at most 2x)\n",
              entries, scan[0], findTime, scan[0] / findTime);
  std::printf("scan of %zu entries, CRC on: %.3f s; find + python zlib.crc32: %.3f s; "
              "ratio %.2fx (goal at most 1x)\n",
              entries, scan[1], pythonTime, scan[1] / pythonTime);
}

// The service writes its answer in name order, so a download's chunks arrive as 0, 1, 10,
// 100, ..., 2, ...; a chunk can be inflated only once every chunk before it has been. Prints
// how many could be as they arrive, and how many at most would wait meanwhile.
void arrivalInNameOrder(std::size_t chunks) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < chunks; ++k) {
    names.push_back(std::to_string(k));
  }
  std::sort(names.begin(), names.end());
  std::vector<bool> waiting(chunks, false);
  std::size_t next = 0;
  std::size_t onArrival = 0;
  std::size_t waitingNow = 0;
  std::size_t mostWaiting = 0;
  for (const std::string& name : names) {
    const std::size_t k = std::stoul(name);
    if (k != next) {
      waiting[k] = true;
      mostWaiting = std::max(mostWaiting, ++waitingNow);
      continue;
    }
    ++onArrival;
    for (++next; next < chunks && waiting[next]; ++next) {
      --waitingNow;
    }
  }
  std::printf("  its %zu chunks in name order: %zu can be inflated as they arrive, up to %zu "
              "(%.1f MB) wait for earlier ones\n",
              chunks, onArrival, mostWaiting, mostWaiting * 131072.0 / 1e6);
}

void loadBench(const std::string& work) {
  vexotest::LorvexService service(VEXO_SYNC_SERVICE_SCRIPT);
  service.keepBodies(false);
  const std::string source = work + "/source";
  fs::create_directories(source);
  // Half noise, half text: a realistic mix for compression.
  std::string bytes(200u * 1000u * 1000u, '\0');
  std::mt19937 random(2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = i % 2 ? static_cast<char>(random()) : static_cast<char>('a' + i % 23);
  }
  writeBytes(source + "/big.dat", bytes);
  bytes.clear();
  bytes.shrink_to_fit();
  vexo::Session session;
  session.connect(service.url("/DesktopSession.page"));
  std::vector<vexo::Session::SyncDesc> save(1);
  save[0].localPath = source;
  save[0].remoteKey = "bench";
  save[0].syncType = vexo::Session::SAVE_TO_SERVER;
  vexo::DirSync(session).syncDirs(save);

  const std::string copy = work + "/copy";
  fs::create_directories(copy);
  std::vector<vexo::Session::SyncDesc> load(1);
  load[0].localPath = copy;
  load[0].remoteKey = "bench";
  load[0].syncType = vexo::Session::LOAD_FROM_SERVER;
  resetPeakMemory();
  const long rssBefore = statusKiB("VmRSS:");
  const long long writtenBefore = bytesWritten();
  const auto start = std::chrono::steady_clock::now();
  const std::vector<int> codes = vexo::DirSync(session).syncDirs(load);
  const double written = static_cast<double>(bytesWritten() - writtenBefore);
  const double file = static_cast<double>(fs::file_size(copy + "/big.dat"));
  std::printf("200 MB load: code %d, %.2f s, peak memory +%ld MiB, written %.1f MB "
              "for a file of %.1f MB: ratio %.2fx (goal: the file plus one chunk, %.3fx)\n",
              codes[0], seconds(start), (statusKiB("VmHWM:") - rssBefore) / 1024,
              written / 1e6, file / 1e6, written / file, (file + 131072) / file);
  // What is written besides the file is the answer: its chunks and a few lines of text.
  arrivalInNameOrder(static_cast<std::size_t>((written - file) / 131072.0));
}

}  // namespace

int main() {
  char pattern[] = "/var/tmp/vexo-sync-bench-XXXXXX";
  if (!::mkdtemp(pattern)) {
    return 1;
  }
  const std::string work = pattern;
  scanBench(work + "/tree");
  loadBench(work);
  fs::remove_all(work);
  return 0;
}
