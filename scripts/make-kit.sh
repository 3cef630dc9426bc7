#!/usr/bin/env bash
# Makes the release kit: what a release author needs to make signed setups,
# with no clone of this repository and no compiler.
#
#   scripts/make-kit.sh [-o OUT_DIR] [-B BUILD_DIR]
#
# Writes OUT_DIR/TavixSetup-kit/ (default OUT_DIR: build/kit) with
#   TavixSetup.exe      the prebuilt setup program, with no release
#   release_writer      the release writer for Linux (x86-64)
#   release_writer.exe  the release writer for Windows (a console program)
#   README.txt          how to make and sign a setup
# and the same files in OUT_DIR/TavixSetup-kit.zip. BUILD_DIR is where they are
# built (default build/setup, which make-setup.sh uses too).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
me=make-kit
usage() {
  sed -n '5p' "$0" | sed 's/^# //' >&2
  exit 2
}
die() { echo "$me: $*" >&2; exit 1; }

out=$root/build/kit build=$root/build/setup
while [ $# -gt 0 ]; do
  case "$1" in
    -o) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -B) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    *) usage ;;
  esac
done

"$root/scripts/deps.sh"
mkdir -p "$build" "$out"
build=$(cd "$build" && pwd)
out=$(cd "$out" && pwd)
log="$build/make-kit.log"
exec 9>"$build/.make-setup.lock"
flock 9  # one run at a time in a build folder
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" &&
       cmake --build "$build" --target setup_program release_writer host_tools; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  die "the build failed (whole log: $log)"
fi

kit=$out/TavixSetup-kit
rm -rf "$kit" "$kit.zip"
mkdir -p "$kit"
cp "$build/program/TavixSetup.exe" "$build/host-tools/tools/release_writer" "$build/tools/release_writer.exe" \
   "$root/tools/kit/README.txt" "$kit/"
chmod 755 "$kit/release_writer"
chmod 644 "$kit/TavixSetup.exe" "$kit/release_writer.exe" "$kit/README.txt"
# The archive: the same bytes from the same files (fixed dates, fixed order).
python3 - "$kit" "$kit.zip" <<'PY'
import os, sys, zipfile
kit, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(kit)):
        info = zipfile.ZipInfo("TavixSetup-kit/" + name, date_time=(2020, 1, 1, 0, 0, 0))
        info.external_attr = (0o100755 if name == "release_writer" else 0o100644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(kit, name), "rb") as f:
            z.writestr(info, f.read())
PY
echo "== $kit/"
ls -l "$kit" | tail -n +2 | awk '{ printf "   %-20s %10s bytes\n", $9, $5 }'
echo "== $kit.zip: $(stat -c %s "$kit.zip") bytes"
