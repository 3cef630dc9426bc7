#!/usr/bin/env bash
# Builds the setup and the benchmark programs, makes NSIS installers of the
# same release (uncompressed; one with and one without NSIS's check of its own
# file), runs each pair alternately under the project's Wine prefix and prints
# a table of medians and ratios.
#
#   bench/run.sh
#
#   TAVIX_RELEASE_DIR         a release folder to measure instead of the sample release; it is
#                             built in build/bench-win (the tests' build/win stays as it is)
#   TAVIX_BENCH_PHASES        the phases to run (default: extraction first_window installation
#                             installation_steps silent uninstall; silent: the silent installation
#                             TavixSetup.exe /S /D=<folder> against bench_copy.exe and NSIS /S;
#                             uninstall: Uninstall.exe /S against bench_delete.exe of the same tree);
#                             first_window_trace
#                             adds a traced start of each program (bench/trace_first_window.py)
#   TAVIX_BENCH_RUNS          timed rounds of the extraction, start, silent and uninstall measures (11)
#   TAVIX_BENCH_INSTALL_RUNS  rounds of the full installation pair (3)
# Logs and raw figures go to build/bench/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"

[ $# -eq 0 ] || { echo "usage: bench/run.sh" >&2; exit 2; }
phases=${TAVIX_BENCH_PHASES:-extraction first_window installation installation_steps silent uninstall}

echo "building..." >&2
if [ -n "${TAVIX_RELEASE_DIR:-}" ]; then
  # Another release: its own build folder, only what the benchmark runs.
  release=$(cd "$TAVIX_RELEASE_DIR" && pwd)
  win=$root/build/bench-win
  {
    cmake -S "$root" -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DTAVIX_RELEASE_DIR="$release" &&
    cmake --build "$win" -j 2 --target bench_driver
  } >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }
else
  win=$root/build/win
  "$root/scripts/build.sh" >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }
fi
set -a
# shellcheck disable=SC1091
source "$win/bench/bench.env"
set +a

export TAVIX_BENCH_NSIS=$out/nsis_setup.exe TAVIX_BENCH_NSIS_NOCRC=$out/nsis_nocrc_setup.exe
python3 "$root/bench/make_nsis.py" "$TAVIX_RELEASE_DIR" "$out/nsis.nsi" "$TAVIX_BENCH_NSIS"
python3 "$root/bench/make_nsis.py" "$TAVIX_RELEASE_DIR" "$out/nsis_nocrc.nsi" "$TAVIX_BENCH_NSIS_NOCRC" --crc-off
for nsi in nsis nsis_nocrc; do
  makensis -V1 "$out/$nsi.nsi" >"$out/makensis.log" 2>&1 || { cat "$out/makensis.log" >&2; exit 1; }
done
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
for p in $phases; do
  if [ "$p" = installation ]; then
    # The memory of the two installers is followed from the Linux side while
    # the installation pair runs.
    python3 "$root/bench/sample_memory.py" "$out/memory.txt" "ours=$TAVIX_SETUP_EXE" "nsis=$TAVIX_BENCH_NSIS" &
    sampler=$!
    phase installation
    kill "$sampler"
    wait "$sampler" || true
    sampler=""
  else
    phase "$p"
  fi
done
if [[ " $phases " == *" first_window_trace "* ]]; then
  python3 "$root/bench/trace_first_window.py" "$out/first_window_trace.log" >"$out/first_window_trace.txt"
  echo "traced starts: $out/first_window_trace.txt" >&2
fi

python3 "$root/bench/report.py" --results "$TAVIX_BENCH_RESULTS" --memory "$out/memory.txt" \
  --release "$TAVIX_RELEASE_DIR" --setup "$TAVIX_SETUP_EXE" --nsis "$TAVIX_BENCH_NSIS" \
  --nsis-nocrc "$TAVIX_BENCH_NSIS_NOCRC" | tee "$out/table.txt"
