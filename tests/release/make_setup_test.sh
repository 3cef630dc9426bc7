#!/usr/bin/env bash
# Tests of the release author's command scripts/make-setup.sh, run on small
# releases made in a temporary folder.
#
#   tests/release/make_setup_test.sh CASE
#
# CASE: refusals | warnings | summary_and_version | resource_names | reproducible | signing
# TAVIX_MAKE_SETUP_BUILD names the build folder the command reuses (default:
# a folder in the temporary one, built anew).
set -uo pipefail
source "$(dirname "$0")/test_lib.sh" make-setup-test "${1:?usage: make_setup_test.sh CASE}"
tsa_pid=""
more_cleanup() { [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; }

# make_setup ARGS...: runs the command; its exit code in $rc, output in $work/out.txt and $work/err.txt.
make_setup() {
  "$root/scripts/make-setup.sh" -B "$build" "$@" >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
}

# apply DIR STEPS: changes a release folder, one step after another (";"
# between steps):
#   log:SED  ini:SED     edit Setup.log / Setup.ini byte-wise with sed
#   py:FILE:EXPR         replace the bytes b of FILE with Python's EXPR
#   rm:PATH  mkdir:PATH  add:PATH (a small file)  big:PATH:BYTES (a sparse file)
#   noise:PATH:BYTES     a sparse file whose first megabyte is random: the writer
#                        finds that it does not shrink and stores it as it is
#   ln:TARGET:PATH       PATH becomes a symbolic link to TARGET
apply() {
  local rel=$1 e rest
  IFS=';' read -ra steps <<<"$2"
  for e in "${steps[@]}"; do
    case "$e" in
      log:*) edit "$rel/Setup.log" "${e#log:}" ;;
      ini:*) edit "$rel/Setup.ini" "${e#ini:}" ;;
      py:*) rest=${e#py:}
            "$py" -c 'import sys; p, e = sys.argv[1], sys.argv[2]; b = open(p, "rb").read(); open(p, "wb").write(eval(e))' \
                "$rel/${rest%%:*}" "${rest#*:}" ;;
      rm:*) rm -r "$rel/${e#rm:}" ;;
      mkdir:*) mkdir -p "$rel/${e#mkdir:}" ;;
      add:*) echo stray >"$rel/${e#add:}" ;;
      big:*) rest=${e#big:}; truncate -s "${rest#*:}" "$rel/${rest%%:*}" ;;
      noise:*) rest=${e#noise:}; head -c 1048576 /dev/urandom >"$rel/${rest%%:*}"
               truncate -s "${rest#*:}" "$rel/${rest%%:*}" ;;
      ln:*) rest=${e#ln:}; ln -s "${rest%%:*}" "$rel/${rest#*:}" ;;
      *) fail "unknown step $e" ;;
    esac
  done
}

