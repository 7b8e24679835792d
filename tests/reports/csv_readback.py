#!/usr/bin/env python3
"""Reads an exported text file with Python's csv module, as a spreadsheet user's script
would: Mac Roman text, tab-delimited (never quoted) or comma-separated (quoted).
Prints one line per row, each field as '.' followed by its UTF-8 bytes in hex."""
import csv
import sys


def main():
    path, kind = sys.argv[1], sys.argv[2]
    with open(path, newline="", encoding="mac_roman") as f:
        if kind == "tab":
            reader = csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
        else:
            reader = csv.reader(f, delimiter=",", quotechar='"', doublequote=True,
                                strict=True)
        for row in reader:
            print(" ".join("." + field.encode("utf-8").hex() for field in row))


if __name__ == "__main__":
    main()
