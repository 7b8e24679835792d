// Opening a page in the user's browser through the desktop's launcher.
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/platform/status.h"
#include "vexolib/platform/web_address.h"

namespace vexo {
namespace platform {

namespace {

const char launcherName[] = "xdg-open";
// How long the launcher may take to hand the page over before we stop waiting for it.
const int launcherWaitSeconds = 10;

boost::optional<std::string> findLauncher() {
  const char* path = std::getenv("PATH");
  for (const std::string& folder : strutil::split(path ? path : "", ':')) {
    const std::string candidate = folder + "/" + launcherName;
    if (::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return boost::none;
}

// The launcher may stay in the foreground as long as the browser runs, so it is started
// from an intermediate child that waits a bounded time and leaves it to init afterwards.
// Answers the launcher's exit status, 0 when it is still running, or -1.
int runLauncher(const std::string& launcher, const std::string& url) {
  const pid_t helper = ::fork();
  if (helper < 0) {
    return -1;
  }
  if (helper == 0) {
    const pid_t child = ::fork();
    if (child < 0) {
      ::_exit(126);
    }
    if (child == 0) {
      char* const argv[] = {const_cast<char*>(launcherName), const_cast<char*>(url.c_str()),
                            nullptr};
      ::execv(launcher.c_str(), argv);
      ::_exit(127);
    }
    const struct timespec pause = {0, 50 * 1000 * 1000};
    for (int i = 0; i < launcherWaitSeconds * 20; ++i) {
      int status = 0;
      const pid_t done = ::waitpid(child, &status, WNOHANG);
      if (done == child) {
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 125);
      }
      if (done < 0 && errno != EINTR) {
        ::_exit(125);
      }
      ::nanosleep(&pause, nullptr);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(helper, &status, 0) < 0) {
    if (errno != EINTR) {
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void openBrowser(const std::string& url) {
  // Result pages carry the user's token; it stays out of the trace and the message.
  const std::string shown = tracemask::maskSecrets(url);
  trace("openBrowser: " + shown);
  const boost::optional<std::string> launcher = findLauncher();
  if (!launcher) {
    throw VexoException(status::browserFailed, "Failed to init Internet Config");
  }
  if (!isWebAddress(url) || runLauncher(*launcher, url) != 0) {
    throw VexoException(status::browserFailed, "Failed to open browser to url: '" + shown + "'");
  }
}

}  // namespace platform
}  // namespace vexo
