"""Keeps the README true: its part on the programs is docs/guide.txt's, no code span is
broken across lines, and the commands it marks as checked run and print what it says.

    readme_check.py --write   puts the guide's part on the programs into the README
    readme_check.py           checks that part, then runs every checked block

A checked block is a ```sh block right after a line "<!-- checked by scripts/check-readme
-->". It runs from the project's folder with bash -e; lines "#> TEXT" are what its last
lines of output must be.
"""
import re
import subprocess
import sys

README = "README.md"
GUIDE = "docs/guide.txt"
USAGE_START = "<!-- usage: from docs/guide.txt by scripts/check-readme --write; do not edit here -->"
USAGE_END = "<!-- end of usage -->"
CHECKED = "<!-- checked by scripts/check-readme -->"


def guide_usage():
    """The guide from its first part on the programs to the part on checking the package."""
    text = open(GUIDE, encoding="utf-8").read()
    start = text.index("Common to capture and camprobe\n")
    end = text.index("Checking the package\n")
    return text[start:end].rstrip("\n") + "\n"


def with_usage(readme):
    start = readme.index(USAGE_START) + len(USAGE_START)
    end = readme.index(USAGE_END)
    return readme[:start] + "\n```text\n" + guide_usage() + "```\n" + readme[end:]


def checked_blocks(readme):
    pattern = re.escape(CHECKED) + r"\n```sh\n(.*?)```"
    return re.findall(pattern, readme, re.S)


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


def main(argv):
    readme = open(README, encoding="utf-8").read()
    if argv[1:] == ["--write"]:
        open(README, "w", encoding="utf-8").write(with_usage(readme))
        return 0
    if with_usage(readme) != readme:
        print("README.md's part on the programs is not docs/guide.txt's: run "
              "scripts/check-readme --write")
        return 1
    broken = broken_code_spans(readme)
    if broken:
        print("README.md has code spans broken across lines at lines %s" % broken)
        return 1
    blocks = checked_blocks(readme)
    if not blocks:
        print("README.md marks no command as checked")
        return 1
    for block in blocks:
        print("$ " + block.strip().replace("\n", "\n$ "))
        failure = run_block(block)
        if failure:
            print("this README block " + failure)
            return 1
    print("README.md: the part on the programs is the guide's; %d blocks of commands ran "
          "as it says" % len(blocks))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
