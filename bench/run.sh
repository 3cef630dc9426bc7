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
#   TAVIX_BENCH_PHASES        the phases to run (default: size extraction first_window installation
#                             installation_steps silent uninstall; size: the setup's size and the
#                             writer's time against makensis with zlib, LZMA and LZMA solid, on this
#                             host (bench/size_build.py); silent: the silent installation
#                             TavixSetup.exe /S /D=<folder> against bench_copy.exe and NSIS /S;
#                             uninstall: Uninstall.exe /S against bench_delete.exe of the same tree);
#                             first_window_trace
#                             adds a traced start of each program (bench/trace_first_window.py)
#   TAVIX_BENCH_RUNS          timed rounds of the extraction, start, silent and uninstall measures (11)
#   TAVIX_BENCH_COLD=1        (as root) the uninstall measure empties the system's file cache before
#                             each timed run
#   TAVIX_BENCH_INSTALL_RUNS  rounds of the full installation pair (3)
#   TAVIX_WIN64=1             measure the 64-bit build under wine64, as on a host that cannot
#                             run 32-bit programs (see below)
# Logs and raw figures go to build/bench/.
#
# Where Wine's 32-bit loader cannot run, the programs measured are those of
# the 64-bit build of the same sources (build/win64) under wine64, and the
# NSIS installers, being 32-bit programs, are made but not run: their rows say
# "not run on this host". The size of the executable is that of the 32-bit
# setup on either kind of host.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"

[ $# -eq 0 ] || { echo "usage: bench/run.sh" >&2; exit 2; }
phases=${TAVIX_BENCH_PHASES:-size extraction first_window installation installation_steps silent uninstall}

source "$root/scripts/wine-env.sh"
tavix_choose_wine
if [ "$TAVIX_WIN_BITS" = 64 ]; then
  echo "the 64-bit build under wine64 is measured, and NSIS is not run: $TAVIX_WIN_WHY" >&2
  trees="win win64" bench_tree=win64
else
  trees=win bench_tree=win
fi

echo "building..." >&2
: >"$out/build.log"
if [ -n "${TAVIX_RELEASE_DIR:-}" ]; then
  # Another release: its own build folders, only what the benchmark runs and
  # the 32-bit setup.
  release=$(cd "$TAVIX_RELEASE_DIR" && pwd)
  for tree in $trees; do
    target=setup_exe toolchain=mingw-i686
    [ "$tree" = win ] || toolchain=mingw-x86_64
    [ "$tree" != "$bench_tree" ] || target=bench_driver
    {
      cmake -S "$root" -B "$root/build/bench-$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" -DTAVIX_RELEASE_DIR="$release" &&
      cmake --build "$root/build/bench-$tree" -j 2 --target "$target"
    } >>"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 1; }
  done
  win=$root/build/bench-$bench_tree setup32=$root/build/bench-win/TavixSetup.exe release32=$release
  win32=$root/build/bench-win
else
  # The setups at the writer's default level (the tests write theirs quicker).
  TAVIX_WIN_TREES=$trees "$root/scripts/build.sh" -DTAVIX_WRITER_LEVEL= >"$out/build.log" 2>&1 ||
    { cat "$out/build.log" >&2; exit 1; }
  win=$root/build/$bench_tree setup32=$root/build/win/TavixSetup.exe release32=$root/build/win/release
  win32=$root/build/win
fi
set -a
# shellcheck disable=SC1091
source "$win/bench/bench.env"
set +a

# The NSIS installers are made on either kind of host (the size of the
# executable compares their files), and run only where 32-bit programs run.
nsis=$out/nsis_setup.exe nsis_nocrc=$out/nsis_nocrc_setup.exe
python3 "$root/bench/make_nsis.py" "$TAVIX_RELEASE_DIR" "$out/nsis.nsi" "$nsis"
python3 "$root/bench/make_nsis.py" "$TAVIX_RELEASE_DIR" "$out/nsis_nocrc.nsi" "$nsis_nocrc" --crc-off
for nsi in nsis nsis_nocrc; do
  makensis -V1 "$out/$nsi.nsi" >"$out/makensis.log" 2>&1 || { cat "$out/makensis.log" >&2; exit 1; }
done
report_nsis=(--nsis "$nsis")
if [ "$TAVIX_WIN_BITS" = 32 ]; then
  export TAVIX_BENCH_NSIS=$nsis TAVIX_BENCH_NSIS_NOCRC=$nsis_nocrc
  report_nsis+=(--nsis-nocrc "$nsis_nocrc")
else
  unset TAVIX_BENCH_NSIS TAVIX_BENCH_NSIS_NOCRC
  report_nsis+=(--nsis-not-run "$TAVIX_WIN_WHY")
fi
export TAVIX_BENCH_RESULTS=$out/results.txt
export TAVIX_ARTIFACTS=$out/artifacts
rm -f "$TAVIX_BENCH_RESULTS" "$out/memory.txt"

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
  if [ "$p" = size ]; then
    echo "running: size (the writer and makensis on this host)..." >&2
    /usr/bin/python3 "$root/bench/size_build.py" "$win32/host-tools/tools/release_writer" "$win32/program/TavixSetup.exe" \
            "$release32" "$out/size" "$TAVIX_BENCH_RESULTS" >"$out/size.log" 2>&1 || { cat "$out/size.log" >&2; exit 1; }
  elif [ "$p" = installation ]; then
    # The memory of the two installers is followed from the Linux side while
    # the installation pair runs.
    python3 "$root/bench/sample_memory.py" "$out/memory.txt" "ours=$TAVIX_SETUP_EXE" \
            ${TAVIX_BENCH_NSIS:+"nsis=$TAVIX_BENCH_NSIS"} &
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

ran=()
[ "$TAVIX_SETUP_EXE" -ef "$setup32" ] ||
  ran=(--ran "$TAVIX_SETUP_EXE (the 64-bit build, under wine64)" --setup-release "$release32")
python3 "$root/bench/report.py" --results "$TAVIX_BENCH_RESULTS" --memory "$out/memory.txt" \
  --release "$TAVIX_RELEASE_DIR" --setup "$setup32" "${ran[@]}" "${report_nsis[@]}" |
  tee "$out/table.txt"
