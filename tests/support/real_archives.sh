# Helpers for the tests and the demo that work on real archives made and
# checked by the host archivers (sourced by bash scripts).
#
# Archives of Japanese Windows archivers hold code page 932 names; the trees
# on this side hold UTF-8 names, as Wine keeps them.

export LC_ALL=ja_JP.UTF-8
# The two characters whose second byte in code page 932 is a backslash.
JP_DIR="表ソ"

# setup_real_archives BUILD NAME: a fresh work folder BUILD/NAME as $WORK.
setup_real_archives() {
  BUILD="$1"
  WORK="$BUILD/$2"
  DLLS="$BUILD/hostdlls"
  CALL="$BUILD/tests/archiver_call.exe"
  TEST_PASSED=0
  TEST_FAILED=0
  rm -rf "$WORK"
  mkdir -p "$WORK"
}

# winpath UNIXPATH: the same file seen from Wine (drive Z: is the root).
winpath() {
  local p="$1"
  printf 'Z:%s' "${p//\//\\}"
}

pass() { TEST_PASSED=$((TEST_PASSED + 1)); }
fail() { TEST_FAILED=$((TEST_FAILED + 1)); echo "FAILED: $*"; }
expect_eq() { if [ "$2" = "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi; }
expect_ne() { if [ "$2" != "$3" ]; then pass; else fail "$1: got [$3]"; fi; }
expect_true() { local label="$1"; shift; if "$@"; then pass; else fail "$label"; fi; }

finish_real_archives() {
  echo "$TEST_PASSED passed, $TEST_FAILED failed"
  [ "$TEST_FAILED" = 0 ]
}

# make_tree DIR: nested folders, Japanese names (with the trail byte 0x5C),
# an empty file, an empty folder, a binary file and a read-only file.
make_tree() {
  local dir="$1"
  mkdir -p "$dir/sub" "$dir/$JP_DIR/深い" "$dir/空フォルダ"
  printf 'hello\r\n' >"$dir/readme.txt"
  : >"$dir/empty.dat"
  printf 'ソース表示\n' >"$dir/$JP_DIR/ソース.txt"
  head -c 120000 /dev/urandom >"$dir/$JP_DIR/深い/データ.bin"
  printf 'B\n' >"$dir/sub/B.txt"
  printf 'a\n' >"$dir/sub/a.txt"
  printf 'keep\n' >"$dir/readonly.txt"
  chmod 444 "$dir/readonly.txt"
}

# make_unicode_tree DIR: entries named in several scripts outside code page
# 932 (and one code page 932 folder), a binary file among them.
make_unicode_tree() {
  local dir="$1"
  mkdir -p "$dir/déjà vu" "$dir/$JP_DIR"
  printf 'u\n' >"$dir/ü.txt"
  printf 'k\n' >"$dir/한글.txt"
  head -c 3000 /dev/urandom >"$dir/😀.png"
  printf 'j\n' >"$dir/$JP_DIR/ソース.txt"
  printf 'd\n' >"$dir/déjà vu/x.txt"
}

# The files of make_tree in an order that no sorting gives.
listed_order() {
  printf '%s\n' "sub/B.txt" "readme.txt" "$JP_DIR/深い/データ.bin" "empty.dat" "sub/a.txt" \
    "$JP_DIR/ソース.txt" "readonly.txt"
}

# write_response_file ORDER OUT: the converter's response file for the names
# in ORDER: code page 932, quoted, backslashes, CR LF.
write_response_file() {
  sed -e 's|/|\\|g' -e 's|^|"|' -e 's|$|"\r|' "$1" | iconv -f UTF-8 -t CP932 >"$2"
}

# names_from_cp932 DIR / names_to_cp932 DIR: renames everything below DIR.
names_from_cp932() { rename_below "$1" CP932 UTF-8; }
names_to_cp932() { rename_below "$1" UTF-8 CP932; }
# names_auto DIR: names that are valid UTF-8 stay, any other is code page 932.
names_auto() { rename_below "$1" CP932 UTF-8 keep-utf8; }
rename_below() {
  LC_ALL=C find "$1" -depth -mindepth 1 -name '*[! -~]*' | while IFS= read -r path; do
    local base="${path##*/}" new
    [ "${4:-}" = keep-utf8 ] && printf '%s' "$base" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1 && continue
    new="$(printf '%s' "$base" | iconv -f "$2" -t "$3")" && [ "$new" != "$base" ] && mv -- "$path" "${path%/*}/$new"
  done
}

# make_host_archives TREE OUT [STEM]: TREE packed by the host archivers into
# OUT/STEM-<format>.<ext> (STEM default "tree"), with code page 932 names
# where Windows archivers use them.
make_host_archives() {
  local tree="$1" out="$2" cp="$2.cp932" s="${3:-tree}"
  mkdir -p "$out"
  rm -rf "$cp"
  cp -a "$tree" "$cp"
  names_to_cp932 "$cp"
  (cd "$cp" && LC_ALL=C tar -cf "$out/$s-tar.tar" . &&
     LC_ALL=C tar -czf "$out/$s-tgz.tgz" . && LC_ALL=C tar -cjf "$out/$s-tbz2.tar.bz2" . &&
     LC_ALL=C zip -qr "$out/$s-zip.zip" . &&
     LC_ALL=C arj a -r -y "$out/$s-arj.arj" '*' >/dev/null)
  (cd "$tree" && 7zz a -bd "$out/$s-7z.7z" . >/dev/null &&
     jlha -ao5q2 "$out/$s-lzh.lzh" * >/dev/null &&
     find . -type f -printf '%P\0' | xargs -0 gcab -c -z "$out/$s-cab.cab")
  chmod -R u+w "$cp"
  rm -rf "$cp"
}

# manifest DIR [files]: every file with its MD5, and (unless "files") every
# folder, sorted.
manifest() {
  (cd "$1" && {
    find . -type f -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
      printf '%s %s\n' "$f" "$(md5sum <"$f" | cut -c1-32)"
    done
    [ "${2:-}" = files ] || find . -mindepth 1 -type d -printf '%P/\n' | LC_ALL=C sort
  })
}

# expect_same_files LABEL EXPECTED ACTUAL [files]
expect_same_files() {
  local expected actual
  expected="$(manifest "$2" "${4:-}")"
  actual="$( [ -d "$3" ] && manifest "$3" "${4:-}")"
  if [ "$expected" = "$actual" ]; then pass; else
    fail "$1: files differ"
    diff <(echo "$expected") <(echo "$actual") | head -20
  fi
}

# dll_of FORMAT: DLL and command export of a format (by file extension or
# target name).
dll_of() {
  case "$1" in
    tar|tgz|tar.gz|tar.bz2|tbz2|*.gz) echo "tar32.dll Tar" ;;
    zip) echo "unzip32.dll UnZip" ;;
    7z) echo "7-zip32.dll SevenZip" ;;
    lzh) echo "unlha32.dll Unlha" ;;
    cab) echo "cab32.dll Cab" ;;
    arj) echo "unarj32j.dll Unarj" ;;
    rar) echo "unrar32.dll Unrar" ;;
  esac
}

