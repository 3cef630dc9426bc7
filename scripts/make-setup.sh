#!/usr/bin/env bash
# Makes TavixSetup.exe for a release folder: checks the release, prints what
# the setup will carry, builds it and, given a code-signing certificate and
# key, signs it (Authenticode).
#
#   scripts/make-setup.sh RELEASE_DIR [-o OUT.exe] [-B BUILD_DIR]
#                         [--cert CERT.pem --key KEY.pem [--pass PASSFILE] [--timestamp URL]]
#
# --win64 makes a 64-bit build of the setup instead, which only the tests
# use, on hosts where Wine's 32-bit loader cannot run; a build folder serves
# one of the two word sizes.
# RELEASE_DIR holds the product tree as it installs, with the manifest
# Setup.log and the control file Setup.ini at its top. OUT.exe defaults to
# TavixSetup.exe in the current folder; BUILD_DIR to build/setup in this tree
# (one build folder serves any number of releases, one run at a time).
# A problem of the release refuses it (exit code 1, nothing written), each
# named with its file and line; warnings are printed and the setup is still
# made. The same release folder gives the same setup, byte for byte.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
me=make-setup

usage() {
  sed -n '6,7p' "$0" | sed 's/^# //' >&2
  exit 2
}
die() { echo "$me: $*" >&2; exit 1; }

release="" out="TavixSetup.exe" build="$root/build/setup"
cert="" key="" pass="" timestamp="" toolchain=mingw-i686
while [ $# -gt 0 ]; do
  case "$1" in
    -o) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -B) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    --cert) [ $# -ge 2 ] || usage; cert=$2; shift 2 ;;
    --key) [ $# -ge 2 ] || usage; key=$2; shift 2 ;;
    --pass) [ $# -ge 2 ] || usage; pass=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    --win64) toolchain=mingw-x86_64; shift ;;
    -h|--help) usage ;;
    -*) echo "$me: unknown option $1" >&2; usage ;;
    *) [ -z "$release" ] || usage; release=$1; shift ;;
  esac
done
[ -n "$release" ] || usage
[ -d "$release" ] || die "no release folder $release"
release=$(cd "$release" && pwd)
if [ -n "$cert$key" ]; then
  [ -n "$cert" ] && [ -n "$key" ] || die "signing needs both --cert and --key"
  [ -r "$cert" ] || die "cannot read the certificate $cert"
  [ -r "$key" ] || die "cannot read the key $key"
fi
[ -z "$pass" ] || [ -n "$cert" ] || die "--pass is for signing: give --cert and --key too"
[ -z "$timestamp" ] || [ -n "$cert" ] || die "--timestamp is for signing: give --cert and --key too"
[ -z "$pass" ] || [ -r "$pass" ] || die "cannot read the pass phrase file $pass"

"$root/scripts/deps.sh"
mkdir -p "$build"
build=$(cd "$build" && pwd)
log="$build/make-setup.log"
exec 9>"$build/.make-setup.lock"
flock 9  # one run at a time in a build folder
: >"$log"
step() {  # runs a build step, its output in the log; shows the log's end when it fails
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    die "build step failed: $* (whole log: $log)"
  fi
}

step cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" -DTAVIX_RELEASE_DIR="$release"
step cmake --build "$build" --target host_tools

echo "== release $release"
if ! summary=$("$build/host-tools/tools/release_builder" --check "$release"); then
  die "the release is refused; no setup was made"
fi
echo "$summary"

# The release's files may be older than the last build (unpacked from an
# archive, copied with their times): embed them anew on every run.
rm -f "$build/resources/payload.o"
step cmake --build "$build" --target setup_exe
[ ! -d "$out" ] || out="$out/TavixSetup.exe"
mkdir -p "$(dirname "$out")"
if [ -z "$cert" ]; then
  cp "$build/TavixSetup.exe" "$out"
  echo "== $out: $(stat -c %s "$out") bytes, NOT signed (give --cert and --key to sign it)"
  exit 0
fi

caption=$(sed -n 's/^caption: *//p' <<<"$summary")
sign=(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "${caption:-Quorvix} 安装程序")
[ -z "$pass" ] || sign+=(-readpass "$pass")
[ -z "$timestamp" ] || sign+=(-ts "$timestamp")
tmp="$out.unsigned.$$"
cp "$build/TavixSetup.exe" "$tmp"
rm -f "$out"
if ! "${sign[@]}" -in "$tmp" -out "$out" >>"$log" 2>&1; then
  rm -f "$tmp" "$out"
  tail -n 20 "$log" >&2
  die "signing failed; no setup was written"
fi
rm -f "$tmp"
subject=$(openssl x509 -in "$cert" -noout -subject -nameopt oneline 2>/dev/null ||
          openssl x509 -inform DER -in "$cert" -noout -subject -nameopt oneline 2>/dev/null || true)
subject=${subject#subject=}
echo "== $out: $(stat -c %s "$out") bytes, signed${subject:+ ($subject)}${timestamp:+, timestamped by $timestamp}"
