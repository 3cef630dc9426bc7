#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both worlds, runs the host
# unit tests, then the end-to-end scenarios under Wine on a virtual display.
#
# Where Wine's 32-bit loader runs, the scenarios drive the 32-bit setup
# (build/win). Where it cannot, they drive the 64-bit build of the same
# sources (build/win64) under wine64, and the 32-bit setup is built and its
# bytes checked without running it. TAVIX_WIN64=1 takes the 64-bit way here
# too; TAVIX_E2E_FILTER=regex runs only some scenarios.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
source "$root/scripts/wine-env.sh"
tavix_choose_wine
if [ "$TAVIX_WIN_BITS" = 64 ]; then
  run=win64 other=win
  echo "== the 64-bit way: $TAVIX_WIN_WHY. The scenarios run on the 64-bit build (build/win64) under wine64;" \
       "the 32-bit setup (build/win) is built and its bytes are checked, not run."
  last="the 64-bit way: scenarios on the 64-bit build (build/win64) under wine64, not on the 32-bit setup"
  last+=" ($TAVIX_WIN_WHY); the 32-bit setup built and its bytes checked, not run."
else
  run=win other=win64
  echo "== $TAVIX_WIN_WHY: the scenarios run on the 32-bit setup (build/win)."
  last="the 32-bit way: scenarios on the 32-bit setup (build/win) under Wine's 32-bit loader."
fi
finish() {
  local status=$?
  tavix_stop
  echo "== $last$([ "$status" -eq 0 ] || echo " The run FAILED (exit code $status).")"
  exit "$status"
}
trap finish EXIT

# The tests' setups are written at zstd level 9: some 30 times quicker than
# the writer's default (19), a little larger, through the same decoding and
# stored paths. The size is measured by bench/run.sh, at the default.
"$root/scripts/build.sh" -DTAVIX_WRITER_LEVEL=9
echo "== unit tests (host)"
ctest --test-dir "$root/build/host" --output-on-failure -j "$(nproc)"
echo "== fuzzing the core parsers (short run)"
"$root/tests/fuzz/run.sh" "${TAVIX_FUZZ_SECONDS:-15}"
echo "== the bytes of build/$other, read without running them"
ctest --test-dir "$root/build/$other" --output-on-failure -L static
if [ "$run" = win ]; then
  echo "   not run: the scenarios on build/win64, which stands in for the setup only where Wine's 32-bit loader cannot run"
else
  echo "   not run: the scenarios on the 32-bit setup (build/win): $TAVIX_WIN_WHY"
fi
echo "== end-to-end tests (Wine, build/$run)"
tavix_start_display
TAVIX_FRESH_PREFIX=${TAVIX_FRESH_PREFIX:-1} tavix_make_prefix
ctest --test-dir "$root/build/$run" --output-on-failure -j 1 ${TAVIX_E2E_FILTER:+-R "$TAVIX_E2E_FILTER"}
