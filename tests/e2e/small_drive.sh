#!/usr/bin/env bash
# A small disk for the full-disk scenario: a tmpfs of 24 MB that the test
# prefix (of the build's word size) sees as drive E:.
#   tests/e2e/small_drive.sh mount | unmount
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
tavix_use_wine "${TAVIX_WIN_BITS:-32}"
prefix=$WINEPREFIX
mnt=$prefix/small-drive
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
case "${1:-}" in
  mount)
    mkdir -p "$mnt"
    mountpoint -q "$mnt" || $sudo mount -t tmpfs -o size=24m,mode=0777 tavix-small-drive "$mnt"
    ln -sfn "$mnt" "$prefix/dosdevices/e:"
    ;;
  unmount)
    rm -f "$prefix/dosdevices/e:"
    if mountpoint -q "$mnt"; then $sudo umount "$mnt"; fi
    rmdir "$mnt" 2>/dev/null || true
    ;;
  *)
    echo "usage: $0 mount|unmount" >&2
    exit 2
    ;;
esac
