"""A Python host tags a file whose name is not UTF-8, through the kit's
docmark package (python/ in this tree).

Python hands such a name to C as text with each stray byte b as the lone
surrogate U+DC00+b; the library must reach the same file with it.
Usage: python_host_test.py LIBDOCMARK SAMPLE_PDF
"""
import os
import pathlib
import shutil
import sys
import tempfile


def main(library, sample):
    os.environ["DOCMARK_LIBRARY"] = library
    sys.dont_write_bytecode = True  # nothing left in the source tree
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
    import docmark

    with tempfile.TemporaryDirectory() as directory:
        name = os.path.join(os.fsencode(directory), b"caf\xe9 \xff.pdf")
        shutil.copyfile(sample, name)
        path = os.fsdecode(name)
        assert "\udce9" in path and "\udcff" in path, path

        docmark.write(path, mode=3, amount=1200, option_b=True, writer_flag=True)
        tag = docmark.read(path)
        assert (tag.mode, tag.amount, tag.option_b) == (3, 1200, True), tag
        assert (tag.version, tag.writer_flag) == ((7, 9, 9), True), tag
        assert tag.size == os.path.getsize(name), (tag.size, os.path.getsize(name))
        assert os.listdir(directory) == [os.path.basename(path)]
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
