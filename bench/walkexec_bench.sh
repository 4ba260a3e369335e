#!/bin/sh
# Times walkexec against find, fd and xargs over the same tree of 5,000
# files in 100 directories, in one run, and prints each ratio beside its
# target:
#  - one command at a time: a command that needs no shell (walkexec starts
#    it directly, find with -exec) and a shell builtin (walkexec through
#    /bin/sh -c, find with -exec sh -c);
#  - two at a time: /bin/true against fd -x (fd-find; Debian calls it fdfind)
#    and find -print0 | xargs -0 -P2 -n1, and a command that prints a line
#    against fd -x, whose output is grouped as walkexec's is;
#  - a command that works the CPU (docmark_host write, beside walkexec, on
#    generated PDFs): the throughput of -j 2 against -j 1;
#  - a resumed run (-r) over 100,000 files whose job log records the first
#    half in walk order as done: the time from its launch to its first new
#    command;
#  - walkexec's own peak memory with -j 2 over 200,000 files.
# Usage: walkexec_bench.sh path/to/walkexec
set -e
walkexec=${1:?usage: $0 path/to/walkexec}
here=$(dirname "$0")
host=$(dirname "$walkexec")/docmark_host

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tree DIR DIRECTORIES FILES: DIRECTORIES folders of FILES empty files.
tree() {
  d=0
  while [ $d -lt "$2" ]; do
    mkdir -p "$1/d$d"
    (cd "$1/d$d" && touch $(seq -f "f%g.txt" 0 $(($3 - 1))))
    d=$((d + 1))
  done
}
tree "$work/T" 100 50

now() { date +%s.%N; }
since() { awk "BEGIN { print $(now) - $1 }"; }

# seconds COMMAND...: the wall time of one run, output to a file. What the
# command answers is no concern here (fd -X gives a check's "not tagged").
seconds() {
  start=$(now)
  "$@" >"$work/out" 2>/dev/null || true
  since "$start"
}

row() {  # title, walkexec's time, the other's name and time, target
  printf '%-44s walkexec %6.2f s  %-8s %6.2f s  ratio %5.3f (target: at most %s)\n' \
    "$1" "$2" "$3" "$4" "$(awk "BEGIN { print $2 / $4 }")" "$5"
}

fd=$(command -v fdfind || command -v fd || true)

echo "One command at a time, 5,000 files:"
row "/bin/true @path" "$(seconds "$walkexec" -c "/bin/true @path" "$work/T")" \
  "find" "$(seconds find "$work/T" -type f -exec /bin/true {} \;)" 0.95
row "true @path (a shell builtin)" "$(seconds "$walkexec" -c "true @path" "$work/T")" \
  "find" "$(seconds find "$work/T" -type f -exec sh -c 'true "$1"' _ {} \;)" 1.05

# keep NAME COMMAND...: runs the command once and keeps in NAME the best
# time so far. Rounds that take each command in turn are fair to a machine
# whose load changes, as a shared one's does.
keep() {
  name=$1
  shift
  took=$(seconds "$@")
  eval "previous=\${$name:-}"
  if [ -z "$previous" ] || awk "BEGIN { exit !($took < $previous) }"; then eval "$name=$took"; fi
}

echo "Two at a time (-j 2), 5,000 files, the best of three rounds:"
round=0
while [ $round -lt 3 ]; do
  keep we_true "$walkexec" -j 2 -c "/bin/true @path" "$work/T"
  keep xargs_true sh -c "find '$work/T' -type f -print0 | xargs -0 -P2 -n1 /bin/true"
  if [ -n "$fd" ]; then
    keep fd_true "$fd" -u -t f -j 2 . "$work/T" -x /bin/true
    keep we_echo "$walkexec" -j 2 -c "/bin/echo @path" "$work/T"
    keep fd_echo "$fd" -u -t f -j 2 . "$work/T" -x echo
  fi
  round=$((round + 1))
done
if [ -n "$fd" ]; then
  row "/bin/true @path" "$we_true" "fd -x" "$fd_true" 0.9
else
  echo "(fd-find is not installed: scripts/install-deps.sh)"
fi
row "/bin/true @path" "$we_true" "xargs" "$xargs_true" 0.9
if [ -n "$fd" ]; then
  row "/bin/echo @path, output grouped" "$we_echo" "fd -x" "$fd_echo" 1.0
fi

