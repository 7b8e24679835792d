#!/usr/bin/env python3
"""Keeps the program's layers pointing one way.

common, model <- toolbox <- reports <- shell: a folder includes its own headers and those
of the folders below it, never one above. Only the toolbox includes Qt, the framework
(src/vexolib, include/vexokit) includes nothing of the program, and each library's CMake
target links only libraries below it, so no cycle can come back through the link line.

Run with the source root: include_layers.py ROOT. With --self-test it first checks that
it does catch an upward include, Qt outside the toolbox and an upward link.
"""

import argparse
import os
import re
import sys
import tempfile

# What each folder may include (its own name included).
ALLOWED = {
    "marktally/common": {"common"},
    "marktally/model": {"common", "model"},
    "marktally/toolbox": {"common", "toolbox"},
    "marktally/reports": {"common", "model", "toolbox", "reports"},
    "marktally/shell": {"common", "model", "toolbox", "reports", "shell"},
    "src/vexolib": set(),
    "include/vexokit": set(),
}
QT_ALLOWED = {"marktally/toolbox"}
LIBRARY = {"common": "mtcommon", "model": "mtmodel", "toolbox": "mttoolbox",
           "reports": "mtreports", "shell": "mtshell"}
# The libraries each may link, by the same rule.
LINKS = {lib: {LIBRARY[d] for d in ALLOWED["marktally/" + folder] if d != folder}
         for folder, lib in LIBRARY.items()}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCE = re.compile(r"\.(h|hpp|c|cc|cpp)$")


def program_folder(root, path):
    """The program folder (common, model, ...) a quoted include names, or None."""
    if path.startswith("marktally/"):
        parts = path.split("/")
        return parts[1] if len(parts) > 2 else None
    return None


def include_faults(root):
    faults = []
    for folder, allowed in ALLOWED.items():
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                if not SOURCE.search(name):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for line_no, (kind, target) in lines_of(text):
                    where = f"{rel}:{line_no}"
                    if kind == "<" and re.match(r"Q[A-Za-z]*(/|$)", target) and \
                            folder not in QT_ALLOWED:
                        faults.append(f"{where}: Qt header <{target}> outside the toolbox")
                        continue
                    if kind != '"':
                        continue
                    # A bare name is the folder's own header.
                    resolved = target
                    if "/" not in target or target.startswith("."):
                        resolved = os.path.normpath(
                            os.path.relpath(os.path.join(dirpath, target), root))
                    used = program_folder(root, resolved)
                    if used is not None and used not in allowed:
                        faults.append(f'{where}: includes "{target}", above {folder}')
    return faults


def lines_of(text):
    for m in INCLUDE.finditer(text):
        yield text.count("\n", 0, m.start()) + 1, (m.group(1), m.group(2))


def link_faults(root):
    faults = []
    call = re.compile(r"target_link_libraries\(\s*(\w+)([^)]*)\)", re.S)
    for folder, lib in LIBRARY.items():
        path = os.path.join(root, "marktally", folder, "CMakeLists.txt")
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for m in call.finditer(text):
            if m.group(1) != lib:
                continue
            for other in re.findall(r"\bmt\w+", m.group(2)):
                if other in LIBRARY.values() and other not in LINKS[lib]:
                    faults.append(f"marktally/{folder}/CMakeLists.txt: {lib} links {other}")
    return faults


def check(root):
    return include_faults(root) + link_faults(root)


def self_test():
    """Each row: a file written into an empty tree, and whether the check must fail."""
    rows = [
        ("marktally/reports/a.cpp", '#include "marktally/shell/window/window.h"\n', True),
        ("marktally/reports/a.h", '#include "marktally/model/tables.h"\n', False),
        ("marktally/model/a.cpp", '#include "marktally/toolbox/quickdraw.h"\n', True),
        ("marktally/model/a.h", '#include "tables.h"\n', False),
        ("marktally/toolbox/a.cpp", '#include "marktally/model/tables.h"\n', True),
        ("marktally/toolbox/a.cpp", "#include <QWidget>\n", False),
        ("marktally/reports/a.cpp", "#include <QtGui/QPainter>\n", True),
        ("marktally/common/a.cpp", '  #  include "marktally/reports/x.h"\n', True),
        ("src/vexolib/a.cpp", '#include "marktally/common/str.h"\n', True),
        ("marktally/shell/a.cpp", '#include "marktally/reports/pagination.h"\n', False),
        ("marktally/reports/CMakeLists.txt",
         "target_link_libraries(mtreports PUBLIC mtshell mttoolbox)\n", True),
        ("marktally/shell/CMakeLists.txt",
         "target_link_libraries(mtshell PUBLIC mtreports mttoolbox mtmodel)\n", False),
    ]
    failures = 0
    for path, text, must_fail in rows:
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
            found = check(root)
        if bool(found) != must_fail:
            failures += 1
            print(f"self-test: {path} {text.strip()!r}: expected "
                  f"{'a fault' if must_fail else 'none'}, got {found}", file=sys.stderr)
    return failures == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test and not self_test():
        return 1
    faults = check(args.root)
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
