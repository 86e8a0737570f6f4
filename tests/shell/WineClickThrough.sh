#!/usr/bin/env bash
# The Windows program's own windows end to end under Wine, on an X display
# (run under xvfb-run): t7setup.exe started as the installer starts it, but
# without /s, must show its top-level window "InstallShield Wizard" on the X
# server; t7drive.exe then plays the answers file by window messages, and
# the new installation must be complete when the wizard has ended. The run
# records the operator's actions (/r); on a fresh server the recording,
# replayed silently (/s), must leave the same registry values and the same
# database catalog.
#   WineClickThrough.sh T7SETUP_EXE T7MACHINE_EXE T7DRIVE_EXE ANSWERS_FILE
set -euo pipefail
exe=$1 machine_tool=$2 driver=$3 answers=$4
: "${DISPLAY:?an X display is needed (run under xvfb-run)}"
# A failure leaves a picture of the screen for whoever looks into it.
fail() {
  echo "FAIL: $*" >&2
  mkdir -p "$WINEPREFIX/../screenshots"
  xwd -root -silent | convert xwd:- "$WINEPREFIX/../screenshots/click_through_failure.png" 2>/dev/null || true
  exit 1
}

source "$(dirname "$0")/WineServer.sh"
prepare_server "$machine_tool"
cp "$exe" "$c/T7Setup/t7setup.exe"
printf '@C:\\T7Setup\\t7setup.exe "t7" "C:\\Exam" /r /f1"C:\\recorded.txt"\r\n@exit /b %%ERRORLEVEL%%\r\n' > "$c/run.bat"

start=$(date +%s.%N)
wine cmd /c 'C:\run.bat' </dev/null >"$c/wizard.out" 2>&1 &
wizard=$!
trap 'kill "$wizard" 2>/dev/null || true' EXIT

# The first page, as a top-level window of the X server: a child of the
# root window, listed at the tree's first level.
shown=""
for _ in $(seq 1 300); do
  if xwininfo -root -tree 2>/dev/null | grep -Eq '^     0x[0-9a-f]+ "InstallShield Wizard"'; then shown=1; break; fi
  kill -0 "$wizard" 2>/dev/null || break
  sleep 0.2
done
[ -n "$shown" ] || { cat "$c/wizard.out" >&2; fail "no window \"InstallShield Wizard\" on the X server"; }

wine "$driver" "$answers" || fail "the operator could not play $(basename "$answers")"
status=0
wait "$wizard" || status=$?
trap - EXIT
end=$(date +%s.%N)
[ "$status" -eq 0 ] || { cat "$c/wizard.out" >&2; fail "exit status $status"; }
url=$(check_new_installation)
awk -v a="$start" -v b="$end" -v url="$url" 'BEGIN { printf "clicked through under Wine: %.1f s, WebURL %s\n", b - a, url }'

# What a run leaves behind: the wizard's registry values and the catalog of
# the database server (databases, logins, the system database's objects).
outcome() {
  wine reg query 'HKLM\Software\Ostrel' /s | tr -d '\r' | sed '/^$/d'
  wine "$machine_tool" sql 'C:\T7Server' -U sa -P Sa2026pwd 'SELECT name FROM sys.databases ORDER BY name' | tr -d '\r'
  wine "$machine_tool" sql 'C:\T7Server' -U sa -P Sa2026pwd 'SELECT name FROM sys.server_principals ORDER BY name' | tr -d '\r'
  wine "$machine_tool" sql 'C:\T7Server' -U sa -P Sa2026pwd T7 'SELECT name, type FROM sys.objects ORDER BY name' | tr -d '\r'
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -s "$c/recorded.txt" ] || fail "nothing recorded"
mv "$c/recorded.txt" "$work/recorded.txt"
outcome >"$work/clicked"

prepare_server "$machine_tool"
cp "$exe" "$c/T7Setup/t7setup.exe"
cp "$work/recorded.txt" "$c/recorded.txt"
printf '@C:\\T7Setup\\t7setup.exe "t7" "C:\\Exam" /s /f1"C:\\recorded.txt" /f2"C:\\setup.log"\r\n@exit /b %%ERRORLEVEL%%\r\n' > "$c/run.bat"
status=0
wine cmd /c 'C:\run.bat' </dev/null >"$c/wizard.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$c/setup.log" "$work/recorded.txt" >&2; fail "replay: exit status $status"; }
check_new_installation >/dev/null
outcome >"$work/replayed"
diff -u "$work/clicked" "$work/replayed" >&2 || { cat "$work/recorded.txt" >&2; fail "the silent replay of the recording ended elsewhere"; }
echo "replayed $(grep -cv '^#' "$work/recorded.txt") recorded actions silently to the same registry and catalog"
