// Result codes of the program: the file codes the error alert explains, the document's
// own codes, and the one table from the system's errno to them.
#pragma once

#include <cstdint>

using OSErr = int16_t;

// The negative ones keep the values the program has always used; errno values reach them
// through ErrnoToOSErr.
constexpr OSErr noErr = 0;
constexpr OSErr dirFulErr = -33;
constexpr OSErr dskFulErr = -34;
constexpr OSErr nsvErr = -35;
constexpr OSErr ioErr = -36;
constexpr OSErr bdNamErr = -37;
constexpr OSErr eofErr = -39;
constexpr OSErr tmfoErr = -42;
constexpr OSErr fnfErr = -43;
constexpr OSErr wPrErr = -44;
constexpr OSErr fLckdErr = -45;
constexpr OSErr vLckdErr = -46;
constexpr OSErr dupFNErr = -48;
constexpr OSErr paramErr = -50;
constexpr OSErr wrPermErr = -61;
// The document's own codes.
constexpr OSErr kNewerVersionErr = 906;
constexpr OSErr kOlderVersionErr = 907;
constexpr OSErr kSaveFailedErr = 908;
constexpr OSErr kDamagedErr = 909;
// errno values without a row of their own become kErrnoBase - errno, so they can never
// meet a code above nor the document codes.
constexpr int kErrnoBase = -1000;

OSErr ErrnoToOSErr(int error);
