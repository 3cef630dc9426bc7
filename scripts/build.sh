#!/usr/bin/env bash
# Builds both worlds: the host core with its unit tests and tools
# (build/host), and the Windows trees: build/win, TavixSetup.exe (32-bit)
# with the e2e scenarios, and build/win64, a 64-bit build of the same sources
# that the scenarios run on where Wine's 32-bit loader cannot run (built on
# every host, so that a change that breaks it shows at once).
# Extra arguments go to the Windows configure steps (e.g. -DTAVIX_RELEASE_DIR=...).
# TAVIX_WIN_TREES names the Windows trees to build (default: "win win64").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build/host" -j "$jobs"
for tree in ${TAVIX_WIN_TREES:-win win64}; do
  case "$tree" in
    win) toolchain=mingw-i686 ;;
    win64) toolchain=mingw-x86_64 ;;
    *) echo "build.sh: no Windows tree $tree (win, win64)" >&2; exit 2 ;;
  esac
  cmake -S "$root" -B "$root/build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" "$@" >/dev/null
  cmake --build "$root/build/$tree" -j "$jobs"
done
