#!/bin/sh
# Host side of the host-backed archiver DLLs: does one extraction or one
# compression with the archivers of the host system.
#
#   hostarc.sh extract FORMAT ARCHIVE DIR
#   hostarc.sh create  FORMAT ARCHIVE DIR LIST LEVEL [7z switches...]
#
# FORMAT: tar tgz tbz2 zip 7z 7zip lzh cab arj rar; for create also
# tar-utf8 tgz-utf8 tbz2-utf8 (UTF-8 names instead of code page 932) and
# lzh-utf8 (UTF-8 names, in Unicode mode). DIR is the folder to
# extract into or to pack; LIST is a file of names relative to DIR, one a
# line in archive order (empty: the whole folder). LEVEL is the compression
# level ("" for the tool's default).
#
# Archives get and give code page 932 names where Japanese Windows archivers
# write them (LZH, ZIP without the UTF-8 flag, CAB, ARJ, TAR); the folders on
# this side hold UTF-8 names, as Wine keeps them.
set -u
export LC_ALL=ja_JP.UTF-8

# With HOSTARC_TIMES naming a file, a line "host START END" is appended to it
# (Unix times), the time the host tools took for this call.
[ -z "${HOSTARC_TIMES:-}" ] || started="$(date +%s.%N)"
op="$1"; fmt="$2"; archive="$3"; dir="$4"
shift 4
python=/usr/bin/python3
[ -x "$python" ] || python=python3

# Renames every name below $1 in one process, deepest first. $2 is
# "from-cp932", "to-cp932" (fails when a name has no code page 932 form) or
# "auto": a name that is valid UTF-8 stays (archives made on Unix-like
# systems), any other is read as code page 932 (archives made on Japanese
# Windows; their Japanese names are almost never valid UTF-8). Bytes that
# code page 932 cannot decode become "_": Wine can neither show nor remove
# a name that is not UTF-8.
rename_tree() {
  # Names all valid UTF-8 need no "auto" pass, names all ASCII no pass at
  # all (checked without Python, whose start costs more than reading a small
  # archive).
  if [ "$2" = auto ]; then
    find "$1" -mindepth 1 -print0 | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1 && return 0
  else
    find "$1" -name '*[! -~]*' -print -quit | grep -q . || return 0
  fi
  "$python" -S -E - "$1" "$2" <<'PY'
import os, sys
top, mode = os.fsencode(sys.argv[1]), sys.argv[2]
names = [(root, n) for root, dirs, files in os.walk(top, topdown=False)
         for n in files + dirs if max(n) > 127]
def utf8(name):
    try:
        name.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False
source, target = ("utf-8", "cp932") if mode == "to-cp932" else ("cp932", "utf-8")
for root, n in names:
    if mode == "auto" and utf8(n):
        continue
    try:
        new = n.decode(source).encode(target)
    except UnicodeError:
        if mode == "to-cp932":
            sys.exit("hostarc: no code page 932 form for " + os.fsdecode(n))
        new = n.decode(source, "replace").replace("\ufffd", "_").encode(target)
    if new != n:
        os.rename(os.path.join(root, n), os.path.join(root, new))
PY
}

# Copies the folder $1 as links into $2 with code page 932 names, for the
# archivers that store names byte for byte. Names that code page 932 cannot
# hold make the copy fail.
linked_cp932_copy() {
  cp -al -- "$1/." "$2/" && rename_tree "$2" to-cp932
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

# The tar family: file.tar, .tgz, .tar.gz, .tar.bz2, .tar.Z, read by GNU tar
# (which tells the compressions apart itself) with the names byte for byte,
# then renamed in one pass. A stream that holds no tar makes GNU tar fail or
# leave nothing; only then do the first 512 bytes tell it from a damaged or
# empty tar. Plain compressed streams (file.gz, file.Z, file.bz2) are
# unpacked into one file named after the archive, an empty stream into an
# empty file.
extract_tar() {
  mkdir -p -- "$dir" || return 1
  LC_ALL=C tar -xf "$archive" -C "$dir"
  rc=$?
  if [ $rc != 0 ] || is_empty "$dir"; then
    case "$(od -An -N3 -tx1 -- "$archive" | tr -d ' \n')" in
      425a68) unpack="bzip2 -dc" ;;
      1f8b*|1f9d*) unpack="gzip -dc" ;;
      *) unpack=cat ;;
    esac
    if ! $unpack <"$archive" 2>/dev/null | head -c 512 | is_tar_header; then
      find "$dir" -mindepth 1 -delete
      [ "$unpack" != cat ] || { echo "hostarc: not a tar archive nor a compressed stream" >&2; return 1; }
      base="${archive##*/}"
      case "$base" in
        *.tgz|*.taz) stem="${base%.*}.tar" ;;
        *.gz|*.Z|*.bz2|*.z) stem="${base%.*}" ;;
        *) stem="$base.out" ;;
      esac
      $unpack <"$archive" >"$dir/$stem"
      return
    fi
  fi
  # What a failed extraction left is renamed too, so that Wine can see it
  # and the converter can remove it.
  rename_tree "$dir" auto || rc=1
  return $rc
}

