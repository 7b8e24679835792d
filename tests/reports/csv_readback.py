#!/usr/bin/env python3
"""Reads an exported text file with Python's csv module as a spreadsheet user's script
would, told nothing but the delimiter: UTF-8 (a byte-order mark would stay in the first
field), any line ends, tab-delimited (never quoted) or comma-separated (quoted).
An optional third argument names another encoding (the TeacherWeb file keeps Mac Roman).
Prints one line per row, each field as '.' followed by its UTF-8 bytes in hex."""
import csv
import sys


def main():
    path, kind = sys.argv[1], sys.argv[2]
    encoding = sys.argv[3] if len(sys.argv) > 3 else "utf-8"
    with open(path, newline="", encoding=encoding) as f:
        if kind == "tab":
            reader = csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
        else:
            reader = csv.reader(f, strict=True)
        for row in reader:
            print(" ".join("." + field.encode("utf-8").hex() for field in row))


if __name__ == "__main__":
    main()
