#!/bin/sh
# A corpus of real PDFs and of the layouts real files take: documentation
# packages of Debian's archive whose PDFs come from varied producers (pdfTeX,
# Ghostscript, ReportLab, Prawn, FOP, cairo ...), fetched with apt-get
# download into a cache outside the repository, and from them
#   updated-1, updated-2: one and two incremental updates (ExifTool's edits)
#   objstm:      object streams and a cross-reference stream (qpdf)
#   hybrid:      a table whose trailer names the cross-reference stream too
#   linearized:  qpdf --linearize, and that file after an update
#   rc4, aes128, aes256, aes128-clear: qpdf --encrypt, the last with its
#                metadata in the clear
# Prints the folder; made once per cache and reused.
# Usage: real_pdfs.sh [cache folder]   (default: ~/.cache/devkit-real-pdfs)
set -e
cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/devkit-real-pdfs}
here=$(cd "$(dirname "$0")" && pwd)
packages="r-doc-pdf python-reportlab-doc ruby-prawn-doc ocrmypdf-doc docbook-xsl-doc-pdf
  auto-multiple-choice-doc-pdf gri-pdf-doc camlidl-doc siscone-doc-pdf why3-doc-pdf freefem-doc
  graphviz-doc gnuplot-doc asymptote-doc ghostscript-doc"
# At most this many files of each package, each at most 12 MB.
per_package=4
if [ -f "$cache/done" ]; then echo "$cache"; exit 0; fi
mkdir -p "$cache/debs" "$cache/tree" "$cache/real"
(cd "$cache/debs" && apt-get download -q $packages >/dev/null)
for deb in "$cache"/debs/*.deb; do
  name=$(basename "$deb" | cut -d_ -f1)
  rm -rf "$cache/tree/$name"
  dpkg-deb -x "$deb" "$cache/tree/$name"
  find "$cache/tree/$name" -type f -name '*.pdf.gz' -exec gunzip -f {} \;
  find "$cache/tree/$name" -name '*.pdf' -size -12M -size +1k | sort | head -n $per_package |
    while read -r f; do cp "$f" "$cache/real/$name-$(basename "$f")"; done
done
rm -rf "$cache/tree"
# Only files QPDF reads without repair make layouts.
mkdir -p "$cache/layouts"
for f in "$cache"/real/*.pdf; do
  qpdf --check "$f" >/dev/null 2>&1 || continue
  base=$(basename "$f" .pdf)
  out="$cache/layouts/$base"
  cp "$f" "$out.pdf"
  cp "$f" "$out.updated-1.pdf"
  exiftool -q -overwrite_original -XMP-dc:Source=one "$out.updated-1.pdf" || rm -f "$out.updated-1.pdf"
  if [ -f "$out.updated-1.pdf" ]; then
    cp "$out.updated-1.pdf" "$out.updated-2.pdf"
    exiftool -q -overwrite_original -XMP-dc:Source=two "$out.updated-2.pdf" || rm -f "$out.updated-2.pdf"
  fi
  qpdf --object-streams=generate "$f" "$out.objstm.pdf" || true
  [ -f "$out.objstm.pdf" ] && python3 "$here/make_hybrid.py" "$out.objstm.pdf" "$out.hybrid.pdf" || true
  qpdf --linearize "$f" "$out.linearized.pdf" || true
  if [ -f "$out.linearized.pdf" ]; then
    cp "$out.linearized.pdf" "$out.linearized-updated.pdf"
    exiftool -q -overwrite_original -XMP-dc:Source=one "$out.linearized-updated.pdf" ||
      rm -f "$out.linearized-updated.pdf"
  fi
  qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n -- "$f" "$out.rc4.pdf" || true
  qpdf --encrypt "" owner 128 --use-aes=y -- "$f" "$out.aes128.pdf" || true
  qpdf --encrypt "" owner 128 --use-aes=y --cleartext-metadata -- "$f" "$out.aes128-clear.pdf" || true
  qpdf --encrypt "" owner 256 -- "$f" "$out.aes256.pdf" || true
  find "$cache/layouts" -name "$base.*" -size 0 -delete
done 2>/dev/null
touch "$cache/done"
echo "$cache"
