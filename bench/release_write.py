#!/usr/bin/env python3
"""The release writer against a plain copy of the release folder's bytes, at
several release sizes: medians of the time, run alternately in one session,
their ratio, and the writer's peak memory. On the host, no Wine.

    bench/release_write.py [SIZE_MB ...]        (default: 45 450 1200)

SIZE_MB 45 (or less) is the sample release itself; larger releases are made
from it by make_big_release.py in build/bench/releases and removed after
their row. Environment: TAVIX_BENCH_RUNS, rounds at each size (default 5).
Uses the writer and the program of build/win (scripts/build.sh makes them).
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIN = os.path.join(ROOT, "build", "win")
WRITER = os.path.join(WIN, "host-tools", "tools", "release_writer")
PROGRAM = os.path.join(WIN, "program", "TavixSetup.exe")
SAMPLE = os.path.join(WIN, "release")
WORK = os.path.join(ROOT, "build", "bench", "releases")


def folder_bytes(path):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(path) for f in fs)


def timed(args):
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def peak_kb(args):
    out = os.path.join(WORK, "peak.txt")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out] + args, check=True, stdout=subprocess.DEVNULL)
    with open(out) as f:
        return int(f.read().split()[-1])


def row(size_mb, runs):
    release = SAMPLE
    if size_mb > 46:
        release = os.path.join(WORK, "release-%d" % size_mb)
        shutil.rmtree(release, ignore_errors=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_big_release.py"), SAMPLE, release,
                        str(size_mb)], check=True, stdout=subprocess.DEVNULL)
    copy, setup = os.path.join(WORK, "copy"), os.path.join(WORK, "TavixSetup.exe")
    write = [WRITER, PROGRAM, release, "-o", setup, "--quiet"]
    copies, writes = [], []
    try:
        for i in range(runs):
            # Alternately, the order swapped every round.
            for what in (("copy", "write") if i % 2 == 0 else ("write", "copy")):
                if what == "copy":
                    shutil.rmtree(copy, ignore_errors=True)
                    copies.append(timed(["cp", "-r", release, copy]))
                    shutil.rmtree(copy)
                else:
                    writes.append(timed(write))
                    os.remove(setup)
        peak = peak_kb(write)
        os.remove(setup)
        return folder_bytes(release), statistics.median(copies), statistics.median(writes), peak
    finally:
        shutil.rmtree(copy, ignore_errors=True)
        if release != SAMPLE:
            shutil.rmtree(release, ignore_errors=True)


def main():
    sizes = [float(s) for s in sys.argv[1:]] or [45, 450, 1200]
    runs = int(os.environ.get("TAVIX_BENCH_RUNS", "5"))
    for path in (WRITER, PROGRAM, SAMPLE):
        if not os.path.exists(path):
            sys.exit("%s is missing: run scripts/build.sh first" % path)
    os.makedirs(WORK, exist_ok=True)
    print("release writer against a plain copy (cp -r) of the release, median of %d rounds each" % runs)
    print("%12s %12s %12s %12s %16s" % ("release", "copy", "writer", "writer/copy", "writer peak"))
    for size in sizes:
        total, copy, write, peak = row(size, runs)
        print("%9.0f MB %10.3f s %10.3f s %11.2fx %13.1f MB" % (total / 1e6, copy, write, write / copy, peak / 1024),
              flush=True)


if __name__ == "__main__":
    main()
