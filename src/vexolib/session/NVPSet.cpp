#include "vexolib/session/NVPSet.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include <boost/filesystem/operations.hpp>
#include <boost/lexical_cast.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/util.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

std::string chunkName(const std::string& prefix, std::uint64_t k) {
  return prefix + "chunk." + std::to_string(k);
}

// Removes the compressed copy on every path unless the set adopted it.
class TemporaryFileGuard {
 public:
  explicit TemporaryFileGuard(std::string path) : path_(std::move(path)) {}
  ~TemporaryFileGuard() {
    if (!released_) {
      platform::deleteTemporaryFile(path_);
    }
  }
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
  void release() { released_ = true; }

 private:
  std::string path_;
  bool released_ = false;
};

// The entries of the parent folder whose leaf equals the path's leaf in any letter case.
std::vector<std::string> spellingsOfLeaf(const boost::filesystem::path& filePath) {
  namespace fs = boost::filesystem;
  const std::string leaf = strutil::toLowercase(filePath.filename().string());
  std::vector<std::string> found;
  for (fs::directory_iterator it(filePath.parent_path()), end; it != end; ++it) {
    if (strutil::toLowercase(it->path().filename().string()) == leaf) {
      found.push_back(it->path().string());
    }
  }
  return found;
}

}  // namespace

std::string_view NVPSet::nameOf(const Entry& entry) const {
  return std::string_view(text.data() + entry.offset, entry.nameLength);
}

std::string_view NVPSet::stringOf(const Entry& entry) const {
  return std::string_view(text.data() + entry.offset + entry.nameLength, entry.value);
}

const std::shared_ptr<NVP>* NVPSet::chunkOf(const Entry& entry) const {
  if ((entry.value & chunkFlag) == 0) {
    return nullptr;
  }
  return &chunks[entry.value & ~chunkFlag];
}

void NVPSet::settle() const {
  if (sorted == entries.size()) {
    return;
  }
  std::sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
    const int order = nameOf(a).compare(nameOf(b));
    return order < 0 || (order == 0 && a.offset < b.offset);
  });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i + 1 < entries.size() && nameOf(entries[i]) == nameOf(entries[i + 1])) {
      if (chunkOf(entries[i])) {
        chunks[entries[i].value & ~chunkFlag].reset();  // its file goes now
      }
      continue;
    }
    entries[kept++] = entries[i];
  }
  entries.resize(kept);
  sorted = kept;
}

const NVPSet::Entry* NVPSet::find(std::string_view name) const {
  settle();
  const auto it = std::lower_bound(
      entries.begin(), entries.end(), name,
      [this](const Entry& entry, std::string_view key) { return nameOf(entry) < key; });
  if (it == entries.end() || nameOf(*it) != name) {
    return nullptr;
  }
  return &*it;
}

void NVPSet::put(std::string_view name, std::string_view value, std::shared_ptr<NVP> chunk) {
  const std::uint64_t end = text.size() + name.size() + (chunk ? 0 : value.size());
  if (end > std::numeric_limits<std::uint32_t>::max() || value.size() >= chunkFlag ||
      chunks.size() >= chunkFlag) {
    throw VexoException(status::generalFailure, "Too much text in one set of named values");
  }
  Entry entry{static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(name.size()),
              static_cast<std::uint32_t>(value.size())};
  if (chunk) {
    entry.value = chunkFlag | static_cast<std::uint32_t>(chunks.size());
    chunks.push_back(std::move(chunk));
  }
  text.append(name.data(), name.size());
  if ((entry.value & chunkFlag) == 0) {
    text.append(value.data(), value.size());
  }
  // Among the sorted values: replaced where it stands, or added at the end when it comes
  // last (answers come in name order). Anything else waits for the next read.
  const auto sortedEnd = entries.begin() + static_cast<std::ptrdiff_t>(sorted);
  const auto it = std::lower_bound(
      entries.begin(), sortedEnd, name,
      [this](const Entry& e, std::string_view key) { return nameOf(e) < key; });
  if (it != sortedEnd && nameOf(*it) == name) {
    if (chunkOf(*it)) {
      chunks[it->value & ~chunkFlag].reset();
    }
    *it = entry;
    return;
  }
  entries.push_back(entry);
  if (it == sortedEnd && sorted + 1 == entries.size()) {
    sorted = entries.size();
  }
}

std::size_t NVPSet::size() const {
  settle();
  return entries.size();
}

