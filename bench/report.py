#!/usr/bin/env python3
"""Prints the benchmark table from the figures run.sh collected: medians of
each side, their ratio, and the target the ratio is held against."""
import argparse
import os
import statistics
import struct

ap = argparse.ArgumentParser()
ap.add_argument("--results", required=True)
ap.add_argument("--memory", required=True)
ap.add_argument("--release", required=True)
ap.add_argument("--setup", required=True, help="the setup whose file size is compared (the 32-bit one)")
ap.add_argument("--setup-release", help="the release that setup carries, when not --release")
ap.add_argument("--ran", help="the setup that was run, when another build (the 64-bit one)")
ap.add_argument("--nsis", required=True)
ap.add_argument("--nsis-nocrc", help="the NSIS installer made with CRCCheck off")
ap.add_argument("--nsis-not-run", metavar="WHY", help="NSIS was not run on this host, for this reason")
args = ap.parse_args()
NOT_RUN = "not run on this host"

PAUSE_MS, HANDOVER_MS = 50, 1000  # the installation's pause per item and its hand-over timer

values = {}
if os.path.exists(args.results):  # a run of phases that record nothing leaves none
    with open(args.results) as f:
        for line in f:
            name, value = line.split()
            values.setdefault(name, []).append(float(value))

memory = {}  # label (ours, nsis) -> list of (peak RssAnon, peak VmRSS, VmHWM) in KB, one per process
if os.path.exists(args.memory):
    with open(args.memory) as f:
        for line in f:
            name, _pid, anon, rss, hwm, _n = line.split()
            memory.setdefault(name, []).append((int(anon), int(rss), int(hwm)))


