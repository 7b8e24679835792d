#include "vexolib/transport/ConnectionDef.h"

namespace vexo {

ProxyDef::ProxyDef(int kind, const std::string& host, int port,
                   const boost::optional<std::string>& user,
                   const boost::optional<std::string>& password)
    : kind(kind), host(host), port(port), user(user), password(password) {}

ProxyDef::operator std::string() const {
  std::string text = "proxy host: " + host + "; " + " port: " + std::to_string(port) + ";";
  if (user) {
    text += " user: " + *user + ";";
  }
  if (password) {
    text += " pswd: ********;";
  }
  return text;
}

std::string getTransferLibName(TransferLib lib) {
  switch (lib) {
    case TransferLib::curl:
      return "curl";
    case TransferLib::wininet:
      return "wininet";
  }
  return "(unknown)";
}

}  // namespace vexo
