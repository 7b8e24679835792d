#include "vexolib/session/NVPResponseProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/fileio.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

const std::size_t recentLineCount = 5;
// What a binary value counts against the answer's text: its holder and file name in memory.
const std::size_t chunkCost = 256;

bool isNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '_';
}

// The position of the next CR LF at or after from, or size when there is none.
std::size_t findBodyLineEnd(const unsigned char* data, std::size_t from, std::size_t size) {
  while (from < size) {
    const void* cr = std::memchr(data + from, '\r', size - from);
    if (cr == nullptr) {
      break;
    }
    const std::size_t at = static_cast<const unsigned char*>(cr) - data;
    if (at + 1 < size && data[at + 1] == '\n') {
      return at;
    }
    from = at + 1;
  }
  return size;
}

// Plain decimal digits only; false for anything else and for values past 64 bits.
bool readLength(const unsigned char* text, std::size_t length, std::uint64_t& value) {
  if (length == 0) {
    return false;
  }
  value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    const std::uint64_t digit = text[i] - '0';
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
      return false;
    }
    value = value * 10 + digit;
  }
  return true;
}

}  // namespace

void NVPResponseProcessor::operator()(int status, const std::vector<unsigned char>& body) {
  if (status != 200 || body.empty()) {
    return;
  }
  parse(body.data(), body.size());
}

void NVPResponseProcessor::processFile(int status, int handle, std::uint64_t size) {
  if (status != 200 || size == 0) {
    return;
  }
  parseFile(handle, size);
}

// The body as the record reader sees it: bytes by position, whether it lies in memory or in
// a file that is read a window at a time.
class NVPBodyView {
 public:
  explicit NVPBodyView(std::uint64_t size) : size_(size) {}
  virtual ~NVPBodyView() = default;
  NVPBodyView(const NVPBodyView&) = delete;
  NVPBodyView& operator=(const NVPBodyView&) = delete;

  std::uint64_t size() const { return size_; }
  // The bytes [at, at + length), all within the body; valid until the next call.
  virtual const unsigned char* bytes(std::uint64_t at, std::size_t length) = 0;
  // The position of the next CR LF at or after from, or size() when there is none.
  virtual std::uint64_t findLineEnd(std::uint64_t from) = 0;
  // The binary value of `length` bytes at `at`, into its own chunk file.
  virtual void setChunk(NVPSet& nvps, const std::string& name, std::uint64_t at,
                        std::uint64_t length) = 0;

 protected:
  const std::uint64_t size_;
};

namespace {

class MemoryBody final : public NVPBodyView {
 public:
  MemoryBody(const unsigned char* data, std::size_t size) : NVPBodyView(size), data_(data) {}
  const unsigned char* bytes(std::uint64_t at, std::size_t) override { return data_ + at; }
  std::uint64_t findLineEnd(std::uint64_t from) override {
    return findBodyLineEnd(data_, static_cast<std::size_t>(from),
                             static_cast<std::size_t>(size_));
  }
  void setChunk(NVPSet& nvps, const std::string& name, std::uint64_t at,
                std::uint64_t length) override {
    nvps.setChunk(name, data_ + at, 0, static_cast<unsigned long>(length));
  }

 private:
  const unsigned char* data_;
};

class FileBody final : public NVPBodyView {
 public:
  FileBody(int handle, std::uint64_t size) : NVPBodyView(size), handle_(handle) {}

  const unsigned char* bytes(std::uint64_t at, std::size_t length) override {
    if (at < windowStart_ || at + length > windowStart_ + windowLength_) {
      fill(at, std::max<std::uint64_t>(length, std::min<std::uint64_t>(blockSize, size_ - at)));
    }
    return window_.data() + (at - windowStart_);
  }

  // Scans a window at a time, so a line of any length costs no more memory than one.
  std::uint64_t findLineEnd(std::uint64_t from) override {
    std::uint64_t pos = from;
    while (pos < size_) {
      if (pos < windowStart_ || pos >= windowStart_ + windowLength_) {
        fill(pos, std::min<std::uint64_t>(blockSize, size_ - pos));
      }
      const unsigned char* at = window_.data() + (pos - windowStart_);
      const std::size_t left = static_cast<std::size_t>(windowStart_ + windowLength_ - pos);
      const void* cr = std::memchr(at, '\r', left);
      if (cr == nullptr) {
        pos += left;
        continue;
      }
      const std::uint64_t found = pos + (static_cast<const unsigned char*>(cr) - at);
      if (found + 1 < size_ && *bytes(found + 1, 1) == '\n') {
        return found;
      }
      pos = found + 1;
    }
    return size_;
  }

