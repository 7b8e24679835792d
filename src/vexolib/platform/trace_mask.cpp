#include "vexolib/platform/trace_mask.h"

#include "vexolib/platform/strutil.h"

namespace vexo {
namespace tracemask {

namespace {

const char mask[] = "********";

std::string maskAuthTokens(const std::string& text) {
  std::string out;
  const std::string lower = strutil::toLowercase(text);
  std::string::size_type pos = 0;
  while (true) {
    const std::string::size_type hit = lower.find("atkn=", pos);
    if (hit == std::string::npos) {
      out.append(text, pos, std::string::npos);
      return out;
    }
    const std::string::size_type valueStart = hit + 5;
    out.append(text, pos, valueStart - pos);
    std::string::size_type valueEnd = text.find_first_of("&#;'\" \t\r\n", valueStart);
    if (valueEnd == std::string::npos) {
      valueEnd = text.size();
    }
    if (valueEnd > valueStart) {
      out += mask;
    }
    pos = valueEnd;
  }
}

// Masks the values of "name=value" pairs separated by ';' in one header value; only the
// first pair for Set-Cookie, whose later pairs are harmless attributes.
std::string maskCookiePairs(const std::string& value, bool firstOnly) {
  std::string out;
  std::string::size_type pos = 0;
  bool first = true;
  while (pos < value.size()) {
    std::string::size_type end = value.find(';', pos);
    if (end == std::string::npos) {
      end = value.size();
    }
    const std::string pair = value.substr(pos, end - pos);
    const std::string::size_type eq = pair.find('=');
    if ((first || !firstOnly) && eq != std::string::npos) {
      out += pair.substr(0, eq + 1) + mask;
    } else {
      out += pair;
    }
    first = false;
    if (end < value.size()) {
      out += ';';
    }
    pos = end + 1;
  }
  return out;
}

// Name/value answers carry passwords and login tokens as "<prefix>.password=..." and
// "<prefix>.authToken=..." lines; the value runs to the end of the line.
std::string maskNamedSecret(const std::string& line) {
  const std::string lower = strutil::toLowercase(line);
  for (const char* name : {".password=", ".authtoken="}) {
    const std::string::size_type hit = lower.find(name);
    if (hit != std::string::npos) {
      const std::string::size_type valueStart = hit + std::string(name).size();
      return valueStart < line.size() ? line.substr(0, valueStart) + mask : line;
    }
  }
  return line;
}

std::string maskCookieLine(const std::string& line) {
  const std::string lower = strutil::toLowercase(line);
  for (const char* header : {"set-cookie:", "cookie:"}) {
    const std::string::size_type hit = lower.find(header);
    if (hit == std::string::npos) {
      continue;
    }
    const std::string::size_type valueStart = hit + std::string(header).size();
    const bool setCookie = header[0] == 's';
    return line.substr(0, valueStart) + maskCookiePairs(line.substr(valueStart), setCookie);
  }
  return line;
}

}  // namespace

std::string maskSecrets(const std::string& text) {
  std::string out;
  std::string::size_type pos = 0;
  while (pos < text.size()) {
    std::string::size_type end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
      end = text.size();
    }
    out += maskNamedSecret(maskCookieLine(text.substr(pos, end - pos)));
    const std::string::size_type next = text.find_first_not_of("\r\n", end);
    out.append(text, end, (next == std::string::npos ? text.size() : next) - end);
    pos = next == std::string::npos ? text.size() : next;
  }
  return maskAuthTokens(out);
}

std::string bodyExcerpt(const std::vector<unsigned char>& body, std::size_t maxBytes) {
  // Masked while the line ends are still there, so that a secret ends with its line.
  const std::size_t n = body.size() < maxBytes ? body.size() : maxBytes;
  std::string text = maskSecrets(std::string(body.begin(), body.begin() + n));
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f) c = '.';
  }
  if (n < body.size()) {
    text += "... (" + std::to_string(body.size()) + " bytes)";
  }
  return text;
}

}  // namespace tracemask
}  // namespace vexo
