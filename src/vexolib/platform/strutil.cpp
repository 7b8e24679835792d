#include "vexolib/platform/strutil.h"

#include <array>

#include <boost/lexical_cast.hpp>
#include <boost/regex.hpp>

#include "vexolib/platform/version.h"

namespace vexo {
namespace strutil {

namespace {

constexpr char blanks[] = " \t\r\n";

// Characters outside the alphabet decode as 0; the table is indexed by unsigned byte so
// that no input can reach outside it.
constexpr std::array<unsigned char, 256> makeBase64Table() {
  std::array<unsigned char, 256> table{};
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (unsigned char i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(alphabet[i])] = i;
  }
  return table;
}

constexpr std::array<unsigned char, 256> base64Table = makeBase64Table();

}  // namespace

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string strip(const std::string& s) {
  const std::string::size_type first = s.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return s;
  }
  const std::string::size_type last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

char toLowercase(char c, const std::locale& loc) {
  return std::use_facet<std::ctype<char>>(loc).tolower(c);
}

std::string toLowercase(const std::string& s) {
  std::string result(s);
  const std::ctype<char>& facet = std::use_facet<std::ctype<char>>(std::locale::classic());
  facet.tolower(&result[0], &result[0] + result.size());
  return result;
}

std::vector<std::string> split(const std::string& s, char separator) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  while (start < s.size()) {
    std::string::size_type end = s.find(separator, start);
    if (end == std::string::npos) {
      end = s.size();
    }
    if (end > start) {
      pieces.push_back(s.substr(start, end - start));
    }
    start = end + 1;
  }
  return pieces;
}

std::vector<std::string> splitOnSemicolons(const std::string& s) {
  return split(s, ';');
}

std::string percentEncode(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
        u == '_' || u == '.' || u == '~') {
      out += c;
    } else {
      out += '%';
      out += hex[u >> 4];
      out += hex[u & 0x0F];
    }
  }
  return out;
}

std::vector<unsigned char> decodeBase64String(const std::string& s) {
  const std::size_t length = s.size();
  std::size_t pads = 0;
  while (pads < length && s[length - 1 - pads] == '=') {
    ++pads;
  }
  // Malformed input (stray or excess padding) can make the size formula go below zero.
  if (pads + length / 4 >= length) {
    return {};
  }
  std::vector<unsigned char> bytes(length - pads - length / 4, 0);
  auto put = [&bytes](std::size_t index, unsigned int value) {
    if (index < bytes.size()) {
      bytes[index] = static_cast<unsigned char>(value & 0xFF);
    }
  };
  const std::size_t groups = length / 4;
  for (std::size_t g = 0; g < groups; ++g) {
    const char* c = s.data() + 4 * g;
    const unsigned int w = base64Table[static_cast<unsigned char>(c[0])];
    const unsigned int x = base64Table[static_cast<unsigned char>(c[1])];
    const unsigned int y = base64Table[static_cast<unsigned char>(c[2])];
    const unsigned int z = base64Table[static_cast<unsigned char>(c[3])];
    put(3 * g, w << 2 | x >> 4);
    if (c[2] == '=') {
      continue;
    }
    put(3 * g + 1, x << 4 | y >> 2);
    if (c[3] != '=') {
      put(3 * g + 2, y << 6 | z);
    }
  }
  return bytes;
}

int toInt(const std::string& s, int defaultValue) {
  try {
    return boost::lexical_cast<int>(s);
  } catch (const boost::bad_lexical_cast&) {
    return defaultValue;
  }
}

std::string fromInt(int value) {
  return boost::lexical_cast<std::string>(value);
}

bool toBool(const std::string& s, bool defaultValue) {
  const std::string t = toLowercase(strip(s));
  if (t.empty()) {
    return defaultValue;
  }
  if (t == "0") return false;
  if (t == "1") return true;
  if (t == "true") return true;
  if (t == "yes") return true;
  if (t == "false") return false;
  if (t == "no") return false;
  try {
    return boost::lexical_cast<int>(t) != 0;
  } catch (const boost::bad_lexical_cast&) {
    return defaultValue;
  }
}

std::string fromBool(bool value) {
  return value ? "true" : "false";
}

std::string calcUserAgentString(const std::string& part1, const std::string& part2,
                                const std::string& part3, const std::string& part4) {
  std::string agent = std::string("vexo (") + frameworkVersion + "; " + dataFormatVersion + "; ";
  for (const std::string* part : {&part1, &part2, &part3, &part4}) {
    if (!part->empty()) {
      agent += *part + "; ";
    }
  }
  return agent + "macmacho)";
}

std::map<std::string, std::string> parseNVPString(const std::string& s) {
  // Spelled out as ASCII ranges so that the program's locale cannot widen the name class.
  static const boost::regex pair("^([A-Za-z0-9._]+)=(.*)$");
  std::map<std::string, std::string> values;
  for (const std::string& piece : splitOnSemicolons(s)) {
    boost::smatch match;
    if (boost::regex_match(piece, match, pair)) {
      values[strip(match[1].str())] = strip(match[2].str());
    }
  }
  return values;
}

}  // namespace strutil
}  // namespace vexo
