#!/usr/bin/env python3
"""Samples the memory of Wine processes from the Linux side until stopped
(SIGTERM or SIGINT): sample_memory.py OUT LABEL=EXE...

Wine names each process after its executable (its comm) and shows the
executable's Windows path as its command line. A process is followed when
its comm is EXE's file name and its command line starts with EXE's path on
Wine's Z: drive, so processes of the same name run from elsewhere (another
checkout, another prefix) and short-lived forks (no command line of their
own yet) are left out. /proc/<pid>/status is read every few milliseconds and
the highest RssAnon (private resident memory) and VmRSS are kept, with the
kernel's own peak VmHWM. One line per process goes to OUT:
"label pid peak_rss_anon_kb peak_vm_rss_kb vm_hwm_kb samples"."""
import os
import signal
import sys
import time

out = sys.argv[1]
wanted = {}  # comm -> [(label, Windows path of the exe, lower case)]
for arg in sys.argv[2:]:
    label, _, exe = arg.partition("=")
    exe = os.path.abspath(exe)
    wanted.setdefault(os.path.basename(exe)[:15], []).append((label, ("z:" + exe.replace("/", "\\")).lower()))
stop = False


def on_signal(*_):
    global stop
    stop = True


signal.signal(signal.SIGTERM, on_signal)
signal.signal(signal.SIGINT, on_signal)

peaks = {}  # pid -> [name, rss_anon, vm_rss, vm_hwm, samples]
followed = {}  # pid -> name
last_scan = 0.0


def scan():
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in followed:
            continue
        try:
            with open("/proc/%s/comm" % entry) as f:
                comm = f.read().strip()
        except OSError:
            continue
        if comm not in wanted:
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                line = f.read().replace(b"\0", b" ").decode("utf-8", "replace").lstrip('"').lower()
        except OSError:
            continue
        for label, path in wanted[comm]:
            if line.startswith(path) and line[len(path):len(path) + 1] in ("", " ", '"'):
                followed[int(entry)] = label


def sample(pid, name):
    try:
        with open("/proc/%d/status" % pid) as f:
            text = f.read()
    except OSError:
        return False
    fields = {}
    for line in text.splitlines():
        key, _, rest = line.partition(":")
        if key in ("RssAnon", "VmRSS", "VmHWM"):
            fields[key] = int(rest.split()[0])
    if "VmRSS" not in fields:  # a zombie
        return False
    p = peaks.setdefault(pid, [name, 0, 0, 0, 0])
    p[1] = max(p[1], fields.get("RssAnon", 0))
    p[2] = max(p[2], fields["VmRSS"])
    p[3] = max(p[3], fields.get("VmHWM", 0))
    p[4] += 1
    return True


while not stop:
    now = time.monotonic()
    if now - last_scan > 0.05:
        scan()
        last_scan = now
    for pid, name in list(followed.items()):
        if not sample(pid, name):
            del followed[pid]
    time.sleep(0.005)

with open(out, "w") as f:
    for pid, (name, anon, rss, hwm, n) in sorted(peaks.items()):
        f.write("%s %d %d %d %d %d\n" % (name, pid, anon, rss, hwm, n))
