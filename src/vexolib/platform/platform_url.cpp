// Reading pages by URL for the rest of the framework: always a direct connection.
#include "vexolib/transport/CurlTransceiver.h"
#include "vexolib/platform/platform_net.h"

namespace vexo {
namespace platform {

bool startUrlReader() {
  return CurlTransceiver::startUrlReader();
}

bool readUrl(const std::string& url, std::vector<unsigned char>& body, std::string& errorText,
             int& httpStatus, const std::string& clientAppName,
             const std::string& secondClientString) {
  const ConnectionDef direct;
  return CurlTransceiver::readUrl(direct, url, body, errorText, httpStatus, clientAppName,
                                  secondClientString);
}

void stopUrlReader() {
  CurlTransceiver::stopUrlReader();
}

}  // namespace platform
}  // namespace vexo