case_refusals() {
  # A problem stops the command before anything is built or written; the
  # message names the file, the line and the rule. One row per kind:
  # name | steps | words of the message.
  local outside="$work/outside"
  mkdir -p "$outside/Data"
  echo "a file outside the release" >"$outside/Lite.dat"
  echo "a file outside the release" >"$outside/Data/Lite.dat"
  local long
  long=$(printf 'n%.0s' $(seq 229))  # "Data\" + 229: 26 + 234 = 260 characters below C:\Program Files\QvLite31
  local gbk_utf8='b.decode("gbk").encode("utf-8")'
  local -a rows=(
    'missing-file|rm:Data/Lite.dat|manifest line 8: the file "Data\Lite.dat" is missing from the release folder'
    'dot-dot-level|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data\\..\\Lite.dat/|manifest line 8: the target path "Data\..\Lite.dat" has a level ".." that is only dots'
    'duplicate-name|log:s/^LiteDoc1 name1 /LiteDB1d name1 /|manifest line 8: the resource name "LiteDB1d" is already used on manifest line 7'
    'no-path|log:s/^FileIni ininame Options.ini/FileIni ininame/|manifest line 3: the line does not split into name, type and path'
    'absolute-path|log:s/^FileIni ininame Options.ini/FileIni ininame C:\\Options.ini/|manifest line 3: the target path "C:\Options.ini" names a drive or is absolute'
    'leading-backslash|log:s/^FileIni ininame Options.ini/FileIni ininame \\Options.ini/|manifest line 3: the target path "\Options.ini" begins with "\"'
    'empty-line|log:s/^FileIni ininame Options.ini\r$/\r/|manifest line 3: the line does not split into name, type and path'
    'two-spaces|log:s/^FileIni ininame Options.ini/FileIni  ininame Options.ini/|manifest line 3: the line does not split into name, type and path'
    'not-gbk|log:s/^FileIni ininame Options.ini/FileIni ininame Opt\xffions.ini/|manifest line 3: byte 20 is not valid GBK text'
    'bad-name|log:s/^FileIni ininame Options.ini/File-Ini ininame Options.ini/|manifest line 3: a resource name or type must be letters, digits and "_"'
    'device-name|log:s/^FileIni ininame Options.ini/FileIni ininame CON/|manifest line 3: the target path "CON" has a level "CON" that is a device name of Windows'
    'device-with-extension|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data\\aux.txt/|manifest line 8: the target path "Data\aux.txt" has a level "aux.txt" that is a device name of Windows'
    'device-com|log:s/^FileIni ininame Options.ini/FileIni ininame COM1.log/|manifest line 3: the target path "COM1.log" has a level "COM1.log" that is a device name'
    'device-folder|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 nul\\a.txt/|manifest line 8: the target path "nul\a.txt" has a level "nul" that is a device name'
    'folder-ends-in-dot|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data.\\Lite.dat/|manifest line 8: the target path "Data.\Lite.dat" has a level "Data." that ends in a dot'
    'folder-ends-in-blank|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data \\Lite.dat/|manifest line 8: the target path "Data \Lite.dat" has a level "Data " that ends in a blank'
    'file-ends-in-dot|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data\\Lite.dat./|manifest line 8: the target path "Data\Lite.dat." has a level "Lite.dat." that ends in a dot'
    'dot-level|log:s/^FileIni ininame Options.ini/FileIni ininame .\\Options.ini/|manifest line 3: the target path ".\Options.ini" has a level "." that is only dots'
    'three-dots|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data\\...\\Lite.dat/|manifest line 8: the target path "Data\...\Lite.dat" has a level "..." that is only dots'
    'blank-level|log:s/^LiteDB1d DBname1 Data\\Lite.dat/LiteDB1d DBname1 Data\\ \\Lite.dat/|manifest line 8: the target path "Data\ \Lite.dat" has a level " " that ends in a blank'
    'same-file-other-case|py:Setup.log:b.replace("文档\\東方.txt".encode("gbk"), b"data\\lite.DAT")|manifest line 9: the target path "data\lite.DAT" is the same file on Windows as "Data\Lite.dat" of manifest line 8'
    'same-path-twice|py:Setup.log:b.replace("文档\\東方.txt".encode("gbk"), b"Data\\Lite.dat")|manifest line 9: the target path "Data\Lite.dat" is also the target of manifest line 8'
    "too-long|log:s/^LiteDB1d DBname1 Data\\\\Lite.dat/LiteDB1d DBname1 Data\\\\$long/|is 260 characters long below the default folder \"C:\\Program Files\\QvLite31\", more than the 259 Windows allows for a path"
    "link-outside|rm:Data/Lite.dat;ln:$outside/Lite.dat:Data/Lite.dat|manifest line 8: \"Data\\Lite.dat\" is a symbolic link that leads out of the release folder (to $outside/Lite.dat)"
    "folder-link-outside|rm:Data;ln:$outside/Data:Data|manifest line 8: \"Data\\Lite.dat\" is a symbolic link that leads out of the release folder (to $outside/Data/Lite.dat)"
    'folder-not-file|rm:Data/Lite.dat;mkdir:Data/Lite.dat|manifest line 8: "Data\Lite.dat" is a folder in the release folder, not a file'
    'manifest-utf8-bom|py:Setup.log:b"\xef\xbb\xbf" + b|Setup.log: found UTF-8 text with a byte-order mark (EF BB BF); expected GBK text (code page 936) with CR LF line ends'
    "manifest-utf8|py:Setup.log:$gbk_utf8|Setup.log: found UTF-8 text (line 4 has \"软\" in UTF-8); expected GBK text (code page 936) with CR LF line ends"
    'manifest-utf16|py:Setup.log:b.decode("gbk").encode("utf-16")|Setup.log: found UTF-16 text (little-endian, byte-order mark FF FE); expected GBK text'
    'manifest-nul|py:Setup.log:b.replace(b"FileIni", b"\0ileIni")|Setup.log: found a NUL byte (byte 60, line 3); expected GBK text'
    'control-utf8-bom|py:Setup.ini:b"\xef\xbb\xbf" + b|Setup.ini: found UTF-8 text with a byte-order mark (EF BB BF); expected GBK text (code page 936) with CR LF line ends'
    "control-utf8|py:Setup.ini:$gbk_utf8|Setup.ini: found UTF-8 text (line 3 has \"轻\" in UTF-8); expected GBK text"
    'control-utf16|py:Setup.ini:b.decode("gbk").encode("utf-16")|Setup.ini: found UTF-16 text (little-endian, byte-order mark FF FE); expected GBK text'
    'no-caption|ini:/^Caption=/d|Setup.ini: [Form] Caption is missing or empty'
    'program-in-folder|ini:s/^FileName=TAVI.exe/FileName=bin\\TAVI.exe/|Setup.ini: [Run] FileName "bin\TAVI.exe" is not a plain file name (has a folder part): the main program is written into the installation folder before any other folder exists'
    'link-without-backslash|ini:s/^desKtopLink=\\/desKtopLink=/|Setup.ini: [Form] desKtopLink "Quorvix轻量版v3.1.lnk" is not "\" and a file name ending in ".lnk"'
    'too-large|noise:Data/Big.bin:1610612737;py:Setup.log:b + b"\r\nBigItem name3 Data\\Big.bin"|the payload as written into the setup is 1,610,6')
  local row name steps words
  for row in "${rows[@]}"; do
    IFS='|' read -r name steps words <<<"$row"
    local rel="$work/$name"
    new_release "$rel"
    apply "$rel" "$steps"
    make_setup "$rel" -o "$work/$name.exe"
    [ "$rc" -eq 1 ] || fail "$name: exit code $rc, not 1"
    expect_text "$work/err.txt" "$words" "$name"
    expect_text "$work/err.txt" "the release is refused; no setup was made" "$name"
    [ ! -e "$work/$name.exe" ] || fail "$name: a setup was written"
    rm -rf "$rel"
  done
}

