// The shipped library's trust: the system's certificate authorities, with no way to name
// others.
#include "vexolib/seams/tls_trust.h"

namespace vexo {
namespace transport_detail {

std::string trustedCaFile() {
  return std::string();
}

}  // namespace transport_detail
}  // namespace vexo
