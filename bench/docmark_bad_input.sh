#!/bin/sh
# docmark's check, read and write of files that are no PDF or a damaged one,
# beside ExifTool's read and write and `qpdf --check` of the same files, in
# one run: wall time and peak memory of one run each, the program's start
# included. The files are made here, in a temporary folder: 3 GB of zeros
# named .pdf (a sparse file), 200 MB of random bytes, a 200 MB PDF cut to
# 150 MB (an interrupted download, which lost pages: its write is refused),
# a sound PDF of that size cut where its cross-reference table starts (it
# lost no page: its write repairs and rewrites it), and, to set beside them,
# the sound PDF and the same linearized, whose first tag rewrites the file
# where the other's copies it.
# Usage: docmark_bad_input.sh path/to/build
set -e
host="${1:?usage: $0 path/to/build}/bin/docmark_host"
make_pdf="$(dirname "$0")/make_pdf.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run of the command (the file's path last) on a fresh copy of the file,
# since a write changes it; "seconds KB" into $work/FILE-NAME.RESULT.
run() {
  file=$1
  result=$2
  shift 2
  cp --sparse=always "$work/$file.pdf" "$work/copy.pdf"
  /usr/bin/time -f "%e %M" -o "$work/measured" "$@" "$work/copy.pdf" >/dev/null 2>&1 || true
  tail -1 "$work/measured" > "$work/$file.$result"
}

python3 "$make_pdf" "$work/whole.pdf" 2000 100
head -c 150M "$work/whole.pdf" > "$work/cut.pdf"
rm "$work/whole.pdf"
python3 "$make_pdf" "$work/sound.pdf" 1465 100
# The sound file cut where its cross-reference table starts: every page is
# left, so its write repairs and rewrites it.
table=$(tail -c 64 "$work/sound.pdf" | tr -d '\r' | sed -n '/startxref/{n;p;}')
head -c "$table" "$work/sound.pdf" > "$work/tableless.pdf"
qpdf --linearize "$work/sound.pdf" "$work/linearized.pdf"
head -c 200M /dev/urandom > "$work/random.pdf"
truncate -s 3G "$work/zeros.pdf"

printf '%-28s %17s %17s %17s %17s %17s %17s\n' "" "docmark check" "docmark read" \
  "docmark write" "exiftool read" "exiftool write" "qpdf --check"
for file in zeros random cut tableless sound linearized; do
  run $file check "$host" check
  run $file read "$host" read
  run $file write "$host" write
  run $file exifread exiftool
  run $file exifwrite exiftool -overwrite_original -XMP-dc:Source=bench
  run $file qpdf qpdf --check
  case $file in
    zeros) label="3 GB of zeros" ;;
    random) label="200 MB of random bytes" ;;
    cut) label="200 MB PDF cut to 150 MB" ;;
    tableless) label="sound PDF without its table" ;;
    sound) label="sound $(du -m "$work/sound.pdf" | cut -f1) MB PDF" ;;
    linearized) label="  the same, linearized" ;;
  esac
  printf '%-28s' "$label"
  for result in check read write exifread exifwrite qpdf; do
    awk '{ printf " %7.2f s %5.0f MB", $1, $2 / 1024 }' "$work/$file.$result"
  done
  echo
done

# Each target met or missed: the zeros in under 1 s and 50 MB; each damaged
# file within 64 MB of the sound file's peak, and a write, which rewrites a
# repaired file, within 64 MB of the linearized file's rewrite too.
echo
for result in check read write; do
  awk -v what="zeros, $result" '{ met = $1 < 1 && $2 < 50 * 1024 }
    END { printf "%-28s %5.2f s %4.0f MB (target under 1 s and 50 MB): %s\n", what, $1,
          $2 / 1024, met ? "met" : "missed" }' "$work/zeros.$result"
done
for damaged in cut tableless; do
  for result in check read write; do
    for reference in sound linearized; do
      measured=$(cat "$work/$damaged.$result")
      awk -v what="$damaged, $result" -v measured="$measured" -v reference=$reference '{
        split(measured, m, " "); met = m[2] <= $2 + 64 * 1024
        printf "%-28s %4.0f MB (target at most the %s file'"'"'s %.0f MB + 64 MB): %s\n", what,
          m[2] / 1024, reference, $2 / 1024, met ? "met" : "missed" }' "$work/$reference.$result"
    done
  done
done
