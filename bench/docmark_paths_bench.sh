#!/bin/sh
# How a first tag saves each file of a corpus of real PDFs and of the
# layouts real files take (real_pdfs.sh): by a copy in which nothing moves,
# by a compacting copy (one new revision), or by the rewrite, and why; for
# this build and each other build given, in one run.
# Usage: docmark_paths_bench.sh path/to/build [path/to/other/build...]
set -e
build=${1:?usage: $0 path/to/build [path/to/other/build...]}
here=$(cd "$(dirname "$0")" && pwd)
corpus=$("$here/real_pdfs.sh")
tool="$build/bin/copy_paths"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Why the rewrite: what QPDF makes of the file.
why() {
  if ! qpdf --check "$1" >/dev/null 2>&1; then echo "opens only with repair"
  elif qpdf --check-linearization "$1" 2>/dev/null | grep -q "no linearization errors"; then
    echo "linearized, the packet grows"
  elif qpdf --show-encryption "$1" 2>/dev/null | grep -q "stream encryption method: RC4" &&
    qpdf --show-encryption "$1" 2>/dev/null | grep -q "^V = 4"; then echo "RC4 under version 4"
  else echo "a layout the plan refuses"; fi
}

echo "First tags of $(ls "$corpus/layouts" | wc -l) files ($(du -sm "$corpus/layouts" | cut -f1) MB) in $corpus/layouts:"
for b in "$@"; do
  rm -rf "$work/files" "$work/lib"
  mkdir "$work/files" "$work/lib"
  cp "$corpus"/layouts/*.pdf "$work/files/"
  # docmark loads the stand-in's testing build, which counts the copies.
  ln -s "$(cd "$b/lib" && pwd)/libpdfl_testing.so.7" "$work/lib/libpdfl.so.7"
  LD_LIBRARY_PATH="$work/lib:$b/lib" "$tool" "$b/lib/libdocmark.so.7" "$work/files"/*.pdf \
    >"$work/paths"
  echo "  $b:"
  awk '$1 == 2 && $2 == $3 { n++ } END { printf "    copy, nothing moves:  %4d\n", n }' "$work/paths"
  awk '$1 == 2 && $2 != $3 { n++ } END { printf "    compacting copy:      %4d\n", n }' "$work/paths"
  awk '$1 < 0 { n++ } END { printf "    failed:               %4d\n", n }' "$work/paths"
  awk '$1 >= 0 && $1 < 2 { print $4 }' "$work/paths" | while read -r f; do
    why "$corpus/layouts/$(basename "$f")"
  done | sort | uniq -c | sed 's/^ *\([0-9]*\) \(.*\)/    rewrite, \2: \1/'
done
