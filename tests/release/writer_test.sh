#!/usr/bin/env bash
# Tests of the release writer on small releases made in a temporary folder:
# the programs it refuses, failures while writing that leave nothing behind,
# memory that does not grow with the payload, the release kit used away
# from this repository, and --verify on setups with one byte changed.
#
#   tests/release/writer_test.sh CASE
#
# CASE: program_inputs | write_failures | flat_memory | kit | verify
# The prebuilt program comes from the build folder make-setup.sh reuses
# (TAVIX_MAKE_SETUP_BUILD); TAVIX_WRITER names the writer under test (default:
# the one built there).
set -uo pipefail
source "$(dirname "$0")/test_lib.sh" writer-test "${1:?usage: writer_test.sh CASE}"
mounted=""
more_cleanup() {
  if [ -n "$mounted" ]; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo umount "$mounted"
  fi
}

# The small release, its setup made by make-setup.sh (which builds the
# prebuilt program and the writer when they are missing or out of date),
# and the paths of both.
prepare() {
  new_release "$work/small"
  if ! "$root/scripts/make-setup.sh" -B "$build" "$work/small" -o "$work/small.exe" >"$work/make.txt" 2>&1; then
    fail "make-setup.sh failed:"
    tail -n 20 "$work/make.txt" >&2
    exit 1
  fi
  program=$build/program/TavixSetup.exe
  built_writer=$build/host-tools/tools/release_writer
  writer=${TAVIX_WRITER:-$built_writer}
}

# write ARGS...: runs the writer; its exit code in $rc, output in $work/out.txt and $work/err.txt.
write() {
  "$writer" "$@" >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
}

# expect_not_written WHAT FOLDER: the writer said why and left FOLDER empty.
expect_not_written() {
  [ "$rc" -eq 3 ] || fail "$1: exit code $rc, not 3"
  expect_text "$work/err.txt" "; no setup was written" "$1"
  [ -z "$(ls -A "$2" 2>/dev/null)" ] || { fail "$1: files left in $2:"; ls -la "$2" >&2; }
}

# A 64-bit (PE32+) program with an icon: built here when a 64-bit MinGW is
# at hand, else one of Wine's own.
pe32plus_program() {
  if command -v x86_64-w64-mingw32-gcc >/dev/null; then
    printf '#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) { return 0; }\n' \
      >"$work/win64.c"
    printf '1 ICON "%s"\n' "$root/resources/tavix.ico" >"$work/win64.rc"
    x86_64-w64-mingw32-windres "$work/win64.rc" -O coff -o "$work/win64.res.o" &&
      x86_64-w64-mingw32-gcc "$work/win64.c" "$work/win64.res.o" -o "$work/win64.exe" -mwindows -s \
        -Wl,--file-alignment=0x1000 && { echo "$work/win64.exe"; return; }
  fi
  local wine64
  for wine64 in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe /usr/lib/wine/x86_64-windows/notepad.exe; do
    [ -f "$wine64" ] && { echo "$wine64"; return; }
  done
}

# A throw-away code-signing key pair in $work/keys.
make_keys() {
  mkdir -p "$work/keys"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/O=Velmora/CN=Velmora test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/keys/key.pem" -out "$work/keys/cert.pem" \
    2>"$work/keys/openssl.txt"
}

