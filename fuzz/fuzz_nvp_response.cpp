// The reader of the session page's answers, on any body: it fails only with status 103 and
// one of its three texts, agrees with a plain re-reading of the record syntax on every value
// and every failure, and leaves no temporary file behind.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fuzz_check.h"
#include "fuzz_folder.h"
#include "vexolib/session/NVPResponseProcessor.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"

namespace {

// name -> (is chunk, bytes); or the start of the failure text.
struct Reading {
  std::map<std::string, std::pair<bool, std::string>> values;
  std::string failure;
};

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '_';
}

Reading readPlainly(const std::string& body) {
  Reading r;
  std::size_t pos = 0;
  while (pos < body.size()) {
    const std::size_t end = body.find("\r\n", pos);
    if (end == std::string::npos) {
      break;
    }
    const std::string line = body.substr(pos, end - pos);
    pos = end + 2;
    const std::size_t sep = line.find_first_of("=!");
    bool nameOk = sep != std::string::npos && sep > 0;
    for (std::size_t i = 0; nameOk && i < sep; ++i) {
      nameOk = isNameChar(line[i]);
    }
    if (!nameOk) {
      r.failure = "Malformed response input. NVP line: ";
      return r;
    }
    const std::string name = line.substr(0, sep);
    const std::string rest = line.substr(sep + 1);
    if (line[sep] == '=') {
      r.values[name] = {false, rest};
      continue;
    }
    // A length is plain decimal digits within 64 bits.
    bool lengthOk = !rest.empty();
    unsigned long long n = 0;
    for (const char c : rest) {
      const unsigned d = static_cast<unsigned>(c - '0');
      if (c < '0' || c > '9' || n > (~0ull - d) / 10) {
        lengthOk = false;
        break;
      }
      n = n * 10 + d;
    }
    if (!lengthOk) {
      r.failure = "Invalid chunk size string: " + rest;
      return r;
    }
    if (n > body.size() - pos || body.size() - pos - n < 2 || body.compare(pos + n, 2, "\r\n")) {
      r.failure = "Malformed binary input";
      return r;
    }
    r.values[name] = {true, body.substr(pos, n)};
    pos += n + 2;
  }
  return r;
}

std::string readWhole(const std::string& path) {
  std::string bytes;
  const int fd = vexo::platform::openBinaryReadOnlyFile(path);
  FUZZ_CHECK(fd >= 0);
  char buffer[4096];
  int n;
  while ((n = vexo::platform::readFileHandle(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  vexo::platform::closeFileHandle(fd);
  return bytes;
}

bool folderIsEmpty(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return true;
  }
  bool empty = true;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      empty = false;
    }
  }
  closedir(dir);
  return empty;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexo::platform::setTracingEnabled(false);
  // Chunk files go to a folder of the fuzzer's own.
  const std::string folder = ProcessFolder("/tmp/vexo-fuzz-" + std::to_string(getuid()));
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const Reading expected = readPlainly(body);
  {
    vexo::NVPResponseProcessor processor;
    std::string failure;
    try {
      processor(200, std::vector<unsigned char>(data, data + size));
    } catch (const vexo::VexoException& e) {
      FUZZ_CHECK(e.statusCode == 103);
      failure = e.what();
    }
    if (expected.failure.empty()) {
      FUZZ_CHECK(failure.empty());
      FUZZ_CHECK(processor.responseNVPs.size() == expected.values.size());
      for (const auto& value : expected.values) {
        const vexo::NVPSet& set = processor.responseNVPs;
        FUZZ_CHECK(set.contains(value.first));
        if (value.second.first) {
          FUZZ_CHECK(!set.isString(value.first));
          FUZZ_CHECK(readWhole(set.getChunkFileTempPath(value.first)) == value.second.second);
        } else {
          FUZZ_CHECK(set.isString(value.first));
          FUZZ_CHECK(set.getString(value.first) == value.second.second);
        }
      }
    } else {
      // what() ends at the first zero byte of the message.
      FUZZ_CHECK(failure.rfind(expected.failure.substr(0, expected.failure.find('\0')), 0) == 0);
    }
    FUZZ_CHECK(processor.recentLines.size() <= 5);
  }
  FUZZ_CHECK(folderIsEmpty(vexo::platform::getTemporaryDirectory()));
  return 0;
}
