#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both worlds, runs the host
# unit tests, then the end-to-end scenarios under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
echo "== unit tests (host)"
ctest --test-dir "$root/build/host" --output-on-failure -j "$(nproc)"
echo "== fuzzing the core parsers (short run)"
"$root/tests/fuzz/run.sh" "${TAVIX_FUZZ_SECONDS:-15}"
echo "== end-to-end tests (Wine)"
source "$root/scripts/wine-env.sh"
trap tavix_stop EXIT
tavix_start_display
TAVIX_FRESH_PREFIX=${TAVIX_FRESH_PREFIX:-1} tavix_make_prefix
ctest --test-dir "$root/build/win" --output-on-failure -j 1 ${TAVIX_E2E_FILTER:+-R "$TAVIX_E2E_FILTER"}
