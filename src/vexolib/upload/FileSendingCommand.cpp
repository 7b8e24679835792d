#include "vexolib/upload/FileSendingCommand.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>

#include <boost/lexical_cast.hpp>
#include <boost/optional.hpp>
#include <boost/regex.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

// A whole decimal integer within int, or nothing.
boost::optional<int> parseInteger(const std::string& text) {
  if (text.empty()) {
    return boost::none;
  }
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || value < INT_MIN || value > INT_MAX ||
      text.find_first_of(" \t\r\n") != std::string::npos) {
    return boost::none;
  }
  return static_cast<int>(value);
}

bool isValidLimit(int value) { return value == -1 || value >= 1; }

// The descriptor closed on every way out.
class Handle {
 public:
  explicit Handle(int fd) : fd_(fd) {}
  ~Handle() {
    if (fd_ >= 0) {
      platform::closeFileHandle(fd_);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Whole buffer in as many reads or writes as it takes; false when one fails or stops short.
bool readAll(int fd, unsigned char* data, std::size_t size) {
  while (size > 0) {
    const int want = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int n = platform::readFileHandle(fd, data, want);
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const int want = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int n = platform::writeFileHandle(fd, data, want);
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A dump is written over any file of its name, from its first byte: what a longer earlier
// dump left beyond the new end must not pass for part of this one. Its name stays in the
// working folder by the rule every relative path follows, and a link of that name is not
// followed.
int openDumpFile(const std::string& name) {
  boost::filesystem::path path;
  if (!fileio::resolveInRoot(".", name, path)) {
    errno = EINVAL;
    return -1;
  }
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// A format name as part of a dump's file name: "/" would make the name a path into another
// folder, and a NUL would cut it short.
std::string dumpNamePart(const std::string& format) {
  std::string part = format;
  for (char& c : part) {
    if (c == '/' || c == '\0') {
      c = '_';
    }
  }
  return part;
}

void dumpRawFile(const std::string& path, const std::string& name) {
  // fileSize raises for a file that is not there, which the caller traces.
  std::uint64_t left = platform::fileSize(path);
  Handle source(platform::openBinaryReadOnlyFile(path));
  if (source.get() < 0) {
    return;
  }
  Handle target(openDumpFile(name));
  if (target.get() < 0) {
    return;
  }
  std::vector<unsigned char> buffer(std::size_t(1) << 16);
  while (left > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (!readAll(source.get(), buffer.data(), want) ||
        !writeAll(target.get(), buffer.data(), want)) {
      return;
    }
    left -= want;
  }
}

void dumpCompressedFile(const FileInfo& record, const std::string& name) {
  const std::vector<unsigned char> bytes = record.getCompressedData();
  Handle target(openDumpFile(name));
  if (target.get() >= 0) {
    writeAll(target.get(), bytes.data(), bytes.size());
  }
}

// A definition that does not parse may still hold a password (one with a colon in it, say):
// its text in messages, which are traced, stops at the third colon.
std::string shownProxyDefinition(const std::string& definition) {
  std::string::size_type at = 0;
  for (int colons = 0; colons < 3; ++colons) {
    at = definition.find(':', at);
    if (at == std::string::npos) {
      return definition;
    }
    ++at;
  }
  return definition.substr(0, at) + "********";
}

// Blanks or control characters in a host would end up in the proxy line libcurl writes.
bool isProxyHost(const std::string& host) {
  for (const char c : host) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) {
      return false;
    }
  }
  return true;
}

// A text that is no number keeps the default port (as it always has); a number must be one
// libcurl can use.
bool isUsablePortText(const std::string& text) {
  if (const boost::optional<int> port = parseInteger(text)) {
    return *port >= 1 && *port <= 65535;
  }
  const std::string::size_type digits = text.find_first_not_of("+-");
  return digits == std::string::npos ||
         text.find_first_not_of("0123456789", digits) != std::string::npos;
}

}  // namespace

FileSendingCommand::~FileSendingCommand() = default;

void FileSendingCommand::postProcessArgs(const Args& /*args*/) {
  if (files.empty()) {
    throw std::runtime_error("No files were specified.");
  }
}

Command::Args::const_iterator FileSendingCommand::processArgAt(const Args& args,
                                                               Args::const_iterator at) {
  const std::string flag = strutil::toLowercase(*at);
  if (flag == "-format") {
    const std::string& value = valueAfter(args, at, "'-format' arg missing format name");
    currentFormat = strutil::toLowercase(value) == "null" ? std::string() : value;
    return at + 2;
  }
  struct Switch {
    const char* flag;
    bool FileSendingCommand::*field;
  };
  static const Switch switches[] = {
      {"-dumpfiles", &FileSendingCommand::dumpFiles},
      {"-dumpchunks", &FileSendingCommand::dumpChunks},
      {"-loghttp", &FileSendingCommand::logHttp},
      {"-disablecompression", &FileSendingCommand::disableCompression},
  };
  for (const Switch& s : switches) {
    if (flag == s.flag) {
      this->*s.field = true;
      return at + 1;
    }
  }
  if (flag == "-addproxydef") {
    proxyDefs.push_back(
        valueAfter(args, at, "'-addproxydef' arg missing proxy definition information"));
    return at + 2;
  }
  if (flag == "-deleteinputfiles") {
    deleteInputFiles = true;
    return at + 1;
  }
  if (flag == "-chunksizelimit") {
    chunkSizeLimit =
        boost::lexical_cast<int>(valueAfter(args, at, "'-chunksizelimit' arg missing limit"));
    if (!isValidLimit(chunkSizeLimit)) {
      throw std::runtime_error("Invalid value for chunk size limit");
    }
    return at + 2;
  }
  if (flag == "-postbuffersize") {
    postBufferSize =
        boost::lexical_cast<int>(valueAfter(args, at, "'-postbuffersize' arg missing limit"));
    if (!isValidLimit(postBufferSize)) {
      throw std::runtime_error("Invalid value for post buffer size");
    }
    return at + 2;
  }
  const Args::const_iterator next = ClientCommand::processArgAt(args, at);
  if (next != at) {
    return next;
  }
  std::string file = *at;
  if (strutil::startsWith(file, "--")) {
    file.erase(0, 1);
  } else if (strutil::startsWith(file, "-")) {
    throw std::runtime_error("'" + file +
                             "' looks like a flag but doesn't match any known flag name.");
  }
  files.push_back(file);
  formats.push_back(currentFormat);
  return at + 1;
}

void FileSendingCommand::baseInit() {
  ClientCommand::baseInit();
  connections.clear();
  files.clear();
  formats.clear();
  deleteInputFiles = false;
  chunkSizeLimit = -1;
  postBufferSize = -1;
  dumpFiles = false;
  dumpChunks = false;
  logHttp = false;
  disableCompression = false;
  // Client log entries never travel with file uploads.
  platform::disableLogTable();
}

void FileSendingCommand::loadConfigOptions(const std::map<std::string, std::string>& options) {
  ClientCommand::loadConfigOptions(options);
  const auto integer = [&options](const char* key) -> boost::optional<int> {
    const auto it = options.find(key);
    return it == options.end() ? boost::none : parseInteger(it->second);
  };
  if (const auto v = integer("dumpfiles")) {
    dumpFiles = *v != 0;
  }
  if (const auto v = integer("dumpchunks")) {
    dumpChunks = *v != 0;
  }
  if (const auto v = integer("loghttp")) {
    logHttp = *v != 0;
  }
  if (const auto v = integer("disablecompression")) {
    disableCompression = *v != 0;
  }
  if (const auto v = integer("chunksizelimit")) {
    if (isValidLimit(*v)) {
      chunkSizeLimit = *v;
    } else {
      platform::trace("Invalid value for chunk size limit in configuration options.");
    }
  }
  if (const auto v = integer("postbuffersize")) {
    if (isValidLimit(*v)) {
      postBufferSize = *v;
    } else {
      platform::trace("Invalid value for post buffer size in configuration options.");
    }
  }
}

namespace filesending {

void deleteInputFiles(const std::vector<std::string>& files) {
  platform::trace("Deleting input files.");
  for (const std::string& path : files) {
    platform::deleteFile(path);
  }
}

void checkNetworkAvailability() {
  if (platform::networkAppearsToBeAvailable()) {
    return;
  }
  if (platform::promptContinueWhenNetworkAppearsDown()) {
    return;
  }
  throw VexoException(status::userCancelled, "User cancellation.");
}

std::vector<std::shared_ptr<FileInfo>> loadFiles(const std::vector<std::string>& files,
                                                 const std::vector<std::string>& formats) {
  platform::trace("Loading files.");
  std::vector<std::shared_ptr<FileInfo>> records;
  for (std::size_t i = 0; i < files.size(); ++i) {
    platform::trace("Constructing FileInfo for file '" + files[i] + "'");
    records.push_back(std::make_shared<FileInfo>(
        files[i], i < formats.size() ? formats[i] : std::string()));
  }
  return records;
}

void dumpInputFiles(const std::vector<std::string>& files,
                    const std::vector<std::string>& formats,
                    const std::vector<std::shared_ptr<FileInfo>>& records) {
  platform::trace("Dumping raw input files");
  const std::string n = std::to_string(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = "file-" + std::to_string(i + 1) + "-of-" + n + "-format-" +
                             dumpNamePart(i < formats.size() ? formats[i] : std::string());
    try {
      platform::trace("Dumping " + name);
      dumpRawFile(files[i], name);
    } catch (const std::exception& e) {
      platform::trace("Exception while dumping input file: " + name, e);
    } catch (...) {
      platform::trace("Unknown exception type while dumping input file: " + name);
    }
  }
  platform::trace("Dumping (compressed) input files.");
  const std::string m = std::to_string(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string name = "file-" + std::to_string(i + 1) + "-of-" + m + "-compressed";
    try {
      platform::trace("Dumping " + name);
      dumpCompressedFile(*records[i], name);
    } catch (const std::exception& e) {
      platform::trace("Exception while dumping compressed input file: " + name, e);
    } catch (...) {
      platform::trace("Unknown exception type while dumping compressed input file: " + name);
    }
  }
}

std::vector<ConnectionDef> identifyConnections(const std::vector<std::string>& proxyDefs) {
  static const boost::regex pattern("^([^:]+):([^:]+)(?:\\:([^:]+):([^:]+))?$");
  platform::trace("identifyConnections");
  std::vector<ConnectionDef> list = platform::getConnectionDefs();
  for (const std::string& definition : proxyDefs) {
    boost::smatch match;
    if (!boost::regex_match(definition, match, pattern) || !isProxyHost(match[1].str()) ||
        !isUsablePortText(match[2].str())) {
      throw VexoException(status::generalFailure, "Internal Error: Incorrectly formed -addproxydef arg '" +
                                   shownProxyDefinition(definition) + "'");
    }
    int port = 3128;
    if (const boost::optional<int> parsed = parseInteger(match[2].str())) {
      port = *parsed;
    } else {
      // The password stays out of the trace file.
      platform::trace("Error parsing port in proxy def string: " +
                      (match[3].matched ? match[1].str() + ":" + match[2].str() + ":" +
                                              match[3].str() + ":********"
                                        : definition));
    }
    ProxyDef proxy(0, match[1].str(), port);
    if (match[3].matched) {
      proxy.user = match[3].str();
      proxy.password = match[4].str();
    }
    list.insert(list.begin(), ConnectionDef(proxy));
  }
  return list;
}

}  // namespace filesending

}  // namespace vexo
