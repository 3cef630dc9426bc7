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
          libssl-dev python3-jsonschema python3-yaml)
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