target_extension() {
  case "$1" in tgz) echo tgz ;; tbz2) echo tar.bz2 ;; 7zip) echo zip ;; *) echo "$1" ;; esac
}

# extract_call ARCHIVE WORKFOLDER: batch line for the extraction command the
# converter sends for ARCHIVE (WORKFOLDER as a Windows path ending in \).
extract_call() {
  local archive="$1" work="$2" ext switches dll
  ext="${archive##*/}"; ext="${ext#*.}"
  case "$ext" in
    tar|tar.bz2) switches="--display-dialog=1 -xvf " ;;
    tgz|tar.gz|*.gz) switches="--display-dialog=1 -xvfz " ;;
    zip) switches="-x -s -o --j -i " ;;
    7z) switches="x -y " ;;
    lzh) switches="e -x1r2 -jf0 -y -c -a1 " ;;
    cab) switches="-x -r -o " ;;
    arj) switches="x -jf0 -y -p1 -c -a1 " ;;
    rar) switches="-x -y -o " ;;
  esac
  read -r dll export <<<"$(dll_of "$ext")"
  printf '%s\t%s\t\t%s"%s" "%s"' "$(winpath "$DLLS/$dll")" "$export" "$switches" "$(winpath "$archive")" "$work"
}

# create_call TARGET MODE ARCHIVE FOLDER LIST: batch line for the
# compression command of TARGET (tar tgz tbz2 zip 7z 7zip lzh cab) with the
# response file LIST (MODE list) or the whole folder (MODE all).
create_call() {
  local target="$1" mode="$2" archive="$3" folder="$4" list="$5" switches dll export pattern='*.*'
  case "$target" in
    tar) switches="-cvf " ;;
    tgz) switches="--display-dialog=1 -cvfz6 " ;;
    tbz2) switches="--display-dialog=1 -cvfB6 " ;;
    zip) switches="-S -6 "; [ "$mode" = all ] && switches+="-r " ;;
    7z) switches="a -t7z $( [ "$mode" = all ] && echo -r0 || echo --r) -ms=off -mhc=off "; pattern='*' ;;
    7zip) switches="a -tzip $( [ "$mode" = all ] && echo -r0 || echo --r) -mm=deflate -mx=5 "; pattern='*' ;;
    lzh) if [ "$mode" = all ]; then switches="a -x1r2 -p -a1 -jm2 "; else switches="a -x -a1 -jm2 "; fi ;;
    cab) if [ "$mode" = all ]; then switches="-a -r -mz "; else switches="-a -mz "; fi ;;
  esac
  case "$target" in zip) dll="zip32j.dll"; export=Zip ;; 7zip) dll="7-zip32.dll"; export=SevenZip ;;
    *) read -r dll export <<<"$(dll_of "$target")" ;; esac
  [ "$mode" = list ] && pattern="\"@$(winpath "$list")\""
  printf '%s\t%s\t%s\t%s"%s" "%s\\" %s' "$(winpath "$DLLS/$dll")" "$export" "$(winpath "$folder")" \
    "$switches" "$(winpath "$archive")" "$(winpath "$folder")" "$pattern"
}

