// The test build's side of the block deflate's seam: one block's deflate can be made to fail.
#include <atomic>

#include <zlib.h>

#include "vexolib/platform/block_deflate.h"
#include "vexolib/seams/deflate_detail.h"

namespace vexo {
namespace util {

namespace {

// Read by the workers while the test's thread may set it.
std::atomic<std::int64_t> failingBlock{-1};

}  // namespace

namespace priv {

int deflateBlock(z_stream_s* stream, int flush, std::uint64_t index) {
  const std::int64_t failing = failingBlock.load();
  if (failing >= 0 && static_cast<std::uint64_t>(failing) == index) {
    return Z_STREAM_ERROR;
  }
  return deflate(stream, flush);
}

}  // namespace priv

namespace detail {

void failDeflateOfBlock(std::int64_t index) { failingBlock.store(index < 0 ? -1 : index); }

}  // namespace detail

}  // namespace util
}  // namespace vexo
