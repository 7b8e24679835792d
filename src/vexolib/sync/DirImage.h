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
  // Scans the tree. A root that is missing or not a folder gives an empty image. Folder
  // listing errors raise boost::filesystem::filesystem_error; a file of 2 GiB or more,
  // which the wire's signed 32-bit size cannot carry, raises VexoException 103.
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
  struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId& other) const {
      return device == other.device && inode == other.inode;
    }
  };
  // ancestors: the folders entered on the way down, to stop at a link that leads back.
  void scan(const std::string& relPath, std::vector<FolderId>& ancestors);

  boost::filesystem::path root;
  std::map<std::string, PathInfo> pathInfos;
};

// The file-system path of relPath below root, refused with VexoException 103 unless it
// names something strictly inside root: not empty, not absolute, no "." or ".." or empty
// component, and no existing component that is a symbolic link leading out of root.
boost::filesystem::path confinedPath(const boost::filesystem::path& root,
                                     const std::string& relPath);

}  // namespace vexo