case_program_inputs() {
  # A prebuilt program that is not one is refused before anything is
  # written, the message naming it and what is wrong. One row per kind:
  # name | the file | words of the message.
  prepare
  local progs=$work/programs size
  mkdir -p "$progs"
  size=$(stat -c %s "$program")
  head -c 900 "$program" >"$progs/headers-cut.exe"
  head -c $((size / 2)) "$program" >"$progs/sections-cut.exe"
  cp "$built_writer" "$progs/linux-program"
  printf 'MZ\x90\0 this is no program at all\n' >"$progs/mz-text.exe"
  cp "$work/small.exe" "$progs/a-setup.exe"
  local win64
  win64=$(pe32plus_program)
  [ -n "$win64" ] || fail "no 64-bit Windows program to test with (install mingw-w64 or wine64)"
  [ -z "$win64" ] || cp "$win64" "$progs/win64.exe"
  make_keys && osslsigncode sign -certs "$work/keys/cert.pem" -key "$work/keys/key.pem" -h sha256 \
    -in "$program" -out "$progs/signed.exe" >"$work/sign.txt" 2>&1 || fail "cannot sign the program"

  local -a rows=(
    "headers-cut.exe|is truncated (900 bytes): it ends inside its headers"
    "sections-cut.exe|is truncated ($((size / 2)) bytes): its section"
    "linux-program|is not a Windows program: it is an ELF file (a Linux program)"
    "mz-text.exe|is truncated"
    "a-setup.exe|carries a checksum table: it is a setup made already, not the prebuilt program"
    "win64.exe|is a 64-bit program (PE32+)"
    "signed.exe|is signed (it carries a certificate table)"
    "missing.exe|cannot read the program $progs/missing.exe: No such file or directory")
  local row name words
  for row in "${rows[@]}"; do
    IFS='|' read -r name words <<<"$row"
    mkdir -p "$work/out-$name"
    write "$progs/$name" "$work/small" -o "$work/out-$name/TavixSetup.exe"
    expect_not_written "$name" "$work/out-$name"
    [[ "$words" == cannot* ]] || expect_text "$work/err.txt" "the program $progs/$name $words" "$name"
    [[ "$words" != cannot* ]] || expect_text "$work/err.txt" "$words" "$name"
  done

  # A 64-bit program makes a 64-bit setup when asked to, for the tests: one
  # built here (Wine's own programs are not laid out as the writer takes them).
  if [[ "$win64" != "$work/"* ]]; then
    fail "--allow-64bit: no 64-bit program could be built here to make a setup of (x86_64-w64-mingw32-gcc)"
  else
    write "$progs/win64.exe" "$work/small" -o "$work/win64-setup.exe" --allow-64bit
    [ "$rc" -eq 0 ] || { fail "--allow-64bit: exit code $rc"; cat "$work/err.txt" >&2; }
    "$py" "$here/compare_image.py" "$progs/win64.exe" "$work/win64-setup.exe" >"$work/image.txt" ||
      { fail "the 64-bit setup is not the program with the release added:"; cat "$work/image.txt" >&2; }
  fi
}

