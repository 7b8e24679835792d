// The requests that pair a local folder with a store of the service. Each sends the whole
// image of the folder; the answer lists client operations, carried out on the folder at
// once (delete, mkdir, download, setFileTime) or kept for the next request (upload,
// resendFileTime). A load is one exchange; a save is "prepareSave", which learns what the
// server wants, followed by "save", which carries the compressed files asked for.
#pragma once

#include <memory>
#include <set>
#include <string>

#include <boost/filesystem/path.hpp>

#include "vexolib/session/DSRequest.h"

namespace vexo {

class DirProxy;

class SaveLoadRequest : public DSRequest {
 public:
  // dirProxy is not owned: the synchronisation that made it outlives its requests.
  SaveLoadRequest(Session& session, const std::string& type,
                  const boost::filesystem::path& localRoot, const std::string& remoteKey,
                  const std::string& options, DirProxy& dirProxy);
  ~SaveLoadRequest() override;

  void setRequestNVPs(NVPSet& request, const std::string& prefix) override;
  // With the return code "ok": every operation of the answer is read and every path
  // confined to the folder before the first one is carried out, so one path that leaves the
  // folder (VexoException 103) or one download without all its chunks applies nothing.
  void processResponseNVPs(const NVPSet& response, const std::string& prefix) override;

  std::set<std::string> getRelPathsToUpload() const { return relPathsToUpload; }
  std::set<std::string> getRelPathsToSendFileTime() const { return relPathsToSendFileTime; }

 protected:
  virtual void handlePotentialUploadPath(NVPSet& request, const std::string& entryPrefix,
                                         const std::string& relPath) const;

  const std::string remoteKey;
  const std::string options;
  const boost::filesystem::path localRoot;
  DirProxy& dirProxy;
  std::set<std::string> relPathsToUpload;
  std::set<std::string> relPathsToSendFileTime;
};

class BaseSaveRequest : public SaveLoadRequest {
 public:
  using SaveLoadRequest::SaveLoadRequest;
};

class PrepareSaveRequest : public BaseSaveRequest {
 public:
  PrepareSaveRequest(Session& session, const boost::filesystem::path& localRoot,
                     const std::string& remoteKey, const std::string& options,
                     DirProxy& dirProxy);
  // A "save" with the orders of this answer; a "noop" when the answer was not "ok", so a
  // refused prepare-save is never followed by a save that carries no contents.
  std::shared_ptr<DSRequest> getFollowUpRequest() override;
};

class SaveRequest : public BaseSaveRequest {
 public:
  SaveRequest(Session& session, const boost::filesystem::path& localRoot,
              const std::string& remoteKey, const std::string& options, DirProxy& dirProxy,
              unsigned long maxChunkSize);

  void setRelPathsToUpload(std::set<std::string> paths) { ownRelPathsToUpload = std::move(paths); }
  void setRelPathsToSendFileTime(std::set<std::string> paths) {
    ownRelPathsToSendFileTime = std::move(paths);
  }

 protected:
  void handlePotentialUploadPath(NVPSet& request, const std::string& entryPrefix,
                                 const std::string& relPath) const override;

 private:
  std::set<std::string> ownRelPathsToUpload;
  std::set<std::string> ownRelPathsToSendFileTime;
  const unsigned long maxChunkSize;
};

class LoadRequest : public SaveLoadRequest {
 public:
  LoadRequest(Session& session, const boost::filesystem::path& localRoot,
              const std::string& remoteKey, const std::string& options, DirProxy& dirProxy);
};

}  // namespace vexo
