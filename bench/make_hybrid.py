"""Makes a hybrid file of a file with a cross-reference stream, as some
producers write them for readers of PDF 1.4: a table that lists the objects
at an offset, whose trailer names the stream (/XRefStm) for those in object
streams.

Usage: make_hybrid.py in.pdf out.pdf
"""
import re
import subprocess
import sys


def main(source, target):
    data = open(source, "rb").read()
    xref_at = int(re.findall(rb"startxref\s+(\d+)", data)[-1])
    dictionary = data[xref_at:data.index(b"stream", xref_at)]
    keys = {}
    for key in (b"Root", b"Info"):
        found = re.search(rb"/" + key + rb"\s+(\d+\s+\d+\s+R)", dictionary)
        if found:
            keys[key] = found.group(1)
    found = re.search(rb"/ID\s*(\[[^\]]*\])", dictionary)
    if found:
        keys[b"ID"] = found.group(1)
    listing = subprocess.run(["qpdf", "--show-xref", source], capture_output=True,
                             check=True).stdout.decode()
    rows = {}
    size = 0
    for number, generation, offset in re.findall(r"(\d+)/(\d+): uncompressed; offset = (\d+)",
                                                 listing):
        rows[int(number)] = (int(offset), int(generation))
    for number in re.findall(r"(\d+)/\d+: ", listing):
        size = max(size, int(number) + 1)
    table = b"xref\n0 1\n0000000000 65535 f \n"
    for number in sorted(rows):
        offset, generation = rows[number]
        table += b"%d 1\n%010d %05d n \n" % (number, offset, generation)
    trailer = b"trailer\n<< /Size %d" % size
    for key, value in keys.items():
        trailer += b" /" + key + b" " + value
    trailer += b" /XRefStm %d >>\n" % xref_at
    body = data[:data.rindex(b"startxref")]
    with open(target, "wb") as out:
        out.write(body + table + trailer + b"startxref\n%d\n%%%%EOF\n" % len(body))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
