#!/bin/bash
# Real archives through the installed converter (the format matrix is in
# real_archives_matrix_test.sh): Veltrox installed from its
# INF into a fresh Wine prefix, the host-backed archiver DLLs on the search
# path, archives made by the host archivers dropped on the SendTo marker with
# the drop program, the conversion dialog answered by playuser, and every
# result checked with the host archivers. This test keeps the 32-bit
# in-process path (a 32-bit-only prefix, the 32-bit drop program loading
# Veltrox.dll) where the build is 32-bit; the matrix takes the 64-bit path.
# Arguments: build folder, source folder.
set -u
. "$2/tests/support/real_archives.sh"
start_drop_test "$1" real_archives_test inproc
TEMP_DIR="$(dirname "$(find "$WORK/prefix/drive_c/users" -maxdepth 4 -type d -name Temp | head -1)/x")"

# Sorting on: names in ascending order regardless of case (sub/a.txt before
# sub/B.txt) for a tree without empty folders; a tree with an empty folder is
# packed as with sorting off, so that the folder survives. Sorting off keeps
# the folder's order, here byte order.
cp -a "$WORK/tree" "$WORK/tree-full" && rmdir "$WORK/tree-full/空フォルダ"
(cd "$WORK/tree-full" && 7zz a -bd "$WORK/full.7z" . >/dev/null)
mkdir -p "$WORK/sorted"
drop_on_veltrox --dest "$(winpath "$WORK/sorted")" --format zip --sort on -- "$WORK/full.7z" "$WORK/src/tree-7z.7z" \
  >"$WORK/sorted.log"
order_on="$(archive_file_order zip "$(output_of "$WORK/sorted" full)" | grep '^sub/')"
expect_eq "sorted entries" "$(printf 'sub/a.txt\nsub/B.txt')" "$order_on"
host_extract zip "$(output_of "$WORK/sorted" tree-7z)" "$WORK/sorted-check"
expect_same_files "sorting keeps empty folders" "$WORK/tree" "$WORK/sorted-check"
mkdir -p "$WORK/unsorted"
drop_on_veltrox --dest "$(winpath "$WORK/unsorted")" --format zip --sort off -- "$WORK/src/tree-7z.7z" >"$WORK/unsorted.log"
out="$(output_of "$WORK/unsorted" tree-7z)"
order_off="$(archive_file_order zip "$out" | grep '^sub/')"
expect_eq "unsorted entries" "$(printf 'sub/B.txt\nsub/a.txt')" "$order_off"
# Without a response file the whole folder is packed, empty folders included.
host_extract zip "$out" "$WORK/unsorted-check"
expect_same_files "unsorted zip keeps folders" "$WORK/tree" "$WORK/unsorted-check"

# The chain LZH -> ZIP -> 7z -> TAR-BZ2 -> LZH keeps names, bytes and folders.
current="$WORK/src/tree-lzh.lzh"
step=0
for target in zip 7z tbz2 lzh; do
  step=$((step + 1))
  mkdir -p "$WORK/chain/$step"
  drop_on_veltrox --dest "$(winpath "$WORK/chain/$step")" --format "$target" --sort off -- "$current" >"$WORK/chain/$step.log"
  current="$(find "$WORK/chain/$step" -maxdepth 1 -type f | head -1)"
  [ -n "$current" ] || { fail "chain step $step ($target): no archive"; break; }
done
if [ -n "$current" ]; then
  host_extract lzh "$current" "$WORK/chain-check"
  expect_same_files "chain LZH ZIP 7z TAR-BZ2 LZH" "$WORK/tree" "$WORK/chain-check"
fi

