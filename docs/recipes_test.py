"""Runs every recipe of the README, the pages under docs/, python/README.md and
the man pages, as a reader would after `make`, in a scratch copy of the checkout.

A recipe is a fenced ```sh or ```python block of a page, or an .EX block of a man
page; ```text blocks (placeholders, Windows, clusters) are shown, not run. A man
page's job-array script needs a Slurm cluster, which slurm_cluster_test.sh
stands up for the same command line, and its C fragment is compiled as C and
as C++ and run. The blocks of a page run in order in one scratch folder, whose
home holds ~/papers; build/bin is on PATH, as after an install.

A block fails when it exits with 2 or more, or says what a broken recipe says:
a command or file not found, a usage text, a Python traceback. Status 1 is a
recipe's own answer ("not tagged", a grep that found nothing).
Usage: recipes_test.py TOP BUILD
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

PAGES = ["README.md", "docs/*.md", "python/README.md", "man/*.[0-9]"]
BROKEN = re.compile(r": not found|No such file or directory|[Uu]sage:|Traceback")


def markdown_blocks(text):
    for match in re.finditer(r"^```(sh|python)\n(.*?)^```", text, re.M | re.S):
        yield match.group(1), match.group(2)


def troff_to_text(line):
    return line.replace("\\-", "-").replace("\\e", "\\")


def man_blocks(text):
    for match in re.finditer(r"^\.EX\n(.*?)^\.EE", text, re.M | re.S):
        block = "\n".join(troff_to_text(line) for line in match.group(1).splitlines()) + "\n"
        if block.startswith("#!/bin/sh\n#SBATCH"):
            continue
        yield ("c" if "DocmarkPathChar" in block else "sh"), block


def c_program(fragment):
    return ("#include <stdio.h>\n#include <docmark/docmark.h>\n"
            "int main(void) {\n" + fragment + "return 0;\n}\n")


def scratch_copy(top, build, scratch):
    """The checkout's tracked files as they are now, with the build beside them."""
    files = subprocess.run(["git", "ls-files", "-z"], cwd=top, check=True,
                           capture_output=True).stdout.split(b"\0")
    for name in filter(None, files):
        source = os.path.join(os.fsencode(top), name)
        target = os.path.join(os.fsencode(scratch), name)
        if os.path.isfile(source):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(source, target)
    os.symlink(build, scratch / "build")
    home = scratch / "home"
    (home / "papers" / "2025").mkdir(parents=True)
    for sample in (scratch / "samples" / "pdf").glob("*.pdf"):
        shutil.copy(sample, home / "papers" / sample.name)
        shutil.copy(sample, home / "papers" / "2025" / sample.name)
    shutil.copy(scratch / "samples" / "pdf" / "one-page.pdf", scratch / "report.pdf")
    return home


def run_block(kind, block, scratch, environment):
    if kind == "sh":
        command = ["sh", "-c", block]
    elif kind == "python":
        venv = scratch / "V" / "bin" / "python"
        command = [str(venv) if venv.exists() else "/usr/bin/python3", "-c", block]
    else:
        source = scratch / "fragment.c"
        source.write_text(c_program(block))
        flags = ["-Idocmark/include", "-Lbuild/lib", "-ldocmark", "-Wl,-rpath,build/lib"]
        command = ["sh", "-c", " && ".join([
            "cc -std=c11 -x c fragment.c -o fragment_c " + " ".join(flags),
            "c++ -std=c++11 -x c++ fragment.c -o fragment_cxx " + " ".join(flags),
            "./fragment_c", "./fragment_cxx"])]
    return subprocess.run(command, cwd=scratch, env=environment, capture_output=True,
                          text=True, errors="replace", timeout=600)


def check_page(top, build, page):
    text = page.read_text()
    blocks = list(man_blocks(text) if page.suffix[1:].isdigit() else markdown_blocks(text))
    if not blocks:
        return 0
    with tempfile.TemporaryDirectory() as directory:
        scratch = pathlib.Path(directory)
        home = scratch_copy(top, build, scratch)
        environment = dict(os.environ, HOME=str(home),
                           PATH=f"{scratch / 'build' / 'bin'}:{os.environ['PATH']}")
        environment.pop("DOCMARK_LIBRARY", None)
        environment.pop("PYTHONPATH", None)
        for kind, block in blocks:
            result = run_block(kind, block, scratch, environment)
            said = result.stdout + result.stderr
            if result.returncode >= 2 or result.returncode < 0 or BROKEN.search(said):
                print(f"FAILED: {page.relative_to(top)}, a {kind} recipe (status "
                      f"{result.returncode}):\n{block}\n--- it said:\n{said}")
                return 1
    print(f"ok: {page.relative_to(top)}, {len(blocks)} recipes")
    return 0


def main(top, build):
    top = pathlib.Path(top).resolve()
    pages = sorted({page for pattern in PAGES for page in top.glob(pattern)})
    failures = sum(check_page(top, pathlib.Path(build).resolve(), page) for page in pages)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
