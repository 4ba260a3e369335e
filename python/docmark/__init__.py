"""The optimisation tag of PDF files, through the docmark library.

    import docmark
    docmark.write("report.pdf", mode=3, amount=1200, option_b=True)
    tag = docmark.read("report.pdf")      # docmark.Tag(version=(7, 9, 9), ...)
    docmark.is_tagged("report.pdf")       # True

The tag holds the writing library's version (7.9.9) with the writer flag,
the settings, and the file's size when it was written. The settings are a
mode from 0 to 15 (4 bits), an amount from 0 to 65535 (16 bits) and the
flags option_a, option_b and option_c; a value the tag cannot hold raises
ValueError rather than being cut, and one of another type TypeError (a flag
is a bool, or the int 0 or 1).

A failure raises docmark.Error, an OSError with errno, filename, strerror and
reason (a docmark.Reason), which reads as an OSError does:
"[Errno 2] No such file or directory: 'x.pdf'". Where the system gave the reason it is also the
standard subclass: FileNotFoundError, PermissionError, IsADirectoryError.
A file that the library refuses is told apart from outside it, by a look at
its first and last bytes: password-protected, changes forbidden, not a PDF
or damaged, or no valid tag. Errors pickle, so they cross process pools.

Each call stands alone and runs without the interpreter lock, so calls from
several threads run at once. The library is the file that DOCMARK_LIBRARY
names; else the one the loader finds by name (libdocmark.so.7; docmark.dll
on Windows); else the one this package carries, copied from the kit's build
when the package was installed; else, in a source checkout, build/lib's.
"""

import ctypes
import enum
import errno
import json
import operator
import os
import pathlib
import re
import stat
import sys
from typing import List, NamedTuple, Optional, Tuple, Union

__all__ = ["Error", "Reason", "Tag", "is_tagged", "read", "write", "__version__"]
__version__ = "7.9.9"

Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

_LIBRARY_NAME = "docmark.dll" if sys.platform == "win32" else "libdocmark.so.7"
_VERSION = (7, 9, 9)


def _load_reasons() -> dict:
    with open(pathlib.Path(__file__).with_name("reasons.json"), encoding="utf-8") as f:
        return json.load(f)


# The reasons, their words and the rules that pick them, as docmark_host
# has them.
_REASONS = _load_reasons()

Reason = enum.Enum("Reason", [(entry["code"].upper().replace("-", "_"), entry["code"])
                              for entry in _REASONS["reasons"]],
                   type=str, module=__name__, qualname="Reason")
Reason.__doc__ = """Why a call failed; the value is the code docmark_host --json gives."""


class Error(OSError):
    """A call that failed; a write's file is then as it was. errno is None
    for a reason of the file's content. `path` is `filename`, the path as it
    was given."""
    reason: Reason = Reason.SYSTEM

    @property
    def path(self) -> Path:
        return self.filename

    def __str__(self) -> str:
        """As an OSError reads, the path as str or bytes, as it was given:
        "[Errno 2] No such file or directory: 'x.pdf'"; without the number
        for a reason of the file's content."""
        if self.filename is None:
            return super().__str__()
        number = "" if self.errno is None else f"[Errno {self.errno}] "
        return f"{number}{self.strerror}: {os.fspath(self.filename)!r}"

    def __repr__(self) -> str:
        return (f"docmark.Error({self.errno!r}, {self.strerror!r}, {self.filename!r}, "
                f"reason=docmark.Reason.{self.reason.name})")


class _NotFound(Error, FileNotFoundError):
    pass


class _NotPermitted(Error, PermissionError):
    pass


class _IsADirectory(Error, IsADirectoryError):
    pass


_SUBCLASSES = {"FileNotFoundError": _NotFound, "PermissionError": _NotPermitted,
               "IsADirectoryError": _IsADirectory}
_CLASSES = {Reason(entry["code"]): _SUBCLASSES[entry["error"]]
            for entry in _REASONS["reasons"] if "error" in entry}
_TEXTS = {Reason(entry["code"]): entry["words"] for entry in _REASONS["reasons"]}
_ERRNOS = {Reason(entry["code"]): getattr(errno, entry["errno"])
           for entry in _REASONS["reasons"] if "errno" in entry}
# The system's errors that the list names, by errno or by Win32 error.
_SYSTEM_ERRORS = {getattr(errno, name, None): Reason(entry["code"])
                  for entry in _REASONS["reasons"] for name in entry.get("posix", [])}
_WINDOWS_ERRORS = {number: Reason(entry["code"])
                   for entry in _REASONS["reasons"] for number in entry.get("windows", [])}
_ENDS = _REASONS["file_ends"]


class Tag(NamedTuple):
    version: Tuple[int, int, int]  # the writing library's major, minor, build
    writer_flag: bool
    mode: int
    amount: int
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


