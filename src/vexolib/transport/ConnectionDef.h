// The ways a session can reach the service: directly or through an HTTP proxy, with one of
// the transfer libraries the platform offers. Plain values, copied member by member.
#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

namespace vexo {

struct ProxyDef {
  ProxyDef() = default;
  ProxyDef(int kind, const std::string& host, int port,
           const boost::optional<std::string>& user = boost::none,
           const boost::optional<std::string>& password = boost::none);

  // "proxy host: <host>;  port: <port>;[ user: <user>;][ pswd: ********;]": the password
  // itself never appears, so the text is safe for traces and attempt logs.
  operator std::string() const;

  int kind = 0;  // carried along; nothing reads it
  std::string host;
  int port = 0;
  boost::optional<std::string> user;
  boost::optional<std::string> password;
};

// No proxy means a direct connection.
struct ConnectionDef {
  ConnectionDef() = default;
  ConnectionDef(const ProxyDef& proxy) : proxyDef(proxy) {}  // NOLINT: implicit by design

  boost::optional<ProxyDef> proxyDef;
};

enum class TransferLib : int { curl = 0, wininet = 1 };

// "curl", "wininet", or "(unknown)" for any other value.
std::string getTransferLibName(TransferLib lib);

struct ConnectionVariantInfo {
  boost::optional<ProxyDef> proxyDef;
  TransferLib transferLib = TransferLib::curl;
};

}  // namespace vexo
