#!/usr/bin/env bash
# The Windows program end to end under Wine: t7setup.exe, alone in a folder
# of the prefix's C: drive, runs silently on a prepared examination server
# (web.config of the installation, an applicationHost.config with a site,
# the IIS key, the installer's "sa" password in the registry, the embedded
# database server) and must leave the registry values, the application /t7
# and the new connection string behind.
#   WineSilentRun.sh T7SETUP_EXE T7MACHINE_EXE ANSWERS_FILE
# WINEPREFIX names the prefix; the wizard's files go to its C: drive.
set -euo pipefail
exe=$1 machine_tool=$2 answers=$3
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix}"
export WINEDEBUG=-all
c="$WINEPREFIX/drive_c"
system32="$c/windows/system32"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A clean examination server.
rm -rf "$c/Exam" "$c/T7Setup" "$c/T7Server" "$c/answers.txt" "$c/setup.log" "$c/run.bat"
wine reg delete 'HKLM\Software\Ostrel' /f >/dev/null 2>&1 || true
mkdir -p "$c/Exam/WebRoot" "$c/T7Setup" "$system32/inetsrv/config"
cat > "$c/Exam/WebRoot/web.config" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <connectionStrings>
    <add name="Ostrel" connectionString="server=(local);uid=sa;pwd=;database=T7" />
  </connectionStrings>
</configuration>
XML
cat > "$system32/inetsrv/config/applicationHost.config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<configuration>
  <system.applicationHost>
    <sites>
      <site name="Default Web Site" id="1" serverAutoStart="true">
        <application path="/">
          <virtualDirectory path="/" physicalPath="C:\inetpub\wwwroot" />
        </application>
        <bindings>
          <binding protocol="http" bindingInformation="*:80:" />
        </bindings>
      </site>
    </sites>
  </system.applicationHost>
</configuration>
XML
wine reg add 'HKCR\IIS' /f >/dev/null
wine reg add 'HKLM\Software\Ostrel\Install' /v sqlPwd /d Sa2026pwd /f >/dev/null
# The database server as the product's installer leaves it: "sa" with that
# password.
wine "$machine_tool" init 'C:\T7Server' --sql-pwd Sa2026pwd --sa-password Sa2026pwd >/dev/null
export T7SETUP_DATABASE='engine:C:\T7Server\sqlserver'

# The program, alone, started as the installer starts it. A batch file hands
# the command line to the program exactly as written.
cp "$exe" "$c/T7Setup/t7setup.exe"
cp "$answers" "$c/answers.txt"
run() {
  printf '@C:\\T7Setup\\t7setup.exe %s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" > "$c/run.bat"
  status=0
  wine cmd /c 'C:\run.bat' </dev/null >/dev/null 2>&1 || status=$?
}

# The first argument unquoted runs to the end of the command line: the
# folder is missing, and the run ends before anything is written.
run 't7 "C:\Exam" /s /f1"C:\answers.txt" /f2"C:\setup.log"'
grep -q 'ResultCode=1' "$c/setup.log" || fail "unquoted first argument: $(cat "$c/setup.log")"
grep -q '程序运行缺少参数' "$c/setup.log" || fail "no missing-argument message"
if wine reg query 'HKLM\Software\Ostrel\Install' /v WebURL >/dev/null 2>&1; then fail "WebURL written"; fi

start=$(date +%s.%N)
run '"t7" "C:\Exam" /s /f1"C:\answers.txt" /f2"C:\setup.log"'
end=$(date +%s.%N)
[ "$status" -eq 0 ] || { cat "$c/setup.log" >&2; fail "exit status $status"; }
grep -q 'ResultCode=0' "$c/setup.log" || { cat "$c/setup.log" >&2; fail "no ResultCode=0"; }

value() { wine reg query "HKLM\\Software\\Ostrel\\$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  */, ""); print }'; }
url=$(value Install WebURL)
[[ "$url" =~ ^http://[^/]+/t7$ ]] || fail "WebURL '$url'"
[ "$(value DB SystemDBName)" = T7 ] || fail "SystemDBName '$(value DB SystemDBName)'"
user=$(value DB DBUser) password=$(value DB DBUserPassword)
[ -n "$user" ] && [ "$user" != admin ] || fail "DBUser '$user' (scrambled expected)"
[ -n "$password" ] && [ "$password" != Exam2026 ] || fail "DBUserPassword '$password' (scrambled expected)"
[ "$(value Install ifDataSucceed)" = 1 ] || fail "ifDataSucceed '$(value Install ifDataSucceed)'"

config="$system32/inetsrv/config/applicationHost.config"
grep -q '<application path="/t7"' "$config" || fail "no application /t7 in applicationHost.config"
grep -qi 'physicalPath="C:\\Exam\\WebRoot"' "$config" || fail "/t7 does not serve C:\\Exam\\WebRoot"
grep -q 'uid=admin;pwd=Exam2026;database=T7' "$c/Exam/WebRoot/web.config" ||
  fail "web.config: $(grep connectionString "$c/Exam/WebRoot/web.config")"
awk -v a="$start" -v b="$end" -v url="$url" 'BEGIN { printf "silent run under Wine: %.1f s, WebURL %s\n", b - a, url }'
