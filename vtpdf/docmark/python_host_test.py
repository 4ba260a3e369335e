"""A Python host tags a file whose name is not UTF-8 through ctypes.

Python hands such a name to C as text with each stray byte b as the lone
surrogate U+DC00+b; the library must reach the same file with it.
Usage: python_host_test.py LIBDOCMARK SAMPLE_PDF
"""
import ctypes
import os
import shutil
import sys
import tempfile


class Settings(ctypes.Structure):
    _fields_ = [("mode", ctypes.c_int32), ("amount", ctypes.c_int32),
                ("optionA", ctypes.c_bool), ("optionB", ctypes.c_bool),
                ("optionC", ctypes.c_bool)]


class Version(ctypes.Structure):
    _fields_ = [("major", ctypes.c_int32), ("minor", ctypes.c_int32),
                ("build", ctypes.c_int32), ("writerFlag", ctypes.c_bool)]


def utf16(path):
    return ctypes.create_string_buffer((path + "\0").encode("utf-16-le", "surrogatepass"))


def main(library, sample):
    docmark = ctypes.CDLL(library)
    docmark.VTPDFTagWrite.argtypes = [ctypes.c_char_p, ctypes.POINTER(Settings), ctypes.c_bool]
    docmark.VTPDFTagWrite.restype = ctypes.c_bool
    docmark.VTPDFTagRead.argtypes = [ctypes.c_char_p, ctypes.POINTER(Settings),
                                     ctypes.POINTER(ctypes.c_int64), ctypes.POINTER(Version)]
    docmark.VTPDFTagRead.restype = ctypes.c_bool

    with tempfile.TemporaryDirectory() as directory:
        name = os.path.join(os.fsencode(directory), b"caf\xe9 \xff.pdf")
        shutil.copyfile(sample, name)
        path = os.fsdecode(name)
        assert "\udce9" in path and "\udcff" in path, path

        assert docmark.VTPDFTagWrite(utf16(path), Settings(3, 1200, False, True, False), True)
        settings, size, version = Settings(), ctypes.c_int64(), Version()
        assert docmark.VTPDFTagRead(utf16(path), settings, size, version)
        assert (settings.mode, settings.amount, settings.optionB) == (3, 1200, True)
        assert (version.major, version.minor, version.build, version.writerFlag) == (7, 9, 9, True)
        assert size.value == os.path.getsize(name), (size.value, os.path.getsize(name))
        assert os.listdir(directory) == [os.path.basename(path)]
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
