#!/usr/bin/env bash
# The Windows program end to end under Wine: t7setup.exe, alone in a folder
# of the prefix's C: drive, runs silently on a prepared examination server
# (web.config of the installation, an applicationHost.config with a site,
# the IIS key, the installer's "sa" password in the registry, the embedded
# database server) and must leave the registry values, the application /t7
# and the new connection string behind. The installation folder has a
# Chinese name, which the program must take from the command line intact
# although the prefix's ANSI code page (1252) cannot hold it.
#   WineSilentRun.sh T7SETUP_EXE T7MACHINE_EXE ANSWERS_FILE
# WINEPREFIX names the prefix; the wizard's files go to its C: drive.
set -euo pipefail
exe=$1 machine_tool=$2 answers=$3
source "$(dirname "$0")/WineServer.sh"
folder='考试/Exam'
prepare_server "$machine_tool" "$folder"

# The program, alone, started as the installer starts it.
cp "$exe" "$c/T7Setup/t7setup.exe"
cp "$answers" "$c/answers.txt"

# The first argument unquoted runs to the end of the command line: the
# folder is missing, and the run ends before anything is written.
run_installer 't7 "C:\考试\Exam" /s /f1"C:\answers.txt" /f2"C:\setup.log"'
grep -q 'ResultCode=1' "$c/setup.log" || fail "unquoted first argument: $(cat "$c/setup.log")"
grep -q '程序运行缺少参数' "$c/setup.log" || fail "no missing-argument message"
if wine reg query 'HKLM\Software\Ostrel\Install' /v WebURL >/dev/null 2>&1; then fail "WebURL written"; fi

start=$(date +%s.%N)
run_installer '"t7" "C:\考试\Exam" /s /f1"C:\answers.txt" /f2"C:\setup.log"'
end=$(date +%s.%N)
[ "$status" -eq 0 ] || { cat "$c/setup.log" >&2; fail "exit status $status"; }
grep -q 'ResultCode=0' "$c/setup.log" || { cat "$c/setup.log" >&2; fail "no ResultCode=0"; }

url=$(check_new_installation "$folder")
awk -v a="$start" -v b="$end" -v url="$url" 'BEGIN { printf "silent run under Wine: %.1f s, WebURL %s\n", b - a, url }'
