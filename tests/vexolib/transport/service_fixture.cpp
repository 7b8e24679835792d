#include "service_fixture.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "child_process.h"
#include "vexolib/platform/strutil.h"

namespace vexotest {

namespace {

const int replyTimeoutMillis = 60000;

std::string decodeField(const std::string& text) {
  // Every field is ":" + base64, so that empty values survive the split at blanks.
  if (text.empty() || text[0] != ':') {
    throw std::runtime_error("service: malformed record field '" + text + "'");
  }
  const std::vector<unsigned char> bytes = vexo::strutil::decodeBase64String(text.substr(1));
  return std::string(bytes.begin(), bytes.end());
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7f) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string base64(const std::string& bytes) {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) {
      v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    }
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::string::size_type pos = 0;
  while (pos <= line.size()) {
    std::string::size_type end = line.find(' ', pos);
    if (end == std::string::npos) {
      end = line.size();
    }
    out.push_back(line.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return vexo::strutil::toLowercase(a) == vexo::strutil::toLowercase(b);
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& h : headers) {
    if (equalsIgnoringCase(h.first, name)) {
      return h.second;
    }
  }
  return "";
}

bool RecordedRequest::hasHeader(const std::string& name) const {
  for (const auto& h : headers) {
    if (equalsIgnoringCase(h.first, name)) {
      return true;
    }
  }
  return false;
}

const std::string* RecordedRequest::field(const std::string& name) const {
  for (const auto& f : fields) {
    if (f.first == name) {
      return &f.second;
    }
  }
  return nullptr;
}

const RecordedFile* RecordedRequest::file(const std::string& name) const {
  for (const auto& f : files) {
    if (f.name == name) {
      return &f;
    }
  }
  return nullptr;
}

std::string LorvexService::defaultScriptPath() {
#ifdef VEXO_SERVICE_SCRIPT
  return VEXO_SERVICE_SCRIPT;
#elif defined(VEXO_TEST_SOURCE_DIR)
  return std::string(VEXO_TEST_SOURCE_DIR) + "/../service/lorvex_service.py";
#else
  return "tests/service/lorvex_service.py";
#endif
}

LorvexService::LorvexService(const std::string& scriptPath) {
  // A service that dies must fail the test, not kill it with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    throw std::runtime_error("service: pipe failed");
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    throw std::runtime_error("service: pipe failed");
  }
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    if (!endWithParent(parent)) {
      ::_exit(127);
    }
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    // Keep the source tree free of compiled modules.
    ::setenv("PYTHONDONTWRITEBYTECODE", "1", 1);
    ::execlp("python3", "python3", scriptPath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  toService_ = in[1];
  fromService_ = out[0];
  if (pid_ < 0) {
    throw std::runtime_error("service: fork failed");
  }
  const std::string ready = readLine();
  const std::vector<std::string> parts = words(ready);
  if (parts.size() != 7 || parts[0] != "ready") {
    throw std::runtime_error("service: unexpected greeting '" + ready + "'");
  }
  for (int i = 0; i < 4; ++i) {
    const std::string& part = parts[static_cast<std::size_t>(i) + 1];
    ports_[i] = std::atoi(part.substr(part.find('=') + 1).c_str());
  }
  proxyUser_ = decodeField(parts[5].substr(parts[5].find('=') + 1));
  proxyPassword_ = decodeField(parts[6].substr(parts[6].find('=') + 1));
}

LorvexService::~LorvexService() {
  if (toService_ >= 0) {
    const char quit[] = "{\"op\": \"quit\"}\n";
    (void)!::write(toService_, quit, sizeof quit - 1);
    ::close(toService_);
  }
  reapChild(pid_, 5000);
  if (fromService_ >= 0) {
    ::close(fromService_);
  }
}

std::string LorvexService::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port()) + path;
}

