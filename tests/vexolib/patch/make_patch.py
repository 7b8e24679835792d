#!/usr/bin/env python3
"""Makes binary patches of the two-value kinds ("QSUFDIFF", "BSDIFF30") with Python's bz2,
independently of the framework, for the patch tests.

  make_patch.py KIND OLD NEW PATCH [SEGMENT]

The patch is a 32-byte header (magic, control length, diff length, new size; each number 8
bytes, little-endian magnitude with the sign in the top bit of the last byte), then the
control block and the diff block, each one bzip2 stream; no extra block, and the file ends
with the diff block. The control block is a run of (diff length, seek) tuples; the seek
moves the old position before the tuple's diff bytes, which are the new bytes minus the old
bytes at the same offsets (where the old file has them), modulo 256.

NEW is cut into pieces of SEGMENT bytes (default 4096); each piece is placed over the old
file where an equal 32-byte run is found (so seeks go back and forth), else at the old
file's start, which also puts parts of pieces before the start or past the end of OLD.
"""
import bz2
import sys

MAGICS = ("QSUFDIFF", "BSDIFF30")


def offset(value):
    magnitude = abs(value)
    data = bytearray(magnitude.to_bytes(8, "little"))
    if value < 0:
        data[7] |= 0x80
    return bytes(data)


def place(old, index, piece):
    """Where in OLD the piece starts best: at a match of its first 32 bytes, else 0."""
    key = bytes(piece[:32])
    if len(key) == 32 and key in index:
        return index[key]
    return 0


def make(kind, old, new, segment):
    index = {}
    for at in range(0, max(0, len(old) - 31), 16):
        index.setdefault(bytes(old[at:at + 32]), at)
    control = bytearray()
    diff = bytearray()
    old_position = 0
    for start in range(0, len(new), segment):
        piece = new[start:start + segment]
        target = place(old, index, piece)
        # Every third piece that found no match starts before the old file, to cover bytes
        # whose old counterpart does not exist.
        if target == 0 and (start // segment) % 3 == 2:
            target = -len(piece) // 2
        control += offset(len(piece)) + offset(target - old_position)
        for k, byte in enumerate(piece):
            at = target + k
            base = old[at] if 0 <= at < len(old) else 0
            diff.append((byte - base) % 256)
        old_position = target + len(piece)
    control_block = bz2.compress(bytes(control))
    diff_block = bz2.compress(bytes(diff))
    header = (kind.encode("ascii") + offset(len(control_block)) + offset(len(diff_block)) +
              offset(len(new)))
    return header + control_block + diff_block


def main(argv):
    kind = argv[1]
    if kind not in MAGICS:
        sys.exit("kind must be one of " + ", ".join(MAGICS))
    with open(argv[2], "rb") as f:
        old = f.read()
    with open(argv[3], "rb") as f:
        new = f.read()
    segment = int(argv[5]) if len(argv) > 5 else 4096
    with open(argv[4], "wb") as f:
        f.write(make(kind, old, new, segment))


if __name__ == "__main__":
    main(sys.argv)
