#!/usr/bin/env bash
# The release writer built for Windows, run under Wine beside the Linux one:
#
#   tests/e2e/windows_writer.sh CASE
#
#   same_bytes      both make the same setup, byte for byte: the sample release
#                   (the tests' TavixSetup.exe) and the small release, whose
#                   files Windows names in UTF-16 (Chinese folders and files) and
#                   whose caption holds GBK's user-defined characters
#   same_checks     both refuse and warn alike: links out of the folder, a folder
#                   where a file belongs, a missing file, files no line names
#   damaged_inputs  no Windows program, a missing output folder, a full disk
#                   (drive E:, a small disk): a message, and nothing left behind
#
# Environment: TAVIX_WIN_WRITER, TAVIX_HOST_WRITER (the two writers),
# TAVIX_PROGRAM_EXE (the prebuilt program), TAVIX_SETUP_EXE and
# TAVIX_RELEASE_DIR (the sample release and its setup), TAVIX_WRITER_OPTIONS
# (what the build gives the writer: --allow-64bit for a 64-bit program).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
case_name=${1:?usage: windows_writer.sh CASE}
work=$(mktemp -d "${TMPDIR:-/tmp}/windows-writer.XXXXXX")
work=$(cd "$work" && pwd -P)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
win() { printf 'Z:%s' "${1//\//\\}"; }
options=${TAVIX_WRITER_OPTIONS:-}

# run_both NAME RELEASE [ARGS...]: each writer makes NAME-linux.exe and
# NAME-windows.exe in $work from the release; exit codes in $linux_rc and
# $windows_rc, output in NAME-{linux,windows}.{out,err}.
run_both() {
  local name=$1 rel=$2
  shift 2
  "$TAVIX_HOST_WRITER" "$TAVIX_PROGRAM_EXE" "$rel" -o "$work/$name-linux.exe" $options "$@" \
    >"$work/$name-linux.out" 2>"$work/$name-linux.err"
  linux_rc=$?
  run_windows "$name" "$(win "$rel")" -o "$(win "$work/$name-windows.exe")" "$@"
  windows_rc=$?
}
# run_windows NAME RELEASE ARGS...: the Windows writer alone.
run_windows() {
  local name=$1
  shift
  "$here/wine-run.sh" "$TAVIX_WIN_WRITER" "$(win "$TAVIX_PROGRAM_EXE")" "$@" ${run_options-$options} \
    >"$work/$name-windows.out" 2>"$work/$name-windows.err" </dev/null
}

# The messages of a writer with its host paths in one spelling: the work
# folder as "<work>", "/" between levels, sorted.
normalized() {
  local wwork
  wwork=$(win "$work")
  sed -e "s|${wwork//\\/\\\\}|<work>|g" -e "s|$work|<work>|g" -e 's|\\|/|g' "$1" | sort
}

case_same_bytes() {
  "$TAVIX_HOST_WRITER" "$TAVIX_PROGRAM_EXE" "$TAVIX_RELEASE_DIR" -o "$work/sample-linux.exe" --quiet $options ||
    fail "the Linux writer failed on the sample release"
  cmp -s "$work/sample-linux.exe" "$TAVIX_SETUP_EXE" || fail "the Linux writer's sample setup is not the tests' setup"
  run_windows sample "$(win "$TAVIX_RELEASE_DIR")" -o "$(win "$work/sample-windows.exe")"
  [ $? -eq 0 ] || { fail "the Windows writer failed on the sample release:"; cat "$work/sample-windows.err" >&2; }
  cmp "$TAVIX_SETUP_EXE" "$work/sample-windows.exe" || fail "the writers make other bytes of the sample release"
  grep -q '^items: ' "$work/sample-windows.out" || fail "the Windows writer printed no summary"

  # The small release, with a caption that holds characters of GBK's
  # user-defined areas and of its reserved codes (AAA1, F8A1, A140, A2AB,
  # FE50) and the euro sign (80): they go into the version resource.
  local rel=$work/small
  "$root/tests/release/small-release.sh" "$rel"
  python3 - "$rel/Setup.ini" <<'PY'
import sys
p = sys.argv[1]
b = open(p, "rb").read()
open(p, "wb").write(b.replace(b"Caption=Quorvix", b"Caption=\xaa\xa1\xf8\xa1\xa1\x40\xa2\xab\xfe\x50\x80Quorvix"))
PY
  run_both small "$rel"
  [ "$linux_rc" -eq 0 ] && [ "$windows_rc" -eq 0 ] ||
    { fail "small release: exit codes $linux_rc and $windows_rc"; cat "$work/small-windows.err" >&2; }
  cmp "$work/small-linux.exe" "$work/small-windows.exe" || fail "the writers make other bytes of the small release"
  cmp -s "$work/small-linux.out" "$work/small-windows.out" ||
    { fail "the writers' summaries differ:"; diff "$work/small-linux.out" "$work/small-windows.out" >&2; }
  /usr/bin/python3 "$root/tests/release/read_pe.py" "$work/small-windows.exe" >"$work/pe.txt"
  # U+E000 U+E234 U+E4C6 U+E766 U+E815, then the euro sign, in UTF-8.
  grep -qF $'string FileDescription=\xee\x80\x80\xee\x88\xb4\xee\x93\x86\xee\x9d\xa6\xee\xa0\x95\xe2\x82\xacQuorvix' \
    "$work/pe.txt" ||
    { fail "the description is not the caption as code page 936 reads it:"; grep FileDescription "$work/pe.txt" >&2; }
}

