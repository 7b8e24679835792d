// Configuration options: the process-wide table, its grammar, and reading vexo.ini.
#include <fstream>
#include <iterator>

#include <sys/stat.h>

#include <boost/regex.hpp>

#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_private.h"
#include "vexolib/platform/strutil.h"

namespace vexo {
namespace platform {

namespace priv {

ConfigState& configState() {
  static ConfigState* state = new ConfigState;
  return *state;
}

}  // namespace priv

namespace {

using priv::ConfigState;
using priv::configState;

void ensureConfigOptionsLoaded() {
  ConfigState& st = configState();
  if (!st.loaded) {
    st.options = readConfigOptions();
    st.loaded = true;
  }
}

void overrideConfigOption(const std::string& key, const std::string& value) {
  trace("Override: " + key + "=" + value);
  ensureConfigOptionsLoaded();
  configState().options[key] = value;
}

bool parseBoolConfigOptionValue(const std::string& value) {
  return strutil::toBool(value, false);
}

// The patterns are matched against whole lines, case-insensitively, in the "C" locale so
// that the program's locale cannot change what counts as a blank.
boost::regex makePattern(const char* text) {
  boost::regex pattern;
  pattern.imbue(std::locale::classic());
  pattern.assign(text, boost::regex::perl | boost::regex::icase);
  return pattern;
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

boost::optional<std::string> getAppSupportVexoIniPath(const std::string& domainFolder) {
  if (domainFolder.empty()) {
    return boost::none;
  }
  const std::string folder = domainFolder + (strutil::endsWith(domainFolder, "/") ? "" : "/") +
                             "vexo";
  if (!isDirectory(folder)) {
    return boost::none;
  }
  const std::string file = folder + "/vexo.ini";
  struct stat st;
  if (::stat(file.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    return boost::none;
  }
  return file;
}

}  // namespace

std::map<std::string, std::string> parseConfigOptionLines(
    const std::vector<std::string>& lines) {
  static const boost::regex sectionHeader = makePattern("^\\s*\\[vexo\\]\\s*$");
  static const boost::regex optionLine = makePattern("^\\s*(\\S+)\\s*=\\s*(.*)\\s*$");
  static const boost::regex anyHeader = makePattern("^\\s*\\[.*\\]\\s*$");

  std::map<std::string, std::string> options;
  bool inSection = false;
  for (const std::string& rawLine : lines) {
    const std::string line = rawLine.substr(0, rawLine.find_first_of("\r\n"));
    if (boost::regex_match(line, sectionHeader)) {
      inSection = true;
      continue;
    }
    if (!inSection) {
      continue;
    }
    boost::smatch match;
    if (boost::regex_match(line, match, optionLine)) {
      options[strutil::toLowercase(match[1].str())] = match[2].str();
    } else if (boost::regex_match(line, anyHeader)) {
      inSection = false;
    }
  }
  return options;
}

boost::optional<std::string> lookupConfigOption(const std::string& key) {
  ensureConfigOptionsLoaded();
  const auto& options = configState().options;
  const auto it = options.find(key);
  if (it == options.end()) {
    return boost::none;
  }
  return it->second;
}

bool getBoolConfigOption(const std::string& key, bool defaultValue) {
  const boost::optional<std::string> value = lookupConfigOption(key);
  return value ? parseBoolConfigOptionValue(*value) : defaultValue;
}

std::string getStringConfigOption(const std::string& key, const std::string& defaultValue) {
  const boost::optional<std::string> value = lookupConfigOption(key);
  return value ? *value : defaultValue;
}

std::map<std::string, std::string> getConfigOptions() {
  ensureConfigOptionsLoaded();
  return configState().options;
}

void overrideStringConfigOption(const std::string& key, const std::string& value) {
  overrideConfigOption(key, value);
}

void overrideBoolConfigOption(const std::string& key, bool value) {
  overrideConfigOption(key, value ? "1" : "0");
}

void setCompressionEnabled(bool enabled) {
  overrideBoolConfigOption("compressionEnabled", enabled);
}

bool isCompressionEnabled() {
  return getBoolConfigOption("compressionEnabled", true);
}

// A reserved name that never resolves: without configuration nothing leaves the machine.
std::string builtInUrlPrefix() { return "https://lorvex.invalid"; }

std::string getUrlPrefix() {
  return getStringConfigOption("urlprefix", builtInUrlPrefix());
}

std::string getSessionUrl() {
  return getStringConfigOption("sessionurl", getUrlPrefix() + "/DesktopSession.page");
}

std::string getUploadUrl() {
  return getStringConfigOption("uploadurl", getUrlPrefix() + "/AdminDataUpload.page");
}

void initClient() {
  if (getBoolConfigOption("registerhelpers", false)) {
    registerClientFileExtensions();
  }
  if (getBoolConfigOption("trace", false)) {
    setTracingEnabled(true);
  }
}

std::map<std::string, std::string> readConfigOptions() {
  try {
    boost::optional<std::string> path;
    for (const std::string& folder : priv::configDomainFolders()) {
      path = getAppSupportVexoIniPath(folder);
      if (path) {
        break;
      }
    }
    if (!path) {
      return {};
    }
    trace("vexo.ini path: " + *path);
    std::string text;
    std::ifstream in(*path, std::ios::in | std::ios::binary);
    if (in) {
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return parseConfigOptionLines(detail::splitConfigText(text));
  } catch (...) {
    return {};
  }
}

namespace detail {

std::vector<std::string> splitConfigText(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = text.size();
    }
    if (end > start) {
      lines.push_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace detail

}  // namespace platform
}  // namespace vexo
