#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 20)
# from a seed corpus of the sample release. A crash leaves its input in
# build/fuzz/findings/ and fails the run; turn it into a unit test.
set -euo pipefail
seconds=${1:-20}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/fuzz
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIX_FUZZ=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ! cmake --build "$out" -j "$(nproc)" >"$out/build.log" 2>&1; then
  tail -30 "$out/build.log" >&2
  echo "fuzz targets: the build failed, see $out/build.log" >&2
  exit 1
fi
mkdir -p "$out/findings"
status=0
for target in ini_fuzz manifest_fuzz release_check_fuzz checksums_fuzz pe_image_fuzz; do
  corpus=$out/corpus/$target
  mkdir -p "$corpus"
  cp "$root"/resources/release/Setup.ini "$root"/resources/release/Setup.log "$corpus/" 2>/dev/null || true
  printf 'Run|FileName\n[Run]\r\nFileName = "TAVI.exe"\r\n' > "$corpus/seed-names"
  printf 'FILEEXE EXENAME 0a1b2c3d 1486848\r\n__LINE__ RCDATA cbf43926 9\r\n' > "$corpus/seed-checksums"
  [ "$target" != pe_image_fuzz ] || python3 "$root/tests/fuzz/pe_seed.py" "$corpus/seed-program.exe"
  if "$out/tests/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len=8192 \
       -artifact_prefix="$out/findings/$target-" >"$out/$target.log" 2>&1; then
    echo "$target: $(grep -Eo 'Done [0-9]+ runs' "$out/$target.log" | tail -1), no finding"
  else
    echo "$target: FINDING, see $out/$target.log and $out/findings/"
    tail -20 "$out/$target.log"
    status=1
  fi
done
exit $status
