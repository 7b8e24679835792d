#include "sandbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>

#include "vexolib/seams/platform_detail.h"
#include "vexolib/seams/tls_trust.h"

namespace vexotest {

namespace {

namespace fs = boost::filesystem;

struct Sandbox {
  std::string root;
  pid_t owner;

  Sandbox() : owner(getpid()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vexotest-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
      std::perror("vexotest: mkdtemp");
      std::abort();
    }
    root = pattern;
    for (const char* sub : {"home", "cache", "config", "xdg", "etc", "run", "tmp"}) {
      ::mkdir((root + "/" + sub).c_str(), 0700);
    }
    setenv("HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root + "/xdg").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    vexo::platform::detail::setNetworkConfigRoot(root + "/etc");
  }

  ~Sandbox() {
    if (getpid() == owner) {
      boost::system::error_code ignored;
      fs::remove_all(root, ignored);
    }
  }
};

Sandbox& sandbox() {
  static Sandbox box;
  return box;
}

// Made before main, so that no framework call can run outside the sandbox.
const bool sandboxReady = !sandbox().root.empty();

}  // namespace

const std::string& sandboxRoot() {
  (void)sandboxReady;
  return sandbox().root;
}

std::string makeFolder(const std::string& name) {
  const fs::path folder = fs::path(sandboxRoot()) / "work" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> listFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder), end; it != end; ++it) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

unsigned int modeOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    throw std::runtime_error("cannot stat " + path);
  }
  return st.st_mode & 07777;
}

void resetFramework() {
  namespace detail = vexo::platform::detail;
  detail::resetTracing();
  detail::resetConfigOptions();
  detail::resetFolderCache();
  detail::failWritesAfter(-1);
  detail::failReadsAfter(-1, false);
  vexo::transport_detail::setTrustedCaFile("");
  detail::throwAtNextFileAccess(nullptr);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  old_ = old ? old : "";
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

}  // namespace vexotest
