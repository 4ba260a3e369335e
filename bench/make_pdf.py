"""Writes a PDF of PAGES pages, each with about KB kilobytes of its own text
and twenty link annotations, for qpdf to turn into a file with object
streams: many small objects, as typeset documents have.
Usage: make_pdf.py OUT PAGES KB
"""
import random
import sys


def main(out, pages, kilobytes):
    rng = random.Random(pages * 1000 + kilobytes)
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None]
    kids = []
    for page in range(pages):
        lines = [b"BT /F1 9 Tf 36 780 Td 11 TL"]
        while sum(map(len, lines)) < kilobytes * 1024:
            lines.append(b"(%s) '" % rng.randbytes(40).hex().encode())
        lines.append(b"ET")
        content = b"\n".join(lines)
        objects.append(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content))
        contents = len(objects)
        annotations = []
        for link in range(20):
            objects.append(b"<< /Type /Annot /Subtype /Link /Rect [36 %d 300 %d] /Border [0 0 0]"
                           b" /A << /S /URI /URI (https://example.org/%d/%d) >> >>"
                           % (700 - 11 * link, 709 - 11 * link, page, link))
            annotations.append(b"%d 0 R" % len(objects))
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R"
                       b" /Annots [%s] /Resources << /Font << /F1 << /Type /Font"
                       b" /Subtype /Type1 /BaseFont /Courier >> >> >> >>"
                       % (contents, b" ".join(annotations)))
        kids.append(b"%d 0 R" % len(objects))
    objects[1] = b"<< /Type /Pages /Count %d /Kids [%s] >>" % (pages, b" ".join(kids))

    data = bytearray(b"%PDF-1.7\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(data))
        data += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(data)
    data += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    data += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    data += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
