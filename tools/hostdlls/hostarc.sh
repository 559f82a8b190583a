#!/bin/sh
# Host side of the host-backed archiver DLLs: does one extraction or one
# compression with the archivers of the host system.
#
#   hostarc.sh extract FORMAT ARCHIVE DIR
#   hostarc.sh create  FORMAT ARCHIVE DIR LIST LEVEL [7z switches...]
#
# FORMAT: tar tgz tbz2 zip 7z 7zip lzh cab arj rar. DIR is the folder to
# extract into or to pack; LIST is a file of names relative to DIR, one a
# line in archive order (empty: the whole folder). LEVEL is the compression
# level ("" for the tool's default).
#
# Archives get and give code page 932 names where Japanese Windows archivers
# write them (LZH, ZIP without the UTF-8 flag, CAB, ARJ, TAR); the folders on
# this side hold UTF-8 names, as Wine keeps them.
set -u
export LC_ALL=ja_JP.UTF-8

op="$1"; fmt="$2"; archive="$3"; dir="$4"
shift 4

# Renames every name below $1 from code page 932 to UTF-8, deepest first.
names_from_cp932() {
  LC_ALL=C find "$1" -depth -mindepth 1 -name '*[! -~]*' | while IFS= read -r path; do
    base="${path##*/}"
    new="$(printf '%s' "$base" | iconv -f CP932 -t UTF-8 2>/dev/null)" || continue
    [ "$new" = "$base" ] || mv -f -- "$path" "${path%/*}/$new"
  done
}

# Copies the folder $1 as links into $2 with code page 932 names, for the
# archivers that store names byte for byte. Names that code page 932 cannot
# hold make the copy fail.
linked_cp932_copy() {
  cp -al -- "$1/." "$2/" || return 1
  LC_ALL=C find "$2" -depth -mindepth 1 -name '*[! -~]*' | while IFS= read -r path; do
    base="${path##*/}"
    new="$(printf '%s' "$base" | iconv -f UTF-8 -t CP932)" || exit 1
    mv -f -- "$path" "${path%/*}/$new" || exit 1
  done
}

# The names to pack, in order: the list file, or every entry below the
# folder (folders included, so that empty ones are kept), for archivers that
# are told not to recurse.
names() {
  if [ -n "$list" ]; then cat -- "$list"; else find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort; fi
}

# The same for archivers that recurse into the folders they are given: the
# list file, or the entries at the top of the folder.
roots() {
  if [ -n "$list" ]; then cat -- "$list"; else find . -mindepth 1 -maxdepth 1 -printf '%P\n' | LC_ALL=C sort; fi
}

# Plain compressed streams (file.gz, file.Z, file.bz2) that hold no tar:
# unpacked into one file named after the archive.
extract_stream() {
  base="${archive##*/}"
  case "$base" in
    *.tgz|*.taz) stem="${base%.*}.tar" ;;
    *.gz|*.Z|*.bz2|*.z) stem="${base%.*}" ;;
    *) stem="$base.out" ;;
  esac
  mkdir -p -- "$dir" || return 1
  case "$(head -c 3 -- "$archive" | od -An -tx1 | tr -d ' \n')" in
    425a68) bzip2 -dc -- "$archive" >"$dir/$stem" ;;
    1f8b*|1f9d*) gzip -dc -- "$archive" >"$dir/$stem" ;;
    *) echo "hostarc: not a tar archive nor a compressed stream" >&2; return 1 ;;
  esac
}

# Extraction with bsdtar, names read as code page 932; archives made on
# Unix-like systems hold UTF-8 names that code page 932 cannot decode: those
# are read again with UTF-8 names.
bsdtar_extract() {  # module
  mkdir -p -- "$dir" || return 1
  bsdtar -x -f "$archive" -C "$dir" --options "$1:hdrcharset=CP932" 2>"$dir.cp932.err" && { rm -f -- "$dir.cp932.err"; return 0; }
  if grep -q "can't be converted" "$dir.cp932.err"; then
    rm -f -- "$dir.cp932.err"
    find "$dir" -mindepth 1 -delete
    bsdtar -x -f "$archive" -C "$dir"
  else
    cat "$dir.cp932.err" >&2; rm -f -- "$dir.cp932.err"
    return 1
  fi
}

