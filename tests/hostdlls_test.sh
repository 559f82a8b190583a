#!/bin/bash
# The host-backed archiver DLLs on real archives: archives made by the host
# archivers are extracted through the DLLs with the command lines the
# converter sends, folders are packed through the DLLs with and without a
# response file, and every result is checked with the host archivers.
# Arguments: build folder, source folder.
set -u
BUILD="$1"
. "$2/tests/support/real_archives.sh"

setup_real_archives "$BUILD" hostdlls_test
make_tree "$WORK/tree"
make_host_archives "$WORK/tree" "$WORK/src"
# TAR and RAR made on a Unix-like system hold UTF-8 names, not code page 932
# ones; RAR from Windows holds code page 932 names (with 0x5C trail bytes).
(cd "$WORK/tree" && tar -czf "$WORK/src/utf8-tgz.tgz" .)
python3 "$2/tests/fixtures/make_rar.py" "$WORK/src/tree-rar.rar" "$WORK/tree"
python3 "$2/tests/fixtures/make_rar.py" --utf8 "$WORK/src/utf8-rar.rar" "$WORK/tree"
# The generated RAR archives as unar and lsar read them.
for rar in tree-rar utf8-rar; do
  expect_eq "$rar: lsar tests every entry" "$(find "$WORK/tree" -mindepth 1 | wc -l) passed, 0 failed." \
            "$(lsar -t "$WORK/src/$rar.rar" | tail -1)"
  unar -q -D -o "$WORK/unar/$rar" "$WORK/src/$rar.rar" >/dev/null
  expect_same_files "$rar: unar" "$WORK/tree" "$WORK/unar/$rar"
done
# GNU tar long names (over 100 bytes, code page 932), an empty gzip stream.
long="$WORK/long/長い名前のフォルダ/$(printf 'n%.0s' $(seq 1 100))_表ソ.txt"
mkdir -p "${long%/*}" && printf 'long\n' >"$long"
cp -a "$WORK/long" "$WORK/long.cp932" && names_to_cp932 "$WORK/long.cp932"
(cd "$WORK/long.cp932" && LC_ALL=C tar --format=gnu -czf "$WORK/src/long-tgz.tgz" .)
: | gzip >"$WORK/empty.dat.gz"

# Extraction: every host-made source through its DLL.
batch="$WORK/extract.txt"
: >"$batch"
mkdir -p "$WORK/out" "$WORK/new"
declare -a names=()
for fixture in "$WORK"/src/*; do
  name="${fixture##*/}"
  names+=("$name")
  printf '%s\n' "$(extract_call "$fixture" "$(winpath "$WORK/out/$name")\\")" >>"$batch"
done
# A corrupt archive and a missing one fail.
head -c 300 "$WORK/src/tree-zip.zip" >"$WORK/corrupt.zip"
printf '%s\n' "$(extract_call "$WORK/corrupt.zip" "$(winpath "$WORK/out/corrupt")\\")" >>"$batch"
printf '%s\n' "$(extract_call "$WORK/missing.lzh" "$(winpath "$WORK/out/missing")\\")" >>"$batch"
# A plain gzip stream (no tar inside) becomes one file named after it.
gzip -c "$WORK/tree/readme.txt" >"$WORK/readme.txt.gz"
printf '%s\n' "$(extract_call "$WORK/readme.txt.gz" "$(winpath "$WORK/out/stream")\\")" >>"$batch"
printf '%s\n' "$(extract_call "$WORK/empty.dat.gz" "$(winpath "$WORK/out/empty")\\")" >>"$batch"
run_batch "$batch" "$WORK/extract.result"

mapfile -t results <"$WORK/extract.result"
i=0
for name in "${names[@]}"; do
  expect_eq "extract $name: result" 0 "${results[$i]:-none}"
  # Cabinets and ARJ archives hold no folders of their own.
  case "$name" in *.cab|*.arj) what=files ;; *) what="" ;; esac
  case "$name" in long-*) tree="$WORK/long" ;; *) tree="$WORK/tree" ;; esac
  expect_same_files "extract $name" "$tree" "$WORK/out/$name" $what
  i=$((i + 1))
