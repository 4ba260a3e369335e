#!/bin/sh
# docmark's check and write beside QPDF doing the same work on the same file,
# in one run: wall time and peak memory.
#   check: docmark_host check FILE    beside  qpdf --show-npages FILE
#   write: docmark_host write COPY    beside  qpdf FILE OUT (a full rewrite)
# The files have about 1,000 pages in object streams: 7 MB and 30 MB.
# Usage: docmark_vs_qpdf.sh path/to/build
set -e
build=${1:?usage: $0 path/to/build}
host="$build/bin/docmark_host"
here=$(dirname "$0")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }

# "seconds KB": the best of `runs` timed runs (each after `prepare`, untimed),
# and the peak resident memory of one more.
measure() {
  best=""
  run=0
  while [ $run -lt "$runs" ]; do
    eval "$prepare"
    start=$(now)
    "$@" >/dev/null 2>&1 || true
    took=$(( $(now) - start ))
    if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    run=$((run + 1))
  done
  eval "$prepare"
  /usr/bin/time -f "%M" -o "$work/memory" "$@" >/dev/null 2>&1 || true
  echo "$(awk "BEGIN { print $best / 1e9 }") $(tail -1 "$work/memory")"
}

row() {  # name, docmark "s KB", qpdf "s KB", time target
  awk -v name="$1" -v d="$2" -v q="$3" -v target="$4" 'BEGIN {
    split(d, a, " "); split(q, b, " ");
    printf "%-24s %7.3f s %5.0f MB  %7.3f s %5.0f MB  time %4.2fx (target %s)  memory %4.2fx\n",
      name, a[1], a[2] / 1024, b[1], b[2] / 1024, a[1] / b[1], target, a[2] / b[2] }'
}

printf '%-24s %18s  %18s\n' "" "docmark" "qpdf"
for kilobytes in 10 50; do
  python3 "$here/make_pdf.py" "$work/raw.pdf" 1000 $kilobytes
  qpdf --object-streams=generate "$work/raw.pdf" "$work/in.pdf"
  rm "$work/raw.pdf"
  label="1000 pages, $(du -m "$work/in.pdf" | cut -f1) MB"

  runs=20 prepare=":"
  row "check, $label" "$(measure "$host" check "$work/in.pdf")" \
    "$(measure qpdf --show-npages "$work/in.pdf")" "1.5"
  runs=3 prepare='cp "$work/in.pdf" "$work/copy.pdf"'
  docmark=$(measure "$host" write "$work/copy.pdf")
  prepare=":"
  row "write, $label" "$docmark" "$(measure qpdf "$work/in.pdf" "$work/out.pdf")" "2.3"
done
echo "(write memory target: at most 1.2x QPDF's peak)"
