#include "vexolib/upload/FileInfo.h"

#include <utility>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/util.h"
#include "vexolib/platform/status.h"

namespace vexo {

FileInfo::FileInfo(const std::string& path, const std::string& format)
    : path(path), format(format) {
  fileName = platform::getFileNameFromPath(path);
  fileSize = platform::fileSize(path);
  const std::pair<std::string, std::uint64_t> copy = util::readAndCompressFile(path, fileSize);
  compressedTempPath = copy.first;
  compressedSize = copy.second;
}

FileInfo::~FileInfo() {
  if (!compressedTempPath.empty()) {
    platform::deleteTemporaryFile(compressedTempPath);
  }
}

std::vector<unsigned char> FileInfo::getCompressedData() const {
  std::vector<unsigned char> bytes;
  if (!platform::loadFile(compressedTempPath, bytes)) {
    throw VexoException(status::fileReadFailed, "Failure in reading input file '" + compressedTempPath + "'.");
  }
  return bytes;
}

}  // namespace vexo
