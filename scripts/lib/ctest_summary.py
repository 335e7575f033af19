"""Counts a ctest JUnit report for the set-up scripts' stage lines.

    ctest_summary.py REPORT TOTALS   prints "N passed, N failed, N skipped" and, on lines
                                     of their own, each failed test, each skipped test
                                     and why, and each test Wine had to start twice;
                                     adds the counts to the TOTALS file. Under CI (the
                                     variable CI set), a skip for any reason but the
                                     machine's known limits below counts as a failure,
                                     and the status is then 1.
    ctest_summary.py --totals TOTALS prints the run's closing line from TOTALS
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

# The only reasons a test may skip under CI: what a machine of this kind may lack.
KNOWN_LIMITS = (
    "not run: no: a static i386 program does not run here",  # no 32-bit execution
    "this file system keeps no such permissions",  # file permissions under Wine
    "the distribution's Qt ends the process itself",  # Qt's own exit, system build
    "AddressSanitizer cannot run a program without /proc",
)


def skip_reason(case):
    """The message gtest printed for GTEST_SKIP, else what ctest says."""
    skipped = case.find("skipped")
    output = case.findtext("system-out") or ""
    lines = output.splitlines()
    for index, line in enumerate(lines):
        if line.endswith(": Skipped") and index + 1 < len(lines) and lines[index + 1].strip():
            return lines[index + 1].strip()
    said = [line.strip() for line in lines if line.strip()]
    if said:
        return said[-1]
    return (skipped.get("message") if skipped is not None else "") or "no reason given"


def wine_crash(case):
    """What tests/windows/wine_run.py said when Wine died under the test's first run."""
    for line in (case.findtext("system-out") or "").splitlines():
        if line.startswith("wine_run: "):
            return line[len("wine_run: "):]
    return None


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
            if strict and not reason.startswith(KNOWN_LIMITS):
                unknown.append((name, reason))
            else:
                skipped.append((name, reason))
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed.append(name)
        else:
            passed += 1
    return passed, failed, skipped, unknown, rerun


def main(argv):
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
    passed, failed, skipped, unknown, rerun = count(argv[1], bool(os.environ.get("CI")))
    with open(argv[2], "a") as totals:
        totals.write("%d %d %d %d\n" % (passed, len(failed) + len(unknown), len(skipped),
                                        len(unknown)))
    lines = ["%d passed, %d failed, %d skipped" % (passed, len(failed) + len(unknown),
                                                   len(skipped))]
    lines += ["  failed %s" % name for name in failed]
    lines += ["  failed %s: skipped for what is no known limit of this machine: %s" % case
              for case in unknown]
    lines += ["  skipped %s: %s" % case for case in skipped]
    lines += ["  started twice %s: %s" % case for case in rerun]
    print("\n".join(lines), end="")
    return 1 if unknown else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
