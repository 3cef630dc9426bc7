#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (as root, or
# with sudo). Quick when everything is already there.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# Both Wine loaders and both MinGW-w64 targets: the 32-bit setup is always
# built, and where Wine's 32-bit loader cannot run (a kernel without 32-bit
# support) the tests drive a 64-bit build of it under wine64. libcrypto
# (libssl-dev) gives the Linux release writer its SHA-256; the package
# manager's manifests are checked against their schemas with jsonschema and
# yaml.
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth x11-utils xdotool fonts-wqy-microhei locales imagemagick
          liblnk-utils icoutils osslsigncode nsis python3 python3-pefile openssl time
          libssl-dev python3-jsonschema python3-yaml libzstd-dev zstd dpkg-dev)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then $sudo dpkg --add-architecture i386; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi
# Wine's ANSI code page follows the locale: zh_CN gives 936 (GBK), the code
# page the setup is made for; en_US gives 1252, under which one end-to-end
# scenario installs.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc.utf8$"; then
    $sudo sed -i "s/^# *$loc.UTF-8 UTF-8/$loc.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    need_locales=1
  fi
done
if [ -n "${need_locales:-}" ]; then $sudo locale-gen >/dev/null; fi

# The payload's codec for the Windows programs: Debian's own source package
# of zstd, unpacked outside the repository; the build compiles the parts it
# needs from there (cmake/zstd.cmake). Its version is the one libzstd-dev
# has, so the Linux and Windows writers make the same bytes.
zstd_src=${TAVIX_ZSTD_SOURCE_ROOT:-/usr/local/src/tavix-deps}
zstd_upstream=$(dpkg-query -W -f='${Version}' libzstd-dev | sed 's/[+-].*//')
zstd_dir=$zstd_src/libzstd-$zstd_upstream
if [ ! -f "$zstd_dir/lib/zstd.h" ]; then
  list=/etc/apt/sources.list.d/tavix-deb-src.sources
  if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm bookworm-updates" \
      "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" "Types: deb-src" \
      "URIs: http://deb.debian.org/debian-security" "Suites: bookworm-security" "Components: main" \
      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $sudo tee "$list" >/dev/null
    $sudo apt-get update -q
  fi
  tmp=$($sudo mktemp -d)
  # The source of the same upstream release as libzstd-dev; a version whose
  # files the mirror lacks is skipped.
  got=""
  for v in $(apt-cache showsrc libzstd | sed -n 's/^Version: //p'); do
    [ "${v%%[+-]*}" = "$zstd_upstream" ] || continue
    if (cd "$tmp" && $sudo apt-get source -q --download-only "libzstd=$v" >/dev/null 2>&1 &&
        $sudo dpkg-source --no-check -x ./libzstd_*.dsc src >/dev/null); then got=$v; break; fi
    $sudo rm -rf "${tmp:?}"/*
  done
  [ -n "$got" ] || { echo "deps.sh: no source of libzstd $zstd_upstream could be had" >&2; exit 1; }
  $sudo mkdir -p "$zstd_src"
  $sudo rm -rf "$zstd_dir"
  $sudo mv "$tmp/src" "$zstd_dir"
  $sudo rm -rf "$tmp"
fi
