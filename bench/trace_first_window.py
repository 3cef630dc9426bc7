#!/usr/bin/env python3
"""Where the start of each program goes, from the log of the bench driver's
first_window_trace scenario (bench/run.sh with TAVIX_BENCH_PHASES=first_window_trace):

    trace_first_window.py LOG [WHO...]

For each program (ours, nsis, nsis_nocrc, floor; all when none is named) it
prints, per event of its start, the median time from the launch (the
driver's CreateProcess) and the median stretch since the event before:
the first line Wine traces for the new process, each DLL loaded, each call
of the relay list and its return, and the first visible window. Events are
matched by name and order across the runs (the n-th call of a function is
one event); medians over the runs that have the event. Times are Wine's
GetTickCount, 1 ms steps."""
import re
import statistics
import sys
from collections import OrderedDict

LINE = re.compile(r"^\s*(\d+)\.(\d{3}):([0-9a-f]{4}):([0-9a-f]{4}):(.*)$")
LAUNCH = re.compile(r"^\s*trace (launch|window) (\S+) (\d+) (\d+)")
DLL = re.compile(r'trace:loaddll:\S+ Loaded L"(?:[^"]*\\)?([^"\\]+)" at')
CALL = re.compile(r"^(Call|Ret)\s+([\w.]+)\(")

log, wanted = sys.argv[1], sys.argv[2:]
by_pid = {}  # pid -> [(tick, tid, text)]
runs = []    # (who, pid, launch tick, window tick)
launches = {}
with open(log, encoding="utf-8", errors="replace") as f:
    for raw in f:
        m = LINE.match(raw)
        if m:
            tick = int(m.group(1)) * 1000 + int(m.group(2))
            by_pid.setdefault(int(m.group(3), 16), []).append((tick, int(m.group(4), 16), m.group(5)))
            continue
        m = LAUNCH.match(raw)
        if m:
            kind, who, pid, tick = m.group(1), m.group(2), int(m.group(3)), int(m.group(4))
            if kind == "launch":
                launches[pid] = (who, tick)
            elif pid in launches:
                runs.append((who, pid, launches[pid][1], tick))

names = {"launch": "launch (CreateProcess in the driver)"}
per_who = OrderedDict()  # who -> OrderedDict(event -> [ms from launch])
for who, pid, launch, window in runs:
    if wanted and who not in wanted:
        continue
    events = per_who.setdefault(who, OrderedDict())
    lines = by_pid.get(pid, [])
    main = lines[0][1] if lines else None
    seen = {}

    def add(name, tick):
        seen[name] = seen.get(name, 0) + 1
        key = name if seen[name] == 1 else "%s #%d" % (name, seen[name])
        events.setdefault(key, []).append(tick - launch)

    add("launch", launch)
    if lines:
        add("first trace line of the new process", lines[0][0])
    for tick, tid, text in lines:
        if tick > window:
            break
        m = DLL.search(text)
        if m:
            add("load " + m.group(1).lower(), tick)
            continue
        m = CALL.match(text)
        if m:
            thread = "" if tid == main else " [thread %x]" % tid
            add("%s %s%s" % ("call" if m.group(1) == "Call" else "ret ", m.group(2), thread), tick)
    add("first visible window", window)

for who, events in per_who.items():
    n = len(events.get("launch", []))
    print("== %s: %d runs" % (who, n))
    rows = sorted(((statistics.median(v), k, len(v)) for k, v in events.items()), key=lambda r: r[0])
    last = 0.0
    print("  %8s %8s  %s" % ("at ms", "+ms", "event (runs that have it)"))
    for at, name, count in rows:
        print("  %8.1f %8.1f  %s%s" % (at, at - last, name, "" if count == n else " (%d)" % count))
        last = at
    print()
