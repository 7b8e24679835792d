// The fake Lorvex service (tests/service/lorvex_service.py) as seen from C++: started as a
// child process on 127.0.0.1 and ephemeral ports, scripted and questioned through its
// stdin and stdout, stopped with the object. Free of GoogleTest so benchmarks can use it.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vexotest {

typedef std::vector<std::pair<std::string, std::string>> NamedTexts;

struct RecordedFile {
  std::string name;
  std::string fileName;
  std::string contentType;
  std::string data;
};

struct RecordedRequest {
  std::string method;
  std::string target;
  NamedTexts headers;
  NamedTexts fields;
  std::vector<RecordedFile> files;
  std::string body;

  // The first header of that name, any case; empty when there is none.
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
  // The value of the first field of that name; nullptr when there is none.
  const std::string* field(const std::string& name) const;
  const RecordedFile* file(const std::string& name) const;
};

struct ProxiedRequest {
  std::string proxy;  // "proxy", "authproxy" or "connect"
  std::string target;  // for "connect", the whole request line
  std::string authorization;
};

// The service's pages over TLS (certificates for 127.0.0.1 and localhost, made when the
// service starts) and its CONNECT proxy.
struct TlsEndpoints {
  int selfSignedPort = 0;  // a certificate that signs itself
  int signedPort = 0;      // a certificate signed by the throw-away authority in caFile
  int misnamedPort = 0;    // signed by that authority, for another host name only
  int connectProxyPort = 0;
  std::string caFile;
};

// One scripted answer; see the service's description of the fields.
struct ScriptedAnswer {
  int status = 200;
  std::string reason;
  NamedTexts headers;
  std::string body;
  double delay = 0;
  long truncate = -1;
  bool drop = false;
  bool hang = false;
  long stallAfter = -1;  // status line, headers and this many body bytes, then silence
  double drip = 0;       // the body one byte every this many seconds
  bool repeat = false;
  std::string raw;  // when set, the whole answer as bytes
};

class LorvexService {
 public:
  // Throws std::runtime_error when the service does not come up.
  explicit LorvexService(const std::string& scriptPath = defaultScriptPath());
  ~LorvexService();
  LorvexService(const LorvexService&) = delete;
  LorvexService& operator=(const LorvexService&) = delete;

  static std::string defaultScriptPath();

  int port() const { return ports_[0]; }
  int proxyPort() const { return ports_[1]; }
  int authProxyPort() const { return ports_[2]; }
  // Accepts connections and never answers.
  int silentPort() const { return ports_[3]; }
  const std::string& proxyUser() const { return proxyUser_; }
  const std::string& proxyPassword() const { return proxyPassword_; }
  // "http://127.0.0.1:<port>" + path.
  std::string url(const std::string& path) const;

  // The next requests for path (without query; "*" for any) get these answers in turn.
  void script(const std::string& path, const std::vector<ScriptedAnswer>& answers);
  std::vector<RecordedRequest> requests();
  std::vector<ProxiedRequest> proxyLog();
  void clear();
  // Waits for the certificates; throws when they could not be made.
  TlsEndpoints tls();
  // Without bodies, file parts are recorded as "size=<n> crc=<hex>" only.
  void keepBodies(bool keep);

 private:
  std::vector<std::string> command(const std::string& json);
  std::string readLine();

  pid_t pid_ = -1;
  int toService_ = -1;
  int fromService_ = -1;
  std::string pending_;
  int ports_[4] = {0, 0, 0, 0};
  std::string proxyUser_;
  std::string proxyPassword_;
};

// A port on 127.0.0.1 on which nothing listens: connecting is refused.
int closedLocalPort();
// A port on 127.0.0.1 where connecting never completes (a full listen queue).
int backloggedLocalPort();

}  // namespace vexotest
