#!/usr/bin/env python3
"""Makes a large release for bench/run.sh from a release folder: a copy of it
with extra files of pseudo-random bytes (so that nothing along the way can
shrink them) in the folder BigData and one manifest line each.

    make_big_release.py SOURCE_RELEASE OUT_DIR TOTAL_MB [FILE_MB]

TOTAL_MB is the size of the whole release in megabytes (10^6 bytes); the
extra files are FILE_MB each (200), the last one smaller. For example
    make_big_release.py build/win/release /tmp/big450 450
    TAVIX_RELEASE_DIR=/tmp/big450 bench/run.sh
"""
import os
import random
import shutil
import sys

if len(sys.argv) not in (4, 5):
    sys.exit(__doc__)
source, out, total_mb = sys.argv[1], sys.argv[2], float(sys.argv[3])
file_mb = float(sys.argv[4]) if len(sys.argv) == 5 else 200.0
if os.path.exists(out):
    sys.exit("%s exists; remove it first" % out)
shutil.copytree(source, out)

have = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out) for f in fs)
missing = int(total_mb * 1e6) - have
os.makedirs(os.path.join(out, "BigData"))
with open(os.path.join(out, "Setup.log"), "rb") as f:
    manifest = f.read()
lines = []
rng = random.Random(12)
chunk = 1 << 20
k = 0
while missing > 0:
    k += 1
    size = min(missing, int(file_mb * 1e6))
    name = "blob%02d.bin" % k
    with open(os.path.join(out, "BigData", name), "wb") as f:
        left = size
        while left > 0:
            n = min(chunk, left)
            f.write(rng.randbytes(n))
            left -= n
    lines.append(b"BigData%02d bigdata BigData\\%s" % (k, name.encode()))
    missing -= size
# The manifest's last line has no line end: the new lines follow it after one.
manifest = manifest.rstrip(b"\r\n") + b"\r\n" + b"\r\n".join(lines)
with open(os.path.join(out, "Setup.log"), "wb") as f:
    f.write(manifest)
print("%s: %d extra files, %.1f MB in all" % (
    out, k, sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out) for f in fs) / 1e6))