boost::optional<std::shared_ptr<NVP>> NVPSet::lookupNVP(const std::string& name) const {
  const Entry* entry = find(name);
  if (!entry) {
    return boost::none;
  }
  if (const std::shared_ptr<NVP>* chunk = chunkOf(*entry)) {
    return *chunk;
  }
  return std::make_shared<NVP>(name, std::string(stringOf(*entry)));
}

std::shared_ptr<NVP> NVPSet::getNVP(const std::string& name) const {
  const boost::optional<std::shared_ptr<NVP>> value = lookupNVP(name);
  if (!value) {
    throw std::logic_error("'" + name + "' not found");
  }
  return *value;
}

bool NVPSet::isString(const std::string& name) const {
  const Entry* entry = find(name);
  if (!entry) {
    throw std::logic_error("'" + name + "' not found");
  }
  return chunkOf(*entry) == nullptr;
}

std::string NVPSet::getString(const std::string& name) const {
  const Entry* entry = find(name);
  if (!entry) {
    throw std::logic_error("'" + name + "' not found");
  }
  if (chunkOf(*entry)) {
    throw std::logic_error("'" + name + "' not a string");
  }
  return std::string(stringOf(*entry));
}

bool NVPSet::getBoolean(const std::string& name) const {
  const std::string value = getString(name);
  return value == "true" || value == "1";
}

int NVPSet::getInteger(const std::string& name) const {
  return boost::lexical_cast<int>(getString(name));
}

std::uint64_t NVPSet::getChunkSize(const std::string& name) const {
  return getNVP(name)->getChunkSize();
}

std::string NVPSet::getChunkFileTempPath(const std::string& name) const {
  return getNVP(name)->getChunkFileTempPath();
}

std::string NVPSet::getString(const std::string& name, const std::string& defaultValue) const {
  const Entry* entry = find(name);
  if (!entry || chunkOf(*entry)) {
    return defaultValue;
  }
  return std::string(stringOf(*entry));
}

bool NVPSet::getBoolean(const std::string& name, bool defaultValue) const {
  if (!contains(name)) {
    return defaultValue;
  }
  return getBoolean(name);
}

void NVPSet::setString(const std::string& name, const std::string& value) {
  putString(name, value);
}

void NVPSet::setBoolean(const std::string& name, bool value) {
  setString(name, value ? "true" : "false");
}

void NVPSet::setInteger(const std::string& name, int value) {
  setString(name, boost::lexical_cast<std::string>(value));
}

void NVPSet::setU32Integer(const std::string& name, unsigned int value) {
  setString(name, boost::lexical_cast<std::string>(value));
}

void NVPSet::setChunk(const std::string& name, const unsigned char* data, unsigned long offset,
                      unsigned long length) {
  // Built before the old value goes, so a failed write leaves the set as it was.
  put(name, {}, std::make_shared<NVP>(name, data, offset, length));
}

void NVPSet::setChunk(const std::string& name, const boost::filesystem::path& filePath,
                      unsigned long offset, unsigned long length) {
  put(name, {}, std::make_shared<NVP>(name, filePath, offset, length, false));
}

void NVPSet::setChunkFromHandle(const std::string& name, int handle, std::uint64_t offset,
                                std::uint64_t length) {
  put(name, {}, std::make_shared<NVP>(name, handle, offset, length));
}

void NVPSet::setChunkInAnswer(const std::string& name,
                              std::shared_ptr<const fileio::FileHandle> answer,
                              std::uint64_t offset, std::uint64_t length) {
  put(name, {}, std::make_shared<NVP>(name, std::move(answer), offset, length));
}

void NVPSet::setChunk(const std::string& name, const boost::filesystem::path& filePath,
                      bool adopt) {
  const std::uint64_t size = platform::fileSize(filePath.string());
  put(name, {}, std::make_shared<NVP>(name, filePath, 0, size, adopt));
}

void NVPSet::setNVP(std::shared_ptr<NVP> value) {
  const std::string name = value->getName();
  if (value->type == NVP::STRING) {
    putString(name, value->getString());
  } else {
    put(name, {}, std::move(value));
  }
}

void NVPSet::merge(NVPSet&& other) {
  if (entries.empty()) {
    *this = std::move(other);
    other = NVPSet();
    return;
  }
  other.settle();
  for (const Entry& entry : other.entries) {
    if (const std::shared_ptr<NVP>* chunk = other.chunkOf(entry)) {
      put(other.nameOf(entry), {}, *chunk);
    } else {
      putString(other.nameOf(entry), other.stringOf(entry));
    }
  }
  other = NVPSet();
}

void NVPSet::reserve(std::size_t textBytes, std::size_t values) {
  text.reserve(text.size() + textBytes);
  entries.reserve(entries.size() + values);
}

