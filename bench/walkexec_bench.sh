#!/bin/sh
# Times walkexec against find over the same tree of 5,000 files in 100
# directories, in one run: a command that needs no shell (walkexec starts it
# directly, find with -exec) and a shell builtin (walkexec through /bin/sh -c,
# find with -exec sh -c). Prints both ratios.
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
since() { awk "BEGIN { print $(now) - $1 }"; }

compare() {  # title, target, walkexec command, find's -exec words...
  title=$1 target=$2 command=$3
  shift 3
  start=$(now)
  "$walkexec" -c "$command" "$tree" 2>/dev/null
  walkexec_time=$(since "$start")
  start=$(now)
  find "$tree" -type f -exec "$@" \;
  find_time=$(since "$start")
  printf '%s\n  walkexec -c "%s": %.2f s\n  find -exec %s: %.2f s\n  ratio: %.3f (target: at most %s)\n' \
    "$title" "$command" "$walkexec_time" "$*" "$find_time" \
    "$(awk "BEGIN { print $walkexec_time / $find_time }")" "$target"
}

compare "A command that needs no shell" 0.95 "/bin/true @path" /bin/true {}
compare "A shell builtin" 1.05 "true @path" sh -c 'true "$1"' _ {}
