// The image of a local folder that is being synchronised with a store of the service: every
// file and folder below the root by its "/"-separated relative path, with the facts the
// service compares (kind, modification time, size, CRC-32). Taken once, when made; the
// server's "mkdir" and "delete" orders change the disk through it, never the image.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/optional.hpp>

namespace vexo {

struct PathInfo {
  std::string relPath;
  bool isDirectory = false;
  // Files only; the CRC only while "calcfilecrc" is on.
  boost::optional<std::string> lastModified;
  boost::optional<std::uint32_t> fileSize;
  boost::optional<std::uint32_t> crc;
};

class DirProxy {
 public:
  // Scans the tree, its folders on several threads. A root that is missing or not a folder
  // gives an empty image. Folder listing errors raise boost::filesystem::filesystem_error;
  // a file of 2 GiB or more, which the wire's signed 32-bit size cannot carry, raises
  // VexoException 103. Pipes, sockets and devices are left out unopened, and so is a
  // symbolic link that leads out of the root: the server could give no order for it that
  // would not be refused.
  explicit DirProxy(const boost::filesystem::path& root);

  // std::logic_error for a path the image does not hold.
  PathInfo& accessPathInfo(const std::string& relPath);
  // Byte-wise ascending.
  std::vector<std::string> getRelPaths() const;
  bool containsDuplicatePathsWhenLetterCaseIgnored() const;
  // One level; an existing folder is no error. The caller confines relPath to the root.
  void mkdirAtRelPath(const std::string& relPath);
  // The file, the link itself, or the folder with everything below it; a missing path is
  // no error. An empty relPath is refused (VexoException 103): it would name the root.
  void deleteAtRelPath(const std::string& relPath);

  const boost::filesystem::path& getRoot() const { return root; }

 private:
  boost::filesystem::path root;
  std::map<std::string, PathInfo> pathInfos;
};

}  // namespace vexo