extract() {
  case "$fmt" in
    tar|tgz|tbz2)
      mkdir -p -- "$dir" || return 1
      if bsdtar -t -f "$archive" >/dev/null 2>&1; then
        bsdtar_extract tar
      else
        extract_stream
      fi ;;
    zip) bsdtar_extract zip ;;
    lzh) bsdtar_extract lha ;;
    cab) bsdtar_extract cab ;;
    7z|7zip)
      # ZIP archives that the converter routes through 7-Zip keep their
      # code page 932 names with the ZIP reader. 7z archives are read by
      # bsdtar, which keeps a link's target as stored; 7-Zip, which rewrites
      # absolute targets, reads what bsdtar cannot, and leaves links out.
      if [ "$(head -c 2 -- "$archive")" = PK ]; then
        bsdtar_extract zip
      else
        mkdir -p -- "$dir" &&
        { bsdtar -x -f "$archive" -C "$dir" 2>/dev/null ||
          { find "$dir" -mindepth 1 -delete && 7zz x -y -bd -snl- -o"$dir" -- "$archive"; }; }
      fi ;;
    arj)
      mkdir -p -- "$dir" && (cd "$dir" && arj x -y -i "$archive") && names_from_cp932 "$dir" ;;
    rar)
      mkdir -p -- "$dir" && unar -q -f -D -e CP932 -o "$dir" "$archive" ;;
    *) echo "hostarc: cannot read $fmt" >&2; return 1 ;;
  esac
}

create() {
  list="$1"; level="$2"; shift 2
  cd "$dir" || return 1
  rm -f -- "$archive"
  case "$fmt" in
    tar|tgz|tbz2)
      opts=hdrcharset=CP932; z=
      case "$fmt" in
        tgz) z=-z; [ -n "$level" ] && opts="$opts,gzip:compression-level=$level" ;;
        tbz2) z=-j; [ -n "$level" ] && opts="$opts,bzip2:compression-level=$level" ;;
      esac
      names | bsdtar -c $z -n -T - -f "$archive" --format gnutar --options "$opts" ;;
    zip)
      opts=zip:hdrcharset=CP932
      case "$level" in
        0) opts="$opts,zip:compression=store" ;;
        [1-9]) opts="$opts,zip:compression-level=$level" ;;
      esac
      names | bsdtar -c -n -T - -f "$archive" --format zip --options "$opts" ;;
    7z|7zip)
      if [ "$fmt" = 7zip ]; then type=-tzip; else type=-t7z; fi
      names7z="$(mktemp)" || return 1
      roots >"$names7z" && 7zz a -bd -y $type "$@" -scsUTF-8 "$archive" @"$names7z" >/dev/null
      rc=$?; rm -f -- "$names7z"; return $rc ;;
    lzh)
      # jlha takes the names as arguments, in the order given.
      case "$level" in 0) method=z ;; 7) method=o7 ;; 6) method=o6 ;; *) method=o5 ;; esac
      roots | tr '\n' '\0' | xargs -0 -x sh -c 'exec jlha -a'"$method"'q2 "$0" "$@"' "$archive" >/dev/null ;;
    cab)
      # gcab stores names byte for byte: it packs a linked copy of the folder
      # whose names are code page 932 (folders are not stored in a cabinet).
      tmp="$(mktemp -d)" || return 1
      names | while IFS= read -r n; do [ -d "$n" ] || printf '%s\n' "$n"; done \
        | iconv -f UTF-8 -t CP932 >"$tmp.names" &&
      linked_cp932_copy . "$tmp" &&
      (cd "$tmp" && tr '\n' '\0' <"$tmp.names" | LC_ALL=C xargs -0 -x gcab -c -z "$archive")
      rc=$?; rm -rf -- "$tmp" "$tmp.names"; return $rc ;;
    *) echo "hostarc: cannot write $fmt" >&2; return 1 ;;
  esac
}

# Windows archivers do not create symbolic links, and under Wine a link in a
# work folder is harmful: deleting a link to a file deletes that file, and a
# link to a folder cannot be removed. Every link a host reader made becomes a
# regular file holding the link's target text (find does not follow links).
links_to_files() {
  find "$dir" -type l -exec sh -c \
    'for l; do t="$(readlink -- "$l")" && rm -f -- "$l" && printf "%s" "$t" >"$l" || exit 1; done' sh {} +
}

case "$op" in
  extract) extract && links_to_files ;;
  create) create "$@" ;;
  *) echo "hostarc: unknown operation $op" >&2; exit 2 ;;
esac
