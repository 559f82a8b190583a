#!/bin/bash
# The source folders are layers: a file includes only its own layer and those
# below it. base/ is the ground; archivers/ and ui/ stand on it side by side
# (neither includes the other); engine/ on both; shell/ on top. Product code
# never includes tools/, tests/ or bench/ (they may include anything).
# Args: build folder (unused), source folder.
set -u
cd "${2:-$(dirname "$0")/..}" || exit 1
grep -rn --include='*.h' --include='*.cpp' --include='*.rc' '#[[:space:]]*include[[:space:]]*"' \
     base archivers ui engine shell 2>/dev/null |
awk '
BEGIN {
    below["base"] = "base"
    below["archivers"] = "base archivers"
    below["ui"] = "base ui"
    below["engine"] = "base archivers ui engine"
    below["shell"] = "base archivers ui engine shell"
}
# Includes without a folder ("resource.h") name a file beside the includer.
match($0, /#[ \t]*include[ \t]*"[^"\/]+\//) {
    split($0, where, ":")
    split(where[1], parts, "/")
    target = substr($0, RSTART, RLENGTH)
    sub(/.*"/, "", target)
    sub(/\/$/, "", target)
    ++checked
    if (index(" " below[parts[1]] " ", " " target " ") == 0) {
        print "FAIL: " where[1] ":" where[2] " (" parts[1] "/) includes " target "/"
        failed = 1
    }
}
END {
    if (checked == 0) { print "FAIL: no includes found"; exit 1 }
    exit failed
}'
