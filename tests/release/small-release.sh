#!/usr/bin/env bash
# Writes a small release folder, unlike the sample release in every text:
# another caption, serial, licence heading, shortcut name and folder. Two of
# its lines are there for the release check: 東方.txt, whose first character
# is 0x96 0x7C in GBK (a second byte "|"), and an item whose name and type are
# keywords of a resource script (__LINE__ RCDATA).
#
#   tests/release/small-release.sh OUT_DIR [TAVI.exe Uninstall.exe]
#
# The two programs are copied when given (the end-to-end run installs and
# starts them); otherwise small stand-in bytes take their place. Texts are
# written as GBK with CR LF line ends, the manifest's last line without one.
set -euo pipefail
[ $# -eq 1 ] || [ $# -eq 3 ] || { echo "usage: $0 OUT_DIR [TAVI.exe Uninstall.exe]" >&2; exit 2; }
out=$1
rm -rf "$out"
mkdir -p "$out/文档" "$out/Data"

gbk() {  # UTF-8 lines on stdin -> GBK with CR LF, no line end after the last line
  iconv -f UTF-8 -t GBK | sed 's/$/\r/' | head -c -2
}

if [ $# -eq 3 ]; then
  cp "$2" "$out/TAVI.exe"
  cp "$3" "$out/Uninstall.exe"
else
  printf 'MZ small release main program\n' >"$out/TAVI.exe"
  printf 'MZ small release uninstaller\n' >"$out/Uninstall.exe"
fi

{ gbk; printf '\r\n'; } >"$out/Setup.ini" <<'EOF'
[***]
[Form]
Caption=Quorvix轻量版v3.1.0.2（试用版）
Serial=03010002
Version=3.1.0.2（试用版）
SQXY=软件许可协议
desKtopLink=\Quorvix轻量版v3.1.lnk

[SetupDir]
Drive=C:
DirName=QvLite31
SetupPath=C:\Program Files\QvLite31

[Run]
FileName=TAVI.exe
RJSize=3
EOF

gbk >"$out/Setup.log" <<'EOF'
FileExe exename TAVI.exe
uninstall exename Uninstall.exe
FileIni ininame Options.ini
FileTxt4 txtname 软件许可协议.txt
FileTxt5 txtname Setup.log
FileTxt6 txtname Setup.ini
LiteDoc1 name1 文档\使用 说明.txt
LiteDB1d DBname1 Data\Lite.dat
LiteDoc2 name2 文档\東方.txt
__LINE__ RCDATA Data\Lite.idx
EOF

{ gbk; printf '\r\n'; } >"$out/Options.ini" <<'EOF'
[Option]
Reset=0
Lite=1
EOF

{ gbk; printf '\r\n'; } >"$out/软件许可协议.txt" <<'EOF'
Quorvix轻量版 软件许可协议

本协议是您与 Velmora 之间关于 Quorvix轻量版（试用版）的协议。
试用期为三十天。
EOF

{ gbk; printf '\r\n'; } >"$out/文档/使用 说明.txt" <<'EOF'
Quorvix轻量版 使用说明：打开食谱，计算营养。
EOF

{ gbk; printf '\r\n'; } >"$out/文档/東方.txt" <<'EOF'
東方：Quorvix轻量版的东方食谱说明。
EOF

# An index of 256 bytes, every byte value once.
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)))' >"$out/Data/Lite.idx"

# A data file of 70,000 bytes, the largest item besides the programs.
head -c 70000 /dev/zero | tr '\0' 'Q' >"$out/Data/Lite.dat"
