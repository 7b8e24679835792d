// The shipped library's side of the transport seams: the fixed time limits.
#include "vexolib/transport/curl_shared.h"

namespace vexo {
namespace curlshared {

long connectTimeoutMillis() { return 30000; }

long stallSeconds() { return 120; }

}  // namespace curlshared
}  // namespace vexo
