"""The optimisation tag of PDF files, through the docmark library.

    import docmark
    docmark.write("report.pdf", mode=3, amount=1200, option_b=True)
    tag = docmark.read("report.pdf")      # docmark.Tag(version=(7, 9, 9), ...)
    docmark.is_tagged("report.pdf")       # True

Each call stands alone and runs without the interpreter lock, so calls from
several threads run at once. The library is the file that DOCMARK_LIBRARY
names, or else the installed one (libdocmark.so.7; docmark.dll on Windows).
"""

import ctypes
import operator
import os
import sys
from typing import NamedTuple, Tuple

__all__ = ["Error", "Tag", "is_tagged", "read", "write"]

_LIBRARY_NAME = "docmark.dll" if sys.platform == "win32" else "libdocmark.so.7"
_INT32 = range(-(2**31), 2**31)


class Error(Exception):
    """A write that failed (the file is then as it was), or a file without a
    valid tag. `path` is the file's path as it was given."""

    def __init__(self, path, reason):
        super().__init__(f"{os.fsdecode(path)!r}: {reason}")
        self.path = path
        self.reason = reason


class Tag(NamedTuple):
    version: Tuple[int, int, int]  # the writing library's major, minor, build
    writer_flag: bool
    mode: int  # the low 4 bits of the mode written
    amount: int  # the low 16 bits of the amount written
    option_a: bool
    option_b: bool
    option_c: bool
    size: int  # the file's size that the tag stores


class _Settings(ctypes.Structure):
    _fields_ = [("mode", ctypes.c_int32), ("amount", ctypes.c_int32),
                ("option_a", ctypes.c_bool), ("option_b", ctypes.c_bool),
                ("option_c", ctypes.c_bool)]


class _Version(ctypes.Structure):
    _fields_ = [("major", ctypes.c_int32), ("minor", ctypes.c_int32),
                ("build", ctypes.c_int32), ("writer_flag", ctypes.c_bool)]


def _load():
    name = os.environ.get("DOCMARK_LIBRARY") or _LIBRARY_NAME
    try:
        # CDLL, not PyDLL: every call releases the interpreter lock.
        library = ctypes.CDLL(name)
    except OSError as e:
        raise ImportError(
            f"docmark: cannot load the docmark library {name!r} ({e}); install the kit, "
            "or set DOCMARK_LIBRARY to the library's path") from None
    library.VTPDFTagIsAlreadyOptimized.argtypes = [ctypes.c_char_p]
    library.VTPDFTagIsAlreadyOptimized.restype = ctypes.c_bool
    library.VTPDFTagRead.argtypes = [ctypes.c_char_p, ctypes.POINTER(_Settings),
                                     ctypes.POINTER(ctypes.c_int64), ctypes.POINTER(_Version)]
    library.VTPDFTagRead.restype = ctypes.c_bool
    # The settings go by reference in C++ and by address in C: the same call.
    library.VTPDFTagWrite.argtypes = [ctypes.c_char_p, ctypes.POINTER(_Settings), ctypes.c_bool]
    library.VTPDFTagWrite.restype = ctypes.c_bool
    return library


_library = _load()


def _library_path(path):
    """The path as the library takes it: NUL-terminated UTF-16, each byte of a
    name that is not UTF-8 as the lone surrogate that os.fsdecode makes of
    it, which the library turns back into that byte."""
    text = os.fsdecode(os.fspath(path))
    if "\0" in text:
        raise ValueError("embedded null character in path")
    return (text + "\0").encode("utf-16-le", "surrogatepass")


def _int32(name, value):
    number = operator.index(value)
    if number not in _INT32:
        raise ValueError(f"{name} must fit in 32 bits, not {number}")
    return number


def _flag(name, value):
    number = operator.index(value)
    if number not in (0, 1):
        raise ValueError(f"{name} must be a bool, not {number}")
    return bool(number)


def _failure(path, reason):
    try:
        os.stat(path)
    except OSError as e:
        reason = e.strerror
    return Error(path, reason)


def write(path, mode=0, amount=0, option_a=False, option_b=False, option_c=False,
          writer_flag=False):
    """Tags the file with these settings; raises Error when it cannot, the
    file then being as it was."""
    settings = _Settings(_int32("mode", mode), _int32("amount", amount),
                         _flag("option_a", option_a), _flag("option_b", option_b),
                         _flag("option_c", option_c))
    flag = _flag("writer_flag", writer_flag)
    if not _library.VTPDFTagWrite(_library_path(path), ctypes.byref(settings), flag):
        raise _failure(path, "the tag could not be written (not a PDF that can be read, "
                             "or one that may not be changed)")


def read(path):
    """The file's tag; raises Error when it has no valid one."""
    settings, size, version = _Settings(), ctypes.c_int64(), _Version()
    if not _library.VTPDFTagRead(_library_path(path), ctypes.byref(settings),
                                 ctypes.byref(size), ctypes.byref(version)):
        raise _failure(path, "no valid tag, or not a PDF that can be read")
    return Tag((version.major, version.minor, version.build), version.writer_flag,
               settings.mode, settings.amount, settings.option_a, settings.option_b,
               settings.option_c, size.value)


def is_tagged(path):
    """Whether the file carries a valid tag."""
    return _library.VTPDFTagIsAlreadyOptimized(_library_path(path))