# True when the folder $1 holds nothing (shell built-ins only).
is_empty() {
  for entry in "$1"/* "$1"/.[!.]* "$1"/..?*; do
    if [ -e "$entry" ] || [ -L "$entry" ]; then return 1; fi
  done
  return 0
}

# Reads 512 bytes: true when they are a tar header (its checksum matches,
# whichever of the unsigned and signed sums the writer used) or the zero
# block that ends an empty archive.
is_tar_header() {
  od -An -v -tu1 | awk '
    { for (i = 1; i <= NF; i++) { n++; b[n] = $i } }
    END {
      if (n != 512) exit 1
      zero = 1; u = 0; s = 0
      for (i = 1; i <= 512; i++) {
        if (b[i] != 0) zero = 0
        v = (i >= 149 && i <= 156) ? 32 : b[i]
        u += v; s += (v > 127 ? v - 256 : v)
      }
      if (zero) exit 0
      sum = 0; digits = 0
      for (i = 149; i <= 156; i++) {
        if (b[i] >= 48 && b[i] <= 55) { sum = sum * 8 + b[i] - 48; digits++ }
        else if (digits) break
      }
      exit !(digits && (sum == u || sum == s))
    }'
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

# RAR: unar, which splits a code page 932 name into folders after decoding
# it (a trail byte 0x5C is no separator), told the encoding of the names
# that carry none; where unar cannot read an archive, bsdtar, with the names
# byte for byte and renamed in one pass (bsdtar splits a name at every 0x5C
# byte, so it comes second).
extract_rar() {
  mkdir -p -- "$dir" || return 1
  unar -q -f -D -e "$(rar_name_encoding)" -o "$dir" "$archive" >/dev/null && return 0
  find "$dir" -mindepth 1 -delete
  LC_ALL=C bsdtar -x -f "$archive" -C "$dir"
  rc=$?
  rename_tree "$dir" auto || rc=1
  return $rc
}

# The encoding of the RAR 4 names stored without a Unicode form: UTF-8 when
# they all are valid UTF-8 (written on a Unix-like system), else CP932.
# RAR 5 names are always UTF-8 and need no answer.
rar_name_encoding() {
  "$python" -S -E - "$archive" <<'PY' 2>/dev/null || echo CP932
import struct, sys
names = []
with open(sys.argv[1], "rb") as f:
    if f.read(7) != b"Rar!\x1a\x07\x00":
        sys.exit(1)
    pos = 7
    while True:
        f.seek(pos)
        head = f.read(7)
        if len(head) < 7:
            break
        _, kind, flags, size = struct.unpack("<HBHH", head)
        body = f.read(max(size - 7, 0))
        if size < 7 or (kind == 0x73 and flags & 0x80) or kind == 0x7B:
            break  # damaged, headers encrypted, or the end
        extra = 0
        if kind == 0x74 and len(body) >= 25:
            extra, = struct.unpack_from("<I", body, 0)
            name_size, = struct.unpack_from("<H", body, 19)
            at = 25
            if flags & 0x100:
                extra |= struct.unpack_from("<I", body, 25)[0] << 32
                at += 8
            if not flags & 0x200:
                names.append(body[at:at + name_size])
        elif flags & 0x8000 and len(body) >= 4:
            extra, = struct.unpack_from("<I", body, 0)
        pos += size + extra
try:
    for name in names:
        name.decode("utf-8")
    print("UTF-8")
except UnicodeDecodeError:
    print("CP932")
PY
}

extract() {
  case "$fmt" in
    tar|tgz|tbz2) extract_tar ;;
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
      mkdir -p -- "$dir" && { (cd "$dir" && arj x -y -i "$archive"); rc=$?; rename_tree "$dir" from-cp932 && return $rc; } ;;
    rar) extract_rar ;;
    *) echo "hostarc: cannot read $fmt" >&2; return 1 ;;
  esac
}

# LZH with UTF-8 names (Unicode mode): jlha, which stores names it cannot
# write in code page 932 as "?", packs a linked copy of the folder in which
# every name that is not ASCII has an ASCII alias; then every header gets its
# real names back, in UTF-8, and the code page extension (0x46, 65001) that
# tells readers so. jlha writes level 2 headers only.
create_lzh_utf8() {  # tmp roots method
  "$python" -S -E - "$@" "$archive" <<'PY'
import os, struct, subprocess, sys
tmp, roots_file, method, archive = map(os.fsencode, sys.argv[1:5])
alias_of, real_of = {}, {}
def alias(name):
    if max(name, default=0) < 128:
        return name
    if name not in alias_of:
        alias_of[name] = b"~u%d" % len(alias_of)
        real_of[alias_of[name]] = name
    return alias_of[name]
def aliased(rel):
    return b"/".join(alias(c) for c in rel.split(b"/"))
def mirror(rel):
    target = os.path.join(tmp, aliased(rel))
    if os.path.isdir(rel) and not os.path.islink(rel):
        os.makedirs(target, exist_ok=True)
        for name in sorted(os.listdir(rel)):
            mirror(rel + b"/" + name)
    elif not os.path.lexists(target):
        os.makedirs(os.path.dirname(target), exist_ok=True)
        os.link(rel, target)
roots = [r for r in open(roots_file, "rb").read().split(b"\n") if r]
for r in roots:
    mirror(r)
if subprocess.run([b"jlha", b"-a" + method + b"q2", archive] + [aliased(r) for r in roots],
                  cwd=tmp, stdout=subprocess.DEVNULL).returncode:
    sys.exit("hostarc: jlha failed")
def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ (0xA001 if crc & 1 else 0)
    return crc
data = open(archive, "rb").read()
out, pos = bytearray(), 0
while pos < len(data) and data[pos] != 0:
    size, = struct.unpack_from("<H", data, pos)
    packed, = struct.unpack_from("<I", data, pos + 7)
    if data[pos + 20] != 2:
        sys.exit("hostarc: jlha wrote a header that is not level 2")
    name, folder, others, at = b"", b"", [], pos + 24
    while True:
        ext, = struct.unpack_from("<H", data, at)
        if ext == 0:
            break
        kind, body = data[at + 2], data[at + 3:at + ext]
        if kind == 1:
            name = body
        elif kind == 2:
            folder = body
        elif kind not in (0, 0x46):
            others.append((kind, body))
        at += ext
    name = real_of.get(name, name)
    folder = b"\xff".join(real_of.get(c, c) for c in folder.split(b"\xff"))
    exts = [(0, b"\0\0"), (1, name)] + ([(2, folder)] if folder else []) + \
           [(0x46, struct.pack("<I", 65001))] + others
    header = bytearray(data[pos:pos + 24])
    header += b"".join(struct.pack("<HB", len(b) + 3, k) + b for k, b in exts) + b"\0\0"
    if len(header) & 0xFF == 0:
        header += b"\0"  # a size whose low byte is 0 would read as the end
    struct.pack_into("<H", header, 0, len(header))
    struct.pack_into("<H", header, 27, crc16(header))
    out += header + data[pos + size:pos + size + packed]
    pos += size + packed
out += data[pos:]
with open(archive + b".utf8", "wb") as f:
    f.write(out)
os.replace(archive + b".utf8", archive)
PY
}

create() {
  list="$1"; level="$2"; shift 2
  cd "$dir" || return 1
  rm -f -- "$archive"
  case "$fmt" in
    tar|tgz|tbz2|tar-utf8|tgz-utf8|tbz2-utf8)
      # tar32.dll 2.x stores UTF-8 names unless told otherwise.
      case "$fmt" in *-utf8) opts=hdrcharset=UTF-8; fmt="${fmt%-utf8}" ;; *) opts=hdrcharset=CP932 ;; esac
      z=
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
    lzh-utf8)
      case "$level" in 0) method=z ;; 7) method=o7 ;; 6) method=o6 ;; *) method=o5 ;; esac
      tmp="$(mktemp -d)" || return 1
      roots >"$tmp.roots" && create_lzh_utf8 "$tmp" "$tmp.roots" "$method"
      rc=$?; rm -rf -- "$tmp" "$tmp.roots"; return $rc ;;
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
# regular file holding the link's target text (find does not follow links),
# after a failed extraction too.
links_to_files() {
  find "$dir" -type l -exec sh -c \
    'for l; do t="$(readlink -- "$l")" && rm -f -- "$l" && printf "%s" "$t" >"$l" || exit 1; done' sh {} +
}

case "$op" in
  extract) extract; rc=$?; links_to_files || rc=1; [ $rc = 0 ] ;;
  create) create "$@" ;;
  *) echo "hostarc: unknown operation $op" >&2; exit 2 ;;
esac
rc=$?
[ -z "${HOSTARC_TIMES:-}" ] || echo "host $started $(date +%s.%N)" >>"$HOSTARC_TIMES"
exit $rc
