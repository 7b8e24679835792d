#!/usr/bin/python3
"""Installs the build into a throw-away folder (as `make install DESTDIR=...` does) and
reads the installed program's dynamic section with readelf: its run path must name the
installed lib folder and nothing else, and the framework library must be there."""
import os
import subprocess
import sys
import tempfile

build = sys.argv[1]


def run_paths(binary):
    """The RUNPATH and RPATH entries of binary's dynamic section (readelf)."""
    dynamic = subprocess.run(["readelf", "-d", binary], check=True, capture_output=True,
                             text=True).stdout
    return [line.split("[", 1)[1].rsplit("]", 1)[0] for line in dynamic.splitlines()
            if "(RUNPATH)" in line or "(RPATH)" in line]


prefix = "/opt/marktally-check"
with tempfile.TemporaryDirectory(prefix="mt-install-") as dest:
    env = dict(os.environ, DESTDIR=dest)
    subprocess.run(["cmake", "--install", build, "--prefix", prefix], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    root = dest + prefix
    paths = run_paths(os.path.join(root, "bin", "marktally"))
    failures = []
    if paths != ["$ORIGIN/../lib"]:
        failures.append("run path of the installed program: %r" % paths)
    if not os.path.isfile(os.path.join(root, "lib", "libvexokit.so.1")):
        failures.append("lib/libvexokit.so.1 is not installed")
    for name in ("share/doc/marktally/users-guide.html", "share/mime/packages/marktally.xml",
                 "share/applications/marktally.desktop"):
        if not os.path.isfile(os.path.join(root, name)):
            failures.append(name + " is not installed")
    # The build tree finds its own framework, and never looks in the current folder (an
    # empty entry).
    built_paths = run_paths(os.path.join(build, "marktally/shell/marktally"))
    if built_paths != ["$ORIGIN/../../src/vexolib"]:
        failures.append("run path of the built program: %r" % built_paths)
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)
