#!/usr/bin/env bash
# Builds the setup with the sample release and starts it under Wine on the
# current display. Without one it runs on a virtual display: then it says so,
# saves a screenshot of the first window and prints where.
# Where Wine's 32-bit loader cannot run (or with TAVIX_WIN64=1), it builds and
# starts the 64-bit build of the same sources under wine64 instead, and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
source "$root/scripts/wine-env.sh"
tavix_choose_wine
if [ "$TAVIX_WIN_BITS" = 64 ]; then
  tree=win64
  echo "== this starts the 64-bit build of the setup (build/win64) under wine64: $TAVIX_WIN_WHY"
else
  tree=win
  echo "== this starts the setup, TavixSetup.exe (build/win): $TAVIX_WIN_WHY"
fi
TAVIX_WIN_TREES=$tree "$root/scripts/build.sh"
tavix_start_display
tavix_make_prefix
setup=$root/build/$tree/TavixSetup.exe
if [ -z "${TAVIX_XVFB_PID:-}" ]; then
  echo "== the setup runs on your display $DISPLAY"
  "$TAVIX_WINE" "$setup"
  exit
fi

# A virtual display: nothing shows on a screen.
trap tavix_stop EXIT
trap 'exit 130' INT TERM
shot=$root/build/screenshots/start.png
log=$root/build/start-wine.log
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
echo "== no display: the setup runs on the virtual display $DISPLAY (Xvfb, 1024x768), which no screen shows"
"$TAVIX_WINE" "$setup" >"$log" 2>&1 &
setup_pid=$!
# The first window: the wizard over the backdrop, two windows of the setup.
shown=0
for _ in $(seq 300); do
  if ! kill -0 "$setup_pid" 2>/dev/null; then break; fi
  n=$(xdotool search --onlyvisible --classname 'tavixsetup.exe' 2>/dev/null | wc -l || true)
  if [ "$n" -ge 2 ]; then shown=1; break; fi
  sleep 0.2
done
if [ "$shown" != 1 ]; then
  echo "the setup showed no window; Wine's output is in $log" >&2
  exit 1
fi
sleep 1  # let it paint
import -display "$DISPLAY" -window root "$shot"
echo "== screenshot of the first window: $shot"
echo "   The setup waits there for input. To drive it from another terminal, for example:"
echo "     DISPLAY=$DISPLAY xdotool key Return                      # Enter presses 下一步"
echo "     DISPLAY=$DISPLAY import -window root /tmp/setup.png      # another screenshot"
echo "   Ctrl+C ends the setup and the virtual display."
wait "$setup_pid" || true
