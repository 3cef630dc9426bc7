#!/usr/bin/env bash
# Copies the screenshots that the end-to-end scenarios took (24-bit BMPs in
# build/win/artifacts) into docs/screenshots/ as PNG files for the README.
#
#   scripts/screenshots.sh [ARTIFACTS_DIR]
#
# Run it after ./scripts/test.sh; commit what changed in docs/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=${1:-$root/build/win/artifacts}
dst=$root/docs/screenshots
mkdir -p "$dst"
shopt -s nullglob
bmps=("$src"/*.bmp)
[ ${#bmps[@]} -gt 0 ] || { echo "screenshots: no BMP in $src (run ./scripts/test.sh first)" >&2; exit 1; }
for bmp in "${bmps[@]}"; do
  png="$dst/$(basename "${bmp%.bmp}").png"
  # No time chunks, so an unchanged picture gives the same file.
  convert "$bmp" -strip -define png:exclude-chunks=date,time "$png"
  echo "$png"
done
