import concurrent.futures
import errno
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

import docmark


def test_write_read_and_check_take_every_kind_of_path(sample):
    path = sample()
    assert docmark.is_tagged(path) is False
    assert docmark.write(str(path), mode=15, amount=65535, option_b=True,
                         writer_flag=True) is True
    tag = docmark.read(os.fsencode(path))
    assert tag == docmark.Tag(version=(7, 9, 9), writer_flag=True, mode=15, amount=65535,
                              option_a=False, option_b=True, option_c=False,
                              size=path.stat().st_size)
    assert docmark.is_tagged(path) is True

    # Defaults write zero settings; a linearized file stays readable.
    fast = sample("fast.pdf", "linearized.pdf")
    docmark.write(fast)
    assert docmark.read(fast)[1:7] == (False, 0, 0, False, False, False)
    assert subprocess.run(["qpdf", "--check", fast], capture_output=True).returncode == 0


def test_failures_raise_and_leave_the_file_as_it_was(sample, tmp_path):
    untagged = sample()
    with pytest.raises(docmark.Error, match="no valid tag"):
        docmark.read(untagged)

    missing = tmp_path / "missing.pdf"
    with pytest.raises(FileNotFoundError, match="No such file or directory") as raised:
        docmark.write(missing)
    assert raised.value.path == missing
    assert isinstance(raised.value, docmark.Error)
    assert not missing.exists()

    text = tmp_path / "notes.pdf"
    text.write_bytes(b"not a PDF\n")
    with pytest.raises(docmark.Error, match="not a PDF") as raised:
        docmark.write(text)
    assert raised.value.reason == docmark.Reason.NOT_A_PDF
    assert text.read_bytes() == b"not a PDF\n"

    locked = tmp_path / "locked.pdf"
    subprocess.run(["qpdf", "--encrypt", "", "owner", "256", "--modify=none", "--",
                    untagged, locked], check=True)
    before = locked.read_bytes()
    with pytest.raises(docmark.Error, match="changes forbidden") as raised:
        docmark.write(locked)
    assert raised.value.reason == "changes-forbidden"
    assert locked.read_bytes() == before
    assert sorted(os.listdir(tmp_path)) == ["locked.pdf", "notes.pdf", "plain.pdf"]


def test_values_the_record_cannot_hold_or_of_the_wrong_type(sample):
    path = sample()
    # The tag holds 4 bits of mode and 16 of amount: a value it would cut is refused.
    for settings in [{"mode": 16}, {"mode": -1}, {"amount": 65536}, {"amount": -1},
                     {"mode": 2**31}, {"option_a": 2}, {"writer_flag": -1}]:
        with pytest.raises(ValueError):
            docmark.write(path, **settings)
    for settings in [{"mode": "3"}, {"amount": 1.5}, {"option_c": "yes"}, {"writer_flag": None},
                     {"mode": True}, {"skip_same": "no"}]:
        with pytest.raises(TypeError):
            docmark.write(path, **settings)
    with pytest.raises(ValueError):
        docmark.is_tagged("a\0b.pdf")
    with pytest.raises(TypeError):
        docmark.read(3)
    assert not docmark.is_tagged(path)
    docmark.write(path, mode=0, amount=0xFFFF, option_a=1, option_c=True)
    assert docmark.read(path)[2:7] == (0, 0xFFFF, True, False, True)


@pytest.mark.skipif(sys.platform == "win32", reason="Windows names are UTF-16")
def test_a_name_that_is_not_utf8_reaches_the_same_file(tmp_path, sample):
    name = os.path.join(os.fsencode(tmp_path), b"caf\xe9 \xff.pdf")
    shutil.copyfile(sample(), name)
    docmark.write(name, mode=3)
    text = os.fsdecode(name)
    assert "\udce9" in text
    assert docmark.read(pathlib.Path(text)).mode == 3
    assert docmark.read(text).size == os.path.getsize(name)
    assert sorted(os.listdir(os.fsencode(tmp_path))) == [b"caf\xe9 \xff.pdf", b"plain.pdf"]


def test_threads_write_and_read_their_own_files(sample):
    kinds = ["one-page.pdf", "object-streams-1.7.pdf", "with-xmp-1.6.pdf"]
    paths = [sample(f"copy {i}.pdf", kinds[i % 3]) for i in range(24)]

    def tag(index):
        docmark.write(paths[index], mode=index % 16, amount=index)
        return docmark.read(paths[index])

    with concurrent.futures.ThreadPoolExecutor(max_workers=6) as pool:
        tags = list(pool.map(tag, range(len(paths))))
    for index, (path, tag) in enumerate(zip(paths, tags)):
        assert (tag.mode, tag.amount, tag.size) == (index % 16, index, path.stat().st_size)
        assert subprocess.run(["qpdf", "--check", path], capture_output=True).returncode == 0


def test_a_missing_library_is_named(tmp_path):
    environment = dict(os.environ, DOCMARK_LIBRARY=str(tmp_path / "libnone.so"),
                       PYTHONPATH=os.pathsep.join(sys.path))
    result = subprocess.run([sys.executable, "-c", "import docmark"], env=environment,
                            capture_output=True, text=True)
    assert result.returncode == 1
    assert "cannot load the docmark library" in result.stderr
    assert "libnone.so" in result.stderr


def _encrypted(source, target, *permissions, user=""):
    subprocess.run(["qpdf", "--encrypt", user, "owner", "256", *permissions, "--", source,
                    target], check=True)
    return target


