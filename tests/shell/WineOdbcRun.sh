#!/usr/bin/env bash
# The Windows program over ODBC end to end: t7setup.exe under Wine reaches
# the database server through Wine's odbc32, the host's unixODBC and its
# FreeTDS driver, and the TDS listener of this machine's own t7machine
# (t7machine serve, started here on a free loopback port and stopped here).
# The silent run must end ResultCode=0 and leave the new installation, and
# the administrator's row must be on the listener's server.
#   WineOdbcRun.sh T7SETUP_EXE HOST_T7MACHINE ANSWERS_FILE
# WINEPREFIX names the prefix; the listener's machine folder is made beside
# it and removed afterwards.
set -euo pipefail
exe=$1 host_tool=$2 answers=$3
source "$(dirname "$0")/WineServer.sh"
[ -x "$host_tool" ] || fail "no t7machine for this machine at $host_tool"
prepare_site Exam

# The database server as the product's installer leaves it, behind its
# listener; the port comes from the listener's first line.
machine=$(mktemp -d "$WINEPREFIX/../odbc-machine.XXXXXX")
listener=""
finish() {
  if [ -n "$listener" ]; then kill "$listener" 2>/dev/null || true; wait "$listener" 2>/dev/null || true; fi
  rm -rf "$machine"
}
trap finish EXIT
"$host_tool" init "$machine" --sql-pwd Sa2026pwd --sa-password Sa2026pwd >/dev/null
# The server is local: its drive C: is the prefix's, where the wizard makes
# the data folder.
rm -rf "$machine/drive_c" && ln -s "$c" "$machine/drive_c"
exec {out}< <(exec "$host_tool" serve "$machine" --port 0 2>&1)
listener=$!
read -r -t 60 line <&"$out" || fail "the listener did not start"
port=${line##*:}
[[ "$line" == "listening on 127.0.0.1:"* && "$port" =~ ^[0-9]+$ ]] || fail "listener: $line"

cp "$exe" "$c/T7Setup/t7setup.exe"
cp "$answers" "$c/answers.txt"
# No driver named: the program picks the best SQL Server driver installed,
# here the host's FreeTDS.
export T7SETUP_DATABASE=odbc T7SETUP_ODBC="Port=$port;TDS_Version=7.4"
start=$(date +%s.%N)
run_installer '"t7" "C:\Exam" /s /f1"C:\answers.txt" /f2"C:\setup.log"'
end=$(date +%s.%N)
[ "$status" -eq 0 ] || { cat "$c/setup.log" >&2; fail "exit status $status"; }
grep -q 'ResultCode=0' "$c/setup.log" || { cat "$c/setup.log" >&2; fail "no ResultCode=0"; }
url=$(check_new_installation Exam)

# On the server: the administrator's row, and the new login can log in.
rows=$("$host_tool" sql "$machine" -U sa -P Sa2026pwd T7 "SELECT NAME FROM USERINFO WHERE NAME = 'admin'")
grep -qw admin <<<"$rows" || fail "no administrator's row in T7's USERINFO: $rows"
"$host_tool" sql "$machine" -U admin -P Exam2026 T7 "SELECT 1" >/dev/null || fail "the login admin cannot log in"
awk -v a="$start" -v b="$end" -v url="$url" 'BEGIN { printf "silent run over ODBC under Wine: %.1f s, WebURL %s\n", b - a, url }'
