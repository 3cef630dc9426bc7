#!/usr/bin/env bash
# Runs a command as on a host whose kernel cannot run 32-bit programs, on any
# machine: in a private mount namespace, a stand-in that fails as such a
# kernel makes Wine's 32-bit loader fail ("Exec format error", exit code 126)
# lies over /usr/lib/wine/wine. Debian's /usr/bin/wine and its program
# starters then fail as they do on that host, and the suite takes the 64-bit
# way for the reason it gives there. Needs root (or sudo); nothing outside
# the command's own processes sees the stand-in.
#
#   scripts/as-64bit-host.sh                  a fresh CI run of this tree
#   scripts/as-64bit-host.sh COMMAND [ARG...]  e.g. ./scripts/test.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
loader=/usr/lib/wine/wine
if [ "${1:-}" = --inside ]; then
  shift
  stand_in=$1
  shift
  mount --bind "$stand_in" "$loader"
  exec "$@"
fi
[ -e "$loader" ] || "$root/scripts/deps.sh"
[ $# -gt 0 ] || set -- env CI=true bash "$root/.ci/run"
stand_in=$(mktemp /tmp/tavix-no-wine32.XXXXXX)
trap 'rm -f "$stand_in"' EXIT
cat >"$stand_in" <<STANDIN
#!/bin/sh
echo "\$0: cannot execute binary file: Exec format error" >&2
exit 126
STANDIN
chmod 755 "$stand_in"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "== as on a host that cannot run 32-bit programs: $loader fails with \"Exec format error\"" >&2
$sudo unshare --mount --propagation private "$0" --inside "$stand_in" "$@"
