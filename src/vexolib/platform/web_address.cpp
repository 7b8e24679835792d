#include "vexolib/platform/web_address.h"

#include <algorithm>

#include "vexolib/platform/strutil.h"

namespace vexo {
namespace platform {

bool isWebAddress(const std::string& url) {
  const std::string lower = strutil::toLowercase(url);
  std::string::size_type hostStart = 0;
  if (strutil::startsWith(lower, "http://")) {
    hostStart = 7;
  } else if (strutil::startsWith(lower, "https://")) {
    hostStart = 8;
  } else {
    return false;
  }
  if (hostStart >= url.size() || url[hostStart] == '/' || url[hostStart] == '?' ||
      url[hostStart] == '#') {
    return false;
  }
  return std::none_of(url.begin(), url.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f;
  });
}

}  // namespace platform
}  // namespace vexo
