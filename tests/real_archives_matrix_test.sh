#!/bin/bash
# Every source format that has a host reader (RAR from the test generator)
# into every target format that has a host writer, through the installed
# converter and the drop program (see real_archives_test.sh), checked with
# the host archivers: same files, bytes and folders, code page 932 names
# where Windows archivers write them.
# Arguments: build folder, source folder.
set -u
. "$2/tests/support/real_archives.sh"
start_drop_test "$1" real_archives_matrix_test
# RAR (no host tool writes it): the tree from the generator, read by the
# host-backed unrar32.dll; checked with unar and lsar first.
python3 "$2/tests/fixtures/make_rar.py" "$WORK/src/tree-rar.rar" "$WORK/tree"
expect_eq "tree-rar: lsar tests every entry" "$(find "$WORK/tree" -mindepth 1 | wc -l) passed, 0 failed." \
  "$(lsar -t "$WORK/src/tree-rar.rar" | tail -1)"
unar -q -D -o "$WORK/unar" "$WORK/src/tree-rar.rar" >/dev/null
expect_same_files "tree-rar: unar" "$WORK/tree" "$WORK/unar"

# Every source format into every target format (one drop per target, all
# sources at once, sorted entries).
sources=("$WORK"/src/*)
for target in tar tgz tbz2 zip 7z lzh cab; do
  dest="$WORK/matrix/$target"
  mkdir -p "$dest"
  drop_on_veltrox --dest "$(winpath "$dest")" --format "$target" --sort on -- "${sources[@]}" >"$dest.log"
  for source in "${sources[@]}"; do
    stem="${source##*/}"; stem="${stem%%.*}"
    out="$(output_of "$dest" "$stem")"
    if [ -z "$out" ]; then fail "$stem -> $target: no archive"; continue; fi
    host_extract "$target" "$out" "$WORK/matrix-check/$target/$stem"
    expect_same_files "$stem -> $target" "$WORK/tree" "$WORK/matrix-check/$target/$stem" files
    expect_stored_names "$target" "$out"
  done
done

finish_real_archives
