#!/usr/bin/env bash
# Makes TavixSetup.exe for a release folder: the release writer checks the
# release, prints what the setup will carry and writes it from the prebuilt
# setup program; given a code-signing certificate and key, the setup is then
# signed (Authenticode). The program and the writer are built from this tree
# the first time (and when the sources change), never for a release.
#
#   scripts/make-setup.sh RELEASE_DIR [-o OUT.exe] [-B BUILD_DIR]
#                         [--cert CERT.pem --key KEY.pem [--pass PASSFILE] [--timestamp URL]]
#
# --win64 makes a 64-bit build of the setup instead, which only the tests
# use, on hosts where Wine's 32-bit loader cannot run; a build folder serves
# one of the two word sizes.
# RELEASE_DIR holds the product tree as it installs, with the manifest
# Setup.log and the control file Setup.ini at its top. OUT.exe defaults to
# TavixSetup.exe in the current folder; BUILD_DIR, where the program and the
# writer are built, to build/setup in this tree (one build folder serves any
# number of releases, one run at a time).
# A problem of the release refuses it (exit code 1, nothing written), each
# named with its file and line; warnings are printed and the setup is still
# made. The same release folder gives the same setup, byte for byte.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
me=make-setup

usage() {
  sed -n '8,9p' "$0" | sed 's/^# //' >&2
  exit 2
}
die() { echo "$me: $*" >&2; exit 1; }

release="" out="TavixSetup.exe" build="$root/build/setup"
cert="" key="" pass="" timestamp="" toolchain=mingw-i686 word=()
while [ $# -gt 0 ]; do
  case "$1" in
    -o) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -B) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    --cert) [ $# -ge 2 ] || usage; cert=$2; shift 2 ;;
    --key) [ $# -ge 2 ] || usage; key=$2; shift 2 ;;
    --pass) [ $# -ge 2 ] || usage; pass=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    --win64) toolchain=mingw-x86_64 word=(--allow-64bit); shift ;;
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
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake"
step cmake --build "$build" --target setup_program host_tools
writer=$build/host-tools/tools/release_writer
program=$build/program/TavixSetup.exe

[ ! -d "$out" ] || out="$out/TavixSetup.exe"
mkdir -p "$(dirname "$out")"
unsigned=$out
[ -z "$cert" ] || unsigned="$out.unsigned.$$"
echo "== release $release"
rc=0
summary=$("$writer" "$program" "$release" -o "$unsigned" "${word[@]}") || rc=$?
[ -z "$summary" ] || echo "$summary"
case $rc in
  0) ;;
  1) die "the release is refused; no setup was made" ;;
  *) die "no setup was made" ;;
esac
if [ -z "$cert" ]; then
  echo "== $out: $(stat -c %s "$out") bytes, NOT signed (give --cert and --key to sign it)"
  exit 0
fi

caption=$(sed -n 's/^caption: *//p' <<<"$summary")
sign=(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "${caption:-Quorvix} 安装程序")
[ -z "$pass" ] || sign+=(-readpass "$pass")
[ -z "$timestamp" ] || sign+=(-ts "$timestamp")
rm -f "$out"
if ! "${sign[@]}" -in "$unsigned" -out "$out" >>"$log" 2>&1; then
  rm -f "$unsigned" "$out"
  tail -n 20 "$log" >&2
  die "signing failed; no setup was written"
fi
rm -f "$unsigned"
subject=$(openssl x509 -in "$cert" -noout -subject -nameopt oneline 2>/dev/null ||
          openssl x509 -inform DER -in "$cert" -noout -subject -nameopt oneline 2>/dev/null || true)
subject=${subject#subject=}
echo "== $out: $(stat -c %s "$out") bytes, signed${subject:+ ($subject)}${timestamp:+, timestamped by $timestamp}"