done
expect_ne "corrupt zip: result" 0 "${results[$i]:-none}"
expect_ne "missing lzh: result" 0 "${results[$((i + 1))]:-none}"
expect_eq "plain gzip stream: result" 0 "${results[$((i + 2))]:-none}"
expect_true "plain gzip stream unpacked" cmp -s "$WORK/tree/readme.txt" "$WORK/out/stream/readme.txt"
expect_eq "empty gzip stream: result" 0 "${results[$((i + 3))]:-none}"
expect_eq "empty gzip stream gives an empty file" "empty.dat 0" \
  "$(ls "$WORK/out/empty" 2>&1) $(stat -c %s "$WORK/out/empty/empty.dat" 2>&1)"

# Symbolic links are never created: a link to a file outside, one to a
# folder outside, one to a folder inside and "dotdot -> .." come out as
# regular files holding the link's target text, whatever the reader; the
# work folder is then removed from Wine, and nothing outside is touched.
mkdir -p "$WORK/links/in/folder" "$WORK/links/out" "$WORK/outside/dir"
printf 'secret\n' >"$WORK/outside/file.txt"
printf 'inner\n' >"$WORK/outside/dir/inner.txt"
printf 'x\n' >"$WORK/links/in/folder/a.txt"
declare -A link_targets=([to-file]="$WORK/outside/file.txt" [to-outside]="$WORK/outside/dir"
                         [to-folder]=folder [dotdot]=..)
for l in "${!link_targets[@]}"; do ln -s "${link_targets[$l]}" "$WORK/links/in/$l"; done
(cd "$WORK/links/in" && zip -q --symlinks -r "$WORK/links/links.zip" . && tar -cf "$WORK/links/links.tar" . &&
   7zz a -snl -bd "$WORK/links/links.7z" . >/dev/null)
# A tar whose second entry goes through its first, a link to a folder
# outside: the extraction fails, and leaves no link either.
mkdir -p "$WORK/links/via/evil" "$WORK/links/link"
ln -s "$WORK/outside/dir" "$WORK/links/link/evil"
printf 'x\n' >"$WORK/links/via/evil/x.txt"
tar -cf "$WORK/links/through.tar" -C "$WORK/links/link" evil && tar -rf "$WORK/links/through.tar" -C "$WORK/links/via" evil/x.txt
outside_before="$(manifest "$WORK/outside")"
batch="$WORK/links.txt"
for a in "$WORK"/links/links.* "$WORK/links/through.tar"; do
  printf '%s\n' "$(extract_call "$a" "$(winpath "$WORK/links/out/${a##*/}")\\")"
done >"$batch"
run_batch "$batch" "$WORK/links.result"
mapfile -t results <"$WORK/links.result"
expect_eq "links: every extraction succeeds" "0 0 0" "${results[*]:0:3}"
expect_ne "links: extraction through a link fails" 0 "${results[3]:-0}"
expect_eq "links: no link after a failed extraction" "" "$(find "$WORK/links/out/through.tar" -type l 2>&1)"
for kind in tar zip 7z; do
  out="$WORK/links/out/links.$kind"
  expect_eq "links in $kind: no link extracted" "" "$(find "$out" -type l 2>&1)"
  for l in "${!link_targets[@]}"; do
    expect_true "links in $kind: $l is a file holding its target" test -f "$out/$l" -a ! -L "$out/$l"
    expect_eq "links in $kind: $l text" "${link_targets[$l]}" "$(cat "$out/$l" 2>&1)"
  done
  "$BUILD/wine-run.sh" cmd /c rmdir /s /q "$(winpath "$out")" >/dev/null 2>&1
  expect_true "links in $kind: folder removed from Wine" test ! -e "$out"
