#!/bin/sh
# Runs the main job on the bundled samples: walkexec runs the sample host over
# a folder of PDF files to tag every one and then checks them, and runs a
# command over the sample tree that logs what fails. With --windows, the same
# job with the 64-bit Windows kit under Wine: walkexec.exe tags copies through
# docmark_host.exe, and the Linux host reads one back.
# Usage: demo.sh [build]   or   demo.sh --windows build windows-build
set -e
windows=
if [ "$1" = "--windows" ]; then
  windows=yes
  shift
fi
build=${1:-build}
winbuild=${2:-build-win64}
top=$(cd "$(dirname "$0")/.." && pwd)
walkexec="$top/$build/bin/walkexec"
host="$top/$build/bin/docmark_host"
scratch="$top/demo-output"
windows_demo() {
  winbin="$top/$winbuild/bin"
  if ! wine --version >/dev/null 2>&1; then
    echo "(the Windows kit is built but not run: Wine cannot run on this machine)"
    return 0
  fi
  echo "== under Wine: walkexec.exe tags copies of the sample PDFs through docmark_host.exe"
  # Wine's drive Z: is /.
  winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  export WINEPREFIX="$top/$winbuild/wineprefix"
  wine wineboot -i >/dev/null 2>&1
  rm -rf "$scratch/wine-pdf" "$scratch/wine-write-failures.log" "$scratch/wine-check-failures.log"
  mkdir -p "$scratch/wine-pdf"
  cp "$top"/samples/pdf/*.pdf "$scratch/wine-pdf"
  winhost=$(winpath "$winbin/docmark_host.exe")
  wine "$winbin/walkexec.exe" -p "*.pdf" -c "$winhost write -m 3 -a 1200 -B -S @path" \
    -e "$(winpath "$scratch/wine-write-failures.log")" "$(winpath "$scratch/wine-pdf")"
  echo
  echo "== walkexec.exe checks them with docmark_host.exe, and the Linux host reads one back"
  wine "$winbin/walkexec.exe" -p "*.pdf" -c "$winhost check @path" \
    -e "$(winpath "$scratch/wine-check-failures.log")" "$(winpath "$scratch/wine-pdf")"
  for log in "$scratch/wine-write-failures.log" "$scratch/wine-check-failures.log"; do
    if [ -e "$log" ]; then
      echo "FAILED (UTF-16LE log $log):"
      iconv -f UTF-16LE -t UTF-8 "$log"
      return 1
    fi
  done
  "$host" read "$scratch/wine-pdf/with-xmp-1.6.pdf"
}

if [ -n "$windows" ]; then
  windows_demo
  exit 0
fi
rm -rf "$scratch"
mkdir -p "$scratch/pdf"
cp "$top"/samples/pdf/*.pdf "$scratch/pdf"

echo "== the sample PDFs, copied to $scratch/pdf, before tagging"
"$host" check "$scratch"/pdf/*.pdf || true
echo
echo "== walkexec tags every PDF through the sample host (mode 3, amount 1200, option B, writer flag)"
"$walkexec" -p "*.pdf" -c "'$host' write -m 3 -a 1200 -B -S @path" -e "$scratch/write-failures.log" "$scratch/pdf"
echo
echo "== walkexec checks them the same way; a file without a valid tag would go to the failure log"
"$walkexec" -p "*.pdf" -c "'$host' check @path" -e "$scratch/check-failures.log" "$scratch/pdf"
echo
echo "== and has qpdf check that each is still a sound PDF"
"$walkexec" -p "*.pdf" -c "qpdf --check @path >/dev/null && echo @path: sound" \
  -e "$scratch/qpdf-failures.log" "$scratch/pdf"
echo
for log in "$scratch/write-failures.log" "$scratch/check-failures.log" "$scratch/qpdf-failures.log"; do
  if [ -e "$log" ]; then
    echo "FAILED (UTF-16LE log $log):"
    iconv -f UTF-16LE -t UTF-8 "$log"
    exit 1
  fi
done
echo "every PDF is tagged; the tag of one of them:"
"$host" read "$scratch/pdf/with-xmp-1.6.pdf"
echo

echo "== walkexec over samples/tree: every text and CSV file with its line count"
"$walkexec" -p "*.txt,*.csv" -c "wc -l @path" "$top/samples/tree"
echo
echo "== a command that fails for files under notes/; failures go to $scratch/tree-failures.log"
"$walkexec" -c "case @path in *notes*) exit 3;; esac" -e "$scratch/tree-failures.log" "$top/samples/tree"
echo
echo "failure log (UTF-16LE, exit code and path):"
iconv -f UTF-16LE -t UTF-8 "$scratch/tree-failures.log" 2>/dev/null || echo "(no command failed)"
echo
echo "The same job with the Windows kit under Wine: make demo-windows (it first builds QPDF and"
echo "Exempi for Windows, 10 to 20 minutes the first time)."
