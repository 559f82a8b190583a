#!/bin/bash
# Conversion time of Veltrox against other converters, on the same machine in
# one run, with the same inputs:
#   many:  ARCHIVES TAR-GZ archives (FILES files, MEGABYTES MB in all) to ZIP
#   large: one TAR-GZ archive of the same files to ZIP
# Contenders:
#   floor    the archivers alone, extract then compress with the same host
#            tools and commands the host-backed DLLs use (hostarc.sh): the
#            floor of any extract-then-repack design
#   veltrox  a SendTo drop through the drop program on Veltrox installed in a
#            fresh Wine prefix, host-backed archiver DLLs, dialog answered
#   verify   the same with the sources sent to the Recycle Bin afterwards:
#            every new archive is read back and compared before its source
#            goes (copies of the inputs are dropped)
#   arepack  atool's arepack
#   bsdtar   bsdtar streaming conversion (no work folder; the other design)
# Each is printed in seconds and as a ratio to the floor.
#
#   bench/compare/run.sh [BUILD]   (BUILD default: build/<runnable arch>;
#   environment: ARCHIVES=20 FILES=2000 MEGABYTES=50)
set -u
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
. "$ROOT/scripts/lib.sh"
BUILD="${1:-${BUILD_ROOT:-$ROOT/build}/$(runnable_arch)}"
ARCHIVES="${ARCHIVES:-20}" FILES="${FILES:-2000}" MEGABYTES="${MEGABYTES:-50}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$BUILD"
fi
. "$ROOT/tests/support/real_archives.sh"
setup_real_archives "$BUILD" bench-compare
export XDG_DATA_HOME="$WORK/xdg"
install_veltrox "$BUILD" "$WORK/prefix" || { echo "bench: installation failed"; exit 1; }
trap '"$SERVER" -k 2>/dev/null || true' EXIT
HOSTARC="$BUILD/hostdlls/hostarc.sh"

# Inputs: half the bytes text-like (compressible), half random.
echo "== inputs: $ARCHIVES archives, $FILES files, $MEGABYTES MB"
per_archive=$((FILES / ARCHIVES))
file_size=$((MEGABYTES * 1024 * 1024 / FILES))
mkdir -p "$WORK/in/many" "$WORK/in/large" "$WORK/data"
base64 -w 100 </dev/urandom | head -c "$((file_size * 4))" >"$WORK/text.seed"
for a in $(seq -w 1 "$ARCHIVES"); do
  d="$WORK/data/set$a"
  mkdir -p "$d/docs" "$d/bin/深い"
  for f in $(seq 1 "$per_archive"); do
    if [ $((f % 2)) = 0 ]; then
      head -c "$file_size" /dev/urandom >"$d/bin/深い/f$f.bin"
    else
      tail -c +"$((f * 7 % file_size + 1))" "$WORK/text.seed" | head -c "$file_size" >"$d/docs/ファイル$f.txt"
    fi
  done
  (cd "$d" && tar -czf "$WORK/in/many/set$a.tgz" .)
done
(cd "$WORK/data" && tar -czf "$WORK/in/large/large.tgz" .)

now() { date +%s.%N; }
declare -A seconds
measure() {  # name set command...
  local name="$1" set="$2" start end
  shift 2
  start="$(now)"
  "$@" >/dev/null 2>&1
  end="$(now)"
  seconds["$name.$set"]="$(echo "$end - $start" | bc)"
}

floor() {  # set
  local a stem
  rm -rf "$WORK/out/floor-$1" && mkdir -p "$WORK/out/floor-$1"
  for a in "$WORK/in/$1"/*.tgz; do
    stem="${a##*/}"; stem="${stem%.tgz}"
    sh "$HOSTARC" extract tar "$a" "$WORK/tmp/$stem" &&
    sh "$HOSTARC" create zip "$WORK/out/floor-$1/$stem.zip" "$WORK/tmp/$stem" "" 6 &&
    rm -rf "$WORK/tmp/$stem"
  done
}

veltrox() {  # set
  rm -rf "$WORK/out/veltrox-$1" && mkdir -p "$WORK/out/veltrox-$1"
  drop_on_veltrox --dest "$(winpath "$WORK/out/veltrox-$1")" --format zip -- "$WORK/in/$1"/*.tgz >"$WORK/veltrox-$1.log"
}

verify() {  # set: the inputs were copied to $WORK/in-verify/<set> beforehand
  rm -rf "$WORK/out/verify-$1" && mkdir -p "$WORK/out/verify-$1"
  drop_on_veltrox --dest "$(winpath "$WORK/out/verify-$1")" --format zip --afterdel on -- \
    "$WORK/in-verify/$1"/*.tgz >"$WORK/verify-$1.log"
}

arepack_all() {  # set
  local a stem
  rm -rf "$WORK/out/arepack-$1" && mkdir -p "$WORK/out/arepack-$1"
  for a in "$WORK/in/$1"/*.tgz; do
    stem="${a##*/}"; stem="${stem%.tgz}"
    arepack -q -f "$a" "$WORK/out/arepack-$1/$stem.zip" </dev/null
  done
}

bsdtar_all() {  # set
  local a stem
  rm -rf "$WORK/out/bsdtar-$1" && mkdir -p "$WORK/out/bsdtar-$1"
  for a in "$WORK/in/$1"/*.tgz; do
    stem="${a##*/}"; stem="${stem%.tgz}"
    bsdtar -c --format zip -f "$WORK/out/bsdtar-$1/$stem.zip" "@$a"
  done
}

mkdir -p "$WORK/tmp"
# Warm the caches and the wineserver once.
floor large
for set in many large; do
  measure floor "$set" floor "$set"
  measure veltrox "$set" veltrox "$set"
  rm -rf "$WORK/in-verify/$set" && mkdir -p "$WORK/in-verify" && cp -a "$WORK/in/$set" "$WORK/in-verify/$set"
  measure verify "$set" verify "$set"
  measure arepack "$set" arepack_all "$set"
  measure bsdtar "$set" bsdtar_all "$set"
done

# Every contender must have produced every archive.
for set in many large; do
  n="$(ls "$WORK/in/$set" | wc -l)"
  for c in floor veltrox verify arepack bsdtar; do
    got="$(ls "$WORK/out/$c-$set" 2>/dev/null | wc -l)"
    [ "$got" = "$n" ] || echo "warning: $c produced $got of $n archives for $set"
  done
done

printf '\n%-8s %10s %8s %10s %8s\n' contender "many (s)" ratio "large (s)" ratio
for c in floor veltrox verify arepack bsdtar; do
  printf '%-8s %10.2f %8.2f %10.2f %8.2f\n' "$c" \
    "${seconds[$c.many]}" "$(echo "${seconds[$c.many]} / ${seconds[floor.many]}" | bc -l)" \
    "${seconds[$c.large]}" "$(echo "${seconds[$c.large]} / ${seconds[floor.large]}" | bc -l)"
done
grep -h 'ended' "$WORK"/veltrox-*.log | sed 's/^/veltrox: /'
# Cost of verification: the same drop with and without the Recycle Bin step.
for set in many large; do
  left="$(ls "$WORK/in-verify/$set" 2>/dev/null | wc -l)"
  printf 'verification %s: %.2f x the drop without it (%s sources left, expected 0)\n' "$set" \
    "$(echo "${seconds[verify.$set]} / ${seconds[veltrox.$set]}" | bc -l)" "$left"
done
