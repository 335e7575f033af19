"""Counts a ctest JUnit report for the set-up scripts' stage lines.

    ctest_summary.py REPORT TOTALS   prints "N passed, N failed, N skipped" and, on lines
                                     of their own, each failed test with what it said
                                     from its start on, each skipped test and why, and
                                     each test Wine had to start twice;
                                     adds the counts to the TOTALS file. Under CI (the
                                     variable CI set), a skip for any reason but the
                                     machine's known limits below counts as a failure,
                                     and the status is then 1.
                                     A report without a single test fails.
    ctest_summary.py --skip NAME REASON TOTALS
                                     the same for a stage that skipped itself (a check
                                     script that exited 77), as one skipped test
    ctest_summary.py --totals TOTALS prints the run's closing line from TOTALS

A skip for a known limit says so with the limit's tag at the start of its message, as in
"[no-32-bit] not run: ...": the tag, not the wording after it, is what is matched.
"""
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

# The only reasons a test may skip under CI: what a machine of this kind may lack.
KNOWN_LIMITS = {
    "no-32-bit": "the machine runs no 32-bit x86 code, itself or through qemu-i386 (a kernel "
                 "before 6.7 gives no private binfmt_misc), or its archive has no 32-bit Wine",
    "no-private-binfmt": "the kernel (before 6.7) gives a user namespace no binfmt_misc table",
    "no-file-modes": "Wine's file system keeps no Unix permissions",
    "system-qt-exits": "Debian's OpenCV shows windows with Qt, which ends the process itself",
    "asan-needs-proc": "AddressSanitizer cannot start a program without /proc",
}
TAG = re.compile(r"\[([a-z0-9-]+)\]")


def known_limit(reason):
    """Whether a skip's message starts with the tag of a known limit."""
    tag = TAG.match(reason)
    return tag is not None and tag.group(1) in KNOWN_LIMITS


def skip_reason(case):
    """Why a test skipped: the message gtest printed for GTEST_SKIP; for a program that is
    no gtest test and ended with its skip status, its last line."""
    lines = [line.strip() for line in (case.findtext("system-out") or "").splitlines()]
    for index, line in enumerate(lines[:-1]):
        if line.endswith(": Skipped") and lines[index + 1]:
            return lines[index + 1]
    gtest = any(line.startswith("[ RUN") for line in lines)
    said = [line for line in lines if line]
    return said[-1] if said and not gtest else "no reason given"


def wine_crash(case):
    """What tests/windows/wine_run.py said when Wine died under the test's first run."""
    for line in (case.findtext("system-out") or "").splitlines():
        if line.startswith("wine_run: "):
            return line[len("wine_run: "):]
    return None


def failure_said(case, limit=20):
    """What a failed test said once gtest started it, at most LIMIT lines: the log's tail
    shows only the last tests, and a rare failure is seen once. (ctest's report leaves
    out how it ended: a crash or a timeout shows as less said.)"""
    lines = [line for line in (case.findtext("system-out") or "").splitlines() if line.strip()]
    start = next((index + 1 for index, line in enumerate(lines) if line.startswith("[ RUN")),
                 max(0, len(lines) - limit))
    return lines[start:start + limit]


def count(report_path, strict):
    passed, failed, skipped, unknown, rerun = 0, [], [], [], []
    for case in ElementTree.parse(report_path).getroot().iter("testcase"):
        name = case.get("name")
        crash = wine_crash(case)
        if crash:
            rerun.append((name, crash))
        status = case.get("status")
        if case.find("skipped") is not None or status in ("notrun", "disabled"):
            reason = skip_reason(case)
            if strict and not known_limit(reason):
                unknown.append((name, reason))
            else:
                skipped.append((name, reason))
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed.append((name, failure_said(case)))
        else:
            passed += 1
    return passed, failed, skipped, unknown, rerun


def report(counts, totals_path):
    """Adds the counts to the run's totals and prints the stage's lines; the status is 1
    when a skip was for no known limit or nothing ran at all."""
    passed, failed, skipped, unknown, rerun = counts
    with open(totals_path, "a") as totals:
        totals.write("%d %d %d %d\n" % (passed, len(failed) + len(unknown), len(skipped),
                                        len(unknown)))
    ran_nothing = passed + len(failed) + len(skipped) + len(unknown) == 0
    lines = ["%d passed, %d failed, %d skipped" % (passed, len(failed) + len(unknown),
                                                   len(skipped))]
    if ran_nothing:
        lines.append("  no test ran")
    for name, said in failed:
        lines.append("  failed %s" % name)
        lines += ["    | %s" % line for line in said]
    lines += ["  failed %s: skipped for what is no known limit of this machine: %s" % case
              for case in unknown]
    lines += ["  skipped %s: %s" % case for case in skipped]
    lines += ["  started twice %s: %s" % case for case in rerun]
    print("\n".join(lines), end="")
    return 1 if unknown or ran_nothing else 0


def main(argv):
    strict = bool(os.environ.get("CI"))
    if argv[1] == "--skip":
        name, reason, totals = argv[2:5]
        unknown = strict and not known_limit(reason)
        return report((0, [], [] if unknown else [(name, reason)],
                       [(name, reason)] if unknown else [], []), totals)
    if argv[1] == "--totals":
        sums = [0, 0, 0, 0]
        with open(argv[2]) as totals:
            for line in totals:
                sums = [a + int(b) for a, b in zip(sums, line.split())]
        line = "tests: %d passed, %d failed, %d skipped" % tuple(sums[:3])
        if sums[3]:
            line += " (%d of the failed skipped for no known limit of the machine)" % sums[3]
        print(line)
        return 0
    return report(count(argv[1], strict), argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
