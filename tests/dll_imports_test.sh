#!/bin/bash
# Veltrox.dll must load in any process with nothing but Windows' own DLLs,
# and offer exactly the COM server's and the uninstaller's entry points.
# Args: build folder, source folder.
set -u
build="$1"
dll="$build/bin/Veltrox.dll"
if [ ! -f "$dll" ]; then
  echo "FAIL: $dll not built"
  exit 1
fi

# The objdump that matches the module's machine.
objdump=""
for candidate in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
  format=$("$candidate" -f "$dll" 2>/dev/null | sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p')
  case "$candidate:$format" in
    i686*:pei-i386|x86_64*:pei-x86-64) objdump="$candidate"; break ;;
  esac
done
if [ -z "$objdump" ]; then
  echo "FAIL: $dll is not a PE image that mingw objdump reads"
  exit 1
fi
headers=$("$objdump" -p "$dll")

status=0
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll comdlg32.dll version.dll msvcrt.dll shlwapi.dll ntdll.dll rpcrt4.dll "
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
if [ -z "$imports" ]; then
  echo "FAIL: no import table found"
  status=1
fi
for name in $imports; do
  case "$system_dlls" in
    *" $name "*) ;;
    *) echo "FAIL: imports $name, which is not a Windows system DLL"; status=1 ;;
  esac
done

exports=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
          | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
expected=$(printf '%s\n' DllCanUnloadNow DllGetClassObject Uninstall | sort)
if [ "$exports" != "$expected" ]; then
  echo "FAIL: exports are"
  printf '  %s\n' $exports
  echo "expected exactly: DllCanUnloadNow DllGetClassObject Uninstall"
  status=1
fi

[ $status -eq 0 ] && echo "Veltrox.dll ($objdump): imports only system DLLs, exports the three entry points"
exit $status
