#!/usr/bin/env python3
"""Writes an NSIS script that installs the same release tree as the setup,
for side-by-side measurements:

    make_nsis.py RELEASE_DIR OUT.nsi OUT.exe [--crc-off] [--compressor off|zlib|lzma|lzma-solid]

OUT.exe is the installer the script makes. With --crc-off the installer does
not check its own file before it starts (NSIS's CRCCheck off): it neither
reads its whole file first nor shows its verifying dialog on a large one.
--compressor chooses NSIS's compression (default off: the items as they
are): zlib (NSIS's default), LZMA file by file, or LZMA solid (the whole
release as one stream)."""
import os
import sys

COMPRESSORS = {"off": "SetCompress off", "zlib": "SetCompressor zlib", "lzma": "SetCompressor lzma",
               "lzma-solid": "SetCompressor /SOLID lzma"}
argv = sys.argv[1:]
compressor = "off"
if "--compressor" in argv:
    at = argv.index("--compressor")
    if at + 1 >= len(argv) or argv[at + 1] not in COMPRESSORS:
        sys.exit(__doc__)
    compressor = argv[at + 1]
    del argv[at:at + 2]
args = [a for a in argv if a != "--crc-off"]
crc_off = len(args) != len(argv)
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
    COMPRESSORS[compressor],
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
