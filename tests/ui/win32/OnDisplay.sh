#!/usr/bin/env bash
# Runs a command of the native GUI's tests on a fresh Xvfb display. One Wine
# server serves the prefix; a session still bound to an earlier test's
# display (gone with its Xvfb) must end first, so the new windows go to the
# new display. The windows are those of a Chinese Windows.
#   OnDisplay.sh COMMAND...      (WINEPREFIX names the prefix)
set -euo pipefail
export WINEDEBUG=-all
# A Chinese Windows: Wine's own texts (message box buttons) in Chinese.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
wineserver -w 2>/dev/null || true
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
