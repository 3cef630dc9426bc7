#!/usr/bin/env bash
# Builds the setup and the benchmark programs, makes an NSIS installer of the
# same release (uncompressed), runs each pair alternately under the project's
# Wine prefix and prints a table of medians and ratios.
#   TAVIX_BENCH_RUNS          timed rounds of the extraction and start measures (11)
#   TAVIX_BENCH_INSTALL_RUNS  rounds of the full installation pair (3)
# Logs and raw figures go to build/bench/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"

echo "building..." >&2
"$root/scripts/build.sh" >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }
set -a
# shellcheck disable=SC1091
source "$root/build/win/bench/bench.env"
set +a

python3 "$root/bench/make_nsis.py" "$TAVIX_RELEASE_DIR" "$out/nsis.nsi"
makensis -V1 "$out/nsis.nsi" >"$out/makensis.log" 2>&1 || { cat "$out/makensis.log" >&2; exit 1; }
export TAVIX_BENCH_NSIS=$out/nsis_setup.exe
export TAVIX_BENCH_RESULTS=$out/results.txt
export TAVIX_ARTIFACTS=$out/artifacts
rm -f "$TAVIX_BENCH_RESULTS" "$out/memory.txt"

source "$root/scripts/wine-env.sh"
sampler=""
cleanup() {
  [ -n "$sampler" ] && kill "$sampler" 2>/dev/null || true
  tavix_stop
}
trap cleanup EXIT
tavix_start_display
tavix_make_prefix

phase() {
  echo "running: $1..." >&2
  if ! "$root/tests/e2e/wine-run.sh" "$TAVIX_BENCH_DRIVER" "$1" >"$out/$1.log" 2>&1; then
    cat "$out/$1.log" >&2
    exit 1
  fi
}
phase extraction
phase first_window
# The memory of the two installers is followed from the Linux side while the
# installation pair runs.
python3 "$root/bench/sample_memory.py" "$out/memory.txt" "ours=$TAVIX_SETUP_EXE" "nsis=$TAVIX_BENCH_NSIS" &
sampler=$!
phase installation
kill "$sampler"
wait "$sampler" || true
sampler=""
phase installation_steps

python3 "$root/bench/report.py" --results "$TAVIX_BENCH_RESULTS" --memory "$out/memory.txt" \
  --release "$TAVIX_RELEASE_DIR" --setup "$TAVIX_SETUP_EXE" --nsis "$TAVIX_BENCH_NSIS" | tee "$out/table.txt"
