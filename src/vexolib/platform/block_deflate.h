// One zlib stream of a large file made on several threads: the file is cut into blocks that
// are deflated side by side, each primed with the 32 KiB before it, and joined in order with
// one header and one Adler-32 trailer, so that any inflater reads the result as one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct z_stream_s;

namespace vexo {
namespace util {

// The input bytes one worker deflates at a time.
constexpr std::size_t deflateBlockSize = 512 * 1024;
// Smaller files are deflated on the caller's thread as before, byte for byte what zlib makes
// of them in one go: there the threads would cost more than they save.
constexpr std::uint64_t blockDeflateFrom = 4u << 20;
// The most threads one file is deflated on.
constexpr unsigned maxDeflateWorkers = 16;

// The threads a file may be deflated on: the cores this process may run on, at most
// maxDeflateWorkers, at least 1.
unsigned deflateWorkerCount();

// Reads `input` to its end and writes one level-9 zlib stream of it to `output`, deflating
// on `workers` threads. A failure ends every worker and passes out as VexoException: 106 for
// the input (named by `inputPath`), 115 when a compressor cannot be set up, 116 when one
// fails or the output cannot be written. What was written so far is the caller's to remove.
void deflateInBlocks(int input, const std::string& inputPath, int output, unsigned workers);

namespace priv {

// zlib's deflate() as a worker calls it for the block numbered `index` (from 0); the test
// build can make one block's call fail.
int deflateBlock(z_stream_s* stream, int flush, std::uint64_t index);

}  // namespace priv

}  // namespace util
}  // namespace vexo
