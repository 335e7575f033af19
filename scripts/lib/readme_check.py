"""Keeps the README true: every command block a reader may paste runs as written and
prints what it says, and no code span is broken across lines.

    readme_check.py

A command block is a ```sh block. It runs from the project's folder with bash -e; lines
"#> TEXT" are what its last lines of output must be. A block right after a line that
starts with "<!-- run by CI" is not run here (it holds scripts/test itself): each of its
commands must be one that scripts/test or .ci/run runs, word for word.
"""
import re
import subprocess
import sys

README = "README.md"
RUN_BY_CI = "<!-- run by CI"
CI_SCRIPTS = ["scripts/test", ".ci/run"]


def command_blocks(readme):
    """Each ```sh block, and whether the line before it marks it as run by CI."""
    return [(before.startswith(RUN_BY_CI), block)
            for before, block in re.findall(r"^([^\n]*)\n```sh\n(.*?)```", readme, re.M | re.S)]


def broken_code_spans(readme):
    """Lines outside code blocks whose code span goes on to the next line, which a reader
    cannot paste whole."""
    broken, in_block = [], False
    for number, line in enumerate(readme.splitlines(), 1):
        if line.startswith("```"):
            in_block = not in_block
        elif not in_block and line.count("`") % 2:
            broken.append(number)
    return broken


def run_block(block):
    commands = "\n".join(line for line in block.splitlines() if not line.startswith("#>"))
    expected = [line[3:] for line in block.splitlines() if line.startswith("#> ")]
    run = subprocess.run(["bash", "-e", "-c", commands], capture_output=True, text=True)
    said = run.stdout.splitlines()
    if run.returncode != 0:
        return "ended with status %d:\n%s%s" % (run.returncode, run.stdout[-2000:],
                                                 run.stderr[-2000:])
    if expected and said[-len(expected):] != expected:
        return "printed %r, not %r" % (said[-len(expected):], expected)
    return None


def not_run_by_ci(block, scripts=None):
    """The block's commands that no CI script runs as written: each a whole command there,
    with nothing more to it, so that bash scripts/test is not found in bash
    scripts/test-windows, nor bash scripts/demo in bash scripts/demo --fast."""
    if scripts is None:
        scripts = "\n".join(open(path, encoding="utf-8").read() for path in CI_SCRIPTS)
    commands = [line.split("#", 1)[0].strip() for line in block.splitlines()]
    return [command for command in commands if command and not re.search(
        r"(?:^|[\s;&|(])%s(?=[ \t]*(?:$|[;&|)]))" % re.escape(command), scripts, re.M)]


def main():
    readme = open(README, encoding="utf-8").read()
    broken = broken_code_spans(readme)
    if broken:
        print("README.md has code spans broken across lines at lines %s" % broken)
        return 1
    blocks = command_blocks(readme)
    if not blocks:
        print("README.md has no command block")
        return 1
    for by_ci, block in blocks:
        print("$ " + block.strip().replace("\n", "\n$ "))
        if by_ci:
            missing = not_run_by_ci(block)
            failure = "is marked as run by CI, but CI does not run %s" % missing if missing else None
        else:
            failure = run_block(block)
        if failure:
            print("this README block " + failure)
            return 1
    print("README.md: its %d command blocks run as it says" % len(blocks))
    return 0


if __name__ == "__main__":
    sys.exit(main())
