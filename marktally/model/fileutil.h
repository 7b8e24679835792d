// The file layer: POSIX files behind the few calls the program makes, and the one routine
// that shows every file error. The result codes and the errno table are the common ones.
#pragma once

#include <cstdint>
#include <string>

#include "marktally/common/errors.h"
#include "marktally/common/macroman.h"
#include "types.h"

// A file is named by its path. An empty path means the class was never saved.
struct FileSpec {
  std::string path;
  bool empty() const { return path.empty(); }
};

extern FileSpec gFileSpec;  // the open class's document

// The last component of a path, as Mac Roman text for alerts and titles (UTF-8 letters
// without a Mac Roman counterpart become '?'), cut to 255 bytes.
void GetFileName(const FileSpec& spec, Str255& name);
// The last component of a path (UTF-8, as the system holds it).
std::string LeafName(const FileSpec& spec);
// GetFileName, answering whether the Mac Roman name holds the real one without loss (no
// letter Mac Roman lacks, well-formed UTF-8, at most 255 bytes).
bool GetExactFileName(const FileSpec& spec, Str255& name);
// The folder part of a path ("." when there is none).
std::string FolderOf(const std::string& path);

// ---- Error alert ----------------------------------------------------------------
// Shows the stop alert "Error" with the explanation for code; name is the file's name.
void HandleError(ConstStringPtr name, int16_t code);
// The explanation alone (tests and the window's own alerts).
void ErrorExplanation(ConstStringPtr name, int16_t code, Str255& text);

// ---- Files ------------------------------------------------------------------------
using FileRef = int;  // an open file; kNoFile when none
constexpr FileRef kNoFile = -1;

enum FilePermission : int8_t {
  kReadPermission = 1,
  kWritePermission = 2,
  kReadWritePermission = 3,
};

// Finder creator and type codes, as the program has always named them.
constexpr uint32_t FourCharCode(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}
constexpr uint32_t kGradebookCreator = FourCharCode("GRBK");
constexpr uint32_t kGradebookType = FourCharCode("GRCL");

// Each reports a failure through HandleError and answers false. Creator and type are
// kept for the callers' sake; the desktop has no place for them.
bool CreateFile(const FileSpec& spec, uint32_t creator, uint32_t type);
bool OpenFile(FileRef& refNum, FilePermission permission = kReadPermission);
bool DeleteFile(const FileSpec& spec);

// The calls beneath, answering a result code and no alert.
OSErr FSCreate(const FileSpec& spec);
OSErr FSOpen(const FileSpec& spec, FilePermission permission, FileRef& refNum);
// count in: bytes wanted; out: bytes moved. A read that meets the end answers eofErr.
OSErr FSRead(FileRef refNum, int32_t& count, void* buffer);
OSErr FSWrite(FileRef refNum, int32_t& count, const void* buffer);
OSErr GetFPos(FileRef refNum, int64_t& position);
OSErr SetEOF(FileRef refNum, int64_t length);
OSErr GetEOF(FileRef refNum, int64_t& length);
// Pushes the file's data to the disk (a no-op while flushing is switched off).
OSErr FlushFile(FileRef refNum);
OSErr FSClose(FileRef refNum);
OSErr FSDelete(const FileSpec& spec);

// Saving flushes to the disk; benchmarks switch it off to time the rest.
void SetFlushToDisk(bool flush);
bool FlushToDisk();

// A file written beside its target and put in its place only once it is whole, so a
// failed save never costs the last good copy. The temporary file goes away with this
// object unless Commit moved it into place. It is named ".~<name>.<6 hex digits>" and
// held under an flock until then, so that the next save can tell the leftovers of a save
// that was killed (nobody holds them: removed) from a save running at the same moment.
class SafeSave {
 public:
  explicit SafeSave(const FileSpec& target);
  ~SafeSave();
  SafeSave(const SafeSave&) = delete;
  SafeSave& operator=(const SafeSave&) = delete;

  // Checks that the target may be replaced and creates the temporary file, open for
  // writing; the caller owns and closes refNum.
  OSErr Begin(FileRef& refNum);
  const FileSpec& temporary() const { return temp_; }
  // Renames the closed temporary file over the target; durable also waits for the folder
  // to record the rename (while flushing to disk is on).
  OSErr Commit(bool durable = true);

 private:
  void Release();

  FileSpec target_;
  FileSpec temp_;
  int lock_ = -1;  // our own descriptor of the temporary, holding its flock
  bool committed_ = false;
  bool hadTarget_ = false;
  unsigned mode_ = 0666;
};

// ---- Test seam --------------------------------------------------------------------
// Faults the file layer injects while installed: a write that fails at a chosen byte
// of the file, a read that ends early or fails, and failing opens, flushes and renames.
struct FileFaults {
  int64_t failWriteAt = -1;   // file offset at which writes stop; -1 never
  int writeErrno = 28;        // ENOSPC
  int64_t endReadAt = -1;     // reads see the file end here; -1 never
  int readErrno = 0;          // 0: a short read (end of file); else the read fails so
  int openWriteErrno = 0;     // opening an existing file for writing fails so
  int createErrno = 0;        // creating a file fails so
  int flushErrno = 0;
  int renameErrno = 0;
};
void SetFileFaultsForTesting(const FileFaults* faults);  // null: none
