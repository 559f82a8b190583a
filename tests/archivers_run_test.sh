#!/bin/bash
# scripts/test --archivers against a folder holding some of the host-backed
# DLLs (7-zip32.dll, unrar32.dll and unrar.dll, to keep it short): the DLLs
# and versions are listed, the pairs they serve are converted and checked,
# and the pairs they cannot serve are named as skipped with the reason.
# Arguments: build folder, source folder.
set -u
BUILD="$1"
dlls="$BUILD/archivers_run_dlls"
rm -rf "$dlls" && mkdir -p "$dlls"
cp "$BUILD"/hostdlls/{7-zip32.dll,unrar32.dll,unrar.dll,hostarc.sh} "$dlls/"
log="$BUILD/archivers_run.log"
bash "$2/tests/archivers_run.sh" "$BUILD" "$2" "$dlls" >"$log" 2>&1
status=$?
cat "$log"
expected=(
  "  7-zip32.dll    version 920"
  "  unrar.dll      version 8"
  "skipped: every pair from tree-lzh.lzh: no unlha32.dll"
  "skipped: every pair into tar: no tar32.dll"
  "6 pairs run"
)
for line in "${expected[@]}"; do
  grep -qxF -- "$line" "$log" || { echo "FAILED: missing line [$line]"; status=1; }
done
exit $status
