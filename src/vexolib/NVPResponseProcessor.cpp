#include "vexolib/NVPResponseProcessor.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "vexolib/Session.h"
#include "vexolib/VexoException.h"
#include "vexolib/platform.h"

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

void NVPResponseProcessor::parse(const unsigned char* data, std::size_t size) {
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
    const char* const line = reinterpret_cast<const char*>(data + pos);
    if (nameEnd == pos || nameEnd == lineEnd || (data[nameEnd] != '=' && data[nameEnd] != '!')) {
      throwMalformedLine(std::string(line, lineEnd - pos));
    }
    const std::string name(line, nameEnd - pos);
    const unsigned char* const rest = data + nameEnd + 1;
    const std::size_t restLength = lineEnd - nameEnd - 1;
    if (data[nameEnd] == '=') {
      const std::string value(reinterpret_cast<const char*>(rest), restLength);
      const std::string shown = filterSensitiveNVPValueForLogging(name, value);
      remember(shown.size() == value.size() && shown == value
                   ? std::string(line, lineEnd - pos)
                   : name + "=" + shown);
      responseNVPs.setString(name, value);
    } else {
      std::uint64_t length = 0;
      if (!readLength(rest, restLength, length)) {
        throw VexoException(103, "Invalid chunk size string: " +
                                     std::string(reinterpret_cast<const char*>(rest), restLength));
      }
      // Compared against what is left, so no sum can overflow.
      const std::size_t left = size - next;
      if (length > left || left - length < 2 || data[next + length] != '\r' ||
          data[next + length + 1] != '\n') {
        throw VexoException(103, "Malformed binary input");
      }
      responseNVPs.setChunk(name, data + next, 0, static_cast<unsigned long>(length));
      remember(std::string(line, lineEnd - pos));
      next += static_cast<std::size_t>(length) + 2;
    }
    pos = next;
  }
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
  throw VexoException(103, text + ".");
}

}  // namespace vexo
