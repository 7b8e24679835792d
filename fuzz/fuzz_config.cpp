// The vexo.ini grammar, and the name=value lists and flags read from outside text: whatever
// the input, keys come out lower-case and without blanks, names keep to their alphabet, and
// nothing fails but the regular-expression engine's own refusal of an input.
#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "vexolib/platform/platform.h"
#include "vexolib/seams/platform_detail.h"
#include "vexolib/platform/strutil.h"

namespace {

bool hasAsciiCapital(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vexo::platform::setTracingEnabled(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace platform = vexo::platform;
  namespace strutil = vexo::strutil;
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::map<std::string, std::string> options;
  try {
    options = platform::parseConfigOptionLines(platform::detail::splitConfigText(text));
  } catch (const std::runtime_error&) {
    // readConfigOptions turns this into the empty table.
    return 0;
  }
  for (const auto& option : options) {
    FUZZ_CHECK(!option.first.empty());
    FUZZ_CHECK(option.first.find_first_of(" \t\r\n\v\f") == std::string::npos);
    FUZZ_CHECK(!hasAsciiCapital(option.first));
    FUZZ_CHECK(option.second.find_first_of("\r\n") == std::string::npos);
    strutil::toBool(option.second, false);
    strutil::toInt(option.second, 0);
  }

  try {
    for (const auto& pair : strutil::parseNVPString(text)) {
      FUZZ_CHECK(!pair.first.empty());
      FUZZ_CHECK(pair.first.find_first_not_of(
                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._") ==
                 std::string::npos);
      FUZZ_CHECK(pair.second == strutil::strip(pair.second));
    }
  } catch (const std::runtime_error&) {
    return 0;
  }
  return 0;
}