done
expect_eq "links: nothing outside changed" "$outside_before" "$(manifest "$WORK/outside")"

# Compression: the tree as work folder into every target, with a response
# file in a deliberately unsorted order and with the whole-folder pattern.
cp -a "$WORK/tree" "$WORK/pack"
listed_order >"$WORK/order.txt"
write_response_file "$WORK/order.txt" "$WORK/list.txt"
batch="$WORK/create.txt"
: >"$batch"
targets=(tar tgz tbz2 zip 7z 7zip lzh cab)
for target in "${targets[@]}"; do
  for mode in list all; do
    printf '%s\n' "$(create_call "$target" "$mode" "$WORK/new/$target.$mode.$(target_extension "$target")" \
                      "$WORK/pack" "$WORK/list.txt")" >>"$batch"
  done
done
for target in "${targets[@]}"; do
  printf '%s\n' "$(create_call "$target" all "$WORK/new/long-$target.$(target_extension "$target")" "$WORK/long" "")" >>"$batch"
done
run_batch "$batch" "$WORK/create.result"
mapfile -t results <"$WORK/create.result"
i=0
for target in "${targets[@]}"; do
  for mode in list all; do
    archive="$WORK/new/$target.$mode.$(target_extension "$target")"
    expect_eq "create $target ($mode): result" 0 "${results[$i]:-none}"
    i=$((i + 1))
    host_extract "$target" "$archive" "$WORK/check/$target.$mode"
    if [ "$mode" = list ]; then
      expect_same_files "create $target ($mode)" "$WORK/tree" "$WORK/check/$target.$mode" files
      # 7-Zip orders the items of its archives itself.
      case "$target" in 7z|7zip) ;; *)
        expect_eq "create $target ($mode): entry order" "$(cat "$WORK/order.txt")" "$(archive_file_order "$target" "$archive")" ;;
      esac
    elif [ "$target" = cab ]; then
      expect_same_files "create $target ($mode)" "$WORK/tree" "$WORK/check/$target.$mode" files
    else
      expect_same_files "create $target ($mode)" "$WORK/tree" "$WORK/check/$target.$mode"
    fi
    expect_stored_names "$target" "$archive"
  done
done
# The long names in every target.
for target in "${targets[@]}"; do
  expect_eq "create $target (long names): result" 0 "${results[$i]:-none}"
  i=$((i + 1))
  host_extract "$target" "$WORK/new/long-$target.$(target_extension "$target")" "$WORK/check/long.$target"
  expect_same_files "create $target (long names)" "$WORK/long" "$WORK/check/long.$target" files
done

# Forms no host tool can make, and version answers.
batch="$WORK/misc.txt"
{
  printf '%s\t%s\t\t%s\n' "$(winpath "$DLLS/unlha32.dll")" Unlha "s -x -c -gw \"$(winpath "$WORK/new/lzh.list.lzh")\" \"$(winpath "$WORK/new")\\\""
  printf '%s\t%s\n' "$(winpath "$DLLS/tar32.dll")" TarGetVersion
  printf '%s\t%s\n' "$(winpath "$DLLS/zip32j.dll")" ZipGetVersion
  printf '%s\t%s\n' "$(winpath "$DLLS/unrar.dll")" RARGetDllVersion
} >"$batch"
run_batch "$batch" "$WORK/misc.result"
mapfile -t results <"$WORK/misc.result"
expect_ne "self-extracting LZH refused" 0 "${results[0]:-0}"
expect_true "tar32 version allows bzip2 and the dialog switches" test "${results[1]:-0}" -gt 50
expect_true "zip32j version allows self-extracting ZIP" test "${results[2]:-0}" -ge 24 -a "${results[2]:-0}" -le 1000
expect_true "unrar.dll answers a version" test "${results[3]:-0}" -gt 0

finish_real_archives
