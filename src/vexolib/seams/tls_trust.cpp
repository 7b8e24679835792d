// The test build's trust seam: the authority file a test names.
#include "vexolib/seams/tls_trust.h"

namespace vexo {
namespace transport_detail {

namespace {

std::string& caFile() {
  static std::string* file = new std::string;
  return *file;
}

}  // namespace

std::string trustedCaFile() {
  return caFile();
}

void setTrustedCaFile(const std::string& path) {
  caFile() = path;
}

}  // namespace transport_detail
}  // namespace vexo
