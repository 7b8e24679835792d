#!/usr/bin/env python3
"""Reference results from Python's zlib for the framework's compression tests.

  compress LEVEL SRC DST   write zlib.compress(SRC bytes, LEVEL) to DST
  decompress SRC DST       write zlib.decompress(SRC bytes) to DST
  crc32 FILE...            print each file's zlib.crc32 as 8 hex digits, one per line
"""
import sys
import zlib


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    command = argv[1]
    if command == "compress":
        write(argv[4], zlib.compress(read(argv[3]), int(argv[2])))
    elif command == "decompress":
        write(argv[3], zlib.decompress(read(argv[2])))
    elif command == "crc32":
        for path in argv[2:]:
            print("%08x" % zlib.crc32(read(path)))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
