#!/usr/bin/env bash
# Runs a command of the native GUI's tests on a fresh Xvfb display. One Wine
# server serves the prefix, and its session keeps the display its first
# program had: no other Wine program may run meanwhile (a test without a
# display would leave the windows nowhere), and a session still bound to an
# earlier test's display must end first. The windows are those of a Chinese
# Windows.
#   OnDisplay.sh COMMAND...      (WINEPREFIX names the prefix)
set -euo pipefail
export WINEDEBUG=-all
# A Chinese Windows: Wine's own texts (message box buttons) in Chinese.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
wineserver -w 2>/dev/null || true
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$@" || status=$?
# The session is bound to the display that has just gone: it ends before
# the next Wine program starts (the tests run alone, RUN_SERIAL).
wineserver -k 2>/dev/null || true
exit "$status"