# SameTime: the new archive gets the source's last-write time.
mkdir -p "$WORK/time/src" "$WORK/time/dest"
cp "$WORK/src/tree-zip.zip" "$WORK/time/src/dated.zip"
touch -d '2001-02-03 04:05:06' "$WORK/time/src/dated.zip"
drop_on_veltrox --dest "$(winpath "$WORK/time/dest")" --format 7z --sametime on -- "$WORK/time/src/dated.zip" >"$WORK/time.log"
out="$(output_of "$WORK/time/dest" dated)"
expect_eq "SameTime" "$(stat -c %Y "$WORK/time/src/dated.zip")" "$( [ -n "$out" ] && stat -c %Y "$out")"

# fAfterDel with a corrupt archive in the same drop: the converted source goes
# to the recycle bin, the corrupt one stays, the run goes on past it and no
# work folder is left behind.
mkdir -p "$WORK/del/src" "$WORK/del/dest"
head -c 400 "$WORK/src/tree-tgz.tgz" >"$WORK/del/src/broken.tgz"
cp "$WORK/src/tree-cab.cab" "$WORK/del/src/good.cab"
cp "$WORK/src/tree-arj.arj" "$WORK/del/src/later.arj"
drop_on_veltrox --dest "$(winpath "$WORK/del/dest")" --format lzh --afterdel on -- \
  "$WORK/del/src/broken.tgz" "$WORK/del/src/good.cab" "$WORK/del/src/later.arj" >"$WORK/del.log"
expect_true "fAfterDel: converted source removed" test ! -e "$WORK/del/src/good.cab"
expect_true "fAfterDel: converted source in the recycle bin" test -f "$XDG_DATA_HOME/Trash/files/good.cab"
expect_true "fAfterDel: the one after the corrupt archive converted" test -n "$(output_of "$WORK/del/dest" later)"
expect_true "corrupt archive kept" test -f "$WORK/del/src/broken.tgz"
expect_true "corrupt archive: no output" test -z "$(output_of "$WORK/del/dest" broken)"
expect_true "temporary folder found" test -d "$TEMP_DIR"
expect_eq "no work folder left" "" "$(find "$TEMP_DIR" -maxdepth 1 -name '*~*' 2>/dev/null)"

# A tar made by tar with a path of about 300 characters: the work folder
# cannot hold it within the Windows path limit, so the archive is refused with
# the long-path message, nothing is written, the source is kept and nothing is
# left in the temporary folder.
segment="$(printf 'deep%.0s' $(seq 24))"
mkdir -p "$WORK/deep/tree/$segment/$segment/$segment" "$WORK/deep/src" "$WORK/deep/dest"
echo deep >"$WORK/deep/tree/$segment/$segment/$segment/file.txt"
tar -cf "$WORK/deep/src/deep.tar" -C "$WORK/deep/tree" .
drop_on_veltrox --dest "$(winpath "$WORK/deep/dest")" --format zip -- "$WORK/deep/src/deep.tar" >"$WORK/deep.log"
expect_true "deep path refused with the long-path message" grep -q "はパスが長すぎるため変換できません。" \
  "$WORK/deep.log"
expect_eq "deep path: nothing written" "" "$(ls -A "$WORK/deep/dest")"
expect_true "deep path: source kept" test -f "$WORK/deep/src/deep.tar"
expect_eq "deep path: temporary folder clean" "" "$(find "$TEMP_DIR" -maxdepth 1 -name '*~*' 2>/dev/null)"

# Self-extracting 7z: the module file followed by the 7z archive.
printf 'MZ self-extractor module stand-in\n' >"$WORK/module.sfx"
for module in 7zCon.sfx 7z.sfx 7zC.sfx; do cp "$WORK/module.sfx" "$WORK/prefix/drive_c/windows/$module"; done
mkdir -p "$WORK/sfx"
drop_on_veltrox --dest "$(winpath "$WORK/sfx")" --format 7z --sfx on -- "$WORK/src/tree-lzh.lzh" >"$WORK/sfx.log"
exe="$WORK/sfx/tree-lzh.exe"
expect_true "self-extracting 7z written" test -f "$exe"
if [ -f "$exe" ]; then
  size="$(stat -c %s "$WORK/module.sfx")"
  expect_true "self-extracting 7z starts with the module" cmp -s -n "$size" "$WORK/module.sfx" "$exe"
  tail -c +"$((size + 1))" "$exe" >"$WORK/sfx-tail.7z"
  host_extract 7z "$WORK/sfx-tail.7z" "$WORK/sfx-check"
  expect_same_files "self-extracting 7z content" "$WORK/tree" "$WORK/sfx-check" files
