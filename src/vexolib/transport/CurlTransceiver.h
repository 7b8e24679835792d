// The libcurl transport: every request one multipart/form-data POST, file parts streamed
// from their files; cookies that the service sets are kept and sent back. The process-wide
// URL reader (plain GETs that follow redirects) lives here too, as static operations.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vexolib/transport/Transceiver.h"

typedef void CURL;
struct curl_mime;

namespace vexo {

class CurlTransceiver : public Transceiver {
 public:
  CurlTransceiver(const ConnectionDef& connectionDef, const std::string& url,
                  const std::string& clientAppName);
  ~CurlTransceiver() override;

  void finishInitialization() override;
  std::string getName() const override;
  bool connect() override;
  // Releases the handle; the remembered cookies stay with the object.
  bool disconnect() override;
  bool isConnected() const override;
  // Time limit of a whole transfer; none until this is called.
  void setTimeoutSeconds(int seconds) override;
  unsigned long getMaxRecommendedPostSize() const override;

  // One reader per process. startUrlReader answers false when one exists already or libcurl
  // cannot be set up; stopUrlReader is for a reader that was started.
  static bool startUrlReader();
  // GET with redirects (http and https only, a bounded number). True only for a complete
  // page with status 200. A failed transfer leaves body empty, httpCode 0 and libcurl's
  // description in errorMessage; so does a page over ResponseBody::pageLimit, with
  // "Answer longer than 16 MiB". Raises std::runtime_error "request url too long." for a
  // URL over 255 characters.
  static bool readUrl(const ConnectionDef& connection, const std::string& url,
                      std::vector<unsigned char>& body, std::string& errorMessage,
                      int& httpCode, const std::string& clientAppName,
                      const std::string& secondClientString);
  static void stopUrlReader();

 protected:
  int transmitAndReceive(ResponseBody& response) override;
  // Adds one form part; always a present 0.
  boost::optional<long> processRequestValue(const std::string& name,
                                            const RequestValueEntry& entry,
                                            bool flag) override;

 private:
  struct FileSlice;

  void startPost();
  int finishPost(ResponseBody& response);
  void releaseForm();

  CURL* pCurl = nullptr;
  char errorText[512] = {};  // libcurl's error buffer for this handle
  curl_mime* form = nullptr;
  std::vector<std::unique_ptr<FileSlice>> fileSlices;
  // Why the form cannot be sent (a file slice that cannot be read); the transfer then fails.
  std::string formError;
  std::map<std::string, std::string> cookies;
  std::string cookieText;
};

}  // namespace vexo
