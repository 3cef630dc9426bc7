#!/usr/bin/env python3
"""Writes an NSIS script that installs the same release tree as the setup,
uncompressed, for side-by-side measurements:

    make_nsis.py RELEASE_DIR OUT.nsi OUT.exe [--crc-off]

OUT.exe is the installer the script makes. With --crc-off the installer does
not check its own file before it starts (NSIS's CRCCheck off): it neither
reads its whole file first nor shows its verifying dialog on a large one."""
import os
import sys

args = [a for a in sys.argv[1:] if a != "--crc-off"]
crc_off = len(args) != len(sys.argv) - 1
if len(args) != 3:
    sys.exit(__doc__)
release, out, exe = args
with open(os.path.join(release, "Setup.log"), "rb") as f:
    text = f.read().split(b"\0")[0]
lines = text.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
if lines and lines[-1] == b"":
    lines.pop()

script = [
    "Unicode true",
    "SetCompress off",
    'Name "Quorvix"',
    'OutFile "%s"' % os.path.abspath(exe),
    "CRCCheck %s" % ("off" if crc_off else "on"),
    'InstallDir "C:\\bench\\nsis"',
    "RequestExecutionLevel admin",
    "Page directory",
    "Page instfiles",
    'Section "Main"',
]
folder = None
for raw in lines:
    name, typ, path = raw.split(b" ", 2)
    rel = path.decode("gbk")
    parent, _, base = rel.rpartition("\\")
    if parent != folder:
        script.append('  SetOutPath "$INSTDIR%s"' % ("\\" + parent if parent else ""))
        folder = parent
    script.append('  File "%s"' % os.path.join(os.path.abspath(release), rel.replace("\\", "/")))
script.append("SectionEnd")
with open(out, "w", encoding="utf-8-sig") as f:
    f.write("\n".join(script) + "\n")