fi
expect_true "no plain 7z left beside the executable" test ! -e "$WORK/sfx/tree-lzh.7z"

# move_archivers FROM TO [NAMES...]: the host-backed DLLs (all, or NAMES)
# from one folder of the prefix to another.
move_archivers() {
  local from="$1" to="$2" f
  shift 2
  [ $# -gt 0 ] || set -- $(cd "$BUILD/hostdlls" && echo *.dll hostarc.sh)
  for f in "$@"; do mv "$from/$f" "$to/"; done
}

# The DLLs in the Windows folder, a 7-zip32.dll that narrows the process's
# DLL search in every command and leaves the process in its output folder,
# and the progress windows of 7-zip32.dll and tar32.dll: x.7z goes first,
# y.tgz and z.rar still load (unrar32.dll finds unrar.dll beside it),
# nothing is cancelled, no work folder stays and the drop program's current
# directory is as before.
SYS="$(archiver_folder)"
move_archivers "$SYS" "$WINEPREFIX/drive_c/windows"
mkdir -p "$WORK/narrow/src" "$WORK/narrow/dest"
cp "$WORK/src/tree-7z.7z" "$WORK/narrow/src/x.7z"
cp "$WORK/src/tree-tgz.tgz" "$WORK/narrow/src/y.tgz"
python3 "$2/tests/fixtures/make_rar.py" "$WORK/narrow/src/z.rar" "$WORK/tree"
drop_on_veltrox --dest "$(winpath "$WORK/narrow/dest")" --format zip -- "$WORK"/narrow/src/{x.7z,y.tgz,z.rar} \
  >"$WORK/narrow.log" 2>&1
for stem in x y z; do
  out="$(output_of "$WORK/narrow/dest" "$stem")"
  expect_true "narrowed search: $stem converted" test -n "$out"
  [ -z "$out" ] || { zip_extract "$out" "$WORK/narrow/check/$stem"
    expect_same_files "narrowed search: $stem" "$WORK/tree" "$WORK/narrow/check/$stem" files; }
done
expect_true "progress windows met and left alone" grep -q "left alone" "$WORK/narrow.log"
expect_eq "nothing cancelled, current directory kept" "" \
  "$(grep -E 'Cancel button|current directory moved' "$WORK/narrow.log")"
expect_eq "narrowed search: no work folder left" "" "$(find "$TEMP_DIR" -maxdepth 1 -name '*~*' 2>/dev/null)"
move_archivers "$WINEPREFIX/drive_c/windows" "$SYS"

# Only 7-zip32.dll for ZIP: the box "ZIP through 7-Zip" unticked by the
# user's last choice, ZIP is still read and written.
mkdir -p "$WORK/only7z/off" "$WORK/only7z/dest"
move_archivers "$SYS" "$WORK/only7z/off" unzip32.dll zip32j.dll zip32.dll
drop_on_veltrox --dest "$(winpath "$WORK/only7z/dest")" --format zip --use7zip off -- "$WORK/src/tree-zip.zip" \
  >"$WORK/only7z.log" 2>&1
out="$(output_of "$WORK/only7z/dest" tree-zip)"
expect_true "only 7-zip32.dll: ZIP converted" test -n "$out"
[ -z "$out" ] || { zip_extract "$out" "$WORK/only7z/check"
  expect_same_files "only 7-zip32.dll: ZIP" "$WORK/tree" "$WORK/only7z/check" files; }
move_archivers "$WORK/only7z/off" "$SYS" unzip32.dll zip32j.dll zip32.dll

finish_real_archives
