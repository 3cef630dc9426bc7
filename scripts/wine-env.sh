# Sourced by the scripts: a Wine prefix of the project's own and a display.
# TAVIX_FRESH_PREFIX=1 makes the prefix anew.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${TAVIX_WINEPREFIX:-$root/build/wineprefix}
export TAVIX_WINEPREFIX=$WINEPREFIX
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=zh_CN.UTF-8

tavix_start_display() {
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n=99
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    TAVIX_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

tavix_make_prefix() {
  if [ "${TAVIX_FRESH_PREFIX:-0}" = 1 ]; then
    wineserver -k 2>/dev/null || true
    # A small drive left mounted by a run that was stopped half-way.
    if mountpoint -q "$WINEPREFIX/small-drive" 2>/dev/null; then umount "$WINEPREFIX/small-drive"; fi
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # The wizard's fonts: map SimSun (宋体) and Tahoma to a Chinese font that is installed.
    cat > "$WINEPREFIX/fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"宋体"="WenQuanYi Micro Hei"
"NSimSun"="WenQuanYi Micro Hei"
"Tahoma"="WenQuanYi Micro Hei"
"MS Sans Serif"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
    wine regedit /S "$WINEPREFIX/fonts.reg" >/dev/null 2>&1
    wineserver -w
  fi
  # A second disk, as most PCs have: the control file's default folder is on D:.
  mkdir -p "$WINEPREFIX/drive_d"
  [ -e "$WINEPREFIX/dosdevices/d:" ] || ln -s ../drive_d "$WINEPREFIX/dosdevices/d:"
  # Start the server and Wine's own services now, detached from our output:
  # started later by a test, they would hold the test runner's pipes open.
  wineserver -p 600 </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

tavix_stop() {
  wineserver -k 2>/dev/null || true
  [ -n "${TAVIX_XVFB_PID:-}" ] && kill "$TAVIX_XVFB_PID" 2>/dev/null || true
}
