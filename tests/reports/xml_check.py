#!/usr/bin/env python3
"""Reads an exported XML file with Python's xml.etree, as a school service's importer
would, and compares what it finds with a list of expectations.

Each line of the expectations file is three tab-separated fields:
  path  what  value
path is an ElementTree path from the root ("." for the root itself), what is "text"
(the element's text), "@name" (an attribute) or "count" (how many elements the path
finds), and value is the expected text as UTF-8 in hex (count: a decimal number).
Every mismatch is printed; the exit status is 1 when there was one."""
import sys
import xml.etree.ElementTree as ET


def main():
    path, expectations = sys.argv[1], sys.argv[2]
    root = ET.parse(path).getroot()
    failures = 0
    with open(expectations, encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            where, what, value = line.split("\t")
            found = root.findall(where) if where != "." else [root]
            if what == "count":
                got, want = str(len(found)), value
            else:
                want = bytes.fromhex(value).decode("utf-8")
                if not found:
                    print(f"{where}: no such element")
                    failures += 1
                    continue
                node = found[0]
                got = (node.text or "") if what == "text" else node.get(what[1:])
            if got != want:
                print(f"{where} {what}: got {got!r}, want {want!r}")
                failures += 1
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
