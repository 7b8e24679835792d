#include "vexolib/session/NVPResponseProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/trace_mask.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

const std::size_t recentLineCount = 5;

bool isNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '_';
}

// The position of the next CR LF at or after from, or size when there is none.
std::size_t findLineEnd(const unsigned char* data, std::size_t from, std::size_t size) {
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

namespace {

// Where an accepted record line lies in the body; texts are made only for the last five.
struct LineSpan {
  std::size_t start;
  std::size_t length;
};

struct RecentSpans {
  LineSpan spans[recentLineCount];
  std::size_t count = 0;  // lines accepted so far

  void add(std::size_t start, std::size_t length) {
    spans[count % recentLineCount] = LineSpan{start, length};
    ++count;
  }
};

struct MalformedLine {
  std::size_t start;
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

void parseRecords(NVPSet& nvps, const unsigned char* data, std::size_t size,
                  RecentSpans& recent) {
  std::size_t pos = 0;
  while (pos < size) {
    const std::size_t lineEnd = findLineEnd(data, pos, size);
    if (lineEnd == size) {
      platform::trace("NVP response: ignored " + std::to_string(size - pos) +
                      " bytes after the last line end");
      break;
    }
    std::size_t next = lineEnd + 2;
    std::size_t nameEnd = pos;
    while (nameEnd < lineEnd && isNameByte(data[nameEnd])) {
      ++nameEnd;
    }
    if (nameEnd == pos || nameEnd == lineEnd || (data[nameEnd] != '=' && data[nameEnd] != '!')) {
      throw MalformedLine{pos, lineEnd - pos};
    }
    const std::string name(reinterpret_cast<const char*>(data + pos), nameEnd - pos);
    const unsigned char* const rest = data + nameEnd + 1;
    const std::size_t restLength = lineEnd - nameEnd - 1;
    if (data[nameEnd] == '=') {
      nvps.setString(name, std::string(reinterpret_cast<const char*>(rest), restLength));
    } else {
      std::uint64_t length = 0;
      if (!readLength(rest, restLength, length)) {
        throw VexoException(status::generalFailure, "Invalid chunk size string: " +
                                     std::string(reinterpret_cast<const char*>(rest), restLength));
      }
      // Compared against what is left, so no sum can overflow.
      const std::size_t left = size - next;
      if (length > left || left - length < 2 || data[next + length] != '\r' ||
          data[next + length + 1] != '\n') {
        throw VexoException(status::generalFailure, "Malformed binary input");
      }
      nvps.setChunk(name, data + next, 0, static_cast<unsigned long>(length));
      next += static_cast<std::size_t>(length) + 2;
    }
    recent.add(pos, lineEnd - pos);
    pos = next;
  }
}

}  // namespace

void NVPResponseProcessor::parse(const unsigned char* data, std::size_t size) {
  RecentSpans recent;
  const auto keepRecentLines = [&]() {
    const std::size_t kept = std::min(recent.count, recentLineCount);
    for (std::size_t i = recent.count - kept; i < recent.count; ++i) {
      const LineSpan& span = recent.spans[i % recentLineCount];
      remember(shownLine(reinterpret_cast<const char*>(data + span.start), span.length));
    }
  };
  try {
    parseRecords(responseNVPs, data, size, recent);
  } catch (const MalformedLine& bad) {
    keepRecentLines();
    // The error text is traced: the bad line is shown as the recent ones are.
    throwMalformedLine(tracemask::maskSecrets(
        shownLine(reinterpret_cast<const char*>(data + bad.start), bad.length)));
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
