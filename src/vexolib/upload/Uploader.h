// Sends the compressed copies of an upload's files to the service's upload page through a
// connected session, in chunks of at most 8 MiB, each one multipart request; reads the
// service's answer to every chunk for the result page and the upload batch; and, when the
// service asks for it, completes the upload in-process instead of in the browser.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <boost/optional.hpp>

#include "vexolib/upload/FileInfo.h"
#include "vexolib/transport/Transceiver.h"
#include "vexolib/platform/ValueOrError.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/web_address.h"

namespace vexo {

class Session;

// The page to open (or "*" after an in-process completion), or the failure.
typedef ValueOrError<std::string, VexoException, false> UploadResult;

class Uploader {
 public:
  // The bytes of file i's compressed copy from offsets[i], lengths[i] long; one entry for
  // every file in every chunk, length 0 when the chunk carries nothing of it.
  struct ChunkAllocation {
    std::vector<long> offsets;
    std::vector<long> lengths;
  };

  // The session must be connected: VexoException 103 "Transceiver when not set." otherwise.
  Uploader(Session& session, std::vector<std::shared_ptr<FileInfo>> files,
           const std::map<std::string, std::string>& options);
  virtual ~Uploader();
  Uploader(const Uploader&) = delete;
  Uploader& operator=(const Uploader&) = delete;

  // Reads one chunk's answer into the last result. Throws VexoException 103 "no batch" or
  // "Batch changed from <old> to <new>" when an answer with a result page does not name
  // the batch of chunk 0.
  virtual void processResponseData(int status, const std::vector<unsigned char>& body);

  void setSrcCompID(const std::string& id) { srcCompID = id; }
  void setSrcAppID(const std::string& id) { srcAppID = id; }
  void setSrcAppVer(const std::string& version) { srcAppVer = version; }

  long getMaxFileBytesSentPerChunk() const;
  void calcChunkAllocations();
  int getChunkCount() const;
  // Records the fields of chunk chunkIndex in the transceiver.
  void setFieldsInTransceiver();

  // Sends every chunk in turn and returns the page to open, with the token, alias and entid
  // as hand-off parameters when a token is given. Failures reported by the service or
  // raised as VexoException come back as the error; no chunk follows a failed one.
  UploadResult attempt(const std::map<std::string, std::string>& clientAttributes,
                       const std::string& authToken, const std::string& coreGroupAlias,
                       const std::string& coreGroupEntid);
  // Whether the last attempt of the process went through the in-process completion.
  static bool wasLastUploadLightweight();

  // The answer is read where it lies: only the values found are copied.
  boost::optional<std::string> extractResultUrl(std::string_view text) const;
  boost::optional<std::string> extractBatchEntid(std::string_view text) const;
  // Always an error: 102 for an empty or unreadable answer, 119 for the service's message.
  // Only an excerpt of the answer is copied, and masked before it is kept.
  UploadResult processErrorResponse(std::string_view body) const;
  // Follows the pages the service leads through to "done" ("*") or to an error.
  UploadResult postprocessUploadAsBrowser(const std::string& url);

  const std::vector<std::shared_ptr<ChunkAllocation>>& getChunkAllocations() const {
    return chunkAllocations;
  }
  int getChunkIndex() const { return chunkIndex; }
  const std::string& getUploadBatchEntid() const { return uploadBatchEntid; }
  const UploadResult& getLastResult() const { return lastResult; }

 protected:
  Session& session;
  Transceiver& transceiver;
  std::vector<std::shared_ptr<FileInfo>> files;
  std::map<std::string, std::string> options;
  std::string srcCompID;
  std::string srcAppID;
  std::string srcAppVer;
  int chunkIndex = -1;
  std::string uploadBatchEntid;
  std::vector<std::shared_ptr<ChunkAllocation>> chunkAllocations;
  std::string attemptLog;  // travels empty: the session keeps the attempt text
  UploadResult lastResult;
};

// Hands each chunk's answer to its uploader.
class UploadResponseProcessor : public Transceiver::ResponseProcessor {
 public:
  explicit UploadResponseProcessor(Uploader& uploader) : uploader(uploader) {}
  void operator()(int status, const std::vector<unsigned char>& body) override;

 private:
  Uploader& uploader;
};

// The session's upload: one uploader, one attempt, with the session's client attributes.
UploadResult uploadFilesOverSession(Session& session,
                                    const std::vector<std::shared_ptr<FileInfo>>& files,
                                    const std::map<std::string, std::string>& options,
                                    const std::string& srcCompID, const std::string& srcAppID,
                                    const std::string& srcAppVer, const std::string& authToken,
                                    const std::string& coreGroupAlias,
                                    const std::string& coreGroupEntid);

namespace uploaddetail {

// The most pages an in-process completion follows before it gives up.
constexpr int maxCompletionPages = 100;

// The text after the first marker + ":" up to the next blank, tab, CR or LF; nothing when
// the marker is absent or the value runs to the end of the text.
boost::optional<std::string> extractMarkedValue(const std::string& marker,
                                                std::string_view text);
// The digits after the first "uploadBatchEntid=" that is followed by a digit.
boost::optional<std::string> findBatchEntid(std::string_view text);
// ": succeeded" or ": failed(<exception text form>)".
std::string uploadResultToAttemptLogString(const UploadResult& result);
// Option "lwupload" when configured, else the upload option "lightweight"; and the page
// must carry "&srubs=true".
bool shouldSimulateBrowser(const std::string& url,
                           const std::map<std::string, std::string>& options);
// The keys and Base64-decoded values of the page's first "uplmk[...]" block.
std::map<std::string, std::string> getMarkedValues(std::string_view text);
using platform::isWebAddress;

}  // namespace uploaddetail

}  // namespace vexo
