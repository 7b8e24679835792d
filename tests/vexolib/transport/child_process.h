// Helper processes a test starts (fake services, relays): they end with their test however
// it ends, and are reaped within a bound. Header only, for test trees that do not link the
// service fixture.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexotest {

// In a child just forked from parent: dies when the test does, since one left running would
// hold the test's output open and the test runner waits for that. False when the parent
// has already gone.
inline bool endWithParent(pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  return ::getppid() == parent;
}

// Gives a child up to millis to end by itself, then kills it; reaped either way.
inline void reapChild(pid_t child, int millis) {
  if (child <= 0) {
    return;
  }
  int status = 0;
  for (int waited = 0; waited < millis; waited += 20) {
    if (::waitpid(child, &status, WNOHANG) == child) {
      return;
    }
    ::usleep(20000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
}

}  // namespace vexotest
