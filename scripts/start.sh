#!/usr/bin/env bash
# Builds the setup with the sample release and starts it under Wine on the
# current display (a virtual one when there is none).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
tavix_start_display
tavix_make_prefix
wine "$root/build/win/TavixSetup.exe"
