import os
import pathlib
import shutil
import subprocess
import sys

PACKAGE = pathlib.Path(__file__).resolve().parents[1]


def test_installs_offline_into_a_venv_and_tags_a_file(tmp_path, sample):
    # A copy, so that the build leaves nothing in the source tree.
    source = tmp_path / "python"
    shutil.copytree(PACKAGE, source, ignore=shutil.ignore_patterns("tests", "__pycache__"))
    environment = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    environment["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    venv = tmp_path / "V"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True,
                   env=environment)
    subprocess.run([venv / "bin" / "pip", "install", "-q", "--no-build-isolation", "--no-index",
                    source], check=True, env=environment, cwd=tmp_path)

    path = sample()
    script = ("import docmark, sys; docmark.write(sys.argv[1], mode=3); "
              "print(docmark.read(sys.argv[1]).mode, docmark.__file__)")
    result = subprocess.run([venv / "bin" / "python", "-c", script, path], env=environment,
                            cwd=tmp_path, capture_output=True, text=True, check=True)
    mode, where = result.stdout.split()
    assert mode == "3"
    assert pathlib.Path(where).is_relative_to(venv)