  // The chunks stay in the answer's file, which a handle of their own keeps open after the
  // transport lets it go: a download would otherwise write every byte twice more.
  void setChunk(NVPSet& nvps, const std::string& name, std::uint64_t at,
                std::uint64_t length) override {
    if (!shared_) {
      shared_ = std::make_shared<fileio::FileHandle>(::fcntl(handle_, F_DUPFD_CLOEXEC, 0));
      if (!shared_->valid()) {
        shared_.reset();
        throw VexoException(status::generalFailure, "Error keeping the answer's temporary file");
      }
    }
    nvps.setChunkInAnswer(name, shared_, at, length);
  }

 private:
  static constexpr std::size_t blockSize = 256 * 1024;

  void fill(std::uint64_t at, std::uint64_t length) {
    const std::size_t want = static_cast<std::size_t>(length);
    if (window_.size() < want) {
      window_.resize(want);  // beyond one block only for a long text line
    }
    std::size_t got = 0;
    while (got < want) {
      const ssize_t n = ::pread(handle_, window_.data() + got, want - got,
                                static_cast<off_t>(at + got));
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        windowLength_ = 0;
        throw VexoException(status::generalFailure, "Error reading the answer's temporary file");
      }
      got += static_cast<std::size_t>(n);
    }
    windowStart_ = at;
    windowLength_ = want;
  }

  const int handle_;
  std::shared_ptr<const fileio::FileHandle> shared_;
  std::vector<unsigned char> window_;
  std::uint64_t windowStart_ = 0;
  std::size_t windowLength_ = 0;
};

// Where an accepted record line lies in the body; texts are made only for the last five.
struct LineSpan {
  std::uint64_t start;
  std::size_t length;
};

struct RecentSpans {
  LineSpan spans[recentLineCount];
  std::size_t count = 0;  // lines accepted so far

  void add(std::uint64_t start, std::size_t length) {
    spans[count % recentLineCount] = LineSpan{start, length};
    ++count;
  }
};

struct MalformedLine {
  std::uint64_t start;
  std::size_t length;
};

// The line as traces show it: a secret value masked.
std::string shownLine(const char* line, std::size_t length) {
  std::size_t nameEnd = 0;
  while (nameEnd < length && isNameByte(static_cast<unsigned char>(line[nameEnd]))) {
    ++nameEnd;
  }
  const std::string text(line, length);
  if (nameEnd == length || line[nameEnd] != '=') {
    return text;
  }
  const std::string name(line, nameEnd);
  const std::string value = text.substr(nameEnd + 1);
  return name + "=" + filterSensitiveNVPValueForLogging(name, value);
}

std::string shownLine(NVPBodyView& body, std::uint64_t start, std::size_t length) {
  return shownLine(reinterpret_cast<const char*>(body.bytes(start, length)), length);
}

std::string tooMuchText() {
  return "Answer holds more than " +
         std::to_string(NVPResponseProcessor::maxAnswerText >> 20) + " MiB of text";
}

