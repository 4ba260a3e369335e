#!/bin/sh
# docmark tagging a tree of varied PDFs through walkexec, beside the tools a
# user would pick instead, in one run:
#   first tag:  walkexec + docmark_host write   beside  find -exec qpdf --replace-input
#                                                and   exiftool -r (one XMP property)
#   re-tag:     the same again on the tagged tree beside exiftool again
#   in one process: docmark_host -j 2 DIR and the Python package in a pool of
#               two threads, first tag, re-tag and check, beside exiftool -r's
#               write and read; and docmark_host write --skip-same of the
#               re-tagged tree
# and, first, the same in one process on a tree of real files and the layouts
# they take after an edit (real_pdfs.sh; its encrypted files left out, which
# ExifTool does not write), beside ExifTool's recursive write and read;
# and, per file, a first tag and a re-tag of a 1,000-page and a 300 MB file
# beside cp + sync + docmark_host check and one qpdf rewrite (time, peak
# memory): a write flushes the new file to disk before it replaces the old.
# Usage: docmark_tree_bench.sh path/to/build
set -e
build=${1:?usage: $0 path/to/build}
host="$build/bin/docmark_host"
walkexec="$build/bin/walkexec"
here=$(dirname "$0")
samples="$here/../samples/pdf"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
seconds() { awk "BEGIN { print ($(now) - $1) / 1e9 }"; }
ratio() { awk "BEGIN { printf \"%.2fx\", $1 / $2 }"; }

