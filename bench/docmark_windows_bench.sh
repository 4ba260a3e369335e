#!/bin/sh
# What one write costs on Windows beside Linux: a first tag and a re-tag of
# a 200 MB PDF by the Windows kit's docmark_host.exe under 64-bit Wine and by
# the Linux build's docmark_host, with the bytes each wrote to the disk (the
# kernel's count of a process and its children, so Wine's own writes count
# too), beside cp, which writes the file once. Further kits (the bin folders
# of builds of earlier commits) are timed the same way, on copies of their own.
# Usage: docmark_windows_bench.sh path/to/build path/to/windows-kit/bin [earlier-kit/bin ...]
set -e
usage="usage: $0 path/to/build path/to/windows-kit/bin [earlier-kit/bin ...]"
build=${1:?$usage}
kit=${2:?$usage}
shift 2
here=$(dirname "$0")
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ] || [ ! -f "$kit/docmark_host.exe" ]; then
  echo "docmark on Windows: skipped, needs $wine and $kit/docmark_host.exe"
  exit 0
fi

# On the disk, not in /tmp, which may be a tmpfs that counts no writes.
work=$(mktemp -d "$PWD/.docmark-windows-bench.XXXXXX")
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's server keeps the prefix open until it is told to end.
trap '/usr/lib/wine/wineserver -k 2>/dev/null; rm -r "$work"' EXIT
"$wine" wineboot -i >/dev/null 2>&1

python3 "$here/make_pdf.py" "$work/raw.pdf" 400 900
qpdf --object-streams=generate "$work/raw.pdf" "$work/source.pdf"
rm "$work/raw.pdf"
size=$(stat -c %s "$work/source.pdf")
megabytes() { awk "BEGIN { printf \"%.0f MB\", $1 / 1048576 }"; }
echo "docmark on Windows and Linux, one $(megabytes "$size") PDF in object streams, no packet:"

# Runs a command; prints its seconds, the megabytes it wrote and their ratio
# to the file's size.
measure() {
  /usr/bin/time -f "%e %O" -o "$work/time" "$@" >/dev/null 2>&1
  read -r elapsed blocks <"$work/time"
  written=$((blocks * 512))
  printf "%6.2f s, wrote %s (%s the file)" "$elapsed" "$(megabytes "$written")" \
    "$(awk "BEGIN { printf \"%.2fx\", $written / $size }")"
}
sync
printf "  %-34s %s\n" "cp" "$(measure cp "$work/source.pdf" "$work/copy.pdf")"
native() { printf 'Z:%s' "$1" | tr / '\\'; }
cp "$work/source.pdf" "$work/linux.pdf"
number=0
for each in "$kit" "$@"; do
  number=$((number + 1))
  cp "$work/source.pdf" "$work/windows$number.pdf"
done
# Each kit once before the timed writes, so that none pays for loading its
# DLLs from the disk.
for each in "$kit" "$@"; do
  "$wine" "$each/docmark_host.exe" check "$(native "$work/source.pdf")" >/dev/null 2>&1 || true
done
sync
for write in "first tag" "re-tag"; do
  number=0
  for each in "$kit" "$@"; do
    number=$((number + 1))
    label="Windows kit under Wine"
    [ "$each" = "$kit" ] || label="kit $each"
    printf "  %-34s %s\n" "$label, $write" \
      "$(measure "$wine" "$each/docmark_host.exe" write -m 3 "$(native "$work/windows$number.pdf")")"
  done
  printf "  %-34s %s\n" "Linux, $write" \
    "$(measure "$build/bin/docmark_host" write -m 3 "$work/linux.pdf")"
  sync
done