void parseRecords(NVPSet& nvps, NVPBodyView& body, RecentSpans& recent, std::size_t textLimit) {
  const std::uint64_t size = body.size();
  std::uint64_t pos = 0;
  std::uint64_t text = 0;
  while (pos < size) {
    const std::uint64_t lineEnd = body.findLineEnd(pos);
    if (lineEnd == size) {
      platform::trace("NVP response: ignored " + std::to_string(size - pos) +
                      " bytes after the last line end");
      break;
    }
    // A text value is held in memory; a line is kept no longer than a page may be.
    if (lineEnd - pos > NVPResponseProcessor::maxLineLength) {
      throw VexoException(status::generalFailure,
                          "NVP line longer than " +
                              std::to_string(NVPResponseProcessor::maxLineLength) + " bytes");
    }
    const std::size_t lineLength = static_cast<std::size_t>(lineEnd - pos);
    text += lineLength + 2;
    if (text > textLimit) {
      throw VexoException(status::generalFailure, tooMuchText());
    }
    const unsigned char* const line = body.bytes(pos, lineLength);
    std::uint64_t next = lineEnd + 2;
    std::size_t nameEnd = 0;
    while (nameEnd < lineLength && isNameByte(line[nameEnd])) {
      ++nameEnd;
    }
    if (nameEnd == 0 || nameEnd == lineLength || (line[nameEnd] != '=' && line[nameEnd] != '!')) {
      throw MalformedLine{pos, lineLength};
    }
    const std::string name(reinterpret_cast<const char*>(line), nameEnd);
    const unsigned char* const rest = line + nameEnd + 1;
    const std::size_t restLength = lineLength - nameEnd - 1;
    if (line[nameEnd] == '=') {
      nvps.setString(name, std::string(reinterpret_cast<const char*>(rest), restLength));
    } else {
      std::uint64_t length = 0;
      if (!readLength(rest, restLength, length)) {
        throw VexoException(status::generalFailure, "Invalid chunk size string: " +
                                     std::string(reinterpret_cast<const char*>(rest), restLength));
      }
      // Compared against what is left, so no sum can overflow.
      const std::uint64_t left = size - next;
      if (length > left || left - length < 2) {
        throw VexoException(status::generalFailure, "Malformed binary input");
      }
      const unsigned char* const end = body.bytes(next + length, 2);
      if (end[0] != '\r' || end[1] != '\n') {
        throw VexoException(status::generalFailure, "Malformed binary input");
      }
      // A binary value costs a file and its holder besides its line.
      text += chunkCost;
      if (text > textLimit) {
        throw VexoException(status::generalFailure, tooMuchText());
      }
      body.setChunk(nvps, name, next, length);
      next += length + 2;
    }
    recent.add(pos, lineLength);
    pos = next;
  }
}

}  // namespace

void NVPResponseProcessor::parse(const unsigned char* data, std::size_t size) {
  MemoryBody body(data, size);
  parseBody(body);
}

void NVPResponseProcessor::parseFile(int handle, std::uint64_t size) {
  FileBody body(handle, size);
  parseBody(body);
}

NVPResponseProcessor::~NVPResponseProcessor() {
  if (large_) {
    responseNVPs = NVPSet();
    ::malloc_trim(0);
  }
}

void NVPResponseProcessor::parseBody(NVPBodyView& body) {
  if (responseNVPs.size() == 0) {
    // Room for the most the answer can hold, taken once: a record line has at least four
    // bytes ("a=" and its line end), its text is shorter than its line. Only what is used
    // becomes resident, and nothing read is copied again as the set grows.
    const std::size_t most =
        static_cast<std::size_t>(std::min<std::uint64_t>(body.size(), textLimit));
    responseNVPs.reserve(most, most / 4 + 1);
    large_ = most >= (std::size_t(1) << 20);
  }
  RecentSpans recent;
  const auto keepRecentLines = [&]() {
    const std::size_t kept = std::min(recent.count, recentLineCount);
    for (std::size_t i = recent.count - kept; i < recent.count; ++i) {
      const LineSpan& span = recent.spans[i % recentLineCount];
      remember(shownLine(body, span.start, span.length));
    }
  };
  try {
    parseRecords(responseNVPs, body, recent, textLimit);
  } catch (const MalformedLine& bad) {
    keepRecentLines();
    // The error text is traced: the bad line is shown as the recent ones are.
    throwMalformedLine(tracemask::maskSecrets(shownLine(body, bad.start, bad.length)));
  } catch (...) {
    keepRecentLines();
    throw;
  }
  keepRecentLines();
}

void NVPResponseProcessor::remember(std::string line) {
  if (recentLines.size() == recentLineCount) {
    recentLines.pop_front();
  }
  recentLines.push_back(std::move(line));
}

void NVPResponseProcessor::throwMalformedLine(const std::string& line) const {
  std::string text = "Malformed response input. NVP line: \"" + line +
                     "\".  Recent preceding NVP lines: ";
  for (const std::string& recent : recentLines) {
    text += "\"" + recent + "\"  ";
  }
  throw VexoException(status::generalFailure, text + ".");
}

}  // namespace vexo
