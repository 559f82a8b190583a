#!/bin/bash
# Sources listed by their own archiver DLL before extraction, through real
# drops on the installed converter with the host-backed DLLs (which list
# exactly what their extraction writes; HOSTARC_LISTING_EXTRA adds entries):
# names one Windows folder cannot hold refuse the archive, a listed file that
# the extraction did not write keeps the source, and failures are named.
# Arguments: build folder, source folder.
set -u
. "$2/tests/support/real_archives.sh"
start_drop_test "$1" listing_drops_test
TEMP_DIR="$(dirname "$(find "$WORK/prefix/drive_c/users" -maxdepth 4 -type d -name Temp | head -1)/x")"
CLASH="の中に、Windows のフォルダーに同時に置けない名前のファイル (大文字と小文字だけが違う名前や、使えない文字を含む名前) があるため、変換できません。"

# Case twins in a tar written on Linux: refused before extraction.
mkdir -p "$WORK/twins/tree" "$WORK/twins/dest"
printf 'upper\n' >"$WORK/twins/tree/B.txt"
printf 'lower\n' >"$WORK/twins/tree/b.txt"
tar -cf "$WORK/twins/twins.tar" -C "$WORK/twins/tree" .
HOSTARC_TIMES="$WORK/twins.times" drop_on_veltrox --dest "$(winpath "$WORK/twins/dest")" --format zip --afterdel on -- \
  "$WORK/twins/twins.tar" >"$WORK/twins.log"
expect_true "case twins refused" grep -qF "$(winpath "$WORK/twins/twins.tar")" "$WORK/twins.log"
expect_true "case twins: refusal text" grep -qF "$CLASH" "$WORK/twins.log"
expect_eq "case twins: nothing written" "" "$(ls -A "$WORK/twins/dest")"
expect_true "case twins: source kept" test -f "$WORK/twins/twins.tar"
expect_eq "case twins: one archiver call, the listing" 1 "$(grep -c '^dll' "$WORK/twins.times")"

# One drop with "sources to the Recycle Bin": a device name and a colon are
# refused, a listed file the extraction does not write keeps its source, a
# damaged archive is named with its result, a clean one is recycled.
mkdir -p "$WORK/mix/src" "$WORK/mix/dest"
cp "$WORK/src/tree-zip.zip" "$WORK/mix/src/device.zip"
cp "$WORK/src/tree-7z.7z" "$WORK/mix/src/colon.7z"
cp "$WORK/src/tree-lzh.lzh" "$WORK/mix/src/ghost.lzh"
cp "$WORK/src/tree-cab.cab" "$WORK/mix/src/clean.cab"
head -c 300 "$WORK/src/tree-zip.zip" >"$WORK/mix/src/broken.zip"
HOSTARC_LISTING_EXTRA='device.zip>sub/con.txt|colon.7z>a:b.txt|ghost.lzh>ghost.txt' \
  drop_on_veltrox --dest "$(winpath "$WORK/mix/dest")" --format tgz --afterdel on -- \
  "$WORK"/mix/src/{device.zip,colon.7z,ghost.lzh,broken.zip,clean.cab} >"$WORK/mix.log"
for name in device.zip colon.7z; do
  expect_eq "$name refused" 1 "$(grep -cF "$(winpath "$WORK/mix/src/$name")" "$WORK/mix.log")"
  expect_true "$name kept" test -f "$WORK/mix/src/$name"
  expect_true "$name: nothing written" test -z "$(output_of "$WORK/mix/dest" "${name%.*}")"
done
expect_eq "two refusals" 2 "$(grep -cF "$CLASH" "$WORK/mix.log")"
expect_true "ghost.lzh converted" test -n "$(output_of "$WORK/mix/dest" ghost)"
expect_true "ghost.lzh kept" test -f "$WORK/mix/src/ghost.lzh"
expect_true "ghost.lzh named as kept" bash -c 'sed -n "/変換結果を確認できなかったため/,\$p" "$1" | grep -qF "$2"' - \
  "$WORK/mix.log" "$(winpath "$WORK/mix/src/ghost.lzh")"
expect_true "broken.zip named with its result" grep -qF "$(winpath "$WORK/mix/src/broken.zip")  (展開 0x8020)" "$WORK/mix.log"
expect_true "broken.zip kept" test -f "$WORK/mix/src/broken.zip"
expect_true "clean.cab recycled" test -f "$XDG_DATA_HOME/Trash/files/clean.cab" -a ! -e "$WORK/mix/src/clean.cab"
host_extract tgz "$(output_of "$WORK/mix/dest" clean)" "$WORK/mix/check"
expect_same_files "clean.cab converted" "$WORK/tree" "$WORK/mix/check" files

# "a..zip" and "a.zip": stems that Windows stores alike, in one drop, each
# converted from its own content and both recycled.
mkdir -p "$WORK/stems/src" "$WORK/stems/dest" "$WORK/stems/other"
printf 'other\n' >"$WORK/stems/other/other.txt"
cp "$WORK/src/tree-zip.zip" "$WORK/stems/src/a..zip"
(cd "$WORK/stems/other" && zip -q "$WORK/stems/src/a.zip" other.txt)
drop_on_veltrox --dest "$(winpath "$WORK/stems/dest")" --format 7z --afterdel on -- \
  "$WORK/stems/src/a..zip" "$WORK/stems/src/a.zip" >"$WORK/stems.log"
host_extract 7z "$WORK/stems/dest/a..7z" "$WORK/stems/check-dots"
host_extract 7z "$WORK/stems/dest/a.7z" "$WORK/stems/check-plain"
expect_same_files "a..zip converted" "$WORK/tree" "$WORK/stems/check-dots" files
expect_same_files "a.zip converted" "$WORK/stems/other" "$WORK/stems/check-plain"
expect_eq "both recycled" "" "$(ls -A "$WORK/stems/src")"
expect_eq "no work folder left" "" "$(find "$TEMP_DIR" -maxdepth 1 -name '*~*' 2>/dev/null)"
expect_eq "no listing folder left" "" "$(find "$TEMP_DIR" -maxdepth 1 -name 'hostlist-*' 2>/dev/null)"

finish_real_archives