case_warnings() {
  # Each fault builds a setup all the same and is named by its warnings, one
  # line each, prefixed "warning:". Host names are shown as they are (UTF-8).
  local -a names=(serial-too-big serial-not-digits program-not-listed no-licence no-manifest-item
                  no-control-item control-item-type stray-files lone-line-ends)
  local -a edits=(
    'ini:s/^Serial=03010002/Serial=2147483648/'
    'ini:s/^Serial=03010002/Serial=3.1.0.2/'
    'ini:s/^FileName=TAVI.exe/FileName=QvLite.exe/'
    'log:/^FileTxt4 /d;rm:软件许可协议.txt'
    'log:/^FileTxt5 /d'
    'log:/^FileTxt6 /d'
    'log:s/^FileTxt6 txtname /FileTxt6 ininame /'
    'add:notes.txt;add:Data/Lite.bak;add:文档/备注.txt'
    'py:Setup.ini:b.replace(b"\r\n[Run]", b"\n[Run]")')
  # Expected warnings of each case, separated by "|".
  local -a words=(
    '[Form] Serial "2147483648" does not fit a signed 32-bit integer'
    '[Form] Serial "3.1.0.2" is not all digits'
    '[Run] FileName "QvLite.exe" is not a target path of the manifest'
    'the manifest names no item FileTxt4 (the licence agreement'
    "the manifest names no item FileTxt5 (the manifest|/Setup.log is not named by the manifest"
    "the manifest names no item FileTxt6 (the control file|/Setup.ini is not named by the manifest"
    'manifest line 6: item FileTxt6 has the type "ininame", but the setup fetches it as "txtname"'
    "/notes.txt is not named by the manifest|/Data/Lite.bak is not named by the manifest|/文档/备注.txt is not named by the manifest"
    'Setup.ini: 1 line end is a lone LF or CR; expected GBK text (code page 936) with CR LF line ends')
  for i in "${!names[@]}"; do
    local rel="$work/${names[$i]}" out="$work/${names[$i]}.exe" e
    new_release "$rel"
    apply "$rel" "${edits[$i]}"
    make_setup "$rel" -o "$out"
    [ "$rc" -eq 0 ] || { fail "${names[$i]}: exit code $rc"; cat "$work/err.txt" >&2; continue; }
    [ -s "$out" ] || fail "${names[$i]}: no setup written"
    IFS='|' read -ra expected <<<"${words[$i]}"
    local count
    count=$(grep -c '^release_writer: warning: ' "$work/err.txt")
    [ "$count" -eq "${#expected[@]}" ] || { fail "${names[$i]}: $count warnings, not ${#expected[@]}"; cat "$work/err.txt" >&2; }
    for e in "${expected[@]}"; do expect_text "$work/err.txt" "$e" "${names[$i]}"; done
  done
}

