// The shipped library's side of the platform seams: the fixed machine-wide configuration
// folder and file handles that read and write exactly what the system does.
#include <cerrno>

#include <unistd.h>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_private.h"

namespace vexo {
namespace platform {

namespace priv {

const std::string& networkConfigRoot() {
  static const std::string* root = new std::string("/etc");
  return *root;
}

}  // namespace priv

int readFileHandle(int handle, void* buffer, int length) {
  if (length < 0) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::read(handle, buffer, static_cast<std::size_t>(length)));
}

int writeFileHandle(int handle, const void* buffer, int length) {
  if (length < 0) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(::write(handle, buffer, static_cast<std::size_t>(length)));
}

}  // namespace platform
}  // namespace vexo
