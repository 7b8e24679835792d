#include "vexolib/sync/SyncRequests.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <vector>

#include <boost/format.hpp>

#include "vexolib/session/NVPSet.h"
#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/status.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/sync/DirImage.h"

namespace fs = boost::filesystem;

namespace vexo {

namespace {

struct ClientOp {
  std::string type;
  std::string relPath;
  std::string prefix;
  std::uint64_t maxSize = 0;  // downloads
};

// A download needs every chunk it names, as non-empty binary values, and a size it announces
// must be a number; checked before anything is applied so a short answer changes nothing.
// The result is the most the download may inflate to: the size announced, and never more
// than a scan would report back.
std::uint64_t checkDownload(const NVPSet& response, const ClientOp& op) {
  const int count = response.getInteger(op.prefix + "chunk.count");
  if (count < 0) {
    throw VexoException(status::generalFailure, "Chunk lookup failed");
  }
  for (int k = 0; k < count; ++k) {
    const std::string name = op.prefix + "chunk." + std::to_string(k);
    // A zlib stream never needs an empty piece; an empty one is a broken answer.
    if (!response.contains(name) || response.isString(name) ||
        response.getChunkSize(name) == 0) {
      throw VexoException(status::generalFailure, "Chunk lookup failed");
    }
  }
  const std::string announced = response.getString(op.prefix + "fileSize", "");
  if (announced.empty()) {
    return maxSyncFileSize;
  }
  std::uint64_t size = 0;
  for (const char c : announced) {
    if (c < '0' || c > '9' || size > maxSyncFileSize) {
      throw VexoException(status::generalFailure, "Invalid file size '" + announced +
                                                      "' for download of '" + op.relPath + "'");
    }
    size = size * 10 + static_cast<unsigned>(c - '0');
  }
  return std::min(size, maxSyncFileSize);
}

// The process's file-creation mask, read without setting it: another thread of the host may
// be creating a file at that moment. Where /proc does not say, a folder made inside a private
// folder of our own (beside the download, where we can write) shows it.
mode_t creationMask(const fs::path& folder) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "Umask:") == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  std::string probe = (folder / ".vexo-mask-XXXXXX").string();
  if (!::mkdtemp(&probe[0])) {
    return 022;
  }
  const std::string inner = probe + "/m";
  struct stat st = {};
  mode_t mask = 022;
  if (::mkdir(inner.c_str(), 0777) == 0 && ::stat(inner.c_str(), &st) == 0) {
    mask = static_cast<mode_t>(~st.st_mode & 0777);
  }
  ::rmdir(inner.c_str());
  ::rmdir(probe.c_str());
  return mask;
}

// The file is written as a private temporary file and renamed into place; once there it gets
// the permissions of any file the user makes, with the execute bits the server asked for.
void giveUsualPermissions(const fs::path& target, bool executable) {
  const mode_t mode = (executable ? 0777 : 0666) & ~creationMask(target.parent_path());
  if (::chmod(target.c_str(), mode) != 0) {
    platform::trace("Could not set the permissions of " + target.string());
  }
}

}  // namespace

SaveLoadRequest::SaveLoadRequest(Session& session, const std::string& type,
                                 const fs::path& localRoot, const std::string& remoteKey,
                                 const std::string& options, DirProxy& dirProxy)
    : DSRequest(session, type),
      remoteKey(remoteKey),
      options(options),
      localRoot(localRoot),
      dirProxy(dirProxy) {}

SaveLoadRequest::~SaveLoadRequest() = default;

void SaveLoadRequest::setRequestNVPs(NVPSet& request, const std::string& prefix) {
  DSRequest::setRequestNVPs(request, prefix);
  request.setString(prefix + "remoteKey", remoteKey);
  request.setString(prefix + "options", options);
  const std::vector<std::string> relPaths = dirProxy.getRelPaths();
  if (relPaths.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw VexoException(status::generalFailure, "Too many entries in '" + localRoot.string() + "'");
  }
  request.setInteger(prefix + "entry.count", static_cast<int>(relPaths.size()));
  int j = 0;
  for (const std::string& relPath : relPaths) {
    const std::string entry = (boost::format("%sentry.%d.") % prefix % j).str();
    const PathInfo& info = dirProxy.accessPathInfo(relPath);
    request.setString(entry + "relPath", relPath);
    request.setBoolean(entry + "isDirectory", info.isDirectory);
    if (info.lastModified) {
      request.setString(entry + "lastModified", *info.lastModified);
    }
    if (info.fileSize) {
      // Below 2 GiB by the scan, so the signed form is exact.
      request.setInteger(entry + "fileSize", static_cast<int>(*info.fileSize));
    }
    if (info.crc) {
      request.setU32Integer(entry + "crc", *info.crc);
    }
    handlePotentialUploadPath(request, entry, relPath);
    ++j;
  }
}

