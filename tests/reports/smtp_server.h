// The loopback mail server of the e-mail tests and bench: Debian's aiosmtpd behind
// smtp_server.py, started for one test and stopped with it, its log read back through
// Python's email package (smtp_check.py). Header only; no test framework needed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/vexolib/transport/child_process.h"

class LoopbackSmtpServer {
 public:
  // The script folder and a folder for the log; mode and extra arguments as
  // smtp_server.py takes them.
  LoopbackSmtpServer(std::string scriptDir, std::string workDir)
      : scripts_(std::move(scriptDir)), dir_(std::move(workDir)) {}
  LoopbackSmtpServer(const LoopbackSmtpServer&) = delete;
  LoopbackSmtpServer& operator=(const LoopbackSmtpServer&) = delete;
  ~LoopbackSmtpServer() { Stop(); }

  // False when the server did not announce itself within 20 seconds; it is then stopped.
  bool Start(const std::string& mode, const std::string& extra = "") {
    Stop();
    log_ = dir_ + "/smtp-" + std::to_string(++starts_) + ".log";
    std::remove(log_.c_str());
    const std::string command = "exec /usr/bin/python3 " + scripts_ + "/smtp_server.py --log " +
                                log_ + " --mode " + mode + " " + extra;
    int out[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    const pid_t parent = getpid();
    child_ = fork();
    if (child_ == 0) {
      if (!vexotest::endWithParent(parent)) _exit(127);
      dup2(out[1], 1);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    if (child_ < 0) {
      close(out[0]);
      child_ = 0;
      return false;
    }
    pipe_ = fdopen(out[0], "r");
    if (!pipe_) {
      close(out[0]);
      Stop();
      return false;
    }
    pollfd ready{fileno(pipe_), POLLIN, 0};
    char line[128] = {};
    int pid = 0;
    if (poll(&ready, 1, 20000) <= 0 || !fgets(line, sizeof line, pipe_) ||
        std::sscanf(line, "PORT %d PID %d", &port_, &pid) != 2 || pid != child_) {
      Stop();
      return false;
    }
    return true;
  }

  // SIGTERM, and SIGKILL when the server is still there after five seconds.
  void Stop() {
    if (child_ > 0) {
      kill(child_, SIGTERM);
      vexotest::reapChild(child_, 5000);
    }
    if (pipe_) fclose(pipe_);
    pipe_ = nullptr;
    child_ = 0;
  }

  int port() const { return port_; }

  // smtp_check.py's records of what the server received, one vector of fields a line.
  std::vector<std::vector<std::string>> Records() const {
    std::vector<std::vector<std::string>> out;
    if (!std::filesystem::exists(log_)) return {{"C", "0"}};
    const std::string command = "/usr/bin/python3 " + scripts_ + "/smtp_check.py " + log_;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    pclose(p);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::vector<std::string> fields;
      std::string line = text.substr(start, end - start);
      size_t from = 0;
      for (;;) {
        const size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) break;
        from = tab + 1;
      }
      out.push_back(fields);
      start = end + 1;
    }
    return out;
  }

 private:
  std::string scripts_;
  std::string dir_;
  std::string log_;
  FILE* pipe_ = nullptr;
  pid_t child_ = 0;
  int port_ = 0;
  int starts_ = 0;
};

// A throw-away certificate for localhost, 127.0.0.1 and 127.23.0.1 (key and certificate
// files in dir); false when openssl failed.
inline bool MakeThrowAwayCertificate(const std::string& dir) {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost "
      "-addext subjectAltName=DNS:localhost,IP:127.0.0.1,IP:127.23.0.1 -keyout " +
      dir + "/key.pem -out " + dir + "/cert.pem >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}