std::string LorvexService::readLine() {
  while (true) {
    const std::string::size_type nl = pending_.find('\n');
    if (nl != std::string::npos) {
      const std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    struct pollfd p = {fromService_, POLLIN, 0};
    const int ready = ::poll(&p, 1, replyTimeoutMillis);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready <= 0) {
      throw std::runtime_error("service: no answer");
    }
    char buffer[65536];
    const ssize_t n = ::read(fromService_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw std::runtime_error("service: stopped");
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

std::vector<std::string> LorvexService::command(const std::string& json) {
  const std::string line = json + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(toService_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw std::runtime_error("service: cannot send command");
    }
    done += static_cast<std::size_t>(n);
  }
  std::vector<std::string> lines;
  while (true) {
    const std::string reply = readLine();
    if (reply == "ok" || reply == "done") {
      return lines;
    }
    if (reply.compare(0, 6, "error ") == 0) {
      throw std::runtime_error("service: " + reply);
    }
    lines.push_back(reply);
  }
}

void LorvexService::script(const std::string& path, const std::vector<ScriptedAnswer>& answers) {
  std::string json = "{\"op\": \"script\", \"path\": " + jsonString(path) + ", \"responses\": [";
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const ScriptedAnswer& a = answers[i];
    json += i ? ", {" : "{";
    json += "\"status\": " + std::to_string(a.status);
    if (!a.reason.empty()) {
      json += ", \"reason\": " + jsonString(a.reason);
    }
    json += ", \"headers\": [";
    for (std::size_t h = 0; h < a.headers.size(); ++h) {
      json += (h ? ", [" : "[") + jsonString(a.headers[h].first) + ", " +
              jsonString(a.headers[h].second) + "]";
    }
    json += "], \"body_b64\": \"" + base64(a.body) + "\"";
    if (a.delay > 0) {
      json += ", \"delay\": " + std::to_string(a.delay);
    }
    if (a.truncate >= 0) {
      json += ", \"truncate\": " + std::to_string(a.truncate);
    }
    if (a.drop) {
      json += ", \"drop\": true";
    }
    if (a.stallAfter >= 0) {
      json += ", \"stall_after\": " + std::to_string(a.stallAfter);
    }
    if (a.drip > 0) {
      json += ", \"drip\": " + std::to_string(a.drip);
    }
    if (a.hang) {
      json += ", \"hang\": true";
    }
    if (a.repeat) {
      json += ", \"repeat\": true";
    }
    if (!a.raw.empty()) {
      json += ", \"raw_b64\": \"" + base64(a.raw) + "\"";
    }
    if (a.endless) {
      json += ", \"endless\": true";
    }
    if (a.huge >= 0) {
      json += ", \"huge\": " + std::to_string(a.huge);
    }
    if (!a.fill.empty()) {
      json += ", \"fill\": " + jsonString(a.fill);
    }
    if (!a.tail.empty()) {
      json += ", \"tail\": " + jsonString(a.tail);
    }
    json += "}";
  }
  command(json + "]}");
}

std::vector<RecordedRequest> LorvexService::requests() {
  std::vector<RecordedRequest> out;
  for (const std::string& line : command("{\"op\": \"requests\"}")) {
    const std::vector<std::string> w = words(line);
    if (w[0] == "request") {
      out.emplace_back();
    } else if (out.empty() || w[0] == "end") {
      continue;
    } else if (w[0] == "method" && w.size() == 2) {
      out.back().method = w[1];
    } else if (w[0] == "target" && w.size() == 2) {
      out.back().target = decodeField(w[1]);
    } else if (w[0] == "header" && w.size() == 3) {
      out.back().headers.emplace_back(decodeField(w[1]), decodeField(w[2]));
    } else if (w[0] == "field" && w.size() == 3) {
      out.back().fields.emplace_back(decodeField(w[1]), decodeField(w[2]));
    } else if (w[0] == "file" && w.size() == 5) {
      out.back().files.push_back(RecordedFile{decodeField(w[1]), decodeField(w[2]),
                                              decodeField(w[3]), decodeField(w[4])});
    } else if (w[0] == "body" && w.size() == 2) {
      out.back().body = decodeField(w[1]);
    } else {
      throw std::runtime_error("service: malformed record line");
    }
  }
  return out;
}

std::vector<ProxiedRequest> LorvexService::proxyLog() {
  std::vector<ProxiedRequest> out;
  for (const std::string& line : command("{\"op\": \"proxylog\"}")) {
    const std::vector<std::string> w = words(line);
    if (w.size() == 4 && w[0] == "proxied") {
      out.push_back(ProxiedRequest{decodeField(w[1]), decodeField(w[2]), decodeField(w[3])});
    }
  }
  return out;
}

TlsEndpoints LorvexService::tls() {
  const std::vector<std::string> lines = command("{\"op\": \"tls\"}");
  TlsEndpoints out;
  const std::vector<std::string> w = lines.empty() ? std::vector<std::string>() : words(lines[0]);
  if (w.size() != 6 || w[0] != "tls") {
    throw std::runtime_error("service: malformed tls line");
  }
  auto value = [&w](std::size_t i) { return w[i].substr(w[i].find('=') + 1); };
  out.selfSignedPort = std::atoi(value(1).c_str());
  out.signedPort = std::atoi(value(2).c_str());
  out.misnamedPort = std::atoi(value(3).c_str());
  out.connectProxyPort = std::atoi(value(4).c_str());
  out.caFile = decodeField(value(5));
  return out;
}

void LorvexService::clear() {
  command("{\"op\": \"clear\"}");
}

void LorvexService::keepBodies(bool keep) {
  command(std::string("{\"op\": \"options\", \"keep_bodies\": ") + (keep ? "true" : "false") +
          "}");
}

namespace {

int boundLocalSocket(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  struct sockaddr_in addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    throw std::runtime_error("cannot bind a local port");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

int closedLocalPort() {
  // Bound but not listening: connecting is refused, and the port stays ours for the life of
  // the process, so nothing else can start listening there.
  static int port = [] {
    int p = 0;
    boundLocalSocket(p);
    return p;
  }();
  return port;
}

int backloggedLocalPort() {
  // A listener with no room in its queue, which one connection of our own has filled: the
  // kernel drops further connection requests, so connecting never completes.
  static int port = [] {
    int p = 0;
    const int listener = boundLocalSocket(p);
    if (::listen(listener, 0) != 0) {
      throw std::runtime_error("cannot listen");
    }
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(p));
    if (filler < 0 || ::connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      throw std::runtime_error("cannot fill the listener's queue");
    }
    return p;
  }();
  return port;
}

}  // namespace vexotest
