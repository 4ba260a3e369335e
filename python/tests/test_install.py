import os
import pathlib
import shutil
import subprocess
import sys

import pytest

PACKAGE = pathlib.Path(__file__).resolve().parents[1]


def _untracked(folder):
    return subprocess.run(["git", "status", "--porcelain", "--untracked-files=all"], cwd=folder,
                          capture_output=True, text=True, check=True).stdout


def test_installs_offline_into_a_venv_and_tags_a_file(tmp_path, sample):
    # A copy, made a repository of its own: what the build leaves there is
    # what it would leave in the source tree, and git sees none of it. The
    # build folder beside it holds the library just built, as make leaves it.
    source = tmp_path / "python"
    shutil.copytree(PACKAGE, source, ignore=shutil.ignore_patterns("tests", "__pycache__"))
    built = pathlib.Path(os.environ["DOCMARK_LIBRARY"]).parent
    (tmp_path / "build" / "lib").mkdir(parents=True)
    for name in ("libdocmark.so.7", "libpdfl.so.7"):
        shutil.copyfile(built / name, tmp_path / "build" / "lib" / name)
    subprocess.run(["git", "init", "-q"], cwd=source, check=True)
    before = _untracked(source)
    environment = {key: value for key, value in os.environ.items()
                   if key not in ("PYTHONPATH", "DOCMARK_LIBRARY")}
    environment["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    venv = tmp_path / "V"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True,
                   env=environment)
    subprocess.run([venv / "bin" / "pip", "install", "-q", "--no-build-isolation", "--no-index",
                    source], check=True, env=environment, cwd=tmp_path)
    assert _untracked(source) == before
    shutil.rmtree(tmp_path / "build")

    # With no variable set, and the build gone: the library the package carries.
    path = sample()
    script = ("import docmark, sys; docmark.write(sys.argv[1], mode=3); "
              "print(docmark.read(sys.argv[1]).mode, docmark.__file__, docmark._library._name)")
    assert (venv / "lib").glob("python3*/site-packages/docmark/py.typed")
    result = subprocess.run([venv / "bin" / "python", "-c", script, path], env=environment,
                            cwd=tmp_path, capture_output=True, text=True, check=True)
    mode, where, library = result.stdout.split()
    assert mode == "3"
    assert pathlib.Path(where).is_relative_to(venv)
    # The loader's, where a kit is installed on its path.
    assert library == "libdocmark.so.7" or pathlib.Path(library).is_relative_to(venv)
    command = subprocess.run([venv / "bin" / "python", "-m", "docmark", "check", path],
                             env=environment, capture_output=True, text=True)
    assert (command.returncode, command.stdout) == (0, f"{path}: tagged\n")


def test_a_checkout_finds_the_library_it_built(tmp_path):
    built = PACKAGE.parent / "build" / "lib" / "libdocmark.so.7"
    if sys.platform == "win32" or not built.exists():
        pytest.skip("needs the library built in build/ of this checkout")
    environment = {key: value for key, value in os.environ.items() if key != "DOCMARK_LIBRARY"}
    environment.update(PYTHONPATH=str(PACKAGE), PYTHONDONTWRITEBYTECODE="1")
    result = subprocess.run([sys.executable, "-c", "import docmark; print(docmark._library._name)"],
                            env=environment, cwd=tmp_path, capture_output=True, text=True,
                            check=True)
    # The installed library, when there is one, comes first.
    assert result.stdout.strip() in ("libdocmark.so.7", str(built))
