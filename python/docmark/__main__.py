"""python -m docmark: docmark_host's command line, in Python.

    python -m docmark check [-j JOBS] [--json | --only WHICH [-0] | -q] PATH...
    python -m docmark read  [-j JOBS] [--json | --only WHICH [-0] | -q] PATH...
    python -m docmark write [-j JOBS] [--json | --only WHICH [-0] | -q] [--skip-same] [-P]
                            [-m MODE] [-a AMOUNT] [-A] [-B] [-C] [-S] PATH...

The paths, the output forms, the reasons and the exit statuses are those of
docmark_host(1); there is no progress line. The results come in the order
of the files, also with several jobs.
"""
import argparse
import collections
import concurrent.futures
import json
import os
import sys
from typing import Iterator, Optional, Tuple

import docmark

_PROGRAM = "docmark"


def _walk(directory: str) -> Iterator[Tuple[str, Optional[docmark.Error]]]:
    """Every *.pdf below the directory in the order of their names' bytes,
    a subdirectory's where its name falls, links to directories not entered;
    a directory that cannot be read comes with its error."""
    try:
        with os.scandir(directory) as scan:
            entries = sorted(scan, key=lambda entry: os.fsencode(entry.name))
    except OSError as e:
        yield directory, docmark._system_error(directory, e)
        return
    for entry in entries:
        path = os.path.join(directory, entry.name)
        if entry.is_dir(follow_symlinks=False):
            yield from _walk(path)
        elif entry.name.lower().endswith(".pdf"):
            yield path, None


def _files(paths) -> Iterator[Tuple[str, Optional[docmark.Error]]]:
    for path in paths:
        if os.path.isdir(path):
            yield from _walk(path)
        else:
            yield path, None


def _settings(args) -> dict:
    return {"mode": args.mode, "amount": args.amount, "option_a": args.A,
            "option_b": args.B, "option_c": args.C, "writer_flag": args.S}


def _write(args, path: str) -> dict:
    settings = _settings(args)
    before = os.stat(path) if args.P else None
    written = docmark.write(path, skip_same=args.skip_same, **settings)
    if written and before:
        os.utime(path, ns=(os.stat(path).st_atime_ns, before.st_mtime_ns))
    return dict(settings, result="tagged" if written else "skipped")


def _run(args, item: Tuple[str, Optional[docmark.Error]]) -> dict:
    """One file's result as the JSON line has it, less the path."""
    path, error = item
    try:
        if error:
            raise error
        if args.command == "check":
            return {"result": "tagged" if docmark.is_tagged(path) else "not tagged"}
        if args.command == "write":
            return _write(args, path)
        tag = docmark.read(path)
        return {"result": "read", "version": ".".join(map(str, tag.version)),
                "writer_flag": tag.writer_flag, "mode": tag.mode, "amount": tag.amount,
                "option_a": tag.option_a, "option_b": tag.option_b,
                "option_c": tag.option_c, "stored_size": tag.size}
    except docmark.Error as e:
        return {"result": "failed", "error": e.strerror, "reason": e.reason.value}


def _results(args):
    """(path, result) for each file, `args.jobs` files at once, a few ahead."""
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        pending = collections.deque()
        for item in _files(args.paths):
            pending.append((item[0], pool.submit(_run, args, item)))
            if len(pending) >= 4 * args.jobs:
                path, future = pending.popleft()
                yield path, future.result()
        for path, future in pending:
            yield path, future.result()


def _is_control(c: str) -> bool:
    """What a terminal could take for a command, and a byte that is not UTF-8."""
    n = ord(c)
    return n < 0x20 or 0x7F <= n <= 0x9F or 0xD800 <= n <= 0xDFFF


def _json_string(text: str) -> str:
    """As docmark_host writes one: UTF-8 as it is, control characters and the
    surrogate escapes of bytes that are not UTF-8 as \\u escapes."""
    return '"' + "".join(f"\\u{ord(c):04x}" if _is_control(c) else "\\" + c if c in '"\\' else c
                         for c in text) + '"'


def _plain_name(path: str, terminal: bool) -> str:
    """As docmark_host writes a name: as it is, or as a JSON string where a
    line break, or on a terminal a control character, is in it."""
    if not any(c in "\n\r" or (terminal and _is_control(c)) for c in path):
        return path
    return _json_string(path)


def _json_value(value) -> str:
    return _json_string(value) if isinstance(value, str) else json.dumps(value)


def _selected(result: dict, only: str) -> bool:
    untagged = result["result"] == "not tagged" or result.get("reason") == "no-tag"
    if only == "untagged":
        return untagged
    if only == "failed":
        return result["result"] == "failed" and not untagged
    return result["result"] not in ("failed", "not tagged")