# run_batch BATCH RESULT: runs the calls of BATCH under Wine.
run_batch() {
  "$BUILD/wine-run.sh" "$CALL" "$(winpath "$1")" "$(winpath "$2")"
}

# host_extract TARGET ARCHIVE DIR: unpacks with a host reader that is not the
# one the DLLs use where there is one; code page 932 names become UTF-8, and
# UTF-8 names (tar32.dll 2.x writes them) stay.
host_extract() {
  local target="$1" archive="$2" dir="$3"
  mkdir -p "$dir"
  case "$target" in
    tar|tgz|tbz2) LC_ALL=C tar -xf "$archive" -C "$dir" && names_auto "$dir" ;;
    zip) zip_extract "$archive" "$dir" ;;
    7z|7zip) 7zz x -y -bd -o"$dir" "$archive" >/dev/null ;;
    lzh) (cd "$dir" && LC_ALL=C lhasa xq "$archive") && names_from_cp932 "$dir" ;;
    cab) cabextract -q -e CP932 -d "$dir" "$archive" ;;
  esac
}

# host_extract_utf8 TARGET ARCHIVE DIR: an archive whose names were written
# as UTF-8 (flagged in ZIP, the Unicode header of LZH): bsdtar for LZH,
# 7-Zip for the others.
host_extract_utf8() {
  mkdir -p "$3"
  case "$1" in
    lzh) bsdtar -x -f "$2" -C "$3" ;;
    *) 7zz x -y -bd -o"$3" "$2" >/dev/null ;;
  esac
}

