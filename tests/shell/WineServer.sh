# Shared by the end-to-end runs under Wine (sourced): an examination server
# in the prefix $WINEPREFIX, and the checks of a finished new installation.
# Sets $c (the prefix's C: drive) and $system32; a script that wants its
# own fail() defines it before sourcing this file.
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix}"
export WINEDEBUG=-all
c="$WINEPREFIX/drive_c"
system32="$c/windows/system32"
declare -F fail >/dev/null || fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# prepare_site [FOLDER]: a clean examination server's files and registry:
# the installation FOLDER of the C: drive (Exam by default) with its
# web.config, an applicationHost.config with a site, the IIS key and the
# installer's "sa" password in the registry.
prepare_site() {
  local folder=${1:-Exam}
  rm -rf "$c/${folder%%/*}" "$c/T7Setup" "$c/T7Server" "$c/answers.txt" "$c/setup.log" "$c/run.bat"
  wine reg delete 'HKLM\Software\Ostrel' /f >/dev/null 2>&1 || true
  mkdir -p "$c/$folder/WebRoot" "$c/T7Setup" "$system32/inetsrv/config"
  cat > "$c/$folder/WebRoot/web.config" <<'XML'
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
}

# prepare_server T7MACHINE_EXE [FOLDER]: prepare_site, and the embedded
# database server in C:\T7Server as the product's installer leaves it: "sa"
# with that password.
prepare_server() {
  local machine_tool=$1
  prepare_site "${2:-}"
  wine "$machine_tool" init 'C:\T7Server' --sql-pwd Sa2026pwd --sa-password Sa2026pwd >/dev/null
  export T7SETUP_DATABASE='engine:C:\T7Server\sqlserver'
}

# run_installer ARGUMENTS: C:\T7Setup\t7setup.exe with this command line
# after its name, exactly as written, as the installer starts it; sets
# $status. A batch file hands the line over; Wine's cmd reads batch files in
# the OEM code page, so the line itself travels in the environment, which
# Wine converts from UTF-8 whole.
run_installer() {
  printf '@C:\\T7Setup\\t7setup.exe %%T7SETUP_TEST_ARGUMENTS%%\r\n@exit /b %%ERRORLEVEL%%\r\n' > "$c/run.bat"
  status=0
  T7SETUP_TEST_ARGUMENTS=$1 wine cmd /c 'C:\run.bat' </dev/null >/dev/null 2>&1 || status=$?
}

# check_new_installation [FOLDER]: the registry values, the application /t7
# serving FOLDER\WebRoot and the new connection string a new installation
# of FOLDER (Exam by default) leaves behind; prints WebURL.
check_new_installation() {
  local folder=${1:-Exam}
  local windows_folder="C:\\${folder//\//\\}"
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
  grep -qiF "physicalPath=\"$windows_folder\\WebRoot\"" "$config" || fail "/t7 does not serve $windows_folder\\WebRoot"
  grep -q 'uid=admin;pwd=Exam2026;database=T7' "$c/$folder/WebRoot/web.config" ||
    fail "web.config: $(grep connectionString "$c/$folder/WebRoot/web.config")"
  echo "$url"
}
