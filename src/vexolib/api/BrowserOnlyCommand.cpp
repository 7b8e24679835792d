#include "vexolib/api/BrowserOnlyCommand.h"

#include <boost/regex.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/status.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/platform_net.h"
#include "vexolib/platform/strutil.h"

namespace vexo {

namespace {

bool isPlainHostName(const std::string& host) {
  for (const char c : host) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!plain) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string percentEncode(const std::string& value) {
  static const char hex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : value) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool kept = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                      (u >= '0' && u <= '9') || u == '-' || u == '.' || u == '_' || u == '~' ||
                      u == '*';
    if (kept) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += hex[u >> 4];
      encoded += hex[u & 0x0f];
    }
  }
  return encoded;
}

BrowserOnlyCommand::~BrowserOnlyCommand() = default;

std::string BrowserOnlyCommand::pageAddress(const std::string& pagePath,
                                            std::map<std::string, std::string> params) const {
  const std::string prefix = platform::getUrlPrefix();
  static const boost::regex prefixForm("^([[:alpha:]]+)://([^/:]+)(\\:[[:digit:]]+)?(.*)$",
                                       boost::regex::perl);
  boost::smatch parts;
  // The address reaches the desktop's launcher, which opens other schemes and local files
  // just as readily: only web addresses of a plain host go out.
  if (!boost::regex_match(prefix, parts, prefixForm) || !isPlainHostName(parts[2].str())) {
    throw VexoException(status::generalFailure, "URL prefix formed incorrectly: '" + prefix + "'");
  }
  const std::string scheme = strutil::toLowercase(parts[1].str());
  if (scheme != "http" && scheme != "https") {
    throw VexoException(status::generalFailure, "URL prefix formed incorrectly: '" + prefix + "'");
  }
  std::string address = parts[1].str() + "://" + parts[2].str();
  if (parts[3].matched) {
    address += parts[3].str();
  }
  address += pagePath;
  for (const auto& pair : getAdditionalClientNameValuePairs()) {
    params.insert(pair);
  }
  char separator = '?';
  for (const auto& pair : params) {
    address += separator;
    address += percentEncode(pair.first) + "=" + percentEncode(pair.second);
    separator = '&';
  }
  return address;
}

void BrowserOnlyCommand::browserOnlyOperation(const std::string& pagePath,
                                              std::map<std::string, std::string> params) {
  platform::trace("browserOnlyOperation.");
  platform::openBrowser(pageAddress(pagePath, std::move(params)));
}

std::shared_ptr<OpenGradebooksCommand> OpenGradebooksCommand::make() {
  std::shared_ptr<OpenGradebooksCommand> command(new OpenGradebooksCommand());
  command->finishConstruction();
  return command;
}

void OpenGradebooksCommand::execute() {
  platform::trace("Opening gradebooks.");
  browserOnlyOperation("/login/Gradebooks.page", {});
}

std::shared_ptr<ClassDataSyncCommand> ClassDataSyncCommand::make() {
  std::shared_ptr<ClassDataSyncCommand> command(new ClassDataSyncCommand());
  command->finishConstruction();
  return command;
}

void ClassDataSyncCommand::baseInit() {
  BrowserOnlyCommand::baseInit();
  classid = "*";
}

Command::Args::const_iterator ClassDataSyncCommand::processArgAt(const Args& args,
                                                                 Args::const_iterator at) {
  struct TextFlag {
    const char* flag;
    std::string ClassDataSyncCommand::*field;
    const char* missing;
  };
  static const TextFlag textFlags[] = {
      {"-classid", &ClassDataSyncCommand::classid, "'-classid' arg missing class ID"},
      {"-schoolid", &ClassDataSyncCommand::schoolid, "'-schoolid' arg missing school ID"},
      {"-fileext", &ClassDataSyncCommand::fileext, "'-fileext' arg missing file extension"},
      {"-mimetype", &ClassDataSyncCommand::mimetype, "'-mimetype' arg missing mime type"},
  };
  const std::string flag = strutil::toLowercase(*at);
  for (const TextFlag& f : textFlags) {
    if (flag == f.flag) {
      this->*f.field = valueAfter(args, at, f.missing);
      return at + 2;
    }
  }
  return BrowserOnlyCommand::processArgAt(args, at);
}

void ClassDataSyncCommand::execute() {
  platform::trace("Executing class data sync.");
  if (!schoolid.empty() && classid.empty()) {
    throw VexoException(status::schoolWithoutClass, "School ID without class ID");
  }
  std::map<std::string, std::string> params;
  const std::pair<const char*, const std::string*> fields[] = {
      {"classid", &classid}, {"schoolid", &schoolid}, {"fileext", &fileext},
      {"mimetype", &mimetype}};
  for (const auto& field : fields) {
    if (!field.second->empty()) {
      params[field.first] = *field.second;
    }
  }
  browserOnlyOperation("/login/ClassDataSync.page", params);
}

}  // namespace vexo
