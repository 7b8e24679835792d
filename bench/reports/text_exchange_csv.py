#!/usr/bin/env python3
"""Times Python's csv module on a file the text export wrote, as the yardstick of the text
exchange benchmark: csv.reader reading the whole file into rows, and csv.writer writing
those rows to a file beside it (default dialect: comma, quoted when needed, CR LF).
Prints the mean milliseconds of each over the runs: "reader <ms> writer <ms>"."""
import csv
import os
import sys
import time


def main():
    path, runs = sys.argv[1], int(sys.argv[2])
    copy = path + ".python.csv"

    def read():
        with open(path, newline="", encoding="utf-8") as f:
            return list(csv.reader(f))

    rows = read()

    def write():
        with open(copy, "w", newline="", encoding="utf-8") as f:
            csv.writer(f).writerows(rows)

    results = []
    for task in (read, write):
        task()  # warm the file cache and the interpreter
        start = time.perf_counter()
        for _ in range(runs):
            task()
        results.append((time.perf_counter() - start) * 1000 / runs)
    os.remove(copy)
    print("reader %.4f writer %.4f" % tuple(results))


if __name__ == "__main__":
    main()
