// Directory synchronisation over a session: every folder's requests travel together, one set
// per cycle, until each folder's chain of requests has come to a noop.
#pragma once

#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>

#include "vexolib/session/Session.h"

namespace vexo {

class DirSync {
 public:
  // The session is not owned and serves one synchronisation at a time.
  explicit DirSync(Session& session) : session(session) {}

  // All folders in shared cycles, one code per description: 0, 123 for a missing folder
  // (nothing sent), or the server's code of the folder's last real request. Local paths are
  // normalised in place. Failures are VexoException.
  std::vector<int> syncDirs(std::vector<Session::SyncDesc>& descs);
  // A load of the store "InterfaceDefinitions" into dir.
  int getInterfaceDefinitionFiles(const std::string& interfaceName,
                                  const std::string& interfaceId,
                                  const boost::filesystem::path& dir);

 private:
  Session& session;
};

}  // namespace vexo
