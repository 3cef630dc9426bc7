#!/usr/bin/env bash
# The package manager's manifest of the tests' setup, as a release author
# makes it with `release_writer --winget`:
#
#   tests/e2e/winget_manifest.sh CASE
#
#   validates       the Linux writer's manifest passes winget_check.py (the
#                   official schemas, the setup's own hash, machine, elevation,
#                   version resource, the README's exit codes); so does the
#                   manifest of a signed copy, whose hash is the signed file's;
#                   what is no setup, a damaged setup, a bad address and a
#                   missing folder write nothing. Leaves the manifest and the
#                   command lines of the switches in TAVIX_WINGET_DIR for the
#                   scenario that runs them (winget_e2e.cpp).
#   windows_writer  the Windows writer, under Wine, writes the same files
#                   byte for byte, for the setup and for its signed copy.
#
# Environment: TAVIX_HOST_WRITER, TAVIX_WIN_WRITER (the two writers),
# TAVIX_SETUP_EXE and TAVIX_RELEASE_DIR (the tests' setup and its release),
# TAVIX_PROGRAM_EXE (the prebuilt program), TAVIX_WINGET_DIR (what
# `validates` leaves), TAVIX_SCHEMA_DIR (the official schemas, v1.10.0).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
case_name=${1:?usage: winget_manifest.sh CASE}
work=$(mktemp -d "${TMPDIR:-/tmp}/winget-manifest.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
win() { printf 'Z:%s' "${1//\//\\}"; }
url=https://downloads.example.com/quorvix/2.8.2.6/TavixSetup.exe
out=$TAVIX_WINGET_DIR/manifest

# A copy of the tests' setup signed with a certificate of the test's own.
signed_copy() {
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/O=Velmora/CN=Velmora test signing" \
      -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>"$work/openssl.txt" &&
    osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 -n "Quorvix 安装程序" \
      -in "$TAVIX_SETUP_EXE" -out "$work/signed.exe" >"$work/sign.txt" 2>&1 ||
    { fail "cannot sign a copy of the setup:"; cat "$work/openssl.txt" "$work/sign.txt" >&2; return 1; }
}

# expect_refused NAME CODE WORDS ARGS...: the writer ends with CODE, says
# WORDS and writes nothing into the folder it was given.
expect_refused() {
  local name=$1 code=$2 words=$3
  shift 3
  mkdir -p "$work/$name"
  "$TAVIX_HOST_WRITER" --winget "$@" >"$work/$name.out" 2>"$work/$name.err"
  local rc=$?
  [ "$rc" -eq "$code" ] || fail "$name: exit code $rc, expected $code"
  grep -qF -- "$words" "$work/$name.err" || { fail "$name: the message does not say \"$words\":"; cat "$work/$name.err" >&2; }
  [ -z "$(ls -A "$work/$name")" ] || fail "$name: files were written: $(ls "$work/$name")"
}

case_validates() {
  [ -f "$TAVIX_SCHEMA_DIR/manifest.installer.1.10.0.json" ] ||
    { fail "no winget schemas in $TAVIX_SCHEMA_DIR (give cmake -DTAVIX_WINGET_SCHEMA_DIR=...)"; return; }
  rm -rf "$TAVIX_WINGET_DIR"
  mkdir -p "$out"
  "$TAVIX_HOST_WRITER" --winget "$TAVIX_SETUP_EXE" --url "$url" -o "$out" >"$work/written.txt" ||
    { fail "the writer made no manifest of $TAVIX_SETUP_EXE"; return; }
  [ "$(wc -l <"$work/written.txt")" -eq 3 ] || fail "the writer did not name three files: $(cat "$work/written.txt")"
  /usr/bin/python3 "$here/winget_check.py" "$out" "$TAVIX_SETUP_EXE" "$TAVIX_SCHEMA_DIR" "$root/README.md" \
    "$TAVIX_WINGET_DIR/args.txt" 'C:\Tavix E2E\winget 安装' 'C:\Tavix E2E\winget 日志\Velmora.Quorvix.log' ||
    fail "the manifest of the setup does not hold"
  grep -qF "InstallerUrl: '$url'" "$out/Velmora.Quorvix.installer.yaml" || fail "the manifest does not give the address"

  # Signed: the hash is that of the signed file; nothing else changes.
  signed_copy || return
  mkdir -p "$work/signed"
  "$TAVIX_HOST_WRITER" --winget "$work/signed.exe" --url "$url" -o "$work/signed" >/dev/null ||
    { fail "the writer made no manifest of the signed setup"; return; }
  /usr/bin/python3 "$here/winget_check.py" "$work/signed" "$work/signed.exe" "$TAVIX_SCHEMA_DIR" "$root/README.md" ||
    fail "the manifest of the signed setup does not hold"
  local changed
  changed=$(diff "$out/Velmora.Quorvix.installer.yaml" "$work/signed/Velmora.Quorvix.installer.yaml" | grep -c '^[<>]')
  [ "$changed" -eq 2 ] || fail "signing changed $changed lines of the installer manifest, not the hash alone"
  for f in Velmora.Quorvix.yaml Velmora.Quorvix.locale.zh-CN.yaml; do
    cmp -s "$out/$f" "$work/signed/$f" || fail "signing changed $f"
  done
  cp "$work/signed.exe" "$TAVIX_WINGET_DIR/signed.exe"

  # What writes nothing.
  cp "$TAVIX_SETUP_EXE" "$work/damaged.exe"
  /usr/bin/python3 - "$work/damaged.exe" "$TAVIX_RELEASE_DIR/Setup.ini" <<'PY'
import sys
setup, ini = sys.argv[1], open(sys.argv[2], "rb").read()
data = bytearray(open(setup, "rb").read())
at = data.find(ini)
assert at > 0, "the control file is not in the setup"
data[at + ini.find(b"Serial=") + 7] ^= 1
open(setup, "wb").write(bytes(data))
PY
  expect_refused damaged 3 "is damaged: its control file does not match" "$work/damaged.exe" --url "$url" -o "$work/damaged"
  expect_refused program 3 "is no setup the release writer made" "$TAVIX_PROGRAM_EXE" --url "$url" -o "$work/program"
  expect_refused text 3 "is not a Windows program" "$TAVIX_RELEASE_DIR/Setup.ini" --url "$url" -o "$work/text"
  expect_refused address 2 "is no http:// or https:// address" "$TAVIX_SETUP_EXE" --url "ftp://example.com/x.exe" \
    -o "$work/address"
  expect_refused no_address 2 "usage:" "$TAVIX_SETUP_EXE" -o "$work/no_address"
  expect_refused no_folder 3 "does not exist" "$TAVIX_SETUP_EXE" --url "$url" -o "$work/no_folder/missing"
}

case_windows_writer() {
  [ -f "$TAVIX_WINGET_DIR/signed.exe" ] || { fail "no manifest of the Linux writer in $TAVIX_WINGET_DIR"; return; }
  for setup in "$TAVIX_SETUP_EXE" "$TAVIX_WINGET_DIR/signed.exe"; do
    local name
    name=$(basename "$setup" .exe)
    mkdir -p "$work/linux-$name" "$work/windows-$name"
    "$TAVIX_HOST_WRITER" --winget "$setup" --url "$url" -o "$work/linux-$name" >/dev/null ||
      fail "the Linux writer made no manifest of $setup"
    "$here/wine-run.sh" "$TAVIX_WIN_WRITER" --winget "$(win "$setup")" --url "$url" -o "$(win "$work/windows-$name")" \
      >"$work/windows.out" 2>"$work/windows.err" </dev/null ||
      { fail "the Windows writer made no manifest of $setup:"; cat "$work/windows.err" >&2; }
    diff -r "$work/linux-$name" "$work/windows-$name" >&2 || fail "the writers write other manifests of $setup"
  done
}

"case_$case_name"
[ "$failures" -eq 0 ] && echo "ok $case_name"
exit $((failures > 0))
