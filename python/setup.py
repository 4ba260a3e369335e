"""The package carries the docmark library that the kit's build made, when
the build folder beside this one (../build/lib) holds it, so that an
installed package needs no DOCMARK_LIBRARY. Everything else is in
pyproject.toml."""
import pathlib
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py

# libdocmark and the PDF library stand-in, which it loads from its own folder.
BUILT = ["libdocmark.so.7", "libpdfl.so.7"]


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        built = pathlib.Path(__file__).resolve().parent.parent / "build" / "lib"
        if all((built / name).is_file() for name in BUILT):
            for name in BUILT:
                shutil.copyfile(built / name, pathlib.Path(self.build_lib) / "docmark" / name)


setup(cmdclass={"build_py": BuildWithLibrary})
