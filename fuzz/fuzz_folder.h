// A fuzz target's folder for the files its runs write, one per process: libFuzzer's -fork
// workers run side by side and must not see each other's files.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_check.h"

// base/<pid>, made empty. base is made private to this user, or must already be. libFuzzer
// ends without running exit handlers, so the folders of processes that have ended are
// removed here, and so is one an ended process of this same id left; a live worker's folder
// is left alone.
inline std::string ProcessFolder(const std::string& base) {
  struct stat st {};
  if (mkdir(base.c_str(), 0700) != 0)
    FUZZ_CHECK(lstat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid());
  std::vector<std::string> names;
  if (DIR* dir = opendir(base.c_str())) {
    while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
  }
  for (const std::string& name : names) {
    const pid_t pid = static_cast<pid_t>(std::atoi(name.c_str()));
    if (pid > 0 && (pid == getpid() || (kill(pid, 0) != 0 && errno == ESRCH))) {
      std::error_code ignored;
      std::filesystem::remove_all(base + "/" + name, ignored);
    }
  }
  const std::string folder = base + "/" + std::to_string(getpid());
  FUZZ_CHECK(mkdir(folder.c_str(), 0700) == 0);
  return folder;
}