_KEYS = ["version", "writer_flag", "mode", "amount", "option_a", "option_b", "option_c",
         "stored_size", "error", "reason"]
# The tag's fields as a plain read shows them.
_LABELS = [("version", "version"), ("writer_flag", "writer flag"), ("mode", "mode"),
           ("amount", "amount"), ("option_a", "option A"), ("option_b", "option B"),
           ("option_c", "option C"), ("stored_size", "stored size")]


def _output(args, path: str, result: dict, terminal: bool, block: bool) -> str:
    """The result on standard output in the form asked for."""
    if args.quiet:
        return ""
    if args.json:
        line = dict({"path": path, "result": result["result"]},
                    **{key: result.get(key) for key in _KEYS})
        pairs = (f'"{key}": {_json_value(value)}' for key, value in line.items())
        return "{" + ", ".join(pairs) + "}\n"
    end = "\0" if args.nul else "\n"
    name = path if args.nul and not terminal else _plain_name(path, terminal)
    if args.only:
        return name + end if _selected(result, args.only) else ""
    if result["result"] == "read":
        fields = [(label, result[key] if key == "version" else int(result[key]))
                  for key, label in _LABELS]
        if block:
            return "".join(f"{label}: {value}\n" for label, value in fields)
        return f"{name}: " + ", ".join(f"{label} {value}" for label, value in fields) + end
    words = {"failed": "", "skipped": "skipped, same tag"}.get(result["result"],
                                                               result["result"])
    return f"{name}: {words}{end}" if words else ""


def _write_text(stream, text: str) -> None:
    stream.buffer.write(os.fsencode(text))
    stream.flush()


def _summary(args, counts: collections.Counter) -> str:
    names = {"check": ["tagged", "not tagged"], "read": ["read"],
             "write": ["tagged"] + (["skipped"] if args.skip_same else [])}[args.command]
    return ", ".join(f"{counts[name]} {name}" for name in names + ["failed"])


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="python -m docmark",
                                     description="Checks, reads or writes the optimisation "
                                     "tag of PDF files, as docmark_host does.")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    for name in ("check", "read", "write"):
        command = commands.add_parser(name)
        command.add_argument("-j", dest="jobs", type=int, default=1, choices=range(1, 257),
                             metavar="JOBS", help="files at once (1 to 256)")
        command.add_argument("--json", action="store_true", help="one JSON object a line")
        command.add_argument("--only", choices=["tagged", "untagged", "failed"],
                             help="the bare paths of these files alone")
        command.add_argument("-0", dest="nul", action="store_true",
                             help="ends each path of --only with a NUL")
        command.add_argument("-q", dest="quiet", action="store_true",
                             help="nothing but the failures")
        command.add_argument("paths", nargs="+", metavar="PATH")
        if name == "write":
            command.add_argument("-m", dest="mode", type=int, default=0, help="0 to 15")
            command.add_argument("-a", dest="amount", type=int, default=0, help="0 to 65535")
            for flag in "ABCS":
                command.add_argument(f"-{flag}", action="store_true")
            command.add_argument("--skip-same", action="store_true")
            command.add_argument("-P", action="store_true", help="keeps the modification time")
    return parser


def _parse(argv) -> argparse.Namespace:
    parser = _parser()
    args = parser.parse_args(argv)
    if args.nul and not args.only:
        parser.error("-0 needs --only")
    if args.only and args.json:
        parser.error("--only and --json do not go together")
    if args.quiet and (args.only or args.json):
        parser.error(f"-q and {'--only' if args.only else '--json'} do not go together")
    if args.command == "write":
        try:
            docmark._number("-m", args.mode, 15)
            docmark._number("-a", args.amount, 0xFFFF)
        except ValueError as e:
            parser.error(str(e))
    else:
        args.skip_same = False
    return args


def main(argv=None) -> int:
    args = _parse(argv)
    terminal = sys.stdout.isatty()
    block = (args.command == "read" and not (args.json or args.only or args.quiet) and
             len(args.paths) == 1 and not os.path.isdir(args.paths[0]))
    counts = collections.Counter()
    for path, result in _results(args):
        _write_text(sys.stdout, _output(args, path, result, terminal, block))
        if result["result"] == "failed":
            name = _plain_name(path, sys.stderr.isatty())
            _write_text(sys.stderr, f"{_PROGRAM}: {name}: {result['error']}\n")
        counts[result["result"]] += 1
    if not args.quiet:
        _write_text(sys.stderr, f"{_PROGRAM}: {_summary(args, counts)}\n")
    return 1 if counts["failed"] or counts["not tagged"] else 0


if __name__ == "__main__":
    sys.exit(main())
