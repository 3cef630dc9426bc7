#!/usr/bin/env python3
"""The size of the setup and the time to build it, against NSIS: writes our
setup of a release with the release writer (its default level) and NSIS
installers of the same release with makensis (zlib, LZMA file by file, LZMA
solid), one after the other on this host, and appends to the result file

    size_ours_bytes N    build_ours_s S    payload_ours_bytes N (the payload as written)
    size_nsis_<kind>_bytes N    build_nsis_<kind>_s S

    size_build.py WRITER PROGRAM.exe RELEASE_DIR OUT_DIR RESULTS [WRITER_OPTION...]

No Wine runs: both tools are programs of this host."""
import os
import subprocess
import sys
import time

import pefile

if len(sys.argv) < 6:
    sys.exit(__doc__)
writer, program, release, out, results = sys.argv[1:6]
extra = sys.argv[6:]
here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(out, exist_ok=True)
lines = []


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def payload(exe):
    """The bytes of the items and blocks a setup carries, as written."""
    pe = pefile.PE(exe, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    total = 0
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rname in rtype.directory.entries:
            for lang in rname.directory.entries:
                if rtype.name is not None or (rtype.id == 10 and rname.name is None and rname.id >= 7002):
                    total += lang.data.struct.Size
    return total


ours = os.path.join(out, "ours_setup.exe")
seconds = timed([writer, program, release, "-o", ours, "--quiet"] + extra)
lines += ["size_ours_bytes %d" % os.path.getsize(ours), "build_ours_s %.2f" % seconds,
          "payload_ours_bytes %d" % payload(ours)]
for kind in ("zlib", "lzma", "lzma-solid"):
    nsi, exe = os.path.join(out, "nsis_%s.nsi" % kind), os.path.join(out, "nsis_%s.exe" % kind)
    subprocess.run([sys.executable, os.path.join(here, "make_nsis.py"), release, nsi, exe, "--compressor", kind],
                   check=True)
    seconds = timed(["makensis", "-V1", nsi])
    lines += ["size_nsis_%s_bytes %d" % (kind, os.path.getsize(exe)), "build_nsis_%s_s %.2f" % (kind, seconds)]
with open(results, "a") as f:
    f.write("\n".join(lines) + "\n")
print("\n".join(lines))
