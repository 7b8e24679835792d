#include "marktally/common/errors.h"

#include <cerrno>

namespace {

struct ErrnoRow {
  int error;
  OSErr code;
};

// The one road from the system's errors to the codes the alert explains.
const ErrnoRow kErrnoTable[] = {
    {ENOENT, fnfErr},      {ENOTDIR, fnfErr},    {EACCES, wrPermErr},
    {EPERM, wrPermErr},    {ETXTBSY, fLckdErr},  {EROFS, vLckdErr},
    {ENOSPC, dskFulErr},   {EDQUOT, dskFulErr},  {EMLINK, dirFulErr},
    {EIO, ioErr},          {ENXIO, nsvErr},      {ENODEV, nsvErr},
    {ENOMEDIUM, nsvErr},   {ENAMETOOLONG, bdNamErr}, {EEXIST, dupFNErr},
    {EMFILE, tmfoErr},     {ENFILE, tmfoErr},
};

}  // namespace

OSErr ErrnoToOSErr(int error) {
  for (const ErrnoRow& row : kErrnoTable)
    if (row.error == error) return row.code;
  const int e = error < 0 ? 0 : error > 30000 ? 30000 : error;
  return static_cast<OSErr>(kErrnoBase - e);
}
