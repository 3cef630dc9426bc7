#!/usr/bin/env python3
"""Compares the codecs the payload could use on a release: the size each
makes of the release's files taken as one stream (solid) and file by file,
and how fast one core decodes the stream, the best of three.

    codec_compare.py RELEASE_DIR

zstd runs as Debian's command-line program (-19, one worker thread, the same
8 MB window as the writer's default level); zlib (level 9, as NSIS's) and
LZMA (xz's preset 9, NSIS's LZMA with a 64 MB dictionary is of the same kind)
run in this process through Python's bindings of the same C libraries."""
import lzma
import os
import subprocess
import sys
import tempfile
import time
import zlib

if len(sys.argv) != 2:
    sys.exit(__doc__)
release = sys.argv[1]
with open(os.path.join(release, "Setup.log"), "rb") as f:
    lines = [l for l in f.read().replace(b"\r\n", b"\n").split(b"\n") if l]
files = [os.path.join(release, l.split(b" ", 2)[2].decode("gbk").replace("\\", "/")) for l in lines]
blobs = [open(p, "rb").read() for p in files]
stream = b"".join(blobs)
raw = len(stream)


def best(fn, runs=3):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


def zstd(data, *args):
    return subprocess.run(["zstd", "-q", "-c", "-19", "-T1"] + list(args), input=data, stdout=subprocess.PIPE,
                          check=True).stdout


rows = []
with tempfile.TemporaryDirectory() as tmp:
    start = time.perf_counter()
    z = zstd(stream)
    zstd_time = time.perf_counter() - start
    path = os.path.join(tmp, "s.zst")
    with open(path, "wb") as f:
        f.write(z)
    dec = best(lambda: subprocess.run(["zstd", "-q", "-d", "-c", path], stdout=subprocess.DEVNULL, check=True))
    per_file = sum(len(zstd(b)) for b in blobs)
    rows.append(("zstd -19", len(z), per_file, raw / dec / 1e6, zstd_time))

    start = time.perf_counter()
    c = zlib.compress(stream, 9)
    zlib_time = time.perf_counter() - start
    dec = best(lambda: zlib.decompress(c))
    per_file = sum(len(zlib.compress(b, 9)) for b in blobs)
    rows.append(("zlib -9", len(c), per_file, raw / dec / 1e6, zlib_time))

    start = time.perf_counter()
    x = lzma.compress(stream, format=lzma.FORMAT_ALONE, preset=9)
    lzma_time = time.perf_counter() - start
    dec = best(lambda: lzma.decompress(x, format=lzma.FORMAT_ALONE))
    per_file = sum(len(lzma.compress(b, format=lzma.FORMAT_ALONE, preset=9)) for b in blobs)
    rows.append(("LZMA -9", len(x), per_file, raw / dec / 1e6, lzma_time))

print("release: %s, %d files, %.1f MB" % (release, len(files), raw / 1e6))
print("%-10s %14s %8s %16s %8s %16s %14s" % ("codec", "solid (MB)", "ratio", "file by file (MB)", "ratio",
                                             "decode (MB/s)", "encode (s)"))
for name, solid, each, speed, enc in rows:
    print("%-10s %14.1f %8.3f %16.1f %8.3f %16.0f %14.1f" % (name, solid / 1e6, solid / raw, each / 1e6, each / raw,
                                                              speed, enc))
