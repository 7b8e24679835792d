#include "recent.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "accessors.h"
#include "platform.h"
#include "tables.h"

RecentFileRecord gRecentFiles[kMaxRecentFiles];
int16_t gNumRecentFiles = 0;
RecentAssignRecord gRecentAssigns[kMaxRecentAssigns];
int16_t gNumRecentAssigns = 0;

namespace {

const char kRecentFilesName[] = "Marktally Recent Files";
const char kRecentAssignsName[] = "Marktally Recent Assignments";

// "Marktally Recent Files": 8 records of 1030 bytes, numbers big-endian:
//   +0 u32 time (seconds since 1904; 0 marks an empty slot)
//   +4 u16 length of the path in bytes (0..1023)
//   +6 1024 bytes: the full path, then zeros
constexpr int kRecentFileSize = 1030;
constexpr int kRecentFilesLength = kMaxRecentFiles * kRecentFileSize;
// "Marktally Recent Assignments": the marker 18, then 16 records of 56 bytes, all
// little-endian as they lie in memory.
constexpr uint16_t kRecentAssignsMarker = 18;
constexpr int kRecentAssignsLength = kMaxRecentAssigns * sizeof(RecentAssignRecord);

FileSpec PreferenceFile(const char* name) {
  const std::string folder = PreferencesFolder();
  return FileSpec{folder.empty() ? std::string() : folder + "/" + name};
}

bool MakeFolders(const std::string& path) {
  for (size_t at = 1; at <= path.size(); at++) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Reads what the file holds, up to count bytes; -1 when it cannot be opened.
int ReadPreferenceFile(const char* name, unsigned char* data, int count) {
  FileRef ref;
  if (FSOpen(PreferenceFile(name), kReadPermission, ref) != noErr) return -1;
  int32_t n = count;
  FSRead(ref, n, data);
  FSClose(ref);
  return n;
}

void WritePreferenceFile(const char* name, const void* data, int32_t count) {
  const std::string folder = PreferencesFolder();
  if (folder.empty() || !MakeFolders(folder)) return;
  SafeSave save(PreferenceFile(name));
  FileRef ref;
  if (save.Begin(ref) != noErr) return;
  int32_t n = count;
  OSErr err = FSWrite(ref, n, data);
  if (err == noErr) err = FlushFile(ref);
  FSClose(ref);
  if (err == noErr) save.Commit();  // a failure loses this run's changes, silently
}

uint32_t Get32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return __builtin_bswap32(v);
}

void Put32(unsigned char* p, uint32_t v) {
  v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

// Names Mac Roman holds compare without regard to case and diacritics, as they always
// did; any other name only byte for byte, since its Mac Roman form has lost letters.
bool SameDocument(const FileSpec& a, const FileSpec& b) {
  if (FolderOf(a.path) != FolderOf(b.path)) return false;
  Str255 nameA, nameB;
  if (GetExactFileName(a, nameA) && GetExactFileName(b, nameB))
    return EqualString(nameA, nameB, false, false);
  return LeafName(a) == LeafName(b);
}

std::string FullPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// An absolute path of well-formed UTF-8 without control characters: anything else in
// the list file is damage, not a document the teacher opened.
bool UsablePath(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  for (size_t i = 0; i < path.size();) {
    char32_t code = 0;
    size_t length = 1;
    if (!DecodeUtf8(path, i, code, length) || code < 0x20 || code == 0x7F) return false;
    i += length;
  }
  return true;
}

void CountRecentFiles() {
  gNumRecentFiles = 0;
  while (gNumRecentFiles < kMaxRecentFiles && gRecentFiles[gNumRecentFiles].time != 0 &&
         !gRecentFiles[gNumRecentFiles].spec.empty())
    gNumRecentFiles++;
}

void RemoveRecentAssign(int i) {
  for (int k = i; k < kMaxRecentAssigns - 1; k++) gRecentAssigns[k] = gRecentAssigns[k + 1];
  gRecentAssigns[kMaxRecentAssigns - 1].assignment.name.clear();
  gNumRecentAssigns--;
}

}  // namespace

std::string PreferencesFolder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/marktally";
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config/marktally";
  return std::string();
}

// ---- Recent files ----------------------------------------------------------------------

void LoadRecentFiles() {
  gNumRecentFiles = 0;
  std::vector<unsigned char> data(kRecentFilesLength);
  const int n = ReadPreferenceFile(kRecentFilesName, data.data(), kRecentFilesLength);
  if (n < 0) return;
  // Records past a short file's end stay as they were; a damaged record is left out, so
  // that the File menu never shows it.
  std::vector<RecentFileRecord> kept;
  for (int i = 0; i < kMaxRecentFiles; i++) {
    RecentFileRecord record = gRecentFiles[i];
    if (i < n / kRecentFileSize) {
      const unsigned char* r = data.data() + i * kRecentFileSize;
      record.time = Get32(r);
      const int length = r[4] << 8 | r[5];
      const char* path = reinterpret_cast<const char*>(r + 6);
      record.spec.path.assign(path, strnlen(path, static_cast<size_t>(kMaxRecentPath)));
      if (length == 0 || length > kMaxRecentPath) record.spec.path.clear();
      else record.spec.path.resize(std::min<size_t>(record.spec.path.size(), length));
    }
    if (record.time == 0) break;
    if (UsablePath(record.spec.path)) kept.push_back(record);
  }
  for (int i = 0; i < kMaxRecentFiles; i++)
    gRecentFiles[i] = i < static_cast<int>(kept.size()) ? kept[i] : RecentFileRecord{};
  CountRecentFiles();
}

