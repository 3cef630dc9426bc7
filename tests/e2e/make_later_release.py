#!/usr/bin/env python3
"""A later release made from the sample one, for the upgrade scenarios.

    make_later_release.py SAMPLE_RELEASE_DIR OUT_DIR

Serial 02080300 (2.8.3.0), its own caption and desktop shortcut; Readme.txt
changed; SdbFile\\Help.BLB no longer shipped; a new file Notes\\Later.txt.
Texts stay GBK with CR LF, the manifest's last line without a line end.
"""
import os
import shutil
import sys

src, out = sys.argv[1], sys.argv[2]
if os.path.isdir(out):
    shutil.rmtree(out)
shutil.copytree(src, out, symlinks=False)

ini_path = os.path.join(out, "Setup.ini")
ini = open(ini_path, "rb").read()
head, sep, rest = ini.partition(b"\r\n\r\n[SetupDir]")  # the earlier release's block stays as it is
head = head.replace(b"2.8.2.6", b"2.8.3.0").replace(b"Serial=02080206", b"Serial=02080300")
head = head.replace(b"desKtopLink=\\Quorvixv2.8.0(m).lnk", b"desKtopLink=\\Quorvixv2.8.3(m).lnk")
open(ini_path, "wb").write(head + sep + rest)

log_path = os.path.join(out, "Setup.log")
lines = open(log_path, "rb").read().split(b"\r\n")
lines = [l for l in lines if l and not l.endswith(b"SdbFile\\Help.BLB")]
lines.append(b"LaterNotes name7 Notes\\Later.txt")
open(log_path, "wb").write(b"\r\n".join(lines))
if os.path.exists(os.path.join(out, "SdbFile", "Help.BLB")):
    os.remove(os.path.join(out, "SdbFile", "Help.BLB"))

os.makedirs(os.path.join(out, "Notes"), exist_ok=True)
open(os.path.join(out, "Notes", "Later.txt"), "wb").write("2.8.3.0 的新说明。\r\n".encode("gbk"))
with open(os.path.join(out, "Readme.txt"), "ab") as f:
    f.write("2.8.3.0：修正了若干问题。\r\n".encode("gbk"))
