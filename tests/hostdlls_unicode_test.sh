#!/bin/bash
# The Unicode mode of the host-backed 7-zip32.dll, unlha32.dll and
# unrar32.dll: with the mode on, command lines and response files in UTF-8
# reach archives, folders and entries whose names have no code page 932
# form, and the names come out exactly; without it such paths fail.
# Arguments: build folder, source folder.
set -u
BUILD="$1"
. "$2/tests/support/real_archives.sh"

setup_real_archives "$BUILD" hostdlls_unicode_test
# Entries of many scripts, a code page 932 one among them, in a folder whose
# own name has no code page 932 form.
base="$WORK/Müller"
tree="$base/tree"
mkdir -p "$WORK/out"
make_unicode_tree "$tree"
# The converter's response file in Unicode mode: UTF-8 without a byte-order
# mark, quoted, backslashes, CR LF.
(cd "$tree" && find . -type f -printf '%P\n' | LC_ALL=C sort -r) \
  | sed -e 's|/|\\|g' -e 's|^|"|' -e 's|$|"\r|' >"$base/list.txt"

# Unicode-mode compressions, each extracted again by its own DLL in Unicode
# mode: target, DLL, its mode export, its extraction command.
cases=("7z 7-zip32.dll SevenZipSetUnicodeMode SevenZip x -y"
       "7zip 7-zip32.dll SevenZipSetUnicodeMode SevenZip x -y"
       "lzh unlha32.dll UnlhaSetUnicodeMode Unlha e -x1r2 -jf0 -y -c -a1")
batch="$WORK/calls.txt"
: >"$batch"
for c in "${cases[@]}"; do
  read -r target dll mode export switches <<<"$c"
  for how in list all; do
    archive="$base/café-$how.$(target_extension "$target")"
    printf '%s\t%s\n' "$(create_call "$target" "$how" "$archive" "$tree" "$base/list.txt")" "$mode"
    printf '%s\t%s\t\t%s "%s" "%s\\"\t%s\n' "$(winpath "$DLLS/$dll")" "$export" "$switches" \
      "$(winpath "$archive")" "$(winpath "$WORK/out/$target-$how")" "$mode"
  done
done >>"$batch"
# RAR with UTF-8 names through unrar32.dll in Unicode mode; the same call in
# ANSI mode cannot name the archive.
python3 "$2/tests/fixtures/make_rar.py" --utf8 "$base/café.rar" "$tree"
rar_call="$(extract_call "$base/café.rar" "$(winpath "$WORK/out/rar")\\")"
printf '%s\tUnrarSetUnicodeMode\n%s\n' "$rar_call" "$(extract_call "$base/café.rar" "$(winpath "$WORK/out/rar-ansi")\\")" >>"$batch"
# The DLLs that have no Unicode mode answer so.
printf '%s\tTarSetUnicodeMode\n' "$(extract_call "$base/café.rar" "$(winpath "$WORK/out/none")\\" | sed "s|unrar32.dll\tUnrar|tar32.dll\tTar|")" >>"$batch"
run_batch "$batch" "$WORK/calls.result"

mapfile -t results <"$WORK/calls.result"
i=0
for c in "${cases[@]}"; do
  read -r target _ <<<"$c"
  for how in list all; do
    archive="$base/café-$how.$(target_extension "$target")"
    expect_eq "$target ($how): create, extract" "0 0" "${results[$i]:-none} ${results[$((i + 1))]:-none}"
    i=$((i + 2))
    expect_same_files "$target ($how): extracted by its DLL" "$tree" "$WORK/out/$target-$how" files
    # A host reader agrees: 7-Zip for 7z and ZIP, bsdtar for LZH.
    host_extract_utf8 "$target" "$archive" "$WORK/check/$target-$how"
    expect_same_files "$target ($how): read by the host" "$tree" "$WORK/check/$target-$how" files
  done
done
expect_eq "rar: Unicode mode" 0 "${results[$i]:-none}"
expect_same_files "rar: extracted" "$tree" "$WORK/out/rar" files
expect_ne "rar: ANSI mode cannot name the archive" 0 "${results[$((i + 1))]:-0}"
expect_true "rar: ANSI mode wrote nothing" test ! -e "$WORK/out/rar-ansi"
expect_eq "tar32 has no Unicode mode" noexport "${results[$((i + 2))]:-none}"

finish_real_archives
