#!/usr/bin/env bash
# Runs a scenario program (as wine-run.sh does) in a Wine session of its own,
# for what a Wine session fixes when it starts:
#   TAVIX_SESSION_LOCALE  the locale of every process of the session, the
#                         shell's (explorer.exe, the program manager) included;
#                         it sets the ANSI code page (en_US.UTF-8: 1252)
#   TAVIX_SESSION_SCREEN  WIDTHxHEIGHT: the session runs on a virtual display of
#                         that size of its own
#   TAVIX_SESSION_DPI     the screen's DPI (LogPixels under HKCU\Control Panel\
#                         Desktop); put back to 96 afterwards. Wine reads it when
#                         a process starts: a process that runs keeps its DPI,
#                         one started after the change has the new one.
#   TAVIX_SESSION_DRIVE_D none: the prefix has no drive D: (C: is left, and
#                         Z:, the Unix root that the tests' paths lie on);
#                         cdrom, network: D: is that kind of drive in Wine's
#                         drive settings (HKLM\Software\Wine\Drives), which
#                         the mount manager reads when a session starts.
#                         D: is a fixed disk again afterwards, whatever
#                         happened.
# The running session of the shared prefix is ended first, and the one made
# here is ended afterwards; the next scenario starts the usual session again
# (zh_CN, the shared display). The prefix stays the same.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
tavix_use_wine "${TAVIX_WIN_BITS:-32}"
locale=${TAVIX_SESSION_LOCALE:-zh_CN.UTF-8}
usual_display=${DISPLAY:-}
xvfb_pid=""

end_session() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

# Starts the server, the services and the shell now, detached from the test
# runner's output (started by the scenario, they would hold its pipes open).
start_session() {
  LC_ALL=$1 wineserver -p 600 </dev/null >/dev/null 2>&1
  LC_ALL=$1 tavix_must "start a Wine session under $1" "$TAVIX_WINE" cmd /c exit
}

# Drive D: as `none`, `cdrom`, `network` or `fixed` (the shared prefix's).
set_drive_d() {
  local link=$WINEPREFIX/dosdevices/d:
  if [ "$1" = none ]; then rm -f "$link"; else [ -L "$link" ] || ln -s ../drive_d "$link"; fi
  local rc=0 key='HKLM\Software\Wine\Drives'
  case $1 in
    cdrom|network) tavix_must "make drive D: a $1 drive" wine reg add "$key" /v d: /d "$1" /f /reg:64 || rc=$? ;;
    *)
      # reg query: 0 when D: has a type of its own, 1 when it has none.
      wine reg query "$key" /v d: /reg:64 </dev/null >/dev/null 2>&1 || rc=$?
      case $rc in
        0) tavix_must "make drive D: a fixed disk again" wine reg delete "$key" /v d: /f /reg:64 || rc=$? ;;
        1) rc=0 ;;
        *) tavix_must "read the type of drive D:" wine reg query "$key" /v d: /reg:64 || rc=$? ;;
      esac
      ;;
  esac
  # The mount manager of the session that made the change runs on as it was.
  end_session
  return "$rc"
}

end_session
if [ -n "${TAVIX_SESSION_DRIVE_D:-}" ]; then
  trap 'set_drive_d fixed' EXIT
  set_drive_d "$TAVIX_SESSION_DRIVE_D" || exit
fi
if [ -n "${TAVIX_SESSION_SCREEN:-}" ]; then
  n=120
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 "${TAVIX_SESSION_SCREEN}x24" -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
set_dpi() {
  LC_ALL=$locale tavix_must "set the screen to $1 DPI" \
    "$TAVIX_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
}
[ -z "${TAVIX_SESSION_DPI:-}" ] || set_dpi "$TAVIX_SESSION_DPI" || exit
start_session "$locale" || exit
TAVIX_SESSION_LOCALE=$locale "$here/wine-run.sh" "$@"
status=$?
if [ -n "${TAVIX_SESSION_DPI:-}" ]; then set_dpi 96 || status=1; fi
end_session
if [ -n "$xvfb_pid" ]; then
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  export DISPLAY=$usual_display
fi
if [ -n "${TAVIX_SESSION_DRIVE_D:-}" ]; then
  trap - EXIT
  set_drive_d fixed || status=1
fi
start_session zh_CN.UTF-8 || status=1
exit $status
