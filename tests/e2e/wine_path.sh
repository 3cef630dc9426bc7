#!/usr/bin/env bash
# The 64-bit way's Wine for programs called by bare name: "wine", and the
# starters Debian puts on PATH (winepath here), run Wine's 64-bit loader in
# the 64-bit prefix, whether or not the 32-bit loader could run.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
tavix_use_wine 64
fail() { echo "FAIL: $*" >&2; exit 1; }
arch=$(wine cmd /c echo %PROCESSOR_ARCHITECTURE% 2>&1 </dev/null | tr -d '\r') ||
  fail "a bare wine does not run: $arch"
[ "$arch" = AMD64 ] || fail "a bare wine runs a ${arch:-nothing} process, not an AMD64 one"
path=$(winepath -w "$root" 2>&1 </dev/null | tr -d '\r') || fail "winepath does not run: $path"
[ "$path" = "Z:${root//\//\\}" ] || fail "winepath gives \"$path\""
tavix_use_wine 32
case ":$PATH:" in *":$root/scripts/wine64-path:"*) fail "the 32-bit way keeps the 64-bit Wine on PATH" ;; esac
echo "a bare wine and winepath run the 64-bit loader; the 32-bit way leaves PATH as it was"
