#include "vexolib/api/sync_ops.h"

#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/system/system_error.hpp>

#include "vexolib/session/Session.h"
#include "vexolib/api/internal.h"
#include "vexolib/api/api25.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/status.h"
#include "vexolib/sync/DirSync.h"

namespace vexo {
namespace api25 {

namespace {

std::vector<Session::SyncDesc> _syncDescs;

}  // namespace

int queueSyncDir(const char* localDir, const char* remoteKey, const char* syncType,
                 const char* options) {
  if (refuseNullTexts("queueSyncDir", {localDir, remoteKey, syncType, options})) {
    return getStatusCode();
  }
  platform::trace("queueSyncDir");
  Session::SyncDesc desc;
  try {
    desc.localPath = boost::filesystem::path(localDir);
  } catch (const boost::system::system_error&) {
    // Only a path the system refuses is invalid; running out of memory is not the caller's
    // path's fault (the export guard makes it 103).
    platform::trace("invalid path passed to queueSyncDir");
    setStatus(status::badFileSpecification, std::string("Invalid path: ") + localDir);
    return status::badFileSpecification;
  }
  desc.remoteKey = remoteKey;
  desc.syncType = syncType;
  desc.options = options;
  _syncDescs.push_back(desc);
  platform::trace("exit queueSyncDir");
  setStatus(status::success, std::string());
  return 0;
}

int performSync() {
  return runOperation("performSync", SessionNeed::data, true, [] {
    const std::vector<int> results = DirSync(*accessSession()).syncDirs(_syncDescs);
    _syncDescs.clear();
    for (const int code : results) {
      if (code != 0) {
        setStatus(code, "Sync error.");
        platform::trace("exit performSync with error");
        return code;
      }
    }
    return 0;
  });
}

int getInterfaceDefinitionFiles(const char* interfaceName, const char* interfaceId,
                                const char* localDir) {
  if (refuseNullTexts("getInterfaceDefinitionFiles", {localDir})) {
    return getStatusCode();
  }
  const std::string name = interfaceName ? interfaceName : "";
  const std::string id = interfaceId ? interfaceId : "";
  const std::string dir = localDir;
  return runOperation("getInterfaceDefinitionFiles", SessionNeed::data, true, [&] {
    return DirSync(*accessSession()).getInterfaceDefinitionFiles(name, id, dir);
  });
}

void clearSyncDescs() { _syncDescs.clear(); }

}  // namespace api25
}  // namespace vexo
