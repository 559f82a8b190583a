#!/bin/bash
# Real drops of archives whose entries have names outside code page 932:
# converted exactly where both DLLs have a Unicode mode, refused (nothing
# written, source kept, the DLL that cannot carry them named) where one
# has not. Archives named outside the code page, lying in such folders, go
# to such destinations through such a temporary folder.
# Arguments: build folder, source folder.
set -u
BUILD="$1"
. "$2/tests/support/real_archives.sh"

start_drop_test "$BUILD" unicode_drops_test
tree="$WORK/names"
make_unicode_tree "$tree"
mkdir -p "$WORK/in"
(cd "$tree" && 7zz a -bd -tzip "$WORK/in/names.zip" . >/dev/null && 7zz a -bd "$WORK/in/names.7z" . >/dev/null)
python3 "$2/tests/fixtures/make_rar.py" --utf8 "$WORK/in/names.rar" "$tree"
cp "$WORK/in/names.zip" "$WORK/in/recycled.zip"
mkdir -p "$WORK/in/Müller" "$WORK/in/Müller-r" "$WORK/in/Müller-t"
for folder in Müller Müller-r Müller-t; do cp "$WORK/in/names.zip" "$WORK/in/$folder/café.zip"; done

# A temporary folder outside the code page for the drops that ask for it;
# "off" puts the prefix's own value back.
declare -A saved_temp
temp_outside() {
  local key='HKCU\Environment' name
  for name in TEMP TMP; do
    if [ "$1" = on ]; then
      saved_temp[$name]="$(wine_quiet reg query "$key" /v $name | tr -d '\r' | awk -v n=$name '$1 == n { print $3 }')"
      wine_quiet reg add "$key" /v $name /d 'C:\Temp-한글' /f >/dev/null
    else
      wine_quiet reg add "$key" /v $name /t REG_EXPAND_SZ /d "${saved_temp[$name]}" /f >/dev/null
    fi
  done
}
mkdir -p "$WINEPREFIX/drive_c/Temp-한글"

# source, target, options | expected: "same" (every name and byte; "recycled"
# also the source verified and sent to the Recycle Bin) or the DLL the
# refusal names | optionally "temp" (the temporary folder outside the code
# page) or the name of the destination folder.
cases=(
  "names.zip 7z --use7zip on|same"
  "names.7z lzh |same"
  "names.rar 7z |same"
  "recycled.zip lzh --use7zip on --afterdel on|recycled"
  "names.zip tar --use7zip on|tar32.dll"
  "names.zip 7z --use7zip off|unzip32.dll"
  "Müller/café.zip 7z --use7zip on|same"
  "Müller/café.zip lzh --use7zip on|same|Zïel-ü"
  "Müller-r/café.zip lzh --use7zip on --afterdel on|recycled"
  "Müller-t/café.zip 7z --use7zip on|same|temp"
)
for c in "${cases[@]}"; do
  IFS='|' read -r spec expected extra <<<"$c"
  read -r source target options <<<"$spec"
  name="${source##*/}"
  stem="${name%%.*}"
  label="$source to $target ${options:-} ${extra:-}"
  case_number=$((${case_number:-0} + 1))
  dest="$WORK/out/case$case_number"
  [ -n "$extra" ] && [ "$extra" != temp ] && dest="$WORK/out/$extra"
  mkdir -p "$dest"
  [ "$extra" = temp ] && temp_outside on
  # shellcheck disable=SC2086
  drop_on_veltrox --dest "$(winpath "$dest")" --format "$target" $options -- "$WORK/in/$source" >"$dest.log"
  if [ "$extra" = temp ]; then
    temp_outside off
    expect_eq "$label: temporary folder left empty" "" "$(ls -A "$WINEPREFIX/drive_c/Temp-한글")"
  fi
  out="$(output_of "$dest" "$stem")"
  if [ "$expected" = recycled ]; then
    expect_true "$label: source in the Recycle Bin" test -f "$XDG_DATA_HOME/Trash/files/$name" -a ! -e "$WORK/in/$source"
  else
    expect_true "$label: source kept" test -f "$WORK/in/$source"
  fi
  if [ "$expected" = same ] || [ "$expected" = recycled ]; then
    expect_eq "$label: named after the source" "$stem.$target" "${out##*/}"
    host_extract_utf8 "$target" "$out" "$dest.check"
    expect_same_files "$label" "$tree" "$dest.check"
  else
    expect_eq "$label: nothing written" "" "$(ls -A "$dest")"
    expect_true "$label: the code page message" grep -q "の中にファイル名に変換できない文字を含むファイルがあるため、変換できません。" "$dest.log"
    expect_true "$label: names $expected" grep -q "^$expected は、コードページ 932 にない文字を含むファイル名を扱えません。" "$dest.log"
  fi
done

# Paths outside the code page reach every archiver DLL, the ANSI-only ones
# too: an archive of code page 932 names, itself named outside the code page
# in such a folder, into a destination outside it.
mkdir -p "$WORK/in/Ünï-파일"
# The last one through the temporary folder outside the code page, recycled:
# tar32.dll lists it there.
for c in "zip tar" "lzh zip" "tar lzh temp"; do
  read -r from target extra <<<"$c"
  source="$(ls "$WORK/src/"*-"$from".*)"
  name="crème-$from.${source##*.}"
  cp "$source" "$WORK/in/Ünï-파일/$name"
  dest="$WORK/out/Zïel-한"
  mkdir -p "$dest"
  options=()
  [ "$extra" = temp ] && temp_outside on && options=(--afterdel on)
  drop_on_veltrox --dest "$(winpath "$dest")" --format "$target" "${options[@]}" -- "$WORK/in/Ünï-파일/$name" \
    >"$dest-$from.log"
  out="$dest/crème-$from.$target"
  label="$name to $target ${extra:-}"
  if [ "$extra" = temp ]; then
    temp_outside off
    expect_true "$label: source in the Recycle Bin" test -f "$XDG_DATA_HOME/Trash/files/$name" -a ! -e "$WORK/in/Ünï-파일/$name"
  fi
  expect_true "$label: named after the source" test -f "$out"
  rm -rf "$dest.check"
  host_extract "$target" "$out" "$dest.check"
  expect_eq "$label: same files" "$(manifest "$WORK/tree" files)" "$(manifest "$dest.check" files)"
done
expect_eq "destination: only the new archives" "3" "$(ls -A "$WORK/out/Zïel-한" | wc -l)"

finish_real_archives
