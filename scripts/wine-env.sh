# Sourced by the scripts and the test runners: the Wine that runs the Windows
# programs, a Wine prefix of the project's own and a display.
#
# Where Wine's 32-bit loader runs, it runs the setup itself (build/win) in
# build/wineprefix. Where it cannot (a kernel without 32-bit support gives
# "Exec format error"), the programs of build/win64, a 64-bit build of the
# same sources, run under wine64 in build/wineprefix64. TAVIX_WIN64=1 takes
# the 64-bit way on any host. TAVIX_FRESH_PREFIX=1 makes the prefix anew.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=zh_CN.UTF-8
tavix_wine32=/usr/lib/wine/wine
tavix_wine64=/usr/lib/wine/wine64
# On the 64-bit way this folder comes first on PATH: its "wine" (and
# "wine-stable", which Debian's wineboot, winepath and the other starters
# call) runs the 64-bit loader, so that a bare "wine" is right on both ways.
tavix_wine64_path=$root/scripts/wine64-path

# Sets TAVIX_WIN_BITS to the word size of the programs this host runs under
# Wine (32 or 64), TAVIX_WIN_WHY to the reason in a few words, and the Wine
# for them (tavix_use_wine). The question is whether the 32-bit loader runs,
# whatever packages are installed.
tavix_choose_wine() {
  local out rc=0
  out=$(export LC_ALL=C; "$tavix_wine32" --version 2>&1) || rc=$?
  if [ "${TAVIX_WIN64:-0}" = 1 ]; then
    TAVIX_WIN_BITS=64
    TAVIX_WIN_WHY="TAVIX_WIN64=1 asks for the 64-bit way"
    [ "$rc" -eq 0 ] && TAVIX_WIN_WHY+=" (Wine's 32-bit loader would run here)"
  elif [ "$rc" -eq 0 ]; then
    TAVIX_WIN_BITS=32
    TAVIX_WIN_WHY="Wine's 32-bit loader runs on this machine"
  else
    TAVIX_WIN_BITS=64
    TAVIX_WIN_WHY="Wine's 32-bit loader does not run on this machine (${out##*: }, exit code $rc)"
  fi
  tavix_use_wine "$TAVIX_WIN_BITS"
}

# tavix_use_wine 32|64: the loader ($TAVIX_WINE) and the prefix for programs
# of that word size. TAVIX_WINEPREFIX, when set, names the prefix; the test
# runners call this with the word size of their build tree.
tavix_use_wine() {
  local path=":$PATH:"
  path=${path//":$tavix_wine64_path:"/:}
  path=${path#:}
  path=${path%:}
  if [ "$1" = 64 ]; then
    TAVIX_WINE=$tavix_wine64
    export WINELOADER=$tavix_wine64 WINEARCH=win64
    export WINEPREFIX=${TAVIX_WINEPREFIX:-$root/build/wineprefix64}
    export PATH=$tavix_wine64_path${path:+:$path}
  else
    TAVIX_WINE=$tavix_wine32
    unset WINELOADER
    export PATH=$path
    export WINEARCH=win32
    export WINEPREFIX=${TAVIX_WINEPREFIX:-$root/build/wineprefix}
  fi
  export TAVIX_WIN_BITS=$1
}

# tavix_must WHAT COMMAND...: runs a command whose failure nobody expects
# (a step that sets up a prefix or a session), its output kept aside. When
# it fails, says what could not be done, the command, its exit code and its
# own output, and returns that exit code: the caller stops there instead of
# going on to a confusing assertion.
tavix_must() {
  local what=$1 out rc=0
  shift
  # A file, not a pipe: a Wine command that starts the server and the
  # session's services hands them its output, and they outlive it.
  out=$(mktemp)
  "$@" >"$out" 2>&1 </dev/null || rc=$?
  if [ "$rc" -ne 0 ]; then
    {
      echo "FAIL: $what: \`$*\` ended with exit code $rc"
      sed 's/^/    /' "$out"
    } >&2
  fi
  rm -f "$out"
  return "$rc"
}

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
    tavix_must "make the Wine prefix $WINEPREFIX" "$TAVIX_WINE" wineboot -i || return
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
    tavix_must "map the wizard's fonts" "$TAVIX_WINE" regedit /S "$WINEPREFIX/fonts.reg" || return
    wineserver -w
  fi
  # A second disk, as most PCs have: the control file's default folder is on D:.
  mkdir -p "$WINEPREFIX/drive_d"
  [ -e "$WINEPREFIX/dosdevices/d:" ] || ln -s ../drive_d "$WINEPREFIX/dosdevices/d:"
  # Start the server and Wine's own services now, detached from our output:
  # started later by a test, they would hold the test runner's pipes open.
  wineserver -p 600 </dev/null >/dev/null 2>&1 || true
  "$TAVIX_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

tavix_stop() {
  wineserver -k 2>/dev/null || true
  [ -n "${TAVIX_XVFB_PID:-}" ] && kill "$TAVIX_XVFB_PID" 2>/dev/null || true
}
