// Peak memory of a benchmark step, read from the kernel: reset the peak to the current
// resident size, run the step, then compare VmHWM with the VmRSS taken before.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// A "Name:  <n> kB" field of /proc/self/status, in KiB; -1 when it is missing.
inline long statusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, std::string(key).size(), key) == 0) {
      return std::atol(line.c_str() + std::string(key).size());
    }
  }
  return -1;
}

// Starts a new peak at the current resident size.
inline void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