# zip_extract ARCHIVE DIR: a ZIP's names as Windows archivers mean them: the
# UTF-8 flag, else the Unicode path extra field (0x7075, which unzip shows
# as "#U8868..." outside a UTF-8 locale), else code page 932.
zip_extract() {
  python3 -S -E - "$1" "$2" <<'PY'
import os, struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        name = info.filename
        if not info.flag_bits & 0x800:
            raw = name.encode("cp437")
            name = raw.decode("cp932")
            extra = info.extra
            while len(extra) >= 4:
                kind, size = struct.unpack("<HH", extra[:4])
                if kind == 0x7075 and size >= 5:
                    name = extra[9:4 + size].decode("utf-8")
                extra = extra[4 + size:]
        target = os.path.join(sys.argv[2], *[p for p in name.replace("\\", "/").split("/") if p])
        if name.endswith("/"):
            os.makedirs(target, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with z.open(info) as src, open(target, "wb") as out:
            out.write(src.read())
PY
}

# archive_file_order TARGET ARCHIVE: the file names in archive order.
archive_file_order() {
  local target="$1" archive="$2" opt=""
  case "$target" in
    tar|tgz|tbz2) ;;   # UTF-8 names
    zip) opt="--options zip:hdrcharset=CP932" ;;
    lzh) opt="--options lha:hdrcharset=CP932" ;;
    cab) opt="--options cab:hdrcharset=CP932" ;;
  esac
  bsdtar -tvf "$archive" $opt | grep -v '^d' | sed -E 's/^([^ ]+ +){8}//'
}

# expect_stored_names TARGET ARCHIVE: the Japanese folder name is stored as
# the archivers write it: code page 932 in ZIP, LZH and CAB, UTF-8 in the
# tar family (tar32.dll 2.x).
expect_stored_names() {
  local target="$1" archive="$2" bytes=$JP_DIR label="UTF-8"
  case "$target" in zip|lzh|cab) bytes="$(printf '%s' "$JP_DIR" | iconv -t CP932)"; label="code page 932" ;; esac
  case "$target" in
    tar|zip|lzh|cab) expect_true "$target: $label names in $2" env LC_ALL=C grep -qaF "$bytes" "$archive" ;;
    tgz) expect_true "$target: $label names in $2" bash -c 'gzip -dc "$1" | LC_ALL=C grep -qaF "$2"' - "$archive" "$bytes" ;;
    tbz2) expect_true "$target: $label names in $2" bash -c 'bzip2 -dc "$1" | LC_ALL=C grep -qaF "$2"' - "$archive" "$bytes" ;;
  esac
}

