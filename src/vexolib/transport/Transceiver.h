// The framework's abstract HTTP transport. A session fills it with named values (strings
// and file slices), then sends them as one request; the transceiver adds the session's
// client attributes and the collected log entries and hands status and body to a response
// processor.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "vexolib/transport/ConnectionDef.h"
#include "vexolib/transport/ResponseBody.h"

namespace vexo {

class Transceiver {
 public:
  struct RequestValueEntry {
    bool isString = true;
    std::string value;
    std::string fileName;
    std::string filePath;
    long offset = 0;
    long length = 0;
    long totalSize = 0;
  };

  // Owned by the caller, usually on its stack, hence no virtual destructor.
  class ResponseProcessor {
   public:
    // A page read whole, at most ResponseBody::pageLimit bytes.
    virtual void operator()(int status, const std::vector<unsigned char>& body) = 0;
    // Whether the answer has no size limit: it then goes to a temporary file, handed to
    // processFile instead.
    virtual bool keepsBodyInFile() const { return false; }
    // `handle` is open for reading and holds `size` bytes; the file goes after the call.
    virtual void processFile(int status, int handle, std::uint64_t size);

   protected:
    ~ResponseProcessor() = default;
  };

  // The connection definition belongs to the session and must outlive the transceiver.
  Transceiver(const ConnectionDef& connectionDef, const std::string& url,
              const std::string& clientAppName);
  virtual ~Transceiver();
  Transceiver(const Transceiver&) = delete;
  Transceiver& operator=(const Transceiver&) = delete;

  virtual void finishInitialization() = 0;
  virtual std::string getName() const = 0;
  virtual std::string getUserAgentString() const;
  virtual bool connect() = 0;
  virtual bool disconnect() = 0;
  virtual bool isConnected() const = 0;
  virtual void setTimeoutSeconds(int seconds) = 0;
  // A later value of the same name replaces the earlier one, whatever its kind.
  virtual void setStringValue(const std::string& name, const std::string& value);
  // The file is read only when the request is sent.
  virtual void setFileValue(const std::string& name, const std::string& fileName,
                            const std::string& filePath, long offset, long length,
                            long totalSize);
  // Sends every value set since the last request plus "req.clientAttribute.<name>" per
  // attribute and "log.<i>.message" per collected log entry; calls the processor once.
  // A failed exchange is a status other than 200. An answer that cannot be kept (a page
  // over ResponseBody::pageLimit, an answer file whose write failed) is VexoException 103
  // instead, and the processor is not called.
  virtual int sendRequest(const std::map<std::string, std::string>& clientAttributes,
                          ResponseProcessor& processor);
  virtual unsigned long getMaxRecommendedPostSize() const = 0;
  virtual long getMaxChunkSize() const;

  // Why the last request ended without an answer (curl_shared.h's describeFailure); empty
  // when it had one.
  const std::string& getFailureCause() const { return failureCause; }
  // The status for a message: "<status>", followed by " (<cause>)" when the last request
  // ended without an answer, so that a caller tells a refused connection from a stall.
  std::string describeStatus(int status) const;

  // "<name> (direct)" or "<name> (proxy (<proxy text>))".
  std::string getDescription() const;
  std::vector<std::string> getNamesOfValuesBeingSent() const;

  // Raises VexoException 103 "Undefined transfer library" for anything but curl.
  static std::shared_ptr<Transceiver> makeTransceiver(TransferLib lib,
                                                      const ConnectionDef& connectionDef,
                                                      const std::string& url,
                                                      const std::string& clientAppName);

 protected:
  virtual bool openRequest();
  virtual void closeRequest();
  // Sends the request and hands each byte of the answer's body to `body`; a transfer that
  // fails leaves it discarded.
  virtual int transmitAndReceive(ResponseBody& body) = 0;
  // The sum of the counts of header, every value in name order, and footer.
  virtual long processRequestValues(bool flag);
  virtual boost::optional<long> processRequestValue(const std::string& name,
                                                    const RequestValueEntry& entry,
                                                    bool flag) = 0;
  virtual long processRequestValuesHeader(bool flag);
  virtual long processRequestValuesFooter(bool flag);

  const ConnectionDef& connectionDef;
  std::string url;
  std::string clientAppName;
  std::map<std::string, RequestValueEntry> requestValues;
  std::string failureCause;
};

}  // namespace vexo
