#!/bin/bash
# Conversion time of Veltrox against other converters, on the same machine in
# one run, with the same inputs:
#   many:  ARCHIVES TAR-GZ archives (FILES files, MEGABYTES MB in all) to ZIP
#   large: one TAR-GZ archive of the same files to ZIP
# Contenders:
#   plain    tar -xzf then zip -qr at the same level, no renaming: the true
#            floor of extract-then-repack on this machine
#   hostarc  the host-backed DLLs' host side (hostarc.sh extract + create)
#   veltrox  a SendTo drop through the drop program on Veltrox installed in a
#            fresh Wine prefix, host-backed archiver DLLs, dialog answered
#   verify   the same with the sources sent to the Recycle Bin afterwards:
#            every new archive is read back and compared before its source
#            goes (copies of the inputs are dropped)
#   arepack  atool's arepack
#   bsdtar   bsdtar streaming conversion (no work folder; the other design)
# Each runs RUNS times (default 3); medians are printed in seconds and as a
# ratio to the plain floor. For Veltrox the median drop is broken down from
# timestamps (playuser's, and the host-backed DLLs' with HOSTARC_TIMES):
# Wine process starts and the dialog, time inside archiver calls (of which
# the host tools themselves), and the converter's own time outside them.
#
#   bench/compare/run.sh [BUILD]   (BUILD default: build/<runnable arch>;
#   environment: ARCHIVES=20 FILES=2000 MEGABYTES=50 RUNS=3)
set -u
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
. "$ROOT/scripts/lib.sh"
BUILD="${1:-${BUILD_ROOT:-$ROOT/build}/$(runnable_arch)}"
ARCHIVES="${ARCHIVES:-20}" FILES="${FILES:-2000}" MEGABYTES="${MEGABYTES:-50}" RUNS="${RUNS:-3}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$BUILD"
fi
. "$ROOT/tests/support/real_archives.sh"
setup_real_archives "$BUILD" bench-compare
export XDG_DATA_HOME="$WORK/xdg"
install_veltrox "$BUILD" "$WORK/prefix" || { echo "bench: installation failed"; exit 1; }
trap '"$SERVER" -k 2>/dev/null || true' EXIT
# The user's session: on Windows the shell and its desktop are there before
# anything is sent to a SendTo target. Under Wine the wineserver and the
# desktop process end soon after their last program, and restarting them
# costs about a second per drop, so both are kept for the whole run.
"$SERVER" -p
"$WINE" "$BUILD/bin/session.exe" >/dev/null 2>&1 </dev/null &
# Xvfb has no window manager, and Wine waits 2 s for every closed managed
# window to be withdrawn (the conversion dialog included); Windows does not.
# Unmanaged windows are unmapped at once.
wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
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
declare -A seconds began
measure() {  # name set run command...
  local name="$1" set="$2" run="$3" start end
  shift 3
  start="$(now)"
  "$@" >/dev/null 2>&1
  end="$(now)"
  seconds["$name.$set.$run"]="$(echo "$end - $start" | bc)"
  began["$name.$set.$run"]="$start"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

plain() {  # set
  local a stem
  rm -rf "$WORK/out/plain-$1" && mkdir -p "$WORK/out/plain-$1"
  for a in "$WORK/in/$1"/*.tgz; do
    stem="${a##*/}"; stem="${stem%.tgz}"
    mkdir -p "$WORK/tmp/$stem" && tar -xzf "$a" -C "$WORK/tmp/$stem" &&
    (cd "$WORK/tmp/$stem" && zip -qr -6 "$WORK/out/plain-$1/$stem.zip" .) &&
    rm -rf "$WORK/tmp/$stem"
  done
}

hostarc() {  # set
  local a stem
  rm -rf "$WORK/out/hostarc-$1" && mkdir -p "$WORK/out/hostarc-$1"
  for a in "$WORK/in/$1"/*.tgz; do
    stem="${a##*/}"; stem="${stem%.tgz}"
    sh "$HOSTARC" extract tar "$a" "$WORK/tmp/$stem" &&
    sh "$HOSTARC" create zip "$WORK/out/hostarc-$1/$stem.zip" "$WORK/tmp/$stem" "" 6 &&
    rm -rf "$WORK/tmp/$stem"
  done
}