# The real tree: first tag, re-tag and check by docmark_host -j 2, beside
# ExifTool's recursive write (twice) and read, in one run.
corpus=$("$here/real_pdfs.sh")
for tree in real-docmark real-exiftool; do
  mkdir -p "$work/$tree"
  for f in "$corpus"/layouts/*.pdf; do
    case "$f" in *.rc4.pdf | *.aes*.pdf) continue ;; esac
    cp "$f" "$work/$tree/"
  done
done
echo "A tree of $(ls "$work/real-docmark" | wc -l) real files and their layouts ($(du -sm "$work/real-docmark" | cut -f1) MB), in one process:"
real() {  # command and options: prints the seconds taken
  start=$(date +%s%N)
  "$host" "$@" -j 2 "$work/real-docmark" >/dev/null 2>"$work/host.err" || cat "$work/host.err"
  awk "BEGIN { print ($(date +%s%N) - $start) / 1e9 }"
}
exif() {  # exiftool's options: prints the seconds taken
  start=$(date +%s%N)
  exiftool -q -r -ext pdf "$@" "$work/real-exiftool" >/dev/null 2>&1 || true
  awk "BEGIN { print ($(date +%s%N) - $start) / 1e9 }"
}
real_first=$(real write -m 3 -a 1200)
exif_first=$(exif -overwrite_original -XMP-dc:Source=bench)
real_again=$(real write -m 4 -a 1200)
exif_again=$(exif -overwrite_original -XMP-dc:Source=again)
real_check=$(real check)
exif_read=$(exif -XMP-dc:Source)
for row in "first tag:$real_first:$exif_first:write:0.5" "re-tag:$real_again:$exif_again:write:0.25" \
  "check:$real_check:$exif_read:read:0.5"; do
  echo "$row" | awk -F: '{ printf "  %-10s docmark_host -j 2 %6.2f s   exiftool -r %s %6.2f s (%.2fx, target %sx)\n",
    $1, $2, $4, $3, $2 / $3, $5 }'
done
rm -rf "$work/real-docmark" "$work/real-exiftool"

# The tree: the samples and three generated files (a classic table, object
# streams, linearized), eight copies each in their own folders.
mkdir "$work/kinds"
cp "$samples"/*.pdf "$work/kinds/"
python3 "$here/make_pdf.py" "$work/kinds/classic.pdf" 60 2
python3 "$here/make_pdf.py" "$work/raw.pdf" 200 4
qpdf --object-streams=generate "$work/raw.pdf" "$work/kinds/object-streams.pdf"
qpdf --linearize "$work/raw.pdf" "$work/kinds/linearized-200.pdf"
rm "$work/raw.pdf"
for tree in docmark docmark-j2 host-j2 python qpdf exiftool; do
  for copy in 1 2 3 4 5 6 7 8; do
    mkdir -p "$work/$tree/$copy"
    cp "$work/kinds"/*.pdf "$work/$tree/$copy/"
  done
done
files=$(find "$work/docmark" -name '*.pdf' | wc -l)
megabytes=$(du -sm "$work/docmark" | cut -f1)
echo "A tree of $files PDFs ($megabytes MB, $(ls "$work/kinds" | wc -l) kinds):"

# walkexec tags the tree one file at a time, and two at a time.
tag() {  # tree, mode, jobs: prints the seconds taken
  start=$(now)
  "$walkexec" -j "$3" -p "*.pdf" -c "$host write -m $2 -a 1200 @path" -e "$work/fail.log" \
    "$work/$1" >/dev/null 2>&1
  seconds "$start"
}
# One docmark_host for the whole tree, two files at once; the Python package
# the same way, in a pool of two threads.
host() {  # tree, command and its options: prints the seconds taken
  tree=$1
  shift
  start=$(now)
  "$host" "$@" -j 2 "$work/$tree" >/dev/null 2>"$work/host.err" || cat "$work/host.err"
  seconds "$start"
}
pool() {  # tree, mode (or "check"): prints the seconds taken, and those of the pool alone
  start=$(now)
  inside=$(DOCMARK_LIBRARY="$build/lib/libdocmark.so.7" PYTHONPATH="$here/../python" \
    /usr/bin/python3 - "$work/$1" "$2" <<'EOF'
import concurrent.futures, os, sys, time
import docmark
start = time.monotonic()
paths = sorted(os.path.join(folder, name) for folder, _, names in os.walk(sys.argv[1])
               for name in names if name.lower().endswith(".pdf"))
if sys.argv[2] == "check":
    work = docmark.is_tagged
else:
    work = lambda path: docmark.write(path, mode=int(sys.argv[2]), amount=1200)
with concurrent.futures.ThreadPoolExecutor(2) as pool:
    results = list(pool.map(work, paths))
if sys.argv[2] == "check" and not all(results):
    print("some files are not tagged", file=sys.stderr)
print(time.monotonic() - start)
EOF
)
  echo "$(seconds "$start") $inside"
}

docmark_first=$(tag docmark 3 1)
docmark_first_j2=$(tag docmark-j2 3 2)
start=$(now)
find "$work/qpdf" -name '*.pdf' -exec qpdf --replace-input {} \; 2>/dev/null || true
qpdf_first=$(seconds "$start")
start=$(now)
exiftool -q -r -ext pdf -overwrite_original -XMP-dc:Source=bench "$work/exiftool" 2>/dev/null || true
exiftool_first=$(seconds "$start")
host_first=$(host host-j2 write -m 3 -a 1200)
python_first=$(pool python 3)
docmark_again=$(tag docmark 4 1)
docmark_again_j2=$(tag docmark-j2 4 2)
start=$(now)
exiftool -q -r -ext pdf -overwrite_original -XMP-dc:Source=again "$work/exiftool" 2>/dev/null || true
exiftool_again=$(seconds "$start")
host_again=$(host host-j2 write -m 4 -a 1200)
python_again=$(pool python 4)
start=$(now)
exiftool -q -r -ext pdf -XMP-dc:Source "$work/exiftool" >/dev/null 2>&1 || true
exiftool_read=$(seconds "$start")
host_check=$(host host-j2 check)
python_check=$(pool python check)
host_same=$(host host-j2 write --skip-same -m 4 -a 1200)
if [ -s "$work/fail.log" ]; then echo "some writes failed:"; iconv -f UTF-16LE "$work/fail.log"; fi
"$walkexec" -p "*.pdf" -c "$host check @path" -e "$work/untagged.log" "$work/docmark" >/dev/null 2>&1
[ ! -s "$work/untagged.log" ] || echo "some files are not tagged"

printf '  %-30s %7.2f s   qpdf --replace-input %6.2f s (%s, target 0.8x)  exiftool %6.2f s\n' \
  "first tag, walkexec + docmark" "$docmark_first" "$qpdf_first" \
  "$(ratio "$docmark_first" "$qpdf_first")" "$exiftool_first"
printf '  %-30s %7.2f s   (%s of qpdf)\n' "  the same, walkexec -j 2" "$docmark_first_j2" \
  "$(ratio "$docmark_first_j2" "$qpdf_first")"
printf '  %-30s %7.2f s   exiftool again %6.2f s (%s, target 1.2x)\n' \
  "re-tag, walkexec + docmark" "$docmark_again" "$exiftool_again" \
  "$(ratio "$docmark_again" "$exiftool_again")"
printf '  %-30s %7.2f s   (%s of exiftool)\n' "  the same, walkexec -j 2" "$docmark_again_j2" \
  "$(ratio "$docmark_again_j2" "$exiftool_again")"
echo "  (exiftool appends an update: its files grow at every write and keep the old values)"
echo "In one process, two files at once: docmark_host -j 2 DIR, the Python package in a pool of 2 threads:"
both() {  # name, host seconds, exiftool seconds, exiftool's name, target, python "seconds pool"
  printf '  %-10s docmark_host %6.2f s   %s %6.2f s (%s, target %s)   python %6.2f s (%s, target 1.2x; %.2f s in the pool)\n' \
    "$1" "$2" "$4" "$3" "$(ratio "$2" "$3")" "$5" "${6% *}" "$(ratio "${6% *}" "$2")" "${6#* }"
}
both "first tag" "$host_first" "$exiftool_first" "exiftool -r write" 0.5x "$python_first"
both "re-tag" "$host_again" "$exiftool_again" "exiftool -r write" 0.25x "$python_again"
both "check" "$host_check" "$exiftool_read" "exiftool -r read " 0.5x "$python_check"
printf '  %-10s docmark_host %6.2f s   (write --skip-same of the re-tagged tree: each tag read, no file written; %s of the re-tag)\n' \
  "same tag" "$host_same" "$(ratio "$host_same" "$host_again")"

# "seconds KB" of one run of the command, after `prepare` (untimed).
measure() {
  eval "$prepare"
  start=$(now)
  /usr/bin/time -f "%M" -o "$work/memory" "$@" >/dev/null 2>&1 || true
  echo "$(seconds "$start") $(tail -1 "$work/memory")"
}
row() {  # name, measured "s KB", reference seconds, reference name, target
  awk -v name="$1" -v m="$2" -v ref="$3" -v refname="$4" -v target="$5" 'BEGIN {
    split(m, a, " ");
    printf "  %-30s %7.3f s %5.0f MB   %s %7.3f s: %5.2fx (target %s)\n",
      name, a[1], a[2] / 1024, refname, ref, a[1] / ref, target }'
}

echo "Per file:"
python3 "$here/make_pdf.py" "$work/raw.pdf" 1000 10
qpdf --object-streams=generate "$work/raw.pdf" "$work/1000-pages.pdf"
python3 "$here/make_pdf.py" "$work/300-MB.pdf" 1000 300
rm "$work/raw.pdf"
for file in 1000-pages 300-MB; do
  in="$work/$file.pdf"
  size="$(du -m "$in" | cut -f1) MB"
  prepare=":"
  cp_check=$(measure sh -c "cp '$in' '$work/copy.pdf' && sync '$work/copy.pdf' && '$host' check '$work/copy.pdf'")
  rewrite=$(measure qpdf "$in" "$work/out.pdf")
  cp_check_s=${cp_check% *}
  rewrite_s=${rewrite% *}
  echo "  $file ($size): cp + sync + check $cp_check_s s, qpdf in out $rewrite_s s (${rewrite#* } KB)"
  prepare="cp '$in' '$work/copy.pdf'"
  row "first tag (no packet yet)" "$(measure "$host" write "$work/copy.pdf")" \
    "$rewrite_s" "qpdf in out" "1.15"
  prepare=":"
  row "re-tag (packet with room)" "$(measure "$host" write "$work/copy.pdf")" \
    "$cp_check_s" "cp + sync + check" "2"
  rm -f "$work/copy.pdf" "$work/out.pdf"
done
echo "(write memory target: at most 1.2x QPDF's peak, flat in the file's size when it copies)"
