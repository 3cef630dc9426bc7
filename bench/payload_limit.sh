#!/usr/bin/env bash
# Measures how large a payload a setup may carry: for each size, the setup of
# the tests' small release with one more item of that many MiB is written (by
# a writer built with a limit above the sizes), then installed silently under
# Wine. Prints, per size, whether it started and installed the item whole, or
# how it failed. The writer's limit (tools/release_check.h) is set from it.
#
#   bench/payload_limit.sh SIZE_MIB...        (e.g. 1536 1900 1950 1975 2000)
#
# The item is written as it is (--store): the limit is that of the image as
# written. With TAVIX_LIMIT_COMPRESSED=1 the writer compresses it (zeros),
# to show a release larger than the limit that compresses below it install.
#
# Needs the build (scripts/build.sh) and about twice the largest size of free
# disk; each size's files are removed before the next. The installation log
# of each size is kept in build/bench/payload_limit_SIZE.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { sed -n '8p' "$0" | sed 's/^# //' >&2; exit 2; }
source "$root/scripts/wine-env.sh"
# Where Wine's 32-bit loader cannot run, the 64-bit build stands in (its
# limit is not the 32-bit program's: say so).
tavix_choose_wine
writer_options=(--store)
[ "${TAVIX_LIMIT_COMPRESSED:-}" != 1 ] || writer_options=()
if [ "$TAVIX_WIN_BITS" = 64 ]; then
  program=$root/build/win64/program/TavixSetup.exe
  writer_options+=(--allow-64bit)
  echo "the 64-bit build under wine64 is measured, not the 32-bit setup: $TAVIX_WIN_WHY" >&2
else
  program=$root/build/win/program/TavixSetup.exe
fi
[ -f "$program" ] || { echo "no $program: run scripts/build.sh first" >&2; exit 1; }
out=$root/build/bench/limit
tools=$root/build/limit-tools
mkdir -p "$out"
cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIX_TOOLS_ONLY=ON \
      -DTAVIX_PAYLOAD_LIMIT_MIB=4095 >/dev/null
cmake --build "$tools" --target release_writer >/dev/null

target=$WINEPREFIX/drive_c/payload-limit
cleanup() {
  rm -rf "$out" "$target"
  tavix_stop
}
trap cleanup EXIT
tavix_start_display
tavix_make_prefix

printf '%10s  %-9s %s\n' "payload" "exit code" "result"
for mib in "$@"; do
  rel=$out/release
  rm -rf "$rel" "$target" "$out/TavixSetup.exe" "$out/install.log"
  "$root/tests/release/small-release.sh" "$rel"
  truncate -s "${mib}M" "$rel/Data/Big.bin"
  printf '\r\nBigItem bigdata Data\\Big.bin' >>"$rel/Setup.log"
  "$tools/tools/release_writer" "$program" "$rel" -o "$out/TavixSetup.exe" --quiet "${writer_options[@]}"
  rc=0
  timeout 900 "$TAVIX_WINE" "$out/TavixSetup.exe" /S "/LOG=Z:${out//\//\\}\\install.log" '/D=C:\payload-limit' \
    >"$out/wine.txt" 2>&1 </dev/null || rc=$?
  installed=$(stat -c %s "$target/Data/Big.bin" 2>/dev/null || echo 0)
  cp "$out/install.log" "$root/build/bench/payload_limit_$mib.log" 2>/dev/null || true
  if [ "$rc" -eq 0 ] && [ "$installed" -eq $((mib * 1024 * 1024)) ]; then
    result="started and installed the item whole"
  else
    result="failed: installed $installed bytes; the log's last line: $(tail -n 1 "$out/install.log" 2>/dev/null || true);"
    result+=" Wine: $(grep -v '^$' "$out/wine.txt" | tail -n 1 || true)"
  fi
  printf '%6s MiB  %-9s %s\n' "$mib" "$rc" "$result"
done
