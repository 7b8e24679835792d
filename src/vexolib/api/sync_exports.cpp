// The exports of directory synchronisation, each in the one export guard.
#include "vexolib/api/export_guard.h"
#include "vexolib/platform/status.h"
#include "vexolib/api/sync_ops.h"
#include <vexokit/vexokit.h>

namespace {

const int failure = vexo::api25::exportFailure;

}  // namespace

extern "C" {

int vexo25_queueSyncDir(const char* localDir, const char* remoteKey, const char* syncType,
                        const char* options) noexcept {
  return vexo::api25::guarded(failure, [&] { return vexo::api25::queueSyncDir(localDir, remoteKey, syncType, options); });
}

int vexo25_performSync(void) noexcept {
  return vexo::api25::guarded(failure, [] { return vexo::api25::performSync(); });
}

int vexo25_getInterfaceDefinitionFiles(const char* interfaceName, const char* interfaceId,
                                       const char* localDir) noexcept {
  return vexo::api25::guarded(failure, [&] {
    return vexo::api25::getInterfaceDefinitionFiles(interfaceName, interfaceId, localDir);
  });
}

}  // extern "C"