def manifest_files(release):
    with open(os.path.join(release, "Setup.log"), "rb") as f:
        text = f.read().split(b"\0")[0]
    lines = [l for l in text.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")]
    if lines and lines[-1] == b"":
        lines.pop()
    return [l.split(b" ", 2)[2].decode("gbk").replace("\\", "/") for l in lines]


def sections(exe):
    """(name, raw size) of each section of a PE file."""
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    opt = struct.unpack_from("<H", data, pe + 20)[0]
    first = pe + 24 + opt
    out = []
    for i in range(count):
        raw = data[first + 40 * i:first + 40 * i + 40]
        out.append((raw[:8].rstrip(b"\0").decode(), struct.unpack_from("<I", raw, 16)[0]))
    return out


def written_payload(exe):
    """The bytes of the items and compressed blocks a setup carries as
    written: every resource of a named type, and RT_RCDATA 7002 on."""
    with open(exe, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    dirs = pe + 24 + (96 if magic == 0x10B else 112)
    rva = struct.unpack_from("<I", data, dirs + 8 * 2)[0]
    secs = [struct.unpack_from("<IIII", data, pe + 24 + opt_size + 40 * i + 8) for i in range(count)]

    def offset(at):
        for vsize, vaddr, _raw, ptr in secs:
            if vaddr <= at < vaddr + max(vsize, 1):
                return at - vaddr + ptr
        raise ValueError("an address outside the sections")

    root = offset(rva)

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, at + 16 + 8 * i)
            yield name, target

    total = 0
    for tname, tdir in entries(root):
        for nname, ndir in entries(root + (tdir & 0x7FFFFFFF)):
            for _lang, leaf in entries(root + (ndir & 0x7FFFFFFF)):
                size = struct.unpack_from("<I", data, root + leaf + 4)[0]
                if tname & 0x80000000 or (tname == 10 and not nname & 0x80000000 and nname >= 7002):
                    total += size
    return total


def med(name):
    v = values.get(name)
    return statistics.median(v) if v else None


def paired(a, b):
    """Median of the per-round ratios a/b: each round runs one of each side in
    turn, so a slow spell of the shared machine weighs on both sides of a pair."""
    pairs = list(zip(values.get(a, []), values.get(b, [])))
    return statistics.median(x / y for x, y in pairs) if pairs else None


def payload_bytes(release):
    return sum(os.path.getsize(os.path.join(release, p)) for p in manifest_files(release))


files = manifest_files(args.release)
payload = payload_bytes(args.release)
mb = payload / 1e6
rows = []  # (measure, ours, reference, ratio, target text, met)


def row(measure, ours, ref, unit, fmt, ratio, target, met, runs):
    rows.append((measure, (fmt % ours) + unit, (fmt % ref) + unit, "%.2f" % ratio, target,
                 "yes" if met else "NO", runs))


def count(*names):
    return "/".join(str(len(values.get(n, []))) for n in names)


def nsis_not_run(measure, ours, unit, fmt, target, *names):
    """A row against NSIS on a host where NSIS does not run."""
    if args.nsis_not_run:
        rows.append((measure, (fmt % ours) + unit if ours else "-", NOT_RUN, "-", target, "-", count(*names)))


ext, copy = med("extract_ms"), med("copy_ms")
if ext and copy:
    r = paired("copy_ms", "extract_ms")
    row("extraction throughput vs Windows-level copy (in-process)", mb / ext * 1000, mb / copy * 1000, " MB/s",
        "%.0f", r, ">= 0.95", r >= 0.95, count("extract_ms", "copy_ms"))
unchecked = med("extract_unchecked_ms")
if ext and unchecked:
    r = paired("extract_unchecked_ms", "extract_ms")
    row("extraction throughput with the checksum check vs without", mb / ext * 1000, mb / unchecked * 1000, " MB/s",
        "%.0f", r, ">= 0.90", r >= 0.9, count("extract_ms", "extract_unchecked_ms"))
ext_wall, nsis_wall = med("extract_wall_ms"), med("nsis_silent_wall_ms")
if ext_wall and nsis_wall:
    r = paired("nsis_silent_wall_ms", "extract_wall_ms")
    row("extraction throughput vs NSIS /S (process start to exit)", mb / ext_wall * 1000, mb / nsis_wall * 1000,
        " MB/s", "%.0f", r, ">= 2.00", r >= 2.0, count("extract_wall_ms", "nsis_silent_wall_ms"))
elif ext_wall:
    nsis_not_run("extraction throughput vs NSIS /S (process start to exit)", mb / ext_wall * 1000, " MB/s", "%.0f",
                 ">= 2.00", "extract_wall_ms")
fw_ours, fw_nsis = med("first_window_ours_ms"), med("first_window_nsis_ms")
if fw_ours and fw_nsis:
    r = paired("first_window_ours_ms", "first_window_nsis_ms")
    row("start to first visible window", fw_ours, fw_nsis, " ms", "%.0f", r, "<= 0.60", r <= 0.6,
        count("first_window_ours_ms", "first_window_nsis_ms"))
elif fw_ours:
    nsis_not_run("start to first visible window", fw_ours, " ms", "%.0f", "<= 0.60", "first_window_ours_ms")
fw_passive = med("first_window_passive_ms")
if fw_ours and fw_passive:
    r = paired("first_window_passive_ms", "first_window_ours_ms")
    row("start to first visible window, /PASSIVE vs the wizard's start", fw_passive, fw_ours, " ms", "%.0f", r,
        "<= 1.00", r <= 1.0, count("first_window_passive_ms", "first_window_ours_ms"))
if fw_passive and fw_nsis:
    r = paired("first_window_passive_ms", "first_window_nsis_ms")
    row("start to first visible window, /PASSIVE vs NSIS", fw_passive, fw_nsis, " ms", "%.0f", r, "<= 0.60",
        r <= 0.6, count("first_window_passive_ms", "first_window_nsis_ms"))
fw_nocrc = med("first_window_nsis_nocrc_ms")
if fw_ours and fw_nocrc:
    r = paired("first_window_ours_ms", "first_window_nsis_nocrc_ms")
    row("start to first visible window vs NSIS with CRCCheck off", fw_ours, fw_nocrc, " ms", "%.0f", r, "< 1.00",
        r < 1.0, count("first_window_ours_ms", "first_window_nsis_nocrc_ms"))
elif fw_ours:
    nsis_not_run("start to first visible window vs NSIS with CRCCheck off", fw_ours, " ms", "%.0f", "< 1.00",
                 "first_window_ours_ms")
silent, silent_copy, silent_nsis = med("silent_ours_wall_ms"), med("silent_copy_wall_ms"), med("silent_nsis_wall_ms")
if silent and silent_copy:
    r = paired("silent_ours_wall_ms", "silent_copy_wall_ms")
    row("silent installation /S vs Windows-level copy (process start to exit)", silent, silent_copy, " ms", "%.0f",
        r, "<= 1.30", r <= 1.3, count("silent_ours_wall_ms", "silent_copy_wall_ms"))
uninst, uninst_del = med("uninstall_ours_wall_ms"), med("uninstall_delete_wall_ms")
if uninst and uninst_del:
    r = paired("uninstall_ours_wall_ms", "uninstall_delete_wall_ms")
    row("uninstall /S vs Windows-level delete of the same tree (start until the folder is gone)", uninst,
        uninst_del, " ms", "%.0f", r, "<= 1.50", r <= 1.5, count("uninstall_ours_wall_ms", "uninstall_delete_wall_ms"))
if silent and silent_nsis:
    r = paired("silent_ours_wall_ms", "silent_nsis_wall_ms")
    row("silent installation /S vs NSIS /S (process start to exit)", silent, silent_nsis, " ms", "%.0f", r,
        "<= 0.50", r <= 0.5, count("silent_ours_wall_ms", "silent_nsis_wall_ms"))
elif silent:
    nsis_not_run("silent installation /S vs NSIS /S (process start to exit)", silent, " ms", "%.0f", "<= 0.50",
                 "silent_ours_wall_ms")
size_ours = med("size_ours_bytes")
for kind, label, target, limit in (("lzma", "LZMA file by file", "<= 1.00", 1.0),
                                   ("lzma-solid", "LZMA solid", "<= 1.15", 1.15), ("zlib", "zlib", "-", None)):
    nsis_size = med("size_nsis_%s_bytes" % kind)
    if size_ours and nsis_size:
        r = size_ours / nsis_size
        row("setup size vs NSIS %s" % label, size_ours / 1e6, nsis_size / 1e6, " MB", "%.1f", r, target,
            limit is None or r <= limit, "1/1")
    nsis_build, build = med("build_nsis_%s_s" % kind), med("build_ours_s")
    if build and nsis_build:
        r = build / nsis_build
        row("build time vs makensis, %s" % label, build, nsis_build, " s", "%.1f", r, "-", True, "1/1")
# The executable's overhead: its file less the payload it carries as written
# (stored items and compressed blocks), against NSIS's uncompressed installer.
over_ours = os.path.getsize(args.setup) - written_payload(args.setup)
over_nsis = os.path.getsize(args.nsis) - payload
row("executable overhead over its payload (<= 900 KB)", over_ours / 1024, over_nsis / 1024, " KB", "%.0f",
    over_ours / over_nsis, "<= 900 KB", over_ours <= 900 * 1024, "1/1")
if memory.get("ours") and memory.get("nsis"):
    ours = statistics.median(m[0] for m in memory["ours"])
    nsis = statistics.median(m[0] for m in memory["nsis"])
    r = ours / nsis
    row("peak private memory during an installation (RssAnon)", ours / 1024, nsis / 1024, " MB", "%.1f", r,
        "<= 1.00", r <= 1.0, "%d/%d" % (len(memory["ours"]), len(memory["nsis"])))
elif memory.get("ours"):
    nsis_not_run("peak private memory during an installation (RssAnon)",
                 statistics.median(m[0] for m in memory["ours"]) / 1024, " MB", "%.1f", "<= 1.00")
if memory.get("ours"):
    peak = max(m[0] for m in memory["ours"]) / 1024
    rows.append(("peak private memory of the setup during an installation (RssAnon, highest)", "%.1f MB" % peak,
                 "32 MB", "%.2f" % (peak / 32), "<= 32 MB", "yes" if peak <= 32 else "NO", str(len(memory["ours"]))))
winmem = values.get("winmem_ours_peak_pagefile_kb")
if winmem:
    peak = max(winmem) / 1024
    rows.append(("peak private memory of the setup, as Windows reports it (PeakPagefileUsage)", "%.1f MB" % peak,
                 "32 MB", "%.2f" % (peak / 32), "<= 32 MB", "yes" if peak <= 32 else "NO", str(len(winmem))))
inst = med("install_ours_ms")
floor = len(files) * PAUSE_MS + HANDOVER_MS
if inst:
    r = inst / floor
    row("full wizard installation vs pacing floor", inst, floor, " ms", "%.0f", r, "<= 1.10", r <= 1.1,
        count("install_ours_ms") + "/-")

head = ("measure", "ours", "reference", "ratio", "target", "met", "runs")
widths = [max(len(str(x[i])) for x in rows + [head]) for i in range(len(head))]
line = "  ".join("%-*s" % (w, h) for w, h in zip(widths, head))
print(line)
print("-" * len(line))
for x in rows:
    print("  ".join("%-*s" % (w, v) for w, v in zip(widths, x)))

print()
if args.ran:
    print("measured: %s, not the setup itself; its file size above is that of %s" % (args.ran, args.setup))
if args.nsis_not_run:
    print("NSIS: %s, since %s; its installers are 32-bit programs" % (NOT_RUN, args.nsis_not_run))
print("release: %d files, %.1f MB. ours and reference: medians over the rounds; each round runs one of each in turn."
      % (len(files), mb))
print("ratio: ours / reference (throughput: ours' MB/s / reference's MB/s); for timed pairs the median of the "
      "per-round ratios, otherwise the ratio of the medians")
print("pacing floor: %d manifest entries x %d ms + %d ms hand-over" % (len(files), PAUSE_MS, HANDOVER_MS))
for name in ("copy_wall_ms", "first_window_floor_ms", "first_window_nsis_nocrc_ms", "install_nsis_ms"):
    if name in values:
        print("%s: median %.0f ms (%s)" % (name, med(name), ", ".join("%.0f" % v for v in values[name])))
for name in sorted(values):
    if name.endswith("_ms") and not name.startswith("steps_"):
        print("  runs %s: %s" % (name, ", ".join("%.1f" % v for v in values[name])))
steps = [n for n in values if n.startswith("steps_")]
if steps:
    print("one installation watched by the e2e probe, from Next to the finish page (ms): " + ", ".join(
        "%s %.0f" % (n[6:-3], values[n][0]) for n in steps))
for exe, ms in sorted(memory.items()):
    print("  Linux-side peaks of %s per process (RssAnon / VmRSS / VmHWM, MB): %s" % (
        exe, "; ".join("%.1f / %.1f / %.1f" % (a / 1024, b / 1024, c / 1024) for a, b, c in ms)))
for name in sorted(values):
    if name.startswith("winmem_"):
        print("  Windows-reported %s (MB): %s" % (name[7:], ", ".join("%.1f" % (v / 1024) for v in values[name])))
for label, exe in (("ours", args.setup), ("NSIS", args.nsis)):
    print("  sections of %s (raw KB): %s" % (label, ", ".join(
        "%s %.1f" % (n, s / 1024) for n, s in sections(exe))))