veltrox() {  # set run
  rm -rf "$WORK/out/veltrox-$1" && mkdir -p "$WORK/out/veltrox-$1"
  : >"$WORK/times-$1-$2.log"
  HOSTARC_TIMES="$WORK/times-$1-$2.log" \
    drop_on_veltrox --dest "$(winpath "$WORK/out/veltrox-$1")" --format zip -- "$WORK/in/$1"/*.tgz \
    >"$WORK/veltrox-$1-$2.log"
}

verify() {  # set run: the inputs were copied to $WORK/in-verify/<set> beforehand
  rm -rf "$WORK/out/verify-$1" && mkdir -p "$WORK/out/verify-$1"
  : >"$WORK/verify-times-$1-$2.log"
  HOSTARC_TIMES="$WORK/verify-times-$1-$2.log" drop_on_veltrox --dest "$(winpath "$WORK/out/verify-$1")" --format zip --afterdel on -- \
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

# The parts of one Veltrox drop (set run): starts+dialog, inside archiver
# calls, of which host tools, converter's own time; then starts+dialog split
# into playuser's start (Wine start of the first program) and the drop up to
# the dialog's answer (drop program, its hand-over to VeltroxHost.exe,
# Veltrox.dll, the dialog appearing and being noticed), the rest being the
# ends of the processes.
veltrox_parts() {
  local total="${seconds[veltrox.$1.$2]}" began="${began[veltrox.$1.$2]}" times
  times="$(grep '^times:' "$WORK/veltrox-$1-$2.log" | tail -1)"
  awk -v total="$total" -v began="$began" -v times="$times" '
    $1 == "dll" { dll += $3 - $2 } $1 == "host" { host += $3 - $2 }
    END {
      split(times, t, " ")  # times: started S answered A ended E
      conversion = t[7] - t[5]
      printf "%.3f %.3f %.3f %.3f %.3f %.3f\n", total - conversion, dll, host, conversion - dll,
        t[3] - began, t[5] - t[3]
    }' "$WORK/times-$1-$2.log"
}

contenders=(plain hostarc veltrox verify arepack bsdtar)
mkdir -p "$WORK/tmp"
# Warm the caches and the wineserver once.
plain large
for run in $(seq 1 "$RUNS"); do
  for set in many large; do
    measure plain "$set" "$run" plain "$set"
    measure hostarc "$set" "$run" hostarc "$set"
    measure veltrox "$set" "$run" veltrox "$set" "$run"
    rm -rf "$WORK/in-verify/$set" && mkdir -p "$WORK/in-verify" && cp -a "$WORK/in/$set" "$WORK/in-verify/$set"
    measure verify "$set" "$run" verify "$set" "$run"
    measure arepack "$set" "$run" arepack_all "$set"
    measure bsdtar "$set" "$run" bsdtar_all "$set"
  done
done

# The listing's own cost in one drop (times file, drop seconds): the time
# between the listing exports' open and close, less the host extraction the
# host-backed DLLs do there (which the following extraction then takes over
# instead of reading the archive again), plus that take-over.
listing_share() {
  awk -v total="$2" '
    $1 == "listing" { t += $3 - $2 } $1 == "staged" { t -= $3 - $2 } $1 == "take" { t += $3 - $2 }
    END { printf "%.4f\n", 100 * t / total }' "$1"
}

# Every contender must have produced every archive.
for set in many large; do
  n="$(ls "$WORK/in/$set" | wc -l)"
  for c in "${contenders[@]}"; do
    got="$(ls "$WORK/out/$c-$set" 2>/dev/null | wc -l)"
    [ "$got" = "$n" ] || echo "warning: $c produced $got of $n archives for $set"
  done
done

declare -A med
for set in many large; do
  for c in "${contenders[@]}"; do
    values=()
    for run in $(seq 1 "$RUNS"); do values+=("${seconds[$c.$set.$run]}"); done
    med["$c.$set"]="$(median "${values[@]}")"
  done
done
printf '\nmedians of %s runs\n%-8s %10s %8s %10s %8s\n' "$RUNS" contender "many (s)" ratio "large (s)" ratio
for c in "${contenders[@]}"; do
  printf '%-8s %10.2f %8.2f %10.2f %8.2f\n' "$c" \
    "${med[$c.many]}" "$(echo "${med[$c.many]} / ${med[plain.many]}" | bc -l)" \
    "${med[$c.large]}" "$(echo "${med[$c.large]} / ${med[plain.large]}" | bc -l)"
done
printf '%-8s %10s %8.2f %10s %8.2f\n' "hostarc/plain" "" \
  "$(echo "${med[hostarc.many]} / ${med[plain.many]}" | bc -l)" "" \
  "$(echo "${med[hostarc.large]} / ${med[plain.large]}" | bc -l)"

printf '\nveltrox breakdown (medians, s)\n%-6s %14s %12s %12s %12s %10s %10s %10s\n' \
  set "starts+dialog" "archivers" "host tools" "own" "own/arch" "1st start" "to answer"
for set in many large; do
  declare -a p0=() p1=() p2=() p3=() p4=() p5=()
  for run in $(seq 1 "$RUNS"); do
    read -r a b c d e f <<<"$(veltrox_parts "$set" "$run")"
    p0+=("$a"); p1+=("$b"); p2+=("$c"); p3+=("$d"); p4+=("$e"); p5+=("$f")
  done
  m1="$(median "${p1[@]}")" m3="$(median "${p3[@]}")"
  printf '%-6s %14.2f %12.2f %12.2f %12.2f %9.1f%% %10.2f %10.2f\n' "$set" "$(median "${p0[@]}")" "$m1" \
    "$(median "${p2[@]}")" "$m3" "$(echo "100 * $m3 / $m1" | bc -l)" "$(median "${p4[@]}")" \
    "$(median "${p5[@]}")"
done
# Cost of verification: the same drop with and without the Recycle Bin step.
for set in many large; do
  left="$(ls "$WORK/in-verify/$set" 2>/dev/null | wc -l)"
  printf 'verification %s: %.2f x the drop without it (%s sources left, expected 0)\n' "$set" \
    "$(echo "${med[verify.$set]} / ${med[veltrox.$set]}" | bc -l)" "$left"
done
# Cost of the source listing before extraction, as a share of the drop
# (medians), with the Recycle Bin step off (veltrox) and on (verify).
for set in many large; do
  declare -a off=() on=()
  for run in $(seq 1 "$RUNS"); do
    off+=("$(listing_share "$WORK/times-$set-$run.log" "${seconds[veltrox.$set.$run]}")")
    on+=("$(listing_share "$WORK/verify-times-$set-$run.log" "${seconds[verify.$set.$run]}")")
  done
  printf 'listing %s: %.2f%% of the drop without the Recycle Bin step, %.2f%% with it\n' "$set" \
    "$(median "${off[@]}")" "$(median "${on[@]}")"
done
