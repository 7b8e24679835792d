// A request or an answer of the service: named values in byte order of their names, with
// typed getters and setters that fix how booleans and integers travel as text. Copies share
// their chunks. Besides, the file work of directory synchronisation: a local file cut into
// compressed chunks, chunks joined back into a local file, a file time set from an answer.
//
// An answer may hold millions of short values, so texts are kept compactly: every name and
// string value in one block of text, a value costing 12 bytes besides its text. Chunks stay
// NVP objects with their files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/optional.hpp>

#include "vexolib/session/NVP.h"

namespace vexo {

// The largest file a directory synchronisation carries either way: the wire gives sizes as
// signed 32-bit decimals.
constexpr std::uint64_t maxSyncFileSize = 0x7fffffffu;

class NVPSet {
 public:
  boost::optional<std::shared_ptr<NVP>> lookupNVP(const std::string& name) const;
  // std::logic_error "'<name>' not found" for an absent name.
  std::shared_ptr<NVP> getNVP(const std::string& name) const;
  bool isString(const std::string& name) const;
  bool contains(const std::string& name) const { return find(name) != nullptr; }
  std::size_t size() const;

  // Required: the absent name and the wrong kind raise as getNVP and NVP do.
  std::string getString(const std::string& name) const;
  bool getBoolean(const std::string& name) const;
  int getInteger(const std::string& name) const;
  std::uint64_t getChunkSize(const std::string& name) const;
  std::string getChunkFileTempPath(const std::string& name) const;

  // The default also for a chunk under the name.
  std::string getString(const std::string& name, const std::string& defaultValue) const;
  // The default only for an absent name; a chunk raises "'<name>' not a string".
  bool getBoolean(const std::string& name, bool defaultValue) const;

  // Each replaces whatever the name held.
  void setString(const std::string& name, const std::string& value);
  void setBoolean(const std::string& name, bool value);
  void setInteger(const std::string& name, int value);
  void setU32Integer(const std::string& name, unsigned int value);
  void setChunk(const std::string& name, const unsigned char* data, unsigned long offset,
                unsigned long length);
  // A copy of that byte range of the file.
  void setChunk(const std::string& name, const boost::filesystem::path& filePath,
                unsigned long offset, unsigned long length);
  // A copy of that byte range of an open file; the file's position stays where it was.
  void setChunkFromHandle(const std::string& name, int handle, std::uint64_t offset,
                          std::uint64_t length);
  // That byte range of an answer's temporary file, left where it lies (NVP).
  void setChunkInAnswer(const std::string& name, std::shared_ptr<const fileio::FileHandle> answer,
                        std::uint64_t offset, std::uint64_t length);
  // The whole file: adopted (deleted with the value) or copied.
  void setChunk(const std::string& name, const boost::filesystem::path& filePath, bool adopt);

  // The value itself (a chunk shared with whatever else holds it), under its own name.
  void setNVP(std::shared_ptr<NVP> value);
  // Every value of other, replacing values of the same names; other is left empty.
  void merge(NVPSet&& other);

  // The bytes of names and texts held so far, replaced values included: what an answer's
  // text has cost.
  std::size_t textBytes() const { return text.size(); }
  // Room for that much text and that many values, so that a large answer is read without
  // copying what it has read so far (untouched room costs no memory).
  void reserve(std::size_t textBytes, std::size_t values);
  // The values in name order for a trace: visit(name, text), a chunk's text being
  // "(<size> bytes)"; ends early when visit answers false.
  void forEachValue(const std::function<bool(const std::string&, const std::string&)>& visit) const;

  // Ascending byte order, both.
  std::vector<std::string> getNVPNames() const;
  std::vector<std::string> getNVPNamesSorted() const;

  // The file compressed and stored as prefix + "chunk.<k>" (k from 0) with prefix +
  // "chunk.count"; a single chunk is the compressed file itself. chunkSize must be positive.
  void setChunksFromFile(const boost::filesystem::path& filePath, const std::string& prefix,
                         int chunkSize);
  // Joins prefix + "chunk.<k>" into localRoot / relPath, then applies "lastModified" and
  // "isExecutable". A missing chunk is VexoException 103 "Chunk lookup failed", and so are
  // chunks that inflate past maxSize bytes. A relPath that leaves localRoot is refused with
  // VexoException 103.
  void downloadFile(const boost::filesystem::path& localRoot, const std::string& prefix,
                    std::uint64_t maxSize = maxSyncFileSize) const;
  // Applies prefix + "lastModified" to localRoot / relPath; nothing when none was sent.
  void setFileTime(const boost::filesystem::path& localRoot, const std::string& prefix) const;

 private:
  // One value: its name at offset in text, followed by the string's bytes, or for a chunk
  // `value` is chunkFlag plus its index in chunks.
  struct Entry {
    std::uint32_t offset = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t value = 0;
  };
  static constexpr std::uint32_t chunkFlag = 0x80000000u;

  std::string_view nameOf(const Entry& entry) const;
  std::string_view stringOf(const Entry& entry) const;
  const std::shared_ptr<NVP>* chunkOf(const Entry& entry) const;
  const Entry* find(std::string_view name) const;
  // Sorts the values set out of order in with the others; the later of two values of one
  // name wins (texts are appended, so a later value lies further on).
  void settle() const;
  void put(std::string_view name, std::string_view value, std::shared_ptr<NVP> chunk);
  void putString(std::string_view name, std::string_view value) { put(name, value, nullptr); }

  std::string text;
  // Sorted by name up to `sorted`, then in the order set.
  mutable std::vector<Entry> entries;
  mutable std::size_t sorted = 0;
  mutable std::vector<std::shared_ptr<NVP>> chunks;
};

// Removes every entry of the file's folder whose name equals the file's name ignoring ASCII
// letter case (the file itself included). Failed deletions are ignored; a folder that cannot
// be listed raises the file system's error.
void deleteFileAtPathWithDifferentLetterCase(const boost::filesystem::path& filePath);

}  // namespace vexo
