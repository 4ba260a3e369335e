#!/bin/sh
# Runs the main job on the bundled samples: walkexec runs the sample host over
# a folder of PDF files to tag every one and then checks them, and runs a
# command over the sample tree that logs what fails.
set -e
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
walkexec="$top/$build/bin/walkexec"
host="$top/$build/bin/docmark_host"
scratch="$top/demo-output"
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
