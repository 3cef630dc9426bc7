#!/usr/bin/env bash
# Reads a shortcut with lnkinfo (liblnk, independent of Wine) and checks its
# target path and working folder. Its ANSI strings are GBK.
#   check_link.sh <file.lnk> <expected target> <expected working folder>
set -u
lnk=$1 want_path=$2 want_dir=$3
[ -f "$lnk" ] || { echo "FAIL: no shortcut $lnk"; exit 1; }
out=$(lnkinfo -c windows-936 "$lnk") || { echo "FAIL: lnkinfo cannot read $lnk"; exit 1; }
field() { printf '%s\n' "$out" | sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" | head -n 1; }
path=$(field 'Local path')
dir=$(field 'Working directory')
status=0
[ "$path" = "$want_path" ] || { echo "FAIL: target is '$path', expected '$want_path'"; status=1; }
[ "$dir" = "$want_dir" ] || { echo "FAIL: working folder is '$dir', expected '$want_dir'"; status=1; }
[ $status = 0 ] && echo "ok: $lnk -> $path in $dir"
exit $status
