#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: the shared test prefix,
# a Chinese (936) ANSI code page (another with TAVIX_SESSION_LOCALE, see
# own-session.sh), and Unix paths in TAVIX_* variables turned into Windows
# paths.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${TAVIX_WINEPREFIX:-$here/../../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=${TAVIX_SESSION_LOCALE:-zh_CN.UTF-8}
win() { printf 'Z:%s' "${1//\//\\}"; }
[ -n "${TAVIX_ARTIFACTS:-}" ] && mkdir -p "$TAVIX_ARTIFACTS"
for v in $(compgen -v TAVIX_); do
  case "$v" in TAVIX_WINEPREFIX) continue ;; esac
  case "${!v}" in /*) export "$v=$(win "${!v}")" ;; esac
done
# A server started by this wine would inherit the caller's output and keep
# it open; start it detached first (a no-op when one runs).
wineserver -p 600 </dev/null >/dev/null 2>&1 || true
prog=$1; shift
exec wine "$prog" "$@"
