// The exports of directory synchronisation: the client set-up, then the operation; nothing
// leaves them as an exception.
#include "vexolib/api/api25.h"
#include "vexolib/sync/sync_ops.h"
#include <vexokit/vexokit.h>

namespace {

template <typename Work>
int guarded(Work work) noexcept {
  try {
    ensureInited();
    return work();
  } catch (...) {
    return 103;
  }
}

}  // namespace

extern "C" {

int vexo25_queueSyncDir(const char* localDir, const char* remoteKey, const char* syncType,
                        const char* options) {
  return guarded([&] { return vexo::api25::queueSyncDir(localDir, remoteKey, syncType, options); });
}

int vexo25_performSync(void) {
  return guarded([] { return vexo::api25::performSync(); });
}

int vexo25_getInterfaceDefinitionFiles(const char* interfaceName, const char* interfaceId,
                                       const char* localDir) {
  return guarded([&] {
    return vexo::api25::getInterfaceDefinitionFiles(interfaceName, interfaceId, localDir);
  });
}

}  // extern "C"
