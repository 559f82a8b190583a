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
# TAR made on a Unix-like system holds UTF-8 names, not code page 932 ones.
(cd "$WORK/tree" && tar -czf "$WORK/src/utf8-tgz.tgz" .)

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
run_batch "$batch" "$WORK/extract.result"

mapfile -t results <"$WORK/extract.result"
i=0
for name in "${names[@]}"; do
  expect_eq "extract $name: result" 0 "${results[$i]:-none}"
  # Cabinets and ARJ archives hold no folders of their own.
  case "$name" in *.cab|*.arj) what=files ;; *) what="" ;; esac
  expect_same_files "extract $name" "$WORK/tree" "$WORK/out/$name" $what
  i=$((i + 1))
done
expect_ne "corrupt zip: result" 0 "${results[$i]:-none}"
expect_ne "missing lzh: result" 0 "${results[$((i + 1))]:-none}"
expect_eq "plain gzip stream: result" 0 "${results[$((i + 2))]:-none}"
expect_true "plain gzip stream unpacked" cmp -s "$WORK/tree/readme.txt" "$WORK/out/stream/readme.txt"

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
    expect_cp932_names "$target" "$archive"
  done
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