# install_veltrox BUILD PREFIX [inproc]: a fresh Wine prefix with Veltrox
# installed from the package's files with its INF as a user does, and the
# host-backed archiver DLLs where users install archiver DLLs (see
# install_archivers). Sets WINE, SERVER, WINEPREFIX, MARKER (the SendTo marker's
# host path) and DROPTOOL (the drop program).
#
# Where the build is 32-bit, the prefix is WoW64 like 64-bit Windows: the INF
# is installed by the 64-bit rundll32 and drops come from the 64-bit drop
# program, so they go Veltrox64.dll -> VeltroxHost.exe -> Veltrox.dll. With
# "inproc" the prefix is 32-bit only (WINEARCH=win32): the 32-bit drop program
# loads Veltrox.dll itself. A 64-bit build runs everything with the 64-bit
# loader (its prefix decides the same way).
# prefix_is_wow64: whether $WINEPREFIX is a WoW64 prefix (it has a syswow64
# folder), as on 64-bit Windows.
prefix_is_wow64() { [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; }

install_veltrox() {
  local build="$1" source setup arch=""
  source="$(grep -m1 '^export VELTROX_SOURCE_DIR=' "$build/wine-run.sh" | cut -d'"' -f2)"
  WINE="$(grep -m1 '^WINE_LOADER=' "$build/wine-run.sh" | cut -d'"' -f2)"
  SERVER="$(grep -m1 '^WINE_SERVER=' "$build/wine-run.sh" | cut -d'"' -f2)"
  WINE64="$(grep -m1 '^WINE_LOADER64=' "$build/wine-run.sh" | cut -d'"' -f2)"
  export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$SERVER" -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$WINEPREFIX.media"
  mkdir -p "$WINEPREFIX"
  "$source/scripts/package" --stage "$build" "$WINEPREFIX.media" || return 1
  [ "${3:-}" = inproc ] && build_is_32bit "$build" && arch=win32
  ${arch:+env WINEARCH=$arch} "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
  # Wine has no "ＭＳ Ｐゴシック": lay dialogs out with the proportional IPA font.
  for face in 'ＭＳ Ｐゴシック' 'MS PGothic'; do
    LC_ALL=ja_JP.UTF-8 wine_quiet reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null
  done
  # Unmanaged windows: without a window manager Wine otherwise waits about two
  # seconds for every window that closes.
  wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  "$SERVER" -w
  setup="$WINE"
  DROPTOOL="$build/bin/droptool.exe"
  if prefix_is_wow64; then
    setup="$WINE64"
    [ -f "$build/bin/droptool64.exe" ] && DROPTOOL="$build/bin/droptool64.exe"
  fi
  WINE="$setup" wine_quiet rundll32 setupapi.dll,InstallHinfSection DefaultInstall 132 \
    "$(winpath "$WINEPREFIX.media/Veltrox.inf")"
  "$SERVER" -w
  install_archivers "${VELTROX_ARCHIVERS:-$build/hostdlls}"
  MARKER="$(find "$WINEPREFIX/drive_c/users" -path '*/SendTo/*.Veltrox' | head -1)"
  [ -n "$MARKER" ]
}

# archiver_folder: the prefix's 32-bit system folder, where users install
# archiver DLLs: system32 in a 32-bit prefix, syswow64 in a WoW64 one.
archiver_folder() {
  if prefix_is_wow64 && build_is_32bit "$BUILD"; then
    echo "$WINEPREFIX/drive_c/windows/syswow64"
  else
    echo "$WINEPREFIX/drive_c/windows/system32"
  fi
}

# install_archivers DIR: the archiver DLLs of DIR (with hostarc.sh when
# there) into archiver_folder. install_veltrox takes them from
# $VELTROX_ARCHIVERS when set (scripts/test --archivers), else the build's
# host-backed DLLs.
install_archivers() {
  local to
  to="$(archiver_folder)"
  cp "$1"/*.dll "$to/" || return 1
  [ ! -f "$1/hostarc.sh" ] || cp "$1/hostarc.sh" "$to/"
}

# build_is_32bit BUILD: whether BUILD's Veltrox.dll is a 32-bit module.
build_is_32bit() {
  LC_ALL=C x86_64-w64-mingw32-objdump -f "$1/bin/Veltrox.dll" 2>/dev/null | grep -q 'pei-i386'
}

# wine_quiet PROGRAM ARGS...: runs a Windows program; its output goes to a
# file first (Wine's helper processes would keep a pipe open).
wine_quiet() {
  local out rc
  out="$(mktemp)"
  "$WINE" "$@" >"$out" 2>&1 </dev/null
  rc=$?
  cat "$out"
  rm -f "$out"
  return $rc
}

# drop_on_veltrox [playuser options...] -- FILES...: a SendTo drop of FILES
# (host paths) through the drop program, the conversion dialog answered by
# playuser. The windows met are printed.
drop_on_veltrox() {
  local options=() files=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  for f in "$@"; do files+=("$(winpath "$f")"); done
  # Options not given are switched off, whatever the last drop left in the
  # registry.
  wine_quiet "$BUILD/bin/playuser.exe" --sort off --sametime off --afterdel off --sfx off --use7zip off \
    "${options[@]}" -- \
    "$(winpath "$DROPTOOL")" "$(winpath "$MARKER")" "${files[@]}"
}

# start_drop_test BUILD NAME [inproc]: work folder, Veltrox installed into its
# own prefix (removed again on exit; see install_veltrox), the sample tree and
# its host archives in $WORK/tree and $WORK/src.
start_drop_test() {
  setup_real_archives "$1" "$2"
  # Wine's recycle bin is the XDG trash.
  export XDG_DATA_HOME="$WORK/xdg"
  install_veltrox "$BUILD" "$WORK/prefix" "${3:-}" || { echo "installation failed"; exit 1; }
  echo "drop program: ${DROPTOOL##*/}, prefix: $(prefix_is_wow64 && echo WoW64 || echo 32-bit)"
  trap '"$SERVER" -k 2>/dev/null' EXIT
  make_tree "$WORK/tree"
  make_host_archives "$WORK/tree" "$WORK/src"
}

# output_of DEST STEM: the converted archive of the source STEM in DEST.
output_of() { find "$1" -maxdepth 1 -type f -name "$2.*" | head -1; }

# set_option NAME VALUE: a numeric setting of the converter in the registry.
set_option() {
  wine_quiet reg add 'HKCU\Software\Kesta\Veltrox\option' /v "$1" /t REG_DWORD /d "$2" /f >/dev/null
}
