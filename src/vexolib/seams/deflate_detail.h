// Seam of the block deflate for the framework's own tests (built into the test library only).
#pragma once

#include <cstdint>

namespace vexo {
namespace util {
namespace detail {

// The worker that deflates the block numbered `index` (from 0) gets Z_STREAM_ERROR from
// zlib, as a compressor in a broken state would answer. -1 switches it off.
void failDeflateOfBlock(std::int64_t index);

}  // namespace detail
}  // namespace util
}  // namespace vexo
