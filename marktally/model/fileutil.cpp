#include "fileutil.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform.h"
#include "textutil.h"

FileSpec gFileSpec;

namespace {

bool gFlushToDisk = true;
bool gFaultsOn = false;
FileFaults gFaults;

void AppendText(Str255& text, const char* piece) { AppendC(text, piece); }

int64_t Offset(int fd) {
  const off_t at = lseek(fd, 0, SEEK_CUR);
  return at < 0 ? 0 : static_cast<int64_t>(at);
}

// Reads or writes all of count unless the file ends or fails; answers the bytes moved,
// and in error the errno of a failure, even one that came after some bytes had moved.
template <typename Call>
size_t Transfer(Call call, size_t count, int& error) {
  size_t done = 0;
  error = 0;
  while (done < count) {
    const ssize_t n = call(done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

OSErr LastError() { return ErrnoToOSErr(errno); }

// Temporaries of a save that was killed: our naming for this target and held by nobody.
// A save running in another process holds the flock of its own and is left alone.
void RemoveAbandonedTemporaries(const std::string& folder, const std::string& prefix) {
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
      continue;
    if (name.find_first_not_of("0123456789abcdef", prefix.size()) != std::string::npos)
      continue;
    const std::string path = folder + "/" + name;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, there;
    if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && lstat(path.c_str(), &there) == 0 &&
        held.st_ino == there.st_ino && held.st_dev == there.st_dev)
      unlink(path.c_str());  // still under our lock, so nobody is writing it
    close(fd);
  }
  closedir(d);
}

// A folder, a FIFO, a socket or a device where a document belongs.
OSErr NotAFileErr(const struct stat& st) {
  return ErrnoToOSErr(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LeafName(const FileSpec& spec) {
  const size_t slash = spec.path.rfind('/');
  return slash == std::string::npos ? spec.path : spec.path.substr(slash + 1);
}

void GetFileName(const FileSpec& spec, Str255& name) { Utf8ToMacRoman(LeafName(spec), name); }

bool GetExactFileName(const FileSpec& spec, Str255& name) {
  const std::string leaf = LeafName(spec);
  Utf8ToMacRoman(leaf, name);
  return MacRomanToUtf8(static_cast<ConstStringPtr>(name)) == leaf;
}

void ErrorExplanation(ConstStringPtr name, int16_t code, Str255& text) {
  text.clear();
  switch (code) {
    case wrPermErr:
    case fLckdErr:
      AppendText(text, "This document is locked. You can use 'Save As' to ");
      AppendText(text, "save your changes.");
      break;
    case vLckdErr:
      AppendText(text, "This document is in a folder that is locked. You ");
      AppendText(text, "can use 'Save As' to save your changes somewhere else.");
      break;
    case wPrErr:
      AppendText(text, "This document is on a disk that is write-protected. ");
      AppendText(text, "Eject the disk and adjust the write-protect tab.");
      break;
    case fnfErr:
      AppendText(text, "File '");
      Append(text, name);
      AppendText(text, "' was not found.");
      break;
    case eofErr:
      AppendText(text, "This document appears to be damaged. You should use your ");
      AppendText(text, "backup copy instead.");
      break;
    case ioErr:
      AppendText(text, "The disk you are using appears to be damaged. Copy ");
      AppendText(text, "everything from this disk to another disk and run ");
      AppendText(text, "Disk First Aid to attempt to repair the disk.");
      break;
    case nsvErr:
      AppendText(text, "The disk the document was saved on has been ejected. ");
      AppendText(text, "Insert the disk and try again.");
      break;
    case dskFulErr:
    case dirFulErr:
      AppendText(text, "The disk is full. You can delete some files or use 'Save As' ");
      AppendText(text, "to save your changes somewhere else.");
      break;
    case kNewerVersionErr:
      AppendText(text, "This document was created with a newer version of Marktally ");
      AppendText(text, "than this one. You need to open the document with that version. ");
      AppendText(text, "You can download the latest version from my web site. ");
      break;
    case kOlderVersionErr:
      AppendText(text, "This document was created by a version of Marktally older than ");
      AppendText(text, "4.0 and cannot be opened with this version of Marktally. ");
      break;
    case kSaveFailedErr:
      AppendText(text, "Your attempt to save failed. This may indicate a problem with ");
      AppendText(text, "the disk. Try doing Save As and saving to another disk or location.");
      break;
    case kDamagedErr:
      AppendText(text, "This document appears to be corrupted. You should use your ");
      AppendText(text, "backup copy. This may indicate a problem with the disk you ");
      AppendText(text, "are saving on. You can try running disk repair software to ");
      AppendText(text, "help prevent problems like this in the future.");
      break;
    default:
      AppendText(text, "Error ");
      AppendText(text, std::to_string(code).c_str());
      AppendText(text, " on file ");
      Append(text, name);
      AppendText(text, " was reported. If you are opening a class, you should ");
      AppendText(text, "use your backup. If you are saving a class, use 'Save As' ");
      AppendText(text, "to save your changes somewhere else.");
      break;
  }
}

void HandleError(ConstStringPtr name, int16_t code) {
  Str255 text;
  ErrorExplanation(name, code, text);
  ShowModelAlert(kStopAlert, kAlertOK, PStr("Error"), text);
}

bool CreateFile(const FileSpec& spec, uint32_t /*creator*/, uint32_t /*type*/) {
  const OSErr err = FSCreate(spec);
  if (err == noErr) return true;
  Str255 name;
  GetFileName(spec, name);
  HandleError(name, err);
  return false;
}

bool OpenFile(FileRef& refNum, FilePermission permission) {
  const OSErr err = FSOpen(gFileSpec, permission, refNum);
  if (err == noErr) return true;
  Str255 name;
  GetFileName(gFileSpec, name);
  HandleError(name, err);
  return false;
}

bool DeleteFile(const FileSpec& spec) {
  const OSErr err = FSDelete(spec);
  if (err == noErr) return true;
  Str255 name;
  GetFileName(spec, name);
  HandleError(name, err);
  return false;
}

OSErr FSCreate(const FileSpec& spec) {
  if (spec.empty()) return fnfErr;
  if (gFaultsOn && gFaults.createErrno != 0) return ErrnoToOSErr(gFaults.createErrno);
  const int fd = open(spec.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  close(fd);
  return noErr;
}

OSErr FSOpen(const FileSpec& spec, FilePermission permission, FileRef& refNum) {
  refNum = kNoFile;
  if (spec.empty()) return fnfErr;
  int flags = O_CLOEXEC;
  switch (permission) {
    case kReadPermission: flags |= O_RDONLY; break;
    case kWritePermission: flags |= O_WRONLY; break;
    default: flags |= O_RDWR; break;
  }
  if (permission != kReadPermission && gFaultsOn && gFaults.openWriteErrno != 0)
    return ErrnoToOSErr(gFaults.openWriteErrno);
  // Without O_NONBLOCK a FIFO in the document's place would hold open() until a writer
  // came; only a regular file gets past the check, and it reads and writes blocking.
  struct stat st;
  if (stat(spec.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return NotAFileErr(st);
  const int fd = open(spec.path.c_str(), flags | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return LastError();
  if (fstat(fd, &st) != 0) {
    const OSErr err = LastError();
    close(fd);
    return err;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return NotAFileErr(st);
  }
  const int status = fcntl(fd, F_GETFL);
  if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) < 0) {
    const OSErr err = LastError();
    close(fd);
    return err;
  }
  refNum = fd;
  return noErr;
}

OSErr FSRead(FileRef refNum, int32_t& count, void* buffer) {
  if (count <= 0) {
    count = 0;
    return noErr;
  }
  size_t wanted = static_cast<size_t>(count);
  int failure = 0;
  if (gFaultsOn && gFaults.endReadAt >= 0) {
    const int64_t room = std::max<int64_t>(0, gFaults.endReadAt - Offset(refNum));
    if (static_cast<int64_t>(wanted) > room) {
      wanted = static_cast<size_t>(room);
      failure = gFaults.readErrno;
    }
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  int error = 0;
  const size_t n = Transfer(
      [&](size_t done, size_t left) { return read(refNum, bytes + done, left); }, wanted,
      error);
  const bool cut = n < static_cast<size_t>(count);
  count = static_cast<int32_t>(n);
  if (error != 0) return ErrnoToOSErr(error);
  if (failure != 0) return ErrnoToOSErr(failure);
  return cut ? eofErr : noErr;
}

OSErr FSWrite(FileRef refNum, int32_t& count, const void* buffer) {
  if (count <= 0) {
    count = 0;
    return noErr;
  }
  size_t wanted = static_cast<size_t>(count);
  int failure = 0;
  if (gFaultsOn && gFaults.failWriteAt >= 0) {
    const int64_t room = std::max<int64_t>(0, gFaults.failWriteAt - Offset(refNum));
    if (static_cast<int64_t>(wanted) > room) {
      wanted = static_cast<size_t>(room);
      failure = gFaults.writeErrno;
    }
  }
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  int error = 0;
  const size_t n = Transfer(
      [&](size_t done, size_t left) { return write(refNum, bytes + done, left); }, wanted,
      error);
  count = static_cast<int32_t>(n);
  if (error != 0) return ErrnoToOSErr(error);
  if (failure != 0) return ErrnoToOSErr(failure);
  return n < wanted ? dskFulErr : noErr;
}

OSErr GetFPos(FileRef refNum, int64_t& position) {
  const off_t at = lseek(refNum, 0, SEEK_CUR);
  if (at < 0) return LastError();
  position = at;
  return noErr;
}

OSErr SetEOF(FileRef refNum, int64_t length) {
  return ftruncate(refNum, static_cast<off_t>(length)) == 0 ? noErr : LastError();
}

OSErr GetEOF(FileRef refNum, int64_t& length) {
  struct stat st;
  if (fstat(refNum, &st) != 0) return LastError();
  length = st.st_size;
  return noErr;
}

OSErr FlushFile(FileRef refNum) {
  if (gFaultsOn && gFaults.flushErrno != 0) return ErrnoToOSErr(gFaults.flushErrno);
  if (!gFlushToDisk) return noErr;
  return fsync(refNum) == 0 ? noErr : LastError();
}

OSErr FSClose(FileRef refNum) {
  if (refNum == kNoFile) return noErr;
  return close(refNum) == 0 ? noErr : LastError();
}

OSErr FSDelete(const FileSpec& spec) {
  if (spec.empty()) return fnfErr;
  return unlink(spec.path.c_str()) == 0 ? noErr : LastError();
}

void SetFlushToDisk(bool flush) { gFlushToDisk = flush; }
bool FlushToDisk() { return gFlushToDisk; }

void SetFileFaultsForTesting(const FileFaults* faults) {
  gFaultsOn = faults != nullptr;
  gFaults = faults ? *faults : FileFaults{};
}

// ---- SafeSave ---------------------------------------------------------------------

SafeSave::SafeSave(const FileSpec& target) : target_(target) {}

SafeSave::~SafeSave() {
  if (!committed_ && !temp_.empty()) unlink(temp_.path.c_str());
  Release();
}

void SafeSave::Release() {
  if (lock_ >= 0) close(lock_);  // the flock goes with the last descriptor
  lock_ = -1;
}

OSErr SafeSave::Begin(FileRef& refNum) {
  refNum = kNoFile;
  if (target_.empty()) return fnfErr;
  // Saving through a link saves the file it points to and keeps the link.
  struct stat st;
  if (lstat(target_.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* real = realpath(target_.path.c_str(), nullptr);
    if (real) {
      target_.path = real;
      free(real);
    }
  }
  if (stat(target_.path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return NotAFileErr(st);
    // A document the teacher may not change stays as it is, though its folder would
    // let a rename replace it.
    FileRef probe;
    const OSErr err = FSOpen(target_, kWritePermission, probe);
    if (err != noErr) return err;
    FSClose(probe);
    hadTarget_ = true;
    mode_ = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    return LastError();
  }

  const std::string folder = FolderOf(target_.path);
  const size_t slash = target_.path.rfind('/');
  std::string base = slash == std::string::npos ? target_.path : target_.path.substr(slash + 1);
  if (base.size() > 200) base.resize(200);
  if (gFaultsOn && gFaults.createErrno != 0) {
    const int e = gFaults.createErrno;
    return e == EACCES || e == EPERM ? vLckdErr : ErrnoToOSErr(e);
  }
  RemoveAbandonedTemporaries(folder, ".~" + base + ".");
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; attempt++) {
    const unsigned tag = static_cast<unsigned>(getpid()) * 7919u + ++counter * 104729u +
                         static_cast<unsigned>(time(nullptr));
    char suffix[16];
    snprintf(suffix, sizeof suffix, "%06x", tag & 0xFFFFFF);
    const std::string path = folder + "/.~" + base + "." + suffix;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      // Refused in the folder: the folder is what is locked, not the document.
      if (errno == EACCES || errno == EPERM) return vLckdErr;
      return LastError();
    }
    // Locked before anything is written. Another save's clean-up may have taken it
    // between the open and the lock: then the name is gone and we start again.
    struct stat mine, there;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &mine) != 0 ||
        lstat(path.c_str(), &there) != 0 || mine.st_ino != there.st_ino ||
        mine.st_dev != there.st_dev) {
      close(fd);
      continue;
    }
    lock_ = dup(fd);  // the caller closes refNum before Commit; the lock stays with us
    if (lock_ < 0) {
      const OSErr err = LastError();
      unlink(path.c_str());
      close(fd);
      return err;
    }
    temp_.path = path;
    if (hadTarget_) fchmod(fd, mode_);
    refNum = fd;
    return noErr;
  }
  return dupFNErr;
}

OSErr SafeSave::Commit(bool durable) {
  if (temp_.empty()) return fnfErr;
  if (gFaultsOn && gFaults.renameErrno != 0) return ErrnoToOSErr(gFaults.renameErrno);
  if (rename(temp_.path.c_str(), target_.path.c_str()) != 0) return LastError();
  committed_ = true;
  Release();
  if (gFlushToDisk && durable) {
    const int dir = open(FolderOf(target_.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      fsync(dir);  // some file systems cannot; the data itself is on disk already
      close(dir);
    }
  }
  return noErr;
}
