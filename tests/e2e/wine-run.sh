#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: the Wine and the prefix
# for its word size (TAVIX_WIN_BITS, 32 unless the build tree says 64; see
# scripts/wine-env.sh), a Chinese (936) ANSI code page (another with
# TAVIX_SESSION_LOCALE, see own-session.sh), and Unix paths in TAVIX_*
# variables turned into Windows paths.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
tavix_use_wine "${TAVIX_WIN_BITS:-32}"
export LC_ALL=${TAVIX_SESSION_LOCALE:-zh_CN.UTF-8}
win() { printf 'Z:%s' "${1//\//\\}"; }
[ -n "${TAVIX_ARTIFACTS:-}" ] && mkdir -p "$TAVIX_ARTIFACTS"
for v in $(compgen -v TAVIX_); do
  case "$v" in TAVIX_WINEPREFIX|TAVIX_WINE) continue ;; esac
  case "${!v}" in /*) export "$v=$(win "${!v}")" ;; esac
done
# A server started by this wine would inherit the caller's output and keep
# it open; start it detached first (a no-op when one runs).
wineserver -p 600 </dev/null >/dev/null 2>&1 || true
prog=$1; shift
# The program writes to a file that is shown as it grows, not to the test
# runner's pipe: Wine's services, or a shell started by the program, that
# the program's start brings up take its output with them and outlive it,
# and a pipe held open by them would make the runner wait until its time
# runs out.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$TAVIX_WINE" "$prog" "$@" >"$out" 2>"$err" </dev/null &
pid=$!
tail -n +1 -f --pid="$pid" "$out" &
shown=$!
tail -n +1 -f --pid="$pid" "$err" >&2 &
shown_err=$!
wait "$pid"
status=$?
wait "$shown" "$shown_err"
exit "$status"
