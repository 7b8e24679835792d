// The shipped library's side of the block deflate's seam: zlib's deflate as it is.
#include <zlib.h>

#include "vexolib/platform/block_deflate.h"

namespace vexo {
namespace util {
namespace priv {

int deflateBlock(z_stream_s* stream, int flush, std::uint64_t /*index*/) {
  return deflate(stream, flush);
}

}  // namespace priv
}  // namespace util
}  // namespace vexo
