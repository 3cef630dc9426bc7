#!/usr/bin/env python3
"""Makes a release of real-world files for bench/run.sh: files that Debian
packages installed on this machine, written by nobody here. Beside the
sample release's own programs and control files (TAVI.exe, Uninstall.exe,
Setup.ini, the licence, Options.ini) it carries

  Bin/        120 32-bit Windows DLLs of Wine (i386-windows), the first by
              name of those between 40 and 400 KB
  Data/       ICU's data table (libicudata, about 30 MB of binary tables)
  Docs/       150 text documents: the packages' copyright files, by package
  Pictures/   12 packaged PNG pictures (Adwaita's 512 x 512 icons) converted to BMP
              by ImageMagick
  Packed/     already-compressed documents: the packages' gzip changelogs

about 65 MB in all. A file whose bytes an earlier one has already (several
packages ship one changelog or copyright text) is skipped: a release does not
carry copies, and the measure is of compression, not of finding copies. The
same packages give the same bytes.

    make_real_release.py SAMPLE_RELEASE OUT_DIR
"""
import glob
import hashlib
import os
import shutil
import subprocess
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
sample, out = sys.argv[1], sys.argv[2]
if os.path.exists(out):
    sys.exit("%s exists; remove it first" % out)


def first_found(*patterns):
    for p in patterns:
        hits = sorted(glob.glob(p))
        if hits:
            return hits
    return []


dll_dirs = first_found("/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows")
icu = first_found("/usr/lib/i386-linux-gnu/libicudata.so.*.*", "/usr/lib/x86_64-linux-gnu/libicudata.so.*.*")
if not dll_dirs or not icu:
    sys.exit("Wine's 32-bit DLLs or ICU's data are missing (scripts/deps.sh installs wine32)")

seen = set()


def unique(paths, count):
    """The first `count` of `paths` whose bytes no file taken before has."""
    out = []
    for p in paths:
        with open(p, "rb") as f:
            digest = hashlib.sha256(f.read()).digest()
        if digest not in seen:
            seen.add(digest)
            out.append(p)
        if len(out) == count:
            break
    return out


files = []  # (folder, name, source path)
dlls = [f for f in sorted(os.listdir(dll_dirs[0])) if f.endswith(".dll")]
dlls = [f for f in dlls if 40_000 <= os.path.getsize(os.path.join(dll_dirs[0], f)) <= 400_000][:120]
files += [("Bin", f, os.path.join(dll_dirs[0], f)) for f in dlls]
files.append(("Data", "icudata.dat", icu[-1]))
copyrights = sorted(glob.glob("/usr/share/doc/*/copyright"))
copyrights = unique([p for p in copyrights if os.path.isfile(p) and not os.path.islink(p)], 150)
files += [("Docs", os.path.basename(os.path.dirname(p)) + ".txt", p) for p in copyrights]
changelogs = sorted(p for p in glob.glob("/usr/share/doc/*/changelog.Debian.gz") if not os.path.islink(p))
changelogs = unique([p for p in changelogs if os.path.getsize(p) >= 20_000], 40)
files += [("Packed", os.path.basename(os.path.dirname(p)) + ".gz", p) for p in changelogs]
pictures = sorted(glob.glob("/usr/share/icons/Adwaita/512x512/*/*.png"))[:12]

os.makedirs(out)
for name in ("TAVI.exe", "Uninstall.exe", "Setup.ini", "Options.ini"):
    shutil.copy(os.path.join(sample, name), os.path.join(out, name))
with open(os.path.join(sample, "Setup.log"), "rb") as f:
    sample_lines = f.read().replace(b"\r\n", b"\n").split(b"\n")
kept = [l for l in sample_lines if l.split(b" ")[0].lower() in (b"filetxt4", b"filetxt5", b"filetxt6")]
for line in kept:
    path = line.split(b" ", 2)[2].decode("gbk")
    shutil.copy(os.path.join(sample, path), os.path.join(out, path))

lines = [b"FileExe exename TAVI.exe", b"uninstall exename Uninstall.exe", b"Options options Options.ini"] + kept
for k, (folder, name, source) in enumerate(files):
    os.makedirs(os.path.join(out, folder), exist_ok=True)
    shutil.copy(source, os.path.join(out, folder, name))
    lines.append(b"Real%03d real %s\\%s" % (k, folder.encode(), name.encode()))
os.makedirs(os.path.join(out, "Pictures"), exist_ok=True)
for k, png in enumerate(pictures):
    name = "%s-%s.bmp" % (os.path.basename(os.path.dirname(png)), os.path.basename(png)[:-4])
    subprocess.run(["convert", png, "-background", "white", "-flatten", "BMP3:" + os.path.join(out, "Pictures", name)],
                   check=True)
    lines.append(b"Pict%03d picture Pictures\\%s" % (k, name.encode()))
with open(os.path.join(out, "Setup.log"), "wb") as f:
    f.write(b"\r\n".join(lines))
total = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out) for f in fs)
print("%s: %d files, %.1f MB" % (out, len(lines), total / 1e6))