void SaveRecentFiles() {
  std::vector<unsigned char> data(kRecentFilesLength, 0);
  for (int i = 0; i < kMaxRecentFiles; i++) {
    unsigned char* r = data.data() + i * kRecentFileSize;
    const std::string& path = gRecentFiles[i].spec.path;
    const int length = static_cast<int>(std::min<size_t>(path.size(), kMaxRecentPath));
    Put32(r, gRecentFiles[i].time);
    r[4] = static_cast<unsigned char>(length >> 8);
    r[5] = static_cast<unsigned char>(length);
    std::memcpy(r + 6, path.data(), static_cast<size_t>(length));
  }
  WritePreferenceFile(kRecentFilesName, data.data(), kRecentFilesLength);
}

void InsertRecentFile(const FileSpec& spec) {
  if (spec.empty()) return;
  const FileSpec full{FullPath(spec.path)};
  if (full.path.size() > static_cast<size_t>(kMaxRecentPath)) return;  // the file can't hold it
  for (int i = 0; i < gNumRecentFiles; i++) {
    if (SameDocument(gRecentFiles[i].spec, full)) {
      DeleteRecentFile(static_cast<int16_t>(i));
      break;
    }
  }
  for (int i = kMaxRecentFiles - 1; i > 0; i--) gRecentFiles[i] = gRecentFiles[i - 1];
  gRecentFiles[0].time = GetDateTime();
  gRecentFiles[0].spec = full;
  gNumRecentFiles = static_cast<int16_t>(std::min(gNumRecentFiles + 1, kMaxRecentFiles));
}

void DeleteRecentFile(int16_t index) {
  if (index < 0 || index >= gNumRecentFiles) return;
  for (int i = index; i < kMaxRecentFiles - 1; i++) gRecentFiles[i] = gRecentFiles[i + 1];
  gRecentFiles[kMaxRecentFiles - 1].time = 0;
  gRecentFiles[kMaxRecentFiles - 1].spec.path.clear();
  gNumRecentFiles--;
}

void ClearRecentFiles() {
  for (auto& r : gRecentFiles) r.time = 0;
  gNumRecentFiles = 0;
}

// ---- Recent assignments ----------------------------------------------------------------

void SetupRecentAssigns() {
  gNumRecentAssigns = 0;
  const uint32_t now = GetDateTime();
  for (auto& r : gRecentAssigns) {
    r.date = now;
    std::memset(r.assignment.name.bytes, 0, sizeof r.assignment.name.bytes);
    r.assignment.category = 1;
    r.assignment.points = 0;
  }
}

void LoadRecentAssigns() {
  gNumRecentAssigns = 0;
  std::vector<unsigned char> data(2 + kRecentAssignsLength);
  const int n = ReadPreferenceFile(kRecentAssignsName, data.data(), 2 + kRecentAssignsLength);
  if (n < 2 || (data[0] | data[1] << 8) != kRecentAssignsMarker) return;
  const int records = (n - 2) / static_cast<int>(sizeof(RecentAssignRecord));
  for (int i = 0; i < records; i++) {
    RecentAssignRecord& r = gRecentAssigns[i];
    std::memcpy(&r, data.data() + 2 + i * sizeof(RecentAssignRecord), sizeof r);
    if (r.assignment.name[0] > Str47::kCapacity) r.assignment.name[0] = Str47::kCapacity;
    if (r.assignment.category >= kMaxCategories) r.assignment.category = 1;
  }
  while (gNumRecentAssigns < kMaxRecentAssigns &&
         !gRecentAssigns[gNumRecentAssigns].assignment.name.empty())
    gNumRecentAssigns++;
}

void SaveRecentAssigns() {
  std::vector<unsigned char> data(2 + kRecentAssignsLength);
  data[0] = kRecentAssignsMarker;
  data[1] = 0;
  std::memcpy(data.data() + 2, gRecentAssigns, kRecentAssignsLength);
  WritePreferenceFile(kRecentAssignsName, data.data(), static_cast<int32_t>(data.size()));
}

void InsertRecentAssign(int16_t column) {
  if (!ValidColumn(column)) return;
  const int term = CurrentTermIndex();
  const AssignmentRecord& a = gAssignments[term][column];
  if (a.name.empty()) return;
  for (int i = 0; i < gNumRecentAssigns; i++) {
    if (EqualString(gRecentAssigns[i].assignment.name, a.name, false, false)) {
      RemoveRecentAssign(i);
      break;
    }
  }
  for (int i = kMaxRecentAssigns - 1; i > 0; i--) gRecentAssigns[i] = gRecentAssigns[i - 1];
  gRecentAssigns[0].date = gAssignDates[term][column];
  gRecentAssigns[0].assignment = a;
  gNumRecentAssigns =
      static_cast<int16_t>(std::min(gNumRecentAssigns + 1, kMaxRecentAssigns));
}
