#!/bin/bash
# Installs Veltrox from the release package's files with its INF into fresh
# Wine prefixes the way a user does ("Install" on the INF: rundll32
# setupapi.dll,InstallHinfSection DefaultInstall 132 <inf>), checks the
# files, the class registration, the marker file type and the SendTo marker,
# then uninstalls it as Add/Remove Programs does (the UninstallString from the
# registry, the question answered Yes) and checks that nothing of it is left
# but the user's settings.
#
# Prefixes: where the build is 32-bit, a WoW64 prefix (64-bit Windows; setup by
# the 64-bit rundll32) and a 32-bit-only prefix (WINEARCH=win32); where it is
# 64-bit, the 64-bit loader's own prefix.
set -u
BUILD="$1"
SOURCE="$2"
# The class id as the code defines it; the INF must register that one.
ID=($(tr -d '\n' <"$SOURCE/shell/class_id.h" | grep -o 'CLSID_VeltroxDropHandler = {[^;]*' | grep -o '0x[0-9a-fA-F]*'))
[ ${#ID[@]} -eq 11 ] || { echo "FAIL: no class id in shell/class_id.h"; exit 1; }
CLSID="$(printf '{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}' "${ID[@]}")"
iconv -f UTF-16LE -t UTF-8 "$SOURCE/install/Veltrox.inf" | tr -d '\r' | grep -qx "ClassId=\"$CLSID\"" \
  || { echo "FAIL: install/Veltrox.inf does not register $CLSID"; exit 1; }
MARKER='書庫を変換して保存....Veltrox'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrox'
SETTINGS_KEY='HKCU\Software\Kesta\Veltrox'
WINE="$(grep -m1 '^WINE_LOADER=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"
SERVER="$(grep -m1 '^WINE_SERVER=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"
WINE64="$(grep -m1 '^WINE_LOADER64=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
TOP="$BUILD/install-test"
STAGE="$TOP/media"
failures=0
fail() { echo "FAIL ($KIND): $*"; failures=$((failures + 1)); }

[ -f "$BUILD/bin/Veltrox.dll" ] || { echo "Veltrox.dll not built"; exit 1; }
rm -rf "$TOP"
"$SOURCE/scripts/package" --stage "$BUILD" "$STAGE" || { echo "package files missing"; exit 1; }

BUILD_BITS=64
LC_ALL=C x86_64-w64-mingw32-objdump -f "$STAGE/Veltrox.dll" 2>/dev/null | grep -q 'pei-i386' && BUILD_BITS=32

# Programs run with the setup program's word size (its registry view).
run() { "$SETUP" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
regValue() { run reg query "$1" ${2:+/v "$2"} ${3:-} | LC_ALL=C grep -a -m1 'REG_' | LC_ALL=C sed 's/.*REG_[A-Z_]*[[:space:]]*//'; }
# reg prints its "unable to find" message on stdout: look for the key itself.
keyExists() { run reg query "$@" | LC_ALL=C grep -aq '^HKEY_'; }

# installAndUninstall KIND [WINEARCH]
installAndUninstall() {
  KIND="$1"
  export WINEPREFIX="$TOP/$KIND"
  "$SERVER" -k 2>/dev/null
  mkdir -p "$WINEPREFIX"
  ${2:+env WINEARCH=$2} "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
  "$SERVER" -w
  # What to expect follows from the prefix. A WoW64 prefix (a syswow64
  # folder) is 64-bit Windows: the user's setup program is the 64-bit
  # rundll32, which runs the NTamd64 sections (Veltrox.dll, Veltrox64.dll and
  # VeltroxHost.exe in the 32-bit system folder, the class served by
  # Veltrox64.dll in the 64-bit view). Otherwise the plain sections put
  # Veltrox.dll in system32.
  local programs server files
  if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    SETUP="$WINE64"; programs="syswow64"; server="Veltrox64.dll"; files="Veltrox.dll Veltrox64.dll VeltroxHost.exe"
  else
    SETUP="$WINE"; programs="system32"; server="Veltrox.dll"; files="Veltrox.dll"
  fi
  [ "$KIND" = win32 ] && [ "$programs" != system32 ] && fail "WINEARCH=win32 made a WoW64 prefix"

  run rundll32 setupapi.dll,InstallHinfSection DefaultInstall 132 "$(run winepath -w "$STAGE/Veltrox.inf")" >/dev/null
  "$SERVER" -w

  local sys="$WINEPREFIX/drive_c/windows/$programs" sendto type f uninstall
  sendto="$(find "$WINEPREFIX/drive_c/users" -type d -name SendTo | head -1)"
  [ -n "$sendto" ] || fail "no SendTo folder in the prefix"
  # Files: the modules, the marker with the documentation, the INF for uninstalling.
  for f in $files; do cmp -s "$STAGE/$f" "$sys/$f" || fail "$f not copied to $programs"; done
  cmp -s "$STAGE/Veltrox.txt" "$sendto/$MARKER" || fail "SendTo marker missing or not the documentation"
  [ -f "$WINEPREFIX/drive_c/windows/inf/Veltrox.inf" ] || fail "INF not kept for uninstalling"
  # Registry: the class, its threading model, the marker type and its drop
  # handler, as the setup program sees them. Wine's setupapi ignores the INF's
  # registry-view flags, so under Wine the 32-bit view of a WoW64 prefix lacks
  # the class (Windows registers it there, served by Veltrox.dll): not checked.
  case "$(regValue "HKCR\\CLSID\\$CLSID\\InprocServer32" "" /ve)" in *"\\$server") ;;
    *) fail "InprocServer32 is not $server";; esac
  [ "$(regValue "HKCR\\CLSID\\$CLSID\\InprocServer32" ThreadingModel)" = Apartment ] || fail "ThreadingModel"
  type="$(regValue 'HKCR\.Veltrox' '' /ve)"
  [ -n "$type" ] || fail "no file type for .Veltrox"
  [ "$(regValue "HKCR\\$type\\shellex\\DropHandler" '' /ve)" = "$CLSID" ] || fail "DropHandler of $type"
  uninstall="$(regValue "$UNINSTALL_KEY" UninstallString)"
  case "$uninstall" in *'rundll32.exe '*"\\$programs\\Veltrox.dll,Uninstall "*'\Veltrox.inf') ;;
    *) fail "UninstallString '$uninstall'";; esac

  # Uninstall as Add/Remove Programs does: the UninstallString as a command
  # line, the user answering the question (playuser answers Yes). A 64-bit
  # build's Veltrox.dll cannot be loaded by the 32-bit rundll32 that the
  # string names, so there the 64-bit rundll32 runs the same entry.
  run reg add "$SETTINGS_KEY" /v kept /d yes /f >/dev/null
  local command=($uninstall)
  [ "$BUILD_BITS" = 64 ] && command[0]="rundll32.exe"
  "$WINE" "$BUILD/bin/playuser.exe" -- "${command[@]}" >"$TOP/$KIND-uninstall.log" 2>&1 </dev/null
  "$SERVER" -w
  grep -q 'window: Veltrox のアンインストール' "$TOP/$KIND-uninstall.log" || fail "no uninstall question"

  for f in Veltrox.dll Veltrox64.dll VeltroxHost.exe; do
    for d in system32 syswow64; do [ -e "$WINEPREFIX/drive_c/windows/$d/$f" ] && fail "$d/$f left after uninstall"; done
  done
  [ -e "$sendto/$MARKER" ] && fail "marker left after uninstall"
  [ -e "$WINEPREFIX/drive_c/windows/inf/Veltrox.inf" ] && fail "INF left after uninstall"
  for key in "HKCR\\CLSID\\$CLSID" 'HKCR\.Veltrox' "HKCR\\$type" "$UNINSTALL_KEY"; do
    for view in /reg:32 /reg:64; do
      [ "$programs" = system32 ] && [ "$view" = /reg:64 ] && continue   # a 32-bit-only prefix has one view
      keyExists "$key" "$view" && fail "$key ($view) left after uninstall"
    done
  done
  [ "$(regValue "$SETTINGS_KEY" kept)" = yes ] || fail "the user's settings were removed"
  "$SERVER" -k 2>/dev/null
}

if [ "$BUILD_BITS" = 32 ]; then
  installAndUninstall wow64
  installAndUninstall win32 win32
else
  installAndUninstall native
fi
[ "$failures" -eq 0 ] && echo "install and uninstall: OK"
exit "$failures"
