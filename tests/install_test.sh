#!/bin/bash
# Installs Veltrox with its INF into a fresh Wine prefix the way a user would
# (rundll32 setupapi.dll,InstallHinfSection DefaultInstall 132 <inf>), checks
# the class registration, the marker file type and the SendTo marker, then
# runs the DefaultUninstall section and checks that everything is gone.
set -u
BUILD="$1"
SOURCE="$2"
CLSID='{6F3C2A81-4B7D-4E19-9A52-3D8E1C07B4F6}'
MARKER='書庫を変換して保存....Veltrox'
WINE="$(grep -m1 '^WINE_LOADER=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"
SERVER="$(grep -m1 '^WINE_SERVER=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"
WINE64="$(grep -m1 '^WINE_LOADER64=' "$BUILD/wine-run.sh" | cut -d'"' -f2)"

export WINEPREFIX="$BUILD/install-test/prefix"
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
STAGE="$BUILD/install-test/media"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$BUILD/bin/Veltrox.dll" ] || { echo "Veltrox.dll not built"; exit 1; }
"$SERVER" -k 2>/dev/null
rm -rf "$BUILD/install-test"
mkdir -p "$STAGE" "$WINEPREFIX"
cp "$SOURCE/install/Veltrox.inf" "$SOURCE/install/Veltrox.txt" "$BUILD/bin/Veltrox.dll" \
   "$BUILD/bin/Veltrox64.dll" "$BUILD/bin/VeltroxHost.exe" "$STAGE/"
"$WINE" wineboot -i >/dev/null 2>&1 </dev/null
"$SERVER" -w
# What to expect follows from the prefix. A WoW64 prefix (a syswow64 folder)
# is 64-bit Windows: the user's setup program is the 64-bit rundll32, which
# runs the NTamd64 sections (Veltrox.dll, Veltrox64.dll and VeltroxHost.exe in
# the 32-bit system folder, the class served by Veltrox64.dll in the 64-bit
# view). Otherwise the plain sections put Veltrox.dll in system32.
if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  SETUP="$WINE64"; PROGRAMS="syswow64"; SERVER_DLL="Veltrox64.dll"; EXTRA_FILES="Veltrox64.dll VeltroxHost.exe"
else
  SETUP="$WINE"; PROGRAMS="system32"; SERVER_DLL="Veltrox.dll"; EXTRA_FILES=""
fi

# Programs run with the setup program's word size (its registry view).
run() { "$SETUP" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
regValue() { run reg query "$1" ${2:+/v "$2"} ${3:-} | LC_ALL=C grep -a -m1 'REG_' | LC_ALL=C sed 's/.*REG_[A-Z_]*[[:space:]]*//'; }

INF_WIN="$(run winepath -w "$STAGE/Veltrox.inf")"
run rundll32 setupapi.dll,InstallHinfSection DefaultInstall 132 "$INF_WIN" >/dev/null
"$SERVER" -w

SYS="$WINEPREFIX/drive_c/windows/$PROGRAMS"
SENDTO="$(find "$WINEPREFIX/drive_c/users" -type d -name SendTo | head -1)"
[ -n "$SENDTO" ] || fail "no SendTo folder in the prefix"

# Files: the DLL, the marker with the documentation, the INF for uninstalling.
cmp -s "$BUILD/bin/Veltrox.dll" "$SYS/Veltrox.dll" || fail "Veltrox.dll not copied to the system folder"
for f in $EXTRA_FILES; do cmp -s "$BUILD/bin/$f" "$SYS/$f" || fail "$f not copied beside Veltrox.dll"; done
cmp -s "$SOURCE/install/Veltrox.txt" "$SENDTO/$MARKER" || fail "SendTo marker missing or not the documentation"
[ -f "$WINEPREFIX/drive_c/windows/inf/Veltrox.inf" ] || fail "INF not kept for uninstalling"

# Registry: the class, its threading model, the marker type and its drop handler.
server="$(regValue "HKCR\\CLSID\\$CLSID\\InprocServer32" "" /ve)"
case "$server" in *"\\$SERVER_DLL") ;; *) fail "InprocServer32 is '$server'";; esac
[ "$(regValue "HKCR\\CLSID\\$CLSID\\InprocServer32" ThreadingModel)" = Apartment ] || fail "ThreadingModel"
type="$(regValue 'HKCR\.Veltrox' '' /ve)"
[ -n "$type" ] || fail "no file type for .Veltrox"
[ "$(regValue "HKCR\\$type\\shellex\\DropHandler" '' /ve)" = "$CLSID" ] || fail "DropHandler of $type"
uninstall="$(regValue 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrox' UninstallString)"
case "$uninstall" in *'Veltrox.dll,Uninstall '*'\Veltrox.inf') ;; *) fail "UninstallString '$uninstall'";; esac

# DefaultUninstall (what Uninstall starts after deleting the marker itself).
INF17="$(run winepath -w "$WINEPREFIX/drive_c/windows/inf/Veltrox.inf")"
run rundll32 setupapi.dll,InstallHinfSection DefaultUninstall 132 "$INF17" >/dev/null
"$SERVER" -w
[ -e "$SYS/Veltrox.dll" ] && fail "Veltrox.dll left after uninstall"
for f in $EXTRA_FILES; do [ -e "$SYS/$f" ] && fail "$f left after uninstall"; done
[ -e "$SENDTO/$MARKER" ] && fail "marker left after uninstall"
[ -e "$WINEPREFIX/drive_c/windows/inf/Veltrox.inf" ] && fail "INF left after uninstall"
for key in "HKCR\\CLSID\\$CLSID" 'HKCR\.Veltrox' "HKCR\\$type" \
           'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrox'; do
  # reg prints its "unable to find" message on stdout: look for the key itself.
  run reg query "$key" | LC_ALL=C grep -aq '^HKEY_' && fail "$key left after uninstall"
done

"$SERVER" -k 2>/dev/null
[ "$failures" -eq 0 ] && echo "install and uninstall: OK"
exit "$failures"