# check_items RELEASE PE_FACTS COUNT: every manifest item is carried byte for
# byte under its upper-case type and name (strings, language 2052), the
# checksum table has one line per item in manifest order with zlib's CRC-32
# and the size of the release file, and the loader can search the names.
check_items() {
  local rel=$1 facts=$2 count=$3 name type path sum crc size expected=""
  while read -r name type path; do
    path=${path%$'\r'}
    local file="$rel/${path//\\//}"
    sum=$(sha256sum "$file" | cut -d' ' -f1)
    size=$(stat -c %s "$file")
    crc=$("$py" -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$file")
    grep -qxF "item ${type^^}/${name^^} $size $sum $crc 2052" "$facts" || fail "item $type/$name is not $path"
    expected+="checksum ${name^^} ${type^^} $crc $size"$'\n'
  done < <(iconv -f GBK -t UTF-8 "$rel/Setup.log"; echo)
  [ "$(grep -c '^item ' "$facts")" -eq "$count" ] || fail "not $count items in the setup"
  [ "$(grep '^checksum ' "$facts")"$'\n' = "$expected" ] || fail "the checksum table is not that of the release files"
  grep -qx 'resource-order sorted' "$facts" || fail "the resource names are not in the loader's order"
  [ "$failures" -eq 0 ] || sed 's/^/  | /' "$facts" >&2
}

case_summary_and_version() {
  local rel="$work/small" out="$work/out/TavixSetup.exe"
  new_release "$rel"
  make_setup "$rel" -o "$out"
  [ "$rc" -eq 0 ] || { fail "exit code $rc"; cat "$work/err.txt" >&2; return; }
  if grep -q 'warning' "$work/err.txt"; then fail "warnings for a good release"; cat "$work/err.txt" >&2; fi
  local total
  total=$(find "$rel" -type f -printf '%s\n' | awk '{ t += $1 } END { print t }')
  [ "$total" -gt 70000 ] || fail "the release holds only $total bytes"
  expect_text "$work/out.txt" "items:        10" summary
  expect_text "$work/out.txt" "total bytes:  $(python3 -c "print(f'{$total:,}')")" summary
  expect_text "$work/out.txt" 'largest item: Data\Lite.dat (70,000 bytes)' summary
  expect_text "$work/out.txt" 'caption:      Quorvix轻量版v3.1.0.2（试用版）' summary
  expect_text "$work/out.txt" 'serial:       03010002 (file version 3.1.0.2)' summary
  expect_text "$work/out.txt" "NOT signed" summary
  [ -s "$out" ] || { fail "no setup at $out"; return; }

  # Read the built file back with pefile.
  "$py" "$here/read_pe.py" "$out" >"$work/pe.txt" || { fail "pefile cannot read $out"; return; }
  local line
  for line in 'version 3.1.0.2' 'product-version 3.1.0.2' 'translation 0804 04b0' \
              'string CompanyName=Velmora' 'string ProductName=Quorvix' \
              'string FileVersion=3.1.0.2（试用版）' 'string ProductVersion=3.1.0.2（试用版）' \
              'string FileDescription=Quorvix轻量版v3.1.0.2（试用版） 安装程序' \
              'string OriginalFilename=TavixSetup.exe' 'icon-group 1 48,32,16' 'signed no'; do
    grep -qxF -- "$line" "$work/pe.txt" || fail "version resource: no line \"$line\""
  done
  check_items "$rel" "$work/pe.txt" 10
  # The program's bytes and its own resources, in a valid image.
  "$py" "$here/compare_image.py" "$build/program/TavixSetup.exe" "$out" >"$work/image.txt" ||
    { fail "the setup is not the program with the release added:"; cat "$work/image.txt" >&2; }

  # Another serial form: five digits, as release 2.72 had.
  edit "$rel/Setup.ini" 's/^Serial=03010002/Serial=27200/'
  make_setup "$rel" -o "$out"
  [ "$rc" -eq 0 ] || fail "five-digit serial: exit code $rc"
  "$py" "$here/read_pe.py" "$out" | grep -qx 'version 2.72.0.0' || fail "serial 27200 does not give 2.72.0.0"

  # A file dated before the last build (as an unpacked archive leaves it) is embedded anew.
  head -c 70000 /dev/zero | tr '\0' 'R' >"$rel/Data/Lite.dat"
  touch -d 2001-01-01 "$rel/Data/Lite.dat"
  sum=$(sha256sum "$rel/Data/Lite.dat" | cut -d' ' -f1)
  make_setup "$rel" -o "$work/out"
  [ "$rc" -eq 0 ] || fail "old-dated file: exit code $rc"
  "$py" "$here/read_pe.py" "$out" | grep -q "^item DBNAME1/LITEDB1D 70000 $sum " ||
    fail "a file dated before the last build was not embedded anew"
}

case_signing() {
  local rel="$work/small" keys="$work/keys" out="$work/signed/TavixSetup.exe"
  new_release "$rel"
  mkdir -p "$keys"
  printf 'a throw-away pass phrase\n' >"$keys/pass.txt"
  openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/O=Velmora/CN=Velmora test signing" \
      -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" \
      -passout "file:$keys/pass.txt" 2>"$work/openssl.txt" || { fail "openssl cannot make a certificate"; return; }

  # Half a key pair, or a pass phrase without one, is refused before building.
  local -a bad_names=(cert-only key-only pass-only)
  local -a bad_args=("--cert $keys/cert.pem" "--key $keys/key.pem" "--pass $keys/pass.txt")
  local -a bad_words=("signing needs both --cert and --key" "signing needs both --cert and --key"
                      "--pass is for signing")
  for i in "${!bad_names[@]}"; do
    # shellcheck disable=SC2086
    make_setup "$rel" -o "$work/${bad_names[$i]}.exe" ${bad_args[$i]}
    [ "$rc" -eq 1 ] || fail "${bad_names[$i]}: exit code $rc, not 1"
    expect_text "$work/err.txt" "${bad_words[$i]}" "${bad_names[$i]}"
    [ ! -e "$work/${bad_names[$i]}.exe" ] || fail "${bad_names[$i]}: a setup was written"
  done

  # Unsigned: said so, and there is no signature to verify.
  make_setup "$rel" -o "$work/unsigned.exe"
  [ "$rc" -eq 0 ] || fail "unsigned build: exit code $rc"
  expect_text "$work/out.txt" "NOT signed" unsigned
  if osslsigncode verify -CAfile "$keys/cert.pem" -in "$work/unsigned.exe" >"$work/verify.txt" 2>&1; then
    fail "an unsigned setup verifies"
  fi

  # Signed with the key's pass phrase: verifies against the certificate.
  make_setup "$rel" -o "$out" --cert "$keys/cert.pem" --key "$keys/key.pem" --pass "$keys/pass.txt"
  [ "$rc" -eq 0 ] || { fail "signed build: exit code $rc"; cat "$work/err.txt" >&2; return; }
  expect_text "$work/out.txt" "signed (O = Velmora, CN = Velmora test signing)" signed
  osslsigncode verify -CAfile "$keys/cert.pem" -in "$out" >"$work/verify.txt" 2>&1 || fail "the signed setup does not verify"
  expect_text "$work/verify.txt" "Signature verification: ok" signed
  expect_text "$work/verify.txt" "Velmora test signing" signed
  "$py" "$here/read_pe.py" "$out" >"$work/pe.txt"
  grep -qx 'signed yes' "$work/pe.txt" || fail "no certificate table in the signed setup"
  grep -qx 'version 3.1.0.2' "$work/pe.txt" || fail "signing lost the version resource"
  # Signing adds the signature and nothing else: the signed content's digest is that of the
  # unsigned setup of the same release.
  osslsigncode extract-data -h sha256 -in "$out" -out "$work/signed.data" >/dev/null 2>&1 &&
    osslsigncode extract-data -h sha256 -in "$work/unsigned.exe" -out "$work/unsigned.data" >/dev/null 2>&1 &&
    cmp -s "$work/signed.data" "$work/unsigned.data" || fail "the signed setup's content differs from the unsigned one's"

  # A tampered byte breaks the signature.
  cp "$out" "$work/tampered.exe"
  printf 'X' | dd of="$work/tampered.exe" bs=1 seek=$(($(stat -c %s "$out") / 2)) conv=notrunc 2>/dev/null
  if osslsigncode verify -CAfile "$keys/cert.pem" -in "$work/tampered.exe" >"$work/verify.txt" 2>&1; then
    fail "a tampered setup verifies"
  fi

  # A wrong pass phrase fails the signing, and nothing is left at the output.
  printf 'wrong\n' >"$keys/wrong.txt"
  make_setup "$rel" -o "$work/wrong.exe" --cert "$keys/cert.pem" --key "$keys/key.pem" --pass "$keys/wrong.txt"
  [ "$rc" -eq 1 ] || fail "wrong pass phrase: exit code $rc, not 1"
  expect_text "$work/err.txt" "signing failed; no setup was written" wrong-pass
  [ ! -e "$work/wrong.exe" ] && ! compgen -G "$work/wrong.exe.*" >/dev/null || fail "wrong pass phrase: files left behind"

  # With a time-stamping service: a local one made here.
  local tsa="$work/tsa"
  mkdir -p "$tsa"
  echo 01 >"$tsa/serial"
  cat >"$tsa/tsa.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $tsa/serial
signer_cert = $tsa/tsa.pem
signer_key = $tsa/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Velmora test time stamps" \
      -addext "extendedKeyUsage=critical,timeStamping" -keyout "$tsa/tsa.key" -out "$tsa/tsa.pem" 2>>"$work/openssl.txt"
  python3 "$here/tsa_server.py" "$tsa/tsa.cnf" >"$tsa/port.txt" 2>"$tsa/server.txt" &
  tsa_pid=$!
  local port=""
  for _ in $(seq 50); do port=$(head -n1 "$tsa/port.txt" 2>/dev/null); [ -n "$port" ] && break; sleep 0.1; done
  [ -n "$port" ] || { fail "the time-stamping service did not start"; return; }
  make_setup "$rel" -o "$work/stamped.exe" --cert "$keys/cert.pem" --key "$keys/key.pem" \
      --pass "$keys/pass.txt" --timestamp "http://127.0.0.1:$port/"
  [ "$rc" -eq 0 ] || { fail "timestamped build: exit code $rc"; cat "$work/err.txt" >&2; return; }
  expect_text "$work/out.txt" "timestamped by http://127.0.0.1:$port/" stamped
  osslsigncode verify -CAfile "$keys/cert.pem" -TSA-CAfile "$tsa/tsa.pem" -in "$work/stamped.exe" \
      >"$work/verify.txt" 2>&1 || fail "the timestamped setup does not verify"
  expect_text "$work/verify.txt" "Timestamp Server Signature verification: ok" stamped
  expect_text "$work/verify.txt" "Signature verification: ok" stamped
}

case_resource_names() {
  # Names and types that a resource script reads as keywords, as numbers of
  # its own or as statements are carried as the strings they are, and the
  # setup's lookup (by string, upper case) finds each.
  local rel="$work/names" out="$work/names.exe"
  new_release "$rel"
  edit "$rel/Setup.log" 's/^FileIni ininame /RCDATA Bitmap /;s/^LiteDoc1 name1 /HTML Win32 /;s/^LiteDB1d DBname1 /ICON VERSIONINFO /;s/^LiteDoc2 name2 /STRINGTABLE BEGIN /'
  make_setup "$rel" -o "$out"
  [ "$rc" -eq 0 ] || { fail "exit code $rc"; cat "$work/err.txt" >&2; return; }
  "$py" "$here/read_pe.py" "$out" >"$work/pe.txt" || { fail "pefile cannot read $out"; return; }
  local item
  for item in BITMAP/RCDATA WIN32/HTML VERSIONINFO/ICON BEGIN/STRINGTABLE RCDATA/__LINE__; do
    grep -q "^item $item " "$work/pe.txt" || fail "no item $item"
  done
  check_items "$rel" "$work/pe.txt" 10
  # The setup's own version resource and icon stay what they were.
  grep -qx 'version 3.1.0.2' "$work/pe.txt" || fail "the version resource changed"
  grep -qx 'icon-group 1 48,32,16' "$work/pe.txt" || fail "the icon changed"
}

case_reproducible() {
  # The same release folder gives the same bytes, from another build folder
  # too, and with its files touched.
  local rel="$work/small" other="$work/other-build"
  new_release "$rel"
  make_setup "$rel" -o "$work/first.exe"
  [ "$rc" -eq 0 ] || { fail "first build: exit code $rc"; cat "$work/err.txt" >&2; return; }
  find "$rel" -exec touch -d 2030-01-01 {} +
  "$root/scripts/make-setup.sh" -B "$other" "$rel" -o "$work/second.exe" >"$work/out.txt" 2>"$work/err.txt" ||
    { fail "second build: exit code $?"; cat "$work/err.txt" >&2; return; }
  cmp "$work/first.exe" "$work/second.exe" >"$work/cmp.txt" 2>&1 ||
    { fail "two builds of one release differ:"; head -5 "$work/cmp.txt" >&2; }
  # Another release gives other bytes (the comparison can fail).
  edit "$rel/Setup.ini" 's/^Serial=03010002/Serial=03010003/'
  make_setup "$rel" -o "$work/third.exe"
  ! cmp -s "$work/first.exe" "$work/third.exe" || fail "another serial gives the same setup"
}

run_case
