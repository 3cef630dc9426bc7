#!/usr/bin/env bash
# Builds both worlds: the host core with its unit tests and tools
# (build/host), and TavixSetup.exe with the e2e scenarios (build/win).
# Extra arguments go to the Windows configure step (e.g. -DTAVIX_RELEASE_DIR=...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build/host" -j "$jobs"
cmake -S "$root" -B "$root/build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" "$@" >/dev/null
cmake --build "$root/build/win" -j "$jobs"
