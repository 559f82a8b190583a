#!/bin/bash
# Compatibility run against a folder of archiver DLLs (real ones, or the
# host-backed ones): Veltrox installed into a fresh prefix with the DLLs of
# DLLDIR where users install them, the DLLs found and their versions listed,
# then every source format those DLLs can read into every target format they
# can write, through real drops, each result checked with the host archivers.
# Pairs that cannot be served are listed with the reason.
# Arguments: build folder, source folder, DLL folder.
set -u
. "$2/tests/support/real_archives.sh"
export VELTROX_ARCHIVERS="$(cd "$3" && pwd)"
start_drop_test "$1" archivers_run
python3 "$2/tests/fixtures/make_rar.py" "$WORK/src/tree-rar.rar" "$WORK/tree"

# The DLLs found, with the answer of their version export.
declare -A version_export=([unlha32.dll]=UnlhaGetVersion [unzip32.dll]=UnZipGetVersion [zip32j.dll]=ZipGetVersion
  [zip32.dll]="" [cab32.dll]=CabGetVersion [unarj32j.dll]=UnarjGetVersion [tar32.dll]=TarGetVersion
  [unrar32.dll]=UnrarGetVersion [unrar.dll]=RARGetDllVersion [bga32.dll]=BgaGetVersion [yz1.dll]=Yz1GetVersion
  [7-zip32.dll]=SevenZipGetVersion)
declare -A have=()
: >"$WORK/versions.txt"
for dll in "${!version_export[@]}"; do
  [ -f "$VELTROX_ARCHIVERS/$dll" ] || continue
  have[$dll]=1
  printf '%s\t%s\n' "$(winpath "$VELTROX_ARCHIVERS/$dll")" "${version_export[$dll]:-none}" >>"$WORK/versions.txt"
done
run_batch "$WORK/versions.txt" "$WORK/versions.result" 2>/dev/null
echo "archiver DLLs in $VELTROX_ARCHIVERS:"
paste "$WORK/versions.txt" "$WORK/versions.result" | while IFS=$'\t' read -r path export answer; do
  printf '  %-14s %s\n' "${path##*\\}" "$( [ "$export" = none ] && echo "(no version export)" || echo "version $answer")"
done | LC_ALL=C sort

# reader SOURCE / writer TARGET: "" when served, else why not.
reader() {
  case "$1" in
    tar|tgz|tbz2) [ -n "${have[tar32.dll]:-}" ] || echo "no tar32.dll" ;;
    zip) [ -n "${have[unzip32.dll]:-}${have[7-zip32.dll]:-}" ] || echo "neither unzip32.dll nor 7-zip32.dll" ;;
    7z) [ -n "${have[7-zip32.dll]:-}" ] || echo "no 7-zip32.dll" ;;
    lzh) [ -n "${have[unlha32.dll]:-}" ] || echo "no unlha32.dll" ;;
    cab) [ -n "${have[cab32.dll]:-}" ] || echo "no cab32.dll" ;;
    arj) [ -n "${have[unarj32j.dll]:-}" ] || echo "no unarj32j.dll" ;;
    rar) [ -n "${have[unrar32.dll]:-}" ] && [ -n "${have[unrar.dll]:-}" ] || echo "unrar32.dll with unrar.dll missing" ;;
  esac
}
writer() {
  case "$1" in
    tar|tgz|tbz2) [ -n "${have[tar32.dll]:-}" ] || echo "no tar32.dll" ;;
    zip) [ -n "${have[zip32j.dll]:-}" ] && [ -n "${have[zip32.dll]:-}" ] || [ -n "${have[7-zip32.dll]:-}" ] ||
           echo "neither zip32j.dll with zip32.dll nor 7-zip32.dll" ;;
    7z) [ -n "${have[7-zip32.dll]:-}" ] || echo "no 7-zip32.dll" ;;
    lzh) [ -n "${have[unlha32.dll]:-}" ] || echo "no unlha32.dll" ;;
    cab) [ -n "${have[cab32.dll]:-}" ] || echo "no cab32.dll" ;;
  esac
}

sources=()
for source in "$WORK"/src/*; do
  kind="${source##*-}"; kind="${kind%%.*}"
  why="$(reader "$kind")"
  if [ -n "$why" ]; then echo "skipped: every pair from ${source##*/}: $why"; else sources+=("$source"); fi
done
pairs=0
for target in tar tgz tbz2 zip 7z lzh cab; do
  why="$(writer "$target")"
  if [ -n "$why" ]; then echo "skipped: every pair into $target: $why"; continue; fi
  [ ${#sources[@]} -gt 0 ] || continue
  dest="$WORK/pairs/$target"
  mkdir -p "$dest"
  drop_on_veltrox --dest "$(winpath "$dest")" --format "$target" -- "${sources[@]}" >"$dest.log" 2>&1
  for source in "${sources[@]}"; do
    stem="${source##*/}"; stem="${stem%%.*}"
    pairs=$((pairs + 1))
    out="$(output_of "$dest" "$stem")"
    if [ -z "$out" ]; then fail "$stem -> $target: no archive (see $dest.log)"; continue; fi
    host_extract "$target" "$out" "$WORK/check/$target/$stem"
    expect_same_files "$stem -> $target" "$WORK/tree" "$WORK/check/$target/$stem" files
  done
done
echo "$pairs pairs run"
finish_real_archives
