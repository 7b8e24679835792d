// Every framework test process runs inside one private folder: HOME, the XDG folders and
// TMPDIR point into it before main starts, and it is removed when the process ends, so the
// framework's folders, trace files and vexo.ini look-ups never leave it.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vexotest {

const std::string& sandboxRoot();
// A fresh, empty folder under the sandbox.
std::string makeFolder(const std::string& name);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
// Names in a folder, sorted.
std::vector<std::string> listFolder(const std::string& folder);
// Permission bits of a path (lstat).
unsigned int modeOf(const std::string& path);

// The framework's process-wide state back to that of a fresh process (options unloaded,
// folders forgotten, tracing at its defaults, no injected faults).
void resetFramework();

// Sets or unsets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override { resetFramework(); }
  void TearDown() override { resetFramework(); }
};

}  // namespace vexotest
