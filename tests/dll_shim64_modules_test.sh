#!/bin/bash
# Veltrox64.dll is an x86-64 module in every build (the 64-bit shell loads
# it) that imports only Windows' own DLLs and exports exactly the two COM
# entry points; VeltroxHost.exe has Veltrox.dll's word size and imports only
# Windows' own DLLs too.
# Args: build folder, source folder.
set -u
build="$1"
status=0
fail() { echo "FAIL: $*"; status=1; }
system_dlls=" kernel32.dll user32.dll shell32.dll ole32.dll msvcrt.dll advapi32.dll "

# checkModule FILE EXPECTED-FORMAT
checkModule() {
  local file="$1" format="$2" objdump headers name
  [ -f "$file" ] || { fail "$file not built"; return; }
  case "$format" in pei-x86-64) objdump=x86_64-w64-mingw32-objdump ;; *) objdump=i686-w64-mingw32-objdump ;; esac
  "$objdump" -f "$file" 2>/dev/null | grep -q "file format $format" || fail "$(basename "$file") is not $format"
  headers=$("$objdump" -p "$file")
  for name in $(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case "$system_dlls" in *" $name "*) ;; *) fail "$(basename "$file") imports $name" ;; esac
  done
  HEADERS="$headers"
}

checkModule "$build/bin/Veltrox64.dll" pei-x86-64
exports=$(printf '%s\n' "$HEADERS" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
          | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$exports" = "DllCanUnloadNow DllGetClassObject " ] || fail "Veltrox64.dll exports '$exports'"

if x86_64-w64-mingw32-objdump -f "$build/bin/Veltrox.dll" 2>/dev/null | grep -q pei-x86-64; then
  checkModule "$build/bin/VeltroxHost.exe" pei-x86-64
else
  checkModule "$build/bin/VeltroxHost.exe" pei-i386
fi
[ "$status" -eq 0 ] && echo "Veltrox64.dll and VeltroxHost.exe: OK"
exit "$status"
