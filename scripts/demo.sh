#!/bin/sh
# Runs the main job on the bundled samples: walkexec runs a command over the
# sample tree and logs what fails. The docmark sample host joins it later.
set -e
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
walkexec="$build/bin/walkexec"
log=$(mktemp -d)/failures.log

echo "== every text and CSV file under samples/tree, with its line count"
"$walkexec" -p "*.txt,*.csv" -c "wc -l @path" "$top/samples/tree"
echo
echo "== a command that fails for files under notes/; failures go to $log"
"$walkexec" -c "case @path in *notes*) exit 3;; esac" -e "$log" "$top/samples/tree"
echo
echo "failure log (UTF-16LE, exit code and path):"
iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null || echo "(no command failed)"
