"""docmark_host's output for programs, read back with Python's json."""
import json
import os
import shutil
import subprocess
import sys

import pytest

import docmark

HOST = os.environ.get("DOCMARK_HOST")


@pytest.mark.skipif(not HOST, reason="DOCMARK_HOST names the docmark_host to run")
@pytest.mark.skipif(sys.platform == "win32", reason="Windows names are UTF-16")
def test_json_lines_give_back_every_name_and_each_failure(tmp_path, sample):
    tree = tmp_path / "tree"
    tree.mkdir()
    odd = os.path.join(os.fsencode(tree), b'caf\xe9 \n"q"\\ \xff.pdf')
    shutil.copyfile(sample(), odd)
    docmark.write(odd, mode=3, amount=1200, option_b=True, writer_flag=True)
    locked = tree / "locked.pdf"
    subprocess.run(["qpdf", "--encrypt", "", "owner", "256", "--modify=none", "--", sample(),
                    locked], check=True)

    result = subprocess.run([HOST, "read", "--json", "-j", "2", tree], capture_output=True)
    assert result.returncode == 1
    # Strict UTF-8, one object a line whatever the names hold.
    records = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    assert sorted(os.fsencode(record["path"]) for record in records) == [
        odd, os.fsencode(locked)]
    tagged = next(record for record in records if os.fsencode(record["path"]) == odd)
    assert tagged == {"path": os.fsdecode(odd), "result": "read", "version": "7.9.9",
                      "writer_flag": True, "mode": 3, "amount": 1200, "option_a": False,
                      "option_b": True, "option_c": False,
                      "stored_size": docmark.read(odd).size, "error": None, "reason": None}
    refused = next(record for record in records if record is not tagged)
    assert refused["result"] == "failed" and refused["reason"] == docmark.Reason.CHANGES_FORBIDDEN
    assert refused["error"] == "changes forbidden by its encryption"
    assert refused["mode"] is None and refused["stored_size"] is None
    assert result.stderr.decode().endswith("docmark_host: 1 read, 1 failed\n")


@pytest.mark.skipif(not HOST, reason="DOCMARK_HOST names the docmark_host to run")
@pytest.mark.skipif(sys.platform == "win32", reason="Windows names are UTF-16")
def test_python_m_docmark_answers_as_docmark_host_does(tmp_path, sample):
    tree = tmp_path / "tree"
    (tree / "sub").mkdir(parents=True)
    sample("tree/a.pdf")
    sample("tree/sub/B.PDF", "linearized.pdf")
    sample(os.fsdecode(b"tree/caf\xe9 \n.pdf"))
    (tree / "sub" / "broken.pdf").write_bytes(b"not a PDF\n")
    python = [sys.executable, "-m", "docmark"]
    for arguments in (["check"], ["write", "-m", "3", "-B"], ["read"], ["read", "--json"],
                      ["write", "--skip-same", "-m", "3", "-B", "--only", "tagged", "-0"],
                      ["check", "-q"], ["read", "--only", "failed"]):
        host = subprocess.run([HOST, *arguments, tree], capture_output=True)
        ours = subprocess.run([*python, *arguments, tree], capture_output=True)
        assert (ours.returncode, ours.stdout) == (host.returncode, host.stdout), arguments
        assert ours.stderr == host.stderr.replace(b"docmark_host: ", b"docmark: "), arguments
    block = subprocess.run([*python, "read", tree / "a.pdf"], capture_output=True, text=True)
    assert block.stdout == subprocess.run([HOST, "read", tree / "a.pdf"], capture_output=True,
                                          text=True).stdout
    bad = subprocess.run([*python, "check", "-0", tree], capture_output=True, text=True)
    assert bad.returncode == 2 and "-0 needs --only" in bad.stderr
