#!/bin/sh
# Times walkexec against find over the same tree of 5,000 files in 100
# directories, both starting one shell per file, and prints the ratio.
# Usage: walkexec_bench.sh path/to/walkexec
set -e
walkexec=${1:?usage: $0 path/to/walkexec}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/T"
d=0
while [ $d -lt 100 ]; do
  mkdir -p "$tree/d$d"
  (cd "$tree/d$d" && f=0 && while [ $f -lt 50 ]; do : > "f$f.txt"; f=$((f + 1)); done)
  d=$((d + 1))
done

now() { date +%s.%N; }

start=$(now)
"$walkexec" -c "true @path" "$tree" 2>/dev/null
walkexec_time=$(awk "BEGIN { print $(now) - $start }")

start=$(now)
find "$tree" -type f -exec sh -c 'true "$1"' _ {} \;
find_time=$(awk "BEGIN { print $(now) - $start }")

printf 'walkexec: %.2f s\nfind:     %.2f s\nratio:    %.3f (target: at most 1.05)\n' \
  "$walkexec_time" "$find_time" "$(awk "BEGIN { print $walkexec_time / $find_time }")"
