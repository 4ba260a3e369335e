#!/bin/sh
# The whole write of a large file, timed through one C host that loads
# docmark at run time (docmark_write_time): a first tag and a re-tag of a
# 1,321-page file of about 10 MB in object streams, with this build's library
# and with each other build given (an earlier commit's, built the same way),
# in rounds that take the builds in turn, beside cp + sync of the same file.
# Each figure is the median of all its writes.
# Usage: docmark_write_bench.sh path/to/build [path/to/other/build...]
set -e
build=${1:?usage: $0 path/to/build [path/to/other/build...]}
timer="$build/bin/docmark_write_time"
here=$(dirname "$0")
rounds=${ROUNDS:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/make_pdf.py" "$work/raw.pdf" 1321 12
qpdf --object-streams=generate "$work/raw.pdf" "$work/first.pdf"
rm "$work/raw.pdf"
# The file to re-tag, tagged once by this build.
cp "$work/first.pdf" "$work/tagged.pdf"
LD_LIBRARY_PATH="$build/lib" "$timer" "$build/lib/libdocmark.so" "$work/tagged.pdf" 1 >/dev/null
echo "A file of 1,321 pages in object streams, $(du -m "$work/first.pdf" | cut -f1) MB:"

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

n=0
for b in "$@"; do
  n=$((n + 1))
  : >"$work/retag.$n"
  : >"$work/first.$n"
done
: >"$work/cp"
round=0
while [ $round -lt "$rounds" ]; do
  round=$((round + 1))
  n=0
  for b in "$@"; do
    n=$((n + 1))
    cp "$work/tagged.pdf" "$work/write.pdf"
    LD_LIBRARY_PATH="$b/lib" "$timer" "$b/lib/libdocmark.so" "$work/write.pdf" 5 >>"$work/retag.$n"
    LD_LIBRARY_PATH="$b/lib" "$timer" "$b/lib/libdocmark.so" "$work/write.pdf" 3 \
      "$work/first.pdf" >>"$work/first.$n"
  done
  for i in 1 2 3; do
    start=$(date +%s%N)
    cp "$work/tagged.pdf" "$work/copy.pdf"
    sync "$work/copy.pdf"
    awk "BEGIN { print ($(date +%s%N) - $start) / 1e9 }" >>"$work/cp"
  done
done

copy=$(median "$work/cp")
echo "  cp + sync: $copy s"
n=0
for b in "$@"; do
  n=$((n + 1))
  retag=$(median "$work/retag.$n")
  first=$(median "$work/first.$n")
  [ $n -eq 1 ] && { base_retag=$retag; base_first=$first; }
  echo "  $b: re-tag $retag s ($(awk "BEGIN { printf \"%.2fx\", $retag / $base_retag }") of the first build's, $(awk "BEGIN { printf \"%.2fx\", $retag / $copy }") cp + sync), first tag $first s ($(awk "BEGIN { printf \"%.2fx\", $first / $base_first }"))"
done
