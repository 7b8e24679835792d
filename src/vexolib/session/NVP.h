// One named value of a request or an answer: a string, or a binary chunk whose bytes live in
// a temporary file that the value owns. Values are built once, never changed, and shared
// through shared pointers, so a chunk's file goes with its last holder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <boost/filesystem/path.hpp>

#include "vexolib/platform/fileio.h"

namespace vexo {

class NVP {
 public:
  enum Type : int { STRING = 0, CHUNK = 1 };

  NVP(const std::string& name, const std::string& value);
  // A chunk of the length bytes at data + offset; length 0 gives an empty chunk.
  NVP(const std::string& name, const unsigned char* data, unsigned long offset,
      unsigned long length);
  // adopt: the file itself becomes the chunk's file (and is deleted with the value).
  // Otherwise the byte range is copied; VexoException 106 "Error seeking '<path>'" when the
  // file cannot be opened or positioned, 106 "Error reading '<path>'" when it ends early.
  NVP(const std::string& name, const boost::filesystem::path& filePath, unsigned long offset,
      unsigned long length, bool adopt);
  // A copy of the length bytes at offset of an open file, read without moving the file's
  // position; VexoException 106 "Error reading a chunk of the answer" when it ends early.
  NVP(const std::string& name, int handle, std::uint64_t offset, std::uint64_t length);
  // The length bytes at offset of an answer's temporary file, left where they lie: a
  // download inflates them from there, and a file of their own is made only when its path
  // is asked for.
  NVP(const std::string& name, std::shared_ptr<const fileio::FileHandle> answer,
      std::uint64_t offset, std::uint64_t length);
  ~NVP();
  NVP(const NVP&) = delete;
  NVP& operator=(const NVP&) = delete;

  // Writes the bytes whole into a new temporary file and returns its path. A failed write
  // removes the partial file and raises VexoException 103 "Error writing '<path>'".
  static std::string writeChunkTempFile(const unsigned char* data, unsigned long length);

  // The getters of one kind raise std::logic_error "'<name>' not a string" or
  // "'<name>' not a chunk" on a value of the other.
  std::string getString() const;
  // Exactly "true" or "1".
  bool getBoolean() const;
  // boost::bad_lexical_cast for anything but an optionally signed decimal int.
  int getInteger() const;
  std::string getChunkFileTempPath() const;
  // Where the bytes lie, without a copy; `file` keeps the handle open.
  struct ChunkBytes {
    std::shared_ptr<const fileio::FileHandle> file;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
  };
  ChunkBytes getChunkBytes() const;
  // Read from the file each time.
  std::uint64_t getChunkSize() const;
  // The text, or "(<size> bytes)" for a chunk.
  std::string valueAsString() const;

  const std::string& getName() const { return name; }

  const int type;

 private:
  void requireString() const;
  void requireChunk() const;

  const std::string name;
  const std::string value;
  // Made on first request for a chunk that lies in an answer.
  mutable boost::filesystem::path chunkTempPath;
  const std::shared_ptr<const fileio::FileHandle> answer;
  const std::uint64_t answerOffset = 0;
  const std::uint64_t answerLength = 0;
};

}  // namespace vexo
