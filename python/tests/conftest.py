"""The tests run against the library that DOCMARK_LIBRARY names, on copies of
the kit's sample PDFs (DOCMARK_SAMPLES, or samples/pdf beside this folder)."""
import os
import pathlib
import shutil

import pytest

SAMPLES = pathlib.Path(os.environ.get(
    "DOCMARK_SAMPLES", pathlib.Path(__file__).resolve().parents[2] / "samples" / "pdf"))


@pytest.fixture
def sample(tmp_path):
    """Copies a sample PDF into the test's folder under the given name."""
    def copy(name="plain.pdf", kind="one-page.pdf"):
        target = tmp_path / name
        shutil.copyfile(SAMPLES / kind, target)
        return target
    return copy
