#!/bin/sh
# Regenerates the bundled sample PDFs in samples/pdf from a small hand-written
# document, with qpdf making the other kinds. The results are committed.
set -e
out="$(cd "$(dirname "$0")/.." && pwd)/samples/pdf"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A three-page document with text and document information, offsets fixed by qpdf.
{
  printf '%%PDF-1.4\n'
  printf '1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n'
  printf '2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >> endobj\n'
  for p in 3 4 5; do
    printf '%d 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 6 0 R >> >> /Contents %d 0 R >> endobj\n' $p $((p + 4))
  done
  printf '6 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n'
  for p in 1 2 3; do
    text="BT /F1 24 Tf 72 700 Td (Sample page $p) Tj ET"
    printf '%d 0 obj << /Length %d >> stream\n%s\nendstream endobj\n' $((p + 6)) $(printf '%s' "$text" | wc -c) "$text"
  done
  printf '10 0 obj << /Title (Sample report) /Author (Docmark demo) /Producer (make-samples) >> endobj\n'
  printf 'trailer << /Root 1 0 R /Info 10 0 R /Size 11 >>\n%%%%EOF\n'
} > "$tmp/raw.pdf"

# qpdf exits 3 after repairing the missing cross-reference table.
qpdf "$tmp/raw.pdf" "$out/report-1.4.pdf" || [ $? -eq 3 ]
qpdf --linearize "$out/report-1.4.pdf" "$out/linearized.pdf"
qpdf --min-version=1.7 --object-streams=generate "$out/report-1.4.pdf" "$out/object-streams-1.7.pdf"
qpdf --pages "$out/report-1.4.pdf" 1 -- "$out/report-1.4.pdf" "$out/one-page.pdf"

# A one-page document whose catalog holds an XMP packet.
xmp='<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/">
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
<rdf:Description rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/">
<dc:title><rdf:Alt><rdf:li xml:lang="x-default">Sample with XMP</rdf:li></rdf:Alt></dc:title>
</rdf:Description>
</rdf:RDF>
</x:xmpmeta>
<?xpacket end="w"?>'
{
  printf '%%PDF-1.6\n'
  printf '1 0 obj << /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >> endobj\n'
  printf '2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n'
  printf '3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >> endobj\n'
  printf '4 0 obj << /Type /Metadata /Subtype /XML /Length %d >> stream\n%s\nendstream endobj\n' \
    $(printf '%s' "$xmp" | wc -c) "$xmp"
  printf 'trailer << /Root 1 0 R /Size 5 >>\n%%%%EOF\n'
} > "$tmp/xmp.pdf"
qpdf "$tmp/xmp.pdf" "$out/with-xmp-1.6.pdf" || [ $? -eq 3 ]