case_same_checks() {
  local rel=$work/bad outside=$work/outside
  "$root/tests/release/small-release.sh" "$rel"
  mkdir -p "$outside/Data" "$rel/文档/旧版"
  echo "outside" >"$outside/Data/Lite.idx"
  echo "outside" >"$outside/Data/Lite.dat"
  # The folder Data is a link out of the release folder: its two files lead
  # out; Options.ini is a folder; 東方.txt is missing.
  rm -r "$rel/Data"
  ln -s "$outside/Data" "$rel/Data"
  rm "$rel/Options.ini"
  mkdir "$rel/Options.ini"
  rm "$rel/文档/東方.txt"
  echo stray >"$rel/文档/旧版/备注.txt"
  echo stray >"$rel/notes.txt"
  run_both refused "$rel"
  [ "$linux_rc" -eq 1 ] && [ "$windows_rc" -eq 1 ] || fail "refused: exit codes $linux_rc and $windows_rc, not 1"
  normalized "$work/refused-linux.err" >"$work/linux.txt"
  normalized "$work/refused-windows.err" >"$work/windows.txt"
  [ "$(grep -c 'release_writer: manifest line' "$work/linux.txt")" -eq 4 ] ||
    { fail "the Linux writer does not refuse four lines:"; cat "$work/linux.txt" >&2; }
  diff "$work/linux.txt" "$work/windows.txt" >"$work/diff.txt" ||
    { fail "the writers' messages differ (< Linux, > Windows):"; cat "$work/diff.txt" >&2; }
  [ ! -e "$work/refused-linux.exe" ] && [ ! -e "$work/refused-windows.exe" ] || fail "a refused release was written"

  # The same release made good but for the files no line names: warnings.
  rm "$rel/Data" && mkdir "$rel/Data" && cp "$outside/Data/Lite.dat" "$rel/Data/" && echo idx >"$rel/Data/Lite.idx"
  rmdir "$rel/Options.ini" && echo "[Option]" >"$rel/Options.ini"
  echo "east" >"$rel/文档/東方.txt"
  run_both warned "$rel"
  [ "$linux_rc" -eq 0 ] && [ "$windows_rc" -eq 0 ] || fail "warned: exit codes $linux_rc and $windows_rc, not 0"
  normalized "$work/warned-linux.err" >"$work/linux.txt"
  normalized "$work/warned-windows.err" >"$work/windows.txt"
  grep -qF 'the file <work>/bad/文档/旧版/备注.txt is not named by the manifest' "$work/windows.txt" ||
    { fail "no warning of a stray file in a Chinese folder:"; cat "$work/windows.txt" >&2; }
  diff "$work/linux.txt" "$work/windows.txt" >"$work/diff.txt" ||
    { fail "the writers' warnings differ (< Linux, > Windows):"; cat "$work/diff.txt" >&2; }
  cmp -s "$work/warned-linux.exe" "$work/warned-windows.exe" || fail "the writers make other bytes of the warned release"
}

case_damaged_inputs() {
  # No Windows program.
  printf 'not a program\n' >"$work/text.exe"
  mkdir -p "$work/out"
  "$here/wine-run.sh" "$TAVIX_WIN_WRITER" "$(win "$work/text.exe")" "$(win "$TAVIX_RELEASE_DIR")" \
    -o "$(win "$work/out/TavixSetup.exe")" >"$work/text.out" 2>"$work/text.err" </dev/null
  [ $? -eq 3 ] || fail "no program: exit code not 3"
  grep -qF 'text.exe is not a Windows program: it does not begin with "MZ"; no setup was written' "$work/text.err" ||
    { fail "no program: the message"; cat "$work/text.err" >&2; }
  [ -z "$(ls -A "$work/out")" ] || fail "no program: files left in the output folder"

  # A missing output folder.
  run_windows nowhere "$(win "$TAVIX_RELEASE_DIR")" -o "$(win "$work/nowhere/TavixSetup.exe")"
  [ $? -eq 3 ] || fail "missing folder: exit code not 3"
  grep -qF "the folder $(win "$work/nowhere") does not exist; no setup was written" "$work/nowhere-windows.err" ||
    { fail "missing folder: the message"; cat "$work/nowhere-windows.err" >&2; }
  [ ! -e "$work/nowhere" ] || fail "missing folder: it was made"

  # A full disk: the sample release, its items as they are, does not fit on
  # drive E: (24 MB; compressed, it would).
  local before
  before=$(ls -A "$WINEPREFIX/dosdevices/e:/")
  run_options=$(sed 's/--level [0-9]*//' <<<"$options") run_windows full "$(win "$TAVIX_RELEASE_DIR")" \
    -o 'E:\TavixSetup.exe' --store
  [ $? -eq 3 ] || fail "full disk: exit code not 3"
  # The cause is the full disk (ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL), not another failure to write.
  grep -qF 'cannot write E:\TavixSetup.exe: ' "$work/full-windows.err" &&
    grep -qE '\(error (112|39)\); no setup was written' "$work/full-windows.err" ||
    { fail "full disk: the message does not name a full disk"; cat "$work/full-windows.err" >&2; }
  [ "$(ls -A "$WINEPREFIX/dosdevices/e:/")" = "$before" ] ||
    { fail "full disk: files left on E:"; ls -la "$WINEPREFIX/dosdevices/e:/" >&2; }
}

root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
tavix_use_wine "${TAVIX_WIN_BITS:-32}"
"case_$case_name"
if [ "$failures" -gt 0 ]; then
  echo "$case_name: $failures failure(s)" >&2
  exit 1
fi
echo "$case_name: ok"