void NVPSet::forEachValue(
    const std::function<bool(const std::string&, const std::string&)>& visit) const {
  settle();
  for (const Entry& entry : entries) {
    const std::string name(nameOf(entry));
    const std::shared_ptr<NVP>* chunk = chunkOf(entry);
    if (!visit(name, chunk ? (*chunk)->valueAsString() : std::string(stringOf(entry)))) {
      return;
    }
  }
}

std::vector<std::string> NVPSet::getNVPNames() const {
  settle();
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const Entry& entry : entries) {
    names.emplace_back(nameOf(entry));
  }
  return names;
}

std::vector<std::string> NVPSet::getNVPNamesSorted() const {
  return getNVPNames();
}

void NVPSet::setChunksFromFile(const boost::filesystem::path& filePath, const std::string& prefix,
                               int chunkSize) {
  if (chunkSize <= 0) {
    throw std::invalid_argument("setChunksFromFile: chunk size must be positive");
  }
  const std::uint64_t fileSize = platform::fileSize(filePath.string());
  const std::pair<std::string, std::uint64_t> compressed =
      util::readAndCompressFile(filePath.string(), fileSize);
  TemporaryFileGuard guard(compressed.first);
  const std::uint64_t size = compressed.second;
  const std::uint64_t step = static_cast<std::uint64_t>(chunkSize);
  const std::uint64_t count = size / step + (size % step != 0 ? 1 : 0);
  if (count > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    throw VexoException(status::generalFailure, "Too many chunks for '" + filePath.string() + "'");
  }
  if (count <= 1) {
    setChunk(prefix + "chunk.0", compressed.first, true);
    guard.release();
  } else {
    for (std::uint64_t k = 0; k < count; ++k) {
      const std::uint64_t offset = k * step;
      const std::uint64_t length = std::min(step, size - offset);
      setChunk(chunkName(prefix, k), compressed.first, offset, length);
    }
  }
  setInteger(prefix + "chunk.count", static_cast<int>(count));
}

void NVPSet::downloadFile(const boost::filesystem::path& localRoot, const std::string& prefix,
                          std::uint64_t maxSize) const {
  const std::string relPath = getString(prefix + "relPath");
  const int count = getInteger(prefix + "chunk.count");
  // Inflated from where the chunks lie, without a copy of them.
  std::vector<NVP::ChunkBytes> chunks;
  std::vector<util::CompressedRange> ranges;
  for (int k = 0; k < count; ++k) {
    const boost::optional<std::shared_ptr<NVP>> chunk = lookupNVP(chunkName(prefix, k));
    if (!chunk) {
      throw VexoException(status::generalFailure, "Chunk lookup failed");
    }
    chunks.push_back((*chunk)->getChunkBytes());
    const NVP::ChunkBytes& bytes = chunks.back();
    ranges.push_back(util::CompressedRange{bytes.file->get(), bytes.offset, bytes.length});
  }
  const std::string target = fileio::confinedPath(localRoot, relPath).string();
  // The new file takes the old one's place only once it is whole, so a download that fails
  // loses nothing; the other spellings of its name go after that.
  const std::vector<std::string> spellings = spellingsOfLeaf(target);
  util::decompressRangesIntoFile(target, ranges, maxSize);
  const std::string leaf = boost::filesystem::path(target).filename().string();
  for (const std::string& path : spellings) {
    if (boost::filesystem::path(path).filename().string() != leaf) {
      platform::deleteFile(path);
    }
  }
  const std::string lastModified = getString(prefix + "lastModified", "");
  if (!lastModified.empty()) {
    platform::setFileLastModifiedFromString(target, lastModified);
  }
  if (strutil::toBool(getString(prefix + "isExecutable", "false"), false)) {
    platform::markFileExecutable(target);
  }
}

void NVPSet::setFileTime(const boost::filesystem::path& localRoot,
                         const std::string& prefix) const {
  const std::string target =
      fileio::confinedPath(localRoot, getString(prefix + "relPath")).string();
  const std::string lastModified = getString(prefix + "lastModified", "");
  if (lastModified.empty()) {
    platform::trace(
        "Attempting to process setFileTime, but last modified time not sent by server and so "
        "nothing can be done.");
    return;
  }
  platform::setFileLastModifiedFromString(target, lastModified);
}

void deleteFileAtPathWithDifferentLetterCase(const boost::filesystem::path& filePath) {
  for (const std::string& path : spellingsOfLeaf(filePath)) {
    platform::deleteFile(path);
  }
}

}  // namespace vexo