if [ -x "$host" ]; then
  # In memory where there is a tmpfs, so that the writes' flushes to disk
  # do not stand in for the CPU.
  pdfs=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d -p "$work")
  python3 "$here/make_pdf.py" "$work/raw.pdf" 300 10
  qpdf --object-streams=generate "$work/raw.pdf" "$work/in.pdf"
  copies() { i=0; while [ $i -lt 12 ]; do cp "$work/in.pdf" "$pdfs/$i.pdf"; i=$((i + 1)); done; }
  round=0
  while [ $round -lt 3 ]; do
    copies
    keep one "$walkexec" -c "$host write @path" "$pdfs"
    copies
    keep two "$walkexec" -j 2 -c "$host write @path" "$pdfs"
    round=$((round + 1))
  done
  rm -rf "$pdfs"
  printf '%-44s -j 1 %6.2f s  -j 2 %6.2f s  throughput %4.2fx (target: at least 1.8)\n' \
    "docmark_host write, 12 PDFs of $(du -m "$work/in.pdf" | cut -f1) MB" "$one" "$two" \
    "$(awk "BEGIN { print $one / $two }")"
else
  echo "(no docmark_host beside walkexec: the CPU-bound row is left out)"
fi

if [ -x "$host" ]; then
  # 1,000 files in 10 folders: the five samples, 20 copies each a folder.
  d=0
  while [ $d -lt 10 ]; do
    mkdir -p "$work/P/d$d"
    c=0
    while [ $c -lt 20 ]; do
      for sample in "$here"/../samples/pdf/*.pdf; do cp "$sample" "$work/P/d$d/c$c-${sample##*/}"; done
      c=$((c + 1))
    done
    d=$((d + 1))
  done
  echo "docmark_host check over 1,000 real PDFs, the best of three rounds:"
  round=0
  while [ $round -lt 3 ]; do
    keep batch "$walkexec" -c "$host check @paths" "$work/P"
    keep each "$walkexec" -c "$host check @path" "$work/P"
    if [ -n "$fd" ]; then keep fd_batch "$fd" -u -t f -e pdf . "$work/P" -X "$host" check; fi
    round=$((round + 1))
  done
  printf '%-44s walkexec %6.2f s  per file %6.2f s  ratio %5.3f (target: at most 0.1)\n' \
    "check @paths" "$batch" "$each" "$(awk "BEGIN { print $batch / $each }")"
  if [ -n "$fd" ]; then row "check @paths" "$batch" "fd -X" "$fd_batch" 1.2; fi
  rm -rf "$work/P"
fi

# 2,000 files in 20 folders, each matched by one of 5,000 patterns.
d=0
while [ $d -lt 20 ]; do
  mkdir -p "$work/M/d$d"
  (cd "$work/M/d$d" && touch $(seq -f "f%g.txt" $((d * 100)) $((d * 100 + 99))))
  d=$((d + 1))
done
patterns=$(seq -f "f%g.txt" 0 4999 | paste -sd, -)
names=$(seq -f "f%g.txt" 0 4999 | awk 'NR > 1 { printf " -o" } { printf " -name %s", $0 }')
echo "5,000 patterns over 2,000 files:"
# shellcheck disable=SC2086
row "-p with 5,000 patterns, /bin/true @path" \
  "$(seconds "$walkexec" -p "$patterns" -c "/bin/true @path" "$work/M")" \
  "find" "$(seconds find "$work/M" -type f \( $names \) -exec /bin/true {} \;)" 0.5
rm -rf "$work/M"

# The walk's order is readdir's, as find's is.
tree "$work/R" 1000 100
find "$work/R" -type f | head -n 50000 | sed 's/^/0,/; s/$/\r/' | iconv -f UTF-8 -t UTF-16LE \
  >"$work/job.log"
printf '#!/bin/sh\n[ -e "%s" ] || date +%%s.%%N >"%s"\n' "$work/started" "$work/started" \
  >"$work/first"
chmod 755 "$work/first"
start=$(now)
"$walkexec" -j 2 -r -l "$work/job.log" -c "$work/first @path" "$work/R" >/dev/null 2>&1 &
resumed=$!
while [ ! -s "$work/started" ]; do sleep 0.01; done
{
  kill $resumed
  wait $resumed
} 2>/dev/null || true
printf '%-44s %6.2f s (target: at most 1)\n' "Resumed, 100,000 files, half done: 1st start" \
  "$(awk "BEGIN { print $(cat "$work/started") - $start }")"
rm -rf "$work/R"

rm -rf "$work/T"
tree "$work/T" 2000 100
/usr/bin/time -f "%M" -o "$work/memory" "$walkexec" -j 2 -c "/bin/true @path" "$work/T" 2>/dev/null
printf '%-44s %6.1f MB (target: at most 8)\n' "Peak memory, -j 2 over 200,000 files" \
  "$(awk "BEGIN { print $(tail -1 "$work/memory") / 1024 }")"