def _library_candidates() -> List[str]:
    """As docmark_host looks: the file DOCMARK_LIBRARY names, and that alone;
    else the loader's search by name; else the library this package carries
    (the one the kit's build had made when the package was installed); else,
    in a source checkout, the one in build/lib."""
    named = os.environ.get("DOCMARK_LIBRARY")
    if named:
        return [named]
    candidates = [_LIBRARY_NAME]
    here = pathlib.Path(__file__).resolve().parent
    # python/docmark/__init__.py in a source tree whose build is build/.
    for place in (here / _LIBRARY_NAME, here.parent.parent / "build" / "lib" / _LIBRARY_NAME):
        if place.exists():
            candidates.append(str(place))
    return candidates


def _load() -> ctypes.CDLL:
    failures = []
    for name in _library_candidates():
        try:
            # CDLL, not PyDLL: every call releases the interpreter lock.
            library = ctypes.CDLL(name)
            break
        except OSError as e:
            failures.append(f"{name!r} ({e})")
    else:
        raise ImportError(
            f"docmark: cannot load the docmark library {'; '.join(failures)}; install the kit, "
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


def _library_path(path: Path) -> bytes:
    """The path as the library takes it: NUL-terminated UTF-16, each byte of a
    name that is not UTF-8 as the lone surrogate that os.fsdecode makes of
    it, which the library turns back into that byte."""
    text = os.fsdecode(os.fspath(path))
    if "\0" in text:
        raise ValueError("embedded null character in path")
    return (text + "\0").encode("utf-16-le", "surrogatepass")


def _number(name: str, value: int, largest: int) -> int:
    if isinstance(value, bool):
        raise TypeError(f"{name} must be an int, not bool")
    number = operator.index(value)
    if not 0 <= number <= largest:
        raise ValueError(f"{name} must be from 0 to {largest}, not {number}")
    return number


def _flag(name: str, value: bool) -> bool:
    """A bool, or the int 0 or 1."""
    if isinstance(value, bool):
        return value
    try:
        return bool(_number(name, value, 1))
    except TypeError:
        raise TypeError(f"{name} must be a bool, not {type(value).__name__}") from None


def _error(path: Path, reason: Reason, code: Optional[int] = None,
           text: Optional[str] = None) -> Error:
    if code is None:
        code = _ERRNOS.get(reason)
    error = _CLASSES.get(reason, Error)(code, text or _TEXTS[reason], path)
    error.reason = reason
    return error


def _system_error(path: Path, e: OSError) -> Error:
    winerror = getattr(e, "winerror", None)
    if winerror is not None:
        reason = _WINDOWS_ERRORS.get(winerror, Reason.SYSTEM)
    else:
        reason = _SYSTEM_ERRORS.get(e.errno, Reason.SYSTEM)
    return _error(path, reason, e.errno, e.strerror)


def _unusable(path: Path) -> Optional[Error]:
    """Why the path names no file the library can be given: it would wait on
    a pipe, and a directory has nothing to tell."""
    try:
        mode = os.stat(path).st_mode
    except OSError as e:
        return _system_error(path, e)
    if stat.S_ISDIR(mode):
        return _error(path, Reason.IS_A_DIRECTORY)
    if not stat.S_ISREG(mode):
        return _error(path, Reason.NOT_A_FILE)
    return None


def _unreachable(path: Path, writing: bool) -> Optional[Error]:
    """What the system says against reading the file, or writing it as a
    save does: over the file, in its folder."""
    try:
        os.close(os.open(path, os.O_RDONLY | getattr(os, "O_BINARY", 0)))
    except OSError as e:
        return _system_error(path, e)
    if not writing:
        return None
    folder = os.path.dirname(os.path.abspath(os.fspath(path)))
    if not os.access(path, os.W_OK) or not os.stat(path).st_mode & 0o222:
        return _error(path, Reason.NOT_WRITABLE)
    if not os.access(folder, os.W_OK):
        return _error(path, Reason.NOT_WRITABLE, text=_REASONS["folder_not_writable"])
    if sys.platform == "win32":
        return _replace_refused(path)
    return None


def _replace_refused(path: Path) -> Optional[Error]:
    """On Windows, what stops the save's replace of the file: another
    program that holds it open without sharing delete (or write) access."""
    from ctypes import wintypes
    kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
    kernel32.CreateFileW.restype = wintypes.HANDLE
    kernel32.CreateFileW.argtypes = [wintypes.LPCWSTR, wintypes.DWORD, wintypes.DWORD,
                                     ctypes.c_void_p, wintypes.DWORD, wintypes.DWORD,
                                     wintypes.HANDLE]
    generic_read_write_delete, share_read, open_existing = 0xC0010000, 1, 3
    handle = kernel32.CreateFileW(os.fsdecode(os.path.abspath(os.fspath(path))),
                                  generic_read_write_delete, share_read, None, open_existing, 0,
                                  None)
    if handle == wintypes.HANDLE(-1).value:
        code = ctypes.get_last_error()
        if code == 5:  # access denied: to write, or to replace
            return _error(path, Reason.NOT_WRITABLE)
        return _system_error(path, OSError(None, ctypes.FormatError(code), None, code))
    kernel32.CloseHandle(handle)
    return None


def _ends(path: Path) -> Tuple[bytes, bytes]:
    """The file's first and last bytes, where writers put the header and the
    encryption dictionary; none when it cannot be read."""
    length = _ENDS["length"]
    try:
        with open(path, "rb") as f:
            head = f.read(length)
            f.seek(0, os.SEEK_END)
            f.seek(max(len(head), f.tell() - length))
            return head, head + b"\n" + f.read()
    except OSError:
        return b"", b"\n"


def _holds(fact: str, head: bytes, ends: bytes) -> bool:
    """Whether the fact a refusal rule names holds of the file's ends."""
    if fact == "header":
        return 0 <= head.find(_ENDS["header"].encode()) < _ENDS["header_within"]
    if fact == "encrypted":
        return _ENDS["encrypted"].encode() in ends
    if fact == "may_modify":
        permissions = _permissions(ends)
        return permissions is not None and bool(permissions & _ENDS["may_modify"])
    return False


def _refusal(path: Path, writing: bool) -> Reason:
    """Why the library refused a reachable file, from its two ends."""
    head, ends = _ends(path)
    for rule in _REASONS["refusal"]:
        if not _holds(rule["unless"], head, ends):
            return Reason(rule["write" if writing else "read"])
    return Reason.NOT_A_PDF


def _permissions(data: bytes) -> Optional[int]:
    """/P of the standard security handler's dictionary, when it is there."""
    handler = re.search(_ENDS["standard_handler"].encode(), data)
    if not handler:
        return None
    start = data.rfind(b"obj", 0, handler.start())
    end = data.find(b"endobj", handler.start())
    entry = re.search(_ENDS["permissions"].encode(),
                      data[max(start, 0):end if end >= 0 else len(data)])
    return int(entry.group(1)) if entry else None


def _failure(path: Path, writing: bool) -> Error:
    return _unreachable(path, writing) or _error(path, _refusal(path, writing))


def write(path: Path, mode: int = 0, amount: int = 0, option_a: bool = False,
          option_b: bool = False, option_c: bool = False, writer_flag: bool = False,
          skip_same: bool = False) -> bool:
    """Tags the file with these settings; raises Error when it cannot, the
    file then being as it was. With skip_same, a file that already carries
    a valid tag of these settings from this version is left untouched and
    False returned; True when the file was written."""
    settings = _Settings(_number("mode", mode, 15), _number("amount", amount, 0xFFFF),
                         _flag("option_a", option_a), _flag("option_b", option_b),
                         _flag("option_c", option_c))
    flag = _flag("writer_flag", writer_flag)
    skip_same = _flag("skip_same", skip_same)
    library_path = _library_path(path)
    unusable = _unusable(path)
    if unusable:
        raise unusable
    if skip_same and _same_tag(library_path, settings, flag):
        return False
    if not _library.VTPDFTagWrite(library_path, ctypes.byref(settings), flag):
        raise _failure(path, writing=True)
    return True


def _same_tag(library_path: bytes, settings: _Settings, flag: bool) -> bool:
    stored, size, version = _Settings(), ctypes.c_int64(), _Version()
    if not _library.VTPDFTagRead(library_path, ctypes.byref(stored), ctypes.byref(size),
                                 ctypes.byref(version)):
        return False
    return ((version.major, version.minor, version.build, version.writer_flag) ==
            _VERSION + (flag,) and
            all(getattr(stored, name) == getattr(settings, name) for name, _ in _Settings._fields_))


def read(path: Path) -> Tag:
    """The file's tag; raises Error when the file has no valid one, or
    cannot be read."""
    library_path = _library_path(path)
    unusable = _unusable(path)
    if unusable:
        raise unusable
    settings, size, version = _Settings(), ctypes.c_int64(), _Version()
    if not _library.VTPDFTagRead(library_path, ctypes.byref(settings), ctypes.byref(size),
                                 ctypes.byref(version)):
        raise _failure(path, writing=False)
    return Tag((version.major, version.minor, version.build), version.writer_flag,
               settings.mode, settings.amount, settings.option_a, settings.option_b,
               settings.option_c, size.value)


def is_tagged(path: Path) -> bool:
    """Whether the file carries a valid tag; raises Error for a file that
    cannot be reached or read, so that False means a readable file without
    a valid tag (one whose encryption keeps the library out included)."""
    library_path = _library_path(path)
    unusable = _unusable(path)
    if unusable:
        raise unusable
    if _library.VTPDFTagIsAlreadyOptimized(library_path):
        return True
    unreachable = _unreachable(path, writing=False)
    if unreachable:
        raise unreachable
    return False
