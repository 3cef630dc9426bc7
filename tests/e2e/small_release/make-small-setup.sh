#!/usr/bin/env bash
# Makes the small release and its setup for the end-to-end scenarios:
#   OUT_DIR/release         the release folder, with the given stand-in programs
#   OUT_DIR/TavixSetup.exe  its setup, made by scripts/make-setup.sh (with
#                           BITS 64, the 64-bit build the scenarios run under wine64)
#
#   make-small-setup.sh OUT_DIR TAVI.exe Uninstall.exe [BITS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$1
word=()
[ "${4:-32}" != 64 ] || word=(--win64)
mkdir -p "$out"
"$root/tests/release/small-release.sh" "$out/release" "$2" "$3"
"$root/scripts/make-setup.sh" "$out/release" -o "$out/TavixSetup.exe" -B "$out/build" "${word[@]}"
