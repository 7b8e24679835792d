// One file of an upload: its name, format and size, and the compressed copy of its bytes that
// is what actually goes out. Shared by the command, the session and the uploader; the last
// holder removes the copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

class FileInfo {
 public:
  // Compresses the file into a temporary copy at once. Failures of the platform (a missing
  // file: std::runtime_error) and of compression (VexoException 105, 106, 115, 116) pass out,
  // and no copy is left behind.
  FileInfo(const std::string& path, const std::string& format);
  virtual ~FileInfo();
  FileInfo(const FileInfo&) = delete;
  FileInfo& operator=(const FileInfo&) = delete;

  // The whole compressed copy.
  std::vector<unsigned char> getCompressedData() const;

  std::string path;
  std::string format;
  std::string fileName;
  std::uint64_t fileSize = 0;
  std::uint64_t compressedSize = ~std::uint64_t(0);
  std::string compressedTempPath;
};

}  // namespace vexo
