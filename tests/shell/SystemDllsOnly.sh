#!/usr/bin/env bash
# t7setup.exe runs on a clean Windows: every DLL it imports is part of
# Windows (the compiler's runtime libraries are linked in).
#   SystemDllsOnly.sh OBJDUMP EXE
set -euo pipefail
objdump=$1 exe=$2
dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }')
[ -n "$dlls" ] || { echo "FAIL: no imports found in $exe" >&2; exit 1; }
status=0
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll | advapi32.dll | iphlpapi.dll | msvcrt.dll | odbc32.dll | user32.dll | gdi32.dll | comctl32.dll | gdiplus.dll | shlwapi.dll | \
      shell32.dll | ole32.dll | oleaut32.dll | ws2_32.dll | bcrypt.dll | api-ms-win-*.dll) ;;
    *) echo "FAIL: $exe imports $dll, which is not part of Windows" >&2; status=1 ;;
  esac
done
echo "imports:" $dlls
exit "$status"
