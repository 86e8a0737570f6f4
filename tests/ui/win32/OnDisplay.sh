#!/usr/bin/env bash
# Runs a command of the native GUI's tests on a fresh Xvfb display. One Wine
# server serves the prefix; a session still bound to an earlier test's
# display (gone with its Xvfb) must end first, so the new windows go to the
# new display.
#   OnDisplay.sh COMMAND...      (WINEPREFIX names the prefix)
set -euo pipefail
export WINEDEBUG=-all
wineserver -w 2>/dev/null || true
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