case_write_failures() {
  prepare
  # The output's folder does not exist: it is not made.
  write "$program" "$work/small" -o "$work/nowhere/TavixSetup.exe"
  expect_not_written missing-folder "$work/nowhere"
  expect_text "$work/err.txt" "cannot write $work/nowhere/TavixSetup.exe: the folder $work/nowhere does not exist" \
    missing-folder
  [ ! -e "$work/nowhere" ] || fail "missing-folder: the folder was made"

  # The depfile's folder does not exist: neither file is written.
  mkdir -p "$work/dep-out"
  write "$program" "$work/small" -o "$work/dep-out/TavixSetup.exe" --depfile "$work/nowhere/TavixSetup.d"
  expect_not_written depfile-folder "$work/dep-out"
  expect_text "$work/err.txt" "cannot write $work/nowhere/TavixSetup.d: " depfile-folder
  # Beside the setup, both are written.
  write "$program" "$work/small" -o "$work/dep-out/TavixSetup.exe" --depfile "$work/dep-out/TavixSetup.d"
  [ "$rc" -eq 0 ] || fail "depfile: exit code $rc"
  grep -qF "$work/dep-out/TavixSetup.exe:" "$work/dep-out/TavixSetup.d" || fail "depfile: it does not name the setup"

  # The output is the program itself: refused, the program stays.
  mkdir -p "$work/self"
  cp "$program" "$work/self/TavixSetup.exe"
  write "$work/self/TavixSetup.exe" "$work/small" -o "$work/self/TavixSetup.exe"
  [ "$rc" -eq 3 ] || fail "self: exit code $rc, not 3"
  expect_text "$work/err.txt" "is the program itself" self
  cmp -s "$program" "$work/self/TavixSetup.exe" || fail "self: the program changed"

  # An item that cannot be read (the file's mode; root reads any file, so
  # the writer runs as nobody then). A setup that was at the output stays
  # as it was.
  local rel=$work/unreadable out=$work/unreadable-out
  new_release "$rel"
  mkdir -p "$out"
  echo "an earlier setup" >"$out/TavixSetup.exe"
  chmod 000 "$rel/Data/Lite.dat"
  chmod 777 "$out"
  chmod 755 "$work"
  local -a as_user=()
  [ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  "${as_user[@]}" "$writer" "$program" "$rel" -o "$out/TavixSetup.exe" >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
  [ "$rc" -eq 3 ] || fail "unreadable: exit code $rc, not 3"
  expect_text "$work/err.txt" "cannot read $rel/Data/Lite.dat: Permission denied; no setup was written" unreadable
  [ "$(ls -A "$out")" = TavixSetup.exe ] || { fail "unreadable: files left behind:"; ls -la "$out" >&2; }
  [ "$(cat "$out/TavixSetup.exe")" = "an earlier setup" ] || fail "unreadable: the earlier setup was changed"
  chmod 644 "$rel/Data/Lite.dat"
  write "$program" "$rel" -o "$out/TavixSetup.exe"
  [ "$rc" -eq 0 ] || fail "readable again: exit code $rc"
  cmp -s "$out/TavixSetup.exe" "$work/small.exe" || fail "the setup that replaced the earlier one is not the release's"

  # A full disk while writing: a small disk of its own.
  local full=$work/full sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  mkdir -p "$full"
  if $sudo mount -t tmpfs -o size=1m,mode=0777 tavix-writer-test "$full"; then
    mounted=$full
    rel=$work/large
    new_release "$rel"
    head -c 3000000 /dev/urandom >"$rel/Data/Lite.dat"
    write "$program" "$rel" -o "$full/TavixSetup.exe"
    expect_not_written full-disk "$full"
    expect_text "$work/err.txt" "cannot write $full/TavixSetup.exe: No space left on device" full-disk
  else
    fail "cannot mount a small disk for the full-disk case"
  fi
}

case_flat_memory() {
  # The items' bytes are streamed and compressed with a bounded window: the
  # peak memory of the writer stops growing once its compression threads
  # all have work (blocks of some 100 MB at the default level). Two releases
  # with one item that shrinks, of 300 and of 900 MB, at the default level;
  # measured on the writer the build makes.
  prepare
  local size peak=()
  for size in 300000000 900000000; do
    local rel=$work/large-$size
    new_release "$rel"
    truncate -s "$size" "$rel/Data/Big.bin"
    printf '\r\nBigItem bigdata Data\\Big.bin' >>"$rel/Setup.log"
    /usr/bin/time -f %M -o "$work/peak.txt" "$built_writer" "$program" "$rel" -o "$work/large.exe" --quiet ||
      fail "the release of $size bytes: exit code $?"
    peak+=("$(tail -n 1 "$work/peak.txt")")
    rm -f "$work/large.exe"
    rm -rf "$rel"
  done
  echo "peak memory: ${peak[0]} kB for 300 MB, ${peak[1]} kB for 900 MB"
  [ "${peak[1]}" -le $((peak[0] + 16384)) ] ||
    fail "the writer took ${peak[1]} kB for 900 MB, ${peak[0]} kB for 300 MB (goal: the same, within 16 MB)"
}

case_kit() {
  # The kit, taken away from this repository: the writer of Linux makes the
  # same setup that make-setup.sh makes, and it signs and verifies.
  prepare
  if ! "$root/scripts/make-kit.sh" -B "$build" -o "$work/kit-out" >"$work/kit.txt" 2>&1; then
    fail "make-kit.sh failed:"
    cat "$work/kit.txt" >&2
    return
  fi
  local kit=$work/author/TavixSetup-kit
  mkdir -p "$work/author"
  cp -r "$work/kit-out/TavixSetup-kit" "$work/author/"
  [ "$(LC_ALL=C ls "$kit" | tr "\n" " ")" = "README.txt TavixSetup.exe release_writer release_writer.exe " ] ||
    fail "the kit holds $(ls "$kit" | tr '\n' ' ')"
  if ldd "$kit/release_writer" | grep -q 'libstdc++'; then fail "the kit's writer needs libstdc++"; fi
  "$py" - "$kit" <<'PY' || fail "the kit's Windows writer is not a 32-bit console program"
import sys, pefile
pe = pefile.PE(sys.argv[1] + "/release_writer.exe")
sys.exit(0 if pe.FILE_HEADER.Machine == 0x14C and pe.OPTIONAL_HEADER.Subsystem == 3 else 1)
PY
  "$py" - "$work/kit-out/TavixSetup-kit.zip" "$kit" <<'PY' || fail "the kit's archive is not its folder"
import os, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
files = sorted("TavixSetup-kit/" + n for n in os.listdir(sys.argv[2]))
same = names == files and all(z.read(n) == open(os.path.join(sys.argv[2], n.split("/")[1]), "rb").read() for n in names)
sys.exit(0 if same else 1)
PY
  for word in signtool osslsigncode release_writer.exe "--winget"; do expect_text "$kit/README.txt" "$word" readme; done

  (cd "$work/author" && env -i PATH=/usr/bin:/bin TavixSetup-kit/release_writer TavixSetup-kit/TavixSetup.exe \
     "$work/small" -o TavixSetup.exe) >"$work/out.txt" 2>"$work/err.txt" || fail "the kit's writer: exit code $?"
  expect_text "$work/out.txt" "items:        10" kit-writer
  cmp -s "$work/author/TavixSetup.exe" "$work/small.exe" || fail "the kit's writer made other bytes than make-setup.sh"
  make_keys || { fail "openssl cannot make a certificate"; return; }
  osslsigncode sign -certs "$work/keys/cert.pem" -key "$work/keys/key.pem" -h sha256 -n "Quorvix 安装程序" \
    -in "$work/author/TavixSetup.exe" -out "$work/author/signed.exe" >"$work/sign.txt" 2>&1 || fail "signing failed"
  osslsigncode verify -CAfile "$work/keys/cert.pem" -in "$work/author/signed.exe" >"$work/verify.txt" 2>&1 ||
    fail "the signed setup does not verify"
  expect_text "$work/verify.txt" "Signature verification: ok" kit-signed
  # ... and describes the signed setup for the package manager, alone too.
  mkdir -p "$work/author/manifest"
  (cd "$work/author" && env -i PATH=/usr/bin:/bin TavixSetup-kit/release_writer --winget signed.exe \
     --url https://downloads.example.com/TavixSetup.exe -o manifest) >"$work/winget.txt" 2>&1 ||
    fail "the kit's writer wrote no manifest: $(cat "$work/winget.txt")"
  local hash
  hash=$(sha256sum "$work/author/signed.exe" | cut -c1-64 | tr a-f A-F)
  expect_text "$work/author/manifest/Velmora.Quorvix.installer.yaml" "InstallerSha256: $hash" kit-manifest
  [ "$(ls "$work/author/manifest" | wc -l)" -eq 3 ] || fail "the kit's writer wrote $(ls "$work/author/manifest")"
}

# resource_at SETUP KIND: the file offset and size of a resource of the
# setup, found by pefile: KIND "block" (the first compressed block) or
# "TYPE/NAME" (an item stored as it is).
resource_at() {
  "$py" - "$1" "$2" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for n in t.directory.entries:
        for l in n.directory.entries:
            if sys.argv[2] == "block":
                hit = t.id == 10 and n.name is None and n.id >= 7002
            else:
                hit = t.name is not None and "%s/%s" % (t.name, n.name) == sys.argv[2]
            if hit:
                print(pe.get_offset_from_rva(l.data.struct.OffsetToData), l.data.struct.Size)
                sys.exit(0)
sys.exit(1)
PY
}

# flip FILE OFFSET: changes the byte at OFFSET.
flip() {
  "$py" -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(int(sys.argv[2])); b = f.read(1); f.seek(int(sys.argv[2])); f.write(bytes([b[0] ^ 0x5A]))' "$1" "$2"
}

case_verify() {
  # A setup as written verifies, against its table alone and against its
  # release; one byte changed in a block or in an item stored as it is, or a
  # release file changed since, makes it fail, naming the item.
  prepare
  write --verify "$work/small.exe" "$work/small"
  [ "$rc" -eq 0 ] || { fail "the setup as written: exit code $rc"; cat "$work/err.txt" >&2; }
  expect_text "$work/out.txt" "10 items (" as-written
  expect_text "$work/out.txt" "every one as its checksum table records and as in $work/small" as-written
  write --verify "$work/small.exe"
  [ "$rc" -eq 0 ] || fail "the setup alone: exit code $rc"

  local at size
  read -r at size < <(resource_at "$work/small.exe" block) || { fail "the setup has no compressed block"; return; }
  cp "$work/small.exe" "$work/block.exe"
  flip "$work/block.exe" $((at + 24 + (size - 24) / 2))
  write --verify "$work/block.exe"
  [ "$rc" -eq 1 ] || fail "a changed byte in a block: exit code $rc, not 1"
  grep -q "^release_writer: item .*: \(its block 7002\|its bytes\)" "$work/err.txt" ||
    { fail "a changed byte in a block: no item named"; cat "$work/err.txt" >&2; }

  read -r at size < <(resource_at "$work/small.exe" "TXTNAME/FILETXT6") || { fail "FileTxt6 is not stored"; return; }
  cp "$work/small.exe" "$work/stored.exe"
  flip "$work/stored.exe" $((at + size / 2))
  write --verify "$work/stored.exe" "$work/small"
  [ "$rc" -eq 1 ] || fail "a changed byte in a stored item: exit code $rc, not 1"
  expect_text "$work/err.txt" "item FILETXT6 TXTNAME: its bytes (CRC-32" stored

  printf 'changed' >>"$work/small/Data/Lite.idx"
  write --verify "$work/small.exe" "$work/small"
  [ "$rc" -eq 1 ] || fail "a changed release file: exit code $rc, not 1"
  expect_text "$work/err.txt" "item __LINE__ RCDATA: its bytes differ from the release's $work/small/Data/Lite.idx" \
    release-changed

  # --store writes no block; it verifies all the same. Options that do not go together are refused.
  write "$program" "$work/small" -o "$work/stored-all.exe" --store --quiet
  [ "$rc" -eq 0 ] || fail "--store: exit code $rc"
  if resource_at "$work/stored-all.exe" block >/dev/null; then fail "--store wrote a block"; fi
  write --verify "$work/stored-all.exe"
  [ "$rc" -eq 0 ] || fail "--verify of a --store setup: exit code $rc"
  expect_text "$work/out.txt" "(0 in 0 compressed blocks, 10 stored)" store
  for args in "--store --level 3" "--level 23" "--level x" "--verify"; do
    # shellcheck disable=SC2086
    write $args "$program" "$work/small" -o "$work/refused.exe"
    [ "$rc" -eq 2 ] || fail "$args: exit code $rc, not 2"
  done
}

run_case
