import concurrent.futures
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
    assert docmark.write(str(path), mode=17, amount=70000, option_b=True,
                         writer_flag=True) is None
    tag = docmark.read(os.fsencode(path))
    assert tag == docmark.Tag(version=(7, 9, 9), writer_flag=True, mode=1, amount=4464,
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
    with pytest.raises(docmark.Error, match="No such file or directory") as raised:
        docmark.write(missing)
    assert raised.value.path == missing
    assert not missing.exists()

    text = tmp_path / "notes.pdf"
    text.write_bytes(b"not a PDF\n")
    with pytest.raises(docmark.Error, match="could not be written"):
        docmark.write(text)
    assert text.read_bytes() == b"not a PDF\n"

    locked = tmp_path / "locked.pdf"
    subprocess.run(["qpdf", "--encrypt", "", "owner", "256", "--modify=none", "--",
                    untagged, locked], check=True)
    before = locked.read_bytes()
    with pytest.raises(docmark.Error):
        docmark.write(locked)
    assert locked.read_bytes() == before
    assert sorted(os.listdir(tmp_path)) == ["locked.pdf", "notes.pdf", "plain.pdf"]


def test_values_the_record_cannot_hold_or_of_the_wrong_type(sample):
    path = sample()
    for settings in [{"mode": 2**31}, {"amount": -2**31 - 1}, {"option_a": 2},
                     {"writer_flag": -1}]:
        with pytest.raises(ValueError):
            docmark.write(path, **settings)
    for settings in [{"mode": "3"}, {"amount": 1.5}, {"option_c": "yes"}, {"writer_flag": None}]:
        with pytest.raises(TypeError):
            docmark.write(path, **settings)
    with pytest.raises(ValueError):
        docmark.is_tagged("a\0b.pdf")
    with pytest.raises(TypeError):
        docmark.read(3)
    assert not docmark.is_tagged(path)
    docmark.write(path, mode=-2**31, amount=2**31 - 1, option_a=1, option_c=True)
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