def test_each_failure_names_its_reason(sample, tmp_path):
    untagged = sample()
    empty = tmp_path / "empty.pdf"
    empty.write_bytes(b"")
    folder = tmp_path / "folder.pdf"
    folder.mkdir()
    protected = _encrypted(untagged, tmp_path / "protected.pdf", user="secret")
    forbidden = _encrypted(untagged, tmp_path / "forbidden.pdf", "--modify=none")
    read_only = sample("read-only.pdf")
    read_only.chmod(0o444)
    pipe = tmp_path / "pipe.pdf"
    os.mkfifo(pipe)

    cases = [(docmark.write, tmp_path / "missing.pdf", FileNotFoundError, "not-found"),
             (docmark.read, tmp_path / "missing.pdf", FileNotFoundError, "not-found"),
             (docmark.is_tagged, tmp_path / "missing.pdf", FileNotFoundError, "not-found"),
             (docmark.write, folder, IsADirectoryError, "is-a-directory"),
             (docmark.is_tagged, folder, IsADirectoryError, "is-a-directory"),
             (docmark.write, pipe, docmark.Error, "not-a-file"),  # not waited on
             (docmark.write, read_only, PermissionError, "not-writable"),
             (docmark.write, empty, docmark.Error, "not-a-pdf"),
             (docmark.read, empty, docmark.Error, "not-a-pdf"),
             (docmark.write, protected, docmark.Error, "password-protected"),
             (docmark.write, forbidden, docmark.Error, "changes-forbidden"),
             (docmark.read, forbidden, docmark.Error, "changes-forbidden"),
             (docmark.read, untagged, docmark.Error, "no-tag")]
    for call, path, kind, reason in cases:
        with pytest.raises(kind) as raised:
            call(path)
        error = raised.value
        assert isinstance(error, docmark.Error) and error.reason == reason, (call, path, error)
        assert error.filename == path and error.strerror in str(error)
        assert error.errno == {"not-found": errno.ENOENT, "is-a-directory": errno.EISDIR,
                               "not-writable": errno.EACCES}.get(reason), error
    # A file the library cannot see into is reachable, and so untagged.
    assert docmark.is_tagged(protected) is False
    assert docmark.is_tagged(empty) is False


@pytest.mark.skipif(os.geteuid() == 0, reason="permissions do not stop root")
def test_permissions_that_stop_a_call(sample, tmp_path):
    hidden = sample("hidden.pdf")
    hidden.chmod(0)
    for call in (docmark.write, docmark.read, docmark.is_tagged):
        with pytest.raises(PermissionError) as raised:
            call(hidden)
        assert raised.value.reason == "not-readable" and raised.value.errno == errno.EACCES
    closed = tmp_path / "closed"
    closed.mkdir()
    inside = sample("closed/inside.pdf")
    closed.chmod(0o555)
    try:
        with pytest.raises(PermissionError, match="folder is not writable"):
            docmark.write(inside)
    finally:
        closed.chmod(0o755)


def _write_each(paths):
    return [docmark.write(path, mode=2) for path in paths]


def test_errors_cross_a_process_pool(sample, tmp_path):
    good = sample()
    missing = tmp_path / "missing.pdf"
    locked = _encrypted(good, tmp_path / "locked.pdf", "--modify=none")
    with concurrent.futures.ProcessPoolExecutor(max_workers=2) as pool:
        futures = [pool.submit(_write_each, [path]) for path in (missing, locked, good)]
        errors = [future.exception() for future in futures[:2]]
        assert futures[2].result() == [True]
    assert isinstance(errors[0], FileNotFoundError) and isinstance(errors[0], docmark.Error)
    assert (errors[0].errno, errors[0].filename, errors[0].reason) == (
        errno.ENOENT, missing, docmark.Reason.NOT_FOUND)
    assert type(errors[1]) is docmark.Error and errors[1].reason == "changes-forbidden"
    # They read as OSErrors do, and show no class of the package's own.
    assert str(errors[0]) == f"[Errno 2] No such file or directory: {str(missing)!r}"
    assert str(errors[1]) == f"changes forbidden by its encryption: {str(locked)!r}"
    assert repr(errors[0]).startswith("docmark.Error(2, 'No such file or directory', ")
    assert repr(errors[1]).endswith(", reason=docmark.Reason.CHANGES_FORBIDDEN)")
    assert docmark.read(good).mode == 2


def test_skip_same_leaves_a_file_of_the_same_tag_untouched(sample):
    path = sample()
    assert docmark.write(path, mode=3, amount=1200, option_b=True, skip_same=True) is True
    before = path.stat()
    assert docmark.write(path, mode=3, amount=1200, option_b=True, skip_same=True) is False
    after = path.stat()
    assert (after.st_ino, after.st_mtime_ns, after.st_size) == (
        before.st_ino, before.st_mtime_ns, before.st_size)
    # Another setting, or another writer flag, is written.
    assert docmark.write(path, mode=3, amount=1200, option_b=True, writer_flag=True,
                         skip_same=True) is True
    assert docmark.write(path, mode=4, amount=1200, option_b=True, writer_flag=True,
                         skip_same=True) is True
    assert docmark.read(path)[1:5] == (True, 4, 1200, False)


def test_the_package_describes_itself():
    assert docmark.__version__ == "7.9.9"
    assert "0 to 15" in docmark.__doc__ and "0 to 65535" in docmark.__doc__
    assert (pathlib.Path(docmark.__file__).parent / "py.typed").exists()