void SaveLoadRequest::handlePotentialUploadPath(NVPSet&, const std::string&,
                                                const std::string&) const {}

void SaveLoadRequest::processResponseNVPs(const NVPSet& response, const std::string& prefix) {
  DSRequest::processResponseNVPs(response, prefix);
  if (getRetCode() != 0) {
    return;
  }
  const int count = response.getInteger((boost::format("%sclientOp.count") % prefix).str());
  std::vector<ClientOp> ops;
  for (int j = 0; j < count; ++j) {
    ClientOp op;
    op.prefix = (boost::format("%sclientOp.%d.") % prefix % j).str();
    op.type = response.getString(op.prefix + "type");
    op.relPath = response.getString(op.prefix + "relPath");
    fileio::confinedPath(localRoot, op.relPath);
    if (op.type == "download") {
      op.maxSize = checkDownload(response, op);
    }
    ops.push_back(std::move(op));
  }
  for (const ClientOp& op : ops) {
    if (op.type == "upload") {
      relPathsToUpload.insert(op.relPath);
    } else if (op.type == "resendFileTime") {
      relPathsToSendFileTime.insert(op.relPath);
    } else if (op.type == "delete") {
      // Checked again at the moment of use: an earlier order may have changed the way there.
      fileio::confinedPath(localRoot, op.relPath);
      dirProxy.deleteAtRelPath(op.relPath);
    } else if (op.type == "mkdir") {
      fileio::confinedPath(localRoot, op.relPath);
      dirProxy.mkdirAtRelPath(op.relPath);
    } else if (op.type == "download") {
      const fs::path target = fileio::confinedPath(localRoot, op.relPath);
      response.downloadFile(localRoot, op.prefix, op.maxSize);
      giveUsualPermissions(
          target, strutil::toBool(response.getString(op.prefix + "isExecutable", "false"), false));
    } else if (op.type == "setFileTime") {
      fileio::confinedPath(localRoot, op.relPath);
      response.setFileTime(localRoot, op.prefix);
    }
  }
}

// ---- Save ---------------------------------------------------------------------------------

PrepareSaveRequest::PrepareSaveRequest(Session& session, const fs::path& localRoot,
                                       const std::string& remoteKey, const std::string& options,
                                       DirProxy& dirProxy)
    : BaseSaveRequest(session, "prepareSave", localRoot, remoteKey, options, dirProxy) {}

std::shared_ptr<DSRequest> PrepareSaveRequest::getFollowUpRequest() {
  if (getRetCode() != 0) {
    return DSRequest::getFollowUpRequest();
  }
  const long chunkSize = session.accessTransceiver().getMaxChunkSize();
  auto save = std::make_shared<SaveRequest>(session, localRoot, remoteKey, options, dirProxy,
                                            static_cast<unsigned long>(chunkSize));
  save->setRelPathsToUpload(relPathsToUpload);
  save->setRelPathsToSendFileTime(relPathsToSendFileTime);
  return save;
}

SaveRequest::SaveRequest(Session& session, const fs::path& localRoot,
                         const std::string& remoteKey, const std::string& options,
                         DirProxy& dirProxy, unsigned long maxChunkSize)
    : BaseSaveRequest(session, "save", localRoot, remoteKey, options, dirProxy),
      maxChunkSize(maxChunkSize) {}

void SaveRequest::handlePotentialUploadPath(NVPSet& request, const std::string& entryPrefix,
                                            const std::string& relPath) const {
  if (dirProxy.accessPathInfo(relPath).isDirectory) {
    return;
  }
  const std::string path = (localRoot / fs::path(relPath)).string();
  if (ownRelPathsToUpload.count(relPath) != 0) {
    const unsigned long chunk =
        std::min<unsigned long>(maxChunkSize, std::numeric_limits<int>::max());
    request.setChunksFromFile(path, entryPrefix, static_cast<int>(chunk));
    request.setString(entryPrefix + "lastModified", platform::getFileLastModifiedString(path));
    request.setBoolean(entryPrefix + "isExecutable", platform::isFileMarkedExecutable(path));
  } else if (ownRelPathsToSendFileTime.count(relPath) != 0) {
    request.setString(entryPrefix + "lastModified", platform::getFileLastModifiedString(path));
  }
}

// ---- Load ---------------------------------------------------------------------------------

LoadRequest::LoadRequest(Session& session, const fs::path& localRoot,
                         const std::string& remoteKey, const std::string& options,
                         DirProxy& dirProxy)
    : SaveLoadRequest(session, "load", localRoot, remoteKey, options, dirProxy) {}

}  // namespace vexo
